// The sound demo's menu play: the game's sound layer on an installation's DATA\SOUNDS: the menu ambience, the
// click sounds and a chain of the range speaker's announcements, then the ambience faded out.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Runs on a program whose memory, timer and main window are up, with the installation as drive C. `wait` lets
// the given milliseconds pass. Fills `played` with the sounds that reached the library; 0, or -1 when the sound
// system did not start.
int RunMenuSoundDemo(int seconds, const std::function<void(int ms)>& wait, std::vector<std::string>* played);

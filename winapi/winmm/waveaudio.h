// The "waveaudio" device of the multimedia command strings, for the command parser of cdaudio.cpp, and the
// answer both devices give.
#pragma once

#include <string>
#include <vector>

#include "mmsystem.h"

namespace winapi {

// True when the words (lower case) name a waveaudio device or one of its aliases; the command's result is then
// in `result`.
bool WaveAudioCommand(const std::vector<std::string>& words, LPSTR out, UINT length, MCIERROR* result);
// A command's answer text into the caller's buffer (cut to fit); 0.
MCIERROR MciAnswer(const std::string& text, LPSTR out, UINT length);

}  // namespace winapi

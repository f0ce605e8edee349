// The demo installation's sounds: every effect, click and ambience sample the game names, synthesised by our
// own code, and the announcer's lines spoken by espeak-ng (compression 7).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mkdemo {

// Writes DATA\SOUNDS (and the announcer's folders below it) into `data`. Lines are spoken by `speaker`
// (espeak-ng); when it cannot be run, a synthesised murmur stands in and a warning goes to standard error.
void WriteSounds(const std::filesystem::path& data, const std::string& speaker = "espeak-ng");

// Writes the announcer's commentary: every clip family the game asks for, each spoken once (its variants share the
// recording), below the installation's root (DATA\SOUNDS\PRESHOT ..., the demo course's SOUNDS folder).
// `only`, when set, keeps the families whose folder begins with it.
void WriteCommentary(const std::filesystem::path& data, int holes, const std::string& only = "",
                     const std::string& speaker = "espeak-ng");

// Writes the music disc's folder: "Zarvo99.exe" at its root, the game's "QV99" folder and three short tunes of
// our own as audio tracks 2 to 4 ("TRACK02.WAV" ...); track 1 is the data track.
void WriteMusicDisc(const std::filesystem::path& disc);

// The sample names written into DATA\SOUNDS (without ".pat").
std::vector<std::string> DemoSoundNames();

}  // namespace mkdemo

// The sound demo's play: a 440 Hz tone patch built in memory, then a patch file from disk put in a bank and
// played panned from left to right, swept up in pitch and faded out, then (if asked) a tone handed over in
// compression-7 buffers by the library's buffer callback, through the sound library and the driver
// module over the host's audio output.
#pragma once

#include <functional>
#include <string>

struct SoundDemoOptions {
  std::string patfile;  // the patch file played second
  int mode = 0x0808;    // the library's mode word: 16-bit stereo at 22,050 Hz
  int tonems = 1000;    // how long the tone plays
  int patms = 2400;     // how long the patch plays: a third panned, a third swept, a third faded
  int bufferms = 0;     // how long a 660 Hz tone plays last, in compression-7 buffers from the buffer callback
  // Lets `ms` milliseconds of time pass (by default Sleep, while the library's audio thread plays).
  std::function<void(int ms)> wait;
  // Called once the library has started.
  std::function<void()> started;
};

// The tone patch: 0.1 s of a 440 Hz sine at 22,050 Hz, amplitude `amplitude`, looped whole.
std::string SoundDemoTonePatch(int amplitude);

// Runs the demo on a program whose memory, timer and main window are up; 0, or the library's negative status.
int RunSoundDemo(const SoundDemoOptions& options);

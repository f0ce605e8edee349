// What the sound library and a driver module share: the callbacks the library hands over and the output rate a
// mode word asks for. Header only, so that a module includes it without linking the library.
#pragma once

namespace sndmodule {

using MixCallback = void (*)(void*, int);
using ChannelCallback = void (*)(int);
using PrintCallback = void (*)(const char*, ...);
using ServeCallback = void (*)();
using PositionCallback = void (*)(int, int, float*);
using ConvertCallback = int (*)(const void*, int, int, int, int, int, void*, int, int);

// The output rate of a mode word's rate bits, tested in this order; 0 when none of them is set (8000 Hz is not
// an output rate).
inline int moderate(int mode) {
  if (mode & 0x800) return 22050;
  if (mode & 0x400) return 16000;
  if (mode & 0x1000) return 32000;
  if (mode & 0x2000) return 44100;
  if (mode & 0x200) return 11025;
  return 0;
}

}  // namespace sndmodule

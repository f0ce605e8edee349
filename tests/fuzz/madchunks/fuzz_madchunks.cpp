// Fuzz entry: the input is a .mad file, played to its end (or refused) on a clock that the player's waits move,
// its frames shown nowhere.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "scene/movieplayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t at = 0;
  MadChunkReader reader([&](uint8_t* to, size_t count) {
    const size_t n = std::min(count, size - at);
    if (n) std::memcpy(to, data + at, n);
    at += n;
    return n;
  });
  uint32_t now = 0;
  int waits = 0;
  MovieOutput out;
  out.show = [&](const PixelPair* frame, int32_t, int32_t, int32_t width, int32_t height) {
    volatile PixelPair last = frame[static_cast<size_t>(width / 2) * height - 1];
    (void)last;
    now += 5;
  };
  out.clock = [&] { return now; };
  out.wait = [&](uint32_t ms) { now += ms * 50; };
  // A stream of long frames would wait for a long time: the fuzzer gives up on it after a while.
  out.abort = [&] { return ++waits > 20000; };
  RunMadPlayer(reader, 0, 0, out, nullptr);
  return 0;
}

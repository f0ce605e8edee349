// A shape movie over arbitrary bytes: every frame it hands out is an image entry of the file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/core/shapemovie.h"
#include "platformlib/core/memclass.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!memstarted()) initmem();
  const MemHandle h = MemAllocHandle(size ? size : 1, 0);
  if (!h) return 0;
  if (size) std::memcpy(MemLock(h), data, size);
  MemUnlock(h);
  TShapeMovie movie;
  if (movie.OpenHandle(h) != TShapeMovie::kOk) return 0;
  for (int32_t n = 0; n <= movie.frameCount + 1; ++n) {
    const uint8_t* frame = movie.FrameRef(n);
    if (frame && !ShapeEntryIsImage(frame)) __builtin_trap();
  }
  return 0;
}

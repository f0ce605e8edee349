// A shape movie over arbitrary bytes, held whole and streamed: every frame it hands out is an image entry of the
// file, and a streamed frame lies wholly in the bytes read so far.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/core/shapemovie.h"
#include "platformlib/core/memclass.h"
#include "platformlib/shapes/shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!memstarted()) initmem();
  const MemHandle h = MemAllocHandle(size ? size : 1, 0);
  if (!h) return 0;
  if (size) std::memcpy(MemLock(h), data, size);
  MemUnlock(h);
  TStreamedShapeMove streamed;
  if (streamed.OpenMemory(data, size) == TShapeMovie::kOk) {
    for (int32_t n = streamed.frameCount + 1; n >= 0; --n) {
      const uint8_t* frame = streamed.FrameRef(n);
      if (!frame) continue;
      if (!ShapeEntryIsImage(frame)) __builtin_trap();
      if (!checkshapeentry(streamed.File(), static_cast<uint32_t>(frame - streamed.File()), streamed.Loaded()))
        __builtin_trap();
    }
  }
  TShapeMovie movie;
  if (movie.OpenHandle(h) != TShapeMovie::kOk) return 0;
  for (int32_t n = 0; n <= movie.frameCount + 1; ++n) {
    const uint8_t* frame = movie.FrameRef(n);
    if (frame && !ShapeEntryIsImage(frame)) __builtin_trap();
  }
  return 0;
}

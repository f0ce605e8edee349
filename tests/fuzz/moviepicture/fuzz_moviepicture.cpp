// Fuzz entry: the input is a movie frame's data after two bytes giving the frame's size in macroblocks. The
// picture decoder either refuses it or fills the frame, which is then drawn at every size; the same bytes go
// through the shape-movie frame decoder twice (the second time against the first frame's samples).
#include <cstdint>
#include <vector>

#include "platformlib/movie/movie.h"
#include "platformlib/gfx/windowdesc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int width = 16 * (1 + data[0] % 4), height = 16 * (1 + data[1] % 3);
  std::vector<uint8_t> coded(data + 2, data + size);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  if (coded.size() >= 4) {
    // Shape-movie frames carry their own size: make it the one asked for so the blocks are reached.
    std::vector<uint8_t> shaped = coded;
    shaped[0] = static_cast<uint8_t>(width);
    shaped[1] = 0;
    shaped[2] = static_cast<uint8_t>(height);
    shaped[3] = 0;
    dctframedecode(frame.data(), shaped.data(), shaped.size(), width, height);
    dctframedecode(frame.data(), shaped.data(), shaped.size(), width, height);
  }
  if (moviedecodeframe(coded.data(), coded.size(), frame.data(), width, height) != 0) return 0;
  std::vector<uint8_t> pixels(static_cast<size_t>(40) * 2 * 100 + 4);
  WindowDesc saved = CurrentWindow, w{};
  initwindowfields(&w, 100, 40, 16, 200, pixels.data());
  w.minx = data[0] % 7;
  CurrentWindow = w;
  setvideoframe(frame.data());
  for (int mode = 0; mode < 4; ++mode) blitvideoframe(data[1] % 50 - 20, data[0] % 30 - 10, width, height, mode);
  setvideoframe(nullptr);
  CurrentWindow = saved;
  return 0;
}

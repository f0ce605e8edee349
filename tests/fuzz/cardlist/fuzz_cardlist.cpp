// The card list "Cards.txt": any text, read to its end and no further, with long names bounded.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/render3d.h"

namespace {
int32_t EveryCard(int32_t) { return 1; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes: a read past the text's end is caught.
  std::vector<char> text(data, data + size);
  uint8_t detected = 0, glide = 0;
  int32_t level = -1;
  gRenderStart = RenderStart{};
  ScanCardList(text.data(), text.size(), EveryCard, &detected, &glide, &level);
  return 0;
}

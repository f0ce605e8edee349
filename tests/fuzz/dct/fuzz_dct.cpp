// The ".dct" background decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "frontend/menu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DctPicture picture;
  if (DecodeDctPicture(data, size, picture) &&
      picture.pairs.size() < static_cast<size_t>(picture.stride) * picture.height)
    __builtin_trap();
  return 0;
}

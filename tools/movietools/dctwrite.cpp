#include <cstring>

#include "movieenc.h"

namespace movietools {

std::vector<uint8_t> encodedct(const uint8_t* rgb, int width, int height, int quality) {
  const int pw = (width + 15) & ~15, ph = (height + 15) & ~15;
  // The padding repeats the picture's last column and row.
  std::vector<uint8_t> padded(static_cast<size_t>(pw) * ph * 3);
  for (int y = 0; y < ph; ++y)
    for (int x = 0; x < pw; ++x) {
      const int sx = x < width ? x : width - 1, sy = y < height ? y : height - 1;
      std::memcpy(&padded[(static_cast<size_t>(y) * pw + x) * 3], &rgb[(static_cast<size_t>(sy) * width + sx) * 3], 3);
    }
  const std::vector<uint8_t> coded = encodepicture(padded.data(), pw, ph, quality, true);
  std::vector<uint8_t> out(24, 0);
  std::memcpy(out.data(), "mTCD", 4);
  auto put16 = [&](size_t at, int v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  put16(12, width);
  put16(14, height);
  put16(20, quality);
  put16(22, 0);
  // The coded words follow the picture chunk's quality word.
  out.insert(out.end(), coded.begin() + 4, coded.end());
  return out;
}

}  // namespace movietools

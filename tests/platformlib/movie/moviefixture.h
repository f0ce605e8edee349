// Helpers of the movie tests: synthetic pictures, decoding a whole picture, PSNR, and a memory window made
// current for the blit.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "movieenc.h"
#include "platformlib/movie/movie.h"
#include "platformlib/gfx/windowdesc.h"

inline std::vector<uint8_t> TestPicture(int width, int height, int seed = 0) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(40 + (x * 170) / width + seed);
      p[1] = static_cast<uint8_t>(30 + (y * 190) / height);
      p[2] = static_cast<uint8_t>(128 + 90 * std::sin((x + y + seed) / 9.0));
    }
  return rgb;
}

// Decoded pairs back to 24-bit RGB through the reference conversion.
inline std::vector<uint8_t> PairsToRgb(const std::vector<PixelPair>& pairs, int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; x += 2) {
      const PixelPair p = pairs[static_cast<size_t>(y) * (width / 2) + x / 2];
      const int cb = p & 0xFF, cr = (p >> 8) & 0xFF;
      movietools::yuvtorgb(static_cast<int>(p >> 24), cb, cr, &rgb[(static_cast<size_t>(y) * width + x) * 3]);
      movietools::yuvtorgb(static_cast<int>((p >> 16) & 0xFF), cb, cr, &rgb[(static_cast<size_t>(y) * width + x + 1) * 3]);
    }
  return rgb;
}

inline double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * double(a[i] - b[i]);
  const double mse = sum / static_cast<double>(a.size());
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A window over test memory made current for the duration of a test.
struct TestWindow {
  std::vector<uint8_t> memory;
  WindowDesc saved;
  TestWindow(int width, int height, int depth, size_t offset = 0) {
    const int32_t rowbytes = windowrowbytes(width, depth);
    memory.assign(static_cast<size_t>(rowbytes) * height + 8, 0xEE);
    saved = CurrentWindow;
    WindowDesc w{};
    initwindowfields(&w, width, height, depth, rowbytes, memory.data() + offset);
    CurrentWindow = w;
  }
  ~TestWindow() { CurrentWindow = saved; }
  uint16_t Pixel(int x, int y) const {
    uint16_t v;
    std::memcpy(&v, CurrentWindow.pixels + static_cast<ptrdiff_t>(y) * CurrentWindow.rowbytes + 2 * x, 2);
    return v;
  }
};

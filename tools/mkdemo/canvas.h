// A small RGB canvas for the generated art: boxes, frames and text in the Terminus face, turned into a 16-bit
// shape or 24-bit rows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "psffont.h"
#include "shapewriter.h"

namespace mkdemo {

struct Rgb {
  int r, g, b;
};

inline uint32_t Pixel(Rgb c) {
  const auto clamp = [](int v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  return (clamp(c.r) >> 3) << 11 | (clamp(c.g) >> 2) << 5 | (clamp(c.b) >> 3);
}

class Canvas {
 public:
  Canvas(int w, int h, Rgb fill) : w_(w), h_(h), rgb_(static_cast<size_t>(w) * h, fill) {}
  void Set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) rgb_[static_cast<size_t>(y) * w_ + x] = c;
  }
  Rgb Get(int x, int y) const { return rgb_[static_cast<size_t>(y) * w_ + x]; }
  void Box(int l, int t, int r, int b, Rgb c) {
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) Set(x, y, c);
  }
  void Frame(int l, int t, int r, int b, int width, Rgb c) {
    Box(l, t, r, t + width, c);
    Box(l, b - width, r, b, c);
    Box(l, t, l + width, b, c);
    Box(r - width, t, r, b, c);
  }
  // The three pixels of each corner left transparent (pixel 0), for a rounded plate.
  void RoundCorners() {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3 - i; ++j) {
        Set(i, j, {0, 0, 0});
        Set(w_ - 1 - i, j, {0, 0, 0});
        Set(i, h_ - 1 - j, {0, 0, 0});
        Set(w_ - 1 - i, h_ - 1 - j, {0, 0, 0});
      }
  }
  // Text in the face, scaled, its top-left at (x, y).
  void Text(const shapetools::Font& font, const std::string& text, int x, int y, int scale, Rgb c) {
    for (char ch : text)
      for (const shapetools::Glyph& g : font.glyphs) {
        if (g.code != static_cast<uint8_t>(ch)) continue;
        for (int gy = 0; gy < g.height * scale; ++gy)
          for (int gx = 0; gx < g.width * scale; ++gx)
            if (g.pixels[static_cast<size_t>((gy / scale) * g.width + gx / scale)]) Set(x + gx, y + gy, c);
        x += g.advance * scale;
        break;
      }
  }
  static int TextWidth(const shapetools::Font& font, const std::string& text, int scale) {
    int w = 0;
    for (char ch : text)
      for (const shapetools::Glyph& g : font.glyphs)
        if (g.code == static_cast<uint8_t>(ch)) {
          w += g.advance * scale;
          break;
        }
    return w;
  }
  shapetools::Image Shape() const {
    shapetools::Image image;
    image.type = 0x78;
    image.width = w_;
    image.height = h_;
    for (const Rgb& c : rgb_) image.pixels.push_back(Pixel(c));
    return image;
  }
  std::vector<uint8_t> Rgb24() const {
    std::vector<uint8_t> out;
    for (const Rgb& c : rgb_) {
      out.push_back(static_cast<uint8_t>(std::clamp(c.r, 0, 255)));
      out.push_back(static_cast<uint8_t>(std::clamp(c.g, 0, 255)));
      out.push_back(static_cast<uint8_t>(std::clamp(c.b, 0, 255)));
    }
    return out;
  }
  int w_, h_;

 private:
  std::vector<Rgb> rgb_;
};

}  // namespace mkdemo

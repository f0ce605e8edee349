#include <gtest/gtest.h>

#include <vector>

#include "scene/swtri.h"

namespace {

struct Canvas {
  explicit Canvas(int w, int h, uint16_t fill = 0) : pixels(static_cast<size_t>(w) * h, fill) {
    surface.pixels = pixels.data();
    surface.pitch = w;
    surface.clipRight = w;
    surface.clipBottom = h;
  }
  uint16_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * surface.pitch + x]; }
  int count(uint16_t value) const {
    int n = 0;
    for (uint16_t p : pixels) n += p == value;
    return n;
  }
  std::vector<uint16_t> pixels;
  Surface16 surface;
};

TEST(SoftwareTriangles, DegenerateAndOffScreenTrianglesDrawNothing) {
  const TriVertex cases[][3] = {
      {{0, 5}, {10, 5}, {20, 5}},     // one row
      {{0, -9}, {10, -4}, {20, 0}},   // lowest vertex on row 0
      {{0, 40}, {10, 50}, {20, 60}},  // below the clip
  };
  for (const auto& tri : cases) {
    Canvas c(32, 32);
    FillTriangle16(c.surface, tri, 0xFFFF);
    EXPECT_EQ(c.count(0xFFFF), 0);
  }
}

TEST(SoftwareTriangles, FillCoversTheInsideAndStaysInTheClip) {
  Canvas c(32, 32);
  const TriVertex tri[3] = {{0, 0}, {20, 0}, {0, 20}};
  FillTriangle16(c.surface, tri, 0x1234);
  EXPECT_EQ(c.at(1, 1), 0x1234);
  EXPECT_EQ(c.at(15, 2), 0x1234);
  EXPECT_EQ(c.at(15, 15), 0);
  Canvas clipped(32, 32);
  clipped.surface.clipLeft = 4, clipped.surface.clipTop = 4, clipped.surface.clipRight = 8,
  clipped.surface.clipBottom = 8;
  const TriVertex big[3] = {{-50, -50}, {90, -40}, {0, 90}};
  FillTriangle16(clipped.surface, big, 7);
  EXPECT_EQ(clipped.count(7), 16);
}

TEST(SoftwareTriangles, ClippedSpansStartWithTheirValuesAtColumnZero) {
  // A 64-texel ramp: texel x has value x; u runs 0..8 over the span from column -5 to 3.
  std::vector<uint8_t> texels(64 * 1);
  for (int i = 0; i < 64; ++i) texels[i] = static_cast<uint8_t>(i);
  const Texture8 texture{texels.data(), 64, 1};
  uint16_t colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = static_cast<uint16_t>(100 + i);
  Canvas c(16, 16);
  const TriVertex tri[3] = {{-5, 0}, {3, 0}, {-5, 8}};
  const int32_t u[3] = {0, 8 << 16, 0}, v[3] = {0, 0, 0};
  MapTriangle16(c.surface, tri, texture, u, v, colours, 0);
  // Row 0 spans -5..3 (9 pixels): u steps by 8/9 of a texel; column 0 is 5 steps in.
  const int32_t step = (8 << 16) / 9;
  EXPECT_EQ(c.at(0, 0), 100 + ((5 * step) >> 16));
  EXPECT_EQ(c.at(3, 0), 100 + ((8 * step) >> 16));
  EXPECT_EQ(c.at(4, 0), 0);
}

TEST(SoftwareTriangles, ShadowMasksDarkenByAQuarterOrAnEighth) {
  for (const auto& [texel, expected] : {std::pair<uint8_t, uint16_t>{0xFE, 0xC618}, {0xFD, 0xE71C}, {0x10, 0xFFFF}}) {
    const uint8_t texels[1] = {texel};
    const Texture8 mask{texels, 1, 1};
    Canvas c(8, 8, 0xFFFF);
    const TriVertex tri[3] = {{0, 0}, {8, 0}, {0, 8}};
    const int32_t zero[3] = {0, 0, 0};
    MapTriangle16(c.surface, tri, mask, zero, zero, nullptr, 1);
    EXPECT_EQ(c.at(1, 1), expected) << int(texel);
  }
}

TEST(SoftwareTriangles, LightLevelsChooseTheColourTableAndTexelsStayInside) {
  uint16_t tables[4 * 256];
  for (int l = 0; l < 4; ++l)
    for (int i = 0; i < 256; ++i) tables[l * 256 + i] = static_cast<uint16_t>(l * 1000 + i);
  const uint8_t texels[4] = {1, 2, 3, 4};
  const Texture8 texture{texels, 2, 2};
  Canvas c(16, 16);
  const TriVertex tri[3] = {{0, 0}, {15, 0}, {0, 15}};
  const int32_t levels[3] = {3 << 16, 3 << 16, 3 << 16};
  // Corners far outside the 2 x 2 texture: every read is clamped to it.
  const int32_t u[3] = {-100 << 16, 500 << 16, 0}, v[3] = {0, 0, 900 << 16};
  MapTriangleShaded16(c.surface, tri, levels, texture, u, v, LightTableSet{tables, 4}, false);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x + y < 10; ++x) {
      const uint16_t p = c.at(x, y);
      EXPECT_GE(p, 3001);
      EXPECT_LE(p, 3004);
    }
}

}  // namespace

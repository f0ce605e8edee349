// The wide row routines of 16-bit windows against pixel-by-pixel references on random inputs: alpha shapes
// (blendover565, blendover555), keyed 8-bit shapes through their colour table, and 1- and 4-bit glyphs
// (writepixel for each set pixel, which also clips; blended 4-bit glyphs through blendover565 or blendover555).
#include <random>
#include <tuple>

#include "platformlib/shapes/textdraw.h"
#include "support/shapefixture.h"

namespace {

using shapetools::Clut;
using shapetools::Image;

class FastRowsTest : public ShapeTest {
 protected:
  std::mt19937 rng{77};
  // Random pixels everywhere in the current window.
  void Scramble(int w, int h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) writepixel(x, y, rng() & 0xFFFF);
  }
  std::vector<uint32_t> Picture(int w, int h) {
    std::vector<uint32_t> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) out.push_back(readpixel(x, y));
    return out;
  }
};

TEST_F(FastRowsTest, AlphaShapesBlendAsPixelByPixel) {
  const uint32_t alphas[] = {0, 0x0F, 0x10, 0x11, 0x80, 0xFB, 0xFC, 0xFF};
  for (int depth : {16, 15}) {
    for (int round = 0; round < 20; ++round) {
      const int w = 41, h = 6, sw = 1 + static_cast<int>(rng() % 37), sh = 1 + static_cast<int>(rng() % 5);
      Window(w, h, depth);
      Scramble(w, h);
      std::vector<uint32_t> source;
      const uint8_t* shape = Shape(MakeImage(0x7D, sw, sh, [&](int, int) {
        const uint32_t c = rng() % 2 ? (alphas[rng() % 8] << 24) | (rng() & 0xFFFFFF) : static_cast<uint32_t>(rng());
        source.push_back(c);
        return c;
      }));
      const int x0 = static_cast<int>(rng() % 8) - 2, y0 = static_cast<int>(rng() % 3);
      std::vector<uint32_t> expected = Picture(w, h);
      for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) {
          const int px = x0 + x, py = y0 + y;
          if (px < 0 || py < 0 || px >= w || py >= h) continue;
          uint32_t& e = expected[static_cast<size_t>(py) * w + px];
          const uint32_t c = source[static_cast<size_t>(y) * sw + x];
          e = depth == 16 ? blendover565(c, e) : blendover555(c, e);
        }
      drawshapealpha(shape, x0, y0);
      ASSERT_EQ(Picture(w, h), expected) << depth << " bits, round " << round;
    }
  }
}

TEST_F(FastRowsTest, KeyedEightBitShapesCopyTheirTablePixels) {
  for (int round = 0; round < 20; ++round) {
    const int w = 45, h = 5, sw = 1 + static_cast<int>(rng() % 40), sh = 1 + static_cast<int>(rng() % 5);
    Window(w, h, 16);
    Scramble(w, h);
    std::vector<uint32_t> source;
    const int keyed = static_cast<int>(rng() % 4);  // how often the key comes: never to mostly
    Image image = MakeImage(0x7B, sw, sh, [&](int, int) {
      const uint32_t v = static_cast<int>(rng() % 4) < keyed ? 255 : rng() % 256;
      source.push_back(v);
      return v;
    });
    std::vector<uint32_t> entries;
    for (int i = 0; i < 256; ++i) entries.push_back(rng() & 0xFFFFFF);
    image.records = {Clut{0x24, entries}};
    const uint8_t* shape = Shape(image);
    uint32_t table[256];
    getclut16aptr(shape, table);
    const int x0 = static_cast<int>(rng() % 8) - 2;
    std::vector<uint32_t> expected = Picture(w, h);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) {
        const uint32_t v = source[static_cast<size_t>(y) * sw + x];
        if (v != 255 && x0 + x >= 0 && x0 + x < w) expected[static_cast<size_t>(y) * w + x0 + x] = table[v] & 0xFFFF;
      }
    drawshapetrans(shape, x0, 0);
    ASSERT_EQ(Picture(w, h), expected) << "round " << round;
  }
}

TEST_F(FastRowsTest, GlyphsDrawTheirSetPixelsOnly) {
  inittextstate();
  std::vector<uint8_t> work(64 + 16 * 256);
  textstate.work = work.data();
  for (const auto& [bits, blend, depth] : {std::tuple{1, false, 16}, {4, false, 16}, {4, true, 16}, {4, true, 15}}) {
    for (int round = 0; round < 120; ++round) {
      const int w = 40, h = 20;
      Window(w, h, depth);
      Scramble(w, h);
      // Up to 28 pixels a row: blended rows go eight pixels at a time, then one by one.
      const int rowbytes = 1 + static_cast<int>(rng() % (bits == 4 ? 14 : 6)), rows = 12;
      std::vector<uint8_t> image(static_cast<size_t>(rowbytes) * rows);
      const int density = static_cast<int>(rng() % 3);  // empty bytes, sparse, dense
      for (uint8_t& b : image) b = density == 0 ? 0 : static_cast<uint8_t>(density == 1 ? rng() & rng() & rng() : rng());
      for (int i = 0; i < 16; ++i) textstate.ramp[i] = rng() & 0xFFFF;
      uint32_t colours[16] = {};  // premultiplied ramp colours; step 0 is transparent
      for (int i = 1; i < 16; ++i) {
        const uint32_t a = i == 15 ? 255 : rng() % 256;
        colours[i] = a << 24 | (rng() % (a + 1)) << 16 | (rng() % (a + 1)) << 8 | (rng() % (a + 1));
      }
      std::memcpy(work.data(), colours, sizeof colours);
      textstate.foreground = rng() & 0xFFFF;
      const int pixelsPerRow = rowbytes * 8 / bits;
      const int sx = static_cast<int>(rng() % pixelsPerRow), sy = static_cast<int>(rng() % 4);
      const int gw = 1 + static_cast<int>(rng() % (pixelsPerRow - sx)), gh = 1 + static_cast<int>(rng() % (rows - sy));
      // Blended glyphs take their row path only wholly inside the window.
      const int x = blend ? static_cast<int>(rng() % (w - gw)) : static_cast<int>(rng() % (w + 8)) - 6;
      const int y = blend ? static_cast<int>(rng() % (h - gh)) : static_cast<int>(rng() % (h + 4)) - 3;
      // The reference: every set pixel through writepixel.
      std::vector<uint32_t> before = Picture(w, h);
      for (int j = 0; j < gh; ++j)
        for (int i = 0; i < gw; ++i) {
          const int p = sx + i;
          const uint8_t byte = image[static_cast<size_t>(sy + j) * rowbytes + static_cast<size_t>(p * bits / 8)];
          const int v = bits == 1 ? (byte >> (7 - (p & 7))) & 1 : ((p & 1) ? byte & 15 : byte >> 4);
          if (!v || x + i < 0 || y + j < 0 || x + i >= w || y + j >= h) continue;
          const uint32_t old = readpixel(x + i, y + j);
          const uint32_t blended = depth == 16 ? blendover565(colours[v], old) : blendover555(colours[v], old);
          writepixel(x + i, y + j, bits == 1 ? textstate.foreground : blend ? blended : textstate.ramp[v]);
        }
      const std::vector<uint32_t> expected = Picture(w, h);
      for (int py = 0; py < h; ++py)
        for (int px = 0; px < w; ++px) writepixel(px, py, before[static_cast<size_t>(py) * w + px]);
      if (bits == 1) fortext1(x, y, image.data(), sx, sy, gw, gh, rowbytes);
      else if (blend) blitglyph4blend(x, y, image.data(), sx, sy, gw, gh, rowbytes);
      else blitglyph4(x, y, image.data(), sx, sy, gw, gh, rowbytes);
      ASSERT_EQ(Picture(w, h), expected) << bits << " bits, blend " << blend << ", round " << round;
    }
  }
  textstate.work = nullptr;
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfxfixture.h"
#include "platformlib/gfx/pixels.h"

class Pixels : public GfxTest {
 protected:
  WindowDesc* Current(int width, int height, int depth) {
    WindowDesc* w = Make(width, height, depth);
    EXPECT_NE(w, nullptr);
    EXPECT_EQ(setwindow(w), 1);
    std::memset(w->pixels, 0, static_cast<size_t>(w->rowbytes) * static_cast<size_t>(height));
    return w;
  }
  void TearDown() override {
    InverseColourTable = nullptr;
    std::memset(UsableEntries, 1, sizeof UsableEntries);
    GfxTest::TearDown();
  }
};

TEST_F(Pixels, ValuesRoundTripAndLieInMemoryAsTheDepthSays) {
  struct Case {
    int depth;
    uint32_t value;
    std::vector<uint8_t> bytes;  // the pixel's bytes at x = 1, y = 1
    uint32_t readback;
  };
  const std::vector<Case> cases = {
      {4, 0x1B, {0xB0}, 0xB},  // odd x: high nibble, only four bits kept
      {8, 0x1C3, {0xC3}, 0xC3},
      {15, 0x12345, {0x45, 0x23}, 0x2345},
      {16, 0xBEEF, {0xEF, 0xBE}, 0xBEEF},
      {24, 0xAA112233, {0x33, 0x22, 0x11}, 0x112233},
      {32, 0xAA112233, {0x33, 0x22, 0x11, 0xAA}, 0xAA112233},
  };
  for (const Case& c : cases) {
    WindowDesc* w = Current(4, 3, c.depth);
    writepixel(1, 1, c.value);
    EXPECT_EQ(readpixel(1, 1), c.readback) << c.depth;
    const uint8_t* p = w->pixels + w->rowbytes + (c.depth == 4 ? 0 : (c.depth == 15 ? 2 : c.depth / 8));
    EXPECT_EQ(std::vector<uint8_t>(p, p + c.bytes.size()), c.bytes) << c.depth;
    xorpixel(1, 1, c.value);
    EXPECT_EQ(readpixel(1, 1), 0u) << c.depth;
  }
}

TEST_F(Pixels, NibblesOfFourBitWindows) {
  WindowDesc* w = Current(4, 1, 4);
  writepixel(0, 0, 0x5);
  writepixel(1, 0, 0xA);
  EXPECT_EQ(w->pixels[0], 0xA5);
  xorpixel(0, 0, 0xF);
  EXPECT_EQ(w->pixels[0], 0xAA);
}

TEST_F(Pixels, ClipRectangleBoundsAreInclusiveThenExclusive) {
  WindowDesc* w = Current(10, 10, 8);
  w->minx = 2;
  w->maxx = 6;
  ASSERT_EQ(setwindow(w), 1);
  writepixel(6, 0, 9);
  writepixel(2, 0, 7);
  writepixel(1, 0, 7);
  EXPECT_EQ(w->pixels[6], 0);
  EXPECT_EQ(w->pixels[2], 7);
  EXPECT_EQ(w->pixels[1], 0);
  EXPECT_EQ(readpixel(1, 0), 0u);
  EXPECT_EQ(readpixel(-5, -5), 0u);
  writepixel(-1, 100000, 1);  // far outside: nothing happens
}

TEST_F(Pixels, ColourOfPixelValues) {
  Current(2, 2, 15);
  EXPECT_EQ(getargb(0x8000), 0xFF000000u);
  EXPECT_EQ(getargb(0x7FFF), 0x00F8F8F8u);
  EXPECT_EQ(getargb(0xFC00), 0xFFF80000u);
  Current(2, 2, 16);
  EXPECT_EQ(getargb(0), 0u);
  EXPECT_EQ(getargb(0xFFFF), 0xFFF8FCF8u);
  EXPECT_EQ(getargb(0x07E0), 0xFF00FC00u);
  Current(2, 2, 32);
  EXPECT_EQ(getargb(0x12345678), 0x12345678u);
  Current(2, 2, 8);
  CurrentPalette[3] = 0x80102030;
  EXPECT_EQ(getargb(3), 0x80102030u);
  EXPECT_TRUE(CapturedAborts().empty());
}

TEST_F(Pixels, OutOfRangeValuesAbort) {
  Current(2, 2, 8);
  getargb(256);
  EXPECT_TRUE(AbortedWith("getargb - INVALID COLOUR INDEX.\nCURRENT WINDOW BPP 8. REQUESTED ARGB FOR COLOUR INDEX 256 ($100)."));
  Current(2, 2, 16);
  getargb(0x10000);
  EXPECT_TRUE(AbortedWith("getargb - INVALID 16 BIT COLOUR."));
  Current(2, 2, 15);
  getargb(0x10000);
  EXPECT_TRUE(AbortedWith("getargb - INVALID 15 BIT COLOUR."));
  EXPECT_EQ(CapturedAborts().size(), 3u);
}

TEST_F(Pixels, PixelValuesOfColours) {
  Current(2, 2, 15);
  EXPECT_EQ(rgbpixel(0), 0u);
  EXPECT_EQ(rgbpixel(0x000008), 0x8001u);
  EXPECT_EQ(rgbpixel(0xFF000000), 0x8000u);  // alpha alone is not black
  EXPECT_EQ(rgbpixel(0xFFFFFF), 0xFFFFu);
  Current(2, 2, 16);
  EXPECT_EQ(rgbpixel(0xFFFFFF), 0xFFFFu);
  EXPECT_EQ(rgbpixel(0x00FF00), 0x07E0u);
  EXPECT_EQ(rgbpixel(0x080400), 0x0820u);
  Current(2, 2, 24);
  EXPECT_EQ(rgbpixel(0x80123456), 0x80123456u);
  Current(2, 2, 8);
  std::vector<uint8_t> inverse(32768, 0);
  inverse[(0x10 >> 3) * 1024 + (0x20 >> 3) * 32 + (0x30 >> 3)] = 77;
  InverseColourTable = inverse.data();
  EXPECT_EQ(rgbpixel(0x102030), 77u);
  const uint8_t triple[3] = {0x10, 0x20, 0x30};
  rgbtopixels(9, 1, triple);
  EXPECT_EQ(IndexRemap[9], 77);
  IndexRemap[9] = 9;
}

TEST_F(Pixels, NearestColourPrefersTheLowerIndexAndHonoursUsableEntries) {
  for (uint32_t& e : CurrentPalette) e = 0xFF000000;
  CurrentPalette[10] = 0xFF102030;
  CurrentPalette[12] = 0xFF102030;
  CurrentPalette[20] = 0xFF0F2030;
  EXPECT_EQ(nearestcolour(0x102030), 10);
  UsableEntries[10] = 0;
  EXPECT_EQ(nearestcolour(0x102030), 12);
  std::memset(UsableEntries, 0, sizeof UsableEntries);
  EXPECT_EQ(nearestcolour(0x102030), 0);
  Current(2, 2, 8);
  std::memset(UsableEntries, 1, sizeof UsableEntries);
  EXPECT_EQ(rgbpixel(0x0F2030), 20u);
}

TEST_F(Pixels, LinesLeaveOutTheirLastPoint) {
  WindowDesc* w = Current(8, 8, 8);
  drawline(0, 0, 3, 0, 5);
  EXPECT_EQ(std::vector<uint8_t>(w->pixels, w->pixels + 5), (std::vector<uint8_t>{5, 5, 5, 0, 0}));
  drawline(7, 7, 4, 4, 6);  // 45 degrees, upwards to the left
  EXPECT_EQ(readpixel(7, 7), 6u);
  EXPECT_EQ(readpixel(5, 5), 6u);
  EXPECT_EQ(readpixel(4, 4), 0u);
  drawline(2, 2, 2, 2, 9);
  EXPECT_EQ(readpixel(2, 2), 0u);
}

TEST_F(Pixels, FillRectangleStaysInsideTheClip) {
  for (int depth : {4, 8, 15, 16, 24, 32}) {
    Current(10, 6, depth);
    fillrect(-5, 4, 100, 100, 0xFFFFFFFF);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 10; ++x) EXPECT_EQ(readpixel(x, y) != 0, y >= 4) << depth << " " << x << "," << y;
    fillrect(INT32_MAX - 2, 0, INT32_MAX, 2, 1);  // no wrap-around
    EXPECT_EQ(readpixel(0, 0), 0u);
  }
}

TEST_F(Pixels, Palette) {
  const uint8_t triples[6] = {1, 2, 3, 250, 251, 252};
  setpalette(4, 2, triples);
  EXPECT_EQ(CurrentPalette[4], 0xFF010203u);
  EXPECT_EQ(CurrentPalette[5], 0xFFFAFBFCu);
  uint8_t back[6] = {};
  getpalette(4, 2, back);
  EXPECT_EQ(std::memcmp(back, triples, 6), 0);
  const uint8_t vga[3] = {63, 0x20, 1};
  vgapalette(7, 1, vga);
  EXPECT_EQ(CurrentPalette[7], 0xFFFF8204u);
  const uint32_t entries[2] = {0x11223344, 0x55667788};
  setpalette32(254, 5, entries);  // trimmed at the end of the palette
  uint32_t out[2] = {};
  getpalette32(254, 2, out);
  EXPECT_EQ(out[0], 0x11223344u);
  EXPECT_EQ(out[1], 0x55667788u);
  getvgapalette();
  EXPECT_TRUE(AbortedWith("getvgapalette - STOP USING VGA PALETTES, THEY`VE BEEN OBSOLETE FOR 5 YEARS!\n"));
}

TEST_F(Pixels, UnsupportedDepthAborts) {
  WindowDesc* w = Current(16, 2, 1);
  ASSERT_NE(w, nullptr);
  writepixel(0, 0, 1);
  EXPECT_TRUE(AbortedWith("writepixel - INVALID CURRENTWINDOW. BPP 1\n"));
  readpixel(0, 0);
  EXPECT_TRUE(AbortedWith("readpixel - INVALID CURRENTWINDOW. BPP 1\n"));
}

namespace {
struct PaletteHandOver {
  int calls = 0, first = -1, count = -1;
  int keep = 1;  // 0: the window's palette is fixed
};
PaletteHandOver& HandOver() {
  static PaletteHandOver h;
  return h;
}
}  // namespace

TEST_F(Pixels, PaletteChangesReachAnEightBitDisplay) {
  HandOver() = PaletteHandOver{};
  gfxhooks().setwinpalette = [](WindowDesc*, int first, int count, const uint32_t* entries, uint32_t* held) {
    ++HandOver().calls;
    HandOver().first = first;
    HandOver().count = count;
    for (int i = 0; i < count; ++i) held[i] = entries[i] | 0x00010101;  // the display rounds colours its way
    return HandOver().keep;
  };
  const uint8_t triples[6] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  DisplayWindow.depth = 8;
  setpalette(20, 2, triples);
  EXPECT_EQ(HandOver().calls, 0);  // graphics not started
  gfxstate().graphicsstate = 7;
  setpalette(20, 2, triples);
  EXPECT_EQ(HandOver().calls, 1);
  EXPECT_EQ(HandOver().first, 20);
  EXPECT_EQ(HandOver().count, 2);
  EXPECT_EQ(CurrentPalette[21], 0xFF415161u);  // what the display holds comes back
  HandOver().keep = 0;
  setpalette(20, 2, triples);
  EXPECT_EQ(CurrentPalette[21], 0xFF405060u);
  DisplayWindow.depth = 16;
  setpalette(20, 2, triples);
  EXPECT_EQ(HandOver().calls, 2);
  DisplayWindow = WindowDesc{};
}

TEST_F(Pixels, RandomLinesStayInsideTheClip) {
  uint32_t seed = 4711;
  auto next = [&seed](int lo, int hi) {
    seed = seed * 1664525u + 1013904223u;
    return lo + static_cast<int>((seed >> 8) % static_cast<uint32_t>(hi - lo + 1));
  };
  for (int depth : {8, 16, 32}) {
    WindowDesc* w = Current(40, 30, depth);
    const size_t bytes = static_cast<size_t>(w->rowbytes) * 30;
    for (int n = 0; n < 2000; ++n) {
      w->minx = next(0, 20);
      w->miny = next(0, 15);
      w->maxx = next(w->minx + 1, 40);
      w->maxy = next(w->miny + 1, 30);
      ASSERT_EQ(setwindow(w), 1);
      std::memset(w->pixels, 0, bytes);
      const int big = n % 3 == 0 ? 100000 : 60;
      drawline(next(-big, big), next(-big, big), next(-big, big), next(-big, big), 0xFFFFFFFF);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
          const bool inside = x >= w->minx && x < w->maxx && y >= w->miny && y < w->maxy;
          if (inside) continue;
          const WindowDesc saved = CurrentWindow;
          CurrentWindow.minx = CurrentWindow.miny = 0;
          CurrentWindow.maxx = 40;
          CurrentWindow.maxy = 30;
          const uint32_t p = readpixel(x, y);
          CurrentWindow = saved;
          ASSERT_EQ(p, 0u) << "depth " << depth << " line " << n << " at " << x << "," << y;
        }
    }
    EXPECT_NE(validatemem(0), 0);
  }
}

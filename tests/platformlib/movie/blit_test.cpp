#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "moviefixture.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/videoout.h"

namespace {

PixelPair Pair(int left, int right, int cb, int cr) {
  return static_cast<PixelPair>(cb | cr << 8 | right << 16 | left << 24);
}

// The conversion written out plainly: 7-bit sums clipped, then cut to the window's fields.
uint16_t Expected(int y, int cb, int cr, int depth) {
  const double b = cb - 64 + 0.5, r = cr - 64 + 0.5;
  const int red = std::clamp(y + static_cast<int>(std::lround(r * 1.402)), 0, 127);
  const int green = std::clamp(y + static_cast<int>(std::lround(b * -0.3441)) + static_cast<int>(std::lround(r * -0.7141)), 0, 127);
  const int blue = std::clamp(y + static_cast<int>(std::lround(b * 1.772)), 0, 127);
  if (depth == 15) return static_cast<uint16_t>((red >> 2) << 10 | (green >> 2) << 5 | blue >> 2);
  return static_cast<uint16_t>((red >> 2) << 11 | (green >> 1) << 5 | blue >> 2);
}

TEST(MovieColour, RowsAtEachDepth) {
  const PixelPair pairs[] = {Pair(0, 127, 64, 64), Pair(100, 20, 0, 127), Pair(64, 65, 127, 0), Pair(127, 127, 127, 127)};
  for (int depth : {15, 16}) {
    buildvideocolourtables(depth);
    EXPECT_EQ(videocolourdepth(), depth);
    uint32_t single[4], twice[8];
    yuvrow(pairs, single, 4);
    yuvrowdouble(pairs, twice, 4);
    for (int i = 0; i < 4; ++i) {
      const int cb = pairs[i] & 0xFF, cr = (pairs[i] >> 8) & 0xFF;
      const uint16_t left = Expected(static_cast<int>(pairs[i] >> 24), cb, cr, depth);
      const uint16_t right = Expected(static_cast<int>((pairs[i] >> 16) & 0xFF), cb, cr, depth);
      EXPECT_EQ(single[i] & 0xFFFF, left) << depth << " " << i;
      EXPECT_EQ(single[i] >> 16, right) << depth << " " << i;
      EXPECT_EQ(twice[2 * i], left * 0x10001u);
      EXPECT_EQ(twice[2 * i + 1], right * 0x10001u);
    }
  }
  // Grey stays grey: white and black at 16 bits.
  buildvideocolourtables(16);
  uint32_t out;
  const PixelPair bw = Pair(127, 0, 64, 64);
  yuvrow(&bw, &out, 1);
  EXPECT_EQ(out, 0x0000FFFFu);
}

TEST(MovieColour, WideningInterpolatesLuminanceAndColour) {
  const PixelPair pairs[] = {Pair(10, 20, 40, 50), Pair(30, 41, 60, 71)};
  PixelPair out[4];
  yuvwiden(pairs, out, 2);
  EXPECT_EQ(out[0], Pair(10, 15, 40, 50));
  EXPECT_EQ(out[1], Pair(20, 25, 50, 60));  // colour: mean of this pair's and the next
  EXPECT_EQ(out[2], Pair(30, 35, 60, 71));
  EXPECT_EQ(out[3], Pair(41, 41, 60, 71));  // the last pair repeats itself
  const PixelPair other[] = {Pair(20, 30, 50, 60), Pair(40, 51, 70, 81)};
  PixelPair avg[4];
  yuvwidenavg(pairs, other, avg, 2);
  EXPECT_EQ(avg[0], Pair(15, 20, 45, 55));
  EXPECT_EQ(avg[1], Pair(25, 30, 55, 65));
  EXPECT_EQ(avg[2], Pair(35, 40, 65, 76));
  EXPECT_EQ(avg[3], Pair(46, 46, 65, 76));
}

class MovieBlit : public ::testing::Test {
 protected:
  static constexpr int kWidth = 32, kHeight = 8;
  void SetUp() override {
    frame_.resize(kWidth / 2 * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int p = 0; p < kWidth / 2; ++p)
        frame_[static_cast<size_t>(y) * (kWidth / 2) + p] = Pair(4 * p + y, 4 * p + 2 + y, 30 + 2 * y, 90 - p);
    setvideoframe(frame_.data());
  }
  void TearDown() override { setvideoframe(nullptr); }
  uint16_t Source(int x, int y, int depth = 16) const {
    const PixelPair p = frame_[static_cast<size_t>(y) * (kWidth / 2) + x / 2];
    return Expected(static_cast<int>((x & 1) ? (p >> 16) & 0xFF : p >> 24), p & 0xFF, (p >> 8) & 0xFF, depth);
  }
  std::vector<PixelPair> frame_;
};

TEST_F(MovieBlit, BadModeAndDepth) {
  TestWindow w16(64, 32, 16);
  EXPECT_EQ(blitvideoframe(0, 0, kWidth, kHeight, 4), -1);
  EXPECT_EQ(blitvideoframe(0, 0, kWidth, kHeight, -1), -1);
  TestWindow w8(64, 32, 8);
  EXPECT_EQ(blitvideoframe(0, 0, kWidth, kHeight, 0), -2);
  for (size_t i = 0; i + 8 < w8.memory.size(); ++i) ASSERT_EQ(w8.memory[i], 0xEE);
}

TEST_F(MovieBlit, SingleSizeAt15And16Bits) {
  for (int depth : {15, 16}) {
    TestWindow w(64, 32, depth);
    EXPECT_EQ(blitvideoframe(10, 5, kWidth, kHeight, 0), 0);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 64; ++x) {
        const bool inside = x >= 10 && x < 10 + kWidth && y >= 5 && y < 5 + kHeight;
        ASSERT_EQ(w.Pixel(x, y), inside ? Source(x - 10, y - 5, depth) : 0xEEEE) << depth << " " << x << "," << y;
      }
  }
}

TEST_F(MovieBlit, ClippedToTheClipRectangleInWholePairs) {
  TestWindow w(64, 32, 16);
  CurrentWindow.minx = 13;
  CurrentWindow.miny = 6;
  CurrentWindow.maxx = 35;
  CurrentWindow.maxy = 10;
  EXPECT_EQ(blitvideoframe(10, 4, kWidth, kHeight, 0), 0);
  // Two pairs skipped on the left (x 14 on), two rows above; the right end stops before 35 at a pair edge.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool inside = x >= 14 && x < 34 && y >= 6 && y < 10;
      ASSERT_EQ(w.Pixel(x, y), inside ? Source(x - 10, y - 4) : 0xEEEE) << x << "," << y;
    }
  // Off the window or down to one pair: nothing drawn.
  EXPECT_EQ(blitvideoframe(32, 0, kWidth, kHeight, 0), 0);  // one pair left before maxx
  EXPECT_EQ(blitvideoframe(-100, -100, kWidth, kHeight, 0), 0);
  EXPECT_EQ(blitvideoframe(100, 100, kWidth, kHeight, 0), 0);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x)
      if (!(x >= 14 && x < 34 && y >= 6 && y < 10)) {
        ASSERT_EQ(w.Pixel(x, y), 0xEEEE) << x << "," << y;
      }
}

TEST_F(MovieBlit, OddWordBoundaryMakesXOdd) {
  TestWindow w(64, 16, 16, 2);  // first pixel two bytes past a 32-bit boundary
  EXPECT_EQ(blitvideoframe(4, 0, kWidth, kHeight, 0), 0);
  EXPECT_EQ(w.Pixel(4, 0), 0xEEEE);
  EXPECT_EQ(w.Pixel(5, 0), Source(0, 0));
  EXPECT_EQ(w.Pixel(5 + kWidth - 1, 0), Source(kWidth - 1, 0));
}

TEST_F(MovieBlit, DoubleSizeModes) {
  for (int mode : {1, 2, 3}) {
    TestWindow w(80, 24, 16);
    EXPECT_EQ(blitvideoframe(0, 0, kWidth, kHeight, mode), 0);
    buildvideocolourtables(16);
    for (int r = 0; r < kHeight; ++r) {
      const PixelPair* row = &frame_[static_cast<size_t>(r) * (kWidth / 2)];
      const PixelPair* next = &frame_[static_cast<size_t>(std::min(r + 1, kHeight - 1)) * (kWidth / 2)];
      std::vector<PixelPair> wide(kWidth), between(kWidth * 2);
      std::vector<uint32_t> drawn(kWidth), filled(kWidth);
      if (mode == 3) {
        yuvwiden(row, wide.data(), kWidth / 2);
        yuvrow(wide.data(), drawn.data(), kWidth);
        yuvwidenavg(row, next, between.data(), kWidth / 2);
        yuvrow(between.data(), filled.data(), kWidth);
      } else {
        yuvrowdouble(row, drawn.data(), kWidth / 2);
        for (int p = 0; p < kWidth / 2; ++p) {
          const PixelPair a = row[p], b = next[p];
          PixelPair m = 0;
          for (int k = 0; k < 4; ++k) m |= ((((a >> (8 * k)) & 0xFF) + ((b >> (8 * k)) & 0xFF)) >> 1) << (8 * k);
          between[static_cast<size_t>(p)] = m;
        }
        yuvrowdouble(between.data(), filled.data(), kWidth / 2);
      }
      for (int x = 0; x < 2 * kWidth; ++x) {
        const uint32_t d = drawn[static_cast<size_t>(x / 2)], f = filled[static_cast<size_t>(x / 2)];
        ASSERT_EQ(w.Pixel(x, 2 * r), (x & 1) ? d >> 16 : d & 0xFFFF) << mode << " " << x << "," << r;
        const uint16_t expect = mode == 1 ? 0xEEEE : static_cast<uint16_t>((x & 1) ? f >> 16 : f & 0xFFFF);
        ASSERT_EQ(w.Pixel(x, 2 * r + 1), expect) << mode << " " << x << "," << r;
      }
      for (int x = 2 * kWidth; x < 80; ++x) ASSERT_EQ(w.Pixel(x, 2 * r), 0xEEEE);
    }
    for (int y = 2 * kHeight; y < 24; ++y) ASSERT_EQ(w.Pixel(0, y), 0xEEEE);
  }
}

TEST_F(MovieBlit, DoubleSizeStopsAtTheBottomOfTheClip) {
  TestWindow w(80, 24, 16);
  CurrentWindow.maxy = 5;
  EXPECT_EQ(blitvideoframe(0, 0, kWidth, kHeight, 2), 0);
  EXPECT_NE(w.Pixel(0, 4), 0xEEEE);
  for (int y = 5; y < 24; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_EQ(w.Pixel(x, y), 0xEEEE) << x << "," << y;
}

int gGuardCalls = 0;
int GuardRefuses() {
  ++gGuardCalls;
  return 0;
}

TEST(MovieBlitGuard, LargeDoubleSizeAsksTheSurfaceGuardBeforeTheRowsBetween) {
  const int width = 320, height = 240;
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height, Pair(60, 60, 64, 64));
  setvideoframe(frame.data());
  int (*const oldlock)(WindowDesc*) = lockwindowhook;
  int (*const oldrelock)() = gfxhooks().relocksurface;
  lockwindowhook = nullptr;
  gfxhooks().relocksurface = GuardRefuses;
  for (int mode : {1, 2, 3}) {
    for (const auto& [w, h, calls] : {std::tuple{width, height, 1}, std::tuple{width, 64, 0}}) {
      TestWindow window(640, 480, 16);
      int dummy = 0;
      CurrentWindow.surface = &dummy;  // a display surface: the guard matters
      gGuardCalls = 0;
      EXPECT_EQ(blitvideoframe(0, 0, w, h, mode), 0);
      // Mode 1 leaves the rows between alone and never asks; a small frame does not either.
      EXPECT_EQ(gGuardCalls, mode == 1 ? 0 : calls) << mode << " " << h;
      EXPECT_NE(window.Pixel(0, 0), 0xEEEE);
      // The guard said no: the rows between stay undrawn. Otherwise they are drawn.
      EXPECT_EQ(window.Pixel(0, 1) == 0xEEEE, mode == 1 || calls == 1) << mode << " " << h;
    }
  }
  gfxhooks().relocksurface = oldrelock;
  lockwindowhook = oldlock;
  setvideoframe(nullptr);
}

TEST_F(MovieBlit, MovieOutputHookDrawsTheFrame) {
  moviesetblithook();
  ASSERT_NE(blitvideoframehook, nullptr);
  TestWindow w(64, 32, 16);
  blitvideoframehook(reinterpret_cast<const uint8_t*>(frame_.data()), 2, 3, kWidth, kHeight, 0);
  EXPECT_EQ(w.Pixel(2, 3), Source(0, 0));
  EXPECT_EQ(w.Pixel(2 + kWidth - 1, 3 + kHeight - 1), Source(kWidth - 1, kHeight - 1));
  blitvideoframehook = nullptr;
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "gfxfixture.h"
#include "platformlib/gfx/fixtrig.h"
#include "platformlib/gfx/pixels.h"

TEST(FixTrig, SineAndCosineAtKnownAngles) {
  struct Case {
    int32_t angle, sine;
  };
  for (const Case& c : std::vector<Case>{{0, 0},
                                         {32, 201},
                                         {64, 402},
                                         {0x2000, 46340},
                                         {0x4000, 65536},
                                         {0x8000, 0},
                                         {0xC000, -65536},
                                         {105 * 64, 39361},
                                         {222 * 64, 64114}})
    EXPECT_EQ(fixsin(c.angle), c.sine) << "angle " << c.angle;
  EXPECT_EQ(fixcos(0), 65536);
  EXPECT_EQ(fixcos(0x2000), 46340);
  EXPECT_EQ(fixcos(0x4000), 0);
  EXPECT_EQ(fixcos(0x8000), -65536);
}

TEST(FixTrig, OnlyTheLowSixteenBitsMatter) {
  for (int32_t a : {0, 1, 33, 0x1234, 0x7FFF, 0xBEEF, 0xFFFF}) {
    EXPECT_EQ(fixsin(0x10000 + a), fixsin(a));
    EXPECT_EQ(fixcos(0x30000 + a), fixcos(a));
    EXPECT_EQ(fixsin(a - 0x10000), fixsin(a));
  }
}

TEST(FixTrig, SinCosGivesBothAndStaysCloseToTheTrueValues) {
  for (int32_t a = 0; a < 0x10000; a += 97) {
    int32_t s = 0, c = 0;
    fixsincos(a, &s, &c);
    EXPECT_EQ(s, fixsin(a));
    EXPECT_EQ(c, fixcos(a));
    const double r = a * 2 * M_PI / 65536.0;
    EXPECT_NEAR(s, std::sin(r) * 65536, 3.0) << a;
    EXPECT_NEAR(c, std::cos(r) * 65536, 3.0) << a;
  }
}

TEST(FixTrig, TableLookupByQuadrant) {
  struct Case {
    int32_t step, sine, cosine;
  };
  for (const Case& c : std::vector<Case>{{0, 0, 65536},
                                         {128, 46340, 46340},
                                         {256, 65536, 0},
                                         {512, 0, -65536},
                                         {768, -65536, 0},
                                         {1024 + 1, 402, 65534},
                                         {-256, -65536, 0}}) {
    int32_t s = 0, k = 0;
    sincostable(c.step, &s, &k);
    EXPECT_EQ(s, c.sine) << c.step;
    EXPECT_EQ(k, c.cosine) << c.step;
  }
}

TEST(FixTrig, ArcTangentFoldsIntoTheCircle) {
  struct Case {
    int32_t dx, dy, angle;
  };
  for (const Case& c : std::vector<Case>{{0, 5, 0},
                                         {5, 0, 0x4000},
                                         {0, -5, 0x8000},
                                         {-5, 0, -0x4000},
                                         {1, 1, 0x2000},
                                         {1, -1, 0x6000},
                                         {-1, -1, -0x6000},
                                         {-1, 1, -0x2000},
                                         {0, 0, 0x2000},
                                         {3, 4, 0x1A38},
                                         {4, 3, 0x4000 - 0x1A38},
                                         {-3, -4, 0x1A38 - 0x8000}})
    EXPECT_EQ(fixatan2(c.dx, c.dy), c.angle) << c.dx << "," << c.dy;
}

TEST(FixTrig, ArcTangentInvertsSineAndCosine) {
  for (int32_t a = -0x7F00; a < 0x7F00; a += 251) {
    const int32_t back = fixatan2(fixsin(a), fixcos(a));
    EXPECT_LE(std::abs(back - a), 2) << a;
  }
  // Extreme magnitudes neither overflow nor lose the quadrant.
  EXPECT_EQ(fixatan2(INT32_MIN, 0), -0x4000);
  EXPECT_EQ(fixatan2(0, INT32_MIN), 0x8000);
  EXPECT_EQ(fixatan2(INT32_MAX, INT32_MAX), 0x2000);
}

TEST(FixTrig, CoarseArcTangent) {
  EXPECT_EQ(fixatan2coarse(5, 0), 0x100);
  EXPECT_EQ(fixatan2coarse(0, -5), 0x200);
  EXPECT_EQ(fixatan2coarse(0, 5), 0);
  EXPECT_EQ(fixatan2coarse(2, 2), 0x80);
  EXPECT_EQ(fixatan2coarse(-3, -4), 105 - 0x200);  // atan(3/4) is 104.87 units of 1024
}

TEST(ClipLine, RejectsAcceptsAndCuts) {
  int32_t x1 = 700, y1 = 10, x2 = 900, y2 = 400;
  EXPECT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 0, 0, 640, 480), 0);

  x1 = -10, y1 = 100, x2 = 1000, y2 = 100;
  EXPECT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 0, 0, 640, 480), 1);
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(x2, 639);
  EXPECT_EQ(y1, 100);
  EXPECT_EQ(y2, 100);

  x1 = 5, y1 = 6, x2 = 7, y2 = 8;
  EXPECT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 0, 0, 640, 480), 1);
  EXPECT_EQ(x1 + y1 + x2 + y2, 26);

  // A vertical line through the whole height.
  x1 = 20, y1 = -50, x2 = 20, y2 = 5000;
  EXPECT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 0, 0, 640, 480), 1);
  EXPECT_EQ(y1, 0);
  EXPECT_EQ(y2, 479);
}

TEST(ClipLine, FarEndPointsDoNotOverflow) {
  int32_t x1 = -2000000000, y1 = -2000000000, x2 = 2000000000, y2 = 2000000000;
  ASSERT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 0, 0, 640, 480), 1);
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(y1, 0);
  EXPECT_LE(x2, 639);
  EXPECT_LE(y2, 479);
  EXPECT_EQ(x2, y2);
}

class XorLine : public GfxTest {};

TEST_F(XorLine, DrawingTwiceRestoresTheWindowAtEveryDepth) {
  for (int depth : {4, 8, 15, 16, 24, 32}) {
    WindowDesc* w = Make(64, 48, depth);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(setwindow(w), 1);
    std::srand(7);
    const size_t bytes = static_cast<size_t>(w->rowbytes) * 48;
    for (size_t i = 0; i < bytes; ++i) w->pixels[i] = static_cast<uint8_t>(std::rand());
    const std::vector<uint8_t> before(w->pixels, w->pixels + bytes);
    const int32_t lines[][4] = {{0, 0, 63, 47}, {-20, 10, 100, 30}, {5, 60, 40, -7}, {10, 10, 10, 40}, {3, 3, 3, 3}};
    for (const auto& l : lines) drawlinexor(l[0], l[1], l[2], l[3], 0x5A5A5A5A);
    EXPECT_NE(std::vector<uint8_t>(w->pixels, w->pixels + bytes), before) << depth;
    for (const auto& l : lines) drawlinexor(l[0], l[1], l[2], l[3], 0x5A5A5A5A);
    EXPECT_EQ(std::vector<uint8_t>(w->pixels, w->pixels + bytes), before) << depth;
  }
}

TEST_F(XorLine, SecondEndPointIsNotDrawn) {
  WindowDesc* w = Make(8, 4, 8);
  ASSERT_EQ(setwindow(w), 1);
  std::fill(w->pixels, w->pixels + 32, 0);
  drawlinexor(0, 0, 3, 0, 0xFF);
  EXPECT_EQ(readpixel(0, 0), 0xFFu);
  EXPECT_EQ(readpixel(1, 0), 0xFFu);
  EXPECT_EQ(readpixel(2, 0), 0xFFu);
  EXPECT_EQ(readpixel(3, 0), 0u);
  drawlinexor(5, 2, 5, 2, 0xFF);  // one point draws nothing
  EXPECT_EQ(readpixel(5, 2), 0u);
}

TEST(ClipLine, ALineThatMissesAfterTheColumnCutIsRejected) {
  // Cut to the one column x = 14 the line lies wholly above the rows 7..24; cutting it to the rows would
  // have moved one end down to row 7 and left the other at row -9, outside the window.
  int32_t x1 = 6, y1 = -22, x2 = 28, y2 = 11;
  EXPECT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 14, 7, 15, 25), 0);
  x1 = 41, y1 = 27, x2 = 2, y2 = -28;
  EXPECT_EQ(cliplinerect(&x1, &y1, &x2, &y2, 18, 15, 32, 30), 0);
}

#include <gtest/gtest.h>

#include <vector>

#include "scene/random.h"
#include "scene/water.h"

namespace {

struct Pictures {
  int32_t w, h;
  std::vector<uint16_t> colour, depth, background;
  Pictures(int32_t width, int32_t height)
      : w(width), h(height), colour(static_cast<size_t>(width) * height, 0x4208),
        depth(colour.size(), 0x8400), background(colour.size(), 0x4208) {}
  Surface16 Colour() { return {colour.data(), w, 0, 0, w, h}; }
  Surface16 Depth() { return {depth.data(), w, 0, 0, w, h}; }
  WaterPages Pages() { return {Colour(), Depth(), {background.data(), w, 0, 0, w, h}}; }
  void MarkWater(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x) depth[static_cast<size_t>(y) * w + x] = 0x8201;
  }
};

TEST(Water, TheReflectionKeepsTheBoxOfTheWaterItFound) {
  const struct {
    const char* what;
    int32_t x0, y0, x1, y1;
    int setting;
  } cases[] = {{"a pond", 5, 10, 13, 15, 0}, {"water along the last row", 0, 47, 64, 48, 2},
               {"water in the first column", 0, 20, 1, 30, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pictures p(64, 48);
    p.MarkWater(c.x0, c.y0, c.x1, c.y1);
    Water() = WaterState{};
    Water().setting = c.setting;
    DrawWaterReflection(p.Colour(), p.Depth(), 2);
    const int32_t expected[4] = {c.x0, c.y0, c.x1, c.y1};
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(Water().box[k], expected[k]);
      EXPECT_EQ(Water().previousBox[k], expected[k]);
    }
  }
  // No water: an empty box, and no animation is due.
  Pictures dry(64, 48);
  DrawWaterReflection(dry.Colour(), dry.Depth(), 2);
  EXPECT_EQ(Water().box[2], 0);
  EXPECT_EQ(Water().box[3], 0);
  EXPECT_FALSE(IsWaterAnimationDue(100000, {}));
}

// A picture read back from the card: its key-coloured pixels become marked water (and lose the key colour, the
// reflection's source rows must not mirror it); every other pixel loses a stale marker.
TEST(Water, KeyColouredPixelsOfAPictureReadBackBecomeMarkedWater) {
  Pictures p(16, 8);
  for (int32_t x = 4; x < 9; ++x) p.colour[static_cast<size_t>(5) * p.w + x] = kWaterKey;
  p.depth[0] = 0x8201;  // marked, not key-coloured
  MarkWaterPixels(p.Colour(), p.Depth());
  for (int32_t y = 0; y < p.h; ++y)
    for (int32_t x = 0; x < p.w; ++x) {
      const size_t k = static_cast<size_t>(y) * p.w + x;
      const bool wet = y == 5 && x >= 4 && x < 9;
      EXPECT_EQ(IsWaterMarked(p.depth[k]), wet) << x << "," << y;
      EXPECT_EQ(p.depth[k] & 0xFFFE, k == 0 ? 0x8200 : 0x8400);
      EXPECT_NE(p.colour[k], kWaterKey);
    }
  // Found by the reflection as software water is.
  Water() = WaterState{};
  DrawWaterReflection(p.Colour(), p.Depth(), 2);
  EXPECT_EQ(Water().box[0], 4);
  EXPECT_EQ(Water().box[2], 9);
}

TEST(Water, AnimationWaitsForTheGameAndRedrawsTheAreaAtMostEvery66Ms) {
  Pictures p(64, 48);
  p.MarkWater(8, 8, 40, 30);
  Water() = WaterState{};
  DrawWaterReflection(p.Colour(), p.Depth(), 2);
  EXPECT_FALSE(IsWaterAnimationDue(1000, {true, 0, false}));     // animations paused
  EXPECT_FALSE(IsWaterAnimationDue(1000, {false, 0x723, false}));  // the golf status that stills the water
  EXPECT_FALSE(IsWaterAnimationDue(1000, {false, 0, true}));     // the after-shot screen
  const int32_t area[4] = {0, 0, 20, 20};
  std::copy(area, area + 4, Water().redrawArea);
  const struct {
    uint32_t now;
    bool stepped;
    uint32_t nextRedraw;
  } steps[] = {{1000, true, 1066}, {1020, false, 1066}, {1033, true, 1066}, {1066, true, 1132}, {1099, true, 1132}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.now);
    EXPECT_EQ(StepWaterAnimation(s.now, p.Pages(), {}), s.stepped);
    EXPECT_EQ(Water().nextRedraw, s.nextRedraw);
  }
  // An empty area (all -1) is never redrawn, nor is any with double buffering.
  std::fill(Water().redrawArea, Water().redrawArea + 4, -1);
  EXPECT_TRUE(StepWaterAnimation(2000, p.Pages(), {}));
  EXPECT_EQ(Water().nextRedraw, 1132u);
  std::copy(area, area + 4, Water().redrawArea);
  Water().doubleBuffer = true;
  EXPECT_TRUE(StepWaterAnimation(3000, p.Pages(), {}));
  EXPECT_EQ(Water().nextRedraw, 1132u);
}

TEST(Water, WavesMoveOnlyMarkedPixels) {
  Pictures p(64, 48);
  p.MarkWater(8, 8, 40, 30);
  Water() = WaterState{};
  DrawWaterReflection(p.Colour(), p.Depth(), 2);
  p.background = p.colour;
  Water().rowStep = 1;
  AnimateWater(p.Pages());
  int changed = 0;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const size_t i = static_cast<size_t>(y) * 64 + x;
      const bool water = x >= 8 && x < 40 && y >= 8 && y < 30;
      if (!water) {
        ASSERT_EQ(p.colour[i], p.background[i]) << x << "," << y;
      }
      changed += p.colour[i] != p.background[i];
    }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(WaveBrightness(1, 31), 2);
  EXPECT_EQ(WaveBrightness(1, 95), -2);
}

TEST(Water, ARippleFromTheBallEndsAfter51Steps) {
  Pictures p(640, 480);
  p.MarkWater(0, 0, 640, 480);
  Water() = WaterState{};
  StartRipple(320, 300);
  for (int step = 1; step <= 51; ++step) {
    DrawRipple(p.Pages());
    ASSERT_EQ(Water().rippleSize == 0, step == 51) << step;
  }
}

// A ripple at the picture's edge is clipped to its rows and columns.
TEST(Water, RipplesAtTheEdgesStayInsideThePicture) {
  const struct {
    int32_t x, y;
  } places[] = {{0, 0}, {639, 479}, {2, 470}, {636, 3}};
  for (const auto& at : places) {
    Pictures p(640, 480);
    p.MarkWater(0, 0, 640, 480);
    Water() = WaterState{};
    StartRipple(at.x, at.y);
    for (int step = 0; step < 51; ++step) DrawRipple(p.Pages());
    EXPECT_EQ(Water().rippleSize, 0);
  }
}

}  // namespace

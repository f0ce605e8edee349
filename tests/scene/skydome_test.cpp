#include <gtest/gtest.h>

#include <cstring>

#include "course/angle.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "scene/horizon.h"
#include "scene/skydome.h"

namespace {

CourseImage Image(int32_t width, int32_t height) {
  CourseImage image;
  image.shape.assign(16 + static_cast<size_t>(width) * height, 1);
  image.shape[0] = 0x7B;
  image.shape[4] = static_cast<uint8_t>(width), image.shape[5] = static_cast<uint8_t>(width >> 8);
  image.shape[6] = static_cast<uint8_t>(height), image.shape[7] = static_cast<uint8_t>(height >> 8);
  return image;
}

class SkyDomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentCourseScene();
    CourseSceneData& course = CurrentCourseScene();
    course = CourseSceneData{};
    course.skyDome = true;
    course.palette[1] = 0xFF6080C0;  // every test image is of colour 1
    for (int32_t w : {256, 512, 256}) course.skyTop.push_back({Image(w, 64), nullptr});
    course.skyBottom.push_back({Image(128, 64), nullptr});
    for (int k = 0; k < 12; ++k) course.horizon[static_cast<size_t>(k)].image = Image(128, 48);
    course.horizon[3].second = Image(64, 48);
    course.horizonCount = 12;
    course.tallestHorizon = 48;
    ASSERT_TRUE(InitTerrainGrid(64, 64));
    Facts().screenWidth = 640;
    Facts().screenHeight = 480;
  }
  void TearDown() override {
    FreeSkyDome();
    CurrentCourseScene() = saved_;
  }
  CourseSceneData saved_;
};

// Images 256, 512 and 256 wide cover a quarter, a half and a quarter of the turn; the last ends at 0 again.
TEST_F(SkyDomeTest, PanelsTakeTheirShareOfTheTurnByWidth) {
  SkyCylinder top(SkyBand::Top);
  ASSERT_EQ(top.Init(640), 0);  // 640 / 256 = 2 panels, raised to a multiple of the three images
  ASSERT_EQ(top.panels().size(), 3u);
  const int32_t starts[3] = {0, 16384, 49152}, ends[3] = {16384, 49152, 0};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(top.panels()[i].start, starts[i]);
    EXPECT_EQ(top.panels()[i].end, ends[i]);
    EXPECT_EQ(top.panels()[i].textureId, 74 + static_cast<int32_t>(i));
  }
  // The last panel runs across angle 0 (its start above its end) and is still found.
  const struct {
    int32_t angle;
    int panel;
  } finds[] = {{0, 0}, {16383, 0}, {16384, 1}, {49151, 1}, {49152, 2}, {65535, 2}};
  for (const auto& f : finds) EXPECT_EQ(top.FindPanelAtAngle(f.angle), f.panel) << f.angle;
  // A screen 640 wide gives 17 panels of a ring before rounding: 18 with three images.
  EXPECT_EQ(top.Init(4480), 0);
  EXPECT_EQ(top.panels().size(), 18u);
}

TEST_F(SkyDomeTest, ABandWithoutImagesIsLeftOutAndTheDomeDrawsWithout) {
  CurrentCourseScene().skyBottom.clear();
  SkyCylinder bottom(SkyBand::Bottom);
  EXPECT_EQ(bottom.Init(4480), 2);
  ASSERT_EQ(BuildSkyDome(), 0);
  EXPECT_EQ(SkyDomeBand(SkyBand::Bottom), nullptr);
  ASSERT_NE(SkyDomeBand(SkyBand::Top), nullptr);
  ASSERT_NE(SkyDomeBand(SkyBand::Horizon), nullptr);
  EXPECT_EQ(SkyDomeBand(SkyBand::Horizon)->panels().size(), 13u);  // twelve pieces, one in two parts
  std::vector<uint16_t> pixels(640 * 480, 0);
  Surface16 s{pixels.data(), 640, 0, 0, 640, 480};
  TGolfView view;
  const int32_t rect[4] = {0, 0, 640, 480};
  view.SetViewport(rect, nullptr, 0, 1);
  view.SetHeading(20000);
  DrawSkyDome(view, s, nullptr, 240);
  size_t drawn = 0;
  for (uint16_t p : pixels) drawn += p != 0;
  EXPECT_GT(drawn, 0u);
}

TEST_F(SkyDomeTest, TheVisibleSearchCoversTheViewOrTheWholeRingOnce) {
  SkyCylinder top(SkyBand::Top);
  ASSERT_EQ(top.Init(4480), 0);
  TGolfView view;
  const int32_t rect[4] = {0, 0, 640, 480};
  view.SetViewport(rect, nullptr, 0, 1);
  view.SetHeading(20000);
  const int k = top.FindPanelAtAngle(20000), n = static_cast<int>(top.panels().size());
  top.UpdateVisiblePanels(view, rect);
  // The heading's panel lies among the drawn ones, and not every panel is drawn.
  auto drawn = [&](int i) { return (i - top.first() + n) % n < (top.end() - top.first() + n) % n; };
  EXPECT_TRUE(drawn(k));
  EXPECT_NE(top.first(), top.end());
  // A rectangle wider than any ring: the search comes back round to the heading's panel and every panel is drawn.
  const int32_t wide[4] = {-100000, 0, 100000, 480};
  top.UpdateVisiblePanels(view, wide);
  EXPECT_EQ(top.first(), (k + 1) % n);
  EXPECT_EQ(top.end(), top.first());
}

TEST_F(SkyDomeTest, TheHorizonBandTopFollowsItsDepth) {
  SkyCylinder horizon(SkyBand::Horizon);
  ASSERT_EQ(horizon.Init(0), 0);
  const struct {
    float depth, v;
  } cases[] = {{600.0f, 200.0f}, {3000.0f, 600.0f}, {8400.0f, 1500.0f}, {20000.0f, 1500.0f}};
  for (const auto& c : cases) {
    horizon.SetHorizonUpperEdge(c.depth);
    EXPECT_EQ(horizon.upperAngle(), static_cast<float>(16384 - AngleFromXY(100.0f, c.v))) << c.depth;
  }
}

// Placed with a water row, every band gets its mirror: the mirrored lower edge never above the direct one, the
// mirrored upper edge below it (the horizon band as tall as its direct picture), the mirror line moved from the
// horizon row to the water row. Placed without one, nothing is mirrored.
TEST_F(SkyDomeTest, TheMirroredBandsHangBelowTheWaterRow) {
  ASSERT_EQ(BuildSkyDome(), 0);
  TGolfView view;
  const int32_t rect[4] = {0, 0, 640, 480};
  view.SetViewport(rect, nullptr, 0, 1);
  view.SetHeading(20000);
  CancelViewBlend();
  // No lift of the skyline: the direct picture's mirror line stays on the horizon row.
  const int32_t lift = CurrentHoleScene().header.horizonHeight;
  CurrentHoleScene().header.horizonHeight = 0;
  const int32_t waterRow = 300;
  PlaceSkyDome(view, 240, &waterRow, 0.0f);
  CurrentHoleScene().header.horizonHeight = lift;
  for (SkyBand kind : {SkyBand::Top, SkyBand::Bottom, SkyBand::Horizon}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const SkyCylinder* band = SkyDomeBand(kind);
    ASSERT_NE(band, nullptr);
    EXPECT_TRUE(band->reflected);
    EXPECT_FLOAT_EQ(band->waterSkyOffset - band->skyOffset, 60.0f);
    int checked = 0;
    for (const SkyPanel& p : band->panels()) {
      if (!p.projected) continue;
      ++checked;
      EXPECT_GE(p.mirrorLower.y, p.lower.y);
      EXPECT_GT(p.mirrorUpper.y, p.mirrorLower.y);
      if (kind == SkyBand::Horizon) {
        EXPECT_NEAR(p.mirrorUpper.y - p.mirrorLower.y, p.lower.y - p.upper.y, 1e-3f);
      }
    }
    EXPECT_GT(checked, 1);
  }
  PlaceSkyDome(view, 240);
  for (SkyBand kind : {SkyBand::Top, SkyBand::Bottom, SkyBand::Horizon}) {
    EXPECT_FALSE(SkyDomeBand(kind)->reflected);
    for (const SkyPanel& p : SkyDomeBand(kind)->panels()) EXPECT_EQ(p.mirrorUpper.y, 0.0f);
  }
}

TEST(SkyScale, ZoomMovesTheSkyATwentiethOfTheWay) {
  EXPECT_FLOAT_EQ(SkyProjectionScale(850.0f + 200.0f, 640, 640, 0), 860.0f);
  // A view half the screen's width: both the standard scale and the divisor halve.
  EXPECT_FLOAT_EQ(SkyProjectionScale(425.0f + 100.0f, 320, 640, 0), 425.0f + 10.0f);
}

}  // namespace

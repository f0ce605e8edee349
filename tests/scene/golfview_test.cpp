#include <gtest/gtest.h>

#include <cmath>

#include "framework/core/services.h"
#include "scene/golfview.h"
#include "scene/random.h"
#include "scene/render3d.h"

namespace {

class GolfViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitDepthBands();
    gRenderStart = RenderStart{};
    gAdaptive = AdaptiveDetail{};
    Facts().screenWidth = 640, Facts().screenHeight = 480, Facts().sizeSetting = 0;
    GraphicsPref(kPrefTerrainDetail) = 1;
  }
  void TearDown() override { DepthOverride = false; }
};

TEST_F(GolfViewTest, HeadingsWrapIntoOneTurn) {
  const struct {
    int32_t given, stored;
  } cases[] = {{-1, 65535}, {70000, 4464}, {65536, 0}, {-131073, 65535}};
  TGolfView view;
  for (const auto& c : cases) {
    view.SetHeadingAngle(c.given);
    EXPECT_EQ(view.heading, c.stored) << c.given;
  }
}

TEST_F(GolfViewTest, PresetsSetLookDistanceEyeHeightAndCentre) {
  const int32_t rect[4] = {0, 0, 640, 480};
  const struct {
    int preset;
    float look, eye;
  } cases[] = {{0, 10.35f, 2.453f}, {1, 5.58f, 1.6f}, {2, 22.35f, 5.96f}};
  for (const auto& c : cases) {
    TGolfView view;
    view.SetViewport(rect, nullptr, c.preset, 1);
    EXPECT_FLOAT_EQ(view.lookDistance, c.look);
    EXPECT_FLOAT_EQ(view.eyeHeightOffset, c.eye);
    EXPECT_EQ(view.centreX, 320);
    EXPECT_EQ(view.centreY, 193);
    EXPECT_FLOAT_EQ(view.projectionScale, 850.0f);
    EXPECT_EQ(view.minObjectHeight, 1);
  }
}

TEST_F(GolfViewTest, TheFocusPointProjectsOnTheCentreColumnAtTheLookDistance) {
  const int32_t rect[4] = {0, 0, 640, 480};
  for (int32_t heading : {0, 8192, 30000, 50000}) {
    TGolfView view;
    view.SetViewport(rect, nullptr, 0, 1);
    view.focusPoint = {100.0f, 50.0f, 3.0f};
    view.SetHeading(heading);
    ScreenPixel pixel;
    const float depth = view.ProjectToScreen(view.focusPoint, &pixel);
    EXPECT_NEAR(depth, view.lookDistance, 0.01f) << heading;
    EXPECT_EQ(pixel.x, 320) << heading;
    // The eye stands eyeHeightOffset above the focus: the focus shows below the centre.
    EXPECT_GT(pixel.y, view.centreY);
    // Back and forth between camera and world space.
    const Vector3 back = view.OffsetToWorld(view.WorldToCamera({120.0f, 70.0f, 5.0f}));
    EXPECT_NEAR(back.x, 120.0f, 0.01f);
    EXPECT_NEAR(back.y, 70.0f, 0.01f);
    EXPECT_NEAR(back.z, 5.0f, 0.01f);
    // Behind the camera: the fixed off-screen pixel.
    const Vector3 behind{view.cameraX + 5.0f * view.backS, view.cameraZ + 5.0f * view.backC, 0.0f};
    EXPECT_LT(view.ProjectToScreen(behind, &pixel), 0.0f);
    EXPECT_EQ(pixel.x, 400);
    EXPECT_EQ(pixel.y, 2000);
  }
}

TEST_F(GolfViewTest, RandomOffsetsTakeTableBytesOnlyForTheMarker) {
  TGolfView view;
  RandomUp = 10;
  view.SetOffsets(RandomOffsetMarker, 2.0f);
  EXPECT_FLOAT_EQ(view.sideOffset, RandomOffsetMarker);
  EXPECT_FLOAT_EQ(view.backOffset, 2.0f);
  EXPECT_EQ(RandomUp, 10);
  view.SetOffsets(RandomOffsetMarker, RandomOffsetMarker);
  EXPECT_FLOAT_EQ(view.sideOffset, -1.5f + 3.0f / 255.0f * RandomTable[10]);
  EXPECT_FLOAT_EQ(view.backOffset, -7.0f + 7.0f / 255.0f * RandomTable[11]);
  EXPECT_EQ(RandomUp, 12);
  view.SetBackOffset(RandomOffsetMarker);
  EXPECT_GE(view.backOffset, -7.0f);
  EXPECT_LE(view.backOffset, 0.0f);
  EXPECT_EQ(RandomUp, 13);
}

TEST_F(GolfViewTest, DepthValuesComeFromTheBands) {
  const uint16_t band2Near = static_cast<uint16_t>((DepthBands[2].near - 0.000018f) * 65535.0f);
  const uint16_t band3Near = static_cast<uint16_t>((DepthBands[3].near - 0.000018f) * 65535.0f);
  const uint16_t band3Far = static_cast<uint16_t>((DepthBands[3].far - 0.000018f) * 65535.0f);
  EXPECT_EQ(DepthValueForDistance(0.5f, 0), band2Near | 0x8000);
  EXPECT_EQ(DepthValueForDistance(0.5f, 3), band3Near);
  EXPECT_EQ(DepthValueForDistance(2000.0f, 3), band3Far);
  EXPECT_EQ(DepthValueForDistance(1000.76f, 3), DepthValueForDistance(5000.0f, 3));
  EXPECT_LT(DepthValueForDistance(10.0f, 3), DepthValueForDistance(20.0f, 3));
  float reciprocal = 0.0f;
  const float f = DepthFractionForDistance(0.0f, 3, &reciprocal);
  EXPECT_FLOAT_EQ(reciprocal, 1.0f / (f * 65535.0f));
  DepthOverride = true;
  EXPECT_EQ(DepthValueForDistance(300.0f, 3) & 1, 0);
}

TEST_F(GolfViewTest, DetailDistancesFollowTheSettingAndTheMinimums) {
  const int32_t rect[4] = {0, 0, 640, 480};
  TGolfView view;
  GraphicsPref(kPrefTerrainDetail) = 0;
  view.SetViewport(rect, nullptr, 0, 1);
  // Software: near = 850 / 24; the far distance is at least 22.
  EXPECT_EQ(view.detailDistance[0], static_cast<int32_t>((850 << 16) / 24.0f));
  EXPECT_EQ(view.detailDistance[1], 2 * view.detailDistance[0]);
  EXPECT_EQ(view.detailDistance[2], 4 * view.detailDistance[0]);
  GraphicsPref(kPrefTerrainDetail) = 3;
  gRenderStart.hardwareActive = 1;
  view.SetViewport(rect, nullptr, 0, 1);
  // Hardware, kind 1: whole parts of 26.6, 53.1 and 106.3 times (3 + 2) / 2, rounded.
  EXPECT_EQ(view.detailDistance[0], 65 << 16);
  EXPECT_EQ(view.detailDistance[1], 133 << 16);
  EXPECT_EQ(view.detailDistance[2], 265 << 16);
}

TEST_F(GolfViewTest, AutoDetailFollowsTheProcessorSpeed) {
  const struct {
    uint8_t detectedKind;
    int32_t mhz, objectDetail, terrainDetail;
  } cases[] = {{4, 266, 0, 0}, {4, 350, 0, 0}, {4, 450, 1, 1}, {4, 600, 2, 2}, {1, 266, 0, 1}, {1, 600, 2, 1}};
  for (const auto& c : cases) {
    gRenderStart.detectedKind = c.detectedKind;
    GraphicsPref(kPrefDriverEnumeration) = 3;
    SetSpeedInfo(static_cast<uint32_t>(c.mhz) * 1000000u);
    ChooseAutoDetailLevels();
    EXPECT_EQ(GraphicsPref(kPrefObjectDetail), c.objectDetail) << c.mhz;
    EXPECT_EQ(GraphicsPref(kPrefTerrainDetail), c.terrainDetail) << c.mhz;
    EXPECT_EQ(GraphicsPref(kPrefDriverEnumeration), c.detectedKind == 1 ? 0 : 1);
  }
  // Not automatic: nothing changes.
  GraphicsPref(kPrefDriverEnumeration) = 1;
  GraphicsPref(kPrefObjectDetail) = 2;
  SetSpeedInfo(266000000u);
  ChooseAutoDetailLevels();
  EXPECT_EQ(GraphicsPref(kPrefObjectDetail), 2);
}

TEST_F(GolfViewTest, LowFrameRatesLowerTheZoomStepByStep) {
  GraphicsPref(kPrefTerrainDetail) = 1;
  gAdaptive.cameraMovedMode = 1;
  gAdaptive.frameRateSum = 20.0f * 30.0f;
  float previous = gAdaptive.zoom;
  for (int i = 0; i < 200; ++i) {
    AdaptDetailToFrameRate(false);
    EXPECT_GE(previous - gAdaptive.zoom, 0.0f);
    EXPECT_LE(previous - gAdaptive.zoom, 0.0051f);
    previous = gAdaptive.zoom;
  }
  EXPECT_FLOAT_EQ(gAdaptive.zoom, 0.5f);
  EXPECT_EQ(gAdaptive.stepWhole[0], 4);
  EXPECT_EQ(gAdaptive.stepWhole[1], 8);
  // Forced: straight to the targets.
  AdaptDetailToFrameRate(true);
  EXPECT_FLOAT_EQ(gAdaptive.zoom, 1.0f);
  EXPECT_EQ(gAdaptive.stepWhole[0], 1);
}

}  // namespace

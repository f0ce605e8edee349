// The round's main view: placement behind the ball, and the copy onto the display through the overlay's bit 15.
#include <gtest/gtest.h>

#include "demohole.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "course/holedata.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "holeview.h"
#include "scene/golfdraw.h"

namespace {

TEST(GolfDrawTest, ViewReachesTheDisplayOnlyWhereTheOverlayLeavesItToTheScene) {
  SizeGolfViewImages(4, 2);
  GolfViewImages& images = GolfViewBuffers();
  for (size_t i = 0; i < images.view.size(); ++i) images.view[i] = static_cast<uint16_t>(0x1000 + i);
  // Overlay words: bit 15 decides; the other bits do not matter.
  const uint16_t overlay[8] = {0x8000, 0x0000, 0xFFFF, 0x7FFF, 0x8001, 0x0001, 0x8000, 0x4000};
  std::copy(overlay, overlay + 8, images.overlay.begin());
  uint16_t display[2 * 5];  // a pitch wider than the picture
  std::fill(display, display + 10, 0xBEEF);
  CopyViewThroughOverlay(images, Image16{display, 4, 2, 5});
  const uint16_t expected[10] = {0x1000, 0xBEEF, 0x1002, 0xBEEF, 0xBEEF, 0x1004, 0xBEEF, 0x1006, 0xBEEF, 0xBEEF};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(display[i], expected[i]) << i;
}

TEST(GolfDrawTest, OverlayStartsWhollyTheScenesKeepsMarksAndIsMadeAfreshForANewSize) {
  SizeGolfViewImages(3, 3);
  Image16 overlay = GolfViewOverlay();
  ASSERT_EQ(overlay.width, 3);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(overlay.pixels[i] & 0x8000, 0x8000);
  MarkRect16(overlay, MARect{1, 1, 3, 2}, false);
  SizeGolfViewImages(3, 3);
  EXPECT_EQ(GolfViewOverlay().pixels[4] & 0x8000, 0);
  SizeGolfViewImages(5, 4);
  overlay = GolfViewOverlay();
  ASSERT_EQ(overlay.width * overlay.height, 20);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(overlay.pixels[i] & 0x8000, 0x8000);
  EXPECT_EQ(GolfViewImage().pitch, 5);
}

using GolfDrawHoleTest = DemoHoleTest;

// Placed behind a ball, faced toward a point or swung about it, the view looks at it: the point lies ahead, on the
// screen's centre column, for points in every direction.
TEST_F(GolfDrawHoleTest, ViewsLookAtTheirTargetInEveryDirection) {
  ASSERT_TRUE(loaded_);
  TGolfView view;
  holeview::SetUpView(view, 640, 480, 0);
  const Vector3 ball = view.focusPoint;
  const float offsets[8][2] = {{0, 60}, {60, 0}, {0, -60}, {-60, 0}, {40, 40}, {-40, 40}, {40, -40}, {-40, -40}};
  for (const auto& o : offsets) {
    SCOPED_TRACE(std::to_string(o[0]) + "," + std::to_string(o[1]));
    Vector3 target{ball.x + o[0], ball.y + o[1], 0.0f};
    target.z = GetTerrainHeight(target.x, target.y);
    // Placed behind the ball, turned to face the point, swung about it: each looks at it.
    for (int how = 0; how < 3; ++how) {
      SCOPED_TRACE(how);
      if (how == 0) {
        PlaceViewBehind(view, ball, target);
      } else if (how == 1) {
        view.focusPoint = ball;
        view.FaceGroundPoint(target);
      } else {
        view.focusPoint = ball;
        view.AimAtPoint(target, 0x2000);
      }
      ScreenPointF p;
      view.ProjectToScreenFloat(target, &p);
      EXPECT_GT(p.Z, 1.0f);
      EXPECT_NEAR(p.x, static_cast<float>(view.viewLeft + view.centreX), 1.0f);
    }
  }
}

}  // namespace

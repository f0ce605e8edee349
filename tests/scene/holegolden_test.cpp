// Hole 2 of the demo course drawn by the software path from the three cameras, against golden pictures. The
// pictures are kept at a quarter of the size (every fourth pixel of every fourth row) and must match exactly; a
// mismatch writes the whole picture beside the golden one as a TGA to look at. TEEBOX_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "golden.h"
#include "golf/gridmode.h"
#include "holeview.h"
#include "scene/horizon.h"
#include "scene/random.h"
#include "scene/render3d.h"
#include "scene/water.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "platformlib/gfx/vortel.h"
#include "scene/holedraw.h"
#include "scene/holedraw3d.h"

namespace {

holeview::Picture Quarter(const holeview::Picture& p) {
  holeview::Picture q;
  q.width = p.width / 4;
  q.height = p.height / 4;
  for (int32_t y = 0; y < q.height; ++y)
    for (int32_t x = 0; x < q.width; ++x) q.pixels.push_back(p.pixels[static_cast<size_t>(y) * 4 * p.width + x * 4]);
  return q;
}

class HoleGoldenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_holegolden_XXXXXX";
    folder_ = mkdtemp(pattern);
    std::string error;
    loaded_ = holeview::LoadDemoHole(folder_, 2, error);
    error_ = error;
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(folder_); }
  static std::string folder_, error_;
  static bool loaded_;
};
std::string HoleGoldenTest::folder_, HoleGoldenTest::error_;
bool HoleGoldenTest::loaded_ = false;

void ExpectGolden(const holeview::Picture& picture, const std::string& name, const std::string& scratch) {
  scenetest::ExpectGolden(Quarter(picture), picture, name, scratch);
}

TEST_F(HoleGoldenTest, HoleTwoFromTheThreeCamerasInSoftware) {
  ASSERT_TRUE(loaded_) << error_;
  for (const char* camera : {"tee", "fairway", "green"}) {
    SCOPED_TRACE(camera);
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName(camera));
    holeview::Picture picture;
    // The water's reflection reads the random table from where it stands; the sky follows the running average.
    RandomUp = 0;
    CancelViewBlend();
    const HoleDrawStats stats = holeview::DrawSoftware(view, picture);
    EXPECT_GT(stats.quads, 1000);
    EXPECT_GT(stats.objects, 10);
    // Hole 2's borders are drawn with detail tiles and its trees cast shadows.
    EXPECT_GT(stats.tiles, 100);
    EXPECT_GT(stats.shadows, 100);
    ExpectGolden(picture, std::string("hole2_software_") + camera, folder_);
  }
  // The green camera sees the pin: the draw noted where.
  TGolfView view;
  holeview::SetUpView(view, 640, 480, 2);
  holeview::Picture picture;
  holeview::DrawSoftware(view, picture);
  EXPECT_GT(view.pinScreenX, 0);
  EXPECT_LT(view.pinScreenX, 640);
  EXPECT_NE(view.pinDepthValue, 0);
}

// The same hole through the Direct3D module: its back buffer read back after the hardware draw, with detail tiles
// and shadows, without fog and at fog density 2.
TEST_F(HoleGoldenTest, HoleTwoFromTheThreeCamerasThroughDirect3D) {
  ASSERT_TRUE(loaded_) << error_;
  for (int fog : {0, 2}) {
    std::string error;
    ASSERT_TRUE(holeview::OpenDirect3D(640, 480, fog, error)) << error;
    for (const char* camera : {"tee", "fairway", "green"}) {
      SCOPED_TRACE(std::string(camera) + " fog " + std::to_string(fog));
      TGolfView view;
      holeview::SetUpView(view, 640, 480, holeview::CameraByName(camera));
      holeview::Picture picture;
      RandomUp = RandomDown = 0;  // the reflection takes both indices of the random table
      CancelViewBlend();
      Water() = WaterState{};
      gAdaptive = AdaptiveDetail{};  // full detail: every tall enough cell gets its tile
      ResetWaterForHole(CurrentHoleScene().header.glint);
      const HardwareFrameStats stats = holeview::DrawDirect3D(view, picture);
      EXPECT_GT(stats.batchedQuads, 1000);
      EXPECT_GT(stats.sprites, 10);
      EXPECT_GT(stats.tiles, 100);
      EXPECT_GT(stats.shadows, 100);
      EXPECT_GT(stats.skyQuads, 4);  // the dome's bands
      if (std::string(camera) == "fairway") {
        EXPECT_GT(stats.waterMarkers, 10);  // the lake, reflected
        EXPECT_GT(stats.keyedTiles, 0);     // its shore cells, water only where their tiles are
      }
      ExpectGolden(picture, std::string("hole2_d3d_") + camera + (fog ? "_fog" + std::to_string(fog) : ""), folder_);
      if (fog == 0 && std::string(camera) == "green") {
        // The putting lines over the picture read back, against the depth buffer read back: drawn over the green.
        const std::vector<uint16_t> plain = picture.pixels;
        holeview::DrawGrid(view, picture, kGridPuttingLines);
        int32_t changed = 0;
        for (size_t k = 0; k < plain.size(); ++k) changed += plain[k] != picture.pixels[k];
        EXPECT_GT(changed, 1000);
        ExpectGolden(picture, "hole2_d3d_green_lines", folder_);
      }
    }
    holeview::CloseDirect3D();
  }
}

// Fog rising from level 0 to 3 brings the distant ground ever nearer the fog colour, and at the highest level it
// lies nearer it than the ground at the golfer's feet (without fog the distant ground is the farther from it).
TEST_F(HoleGoldenTest, FogFadesDistantGroundMoreThanNearGround) {
  ASSERT_TRUE(loaded_) << error_;
  // Mean distance of a band of rows from the fog colour (0xD0E0FF), 8 bits a channel.
  const auto fromFog = [](const holeview::Picture& p, int32_t top, int32_t bottom) {
    double sum = 0.0;
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = 0; x < p.width; ++x) {
        const uint16_t c = p.pixels[static_cast<size_t>(y) * p.width + x];
        sum += std::abs(((c >> 11) << 3) - 0xD0) + std::abs((((c >> 5) & 63) << 2) - 0xE0) + std::abs(((c & 31) << 3) - 0xFF);
      }
    return sum / ((bottom - top) * p.width);
  };
  double lastFar = 1e9;
  for (int fog = 0; fog <= 3; ++fog) {
    SCOPED_TRACE(fog);
    std::string error;
    ASSERT_TRUE(holeview::OpenDirect3D(640, 480, fog, error)) << error;
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
    gAdaptive = AdaptiveDetail{};
    holeview::Picture picture;
    holeview::DrawDirect3D(view, picture);
    holeview::CloseDirect3D();
    const int32_t horizon = view.viewTop + view.centreY;
    const double far = fromFog(picture, horizon + 2, horizon + 20), nearby = fromFog(picture, 440, 480);
    EXPECT_LT(far, lastFar - 20.0);
    lastFar = far;
    if (fog == 3) {
      EXPECT_LT(far, nearby * 0.8);
    }
  }
}

// Near the tee more cells want 64-texel tiles than their pool has slots: the next frame finds the tiles the pool
// kept (all 16-texel ones and 40 of the large) and composes only the rest again, frame after frame.
TEST_F(HoleGoldenTest, TheNextFrameFindsTheTilesThePoolKept) {
  ASSERT_TRUE(loaded_) << error_;
  std::string error;
  ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 0, error)) << error;
  TGolfView view;
  holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
  gAdaptive = AdaptiveDetail{};
  holeview::Picture picture;
  const HardwareFrameStats first = holeview::DrawDirect3D(view, picture);
  const HardwareFrameStats second = holeview::DrawDirect3D(view, picture);
  const HardwareFrameStats third = holeview::DrawDirect3D(view, picture);
  holeview::CloseDirect3D();
  EXPECT_GT(first.composedTiles, 100);
  EXPECT_LE(second.composedTiles + 40, first.composedTiles);
  EXPECT_EQ(third.composedTiles, second.composedTiles);
  EXPECT_EQ(second.drawnTiles, first.drawnTiles);
}

// Ground below the skyline whose surface is water is drawn in the key colour (fog or not), so the reflection takes
// it for the lake's; other ground keeps its own colour.
TEST_F(HoleGoldenTest, WaterBelowTheSkylineIsDrawnInTheKeyColour) {
  ASSERT_TRUE(loaded_) << error_;
  std::string error;
  ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 2, error)) << error;
  CourseSceneData& course = CurrentCourseScene();
  std::vector<uint8_t> saved;
  for (const HorizonPanel& p : course.horizon) saved.push_back(p.surface);
  for (const bool water : {false, true}) {
    SCOPED_TRACE(water);
    for (HorizonPanel& p : course.horizon) p.surface = water ? kSurfaceWater : 0;
    TGolfView view;
    holeview::SetUpView(view, 640, 480, holeview::CameraByName("green"));
    gAdaptive = AdaptiveDetail{};
    vortellive.window(2);
    DrawHoleHardware(view, &view.focusPoint);
    std::vector<uint16_t> pixels(640 * 480);
    vortellive.readrect(0, 0, 640, 480, pixels.data());
    const auto keyed = std::count(pixels.begin(), pixels.end(), kWaterKey);
    if (water) EXPECT_GT(keyed, 640 * 10);  // rows of it across the view
    else EXPECT_EQ(keyed, 0);
  }
  for (size_t k = 0; k < saved.size(); ++k) course.horizon[k].surface = saved[k];
  holeview::CloseDirect3D();
}

}  // namespace

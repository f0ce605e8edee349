// Hole 2 of the demo course drawn by the software path from the three cameras, against golden pictures. The
// pictures are kept at a quarter of the size (every fourth pixel of every fourth row) and must match exactly; a
// mismatch writes the whole picture beside the golden one as a TGA to look at. TEEBOX_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/core/services.h"
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
    // As on the hardware display, the hole's water level is worked out at load (the software path has no use for it).
    Facts().hardwareDisplay = 1;
    loaded_ = holeview::LoadDemoHole(folder_, 2, error);
    Facts().hardwareDisplay = 0;
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
    // The water's reflection reads both indices of the random table from where they stand (whatever ran before);
    // the sky follows the running average.
    RandomUp = RandomDown = 0;
    CancelViewBlend();
    Water() = WaterState{};
    ResetWaterForHole(CurrentHoleScene().header.glint);
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
    for (const char* camera : {"tee", "fairway", "green", "lake"}) {
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
      if (std::string(camera) == "fairway" || std::string(camera) == "lake") {
        // The shore cells: water only where their tiles are.
        if (std::string(camera) == "fairway") {
          EXPECT_GT(stats.keyedTiles, 0);
        }
        if (fog == 0) {
          EXPECT_GT(stats.waterMarkers, 10);  // the lake in the key colour, reflected over the picture read back
          EXPECT_EQ(stats.waterRow, -1);
        } else {
          // The module mirrors the sky below the lake's far edge; the lake itself is left out.
          EXPECT_EQ(stats.waterMarkers, 0);
          EXPECT_GT(stats.waterCellsLeftOut, 10);
          EXPECT_GT(stats.mirroredSkyQuads, 4);
          EXPECT_GT(stats.waterRow, 0);
          EXPECT_LT(stats.waterRow, 480);
        }
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

// With fog the module reflects the sky itself, in the course's reflection colour: the rows above the mirror line
// do not depend on the colour, the lake's do, and no pixel is left in the key colour. With the dome the mirror line
// is the lake's far edge (or the horizon row, the lower of the two); without it the horizon strip's pieces are
// mirrored below the horizon row, the sky's colour through the water's below them.
TEST_F(HoleGoldenTest, WithFogTheSkyIsMirroredBelowTheWaterLine) {
  ASSERT_TRUE(loaded_) << error_;
  std::string error;
  ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 2, error)) << error;
  CourseSceneData& course = CurrentCourseScene();
  const uint32_t saved = course.waterReflection;
  const bool savedDome = course.skyDome;
  for (const bool dome : {true, false}) {
    SCOPED_TRACE(dome ? "dome" : "horizon strip");
    course.skyDome = dome;
    std::vector<uint16_t> pictures[2];
    HardwareFrameStats stats[2];
    int32_t horizonRow = 0;
    for (int k = 0; k < 2; ++k) {
      course.waterReflection = k ? 0xFFFFFFFFu : 0xFF000000u;
      TGolfView view;
      holeview::SetUpView(view, 640, 480, holeview::CameraByName("lake"));
      gAdaptive = AdaptiveDetail{};
      CancelViewBlend();
      vortellive.window(2);
      stats[k] = DrawHoleHardware(view, &view.focusPoint);
      horizonRow = view.viewTop + view.centreY;
      pictures[k].resize(640 * 480);
      vortellive.readrect(0, 0, 640, 480, pictures[k].data());
    }
    ASSERT_GT(stats[0].waterRow, 0);
    ASSERT_LT(stats[0].waterRow, 480);
    EXPECT_EQ(stats[1].waterRow, stats[0].waterRow);
    EXPECT_GT(stats[0].mirroredSkyQuads, 4);
    EXPECT_EQ(std::count(pictures[1].begin(), pictures[1].end(), kWaterKey), 0);
    const int32_t mirrorLine = dome ? stats[0].waterRow : horizonRow + 1;
    const size_t split = static_cast<size_t>(std::min(stats[0].waterRow, mirrorLine)) * 640;
    EXPECT_TRUE(std::equal(pictures[0].begin(), pictures[0].begin() + static_cast<ptrdiff_t>(split), pictures[1].begin()));
    size_t changed = 0;
    for (size_t i = split; i < pictures[0].size(); ++i) changed += pictures[0][i] != pictures[1][i];
    EXPECT_GT(changed, 2000u);  // the lake's pixels
  }
  course.waterReflection = saved;
  course.skyDome = savedDome;
  holeview::CloseDirect3D();
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

// Near the tee more cells want 64-texel tiles than their pool has slots (and the card has memory for): the pool
// keeps the nearest (all 16-texel ones and 40 of the large) and the rest, composed once, are kept in memory, so the
// frames after compose nothing and draw the same picture, frame after frame.
TEST_F(HoleGoldenTest, TheNextFramesComposeNoTileAgain) {
  ASSERT_TRUE(loaded_) << error_;
  std::string error;
  ASSERT_TRUE(holeview::OpenDirect3D(640, 480, 0, error)) << error;
  TGolfView view;
  holeview::SetUpView(view, 640, 480, holeview::CameraByName("tee"));
  gAdaptive = AdaptiveDetail{};
  holeview::Picture pictures[3];
  HardwareFrameStats stats[3];
  for (int k = 0; k < 3; ++k) {
    RandomUp = RandomDown = 0;
    CancelViewBlend();
    Water() = WaterState{};
    stats[k] = holeview::DrawDirect3D(view, pictures[k]);
  }
  holeview::CloseDirect3D();
  EXPECT_GT(stats[0].composedTiles, 100);
  EXPECT_EQ(stats[0].storedTiles, 0);
  for (int k = 1; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(stats[k].composedTiles, 0);
    EXPECT_GT(stats[k].storedTiles, 100);  // 64-texel tiles beyond the pool's 40 slots
    EXPECT_EQ(stats[k].drawnTiles, stats[0].drawnTiles);
    EXPECT_EQ(pictures[k].pixels, pictures[0].pixels);
  }
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

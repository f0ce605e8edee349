// A small hole built in code, drawn in software from a camera in each heading octant, with mowing stripes and a
// near view whose detail distances put the far ground on the coarse levels; objects next to the golfer are left
// out. The eight pictures are tiled into one golden picture that must match exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "course/holedata.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "holeview.h"
#include "scene/holedraw.h"
#include "scene/horizon.h"

namespace {

CourseImage Image(uint16_t w, uint16_t h, uint8_t a, uint8_t b) {
  CourseImage image;
  image.shape.assign(16 + static_cast<size_t>(w) * h, 0);
  image.shape[0] = 0x7B;
  std::memcpy(&image.shape[4], &w, 2);
  std::memcpy(&image.shape[6], &h, 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.shape[16 + static_cast<size_t>(y) * w + x] = ((x / 8 + y / 8) & 1) ? a : b;
  return image;
}

void BuildSmallHole() {
  ASSERT_TRUE(InitTerrainGrid(48, 48));
  TerrainGrid& g = CurrentTerrain();
  for (uint32_t j = 0; j < 48; ++j)
    for (uint32_t i = 0; i < 48; ++i) {
      SetTerrainVertexHeight(j * 48 + i, 1.5f * std::sin(i * 0.3f) * std::cos(j * 0.2f));
      uint8_t* cell = TerrainCell(j * 48 + i);
      const uint8_t surface = i < 12 ? 0x30 : (i < 24 ? 0x10 : (j < 24 ? 0x70 : 0x20));
      cell[2] = static_cast<uint8_t>(surface | ((i + j) % 16));
      cell[3] = (i % 9 == 4 && j % 7 == 3) ? 1 : 0;
    }
  (void)g;
  CourseSceneData& course = CurrentCourseScene();
  course = CourseSceneData{};
  for (int c = 0; c < 256; ++c)
    course.palette[static_cast<size_t>(c)] = 0xFF000000u | static_cast<uint32_t>(c) << 16 |
                                             static_cast<uint32_t>(255 - c) << 8 | static_cast<uint32_t>(c / 2);
  for (int l = 0; l < kLightLevels; ++l)
    for (int c = 0; c < 256; ++c)
      course.lightTables[static_cast<size_t>(l)][static_cast<size_t>(c)] =
          static_cast<uint16_t>(((c >> 3) << 11) | ((l * 4) << 5) | ((255 - c) >> 3));
  for (int t : {1, 2, 3, 7, 16, 17, 18, 26, 27, 28})
    course.textures[static_cast<size_t>(t)].image = Image(64, 64, static_cast<uint8_t>(t * 9), static_cast<uint8_t>(t * 9 + 60));
  course.objectTypes[1].present = true;
  course.objectTypes[1].image = Image(8, 16, 200, 255);
  course.objectTypes[1].worldHeight = 4 << 16;
  course.objectTypes[1].widthFactor = 1 << 15;
  course.objectTypes[1].hotSpotFactor = 1 << 15;
  HoleSceneData& hole = CurrentHoleScene();
  hole = HoleSceneData{};
  hole.hole = 1;
  hole.header.flags = 1;  // mowing stripes
  hole.header.defaultSurface = 0x30;
  gHorizon = HorizonTables{};
}

TEST(SmallHole, EveryOctantEachDetailLevelStripesAndObjects) {
  BuildSmallHole();
  InitDepthBands();
  holeview::Picture tiled;
  tiled.width = 4 * 80;
  tiled.height = 2 * 60;
  tiled.pixels.assign(static_cast<size_t>(tiled.width) * tiled.height, 0);
  for (int octant = 0; octant < 8; ++octant) {
    SCOPED_TRACE(octant);
    TGolfView view;
    holeview::SetUpView(view, 320, 240, 0);
    view.focusPoint = {0.0f, 0.0f, 0.0f};
    view.focusPoint.z = GetTerrainHeight(0.0f, 0.0f);
    view.SetHeading(octant * 8192 + 4096);
    holeview::Picture picture;
    const HoleDrawStats stats = holeview::DrawSoftware(view, picture);
    EXPECT_GT(stats.quads, 50);
    EXPECT_GT(stats.objects, 0);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 80; ++x)
        tiled.pixels[static_cast<size_t>((octant / 4) * 60 + y) * tiled.width + (octant % 4) * 80 + x] =
            picture.pixels[static_cast<size_t>(y * 4) * 320 + x * 4];
  }
  // Objects at the golfer's feet are left out: one stands on the focus cell here, short enough not to block the view.
  CurrentCourseScene().objectTypes[1].worldHeight = 2 << 16;
  TGolfView view;
  holeview::SetUpView(view, 320, 240, 0);
  Vector3 object;
  GridCellCentreToWorld(22, 24, &object);
  view.focusPoint = object;
  view.SetHeading(0);
  holeview::Picture near, far;
  const int withGolfer = holeview::DrawSoftware(view, near).objects;
  Surface16 s{far.pixels.data(), 0, 0, 0, 0, 0};
  far.width = 320, far.height = 240;
  far.pixels.assign(320 * 240, 0);
  s.pixels = far.pixels.data(), s.pitch = 320, s.clipRight = 320, s.clipBottom = 240;
  const int without = DrawHoleSoftware(view, s, nullptr).objects;
  EXPECT_GT(without, withGolfer);

  const std::string golden = std::string(TEEBOX_GOLDEN) + "/smallhole_octants.tga";
  const std::string written = (std::filesystem::temp_directory_path() / "smallhole_octants.tga").string();
  ASSERT_TRUE(holeview::WriteTga(tiled, written));
  if (std::getenv("TEEBOX_UPDATE_GOLDEN")) {
    std::filesystem::copy_file(written, golden, std::filesystem::copy_options::overwrite_existing);
    return;
  }
  std::ifstream a(written, std::ios::binary), b(golden, std::ios::binary);
  const std::string wa((std::istreambuf_iterator<char>(a)), {}), wb((std::istreambuf_iterator<char>(b)), {});
  EXPECT_TRUE(!wb.empty() && wa == wb) << "see " << written;
}

// Tee, pin and scenery markers stay in the cells (the pin is drawn at the hole's pin vertex): they are not bad data.
// A code without an object type is.
TEST(SmallHole, CellMarkersAreNotObjectsWithoutAType) {
  BuildSmallHole();
  InitDepthBands();
  TGolfView view;
  holeview::SetUpView(view, 320, 240, 0);
  view.SetHeading(0);
  const auto skippedWith = [&](uint8_t code) {
    TerrainCell(20 * 48 + 30)[3] = code;
    std::vector<HoleItem> items;
    HoleDrawStats stats;
    CollectHoleItems(view, nullptr, items, stats);
    return stats.skipped;
  };
  for (uint8_t marker : {70, 72, 81, 82, 83, 84, 86, 91, 112, 119, 120}) EXPECT_EQ(skippedWith(marker), 0) << int{marker};
  for (uint8_t code : {60, 73, 87, 90, 92, 121}) EXPECT_EQ(skippedWith(code), 1) << int{code};
}

// The loader stamps the tee cell with the pin's object type: the pole stands at the pin only, never in front of a
// golfer on the tee.
TEST(SmallHole, ThePinsTypeOnTheTeeCellDrawsNoPole) {
  BuildSmallHole();
  InitDepthBands();
  CourseSceneData& course = CurrentCourseScene();
  course.objectTypes[kPinObjectType] = course.objectTypes[1];
  TGolfView view;
  holeview::SetUpView(view, 320, 240, 0);
  view.focusPoint = {0.0f, 0.0f, GetTerrainHeight(0.0f, 0.0f)};
  view.SetHeading(0);
  // Objects in view, as (type, cell) pairs.
  const auto objects = [&](uint32_t pinVertex) {
    CurrentHoleScene().header.pinVertex[0] = pinVertex;
    std::vector<HoleItem> items;
    HoleDrawStats stats;
    CollectHoleItems(view, nullptr, items, stats);
    std::vector<HoleItem> found;
    for (const HoleItem& item : items)
      if (item.kind == ItemKind::Object) found.push_back(item);
    return found;
  };
  const std::vector<HoleItem> trees = objects(0);
  ASSERT_FALSE(trees.empty());
  const uint32_t pinVertex = static_cast<uint32_t>(trees.back().j * 48 + trees.back().i);
  for (uint32_t cell = 0; cell < 48 * 48; ++cell)
    if (TerrainCell(cell)[3] == 1) TerrainCell(cell)[3] = static_cast<uint8_t>(kPinObjectType);
  EXPECT_TRUE(objects(0).empty());
  const std::vector<HoleItem> pin = objects(pinVertex);
  ASSERT_EQ(pin.size(), 1u);
  EXPECT_EQ(pin[0].objectType, kPinObjectType);
  EXPECT_EQ(pin[0].i, -1);
}

// A tall object close in front of the eye that would fill more than a quarter of the view is left out (a camera
// standing beside a tree sees past it); short objects, and tall ones beyond the look distance, are drawn.
TEST(SmallHole, ATallObjectRightInFrontOfTheEyeIsLeftOut) {
  BuildSmallHole();
  InitDepthBands();
  for (uint32_t cell = 0; cell < 48 * 48; ++cell) TerrainCell(cell)[3] = 0;
  TerrainCell(24 * 48 + 22)[3] = 1;
  Vector3 foot;
  GridCellCentreToWorld(22, 24, &foot);
  struct Case {
    float height;  // world units
    float nearer;  // how much nearer than the look distance the object stands
    bool drawn;
  } const cases[] = {{4.0f, 0.0f, false}, {4.0f, 3.0f, false}, {2.0f, 3.0f, true}, {1.5f, 3.0f, true},
                     {4.0f, -4.0f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.height << " " << c.nearer);
    CurrentCourseScene().objectTypes[1].worldHeight = static_cast<int32_t>(c.height * 65536.0f);
    TGolfView view;
    holeview::SetUpView(view, 320, 240, 0);
    view.SetHeading(0);
    // The object stands on the line of view, `nearer` short of the focus.
    view.focusPoint = {foot.x - c.nearer * view.backS, foot.y - c.nearer * view.backC, foot.z};
    view.UpdateTransform();
    const float depth = view.WorldToCamera(foot).Z;
    ASSERT_NEAR(depth, view.lookDistance - c.nearer, 0.05f);
    holeview::Picture picture;
    EXPECT_EQ(holeview::DrawSoftware(view, picture).objects, c.drawn ? 1 : 0);
  }
}

}  // namespace

// The grids over the ground and the putting lines: which grid a lie gets, rows by distance, height colours, segments
// left out on water and outside the hole, lines hidden by nearer scenery, and trial putts computed once a lie.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "course/scenedata.h"
#include "course/terrain.h"
#include "golf/ballflight.h"
#include "golf/gridmode.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/surfaces.h"
#include "holeview.h"
#include "scene/gridoverlay.h"

namespace {

TEST(GridModeTest, LieAndOptionsChooseTheGrid) {
  struct Case {
    uint32_t viewChoices, flags;
    uint8_t surface;
    uint32_t mode;
  };
  const Case cases[] = {
      {kGridSquare, 0, 0x70, kGridSquare},                         // green
      {kGridCircular, 0, 0xB3, kGridCircular},                     // fringe, shade bits ignored
      {kGridGradient, 0, 0x70, kGridGradient},
      {kGridPuttingLines, 0, 0x70, kGridOff},                      // the aid is off
      {kGridPuttingLines, kPuttingLinesAllowedFlag, 0x70, kGridPuttingLines},
      {0x300, 0, 0x70, kGridOff},                                  // not a grid value
      {kGridCircular | kFairwayGridBit, 0, 0x10, kGridSquare},     // off the green: the fairway grid
      {kGridCircular, 0, 0x10, kGridOff},
      {kFairwayGridBit, 0, 0x60, kGridOff},                        // never on the tee
      {kFairwayGridBit, 0, 0x30, kGridSquare},
      {0, 0, 0x70, kGridOff},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.viewChoices << " " << c.flags << " " << int{c.surface});
    playerInfo_s golfer;
    golfer.viewChoices = c.viewChoices;
    golfer.flags = c.flags;
    EXPECT_EQ(GridModeForLie(golfer, c.surface), c.mode);
  }
}

TEST(GridOverlayTest, RowsFollowTheDistanceToTheTarget) {
  const struct {
    float distance;
    bool far;
    int rows;
  } cases[] = {{1.0f, false, 5}, {0.0f, true, 3}, {10.0f, false, 23}, {13.0f, false, 29}, {30.0f, false, 29},
               {20.0f, true, 43}, {40.0f, true, 58}};
  for (const auto& c : cases) EXPECT_EQ(SquareGridRows(c.distance, c.far), c.rows) << c.distance << " " << c.far;
}

TEST(GridOverlayTest, HeightColoursRedAboveTheMeanBlueBelow) {
  // Lowest 0, highest 4, mean 2.
  EXPECT_EQ(GridHeightColour(2.0f, 0.0f, 4.0f), 0x0000);
  EXPECT_EQ(GridHeightColour(4.0f, 0.0f, 4.0f), (31 << 11) | (7 << 6) | 7);
  EXPECT_EQ(GridHeightColour(0.0f, 0.0f, 4.0f), (7 << 11) | (7 << 6) | 31);
  EXPECT_EQ(GridHeightColour(3.0f, 0.0f, 4.0f), (16 << 11) | (6 << 6) | 6);
  // Flat ground: no span to divide by.
  EXPECT_EQ(GridHeightColour(1.0f, 1.0f, 1.0f), 0x0000);
}

constexpr uint16_t kGround = 0x7BEF;
constexpr uint16_t kDarkened = static_cast<uint16_t>(kGround - ((kGround & 0xE79C) >> 2));

// A flat green 40 x 40 with a ridge across it, a golfer on it looking toward the pin.
class GridSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitTerrainGrid(40, 40));
    SetSurface(0x70);
    for (uint32_t j = 0; j < 40; ++j)
      for (uint32_t i = 0; i < 40; ++i) SetTerrainVertexHeight(j * 40 + i, 0.4f * std::sin(static_cast<float>(j) * 0.4f));
    CurrentCourseScene() = CourseSceneData{};
    HoleSceneData& hole = CurrentHoleScene();
    hole = HoleSceneData{};
    hole.hole = 1;
    hole.header.pinVertex[0] = 30 * 40 + 20;  // (0.5 - 20, 30 - 19.5)
    SurfaceTableReset();
    BallClearCup();
    InitDepthBands();
    holeview::SetUpView(view_, 160, 120, 0);
    view_.SetProjectionScale(ProjectionScaleByResolution[0] / 4.0f, 1);  // a 640-wide screen's view in a quarter
    PlaceGolfer({0.0f, -10.0f, 0.0f}, &golfer_);
    picture_.width = 160, picture_.height = 120;
    picture_.pixels.assign(160 * 120, kGround);
    picture_.depth.assign(160 * 120, 0xFFFE);
  }
  void TearDown() override { ActiveGolferRecord = nullptr; }

  static void SetSurface(uint8_t surface) {
    for (size_t n = 0; n < CurrentTerrain().cellCount(); ++n) TerrainCell(n)[2] = surface;
  }
  void PlaceGolfer(Vector3 ball, playerInfo_s* golfer) {
    golfer->SetClub(kPutter);
    ball.z = GetTerrainHeight(ball.x, ball.y);
    BallPlaceAt(&golfer->ball, ball);
    ActiveGolferRecord = golfer;
    PinGroundPoint(&pin_);
    view_.focusPoint = ball;
    view_.SetHeading(ViewHeadingToward(ball, pin_));
  }
  void Draw(uint32_t mode) {
    const GridPictures pictures{{picture_.pixels.data(), 160, 0, 0, 160, 120},
                                {picture_.depth.data(), 160, 0, 0, 160, 120}};
    DrawGridOverlay(view_, pictures, mode, pin_, &pin_, false);
  }
  int Changed(int x0 = 0, int x1 = 160) const {
    int n = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = x0; x < x1; ++x) n += picture_.pixels[static_cast<size_t>(y) * 160 + x] != kGround;
    return n;
  }

  TGolfView view_;
  playerInfo_s golfer_;
  Vector3 pin_;
  holeview::Picture picture_;
};

TEST_F(GridSceneTest, SquareGridDarkensTheGroundItCrosses) {
  Draw(kGridSquare);
  EXPECT_GT(Changed(), 500);
  // Darkened by a quarter, once more for each further line over the pixel.
  std::vector<uint16_t> shades{kGround};
  for (int i = 0; i < 16; ++i) shades.push_back(static_cast<uint16_t>(shades.back() - ((shades.back() & 0xE79C) >> 2)));
  int once = 0;
  for (uint16_t p : picture_.pixels) {
    once += p == kDarkened;
    EXPECT_NE(std::find(shades.begin(), shades.end(), p), shades.end()) << std::hex << p;
  }
  EXPECT_GT(once, 500);
}

TEST_F(GridSceneTest, SegmentsOnWaterOrTheExcludedSurfaceAreLeftOut) {
  SetSurface(0x50);
  Draw(kGridSquare);
  EXPECT_EQ(Changed(), 0);
  SetSurface(0x30);
  CurrentCourseScene().noGridSurface = 0x30;
  Draw(kGridSquare);
  EXPECT_EQ(Changed(), 0);
  CurrentCourseScene().noGridSurface = 0x20;
  Draw(kGridSquare);
  EXPECT_GT(Changed(), 500);
}

TEST_F(GridSceneTest, LinesBehindNearerSceneryAreHidden) {
  // A tree just in front of the eye covers the left half of the picture.
  const uint16_t tree = 0x8002;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 80; ++x) picture_.depth[static_cast<size_t>(y) * 160 + x] = tree;
  Draw(kGridSquare);
  EXPECT_EQ(Changed(0, 80), 0);
  EXPECT_GT(Changed(80, 160), 250);
}

TEST_F(GridSceneTest, PointsOutsideTheHole) {
  const struct {
    Vector3 p;
    bool outside;
  } cases[] = {{{0.0f, 0.0f, 0.0f}, false},  {{20.0f, -20.0f, 0.0f}, false}, {{-19.0f, 19.0f, 0.0f}, false},
               {{20.1f, 0.0f, 0.0f}, true},  {{-19.1f, 0.0f, 0.0f}, true},   {{0.0f, 19.1f, 0.0f}, true},
               {{0.0f, -20.1f, 0.0f}, true}};
  for (const auto& c : cases) EXPECT_EQ(IsOutsideHoleBounds(c.p), c.outside) << c.p.x << "," << c.p.y;
}

TEST_F(GridSceneTest, GradientAndCircularGridsColourByHeight) {
  for (uint32_t mode : {kGridGradient, kGridCircular}) {
    SCOPED_TRACE(mode);
    picture_.pixels.assign(160 * 120, kGround);
    Draw(mode);
    int reddish = 0, bluish = 0;
    for (uint16_t p : picture_.pixels) {
      if (p == kGround) continue;
      const int r = p >> 11, b = p & 31;
      reddish += r > b + 4;
      bluish += b > r + 4;
    }
    EXPECT_GT(reddish, 20);
    EXPECT_GT(bluish, 20);
  }
}

// The central putt goes toward the aim, the outer ones 28 degrees to either side; the paths are kept while the same
// golfer's ball stays put.
TEST_F(GridSceneTest, PuttingLinesAreComputedOnceALie) {
  TBreakLineCache& cache = BreakLineCache();
  cache.FreeBuffer();
  const int before = cache.computations();
  Draw(kGridPuttingLines);
  ASSERT_EQ(cache.computations(), before + 1);
  EXPECT_GT(Changed(), 100);
  const std::vector<Vector3>& points = cache.points();
  int separators = 0;
  for (const Vector3& p : points) separators += p.x == -1.0f && p.y == -1.0f && p.z == -1.0f;
  EXPECT_EQ(separators, 9);
  ASSERT_GT(cache.centralEnd() - cache.centralStart(), 3);
  const Vector3 ball = golfer_.ball.position;
  const Vector3 end = points[static_cast<size_t>(cache.centralEnd() - 1)];
  const float aim = std::atan2(pin_.x - ball.x, pin_.y - ball.y);
  EXPECT_NEAR(std::atan2(end.x - ball.x, end.y - ball.y), aim, 0.05f);
  // The last path is the k = 4 putt.
  const Vector3 last = points.back();
  EXPECT_NEAR(std::atan2(last.x - ball.x, last.y - ball.y), aim + 4 * 0.12217305f, 0.08f);

  Draw(kGridPuttingLines);
  EXPECT_EQ(cache.computations(), before + 1);
  PlaceGolfer({golfer_.ball.position.x + 0.001f, golfer_.ball.position.y, 0.0f}, &golfer_);
  Draw(kGridPuttingLines);
  EXPECT_EQ(cache.computations(), before + 2);
  playerInfo_s other;
  PlaceGolfer(golfer_.ball.position, &other);
  Draw(kGridPuttingLines);
  EXPECT_EQ(cache.computations(), before + 3);
  cache.FreeBuffer();
}

TEST_F(GridSceneTest, PathPointsTooCloseOutsideOrPastTheBufferAreNotStored) {
  TBreakLineCache& cache = BreakLineCache();
  cache.FreeBuffer();
  ASSERT_TRUE(cache.Prepare());
  cache.AddPoint({1.0f, 1.0f, 0.0f});
  cache.AddPoint({1.08f, 1.08f, 0.08f});  // within 0.0834 in every coordinate
  cache.AddPoint({1.0f, 1.09f, 0.0f});
  cache.AddPoint({25.0f, 1.0f, 0.0f});    // outside the hole
  cache.AddPoint({-1.0f, -1.0f, -1.0f});  // would read as a separator
  ASSERT_EQ(cache.points().size(), 3u);
  EXPECT_FLOAT_EQ(cache.points()[1].y, 1.09f);
  EXPECT_FLOAT_EQ(cache.points()[2].z, -1.001f);
  for (int i = 0; static_cast<int>(cache.points().size()) < cache.capacity(); ++i)
    cache.AddPoint({static_cast<float>(i % 30) - 15.0f, static_cast<float>(i / 30) * 0.5f - 15.0f, 0.0f});
  cache.AddPoint({2.0f, 2.0f, 0.0f});
  EXPECT_EQ(cache.overflow(), 1);
  cache.FreeBuffer();
}

}  // namespace

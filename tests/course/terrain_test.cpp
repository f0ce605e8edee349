#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "course/angle.h"
#include "course/terrain.h"

namespace {

void setHeight(uint32_t i, uint32_t j, float h) {
  SetTerrainVertexHeight(static_cast<size_t>(j) * CurrentTerrain().width + i, h);
}

void setCell(uint32_t i, uint32_t j, uint16_t tile, uint8_t surface, uint8_t link) {
  uint8_t* c = TerrainCell(static_cast<size_t>(j) * CurrentTerrain().width + i);
  c[0] = static_cast<uint8_t>(tile);
  c[1] = static_cast<uint8_t>(tile >> 8);
  c[2] = surface;
  c[3] = link;
}

// World point of grid coordinates (u, v).
float wx(float u) { return CurrentTerrain().originX - u; }
float wy(float v) { return v - CurrentTerrain().originY; }

class TerrainTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { ASSERT_TRUE(InitTerrainGrid(4, 4)); CurrentTerrain().floatHeights = GetParam(); }
  void TearDown() override { FreeHoleTerrain(); }
};

TEST_P(TerrainTest, InsideTestAtTheLowerEdge) {
  // Plane h = 1 + 0.5 u + 0.25 v over the whole grid.
  for (uint32_t j = 0; j < 4; ++j)
    for (uint32_t i = 0; i < 4; ++i) setHeight(i, j, 1.0f + 0.5f * i + 0.25f * j);
  EXPECT_FLOAT_EQ(GetTerrainHeight(wx(-0.5f), wy(1.0f)), kHeightOutside);
  EXPECT_EQ(GetTerrainSurface(wx(-0.5f), wy(1.0f)), kSurfaceOutside);
  EXPECT_EQ(GetCellSurface(wx(1.0f), wy(-0.5f)), kSurfaceOutside);
  // u = -0.4 lies in column 0 and extrapolates the plane of cell 0.
  EXPECT_NEAR(GetTerrainHeight(wx(-0.4f), wy(1.0f)), 1.0f - 0.2f + 0.25f, 1e-4);
  EXPECT_NEAR(GetTerrainHeight(wx(1.0f), wy(-0.4f)), 1.0f + 0.5f - 0.1f, 1e-4);
  EXPECT_FLOAT_EQ(GetTerrainHeight(wx(4.0f), wy(1.0f)), kHeightOutside);
  EXPECT_FLOAT_EQ(GetTerrainHeight(wx(1.0f), wy(3.5f)), kHeightOutside);
  EXPECT_NEAR(GetTerrainHeight(wx(3.4f), wy(3.4f)), 1.0f + 1.5f + 0.75f, 1e-4);  // clamped, flat beyond
  Vector3 n;
  GetTerrainNormal(wx(-0.6f), wy(0.0f), &n);
  EXPECT_EQ(n.x, 0.0f);
  EXPECT_EQ(n.y, 0.0f);
  EXPECT_EQ(n.z, 1.0f);
  EXPECT_FLOAT_EQ(GetCellAverageHeight(wx(-0.6f), wy(0.0f)), kHeightOutside);
}

TEST_P(TerrainTest, DiagonalUsesTheFirstTriangle) {
  setHeight(2, 2, 4.0f);  // only the far corner of cell (1, 1) is raised
  const float x = wx(1.25f), y = wy(1.75f);
  const TerrainTriangle& t = GetTerrainTriangle(x, y);
  EXPECT_FLOAT_EQ(t.p0.x, wx(2.0f));
  EXPECT_FLOAT_EQ(t.p0.y, wy(1.0f));
  EXPECT_FLOAT_EQ(t.p1.x, wx(1.0f));
  EXPECT_FLOAT_EQ(t.p1.y, wy(1.0f));
  EXPECT_FLOAT_EQ(t.p2.x, wx(1.0f));
  EXPECT_FLOAT_EQ(t.p2.y, wy(2.0f));
  EXPECT_FLOAT_EQ(GetTerrainHeight(x, y), 0.0f);
  EXPECT_FLOAT_EQ(CurrentTerrain().lastNormal.z, 1.0f);
  EXPECT_FLOAT_EQ(CurrentTerrain().lastNormal.x, 0.0f);
  // Just past the diagonal the second triangle (with the raised corner) applies.
  const float x2 = wx(1.75f), y2 = wy(1.75f);
  EXPECT_FLOAT_EQ(GetTerrainTriangle(x2, y2).p2.z, 4.0f);
  EXPECT_NEAR(GetTerrainHeight(x2, y2), 4.0f * 0.5f, 1e-4);
  Vector3 n;
  GetTerrainNormal(x2, y2, &n);
  EXPECT_FLOAT_EQ(n.x, CurrentTerrain().lastNormal.x);
  EXPECT_FLOAT_EQ(n.y, CurrentTerrain().lastNormal.y);
  EXPECT_NE(n.x, 0.0f);
}

TEST_P(TerrainTest, LastRowAndColumnAreClamped) {
  for (uint32_t j = 0; j < 4; ++j)
    for (uint32_t i = 0; i < 4; ++i) setHeight(i, j, 2.0f * i + 1.0f * j);
  // Beyond the last column and row the corners repeat it, so the ground is level there.
  EXPECT_NEAR(GetTerrainHeight(wx(3.3f), wy(1.0f)), 6.0f + 1.0f, 1e-4);
  EXPECT_NEAR(GetTerrainHeight(wx(1.0f), wy(3.3f)), 2.0f + 3.0f, 1e-4);
  EXPECT_NEAR(GetTerrainHeight(wx(3.2f), wy(3.2f)), 9.0f, 1e-4);
  // Average height: the last column uses one corner, the last row two, others four.
  EXPECT_FLOAT_EQ(GetCellAverageHeight(wx(3.2f), wy(1.2f)), 7.0f);
  EXPECT_FLOAT_EQ(GetCellAverageHeight(wx(1.2f), wy(3.2f)), (5.0f + 7.0f) * 0.5f);
  EXPECT_FLOAT_EQ(GetCellAverageHeight(wx(1.2f), wy(1.2f)), (3.0f + 5.0f + 6.0f + 4.0f) * 0.25f);
  float lo, hi;
  GetCellHeightRange(1 * 4 + 1, &lo, &hi);
  EXPECT_FLOAT_EQ(lo, 3.0f);
  EXPECT_FLOAT_EQ(hi, 6.0f);
  GetCellHeightRange(15, &lo, &hi);  // corners past the grid are held to its last vertex
  EXPECT_FLOAT_EQ(lo, 9.0f);
  EXPECT_FLOAT_EQ(hi, 9.0f);
}

TEST_P(TerrainTest, GridPointsToWorld) {
  setHeight(1, 2, 3.5f);
  Vector3 p;
  EXPECT_EQ(GridPointToWorld(1, 2, &p), &p);
  EXPECT_FLOAT_EQ(p.x, 1.0f);
  EXPECT_FLOAT_EQ(p.y, 0.0f);
  EXPECT_FLOAT_EQ(p.z, 3.5f);
  GridVertexToWorld(4, 0, &p);
  EXPECT_FLOAT_EQ(p.x, -2.0f);
  EXPECT_FLOAT_EQ(p.z, kHeightOutside);
  GridCellCentreToWorld(1, 2, &p);
  EXPECT_FLOAT_EQ(p.x, 0.5f);
  EXPECT_FLOAT_EQ(p.y, 0.5f);
  EXPECT_FLOAT_EQ(p.z, GetTerrainHeight(0.5f, 0.5f));
}

INSTANTIATE_TEST_SUITE_P(HeightForms, TerrainTest, ::testing::Values(false, true));

TEST(TerrainGridSetup, SizesAndLevels) {
  ASSERT_TRUE(InitTerrainGrid(13, 9));
  const TerrainGrid& g = CurrentTerrain();
  EXPECT_FLOAT_EQ(g.originX, 6.5f);
  EXPECT_FLOAT_EQ(g.originY, 4.5f);
  ASSERT_EQ(g.rowTable.size(), 10u);
  EXPECT_EQ(g.rowTable[9], 9u * 13u);
  EXPECT_EQ(g.levels[0].columns, 13u);
  EXPECT_EQ(g.levels[1].lastColumn, 10u);  // (12 - 1) & ~1
  EXPECT_EQ(g.levels[1].columns, 6u);
  EXPECT_EQ(g.levels[3].lastColumn, 0u);
  EXPECT_EQ(g.levels[3].rows, 1u);
  EXPECT_EQ(TerrainLevelSize(9, 8), 2u);
  EXPECT_EQ(TerrainLevelSize(512, 8), 64u);
  EXPECT_FALSE(InitTerrainGrid(0, 4));
  EXPECT_FALSE(InitTerrainGrid(100000, 4));
  EXPECT_FALSE(InitTerrainGrid(8192, 8192));
  EXPECT_EQ(CurrentTerrain().width, 0u);
  EXPECT_FLOAT_EQ(GetTerrainHeight(0, 0), kHeightOutside);
  EXPECT_EQ(ResolveCellLink(0), -1);
}

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitTerrainGrid(4, 4));
    TerrainGrid& g = CurrentTerrain();
    setCell(1, 1, 1, 0x23, 0);  // coarse 0x20, low nibble ignored
    // Tile 1: primary 3, secondary 4, mask pair 0. Tile 2: primary 0. Tile 3: mask pair 9 (missing).
    g.detailTiles = {3, 4, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 3, 4, 9, 0, 0, 0, 0, 0};
    // Primary marks sub-cell rows 0-7, secondary marks row 0 columns 0-9.
    g.runMasks = {0x80 | 127, 0x80 | 1, 127, 1, 0x80 | 10, 127, 127, 127};
    g.maskPairs = {0, 0, 0, 0, 4, 0, 0, 0};
  }
  void TearDown() override { FreeHoleTerrain(); }
  // Surface at sub-cell fractions (fu, fv) of cell (1, 1).
  uint8_t at(float fu, float fv) { return GetTerrainSurface(wx(1.0f + fu), wy(1.0f + fv)); }
};

TEST_F(SurfaceTest, PrimaryAndSecondaryMasks) {
  EXPECT_EQ(at(0.0f, 0.0f), 0x40);           // secondary wins
  EXPECT_EQ(at(0.6f, 0.0f), 0x40);           // sub-cell 9
  EXPECT_EQ(at(0.7f, 0.0f), 0x30);           // sub-cell 10 (round(10.5) = 10)... primary
  EXPECT_EQ(at(0.2f, 7.0f / 15.0f), 0x30);   // row 7
  EXPECT_EQ(at(0.2f, 8.0f / 15.0f), 0x20);   // row 8: coarse
  EXPECT_EQ(at(0.99f, 0.99f), 0x20);
  EXPECT_EQ(GetCellSurface(wx(1.0f), wy(1.0f)), 0x20);
  // Sub-cell indices stay inside the cell even where the point extrapolates past column 0.
  setCell(0, 0, 1, 0x10, 0);
  EXPECT_EQ(GetTerrainSurface(wx(-0.4f), wy(-0.4f)), 0x40);
}

TEST_F(SurfaceTest, DamagedTilesAnswerTheCoarseCode) {
  TerrainGrid& g = CurrentTerrain();
  struct Case { uint16_t tile; const char* what; };
  for (const Case& c : {Case{2, "zero primary"}, Case{3, "mask pair beyond table"}, Case{40, "tile beyond table"}}) {
    setCell(1, 1, c.tile, 0x20, 0);
    EXPECT_EQ(at(0.0f, 0.0f), 0x20) << c.what;
  }
  setCell(1, 1, 1, 0x20, 0);
  g.maskPairs = {200, 0, 0, 0, 4, 0, 0, 0};  // primary offset beyond the run masks
  EXPECT_EQ(at(0.0f, 0.0f), 0x20);
  g.maskPairs = {0, 0, 0, 0, 200, 0, 0, 0};  // only the secondary is bad: primary still applies
  EXPECT_EQ(at(0.0f, 0.0f), 0x30);
  g.runMasks = {0x80 | 20};  // run data ends early: the rest stays coarse
  EXPECT_EQ(at(0.0f, 0.0f), 0x30);
  EXPECT_EQ(at(0.0f, 2.0f / 15.0f), 0x20);
}

TEST_F(SurfaceTest, CellSurfaceInfo) {
  uint8_t out[3] = {0xEE, 0xEE, 0xEE};
  EXPECT_EQ(GetGridCellSurfaceInfo(1, 1, out), 3);
  EXPECT_EQ(out[0], 0x20);
  EXPECT_EQ(out[1], 0x30);
  EXPECT_EQ(out[2], 0x40);
  CurrentTerrain().detailTiles[1] = 0;
  EXPECT_EQ(GetGridCellSurfaceInfo(1, 1, out), 2);
  EXPECT_EQ(out[2], 0x00);
  setCell(1, 1, 2, 0x20, 0);
  out[1] = 0xEE;
  EXPECT_EQ(GetGridCellSurfaceInfo(1, 1, out), 1);
  EXPECT_EQ(out[1], 0x00);
  EXPECT_EQ(GetGridCellSurfaceInfo(0, 0, out), 1);
  EXPECT_EQ(GetGridCellSurfaceInfo(-1, 0, out), 1);
  EXPECT_EQ(out[0], kSurfaceOutside);
  EXPECT_EQ(GetGridCellSurfaceInfo(0, 4, out), 1);
  EXPECT_EQ(out[0], kSurfaceOutside);
  EXPECT_EQ(GetSurfaceInfoAt(wx(1.5f), wy(1.5f), out), 1);
  EXPECT_EQ(out[0], 0x20);
  EXPECT_EQ(GetGridCellSurface(4, 0), kSurfaceOutside);
  EXPECT_EQ(GetGridCellSurface(1, 1), 0x20);
}

TEST(RunMask, MarksRunsAndKeepsLowNibbles) {
  uint8_t table[256];
  std::memset(table, 0x07, sizeof table);
  const uint8_t mask[] = {2, 0x80 | 3, 0x7F, 0x70, 0x80 | 127};  // the last run is cut at 256
  MarkTableByRunMask(table, mask, sizeof mask, 0xA0);
  EXPECT_EQ(table[1], 0x07);
  EXPECT_EQ(table[2], 0xA7);
  EXPECT_EQ(table[4], 0xA7);
  EXPECT_EQ(table[5], 0x07);
  EXPECT_EQ(table[243], 0x07);
  EXPECT_EQ(table[244], 0xA7);
  EXPECT_EQ(table[255], 0xA7);
}

TEST(RunMask, SurfaceQueryAgreesWithTheMarkedTable) {
  ASSERT_TRUE(InitTerrainGrid(2, 2));
  TerrainGrid& g = CurrentTerrain();
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<uint8_t>(seed >> 16);
  };
  for (int trial = 0; trial < 40; ++trial) {
    g.runMasks.clear();
    for (int k = 0; k < 24; ++k) g.runMasks.push_back(next());  // random runs, zero lengths included
    const uint32_t secondOffset = next() % 24;
    g.maskPairs = {0, 0, 0, 0, static_cast<uint8_t>(secondOffset), 0, 0, 0};
    g.detailTiles = {5, 9, 0, 0, 0, 0, 0, 0};
    setCell(0, 0, 1, 0x20, 0);
    uint8_t table[256];
    std::memset(table, 0x20, sizeof table);
    MarkTableByRunMask(table, g.runMasks.data(), g.runMasks.size(), 0x50);
    MarkTableByRunMask(table, g.runMasks.data() + secondOffset, g.runMasks.size() - secondOffset, 0x90);
    for (int sy = 0; sy < 16; ++sy)
      for (int sx = 0; sx < 16; ++sx) {
        const float x = wx(sx / 15.0f * 0.999f), y = wy(sy / 15.0f * 0.999f);
        ASSERT_EQ(GetTerrainSurface(x, y), table[sx + 16 * sy]) << trial << " " << sx << "," << sy;
      }
  }
  FreeHoleTerrain();
}

TEST(CellLinks, CodesPointToTheirNeighbours) {
  ASSERT_TRUE(InitTerrainGrid(5, 5));
  struct Case { uint8_t code; int32_t expect; };
  const int32_t c = 2 * 5 + 2;
  const Case cases[] = {{129, c + 5}, {130, c - 5}, {132, c + 1}, {133, c + 6}, {134, c - 4},
                        {136, c - 1}, {137, c + 4}, {138, c - 6}, {128, c}, {131, c}, {135, c}, {139, c}, {255, c}};
  for (const Case& k : cases) {
    TerrainCell(static_cast<size_t>(c))[3] = k.code;
    EXPECT_EQ(ResolveCellLink(c), k.expect) << int(k.code);
  }
  TerrainCell(0)[3] = 130;  // would leave the grid
  EXPECT_EQ(ResolveCellLink(0), -1);
  TerrainCell(4)[3] = 132;  // would wrap into the next row
  EXPECT_EQ(ResolveCellLink(4), -1);
  EXPECT_EQ(ResolveCellLink(25), -1);
  EXPECT_EQ(ResolveCellLink(-3), -1);
  FreeHoleTerrain();
}

TEST(CellLinks, ChainLimit) {
  ASSERT_TRUE(InitTerrainGrid(210, 1));
  for (int i = 0; i < 201; ++i) TerrainCell(static_cast<size_t>(i))[3] = 132;
  TerrainCell(201)[3] = 7;
  EXPECT_EQ(ResolveCellLink(0), 201);  // 201 steps reach the object
  TerrainCell(201)[3] = 132;           // the 202nd link cell
  TerrainCell(202)[3] = 7;
  EXPECT_EQ(ResolveCellLink(0), -1);
  EXPECT_EQ(ResolveCellLink(1), 202);
  FreeHoleTerrain();
}

TEST(Heading, ListedAngles) {
  const Vector3 a{3.0f, -2.0f, 1.0f};
  struct Case { float dx, dy; int32_t expect; };
  // The y difference goes first: +x is A = 0 (-16383), +y A = 16384 (0), -x A = 32768, -y A = 49152.
  const Case cases[] = {{0, 0, -16383}, {5, 0, -16383}, {0, 5, 0}, {-5, 0, 16383}, {0, -5, 32767},
                        {0, 0.25f, 0}, {1, 1, 8192 - 16384 + 1}, {1, -1, 57344 - 16384}};
  for (const Case& c : cases) {
    const Vector3 b{a.x + c.dx, a.y + c.dy, 7.0f};
    EXPECT_EQ(HeadingBetweenPoints(a, b), c.expect) << c.dx << "," << c.dy;
  }
}

TEST(Angles, ArctangentAndScaling) {
  struct Case { int32_t dx, dy, expect; };
  const Case cases[] = {{0, 5, 0},      {5, 0, 0x4000},   {0, -5, 0x8000}, {-5, 0, -0x4000}, {1, 1, 0x2000},
                        {1, -1, 0x6000}, {-1, -1, -0x6000}, {0, 0, 0x2000}, {3, 4, 0x1A38}};
  for (const Case& c : cases) EXPECT_EQ(FixAtan2(c.dx, c.dy), c.expect) << c.dx << "," << c.dy;
  float x = 0.5f, y = 0.5f;
  ScaleForAngle(x, y);
  EXPECT_EQ(x, 16384.0f);
  x = 1.0f, y = 0.5f;
  ScaleForAngle(x, y);
  EXPECT_EQ(x, 4096.0f);
  EXPECT_EQ(y, 2048.0f);
  x = 2048.0f, y = 0.0f;
  ScaleForAngle(x, y);
  EXPECT_EQ(x, 2048.0f);
  EXPECT_EQ(AngleFromXY(0.5f, 0.5f), AngleFromXY(1.0f, 1.0f));
  EXPECT_EQ(AngleFromXY(1.0f, 0.5f), AngleFromXY(2.0f, 1.0f));
  EXPECT_EQ(AngleFromXY(-1.0f, 0.0f), 0xC000);
}

}  // namespace

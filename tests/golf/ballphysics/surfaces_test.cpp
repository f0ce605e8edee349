#include <gtest/gtest.h>

#include <cstring>

#include "golf/ballflight.h"
#include "golf/playerinfo.h"
#include "golf/surfaces.h"

namespace {

bool sameEntry(const SurfaceCoefficients& a, const SurfaceCoefficients& b) {
  return a.c0 == b.c0 && a.c1 == b.c1 && a.c2 == b.c2 && a.depth == b.depth && a.c4 == b.c4;
}

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SurfaceTableReset();
    ActiveGolferRecord = nullptr;
  }
  void TearDown() override {
    SurfaceTableReset();
    ActiveGolferRecord = nullptr;
  }
};

TEST_F(SurfaceTest, ResetCopiesDefaultsWithDepthInYards) {
  SurfaceTable[7].c2 = 9.0f;
  SurfaceTableReset();
  EXPECT_TRUE(sameEntry(SurfaceTable[7], SurfaceCoefficients{0.21f, 0.9f, 0.153f, 3.0f / 36.0f, 0.0f}));
  EXPECT_TRUE(sameEntry(SurfaceTable[5], SurfaceCoefficients{0.0f, 0.0f, 5.0f, 7.5f / 36.0f, 0.0f}));
  EXPECT_TRUE(sameEntry(SurfaceTable[10], SurfaceCoefficients{0.58f, 0.35f, 0.23f, 4.0f / 36.0f, 0.0f}));
  EXPECT_TRUE(sameEntry(SurfaceTable[16], SurfaceCoefficients{}));
}

TEST_F(SurfaceTest, SetByName) {
  const SurfaceCoefficients plank{0.4f, 0.35f, 0.1f, 0.2f / 36.0f, 0.0f};
  struct Case {
    int cls;
    const char* name;
    int changesTo;  // -1 unchanged, -2 plank, else the class copied
  } cases[] = {
      {17, "Plank", -1}, {40, "Water", -1}, {-1, "Plank", -1}, {3, "", -1},       {3, nullptr, -1},
      {3, "PLANK", -2},  {3, "plank", -2},  {16, "Plank", -2}, {3, "WATER", -1},  {3, "water", -1},
      {3, "Water", 5},   {3, "HAZARD", 10}, {3, "hazard", 10}, {3, "Planks", -1}, {3, "Grass", -1},
  };
  for (const Case& c : cases) {
    SurfaceTableReset();
    SurfaceCoefficients before[kSurfaceTableEntries];
    std::memcpy(before, SurfaceTable, sizeof before);
    SurfaceTableSet(c.cls, c.name);
    for (int i = 0; i < kSurfaceTableEntries; ++i) {
      SurfaceCoefficients want = before[i];
      if (i == c.cls && c.changesTo == -2) want = plank;
      if (i == c.cls && c.changesTo >= 0) want = before[c.changesTo];
      EXPECT_TRUE(sameEntry(SurfaceTable[i], want)) << c.cls << " " << (c.name ? c.name : "null") << " entry " << i;
    }
  }
}

TEST_F(SurfaceTest, GolferSettingsScaleBounceAndFriction) {
  playerInfo_s golfer;
  ActiveGolferRecord = &golfer;
  struct Case {
    uint8_t surface;
    uint8_t green, fairway;
    float bounce, friction;
  } cases[] = {
      {0x70, 2, 1, 0.9f * 1.15f, 0.21f * 0.75f}, {0x7F, 0, 1, 0.9f * 0.85f, 0.21f * 1.15f},
      {0x70, 1, 1, 0.9f, 0.21f},                 {0xB0, 2, 1, 0.8f * 1.15f, 0.3f * 0.75f},
      {0x10, 2, 0, 0.7f * 0.85f, 0.31f * 1.15f}, {0x10, 0, 2, 0.7f * 1.15f, 0.31f * 0.75f},
      {0x10, 0, 7, 0.7f, 0.31f},                 {0x30, 0, 0, 0.8f, 0.25f},
  };
  for (const Case& c : cases) {
    golfer.option2 = c.green;
    golfer.option1 = c.fairway;
    EXPECT_FLOAT_EQ(SurfaceBounce(c.surface), c.bounce) << int(c.surface);
    EXPECT_FLOAT_EQ(SurfaceFriction(c.surface), c.friction) << int(c.surface);
  }
  ActiveGolferRecord = nullptr;
  EXPECT_FLOAT_EQ(SurfaceBounce(0x70), 0.9f);
  EXPECT_FLOAT_EQ(SurfaceFriction(0x70), 0.21f);
}

TEST_F(SurfaceTest, CoefficientIsTheFifthColumn) {
  EXPECT_EQ(SurfaceGetCoefficient(0x20), 0.0f);
  SurfaceTable[2].c4 = 0.75f;
  EXPECT_EQ(SurfaceGetCoefficient(0x2A), 0.75f);
}

TEST_F(SurfaceTest, RollResistanceByLieAndSetting) {
  playerInfo_s golfer;
  ActiveGolferRecord = &golfer;
  struct Case {
    int lie;
    uint8_t green, fairway, rough;
    float extraZ, rollingFor, expected;
  } cases[] = {
      {7, 0, 1, 0, 0.0f, 0.0f, 0.153f * 0.8f},
      {7, 2, 1, 0, 0.0f, 0.0f, 0.153f * 1.3f},
      {7, 1, 1, 0, 200.0f, 12.0f, 0.153f},  // a green keeps its resistance
      {11, 2, 1, 0, 0.0f, 0.0f, 0.26f * 1.3f * 0.7f},
      {1, 1, 0, 0, 0.0f, 0.0f, 0.49f * 1.0f * 0.7f},
      {1, 1, 2, 0, 0.0f, 0.0f, 0.49f * 1.5f * 0.7f},
      {1, 1, 1, 0, 0.0f, 0.0f, 0.49f * 1.3f * 0.7f},
      {3, 1, 1, 1, 0.0f, 0.0f, 1.0f * 1.4f * 0.7f},
      {4, 1, 1, 0, 0.0f, 0.0f, 1.5f * 0.7f},
      {2, 1, 1, 1, 0.0f, 0.0f, 1.5f * 0.7f},
      {1, 1, 1, 0, 0.0f, 10.0f, (0.637f * 0.5f + 0.637f) * 0.7f},  // 5 s past the first five
      {2, 1, 1, 0, 150.0f, 0.0f, (1.5f * 3.5f + 1.5f) * 0.7f},     // W.z = 15: t = 3.5
      {2, 1, 1, 0, 300.0f, 0.0f, (1.5f * 7.0f + 1.5f) * 0.7f},
      {2, 1, 1, 0, 900.0f, 0.0f, (1.5f * 7.0f + 1.5f) * 0.7f},
      {2, 1, 1, 0, -300.0f, 0.0f, (1.5f * 7.0f + 1.5f) * 0.7f},  // never below the plain resistance
  };
  for (const Case& c : cases) {
    golfer.option2 = c.green;
    golfer.option1 = c.fairway;
    golfer.option3 = c.rough;
    BallState b;
    BallStateReset(&b);
    b.lie = static_cast<uint8_t>(c.lie);
    b.spinExtra.z = c.extraZ;
    b.rollStartTime = 1.0f;
    b.flightTime = 1.0f + c.rollingFor;
    EXPECT_NEAR(BallRollResistance(&b), c.expected, 1e-5f) << "lie " << c.lie << " extra " << c.extraZ;
  }
}

}  // namespace

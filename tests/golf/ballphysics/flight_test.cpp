#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/ground.h"
#include "golf/ballflight.h"
#include "golf/ballmath.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "golf/surfaces.h"

namespace {

using namespace ballmath;

constexpr float kMphToYps = 1760.0f / 3600.0f;
constexpr float kDeg = 3.14159265f / 180.0f;
const Vector3 kTee{0.0f, -240.0f, 0.0f};

struct Flight {
  float carry = 0.0f;
  float apex = 0.0f;
  float total = 0.0f;
  int steps = 0;
  float lowest = 0.0f;  // least height above the terrain seen
  std::vector<Vector3> path;
};

// Steps a started ball to rest, watching it against the terrain.
Flight run(BallState& b, const Vector3& start, float dt = kBallStepSeconds, int limit = 100000) {
  Flight f;
  f.lowest = 1e9f;
  while (BallIsMoving(&b) && f.steps < limit) {
    BallStep(&b, dt);
    ++f.steps;
    f.path.push_back(b.position);
    f.apex = std::max(f.apex, b.position.z - start.z);
    f.lowest = std::min(f.lowest, b.position.z - GetTerrainHeight(b.position.x, b.position.y));
    if (f.carry == 0.0f && BallFirstContact(&b)) f.carry = length(sub(b.stepList[0].position, start));
  }
  f.total = length(sub(b.position, start));
  return f;
}

void launchMeasured(BallState& b, const Vector3& at, float yps, float degrees, float rpm, float curve = 0.0f) {
  BallStateReset(&b);
  BallPlaceAt(&b, at);
  b.lie = 1;
  BallLaunchVector(&b, Vector3{0.0f, 1.0f, 0.0f}, yps, degrees * kDeg, rpm / 60.0f, curve);
  BallFlightStart(&b);
}

class Ground : public ::testing::Test {
 protected:
  void SetUp() override {
    SurfaceTableReset();
    BallClearCup();
    ActiveGolferRecord = nullptr;
    ShotMeter = ShotMeterValues{};
    ASSERT_TRUE(balltest::makeGround(60, 520, 0x10));
  }
  void TearDown() override {
    FreeHoleTerrain();
    BallClearCup();
    ActiveGolferRecord = nullptr;
  }
};

using FlatFairway = Ground;

// Measured tour shots against the flight model: its drag coefficient of 0.1 carries them well past the
// measured carries, and its lift is a little low for the driver. The bands are what the model meets.
TEST_F(FlatFairway, MeasuredTourShots) {
  struct Row {
    const char* name;
    float mph, degrees, rpm, carry, apex;
    float carryLow, carryHigh, apexLow, apexHigh;  // as shares of the measured values
  } rows[] = {
      {"driver", 167.0f, 10.9f, 2686.0f, 275.0f, 32.0f, 1.05f, 1.30f, 0.60f, 0.90f},
      {"7-iron", 120.0f, 16.3f, 7097.0f, 172.0f, 32.0f, 1.30f, 1.60f, 0.70f, 1.00f},
      {"pitching wedge", 102.0f, 24.2f, 9304.0f, 136.0f, 29.0f, 1.40f, 1.70f, 0.95f, 1.30f},
  };
  for (const Row& r : rows) {
    BallState b;
    launchMeasured(b, kTee, r.mph * kMphToYps, r.degrees, r.rpm);
    const Flight f = run(b, kTee);
    std::printf("%-15s carry %6.1f yd (measured %5.1f)  apex %5.1f yd (measured %4.1f)  total %6.1f\n", r.name,
                f.carry, r.carry, f.apex, r.apex, f.total);
    EXPECT_GE(f.carry, r.carry * r.carryLow) << r.name;
    EXPECT_LE(f.carry, r.carry * r.carryHigh) << r.name;
    EXPECT_GE(f.apex, r.apex * r.apexLow) << r.name;
    EXPECT_LE(f.apex, r.apex * r.apexHigh) << r.name;
  }
}

// The game's own clubs, launched at full power, carry their reach (the whole table is in clubflight_test).
TEST_F(FlatFairway, FullShotsCarryTheClubsReach) {
  playerInfo_s golfer;
  golfer.bag = 0x1FFFFF;
  ActiveGolferRecord = &golfer;
  struct Row {
    int club;
    float low, high;  // carry as a share of reach
  } rows[] = {{0, 0.97f, 1.03f}, {3, 0.97f, 1.03f}, {10, 0.97f, 1.03f}, {13, 0.97f, 1.03f}, {16, 0.97f, 1.03f},
              {19, 0.97f, 1.03f}};
  for (const Row& r : rows) {
    golfer.SetClub(r.club);
    BallState b;
    BallStateReset(&b);
    BallPlaceAt(&b, kTee);
    b.lie = 1;
    ShotAimPoint = Vector3{0.0f, 200.0f, 0.0f};
    BallLaunch(&b, 0, 0, 0, 1.0f);
    BallFlightStart(&b);
    const Flight f = run(b, kTee);
    const float reach = static_cast<float>(GetClubLaunchData(r.club, 0).reach);
    std::printf("club %2d reach %5.1f carry %6.1f total %6.1f apex %5.1f\n", r.club, reach, f.carry, f.total, f.apex);
    EXPECT_GE(f.carry, reach * r.low) << r.club;
    EXPECT_LE(f.carry, reach * r.high) << r.club;
    // Long clubs run on; the wedges' backspin holds them by the pitch mark.
    if (r.club < 14) {
      EXPECT_GT(f.total, f.carry) << r.club;
    } else {
      EXPECT_NEAR(f.total, f.carry, 4.0f) << r.club;
    }
  }
}

TEST_F(FlatFairway, BallAtRestIsNotChanged) {
  BallState b;
  BallStateReset(&b);
  BallPlaceAt(&b, Vector3{1.0f, 2.0f, 0.0f});
  b.velocity = Vector3{3.0f, 4.0f, 5.0f};  // stale values that a step must not use
  b.spin = Vector3{10.0f, 0.0f, 0.0f};
  BallState before = b;
  const BallEventRecord e = BallStep(&b, 0.02f);
  EXPECT_EQ(0, std::memcmp(&before, &b, sizeof b));
  EXPECT_EQ(e.bytes[0], b.lie);
}

// Velocity after one airborne step with only gravity and drag.
Vector3 gravityAndDrag(const BallState& b, float dt) {
  const float speed = length(b.velocity);
  Vector3 a = b.gravity;
  a = sub(a, scale(b.velocity, kInvBallMass * b.spinDecayFactor * speed));
  return add(b.velocity, scale(a, dt));
}

TEST_F(FlatFairway, AfterFirstContactOnlyGravityAndDragAct) {
  BallState b;
  launchMeasured(b, Vector3{0.0f, 0.0f, 0.0f}, 40.0f, 30.0f, 6000.0f);
  b.position.z = 30.0f;
  b.spinExtra = Vector3{0.0f, 0.0f, 20.0f};
  b.stepList[0].key = 0;
  b.Flag(kBallFlagStepCount) = 1;
  const Vector3 spin = b.spin;
  const Vector3 want = gravityAndDrag(b, 0.02f);
  BallStep(&b, 0.02f);
  EXPECT_FLOAT_EQ(b.velocity.x, want.x);
  EXPECT_FLOAT_EQ(b.velocity.y, want.y);
  EXPECT_FLOAT_EQ(b.velocity.z, want.z);
  EXPECT_TRUE(spin.x == b.spin.x && spin.y == b.spin.y && spin.z == b.spin.z);  // no decay either

  // With flag 20 the aerodynamics go on after contact.
  b.Flag(kBallFlagAeroAfterContact) = 1;
  const Vector3 plain = gravityAndDrag(b, 0.02f);
  BallStep(&b, 0.02f);
  EXPECT_GT(b.velocity.z, plain.z);
}

TEST_F(FlatFairway, ZeroSpinGivesNoLift) {
  const Vector3 velocities[] = {{0.0f, 80.0f, 10.0f}, {30.0f, -20.0f, 40.0f}, {0.0f, 0.0f, -5.0f}, {5.0f, 5.0f, 0.0f}};
  for (const Vector3& v : velocities) {
    BallState b;
    launchMeasured(b, Vector3{0.0f, 0.0f, 0.0f}, 1.0f, 0.0f, 0.0f);
    b.position.z = 40.0f;
    BallSetVelocity(&b, v);
    b.liftFactor = 0.01f;  // a stale factor must not act without spin
    const Vector3 want = gravityAndDrag(b, 0.02f);
    BallStep(&b, 0.02f);
    EXPECT_FLOAT_EQ(b.velocity.x, want.x);
    EXPECT_FLOAT_EQ(b.velocity.y, want.y);
    EXPECT_FLOAT_EQ(b.velocity.z, want.z);
  }
}

TEST_F(FlatFairway, BackspinLiftsAndSideSpinCurves) {
  BallState plain, spun, drawn;
  launchMeasured(plain, kTee, 60.0f, 12.0f, 0.0f);
  launchMeasured(spun, kTee, 60.0f, 12.0f, 4000.0f);
  launchMeasured(drawn, kTee, 60.0f, 12.0f, 4000.0f, 40.0f);
  const Flight a = run(plain, kTee), b = run(spun, kTee), c = run(drawn, kTee);
  EXPECT_GT(b.apex, a.apex * 1.3f);
  EXPECT_GT(b.carry, a.carry);
  EXPECT_NEAR(spun.position.x, 0.0f, 1e-3f);
  EXPECT_LT(drawn.position.x, -5.0f);  // a positive curve draws to the left of the line
}

TEST_F(FlatFairway, WindCarriesTheBall) {
  struct Case {
    int speed;
    uint16_t heading;
  } cases[] = {{0, 0}, {20, 0x8000}, {20, 0}, {20, 0x4000}};
  Flight f[4];
  BallState b[4];
  for (int i = 0; i < 4; ++i) {
    BallSetWind(cases[i].speed, cases[i].heading);
    launchMeasured(b[i], kTee, 60.0f, 14.0f, 5000.0f);
    f[i] = run(b[i], kTee);
  }
  BallSetWind(0, 0);
  EXPECT_EQ(BallWind().x, 0.0f);
  EXPECT_LT(f[1].carry, f[0].carry - 10.0f);  // into the wind
  EXPECT_GT(f[2].carry, f[0].carry + 10.0f);  // down wind
  EXPECT_GT(b[3].position.x, 5.0f);           // pushed across
  EXPECT_NEAR(b[0].position.x, 0.0f, 1e-3f);
}

struct Shot {
  const char* name;
  float yps, degrees, rpm, extraZ;
};
const Shot kShots[] = {
    {"drive", 75.0f, 11.0f, 2700.0f, 0.0f},   {"iron", 50.0f, 20.0f, 7000.0f, 0.0f},
    {"wedge", 40.0f, 28.0f, 9500.0f, 0.0f},   {"chip", 12.0f, 30.0f, 3000.0f, 0.0f},
    {"putt", 3.0f, 0.8f, 0.0f, 0.0f},         {"topped", 30.0f, -5.0f, 0.0f, 0.0f},
    {"extra down", 40.0f, 15.0f, 3000.0f, -400.0f}, {"extra up", 40.0f, 15.0f, 3000.0f, 500.0f},
    {"straight up", 30.0f, 89.0f, 3000.0f, 0.0f},
};

struct Lay {
  const char* name;
  uint8_t surface;
  float slope;
};
const Lay kLays[] = {{"fairway", 0x10, 0.0f}, {"green", 0x70, 0.0f},  {"sand", 0x20, 0.0f},
                     {"rough", 0x40, 0.0f},   {"plank", 0xA0, 0.0f}, {"uphill", 0x10, 0.08f},
                     {"downhill", 0x70, -0.04f}, {"steep", 0x10, -0.3f}};

// Every shot on every ground stops within the time limit, on or above the ground.
TEST(BallRest, EveryShotStopsOnOrAboveTheGround) {
  SurfaceTableReset();
  for (const Lay& lay : kLays) {
    ASSERT_TRUE(balltest::makeGround(60, 520, lay.surface, lay.slope));
    for (const Shot& s : kShots) {
      const float h = GetTerrainHeight(kTee.x, kTee.y);
      const Vector3 at{kTee.x, kTee.y, h};
      BallState b;
      launchMeasured(b, at, s.yps, s.degrees, s.rpm);
      b.spinExtra.z = s.extraZ;
      const int limit = static_cast<int>(kBallMaxShotSeconds / kBallStepSeconds) + 2;
      const Flight f = run(b, at, kBallStepSeconds, limit + 10);
      EXPECT_FALSE(BallIsMoving(&b)) << lay.name << " " << s.name;
      EXPECT_LE(f.steps, limit) << lay.name << " " << s.name;
      EXPECT_GE(f.lowest, -1e-4f) << lay.name << " " << s.name;
      EXPECT_TRUE(std::isfinite(b.position.x) && std::isfinite(b.position.y) && std::isfinite(b.position.z));
      EXPECT_EQ(length(b.velocity), 0.0f);
    }
    FreeHoleTerrain();
  }
}

TEST_F(Ground, WaterStopsTheBallAndIsReported) {
  balltest::band(-70.0f, 0.0f, 0x50);
  BallState b;
  launchMeasured(b, kTee, 60.0f, 14.0f, 5000.0f);  // lands in the band
  run(b, kTee);
  EXPECT_FALSE(BallIsMoving(&b));
  EXPECT_EQ(b.Flag(kBallFlagWater), 1);
  EXPECT_EQ(b.Flag(kBallFlagOverWater), 1);
  EXPECT_EQ(b.Flag(kBallFlagOutOfBounds), 0);
  EXPECT_EQ(b.restSurface & 0xF0, 0x50);
  EXPECT_GE(b.position.y, -70.0f);
  EXPECT_LT(b.position.y, 0.0f);
  EXPECT_EQ(b.position.z, GetTerrainHeight(b.position.x, b.position.y));

  // Flying over the water to dry ground is noted but is not a ball in the water.
  BallState over;
  launchMeasured(over, kTee, 75.0f, 11.0f, 2700.0f);
  run(over, kTee);
  EXPECT_EQ(over.Flag(kBallFlagWater), 0);
  EXPECT_EQ(over.Flag(kBallFlagOverWater), 1);
  EXPECT_GT(over.position.y, 0.0f);

  // A course's extra water code counts as water too.
  balltest::band(-70.0f, 0.0f, 0xC0);
  BallSetExtraWaterCodes(0xC0, 0xFF);
  BallState extra;
  launchMeasured(extra, kTee, 60.0f, 14.0f, 5000.0f);
  run(extra, kTee);
  BallSetExtraWaterCodes(0xFF, 0xFF);
  EXPECT_EQ(extra.Flag(kBallFlagWater), 1);
}

TEST_F(Ground, DamagedMotionEndsTheShot) {
  const float bad[] = {NAN, INFINITY, -INFINITY, 1e38f};
  for (float x : bad) {
    BallState b;
    launchMeasured(b, kTee, 40.0f, 20.0f, 5000.0f);
    BallStep(&b, 0.02f);
    b.velocity.y = x;
    b.spin.x = x;
    run(b, kTee);
    EXPECT_FALSE(BallIsMoving(&b)) << x;
    EXPECT_TRUE(std::isfinite(b.position.x) && std::isfinite(b.position.y) && std::isfinite(b.position.z)) << x;
  }
}

TEST_F(Ground, LeavingTheGroundIsOutOfBounds) {
  BallState b;
  launchMeasured(b, Vector3{0.0f, 200.0f, 0.0f}, 75.0f, 11.0f, 2700.0f);
  run(b, Vector3{0.0f, 200.0f, 0.0f});
  EXPECT_FALSE(BallIsMoving(&b));
  EXPECT_EQ(b.Flag(kBallFlagOutOfBounds), 1);
  EXPECT_EQ(b.Flag(kBallFlagWater), 0);
  EXPECT_EQ(b.restSurface, kSurfaceOutside);
  EXPECT_GE(b.position.z, kHeightOutside);
}

TEST_F(Ground, GroundFlagClearsInTheAirAndSetsAtTheLanding) {
  BallState b;
  launchMeasured(b, kTee, 40.0f, 25.0f, 6000.0f);
  EXPECT_EQ(b.Flag(kBallFlagGrounded), 1);
  BallStep(&b, kBallStepSeconds);
  EXPECT_EQ(b.Flag(kBallFlagGrounded), 0);
  int steps = 1;
  while (!b.Flag(kBallFlagGrounded) && steps < 10000) {
    EXPECT_FALSE(BallFirstContact(&b));
    BallStep(&b, kBallStepSeconds);
    ++steps;
  }
  EXPECT_TRUE(BallFirstContact(&b));
  EXPECT_EQ(b.Flag(kBallFlagStepCount), 1);
  EXPECT_NEAR(b.position.z, 0.0f, 1e-6f);
}

TEST_F(Ground, StepListHoldsOneEntryPerContactUpToTwenty) {
  SurfaceTable[1].c0 = 1.0f;  // a lively floor: many bounces
  SurfaceTable[1].c1 = 0.0f;
  BallState b;
  launchMeasured(b, kTee, 20.0f, 70.0f, 0.0f);
  run(b, kTee);
  const int count = b.Flag(kBallFlagStepCount);
  EXPECT_GT(count, 3);
  EXPECT_LE(count, kBallStepListSize);
  for (int i = 0; i < kBallStepListSize; ++i) EXPECT_EQ(b.stepList[i].key, i < count ? i : -1);
  for (int i = 1; i < count; ++i) EXPECT_GT(b.stepList[i].time, b.stepList[i - 1].time);
}

// Spin of a ball rolling along +y at the speed.
Vector3 naturalRoll(float speed) { return Vector3{-speed / (2.0f * 3.14159265f * kBallRadius), 0.0f, 0.0f}; }

TEST_F(Ground, GreenSpeed) {
  balltest::band(-250.0f, 250.0f, 0x70);
  BallState b;
  BallStateReset(&b);
  BallPlaceAt(&b, Vector3{0.0f, -100.0f, 0.0f});
  BallFlightStart(&b);
  const float release = 1.83f * 1.09361f;  // the stimpmeter's 1.83 m/s
  BallSetVelocity(&b, Vector3{0.0f, release, 0.0f});
  BallSetSpin(&b, naturalRoll(release));  // it leaves the ramp rolling
  run(b, Vector3{0.0f, -100.0f, 0.0f}, 0.01f);
  const float rolled = b.position.y + 100.0f;
  const float expected = release * release / (2.0f * 0.153f * 10.7247f);
  std::printf("stimpmeter roll on the default green: %.2f ft (expected %.2f ft)\n", rolled * 3.0f, expected * 3.0f);
  EXPECT_NEAR(rolled, expected, expected * 0.03f);
  EXPECT_EQ(b.lie, 7);
  EXPECT_TRUE(BallTouchedGreen(&b));
}

TEST_F(Ground, BackspinChecksOnTheGreen) {
  balltest::band(-250.0f, 250.0f, 0x70);
  BallState noSpin, spin;
  launchMeasured(noSpin, kTee, 36.0f, 26.0f, 0.0f);
  launchMeasured(spin, kTee, 36.0f, 26.0f, 9500.0f);
  const Flight a = run(noSpin, kTee), b = run(spin, kTee);
  EXPECT_LT(b.total - b.carry, (a.total - a.carry) * 0.5f);
}

TEST_F(Ground, SlowPuttDropsAndFastPuttRunsOver) {
  balltest::band(-250.0f, 250.0f, 0x70);
  BallSetCup(Vector3{0.0f, 0.0f, 0.0f});
  const Vector3 at{0.0f, -3.0f, 0.0f};
  struct Case {
    float speed;
    bool holed;
  } cases[] = {{3.4f, true}, {8.0f, false}, {2.0f, false}};
  for (const Case& c : cases) {
    BallState b;
    BallStateReset(&b);
    BallPlaceAt(&b, at);
    BallFlightStart(&b);
    BallSetVelocity(&b, Vector3{0.0f, c.speed, 0.0f});
    BallSetSpin(&b, naturalRoll(c.speed));
    run(b, at, 0.01f);
    EXPECT_EQ(b.Flag(kBallFlagHoled) != 0, c.holed) << c.speed;
    if (c.holed) {
      EXPECT_EQ(b.position.y, 0.0f);
    }
  }
}

// The mended fault: a spin force pointing down used to stop the rolling spin from wearing off and turned
// the roll resistance negative; the ball then never stopped.
TEST_F(Ground, RollingSpinAlwaysDecays) {
  for (float extraZ : {-400.0f, -10.0f, 0.0f, 10.0f, 400.0f}) {
    BallState b;
    BallStateReset(&b);
    BallPlaceAt(&b, kTee);
    BallFlightStart(&b);
    BallSetVelocity(&b, Vector3{0.0f, 5.0f, 0.0f});
    BallStep(&b, 0.02f);  // meets the ground and starts rolling
    ASSERT_EQ(b.Flag(kBallFlagRolling), 1);
    b.spinExtra.z = extraZ;
    b.spin = Vector3{40.0f, 0.0f, 0.0f};
    float last = length(b.spin);
    int steps = 0;
    while (BallIsMoving(&b) && steps < 10000) {
      BallStep(&b, 0.02f);
      ++steps;
      EXPECT_LE(length(b.spin), last);
      last = length(b.spin);
    }
    EXPECT_FALSE(BallIsMoving(&b)) << extraZ;
    EXPECT_LT(steps, 1000) << extraZ;
  }
}

// Networked machines compare positions exactly: the same shot gives the same bits, and a prediction run
// beside the live ball does not change it.
TEST_F(Ground, SameShotSameBitsWithPredictionsBeside) {
  playerInfo_s golfer;
  golfer.bag = 0x1FFFFF;
  golfer.SetClub(5);
  golfer.option1 = 0;  // a fast fairway: the drive rolls long enough for its resistance to grow
  ActiveGolferRecord = &golfer;
  BallState ref;
  launchMeasured(ref, kTee, 70.0f, 12.0f, 3000.0f, 10.0f);
  const Flight first = run(ref, kTee);
  ASSERT_GT(ref.flightTime - ref.rollStartTime, 6.0f);

  BallState live;
  launchMeasured(live, kTee, 70.0f, 12.0f, 3000.0f, 10.0f);
  BallState shadow = live;  // a copy stepped beside it
  BallState other;
  BallStateReset(&other);
  BallPlaceAt(&other, Vector3{0.0f, 50.0f, 0.0f});
  other.lie = 1;
  ShotAimPoint = Vector3{0.0f, 200.0f, 0.0f};
  for (size_t i = 0; i < first.path.size(); ++i) {
    ASSERT_TRUE(BallIsMoving(&live));
    BallStep(&live, kBallStepSeconds);
    BallStep(&shadow, kBallStepSeconds);
    if (i % 37 == 0) PredictShot(1.0f, 0.0f, 0.0f, &other);  // rolls a ball of its own
    ASSERT_EQ(0, std::memcmp(&live.position, &first.path[i], sizeof(Vector3))) << "step " << i;
    ASSERT_EQ(0, std::memcmp(&shadow.position, &first.path[i], sizeof(Vector3))) << "step " << i;
  }
  EXPECT_FALSE(BallIsMoving(&live));
  EXPECT_EQ(live.rollStartTime, ref.rollStartTime);
}

std::vector<uint32_t> g_times;
std::vector<Vector3> g_positions;
int g_free = 0, g_start = 0, g_stop = 0;
uint32_t g_stopTime = 0;

TEST_F(Ground, LiveShotIsRecordedOneFrameAStep) {
  BallReplaySink sink;
  sink.freeBuffer = [] { ++g_free; };
  sink.startRecording = [](uint32_t t) { g_start += t == 0 ? 1 : 100; };
  sink.appendFrame = [](uint32_t t, const Vector3* p, const BallEventRecord* e, const Vector3* m) {
    ASSERT_TRUE(e && m);
    g_times.push_back(t);
    g_positions.push_back(*p);
  };
  sink.stopRecording = [](uint32_t t) {
    ++g_stop;
    g_stopTime = t;
  };
  BallSetReplaySink(sink);
  BallState b;
  launchMeasured(b, kTee, 40.0f, 20.0f, 6000.0f);
  const int steps = BallRunShot(&b, kBallStepSeconds, true);
  EXPECT_EQ(g_free, 1);
  EXPECT_EQ(g_start, 1);
  EXPECT_EQ(g_stop, 1);
  ASSERT_EQ(static_cast<int>(g_times.size()), steps);
  EXPECT_EQ(g_times.back(), g_stopTime);
  EXPECT_EQ(0, std::memcmp(&g_positions.back(), &b.position, sizeof(Vector3)));
  for (size_t i = 1; i < g_times.size(); ++i) EXPECT_GT(g_times[i], g_times[i - 1]);

  // A long shot keeps at most 1000 frames, the last one the resting ball; a prediction records nothing.
  g_times.clear();
  g_positions.clear();
  BallState slow;
  launchMeasured(slow, kTee, 75.0f, 11.0f, 2700.0f);
  EXPECT_GT(BallRunShot(&slow, 0.005f, true), kReplayFrameLimit);
  EXPECT_EQ(g_times.size(), static_cast<size_t>(kReplayFrameLimit));
  EXPECT_EQ(0, std::memcmp(&g_positions.back(), &slow.position, sizeof(Vector3)));
  g_times.clear();
  BallState quiet;
  launchMeasured(quiet, kTee, 40.0f, 20.0f, 6000.0f);
  BallRunShot(&quiet, kBallStepSeconds, false);
  EXPECT_TRUE(g_times.empty());
  BallSetReplaySink(BallReplaySink{});
}

}  // namespace

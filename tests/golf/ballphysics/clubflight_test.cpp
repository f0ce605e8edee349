// The clubs' full shots against the flight: the validation table, with measured tour shots beside it for
// reference, and the flight step's position update and in-flight spin decay.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "support/ground.h"
#include "golf/ballflight.h"
#include "golf/ballmath.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/surfaces.h"

namespace {

using namespace ballmath;

constexpr float kDeg = 3.14159265f / 180.0f;
const Vector3 kTee{0.0f, -240.0f, 0.0f};

struct Shot {
  float carry = 0.0f, apex = 0.0f, landing = 0.0f, total = 0.0f;
};

class ClubFlight : public ::testing::Test {
 protected:
  playerInfo_s golfer;
  void SetUp() override {
    SurfaceTableReset();
    BallClearCup();
    ShotMeter = ShotMeterValues{};
    golfer.bag = 0x1FFFFF;
    ActiveGolferRecord = &golfer;
  }
  void TearDown() override {
    FreeHoleTerrain();
    ActiveGolferRecord = nullptr;
  }
  // The club's shot from the tee toward +y on flat ground of the surface: power 0 asks for the aim's distance.
  Shot Hit(int club, uint8_t surface, float power, float aimDistance = 200.0f) {
    EXPECT_TRUE(balltest::makeGround(60, 520, surface));
    golfer.SetClub(club);
    BallState b;
    BallStateReset(&b);
    BallPlaceAt(&b, kTee);
    b.lie = 1;
    ShotAimPoint = Vector3{kTee.x, kTee.y + aimDistance, 0.0f};
    BallLaunch(&b, 0, 0, 0, power);
    BallFlightStart(&b);
    Shot s;
    Vector3 before{};
    bool landed = false;
    for (int n = 0; BallIsMoving(&b) && n < 100000; ++n) {
      const Vector3 v = b.velocity;
      BallStep(&b, kBallStepSeconds);
      s.apex = std::max(s.apex, b.position.z);
      if (!landed && BallFirstContact(&b)) {
        landed = true;
        before = v;
        s.carry = length(sub(b.stepList[0].position, kTee));
      }
    }
    s.landing = std::atan2(-before.z, std::hypot(before.x, before.y)) / kDeg;
    s.total = length(sub(b.position, kTee));
    return s;
  }
};

// Full power on flat fairway in still air. Measured tour shots for reference (carry, apex, landing angle):
// driver 275 yd, 32 yd, 38 deg; 7-iron 172 yd, 32 yd, 50 deg; pitching wedge 136 yd, 29 yd, 52 deg. The
// flight's drag is lower than the air's, so the game's clubs land flatter than those at the same apex.
TEST_F(ClubFlight, ValidationTable) {
  struct Row {
    int club;
    float landingAtLeast;
  } rows[20] = {{0, 27.0f},  {1, 27.0f},  {2, 27.0f},  {3, 27.0f},  {4, 30.0f},  {5, 30.0f},  {6, 30.0f},
                {7, 33.0f},  {8, 35.0f},  {9, 35.0f},  {10, 35.0f}, {11, 35.0f}, {12, 35.0f}, {13, 35.0f},
                {14, 40.0f}, {15, 41.0f}, {16, 42.0f}, {17, 42.0f}, {18, 42.0f}, {19, 42.0f}};
  float lastCarry = 1e9f;
  std::printf("club reach  carry   apex  landing  roll  green-stop  half-aim\n");
  for (const Row& r : rows) {
    const float reach = static_cast<float>(GetClubLaunchData(r.club, 0).reach);
    const Shot full = Hit(r.club, 0x10, 1.0f);
    const Shot green = Hit(r.club, 0x70, 1.0f);
    const Shot half = Hit(r.club, 0x10, 0.0f, reach * 0.5f);
    std::printf("%4d %5.0f %6.1f %6.1f %8.1f %5.1f %11.1f %9.2f\n", r.club, reach, full.carry, full.apex,
                full.landing, full.total - full.carry, green.total - green.carry, half.carry / reach);
    EXPECT_LT(full.carry, lastCarry) << r.club;
    lastCarry = full.carry;
    EXPECT_NEAR(full.carry, reach, reach * 0.03f) << r.club;
    EXPECT_GE(full.apex, 22.0f) << r.club;
    EXPECT_LE(full.apex, 35.0f) << r.club;
    EXPECT_GE(full.landing, r.landingAtLeast) << r.club;
    EXPECT_GT(full.total, full.carry - 4.0f) << r.club;
    EXPECT_GE(half.carry, reach * 0.45f) << r.club;
    EXPECT_LE(half.carry, reach * 0.55f) << r.club;
    // The wedges stop by their pitch marks on the green.
    if (r.club >= 16) {
      EXPECT_LE(std::fabs(green.total - green.carry), 6.0f) << r.club;
    }
  }
}

// A step in the air: velocity from gravity and drag, then the position moved by the new velocity.
TEST_F(ClubFlight, AirStepMovesByTheNewVelocity) {
  ASSERT_TRUE(balltest::makeGround(60, 520, 0x10));
  BallState b;
  BallStateReset(&b);
  BallPlaceAt(&b, Vector3{0.0f, 0.0f, 40.0f});
  b.lie = 1;
  BallLaunchVector(&b, Vector3{0.0f, 1.0f, 0.0f}, 50.0f, 20.0f * kDeg, 0.0f, 0.0f);
  BallFlightStart(&b);
  const Vector3 p = b.position, v = b.velocity;
  const float dt = kBallStepSeconds;
  BallStep(&b, dt);
  const float k = b.spinDecayFactor * kInvBallMass;
  const Vector3 a = sub(b.gravity, scale(v, k * length(v)));
  const Vector3 vNew = add(v, scale(a, dt));
  EXPECT_NEAR(b.velocity.y, vNew.y, 1e-4f);
  EXPECT_NEAR(b.velocity.z, vNew.z, 1e-4f);
  EXPECT_FLOAT_EQ(b.position.y, p.y + b.velocity.y * dt);
  EXPECT_FLOAT_EQ(b.position.z, p.z + b.velocity.z * dt);
  EXPECT_NE(b.position.z, p.z + v.z * dt);  // not the old velocity
}

// In the air spin wears off in proportion to the speed and the step, keeping its axis; a spin below one turn
// a second stops.
TEST_F(ClubFlight, InFlightSpinDecaysWithSpeed) {
  ASSERT_TRUE(balltest::makeGround(60, 520, 0x10));
  float lost[2] = {};
  Vector3 axis[2] = {};
  for (int k = 0; k < 2; ++k) {
    BallState b;
    BallStateReset(&b);
    BallPlaceAt(&b, Vector3{0.0f, 0.0f, 40.0f});
    b.lie = 1;
    BallLaunchVector(&b, Vector3{0.0f, 1.0f, 0.0f}, 30.0f * static_cast<float>(k + 1), 10.0f * kDeg, 100.0f, 20.0f);
    BallFlightStart(&b);
    const float before = length(b.spin);
    const Vector3 dir = unit(b.spin);
    BallStep(&b, kBallStepSeconds);
    lost[k] = before - length(b.spin);
    const float speed = 30.0f * static_cast<float>(k + 1);
    EXPECT_NEAR(lost[k], speed * kInvRollRadius * kInvBallMass * b.spinDecayFactor * kBallStepSeconds, 1e-4f);
    axis[k] = unit(b.spin);
    EXPECT_NEAR(dot(axis[k], dir), 1.0f, 1e-5f);
    EXPECT_GT(lost[k], 0.0f);
  }
  EXPECT_NEAR(lost[1], 2.0f * lost[0], 2e-4f);
  BallState slow;
  BallStateReset(&slow);
  BallPlaceAt(&slow, Vector3{0.0f, 0.0f, 40.0f});
  slow.lie = 1;
  BallLaunchVector(&slow, Vector3{0.0f, 1.0f, 0.0f}, 60.0f, 10.0f * kDeg, 1.0f + lost[0], 0.0f);  // loses twice lost[0] at 60 yd/s
  BallFlightStart(&slow);
  BallStep(&slow, kBallStepSeconds);
  EXPECT_EQ(length(slow.spin), 0.0f);
}

}  // namespace

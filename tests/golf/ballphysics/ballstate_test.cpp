#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/ground.h"
#include "golf/ballflight.h"
#include "golf/ballstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"

namespace {

constexpr float kExpectedHalfRhoArea = 1.2f / (1.09f * 1.09f * 1.09f) * 0.5f * 0.00171f;

bool same(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

class BallStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(balltest::makeGround(20, 20, 0x30));
    BallStateReset(&b);
  }
  void TearDown() override { FreeHoleTerrain(); }
  BallState b;
};

TEST_F(BallStateTest, ResetGivesRestingBallWithEmptyStepList) {
  b.velocity = Vector3{1, 2, 3};
  b.spin = Vector3{4, 5, 6};
  b.position = Vector3{7, 8, 9};
  b.Flag(kBallFlagMoving) = 1;
  b.Flag(kBallFlagStepCount) = 3;
  b.stepList[0].key = 0;
  BallStateReset(&b);
  EXPECT_TRUE(same(b.velocity, Vector3{}));
  EXPECT_TRUE(same(b.spin, Vector3{}));
  for (const Vector3* p : {&b.position, &b.positionPrev, &b.positionStep, &b.positionLast}) EXPECT_TRUE(same(*p, Vector3{}));
  EXPECT_TRUE(same(b.gravity, Vector3{0.0f, 0.0f, -10.7247f}));
  EXPECT_EQ(b.Flag(kBallFlagStepCount), 0);
  for (const auto& e : b.stepList) EXPECT_EQ(e.key, -1);
  for (int n = 1; n <= kBallFlagCount; ++n) EXPECT_EQ(b.Flag(n), n == kBallFlagGrounded ? 1 : 0) << "flag " << n;
  EXPECT_FLOAT_EQ(b.nearestContact, 100000.0f);
  EXPECT_FLOAT_EQ(b.airDensity, 1.2f / (1.09f * 1.09f * 1.09f));
  EXPECT_FLOAT_EQ(b.spinDecayFactor, kExpectedHalfRhoArea * 0.1f);
  EXPECT_FLOAT_EQ(b.aeroFactor, kExpectedHalfRhoArea * 7.5f);
}

// A new record, and the ball of a new or reset golfer record, is a reset ball.
TEST_F(BallStateTest, NewRecordIsAResetOne) {
  playerInfo_s golfer;
  golfer.ball.position = Vector3{5, 5, 5};
  golfer.ball.Flag(kBallFlagMoving) = 1;
  playerInfo_s copy(golfer);
  EXPECT_TRUE(same(copy.ball.position, Vector3{5, 5, 5}));
  golfer.Reset();
  BallState fresh;
  for (const BallState* n : {&fresh, &golfer.ball, &golfer.ballBeforeShot}) {
    const BallEventRecord a = BallGetEventRecord(n), r = BallGetEventRecord(&b);
    EXPECT_EQ(0, std::memcmp(a.bytes, r.bytes, sizeof a.bytes));
    EXPECT_TRUE(same(n->gravity, b.gravity));
    EXPECT_TRUE(same(n->position, Vector3{}));
    EXPECT_EQ(n->airDensity, b.airDensity);
    EXPECT_EQ(n->spinDecayFactor, b.spinDecayFactor);
    EXPECT_EQ(n->aeroFactor, b.aeroFactor);
    EXPECT_EQ(n->nearestContact, b.nearestContact);
    for (const auto& e : n->stepList) EXPECT_EQ(e.key, -1);
  }
}

TEST(BallLift, CoefficientFromSpinRate) {
  struct Case {
    float rate, expected;
  } cases[] = {
      {-5.0f, 0.0f}, {0.0f, 0.0f}, {10.0f, 0.033f}, {16.67f, 0.055f}, {16.6699f, 16.6699f * 0.0033f},
      {50.0f, ((50.0f - 16.67f) * 0.00086f + 0.05f) * 1.1f},
  };
  for (const Case& c : cases) EXPECT_NEAR(BallLiftCoefficient(c.rate), c.expected, 1e-6f) << c.rate;
  // The two branches of the curve meet at 16.67.
  EXPECT_NEAR(BallLiftCoefficient(16.669f), 0.055f, 2e-5f);
  EXPECT_NEAR(BallLiftCoefficient(16.67f), 0.055f, 1e-6f);
}

TEST_F(BallStateTest, SetSpinChangesLiftFactorAndSetVelocityDoesNot) {
  const Vector3 s{0.0f, 16.67f, 0.0f};
  EXPECT_TRUE(same(BallSetSpin(&b, s), Vector3{}));
  EXPECT_NEAR(b.liftCoefficient, 0.055f, 1e-6f);
  EXPECT_FLOAT_EQ(b.liftFactor, kExpectedHalfRhoArea * b.liftCoefficient);
  const float lift = b.liftFactor;
  EXPECT_TRUE(same(BallSetVelocity(&b, Vector3{0, 50, 10}), Vector3{}));
  EXPECT_EQ(b.liftFactor, lift);
  EXPECT_TRUE(same(BallSetVelocity(&b, Vector3{1, 1, 1}), Vector3{0, 50, 10}));
  EXPECT_TRUE(same(BallSetSpin(&b, Vector3{}), s));
  EXPECT_EQ(b.liftFactor, 0.0f);
}

TEST_F(BallStateTest, PlaceAtSetsRestingFlags) {
  b.Flag(2) = b.Flag(12) = b.Flag(13) = 1;
  b.velocity = Vector3{3, 3, 3};
  b.spin = Vector3{30, 0, 0};
  b.Flag(kBallFlagStepCount) = 2;
  b.stepList[1].key = 1;
  b.nearestContact = 1.0f;
  b.Flag(kBallFlagMoving) = 1;
  BallSetPosition(&b, Vector3{1, 1, 0});
  const Vector3 at{2.5f, -3.5f, 0.0f};
  EXPECT_TRUE(same(BallPlaceAt(&b, at), Vector3{1, 1, 0}));
  EXPECT_EQ(b.lie, 7);
  EXPECT_EQ(b.Flag(3), 1);
  EXPECT_EQ(b.Flag(4), 1);
  EXPECT_EQ(b.Flag(2), 0);
  EXPECT_EQ(b.Flag(12), 0);
  EXPECT_EQ(b.Flag(13), 0);
  EXPECT_EQ(b.Flag(kBallFlagMoving), 0);
  EXPECT_EQ(b.Flag(kBallFlagStepCount), 0);
  EXPECT_EQ(b.stepList[1].key, -1);
  EXPECT_FLOAT_EQ(b.nearestContact, 100000.0f);
  EXPECT_TRUE(same(b.velocity, Vector3{}));
  EXPECT_TRUE(same(b.spin, Vector3{}));
  EXPECT_TRUE(same(b.startPosition, at));
  EXPECT_TRUE(same(b.positionLast, at));
}

TEST_F(BallStateTest, SetPositionTakesLieFromTerrain) {
  b.Flag(15) = 1;
  BallSetPosition(&b, Vector3{0.5f, 0.5f, 0.0f});
  EXPECT_EQ(b.lie, 3);
  EXPECT_EQ(b.Flag(15), 0);
  EXPECT_TRUE(same(b.positionPrev, Vector3{0.5f, 0.5f, 0.0f}));
  BallSetPosition(&b, Vector3{500.0f, 0.0f, 0.0f});
  EXPECT_EQ(b.lie, 9);  // outside the grid
}

TEST_F(BallStateTest, FlightStartArmsTheShot) {
  ShotAimPoint = Vector3{0.0f, 8.0f, 0.0f};
  BallPlaceAt(&b, Vector3{0.0f, -5.0f, 0.0f});
  b.Flag(12) = 1;
  b.Flag(kBallFlagTouchedGreen) = 1;
  b.flightTime = 3.0f;
  BallFlightStart(&b);
  EXPECT_TRUE(BallIsMoving(&b));
  EXPECT_EQ(b.Flag(13), 1);
  EXPECT_EQ(b.Flag(12), 0);
  EXPECT_FALSE(BallTouchedGreen(&b));
  EXPECT_EQ(b.flightTime, 0.0f);
  EXPECT_TRUE(same(b.target, ShotAimPoint));
  EXPECT_TRUE(same(b.startPosition, Vector3{0.0f, -5.0f, 0.0f}));
  EXPECT_EQ(b.lie, 3);
  EXPECT_EQ(b.Flag(kBallFlagGrounded), 1);
}

TEST_F(BallStateTest, EventRecordIsLieThenFlags) {
  b.lie = 11;
  for (int n = 1; n <= kBallFlagCount; ++n) b.Flag(n) = static_cast<uint8_t>(n * 3);
  const BallEventRecord e = BallGetEventRecord(&b);
  EXPECT_EQ(e.bytes[0], 11);
  for (int n = 1; n <= kBallFlagCount; ++n) EXPECT_EQ(e.bytes[n], n * 3);
  BallState other;
  BallStateReset(&other);
  BallSetEventRecord(&other, e);
  for (int n = 0; n <= kBallFlagCount; ++n) EXPECT_EQ(other.Flag(n), b.Flag(n));
}

TEST_F(BallStateTest, CopyCarriesMotionAndStepList) {
  b.position = Vector3{1, 2, 3};
  b.velocity = Vector3{4, 5, 6};
  b.stepList[0].key = 0;
  b.Flag(kBallFlagStepCount) = 1;
  b.rollStartTime = 2.5f;
  BallState c;
  BallStateReset(&c);
  BallStateCopy(&c, &b);
  EXPECT_TRUE(same(c.position, b.position));
  EXPECT_TRUE(same(c.velocity, b.velocity));
  EXPECT_EQ(c.stepList[0].key, 0);
  EXPECT_EQ(c.Flag(kBallFlagStepCount), 1);
  EXPECT_EQ(c.rollStartTime, 2.5f);
}

TEST_F(BallStateTest, SpinThatDecaysBelowOneStopsInOneStep) {
  BallPlaceAt(&b, Vector3{0.0f, 0.0f, 0.0f});
  b.position.z = 50.0f;
  BallFlightStart(&b);
  b.position.z = 50.0f;
  BallSetVelocity(&b, Vector3{0.0f, 80.0f, 0.0f});
  BallSetSpin(&b, Vector3{1.01f, 0.0f, 0.0f});
  BallStep(&b, 0.02f);
  EXPECT_TRUE(same(b.spin, Vector3{}));
  // A larger spin keeps its direction while it shrinks.
  BallSetSpin(&b, Vector3{30.0f, 0.0f, 40.0f});
  BallStep(&b, 0.02f);
  EXPECT_LT(b.spin.x, 30.0f);
  EXPECT_NEAR(b.spin.z / b.spin.x, 40.0f / 30.0f, 1e-5f);
}

}  // namespace

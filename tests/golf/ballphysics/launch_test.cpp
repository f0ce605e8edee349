#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/ground.h"
#include "golf/ballflight.h"
#include "golf/ballmath.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "golf/surfaces.h"

namespace {

using namespace ballmath;

constexpr float kPi = 3.14159265f;

uint32_t g_randoms[2];
int g_randomAt = 0;
uint32_t fixedRandom() { return g_randoms[g_randomAt++ % 2]; }

class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    SurfaceTableReset();
    BallClearCup();
    ShotMeter = ShotMeterValues{};
    GuideSwitch = ComputerChoiceSwitch = false;
    golfer.bag = 0x1FFFFF;
    golfer.SetClub(0);
    ActiveGolferRecord = &golfer;
    ASSERT_TRUE(balltest::makeGround(60, 520, 0x10));
    BallStateReset(&ball);
    BallPlaceAt(&ball, Vector3{0.0f, -200.0f, 0.0f});
    ball.lie = 1;
    ShotAimPoint = Vector3{0.0f, 50.0f, 0.0f};
  }
  void TearDown() override {
    FreeHoleTerrain();
    ActiveGolferRecord = nullptr;
    SetRandom31Source(nullptr);
    GuideSwitch = ComputerChoiceSwitch = false;
  }
  float launchAngle() const {
    const Vector3 v = ball.velocity;
    return std::atan2(v.z, std::sqrt(v.x * v.x + v.y * v.y));
  }
  playerInfo_s golfer;
  BallState ball;
};

TEST_F(Launch, ClubTableFindByLie) {
  struct Case {
    uint8_t surface, detail;
    float speedFactor, surfaceFactor;
  } cases[] = {{0x20, 1, 0.6f, 1.2f}, {0x2F, 5, 0.8f, 1.1f}, {0x10, 0, 1.0f, 1.0f}, {0xD0, 0, 0.95f, 1.0f},
               {0x40, 3, 0.75f, 0.8f}};
  for (const Case& c : cases) {
    const LieLaunchRecord* r = ClubTableFind(c.surface, c.detail);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->speedFactor, c.speedFactor) << int(c.surface);
    EXPECT_EQ(r->surfaceFactor, c.surfaceFactor) << int(c.surface);
  }
}

TEST_F(Launch, AimDeviationFromTheLiesSpread) {
  SetRandom31Source(fixedRandom);
  g_randoms[0] = 1000;
  g_randoms[1] = 37;
  struct Case {
    uint8_t surface;
    uint8_t roughSetting;
    bool guide, computer;
    float expected;
  } cases[] = {
      {0x10, 0, false, false, (1000 % 15 + 37 % 15 - 15) * 2.0f * kPi / 36000.0f},  // spread 0.3
      {0x30, 0, false, false, (1000 % 50 + 37 % 50 - 50) * 2.0f * kPi / 36000.0f},  // spread 1.0
      {0x30, 1, false, false, (1000 % 50 + 37 % 50 - 50) * 2.0f * kPi / 36000.0f * 1.5f},
      {0x10, 1, false, false, (1000 % 15 + 37 % 15 - 15) * 2.0f * kPi / 36000.0f},
      {0x30, 1, true, false, 0.0f},
      {0x30, 1, false, true, 0.0f},
  };
  for (const Case& c : cases) {
    golfer.option3 = c.roughSetting;
    GuideSwitch = c.guide;
    ComputerChoiceSwitch = c.computer;
    g_randomAt = 0;
    float deviation = 0.25f;
    float curve = 20.0f, trajectory = 10.0f;
    BallClubLaunchParams(c.surface, 0, 5, 1.0f, &curve, &trajectory, &deviation, nullptr, nullptr, nullptr, nullptr,
                         nullptr);
    EXPECT_FLOAT_EQ(deviation, 0.25f + c.expected) << int(c.surface);
    const LieLaunchRecord* r = ClubTableFind(c.surface, 0);
    EXPECT_FLOAT_EQ(curve, 20.0f * r->curveFactor);
    EXPECT_FLOAT_EQ(trajectory, 10.0f * r->trajectoryFactor);
  }
}

TEST_F(Launch, FullDriverLeavesAtTheClubsSpeedAndAngle) {
  BallLaunch(&ball, 0, 0, 0, 1.0f);
  EXPECT_FLOAT_EQ(BallLaunchSpeed, 63.35f);
  EXPECT_FLOAT_EQ(length(ball.velocity), 63.35f);
  EXPECT_NEAR(launchAngle(), 19.2f * kPi / 180.0f, 1e-5f);
  EXPECT_NEAR(ball.velocity.x, 0.0f, 1e-5f);
  EXPECT_GT(ball.velocity.y, 0.0f);
  EXPECT_FLOAT_EQ(AimDistance, 250.0f);
  EXPECT_EQ(ShotTargetPoint.y, 50.0f);
  EXPECT_FLOAT_EQ(ball.spin.x, 2900.0f / 60.0f);  // backspin about +x for a ball flying along +y
  EXPECT_EQ(ball.spin.z, 0.0f);
  EXPECT_GT(ball.liftFactor, 0.0f);
}

TEST_F(Launch, PowerChoices) {
  struct Case {
    int realSwing;
    float power, meterPower, aimY;
    uint8_t setting;
    float expectedSpeed;
  } cases[] = {
      {0, 0.0f, 1.0f, -100.0f, 0, 63.35f * std::sqrt(100.0f / 250.0f)},  // carries to the aim
      {0, 0.0f, 1.0f, 200.0f, 0, 63.35f},                                // beyond the reach: full
      {0, 0.5f, 1.0f, 50.0f, 0, 63.35f * 0.5f},
      {1, 0.9f, 0.7f, 50.0f, 0, 63.35f * 0.7f},                          // the swing's power wins
      {0, 1.0f, 1.0f, 50.0f, 2, 63.35f * 0.89f},
      {0, 0.0f, 1.0f, 25.0f, 1, 63.35f * 0.94f * std::sqrt(225.0f / 225.0f)},
  };
  for (const Case& c : cases) {
    golfer.levelPreset = c.setting;
    ShotMeter.finalPower = c.meterPower;
    ShotAimPoint = Vector3{0.0f, c.aimY, 0.0f};
    BallLaunch(&ball, 0, c.realSwing, 0, c.power);
    EXPECT_NEAR(BallLaunchSpeed, c.expectedSpeed, 1e-3f) << c.aimY << " " << c.power;
  }
}

TEST_F(Launch, CurveTiltsTheSpinAxis) {
  ShotMeter.finalCurve = 25.0f;
  BallLaunch(&ball, 0, 1, 0, 0.0f);
  EXPECT_GT(ball.spin.z, 0.0f);
  ShotMeter.finalCurve = -25.0f;
  BallLaunch(&ball, 0, 1, 0, 0.0f);
  EXPECT_LT(ball.spin.z, 0.0f);
  BallLaunch(&ball, 0, 0, 0, 1.0f);  // no swing: no curve
  EXPECT_EQ(ball.spin.z, 0.0f);
}

TEST_F(Launch, AutoClubChoosesTheShortestClubThatReaches) {
  struct Case {
    float aimDistance;
    uint32_t bag;
    uint32_t shotType;
    int club;
  } cases[] = {
      {150.0f, 0x1FFFFF, 0, 12}, {147.0f, 0x1FFFFF, 0, 13}, {250.04f, 0x1FFFFF, 0, 0}, {400.0f, 0x1FFFFF, 0, 0},
      {150.0f, 0x100000, 0, 20}, {150.0f, 0x1FFFFF, 7, 20},  {20.0f, 0x1FFFFF, 0, 19},
  };
  for (const Case& c : cases) {
    golfer.bag = c.bag;
    golfer.shotType = c.shotType;
    ShotAimPoint = Vector3{0.0f, -200.0f + c.aimDistance, 0.0f};
    BallLaunch(&ball, 1, 0, 0, 0.0f);
    EXPECT_EQ(golfer.currentClub, c.club) << c.aimDistance;
    golfer.shotType = 0;
    golfer.SetClub(0);
  }
}

TEST_F(Launch, PuttRollsFromTheFaceAtThePuttingSpeed) {
  golfer.SetClub(20);
  ShotAimPoint = Vector3{0.0f, -194.0f, 0.0f};  // 6 yards: 18 feet, the 20-foot row
  BallLaunch(&ball, 0, 0, 0, 0.0f);
  EXPECT_NEAR(BallLaunchSpeed, 4.66f * std::sqrt(6.0f / (20.0f / 3.0f)), 1e-4f);
  EXPECT_LT(ball.spin.x, 0.0f);  // topspin: the ball rolls
  const float horizontal = std::sqrt(ball.velocity.x * ball.velocity.x + ball.velocity.y * ball.velocity.y);
  EXPECT_NEAR(-ball.spin.x * 2.0f * kPi * kBallRadius, horizontal, 1e-3f);
}

TEST(LaunchAngles, Helpers) {
  const Vector3 north = AimDirectionFromAngle(0);
  EXPECT_NEAR(north.y, 1.0f, 1e-6f);
  EXPECT_NEAR(north.x, 0.0f, 1e-6f);
  const Vector3 east = AimDirectionFromAngle(0x4000);
  EXPECT_NEAR(east.x, 1.0f, 1e-6f);
  EXPECT_NEAR(east.y, 0.0f, 1e-6f);
  EXPECT_NEAR(NormalizeAngle(-0.5f), 2.0f * kPi - 0.5f, 1e-5f);
  EXPECT_NEAR(NormalizeAngle(7.0f), 7.0f - 2.0f * kPi, 1e-5f);
  EXPECT_NEAR(NormalizeAngle(1.0f), 1.0f, 1e-6f);
}

using Predict = Launch;

TEST_F(Predict, NoBallNoPrediction) {
  ShotPrediction.result = 7;
  EXPECT_EQ(PredictShot(1.0f, 0.0f, 0.0f, nullptr), 0);
  EXPECT_EQ(ShotPrediction.result, 7);
}

TEST_F(Predict, LeavesTheLiveBallAndTheShotInHandAlone) {
  BallLaunch(&ball, 0, 0, 0, 0.8f);
  ShotMeter.finalPower = 0.8f;
  ShotMeter.finalCurve = 3.0f;
  const BallState before = ball;
  const float speed = BallLaunchSpeed, aim = AimDistance;
  const ShotMeterValues meter = ShotMeter;
  PredictShot(1.0f, -10.0f, 5.0f, &ball);
  EXPECT_EQ(0, std::memcmp(&before, &ball, sizeof ball));
  EXPECT_EQ(BallLaunchSpeed, speed);
  EXPECT_EQ(AimDistance, aim);
  EXPECT_EQ(ShotMeter.finalPower, meter.finalPower);
  EXPECT_EQ(ShotMeter.finalCurve, meter.finalCurve);
}

TEST_F(Predict, EndsWhereTheLiveShotEnds) {
  PredictShot(0.9f, 0.0f, 0.0f, &ball);
  ShotMeter.finalPower = 0.9f;
  BallLaunch(&ball, 0, 1, 0, 0.0f);
  BallFlightStart(&ball);
  BallRunShot(&ball, kPredictStepSeconds, false);
  EXPECT_EQ(0, std::memcmp(&ShotPrediction.finalPosition, &ball.position, sizeof(Vector3)));
  EXPECT_EQ(ShotPrediction.finalSurface, ball.restSurface);
}

TEST_F(Predict, WaterInPlayRaisesTheRisk) {
  golfer.SetClub(12);  // 6-iron: group 0
  ShotAimPoint = Vector3{0.0f, -100.0f, 0.0f};
  balltest::band(-120.0f, 250.0f, 0x70);
  const int dry = PredictShot(1.0f, 0.0f, 0.0f, &ball);
  EXPECT_EQ(ShotPrediction.waterInPlay, 0);
  EXPECT_EQ(dry, 1);

  balltest::band(-160.0f, -140.0f, 0x50);  // a brook the flight crosses
  const int over = PredictShot(1.0f, 0.0f, 0.0f, &ball);
  EXPECT_EQ(ShotPrediction.waterInPlay, 1);
  EXPECT_EQ(over, 3);

  balltest::band(-120.0f, 250.0f, 0x50);  // the green is now a lake
  const int wet = PredictShot(1.0f, 0.0f, 0.0f, &ball);
  EXPECT_EQ(ShotPrediction.waterInPlay, 1);
  EXPECT_EQ(wet, 12);
  EXPECT_EQ(ShotRiskValue, wet);
  golfer.SetClub(16);  // group -2, and never below 1
  balltest::band(-200.0f, 250.0f, 0x70);
  EXPECT_EQ(PredictShot(1.0f, 0.0f, 0.0f, &ball), 1);
}

}  // namespace

TEST(ClubCaptions, ShaftScalingRoundingAndTheClubRecord) {
  struct Case { int distance, shaft, expect; } shafts[] = {{185, 1, 166}, {185, 2, 148}, {185, 3, 185}, {185, 0, 185}};
  for (const Case& c : shafts) EXPECT_EQ(ScaleClubDistance(c.distance, c.shaft), c.expect) << c.shaft;
  struct Round { int in, out; } rounds[] = {{150, 150}, {151, 150}, {152, 150}, {153, 155}, {154, 155},
                                           {156, 155}, {158, 160}, {159, 160}, {0, 0}};
  for (const Round& r : rounds) EXPECT_EQ(RoundYardage(r.in), r.out) << r.in;
  playerInfo_s golfer;
  golfer.clubs[0].percent = 90;
  ActiveGolferRecord = &golfer;
  EXPECT_EQ(GetClubRecord(0, 0, false).reach, 225);
  EXPECT_EQ(GetClubRecord(0, 0, true).reach, 250);
  ActiveGolferRecord = nullptr;
  EXPECT_EQ(GetClubRecord(0, 0, false).reach, 250);
}

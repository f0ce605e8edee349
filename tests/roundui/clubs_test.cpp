// Club records: sets by shot type, scaled lookups, distances, launch speed and angle, club choice.
#include <gtest/gtest.h>

#include <cmath>

#include "golf/ballstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "roundui/clubs.h"

namespace {

class ClubsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    golfer_.bag = 0x1FFFFF;
    golfer_.levelPreset = 0;
    ActiveGolferRecord = &golfer_;
    ShotMeter = ShotMeterValues{};
    AimDistance = 0.0f;
  }
  void TearDown() override { ActiveGolferRecord = nullptr; }
  playerInfo_s golfer_;
};

TEST_F(ClubsTest, RecordSetsFollowTheShotType) {
  const struct {
    int shotType;
    int set;
  } cases[] = {{0, 0}, {3, 0}, {4, 1}, {5, 2}, {6, 3}, {7, 0}, {9, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(clubs::RecordSetFor(c.shotType), c.set) << c.shotType;
    EXPECT_EQ(&clubs::GetClubRecord(8, c.shotType, true), &clubs::ClubTable[c.set][8]);
  }
  for (int set = 1; set < clubs::kSets; ++set)
    EXPECT_EQ(clubs::ClubTable[set][20].speed, clubs::ClubTable[0][20].speed);
  EXPECT_EQ(clubs::ClubTable[2][12].trajectoryDefault, 26.0f);
  EXPECT_EQ(clubs::ClubTable[3][19].group, 4);
}

TEST_F(ClubsTest, PercentScalesOnlyTheTwoDistances) {
  EXPECT_EQ(&clubs::GetClubRecord(0, 0, false) == &clubs::ClubTable[0][0], false);
  EXPECT_EQ(clubs::GetClubRecord(0, 0, false).reach, 250);
  golfer_.SetClubPercent(0, 110);
  const clubs::ClubRecord& r = clubs::GetClubRecord(0, 0, false);
  EXPECT_EQ(r.reach, 275);
  EXPECT_EQ(r.shown, 308);
  EXPECT_EQ(r.angle, 10);
  EXPECT_EQ(clubs::GetClubRecord(0, 0, true).reach, 250);
  ActiveGolferRecord = nullptr;
  EXPECT_EQ(clubs::GetClubRecord(0, 0, false).reach, 250);
}

TEST_F(ClubsTest, DistancesByTheSetting) {
  EXPECT_EQ(clubs::ScaleClubDistance(185, 1), 166);
  EXPECT_EQ(clubs::ScaleClubDistance(185, 2), 148);
  EXPECT_EQ(clubs::ScaleClubDistance(185, 3), 185);
  const struct {
    int club, setting, shotType, shown, reach;
  } cases[] = {{0, 0, 0, 280, 250}, {10, 1, 0, 166, 152}, {20, 2, 0, 53, 53}, {15, 0, 4, 60, 121}, {15, 2, 5, 24, 96}};
  for (const auto& c : cases) {
    EXPECT_EQ(clubs::GetClubDistance(c.club, c.setting, c.shotType), c.shown) << c.club;
    EXPECT_EQ(clubs::GetClubMaxDistance(c.club, c.setting), c.reach) << c.club;
  }
  EXPECT_EQ(clubs::GetFullShotShownDistance(0, 2), 224);
}

TEST_F(ClubsTest, PuttingRows) {
  golfer_.currentClub = 20;
  const struct {
    float yards;
    float speed;
  } cases[] = {{0.0f, 2.076f}, {20.0f / 3.0f, 4.66f}, {20.1f / 3.0f, 6.63f}, {1.0f, 2.076f}, {200.0f / 3.0f, 13.8f},
               {50.0f, 13.8f}};
  for (const auto& c : cases) {
    AimDistance = c.yards;
    EXPECT_EQ(clubs::GetClubLaunchSpeed(20, 2), c.speed) << c.yards;
  }
}

TEST_F(ClubsTest, LaunchSpeedAndAngleFollowSettingAndTrajectory) {
  ShotMeter.trajectory = -10.0f;
  EXPECT_FLOAT_EQ(clubs::GetClubLaunchSpeed(0, 0), 72.8f * 1.04f);
  EXPECT_FLOAT_EQ(clubs::GetClubLaunchSpeed(0, 1), 72.8f * 0.94f * 1.04f);
  ShotMeter.trajectory = 5.0f;
  ShotMeter.power = 0.5f;
  // Power 0 takes the meter's power.
  EXPECT_FLOAT_EQ(clubs::GetClubLaunchAngle(0, 0.0f, 1.0f), 10.0f + 5.0f * 0.5f * 10.0f / 50.0f);
  EXPECT_FLOAT_EQ(clubs::GetClubLaunchAngle(0, 1.0f, 0.5f), 10.0f + 0.5f * 5.0f * 10.0f / 50.0f);
  golfer_.currentClub = 14;
  EXPECT_FLOAT_EQ(clubs::GetClubTrajectoryLowRange(&golfer_), -8.0f);
  EXPECT_FLOAT_EQ(clubs::GetClubTrajectoryHighRange(&golfer_), 15.0f);
}

TEST_F(ClubsTest, ClubChoice) {
  const uint32_t all = 0x1FFFFF;
  const struct {
    uint32_t bag;
    uint32_t shotType;
    float distance;
    int kind;
    int club;
  } cases[] = {
      {all, 0, 250.04f, 0, 0},          // the tolerance lets the driver reach
      {all, 0, 400.0f, 0, 0},           // beyond every club: the longest
      {all, 0, 150.0f, 0, 12},          // shortest club reaching 150: 6i (155)
      {all, 0, 150.0f, 1, 13},          // by shown distance: 7i (160)
      {all, 0, 10.0f, 0, 19},           // shorter than every club: lob wedge
      {all, 7, 200.0f, 0, 20},          // a putt
      {1u << 20, 0, 200.0f, 0, 20},     // the putter alone
      {0, 0, 200.0f, 0, 20},            // an empty bag
      {(1u << 3) | (1u << 15), 0, 200.0f, 0, 3},
      {(1u << 3) | (1u << 15), 0, 300.0f, 0, 3},
  };
  for (const auto& c : cases) {
    golfer_.bag = c.bag;
    golfer_.shotType = c.shotType;
    EXPECT_EQ(clubs::ChooseClubForDistance(&golfer_, c.distance, c.kind), c.club) << c.distance << " bag " << c.bag;
  }
}

TEST_F(ClubsTest, PresetLaunchScalesSpeedWithTheRatio) {
  golfer_.currentClub = 0;
  BallState ball;
  ball.position = Vector3{0.0f, 0.0f, 0.0f};
  clubs::PresetShotForClub(&ball, Vector3{0.0f, 500.0f, 0.0f}, &golfer_);
  EXPECT_NEAR(std::sqrt(ball.velocity.x * ball.velocity.x + ball.velocity.y * ball.velocity.y +
                        ball.velocity.z * ball.velocity.z),
              72.8f, 1e-3f);
  EXPECT_GT(ball.velocity.z, 0.0f);
  clubs::PresetShotForClub(&ball, Vector3{0.0f, 0.0f, 0.0f}, &golfer_);
  EXPECT_EQ(ball.velocity.x, 0.0f);
  EXPECT_EQ(ball.velocity.y, 0.0f);
  EXPECT_EQ(ball.velocity.z, 0.0f);
}

TEST(ClubNames, ShortAndLong) {
  EXPECT_STREQ(clubs::ClubShortName(6), "5w");
  EXPECT_STREQ(clubs::ClubLongName(2), "strong 3 wood");
  EXPECT_STREQ(clubs::ClubLongName(20), "putter");
}

}  // namespace

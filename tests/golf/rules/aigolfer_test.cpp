// The computer golfer's shot choice: lie classes, retry rules, club and aim on generated holes.
#include "golf/aigolfer.h"

#include <cmath>

#include "support/ground.h"
#include "golf/ballflight.h"
#include "golf/launch.h"
#include "golf/predict.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class ComputerGolferTest : public RulesTest {
 protected:
  void TearDown() override {
    ComputerGolferRetriesOff = false;
    ComputerGolferFreeTables();
    RulesTest::TearDown();
  }
  // A computer golfer's game on the loaded terrain, its ball at rest at `at`, aiming at `pin`.
  TGame* Ready(const Vector3& at, const Vector3& pin, int skill) {
    TGame* g = MakeGame(kModeStroke, 2, true);
    g->SetOptionField(5, static_cast<uint32_t>(skill));
    g->pinPosition = pin;
    for (int s = 0; s < 2; ++s) PlaceBallAt(g->players->GetPlayer(s), at);
    g->SetCurrentPlayer(0);
    return g;
  }
  static float Distance(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.y - b.y); }
};

TEST_F(ComputerGolferTest, LieClassesAndRetryRules) {
  const std::pair<uint8_t, int> lies[] = {{0x70, 0}, {0x10, 1}, {0xb0, 1}, {0x30, 2}, {0xa0, 2}, {0x40, 3},
                                          {0x60, 3}, {0x20, 4}, {0x80, 4}, {0x50, 5}, {0x90, 5}, {0x00, 5},
                                          {0xc0, 5}, {0x7f, 0}};
  for (auto [code, cls] : lies) EXPECT_EQ(LieClass(code), cls) << std::hex << int(code);
  EXPECT_EQ(RetryRuleFor(0).hazard, 0.0f);
  EXPECT_EQ(RetryRuleFor(0).rough, 0.0f);
  EXPECT_EQ(RetryRuleFor(0).shortShots, 3);
  EXPECT_EQ(RetryRuleFor(4).hazard, 5.0f);
  EXPECT_EQ(RetryRuleFor(4).rough, 3.0f);
  EXPECT_EQ(RetryRuleFor(4).shortShots, 0);
  EXPECT_EQ(RetryRuleFor(9).hazard, 5.0f);   // clamped
  EXPECT_EQ(RetryRuleFor(-3).shortRatio, 0.04f);
}

TEST_F(ComputerGolferTest, APuttingLieAlwaysTakesThePutter) {
  for (uint8_t surface : {uint8_t{0x70}, uint8_t{0xb0}}) {
    ASSERT_TRUE(balltest::makeGround(80, 220, surface));
    Ready(Vector3{0.0f, -90.0f, 0.0f}, Vector3{0.0f, 90.0f, 0.0f}, 2);
    AimRecord aim;
    ResetAimRecord(&aim);
    aim.stage = 2;
    ComputerGolferPlay(&aim);
    EXPECT_EQ(aim.club, kPutter);
    EXPECT_EQ(aim.shotType, kShotTypePutt);
    EXPECT_EQ(ActiveGolferRecord->currentClub, kPutter);
    DeleteCurrentGame();
  }
}

TEST_F(ComputerGolferTest, ACompetitorLowersTheLevelButNeverBelowZero) {
  ASSERT_TRUE(balltest::makeGround(80, 220, 0x10));
  ComputerGolferRetriesOff = true;
  for (auto [skill, expected] : {std::pair{3, 2}, std::pair{0, 0}}) {
    TGame* g = Ready(Vector3{0.0f, -50.0f, 0.0f}, Vector3{0.0f, 50.0f, 0.0f}, skill);
    g->players->GetPlayer(1)->carriedWord1 = 1;
    AimRecord aim;
    ResetAimRecord(&aim);
    aim.stage = 2;
    ComputerGolferPlay(&aim);
    EXPECT_EQ(aim.competing, 1);
    EXPECT_EQ(aim.level, expected);
    g->players->GetPlayer(1)->carriedWord1 = 0;
    ResetAimRecord(&aim);
    aim.stage = 2;
    ComputerGolferPlay(&aim);
    EXPECT_EQ(aim.competing, 0);
    EXPECT_EQ(aim.level, skill);
    DeleteCurrentGame();
  }
}

TEST_F(ComputerGolferTest, AFinishOnAnUnknownSurfaceIsRetriedUntilTheLastAttempt) {
  ASSERT_TRUE(balltest::makeGround(80, 220, 0xc0));
  Ready(Vector3{0.0f, -60.0f, 0.0f}, Vector3{0.0f, 40.0f, 0.0f}, 4);
  AimRecord aim;
  ResetAimRecord(&aim);
  aim.stage = 2;
  ComputerGolferPlay(&aim);
  EXPECT_EQ(aim.attempts, 25);
  ComputerGolferRetriesOff = true;
  ResetAimRecord(&aim);
  aim.stage = 2;
  ComputerGolferPlay(&aim);
  EXPECT_EQ(aim.attempts, 0);
}

TEST_F(ComputerGolferTest, APlanIsKeptForTheDecisionOfTheSameTurn) {
  ASSERT_TRUE(balltest::makeGround(80, 220, 0x10));
  Ready(Vector3{0.0f, -60.0f, 0.0f}, Vector3{0.0f, 40.0f, 0.0f}, 2);
  ComputerGolferRetriesOff = true;
  AimRecord plan;
  ResetAimRecord(&plan);
  plan.stage = 0;
  ComputerGolferPlay(&plan);
  EXPECT_TRUE(ComputerGolferHasSavedCopy());
  EXPECT_NE(plan.club, kNoClub);
  AimRecord decide = plan;
  decide.stage = 2;
  decide.aimPoint = Vector3{};
  ComputerGolferPlay(&decide);
  EXPECT_EQ(decide.club, plan.club);
  EXPECT_FLOAT_EQ(decide.aimPoint.y, plan.aimPoint.y);
  ComputerGolferFreeTables();
  EXPECT_FALSE(ComputerGolferHasSavedCopy());
}

// Putts on a flat green: (strokes to hole out) for balls at distances around the cup, every skill level.
int PuttsToHoleOut(TGame* g, const Vector3& from) {
  TPlayer* p = g->players->GetPlayer(0);
  PlaceBallAt(p, from);
  p->holedOut = 0;
  p->SetHoleScore(0, 0, 0, 0);
  int putts = 0;
  while (!p->ball.Flag(kBallFlagHoled) && putts < 10) {
    g->SetCurrentPlayer(0);
    p->TakeTurn();
    ++putts;
  }
  return putts;
}

TEST_F(ComputerGolferTest, TapInsAreHoledAndTenYardPuttsRarelyTakeThree) {
  ASSERT_TRUE(balltest::makeGround(60, 60, 0x70));
  const Vector3 pin{0.5f, 0.5f, 0.0f};
  int tapInMisses = 0, tapIns = 0, threePutts = 0, longPutts = 0;
  for (int skill = 0; skill <= 4; ++skill) {
    Svc().scene->SeedRandom15(static_cast<uint32_t>(17 + skill));
    TGame* g = Ready(Vector3{0.0f, 0.0f, 0.0f}, pin, skill);
    g->players->GetPlayer(1)->flags &= ~kGolferTakesPart;
    BallSetCup(pin);
    for (int k = 0; k < 12; ++k) {
      const float a = static_cast<float>(k) * 0.5236f;
      for (float d : {0.3f, 0.55f, 0.8f, 0.99f}) {
        ++tapIns;
        const int n = PuttsToHoleOut(g, Vector3{pin.x + d * std::cos(a), pin.y + d * std::sin(a), 0.0f});
        if (n != 1) ++tapInMisses;
        EXPECT_EQ(n, 1) << "skill " << skill << " distance " << d << " angle " << k;
      }
      ++longPutts;
      if (PuttsToHoleOut(g, Vector3{pin.x + 10.0f * std::cos(a), pin.y + 10.0f * std::sin(a), 0.0f}) >= 3)
        ++threePutts;
    }
    DeleteCurrentGame();
  }
  EXPECT_EQ(tapInMisses, 0) << "of " << tapIns;
  // Rarely: at most one in ten from 10 yards.
  EXPECT_LE(threePutts * 10, longPutts) << threePutts << " of " << longPutts;
}

// The demonstration hole: tees at the near end, the green near the far end, fairway down the middle.
class DemoHoleTest : public ComputerGolferTest {
 protected:
  TGame* LoadDemo(int skill, uint32_t seed, uint32_t depth = 170) {
    UseHole(48, depth, seed);
    TGame* g = MakeGame(kModeStroke, 1, true);
    g->SetOptionField(5, static_cast<uint32_t>(skill));
    EXPECT_EQ(g->LoadHole(), 0);
    g->SetCurrentPlayer(0);
    return g;
  }
};

TEST_F(DemoHoleTest, TheTeeShotFindsTheFairwayOrTheGreen) {
  // A short hole within reach of the tee, and long ones that need a second shot.
  for (auto [seed, depth] : {std::pair{3u, 170u}, std::pair{7u, 170u}, std::pair{11u, 360u}, std::pair{5u, 400u}}) {
    Svc().scene->SeedRandom15(seed);
    TGame* g = LoadDemo(4, seed, depth);
    TPlayer* p = g->players->GetPlayer(0);
    p->TakeTurn();
    const uint8_t lie = GetTerrainSurface(p->ball.position.x, p->ball.position.y) & 0xF0;
    EXPECT_TRUE(lie == 0x10 || lie == 0x70 || lie == 0xb0) << "seed " << seed << " lie " << std::hex << int(lie);
    EXPECT_GT(Distance(p->ball.position, g->teePosition), 60.0f) << seed;
    EXPECT_LT(Distance(p->ball.position, g->pinPosition), Distance(g->teePosition, g->pinPosition)) << seed;
    EXPECT_EQ(Strokes(g, 0, 0, 0), 1u);
    DeleteCurrentGame();
  }
}

TEST_F(DemoHoleTest, TheChoiceIsTheSameForTheSameSeed) {
  AimRecord first, second;
  for (AimRecord* aim : {&first, &second}) {
    Svc().scene->SeedRandom15(99);
    LoadDemo(2, 5);
    ResetAimRecord(aim);
    aim->stage = 2;
    ComputerGolferPlay(aim);
    DeleteCurrentGame();
  }
  EXPECT_EQ(first.club, second.club);
  EXPECT_EQ(first.shotType, second.shotType);
  EXPECT_EQ(first.aimPoint.x, second.aimPoint.x);
  EXPECT_EQ(first.aimPoint.y, second.aimPoint.y);
  EXPECT_EQ(first.power, second.power);
  EXPECT_EQ(first.curve, second.curve);
  EXPECT_EQ(first.attempts, second.attempts);
  EXPECT_NE(first.club, kNoClub);
}

}  // namespace
}  // namespace rules

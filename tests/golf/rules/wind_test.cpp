// Gusts: the value generators on the tick counter, the wind presets, and the game's wind moving in gusts.
#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "golf/launch.h"
#include "golf/wind.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class WindTest : public RulesTest {};

TEST_F(WindTest, GeneratorRangesPeriodsAndTransitions) {
  TWindADV w;
  w.SetValue(40);
  w.SetRange(10, 20);
  EXPECT_EQ(w.Value(), 15);  // outside: the middle
  w.SetValue(12);
  w.SetRange(10, 20);
  EXPECT_EQ(w.Value(), 12);  // inside: kept
  w.SetRange(9, 9);
  EXPECT_EQ(w.Value(), 9);
  // Period -1: never moves, whatever the ticks.
  w.SetRange(0, 30);
  w.SetPeriod(-1);
  const int32_t held = w.Value();
  for (int i = 0; i < 20; ++i) {
    winapi::testing::AdvanceClock(997);
    EXPECT_EQ(w.Update(), 0);
    EXPECT_EQ(w.Value(), held);
  }
  // A range one wide always picks its minimum, at once without a transition time.
  TWindADV narrow;
  narrow.SetRange(4, 5);
  narrow.SetTransitionTime(0);
  narrow.SetPeriod(100);
  int picks = 0;
  for (int i = 0; i < 50; ++i) {
    winapi::testing::AdvanceClock(61);
    picks += narrow.Update();
    EXPECT_EQ(narrow.Value(), 4);
  }
  EXPECT_GT(picks, 5);
  // A transition moves evenly from the start to the target over its time.
  TWindADV slow;
  slow.SetRange(0, 1000);
  slow.SetTransitionTime(1000);
  slow.SetPeriod(1000000);
  slow.PickNewTarget();
  const int32_t from = slow.start, to = slow.target;
  winapi::testing::AdvanceClock(250);
  slow.Update();
  EXPECT_EQ(slow.Value(), from + (to - from) * 250 / 1000);
  winapi::testing::AdvanceClock(5000);
  slow.Update();
  EXPECT_EQ(slow.Value(), to);
}

TEST_F(WindTest, PresetsSteadyAndGusting) {
  struct Case {
    int setting;
    bool gusting;
    int low, high;
  };
  for (const Case& c : {Case{0, true, 0, 0}, Case{1, false, 7, 7}, Case{2, false, 14, 14}, Case{1, true, 7, 18},
                        Case{2, true, 14, 30}}) {
    SetupWind(c.setting, c.gusting);
    std::set<int32_t> seen;
    for (int i = 0; i < 400; ++i) {
      winapi::testing::AdvanceClock(97);
      const int32_t v = GetCurrentWind();
      EXPECT_GE(v, c.low) << c.setting << c.gusting;
      EXPECT_LE(v, c.high) << c.setting << c.gusting;
      seen.insert(v);
      if (c.setting == 2 && c.gusting && i > 100) {
        // After their first changes the strong base stays within 18..23 and its gust within -4..9.
        EXPECT_GE(BaseWindGenerator()->Value(), 18);
        EXPECT_LE(BaseWindGenerator()->Value(), 23);
        EXPECT_GE(GustGenerator()->Value(), -4);
        EXPECT_LE(GustGenerator()->Value(), 9);
      }
    }
    if (c.gusting && c.setting) EXPECT_GT(seen.size(), 4u) << c.setting;
    else EXPECT_EQ(seen.size(), 1u) << c.setting;
    // A setting above 2 changes no generator.
    const int32_t baseMin = BaseWindGenerator()->Minimum();
    SetupWind(3, true);
    EXPECT_EQ(BaseWindGenerator()->Minimum(), baseMin);
    DeleteWindGenerators();
  }
  EXPECT_EQ(GetCurrentWind(), 0);  // no generators
}

TEST_F(WindTest, AnEqualRangeGivenAPeriodKeepsItsValue) {
  TWindADV w;
  w.SetRange(6, 6);
  w.SetValue(9);
  w.SetTransitionTime(0);
  w.SetPeriod(50);
  for (int i = 0; i < 20; ++i) {
    winapi::testing::AdvanceClock(40);
    w.Update();
    EXPECT_EQ(w.Value(), 9);
  }
}

TEST_F(WindTest, GustsVaryTheShotsWindOnAndOffTheNetwork) {
  UseHole(48, 260, 9);
  for (const bool network : {false, true}) {
    TGame* g = MakeGame(kModeStroke, 1, true);
    g->SetOptionField(0, 2);
    g->SetOptionField(1, 1);
    g->view->seed = 77;
    g->networked = network ? 1 : 0;
    Svc().scene->SeedRandom15(99);
    ASSERT_EQ(g->LoadHole(), 0);
    std::set<int> speeds;
    for (int shot = 0; shot < 30; ++shot) {
      winapi::testing::AdvanceClock(1500);
      g->UpdateWind();
      EXPECT_GE(g->windSpeed, 14);
      EXPECT_LE(g->windSpeed, 30);
      speeds.insert(g->windSpeed);
    }
    EXPECT_GT(speeds.size(), 3u) << network;
    // The gusts draw from a sequence of their own: the shared random numbers are as every machine has them.
    Svc().scene->SeedRandom15(99);
    g->LoadHole();
    const int expected = Svc().scene->Random15();
    Svc().scene->SeedRandom15(99);
    g->LoadHole();
    for (int i = 0; i < 20; ++i) {
      winapi::testing::AdvanceClock(1500);
      g->UpdateWind();
    }
    EXPECT_EQ(Svc().scene->Random15(), expected) << network;
    g->ReleaseHole();
    EXPECT_EQ(BaseWindGenerator(), nullptr);
  }
}

TEST_F(WindTest, ANetworkShotFliesInTheWindItsRecordCarries) {
  UseHole(48, 260, 9);
  TGame* g = MakeGame(kModeStroke, 1, true);
  g->SetOptionField(0, 2);
  g->SetOptionField(1, 1);
  g->view->seed = 77;
  g->networked = 1;
  ASSERT_EQ(g->LoadHole(), 0);
  g->state.currentPlayer = 0;
  TPlayer* p = g->players->GetPlayer(0);
  ShotSetUpBlock b;
  b.golfer = 0;
  b.club = 0;
  b.position = p->ball.position;
  b.power = 0.6f;  // short of the green: the ball stays in play
  b.aim = g->pinPosition;
  // The record as a peer reads it (the full one, or the one of a machine that sends no wind speed), played here.
  const auto fly = [&](uint8_t speed, size_t bytes) {
    PlaceBallAt(p, b.position);
    b.windSpeed = speed;
    uint8_t wire[kShotSetUpWireBytes];
    WriteShotSetUp(b, wire);
    void* block = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteSettings, 2, wire, bytes));
    EXPECT_NE(block, nullptr);
    if (block) {
      EXPECT_EQ(ReplayRemoteShot(*static_cast<const ShotSetUpBlock*>(block)), 1);
      GolfBlockFree(block);
    }
    return std::make_pair(g->windSpeed, p->ball.position);
  };
  const auto gust = fly(29, kShotSetUpWireBytes);
  const auto again = fly(29, kShotSetUpWireBytes);
  const auto older = fly(kNoWindSpeed, kShotSetUpWireBytesWithoutWind);
  EXPECT_EQ(gust.first, 29);
  EXPECT_EQ(std::memcmp(&gust.second, &again.second, sizeof(Vector3)), 0);
  // An earlier machine never gusts: its shot flew in the hole's steady wind.
  EXPECT_EQ(older.first, g->holeWindSpeed);
  EXPECT_NE(older.first, 29);
  EXPECT_NE(std::memcmp(&gust.second, &older.second, sizeof(Vector3)), 0);
  g->ReleaseHole();
}

// A person's swing launches the ball off the aim line; the record sent to the other machines aims along the line
// the ball left on, as far away as the aim, so the shot they play rests where it rests here.
TEST_F(WindTest, APersonsSwingIsSentAsTheShotTheBallFlew) {
  UseHole(48, 260, 9);
  TGame* g = MakeGame(kModeStroke, 1, true);
  g->networked = 1;
  ASSERT_EQ(g->LoadHole(), 0);
  g->state.currentPlayer = 0;
  g->localPlayer = 0;
  TPlayer* p = g->players->GetPlayer(0);
  std::vector<uint8_t> sent;
  fakes.sendBlock = [&](int, uint32_t id, const void* data, size_t bytes) {
    if (id == kGolfRemoteSettings) sent.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + bytes);
  };
  const Vector3 tee = p->ball.position;
  ShotAimPoint = g->pinPosition;
  ShotMeter.finalPower = 0.6f;
  ShotMeter.finalCurve = 0.0f;
  ShotMeter.trajectory = 0.0f;
  ShotMeter.shotFactorA = ShotMeter.shotFactorB = 1.0f;
  p->ballBeforeShot = p->ball;
  ActiveGolferRecord = p;
  BallLaunch(&p->ball, 0, 1, 0, 0.0f);
  // The swing pulled it a tenth of a radian off the line.
  const Vector3 v = p->ball.velocity;
  BallSetLaunchVelocity(&p->ball, Vector3{v.x * std::cos(0.1f) + v.y * std::sin(0.1f),
                                          v.y * std::cos(0.1f) - v.x * std::sin(0.1f), v.z});
  ASSERT_EQ(FlyLaunchedShot(), 1);
  const Vector3 here = p->ball.position;
  ASSERT_EQ(sent.size(), kShotSetUpWireBytes);
  // The other machine plays the record from the tee.
  g->localPlayer = 1;
  PlaceBallAt(p, tee);
  void* block = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteSettings, 2, sent.data(), sent.size()));
  ASSERT_NE(block, nullptr);
  const auto* record = static_cast<const ShotSetUpBlock*>(block);
  EXPECT_NEAR(std::hypot(record->aim.x - tee.x, record->aim.y - tee.y),
              std::hypot(g->pinPosition.x - tee.x, g->pinPosition.y - tee.y), 0.01f);
  EXPECT_EQ(ReplayRemoteShot(*record), 1);
  GolfBlockFree(block);
  EXPECT_GT(std::hypot(here.x - tee.x, here.y - tee.y), 50.0f);
  EXPECT_NEAR(p->ball.position.x, here.x, 0.5f);
  EXPECT_NEAR(p->ball.position.y, here.y, 0.5f);
  g->ReleaseHole();
}

}  // namespace
}  // namespace rules

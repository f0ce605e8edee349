// The shootout: who goes out after a hole, shoot-offs and their spot, score texts and the end of the game.
#include <cmath>

#include "support/ground.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class ShootoutTest : public RulesTest {
 protected:
  TShootoutGame* Game(int golfers) {
    DeleteCurrentGame();  // golfers of an earlier game are not carried over
    auto* g = dynamic_cast<TShootoutGame*>(MakeGame(kModeShootout, golfers));
    EXPECT_NE(g, nullptr);
    g->state.holeCount = 18;
    return g;
  }
  // Holes played: strokes per golfer, all holed out.
  static void Hole(TGame* g, std::initializer_list<uint32_t> strokes) {
    int s = 0;
    for (uint32_t n : strokes) SetStrokes(g, s++, n, true);
  }
  static bool Out(TGame* g, int slot) { return g->players->GetPlayer(slot)->flags & kGolferOut; }
  static bool SittingOut(TGame* g, int slot) {
    return (g->players->GetPlayer(slot)->flags & (kGolferOut | kGolferFlag9)) == (kGolferOut | kGolferFlag9);
  }
  // Plays the shoot-off shots: each golfer whose turn comes finishes at the given distance from the pin.
  void PlayShootoff(TShootoutGame* g, const float distance[4]) {
    const int shots = g->shootoffCounter;
    for (int shot = 0; shot < shots && g->shootoffRunning; ++shot) {
      Pump();
      const int slot = g->state.currentPlayer;
      if (slot >= 4) return;
      TPlayer* p = g->players->GetPlayer(slot);
      p->ball.position = Vector3{g->pinPosition.x, g->pinPosition.y - distance[slot], 0.0f};
      SendGolfMessage(kGolfShotFinished);
    }
  }
};

TEST_F(ShootoutTest, TheGolferWithTheMostStrokesGoesOutWithoutAShootoff) {
  TShootoutGame* g = Game(3);
  Hole(g, {4, 6, 5});
  uint16_t out = 9;
  ASSERT_EQ(g->GetHoleWinner(&out, true), 1);  // a trial changes nothing
  EXPECT_FALSE(Out(g, 1));
  ASSERT_EQ(g->GetHoleWinner(&out), 1);
  EXPECT_EQ(out, 1);
  EXPECT_TRUE(Out(g, 1));
  EXPECT_EQ(g->lastEliminated, g->players->GetPlayer(1));
  EXPECT_EQ(g->shootoffRunning, 0u);
  EXPECT_EQ(g->GetScoreText(1), "Elim");
  EXPECT_EQ(g->GetScoreText(0), "");
}

TEST_F(ShootoutTest, OneGolferStillToHoleOutGoesOutOnlyWhenAlreadyBehindEveryone) {
  TShootoutGame* g = Game(3);
  Hole(g, {4, 5, 5});
  g->players->GetPlayer(2)->holedOut = 0;  // counts as 6
  uint16_t out = 9;
  ASSERT_EQ(g->GetHoleWinner(&out), 1);
  EXPECT_EQ(out, 2);
  TShootoutGame* h = Game(3);
  Hole(h, {4, 5, 4});
  h->players->GetPlayer(2)->holedOut = 0;  // counts as 5: level with golfer 2
  EXPECT_EQ(h->GetHoleWinner(&out), 0);
  Hole(h, {4, 5, 4});
  h->players->GetPlayer(0)->holedOut = 0;
  h->players->GetPlayer(2)->holedOut = 0;
  EXPECT_EQ(h->GetHoleWinner(&out), 0);  // two still playing
  EXPECT_FALSE(Out(h, 0) || Out(h, 1) || Out(h, 2));
}

TEST_F(ShootoutTest, ATieAmongComputerOnlyGolfersIsDrawnAmongTheTied) {
  for (uint32_t seed = 1; seed < 40; ++seed) {
    Svc().scene->SeedRandom15(seed);
    TShootoutGame* g = Game(4);
    Hole(g, {3, 6, 4, 6});
    uint16_t out = 9;
    ASSERT_EQ(g->GetHoleWinner(&out), 1);
    ASSERT_TRUE(out == 1 || out == 3) << seed;
    EXPECT_TRUE(Out(g, out));
    for (int s : {0, 2}) EXPECT_FALSE(g->players->GetPlayer(s)->flags & (kGolferOut | kGolferFlag9)) << seed;
    EXPECT_EQ(g->players->CountActivePlayers(), 3);
    DeleteCurrentGame();
  }
}

TEST_F(ShootoutTest, ATieOfEveryoneStartsAShootoffAmongAll) {
  ASSERT_TRUE(balltest::makeGround(120, 120, 0x10));
  TShootoutGame* g = Game(3);
  g->roundRunning = 1;
  g->players->GetPlayer(0)->flags |= kGolferFlag5;  // a person plays: the tie is played off
  Hole(g, {5, 5, 5});
  uint16_t out = 9;
  EXPECT_EQ(g->GetHoleWinner(&out), 0);
  EXPECT_EQ(out, 9);
  EXPECT_EQ(g->shootoffRunning, 1u);
  EXPECT_EQ(g->shootoffCounter, 3);
  for (int s = 0; s < 3; ++s) EXPECT_FALSE(SittingOut(g, s));
  EXPECT_FALSE(g->IsHoleComplete());
  Pump();
  const std::vector<uint32_t> seen = TakeDispatched();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], 0x725u);
  EXPECT_EQ(seen[1], 0x728u);
  EXPECT_EQ(personShots, 1);
  // Every golfer waits at the spot, on the fairway near the pin.
  const Vector3 spot = g->shootoffSpot;
  for (int s = 0; s < 3; ++s) EXPECT_FLOAT_EQ(g->players->GetPlayer(s)->ball.position.x, spot.x);
  EXPECT_EQ(GetTerrainSurface(spot.x, spot.y) & 0xF0, 0x10);
  const float d = std::hypot(spot.x - g->pinPosition.x, spot.y - g->pinPosition.y);
  EXPECT_GE(d, 39.0f);
  EXPECT_LE(d, 60.0f);
}

TEST_F(ShootoutTest, ATieOfSomeSitsTheOthersOutForTheShootoff) {
  ASSERT_TRUE(balltest::makeGround(120, 120, 0x10));
  TShootoutGame* g = Game(4);
  g->roundRunning = 1;
  g->players->GetPlayer(1)->flags |= kGolferFlag5;
  Hole(g, {4, 6, 6, 5});
  EXPECT_EQ(g->GetHoleWinner(nullptr), 0);
  EXPECT_TRUE(SittingOut(g, 0));
  EXPECT_TRUE(SittingOut(g, 3));
  EXPECT_EQ(g->GetScoreText(0), "");  // sitting out is not out
  EXPECT_EQ(g->shootoffCounter, 2);
  // Golfer 2 ends farther from the pin: it goes out, the others come back.
  const float distance[4] = {0.0f, 3.0f, 8.0f, 0.0f};
  PlayShootoff(g, distance);
  EXPECT_EQ(g->shootoffRunning, 0u);
  EXPECT_TRUE(Out(g, 2));
  EXPECT_EQ(g->GetScoreText(2), "Elim");
  for (int s : {0, 1, 3}) EXPECT_FALSE(g->players->GetPlayer(s)->flags & (kGolferOut | kGolferFlag9)) << s;
  EXPECT_EQ(shootoutStatus, 1);
  EXPECT_EQ(personShots, 2);
}

TEST_F(ShootoutTest, EqualDistancesPlayTheShootoffAgainAndATieNarrowsIt) {
  ASSERT_TRUE(balltest::makeGround(120, 120, 0x10));
  TShootoutGame* g = Game(3);
  g->roundRunning = 1;
  g->players->GetPlayer(0)->flags |= kGolferFlag5;
  Hole(g, {5, 5, 5});
  g->GetHoleWinner(nullptr);
  const float equal[4] = {4.0f, 4.0f, 4.0f, 0.0f};
  PlayShootoff(g, equal);
  EXPECT_EQ(g->shootoffRunning, 1u);
  EXPECT_EQ(g->shootoffCounter, 3);
  for (int s = 0; s < 3; ++s) EXPECT_FALSE(Out(g, s));
  // Two at the greatest distance: the third sits out and the two play again.
  const float twoFar[4] = {6.0f, 2.0f, 6.0f, 0.0f};
  PlayShootoff(g, twoFar);
  EXPECT_EQ(g->shootoffRunning, 1u);
  EXPECT_TRUE(SittingOut(g, 1));
  EXPECT_EQ(g->shootoffCounter, 2);
  const float last[4] = {1.0f, 0.0f, 5.0f, 0.0f};
  PlayShootoff(g, last);
  EXPECT_EQ(g->shootoffRunning, 0u);
  EXPECT_TRUE(Out(g, 2));
  EXPECT_FALSE(Out(g, 0));
  EXPECT_FALSE(Out(g, 1));
  // Shoot-off shots never count on the hole.
  EXPECT_EQ(Strokes(g, 0, 0, 0), 5u);
}

TEST_F(ShootoutTest, TheSpotAvoidsWaterAndTheGroundOutsideTheHole) {
  ASSERT_TRUE(balltest::makeGround(60, 60, kSurfaceWater));
  TShootoutGame* g = Game(2);
  g->pinPosition = Vector3{0.0f, 0.0f, 0.0f};
  // Only a rough patch right by the pin is dry.
  for (int32_t j = 28; j <= 32; ++j)
    for (int32_t i = 28; i <= 32; ++i) balltest::setSurface(i, j, 0x30);
  for (uint32_t seed = 1; seed < 20; ++seed) {
    Svc().scene->SeedRandom15(seed);
    const Vector3 spot = g->ChooseShootoffSpot();
    const uint8_t surface = GetTerrainSurface(spot.x, spot.y);
    EXPECT_NE(surface & 0xF0, kSurfaceWater) << seed;
    EXPECT_NE(surface, kSurfaceOutside) << seed;
  }
}

TEST_F(ShootoutTest, TheGameEndsWhenTheNextHoleWouldPassTheLastOrOneGolferIsLeft) {
  TShootoutGame* g = Game(3);
  int finals = 0;
  fakes.showScoreCard = [&](int) { ++finals; };
  g->state.firstHole = 0;
  g->state.holeCount = 3;
  g->state.hole = 1;
  uint16_t r = 0, h = 0;
  EXPECT_EQ(g->GetNextHole(&r, &h), 1);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(g->finishing, 0u);
  g->state.hole = 2;
  EXPECT_EQ(g->GetNextHole(&r, &h), 0);
  EXPECT_EQ(g->finishing, 1u);
  EXPECT_EQ(g->finalResultsShown, 1u);
  TShootoutGame* k = Game(3);
  k->state.holeCount = 18;
  k->players->GetPlayer(0)->flags |= kGolferOut;
  k->players->GetPlayer(1)->flags |= kGolferOut;
  EXPECT_EQ(k->GetNextHole(&r, &h), 0);
}

TEST_F(ShootoutTest, ANetworkShootoutWaitsForEveryMachineBeforeTheSpot) {
  ASSERT_TRUE(balltest::makeGround(120, 120, 0x10));
  TShootoutGame* g = Game(2);
  g->SetNetworkGame(1);
  g->localPlayer = 0;
  g->roundRunning = 1;
  g->state.currentPlayer = 0;
  std::vector<uint32_t> blocks;
  fakes.sendBlock = [&](int, uint32_t id, const void*, size_t) { blocks.push_back(id); };
  SendGolfMessage(kGolfShootoffStart);
  EXPECT_EQ(GetGolfStatus(), 0x725u);
  EXPECT_NE(GolfState.handshakeTimer, 0u);
  Pump();
  EXPECT_TRUE(blocks.empty());
  SendGolfMessage(kGolfAck, MakeAckBlock(1, 0x725));
  EXPECT_EQ(GolfState.handshakeTimer, 0u);
  Pump();
  EXPECT_EQ(blocks, std::vector<uint32_t>{0x726});
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

TEST_F(ShootoutTest, ASavedShootoutKeepsItsShootoff) {
  TShootoutGame* g = Game(3);
  g->shootoffRunning = 1;
  g->shootoffCounter = 2;
  g->shootoffSpot = Vector3{1.5f, -40.0f, 2.0f};
  g->players->GetPlayer(1)->shootoffDone = 1;
  g->lastEliminated = g->players->GetPlayer(2);
  std::vector<uint8_t> bytes(64 * 1024);
  SerialTarget out = SerialTarget::OverMemory(bytes.data(), bytes.size());
  ASSERT_TRUE(g->SaveToStream(&out));
  const size_t used = static_cast<size_t>(out.cursor - bytes.data());
  DeleteCurrentGame();
  SerialTarget in = SerialTarget::OverMemory(bytes.data(), used);
  ASSERT_EQ(LoadGameFromStream(&in), 0);
  auto* h = dynamic_cast<TShootoutGame*>(CurrentGame());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->shootoffRunning, 1u);
  EXPECT_EQ(h->shootoffCounter, 2);
  EXPECT_FLOAT_EQ(h->shootoffSpot.y, -40.0f);
  EXPECT_EQ(h->players->GetPlayer(1)->shootoffDone, 1u);
  EXPECT_EQ(h->lastEliminated, h->players->GetPlayer(2));
  // Cut short in the shoot-off part: refused, the current game stays.
  SerialTarget cut = SerialTarget::OverMemory(bytes.data(), used - 3);
  EXPECT_EQ(LoadGameFromStream(&cut), 2);
  EXPECT_EQ(CurrentGame(), h);
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

TEST_F(ShootoutTest, ANetworkShootoutStartsAtARandomHoleThatLeavesRoomForTheRound) {
  for (uint32_t seed = 1; seed < 30; ++seed) {
    Svc().scene->SeedRandom15(seed);
    TShootoutGame* g = Game(2);
    g->state.holeCount = 9;
    g->SetNetworkGame(1);
    g->ChooseStartingHole();
    EXPECT_LE(g->state.firstHole, 9) << seed;
    EXPECT_EQ(g->state.hole, g->state.firstHole);
  }
  TShootoutGame* full = Game(2);
  full->state.holeCount = 18;
  full->SetNetworkGame(1);
  full->ChooseStartingHole();
  EXPECT_EQ(full->state.firstHole, 0);
  // A local game keeps the hole it was given.
  TShootoutGame* local = Game(2);
  local->state.firstHole = local->state.hole = 4;
  local->ChooseStartingHole();
  EXPECT_EQ(local->state.firstHole, 4);
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

TEST_F(ShootoutTest, BetweenTurnsOnlyTheFirstGolfersMachineStartsTheShootoff) {
  for (uint32_t local : {0u, 1u}) {
    TShootoutGame* g = Game(2);
    g->SetNetworkGame(1);
    g->localPlayer = local;
    g->roundRunning = 1;
    g->state.currentPlayer = 12;
    sent.clear();
    SendGolfMessage(kGolfShootoffStart);
    ASSERT_EQ(sent.size(), 1u) << local;
    EXPECT_EQ(sent[0].id, local == 0 ? 0x725u : 0x716u) << local;
    EXPECT_EQ(GolfState.handshakeTimer != 0, local == 0) << local;
    ResetGolfHandler();
  }
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

TEST_F(ShootoutTest, ASpotFromTheChoosingMachinePlacesTheGolfers) {
  ASSERT_TRUE(balltest::makeGround(120, 120, 0x10));
  TShootoutGame* g = Game(2);
  g->SetNetworkGame(1);
  g->localPlayer = 1;
  g->roundRunning = 1;
  g->state.currentPlayer = 0;
  auto* spot = static_cast<Vector3*>(GolfBlockAlloc(sizeof(Vector3)));
  *spot = Vector3{10.0f, -20.0f, 0.0f};
  SendGolfMessage(kGolfShootoffSpot, reinterpret_cast<intptr_t>(spot));
  for (int s = 0; s < 2; ++s) {
    EXPECT_FLOAT_EQ(g->players->GetPlayer(s)->ball.position.x, 10.0f);
    EXPECT_FLOAT_EQ(g->players->GetPlayer(s)->ball.position.y, -20.0f);
  }
  Pump(1);
  EXPECT_EQ(TakeDispatched(), std::vector<uint32_t>{0x728});
  // A block too short for a spot places nobody.
  SendGolfMessage(kGolfShootoffSpot, reinterpret_cast<intptr_t>(GolfBlockAlloc(5)));
  EXPECT_FLOAT_EQ(g->players->GetPlayer(0)->ball.position.x, 10.0f);
}

}  // namespace
}  // namespace rules

// Whole rounds without pictures: computer golfers play generated holes through the golf messages.
#include <algorithm>

#include "support/rules_fixture.h"

namespace rules {
namespace {

class RoundTest : public RulesTest {
 protected:
  // Runs the queue until the game returns to the front end (bounded).
  void PlayOut(TGame* g) {
    g->StartHole();
    for (int i = 0; i < 200 && frontEnd == 0; ++i) Pump(1000);
  }
};

TEST_F(RoundTest, TwoComputerGolfersPlayAStrokeRoundToTheEnd) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(42);
  TGame* g = MakeGame(kModeStroke, 2, true);
  g->state.firstHole = 0;
  g->state.holeCount = 2;
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(g->gameOver, 1u);
  EXPECT_EQ(g->roundRunning, 0u);
  // A card after each hole, then the final card.
  EXPECT_EQ(scoreCards, (std::vector<int>{1, 1, 0}));
  for (int slot = 0; slot < 2; ++slot)
    for (int hole = 0; hole < 2; ++hole) {
      const uint32_t strokes = Strokes(g, slot, 0, hole);
      EXPECT_GE(strokes, 2u) << slot << " " << hole;
      EXPECT_LE(strokes, 8u) << slot << " " << hole;
    }
  EXPECT_EQ(Strokes(g, 0, 0, 2), 0u);
  // Nobody played out of turn: every hole started from the tee with the play order.
  const std::vector<uint32_t> ids = TakeDispatched();
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 0x705u), 2);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 0x714u), 1);
  const long shots = std::count(ids.begin(), ids.end(), 0x70du);
  uint32_t total = 0;
  for (int slot = 0; slot < 2; ++slot) total += Strokes(g, slot, 0, 0) + Strokes(g, slot, 0, 1);
  EXPECT_LE(shots, static_cast<long>(total));
}

TEST_F(RoundTest, AFullRoundCountsInTheGolfersStatistics) {
  UseHole(40, 150, 4);
  Svc().scene->SeedRandom15(11);
  TGame* g = MakeGame(kModeStroke, 2, true);
  g->state.holeCount = 18;
  g->players->GetPlayer(1)->flags |= kGolferNoFile;  // a built-in golfer keeps no statistics
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(scoreCards.size(), 19u);
  uint32_t total = 0;
  for (int hole = 0; hole < 18; ++hole) {
    const uint32_t strokes = Strokes(g, 0, 0, hole);
    EXPECT_GE(strokes, 1u) << hole;
    total += strokes;
  }
  TPlayer* p = g->players->GetPlayer(0);
  EXPECT_EQ(p->GetStatistic(kStatRoundsPlayed), 1u);
  EXPECT_EQ(p->GetStatistic(kStatTotalStrokes), total);
  EXPECT_EQ(p->GetStatistic(kStatBestRound), total);
  EXPECT_EQ(g->players->GetPlayer(1)->GetStatistic(kStatRoundsPlayed), 0u);
}

TEST_F(RoundTest, TheSameSeedPlaysTheSameRound) {
  UseHole(48, 200, 9);
  uint32_t scores[2][2][2] = {};
  for (auto& run : scores) {
    DeleteCurrentGame();
    ResetGolfHandler();
    frontEnd = 0;
    Svc().scene->SeedRandom15(7);
    TGame* g = MakeGame(kModeStroke, 2, true);
    g->state.holeCount = 2;
    PlayOut(g);
    ASSERT_EQ(frontEnd, 1);
    for (int slot = 0; slot < 2; ++slot)
      for (int hole = 0; hole < 2; ++hole) run[slot][hole] = Strokes(g, slot, 0, hole);
  }
  for (int slot = 0; slot < 2; ++slot)
    for (int hole = 0; hole < 2; ++hole) EXPECT_EQ(scores[0][slot][hole], scores[1][slot][hole]);
}

TEST_F(RoundTest, AShootoutOfThreeComputerGolfersEndsWithOneLeftOrTheHolesRunOut) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(5);
  TGame* g = MakeGame(kModeShootout, 3, true);
  g->state.holeCount = 3;
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  // Each hole puts one golfer out until one is left.
  EXPECT_EQ(g->players->CountActivePlayers(), 1);
  EXPECT_EQ(g->finalResultsShown, 1u);
  EXPECT_EQ(shootoutStatus, 2);
}

}  // namespace
}  // namespace rules

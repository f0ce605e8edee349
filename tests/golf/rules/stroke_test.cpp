// Stroke play: the next hole, the hole winner, the score card, the order of play and the scoring of shots.
#include "support/rules_fixture.h"

namespace rules {
namespace {

class StrokeTest : public RulesTest {};

TEST_F(StrokeTest, NextHoleFollowsTheRoundsRange) {
  struct Case {
    uint16_t rounds, first, count, round, hole;
    int result;
    uint16_t outRound, outHole;
    uint32_t over;
  };
  const Case cases[] = {
      {1, 0, 9, 0, 0, 1, 0, 1, 0},      // next hole of the front nine
      {1, 0, 9, 0, 8, 0, 0, 8, 1},      // last hole of a 9-hole round: the out parameters keep it
      {1, 9, 9, 0, 16, 1, 0, 17, 0},    // a back nine goes to hole 18 (index 17)
      {1, 9, 9, 0, 17, 0, 0, 17, 1},    // and ends there
      {1, 12, 9, 0, 17, 0, 0, 17, 1},   // a range past index 17 ends at 17
      {2, 0, 9, 0, 8, 1, 1, 0, 0},      // the next round starts at the first hole
      {2, 9, 9, 1, 17, 0, 1, 17, 1},    // the last hole of the last round
  };
  for (const Case& c : cases) {
    TGame* g = MakeGame(kModeStroke, 1);
    g->gameOver = 0;
    g->state.lead = c.rounds;
    g->state.firstHole = c.first;
    g->state.holeCount = c.count;
    g->state.round = c.round;
    g->state.hole = c.hole;
    uint16_t r = 99, h = 99;
    EXPECT_EQ(g->GetNextHole(&r, &h), c.result) << c.first << " " << c.hole;
    EXPECT_EQ(r, c.outRound) << c.first << " " << c.hole;
    EXPECT_EQ(h, c.outHole) << c.first << " " << c.hole;
    EXPECT_EQ(g->gameOver, c.over) << c.first << " " << c.hole;
  }
}

TEST_F(StrokeTest, TheHoleWinnerNeedsEveryGolferHoledOut) {
  struct Golfer {
    uint32_t strokes;
    bool holed;
    bool leftOut;
  };
  struct Case {
    const char* what;
    Golfer golfers[3];
    int result;
    uint16_t winner;
  };
  const Case cases[] = {
      {"fewest strokes", {{5, true, false}, {4, true, false}, {6, true, false}}, 1, 1},
      {"tie goes to the later golfer", {{4, true, false}, {4, true, false}, {6, true, false}}, 1, 1},
      {"a golfer still to hole out", {{4, true, false}, {3, false, false}, {6, true, false}}, 0, 0},
      {"the leader not holed", {{5, true, false}, {4, true, false}, {2, false, false}}, 0, 0},
      {"left out by bit 0x40", {{5, true, false}, {4, true, false}, {2, false, true}}, 1, 1},
      {"left out golfer never wins", {{5, true, false}, {6, true, false}, {1, true, true}}, 1, 0},
  };
  for (const Case& c : cases) {
    TGame* g = MakeGame(kModeStroke, 3);
    for (int s = 0; s < 3; ++s) {
      SetStrokes(g, s, c.golfers[s].strokes, c.golfers[s].holed);
      TPlayer* p = g->players->GetPlayer(s);
      if (c.golfers[s].leftOut) p->flags |= kGolferOut;
      else p->flags &= ~kGolferOut;
    }
    uint16_t winner = 77;
    EXPECT_EQ(g->GetHoleWinner(&winner), c.result) << c.what;
    EXPECT_EQ(winner, c.result ? c.winner : 77) << c.what;
  }
}

TEST_F(StrokeTest, TheScoreCardAfterAHoleWaitsForEveryGolferTheFinalCardAlwaysShows) {
  TGame* g = MakeGame(kModeStroke, 2);
  int prepared = 0;
  fakes.prepareForDialog = [&] { ++prepared; };
  SetStrokes(g, 0, 4, true);
  SetStrokes(g, 1, 3, false);
  g->ShowHoleResults();
  EXPECT_TRUE(scoreCards.empty());
  g->players->GetPlayer(1)->holedOut = 1;
  g->ShowHoleResults();
  g->ShowFinalResults();
  EXPECT_EQ(scoreCards, (std::vector<int>{1, 0}));
  EXPECT_EQ(prepared, 3);
}

TEST_F(StrokeTest, ConstructionAndNetworkState) {
  int tips = 0;
  fakes.resetTips = [&] { ++tips; };
  TGame* g = MakeGame(kModeStroke, 1);
  EXPECT_EQ(tips, 1);
  EXPECT_EQ(g->mode, kModeStroke);
  EXPECT_EQ(g->networkState, 1u);
  EXPECT_EQ(g->modeWords[0], 1u);
  g->SetNetworkGame(1);
  EXPECT_EQ(g->IsNetworkGame(), 1u);
  EXPECT_EQ(g->networkState, 2u);
}

TEST_F(StrokeTest, TheGolferFarthestFromThePinPlaysGolfersOnTheTeeGoFirstInOrder) {
  TGame* g = MakeGame(kModeStroke, 3);
  g->pinPosition = Vector3{0.0f, 100.0f, 0.0f};
  uint16_t order[4] = {2, 0, 1, 3};
  // Everyone on the tee: the play order decides.
  EXPECT_EQ(g->players->ChooseNextPlayer(order, g->pinPosition, 0, 0), 2);
  SetStrokes(g, 2, 1, false);
  g->players->GetPlayer(2)->ball.position = Vector3{0.0f, 60.0f, 0.0f};
  EXPECT_EQ(g->players->ChooseNextPlayer(order, g->pinPosition, 0, 0), 0);
  SetStrokes(g, 0, 1, false);
  g->players->GetPlayer(0)->ball.position = Vector3{0.0f, 80.0f, 0.0f};
  SetStrokes(g, 1, 1, false);
  g->players->GetPlayer(1)->ball.position = Vector3{30.0f, 100.0f, 0.0f};
  EXPECT_EQ(g->players->ChooseNextPlayer(order, g->pinPosition, 0, 0), 2);  // 40 yards out
  g->players->GetPlayer(2)->holedOut = 1;
  EXPECT_EQ(g->players->ChooseNextPlayer(order, g->pinPosition, 0, 0), 1);  // 30 against 20
  g->players->GetPlayer(1)->flags |= kGolferOut;
  EXPECT_EQ(g->players->ChooseNextPlayer(order, g->pinPosition, 0, 0), 0);
  g->players->GetPlayer(0)->holedOut = 1;
  EXPECT_EQ(g->players->ChooseNextPlayer(order, g->pinPosition, 0, 0), 4);
  EXPECT_TRUE(g->players->AllHoledOut());
}

TEST_F(StrokeTest, TheNextHoleIsPlayedInOrderOfTheLastHolesScore) {
  TGame* g = MakeGame(kModeStroke, 3);
  SetStrokes(g, 0, 5, true);
  SetStrokes(g, 1, 3, true);
  SetStrokes(g, 2, 5, true);
  uint16_t order[4] = {2, 0, 1, 3};
  g->players->OrderForNextHole(order, 0, 0);
  EXPECT_EQ(std::vector<uint16_t>(order, order + 4), (std::vector<uint16_t>{1, 2, 0, 3}));
  // A damaged order table still names each slot once.
  uint16_t damaged[4] = {9, 1, 1, 0};
  g->players->OrderForNextHole(damaged, 0, 0);
  EXPECT_EQ(std::vector<uint16_t>(damaged, damaged + 4), (std::vector<uint16_t>{1, 0, 2, 3}));
}

TEST_F(StrokeTest, ShotsCountStrokesPuttsPenaltiesAndTheLimit) {
  TGame* g = MakeGame(kModeStroke, 1);
  TPlayer* p = g->players->GetPlayer(0);
  p->currentClub = 5;
  CountShot(*g, p);
  p->SetClub(kPutter);
  CountShot(*g, p);
  uint32_t strokes = 0, putts = 0;
  p->GetHoleScore(0, 0, &strokes, &putts);
  EXPECT_EQ(strokes, 2u);
  EXPECT_EQ(putts, 1u);
  // In the water: a penalty stroke and the ball back where the shot was played.
  p->SetClub(3);
  p->ballBeforeShot.position = Vector3{1.0f, 2.0f, 0.0f};
  p->ball.position = Vector3{5.0f, 50.0f, 0.0f};
  p->ball.Flag(kBallFlagWater) = 1;
  CountShot(*g, p);
  p->GetHoleScore(0, 0, &strokes, nullptr);
  EXPECT_EQ(strokes, 4u);
  EXPECT_FLOAT_EQ(p->ball.position.y, 2.0f);
  EXPECT_EQ(p->ball.Flag(kBallFlagWater), 0);
  EXPECT_FLOAT_EQ(p->stance.y, 2.0f);
  EXPECT_EQ(p->holedOut, 0u);
  // The fifteenth stroke picks the ball up, except in practice.
  p->SetHoleScore(0, 0, 14, 0);
  EXPECT_FALSE(p->ReachedStrokeLimit(kModeStroke, 0, 0));
  CountShot(*g, p);
  EXPECT_EQ(p->holedOut, 1u);
  EXPECT_FALSE(p->ReachedStrokeLimit(kModePractice, 0, 0));
  EXPECT_FALSE(p->ReachedStrokeLimit(kModeDrivingRange, 0, 0));
  EXPECT_TRUE(p->ReachedStrokeLimit(kModeShootout, 0, 0));
}

}  // namespace
}  // namespace rules

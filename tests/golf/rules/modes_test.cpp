// The modes beyond stroke play: hand-made score sequences decide matches, skins, cuts; computer golfers play
// whole rounds of every mode on the generated hole.
#include <algorithm>
#include <cmath>

#include "golf/ballflight.h"
#include "golf/golferfile.h"
#include "golf/modes.h"
#include "golf/overhead.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class ModesTest : public RulesTest {
 protected:
  void PlayOut(TGame* g, int limit = 400) {
    g->StartHole();
    for (int i = 0; i < limit && frontEnd == 0; ++i) Pump(1000);
  }
  // Plays a tournament hole by hole, each golfer holing out in the strokes `strokes` gives the hole (by its place in
  // the round), until the game has no next hole or `limit` holes are played; returns the holes the golfers played.
  static int PlayTournamentHoles(TTournamentGame* g, int golfers, const std::vector<uint32_t>& strokes, int limit) {
    int played = 0;
    for (bool more = true; more && played < limit; ++played) {
      const uint32_t s = strokes[static_cast<size_t>(g->state.hole - g->state.firstHole) % strokes.size()];
      for (int slot = 0; slot < golfers; ++slot) SetStrokes(g, slot, s, true);
      g->UpdateHoleScores();
      g->ShowHoleResults();
      uint16_t round = 0, hole = 0;
      more = g->GetNextHole(&round, &hole) != 0;
      g->state.round = round;
      g->state.hole = hole;
    }
    return played;
  }
  // Plays one hole of hand-made scores (strokes per slot, all holed) and moves on; false when the game ends.
  static bool ScoreHole(TGame* g, std::initializer_list<uint32_t> strokes) {
    int slot = 0;
    for (uint32_t s : strokes) SetStrokes(g, slot++, s, true);
    g->UpdateHoleScores();
    uint16_t round = 0, hole = 0;
    if (!g->GetNextHole(&round, &hole)) return false;
    g->state.round = round;
    g->state.hole = hole;
    for (int s = 0; s < 4; ++s)
      if (TPlayer* p = g->players->GetPlayer(s)) p->holedOut = 0;
    return true;
  }
};

struct MatchCase {
  const char* name;
  std::vector<std::pair<uint32_t, uint32_t>> holes;  // strokes of side 0, side 1
  uint32_t handicap1;                                 // the second golfer's handicap
  int holesPlayed;
  int leader;
  const char* result;
};

TEST_F(ModesTest, MatchPlayResultsFromHandMadeScores) {
  std::vector<std::pair<uint32_t, uint32_t>> threeAndTwo = {{3, 4}, {4, 5}, {3, 5}};
  for (int h = 3; h < 16; ++h) threeAndTwo.push_back({4, 4});
  std::vector<std::pair<uint32_t, uint32_t>> oneUp(17, {5, 5});
  oneUp.push_back({5, 4});
  std::vector<std::pair<uint32_t, uint32_t>> halved(18, {4, 4});
  halved[0] = {3, 4};
  halved[17] = {5, 4};
  // Equal gross scores with 18 strokes given: the second golfer wins every hole, 10 and 8.
  std::vector<std::pair<uint32_t, uint32_t>> strokes(10, {4, 4});
  const MatchCase cases[] = {
      {"3 and 2", threeAndTwo, 0, 16, 0, "3 & 2"},
      {"1 up on the last", oneUp, 0, 18, 1, "1 UP"},
      {"halved", halved, 0, 18, -1, "HALVED"},
      {"handicap strokes", strokes, 18, 10, 1, "10 & 8"},
  };
  for (const MatchCase& c : cases) {
    DeleteCurrentGame();
    auto* g = static_cast<TMatchPlayGame*>(MakeGame(kModeMatchPlay, 2));
    g->state.firstHole = 0;
    g->state.holeCount = 18;
    g->players->GetPlayer(1)->wordA = c.handicap1;
    int played = 0;
    for (auto [a, b] : c.holes) {
      ++played;
      if (!ScoreHole(g, {a, b})) break;
    }
    EXPECT_EQ(played, c.holesPlayed) << c.name;
    EXPECT_EQ(g->holesPlayed, c.holesPlayed) << c.name;
    EXPECT_TRUE(g->IsMatchOver()) << c.name;
    EXPECT_EQ(g->gameOver, 1u) << c.name;
    EXPECT_EQ(g->GetLeader(), c.leader) << c.name;
    EXPECT_EQ(g->ResultText(), c.result) << c.name;
  }
}

TEST_F(ModesTest, MatchStandingTextsAndDormie) {
  auto* g = static_cast<TMatchPlayGame*>(MakeGame(kModeMatchPlay, 2));
  g->state.holeCount = 4;
  EXPECT_EQ(g->GetScoreText(0), "AS");
  ASSERT_TRUE(ScoreHole(g, {3, 4}));
  EXPECT_EQ(g->GetScoreText(0), "1 UP");
  EXPECT_EQ(g->GetScoreText(1), "1 DN");
  ASSERT_TRUE(ScoreHole(g, {3, 4}));
  EXPECT_TRUE(g->IsDormie());  // 2 up with 2 to play
  EXPECT_EQ(g->FormatMatchStatus(0), "DORMIE");
  EXPECT_EQ(g->FormatMatchStatus(1), "2 DN");
  EXPECT_EQ(g->GetStanding(1), -2);
  ASSERT_TRUE(ScoreHole(g, {5, 4}));
  EXPECT_TRUE(g->IsDormie());  // 1 up with 1 to play
  EXPECT_EQ(g->FormatMatchStatus(0), "DORMIE");
  EXPECT_FALSE(ScoreHole(g, {4, 4}));
  EXPECT_EQ(g->ResultText(), "1 UP");
}

TEST_F(ModesTest, AMatchHoleIsDecidedOnceTheOtherSideCannotCatchUp) {
  auto* g = static_cast<TMatchPlayGame*>(MakeGame(kModeMatchPlay, 2));
  struct Case { uint32_t a; bool aHoled; uint32_t b; bool bHoled; int decided; uint16_t winner; };
  const Case cases[] = {
      {3, true, 3, false, 1, 0},   // the other needs a fourth stroke at least
      {3, true, 2, false, 0, 4},   // the other can still halve
      {3, true, 3, true, 1, 4},    // halved
      {4, true, 3, true, 1, 1},
      {2, false, 2, false, 0, 4},
  };
  for (const Case& c : cases) {
    SetStrokes(g, 0, c.a, c.aHoled);
    SetStrokes(g, 1, c.b, c.bHoled);
    uint16_t w = 9;
    EXPECT_EQ(g->GetHoleWinner(&w, true), c.decided) << c.a << " " << c.b;
    if (c.decided) {
      EXPECT_EQ(w, c.winner) << c.a << " " << c.b;
    }
    EXPECT_EQ(g->IsHoleComplete(), c.decided == 1 || (c.aHoled && c.bHoled));
  }
  // A conceded hole goes to the other side whatever the strokes.
  SetStrokes(g, 0, 2, false);
  SetStrokes(g, 1, 6, false);
  g->ConcedeHole(0);
  uint16_t w = 9;
  ASSERT_EQ(g->GetHoleWinner(&w, true), 1);
  EXPECT_EQ(w, 1);
  g->UpdateHoleScores();
  EXPECT_EQ(g->holesWon[1], 1);
  EXPECT_EQ(g->holeConcededBy, -1);  // the next hole starts afresh
  // A conceded match ends it.
  g->ConcedeMatch(1);
  EXPECT_TRUE(g->IsMatchOver());
  EXPECT_EQ(g->ResultText(), "CONCEDED");
}

TEST_F(ModesTest, AConcessionGivesTheHoleToTheOtherSide) {
  auto* g = static_cast<TFoursomeGame*>(MakeGame(kModeFoursome, 4));
  g->roundRunning = 1;
  SetStrokes(g, 2, 3, false);
  SetStrokes(g, 3, 3, false);
  SendGolfMessage(kGolfConceded, 2);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Golfer 3 & Golfer 4 have conceded.");
  EXPECT_EQ(g->holeConcededBy, 1);
  EXPECT_TRUE(g->IsHoleComplete());
  uint16_t w = 9;
  ASSERT_EQ(g->GetHoleWinner(&w, true), 1);
  EXPECT_EQ(g->SideOf(w), 0);
  g->roundRunning = 0;
}

TEST_F(ModesTest, WouldHoleOutWinHoleTriesAndUndoes) {
  TGame* g = MakeGame(kModeMatchPlay, 2);
  SetStrokes(g, 0, 4, true);
  SetStrokes(g, 1, 2, false);
  g->SetCurrentPlayer(1);
  EXPECT_TRUE(g->WouldHoleOutWinHole());  // 3 beats 4
  EXPECT_EQ(Strokes(g, 1, 0, 0), 2u);
  EXPECT_EQ(g->players->GetPlayer(1)->holedOut, 0u);
  SetStrokes(g, 1, 3, false);
  EXPECT_FALSE(g->WouldHoleOutWinHole());  // 4 only halves
}

TEST_F(ModesTest, FourBallCountsTheBetterBallOfEachSide) {
  auto* g = static_cast<TFourBallGame*>(MakeGame(kModeFourBall, 4));
  g->state.holeCount = 3;
  EXPECT_EQ(g->PartnerOf(0), 1);
  EXPECT_EQ(g->PartnerOf(3), 2);
  EXPECT_EQ(g->SideOf(2), 1);
  ASSERT_TRUE(ScoreHole(g, {6, 3, 4, 4}));  // side 0's better ball 3
  ASSERT_TRUE(ScoreHole(g, {5, 5, 9, 5}));  // halved
  EXPECT_FALSE(ScoreHole(g, {5, 6, 4, 7}));
  EXPECT_EQ(g->holesWon[0], 1);
  EXPECT_EQ(g->holesWon[1], 1);
  EXPECT_EQ(g->ResultText(), "HALVED");
}

TEST_F(ModesTest, FourBallInStrokeFormAddsTheBetterBalls) {
  auto* g = static_cast<TFourBallGame*>(MakeGame(kModeFourBall, 4));
  g->strokeForm = 1;
  g->state.holeCount = 3;
  // Side 0's better balls 3, 4, 4 (par 4 each: -1); side 1's 4, 3, 5 (0). Nobody's lead ends it early.
  ASSERT_TRUE(ScoreHole(g, {3, 6, 4, 7}));
  ASSERT_TRUE(ScoreHole(g, {4, 5, 3, 3}));
  // Before everyone has holed the hole is not over, even when one side cannot be caught.
  SetStrokes(g, 0, 2, true);
  SetStrokes(g, 1, 1, false);
  SetStrokes(g, 2, 5, true);
  SetStrokes(g, 3, 5, true);
  EXPECT_FALSE(g->IsHoleComplete());
  EXPECT_FALSE(ScoreHole(g, {4, 4, 5, 6}));
  EXPECT_EQ(g->sideTotals[0], -1);
  EXPECT_EQ(g->sideTotals[1], 0);
  EXPECT_EQ(g->StrokeLeader(), 0);
  EXPECT_EQ(g->GetScoreText(1), "(-1)");
  EXPECT_EQ(g->GetScoreText(3), "(E)");
  EXPECT_EQ(g->holesPlayed, 3);
}

struct SkinsCase {
  std::vector<std::vector<uint32_t>> holes;
  std::vector<uint32_t> skins;
  std::vector<uint32_t> money;
};

TEST_F(ModesTest, SkinsCarryOverOnTies) {
  const SkinsCase cases[] = {
      // Carried over twice, then won with three skins at stake; then a single skin.
      {{{4, 4, 5}, {3, 5, 3}, {5, 4, 6}, {4, 3, 4}}, {0, 4, 0}, {0, 80000, 0}},
      // Nobody wins: the skins stay unclaimed.
      {{{4, 4, 4}, {5, 5, 6}}, {0, 0, 0}, {0, 0, 0}},
      {{{3, 4, 4}, {4, 4, 3}}, {1, 0, 1}, {20000, 0, 20000}},
  };
  for (const SkinsCase& c : cases) {
    DeleteCurrentGame();
    auto* g = static_cast<TSkinsGame*>(MakeGame(kModeSkins, 3));
    g->state.holeCount = static_cast<uint16_t>(c.holes.size());
    for (size_t h = 0; h < c.holes.size(); ++h) {
      EXPECT_EQ(g->ComputeCarryOver(), g->skinsAtStake);
      const auto& hs = c.holes[h];
      const bool more = ScoreHole(g, {hs[0], hs[1], hs[2]});
      EXPECT_EQ(more, h + 1 < c.holes.size());
    }
    for (int s = 0; s < 3; ++s) {
      EXPECT_EQ(g->skinsWon[s], c.skins[s]) << s;
      EXPECT_EQ(g->moneyWon[s], c.money[s]) << s;
    }
  }
  auto* g = static_cast<TSkinsGame*>(CurrentGame());
  EXPECT_EQ(g->GetScoreText(0), "1 skin");
  EXPECT_EQ(g->GetScoreText(1), "0 skins");
  EXPECT_EQ(g->Leader(), 4);  // shared
}

TEST_F(ModesTest, HandicapStrokesFollowTheStrokeIndex) {
  TGame* g = MakeGame(kModeStroke, 1);
  TPlayer* p = g->players->GetPlayer(0);
  p->wordA = 5;
  // The null catalogue gives hole h the stroke index h + 1.
  EXPECT_TRUE(g->HasHandicapStroke(0, 4));
  EXPECT_FALSE(g->HasHandicapStroke(0, 5));
  p->flags |= kGolferNoHandicap;
  EXPECT_FALSE(g->HasHandicapStroke(0, 0));
  p->flags &= ~kGolferNoHandicap;
  p->SetHoleScore(0, 0, 5, 2);
  EXPECT_EQ(g->NetHoleScore(0, 0, 0), 4);
  int32_t toPar = 0;
  ASSERT_EQ(g->GetScoreToPar(0, 0, 0, 18, &toPar), kRecordOk);
  EXPECT_EQ(toPar, 1);
  ASSERT_EQ(g->GetScoreToPar(0, 0, 0, 18, &toPar, true), kRecordOk);
  EXPECT_EQ(toPar, 0);
  // No handicap strokes in practice or the tournaments.
  for (int mode : {kModePractice, kModeTournament, kModeNetTournament, kModeDrivingRange}) {
    ASSERT_EQ(CreateGame(mode), 1);
    EXPECT_FALSE(CurrentGame()->HasHandicapStroke(0, 0)) << mode;
  }
}

TEST_F(ModesTest, ATournamentCutLeavesTheLeadingPlacesAndTies) {
  auto* g = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 2));
  PeoplePlay(g, 2);
  g->state.lead = 4;
  g->state.holeCount = 2;
  g->SetUpRound();
  EXPECT_EQ(g->cutAfterRound, 1);
  EXPECT_EQ(g->FieldSize(), 37);
  g->cutPlaces = 10;
  // Golfer 1 plays well, golfer 2 badly: two rounds.
  for (int r = 0; r < 2; ++r) {
    EXPECT_TRUE(ScoreHole(g, {3, 9}));
    EXPECT_TRUE(ScoreHole(g, {3, 9}));
  }
  EXPECT_EQ(g->cutMade, 1);
  EXPECT_EQ(g->state.round, 2);
  EXPECT_FALSE(g->players->GetPlayer(0)->flags & kGolferOut);
  EXPECT_TRUE(g->players->GetPlayer(1)->flags & kGolferOut);
  EXPECT_FALSE(g->present[TTournamentGame::kFieldComputers + 1]);
  // Everyone left is within the tenth place's score; ties at the line stay.
  ASSERT_GE(g->standings.size(), 10u);
  const int32_t line = g->standings[9].toPar;
  for (const auto& s : g->standings) EXPECT_LE(s.toPar, line);
  EXPECT_EQ(g->standings.front().position, 1);
  EXPECT_EQ(g->GetEntrantScore(TTournamentGame::kFieldComputers, 0, 2), -2);
  EXPECT_EQ(g->GetScoreText(0), "(-4)");
  // Two more rounds: the field finishes, the game is over, the prizes add up to the shares paid.
  EXPECT_TRUE(ScoreHole(g, {4, 0}));
  EXPECT_TRUE(ScoreHole(g, {4, 0}));
  EXPECT_TRUE(ScoreHole(g, {4, 0}));
  EXPECT_FALSE(ScoreHole(g, {4, 0}));
  EXPECT_EQ(g->gameOver, 1u);
  uint64_t paid = 0;
  for (const auto& s : g->standings) {
    paid += s.prize;
    EXPECT_EQ(g->holesDoneFor(s.entrant), 8);
  }
  EXPECT_LE(paid, g->purse);
  EXPECT_GT(paid, g->purse / 2);
}

// The standings dialogs a tournament asks the front end for.
struct StandingsRecorder : FrontEndProvider {
  std::vector<std::pair<int, int>> shown;  // notice, page kind
  void ShowTourneyStandings(int notice, int kind, int) override { shown.emplace_back(notice, kind); }
};

struct PlayoffCase {
  const char* name;
  std::vector<std::vector<uint32_t>> playoffHoles;  // per playoff hole: golfer 1, entrant 3 of the field
  std::vector<std::pair<int, int>> dialogs;          // after each hole of the round and of the playoff
  int winner;                                        // entrant placed first alone
};

TEST_F(ModesTest, ATieForTheLeadIsPlayedOffByTheGameGolfersInIt) {
  constexpr int kOwn = TTournamentGame::kFieldComputers;
  const PlayoffCase cases[] = {
      {"won on the first playoff hole", {{3, 4}}, {{0, 0}, {1, 1}, {0, 2}}, kOwn},
      {"halved, then lost", {{4, 4}, {5, 4}}, {{0, 0}, {1, 1}, {2, 1}, {0, 2}}, 3},
      {"no tie: no playoff", {}, {{0, 0}, {0, 2}}, kOwn},
  };
  StandingsRecorder dialogs;
  Svc().frontEnd = &dialogs;
  for (const PlayoffCase& c : cases) {
    DeleteCurrentGame();
    dialogs.shown.clear();
    auto* g = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 2));
    PeoplePlay(g, 2);
    g->state.lead = 1;
    g->state.firstHole = 0;
    g->state.holeCount = 2;
    g->SetUpRound();
    // The field two over par, but entrant 3 level; golfer 1 level too (one under without a playoff), golfer 2 over.
    for (int e = 0; e < TTournamentGame::kFieldComputers; ++e)
      for (int h = 0; h < 2; ++h) g->fieldScores[e][0][h] = e == 3 ? 4 : 5;
    for (size_t k = 0; k < c.playoffHoles.size(); ++k) g->fieldScores[3][1][k] = static_cast<uint8_t>(c.playoffHoles[k][1]);
    const uint32_t firstHole = c.playoffHoles.empty() ? 3 : 4;
    std::vector<std::vector<uint32_t>> holes = {{firstHole, 6}, {4, 6}};
    for (const auto& h : c.playoffHoles) holes.push_back({h[0]});
    bool more = true;
    size_t played = 0;
    for (; more && played < holes.size(); ++played) {
      // A golfer sitting the playoff out is out of it, not of the tournament.
      if (played >= 2) {
        EXPECT_TRUE(g->players->GetPlayer(1)->flags & kGolferOut) << c.name;
        EXPECT_FALSE(g->MissedCut(kOwn + 1)) << c.name;
        EXPECT_EQ(g->PlayoffEntrants(), (std::vector<int>{3, kOwn})) << c.name;
        g->players->GetPlayer(1)->holedOut = 1;
      }
      for (size_t s = 0; s < holes[played].size(); ++s) SetStrokes(g, static_cast<int>(s), holes[played][s], true);
      g->UpdateHoleScores();
      g->ShowHoleResults();
      uint16_t round = 0, hole = 0;
      more = g->GetNextHole(&round, &hole) != 0;
      if (!more) break;
      // Playoff holes are the course's holes again, in the round after the last.
      if (played >= 1) {
        EXPECT_EQ(round, 1) << c.name;
        EXPECT_EQ(hole, played - 1) << c.name;
      }
      g->state.round = round;
      g->state.hole = hole;
      for (int s = 0; s < 2; ++s) g->players->GetPlayer(s)->holedOut = 0;
      g->SetUpRound();
    }
    EXPECT_EQ(played + 1, holes.size()) << c.name;
    EXPECT_EQ(g->gameOver, 1u) << c.name;
    EXPECT_EQ(dialogs.shown, c.dialogs) << c.name;
    // The winner alone in first place with the first prize; the playoff's loser second; golfer 2 back in.
    ASSERT_GE(g->standings.size(), 3u);
    EXPECT_EQ(g->standings[0].entrant, c.winner) << c.name;
    EXPECT_EQ(g->standings[0].position, 1) << c.name;
    EXPECT_FALSE(g->standings[0].tied) << c.name;
    EXPECT_EQ(g->standings[1].position, 2) << c.name;
    EXPECT_GT(g->standings[0].prize, g->standings[1].prize) << c.name;
    EXPECT_FALSE(g->players->GetPlayer(1)->flags & kGolferOut) << c.name;
    EXPECT_EQ(g->RoundsShown(), 1) << c.name;
    // Playoff strokes are not in the tournament's totals.
    EXPECT_EQ(g->EntrantTotal(kOwn), c.playoffHoles.empty() ? -1 : 0) << c.name;
  }
}

TEST_F(ModesTest, GolfersWhoMissTheCutSeeTheFieldPlayTheTournamentToItsEnd) {
  StandingsRecorder dialogs;
  Svc().frontEnd = &dialogs;
  auto* g = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 1));
  PeoplePlay(g, 1);
  g->state.lead = 4;
  g->state.firstHole = 0;
  g->state.holeCount = 1;
  g->SetUpRound();
  g->cutPlaces = 5;
  const int rounds = PlayTournamentHoles(g, 1, {9}, 4);
  // Out at the cut after the second round: the final results follow at once, with every round of the field.
  EXPECT_EQ(rounds, 2);
  EXPECT_EQ(dialogs.shown, (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}}));
  EXPECT_EQ(g->simulateToEnd, 1u);
  EXPECT_EQ(g->gameOver, 1u);
  EXPECT_EQ(g->RoundsShown(), 4);
  EXPECT_TRUE(g->MissedCut(TTournamentGame::kFieldComputers));
  for (const auto& s : g->standings) {
    if (!g->MissedCut(s.entrant)) {
      EXPECT_EQ(g->holesDoneFor(s.entrant), 4) << s.entrant;
    }
  }
}

TEST_F(ModesTest, PracticeFollowsTheHoleMaskAndReplaysShots) {
  auto* g = static_cast<TPracticeGame*>(MakeGame(kModePractice, 1));
  g->SetHoleMask((1u << 2) | (1u << 7) | (1u << 16));
  g->ChooseStartingHole();
  EXPECT_EQ(g->state.hole, 2);
  uint16_t round = 0, hole = 0;
  ASSERT_EQ(g->GetNextHole(&round, &hole), 1);
  EXPECT_EQ(hole, 7);
  g->state.hole = 16;
  EXPECT_EQ(g->GetNextHole(&round, &hole), 0);
  EXPECT_EQ(g->gameOver, 1u);
  // A shot taken back: the ball where it was played, the stroke and putt off the card.
  g->state.hole = 2;
  TPlayer* p = g->players->GetPlayer(0);
  PlaceBallAt(p, Vector3{1.0f, 2.0f, 0.0f});
  p->ball.position = Vector3{5.0f, 9.0f, 0.0f};
  p->SetClub(kPutter);
  p->SetHoleScore(0, 2, 3, 1);
  ASSERT_TRUE(g->ReplayShot(0));
  EXPECT_EQ(Strokes(g, 0, 0, 2), 2u);
  EXPECT_EQ(p->ball.position.x, 1.0f);
  EXPECT_EQ(p->ball.position.y, 2.0f);
  // A mulligan by the golfer's rule: one per nine.
  p->SetMulliganRule(2);
  p->ball.position = Vector3{5.0f, 9.0f, 0.0f};
  EXPECT_TRUE(g->TakeMulligan(0));
  p->ball.position = Vector3{5.0f, 9.0f, 0.0f};
  EXPECT_FALSE(g->TakeMulligan(0));
  EXPECT_EQ(Strokes(g, 0, 0, 2), 1u);
}

// Whole rounds of computer golfers.

TEST_F(ModesTest, ComputerGolfersPlayAMatchToItsEnd) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(5);
  auto* g = static_cast<TMatchPlayGame*>(MakeGame(kModeMatchPlay, 2, true));
  g->state.holeCount = 3;
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(g->gameOver, 1u);
  // The winner from the cards: a hole goes to the fewer strokes of those who holed.
  int won[2] = {};
  for (int h = 0; h < g->holesPlayed; ++h) {
    const uint8_t r = g->holeResults[0][h];
    ASSERT_NE(r, TMatchPlayGame::kUnplayed) << h;
    const uint32_t a = Strokes(g, 0, 0, h), b = Strokes(g, 1, 0, h);
    // The side that won took fewer strokes, or the other gave up without holing (its count so far).
    if (r == TMatchPlayGame::kWonBySide0) {
      ++won[0];
      EXPECT_TRUE(a < b || !g->players->GetPlayer(1)->holedOut || h + 1 < g->holesPlayed) << h;
      EXPECT_LE(a, b + 1) << h;
    }
    if (r == TMatchPlayGame::kWonBySide1) {
      ++won[1];
      EXPECT_LE(b, a + 1) << h;
    }
    if (r == TMatchPlayGame::kHalved) {
      EXPECT_EQ(a, b) << h;
    }
  }
  EXPECT_EQ(won[0], g->holesWon[0]);
  EXPECT_EQ(won[1], g->holesWon[1]);
  EXPECT_EQ(g->GetLeader(), won[0] > won[1] ? 0 : won[1] > won[0] ? 1 : -1);
  EXPECT_EQ(scoreCards.back(), 0);
}

TEST_F(ModesTest, ComputerGolfersPlaySkins) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(8);
  auto* g = static_cast<TSkinsGame*>(MakeGame(kModeSkins, 3, true));
  g->state.holeCount = 3;
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(g->holesPlayed, 3);
  uint32_t carried = 0, skins = 0;
  for (int h = 0; h < 3; ++h) {
    uint32_t best = 99;
    int count = 0, who = 4;
    for (int s = 0; s < 3; ++s) {
      const uint32_t n = Strokes(g, s, 0, h);
      if (n < best) best = n, count = 1, who = s;
      else if (n == best) ++count;
    }
    if (count == 1) EXPECT_EQ(g->holeWinner[h], who) << h;
    else EXPECT_EQ(g->holeWinner[h], TSkinsGame::kCarried) << h;
    carried = count == 1 ? 0 : carried + 1;
  }
  for (uint32_t s : g->skinsWon) skins += s;
  EXPECT_EQ(skins + carried, 3u);
}

TEST_F(ModesTest, MatchAndSkinsHoldTheRoundForTheirStandingBetweenHoles) {
  UseHole(48, 200, 9);
  struct Case {
    int mode, golfers, seed;
  };
  const Case cases[] = {{kModeMatchPlay, 2, 5}, {kModeFourBall, 4, 6}, {kModeFoursome, 4, 7}, {kModeSkins, 3, 8}};
  for (const Case& c : cases) {
    DeleteCurrentGame();
    frontEnd = matchStatus = skinsStatus = 0;
    Dispatched().clear();
    Svc().scene->SeedRandom15(static_cast<uint32_t>(c.seed));
    TGame* g = MakeGame(c.mode, c.golfers, true);
    g->state.holeCount = 3;
    PlayOut(g);
    ASSERT_EQ(frontEnd, 1) << c.mode;
    const std::vector<uint32_t>& ids = Dispatched();
    int holes = 0, held = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (ids[i] == kGolfHoleStart) ++holes;
      // Every hole after the first waits for the standing to be closed: 0x723, 0x724, then the hole.
      if (ids[i] == kGolfHoleStart && holes > 1) {
        ASSERT_GE(i, 2u);
        EXPECT_EQ(ids[i - 2], kGolfAfterStatus) << c.mode << " hole " << holes;
        EXPECT_EQ(ids[i - 1], kGolfContinue) << c.mode << " hole " << holes;
      }
      held += ids[i] == kGolfAfterStatus ? 1 : 0;
    }
    EXPECT_EQ(held, holes - 1) << c.mode;
    // The standing after each hole but the last, and once more at the end, after the golfers are stored.
    EXPECT_EQ(c.mode == kModeSkins ? skinsStatus : matchStatus, holes) << c.mode;
    EXPECT_EQ(matchStatus + skinsStatus, holes) << c.mode;
    const auto over = std::find(ids.begin(), ids.end(), kGolfRoundOver);
    ASSERT_NE(over, ids.end()) << c.mode;
    EXPECT_EQ(std::count(over, ids.end(), kGolfAfterStatus), 0) << c.mode;
    EXPECT_EQ(g->gameOver, 1u) << c.mode;
  }
}

TEST_F(ModesTest, FoursomesAlternateTeeShotsAndStrokes) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(3);
  auto* g = static_cast<TFoursomeGame*>(MakeGame(kModeFoursome, 4, true));
  g->state.holeCount = 2;
  g->StartHole();
  std::vector<std::pair<int, int>> shots;  // hole, slot
  for (int i = 0; i < 200000 && frontEnd == 0; ++i) {
    if (Pump(1) == 0) break;
    if (!Dispatched().empty() && Dispatched().back() == kGolfShotBegins)
      shots.emplace_back(g->state.hole, g->state.currentPlayer);
  }
  ASSERT_EQ(frontEnd, 1);
  ASSERT_FALSE(shots.empty());
  // Per hole and side: the shots alternate between the partners, the first partner driving on hole 1 and the
  // second on hole 2.
  for (int hole = 0; hole < g->holesPlayed; ++hole)
    for (int side = 0; side < 2; ++side) {
      std::vector<int> order;
      for (auto [h, s] : shots)
        if (h == hole && s / 2 == side) order.push_back(s);
      ASSERT_FALSE(order.empty()) << hole << " " << side;
      EXPECT_EQ(order[0], side * 2 + hole % 2) << hole << " " << side;
      for (size_t k = 1; k < order.size(); ++k) EXPECT_NE(order[k], order[k - 1]) << hole << " " << side;
      // The partners share the side's score: one stroke per shot.
      EXPECT_EQ(Strokes(g, side * 2, 0, hole), Strokes(g, side * 2 + 1, 0, hole));
      EXPECT_LE(Strokes(g, side * 2, 0, hole), order.size() + 2) << hole << " " << side;
    }
}

// A golfer disqualified (the shot clock's fifth infraction) during the first shot of the match: in foursomes the
// partner plays every shot of the side after it, tee shots too; a side with nobody left loses the match, whose sides
// stay as they began.
TEST_F(ModesTest, ADisqualifiedGolfersPartnerPlaysOnAndASideWithNobodyLeftLoses) {
  UseHole(48, 200, 9);
  struct Case {
    const char* name;
    int mode, golfers;
    std::vector<int> disqualified;
    int holesPlayed, winner;  // holes decided; side 0, 1 or -1 (halved or none)
  };
  const Case cases[] = {
      {"foursomes, one partner out", kModeFoursome, 4, {0}, 2, -2},
      {"four-ball, both partners out", kModeFourBall, 4, {2, 3}, 1, 0},
      {"singles, the first golfer out", kModeMatchPlay, 2, {0}, 1, 1},
  };
  for (const Case& c : cases) {
    DeleteCurrentGame();
    frontEnd = 0;
    Dispatched().clear();
    Svc().scene->SeedRandom15(11);
    auto* g = static_cast<TMatchPlayGame*>(MakeGame(c.mode, c.golfers, true));
    g->state.holeCount = 2;
    std::vector<std::pair<int, int>> shots;  // hole, slot
    g->StartHole();
    for (int i = 0; i < 200000 && frontEnd == 0; ++i) {
      if (Pump(1) == 0) break;
      if (!Dispatched().empty() && Dispatched().back() == kGolfShotBegins) {
        shots.emplace_back(g->state.hole, g->state.currentPlayer);
        if (shots.size() == 1) {
          EXPECT_EQ(g->state.currentPlayer, 0) << c.name;
          for (int s : c.disqualified) g->DisqualifyGolfer(s);
        }
      }
    }
    ASSERT_FALSE(shots.empty()) << c.name;
    shots.erase(shots.begin());  // the one shot played before the disqualification
    ASSERT_EQ(frontEnd, 1) << c.name;
    EXPECT_EQ(g->holesPlayed, c.holesPlayed) << c.name;
    for (int s : c.disqualified) {
      EXPECT_EQ(std::count_if(shots.begin(), shots.end(), [&](auto shot) { return shot.second == s; }), 0) << c.name;
      EXPECT_EQ(g->SideOf(s), c.mode == kModeMatchPlay ? s : s / 2) << c.name;
    }
    if (c.winner == -2) {
      // Foursomes: the partner left plays the side's every shot after it and drives on the second hole; the other
      // side alternates.
      for (int hole = 0; hole < 2; ++hole) {
        std::vector<int> side0, side1;
        for (auto [h, s] : shots)
          if (h == hole) (s < 2 ? side0 : side1).push_back(s);
        ASSERT_FALSE(side0.empty()) << hole;
        EXPECT_EQ(side0, std::vector<int>(side0.size(), 1)) << hole;
        ASSERT_FALSE(side1.empty()) << hole;
        EXPECT_EQ(static_cast<TFoursomeGame*>(g)->TeeShotPlayer(0, hole), 1);
        if (hole == 1) {
          EXPECT_EQ(side1[0], 3);
        }
      }
      EXPECT_LT(g->matchConcededBy, 0);
    } else {
      EXPECT_EQ(g->matchConcededBy, 1 - c.winner) << c.name;
      EXPECT_EQ(g->GetLeader(), c.winner) << c.name;
      EXPECT_EQ(g->ResultText(), "CONCEDED") << c.name;
    }
    EXPECT_EQ(g->gameOver, 1u) << c.name;
  }
}

// With no person among the golfers, the standings after the first hole ask the field to play the tournament out:
// after the next hole it has, and its final results show. A round of one hole is over before that.
TEST_F(ModesTest, ATournamentOfComputerGolfersOnlyIsPlayedToItsEndByTheFieldAfterItsSecondHole) {
  struct Case {
    const char* name;
    uint16_t rounds, holesPerRound;
    uint32_t strokes;  // each golfer's strokes on every hole
    int holesPlayed;
    std::vector<std::pair<int, int>> dialogs;  // notice, page kind after each hole
  };
  const Case cases[] = {
      {"four rounds of three holes", 4, 3, 5, 2, {{0, 0}, {0, 2}}},
      {"four rounds of two holes", 4, 2, 3, 2, {{0, 0}, {0, 2}}},
      {"one round of one hole, golfers tied for the lead", 1, 1, 1, 1, {{0, 2}}},
  };
  for (const Case& c : cases) {
    StandingsRecorder dialogs;
    Svc().frontEnd = &dialogs;
    auto* g = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 2, true));
    g->state.lead = c.rounds;
    g->state.firstHole = 0;
    g->state.holeCount = c.holesPerRound;
    g->SetUpRound();
    EXPECT_EQ(PlayTournamentHoles(g, 2, {c.strokes}, 8), c.holesPlayed) << c.name;
    EXPECT_EQ(dialogs.shown, c.dialogs) << c.name;
    EXPECT_EQ(g->simulateToEnd, 1u) << c.name;
    EXPECT_EQ(g->gameOver, 1u) << c.name;
    EXPECT_EQ(g->playoff, 0u) << c.name;
    EXPECT_EQ(g->RoundsShown(), c.rounds) << c.name;
    for (int e = 0; e < TTournamentGame::kFieldComputers; ++e)
      EXPECT_EQ(g->holesDoneFor(e), c.rounds * c.holesPerRound) << c.name;
    // The golfers' cards hold the holes they played, and no round was counted for them.
    for (int s = 0; s < 2; ++s) {
      EXPECT_EQ(g->holesDoneFor(TTournamentGame::kFieldComputers + s), c.holesPlayed) << c.name;
      EXPECT_EQ(g->roundsCounted, 0u) << c.name;
    }
    ASSERT_GE(g->standings.size(), 2u) << c.name;
    if (c.strokes == 1) {
      // The game's golfers share the lead, but no person is among them: the first placed wins outright.
      EXPECT_GE(g->standings[0].entrant, TTournamentGame::kFieldComputers) << c.name;
      EXPECT_EQ(g->standings[0].toPar, g->standings[1].toPar) << c.name;
      EXPECT_EQ(g->standings[0].position, 1) << c.name;
      EXPECT_FALSE(g->standings[0].tied) << c.name;
      EXPECT_EQ(g->standings[1].position, 2) << c.name;
    }
    DeleteCurrentGame();
  }
}

// A lead tied at the end of the tournament with no person sharing it goes to the first placed: first place alone and
// the first prize, the others of the tie sharing second place. A person in the tie plays it off; a lead tied before
// the end is shared.
TEST_F(ModesTest, ALeadNoPersonSharesGoesToTheFirstPlacedAtTheEnd) {
  constexpr int kOwn = TTournamentGame::kFieldComputers;
  struct Case {
    const char* name;
    bool person;                   // golfer 1 stands for a person
    uint16_t rounds;               // of two holes
    std::vector<uint32_t> golfer;  // golfer 1's strokes on the two holes of a round (golfer 2 makes 6s)
    int holes;                     // holes played before the standings are looked at
    std::vector<std::pair<int, int>> dialogs;
    std::vector<int> leaders;       // standings from the first, with their positions below
    std::vector<const char*> places;
  };
  const Case cases[] = {
      {"the field alone, after a simulated end", false, 4, {5, 5}, 2, {{0, 0}, {0, 2}}, {3, 5, 0}, {"1", "2", "T3"}},
      {"a computer golfer of the game in the tie", false, 4, {3, 4}, 2, {{0, 0}, {0, 2}}, {3, 5, kOwn}, {"1", "T2", "T2"}},
      {"the field alone, a person playing", true, 1, {5, 5}, 2, {{0, 0}, {0, 2}}, {3, 5, 0}, {"1", "2", "T3"}},
      {"a person in the tie: a playoff", true, 1, {3, 4}, 2, {{0, 0}, {1, 1}}, {3, 5, kOwn}, {"T1", "T1", "T1"}},
      {"before the end", true, 2, {5, 5}, 2, {{0, 0}, {0, 1}}, {3, 5, 0}, {"T1", "T1", "T3"}},
  };
  for (const Case& c : cases) {
    StandingsRecorder dialogs;
    Svc().frontEnd = &dialogs;
    auto* g = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 2, true));
    if (c.person) PeoplePlay(g, 1);
    g->state.lead = c.rounds;
    g->state.firstHole = 0;
    g->state.holeCount = 2;
    g->SetUpRound();
    // The field plays every hole in par but entrants 3 and 5, one under in the first round.
    for (int e = 0; e < TTournamentGame::kFieldComputers; ++e)
      for (int r = 0; r < c.rounds; ++r)
        for (int h = 0; h < 2; ++h) g->fieldScores[e][r][h] = 4;
    g->fieldScores[3][0][0] = g->fieldScores[5][0][0] = 3;
    int played = 0;
    for (; played < c.holes; ++played) {
      SetStrokes(g, 0, c.golfer[static_cast<size_t>(g->state.hole)], true);
      SetStrokes(g, 1, 6, true);
      g->UpdateHoleScores();
      g->ShowHoleResults();
      uint16_t round = 0, hole = 0;
      if (!g->GetNextHole(&round, &hole)) break;
      g->state.round = round;
      g->state.hole = hole;
    }
    EXPECT_EQ(dialogs.shown, c.dialogs) << c.name;
    ASSERT_GE(g->standings.size(), c.leaders.size()) << c.name;
    for (size_t i = 0; i < c.leaders.size(); ++i) {
      const TTournamentGame::Standing& s = g->standings[i];
      if (c.leaders[i] != 0) {
        EXPECT_EQ(s.entrant, c.leaders[i]) << c.name << " " << i;
      }
      EXPECT_EQ((s.tied ? "T" : "") + std::to_string(s.position), c.places[i]) << c.name << " " << i;
    }
    if (c.dialogs.back().second == 2) {
      EXPECT_EQ(g->gameOver, 1u) << c.name;
      EXPECT_GT(g->standings[0].prize, g->standings[1].prize) << c.name;
    }
    DeleteCurrentGame();
  }
}

TEST_F(ModesTest, ComputerGolfersPlayATournamentAndThePracticeHoles) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(4);
  auto* t = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 1, true));
  PeoplePlay(t, 1);
  t->state.lead = 2;
  t->state.holeCount = 2;
  PlayOut(t);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(t->gameOver, 1u);
  ASSERT_EQ(t->standings.size(), 36u);
  // The leader has the lowest total; the golfer's total comes from its card.
  for (const auto& s : t->standings) EXPECT_GE(s.toPar, t->standings.front().toPar);
  int32_t card = 0;
  for (int r = 0; r < 2; ++r)
    for (int h = 0; h < 2; ++h) card += static_cast<int32_t>(Strokes(t, 0, r, h)) - 4;
  EXPECT_EQ(t->EntrantTotal(TTournamentGame::kFieldComputers), card);

  DeleteCurrentGame();
  frontEnd = 0;
  auto* p = static_cast<TPracticeGame*>(MakeGame(kModePractice, 1, true));
  p->SetHoleMask((1u << 1) | (1u << 4));
  PlayOut(p);
  ASSERT_EQ(frontEnd, 1);
  for (int h = 0; h < 6; ++h) EXPECT_EQ(Strokes(p, 0, 0, h) > 0, h == 1 || h == 4) << h;
}

TEST_F(ModesTest, TheDrivingRangeMeasuresShotsAtTheTarget) {
  UseHole(48, 400, 9);
  Svc().scene->SeedRandom15(6);
  auto* g = static_cast<TDrivingRangeGame*>(MakeGame(kModeDrivingRange, 1, true));
  g->shotLimit = 4;
  g->SetRangeTarget(2);  // 100 yards
  EXPECT_EQ(g->TargetDistance(), 100.0f);
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  ASSERT_EQ(g->shots.size(), 4u);
  for (const auto& s : g->shots) {
    EXPECT_GT(s.carry, 60.0f);
    EXPECT_LT(s.total, 140.0f);
    EXPECT_GE(s.total, s.carry - 5.0f);
  }
  EXPECT_GT(g->LongestCarry(), 60.0f);
  g->SetRangeTarget(99);
  EXPECT_EQ(g->rangeTarget, 10);
}

TEST_F(ModesTest, TheOnlineTournamentReportsEachHole) {
  struct Reporter : NetworkProvider {
    std::vector<int> strokes;
    void ReportTournamentHole(const std::string&, int, int, int s) override { strokes.push_back(s); }
  } reporter;
  Svc().network = &reporter;
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(2);
  TGame* g = MakeGame(kModeNetTournament, 1, true);
  g->state.holeCount = 2;
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(reporter.strokes, (std::vector<int>{static_cast<int>(Strokes(g, 0, 0, 0)), static_cast<int>(Strokes(g, 0, 0, 1))}));
  DeleteCurrentGame();
  Svc().network = fakes.Installed().network;
}

TEST_F(ModesTest, StatisticsAreWrittenAtGameOverAndReadBackFromTheGolferFile) {
  UseHole(40, 150, 4);
  std::filesystem::create_directories(dir / "Players");
  Svc().scene->SeedRandom15(12);
  auto* g = static_cast<TSkinsGame*>(MakeGame(kModeSkins, 2, true));
  g->state.holeCount = 18;
  g->golferFolder = "T:\\Players";
  g->players->GetPlayer(1)->flags |= kGolferNoFile;
  PlayOut(g, 2000);
  ASSERT_EQ(frontEnd, 1);
  playerInfo_s back;
  ASSERT_EQ(LoadGolferFile("T:\\Players", "Golfer 1", back), kGolferFileOk);
  EXPECT_FALSE(std::filesystem::exists(dir / "Players" / "Golfer 2.amt"));
  uint32_t total = 0, gir = 0, girPutts = 0, birdies = 0, saves = 0;
  TPlayer* p = g->players->GetPlayer(0);
  for (int h = 0; h < 18; ++h) {
    uint32_t strokes = 0, putts = 0;
    p->GetHoleScore(0, h, &strokes, &putts);
    total += strokes;
    const bool hit = static_cast<int>(strokes - putts) <= 2;
    gir += hit ? 1 : 0;
    girPutts += hit ? putts : 0;
    birdies += strokes == 3 ? 1 : 0;
    saves += !hit && strokes <= 4 ? 1 : 0;
  }
  EXPECT_EQ(back.GetStatistic(kStatRoundsPlayed), 1u);
  EXPECT_EQ(back.GetStatistic(kStatTotalStrokes), total);
  EXPECT_EQ(back.GetStatistic(kStatBestRound), total);
  EXPECT_EQ(back.GetStatistic(kStatHolesPlayed), 18u);
  EXPECT_EQ(back.GetStatistic(kStatGreensInRegulation), gir);
  EXPECT_EQ(back.GetStatistic(kStatPuttsOnGreensHit), girPutts);
  EXPECT_EQ(back.GetStatistic(kStatBirdies), birdies);
  EXPECT_EQ(back.GetStatistic(kStatParSaves), saves);
  EXPECT_EQ(back.GetStatistic(kStatSkinsWins), g->skinsWon[0]);
  EXPECT_EQ(back.GetStatistic(kStatSkinsEarnings), g->moneyWon[0]);
  // Every hole is a par 4: eighteen tee shots, measured unless lost, the longest among them.
  EXPECT_EQ(back.GetStatistic(kStatFairwayChances), 18u);
  EXPECT_LE(back.GetStatistic(kStatFairwaysHit), back.GetStatistic(kStatDrivesMeasured));
  EXPECT_GE(back.GetStatistic(kStatDrivesMeasured), 15u);
  EXPECT_GT(back.GetStatistic(kStatLongestDrive), 100u);
  EXPECT_LE(back.GetStatistic(kStatLongestDrive) * back.GetStatistic(kStatDrivesMeasured),
            back.GetStatistic(kStatDrivingYards) * 2);
  EXPECT_GE(back.GetStatistic(kStatLongestDrive) * back.GetStatistic(kStatDrivesMeasured),
            back.GetStatistic(kStatDrivingYards));
}

TEST_F(ModesTest, ALiveShotIsRecordedForTheReplay) {
  static std::vector<Vector3> frames;
  static int starts = 0, stops = 0;
  frames.clear();
  starts = stops = 0;
  BallReplaySink sink;
  sink.startRecording = [](uint32_t) { ++starts; };
  sink.appendFrame = [](uint32_t, const Vector3* at, const BallEventRecord*, const Vector3*) { frames.push_back(*at); };
  sink.stopRecording = [](uint32_t) { ++stops; };
  BallSetReplaySink(sink);
  UseHole(48, 200, 9);
  TGame* g = MakeGame(kModeStroke, 1, true);
  ASSERT_EQ(g->LoadHole(), 0);
  g->SetCurrentPlayer(0);
  TPlayer* p = g->players->GetPlayer(0);
  p->TakeTurn();
  BallSetReplaySink(BallReplaySink{});
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(stops, 1);
  ASSERT_GT(frames.size(), 10u);
  EXPECT_EQ(frames.back().x, p->ball.position.x);
  EXPECT_EQ(frames.back().y, p->ball.position.y);
}

TEST_F(ModesTest, SavedShotsPlayBackToWhereTheyCameToRest) {
  UseHole(48, 260, 9);
  Svc().scene->SeedRandom15(21);
  HighlightShots().clear();
  TGame* g = MakeGame(kModeStroke, 1, true);
  g->SetOptionField(0, 2);  // strong wind
  g->view->seed = 77;
  ASSERT_EQ(g->LoadHole(), 0);
  EXPECT_GE(g->windSpeed, 8);
  EXPECT_FALSE(g->SaveLastShot());  // nothing played yet
  TPlayer* p = g->players->GetPlayer(0);
  std::vector<Vector3> live;
  for (int shot = 0; shot < 4 && !p->holedOut; ++shot) {
    g->SetCurrentPlayer(0);
    p->TakeTurn();
    ASSERT_TRUE(g->SaveLastShot());
    live.push_back(p->ball.Flag(kBallFlagWater) || p->ball.Flag(kBallFlagOutOfBounds) ? g->lastShot.rest
                                                                                       : p->ball.position);
  }
  ASSERT_GE(live.size(), 2u);
  ASSERT_EQ(HighlightShots().size(), live.size());
  int highlightScreens = 0;
  struct FrontEnd : FrontEndProvider {
    int* count;
    void ShowHighlightsScreen() override { ++*count; }
  } frontEndFake;
  frontEndFake.count = &highlightScreens;
  FrontEndProvider* keep = Svc().frontEnd;
  Svc().frontEnd = &frontEndFake;
  DeleteCurrentGame();
  // Another hole loaded in between: the playback loads the shot's own.
  ASSERT_TRUE(holewriter::WriteHole(holewriter::DemoHole(40, 150, 4), (dir / "OTHER").string()));
  ASSERT_EQ(LoadHoleData("T:\\OTHER.hnf"), kHoleOk);
  THighlightGame h;
  h.shots = HighlightShots();
  h.StartHole();
  Svc().frontEnd = keep;
  EXPECT_EQ(highlightScreens, 1);
  ASSERT_EQ(h.rests.size(), live.size());
  for (size_t i = 0; i < live.size(); ++i) {
    EXPECT_EQ(std::memcmp(&h.rests[i], &live[i], sizeof(Vector3)), 0) << i;
  }
  // A network game keeps no highlights.
  TGame* net = MakeGame(kModeStroke, 1, true);
  net->hasLastShot = true;
  net->networked = 1;
  EXPECT_FALSE(net->SaveLastShot());
  HighlightShots().clear();
}

std::vector<uint8_t> SaveCurrent() {
  std::vector<uint8_t> buf(65536);
  SerialTarget s = SerialTarget::OverMemory(buf.data(), buf.size());
  EXPECT_TRUE(CurrentGame()->SaveToStream(&s));
  buf.resize(static_cast<size_t>(s.cursor - buf.data()));
  return buf;
}

int LoadBytes(const std::vector<uint8_t>& bytes) {
  SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
  return LoadGameFromStream(&s);
}

// Each mode's own state comes back from a saved game; cut short, the saved game is refused and the current
// game stays.
TEST_F(ModesTest, SavedGamesKeepEachModesState) {
  struct Case {
    int mode;
    void (*set)(TGame*);
    bool (*same)(TGame*);
  } cases[] = {
      {kModeMatchPlay,
       [](TGame* g) {
         auto* m = static_cast<TMatchPlayGame*>(g);
         m->holeResults[0][0] = TMatchPlayGame::kWonBySide1;
         m->holeResults[0][1] = TMatchPlayGame::kHalved;
         m->holesWon[1] = 1;
         m->holesPlayed = 2;
       },
       [](TGame* g) {
         auto* m = static_cast<TMatchPlayGame*>(g);
         return m->holeResults[0][0] == TMatchPlayGame::kWonBySide1 && m->holesWon[1] == 1 && m->holesPlayed == 2 &&
                m->holeConcededBy == -1;
       }},
      {kModeFourBall,
       [](TGame* g) {
         auto* m = static_cast<TFourBallGame*>(g);
         m->strokeForm = 1;
         m->sideTotals[1] = -3;
       },
       [](TGame* g) {
         auto* m = static_cast<TFourBallGame*>(g);
         return m->strokeForm == 1u && m->sideTotals[1] == -3 && m->sideTotals[0] == 0;
       }},
      {kModeFoursome,
       [](TGame* g) {
         auto* m = static_cast<TFoursomeGame*>(g);
         m->holesWon[0] = 1;
         m->holesPlayed = 1;
         m->nextToPlay[1] = 3;
       },
       [](TGame* g) {
         auto* m = static_cast<TFoursomeGame*>(g);
         return m->holesWon[0] == 1 && m->nextToPlay[1] == 3 && m->nextToPlay[0] == 0;
       }},
      {kModeSkins,
       [](TGame* g) {
         auto* k = static_cast<TSkinsGame*>(g);
         k->holeWinner[0] = TSkinsGame::kCarried;
         k->holeWinner[1] = 2;
         k->skinsWon[2] = 2;
         k->moneyWon[2] = 40000;
         k->holesPlayed = 2;
       },
       [](TGame* g) {
         auto* k = static_cast<TSkinsGame*>(g);
         return k->holeWinner[0] == TSkinsGame::kCarried && k->holeWinner[1] == 2 && k->skinsWon[2] == 2 &&
                k->moneyWon[2] == 40000u && k->holeWinner[2] == TSkinsGame::kNotPlayed;
       }},
      {kModeTournament,
       [](TGame* g) {
         auto* t = static_cast<TTournamentGame*>(g);
         t->fieldScores[3][0][0] = 5;
         t->present[7] = false;
         t->cutMade = 1;
         t->cutAfterRound = 1;
         t->playoff = 1;
         t->playoffOut = 0x6;
       },
       [](TGame* g) {
         auto* t = static_cast<TTournamentGame*>(g);
         return t->fieldScores[3][0][0] == 5 && !t->present[7] && t->present[8] && t->cutMade == 1 &&
                t->cutAfterRound == 1 && t->playoff == 1u && t->playoffOut == 0x6 && t->tieFlag == 0u &&
                t->simulateToEnd == 0u;
       }},
      {kModePractice, [](TGame* g) { static_cast<TPracticeGame*>(g)->SetHoleMask(0x24); },
       [](TGame* g) { return static_cast<TPracticeGame*>(g)->holeMask == 0x24u; }},
      {kModeDrivingRange,
       [](TGame* g) {
         auto* r = static_cast<TDrivingRangeGame*>(g);
         r->facility = 2;
         r->SetRangeTarget(7);
       },
       [](TGame* g) {
         auto* r = static_cast<TDrivingRangeGame*>(g);
         return r->facility == 2u && r->rangeTarget == 7;
       }},
      {kModeNetTournament, [](TGame* g) { static_cast<CINetTournamentGame*>(g)->reportLevel = 3; },
       [](TGame* g) { return static_cast<CINetTournamentGame*>(g)->reportLevel == 3u; }},
  };
  for (const Case& c : cases) {
    DeleteCurrentGame();
    TGame* g = MakeGame(c.mode, 4);
    c.set(g);
    const std::vector<uint8_t> bytes = SaveCurrent();
    DeleteCurrentGame();
    ASSERT_EQ(LoadBytes(bytes), 0) << c.mode;
    ASSERT_NE(CurrentGame(), nullptr);
    EXPECT_EQ(CurrentGame()->mode, c.mode);
    EXPECT_TRUE(c.same(CurrentGame())) << c.mode;
    TGame* before = CurrentGame();
    EXPECT_EQ(LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.end() - 3)), 2) << c.mode;
    EXPECT_EQ(CurrentGame(), before) << c.mode;
  }
  // A damaged match record (a hole result that cannot be) is refused.
  DeleteCurrentGame();
  MakeGame(kModeMatchPlay, 2);
  std::vector<uint8_t> bytes = SaveCurrent();
  bytes[bytes.size() - 6 - kRounds * kHoles] = 9;
  EXPECT_EQ(LoadBytes(bytes), 2);
}

// The round reaches the other layers through the providers: the screen when a hole loads, the scene's hole
// seed before its first shot, the interface before each shot, the commentary as it begins.
TEST_F(ModesTest, TheRoundCallsTheOtherLayersThroughTheProviders) {
  struct Round : RoundInterfaceProvider {
    std::vector<int> screens;
    int updates = 0;
    void SetHoleScreen(int mode) override { screens.push_back(mode); }
    void UpdateInterface() override { ++updates; }
  } round;
  struct Scene : SceneProvider {
    std::vector<uint32_t> seeds;
    void PrepareHole(uint32_t seed) override { seeds.push_back(seed); }
  } scene;
  struct Sound : SoundProvider {
    int comments = 0;
    void PreShotCommentary() override { ++comments; }
  } sound;
  Svc().round = &round;
  Svc().scene = &scene;
  Svc().sound = &sound;
  UseHole(48, 200, 9);
  TGame* g = MakeGame(kModeSkins, 2, true);
  g->state.holeCount = 2;
  PlayOut(g);
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(round.screens, (std::vector<int>{kModeSkins, kModeSkins}));
  // Each hole draws its seed when it starts.
  ASSERT_EQ(scene.seeds.size(), 2u);
  EXPECT_EQ(scene.seeds.back(), g->view->seed);
  const std::vector<uint32_t> ids = TakeDispatched();
  const long shots = std::count(ids.begin(), ids.end(), static_cast<uint32_t>(kGolfShotBegins));
  EXPECT_GE(shots, 6);
  EXPECT_EQ(sound.comments, shots);
  EXPECT_EQ(round.updates, shots);
  DeleteCurrentGame();
  InstallServices(fakes.Installed());
}

TEST_F(ModesTest, ShotsListTheirDivotAndContactsAndTheOverheadMarksTheBalls) {
  UseHole(48, 260, 9);
  Svc().scene->SeedRandom15(31);
  TGame* g = MakeGame(kModeStroke, 2, true);
  g->SetOptionField(0, 0);
  ASSERT_EQ(g->LoadHole(), 0);
  g->SetCurrentPlayer(0);
  TPlayer* p = g->players->GetPlayer(0);
  p->TakeTurn();
  // From the tee: no divot; the contacts are the ball's.
  ASSERT_FALSE(CollisionList().empty());
  EXPECT_EQ(CollisionList().front().value, p->ball.stepList[0].kind);
  EXPECT_EQ(CollisionList().front().at.y, p->ball.stepList[0].position.y);
  // From the fairway (put there): the divot first, where the ball lay.
  PlaceBallAt(p, Vector3{g->teePosition.x, g->teePosition.y + 120.0f, 0.0f});
  ASSERT_EQ(p->ball.lie & 0x0F, 1);
  const Vector3 from = p->ball.position;
  g->SetCurrentPlayer(0);
  p->TakeTurn();
  // The divot, then the ball's contacts (none for a chip that runs from the face).
  ASSERT_EQ(CollisionList().size(), 1u + std::min<size_t>(p->ball.Flag(kBallFlagStepCount), 19));
  EXPECT_EQ(CollisionList().front().value, 0);
  EXPECT_EQ(CollisionList().front().at.y, from.y);
  EXPECT_LE(CollisionList().size(), kCollisionListSize);
  for (int k = 0; k < 30; ++k) CollisionListAdd(0.0f, 0.0f, 0.0f, 1);
  EXPECT_EQ(CollisionList().size(), kCollisionListSize);

  TOverhead overhead(96, 520);
  int32_t tx = 0, ty = 0, px = 0, py = 0;
  ASSERT_TRUE(overhead.Project(g->teePosition, &tx, &ty));
  ASSERT_TRUE(overhead.Project(g->pinPosition, &px, &py));
  EXPECT_LT(py, ty);  // the pin is up the picture from the tee
  EXPECT_FALSE(overhead.Project(Vector3{1000.0f, 0.0f, 0.0f}, &px, &py));
  const auto marks = overhead.Marks(*g);
  ASSERT_EQ(marks.size(), 3u);  // two balls and the pin
  EXPECT_EQ(marks[0].slot, 0);
  EXPECT_EQ(marks[2].slot, 4);
  p->holedOut = 1;
  EXPECT_EQ(overhead.Marks(*g).size(), 2u);
}

TEST_F(ModesTest, TheOnlineLeaderBoardIsReadByEntry) {
  auto* g = static_cast<CINetTournamentGame*>(MakeGame(kModeNetTournament, 1));
  EXPECT_EQ(g->GetLeaderEntry(0), nullptr);
  g->SetLeaderBoard({{"Ash", 1, false, 0, 18, 68, -4}, {"Golfer 1", 2, true, 1, 17, 70, -2}, {"Birch", 2, true, 0, 18, 70, -2}});
  struct Case {
    int entry;
    const char* name;
    int position;
    bool tied;
    int highlight, holes, summary, toPar;
  };
  for (const Case& c : {Case{0, "Ash", 1, false, 0, 18, 68, -4}, Case{1, "Golfer 1", 2, true, 1, 17, 70, -2},
                        Case{2, "Birch", 2, true, 0, 18, 70, -2}, Case{3, nullptr, 0, false, 0, 0, 0, 0},
                        Case{-1, nullptr, 0, false, 0, 0, 0, 0}}) {
    const auto* e = g->GetLeaderEntry(c.entry);
    ASSERT_EQ(e != nullptr, c.name != nullptr) << c.entry;
    if (c.name) {
      EXPECT_EQ(e->name, c.name);
    }
    EXPECT_EQ(g->GetLeaderPosition(c.entry), c.position) << c.entry;
    EXPECT_EQ(g->IsLeaderTied(c.entry), c.tied) << c.entry;
    EXPECT_EQ(g->GetLeaderWord4(c.entry), c.highlight) << c.entry;
    EXPECT_EQ(g->GetLeaderWord9(c.entry), c.holes) << c.entry;
    EXPECT_EQ(g->GetLeaderWord10(c.entry), c.summary) << c.entry;
    EXPECT_EQ(g->GetLeaderWord11(c.entry), c.toPar) << c.entry;
  }
  EXPECT_EQ(g->LeaderCount(), 3);
}

TEST_F(ModesTest, TheTournamentShowsItsStandingsAfterEveryHole) {
  UseHole(48, 200, 9);
  Svc().scene->SeedRandom15(7);
  struct Dialog {
    int notice, kind, delay;
    uint32_t open;
    size_t fieldScored;  // entrants of the field with a score on the hole just played
  };
  struct FrontEnd : FrontEndProvider {
    std::vector<Dialog> shown;
    int* ended = nullptr;
    void ShowTourneyStandings(int notice, int kind, int delay) override {
      TGame* g = CurrentGame();
      uint32_t open = 0;
      size_t scored = 0;
      if (auto* t = dynamic_cast<TTournamentGame*>(g)) {
        open = t->dialogOpen;
        for (int e = 0; e < TTournamentGame::kFieldComputers; ++e)
          scored += t->fieldScores[e][t->state.round][t->state.firstHole + t->state.holeCount - 1] ? 1 : 0;
      } else if (auto* n = dynamic_cast<CINetTournamentGame*>(g)) {
        open = n->dialogOpen;
      }
      shown.push_back({notice, kind, delay, open, scored});
    }
    void ReturnToFrontEnd() override { ++*ended; }
  } dialogs;
  dialogs.ended = &frontEnd;
  Svc().frontEnd = &dialogs;
  auto* t = static_cast<TTournamentGame*>(MakeGame(kModeTournament, 2, true));
  PeoplePlay(t, 2);
  t->state.lead = 2;
  t->state.holeCount = 3;
  PlayOut(t);
  ASSERT_EQ(frontEnd, 1);
  // Pages: the opening standings, in the round after holes 1 and 2, the round's results after its last hole (the
  // field's scores of the round filled by then), the final results after the last hole of the last round.
  // A round whose lead is not shared: no playoff (those pages are tested on their own).
  ASSERT_EQ(t->playoff, 0u);
  ASSERT_EQ(dialogs.shown.size(), 7u);
  const int kinds[] = {0, 0, 0, 1, 0, 0, 2};
  EXPECT_EQ(dialogs.shown[0].fieldScored, 0u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(dialogs.shown[i].kind, kinds[i]) << i;
    EXPECT_EQ(dialogs.shown[i].notice, 0) << i;
    EXPECT_EQ(dialogs.shown[i].delay, 0) << i;
    EXPECT_EQ(dialogs.shown[i].open, 1u) << i;
    if (kinds[i] != 0) {
      EXPECT_EQ(dialogs.shown[i].fieldScored, 35u) << i;
    }
  }
  EXPECT_EQ(t->dialogOpen, 0u);
  // The final page shows the prizes: first place's share of the purse (or its tied share).
  ASSERT_FALSE(t->standings.empty());
  EXPECT_GT(t->standings.front().prize, 0u);

  // The online tournament shows the server's board, refreshed every 5 seconds until its last page.
  DeleteCurrentGame();
  frontEnd = 0;
  dialogs.shown.clear();
  TGame* n = MakeGame(kModeNetTournament, 1, true);
  n->state.holeCount = 2;
  PlayOut(n);
  ASSERT_EQ(frontEnd, 1);
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].kind, 0);
  EXPECT_EQ(dialogs.shown[0].delay, 5);
  EXPECT_EQ(dialogs.shown[1].kind, 0);
  EXPECT_EQ(dialogs.shown[1].delay, 0);
}

}  // namespace
}  // namespace rules

// The tournament's leader board: its rows, a lead no person shares at the end, the cut, paging, and the pages as
// drawn in the standings dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/tourneydlg.h"
#include "golf/modes.h"
#include "roundui/leaderboard.h"
#include "screen_fixture.h"

namespace {

using roundtest::RoundPictures;

// A tournament of four rounds in its second round: the field has played round 1 (every hole in par but the first,
// which entrant e plays in par - 1 + e % 3) and two holes of round 2; Ada, the game's golfer, is in the field.
TTournamentGame* MakeTournament() {
  if (CreateGame(kModeTournament) != 1) return nullptr;
  auto* t = dynamic_cast<TTournamentGame*>(CurrentGame());
  t->state.lead = 4;
  t->state.holeCount = 18;
  t->state.firstHole = 0;
  t->state.round = 1;
  TPlayer* ada = t->players->GetPlayer(0);
  ada->flags |= kGolferTakesPart | kGolferFlag5;
  std::snprintf(ada->name, sizeof ada->name, "%s", "Ada Birchall");
  for (int h = 0; h < 18; ++h) ada->SetHoleScore(0, h, 4, 0);
  for (int h = 0; h < 2; ++h) ada->SetHoleScore(1, h, 3, 0);
  t->present[TTournamentGame::kFieldComputers] = true;
  for (int e = 0; e < TTournamentGame::kFieldComputers; ++e) {
    t->present[e] = true;
    for (int h = 0; h < 18; ++h) t->fieldScores[e][0][h] = 4;
    t->fieldScores[e][0][0] = static_cast<uint8_t>(3 + e % 3);
    t->fieldScores[e][1][0] = t->fieldScores[e][1][1] = 4;
  }
  t->ComputeStandings();
  return t;
}

class LeaderBoardTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(t = MakeTournament(), nullptr); }
  void TearDown() override { DeleteCurrentGame(); }
  LeaderRow Row(size_t i) {
    LeaderRow r;
    EXPECT_TRUE(LeaderRowAt(*t, i, &r)) << i;
    return r;
  }
  TTournamentGame* t = nullptr;
};

TEST_F(LeaderBoardTest, RowsOfTheStandings) {
  ASSERT_EQ(t->standings.size(), 36u);
  // Ada leads alone at -2; twelve of the field share second place at -1.
  const LeaderRow ada = Row(0);
  EXPECT_EQ(ada.position, "1");
  EXPECT_EQ(ada.name, "Ada Birchall");
  EXPECT_EQ(ada.total, "-2");
  EXPECT_EQ(ada.hole, "2");
  EXPECT_EQ(ada.summary, "72-70");
  EXPECT_TRUE(ada.highlight);
  const LeaderRow second = Row(1);
  EXPECT_EQ(second.position, "T2");
  EXPECT_EQ(second.total, "-1");
  EXPECT_EQ(second.summary, "71-72");
  EXPECT_FALSE(second.highlight);
  EXPECT_EQ(Row(35).total, "+1");
  EXPECT_EQ(OwnGolferRows(*t), std::vector<size_t>{0});
  LeaderRow none;
  EXPECT_FALSE(LeaderRowAt(*t, 36, &none));
}

TEST_F(LeaderBoardTest, ALeadNoPersonSharesGoesToTheFirstPlacedOnceTheTournamentIsOver) {
  // Ada drops back in the second round: the field's twelve at -1 share the lead while the tournament runs.
  for (int h = 0; h < 2; ++h) t->players->GetPlayer(0)->SetHoleScore(1, h, 5, 0);
  t->ComputeStandings();
  ASSERT_EQ(Row(0).position, "T1");
  ASSERT_EQ(Row(1).position, "T1");
  // A one-round tournament is over after the first: the first placed wins outright.
  t->state.lead = 1;
  t->state.round = 0;
  for (int h = 0; h < 18; ++h) t->players->GetPlayer(0)->SetHoleScore(0, h, h == 0 ? 5 : 4, 0);
  t->ComputeStandings();
  const int leader = t->standings[0].entrant;
  EXPECT_LT(leader, TTournamentGame::kFieldComputers);
  EXPECT_EQ(Row(0).position, "1");
  EXPECT_EQ(Row(0).total, "-1");
  EXPECT_EQ(Row(1).position, "T2");
  EXPECT_EQ(Row(1).total, "-1");
  EXPECT_GT(t->standings[0].prize, t->standings[1].prize);
  // Ada shares the lead: it stays shared (she plays it off)...
  t->players->GetPlayer(0)->SetHoleScore(0, 0, 3, 0);
  t->ComputeStandings();
  EXPECT_EQ(t->standings[0].entrant, leader);
  EXPECT_EQ(Row(0).position, "T1");
  // ...unless the computer plays her and she stands for nobody.
  t->players->GetPlayer(0)->flags &= ~kGolferFlag5;
  t->ComputeStandings();
  EXPECT_EQ(Row(0).position, "1");
  EXPECT_EQ(Row(1).position, "T2");
}

TEST_F(LeaderBoardTest, EntrantsOutOfTheTournamentMissTheCut) {
  // A computer entrant cut from the field and the game's golfer out of the tournament.
  t->cutMade = 1;
  t->present[t->standings[30].entrant] = false;
  t->players->GetPlayer(0)->flags |= kGolferOut;
  for (size_t i : {size_t{0}, size_t{30}}) {
    const LeaderRow r = Row(i);
    EXPECT_TRUE(r.missedCut) << i;
    EXPECT_EQ(r.winnings, " ");
  }
  EXPECT_FALSE(Row(1).missedCut);
  EXPECT_NE(Row(1).winnings, " ");
}

// Draws the standings as the round interface does.
class Standings : public RoundInterfaceProvider {
 public:
  void DrawStandings(CTourneyDlg& d) override {
    DrawLeaderBoardPage(d);
    DrawLeaderBoard(d);
  }
};

class LeaderBoardPictures : public RoundPictures {
 protected:
  void SetUp() override {
    RoundPictures::SetUp();
    roundtest::UseDemoArtFolders();
    Svc().round = &standings_;
    ASSERT_NE(t = MakeTournament(), nullptr);
  }
  void TearDown() override {
    FreeFrontEndFonts();
    Folders() = DataFolders{};
    RoundPictures::TearDown();
  }
  Standings standings_;
  TTournamentGame* t = nullptr;
};

TEST_F(LeaderBoardPictures, PagesOfKindsZeroAndTwoAndMoreWraps) {
  for (int kind : {0, 2}) {
    CTourneyDlg d(0, kind);
    d.AddContinueButton(CTourneyDlg::EndWithContinue);
    CDialogTxtBtn* more = d.AddMoreButton(65, 293, NextStandingsPage);
    d.DrawAll(0);
    d3dtest::ExpectGolden(Crop(d.x, d.y, d.width, d.height), kind ? "leaderboard_final" : "leaderboard_round", 0,
                          "roundui");
    EXPECT_EQ(d.rowCount, 36);
    ASSERT_GT(d.rowsPerPage, 1);
    std::vector<int> firsts;
    for (int page = 0; page < (d.rowCount + d.rowsPerPage - 1) / d.rowsPerPage; ++page) {
      NextStandingsPage(more);
      firsts.push_back(d.firstRow);
    }
    EXPECT_EQ(firsts.back(), 0) << "More on the last page starts again";
    for (size_t i = 0; i + 1 < firsts.size(); ++i) EXPECT_EQ(firsts[i], static_cast<int>(i + 1) * d.rowsPerPage);
  }
}

}  // namespace

namespace {

// The final results close with Escape, a network game's standings by themselves; either way the round is told once
// to go on, and the game ends it after keeping the cards.
TEST_F(LeaderBoardPictures, ClosingTheStandingsSendsTheRoundOn) {
  roundtest::MakeGolfWindow();
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  ShowTourneyStandings(0, 2, 0);
  EXPECT_EQ(roundtest::PostedGolfMessages(), std::vector<uint32_t>{kGolfAfterStatus});
  t->SetNetworkGame(1);
  ShowTourneyStandings(0, 0, 0);
  EXPECT_EQ(roundtest::PostedGolfMessages(), std::vector<uint32_t>{kGolfAfterStatus});
  // Stage 3: no notice and nothing told.
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  ShowTourneyStandings(1, 3, 0);
  EXPECT_TRUE(roundtest::PostedGolfMessages().empty());
  roundtest::DestroyGolfWindow();
}

// A tie for the lead that a person shares: the standings announce the playoff once they close, and a playoff hole
// that settles nothing announces another; the round goes on either way.
TEST_F(LeaderBoardPictures, ThePlayoffIsAnnouncedOnceTheStandingsClose) {
  struct Notices : FrontEndProvider {
    std::vector<std::string> shown;
    int ShowNotice(const std::string& text) override {
      shown.push_back(text);
      return 1;
    }
  } notices;
  Svc().frontEnd = &notices;
  roundtest::MakeGolfWindow();
  const struct {
    int notice;
    const char* text;
  } cases[] = {{1, "Players are tied.  Let's go to a playoff hole."},
               {2, "Players are still tied. Let's go to another playoff hole."},
               {0, nullptr}};
  for (const auto& c : cases) {
    notices.shown.clear();
    PostMessageA(nullptr, WM_CHAR, 27, 0);
    ShowTourneyStandings(c.notice, 1, 0);
    EXPECT_EQ(notices.shown, c.text ? std::vector<std::string>{c.text} : std::vector<std::string>{}) << c.notice;
    EXPECT_EQ(roundtest::PostedGolfMessages(), std::vector<uint32_t>{kGolfAfterStatus}) << c.notice;
  }
  roundtest::DestroyGolfWindow();
}

}  // namespace

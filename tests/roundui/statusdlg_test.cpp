// The status dialogs between holes: what they show, when they close by themselves and what the round is told.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frontend/control.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"
#include "mmsystem.h"
#include "roundui/statusdlg.h"
#include "screen_fixture.h"

namespace {

using roundtest::RoundPictures;

class ErrorBoxes : public FrontEndProvider {
 public:
  void ErrorBox(int code, const char*, int) override { codes.push_back(code); }
  std::vector<int> codes;
};

class StatusDialogTest : public RoundPictures {
 protected:
  void SetUp() override {
    RoundPictures::SetUp();
    roundtest::UseDemoArtFolders();
    Svc().frontEnd = &boxes_;
    roundtest::MakeGolfWindow();
    SetFireWindow(GolfMainWindow);
  }
  void TearDown() override {
    SetFireWindow(nullptr);
    roundtest::DestroyGolfWindow();
    FreeFrontEndFonts();
    Folders() = DataFolders{};
    RoundPictures::TearDown();
  }
  TGame* Game(int mode, int golfers, const std::vector<const char*>& names) {
    EXPECT_EQ(CreateGame(mode), 1);
    TGame* g = CurrentGame();
    g->courseName = "SEDGEFEN^Sedgefen Links";
    for (int s = 0; s < golfers; ++s) {
      TPlayer* p = g->players->GetPlayer(s);
      p->flags |= kGolferTakesPart;
      std::snprintf(p->name, sizeof p->name, "%s", names[static_cast<size_t>(s)]);
    }
    return g;
  }
  static std::vector<uint32_t> Posted() { return roundtest::PostedGolfMessages(); }
  static void Escape() { PostMessageA(nullptr, WM_CHAR, 27, 0); }
  ErrorBoxes boxes_;
};

TEST_F(StatusDialogTest, OnlyAnUndecidedNetworkGameClosesByItself) {
  TGame* g = Game(kModeMatchPlay, 2, {"Ada", "Tom"});
  const struct {
    bool network;
    bool decided;
    StatusKind kind;
    uint32_t timeout;
    int result;
  } cases[] = {
      {false, false, StatusKind::kMatchPlay, 0, 0},      {true, false, StatusKind::kMatchPlay, 10000, 3},
      {true, false, StatusKind::kShootout, 10000, 0},    {true, true, StatusKind::kSkins, 0, 0},
  };
  for (const auto& c : cases) {
    g->SetNetworkGame(c.network ? 1 : 0);
    g->gameOver = c.decided ? 1 : 0;
    CTourneyDlg dialog(0, 0);
    ASSERT_NE(ArmStatusDialog(dialog, c.kind), nullptr);
    EXPECT_EQ(dialog.timeout, c.timeout) << c.network << c.decided;
    if (c.timeout) {
      EXPECT_EQ(dialog.timeoutResult, c.result);
    }
  }
}

TEST_F(StatusDialogTest, TheRoundGoesOnOrLeavesOnceWhicheverWayTheDialogCloses) {
  TGame* g = Game(kModeMatchPlay, 2, {"Ada", "Tom"});
  // A network game left alone: ten seconds, then on.
  g->SetNetworkGame(1);
  const uint32_t start = timeGetTime();
  ShowMatchPlayStatus();
  EXPECT_GE(timeGetTime() - start, 10000u);
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfAfterStatus});
  // A decided game leaves the round.
  g->SetNetworkGame(0);
  g->gameOver = 1;
  Escape();
  ShowMatchPlayStatus();
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfEndGame});
  // No dialog could be made: told, and the round still goes on.
  g->gameOver = 0;
  RunStatusDialog(nullptr, StatusKind::kSkins);
  EXPECT_EQ(boxes_.codes, std::vector<int>{2});
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfAfterStatus});
}

TEST_F(StatusDialogTest, TheShootoutsContinuePostsOnceFromItsClick) {
  Game(kModeShootout, 3, {"Ada", "Tom", "Kit"});
  auto* dialog = new CShootoutDlg(-1);
  CDialogTxtBtn* next = ArmStatusDialog(*dialog, StatusKind::kShootout);
  next->PostFire();
  // RunStatusDialog arms the dialog again; the first Continue is the one fired.
  RunStatusDialog(dialog, StatusKind::kShootout);
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfAfterStatus});
  Escape();
  ShowShootoutStatus(-1);
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfAfterStatus});
}

TEST(MatchStatus, TheStandingWordAndTheSummary) {
  EXPECT_EQ(MatchStatusWord(0), "even");
  EXPECT_EQ(MatchStatusWord(3), "3-up");
  EXPECT_EQ(MatchStatusWord(-2), "");
  EXPECT_EQ(StatusTitle("Skins Game at %s", "SEDGEFEN^Sedgefen Links"), "Skins Game at SEDGEFEN");
  ASSERT_EQ(CreateGame(kModeMatchPlay), 1);
  auto* m = dynamic_cast<TMatchPlayGame*>(CurrentGame());
  ASSERT_NE(m, nullptr);
  m->state.holeCount = 18;
  for (int s = 0; s < 2; ++s) {
    m->players->GetPlayer(s)->flags |= kGolferTakesPart;
    std::snprintf(m->players->GetPlayer(s)->name, 16, "%s", s ? "Tom" : "Ada");
  }
  const struct {
    uint16_t won0, won1, played;
    const char* summary;
  } cases[] = {
      {2, 2, 4, "Match is all square, with 14 hole(s) to play."},
      {5, 2, 9, "Ada 3-up, with 9 hole(s) to play."},
      {1, 6, 15, "Tom wins the match by 5 hole(s), with 3 hole(s) to play."},
      {6, 6, 18, "Match is tied."},
  };
  for (const auto& c : cases) {
    m->holesWon[0] = c.won0;
    m->holesWon[1] = c.won1;
    m->holesPlayed = c.played;
    EXPECT_EQ(MatchSummary(*m), c.summary);
  }
  DeleteCurrentGame();
}

class StatusDialogPictures : public StatusDialogTest {
 protected:
  void Picture(CTourneyDlg* dialog, const char* golden) {
    ArmStatusDialog(*dialog, StatusKind::kSkins);
    dialog->DrawAll(0);
    d3dtest::ExpectGolden(Crop(dialog->x, dialog->y, dialog->width, dialog->height), golden, 0, "roundui");
    delete dialog;
  }
};

TEST_F(StatusDialogPictures, TheThreeDialogs) {
  TGame* g = Game(kModeMatchPlay, 2, {"Ada Birchall", "Tom Ruskin"});
  g->players->GetPlayer(1)->wordA = 6;  // handicap
  auto* match = dynamic_cast<TMatchPlayGame*>(g);
  match->state.holeCount = 18;
  match->holesWon[0] = 4;
  match->holesWon[1] = 2;
  match->holesPlayed = 9;
  Picture(new CMatchPlayDlg(match), "status_match");

  g = Game(kModeShootout, 3, {"Ada Birchall", "Tom Ruskin", "Kit Marlowe"});
  g->players->GetPlayer(2)->flags |= kGolferOut;
  Picture(new CShootoutDlg(-1), "status_shootout");

  g = Game(kModeSkins, 3, {"Ada Birchall", "Tom Ruskin", "Kit Marlowe"});
  auto* skins = dynamic_cast<TSkinsGame*>(g);
  skins->state.hole = 5;
  skins->holesPlayed = 5;
  skins->skinsWon[0] = 2;
  skins->moneyWon[0] = skins->HoleValue(0) + skins->HoleValue(1);
  skins->skinsWon[2] = 1;
  skins->moneyWon[2] = skins->HoleValue(3);
  skins->skinsAtStake = 2;
  Picture(new CSkinsDlg, "status_skins");
  DeleteCurrentGame();
}

}  // namespace

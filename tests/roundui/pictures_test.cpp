// The after-shot menu, the result banners and the score card as drawn on a 640 x 480 screen in the demo
// installation's fonts, compared with golden pictures (TEEBOX_UPDATE_GOLDEN=1 rewrites them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/aftershot.h"
#include "roundui/chatbox.h"
#include "roundui/gameui.h"
#include "roundui/holepanel.h"
#include "roundui/scorecard.h"
#include "roundui/shotclock.h"
#include "roundui/uishapes.h"
#include "roundui/shotresult.h"
#include "screen_fixture.h"
#include "support/demo_installation.h"
#include "support/golden.h"
#include "support/ground.h"
#include "winapi/testing.h"


namespace {

using roundtest::RoundPictures;
using roundtest::kW;
using roundtest::kH;

TEST_F(RoundPictures, AfterShotMenuOverTheView) {
  ASSERT_TRUE(balltest::makeGround(60, 300, 0x10));
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  TGame* g = CurrentGame();
  g->roundRunning = 1;
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart;
  p->SetMulliganRule(1);
  g->hasLastShot = true;
  PlaceBallAt(p, Vector3{0.0f, -100.0f, 0.0f});
  p->ball.position = Vector3{0.0f, 30.0f, 0.0f};
  p->ball.lie = 9;
  p->ball.Flag(kBallFlagOutOfBounds) = 1;
  ASSERT_EQ(CreateAfterShotHandler(), 0);
  BeginAfterShot();
  ASSERT_TRUE(AfterShotMenuShown());
  EXPECT_EQ(AfterShotMenuRows(), "Mulligan, *Rehit, Save shot");
  EXPECT_EQ(ResultBannerTexts(), (std::vector<std::string>{"Out of Bounds: 1 Stroke Penalty"}));
  d3dtest::ExpectGolden(Crop(380, 300, 200, 120), "aftershot_menu", 0, "roundui");
  // The choice takes the menu and the banner off and gives the view back.
  CmdRehit();
  EraseResultBanners();
  const d3dtest::Picture after = Crop(0, 0, kW, kH);
  PaintView();
  const d3dtest::Picture view = Crop(0, 0, kW, kH);
  size_t differ = 0;
  for (size_t i = 0; i < view.rgb.size(); ++i) differ += after.rgb[i] != view.rgb[i];
  EXPECT_EQ(differ, 0u) << "first at " << std::distance(view.rgb.begin(), std::mismatch(view.rgb.begin(), view.rgb.end(), after.rgb.begin()).first);
}

TEST_F(RoundPictures, BannersOneAndTwoLines) {
  ShowResultBanner("Birdie");
  ShowResultBanner("Ada Birchall and Tom Ruskin win the point, two up with three to play");
  EXPECT_EQ(ResultBannersShown(), 2);
  d3dtest::ExpectGolden(Crop(0, 90, kW, 150), "banners", 0, "roundui");
  EraseResultBanners();
  EXPECT_EQ(ResultBannersShown(), 0);
}

// The shot clock of a person's turn in a stroke-play game with the clock on: 30 seconds, counted only while the clock
// runs, white, then red from ten seconds, never below nothing.
class ShotClockPictures : public RoundPictures {
 protected:
  void SetUp() override {
    RoundPictures::SetUp();
    Facts().sizeSetting = 1;  // 640 x 480
    BlitImage(RoleImage(kRoleErase), MARect{0, 0, kW, kH}, DrawnImage(), MARect{0, 0, kW, kH});  // the background
    PathRecord ui{};
    std::snprintf(ui.drive, sizeof ui.drive, "c:");
    PathSetDirectory(&ui, "|DATA|UI640");
    LoadGameUIShapes(&ui);
    ASSERT_NE(GetGameUIShape(kShapeShotClock), 0u);
    ASSERT_EQ(CreateGame(kModeStroke), 1);
    g = CurrentGame();
    g->SetShotClock(true);
    for (int s = 0; s < 2; ++s) {
      TPlayer* p = g->players->GetPlayer(s);
      p->flags |= kGolferTakesPart;
      std::snprintf(p->name, sizeof p->name, "%s", s ? "Tom" : "Ada");
    }
    GameUIManager().inputEnabled = 1;
    clock = CreateShotClock();
    ASSERT_NE(clock, nullptr);
  }
  void TearDown() override {
    delete clock;
    FreeGameUIShapes();
    GameUIManager().inputEnabled = 0;
    RoundPictures::TearDown();
  }
  // Lets the virtual clock run in passes of a tenth of a second.
  void Run(uint32_t ms) {
    for (; ms > 0; ms -= 100) {
      winapi::testing::AdvanceClock(100);
      clock->OnIdle();
    }
  }
  TGame* g = nullptr;
  TShotClockUI* clock = nullptr;
};

TEST_F(ShotClockPictures, CountsOnlyWhileItRunsAndTurnsRed) {
  clock->Restart();
  Run(5000);
  EXPECT_EQ(clock->Remaining(), 25u);
  d3dtest::ExpectGolden(Crop(250, 0, 140, 64), "shotclock_white", 0, "roundui");
  GameUIManager().inputEnabled = 0;  // the swing: no time is counted
  Run(20000);
  EXPECT_EQ(clock->Remaining(), 25u);
  GameUIManager().inputEnabled = 1;
  Run(15000);
  EXPECT_EQ(clock->Remaining(), 10u);
  d3dtest::ExpectGolden(Crop(250, 0, 140, 64), "shotclock_red", 0, "roundui");
  EXPECT_EQ(clock->expired, 0u);
  Run(30000);
  EXPECT_EQ(clock->Remaining(), 0u);
  EXPECT_EQ(clock->expired, 1u);
  clock->Stop();  // the swing holds it
  EXPECT_FALSE(clock->IsRunning());
  g->mode = kModePractice;  // practice never runs the clock
  clock->Restart();
  EXPECT_FALSE(clock->IsRunning());
}

// The clock hangs right of the hole panel (four golfers with the longest names, the shot label) and left of the
// column of chat lines, at each screen size's own art, overlapping neither.
TEST_F(ShotClockPictures, ItKeepsClearOfTheHolePanelAndTheChatLines) {
  struct Case {
    int size;
    int32_t width;
    const char* folder;
  } cases[] = {{0, 640, "|DATA|UI640"}, {1, 800, "|DATA|UI800"}};
  for (int s = 0; s < 4; ++s) {
    TPlayer* p = g->players->GetPlayer(s);
    p->flags |= kGolferTakesPart;
    std::memset(p->name, 'W', sizeof p->name - 1);
    p->name[sizeof p->name - 1] = 0;
  }
  clock->Restart();
  for (const Case& c : cases) {
    Facts().sizeSetting = c.size;
    Facts().screenWidth = c.width;
    PathRecord& ui = c.size ? Folders().ui800 : Folders().ui640;
    std::snprintf(ui.drive, sizeof ui.drive, "c:");
    PathSetDirectory(&ui, c.folder);
    FreeGameUIShapes();
    LoadGameUIShapes(&ui);
    CHoleNumParGfx* panel = CreateHolePanel();
    ASSERT_NE(panel, nullptr);
    panel->flags |= kHandlerShown;
    panel->Draw(0);
    clock->Draw(0);
    EXPECT_GT(panel->right, panel->left) << c.width;
    EXPECT_GT(clock->right, clock->left) << c.width;
    EXPECT_GE(clock->left, panel->RightEdge()) << c.width;
    TGameChat* chat = CreateChatBox();
    ASSERT_NE(chat, nullptr);
    EXPECT_GE(chat->history.left, clock->right) << c.width;
    EXPECT_GT(chat->history.right - chat->history.left, c.width / 3) << c.width;
    delete chat;
    clock->Erase(0);
    delete panel;
  }
}

class NoticeRecorder : public RoundInterfaceProvider {
 public:
  void ShowMessage(const std::string& text, uint32_t ms) override { notices.emplace_back(text, ms); }
  std::vector<std::pair<std::string, uint32_t>> notices;
};

TEST_F(ShotClockPictures, InfractionsWarnPenaliseThenDisqualify) {
  NoticeRecorder round;
  Svc().round = &round;
  roundtest::MakeGolfWindow();
  TPlayer* ada = g->players->GetPlayer(0);
  g->players->GetPlayer(1)->flags |= kGolferOut;  // Tom is out already: Ada is the last in play
  const struct {
    const char* start;
    uint32_t strokes;  // penalty strokes so far
  } steps[] = {
      {"Ada exceeded the time limit for this shot.  This is the first warning.", 0},
      {"Ada exceeded the time limit for this shot.  This is the second warning.", 0},
      {"Ada exceeded the time limit for this shot for the third time, and has been penalized one stroke.", 1},
      {"Ada exceeded the time limit for this shot for the fourth time, and has been penalized an additional two", 3},
      {"Ada exceeded the time limit for this shot for the fifth time, and has been disqualified.", 3},
  };
  for (const auto& step : steps) {
    clock->expired = 1;
    clock->OnTimeExpired();
    ASSERT_FALSE(round.notices.empty());
    EXPECT_EQ(round.notices.back().first.rfind(step.start, 0), 0u) << round.notices.back().first;
    EXPECT_EQ(round.notices.back().second, 10000u);
    uint32_t strokes = 0;
    ada->GetHoleScore(0, 0, &strokes, nullptr);
    EXPECT_EQ(strokes, step.strokes);
    EXPECT_EQ(clock->expired, 0u);
  }
  EXPECT_TRUE(ada->flags & kGolferOut);
  const std::vector<uint32_t> posted = roundtest::PostedGolfMessages();
  EXPECT_NE(std::find(posted.begin(), posted.end(), kGolfQuit), posted.end());  // nobody is left in play
  roundtest::DestroyGolfWindow();
  Svc().round = nullptr;
  ResetServices();
}

TEST_F(RoundPictures, ScoreCardBackNine) {
  CardInput in;
  static const int kPars[9] = {4, 4, 3, 5, 4, 4, 3, 5, 4};
  for (int h = 0; h < 18; ++h) {
    in.course.par[h] = kPars[h % 9];
    in.course.strokeIndex[h] = (h * 7) % 18 + 1;
    in.course.yards[0][h] = 420 + 10 * h;
    in.course.yards[1][h] = 400 + 10 * h;
    in.course.yards[2][h] = 370 + 10 * h;
    in.course.yards[3][h] = 340 + 10 * h;
  }
  in.course.ratings[0] = 74 << 16 | 0x3333;
  in.course.ratings[1] = 72 << 16 | 0x8000;
  in.course.ratings[2] = 70 << 16;
  in.course.ratings[3] = 68 << 16 | 0xCCCC;
  in.frontNine = false;
  in.lastHole = 13;
  const char* names[2] = {"Ada Birchall", "Bartholomew Quill"};
  for (int s = 0; s < 2; ++s) {
    CardGolfer& g = in.golfers[s];
    g.present = true;
    g.name = names[s];
    g.handicap = s == 0 ? 0 : 6;
    for (int h = 0; h <= 13; ++h) g.strokes[h] = static_cast<uint32_t>(kPars[h % 9] + (h + s) % 3 - 1);
  }
  in.golfers[1].strokes[12] = 9 | 0x10000000;
  DrawScorecard(in, 40, 120);
  const d3dtest::Picture card = Crop(40, 120, CardWidth(0), CardHeight(0));
  // The ratings' line crosses no column line: in its row the lines' places show the card or the text.
  const int32_t rowH = CardRowHeight(0), lines[2] = {CardColumnX(0, 0) - (CardColumnX(1, 0) - CardColumnX(0, 0)) / 2,
                                                     CardColumnX(9, 0) - (CardColumnX(10, 0) - CardColumnX(9, 0)) / 2};
  const uint32_t line = card.At(lines[1], rowH + 2);
  for (int32_t at : lines)
    for (int32_t y = 11 * rowH + 1; y < 12 * rowH; ++y) EXPECT_NE(card.At(at, y), line) << at << " " << y;
  d3dtest::ExpectGolden(card, "scorecard", 0, "roundui");
}

}  // namespace

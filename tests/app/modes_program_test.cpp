// The real program (the providers teebox installs, ProgramMain on a thread of its own, headless) on the demo
// installation cut to two holes: computer golfers play a match and a skins game from the main menu's Tee off. After
// the first hole the round waits for the status dialog; closed with Escape, the second hole is played, the closing
// standing shows once the game is decided, and its close takes the program back to the main menu. A tournament
// whose golfers all miss the cut, and one of computer golfers only, are played to their ends by the field, and the
// final results close the round.
// MODES_SHOW_HOST=1 leaves the host to the environment (a window under a display) and MODES_SHOW_DIALOG_MS keeps
// the first status dialog (a tournament: its final results) up that long, to be looked at.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "demo.h"
#include "support/demo_installation.h"
#include "frontend/frontend.h"
#include "frontend/rangemenu.h"
#include "frontend/tourneydlg.h"
#include "golf/game.h"
#include "golf/modes.h"
#include "roundui/leaderboard.h"
#include "roundui/roundturn.h"
#include "roundui/statusdlg.h"
#include "scene/animlist.h"
#include "scene/ballcart.h"
#include "support/childprocess.h"
#include "support/golden.h"
#include "support/programthread.h"
#include "support/runningprogram.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
namespace wt = winapi::testing;

// A routine run on the program's thread (a modal dialog's loop runs it too); a page that takes no timers keeps it
// waiting, and the question is then left unanswered.
bool OnProgram(std::function<void()> routine, int seconds = 2) { return OnProgramThread(std::move(routine), seconds * 1000); }

void Press(BYTE key, BYTE scan) {
  keybd_event(key, scan, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  keybd_event(key, scan, KEYEVENTF_KEYUP, 0);
}

// What the program shows, asked on its own thread; `answered` false while a page that takes no timers is up.
struct Seen {
  bool answered = false;
  bool menu = false;
  int dialog = -1;  // 0 match play, 1 skins, 2 tournament standings, -1 none
  int stage = -1;   // the standings' page kind
  int hole = -1, round = -1;
  int strokesOnSecond = 0;
  uint32_t gameOver = 0, simulateToEnd = 0;
  int roundsShown = 0, fieldHolesDone = -1, ownOut = 0;
  std::string places[2];  // the first two rows' positions
  MARect dialogRect{};
};
Seen Look() {
  auto s = std::make_shared<Seen>();
  const bool answered = OnProgram([s] {
    s->answered = true;
    s->menu = TeeOffButton != nullptr;
    if (dynamic_cast<CMatchPlayDlg*>(CurrentScreen)) s->dialog = 0;
    else if (dynamic_cast<CSkinsDlg*>(CurrentScreen)) s->dialog = 1;
    else if (auto* d = dynamic_cast<CTourneyDlg*>(CurrentScreen)) s->dialog = 2, s->stage = d->stage;
    if (auto* d = dynamic_cast<CDialogADV*>(CurrentScreen))
      s->dialogRect = MARect{d->x, d->y, d->x + d->width, d->y + d->height};
    TGame* g = CurrentGame();
    if (!g || !g->players) return;
    s->hole = g->state.hole;
    s->round = g->state.round;
    s->gameOver = g->gameOver;
    for (int slot = 0; slot < 2; ++slot) {
      uint32_t strokes = 0;
      if (TPlayer* p = g->players->GetPlayer(slot)) p->GetHoleScore(0, 1, &strokes, nullptr);
      s->strokesOnSecond += static_cast<int>(strokes & ~kScoreMarker);
    }
    if (auto* t = dynamic_cast<TTournamentGame*>(g)) {
      s->simulateToEnd = t->simulateToEnd;
      s->roundsShown = t->RoundsShown();
      for (const auto& e : t->standings)
        if (e.entrant < TTournamentGame::kFieldComputers && !t->MissedCut(e.entrant))
          s->fieldHolesDone = s->fieldHolesDone < 0 ? t->holesDoneFor(e.entrant)
                                                    : std::min(s->fieldHolesDone, t->holesDoneFor(e.entrant));
      for (int slot = 0; slot < 2; ++slot) s->ownOut += t->MissedCut(TTournamentGame::kFieldComputers + slot) ? 1 : 0;
      for (size_t i = 0; i < 2; ++i)
        if (LeaderRow row; LeaderRowAt(*t, i, &row)) s->places[i] = row.position;
    }
  });
  s->answered = answered && s->answered;
  return *s;
}

// Waits (about `limitMs` of real time at most) for what the program shows to pass `condition`; the round's card
// page, which waits for a key at the end of each hole, is closed on the way.
bool WaitFor(const std::function<bool(const Seen&)>& condition, int limitMs, Seen* last = nullptr) {
  int cards = ScoreCardPagesShown();
  for (int waited = 0; waited < limitMs; waited += 50) {
    const Seen s = Look();
    if (last) *last = s;
    if (s.answered && condition(s)) return true;
    if (ScoreCardPagesShown() != cards || !s.answered) {
      cards = ScoreCardPagesShown();
      Press(VK_RETURN, 0x1C);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string Describe(const Seen& s) {
  char text[160];
  std::snprintf(text, sizeof text, "answered %d menu %d dialog %d stage %d round %d hole %d over %u card pages %d",
                s.answered, s.menu, s.dialog, s.stage, s.round, s.hole, s.gameOver, ScoreCardPagesShown());
  return text;
}

// The main menu is up: the first two slots' golfers, both played by the computer, take part in a game of `mode` on
// the course of the menu's game (as the Game Modes screen makes it), which `setUp` may change; then Tee off.
bool TeeOff(int mode, const std::function<void(TGame*)>& setUp) {
  if (!WaitFor([](const Seen& s) { return s.menu; }, 30000)) return false;
  auto ok = std::make_shared<bool>(false);
  OnProgram(
      [ok, mode, setUp] {
        const std::string course = CurrentGame()->courseName;
        if (Svc().game->CreateGame(mode) != 1 || !CurrentGame() || CurrentGame()->mode != mode) return;
        TGame* g = CurrentGame();
        g->SetCurrentCourseByName(course.c_str());
        const char* names[] = {"Ada", "Tom"};
        for (int slot = 0; slot < 2; ++slot) {
          if (g->players->SetComputer(slot, true) != kRecordOk) return;
          TPlayer* p = g->players->GetPlayer(slot);
          p->flags |= kGolferTakesPart;
          std::snprintf(p->name, sizeof p->name, "%s", names[slot]);
          // A round before left its strokes on the card; the new round starts on a clean one.
          p->AddHoleScore(0, 1, 7, 2);
        }
        g->state.firstHole = 0;
        g->state.holeCount = 2;
        if (setUp) setUp(g);
        MARect r{};
        TeeOffButton->GetRect(&r);
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at);
        QueueWindowProc(nullptr, WM_LBUTTONUP, 0, at);
        *ok = true;
      },
      20);
  return *ok;
}

// The dialog's part of the frame the person sees.
d3dtest::Picture DialogOnScreen(const MARect& r) {
  d3dtest::Picture p;
  wt::HostFrameData frame;
  if (!wt::HostFrame(&frame)) return p;
  p.width = r.right - r.left;
  p.height = r.bottom - r.top;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      p.rgb.push_back(x >= 0 && y >= 0 && x < frame.width && y < frame.height
                          ? frame.pixels[static_cast<size_t>(y) * frame.width + x]
                          : 0);
  return p;
}

constexpr int kHoleLimitMs = 240000;

void HoldForALook() {
  if (const char* ms = getenv("MODES_SHOW_DIALOG_MS")) std::this_thread::sleep_for(std::chrono::milliseconds(atoi(ms)));
}

// Closes each tournament standings dialog as it comes until the final results are up (or the menus are back);
// `atOpening` runs on the program's thread while the opening standings show. The page kinds seen, in order; `s` is
// what the program showed with the last of them.
std::vector<int> StandingsToTheFinalResults(Seen* s, const std::function<void()>& atOpening) {
  std::vector<int> stages;
  for (int shown = 0; shown < 6; ++shown) {
    if (!WaitFor([](const Seen& s) { return s.dialog == 2 || s.menu; }, kHoleLimitMs, s)) {
      ADD_FAILURE() << "no standings: " << Describe(*s);
      break;
    }
    if (s->menu) break;
    stages.push_back(s->stage);
    if (shown == 0 && atOpening) {
      EXPECT_TRUE(OnProgram(atOpening));
    }
    if (s->stage == 2) break;
    Press(VK_ESCAPE, 1);
    if (!WaitFor([](const Seen& s) { return s.dialog != 2; }, 30000, s)) {
      ADD_FAILURE() << "the standings did not close: " << Describe(*s);
      break;
    }
  }
  return stages;
}

// The dialog up is closed, which ends the round: the main menu again, and the program closes cleanly.
void CloseToTheMainMenu(RunningProgram& program) {
  Press(VK_ESCAPE, 1);
  Seen s;
  EXPECT_TRUE(WaitFor([](const Seen& s) { return s.menu; }, 60000, &s))
      << "the round did not return to the main menu: " << Describe(s);
  EXPECT_EQ(program.Close(), 0);
}

// Two holes of a match or a skins game: the status dialog of `kind` (0 match, 1 skins) after the first.
void PlayTwoHoles(const std::string& demo, const std::string& registry, int mode, int kind) {
  RunningProgram program(demo, registry, getenv("MODES_SHOW_HOST") == nullptr);
  ASSERT_TRUE(program.Started(30000));
  ASSERT_TRUE(TeeOff(mode, nullptr));
  if (kind == 0) {
    // Tom gives the first hole up as it begins (the in-round Concede), so the standing after it is known: Ada 1-up.
    ASSERT_TRUE(WaitFor([](const Seen& s) { return s.hole == 0 && !s.menu; }, 60000));
    ASSERT_TRUE(OnProgram([] {
      if (auto* m = dynamic_cast<TMatchPlayGame*>(CurrentGame())) m->ConcedeHole(1);
    }));
  }
  Seen s;
  ASSERT_TRUE(WaitFor([kind](const Seen& s) { return s.dialog == kind; }, kHoleLimitMs, &s))
      << "no status dialog after the first hole: " << Describe(s);
  EXPECT_EQ(s.hole, 0);
  EXPECT_EQ(s.strokesOnSecond, 0) << "the card holds strokes of a round before";
  EXPECT_EQ(s.gameOver, 0u);
  HoldForALook();
  // Nothing moves on while it is up.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  s = Look();
  EXPECT_EQ(s.dialog, kind);
  EXPECT_EQ(s.hole, 0);
  if (kind == 0) {
    // The pointer is moved off the dialog; the standing as the person sees it.
    wt::HostMouse(2, 2, 0, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    d3dtest::ExpectGolden(DialogOnScreen(s.dialogRect), "program_status_match", 0, "roundui");
  }
  Press(VK_ESCAPE, 1);
  // The second hole: its strokes are played.
  ASSERT_TRUE(WaitFor([](const Seen& s) { return s.strokesOnSecond > 0; }, kHoleLimitMs, &s))
      << "the second hole was not played: " << Describe(s);
  EXPECT_EQ(s.hole, 1);
  // The closing standing, once the game is over; its close ends the round.
  ASSERT_TRUE(WaitFor([kind](const Seen& s) { return s.dialog == kind && s.gameOver; }, kHoleLimitMs, &s))
      << "no closing standing: " << Describe(s);
  CloseToTheMainMenu(program);
}

class ModesProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_modes_XXXXXX";
    demo_ = mkdtemp(pattern);
    mkdemo::DemoOptions options;
    options.holes = 2;
    std::string error;
    ASSERT_TRUE(MakeDemoInstallationCached(demo_, options, error)) << error;
  }
  static void TearDownTestSuite() { fs::remove_all(demo_); }
  static std::string demo_;
};
std::string ModesProgramTest::demo_;

TEST_F(ModesProgramTest, AMatchWaitsForItsStatusBetweenHoles) {
  RunInChildProcess([] { PlayTwoHoles(demo_, demo_ + "/registry-match.txt", kModeMatchPlay, 0); }, 900000);
}

TEST_F(ModesProgramTest, ASkinsGameWaitsForItsStatusBetweenHoles) {
  RunInChildProcess([] { PlayTwoHoles(demo_, demo_ + "/registry-skins.txt", kModeSkins, 1); }, 900000);
}

// A tournament of four rounds of `holes` holes from Tee off, Ada and Tom standing for people (whom the computer plays
// for the test) or for nobody, played until its final results are up, each standings dialog closed as it comes
// (`atOpening` runs while the opening standings show); `check` looks at the page kinds seen and at what the program
// showed with the final results, whose close must take the program back to the main menu.
void PlayTournament(const std::string& demo, const std::string& registry, int holes, bool people,
                    const std::function<void()>& atOpening,
                    const std::function<void(const std::vector<int>&, const Seen&)>& check) {
  RunningProgram program(demo, registry, getenv("MODES_SHOW_HOST") == nullptr);
  ASSERT_TRUE(program.Started(30000));
  ASSERT_TRUE(TeeOff(kModeTournament, [holes, people](TGame* g) {
    g->state.lead = 4;
    g->state.holeCount = static_cast<uint16_t>(holes);
    for (int slot = 0; slot < 2; ++slot) {
      TPlayer* p = g->players->GetPlayer(slot);
      p->flags = people ? p->flags | kGolferFlag5 : p->flags & ~kGolferFlag5;
    }
  }));
  Seen s;
  ASSERT_TRUE(WaitFor([](const Seen& s) { return !s.menu; }, 60000, &s)) << "no round: " << Describe(s);
  const std::vector<int> stages = StandingsToTheFinalResults(&s, atOpening);
  check(stages, s);
  HoldForALook();
  CloseToTheMainMenu(program);
}

// Four rounds of one hole, the cut after the second: the field aces both holes before the golfers' first shot, so
// both golfers miss the cut and the field plays the last two rounds at once; the final results show all four rounds.
TEST_F(ModesProgramTest, ATournamentWhoseGolfersMissTheCutIsPlayedToItsEndByTheField) {
  RunInChildProcess(
      [] {
        PlayTournament(
            demo_, demo_ + "/registry-tourney.txt", 1, true,
            // The opening standings are up before the first shot of the game Tee off made: the field's aces.
            [] {
              auto* t = dynamic_cast<TTournamentGame*>(CurrentGame());
              if (!t) return;
              for (int e = 0; e < TTournamentGame::kFieldComputers; ++e)
                for (int r = 0; r < 2; ++r) t->fieldScores[e][r][0] = 1;
            },
            [](const std::vector<int>& stages, const Seen& s) {
              // The opening standings, the first round's results, the final results at the cut.
              EXPECT_EQ(stages, (std::vector<int>{0, 1, 2}));
              EXPECT_EQ(s.simulateToEnd, 1u);
              EXPECT_EQ(s.roundsShown, 4);
              EXPECT_EQ(s.fieldHolesDone, 4) << "every entrant past the cut has all four rounds";
              EXPECT_EQ(s.ownOut, 2);
              EXPECT_EQ(s.round, 1) << "the golfers played two rounds";
            });
      },
      900000);
}

// Four rounds of two holes, Ada and Tom played by the computer and standing for nobody: the standings after the first
// hole ask the field to play the tournament out, and the final results follow the second hole, with every round of
// the field and one winner.
TEST_F(ModesProgramTest, AComputerOnlyTournamentIsPlayedOutByTheFieldAfterItsSecondHole) {
  RunInChildProcess(
      [] {
        PlayTournament(
            demo_, demo_ + "/registry-field.txt", 2, false, nullptr,
            [](const std::vector<int>& stages, const Seen& s) {
              // The opening standings, the round in progress after the first hole, the final results after the
              // second.
              EXPECT_EQ(stages, (std::vector<int>{0, 0, 2}));
              EXPECT_EQ(s.round, 0);
              EXPECT_EQ(s.hole, 1);
              EXPECT_EQ(s.simulateToEnd, 1u);
              EXPECT_EQ(s.roundsShown, 4);
              EXPECT_EQ(s.fieldHolesDone, 8) << "every entrant of the field has all four rounds";
              EXPECT_EQ(s.ownOut, 0);
              EXPECT_EQ(s.places[0], "1") << "one winner";
              EXPECT_NE(s.places[1], "T1");
            });
      },
      900000);
}

// The driving range from Tee off and its menu's range: the range's ball cart comes with its hole and drives across
// it while the computer golfers hit their balls, and stands in the picture between their shots; closing the window
// ends the program cleanly.
TEST_F(ModesProgramTest, TheDrivingRangesBallCartDrivesWhileTheGolfersHitBalls) {
  RunInChildProcess(
      [] {
        RunningProgram program(demo_, demo_ + "/registry-range.txt", getenv("MODES_SHOW_HOST") == nullptr);
        ASSERT_TRUE(program.Started(30000));
        ASSERT_TRUE(TeeOff(kModeDrivingRange, nullptr));
        // The range menu: its driving range chosen.
        auto chosen = std::make_shared<bool>(false);
        for (int waited = 0; waited < 30000 && !*chosen; waited += 100) {
          OnProgram([chosen] {
            if (!DrivingRangeScreen || CurrentScreen != DrivingRangeScreen) return;
            TDrivingRangeADV::OnFacility(DrivingRangeScreen->facilities[0]);
            *chosen = true;
          });
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_TRUE(*chosen) << "no range menu";
        // Where the cart stands, asked on the program's thread (NaN while there is none); and whether, before any
        // shot's animations listed it, the still picture had already shown it (a step driven).
        auto shownStill = std::make_shared<bool>(false);
        auto listedOnce = std::make_shared<bool>(false);
        const auto cartAt = [shownStill, listedOnce] {
          auto x = std::make_shared<float>(std::nanf(""));
          OnProgram([x, shownStill, listedOnce] {
            auto* range = dynamic_cast<TDrivingRangeGame*>(CurrentGame());
            if (!range || range->facility != 0 || !BallCartExists()) return;
            *x = BallCart()->world.x;
            for (const auto& e : AnimationList().entries) *listedOnce = *listedOnce || e.animation == BallCart();
            if (!*listedOnce && BallCart()->lastStepTime != 0) *shownStill = true;
          });
          return *x;
        };
        float first = std::nanf("");
        for (int waited = 0; waited < kHoleLimitMs && std::isnan(first); waited += 50) {
          first = cartAt();
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_FALSE(std::isnan(first)) << "no ball cart on the range";
        bool moved = false;
        for (int waited = 0; waited < kHoleLimitMs && !moved; waited += 100) {
          const float x = cartAt();
          moved = !std::isnan(x) && x != first;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_TRUE(moved) << "the cart stood still at " << first;
        EXPECT_TRUE(*shownStill) << "the cart was missing from the picture before the first shot";
        EXPECT_EQ(program.Close(), 0);
      },
      900000);
}

}  // namespace

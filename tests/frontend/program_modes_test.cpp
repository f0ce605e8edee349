// The real program (its providers and ProgramMain on a thread of its own, headless) on the demo installation: the
// main menu's Game Modes button, a mode chosen and accepted, and Tee off starting a round of that mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/gameapp.h"
#include "demo.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/gamemodes.h"
#include "golf/game.h"
#include "support/childprocess.h"
#include "support/programthread.h"
#include "support/runningprogram.h"
#include "support/teeoff.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

// A click on the program's thread at the middle of a control, with the left or the right button.
void ClickAt(const MARect& r, bool right = false) {
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  QueueWindowProc(nullptr, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
  QueueWindowProc(nullptr, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
}

MARect RectOf(MA_EventHandler* e) { return MARect{e->left, e->top, e->right, e->bottom}; }

}  // namespace

TEST(ProgramGameModes, TheMainMenuChoosesATournamentAndTeeOffStartsIt) {
  char pattern[] = "/tmp/teebox_modes_XXXXXX";
  const std::string demo = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(mkdemo::MakeDemoInstallation(demo, {}, error)) << error;
  RunInChildProcess([&] {
    RunningProgram program(demo, demo + "/registry.txt");
    ASSERT_TRUE(program.Started(30000));
    ASSERT_TRUE(WaitUntil([] {
      bool menu = false;
      OnProgramThread([&] { menu = MainMenuScreen != nullptr && CurrentScreen == MainMenuScreen; });
      return menu;
    }));
    // The Game Modes picture button, clicked where it is.
    ASSERT_TRUE(OnProgramThread([] {
      for (uint32_t i = 0; MA_EventHandler* e = MainMenuScreen->At(i); ++i)
        if (auto* b = dynamic_cast<TGenericControlADV*>(e); b && b->text && std::string(b->text) == "Select between 9 modes of play")
          ClickAt(RectOf(b));
    }));
    ASSERT_TRUE(WaitUntil([] {
      bool open = false;
      OnProgramThread([&] { open = GameModesScreen != nullptr && CurrentScreen == GameModesScreen; });
      return open;
    }));
    // Tournament from the list, two rounds, the wind calm, then Main Menu.
    ASSERT_TRUE(OnProgramThread([] {
      TListBoxADV* list = GameModesScreen->list;
      const int row = RowOfGameMode(kModeTournament);
      ClickAt(MARect{list->left + 10, list->top + row * list->RowHeight(), list->left + 30,
                     list->top + (row + 1) * list->RowHeight()});
    }));
    ASSERT_TRUE(WaitUntil([] {
      bool chosen = false;
      OnProgramThread([&] { chosen = GameModesScreen && GameModesWorkingCopy().mode == kModeTournament; });
      return chosen;
    }));
    ASSERT_TRUE(OnProgramThread([] { ClickAt(RectOf(GameModesScreen->values[TGameModesADV::kRounds])); }));
    ASSERT_TRUE(WaitUntil([] {
      bool two = false;
      OnProgramThread([&] { two = GameModesScreen && GameModesWorkingCopy().rounds == 2; });
      return two;
    }));
    ASSERT_TRUE(OnProgramThread([] { PostMessageA(Loop().queueWindow, WM_CHAR, 'm', 0); }));
    ASSERT_TRUE(WaitUntil([] {
      bool back = false;
      OnProgramThread([&] { back = MainMenuScreen != nullptr && CurrentScreen == MainMenuScreen; });
      return back;
    }));
    ASSERT_TRUE(OnProgramThread([] {
      ASSERT_NE(CurrentGame(), nullptr);
      EXPECT_EQ(CurrentGame()->mode, kModeTournament);
      EXPECT_EQ(CurrentGame()->state.lead, 2);
      EXPECT_EQ(CurrentGame()->state.holeCount, 18);
    }));
    EXPECT_TRUE(fs::exists(demo + "/LastGame.dat"));
    // Tee off plays the tournament.
    ASSERT_TRUE(TeeOffFromMainMenu("Ada"));
    ASSERT_TRUE(WaitUntil([] {
      bool running = false;
      OnProgramThread([&] { running = CurrentGame() && CurrentGame()->mode == kModeTournament && CurrentGame()->roundRunning; });
      return running;
    })) << [] {
      std::string state;
      OnProgramThread([&] {
        state = "mode " + std::to_string(CurrentGame() ? CurrentGame()->mode : -1) + ", running " +
                std::to_string(CurrentGame() ? CurrentGame()->roundRunning : 0) + ", last message: " + LastMessageText();
      });
      return state;
    }();
    EXPECT_EQ(program.Close(), 0);
  });
  fs::remove_all(demo);
}

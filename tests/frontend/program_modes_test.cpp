// The real program (its providers and ProgramMain on a thread of its own, headless) on the demo installation: the
// main menu's Game Modes button, a mode chosen and accepted, and Tee off starting a round of that mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "app/gameapp.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "framework/core/preferencevalues.h"
#include "frontend/calibration.h"
#include "frontend/gamemodes.h"
#include "frontend/paneldemo.h"
#include "frontend/screens.h"
#include "framework/ui/displaymgr.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/gfx/windowdesc.h"
#include "golf/game.h"
#include "support/childprocess.h"
#include "support/programthread.h"
#include "support/runningprogram.h"
#include "support/teeoff.h"
#include "windows.h"
#include "winapi_registry.h"

namespace {

namespace fs = std::filesystem;

// A click on the program's thread at the middle of a control, with the left or the right button.
void ClickAt(const MARect& r, bool right = false) {
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  QueueWindowProc(nullptr, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
  QueueWindowProc(nullptr, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
}

MARect RectOf(MA_EventHandler* e) { return MARect{e->left, e->top, e->right, e->bottom}; }

// Runs `scenario` in a child process over a fresh demo installation of its own.
template <typename Scenario>
void OnFreshDemo(const char* name, Scenario scenario) {
  std::string pattern = std::string("/tmp/teebox_") + name + "_XXXXXX";
  const std::string demo = mkdtemp(pattern.data());
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(demo, {}, error)) << error;
  RunInChildProcess([&] { scenario(demo); });
  fs::remove_all(demo);
}

// Waits for `screen` to be the current screen.
template <typename Screen>
bool ScreenComesUp(Screen* const& screen) {
  return WaitUntil([&] {
    bool up = false;
    OnProgramThread([&] { up = screen != nullptr && CurrentScreen == static_cast<TMA_EventHandlerList*>(screen); });
    return up;
  });
}

// Clicks the picture button of the main menu whose help text is `help`.
bool ClickMenuPicture(const char* help) {
  bool found = false;
  OnProgramThread([&] {
    for (uint32_t i = 0; MA_EventHandler* e = MainMenuScreen->At(i); ++i)
      if (auto* b = dynamic_cast<TGenericControlADV*>(e); b && b->text && std::string(b->text) == help) {
        ClickAt(RectOf(b));
        found = true;
      }
  });
  return found;
}

}  // namespace

TEST(ProgramGameModes, TheMainMenuChoosesATournamentAndTeeOffStartsIt) {
  OnFreshDemo("modes", [](const std::string& demo) {
    RunningProgram program(demo, demo + "/registry.txt");
    ASSERT_TRUE(program.Started(30000));
    ASSERT_TRUE(ScreenComesUp(MainMenuScreen));
    // The Game Modes picture button, clicked where it is.
    ASSERT_TRUE(ClickMenuPicture("Select between 9 modes of play"));
    ASSERT_TRUE(ScreenComesUp(GameModesScreen));
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
    ASSERT_TRUE(ScreenComesUp(MainMenuScreen));
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
}

// A person clicks the caption of a menu-bar item where the program draws it: the golfers screen's "Main Menu".
TEST(ProgramMenuBar, AClickOnTheDrawnMainMenuCaptionLeavesTheGolfersScreen) {
  OnFreshDemo("menubar", [](const std::string& demo) {
    RunningProgram program(demo, demo + "/registry.txt");
    ASSERT_TRUE(program.Started(30000));
    ASSERT_TRUE(ScreenComesUp(MainMenuScreen));
    // One golfer chosen, so that the screen may be left.
    ASSERT_TRUE(OnProgramThread([] {
      TPlayer* p = CurrentGame()->players->GetPlayer(0);
      p->flags |= kGolferTakesPart;
      std::snprintf(p->name, sizeof p->name, "Ada");
    }));
    ASSERT_TRUE(ClickMenuPicture("Select which golfers will be competing"));
    ASSERT_TRUE(ScreenComesUp(GolfersScreen));
    // The middle of the caption's drawn pixels, found on the screen the program shows.
    int32_t x = -1, y = -1;
    ASSERT_TRUE(OnProgramThread([&] {
      TTextButtonADV* button = nullptr;
      for (uint32_t i = 0; MA_EventHandler* e = GolfersScreen->At(i); ++i)
        if (auto* b = dynamic_cast<TTextButtonADV*>(e); b && b->Text() == "Main Menu") button = b;
      ASSERT_NE(button, nullptr);
      const WindowDesc* w = DrawnImage()->window;
      int32_t sumX = 0, sumY = 0, n = 0;
      for (int32_t row = button->top; row < button->bottom; ++row)
        for (int32_t col = button->left; col < button->right; ++col)
          if (reinterpret_cast<const uint16_t*>(w->pixels + row * w->rowbytes)[col] == button->colours[0]) {
            sumX += col;
            sumY += row;
            ++n;
          }
      ASSERT_GT(n, 0) << "caption not drawn";
      x = sumX / n;
      y = sumY / n;
    }));
    ASSERT_GE(x, 0);
    // The pointer goes there, the button is pressed, then released, as a person's hand does it.
    const LPARAM at = MAKELPARAM(x, y);
    ASSERT_TRUE(OnProgramThread([&] {
      SetCursorPos(x, y);
      QueueWindowProc(nullptr, WM_MOUSEMOVE, 0, at);
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(OnProgramThread([&] { QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(OnProgramThread([&] { QueueWindowProc(nullptr, WM_LBUTTONUP, 0, at); }));
    EXPECT_TRUE(ScreenComesUp(MainMenuScreen));
    EXPECT_EQ(program.Close(), 0);
  });
}

// After a start that did not get through, play is set to 640 x 480, but the menus keep the 800 x 600 they are
// laid out for; Tee off plays at 640 x 480.
TEST(ProgramFailSafe, TheMenusStayWholeAndPlayUsesTheSmallestScreen) {
  OnFreshDemo("failsafe", [](const std::string& demo) {
    winapi::registry::UseFile(demo + "/registry.txt");
    ASSERT_EQ(SetPreference(kPrefLaunching, 1), 0);
    ASSERT_EQ(SetPreference(kPrefResolution, 1), 0);
    RunningProgram program(demo, demo + "/registry.txt");
    ASSERT_TRUE(program.Started(30000));
    ASSERT_TRUE(ScreenComesUp(MainMenuScreen));
    ASSERT_TRUE(OnProgramThread([] {
      EXPECT_EQ(Display().resolution, 0);
      EXPECT_EQ(Facts().screenWidth, 800);
      EXPECT_EQ(Facts().screenHeight, 600);
      EXPECT_EQ(Facts().sizeSetting, 1);
      EXPECT_EQ(displaywidth, 800);
      // Every control of the menu lies on the screen.
      for (uint32_t i = 0; MA_EventHandler* e = MainMenuScreen->At(i); ++i) {
        EXPECT_LE(e->right, 800);
        EXPECT_LE(e->bottom, 600);
      }
    }));
    ASSERT_TRUE(TeeOffFromMainMenu("Ada"));
    ASSERT_TRUE(WaitUntil([] {
      bool running = false;
      OnProgramThread([&] { running = CurrentGame() && CurrentGame()->roundRunning; });
      return running;
    }));
    ASSERT_TRUE(OnProgramThread([] {
      EXPECT_EQ(Facts().screenWidth, 640);
      EXPECT_EQ(Facts().sizeSetting, 0);
      EXPECT_EQ(displaywidth, 640);
    }));
    EXPECT_EQ(program.Close(), 0);
  });
}

TEST(ProgramPanels, TheCalibrationDemoShowsThePanelOverTheTestPictureAtTheMenusSize) {
  OnFreshDemo("panel", [](const std::string& demo) {
    StartInMainMenu = 1;
    StartPanel = DemoPanel::kCalibration;
    // The play size is not the menus' (as after a start that did not get through).
    RunningProgram program(demo, demo + "/registry.txt", true, {"/NOINTRO", "/SCREENMODE", "640"});
    ASSERT_TRUE(program.Started(30000));
    ASSERT_TRUE(WaitUntil([] {
      bool shown = false;
      OnProgramThread([&] { shown = CalibrationPanel && CalibrationPanel->Shown(); });
      return shown;
    }));
    // The frame shown is the menus' 800 x 600, with the test picture's grey and red bands at the top left.
    winapi::testing::HostFrameData frame;
    ASSERT_TRUE(WaitUntil([&] { return winapi::testing::HostFrame(&frame) && frame.width == 800; }));
    ASSERT_EQ(frame.height, 600);
    const auto near = [](uint32_t got, uint32_t want) {
      for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((got >> shift) & 255) - static_cast<int>((want >> shift) & 255)) > 8) return false;
      return true;
    };
    EXPECT_PRED2(near, frame.pixels[25 * 800 + 25], 0x1C1C1Cu);
    EXPECT_PRED2(near, frame.pixels[25 * 800 + 125], 0x641C1Cu);
  });
}

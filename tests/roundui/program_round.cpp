// The real program (the providers teebox installs, ProgramMain on a thread of its own, headless) on the demo
// installation cut to one hole: a golfer is chosen, Tee off is pressed, and the hole is played by script: each swing
// is three presses of the space bar on the virtual clock, the shot plays back, "Ok" is chosen until the ball is
// holed (or the stroke limit picks it up), and the card comes up with the strokes. The same script played twice
// gives the same shots, the same replays and the same card.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/childprocess.h"
#include "support/runningprogram.h"
#include "app/gameapp.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "framework/core/services.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "frontend/settingsdlg.h"
#include "course/preferences.h"
#include "course/terrain.h"
#include "golf/game.h"
#include "golf/gridmode.h"
#include "golf/golfmsg.h"
#include "golf/launch.h"
#include "framework/ui/eventhandler.h"
#include "golf/player.h"
#include "roundui/aftershot.h"
#include "roundui/clubbar.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/powermeter.h"
#include "roundui/replay.h"
#include "roundui/roundturn.h"
#include "roundui/scorecard.h"
#include "roundui/targeting.h"
#include "roundui/uitext.h"
#include "roundui/windind.h"
#include "scene/ballanim.h"
#include "scene/golferanim.h"
#include "scene/golfview.h"
#include "scene/shotanim.h"
#include "teebox/providers.h"
#include "winapi/testing.h"
#include "winapi_registry.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
namespace wt = winapi::testing;

bool WaitFor(const std::function<bool()>& condition, int limit = 30000) {
  for (int waited = 0; waited < limit; waited += 5) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// Runs a routine on the program's main thread, between two messages of its loop. The test thread waits in real
// time (never on the program's virtual clock, which it must not move). A task that is not done in time still runs
// later, safely: it owns what it uses.
struct Task {
  std::function<void()> routine;
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
};
void CALLBACK RunTask(HWND, UINT, UINT_PTR id, DWORD) {
  auto* holder = reinterpret_cast<std::shared_ptr<Task>*>(id);
  std::shared_ptr<Task> task = *holder;
  delete holder;
  task->routine();
  std::lock_guard<std::mutex> lock(task->m);
  task->done = true;
  task->cv.notify_all();
}
bool OnProgramThread(std::function<void()> routine, int seconds = 120) {
  auto task = std::make_shared<Task>();
  task->routine = std::move(routine);
  auto* holder = new std::shared_ptr<Task>(task);
  if (!PostMessageA(Loop().queueWindow, WM_TIMER, reinterpret_cast<WPARAM>(holder), reinterpret_cast<LPARAM>(RunTask))) {
    delete holder;
    return false;
  }
  std::unique_lock<std::mutex> lock(task->m);
  return task->cv.wait_for(lock, std::chrono::seconds(seconds), [&] { return task->done; });
}

std::vector<wt::ScriptedEvent> ThreeClicks(uint32_t powerAt, uint32_t accuracyAt) {
  std::vector<wt::ScriptedEvent> script;
  for (uint32_t at : {0u, powerAt, accuracyAt}) {
    const auto press = wt::ScriptPress(at, VK_SPACE, 30);
    script.insert(script.end(), press.begin(), press.end());
  }
  return script;
}

// The Pro swing, once the start button has been clicked: the mouse is pulled back (down) and pushed through (up); the
// meter puts the pointer back in the screen's middle after each sample.
std::vector<wt::ScriptedEvent> MouseSwing(int pull, int push) {
  std::vector<wt::ScriptedEvent> script;
  const int cx = GetSystemMetrics(SM_CXSCREEN) / 2, cy = GetSystemMetrics(SM_CYSCREEN) / 2;
  for (uint32_t t = 50; t < 350; t += 5) script.push_back(wt::ScriptPointer(t, cx, cy + pull));
  for (uint32_t t = 350; t < 950; t += 5) script.push_back(wt::ScriptPointer(t, cx, cy - push));
  return script;
}

bool MainMenuUp() {
  bool menu = false;
  OnProgramThread([&] { menu = TeeOffButton != nullptr; });
  return menu;
}

// Ada, the person at this machine, takes part.
void AdaPlays() {
  TPlayer* p = CurrentGame()->players->GetPlayer(0);
  p->flags |= kGolferTakesPart | kGolferFlag5;
  std::snprintf(p->name, sizeof p->name, "%s", "Ada");
}

// The main menu is up: Ada takes part and Tee off is pressed. The new game takes its tee set from the menu's game,
// which drew it at start-up from a generator seeded by the clock: every run plays from the first tees.
void TeeOff(RunningProgram& program) {
  EXPECT_TRUE(program.Started(30000));
  EXPECT_TRUE(WaitFor(MainMenuUp));
  EXPECT_TRUE(OnProgramThread([] {
    AdaPlays();
    CurrentGame()->state.teeSet = 0;
    Svc().scene->SeedRandom15(7);
    MARect r{};
    TeeOffButton->GetRect(&r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at);
    QueueWindowProc(nullptr, WM_LBUTTONUP, 0, at);
  }));
}

// A key as the person presses it: down, held a moment, up, through the window.
void PressKey(BYTE key, BYTE scan) {
  keybd_event(key, scan, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  keybd_event(key, scan, KEYEVENTF_KEYUP, 0);
}

uint16_t To565(uint32_t c) {
  return static_cast<uint16_t>((((c >> 16) & 0xFF) >> 3) << 11 | (((c >> 8) & 0xFF) >> 2) << 5 | ((c & 0xFF) >> 3));
}

// The pixel the person sees at (x, y), as a 5-6-5 value.
uint16_t ScreenPixel565(int x, int y) {
  wt::HostFrameData frame;
  if (!wt::HostFrame(&frame) || x < 0 || y < 0 || x >= frame.width || y >= frame.height) return 0;
  return To565(frame.pixels[static_cast<size_t>(y) * frame.width + x]);
}

// The card page is modal: a task posted while it is up waits for it, so the question is kept short. The person
// swings once the arc is on the screen: its layout sets the shot's target.
bool AskAwaitingSwing() {
  auto waiting = std::make_shared<std::atomic<bool>>(false);
  OnProgramThread(
      [waiting] { *waiting = AwaitingSwing() && CurrentTargetingHandler && CurrentTargetingHandler->drawn; }, 2);
  return waiting->load();
}

// A click of the person's mouse at (x, y), through the window.
void ClickAt(int32_t x, int32_t y) {
  const LPARAM at = MAKELPARAM(x, y);
  QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at);
  QueueWindowProc(nullptr, WM_LBUTTONUP, 0, at);
}
void ClickCentre(const MA_EventHandler& control) {
  ClickAt((control.left + control.right) / 2, (control.top + control.bottom) / 2);
}
// A click on the options list's button (row -1) or on a row of its open list, through the round's input; false when
// that is not there.
bool ClickOptionsList(int row) {
  int32_t x = 0, y = 0;
  if (!OptionsListPoint(row, &x, &y)) return false;
  Svc().round->OnPointerPress(x, y, 0);
  Svc().round->OnPointerRelease(x, y, 0);
  return true;
}

CScreenLayoutDialog* LayoutDialog() { return dynamic_cast<CScreenLayoutDialog*>(CurrentScreen); }

// The "Green grid:" row's choice while the Display settings dialog is up, else -1.
int AskGreenGridRow() {
  auto row = std::make_shared<std::atomic<int>>(-1);
  OnProgramThread([row] { *row = LayoutDialog() ? LayoutDialog()->rows[CScreenLayoutDialog::kGreenGrid]->GetIndex() : -1; }, 2);
  return row->load();
}

// One round by script, each swing with the keys (three presses) or the mouse (Pro swing); what every shot did,
// line by line.
std::string PlayHoleByScript(const std::string& demo, const std::string& registry, bool pro) {
  std::ostringstream log;
  RunningProgram program(demo, registry, getenv("ROUNDUI_SHOW_HOST") == nullptr);
  TeeOff(program);
  bool cardShown = false;
  for (int shot = 0; shot < 20 && !cardShown; ++shot) {
    // The person's turn: the shot controls wait for the swing (or the hole is over and the card is up).
    const bool ready = WaitFor([&] { return ScoreCardPagesShown() > 0 || AskAwaitingSwing(); });
    auto status = std::make_shared<std::atomic<uint32_t>>(0);
    if (ScoreCardPagesShown() == 0) OnProgramThread([status] { *status = GetGolfStatus(); }, 2);
    EXPECT_TRUE(ready) << "shot " << shot << " golf status " << std::hex << status->load();
    if (!ready) break;
    if (ScoreCardPagesShown() > 0) {
      cardShown = true;
      break;
    }
    // ROUNDUI_SHOW_AIMING_MS keeps the first shot's aiming screen up that long, to be looked at.
    if (const char* ms = getenv("ROUNDUI_SHOW_AIMING_MS"); ms && shot == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
    EXPECT_TRUE(OnProgramThread([&] {
      // From here the program runs on the virtual clock: every poll of the keys moves it one millisecond.
      if (!wt::VirtualClockOn()) wt::UseVirtualClock(true, timeGetTime());
      wt::SetVirtualWaitGrace(0);
      TPlayer* p = CurrentGame()->players->GetPlayer(0);
      // Between shots the program runs on while this thread waits in real time, and its waits move the virtual
      // clock: the wind indicator redraws, drawing random numbers, as often as that time allows. Each shot starts
      // from its own seed, the hole's wind and an indicator whose next redraw is due now.
      Svc().scene->SeedRandom15(7 + shot);
      CurrentGame()->SetupWind();
      if (WindIndicator) WindIndicator->nextRedraw = timeGetTime();
      // The arc still drawn may be the last turn's when this task comes before the idle pass that lays it out for
      // the ball's new place (the swing would read that turn's risk); it is laid out here, and again, so the risk the
      // swing reads comes from this state whatever the program predicted before.
      if (TargetingArcEventHandler* h = CurrentTargetingHandler) {
        h->FollowShot();
        UpdateTargeting(h, 0, 0, 0, 1);
      }
      if (shot == 0) {
        // The game Tee off made reloaded its golfers: Ada takes part in it as she did in the menu's game.
        AdaPlays();
        // The options list's swing switch, as the person would pick it; the meter takes it at each turn.
        ProSwingChosen() = pro;
        PowerMeter->proSwing = pro;
        // The first shot is played with the 5-iron picked from the club pop-up: the handle, the irons, the row.
        const auto click = [](int part) {
          int32_t x = 0, y = 0;
          if (!ClubBarPoint(part, &x, &y)) return false;
          Svc().round->OnPointerPress(x, y, 0);
          Svc().round->OnPointerRelease(x, y, 0);
          return true;
        };
        EXPECT_TRUE(click(kClubPartHandle));
        EXPECT_TRUE(ClubPopupOpen());
        EXPECT_TRUE(click(2));
        EXPECT_TRUE(click(100 + 4));
        EXPECT_FALSE(ClubPopupOpen());
        EXPECT_EQ(p->currentClub, 10) << "5i";
      }
      if (shot == 1) {
        // The drive is aimed a little left with the arrow key.
        Svc().round->OnKeyPress(kKeyLeft);
        Svc().round->OnKeyUp(VK_LEFT);
      }
      // The eye the swing's aim correction reads.
      char aim[128];
      std::snprintf(aim, sizeof aim, "aim %.2f %.2f eye %.3f %.3f %.3f ", ShotAimPoint.x, ShotAimPoint.y, MainView.cameraX,
                    MainView.cameraZ, MainView.heightTerm);
      log << aim << "club " << int(p->currentClub) << " wind " << CurrentGame()->windSpeed;
      EXPECT_EQ(PowerMeter->proSwing, pro);
      wt::StartInputScript(pro ? MouseSwing(30, 120) : ThreeClicks(1350, 1900), 1);
      if (pro) {
        // The Pro swing starts with a click on the meter's start button.
        Svc().round->OnPointerPress(PowerMeter->centreX, PowerMeter->centreY, 0);
        Svc().round->OnPointerRelease(PowerMeter->centreX, PowerMeter->centreY, 0);
      } else {
        Svc().round->OnKeyPress(' ');
      }
      wt::StopInputScript();
      log << " marks " << PowerMeter->powerMark << " " << PowerMeter->accuracyMark << " frames " << GetReplayFrameCount()
          << " menu " << AfterShotMenuRows();
      const Vector3 at = p->ball.position;
      char text[96];
      std::snprintf(text, sizeof text, " rest %.3f %.3f %.3f", at.x, at.y, at.z);
      log << text << "\n";
      // "Ok" is the menu's default row.
      Svc().round->OnKeyPress(VK_RETURN);
    }));
  }
  if (!cardShown) cardShown = WaitFor([] { return ScoreCardPagesShown() > 0; });
  EXPECT_TRUE(cardShown);
  // The card is up: a key closes it.
  keybd_event(VK_RETURN, 0x1C, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  keybd_event(VK_RETURN, 0x1C, KEYEVENTF_KEYUP, 0);
  EXPECT_TRUE(WaitFor(MainMenuUp));
  // The card showed the golfer's row with the strokes of the hole.
  log << "card " << LastCardGolferRow() << "\n";
  EXPECT_EQ(program.Close(), 0);
  return log.str();
}

// A hole played with the keys as a person plays it in a window: every key goes through the display window and the
// program's message loop. What the person sees is checked on the shown frames: the arc from the start of each
// shot, the flight drawn frame by frame, the after-shot menu that waits for its key, and the card.
std::string PlayHoleWithKeys(const std::string& demo, const std::string& registry) {
  std::ostringstream log;
  RunningProgram program(demo, registry);
  TeeOff(program);
  bool cardShown = false;
  for (int shot = 0; shot < 20 && !cardShown; ++shot) {
    EXPECT_TRUE(WaitFor([] { return ScoreCardPagesShown() > 0 || AskAwaitingSwing(); })) << "shot " << shot;
    if ((cardShown = ScoreCardPagesShown() > 0)) break;
    if (shot == 0) {
      EXPECT_TRUE(OnProgramThread([] {
        AdaPlays();
        // Twelve strokes are on the card already: three shots reach the stroke limit, which ends the hole.
        TGame* g = CurrentGame();
        g->players->GetPlayer(0)->AddHoleScore(g->state.round, g->state.hole, 12, 0);
      }));
    }
    // The arc is on the screen before any aiming key.
    std::string state;
    EXPECT_TRUE(WaitFor([&] {
      bool drawn = false;
      OnProgramThread([&] {
        const TargetingArcEventHandler* h = CurrentTargetingHandler;
        drawn = h && h->drawn;
        char text[160];
        std::snprintf(text, sizeof text, "handler %d flags %x ready %d current %d captured %d", h != nullptr,
                      h ? h->flags : 0, h && h->arcReady, CurrentHandlerList() == InRound().list,
                      CurrentHandlerList() ? int(CurrentHandlerList()->captured) : -1);
        state = text;
      });
      return drawn;
    })) << "shot " << shot << " " << state;
    const uint64_t before = wt::HostFrameCount();
    for (int press = 0; press < 3; ++press) {
      PressKey(VK_SPACE, 0x39);
      std::this_thread::sleep_for(std::chrono::milliseconds(press == 0 ? 550 : 450));
    }
    // The presses of the swing wait in the queue behind it; none of them may choose from the menu.
    MARect menu{};
    int replayFrames = 0;
    EXPECT_TRUE(WaitFor([&] {
      OnProgramThread([&] {
        menu = AfterShotMenuArea();
        replayFrames = GetReplayFrameCount();
      });
      return menu.right > menu.left;
    })) << "shot " << shot;
    const uint64_t shown = wt::HostFrameCount() - before;
    // The shot played through the scene's animations: the golfer swung through the impact, and the ball flew the
    // recording to its end.
    int impact = 0, swingFrame = 0, swingFrames = 0, landed = 0;
    MARect golfer{};
    EXPECT_TRUE(OnProgramThread([&] {
      TPlayer* p = CurrentGame()->players->GetPlayer(0);
      impact = GolferSwing(*p).impactFired;
      swingFrame = GolferSwing(*p).frameCounter;
      swingFrames = GolferSwing(*p).frameCount;
      landed = GolferBall(*p).landed;
      golfer = GolferSwing(*p).screenRect;
    }));
    log << "shot " << shot << " replay frames " << replayFrames << " frames shown " << shown << " swing " << swingFrame
        << "/" << swingFrames << " impact " << impact << " landed " << landed << "\n";
    EXPECT_EQ(impact, 1) << "shot " << shot;
    EXPECT_GT(swingFrames, 0) << "shot " << shot;
    EXPECT_EQ(landed, 1) << "shot " << shot;
    // The golfer stood on the screen where the shot was played, a figure of some size.
    EXPECT_GE(golfer.left, 0) << "shot " << shot;
    EXPECT_GE(golfer.top, 0) << "shot " << shot;
    EXPECT_LE(golfer.right, Facts().screenWidth) << "shot " << shot;
    EXPECT_LE(golfer.bottom, Facts().screenHeight) << "shot " << shot;
    EXPECT_GT(golfer.bottom - golfer.top, 40) << "shot " << shot;
    EXPECT_GT(shown, 2u) << "the flight is drawn on the screen, shot " << shot;
    EXPECT_EQ(ScreenPixel565(menu.left, menu.top), RoundPixel565(kAfterShotMenuFrame)) << "shot " << shot;
    EXPECT_EQ(ScreenPixel565(menu.right - 1, menu.bottom - 1), RoundPixel565(kAfterShotMenuFrame)) << "shot " << shot;
    // Enter takes the menu's default row.
    PressKey(VK_RETURN, 0x1C);
    EXPECT_TRUE(WaitFor([] {
      bool gone = false;
      OnProgramThread([&] { gone = !AfterShotMenuShown(); }, 2);
      return gone || ScoreCardPagesShown() > 0;
    }));
  }
  if (!cardShown) cardShown = WaitFor([] { return ScoreCardPagesShown() > 0; });
  EXPECT_TRUE(cardShown);
  // The card is on the screen, centred.
  const int size = std::clamp(Facts().sizeSetting, 0, 4);
  const int x = (Facts().screenWidth - CardWidth(size)) / 2, y = (Facts().screenHeight - CardHeight(size)) / 2;
  EXPECT_TRUE(WaitFor([&] { return ScreenPixel565(x + 1, y + 1) == RoundPixel565(kScoreCardFill); }));
  log << "card " << LastCardGolferRow() << "\n";
  PressKey(VK_RETURN, 0x1C);
  EXPECT_TRUE(WaitFor(MainMenuUp));
  EXPECT_EQ(program.Close(), 0);
  return log.str();
}

// The person's ball is put on the green a few yards short of the pin with the putter in hand; the person switches
// the green grid in the Display settings dialog of the options list, and the view then shows it: none with the grid
// off, the square grid (the ground darkened along its lines), and the putting lines. ROUNDUI_SHOW_GRID_MS keeps each picture up that long, to be looked at.
std::string PuttWithGrids(const std::string& demo, const std::string& registry) {
  std::ostringstream log;
  RunningProgram program(demo, registry, getenv("ROUNDUI_SHOW_HOST") == nullptr);
  TeeOff(program);
  EXPECT_TRUE(WaitFor([] { return AskAwaitingSwing(); }));
  bool onGreen = false;
  // The person opens the options list, chooses "Display", steps the "Green grid:" row to the choice and
  // presses "Ok"; the next frame shown is the view with that grid.
  const auto show = [&](int greenRow) {
    std::vector<uint16_t> frame;
    // The options list's button, then its "Display" row.
    EXPECT_TRUE(OnProgramThread([] { EXPECT_TRUE(ClickOptionsList(-1)); }));
    // The dialog runs inside this task; the questions below are answered from its loop.
    OnProgramThread([] { EXPECT_TRUE(ClickOptionsList(0)); }, 1);
    int row = -1;
    EXPECT_TRUE(WaitFor([&] { return (row = AskGreenGridRow()) >= 0; }));
    for (int step = 0; step < 5 && row >= 0 && row != greenRow; ++step) {
      const int was = row;
      EXPECT_TRUE(OnProgramThread([] {
        if (CScreenLayoutDialog* dialog = LayoutDialog()) ClickCentre(*dialog->rows[CScreenLayoutDialog::kGreenGrid]);
      }));
      EXPECT_TRUE(WaitFor([&] { return (row = AskGreenGridRow()) != was; })) << "step " << step;
    }
    EXPECT_EQ(row, greenRow);
    const uint64_t before = wt::HostFrameCount();
    EXPECT_TRUE(OnProgramThread([] {
      if (CScreenLayoutDialog* dialog = LayoutDialog()) ClickCentre(*dialog->buttons[CScreenLayoutDialog::kOk]);
    }));
    EXPECT_TRUE(WaitFor([] { return AskGreenGridRow() < 0; }));
    EXPECT_TRUE(OnProgramThread([&] {
      InvalidateRoundView();
      PresentRoundFrame();
    }));
    WaitFor([&] { return wt::HostFrameCount() > before; });
    if (const char* ms = getenv("ROUNDUI_SHOW_GRID_MS")) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms)));
    wt::HostFrameData data;
    if (!wt::HostFrame(&data)) return frame;
    for (uint32_t c : data.pixels) frame.push_back(To565(c));
    // ROUNDUI_GRID_FRAMES=DIR keeps each shown frame there (grid<row>.ppm), to be looked at.
    if (const char* dir = getenv("ROUNDUI_GRID_FRAMES")) {
      std::ofstream out(std::string(dir) + "/grid" + std::to_string(greenRow) + ".ppm", std::ios::binary);
      out << "P6\n" << data.width << " " << data.height << "\n255\n";
      for (uint32_t c : data.pixels) out.put(static_cast<char>(c >> 16)).put(static_cast<char>(c >> 8)).put(static_cast<char>(c));
    }
    return frame;
  };
  EXPECT_TRUE(OnProgramThread([&] {
    AdaPlays();
    TGame* g = CurrentGame();
    TPlayer* p = g->players->GetPlayer(0);
    p->flags |= kPuttingLinesAllowedFlag;
    const Vector3 pin = g->pinPosition, tee = p->ball.position;
    const float d = std::hypot(tee.x - pin.x, tee.y - pin.y);
    // The farthest point of the green short of the pin (up to 16 yards): the square grid starts at the eye, which
    // stands behind the ball, so it reaches past the ball only on a longer putt.
    for (float back = 16.0f; back >= 6.0f && !onGreen; back -= 0.5f) {
      Vector3 at{pin.x + (tee.x - pin.x) * back / d, pin.y + (tee.y - pin.y) * back / d, 0.0f};
      if ((GetTerrainSurface(at.x, at.y) >> 4) != 7) continue;
      at.z = GetTerrainHeight(at.x, at.y);
      BallPlaceAt(&p->ball, at);
      onGreen = true;
    }
    p->SetClub(kPutter);
    ShotAimPoint = pin;
  }));
  EXPECT_TRUE(onGreen);
  const std::vector<uint16_t> plain = show(0), square = show(1), lines = show(3);
  EXPECT_EQ(plain.size(), square.size());
  EXPECT_EQ(plain.size(), lines.size());
  // A grid line darkens the ground by a quarter (the central putt also sets the lowest blue bit); the water moves
  // between the pictures, so other changes are counted apart.
  const auto darker = [](uint16_t c) { return static_cast<uint16_t>(c - ((c & 0xE79C) >> 2)); };
  int darkened = 0, otherSquare = 0, marked = 0, otherLines = 0;
  for (size_t i = 0; i < plain.size() && i < square.size() && i < lines.size(); ++i) {
    if (square[i] != plain[i]) (square[i] == darker(plain[i]) ? darkened : otherSquare)++;
    if (lines[i] != plain[i]) (lines[i] == darker(plain[i]) || lines[i] == (darker(plain[i]) | 0x10) ? marked : otherLines)++;
  }
  log << "square grid " << darkened << " (other changes " << otherSquare << "), putting lines " << marked
      << " (other changes " << otherLines << ")\n";
  EXPECT_GT(darkened, 1000);
  EXPECT_GT(marked, 200);
  EXPECT_EQ(program.Close(), 0);
  return log.str();
}

class ProgramRoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/roundui_program_XXXXXX";
    demo_ = mkdtemp(pattern);
    mkdemo::DemoOptions options;
    options.holes = 1;
    std::string error;
    ASSERT_TRUE(MakeDemoInstallationCached(demo_, options, error)) << error;
  }
  void TearDown() override { fs::remove_all(demo_); }

  // Runs a round in a child process (each start finds only what the one before left on disk); its log.
  std::string RoundInChild(const std::string& name,
                          const std::function<std::string(const std::string&, const std::string&)>& play) {
    const std::string out = demo_ + "/" + name + ".log";
    RunInChildProcess(
        [&] {
          const std::string log = play(demo_, demo_ + "/" + name + ".registry.txt");
          std::ofstream(out) << log;
        },
        600000);
    std::ifstream in(out);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string demo_;
};

class ScriptedRoundTest : public ProgramRoundTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ScriptedRoundTest, AHolePlayedByScriptTwiceGivesTheSameShotsAndCard) {
  // The sound layer's idle sounds draw from the game's one random generator whenever they fall due, and until the
  // first swing the program runs on the real clock: with them on, the swings' draws would depend on how fast the
  // machine happens to run. The round is played with the game's sounds off.
  PreferencesBlock prefs = DefaultPreferencesBlock();
  prefs.bytes[0] = 0;
  const std::vector<uint8_t> file = EncodePreferencesFile(prefs);
  std::ofstream(demo_ + "/" + kPreferencesFileName, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  const auto play = [](const std::string& demo, const std::string& registry) {
    return PlayHoleByScript(demo, registry, GetParam());
  };
  const std::string first = RoundInChild("first", play);
  std::printf("%s", first.c_str());
  ASSERT_NE(first.find("card Ada"), std::string::npos) << first;
  // One line a shot: the card's first hole shows as many strokes (a ball picked up at the limit shows its count).
  const size_t shots = static_cast<size_t>(std::count(first.begin(), first.end(), '\n')) - 1;
  EXPECT_NE(first.find("card Ada " + std::to_string(shots) + " "), std::string::npos) << first;
  EXPECT_NE(first.find("frames "), std::string::npos);
  EXPECT_EQ(first.find("frames 0 "), std::string::npos) << "every shot plays back";
  EXPECT_EQ(RoundInChild("second", play), first);
}
const auto kSwingName = [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Pro" : "ThreeClicks"; };
INSTANTIATE_TEST_SUITE_P(Swing, ScriptedRoundTest, ::testing::Values(false, true), kSwingName);

TEST_F(ProgramRoundTest, KeysThroughTheWindowPlayTheHoleAndTheScreenShowsArcFlightMenuAndCard) {
  const std::string log = RoundInChild("keys", PlayHoleWithKeys);
  std::printf("%s", log.c_str());
  EXPECT_NE(log.find("shot 0 "), std::string::npos) << log;
  EXPECT_NE(log.find("card Ada"), std::string::npos) << log;
}

TEST_F(ProgramRoundTest, TheGreenGridChosenInDisplaySettingsShowsOnTheGreen) {
  const std::string log = RoundInChild("grid", PuttWithGrids);
  std::printf("%s", log.c_str());
  EXPECT_NE(log.find("square grid"), std::string::npos) << log;
}

}  // namespace

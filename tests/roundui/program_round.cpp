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
#include <memory>
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
#include "support/programthread.h"
#include "support/swing.h"
#include "support/runningprogram.h"
#include "app/gameapp.h"
#include "demo.h"
#include "framework/core/registry.h"
#include "support/demo_installation.h"
#include "framework/core/services.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "frontend/settingsdlg.h"
#include "course/preferences.h"
#include "course/terrain.h"
#include "golf/ballflight.h"
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
#include "roundui/holepanel.h"
#include "roundui/powermeter.h"
#include "roundui/replay.h"
#include "roundui/roundturn.h"
#include "roundui/scorecard.h"
#include "roundui/shotbuttons.h"
#include "roundui/shotclock.h"
#include "roundui/shotui.h"
#include "roundui/tips.h"
#include "roundui/targeting.h"
#include "roundui/uitext.h"
#include "roundui/windind.h"
#include "platformlib/gfx/vortel.h"
#include "scene/ballanim.h"
#include "scene/blimpcam.h"
#include "scene/golferanim.h"
#include "scene/golfview.h"
#include "scene/movingcam.h"
#include "scene/shotanim.h"
#include "teebox/providers.h"
#include "winapi/testing.h"
#include "winapi_registry.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
namespace wt = winapi::testing;

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
  EXPECT_TRUE(WaitUntil(MainMenuUp));
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
  OnProgramThread([row] { *row = LayoutDialog() ? LayoutDialog()->rows[CScreenLayoutDialog::kGreenGrid]->GetIndex() : -1; }, 2000);
  return row->load();
}

// The card is up at the end of the hole: a key closes it, the main menu comes back and the program is closed; the
// golfer's row the card showed, with the strokes of the hole.
std::string CloseCard(RunningProgram& program) {
  keybd_event(VK_RETURN, 0x1C, 0, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  keybd_event(VK_RETURN, 0x1C, KEYEVENTF_KEYUP, 0);
  EXPECT_TRUE(WaitUntil(MainMenuUp));
  const std::string row = "card " + LastCardGolferRow() + "\n";
  EXPECT_EQ(program.Close(), 0);
  return row;
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
    const bool ready = WaitUntil([&] { return ScoreCardPagesShown() > 0 || AskAwaitingSwing(); });
    auto status = std::make_shared<std::atomic<uint32_t>>(0);
    if (ScoreCardPagesShown() == 0) OnProgramThread([status] { *status = GetGolfStatus(); }, 2000);
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
  if (!cardShown) cardShown = WaitUntil([] { return ScoreCardPagesShown() > 0; });
  EXPECT_TRUE(cardShown);
  log << CloseCard(program);
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
    EXPECT_TRUE(WaitUntil([] { return ScoreCardPagesShown() > 0 || AskAwaitingSwing(); })) << "shot " << shot;
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
    EXPECT_TRUE(WaitUntil([&] {
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
    EXPECT_TRUE(WaitUntil([&] {
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
    EXPECT_TRUE(WaitUntil([] {
      bool gone = false;
      OnProgramThread([&] { gone = !AfterShotMenuShown(); }, 2000);
      return gone || ScoreCardPagesShown() > 0;
    }));
  }
  if (!cardShown) cardShown = WaitUntil([] { return ScoreCardPagesShown() > 0; });
  EXPECT_TRUE(cardShown);
  // The card is on the screen, centred.
  const int size = std::clamp(Facts().sizeSetting, 0, 4);
  const int x = (Facts().screenWidth - CardWidth(size)) / 2, y = (Facts().screenHeight - CardHeight(size)) / 2;
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel565(x + 1, y + 1) == RoundPixel565(kScoreCardFill); }));
  log << "card " << LastCardGolferRow() << "\n";
  PressKey(VK_RETURN, 0x1C);
  EXPECT_TRUE(WaitUntil(MainMenuUp));
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
  EXPECT_TRUE(WaitUntil([] { return AskAwaitingSwing(); }));
  bool onGreen = false;
  // The person opens the options list, chooses "Display", steps the "Green grid:" row to the choice and
  // presses "Ok"; the next frame shown is the view with that grid.
  const auto show = [&](int greenRow) {
    std::vector<uint16_t> frame;
    // The options list's button, then its "Display" row.
    EXPECT_TRUE(OnProgramThread([] { EXPECT_TRUE(ClickOptionsList(-1)); }));
    // The dialog runs inside this task; the questions below are answered from its loop.
    OnProgramThread([] { EXPECT_TRUE(ClickOptionsList(0)); }, 1000);
    int row = -1;
    EXPECT_TRUE(WaitUntil([&] { return (row = AskGreenGridRow()) >= 0; }));
    for (int step = 0; step < 5 && row >= 0 && row != greenRow; ++step) {
      const int was = row;
      EXPECT_TRUE(OnProgramThread([] {
        if (CScreenLayoutDialog* dialog = LayoutDialog()) ClickCentre(*dialog->rows[CScreenLayoutDialog::kGreenGrid]);
      }));
      EXPECT_TRUE(WaitUntil([&] { return (row = AskGreenGridRow()) != was; })) << "step " << step;
    }
    EXPECT_EQ(row, greenRow);
    const uint64_t before = wt::HostFrameCount();
    EXPECT_TRUE(OnProgramThread([] {
      if (CScreenLayoutDialog* dialog = LayoutDialog()) ClickCentre(*dialog->buttons[CScreenLayoutDialog::kOk]);
    }));
    EXPECT_TRUE(WaitUntil([] { return AskGreenGridRow() < 0; }));
    EXPECT_TRUE(OnProgramThread([&] {
      InvalidateRoundView();
      PresentRoundFrame();
    }));
    WaitUntil([&] { return wt::HostFrameCount() > before; });
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

// A control of the shot controls' group: the first of its type that `which` takes.
template <typename T, typename Which>
T* ShotControl(Which which) {
  TShotUIManager* ui = InRound().shotUI;
  if (!ui) return nullptr;
  for (uint32_t i = 0; i < ui->list.Count(); ++i)
    if (auto* b = dynamic_cast<T*>(ui->list.At(i)); b && which(*b)) return b;
  return nullptr;
}
TBallSpinBtn* DrawButton() {
  return ShotControl<TBallSpinBtn>([](const TBallSpinBtn& b) { return b.kind == 2; });
}

// The person holds "Play a draw" on the tee, with the shot clock on and the disc's music playing; the tips button
// comes alive and a click plays the draw tip's movie with its text under the picture. While it plays the music is
// stopped and the shot clock waits; afterwards both go on. ROUNDUI_TIP_FRAME=FILE keeps the screen shown during the
// movie (a PPM), to be looked at.
std::string TipDuringARound(const std::string& demo, const std::string& registry) {
  std::ostringstream log;
  wt::MapDrive('D', demo + "/DISC", "TEEBOX");
  wt::SetCdDrive('D', "TEEBOX");
  RunningProgram program(demo, registry, true, {"/NOINTRO", "/VEZEVADOZ"});
  EXPECT_TRUE(program.Started(30000));
  EXPECT_TRUE(WaitUntil(MainMenuUp));
  EXPECT_TRUE(OnProgramThread([] { CurrentGame()->options |= 1; }));  // the shot clock
  TeeOff(program);
  EXPECT_TRUE(WaitUntil(
      [] {
        auto ready = std::make_shared<std::atomic<bool>>(false);
        OnProgramThread([ready] { *ready = AwaitingSwing() && ShotClock() && DrawButton(); }, 2000);
        return ready->load();
      },
      120000));
  const auto musicMode = [] {
    char mode[32] = {};
    return mciSendStringA("status cdaudio mode", mode, sizeof mode, nullptr) == 0 ? std::string(mode) : std::string("?");
  };
  EXPECT_TRUE(WaitUntil([&] { return musicMode() == "playing"; }));
  int32_t x = 0, y = 0;
  EXPECT_TRUE(OnProgramThread([&] {
    if (!wt::VirtualClockOn()) wt::UseVirtualClock(true, timeGetTime());
    wt::SetVirtualWaitGrace(0);
    TBallSpinBtn* draw = DrawButton();
    EXPECT_NE(draw, nullptr);
    EXPECT_NE(ShotClock(), nullptr);
    if (!draw || !ShotClock()) return;
    // Held down for 300 ms of the clock, then let go.
    const int cx = (draw->left + draw->right) / 2, cy = (draw->top + draw->bottom) / 2;
    wt::StartInputScript({wt::ScriptPointer(0, cx, cy, 1, true), wt::ScriptPointer(300, cx, cy, 1, false)}, 1);
    Svc().round->OnPointerPress(static_cast<int16_t>(cx), static_cast<int16_t>(cy), 0);
    wt::StopInputScript();
    log << "curve " << PowerMeter->curve << " trigger " << Tips().trigger << " live " << (Tips().inactive == 0) << "\n";
    EXPECT_EQ(Tips().trigger, kTipDraw);
    EXPECT_EQ(Tips().inactive, 0);
    ShotClock()->OnIdle();
    if (Tips().button) x = (Tips().button->left + Tips().button->right) / 2, y = (Tips().button->top + Tips().button->bottom) / 2;
  }));
  // The click plays the movie inside the program's task; this thread watches the music and the screen meanwhile.
  std::atomic<uint32_t> before{0}, after{0}, movieMs{0};
  std::atomic<bool> done{false};
  std::string lastMovie;
  std::thread click([&] {
    OnProgramThread(
        [&] {
          before = ShotClock() ? ShotClock()->Remaining() : 0;
          const uint32_t t0 = timeGetTime();
          Svc().round->OnPointerPress(static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
          Svc().round->OnPointerRelease(static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
          movieMs = timeGetTime() - t0;
          // A pass of the idle work after the movie: the clock takes the time that went by.
          if (ShotClock()) ShotClock()->OnIdle();
          after = ShotClock() ? ShotClock()->Remaining() : 0;
          lastMovie = Tips().lastMovie;
        },
        120000);
    done = true;
  });
  std::vector<std::string> modes;
  bool textShown = false;
  while (!done) {
    const std::string mode = musicMode();
    if (modes.empty() || modes.back() != mode) modes.push_back(mode);
    // The movie's screen: black around the picture, the text in white under it.
    wt::HostFrameData frame;
    if (!textShown && wt::HostFrame(&frame) && frame.width > 0) {
      const int w = frame.width, h = frame.height;
      int white = 0;
      const bool black = (frame.pixels[0] & 0xFFFFFF) == 0 && (frame.pixels[static_cast<size_t>(w) * h - 1] & 0xFFFFFF) == 0;
      for (int row = h / 2 + 70; row < h && black; ++row)
        for (int col = 0; col < w; ++col) white += (frame.pixels[static_cast<size_t>(row) * w + col] & 0xFFFFFF) == 0xFFFFFF;
      if (black && white > 200) {
        textShown = true;
        if (const char* file = getenv("ROUNDUI_TIP_FRAME")) {
          std::ofstream out(file, std::ios::binary);
          out << "P6\n" << w << " " << h << "\n255\n";
          for (uint32_t c : frame.pixels) out.put(static_cast<char>(c >> 16)).put(static_cast<char>(c >> 8)).put(static_cast<char>(c));
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  click.join();
  std::string seen;
  for (const std::string& m : modes) seen += m + " ";
  log << "movie " << lastMovie << " " << movieMs << " ms, clock " << before << " then " << after << ", music " << seen
      << ", text " << textShown << "\n";
  EXPECT_NE(lastMovie.find("ttip08.mad"), std::string::npos);
  EXPECT_GE(movieMs.load(), 1000u) << "the movie plays 24 frames at 15 a second";
  // Not a second of the movie is taken from the shot.
  EXPECT_EQ(after.load(), before.load());
  EXPECT_NE(std::find(modes.begin(), modes.end(), "stopped"), modes.end()) << seen;
  EXPECT_TRUE(textShown);
  EXPECT_TRUE(WaitUntil([&] { return musicMode() == "playing"; })) << "the music goes on after the tip";
  EXPECT_EQ(program.Close(), 0);
  // The movie's line in the program's log.
  std::ifstream programLog(demo + "/" + kLogFileName);
  for (std::string line; std::getline(programLog, line);)
    if (line.find("Movie ") != std::string::npos) log << line << "\n";
  return log.str();
}

// The centre of a control, pressed with the left button for `holdMs` of the virtual clock and let go, through the
// round's input (the press runs the control's hold loop, which polls the scripted pointer).
void HoldControl(const MA_EventHandler& control, uint32_t holdMs) {
  const int x = (control.left + control.right) / 2, y = (control.top + control.bottom) / 2;
  wt::StartInputScript({wt::ScriptPointer(0, x, y, 1, true), wt::ScriptPointer(holdMs, x, y, 1, false)}, 1);
  Svc().round->OnPointerPress(static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
  wt::StopInputScript();
  Svc().round->OnPointerRelease(static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
}
void ClickControl(const MA_EventHandler& control) {
  const int x = (control.left + control.right) / 2, y = (control.top + control.bottom) / 2;
  Svc().round->OnPointerPress(static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
  Svc().round->OnPointerRelease(static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
}

// The whole shot set-up played on the fixture hole in a gusting moderate wind: on the tee the person holds "Play a
// draw" with the driver (the curve climbs to the driver's limit of 25 and stays there however long the button is
// held), then clicks the safe button and the planner aims the shot; near the green the chip is chosen with its
// shot-type button; every shot is swung with three presses and the hole is played out. At each stroke the hole
// panel shows the shot about to be played and the golfer's score to par as the card counts it.
std::string PlaySetUpHole(const std::string& demo, const std::string& registry) {
  std::ostringstream log;
  RunningProgram program(demo, registry, getenv("ROUNDUI_SHOW_HOST") == nullptr);
  EXPECT_TRUE(program.Started(30000));
  EXPECT_TRUE(WaitUntil(MainMenuUp));
  // The round's wind: moderate, gusting.
  EXPECT_TRUE(OnProgramThread([] {
    CurrentGame()->SetOptionField(0, 1);
    CurrentGame()->SetOptionField(1, 1);
  }));
  TeeOff(program);
  bool cardShown = false, chipped = false;
  int labelsRight = 0;
  std::vector<int32_t> winds;
  for (int shot = 0; shot < 20 && !cardShown; ++shot) {
    EXPECT_TRUE(WaitUntil([] { return ScoreCardPagesShown() > 0 || AskAwaitingSwing(); })) << "shot " << shot;
    if ((cardShown = ScoreCardPagesShown() > 0)) break;
    EXPECT_TRUE(OnProgramThread([&] {
      if (!wt::VirtualClockOn()) wt::UseVirtualClock(true, timeGetTime());
      wt::SetVirtualWaitGrace(0);
      TGame* g = CurrentGame();
      TPlayer* p = g->players->GetPlayer(0);
      if (shot == 0) AdaPlays();
      // Each stroke's own random numbers (the swing's deviation, the planner); the gusts go on by the clock.
      Svc().scene->SeedRandom15(7 + shot);
      // The arc laid out for the ball where it lies now, whatever the idle passes did before (see PlayHoleByScript).
      if (TargetingArcEventHandler* h = CurrentTargetingHandler) {
        h->FollowShot();
        UpdateTargeting(h, 0, 0, 0, 1);
      }
      // The panel as the program left it for this stroke.
      uint32_t strokes = 0;
      p->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
      strokes &= ~kScoreMarker;
      // The score counts the shot in hand.
      const int toPar = static_cast<int>(strokes) + 1 - Svc().catalogue->HolePar(g->state.hole);
      char score[16];
      std::snprintf(score, sizeof score, toPar > 0 ? "(+%d)" : "(%d)", toPar);
      EXPECT_NE(HolePanel, nullptr);
      if (HolePanel) {
        log << "shot " << shot << " panel \"" << HolePanel->shotLabel << "\" \"" << HolePanel->scores[0] << "\"";
        const bool right = HolePanel->shotLabel == "Shot " + std::to_string(strokes + 1) && HolePanel->scores[0] == score;
        EXPECT_TRUE(right) << "stroke " << strokes << " score " << score;
        labelsRight += right;
      }
      // The gusts move the speed within the moderate wind's range, and the ball flies in the speed shown.
      EXPECT_TRUE(g->GustsBlow());
      winds.push_back(g->windSpeed);
      EXPECT_GE(g->windSpeed, 7);
      EXPECT_LE(g->windSpeed, 20);
      const Vector3 w = BallWind();
      EXPECT_NEAR(std::hypot(w.x, w.y), static_cast<float>(g->windSpeed) * 1760.0f / 3600.0f, 1e-3f);
      log << " wind " << g->windSpeed;
      if (shot == 0) {
        EXPECT_EQ(int(p->currentClub), 0) << "the driver on the tee";
        TBallSpinBtn* draw = DrawButton();
        EXPECT_NE(draw, nullptr);
        if (!draw) return;
        // About five passes, then ten more, then long after: the curve climbs 2.5 a pass to 25 and stays.
        float curves[3];
        const uint32_t holds[3] = {180, 400, 1200};
        for (int h = 0; h < 3; ++h) {
          HoldControl(*draw, holds[h]);
          curves[h] = PowerMeter->curve;
        }
        log << " draw " << curves[0] << " " << curves[1] << " " << curves[2];
        EXPECT_GT(curves[0], 0.0f);
        EXPECT_LT(curves[0], 25.0f);
        EXPECT_FLOAT_EQ(curves[1], 25.0f);
        EXPECT_FLOAT_EQ(curves[2], 25.0f);
        // The safe button: the planner sets the shot up and the arc is laid out toward its aim.
        auto* safe = ShotControl<TBallAggrSafeRadioBtn>([](const TBallAggrSafeRadioBtn& b) { return b.buttonId == kChoiceSafe; });
        EXPECT_NE(safe, nullptr);
        if (!safe) return;
        const Vector3 before = ShotAimPoint;
        ClickControl(*safe);
        EXPECT_EQ(AggrSafeChoice(), kChoiceSafe);
        EXPECT_EQ(AimPoint.x, ShotAimPoint.x);
        EXPECT_EQ(AimPoint.y, ShotAimPoint.y);
        char aim[96];
        std::snprintf(aim, sizeof aim, " safe aim %.1f %.1f (was %.1f %.1f) club %d curve %.1f", ShotAimPoint.x,
                      ShotAimPoint.y, before.x, before.y, int(p->currentClub), PowerMeter->curve);
        log << aim;
        EXPECT_TRUE(before.x != ShotAimPoint.x || before.y != ShotAimPoint.y) << "the planner aims";
      }
      // Near the green, off it, the chip.
      const float toPin = std::hypot(g->pinPosition.x - p->ball.position.x, g->pinPosition.y - p->ball.position.y);
      const bool onGreen = (GetTerrainSurface(p->ball.position.x, p->ball.position.y) >> 4) == 7;
      log << " to pin " << static_cast<int>(toPin) << (onGreen ? " green" : "");
      if (!chipped && shot > 0 && !onGreen && toPin < 60.0f) {
        auto* chip = ShotControl<TShotTypeBtn>([](const TShotTypeBtn& b) { return b.button == 3; });
        EXPECT_NE(chip, nullptr);
        if (chip) ClickControl(*chip);
        EXPECT_EQ(p->shotType, 5u);
        EXPECT_EQ(int(p->currentClub), NearestClubAtOrBelow(p->bag, 13));
        EXPECT_TRUE(ShotTypeSelected(3, p->shotType));
        chipped = p->shotType == 5;
        log << " chip club " << int(p->currentClub);
      }
      const Vector3 from = p->ball.position;
      // The accuracy press comes back near the meter's zero: a straight shot.
      wt::StartInputScript(ThreeClicks(1350, 2200), 1);
      Svc().round->OnKeyPress(' ');
      wt::StopInputScript();
      char flown[96];
      std::snprintf(flown, sizeof flown, " marks %d %d flew %.1f frames %d\n", int(PowerMeter->powerMark),
                    int(PowerMeter->accuracyMark),
                    std::hypot(p->ball.position.x - from.x, p->ball.position.y - from.y), GetReplayFrameCount());
      log << flown;
      // "Ok" is the menu's default row.
      Svc().round->OnKeyPress(VK_RETURN);
    }, 120000));
  }
  if (!cardShown) cardShown = WaitUntil([] { return ScoreCardPagesShown() > 0; });
  EXPECT_TRUE(cardShown);
  EXPECT_TRUE(chipped) << "the ball came near the green";
  EXPECT_EQ(static_cast<size_t>(labelsRight), winds.size());
  log << CloseCard(program);
  return log.str();
}

// The person chooses a camera (`cameraChoice`, the Display settings' Main view and PIP words) and drives. With a
// picture-in-picture camera, while the ball flies the inset in its white frame shows the camera's picture over the
// view; a full-screen camera (on the hardware back end) carries the whole view. The camera moves with the shot.
// ROUNDUI_CAMERA_FRAMES=DIR keeps the shown frames of the flight there (cam<n>.ppm), to be looked at.
// Pages shown while the full-screen camera flies, and how many of them showed the golfer's own view instead of
// the camera's: the page's view is the main view as it stands when the page is flipped.
struct FlightPages {
  int shown = 0, golfers = 0;
};
FlightPages gFlightPages;
VortelInfoFn gModuleFlip = nullptr;
intptr_t CountFlightPage() {
  const TMountedMovingCamera& camera = FullMovingCamera();
  if (ActiveMovingCamera == &camera && camera.running && !camera.finished && camera.framesDrawn > 0) {
    ++gFlightPages.shown;
    const TGolfView& v = camera.camView;
    if (MainView.cameraX != v.cameraX || MainView.cameraZ != v.cameraZ || MainView.heading != v.heading)
      ++gFlightPages.golfers;
  }
  return gModuleFlip ? gModuleFlip() : 0;
}

std::string DriveWithCamera(const std::string& demo, const std::string& registry, uint32_t cameraChoice,
                            bool hardware) {
  std::ostringstream log;
  if (hardware)
    std::ofstream(registry) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics]\n"
                            << "\"3D Enable Flag\"=dword:1\n";
  RunningProgram program(demo, registry, getenv("ROUNDUI_SHOW_HOST") == nullptr,
                         hardware ? std::vector<std::string>{"/NOINTRO", "/D3D"} : std::vector<std::string>{"/NOINTRO"});
  TeeOff(program);
  EXPECT_TRUE(WaitUntil([] { return AskAwaitingSwing(); }));
  int32_t rect[4] = {0, 0, 0, 0};
  // The flight's frames as the person sees them, gathered beside the program while it plays the shot.
  std::vector<wt::HostFrameData> frames;
  std::atomic<bool> collecting{true};
  std::thread collector([&] {
    uint64_t seen = wt::HostFrameCount();
    while (collecting.load()) {
      wt::HostFrameData data;
      if (wt::HostFrameCount() != seen && wt::HostFrame(&data) && frames.size() < 400) {
        seen = data.serial;
        frames.push_back(std::move(data));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  // The swing's presses on the virtual clock, so the drive's strength does not hang on how busy the machine is;
  // the shot plays to the after-shot menu before the key press returns.
  MARect menu{};
  int kind = -1, drawn = 0;
  float moved = 0.0f;
  bool marker = false;
  EXPECT_TRUE(OnProgramThread([&] {
    AdaPlays();
    TPlayer* p = CurrentGame()->players->GetPlayer(0);
    p->viewChoices = (p->viewChoices & ~(0xFF000u | kViewOverheadBit)) | cameraChoice;
    if (hardware && vortellive.pageflip && vortellive.pageflip != CountFlightPage) {
      gModuleFlip = vortellive.pageflip;
      vortellive.pageflip = CountFlightPage;
    }
    wt::StartInputScript(ThreeClicks(1350, 2200), 1);
    Svc().round->OnKeyPress(' ');
    wt::StopInputScript();
    menu = AfterShotMenuArea();
    const TMountedMovingCamera& camera = (cameraChoice & 0xF0000u) ? FullMovingCamera() : PipMovingCamera();
    kind = ActiveMovingCamera ? ActiveMovingCamera->kind : camera.kind;
    drawn = camera.framesDrawn;
    moved = std::hypot(camera.lastEye.x - camera.firstEye.x, camera.lastEye.y - camera.firstEye.y);
    std::copy(camera.rect, camera.rect + 4, rect);
    marker = OverheadBallMarker().Shown();
  }, 120000));
  collecting = false;
  collector.join();
  EXPECT_GT(menu.right, menu.left) << "the shot played to its end";
  // The frames that show the inset: its white frame at the four corners. A full-screen camera's rectangle is the
  // whole screen, which no frame surrounds.
  const bool inset = (cameraChoice & 0xF0000u) == 0;
  int withInset = 0;
  const char* dir = getenv("ROUNDUI_CAMERA_FRAMES");
  for (size_t n = 0; n < frames.size(); ++n) {
    const wt::HostFrameData& f = frames[n];
    const auto at = [&](int x, int y) { return To565(f.pixels[static_cast<size_t>(y) * f.width + x]); };
    if (rect[2] <= rect[0] || rect[2] > f.width || rect[3] > f.height) break;
    if (at(rect[0], rect[1]) == 0xFFFF && at(rect[2] - 1, rect[3] - 1) == 0xFFFF && at(rect[0], rect[3] - 1) == 0xFFFF &&
        at(rect[2] - 1, rect[1]) == 0xFFFF)
      ++withInset;
    if (dir) {
      std::ofstream out(std::string(dir) + "/cam" + std::to_string(n) + ".ppm", std::ios::binary);
      out << "P6\n" << f.width << " " << f.height << "\n255\n";
      for (uint32_t c : f.pixels) out.put(static_cast<char>(c >> 16)).put(static_cast<char>(c >> 8)).put(static_cast<char>(c));
    }
  }
  log << "camera " << CameraKindName(kind) << " steps " << drawn << " moved " << static_cast<int>(moved) << " frames "
      << frames.size() << " with inset " << withInset << " overhead marker " << marker << " flight pages " << gFlightPages.shown
      << " golfer's " << gFlightPages.golfers << "\n";
  EXPECT_GT(drawn, 10);
  if (hardware) {
    // The camera owns the screen for its flight: no page between its frames shows the golfer's view.
    EXPECT_GT(gFlightPages.shown, 10);
    EXPECT_EQ(gFlightPages.golfers, 0) << "of " << gFlightPages.shown << " pages during the flight";
  }
  if (inset) {
    EXPECT_GT(withInset, 5);
  }
  PressKey(VK_ESCAPE, 0x01);
  program.Close();
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


 public:
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

TEST_F(ProgramRoundTest, ATipMovieShowsItsTextWhileTheMusicAndTheShotClockWait) {
  // Music during a round is on.
  PreferencesBlock prefs = DefaultPreferencesBlock();
  prefs.bytes[0] |= kSoundMusic;
  const std::vector<uint8_t> file = EncodePreferencesFile(prefs);
  std::ofstream(demo_ + "/" + kPreferencesFileName, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  const std::string log = RoundInChild("tip", TipDuringARound);
  std::printf("%s", log.c_str());
  EXPECT_NE(log.find("movie "), std::string::npos) << log;
}

TEST_F(ProgramRoundTest, TheShotSetUpOnAHoleInAGustingWind) {
  const std::string log = RoundInChild("setup", PlaySetUpHole);
  std::printf("%s", log.c_str());
  EXPECT_NE(log.find("card Ada"), std::string::npos) << log;
}

TEST_F(ProgramRoundTest, TheGreenGridChosenInDisplaySettingsShowsOnTheGreen) {
  const std::string log = RoundInChild("grid", PuttWithGrids);
  std::printf("%s", log.c_str());
  EXPECT_NE(log.find("square grid"), std::string::npos) << log;
}

}  // namespace

// Drives once with each camera word in a round of its own; the camera of the kind named runs, and a moving one
// goes down the hole with the ball. A word with the Overhead option gives the overhead view the blimp's ball marker.
namespace {
struct CameraCase {
  uint32_t word;
  const char* kind;
  bool moves;
};
void ExpectCamerasFollowTheDrive(ProgramRoundTest& test, std::initializer_list<CameraCase> cases, bool hardware) {
  for (const CameraCase& c : cases) {
    const std::string log = test.RoundInChild(
        (hardware ? "full" : "camera") + std::to_string(c.word),
        [&](const std::string& d, const std::string& r) { return DriveWithCamera(d, r, c.word, hardware); });
    std::printf("%s", log.c_str());
    EXPECT_NE(log.find(std::string("camera ") + c.kind + " "), std::string::npos) << log;
    const size_t at = log.find(" moved ");
    ASSERT_NE(at, std::string::npos) << log;
    const int moved = std::atoi(log.c_str() + at + 7);
    if (c.moves) {
      EXPECT_GT(moved, 30) << "the ball camera went down the hole with the ball";
    }
    EXPECT_NE(log.find(std::string("overhead marker ") + ((c.word & kViewOverheadBit) ? "1" : "0")), std::string::npos)
        << log;
  }
}
}  // namespace

// On the hardware back end a full-screen camera chosen as the Main view becomes the round's view for the flight.
TEST_F(ProgramRoundTest, AFullScreenCameraOnTheHardwareBackEndFollowsTheDrive) {
  ExpectCamerasFollowTheDrive(*this, {{0x30000, "kFullBallCam", true}, {0x50000, "kFullTowerCam", false}}, true);
}

TEST_F(ProgramRoundTest, APipCameraChosenInDisplaySettingsFollowsTheDrive) {
  ExpectCamerasFollowTheDrive(*this, {{0x2000 | kViewOverheadBit, "kPipBallCam", true}, {0x4000, "kPipTowerCam", false}}, false);
}

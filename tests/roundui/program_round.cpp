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
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/launch.h"
#include "framework/ui/eventhandler.h"
#include "golf/player.h"
#include "roundui/aftershot.h"
#include "roundui/clubbar.h"
#include "roundui/clubs.h"
#include "roundui/replay.h"
#include "roundui/roundturn.h"
#include "roundui/scorecard.h"
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

// One round by script; what every shot did, line by line.
std::string PlayHoleByScript(const std::string& demo, const std::string& registry) {
  std::ostringstream log;
  RunningProgram program(demo, registry, getenv("ROUNDUI_SHOW_HOST") == nullptr);
  EXPECT_TRUE(program.Started(30000));
  EXPECT_TRUE(WaitFor([] {
    bool menu = false;
    OnProgramThread([&] { menu = TeeOffButton != nullptr; });
    return menu;
  }));
  EXPECT_TRUE(OnProgramThread([] {
    TPlayer* p = CurrentGame()->players->GetPlayer(0);
    p->flags |= kGolferTakesPart;
    std::snprintf(p->name, sizeof p->name, "%s", "Ada");
    Svc().scene->SeedRandom15(7);
    MARect r{};
    TeeOffButton->GetRect(&r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at);
    QueueWindowProc(nullptr, WM_LBUTTONUP, 0, at);
  }));
  bool cardShown = false;
  for (int shot = 0; shot < 20 && !cardShown; ++shot) {
    // The person's turn: the shot controls wait for the swing (or the hole is over and the card is up).
    const bool ready = WaitFor([&] {
      if (ScoreCardPagesShown() > 0) return true;
      // The card's page is modal: a task posted now would wait for it, so the question is kept short.
      auto waiting = std::make_shared<std::atomic<bool>>(false);
      OnProgramThread([waiting] { *waiting = AwaitingSwing(); }, 2);
      return waiting->load();
    });
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
      if (shot == 0) {
        // The game Tee off made reloaded its golfers: Ada takes part in it as she did in the menu's game.
        p->flags |= kGolferTakesPart;
        std::snprintf(p->name, sizeof p->name, "%s", "Ada");
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
      char aim[64];
      std::snprintf(aim, sizeof aim, "aim %.2f %.2f ", ShotAimPoint.x, ShotAimPoint.y);
      log << aim << "club " << int(p->currentClub);
      wt::StartInputScript(ThreeClicks(1350, 1900), 1);
      Svc().round->OnKeyPress(' ');
      wt::StopInputScript();
      log << " frames " << GetReplayFrameCount() << " menu " << AfterShotMenuRows();
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
  EXPECT_TRUE(WaitFor([] {
    bool menu = false;
    OnProgramThread([&] { menu = TeeOffButton != nullptr; });
    return menu;
  }));
  // The card showed the golfer's row with the strokes of the hole.
  log << "card " << LastCardGolferRow() << "\n";
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
    ASSERT_TRUE(mkdemo::MakeDemoInstallation(demo_, options, error)) << error;
  }
  void TearDown() override { fs::remove_all(demo_); }

  // Runs a round in a child process (each start finds only what the one before left on disk); its log.
  std::string RoundInChild(const std::string& name) {
    const std::string out = demo_ + "/" + name + ".log";
    RunInChildProcess(
        [&] {
          const std::string log = PlayHoleByScript(demo_, demo_ + "/" + name + ".registry.txt");
          std::ofstream(out) << log;
        },
        600000);
    std::ifstream in(out);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string demo_;
};

// Off until the scripted round is deterministic again: in a fresh checkout the same script gives different swings
// from the first shot (the wind's gusts run on the real tick counter, the first suspect), though the hole is
// played to its card each time.
TEST_F(ProgramRoundTest, DISABLED_AHolePlayedByScriptTwiceGivesTheSameShotsAndCard) {
  const std::string first = RoundInChild("first");
  std::printf("%s", first.c_str());
  ASSERT_NE(first.find("card Ada"), std::string::npos) << first;
  // One line a shot: the card's first hole shows as many strokes (a ball picked up at the limit shows its count).
  const size_t shots = static_cast<size_t>(std::count(first.begin(), first.end(), '\n')) - 1;
  EXPECT_NE(first.find("card Ada " + std::to_string(shots) + " "), std::string::npos) << first;
  EXPECT_NE(first.find("frames "), std::string::npos);
  EXPECT_EQ(first.find("frames 0 "), std::string::npos) << "every shot plays back";
  EXPECT_EQ(RoundInChild("second"), first);
}

}  // namespace

// The real program in this process: the providers `teebox` installs (InstallProviders) and ProgramMain on a thread
// of its own, headless, on a minimal installation. Each start runs in a child process of its own, so that a second
// start finds only what the first left on disk. The test acts as the user (the host's input), as the comm layer
// (comm messages posted to the queue window) and, through the program's own thread, as the game's callers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/commqueue.h"
#include "support/childprocess.h"
#include "support/programthread.h"
#include "support/teeoff.h"
#include "support/runningprogram.h"
#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "app/gameapp.h"
#include "framework/core/gfxrecord.h"
#include "framework/core/services.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/gfx/vortel.h"
#include "roundui/shotclock.h"
#include "scene/holedraw3d.h"
#include "shapewriter.h"
#include "teebox/providers.h"
#include "winapi/testing.h"
#include "winapi_registry.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
using winapi::testing::HostFrameData;
constexpr uint32_t kArgumentB = 0x5A5A;

// Polls until the condition holds; false after about `limit` real milliseconds (nothing is timed here, the limit
// only keeps a broken program from hanging the test).
bool WaitFor(const std::function<bool()>& condition, int limit = 20000) {
  for (int waited = 0; waited < limit; waited += 5) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

void Key(BYTE key, BYTE scan, bool down) { keybd_event(key, scan, down ? 0 : KEYEVENTF_KEYUP, 0); }

// Pixels of the box the pause prompt draws, centred on the display (288 x 24), inside its border, that are not the
// box's background: the text.
int PromptTextPixels(const HostFrameData& frame) {
  const int left = frame.width / 2 - 144, top = frame.height / 2 - 8;
  if (left < 0 || top < 0 || left + 288 > frame.width || top + 24 > frame.height) return 0;
  const uint32_t background = frame.pixels[static_cast<size_t>(top + 2) * frame.width + left + 2];
  int text = 0;
  for (int y = top + 2; y < top + 22; ++y)
    for (int x = left + 2; x < left + 286; ++x)
      if (frame.pixels[static_cast<size_t>(y) * frame.width + x] != background) ++text;
  return text;
}

// Whether a host pixel (0xRRGGBB) shows a 5-6-5 pixel.
bool Shows565(uint32_t shown, uint16_t p) {
  return ((shown >> 19) & 31) == ((p >> 11) & 31u) && ((shown >> 10) & 63) == ((p >> 5) & 63u) &&
         ((shown >> 3) & 31) == (p & 31u);
}

uint64_t AreaSum(const WindowDesc* w, int x0, int y0, int x1, int y1) {
  uint64_t sum = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const uint8_t* p = w->pixels + w->rows[y] + x * 2;
      sum = sum * 31 + (p[0] | p[1] << 8);
    }
  return sum;
}

class RunningProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/teebox_running_XXXXXX";
    root_ = mkdtemp(pattern);
    for (const char* f : {"MENUS", "FONTS", "UI", "UI640", "UI800", "COURSES/SEDGEFEN"})
      fs::create_directories(root_ + "/DATA/" + f);
    std::ofstream(root_ + "/DATA/COURSES/SEDGEFEN/COURSE.DAT") << "COURSE 1\nfolder SEDGEFEN\ntitle Sedgefen\n";
    // A small 32-bit picture for the blended draw: green and clear columns.
    shapetools::Image picture;
    picture.type = 0x7D;
    picture.width = picture.height = 16;
    for (int i = 0; i < 256; ++i) picture.pixels.push_back(i % 2 ? 0xFF00FF00u : 0);
    const std::vector<uint8_t> bytes = shapetools::shapefile({{"grfx", picture}});
    std::ofstream(root_ + "/DATA/MENUS/blend.shp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs the scenario in a child process; its gtest failures are printed there, its exit code says whether any.
  void InChild(const std::function<void()>& scenario) { RunInChildProcess(scenario); }

  std::string Read(const std::string& name) {
    std::ifstream in(root_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string root_;
};

TEST_F(RunningProgramTest, PausesDefersResumesSavesAndResumesTheLastGame) {

  InChild([&] {
    RunningProgram program(root_, root_ + "/registry1.txt");
    ASSERT_TRUE(program.Started(20000));

    // (a) The start made a game: golf's.
    ASSERT_TRUE(OnProgramThread([] {
      EXPECT_STREQ(Svc().game->Name(), "golf");
      EXPECT_TRUE(Svc().game->GameExists());
      EXPECT_NE(CurrentGame(), nullptr);
      EXPECT_EQ(Facts().mainWindow, Loop().mainWindow);
      EXPECT_NE(Facts().mainWindow, nullptr);
      // The start-up made the first installed course the game's.
      EXPECT_EQ(CurrentGame()->courseName, "SEDGEFEN");
      EXPECT_EQ(CurrentGame()->courseNumber, 0);
      EXPECT_EQ(CurrentGame()->courseLongName, "Sedgefen");
    }));

    // A round of a person and a computer golfer stands at its third hole with strokes played. No course catalogue
    // exists yet to load a hole, so the round is not played further than that.
    ASSERT_TRUE(OnProgramThread([] {
      TGame* g = CurrentGame();
      ASSERT_NE(g, nullptr);
      ASSERT_EQ(g->players->SetComputer(1, true), kRecordOk);
      for (int s = 0; s < 2; ++s) {
        TPlayer* p = g->players->GetPlayer(s);
        p->flags |= kGolferTakesPart;
        std::strncpy(p->name, s == 0 ? "Golfer 1" : "Golfer 2", sizeof p->name - 1);
      }
      g->players->GetPlayer(1)->flags |= kGolferNoFile;
      g->state.firstHole = 0;
      g->state.hole = 2;
      g->players->GetPlayer(0)->SetHoleScore(0, 2, 3, 0);
      g->players->GetPlayer(1)->SetHoleScore(0, 2, 4, 0);
      g->roundRunning = 1;
    }));

    // (d) A blended draw changes the pixels it covers.
    ASSERT_TRUE(OnProgramThread([] {
      GraphicRecord picture{};
      ASSERT_EQ(GfxLoad(&picture, &Folders().menus, "blend.shp", 0, 0), 0);
      picture.hotx = picture.hoty = 0;
      WindowDesc* target = DrawnImage()->window;
      ASSERT_NE(target, nullptr);
      ASSERT_EQ(target->depth, 16);
      const uint64_t before = AreaSum(target, 100, 100, 132, 132);
      GfxRect covered{};
      EXPECT_EQ(GfxDrawBlended(&picture, target, 100, 100, 0x20000, &covered, nullptr), 0);
      EXPECT_EQ(covered.right, 132);
      EXPECT_NE(AreaSum(target, 100, 100, 132, 132), before);
      GfxFree(&picture);
    }));

    // (b) The user switches away during the round (the full-screen window goes down to the task bar): the game is
    // paused, and a comm message that arrives meanwhile waits; once the game has the screen again it is delivered
    // (post mode: system message 3 goes to the comm queue as 0x1404 with its second argument).
    winapi::testing::HostSetActive(false);
    winapi::testing::HostMinimizeWindow(true);
    ASSERT_TRUE(WaitFor([] {
      bool paused = false;
      OnProgramThread([&] { paused = !IsAppActive() && Svc().game->GamePaused(); });
      return paused;
    }));
    CommState = 6;
    const uint32_t length = kCommArgumentB + 4;
    uint8_t* message = CommMessageAlloc(length);
    const uint32_t code = 3, argument = kArgumentB;
    std::memcpy(message + kCommCodeOffset, &code, 4);
    std::memcpy(message + kCommArgumentB, &argument, 4);
    ASSERT_TRUE(PostMessageA(Loop().queueWindow, WM_COMM_MESSAGE, length, reinterpret_cast<LPARAM>(message)));
    ASSERT_TRUE(OnProgramThread([] {
      EXPECT_EQ(GuardedQueueCount(CommQueue), 0);
      EXPECT_EQ(GuardedQueueCount(CommDeferredQueue), 1);
    }));
    winapi::testing::HostSetActive(true);
    winapi::testing::HostMinimizeWindow(false);
    ASSERT_TRUE(WaitFor([] {
      int queued = 0;
      OnProgramThread([&] { queued = GuardedQueueCount(CommQueue); });
      return queued == 1;
    }));
    ASSERT_TRUE(OnProgramThread([] {
      EXPECT_FALSE(Svc().game->GamePaused());
      EXPECT_TRUE(Svc().game->RoundInProgress());
      EXPECT_EQ(GuardedQueueCount(CommDeferredQueue), 0);
      MSG delivered{};
      ASSERT_EQ(GuardedQueuePop(CommQueue, &delivered), 1);
      EXPECT_EQ(delivered.wParam, 0x1404u);
      EXPECT_EQ(delivered.lParam, static_cast<LPARAM>(kArgumentB));
    }));

    // (e) Ctrl+P shows the pause box with its text in the built-in font; any key ends it.
    Key(VK_CONTROL, 0x1D, true);
    Key('P', 0x19, true);
    HostFrameData frame;
    const bool shown = WaitFor([&] { return winapi::testing::HostFrame(&frame) && PromptTextPixels(frame) > 100; });
    Key('P', 0x19, false);
    Key(VK_CONTROL, 0x1D, false);
    EXPECT_TRUE(shown) << "text pixels " << PromptTextPixels(frame);
    Key('A', 0x1E, true);
    Key('A', 0x1E, false);
    ASSERT_TRUE(OnProgramThread([] {}));

    // A box that is not fatal takes the screen from the game (the round waits) and gives it back after.
    ASSERT_TRUE(OnProgramThread([] {
      winapi::testing::TakeMessageBoxes();
      ShowErrorBox(ERR_DISKFULL, false);
      EXPECT_FALSE(IsAppActive());
      EXPECT_TRUE(Svc().game->GamePaused());
      const auto boxes = winapi::testing::TakeMessageBoxes();
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, "disk was full");
    }));
    ASSERT_TRUE(WaitFor([] {
      bool back = false;
      OnProgramThread([&] { back = IsAppActive() && !Svc().game->GamePaused(); });
      return back;
    }));

    // (c) The user closes the game mid-hole: the round ends and is written to "LastGame.dat".
    EXPECT_EQ(program.Close(), 0);
  });
  const std::string log = Read("ZQLog.Log");
  EXPECT_EQ(log.find("Blended drawing skipped"), std::string::npos) << log;
  ASSERT_TRUE(fs::exists(root_ + "/LastGame.dat"));
  EXPECT_TRUE(fs::exists(root_ + "/Players/Golfer 1.amt"));

  // The next start resumes the last game at the same hole with the same strokes.
  InChild([&] {
    RunningProgram program(root_, root_ + "/registry2.txt");
    ASSERT_TRUE(program.Started(20000));
    ASSERT_TRUE(OnProgramThread([] {
      TGame* g = CurrentGame();
      ASSERT_NE(g, nullptr);
      EXPECT_EQ(g->state.hole, 2);
      uint32_t strokes[2] = {};
      for (int s = 0; s < 2; ++s) g->players->GetPlayer(s)->GetHoleScore(0, 2, &strokes[s], nullptr);
      EXPECT_EQ(strokes[0], 3u);
      EXPECT_EQ(strokes[1], 4u);
      EXPECT_STREQ(g->players->GetPlayer(0)->name, "Golfer 1");
      EXPECT_TRUE(g->players->GetPlayer(1)->IsComputer());
      EXPECT_FALSE(Svc().game->RoundInProgress());
    }));
    EXPECT_EQ(program.Close(), 0);
  });
}

}  // namespace

// The demo installation, a golfer chosen, Tee off pressed on the main menu: the hole's view fills the screen that the
// host shows, and where the in-round interface takes a rectangle of the overlay the scene leaves the screen alone.
TEST_F(RunningProgramTest, ARoundStartedFromTheMainMenuShowsTheHole) {
  char pattern[] = "/tmp/teebox_demo_XXXXXX";
  const std::string demo = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(demo, {}, error)) << error;
  InChild([&] {
    RunningProgram program(demo, root_ + "/registry3.txt");
    ASSERT_TRUE(program.Started(20000));
    // A round with the shot clock on.
    ASSERT_TRUE(TeeOffFromMainMenu("Ada", [] { CurrentGame()->SetShotClock(true); }));
    // The view is drawn once the hole is in: the host's frame then shows the scene's picture.
    auto shows = [](int32_t x, int32_t y) {
      HostFrameData frame;
      const Image16 view = Svc().scene->GolfViewImage();
      if (!winapi::testing::HostFrame(&frame) || view.width != frame.width || x >= view.width || y >= view.height)
        return false;
      return Shows565(frame.pixels[static_cast<size_t>(y) * frame.width + x], view.pixels[y * view.pitch + x]);
    };
    ASSERT_TRUE(WaitFor([&] {
      bool seen = false;
      OnProgramThread([&] {
        const Image16 view = Svc().scene->GolfViewImage();
        // Points the round's panels leave to the view.
        seen = view.width > 0 && shows(view.width / 4, view.height / 3) && shows(view.width / 2, view.height / 2);
      });
      return seen;
    }));
    // The person's turn runs the shot clock, drawn over the view at the top of the screen and shown by the host.
    ASSERT_TRUE(WaitFor([] {
      bool drawn = false;
      OnProgramThread([&] { drawn = ShotClock() && ShotClock()->IsRunning() && ShotClock()->drawn; });
      return drawn;
    }));
    ASSERT_TRUE(WaitFor([&] {
      bool covered = false;
      OnProgramThread([&] {
        const TShotClockUI* clock = ShotClock();
        covered = clock && !shows((clock->face.left + clock->face.right) / 2, (clock->face.top + clock->face.bottom) / 2);
      });
      return covered;
    }));
    ASSERT_TRUE(OnProgramThread([] {
      const Image16 view = Svc().scene->GolfViewImage();
      // Sky above the horizon, ground below: not one colour.
      EXPECT_NE(view.pixels[20 * view.pitch + view.width / 2], view.pixels[(view.height - 20) * view.pitch + view.width / 2]);
      // The interface takes a rectangle: the screen under it is no longer the scene's.
      MarkRect16(Svc().scene->GolfViewOverlay(), MARect{0, 0, 100, 100}, false);
      ImageRecord* drawn = DrawnImage();
      uint16_t* p = reinterpret_cast<uint16_t*>(drawn->window->pixels);
      for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) p[y * drawn->window->rowbytes / 2 + x] = 0x001F;
      AddDirtyRect(MARect{0, 0, 100, 100});
    }));
    ASSERT_TRUE(WaitFor([] {
      HostFrameData frame;
      if (!winapi::testing::HostFrame(&frame)) return false;
      const uint32_t shown = frame.pixels[50 * static_cast<size_t>(frame.width) + 50];
      return (shown & 0xFFFF00) == 0 && (shown & 0xFF) >= 0xF0;
    }));
    EXPECT_EQ(program.Close(), 0);
  });
  fs::remove_all(demo);
}

TEST_F(RunningProgramTest, SpaceEndsTheStartUpMovieInItsPreRollAndTheMenuComesAtTheGamesSize) {
  char pattern[] = "/tmp/teebox_demo_XXXXXX";
  const std::string demo = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(demo, {}, error)) << error;
  InChild([&] {
    // Space is down before the logo starts: the player looks at the keys before it decodes the first frame.
    Key(VK_SPACE, 0x39, true);
    RunningProgram program(demo, root_ + "/registry4.txt", true, {});
    bool menu = false;
    ASSERT_TRUE(WaitFor(
        [&] {
          OnProgramThread([&] { menu = TeeOffButton != nullptr; });
          return menu;
        },
        60000));
    Key(VK_SPACE, 0x39, false);
    std::ifstream in(demo + "/ZQLog.Log", std::ios::binary);
    const std::string log(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(log.find("Movie zqslogo.mad: ended by the player, 0 frames shown"), std::string::npos) << log;
    // An ended logo skips the intro.
    EXPECT_EQ(log.find("Movie intro.mad"), std::string::npos) << log;
    // The display is back at the game's size, and the main menu's buttons lie on it.
    ASSERT_TRUE(WaitFor([] {
      HostFrameData frame;
      return winapi::testing::HostFrame(&frame) && frame.width == Display().width && frame.height == Display().height;
    }));
    EXPECT_TRUE(OnProgramThread([] {
      MARect r{};
      TeeOffButton->GetRect(&r);
      EXPECT_EQ(Display().width, 800);
      EXPECT_GE(r.left, 0);
      EXPECT_LE(r.right, Display().width);
      EXPECT_LE(r.bottom, Display().height);
    }));
    EXPECT_EQ(program.Close(), 0);
  });
  fs::remove_all(demo);
}

namespace {

// Whether the host shows what the front end drew at the given points of the screen: the frame has the screen's
// size and each point's pixel is the drawn buffer's (none of them black).
bool HostShowsDrawnScreen(const std::vector<std::pair<int32_t, int32_t>>& points) {
  bool shown = false;
  OnProgramThread([&] {
    HostFrameData frame;
    const ImageRecord* drawn = DrawnImage();
    if (!winapi::testing::HostFrame(&frame) || !drawn || !drawn->window) return;
    const WindowDesc* w = drawn->window;
    if (frame.width != w->width || frame.height != w->height || w->depth != 16) return;
    shown = true;
    for (const auto& [x, y] : points) {
      const uint16_t p = *reinterpret_cast<const uint16_t*>(w->pixels + w->rows[y] + x * 2);
      shown = shown && p != 0 && Shows565(frame.pixels[static_cast<size_t>(y) * frame.width + x], p);
    }
  });
  return shown;
}

}  // namespace

// The main menu and then a round's view reach the host's window whole and in place: in software with the largest
// resolution stored, which the window on the 1024 x 768 screen cannot show (the game says so and plays at the
// largest size that fits; the menus keep their own), and on the hardware back end, where the render module's display
// takes the window and opens at the menus' size.
TEST_F(RunningProgramTest, TheMenuAndTheRoundReachTheWindowAtTheirSizeOnEitherBackEnd) {
  char pattern[] = "/tmp/teebox_demo_XXXXXX";
  const std::string demo = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(demo, {}, error)) << error;
  const struct {
    const char* name;
    int enable3D, resolution;
    std::vector<std::string> arguments;
    const char* backEnd;
    bool notice;         // the main menu says that the stored resolution was changed
    int32_t roundWidth;  // the round's screen
  } cases[] = {
      {"software", 0, 4, {"/NOINTRO"}, "Render back end: software", true, 1024},
      {"hardware", 1, 1, {"/NOINTRO", "/D3D"}, "Render back end: hardware", false, 800},
      // "/RES 4" cannot be shown on this screen: the largest size that fits.
      {"software /RES 4", 0, 1, {"/NOINTRO", "/RES", "4"}, "\"/RES 4\" cannot be shown here: /RES 2 instead", false,
       1024},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string registry = root_ + "/registry-display" + std::to_string(n++) + ".txt";
    std::ofstream(registry) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics]\n"
                            << "\"3D Enable Flag\"=dword:" << c.enable3D << "\n"
                            << "\"Game Screen Resolution\"=dword:" << c.resolution << "\n";
    for (const char* f : {"ZQLog.Log", "LastGame.dat"}) fs::remove(demo + "/" + f);
    InChild([&] {
      RunningProgram program(demo, registry, true, c.arguments);
      ASSERT_TRUE(program.Started(20000));
      bool menu = false;
      ASSERT_TRUE(WaitFor([&] {
        OnProgramThread([&] { menu = TeeOffButton != nullptr; });
        return menu;
      }));
      if (c.notice) {
        ASSERT_TRUE(WaitFor([] {
          bool shown = false;
          OnProgramThread([&] { shown = LastMessageText().find("video settings") != std::string::npos; });
          return shown;
        }));
        Key(VK_RETURN, 0x1C, true);
        Key(VK_RETURN, 0x1C, false);
        ASSERT_TRUE(WaitFor([] {
          bool closed = false;
          OnProgramThread([&] { closed = CurrentScreen == nullptr || !dynamic_cast<CDialogADV*>(CurrentScreen); });
          return closed;
        }));
      }
      MARect tee{};
      ASSERT_TRUE(OnProgramThread([&] {
        TeeOffButton->GetRect(&tee);
        EXPECT_EQ(Display().width, 800);
        EXPECT_EQ(Display().height, 600);
      }));
      const int32_t teeX = (tee.left + tee.right) / 2, teeY = (tee.top + tee.bottom) / 2;
      EXPECT_TRUE(WaitFor([&] { return HostShowsDrawnScreen({{40, 40}, {760, 40}, {40, 560}, {760, 560}, {teeX, teeY}}); }));
      ASSERT_TRUE(TeeOffFromMainMenu("Ada"));
      // The round's screen: its corners and points of the hole's view.
      EXPECT_TRUE(WaitFor(
          [&] {
            int32_t w = 0, h = 0;
            OnProgramThread([&] {
              const Image16 view = Svc().scene->GolfViewImage();
              w = view.width == Display().width && view.width == c.roundWidth ? view.width : 0, h = view.height;
            });
            return w > 0 && HostShowsDrawnScreen({{w / 4, h / 3}, {w / 2, h / 2}, {w / 3, h - 8}});
          },
          60000));
      EXPECT_EQ(program.Close(), 0);
    });
    std::ifstream in(demo + "/ZQLog.Log", std::ios::binary);
    const std::string log(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(log.find(c.backEnd), std::string::npos) << log;
  }
  fs::remove_all(demo);
}

namespace {

// Fog states the render module receives, taken between the module and the game.
VortelSetStateFn gModuleSetState = nullptr;
std::atomic<bool> gFogEnabled{false};
std::vector<uint8_t> gFogTable;
intptr_t SetStateSpy(int32_t state, intptr_t value) {
  if (state == 21 && value == 1) gFogEnabled = true;
  if (state == 105 && value) {
    const auto* table = reinterpret_cast<const uint8_t*>(value);
    gFogTable.assign(table, table + 64);
  }
  return gModuleSetState(state, value);
}

}  // namespace

// A round on the hardware back end sends the render module the default states with the fog of the stored level
// (a chosen driver: the automatic choice starts without fog),
// also when the round plays at the menus' size and so changes no video mode.
TEST_F(RunningProgramTest, AHardwareRoundSendsTheStoredFogLevelToTheModule) {
  char pattern[] = "/tmp/teebox_demo_XXXXXX";
  const std::string demo = mkdtemp(pattern);
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(demo, {}, error)) << error;
  for (const int level : {1, 3}) {
    SCOPED_TRACE(level);
    const std::string registry = root_ + "/registry-fog" + std::to_string(level) + ".txt";
    std::ofstream(registry) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics]\n"
                            << "\"3D Enable Flag\"=dword:1\n\"Game Screen Resolution\"=dword:1\n\"Driver Enumeration\"=dword:1\n"
                            << "\"Fog Density\"=dword:" << level << "\n";
    fs::remove(demo + "/LastGame.dat");
    InChild([&] {
      RunningProgram program(demo, registry, true, {"/NOINTRO", "/D3D"});
      ASSERT_TRUE(program.Started(20000));
      ASSERT_TRUE(WaitFor([] {
        bool menu = false;
        OnProgramThread([&] { menu = TeeOffButton != nullptr; });
        return menu;
      }));
      ASSERT_TRUE(OnProgramThread([] {
        ASSERT_TRUE(Display().hardwareActive);
        gModuleSetState = vortellive.setstate;
        vortellive.setstate = SetStateSpy;
      }));
      ASSERT_TRUE(TeeOffFromMainMenu("Ada"));
      EXPECT_TRUE(WaitFor(
          [] {
            bool drawn = false;
            OnProgramThread([&] { drawn = Svc().scene->GolfViewImage().width > 0 && gFogEnabled; });
            return drawn;
          },
          60000));
      uint8_t expected[64];
      MakeFogTable(level, true, expected);
      OnProgramThread([&] {
        EXPECT_TRUE(Svc().scene->TextureCacheActive());
        EXPECT_EQ(gFogTable, std::vector<uint8_t>(expected, expected + 64));
        vortellive.setstate = gModuleSetState;
      });
      EXPECT_EQ(program.Close(), 0);
    });
  }
  fs::remove_all(demo);
}

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <chrono>
#include <vector>

#include "platformlib/gfx/gfxfixture.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/core/timer.h"
#include "platformlib/gfx/videowin.h"
#include "platformlib/gfx/vortel.h"
#include "winapi/testing.h"

namespace {

template <class F>
F Proc(HMODULE module, const char* name) {
  FARPROC p = GetProcAddress(module, name);
  F f;
  std::memcpy(&f, &p, sizeof f);
  return f;
}

// The recording module's own exports, reached the way a test would reach any module.
struct Recorder {
  HMODULE module = nullptr;
  int (*count)() = nullptr;
  const char* (*call)(int) = nullptr;
  void (*control)(const char*, intptr_t) = nullptr;
  intptr_t (*service)(int, intptr_t, intptr_t) = nullptr;
  int (*pixel)(int, int) = nullptr;

  explicit Recorder(const char* name) {
    module = LoadLibraryA(name);
    if (!module) return;
    count = Proc<decltype(count)>(module, "recordmodule_count");
    call = Proc<decltype(call)>(module, "recordmodule_call");
    control = Proc<decltype(control)>(module, "recordmodule_control");
    service = Proc<decltype(service)>(module, "recordmodule_service");
    pixel = Proc<decltype(pixel)>(module, "recordmodule_pixel");
    control("reset", 0);
  }
  ~Recorder() {
    if (module) FreeLibrary(module);
  }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  std::vector<std::string> Calls() const {
    std::vector<std::string> out;
    for (int i = 0; i < count(); ++i) out.push_back(call(i));
    return out;
  }
  // The calls from the first one starting with `from`.
  std::vector<std::string> CallsFrom(const std::string& from) const {
    std::vector<std::string> all = Calls(), out;
    bool on = false;
    for (const std::string& c : all) {
      on = on || c.rfind(from, 0) == 0;
      if (on) out.push_back(c);
    }
    return out;
  }
};

bool TableEmpty(const VortelDriver& d) {
  const VortelDriver empty{};
  return std::memcmp(&d, &empty, sizeof d) == 0;
}

class Loader : public GfxTest {
 protected:
  void SetUp() override {
    GfxTest::SetUp();
    unsetenv("VORTEL_DRIVERNAME");
    winapi::testing::ClearFailures();
  }
  void TearDown() override {
    fxclosegraphics();
    restorehal();
    if (vortellive.module) VORTEL_closedll();
    for (VortelDriver& d : vorteldrivers) d = VortelDriver{};
    vortelslot = 0;
    unsetenv("VORTEL_DRIVERNAME");
    winapi::testing::ClearFailures();
    GfxTest::TearDown();
  }
};

}  // namespace

TEST_F(Loader, BangNameBeatsTheEnvironment) {
  Recorder rec("recordmodule");
  ASSERT_NE(rec.module, nullptr);
  setenv("VORTEL_DRIVERNAME", "nosuchmodule", 1);
  EXPECT_EQ(setvorteldriver("recordmodule"), 0);  // the environment replaces a plain name
  EXPECT_EQ(setvorteldriver("!recordmodule"), 1);
  EXPECT_EQ(vortellive.module, rec.module);
  for (int i = 0; i < kVortelEntries; ++i) EXPECT_NE(GetProcAddress(rec.module, VortelEntryNames[i]), nullptr) << i;
  EXPECT_NE(vortellive.drawtrimesh, nullptr);
  EXPECT_EQ(rec.Calls(), (std::vector<std::string>{"setstate 31 104", "about"}));
  setenv("VORTEL_DRIVERNAME", "recordmodule.dll", 1);
  EXPECT_EQ(setvorteldriver("whatever"), 1);
}

TEST_F(Loader, MissingNameIsRetriedOnceWithAnA) {
  Recorder rec("recordmodulea");
  winapi::testing::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND, 1);
  EXPECT_EQ(setvorteldriver("!recordmodule"), 1);
  EXPECT_EQ(vortellive.module, rec.module);  // the retry found "recordmodulea"
  VORTEL_closedll();
  winapi::testing::FailCall("LoadLibraryA", ERROR_MOD_NOT_FOUND, 2);
  testing::internal::CaptureStdout();
  EXPECT_EQ(setvorteldriver("!recordmodule"), 0);  // a third try would have succeeded
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(TableEmpty(vortellive));
  EXPECT_EQ(setvorteldriver("!nosuchmodule"), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(Loader, OtherVersionsAreRefusedAndLetGo) {
  Recorder rec("recordmodule");
  rec.control("version", 103);
  testing::internal::CaptureStdout();
  EXPECT_EQ(setvorteldriver("!recordmodule"), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "VORTEL_opendll - DRIVER VERSION MISMATCH.\nLIBRARY WANTS 104. YOUR MODULE IS 103.\nUSING 103 WILL WORK "
            "EXCEPT FOR ABOUTDISPLAYMODES\n");
  EXPECT_TRUE(TableEmpty(vortellive));
  inithal();
  EXPECT_TRUE(AbortedWith("inithal - MUST SET VORTEL DRIVER BEFORE CALLING INITHAL.\n"));
  rec.control("version", 104);
  rec.control("noabout", 1);
  EXPECT_EQ(setvorteldriver("!recordmodule"), 1);  // no about record: accepted
}

TEST_F(Loader, ModuleWithoutAnEntryTheLibraryReliesOnIsRefused) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(setvorteldriver("!recordpartial"), 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("_VORTEL_drawtrimesh@12"), std::string::npos);
  EXPECT_TRUE(TableEmpty(vortellive));
  EXPECT_EQ(GetModuleHandleA("recordpartial"), nullptr);  // not left loaded
}

TEST_F(Loader, SlotsAndRelease) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  EXPECT_EQ(vortelslot, 1);
  storevorteldriver(3);
  EXPECT_EQ(vorteldrivers[3].module, rec.module);
  selectvorteldriver(9);
  EXPECT_EQ(vortelslot, 0);
  EXPECT_TRUE(TableEmpty(vortellive));
  selectvorteldriver(19);  // low four bits: 3
  EXPECT_EQ(vortelslot, 3);
  EXPECT_EQ(vortellive.module, rec.module);
  VortelDriver builtin{};
  builtin.about = [] { return intptr_t{0}; };
  setbuiltinvorteldriver(builtin);
  selectvorteldriver(17);
  EXPECT_EQ(vortelslot, 1);
  EXPECT_EQ(vortellive.about, builtin.about);
  selectvorteldriver(3);
  VORTEL_closedll();
  EXPECT_TRUE(TableEmpty(vortellive));
  EXPECT_TRUE(TableEmpty(vorteldrivers[3]));
  EXPECT_EQ(vortelslot, 0);
}

TEST_F(Loader, GraphicsOpenThroughTheModule) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(inithal(), 1);
  EXPECT_EQ(lockwindowhook, fxlockwindow);
  ASSERT_EQ(fxinitgraphics(0, 0, 15), 1);
  const std::string services = std::to_string(reinterpret_cast<intptr_t>(&vortelservices));
  const std::vector<std::string> expected = {"setstate 31 104", "about",  "setstate 18 1", "setstate 25 4096",
                                             "setstate 19 " + services, "init", "setvideomode 1 2 1"};
  const std::vector<std::string> calls = rec.Calls();
  ASSERT_GE(calls.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + static_cast<long>(expected.size())), expected);
  EXPECT_EQ(DisplayWindow.width, 640);
  EXPECT_EQ(DisplayWindow.height, 480);
  EXPECT_EQ(DisplayWindow.depth, 16);
  EXPECT_EQ(DisplayWindow.page, 1);
  EXPECT_EQ(gfxstate().graphicsinit, 1);
  EXPECT_EQ(halisopen(), 1);

  // Drawing into the display goes through the module's lock.
  rec.control("reset", 0);
  ASSERT_EQ(setwindow(&DisplayWindow), 1);
  writepixel(5, 7, 0xF800);
  EXPECT_EQ(rec.pixel(5, 7), 0xF800);
  pageflip();
  EXPECT_EQ(rec.Calls(), (std::vector<std::string>{"window 1", "lockwindow", "unlockwindow 1", "pageflip"}));

  restorehal();
  EXPECT_TRUE(AbortedWith("restorehal - DO NOT CALL WHILE GRAPHICS INITIALIZED.\n"));
  rec.control("reset", 0);
  fxclosegraphics();
  EXPECT_EQ(rec.Calls(), (std::vector<std::string>{"restore"}));
  EXPECT_EQ(gfxstate().graphicsinit, 0);
  EXPECT_EQ(halisopen(), 0);
  EXPECT_EQ(gfxhooks().getmainwindowhandle(), nullptr);
  restorehal();
  EXPECT_EQ(lockwindowhook, nullptr);
}

TEST_F(Loader, EveryWidthReachesTheModuleAsItsOwnMode) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(inithal(), 1);
  struct Case {
    int32_t width, height, mode;
  };
  for (const Case& c : std::vector<Case>{{640, 480, 1},
                                         {800, 600, 2},
                                         {320, 240, 4},
                                         {1024, 768, 13},
                                         {1280, 1024, 14},
                                         {1600, 1200, 15},
                                         {-1, -1, 13},
                                         {700, 502, 17}}) {
    rec.control("reset", 0);
    ASSERT_EQ(fxinitgraphics(c.width, c.height, 16), 1);
    EXPECT_EQ(rec.CallsFrom("setvideomode").at(0), "setvideomode " + std::to_string(c.mode) + " 2 1") << c.width;
  }
  EXPECT_EQ(DisplayWindow.width, 640);  // the module's default frame for mode 17
  EXPECT_EQ(vortelexitregistrations(), 1);  // registered once, however often graphics were set up
  fxclosegraphics();
  ASSERT_EQ(fxinitgraphics(800, 600, 16), 1);
  EXPECT_EQ(vortelexitregistrations(), 1);
}

TEST_F(Loader, InitFailureLeavesGraphicsClosed) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(inithal(), 1);
  rec.control("refuse:init", 1);
  EXPECT_EQ(fxinitgraphics(0, 0, 0), 0);
  EXPECT_EQ(halisopen(), 0);
  EXPECT_EQ(gfxhooks().getmainwindowhandle(), nullptr);
  EXPECT_TRUE(rec.CallsFrom("setvideomode").empty());
}

TEST_F(Loader, ServicesHandedToTheModule) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(openhal(0), 1);
  EXPECT_EQ(openhal(0), 1);  // already open
  EXPECT_EQ(rec.service(1, 0, 0), 4096);
  EXPECT_EQ(rec.service(3, 0x464, 0), 0);
  rec.service(2, 0x464, 0x1234);
  EXPECT_EQ(rec.service(3, 0x464, 0), 0x1234);
  int object = 0;
  const uint32_t changes = gfxstate().ddrawchanges;
  rec.service(4, reinterpret_cast<intptr_t>(&object), 0);
  EXPECT_EQ(gfxstate().ddraw, &object);
  rec.service(4, 0, 0);
  EXPECT_EQ(gfxstate().ddraw, nullptr);
  EXPECT_EQ(gfxstate().ddrawchanges, changes + 2);
  rec.service(5, 1, 0);
  EXPECT_EQ(gfxstate().surfacelocked, 1);
  rec.service(5, 0, 0);
  EXPECT_EQ(gfxstate().surfacelocked, 0);
  static int notified = 0;
  gfxhooks().notifydisplaychange = [](int reason) { notified = reason; };
  rec.service(7, 1, 0);
  EXPECT_EQ(notified, 0);
  rec.service(7, 2, 0);
  EXPECT_EQ(notified, 2);
  rec.service(6, 0, reinterpret_cast<intptr_t>("module failed"));
  EXPECT_TRUE(AbortedWith("module failed"));
  testing::internal::CaptureStdout();
  rec.service(6, 2, reinterpret_cast<intptr_t>("a line"));
  rec.service(6, 9, reinterpret_cast<intptr_t>("ignored"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a line\n");
  closehal(1);
}

TEST(Modules, DecoratedNamesAndMissingFiles) {
  HMODULE m = LoadLibraryA("RecordModule.DLL");  // letter case and extension do not matter
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetModuleHandleA("recordmodule"), m);
  EXPECT_EQ(GetProcAddress(m, "_VORTEL_drawtrimesh@12"), GetProcAddress(m, "VORTEL_drawtrimesh"));
  EXPECT_NE(GetProcAddress(m, "_VORTEL_drawtrimesh@12"), nullptr);
  EXPECT_EQ(GetProcAddress(m, "_VORTEL_nothing@4"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  HMODULE again = LoadLibraryA("recordmodule");
  EXPECT_EQ(again, m);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_NE(GetModuleHandleA("recordmodule"), nullptr);  // still loaded once
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(GetModuleHandleA("recordmodule"), nullptr);
  EXPECT_FALSE(FreeLibrary(m));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("no-such-module"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

TEST_F(Loader, AbortsWhileGraphicsRunThroughTheModule) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(inithal(), 1);
  ASSERT_EQ(fxinitgraphics(0, 0, 16), 1);
  EXPECT_EQ(abortdisplayhook, fxabortdisplay);

  // From another thread: the display is held and the window minimised, graphics stay up.
  static int minimised = 0;
  gfxhooks().minimisemainwindow = [] { ++minimised; };
  gfxhooks().ismainwindowthread = [] { return 0; };
  CRITICAL_SECTION* held = nullptr;
  std::thread other([&] {
    held = fxabortdisplay();
    if (held) leavecritical(held);
  });
  other.join();
  EXPECT_EQ(held, gfxdisplaysection());
  EXPECT_EQ(minimised, 1);
  EXPECT_EQ(gfxstate().graphicsinit, 1);

  // On the main window's thread it closes graphics, so the message box is not hidden.
  gfxhooks().ismainwindowthread = [] { return 1; };
  rec.control("reset", 0);
  EXPECT_EQ(fxabortdisplay(), nullptr);
  EXPECT_EQ(gfxstate().graphicsinit, 0);
  EXPECT_EQ(rec.Calls(), (std::vector<std::string>{"restore"}));
  EXPECT_EQ(abortdisplayhook, nullptr);
}

TEST_F(Loader, RefusedLockDrawsNowhere) {
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(inithal(), 1);
  ASSERT_EQ(fxinitgraphics(0, 0, 16), 1);
  rec.control("refuse:lockwindow", 1);
  EXPECT_EQ(setwindow(&DisplayWindow), 0);
  EXPECT_EQ(CurrentWindow.width, 8);  // the scratch window
  writepixel(1, 1, 0xFFFF);
  rec.control("refuse:lockwindow", 0);
  EXPECT_EQ(rec.pixel(1, 1), 0);
  releasewindow();
}

TEST_F(Loader, ModuleSurfacesAndVideoWindowsAsDisplayWindows) {
  gfxstate().depth = 16;
  void* surface = gfxhooks().makesurface(40, 30, 16, 0);
  WindowDesc w{};
  fxmakedisplaywindow(255, surface, &w);
  EXPECT_EQ(w.page, kVideoWindowPage);
  EXPECT_EQ(w.width, 40);
  EXPECT_EQ(w.rowbytes, gfxmemsurface(surface)->pitch);
  EXPECT_EQ(checkwindow(&w), 1);
  WindowDesc untouched{};
  fxmakedisplaywindow(0, surface, &untouched);
  EXPECT_EQ(untouched.signature, 0u);
  removevideowindow(&w);
  gfxhooks().releasesurface(surface);
  struct Case {
    int32_t format;
    int depth;
  };
  for (const Case& c : std::vector<Case>{{2, 8}, {3, 15}, {4, 16}, {5, 24}, {6, 32}, {11, 15}, {0, 16}, {99, 16}})
    EXPECT_EQ(vortelformatdepth(c.format), c.depth) << c.format;
}

TEST_F(Loader, InitGraphicsNeedsTheMemorySystem) {
  exitmem();
  EXPECT_EQ(fxinitgraphics(0, 0, 0), 0);
  initmem();
  initrow();
  EXPECT_TRUE(AbortedWith("initgraphics - INITMEM REQUIRED BEFORE INITGRAPHICS\n"));
}

namespace {
// Moves the virtual clock until the library timer has counted another tick.
bool NextTick() {
  const uint32_t ticks = gettimerticks();
  for (int i = 0; i < 2000 && gettimerticks() == ticks; ++i) {
    winapi::testing::AdvanceClock(1);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return gettimerticks() != ticks;
}
}  // namespace

TEST_F(Loader, IdleRunsAsASystemTaskWhileGraphicsAreOpen) {
  winapi::testing::UseVirtualClock(true, 1000);
  ASSERT_EQ(inittimer(100), 100);
  Recorder rec("recordmodule");
  ASSERT_EQ(setvorteldriver("!recordmodule"), 1);
  ASSERT_EQ(openhal(0), 1);
  rec.control("reset", 0);
  ASSERT_TRUE(NextTick());
  rec.service(0, 0, 0);  // the module runs the library's due tasks
  EXPECT_EQ(rec.Calls(), (std::vector<std::string>{"idle"}));
  closehal(0);
  rec.control("reset", 0);
  ASSERT_TRUE(NextTick());
  runsystemtasks(0);
  EXPECT_TRUE(rec.Calls().empty());
  stoptimer();
  winapi::testing::UseVirtualClock(false);
}

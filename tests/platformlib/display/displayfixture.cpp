#include "platformlib/display/displayfixture.h"

#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/windowdesc.h"

// The memory system keeps its critical sections for the life of the program.
extern "C" const char* __lsan_default_suppressions() { return "leak:creatememclass\nleak:initmainthread\n"; }

void DisplayTest::SetUp() {
  winapi::testing::Reset();
  if (!memstarted()) initmem();
  initmainthread();
  resetmainwindowstate();
  windisplay() = WinDisplay{};
  ddrawresult = nullptr;
  grfop_pending = 0;
  displayoptions = DISPLAY_FULLSCREEN | DISPLAY_BLITTING | DISPLAY_NOFLIP;
  displaypages = 2;
  clearkeyhandlers();
  capslockstate = 0;
  winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
}

void DisplayTest::TearDown() {
  if (surfacelocked()) unlocksurface();
  setaudiofocushandler(nullptr);
  restoregraphics();
  closemainwindow();
  windisplay() = WinDisplay{};
  gfxresetdisplay();
  surfacelockedhook = nullptr;
  removesystemtask(nullptr);
  winapi::testing::SetExitHook(nullptr);
  winapi::testing::Reset();
}

bool DisplayTest::waitfor(const std::function<bool()>& condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

void DisplayTest::usemodes(const std::vector<winapi::testing::FakeDisplayMode>& modes) {
  winapi::testing::FakeDisplay display = winapi::testing::DefaultFakeDisplay();
  display.modes = modes;
  winapi::testing::SetFakeDisplay(display);
}

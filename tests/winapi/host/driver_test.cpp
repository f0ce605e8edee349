// The host's display driver table: which driver a run gets, and the fall-back when a window cannot be opened.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "host_fixture.h"
#include "winapi/host/driver.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

using winapi::host::ChooseDisplayDriver;
using winapi::host::DisplayDriver;
using winapi::host::DisplayDrivers;


const DisplayDriver* Named(const char* name) {
  for (const DisplayDriver* driver : DisplayDrivers())
    if (std::string(driver->name) == name) return driver;
  return nullptr;
}

TEST(DisplayDrivers, HeadlessIsLastAndAlwaysAvailable) {
  ASSERT_FALSE(DisplayDrivers().empty());
  const DisplayDriver* last = DisplayDrivers().back();
  EXPECT_STREQ(last->name, "headless");
  EXPECT_TRUE(last->available());
  EXPECT_EQ(last->open, nullptr);  // keeps frames only: no window, nothing to pump
  for (const DisplayDriver* driver : DisplayDrivers()) {
    if (driver == last) continue;
    SCOPED_TRACE(driver->name);
    EXPECT_TRUE(driver->open && driver->close && driver->windowChanged && driver->showCursor && driver->warpCursor &&
                driver->pumpEvents && driver->showFrame);
  }
}

TEST(DisplayDrivers, ChoiceByNameThenByScreen) {
  // What the SDL driver would be when SDL2 is built in; otherwise every case ends headless.
  const DisplayDriver* sdl = Named("sdl");
  const DisplayDriver* headless = Named("headless");
  ASSERT_NE(headless, nullptr);
  const DisplayDriver* sdlOrHeadless = sdl ? sdl : headless;
  struct Case {
    const char* choice;
    const char* display;
    const char* wayland;
    const DisplayDriver* expected;
  };
  const Case cases[] = {
      {"headless", ":0", nullptr, headless},
      {"sdl", nullptr, nullptr, sdlOrHeadless},
      {nullptr, nullptr, nullptr, headless},
      {nullptr, "", "", headless},
      {nullptr, ":0", nullptr, sdlOrHeadless},
      {nullptr, nullptr, "wayland-0", sdlOrHeadless},
      {"nonesuch", ":0", nullptr, sdlOrHeadless},
      {"nonesuch", nullptr, nullptr, headless},
  };
  for (const Case& c : cases) {
    ScopedEnv display("DISPLAY", c.display);
    ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(ChooseDisplayDriver(c.choice), c.expected)
        << (c.choice ? c.choice : "(none)") << " DISPLAY=" << (c.display ? c.display : "(unset)");
  }
  // After a driver that failed, the search goes on behind it and ends at the last one.
  ScopedEnv display("DISPLAY", ":0");
  EXPECT_EQ(ChooseDisplayDriver(nullptr, DisplayDrivers().front()),
            DisplayDrivers().size() > 1 ? DisplayDrivers()[1] : headless);
  EXPECT_EQ(ChooseDisplayDriver("sdl", headless), headless);
}

// A window asked to show through SDL where SDL video cannot start: the host says so, runs headless, and the
// pictures drawn go on reaching the frame store.
TEST(DisplayDrivers, FailedOpenFallsBackToHeadless) {
  ScopedEnv host("WINAPI_HOST", "sdl");
  ScopedEnv video("SDL_VIDEODRIVER", "nonesuch");
  winapi::testing::Reset();
  {
    WindowThread shown("FallbackHostClass", DefWindowProcA, 32, 24);
    ASSERT_NE(shown.window(), nullptr);
    EXPECT_EQ(winapi::testing::HostWindow(), shown.window());
    EXPECT_TRUE(WaitFor([] { return !winapi::testing::HostUsesSdl(); }));
    EXPECT_TRUE(BlueFrameReachesTheHost(shown.window(), 32, 24));
  }
  winapi::testing::Reset();
}

}  // namespace

// The host's display driver table: which driver a run gets, and the fall-back when a window cannot be opened.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "ddraw.h"
#include "winapi/host/driver.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

using winapi::host::ChooseDisplayDriver;
using winapi::host::DisplayDriver;
using winapi::host::DisplayDrivers;

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

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

template <typename Predicate>
bool WaitFor(Predicate predicate) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    if (predicate()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// A window asked to show through SDL where SDL video cannot start: the host says so, runs headless, and the
// pictures drawn go on reaching the frame store.
TEST(DisplayDrivers, FailedOpenFallsBackToHeadless) {
  ScopedEnv host("WINAPI_HOST", "sdl");
  ScopedEnv video("SDL_VIDEODRIVER", "nonesuch");
  winapi::testing::Reset();
  WNDCLASSA cls{};
  cls.lpfnWndProc = DefWindowProcA;
  cls.lpszClassName = "FallbackHostClass";
  RegisterClassA(&cls);
  std::atomic<HWND> window{nullptr};
  std::atomic<DWORD> threadId{0};
  std::thread thread([&] {
    HWND made = CreateWindowExA(0, "FallbackHostClass", "fallback", WS_POPUP | WS_VISIBLE, 0, 0, 32, 24, nullptr,
                                nullptr, nullptr, nullptr);
    threadId = GetCurrentThreadId();
    window = made;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(made);
  });
  ASSERT_TRUE(WaitFor([&] { return window.load() != nullptr; }));
  EXPECT_EQ(winapi::testing::HostWindow(), window.load());
  EXPECT_TRUE(WaitFor([] { return !winapi::testing::HostUsesSdl(); }));

  IDirectDraw* dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  ASSERT_EQ(dd->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* primary = nullptr;
  ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x001F;
  RECT client{0, 0, 32, 24};
  ASSERT_EQ(primary->Blt(&client, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  winapi::testing::HostFrameData frame;
  EXPECT_TRUE(
      WaitFor([&] { return winapi::testing::HostFrame(&frame) && !frame.pixels.empty() && frame.pixels[0] == 0xFF; }));
  EXPECT_EQ(frame.width, 32);
  primary->Release();
  dd->Release();

  PostThreadMessageA(threadId, WM_QUIT, 0, 0);
  thread.join();
  winapi::testing::Reset();
}

}  // namespace

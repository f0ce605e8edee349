// The SDL2 host on SDL's dummy video driver: the shown window lives on its own thread, SDL events become
// window messages there, and DirectDraw frames reach the SDL window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "ddraw.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

std::mutex gLock;
std::vector<MSG> gSeen;

LRESULT HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard lock(gLock);
    gSeen.push_back(MSG{window, message, wParam, lParam, 0, {}});
  }
  return DefWindowProcA(window, message, wParam, lParam);
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

bool Seen(UINT message, WPARAM wParam) {
  std::lock_guard lock(gLock);
  for (const MSG& m : gSeen)
    if (m.message == message && m.wParam == wParam) return true;
  return false;
}

LPARAM SeenParam(UINT message, WPARAM wParam) {
  std::lock_guard lock(gLock);
  for (const MSG& m : gSeen)
    if (m.message == message && m.wParam == wParam) return m.lParam;
  return 0;
}

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("WINAPI_HOST", "sdl", 1);
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "dummy", 1);
    winapi::testing::Reset();
    WNDCLASSA cls{};
    cls.lpfnWndProc = HostProc;
    cls.lpszClassName = "SdlHostClass";
    RegisterClassA(&cls);
    thread_ = std::thread([this] {
      HWND window = CreateWindowExA(0, "SdlHostClass", "host test", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr,
                                    nullptr, nullptr, nullptr);
      threadId_ = GetCurrentThreadId();
      window_ = window;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      DestroyWindow(window);
    });
    ASSERT_TRUE(WaitFor([this] { return window_ != nullptr; }));
  }
  void TearDown() override {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    unsetenv("WINAPI_HOST");
    winapi::testing::Reset();
  }
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
};

TEST_F(SdlHostTest, EventsBecomeMessagesAndFramesReachTheWindow) {
  ASSERT_TRUE(winapi::testing::HostUsesSdl());
  EXPECT_EQ(winapi::testing::HostWindow(), window_);
  ASSERT_TRUE(WaitFor([] { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }));
  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.state = SDL_PRESSED;
  key.key.keysym.scancode = SDL_SCANCODE_A;
  ASSERT_EQ(SDL_PushEvent(&key), 1);
  key.type = SDL_KEYUP;
  key.key.state = SDL_RELEASED;
  SDL_PushEvent(&key);
  ASSERT_TRUE(WaitFor([] { return Seen(WM_CHAR, 'a'); }));
  EXPECT_EQ((SeenParam(WM_KEYDOWN, 'A') >> 16) & 0xFF, 0x1E);

  SDL_Event click{};
  click.type = SDL_MOUSEBUTTONDOWN;
  click.button.button = SDL_BUTTON_RIGHT;
  click.button.state = SDL_PRESSED;
  click.button.x = 7;
  click.button.y = 9;
  SDL_PushEvent(&click);
  ASSERT_TRUE(WaitFor([] { return Seen(WM_RBUTTONDOWN, MK_RBUTTON); }));
  EXPECT_EQ(SeenParam(WM_RBUTTONDOWN, MK_RBUTTON), MAKELPARAM(7, 9));

  SDL_Event focus{};
  focus.type = SDL_WINDOWEVENT;
  focus.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&focus);
  ASSERT_TRUE(WaitFor([] { return Seen(WM_ACTIVATEAPP, FALSE); }));
  focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  SDL_PushEvent(&focus);
  ASSERT_TRUE(WaitFor([] { return Seen(WM_ACTIVATEAPP, TRUE); }));

  // A windowed DirectDraw picture, drawn on this thread, is shown by the window's thread.
  IDirectDraw* dd = nullptr;
  ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
  ASSERT_EQ(dd->SetCooperativeLevel(window_, DDSCL_NORMAL), DD_OK);
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* primary = nullptr;
  ASSERT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x001F;
  RECT client{0, 0, 64, 48};
  ASSERT_EQ(primary->Blt(&client, nullptr, nullptr, DDBLT_COLORFILL, &fx), DD_OK);
  winapi::testing::HostFrameData frame;
  ASSERT_TRUE(WaitFor([&] { return winapi::testing::HostFrame(&frame) && !frame.pixels.empty() && frame.pixels[0] == 0xFF; }));
  EXPECT_EQ(frame.width, 64);
  primary->Release();
  dd->Release();

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  ASSERT_TRUE(WaitFor([] { return Seen(WM_CLOSE, 0); }));
}

}  // namespace

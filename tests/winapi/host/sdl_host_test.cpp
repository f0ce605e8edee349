// The SDL2 host on SDL's dummy video driver: the shown window lives on its own thread, SDL events become
// window messages there, and DirectDraw frames reach the SDL window.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ddraw.h"
#include "host_fixture.h"
#include "winapi/host/audio.h"
#include "winapi/host/host.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

std::mutex gLock;
std::vector<MSG> gSeen;
// Run by the window's own thread when WM_APP reaches it.
std::function<void()> gOnWindowThread;

LRESULT HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP && gOnWindowThread) {
    gOnWindowThread();
    return 0;
  }
  {
    std::lock_guard lock(gLock);
    gSeen.push_back(MSG{window, message, wParam, lParam, 0, {}});
  }
  return DefWindowProcA(window, message, wParam, lParam);
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
    shown_ = std::make_unique<WindowThread>("SdlHostClass", HostProc, 64, 48);
    window_ = shown_->window();
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    shown_.reset();
    unsetenv("WINAPI_HOST");
    winapi::testing::Reset();
  }
  std::unique_ptr<WindowThread> shown_;
  HWND window_ = nullptr;
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
  EXPECT_TRUE(BlueFrameReachesTheHost(window_, 64, 48));

  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  ASSERT_TRUE(WaitFor([] { return Seen(WM_CLOSE, 0); }));
}

// The program warps the pointer (SetCursorPos, as a mouse swing does after each sample) and its cursor moves on
// before the window's thread has shown the warp: the warp's echo from the window system must not put the cursor
// back, while the person's own moves still come through.
TEST_F(SdlHostTest, AWarpsEchoDoesNotMoveTheCursorBack) {
  ASSERT_TRUE(WaitFor([] { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }));
  const auto motion = [](int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
  };
  POINT seen{}, moved{};
  gOnWindowThread = [&] {
    winapi::host::Pump();  // the SDL window is open
    winapi::testing::UseVirtualClock(true, 1000);
    winapi::testing::StartInputScript({winapi::testing::ScriptPointer(1, 32, 40)}, 1);
    POINT centre{32, 24};
    ClientToScreen(window_, &centre);
    SetCursorPos(centre.x, centre.y);
    GetCursorPos(&seen);  // the script's move falls due
    motion(32, 24);       // the echo, as the window system reports a warp
    winapi::host::Pump();
    GetCursorPos(&seen);
    ScreenToClient(window_, &seen);
    winapi::testing::StopInputScript();
    motion(10, 11);  // the person's hand
    winapi::host::Pump();
    GetCursorPos(&moved);
    ScreenToClient(window_, &moved);
    winapi::testing::UseVirtualClock(false);
  };
  SendMessageA(window_, WM_APP, 0, 0);
  gOnWindowThread = nullptr;
  EXPECT_EQ(seen.x, 32);
  EXPECT_EQ(seen.y, 40);
  EXPECT_EQ(moved.x, 10);
  EXPECT_EQ(moved.y, 11);
}

}  // namespace

namespace {

// SDL's dummy audio driver pulls the host's mix on SDL's own thread, at the pace of real time.
TEST(SdlAudio, TheDevicesCallbackTakesWhatWasQueued) {
  winapi::testing::Reset();
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  winapi::testing::HostAudioCapture(true);
  const int stream = winapi::host::AudioOpen(22050, 1, 16);
  ASSERT_NE(stream, 0);
  EXPECT_STREQ(winapi::testing::HostAudioDriver(), "sdl");
  std::vector<int16_t> ramp(1500);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 20 - 15000);
  EXPECT_EQ(winapi::host::AudioQueue(stream, ramp.data(), ramp.size() * 2), ramp.size() * 2);
  EXPECT_TRUE(WaitFor([&] { return winapi::host::AudioQueued(stream) == 0; }));
  winapi::testing::HostAudioData played;
  ASSERT_TRUE(winapi::testing::HostAudio(&played));
  ASSERT_EQ(played.samples.size(), 2 * ramp.size());  // silence while nothing is queued does not count
  for (size_t i = 0; i < ramp.size(); ++i) ASSERT_EQ(played.samples[2 * i + 1], ramp[i]);
  winapi::host::AudioClose(stream);
  winapi::testing::HostAudioCapture(false);
}

}  // namespace

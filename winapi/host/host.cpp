// The host: the shared state of the shown window, and the display driver that shows it (see driver.h).
#include "winapi/host/host.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "winapi/host/driver.h"
#include "winapi/kernel/hooks.h"
#include "winapi/testing.h"
#include "winapi/user/user_internal.h"

namespace winapi::user {
HCURSOR CurrentCursorShape();
}

namespace winapi::host {

// Headless: frames stay in memory, rendered when a test asks for them; there is no window to serve.
const DisplayDriver kHeadlessDisplay{.name = "headless", .available = [] { return true; }};

std::span<const DisplayDriver* const> DisplayDrivers() {
  static const DisplayDriver* const drivers[] = {
#ifdef WINAPI_HAVE_SDL2
      &kSdlDisplay,
#endif
      &kHeadlessDisplay,
  };
  return drivers;
}

const DisplayDriver* ChooseDisplayDriver(const char* choice, const DisplayDriver* after) {
  return ChooseDriver<DisplayDriver>(DisplayDrivers(), choice, after);
}

namespace {

struct State {
  std::mutex lock;
  HWND bound = nullptr;
  DWORD owner = 0;
  const DisplayDriver* driver = &kHeadlessDisplay;  // decided when a window is bound
  bool opened = false;                              // the driver's window exists
  int cursorShown = -1;                             // as last told to the driver (owner thread only)
  std::function<bool(Frame*)> source;
  Frame last;
  uint64_t frames = 0;      // changes of the picture so far
  bool stale = false;       // headless: `last` is rendered when someone asks for it
  bool frameDirty = false;  // with a window: the window's thread renders and shows at its next pump
  bool windowDirty = false;
  bool warpPending = false;
  int warpX = 0;
  int warpY = 0;

  // A driver with a window is served on the owner thread; one without keeps frames only.
  bool Windowed() const { return driver->open != nullptr; }
};

State& H() {
  static State& state = *new State;  // never destroyed: the window's thread may outlive exit
  return state;
}

// The thread that pumps the shown window, 0 when headless.
std::atomic<DWORD> gPumpThread{0};

const DisplayDriver* WantedDriver() { return ChooseDisplayDriver(std::getenv("WINAPI_HOST")); }

void Capture(Frame&& frame) {
  std::lock_guard lock(H().lock);
  H().last = std::move(frame);
}

bool Render(Frame* frame) {
  std::function<bool(Frame*)> source;
  {
    std::lock_guard lock(H().lock);
    source = H().source;
  }
  return source && source(frame);
}

// On the owner thread of a windowed driver.
void PumpWindow() {
  State& s = H();
  HWND bound;
  const DisplayDriver* driver;
  bool opened;
  bool windowDirty;
  bool frameDirty;
  bool warp;
  int warpX;
  int warpY;
  {
    std::lock_guard lock(s.lock);
    bound = s.bound;
    driver = s.driver;
    opened = s.opened;
    if (!bound || !s.Windowed()) return;
  }
  if (!opened) {
    if (!driver->open(bound)) {
      // The next driver in the table takes over; frames go on from where they are.
      const DisplayDriver* next = ChooseDisplayDriver(nullptr, driver);
      std::lock_guard lock(s.lock);
      s.driver = next;
      if (!s.Windowed()) {
        gPumpThread = 0;
        s.stale = true;
      }
      return;
    }
    std::lock_guard lock(s.lock);
    s.opened = true;
    s.cursorShown = -1;
    s.windowDirty = true;
  }
  {
    std::lock_guard lock(s.lock);
    windowDirty = s.windowDirty;
    frameDirty = s.frameDirty;
    warp = s.warpPending;
    warpX = s.warpX;
    warpY = s.warpY;
    s.windowDirty = s.frameDirty = s.warpPending = false;
  }
  if (windowDirty) driver->windowChanged(bound);
  const int shown = (user::CurrentCursorShape() != nullptr && winapi::internal::CursorShowCount() >= 0) ? 1 : 0;
  if (shown != s.cursorShown) {
    driver->showCursor(shown != 0);
    s.cursorShown = shown;
  }
  if (warp) driver->warpCursor(warpX, warpY);
  if (driver->pumpEvents(bound)) frameDirty = true;
  if (frameDirty) {
    Frame frame;
    if (Render(&frame)) {
      driver->showFrame(frame);
      Capture(std::move(frame));
    }
  }
}

}  // namespace

bool Headless() {
  std::lock_guard lock(H().lock);
  return H().bound ? !H().Windowed() : !WantedDriver()->open;
}

void Bind(HWND window) {
  DWORD owner = GetWindowThreadProcessId(window, nullptr);
  if (!owner) return;
  HWND current = BoundWindow();
  if (current && IsWindow(current)) return;
  {
    std::lock_guard lock(H().lock);
    if (H().bound != current) return;
    H().bound = window;
    H().owner = owner;
    H().driver = WantedDriver();
    H().opened = false;
    H().windowDirty = true;
    H().frameDirty = true;
    gPumpThread = H().Windowed() ? owner : 0;
  }
  user::WakeThread(owner);
}

HWND BoundWindow() {
  std::lock_guard lock(H().lock);
  return H().bound;
}

void Unbind(HWND window) {
  std::lock_guard lock(H().lock);
  if (H().bound != window) return;
  if (H().opened && GetCurrentThreadId() == H().owner) {
    H().driver->close();
    H().opened = false;
  }
  H().bound = nullptr;
  H().owner = 0;
  gPumpThread = 0;
}

void WindowChanged(HWND window) {
  DWORD owner;
  {
    std::lock_guard lock(H().lock);
    if (H().bound != window || !H().Windowed()) return;
    H().windowDirty = true;
    owner = H().owner;
  }
  user::WakeThread(owner);
}

void SetFrameSource(std::function<bool(Frame*)> source) {
  std::lock_guard lock(H().lock);
  H().source = std::move(source);
}

// WINAPI_CLOSE_AFTER_FRAMES=N: once N frames were shown, the host closes the shown window as a user would
// (end-to-end runs of a program that has no other way out headless). 0 or unset: never.
uint64_t CloseAfterFrames() {
  static const uint64_t limit = [] {
    const char* text = std::getenv("WINAPI_CLOSE_AFTER_FRAMES");
    return text ? std::strtoull(text, nullptr, 10) : 0ull;
  }();
  return limit;
}

void FrameChanged() {
  DWORD owner = 0;
  HWND close = nullptr;
  bool first = false;
  {
    std::lock_guard lock(H().lock);
    first = ++H().frames == 1;
    if (CloseAfterFrames() && H().frames == CloseAfterFrames()) close = H().bound;
    if (H().Windowed() && H().bound) {
      H().frameDirty = true;
      owner = H().owner;
    } else {
      H().stale = true;  // rendered only when a test looks, so drawing costs no conversion
    }
  }
  if (owner) user::WakeThread(owner);
  if (first) user::StartInputScriptFromSetting();
  if (close) user::HostClose(close);
}

void WarpCursor(int clientX, int clientY) {
  DWORD owner;
  {
    std::lock_guard lock(H().lock);
    if (!H().Windowed() || !H().bound) return;
    H().warpPending = true;
    H().warpX = clientX;
    H().warpY = clientY;
    owner = H().owner;
  }
  user::WakeThread(owner);
}

void CursorChanged() {
  DWORD owner;
  {
    std::lock_guard lock(H().lock);
    if (!H().Windowed() || !H().bound) return;
    owner = H().owner;
  }
  user::WakeThread(owner);
}

bool IsHostThread() {
  const DWORD pump = gPumpThread.load();
  return pump != 0 && pump == GetCurrentThreadId();
}

void Pump() {
  if (IsHostThread()) PumpWindow();
}

void ResetHost() {
  std::lock_guard lock(H().lock);
  H().last = Frame{};
  H().frames = 0;
  H().stale = false;
}

}  // namespace winapi::host

namespace winapi::testing {

bool HostFrame(HostFrameData* frame) {
  bool stale;
  {
    // Cleared before rendering: a frame shown while this one renders marks it stale again instead of being lost.
    std::lock_guard lock(host::H().lock);
    stale = host::H().stale;
    host::H().stale = false;
  }
  if (stale) {
    host::Frame rendered;
    if (host::Render(&rendered)) {
      host::Capture(std::move(rendered));
    } else {
      std::lock_guard lock(host::H().lock);
      host::H().stale = true;
    }
  }
  std::lock_guard lock(host::H().lock);
  if (!host::H().frames || host::H().last.pixels.empty()) return false;
  if (frame) {
    frame->width = host::H().last.width;
    frame->height = host::H().last.height;
    frame->pixels = host::H().last.pixels;
    frame->serial = host::H().frames;
  }
  return true;
}

uint64_t HostFrameCount() {
  std::lock_guard lock(host::H().lock);
  return host::H().frames;
}

HWND HostWindow() { return host::BoundWindow(); }

bool HostUsesSdl() { return !host::Headless(); }

void HostSetActive(bool active) { user::SetApplicationActive(active); }

void HostCloseWindow() {
  if (HWND window = host::BoundWindow()) user::HostClose(window);
}

void HostMinimizeWindow(bool minimized) {
  if (HWND window = host::BoundWindow()) user::HostMinimize(window, minimized);
}

void HostMouse(int x, int y, int button, bool down) {
  if (HWND window = host::BoundWindow()) user::InputMouse(window, x, y, button, down);
}

}  // namespace winapi::testing

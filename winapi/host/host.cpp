// The host: a headless frame store, or an SDL2 window on the thread that owns the shown window.
#include "winapi/host/host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "winapi/host/sdl_keys.h"
#include "winapi/kernel/hooks.h"
#include "winapi/testing.h"
#include "winapi/user/user_internal.h"

#ifdef WINAPI_HAVE_SDL2
#include <SDL.h>
#endif

namespace winapi::user {
HCURSOR CurrentCursorShape();
}

// SDL keeps some storage (per thread, and in the libraries it loads) until the process ends; leak checks of
// programs that show a window would report it. A program's own suppressions replace these.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:libSDL2\nleak:libdbus\nleak:libX11\n";
}

namespace winapi::host {

namespace {

struct State {
  std::mutex lock;
  HWND bound = nullptr;
  DWORD owner = 0;
  bool sdl = false;  // decided when a window is bound
  std::function<bool(Frame*)> source;
  Frame last;
  uint64_t frames = 0;      // changes of the picture so far
  bool stale = false;       // headless: `last` is rendered when someone asks for it
  bool frameDirty = false;  // SDL: the window's thread renders and shows at its next pump
  bool windowDirty = false;
  bool warpPending = false;
  int warpX = 0;
  int warpY = 0;
#ifdef WINAPI_HAVE_SDL2
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  int cursorShown = -1;
#endif
};

State& H() {
  static State& state = *new State;  // never destroyed: the window's thread may outlive exit
  return state;
}

// The thread that pumps the SDL window, 0 when headless.
std::atomic<DWORD> gPumpThread{0};

// Whole-number enlargement of the shown picture (WINAPI_SCALE, 1 to 4), for small display modes on big screens.
int Scale() {
  const char* text = std::getenv("WINAPI_SCALE");
  const int scale = text ? std::atoi(text) : 1;
  return std::clamp(scale, 1, 4);
}

bool WantSdl() {
#ifdef WINAPI_HAVE_SDL2
  const char* choice = std::getenv("WINAPI_HOST");
  if (choice && std::strcmp(choice, "headless") == 0) return false;
  if (choice && std::strcmp(choice, "sdl") == 0) return true;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
#else
  return false;
#endif
}

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

#ifdef WINAPI_HAVE_SDL2

int HostMessageBox(HWND, const char* text, const char* caption, UINT type) {
  struct Choice {
    int id;
    const char* label;
  };
  std::vector<Choice> choices;
  switch (type & 0xF) {
    case MB_OKCANCEL: choices = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    case MB_ABORTRETRYIGNORE: choices = {{IDABORT, "Abort"}, {IDRETRY, "Retry"}, {IDIGNORE, "Ignore"}}; break;
    case MB_YESNOCANCEL: choices = {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNO: choices = {{IDYES, "Yes"}, {IDNO, "No"}}; break;
    case MB_RETRYCANCEL: choices = {{IDRETRY, "Retry"}, {IDCANCEL, "Cancel"}}; break;
    default: choices = {{IDOK, "OK"}}; break;
  }
  std::vector<SDL_MessageBoxButtonData> buttons;
  for (const Choice& choice : choices) buttons.push_back(SDL_MessageBoxButtonData{0, choice.id, choice.label});
  buttons.front().flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  SDL_MessageBoxData data{};
  data.flags = (type & MB_ICONHAND) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
  data.title = caption ? caption : "";
  data.message = text ? text : "";
  data.numbuttons = static_cast<int>(buttons.size());
  data.buttons = buttons.data();
  int answer = 0;
  if (SDL_ShowMessageBox(&data, &answer) != 0) return 0;
  return answer;
}

void DestroySdlWindow() {
  State& s = H();
  if (s.texture) SDL_DestroyTexture(s.texture);
  if (s.renderer) SDL_DestroyRenderer(s.renderer);
  if (s.window) SDL_DestroyWindow(s.window);
  s.texture = nullptr;
  s.renderer = nullptr;
  s.window = nullptr;
  s.textureWidth = s.textureHeight = 0;
  s.cursorShown = -1;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    winapi::internal::SetHostMessageBox(nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

// On the owner thread. Falls back to headless when SDL cannot make a window.
bool EnsureSdlWindow(HWND bound) {
  State& s = H();
  if (s.window) return true;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "host: SDL video unavailable (%s); running headless\n", SDL_GetError());
    return false;
  }
  int width = 640;
  int height = 480;
  user::ClientGeometry(bound, &width, &height, nullptr);
  char title[256] = {};
  GetWindowTextA(bound, title, sizeof title);
  width = std::max(width, 64);
  height = std::max(height, 48);
  s.window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * Scale(), height * Scale(),
                              SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  if (s.window) s.renderer = SDL_CreateRenderer(s.window, -1, 0);
  // Mouse positions arrive in client pixels whatever size the window has on the screen.
  if (s.renderer) SDL_RenderSetLogicalSize(s.renderer, width, height);
  if (!s.window || !s.renderer) {
    std::fprintf(stderr, "host: cannot open a window (%s); running headless\n", SDL_GetError());
    DestroySdlWindow();
    return false;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  winapi::internal::SetHostMessageBox(HostMessageBox);
  s.windowDirty = true;
  return true;
}

void PresentSdl(const Frame& frame) {
  State& s = H();
  if (!s.renderer || frame.width <= 0 || frame.height <= 0) return;
  if (!s.texture || s.textureWidth != frame.width || s.textureHeight != frame.height) {
    if (s.texture) SDL_DestroyTexture(s.texture);
    s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, frame.width,
                                  frame.height);
    s.textureWidth = frame.width;
    s.textureHeight = frame.height;
    SDL_RenderSetLogicalSize(s.renderer, frame.width, frame.height);
    SDL_SetWindowSize(s.window, frame.width * Scale(), frame.height * Scale());
  }
  if (!s.texture) return;
  SDL_UpdateTexture(s.texture, nullptr, frame.pixels.data(), frame.width * 4);
  SDL_RenderClear(s.renderer);
  SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
  SDL_RenderPresent(s.renderer);
}

// Returns true when the window's picture must be drawn again.
bool HandleEvent(const SDL_Event& event, HWND bound) {
  switch (event.type) {
    case SDL_QUIT:
      user::HostClose(bound);
      break;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          user::HostClose(bound);
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          user::SetApplicationActive(true);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          user::SetApplicationActive(false);
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          user::HostMinimize(bound, true);
          break;
        case SDL_WINDOWEVENT_RESTORED:
          user::HostMinimize(bound, false);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          InvalidateRect(bound, nullptr, FALSE);
          return true;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      KeyStroke stroke;
      const bool numLock = (GetKeyState(VK_NUMLOCK) & 1) != 0;
      const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
      if (KeyFromSdlScancode(event.key.keysym.scancode, numLock, shift, &stroke))
        user::InputKey(stroke.vk, stroke.scan, stroke.extended, event.type == SDL_KEYUP, event.key.repeat != 0);
      break;
    }
    case SDL_MOUSEMOTION: {
      POINT cursor{};
      GetCursorPos(&cursor);
      ScreenToClient(bound, &cursor);
      if (cursor.x != event.motion.x || cursor.y != event.motion.y)  // not the echo of a warp
        user::InputMouse(bound, event.motion.x, event.motion.y, 0, false);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int button = 0;
      if (event.button.button == SDL_BUTTON_LEFT) button = 1;
      if (event.button.button == SDL_BUTTON_RIGHT) button = 2;
      if (event.button.button == SDL_BUTTON_MIDDLE) button = 3;
      if (button) user::InputMouse(bound, event.button.x, event.button.y, button, event.type == SDL_MOUSEBUTTONDOWN);
      break;
    }
    default:
      break;
  }
  return false;
}

void PumpSdl() {
  State& s = H();
  HWND bound;
  bool windowDirty;
  bool frameDirty;
  bool warp;
  int warpX;
  int warpY;
  {
    std::lock_guard lock(s.lock);
    bound = s.bound;
    if (!bound) return;
  }
  if (!EnsureSdlWindow(bound)) {
    std::lock_guard lock(s.lock);
    s.sdl = false;
    gPumpThread = 0;
    return;
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
  if (windowDirty) {
    char title[256] = {};
    GetWindowTextA(bound, title, sizeof title);
    SDL_SetWindowTitle(s.window, title);
    if (IsWindowVisible(bound))
      SDL_ShowWindow(s.window);
    else
      SDL_HideWindow(s.window);
    if (IsIconic(bound)) SDL_MinimizeWindow(s.window);
  }
  const int shown = (user::CurrentCursorShape() != nullptr && winapi::internal::CursorShowCount() >= 0) ? 1 : 0;
  if (shown != s.cursorShown) {
    SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
    s.cursorShown = shown;
  }
  if (warp) SDL_WarpMouseInWindow(s.window, warpX, warpY);
  SDL_Event event;
  while (SDL_PollEvent(&event))
    if (HandleEvent(event, bound)) frameDirty = true;
  if (frameDirty) {
    Frame frame;
    if (Render(&frame)) {
      PresentSdl(frame);
      Capture(std::move(frame));
    }
  }
}

#endif

}  // namespace

bool Headless() {
  std::lock_guard lock(H().lock);
  return H().bound ? !H().sdl : !WantSdl();
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
    H().sdl = WantSdl();
    H().windowDirty = true;
    H().frameDirty = true;
    gPumpThread = H().sdl ? owner : 0;
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
#ifdef WINAPI_HAVE_SDL2
  if (H().sdl && GetCurrentThreadId() == H().owner) DestroySdlWindow();
#endif
  H().bound = nullptr;
  H().owner = 0;
  gPumpThread = 0;
}

void WindowChanged(HWND window) {
  DWORD owner;
  {
    std::lock_guard lock(H().lock);
    if (H().bound != window || !H().sdl) return;
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
  {
    std::lock_guard lock(H().lock);
    H().frames++;
    if (CloseAfterFrames() && H().frames == CloseAfterFrames()) close = H().bound;
    if (H().sdl && H().bound) {
      H().frameDirty = true;
      owner = H().owner;
    } else {
      H().stale = true;  // rendered only when a test looks, so drawing costs no conversion
    }
  }
  if (owner) user::WakeThread(owner);
  if (close) user::HostClose(close);
}

void WarpCursor(int clientX, int clientY) {
  DWORD owner;
  {
    std::lock_guard lock(H().lock);
    if (!H().sdl || !H().bound) return;
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
    if (!H().sdl || !H().bound) return;
    owner = H().owner;
  }
  user::WakeThread(owner);
}

bool IsHostThread() {
  const DWORD pump = gPumpThread.load();
  return pump != 0 && pump == GetCurrentThreadId();
}

void Pump() {
#ifdef WINAPI_HAVE_SDL2
  if (IsHostThread()) PumpSdl();
#endif
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

// The SDL2 display driver: one SDL window, made and served on the thread that owns the shown window. Built only
// when SDL2 is installed.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "winapi/host/driver.h"
#include "winapi/host/sdl_keys.h"
#include "winapi/kernel/hooks.h"
#include "winapi/user/user_internal.h"

// SDL keeps some storage (per thread, and in the libraries it loads) until the process ends; leak checks of
// programs that show a window would report it. A program's own suppressions replace these.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:libSDL2\nleak:libdbus\nleak:libX11\n";
}

namespace winapi::host {

namespace {

// Only the owner thread of the shown window touches these.
SDL_Window* gWindow = nullptr;
SDL_Renderer* gRenderer = nullptr;
SDL_Texture* gTexture = nullptr;
int gTextureWidth = 0;
int gTextureHeight = 0;

// Whole-number enlargement of the shown picture (WINAPI_SCALE, 1 to 4), for small display modes on big screens.
int Scale() {
  const char* text = std::getenv("WINAPI_SCALE");
  const int scale = text ? std::atoi(text) : 1;
  return std::clamp(scale, 1, 4);
}

bool SdlAvailable() {
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (display && *display) || (wayland && *wayland);
}

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

void SdlClose() {
  if (gTexture) SDL_DestroyTexture(gTexture);
  if (gRenderer) SDL_DestroyRenderer(gRenderer);
  if (gWindow) SDL_DestroyWindow(gWindow);
  gTexture = nullptr;
  gRenderer = nullptr;
  gWindow = nullptr;
  gTextureWidth = gTextureHeight = 0;
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    winapi::internal::SetHostMessageBox(nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
}

bool SdlOpen(HWND bound) {
  if (gWindow) return true;
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
  gWindow = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * Scale(), height * Scale(),
                             SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN);
  if (gWindow) gRenderer = SDL_CreateRenderer(gWindow, -1, 0);
  // Mouse positions arrive in client pixels whatever size the window has on the screen.
  if (gRenderer) SDL_RenderSetLogicalSize(gRenderer, width, height);
  if (!gWindow || !gRenderer) {
    std::fprintf(stderr, "host: cannot open a window (%s); running headless\n", SDL_GetError());
    SdlClose();
    return false;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  winapi::internal::SetHostMessageBox(HostMessageBox);
  return true;
}

void SdlWindowChanged(HWND bound) {
  char title[256] = {};
  GetWindowTextA(bound, title, sizeof title);
  SDL_SetWindowTitle(gWindow, title);
  if (IsWindowVisible(bound))
    SDL_ShowWindow(gWindow);
  else
    SDL_HideWindow(gWindow);
  if (IsIconic(bound)) SDL_MinimizeWindow(gWindow);
}

void SdlShowCursor(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

void SdlWarpCursor(int clientX, int clientY) { SDL_WarpMouseInWindow(gWindow, clientX, clientY); }

void SdlShowFrame(const Frame& frame) {
  if (!gRenderer || frame.width <= 0 || frame.height <= 0) return;
  if (!gTexture || gTextureWidth != frame.width || gTextureHeight != frame.height) {
    if (gTexture) SDL_DestroyTexture(gTexture);
    gTexture = SDL_CreateTexture(gRenderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, frame.width,
                                 frame.height);
    gTextureWidth = frame.width;
    gTextureHeight = frame.height;
    SDL_RenderSetLogicalSize(gRenderer, frame.width, frame.height);
    SDL_SetWindowSize(gWindow, frame.width * Scale(), frame.height * Scale());
    // A mode change re-centres, as the whole screen would have switched; left alone the window keeps the old
    // size's corner and sits off-centre.
    if (!(SDL_GetWindowFlags(gWindow) & SDL_WINDOW_FULLSCREEN))
      SDL_SetWindowPosition(gWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  if (!gTexture) return;
  SDL_UpdateTexture(gTexture, nullptr, frame.pixels.data(), frame.width * 4);
  SDL_RenderClear(gRenderer);
  SDL_RenderCopy(gRenderer, gTexture, nullptr, nullptr);
  SDL_RenderPresent(gRenderer);
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

bool SdlPumpEvents(HWND bound) {
  bool redraw = false;
  SDL_Event event;
  while (SDL_PollEvent(&event))
    if (HandleEvent(event, bound)) redraw = true;
  return redraw;
}

}  // namespace

const DisplayDriver kSdlDisplay{
    .name = "sdl",
    .available = SdlAvailable,
    .open = SdlOpen,
    .close = SdlClose,
    .windowChanged = SdlWindowChanged,
    .showCursor = SdlShowCursor,
    .warpCursor = SdlWarpCursor,
    .pumpEvents = SdlPumpEvents,
    .showFrame = SdlShowFrame,
};

}  // namespace winapi::host

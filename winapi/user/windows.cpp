// Window classes and windows: creation, geometry, visibility, activation, focus and painting.
#include <algorithm>
#include <cstring>
#include <map>
#include <strings.h>

#include "winapi/host/host.h"
#include "winapi/kernel/internal.h"
#include "winapi/user/user_internal.h"
#include "windows.h"

namespace host = winapi::host;

namespace winapi::user {

void PurgeWindow(HWND window, DWORD thread);
void EnsureQueue();

namespace {

constexpr uintptr_t kDesktop = 0x10010;
constexpr int kCaption = 18;
constexpr int kMenu = 19;

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

struct State {
  std::map<std::string, std::shared_ptr<WindowClass>, CaseLess> classes;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;  // ordered by handle = creation order
  uintptr_t nextHandle = 0x20000;
  ATOM nextAtom = 0xC000;
  HWND active = nullptr;
  HWND focus = nullptr;
  bool appActive = true;
  int screenWidth = 1024;
  int screenHeight = 768;
  int screenBits = 16;
  BOOL screenSaverActive = TRUE;
  BOOL powerOffActive = TRUE;
  BOOL lowPowerActive = TRUE;
  uint32_t foregroundRequests = 0;  // SetForegroundWindow calls while the application was in the background
};

State& S() {
  static State& state = *new State;  // never destroyed: exit routines and other threads may still call in
  return state;
}

void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset([] {
                                    ResetWindows();
                                    ResetQueues();
                                    ResetInputDevices();
                                    host::ResetHost();
                                  }),
                                  true);
  (void)registered;
}

// Registered at start-up, so that a test's Reset covers this part even before its first use.
const bool gResetRegistered = (RegisterReset(), true);

bool IsAtom(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
  if (!name) return nullptr;
  if (IsAtom(name)) {
    const ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    for (auto& [key, cls] : S().classes)
      if (cls->atom == atom) return cls;
    return nullptr;
  }
  auto it = S().classes.find(name);
  return it == S().classes.end() ? nullptr : it->second;
}

DWORD NormaliseStyle(DWORD style) {
  // Overlapped top-level windows always have a caption.
  if (!(style & (WS_POPUP | WS_CHILD))) style |= WS_CAPTION | WS_CLIPSIBLINGS;
  return style;
}

int BorderWidth(DWORD style, DWORD exStyle) {
  int border = 0;
  if (style & WS_THICKFRAME)
    border = 4;
  else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
    border = 3;
  else if (style & WS_BORDER)
    border = 1;
  if (exStyle & WS_EX_CLIENTEDGE) border += 2;
  return border;
}

// The client rectangle inside an outer rectangle, in the same coordinates.
RECT ClientArea(const Window& w) {
  const int border = BorderWidth(w.style, w.exStyle);
  RECT r = w.rect;
  r.left += border;
  r.right -= border;
  r.top += border + ((w.style & WS_CAPTION) == WS_CAPTION ? kCaption : 0);
  r.bottom -= border;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

POINT ClientOrigin(const Window& w) {
  RECT client = ClientArea(w);
  POINT origin{client.left, client.top};
  if (w.parent) {
    if (Window* parent = FindWindowRecord(w.parent)) {
      POINT p = ClientOrigin(*parent);
      origin.x += p.x;
      origin.y += p.y;
    }
  }
  return origin;
}

bool IsDesktop(HWND window) { return reinterpret_cast<uintptr_t>(window) == kDesktop; }

void SetError(DWORD error) { SetLastError(error); }

void SendActivation(HWND old, HWND window) {
  if (old && IsWindow(old)) {
    Notify(old, WM_NCACTIVATE, FALSE, 0);
    Notify(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0), reinterpret_cast<LPARAM>(window));
  }
  if (window) {
    Notify(window, WM_NCACTIVATE, TRUE, 0);
    Notify(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, IsIconic(window) ? 1 : 0), reinterpret_cast<LPARAM>(old));
  }
}

// Makes a top-level window the active one, with the messages of a change of activation.
void Activate(HWND window) {
  HWND old;
  {
    std::lock_guard lock(Lock());
    old = S().active;
    if (old == window) return;
    S().active = window;
  }
  SendActivation(old, window);
  if (window) SetFocus(window);
}

void Deactivate(HWND window) {
  {
    std::lock_guard lock(Lock());
    if (S().active != window) return;
    S().active = nullptr;
    if (S().focus == window) S().focus = nullptr;
  }
  SendActivation(window, nullptr);
}

void SendSizeAndMove(HWND window) {
  int width = 0;
  int height = 0;
  POINT origin{};
  if (!ClientGeometry(window, &width, &height, &origin)) return;
  Notify(window, WM_SIZE, IsIconic(window) ? SIZE_MINIMIZED : SIZE_RESTORED, MAKELPARAM(width, height));
  Notify(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
}

void ForgetWindow(HWND window) {
  DWORD thread = 0;
  {
    std::lock_guard lock(Lock());
    auto it = S().windows.find(reinterpret_cast<uintptr_t>(window));
    if (it == S().windows.end()) return;
    thread = it->second->thread;
    it->second->cls->windows--;
    S().windows.erase(it);
    if (S().active == window) S().active = nullptr;
    if (S().focus == window) S().focus = nullptr;
  }
  PurgeWindow(window, thread);
  host::Unbind(window);
}

}  // namespace

Window* FindWindowRecord(HWND window) {
  auto it = S().windows.find(reinterpret_cast<uintptr_t>(window));
  if (it == S().windows.end() || !window) return nullptr;
  return it->second.get();
}

bool ClientGeometry(HWND window, int* width, int* height, POINT* origin) {
  std::lock_guard lock(Lock());
  if (IsDesktop(window)) {
    if (width) *width = S().screenWidth;
    if (height) *height = S().screenHeight;
    if (origin) *origin = POINT{0, 0};
    return true;
  }
  Window* w = FindWindowRecord(window);
  if (!w) return false;
  RECT client = ClientArea(*w);
  if (width) *width = client.right - client.left;
  if (height) *height = client.bottom - client.top;
  if (origin) *origin = ClientOrigin(*w);
  return true;
}

HWND ActiveWindow() {
  std::lock_guard lock(Lock());
  return S().active;
}

LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) return 0;
    proc = w->proc;
  }
  return proc ? proc(window, message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

HWND FindPaintWindow(DWORD thread, HWND filter) {
  for (auto& [handle, w] : S().windows) {
    if (w->thread != thread || !w->visible || !w->needsPaint || w->iconic || w->destroying) continue;
    if (filter && filter != w->handle) continue;
    return w->handle;
  }
  return nullptr;
}

std::vector<HWND> TopLevelWindows() {
  std::lock_guard lock(Lock());
  std::vector<HWND> list;
  for (auto& [handle, w] : S().windows)
    if (!w->parent && !w->destroying) list.push_back(w->handle);
  return list;
}

void DestroyThreadWindows(DWORD thread) {
  std::vector<HWND> list;
  {
    std::lock_guard lock(Lock());
    for (auto& [handle, w] : S().windows)
      if (w->thread == thread) list.push_back(w->handle);
  }
  for (HWND window : list) ForgetWindow(window);
}

void SetScreenSize(int width, int height, int bits) {
  std::lock_guard lock(Lock());
  S().screenWidth = width;
  S().screenHeight = height;
  S().screenBits = bits;
}

void GetScreenSize(int* width, int* height, int* bits) {
  std::lock_guard lock(Lock());
  if (width) *width = S().screenWidth;
  if (height) *height = S().screenHeight;
  if (bits) *bits = S().screenBits;
}

bool ApplicationActive() {
  std::lock_guard lock(Lock());
  return S().appActive;
}

void SetApplicationActive(bool active) {
  HWND current;
  {
    std::lock_guard lock(Lock());
    if (S().appActive == active) return;
    S().appActive = active;
    current = S().active;
  }
  if (!active) ResetInput();  // keys released while away would otherwise stay down
  for (HWND window : TopLevelWindows()) Notify(window, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
  if (current) {
    Notify(current, WM_NCACTIVATE, active ? TRUE : FALSE, 0);
    Notify(current, WM_ACTIVATE, MAKEWPARAM(active ? WA_ACTIVE : WA_INACTIVE, IsIconic(current) ? 1 : 0), 0);
  }
}

void HostClose(HWND window) { Notify(window, WM_CLOSE, 0, 0); }

void HostMinimize(HWND window, bool minimized) {
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w || w->iconic == minimized) return;
    w->iconic = minimized;
    if (!minimized) w->needsPaint = true;
  }
  int width = 0;
  int height = 0;
  ClientGeometry(window, &width, &height, nullptr);
  Notify(window, WM_SIZE, minimized ? SIZE_MINIMIZED : SIZE_RESTORED, minimized ? 0 : MAKELPARAM(width, height));
  Notify(window, WM_ACTIVATE, MAKEWPARAM(minimized ? WA_INACTIVE : WA_ACTIVE, minimized ? 1 : 0), 0);
  WakeThread(GetWindowThreadProcessId(window, nullptr));
}

void ResetWindows() {
  std::lock_guard lock(Lock());
  S().appActive = true;
  S().foregroundRequests = 0;
  S().screenSaverActive = TRUE;
  S().powerOffActive = TRUE;
  S().lowPowerActive = TRUE;
}

}  // namespace winapi::user

namespace winapi::testing {
uint32_t ForegroundRequestsWhileInactive() {
  std::lock_guard lock(winapi::user::Lock());
  return winapi::user::S().foregroundRequests;
}
}  // namespace winapi::testing

using namespace winapi::user;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  RegisterReset();
  if (!windowClass || !windowClass->lpszClassName || IsAtom(windowClass->lpszClassName)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(Lock());
  if (S().classes.count(windowClass->lpszClassName)) {
    SetError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = windowClass->lpszClassName;
  cls->style = windowClass->style;
  cls->proc = windowClass->lpfnWndProc;
  cls->instance = windowClass->hInstance;
  cls->icon = windowClass->hIcon;
  cls->cursor = windowClass->hCursor;
  cls->background = windowClass->hbrBackground;
  cls->windowExtra = std::clamp(windowClass->cbWndExtra, 0, 1024);
  cls->atom = S().nextAtom++;
  if (S().nextAtom == 0) S().nextAtom = 0xC000;
  S().classes[cls->name] = cls;
  return cls->atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  std::lock_guard lock(Lock());
  auto cls = FindClass(className);
  if (!cls) {
    SetError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (cls->windows > 0) {
    SetError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  S().classes.erase(cls->name);
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  RegisterReset();
  EnsureQueue();
  HWND handle;
  {
    std::lock_guard lock(Lock());
    auto cls = FindClass(className);
    if (!cls) {
      SetError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (parent && !IsDesktop(parent) && !FindWindowRecord(parent)) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (IsDesktop(parent)) parent = nullptr;
    auto w = std::make_unique<Window>();
    handle = reinterpret_cast<HWND>(S().nextHandle);
    S().nextHandle += 4;
    w->handle = handle;
    w->cls = cls;
    w->title = windowName ? windowName : "";
    w->style = NormaliseStyle(style) & ~WS_VISIBLE;
    w->exStyle = exStyle;
    if (x == CW_USEDEFAULT) x = y = 32;
    if (width == CW_USEDEFAULT) {
      width = 640;
      height = 480;
    }
    w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->parent = parent;
    w->thread = GetCurrentThreadId();
    w->proc = cls->proc;
    w->instance = instance;
    w->id = reinterpret_cast<LONG_PTR>(menu);
    w->extra.assign(static_cast<size_t>(cls->windowExtra), 0);
    cls->windows++;
    S().windows[reinterpret_cast<uintptr_t>(handle)] = std::move(w);
  }
  CREATESTRUCTA create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cx = width;
  create.cy = height;
  create.x = x;
  create.y = y;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  if (!CallWindowProcedure(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    ForgetWindow(handle);
    return nullptr;
  }
  if (CallWindowProcedure(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (!IsWindow(handle)) return nullptr;
  SendSizeAndMove(handle);
  if (style & WS_VISIBLE) ShowWindow(handle, (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW);
  return handle;
}

BOOL DestroyWindow(HWND window) {
  std::vector<HWND> children;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->thread != GetCurrentThreadId()) {
      SetError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    w->visible = false;
    for (auto& [handle, child] : S().windows)
      if (child->parent == window) children.push_back(child->handle);
  }
  Deactivate(window);
  CallWindowProcedure(window, WM_DESTROY, 0, 0);
  for (HWND child : children) DestroyWindow(child);
  CallWindowProcedure(window, WM_NCDESTROY, 0, 0);
  ForgetWindow(window);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  std::lock_guard lock(Lock());
  return FindWindowRecord(window) != nullptr || IsDesktop(window);
}

BOOL IsWindowVisible(HWND window) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  return w && w->visible;
}

BOOL ShowWindow(HWND window, int command) {
  bool wasVisible;
  bool wasIconic;
  bool topLevel;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    wasVisible = w->visible;
    wasIconic = w->iconic;
    topLevel = w->parent == nullptr;
    switch (command) {
      case SW_HIDE:
        w->visible = false;
        break;
      case SW_MINIMIZE:
      case SW_SHOWMINIMIZED:
      case SW_SHOWMINNOACTIVE:
        w->visible = true;
        w->iconic = true;
        break;
      default:
        w->visible = true;
        w->iconic = false;
        break;
    }
    if (w->visible && (!wasVisible || wasIconic)) {
      w->needsPaint = true;
      w->needsErase = true;
    }
  }
  const bool nowIconic = IsIconic(window);
  if (command == SW_HIDE) {
    if (wasVisible) Notify(window, WM_SHOWWINDOW, FALSE, 0);
    Deactivate(window);
  } else {
    if (!wasVisible) Notify(window, WM_SHOWWINDOW, TRUE, 0);
    if (nowIconic != wasIconic) {
      int width = 0;
      int height = 0;
      ClientGeometry(window, &width, &height, nullptr);
      Notify(window, WM_SIZE, nowIconic ? SIZE_MINIMIZED : SIZE_RESTORED, nowIconic ? 0 : MAKELPARAM(width, height));
    }
    if (nowIconic) {
      HWND active = ActiveWindow();
      if (active == window) {
        {
          std::lock_guard lock(Lock());
          S().active = nullptr;
          if (S().focus == window) S().focus = nullptr;
        }
        Notify(window, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 1), 0);
      }
    } else if (topLevel && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE) {
      Activate(window);
    }
    if (topLevel) host::Bind(window);
  }
  host::WindowChanged(window);
  WakeThread(GetWindowThreadProcessId(window, nullptr));
  return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
  bool paint = false;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) return FALSE;
    paint = w->visible && w->needsPaint && w->thread == GetCurrentThreadId();
  }
  if (paint) CallWindowProcedure(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  bool moved = false;
  bool sized = false;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
      moved = x != r.left || y != r.top;
      r.right += x - r.left;
      r.bottom += y - r.top;
      r.left = x;
      r.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
      width = std::max(width, 0);
      height = std::max(height, 0);
      sized = width != r.right - r.left || height != r.bottom - r.top;
      r.right = r.left + width;
      r.bottom = r.top + height;
    }
    w->rect = r;
    if (!(flags & SWP_NOZORDER)) {
      if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
      if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
    }
    if (sized && w->visible) w->needsPaint = true;
  }
  if (sized || (flags & SWP_FRAMECHANGED)) {
    int cw = 0;
    int ch = 0;
    ClientGeometry(window, &cw, &ch, nullptr);
    Notify(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cw, ch));
  }
  if (moved || sized) {
    POINT origin{};
    ClientGeometry(window, nullptr, nullptr, &origin);
    Notify(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(window, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(window, SW_HIDE);
  host::WindowChanged(window);
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
  if (!rect) return FALSE;
  const int border = BorderWidth(style, exStyle);
  rect->left -= border;
  rect->right += border;
  rect->top -= border + ((style & WS_CAPTION) == WS_CAPTION ? kCaption : 0) + (menu ? kMenu : 0);
  rect->bottom += border;
  return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL GetClientRect(HWND window, LPRECT rect) {
  int width = 0;
  int height = 0;
  if (!rect || !ClientGeometry(window, &width, &height, nullptr)) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = RECT{0, 0, width, height};
  return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  if (!rect) return FALSE;
  std::lock_guard lock(Lock());
  if (IsDesktop(window)) {
    *rect = RECT{0, 0, S().screenWidth, S().screenHeight};
    return TRUE;
  }
  Window* w = FindWindowRecord(window);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = w->rect;
  if (w->parent) {
    POINT origin{};
    ClientGeometry(w->parent, nullptr, nullptr, &origin);
    rect->left += origin.x;
    rect->right += origin.x;
    rect->top += origin.y;
    rect->bottom += origin.y;
  }
  return TRUE;
}

// Moves a point by the client origin, `sign` 1 towards the screen and -1 back.
static BOOL ShiftByClientOrigin(HWND window, LPPOINT point, LONG sign) {
  POINT origin{};
  if (!point || !ClientGeometry(window, nullptr, nullptr, &origin)) return FALSE;
  point->x += sign * origin.x;
  point->y += sign * origin.y;
  return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) { return ShiftByClientOrigin(window, point, 1); }

BOOL ScreenToClient(HWND window, LPPOINT point) { return ShiftByClientOrigin(window, point, -1); }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    w->title = text ? text : "";
  }
  host::WindowChanged(window);
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR text, int maxCount) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  if (!w || !text || maxCount <= 0) return 0;
  const int length = std::min<int>(static_cast<int>(w->title.size()), maxCount - 1);
  std::memcpy(text, w->title.data(), static_cast<size_t>(length));
  text[length] = '\0';
  return length;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  std::lock_guard lock(Lock());
  auto cls = className ? FindClass(className) : nullptr;
  if (className && !cls) return nullptr;
  for (auto& [handle, w] : S().windows) {
    if (w->parent || w->destroying) continue;
    if (cls && w->cls != cls) continue;
    if (windowName && strcasecmp(w->title.c_str(), windowName) != 0) continue;
    return w->handle;
  }
  return nullptr;
}

int GetClassNameA(HWND window, LPSTR className, int maxCount) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  if (!w || !className || maxCount <= 0) {
    SetError(w ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const int length = std::min<int>(static_cast<int>(w->cls->name.size()), maxCount - 1);
  std::memcpy(className, w->cls->name.data(), static_cast<size_t>(length));
  className[length] = '\0';
  return length;
}

LONG_PTR GetWindowLongA(HWND window, int index) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index >= 0) {  // the class's window bytes: a 32-bit value, as the platform stores it
    if (static_cast<size_t>(index) + 4 > w->extra.size()) {
      SetError(ERROR_INVALID_INDEX);
      return 0;
    }
    int32_t value;
    std::memcpy(&value, w->extra.data() + index, 4);
    return value;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0) | (w->iconic ? WS_MINIMIZE : 0));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_USERDATA:
      return w->userData;
    case GWL_ID:
      return w->id;
    case GWL_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent);
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  if (!w) {
    SetError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const LONG_PTR old = GetWindowLongA(window, index);
  if (index >= 0) {
    if (static_cast<size_t>(index) + 4 > w->extra.size()) return 0;
    const int32_t narrow = static_cast<int32_t>(value);
    std::memcpy(w->extra.data() + index, &narrow, 4);
    return old;
  }
  switch (index) {
    case GWL_STYLE:
      w->style = static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_MINIMIZE);
      break;
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      break;
    case GWL_WNDPROC:
      w->proc = reinterpret_cast<WNDPROC>(value);
      break;
    case GWL_USERDATA:
      w->userData = value;
      break;
    case GWL_ID:
      w->id = value;
      break;
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return 0;
  }
  return old;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  if (!w) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return w->thread;
}

HWND GetDesktopWindow() { return reinterpret_cast<HWND>(kDesktop); }

HWND GetForegroundWindow() { return ActiveWindow(); }

BOOL SetForegroundWindow(HWND window) {
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) return FALSE;
    while (w->parent) w = FindWindowRecord(w->parent);
    window = w->handle;
    // While the user works in another program the request is noted, not forced: the player can switch away.
    if (!S().appActive) S().foregroundRequests++;
  }
  Activate(window);
  return TRUE;
}

HWND GetActiveWindow() { return ActiveWindow(); }

HWND SetActiveWindow(HWND window) {
  HWND old = ActiveWindow();
  if (window && !IsWindow(window)) return nullptr;
  if (window) Activate(window);
  return old;
}

HWND SetFocus(HWND window) {
  HWND old;
  {
    std::lock_guard lock(Lock());
    if (window && !FindWindowRecord(window)) {
      SetError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    old = S().focus;
    if (old == window) return old;
    S().focus = window;
  }
  if (old && IsWindow(old)) Notify(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window) Notify(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND GetFocus() {
  std::lock_guard lock(Lock());
  return S().focus;
}

BOOL IsIconic(HWND window) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  return w && w->iconic;
}

BOOL InvalidateRect(HWND window, LPCRECT, BOOL erase) {
  std::vector<DWORD> threads;
  {
    std::lock_guard lock(Lock());
    for (auto& [handle, w] : S().windows) {
      if (window && w->handle != window) continue;
      w->needsPaint = true;
      if (erase) w->needsErase = true;
      threads.push_back(w->thread);
    }
  }
  for (DWORD thread : threads) WakeThread(thread);
  return TRUE;
}

BOOL ValidateRect(HWND window, LPCRECT) {
  std::lock_guard lock(Lock());
  Window* w = FindWindowRecord(window);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  bool erase;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w || !paint) return nullptr;
    erase = w->needsErase;
    w->needsErase = false;
    w->needsPaint = false;
  }
  std::memset(paint, 0, sizeof(*paint));
  paint->hdc = reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(window) | 1);
  paint->fErase = erase ? !CallWindowProcedure(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) : FALSE;
  GetClientRect(window, &paint->rcPaint);
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
    case WM_QUERYENDSESSION:
    case WM_ERASEBKGND:
    case WM_POWERBROADCAST:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) SetFocus(window);
      return 0;
    case WM_MOUSEACTIVATE:
      return 1;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(window, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(window, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(window, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(window, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_GETTEXT:
      return GetWindowTextA(window, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_SETTEXT:
      return SetWindowTextA(window, reinterpret_cast<LPCSTR>(lParam));
    default:
      return 0;
  }
}

int GetSystemMetrics(int index) {
  int width = 0;
  int height = 0;
  GetScreenSize(&width, &height, nullptr);
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
      return width;
    case SM_CYSCREEN:
      return height;
    case SM_CYFULLSCREEN:
      return height - kCaption;
    case SM_CYCAPTION:
      return kCaption + 1;
    case SM_CXBORDER:
    case SM_CYBORDER:
      return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
      return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return 4;
    case SM_CYMENU:
      return kMenu;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
      return 16;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_MOUSEPRESENT:
      return 1;
    case SM_CMOUSEBUTTONS:
      return 3;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
      return 4;
    case SM_SWAPBUTTON:
    default:
      return 0;
  }
}

BOOL SystemParametersInfoA(UINT action, UINT uiParam, PVOID pvParam, UINT winIni) {
  struct Setting {
    UINT get;
    UINT set;
    BOOL State::*value;
  };
  static const Setting kSettings[] = {
      {SPI_GETSCREENSAVEACTIVE, SPI_SETSCREENSAVEACTIVE, &State::screenSaverActive},
      {SPI_GETPOWEROFFACTIVE, SPI_SETPOWEROFFACTIVE, &State::powerOffActive},
      {SPI_GETLOWPOWERACTIVE, SPI_SETLOWPOWERACTIVE, &State::lowPowerActive},
  };
  {
    std::lock_guard lock(Lock());
    const Setting* setting = nullptr;
    for (const Setting& s : kSettings)
      if (s.get == action || s.set == action) setting = &s;
    if (!setting || (action == setting->get && !pvParam)) {
      SetError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    BOOL& value = S().*(setting->value);
    if (action == setting->get) {
      *static_cast<BOOL*>(pvParam) = value;
      return TRUE;
    }
    const BOOL wanted = uiParam ? TRUE : FALSE;
    if (value == wanted) return TRUE;
    value = wanted;
  }
  if (winIni & SPIF_SENDWININICHANGE) PostMessageA(HWND_BROADCAST, WM_SETTINGCHANGE, action, 0);
  return TRUE;
}

HICON LoadIcon(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HICON>(0x30000 + (reinterpret_cast<uintptr_t>(name) & 0xFFFF));
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) {
  return reinterpret_cast<HCURSOR>(0x40000 + (reinterpret_cast<uintptr_t>(name) & 0xFFFF));
}

HGDIOBJ GetStockObject(int object) {
  if (object < 0 || object > 20) return nullptr;
  return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x50000 + object));
}

BOOL MessageBeep(UINT) { return TRUE; }

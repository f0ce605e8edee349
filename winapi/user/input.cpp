// Keyboard and mouse: key state, the US keyboard layout, keyboard hooks, the cursor, and the input messages
// that the host and keybd_event make.
#include <algorithm>
#include <cstring>

#include "winapi/host/host.h"
#include "winapi/user/user_internal.h"
#include "winapi/user/keymap.h"
#include "windows.h"

namespace host = winapi::host;

namespace winapi::user {

namespace {

struct Hook {
  HHOOK handle;
  HOOKPROC proc;
  DWORD thread;  // 0: every thread
};

struct InputState {
  BYTE keys[256] = {};
  bool pressedSince[256] = {};
  POINT cursor{};
  HCURSOR shape = nullptr;
  std::vector<Hook> hooks;  // newest first
  uintptr_t nextHook = 0x60000;
  // Double clicks.
  HWND lastClickWindow = nullptr;
  int lastClickButton = 0;
  DWORD lastClickTime = 0;
  POINT lastClickPoint{};
  bool lastClickValid = false;
  int keyboardType = 4;
  int keyboardSubtype = 0;
};

InputState& I() {
  static InputState& state = *new InputState;  // never destroyed: threads may call in during exit
  return state;
}

constexpr DWORD kDoubleClickTime = 500;

// The hook running on this thread, so that CallNextHookEx finds the next one whatever handle it is given.
thread_local HHOOK tRunningHook = nullptr;

LRESULT RunHook(HHOOK handle, HOOKPROC proc, int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK outer = tRunningHook;
  tRunningHook = handle;
  const LRESULT result = proc(code, wParam, lParam);
  tRunningHook = outer;
  return result;
}

bool Down(int vk) { return (I().keys[vk] & 0x80) != 0; }

void SetDown(int vk, bool down) {
  if (down) {
    I().keys[vk] |= 0x80;
    I().pressedSince[vk] = true;
  } else {
    I().keys[vk] &= static_cast<BYTE>(~0x80);
  }
}

// Keeps the side-less state of Shift, Ctrl and Alt in step with the two sides.
void SyncModifiers() {
  SetDown(VK_SHIFT, Down(VK_LSHIFT) || Down(VK_RSHIFT));
  I().keys[VK_CONTROL] = static_cast<BYTE>((I().keys[VK_CONTROL] & 1) | ((Down(VK_LCONTROL) || Down(VK_RCONTROL)) ? 0x80 : 0));
  I().keys[VK_MENU] = static_cast<BYTE>((I().keys[VK_MENU] & 1) | ((Down(VK_LMENU) || Down(VK_RMENU)) ? 0x80 : 0));
}

HWND KeyboardTarget() {
  HWND focus = GetFocus();
  if (focus && IsWindow(focus)) return focus;
  HWND active = ActiveWindow();
  if (active) return active;
  return host::BoundWindow();
}

}  // namespace

BYTE CurrentModifiers() {
  std::lock_guard lock(Lock());
  BYTE mods = 0;
  if (Down(VK_SHIFT)) mods |= kModShift;
  if (Down(VK_CONTROL)) mods |= kModControl;
  if (Down(VK_MENU)) mods |= kModAlt;
  if (I().keys[VK_CAPITAL] & 1) mods |= kModCaps;
  return mods;
}

WORD CharacterForKey(UINT vk, BYTE mods) {
  const bool shift = (mods & kModShift) != 0;
  const bool ctrl = (mods & kModControl) != 0;
  const bool alt = (mods & kModAlt) != 0;
  const bool caps = (mods & kModCaps) != 0;
  if (ctrl && !alt) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<WORD>(vk - 'A' + 1);
    switch (vk) {
      case VK_OEM_4:
      case VK_ESCAPE:
        return 0x1B;
      case VK_OEM_5:
        return 0x1C;
      case VK_OEM_6:
        return 0x1D;
      case VK_BACK:
        return 0x7F;
      case VK_RETURN:
        return 0x0A;
      case VK_SPACE:
        return ' ';
      default:
        return 0;
    }
  }
  if (vk >= 'A' && vk <= 'Z') return static_cast<WORD>((shift != caps) ? vk : vk + 32);
  return static_cast<WORD>(KeyCharacter(static_cast<BYTE>(vk), shift));
}

WPARAM MouseKeyFlags() {
  std::lock_guard lock(Lock());
  WPARAM flags = 0;
  if (Down(VK_LBUTTON)) flags |= MK_LBUTTON;
  if (Down(VK_RBUTTON)) flags |= MK_RBUTTON;
  if (Down(VK_MBUTTON)) flags |= MK_MBUTTON;
  if (Down(VK_SHIFT)) flags |= MK_SHIFT;
  if (Down(VK_CONTROL)) flags |= MK_CONTROL;
  return flags;
}

QueuedInput InputKey(BYTE vk, BYTE scan, bool extended, bool up, bool repeat) {
  UINT message;
  LPARAM lParam;
  WPARAM wParam;
  {
    std::lock_guard lock(Lock());
    // Side-specific keys travel as their side-less key in messages.
    BYTE side = 0;
    switch (vk) {
      case VK_SHIFT:
      case VK_LSHIFT:
      case VK_RSHIFT:
        side = (vk == VK_RSHIFT || scan == 0x36) ? VK_RSHIFT : VK_LSHIFT;
        if (!scan) scan = side == VK_RSHIFT ? 0x36 : 0x2A;
        vk = VK_SHIFT;
        break;
      case VK_CONTROL:
      case VK_LCONTROL:
      case VK_RCONTROL:
        side = (vk == VK_RCONTROL || extended) ? VK_RCONTROL : VK_LCONTROL;
        extended = side == VK_RCONTROL;
        vk = VK_CONTROL;
        break;
      case VK_MENU:
      case VK_LMENU:
      case VK_RMENU:
        side = (vk == VK_RMENU || extended) ? VK_RMENU : VK_LMENU;
        extended = side == VK_RMENU;
        vk = VK_MENU;
        break;
      default:
        break;
    }
    if (!vk && scan) vk = static_cast<BYTE>(ScanToVirtualKey(scan, extended));
    if (!scan) {
      const KeyInfo* info = KeyInfoForVirtualKey(vk);
      if (info) {
        scan = info->scan;
        if (info->extended) extended = true;
      }
    }
    const bool wasDown = Down(vk);
    if (!up && !wasDown && (vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL)) I().keys[vk] ^= 1;
    if (side) {
      SetDown(side, !up);
      SyncModifiers();
    } else {
      SetDown(vk, !up);
    }
    const bool alt = Down(VK_MENU);
    const bool ctrl = Down(VK_CONTROL);
    const bool system = (alt && !ctrl) || vk == VK_F10 || (vk == VK_MENU && !ctrl);
    message = up ? (system ? WM_SYSKEYUP : WM_KEYUP) : (system ? WM_SYSKEYDOWN : WM_KEYDOWN);
    wParam = vk;
    DWORD bits = 1u | (static_cast<DWORD>(scan) << 16);
    if (extended) bits |= 1u << 24;
    if (alt) bits |= 1u << 29;
    if (up || wasDown || repeat) bits |= 1u << 30;
    if (up) bits |= 1u << 31;
    lParam = static_cast<LPARAM>(bits);
  }
  if (HWND target = KeyboardTarget()) return QueueInput(target, message, wParam, lParam, QS_KEY);
  return {};
}

QueuedInput InputMouse(HWND window, int x, int y, int button, bool down) {
  UINT message = WM_MOUSEMOVE;
  {
    std::lock_guard lock(Lock());
    Window* w = FindWindowRecord(window);
    if (!w) return {};
    POINT origin{};
    ClientGeometry(window, nullptr, nullptr, &origin);
    I().cursor = POINT{origin.x + x, origin.y + y};
    if (button) {
      static const int kButtons[] = {0, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
      static const UINT kDown[] = {0, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
      static const UINT kUp[] = {0, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
      static const UINT kDouble[] = {0, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
      button = std::clamp(button, 1, 3);
      SetDown(kButtons[button], down);
      message = down ? kDown[button] : kUp[button];
      if (down) {
        const DWORD now = GetTickCount();
        InputState& s = I();
        const bool isDouble = (w->cls->style & CS_DBLCLKS) && s.lastClickValid && s.lastClickWindow == window &&
                              s.lastClickButton == button && now - s.lastClickTime <= kDoubleClickTime &&
                              std::abs(s.lastClickPoint.x - x) <= 2 && std::abs(s.lastClickPoint.y - y) <= 2;
        if (isDouble) {
          message = kDouble[button];
          s.lastClickValid = false;
        } else {
          s.lastClickValid = true;
          s.lastClickWindow = window;
          s.lastClickButton = button;
          s.lastClickTime = now;
          s.lastClickPoint = POINT{x, y};
        }
      }
    }
  }
  return QueueInput(window, message, MouseKeyFlags(), MAKELPARAM(x, y), button ? QS_MOUSEBUTTON : QS_MOUSEMOVE);
}

void SetCursorScreenPos(int x, int y) {
  std::lock_guard lock(Lock());
  I().cursor = POINT{x, y};
}

POINT CursorScreenPos() {
  std::lock_guard lock(Lock());
  return I().cursor;
}

void InputPointerWithoutWindow(int x, int y, int button, bool down) {
  std::lock_guard lock(Lock());
  I().cursor = POINT{x, y};
  static const int kButtons[] = {0, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
  if (button) SetDown(kButtons[std::clamp(button, 1, 3)], down);
}

bool RunKeyboardHooks(bool remove, WPARAM vk, LPARAM flags) {
  Hook first{};
  {
    std::lock_guard lock(Lock());
    const DWORD thread = GetCurrentThreadId();
    for (const Hook& hook : I().hooks) {
      if (hook.thread == 0 || hook.thread == thread) {
        first = hook;
        break;
      }
    }
  }
  if (!first.proc) return false;
  return RunHook(first.handle, first.proc, remove ? HC_ACTION : HC_NOREMOVE, vk, flags) != 0;
}

void ResetInput() {
  std::lock_guard lock(Lock());
  InputState& s = I();
  for (int vk = 0; vk < 256; ++vk) {
    s.keys[vk] &= 1;  // toggles survive, keys and buttons come up
    s.pressedSince[vk] = false;
  }
  s.lastClickValid = false;
}

void ResetInputDevices() {
  ResetInput();
  std::lock_guard lock(Lock());
  InputState& s = I();
  std::memset(s.keys, 0, sizeof s.keys);
  s.cursor = POINT{};
  s.shape = nullptr;
  s.hooks.clear();
  s.keyboardType = 4;
  s.keyboardSubtype = 0;
}

}  // namespace winapi::user

namespace winapi::testing {
// Declared in testing.h.
void SetKeyboardType(int type, int subtype) {
  std::lock_guard lock(winapi::user::Lock());
  winapi::user::I().keyboardType = type;
  winapi::user::I().keyboardSubtype = subtype;
}
}  // namespace winapi::testing

using namespace winapi::user;

SHORT GetKeyState(int vk) {
  PollInputScript();
  std::lock_guard lock(Lock());
  if (vk < 0 || vk > 255) return 0;
  const BYTE state = I().keys[vk];
  return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 1));
}

SHORT GetAsyncKeyState(int vk) {
  PollInputScript();
  std::lock_guard lock(Lock());
  if (vk < 0 || vk > 255) return 0;
  const bool since = I().pressedSince[vk];
  I().pressedSince[vk] = false;
  return static_cast<SHORT>(((I().keys[vk] & 0x80) ? 0x8000 : 0) | (since ? 1 : 0));
}

BOOL GetKeyboardState(LPBYTE keyState) {
  if (!keyState) return FALSE;
  PollInputScript();
  std::lock_guard lock(Lock());
  std::memcpy(keyState, I().keys, 256);
  return TRUE;
}

BOOL SetKeyboardState(LPBYTE keyState) {
  if (!keyState) return FALSE;
  std::lock_guard lock(Lock());
  std::memcpy(I().keys, keyState, 256);
  return TRUE;
}

void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR) {
  InputKey(virtualKey, scanCode, (flags & KEYEVENTF_EXTENDEDKEY) != 0, (flags & KEYEVENTF_KEYUP) != 0, false);
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
  switch (mapType) {
    case MAPVK_VK_TO_VSC: {
      if (code == VK_LSHIFT || code == VK_SHIFT) return 0x2A;
      if (code == VK_RSHIFT) return 0x36;
      if (code == VK_LCONTROL || code == VK_RCONTROL) return 0x1D;
      if (code == VK_LMENU || code == VK_RMENU) return 0x38;
      const KeyInfo* info = KeyInfoForVirtualKey(static_cast<BYTE>(code));
      return info ? info->scan : 0;
    }
    case MAPVK_VSC_TO_VK:
    case MAPVK_VSC_TO_VK_EX: {
      const UINT vk = ScanToVirtualKey(static_cast<BYTE>(code), false);
      if (mapType == MAPVK_VSC_TO_VK_EX) {
        if (code == 0x2A) return VK_LSHIFT;
        if (code == 0x36) return VK_RSHIFT;
        if (code == 0x1D) return VK_LCONTROL;
        if (code == 0x38) return VK_LMENU;
      }
      return vk;
    }
    case MAPVK_VK_TO_CHAR: {
      if (code >= 'A' && code <= 'Z') return code;
      return KeyCharacter(static_cast<BYTE>(code), false);
    }
    default:
      return 0;
  }
}

int GetKeyboardType(int typeFlag) {
  std::lock_guard lock(Lock());
  switch (typeFlag) {
    case 0:
      return I().keyboardType;
    case 1:
      return I().keyboardSubtype;
    case 2:
      return 12;
    default:
      return 0;
  }
}

HHOOK SetWindowsHookExA(int idHook, HOOKPROC procedure, HINSTANCE, DWORD threadId) {
  if (idHook != WH_KEYBOARD || !procedure) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard lock(Lock());
  Hook hook{reinterpret_cast<HHOOK>(I().nextHook), procedure, threadId};
  I().nextHook += 4;
  I().hooks.insert(I().hooks.begin(), hook);
  return hook.handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  std::lock_guard lock(Lock());
  auto& hooks = I().hooks;
  auto it = std::find_if(hooks.begin(), hooks.end(), [hook](const Hook& h) { return h.handle == hook; });
  if (it == hooks.end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  Hook next{};
  {
    std::lock_guard lock(Lock());
    const DWORD thread = GetCurrentThreadId();
    auto& hooks = I().hooks;
    const HHOOK from = tRunningHook ? tRunningHook : hook;
    auto it = std::find_if(hooks.begin(), hooks.end(), [from](const Hook& h) { return h.handle == from; });
    if (it != hooks.end()) {
      for (++it; it != hooks.end(); ++it) {
        if (it->thread == 0 || it->thread == thread) {
          next = *it;
          break;
        }
      }
    }
  }
  return next.proc ? RunHook(next.handle, next.proc, code, wParam, lParam) : 0;
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  PollInputScript();
  std::lock_guard lock(Lock());
  *point = I().cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  int width = 0;
  int height = 0;
  GetScreenSize(&width, &height, nullptr);
  x = std::clamp(x, 0, std::max(width - 1, 0));
  y = std::clamp(y, 0, std::max(height - 1, 0));
  SetCursorScreenPos(x, y);
  // The window under the cursor hears of the move, as after a real one.
  HWND shown = host::BoundWindow();
  POINT origin{};
  int cw = 0;
  int ch = 0;
  if (shown && ClientGeometry(shown, &cw, &ch, &origin)) {
    const int cx = x - origin.x;
    const int cy = y - origin.y;
    if (cx >= 0 && cy >= 0 && cx < cw && cy < ch) {
      host::WarpCursor(cx, cy);
      InputMouse(shown, cx, cy, 0, false);
    }
  }
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old;
  {
    std::lock_guard lock(Lock());
    old = I().shape;
    I().shape = cursor;
  }
  if (old != cursor) host::CursorChanged();
  return old;
}

namespace winapi::user {
HCURSOR CurrentCursorShape() {
  std::lock_guard lock(Lock());
  return I().shape;
}
}  // namespace winapi::user

UINT GetDoubleClickTime() { return kDoubleClickTime; }

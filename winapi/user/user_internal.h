// Shared state of the windows-and-messages stand-in: the window table, the per-thread queues, and the entry
// points through which the host (SDL2 or headless) and the DirectDraw stand-in feed it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "windows.h"

namespace winapi::user {

// One lock guards every window and queue. Window procedures and hooks are never called while it is held.
std::recursive_mutex& Lock();

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  int windowExtra = 0;  // bytes of GetWindowLongA storage per window
  int windows = 0;  // live windows of the class
  ATOM atom = 0;
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // outer rectangle: screen coordinates, or the parent's client coordinates for a child
  HWND parent = nullptr;
  DWORD thread = 0;
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  std::vector<uint8_t> extra;  // the class's window bytes
  bool visible = false;
  bool iconic = false;
  bool needsPaint = false;
  bool needsErase = false;
  bool destroying = false;
};

// Looks a window up; null for an unknown or destroyed handle. Call with the lock held.
Window* FindWindowRecord(HWND window);
// Client rectangle size and the client origin on the screen.
bool ClientGeometry(HWND window, int* width, int* height, POINT* origin);
HWND ActiveWindow();

// Delivers a message the system generates: a direct call on the window's own thread, otherwise queued as a
// sent message that the sender does not wait for (so the system never blocks on a busy window thread).
void Notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Wakes a thread blocked in GetMessageA, WaitMessage or MsgWaitForMultipleObjects.
void WakeThread(DWORD thread);

// ---- input from the host or from keybd_event ----------------------------------------------------------------
// An input message put in a thread's queue (serial 0: none was queued).
struct QueuedInput {
  DWORD thread = 0;
  uint64_t serial = 0;
};
QueuedInput InputKey(BYTE virtualKey, BYTE scanCode, bool extended, bool up, bool repeat);
// Mouse position and buttons in the client coordinates of `window`; button: 0 none (move), 1 left, 2 right,
// 3 middle.
QueuedInput InputMouse(HWND window, int x, int y, int button, bool down);
// Waits in real time, up to `limitMs`, until the thread that got `input` has taken it and everything queued to it
// before or because of it, and has come back to an empty queue; at once for the calling thread's own queue or a
// thread that is gone. False when the time ran out.
bool AwaitInputTaken(const QueuedInput& input, DWORD limitMs);
// The application gained or lost the user's focus (host window focus); sends WM_ACTIVATEAPP and WM_ACTIVATE.
void SetApplicationActive(bool active);
bool ApplicationActive();
// The host window was closed, minimised or restored by the user.
void HostClose(HWND window);
void HostMinimize(HWND window, bool minimized);

// Queues an input message for the window's thread (used by InputKey/InputMouse).
QueuedInput QueueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD wakeBits);
// Runs the keyboard hooks for a key message about to be retrieved; true when a hook swallowed it.
bool RunKeyboardHooks(bool remove, WPARAM virtualKey, LPARAM flags);
// Shift state bits, as a key message saw it when it was made.
constexpr BYTE kModShift = 1, kModControl = 2, kModAlt = 4, kModCaps = 8;
BYTE CurrentModifiers();
// The character a key press makes with that shift state (0 for none). Alt combinations give the character
// as without Alt.
WORD CharacterForKey(UINT virtualKey, BYTE modifiers);
// Current modifier flags for mouse messages (MK_SHIFT, MK_CONTROL and the buttons).
WPARAM MouseKeyFlags();
void SetCursorScreenPos(int x, int y);
// The cursor as it is, without the input poll a program's GetCursorPos makes (which moves a script's clock).
POINT CursorScreenPos();
// The pointer moves (screen coordinates) and its buttons change with no window to hear of it.
void InputPointerWithoutWindow(int x, int y, int button, bool down);
// A poll of the input state: while an input script is on, the virtual clock moves one step first.
void PollInputScript();
// Plays the file that WINAPI_INPUT_SCRIPT names, if any (the host calls it with its first frame).
void StartInputScriptFromSetting();

// Screen size as the display currently has it (the desktop, or the full-screen mode that DirectDraw set).
void SetScreenSize(int width, int height, int bits);
void GetScreenSize(int* width, int* height, int* bits);

// Resets of the parts, run from winapi::testing::Reset().
void ResetWindows();
void ResetQueues();
void ResetInput();          // keys and buttons come up
void ResetInputDevices();   // and toggles, cursor, hooks and keyboard type return to their start

}  // namespace winapi::user

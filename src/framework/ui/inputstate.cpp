#include "framework/ui/inputstate.h"

#include <cstring>

#include "framework/core/services.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

InputState state;

struct TimedState {
  TimedCallback routine = nullptr;
  int32_t seconds = 0;
  uint32_t deadline = 0;
  int hold = 0;
} timed;

constexpr uint32_t kClickGuardMs = 250;

bool Remove(MSG* msg, UINT first, UINT last) {
  const HWND main = Facts().mainWindow, queue = Facts().queueWindow;
  if (PeekMessageA(msg, main, first, last, PM_REMOVE | PM_NOYIELD)) return true;
  // The display window runs on a thread of its own and hands its input on to the queue window of this thread.
  return main && queue && queue != main && PeekMessageA(msg, queue, first, last, PM_REMOVE | PM_NOYIELD);
}

// Time comparisons survive the wrap of the millisecond clock.
bool Passed(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) >= 0; }

}  // namespace

InputState& Input() { return state; }

uint32_t InputUpdateClock() { return state.clock = timeGetTime(); }

void InputReset() {
  state = InputState{};
  timed = TimedState{};
}

void MouseClampToScreen() {
  const SharedFacts& env = Facts();
  if (!env.appActive) return;
  const int32_t maxX = env.screenWidth - 3, maxY = env.screenHeight - 3;
  bool moved = false;
  if (state.pointerX > maxX) state.pointerX = maxX, moved = true;
  if (state.pointerY > maxY) state.pointerY = maxY, moved = true;
  if (moved) SetCursorPos(state.pointerX, state.pointerY);
}

void MouseGetPosition(int16_t* x, int16_t* y) {
  POINT p{};
  GetCursorPos(&p);
  if (p.x != state.pointerX || p.y != state.pointerY) {
    state.pointerX = p.x;
    state.pointerY = p.y;
    MouseClampToScreen();
    state.lastInputTime = state.clock;
  }
  MSG msg;
  while (Remove(&msg, WM_MOUSEMOVE, WM_MOUSEMOVE)) {
  }
  if (x) *x = static_cast<int16_t>(state.pointerX);
  if (y) *y = static_cast<int16_t>(state.pointerY);
}

void MouseSetPosition(int32_t x, int32_t y) {
  if (timeGetTime() - state.lastPressTime <= kClickGuardMs) return;
  SetCursorPos(x, y);
  state.pointerX = x;
  state.pointerY = y;
}

int32_t PollMouseButtons() {
  state.buttonHeld = ((GetAsyncKeyState(VK_LBUTTON) | GetAsyncKeyState(VK_RBUTTON)) & 0x8000) ? 1 : 0;
  MSG msg;
  while (Remove(&msg, WM_LBUTTONDOWN, WM_RBUTTONDBLCLK)) {
    state.pointerX = static_cast<int16_t>(LOWORD(msg.lParam));
    state.pointerY = static_cast<int16_t>(HIWORD(msg.lParam));
  }
  return state.buttonHeld;
}

int32_t PollKeyMessages() {
  MSG msg;
  const int32_t before = state.keyHeld;
  while (state.keyHeld == before && Remove(&msg, WM_KEYDOWN, WM_KEYUP))
    state.keyHeld = msg.message == WM_KEYDOWN ? 1 : 0;
  return state.keyHeld;
}

int FlushInput() {
  Sleep(125);
  MSG msg;
  int removed = 0;
  while (Remove(&msg, WM_MOUSEFIRST, 0x209))
    if (msg.message != WM_MOUSEMOVE) removed = 1;
  while (Remove(&msg, WM_KEYFIRST, 0x108)) removed = 1;
  state.keyHeld = 0;
  state.buttonHeld = 0;
  BYTE keys[256];
  std::memset(keys, 0, sizeof keys);
  SetKeyboardState(keys);
  return removed;
}

void SetTimedCallback(TimedCallback routine, int32_t seconds) {
  timed.routine = routine;
  timed.seconds = routine ? seconds : 0;
  timed.deadline = state.clock + static_cast<uint32_t>(timed.seconds) * 1000u;
  timed.hold = 0;
}

void PollTimedCallback() {
  if (!timed.routine || timed.hold || !Passed(state.clock, timed.deadline)) return;
  TimedCallback routine = timed.routine;
  timed.routine = nullptr;
  timed.seconds = 0;
  routine();
}

void HoldTimedCallback(int hold) {
  timed.hold = hold;
  timed.deadline = state.clock + static_cast<uint32_t>(timed.seconds) * 1000u;
}

void SleepMs(uint32_t ms) { Sleep(ms); }
void SleepSeconds(uint32_t seconds) { Sleep(seconds * 1000u); }

// The framework's input state (pointer, buttons, keys, clock, last input) and the polling routines the modal
// loops use in place of dispatching messages; a one-shot timed callback; sleeps. Main thread only.
#pragma once

#include <cstdint>

struct InputState {
  int32_t pointerX = 0, pointerY = 0;
  int32_t buttonHeld = 0;
  int32_t keyHeld = 0;
  uint32_t clock = 0;          // milliseconds of the multimedia timer
  uint32_t lastInputTime = 0;  // clock at the last mouse or keyboard input
  uint32_t lastPressTime = 0;  // clock at the last button press
};
InputState& Input();
// Refreshes the clock from the multimedia timer (each pass of a message loop).
uint32_t InputUpdateClock();
// Zero state, no timed callback (tests and start-up).
void InputReset();

void MouseClampToScreen();
void MouseGetPosition(int16_t* x, int16_t* y);
void MouseSetPosition(int32_t x, int32_t y);
int32_t PollMouseButtons();
int32_t PollKeyMessages();
int FlushInput();

using TimedCallback = void (*)();
void SetTimedCallback(TimedCallback routine, int32_t seconds);
void PollTimedCallback();
void HoldTimedCallback(int hold);

void SleepMs(uint32_t ms);
void SleepSeconds(uint32_t seconds);

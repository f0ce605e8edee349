// The software mouse pointer: an animated arrow drawn into the back buffer around each screen update, and a
// wait animation drawn straight onto the display while a long operation runs.
#pragma once

#include <cstdint>

class ShellAnim;
struct WindowDesc;

constexpr int32_t kPointerSize = 25;

struct MousePointer {
  int32_t initialised = 0;
  ShellAnim* arrow = nullptr;
  ShellAnim* wait = nullptr;
  ShellAnim* wait2 = nullptr;
  ShellAnim* current = nullptr;
  WindowDesc* save = nullptr;   // in the display's depth
  WindowDesc* save2 = nullptr;  // only when the display is not 16-bit
  int32_t showCount = 0;
  uint32_t bits = 0;  // 1 busy, 2 input suspended
  int32_t drawnX = 0, drawnY = 0;
  int32_t redrawPending = 0;
};
MousePointer& Mouse();

void MouseInit();
void MouseShutdown();
void MouseClearSaveWindows();
void MouseSetBusyImage();
void MouseSetBusy(int on);
void MouseBusyOn();
void MouseBusyOff();
void MouseSuspendInput(int on);
int MouseInputSuspended();
void MouseHide();
void MouseShow();
int MouseIsShown();
void MouseDraw();
void MouseErase();
void MouseUpdate();

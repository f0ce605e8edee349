#include "framework/ui/mousepointer.h"

#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "platformlib/gfx/windowdesc.h"
#include "windows.h"

namespace {

MousePointer pointer;

constexpr uint32_t kBusy = 1, kSuspended = 2;

void AddPointerRect(int32_t x, int32_t y) { AddDirtyRect(MARect{x, y, x + kPointerSize, y + kPointerSize}); }

// Copies the window area under the pointer into a save window, or a save window back.
void SaveFrom(WindowDesc* save, WindowDesc* from, int32_t x, int32_t y) {
  if (save && from) CopyWindowArea(save, 0, 0, from, x, y, kPointerSize, kPointerSize);
}
void RestoreTo(WindowDesc* to, WindowDesc* save, int32_t x, int32_t y) {
  if (save && to) CopyWindowArea(to, x, y, save, 0, 0, kPointerSize, kPointerSize);
}

void DrawAnim(ShellAnim* anim, WindowDesc* target, int32_t x, int32_t y) {
  if (!anim || !target) return;
  WindowDesc saved;
  savecurrentwindow(&saved);
  if (setwindow(target)) {
    anim->SetPosition(x, y);
    anim->Draw();
  }
  restorecurrentwindow(&saved);
}

WindowDesc* BackBuffer() {
  ImageRecord* back = DrawnImage();
  return back ? back->window : nullptr;
}
WindowDesc* BusySave() { return pointer.save2 ? pointer.save2 : pointer.save; }

}  // namespace

MousePointer& Mouse() { return pointer; }

void MouseInit() {
  if (pointer.initialised) return;
  ShowCursor(FALSE);
  SetCursor(nullptr);
  FrontEndProvider& frontEnd = *Svc().frontEnd;
  pointer.arrow = frontEnd.MakeShellAnim("mouseptr.fsh", nullptr, 1, 15, 0, 0);
  pointer.wait = frontEnd.MakeShellAnim("animwait.fsh", nullptr, 1, 7, 0, 1);
  pointer.wait2 = pointer.wait ? frontEnd.MakeShellAnim(nullptr, pointer.wait, 1, 7, 0, 0) : nullptr;
  pointer.current = pointer.arrow;
  if (pointer.current) pointer.current->Start();
  const int depth = getdisplaywindow()->depth ? getdisplaywindow()->depth : 16;
  pointer.save = trycreatewindowadr(kPointerSize, kPointerSize, depth);
  pointer.save2 = depth != 16 ? trycreatewindowadr(kPointerSize, kPointerSize, depth) : nullptr;
  pointer.showCount = 1;
  pointer.bits = 0;
  pointer.redrawPending = 0;
  pointer.initialised = 1;
}

void MouseShutdown() {
  if (pointer.initialised) {
    delete pointer.wait2;
    delete pointer.wait;
    delete pointer.arrow;
    if (pointer.save) removewindow(pointer.save);
    if (pointer.save2) removewindow(pointer.save2);
    pointer = MousePointer{};
  }
  ShowCursor(TRUE);
}

void MouseClearSaveWindows() {
  for (WindowDesc* w : {pointer.save, pointer.save2}) {
    if (!w) continue;
    WindowDesc saved;
    savecurrentwindow(&saved);
    if (setwindow(w)) clearclip(0);
    restorecurrentwindow(&saved);
  }
}

void MouseSetBusyImage() {
  if (pointer.current) pointer.current->Stop(1);
  pointer.current = pointer.arrow;
  if (pointer.current) pointer.current->Start();
}

void MouseSetBusy(int on) {
  if (on) {
    if ((pointer.bits & kBusy) || !pointer.wait) return;
    pointer.bits |= kBusy;
    pointer.wait->Start();
    if (pointer.save2) CopyWindowArea(pointer.save2, 0, 0, pointer.save, 0, 0, kPointerSize, kPointerSize);
  } else if (pointer.bits & kBusy) {
    pointer.bits &= ~kBusy;
    if (pointer.wait) pointer.wait->Stop(1);
    if (pointer.save2) CopyWindowArea(pointer.save, 0, 0, pointer.save2, 0, 0, kPointerSize, kPointerSize);
  }
}

void MouseBusyOn() { MouseSetBusy(1); }
void MouseBusyOff() {}

void MouseSuspendInput(int on) {
  if (on)
    pointer.bits |= kSuspended;
  else
    pointer.bits &= ~kSuspended;
}
int MouseInputSuspended() { return (pointer.bits & kSuspended) ? 1 : 0; }

void MouseHide() {
  if (--pointer.showCount == 0) AddPointerRect(pointer.drawnX, pointer.drawnY);
}
void MouseShow() {
  if (++pointer.showCount == 1) pointer.redrawPending = 1;
}
int MouseIsShown() { return pointer.showCount > 0; }

void MouseDraw() {
  if (!pointer.initialised || !MouseIsShown()) return;
  const int32_t x = Input().pointerX, y = Input().pointerY;
  if (!(pointer.bits & kBusy)) {
    SaveFrom(pointer.save, BackBuffer(), x, y);
    AddPointerRect(pointer.drawnX, pointer.drawnY);
    AddPointerRect(x, y);
    DrawAnim(pointer.current, BackBuffer(), x, y);
  } else {
    SaveFrom(BusySave(), getdisplaywindow(), x, y);
    DrawAnim(pointer.wait, getdisplaywindow(), x, y);
  }
  pointer.drawnX = x;
  pointer.drawnY = y;
  pointer.redrawPending = 0;
}

void MouseErase() {
  if (!pointer.initialised || !MouseIsShown() || pointer.redrawPending) return;
  if (!(pointer.bits & kBusy))
    RestoreTo(BackBuffer(), pointer.save, pointer.drawnX, pointer.drawnY);
  else
    RestoreTo(getdisplaywindow(), BusySave(), pointer.drawnX, pointer.drawnY);
}

void MouseUpdate() {
  if (!(pointer.bits & kBusy) || Facts().hardwareDisplay) return;
  MouseGetPosition(nullptr, nullptr);
  InputUpdateClock();
  WindowDesc saved;
  savecurrentwindow(&saved);
  MouseErase();
  MouseDraw();
  restorecurrentwindow(&saved);
}

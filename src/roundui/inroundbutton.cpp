#include "roundui/inroundbutton.h"

#include <algorithm>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/gameui.h"
#include "roundui/shotui.h"
#include "roundui/uishapes.h"
#include "scene/texconv.h"

RoundInputState& RoundInput() {
  static RoundInputState state;
  return state;
}

bool NetworkStepWaiting() {
  TGame* g = CurrentGame();
  if (!g || !g->IsNetworkGame()) return false;
  const uint32_t status = GetGolfStatus();
  return status == kGolfBeforeShot || status == kGolfAfterStatus;
}

TInRoundButton::TInRoundButton(uint32_t frameData_) : MA_EventHandler(0, 0, 0, 0, 0), THelpTextMixin(0), frameData(frameData_) {}

bool TInRoundButton::AcceptsInput() { return (flags & kHandlerShown) && !NetworkStepWaiting(); }

int TInRoundButton::HitTest(int16_t x, int16_t y) {
  const MARect r{left, top, right, bottom};
  if (!AcceptsInput() || !PointInRect(&r, x, y)) {
    pointerOver = 0;
  } else {
    const uint8_t* shape = GetHitShape(pointerOver);
    pointerOver = shape ? ShapePixelIsOpaque(shape, x - left, y - top) : 0;
  }
  return pointerOver;
}

int TInRoundButton::OnPointerDown(int16_t x, int16_t y, uint8_t) {
  if (!AcceptsInput() || !HitTest(x, y)) return 0;
  Draw(0);
  return 1;
}

int TInRoundButton::OnPointerUp(int16_t x, int16_t y, uint8_t) {
  if (AcceptsInput() && HasFocus() && HitTest(x, y)) {
    const uint8_t sounds = RoundInput().soundOptions;
    if ((sounds & 3) == 3) Svc().sound->PlayMenuSound(0);
    OnClick();
    Draw(0);
    return 1;
  }
  SetFocus(0);
  Draw(0);
  return 0;
}

int TInRoundButton::IsPointerOver(int16_t x, int16_t y, uint8_t) { return AcceptsInput() ? HitTest(x, y) : 0; }

int TInRoundButton::OnIdle() {
  if (!AcceptsInput()) return 1;
  if (Input().buttonHeld) {
    const int32_t old = pointerOver;
    int16_t x = 0, y = 0;
    MouseGetPosition(&x, &y);
    const int32_t now = IsPointerOver(x, y, 0);
    if (now != old) Draw(0);
    if (old == 1 && now == 0) OnPointerLeave(x, y);
  }
  ShowHelpText(this, MARect{left, top, right, bottom}, HasFocus());
  return 1;
}

void TInRoundButton::OnFocusChanged() {
  Draw(0);
  if (!HasFocus()) {
    int16_t x = 0, y = 0;
    MouseGetPosition(&x, &y);
    OnPointerLeave(x, y);
  }
}

void TInRoundButton::SetMaskShape(const uint8_t* shape) {
  maskShape_ = shape;
  maskGeneration_ = GameUIShapeGeneration();
}

const uint8_t* TInRoundButton::MaskShape() const {
  return maskGeneration_ == GameUIShapeGeneration() ? maskShape_ : nullptr;
}

void TInRoundButton::Erase(int redrawNow) {
  const uint8_t* maskShape = MaskShape();
  const MARect whole{0, 0, Facts().screenWidth, Facts().screenHeight};
  const bool isWhole = left == whole.left && top == whole.top && right == whole.right && bottom == whole.bottom;
  if (!(flags & kHandlerShown) || isWhole || !maskShape) return;
  ImageRecord* screen = DrawnImage();
  ImageRecord* back = RoleImage(kRoleErase);
  if (screen && back && screen->window && back->window && screen->window->depth == 16 && back->window->depth == 16 &&
      screen->window->pixels && back->window->pixels) {
    WindowDesc* s = screen->window;
    WindowDesc* b = back->window;
    const int32_t w = shapewidth(maskShape), h = shapeheight(maskShape);
    const bool eightBit = (maskShape[0] & 0x7F) == 0x7B;
    for (int32_t row = 0; row < std::min(h, bottom - top); ++row) {
      const int32_t y = top + row;
      if (y < 0 || y >= s->height || y >= b->height) continue;
      auto* to = reinterpret_cast<uint16_t*>(s->pixels + static_cast<size_t>(y) * s->rowbytes);
      const auto* from = reinterpret_cast<const uint16_t*>(b->pixels + static_cast<size_t>(y) * b->rowbytes);
      for (int32_t col = 0; col < std::min(w, right - left); ++col) {
        const int32_t x = left + col;
        if (x < 0 || x >= s->width || x >= b->width) continue;
        if (eightBit && maskShape[kShapeHeader + static_cast<size_t>(row) * w + col] == 255) continue;
        to[x] = from[x];
      }
    }
    AddDirtyRect(MARect{left, top, right, bottom});
    if (redrawNow) UpdateScreen();
  }
  HideHelpText();
}

void RestoreScreenRect(const MARect* rect) {
  const MARect whole{0, 0, Facts().screenWidth, Facts().screenHeight};
  const MARect r = rect ? *rect : whole;
  BlitImage(DrawnImage(), r, RoleImage(kRoleErase), r);
  AddDirtyRect(r);
}

void RestoreViewRect(const MARect& r) {
  const Image16 view = Svc().scene->GolfViewImage();
  ImageRecord* screen = DrawnImage();
  if (view.pixels && screen && screen->window && screen->window->depth == 16 && screen->window->pixels) {
    WindowDesc* w = screen->window;
    const Image16 target{reinterpret_cast<uint16_t*>(w->pixels), w->width, w->height, w->rowbytes / 2};
    CopyRows16(target, r.left, r.top, view, r);
    AddDirtyRect(r);
  } else {
    RestoreScreenRect(&r);
  }
  MarkRect16(Svc().scene->GolfViewOverlay(), r, true);
}

void RedrawShotControls() {
  InRoundHandlers& h = InRound();
  if (h.holeGraphic) h.holeGraphic->Draw(0);
  if (h.shotUI) h.shotUI->Draw(0);
  if (h.shotClock) {
    h.shotClock->Erase(0);
    h.shotClock->Draw(0);
  }
  TGame* g = CurrentGame();
  if (g && g->IsNetworkGame() && h.chat) h.chat->Draw(0);
}

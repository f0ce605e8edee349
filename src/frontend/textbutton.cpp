#include "frontend/textbutton.h"

#include <algorithm>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/core/services.h"
#include "frontend/dialog.h"

TTextButtonADV::TTextButtonADV(int32_t x, int32_t y, const char* caption, MemHandle font_, uintptr_t parent,
                               uint16_t hotKey, int, uint16_t id_, uint16_t kind_, uint32_t stateFlags,
                               uint32_t controlFlags_, const char* sampleName)
    : TGenericControlADV(parent, hotKey, id_, kind_, stateFlags, controlFlags_, sampleName ? sampleName : "click1"),
      font(font_),
      anchorX(x),
      anchorY(y),
      text_(caption ? caption : "") {
  SetColors(0, 0, 0, 0);
  Layout();
}

void TTextButtonADV::SetColors(uint32_t normal, uint32_t disabled, uint32_t focus, uint32_t pressedColour) {
  colours[0] = Pixel565(normal ? normal : 0xFFFFFF);
  colours[1] = Pixel565(disabled ? disabled : 0xAAAAAA);
  colours[2] = Pixel565(focus ? focus : 0xFFFF50);
  colours[3] = Pixel565(pressedColour ? pressedColour : 0xAA0000);
}

void TTextButtonADV::SetText(const char* text) {
  text_ = text ? text : "";
  Layout();
}

void TTextButtonADV::SetAnchor(int32_t x, int32_t y) {
  anchorX = x;
  if (y != -1) anchorY = y;
  Layout();
}

void TTextButtonADV::Layout() {
  int32_t w = 0, h = 0;
  if (font) {
    FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
    w = FontStringWidth(text_.c_str(), 0);
    h = FontHeight();
  }
  int32_t x = anchorX;
  if (alignment == 1) x -= w / 2;
  else if (alignment != 2) x -= w;
  left = x - 3;
  top = anchorY - 3;
  right = x + w + 3;
  bottom = anchorY + h + 3;
}

uint16_t TTextButtonADV::StateColour() {
  if (!IsShownAndEnabled()) return colours[1];
  if (HasFocus()) return (pressed && pointerInside) || (controlFlags & CF_FIRE_PENDING) ? colours[3] : colours[2];
  return colours[0];
}

void TTextButtonADV::Draw(int) {
  if (!(flags & kHandlerShown) || !font) return;
  ImageRecord* drawn = DrawnImage();
  if (!drawn) return;
  int32_t x = anchorX;
  const int32_t align = alignment == 1 ? kAlignCentre : alignment == 2 ? kAlignLeft : kAlignRight;
  FontSelect(font, drawn, align, StateColour(), 0, 0, 0);
  FontDrawText(x, anchorY, text_.c_str());
  AddDirtyRect(MARect{left, top, right, bottom});
}

void TTextButtonADV::Erase(int flag) {
  if (dialog) {
    dialog->RestoreRect(MARect{left, top, right, bottom});
    return;
  }
  TGenericControlADV::Erase(flag);
}

TTextEditBoxADV::TTextEditBoxADV(int32_t x, int32_t y, int32_t width_, MemHandle font_, uintptr_t parent,
                                 const char* text, int32_t maxLength_)
    : TTextButtonADV(x, y, text, font_, parent, 0, 1, 0, kKindTextEntry, kHandlerShown | kHandlerEnabled, 0, nullptr),
      width(width_),
      maxLength(maxLength_) {
  alignment = 2;
  if (static_cast<int32_t>(text_.size()) > maxLength) text_.resize(static_cast<size_t>(std::max(maxLength, 0)));
  Layout();
}

void TTextEditBoxADV::Layout() {
  int32_t h = 0;
  if (font) {
    FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
    h = FontHeight();
  }
  left = anchorX - 3;
  top = anchorY - 3;
  right = anchorX + width + 3;
  bottom = anchorY + h + 3;
}

int TTextEditBoxADV::OnChar(uint16_t code) {
  if (!MA_EventHandler::IsShownAndEnabled()) return 0;
  if (code == kKeyEnter) {
    OnActivate(code);
    return 1;
  }
  if (code == 8) {
    if (!text_.empty()) text_.pop_back();
  } else if (code >= 32 && code < 127) {
    if (static_cast<int32_t>(text_.size()) < maxLength) text_.push_back(static_cast<char>(code));
  } else {
    return 0;
  }
  Erase(0);
  Draw(0);
  return 1;
}

void TTextEditBoxADV::Draw(int flag) {
  if (!(flags & kHandlerShown)) return;
  TTextButtonADV::Draw(flag);
  // The cursor after the text.
  ImageRecord* drawn = DrawnImage();
  if (!drawn || !font || !HasFocus()) return;
  FontSelect(font, drawn, kAlignLeft, colours[2], 0, 0, 0);
  const int32_t w = FontStringWidth(text_.c_str(), 0);
  FontDrawText(anchorX + w, anchorY, "_");
}

#include "roundui/menubarlists.h"

#include <new>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "roundui/inroundbutton.h"
#include "roundui/menubar.h"
#include "roundui/uishapes.h"

// ---- the list half --------------------------------------------------------------------------------------------------

TPopUpListPart::TPopUpListPart(int32_t x, int32_t bottom, int32_t width, int32_t rows, MemHandle font) {
  list = new (std::nothrow) TGameListBoxADV(x, bottom, width, rows, font);
  if (!list) return;
  // The list hangs above the button.
  const int32_t h = list->bottom - list->top;
  list->top = bottom - h, list->bottom = bottom;
}

TPopUpListPart::~TPopUpListPart() {
  if (ListShown()) HoldTimedCallback(0);
  delete list;
}

bool TPopUpListPart::ListShown() const { return list && (list->flags & kHandlerShown); }

void TPopUpListPart::ShowList(int show) {
  if (!list) return;
  const bool was = ListShown();
  if (show && !was) {
    HoldTimedCallback(1);
    if (openCallback) openCallback(this);
    list->Show(1, 0);
    list->SetFocus(1);
    list->Draw(0);
  } else if (!show && was) {
    if (closeCallback) closeCallback(this);
    list->Show(0, 0);
    list->Erase(0);
    HoldTimedCallback(0);
  }
}

int TPopUpListPart::AddItem(const std::string& text, int32_t value) { return list && list->Add(text, value) ? 1 : 0; }

std::string TPopUpListPart::GetCurrentText() {
  const ListEntry* e = list ? list->Current() : nullptr;
  return e ? e->text : std::string();
}

void TPopUpListPart::SelectItem(int row) {
  if (list) list->Select(row, false);
}

void TPopUpListPart::SetItemHandler(TListBoxADV::EntryHandler handler) {
  if (list) list->entryHandler = handler;
}

bool TPopUpListPart::OnList(int16_t x, int16_t y) const {
  if (!ListShown()) return false;
  const MARect r{list->left, list->top, list->right, list->bottom};
  return PointInRect(&r, x, y);
}

template <typename Button>
int TPopUpListPart::PointerDown(Button* self, int16_t x, int16_t y, uint8_t buttons) {
  if (OnList(x, y)) {
    listTookPress = 1;
    return list->OnPointerDown(x, y, buttons);
  }
  if (self->Button::OnPointerDown(x, y, buttons)) return 1;
  // A press elsewhere closes the list.
  ShowList(0);
  return 0;
}

template <typename Button>
int TPopUpListPart::PointerUp(Button* self, int16_t x, int16_t y, uint8_t buttons) {
  if (listTookPress) {
    listTookPress = 0;
    list->OnPointerUp(x, y, buttons);
    return 1;
  }
  if (self->pressed && self->IsPointerOver(x, y, buttons == 0 ? kButtonTracking : buttons)) {
    self->pressed = 0;
    ShowList(ListShown() ? 0 : 1);
    self->Draw(0);
    return 1;
  }
  self->pressed = 0;
  return 0;
}

// ---- the bar's text button ----------------------------------------------------------------------------------------

TMenuBarGfxTxtBtn::TMenuBarGfxTxtBtn(int32_t x, int32_t y, const char* caption, MemHandle font_, TMenuBarADV* bar,
                                     uint16_t hotKey)
    : TTextButtonADV(x, y, caption, font_, reinterpret_cast<uintptr_t>(bar), hotKey, 0, 0, kKindButton,
                     kHandlerShown | kHandlerEnabled, CF_FIRE_ON_KEY_UP, nullptr) {}

TMenuBarADV* TMenuBarGfxTxtBtn::Bar() const {
  auto* h = reinterpret_cast<MA_EventHandler*>(ownerWord);
  return h && h->kind == kKindMenuBar ? static_cast<TMenuBarADV*>(h) : nullptr;
}

void TMenuBarGfxTxtBtn::BecomeOpenItem() {
  TMenuBarADV* bar = Bar();
  if (!bar) return;
  MA_EventHandler* before = bar->openItem;
  if (before && before != this && before->kind == kKindPopUpList)
    if (auto* popup = dynamic_cast<TPopUpListPart*>(before)) popup->ShowList(0);
  bar->openItem = this;
}

int TMenuBarGfxTxtBtn::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (!TTextButtonADV::OnPointerDown(x, y, buttons)) return 0;
  BecomeOpenItem();
  return 1;
}

int TMenuBarGfxTxtBtn::OnChar(uint16_t code) {
  if (!TTextButtonADV::OnChar(code)) return 0;
  BecomeOpenItem();
  return 1;
}

void TMenuBarGfxTxtBtn::Draw(int flag) {
  if (!(flags & kHandlerShown)) return;
  Erase(0);
  MARect covered{left, top, right, bottom};
  if (background) {
    const MARect b = DrawUIFrame(background, anchorX - 5, anchorY);
    UnionRect(&covered, &b);
  }
  TTextButtonADV::Draw(0);
  AddDirtyRect(covered);
  if (flag) UpdateScreen();
}

void TMenuBarGfxTxtBtn::Erase(int flag) {
  MARect r{left, top, right, bottom};
  if (background) {
    const MARect b = FrameRectAt(background, anchorX - 5, anchorY);
    UnionRect(&r, &b);
  }
  RestoreScreenRect(&r);
  if (flag) UpdateScreen();
}

// ---- the bar's pop-up list ------------------------------------------------------------------------------------------

TMBarPopUpListBox::TMBarPopUpListBox(int32_t x, int32_t y, const char* caption, MemHandle font_, TMenuBarADV* bar,
                                     uint16_t hotKey, int32_t listWidth, int32_t rows)
    : TMenuBarGfxTxtBtn(x, y, caption, font_, bar, hotKey), TPopUpListPart(0, 0, listWidth, rows, font_) {
  kind = kKindPopUpList;
  if (list) {
    const int32_t h = list->bottom - list->top;
    list->left = left, list->right = left + listWidth;
    list->bottom = top, list->top = top - h;
  }
}

int TMBarPopUpListBox::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  return PointerDown<TMenuBarGfxTxtBtn>(this, x, y, buttons);
}

int TMBarPopUpListBox::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  return PointerUp<TMenuBarGfxTxtBtn>(this, x, y, buttons);
}

int TMBarPopUpListBox::OnIdle() {
  TMenuBarGfxTxtBtn::OnIdle();
  if (ListShown()) list->OnIdle();
  return 1;
}

void TMBarPopUpListBox::Draw(int flag) {
  TMenuBarGfxTxtBtn::Draw(flag);
  if (ListShown()) list->Draw(flag);
}

// ---- the picture button's pop-up list -----------------------------------------------------------------------------

TButtonPopUpListBox::TButtonPopUpListBox(int32_t x, int32_t bottom, int32_t listWidth, int32_t rows, MemHandle font)
    : TGraphicButtonADV(0, 0, 0, kKindPopUpList, kHandlerShown | kHandlerEnabled, 0, nullptr),
      TPopUpListPart(x, bottom, listWidth, rows, font) {}

void TButtonPopUpListBox::ShowList(int show) {
  const bool was = ListShown();
  TPopUpListPart::ShowList(show);
  if (was && !show) SetFocus(0);
}

int TButtonPopUpListBox::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  return PointerDown<TGraphicButtonADV>(this, x, y, buttons);
}

int TButtonPopUpListBox::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  return PointerUp<TGraphicButtonADV>(this, x, y, buttons);
}

int TButtonPopUpListBox::OnIdle() {
  TGraphicButtonADV::OnIdle();
  if (ListShown()) list->OnIdle();
  return 1;
}

void TButtonPopUpListBox::Draw(int flag) {
  TGraphicButtonADV::Draw(flag);
  if (ListShown()) list->Draw(flag);
}

#include "frontend/listbox.h"

#include <algorithm>

#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

namespace {
constexpr int32_t kBarWidth = 12;
constexpr uint32_t kStyleNoBar = 0x04;
}  // namespace

TListBoxADV::TListBoxADV(uintptr_t owner, int32_t x, int32_t y, int32_t width, int32_t rows_, MemHandle font,
                         uint32_t style_)
    : TGenericControlADV(owner, 0, 0, kKindTextEntry, kHandlerShown | kHandlerEnabled, 0, nullptr),
      style(style_),
      rows(rows_),
      font_(font) {
  left = x;
  top = y;
  right = x + width;
  bottom = y + rows * RowHeight();
}

int32_t TListBoxADV::RowHeight() const {
  if (!font_) return 14;
  FontSelect(font_, nullptr, kAlignLeft, 0, 0, 0, 0);
  return FontHeight() + 4;
}

ListEntry* TListBoxADV::Add(const std::string& text, int32_t value, bool front) {
  // Entries are held by value: the current row is kept by index.
  ListEntry e{text, value, true};
  if (front) {
    entries_.insert(entries_.begin(), e);
    if (current_ >= 0) ++current_;
    return &entries_.front();
  }
  entries_.push_back(e);
  return &entries_.back();
}

int TListBoxADV::RowOf(const ListEntry* entry) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (&entries_[i] == entry) return static_cast<int>(i);
  return -1;
}

ListEntry* TListBoxADV::Find(const std::string& text) {
  for (ListEntry& e : entries_)
    if (e.text == text) return &e;
  return nullptr;
}

void TListBoxADV::Remove(ListEntry* entry) {
  const int row = RowOf(entry);
  if (row < 0) return;
  const bool wasCurrent = row == current_;
  entries_.erase(entries_.begin() + row);
  if (current_ > row) --current_;
  if (wasCurrent) {
    // The next enabled entry, else the nearest enabled one before.
    current_ = -1;
    for (int r = row; r < Size() && current_ < 0; ++r)
      if (entries_[static_cast<size_t>(r)].enabled) current_ = r;
    for (int r = row - 1; r >= 0 && current_ < 0; --r)
      if (entries_[static_cast<size_t>(r)].enabled) current_ = r;
  }
  if (Size() <= rows) top_ = 0;
  top_ = std::clamp(top_, 0, std::max(0, Size() - rows));
}

void TListBoxADV::Clear() {
  entries_.clear();
  current_ = -1;
  top_ = 0;
}

void TListBoxADV::Select(int row, bool fire) {
  current_ = row >= 0 && row < Size() ? row : -1;
  if (current_ >= 0) {
    if (current_ < top_) top_ = current_;
    if (current_ >= top_ + rows) top_ = current_ - rows + 1;
  }
  if (fire && entryHandler) entryHandler(this, Current());
}

void TListBoxADV::Step(int direction) {
  // Arrow keys never land on a disabled entry; with none enabled nothing changes.
  for (int r = current_ + direction; r >= 0 && r < Size(); r += direction)
    if (entries_[static_cast<size_t>(r)].enabled) {
      Erase(0);
      Select(r, true);
      Draw(0);
      return;
    }
}

int TListBoxADV::OnChar(uint16_t code) {
  if (!IsShownAndEnabled() || !HasFocus()) return 0;
  if (code == kKeyUp) {
    Step(-1);
    return 1;
  }
  if (code == kKeyDown) {
    Step(1);
    return 1;
  }
  return 0;
}

void TListBoxADV::OnActivate(uint16_t code) {
  if (code == kKeyEnter) {
    inputBits = 0x10;
    if (entryHandler) entryHandler(this, Current());
  }
}

int TListBoxADV::OnPointerDown(int16_t x, int16_t y, uint8_t buttons) {
  if (!IsShownAndEnabled() || !IsPointerOver(x, y, buttons)) return 0;
  const bool bar = !(style & kStyleNoBar) && Size() > rows && x < left + kBarWidth;
  if (bar) {
    // The bar's upper half scrolls up a row, the lower half down.
    top_ = std::clamp(top_ + (y < (top + bottom) / 2 ? -1 : 1), 0, Size() - rows);
    Erase(0);
    Draw(0);
    return 1;
  }
  const int row = top_ + (y - top) / RowHeight();
  if (row < Size() && entries_[static_cast<size_t>(row)].enabled) {
    inputBits = (buttons & kButtonDouble) ? 8 : 0;
    Erase(0);
    Select(row, true);
    Draw(0);
  }
  return 1;
}

int TListBoxADV::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) { return IsPointerOver(x, y, buttons); }

void TListBoxADV::Draw(int) {
  if (!(flags & kHandlerShown)) return;
  ImageRecord* drawn = DrawnImage();
  if (!drawn || !drawn->window || !font_) return;
  const int32_t h = RowHeight();
  const bool bar = !(style & kStyleNoBar) && Size() > rows;
  const int32_t textLeft = left + (style & kStyleNoBar ? 4 : kBarWidth + 4);
  if (bar && setwindow(drawn->window)) {
    drawbox(left, top, left + kBarWidth - 1, bottom - 1, Pixel565(0xB0B0C0));
    const int32_t span = bottom - top - 4, thumb = std::max<int32_t>(8, span * rows / Size());
    const int32_t at = top + 2 + (span - thumb) * top_ / std::max(1, Size() - rows);
    fillrectalpha(left + 2, at, kBarWidth - 4, thumb, 0xFFD0D0E0);
    releasewindow();
  }
  for (int r = 0; r < rows && top_ + r < Size(); ++r) {
    const ListEntry& e = entries_[static_cast<size_t>(top_ + r)];
    uint32_t colour = e.enabled ? 0xFFFFFF : 0x808080;
    if (top_ + r == current_) colour = 0xFFFF50;
    FontSelect(font_, drawn, kAlignLeft, Pixel565(colour), 0, 0, 1);
    FontDrawText(textLeft, top + r * h + 2, e.text.c_str());
  }
  AddDirtyRect(MARect{left, top, right, bottom});
}

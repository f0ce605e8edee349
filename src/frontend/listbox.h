// The list box: rows of texts with a user value, some disabled, a current entry, scrolling by keys, pointer and
// a scroll bar; its click handler gets the entry whenever the current entry changes.
#pragma once

#include <string>
#include <vector>

#include "frontend/control.h"

class CDialogADV;

struct ListEntry {
  std::string text;
  int32_t value = 0;
  bool enabled = true;
  bool flagged = false;  // drawn in the current entry's colour
};

// Its kind lets the arrow keys reach it before they move the focus.
class TListBoxADV : public TGenericControlADV {
 public:
  using EntryHandler = void (*)(TListBoxADV* list, ListEntry* entry);
  TListBoxADV(uintptr_t owner, int32_t x, int32_t y, int32_t width, int32_t rows, MemHandle font, uint32_t style);
  ~TListBoxADV() override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnChar(uint16_t code) override;
  int OnIdle() override;  // thumb drags and track pages while the button is held
  void OnActivate(uint16_t code) override;
  void Draw(int flag) override;
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled() && entryHandler; }

  ListEntry* Add(const std::string& text, int32_t value, bool front = false);
  ListEntry* Insert(int row, const std::string& text, int32_t value);  // before that row (past the end: added)
  void Remove(ListEntry* entry);
  void Clear();
  ListEntry* Current() { return current_ >= 0 && current_ < Size() ? &entries_[static_cast<size_t>(current_)] : nullptr; }
  ListEntry* At(int row) { return row >= 0 && row < Size() ? &entries_[static_cast<size_t>(row)] : nullptr; }
  ListEntry* Find(const std::string& text);  // exactly that text
  int RowOf(const ListEntry* entry) const;
  int Size() const { return static_cast<int>(entries_.size()); }
  // Makes the row current (-1 none), scrolled into view; the handler runs when asked.
  void Select(int row, bool fire);
  int TopRow() const { return top_; }
  int32_t RowHeight() const;
  void SetRowHeight(int32_t height);  // 0: the font's height and 4
  void Erase(int flag) override;  // inside a dialog, the dialog's panel is put back
  CDialogADV* dialog = nullptr;

  // The scroll bar: 0 outside, kOnThumb, kOnTrack; the thumb's place now (top, bottom).
  static constexpr uint32_t kOnThumb = 0x2000, kOnTrack = 0x4000;
  uint32_t BarPartAt(int16_t x, int16_t y);
  void ThumbSpan(int32_t* thumbTop, int32_t* thumbBottom);
  bool HasBar() const;
  int32_t UsableRight() const;  // the right edge less the scroll bar when one is shown

  EntryHandler entryHandler = nullptr;
  uint8_t inputBits = 0;  // 8 the last pick was a double click, 0x10 it came with Enter
  uint32_t style;
  int32_t rows;

 private:
  void Step(int direction);
  void Redraw();
  std::vector<ListEntry> entries_;
  int current_ = -1, top_ = 0;
  int32_t grab_ = 0;
  int32_t rowHeight_ = 0;
  uint32_t lastScroll_ = 0;
  MemHandle font_;
};

#include "frontend/listbox.h"

#include <algorithm>

#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "frontend/dialog.h"
#include "frontend/menu.h"
#include "mmsystem.h"
#include "framework/ui/fontmgr.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/gfx/windowdesc.h"

namespace {
constexpr int32_t kBarWidth = 12;
constexpr uint32_t kStyleNoBar = 0x04;
constexpr uint32_t kBarStates = TListBoxADV::kOnThumb | TListBoxADV::kOnTrack;
constexpr uint32_t kScrollStep = 250;  // ms between steps while the button is held

// The scroll bar's pieces, shared by every list: track top, middle, bottom, thumb top, middle, bottom.
struct BarPieces {
  int users = 0;
  MemHandle files[6] = {};
};
BarPieces& Pieces() {
  static BarPieces pieces;
  return pieces;
}
const char* const kPieceNames[6] = {"track-t.fsh", "track-m.fsh", "track-b.fsh", "thumb-t.fsh", "thumb-m.fsh", "thumb-b.fsh"};

void AcquirePieces() {
  BarPieces& p = Pieces();
  if (p.users++ > 0) return;
  for (int i = 0; i < 6; ++i) p.files[i] = LoadMenuFile(kPieceNames[i]);
}

void ReleasePieces() {
  BarPieces& p = Pieces();
  if (p.users <= 0 || --p.users > 0) return;
  for (MemHandle& h : p.files) {
    if (h) MemFreeHandle(h);
    h = 0;
  }
}

// Draws a piece with its top-left at (x, y), stretched to the height when one is given; its height otherwise.
int32_t DrawPiece(int index, int32_t x, int32_t y, int32_t height) {
  const MemHandle h = Pieces().files[index];
  const uint8_t* file = h ? static_cast<const uint8_t*>(MemLock(h)) : nullptr;
  const uint8_t* shape = file && checkshapefile(file, MemHandleSize(h)) == 1 ? locateshapenum(file, 0) : nullptr;
  int32_t drawnHeight = 0;
  if (shape) {
    drawnHeight = height > 0 ? height : shapeheight(shape);
    if (height > 0) drawshapescaled(shape, x, y, shapewidth(shape), height);
    else drawshapetrans(shape, x + shapecentrex(shape), y + shapecentrey(shape));
  }
  if (file) MemUnlock(h);
  return drawnHeight;
}

int32_t PieceHeight(int index) {
  const MemHandle h = Pieces().files[index];
  const uint8_t* file = h ? static_cast<const uint8_t*>(MemLock(h)) : nullptr;
  const uint8_t* shape = file && checkshapefile(file, MemHandleSize(h)) == 1 ? locateshapenum(file, 0) : nullptr;
  const int32_t height = shape ? shapeheight(shape) : 4;
  if (file) MemUnlock(h);
  return height;
}

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
  AcquirePieces();
}

TListBoxADV::~TListBoxADV() { ReleasePieces(); }

bool TListBoxADV::HasBar() const { return !(style & kStyleNoBar) && !entries_.empty(); }

void TListBoxADV::ThumbSpan(int32_t* thumbTop, int32_t* thumbBottom) {
  const int32_t track = bottom - top;
  const int n = Size();
  int32_t length = n > 0 ? (track - 10) * std::min(n, rows) / n : track - 10;
  length = std::max<int32_t>(length, 21);
  int32_t at = top + 5;
  if (n > rows) at = top + (track - length) * top_ / (n - rows);
  if (n <= rows) length = track - 10;
  // Kept 5 pixels inside both ends of the track.
  at = std::clamp(at, top + 5, std::max(top + 5, bottom - 5 - length));
  if (thumbTop) *thumbTop = at;
  if (thumbBottom) *thumbBottom = std::min(at + length, bottom - 5);
}

uint32_t TListBoxADV::BarPartAt(int16_t x, int16_t y) {
  if (!HasBar() || x < left || x >= left + kBarWidth || y < top || y >= bottom) return 0;
  int32_t t = 0, b = 0;
  ThumbSpan(&t, &b);
  return y >= t && y < b ? kOnThumb : kOnTrack;
}

void TListBoxADV::Redraw() {
  Erase(0);
  Draw(0);
}

int TListBoxADV::OnIdle() {
  const int result = TGenericControlADV::OnIdle();
  const uint32_t states = style & kBarStates;
  if (!states) return result;
  if (!Input().buttonHeld) {
    style &= ~kBarStates;
    return result;
  }
  int16_t px = 0, py = 0;
  MouseGetPosition(&px, &py);
  const int n = Size();
  if (n <= rows) return result;
  int32_t t = 0, b = 0;
  ThumbSpan(&t, &b);
  if (states & kOnThumb) {
    // The first row follows the thumb.
    const int32_t span = std::max<int32_t>(1, (bottom - top) - (b - t));
    const int32_t offset = std::clamp<int32_t>(py - top - grab_, 0, span);
    const int first = std::clamp(static_cast<int>((offset * (n - rows) + span / 2) / span), 0, n - rows);
    if (first != top_) {
      top_ = first;
      Redraw();
    }
  } else {
    const uint32_t now = timeGetTime();
    if (now - lastScroll_ >= kScrollStep && BarPartAt(px, py) == kOnTrack) {
      // A page toward the pointer.
      const int page = std::max(1, rows - 1);
      const int first = std::clamp(top_ + (py >= b ? page : py < t ? -page : 0), 0, n - rows);
      lastScroll_ = now;
      if (first != top_) {
        top_ = first;
        Redraw();
      }
    }
  }
  return result;
}

void TListBoxADV::SetRowHeight(int32_t height) {
  rowHeight_ = height;
  bottom = top + rows * RowHeight();
}

void TListBoxADV::Erase(int flag) {
  if (!dialog) {
    TGenericControlADV::Erase(flag);
    return;
  }
  dialog->RestoreRect(MARect{left, top, right, bottom});
}

int32_t TListBoxADV::RowHeight() const {
  if (rowHeight_ > 0) return rowHeight_;
  if (!font_) return 14;
  FontSelect(font_, nullptr, kAlignLeft, 0, 0, 0, 0);
  return FontHeight() + 4;
}

ListEntry* TListBoxADV::Add(const std::string& text, int32_t value, bool front) {
  // Entries are held by value: the current row is kept by index.
  ListEntry e{text, value, true, false};
  if (front) {
    entries_.insert(entries_.begin(), e);
    if (current_ >= 0) ++current_;
    return &entries_.front();
  }
  entries_.push_back(e);
  return &entries_.back();
}

int32_t TListBoxADV::UsableRight() const { return right - (HasBar() ? kBarWidth : 0); }

ListEntry* TListBoxADV::Insert(int row, const std::string& text, int32_t value) {
  if (row < 0 || row >= Size()) return Add(text, value);
  entries_.insert(entries_.begin() + row, ListEntry{text, value, true, false});
  if (current_ >= row) ++current_;
  return &entries_[static_cast<size_t>(row)];
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
  if (const uint32_t part = BarPartAt(x, y)) {
    style = (style & ~kBarStates) | part;
    if (part == kOnThumb) {
      int32_t t = 0;
      ThumbSpan(&t, nullptr);
      grab_ = y - t;
    } else {
      lastScroll_ = timeGetTime() - kScrollStep;  // the first page at once
    }
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

int TListBoxADV::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  style &= ~kBarStates;
  return IsPointerOver(x, y, buttons);
}

void TListBoxADV::Draw(int) {
  if (!(flags & kHandlerShown)) return;
  ImageRecord* drawn = DrawnImage();
  if (!drawn || !drawn->window || !font_) return;
  const int32_t h = RowHeight();
  const int32_t textLeft = left + (style & kStyleNoBar ? 4 : kBarWidth + 4);
  if (HasBar() && setwindow(drawn->window)) {
    // The track (top, stretched middle, bottom), then the thumb over it the same way.
    const int32_t trackTop = PieceHeight(0), trackBottom = PieceHeight(2);
    DrawPiece(0, left, top, 0);
    DrawPiece(1, left, top + trackTop, std::max<int32_t>(1, bottom - top - trackTop - trackBottom));
    DrawPiece(2, left, bottom - trackBottom, 0);
    int32_t t = 0, b = 0;
    ThumbSpan(&t, &b);
    const int32_t thumbTop = PieceHeight(3), thumbBottom = PieceHeight(5);
    DrawPiece(3, left, t, 0);
    DrawPiece(4, left, t + thumbTop, std::max<int32_t>(1, b - t - thumbTop - thumbBottom));
    DrawPiece(5, left, b - thumbBottom, 0);
    releasewindow();
  }
  const bool usable = IsShownAndEnabled();
  for (int r = 0; r < rows && top_ + r < Size(); ++r) {
    const ListEntry& e = entries_[static_cast<size_t>(top_ + r)];
    uint32_t colour = 0xFFFFFF;
    if (!e.enabled || !usable) colour = 0xAAAAAA;
    else if (top_ + r == current_ || e.flagged) colour = 0x0DE922;
    FontSelect(font_, drawn, kAlignLeft, Pixel565(colour), 0, 0, (style & 0x08) ? 0 : 1);
    // The row's text hangs from its top: a font whose pen does not itself step down to its base line is moved.
    FontDrawText(textLeft, top + r * h + 2 + textstate.above - textstate.fonty, e.text.c_str());
  }
  AddDirtyRect(MARect{left, top, right, bottom});
}

// The debug text screen.
#include "platformlib/shapes/debugscreen.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

constexpr int kCells = kDebugColumns * kDebugRows;
constexpr int kEnd = 2 * kCells;  // cursor offsets are in bytes, two a cell

struct DebugScreen {
  uint16_t pages[kDebugPages][kCells];
  int page = 0;
  int cursor = 1920;
  int attribute = 7;
  int tab = 8;
  int top = 0;
  int level = 2;
  CRITICAL_SECTION* lock = nullptr;
};

DebugScreen screen;

uint16_t* cells() { return screen.pages[screen.page]; }

CRITICAL_SECTION* screenlock() {
  if (!screen.lock) {
    static CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    screen.lock = &section;
  }
  return screen.lock;
}

class Guard {
 public:
  Guard() { EnterCriticalSection(screenlock()); }
  ~Guard() { LeaveCriticalSection(screenlock()); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
};

void scroll() {
  if (screen.cursor < kEnd) return;
  uint16_t* c = cells();
  const int first = std::min(screen.top + 1, kDebugRows - 1);
  std::memmove(c + (first - 1) * kDebugColumns, c + first * kDebugColumns,
               static_cast<size_t>(kDebugRows - first) * kDebugColumns * 2);
  std::memset(c + (kDebugRows - 1) * kDebugColumns, 0, kDebugColumns * 2);
  screen.cursor = 2 * (kDebugRows - 1) * kDebugColumns;
}

void clearcells() { std::memset(cells(), 0, sizeof screen.pages[0]); }

void puts_locked(const char* s) {
  if (screen.level < 2 || !s) return;
  for (const auto* p = reinterpret_cast<const uint8_t*>(s); *p; ++p) {
    const uint8_t b = *p;
    if (b >= 32) {
      scroll();
      cells()[screen.cursor / 2] = static_cast<uint16_t>((screen.attribute & 0xFF) * 256 + b);
      screen.cursor += 2;
      continue;
    }
    const int column = (screen.cursor / 2) % kDebugColumns;
    switch (b) {
      case 0x0E:
        if (!p[1]) return;  // the attribute byte is missing: stop at the terminator
        screen.attribute = *++p;
        break;
      case 8:
        if (screen.cursor > 0) screen.cursor -= 2;
        break;
      case 9:
        if (screen.tab > 1) {
          const int next = std::min((column / screen.tab + 1) * screen.tab, kDebugColumns);
          screen.cursor += 2 * (next - column);
        }
        break;
      case 10:
        screen.cursor = (screen.cursor / (2 * kDebugColumns) + 1) * 2 * kDebugColumns;
        scroll();
        break;
      case 11: screen.cursor = 2 * screen.top * kDebugColumns; break;
      case 12:
        clearcells();
        screen.cursor = 2 * screen.top * kDebugColumns;
        break;
      default: break;
    }
  }
}

void debughook(const char* text) { debugputs(text); }

}  // namespace

void debugputs(const char* string) {
  Guard guard;
  puts_locked(string);
}

void debugwrite(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);  // bounded: long text is cut
  va_end(args);
  debugputs(buffer);
}

void debugwriteat(int column, int row, const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  Guard guard;
  if (column >= 0 && column < kDebugColumns && row >= 0 && row < kDebugRows) screen.cursor = (row * kDebugColumns + column) * 2;
  puts_locked(buffer);
}

void debugclear() {
  Guard guard;
  if (screen.level >= 2) clearcells();
}

void debugsettop(int row) {
  Guard guard;
  if (row >= 0 && row <= kDebugRows - 1) screen.top = row;
}

void debugsetattr(int attribute) { screen.attribute = attribute; }
void debugsettab(int width) {
  if (width >= 1) screen.tab = width;
}
void debugselectpage(int page) {
  if (page >= 0 && page < kDebugPages) screen.page = page;
}
void debuggetxy(int* column, int* row) {
  if (column) *column = 0;
  if (row) *row = 0;
}
void debugsetlevel(int level) { screen.level = level; }

void debugresetscreen() {
  Guard guard;
  screen.page = 0;
  clearcells();
  screen.cursor = 1920;
  screen.attribute = 7;
  screen.tab = 8;
  screen.top = 0;
  screen.level = 2;
}

const uint16_t* debugcells() { return cells(); }
int debugcursor() { return screen.cursor; }

void installdebugscreen() { debugwritehook = debughook; }

void drawdebugscreen(int32_t x, int32_t y, int columns, int rows) {
  static const uint32_t vga[16] = {0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA,
                                   0xFFAA5500, 0xFFAAAAAA, 0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF,
                                   0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF};
  if (textstate.fontlevel < 100) return;
  columns = std::clamp(columns, 0, kDebugColumns);
  rows = std::clamp(rows, 0, kDebugRows);
  const uint8_t* space = getcharacter(' ');
  const int32_t cellwidth = space ? readglyph(space).advance : 8;
  const int32_t cellheight = textheight();
  const bool indexed = CurrentWindow.depth <= 8;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const uint16_t cell = cells()[r * kDebugColumns + c];
      const int fg = (cell >> 8) & 15, bg = (cell >> 12) & 7;
      const uint32_t fore = indexed ? static_cast<uint32_t>(fg) : rgbpixel(vga[fg]);
      const uint32_t back = indexed ? static_cast<uint32_t>(bg) : rgbpixel(vga[bg]);
      const int32_t px = x + c * cellwidth, py = y + r * cellheight;
      fillrect(px, py, cellwidth, cellheight, back);
      const char text[2] = {static_cast<char>(cell & 0xFF), 0};
      if (text[0]) {
        textcolour(fore, back);
        fortextxy(text, px, py + textstate.above);
      }
    }
}

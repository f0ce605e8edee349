// Framework utilities.
#include "framework/core/utils.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/memclass.h"

void SetRectWH(MARect* rect, int32_t left, int32_t top, int32_t width, int32_t height) {
  *rect = {left, top, left + width, top + height};
}

void MakeRect(MARect* rect, int16_t left, int16_t top, int16_t right, int16_t bottom) {
  *rect = {left, top, right, bottom};
}

void UnionRect(MARect* a, const MARect* b) {
  a->left = std::min(a->left, b->left);
  a->top = std::min(a->top, b->top);
  a->right = std::max(a->right, b->right);
  a->bottom = std::max(a->bottom, b->bottom);
}

void IntersectRect(MARect* a, const MARect* b) {
  a->left = std::max(a->left, b->left);
  a->top = std::max(a->top, b->top);
  a->right = std::min(a->right, b->right);
  a->bottom = std::min(a->bottom, b->bottom);
}

bool PointInRect(const MARect* rect, int32_t x, int32_t y) {
  return x >= rect->left && x < rect->right && y >= rect->top && y < rect->bottom;
}

int StringCompareNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = toupper(static_cast<unsigned char>(*a)), cb = toupper(static_cast<unsigned char>(*b));
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
}

int StringCompare(const char* a, const char* b) {
  for (;; ++a, ++b) {
    signed char ca = static_cast<signed char>(*a), cb = static_cast<signed char>(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

void StringToUpperAll(char* s) {
  for (; *s; ++s) *s = static_cast<char>(toupper(static_cast<unsigned char>(*s)));
}

void BufferPut(uint8_t** cursor, const void* data, uint32_t count) {
  if (count != 0) memcpy(*cursor, data, count);
  *cursor += count;
}

void BufferGet(uint8_t** cursor, void* data, uint32_t count) {
  if (count != 0) memcpy(data, *cursor, count);
  *cursor += count;
}

int SerializeBlock(int mode, SerialTarget* target, void* data, uint32_t count) {
  if (target == nullptr) return 0;
  DWORD moved = 0;
  bool memory = mode == SERIAL_PUT || mode == SERIAL_GET;
  if (memory && (target->cursor == nullptr || static_cast<size_t>(target->end - target->cursor) < count)) return 0;
  switch (mode) {
    case SERIAL_READFILE: return ReadFile(target->file, data, count, &moved, nullptr) && moved == count ? 1 : 0;
    case SERIAL_WRITEFILE: return WriteFile(target->file, data, count, &moved, nullptr) && moved == count ? 1 : 0;
    case SERIAL_PUT: BufferPut(&target->cursor, data, count); return 1;
    case SERIAL_GET: BufferGet(&target->cursor, data, count); return 1;
    case SERIAL_SKIP:
      return SetFilePointer(target->file, static_cast<LONG>(count), nullptr, FILE_CURRENT) != INVALID_SET_FILE_POINTER
                 ? 1
                 : 0;
    default: return 0;
  }
}

int FileCopy(const char* destination, const char* source) {
  // A new file only. The copy is written beside it under the one temporary name every whole-file save uses, flushed
  // and renamed into place, so a crash leaves no torn copy and its temporary goes at the next start.
  return CopyFileA(source, destination, TRUE) ? 1 : 0;
}

void* LocateEntryQuiet(const void* archive, const char* name) {
  abortonerror = 0;
  void* entry = locatebigentryadr(archive, name);
  abortonerror = 1;
  return entry;
}

uint32_t UnpackWithAbortSetting(const void* source, void* destination, int abort) {
  abortonerror = abort;
  uint32_t size = unpack(source, destination);
  abortonerror = 1;
  return size;
}

// ---- 16-bit pixels ----------------------------------------------------------------------------------------------
namespace {

// Clips a w x h block placed at (x, y) to an image; the offsets of the first visible pixel inside the block.
bool Clip(int32_t imageW, int32_t imageH, int32_t& x, int32_t& y, int32_t& w, int32_t& h, int32_t& sx, int32_t& sy) {
  sx = sy = 0;
  if (x < 0) {
    sx = -x;
    w += x;
    x = 0;
  }
  if (y < 0) {
    sy = -y;
    h += y;
    y = 0;
  }
  w = std::min(w, imageW - x);
  h = std::min(h, imageH - y);
  return w > 0 && h > 0;
}

void Plot(const Image16& d, int32_t x, int32_t y, uint16_t colour) {
  if (x >= 0 && y >= 0 && x < d.width && y < d.height) d.pixels[y * d.pitch + x] = colour;
}

}  // namespace

void CopyRows16(const Image16& destination, int32_t dx, int32_t dy, const Image16& source, const MARect& from) {
  MARect r = from;
  MARect bounds{0, 0, source.width, source.height};
  IntersectRect(&r, &bounds);
  int32_t w = r.right - r.left, h = r.bottom - r.top, sx, sy;
  if (w <= 0 || h <= 0) return;
  int32_t x = dx + (r.left - from.left), y = dy + (r.top - from.top);
  if (!Clip(destination.width, destination.height, x, y, w, h, sx, sy)) return;
  for (int32_t row = 0; row < h; ++row)
    memmove(destination.pixels + (y + row) * destination.pitch + x,
            source.pixels + (r.top + sy + row) * source.pitch + r.left + sx, static_cast<size_t>(w) * 2);
}

void SetBit15ByShape16(const Image16& destination, const MARect& to, const Image8& shape, const MARect& from,
                       bool set) {
  int32_t w = std::min(to.right - to.left, from.right - from.left);
  int32_t h = std::min(to.bottom - to.top, from.bottom - from.top);
  for (int32_t row = 0; row < h; ++row) {
    for (int32_t col = 0; col < w; ++col) {
      int32_t sx = from.left + col, sy = from.top + row, dx = to.left + col, dy = to.top + row;
      if (sx < 0 || sy < 0 || sx >= shape.width || sy >= shape.height) continue;
      if (dx < 0 || dy < 0 || dx >= destination.width || dy >= destination.height) continue;
      if (shape.pixels[sy * shape.pitch + sx] == 0) continue;
      uint16_t& p = destination.pixels[dy * destination.pitch + dx];
      p = set ? static_cast<uint16_t>(p | 0x8000) : static_cast<uint16_t>(p & 0x7FFF);
    }
  }
}

void BlitTransparent16(const Image16& destination, const Image16& sprite, int32_t x, int32_t y) {
  int32_t w = sprite.width, h = sprite.height, sx, sy;
  if (!Clip(destination.width, destination.height, x, y, w, h, sx, sy)) return;
  for (int32_t row = 0; row < h; ++row) {
    for (int32_t col = 0; col < w; ++col) {
      uint16_t p = sprite.pixels[(sy + row) * sprite.pitch + sx + col];
      if (p != 0) destination.pixels[(y + row) * destination.pitch + x + col] = p;
    }
  }
}

namespace {

template <typename F>
void OverMask(const Image16& destination, const Image8& mask, int32_t x, int32_t y, F apply) {
  int32_t w = mask.width, h = mask.height, sx, sy;
  if (!Clip(destination.width, destination.height, x, y, w, h, sx, sy)) return;
  for (int32_t row = 0; row < h; ++row)
    for (int32_t col = 0; col < w; ++col)
      apply(destination.pixels[(y + row) * destination.pitch + x + col],
            mask.pixels[(sy + row) * mask.pitch + sx + col]);
}

}  // namespace

void FillMask16(const Image16& destination, const Image8& mask, int32_t x, int32_t y, uint16_t colour) {
  OverMask(destination, mask, x, y, [colour](uint16_t& p, uint8_t m) {
    if (m < 0xFF) p = colour;
  });
}

void SetBit15ByMask16(const Image16& destination, const Image8& mask, int32_t x, int32_t y, bool set) {
  OverMask(destination, mask, x, y, [set](uint16_t& p, uint8_t m) {
    if (m != 0xFF) p = set ? static_cast<uint16_t>(p | 0x8000) : static_cast<uint16_t>(p & 0x7FFF);
  });
}

void MarkRect16(const Image16& destination, const MARect& rect, bool set) {
  MARect r = rect;
  MARect bounds{0, 0, destination.width, destination.height};
  IntersectRect(&r, &bounds);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    for (int32_t x = r.left; x < r.right; ++x) {
      uint16_t& p = destination.pixels[y * destination.pitch + x];
      p = set ? static_cast<uint16_t>(p | 0x8000) : static_cast<uint16_t>(p & 0x7FFF);
    }
  }
}

void DrawCircle16(const Image16& destination, int32_t cx, int32_t cy, int32_t radius, uint16_t colour) {
  if (radius < 0) return;
  int32_t x = radius, y = 0, error = 1 - radius;
  while (x >= y) {
    const int32_t points[8][2] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
    for (const auto& p : points) Plot(destination, cx + p[0], cy + p[1], colour);
    ++y;
    if (error < 0) {
      error += 2 * y + 1;
    } else {
      --x;
      error += 2 * (y - x) + 1;
    }
  }
}

void BlitRectZTest16(const Image16& destination, const Image16& source, const uint16_t* depth, const MARect& rect,
                     uint16_t minimum) {
  MARect r = rect;
  MARect bounds{0, 0, std::min(destination.width, source.width), std::min(destination.height, source.height)};
  IntersectRect(&r, &bounds);
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x)
      if (depth[y * destination.pitch + x] >= minimum)
        destination.pixels[y * destination.pitch + x] = source.pixels[y * source.pitch + x];
}

uint32_t ScaleColourHalf(uint32_t pixel, bool four) { return (pixel >> 1) & (four ? 0x7F7F7F7Fu : 0x007F7F7Fu); }

uint32_t ScaleColourQuarter(uint32_t pixel, bool four) { return (pixel >> 2) & (four ? 0x3F3F3F3Fu : 0x003F3F3Fu); }

uint32_t ScaleColourEighth(uint32_t pixel, bool four) { return (pixel >> 3) & (four ? 0x1F1F1F1Fu : 0x001F1F1Fu); }

// ---- graphics preferences ----------------------------------------------------------------------------------------
namespace {

constexpr int32_t kGraphicsDefaults[GRAPHICSPREFCOUNT] = {3, 0, 1, 0, 0, 1};
PreferenceGetter gGetPreference = nullptr;
PreferenceSetter gSetPreference = nullptr;

}  // namespace

int32_t GraphicsPreferences[GRAPHICSPREFCOUNT] = {3, 0, 1, 0, 0, 1};

void SetPreferenceAccess(PreferenceGetter get, PreferenceSetter set) {
  gGetPreference = get;
  gSetPreference = set;
}

void LoadGraphicsPreferences() {
  for (int i = 0; i < GRAPHICSPREFCOUNT; ++i) {
    int32_t value = kGraphicsDefaults[i];
    if (gGetPreference == nullptr || gGetPreference(i + 1, &value) != 0) value = kGraphicsDefaults[i];
    GraphicsPreferences[i] = value;
  }
}

void SaveGraphicsPreferences() {
  if (gSetPreference == nullptr) return;
  for (int i = 0; i < GRAPHICSPREFCOUNT; ++i) gSetPreference(i + 1, GraphicsPreferences[i]);
}

// Nearest-sample scaled shape drawing, mirrored for negative sizes: with transparent holes or copying every
// pixel.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

// Row state: the source row, and one column entry per visible target pixel (sized from the target).
const uint8_t* scalesource = nullptr;
std::vector<int32_t> scalecolumns;
uint16_t scaletable16[256];

using ScaleRow = void (*)(uint8_t* destination, int32_t count);

void rowtrans32(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* s = scalesource + 4 * scalecolumns[i];
    if (s[0] | s[1] | s[2] | s[3]) std::memcpy(d + 4 * i, s, 4);
  }
}
void rowtrans24(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* s = scalesource + 3 * scalecolumns[i];
    if (s[0] | s[1] | s[2]) std::memcpy(d + 3 * i, s, 3);
  }
}
void rowtrans16(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t* s = scalesource + 2 * scalecolumns[i];
    if (s[0] | s[1]) std::memcpy(d + 2 * i, s, 2);
  }
}
void rowtrans8(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t t = scalesource[scalecolumns[i]];
    if (t != 0xFF) d[i] = t;
  }
}
void rowclut16trans(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t t = scalesource[scalecolumns[i]];
    if (t == 0xFF) continue;
    d[2 * i] = static_cast<uint8_t>(scaletable16[t]);
    d[2 * i + 1] = static_cast<uint8_t>(scaletable16[t] >> 8);
  }
}
void rowclut16(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t t = scalesource[scalecolumns[i]];
    d[2 * i] = static_cast<uint8_t>(scaletable16[t]);
    d[2 * i + 1] = static_cast<uint8_t>(scaletable16[t] >> 8);
  }
}
template <int kBytes>
void rowcopy(uint8_t* d, int32_t n) {
  for (int32_t i = 0; i < n; ++i) std::memcpy(d + kBytes * i, scalesource + kBytes * scalecolumns[i], kBytes);
}

void scaledraw(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height, bool transparent) {
  if (width == 0 || height == 0 || (shape[0] & kShapePacked)) return;
  const WindowDesc& w = CurrentWindow;
  if (!w.pixels || !w.rows || !w.cols) return;
  const int32_t sw = shapewidth(shape), sh = shapeheight(shape);
  if (sw <= 0 || sh <= 0) return;
  const int32_t aw = std::abs(width), ah = std::abs(height);
  if (x >= w.maxx || y >= w.maxy || x + aw <= w.minx || y + ah <= w.miny) return;

  uint8_t* converted = nullptr;
  const uint8_t* source = shape;
  int bytes = 0;
  ScaleRow row = nullptr;
  if (shape[0] != w.shapetype && shapetypeindex(shape[0]) == 1 && (w.depth == 15 || w.depth == 16)) {
    const uint16_t* t = getclut16ptr(shape, scaletable16);
    if (t != scaletable16) std::memcpy(scaletable16, t, sizeof scaletable16);
    if (w.depth == 15)
      for (uint16_t& v : scaletable16) v = static_cast<uint16_t>(((v & 0xFFC0) >> 1) | (v & 0x1F));
    bytes = 1;
    row = transparent ? rowclut16trans : rowclut16;
  } else {
    if (shape[0] != w.shapetype) {
      converted = convertshapetype(shape, w.shapetype);
      if (!converted) return;
      source = converted;
    }
    switch (w.depth) {
      case 8: bytes = 1; row = transparent ? rowtrans8 : rowcopy<1>; break;
      case 15: case 16: bytes = 2; row = transparent ? rowtrans16 : rowcopy<2>; break;
      case 24: bytes = 3; row = transparent ? rowtrans24 : rowcopy<3>; break;
      case 32: bytes = 4; row = transparent ? rowtrans32 : rowcopy<4>; break;
      default: break;  // 4-bit windows are not scaled into
    }
  }
  if (row && bytes) {
    const int64_t du = (static_cast<int64_t>(sw) * 65536) / width, dv = (static_cast<int64_t>(sh) * 65536) / height;
    int64_t u = du / 2, v = dv / 2;
    if (width < 0) u += static_cast<int64_t>(sw) * 65536;
    if (height < 0) v += static_cast<int64_t>(sh) * 65536;
    int32_t cols = aw, rows = ah;
    if (y < w.miny) {
      v += dv * (w.miny - y);
      rows -= w.miny - y;
      y = w.miny;
    }
    rows = std::min(rows, w.maxy - y);
    if (x < w.minx) {
      u += du * (w.minx - x);
      cols -= w.minx - x;
      x = w.minx;
    }
    cols = std::min(cols, w.maxx - x);
    if (cols > 0 && rows > 0) {
      scalecolumns.resize(static_cast<size_t>(cols));
      for (int32_t i = 0; i < cols; ++i) scalecolumns[i] = std::clamp(static_cast<int32_t>((u + i * du) >> 16), 0, sw - 1);
      const int32_t srow = shaperowbytes(source);
      for (int32_t r = 0; r < rows; ++r, v += dv) {
        const int32_t sy = std::clamp(static_cast<int32_t>(v >> 16), 0, sh - 1);
        scalesource = source + 16 + static_cast<int64_t>(sy) * srow;
        row(w.pixels + w.rows[y + r] + w.cols[x], cols);
      }
    }
  }
  if (converted) purgememadr(converted);
}

// Position of the centred forms: the centre scaled to the target, measured from the far edge when mirrored.
int32_t scaledcentre(int32_t centre, int32_t shapesize, int32_t target) {
  if (shapesize <= 0) return 0;
  const int64_t c = target < 0 ? shapesize - centre : centre;
  const int64_t t = std::abs(target);
  return static_cast<int32_t>((2 * c * t + shapesize) / (2 * shapesize));
}

void centreddraw(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height, bool transparent) {
  scaledraw(shape, x - scaledcentre(shapecentrex(shape), shapewidth(shape), width),
            y - scaledcentre(shapecentrey(shape), shapeheight(shape), height), width, height, transparent);
}

}  // namespace

// The transparent family (holes) and the copying family (ex) in their six forms each.
void drawshapescaled(const uint8_t* s, int32_t x, int32_t y, int32_t w, int32_t h) { scaledraw(s, x, y, w, h, true); }
void drawshapescaledcentred(const uint8_t* s, int32_t x, int32_t y, int32_t w, int32_t h) { centreddraw(s, x, y, w, h, true); }
void drawshapescaledpos(const uint8_t* s, int32_t w, int32_t h) { scaledraw(s, shapeposx(s), shapeposy(s), w, h, true); }
void drawshapescaledrev(int32_t w, int32_t h, const uint8_t* s, int32_t x, int32_t y) { scaledraw(s, x, y, w, h, true); }
void drawshapescaledcentredrev(int32_t w, int32_t h, const uint8_t* s, int32_t x, int32_t y) { centreddraw(s, x, y, w, h, true); }
void drawshapescaledposrev(int32_t w, int32_t h, const uint8_t* s) { drawshapescaledpos(s, w, h); }
void drawshapescaledex(const uint8_t* s, int32_t x, int32_t y, int32_t w, int32_t h) { scaledraw(s, x, y, w, h, false); }
void drawshapescaledexcentred(const uint8_t* s, int32_t x, int32_t y, int32_t w, int32_t h) { centreddraw(s, x, y, w, h, false); }
void drawshapescaledexpos(const uint8_t* s, int32_t w, int32_t h) { scaledraw(s, shapeposx(s), shapeposy(s), w, h, false); }
void drawshapescaledexrev(int32_t w, int32_t h, const uint8_t* s, int32_t x, int32_t y) { scaledraw(s, x, y, w, h, false); }
void drawshapescaledexcentredrev(int32_t w, int32_t h, const uint8_t* s, int32_t x, int32_t y) { centreddraw(s, x, y, w, h, false); }
void drawshapescaledexposrev(int32_t w, int32_t h, const uint8_t* s) { drawshapescaledexpos(s, w, h); }

// Row tables of the sampled shape, edge tables, the sub-pixel filters, filtered quads and filtered scaling,
// and the blending of single colours into windows.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

int32_t shaperowtable[kShapeRowTable];

namespace {

int32_t rowtablelength = -1;  // row bytes the table was built for
int32_t rowtablecount = 0;    // rows filled
// Limits of the shape being sampled, so that a neighbour is never read outside it.
int32_t samplewidth = 0, sampleheight = 0;
uint32_t spanpalette[256];
// Sampled shapes are addressed in 16.16 pixels: wider or taller ones cannot be.
constexpr int32_t kMaxSampled = 32767;


// Filter weights of a, b, c, d in eighths by (u fraction) + 8 x (v fraction).
constexpr uint8_t kWeights[64][4] = {
    {8, 0, 0, 0}, {7, 1, 0, 0}, {6, 2, 0, 0}, {5, 3, 0, 0}, {4, 4, 0, 0}, {3, 5, 0, 0}, {2, 6, 0, 0}, {1, 7, 0, 0},
    {7, 0, 1, 0}, {6, 1, 1, 0}, {5, 2, 1, 0}, {4, 3, 1, 0}, {4, 4, 0, 0}, {3, 4, 0, 1}, {2, 5, 0, 1}, {1, 6, 0, 1},
    {6, 0, 2, 0}, {5, 1, 2, 0}, {4, 2, 2, 0}, {4, 2, 1, 1}, {3, 3, 1, 1}, {2, 4, 1, 1}, {2, 4, 0, 2}, {1, 5, 0, 2},
    {5, 0, 3, 0}, {4, 1, 3, 0}, {4, 1, 2, 1}, {3, 2, 2, 1}, {2, 2, 2, 2}, {2, 3, 1, 2}, {1, 4, 1, 2}, {1, 4, 0, 3},
    {4, 0, 4, 0}, {4, 0, 4, 0}, {3, 1, 3, 1}, {2, 2, 2, 2}, {2, 2, 2, 2}, {2, 2, 2, 2}, {1, 3, 1, 3}, {0, 4, 0, 4},
    {3, 0, 5, 0}, {3, 0, 4, 1}, {2, 1, 4, 1}, {2, 1, 3, 2}, {2, 2, 2, 2}, {1, 2, 2, 3}, {1, 2, 1, 4}, {0, 3, 1, 4},
    {2, 0, 6, 0}, {2, 0, 5, 1}, {2, 0, 4, 2}, {1, 1, 4, 2}, {1, 1, 3, 3}, {1, 1, 2, 4}, {0, 2, 2, 4}, {0, 2, 1, 5},
    {1, 0, 7, 0}, {1, 0, 6, 1}, {1, 0, 5, 2}, {1, 0, 4, 3}, {0, 0, 4, 4}, {0, 1, 3, 4}, {0, 1, 2, 5}, {0, 1, 1, 6},
};

// One texel weighted in eighths, byte lane by byte lane with shifts and masks (no carries between lanes).
// Each weight as masks over the terms t, t >> 1, t >> 2, t >> 3 and a subtracted t >> 3 (7/8 = t - t/8), so
// that the filter runs without branches.
struct WeightMasks {
  uint32_t full, half, quarter, eighth, less;
};
constexpr WeightMasks masksfor(int w) {
  const uint32_t on = 0xFFFFFFFFu;
  switch (w) {
    case 8: return {on, 0, 0, 0, 0};
    case 7: return {on, 0, 0, 0, on};
    case 6: return {0, on, on, 0, 0};
    case 5: return {0, on, 0, on, 0};
    case 4: return {0, on, 0, 0, 0};
    case 3: return {0, 0, on, on, 0};
    case 2: return {0, 0, on, 0, 0};
    case 1: return {0, 0, 0, on, 0};
    default: return {0, 0, 0, 0, 0};
  }
}
struct FilterMasks {
  WeightMasks m[64][4];
  constexpr FilterMasks() : m() {
    for (int i = 0; i < 64; ++i)
      for (int k = 0; k < 4; ++k) m[i][k] = masksfor(kWeights[i][k]);
  }
};
constexpr FilterMasks kFilterMasks;

// One texel weighted in eighths, byte lane by byte lane with shifts and masks (no carries between lanes).
inline uint32_t eighths(uint32_t t, const WeightMasks& m) {
  const uint32_t h1 = (t >> 1) & 0x7F7F7F7Fu, h2 = (t >> 2) & 0x3F3F3F3Fu, h3 = (t >> 3) & 0x1F1F1F1Fu;
  return (t & m.full) + (h1 & m.half) + (h2 & m.quarter) + (h3 & m.eighth) - (h3 & m.less);
}

inline uint32_t filter4(int index, uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  const WeightMasks* m = kFilterMasks.m[index];
  return eighths(a, m[0]) + eighths(b, m[1]) + eighths(c, m[2]) + eighths(d, m[3]);
}

// Pixels of the span clipped to the current window; false when nothing is left.
bool clipspan(int32_t& u, int32_t& v, int32_t du, int32_t dv, int32_t& x, int32_t y, int32_t& count) {
  const WindowDesc& w = CurrentWindow;
  if (y < w.miny || y >= w.maxy || !w.pixels) return false;
  if (x < w.minx) {
    const int64_t skip = w.minx - x;
    u = static_cast<int32_t>(u + du * skip);
    v = static_cast<int32_t>(v + dv * skip);
    count -= skip;
    x = w.minx;
  }
  if (x + count > w.maxx) count = w.maxx - x;
  return count > 0;
}

// The blend of a premultiplied colour over a 32-bit colour (blendpixel's rule on windows of 24 and 32 bits).
inline uint32_t blendargb(uint32_t k, uint32_t dest) {
  const uint32_t a = k >> 24;
  if (a == 255) return k;
  if (!a) return dest;
  const uint32_t da = dest >> 24;
  const uint32_t f = 65536 - a * 257;
  uint32_t out = (255 - (255 - a) * (255 - da) / 255) << 24;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t ch = ((((dest >> shift) & 0xFF) * f + 32768) >> 16) + ((k >> shift) & 0xFF);
    out |= std::min<uint32_t>(ch, 255) << shift;
  }
  return out;
}

void putfiltered(uint8_t* p, int32_t x, int32_t y, uint32_t k) {
  switch (CurrentWindow.depth) {
    case 16: {
      const uint32_t out = blendover565(k, p[0] | (p[1] << 8));
      p[0] = static_cast<uint8_t>(out);
      p[1] = static_cast<uint8_t>(out >> 8);
      break;
    }
    case 15: {
      const uint32_t out = blendover555(k, p[0] | (p[1] << 8));
      p[0] = static_cast<uint8_t>(out);
      p[1] = static_cast<uint8_t>(out >> 8);
      break;
    }
    case 8: blendpixel8(p, k); break;
    case 32:
      if (CurrentWindow.page == 0) {  // memory window: the blendpixel rule in place
        uint32_t d;
        std::memcpy(&d, p, 4);
        d = blendargb(k, d);
        std::memcpy(p, &d, 4);
        break;
      }
      blendpixel(x, y, k);
      break;
    default: blendpixel(x, y, k); break;
  }
}

template <int kBytes, typename Put>
void filteredloop(const uint8_t* shape, int32_t u, int32_t v, int32_t du, int32_t dv, int32_t x, int32_t y, int32_t count,
                  Put put) {
  const WindowDesc& w = CurrentWindow;
  const uint8_t* pixels = shape + 16;
  const int32_t rowbytes = shaperowbytes(shape);
  const int32_t maxu = samplewidth - 1, maxv = std::min(sampleheight, kShapeRowTable) - 1;
  if (maxu < 0 || maxv < 0) return;
  uint8_t* row = w.pixels + w.rows[y];
  int64_t uu = u, vv = v;  // wide, so that no step overflows
  for (int32_t i = 0; i < count; ++i, uu += du, vv += dv, ++x) {
    const int32_t tu = static_cast<int32_t>(std::clamp<int64_t>(uu >> 16, 0, maxu));
    const int32_t tv = static_cast<int32_t>(std::clamp<int64_t>(vv >> 16, 0, maxv));
    const uint8_t* t = pixels + shaperowtable[tv] + tu * kBytes;
    const int index = static_cast<int>(((uu >> 13) & 7) + 8 * ((vv >> 13) & 7));
    const int32_t right = tu < maxu ? kBytes : 0, down = tv < maxv ? rowbytes : 0;
    uint32_t a, b, c, d;
    if constexpr (kBytes == 4) {
      a = shaperead32(t), b = shaperead32(t + right), c = shaperead32(t + down), d = shaperead32(t + down + right);
    } else {
      a = spanpalette[t[0]], b = spanpalette[t[right]], c = spanpalette[t[down]], d = spanpalette[t[down + right]];
    }
    put(row + w.cols[x], x, filter4(index, a, b, c, d));
  }
}

template <int kBytes>
void filteredspan(const uint8_t* shape, int32_t u, int32_t v, int32_t du, int32_t dv, int32_t x, int32_t y, int32_t count) {
  if (!clipspan(u, v, du, dv, x, y, count)) return;
  const WindowDesc& w = CurrentWindow;
  // The window's depth is chosen once a span, not once a pixel.
  if (w.depth == 16) {
    filteredloop<kBytes>(shape, u, v, du, dv, x, y, count, [](uint8_t* p, int32_t, uint32_t k) {
      shapewrite16(p, blendover565(k, shaperead16(p)));
    });
  } else if (w.depth == 32 && w.page == 0) {
    filteredloop<kBytes>(shape, u, v, du, dv, x, y, count, [](uint8_t* p, int32_t, uint32_t k) {
      uint32_t d;
      std::memcpy(&d, p, 4);
      d = blendargb(k, d);
      std::memcpy(p, &d, 4);
    });
  } else {
    filteredloop<kBytes>(shape, u, v, du, dv, x, y, count, [y](uint8_t* p, int32_t px, uint32_t k) { putfiltered(p, px, y, k); });
  }
}

void readyshape(const uint8_t* shape) {
  samplewidth = shapewidth(shape);
  sampleheight = shapeheight(shape);
  initshaperowtbl(shape);
}

}  // namespace

void initshaperowtbl(const uint8_t* shape) {
  const int32_t length = shaperowbytes(shape);
  int32_t height = shapeheight(shape);
  if (height > kShapeRowTable) {
    if (abortonerror) {
      ABORTCONTEXT("win\\shprow", "initshaperowtbl");
      abortmessage("initshaperowtbl - SHAPE TOO TALL %d. MAX IS %d.\n", height, kShapeRowTable);
    }
    height = kShapeRowTable;  // the rows beyond the table are never sampled
  }
  if (length != rowtablelength) {
    rowtablelength = length;
    rowtablecount = 0;
  } else if (rowtablecount >= height) {
    return;
  }
  const int32_t end = std::min((height + 3) & ~3, kShapeRowTable);
  for (int32_t i = rowtablecount; i < end; ++i) shaperowtable[i] = i * length;
  rowtablecount = height;
}

namespace {

// Clips an edge's rows to the clip rows and the table; returns false when none is left.
bool edgerows(const char* function, bool report, int32_t& y, int32_t& rows, int64_t& acc, int64_t step) {
  const WindowDesc& w = CurrentWindow;
  if (y >= w.maxy || y + rows < w.miny || rows <= 0) return false;
  if (y < w.miny) {
    acc += step * (w.miny - y);
    rows -= w.miny - y;
    y = w.miny;
  }
  rows = std::min(rows, w.maxy - y);
  if (y + rows > kEdgeTable) {
    if (report && abortonerror) {
      ABORTCONTEXT("win\\bldtbl", function);
      abortmessage("%s (linearmapf) - exceeded 1200 max height (%d)\n", function, rows);
    }
    rows = kEdgeTable - y;  // never write past the table
  }
  return rows > 0 && y >= 0;
}

}  // namespace

int32_t buildtablemin(int32_t* table, int32_t y, int32_t x0, int32_t x1, int32_t rows) {
  if (rows <= 0) return 0;
  const int64_t step = (static_cast<int64_t>(x1 - x0) * 65536) / rows;
  int64_t acc = static_cast<int64_t>(x0) * 65536 + (step < 0 ? step : 0);
  if (!edgerows("buildtablemin", true, y, rows, acc, step)) return 0;
  for (int32_t i = 0; i < rows; ++i, acc += step) table[y + i] = static_cast<int32_t>(acc >> 16);
  return static_cast<int32_t>(step);
}

int32_t buildtablemax(int32_t* table, int32_t y, int32_t x0, int32_t x1, int32_t rows) {
  if (rows <= 0) return 0;
  const int64_t step = (static_cast<int64_t>(x1 - x0) * 65536) / rows;
  int64_t acc = static_cast<int64_t>(x0) * 65536 + (step > 0 ? step : 0);
  if (!edgerows("buildtablemax", false, y, rows, acc, step)) return 0;
  for (int32_t i = 0; i < rows; ++i, acc += step) table[y + i] = static_cast<int32_t>(acc >> 16);
  return static_cast<int32_t>(step);
}

void buildfixedtablemin(int32_t* table, int32_t y, int32_t start, int32_t end, int32_t xdirection, int32_t rows) {
  if (rows <= 0) return;
  const int64_t step = (static_cast<int64_t>(end) - start) / rows;
  int64_t acc = start + (xdirection < 0 ? step : 0);
  if (!edgerows("buildfixedtablemin", true, y, rows, acc, step)) return;
  for (int32_t i = 0; i < rows; ++i, acc += step) table[y + i] = static_cast<int32_t>(acc);
}

void buildfixedtablemax(int32_t* table, int32_t y, int32_t start, int32_t end, int32_t xdirection, int32_t rows) {
  if (rows <= 0) return;
  const int64_t step = (static_cast<int64_t>(end) - start) / rows;
  int64_t acc = start + (xdirection >= 1 ? step : 0);
  if (!edgerows("buildfixedtablemax", true, y, rows, acc, step)) return;
  for (int32_t i = 0; i < rows; ++i, acc += step) table[y + i] = static_cast<int32_t>(acc);
}

uint32_t argbfilter(int index, const uint8_t* texel, int32_t rowbytes) {
  return filter4(index & 63, shaperead32(texel), shaperead32(texel + 4), shaperead32(texel + rowbytes), shaperead32(texel + rowbytes + 4));
}

uint32_t clutfilter(int index, const uint8_t* texel, int32_t rowbytes, const uint32_t* palette) {
  return filter4(index & 63, palette[texel[0]], palette[texel[1]], palette[texel[rowbytes]], palette[texel[rowbytes + 1]]);
}

void drawargbspan(const uint8_t* shape, int32_t u, int32_t v, int32_t du, int32_t dv, int32_t x, int32_t y, int32_t count) {
  readyshape(shape);
  filteredspan<4>(shape, u, v, du, dv, x, y, count);
}

void drawclutspan(const uint8_t* shape, int32_t u, int32_t v, int32_t du, int32_t dv, int32_t x, int32_t y, int32_t count) {
  readyshape(shape);
  const uint32_t* palette = getclutptr(shape, spanpalette);
  if (palette != spanpalette) std::memcpy(spanpalette, palette, sizeof spanpalette);
  filteredspan<1>(shape, u, v, du, dv, x, y, count);
}

void blendpixel8(uint8_t* pixel, uint32_t k) {
  const uint32_t a = k >> 24;
  if (!a) return;
  uint32_t colour = k;
  if (a < 255) {
    const uint32_t dest = CurrentPalette[*pixel];
    const uint32_t f = 65536 - a * 257;
    colour = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
      const uint32_t ch = ((((dest >> shift) & 0xFF) * f + 32768) >> 16) + ((k >> shift) & 0xFF);
      colour |= std::min<uint32_t>(ch, 255) << shift;
    }
  }
  if (InverseColourTable)
    *pixel = InverseColourTable[(((colour >> 19) & 31) << 10) | (((colour >> 11) & 31) << 5) | ((colour >> 3) & 31)];
  else
    *pixel = static_cast<uint8_t>(nearestcolour(colour));
}

void blendpixel(int32_t x, int32_t y, uint32_t k) {
  const WindowDesc& w = CurrentWindow;
  if (x < w.minx || x >= w.maxx || y < w.miny || y >= w.maxy || !w.pixels) return;
  if (w.depth == 16 && w.page == 0) {
    uint8_t* p = w.pixels + w.rows[y] + w.cols[x];
    const uint32_t out = blendover565(k, p[0] | (p[1] << 8));
    p[0] = static_cast<uint8_t>(out);
    p[1] = static_cast<uint8_t>(out >> 8);
    return;
  }
  const uint32_t a = k >> 24;
  if (a == 255) {
    writepixel(x, y, rgbpixel(k));
    return;
  }
  if (!a) return;
  writepixel(x, y, rgbpixel(blendargb(k, getargb(readpixel(x, y)))));
}

void drawshapequad(const uint8_t* shape, const int32_t* src, const int32_t* dst) {
  uint8_t* converted = nullptr;
  const int depth = shapetypedepth(shape[0]);
  if (!(depth == 32 && shape[0] == 0x7D) && !(depth == 8 && shapetypeindex(shape[0]) == 1)) {
    converted = convertshapedepth(shape, 32);
    if (!converted) return;
    shape = converted;
  }
  readyshape(shape);
  const WindowDesc& w = CurrentWindow;
  int top = 0, bottom = 0;
  for (int i = 1; i < 4; ++i) {
    if (dst[2 * i + 1] < dst[2 * top + 1]) top = i;
    if (dst[2 * i + 1] > dst[2 * bottom + 1]) bottom = i;
  }
  const int32_t topy = dst[2 * top + 1], bottomy = dst[2 * bottom + 1];
  if (topy >= w.maxy || bottomy < w.miny) {
    if (converted) purgememadr(converted);
    return;
  }
  auto slope = [&](int to) {
    return (static_cast<int64_t>(dst[2 * to] - dst[2 * top]) * 65536) / (dst[2 * to + 1] - topy + 1);
  };
  const int following = (top + 1) & 3, preceding = (top + 3) & 3;
  const int leftdir = slope(preceding) < slope(following) ? -1 : 1;
  static int32_t lx[kEdgeTable], rx[kEdgeTable], lu[kEdgeTable], lv[kEdgeTable], ru[kEdgeTable], rv[kEdgeTable];
  auto walk = [&](int dir, bool left) {
    for (int i = top, guard = 0; i != bottom && guard < 4; ++guard) {
      const int n = (i + dir + 4) & 3;
      const int32_t y0 = dst[2 * i + 1], y1 = dst[2 * n + 1];
      const int32_t rows = y1 - y0 + 1;
      if (rows > 0) {
        if (left) {
          const int32_t step = buildtablemin(lx, y0, dst[2 * i], dst[2 * n], rows);
          buildfixedtablemin(lu, y0, src[2 * i], src[2 * n], step, rows);
          buildfixedtablemin(lv, y0, src[2 * i + 1], src[2 * n + 1], step, rows);
        } else {
          const int32_t step = buildtablemax(rx, y0, dst[2 * i], dst[2 * n], rows);
          buildfixedtablemax(ru, y0, src[2 * i], src[2 * n], step, rows);
          buildfixedtablemax(rv, y0, src[2 * i + 1], src[2 * n + 1], step, rows);
        }
      }
      i = n;
    }
  };
  walk(leftdir, true);
  walk(-leftdir, false);
  const int32_t y0 = std::max(topy, w.miny), y1 = std::min({bottomy, w.maxy - 1, kEdgeTable - 1});
  const bool argb = shapetypedepth(shape[0]) == 32;
  if (!argb) {
    const uint32_t* palette = getclutptr(shape, spanpalette);
    if (palette != spanpalette) std::memcpy(spanpalette, palette, sizeof spanpalette);
  }
  for (int32_t y = y0; y <= y1; ++y) {
    int32_t width = rx[y] - lx[y] + 1;
    if (width <= 0 || lx[y] >= w.maxx || rx[y] < w.minx) continue;
    const int32_t du = static_cast<int32_t>((static_cast<int64_t>(ru[y]) - lu[y]) / width);
    const int32_t dv = static_cast<int32_t>((static_cast<int64_t>(rv[y]) - lv[y]) / width);
    int32_t u = lu[y], v = lv[y], x = lx[y];
    if (x < w.minx) {
      u = static_cast<int32_t>(u + static_cast<int64_t>(du) * (w.minx - x));
      v = static_cast<int32_t>(v + static_cast<int64_t>(dv) * (w.minx - x));
      width -= w.minx - x;
      x = w.minx;
    }
    if (rx[y] >= w.maxx) width -= rx[y] - w.maxx + 1;
    if (argb)
      filteredspan<4>(shape, u, v, du, dv, x, y, width);
    else
      filteredspan<1>(shape, u, v, du, dv, x, y, width);
  }
  if (converted) purgememadr(converted);
}

void drawshapequadfull(const uint8_t* shape, const int32_t* dst) {
  if (shapewidth(shape) > kMaxSampled || shapeheight(shape) > kMaxSampled) return;  // beyond 16.16 coordinates
  const int32_t w = (shapewidth(shape) - 1) * 65536, h = (shapeheight(shape) - 1) * 65536;
  const int32_t src[8] = {0, 0, w, 0, w, h, 0, h};
  drawshapequad(shape, src, dst);
}

void drawshapescaledargb(const uint8_t* shape, int32_t x, int32_t y, int32_t width, int32_t height) {
  const int32_t sw = shapewidth(shape), sh = shapeheight(shape);
  if (sw <= 0 || sh <= 0 || sw > kMaxSampled || sh > kMaxSampled) return;
  const int64_t scale = (static_cast<int64_t>(width) * 65536) / sw;
  if (std::llabs(scale) <= 655) return;
  uint8_t* converted = nullptr;
  if (shape[0] != 0x7D) {
    converted = convertshapedepth(shape, 32);
    if (!converted) return;
    shape = converted;
  }
  int32_t w = std::max<int32_t>(std::abs(width), 2), h = std::max<int32_t>(height, 2);
  readyshape(shape);
  int64_t inset = (static_cast<int64_t>(65536) * 65536 / std::llabs(scale)) / 2 - 32768;
  if (inset < 0) inset = 0;
  int64_t ustart = inset, uend = static_cast<int64_t>(sw - 1) * 65536 - inset;
  const int64_t vstart = inset, vend = static_cast<int64_t>(sh - 1) * 65536 - inset;
  if (uend < ustart) uend = ustart = static_cast<int64_t>(sw - 1) * 32768;
  if (scale < 0) std::swap(ustart, uend);
  const int32_t du = static_cast<int32_t>((uend - ustart) / (w - 1));
  const int32_t dv = static_cast<int32_t>(std::max<int64_t>(0, vend - vstart) / (h - 1));
  int32_t u = static_cast<int32_t>(ustart), v = static_cast<int32_t>(std::min(vstart, std::max(vstart, vend)));
  const WindowDesc& win = CurrentWindow;
  if (x < win.minx) {
    u = static_cast<int32_t>(u + static_cast<int64_t>(du) * (win.minx - x));
    w -= win.minx - x;
    x = win.minx;
  }
  if (x + w > win.maxx) w = win.maxx - x;
  if (y < win.miny) {
    v = static_cast<int32_t>(v + static_cast<int64_t>(dv) * (win.miny - y));
    h -= win.miny - y;
    y = win.miny;
  }
  if (y + h > win.maxy) h = win.maxy - y;
  for (int32_t r = 0; r < h && w > 0; ++r, v += dv) filteredspan<4>(shape, u, v, du, 0, x, y + r, w);
  if (converted) purgememadr(converted);
}

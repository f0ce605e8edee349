// Per-pixel access goes through the current window's row and column tables; every store is clip-tested.
#include "platformlib/gfx/pixels.h"

#include <algorithm>
#include <cstring>

#include "platformlib/gfx/fixtrig.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/linewalk.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/windowdesc.h"

uint32_t CurrentPalette[256];
uint8_t* InverseColourTable = nullptr;
uint8_t UsableEntries[256] = {
#define ONE16 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1
    ONE16, ONE16, ONE16, ONE16, ONE16, ONE16, ONE16, ONE16,
    ONE16, ONE16, ONE16, ONE16, ONE16, ONE16, ONE16, ONE16,
#undef ONE16
};
uint8_t IndexRemap[256] = {
#define ROW16(n) n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10, n + 11, n + 12, n + 13, n + 14, n + 15
    ROW16(0),   ROW16(16),  ROW16(32),  ROW16(48),  ROW16(64),  ROW16(80),  ROW16(96),  ROW16(112),
    ROW16(128), ROW16(144), ROW16(160), ROW16(176), ROW16(192), ROW16(208), ROW16(224), ROW16(240),
#undef ROW16
};

namespace {

inline bool inclip(const WindowDesc& w, int32_t x, int32_t y) {
  return x >= w.minx && x < w.maxx && y >= w.miny && y < w.maxy;
}

inline uint8_t* pixeladdress(const WindowDesc& w, int32_t x, int32_t y) {
  return w.pixels + w.rows[y] + w.cols[x];
}

inline void store16(uint8_t* p, uint32_t v) {
  const uint16_t h = static_cast<uint16_t>(v);
  std::memcpy(p, &h, 2);
}
inline uint32_t load16(const uint8_t* p) {
  uint16_t h;
  std::memcpy(&h, p, 2);
  return h;
}
inline void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

int inverseindex(uint32_t colour) {
  const uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  return static_cast<int>((r >> 3) * 1024 + (g >> 3) * 32 + (b >> 3));
}

// Plain store without the clip test, for callers that have clipped already.
inline void putpixel(const WindowDesc& w, int32_t x, int32_t y, uint32_t value) {
  uint8_t* p = pixeladdress(w, x, y);
  switch (w.depth) {
    case 8: *p = static_cast<uint8_t>(value); break;
    case 15:
    case 16: store16(p, value); break;
    default: writepixel(x, y, value); break;
  }
}

}  // namespace

void writepixel(int32_t x, int32_t y, uint32_t value) {
  const WindowDesc& w = CurrentWindow;
  if (!inclip(w, x, y)) return;
  uint8_t* p = pixeladdress(w, x, y);
  switch (w.depth) {
    case 4:
      *p = (x & 1) ? static_cast<uint8_t>((*p & 0x0F) | ((value & 0xF) << 4))
                   : static_cast<uint8_t>((*p & 0xF0) | (value & 0xF));
      break;
    case 8: *p = static_cast<uint8_t>(value); break;
    case 15:
    case 16: store16(p, value); break;
    case 24:
      p[0] = static_cast<uint8_t>(value);
      p[1] = static_cast<uint8_t>(value >> 8);
      p[2] = static_cast<uint8_t>(value >> 16);
      break;
    case 32: store32(p, value); break;
    default:
      ABORTCONTEXT("win\\writepix.c", "writepixel");
      abortmessage("writepixel - INVALID CURRENTWINDOW. BPP %d\n", w.depth);
      break;
  }
}

uint32_t readpixel(int32_t x, int32_t y) {
  const WindowDesc& w = CurrentWindow;
  if (!inclip(w, x, y)) return 0;
  const uint8_t* p = pixeladdress(w, x, y);
  switch (w.depth) {
    case 4: return (x & 1) ? (*p >> 4) : (*p & 0xF);
    case 8: return *p;
    case 15:
    case 16: return load16(p);
    case 24: return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    case 32: return load32(p);
    default:
      ABORTCONTEXT("win\\readpix.c", "readpixel");
      abortmessage("readpixel - INVALID CURRENTWINDOW. BPP %d\n", w.depth);
      return 0;
  }
}

void xorpixel(int32_t x, int32_t y, uint32_t value) {
  const WindowDesc& w = CurrentWindow;
  if (!inclip(w, x, y)) return;
  uint8_t* p = pixeladdress(w, x, y);
  switch (w.depth) {
    case 4: *p ^= static_cast<uint8_t>((value & 0xF) << ((x & 1) ? 4 : 0)); break;
    case 8: *p ^= static_cast<uint8_t>(value); break;
    case 15:
    case 16: store16(p, load16(p) ^ value); break;
    case 24:
      p[0] ^= static_cast<uint8_t>(value);
      p[1] ^= static_cast<uint8_t>(value >> 8);
      p[2] ^= static_cast<uint8_t>(value >> 16);
      break;
    case 32: store32(p, load32(p) ^ value); break;
    default:
      ABORTCONTEXT("win\\writepix.c", "xorpixel");
      abortmessage("writepixel - INVALID CURRENTWINDOW. BPP %d\n", w.depth);
      break;
  }
}

uint32_t argbfrom565(uint32_t p) {
  if (p == 0) return 0;
  return 0xFF000000u | (((p >> 11) & 31) << 19) | (((p >> 5) & 63) << 10) | ((p & 31) << 3);
}
uint32_t argbfrom555(uint32_t p) {
  if (p == 0) return 0;
  return 0xFF000000u | (((p >> 10) & 31) << 19) | (((p >> 5) & 31) << 11) | ((p & 31) << 3);
}
uint32_t argbto565(uint32_t c, int alphamode) {
  const uint32_t v = (((c >> 16) & 0xFF) >> 3) << 11 | (((c >> 8) & 0xFF) >> 2) << 5 | ((c & 0xFF) >> 3);
  if (!alphamode) return v;
  if ((c >> 24) < 0x40) return 0;
  return v ? v : 1;
}
uint32_t argbto555(uint32_t c, int alphamode) {
  const uint32_t v = 0x8000 | (((c >> 16) & 0xFF) >> 3) << 10 | (((c >> 8) & 0xFF) >> 3) << 5 | ((c & 0xFF) >> 3);
  if (alphamode) return (c >> 24) < 0x40 ? 0 : v;
  return c == 0 ? 0 : v;
}

uint32_t getargb(uint32_t value) {
  const int depth = CurrentWindow.depth;
  switch (depth) {
    case 15:
      if (value > 0xFFFF) {
        ABORTCONTEXT("cmn\\getargb.c", "getargb");
        abortmessage("getargb - INVALID 15 BIT COLOUR.\nCURRENT WINDOW BPP %d. REQUESTED ARGB FOR COLOUR %d ($%x).\n",
                     depth, static_cast<int>(value), value);
        return 0;
      }
      return ((value & 0x8000) ? 0xFF000000u : 0u) | (((value >> 10) & 31) << 19) | (((value >> 5) & 31) << 11) |
             ((value & 31) << 3);
    case 16:
      if (value > 0xFFFF) {
        ABORTCONTEXT("cmn\\getargb.c", "getargb");
        abortmessage("getargb - INVALID 16 BIT COLOUR.\nCURRENT WINDOW BPP %d. REQUESTED ARGB FOR COLOUR %d ($%x).\n",
                     depth, static_cast<int>(value), value);
        return 0;
      }
      return argbfrom565(value);
    case 24:
    case 32: return value;
    default:
      if (value > 255) {
        ABORTCONTEXT("cmn\\getargb.c", "getargb");
        abortmessage(
            "getargb - INVALID COLOUR INDEX.\nCURRENT WINDOW BPP %d. REQUESTED ARGB FOR COLOUR INDEX %d ($%x).\n",
            depth, static_cast<int>(value), value);
        return 0;
      }
      return CurrentPalette[value];
  }
}

uint32_t rgbpixel(uint32_t colour) {
  const int depth = CurrentWindow.depth;
  if (depth <= 8) {
    if (InverseColourTable) return InverseColourTable[inverseindex(colour)];
    return static_cast<uint32_t>(nearestcolour(colour));
  }
  if (depth == 15) return argbto555(colour, 0);
  if (depth == 16) return argbto565(colour, 0);
  if (depth >= 24) return colour;
  return 0;
}

int nearestcolour(uint32_t colour) {
  const int r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
  int best = 99999;
  int result = 0;
  for (int i = 0; i < 256; ++i) {
    if (!UsableEntries[i]) continue;
    const uint32_t e = CurrentPalette[i];
    const int dr = static_cast<int>((e >> 16) & 0xFF) - r;
    const int dg = static_cast<int>((e >> 8) & 0xFF) - g;
    const int db = static_cast<int>(e & 0xFF) - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      result = i;
    }
  }
  return result;
}

void rgbtopixels(int first, int count, const uint8_t* triples) {
  for (int i = 0; i < count; ++i) {
    const int slot = first + i;
    if (slot < 0 || slot > 255) continue;  // the remap table has 256 entries
    const uint32_t colour = (static_cast<uint32_t>(triples[3 * i]) << 16) | (triples[3 * i + 1] << 8) | triples[3 * i + 2];
    IndexRemap[slot] = static_cast<uint8_t>(InverseColourTable ? InverseColourTable[inverseindex(colour)]
                                                               : nearestcolour(colour));
  }
}

void fillrect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t value) {
  const WindowDesc& w = CurrentWindow;
  // Clip in 64 bits so that huge rectangles cannot wrap.
  const int64_t x0 = std::max<int64_t>(x, w.minx), y0 = std::max<int64_t>(y, w.miny);
  const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(x) + width, w.maxx);
  const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(y) + height, w.maxy);
  if (x0 >= x1 || y0 >= y1) return;
  const int32_t cx = static_cast<int32_t>(x0), cw = static_cast<int32_t>(x1 - x0);
  for (int64_t row = y0; row < y1; ++row) {
    const int32_t ry = static_cast<int32_t>(row);
    switch (w.depth) {
      case 4:
        // Whole bytes where they fit; odd ends through the nibble store.
        for (int32_t px = cx; px < cx + cw; ++px) writepixel(px, ry, value);
        break;
      case 8: std::memset(pixeladdress(w, cx, ry), static_cast<int>(value & 0xFF), static_cast<size_t>(cw)); break;
      case 15:
      case 16: {
        uint8_t* p = pixeladdress(w, cx, ry);
        for (int32_t i = 0; i < cw; ++i) store16(p + 2 * i, value);
        break;
      }
      case 24: {
        uint8_t* p = pixeladdress(w, cx, ry);
        for (int32_t i = 0; i < cw; ++i) {
          p[3 * i] = static_cast<uint8_t>(value);
          p[3 * i + 1] = static_cast<uint8_t>(value >> 8);
          p[3 * i + 2] = static_cast<uint8_t>(value >> 16);
        }
        break;
      }
      case 32: {
        uint8_t* p = pixeladdress(w, cx, ry);
        for (int32_t i = 0; i < cw; ++i) store32(p + 4 * i, value);
        break;
      }
      default: writepixel(cx, ry, value); return;  // reports the bad depth
    }
  }
}

void drawline(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t value) {
  if (!clipline(&x0, &y0, &x1, &y1)) return;
  const WindowDesc& w = CurrentWindow;
  walkline(x0, y0, x1, y1, [&w, value](int32_t x, int32_t y) { putpixel(w, x, y, value); });
}

namespace {
// Palette ranges from callers are trimmed to the 256 entries.
bool paletterange(int& first, int& count) {
  if (first < 0) {
    count += first;
    first = 0;
  }
  if (first > 256) first = 256;
  count = std::min(count, 256 - first);
  return count > 0;
}
}  // namespace

void setpalette(int first, int count, const uint8_t* triples) {
  const int skipped = first < 0 ? -first : 0;
  if (!paletterange(first, count)) return;
  triples += 3 * skipped;
  for (int i = 0; i < count; ++i)
    CurrentPalette[first + i] = 0xFF000000u | (triples[3 * i] << 16) | (triples[3 * i + 1] << 8) | triples[3 * i + 2];
  updatepalette(nullptr, first, count);
}

void setpalette32(int first, int count, const uint32_t* entries) {
  const int skipped = first < 0 ? -first : 0;
  if (!paletterange(first, count)) return;
  std::memcpy(&CurrentPalette[first], entries + skipped, sizeof(uint32_t) * static_cast<size_t>(count));
  updatepalette(nullptr, first, count);
}

void getpalette(int first, int count, uint8_t* triples) {
  const int skipped = first < 0 ? -first : 0;
  if (!paletterange(first, count)) return;
  triples += 3 * skipped;
  for (int i = 0; i < count; ++i) {
    const uint32_t e = CurrentPalette[first + i];
    triples[3 * i] = static_cast<uint8_t>(e >> 16);
    triples[3 * i + 1] = static_cast<uint8_t>(e >> 8);
    triples[3 * i + 2] = static_cast<uint8_t>(e);
  }
}

void getpalette32(int first, int count, uint32_t* entries) {
  const int skipped = first < 0 ? -first : 0;
  if (!paletterange(first, count)) return;
  std::memcpy(entries + skipped, &CurrentPalette[first], sizeof(uint32_t) * static_cast<size_t>(count));
}

void vgapalette(int first, int count, const uint8_t* triples) {
  const int skipped = first < 0 ? -first : 0;
  if (!paletterange(first, count)) return;
  triples += 3 * skipped;
  for (int i = 0; i < count; ++i) {
    uint32_t c[3];
    for (int k = 0; k < 3; ++k) {
      const uint32_t v = triples[3 * i + k];
      c[k] = (v * 4) | (v >> 4);
      if (c[k] > 255) {
        ABORTCONTEXT("win\\palette.c", "vgapalette");
        abortmessage("vgapalette - ENTRY %d OVERFLOWED!\n", first + i);
        return;
      }
    }
    CurrentPalette[first + i] = 0xFF000000u | (c[0] << 16) | (c[1] << 8) | c[2];
  }
  updatepalette(nullptr, first, count);
}

void getvgapalette() {
  ABORTCONTEXT("win\\palette.c", "getvgapalette");
  abortmessage("getvgapalette - STOP USING VGA PALETTES, THEY`VE BEEN OBSOLETE FOR 5 YEARS!\n");
}

void updatepalette(WindowDesc* window, int first, int count) {
  if (!window) window = &DisplayWindow;
  if (gfxstate().graphicsstate != 7 || window->depth > 8) return;
  if (!paletterange(first, count)) return;
  const GfxDisplayHooks& hooks = gfxhooks();
  if (!hooks.setwinpalette) return;
  // The display refuses a locked surface: release the current window around the hand-over.
  const bool locked = gfxstate().surfacelocked != 0;
  WindowDesc saved{};
  if (locked) {
    savecurrentwindow(&saved);
    releasewindow();
  }
  uint32_t held[256];
  const bool fixed = hooks.setwinpalette(window, first, count, &CurrentPalette[first], held) == 0;
  if (locked) restorecurrentwindow(&saved);
  if (!fixed) std::memcpy(&CurrentPalette[first], held, sizeof(uint32_t) * static_cast<size_t>(count));
}

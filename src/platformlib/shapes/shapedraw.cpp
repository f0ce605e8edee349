// The unscaled shape drawing engine: clip, bring the shape to the window's pixel type (row by row or whole),
// and hand each visible row to the routine of the window's depth from a routine set.
#include <algorithm>
#include <cstring>
#include <vector>

#include <tmmintrin.h>

#include "platformlib/core/cpu.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

int copymode = -1;
uint8_t darkenbytes[256] = {
#define ROW16(n) n, n + 1, n + 2, n + 3, n + 4, n + 5, n + 6, n + 7, n + 8, n + 9, n + 10, n + 11, n + 12, n + 13, n + 14, n + 15
    ROW16(0),   ROW16(16),  ROW16(32),  ROW16(48),  ROW16(64),  ROW16(80),  ROW16(96),  ROW16(112),
    ROW16(128), ROW16(144), ROW16(160), ROW16(176), ROW16(192), ROW16(208), ROW16(224), ROW16(240),
#undef ROW16
};

namespace {

constexpr int32_t kGuardPixels = 40000;

// Working state of the current draw.
RowConverter drawconverter = nullptr;
RowRoutine depthroutine = nullptr;
std::vector<uint8_t> scratchrow;  // sized from the row before each draw, so a converted row always fits
uint32_t table16a[256];
uint16_t table16[256];  // the pixels of table16a


// Plain copies. Every copy strategy of the original reduces to an exact byte copy; memcpy is the fastest here.
void plain4(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n / 2)); }
void plain8(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n)); }
void plain16(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n) * 2); }
void plain24(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n) * 3); }
void plain32(const uint8_t* s, uint8_t* d, int n) { std::memcpy(d, s, static_cast<size_t>(n) * 4); }

void pix4(const uint8_t* s, uint8_t* d, int n) { copypixels4(d, s, n); }
void pix8(const uint8_t* s, uint8_t* d, int n) { copypixels8(d, s, n); }
void pix16(const uint8_t* s, uint8_t* d, int n) { copypixels16(d, s, n); }
void pix24(const uint8_t* s, uint8_t* d, int n) { copypixels24(d, s, n); }
void pix32(const uint8_t* s, uint8_t* d, int n) { copypixels32(d, s, n); }

// Transparent copies: the named value leaves the destination.
void skip4(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint8_t v = (i & 1) ? (s[i >> 1] >> 4) : (s[i >> 1] & 15);
    if (!v) continue;
    uint8_t& b = d[i >> 1];
    b = (i & 1) ? static_cast<uint8_t>((b & 0x0F) | (v << 4)) : static_cast<uint8_t>((b & 0xF0) | v);
  }
}
void skip8(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i)
    if (s[i] != 0xFF) d[i] = s[i];
}
void skip16(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint16_t v = shaperead16(s + 2 * i);
    if (v) shapewrite16(d + 2 * i, v);
  }
}
void skip24(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i)
    if (s[3 * i] | s[3 * i + 1] | s[3 * i + 2]) std::memcpy(d + 3 * i, s + 3 * i, 3);
}
void skip32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i)
    if (s[4 * i + 3]) std::memcpy(d + 4 * i, s + 4 * i, 4);
}

// Alpha blends of premultiplied 32-bit sources: result = source + destination x (255 - A) / 256.
inline uint32_t blendch(uint32_t s, uint32_t d, uint32_t k) { return std::min<uint32_t>(255, s + ((d * k) >> 8)); }

}  // namespace

uint32_t blendover565(uint32_t c, uint32_t dest) {
  const uint32_t a = c >> 24;
  if (a < 0x10) return dest;
  if (a >= 0xFC) return argbto565(c, 0);
  const uint32_t k = 255 - a;
  const uint32_t dr = ((dest >> 11) & 31) << 3, dg = ((dest >> 5) & 63) << 2, db = (dest & 31) << 3;
  const uint32_t r = blendch((c >> 16) & 0xFF, dr, k), g = blendch((c >> 8) & 0xFF, dg, k), b = blendch(c & 0xFF, db, k);
  return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}
uint32_t blendover555(uint32_t c, uint32_t dest) {
  const uint32_t a = c >> 24;
  if (a < 0x10) return dest;
  if (a >= 0xFC) return argbto555(c, 0);
  const uint32_t k = 255 - a;
  const uint32_t r = blendch((c >> 16) & 0xFF, ((dest >> 10) & 31) << 3, k);
  const uint32_t g = blendch((c >> 8) & 0xFF, ((dest >> 5) & 31) << 3, k);
  const uint32_t b = blendch(c & 0xFF, (dest & 31) << 3, k);
  // The blend is opaque: black keeps bit 15 and is not taken for the colour key.
  return argbto555(0xFF000000u | (r << 16) | (g << 8) | b, 0);
}

namespace {

void alpha8(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = shaperead32(s + 4 * i);
    const uint32_t a = c >> 24;
    if (!a) continue;
    const uint32_t dc = getargb(d[i]);
    if (!(dc >> 24)) continue;  // a transparent palette entry keeps its pixel
    const uint32_t k = 255 - a;
    const uint32_t r = blendch((c >> 16) & 0xFF, (dc >> 16) & 0xFF, k), g = blendch((c >> 8) & 0xFF, (dc >> 8) & 0xFF, k),
                   b = blendch(c & 0xFF, dc & 0xFF, k);
    d[i] = static_cast<uint8_t>(rgbpixel(0xFF000000u | (r << 16) | (g << 8) | b));
  }
}
// blendover565() or blendover555() of eight pixels in 16-bit lanes: alpha and channels of the colours, and the
// destination pixels.
template <bool Is565>
inline __m128i blendover8(__m128i a, __m128i sr, __m128i sg, __m128i sb, __m128i dest) {
  const __m128i c31 = _mm_set1_epi16(31), c255 = _mm_set1_epi16(255);
  const __m128i k = _mm_sub_epi16(c255, a);
  __m128i dr, dg;
  const __m128i db = _mm_slli_epi16(_mm_and_si128(dest, c31), 3);
  if (Is565) {
    dr = _mm_slli_epi16(_mm_srli_epi16(dest, 11), 3);
    dg = _mm_slli_epi16(_mm_and_si128(_mm_srli_epi16(dest, 5), _mm_set1_epi16(63)), 2);
  } else {
    dr = _mm_slli_epi16(_mm_and_si128(_mm_srli_epi16(dest, 10), c31), 3);
    dg = _mm_slli_epi16(_mm_and_si128(_mm_srli_epi16(dest, 5), c31), 3);
  }
  // blendch(): (d * k) >> 8 is the high half of (d << 8) * k.
  auto blend = [&](__m128i sc, __m128i dc) {
    return _mm_min_epi16(c255, _mm_add_epi16(sc, _mm_mulhi_epu16(_mm_slli_epi16(dc, 8), k)));
  };
  auto pack = [&](__m128i r, __m128i g, __m128i b) {
    if (Is565)
      return _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(r, 3), 11), _mm_slli_epi16(_mm_srli_epi16(g, 2), 5)),
                          _mm_srli_epi16(b, 3));
    return _mm_or_si128(_mm_or_si128(_mm_set1_epi16(static_cast<int16_t>(0x8000)), _mm_slli_epi16(_mm_srli_epi16(r, 3), 10)),
                        _mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(g, 3), 5), _mm_srli_epi16(b, 3)));
  };
  const __m128i mixed = pack(blend(sr, dr), blend(sg, dg), blend(sb, db)), opaque = pack(sr, sg, sb);
  const __m128i keep = _mm_cmplt_epi16(a, _mm_set1_epi16(0x10)), full = _mm_cmpgt_epi16(a, _mm_set1_epi16(0xFB));
  const __m128i out = _mm_or_si128(_mm_and_si128(full, opaque), _mm_andnot_si128(full, mixed));
  return _mm_or_si128(_mm_and_si128(keep, dest), _mm_andnot_si128(keep, out));
}

// blendover565() or blendover555() of eight pixels at a time, the rest one by one.
template <bool Is565>
void alphaover16(const uint8_t* s, uint8_t* d, int n) {
  int i = 0;
  const __m128i byte = _mm_set1_epi32(0xFF);
  for (; i + 8 <= n; i += 8) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i + 16));
    const __m128i dest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * i));
    auto channel = [&](int shift) {
      return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(s0, shift), byte), _mm_and_si128(_mm_srli_epi32(s1, shift), byte));
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i),
                     blendover8<Is565>(channel(24), channel(16), channel(8), channel(0), dest));
  }
  for (; i < n; ++i) {
    const uint32_t c = shaperead32(s + 4 * i), dest = shaperead16(d + 2 * i);
    shapewrite16(d + 2 * i, Is565 ? blendover565(c, dest) : blendover555(c, dest));
  }
}

// alphaover16() of the colours ramp[v] for the 4-bit steps v of `steps` (two to a byte, the left one high),
// looked up sixteen at a time by a byte shuffle.
template <bool Is565>
__attribute__((target("ssse3"))) void rampover16(const uint32_t* ramp, const uint8_t* steps, uint8_t* d, int n) {
  // The ramp's sixteen values of each channel, one to a byte.
  __m128i planes[4];
  const __m128i gather = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  for (int q = 0; q < 4; ++q)
    planes[q] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ramp + 4 * q)), gather);
  const __m128i low01 = _mm_unpacklo_epi32(planes[0], planes[1]), low23 = _mm_unpacklo_epi32(planes[2], planes[3]);
  const __m128i high01 = _mm_unpackhi_epi32(planes[0], planes[1]), high23 = _mm_unpackhi_epi32(planes[2], planes[3]);
  const __m128i blue = _mm_unpacklo_epi64(low01, low23), green = _mm_unpackhi_epi64(low01, low23);
  const __m128i red = _mm_unpacklo_epi64(high01, high23), alpha = _mm_unpackhi_epi64(high01, high23);
  const __m128i nibble = _mm_set1_epi8(15), zero = _mm_setzero_si128();
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    int32_t four;
    std::memcpy(&four, steps + i / 2, 4);
    const __m128i packed = _mm_cvtsi32_si128(four);
    const __m128i v = _mm_unpacklo_epi8(_mm_and_si128(_mm_srli_epi16(packed, 4), nibble), _mm_and_si128(packed, nibble));
    auto channel = [&](__m128i plane) __attribute__((target("ssse3"))) { return _mm_unpacklo_epi8(_mm_shuffle_epi8(plane, v), zero); };
    const __m128i dest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i),
                     blendover8<Is565>(channel(alpha), channel(red), channel(green), channel(blue), dest));
  }
  for (; i < n; ++i) {
    const uint32_t c = ramp[i & 1 ? steps[i / 2] & 15 : steps[i / 2] >> 4], dest = shaperead16(d + 2 * i);
    shapewrite16(d + 2 * i, Is565 ? blendover565(c, dest) : blendover555(c, dest));
  }
}

const bool hasbyteshuffle = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
}();

void alpha15(const uint8_t* s, uint8_t* d, int n) { alphaover16<false>(s, d, n); }
void alpha16(const uint8_t* s, uint8_t* d, int n) { alphaover16<true>(s, d, n); }
void alpha24(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = shaperead32(s + 4 * i);
    const uint32_t a = c >> 24;
    if (!a) continue;
    const uint32_t k = 255 - a;
    for (int j = 0; j < 3; ++j) d[3 * i + j] = static_cast<uint8_t>(blendch((c >> (8 * j)) & 0xFF, d[3 * i + j], k));
  }
}
void alpha32(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t c = shaperead32(s + 4 * i);
    const uint32_t a = c >> 24;
    if (!a) continue;
    const uint32_t dc = shaperead32(d + 4 * i);
    const uint32_t da = dc >> 24;
    if (!da) {
      shapewrite32(d + 4 * i, c);
      continue;
    }
    const uint32_t k = 255 - a;
    uint32_t out = (255 - ((k * (255 - da)) >> 8)) << 24;
    for (int j = 0; j < 3; ++j) out |= blendch((c >> (8 * j)) & 0xFF, (dc >> (8 * j)) & 0xFF, k) << (8 * j);
    shapewrite32(d + 4 * i, out);
  }
}
void nothing(const uint8_t*, uint8_t*, int) {}

// 8-bit shapes on 16-bit windows: palette entries with alpha from getclut16aptr.
// Eight pixels at a time: the looked-up pixels replace the destination's where the source is not the key 0xFF.
void transrow8to16(const uint8_t* s, uint8_t* d, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i src = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + i));
    const __m128i key = _mm_cmpeq_epi8(src, _mm_set1_epi8(-1));
    const int keyed = _mm_movemask_epi8(key) & 0xFF;
    if (keyed == 0xFF) continue;
    __m128i v = _mm_cvtsi32_si128(table16[s[i]]);
    v = _mm_insert_epi16(v, table16[s[i + 1]], 1), v = _mm_insert_epi16(v, table16[s[i + 2]], 2);
    v = _mm_insert_epi16(v, table16[s[i + 3]], 3), v = _mm_insert_epi16(v, table16[s[i + 4]], 4);
    v = _mm_insert_epi16(v, table16[s[i + 5]], 5), v = _mm_insert_epi16(v, table16[s[i + 6]], 6);
    v = _mm_insert_epi16(v, table16[s[i + 7]], 7);
    auto* out = reinterpret_cast<__m128i*>(d + 2 * i);
    if (keyed) {
      const __m128i keep = _mm_unpacklo_epi8(key, key);
      v = _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(out)), _mm_andnot_si128(keep, v));
    }
    _mm_storeu_si128(out, v);
  }
  for (; i < n; ++i)
    if (s[i] != 0xFF) shapewrite16(d + 2 * i, table16[s[i]]);
}
// The palette's colours as premultiplied 8-bit channels, made once a draw rather than once a pixel.
uint32_t premultiplied16a[256];

void premultiplytable16a() {
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = table16a[i];
    const uint32_t a = e >> 24, p = e & 0xFFFF;
    premultiplied16a[i] = (a << 24) | (((((p >> 11) & 31) << 3) * a / 255) << 16) |
                          (((((p >> 5) & 63) << 2) * a / 255) << 8) | (((p & 31) << 3) * a / 255);
  }
}

void alpharow8to16(const uint8_t* s, uint8_t* d, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t e = table16a[s[i]];
    const uint32_t a = e >> 24;
    if (a < 0x10) continue;
    if (a >= 0xFC) {
      shapewrite16(d + 2 * i, e & 0xFFFF);
      continue;
    }
    shapewrite16(d + 2 * i, blendover565(premultiplied16a[s[i]], shaperead16(d + 2 * i)));
  }
}

void convertrow(const uint8_t* s, uint8_t* d, int n) {
  drawconverter(s, scratchrow.data(), n);
  depthroutine(scratchrow.data(), d, n);
}

int bytesfor(int depth, int64_t count) {
  switch (depth) {
    case 4: return static_cast<int>(count / 2);
    case 8: return static_cast<int>(count);
    case 15: case 16: return static_cast<int>(count * 2);
    case 24: return static_cast<int>(count * 3);
    case 32: return static_cast<int>(count * 4);
    default: return 0;
  }
}

void choosecopymode() {
  if (copymode < 0) copymode = cpuhasmmx ? 3 : 1;
}

}  // namespace

DrawRoutineSet plainsets[4] = {
    {plain4, plain8, plain16, plain16, plain24, plain32, nullptr, 2, 0},
    {plain4, plain8, plain16, plain16, plain24, plain32, nullptr, 2, 0},
    {plain4, plain8, plain16, plain16, plain24, plain32, nullptr, 2, 0},
    {plain4, plain8, plain16, plain16, plain24, plain32, nullptr, 2, 0},
};
DrawRoutineSet setposset = {pix4, pix8, pix16, pix16, pix24, pix32, nullptr, 0, 0};
DrawRoutineSet transparentset = {skip4, skip8, skip16, skip16, skip24, skip32, nullptr, 0, 0};
DrawRoutineSet alphaset = {nothing, alpha8, alpha15, alpha16, alpha24, alpha32, nullptr, 3, 0x7D};

void movdfl(const uint8_t* shape, int32_t x, int32_t y, DrawRoutineSet* set) {
  const WindowDesc& w = CurrentWindow;
  if (!shapetypedepth(shape[0]) && abortonerror) {
    ABORTCONTEXT("win\\movdfl", "movdfl");
    abortmessage("movdfl - INVALID SHAPE TYPE ($%02x)\n", shape[0]);
  }
  const uint8_t target = set->target ? set->target : w.shapetype;
  if (!target) {
    if (abortonerror) {
      ABORTCONTEXT("win\\movdfl", "movdfl");
      abortmessage("movdfl - INVALID TARGET (WINDOW) TYPE %d\n", target);
    }
    return;
  }
  if (shape[0] & kShapePacked) return;  // packed pixels are unpacked by their owner before drawing

  // Cheap rejection before any conversion work.
  const int32_t width = shapewidth(shape), height = shapeheight(shape);
  if (width <= 0 || height <= 0 || x >= w.maxx || y >= w.maxy || x + width <= w.minx || y + height <= w.miny) return;
  if (!w.pixels || !w.rows || !w.cols) return;

  const uint8_t* source = shape;
  uint8_t* converted = nullptr;
  drawconverter = nullptr;
  if (!set->rowoverride && shape[0] != target) {
    if (set->mode == 2) {
      converted = convertshapetypex(shape, target, 0, 0);
    } else {
      drawconverter = getshapeconverter(shape, target, 1);
      if (!drawconverter) converted = convertshapetypex(shape, target, set->mode == 1, 1);
    }
    if (converted) source = converted;
    if (!drawconverter && !converted) return;
  }

  // Clip.
  int32_t skipx = 0, skipy = 0, cols = width, rows = height;
  if (x < w.minx) skipx = w.minx - x;
  if (y < w.miny) skipy = w.miny - y;
  cols = std::min(x + width, w.maxx) - (x + skipx);
  rows = std::min(y + height, w.maxy) - (y + skipy);
  if (cols > 0 && rows > 0) {
    const int sdepth = shapetypedepth(source[0]);
    const int32_t srow = shaperowbytes(source);
    const uint8_t* s = source + 16 + static_cast<int64_t>(skipy) * srow + static_cast<int64_t>(skipx) * sdepth / 8;
    uint8_t* d = w.pixels + w.rows[y + skipy] + w.cols[x + skipx];
    RowRoutine routine = set->rowoverride;
    if (!routine) {
      switch (w.depth) {
        case 4: routine = set->depth4; break;
        case 8: routine = set->depth8; break;
        case 15: routine = set->depth15; break;
        case 16: routine = set->depth16; break;
        case 24: routine = set->depth24; break;
        case 32: routine = set->depth32; break;
        default: break;
      }
    }
    if (routine && drawconverter) {
      depthroutine = routine;
      scratchrow.resize(static_cast<size_t>(cols) * 4 + 16);
      routine = convertrow;
    }
    if (routine) {
      const int drawn = bytesfor(w.depth, cols);
      const int32_t rowstep = y + skipy + 1 < w.height ? w.rows[y + skipy + 1] - w.rows[y + skipy] : w.rowbytes;
      if (!w.surface && !drawconverter && !set->rowoverride && rowstep == drawn && srow == drawn) {
        routine(s, d, cols * rows);
      } else {
        int32_t counter = 0;
        for (int32_t r = 0; r < rows; ++r) {
          routine(s, w.pixels + w.rows[y + skipy + r] + w.cols[x + skipx], cols);
          s += srow;
          if (w.surface) {
            counter += cols;
            if (counter > kGuardPixels) {
              counter = 0;
              if (!surfaceguard()) break;
            }
          }
        }
      }
    }
  }
  drawconverter = nullptr;
  if (converted) purgememadr(converted);
}

void drawshape(const uint8_t* shape, int32_t x, int32_t y) {
  choosecopymode();
  movdfl(shape, x, y, &plainsets[copymode & 3]);
}
void drawshapepos(const uint8_t* shape) { drawshape(shape, shapeposx(shape), shapeposy(shape)); }
void drawshapecentred(const uint8_t* shape, int32_t x, int32_t y) {
  drawshape(shape, x - shapecentrex(shape), y - shapecentrey(shape));
}

void drawshapesetpos(uint8_t* shape, int32_t x, int32_t y) {
  movdfl(shape, x, y, &setposset);
  shapewrite16(shape + 12, (shaperead16(shape + 12) & 0xF000) | (static_cast<uint32_t>(x) & 0x0FFF));
  shapewrite16(shape + 14, (shaperead16(shape + 14) & 0xF000) | (static_cast<uint32_t>(y) & 0x0FFF));
}

void drawshapetrans(const uint8_t* shape, int32_t x, int32_t y) {
  const int index = shapetypeindex(shape[0]) == 0 ? 0 : 255;
  const uint32_t saved = CurrentPalette[index];
  CurrentPalette[index] = 0;
  if (shapetypeindex(shape[0]) == 1 && (CurrentWindow.depth == 16)) {
    getclut16aptr(shape, table16a);
    for (int i = 0; i < 256; ++i) table16[i] = static_cast<uint16_t>(table16a[i]);
    transparentset.rowoverride = transrow8to16;
    transparentset.target = 0x7B;
  }
  movdfl(shape, x, y, &transparentset);
  transparentset.rowoverride = nullptr;
  transparentset.target = 0;
  CurrentPalette[index] = saved;
}
void drawshapetranspos(const uint8_t* shape) { drawshapetrans(shape, shapeposx(shape), shapeposy(shape)); }
void drawshapetranscentred(const uint8_t* shape, int32_t x, int32_t y) {
  drawshapetrans(shape, x - shapecentrex(shape), y - shapecentrey(shape));
}

void drawshapealpha(const uint8_t* shape, int32_t x, int32_t y) {
  if (shapetypeindex(shape[0]) == 1 && CurrentWindow.depth == 16) {
    getclut16aptr(shape, table16a);
    premultiplytable16a();
    alphaset.rowoverride = alpharow8to16;
    alphaset.target = 0x7B;
  }
  movdfl(shape, x, y, &alphaset);
  alphaset.rowoverride = nullptr;
  alphaset.target = 0x7D;
}
void drawshapealphapos(const uint8_t* shape) { drawshapealpha(shape, shapeposx(shape), shapeposy(shape)); }
void drawshapealphacentred(const uint8_t* shape, int32_t x, int32_t y) {
  drawshapealpha(shape, x - shapecentrex(shape), y - shapecentrey(shape));
}

void drawbox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour) {
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  fillrect(x1, y1, w, 1, colour);
  if (h > 2) {
    fillrect(x2, y1 + 1, 1, h - 2, colour);
    fillrect(x1, y1 + 1, 1, h - 2, colour);
  }
  if (h > 1) fillrect(x1, y2, w, 1, colour);
}

void fillrectalpha(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
  if (width <= 0 || height <= 0) return;
  WindowDesc saved;
  savecurrentwindow(&saved);
  WindowDesc* window = createwindowadr(width, height, 32);
  restorecurrentwindow(&saved);
  if (!window) return;
  fillmem32(window->pixels, width * height * 4, colour);  // a byte count: four per 32-bit pixel
  drawshapealpha(window->shape, x, y);
  removewindow(window);
}

void setwindowclip(WindowDesc* window, int32_t minx, int32_t miny, int32_t maxx, int32_t maxy) {
  auto fix = [](int32_t v, int32_t limit) { return std::clamp(v, 0, limit); };
  window->minx = fix(minx, window->width);
  window->miny = fix(miny, window->height);
  window->maxx = fix(maxx, window->width);
  window->maxy = fix(maxy, window->height);
}
void setclip(int32_t minx, int32_t miny, int32_t maxx, int32_t maxy) {
  setwindowclip(&CurrentWindow, minx, miny, maxx, maxy);
}
void resetwindowclip(WindowDesc* window) { setwindowclip(window, 0, 0, window->width, window->height); }
void resetclip() { resetwindowclip(&CurrentWindow); }

WindowDesc* windowfromshape(uint8_t* shape, uint32_t memclass) {
  const int depth = shapetypedepth(shape[0]);
  if (!depth || (shape[0] & kShapePacked) || !rowspaceready()) return nullptr;
  auto* w = static_cast<WindowDesc*>(reservememadr("shapewindow", static_cast<int>(sizeof(WindowDesc)), memclass));
  if (!w) return nullptr;
  initwindowfields(w, shapewidth(shape), shapeheight(shape), depth, shaperowbytes(shape), shape + 16);
  w->shapetype = shape[0];
  w->shape = shape;
  w->rows = makerow(0, w->rowbytes, 0, w->height);
  w->cols = makerow(0, depth == 15 ? 16 : depth, 3, w->width);
  if (!w->rows || !w->cols) {
    removerow(w->rows);
    removerow(w->cols);
    purgememadr(w);
    return nullptr;
  }
  return w;
}

void blendrow565(const uint8_t* colours, uint8_t* pixels, int n) { alphaover16<true>(colours, pixels, n); }
void blendrow555(const uint8_t* colours, uint8_t* pixels, int n) { alphaover16<false>(colours, pixels, n); }

void blendramprow16(bool is565, const uint32_t* ramp, const uint8_t* steps, uint8_t* pixels, int n) {
  if (hasbyteshuffle) {
    is565 ? rampover16<true>(ramp, steps, pixels, n) : rampover16<false>(ramp, steps, pixels, n);
    return;
  }
  uint32_t colours[64];
  for (int done = 0; done < n; done += 64) {
    const int count = std::min(64, n - done);
    for (int i = 0; i < count; ++i) {
      const uint8_t b = steps[(done + i) / 2];
      colours[i] = ramp[(done + i) & 1 ? b & 15 : b >> 4];
    }
    (is565 ? alphaover16<true> : alphaover16<false>)(reinterpret_cast<const uint8_t*>(colours), pixels + 2 * done, count);
  }
}

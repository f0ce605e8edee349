// Edge functions on a 1/16-pixel grid with the top-left rule, so triangles that share an edge cover each pixel
// once; attributes are planes in screen space, texture coordinates divided by rhw for perspective.
#include "winapi/d3d/raster.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <type_traits>

#include <immintrin.h>

namespace winapi::d3d {
namespace {

constexpr int kSub = 16;  // sub-pixel steps

struct Pixel {
  float z, q, uq, vq;
  float r, g, b, a;
  float sr, sg, sb, fog;
};

inline int Clamp255(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<int>(v + 0.5f);
}

inline bool Compare(int func, uint32_t value, uint32_t ref) {
  switch (func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return value < ref;
    case D3DCMP_EQUAL: return value == ref;
    case D3DCMP_LESSEQUAL: return value <= ref;
    case D3DCMP_GREATER: return value > ref;
    case D3DCMP_NOTEQUAL: return value != ref;
    case D3DCMP_GREATEREQUAL: return value >= ref;
    default: return true;
  }
}

inline uint32_t ReadTarget(const RasterTarget& t, int x, int y) {
  const uint8_t* row = t.pixels + static_cast<ptrdiff_t>(y) * t.pitch;
  if (t.format == TargetFormat::Xrgb8888) return reinterpret_cast<const uint32_t*>(row)[x] | 0xFF000000u;
  const uint32_t p = reinterpret_cast<const uint16_t*>(row)[x];
  uint32_t r, g, b;
  if (t.format == TargetFormat::Rgb565) {
    r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    r = (r << 3) | (r >> 2), g = (g << 2) | (g >> 4), b = (b << 3) | (b >> 2);
  } else {
    r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    r = (r << 3) | (r >> 2), g = (g << 3) | (g >> 2), b = (b << 3) | (b >> 2);
  }
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

inline void WriteTarget(const RasterTarget& t, int x, int y, int r, int g, int b) {
  uint8_t* row = t.pixels + static_cast<ptrdiff_t>(y) * t.pitch;
  switch (t.format) {
    case TargetFormat::Xrgb8888:
      reinterpret_cast<uint32_t*>(row)[x] = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
                                            static_cast<uint32_t>(b);
      break;
    case TargetFormat::Rgb565:
      reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
      break;
    case TargetFormat::Rgb555:
      reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
      break;
  }
}

inline uint32_t ReadDepth(const RasterDepth& d, int x, int y) {
  const uint8_t* row = d.pixels + static_cast<ptrdiff_t>(y) * d.pitch;
  switch (d.bits) {
    case 16: return reinterpret_cast<const uint16_t*>(row)[x];
    case 24: {
      const uint8_t* p = row + x * 3;
      return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    default: return reinterpret_cast<const uint32_t*>(row)[x];
  }
}

inline void WriteDepth(const RasterDepth& d, int x, int y, uint32_t z) {
  uint8_t* row = d.pixels + static_cast<ptrdiff_t>(y) * d.pitch;
  switch (d.bits) {
    case 16: reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(z); break;
    case 24: {
      uint8_t* p = row + x * 3;
      p[0] = static_cast<uint8_t>(z), p[1] = static_cast<uint8_t>(z >> 8), p[2] = static_cast<uint8_t>(z >> 16);
      break;
    }
    default: reinterpret_cast<uint32_t*>(row)[x] = z; break;
  }
}

inline uint32_t DepthValue(float z, uint32_t max) {
  if (!(z > 0.0f)) return 0;
  if (z >= 1.0f) return max;
  if (max <= 0xFFFF) return static_cast<uint32_t>(z * static_cast<float>(max) + 0.5f);
  return static_cast<uint32_t>(static_cast<double>(z) * max + 0.5);
}

inline int FastFloor(float f) {
  const int i = static_cast<int>(f);
  return f < static_cast<float>(i) ? i - 1 : i;
}

inline int WrapOrClamp(int i, int size, bool wrap) {
  if (wrap) {
    if (!(size & (size - 1))) return i & (size - 1);
    i %= size;
    return i < 0 ? i + size : i;
  }
  return i < 0 ? 0 : (i >= size ? size - 1 : i);
}

// Two texels mixed by w/256, two channels at a time.
inline uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t rb = (((a & 0xFF00FF) * (256 - w) + (b & 0xFF00FF) * w) >> 8) & 0xFF00FF;
  const uint32_t ag = (((a >> 8) & 0xFF00FF) * (256 - w) + ((b >> 8) & 0xFF00FF) * w) & 0xFF00FF00;
  return rb | ag;
}

inline float Tame(float f) { return std::isfinite(f) ? std::clamp(f, -65536.0f, 65536.0f) : 0.0f; }

uint32_t Sample(const TextureImage& t, float u, float v, bool bilinear, bool wrap) {
  u = Tame(u), v = Tame(v);
  const size_t w = static_cast<size_t>(t.width);
  if (!bilinear) {
    const int x = WrapOrClamp(FastFloor(u * static_cast<float>(t.width)), t.width, wrap);
    const int y = WrapOrClamp(FastFloor(v * static_cast<float>(t.height)), t.height, wrap);
    return t.texels[static_cast<size_t>(y) * w + static_cast<size_t>(x)];
  }
  const float fu = u * static_cast<float>(t.width) - 0.5f;
  const float fv = v * static_cast<float>(t.height) - 0.5f;
  const int bu = FastFloor(fu), bv = FastFloor(fv);
  const uint32_t wu = static_cast<uint32_t>((fu - static_cast<float>(bu)) * 256.0f);
  const uint32_t wv = static_cast<uint32_t>((fv - static_cast<float>(bv)) * 256.0f);
  const size_t x0 = static_cast<size_t>(WrapOrClamp(bu, t.width, wrap)), x1 = static_cast<size_t>(WrapOrClamp(bu + 1, t.width, wrap));
  const size_t y0 = static_cast<size_t>(WrapOrClamp(bv, t.height, wrap)), y1 = static_cast<size_t>(WrapOrClamp(bv + 1, t.height, wrap));
  const uint32_t top = Lerp(t.texels[y0 * w + x0], t.texels[y0 * w + x1], wu);
  const uint32_t bottom = Lerp(t.texels[y1 * w + x0], t.texels[y1 * w + x1], wu);
  return Lerp(top, bottom, wv);
}

inline int BlendFactor(int factor, int channel, int srcC, int srcA, int dstC, int dstA) {
  (void)channel;
  switch (factor) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return srcC;
    case D3DBLEND_INVSRCCOLOR: return 255 - srcC;
    case D3DBLEND_SRCALPHA: return srcA;
    case D3DBLEND_INVSRCALPHA: return 255 - srcA;
    case D3DBLEND_DESTALPHA: return dstA;
    case D3DBLEND_INVDESTALPHA: return 255 - dstA;
    case D3DBLEND_DESTCOLOR: return dstC;
    case D3DBLEND_INVDESTCOLOR: return 255 - dstC;
    case D3DBLEND_SRCALPHASAT: return std::min(srcA, 255 - dstA);
    default: return 255;
  }
}

// Everything after coverage: depth, texture, colour, fog, alpha test, blending.
__attribute__((always_inline)) inline void Shade(const RasterTarget& t, const RasterDepth& d, const RasterState& s, uint32_t zmax, int x, int y,
                  const Pixel& p) {
  uint32_t zv = 0;
  const bool useDepth = d.pixels && (s.zTest || s.zWrite);
  if (useDepth) {
    zv = DepthValue(p.z, zmax);
    if (s.zTest && !Compare(s.zFunc, zv, ReadDepth(d, x, y))) return;
  }
  int r = Clamp255(p.r), g = Clamp255(p.g), b = Clamp255(p.b), a = Clamp255(p.a);
  if (s.texture) {
    float u = p.uq, v = p.vq;
    if (s.perspective && p.q != 0.0f) {
      const float w = 1.0f / p.q;
      u *= w, v *= w;
    }
    const uint32_t tex = Sample(*s.texture, u, v, s.bilinear, s.wrap);
    const int ta = static_cast<int>(tex >> 24), tr = (tex >> 16) & 255, tg = (tex >> 8) & 255, tb = tex & 255;
    switch (s.textureBlend) {
      case D3DTBLEND_DECAL:
      case D3DTBLEND_COPY:
        r = tr, g = tg, b = tb, a = ta;
        break;
      case D3DTBLEND_DECALALPHA:
        r = (tr * ta + r * (255 - ta) + 127) / 255, g = (tg * ta + g * (255 - ta) + 127) / 255;
        b = (tb * ta + b * (255 - ta) + 127) / 255;
        break;
      case D3DTBLEND_MODULATEALPHA:
        r = (tr * r + 127) / 255, g = (tg * g + 127) / 255, b = (tb * b + 127) / 255, a = (ta * a + 127) / 255;
        break;
      case D3DTBLEND_ADD:
        r = std::min(255, tr + r), g = std::min(255, tg + g), b = std::min(255, tb + b);
        break;
      default:  // modulate: alpha from the texture when it has one
        r = (tr * r + 127) / 255, g = (tg * g + 127) / 255, b = (tb * b + 127) / 255;
        if (s.texture->hasAlpha) a = ta;
        break;
    }
  }
  if (s.specular) {
    r = std::min(255, r + Clamp255(p.sr)), g = std::min(255, g + Clamp255(p.sg)), b = std::min(255, b + Clamp255(p.sb));
  }
  if (s.fog) {
    const int f = Clamp255(p.fog);
    const int fr = (s.fogColour >> 16) & 255, fg = (s.fogColour >> 8) & 255, fb = s.fogColour & 255;
    r = (r * f + fr * (255 - f) + 127) / 255, g = (g * f + fg * (255 - f) + 127) / 255;
    b = (b * f + fb * (255 - f) + 127) / 255;
  }
  if (s.alphaTest && !Compare(s.alphaFunc, static_cast<uint32_t>(a), s.alphaRef & 255)) return;
  if (s.alphaBlend) {
    const uint32_t dst = ReadTarget(t, x, y);
    const int dr = (dst >> 16) & 255, dg = (dst >> 8) & 255, db = dst & 255, da = 255;
    auto mix = [&](int sc, int dc) {
      const int v = sc * BlendFactor(s.srcBlend, 0, sc, a, dc, da) + dc * BlendFactor(s.destBlend, 0, sc, a, dc, da);
      return std::min(255, (v + 127) / 255);
    };
    r = mix(r, dr), g = mix(g, dg), b = mix(b, db);
  }
  WriteTarget(t, x, y, r, g, b);
  if (useDepth && s.zWrite) WriteDepth(d, x, y, zv);
}

// Without perspective the texture coordinates are interpolated as they are.
void Attributes(const D3DTLVERTEX& v, Pixel* p, bool perspective) {
  p->z = v.sz;
  p->q = v.rhw;
  p->uq = perspective ? v.tu * v.rhw : v.tu;
  p->vq = perspective ? v.tv * v.rhw : v.tv;
  p->a = static_cast<float>(v.color >> 24);
  p->r = static_cast<float>((v.color >> 16) & 255);
  p->g = static_cast<float>((v.color >> 8) & 255);
  p->b = static_cast<float>(v.color & 255);
  p->fog = static_cast<float>(v.specular >> 24);
  p->sr = static_cast<float>((v.specular >> 16) & 255);
  p->sg = static_cast<float>((v.specular >> 8) & 255);
  p->sb = static_cast<float>(v.specular & 255);
}

constexpr int kAttrs = sizeof(Pixel) / sizeof(float);
float* F(Pixel& p) { return reinterpret_cast<float*>(&p); }

}  // namespace

uint32_t DepthMax(int32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1); }

namespace {

// A triangle after set-up: its edges on the sub-pixel grid, its bounding box in pixels and its attribute planes.
struct Setup {
  int64_t x0, y0, x1, y1;
  int64_t A[3], B[3], C[3], bias[3];
  float ddx[kAttrs], ddy[kAttrs], base[kAttrs];
  uint32_t zmax;
};

// False when nothing of the triangle is drawn as a filled triangle (culled, empty, off the target, or drawn
// as lines or points, which this draws itself).
bool SetUp(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const D3DTLVERTEX& va,
           const D3DTLVERTEX& vb, const D3DTLVERTEX& vc, Setup* o) {
  const D3DTLVERTEX* v[3] = {&va, &vb, &vc};
  for (const D3DTLVERTEX* p : v)
    if (!std::isfinite(p->sx) || !std::isfinite(p->sy) || std::fabs(p->sx) > 1e6f || std::fabs(p->sy) > 1e6f) return false;
  if (s.fill == D3DFILL_WIREFRAME) {
    DrawLine(t, d, s, va, vb), DrawLine(t, d, s, vb, vc), DrawLine(t, d, s, vc, va);
    return false;
  }
  if (s.fill == D3DFILL_POINT) {
    DrawPoint(t, d, s, va), DrawPoint(t, d, s, vb), DrawPoint(t, d, s, vc);
    return false;
  }
  int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = std::llround(static_cast<double>(v[i]->sx) * kSub);
    Y[i] = std::llround(static_cast<double>(v[i]->sy) * kSub);
  }
  int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area == 0) return false;
  // Positive area: clockwise on the screen (y grows downwards).
  if ((s.cull == D3DCULL_CW && area > 0) || (s.cull == D3DCULL_CCW && area < 0)) return false;
  int order[3] = {0, 1, 2};
  if (area < 0) std::swap(order[1], order[2]), area = -area;
  int64_t ox[3], oy[3];
  for (int i = 0; i < 3; ++i) ox[i] = X[order[i]], oy[i] = Y[order[i]];

  int64_t minX = std::min({ox[0], ox[1], ox[2]}), maxX = std::max({ox[0], ox[1], ox[2]});
  int64_t minY = std::min({oy[0], oy[1], oy[2]}), maxY = std::max({oy[0], oy[1], oy[2]});
  o->x0 = std::max<int64_t>(0, (minX + kSub - 1) / kSub - (minX < 0 ? 1 : 0));
  o->y0 = std::max<int64_t>(0, (minY + kSub - 1) / kSub - (minY < 0 ? 1 : 0));
  o->x1 = std::min<int64_t>(t.width - 1, maxX / kSub);
  o->y1 = std::min<int64_t>(t.height - 1, maxY / kSub);
  if (o->x0 > o->x1 || o->y0 > o->y1) return false;

  // Edge i runs from vertex i to vertex i+1; inside is E > 0, or E == 0 on a top or left edge.
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    o->A[i] = oy[i] - oy[j];
    o->B[i] = ox[j] - ox[i];
    o->C[i] = -(o->A[i] * ox[i] + o->B[i] * oy[i]);
    o->bias[i] = (o->A[i] > 0 || (o->A[i] == 0 && o->B[i] > 0)) ? 0 : -1;
  }

  // Attribute planes, from the snapped positions.
  Pixel at[3];
  for (int i = 0; i < 3; ++i) Attributes(*v[i], &at[i], s.perspective);
  if (!s.gouraud) {
    for (int i = 1; i < 3; ++i) {
      at[i].r = at[0].r, at[i].g = at[0].g, at[i].b = at[0].b, at[i].a = at[0].a;
      at[i].sr = at[0].sr, at[i].sg = at[0].sg, at[i].sb = at[0].sb;
    }
  }
  const double fx0 = static_cast<double>(X[0]) / kSub, fy0 = static_cast<double>(Y[0]) / kSub;
  const double dx1 = static_cast<double>(X[1] - X[0]) / kSub, dy1 = static_cast<double>(Y[1] - Y[0]) / kSub;
  const double dx2 = static_cast<double>(X[2] - X[0]) / kSub, dy2 = static_cast<double>(Y[2] - Y[0]) / kSub;
  const double inv = 1.0 / (dx1 * dy2 - dx2 * dy1);
  for (int k = 0; k < kAttrs; ++k) {
    const double f0 = F(at[0])[k], f1 = F(at[1])[k] - f0, f2 = F(at[2])[k] - f0;
    const double gx = (f1 * dy2 - f2 * dy1) * inv, gy = (f2 * dx1 - f1 * dx2) * inv;
    o->ddx[k] = static_cast<float>(gx), o->ddy[k] = static_cast<float>(gy);
    o->base[k] = static_cast<float>(f0 - gx * fx0 - gy * fy0);
  }
  o->zmax = d.pixels ? DepthMax(d.bits) : 0;
  return true;
}

// The attributes at the first pixel of a span; the rest are stepped from there by ddx.
inline void Start(const Setup& o, int64_t x, int64_t y, Pixel* p) {
  for (int k = 0; k < kAttrs; ++k) F(*p)[k] = o.base[k] + o.ddx[k] * static_cast<float>(x) + o.ddy[k] * static_cast<float>(y);
}

// The rows of a triangle are drawn by a span function chosen once per triangle for its state: the plain one
// shades each pixel through the general path above, the specialised ones have the state's choices compiled in.
// Both step the same attributes with the same float additions, so their pictures are the same bits.
using SpanFunction = void (*)(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o,
                              int y, int from, int to, Pixel p);

void PlainSpan(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o, int y, int from,
               int to, Pixel p) {
  const int stepped = (s.fog || s.specular) ? kAttrs : kAttrs - 4;
  for (int x = from; x <= to; ++x) {
    Shade(t, d, s, o.zmax, x, y, p);
    for (int k = 0; k < stepped; ++k) F(p)[k] += o.ddx[k];
  }
}

// A comparison as a mask of its outcomes: bit 0 passes below the reference, bit 1 equal, bit 2 above.
unsigned CompareMask(int func) {
  switch (func) {
    case D3DCMP_NEVER: return 0;
    case D3DCMP_LESS: return 1;
    case D3DCMP_EQUAL: return 2;
    case D3DCMP_LESSEQUAL: return 3;
    case D3DCMP_GREATER: return 4;
    case D3DCMP_NOTEQUAL: return 5;
    case D3DCMP_GREATEREQUAL: return 6;
    default: return 7;
  }
}

enum class Tex { None, PointWrap, PointClamp, BilinearWrap, BilinearClamp };

// Four pixels at a time: the attributes are stepped one pixel after another as in the scalar loop. Colours stay
// a pixel to a vector, turned into 16-bit lanes in the texel's order (blue, green, red, alpha), two pixels to a
// register; depth and texture coordinates are turned to one vector per attribute. The rest is exact integer work.
namespace x4 {

// Passes() on 16-bit lanes, taken as unsigned.
inline __m128i Passes16(unsigned compareMask, __m128i value, __m128i ref) {
  const __m128i zero = _mm_setzero_si128(), equal = _mm_cmpeq_epi16(value, ref);
  const __m128i atMost = _mm_cmpeq_epi16(_mm_subs_epu16(value, ref), zero);
  const __m128i atLeast = _mm_cmpeq_epi16(_mm_subs_epu16(ref, value), zero);
  const auto bit = [&](int i) { return _mm_set1_epi16(static_cast<int16_t>(-static_cast<int>((compareMask >> i) & 1))); };
  return _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_andnot_si128(equal, atMost), bit(0)), _mm_and_si128(equal, bit(1))),
                      _mm_and_si128(_mm_andnot_si128(equal, atLeast), bit(2)));
}

inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}
inline __m128 Select(__m128 mask, __m128 yes, __m128 no) {
  return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}

// (x + 127) / 255 in 16-bit lanes, for 0 <= x <= 65025.
inline __m128i Round255(__m128i x) {
  x = _mm_add_epi16(x, _mm_set1_epi16(127));
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, _mm_set1_epi16(1)), _mm_srli_epi16(x, 8)), 8);
}

// (a * b + 127) / 255 of channels.
inline __m128i Modulate(__m128i a, __m128i b) { return Round255(_mm_mullo_epi16(a, b)); }

// (c * f + o * (255 - f) + 127) / 255 of channels.
inline __m128i Mix(__m128i c, __m128i o, __m128i f) {
  return Round255(_mm_add_epi16(_mm_mullo_epi16(c, f), _mm_mullo_epi16(o, _mm_sub_epi16(_mm_set1_epi16(255), f))));
}

// Clamp255() of two pixels' four attributes, in 16-bit lanes. NaN stays NaN through the minimum (its second
// operand) and converts to the most negative integer, which the packing and the maximum turn into 0 as the
// scalar !(v > 0) does.
inline __m128i Clamp(__m128 p0, __m128 p1) {
  const __m128 top = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
  const __m128i i0 = _mm_cvttps_epi32(_mm_add_ps(_mm_min_ps(top, p0), half));
  const __m128i i1 = _mm_cvttps_epi32(_mm_add_ps(_mm_min_ps(top, p1), half));
  return _mm_max_epi16(_mm_packs_epi32(i0, i1), _mm_setzero_si128());
}

// Each pixel's fourth channel over all four of its lanes.
inline __m128i Fourth(__m128i v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF); }

// The fourth channel of four pixels, one to a 16-bit lane in the low half.
inline __m128i Fourths(__m128i low, __m128i high) {
  const __m128i four = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(_mm_srli_epi64(low, 48)),
                                                       _mm_castsi128_ps(_mm_srli_epi64(high, 48)), _MM_SHUFFLE(2, 0, 2, 0)));
  return _mm_packs_epi32(four, four);
}

inline __m128 Tame(__m128 f) {
  const __m128 finite = _mm_cmplt_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), f), _mm_set1_ps(INFINITY));
  return _mm_and_ps(finite, _mm_min_ps(_mm_max_ps(f, _mm_set1_ps(-65536.0f)), _mm_set1_ps(65536.0f)));
}

inline __m128i Floor(__m128 f) {
  const __m128i i = _mm_cvttps_epi32(f);
  return _mm_add_epi32(i, _mm_castps_si128(_mm_cmplt_ps(f, _mm_cvtepi32_ps(i))));
}

template <bool Wrap>
inline __m128i Fold(__m128i i, int size) {
  if (Wrap) return _mm_and_si128(i, _mm_set1_epi32(size - 1));
  const __m128i top = _mm_set1_epi32(size - 1);
  i = Select(_mm_cmpgt_epi32(i, top), top, i);
  return _mm_andnot_si128(_mm_cmplt_epi32(i, _mm_setzero_si128()), i);
}

// Lerp() of channels in 16-bit lanes, `inverse` = 256 - `weight`.
inline __m128i Lerp(__m128i a, __m128i b, __m128i weight, __m128i inverse) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(a, inverse), _mm_mullo_epi16(b, weight)), 8);
}

// Four weights, each repeated over a pixel's four 16-bit lanes: pixels 0 and 1 in `low`, 2 and 3 in `high`.
inline void Spread(__m128i w, __m128i* low, __m128i* high) {
  const __m128i w16 = _mm_packs_epi32(w, w), pairs = _mm_unpacklo_epi16(w16, w16);
  *low = _mm_unpacklo_epi32(pairs, pairs), *high = _mm_unpackhi_epi32(pairs, pairs);
}

// Four texels to 16-bit channels.
inline void Widen(__m128i texels, __m128i* low, __m128i* high) {
  *low = _mm_unpacklo_epi8(texels, _mm_setzero_si128()), *high = _mm_unpackhi_epi8(texels, _mm_setzero_si128());
}

// Texel indices y * pitch + x (sides below 2^15), as `pitch` holds the pitch in the low half of each lane.
inline __m128i Index(__m128i xs, __m128i ys, __m128i pitch) { return _mm_add_epi32(_mm_madd_epi16(ys, pitch), xs); }

inline __m128i Gather(const uint32_t* texels, __m128i index) {
  alignas(16) uint32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
  return _mm_setr_epi32(static_cast<int>(texels[at[0]]), static_cast<int>(texels[at[1]]),
                        static_cast<int>(texels[at[2]]), static_cast<int>(texels[at[3]]));
}

// The texels at `index` and the ones after them, each pair read at once.
inline void GatherPairs(const uint32_t* texels, __m128i index, __m128i* left, __m128i* right) {
  alignas(16) uint32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
  auto pair = [&](int i) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(texels + at[i])); };
  const __m128 low = _mm_castsi128_ps(_mm_unpacklo_epi64(pair(0), pair(1)));
  const __m128 high = _mm_castsi128_ps(_mm_unpacklo_epi64(pair(2), pair(3)));
  *left = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
  *right = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
}

// Fetch() of four samples, as 16-bit channels: pixels 0 and 1 in `low`, 2 and 3 in `high`.
template <Tex T>
__attribute__((always_inline)) inline void Fetch(const uint32_t* texels, int w, int h, __m128 u, __m128 v,
                                                 __m128i* low, __m128i* high) {
  constexpr bool wrap = T == Tex::PointWrap || T == Tex::BilinearWrap;
  u = Tame(u), v = Tame(v);
  const __m128i pitch = _mm_set1_epi32(w);
  const __m128 fw = _mm_set1_ps(static_cast<float>(w)), fh = _mm_set1_ps(static_cast<float>(h));
  if constexpr (T == Tex::PointWrap || T == Tex::PointClamp) {
    Widen(Gather(texels, Index(Fold<wrap>(Floor(_mm_mul_ps(u, fw)), w), Fold<wrap>(Floor(_mm_mul_ps(v, fh)), h), pitch)),
          low, high);
  } else {
    const __m128 half = _mm_set1_ps(0.5f), scale = _mm_set1_ps(256.0f);
    const __m128 fu = _mm_sub_ps(_mm_mul_ps(u, fw), half), fv = _mm_sub_ps(_mm_mul_ps(v, fh), half);
    const __m128i bu = Floor(fu), bv = Floor(fv), one = _mm_set1_epi32(1);
    const __m128i wu = _mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(fu, _mm_cvtepi32_ps(bu)), scale));
    const __m128i wv = _mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(fv, _mm_cvtepi32_ps(bv)), scale));
    const __m128i x0 = Fold<wrap>(bu, w), x1 = Fold<wrap>(_mm_add_epi32(bu, one), w);
    const __m128i y0 = Fold<wrap>(bv, h), y1 = Fold<wrap>(_mm_add_epi32(bv, one), h);
    const __m128i i0 = Index(x0, y0, pitch), i1 = Index(x0, y1, pitch);
    __m128i t00, t01, t10, t11;
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(x1, _mm_add_epi32(x0, one))) == 0xFFFF) {
      GatherPairs(texels, i0, &t00, &t01), GatherPairs(texels, i1, &t10, &t11);
    } else {  // at an edge of the texture
      const __m128i step = _mm_sub_epi32(x1, x0);
      t00 = Gather(texels, i0), t01 = Gather(texels, _mm_add_epi32(i0, step));
      t10 = Gather(texels, i1), t11 = Gather(texels, _mm_add_epi32(i1, step));
    }
    const __m128i full = _mm_set1_epi16(256);
    __m128i wuLow, wuHigh, wvLow, wvHigh;
    Spread(wu, &wuLow, &wuHigh), Spread(wv, &wvLow, &wvHigh);
    const __m128i iuLow = _mm_sub_epi16(full, wuLow), iuHigh = _mm_sub_epi16(full, wuHigh);
    __m128i a0, a1, b0, b1, c0, c1, d0, d1;
    Widen(t00, &a0, &a1), Widen(t01, &b0, &b1), Widen(t10, &c0, &c1), Widen(t11, &d0, &d1);
    *low = Lerp(Lerp(a0, b0, wuLow, iuLow), Lerp(c0, d0, wuLow, iuLow), wvLow, _mm_sub_epi16(full, wvLow));
    *high = Lerp(Lerp(a1, b1, wuHigh, iuHigh), Lerp(c1, d1, wuHigh, iuHigh), wvHigh, _mm_sub_epi16(full, wvHigh));
  }
}

// Four pixels of the target as 16-bit channels the way ReadTarget() gives them (the fourth lane is not used).
// A 16-bit pixel is repeated over four lanes; a multiply moves each channel to the top of its lane, where a
// multiply-high by 2^8 + 2^(8 - bits) makes of it the 8-bit value with its top bits repeated below.
template <TargetFormat Fmt>
inline void Read(const uint8_t* at, __m128i* low, __m128i* high) {
  if constexpr (Fmt == TargetFormat::Xrgb8888) {
    Widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), low, high);
  } else {
    const bool g6 = Fmt == TargetFormat::Rgb565;
    const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
    const __m128i pairs = _mm_unpacklo_epi16(raw, raw);
    const __m128i up = g6 ? _mm_setr_epi16(1 << 11, 1 << 5, 1, 0, 1 << 11, 1 << 5, 1, 0)
                          : _mm_setr_epi16(1 << 11, 1 << 6, 2, 0, 1 << 11, 1 << 6, 2, 0);
    const __m128i top = g6 ? _mm_setr_epi16(-2048, -1024, -2048, 0, -2048, -1024, -2048, 0)
                           : _mm_setr_epi16(-2048, -2048, -2048, 0, -2048, -2048, -2048, 0);
    const __m128i spread = g6 ? _mm_setr_epi16(264, 260, 264, 0, 264, 260, 264, 0) : _mm_set1_epi16(264);
    auto expand = [&](__m128i p) { return _mm_mulhi_epu16(_mm_and_si128(_mm_mullo_epi16(p, up), top), spread); };
    *low = expand(_mm_unpacklo_epi32(pairs, pairs)), *high = expand(_mm_unpackhi_epi32(pairs, pairs));
  }
}

// 32-bit lanes below 2^16 to 16-bit lanes in the low half.
inline __m128i Narrow(__m128i v) { return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(v, 16), 16), v); }

// Four pixels written where `pass` (16-bit lanes in the low half) is set. For 16-bit targets the channels, cut to their top bits, are summed
// at their places (times 8, which keeps the weights within 16 bits) by one multiply-add.
template <TargetFormat Fmt>
inline void Write(uint8_t* at, __m128i pass, bool all, __m128i low, __m128i high) {
  if constexpr (Fmt == TargetFormat::Xrgb8888) {
    __m128i v = _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
    if (!all) v = Select(_mm_unpacklo_epi16(pass, pass), v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
  } else {
    const bool g6 = Fmt == TargetFormat::Rgb565;
    const __m128i cut = g6 ? _mm_setr_epi16(0xF8, 0xFC, 0xF8, 0, 0xF8, 0xFC, 0xF8, 0) : _mm_setr_epi16(0xF8, 0xF8, 0xF8, 0, 0xF8, 0xF8, 0xF8, 0);
    const __m128i place = g6 ? _mm_setr_epi16(1, 64, 2048, 0, 1, 64, 2048, 0) : _mm_setr_epi16(1, 32, 1024, 0, 1, 32, 1024, 0);
    const __m128 lo = _mm_castsi128_ps(_mm_madd_epi16(_mm_and_si128(low, cut), place));
    const __m128 hi = _mm_castsi128_ps(_mm_madd_epi16(_mm_and_si128(high, cut), place));
    const __m128i sum = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0))),
                                      _mm_castps_si128(_mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))));
    __m128i v = Narrow(_mm_srli_epi32(sum, 3));
    if (!all) v = Select(pass, v, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), v);
  }
}

}  // namespace x4

// Shade() for states with a 16- or 32-bit depth buffer or none (ZBits 16, 32 or 0), modulated textures, alpha too or not (T), and no
// blending or source-alpha blending (Blend). Four pixels at a time; the last one to three go through the same steps
// on a copy of their pixels, so a short span costs no scalar loop and nothing past its end is touched.
template <TargetFormat Fmt, int ZBits, Tex T, bool Blend>
void FastSpan(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o, int y, int from,
              int to, Pixel p) {
  constexpr bool Z = ZBits != 0;
  constexpr int kBytes = Fmt == TargetFormat::Xrgb8888 ? 4 : 2, kZBytes = ZBits / 8;
  uint8_t* const row = t.pixels + static_cast<ptrdiff_t>(y) * t.pitch;
  uint8_t* const zrow = Z ? d.pixels + static_cast<ptrdiff_t>(y) * d.pitch : nullptr;
  const unsigned zmask = s.zTest ? CompareMask(s.zFunc) : 7;
  const bool zWrite = s.zWrite;
  const unsigned amask = s.alphaTest ? CompareMask(s.alphaFunc) : 7;
  const __m128i aref = _mm_set1_epi16(static_cast<int16_t>(s.alphaRef & 255));
  const bool fog = s.fog, specular = s.specular, perspective = s.perspective;
  const uint32_t* texels = nullptr;
  int tw = 0, th = 0;
  // The texel's alpha, or the colour's when the texture has none: the other side's alpha becomes 255, which
  // the modulation keeps.
  const __m128i fourth = _mm_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255);
  __m128i texelFourth = fourth, colourFourth = _mm_setzero_si128();
  if constexpr (T != Tex::None) {
    texels = s.texture->texels.data(), tw = s.texture->width, th = s.texture->height;
    if (s.texture->hasAlpha) std::swap(texelFourth, colourFourth);
    // Modulating the alpha too: both alphas are multiplied.
    if (s.textureBlend == D3DTBLEND_MODULATEALPHA) texelFourth = colourFourth = _mm_setzero_si128();
  }
  const __m128i fogColour = _mm_setr_epi16(static_cast<int16_t>(s.fogColour & 255),
                                           static_cast<int16_t>((s.fogColour >> 8) & 255),
                                           static_cast<int16_t>((s.fogColour >> 16) & 255), 0,
                                           static_cast<int16_t>(s.fogColour & 255),
                                           static_cast<int16_t>((s.fogColour >> 8) & 255),
                                           static_cast<int16_t>((s.fogColour >> 16) & 255), 0);
  const __m128i colourLanes = _mm_setr_epi16(-1, -1, -1, 0, -1, -1, -1, 0), c255 = _mm_set1_epi16(255);
  constexpr int kBgra = _MM_SHUFFLE(3, 0, 1, 2);  // r, g, b, a to b, g, r, a
  __m128 zq = _mm_loadu_ps(&p.z), bgra = _mm_loadu_ps(&p.r), extra = _mm_loadu_ps(&p.sr);
  __m128 dbgra = _mm_loadu_ps(o.ddx + 4), dextra = _mm_loadu_ps(o.ddx + 8);
  const __m128 dzq = _mm_loadu_ps(o.ddx);
  bgra = _mm_shuffle_ps(bgra, bgra, kBgra), dbgra = _mm_shuffle_ps(dbgra, dbgra, kBgra);
  extra = _mm_shuffle_ps(extra, extra, kBgra), dextra = _mm_shuffle_ps(dextra, dextra, kBgra);
  const __m128 zscale = _mm_set1_ps(static_cast<float>(o.zmax));
  // With rhw the same along a row (adding 0 leaves it as it is, and a zero is not divided by), its reciprocal
  // is taken once.
  const bool flatQ = o.ddx[1] == 0.0f;
  const __m128 spanQ = _mm_set1_ps(p.q), spanUse = _mm_cmpneq_ps(spanQ, _mm_setzero_ps());
  const __m128 spanW = _mm_div_ps(_mm_set1_ps(1.0f), spanQ);
  // The most common states (no fog, specular colour or alpha test; depth tested less-or-equal and written, or
  // not used) get a loop of their own without those choices in it.
  const bool lean = !fog && !specular && amask == 7 && (!Z || (zmask == 3 && zWrite));
  auto quad = [&](uint8_t* px, uint8_t* zp, auto leanState) __attribute__((always_inline)) {
    constexpr bool kLean = decltype(leanState)::value;
    __m128 z = zq, q = _mm_add_ps(z, dzq), u = _mm_add_ps(q, dzq), v = _mm_add_ps(u, dzq);
    zq = _mm_add_ps(v, dzq);
    _MM_TRANSPOSE4_PS(z, q, u, v);
    const __m128 c0 = bgra, c1 = _mm_add_ps(c0, dbgra), c2 = _mm_add_ps(c1, dbgra), c3 = _mm_add_ps(c2, dbgra);
    bgra = _mm_add_ps(c3, dbgra);
    __m128 e0 = extra, e1 = e0, e2 = e0, e3 = e0;
    if (!kLean && (specular || fog)) {
      e1 = _mm_add_ps(e0, dextra), e2 = _mm_add_ps(e1, dextra), e3 = _mm_add_ps(e2, dextra);
      extra = _mm_add_ps(e3, dextra);
    }
    __m128i pass = _mm_set1_epi32(-1), zv = _mm_setzero_si128(), zold = _mm_setzero_si128();
    [[maybe_unused]] alignas(16) uint32_t z32[4];
    if constexpr (ZBits == 32) {
      // Each value as DepthValue() makes it (in double precision), tested one by one.
      alignas(16) float zf[4];
      alignas(16) int16_t ok[8] = {};
      _mm_store_ps(zf, z);
      const auto* stored = reinterpret_cast<const uint32_t*>(zp);
      for (int i = 0; i < 4; ++i) {
        z32[i] = DepthValue(zf[i], o.zmax);
        ok[i] = (zmask == 7 || Compare(s.zFunc, z32[i], stored[i])) ? -1 : 0;
      }
      pass = _mm_load_si128(reinterpret_cast<const __m128i*>(ok));
      if ((_mm_movemask_epi8(pass) & 0xFF) == 0) return;
    } else if constexpr (Z) {
      // DepthValue(): the maximum with 0 turns NaN into 0 as its !(z > 0) does. The values, below 2^16, are
      // moved down by 2^15 for the signed packing to 16 bits and back.
      const __m128 clamped = _mm_min_ps(_mm_max_ps(z, _mm_setzero_ps()), _mm_set1_ps(1.0f));
      const __m128i bias = _mm_set1_epi32(0x8000);
      zv = _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(clamped, zscale), _mm_set1_ps(0.5f))), bias);
      zv = _mm_xor_si128(_mm_packs_epi32(zv, zv), _mm_set1_epi16(-0x8000));
      zold = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(zp));
      pass = kLean || zmask == 3 ? _mm_cmpeq_epi16(_mm_subs_epu16(zv, zold), _mm_setzero_si128())
                        : x4::Passes16(zmask, zv, zold);
      if ((_mm_movemask_epi8(pass) & 0xFF) == 0) return;
    }
    __m128i low = x4::Clamp(c0, c1), high = x4::Clamp(c2, c3);
    if constexpr (T != Tex::None) {
      if (perspective) {
        const __m128 w = flatQ ? spanW : _mm_div_ps(_mm_set1_ps(1.0f), q);
        const __m128 use = flatQ ? spanUse : _mm_cmpneq_ps(q, _mm_setzero_ps());
        u = x4::Select(use, _mm_mul_ps(u, w), u), v = x4::Select(use, _mm_mul_ps(v, w), v);
      }
      __m128i texLow, texHigh;
      x4::Fetch<T>(texels, tw, th, u, v, &texLow, &texHigh);
      low = x4::Modulate(_mm_or_si128(texLow, texelFourth), _mm_or_si128(low, colourFourth));
      high = x4::Modulate(_mm_or_si128(texHigh, texelFourth), _mm_or_si128(high, colourFourth));
    }
    if (!kLean && (specular || fog)) {
      const __m128i extraLow = x4::Clamp(e0, e1), extraHigh = x4::Clamp(e2, e3);
      if (specular) {
        low = _mm_min_epi16(c255, _mm_add_epi16(low, _mm_and_si128(extraLow, colourLanes)));
        high = _mm_min_epi16(c255, _mm_add_epi16(high, _mm_and_si128(extraHigh, colourLanes)));
      }
      if (fog) {
        low = x4::Select(colourLanes, x4::Mix(low, fogColour, x4::Fourth(extraLow)), low);
        high = x4::Select(colourLanes, x4::Mix(high, fogColour, x4::Fourth(extraHigh)), high);
      }
    }
    if (!kLean && amask != 7) pass = _mm_and_si128(pass, x4::Passes16(amask, x4::Fourths(low, high), aref));
    const int passing = _mm_movemask_epi8(pass) & 0xFF;
    if (passing == 0) return;
    if constexpr (Blend) {
      __m128i dstLow, dstHigh;
      x4::Read<Fmt>(px, &dstLow, &dstHigh);
      low = x4::Mix(low, dstLow, x4::Fourth(low)), high = x4::Mix(high, dstHigh, x4::Fourth(high));
    }
    x4::Write<Fmt>(px, pass, passing == 0xFF, low, high);
    if constexpr (ZBits == 32) {
      if (kLean || zWrite)
        for (int i = 0; i < 4; ++i)
          if (passing & (3 << (2 * i))) reinterpret_cast<uint32_t*>(zp)[i] = z32[i];
    } else if constexpr (Z) {
      if (kLean || zWrite) _mm_storel_epi64(reinterpret_cast<__m128i*>(zp), passing == 0xFF ? zv : x4::Select(pass, zv, zold));
    }
  };
  int x = from;
  if (lean) {
    for (; x + 3 <= to; x += 4) quad(row + x * kBytes, Z ? zrow + x * kZBytes : nullptr, std::true_type());
  } else {
    for (; x + 3 <= to; x += 4) quad(row + x * kBytes, Z ? zrow + x * kZBytes : nullptr, std::false_type());
  }
  if (x > to) return;
  const size_t n = static_cast<size_t>(to - x + 1);
  alignas(16) uint8_t colour[16] = {};
  alignas(16) uint8_t depth[16] = {};
  std::memcpy(colour, row + x * kBytes, n * kBytes);
  if constexpr (Z) std::memcpy(depth, zrow + x * kZBytes, n * kZBytes);
  quad(colour, depth, std::false_type());
  std::memcpy(row + x * kBytes, colour, n * kBytes);
  if constexpr (Z) std::memcpy(zrow + x * kZBytes, depth, n * kZBytes);
}

// Two rows at a time where the processor has AVX2: the low 128 bits of each register hold four pixels of one
// row and the high 128 bits four of the next, so every step above is done once for both, lane for lane the same
// operations. Each row's attributes are still stepped one pixel after another; two rows give the processor two
// such chains to run side by side, which on one row bound the Gouraud and depth fills.
#define TEEBOX_AVX2 __attribute__((target("avx2")))

struct Row {
  int y, from, to;
  Pixel p;
};

namespace x8 {

TEEBOX_AVX2 inline __m256i Both(__m128i a, __m128i b) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
}
TEEBOX_AVX2 inline __m256 Both(__m128 a, __m128 b) { return _mm256_insertf128_ps(_mm256_castps128_ps256(a), b, 1); }
TEEBOX_AVX2 inline __m256i Twice(__m128i a) { return Both(a, a); }

TEEBOX_AVX2 inline __m256i Select(__m256i mask, __m256i yes, __m256i no) {
  return _mm256_or_si256(_mm256_and_si256(mask, yes), _mm256_andnot_si256(mask, no));
}
TEEBOX_AVX2 inline __m256 Select(__m256 mask, __m256 yes, __m256 no) {
  return _mm256_or_ps(_mm256_and_ps(mask, yes), _mm256_andnot_ps(mask, no));
}

TEEBOX_AVX2 inline __m256i Round255(__m256i x) {
  x = _mm256_add_epi16(x, _mm256_set1_epi16(127));
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(x, _mm256_set1_epi16(1)), _mm256_srli_epi16(x, 8)), 8);
}
TEEBOX_AVX2 inline __m256i Modulate(__m256i a, __m256i b) { return Round255(_mm256_mullo_epi16(a, b)); }
TEEBOX_AVX2 inline __m256i Mix(__m256i c, __m256i o, __m256i f) {
  return Round255(_mm256_add_epi16(_mm256_mullo_epi16(c, f),
                                   _mm256_mullo_epi16(o, _mm256_sub_epi16(_mm256_set1_epi16(255), f))));
}

TEEBOX_AVX2 inline __m256i Clamp(__m256 p0, __m256 p1) {
  const __m256 top = _mm256_set1_ps(255.0f), half = _mm256_set1_ps(0.5f);
  const __m256i i0 = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_min_ps(top, p0), half));
  const __m256i i1 = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_min_ps(top, p1), half));
  return _mm256_max_epi16(_mm256_packs_epi32(i0, i1), _mm256_setzero_si256());
}

TEEBOX_AVX2 inline __m256i Fourth(__m256i v) { return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xFF), 0xFF); }

TEEBOX_AVX2 inline __m256 Tame(__m256 f) {
  const __m256 finite = _mm256_cmp_ps(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), f), _mm256_set1_ps(INFINITY), _CMP_LT_OS);
  return _mm256_and_ps(finite, _mm256_min_ps(_mm256_max_ps(f, _mm256_set1_ps(-65536.0f)), _mm256_set1_ps(65536.0f)));
}

TEEBOX_AVX2 inline __m256i Floor(__m256 f) {
  const __m256i i = _mm256_cvttps_epi32(f);
  return _mm256_add_epi32(i, _mm256_castps_si256(_mm256_cmp_ps(f, _mm256_cvtepi32_ps(i), _CMP_LT_OS)));
}

template <bool Wrap>
TEEBOX_AVX2 inline __m256i Fold(__m256i i, int size) {
  if (Wrap) return _mm256_and_si256(i, _mm256_set1_epi32(size - 1));
  const __m256i top = _mm256_set1_epi32(size - 1);
  i = Select(_mm256_cmpgt_epi32(i, top), top, i);
  return _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), i), i);
}

TEEBOX_AVX2 inline __m256i Lerp(__m256i a, __m256i b, __m256i weight, __m256i inverse) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, inverse), _mm256_mullo_epi16(b, weight)), 8);
}

TEEBOX_AVX2 inline void Spread(__m256i w, __m256i* low, __m256i* high) {
  const __m256i w16 = _mm256_packs_epi32(w, w), pairs = _mm256_unpacklo_epi16(w16, w16);
  *low = _mm256_unpacklo_epi32(pairs, pairs), *high = _mm256_unpackhi_epi32(pairs, pairs);
}

TEEBOX_AVX2 inline void Widen(__m256i texels, __m256i* low, __m256i* high) {
  *low = _mm256_unpacklo_epi8(texels, _mm256_setzero_si256());
  *high = _mm256_unpackhi_epi8(texels, _mm256_setzero_si256());
}

TEEBOX_AVX2 inline __m256i Index(__m256i xs, __m256i ys, __m256i pitch) {
  return _mm256_add_epi32(_mm256_madd_epi16(ys, pitch), xs);
}

TEEBOX_AVX2 inline __m256i Gather(const uint32_t* texels, __m256i index) {
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(texels), index, 4);
}

// The texels at `index` and the ones after them: eight pairs read as 64-bit words.
TEEBOX_AVX2 inline void GatherPairs(const uint32_t* texels, __m256i index, __m256i* left, __m256i* right) {
  const auto* base = reinterpret_cast<const long long*>(texels);
  const __m256i first = _mm256_i32gather_epi64(base, _mm256_castsi256_si128(index), 4);
  const __m256i second = _mm256_i32gather_epi64(base, _mm256_extracti128_si256(index, 1), 4);
  const __m256 low = _mm256_castsi256_ps(_mm256_permute2x128_si256(first, second, 0x20));
  const __m256 high = _mm256_castsi256_ps(_mm256_permute2x128_si256(first, second, 0x31));
  *left = _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
  *right = _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
}

template <Tex T>
TEEBOX_AVX2 __attribute__((always_inline)) inline void Fetch(const uint32_t* texels, int w, int h, __m256 u, __m256 v,
                                                             __m256i* low, __m256i* high) {
  constexpr bool wrap = T == Tex::PointWrap || T == Tex::BilinearWrap;
  u = Tame(u), v = Tame(v);
  const __m256i pitch = _mm256_set1_epi32(w);
  const __m256 fw = _mm256_set1_ps(static_cast<float>(w)), fh = _mm256_set1_ps(static_cast<float>(h));
  if constexpr (T == Tex::PointWrap || T == Tex::PointClamp) {
    Widen(Gather(texels, Index(Fold<wrap>(Floor(_mm256_mul_ps(u, fw)), w), Fold<wrap>(Floor(_mm256_mul_ps(v, fh)), h),
                               pitch)),
          low, high);
  } else {
    const __m256 half = _mm256_set1_ps(0.5f), scale = _mm256_set1_ps(256.0f);
    const __m256 fu = _mm256_sub_ps(_mm256_mul_ps(u, fw), half), fv = _mm256_sub_ps(_mm256_mul_ps(v, fh), half);
    const __m256i bu = Floor(fu), bv = Floor(fv), one = _mm256_set1_epi32(1);
    const __m256i wu = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_sub_ps(fu, _mm256_cvtepi32_ps(bu)), scale));
    const __m256i wv = _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_sub_ps(fv, _mm256_cvtepi32_ps(bv)), scale));
    const __m256i x0 = Fold<wrap>(bu, w), x1 = Fold<wrap>(_mm256_add_epi32(bu, one), w);
    const __m256i y0 = Fold<wrap>(bv, h), y1 = Fold<wrap>(_mm256_add_epi32(bv, one), h);
    const __m256i i0 = Index(x0, y0, pitch), i1 = Index(x0, y1, pitch);
    __m256i t00, t01, t10, t11;
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(x1, _mm256_add_epi32(x0, one))) == -1) {
      GatherPairs(texels, i0, &t00, &t01), GatherPairs(texels, i1, &t10, &t11);
    } else {  // at an edge of the texture
      const __m256i step = _mm256_sub_epi32(x1, x0);
      t00 = Gather(texels, i0), t01 = Gather(texels, _mm256_add_epi32(i0, step));
      t10 = Gather(texels, i1), t11 = Gather(texels, _mm256_add_epi32(i1, step));
    }
    const __m256i full = _mm256_set1_epi16(256);
    __m256i wuLow, wuHigh, wvLow, wvHigh;
    Spread(wu, &wuLow, &wuHigh), Spread(wv, &wvLow, &wvHigh);
    const __m256i iuLow = _mm256_sub_epi16(full, wuLow), iuHigh = _mm256_sub_epi16(full, wuHigh);
    __m256i a0, a1, b0, b1, c0, c1, d0, d1;
    Widen(t00, &a0, &a1), Widen(t01, &b0, &b1), Widen(t10, &c0, &c1), Widen(t11, &d0, &d1);
    *low = Lerp(Lerp(a0, b0, wuLow, iuLow), Lerp(c0, d0, wuLow, iuLow), wvLow, _mm256_sub_epi16(full, wvLow));
    *high = Lerp(Lerp(a1, b1, wuHigh, iuHigh), Lerp(c1, d1, wuHigh, iuHigh), wvHigh, _mm256_sub_epi16(full, wvHigh));
  }
}

template <TargetFormat Fmt>
TEEBOX_AVX2 inline void Read(const uint8_t* a, const uint8_t* b, __m256i* low, __m256i* high) {
  if constexpr (Fmt == TargetFormat::Xrgb8888) {
    Widen(Both(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)), _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))),
          low, high);
  } else {
    const bool g6 = Fmt == TargetFormat::Rgb565;
    const __m256i raw = Both(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b)));
    const __m256i pairs = _mm256_unpacklo_epi16(raw, raw);
    const __m256i up = Twice(g6 ? _mm_setr_epi16(1 << 11, 1 << 5, 1, 0, 1 << 11, 1 << 5, 1, 0)
                                : _mm_setr_epi16(1 << 11, 1 << 6, 2, 0, 1 << 11, 1 << 6, 2, 0));
    const __m256i top = Twice(g6 ? _mm_setr_epi16(-2048, -1024, -2048, 0, -2048, -1024, -2048, 0)
                                 : _mm_setr_epi16(-2048, -2048, -2048, 0, -2048, -2048, -2048, 0));
    const __m256i spread = Twice(g6 ? _mm_setr_epi16(264, 260, 264, 0, 264, 260, 264, 0) : _mm_set1_epi16(264));
    auto expand = [&](__m256i p) TEEBOX_AVX2 {
      return _mm256_mulhi_epu16(_mm256_and_si256(_mm256_mullo_epi16(p, up), top), spread);
    };
    *low = expand(_mm256_unpacklo_epi32(pairs, pairs)), *high = expand(_mm256_unpackhi_epi32(pairs, pairs));
  }
}

TEEBOX_AVX2 inline __m256i Narrow(__m256i v) {
  return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16), v);
}

template <TargetFormat Fmt>
TEEBOX_AVX2 inline void Write(uint8_t* a, uint8_t* b, __m256i pass, bool all, __m256i low, __m256i high) {
  if constexpr (Fmt == TargetFormat::Xrgb8888) {
    __m256i v = _mm256_and_si256(_mm256_packus_epi16(low, high), _mm256_set1_epi32(0x00FFFFFF));
    if (!all)
      v = Select(_mm256_unpacklo_epi16(pass, pass), v,
                 Both(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)), _mm_loadu_si128(reinterpret_cast<const __m128i*>(b))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b), _mm256_extracti128_si256(v, 1));
  } else {
    const bool g6 = Fmt == TargetFormat::Rgb565;
    const __m256i cut = Twice(g6 ? _mm_setr_epi16(0xF8, 0xFC, 0xF8, 0, 0xF8, 0xFC, 0xF8, 0)
                                 : _mm_setr_epi16(0xF8, 0xF8, 0xF8, 0, 0xF8, 0xF8, 0xF8, 0));
    const __m256i place = Twice(g6 ? _mm_setr_epi16(1, 64, 2048, 0, 1, 64, 2048, 0)
                                   : _mm_setr_epi16(1, 32, 1024, 0, 1, 32, 1024, 0));
    const __m256 lo = _mm256_castsi256_ps(_mm256_madd_epi16(_mm256_and_si256(low, cut), place));
    const __m256 hi = _mm256_castsi256_ps(_mm256_madd_epi16(_mm256_and_si256(high, cut), place));
    const __m256i sum = _mm256_add_epi32(_mm256_castps_si256(_mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0))),
                                         _mm256_castps_si256(_mm256_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1))));
    __m256i v = Narrow(_mm256_srli_epi32(sum, 3));
    if (!all)
      v = Select(pass, v, Both(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b))));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(a), _mm256_castsi256_si128(v));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(b), _mm256_extracti128_si256(v, 1));
  }
}

}  // namespace x8

// FastSpan() of two rows for the states it runs without fog, specular colour or alpha test, and with depth
// tested less-or-equal and written, or not used. While both rows have four pixels left they go together; the
// rest of each goes on through FastSpan() from its stepped attributes.
template <TargetFormat Fmt, bool Z, Tex T, bool Blend>
TEEBOX_AVX2 void PairSpan(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o,
                          const Row& a, const Row& b) {
  constexpr int kBytes = Fmt == TargetFormat::Xrgb8888 ? 4 : 2;
  uint8_t* const rowA = t.pixels + static_cast<ptrdiff_t>(a.y) * t.pitch;
  uint8_t* const rowB = t.pixels + static_cast<ptrdiff_t>(b.y) * t.pitch;
  uint16_t* const zrowA = Z ? reinterpret_cast<uint16_t*>(d.pixels + static_cast<ptrdiff_t>(a.y) * d.pitch) : nullptr;
  uint16_t* const zrowB = Z ? reinterpret_cast<uint16_t*>(d.pixels + static_cast<ptrdiff_t>(b.y) * d.pitch) : nullptr;
  const bool perspective = s.perspective;
  const uint32_t* texels = nullptr;
  int tw = 0, th = 0;
  const __m128i fourth = _mm_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255);
  __m256i texelFourth = x8::Twice(fourth), colourFourth = _mm256_setzero_si256();
  if constexpr (T != Tex::None) {
    texels = s.texture->texels.data(), tw = s.texture->width, th = s.texture->height;
    if (s.texture->hasAlpha) std::swap(texelFourth, colourFourth);
    if (s.textureBlend == D3DTBLEND_MODULATEALPHA) texelFourth = colourFourth = _mm256_setzero_si256();
  }
  constexpr int kBgra = _MM_SHUFFLE(3, 0, 1, 2);  // r, g, b, a to b, g, r, a and back
  const __m128 dzq4 = _mm_loadu_ps(o.ddx), dbgra4 = _mm_loadu_ps(o.ddx + 4);
  const __m256 dzq = x8::Both(dzq4, dzq4), dbgra = x8::Both(_mm_shuffle_ps(dbgra4, dbgra4, kBgra), _mm_shuffle_ps(dbgra4, dbgra4, kBgra));
  const __m128 bgraA = _mm_loadu_ps(&a.p.r), bgraB = _mm_loadu_ps(&b.p.r);
  __m256 zq = x8::Both(_mm_loadu_ps(&a.p.z), _mm_loadu_ps(&b.p.z));
  __m256 bgra = x8::Both(_mm_shuffle_ps(bgraA, bgraA, kBgra), _mm_shuffle_ps(bgraB, bgraB, kBgra));
  const __m256 zscale = _mm256_set1_ps(static_cast<float>(o.zmax));
  const bool flatQ = o.ddx[1] == 0.0f;
  const __m256 spanQ = x8::Both(_mm_set1_ps(a.p.q), _mm_set1_ps(b.p.q));
  const __m256 spanUse = _mm256_cmp_ps(spanQ, _mm256_setzero_ps(), _CMP_NEQ_UQ);
  const __m256 spanW = _mm256_div_ps(_mm256_set1_ps(1.0f), spanQ);
  constexpr int kRows = 0x00FF00FF;  // the movemask bits of the four pixels of each row
  auto quads = [&](uint8_t* pa, uint8_t* pb, uint16_t* za, uint16_t* zb) __attribute__((always_inline)) TEEBOX_AVX2 {
    __m256 z = zq, q = _mm256_add_ps(z, dzq), u = _mm256_add_ps(q, dzq), v = _mm256_add_ps(u, dzq);
    zq = _mm256_add_ps(v, dzq);
    {  // one vector per attribute, in each half
      const __m256 t0 = _mm256_unpacklo_ps(z, q), t1 = _mm256_unpacklo_ps(u, v);
      const __m256 t2 = _mm256_unpackhi_ps(z, q), t3 = _mm256_unpackhi_ps(u, v);
      z = _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t1)));
      q = _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t0), _mm256_castps_pd(t1)));
      u = _mm256_castpd_ps(_mm256_unpacklo_pd(_mm256_castps_pd(t2), _mm256_castps_pd(t3)));
      v = _mm256_castpd_ps(_mm256_unpackhi_pd(_mm256_castps_pd(t2), _mm256_castps_pd(t3)));
    }
    const __m256 c0 = bgra, c1 = _mm256_add_ps(c0, dbgra), c2 = _mm256_add_ps(c1, dbgra), c3 = _mm256_add_ps(c2, dbgra);
    bgra = _mm256_add_ps(c3, dbgra);
    __m256i pass = _mm256_set1_epi32(-1), zv = _mm256_setzero_si256(), zold = _mm256_setzero_si256();
    int passing = kRows;
    if constexpr (Z) {
      const __m256 clamped = _mm256_min_ps(_mm256_max_ps(z, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
      const __m256i bias = _mm256_set1_epi32(0x8000);
      zv = _mm256_sub_epi32(
          _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(clamped, zscale), _mm256_set1_ps(0.5f))), bias);
      zv = _mm256_xor_si256(_mm256_packs_epi32(zv, zv), _mm256_set1_epi16(-0x8000));
      zold = x8::Both(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(za)),
                      _mm_loadl_epi64(reinterpret_cast<const __m128i*>(zb)));
      pass = _mm256_cmpeq_epi16(_mm256_subs_epu16(zv, zold), _mm256_setzero_si256());
      passing = _mm256_movemask_epi8(pass) & kRows;
      if (passing == 0) return;
    }
    __m256i low = x8::Clamp(c0, c1), high = x8::Clamp(c2, c3);
    if constexpr (T != Tex::None) {
      if (perspective) {
        const __m256 w = flatQ ? spanW : _mm256_div_ps(_mm256_set1_ps(1.0f), q);
        const __m256 use = flatQ ? spanUse : _mm256_cmp_ps(q, _mm256_setzero_ps(), _CMP_NEQ_UQ);
        u = x8::Select(use, _mm256_mul_ps(u, w), u), v = x8::Select(use, _mm256_mul_ps(v, w), v);
      }
      __m256i texLow, texHigh;
      x8::Fetch<T>(texels, tw, th, u, v, &texLow, &texHigh);
      low = x8::Modulate(_mm256_or_si256(texLow, texelFourth), _mm256_or_si256(low, colourFourth));
      high = x8::Modulate(_mm256_or_si256(texHigh, texelFourth), _mm256_or_si256(high, colourFourth));
    }
    if constexpr (Blend) {
      __m256i dstLow, dstHigh;
      x8::Read<Fmt>(pa, pb, &dstLow, &dstHigh);
      low = x8::Mix(low, dstLow, x8::Fourth(low)), high = x8::Mix(high, dstHigh, x8::Fourth(high));
    }
    const bool all = passing == kRows;
    x8::Write<Fmt>(pa, pb, pass, all, low, high);
    if constexpr (Z) {
      const __m256i out = all ? zv : x8::Select(pass, zv, zold);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(za), _mm256_castsi256_si128(out));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(zb), _mm256_extracti128_si256(out, 1));
    }
  };
  int xa = a.from, xb = b.from;
  for (; xa + 3 <= a.to && xb + 3 <= b.to; xa += 4, xb += 4)
    quads(rowA + xa * kBytes, rowB + xb * kBytes, Z ? zrowA + xa : nullptr, Z ? zrowB + xb : nullptr);
  Pixel pa = a.p, pb = b.p;
  const __m128 bgraLow = _mm256_castps256_ps128(bgra), bgraHigh = _mm256_extractf128_ps(bgra, 1);
  _mm_storeu_ps(&pa.z, _mm256_castps256_ps128(zq)), _mm_storeu_ps(&pb.z, _mm256_extractf128_ps(zq, 1));
  _mm_storeu_ps(&pa.r, _mm_shuffle_ps(bgraLow, bgraLow, kBgra)), _mm_storeu_ps(&pb.r, _mm_shuffle_ps(bgraHigh, bgraHigh, kBgra));
  if (xa <= a.to) FastSpan<Fmt, Z ? 16 : 0, T, Blend>(t, d, s, o, a.y, xa, a.to, pa);
  if (xb <= b.to) FastSpan<Fmt, Z ? 16 : 0, T, Blend>(t, d, s, o, b.y, xb, b.to, pb);
}

// A span of one colour without depth, texture or blending: its first pixel shaded, then copied.
template <TargetFormat Fmt>
void FillSpan(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o, int y, int from,
              int to, Pixel p) {
  if (s.alphaTest && !Compare(s.alphaFunc, static_cast<uint32_t>(Clamp255(p.a)), s.alphaRef & 255)) return;
  FastSpan<Fmt, 0, Tex::None, false>(t, d, s, o, y, from, from, p);
  uint8_t* const row = t.pixels + static_cast<ptrdiff_t>(y) * t.pitch;
  if constexpr (Fmt == TargetFormat::Xrgb8888) {
    uint32_t* px = reinterpret_cast<uint32_t*>(row);
    std::fill(px + from + 1, px + to + 1, px[from]);
  } else {
    uint16_t* px = reinterpret_cast<uint16_t*>(row);
    std::fill(px + from + 1, px + to + 1, px[from]);
  }
}

using PairFunction = void (*)(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o,
                              const Row& a, const Row& b);

// The span function of a state, and its two-row form where there is one.
struct Spans {
  SpanFunction one;
  PairFunction two = nullptr;
};

// The two-row spans know 16-bit depth buffers only.
template <TargetFormat Fmt, int Z, Tex T>
Spans WithBlend(bool blend) {
  constexpr bool kPairs = Z != 32;
  if (blend) return {FastSpan<Fmt, Z, T, true>, kPairs ? PairSpan<Fmt, Z != 0, T, true> : nullptr};
  return {FastSpan<Fmt, Z, T, false>, kPairs ? PairSpan<Fmt, Z != 0, T, false> : nullptr};
}

template <TargetFormat Fmt, int Z>
Spans WithTexture(Tex tex, bool blend) {
  switch (tex) {
    case Tex::PointWrap: return WithBlend<Fmt, Z, Tex::PointWrap>(blend);
    case Tex::PointClamp: return WithBlend<Fmt, Z, Tex::PointClamp>(blend);
    case Tex::BilinearWrap: return WithBlend<Fmt, Z, Tex::BilinearWrap>(blend);
    case Tex::BilinearClamp: return WithBlend<Fmt, Z, Tex::BilinearClamp>(blend);
    default: return WithBlend<Fmt, Z, Tex::None>(blend);
  }
}

template <TargetFormat Fmt>
Spans ForFormat(int zBits, Tex tex, bool blend, bool fill) {
  if (fill) return {FillSpan<Fmt>};
  if (zBits == 32) return WithTexture<Fmt, 32>(tex, blend);
  return zBits ? WithTexture<Fmt, 16>(tex, blend) : WithTexture<Fmt, 0>(tex, blend);
}

std::atomic<bool> wideSpans{[] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}()};

Spans ChooseSpan(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const Setup& o) {
  const bool z = d.pixels && (s.zTest || s.zWrite);
  if (z && d.bits != 16 && d.bits != 32) return {PlainSpan};
  const int zBits = z ? d.bits : 0;
  Tex tex = Tex::None;
  if (const TextureImage* image = s.texture) {
    const int w = image->width, h = image->height;
    switch (s.textureBlend) {
      case D3DTBLEND_DECAL: case D3DTBLEND_COPY: case D3DTBLEND_DECALALPHA: case D3DTBLEND_ADD:
        return {PlainSpan};
      default: break;
    }
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767 || image->texels.size() < static_cast<size_t>(w) * static_cast<size_t>(h)) return {PlainSpan};
    if (s.wrap && ((w & (w - 1)) || (h & (h - 1)))) return {PlainSpan};
    tex = s.bilinear ? (s.wrap ? Tex::BilinearWrap : Tex::BilinearClamp) : (s.wrap ? Tex::PointWrap : Tex::PointClamp);
  }
  if (s.alphaBlend && (s.srcBlend != D3DBLEND_SRCALPHA || s.destBlend != D3DBLEND_INVSRCALPHA)) return {PlainSpan};
  // One colour along every row: nothing that varies across a span is used.
  bool fill = !z && tex == Tex::None && !s.alphaBlend;
  for (int k = 4; k < kAttrs && fill; ++k) {
    const bool used = k < 8 || (k < 11 ? s.specular : s.fog);
    if (used && o.ddx[k] != 0.0f) fill = false;
  }
  Spans spans;
  switch (t.format) {
    case TargetFormat::Rgb565: spans = ForFormat<TargetFormat::Rgb565>(zBits, tex, s.alphaBlend, fill); break;
    case TargetFormat::Rgb555: spans = ForFormat<TargetFormat::Rgb555>(zBits, tex, s.alphaBlend, fill); break;
    default: spans = ForFormat<TargetFormat::Xrgb8888>(zBits, tex, s.alphaBlend, fill); break;
  }
  // Two rows go together only when they cannot overlap, as one after the other they may.
  const bool lean = !s.fog && !s.specular && !(s.alphaTest && CompareMask(s.alphaFunc) != 7) &&
                    (!z || (s.zTest && CompareMask(s.zFunc) == 3 && s.zWrite));
  const int32_t bytes = t.format == TargetFormat::Xrgb8888 ? 4 : 2;
  const bool apart = t.pitch >= t.width * bytes && (!z || d.pitch >= t.width * 2);
  if (!wideSpans.load(std::memory_order_relaxed) || !lean || !apart) spans.two = nullptr;
  return spans;
}

}  // namespace

void DrawTriangleReference(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const D3DTLVERTEX& va,
                           const D3DTLVERTEX& vb, const D3DTLVERTEX& vc) {
  Setup o;
  if (!SetUp(t, d, s, va, vb, vc, &o)) return;
  // Specular colour and fog come last in a pixel's attributes; they are stepped only when used.
  const int stepped = (s.fog || s.specular) ? kAttrs : kAttrs - 4;
  for (int64_t y = o.y0; y <= o.y1; ++y) {
    const int64_t py = y * kSub;
    int64_t e[3];
    for (int i = 0; i < 3; ++i) e[i] = o.A[i] * (o.x0 * kSub) + o.B[i] * py + o.C[i] + o.bias[i];
    const int64_t step[3] = {o.A[0] * kSub, o.A[1] * kSub, o.A[2] * kSub};
    Pixel p;
    bool started = false;
    for (int64_t x = o.x0; x <= o.x1; ++x) {
      if ((e[0] | e[1] | e[2]) >= 0) {
        if (!started) {
          Start(o, x, y, &p);
          started = true;
        }
        Shade(t, d, s, o.zmax, static_cast<int>(x), static_cast<int>(y), p);
        for (int k = 0; k < stepped; ++k) F(p)[k] += o.ddx[k];
      } else if (started) {
        break;  // a triangle's row is one span
      }
      e[0] += step[0], e[1] += step[1], e[2] += step[2];
    }
  }
}

void DrawTriangle(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const D3DTLVERTEX& va,
                  const D3DTLVERTEX& vb, const D3DTLVERTEX& vc) {
  Setup o;
  if (!SetUp(t, d, s, va, vb, vc, &o)) return;
  const Spans spans = ChooseSpan(t, d, s, o);
  const int64_t step[3] = {o.A[0] * kSub, o.A[1] * kSub, o.A[2] * kSub};
  // The covered pixels of a row, from the edge values at its first pixel: each edge bounds the span on one side.
  auto cover = [&](int64_t y, Row* row) {
    int64_t from = o.x0, to = o.x1;
    for (int i = 0; i < 3 && from <= to; ++i) {
      const int64_t e = o.A[i] * (o.x0 * kSub) + o.B[i] * (y * kSub) + o.C[i] + o.bias[i];
      if (step[i] > 0) {
        if (e < 0) from = std::max(from, o.x0 + (-e + step[i] - 1) / step[i]);
      } else if (step[i] < 0) {
        if (e < 0) from = to + 1;
        else to = std::min(to, o.x0 + e / -step[i]);
      } else if (e < 0) {
        from = to + 1;
      }
    }
    row->y = static_cast<int>(y), row->from = static_cast<int>(from), row->to = static_cast<int>(to);
    return from <= to;
  };
  for (int64_t y = o.y0; y <= o.y1; ++y) {
    Row a, b;
    if (!cover(y, &a)) continue;
    Start(o, a.from, y, &a.p);
    if (spans.two && a.to - a.from >= 3 && y < o.y1 && cover(y + 1, &b) && b.to - b.from >= 3) {
      Start(o, b.from, y + 1, &b.p);
      spans.two(t, d, s, o, a, b);
      ++y;
      continue;
    }
    spans.one(t, d, s, o, a.y, a.from, a.to, a.p);
  }
}

void UseWideSpans(bool use) {
  wideSpans.store(use && __builtin_cpu_supports("avx2"), std::memory_order_relaxed);
}

void DrawLine(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const D3DTLVERTEX& a,
              const D3DTLVERTEX& b) {
  if (!std::isfinite(a.sx) || !std::isfinite(a.sy) || !std::isfinite(b.sx) || !std::isfinite(b.sy)) return;
  const float dx = b.sx - a.sx, dy = b.sy - a.sy;
  const float len = std::max(std::fabs(dx), std::fabs(dy));
  if (len > 1e5f) return;
  const int steps = static_cast<int>(len + 0.5f);
  Pixel pa, pb;
  Attributes(a, &pa, s.perspective), Attributes(b, &pb, s.perspective);
  if (!s.gouraud) pb.r = pa.r, pb.g = pa.g, pb.b = pa.b, pb.a = pa.a;
  const uint32_t zmax = d.pixels ? DepthMax(d.bits) : 0;
  for (int i = 0; i < std::max(steps, 1); ++i) {  // the last pixel belongs to the next line
    const float f = steps ? static_cast<float>(i) / static_cast<float>(steps) : 0.0f;
    const int x = static_cast<int>(std::floor(a.sx + dx * f + 0.5f)), y = static_cast<int>(std::floor(a.sy + dy * f + 0.5f));
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) continue;
    Pixel p;
    for (int k = 0; k < kAttrs; ++k) F(p)[k] = F(pa)[k] + (F(pb)[k] - F(pa)[k]) * f;
    Shade(t, d, s, zmax, x, y, p);
  }
}

void DrawPoint(const RasterTarget& t, const RasterDepth& d, const RasterState& s, const D3DTLVERTEX& a) {
  if (!std::isfinite(a.sx) || !std::isfinite(a.sy) || std::fabs(a.sx) > 1e6f || std::fabs(a.sy) > 1e6f) return;
  const int x = static_cast<int>(std::floor(a.sx + 0.5f)), y = static_cast<int>(std::floor(a.sy + 0.5f));
  if (x < 0 || y < 0 || x >= t.width || y >= t.height) return;
  Pixel p;
  Attributes(a, &p, s.perspective);
  Shade(t, d, s, d.pixels ? DepthMax(d.bits) : 0, x, y, p);
}

void ClearRect(const RasterTarget& t, const RasterDepth* d, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               uint32_t colour, float z) {
  x1 = std::max(0, x1), y1 = std::max(0, y1), x2 = std::min(t.width, x2), y2 = std::min(t.height, y2);
  const int r = (colour >> 16) & 255, g = (colour >> 8) & 255, b = colour & 255;
  const uint32_t zv = d && d->pixels ? DepthValue(z, DepthMax(d->bits)) : 0;
  for (int32_t y = y1; y < y2; ++y)
    for (int32_t x = x1; x < x2; ++x) {
      if (t.pixels) WriteTarget(t, x, y, r, g, b);
      if (d && d->pixels) WriteDepth(*d, x, y, zv);
    }
}

}  // namespace winapi::d3d

// The movie picture decoder. One movie is decoded at a time on one thread, so the tables and the working
// blocks are globals.
#include "platformlib/movie/movie.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <immintrin.h>

#include "platformlib/core/byteorder.h"
#include "platformlib/gfx/videoout.h"
#include "platformlib/gfx/windowdesc.h"

const uint8_t kDctIntraMatrix[64] = {8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37,
                                     19, 22, 26, 27, 29, 34, 34, 38, 22, 22, 26, 27, 29, 34, 37, 40,
                                     22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32, 35, 40, 48, 58,
                                     26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};

int64_t dctprescale(int index) {
  const int u = index >> 3, v = index & 7;
  const double au = u ? std::sqrt(2.0) * std::cos(u * M_PI / 16) : 1.0;
  const double av = v ? std::sqrt(2.0) * std::cos(v * M_PI / 16) : 1.0;
  return std::llround(8192.0 / (au * av));
}

const uint8_t kDctScan[64] = {0,  8,  1,  2,  9,  16, 24, 17, 10, 3,  4,  11, 18, 25, 32, 40,
                              33, 26, 19, 12, 5,  6,  13, 20, 27, 34, 41, 48, 56, 49, 42, 35,
                              28, 21, 14, 7,  15, 22, 29, 36, 43, 50, 57, 58, 51, 44, 37, 30,
                              23, 31, 38, 45, 52, 59, 60, 53, 46, 39, 47, 54, 61, 62, 55, 63};

#include "platformlib/movie/moviecodes.inc"

namespace {

DctCode codetable[8192];
DctCode longtable[512];
uint8_t clamptable[256];
bool tablesbuilt = false;
int32_t quanttable[64];
alignas(16) int32_t coefficients[64];
// The picture decoder's blocks of a macroblock, each transposed (c[v x 8 + u]).
alignas(16) int32_t transposedblocks[6][64];

int32_t signextend10(uint32_t v) { return static_cast<int32_t>((v & 0x3FF) ^ 0x200) - 0x200; }

void entercode(const MovieCode& code, int sign) {
  const int length = code.length + 1;
  const uint32_t bits = (code.bits << 1) | static_cast<uint32_t>(sign);
  const int32_t level = sign ? -code.level : code.level;
  const uint16_t value = static_cast<uint16_t>(code.run * 1024 + (level & 0x3FF));
  if (length <= 13) {
    const uint32_t first = bits << (13 - length);
    for (uint32_t i = 0; i < (1u << (13 - length)); ++i) codetable[first + i] = {value, static_cast<uint8_t>(length)};
  } else {
    const int rest = length - 8;
    const uint32_t first = (bits & ((1u << rest) - 1)) << (9 - rest);
    for (uint32_t i = 0; i < (1u << (9 - rest)); ++i) longtable[first + i] = {value, static_cast<uint8_t>(rest)};
  }
}

// Bits taken most significant first from 16-bit little-endian words, 48 or more at hand after a refill, which
// only happens when fewer than the longest code's 22 are left; reading past the end yields zeros, and the count
// of bits taken tells when the end was passed.
struct BitReader {
  const uint8_t* bytes;
  size_t count;  // words
  size_t next = 0;
  uint64_t window = 0;  // left-aligned
  int held = 0;
  size_t taken = 0;
  void refill() {
    if (held >= 22) return;
    if (next + 4 <= count) {
      // Four words at once: a little-endian load holds them with the first in the low bits.
      uint64_t chunk = 0;
      for (int i = 0; i < 4; ++i) chunk = chunk << 16 | ReadLE16(bytes + 2 * (next + static_cast<size_t>(i)));
      // Only whole words count as held; the bits of a partial word are set again, alike, by the next refill.
      window |= chunk >> held;
      const int words = (64 - held) >> 4;
      next += static_cast<size_t>(words);
      held += words * 16;
      return;
    }
    while (held <= 48) {
      const uint64_t w = next < count ? ReadLE16(bytes + 2 * next) : 0u;
      ++next;
      window |= w << (48 - held);
      held += 16;
    }
  }
  uint32_t peek(int n) const { return static_cast<uint32_t>(window >> (64 - n)); }  // 1 <= n <= 16
  void drop(int n) {
    window <<= n;
    held -= n;
    taken += static_cast<size_t>(n);
  }
  bool overrun() const { return taken > count * 16; }
};

// The coefficient codes of a sequence of blocks into words: the words written, or -1 for damaged input or a
// full output. Each code is at most 22 bits, so one refill serves it. Past the end the reader yields zeros,
// which no code starts with (eight zeros lead to a long-code table entry of length 0) and which cannot end the
// picture (the end mark's last bit is a 1): a picture that passes its end is refused whatever follows, so the
// end is checked once, when the picture ends.
int64_t decodecodes(const uint8_t* bytes, size_t inwords, uint16_t* output, size_t outcapacity) {
  dctbuildtables();
  BitReader reader{bytes, inwords};
  size_t out = 0;
  for (;;) {
    reader.refill();
    const uint32_t dc = reader.peek(10);
    reader.drop(10);
    if (out >= outcapacity) return -1;
    if (dc == kDctEndDc) {
      if (reader.overrun()) return -1;
      output[out++] = kDctEndWord;
      return static_cast<int64_t>(out);
    }
    output[out++] = static_cast<uint16_t>(dc);
    int position = 1;
    for (;;) {
      reader.refill();
      DctCode entry = codetable[reader.peek(13)];
      if (entry.length >= 32) {
        if (entry.length == 32) {
          reader.drop(8);
          entry = longtable[reader.peek(9)];
        } else {
          reader.drop(6);
          entry = {static_cast<uint16_t>(reader.peek(16)), 16};
          if (entry.value == kDctEndWord) return -1;
        }
      }
      if (entry.length == 0) return -1;  // no such code
      reader.drop(entry.length);
      if (out >= outcapacity) return -1;
      output[out++] = entry.value;
      if (entry.value == kDctEndWord) break;
      position += (entry.value >> 10) + 1;
      if (position > 64) return -1;
    }
  }
}

int32_t saturate32(double v) {
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Nearest integer the way the transform rounds: adding 1.5 x 2^52 leaves the rounded value in the low bits.
double roundmagic(double v) {
  if (!(std::fabs(v) < 1e15)) return v;
  volatile double t = v + 6755399441055744.0;
  return t - 6755399441055744.0;
}

// v x sqrt(2)/2, with sqrt(2)/2 as the fraction 0x5A82799A / 2^31: the high half of the product, doubled.
double halfsqrt2(double v) {
  const double clamped = std::clamp(v, -4.0e15, 4.0e15);
  const __int128 product = static_cast<__int128>(static_cast<int64_t>(clamped)) * 0x5A82799A;
  return static_cast<double>(static_cast<int64_t>(product >> 32)) * 2.0;
}

// One vector of the scaled transform: in[k * step], out[k * ostep].
void idct8(const double* in, int step, double* out, int ostep) {
  const double z0 = in[0], z1 = in[step], z2 = in[2 * step], z3 = in[3 * step];
  const double z4 = in[4 * step], z5 = in[5 * step], z6 = in[6 * step], z7 = in[7 * step];
  if (z1 == 0 && z2 == 0 && z3 == 0 && z4 == 0 && z5 == 0 && z6 == 0 && z7 == 0) {
    for (int k = 0; k < 8; ++k) out[k * ostep] = z0;
    return;
  }
  const double e10 = z0 + z4, e11 = z0 - z4;
  const double e13 = z2 + z6;
  const double e12 = 2.0 * halfsqrt2(z2 - z6) - e13;
  const double e0 = e10 + e13, e3 = e10 - e13, e1 = e11 + e12, e2 = e11 - e12;
  const double o13 = z5 + z3, o10 = z5 - z3, o11 = z1 + z7, o12 = z1 - z7;
  const double t7 = o11 + o13;
  const double t11 = 2.0 * halfsqrt2(o11 - o13);
  const double r = 2.0 * static_cast<double>(0.3826834f) * (o12 - o10);
  const double t10 = -r - 2.0 * static_cast<double>(1.3065630f) * o10;
  const double t12 = r + 2.0 * static_cast<double>(0.5411961f) * o12;
  const double t6 = t12 - t7, t5 = t11 - t6, t4 = t10 + t5;
  out[0] = roundmagic(e0 + t7);
  out[7 * ostep] = roundmagic(e0 - t7);
  out[1 * ostep] = roundmagic(e1 + t6);
  out[6 * ostep] = roundmagic(e1 - t6);
  out[2 * ostep] = roundmagic(e2 + t5);
  out[5 * ostep] = roundmagic(e2 - t5);
  out[4 * ostep] = roundmagic(e3 + t4);
  out[3 * ostep] = roundmagic(e3 - t4);
}

constexpr uint32_t kFastLimit = 1u << 28;
inline bool fastrange(int32_t v) { return static_cast<uint32_t>(v) + kFastLimit < 2 * kFastLimit; }

// What a block's values allow: only the plain transform, the fast ones, or the fast ones with no output that
// can leave the int32 range. Neither pass gains more than 1 / cos(7 pi / 16) < 5.2 times the sum of the
// magnitudes, so a sum below 2^26 keeps every output below 2^31.
enum class Range { plain, fast, fits };
inline uint64_t magnitude(int32_t v) { return v < 0 ? 0u - static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v); }
inline Range rangeof(const int32_t* c, uint64_t total) {
  if (total < (1u << 26)) return Range::fits;
  for (int i = 0; i < 64; ++i)
    if (!fastrange(c[i])) return Range::plain;
  return Range::fast;
}

// Where c (c[u x 8 + v]) holds values: bit u for each vector u, bit 8 + v for each place v within them.
inline unsigned usedbit(int index) { return 1u << (index >> 3) | 256u << (index & 7); }

unsigned usedplaces(const int32_t* c, Range* range) {
  unsigned used = 0;
  uint64_t total = 0;
  for (int i = 0; i < 64; ++i) {
    used |= c[i] ? usedbit(i) : 0u;
    total += magnitude(c[i]);
  }
  *range = rangeof(c, total);
  return used;
}

// What the dequantiser needs at each scan position for the quality set: the factor, the position's place in
// the block and in its transpose, and its used bit.
struct ScanPlace {
  int32_t quant;
  uint16_t used;
  uint8_t raster, transposed;
};
struct ScanPlaces {
  ScanPlace at[64];
  ScanPlaces() { set(quanttable); }
  void set(const int32_t* quant) {
    for (int p = 0; p < 64; ++p) {
      const int index = kDctScan[p];
      at[p] = {quant[index], static_cast<uint16_t>(usedbit(index)), static_cast<uint8_t>(index),
               static_cast<uint8_t>((index & 7) * 8 + (index >> 3))};
    }
  }
} scanplaces;

// The transform four vectors at a time where the processor has AVX2, exact to idct8 for inputs below 2^28
// (pass one) and their outputs (pass two): every value stays an integer or a sum the doubles hold exactly, so
// the same operations in the same order give the same bits; the all-zero shortcut of idct8 is what the full
// flow gives on integers. Rounding to nearest replaces the magic sums.
#define TEEBOX_AVX2 __attribute__((target("avx2")))
using V4 = __m256d;

TEEBOX_AVX2 inline V4 round4(V4 v) { return _mm256_round_pd(v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }

// How a pass leaves its outputs: rounded doubles, or their int32 values in the low bits of the double's pattern
// (plus 1.5 x 2^52: the sum rounds to nearest, ties to even, as round4 does), the latter either as they are
// (the caller knows they fit) or saturated first (a double clamped to the range rounds to the clamped integer).
enum class Outputs { rounded, biased, saturatedbiased };

template <Outputs mode>
TEEBOX_AVX2 inline V4 finish4(V4 v) {
  const V4 magic = _mm256_set1_pd(6755399441055744.0);
  if (mode == Outputs::rounded) return round4(v);
  if (mode == Outputs::biased) return _mm256_add_pd(v, magic);
  const V4 high = _mm256_set1_pd(2147483647.0), low = _mm256_set1_pd(-2147483648.0);
  return _mm256_add_pd(_mm256_max_pd(_mm256_min_pd(v, high), low), magic);
}

// halfsqrt2 on 64-bit integers: an integer double below 2^51 plus 1.5 x 2^52 holds it in its low bits. With
// v = hi x 2^32 + lo, the product's high half is hi x K + (lo x K) / 2^32, both exact in 64 bits.
TEEBOX_AVX2 inline V4 halfsqrt2x4(V4 v) {
  const V4 magic = _mm256_set1_pd(6755399441055744.0);
  const __m256i bias = _mm256_castpd_si256(magic), k = _mm256_set1_epi64x(0x5A82799A);
  const __m256i n = _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(v, magic)), bias);
  const __m256i high = _mm256_mul_epi32(_mm256_srli_epi64(n, 32), k);
  const __m256i low = _mm256_srli_epi64(_mm256_mul_epu32(n, k), 32);
  const __m256i product = _mm256_add_epi64(high, low);
  const V4 back = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_add_epi64(product, bias)), magic);
  return _mm256_mul_pd(back, _mm256_set1_pd(2.0));
}

// Inputs from n on are zero: a sum with one of them is its other term (only a zero's sign could differ, and no
// integer result depends on it), and halfsqrt2 of zero is zero.
template <int n, Outputs mode = Outputs::rounded>
TEEBOX_AVX2 inline void idct8x4(const V4* z, V4* out) {
  const V4 two = _mm256_set1_pd(2.0), zero = _mm256_setzero_pd(), minus = _mm256_set1_pd(-0.0);
  const V4 e10 = n > 4 ? _mm256_add_pd(z[0], z[4]) : z[0], e11 = n > 4 ? _mm256_sub_pd(z[0], z[4]) : z[0];
  const V4 e13 = n > 6 ? _mm256_add_pd(z[2], z[6]) : n > 2 ? z[2] : zero;
  const V4 e12 = n > 2 ? _mm256_sub_pd(_mm256_mul_pd(two, halfsqrt2x4(n > 6 ? _mm256_sub_pd(z[2], z[6]) : z[2])), e13) : zero;
  const V4 e0 = n > 2 ? _mm256_add_pd(e10, e13) : e10, e3 = n > 2 ? _mm256_sub_pd(e10, e13) : e10;
  const V4 e1 = n > 2 ? _mm256_add_pd(e11, e12) : e11, e2 = n > 2 ? _mm256_sub_pd(e11, e12) : e11;
  const V4 o13 = n > 5 ? _mm256_add_pd(z[5], z[3]) : n > 3 ? z[3] : zero;
  const V4 o10 = n > 5 ? _mm256_sub_pd(z[5], z[3]) : n > 3 ? _mm256_xor_pd(z[3], minus) : zero;
  const V4 o11 = n > 7 ? _mm256_add_pd(z[1], z[7]) : z[1], o12 = n > 7 ? _mm256_sub_pd(z[1], z[7]) : z[1];
  const V4 t7 = n > 3 ? _mm256_add_pd(o11, o13) : o11;
  const V4 t11 = _mm256_mul_pd(two, halfsqrt2x4(n > 3 ? _mm256_sub_pd(o11, o13) : o11));
  const V4 r = _mm256_mul_pd(_mm256_set1_pd(2.0 * static_cast<double>(0.3826834f)), n > 3 ? _mm256_sub_pd(o12, o10) : o12);
  const V4 t10 = n > 3 ? _mm256_sub_pd(_mm256_xor_pd(r, minus), _mm256_mul_pd(_mm256_set1_pd(2.0 * static_cast<double>(1.3065630f)), o10))
                       : _mm256_xor_pd(r, minus);
  const V4 t12 = _mm256_add_pd(r, _mm256_mul_pd(_mm256_set1_pd(2.0 * static_cast<double>(0.5411961f)), o12));
  const V4 t6 = _mm256_sub_pd(t12, t7), t5 = _mm256_sub_pd(t11, t6), t4 = _mm256_add_pd(t10, t5);
  out[0] = finish4<mode>(_mm256_add_pd(e0, t7));
  out[7] = finish4<mode>(_mm256_sub_pd(e0, t7));
  out[1] = finish4<mode>(_mm256_add_pd(e1, t6));
  out[6] = finish4<mode>(_mm256_sub_pd(e1, t6));
  out[2] = finish4<mode>(_mm256_add_pd(e2, t5));
  out[5] = finish4<mode>(_mm256_sub_pd(e2, t5));
  out[4] = finish4<mode>(_mm256_add_pd(e3, t4));
  out[3] = finish4<mode>(_mm256_sub_pd(e3, t4));
}

// Four rows of four 32-bit values into four columns.
inline void transpose4(const __m128i* in, __m128i* out) {
  const __m128i a = _mm_unpacklo_epi32(in[0], in[1]), b = _mm_unpackhi_epi32(in[0], in[1]);
  const __m128i c = _mm_unpacklo_epi32(in[2], in[3]), d = _mm_unpackhi_epi32(in[2], in[3]);
  out[0] = _mm_unpacklo_epi64(a, c);
  out[1] = _mm_unpackhi_epi64(a, c);
  out[2] = _mm_unpacklo_epi64(b, d);
  out[3] = _mm_unpackhi_epi64(b, d);
}

// Both passes: out[h][x] holds column x of rows 4h..4h+3, pass two's outputs left as mode says. c is the
// coefficient block, or with transposed its transpose (c[v x 8 + u]), which hands pass one its lanes directly.
template <Outputs mode, bool transposed = false>
TEEBOX_AVX2 inline void idctpasses(const int32_t* c, unsigned used, V4 (&out)[2][8]) {
  const unsigned rows = used & 255, places = used >> 8;
  const int n = places < 4 ? 2 : places < 16 ? 4 : 8;  // places that can hold values
  // Pass one, four coefficient vectors at a time; middle[k x 8 + u] is vector u's output k.
  alignas(32) double middle[64];
  for (int u = 0; u < 8; u += 4) {
    if (!(rows >> u & 15)) continue;  // pass two reads these as zeros
    V4 z[8], out[8];
    if (transposed) {
      for (int v = 0; v < n; ++v) z[v] = _mm256_cvtepi32_pd(_mm_load_si128(reinterpret_cast<const __m128i*>(c + v * 8 + u)));
    } else {
      for (int v = 0; v < n; v += 4) {
        __m128i vectors[4], lanes[4];
        for (int i = 0; i < 4; ++i) vectors[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + (u + i) * 8 + v));
        transpose4(vectors, lanes);
        for (int i = 0; i < 4; ++i) z[v + i] = _mm256_cvtepi32_pd(lanes[i]);
      }
    }
    if (places < 4)
      idct8x4<2>(z, out);
    else if (places < 16)
      idct8x4<4>(z, out);
    else
      idct8x4<8>(z, out);
    for (int k = 0; k < 8; ++k) _mm256_store_pd(middle + k * 8 + u, out[k]);
  }
  // Pass two, four rows at a time: row k's vector is middle[k x 8 + u] over u, turned into lanes by 4 x 4
  // transposes. Both halves are gathered before either is transformed, so their chains overlap.
  V4 z[2][8];
  for (int h = 0; h < 2; ++h)
    for (int u = 0; u < 8; u += 4) {
      const double* m = middle + h * 32 + u;
      if (!(rows >> u & 15)) {
        for (int i = 0; i < 4; ++i) z[h][u + i] = _mm256_setzero_pd();
        continue;
      }
      const V4 r0 = _mm256_load_pd(m), r1 = _mm256_load_pd(m + 8), r2 = _mm256_load_pd(m + 16), r3 = _mm256_load_pd(m + 24);
      const V4 t0 = _mm256_unpacklo_pd(r0, r1), t1 = _mm256_unpackhi_pd(r0, r1);
      const V4 t2 = _mm256_unpacklo_pd(r2, r3), t3 = _mm256_unpackhi_pd(r2, r3);
      z[h][u] = _mm256_permute2f128_pd(t0, t2, 0x20);
      z[h][u + 1] = _mm256_permute2f128_pd(t1, t3, 0x20);
      z[h][u + 2] = _mm256_permute2f128_pd(t0, t2, 0x31);
      z[h][u + 3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
  if (rows == 1) {  // only the first vector: every output of a row is its value
    for (int h = 0; h < 2; ++h) {
      const V4 v = finish4<mode>(z[h][0]);
      for (int x = 0; x < 8; ++x) out[h][x] = v;
    }
  } else if (rows < 4) {
    idct8x4<2, mode>(z[0], out[0]);
    idct8x4<2, mode>(z[1], out[1]);
  } else if (rows < 16) {
    idct8x4<4, mode>(z[0], out[0]);
    idct8x4<4, mode>(z[1], out[1]);
  } else {
    idct8x4<8, mode>(z[0], out[0]);
    idct8x4<8, mode>(z[1], out[1]);
  }
}

TEEBOX_AVX2 void idctwide(const int32_t* c, unsigned used, int32_t* output, int stride) {
  V4 out[2][8];
  idctpasses<Outputs::rounded>(c, used, out);
  // Clamp, truncate and transpose back into rows.
  const V4 high = _mm256_set1_pd(2147483647.0), low = _mm256_set1_pd(-2147483648.0);
  for (int h = 0; h < 2; ++h) {
    __m128i n[8];
    for (int x = 0; x < 8; ++x) n[x] = _mm256_cvttpd_epi32(_mm256_max_pd(_mm256_min_pd(out[h][x], high), low));
    int32_t* row = output + 4 * h * stride;
    for (int x = 0; x < 8; x += 4) {
      __m128i rowsout[4];
      transpose4(n + x, rowsout);
      for (int i = 0; i < 4; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i * stride + x), rowsout[i]);
    }
  }
}

// Byte shuffles that take byte 2 of both doubles of a 128-bit half to bytes 8h + i and 8h + 4 + i.
struct SamplePicks {
  alignas(16) int8_t bytes[8][16];
  SamplePicks() {
    for (int h = 0; h < 2; ++h)
      for (int i = 0; i < 4; ++i) {
        for (int8_t& b : bytes[4 * h + i]) b = -128;
        bytes[4 * h + i][8 * h + i] = 2;
        bytes[4 * h + i][8 * h + 4 + i] = 10;
      }
  }
  const int8_t* operator[](int k) const { return bytes[k]; }
} const samplepicks;

// The same values as samples, as the clamp table gives them from bits 16-23: rows of 8 at output + row x stride.
// fits says that no output can leave the int32 range, so none needs saturating.
template <bool transposed>
TEEBOX_AVX2 void idctwidesamples(const int32_t* c, unsigned used, bool fits, uint8_t* output, int stride) {
  V4 out[2][8];
  if (fits)
    idctpasses<Outputs::biased, transposed>(c, used, out);
  else
    idctpasses<Outputs::saturatedbiased, transposed>(c, used, out);
  // Each double's byte 2 is its sample's byte. out[h][x]'s lower 128 bits hold rows 4h and 4h + 1, the upper
  // rows 4h + 2 and 4h + 3; their bytes go to byte x mod 4 of words 2h and 2h + 1, so that in group g (columns
  // 4g..4g+3) word j of the lower half holds the first four samples of row (0, 1, 4, 5)[j], of the upper
  // half row (2, 3, 6, 7)[j].
  __m256i half[2];
  for (int g = 0; g < 2; ++g) {
    __m256i rows = _mm256_setzero_si256();
    for (int h = 0; h < 2; ++h)
      for (int i = 0; i < 4; ++i) {
        const __m128i p = _mm_load_si128(reinterpret_cast<const __m128i*>(samplepicks[4 * h + i]));
        const __m256i bytes = _mm256_shuffle_epi8(_mm256_castpd_si256(out[h][4 * g + i]), _mm256_broadcastsi128_si256(p));
        rows = _mm256_or_si256(rows, bytes);
      }
    half[g] = _mm256_add_epi8(_mm256_min_epi8(_mm256_max_epi8(rows, _mm256_set1_epi8(-64)), _mm256_set1_epi8(63)),
                              _mm256_set1_epi8(64));
  }
  // Eight samples a row: rows 0, 1 | 2, 3 and rows 4, 5 | 6, 7.
  const __m256i low = _mm256_unpacklo_epi32(half[0], half[1]), high = _mm256_unpackhi_epi32(half[0], half[1]);
  const __m128i parts[4] = {_mm256_castsi256_si128(low), _mm256_extracti128_si256(low, 1), _mm256_castsi256_si128(high),
                            _mm256_extracti128_si256(high, 1)};
  for (int p = 0; p < 4; ++p) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(output + 2 * p * stride), parts[p]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(output + (2 * p + 1) * stride), _mm_srli_si128(parts[p], 8));
  }
}

const bool haswide = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

void idctplain(const int32_t* c, int32_t* output, int stride) {
  double in[64], middle[64], out[64];
  for (int i = 0; i < 64; ++i) in[i] = c[i];
  // Each coefficient vector becomes a column of the intermediate block.
  for (int r = 0; r < 8; ++r) idct8(in + r * 8, 1, middle + r, 8);
  for (int k = 0; k < 8; ++k) idct8(middle + k * 8, 1, out + k * 8, 1);
  for (int k = 0; k < 8; ++k)
    for (int c2 = 0; c2 < 8; ++c2) output[k * stride + c2] = saturate32(out[k * 8 + c2]);
}

// The transform of c by the fastest path that gives the plain path's values: used and range as usedplaces
// tells.
void idctrows(const int32_t* c, unsigned used, Range range, int32_t* output, int stride) {
  if (range != Range::plain && haswide)
    idctwide(c, used, output, stride);
  else
    idctplain(c, output, stride);
}

// The transform of c as samples (the clamp table on bits 16-23), by the fastest path that gives the plain
// path's values.
template <bool transposed = false>
void idctsamples(const int32_t* c, unsigned used, Range range, uint8_t* output, int stride) {
  if (range != Range::plain && haswide) {
    idctwidesamples<transposed>(c, used, range == Range::fits, output, stride);
    return;
  }
  int32_t values[64], raster[64];
  for (int i = 0; i < 64; ++i) raster[i] = c[transposed ? (i & 7) * 8 + (i >> 3) : i];
  idctplain(raster, values, 8);
  for (int r = 0; r < 8; ++r)
    for (int k = 0; k < 8; ++k) output[r * stride + k] = clamptable[(static_cast<uint32_t>(values[r * 8 + k]) >> 16) & 0xFF];
}

// Macroblock working storage: the samples of the luminance (16 x 16) and of the two colour blocks.
alignas(16) uint8_t lumsamples[256], cdsamples1[64], cdsamples2[64];

// One row of 16 luminance and 8 + 8 colour samples into eight pixel pairs.
void packsamples(const uint8_t* luminance, const uint8_t* cd1, const uint8_t* cd2, PixelPair* output) {
  const __m128i colour = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cd1)),
                                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cd2)));
  const __m128i lum = _mm_load_si128(reinterpret_cast<const __m128i*>(luminance));
  const __m128i swapped = _mm_or_si128(_mm_slli_epi16(lum, 8), _mm_srli_epi16(lum, 8));  // left sample on top
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output), _mm_unpacklo_epi16(colour, swapped));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 4), _mm_unpackhi_epi16(colour, swapped));
}

}  // namespace

void dctbuildtables() {
  if (tablesbuilt) return;
  for (auto& e : codetable) e = {0, 0};
  for (auto& e : longtable) e = {0, 0};
  for (uint32_t i = 0; i < 32; ++i) codetable[i] = {0, 32};           // eight zeros: the long codes
  for (uint32_t i = 128; i < 256; ++i) codetable[i] = {kDctEscapeValue, 33};  // "000001"
  for (uint32_t i = 0x1000; i < 0x1800; ++i) codetable[i] = {kDctEndWord, 2};  // "10"
  for (const MovieCode& code : kMovieCodes) {
    entercode(code, 0);
    entercode(code, 1);
  }
  for (int b = 0; b < 256; ++b) {
    const int v = static_cast<int8_t>(b);
    clamptable[b] = static_cast<uint8_t>(std::clamp(v, -64, 63) + 64);
  }
  tablesbuilt = true;
}

const DctCode* dctcodetable() { return dctbuildtables(), codetable; }
const DctCode* dctlongtable() { return dctbuildtables(), longtable; }
const uint8_t* dctclamptable() { return dctbuildtables(), clamptable; }
const int32_t* dctquanttable() { return quanttable; }
int32_t* dctcoefficients() { return coefficients; }

void dctsetquality(int32_t quality) {
  static const std::vector<int64_t> prescales = [] {
    std::vector<int64_t> table(64);
    for (int i = 0; i < 64; ++i) table[static_cast<size_t>(i)] = dctprescale(i);
    return table;
  }();
  quanttable[0] = 8192;
  for (int i = 1; i < 64; ++i) {
    const int64_t product = static_cast<int64_t>(kDctIntraMatrix[i]) * quality * prescales[static_cast<size_t>(i)] * 4096;
    const int64_t entry = (product + 0x8000) >> 16;
    quanttable[i] = static_cast<int32_t>(std::clamp<int64_t>(entry, INT32_MIN, INT32_MAX));
  }
  scanplaces.set(quanttable);
}

int64_t dctdecodeblock(const uint16_t* input, size_t inwords, uint16_t* output, size_t outcapacity) {
  std::vector<uint8_t> bytes(inwords * 2);
  for (size_t i = 0; i < inwords; ++i) WriteLE16(bytes.data() + 2 * i, input[i]);
  return decodecodes(bytes.data(), inwords, output, outcapacity);
}

namespace {

// Dequantises one block's words into the coefficient block: the words used (0 for damage), where the block
// holds values and what their range allows (as usedplaces tells); with transposed, c receives the transpose.
template <bool transposed = false>
int dequantiseblock(const uint16_t* words, size_t available, int32_t* c, unsigned* placesused, Range* range) {
  if (available < 2) return 0;
  for (int i = 0; i < 64; i += 4) _mm_store_si128(reinterpret_cast<__m128i*>(c + i), _mm_setzero_si128());
  c[0] = static_cast<int32_t>(static_cast<int64_t>(signextend10(words[0])) * quanttable[0]);
  unsigned places = c[0] ? usedbit(0) : 0u;
  uint64_t total = magnitude(c[0]);
  size_t used = 1;
  int position = 1;
  for (;;) {
    if (used >= available) return 0;
    const uint16_t w = words[used++];
    if (w == kDctEndWord) break;
    position += w >> 10;
    if (position > 63) return 0;
    const ScanPlace& place = scanplaces.at[position];
    // The low 32 bits of the product, as the transform expects.
    const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(signextend10(w)) * place.quant));
    c[transposed ? place.transposed : place.raster] = value;
    places |= value ? place.used : 0u;
    total += magnitude(value);
    ++position;
  }
  *placesused = places;
  *range = rangeof(c, total);
  return static_cast<int>(used);
}

}  // namespace

int dctdequantise(const uint16_t* words, size_t available) {
  unsigned used = 0;
  Range range = Range::plain;
  return dequantiseblock(words, available, coefficients, &used, &range);
}

void dctidct(int32_t* output, int stride) {
  Range range = Range::plain;
  const unsigned used = usedplaces(coefficients, &range);
  idctrows(coefficients, used, range, output, stride);
}

void dctidctplain(int32_t* output, int stride) { idctplain(coefficients, output, stride); }

void dctidctsamples(uint8_t* output, int stride) {
  dctbuildtables();
  Range range = Range::plain;
  const unsigned used = usedplaces(coefficients, &range);
  idctsamples(coefficients, used, range, output, stride);
}

void dctfillblock(int32_t* block, int stride) {
  const int32_t value = coefficients[0];
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) block[r * stride + c] = value;
}

namespace {

// Bits 16-23 of four values as signed bytes, clamped to -64..63 and offset by 64, as the clamp table does.
inline __m128i samples4(const int32_t* v) {
  return _mm_srai_epi32(_mm_slli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v)), 8), 24);
}

inline __m128i clampsamples(__m128i a, __m128i b) {  // eight samples as 16-bit values 0..127
  const __m128i packed = _mm_packs_epi32(a, b);
  return _mm_add_epi16(_mm_min_epi16(_mm_max_epi16(packed, _mm_set1_epi16(-64)), _mm_set1_epi16(63)), _mm_set1_epi16(64));
}

}  // namespace

void dctpackrow(const int32_t* luminance, const int32_t* cd1, const int32_t* cd2, PixelPair* output) {
  const __m128i first = clampsamples(samples4(cd1), samples4(cd1 + 4));
  const __m128i second = clampsamples(samples4(cd2), samples4(cd2 + 4));
  const __m128 l0 = _mm_castsi128_ps(samples4(luminance)), l1 = _mm_castsi128_ps(samples4(luminance + 4));
  const __m128 l2 = _mm_castsi128_ps(samples4(luminance + 8)), l3 = _mm_castsi128_ps(samples4(luminance + 12));
  const __m128i even = clampsamples(_mm_castps_si128(_mm_shuffle_ps(l0, l1, _MM_SHUFFLE(2, 0, 2, 0))),
                                    _mm_castps_si128(_mm_shuffle_ps(l2, l3, _MM_SHUFFLE(2, 0, 2, 0))));
  const __m128i odd = clampsamples(_mm_castps_si128(_mm_shuffle_ps(l0, l1, _MM_SHUFFLE(3, 1, 3, 1))),
                                   _mm_castps_si128(_mm_shuffle_ps(l2, l3, _MM_SHUFFLE(3, 1, 3, 1))));
  // Bytes: colour 1, colour 2, right luminance, left luminance.
  const __m128i low = _mm_or_si128(first, _mm_slli_epi16(second, 8));
  const __m128i high = _mm_or_si128(odd, _mm_slli_epi16(even, 8));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output), _mm_unpacklo_epi16(low, high));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 4), _mm_unpackhi_epi16(low, high));
}

void dctpackrowplain(const int32_t* luminance, const int32_t* cd1, const int32_t* cd2, PixelPair* output) {
  dctbuildtables();
  auto sample = [](int32_t v) { return static_cast<uint32_t>(clamptable[(static_cast<uint32_t>(v) >> 16) & 0xFF]); };
  for (int i = 0; i < 8; ++i)
    output[i] = sample(cd1[i]) | sample(cd2[i]) << 8 | sample(luminance[2 * i + 1]) << 16 |
                sample(luminance[2 * i]) << 24;
}

int dctdecodemacroblock(const uint16_t* words, size_t available, PixelPair* output, int32_t framewidth) {
  dctbuildtables();
  uint8_t* const targets[6] = {cdsamples1, cdsamples2, lumsamples, lumsamples + 8, lumsamples + 128, lumsamples + 136};
  const int strides[6] = {8, 8, 16, 16, 16, 16};
  // All six blocks are dequantised before any is transformed: the transform's wide loads then find the
  // dequantiser's narrow stores already written.
  size_t used = 0;
  unsigned places[6];
  Range ranges[6];
  int counts[6];
  for (int b = 0; b < 6; ++b) {
    counts[b] = dequantiseblock<true>(words + used, available - used, transposedblocks[b], &places[b], &ranges[b]);
    if (counts[b] == 0) return 0;
    used += static_cast<size_t>(counts[b]);
  }
  for (int b = 0; b < 6; ++b) {
    if (counts[b] == 2) {
      const uint8_t sample = clamptable[(static_cast<uint32_t>(transposedblocks[b][0]) >> 16) & 0xFF];
      for (int r = 0; r < 8; ++r) std::memset(targets[b] + r * strides[b], sample, 8);
    } else {
      idctsamples<true>(transposedblocks[b], places[b], ranges[b], targets[b], strides[b]);
    }
  }
  const int32_t pairs = framewidth / 2;
  for (int r = 0; r < 16; ++r) packsamples(lumsamples + r * 16, cdsamples1 + (r / 2) * 8, cdsamples2 + (r / 2) * 8, output + r * pairs);
  return static_cast<int>(used);
}

int dctdecodepicture(const uint16_t* words, size_t available, PixelPair* frame, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width % 16 || height % 16) return -1;
  size_t used = 0;
  for (int32_t my = 0; my < height; my += 16)
    for (int32_t mx = 0; mx < width; mx += 16) {
      const int count = dctdecodemacroblock(words + used, available - used,
                                            frame + static_cast<size_t>(my) * (width / 2) + mx / 2, width);
      if (count == 0) return -1;
      used += static_cast<size_t>(count);
    }
  return 0;
}

int64_t dctbegin(const uint8_t* data, size_t bytes, uint16_t* words, size_t capacity) {
  return decodecodes(data, bytes / 2, words, capacity);
}

// ---- colour rows ---------------------------------------------------------------------------------------------------
// A packed sum holds red, green and blue in three 10-bit fields. Each colour-difference entry carries a bias of
// 128 in every field so that no field goes negative or carries into the next; the saturating tables remove
// the bias of 256, clip each field to 0..127 and shift it into the window's pixel format.
namespace {

int colourdepth = 0;
uint32_t lumtable[128], cd1table[128], cd2table[128];
uint16_t satred[1024], satgreen[1024], satblue[1024];
const PixelPair* videoframe = nullptr;

uint32_t packfields(int r, int g, int b) {
  return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 10 | static_cast<uint32_t>(b) << 20;
}

inline uint32_t topixel(uint32_t sum) { return satred[sum & 1023] | satgreen[(sum >> 10) & 1023] | satblue[sum >> 20]; }

inline uint32_t pairpixels(PixelPair p) {
  const uint32_t chroma = cd1table[p & 0x7F] + cd2table[(p >> 8) & 0x7F];
  const uint32_t right = topixel(chroma + lumtable[(p >> 16) & 0x7F]);
  const uint32_t left = topixel(chroma + lumtable[(p >> 24) & 0x7F]);
  return left | right << 16;
}

// What lies right of a row's last pair: its own colour and right pixel, so the edge is held.
inline PixelPair lastpair(PixelPair p) { return (p & 0x00FFFFFF) | (p & 0x00FF0000) << 8; }

inline uint32_t avgbytes(uint32_t a, uint32_t b) { return ((a & 0xFEFEFEFE) >> 1) + ((b & 0xFEFEFEFE) >> 1) + (a & b & 0x01010101); }

}  // namespace

void buildvideocolourtables(int depth) {
  colourdepth = depth;
  for (int i = 0; i < 128; ++i) {
    const double v = (i - 64) + 0.5;
    lumtable[i] = packfields(i, i, i);
    // Cb adds to green and blue, Cr to red and green.
    cd1table[i] = packfields(128, 128 + static_cast<int>(std::lround(v * -0.3441)), 128 + static_cast<int>(std::lround(v * 1.772)));
    cd2table[i] = packfields(128 + static_cast<int>(std::lround(v * 1.402)), 128 + static_cast<int>(std::lround(v * -0.7141)), 128);
  }
  for (int f = 0; f < 1024; ++f) {
    const uint32_t s = static_cast<uint32_t>(std::clamp(f - 256, 0, 127));
    if (depth == 15) {
      satred[f] = static_cast<uint16_t>((s >> 2) << 10);
      satgreen[f] = static_cast<uint16_t>((s >> 2) << 5);
    } else {
      satred[f] = static_cast<uint16_t>((s >> 2) << 11);
      satgreen[f] = static_cast<uint16_t>((s >> 1) << 5);
    }
    satblue[f] = static_cast<uint16_t>(s >> 2);
  }
}

int videocolourdepth() { return colourdepth; }

void yuvrow(const PixelPair* pairs, uint32_t* output, int32_t count) {
  for (int32_t i = 0; i < count; ++i) output[i] = pairpixels(pairs[i]);
}

void yuvrowdouble(const PixelPair* pairs, uint32_t* output, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t two = pairpixels(pairs[i]);
    output[2 * i] = (two & 0xFFFF) * 0x10001u;
    output[2 * i + 1] = (two >> 16) * 0x10001u;
  }
}

void yuvwiden(const PixelPair* pairs, PixelPair* output, int32_t count) {
  // Writing pairs 2i and 2i + 1 only overwrites input pairs already read when widening in place.
  for (int32_t i = 0; i < count; ++i) {
    const PixelPair p = pairs[i];
    const PixelPair n = i + 1 < count ? pairs[i + 1] : lastpair(p);
    const uint32_t l = p >> 24, r = (p >> 16) & 0xFF, nl = n >> 24;
    output[2 * i] = (p & 0xFFFF) | ((l + r) >> 1) << 16 | l << 24;
    output[2 * i + 1] = avgbytes(p & 0xFFFF, n & 0xFFFF) | ((r + nl) >> 1) << 16 | r << 24;
  }
}

void yuvwidenavg(const PixelPair* rowa, const PixelPair* rowb, PixelPair* output, int32_t count) {
  // Averaged pairs are built in place in the second half of the output before widening into the whole.
  PixelPair* mean = output + count;
  for (int32_t i = 0; i < count; ++i) mean[i] = avgbytes(rowa[i], rowb[i]);
  yuvwiden(mean, output, count);
}

void clamppack8(const int32_t* values, uint32_t* output, int32_t count) {
  dctbuildtables();
  auto c = [](int32_t v) { return static_cast<uint32_t>(clamptable[static_cast<uint32_t>(v) & 0xFF]); };
  for (int32_t g = 0; g < count / 2; ++g) {
    const int32_t* v = values + 8 * g;
    output[2 * g] = c(v[0]) | c(v[2]) << 8 | c(v[1]) << 16 | c(v[3]) << 24;
    output[2 * g + 1] = c(v[4]) | c(v[6]) << 8 | c(v[5]) << 16 | c(v[7]) << 24;
  }
}

void setvideoframe(const PixelPair* frame) {
  videoframe = frame;
}

namespace {

uint8_t* windowrow(int32_t y) { return CurrentWindow.pixels + static_cast<ptrdiff_t>(y) * CurrentWindow.rowbytes; }

void storewords(uint8_t* at, const uint32_t* words, int32_t count) {
  std::memcpy(at, words, static_cast<size_t>(count) * 4);
}

}  // namespace

int blitvideoframe(int32_t x, int32_t y, int32_t width, int32_t height, int mode) {
  if (mode < 0 || mode > 3) return -1;
  const WindowDesc& w = CurrentWindow;
  if (w.depth != 15 && w.depth != 16) return -2;
  if (!videoframe || !w.pixels || width < 2 || height < 1) return 0;
  if (colourdepth != w.depth) buildvideocolourtables(w.depth);
  const int32_t s = mode == 0 ? 1 : 2;
  x &= ~1;
  if (reinterpret_cast<uintptr_t>(w.pixels) & 2) x |= 1;
  // The clip rectangle, kept inside the window so that a bad rectangle cannot reach outside its memory.
  const int32_t minx = std::max(w.minx, 0), miny = std::max(w.miny, 0);
  const int32_t maxx = std::min(w.maxx, w.width), maxy = std::min(w.maxy, w.height);
  const int32_t srcpairs = width / 2;
  int32_t skippairs = 0, skiprows = 0;
  if (x < minx) skippairs = (minx - x + 2 * s - 1) / (2 * s);
  if (y < miny) skiprows = (miny - y + s - 1) / s;
  const int32_t left = x + skippairs * 2 * s, top = y + skiprows * s;
  int32_t pairs = std::min(srcpairs - skippairs, maxx > left ? (maxx - left) / (2 * s) : 0);
  int32_t rows = std::min(height - skiprows, maxy > top ? (maxy - top + s - 1) / s : 0);
  if (pairs < 2 || rows < 1) return 0;
  const PixelPair* source = videoframe + static_cast<size_t>(skiprows) * srcpairs + skippairs;
  auto srcrow = [&](int32_t r) { return source + static_cast<size_t>(r) * srcpairs; };
  std::vector<uint32_t> line(static_cast<size_t>(pairs) * 2 + 2);
  std::vector<PixelPair> wide(static_cast<size_t>(pairs) * 2 + 2);
  const size_t xoffset = static_cast<size_t>(left) * 2;
  if (mode == 0) {
    for (int32_t r = 0; r < rows; ++r) {
      yuvrow(srcrow(r), line.data(), pairs);
      storewords(windowrow(top + r) + xoffset, line.data(), pairs);
    }
    return 0;
  }
  for (int32_t r = 0; r < rows; ++r) {
    if (mode == 3) {
      yuvwiden(srcrow(r), wide.data(), pairs);
      yuvrow(wide.data(), line.data(), pairs * 2);
    } else {
      yuvrowdouble(srcrow(r), line.data(), pairs);
    }
    storewords(windowrow(top + 2 * r) + xoffset, line.data(), pairs * 2);
  }
  if (mode == 1) return 0;
  if (static_cast<int64_t>(pairs) * 4 * rows * 2 > 153600 && !surfaceguard()) return 0;
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t wy = top + 2 * r + 1;
    if (wy >= maxy) break;
    const PixelPair* below = srcrow(r + 1 < rows ? r + 1 : r);
    if (mode == 3) {
      yuvwidenavg(srcrow(r), below, wide.data(), pairs);
      yuvrow(wide.data(), line.data(), pairs * 2);
    } else {
      for (int32_t i = 0; i < pairs; ++i) wide[static_cast<size_t>(i)] = avgbytes(srcrow(r)[i], below[i]);
      yuvrowdouble(wide.data(), line.data(), pairs);
    }
    storewords(windowrow(wy) + xoffset, line.data(), pairs * 2);
  }
  return 0;
}

namespace {

void blithook(const uint8_t* frame, int32_t x, int32_t y, int32_t width, int32_t height, int doublesize) {
  std::vector<PixelPair> pairs(static_cast<size_t>(width / 2) * static_cast<size_t>(std::max(height, 0)));
  if (!pairs.empty()) std::memcpy(pairs.data(), frame, pairs.size() * 4);
  const PixelPair* saved = videoframe;
  setvideoframe(pairs.data());
  blitvideoframe(x, y, width, height, doublesize ? 2 : 0);
  setvideoframe(saved);
}

}  // namespace

void moviesetblithook() { blitvideoframehook = blithook; }


bool movieisframeid(uint32_t id) { return id == kMadKeyId || id == kMadFrameId || id == kMadDropId; }

int movieparseframe(const uint8_t* chunk, size_t bytes, MovieFrame* frame) {
  if (!chunk || !frame || bytes < kMadPictureOffset) return -2;
  const uint32_t id = ReadLE32(chunk), size = ReadLE32(chunk + 4);
  if (!movieisframeid(id) || size <= kMadPictureOffset || size > bytes) return -2;
  const int32_t width = chunk[16] | chunk[17] << 8, height = chunk[18] | chunk[19] << 8;
  if (width <= 0 || height <= 0 || width % 16 || height % 16 || width > kMadMaxWidth || height > kMadMaxHeight)
    return -2;
  *frame = MovieFrame{id,    ReadLE32(chunk + 8), ReadLE32(chunk + 12), width, height, chunk + kMadPictureOffset,
                      size - kMadPictureOffset};
  return 0;
}

namespace {

int decodecoded(uint32_t quality, const uint8_t* bits, size_t bytes, PixelPair* frame, int32_t width, int32_t height) {
  if (quality > 255) return -1;
  dctsetquality(static_cast<int32_t>(quality));
  // Every block holds at most 65 words; one end word follows the last.
  const size_t blocks = static_cast<size_t>(width / 16) * static_cast<size_t>(height / 16) * 6;
  static std::vector<uint16_t> words;
  words.resize(blocks * 65 + 1);
  const int64_t count = dctbegin(bits, bytes, words.data(), words.size());
  if (count < 0) return -1;
  return dctdecodepicture(words.data(), static_cast<size_t>(count), frame, width, height);
}

}  // namespace

int moviedecodepicture(const MovieFrame& parsed, PixelPair* frame) {
  if (!frame || !parsed.picture) return -1;
  return decodecoded(parsed.quality, parsed.picture, parsed.bytes, frame, parsed.width, parsed.height);
}

int moviedecodeframe(const uint8_t* data, size_t bytes, PixelPair* frame, int32_t width, int32_t height) {
  if (!data || bytes < 4 || width <= 0 || height <= 0 || width % 16 || height % 16) return -1;
  return decodecoded(ReadLE32(data), data + 4, bytes - 4, frame, width, height);
}

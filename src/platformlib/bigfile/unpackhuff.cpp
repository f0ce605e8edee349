// Pack codes 0x30, 0x32 and 0x34: canonical Huffman codes with an escape symbol for runs and raw bytes,
// then none, one or two running-sum passes. The data is one bit stream, most significant bit first.
#include <algorithm>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/bigfile/unpackfmt.h"

using namespace unpackfmt;

namespace {

class BitIn {
 public:
  // `exact`: the block's extent is known, so whole words may be read ahead up to it. Otherwise the extent
  // is taken on trust and bytes are read only as the bits asked for need them (two bytes ahead at most).
  BitIn(const uint8_t* p, size_t n, size_t pos, bool exact) : p_(p), n_(n), pos_(pos), exact_(exact) {}

  // Makes at least `need` (at most 32) bits available; past the end of the block it reads zeros, which
  // `overrun` reports.
  void refill(int need) {
    if (bits_ >= need) return;
    if (exact_ && pos_ + 8 <= n_) {
      uint64_t v;
      std::memcpy(&v, p_ + pos_, 8);
      buf_ |= __builtin_bswap64(v) >> bits_;
      pos_ += (63 - bits_) >> 3;
      bits_ |= 56;
      return;
    }
    while (bits_ < need) {
      const uint64_t b = pos_ < n_ ? p_[pos_] : 0;
      ++pos_;
      buf_ |= b << (56 - bits_);
      bits_ += 8;
    }
  }
  uint32_t peek(int k) const { return static_cast<uint32_t>(buf_ >> (64 - k)); }
  void skip(int k) {
    buf_ <<= k;
    bits_ -= k;
  }
  // Skips the low six bits of `entry` in bits.
  void skipby(uint32_t entry) {
    buf_ <<= (entry & 63);
    bits_ -= static_cast<int>(entry & 63);
  }
  uint32_t get(int k) {
    refill(k);
    const uint32_t v = peek(k);
    skip(k);
    return v;
  }
  // The number code: 1xx gives 4..7; otherwise z zero bits, then a 1 and z + 2 more bits. 0 when the value
  // would not fit 32 bits.
  uint32_t getnum() {
    refill(1);
    if (buf_ >> 63) return get(3);
    int z = 0;
    for (;;) {
      refill(1);
      if (buf_ >> 63) break;
      skip(1);
      if (++z > 29) return 0;
    }
    return get(z + 3);
  }
  // Bits taken from the start of the block.
  size_t bitpos() const { return pos_ * 8 - static_cast<size_t>(bits_); }
  // True when a refill reads whole words: at least 56 bits are then available.
  bool wide() const { return exact_ && pos_ + 8 <= n_; }
  // True when more bits were taken than the block holds.
  bool overrun() const { return pos_ > n_ && (pos_ - n_) * 8 > static_cast<size_t>(bits_); }
  bool farpast() const { return pos_ > n_ && pos_ - n_ > 16; }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t pos_;
  bool exact_;
  uint64_t buf_ = 0;
  int bits_ = 0;
};

struct Decoder {
  struct Short {
    uint8_t symbol;
    uint8_t length;  // 0: the code is longer than 8 bits
  };
  Short lut[256];
  uint8_t symbols[256];
  uint32_t count[17] = {};
  uint32_t first[17] = {};  // first code of each length
  uint32_t base[17] = {};   // index in `symbols` of each length's first code
  uint32_t limit[17] = {};  // next code after each length, left-justified to 16 bits (not wrapped)
  int maxlength = 0;
  int total = 0;

  bool read(BitIn& in) {
    uint32_t code = 0;
    for (int length = 1;; ++length) {
      if (length > 16) return false;
      const uint32_t num = in.getnum();
      if (num < 4 || num - 4 > 256) return false;
      const uint32_t c = num - 4;
      count[length] = c;
      first[length] = code;
      base[length] = static_cast<uint32_t>(total);
      total += static_cast<int>(c);
      if (total > 256) return false;
      code += c;
      if (code > (1u << length)) return false;  // more codes than the length can hold
      limit[length] = c ? code << (16 - length) : 0;
      if (c && code == (1u << length)) {
        maxlength = length;
        break;
      }
      code <<= 1;
    }
    bool used[256] = {};
    unsigned cursor = 0xFF;
    for (int i = 0; i < total; ++i) {
      const uint32_t num = in.getnum();
      if (num < 4) return false;
      // Passing d unused values on a wheel of `free` of them: only d modulo the wheel matters.
      const uint32_t free = static_cast<uint32_t>(256 - i);
      uint32_t d = (num - 4) % free + 1;
      while (d) {
        cursor = (cursor + 1) & 0xFF;
        if (!used[cursor]) --d;
      }
      used[cursor] = true;
      symbols[i] = static_cast<uint8_t>(cursor);
    }
    std::memset(lut, 0, sizeof lut);
    for (int length = 1; length <= maxlength && length <= 8; ++length) {
      for (uint32_t k = 0; k < count[length]; ++k) {
        const uint32_t c = first[length] + k;
        const uint32_t span = 1u << (8 - length);
        for (uint32_t j = 0; j < span; ++j) {
          lut[(c << (8 - length)) + j] = {symbols[base[length] + k], static_cast<uint8_t>(length)};
        }
      }
    }
    return !in.overrun();
  }

  // Up to two symbols of the next kPairBits bits at once; `count` 0 where the first code is longer or is
  // the escape, which the symbol-by-symbol path then takes.
  static constexpr int kPairBits = 11;
  // `bits` first: the entry read as a word shifts the bit buffer by itself, as x86 shifts take the count
  // modulo 64.
  struct Pair {
    uint8_t bits, count;
    uint8_t first, second;
  };

  void makepairs(uint8_t escape, Pair* pairs) const {
    constexpr uint32_t entries = 1u << kPairBits;
    std::memset(pairs, 0, sizeof(Pair) * entries);
    // Codes of at most kPairBits bits, each over its span of the table.
    Short single[entries];
    std::memset(single, 0, sizeof single);
    for (int length = 1; length <= maxlength && length <= kPairBits; ++length)
      for (uint32_t k = 0; k < count[length]; ++k) {
        const uint32_t c = first[length] + k, span = 1u << (kPairBits - length);
        for (uint32_t j = 0; j < span; ++j)
          single[(c << (kPairBits - length)) + j] = {symbols[base[length] + k], static_cast<uint8_t>(length)};
      }
    for (uint32_t x = 0; x < entries; ++x) {
      const Short a = single[x];
      if (!a.length || a.symbol == escape) continue;
      Pair& p = pairs[x];
      p = {a.length, 1, a.symbol, 0};
      const Short b = single[(x << a.length) & (entries - 1)];
      if (b.length && b.length <= kPairBits - a.length && b.symbol != escape)
        p = {static_cast<uint8_t>(a.length + b.length), 2, a.symbol, b.symbol};
    }
  }

  // One symbol; false when the bits match no code.
  bool decode(BitIn& in, uint8_t* symbol) const {
    in.refill(8);
    const Short s = lut[in.peek(8)];
    if (s.length) {
      in.skip(s.length);
      *symbol = s.symbol;
      return true;
    }
    in.refill(16);
    const uint32_t bits16 = in.peek(16);
    for (int length = 9; length <= maxlength; ++length) {
      if (count[length] && bits16 < limit[length]) {
        *symbol = symbols[base[length] + (bits16 >> (16 - length)) - first[length]];
        in.skip(length);
        return true;
      }
    }
    return false;
  }
};

// Sums within sixteen bytes in four shifted additions.
inline __m128i localsums(__m128i v) {
  v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
  v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
  v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
  return _mm_add_epi8(v, _mm_slli_si128(v, 8));
}

// The last byte spread over all sixteen.
inline __m128i lastbyte(__m128i v) {
  const __m128i top = _mm_srli_si128(v, 15);
  return _mm_shuffle_epi32(_mm_shufflelo_epi16(_mm_unpacklo_epi8(top, top), 0), 0);
}

// One or two running-sum passes, made together sixteen bytes at a time and carried from call to call, so the
// bytes are summed soon after they are decoded, while they are still in the cache. The sum carried from one
// sixteen to the next grows by the last of the sixteen's own sums: the loop waits on one addition per pass.
class RunningSums {
 public:
  explicit RunningSums(int passes) : passes_(passes) {}

  int passes() const { return passes_; }
  size_t done() const { return done_; }

  // One sixteen, for callers that keep the sums beside other work.
  template <int passes>
  __attribute__((always_inline)) void sixteen(uint8_t* out) {
    const __m128i own = localsums(_mm_loadu_si128(reinterpret_cast<const __m128i*>(out + done_)));
    __m128i v = _mm_add_epi8(own, first_);
    first_ = _mm_add_epi8(first_, lastbyte(own));
    if (passes == 2) {
      const __m128i own2 = localsums(v);
      v = _mm_add_epi8(own2, second_);
      second_ = _mm_add_epi8(second_, lastbyte(own2));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done_), v);
    done_ += 16;
  }

  // Sums the bytes before `end` in whole sixteens.
  void upto(uint8_t* out, size_t end) {
    if (end <= done_ + 16) return;
    end = done_ + (end - done_) / 16 * 16;
    if (passes_ == 2) sixteens<2>(out, end);
    else sixteens<1>(out, end);
  }

  // Sums the rest of `n` bytes.
  void finish(uint8_t* out, size_t n) {
    upto(out, n);
    auto byteof = [](__m128i v) { return static_cast<uint8_t>(_mm_cvtsi128_si32(v)); };
    uint8_t sum1 = byteof(first_), sum2 = byteof(second_);
    for (size_t i = done_; i < n; ++i) {
      sum1 = static_cast<uint8_t>(sum1 + out[i]);
      sum2 = static_cast<uint8_t>(sum2 + sum1);
      out[i] = passes_ == 2 ? sum2 : sum1;
    }
    done_ = n;
  }

 private:
  // A copy, so that the sums stay in registers beside the stores to `out`.
  template <int passes>
  void sixteens(uint8_t* out, size_t end) {
    RunningSums s = *this;
    while (s.done_ < end) s.sixteen<passes>(out);
    *this = s;
  }

  int passes_;
  size_t done_ = 0;
  __m128i first_ = _mm_setzero_si128(), second_ = _mm_setzero_si128();
};

// The running-sum passes of codes 0x32 and 0x34 over the decoded bytes after `sums` has taken its share;
// byte by byte on the plain path.
uint32_t finish(const PackHeader& h, uint8_t* out, bool fast, RunningSums& sums) {
  if (h.code < 0x32) return h.size;
  if (fast) {
    sums.finish(out, h.size);
    return h.size;
  }
  const bool twice = h.code == 0x34;
  uint8_t sum1 = 0, sum2 = 0;
  for (size_t i = 0; i < h.size; ++i) {
    sum1 = static_cast<uint8_t>(sum1 + out[i]);
    sum2 = static_cast<uint8_t>(sum2 + sum1);
    out[i] = twice ? sum2 : sum1;
  }
  return h.size;
}

// Two symbols a look-up while whole words can be read and ten bytes written before `end`: up to the first entry
// that is not plain (an escape or a long code), or near the end of block or output. The reader, the output
// place and the running sums are copied in so that they stay in registers beside the byte stores. The
// look-ups wait on one another, which leaves the core idle most of each; a sixteen of the running sums, on
// bytes written a while ago, fills that time.
template <int passes>
__attribute__((always_inline)) inline void pairrun(BitIn& bits, size_t& op, uint8_t* out, size_t end,
                                                   const Decoder::Pair* pairs, RunningSums& sums) {
  // Far enough behind that the bytes summed have left the store buffer.
  constexpr size_t kBehind = 128;
  BitIn b = bits;
  RunningSums s = sums;
  size_t o = op;
  while (b.wide() && end - o >= 10) {
    b.refill(56);
    for (int k = 0; k < 56 / Decoder::kPairBits; ++k) {  // of the 56 bits a refill gives
      uint32_t entry;
      std::memcpy(&entry, &pairs[b.peek(Decoder::kPairBits)], 4);
      if (!(entry & 0xFF00)) {
        bits = b, op = o, sums = s;
        return;
      }
      const auto two = static_cast<uint16_t>(entry >> 16);
      std::memcpy(out + o, &two, 2);
      o += (entry >> 8) & 0xFF;
      b.skipby(entry);
    }
    if (passes && o >= s.done() + kBehind + 16) s.sixteen<passes>(out);
  }
  bits = b, op = o, sums = s;
}

template <int passes>
void pairrunplain(BitIn& bits, size_t& op, uint8_t* out, size_t end, const Decoder::Pair* pairs, RunningSums& sums) {
  pairrun<passes>(bits, op, out, end, pairs, sums);
}
// With BMI2 the buffer's shifts take one instruction of one cycle, which the look-ups wait on.
template <int passes>
__attribute__((target("bmi2"))) void pairrunbmi2(BitIn& bits, size_t& op, uint8_t* out, size_t end,
                                                 const Decoder::Pair* pairs, RunningSums& sums) {
  pairrun<passes>(bits, op, out, end, pairs, sums);
}

using PairRun = void (*)(BitIn&, size_t&, uint8_t*, size_t, const Decoder::Pair*, RunningSums&);

// The look-up loop for no, one or two running-sum passes, with BMI2 where the processor has it.
PairRun pairrunfor(int passes) {
  static const bool bmi2 = __builtin_cpu_supports("bmi2");
  static const PairRun runs[2][3] = {{pairrunplain<0>, pairrunplain<1>, pairrunplain<2>},
                                     {pairrunbmi2<0>, pairrunbmi2<1>, pairrunbmi2<2>}};
  return runs[bmi2][passes];
}

// One place of the bit stream being decoded: the reader, the output place and the byte before it.
struct Place {
  BitIn bits;
  size_t op = 0;
  uint8_t last = 0;
};

// pairrun for two places of the stream at once, whose look-ups do not wait on one another: `a` up to bit
// `limit`, with its running sums, and `b` to the end of its own output. Returns which of the two stopped it.
template <int passes>
__attribute__((always_inline)) inline int dualrun(Place& a, uint8_t* outa, size_t enda, size_t limit, Place& b,
                                                  uint8_t* outb, size_t endb, const Decoder::Pair* pairs,
                                                  RunningSums& sums) {
  constexpr size_t kBehind = 128;
  BitIn x = a.bits, y = b.bits;
  RunningSums s = sums;
  size_t p = a.op, q = b.op;
  int who = 0;
  for (;;) {
    if (!y.wide() || endb - q < 10) {
      who = 1;
      break;
    }
    if (!x.wide() || enda - p < 10 || x.bitpos() >= limit) break;
    x.refill(56);
    y.refill(56);
    int k = 0;
    for (; k < 56 / Decoder::kPairBits; ++k) {
      uint32_t ex, ey;
      std::memcpy(&ex, &pairs[x.peek(Decoder::kPairBits)], 4);
      if (!(ex & 0xFF00)) break;
      const auto twox = static_cast<uint16_t>(ex >> 16);
      std::memcpy(outa + p, &twox, 2);
      p += (ex >> 8) & 0xFF;
      x.skipby(ex);
      std::memcpy(&ey, &pairs[y.peek(Decoder::kPairBits)], 4);
      if (!(ey & 0xFF00)) {
        who = 1;
        break;
      }
      const auto twoy = static_cast<uint16_t>(ey >> 16);
      std::memcpy(outb + q, &twoy, 2);
      q += (ey >> 8) & 0xFF;
      y.skipby(ey);
    }
    if (k < 56 / Decoder::kPairBits) break;
    if (passes && p >= s.done() + kBehind + 16) s.sixteen<passes>(outa);
  }
  a.bits = x, b.bits = y, a.op = p, b.op = q, sums = s;
  if (p) a.last = outa[p - 1];
  if (q) b.last = outb[q - 1];
  return who;
}

using DualRun = int (*)(Place&, uint8_t*, size_t, size_t, Place&, uint8_t*, size_t, const Decoder::Pair*,
                        RunningSums&);
template <int passes>
int dualrunplain(Place& a, uint8_t* outa, size_t enda, size_t limit, Place& b, uint8_t* outb, size_t endb,
                 const Decoder::Pair* pairs, RunningSums& sums) {
  return dualrun<passes>(a, outa, enda, limit, b, outb, endb, pairs, sums);
}
template <int passes>
__attribute__((target("bmi2"))) int dualrunbmi2(Place& a, uint8_t* outa, size_t enda, size_t limit, Place& b,
                                                uint8_t* outb, size_t endb, const Decoder::Pair* pairs,
                                                RunningSums& sums) {
  return dualrun<passes>(a, outa, enda, limit, b, outb, endb, pairs, sums);
}

// The two-place loop for no, one or two running-sum passes, with BMI2 where the processor has it.
DualRun dualrunfor(int passes) {
  static const bool bmi2 = __builtin_cpu_supports("bmi2");
  static const DualRun runs[2][3] = {{dualrunplain<0>, dualrunplain<1>, dualrunplain<2>},
                                     {dualrunbmi2<0>, dualrunbmi2<1>, dualrunbmi2<2>}};
  return runs[bmi2][passes];
}

// A Huffman code mostly finds its way back to the symbols' boundaries when decoding starts at any bit: the
// second half of a large block is decoded from its middle bit alongside the first, into a buffer of its own,
// and taken over where the first half's decoding reaches a boundary that the second one passed with the same
// byte before it. From there on both would decode alike. Blocks from this size on.
constexpr size_t kSplitFrom = size_t{64} << 10;
// Boundaries the second half notes, item by item, before it runs alongside the first.
constexpr size_t kBoundaries = 512;

}  // namespace

uint32_t huffmanunpack(const uint8_t* in, size_t n, uint8_t* out, size_t outsize) {
  return huffmanunpackwith(in, n, out, outsize, true);
}

uint32_t unpackfmt::huffmanunpackwith(const uint8_t* in, size_t n, uint8_t* out, size_t outsize, bool fast) {
  PackHeader h;
  if (!readpackheader(in, n, &h) || h.size > outsize) return 0;
  if (h.code != 0x30 && h.code != 0x32 && h.code != 0x34) return 0;
  BitIn bits(in, n, h.dataoffset, !extentontrust(n));
  const uint8_t escape = static_cast<uint8_t>(bits.get(8));
  Decoder dec;
  if (!dec.read(bits)) return 0;

  const size_t size = h.size;
  Place a{bits};
  // One symbol with what follows an escape at `p`, writing below `end`: 1 at the end mark, -1 on damaged data.
  auto step = [&](Place& p, uint8_t* to, size_t end) -> int {
    uint8_t s;
    if (!dec.decode(p.bits, &s) || p.bits.farpast()) return -1;
    if (s != escape) {
      if (p.op == end) return -1;
      to[p.op++] = p.last = s;
      return 0;
    }
    const uint32_t num = p.bits.getnum();
    if (num < 4) return -1;
    const uint32_t repeat = num - 4;
    if (repeat > 0) {
      if (repeat > end - p.op) return -1;
      std::memset(to + p.op, p.last, repeat);
      p.op += repeat;
      return 0;
    }
    if (p.bits.get(1)) return 1;
    if (p.op == end) return -1;
    to[p.op++] = p.last = static_cast<uint8_t>(p.bits.get(8));
    return 0;
  };
  // Larger blocks take two symbols a look-up (pairrun); step() takes an escape or a long code, and the rest of
  // the block. Every byte either is a symbol or repeats `last`, so `last` is the byte before.
  int state = 0;
  RunningSums sums(h.code == 0x34 ? 2 : 1);
  if (fast && size >= 4096) {
    static thread_local Decoder::Pair pairs[1u << Decoder::kPairBits];
    dec.makepairs(escape, pairs);
    if (size >= kSplitFrom && a.bits.wide()) {
      struct Boundary {
        size_t bit, op;
        uint8_t last;
      };
      static thread_local std::vector<uint8_t> second;
      static thread_local std::vector<Boundary> boundaries;
      if (second.size() < size) second.resize(size);
      boundaries.clear();
      const size_t middle = a.bits.bitpos() + (n * 8 - a.bits.bitpos()) / 2;
      Place b{BitIn(in, n, middle / 8, true)};
      b.bits.refill(8);
      b.bits.skip(static_cast<int>(middle % 8));
      // -1 once the second half is of no use, 1 once it has read the end mark.
      int other = 0;
      while (boundaries.size() < kBoundaries && other == 0) {
        other = step(b, second.data(), size);
        if (other >= 0) boundaries.push_back({b.bits.bitpos(), b.op, b.last});
      }
      const DualRun run2 = dualrunfor(h.code >= 0x32 ? sums.passes() : 0);
      const size_t limit = middle - 64;
      while (other == 0 && state == 0) {
        if (run2(a, out, size, limit, b, second.data(), size, pairs, sums) == 1) {
          if (!b.bits.wide() || size - b.op < 10) break;
          other = step(b, second.data(), size);
        } else {
          if (a.bits.bitpos() >= limit || !a.bits.wide() || size - a.op < 10) break;
          state = step(a, out, size);
        }
      }
      // The first half alone up to near the middle when the second stopped first.
      const PairRun single = pairrunfor(0);
      while (other >= 0 && state == 0 && a.bits.bitpos() + 2048 < middle) {
        single(a.bits, a.op, out, std::min(size, a.op + 64), pairs, sums);
        if (a.op) a.last = out[a.op - 1];
        if (!a.bits.wide() || size - a.op < 10 || a.bits.bitpos() + 2048 >= middle) break;
        state = step(a, out, size);
      }
      // The first half item by item through the boundaries the second one noted, until one is shared.
      size_t k = 0;
      while (other >= 0 && state == 0 && !boundaries.empty() && a.bits.bitpos() < boundaries.back().bit) {
        state = step(a, out, size);
        const size_t at = a.bits.bitpos();
        while (k < boundaries.size() && boundaries[k].bit < at) ++k;
        if (state != 0 || k == boundaries.size() || boundaries[k].bit != at || boundaries[k].last != a.last) continue;
        const size_t more = b.op - boundaries[k].op;
        if (more > size - a.op) return 0;
        std::memcpy(out + a.op, second.data() + boundaries[k].op, more);
        a.op += more;
        a.bits = b.bits;
        a.last = b.last;
        state = other;
        break;
      }
    }
    const bool summed = h.code >= 0x32;
    const PairRun run = pairrunfor(summed ? sums.passes() : 0);
    while (state == 0) {
      // In stretches of 16 KiB, summed up to the last byte (which is `last`) after each.
      run(a.bits, a.op, out, std::min(size, a.op + (size_t{16} << 10)), pairs, sums);
      if (a.op) a.last = out[a.op - 1];
      if (summed && a.op) sums.upto(out, a.op - 1);
      if (!a.bits.wide() || size - a.op < 10) break;
      state = step(a, out, size);
    }
  }
  while (state == 0) state = step(a, out, size);
  if (state < 0) return 0;
  if (a.bits.overrun() || a.op != size) return 0;
  return finish(h, out, fast, sums);
}

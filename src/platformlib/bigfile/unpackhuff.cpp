// Pack codes 0x30, 0x32 and 0x34: canonical Huffman codes with an escape symbol for runs and raw bytes,
// then none, one or two running-sum passes. The data is one bit stream, most significant bit first.
#include <cstring>

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

void runningsum(uint8_t* out, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    sum = static_cast<uint8_t>(sum + out[i]);
    out[i] = sum;
  }
}

}  // namespace

uint32_t huffmanunpack(const uint8_t* in, size_t n, uint8_t* out, size_t outsize) {
  PackHeader h;
  if (!readpackheader(in, n, &h) || h.size > outsize) return 0;
  if (h.code != 0x30 && h.code != 0x32 && h.code != 0x34) return 0;
  BitIn bits(in, n, h.dataoffset, !extentontrust(n));
  const uint8_t escape = static_cast<uint8_t>(bits.get(8));
  Decoder dec;
  if (!dec.read(bits)) return 0;

  const size_t size = h.size;
  size_t op = 0;
  uint8_t last = 0;
  for (;;) {
    uint8_t s;
    if (!dec.decode(bits, &s) || bits.farpast()) return 0;
    if (s != escape) {
      if (op == size) return 0;
      out[op++] = last = s;
      continue;
    }
    const uint32_t num = bits.getnum();
    if (num < 4) return 0;
    const uint32_t repeat = num - 4;
    if (repeat > 0) {
      if (repeat > size - op) return 0;
      std::memset(out + op, last, repeat);
      op += repeat;
      continue;
    }
    if (bits.get(1)) break;
    if (op == size) return 0;
    out[op++] = last = static_cast<uint8_t>(bits.get(8));
  }
  if (bits.overrun() || op != size) return 0;
  if (h.code >= 0x32) runningsum(out, size);
  if (h.code == 0x34) runningsum(out, size);
  return h.size;
}

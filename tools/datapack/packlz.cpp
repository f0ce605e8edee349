// LZ code 0x10: hash-chain matching over a 128 KiB window, greedy with one step of lazy matching.
#include <algorithm>

#include "datapack/datapack.h"

namespace datapack {

namespace {

constexpr size_t WINDOW = 131072;
constexpr size_t MAXMATCH = 1028;
constexpr int HASHBITS = 16;
constexpr int CHAIN = 48;

inline uint32_t hash3(const uint8_t* p) {
  const uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  return (v * 2654435761u) >> (32 - HASHBITS);
}

// Whether a match can be written at all (the token forms limit short matches to near distances).
inline bool encodable(size_t len, size_t dist) {
  if (len >= 3 && len <= 10 && dist <= 1024) return true;
  if (len >= 4 && len <= 67 && dist <= 16384) return true;
  return len >= 5 && dist <= WINDOW;
}

class Matcher {
 public:
  explicit Matcher(std::span<const uint8_t> d) : d_(d), head_(size_t{1} << HASHBITS, -1), prev_(d.size(), -1) {}

  void insert(size_t i) {
    if (i + 3 > d_.size()) return;
    const uint32_t h = hash3(&d_[i]);
    prev_[i] = head_[h];
    head_[h] = static_cast<int64_t>(i);
  }

  // Longest encodable match at i; length 0 when none.
  void find(size_t i, size_t* bestlen, size_t* bestdist) const {
    *bestlen = 0;
    *bestdist = 0;
    if (i + 3 > d_.size()) return;
    const size_t limit = std::min(MAXMATCH, d_.size() - i);
    int64_t c = head_[hash3(&d_[i])];
    for (int k = 0; k < CHAIN && c >= 0; ++k, c = prev_[static_cast<size_t>(c)]) {
      const size_t j = static_cast<size_t>(c);
      const size_t dist = i - j;
      if (dist > WINDOW) break;
      if (d_[j + *bestlen] != d_[i + *bestlen]) continue;  // cannot beat the best so far
      size_t len = 0;
      while (len < limit && d_[j + len] == d_[i + len]) ++len;
      if (len > *bestlen && encodable(len, dist)) {
        *bestlen = len;
        *bestdist = dist;
        if (len == limit) break;
      }
    }
  }

 private:
  std::span<const uint8_t> d_;
  std::vector<int64_t> head_;
  std::vector<int64_t> prev_;
};

class Writer {
 public:
  Writer(Bytes& out, std::span<const uint8_t> d) : out_(out), d_(d) {}

  // Emits the literals [from, to) and, when len > 0, a match; literals beyond three go in runs of four.
  void emit(size_t from, size_t to, size_t len, size_t dist) {
    while (to - from > 3) {
      const size_t k = std::min<size_t>(112, (to - from) & ~size_t{3});
      out_.push_back(static_cast<uint8_t>(0xE0 | (k / 4 - 1)));
      literals(from, k);
      from += k;
    }
    const size_t lit = to - from;
    if (len == 0) {
      out_.push_back(static_cast<uint8_t>(0xFC | lit));
      literals(from, lit);
      return;
    }
    const size_t dd = dist - 1;
    if (len <= 10 && dist <= 1024) {
      out_.push_back(static_cast<uint8_t>(((dd >> 3) & 0x60) | ((len - 3) << 2) | lit));
      out_.push_back(static_cast<uint8_t>(dd));
    } else if (len >= 4 && len <= 67 && dist <= 16384) {
      out_.push_back(static_cast<uint8_t>(0x80 | (len - 4)));
      out_.push_back(static_cast<uint8_t>((lit << 6) | (dd >> 8)));
      out_.push_back(static_cast<uint8_t>(dd));
    } else {
      const size_t l = len - 5;
      out_.push_back(static_cast<uint8_t>(0xC0 | ((dd >> 12) & 0x10) | ((l >> 8) << 2) | lit));
      out_.push_back(static_cast<uint8_t>(dd >> 8));
      out_.push_back(static_cast<uint8_t>(dd));
      out_.push_back(static_cast<uint8_t>(l));
    }
    literals(from, lit);
  }

 private:
  void literals(size_t from, size_t k) { out_.insert(out_.end(), d_.begin() + from, d_.begin() + from + k); }
  Bytes& out_;
  std::span<const uint8_t> d_;
};

}  // namespace

Bytes packlz(std::span<const uint8_t> data, bool withPackedLength) {
  Bytes out = packheader(0x10, static_cast<uint32_t>(data.size()), withPackedLength);
  Matcher m(data);
  Writer w(out, data);
  const size_t n = data.size();
  size_t i = 0, pending = 0;
  while (i < n) {
    size_t len, dist;
    m.find(i, &len, &dist);
    m.insert(i);
    if (len == 0) {
      ++i;
      continue;
    }
    if (i + 1 < n) {
      // One step of lazy matching: a longer match one byte on wins, and this byte becomes a literal.
      size_t len2, dist2;
      m.find(i + 1, &len2, &dist2);
      if (len2 > len + 1) {
        ++i;
        continue;
      }
    }
    w.emit(pending, i, len, dist);
    for (size_t k = 1; k < len; ++k) m.insert(i + k);
    i += len;
    pending = i;
  }
  w.emit(pending, n, 0, 0);
  setpackedlength(out);
  return out;
}

}  // namespace datapack

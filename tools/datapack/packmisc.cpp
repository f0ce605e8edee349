// Block headers, the run and pair encoders, and the choice between codes.
#include <algorithm>
#include <array>

#include "datapack/datapack.h"

namespace datapack {

namespace {

void put24(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void checksize(std::span<const uint8_t> data) {
  if (data.size() > 0xFFFFFF) throw FormatLimit("packed blocks hold at most 16777215 bytes");
}

}  // namespace

Bytes packheader(uint8_t code, uint32_t unpackedSize, bool withPackedLength) {
  if (unpackedSize > 0xFFFFFF) throw FormatLimit("packed blocks hold at most 16777215 bytes");
  Bytes out;
  const bool flag = withPackedLength && code != 0x4A;
  out.push_back(static_cast<uint8_t>(code | (flag ? 1 : 0)));
  out.push_back(0xFB);
  if (flag) put24(out, 0);
  put24(out, unpackedSize);
  return out;
}

void setpackedlength(Bytes& block) {
  if (block.size() < 8 || !(block[0] & 1) || (block[0] & 0xFE) == 0x4A) return;
  const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block.size(), 0xFFFFFF));
  block[2] = static_cast<uint8_t>(n >> 16);
  block[3] = static_cast<uint8_t>(n >> 8);
  block[4] = static_cast<uint8_t>(n);
}

// Run code: literal copies, fills, repeats of the last fill and runs that share a high nibble.
Bytes packrun(std::span<const uint8_t> data) {
  checksize(data);
  Bytes out = packheader(0x4A, static_cast<uint32_t>(data.size()), false);
  const size_t n = data.size();
  size_t i = 0, literal = 0;  // literal: start of the pending copy
  int fill = 0;
  auto flush = [&](size_t end) {
    while (literal < end) {
      const size_t k = std::min<size_t>(63, end - literal);
      out.push_back(static_cast<uint8_t>(k));
      out.insert(out.end(), data.begin() + static_cast<ptrdiff_t>(literal), data.begin() + static_cast<ptrdiff_t>(literal + k));
      literal += k;
    }
  };
  while (i < n) {
    size_t same = 1;
    while (i + same < n && data[i + same] == data[i]) ++same;
    if (same >= 3) {
      flush(i);
      size_t left = same;
      while (left) {
        const size_t k = std::min<size_t>(63, left);
        if (fill == data[i]) {
          out.push_back(static_cast<uint8_t>(0x80 | k));
        } else {
          out.push_back(static_cast<uint8_t>(0x40 | k));
          out.push_back(data[i]);
          fill = data[i];
        }
        left -= k;
      }
      i += same;
      literal = i;
      continue;
    }
    size_t nibble = 1;
    while (i + nibble < n && nibble < 63 && (data[i + nibble] & 0xF0) == (data[i] & 0xF0)) ++nibble;
    if (nibble >= 5) {
      flush(i);
      out.push_back(static_cast<uint8_t>(0xC0 | nibble));
      out.push_back(data[i]);
      for (size_t k = 1; k < nibble; k += 2) {
        const uint8_t hi = data[i + k] & 0x0F;
        const uint8_t lo = k + 1 < nibble ? (data[i + k + 1] & 0x0F) : 0;
        out.push_back(static_cast<uint8_t>((hi << 4) | lo));
      }
      i += nibble;
      literal = i;
      continue;
    }
    ++i;
  }
  flush(n);
  return out;
}

// Pair code: byte values the data never uses stand for pairs of values, replaced most frequent first.
Bytes packpair(std::span<const uint8_t> data, bool withPackedLength) {
  checksize(data);
  std::array<size_t, 256> freq{};
  for (uint8_t b : data) ++freq[b];
  // The escape: an unused value (never 0, which after the escape ends the data); else the rarest non-zero.
  int escape = -1;
  for (int v = 1; v < 256 && escape < 0; ++v)
    if (!freq[v]) escape = v;
  if (escape < 0) {
    escape = 1;
    for (int v = 2; v < 256; ++v)
      if (freq[v] < freq[escape]) escape = v;
  }
  std::vector<uint8_t> freecodes;
  for (int v = 1; v < 256; ++v)
    if (!freq[v] && v != escape) freecodes.push_back(static_cast<uint8_t>(v));

  std::vector<uint8_t> tokens(data.begin(), data.end());
  std::vector<std::array<uint8_t, 3>> pairs;
  std::vector<uint32_t> count(65536);
  for (uint8_t code : freecodes) {
    if (tokens.size() < 2) break;
    std::fill(count.begin(), count.end(), 0);
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
      if (tokens[i] == escape || tokens[i + 1] == escape) continue;
      const uint32_t key = (uint32_t{tokens[i]} << 8) | tokens[i + 1];
      ++count[key];
      // A run of one value counts each pair once: "aaa" holds one "aa" to replace, not two.
      if (tokens[i] == tokens[i + 1] && i + 2 < tokens.size() && tokens[i + 2] == tokens[i]) ++i;
    }
    const auto best = std::max_element(count.begin(), count.end());
    if (*best < 4) break;  // three table bytes must be won back
    const uint8_t l = static_cast<uint8_t>((best - count.begin()) >> 8);
    const uint8_t r = static_cast<uint8_t>(best - count.begin());
    pairs.push_back({code, l, r});
    size_t w = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
      if (i + 1 < tokens.size() && tokens[i] == l && tokens[i + 1] == r) {
        tokens[w++] = code;
        ++i;
      } else {
        tokens[w++] = tokens[i];
      }
    }
    tokens.resize(w);
  }

  Bytes out = packheader(0x46, static_cast<uint32_t>(data.size()), withPackedLength);
  out.push_back(static_cast<uint8_t>(escape));
  out.push_back(static_cast<uint8_t>(pairs.size()));
  for (const auto& p : pairs) out.insert(out.end(), p.begin(), p.end());
  for (uint8_t t : tokens) {
    if (t == escape) out.push_back(static_cast<uint8_t>(escape));
    out.push_back(t);
  }
  out.push_back(static_cast<uint8_t>(escape));
  out.push_back(0);
  setpackedlength(out);
  return out;
}

Bytes pack(uint8_t code, std::span<const uint8_t> data, bool withPackedLength) {
  switch (code & 0xFE) {
    case 0x10: return packlz(data, withPackedLength);
    case 0x30:
    case 0x32:
    case 0x34: return packhuffman(data, code & 0xFE, withPackedLength);
    case 0x46: return packpair(data, withPackedLength);
    case 0x4A: return packrun(data);
    default: throw std::invalid_argument("unknown pack code");
  }
}

Bytes packbest(std::span<const uint8_t> data) {
  Bytes best;
  for (uint8_t code : {0x10, 0x30, 0x32, 0x34, 0x46, 0x4A}) {
    Bytes b = pack(code, data);
    if (b.size() < data.size() && (best.empty() || b.size() < best.size())) best = std::move(b);
  }
  return best;
}

}  // namespace datapack

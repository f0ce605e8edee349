// Huffman codes 0x30, 0x32 and 0x34: canonical codes of at most 16 bits, an escape symbol for runs and for
// the escape byte itself, and one or two difference passes before coding for 0x32 and 0x34.
#include <algorithm>
#include <array>
#include <queue>

#include "datapack/datapack.h"

namespace datapack {

namespace {

class BitOut {
 public:
  explicit BitOut(Bytes& out) : out_(out) {}
  void put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      acc_ = (acc_ << 1) | ((value >> i) & 1);
      if (++n_ == 8) {
        out_.push_back(static_cast<uint8_t>(acc_));
        acc_ = 0;
        n_ = 0;
      }
    }
  }
  // The number code: 4..7 as three bits; larger values after as many zeros as their length less three.
  void putnum(uint32_t v) {
    if (v < 8) {
      put(v, 3);
      return;
    }
    const int length = 32 - __builtin_clz(v);
    put(0, length - 3);
    put(v, length);
  }
  void finish() {
    if (n_) put(0, 8 - n_);
  }

 private:
  Bytes& out_;
  uint32_t acc_ = 0;
  int n_ = 0;
};

// Code lengths of a Huffman code over the symbols with non-zero weight, none longer than 16 bits.
std::array<int, 256> codelengths(std::array<uint64_t, 256> weight) {
  std::array<int, 256> length{};
  for (;;) {
    struct Node {
      uint64_t w;
      int left, right;
    };
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
    for (int s = 0; s < 256; ++s) {
      if (!weight[s]) continue;
      nodes.push_back({weight[s], -1 - s, 0});
      heap.push({weight[s], static_cast<int>(nodes.size() - 1)});
    }
    while (heap.size() > 1) {
      const auto a = heap.top();
      heap.pop();
      const auto b = heap.top();
      heap.pop();
      nodes.push_back({a.first + b.first, a.second, b.second});
      heap.push({a.first + b.first, static_cast<int>(nodes.size() - 1)});
    }
    length.fill(0);
    int deepest = 0;
    std::vector<std::pair<int, int>> stack{{heap.top().second, 0}};
    while (!stack.empty()) {
      const auto [node, depth] = stack.back();
      stack.pop_back();
      const Node& nd = nodes[static_cast<size_t>(node)];
      if (nd.left < 0) {
        length[static_cast<size_t>(-1 - nd.left)] = depth;
        deepest = std::max(deepest, depth);
      } else {
        stack.push_back({nd.left, depth + 1});
        stack.push_back({nd.right, depth + 1});
      }
    }
    if (deepest <= 16) return length;
    for (auto& w : weight)
      if (w) w = (w >> 1) | 1;  // flatter weights give a shallower tree
  }
}

enum Kind : uint8_t { LITERAL, ESCAPED, RUN };
struct Item {
  Kind kind;
  uint32_t value;  // the byte, or the run's repeat count
};

}  // namespace

Bytes packhuffman(std::span<const uint8_t> data, uint8_t code, bool withPackedLength) {
  code &= 0xFE;
  if (code != 0x30 && code != 0x32 && code != 0x34) throw std::invalid_argument("not a Huffman pack code");
  Bytes out = packheader(code, static_cast<uint32_t>(data.size()), withPackedLength);

  Bytes t(data.begin(), data.end());
  for (int pass = 0; pass < (code - 0x30) / 2; ++pass) {
    for (size_t i = t.size(); i-- > 1;) t[i] = static_cast<uint8_t>(t[i] - t[i - 1]);
  }

  std::array<uint64_t, 256> freq{};
  for (uint8_t b : t) ++freq[b];
  const uint8_t escape = static_cast<uint8_t>(std::min_element(freq.begin(), freq.end()) - freq.begin());

  std::vector<Item> items;
  std::array<uint64_t, 256> weight{};
  for (size_t i = 0; i < t.size();) {
    const uint8_t b = t[i];
    items.push_back({b == escape ? ESCAPED : LITERAL, b});
    ++weight[b];
    size_t k = 1;
    while (i + k < t.size() && t[i + k] == b && k < 0xFFFFFF) ++k;
    if (k - 1 >= 3) {
      items.push_back({RUN, static_cast<uint32_t>(k - 1)});
      ++weight[escape];
      i += k;
    } else {
      ++i;
    }
  }
  ++weight[escape];  // the end of the data
  // A code needs two symbols at least; the spare one is never written.
  int spare = escape == 0 ? 1 : 0;
  if (std::count_if(weight.begin(), weight.end(), [](uint64_t w) { return w != 0; }) < 2) weight[spare] = 1;

  const std::array<int, 256> length = codelengths(weight);
  std::vector<int> order;
  for (int s = 0; s < 256; ++s)
    if (length[s]) order.push_back(s);
  std::sort(order.begin(), order.end(), [&](int a, int b) { return length[a] != length[b] ? length[a] < length[b] : a < b; });
  std::array<uint32_t, 256> codes{};
  std::array<int, 17> count{};
  int maxlength = 0;
  uint32_t next = 0;
  int current = 1;
  for (int s : order) {
    while (current < length[s]) {
      next <<= 1;
      ++current;
    }
    codes[s] = next++;
    ++count[length[s]];
    maxlength = std::max(maxlength, length[s]);
  }

  BitOut bits(out);
  bits.put(escape, 8);
  for (int l = 1; l <= maxlength; ++l) bits.putnum(static_cast<uint32_t>(count[l]) + 4);
  std::array<bool, 256> used{};
  unsigned cursor = 0xFF;
  for (int s : order) {
    uint32_t d = 0;
    do {
      cursor = (cursor + 1) & 0xFF;
      if (!used[cursor]) ++d;
    } while (cursor != static_cast<unsigned>(s));
    used[cursor] = true;
    bits.putnum(d + 3);
  }
  auto symbol = [&](int s) { bits.put(codes[s], length[s]); };
  for (const Item& it : items) {
    switch (it.kind) {
      case LITERAL: symbol(static_cast<int>(it.value)); break;
      case ESCAPED:
        symbol(escape);
        bits.putnum(4);
        bits.put(0, 1);
        bits.put(it.value, 8);
        break;
      case RUN:
        symbol(escape);
        bits.putnum(it.value + 4);
        break;
    }
  }
  symbol(escape);
  bits.putnum(4);
  bits.put(1, 1);
  bits.finish();
  // Room for the decoder's look-ahead past the last code, for readers that do not know the block's extent.
  out.push_back(0);
  out.push_back(0);
  setpackedlength(out);
  return out;
}

}  // namespace datapack

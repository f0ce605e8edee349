// The fast paths of the LZ and Huffman unpackers (wide copies, two symbols a look-up) against their plain
// paths: random inputs, whole and damaged, must give the same result and the same bytes.
#include <gtest/gtest.h>

#include <random>

#include "datapack/datapack.h"
#include "packtest.h"
#include "platformlib/bigfile/unpackfmt.h"

using packtest::Bytes;

namespace {

// Text-like, picture-like (small steps, short repeats) and random stretches, long enough for the Huffman look-ups.
Bytes Sample(std::mt19937& rng, size_t least = 3000, size_t spread = 20000) {
  Bytes d;
  const size_t size = least + rng() % spread;
  while (d.size() < size) {
    const size_t run = 16 + rng() % 600;
    switch (rng() % 5) {
      case 0:
        for (size_t i = 0; i < run; ++i) d.push_back(static_cast<uint8_t>("fairway green bunker "[rng() % 21]));
        break;
      case 1: {
        uint8_t v = static_cast<uint8_t>(rng());
        for (size_t i = 0; i < run; ++i) d.push_back(v = static_cast<uint8_t>(v + rng() % 3));
        break;
      }
      case 2: d.insert(d.end(), run, static_cast<uint8_t>(rng())); break;
      case 3: {  // a short pattern repeated, as spans of one 16- or 24-bit colour give: near matches
        const size_t period = 2 + rng() % 14, from = d.size();
        for (size_t i = 0; i < period; ++i) d.push_back(static_cast<uint8_t>(rng()));
        for (size_t i = period; i < run; ++i) d.push_back(d[from + i % period]);
        break;
      }
      default:
        for (size_t i = 0; i < run; ++i) d.push_back(static_cast<uint8_t>(rng()));
        break;
    }
  }
  return d;
}

using Unpacker = uint32_t (*)(const uint8_t*, size_t, uint8_t*, size_t, bool);

struct Code {
  uint8_t code;
  Unpacker unpack;
};

class FastUnpack : public ::testing::TestWithParam<Code> {};

struct Sizes {
  const char* what;
  int rounds;
  size_t least, spread;
};

TEST_P(FastUnpack, MatchesThePlainPath) {
  const Code c = GetParam();
  // Small blocks, and large ones whose Huffman codes are decoded from two places at once.
  for (const Sizes& sizes : {Sizes{"small", 40, 3000, 20000}, Sizes{"large", 8, 64 << 10, 200 << 10}}) {
    for (int round = 0; round < sizes.rounds; ++round) {
      SCOPED_TRACE(sizes.what);
      std::mt19937 rng(c.code + 100u * static_cast<unsigned>(round));
      const Bytes data = Sample(rng, sizes.least, sizes.spread);
      Bytes block = datapack::pack(c.code, data);
      if (round % 2) {  // damaged: a few bytes changed, or the block cut short
        for (int k = 0; k < 3; ++k) block[8 + rng() % (block.size() - 8)] ^= static_cast<uint8_t>(1 + rng() % 255);
        if (rng() % 3 == 0) block.erase(block.end() - static_cast<ptrdiff_t>(rng() % (block.size() / 2)), block.end());
      }
      // Room past the stated size shows writes there; both start from the same bytes.
      Bytes fast(data.size() + 64, 0xA5), plain = fast;
      const uint32_t a = c.unpack(block.data(), block.size(), fast.data(), data.size(), true);
      const uint32_t b = c.unpack(block.data(), block.size(), plain.data(), data.size(), false);
      ASSERT_EQ(a, b) << "round " << round;
      if (b) ASSERT_EQ(fast, plain) << "round " << round;
      else ASSERT_TRUE(std::equal(fast.begin() + static_cast<ptrdiff_t>(data.size()), fast.end(), plain.begin() + static_cast<ptrdiff_t>(data.size())));
      if (round % 2 == 0) {
        ASSERT_TRUE(std::equal(data.begin(), data.end(), fast.begin())) << "round " << round;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PackCodes, FastUnpack,
                         ::testing::Values(Code{0x10, unpackfmt::lzunpackwith}, Code{0x30, unpackfmt::huffmanunpackwith},
                                           Code{0x32, unpackfmt::huffmanunpackwith},
                                           Code{0x34, unpackfmt::huffmanunpackwith}),
                         [](const auto& info) { return "code" + std::to_string(info.param.code); });

// A block unpacked into its own buffer, ahead of the output, must not be overrun by the wide copies.
TEST(FastUnpackInPlace, LzBlockAtTheEndOfItsOutput) {
  std::mt19937 rng(5);
  const Bytes data = Sample(rng);
  const Bytes block = datapack::pack(0x10, data);
  Bytes buffer(data.size() + block.size());
  std::copy(block.begin(), block.end(), buffer.end() - static_cast<ptrdiff_t>(block.size()));
  const uint8_t* in = buffer.data() + data.size();
  ASSERT_EQ(unpackfmt::lzunpackwith(in, block.size(), buffer.data(), data.size(), true), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
}

}  // namespace

// The five pack codes: round trips through our encoders, hand-made blocks for the format's corner cases, and
// damaged blocks, which must be rejected without reading or writing outside the buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "datapack/datapack.h"
#include "packtest.h"
#include "platformlib/bigfile/bigfile.h"

using packtest::Bytes;
using packtest::text;

namespace {

struct Input {
  const char* name;
  Bytes data;
};

std::vector<Input> inputs() {
  Bytes runs;
  for (int i = 0; i < 40; ++i) runs.insert(runs.end(), static_cast<size_t>(i * 7 + 1), static_cast<uint8_t>(i % 5));
  Bytes ramp(3000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i * 3 + (i * i) / 7);
  Bytes all(512);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  std::string prose;
  for (int i = 0; i < 60; ++i)
    prose += "The ball rolls on the green, curls left past the hole and stops two feet away. " + std::to_string(i);
  Bytes mixed = text(prose);
  mixed.insert(mixed.end(), 5000, 0);
  Bytes rnd = packtest::randombytes(2000, 7);
  mixed.insert(mixed.end(), rnd.begin(), rnd.end());
  return {
      {"empty", {}},
      {"onebyte", {0x42}},
      {"twobytes", {0xFB, 0x10}},
      {"run", Bytes(1000, 'a')},
      {"longrun", Bytes(70000, 0)},
      {"runs", runs},
      {"random", packtest::randombytes(5000, 1)},
      {"smallalphabet", packtest::randombytes(4000, 2, 3)},
      {"text", text(prose)},
      {"ramp", ramp},
      {"allvalues", all},
      {"mixed", mixed},
  };
}

const uint8_t CODES[] = {0x10, 0x30, 0x32, 0x34, 0x46, 0x4A};

// Unpacks through the bounded entry point into a buffer of exactly the stated size.
bool unpacks(const Bytes& block, const Bytes& expected) {
  const uint32_t size = getunpacksizen(block.data(), block.size());
  if (size != expected.size()) return false;
  Bytes out(size);
  return decompressn(block.data(), block.size(), out.data(), out.size()) == size && out == expected;
}

TEST(PackCodes, EveryCodeRoundTripsEveryInput) {
  for (const Input& in : inputs()) {
    for (uint8_t code : CODES) {
      for (bool withLength : {false, true}) {
        SCOPED_TRACE(std::string(in.name) + " code " + std::to_string(code) + (withLength ? " +length" : ""));
        const Bytes block = datapack::pack(code, in.data, withLength);
        EXPECT_EQ(block[1], 0xFB);
        EXPECT_EQ(getunpacksize(block.data()), in.data.size());
        if (in.data.empty()) {
          Bytes none;
          EXPECT_EQ(decompressn(block.data(), block.size(), none.data(), 0), 0u);
          continue;
        }
        EXPECT_TRUE(unpacks(block, in.data));
        // The address-only entry point, with and without the block's extent registered.
        Bytes out(in.data.size());
        EXPECT_EQ(decompress(block.data(), out.data()), in.data.size());
        EXPECT_EQ(out, in.data);
        registerbigfile(block.data(), block.size());
        std::fill(out.begin(), out.end(), 0);
        EXPECT_EQ(unpack(block.data(), out.data()), in.data.size());
        EXPECT_EQ(out, in.data);
        unregisterbigfile(block.data());
      }
    }
  }
}

TEST(PackCodes, EncodersCompressWhatTheyShould) {
  const Bytes run(1000, 'a');
  for (uint8_t code : CODES) EXPECT_LT(datapack::pack(code, run).size(), 100u) << int(code);
  const auto all = inputs();
  const Bytes& prose = all[8].data;
  EXPECT_LT(datapack::packlz(prose).size(), prose.size() / 4);
  EXPECT_LT(datapack::packhuffman(prose).size(), prose.size() * 7 / 10);
  EXPECT_LT(datapack::packpair(prose).size(), prose.size() * 7 / 10);
}

// ---- hand-made blocks for the corner cases -----------------------------------------------------------------

TEST(PackCodes, LzWithFlagSkipsItsPackedLength) {
  // 0x11: a 3-byte packed length, then the size 6. 'a' and a distance-1 match of 4, then the final token
  // 0xFD with one literal.
  const Bytes block = {0x11, 0xFB, 0xAA, 0xBB, 0xCC, 0, 0, 6, 0x05, 0x00, 'a', 0xFD, 'b'};
  EXPECT_EQ(getunpacksize(block.data()), 6u);
  EXPECT_TRUE(unpacks(block, text("aaaaab")));
}

TEST(PackCodes, LzTokenForms) {
  struct Case {
    const char* name;
    Bytes block;
    std::string expected;
  };
  const Case cases[] = {
      // a literal run token of 4, then a 3-byte token (length 4, distance 4, one literal)
      {"three-byte", {0x10, 0xFB, 0, 0, 9, 0xE0, 'w', 'x', 'y', 'z', 0x80, 0x40, 0x03, '!', 0xFC}, "wxyz!xyz!"},
      // a 4-byte token: length 5, distance 2, two literals
      {"four-byte", {0x10, 0xFB, 0, 0, 7, 0xC2, 0x00, 0x01, 0x00, 'a', 'b', 0xFC}, "abababa"},
      // the final token carries up to three literals
      {"final three", {0x10, 0xFB, 0, 0, 3, 0xFF, 'x', 'y', 'z'}, "xyz"},
  };
  for (const Case& c : cases) EXPECT_TRUE(unpacks(c.block, text(c.expected))) << c.name;
}

TEST(PackCodes, RunTokensOfCountZeroTakeOnlyTheirOwnBytes) {
  // kind 0 of 0; kind 1 of 0 still sets the fill byte; kind 3 of 0 reads nothing; kind 2 repeats the fill.
  const Bytes block = {0x4A, 0xFB, 0, 0, 3, 0x00, 0x40, 'x', 0xC0, 0x83};
  EXPECT_TRUE(unpacks(block, text("xxx")));
}

TEST(PackCodes, RunNibbleTokenSharesTheHighNibble) {
  const Bytes block = {0x4A, 0xFB, 0, 0, 4, 0xC4, 0x31, 0x23, 0x40};
  EXPECT_TRUE(unpacks(block, Bytes{0x31, 0x32, 0x33, 0x34}));
  // The run code's size is always at offset 2: bit 0 of the code adds no field.
  const Bytes flagged = {0x4B, 0xFB, 0, 0, 2, 0x02, 'h', 'i'};
  EXPECT_TRUE(unpacks(flagged, text("hi")));
}

TEST(PackCodes, NestedPairsExpandFullyAndEscapeZeroEnds) {
  // 0x80 = "ab", 0x81 = 0x80 0x80; the escape 0xFF writes itself after 0xFF, ends at 0 despite what follows.
  const Bytes block = {0x46, 0xFB, 0, 0, 6, 0xFF, 2, 0x80, 'a', 'b', 0x81, 0x80, 0x80,
                       0x81, 'c', 0xFF, 0xFF, 0xFF, 0x00, 'z', 'z'};
  EXPECT_TRUE(unpacks(block, text("ababc\xFF")));
}

Bytes withcode(Bytes block, uint8_t code) {
  block[0] = code;
  return block;
}

TEST(PackCodes, RunningSumPasses) {
  const Bytes ones = datapack::packhuffman(Bytes{1, 1, 1}, 0x30);
  EXPECT_TRUE(unpacks(withcode(ones, 0x32), Bytes{1, 2, 3}));
  EXPECT_TRUE(unpacks(withcode(ones, 0x34), Bytes{1, 3, 6}));
  const Bytes zeros(300, 0);
  EXPECT_TRUE(unpacks(withcode(datapack::packhuffman(zeros, 0x30), 0x34), zeros));
  EXPECT_TRUE(unpacks(datapack::packhuffman(zeros, 0x34), zeros));
}

TEST(PackCodes, HuffmanWritesTheEscapeByteAndRuns) {
  // Every byte value is used, so the escape symbol itself must be written through the escape.
  Bytes all(256 * 3);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
  all.insert(all.end(), 500, 0x77);
  EXPECT_TRUE(unpacks(datapack::packhuffman(all), all));
}

TEST(PackCodes, SecondByte0x32IsAcceptedToo) {
  Bytes block = datapack::packlz(text("hello hello hello"));
  block[1] = 0x32;
  EXPECT_TRUE(unpacks(block, text("hello hello hello")));
}

// ---- unknown codes and aborts -------------------------------------------------------------------------------

TEST(PackCodes, UnknownCodesAreNotPackedAndNothingIsWritten) {
  packtest::AbortCapture capture;
  const Bytes unknown[] = {{0x12, 0xFB, 0, 0, 4}, {0x10, 0x00, 0, 0, 4}, {0x80, 0xFB, 0, 0, 4}, {'B', 'I', 'G', 'F', 0, 0}};
  for (const Bytes& b : unknown) {
    uint8_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(getunpacksize(b.data()), 0u);
    EXPECT_EQ(decompress(b.data(), out), 0u);
    EXPECT_EQ(decompressn(b.data(), b.size(), out, sizeof out), 0u);
    for (uint8_t x : out) EXPECT_EQ(x, 9);
  }
  EXPECT_TRUE(capture.messages().empty());
}

TEST(PackCodes, UnpackAbortsOnAnInvalidCodeThatLooksPacked) {
  packtest::AbortCapture capture;
  uint8_t out[8] = {};
  const Bytes looks = {0x12, 0xFB, 0, 0, 4, 0, 0, 0};
  registerbigfile(looks.data(), looks.size());
  EXPECT_EQ(unpack(looks.data(), out), 0u);
  EXPECT_EQ(unpacksize(looks.data()), 0u);
  unregisterbigfile(looks.data());
  ASSERT_EQ(capture.messages().size(), 2u);
  EXPECT_EQ(capture.messages()[0], "unpack - INVALID PACK CODE (12fb)\n");
  EXPECT_EQ(capture.messages()[1], "unpacksize - INVALID PACK CODE (12fb)\n");
  // Outside 0x10..0x7F, or without the mark, the block is plain data: no abort.
  const Bytes plain[] = {{0x80, 0xFB, 0, 0}, {0x12, 0x00, 0, 0}, {0x0F, 0xFB, 0, 0}};
  for (const Bytes& b : plain) {
    EXPECT_EQ(unpack(b.data(), out), 0u);
    EXPECT_EQ(unpacksize(b.data()), 0u);
  }
  EXPECT_EQ(capture.messages().size(), 2u);
}

TEST(PackCodes, UnpackReportsDamageButNotAnEmptyBlock) {
  packtest::AbortCapture capture;
  const Bytes empty = datapack::packlz({});
  uint8_t out[4];
  EXPECT_EQ(unpack(empty.data(), out), 0u);
  EXPECT_TRUE(capture.messages().empty());
  Bytes damaged = datapack::packlz(text("abcabcabcabc"));
  damaged.pop_back();  // the final token
  registerbigfile(damaged.data(), damaged.size());
  Bytes dest(12);
  EXPECT_EQ(unpack(damaged.data(), dest.data()), 0u);
  unregisterbigfile(damaged.data());
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0], "unpack - DAMAGED PACKED DATA (10fb)\n");
}

// ---- damaged blocks -----------------------------------------------------------------------------------------

TEST(PackCodes, EveryTruncationIsRejected) {
  const Bytes data = inputs()[11].data;  // mixed
  for (uint8_t code : CODES) {
    const Bytes block = datapack::pack(code, data);
    for (size_t cut = 0; cut < block.size(); cut += (cut < 64 || block.size() - cut < 64) ? 1 : 97) {
      // An exact-size copy, so that any read past the cut is caught by the address sanitizer.
      const Bytes part(block.begin(), block.begin() + static_cast<ptrdiff_t>(cut));
      Bytes out(data.size());
      const uint32_t got = decompressn(part.data(), part.size(), out.data(), out.size());
      // Our Huffman blocks end in two bytes of padding that a reader knowing the extent can do without.
      const bool padding = code >= 0x30 && code <= 0x34 && cut + 2 >= block.size();
      if (padding && got) {
        EXPECT_EQ(out, data);
      } else {
        ASSERT_EQ(got, 0u) << "code " << int(code) << " cut at " << cut;
      }
    }
  }
}

TEST(PackCodes, RegisteredExtentBoundsTheAddressOnlyEntryPoints) {
  packtest::AbortCapture capture;
  const Bytes data = inputs()[8].data;  // text
  for (uint8_t code : CODES) {
    const Bytes block = datapack::pack(code, data);
    for (size_t cut : {size_t{6}, block.size() / 2, block.size() - 3}) {
      // The cut block lies in a buffer of its own size: a read past the cut would be caught.
      const Bytes part(block.begin(), block.begin() + static_cast<ptrdiff_t>(cut));
      registerbigfile(part.data(), part.size());
      Bytes out(data.size());
      EXPECT_EQ(decompress(part.data(), out.data()), 0u) << int(code) << " cut at " << cut;
      unregisterbigfile(part.data());
    }
  }
  EXPECT_TRUE(capture.messages().empty());
}

TEST(PackCodes, StatedSizeMustMatchTheData) {
  const Bytes data = text("a few words, a few words, a few more words");
  for (uint8_t code : CODES) {
    const Bytes block = datapack::pack(code, data);
    const size_t at = block.size() >= 5 ? 4 : 0;  // low byte of the size (no packed-length field here)
    for (int delta : {-1, +1, +200}) {
      Bytes b = block;
      b[at] = static_cast<uint8_t>(b[at] + delta);
      const uint32_t size = getunpacksizen(b.data(), b.size());
      Bytes out(size);
      EXPECT_EQ(decompressn(b.data(), b.size(), out.data(), out.size()), 0u) << int(code) << " " << delta;
    }
    // A destination smaller than the stated size is refused before anything is written.
    Bytes small(data.size() - 1);
    EXPECT_EQ(decompressn(block.data(), block.size(), small.data(), small.size()), 0u);
  }
}

TEST(PackCodes, LzMatchBeforeTheStartIsRejected) {
  const Bytes block = {0x10, 0xFB, 0, 0, 5, 0x05, 0x01, 'a', 0xFC};  // distance 2 after one byte
  Bytes out(5);
  EXPECT_EQ(decompressn(block.data(), block.size(), out.data(), out.size()), 0u);
}

TEST(PackCodes, SelfReferencingPairsEndWithAnError) {
  const Bytes cases[] = {
      {0x46, 0xFB, 0, 0, 4, 0xFF, 1, 0x80, 0x80, 'a', 0x80, 0xFF, 0},                  // itself
      {0x46, 0xFB, 0, 0, 4, 0xFF, 2, 0x80, 0x81, 'a', 0x81, 'b', 0x80, 0x80, 0xFF, 0},  // each other
  };
  for (const Bytes& b : cases) {
    Bytes out(4);
    EXPECT_EQ(decompressn(b.data(), b.size(), out.data(), out.size()), 0u);
  }
  // 200 nested doublings expand to far more than the block states: refused without expanding.
  Bytes deep = {0x46, 0xFB, 0, 0, 8, 0xFF, 200};
  deep.insert(deep.end(), {0x01, 0xFE, 0xFE});
  for (int v = 2; v <= 200; ++v) deep.insert(deep.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v - 1), static_cast<uint8_t>(v - 1)});
  deep.insert(deep.end(), {200, 0xFF, 0});
  Bytes out(8);
  EXPECT_EQ(decompressn(deep.data(), deep.size(), out.data(), out.size()), 0u);
}

TEST(PackCodes, HostileHuffmanTablesAreRejected) {
  const Bytes cases[] = {
      // lengths that never fill the code space: count 0 (getnum 4 = bits 100) for seventeen lengths
      {0x30, 0xFB, 0, 0, 1, 0xAA, 0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x80},
      // a number code with more than 29 leading zeros
      {0x30, 0xFB, 0, 0, 1, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x00},
      // more codes of length 1 than it can hold (count 3: getnum 7 = bits 111)
      {0x30, 0xFB, 0, 0, 1, 0xAA, 0xE0},
  };
  for (const Bytes& b : cases) {
    Bytes out(1);
    EXPECT_EQ(decompressn(b.data(), b.size(), out.data(), out.size()), 0u);
  }
}

TEST(PackCodes, EveryDamagedByteIsHandled) {
  // A changed byte anywhere must either unpack to the stated size or be rejected; never overrun.
  const Bytes data = text("In the bunker again: splash it out, two putts, bogey. Again, again, again!");
  for (uint8_t code : CODES) {
    const Bytes block = datapack::pack(code, data);
    for (size_t i = 0; i < block.size(); ++i) {
      for (uint8_t x : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
        Bytes b = block;
        b[i] ^= x;
        const uint32_t size = getunpacksizen(b.data(), b.size());
        Bytes out(size);
        const uint32_t got = decompressn(b.data(), b.size(), out.data(), out.size());
        ASSERT_TRUE(got == 0 || got == size) << int(code) << " byte " << i;
      }
    }
  }
}

}  // namespace

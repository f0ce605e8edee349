#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "moviefixture.h"

namespace {

TEST(MovieTables, QualityZeroKeepsOnlyTheDcEntry) {
  dctsetquality(0);
  EXPECT_EQ(dctquanttable()[0], 8192);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(dctquanttable()[i], 0) << i;
}

TEST(MovieTables, DequantisationIsMatrixTimesQualityTimesPrescale) {
  dctsetquality(3);
  // matrix 16, prescale 5906 at (0,1); matrix 83, prescale 107619 at (7,7); matrix 16 and 4258 at (1,1).
  EXPECT_EQ(dctquanttable()[1], std::lround(16.0 * 3 * 5906 / 16));
  EXPECT_EQ(dctquanttable()[63], std::lround(83.0 * 3 * 107619 / 16));
  EXPECT_EQ(dctquanttable()[9], std::lround(16.0 * 3 * 4258 / 16));
}

TEST(MovieTables, CodeLookups) {
  const DctCode* codes = dctcodetable();
  struct Case {
    uint32_t bits;
    int length;
    uint16_t value;
  } cases[] = {{0b110, 3, 0x001}, {0b111, 3, 0x3FF}, {0b0110, 4, 0x401}, {0b10, 2, 0xFE00},
               {0b01000, 5, 0x002}, {0b0000001010, 11 - 1, 0}};
  for (const Case& c : cases) {
    if (c.value == 0) continue;
    const DctCode& e = codes[c.bits << (13 - c.length)];
    EXPECT_EQ(e.value, c.value);
    EXPECT_EQ(e.length, c.length);
  }
  EXPECT_EQ(codes[0b0000010000000].length, 33);
  EXPECT_EQ(codes[0b0000010000000].value, kDctEscapeValue);
  EXPECT_EQ(codes[0].length, 32);
  EXPECT_EQ(codes[31].length, 32);
  // Run 0 level 12: "0000000011010" and sign, 6 bits after the eight zeros.
  const DctCode& twelve = dctlongtable()[0b110100 << 3];
  EXPECT_EQ(twelve.value, 0x00C);
  EXPECT_EQ(twelve.length, 6);
  EXPECT_EQ(dctclamptable()[0x80], 0);      // -128
  EXPECT_EQ(dctclamptable()[0xC0], 0);      // -64
  EXPECT_EQ(dctclamptable()[0x00], 64);
  EXPECT_EQ(dctclamptable()[0x3F], 127);
  EXPECT_EQ(dctclamptable()[0x7F], 127);
}

TEST(MovieDequantise, DcOnlyBlockReportsTwoWords) {
  dctsetquality(4);
  const uint16_t words[] = {0x3F0, kDctEndWord};  // DC -16
  EXPECT_EQ(dctdequantise(words, 2), 2);
  EXPECT_EQ(dctcoefficients()[0], -16 * 8192);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(dctcoefficients()[i], 0);
}

TEST(MovieDequantise, RunOf62ReachesTheLastPosition) {
  dctsetquality(2);
  const uint16_t words[] = {5, 62 * 1024 + 3, kDctEndWord};
  EXPECT_EQ(dctdequantise(words, 3), 3);
  EXPECT_EQ(dctcoefficients()[63], 3 * dctquanttable()[63]);
  for (int i = 1; i < 63; ++i) EXPECT_EQ(dctcoefficients()[i], 0);
}

TEST(MovieDequantise, DamagedBlocksAreRefused) {
  dctsetquality(2);
  const uint16_t past[] = {5, 63 * 1024 + 3, kDctEndWord};        // run past the block
  const uint16_t twice[] = {5, 62 * 1024 + 3, 0x001, kDctEndWord};  // a coefficient after position 63
  const uint16_t noend[] = {5, 0x001, 0x001};
  EXPECT_EQ(dctdequantise(past, 3), 0);
  EXPECT_EQ(dctdequantise(twice, 4), 0);
  EXPECT_EQ(dctdequantise(noend, 3), 0);
  EXPECT_EQ(dctdequantise(noend, 1), 0);
}

// out[y][x] = sum over u, v of coefficient[u * 8 + v] w_u(x) w_v(y), w_0 = 1, w_k(x) = cos((2x+1)k pi/16) / cos(k pi/16).
double Weight(int k, int x) { return k ? std::cos((2 * x + 1) * k * M_PI / 16) / std::cos(k * M_PI / 16) : 1.0; }

TEST(MovieIdct, MatchesTheDoubleReference) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(-400000, 400000), chance(0, 3);
  for (int trial = 0; trial < 200; ++trial) {
    int32_t* c = dctcoefficients();
    for (int i = 0; i < 64; ++i) c[i] = (i == 0 || chance(random) == 0) ? value(random) : 0;
    int32_t input[64];
    std::memcpy(input, c, sizeof input);
    int32_t out[8 * 10];
    dctidct(out, 10);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        double reference = 0;
        for (int u = 0; u < 8; ++u)
          for (int v = 0; v < 8; ++v) reference += input[u * 8 + v] * Weight(u, x) * Weight(v, y);
        // Rounded to integers after each pass, with single-precision constants: within 1/1024 of a sample
        // (one sample is 65536).
        EXPECT_NEAR(out[y * 10 + x], reference, 64.0) << trial << " " << x << "," << y;
      }
  }
}

TEST(MovieIdct, ZeroAcVectorGivesEightEqualOutputs) {
  int32_t* c = dctcoefficients();
  std::memset(c, 0, 64 * sizeof(int32_t));
  c[0] = 123456;
  c[8] = 5000;  // second vector: only its first value
  int32_t out[64];
  dctidct(out, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      EXPECT_NEAR(out[y * 8 + x], 123456 + 5000 * Weight(1, x), 8.0);
      EXPECT_EQ(out[y * 8 + x], out[x]);  // the same in every row
    }
  c[8] = 0;
  dctidct(out, 8);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(out[i], 123456);
}

TEST(MovieBlocks, FillBlockUsesTheDcValue) {
  dctsetquality(1);
  const uint16_t words[] = {0x010, kDctEndWord};
  ASSERT_EQ(dctdequantise(words, 2), 2);
  int32_t block[8 * 12];
  std::fill(std::begin(block), std::end(block), -1);
  dctfillblock(block, 12);
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) EXPECT_EQ(block[r * 12 + c], 16 * 8192);
    for (int c = 8; c < 12; ++c) EXPECT_EQ(block[r * 12 + c], -1);  // outside the block
  }
}

TEST(MovieBlocks, PackRowTakesBitsSixteenToTwentyThreeThroughTheClamp) {
  int32_t lum[16], cd1[8], cd2[8];
  for (int i = 0; i < 16; ++i) lum[i] = (i * 8 - 64) * 65536 + 0xFFFF;
  for (int i = 0; i < 8; ++i) {
    cd1[i] = -100 * 65536;  // clamps to 0
    cd2[i] = 100 * 65536;   // clamps to 127
  }
  PixelPair out[8];
  dctpackrow(lum, cd1, cd2, out);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(out[i] & 0xFF, 0u);
    EXPECT_EQ((out[i] >> 8) & 0xFF, 127u);
    EXPECT_EQ(out[i] >> 24, static_cast<uint32_t>(std::clamp(2 * i * 8 - 64, -64, 63) + 64));
    EXPECT_EQ((out[i] >> 16) & 0xFF, static_cast<uint32_t>(std::clamp((2 * i + 1) * 8 - 64, -64, 63) + 64));
  }
}

TEST(MovieBlocks, ClampPackOrder) {
  const int32_t values[16] = {0, 1, 2, 3, 4, 5, 6, 7, -1, -100, 100, 63, 64, 10, 20, 30};
  uint32_t out[4];
  clamppack8(values, out, 4);
  EXPECT_EQ(out[0], 0x43414240u);  // 0, 2, 1, 3 plus 64
  EXPECT_EQ(out[1], 0x47454644u);
  EXPECT_EQ(out[2], 0x7F007F3Fu);  // -1 -> 63, 100 -> 127, -100 -> 0, 63 -> 127
  EXPECT_EQ(out[3], 0x5E4A547Fu);  // 64 -> 127, 20 -> 84, 10 -> 74, 30 -> 94
}

}  // namespace

// The fast transform against the plain one: every output the same, from sparse small blocks to values near and
// past the fast path's range, where it hands over to the plain path.
TEST(MovieIdct, FastPathEqualsThePlainPath) {
  std::mt19937 random(12);
  const int32_t ranges[] = {300, 70000, 1 << 22, (1 << 28) - 1, 1 << 28, INT32_MAX};
  for (const int32_t range : ranges)
    for (int trial = 0; trial < 400; ++trial) {
      std::uniform_int_distribution<int32_t> value(-range, range);
      const int rows = trial % 9;  // only the first `rows` vectors hold values
      const int density = 1 + trial % 4, places = 1 + trial / 9 % 8;  // values only in places v < places
      int32_t* c = dctcoefficients();
      std::memset(c, 0, 64 * sizeof(int32_t));
      for (int i = 0; i < rows * 8; ++i)
        if ((i & 7) < places && random() % density == 0) c[i] = value(random);
      if (trial % 5 == 0) c[random() % 64] = value(random);
      int32_t fast[8 * 9], plain[8 * 9];
      dctidct(fast, 9);
      dctidctplain(plain, 9);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(fast[y * 9 + x], plain[y * 9 + x]) << range << " " << trial << " " << x << "," << y;
    }
}

TEST(MovieBlocks, FastPackRowEqualsTheTablePath) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 2000; ++trial) {
    int32_t lum[16], cd1[8], cd2[8];
    for (int32_t& v : lum) v = static_cast<int32_t>(random());
    for (int i = 0; i < 8; ++i) {
      cd1[i] = static_cast<int32_t>(random());
      cd2[i] = static_cast<int32_t>(random());
    }
    PixelPair fast[8], plain[8];
    dctpackrow(lum, cd1, cd2, fast);
    dctpackrowplain(lum, cd1, cd2, plain);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(fast[i], plain[i]) << trial << " " << i;
  }
}

// The transform as the picture decoder takes it, samples straight from the fast path, against the plain
// transform through the clamp table: random blocks from sparse to full, within and past the fast range, and
// values whose bits 16-23 wrap or saturate.
TEST(MovieIdct, FastSamplesEqualThePlainPathThroughTheClamp) {
  std::mt19937 random(21);
  const uint8_t* clamp = dctclamptable();
  const int32_t ranges[] = {3000, 1 << 20, 1 << 24, (1 << 28) - 1, INT32_MAX};
  // The last place gains the most: one value there reaches past 2^31 from 2^27 on.
  const int32_t last[] = {(1 << 26) - 1, 1 << 26, 1 << 27, -(1 << 27), (1 << 28) - 1, -(1 << 28) + 1};
  for (const int32_t range : ranges)
    for (int trial = 0; trial < 300; ++trial) {
      std::uniform_int_distribution<int32_t> value(-range, range);
      const int rows = 1 + trial % 8, places = 1 + trial / 8 % 8;
      int32_t* c = dctcoefficients();
      std::memset(c, 0, 64 * sizeof(int32_t));
      for (int i = 0; i < rows * 8; ++i)
        if ((i & 7) < places && random() % (1 + trial % 3) == 0) c[i] = value(random);
      if (range == ranges[0] && trial < 2 * static_cast<int>(std::size(last))) {
        c[63] = last[trial / 2];
        if (trial % 2) c[0] = 0;
      }
      uint8_t fast[8 * 11];
      int32_t plain[64];
      dctidctsamples(fast, 11);
      dctidctplain(plain, 8);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          ASSERT_EQ(fast[y * 11 + x], clamp[(static_cast<uint32_t>(plain[y * 8 + x]) >> 16) & 0xFF])
              << range << " " << trial << " " << x << "," << y;
    }
}

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <vector>

#include "scene/random.h"
#include "scene/runmask.h"

namespace {

std::vector<uint8_t> Encode(const std::array<bool, 256>& copy) {
  std::vector<uint8_t> out;
  for (int p = 0; p < 256;) {
    int n = 0;
    while (p + n < 256 && copy[p + n] == copy[p] && n < 127) ++n;
    out.push_back(static_cast<uint8_t>((copy[p] ? 0x80 : 0) | n));
    p += n;
  }
  return out;
}

RunMask Mask(const std::vector<uint8_t>& bytes) { return {bytes.data(), bytes.size()}; }

// A stream whose texel i is i (mod 256), and one whose texels are all `value`.
std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i);
  return v;
}

TEST(RunMaskDecoders, FourRunsSplitTheTileIntoUpperAAndLowerB) {
  const std::vector<uint8_t> a(4096, 1), b(4096, 2);
  const std::vector<uint8_t> mask = {0x7F, 0x01, 0xFF, 0x81};
  using Mix = void (*)(Source8, Source8, RunMask, uint8_t*);
  const struct {
    const char* name;
    Mix mix;
    int side;
  } decoders[] = {{"MixStreams16", MixStreams16, 16},         {"MixImageStream16", MixImageStream16, 16},
                  {"MixStreamImage16", MixStreamImage16, 16}, {"MixImages16", MixImages16, 16},
                  {"MixStreams32", MixStreams32, 32},         {"MixStreams64", MixStreams64, 64},
                  {"MixImageStream64", MixImageStream64, 64}, {"MixStreamImage64", MixStreamImage64, 64},
                  {"MixImages64", MixImages64, 64}};
  for (const auto& d : decoders) {
    SCOPED_TRACE(d.name);
    std::vector<uint8_t> tile(static_cast<size_t>(d.side) * d.side, 0);
    d.mix({a.data(), a.size()}, {b.data(), b.size()}, Mask(mask), tile.data());
    for (int y = 0; y < d.side; ++y)
      for (int x = 0; x < d.side; ++x) ASSERT_EQ(tile[static_cast<size_t>(y) * d.side + x], y < d.side / 2 ? 1 : 2);
  }
  // The 16-bit forms alike.
  const std::vector<uint16_t> a16(4096, 0x1111), b16(4096, 0x2222);
  std::vector<uint16_t> tile(64 * 64);
  MixImages64Wide({a16.data(), a16.size()}, {b16.data(), b16.size()}, Mask(mask), tile.data());
  EXPECT_EQ(tile[31 * 64 + 63], 0x1111);
  EXPECT_EQ(tile[32 * 64], 0x2222);
  MixStreams16Wide({a16.data(), a16.size()}, {b16.data(), b16.size()}, Mask(mask), tile.data());
  EXPECT_EQ(tile[127], 0x1111);
  EXPECT_EQ(tile[128], 0x2222);
}

// A run of 44 cells from column 8 covers the rest of row 0, rows 1 and 2 and four cells of row 3; a 32-texel
// decoder takes its stream row segment by row segment, the upper pixel row of a segment before its lower one.
TEST(RunMaskDecoders, RunsGoOnAcrossRowsInOrder) {
  const std::vector<uint8_t> mask = {0x08, 0x80 | 44, 0x7F, 0x7F};
  const std::vector<uint8_t> a(4096, 200), b = Counting(4096);
  std::vector<uint8_t> tile(32 * 32, 0);
  RandomUp = 0;
  const uint8_t start = RandomTable[0];
  MixStreams32({a.data(), a.size()}, {b.data(), b.size()}, Mask(mask), tile.data());
  EXPECT_EQ(RandomUp, 1);  // only B takes a random start
  std::vector<uint8_t> expected(32 * 32, 200);
  uint32_t next = start;
  const struct {
    int row, column, cells;
  } segments[] = {{0, 8, 8}, {1, 0, 16}, {2, 0, 16}, {3, 0, 4}};
  for (const auto& s : segments)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < s.cells * 2; ++x) expected[static_cast<size_t>(s.row * 2 + y) * 32 + s.column * 2 + x] = static_cast<uint8_t>(next++);
  EXPECT_EQ(tile, expected);
}

// Masks from hole files: runs past the 256th cell are cut, a zero run and the end of the bytes stop the decoder,
// and the cells not reached are skip cells.
TEST(RunMaskDecoders, DamagedMasksStopAtTheTileAndTheirData) {
  const struct {
    const char* what;
    std::vector<uint8_t> mask;
    int copyCells;  // the first copyCells cells copy, the rest skip
  } cases[] = {
      {"runs past cell 256", {0xFF, 0xFF, 0xFF, 0xFF}, 256},
      {"a zero run", {0x90, 0x80, 0xFF}, 16},
      {"a zero skip run", {0x85, 0x00, 0x85}, 5},
      {"ends mid-mask", {0x80 | 40}, 40},
      {"no bytes", {}, 0},
  };
  const std::vector<uint8_t> a(4096, 1), b(4096, 2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Exactly the tile's size, so a write past it is caught by the address checker.
    std::vector<uint8_t> tile16(256, 9), tile64(4096, 9), mask16(256, 9), mask32(1024, 9);
    MixStreams16({a.data(), a.size()}, {b.data(), b.size()}, Mask(c.mask), tile16.data());
    MixImages64({a.data(), a.size()}, {b.data(), b.size()}, Mask(c.mask), tile64.data());
    DecodeMask16(Mask(c.mask), mask16.data());
    DecodeMask32Smooth(Mask(c.mask), mask32.data());
    for (int i = 0; i < 256; ++i) {
      const bool copy = i < c.copyCells;
      ASSERT_EQ(tile16[static_cast<size_t>(i)], copy ? 2 : 1) << i;
      ASSERT_EQ(tile64[static_cast<size_t>(i / 16 * 4) * 64 + (i % 16) * 4], copy ? 2 : 1) << i;
      ASSERT_EQ(mask16[static_cast<size_t>(i)], copy ? kMaskShadow : kMaskClear) << i;
    }
  }
}

// The smoothed 64-texel stream decoder takes extension texels beyond the 4,096 of its source; it reads on from the
// source's start.
TEST(RunMaskDecoders, SmoothedStreamsWrapInsideTheirSource) {
  std::array<bool, 256> copy{};
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c) copy[r * 16 + c] = (r + c) % 3 != 0 || r % 2 == 0;
  const std::vector<uint8_t> mask = Encode(copy);
  const std::vector<uint8_t> b = Counting(4096);
  std::vector<uint8_t> tile(4096, 0);
  OverlayStream64Smooth({b.data(), b.size()}, Mask(mask), tile.data());
  // A short source wraps too.
  OverlayStream64Smooth({b.data(), 7}, Mask(mask), tile.data());
  for (uint8_t t : tile) ASSERT_LT(t, 7);
}

TEST(RunMaskDecoders, SoftEdgesMarkRunsThatChangeKindInMidRow) {
  // Row 0: skip 4, copy 6, skip 6; row 1: copy 16 (starts at column 0: no edge); row 2: copy 3 more, skip 13.
  const std::vector<uint8_t> mask = {0x04, 0x86, 0x06, 0x90, 0x83, 0x7F, 0x7F};
  std::vector<uint8_t> tile(256);
  DecodeMask16Soft(Mask(mask), tile.data());
  for (int r = 0; r < 16; ++r) EXPECT_NE(tile[static_cast<size_t>(r) * 16], kMaskSoft) << "row " << r;
  EXPECT_EQ(tile[3], kMaskClear);
  EXPECT_EQ(tile[4], kMaskSoft);    // copy after skip
  EXPECT_EQ(tile[5], kMaskShadow);
  EXPECT_EQ(tile[10], kMaskSoft);   // skip after copy
  EXPECT_EQ(tile[11], kMaskClear);
  EXPECT_EQ(tile[16], kMaskShadow);  // row start: no edge
  EXPECT_EQ(tile[35], kMaskSoft);    // the skip run after row 2's copy cells
  std::vector<uint16_t> alpha(256);
  DecodeAlphaMask16Soft(Mask(mask), alpha.data());
  EXPECT_EQ(alpha[3], 0);
  EXPECT_EQ(alpha[4], kAlpha16Soft);
  EXPECT_EQ(alpha[5], kAlpha16Shadow);
  std::vector<uint8_t> alpha8(256);
  DecodeAlphaMask8(Mask(mask), alpha8.data());
  EXPECT_EQ(alpha8[4], kAlpha8Shadow);
  EXPECT_EQ(alpha8[3], 0);
}

TEST(RunMaskDecoders, HistoryBitsTellTheCellsAboveARun) {
  // Row 0: copy cells 3-5 and 15. At row 1 column 4: above (0,4) copy, above-left (0,3) copy, two-left (0,2) not.
  SmoothHistory h;
  h.Skip(3);
  h.Copy(3);
  h.Skip(9);
  h.Copy(1);
  h.NewRow();
  h.Skip(4);
  EXPECT_TRUE(h.Bit(17));
  EXPECT_TRUE(h.Bit(18));
  EXPECT_FALSE(h.Bit(19));
  // A run of 11 cells from column 4 ends at column 14: above it (0,14) skip, above-right (0,15) copy, and past the
  // row's end the empty bits.
  SmoothHistory end = h;
  end.Skip(10);
  EXPECT_FALSE(end.Bit(17));
  EXPECT_TRUE(end.Bit(16));
  EXPECT_FALSE(end.Bit(15));
  for (int n = 0; n <= 16; ++n) EXPECT_EQ(RunMaskTable[n], RunMaskTable[17 + n]);
  EXPECT_EQ(RunMaskTable[16], 0xFFFFu);
}

TEST(RunMaskDecoders, RandomStartsAreTakenInOrder) {
  const std::vector<uint8_t> a = Counting(4096), b = Counting(4096);
  const std::vector<uint8_t> mask = {0x81, 0x01, 0x7F, 0x7F};  // cell 0 from B, the rest from A
  std::vector<uint8_t> tile(256);
  const struct {
    const char* name;
    void (*mix)(Source8, Source8, RunMask, uint8_t*);
    bool imageA, imageB;
  } decoders[] = {{"MixStreams16", MixStreams16, false, false},
                  {"MixImageStream16", MixImageStream16, true, false},
                  {"MixStreamImage16", MixStreamImage16, false, true},
                  {"MixImages16", MixImages16, true, true}};
  for (const auto& d : decoders) {
    SCOPED_TRACE(d.name);
    RandomUp = 40;
    const uint8_t first = RandomTable[40], second = RandomTable[41];
    d.mix({a.data(), a.size()}, {b.data(), b.size()}, Mask(mask), tile.data());
    EXPECT_EQ(RandomUp, 42);
    // Cell 0 from B (its start is the second offset), cell 1 from A (the first).
    EXPECT_EQ(tile[0], d.imageB ? (second & 3) : second);
    EXPECT_EQ(tile[1], d.imageA ? 4 + (first & 3) : first);
  }
  // The next tile from the same sources differs: the index moved on.
  std::vector<uint8_t> again(256);
  const std::vector<uint8_t> all = {0x7F, 0x7F, 0x02};
  RandomUp = 40;
  MixStreams16({a.data(), a.size()}, {b.data(), b.size()}, Mask(all), tile.data());
  MixStreams16({a.data(), a.size()}, {b.data(), b.size()}, Mask(all), again.data());
  EXPECT_NE(tile, again);
}

// A copy region that widens by one cell a row: the smoothed tile's edge moves by at most one texel a pixel row,
// where the plain one steps by four.
TEST(RunMaskDecoders, SmoothedDiagonalEdgeHasNoSteps) {
  std::array<bool, 256> copy{};
  for (int r = 0; r < 16; ++r)
    for (int c = 15 - r; c < 16; ++c) copy[r * 16 + c] = true;
  const std::vector<uint8_t> mask = Encode(copy);
  const std::vector<uint8_t> b(4096, 7);
  auto leftEdges = [](const std::vector<uint8_t>& tile) {
    std::vector<int> edges;
    for (int y = 4; y < 64; ++y) {
      int x = 0;
      while (x < 64 && tile[static_cast<size_t>(y) * 64 + x] != 7) ++x;
      edges.push_back(x);
    }
    return edges;
  };
  std::vector<uint8_t> smooth(4096, 0), plain(4096, 0);
  OverlayStream64Smooth({b.data(), b.size()}, Mask(mask), smooth.data());
  OverlayStream64({b.data(), b.size()}, Mask(mask), plain.data());
  const std::vector<int> s = leftEdges(smooth), p = leftEdges(plain);
  int plainSteps = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    EXPECT_LE(std::abs(s[i] - s[i - 1]), 1) << "pixel row " << i + 4;
    if (std::abs(p[i] - p[i - 1]) == 4) ++plainSteps;
  }
  EXPECT_EQ(plainSteps, 14);
}

}  // namespace

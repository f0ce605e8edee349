#include <gtest/gtest.h>

#include "moviefixture.h"

namespace {

TEST(ShapeMovieFrames, TablesHoldTheClassesAndCodes) {
  const uint32_t* first = moviecodetables(0);
  EXPECT_EQ(first[0], 15u);
  for (int i = 1; i < 8; ++i) EXPECT_EQ(first[i], 31u);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(first[i], 47u);
  for (int i = 256; i < 384; ++i) EXPECT_EQ(first[i], 63u);
  // "110": run 0 level 1; "111": level -1; "0110": run 1 level 1.
  EXPECT_EQ(first[0b110000000], (1u << 22) | 3u);
  EXPECT_EQ(first[0b111000000], (0x3FFu << 22) | 3u);
  EXPECT_EQ(first[0b011000000], (1u << 22) | (1u << 16) | 4u);
  // Run 0 level 12, "0000000011010" and its sign: 8 bits after the first six zeros.
  EXPECT_EQ(moviecodetables(1)[0b00110100], (12u << 22) | 8u);
  // Run 1 level 15, "0000000000010011": 8 bits after nine zeros.
  EXPECT_EQ(moviecodetables(2)[0b00100110], (15u << 22) | (1u << 16) | 8u);
}

TEST(ShapeMovieFrames, DequantisationTable) {
  const uint16_t none[1] = {0};
  dctframebegin(none, 1, 3);
  dctsetquality(3);
  EXPECT_EQ(movieframequant()[0], 32768);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(movieframequant()[i], dctquanttable()[i]) << i;
}

TEST(ShapeMovieFrames, BlockDecoding) {
  dctsetquality(2);
  // DC -3 (0xFD), run 62 by escape: "000001" + level 5 << 6 | 62, then "10".
  // Bits: 11111101 000001 0000000101111110 10 -> 32 bits = 0xFD05 0x7EA? assembled below.
  uint32_t bitsvalue = 0xFDu << 24 | 1u << 18 | ((5u << 6 | 62u) << 2) | 2u;
  const uint16_t words[] = {static_cast<uint16_t>(bitsvalue >> 16), static_cast<uint16_t>(bitsvalue)};
  dctframebegin(words, 2, 2);
  EXPECT_EQ(moviedecodeblock(), 64);
  EXPECT_EQ(dctcoefficients()[0], -3 * 32768);
  EXPECT_EQ(dctcoefficients()[63], 5 * movieframequant()[63]);
  // A run past the end of the block is refused.
  bitsvalue = 0x01u << 24 | 1u << 18 | ((5u << 6 | 63u) << 2) | 2u;
  const uint16_t past[] = {static_cast<uint16_t>(bitsvalue >> 16), static_cast<uint16_t>(bitsvalue)};
  dctframebegin(past, 2, 2);
  EXPECT_EQ(moviedecodeblock(), -1);
  // DC only, then the data ends inside the next block.
  const uint16_t dconly[] = {0x0780};  // DC 7, "10", then zeros
  dctframebegin(dconly, 1, 2);
  EXPECT_EQ(moviedecodeblock(), 1);
  EXPECT_EQ(moviedecodeblock(), -1);
}

TEST(ShapeMovieFrames, PackPixels) {
  uint8_t first[16], planes[264];
  for (int i = 0; i < 16; ++i) first[i] = static_cast<uint8_t>(i + 1);
  for (int i = 0; i < 8; ++i) {
    planes[i] = static_cast<uint8_t>(100 + i);
    planes[256 + i] = static_cast<uint8_t>(50 + i);
  }
  uint32_t out[8];
  moviepackpixels(first, planes, out);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(out[i], static_cast<uint32_t>(100 + i) | static_cast<uint32_t>(50 + i) << 8 |
                          static_cast<uint32_t>(2 * i + 2) << 16 | static_cast<uint32_t>(2 * i + 1) << 24);
}

TEST(ShapeMovieFrames, RoundTripWithCopiedBlocks) {
  const int width = 64, height = 48;
  movieframereset();
  std::vector<uint8_t> one = TestPicture(width, height, 0);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  const std::vector<uint8_t> coded1 = movietools::encodeshapeframe(one.data(), width, height, 2, nullptr);
  ASSERT_EQ(dctframedecode(frame.data(), coded1.data(), coded1.size(), width, height), 0);
  EXPECT_GT(Psnr(one, PairsToRgb(frame, width, height)), 30.0);
  // The second frame: the left half unchanged, the right half brighter.
  std::vector<uint8_t> two = one;
  for (int y = 0; y < height; ++y)
    for (int x = width / 2; x < width; ++x)
      for (int k = 0; k < 3; ++k) {
        uint8_t& v = two[(static_cast<size_t>(y) * width + x) * 3 + k];
        v = static_cast<uint8_t>(std::min(255, v + 20));
      }
  std::vector<uint8_t> previous(movieframeplanes(), movieframeplanes() + width * height * 3 / 2);
  const std::vector<uint8_t> coded2 = movietools::encodeshapeframe(two.data(), width, height, 2, previous.data());
  EXPECT_LT(coded2.size() * 4, coded1.size());  // kept and copied blocks cost little
  ASSERT_EQ(dctframedecode(frame.data(), coded2.data(), coded2.size(), width, height), 0);
  EXPECT_GT(Psnr(two, PairsToRgb(frame, width, height)), 28.0);
}

TEST(ShapeMovieFrames, DamagedFramesAreRefused) {
  const int width = 32, height = 32;
  movieframereset();
  std::vector<uint8_t> rgb = TestPicture(width, height, 5);
  const std::vector<uint8_t> coded = movietools::encodeshapeframe(rgb.data(), width, height, 3, nullptr);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  EXPECT_EQ(dctframedecode(frame.data(), coded.data(), coded.size(), 48, 32), -1);  // not the chunk's size
  for (size_t cut : {size_t{0}, size_t{7}, size_t{8}, coded.size() / 3, coded.size() - 2}) {
    std::vector<uint8_t> part(coded.begin(), coded.begin() + static_cast<long>(cut));
    EXPECT_EQ(dctframedecode(frame.data(), part.data(), part.size(), width, height), -1) << cut;
  }
  std::vector<uint8_t> bad = coded;
  bad[4] = 0;
  bad[5] = 1;  // quality 256
  EXPECT_EQ(dctframedecode(frame.data(), bad.data(), bad.size(), width, height), -1);
}

}  // namespace

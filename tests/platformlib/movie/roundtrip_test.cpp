#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "moviefixture.h"

namespace {

std::vector<PixelPair> DecodeCoded(const std::vector<uint8_t>& coded, int width, int height) {
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height, 0xDEADBEEF);
  EXPECT_EQ(moviedecodeframe(coded.data(), coded.size(), frame.data(), width, height), 0);
  return frame;
}

TEST(MovieRoundTrip, PictureSurvivesWithinPsnr) {
  struct Case {
    int width, height, quality;
    double psnr;
  } cases[] = {{64, 48, 1, 34.0}, {32, 32, 4, 30.0}, {320, 240, 2, 32.0}, {16, 16, 12, 24.0}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> rgb = TestPicture(c.width, c.height, c.quality);
    const std::vector<uint8_t> coded = movietools::encodepicture(rgb.data(), c.width, c.height, c.quality);
    const std::vector<PixelPair> frame = DecodeCoded(coded, c.width, c.height);
    EXPECT_GT(Psnr(rgb, PairsToRgb(frame, c.width, c.height)), c.psnr) << c.width << "x" << c.height << " q" << c.quality;
  }
}

TEST(MovieRoundTrip, NoisyPictureUsesEscapesAndLongCodes) {
  std::mt19937 random(3);
  const int width = 48, height = 32;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (auto& b : rgb) b = static_cast<uint8_t>(random());
  const std::vector<uint8_t> coded = movietools::encodepicture(rgb.data(), width, height, 1);
  const std::vector<PixelPair> frame = DecodeCoded(coded, width, height);
  // The finest detail of noise is lost; the mean luminance of each 8 x 8 block survives.
  double error = 0;
  for (int by = 0; by < height; by += 8)
    for (int bx = 0; bx < width; bx += 8) {
      double source = 0, decoded = 0;
      for (int y = by; y < by + 8; ++y)
        for (int x = bx; x < bx + 8; ++x) {
          const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
          source += 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
          const PixelPair pair = frame[static_cast<size_t>(y) * (width / 2) + x / 2];
          decoded += 2.0 * static_cast<double>((x & 1) ? (pair >> 16) & 0xFF : pair >> 24);
        }
      error = std::max(error, std::fabs(source - decoded) / 64);
    }
  EXPECT_LT(error, 3.0);
}

TEST(MovieRoundTrip, MacroblocksLandInRasterOrder) {
  // A flat colour per macroblock: each 16 x 16 area of the decoded frame must hold its own colour.
  const int width = 64, height = 48;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int m = (y / 16) * 4 + x / 16;
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(m * 20);
      p[1] = static_cast<uint8_t>(250 - m * 20);
      p[2] = static_cast<uint8_t>((m * 77) & 0xFF);
    }
  const std::vector<PixelPair> frame = DecodeCoded(movietools::encodepicture(rgb.data(), width, height, 2), width, height);
  const std::vector<uint8_t> back = PairsToRgb(frame, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int k = 0; k < 3; ++k) {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3 + k;
        ASSERT_NEAR(back[i], rgb[i], 6) << x << "," << y;
      }
}

TEST(MovieRoundTrip, DcOnlyBlocksAreFilledFlat) {
  // A flat grey picture codes every block as its DC value alone.
  const int width = 16, height = 16;
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 100);
  const std::vector<uint8_t> coded = movietools::encodepicture(rgb.data(), width, height, 3);
  std::vector<uint16_t> words(6 * 65 + 1);
  const int64_t count = dctbegin(coded.data() + 4, coded.size() - 4, words.data(), words.size());
  ASSERT_EQ(count, 6 * 2 + 1);
  for (int b = 0; b < 6; ++b) EXPECT_EQ(words[2 * b + 1], kDctEndWord);
  const std::vector<PixelPair> frame = DecodeCoded(coded, width, height);
  for (PixelPair p : frame) EXPECT_EQ(p, frame[0]);
  EXPECT_EQ(frame[0] >> 24, 50u);
}

TEST(MovieDamage, TruncatedOrCorruptDataIsRefused) {
  const int width = 32, height = 32;
  const std::vector<uint8_t> rgb = TestPicture(width, height);
  const std::vector<uint8_t> coded = movietools::encodepicture(rgb.data(), width, height, 2);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  // Every cut: the end mark is the picture's last code, so any shorter data ends inside a code or before it.
  for (size_t cut = 0; cut < coded.size(); ++cut) {
    // Exact-size copies so that the sanitizer sees any read past the end.
    std::vector<uint8_t> part(coded.begin(), coded.begin() + static_cast<long>(cut));
    EXPECT_EQ(moviedecodeframe(part.data(), part.size(), frame.data(), width, height), -1) << cut;
  }
  std::vector<uint8_t> wrongsize = coded;
  EXPECT_EQ(moviedecodeframe(wrongsize.data(), wrongsize.size(), frame.data(), 30, 32), -1);
  wrongsize[0] = 0x10;
  wrongsize[1] = 0x01;  // quality 272
  EXPECT_EQ(moviedecodeframe(wrongsize.data(), wrongsize.size(), frame.data(), width, height), -1);
  // Words that end the picture early: fewer macroblocks than the frame holds.
  const uint16_t early[] = {0x7FC0};  // DC 0x1FF
  std::vector<uint16_t> words(16);
  EXPECT_EQ(dctdecodeblock(early, 1, words.data(), words.size()), 1);
  EXPECT_EQ(dctdecodepicture(words.data(), 1, frame.data(), width, height), -1);
  // Output list too small.
  std::vector<uint16_t> small(5);
  std::vector<uint16_t> input(coded.size() / 2 - 2);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint16_t>(coded[4 + 2 * i] | coded[5 + 2 * i] << 8);
  EXPECT_EQ(dctdecodeblock(input.data(), input.size(), small.data(), small.size()), -1);
}

TEST(MovieDamage, EscapeCannotForgeTheEndWordAndUnknownCodesFail) {
  // DC 0, escape, 16 bits 0xFE00: refused.
  // 10 zero bits, then "000001" -> bits 10..15 = 000001 -> word0 = 0x0001; next 16 bits 0xFE00.
  const uint16_t forged2[] = {0x0001, 0xFE00, 0x7FC0};
  std::vector<uint16_t> words(64);
  EXPECT_EQ(dctdecodeblock(forged2, 3, words.data(), words.size()), -1);
  // 10 zero bits then thirteen zeros: no such code.
  const uint16_t unknown[] = {0x0000, 0x0000, 0x0000};
  EXPECT_EQ(dctdecodeblock(unknown, 3, words.data(), words.size()), -1);
}

}  // namespace

// The whole picture through the fast decoder and through the plain steps (code list, dequantisation, the
// transform in doubles one value at a time, the clamp table): the same pairs, for pictures from smooth to noise
// at fine and coarse quality.
std::vector<PixelPair> DecodePlainWords(const std::vector<uint16_t>& words, int64_t count, int width, int height) {
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  size_t used = 0;
  for (int my = 0; my < height; my += 16)
    for (int mx = 0; mx < width; mx += 16) {
      int32_t cd1[64], cd2[64], lum[256];
      int32_t* const targets[6] = {cd1, cd2, lum, lum + 8, lum + 128, lum + 136};
      for (int b = 0; b < 6; ++b) {
        const int n = dctdequantise(words.data() + used, static_cast<size_t>(count) - used);
        EXPECT_GT(n, 0);
        if (n == 0) return frame;
        dctidctplain(targets[b], b < 2 ? 8 : 16);
        used += static_cast<size_t>(n);
      }
      for (int r = 0; r < 16; ++r)
        dctpackrowplain(lum + r * 16, cd1 + (r / 2) * 8, cd2 + (r / 2) * 8,
                        frame.data() + static_cast<size_t>(my + r) * (width / 2) + mx / 2);
    }
  return frame;
}

std::vector<PixelPair> DecodePlain(const std::vector<uint8_t>& coded, int width, int height) {
  dctsetquality(static_cast<int32_t>(coded[0] | coded[1] << 8 | coded[2] << 16 | coded[3] << 24));
  std::vector<uint16_t> words(static_cast<size_t>(width / 16) * (height / 16) * 6 * 65 + 1);
  const int64_t count = dctbegin(coded.data() + 4, coded.size() - 4, words.data(), words.size());
  EXPECT_GT(count, 0);
  return DecodePlainWords(words, count, width, height);
}

// Code lists of random blocks, from DC-only to full, with levels up to the 10-bit limits: at fine quality
// their values stay in the fast transform's range, at coarse quality many leave it for the plain path.
TEST(MovieRoundTrip, FastPictureFromRandomCodeListsEqualsThePlainSteps) {
  std::mt19937 random(17);
  const int width = 32, height = 32;
  for (int quality : {1, 3, 40, 255})
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<uint16_t> words;
      for (int b = 0; b < (width / 16) * (height / 16) * 6; ++b) {
        const uint16_t dc = static_cast<uint16_t>(random() % 1024);
        words.push_back(dc == kDctEndDc ? 0 : dc);
        const int spread = 1 + static_cast<int>(random() % 20);
        for (int position = 1 + static_cast<int>(random() % spread); position < 64; position += 1 + static_cast<int>(random() % spread)) {
          const int run = static_cast<int>(random() % 3), level = static_cast<int>(random() % 1024);
          if (position + run > 63) break;
          words.push_back(static_cast<uint16_t>(run << 10 | level));
          position += run;
        }
        words.push_back(kDctEndWord);
      }
      words.push_back(kDctEndWord);
      const int64_t count = static_cast<int64_t>(words.size());
      dctsetquality(quality);
      std::vector<PixelPair> fast(static_cast<size_t>(width / 2) * height);
      ASSERT_EQ(dctdecodepicture(words.data(), words.size(), fast.data(), width, height), 0);
      ASSERT_EQ(fast, DecodePlainWords(words, count, width, height)) << quality << " " << trial;
    }
}

TEST(MovieRoundTrip, FastDecoderEqualsThePlainSteps) {
  std::mt19937 random(9);
  const int width = 64, height = 48;
  for (int quality : {1, 2, 5, 30, 255})
    for (int noise : {0, 40, 255}) {
      std::vector<uint8_t> rgb = TestPicture(width, height, quality);
      for (auto& b : rgb) b = static_cast<uint8_t>(std::clamp(b + static_cast<int>(random() % (noise + 1)) - noise / 2, 0, 255));
      const std::vector<uint8_t> coded = movietools::encodepicture(rgb.data(), width, height, quality);
      EXPECT_EQ(DecodeCoded(coded, width, height), DecodePlain(coded, width, height)) << quality << " " << noise;
    }
}

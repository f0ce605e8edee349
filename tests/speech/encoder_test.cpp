#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "decoder.h"
#include "encoder.h"
#include "speechdsp.h"
#include "speechframe.h"
#include "speechtestutil.h"

namespace speech {
namespace {

class Encoder : public ::testing::Test {
 protected:
  void SetUp() override { ResetEncoder(); }
};

// Blocks that fit the source exactly are coded: 104 samples of look-ahead, then 208 per frame.
TEST_F(Encoder, FrameCountFollowsTheSourceLength) {
  const struct {
    uint32_t length;
    uint32_t frames;
  } cases[] = {{0, 0}, {207, 0}, {208, 0}, {623, 0}, {624, 1}, {625, 1}, {1039, 1}, {1040, 2}, {112000, 268}};
  auto pcm = testing::VowelPcm(56000);
  for (auto c : cases) {
    ResetEncoder();
    std::vector<uint8_t> out(EncodedCapacity(c.length) + 1);
    EXPECT_EQ(c.frames * kFrameBytes, EncodeFrames(pcm.data(), c.length, out.data(), EncodedCapacity(c.length)))
        << c.length;
  }
}

TEST_F(Encoder, NullBuffersGiveNothing) {
  auto pcm = testing::VowelPcm(1000);
  uint8_t out[200];
  EXPECT_EQ(0u, EncodeFrames(pcm.data(), 2000, nullptr, 200));
  EXPECT_EQ(0u, EncodeFrames(nullptr, 2000, out, 200));
}

// The output holds exactly 28 bytes per 416 of source and the encoder never writes past it.
TEST_F(Encoder, NeverWritesPastTheOutput) {
  auto pcm = testing::VowelPcm(4000);
  for (uint32_t length : {624u, 832u, 1040u, 1248u, 1456u, 2287u, 8000u}) {
    uint32_t capacity = EncodedCapacity(length);
    std::vector<uint8_t> out(capacity + 32, 0xA5);
    uint32_t written = EncodeFrames(pcm.data(), length, out.data(), capacity);
    EXPECT_LE(written, capacity);
    for (size_t i = capacity; i < out.size(); ++i) ASSERT_EQ(0xA5, out[i]) << length;
    // Exactly sized on the heap, so that the sanitizer sees any overrun.
    auto exact = std::make_unique<uint8_t[]>(capacity);
    ResetEncoder();
    EXPECT_EQ(written, EncodeFrames(pcm.data(), length, exact.get(), capacity));
  }
}

TEST_F(Encoder, StopsWhenTheOutputIsFull) {
  auto pcm = testing::VowelPcm(4000);
  std::vector<uint8_t> out(100, 0xA5);
  EXPECT_EQ(84u, EncodeFrames(pcm.data(), 8000, out.data(), 95));
  for (size_t i = 84; i < out.size(); ++i) EXPECT_EQ(0xA5, out[i]);
}

TEST_F(Encoder, SilenceCodesAsSilence) {
  std::vector<uint8_t> pcm(208 * 2 + 416 * 3, 0);
  std::vector<uint8_t> out(EncodedCapacity(static_cast<uint32_t>(pcm.size())));
  ASSERT_EQ(3u * kFrameBytes, EncodeFrames(pcm.data(), static_cast<uint32_t>(pcm.size()), out.data(),
                                            static_cast<uint32_t>(out.size())));
  for (int f = 0; f < 3; ++f) {
    SpeechFrameParams p = UnpackSpeechFrame(out.data() + f * kFrameBytes);
    EXPECT_EQ(0u, p.energy);
    for (const auto& s : p.sub) {
      EXPECT_EQ(0u, s.lag);
      for (uint32_t c : s.code) EXPECT_EQ(255u, c);
    }
  }
}

TEST(EncoderSteps, EnergyAtTheFloorTakesTheSearch) {
  float e[kEnergyLevels];
  BuildEnergyTable(e);
  EXPECT_EQ(0, QuantiseEnergy(0.0f, e));
  EXPECT_EQ(0, QuantiseEnergy(std::nextafter(e[0], 0.0f), e));
  EXPECT_EQ(1, QuantiseEnergy(e[0], e));
  // Nearest level in decibels: levels sit every 2 dB, so 1 dB above a level still takes it.
  EXPECT_EQ(20, QuantiseEnergy(e[40], e));
  EXPECT_EQ(20, QuantiseEnergy(e[40] * 1.2f, e));
  EXPECT_EQ(21, QuantiseEnergy(e[40] * 1.3f, e));
  EXPECT_EQ(31, QuantiseEnergy(1.0f, e));
}

TEST(EncoderSteps, LarQuantiserTakesTheNearestEntryAndTheUpperOneOnATie) {
  const double table[4] = {-0.5, 0.0, 0.25, 1.0};
  const struct {
    float value;
    int index;
  } cases[] = {{-9, 0}, {-0.5f, 0}, {-0.3f, 0}, {-0.2f, 1}, {-0.25f, 1}, {0.1f, 1}, {0.125f, 2}, {0.6f, 2}, {0.7f, 3}, {9, 3}};
  for (auto c : cases) EXPECT_EQ(c.index, QuantiseLar(c.value, table, 4)) << c.value;
}

// State carries over: a message encoded in two calls continues where the first one left off.
TEST_F(Encoder, StateCarriesOverBetweenCalls) {
  auto pcm = testing::VowelPcm(2000);
  std::vector<uint8_t> a(200), b(200);
  EncodeFrames(pcm.data(), 1040, a.data(), 200);
  uint32_t second = EncodeFrames(pcm.data(), 1040, b.data(), 200);
  ResetEncoder();
  std::vector<uint8_t> fresh(200);
  EncodeFrames(pcm.data(), 1040, fresh.data(), 200);
  ASSERT_EQ(56u, second);
  EXPECT_NE(0, std::memcmp(b.data(), fresh.data(), second));
}

TEST_F(Encoder, CodedVowelDecodesCloseToTheInput) {
  ResetDecoder();
  auto pcm = testing::VowelPcm(208 + 208 * 40);
  std::vector<uint8_t> coded(EncodedCapacity(static_cast<uint32_t>(pcm.size())));
  uint32_t n = EncodeFrames(pcm.data(), static_cast<uint32_t>(pcm.size()), coded.data(),
                            static_cast<uint32_t>(coded.size()));
  ASSERT_EQ(40u * kFrameBytes, n);
  std::vector<uint8_t> decoded(40 * kFramePcmBytes);
  ASSERT_EQ(decoded.size(), DecodeFrames(coded.data(), n, decoded.data(), static_cast<uint32_t>(decoded.size())));
  auto in = testing::ToSamples(pcm), out = testing::ToSamples(decoded);
  // Skip the first frames while the filters settle; allow the pre-filter's delay.
  double best = -1e9;
  for (int delay = 0; delay < 64; ++delay) {
    double sig = 0, err = 0;
    for (size_t i = 1000; i + delay < out.size(); ++i) {
      double d = in[i] - out[i + delay];
      sig += double(in[i]) * in[i];
      err += d * d;
    }
    best = std::max(best, 10 * std::log10(sig / err));
  }
  EXPECT_GT(best, 3.0);
}

}  // namespace
}  // namespace speech

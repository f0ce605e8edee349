#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "decoder.h"
#include "speechframe.h"
#include "speechtestutil.h"

namespace speech {
namespace {

class Decoder : public ::testing::Test {
 protected:
  void SetUp() override { ResetDecoder(); }
};

std::vector<uint8_t> Frames(int count, const SpeechFrameParams& p) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * kFrameBytes);
  for (int i = 0; i < count; ++i) PackSpeechFrame(p, bytes.data() + i * kFrameBytes);
  return bytes;
}

SpeechFrameParams Loud() {
  SpeechFrameParams p;
  p.energy = 31;
  for (int j = 0; j < kOrder; ++j) p.lar[j] = 1u << (kLarBits[j] - 1);
  for (auto& s : p.sub) {
    s.lag = 2;
    s.pitchGain = 7;
    s.code[0] = s.code[1] = s.code[2] = 5;
    s.gainVector = 127;
  }
  return p;
}

// Every whole frame of a message is decoded, the last one too; a trailing partial frame is ignored.
TEST_F(Decoder, WholeFramesDecodeOneForOne) {
  for (int k = 0; k <= 5; ++k)
    for (int extra : {0, 1, 27}) {
      ResetDecoder();
      auto in = Frames(k, SpeechFrameParams{});
      in.resize(in.size() + extra, 0x5A);
      std::vector<uint8_t> out(6 * kFramePcmBytes);
      EXPECT_EQ(static_cast<uint32_t>(k * kFramePcmBytes),
                DecodeFrames(in.data(), static_cast<uint32_t>(in.size()), out.data(), static_cast<uint32_t>(out.size())))
          << k << " frames + " << extra;
    }
}

TEST_F(Decoder, NeverWritesPastCapacity) {
  auto in = Frames(4, Loud());
  for (uint32_t capacity : {0u, 415u, 416u, 417u, 1000u, 1663u, 1664u}) {
    ResetDecoder();
    std::vector<uint8_t> out(capacity + 64, 0xA5);
    uint32_t written = DecodeFrames(in.data(), static_cast<uint32_t>(in.size()), out.data(), capacity);
    EXPECT_EQ(std::min(4u, capacity / 416) * 416, written) << capacity;
    for (size_t i = capacity; i < out.size(); ++i) ASSERT_EQ(0xA5, out[i]) << capacity;
    auto exact = std::make_unique<uint8_t[]>(capacity + 1);
    DecodeFrames(in.data(), static_cast<uint32_t>(in.size()), exact.get(), capacity);
  }
}

TEST_F(Decoder, NullBuffersGiveNothing) {
  auto in = Frames(2, Loud());
  uint8_t out[1000];
  EXPECT_EQ(0u, DecodeFrames(nullptr, 56, out, sizeof out));
  EXPECT_EQ(0u, DecodeFrames(in.data(), 56, nullptr, 1000));
}

// All-zero bytes: the lowest energy, code shift 0 and gain row 0 still make a faint pulse pattern.
TEST_F(Decoder, ZeroFrameIsQuietButNotSilent) {
  auto in = Frames(1, SpeechFrameParams{});
  std::vector<uint8_t> out(kFramePcmBytes);
  ASSERT_EQ(416u, DecodeFrames(in.data(), 28, out.data(), 416));
  auto s = testing::ToSamples(out);
  int nonzero = 0, peak = 0;
  for (int16_t v : s) nonzero += v != 0, peak = std::max(peak, std::abs(int(v)));
  EXPECT_GT(peak, 0);
  EXPECT_LT(peak, 64);
}

TEST(DecoderOutput, FullScaleIsLimitedNotWrapped) {
  const struct {
    double y;
    int16_t sample;
  } cases[] = {{0, 0},          {0.5, 16384},         {-0.5, -16384},     {0.99999, 32767}, {1.0, 32767},
               {7.5, 32767},    {-1.0, -32768},       {-1.5, -32768},     {-1e-7, 0},       {1.0 / 32768 * 2.9, 2},
               {-1.0 / 32768 * 2.9, -2}, {HUGE_VAL, 32767}, {-HUGE_VAL, -32768}, {std::nan(""), 0}};
  for (auto c : cases) EXPECT_EQ(c.sample, SampleFromLevel(c.y)) << c.y;
}

TEST_F(Decoder, LoudFramesReachTheRails) {
  auto in = Frames(6, Loud());
  std::vector<uint8_t> out(6 * kFramePcmBytes);
  ASSERT_EQ(out.size(), DecodeFrames(in.data(), static_cast<uint32_t>(in.size()), out.data(),
                                     static_cast<uint32_t>(out.size())));
  int high = 0, low = 0;
  for (int16_t v : testing::ToSamples(out)) high += v == 32767, low += v == -32768;
  EXPECT_GT(high, 0);
  EXPECT_GT(low, 0);
}

// A damaged message that keeps amplifying the past must not leave the decoder stuck for later messages.
TEST_F(Decoder, RunawayExcitationDoesNotPoisonTheNextMessage) {
  auto in = Frames(288, Loud());
  std::vector<uint8_t> out(120000);
  ASSERT_EQ(288u * 416, DecodeFrames(in.data(), static_cast<uint32_t>(in.size()), out.data(), 120000));
  auto quiet = Frames(3, SpeechFrameParams{});
  ASSERT_EQ(3u * 416, DecodeFrames(quiet.data(), 84, out.data(), 120000));
  auto s = testing::ToSamples(std::vector<uint8_t>(out.begin() + 2 * 416, out.begin() + 3 * 416));
  for (int16_t v : s) EXPECT_LT(std::abs(int(v)), 2000);
}

// Six bits arrive for the energy but only 32 levels exist: louder indexes mean the loudest.
TEST_F(Decoder, EnergyAboveTheTableIsTheLoudestLevel) {
  SpeechFrameParams p;
  p.energy = 31;
  auto a = Frames(2, p);
  p.energy = 63;
  auto b = Frames(2, p);
  std::vector<uint8_t> outA(832), outB(832);
  DecodeFrames(a.data(), 56, outA.data(), 832);
  ResetDecoder();
  DecodeFrames(b.data(), 56, outB.data(), 832);
  EXPECT_EQ(outA, outB);
}

TEST_F(Decoder, StateCarriesOverBetweenCalls) {
  auto in = Frames(2, Loud());
  std::vector<uint8_t> first(832), second(832);
  DecodeFrames(in.data(), 56, first.data(), 832);
  DecodeFrames(in.data(), 56, second.data(), 832);
  EXPECT_NE(first, second);
  ResetDecoder();
  std::vector<uint8_t> again(832);
  DecodeFrames(in.data(), 56, again.data(), 832);
  EXPECT_EQ(first, again);
}

}  // namespace
}  // namespace speech

// Voice messages without the devices: the payload made of a recording, the messages kept in arrival order, and
// the sample image that plays a payload.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "net/voice.h"
#include "platformlib/core/byteorder.h"

namespace {

namespace fs = std::filesystem;

TEST(VoiceShape, LanRecordingsAreAmplifiedAtMostEightTimesAndLongSilenceBecomesZeros) {
  const struct {
    const char* what;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
  } cases[] = {
      // Peak 10: gain 127 / 10 = 12, held to 8.
      {"quiet", {128, 138, 118, 130}, {0, 80, static_cast<uint8_t>(-80), 16}},
      // Peak 127: gain 1; samples become signed.
      {"loud", {255, 1, 128}, {127, static_cast<uint8_t>(-127), 0}},
      // Peak 50: gain 2.
      {"mid", {178, 78, 129}, {100, static_cast<uint8_t>(-100), 2}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(net::ShapeVoiceRecording(0, c.in.data(), static_cast<uint32_t>(c.in.size())), c.out) << c.what;
  // 600 samples at +1 after a loud one: the 501st and later of the run are zeros.
  std::vector<uint8_t> in(601, 129);
  in[0] = 255;
  const std::vector<uint8_t> out = net::ShapeVoiceRecording(0, in.data(), static_cast<uint32_t>(in.size()));
  EXPECT_EQ(out[500], 1);
  EXPECT_EQ(out[501], 0);
  EXPECT_EQ(out[600], 0);
}

TEST(VoiceShape, ModemRecordingsAreCodedAndDecodeToTheirLength) {
  // Seven seconds of a 440 Hz tone at 8000 Hz.
  std::vector<uint8_t> pcm(112000);
  for (uint32_t i = 0; i < 56000; ++i)
    WriteLE16(pcm.data() + 2 * i, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 8000))));
  const std::vector<uint8_t> coded = net::ShapeVoiceRecording(1, pcm.data(), static_cast<uint32_t>(pcm.size()));
  // 28 bytes for each 208 samples the encoder finished (it may hold the last one back).
  ASSERT_EQ(coded.size() % 28, 0u);
  EXPECT_LE(coded.size(), 112000u / 416 * 28);
  EXPECT_GE(coded.size(), 112000u / 416 * 28 - 28);
  const uint32_t frames = static_cast<uint32_t>(coded.size() / 28);
  const std::vector<uint8_t> image = net::VoicePlayImage(1, coded.data(), static_cast<uint32_t>(coded.size()));
  ASSERT_EQ(image.size(), 36u + frames * 416);
  EXPECT_EQ(image[0], 0x50);
  EXPECT_EQ(static_cast<uint32_t>((image[11] << 24) | (image[12] << 16) | (image[13] << 8) | image[14]), frames * 208);
  EXPECT_EQ(image[17], 16);
  EXPECT_EQ((image[20] << 8) | image[21], 8000);
}

TEST(VoicePlayImage, LanPayloadsPlayAsTheyCameAndOversizedOnesNotAtAll) {
  const std::vector<uint8_t> payload = {1, 2, 3, 250};
  const std::vector<uint8_t> image = net::VoicePlayImage(0, payload.data(), 4);
  ASSERT_EQ(image.size(), 40u);
  EXPECT_EQ(std::vector<uint8_t>(image.begin() + 36, image.end()), payload);
  EXPECT_EQ(image[14], 4);
  EXPECT_EQ(image[17], 8);
  EXPECT_EQ((image[20] << 8) | image[21], 11025);
  std::vector<uint8_t> big(77176);
  EXPECT_TRUE(net::VoicePlayImage(0, big.data(), 77176).empty());
  EXPECT_FALSE(net::VoicePlayImage(0, big.data(), 77175).empty());
}

class VoiceQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("voice_" + std::to_string(getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  static std::vector<uint8_t> Message(std::vector<uint8_t> payload) {
    std::vector<uint8_t> m(4);
    WriteLE32(m.data(), net::kVoiceMessageCode);
    m.insert(m.end(), payload.begin(), payload.end());
    return m;
  }
  fs::path folder;
};

TEST_F(VoiceQueueTest, MessagesArrivingMeanwhileWaitInFilesAndPlayInOrder) {
  net::VoiceQueue q(0, folder.string());
  const std::vector<std::vector<uint8_t>> payloads = {{1, 2}, {3}, {4, 5, 6}};
  for (uint32_t i = 0; i < 3; ++i) {
    const auto m = Message(payloads[i]);
    ASSERT_TRUE(q.Store(i + 1, m.data(), static_cast<uint32_t>(m.size())));
  }
  EXPECT_FALSE(fs::exists(q.FileOf(1)));  // the first stays in memory
  EXPECT_TRUE(fs::exists(q.FileOf(2)));
  EXPECT_TRUE(fs::exists(q.FileOf(3)));
  for (uint32_t i = 0; i < 3; ++i) {
    std::vector<uint8_t> p;
    ASSERT_TRUE(q.Front(&p));
    EXPECT_EQ(p, payloads[i]);
    EXPECT_TRUE(q.Front(&p));  // played again from its start until it goes
    q.PopFront();
    EXPECT_FALSE(fs::exists(q.FileOf(i + 1)));
  }
  EXPECT_EQ(q.Size(), 0u);
}

TEST_F(VoiceQueueTest, WhatIsNoVoiceMessageOrTooLargeIsNotKept) {
  net::VoiceQueue q(0, folder.string());
  std::vector<uint8_t> other = Message({1});
  WriteLE32(other.data(), 0x71a);
  EXPECT_FALSE(q.Store(1, other.data(), static_cast<uint32_t>(other.size())));
  EXPECT_FALSE(q.Store(2, other.data(), 3));
  const auto big = Message(std::vector<uint8_t>(77176));
  EXPECT_FALSE(q.Store(3, big.data(), static_cast<uint32_t>(big.size())));
  EXPECT_EQ(q.Size(), 0u);
  // A file of a queued message that grew beyond the room is not played.
  const auto a = Message({1}), b = Message({2});
  ASSERT_TRUE(q.Store(4, a.data(), 5));
  ASSERT_TRUE(q.Store(5, b.data(), 5));
  q.PopFront();
  fs::resize_file(q.FileOf(5), 77176);
  std::vector<uint8_t> p;
  EXPECT_FALSE(q.Front(&p));
  q.RemoveFiles();
  EXPECT_FALSE(fs::exists(q.FileOf(5)));
}

}  // namespace

// The host's audio output on the null device under the virtual clock: what streams queue is played at the
// clock's pace, mixed, converted to the device's rate, captured and written as a WAV file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host_fixture.h"
#include "winapi/host/audio.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

namespace host = winapi::host;
using winapi::testing::HostAudioData;

// Every test's first stream runs at the device's rate, which the first stream of the process fixes.
constexpr int kDeviceRate = 22050;

class HostAudio : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::HostAudioCapture(true);
  }
  void TearDown() override {
    winapi::testing::HostAudioCapture(false);
    winapi::testing::Reset();
  }
  static std::vector<int16_t> Played() {
    HostAudioData data;
    EXPECT_TRUE(winapi::testing::HostAudio(&data));
    EXPECT_EQ(data.rate, kDeviceRate);
    return data.samples;
  }
};

std::vector<int16_t> Ramp(int frames, int channels, int16_t start, int16_t step) {
  std::vector<int16_t> samples;
  for (int f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c) samples.push_back(static_cast<int16_t>(start + f * step + c));
  return samples;
}

TEST_F(HostAudio, PlaysAtTheClocksPaceAndWaitsWhenEmpty) {
  const int stream = host::AudioOpen(kDeviceRate, 1, 16);
  ASSERT_NE(stream, 0);
  EXPECT_STREQ(winapi::testing::HostAudioDriver(), "null");
  const std::vector<int16_t> ramp = Ramp(441, 1, -2000, 9);
  EXPECT_EQ(host::AudioQueue(stream, ramp.data(), ramp.size() * 2), 882u);
  EXPECT_EQ(host::AudioQueued(stream), 882u);
  winapi::testing::AdvanceClock(10);  // 220.5 frames of time
  EXPECT_EQ(host::AudioQueued(stream), 2u * (441 - 220));
  winapi::testing::AdvanceClock(100);  // far past the end: the device waits, it does not count silence
  EXPECT_EQ(host::AudioQueued(stream), 0u);
  std::vector<int16_t> played = Played();
  ASSERT_EQ(played.size(), 882u);
  for (size_t f = 0; f < 441; ++f) {
    EXPECT_EQ(played[2 * f], ramp[f]) << f;  // mono goes to both sides
    EXPECT_EQ(played[2 * f + 1], ramp[f]) << f;
  }
  // Queued after the wait, frames play from now on.
  EXPECT_EQ(host::AudioQueue(stream, ramp.data(), 20), 20u);
  winapi::testing::AdvanceClock(1);
  EXPECT_EQ(Played().size(), 882u + 20u);
  host::AudioClose(stream);
  EXPECT_STREQ(winapi::testing::HostAudioDriver(), "");
}

TEST_F(HostAudio, StreamsAreMixedWithSaturationAndRefusedFormatsFail) {
  EXPECT_EQ(host::AudioOpen(4000, 1, 16), 0);
  EXPECT_EQ(host::AudioOpen(22050, 3, 16), 0);
  EXPECT_EQ(host::AudioOpen(22050, 2, 12), 0);
  const int a = host::AudioOpen(kDeviceRate, 2, 16);
  const int b = host::AudioOpen(kDeviceRate, 1, 8);
  ASSERT_TRUE(a && b && a != b);
  const std::vector<int16_t> loud = {30000, -30000, 1000, -1000};
  const std::vector<uint8_t> eight = {255, 0};  // +127 and -128, as 16-bit +32512 and -32768
  EXPECT_EQ(host::AudioQueue(a, loud.data(), 8), 8u);
  EXPECT_EQ(host::AudioQueue(b, eight.data(), 2), 2u);
  EXPECT_EQ(host::AudioQueue(a + b + 7, loud.data(), 8), 0u);
  winapi::testing::AdvanceClock(5);
  EXPECT_EQ(Played(), (std::vector<int16_t>{32767, 2512, -31768, -32768}));
  host::AudioClose(a);
  host::AudioClose(b);
}

TEST_F(HostAudio, OtherRatesAreConvertedKeepingPitch) {
  const int device = host::AudioOpen(kDeviceRate, 1, 16);
  const int slow = host::AudioOpen(11025, 1, 16);
  ASSERT_TRUE(device && slow);
  // 0.2 s of 441 Hz at 11,025 Hz: 22,050 Hz frames twice as many, the same tone.
  std::vector<int16_t> tone(2205);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(std::lround(10000 * std::sin(2 * M_PI * 441 * i / 11025.0)));
  EXPECT_EQ(host::AudioQueue(slow, tone.data(), tone.size() * 2), tone.size() * 2);
  EXPECT_EQ(host::AudioQueued(slow), tone.size() * 2);
  winapi::testing::AdvanceClock(300);
  const std::vector<int16_t> played = Played();
  EXPECT_NEAR(static_cast<double>(played.size()) / 2, 4410.0, 2.0);
  int rising = 0;
  for (size_t f = 1; f < played.size() / 2; ++f) rising += played[2 * f - 2] < 0 && played[2 * f] >= 0;
  EXPECT_NEAR(rising, 88, 1);  // 441 Hz for 0.2 s
  for (size_t f = 0; f < played.size() / 2; ++f) ASSERT_EQ(played[2 * f], played[2 * f + 1]);
  host::AudioClose(slow);
  host::AudioClose(device);
}

TEST_F(HostAudio, TheFileHoldsWhatWasPlayed) {
  const std::string path = ::testing::TempDir() + "host_audio_test.wav";
  std::remove(path.c_str());
  ScopedEnv file("WINAPI_AUDIO_FILE", path.c_str());
  winapi::testing::HostAudioCapture(false);  // the file keeps the samples itself
  const int stream = host::AudioOpen(kDeviceRate, 2, 16);
  const std::vector<int16_t> ramp = Ramp(300, 2, 100, 3);
  EXPECT_EQ(host::AudioQueue(stream, ramp.data(), ramp.size() * 2), ramp.size() * 2);
  winapi::testing::AdvanceClock(50);
  host::AudioClose(stream);  // the whole file is written when the device closes
  std::ifstream in(path, std::ios::binary);
  const std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8 |
                                 static_cast<uint8_t>(wav[at + 2]) << 16 | static_cast<uint8_t>(wav[at + 3]) << 24);
  };
  EXPECT_EQ(u32(24), static_cast<uint32_t>(kDeviceRate));
  EXPECT_EQ(wav.substr(36, 4), "data");
  ASSERT_EQ(u32(40), 1200u);
  ASSERT_EQ(wav.size(), 44u + 1200u);
  for (size_t i = 0; i < ramp.size(); ++i)
    ASSERT_EQ(static_cast<int16_t>(static_cast<uint8_t>(wav[44 + 2 * i]) | static_cast<uint8_t>(wav[45 + 2 * i]) << 8),
              ramp[i]);
  std::remove(path.c_str());
}

}  // namespace

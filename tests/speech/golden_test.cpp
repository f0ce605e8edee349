// Fixed input, committed output: any change to the coded bytes or the decoded samples shows up here. Set
// TEEBOX_SPEECH_REGENERATE=1 to rewrite the files after a deliberate change (and say why in the commit).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decoder.h"
#include "encoder.h"
#include "speechframe.h"
#include "speechmetrics.h"
#include "speechtestutil.h"

namespace speech {
namespace {

constexpr double kSegSnrFloor = 5.4;
constexpr double kSpectralDistanceCeiling = 9.5;

const std::string kFixtures = std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/speech/";

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void CheckGolden(const std::string& name, const std::vector<uint8_t>& actual) {
  std::string path = kFixtures + name;
  if (std::getenv("TEEBOX_SPEECH_REGENERATE")) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(actual.data()),
                                                static_cast<std::streamsize>(actual.size()));
    return;
  }
  std::vector<uint8_t> expected = ReadFile(path);
  ASSERT_FALSE(expected.empty()) << "missing " << path;
  ASSERT_EQ(expected.size(), actual.size()) << name;
  for (size_t i = 0; i < actual.size(); ++i) ASSERT_EQ(expected[i], actual[i]) << name << " byte " << i;
}

// Two messages in a row, so that the state carried between calls is part of the golden result.
TEST(SpeechGolden, FixedInputEncodesAndDecodesToCommittedData) {
  ResetEncoder();
  ResetDecoder();
  auto pcm = testing::VowelPcm(208 + 208 * 6, 12000);
  std::vector<uint8_t> coded(2 * EncodedCapacity(static_cast<uint32_t>(pcm.size())));
  uint32_t a = EncodeFrames(pcm.data(), static_cast<uint32_t>(pcm.size()), coded.data(),
                            static_cast<uint32_t>(coded.size()));
  uint32_t b = EncodeFrames(pcm.data(), static_cast<uint32_t>(pcm.size()), coded.data() + a,
                            static_cast<uint32_t>(coded.size()) - a);
  ASSERT_EQ(6u * kFrameBytes, a);
  ASSERT_EQ(a, b);
  coded.resize(a + b);
  CheckGolden("golden.vox", coded);

  std::vector<uint8_t> decoded(12 * kFramePcmBytes);
  uint32_t da = DecodeFrames(coded.data(), a, decoded.data(), static_cast<uint32_t>(decoded.size()));
  uint32_t db = DecodeFrames(coded.data() + a, b, decoded.data() + da, static_cast<uint32_t>(decoded.size()) - da);
  ASSERT_EQ(decoded.size(), da + db);
  CheckGolden("golden.pcm", decoded);
}

// Objective quality on the committed speech clip; the floors sit a little under the measured figures
// (see docs/speech.md) so that a change which makes speech worse fails here.
TEST(SpeechQualityFloor, SpokenClipKeepsItsQuality) {
  ResetEncoder();
  ResetDecoder();
  std::vector<uint8_t> pcm = ReadFile(kFixtures + "clip.raw");
  ASSERT_GT(pcm.size(), 16000u);
  std::vector<uint8_t> coded(EncodedCapacity(static_cast<uint32_t>(pcm.size())));
  uint32_t n = EncodeFrames(pcm.data(), static_cast<uint32_t>(pcm.size()), coded.data(),
                            static_cast<uint32_t>(coded.size()));
  std::vector<uint8_t> decoded(n / kFrameBytes * kFramePcmBytes);
  ASSERT_EQ(decoded.size(), DecodeFrames(coded.data(), n, decoded.data(), static_cast<uint32_t>(decoded.size())));
  SpeechQuality q = MeasureSpeechQuality(testing::ToSamples(pcm), testing::ToSamples(decoded));
  std::printf("delay %d, segmental SNR %.2f dB, spectral distance %.2f dB\n", q.delay, q.segmentalSnrDb,
              q.spectralDistanceDb);
  EXPECT_GT(q.segmentalSnrDb, kSegSnrFloor);
  EXPECT_LT(q.spectralDistanceDb, kSpectralDistanceCeiling);
}

}  // namespace
}  // namespace speech

// Coded frame layout and the rules both codec sides share.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "speechdsp.h"
#include "speechframe.h"

namespace speech {
namespace {

uint16_t Word(const uint8_t* bytes, int w) { return static_cast<uint16_t>(bytes[2 * w] << 8 | bytes[2 * w + 1]); }

SpeechFrameParams RandomParams(std::mt19937& rng) {
  auto field = [&](int bits) { return static_cast<uint32_t>(rng() & ((1u << bits) - 1)); };
  SpeechFrameParams p;
  p.energy = field(6);
  for (int j = 0; j < kOrder; ++j) p.lar[j] = field(kLarBits[j]);
  for (auto& s : p.sub) {
    s.lag = field(8);
    s.pitchGain = field(3);
    for (auto& c : s.code) c = field(8);
    s.signs = field(3);
    s.gainVector = field(7);
  }
  return p;
}

void ExpectSame(const SpeechFrameParams& a, const SpeechFrameParams& b) {
  EXPECT_EQ(a.energy, b.energy);
  for (int j = 0; j < kOrder; ++j) EXPECT_EQ(a.lar[j], b.lar[j]) << "lar " << j;
  for (int s = 0; s < kSubframes; ++s) {
    EXPECT_EQ(a.sub[s].lag, b.sub[s].lag) << s;
    EXPECT_EQ(a.sub[s].pitchGain, b.sub[s].pitchGain) << s;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(a.sub[s].code[c], b.sub[s].code[c]) << s;
    EXPECT_EQ(a.sub[s].signs, b.sub[s].signs) << s;
    EXPECT_EQ(a.sub[s].gainVector, b.sub[s].gainVector) << s;
  }
}

TEST(SpeechFrame, RandomParameterSetsSurvivePackAndUnpack) {
  std::mt19937 rng(20261210);
  for (int i = 0; i < 2000; ++i) {
    SpeechFrameParams p = RandomParams(rng);
    uint8_t bytes[kFrameBytes];
    PackSpeechFrame(p, bytes);
    ExpectSame(p, UnpackSpeechFrame(bytes));
    if (HasFailure()) return;
  }
}

TEST(SpeechFrame, EveryBitPatternUnpacksAndPacksBack) {
  std::mt19937 rng(7);
  for (int i = 0; i < 500; ++i) {
    uint8_t bytes[kFrameBytes], again[kFrameBytes];
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    PackSpeechFrame(UnpackSpeechFrame(bytes), again);
    ASSERT_EQ(0, std::memcmp(bytes, again, kFrameBytes));
  }
}

// One field set to all ones lands on exactly the bits of the layout, words stored high byte first.
TEST(SpeechFrame, FieldsLandOnTheirBits) {
  struct Case {
    const char* name;
    void (*set)(SpeechFrameParams&);
    std::vector<std::pair<int, uint16_t>> words;
  };
  const Case cases[] = {
      {"energy", [](SpeechFrameParams& p) { p.energy = 63; }, {{0, 0x003F}}},
      {"lar0", [](SpeechFrameParams& p) { p.lar[0] = 63; }, {{0, 0x0FC0}}},
      {"lar1", [](SpeechFrameParams& p) { p.lar[1] = 31; }, {{0, 0xF000}, {1, 0x0001}}},
      {"lar5", [](SpeechFrameParams& p) { p.lar[5] = 7; }, {{1, 0xC000}, {2, 0x0001}}},
      {"lar9", [](SpeechFrameParams& p) { p.lar[9] = 3; }, {{2, 0x0C00}}},
      {"s0.lag", [](SpeechFrameParams& p) { p.sub[0].lag = 255; }, {{2, 0xF000}, {3, 0x000F}}},
      {"s0.code2", [](SpeechFrameParams& p) { p.sub[0].code[1] = 255; }, {{3, 0x8000}, {4, 0x007F}}},
      {"s0.signs", [](SpeechFrameParams& p) { p.sub[0].signs = 7; }, {{4, 0x8000}, {5, 0x0003}}},
      {"s1.lag", [](SpeechFrameParams& p) { p.sub[1].lag = 255; }, {{5, 0xFE00}, {6, 0x0001}}},
      {"s1.signs", [](SpeechFrameParams& p) { p.sub[1].signs = 7; }, {{7, 0x7000}}},
      {"s1.gain", [](SpeechFrameParams& p) { p.sub[1].gainVector = 127; }, {{7, 0x8000}, {8, 0x003F}}},
      {"s2.pitch", [](SpeechFrameParams& p) { p.sub[2].pitchGain = 7; }, {{8, 0xC000}, {9, 0x0001}}},
      {"s2.gain", [](SpeechFrameParams& p) { p.sub[2].gainVector = 127; }, {{10, 0xF000}, {11, 0x0007}}},
      {"s3.code1", [](SpeechFrameParams& p) { p.sub[3].code[0] = 255; }, {{11, 0xC000}, {12, 0x003F}}},
      {"s3.gain", [](SpeechFrameParams& p) { p.sub[3].gainVector = 127; }, {{13, 0xFE00}}},
  };
  for (const Case& c : cases) {
    SpeechFrameParams p;
    c.set(p);
    uint8_t bytes[kFrameBytes];
    PackSpeechFrame(p, bytes);
    uint16_t expected[kFrameBytes / 2] = {};
    for (auto [w, mask] : c.words) expected[w] = mask;
    for (int w = 0; w < kFrameBytes / 2; ++w) EXPECT_EQ(expected[w], Word(bytes, w)) << c.name << " word " << w;
  }
}

TEST(SpeechFrame, OutOfRangeValuesDoNotSpillIntoNeighbours) {
  SpeechFrameParams p;
  p.energy = 0xFFFFFFC0u;  // nothing inside six bits
  p.sub[3].gainVector = 0x80;
  uint8_t bytes[kFrameBytes];
  PackSpeechFrame(p, bytes);
  for (uint8_t b : bytes) EXPECT_EQ(0, b);
}

TEST(SpeechTables, EnergyTableStartsBelowTheSeries) {
  double e[kEnergyLevels];
  BuildEnergyTable(e);
  EXPECT_DOUBLE_EQ(std::pow(10.0, -7.2), e[0]);
  EXPECT_DOUBLE_EQ(std::pow(10.0, -6.5), e[1]);
  EXPECT_DOUBLE_EQ(std::pow(10.0, -0.3), e[63]);
  for (int i = 2; i < kEnergyLevels; ++i) EXPECT_NEAR(10 * std::log10(e[i] / e[i - 1]), 1.0, 1e-9);
}

TEST(SpeechTables, TablesAreOrderedAndGainsInScale) {
  for (int j = 0; j < kOrder; ++j)
    for (int i = 1; i < 1 << kLarBits[j]; ++i) EXPECT_LT(kLarTables[j][i - 1], kLarTables[j][i]) << j;
  EXPECT_DOUBLE_EQ(0.12352, kCodebookGainTable[0][0]);
  EXPECT_DOUBLE_EQ(0.22187, kCodebookGainTable[1][2]);
  for (int r = 0; r < kGainRows; ++r)
    for (int b = 0; b < 3; ++b) {
      EXPECT_GE(kCodebookGainTable[r][b], 0.0926) << r;
      EXPECT_LE(kCodebookGainTable[r][b], 8.0) << r;
    }
}

TEST(SpeechDsp, LarMappingBreakpointsAndInverse) {
  const struct {
    double k, lar;
  } cases[] = {{0, 0}, {0.5, 0.5}, {0.675, 0.675}, {0.8, 0.925}, {-0.8, -0.925}, {0.95, 1.225}, {0.99, 1.545}};
  for (auto c : cases) {
    EXPECT_NEAR(c.lar, ReflectionToLar(c.k), 1e-12) << c.k;
    EXPECT_NEAR(c.k, LarToReflection(c.lar), 1e-12) << c.lar;
    EXPECT_NEAR(static_cast<float>(c.lar), ReflectionToLar(static_cast<float>(c.k)), 1e-6f) << c.k;
  }
}

TEST(SpeechDsp, StepUpMatchesTheRecursionAndStepDownUndoesIt) {
  double k[kOrder] = {-0.6, 0.3}, p[kOrder];
  StepUp(k, p);
  EXPECT_DOUBLE_EQ(0.6 * 1.3, p[0]);  // p1 = -k1 (1 + k2)
  EXPECT_DOUBLE_EQ(-0.3, p[1]);
  for (int i = 2; i < kOrder; ++i) EXPECT_EQ(0.0, p[i]);

  std::mt19937 rng(3);
  std::uniform_real_distribution<double> dist(-0.95, 0.95);
  for (int trial = 0; trial < 50; ++trial) {
    double kin[kOrder], kout[kOrder] = {}, pp[kOrder];
    for (double& v : kin) v = dist(rng);
    StepUp(kin, pp);
    StepDown(pp, kout);
    for (int i = 0; i < kOrder; ++i) EXPECT_NEAR(kin[i], kout[i], 1e-9);
  }
}

TEST(SpeechDsp, StepDownStopsAtAnUnstableCoefficient) {
  double p[kOrder] = {0.1, 0.2, 0, 0, 0, 0, 0, 0, 0, 1.5};
  double k[kOrder] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  StepDown(p, k);
  for (double v : k) EXPECT_EQ(9, v);
}

TEST(SpeechDsp, DistanceOfExactlyOnePointEightSwitchesAbruptly) {
  const struct {
    double d;
    bool abrupt;
  } cases[] = {{0, false}, {std::nextafter(1.8, 0.0), false}, {1.8, true}, {5, true}};
  for (auto c : cases) {
    double o, n;
    InterpolationWeights(c.d, 1, o, n);
    EXPECT_EQ(c.abrupt ? 1.0 : 0.625, o) << c.d;
    InterpolationWeights(c.d, 2, o, n);
    EXPECT_EQ(c.abrupt ? 1.0 : 0.625, n) << c.d;
  }
  const struct {
    float d;
    bool abrupt;
  } floatCases[] = {{std::nextafter(1.8f, 0.0f), false}, {1.8f, true}};
  for (auto c : floatCases) {
    float o, n;
    InterpolationWeights(c.d, 1, o, n);
    EXPECT_EQ(c.abrupt ? 0.0f : 0.375f, n) << c.d;
  }
}

TEST(SpeechDsp, EnergyPositionFollowsTheSubframes) {
  const struct {
    int q, z, s, expected;
  } cases[] = {{10, 40, 0, 10}, {10, 40, 1, 25}, {25, 40, 2, 32}, {10, 40, 3, 40},
               {10, 0, 1, 0},   {0, 40, 1, 0},   {0, 40, 2, 0},   {7, 8, 1, 7}};
  for (auto c : cases) EXPECT_EQ(c.expected, NextEnergyPosition(c.q, c.z, c.s)) << c.q << " " << c.z << " " << c.s;
}

TEST(SpeechDsp, AdaptiveVectorRepeatsThePastAndLagZeroIsSilent) {
  double h[kHistorySamples];
  for (int i = 0; i < kHistorySamples; ++i) h[i] = i + 1;  // newest = 147
  double v[kSubframeSamples];
  AdaptiveVector(h, 0, v);
  for (double x : v) EXPECT_EQ(0.0, x);

  AdaptiveVector(h, 2, v);  // lag 20
  for (int n = 0; n < kSubframeSamples; ++n) EXPECT_EQ(h[kHistorySamples - 20 + n % 20], v[n]) << n;

  AdaptiveVector(h, 3, v);  // lag 20.5: mean of lags 20 and 21
  EXPECT_EQ((h[127] + h[126]) / 2, v[0]);
  EXPECT_EQ((h[146 - 19] + h[146]) / 2, v[20]);  // lag 20 wraps, lag 21 not yet

  AdaptiveVector(h, 255, v);  // lag 146.5 reaches the oldest sample
  EXPECT_EQ((h[1] + h[0]) / 2, v[0]);
}

TEST(SpeechDsp, PulseVectorShiftsTheTemplate) {
  double c[kSubframeSamples];
  PulseVector(0, 0, c);
  EXPECT_EQ(1.0, c[20]);
  EXPECT_EQ(1.0, c[26]);
  EXPECT_EQ(-1.0, c[39]);
  int nonzero = 0;
  for (double x : c) nonzero += x != 0;
  EXPECT_EQ(3, nonzero);
  PulseVector(2, 17, c);
  EXPECT_EQ(1.0, c[0]);
  PulseVector(1, 255, c);
  for (double x : c) EXPECT_EQ(0.0, x);
}

}  // namespace
}  // namespace speech

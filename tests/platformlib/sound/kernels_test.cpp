// Mixing kernels, output converters, the pan law and tag values.
#include <array>

#include "soundfixture.h"

namespace {

struct Kernel {
  MixObject object{};
  MixKernel kernel = nullptr;
  MixVolumeSetter setter = nullptr;
  Kernel(MixInstall install, int left, int right) {
    install(&object, &kernel, &setter);
    setter(&object, left, right);
  }
  void Mix(int frames, const void* source, void* destination) { kernel(&object, frames, source, destination); }
};

TEST(MixKernels, HalfScaleSixteenBitEdges) {
  const int16_t loud[1] = {32767};
  int16_t acc[2] = {0, 0};
  Kernel k(mixm16install, 127, 127);
  k.Mix(1, loud, acc);
  EXPECT_EQ(acc[0], 16255);
  k.Mix(1, loud, acc);
  EXPECT_EQ(acc[0], 32510);
  int16_t out[2];
  mixouts16mmx(1, acc, out);
  EXPECT_EQ(out[0], 32767);
  k.Mix(1, loud, acc);
  EXPECT_EQ(acc[1], 32767);  // the accumulator word itself saturates
  const int8_t low[1] = {-128};
  int16_t acc8[2] = {0, 0};
  Kernel k8(mixm8install, 127, 127);
  k8.Mix(1, low, acc8);
  EXPECT_EQ(acc8[0], -16256);
  EXPECT_EQ(acc8[1], -16256);
}

TEST(MixKernels, FloatPathClampsOnlyAtOutput) {
  const float loud[1] = {32767.0f};
  float acc[2] = {0, 0};
  Kernel k(mixmfinstall, 127, 127);
  k.Mix(1, loud, acc);
  k.Mix(1, loud, acc);
  EXPECT_EQ(acc[0], 65534.0f);
  int16_t out[2];
  mixouts16float(1, acc, out);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], 32767);
  const float low[1] = {-32768.0f};
  float acc2[2] = {0, 0};
  Kernel k2(mixmfinstall, 127, 127);
  k2.Mix(1, low, acc2);
  EXPECT_EQ(acc2[0], -32768.0f);
}

TEST(MixKernels, FloatKernelPerVolumePair) {
  const float source[4] = {1000.0f, -2000.0f, 3000.0f, -4000.0f};  // two stereo frames
  struct Case {
    int left, right;
    float l0, r0;
  };
  const float g = 1.0f / 127.0f;
  for (Case c : {Case{0, 0, 5.0f, 7.0f}, Case{0, 64, 5.0f, 7.0f + -2000.0f * (64 * g)},
                 Case{64, 0, 5.0f + 1000.0f * (64 * g), 7.0f}, Case{127, 127, 1005.0f, -1993.0f},
                 Case{127, 10, 1005.0f, 7.0f + -2000.0f * (10 * g)},
                 Case{10, 127, 5.0f + 1000.0f * (10 * g), -1993.0f},
                 Case{10, 20, 5.0f + 1000.0f * (10 * g), 7.0f + -2000.0f * (20 * g)}}) {
    float acc[4] = {5.0f, 7.0f, 0.0f, 0.0f};
    Kernel k(mixsfinstall, c.left, c.right);
    k.Mix(2, source, acc);
    EXPECT_EQ(acc[0], c.l0) << c.left << "," << c.right;
    EXPECT_EQ(acc[1], c.r0) << c.left << "," << c.right;
  }
}

TEST(MixKernels, StereoMmxSidesStayApart) {
  const int16_t source[2] = {20000, -20000};
  int16_t acc[2] = {0, 0};
  Kernel k(mixs16install, 127, 64);
  k.Mix(1, source, acc);
  EXPECT_EQ(acc[0], (32512 * 20000) >> 16);
  EXPECT_EQ(acc[1], (16384 * -20000) >> 16);
}

TEST(OutputConverters, EightBit) {
  // Float path, mono: the pair's sum / 512, rounded, clamped.
  const float floats[6] = {0.0f, 0.0f, 40000.0f, 25535.0f, -70000.0f, 0.0f};
  uint8_t out[3];
  mixoutm8float(3, const_cast<float*>(floats), out);
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[1], 255);
  EXPECT_EQ(out[2], 0);
  // MMX path, stereo: doubled with saturation, top byte with its sign bit inverted.
  const int16_t words[4] = {0, 20000, -20000, 256};
  uint8_t stereo[4];
  mixouts8mmx(2, const_cast<int16_t*>(words), stereo);
  EXPECT_EQ(stereo[0], 128);
  EXPECT_EQ(stereo[1], 255);
  EXPECT_EQ(stereo[2], 0);
  EXPECT_EQ(stereo[3], 130);
  uint8_t mono[2];
  mixoutm8mmx(2, const_cast<int16_t*>(words), mono);
  EXPECT_EQ(mono[0], (20000 >> 8) + 128);
  EXPECT_EQ(mono[1], ((-20000 + 256) >> 8) + 128);
}

TEST(OutputConverters, FloatRoundsToEven) {
  const float acc[6] = {0.5f, 1.5f, 2.5f, -0.5f, 32767.6f, -40000.0f};
  int16_t out[6];
  mixouts16float(3, const_cast<float*>(acc), out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], 2);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 32767);
  EXPECT_EQ(out[5], -32768);
  int16_t mono[3];
  mixoutm16float(3, const_cast<float*>(acc), mono);
  EXPECT_EQ(mono[0], 1);   // (0.5 + 1.5) / 2
  EXPECT_EQ(mono[1], 1);   // (2.5 - 0.5) / 2
  EXPECT_EQ(mono[2], -3616);
  int16_t words[2] = {30000, 10000};
  int16_t m16[1];
  mixoutm16mmx(1, words, m16);
  EXPECT_EQ(m16[0], 32767);
}

TEST(PanLaw, VolumePairs) {
  struct Case {
    uint16_t angle;
    int volume, left, right;
  };
  for (Case c : {Case{0, 100, 100, 100}, Case{16384, 100, 0, 127}, Case{8192, 100, 29, 127},
                 Case{49152, 100, 127, 0}, Case{32768, 100, 100, 100}, Case{16384, 50, 0, 100},
                 Case{57344, 100, 127, 29}, Case{0, 0, 0, 0}}) {
    int left = -1, right = -1;
    pantovolumes(c.angle, c.volume, &left, &right);
    EXPECT_EQ(left, c.left) << c.angle << " " << c.volume;
    EXPECT_EQ(right, c.right) << c.angle << " " << c.volume;
  }
}

TEST(TagValues, BigEndianSignExtended) {
  const uint8_t fffe[2] = {0xFF, 0xFE}, max[2] = {0x7F, 0xFF}, b80[1] = {0x80};
  const uint8_t three[3] = {0xFF, 0xFF, 0xFE}, four[4] = {0xFF, 0xFF, 0xFF, 0xFE}, big[4] = {0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(readbeint(fffe, 2), -2);
  EXPECT_EQ(readbeint(max, 2), 32767);
  EXPECT_EQ(readbeint(b80, 1), -128);
  EXPECT_EQ(readbeint(b80, 0), 0);
  EXPECT_EQ(readbeint(three, 3), -2);
  EXPECT_EQ(readbeint(four, 4), -2);
  EXPECT_EQ(readbeint(big, 4), 0x12345678);
}

TEST(MixTables, PathsFillTheirColumns) {
  mixfilltables(1);
  EXPECT_EQ(mixfunctable.frameshift, 0);
  EXPECT_EQ(mixfunctable.mixing[2], &mixm16install);
  EXPECT_EQ(mixfunctable.resample[4], mixfunctable.resample[5]);  // MMX ignores quality
  EXPECT_EQ(codectable[25], nullptr);                                 // compression 9 never loops
  mixfilltables(0);
  EXPECT_EQ(mixfunctable.frameshift, 1);
  EXPECT_EQ(mixfunctable.mixing[2], &mixmfinstall);
  EXPECT_EQ(mixfunctable.resample[4], &resmfnearinstall);
  EXPECT_EQ(mixfunctable.resample[5], &resmflininstall);
  EXPECT_EQ(codectable[25], nullptr);
  EXPECT_NE(codectable[24], nullptr);
}

}  // namespace

namespace {

TEST(MixKernels, PackedAndScalarAgreeBitForBit) {
  std::vector<int16_t> source(2 * 203);
  uint32_t r = 7;
  for (int16_t& v : source) v = static_cast<int16_t>((r = r * 1103515245u + 12345u) >> 16);
  source[0] = 32767, source[1] = -32768;
  for (MixInstall install : {mixm16install, mixs16install}) {
    for (auto [left, right] : {std::pair{127, 127}, std::pair{0, 64}, std::pair{-127, 127}, std::pair{33, 101}}) {
      std::vector<int16_t> packed(2 * 203), scalar(2 * 203);
      for (size_t i = 0; i < packed.size(); ++i) packed[i] = scalar[i] = static_cast<int16_t>(i * 331 - 30000);
      for (int pass = 0; pass < 2; ++pass) {
        mixscalaronly = pass;
        Kernel k(install, left, right);
        k.Mix(203, source.data(), pass ? scalar.data() : packed.data());
      }
      mixscalaronly = 0;
      EXPECT_EQ(packed, scalar) << left << "," << right;
    }
  }
}

}  // namespace

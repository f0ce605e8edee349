// Resamplers: outputs across block borders agree with one pass over the whole signal, at every step.
#include <cstring>

#include "soundfixture.h"

namespace {

const uint32_t kSteps[] = {0x8000, 0x10000, 0x18000, 0x20000, 0x80000};
// Output counts of successive calls; the borders fall at odd places.
const std::vector<int> kCalls = {1, 7, 3, 64, 13, 2, 40};

template <typename T>
std::vector<T> Signal(int frames, int channels) {
  std::vector<T> s(static_cast<size_t>(frames) * channels);
  uint32_t r = 12345;
  for (T& v : s) {
    r = r * 1103515245u + 12345u;
    const int32_t x = static_cast<int16_t>(r >> 16);
    if constexpr (sizeof(T) == 1)
      v = static_cast<T>(x >> 8);
    else
      v = static_cast<T>(x);
  }
  // The extremes take part too.
  if (s.size() > 4) {
    s[1] = sizeof(T) == 1 ? T(127) : T(32767);
    s[2] = sizeof(T) == 1 ? T(-128) : T(-32768);
  }
  return s;
}

struct Resampler {
  ResampleObject object{};
  ResampleSetRate setrate = nullptr;
  ResampleNeeded needed = nullptr;
  ResampleRun run = nullptr;
  explicit Resampler(ResampleInstall install) { install(&object, &setrate, &needed, &run); }
};

// Feeds `signal` through the resampler in the calls given; `lastofcall` marks each call's last output.
template <typename T>
std::vector<T> Feed(Resampler& r, int channels, const std::vector<T>& signal, const std::vector<int>& calls,
                   std::vector<bool>* lastofcall = nullptr) {
  std::vector<T> out;
  size_t next = 0;
  for (int n : calls) {
    const int need = r.needed(&r.object, n);
    EXPECT_GE(need, 0);
    std::vector<uint8_t> buffer(16 + static_cast<size_t>(need + 1) * channels * sizeof(T) + 16);
    T* source = reinterpret_cast<T*>(buffer.data() + 16);
    for (int i = 0; i < need * channels; ++i) source[i] = next + i < signal.size() ? signal[next + i] : T{};
    next += static_cast<size_t>(need) * channels;
    std::vector<T> block(static_cast<size_t>(n) * channels);
    void* output = block.data();
    r.run(&r.object, n, source, &output);
    const T* produced = static_cast<const T*>(output);
    out.insert(out.end(), produced, produced + n * channels);
    if (lastofcall)
      for (int k = 0; k < n; ++k) lastofcall->push_back(k == n - 1);
  }
  return out;
}

template <typename T>
T Expected(T x0, T x1, uint32_t f, bool last) {
  if constexpr (std::is_same_v<T, float>) {
    const float g = static_cast<float>(f) * 1.5258e-5f;
    return x0 * (1.0f - g) + x1 * g;
  } else {
    const int32_t scale = sizeof(T) == 1 ? 256 : 1;
    const int32_t a = x0 * scale, b = x1 * scale;
    int32_t y;
    if (last)
      y = static_cast<int32_t>(((static_cast<int64_t>(a) * (65535 - f)) >> 16) + ((static_cast<int64_t>(b) * f) >> 16));
    else
      y = (a * static_cast<int32_t>((65535 - f) >> 1) + b * static_cast<int32_t>(f >> 1)) >> 15;
    return static_cast<T>(y / scale - (y % scale < 0 ? 1 : 0));
  }
}

template <typename T>
void CheckLinear(ResampleInstall install, int channels, const char* golden) {
  std::vector<T> all;
  for (uint32_t step : kSteps) {
    const std::vector<T> signal = Signal<T>(1200, channels);
    Resampler r(install);
    r.setrate(&r.object, step);
    std::vector<bool> last;
    const std::vector<T> out = Feed(r, channels, signal, kCalls, &last);
    for (size_t k = 0; k < last.size(); ++k) {
      const uint64_t p = k * static_cast<uint64_t>(step);
      const size_t b = p >> 16;
      const uint32_t f = p & 0xFFFF;
      for (int c = 0; c < channels; ++c) {
        const T x0 = signal[b * channels + c], x1 = signal[(b + 1) * channels + c];
        const bool lastrule = last[k] && step != 0x10000;
        ASSERT_EQ(out[k * channels + c], step == 0x10000 ? x0 : Expected<T>(x0, x1, f, lastrule))
            << "step " << step << " output " << k << " channel " << c;
      }
    }
    all.insert(all.end(), out.begin(), out.end());
  }
  soundtest::ExpectGolden(golden, all);
}

TEST(Resample, LinearMembersAcrossBlockBorders) {
  CheckLinear<int8_t>(resm8install, 1, "resm8");
  CheckLinear<int8_t>(ress8install, 2, "ress8");
  CheckLinear<int16_t>(resm16install, 1, "resm16");
  CheckLinear<int16_t>(ress16install, 2, "ress16");
  CheckLinear<float>(resmflininstall, 1, "resmflin");
  CheckLinear<float>(ressflininstall, 2, "ressflin");
}

TEST(Resample, NearestMembersAcrossBlockBorders) {
  for (int channels : {1, 2}) {
    std::vector<float> all;
    for (uint32_t step : kSteps) {
      const std::vector<float> signal = Signal<float>(1200, channels);
      Resampler r(channels == 1 ? resmfnearinstall : ressfnearinstall);
      r.setrate(&r.object, step);
      const std::vector<float> out = Feed(r, channels, signal, kCalls);
      for (size_t k = 0; k < out.size() / channels; ++k)
        for (int c = 0; c < channels; ++c)
          ASSERT_EQ(out[k * channels + c], signal[((k * static_cast<uint64_t>(step)) >> 16) * channels + c])
              << "step " << step << " output " << k;
      all.insert(all.end(), out.begin(), out.end());
    }
    soundtest::ExpectGolden(channels == 1 ? "resmfnear" : "ressfnear", all);
  }
}

TEST(Resample, HalfSpeedOnAFreshObject) {
  Resampler r(resm16install);
  r.setrate(&r.object, 0x8000);
  EXPECT_EQ(r.needed(&r.object, 4), 3);
  alignas(16) int16_t buffer[8 + 3] = {};
  int16_t* source = buffer + 8;
  source[0] = 1000, source[1] = 3000, source[2] = -2000;
  int16_t out[4];
  void* output = out;
  r.run(&r.object, 4, source, &output);
  EXPECT_EQ(out[0], (1000 * 32767) >> 15);  // fraction 0 does not give x0 itself
  EXPECT_EQ(out[1], (1000 * 16383 + 3000 * 16384) >> 15);
  EXPECT_EQ(out[2], (3000 * 32767) >> 15);
  EXPECT_EQ(out[3], ((3000 * 32767) >> 16) + ((-2000 * 32768) >> 16));  // the last frame's rule
}

TEST(Resample, UnitStepHandsBackTheSource) {
  for (ResampleInstall install : {resm8install, ress16install, resmflininstall, ressfnearinstall}) {
    Resampler r(install);
    r.setrate(&r.object, 0x10000);
    EXPECT_EQ(r.needed(&r.object, 77), 77);
    alignas(16) uint8_t buffer[64] = {};
    void* output = nullptr;
    r.run(&r.object, 5, buffer + 16, &output);
    EXPECT_EQ(output, buffer + 16);
  }
}

TEST(Resample, StepChangesClearOrKeepTheCarriedFrames) {
  Resampler r(resm16install);
  r.setrate(&r.object, 0x8000);
  const std::vector<int16_t> signal = Signal<int16_t>(100, 1);
  Feed(r, 1, signal, {5});
  EXPECT_TRUE(r.object.heldp);
  r.setrate(&r.object, 0x10000);
  EXPECT_FALSE(r.object.heldp);
  EXPECT_EQ(r.object.fraction, 0u);

  r.setrate(&r.object, 0x20000);
  Feed(r, 1, signal, {5});
  ASSERT_TRUE(r.object.heldp);
  const uint32_t fraction = r.object.fraction;
  const int8_t skip = r.object.skip;
  r.setrate(&r.object, 0x30000);
  EXPECT_TRUE(r.object.heldp);
  EXPECT_EQ(r.object.fraction, fraction);
  EXPECT_EQ(r.object.skip, skip);
}

}  // namespace

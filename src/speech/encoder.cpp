#include "encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>

#include "speechdsp.h"

namespace speech {
namespace {

constexpr int kBuffer = 322;     // analysis buffer
constexpr int kFrameStart = 10;  // first sample of the frame being coded; the ten before feed the residual
constexpr int kLpcStart = 114;   // LPC window: the newest 208 samples, half a frame ahead
constexpr int kWeightedHistory = 200;
constexpr int kFirTaps = 63;
constexpr int kSmoothTaps = 9;

// Taps 0..31 of the symmetric low-pass, in units of 2^-15 (tap 31 is the centre).
constexpr int kLowPassHalf[32] = {0,    0,    3,   -5,   2,    7,     -26,  49,   -69,  74,    -53,
                                  0,    81,   -175, 257, -294, 258,   -132, -78,  344,  -608,  797,
                                  -832, 647,  -204, -489, 1382, -2379, 3355, -4175, 4723, 27852};
constexpr float kNoiseShape[kOrder] = {0.024375f, -0.034015f, 0.025716f,  -0.001592f, 0.007038f,
                                       -0.012987f, 0.002397f, -0.000938f, -0.003029f, 0.000752f};
constexpr float kSmooth[kSmoothTaps] = {0.0093f, 0.0476f, 0.1224f, 0.2022f, 0.2370f,
                                        0.2022f, 0.1224f, 0.0476f, 0.0093f};

struct EncoderState {
  float prevLar[kOrder] = {};
  int q = 0;
  float hpIn[3] = {};   // x[n-1..n-3]
  float hpOut[3] = {};  // y[n-1..n-3]
  float fir[kFirTaps - 1] = {};  // newest last
  float weightMem[kOrder] = {};  // open-loop A(z)/A(z/0.8) output, newest first
  float synthMem[kOrder] = {};   // weighted synthesis 1/A(z/0.8) output, newest first
  int subframe = 0;
};

struct Tables {
  float lowPass[kFirTaps];
  float lar[kOrder][64];
  int larSize[kOrder];
  float pitch[8];
  float gain[kGainRows][3];
  int pulseCount[3][255];  // pulses of each codebook inside the subframe at each shift
  Tables() {
    for (int b = 0; b < 3; ++b)
      for (int j = 0; j < 255; ++j) {
        pulseCount[b][j] = 0;
        for (int i = 0; i < kPulses; ++i) {
          int pos = kPulsePositions[b][i] - j;
          pulseCount[b][j] += pos >= 0 && pos < kSubframeSamples;
        }
      }
    for (int j = 0; j < 32; ++j) lowPass[j] = lowPass[kFirTaps - 1 - j] = static_cast<float>(kLowPassHalf[j]) / 32768.0f;
    for (int i = 0; i < kOrder; ++i) {
      larSize[i] = 1 << kLarBits[i];
      for (int j = 0; j < larSize[i]; ++j) lar[i][j] = static_cast<float>(kLarTables[i][j]);
    }
    for (int i = 0; i < 8; ++i) pitch[i] = static_cast<float>(kPitchGainTable[i]);
    for (int r = 0; r < kGainRows; ++r)
      for (int b = 0; b < 3; ++b) gain[r][b] = static_cast<float>(kCodebookGainTable[r][b]);
  }
};

EncoderState g_state;
const float (*g_trainingTable)[3] = nullptr;
GainObserver g_observer = nullptr;
void* g_observerContext = nullptr;

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

// Everything reset at the start of a call.
struct CallState {
  float buffer[kBuffer] = {};
  float excitation[kHistorySamples] = {};
  float weighted[kWeightedHistory] = {};      // smoothed weighted speech for the open-loop lag
  float smoothMem[kSmoothTaps - 1] = {};      // last weighted samples, oldest first
  float energy[kEnergyLevels];
  float weightPow[kOrder];                    // 0.8^i
};

void Prefilter(EncoderState& st, const Tables& t, const uint8_t* src, int n, float* out) {
  float work[kFirTaps - 1 + kFrameSamples];
  std::memcpy(work, st.fir, sizeof st.fir);
  for (int i = 0; i < n; ++i) {
    int16_t raw = static_cast<int16_t>(static_cast<uint16_t>(src[2 * i] | src[2 * i + 1] << 8));
    float x = static_cast<float>(raw) / 32768.0f;
    float y = 0.959696f * x - 2.879088f * st.hpIn[0] + 2.879088f * st.hpIn[1] - 0.959696f * st.hpIn[2] +
              2.918063f * st.hpOut[0] - 2.838800f * st.hpOut[1] + 0.920701f * st.hpOut[2];
    st.hpIn[2] = st.hpIn[1], st.hpIn[1] = st.hpIn[0], st.hpIn[0] = x;
    st.hpOut[2] = st.hpOut[1], st.hpOut[1] = st.hpOut[0], st.hpOut[0] = y;
    work[kFirTaps - 1 + i] = y;
  }
  // Tap by tap over all outputs: each output still sums its taps in order, and the samples run in parallel.
  for (int i = 0; i < n; ++i) out[i] = 0;
  for (int j = 0; j < kFirTaps; ++j) {
    const float tap = t.lowPass[j];
    const float* x = work + kFirTaps - 1 - j;
    for (int i = 0; i < n; ++i) out[i] += tap * x[i];
  }
  std::memcpy(st.fir, work + n, sizeof st.fir);
}

// Reflection coefficients of A(z) from R[0..10]; a failing recursion leaves the remaining ones at zero.
void Levinson(const float r[kOrder + 1], float k[kOrder]) {
  float a[kOrder + 1] = {}, next[kOrder + 1];
  float err = r[0];
  std::fill(k, k + kOrder, 0.0f);
  for (int m = 1; m <= kOrder; ++m) {
    if (!(err > 0)) return;
    float acc = r[m];
    for (int j = 1; j < m; ++j) acc += a[j] * r[m - j];
    float km = -acc / err;
    if (!(std::fabs(km) < 1.0f)) return;
    for (int j = 1; j < m; ++j) next[j] = a[j] + km * a[m - j];
    for (int j = 1; j < m; ++j) a[j] = next[j];
    a[m] = km;
    k[m - 1] = km;
    err *= 1.0f - km * km;
  }
}

void AnalyseFrame(const float* b, const Tables& t, SpeechFrameParams& params, const float energy[kEnergyLevels]) {
  const float* x = b + kLpcStart;
  float e = 0;
  for (int n = 0; n < kFrameSamples; ++n) e += x[n] * x[n];
  e /= static_cast<float>(kFrameSamples);

  static const auto window = [] {
    std::array<float, kFrameSamples> w{};
    const float pi = 3.14159265358979f;
    for (int n = 0; n < kFrameSamples; ++n)
      w[n] = 0.54f - 0.46f * std::cos(2.0f * pi * static_cast<float>(n) / static_cast<float>(kFrameSamples));
    return w;
  }();
  float xw[kFrameSamples];
  for (int n = 0; n < kFrameSamples; ++n) xw[n] = x[n] * window[n];
  float r[kOrder + 1] = {};
  for (int n = 0; n < kFrameSamples; ++n)
    for (int i = 0; i <= std::min(n, kOrder); ++i) r[i] += xw[n] * xw[n - i];
  float k[kOrder] = {};
  if (r[0] > 0) {
    float r0 = r[0];
    for (int i = 0; i <= kOrder; ++i) r[i] /= r0;
    Levinson(r, k);
    float err = 1;
    for (int i = 0; i < kOrder; ++i) err *= 1.0f - k[i] * k[i];
    for (int i = 0; i < kOrder; ++i) r[i] += 0.08f * err * kNoiseShape[i];
    Levinson(r, k);
    float p[kOrder];
    StepUp(k, p);
    float expand = 1;
    for (int i = 0; i < kOrder; ++i) {
      expand *= 0.998f;
      p[i] *= expand;
    }
    StepDown(p, k);
  }
  for (int i = 0; i < kOrder; ++i)
    params.lar[i] = static_cast<uint32_t>(QuantiseLar(ReflectionToLar(k[i]), kLarTables[i], t.larSize[i]));
  params.energy = static_cast<uint32_t>(QuantiseEnergy(e, energy));
}

// y = x filtered by the all-pole filter with coefficients a (1/A(z/0.8) here) and memory mem (newest first),
// which is advanced. The oldest terms are summed first, so that only the newest output's term waits for the
// sample before: the samples overlap in the processor instead of queuing behind one long chain of additions.
void AllPole(const float* x, float* y, const float a[kOrder], float mem[kOrder]) {
  float buf[kOrder + kSubframeSamples];
  for (int i = 0; i < kOrder; ++i) buf[kOrder - 1 - i] = mem[i];
  for (int n = 0; n < kSubframeSamples; ++n) {
    float acc = x[n];
    for (int i = kOrder - 1; i >= 0; --i) acc += a[i] * buf[n + kOrder - 1 - i];
    buf[n + kOrder] = acc;
    y[n] = acc;
  }
  for (int i = 0; i < kOrder; ++i) mem[i] = buf[kOrder + kSubframeSamples - 1 - i];
}

void ZeroStateSynthesis(const float* x, float* y, const float pw[kOrder]) {
  float mem[kOrder] = {};
  AllPole(x, y, pw, mem);
}

float Dot(const float* a, const float* b, int n) {
  float acc = 0;
  for (int i = 0; i < n; ++i) acc += a[i] * b[i];
  return acc;
}

// d[n] = sum over m >= n of target[m] h[m - n].
void BackwardFilter(const float* target, const float* h, float* d) {
  for (int n = 0; n < kSubframeSamples; ++n) d[n] = 0;
  for (int m = 0; m < kSubframeSamples; ++m) {
    const float tm = target[m];
    for (int n = 0; n <= m; ++n) d[n] += tm * h[m - n];
  }
}

// Zero-state response of 1/A(z/0.8) to a pulse codevector: signed copies of the impulse response.
void PulseResponse(int b, unsigned shift, const float* h, float* y) {
  for (int n = 0; n < kSubframeSamples; ++n) y[n] = 0;
  if (shift >= 255) return;
  for (int i = 0; i < kPulses; ++i) {
    int pos = kPulsePositions[b][i] - static_cast<int>(shift);
    if (pos < 0 || pos >= kSubframeSamples) continue;
    const float sign = static_cast<float>(kPulseSigns[i]);
    for (int n = pos; n < kSubframeSamples; ++n) y[n] += sign * h[n - pos];
  }
}

// Optimal gain of filtered vector y against target, and the target minus the scaled vector.
float Gain(const float* target, const float* y) {
  float yy = Dot(y, y, kSubframeSamples);
  return yy == 0.0f ? 0.0f : Dot(target, y, kSubframeSamples) / yy;
}

int OpenLoopLag(const float h[kWeightedHistory]) {
  constexpr int kNewest = kWeightedHistory - kSubframeSamples;
  auto score = [&](int lag, float& value) {
    float x = 0, e = 0;
    for (int m = 0; m < kSubframeSamples; m += 4) {
      float past = h[kNewest + m - lag];
      x += h[kNewest + m] * past;
      e += past * past;
    }
    if (!(x > 0)) return false;
    value = x * x / e;
    return true;
  };
  int best = 0;
  float bestScore = 0;
  for (int l = 5; l <= 36; ++l) {
    float v;
    if (score(4 * l, v) && (best == 0 || v > bestScore)) best = 4 * l, bestScore = v;
  }
  if (best == 0) return 0;
  int coarse = best;
  best = 0;
  for (int lag = std::max(coarse - 3, 20); lag <= std::min(coarse + 3, 146); ++lag) {
    float v;
    if (score(lag, v) && (best == 0 || v > bestScore)) best = lag, bestScore = v;
  }
  return best;
}

void EncodeSubframe(EncoderState& st, CallState& cs, const Tables& t, const float* speech, int s,
                    const float newLar[kOrder], float distance, SpeechSubframeParams& out) {
  SubframeFilter<float> filter = MakeSubframeFilter(st.prevLar, newLar, distance, s, cs.energy, st.q);
  float pw[kOrder];
  for (int i = 0; i < kOrder; ++i) pw[i] = cs.weightPow[i] * filter.p[i];

  // Open-loop path: perceptually weighted speech, then smoothed into the lag-search history.
  float residual[kSubframeSamples], weighted[kSubframeSamples];
  for (int n = 0; n < kSubframeSamples; ++n) {
    float r = speech[n];
    for (int i = 0; i < kOrder; ++i) r -= filter.p[i] * speech[n - 1 - i];
    residual[n] = r;
  }
  AllPole(residual, weighted, pw, st.weightMem);
  std::memmove(cs.weighted, cs.weighted + kSubframeSamples, sizeof(float) * (kWeightedHistory - kSubframeSamples));
  float* smoothed = cs.weighted + kWeightedHistory - kSubframeSamples;
  float ext[kSmoothTaps - 1 + kSubframeSamples];
  std::memcpy(ext, cs.smoothMem, sizeof cs.smoothMem);
  std::memcpy(ext + kSmoothTaps - 1, weighted, sizeof weighted);
  for (int n = 0; n < kSubframeSamples; ++n) {
    float acc = 0;
    for (int j = 0; j < kSmoothTaps; ++j) acc += kSmooth[j] * ext[n + kSmoothTaps - 1 - j];
    smoothed[n] = acc;
  }
  std::memcpy(cs.smoothMem, ext + kSubframeSamples, sizeof cs.smoothMem);
  int openLag = OpenLoopLag(cs.weighted);

  // Target: weighted speech less the ringing of the weighted synthesis filter.
  float target[kSubframeSamples], zeros[kSubframeSamples] = {}, ring[kSubframeSamples];
  float mem[kOrder];
  std::memcpy(mem, st.synthMem, sizeof mem);
  AllPole(zeros, ring, pw, mem);
  for (int n = 0; n < kSubframeSamples; ++n) target[n] = weighted[n] - ring[n];
  float impulse[kSubframeSamples] = {1.0f}, h[kSubframeSamples];
  ZeroStateSynthesis(impulse, h, pw);
  float d[kSubframeSamples];
  BackwardFilter(target, h, d);

  // Closed-loop lag on the half-sample grid around the open-loop one.
  int centre = 2 * (openLag == 0 ? 146 : openLag);  // in half samples
  int lo = std::max(centre - 5, 40), hi = std::min(centre + 4, 292);
  int bestHalves = 0;
  float bestScore = 0;
  float v[kSubframeSamples];
  for (int halves = lo; halves <= hi; ++halves) {
    AdaptiveVector(cs.excitation, static_cast<unsigned>(halves - 38), v);
    float c = Dot(v, d, kSubframeSamples);
    if (!(c > 0)) continue;
    float score = c * c / Dot(v, v, kSubframeSamples);
    if (bestHalves == 0 || score > bestScore) bestHalves = halves, bestScore = score;
  }
  out.lag = bestHalves == 0 ? 0u : static_cast<uint32_t>(bestHalves - 38);

  // Pitch gain.
  float y[kSubframeSamples];
  AdaptiveVector(cs.excitation, out.lag, v);
  ZeroStateSynthesis(v, y, pw);
  float gp = Gain(target, y);
  int pitchIndex = 0;
  for (int i = 1; i < 8; ++i)
    if (std::fabs(gp - t.pitch[i]) < std::fabs(gp - t.pitch[pitchIndex])) pitchIndex = i;
  out.pitchGain = static_cast<uint32_t>(pitchIndex);
  for (int n = 0; n < kSubframeSamples; ++n) target[n] -= t.pitch[pitchIndex] * y[n];

  // Three pulse codebooks, each against what the ones before left of the target.
  float gains[3];
  for (int b = 0; b < 3; ++b) {
    BackwardFilter(target, h, d);
    // Correlations of all 255 shifts, pulse by pulse: each pulse meets the window for at most 52 shifts.
    // Every shift still sums its pulses in template order.
    float corr[255] = {};
    for (int i = 0; i < kPulses; ++i) {
      const int pos = kPulsePositions[b][i];
      const float sign = static_cast<float>(kPulseSigns[i]);
      for (int j = std::max(0, pos - (kSubframeSamples - 1)); j <= std::min(254, pos); ++j) corr[j] += sign * d[pos - j];
    }
    const int* count = t.pulseCount[b];
    int best = 0;
    float bestCorr = corr[0], bestValue = corr[0] * corr[0] / static_cast<float>(count[0]);
    for (int j = 1; j < 255; ++j) {
      // Dividing by a count of at least one never raises the square: skip the division when it cannot win.
      float square = corr[j] * corr[j];
      if (!(square > bestValue) || count[j] == 0) continue;
      float value = square / static_cast<float>(count[j]);
      if (value > bestValue) best = j, bestValue = value, bestCorr = corr[j];
    }
    out.code[b] = bestCorr == 0.0f ? 255u : static_cast<uint32_t>(best);
    PulseResponse(b, out.code[b], h, y);
    gains[b] = Gain(target, y);
    for (int n = 0; n < kSubframeSamples; ++n) target[n] -= gains[b] * y[n];
  }

  // Codebook gains: one row for the triple relative to the expected level.
  float relative[3];
  for (int b = 0; b < 3; ++b) relative[b] = std::fabs(gains[b]) / filter.level;
  if (g_observer) g_observer(relative, g_observerContext);
  const float(*table)[3] = g_trainingTable ? g_trainingTable : t.gain;
  int row = 0;
  float rowDist = 0;
  for (int r = 0; r < kGainRows; ++r) {
    float dist = 0;
    for (int b = 0; b < 3; ++b) dist += (relative[b] - table[r][b]) * (relative[b] - table[r][b]);
    if (r == 0 || dist < rowDist) row = r, rowDist = dist;
  }
  out.gainVector = static_cast<uint32_t>(row);
  out.signs = 0;
  for (int b = 0; b < 3; ++b)
    if (gains[b] <= 0) out.signs |= 1u << b;

  // Rebuild the excitation the way the decoder will, and move the weighted synthesis filter on with it.
  QuantisedGains<float> q = DequantiseGains(out, filter.level, table, t.pitch);
  float excitation[kSubframeSamples];
  BuildExcitation(out, q, cs.excitation, excitation);
  AllPole(excitation, y, pw, st.synthMem);
}

}  // namespace

int QuantiseEnergy(float meanSquare, const float energy[kEnergyLevels]) {
  if (meanSquare < energy[0]) return 0;
  const float threshold = std::pow(10.0f, -0.1f) * meanSquare;
  for (int i = 1; i <= 30; ++i)
    if (energy[2 * i] >= threshold) return i;
  return kMaxEnergyIndex;
}

int QuantiseLar(float value, const double* table, int size) {
  auto entry = [&](int i) { return static_cast<float>(table[i]); };
  int lo = 0, hi = size;  // first entry not below value
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (entry(mid) < value)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo == size) return size - 1;
  if (lo > 0 && value - entry(lo - 1) < entry(lo) - value) return lo - 1;
  return lo;
}

void ResetEncoder() { g_state = EncoderState{}; }

void SetEncoderGainTable(const float (*table)[3]) { g_trainingTable = table; }

void SetEncoderGainObserver(GainObserver observer, void* context) {
  g_observer = observer;
  g_observerContext = context;
}

uint32_t EncodeFrames(const uint8_t* source, uint32_t length, uint8_t* output, uint32_t capacity) {
  if (!source || !output) return 0;
  const Tables& t = GetTables();
  EncoderState& st = g_state;
  CallState cs;
  BuildEnergyTable(cs.energy);
  float power = 1;
  for (int i = 0; i < kOrder; ++i) cs.weightPow[i] = power *= 0.8f;

  // A block is read when it fits in the source; the first one only primes the look-ahead.
  uint64_t pos = 0;
  auto readBlock = [&](int n) {
    if (pos + 2u * static_cast<unsigned>(n) > length) return false;
    std::memmove(cs.buffer, cs.buffer + n, sizeof(float) * static_cast<size_t>(kBuffer - n));
    Prefilter(st, t, source + pos, n, cs.buffer + kBuffer - n);
    pos += 2u * static_cast<unsigned>(n);
    return true;
  };
  if (!readBlock(kFrameSamples / 2)) return 0;

  uint32_t written = 0;
  while (written + kFrameBytes <= capacity && readBlock(kFrameSamples)) {
    SpeechFrameParams params;
    AnalyseFrame(cs.buffer, t, params, cs.energy);
    float lar[kOrder];
    for (int i = 0; i < kOrder; ++i) lar[i] = t.lar[i][params.lar[i]];
    float distance = LarDistance(st.prevLar, lar);
    int z = 2 * static_cast<int>(params.energy);
    for (int s = 0; s < kSubframes; ++s) {
      st.q = NextEnergyPosition(st.q, z, s);
      EncodeSubframe(st, cs, t, cs.buffer + kFrameStart + s * kSubframeSamples, s, lar, distance, params.sub[s]);
      st.subframe = (st.subframe + 1) % kSubframes;
    }
    std::copy(std::begin(lar), std::end(lar), st.prevLar);
    PackSpeechFrame(params, output + written);
    written += kFrameBytes;
  }
  return written;
}

}  // namespace speech

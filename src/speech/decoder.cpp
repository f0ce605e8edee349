#include "decoder.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "speechdsp.h"

namespace speech {
namespace {

struct DecoderState {
  double prevLar[kOrder] = {};
  int q = 0;
  double synth[kOrder] = {};  // y[n-1] .. y[n-10], before scaling
  int subframe = 0;
};

DecoderState g_state;

struct DecoderTables {
  double gain[kGainRows][3];
  double pitch[8];
  DecoderTables() {
    for (int r = 0; r < kGainRows; ++r)
      for (int b = 0; b < 3; ++b) gain[r][b] = kCodebookGainTable[r][b];
    for (int i = 0; i < 8; ++i) pitch[i] = kPitchGainTable[i];
  }
};

// True when every value is finite and no larger than limit.
bool Bounded(const double* v, int n, double limit) {
  for (int i = 0; i < n; ++i)
    if (!(std::fabs(v[i]) <= limit)) return false;
  return true;
}

// Speech never drives the filter far past full scale (1.0); a damaged message whose pitch gains keep
// amplifying the past can, and is cut off rather than left to overflow or to ring into the next message.
constexpr double kRunawayLevel = 1e6;
constexpr double kCarryOverLevel = 2.0;

}  // namespace

int16_t SampleFromLevel(double y) {
  double v = y * 32768.0;
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  if (!(v == v)) return 0;
  return static_cast<int16_t>(v);
}

void ResetDecoder() { g_state = DecoderState{}; }

uint32_t DecodeFrames(const uint8_t* input, uint32_t length, uint8_t* output, uint32_t capacity) {
  if (!input || !output) return 0;
  static const DecoderTables tables;
  double energy[kEnergyLevels];
  BuildEnergyTable(energy);
  double history[kHistorySamples] = {};
  DecoderState& st = g_state;
  if (!Bounded(st.synth, kOrder, kCarryOverLevel)) std::fill(std::begin(st.synth), std::end(st.synth), 0.0);

  uint32_t frames = std::min(length / kFrameBytes, capacity / kFramePcmBytes);
  uint8_t* out = output;
  for (uint32_t f = 0; f < frames; ++f) {
    SpeechFrameParams params = UnpackSpeechFrame(input + static_cast<size_t>(f) * kFrameBytes);
    double lar[kOrder];
    for (int i = 0; i < kOrder; ++i) lar[i] = kLarTables[i][params.lar[i]];
    double distance = LarDistance(st.prevLar, lar);
    // Six bits arrive but only 32 levels exist; a louder index from a damaged frame means the loudest.
    int z = 2 * static_cast<int>(std::min<uint32_t>(params.energy, kMaxEnergyIndex));

    for (int s = 0; s < kSubframes; ++s) {
      st.q = NextEnergyPosition(st.q, z, s);
      SubframeFilter<double> filter = MakeSubframeFilter(st.prevLar, lar, distance, s, energy, st.q);
      const SpeechSubframeParams& sp = params.sub[s];
      QuantisedGains<double> gains = DequantiseGains(sp, filter.level, tables.gain, tables.pitch);
      double excitation[kSubframeSamples];
      BuildExcitation(sp, gains, history, excitation);
      if (!Bounded(history, kHistorySamples, kRunawayLevel)) std::fill(std::begin(history), std::end(history), 0.0);

      for (int n = 0; n < kSubframeSamples; ++n) {
        double y = excitation[n];
        for (int i = 0; i < kOrder; ++i) y += filter.p[i] * st.synth[i];
        for (int i = kOrder - 1; i > 0; --i) st.synth[i] = st.synth[i - 1];
        st.synth[0] = y;
        int16_t sample = SampleFromLevel(y);
        out[0] = static_cast<uint8_t>(sample);
        out[1] = static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8);
        out += 2;
      }
      if (!Bounded(st.synth, kOrder, kRunawayLevel)) std::fill(std::begin(st.synth), std::end(st.synth), 0.0);
      st.subframe = (st.subframe + 1) % kSubframes;
    }
    std::copy(std::begin(lar), std::end(lar), st.prevLar);
  }
  return static_cast<uint32_t>(out - output);
}

}  // namespace speech

// Encoders for the sound system's compressed samples.
#include <algorithm>
#include <cmath>

#include "platformlib/sound/sndmix.h"
#include "soundtools.h"

namespace soundtools {

namespace {

const int32_t kC1[4] = {0, 240, 460, 392};
const int32_t kC2[4] = {0, 0, -208, -220};

struct Choice {
  int64_t error = INT64_MAX;
  int filter = 0, shift = 0;
  uint8_t codes[ADPCM7FRAMES];
  Adpcm7Channel state{};
};

// One channel's block with a filter and shift: the codes that decode nearest, and the squared error. The trial stops
// as soon as its error passes `bound`, as it can no longer be the best.
Choice tryblock(const int16_t* x, int stride, Adpcm7Channel start, int filter, int shift, int64_t bound = INT64_MAX) {
  Choice c;
  c.error = 0;
  c.filter = filter;
  c.shift = shift;
  c.state = start;
  for (int k = 0; k < ADPCM7FRAMES; ++k) {
    int best = 0;
    int64_t besterror = INT64_MAX;
    int16_t bestsample = 0;
    for (int code = 0; code < 16; ++code) {
      const int16_t sample = static_cast<int16_t>(
          (kC1[filter] * c.state.p1 + kC2[filter] * c.state.p2 + adpcmtables[shift][code] * 256) >> 8);
      const int64_t e = int64_t{sample} - x[k * stride];
      if (e * e < besterror) besterror = e * e, best = code, bestsample = sample;
    }
    c.codes[k] = static_cast<uint8_t>(best);
    c.error += besterror;
    if (c.error > bound) return c;
    c.state.p2 = c.state.p1;
    c.state.p1 = bestsample;
  }
  return c;
}

// The first filter and shift (in trial order) with the least error. The previous block's choice, tried first, gives
// a bound that ends most other trials early; a trial ended early has more error than the bound, so the choice is
// the one a full search makes.
Choice bestblock(const int16_t* x, int stride, Adpcm7Channel state, int guessfilter, int guessshift, bool searchall) {
  const int64_t bound = searchall ? INT64_MAX : tryblock(x, stride, state, guessfilter, guessshift).error;
  Choice best;
  for (int filter = 0; filter < 4; ++filter)
    for (int shift = 0; shift <= 12; ++shift) {
      Choice c = tryblock(x, stride, state, filter, shift, bound);
      if (c.error < best.error) best = c;
    }
  return best;
}

// Bits least significant first, as the compression-9 decoder reads them.
struct BitWriter {
  std::vector<uint8_t> bytes;
  int used = 0;
  void put(uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++used) {
      if (used % 8 == 0) bytes.push_back(0);
      bytes.back() = static_cast<uint8_t>(bytes.back() | (((value >> i) & 1) << (used % 8)));
    }
  }
  void ones(int count) {
    for (int i = 0; i < count; ++i) put(1, 1);
  }
};

void putpulses(BitWriter& w, const int* pulses, int count, bool ternary) {
  for (int i = 0; i < count;) {
    if (ternary) {
      if (pulses[i] == 0)
        w.put(0, 1);
      else
        w.put(pulses[i] > 0 ? 0b11 : 0b01, 2);
      ++i;
      continue;
    }
    int run = 0;
    while (i + run < count && pulses[i + run] == 0 && run < 70) ++run;
    if (run >= 7) {
      w.ones(7);
      w.put(0, 1);
      w.put(static_cast<uint32_t>(run - 7), 6);
      i += run;
      continue;
    }
    const int level = std::abs(pulses[i]);
    if (level == 0) {
      w.put(0, 1);
    } else if (level <= 6) {
      w.ones(level);
      w.put(0, 1);
      w.put(pulses[i] < 0 ? 1 : 0, 1);
    } else {
      w.ones(8 + (level - 7));
      if (level < 31) w.put(0, 1);
      w.put(pulses[i] < 0 ? 1 : 0, 1);
    }
    ++i;
  }
}

// Reflection coefficients of a frame by autocorrelation and the Levinson recursion, in the decoder's sign.
void reflections(const float* x, int n, double* k) {
  double r[C9ORDER + 1] = {};
  std::vector<double> w(n);
  for (int i = 0; i < n; ++i) w[i] = x[i] * (0.5 - 0.5 * std::cos(2 * M_PI * (i + 0.5) / n));
  for (int lag = 0; lag <= C9ORDER; ++lag)
    for (int i = lag; i < n; ++i) r[lag] += w[i] * w[i - lag];
  for (int i = 0; i < C9ORDER; ++i) k[i] = 0.0;
  if (r[0] <= 1e-3) return;
  r[0] *= 1.0001;  // a little white noise keeps the filter tame
  double a[C9ORDER + 1] = {1.0}, e = r[0];
  for (int m = 1; m <= C9ORDER; ++m) {
    double acc = r[m];
    for (int i = 1; i < m; ++i) acc += a[i] * r[m - i];
    const double km = std::clamp(-acc / e, -0.9, 0.9);
    double next[C9ORDER + 1];
    for (int i = 1; i < m; ++i) next[i] = a[i] + km * a[m - i];
    for (int i = 1; i < m; ++i) a[i] = next[i];
    a[m] = km;
    e *= 1.0 - km * km;
    k[m - 1] = km;
  }
}

}  // namespace

std::vector<uint8_t> encodeadpcm7(const int16_t* samples, int frames, int channels, bool searchall) {
  std::vector<uint8_t> out;
  Adpcm7Channel state[2] = {};
  Choice guess[2];
  const int blocks = (frames + ADPCM7FRAMES - 1) / ADPCM7FRAMES;
  std::vector<int16_t> block(static_cast<size_t>(ADPCM7FRAMES) * channels);
  for (int b = 0; b < blocks; ++b) {
    for (int k = 0; k < ADPCM7FRAMES * channels; ++k) {
      const int64_t at = int64_t{b} * ADPCM7FRAMES * channels + k;
      block[k] = at < int64_t{frames} * channels ? samples[at] : 0;
    }
    Choice c[2];
    for (int ch = 0; ch < channels; ++ch) {
      c[ch] = bestblock(block.data() + ch, channels, state[ch], guess[ch].filter, guess[ch].shift, searchall);
      guess[ch] = c[ch];
      state[ch] = c[ch].state;
    }
    if (channels == 1) {
      out.push_back(static_cast<uint8_t>(c[0].filter << 4 | c[0].shift));
      for (int k = 0; k < ADPCM7FRAMES; k += 2) out.push_back(static_cast<uint8_t>(c[0].codes[k] << 4 | c[0].codes[k + 1]));
    } else {
      out.push_back(static_cast<uint8_t>(c[0].filter << 4 | c[1].filter));
      out.push_back(static_cast<uint8_t>(c[0].shift << 4 | c[1].shift));
      for (int k = 0; k < ADPCM7FRAMES; ++k) out.push_back(static_cast<uint8_t>(c[0].codes[k] << 4 | c[1].codes[k]));
    }
  }
  return out;
}

std::vector<uint8_t> encodec9(const int16_t* samples, int frames) {
  BitWriter w;
  // Header: no grid phase; ternary pulses when the first field is below 17; amplitudes 8 x 1.103^i.
  w.put(0, 1);
  w.put(15, 4);
  w.put(0, 4);
  w.put(63, 6);
  const int ternarybelow = 32 - 15;
  float amplitude[64];
  amplitude[0] = 8.0f;
  const float factor = static_cast<float>(63) * 0.001f + 1.04f;
  for (int i = 1; i < 64; ++i) amplitude[i] = amplitude[i - 1] * factor;

  float mean[C9ORDER] = {}, previous[C9ORDER] = {}, filter[C9ORDER] = {};
  const int count = (frames + C9FRAME - 1) / C9FRAME;
  std::vector<float> x(C9FRAME);
  for (int f = 0; f < count; ++f) {
    for (int n = 0; n < C9FRAME; ++n) {
      const int64_t at = int64_t{f} * C9FRAME + n;
      x[n] = at < frames ? static_cast<float>(samples[at]) : 0.0f;
    }
    double k[C9ORDER];
    reflections(x.data(), C9FRAME, k);
    float params[C9ORDER];
    uint32_t indices[C9ORDER];
    for (int i = 0; i < C9ORDER; ++i) {
      const double p = k[i] / std::sqrt(1.0 - k[i] * k[i]);
      const int centre = i < 4 ? 32 : 16, top = i < 4 ? 63 : 31;
      // The first field stays at or above the ternary limit: pulses of 0 and ±2 cannot follow a strong tone.
      const int low = i == 0 ? ternarybelow : 0;
      indices[i] = static_cast<uint32_t>(std::clamp(static_cast<int>(std::lround((p - mean[i]) * 16.0)) + centre, low, top));
      // The decoder's own arithmetic, so both sides keep the same means.
      params[i] = std::clamp(mean[i] + c9spectral(i, indices[i]), -4.0f, 4.0f);
      mean[i] = mean[i] * 0.75f + params[i] * 0.25f;
      w.put(indices[i], i < 4 ? 6 : 5);
    }
    const bool ternary = static_cast<int>(indices[0]) < ternarybelow;

    // Coefficients of the four steps, as the decoder interpolates them.
    float a[4][C9ORDER] = {};
    for (int step = 1; step <= 4; ++step) {
      float p[C9ORDER];
      const float t = static_cast<float>(step) * 0.25f;
      for (int i = 0; i < C9ORDER; ++i) p[i] = previous[i] + (params[i] - previous[i]) * t;
      c9coefficients(p, a[step - 1]);
    }
    auto coefficients = [&](int n) { return a[n < 12 ? 0 : n < 24 ? 1 : n < 36 ? 2 : 3]; };

    for (int sub = 0; sub < 4; ++sub) {
      const int base = sub * C9SUBFRAME;
      int pulses[C9SUBFRAME];
      // One pass of the decoder's synthesis over the subframe at an amplitude, the pulses chosen sample by
      // sample against its own output; gives the largest pulse.
      auto run = [&](int ampindex, float* state) {
        const float amp = amplitude[ampindex];
        int largest = 0;
        for (int n = base; n < base + C9SUBFRAME; ++n) {
          const float* c = coefficients(n);
          float target = x[n];
          for (int i = 0; i < C9ORDER; ++i) target += c[i] * state[i];
          const double ratio = std::clamp(static_cast<double>(target) / amp, -1000.0, 1000.0);
          int q = static_cast<int>(std::lround(ratio));
          largest = std::max(largest, std::abs(q));
          q = ternary ? (q >= 1 ? 2 : q <= -1 ? -2 : 0) : std::clamp(q, -31, 31);
          pulses[n - base] = q;
          float y = std::clamp(amp * static_cast<float>(q) + 0.0f, -1.0e8f, 1.0e8f);
          for (int i = 0; i < C9ORDER; ++i) y -= c[i] * state[i];
          y = std::clamp(y, -1.0e9f, 1.0e9f);
          std::copy_backward(state, state + C9ORDER - 1, state + C9ORDER);
          state[0] = y;
        }
        return largest;
      };
      // The finest amplitude whose pulses all have short codes (ternary frames: about one step a pulse).
      int ampindex = 63;
      for (int candidate = 0; candidate < 64; candidate += 2) {
        float trial[C9ORDER];
        std::copy(filter, filter + C9ORDER, trial);
        if (run(candidate, trial) <= (ternary ? 2 : 6)) {
          ampindex = candidate;
          break;
        }
      }
      w.put(0, 8);  // no pitch repeat
      w.put(0, 4);
      w.put(static_cast<uint32_t>(ampindex), 6);
      run(ampindex, filter);
      putpulses(w, pulses, C9SUBFRAME, ternary);
    }
    std::copy(params, params + C9ORDER, previous);
  }
  return w.bytes;
}

}  // namespace soundtools

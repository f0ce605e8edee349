// Rules that the encoder (single precision) and the decoder (double precision) must run identically:
// LAR mapping, filter conversions, subframe interpolation, excitation. T is float or double.
#pragma once

#include <cmath>
#include <cstring>

#include "speechframe.h"

namespace speech {

template <typename T>
void BuildEnergyTable(T e[kEnergyLevels]) {
  e[0] = std::pow(T(10), T(-7.2));
  for (int i = 1; i < kEnergyLevels; ++i) e[i] = std::pow(T(10), T(i - 66) / T(10));
}

// Odd, piecewise-linear map: identity up to 0.675, then two straight pieces that join at knee.
template <typename T>
T ThreePieces(T x, T knee, T slope2, T offset2, T slope3, T offset3) {
  T a = std::fabs(x), y;
  if (a <= T(0.675))
    y = a;
  else if (a < knee)
    y = slope2 * a + offset2;
  else
    y = slope3 * a + offset3;
  return x < 0 ? -y : y;
}

template <typename T>
T ReflectionToLar(T k) {
  return ThreePieces(k, T(0.95), T(2), T(-0.675), T(8), T(-6.375));
}

template <typename T>
T LarToReflection(T lar) {
  return ThreePieces(lar, T(1.225), T(0.5), T(0.3375), T(0.125), T(0.796875));
}

// Reflection coefficients k[0..9] (k1..k10) to predictor coefficients p[0..9] (p1..p10).
template <typename T>
void StepUp(const T k[kOrder], T p[kOrder]) {
  for (int i = 0; i < kOrder; ++i) p[i] = -k[i];
  for (int m = 2; m <= kOrder; ++m) {
    T km = k[m - 1];
    for (int j = 1; j < m - j; ++j) {
      T a = p[j - 1], b = p[m - j - 1];
      p[j - 1] = a + km * b;
      p[m - j - 1] = b + km * a;
    }
    if (m % 2 == 0) p[m / 2 - 1] = (T(1) + km) * p[m / 2 - 1];
  }
}

// Predictor back to reflection coefficients; stops at the first |p_m| >= 1, leaving the k not reached as
// they were.
template <typename T>
void StepDown(T p[kOrder], T k[kOrder]) {
  for (int m = kOrder; m >= 1; --m) {
    T f = p[m - 1];
    if (f <= T(-1) || f >= T(1)) return;
    k[m - 1] = -f;
    T e = T(1) / (T(1) - f * f);
    for (int j = 1; j < m - j; ++j) {
      T a = p[j - 1], b = p[m - j - 1];
      p[j - 1] = e * (a + f * b);
      p[m - j - 1] = e * (b + f * a);
    }
    if (m % 2 == 0) p[m / 2 - 1] = e * (T(1) + f) * p[m / 2 - 1];
  }
}

template <typename T>
T LarDistance(const T a[kOrder], const T b[kOrder]) {
  T d = 0;
  for (int i = 0; i < kOrder; ++i) d += (b[i] - a[i]) * (b[i] - a[i]);
  return d;
}

// Weights (old, new) of subframe s; a large jump between frames switches abruptly at the middle.
template <typename T>
void InterpolationWeights(T distance, int s, T& wOld, T& wNew) {
  static const T kSmooth[kSubframes][2] = {{1, 0}, {0.625, 0.375}, {0.375, 0.625}, {0, 1}};
  static const T kAbrupt[kSubframes][2] = {{1, 0}, {1, 0}, {0, 1}, {0, 1}};
  const T(*w)[2] = distance >= T(1.8) ? kAbrupt : kSmooth;
  wOld = w[s][0];
  wNew = w[s][1];
}

// The persistent subframe energy position before subframe s; z is twice the frame's energy index.
inline int NextEnergyPosition(int q, int z, int s) {
  if (s == 0) return q;
  if (s == 3) return z;
  if (z == 0) q = 0;
  if (q != 0) q = (q + z) / 2;
  return q;
}

// Filters of one subframe: interpolated reflection and predictor coefficients and the expected level.
template <typename T>
struct SubframeFilter {
  T k[kOrder];
  T p[kOrder];
  T level;
};

template <typename T>
SubframeFilter<T> MakeSubframeFilter(const T oldLar[kOrder], const T newLar[kOrder], T distance, int s,
                                     const T energy[kEnergyLevels], int q) {
  SubframeFilter<T> f;
  T wOld, wNew;
  InterpolationWeights(distance, s, wOld, wNew);
  T gainProduct = 1;
  for (int i = 0; i < kOrder; ++i) {
    f.k[i] = LarToReflection(wOld * oldLar[i] + wNew * newLar[i]);
    gainProduct *= T(1) - f.k[i] * f.k[i];
  }
  StepUp(f.k, f.p);
  f.level = std::sqrt(energy[q] * gainProduct);
  return f;
}

// Adaptive vector of lag index t from the history (oldest first, newest at history[kHistorySamples - 1]).
template <typename T>
void AdaptiveVector(const T history[kHistorySamples], unsigned t, T v[kSubframeSamples]) {
  if (t == 0) {
    for (int n = 0; n < kSubframeSamples; ++n) v[n] = 0;
    return;
  }
  // The past repeated with period lag: the first lag samples come from the history, the rest repeat them.
  auto integerLag = [&](int lag, T* out) {
    for (int n = 0; n < kSubframeSamples; ++n) out[n] = n < lag ? history[kHistorySamples - lag + n] : out[n - lag];
  };
  int halves = 38 + static_cast<int>(t);
  int lag = halves / 2;
  integerLag(lag, v);
  if (halves % 2 != 0) {
    T next[kSubframeSamples];
    integerLag(lag + 1, next);
    for (int n = 0; n < kSubframeSamples; ++n) v[n] = (v[n] + next[n]) * T(0.5);
  }
}

// Pulse codevector: the template of codebook b shifted left by j; j = 255 is silence.
template <typename T>
void PulseVector(int b, unsigned j, T c[kSubframeSamples]) {
  for (int n = 0; n < kSubframeSamples; ++n) c[n] = 0;
  if (j >= 255) return;
  for (int i = 0; i < kPulses; ++i) {
    int pos = kPulsePositions[b][i] - static_cast<int>(j);
    if (pos >= 0 && pos < kSubframeSamples) c[pos] = T(kPulseSigns[i]);
  }
}

template <typename T>
struct QuantisedGains {
  T pitch;
  T code[3];
};

template <typename T>
QuantisedGains<T> DequantiseGains(const SpeechSubframeParams& sp, T level, const T gainTable[kGainRows][3],
                                  const T pitchTable[8]) {
  QuantisedGains<T> g;
  g.pitch = pitchTable[sp.pitchGain & 7];
  for (int b = 0; b < 3; ++b) {
    T v = level * gainTable[sp.gainVector & 127][b];
    g.code[b] = (sp.signs >> b & 1) ? -v : v;
  }
  return g;
}

// e = gp v + g1 c1 + g2 c2 + g3 c3, then the history moves on by one subframe.
template <typename T>
void BuildExcitation(const SpeechSubframeParams& sp, const QuantisedGains<T>& g, T history[kHistorySamples],
                     T excitation[kSubframeSamples]) {
  T v[kSubframeSamples];
  AdaptiveVector(history, sp.lag, v);
  for (int n = 0; n < kSubframeSamples; ++n) excitation[n] = g.pitch * v[n];
  for (int b = 0; b < 3; ++b) {
    if (sp.code[b] >= 255) continue;
    for (int i = 0; i < kPulses; ++i) {
      int pos = kPulsePositions[b][i] - static_cast<int>(sp.code[b]);
      if (pos >= 0 && pos < kSubframeSamples) excitation[pos] += g.code[b] * T(kPulseSigns[i]);
    }
  }
  std::memmove(history, history + kSubframeSamples, sizeof(T) * (kHistorySamples - kSubframeSamples));
  std::memcpy(history + kHistorySamples - kSubframeSamples, excitation, sizeof(T) * kSubframeSamples);
}

}  // namespace speech

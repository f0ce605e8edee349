// Signals and helpers for the speech codec tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace speech::testing {

// A voiced, vowel-like signal: a 125 Hz pulse train through two resonances, with a little noise; fixed
// forever, so that encoded bytes can be compared with committed ones.
inline std::vector<uint8_t> VowelPcm(int samples, double amplitude = 8000) {
  std::vector<uint8_t> out(static_cast<size_t>(samples) * 2);
  double y1 = 0, y2 = 0, z1 = 0, z2 = 0;
  uint32_t seed = 12345;
  for (int n = 0; n < samples; ++n) {
    seed = seed * 1103515245u + 12345u;
    double noise = (static_cast<double>(seed >> 16 & 0x7fff) / 32768.0 - 0.5) * 0.05;
    double x = (n % 64 == 0 ? 1.0 : 0.0) + noise;
    double y = x + 1.6 * y1 - 0.90 * y2;  // resonance near 700 Hz
    y2 = y1, y1 = y;
    double z = y + 0.3 * z1 - 0.85 * z2;  // and near 1900 Hz
    z2 = z1, z1 = z;
    double v = std::round(z * amplitude / 8.0);
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    auto s = static_cast<uint16_t>(static_cast<int16_t>(v));
    out[2 * n] = static_cast<uint8_t>(s);
    out[2 * n + 1] = static_cast<uint8_t>(s >> 8);
  }
  return out;
}

inline std::vector<int16_t> ToSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
  return s;
}

}  // namespace speech::testing

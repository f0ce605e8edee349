#include "speechmetrics.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace speech {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Power spectrum of one Hann-windowed frame of 256 samples (129 bins).
std::vector<double> PowerSpectrum(const double* x) {
  constexpr int n = 256;
  std::vector<double> out(n / 2 + 1);
  for (int k = 0; k <= n / 2; ++k) {
    double re = 0, im = 0;
    for (int i = 0; i < n; ++i) {
      double w = 0.5 - 0.5 * std::cos(2 * kPi * i / n);
      double a = 2 * kPi * k * i / n;
      re += w * x[i] * std::cos(a);
      im -= w * x[i] * std::sin(a);
    }
    out[k] = re * re + im * im;
  }
  return out;
}

}  // namespace

SpeechQuality MeasureSpeechQuality(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded,
                                   int maxDelay) {
  SpeechQuality q;
  // Delay: the lag of largest normalised cross-correlation.
  double best = -1e300;
  for (int d = 0; d <= maxDelay; ++d) {
    double c = 0, e = 0;
    for (size_t i = 0; i + d < decoded.size() && i < original.size(); ++i) {
      c += double(original[i]) * decoded[i + d];
      e += double(decoded[i + d]) * decoded[i + d];
    }
    double score = e > 0 ? c / std::sqrt(e) : 0;
    if (score > best) best = score, q.delay = d;
  }
  size_t n = std::min(original.size(), decoded.size() - std::min<size_t>(decoded.size(), q.delay));
  std::vector<double> ref(original.begin(), original.begin() + n), out(n);
  for (size_t i = 0; i < n; ++i) out[i] = decoded[i + q.delay];

  // Segmental SNR over 160-sample segments that carry speech.
  constexpr size_t seg = 160;
  double sum = 0;
  int count = 0;
  for (size_t s = 0; s + seg <= n; s += seg) {
    double sig = 0, err = 0;
    for (size_t i = s; i < s + seg; ++i) sig += ref[i] * ref[i], err += (ref[i] - out[i]) * (ref[i] - out[i]);
    if (sig / seg < 100.0) continue;  // silence (below about -50 dB of full scale)
    double snr = 10 * std::log10(sig / std::max(err, 1e-9));
    sum += std::clamp(snr, -10.0, 35.0);
    ++count;
  }
  q.segmentalSnrDb = count ? sum / count : 0;

  // Log-spectral distance over frames of 256 samples, hop 128, on frames that carry speech.
  double lsd = 0;
  int frames = 0;
  for (size_t s = 0; s + 256 <= n; s += 128) {
    double energy = 0;
    for (size_t i = s; i < s + 256; ++i) energy += ref[i] * ref[i];
    if (energy / 256 < 100.0) continue;
    auto a = PowerSpectrum(&ref[s]), b = PowerSpectrum(&out[s]);
    // Bins more than 50 dB under the frame's strongest are noise in both signals: hold them at that floor.
    double floor = *std::max_element(a.begin(), a.end()) * 1e-5 + 1e-9;
    double acc = 0;
    for (size_t k = 0; k < a.size(); ++k) {
      double d = 10 * std::log10(std::max(a[k], floor) / std::max(b[k], floor));
      acc += d * d;
    }
    lsd += std::sqrt(acc / a.size());
    ++frames;
  }
  q.spectralDistanceDb = frames ? lsd / frames : 0;
  return q;
}

std::vector<int16_t> ReadPcm16(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8));
  return samples;
}

}  // namespace speech

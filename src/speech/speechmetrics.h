// Objective quality of coded speech: segmental SNR and log-spectral distance against the original, after
// finding the codec's delay.
#pragma once

#include <cstdint>
#include <vector>

namespace speech {

struct SpeechQuality {
  int delay = 0;                // samples by which the decoded signal lags the original
  double segmentalSnrDb = 0;    // mean over 20 ms segments, each limited to -10..35 dB
  double spectralDistanceDb = 0;  // RMS log-spectral difference (floor 50 dB under the peak), mean over active frames
};

// Compares decoded against original, trying delays 0..maxDelay.
SpeechQuality MeasureSpeechQuality(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded,
                                   int maxDelay = 80);

std::vector<int16_t> ReadPcm16(const char* path);

}  // namespace speech

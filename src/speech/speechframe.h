// One coded speech frame: 208 samples in 28 bytes, and the tables both codec sides share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace speech {

inline constexpr int kFrameSamples = 208;
inline constexpr int kSubframeSamples = 52;
inline constexpr int kSubframes = 4;
inline constexpr int kOrder = 10;
inline constexpr int kFrameBytes = 28;
inline constexpr int kFramePcmBytes = kFrameSamples * 2;
inline constexpr int kHistorySamples = 147;  // adaptive-codebook past
inline constexpr int kEnergyLevels = 64;
inline constexpr int kPulses = 19;
inline constexpr int kGainRows = 128;
inline constexpr int kMaxEnergyIndex = 31;  // the encoder writes no more

struct SpeechSubframeParams {
  uint32_t lag = 0;        // 8 bits, 0 = no adaptive contribution
  uint32_t pitchGain = 0;  // 3 bits
  uint32_t code[3] = {};   // 8 bits each, 255 = silent
  uint32_t signs = 0;      // 3 bits, bit b set = gain of codebook b+1 negative
  uint32_t gainVector = 0; // 7 bits
};

struct SpeechFrameParams {
  uint32_t energy = 0;  // 6 bits
  uint32_t lar[kOrder] = {};
  SpeechSubframeParams sub[kSubframes];
};

// Bit widths of the LAR indexes; table j has 1 << kLarBits[j] entries.
inline constexpr int kLarBits[kOrder] = {6, 5, 5, 4, 4, 3, 3, 3, 3, 2};

// Fields are masked to their widths, so any values pack without spilling into neighbours.
void PackSpeechFrame(const SpeechFrameParams& params, uint8_t out[kFrameBytes]);
SpeechFrameParams UnpackSpeechFrame(const uint8_t in[kFrameBytes]);

extern const double* const kLarTables[kOrder];
extern const double kPitchGainTable[8];
extern const double kCodebookGainTable[kGainRows][3];
extern const int kPulsePositions[3][kPulses];
extern const int kPulseSigns[kPulses];

}  // namespace speech

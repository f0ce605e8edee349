// Speech encoder: 16-bit samples at 8000 Hz to 28-byte coded frames, in single precision.
#pragma once

#include <cstdint>

#include "speechframe.h"

namespace speech {

// Bytes of output that a source of length bytes may fill: 28 for every 416.
inline uint32_t EncodedCapacity(uint32_t length) { return length / kFramePcmBytes * kFrameBytes; }

// Encodes the frames of source (little-endian samples) that fit both the source and capacity bytes of
// output; returns the bytes written. The filter state carries over from call to call.
uint32_t EncodeFrames(const uint8_t* source, uint32_t length, uint8_t* output, uint32_t capacity);

// Back to the state of a freshly loaded library.
void ResetEncoder();

// Training hooks (not part of the library's interface): a gain table to search in place of the built-in one
// (nullptr restores it), and an observer of every subframe's unquantised codebook gains relative to the
// expected level.
void SetEncoderGainTable(const float (*table)[3]);
using GainObserver = void (*)(const float relative[3], void* context);
void SetEncoderGainObserver(GainObserver observer, void* context);

// Analysis steps exposed for tests.
int QuantiseEnergy(float meanSquare, const float energy[kEnergyLevels]);
int QuantiseLar(float value, const double* table, int size);

}  // namespace speech

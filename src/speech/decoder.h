// Speech decoder: coded frames back to 16-bit samples, in double precision.
#pragma once

#include <cstdint>

namespace speech {

// Decodes every whole 28-byte frame of input that fits into capacity (416 bytes each); returns the bytes
// written. The filter state carries over from call to call.
uint32_t DecodeFrames(const uint8_t* input, uint32_t length, uint8_t* output, uint32_t capacity);

// One synthesis output as a sample: scaled by 32768, limited to the 16-bit range, truncated toward zero.
int16_t SampleFromLevel(double y);

// Back to the state of a freshly loaded library.
void ResetDecoder();

}  // namespace speech

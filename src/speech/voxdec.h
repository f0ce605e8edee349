// The speech decoder library's one entry point.
#pragma once

#include <cstdint>

extern "C" {
// Expands coded speech (28-byte frames) into 16-bit little-endian samples at 8000 Hz, 416 bytes per frame,
// never more than capacity bytes. Returns the bytes written. Not reentrant: state carries over between calls.
uint32_t Decode(const uint8_t* input, uint32_t length, uint8_t* output, uint32_t capacity);
}

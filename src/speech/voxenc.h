// The speech encoder library's one entry point.
#pragma once

#include <cstdint>

extern "C" {
// Compresses little-endian 16-bit samples at 8000 Hz (length in bytes) into 28-byte coded frames. The
// output must hold 28 bytes for every 416 bytes of source; no more is ever written. Returns the bytes
// written (0 for a null output or a source too short for one frame). Not reentrant: state carries over.
uint32_t Encode(const uint8_t* source, uint32_t length, uint8_t* output);
}

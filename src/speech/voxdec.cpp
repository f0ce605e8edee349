#include "voxdec.h"

#include "decoder.h"

extern "C" __attribute__((visibility("default"))) uint32_t Decode(const uint8_t* input, uint32_t length,
                                                                  uint8_t* output, uint32_t capacity) {
  return speech::DecodeFrames(input, length, output, capacity);
}

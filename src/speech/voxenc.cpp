#include "voxenc.h"

#include "encoder.h"

extern "C" __attribute__((visibility("default"))) uint32_t Encode(const uint8_t* source, uint32_t length,
                                                                  uint8_t* output) {
  return speech::EncodeFrames(source, length, output, speech::EncodedCapacity(length));
}

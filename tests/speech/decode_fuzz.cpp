// Fuzz entry for the speech decoder: received voice data is untrusted. The first byte picks the output
// capacity; the rest is the coded message.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "decoder.h"
#include "speechframe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    speech::DecodeFrames(data, 0, nullptr, 0);
    return 0;
  }
  uint32_t capacity = static_cast<uint32_t>(data[0]) * 97;
  const uint8_t* in = data + 1;
  uint32_t length = static_cast<uint32_t>(size - 1);
  std::vector<uint8_t> out(capacity + 16, 0xA5);
  uint32_t written = speech::DecodeFrames(in, length, out.data(), capacity);
  if (written > capacity || written % speech::kFramePcmBytes != 0) std::abort();
  for (size_t i = capacity; i < out.size(); ++i)
    if (out[i] != 0xA5) std::abort();
  if (length >= speech::kFrameBytes) {
    uint8_t again[speech::kFrameBytes];
    speech::PackSpeechFrame(speech::UnpackSpeechFrame(in), again);
    if (std::memcmp(in, again, speech::kFrameBytes) != 0) std::abort();
  }
  return 0;
}

// Fuzz entry: the input is coded sample data after a byte of settings (path, compression, channels, loop,
// read size). Compression-7 and compression-9 sources must stay inside the data and give bounded samples;
// both also from callback buffers cut from the data (compression 9's each opening with its own byte).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platformlib/sound/sndmix.h"

namespace {
std::vector<std::vector<uint8_t>> pieces;
size_t handed = 0;

int handpiece(void* state, int32_t* length) {
  if (handed == pieces.size()) return 1;
  std::vector<uint8_t>& piece = pieces[handed++];
  *static_cast<const uint8_t**>(state) = piece.data();
  *length = static_cast<int32_t>(piece.size());
  return 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t settings = data[0];
  const int mmx = settings & 1;
  const bool c9 = settings & 2;
  const bool stereo = !c9 && (settings & 4);
  const bool buffers = settings & 16;
  const bool looped = !c9 && !buffers && (settings & 8);
  const int readsize = 1 + data[1] % 200;
  // The coded bytes get their own allocation so that a read past them is caught.
  std::vector<uint8_t> coded(data + 2, data + size);
  mixfilltables(mmx);
  const int channels = stereo ? 2 : 1;
  const int32_t length = c9 ? static_cast<int32_t>(coded.size()) * 8 : static_cast<int32_t>(coded.size()) * 2 + 5;
  const int index = (c9 ? 24 : stereo ? 20 : 16) + (buffers ? 2 : looped ? 1 : 0);
  pieces.clear();
  handed = 0;
  if (buffers) {
    // Pieces of 1 to 64 bytes, each in its own allocation.
    const size_t cut = 1 + (settings >> 5) * 9;
    for (size_t at = 0; at < coded.size(); at += cut)
      pieces.emplace_back(coded.begin() + static_cast<std::ptrdiff_t>(at),
                          coded.begin() + static_cast<std::ptrdiff_t>(std::min(coded.size(), at + cut)));
    sndbuffercallback = handpiece;
  }
  alignas(16) static uint8_t state[CODECSTATEBYTES];
  CodecRead read = nullptr;
  CodecPosition position = nullptr;
  codectable[index](0, state, coded.empty() ? nullptr : coded.data(), coded.size(), length, length / 3,
                    looped ? length / 2 : -1, &read, &position);
  std::vector<float> out(static_cast<size_t>(readsize) * channels);
  for (int call = 0; call < 64; ++call) {
    if (read(state, readsize, out.data()) < 0) break;
  }
  sndbuffercallback = nullptr;
  return 0;
}

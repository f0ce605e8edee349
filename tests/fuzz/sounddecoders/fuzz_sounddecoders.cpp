// Fuzz entry: the input is coded sample data after a byte of settings (path, compression, channels, loop,
// read size). Compression-7 and compression-9 sources must stay inside the data and give bounded samples.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platformlib/sndmix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t settings = data[0];
  const int mmx = settings & 1;
  const bool c9 = settings & 2;
  const bool stereo = !c9 && (settings & 4);
  const bool looped = !c9 && (settings & 8);
  const int readsize = 1 + data[1] % 200;
  // The coded bytes get their own allocation so that a read past them is caught.
  std::vector<uint8_t> coded(data + 2, data + size);
  mixfilltables(mmx);
  const int channels = stereo ? 2 : 1;
  const int32_t length = c9 ? static_cast<int32_t>(coded.size()) * 8 : static_cast<int32_t>(coded.size()) * 2 + 5;
  const int index = c9 ? 24 : (stereo ? 20 : 16) + (looped ? 1 : 0);
  alignas(16) static uint8_t state[CODECSTATEBYTES];
  CodecRead read = nullptr;
  CodecPosition position = nullptr;
  codectable[index](0, state, coded.empty() ? nullptr : coded.data(), coded.size(), length, length / 3,
                    looped ? length / 2 : -1, &read, &position);
  std::vector<float> out(static_cast<size_t>(readsize) * channels);
  for (int call = 0; call < 64; ++call) {
    if (read(state, readsize, out.data()) < 0) break;
  }
  return 0;
}

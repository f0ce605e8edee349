// Fuzz entry: a WAV file as the emulated audio CD's track reader takes it. Whatever it accepts is whole frames
// of a format the host plays, taken from inside the bytes given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "winapi/winmm/wavfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);  // its own allocation, so a read past it is caught
  winapi::WavData wav;
  if (!winapi::ParseWav(copy.data(), copy.size(), &wav)) return 0;
  const size_t frame = static_cast<size_t>(wav.channels * wav.bits / 8);
  if (frame == 0 || wav.samples.size() % frame != 0 || wav.samples.size() > size) std::abort();
  if (wav.rate < 8000 || wav.rate > 48000) std::abort();
  return 0;
}

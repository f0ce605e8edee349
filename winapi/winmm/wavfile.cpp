// WAV files: the "fmt " and "data" chunks of a RIFF WAVE, bounds checked.
#include "winapi/winmm/wavfile.h"

#include <cstring>

namespace winapi {

namespace {
uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}
}  // namespace

bool ParseWav(const uint8_t* data, size_t size, WavData* out) {
  *out = WavData{};
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
  bool format = false;
  size_t at = 12;
  while (size - at >= 8) {
    const uint8_t* chunk = data + at;
    const size_t length = Le(chunk + 4, 4);
    const size_t body = at + 8;
    const size_t available = size - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (length < 16 || length > available) return false;
      const uint8_t* f = data + body;
      if (Le(f, 2) != 1) return false;  // PCM only
      out->channels = static_cast<int>(Le(f + 2, 2));
      out->rate = static_cast<int>(Le(f + 4, 4));
      out->bits = static_cast<int>(Le(f + 14, 2));
      if ((out->channels != 1 && out->channels != 2) || (out->bits != 8 && out->bits != 16) || out->rate < 8000 ||
          out->rate > 48000)
        return false;
      format = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!format) return false;
      const size_t frame = static_cast<size_t>(out->channels * out->bits / 8);
      size_t bytes = length < available ? length : available;  // a data chunk cut short keeps what is there
      bytes -= bytes % frame;
      out->samples.assign(data + body, data + body + bytes);
      return true;
    }
    if (length > available) return false;
    at = body + length + (length & 1);
    if (at > size) return false;
  }
  return false;
}

}  // namespace winapi

// Reading a WAV file's PCM: the tracks of the emulated audio CD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winapi {

struct WavData {
  int rate = 0, channels = 0, bits = 0;
  std::vector<uint8_t> samples;  // whole frames, as stored
};

// A RIFF WAVE of PCM (1 or 2 channels, 8 or 16 bits, 8000 to 48000 Hz); false for anything else. Every length
// read from the file is checked against the bytes given.
bool ParseWav(const uint8_t* data, size_t size, WavData* out);

}  // namespace winapi

// Our sound data tools: encoders for compressions 7 and 9, and writers of tagged patches and bank files, the
// counterparts of the platform library's sound system.
#pragma once

#include <cstdint>
#include <vector>

namespace soundtools {

// Compression 7: blocks of 28 frames; each block takes the filter and shift that decode closest to the input
// (as the integer path decodes). Stereo input is interleaved. The search ends hopeless trials early; `searchall`
// tries every choice to the end (the same bytes, slower).
std::vector<uint8_t> encodeadpcm7(const int16_t* samples, int frames, int channels, bool searchall = false);

// Compression 9 of 16-bit mono samples: header and frames of 432 samples (the last one padded with silence).
std::vector<uint8_t> encodec9(const int16_t* samples, int frames);

// One zone of a patch: its ranges and playing values, and its sample.
struct Zone {
  int velocitylow = 0, velocityhigh = 127, keylow = 0, keyhigh = 127;
  int rootkey = 60, finetune = 0, volume = 127, pan = 64, priority = 0, bendrange = 0;
  int playtype = 1;  // 1 from the sample, 2 from the library's buffer callback
  std::vector<std::pair<int32_t, int32_t>> envelope;  // {ticks (negative: forever), level}; empty: the built-in
  int startlevel = 127;
  int bits = 16, channels = 1, compression = 0, rate = 22050;
  int32_t length = 0, loopstart = -1, loopend = -1;
  int quality = 100;
  std::vector<uint8_t> data;  // as stored: PCM, or coded
};

// A patch file: "PT", the zones' tags, then every zone's table and sample data.
std::vector<uint8_t> writepatch(const std::vector<Zone>& zones);

// A bank file of patch files made by `writepatch`: entries hold offsets from themselves, and each sample's
// offset is moved to count from the entry table. An empty patch leaves its entry empty.
std::vector<uint8_t> writebank(const std::vector<std::vector<uint8_t>>& patches);

}  // namespace soundtools

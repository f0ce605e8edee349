// Builds tagged patches and bank files in memory for the sound tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace soundtest {

struct PatchWriter {
  std::vector<uint8_t> bytes{'P', 'T', 0, 0};
  size_t dataoffsettag = 0;  // where tag 0x88's value sits, filled by Data()

  PatchWriter& Tag(int id, int32_t value, int length = 4) {
    bytes.push_back(static_cast<uint8_t>(id));
    bytes.push_back(static_cast<uint8_t>(length));
    for (int i = length - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
    return *this;
  }
  PatchWriter& Mark(uint8_t mark) {
    bytes.push_back(mark);
    return *this;
  }
  // A sample block: 0xFD and its tags; the data offset is filled when the data is appended.
  PatchWriter& Sample(int bits, int channels, int rate, int32_t length, int32_t loopstart = -1, int32_t loopend = -1,
                      int compression = 0) {
    Mark(0xFD);
    Tag(0x81, bits, 1).Tag(0x82, channels, 1).Tag(0x83, compression, 1).Tag(0x84, rate, 2).Tag(0x85, length);
    Tag(0x86, loopstart).Tag(0x87, loopend).Tag(0x91, 100, 1);
    dataoffsettag = bytes.size() + 2;
    Tag(0x88, 0).Tag(0x8A, 0);
    return *this;
  }
  // Ends the stream and appends the sample data, pointing the last sample block at it.
  PatchWriter& Data(const std::vector<uint8_t>& data) {
    Mark(0xFE).Mark(0xFF);
    const uint32_t at = static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) bytes[dataoffsettag + i] = static_cast<uint8_t>(at >> (24 - 8 * i));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
  }
};

// A one-zone patch of 16-bit mono samples at 11,025 Hz.
inline std::vector<uint8_t> SimplePatch(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> data(samples.size() * 2);
  std::memcpy(data.data(), samples.data(), data.size());
  PatchWriter w;
  w.Sample(16, 1, 11025, static_cast<int32_t>(samples.size())).Data(data);
  return w.bytes;
}

}  // namespace soundtest

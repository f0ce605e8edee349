// Sample sources: PCM play types, compression-7 blocks and compression-9 frames.
#include <cstring>

#include "soundfixture.h"

namespace {

struct Codec {
  alignas(16) uint8_t state[CODECSTATEBYTES];
  CodecRead read = nullptr;
  CodecPosition position = nullptr;
  Codec(int index, const void* data, size_t bytes, int32_t length, int32_t loopstart = -1, int32_t loopend = -1) {
    EXPECT_NE(codectable[index], nullptr);
    codectable[index](0, state, static_cast<const uint8_t*>(data), bytes, length, loopstart, loopend, &read, &position);
  }
  int Read(int frames, void* out) { return read(state, frames, out); }
};

class Codecs : public soundtest::SoundTest {};

TEST_F(Codecs, OneShotPadsThenEnds) {
  UsePath(1);
  std::vector<int16_t> data(100);
  for (int i = 0; i < 100; ++i) data[i] = static_cast<int16_t>(i + 1);
  Codec c(8, data.data(), data.size() * 2, 100);
  int16_t out[64];
  EXPECT_EQ(c.Read(64, out), 1);
  EXPECT_EQ(out[63], 64);
  EXPECT_EQ(c.Read(64, out), 1);
  EXPECT_EQ(out[35], 100);
  EXPECT_EQ(out[36], 0);
  EXPECT_EQ(out[63], 0);
  EXPECT_EQ(c.Read(64, out), -1);
  EXPECT_EQ(c.position(c.state), 128);
}

TEST_F(Codecs, LoopWrapsToItsStart) {
  UsePath(0);
  std::vector<int8_t> data(30);
  for (int i = 0; i < 30; ++i) data[i] = static_cast<int8_t>(i);
  Codec c(1, data.data(), data.size(), 30, 10, 19);
  float skip[15], out[12];
  EXPECT_EQ(c.Read(15, skip), 1);
  EXPECT_EQ(c.Read(12, out), 1);
  const int expected[12] = {15, 16, 17, 18, 19, 10, 11, 12, 13, 14, 15, 16};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(out[i], expected[i] * 256.0f) << i;
}

TEST_F(Codecs, DataShorterThanItsLengthReadsAsSilence) {
  UsePath(1);
  const int16_t data[4] = {5, 6, 7, 8};
  Codec c(8, data, sizeof data, 1000);  // the length claims more than the data holds
  int16_t out[8];
  EXPECT_EQ(c.Read(8, out), 1);
  EXPECT_EQ(out[3], 8);
  EXPECT_EQ(out[4], 0);
  Codec looped(9, data, sizeof data, 1000, 2, 500);  // the loop is cut to the data
  EXPECT_EQ(looped.Read(8, out), 1);
  const int16_t expected[8] = {5, 6, 7, 8, 7, 8, 7, 8};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], expected[i]);
}

TEST_F(Codecs, Compression7Blocks) {
  uint8_t block[15];
  block[0] = 0x0C;
  std::memset(block + 1, 0x11, 14);
  Adpcm7Channel h[2] = {};
  int16_t out[28];
  adpcm7blockint(block, 1, h, out);
  for (int16_t v : out) EXPECT_EQ(v, 1);
  block[0] = 0x00;
  std::memset(block + 1, 0x88, 14);
  Adpcm7Channel hf[2] = {};
  float fout[28];
  adpcm7blockfloat(block, 1, hf, fout);
  EXPECT_EQ(fout[0], -32768.0f);
  EXPECT_EQ(adpcmtables[0][8], -32768);
  EXPECT_EQ(adpcmtables[12][1], 1);
  // Filter or shift outside the tables: silence, and the history starts again.
  for (uint8_t header : {0x4C, 0x0D, 0xFF}) {
    Adpcm7Channel hist[2] = {{100, 200, 1.0f, 2.0f}, {}};
    block[0] = header;
    adpcm7blockint(block, 1, hist, out);
    for (int16_t v : out) EXPECT_EQ(v, 0);
    EXPECT_EQ(hist[0].p1, 0);
  }
}

TEST_F(Codecs, Compression7BothPathsGolden) {
  // Four mono blocks through each filter, then two stereo blocks with their own filters per side.
  std::vector<uint8_t> mono;
  const uint8_t headers[4] = {0x08, 0x19, 0x2A, 0x3B};
  for (int b = 0; b < 4; ++b) {
    mono.push_back(headers[b]);
    for (int i = 0; i < 14; ++i) mono.push_back(static_cast<uint8_t>((i * 37 + b * 11) & 0xFF));
  }
  std::vector<uint8_t> stereo;
  for (int b = 0; b < 2; ++b) {
    stereo.push_back(b ? 0x31 : 0x12);
    stereo.push_back(b ? 0x48 : 0x26);
    for (int i = 0; i < 28; ++i) stereo.push_back(static_cast<uint8_t>((i * 53 + b) & 0xFF));
  }
  std::vector<int> ints;
  std::vector<float> floats;
  for (int path : {1, 0}) {
    UsePath(path);
    Codec m(16, mono.data(), mono.size(), 112);
    Codec s(20, stereo.data(), stereo.size(), 56);
    alignas(16) uint8_t out[112 * 2 * 4];
    EXPECT_EQ(m.Read(112, out), 1);
    for (int i = 0; i < 112; ++i)
      path ? ints.push_back(reinterpret_cast<int16_t*>(out)[i]) : floats.push_back(reinterpret_cast<float*>(out)[i]);
    EXPECT_EQ(s.Read(56, out), 1);
    for (int i = 0; i < 112; ++i)
      path ? ints.push_back(reinterpret_cast<int16_t*>(out)[i]) : floats.push_back(reinterpret_cast<float*>(out)[i]);
    EXPECT_EQ(m.Read(1, out), -1);
  }
  soundtest::ExpectGolden("adpcm7_int", ints);
  soundtest::ExpectGolden("adpcm7_float", floats);
}

TEST_F(Codecs, Compression7ReadsAcrossBlocks) {
  UsePath(1);
  uint8_t data[45];
  for (int b = 0; b < 3; ++b) {
    data[b * 15] = 0x0C;
    for (int i = 1; i < 15; ++i) data[b * 15 + i] = static_cast<uint8_t>(((b + 1) << 4) | (b + 1));
  }
  Codec c(16, data, sizeof data, 78);
  int16_t out[50];
  EXPECT_EQ(c.Read(30, out), 1);
  EXPECT_EQ(out[27], 1);
  EXPECT_EQ(out[28], 2);  // the second block's code 2 >> 12
  EXPECT_EQ(c.Read(50, out), 1);
  EXPECT_EQ(out[25], 2);
  EXPECT_EQ(out[26], 3);
  EXPECT_EQ(out[47], 3);
  EXPECT_EQ(out[48], 0);  // past the length
  EXPECT_EQ(c.Read(1, out), -1);
}

using soundtest::BitWriter;
using soundtest::FlatSpectrum;
using soundtest::Header;

TEST_F(Codecs, Compression9PulseAndPitchRepeat) {
  BitWriter w;
  Header(w);
  FlatSpectrum(w);
  // Subframe 0: one pulse of +1 at amplitude 8, the rest zero.
  w.Put(0, 8), w.Put(0, 4), w.Put(0, 6);
  w.Put(0b001, 3);  // level 1, sign +
  w.Zeros(107);
  // Subframe 1: repeats subframe 0 (lag 88 + 20 = 108) at gain 8/16.
  w.Put(88, 8), w.Put(8, 4), w.Put(0, 6);
  w.Zeros(108);
  for (int s = 2; s < 4; ++s) {
    w.Put(0, 8), w.Put(0, 4), w.Put(0, 6);
    w.Zeros(108);
  }
  std::vector<uint8_t> storage(c9statesize() + 16);
  C9Decoder* d = reinterpret_cast<C9Decoder*>(storage.data());
  c9start(d, w.bytes.data(), w.bytes.size());
  float out[C9FRAME];
  EXPECT_EQ(c9decodeframe(d, out), 1);
  EXPECT_EQ(out[0], 8.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[108], 4.0f);
  EXPECT_EQ(out[216], 0.0f);
  EXPECT_EQ(c9toint(out[0]), 8);
  EXPECT_EQ(c9toint(-3.5f), -4);  // round to even
  EXPECT_EQ(c9decodeframe(d, out), 0);  // the data is used up
  EXPECT_EQ(out[0], 0.0f);
}

TEST_F(Codecs, Compression9OneShotReader) {
  BitWriter w;
  Header(w);
  for (int frame = 0; frame < 2; ++frame) soundtest::TernaryFrame(w, frame);
  std::vector<int> ints;
  std::vector<float> floats;
  for (int path : {1, 0}) {
    UsePath(path);
    Codec c(24, w.bytes.data(), w.bytes.size(), 900);
    alignas(16) uint8_t out[512 * 4];
    for (int call = 0; call < 2; ++call) {
      EXPECT_EQ(c.Read(512, out), 1);
      for (int i = 0; i < 512; ++i)
        path ? ints.push_back(reinterpret_cast<int16_t*>(out)[i]) : floats.push_back(reinterpret_cast<float*>(out)[i]);
    }
    EXPECT_EQ(c.Read(1, out), -1);
  }
  for (int i = 0; i < 900; ++i) EXPECT_EQ(ints[i], c9toint(floats[i])) << i;
  for (int i = 900; i < 1024; ++i) EXPECT_EQ(floats[i], 0.0f);
  soundtest::ExpectGolden("c9_oneshot", ints);
}

// Compression 9 from the buffer callback: fresh and continuing buffers decode as one run of the decoder would,
// on both paths; when the callback has no more, the rest is silence, and the voice then ends.
std::vector<std::vector<uint8_t>>* handout = nullptr;
size_t handed = 0;

TEST_F(Codecs, Compression9CallbackBuffers) {
  soundtest::C9Buffers coded;
  coded.Add(true, 1, 0).Add(false, 2, 1).Add(false, 0, 0).Add(true, 1, 4);  // an empty one is passed over
  const std::vector<int16_t> decoded = coded.Decoded();
  ASSERT_EQ(decoded.size(), 4u * C9FRAME);
  handout = &coded.buffers;
  sndbuffercallback = [](void* state, int32_t* length) {
    if (handed == handout->size()) {
      *static_cast<const uint8_t**>(state) = nullptr;
      return 1;
    }
    const std::vector<uint8_t>& b = (*handout)[handed++];
    *static_cast<const uint8_t**>(state) = b.data();
    *length = static_cast<int32_t>(b.size());
    return 0;
  };
  const uint8_t marker = 0;
  std::vector<float> floats;
  for (int path : {1, 0}) {
    UsePath(path);
    handed = 0;
    Codec c(26, &marker, 1, 0);
    EXPECT_EQ(c.position, nullptr);
    alignas(16) uint8_t out[500 * 4];
    std::vector<int> got;
    for (int call = 0; call < 4; ++call) {
      EXPECT_EQ(c.Read(500, out), 1);
      for (int i = 0; i < 500; ++i)
        path ? got.push_back(reinterpret_cast<int16_t*>(out)[i])
             : (floats.push_back(reinterpret_cast<float*>(out)[i]), got.push_back(c9toint(floats.back())));
    }
    EXPECT_EQ(c.Read(1, out), -1);
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(got[i], i < decoded.size() ? decoded[i] : 0) << path << " " << i;
  }
  sndbuffercallback = nullptr;
}

}  // namespace

// Compression 7 from the buffer callback: whole blocks cut into buffers (one without a block, one with a stray
// byte past its last block) decode, on both paths and in mono and stereo, as the same blocks read as one
// sample; then the rest is silence and the voice ends.
std::vector<std::vector<uint8_t>>* adpcmout = nullptr;
size_t adpcmhanded = 0;

TEST_F(Codecs, Compression7CallbackBuffers) {
  adpcmout = nullptr;
  sndbuffercallback = [](void* state, int32_t* length) {
    if (adpcmhanded == adpcmout->size()) {
      *static_cast<const uint8_t**>(state) = nullptr;
      return 1;
    }
    const std::vector<uint8_t>& b = (*adpcmout)[adpcmhanded++];
    *static_cast<const uint8_t**>(state) = b.data();
    *length = static_cast<int32_t>(b.size());
    return 0;
  };
  for (int channels : {1, 2}) {
    const int blockbytes = channels == 2 ? 30 : 15;
    std::vector<uint8_t> whole;
    for (int b = 0; b < 5; ++b) {
      const uint8_t header[2] = {static_cast<uint8_t>(0x10 * (b % 4) + 2 + b), static_cast<uint8_t>(0x21 + b)};
      for (int i = 0; i < blockbytes; ++i)
        whole.push_back(i < channels ? header[i] : static_cast<uint8_t>((i * 29 + b * 7) & 0xFF));
    }
    std::vector<std::vector<uint8_t>> buffers = {
        {whole.begin(), whole.begin() + 2 * blockbytes},
        {1, 2, 3, 4, 5, 6, 7},  // no whole block: passed over
        {whole.begin() + 2 * blockbytes, whole.begin() + 3 * blockbytes},
        {whole.begin() + 3 * blockbytes, whole.end()}};
    buffers[2].push_back(0x77);  // not a whole block: never read
    adpcmout = &buffers;
    const int frames = 5 * ADPCM7FRAMES;
    for (int path : {1, 0}) {
      UsePath(path);
      adpcmhanded = 0;
      const size_t unit = (path ? 2 : 4) * static_cast<size_t>(channels);
      Codec oneshot(channels == 2 ? 20 : 16, whole.data(), whole.size(), frames);
      std::vector<uint8_t> expected(static_cast<size_t>(frames + 60) * unit, 0);
      EXPECT_EQ(oneshot.Read(frames, expected.data()), 1);
      const uint8_t marker = 0;
      Codec c(channels == 2 ? 22 : 18, &marker, 1, 0);
      EXPECT_EQ(c.position, nullptr);
      std::vector<uint8_t> got(expected.size(), 0xEE);
      int at = 0;
      for (int size : {33, 60, 1, 46, 60}) {  // 200 frames: 140 decoded, then silence
        EXPECT_EQ(c.Read(size, got.data() + at * unit), 1);
        at += size;
      }
      EXPECT_EQ(got, expected) << channels << " " << path;
      uint8_t one[8];
      EXPECT_EQ(c.Read(1, one), -1);
    }
  }
  sndbuffercallback = nullptr;
}

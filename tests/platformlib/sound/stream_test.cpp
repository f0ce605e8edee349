// Sound streams: a request of chunks from memory plays through the packet player, with its status on the way.
#include <algorithm>
#include <cstring>

#include "platformlib/soundstream/sndstream.h"
#include "voicefixture.h"

namespace {

void Chunk(std::vector<uint8_t>& file, uint32_t id, const std::vector<uint8_t>& data) {
  const uint32_t size = static_cast<uint32_t>(data.size() + 8);
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(id >> (8 * i)));
  for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(size >> (8 * i)));
  file.insert(file.end(), data.begin(), data.end());
}

using soundtest::Constant;

class Streams : public soundtest::VoiceTest {};

TEST_F(Streams, RequestPlaysChunkByChunk) {
  soundtest::PatchWriter tags;
  tags.Sample(16, 1, 22050, 0);
  std::vector<uint8_t> file;
  std::vector<uint8_t> header(tags.bytes.begin() + 5, tags.bytes.end());
  while (header.size() % 4) header.push_back(0xFC);  // padding keeps the next chunk aligned
  Chunk(file, kSoundHeaderId, header);
  const int16_t values[3] = {1000, 2000, 3000};
  for (int16_t v : values) Chunk(file, kSoundDataId, Constant(100, v));
  Chunk(file, kSoundEndId, {});

  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  const int records = SNDSTRM_memsize(2, 8);
  ASSERT_GT(records, 0);
  std::vector<uint8_t> memory(static_cast<size_t>(records) + kSoundStreamBuffer + 4096);
  const int id = SNDSTRM_create(&o, 2, 8, memory.data(), memory.size(), nullptr);
  ASSERT_GE(id, 0);
  const int request = SNDSTRM_queuemem(id, 7, file.data(), static_cast<uint32_t>(file.size()));
  ASSERT_GE(request, 0);
  EXPECT_EQ(request & 0xFF, id);
  int32_t status[4] = {9, 9, 9, 9};
  EXPECT_EQ(SNDSTRM_requeststatus(request, status), 0);
  EXPECT_EQ(status[0], 0);  // waiting for data
  EXPECT_EQ(SNDSTRM_voice(id), -1);

  sndstreamservice();
  EXPECT_GE(SNDSTRM_voice(id), 0);
  EXPECT_EQ(SNDSTRM_requeststatus(request, status), 0);
  EXPECT_EQ(status[0], 2);  // playing
  EXPECT_EQ(status[1], 600);
  EXPECT_EQ(status[2], 3);
  EXPECT_EQ(status[3], 600 * 1000 / (22050 * 2));

  const std::vector<int16_t> out = Mix(300);
  for (int k = 0; k < 300; ++k) ASSERT_EQ(out[2 * k], 2 * ((32512 * values[k / 100]) >> 16)) << k;
  Mix(256);  // finds the last packet used up
  Mix(256);  // and hands it back
  sndstreamservice();
  EXPECT_EQ(SNDSTRM_requeststatus(request, status), 0);
  EXPECT_EQ(status[0], 3);  // finished
  EXPECT_EQ(SNDSTRM_requeststatus(-1, status), -8);
  EXPECT_EQ(SNDSTRM_destroy(id), 0);
  EXPECT_EQ(SNDSTRM_destroy(id), -8);
}

TEST_F(Streams, NewHeaderWaitsForTheQueueToEmpty) {
  std::vector<uint8_t> files[2];
  for (int f = 0; f < 2; ++f) {
    soundtest::PatchWriter tags;
    tags.Sample(16, 1, f ? 11025 : 22050, 0);
    std::vector<uint8_t> header(tags.bytes.begin() + 5, tags.bytes.end());
    while (header.size() % 4) header.push_back(0xFC);
    Chunk(files[f], kSoundHeaderId, header);
    Chunk(files[f], kSoundDataId, Constant(64, static_cast<int16_t>(1000 * (f + 1))));
    Chunk(files[f], kSoundEndId, {});
  }
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  std::vector<uint8_t> memory(static_cast<size_t>(SNDSTRM_memsize(2, 8)) + kSoundStreamBuffer + 4096);
  const int id = SNDSTRM_create(&o, 2, 8, memory.data(), memory.size(), nullptr);
  ASSERT_GE(id, 0);
  const int first = SNDSTRM_queuemem(id, 0, files[0].data(), static_cast<uint32_t>(files[0].size()));
  const int second = SNDSTRM_queuemem(id, 0, files[1].data(), static_cast<uint32_t>(files[1].size()));
  ASSERT_GE(second, 0);
  EXPECT_EQ(SNDSTRM_queuemem(id, 0, files[1].data(), static_cast<uint32_t>(files[1].size())), -13);
  sndstreamservice();
  int32_t status[4];
  SNDSTRM_requeststatus(second, status);
  EXPECT_EQ(status[0], 0);  // its data waits behind the first request's packets
  const int voice = SNDSTRM_voice(id);
  std::vector<int16_t> out = Mix(64);
  EXPECT_EQ(out[0], 2 * ((32512 * 1000) >> 16));
  Mix(64);
  Mix(64);
  sndstreamservice();  // the queue is empty: the voice starts again at the new rate
  EXPECT_NE(SNDSTRM_voice(id), voice);
  SNDSTRM_requeststatus(first, status);
  EXPECT_EQ(status[0], 3);
  SNDSTRM_requeststatus(second, status);
  EXPECT_EQ(status[0], 2);
  out = Mix(128);
  // Half the output rate: each frame twice, through the interpolator's rule at fraction 0 and one half.
  const int16_t steady = 2 * ((32512 * ((2000 * 32767) >> 15)) >> 16);
  EXPECT_EQ(out[0], steady);
  EXPECT_EQ(out[2 * 101], steady);
  EXPECT_EQ(SNDSTRM_destroy(id), 0);
}

// Streams whose header says compression 7 or 9 play as PCM streams of their decoded samples: each "SCDl"
// chunk is a packet, the decoder's history running on from one to the next.
TEST_F(Streams, CompressedStreamsPlayAsTheirDecodedSamples) {
  // Compression 7: three chunks of two, one and three mono blocks.
  std::vector<std::vector<uint8_t>> blocks7(3);
  std::vector<int16_t> decoded7;
  Adpcm7Channel history[2] = {};
  const int counts[3] = {2, 1, 3};
  for (int c = 0, b = 0; c < 3; ++c) {
    for (int k = 0; k < counts[c]; ++k, ++b) {
      uint8_t block[15];
      block[0] = static_cast<uint8_t>(((b % 4) << 4) | (5 + b % 3));  // filter, shift
      for (int i = 1; i < 15; ++i) block[i] = static_cast<uint8_t>(i * 29 + b * 83);
      blocks7[c].insert(blocks7[c].end(), block, block + 15);
      int16_t out[ADPCM7FRAMES];
      adpcm7blockint(block, 1, history, out);
      decoded7.insert(decoded7.end(), out, out + ADPCM7FRAMES);
    }
  }
  soundtest::C9Buffers coded9;
  coded9.Add(true, 1, 0).Add(false, 1, 1).Add(false, 1, 2);
  const std::vector<int16_t> decoded9 = coded9.Decoded();


  auto play = [](int compression, const std::vector<std::vector<uint8_t>>& chunks, int frames) {
    soundtest::PatchWriter tags;
    tags.Sample(16, 1, 22050, 0, -1, -1, compression);
    std::vector<uint8_t> file;
    std::vector<uint8_t> header(tags.bytes.begin() + 5, tags.bytes.end());
    while (header.size() % 4) header.push_back(0xFC);
    Chunk(file, kSoundHeaderId, header);
    for (std::vector<uint8_t> chunk : chunks) {
      while (chunk.size() % 4) chunk.push_back(0);  // past the last whole block or frame: not read
      Chunk(file, kSoundDataId, chunk);
    }
    Chunk(file, kSoundEndId, {});
    SNDPLAYOPTS o;
    SNDplaysetdef(&o);
    std::vector<uint8_t> memory(static_cast<size_t>(SNDSTRM_memsize(2, 8)) + kSoundStreamBuffer + 4096);
    const int id = SNDSTRM_create(&o, 2, 8, memory.data(), memory.size(), nullptr);
    EXPECT_GE(id, 0);
    EXPECT_GE(SNDSTRM_queuemem(id, 0, file.data(), static_cast<uint32_t>(file.size())), 0);
    sndstreamservice();
    EXPECT_GE(SNDSTRM_voice(id), 0);
    std::vector<int16_t> out(static_cast<size_t>(frames + 40) * 2);
    iSNDdllmix(out.data(), frames + 40);
    EXPECT_EQ(SNDSTRM_destroy(id), 0);
    return out;
  };
  // The same samples as PCM chunks, split where the compressed chunks end.
  auto pcmchunks = [](const std::vector<int16_t>& samples, std::initializer_list<size_t> ends) {
    std::vector<std::vector<uint8_t>> chunks;
    size_t from = 0;
    for (size_t end : ends) {
      std::vector<uint8_t> chunk((end - from) * 2);
      std::memcpy(chunk.data(), samples.data() + from, chunk.size());
      chunks.push_back(chunk);
      from = end;
    }
    return chunks;
  };
  const int frames7 = static_cast<int>(decoded7.size());
  const std::vector<int16_t> heard7 = play(7, blocks7, frames7);
  EXPECT_EQ(heard7, play(0, pcmchunks(decoded7, {56, 84, 168}), frames7));
  const int frames9 = static_cast<int>(decoded9.size());
  const std::vector<int16_t> heard9 = play(9, coded9.buffers, frames9);
  EXPECT_EQ(heard9, play(0, pcmchunks(decoded9, {432, 864, 1296}), frames9));
  for (const std::vector<int16_t>* heard : {&heard7, &heard9}) {
    int loud = 0;
    for (int16_t v : *heard) loud = std::max(loud, std::abs(static_cast<int>(v)));
    EXPECT_GT(loud, 50);
  }
}

TEST_F(Streams, Refusals) {
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  std::vector<uint8_t> memory(100);
  const platformtest::Abort a = platformtest::CatchAbort([&] { SNDSTRM_create(&o, 0, 8, memory.data(), 100, nullptr); });
  EXPECT_NE(a.text.find("SNDSTRM_create... - maxrequests OF 0 IS OUT OF RANGE. VALID RANGE IS 1..127.\n"),
            std::string::npos);
  const platformtest::Abort small =
      platformtest::CatchAbort([&] { SNDSTRM_create(&o, 2, 8, memory.data(), memory.size(), nullptr); });
  EXPECT_NE(small.text.find("SNDSTRM_create... - INSUFFICIENT AMOUNT OF MEMORY FOR STREAMING.\n"), std::string::npos);
  sndinitialised = 0;
  EXPECT_EQ(SNDSTRM_create(&o, 2, 8, memory.data(), memory.size(), nullptr), -10);
  int32_t status[4];
  EXPECT_EQ(SNDSTRM_requeststatus(0, status), -10);
  sndinitialised = 1;
  EXPECT_EQ(iSNDplatformcalcdatarate(22050, 2, 0), 88200);
  EXPECT_EQ(iSNDplatformcalcdatarate(11025, 1, 3), 11025 * 136 / 256);
}

}  // namespace

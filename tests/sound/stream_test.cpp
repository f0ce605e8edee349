// Sound streams: a request of chunks from memory plays through the packet player, with its status on the way.
#include "platformlib/sndstream.h"
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

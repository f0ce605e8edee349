// A .mad movie read from disk through a stream: the header to one tap, the frames to another, each decoded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "movieenc.h"
#include "platformlib/files/filesys.h"
#include "platformlib/movie/movie.h"
#include "platformlib/stream/stream.h"
#include "platformlib/files/files_fixture.h"

namespace {

class MovieStreamTest : public LibraryFilesTest {
 protected:
  void SetUp() override {
    LibraryFilesTest::SetUp();
    ASSERT_EQ(FILE_init(0, 0), 1);
  }
  void TearDown() override {
    FILE_exit();
    LibraryFilesTest::TearDown();
  }
};

TEST_F(MovieStreamTest, FramesOfAMovieFileDecodeInOrder) {
  const int width = 48, height = 32, count = 6;
  std::vector<std::vector<uint8_t>> frames;
  for (int f = 0; f < count; ++f) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(40 + f * 30 + (i % (width * 3)) / 3);
    frames.push_back(rgb);
  }
  const std::vector<uint8_t> movie = movietools::encodemovie(frames, width, height, 2, 1500);
  HostFile("c/test.mad", std::string(movie.begin(), movie.end()));
  std::vector<uint8_t> memory(0x10000);
  STREAM_HANDLE stream = STREAM_create(2, 3, 2, memory.data(), static_cast<uint32_t>(memory.size()));
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(STREAM_setfilter(stream, 1, 0xFFFFFFFF, kMadHeaderId, 2), 1);
  ASSERT_EQ(STREAM_setfilter(stream, 2, 0xFFFFFFFF, kMadFrameId, 1), 1);
  ASSERT_EQ(STREAM_setfilter(stream, 3, 0, 0, kTapDiscard), 1);
  ASSERT_NE(STREAM_queuefile(stream, "C:\\test.mad", 0, static_cast<int32_t>(kMadEndId)), 0u);
  STREAM_HANDLE headers = STREAM_taphandle(stream, 2);
  MovieHeader header{};
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  int decoded = 0;
  bool haveheader = false;
  for (int round = 0; round < 100000 && !(STREAM_isendofstream(stream) && STREAM_isendofstream(headers)); ++round) {
    if (ChunkHeader* h = STREAM_get(headers)) {
      ASSERT_EQ(movieparseheader(reinterpret_cast<uint8_t*>(h) + 8, h->size - 8, &header), 0);
      haveheader = true;
      STREAM_release(headers, h);
    }
    if (!haveheader) {
      Sleep(1);
      continue;
    }
    while (ChunkHeader* c = STREAM_get(stream)) {
      ASSERT_EQ(moviedecodeframe(reinterpret_cast<uint8_t*>(c) + 8, c->size - 8, frame.data(), header.width, header.height), 0);
      // The mean luminance follows the frames' brightness.
      double sum = 0;
      for (PixelPair p : frame) sum += (p >> 24) + ((p >> 16) & 0xFF);
      const double mean = 2 * sum / (width * height);
      EXPECT_NEAR(mean, 40 + decoded * 30 + (width - 1) / 2.0, 4.0) << decoded;
      ++decoded;
      STREAM_release(stream, c);
    }
    Sleep(1);
  }
  EXPECT_EQ(header.width, width);
  EXPECT_EQ(header.frames, static_cast<uint32_t>(count));
  EXPECT_EQ(header.rate, 1500u);
  EXPECT_EQ(decoded, count);
  STREAM_destroy(stream);
}

}  // namespace

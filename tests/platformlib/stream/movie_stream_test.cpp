// A .mad movie read from disk through a stream: its picture chunks, of the three kinds, each parsed and decoded.
#include <gtest/gtest.h>

#include <array>
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
  STREAM_HANDLE stream = STREAM_create(2, 4, 2, memory.data(), static_cast<uint32_t>(memory.size()));
  ASSERT_NE(stream, nullptr);
  // Picture chunks of all three kinds to the reader; the end chunk, alike but for its case, is not one of them.
  for (int f = 0; f < 3; ++f)
    ASSERT_EQ(STREAM_setfilter(stream, f + 1, 0xFFFFFFFF, std::array{kMadKeyId, kMadFrameId, kMadDropId}[f], 1), 1);
  ASSERT_EQ(STREAM_setfilter(stream, 4, 0, 0, kTapDiscard), 1);
  ASSERT_NE(STREAM_queuefile(stream, "C:\\test.mad", 0, static_cast<int32_t>(kMadEndId)), 0u);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  std::vector<uint32_t> ids;
  for (int round = 0; round < 100000 && !STREAM_isendofstream(stream); ++round) {
    while (ChunkHeader* c = STREAM_get(stream)) {
      MovieFrame parsed{};
      ASSERT_EQ(movieparseframe(reinterpret_cast<uint8_t*>(c), c->size, &parsed), 0);
      EXPECT_EQ(parsed.width, width);
      EXPECT_EQ(parsed.height, height);
      EXPECT_EQ(parsed.duration, static_cast<uint32_t>(std::lround(1000.0 / 15 * 65536)));
      ASSERT_EQ(moviedecodepicture(parsed, frame.data()), 0);
      // The mean luminance follows the frames' brightness.
      double sum = 0;
      for (PixelPair p : frame) sum += (p >> 24) + ((p >> 16) & 0xFF);
      const double mean = 2 * sum / (width * height);
      EXPECT_NEAR(mean, 40 + static_cast<int>(ids.size()) * 30 + (width - 1) / 2.0, 4.0) << ids.size();
      ids.push_back(parsed.id);
      STREAM_release(stream, c);
    }
    Sleep(1);
  }
  EXPECT_EQ(ids, (std::vector<uint32_t>{kMadKeyId, kMadDropId, kMadFrameId, kMadDropId, kMadFrameId, kMadDropId}));
  STREAM_destroy(stream);
}

}  // namespace

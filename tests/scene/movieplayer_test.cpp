// The .mad player on a clock of its own: frames shown at their due times, late ones dropped by kind, the abort
// keys, damaged chunks refused and the chunk reader's bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "movieenc.h"
#include "scene/movieplayer.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

std::vector<std::vector<uint8_t>> Frames(int count, int width, int height) {
  std::vector<std::vector<uint8_t>> frames;
  for (int f = 0; f < count; ++f)
    frames.emplace_back(static_cast<size_t>(width) * height * 3, static_cast<uint8_t>(20 + 10 * f));
  return frames;
}

ChunkSource FromMemory(const std::vector<uint8_t>& bytes) {
  auto at = std::make_shared<size_t>(0);
  return [&bytes, at](uint8_t* to, size_t count) {
    const size_t n = std::min(count, bytes.size() - *at);
    std::memcpy(to, bytes.data() + *at, n);
    *at += n;
    return n;
  };
}

// A clock moved only by the player's waits and by `costPerShow` for each frame shown.
struct FakeScreen {
  uint32_t now = 1000, costPerShow = 0;
  int abortAfterShows = -1;
  std::vector<int> shownLuma;
  MovieOutput Output() {
    MovieOutput out;
    out.show = [this](const PixelPair* frame, int32_t, int32_t, int32_t, int32_t) {
      shownLuma.push_back(static_cast<int>(frame[0] >> 24));
      now += costPerShow;
    };
    out.clock = [this] { return now; };
    out.wait = [this](uint32_t ms) { now += ms; };
    out.abort = [this] { return abortAfterShows >= 0 && static_cast<int>(shownLuma.size()) >= abortAfterShows; };
    return out;
  }
};

TEST(MoviePlayer, OnTimeEveryFrameIsShownInOrder) {
  const std::vector<uint8_t> movie = movietools::encodemovie(Frames(20, 32, 16), 32, 16, 2, 1500);
  MadChunkReader reader(FromMemory(movie));
  FakeScreen screen;
  MoviePlayStats stats;
  EXPECT_EQ(RunMadPlayer(reader, 0, 0, screen.Output(), &stats), 0);
  EXPECT_EQ(stats.shown, 20);
  EXPECT_EQ(stats.skipped + stats.droppedDroppable + stats.droppedOther, 0);
  ASSERT_EQ(screen.shownLuma.size(), 20u);
  for (size_t i = 1; i < screen.shownLuma.size(); ++i) EXPECT_GT(screen.shownLuma[i], screen.shownLuma[i - 1]);
  // 20 frames at 15 a second end on the last one's due time.
  EXPECT_GE(screen.now - 1000, 19u * 1000 / 15);
  EXPECT_LT(screen.now - 1000, 20u * 1000 / 15);
}

TEST(MoviePlayer, LateFramesAreDroppedButKeyFramesNever) {
  const std::vector<uint8_t> movie = movietools::encodemovie(Frames(40, 32, 16), 32, 16, 2, 1500);
  MadChunkReader reader(FromMemory(movie));
  FakeScreen screen;
  screen.costPerShow = 150;  // each frame takes longer to show than it lasts
  MoviePlayStats stats;
  EXPECT_EQ(RunMadPlayer(reader, 0, 0, screen.Output(), &stats), 0);
  EXPECT_GT(stats.droppedDroppable, 0);
  EXPECT_GT(stats.droppedOther, 0);
  EXPECT_EQ(stats.shown + stats.skipped + stats.droppedDroppable + stats.droppedOther, 40);
  // The five key frames (0, 8, ... 32) are all decoded: none of them is among the drops.
  EXPECT_GE(stats.shown + stats.skipped, 5);
  EXPECT_LE(stats.droppedOther, 40 - 20 - 5);  // "MADm" frames only: 15 of them
}

TEST(MoviePlayer, AKeyDuringPreRollEndsTheMovieWithOne) {
  const std::vector<uint8_t> movie = movietools::encodemovie(Frames(12, 32, 16), 32, 16, 2, 1500);
  for (int after : {0, 3}) {
    MadChunkReader reader(FromMemory(movie));
    FakeScreen screen;
    screen.abortAfterShows = after;
    EXPECT_EQ(RunMadPlayer(reader, 0, 0, screen.Output(), nullptr), 1) << after;
    EXPECT_EQ(static_cast<int>(screen.shownLuma.size()), after);
  }
}

// The click or key that started a movie (pressed and let go before it) does not end it; one during it does.
TEST(MoviePlayer, APressBeforeTheMovieDoesNotEndIt) {
  winapi::testing::Reset();
  const auto press = [](BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
  };
  for (BYTE key : {BYTE{VK_ESCAPE}, BYTE{VK_SPACE}}) {
    press(key);
    ClearMovieAbort();
    EXPECT_EQ(MovieAbortRequested(), 0) << int(key);
    press(key);
    EXPECT_EQ(MovieAbortRequested(), 1) << int(key);
  }
  ClearMovieAbort();
}

std::vector<uint8_t> Chunk(uint32_t id, std::vector<uint8_t> data) {
  std::vector<uint8_t> out;
  movietools::appendchunk(out, id, data);
  return out;
}

std::vector<uint8_t> PictureChunk(uint32_t id, uint16_t width, uint16_t height, size_t pictureBytes) {
  std::vector<uint8_t> data(16 + pictureBytes, 0);
  data[0] = 2;
  data[5] = 0x41;  // 16.16 ms
  data[8] = static_cast<uint8_t>(width), data[9] = static_cast<uint8_t>(width >> 8);
  data[10] = static_cast<uint8_t>(height), data[11] = static_cast<uint8_t>(height >> 8);
  return Chunk(id, data);
}

TEST(MoviePlayer, PictureChunksAreCheckedWithinTheirBytes) {
  struct Case {
    const char* what;
    std::vector<uint8_t> chunk;
    int result;
  } cases[] = {
      {"key", PictureChunk(kMadKeyId, 32, 16, 4), 0},
      {"droppable", PictureChunk(kMadDropId, 32, 16, 4), 0},
      {"end chunk, same letters", PictureChunk(kMadEndId, 32, 16, 4), -2},
      {"no picture", PictureChunk(kMadKeyId, 32, 16, 0), -2},
      {"zero width", PictureChunk(kMadKeyId, 0, 16, 4), -2},
      {"unaligned", PictureChunk(kMadKeyId, 40, 16, 4), -2},
      {"oversized", PictureChunk(kMadKeyId, kMadMaxWidth + 16, 16, 4), -2},
      {"short of its fields", Chunk(kMadKeyId, std::vector<uint8_t>(12, 0)), -2},
  };
  for (const Case& c : cases) {
    MovieFrame f{};
    EXPECT_EQ(movieparseframe(c.chunk.data(), c.chunk.size(), &f), c.result) << c.what;
  }
  // A stated size past the bytes given.
  std::vector<uint8_t> cut = PictureChunk(kMadKeyId, 32, 16, 8);
  cut.resize(cut.size() - 4);
  MovieFrame f{};
  EXPECT_EQ(movieparseframe(cut.data(), cut.size(), &f), -2);
}

TEST(MoviePlayer, StreamsWithoutAGoodFirstPictureAreRefused) {
  std::vector<uint8_t> sound = Chunk(0x534E4421, std::vector<uint8_t>(40, 7));
  std::vector<uint8_t> end = Chunk(kMadEndId, {});
  std::vector<uint8_t> soundOnly = sound;
  soundOnly.insert(soundOnly.end(), end.begin(), end.end());
  std::vector<uint8_t> damaged = PictureChunk(kMadKeyId, 40, 16, 8);
  // A second picture of another size is damage too.
  std::vector<uint8_t> mixed = movietools::encodemovie(Frames(1, 32, 16), 32, 16, 2, 1500);
  mixed.resize(mixed.size() - 8);
  const std::vector<uint8_t> other = movietools::encodemovie(Frames(1, 48, 16), 48, 16, 2, 1500);
  mixed.insert(mixed.end(), other.begin(), other.end());
  for (const auto* bytes : {&soundOnly, &damaged, &end, &mixed}) {
    MadChunkReader reader(FromMemory(*bytes));
    FakeScreen screen;
    EXPECT_EQ(RunMadPlayer(reader, 0, 0, screen.Output(), nullptr), -2);
  }
}

TEST(MoviePlayer, TheReaderStopsAtTheEndChunkAndAtChunksItCannotHold) {
  std::vector<uint8_t> bytes = Chunk(0x31323334, std::vector<uint8_t>(4, 1));
  const std::vector<uint8_t> end = Chunk(kMadEndId, {}), after = Chunk(0x31323334, {});
  bytes.insert(bytes.end(), end.begin(), end.end());
  bytes.insert(bytes.end(), after.begin(), after.end());
  MadChunkReader reader(FromMemory(bytes));
  size_t n = 0;
  ASSERT_NE(reader.Next(&n), nullptr);
  EXPECT_EQ(n, 12u);
  EXPECT_EQ(reader.Next(&n), nullptr);
  EXPECT_TRUE(reader.Ended());
  EXPECT_EQ(reader.Next(&n), nullptr);

  struct Case {
    uint32_t size;
    size_t present;
  } cases[] = {{4, 8}, {static_cast<uint32_t>(MadChunkReader::kLimit) + 4, 64}, {100, 60}};
  for (const Case& c : cases) {
    std::vector<uint8_t> b(c.present, 0);
    std::memcpy(b.data(), "abcd", 4);
    std::memcpy(b.data() + 4, &c.size, 4);
    MadChunkReader r(FromMemory(b));
    EXPECT_EQ(r.Next(&n), nullptr) << c.size;
  }
}

TEST(MoviePlayer, FileKindsByExtension) {
  EXPECT_EQ(PlayMovieFile("intro.uv"), -1);
  EXPECT_EQ(PlayMovieFile("INTRO.UV"), -1);
  EXPECT_EQ(PlayMovieFile("intro.avi"), 1);
  EXPECT_EQ(PlayMovieFile("intro"), 1);
}

}  // namespace

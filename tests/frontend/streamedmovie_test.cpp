// The streamed shape movie: frames counted from the header and the first entries, pieces read as frames are
// needed, and a frame larger than the read-ahead loaded through its end before it is handed out; damaged files
// refused.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/shapemovie.h"
#include "platformlib/shapes/shapes.h"
#include "shapewriter.h"

namespace {

// A 16-bit frame w x h whose every pixel is `colour`.
shapetools::Image Frame(int32_t w, int32_t h, uint32_t colour) {
  shapetools::Image image;
  image.type = 0x78;
  image.width = w, image.height = h;
  image.pixels.assign(static_cast<size_t>(w) * h, colour);
  return image;
}

std::vector<uint8_t> MovieBytes(const std::vector<std::pair<int32_t, int32_t>>& sizes) {
  std::vector<std::pair<std::string, shapetools::Image>> entries;
  uint32_t colour = 1;
  for (const auto& [w, h] : sizes) {
    entries.emplace_back("f" + std::to_string(colour), Frame(w, h, colour));
    ++colour;
  }
  return shapetools::shapefile(entries);
}

// Every pixel of the entry is `colour`: nothing of it was handed out unread.
bool Whole(const uint8_t* entry, uint16_t colour) {
  const int32_t n = shapewidth(entry) * shapeheight(entry);
  for (int32_t i = 0; i < n; ++i)
    if (shaperead16(shapepixels(entry) + 2 * i) != colour) return false;
  return true;
}

TEST(StreamedShapeMovie, AFrameLargerThanTheReadAheadIsLoadedThroughItsEnd) {
  // A small first frame, then one of 600 x 400 (480,000 bytes): it starts inside the first piece and ends well
  // past 160 KiB beyond its start.
  const std::vector<uint8_t> bytes = MovieBytes({{8, 8}, {600, 400}, {8, 8}});
  TStreamedShapeMove movie;
  ASSERT_EQ(movie.OpenMemory(bytes.data(), bytes.size()), TShapeMovie::kOk);
  EXPECT_EQ(movie.frameCount, 3);
  EXPECT_EQ(movie.entryCount, 3);
  EXPECT_LT(movie.Loaded(), movie.FileSize());
  EXPECT_TRUE(movie.FileOpen());
  int error = -1;
  const uint8_t* big = movie.FrameRef(2, &error);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(error, TShapeMovie::kOk);
  const uint32_t offset = static_cast<uint32_t>(big - movie.File());
  EXPECT_GE(movie.Loaded(), offset + 16 + 600u * 400u * 2u);
  EXPECT_TRUE(Whole(big, 2));
  // Frame 0 is the first frame; the last is read through the file's end, which closes it.
  const uint8_t* first = movie.FrameRef(0, &error);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(Whole(first, 1));
  const uint8_t* last = movie.FrameRef(9, &error);
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(Whole(last, 3));
  EXPECT_EQ(movie.Loaded(), movie.FileSize());
  EXPECT_FALSE(movie.FileOpen());
}

TEST(StreamedShapeMovie, PiecesAreReadOnlyAsFramesNeedThem) {
  // Ten frames of 200 x 200 (80,016 bytes each): 800 KiB in all.
  std::vector<std::pair<int32_t, int32_t>> sizes(10, {200, 200});
  const std::vector<uint8_t> bytes = MovieBytes(sizes);
  TStreamedShapeMove movie;
  ASSERT_EQ(movie.OpenMemory(bytes.data(), bytes.size()), TShapeMovie::kOk);
  EXPECT_EQ(movie.Loaded(), TStreamedShapeMove::kPiece);
  EXPECT_EQ(movie.Reads(), 1);
  for (int32_t n = 1; n <= 10; ++n) {
    const uint8_t* f = movie.FrameRef(n);
    ASSERT_NE(f, nullptr) << n;
    EXPECT_TRUE(Whole(f, static_cast<uint16_t>(n))) << n;
    EXPECT_GE(movie.Loaded(), std::min<uint32_t>(movie.FileSize(), static_cast<uint32_t>(f - movie.File()) +
                                                                       TStreamedShapeMove::kReadAhead))
        << n;
  }
  EXPECT_EQ(movie.Reads(), 3);  // 320 KiB, 640 KiB, the rest
}

TEST(StreamedShapeMovie, FrameCountsByLayoutAndDamagedFilesRefused) {
  // A shared palette: frames = entries - 1.
  {
    shapetools::Image pal;
    pal.type = 0x2A;
    pal.width = 4, pal.height = 1;
    pal.pixels.assign(4, 0x808080);
    const std::vector<uint8_t> bytes =
        shapetools::shapefile({{"!pal", pal}, {"f1", Frame(4, 4, 1)}, {"f2", Frame(4, 4, 2)}});
    TStreamedShapeMove movie;
    ASSERT_EQ(movie.OpenMemory(bytes.data(), bytes.size()), TShapeMovie::kOk);
    EXPECT_EQ(movie.frameCount, 2);
    const uint8_t* f = movie.FrameRef(1);
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(Whole(f, 1));
  }
  const std::vector<uint8_t> good = MovieBytes({{8, 8}, {8, 8}});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int open;  // Open's result
    bool frame;  // a frame is handed out
  };
  std::vector<Case> cases;
  cases.push_back({"whole", good, TShapeMovie::kOk, true});
  cases.push_back({"shorter than a header", std::vector<uint8_t>(good.begin(), good.begin() + 10), TShapeMovie::kNoFile, false});
  std::vector<uint8_t> manyEntries = good;
  manyEntries[8] = 0xFF, manyEntries[9] = 0xFF;  // a directory past the file
  cases.push_back({"directory past the file", manyEntries, TShapeMovie::kNoFile, false});
  std::vector<uint8_t> offsetOut = good;
  offsetOut[16 + 4 + 3] = 0x7F;  // the first entry's offset far past the end
  cases.push_back({"offset past the file", offsetOut, TShapeMovie::kNoFile, false});
  std::vector<uint8_t> cut = good;
  cut.resize(cut.size() - 40);  // the last frame's rows cut short
  cases.push_back({"last frame cut short", cut, TShapeMovie::kOk, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TStreamedShapeMove movie;
    ASSERT_EQ(movie.OpenMemory(c.bytes.data(), c.bytes.size()), c.open);
    if (c.open != TShapeMovie::kOk) {
      EXPECT_EQ(movie.File(), nullptr);
      continue;
    }
    int error = -1;
    const uint8_t* f = movie.FrameRef(2, &error);
    EXPECT_EQ(f != nullptr, c.frame);
    if (!c.frame) {
      EXPECT_EQ(error, TShapeMovie::kNotAnImage);
    }
  }
}

}  // namespace

// ".dct" background pictures: written by the tools' encoder, decoded column by column, damaged files refused.
#include <cmath>

#include "fefixture.h"
#include "movieenc.h"
#include "platformlib/movie/movie.h"

namespace {

std::vector<uint8_t> Gradient(int w, int h) {
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / w);
      p[1] = static_cast<uint8_t>(y * 255 / h);
      p[2] = static_cast<uint8_t>(x < w / 2 ? 200 : 40);
    }
  return rgb;
}

}  // namespace

class DctTest : public FrontEndTest {};

TEST_F(DctTest, WrittenPicturesDecodeToTheirColours) {
  const int w = 40, h = 24;  // neither a multiple of 16
  const std::vector<uint8_t> file = movietools::encodedct(Gradient(w, h).data(), w, h, 16);
  DctPicture picture;
  ASSERT_TRUE(DecodeDctPicture(file.data(), file.size(), picture));
  EXPECT_EQ(picture.width, w);
  EXPECT_EQ(picture.height, h);
  // Drawn into the screen buffers, the left half is bluer than the right.
  ImageRecord* drawn = DrawnImage();
  ASSERT_NE(drawn, nullptr);
  ASSERT_EQ(DecodeDctPicture(file.data(), file.size(), picture), true);
  const auto pixel = [&](int x, int y) { return reinterpret_cast<uint16_t*>(drawn->window->pixels + y * drawn->window->rowbytes)[x]; };
  const std::vector<uint16_t> before{pixel(60, 60)};
  setwindow(drawn->window);
  std::vector<uint32_t> rows(static_cast<size_t>(w / 2) * h);
  for (int r = 0; r < h; ++r)
    std::memcpy(&rows[static_cast<size_t>(r) * (w / 2)], &picture.pairs[static_cast<size_t>(r) * picture.stride], (w / 2) * 4);
  setvideoframe(rows.data());
  blitvideoframe(0, 0, w, h, 0);
  setvideoframe(nullptr);
  releasewindow();
  EXPECT_GT(pixel(4, 12) & 0x1F, pixel(36, 12) & 0x1F);
  EXPECT_EQ(pixel(60, 60), before[0]);  // nothing past the picture
}

TEST_F(DctTest, DamagedFilesAreRefused) {
  const std::vector<uint8_t> good = movietools::encodedct(Gradient(32, 32).data(), 32, 32, 16);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"no magic", [&] { auto b = good; b[0] = 'x'; return b; }()},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 24)},
      {"short data", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
      {"width larger than the data", [&] { auto b = good; b[12] = 0; b[13] = 8; return b; }()},
      {"negative height", [&] { auto b = good; b[15] = 0x80; return b; }()},
      {"odd width", [&] { auto b = good; b[12] = 31; return b; }()},
      // Checked against the data's size before the 4,096 x 4,096 picture is allocated or decoded.
      {"largest picture over a 32 x 32 picture's data", [&] { auto b = good; b[13] = b[15] = 0x10; b[12] = b[14] = 0; return b; }()},
  };
  for (const Case& k : cases) {
    DctPicture picture;
    EXPECT_FALSE(DecodeDctPicture(k.bytes.data(), k.bytes.size(), picture)) << k.name;
    EXPECT_TRUE(picture.pairs.empty()) << k.name;
  }
}

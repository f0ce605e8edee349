// The animations' pictures on the hardware path: the size classes (pictures past the sprite images scaled into the
// two-piece class) and the conversion into the sprite images.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platformlib/shapes/shapes.h"
#include "scene/scenesprite.h"
#include "shapewriter.h"

namespace {

TEST(SceneSprite, SizeClassesAndPicturesPastTheSpriteImages) {
  struct Case {
    int32_t w, h;
    bool movie;
    SpriteClass kind;
    int32_t fitW, fitH, side;
  } const cases[] = {
      {32, 32, false, SpriteClass::kSmall, 32, 32, 32},
      {32, 33, false, SpriteClass::kMedium, 32, 33, 128},
      {128, 128, true, SpriteClass::kMedium, 128, 128, 128},
      {256, 300, false, SpriteClass::kTwoPiece, 256, 300, 256},
      {256, 509, false, SpriteClass::kTwoPiece, 256, 509, 256},
      {300, 100, true, SpriteClass::kTwoPiece, 256, 85, 256},   // a wide movie frame: 256 wide first
      {300, 100, false, SpriteClass::kTwoPiece, 256, 85, 256},  // any other wide picture: scaled, not overrun
      {256, 510, false, SpriteClass::kTwoPiece, 255, 509, 256}, // one row too many
      {100, 600, true, SpriteClass::kTwoPiece, 84, 509, 256},
      {1000, 3000, true, SpriteClass::kTwoPiece, 169, 509, 256},
      {600, 1, false, SpriteClass::kTwoPiece, 256, 1, 256},
      {300, 5000, false, SpriteClass::kTwoPiece, 30, 509, 256},
      {0, 10, false, SpriteClass::kNone, 0, 0, 0},
      {10, -1, true, SpriteClass::kNone, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.movie ? " movie" : ""));
    const SpriteFit fit = FitSceneSprite(c.w, c.h, c.movie);
    EXPECT_EQ(fit.kind, c.kind);
    EXPECT_EQ(fit.width, c.fitW);
    EXPECT_EQ(fit.height, c.fitH);
    EXPECT_EQ(fit.side, c.side);
    EXPECT_LE(fit.width, fit.side);
    EXPECT_LE(fit.height, fit.kind == SpriteClass::kTwoPiece ? 2 * fit.side : fit.side);
  }
}

// A 16-bit picture whose pixel in row y is y + 1, its first column clear.
std::vector<uint8_t> TallPicture(int32_t w, int32_t h) {
  shapetools::Image image;
  image.type = 0x78;
  image.width = w, image.height = h;
  image.centrex = w / 2, image.centrey = h;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) image.pixels.push_back(x == 0 ? 0u : static_cast<uint32_t>(y + 1));
  return shapetools::shapefile({{"fr01", image}});
}

TEST(SceneSprite, ATallPictureIsResampledIntoBothPieces) {
  const std::vector<uint8_t> file = TallPicture(6, 600);
  ASSERT_EQ(checkshapefile(file.data(), file.size()), 1);
  const uint8_t* entry = locateshapenum(file.data(), 0);
  const SpriteFit fit = FitSceneSprite(6, 600, false);
  ASSERT_EQ(fit.height, 509);
  ASSERT_EQ(fit.width, 5);
  std::vector<uint16_t> top, bottom;
  ASSERT_TRUE(ConvertSceneSprite(file.data(), entry, fit, top, bottom));
  ASSERT_EQ(top.size(), 256u * 256u);
  ASSERT_EQ(bottom.size(), 256u * 256u);
  for (int32_t y = 0; y < 512; ++y) {
    const uint16_t* row = (y < 256 ? top.data() : bottom.data()) + static_cast<size_t>(y % 256) * 256;
    const uint16_t source = static_cast<uint16_t>(y * 600 / 509 + 1);
    const uint16_t expected = static_cast<uint16_t>(0x8000 | ((source >> 1) & 0x7FE0) | (source & 0x1F));
    for (int32_t x = 0; x < 256; ++x) {
      const bool inside = y < fit.height && x >= 1 && x < fit.width;
      ASSERT_EQ(row[x], inside ? expected : 0) << x << "," << y;
    }
  }
  // Neither a packed picture nor a palette converts.
  std::vector<uint8_t> packed = file;
  uint8_t* p = locateshapenum(packed.data(), 0);
  p[0] |= 0x80;
  EXPECT_FALSE(ConvertSceneSprite(packed.data(), p, fit, top, bottom));
  EXPECT_FALSE(ConvertSceneSprite(file.data(), entry, SpriteFit{}, top, bottom));
}

TEST(SceneSprite, EightBitPicturesTakeTheirPalettesRoute) {
  // Pixels 0, 1, 2 and 255 of a 4 x 1 picture; the texels expected through each kind of palette.
  const struct {
    const char* name;
    uint8_t type;
    uint32_t entries[3];
    uint16_t texels[4];
  } cases[] = {
      {"5-6-5", 0x29, {0xF800, 0x07E0, 0xFFFF}, {0xFC00, 0x83E0, 0xFFFF, 0}},
      // ARGB: alpha above half opaque, half or less clear.
      {"ARGB", 0x2A, {0xFFFF0000u, 0x40FFFFFFu, 0xFFFFFFFFu}, {0xFC00, 0x0000, 0xFFFF, 0}},
      // Alpha-565: opaque whatever the alpha; a colour premultiplied by a partial alpha is divided back (red 8 at
      // alpha 0x80 is red 15, green 16 is 31).
      {"alpha-565", 0x2C, {0xFF00F800u, 0x80004200u, 0x00000000u}, {0xFC00, 0xBDE0, 0x8000, 0}},
  };
  for (const auto& c : cases) {
    shapetools::Image image;
    image.type = 0x7B;
    image.width = 4, image.height = 1;
    image.pixels = {0, 1, 2, 255};
    shapetools::Clut clut;
    clut.type = c.type;
    clut.entries.assign(256, 0);
    std::copy(std::begin(c.entries), std::end(c.entries), clut.entries.begin());
    image.records.push_back(clut);
    const std::vector<uint8_t> file = shapetools::shapefile({{"pal1", image}});
    const uint8_t* entry = locateshapenum(file.data(), 0);
    std::vector<uint16_t> top, bottom;
    ASSERT_TRUE(ConvertSceneSprite(file.data(), entry, FitSceneSprite(4, 1, false), top, bottom)) << c.name;
    for (int x = 0; x < 4; ++x) {
      // A clear texel's colour bits do not matter.
      const uint16_t got = (top[x] & 0x8000) ? top[x] : 0;
      EXPECT_EQ(got, c.texels[x]) << c.name << " pixel " << x;
    }
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "golden.h"
#include "scene/random.h"
#include "scene/swtri.h"
#include "scene/tiles.h"

namespace {

std::vector<uint8_t> Encode(const std::array<bool, 256>& copy) {
  std::vector<uint8_t> out;
  for (int p = 0; p < 256;) {
    int n = 0;
    while (p + n < 256 && copy[p + n] == copy[p] && n < 127) ++n;
    out.push_back(static_cast<uint8_t>((copy[p] ? 0x80 : 0) | n));
    p += n;
  }
  return out;
}

// The small masks of the tile goldens: a diagonal edge, single-cell runs, a run of 44 cells from column 8.
std::vector<std::vector<uint8_t>> SmallMasks() {
  std::array<bool, 256> diagonal{}, singles{};
  for (int r = 0; r < 16; ++r)
    for (int c = 0; c < 16; ++c) {
      diagonal[r * 16 + c] = c >= 15 - r;
      singles[r * 16 + c] = (r * 5 + c * 3) % 7 == 0;
    }
  return {Encode(diagonal), Encode(singles), {0x08, 0x80 | 44, 0x7F, 0x7F}};
}

// Textures in two ramps of the palette below: A (0-63) a gradient, B (64-127) a checker, the overlay (128-191).
struct Sources {
  std::vector<uint8_t> a, b, overlay;
  Sources() : a(4096), b(4096), overlay(4096) {
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const size_t i = static_cast<size_t>(y) * 64 + x;
        a[i] = static_cast<uint8_t>((x + y) / 2);
        b[i] = static_cast<uint8_t>(64 + (((x / 4 + y / 4) & 1) ? 40 : 10) + (x & 3));
        overlay[i] = static_cast<uint8_t>(128 + y / 2);
      }
  }
};

std::array<uint16_t, 256> Palette() {
  std::array<uint16_t, 256> p{};
  for (int i = 0; i < 64; ++i) {
    p[static_cast<size_t>(i)] = static_cast<uint16_t>((i / 2) << 11 | i << 5);             // yellows
    p[static_cast<size_t>(64 + i)] = static_cast<uint16_t>(i / 2 | (i / 4) << 5);          // blues
    p[static_cast<size_t>(128 + i)] = static_cast<uint16_t>((31 - i / 4) << 11 | i / 2);  // reds
  }
  return p;
}

// Each builder kind (columns) for each mask in both orientations (rows), mapped onto a 40 x 40 quad.
TEST(Tiles, EveryBuilderKindInBothOrientations) {
  const Sources s;
  const std::array<uint16_t, 256> palette = Palette();
  const std::vector<std::vector<uint8_t>> masks = SmallMasks();
  const std::vector<uint8_t> overlayMask = {0x7F, 0x7F, 0x02 | 0x80};  // the last two cells
  holeview::Picture picture;
  picture.width = 8 * 40;
  picture.height = static_cast<int32_t>(masks.size()) * 2 * 40;
  picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
  Surface16 target{picture.pixels.data(), picture.width, 0, 0, picture.width, picture.height};
  RandomUp = 21;
  for (size_t m = 0; m < masks.size(); ++m)
    for (int orientation = 0; orientation < 2; ++orientation)
      for (int kind = 0; kind < 8; ++kind) {
        TileRecipe r;
        r.tileMask = {masks[m].data(), masks[m].size()};
        r.overlayMask = {overlayMask.data(), overlayMask.size()};
        r.a = {s.a.data(), s.a.size()};
        r.b = {s.b.data(), s.b.size()};
        r.overlay = {s.overlay.data(), s.overlay.size()};
        r.wholeA = kind == 6;
        r.wholeB = r.wholeOverlay = kind >= 5;
        r.orientation = static_cast<uint8_t>(orientation);
        r.builder = static_cast<uint8_t>(kind);
        const BuiltTile tile = BuildQuadTile(r);
        ASSERT_EQ(tile.side, (kind == 0 || kind == 5) ? 16 : (kind <= 2 ? 32 : 64));
        const int16_t x = static_cast<int16_t>(kind * 40), y = static_cast<int16_t>((m * 2 + orientation) * 40);
        const TriVertex p[4] = {{x, y}, {static_cast<int16_t>(x + 39), y}, {x, static_cast<int16_t>(y + 39)},
                                {static_cast<int16_t>(x + 39), static_cast<int16_t>(y + 39)}};
        const Texture8 t{tile.texels, tile.side, tile.side};
        const TriVertex first[3] = {p[0], p[1], p[2]}, second[3] = {p[1], p[2], p[3]};
        const int32_t u1[3] = {tile.corners->u[0], tile.corners->u[1], tile.corners->u[2]};
        const int32_t v1[3] = {tile.corners->v[0], tile.corners->v[1], tile.corners->v[2]};
        const int32_t u2[3] = {tile.corners->u[1], tile.corners->u[2], tile.corners->u[3]};
        const int32_t v2[3] = {tile.corners->v[1], tile.corners->v[2], tile.corners->v[3]};
        MapTriangle16(target, first, t, u1, v1, palette.data(), 0);
        MapTriangle16(target, second, t, u2, v2, palette.data(), 0);
      }
  const std::string scratch = std::filesystem::temp_directory_path().string();
  scenetest::ExpectGolden(picture, picture, "tile_builders", scratch);
}

TEST(Tiles, OrientationOneMirrorsLeftToRight) {
  for (int side : {16, 32, 64}) {
    const TileCorners& plain = TileUV(side, 0);
    const TileCorners& mirrored = TileUV(side, 1);
    const int32_t m = (side - 1) << 16;
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(mirrored.u[k], m - plain.u[k]);
      EXPECT_EQ(mirrored.v[k], plain.v[k]);
    }
    EXPECT_EQ(plain.u[3], m);
    EXPECT_EQ(plain.v[3], m);
  }
}

TEST(Tiles, TwoColourTilesHoldZeroAndOneAndKindsFiveToSevenBuildPlain) {
  const std::vector<uint8_t> mask = SmallMasks()[0];
  const RunMask m{mask.data(), mask.size()};
  const struct {
    uint8_t kind;
    int side;
  } cases[] = {{5, 16}, {6, 64}, {7, 64}, {2, 32}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    const BuiltTile tile = BuildTwoColourTile(m, {}, 0, c.kind);
    EXPECT_EQ(tile.side, c.side);
    int ones = 0;
    for (int i = 0; i < c.side * c.side; ++i) {
      ASSERT_LE(tile.texels[i], 1);
      ones += tile.texels[i];
    }
    EXPECT_GT(ones, 0);
  }
  // Kind 6 as kind 3: the same tile texel for texel.
  std::vector<uint8_t> six(4096), three(4096);
  std::memcpy(six.data(), BuildTwoColourTile(m, {}, 0, 6).texels, 4096);
  std::memcpy(three.data(), BuildTwoColourTile(m, {}, 0, 3).texels, 4096);
  EXPECT_EQ(six, three);
}

TEST(Tiles, ShadowMasksByDecoder) {
  const std::vector<uint8_t> mask = {0x08, 0x88, 0x7F, 0x7F};  // cells 8-15 of row 0 shadowed
  const RunMask m{mask.data(), mask.size()};
  // The two 16 x 16 decoders share one buffer: each result holds until the next build.
  const BuiltTile hard = SelectShadowMask(m, 0, 0);
  EXPECT_EQ(hard.side, 16);
  EXPECT_EQ(hard.texels[8], kMaskShadow);
  const BuiltTile soft = SelectShadowMask(m, 1, 1), smooth = SelectShadowMask(m, 2, 0);
  EXPECT_EQ(soft.texels[8], kMaskSoft);
  EXPECT_EQ(soft.corners, &TileUV(16, 1));
  EXPECT_EQ(smooth.side, 32);
  EXPECT_EQ(smooth.texels[16], kMaskSoft);  // the run's first pixel in row 0
  EXPECT_EQ(smooth.texels[17], kMaskShadow);
  EXPECT_EQ(smooth.texels[32], kMaskClear);
}

TEST(Tiles, KeyedTilesKeepZeroClearAndSetAlpha) {
  uint16_t texels[] = {0x0000, 0xFFFF, 0x07E0, 0x001F, 0xF800};
  MakeKeyedTile1555(texels, 5);
  EXPECT_EQ(texels[0], 0x0000);
  EXPECT_EQ(texels[1], 0xFFFF);
  EXPECT_EQ(texels[2], 0x83E0);
  EXPECT_EQ(texels[3], 0x801F);
  EXPECT_EQ(texels[4], 0xFC00);
}

}  // namespace

#include "scene/tiles.h"

#include <array>

namespace {

constexpr TileCorners Corners(int side, int orientation) {
  const int32_t m = (side - 1) << 16;
  return orientation == 0 ? TileCorners{{0, m, 0, m}, {0, 0, m, m}} : TileCorners{{m, 0, m, 0}, {0, 0, m, m}};
}

constexpr TileCorners kCorners[3][2] = {{Corners(16, 0), Corners(16, 1)},
                                        {Corners(32, 0), Corners(32, 1)},
                                        {Corners(64, 0), Corners(64, 1)}};

const std::array<uint8_t, 4096> kZeros{};
const std::array<uint8_t, 4096> kOnes = [] {
  std::array<uint8_t, 4096> a{};
  a.fill(1);
  return a;
}();

bool Present(const Source8& s) { return s.texels != nullptr; }

}  // namespace

const TileCorners& TileUV(int side, int orientation) {
  const int size = side >= 64 ? 2 : (side >= 32 ? 1 : 0);
  return kCorners[size][orientation & 1];
}

TileImages& SharedTiles() {
  static TileImages images{};
  return images;
}

void BuildTerrainTile16(const TileRecipe& r, uint8_t* tile) {
  if (r.wholeA && r.wholeB) MixImages16(r.a, r.b, r.tileMask, tile);
  else if (r.wholeA) MixImageStream16(r.a, r.b, r.tileMask, tile);
  else if (r.wholeB) MixStreamImage16(r.a, r.b, r.tileMask, tile);
  else MixStreams16(r.a, r.b, r.tileMask, tile);
  if (!Present(r.overlay)) return;
  if (r.wholeOverlay) OverlayImage16(r.overlay, r.overlayMask, tile);
  else OverlayStream16(r.overlay, r.overlayMask, tile);
}

void BuildTerrainTile64(const TileRecipe& r, uint8_t* tile) {
  if (r.wholeA && r.wholeB) MixImages64(r.a, r.b, r.tileMask, tile);
  else if (r.wholeA) MixImageStream64(r.a, r.b, r.tileMask, tile);
  else if (r.wholeB) MixStreamImage64(r.a, r.b, r.tileMask, tile);
  else MixStreams64(r.a, r.b, r.tileMask, tile);
  if (!Present(r.overlay)) return;
  if (r.wholeOverlay) OverlayImage64(r.overlay, r.overlayMask, tile);
  else OverlayStream64(r.overlay, r.overlayMask, tile);
}

void BuildTerrainTile16Wide(const TileRecipe& r, Source16 a, Source16 b, Source16 o, uint16_t* tile) {
  if (r.wholeA && r.wholeB) MixImages16Wide(a, b, r.tileMask, tile);
  else if (r.wholeA) MixImageStream16Wide(a, b, r.tileMask, tile);
  else if (r.wholeB) MixStreamImage16Wide(a, b, r.tileMask, tile);
  else MixStreams16Wide(a, b, r.tileMask, tile);
  if (!o.texels) return;
  if (r.wholeOverlay) OverlayImage16Wide(o, r.overlayMask, tile);
  else OverlayStream16Wide(o, r.overlayMask, tile);
}

void BuildTerrainTile64Wide(const TileRecipe& r, Source16 a, Source16 b, Source16 o, uint16_t* tile) {
  if (r.wholeA && r.wholeB) MixImages64Wide(a, b, r.tileMask, tile);
  else if (r.wholeA) MixImageStream64Wide(a, b, r.tileMask, tile);
  else if (r.wholeB) MixStreamImage64Wide(a, b, r.tileMask, tile);
  else MixStreams64Wide(a, b, r.tileMask, tile);
  if (!o.texels) return;
  if (r.wholeOverlay) OverlayImage64Wide(o, r.overlayMask, tile);
  else OverlayStream64Wide(o, r.overlayMask, tile);
}

BuiltTile BuildQuadTile(const TileRecipe& r) {
  TileImages& t = SharedTiles();
  const bool overlay = Present(r.overlay);
  int side = 16;
  uint8_t* tile = t.tile16;
  switch (r.builder & 7) {
    case 0:
      MixStreams16(r.a, r.b, r.tileMask, tile);
      if (overlay) OverlayStream16(r.overlay, r.overlayMask, tile);
      break;
    case 1:
      side = 32, tile = t.tile32;
      MixStreams32(r.a, r.b, r.tileMask, tile);
      if (overlay) OverlayStream32(r.overlay, r.overlayMask, tile);
      break;
    case 2:
      side = 32, tile = t.tile32;
      CopyMix32Smooth(r.a, r.b, r.tileMask, tile);
      if (overlay) OverlayStream32Smooth(r.overlay, r.overlayMask, tile);
      break;
    case 3:
      side = 64, tile = t.tile64;
      MixStreams64(r.a, r.b, r.tileMask, tile);
      if (overlay) OverlayStream64(r.overlay, r.overlayMask, tile);
      break;
    case 4:
      side = 64, tile = t.tile64;
      CopyMix64Smooth(r.a, r.b, r.tileMask, tile);
      if (overlay) OverlayStream64Smooth(r.overlay, r.overlayMask, tile);
      break;
    case 5:
      BuildTerrainTile16(r, tile);
      break;
    case 6:
      side = 64, tile = t.tile64;
      BuildTerrainTile64(r, tile);
      break;
    case 7:
      side = 64, tile = t.tile64;
      if (!r.wholeA && !r.wholeB) CopyMix64Smooth(r.a, r.b, r.tileMask, tile);
      else CopyMixImage64Smooth(r.a, r.b, r.tileMask, tile);
      if (overlay) {
        if (r.wholeOverlay) OverlayImage64Smooth(r.overlay, r.overlayMask, tile);
        else OverlayStream64Smooth(r.overlay, r.overlayMask, tile);
      }
      break;
  }
  return {tile, side, &TileUV(side, r.orientation)};
}

BuiltTile BuildTwoColourTile(RunMask tileMask, RunMask overlayMask, uint8_t orientation, uint8_t builder) {
  static constexpr uint8_t kPlainKind[8] = {0, 1, 2, 3, 4, 0, 3, 4};
  TileRecipe r;
  r.tileMask = tileMask;
  r.a = {kZeros.data(), kZeros.size()};
  r.b = {kOnes.data(), kOnes.size()};
  if (overlayMask.bytes) {
    r.overlayMask = overlayMask;
    r.overlay = r.b;
  }
  r.orientation = orientation;
  r.builder = kPlainKind[builder & 7];
  return BuildQuadTile(r);
}

BuiltTile SelectShadowMask(RunMask mask, uint8_t decoder, uint8_t orientation) {
  TileImages& t = SharedTiles();
  switch (decoder) {
    case 0:
      DecodeMask16(mask, t.mask16);
      return {t.mask16, 16, &TileUV(16, orientation)};
    case 1:
      DecodeMask16Soft(mask, t.mask16);
      return {t.mask16, 16, &TileUV(16, orientation)};
    default:
      DecodeMask32Smooth(mask, t.mask32);
      return {t.mask32, 32, &TileUV(32, orientation)};
  }
}

void MakeKeyedTile1555(uint16_t* texels, int count) {
  for (int i = 0; i < count; ++i) {
    const uint16_t t = texels[i];
    if (t != 0) texels[i] = static_cast<uint16_t>(((t >> 1) & 0xFFE0) | (t & 0x1F) | 0x8000);
  }
}

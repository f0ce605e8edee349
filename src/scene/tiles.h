// Detail tiles: a terrain cell's texture built just before it is drawn from two or three surface textures and
// run-length masks (scene/runmask.h), at the size its screen size calls for, into one reused buffer per size; and the
// shadow masks laid over cells.
#pragma once

#include <cstdint>

#include "scene/runmask.h"

// Texture corners (u, v, 16.16) of a tile quad's p0..p3 for tile sides 16, 32, 64 and orientations 0, 1 (1 mirrors
// left to right). The first triangle takes corners 0-2, the second 1-3.
struct TileCorners {
  int32_t u[4], v[4];
};
const TileCorners& TileUV(int side, int orientation);

// The shared tile buffers: texture tiles 16, 32 and 64 texels square, shadow-mask tiles 16 and 32.
struct TileImages {
  uint8_t tile16[16 * 16], tile32[32 * 32], tile64[64 * 64];
  uint8_t mask16[16 * 16], mask32[32 * 32];
};
TileImages& SharedTiles();

// What a tile command names: the masks, the three textures (the overlay may be absent) and whether each is a whole
// 64 x 64 image (else a texel stream), the orientation and the builder kind 0-7:
// 0 16 plain, 1 32 plain, 2 32 smoothed, 3 64 plain, 4 64 smoothed, 5 16 by the image flags, 6 64 by the image
// flags, 7 64 smoothed by the image flags.
struct TileRecipe {
  RunMask tileMask, overlayMask;
  Source8 a, b, overlay;
  bool wholeA = false, wholeB = false, wholeOverlay = false;
  uint8_t orientation = 0;
  uint8_t builder = 0;
};
struct BuiltTile {
  const uint8_t* texels = nullptr;
  int side = 0;
  const TileCorners* corners = nullptr;
};
// Builds the tile into the shared buffer of its size (valid until the next build of that size).
BuiltTile BuildQuadTile(const TileRecipe& recipe);
// A tile of texels 0 and 1 only: A the all-0 block, B (and the overlay, when there is an overlay mask) the all-1
// block; kinds 5, 6 and 7 build as 0, 3 and 4.
BuiltTile BuildTwoColourTile(RunMask tileMask, RunMask overlayMask, uint8_t orientation, uint8_t builder);

// Shadow masks over a cell: 0 hard 16, 1 soft 16, 2 smoothed 32.
BuiltTile SelectShadowMask(RunMask mask, uint8_t decoder, uint8_t orientation);

// Terrain tiles for the 3D card: 16 or 64 texels square, 8-bit when palettised, else 5-6-5. `overlay` absent
// (null texels) leaves the base.
void BuildTerrainTile16(const TileRecipe& recipe, uint8_t* tile);
void BuildTerrainTile64(const TileRecipe& recipe, uint8_t* tile);
void BuildTerrainTile16Wide(const TileRecipe& a, Source16 wa, Source16 wb, Source16 wo, uint16_t* tile);
void BuildTerrainTile64Wide(const TileRecipe& a, Source16 wa, Source16 wb, Source16 wo, uint16_t* tile);
// A finished 5-6-5 tile to 1-5-5-5 in place: 0 stays 0 (clear), others lose green's lowest bit and gain alpha.
void MakeKeyedTile1555(uint16_t* texels, int count);

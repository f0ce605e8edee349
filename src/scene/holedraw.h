// The hole scene drawn by the software path into a 16-bit picture: sky colour, the horizon strip and the ground
// below it, then the terrain cells and the objects in painter's order (far to near), coarser cells beyond the
// view's detail distances, the pin and its flag; objects near the golfer are left out.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/golfview.h"
#include "scene/swtri.h"
#include "scene/tiles.h"

struct HoleDrawStats {
  int32_t quads = 0;
  int32_t objects = 0;
  int32_t skipped = 0;  // objects or surfaces without an image
  int32_t tiles = 0;    // cells drawn with a detail tile
  int32_t shadows = 0;  // cells shaded whole or through a shadow mask
};

struct CourseSceneData;

// What a frame draws of the hole, shared by both paths: terrain blocks (grid corner and step) by level of detail and
// objects on their cells, far first.
enum class ItemKind : uint8_t { Quad, Object };
struct HoleItem {
  float depth;
  ItemKind kind;
  int32_t i, j, step;  // quads: grid corner and size; objects: cell (-1 for the pin)
  uint8_t objectType;
  Vector3 foot;
};
void CollectHoleItems(const TGolfView& view, const Vector3* golfer, std::vector<HoleItem>& items,
                      HoleDrawStats& stats);
// A block's four corners on the screen; false when one lies behind the near limit or far off the screen.
bool ProjectBlockCorners(const TGolfView& view, const HoleItem& item, ScreenPointF f[4]);
// An object's foot on the screen and its size there in pixels; the scale (pixels a world unit at its depth).
struct ObjectType;
float ProjectObject(const TGolfView& view, const HoleItem& item, const ObjectType& type, ScreenPointF* f, float* width,
                    float* height);
// A tall object (over 2.0) standing within the view's look distance and filling more than a quarter of its height
// is left out: a camera placed beside a tree would see nothing but the tree.
bool ObjectBlocksView(const TGolfView& view, const ObjectType& type, float depth, float height);
// The course texture a surface byte draws with at a block step (stripes and coarse replacements); -1 for none.
int SurfaceTextureIndex(const CourseSceneData& course, uint8_t surface, int step, bool stripe);
uint16_t To565(uint32_t argb);
// Bad data is skipped and told once.
void LogOnce(bool& told, const char* what, int code);

// Whether a surface code (high-nibble form) is water: 0x50 and the course's second water.
bool IsWaterSurface(uint8_t surface);
// The software path's depth value of a camera depth: 0 at or behind the eye, 0x7FFE from 350 on, else depth / 700
// in 16.16; `live` (the full-size live view) sets bit 15. Bit 0 marks water.
uint16_t SoftwareDepthValue(float depth, bool live);

// A cell's detail tile: its second and third surfaces (codes 0-15, 0 none), masks and shadow.
struct TerrainGrid;
struct TerrainTexture;
struct DetailCell {
  bool present = false;
  uint8_t second = 0, third = 0;
  RunMask tileMask, overlayMask;
  uint32_t shadow = 0;  // run-mask offset; 0xFFFFFFFF the whole cell
};
DetailCell ReadDetailCell(const TerrainGrid& g, size_t cell);
// A run mask at an offset of the hole's mask data (empty outside it).
RunMask MaskAt(const TerrainGrid& g, uint32_t offset);
// 1 when the cell is split along its other diagonal (its two side heights differ by 0.3 or more).
uint8_t CellOrientation(const TerrainGrid& g, int32_t i, int32_t j);
// The tile recipe of a detail cell over its own surface's texture (masks, textures; orientation and builder left
// to the caller); false when the second surface has no texture. `thirdIndex`: the overlay's texture or -1.
bool DetailRecipe(const DetailCell& d, const TerrainTexture& own, bool stripe, TileRecipe* r, int* thirdIndex);
// Where a detail cell's tile is water: `mixed` when only part of it is; then texel 1 of `tile` marks the texels of
// the other kind than the own surface (`ownIsWater`). `overlay`: the recipe has a third surface.
struct WaterTexels {
  bool ownIsWater = false, mixed = false;
  BuiltTile tile;
};
WaterTexels WaterTexelsOf(const DetailCell& d, uint8_t surfaceByte, const TileRecipe& r, bool overlay,
                          uint8_t orientation, uint8_t builder);

// `golfer`: the ground point objects are hidden around (null: none). With `depth` (the picture's size) each pixel
// also gets its depth value there, water marked, for the water and grid passes.
HoleDrawStats DrawHoleSoftware(TGolfView& view, const Surface16& target, const Vector3* golfer,
                               const Surface16* depth = nullptr);

// The flag animation draws the cloth on the pin while it runs: the picture then shows the pin alone.
extern bool HoleFlagAnimated;

// The tee, fairway and green cameras of the loaded hole (0, 1, 2) placed on `view`; 3 looks across its water.
bool PlaceHoleCamera(TGolfView& view, int camera);

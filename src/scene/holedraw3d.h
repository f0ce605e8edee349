// The hole scene through the bound 3D interface (the hardware path). Drawing is deferred: a frame fills a record
// buffer with records that name their handler (a 32-bit index) and link to the next record of their list by a
// 32-bit offset; terrain quads gather in one open batch per texture slot. The buffers flush when they reach their
// marks, when the frame's drawing cost passes its budget after the sky is down, and once at the end: the batches
// first, then the main list in order. Depth comes from the depth bands, so the order of drawing does not matter for
// what is seen; the sky is the cleared background, the horizon pieces are drawn at once just in front of the far
// limit, and the ground below the horizon is a flat rectangle at the far limit.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/golfview.h"
#include "scene/holedraw.h"

// Record handlers, by index.
enum SceneRecordHandler : uint32_t {
  kRecordTextureBatch = 1,
  kRecordTexturedQuad = 2,
  kRecordOverlaySprite = 3,
  kRecordFlag = 4,
  kRecordSkyRect = 5,
  kRecordScreenSprite = 6,
  kRecordTerrainTile = 7,
  kRecordShadeOverlay = 8,
  kRecordSceneSprite = 9,
};
// Record sizes: the bytes each takes of its buffer.
constexpr uint32_t kTextureBatchQuads = 73;
constexpr uint32_t kTextureBatchBytes = 20 + kTextureBatchQuads * 128;  // 9,364
constexpr uint32_t kTexturedQuadBytes = 144;
constexpr uint32_t kOverlaySpriteBytes = 60;
constexpr uint32_t kFlagRecordBytes = 52;
constexpr uint32_t kSkyRectBytes = 36;
constexpr uint32_t kScreenSpriteBytes = 72;
constexpr uint32_t kTerrainTileBytes = 176;
constexpr uint32_t kShadeOverlayBytes = 152;
constexpr uint32_t kSceneSpriteBytes = 96;
constexpr int kTextureSlots = 29;  // one per course terrain texture

struct SceneRecordBuffer {
  static constexpr uint32_t kBytes = 614400, kFlushMark = 508800;
  static constexpr uint32_t kSpriteBytes = 72000, kSpriteFlushMark = 48000;
  static constexpr uint32_t kCostBudget = 212992;
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  static constexpr uint32_t kInSprites = 0x80000000u;  // an offset into the sprite buffer
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kBytes);
  std::vector<uint8_t> sprites = std::vector<uint8_t>(kSpriteBytes);
  uint32_t position = 0, spritePosition = 0;
  uint32_t mainHead = kNone, mainTail = kNone;
  uint32_t openBatch[kTextureSlots];  // the slot's newest batch (each links to the slot's older one)
  uint32_t cost = 0;                  // the frame's drawing cost since the last flush
  bool skyDrawn = false;
  SceneRecordBuffer() { Reset(); }
  void Reset();
};

struct HardwareFrameStats {
  int32_t batchedQuads = 0;
  int32_t loneQuads = 0;  // quads that found no batch room
  int32_t batches = 0;
  int32_t sprites = 0;
  int32_t flags = 0;
  int32_t horizonPieces = 0;
  int32_t flushes = 0;
  int32_t skipped = 0;
  int32_t tiles = 0;     // cells given a composed detail tile
  int32_t shadows = 0;   // shade overlays over cells
  int32_t drawnTiles = 0, drawnShadows = 0;  // of those, drawn (a tile the cache cannot hold is left out)
  int32_t skyQuads = 0;  // the sky's quads: the dome's panels and zenith, the ground below the skyline
  int32_t waterMarkers = 0;   // water cells drawn in the key colour for the reflection
  int32_t keyedTiles = 0;     // tiles partly water: clear there over the key colour
  int32_t composedTiles = 0;  // tiles and shadow tiles composed and uploaded (the cache held none)
  int32_t storedTiles = 0;    // of the others the cache did not hold, uploaded as kept composed in memory
  int32_t animationSprites = 0;  // pictures of the animations (scene mode)
  // With fog the module reflects the sky itself: the topmost screen row of the water seen (-1: none, or no fog),
  // the mirrored sky's quads and horizon pieces, and the water cells left out for them.
  int32_t waterRow = -1;
  int32_t mirroredSkyQuads = 0;
  int32_t waterCellsLeftOut = 0;
};

// Draws the view of the current hole, with the pictures of the animations (scene mode), into the 3D interface's current window (its back buffer) and flushes it; the
// caller presents or reads the picture.
HardwareFrameStats DrawHoleHardware(TGolfView& view, const Vector3* golfer);
// The textures the hardware draw made belong to the module that is open: forget them when it closes.
void ForgetHardwareHoleTextures();
// Depth values read back from the depth buffer turned into the software picture's (camera depth / 700, bit 15 for the
// live view), so the water's reflection and the grid read one scale on both paths.
void MarkLiveDepth(std::vector<uint16_t>& depth);
// The render states every hardware display starts with (filtering, dithering, Gouraud shading, depth test, no
// culling), then the fog table of the "Fog Density" level 0-3.
void SendDefaultRenderStates(int fogLevel);
// The 64-entry fog table of a level 1-3 (all 0 for others) for the Direct3D back end or another.
void MakeFogTable(int level, bool direct3D, uint8_t table[64]);
// The frame's record buffer (tests).
SceneRecordBuffer& HardwareRecordBuffer();

#include "scene/holedraw3d.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "course/courseload.h"
#include "course/holedata.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "platformlib/gfx/vortel.h"
#include "platformlib/core/byteorder.h"
#include "scene/holedraw.h"
#include "scene/horizon.h"
#include "platformlib/shapes/shapes.h"
#include "scene/animlist.h"
#include "scene/random.h"
#include "scene/render3d.h"
#include "scene/runmask.h"
#include "scene/scenesprite.h"
#include "scene/skydome.h"
#include "scene/texcache.h"
#include "scene/texconv.h"

namespace {

struct RecordHeader {
  uint32_t handler, next;
};
struct TexturedQuadRecord {  // 144
  RecordHeader h;
  VortelVertex v[4];
  uint32_t slot, spare;
};
struct BatchHeader {  // 20, then the quads
  RecordHeader h;
  uint32_t slot, count, capacity;
};
struct OverlaySpriteRecord {  // 60
  RecordHeader h;
  float left, top, right, bottom;
  float z, q;
  uint32_t colour;
  uint32_t image;  // object type
  uint32_t alternate;
  float u1, v1;
  uint32_t spare[2];
};
struct FlagRecord {  // 52
  RecordHeader h;
  VortelVertex foot;
  float width, height, scale;
};
struct SkyRectRecord {  // 36
  RecordHeader h;
  float left, top, right, bottom;
  uint32_t colour;
  float z;
  uint32_t spare;
};
struct ScreenSpriteRecord {  // 72
  RecordHeader h;
  float x[4], y[4];
  float z, q;
  uint32_t colour;
  uint32_t piece;
  float u1, v1;
  uint32_t spare[2];
};
// A cell drawn with its composed detail tile; the handler builds the tile from the cell when the cache has none.
struct TerrainTileRecord {  // 176
  RecordHeader h;
  VortelVertex v[4];
  uint32_t cell;
  uint32_t stamp;  // the cache key: cell, level and builder
  uint8_t builder, orientation, stripe, side;
  uint8_t keyed;  // part of the cell is water: its texels clear over the water's key colour
  uint8_t pad[3];
  uint32_t spare[6];
};
// A cell's shadow: the whole cell darkened, or the alpha tile of its shadow mask.
struct ShadeOverlayRecord {  // 152
  RecordHeader h;
  VortelVertex v[4];
  uint32_t mask;  // offset into the hole's masks
  uint8_t orientation, maskFlag;
  uint16_t side;
  uint32_t stamp;
  uint32_t spare;
};
static_assert(sizeof(TexturedQuadRecord) == kTexturedQuadBytes);
static_assert(sizeof(TerrainTileRecord) == kTerrainTileBytes);
static_assert(sizeof(ShadeOverlayRecord) == kShadeOverlayBytes);
struct SceneSpriteRecord {  // 96
  RecordHeader h;
  const uint8_t* file;
  const uint8_t* entry;  // none: a flat rectangle
  VortelVertex anchor;   // the hot spot's screen point and depth; a rectangle's top-left corner
  float scale, width, height;
  uint16_t colour;  // 5-6-5, flat rectangles
  uint8_t movieFrame, spare;
  int32_t srcLeft, srcTop, srcRight, srcBottom;  // the entry's part laid over a rectangle
  uint32_t tint;
  uint32_t spare2;
};
static_assert(sizeof(TexturedQuadRecord) == kTexturedQuadBytes);
static_assert(sizeof(SceneSpriteRecord) == kSceneSpriteBytes);
static_assert(sizeof(BatchHeader) + kTextureBatchQuads * 4 * sizeof(VortelVertex) == kTextureBatchBytes);
static_assert(sizeof(OverlaySpriteRecord) == kOverlaySpriteBytes);
static_assert(sizeof(FlagRecord) == kFlagRecordBytes);
static_assert(sizeof(SkyRectRecord) == kSkyRectBytes);
static_assert(sizeof(ScreenSpriteRecord) == kScreenSpriteBytes);

constexpr uint32_t kCostPerRecord = 128, kCostPerBatchedQuad = 144, kCostFlag = 33792, kCostTile = 256;
// Composed terrain tiles are 5-6-5 (format 4), shadow tiles 4-4-4-4 (format 7).
constexpr int kTileFormat = 4, kShadowFormat = 7, kKeyedTileFormat = 3;
// Shadow overlays are drawn this much nearer than the ground they darken.
constexpr float kOverlayLift = 0.000018f;
// Horizon pieces just in front of the far limit, the ground rectangle at it.
constexpr float kHorizonZ = 0.99999f, kFarZ = 1.0f;
// The hole lies in the lower half's wide depth band: it gives the depth test thousands of steps where the narrow
// band gives some fifty, the Direct3D fog curve spans it (near to far in the curve's first half, the far limit
// taking its last entry) and ground points are read back from it.
constexpr int kHardwareDepthMode = 3;

SceneRecordBuffer gBuffer;
HardwareFrameStats* gStats = nullptr;
const TGolfView* gView = nullptr;  // the view being drawn

// A module texture made from a course image when first drawn (0 when it cannot be made).
struct LazyTexture {
  intptr_t handle = 0;
  bool tried = false;
};

// The module's textures of the course: terrain, object types (main and alternate image) and horizon pieces.
struct HardwareTextures {
  const void* module = nullptr;
  std::string course;
  LazyTexture terrain[kTerrainTextures];
  LazyTexture objects[kObjectTypes][2];
  LazyTexture horizon[kHorizonPanels];
  intptr_t sprites[4] = {};  // the sprite images' textures: 32, 128, two of 256
  intptr_t overflow[5] = {};  // composed tiles a full pool cannot keep, by TilePool
  std::map<const CourseImage*, LazyTexture> sky;  // the dome's images
};
HardwareTextures gTextures;

uint16_t To1555(uint32_t argb) {
  return static_cast<uint16_t>(0x8000 | (((argb >> 19) & 31) << 10) | (((argb >> 11) & 31) << 5) | ((argb >> 3) & 31));
}

// An 8-bit course image as a square texture of a power-of-two side (at most 256), sampled to fill it: format 4
// opaque, format 3 with the colour key (255) transparent.
intptr_t UploadImage(const CourseImage& image, const std::array<uint32_t, 256>& palette, int format) {
  const int32_t w = image.width(), h = image.height();
  if (!image.present() || w <= 0 || h <= 0 || !vortellive.talloc || !vortellive.tupdate) return 0;
  const int side = std::min(256, RoundTextureSize(std::max(w, h)));
  const intptr_t texture = vortellive.talloc(side, side, format, 0, 0);
  if (!texture) return 0;
  std::vector<uint16_t> texels(static_cast<size_t>(side) * side);
  const uint8_t* pixels = image.pixels();
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const uint8_t p = pixels[static_cast<size_t>(y * h / side) * w + x * w / side];
      texels[static_cast<size_t>(y) * side + x] =
          format == 3 ? (p == 255 ? uint16_t{0} : To1555(palette[p])) : To565(palette[p]);
    }
  vortellive.tupdate(texture, texels.data(), nullptr);
  return texture;
}

void KeepTexturesForCourse() {
  const LoadedCourse& course = CurrentCourse();
  const std::string key = (course.loaded ? std::string(course.record.location) : std::string()) + "|" +
                          CurrentCourseScene().folder;
  if (gTextures.module == vortellive.module && gTextures.course == key) return;
  // A course of its own: the module's textures start afresh.
  if (gTextures.module == vortellive.module && vortellive.treset && !TextureCacheActive()) vortellive.treset();
  gTextures = HardwareTextures{};
  gTextures.module = vortellive.module;
  gTextures.course = key;
}

intptr_t Made(LazyTexture& t, const CourseImage& image, int format) {
  if (!t.tried) {
    t.tried = true;
    t.handle = UploadImage(image, CurrentCourseScene().palette, format);
  }
  return t.handle;
}

intptr_t TerrainTexture(int index) {
  return Made(gTextures.terrain[index], CurrentCourseScene().textures[static_cast<size_t>(index)].image, 4);
}

// Objects go to the card packed into their texture square, which their quads map whole.
intptr_t ObjectTexture(int type, bool alternate) {
  const ObjectType& t = CurrentCourseScene().objectTypes[static_cast<size_t>(type)];
  LazyTexture& texture = gTextures.objects[type][alternate];
  if (!texture.tried) {
    const CourseImage& image = alternate ? t.alternate : t.image;
    const int32_t side = std::min(256, RoundTextureSize(std::max(image.width(), image.height())));
    CourseImage packed;
    if (image.present()) packed.shape = PackObjectShape(image.data(), image.shape.size(), side, side, side, 255, true);
    texture.tried = true;
    texture.handle = UploadImage(packed, CurrentCourseScene().palette, 3);
  }
  return texture.handle;
}

intptr_t HorizonTexture(int piece) {
  return Made(gTextures.horizon[piece], CurrentCourseScene().horizon[static_cast<size_t>(piece)].image, 3);
}

uint8_t* At(uint32_t offset) {
  return (offset & SceneRecordBuffer::kInSprites) ? gBuffer.sprites.data() + (offset & ~SceneRecordBuffer::kInSprites)
                                                   : gBuffer.bytes.data() + offset;
}

template <typename R>
R Read(uint32_t offset) {
  R r;
  std::memcpy(&r, At(offset), sizeof r);
  return r;
}

void AppendMain(uint32_t offset) {
  if (gBuffer.mainTail == SceneRecordBuffer::kNone) {
    gBuffer.mainHead = offset;
  } else {
    RecordHeader tail;
    std::memcpy(&tail, At(gBuffer.mainTail), sizeof tail);
    tail.next = offset;
    std::memcpy(At(gBuffer.mainTail), &tail, sizeof tail);
  }
  gBuffer.mainTail = offset;
  gBuffer.cost += kCostPerRecord;
}

// Room for `size` bytes in the record buffer (the sprite buffer when `sprite`); kNone when the buffer is full.
uint32_t Take(uint32_t size, bool sprite) {
  if (sprite) {
    if (gBuffer.spritePosition + size > SceneRecordBuffer::kSpriteBytes) return SceneRecordBuffer::kNone;
    const uint32_t at = gBuffer.spritePosition;
    gBuffer.spritePosition += size;
    return at | SceneRecordBuffer::kInSprites;
  }
  if (gBuffer.position + size > SceneRecordBuffer::kBytes) return SceneRecordBuffer::kNone;
  const uint32_t at = gBuffer.position;
  gBuffer.position += size;
  return at;
}

void SetTexture(intptr_t texture) {
  if (vortellive.settexture) vortellive.settexture(texture);
}

void DrawQuad(const VortelVertex v[4]) {
  if (vortellive.drawquad) vortellive.drawquad(&v[0], &v[1], &v[2], &v[3]);
}

void DrawRectPart(float left, float top, float right, float bottom, float z, float q, uint32_t colour, float u0,
                  float v0, float u1, float v1) {
  const VortelVertex v[4] = {{left, top, z, q, colour, 0xFF000000u, u0, v0},
                             {right, top, z, q, colour, 0xFF000000u, u1, v0},
                             {right, bottom, z, q, colour, 0xFF000000u, u1, v1},
                             {left, bottom, z, q, colour, 0xFF000000u, u0, v1}};
  DrawQuad(v);
}

void DrawRect(float left, float top, float right, float bottom, float z, float q, uint32_t colour, float u1, float v1) {
  DrawRectPart(left, top, right, bottom, z, q, colour, 0.0f, 0.0f, u1, v1);
}

// The handlers.
// Water is drawn in the key colour, without fog, for the reflection that finds it in the picture read back.
constexpr uint32_t kWaterMarkerSlot = 0xFFFFu, kWaterMarkerColour = 0xFFFF00FFu;
bool gFogOn = false;

// With fog the module draws the water's reflection itself: water is left out of the frame (its tiles keep their
// water texels clear) and the sky is drawn a second time mirrored below the water's far edge on the screen, so the
// lake shows it. Without fog the water is drawn in the key colour and reflected over the picture read back.
struct WaterLine {
  bool on = false;
  int32_t row = 0;     // the topmost screen row of the water seen
  float level = 0.0f;  // twice the surface's height (a height h mirrors to level - h)
};
WaterLine gWaterLine;

void DrawTexturedQuadRecord(uint32_t offset) {
  const auto r = Read<TexturedQuadRecord>(offset);
  if (r.slot == kWaterMarkerSlot) {
    SetTexture(0);
    if (gFogOn && vortellive.setstate) vortellive.setstate(21, 0);
    DrawQuad(r.v);
    if (gFogOn && vortellive.setstate) vortellive.setstate(21, 1);
    return;
  }
  SetTexture(TerrainTexture(static_cast<int>(r.slot)));
  DrawQuad(r.v);
}

void EmitWaterMarker(const VortelVertex v[4], HardwareFrameStats& stats) {
  const uint32_t at = Take(kTexturedQuadBytes, false);
  if (at == SceneRecordBuffer::kNone) return;
  TexturedQuadRecord r{{kRecordTexturedQuad, SceneRecordBuffer::kNone}, {v[0], v[1], v[2], v[3]}, kWaterMarkerSlot, 0};
  for (VortelVertex& c : r.v) c.colour = kWaterMarkerColour;
  std::memcpy(At(at), &r, sizeof r);
  AppendMain(at);
  ++stats.waterMarkers;
}
void DrawOverlaySprite(uint32_t offset) {
  const auto r = Read<OverlaySpriteRecord>(offset);
  SetTexture(ObjectTexture(static_cast<int>(r.image), r.alternate != 0));
  DrawRect(r.left, r.top, r.right, r.bottom, r.z, r.q, r.colour, r.u1, r.v1);
}
void DrawFlagRecord(uint32_t offset) {
  const auto r = Read<FlagRecord>(offset);
  SetTexture(ObjectTexture(kFlagObjectType, false));
  const float w = r.width * r.scale, h = r.height * r.scale;
  DrawRect(r.foot.x, r.foot.y - h, r.foot.x + w, r.foot.y, r.foot.z, r.foot.q, r.foot.colour, 1.0f, 1.0f);
}
void DrawSkyRectRecord(uint32_t offset) {
  const auto r = Read<SkyRectRecord>(offset);
  const bool water = r.colour == kWaterMarkerColour;
  SetTexture(0);
  if (water && gFogOn && vortellive.setstate) vortellive.setstate(21, 0);
  DrawRect(r.left, r.top, r.right, r.bottom, r.z, 1.0f, r.colour, 0.0f, 0.0f);
  if (water && gFogOn && vortellive.setstate) vortellive.setstate(21, 1);
}
void DrawScreenSpriteRecord(const ScreenSpriteRecord& r) {
  SetTexture(HorizonTexture(static_cast<int>(r.piece)));
  const VortelVertex v[4] = {{r.x[0], r.y[0], r.z, r.q, r.colour, 0xFF000000u, 0.0f, 0.0f},
                             {r.x[1], r.y[1], r.z, r.q, r.colour, 0xFF000000u, r.u1, 0.0f},
                             {r.x[2], r.y[2], r.z, r.q, r.colour, 0xFF000000u, r.u1, r.v1},
                             {r.x[3], r.y[3], r.z, r.q, r.colour, 0xFF000000u, 0.0f, r.v1}};
  DrawQuad(v);
}

void FilterTextures(bool on);

// The tile's texture corner of each of the cell's corners (0,0), (1,0), (1,1), (0,1): as the software path lays it.
void TileTexCoords(int side, uint8_t orientation, VortelVertex v[4]) {
  const TileCorners& c = TileUV(side, orientation);
  // The software path's corner order: (x, z), (x+1, z), (x, z+1), (x+1, z+1), the first two and the last two
  // exchanged for orientation 1.
  static const int kOrder[2][4] = {{0, 1, 3, 2}, {1, 0, 2, 3}};
  const float scale = 1.0f / (static_cast<float>(side) * 65536.0f);
  for (int k = 0; k < 4; ++k) {
    const int corner = kOrder[orientation & 1][k];
    v[corner].u = static_cast<float>(c.u[k]) * scale;
    v[corner].v = static_cast<float>(c.v[k]) * scale;
  }
}

// The cell's two triangles along the diagonal the software path splits it on: corners 1-3 for orientation 0, 0-2
// (the quad's own) for orientation 1.
void DrawCellQuad(const VortelVertex v[4], uint8_t orientation) {
  if (orientation == 0 && vortellive.drawtri) {
    vortellive.drawtri(&v[3], &v[0], &v[1]);
    vortellive.drawtri(&v[1], &v[2], &v[3]);
  } else {
    DrawQuad(v);
  }
}

std::vector<uint8_t>& TileImage(int side, int texelBytes) {
  static std::vector<uint8_t> image;
  image.assign(16 + static_cast<size_t>(side) * side * texelBytes, 0);
  const uint16_t w = static_cast<uint16_t>(side);
  std::memcpy(image.data() + 4, &w, 2);
  std::memcpy(image.data() + 6, &w, 2);
  return image;
}

// The cell's tile composed from its surfaces and masks as a texture image (null when it cannot be). A keyed tile's
// water texels are clear (1-5-5-5), so the key colour drawn under them shows there.
const uint8_t* ComposeTerrainTile(const TerrainTileRecord& r) {
  const CourseSceneData& course = CurrentCourseScene();
  const TerrainGrid& g = CurrentTerrain();
  if (r.cell >= static_cast<size_t>(g.width) * g.depth) return nullptr;
  const uint8_t surfaceByte = g.cells[static_cast<size_t>(r.cell) * kCellBytes + 2];
  const int own = SurfaceTextureIndex(course, surfaceByte, 1, r.stripe != 0);
  TileRecipe recipe;
  int third = -1;
  const DetailCell detail = ReadDetailCell(g, r.cell);
  if (own < 0 || !DetailRecipe(detail, course.textures[static_cast<size_t>(own)], r.stripe != 0, &recipe, &third))
    return nullptr;
  recipe.orientation = r.orientation;
  recipe.builder = r.builder;
  const BuiltTile tile = BuildQuadTile(recipe);
  if (tile.side != r.side) return nullptr;
  const size_t count = static_cast<size_t>(tile.side) * tile.side;
  std::vector<uint8_t>& image = TileImage(tile.side, 2);
  auto* texels = reinterpret_cast<uint16_t*>(image.data() + 16);
  for (size_t k = 0; k < count; ++k) {
    const uint16_t t = To565(course.palette[tile.texels[k]]);
    std::memcpy(image.data() + 16 + 2 * k, &t, 2);
  }
  if (!r.keyed) return image.data();
  // The water tile reuses the shared tile buffer, so it is built after the texels were taken.
  const WaterTexels water = WaterTexelsOf(detail, surfaceByte, recipe, third >= 0, r.orientation, r.builder);
  for (size_t k = 0; k < count; ++k) {
    uint16_t t;
    std::memcpy(&t, texels + k, 2);
    const bool wet = water.mixed ? (water.tile.texels[k] != 0) != water.ownIsWater : water.ownIsWater;
    t = wet ? 0 : std::max<uint16_t>(t, 1);  // black stays opaque
    std::memcpy(texels + k, &t, 2);
  }
  MakeKeyedTile1555(texels, static_cast<int>(count));
  return image.data();
}

// The pools of composed tiles: terrain tiles 16 and 64 texels square, plain and keyed, and the shadow masks' tiles.
enum TilePool { kPlain16, kPlain64, kKeyed16, kKeyed64, kShadow16, kTilePools };
// Slots of each pool holding a tile this frame drew. Cells near the tee want more tiles than some pools have slots;
// were each new tile to evict the oldest, a frame would push out the tiles the next frame wants first, and every
// tile would be composed anew every frame. Once this frame holds all of a pool's slots, further tiles go through
// one texture of their own and the pool keeps what it holds.
struct TilePoolUse {
  uint32_t held = 0, slots = 0;
  bool looked = false;
};
TilePoolUse gTileUse[kTilePools];

uint32_t PoolSlots(int side, int format) {
  for (const TextureCachePool* p : TextureCachePools(1))
    if (p->widthKey == side - 1 && p->heightKey == side - 1 && p->format == format) return p->slots;
  return 0;
}

// Tiles that went through a pool's overflow texture, kept as composed in memory: a view near the tee wants more
// 64-texel tiles than the card has memory for, and composing them (smoothing through the masks) is the dear part.
// By pool, under the cache's stamps (dropped when the cache drops its bindings, at a new hole), the least recently
// drawn going first once a pool's store is full.
struct StoredTile {
  std::vector<uint8_t> image;
  uint32_t frame = 0;
};
struct TileStore {
  std::unordered_map<uint32_t, StoredTile> tiles;
  uint32_t generation = 0;
};
TileStore gStore[kTilePools];
constexpr size_t kStoreLimit[kTilePools] = {2048, 512, 2048, 512, 2048};

const uint8_t* StoredTileImage(TilePool pool, uint32_t stamp) {
  TileStore& store = gStore[pool];
  if (store.generation != TextureCacheGeneration()) store.tiles.clear(), store.generation = TextureCacheGeneration();
  const auto it = store.tiles.find(stamp);
  if (it == store.tiles.end()) return nullptr;
  it->second.frame = TextureCacheFrame();
  return it->second.image.data();
}

void StoreTileImage(TilePool pool, uint32_t stamp, const uint8_t* image, size_t bytes) {
  TileStore& store = gStore[pool];
  if (store.tiles.size() >= kStoreLimit[pool]) {
    auto oldest = store.tiles.begin();
    for (auto it = store.tiles.begin(); it != store.tiles.end(); ++it)
      if (it->second.frame < oldest->second.frame) oldest = it;
    store.tiles.erase(oldest);
  }
  store.tiles[stamp] = StoredTile{std::vector<uint8_t>(image, image + bytes), TextureCacheFrame()};
}

// The texture of a composed tile under `stamp`: the cache's when it holds it, else `compose` (a texture image, null
// when there is none) given to the cache or, the pool full of this frame's tiles, to the pool's overflow texture;
// an overflowing tile is composed once and kept in memory for the frames after.
template <typename Compose>
intptr_t TileTexture(TilePool pool, uint32_t stamp, int side, int format, Compose compose) {
  TilePoolUse& use = gTileUse[pool];
  if (!use.looked) use.slots = PoolSlots(side, format), use.looked = true;
  TextureCacheEntry* e = FindCachedTexture(stamp, 1, side - 1, format);
  if (TextureHandleIsValid(e, stamp)) {
    if (e->lastUsed != TextureCacheFrame()) ++use.held;
    return UseCachedTexture(e);
  }
  const uint8_t* image = StoredTileImage(pool, stamp);
  if (image) {
    if (gStats) ++gStats->storedTiles;
  } else {
    image = compose();
    if (!image) return 0;
    if (gStats) ++gStats->composedTiles;
    if (use.held >= use.slots)
      StoreTileImage(pool, stamp, image, 16 + static_cast<size_t>(side) * side * TexelBytes(format));
  }
  if (use.held < use.slots) {
    e = UploadCachedTexture(image, side, format, 0, stamp, 1, nullptr, nullptr);
    if (!e) return 0;
    ++use.held;
    return UseCachedTexture(e);
  }
  intptr_t& t = gTextures.overflow[pool];
  if (!t && vortellive.talloc) t = vortellive.talloc(side, side, format, 0, 0);
  if (!t || !vortellive.tupdate) return 0;
  vortellive.tupdate(t, image + 16, nullptr);
  return t;
}

void DrawTerrainTileRecord(uint32_t offset) {
  auto r = Read<TerrainTileRecord>(offset);
  const TilePool pool = r.keyed ? (r.side == 64 ? kKeyed64 : kKeyed16) : (r.side == 64 ? kPlain64 : kPlain16);
  const intptr_t texture = TileTexture(pool, r.stamp, r.side, r.keyed ? kKeyedTileFormat : kTileFormat,
                                       [&r] { return ComposeTerrainTile(r); });
  if (r.keyed && !gWaterLine.on) {
    // The key colour first, split as the tile is so both meet the same depth; the tile is cut out (nearest
    // texels) so its edge pixels are whole tile or whole key. With the water line the reflected sky shows there.
    VortelVertex key[4];
    std::memcpy(key, r.v, sizeof key);
    for (VortelVertex& c : key) c.colour = kWaterMarkerColour;
    SetTexture(0);
    if (gFogOn && vortellive.setstate) vortellive.setstate(21, 0);
    DrawCellQuad(key, r.orientation);
    if (gFogOn && vortellive.setstate) vortellive.setstate(21, 1);
    if (gStats) ++gStats->waterMarkers;
  }
  if (r.keyed && gStats) ++gStats->keyedTiles;
  if (!texture) return;
  if (r.keyed) {
    if (!vortellive.setstate) return;
    vortellive.setstate(10, 2);
    SetTexture(texture);
    DrawCellQuad(r.v, r.orientation);
    vortellive.setstate(10, 0);
  } else {
    FilterTextures(true);
    SetTexture(texture);
    DrawCellQuad(r.v, r.orientation);
    FilterTextures(false);
  }
  if (gStats) ++gStats->drawnTiles;
}

const uint8_t* ComposeShadowTile(const ShadeOverlayRecord& r) {
  const RunMask mask = MaskAt(CurrentTerrain(), r.mask);
  if (!mask.bytes) return nullptr;
  std::vector<uint8_t>& image = TileImage(16, 2);
  uint16_t tile[16 * 16];
  DecodeAlphaMask16Soft(mask, tile);
  std::memcpy(image.data() + 16, tile, sizeof tile);
  return image.data();
}

void DrawShadeOverlayRecord(uint32_t offset) {
  auto r = Read<ShadeOverlayRecord>(offset);
  if (!vortellive.setstate) return;
  if (r.maskFlag) {
    const intptr_t texture =
        TileTexture(kShadow16, r.stamp, r.side, kShadowFormat, [&r] { return ComposeShadowTile(r); });
    if (!texture) return;
    SetTexture(texture);
    TileTexCoords(16, r.orientation, r.v);
    for (VortelVertex& v : r.v) v.colour = 0xFF000000u;
  } else {
    SetTexture(0);
    for (VortelVertex& v : r.v) v.colour = 0x40000000u;
  }
  vortellive.setstate(10, 2);
  DrawCellQuad(r.v, r.orientation);
  vortellive.setstate(10, 0);
  if (gStats) ++gStats->drawnShadows;
}

// A sprite image's module texture, made once and refilled for each picture.
intptr_t SpriteTexture(int which, int32_t side, const std::vector<uint16_t>& texels) {
  intptr_t& t = gTextures.sprites[which];
  if (!t && vortellive.talloc) t = vortellive.talloc(side, side, 3, 0, 0);
  if (!t || !vortellive.tupdate) return 0;
  vortellive.tupdate(t, texels.data(), nullptr);
  return t;
}

void DrawSceneSpriteRecord(uint32_t offset, const TGolfView& view) {
  const auto r = Read<SceneSpriteRecord>(offset);
  const VortelVertex& a = r.anchor;
  const float viewW = static_cast<float>(view.viewWidth), viewH = static_cast<float>(view.viewHeight);
  if (a.x < -400.0f || a.x > viewW + 400.0f || a.y < -400.0f || a.y > viewH + 400.0f) return;
  if (!r.entry) {
    const uint32_t c = r.colour;
    const uint32_t argb = 0xFF000000u | ((c >> 11) & 31u) << 19 | ((c >> 5) & 63u) << 10 | (c & 31u) << 3;
    SetTexture(0);
    DrawRect(a.x, a.y, a.x + r.width, a.y + r.height, a.z, a.q, argb, 0.0f, 0.0f);
    return;
  }
  const SpriteFit fit = FitSceneSprite(shapewidth(r.entry), shapeheight(r.entry), r.movieFrame != 0);
  static std::vector<uint16_t> top, bottom;
  if (!ConvertSceneSprite(r.file, r.entry, fit, top, bottom)) return;
  if (r.width > 0.0f && fit.kind != SpriteClass::kTwoPiece) {
    // A part of the image laid over a rectangle (the hardware ball and its shadow).
    const bool part = r.srcRight > r.srcLeft && r.srcBottom > r.srcTop;
    const float sx = static_cast<float>(fit.width) / static_cast<float>(shapewidth(r.entry)) / fit.side;
    const float sy = static_cast<float>(fit.height) / static_cast<float>(shapeheight(r.entry)) / fit.side;
    const float u0 = part ? r.srcLeft * sx : 0.0f, v0 = part ? r.srcTop * sy : 0.0f;
    const float u1 = part ? r.srcRight * sx : fit.width / static_cast<float>(fit.side);
    const float v1 = part ? r.srcBottom * sy : fit.height / static_cast<float>(fit.side);
    SetTexture(SpriteTexture(fit.kind == SpriteClass::kSmall ? 0 : 1, fit.side, top));
    DrawRectPart(a.x, a.y, a.x + r.width, a.y + r.height, a.z, a.q, r.tint, u0, v0, u1, v1);
    return;
  }
  const float w = static_cast<float>(shapewidth(r.entry)) * r.scale;
  const float h = static_cast<float>(shapeheight(r.entry)) * r.scale;
  const float left = std::floor(a.x - static_cast<float>(shapecentrex(r.entry)) * r.scale);
  const float up = std::floor(a.y - static_cast<float>(shapecentrey(r.entry)) * r.scale);
  const float side = static_cast<float>(fit.side);
  const int32_t topRows = std::min(fit.height, fit.side);
  const float split = up + h * static_cast<float>(topRows) / static_cast<float>(fit.height);
  const int which = fit.kind == SpriteClass::kSmall ? 0 : fit.kind == SpriteClass::kMedium ? 1 : 2;
  // The top piece is left out when it lies wholly above the view.
  if (split > static_cast<float>(view.viewTop)) {
    SetTexture(SpriteTexture(which, fit.side, top));
    DrawRect(left, up, left + w, split, a.z, a.q, 0xFFFFFFFFu, static_cast<float>(fit.width) / side,
             static_cast<float>(topRows) / side);
  }
  if (fit.kind == SpriteClass::kTwoPiece && fit.height > fit.side) {
    SetTexture(SpriteTexture(3, fit.side, bottom));
    DrawRect(left, split, left + w, up + h, a.z, a.q, 0xFFFFFFFFu, static_cast<float>(fit.width) / side,
             static_cast<float>(fit.height - fit.side) / side);
  }
}

void DrawTextureBatches() {
  for (int slot = 0; slot < kTextureSlots; ++slot) {
    // The slot's batches, oldest first.
    std::vector<uint32_t> chain;
    for (uint32_t b = gBuffer.openBatch[slot]; b != SceneRecordBuffer::kNone; b = Read<BatchHeader>(b).h.next)
      chain.push_back(b);
    if (chain.empty()) continue;
    SetTexture(TerrainTexture(slot));
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const auto header = Read<BatchHeader>(*it);
      const auto* quads = reinterpret_cast<const VortelVertex*>(At(*it + sizeof(BatchHeader)));
      // A batch is one quad mesh: its quads' corners in order.
      static const std::vector<uint32_t> corners = [] {
        std::vector<uint32_t> v(kTextureBatchQuads * 4);
        for (uint32_t k = 0; k < v.size(); ++k) v[k] = k;
        return v;
      }();
      if (vortellive.drawquadmesh) vortellive.drawquadmesh(static_cast<int32_t>(header.count), quads, corners.data());
    }
  }
}

// Cut-out images are sampled to the nearest texel: their edges then stay whole or clear, and nothing behind them,
// drawn later, is turned away by a half-clear edge. The ground is filtered.
void FilterTextures(bool on) {
  if (vortellive.setstate) vortellive.setstate(7, on ? 1 : 0);
}

void Flush() {
  FilterTextures(true);
  DrawTextureBatches();
  FilterTextures(false);
  for (uint32_t r = gBuffer.mainHead; r != SceneRecordBuffer::kNone;) {
    const auto h = Read<RecordHeader>(r);
    switch (h.handler) {
      case kRecordTexturedQuad: DrawTexturedQuadRecord(r); break;
      case kRecordOverlaySprite: DrawOverlaySprite(r); break;
      case kRecordFlag: DrawFlagRecord(r); break;
      case kRecordSkyRect: DrawSkyRectRecord(r); break;
      case kRecordTerrainTile: DrawTerrainTileRecord(r); break;
      case kRecordShadeOverlay: DrawShadeOverlayRecord(r); break;
      case kRecordSceneSprite:
        if (gView) DrawSceneSpriteRecord(r, *gView);
        break;
      default: break;
    }
    r = h.next;
  }
  if (vortellive.flushwindow) vortellive.flushwindow();
  const bool sky = gBuffer.skyDrawn;
  gBuffer.Reset();
  gBuffer.skyDrawn = sky;
  if (gStats) ++gStats->flushes;
}

void FlushWhenDue() {
  if (gBuffer.position >= SceneRecordBuffer::kFlushMark || gBuffer.spritePosition >= SceneRecordBuffer::kSpriteFlushMark ||
      (gBuffer.skyDrawn && gBuffer.cost >= SceneRecordBuffer::kCostBudget))
    Flush();
}

void EmitCellQuad(int slot, const VortelVertex v[4]) {
  uint32_t batch = gBuffer.openBatch[slot];
  BatchHeader header{};
  if (batch != SceneRecordBuffer::kNone) header = Read<BatchHeader>(batch);
  if (batch == SceneRecordBuffer::kNone || header.count >= header.capacity) {
    // A new batch only when it ends before the buffer's end; else the quad goes alone on the main list.
    const uint32_t fresh = Take(kTextureBatchBytes, false);
    if (fresh == SceneRecordBuffer::kNone) {
      const uint32_t at = Take(kTexturedQuadBytes, false);
      if (at == SceneRecordBuffer::kNone) return;
      TexturedQuadRecord r{{kRecordTexturedQuad, SceneRecordBuffer::kNone}, {v[0], v[1], v[2], v[3]},
                           static_cast<uint32_t>(slot), 0};
      std::memcpy(At(at), &r, sizeof r);
      AppendMain(at);
      if (gStats) ++gStats->loneQuads;
      return;
    }
    header = BatchHeader{{kRecordTextureBatch, batch}, static_cast<uint32_t>(slot), 0, kTextureBatchQuads};
    batch = fresh;
    gBuffer.openBatch[slot] = batch;
    if (gStats) ++gStats->batches;
  }
  std::memcpy(At(batch + sizeof(BatchHeader) + header.count * 4 * sizeof(VortelVertex)), v, 4 * sizeof(VortelVertex));
  ++header.count;
  std::memcpy(At(batch), &header, sizeof header);
  gBuffer.cost += kCostPerBatchedQuad;
  if (gStats) ++gStats->batchedQuads;
}

VortelVertex ScreenVertex(const ScreenPointF& f, uint32_t colour, float u, float v) {
  return VortelVertex{f.x, f.y, DepthFractionForDistance(f.Z, kHardwareDepthMode), 1.0f / f.Z, colour, 0xFF000000u, u, v};
}

// A cell's size on the screen: the larger horizontal extent of its diagonals, the largest vertical extent of its
// edges (whole pixels).
struct CellSize {
  float width, height;
};
CellSize MeasureCell(const ScreenPointF f[4]) {
  const float width = std::max(std::fabs(f[0].x - f[2].x), std::fabs(f[1].x - f[3].x));
  float height = 0.0f;
  for (int k = 0; k < 4; ++k) height = std::max(height, std::fabs(f[k].y - f[(k + 1) & 3].y));
  return {width, std::floor(height)};
}

// Whether water lies beside the cell on one of the sides a 64-texel tile's smoothing would reach across.
bool WaterBeside(const TerrainGrid& g, size_t cell) {
  const int32_t i = static_cast<int32_t>(cell % g.width), j = static_cast<int32_t>(cell / g.width);
  static const int kSides[3][2] = {{-1, 0}, {1, 0}, {0, -1}};
  for (const auto& d : kSides) {
    const int32_t x = i + d[0], z = j + d[1];
    if (x < 0 || z < 0 || x >= static_cast<int32_t>(g.width) || z >= static_cast<int32_t>(g.depth)) continue;
    if (IsWaterSurface(g.cells[(static_cast<size_t>(z) * g.width + x) * kCellBytes + 2] & 0xF0)) return true;
  }
  return false;
}

// A step-1 cell with a detail tile becomes a terrain tile record; the tile's side follows the cell's size on the
// screen (16 texels below 55 pixels across, else 64). A cell lower than the adaptive tile step stays plain.
bool EmitTerrainTile(const TerrainGrid& g, size_t cell, const DetailCell& detail, const ScreenPointF f[4],
                     const VortelVertex v[4], bool stripe, HardwareFrameStats& stats) {
  const auto [width, height] = MeasureCell(f);
  if (height < static_cast<float>(gAdaptive.stepWhole[0])) return false;
  // A tile wholly water is the plain water marker; one partly water is keyed over it.
  const bool waterA = IsWaterSurface(g.cells[cell * kCellBytes + 2] & 0xF0);
  const bool waterB = IsWaterSurface(static_cast<uint8_t>(detail.second << 4));
  const bool waterO = detail.third != 0 && IsWaterSurface(static_cast<uint8_t>(detail.third << 4));
  if (waterA && waterB && (detail.third == 0 || waterO)) return false;
  const bool keyed = waterA || waterB || waterO;
  uint8_t builder = width < 55.0f ? 5 : (height < 16.0f ? 6 : 7);
  // The Direct3D back end keeps smoothed tiles off the shore.
  if (builder != 5 && gRenderStart.backEndKind == 4 && WaterBeside(g, cell)) builder = 5;
  const uint32_t at = Take(kTerrainTileBytes, false);
  if (at == SceneRecordBuffer::kNone) return false;
  TerrainTileRecord r{};
  r.h = {kRecordTerrainTile, SceneRecordBuffer::kNone};
  std::memcpy(r.v, v, sizeof r.v);
  r.cell = static_cast<uint32_t>(cell);
  r.builder = builder;
  r.orientation = CellOrientation(g, static_cast<int32_t>(cell % g.width), static_cast<int32_t>(cell / g.width));
  r.stripe = stripe ? 1 : 0;
  r.side = builder == 5 ? 16 : 64;
  r.keyed = keyed ? 1 : 0;
  r.stamp = 0x80000000u | (static_cast<uint32_t>(cell) * 128u + builder * 4u + r.keyed);
  TileTexCoords(r.side, r.orientation, r.v);
  std::memcpy(At(at), &r, sizeof r);
  AppendMain(at);
  gBuffer.cost += kCostTile;
  ++stats.tiles;
  return true;
}

// The mask's soft tile only on cells at least as tall as the adaptive decal step; lower ones darken whole.
void EmitShadeOverlay(const TerrainGrid& g, size_t cell, uint32_t shadow, const ScreenPointF f[4],
                      const VortelVertex v[4], HardwareFrameStats& stats) {
  const uint32_t at = Take(kShadeOverlayBytes, false);
  if (at == SceneRecordBuffer::kNone) return;
  ShadeOverlayRecord r{};
  r.h = {kRecordShadeOverlay, SceneRecordBuffer::kNone};
  std::memcpy(r.v, v, sizeof r.v);
  for (VortelVertex& c : r.v) c.z = std::max(0.0f, c.z - kOverlayLift);
  r.mask = shadow;
  r.maskFlag = shadow != 0xFFFFFFFFu && MeasureCell(f).height >= static_cast<float>(gAdaptive.stepWhole[1]) ? 1 : 0;
  r.orientation = CellOrientation(g, static_cast<int32_t>(cell % g.width), static_cast<int32_t>(cell / g.width));
  r.side = 16;
  r.stamp = shadow;
  std::memcpy(At(at), &r, sizeof r);
  AppendMain(at);
  gBuffer.cost += kCostTile;
  ++stats.shadows;
}

// The horizon strip's pieces, their bottoms on `horizonY`; with the water line each again upside down below
// itself in the water's reflection colour. Returns the lowest row the mirrored pieces reach.
int32_t DrawHorizonPieces(const TGolfView& view, const CourseSceneData& course, int32_t left, int32_t right,
                          int32_t horizonY) {
  int32_t mirrorBottom = horizonY + 1;
  if (gHorizon.total <= 0 || course.horizonCount <= 0) return mirrorBottom;
  const float scale = course.horizonScale > 0.0f ? course.horizonScale : 1.0f;
  const int32_t offset = HorizonOffsetForHeading(view.heading, 0, right - left);
  int32_t x = left - static_cast<int32_t>(static_cast<float>(offset) * scale);
  const float stripWidth = static_cast<float>(gHorizon.total) * scale;
  while (x > left) x -= static_cast<int32_t>(stripWidth);
  for (; x < right;) {
    for (int i = 0; i < course.horizonCount && x < right; ++i) {
      const HorizonPanel& piece = course.horizon[static_cast<size_t>(i)];
      const float w = static_cast<float>(piece.image.width() + piece.extraWidth) * scale;
      const float h = static_cast<float>(piece.image.height()) * scale;
      if (piece.image.present()) {
        // Built on the stack and drawn at once.
        const float x0 = static_cast<float>(x), x1 = x0 + static_cast<float>(piece.image.width()) * scale;
        const float y1 = std::floor(static_cast<float>(horizonY) + 1.0f), y0 = std::floor(y1 - h);
        ScreenSpriteRecord r{{kRecordScreenSprite, SceneRecordBuffer::kNone}, {x0, x1, x1, x0}, {y0, y0, y1, y1},
                             kHorizonZ, 0.001f, 0xFFFFFFFFu, static_cast<uint32_t>(i), 1.0f, 1.0f, {0, 0}};
        DrawScreenSpriteRecord(r);
        if (gStats) ++gStats->horizonPieces;
        if (gWaterLine.on) {
          ScreenSpriteRecord m = r;
          m.y[0] = m.y[1] = y1 + (y1 - y0), m.y[2] = m.y[3] = y1;
          m.colour = course.waterReflection | 0xFF000000u;
          DrawScreenSpriteRecord(m);
          mirrorBottom = std::max(mirrorBottom, static_cast<int32_t>(m.y[0]));
          if (gStats) ++gStats->mirroredSkyQuads;
        }
      }
      x += std::max(1, static_cast<int32_t>(w));
    }
    if (stripWidth < 1.0f) break;
  }
  return mirrorBottom;
}

// The topmost screen row of the water the frame draws (water cells, tiles with a water layer), or -1 when none
// is seen.
int32_t MeasureWaterRow(const TGolfView& view, const std::vector<HoleItem>& items) {
  const TerrainGrid& g = CurrentTerrain();
  const float left = static_cast<float>(view.viewLeft), right = left + static_cast<float>(view.viewWidth);
  const float top = static_cast<float>(view.viewTop), bottom = top + static_cast<float>(view.viewHeight);
  float row = bottom;
  bool seen = false;
  for (const HoleItem& item : items) {
    if (item.kind != ItemKind::Quad) continue;
    const size_t cell = static_cast<size_t>(item.j) * g.width + static_cast<size_t>(item.i);
    bool water = IsWaterSurface(g.cells[cell * kCellBytes + 2]);
    if (!water && item.step == 1) {
      const DetailCell d = ReadDetailCell(g, cell);
      water = d.present && d.second != 0 &&
              (IsWaterSurface(static_cast<uint8_t>(d.second << 4)) ||
               (d.third != 0 && IsWaterSurface(static_cast<uint8_t>(d.third << 4))));
    }
    ScreenPointF f[4];
    if (!water || !ProjectBlockCorners(view, item, f)) continue;
    float x0 = f[0].x, x1 = f[0].x, y0 = f[0].y, y1 = f[0].y;
    for (const ScreenPointF& p : f) x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
    if (x1 < left || x0 >= right || y1 < top || y0 >= bottom) continue;
    row = std::min(row, y0);
    seen = true;
  }
  return seen ? static_cast<int32_t>(std::max(row, top)) : -1;
}

// The sky dome through the module: each band's visible panels as textured quads just in front of the far limit,
// drawn at once (bottom, top, horizon); the top band's zenith its images mirrored upward to the view's top, the
// ground below each horizon panel in its surface's colour. Adjacent panels overlap by a pixel. With the water line
// every band is drawn again, upside down in the water's reflection colour, after all direct panels: the mirror line
// on the water row, the zenith's mirror reaching the view's bottom, without the depth buffer (the terrain drawn
// later covers it but where water was left out) and with a ninth of the depth, so the fog veils it less.
void DrawSkyDomeHardware(TGolfView& view, int32_t horizonRow) {
  const bool reflect = gWaterLine.on;
  const int32_t waterRow = std::max(horizonRow, gWaterLine.row);
  PlaceSkyDome(view, horizonRow, reflect ? &waterRow : nullptr, gWaterLine.level);
  const CourseSceneData& course = CurrentCourseScene();
  const HoleSceneHeader& header = CurrentHoleScene().header;
  const int32_t rect[4] = {view.viewLeft, view.viewTop, view.viewLeft + view.viewWidth, view.viewTop + view.viewHeight};
  const float baseZ = 0.99998474f;  // just in front of the far limit
  auto outcode = [&](const VortelVertex& c) {
    return (c.x > static_cast<float>(rect[2]) ? 1 : 0) | (c.x < static_cast<float>(rect[0]) ? 2 : 0) |
           (c.y > static_cast<float>(rect[3]) ? 4 : 0) | (c.y < static_cast<float>(rect[1]) ? 8 : 0);
  };
  for (int pass = 0; pass < (reflect ? 2 : 1); ++pass) {
    const bool mirrored = pass == 1;
    const uint32_t colour = mirrored ? course.waterReflection | 0xFF000000u : 0xFFFFFFFFu;
    if (mirrored && vortellive.setstate) vortellive.setstate(4, 0);
    for (SkyBand kind : {SkyBand::Bottom, SkyBand::Top, SkyBand::Horizon}) {
      const SkyCylinder* band = SkyDomeBand(kind);
      if (!band || band->panels().empty()) continue;
      const bool horizon = kind == SkyBand::Horizon;
      // The skyline's images are cut out: sampled to the nearest texel, as the other keyed images.
      FilterTextures(!horizon);
      float z = horizon ? baseZ - 0.000018f : baseZ;
      if (mirrored) z = (z - 0.000018f - (horizon ? 0.000054f : 0.0f)) / 9.0f;
      const std::vector<SkyPanel>& panels = band->panels();
      const int n = static_cast<int>(panels.size());
      bool firstDrawn = true;
      for (int i = band->first(); i != band->end(); i = i + 1 == n ? 0 : i + 1) {
        const SkyPanel& a = panels[static_cast<size_t>(i)];
        const SkyPanel& b = panels[static_cast<size_t>(i + 1 == n ? 0 : i + 1)];
        if (!a.projected || !b.projected) continue;
        const float o = mirrored ? band->waterSkyOffset : band->skyOffset;
        // Direct: upper edge on top; mirrored: the lower edge on top and the image upside down.
        const ScreenPointF& p0 = mirrored ? a.mirrorLower : a.upper;
        const ScreenPointF& p1 = mirrored ? b.mirrorLower : b.upper;
        const ScreenPointF& p2 = mirrored ? b.mirrorUpper : b.lower;
        const ScreenPointF& p3 = mirrored ? a.mirrorUpper : a.lower;
        const float vTop = mirrored ? 1.0f : 0.0f, vBottom = 1.0f - vTop;
        VortelVertex c[4] = {{p0.x, p0.y + o - 1.0f, z, 1.0f, colour, 0xFF000000u, 0.0f, vTop},
                             {p1.x + 1.0f, p1.y + o - 1.0f, z, 1.0f, colour, 0xFF000000u, 1.0f, vTop},
                             {p2.x + 1.0f, p2.y + o, z, 1.0f, colour, 0xFF000000u, 1.0f, vBottom},
                             {p3.x, p3.y + o, z, 1.0f, colour, 0xFF000000u, 0.0f, vBottom}};
        if (horizon) {
          c[2].y += 1.0f, c[3].y += 1.0f;
          // The ground below the panel, at the far limit; none where the water shows the reflection.
          const HorizonPanel& piece = course.horizon[static_cast<size_t>(a.imageIndex)];
          const uint8_t surface = piece.surface ? piece.surface : static_cast<uint8_t>(header.defaultSurface);
          const int shade = piece.surface ? piece.shade : header.defaultShade;
          const CourseImage& ground = course.textures[static_cast<size_t>((surface >> 4) & 15)].image;
          const uint16_t g = course.LightTable(shade)[ground.present() ? ground.pixels()[0] : 0];
          const float left = std::trunc(std::min(c[3].x, c[2].x)), right = std::trunc(std::max(c[3].x, c[2].x));
          const float top = std::trunc(std::min(c[3].y, c[2].y) - 1.0f), bottom = static_cast<float>(rect[3]);
          if (!reflect && right > 0.0f && left < static_cast<float>(rect[2]) && top < bottom) {
            // Water below the skyline is drawn in the key colour, so the reflection finds it as the lake's.
            const bool water = IsWaterSurface(surface);
            SetTexture(0);
            if (water && gFogOn && vortellive.setstate) vortellive.setstate(21, 0);
            DrawRect(std::max(left, static_cast<float>(rect[0])), std::max(top, static_cast<float>(rect[1])),
                     std::min(right, static_cast<float>(rect[2])), bottom, kFarZ, 1.0f,
                     water ? kWaterMarkerColour
                           : 0xFF000000u | ((g >> 11) & 31u) << 19 | ((g >> 5) & 63u) << 10 | (g & 31u) << 3,
                     0.0f, 0.0f);
            if (water && gFogOn && vortellive.setstate) vortellive.setstate(21, 1);
            if (gStats) ++(water ? gStats->waterMarkers : gStats->skyQuads);
          }
        }
        int code[4], all = 0xF;
        for (int k = 0; k < 4; ++k) all &= code[k] = outcode(c[k]);
        LazyTexture& t = gTextures.sky[a.image];
        if (!t.tried) {
          t.tried = true;
          t.handle = UploadImage(*a.image, course.palette, horizon ? 3 : 4);
        }
        if (!t.handle) continue;
        SetTexture(t.handle);
        if (all == 0) {
          DrawQuad(c);
          if (gStats) ++(mirrored ? gStats->mirroredSkyQuads : gStats->skyQuads);
        }
        // The zenith above the top band: the panel's image mirrored upward, stretched to the view's top; in the
        // water the same mirrored downward to the view's bottom.
        if (kind == SkyBand::Top && !(mirrored ? (code[2] & code[3] & 4) : (code[0] & code[1] & 8)) &&
            !(code[0] & code[3] & 1) && !(code[1] & code[2] & 2)) {
          VortelVertex q[4];
          if (!mirrored) {
            q[0] = c[0], q[1] = c[1], q[2] = c[1], q[3] = c[0];
            if (firstDrawn) q[3].x = q[0].x = std::min(c[0].x, static_cast<float>(rect[0]));
            q[0].y = std::min(c[0].y - (c[3].y - c[0].y), static_cast<float>(rect[1]));
            q[1].y = std::min(c[1].y - (c[2].y - c[1].y), static_cast<float>(rect[1]));
            q[0].v = q[1].v = 1.0f, q[2].v = q[3].v = 0.0f;
          } else {
            q[0] = c[3], q[1] = c[2], q[2] = c[2], q[3] = c[3];
            if (firstDrawn) q[3].x = q[0].x = std::min(c[3].x, static_cast<float>(rect[0]));
            q[2].y = std::max(c[2].y + (c[2].y - c[1].y), static_cast<float>(rect[3]));
            q[3].y = std::max(c[3].y + (c[3].y - c[0].y), static_cast<float>(rect[3]));
            q[0].v = q[1].v = 0.0f, q[2].v = q[3].v = 1.0f;
          }
          DrawQuad(q);
          if (gStats) ++(mirrored ? gStats->mirroredSkyQuads : gStats->skyQuads);
        }
        firstDrawn = false;
      }
    }
    if (mirrored && vortellive.setstate) vortellive.setstate(4, 1);
  }
  FilterTextures(false);
}

}  // namespace

void SceneRecordBuffer::Reset() {
  position = spritePosition = 0;
  mainHead = mainTail = kNone;
  for (uint32_t& b : openBatch) b = kNone;
  cost = 0;
  skyDrawn = false;
}

SceneRecordBuffer& HardwareRecordBuffer() { return gBuffer; }

void MarkLiveDepth(std::vector<uint16_t>& depth) {
  // One table for the 65,536 values the module can give: each camera depth back as the software picture keeps it.
  static std::vector<uint16_t> table;
  if (table.empty()) {
    table.resize(65536);
    const DepthBand& band = DepthBands[3];  // the band mode 3 draws in
    for (size_t v = 0; v < table.size(); ++v) {
      const float g = static_cast<float>(v) / 65535.0f - band.near;
      table[v] = static_cast<uint16_t>(SoftwareDepthValue(g > 0.0f ? g * 1000.0f / band.range : 0.0f, true) | 0x8000);
    }
  }
  for (uint16_t& d : depth) d = table[d];
}

void MakeFogTable(int level, bool direct3D, uint8_t table[64]) {
  std::memset(table, 0, 64);
  if (level < 1 || level > 3) return;
  const int k = level - 1;
  float v = 0.0f;
  if (direct3D) {
    static const float kStart[3] = {0, 20, 40}, kStep[3] = {5, 20, 25}, kGrowth[3] = {1.0f, 1.1f, 1.1f},
                       kCeiling[3] = {100, 180, 240};
    for (int i = 0; i < 32; ++i) {
      table[i] = table[63] = static_cast<uint8_t>(std::min(kStart[k] + v, kCeiling[k]));
      v = v * kGrowth[k] + kStep[k];
    }
  } else {
    static const float kStep[3] = {5, 4, 5}, kGrowth[3] = {1.0f, 1.1f, 1.1f};
    for (int i = 32; i < 64; ++i) {
      table[i] = static_cast<uint8_t>(std::min(v, 240.0f));
      v = v * kGrowth[k] + kStep[k];
    }
  }
}

void SendDefaultRenderStates(int fogLevel) {
  if (!vortellive.setstate) return;
  for (const auto& [state, value] : {std::pair{7, 1}, {5, 1}, {6, 1}, {11, 0}, {4, 1}, {2, 0}})
    vortellive.setstate(state, value);
  // Level 0 sends no fog state at all.
  gFogOn = false;
  if (fogLevel < 1 || fogLevel > 3) return;
  static uint8_t table[64];
  MakeFogTable(fogLevel, gRenderStart.backEndKind == 4, table);
  if (vortellive.setstate(21, 1)) {
    gFogOn = true;
    vortellive.setstate(15, static_cast<intptr_t>(0xFFD0E0FFu));
    vortellive.setstate(105, reinterpret_cast<intptr_t>(table));
  }
}

void ForgetHardwareHoleTextures() { gTextures = HardwareTextures{}; }

HardwareFrameStats DrawHoleHardware(TGolfView& view, const Vector3* golfer) {
  HardwareFrameStats stats;
  RandomUpPin pin(37);
  gStats = &stats;
  for (TilePoolUse& use : gTileUse) use = TilePoolUse{};
  gView = &view;
  gBuffer.Reset();
  KeepTexturesForCourse();
  const CourseSceneData& course = CurrentCourseScene();
  const HoleSceneData& hole = CurrentHoleScene();
  const TerrainGrid& g = CurrentTerrain();
  view.pinScreenX = view.pinScreenY = -2048;
  view.pinDepthValue = 0;

  const int32_t left = view.viewLeft, top = view.viewTop;
  const int32_t right = left + view.viewWidth, bottom = top + view.viewHeight;
  if (vortellive.clip) vortellive.clip(left, top, view.viewWidth, view.viewHeight);
  if (vortellive.setstate) {
    vortellive.setstate(2, 0);  // no culling
    vortellive.setstate(4, 1);  // depth test and write
  }
  // The sky is the cleared background.
  const uint32_t sky = gHorizon.backgroundSet ? gHorizon.background32 : 0xFF68A8F8u;
  if (vortellive.setstate) vortellive.setstate(3, static_cast<intptr_t>(sky & 0xFFFFFF));
  if (vortellive.clearwindow) vortellive.clearwindow();
  const int32_t horizonY = top + view.centreY;
  // What the frame draws is known before the sky, which needs the water's row when the module reflects.
  std::vector<HoleItem> items;
  if (g.width >= 2 && g.depth >= 2) {
    HoleDrawStats collected;
    CollectHoleItems(view, golfer, items, collected);
    stats.skipped = collected.skipped;
  }
  gWaterLine = WaterLine{};
  if (gFogOn && HoleWaterLevel() != 0.0f) {
    const int32_t row = MeasureWaterRow(view, items);
    if (row >= 0) gWaterLine = WaterLine{true, row, HoleWaterLevel()};
  }
  stats.waterRow = gWaterLine.on ? gWaterLine.row : -1;
  FilterTextures(false);
  const bool dome = course.skyDome && SkyDomeBuilt();
  int32_t mirrorBottom = horizonY + 1;
  if (dome) DrawSkyDomeHardware(view, horizonY);
  else mirrorBottom = DrawHorizonPieces(view, course, left, right, horizonY);
  // The ground below the horizon.
  const HoleSceneHeader& header = hole.header;
  const int groundIndex = SurfaceTextureIndex(course, static_cast<uint8_t>(header.defaultSurface), 8, false);
  uint32_t ground = 0xFF385020u;
  if (groundIndex >= 0) {
    const uint16_t c =
        course.LightTable(header.defaultShade)[course.textures[static_cast<size_t>(groundIndex)].image.pixels()[0]];
    ground = 0xFF000000u | ((c >> 11) & 31u) << 19 | ((c >> 5) & 63u) << 10 | (c & 31u) << 3;
  }
  if (gWaterLine.on) {
    // No ground below the skyline: the water shows the reflection there. Below the mirrored strip the sky's
    // colour is seen through the water's.
    if (!dome && mirrorBottom < bottom) {
      const uint32_t w = course.waterReflection;
      uint32_t tint = 0xFF000000u;
      for (int shift : {0, 8, 16})
        tint |= (((w >> shift) & 0xFFu) * ((sky >> shift) & 0xFFu) / 255u) << shift;
      SetTexture(0);
      DrawRect(static_cast<float>(left), static_cast<float>(std::max(mirrorBottom, top)), static_cast<float>(right),
               static_cast<float>(bottom), kFarZ, 1.0f, tint, 0.0f, 0.0f);
      ++stats.mirroredSkyQuads;
    }
  } else if (const uint32_t at = dome && SkyDomeBand(SkyBand::Horizon) ? SceneRecordBuffer::kNone
                                                                       : Take(kSkyRectBytes, false);
             at != SceneRecordBuffer::kNone) {
    // The dome's skyline fills the ground below itself.
    const bool water = IsWaterSurface(static_cast<uint8_t>(header.defaultSurface));
    ++(water ? stats.waterMarkers : stats.skyQuads);
    SkyRectRecord r{{kRecordSkyRect, SceneRecordBuffer::kNone}, static_cast<float>(left),
                    static_cast<float>(std::max(horizonY + 1, top)), static_cast<float>(right),
                    static_cast<float>(bottom), water ? kWaterMarkerColour : ground, kFarZ, 0};
    std::memcpy(At(at), &r, sizeof r);
    AppendMain(at);
  }
  gBuffer.skyDrawn = true;

  if (!items.empty()) {
    const bool stripes = (header.flags & 1) != 0;
    static bool toldSurface = false;
    // Near first: the depth test then turns away most of what lies behind before it is textured.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      const HoleItem& item = *it;
      if (item.kind == ItemKind::Quad) {
        ScreenPointF f[4];
        if (!ProjectBlockCorners(view, item, f)) continue;
        const size_t cell = static_cast<size_t>(item.j) * g.width + static_cast<size_t>(item.i);
        const uint8_t surfaceByte = g.cells[cell * kCellBytes + 2];
        const bool stripe = stripes && ((item.j / 6) & 1) != 0;
        const int slot = SurfaceTextureIndex(course, surfaceByte, item.step, stripe);
        if (slot < 0) {
          ++stats.skipped;
          LogOnce(toldSurface, "surface without a texture:", surfaceByte >> 4);
          continue;
        }
        const uint32_t colour = course.shadeColours[static_cast<size_t>(surfaceByte & 0x0F)] | 0xFF000000u;
        // A texture spans eight cells; coarse blocks take their share of it.
        const float span = static_cast<float>(std::min(8, item.step)) / 8.0f;
        const float u0 = static_cast<float>(item.i % 8) / 8.0f, v0 = static_cast<float>(item.j % 8) / 8.0f;
        const float u1 = std::min(u0 + span, 1.0f), v1 = std::min(v0 + span, 1.0f);
        const VortelVertex v[4] = {ScreenVertex(f[0], colour, u0, v0), ScreenVertex(f[1], colour, u1, v0),
                                   ScreenVertex(f[2], colour, u1, v1), ScreenVertex(f[3], colour, u0, v1)};
        const DetailCell detail = item.step == 1 ? ReadDetailCell(g, cell) : DetailCell{};
        if (detail.present && detail.second != 0 && EmitTerrainTile(g, cell, detail, f, v, stripe, stats)) {
        } else if (IsWaterSurface(surfaceByte)) {
          if (gWaterLine.on) ++stats.waterCellsLeftOut;
          else EmitWaterMarker(v, stats);
        } else {
          EmitCellQuad(slot, v);
        }
        if (detail.present && detail.shadow != 0) EmitShadeOverlay(g, cell, detail.shadow, f, v, stats);
      } else {
        const ObjectType& type = course.objectTypes[item.objectType];
        ScreenPointF f;
        float width = 0.0f, height = 0.0f;
        const float k = ProjectObject(view, item, type, &f, &width, &height);
        if (height < static_cast<float>(view.minObjectHeight) || height < 1.0f || width < 1.0f) continue;
        if (item.objectType != kPinObjectType && ObjectBlocksView(view, type, f.Z, height)) continue;
        const bool alternate = type.useAlternate && type.alternate.present();
        const float x0 = std::floor(f.x - width * static_cast<float>(type.hotSpotFactor) / 65536.0f);
        const float y0 = std::floor(f.y - height);
        const float x1 = x0 + std::floor(width), y1 = y0 + std::floor(height);
        const uint32_t at = Take(kOverlaySpriteBytes, true);
        if (at == SceneRecordBuffer::kNone) continue;
        OverlaySpriteRecord r{{kRecordOverlaySprite, SceneRecordBuffer::kNone}, x0, y0, x1, y1,
                              DepthFractionForDistance(f.Z, kHardwareDepthMode), 1.0f / f.Z, 0xFFFFFFFFu, item.objectType,
                              alternate ? 1u : 0u, 1.0f, 1.0f, {0, 0}};
        std::memcpy(At(at), &r, sizeof r);
        AppendMain(at);
        ++stats.sprites;
        if (item.objectType == kPinObjectType) {
          view.pinScreenX = static_cast<int32_t>(f.x);
          view.pinScreenY = static_cast<int32_t>(y0);
          view.pinDepthValue = DepthValueForDistance(f.Z, kHardwareDepthMode);
          const ObjectType& flag = course.objectTypes[kFlagObjectType];
          // A waving flag animation takes the pin's own flag's place.
          const uint32_t flagAt =
              flag.present && !HoleFlagAnimated ? Take(kFlagRecordBytes, false) : SceneRecordBuffer::kNone;
          if (flagAt != SceneRecordBuffer::kNone) {
            const float fh = static_cast<float>(flag.worldHeight) / 65536.0f * k;
            const float fw = fh * static_cast<float>(flag.widthFactor) / 65536.0f;
            ScreenPointF top{f.x, y0 + height * 0.35f, f.Z - 0.05f};
            FlagRecord fr{{kRecordFlag, SceneRecordBuffer::kNone}, ScreenVertex(top, 0xFFFFFFFFu, 0.0f, 0.0f), fw,
                          fh, 1.0f};
            std::memcpy(At(flagAt), &fr, sizeof fr);
            AppendMain(flagAt);
            gBuffer.cost += kCostFlag;
            ++stats.flags;
          }
        }
      }
      FlushWhenDue();
    }
  }
  // The animations' pictures, depth-tested against the hole like its objects.
  QueueAnimationSprites();
  for (const SceneSprite& sprite : TakeQueuedSceneSprites()) {
    if (!(sprite.depth > 0.0f)) continue;
    const uint32_t at = Take(kSceneSpriteBytes, true);
    if (at == SceneRecordBuffer::kNone) break;
    const VortelVertex anchor{sprite.x, sprite.y, DepthFractionForDistance(sprite.depth, kHardwareDepthMode), 1.0f / sprite.depth,
                              0xFFFFFFFFu, 0xFF000000u, 0.0f, 0.0f};
    const SceneSpriteRecord r{{kRecordSceneSprite, SceneRecordBuffer::kNone}, sprite.file, sprite.entry, anchor,
                              sprite.scale, sprite.width, sprite.height, sprite.colour,
                              static_cast<uint8_t>(sprite.movieFrame ? 1 : 0), 0, sprite.srcLeft, sprite.srcTop,
                              sprite.srcRight, sprite.srcBottom, sprite.tint, 0};
    std::memcpy(At(at), &r, sizeof r);
    AppendMain(at);
    ++stats.animationSprites;
  }
  Flush();
  // Blended triangles over everything drawn (the ball's streak).
  const std::vector<SceneTriangle> triangles = TakeQueuedSceneTriangles();
  if (!triangles.empty() && vortellive.drawtri && vortellive.setstate) {
    SetTexture(0);
    vortellive.setstate(10, 2);
    for (const SceneTriangle& t : triangles) {
      if (!(t.depth > 0.0f)) continue;
      const float z = DepthFractionForDistance(t.depth, kHardwareDepthMode), q = 1.0f / t.depth;
      VortelVertex v[3];
      for (int k = 0; k < 3; ++k) v[k] = VortelVertex{t.x[k], t.y[k], z, q, t.colour[k], 0xFF000000u, 0.0f, 0.0f};
      vortellive.drawtri(&v[0], &v[1], &v[2]);
    }
    vortellive.setstate(10, 0);
    if (vortellive.flushwindow) vortellive.flushwindow();
  }
  FilterTextures(true);
  if (vortellive.clip) vortellive.clip(0, 0, 0, 0);
  // The cache's clock: what this frame drew is kept before what earlier frames drew.
  AdvanceTextureCacheFrame(10);
  gStats = nullptr;
  gView = nullptr;
  return stats;
}

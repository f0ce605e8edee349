#include "scene/holedraw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "course/holedata.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "platformlib/core/byteorder.h"
#include "scene/golfdraw.h"
#include "scene/horizon.h"
#include "scene/random.h"
#include "scene/skydome.h"
#include "scene/tiles.h"

uint16_t To565(uint32_t argb) {
  return static_cast<uint16_t>((((argb >> 19) & 31) << 11) | (((argb >> 10) & 63) << 5) | ((argb >> 3) & 31));
}

void LogOnce(bool& told, const char* what, int code) {
  if (told) return;
  told = true;
  std::fprintf(stderr, "scene: %s %d skipped\n", what, code);
}

namespace {

bool gToldObject = false, gToldSurface = false;

}  // namespace

bool HoleFlagAnimated = false;

bool IsWaterSurface(uint8_t surface) {
  surface &= 0xF0;
  const uint8_t second = CurrentCourseScene().secondWater;
  return surface == kSurfaceWater || (second != 0 && surface == second);
}

uint16_t SoftwareDepthValue(float depth, bool live) {
  if (!(depth >= 1.0f / 65536.0f)) return 0;
  const uint16_t top = live ? 0x8000 : 0;
  if (depth >= 350.0f) return static_cast<uint16_t>(0x7FFE | top);
  return static_cast<uint16_t>(((static_cast<int64_t>(depth * 65536.0f) / 700) & 0x7FFE) | top);
}

int SurfaceTextureIndex(const CourseSceneData& course, uint8_t surface, int step, bool stripe) {
  int index = surface >> 4;
  if (stripe && index == 1) index = 16;
  // The coarse replacements of the surfaces that have them.
  const int level = step >= 8 ? 2 : (step >= 4 ? 1 : (step >= 2 ? 0 : -1));
  if (level >= 0) {
    int coarse = -1;
    if (index == 16 && level >= 1) coarse = 17 + (level - 1);
    else if (index == 7) coarse = 20 + level;
    else if (index == 6) coarse = 23 + level;
    else if (index == 2) coarse = 26 + level;
    if (coarse >= 0 && course.textures[static_cast<size_t>(coarse)].image.present()) index = coarse;
  }
  return course.textures[static_cast<size_t>(index)].image.present() ? index : -1;
}

namespace {

const TerrainTexture* SurfaceTexture(const CourseSceneData& course, uint8_t surface, int step, bool stripe) {
  const int index = SurfaceTextureIndex(course, surface, step, stripe);
  return index < 0 ? nullptr : &course.textures[static_cast<size_t>(index)];
}

void DrawSprite(const Surface16& s, const CourseImage& image, const uint16_t palette[256], float footX, float footY,
                float width, float height, float hotFraction, int32_t* topOut, const Surface16* depth = nullptr,
                uint16_t depthValue = 0) {
  const int32_t iw = image.width(), ih = image.height();
  if (iw <= 0 || ih <= 0 || width < 1.0f || height < 1.0f) return;
  const int32_t x0 = static_cast<int32_t>(std::floor(footX - width * hotFraction));
  const int32_t y0 = static_cast<int32_t>(std::floor(footY - height));
  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  if (topOut) *topOut = y0;
  const uint8_t* pixels = image.pixels();
  for (int32_t y = std::max(y0, s.clipTop); y < std::min(y0 + h, s.clipBottom); ++y) {
    const int32_t sy = std::min(ih - 1, static_cast<int32_t>(static_cast<int64_t>(y - y0) * ih / h));
    uint16_t* row = s.pixels + static_cast<size_t>(y) * s.pitch;
    uint16_t* depthRow = depth ? depth->pixels + static_cast<size_t>(y) * depth->pitch : nullptr;
    for (int32_t x = std::max(x0, s.clipLeft); x < std::min(x0 + w, s.clipRight); ++x) {
      const int32_t sx = std::min(iw - 1, static_cast<int32_t>(static_cast<int64_t>(x - x0) * iw / w));
      const uint8_t p = pixels[static_cast<size_t>(sy) * iw + sx];
      if (p == 255) continue;
      row[x] = palette[p];
      if (depthRow) depthRow[x] = depthValue;
    }
  }
}

// The sky colour, then the ground below the horizon line (the camera looks level: the line is the centre row).
int32_t FillBelowHorizon(const TGolfView& view, const Surface16& s, const CourseSceneData& course) {
  const HoleSceneHeader& header = CurrentHoleScene().header;
  const int32_t horizonY = view.viewTop + view.centreY;
  const uint16_t sky = gHorizon.backgroundSet ? gHorizon.background565 : 0x6D5F;
  const TerrainTexture* ground = SurfaceTexture(course, static_cast<uint8_t>(header.defaultSurface), 8, false);
  const uint16_t groundColour =
      ground ? course.LightTable(header.defaultShade)[ground->image.pixels()[0]] : static_cast<uint16_t>(0x3A84);
  for (int32_t y = s.clipTop; y < s.clipBottom; ++y) {
    uint16_t* row = s.pixels + static_cast<size_t>(y) * s.pitch;
    std::fill(row + s.clipLeft, row + s.clipRight, y < horizonY ? sky : groundColour);
  }
  return horizonY;
}

void DrawHorizon(const TGolfView& view, const Surface16& s, const CourseSceneData& course,
                 const uint16_t palette[256]) {
  const int32_t horizonY = FillBelowHorizon(view, s, course);
  if (gHorizon.total <= 0 || course.horizonCount <= 0) return;
  const float scale = course.horizonScale > 0.0f ? course.horizonScale : 1.0f;
  int32_t offset = HorizonOffsetForHeading(view.heading, 0, s.clipRight - s.clipLeft);
  // Pieces laid from the scroll position, wrapping round the strip.
  int32_t x = s.clipLeft - static_cast<int32_t>(static_cast<float>(offset) * scale);
  const float stripWidth = static_cast<float>(gHorizon.total) * scale;
  while (x > s.clipLeft) x -= static_cast<int32_t>(stripWidth);
  for (; x < s.clipRight;) {
    for (int i = 0; i < course.horizonCount && x < s.clipRight; ++i) {
      const HorizonPanel& piece = course.horizon[static_cast<size_t>(i)];
      const float w = static_cast<float>(piece.image.width() + piece.extraWidth) * scale;
      const float h = static_cast<float>(piece.image.height()) * scale;
      if (piece.image.present())
        DrawSprite(s, piece.image, palette, static_cast<float>(x), static_cast<float>(horizonY) + 1.0f,
                   static_cast<float>(piece.image.width()) * scale, h, 0.0f, nullptr);
      x += std::max(1, static_cast<int32_t>(w));
    }
    if (stripWidth < 1.0f) break;
  }
}

// The cell's corners in the order the tile is laid: (x, z), (x+1, z), (x, z+1), (x+1, z+1), the first and second
// pair exchanged when the cell is split along its other diagonal (orientation 1).
uint8_t TileCorners4(const TerrainGrid& g, const HoleItem& item, const TriVertex around[4], TriVertex q[4]) {
  q[0] = around[0], q[1] = around[1], q[2] = around[3], q[3] = around[2];
  if (CellOrientation(g, item.i, item.j) == 0) return 0;
  std::swap(q[0], q[1]);
  std::swap(q[2], q[3]);
  return 1;
}

void Extents(const TriVertex q[4], int32_t* h, int32_t* v) {
  *h = std::max(std::abs(q[0].x - q[3].x), std::abs(q[1].x - q[2].x));
  *v = std::max(std::abs(q[0].y - q[3].y), std::abs(q[1].y - q[2].y));
}

// Maps `texture` on the quad's two triangles (q0, q1, q2) and (q1, q2, q3) with the tile's corners; `shade` >= 0
// lights it through the light tables, else `colours` (mode 0) or the shadow-mask mode (colours null).
void MapTileQuad(const Surface16& s, const TriVertex q[4], const BuiltTile& tile, int32_t level,
                 const LightTableSet* lights, const uint16_t* colours) {
  const Texture8 t{tile.texels, tile.side, tile.side};
  for (int first = 0; first < 2; ++first) {
    const TriVertex tri[3] = {q[first], q[first + 1], q[first + 2]};
    const int32_t u[3] = {tile.corners->u[first], tile.corners->u[first + 1], tile.corners->u[first + 2]};
    const int32_t v[3] = {tile.corners->v[first], tile.corners->v[first + 1], tile.corners->v[first + 2]};
    const int32_t levels[3] = {level, level, level};
    if (lights) MapTriangleShaded16(s, tri, levels, t, u, v, *lights, false);
    else MapTriangle16(s, tri, t, u, v, colours, colours ? 0 : 1);
  }
}

// A cell drawn with its detail tile: the own surface (A) and the second (B) through the tile mask, the third laid
// over through the overlay mask, built at the size the cell's screen size calls for. With a depth picture the
// cell's depth goes there too, water marked per sub-cell where only part of the cell is water.
bool DrawDetailCell(const Surface16& s, const Surface16* depth, const TriVertex around[4], const HoleItem& item,
                    const DetailCell& d, const TerrainTexture& own, uint8_t surfaceByte, bool stripe, int32_t level,
                    uint16_t depthValue, const LightTableSet& lights) {
  const TerrainGrid& g = CurrentTerrain();
  TileRecipe r;
  int thirdIndex = -1;
  if (!DetailRecipe(d, own, stripe, &r, &thirdIndex)) return false;
  TriVertex q[4];
  const uint8_t orientation = TileCorners4(g, item, around, q);
  int32_t h = 0, v = 0;
  Extents(q, &h, &v);
  r.orientation = orientation;
  if ((r.wholeA || r.wholeB || r.wholeOverlay) && v > 2) r.builder = h < 16 ? 5 : (v < 16 ? 6 : 7);
  else if (h < 16) r.builder = 0;
  else if (h < 32) r.builder = v < 16 ? 1 : 2;
  else r.builder = v < 16 ? 3 : 4;
  MapTileQuad(s, q, BuildQuadTile(r), level, &lights, nullptr);
  if (!depth) return true;
  const WaterTexels water = WaterTexelsOf(d, surfaceByte, r, thirdIndex >= 0, orientation, r.builder);
  const bool waterA = water.ownIsWater;
  if (!water.mixed) {
    const TriVertex a[3] = {q[0], q[1], q[2]}, b[3] = {q[1], q[2], q[3]};
    FillTriangle16(*depth, a, static_cast<uint16_t>((depthValue & ~1) | (waterA ? 1 : 0)));
    FillTriangle16(*depth, b, static_cast<uint16_t>((depthValue & ~1) | (waterA ? 1 : 0)));
    return true;
  }
  uint16_t colours[256] = {};
  colours[0] = static_cast<uint16_t>((depthValue & ~1) | (waterA ? 1 : 0));
  colours[1] = static_cast<uint16_t>((depthValue & ~1) | (waterA ? 0 : 1));
  MapTileQuad(*depth, q, water.tile, 0, nullptr, colours);
  return true;
}

// A cell's shadow: the whole cell a quarter darker, or the shadow mask's cells (soft edges on small cells,
// smoothed corners on large ones).
bool DrawCellShadow(const Surface16& s, const TerrainGrid& g, const TriVertex around[4], const HoleItem& item,
                    const DetailCell& d) {
  TriVertex q[4];
  const uint8_t orientation = TileCorners4(g, item, around, q);
  if (d.shadow == 0xFFFFFFFFu) {
    const TriVertex a[3] = {q[0], q[1], q[2]}, b[3] = {q[1], q[2], q[3]};
    ShadeTriangle16(s, a);
    ShadeTriangle16(s, b);
    return true;
  }
  const RunMask mask = MaskAt(g, d.shadow);
  if (!mask.bytes) return false;
  int32_t h = 0, v = 0;
  Extents(q, &h, &v);
  MapTileQuad(s, q, SelectShadowMask(mask, v <= 16 ? 1 : 2, orientation), 0, nullptr, nullptr);
  return true;
}

}  // namespace

RunMask MaskAt(const TerrainGrid& g, uint32_t offset) {
  if (offset >= g.runMasks.size()) return {};
  return {g.runMasks.data() + offset, g.runMasks.size() - offset};
}

DetailCell ReadDetailCell(const TerrainGrid& g, size_t cell) {
  DetailCell d;
  const uint16_t n = ReadLE16(&g.cells[cell * kCellBytes]);
  const size_t at = static_cast<size_t>(n) * kDetailTileBytes;
  if (n == 0 || at > g.detailTiles.size()) return d;
  const uint8_t* t = &g.detailTiles[at - kDetailTileBytes];
  d.present = true;
  d.second = t[0] & 15;
  d.third = t[1] & 15;
  d.shadow = ReadLE32(t + 4);
  const size_t pair = static_cast<size_t>(ReadLE16(t + 2)) * kMaskPairBytes;
  if (pair + kMaskPairBytes <= g.maskPairs.size()) {
    d.tileMask = MaskAt(g, ReadLE32(&g.maskPairs[pair]));
    if (d.third) d.overlayMask = MaskAt(g, ReadLE32(&g.maskPairs[pair + 4]));
  }
  if (!d.tileMask.bytes) d.second = 0;
  if (!d.overlayMask.bytes) d.third = 0;
  return d;
}

uint8_t CellOrientation(const TerrainGrid& g, int32_t i, int32_t j) {
  const int32_t W = static_cast<int32_t>(g.width);
  const float a = TerrainVertexHeight(static_cast<size_t>(j) * W + std::min(i + 1, W - 1));
  const float b = TerrainVertexHeight(static_cast<size_t>(std::min<int32_t>(j + 1, static_cast<int32_t>(g.depth) - 1)) * W + i);
  return std::fabs(a - b) < 0.3f ? 0 : 1;
}

Source8 TextureSource(const TerrainTexture& t) {
  return {t.image.pixels(), static_cast<size_t>(t.image.width()) * static_cast<size_t>(t.image.height())};
}

WaterTexels WaterTexelsOf(const DetailCell& d, uint8_t surfaceByte, const TileRecipe& r, bool overlay,
                          uint8_t orientation, uint8_t builder) {
  // Which cells of the tile are water: the own surface (skip cells), the second (copy cells), the overlay's.
  WaterTexels w;
  const bool waterA = IsWaterSurface(surfaceByte), waterB = IsWaterSurface(static_cast<uint8_t>(d.second << 4));
  const bool waterO = overlay && IsWaterSurface(static_cast<uint8_t>(d.third << 4));
  w.ownIsWater = waterA;
  w.mixed = overlay ? (waterA || waterB || waterO) && !(waterA && waterB && waterO) : waterA != waterB;
  if (!w.mixed) return w;
  // Texel 1 of the two-colour tile marks the cells of the other kind than the own surface.
  RunMask first = r.tileMask, over{};
  if (waterA) {
    if (waterB) first = r.overlayMask;
    else if (!waterO) over = r.overlayMask;
  } else if (waterB) {
    if (waterO) over = r.overlayMask;
  } else {
    first = r.overlayMask;
  }
  w.tile = BuildTwoColourTile(first, over, orientation, builder);
  return w;
}

bool DetailRecipe(const DetailCell& d, const TerrainTexture& own, bool stripe, TileRecipe* r, int* thirdIndex) {
  const CourseSceneData& course = CurrentCourseScene();
  const int secondIndex = SurfaceTextureIndex(course, static_cast<uint8_t>(d.second << 4), 1, stripe);
  if (secondIndex < 0) return false;
  const TerrainTexture& second = course.textures[static_cast<size_t>(secondIndex)];
  *thirdIndex = d.third ? SurfaceTextureIndex(course, static_cast<uint8_t>(d.third << 4), 1, stripe) : -1;
  *r = TileRecipe{};
  r->tileMask = d.tileMask;
  r->a = TextureSource(own);
  r->b = TextureSource(second);
  r->wholeA = own.wholeImage != 0;
  r->wholeB = second.wholeImage != 0;
  if (*thirdIndex >= 0) {
    const TerrainTexture& third = course.textures[static_cast<size_t>(*thirdIndex)];
    r->overlayMask = d.overlayMask;
    r->overlay = TextureSource(third);
    r->wholeOverlay = third.wholeImage != 0;
  }
  return true;
}

void CollectHoleItems(const TGolfView& view, const Vector3* golfer, std::vector<HoleItem>& items,
                      HoleDrawStats& stats) {
  const CourseSceneData& course = CurrentCourseScene();
  const HoleSceneData& hole = CurrentHoleScene();
  const TerrainGrid& g = CurrentTerrain();
  items.clear();
  if (g.width < 2 || g.depth < 2) return;
  const float nearDetail = static_cast<float>(view.detailDistance[0]) / 65536.0f;
  const float midDetail = static_cast<float>(view.detailDistance[1]) / 65536.0f;
  const float farDetail = static_cast<float>(view.detailDistance[2]) / 65536.0f;
  const float farDistance = view.farDistance > 0.0f ? view.farDistance : 500.0f;
  items.clear();
  items.reserve(4096);
  // Quads by level of detail: step 1 within the near distance, 2, 4 and 8 beyond; a block belongs to the level of
  // its centre's depth, so each stretch of ground is drawn once.
  const int32_t W = static_cast<int32_t>(g.width) - 1, D = static_cast<int32_t>(g.depth) - 1;
  for (int32_t j = 0; j < D; j += 8)
    for (int32_t i = 0; i < W; i += 8) {
      auto visit = [&](auto&& self, int32_t bi, int32_t bj, int32_t step) -> void {
        Vector3 centre;
        GridPointToWorld(bi + step / 2, bj + step / 2, &centre);
        const float z = view.WorldToCamera(centre).Z;
        if (z < -static_cast<float>(step) * 1.5f || z > farDistance) return;
        const float limit = step == 8 ? farDetail : (step == 4 ? midDetail : nearDetail);
        if (step > 1 && z < limit + static_cast<float>(step)) {
          const int32_t half = step / 2;
          for (int32_t dj = 0; dj < step; dj += half)
            for (int32_t di = 0; di < step; di += half)
              if (bi + di < W && bj + dj < D) self(self, bi + di, bj + dj, half);
          return;
        }
        items.push_back({z, ItemKind::Quad, bi, bj, step, 0, centre});
      };
      visit(visit, i, j, 8);
    }
  // Objects on their cells, a little nearer than the ground they stand on.
  for (uint32_t j = 0; j < g.depth; ++j)
    for (uint32_t i = 0; i < g.width; ++i) {
      const uint8_t code = g.cells[(static_cast<size_t>(j) * g.width + i) * kCellBytes + 3];
      // The loader stamps the tee with the pin's type, for the ball to meet; the pin is drawn at its own vertex only.
      if (code == 0 || code >= 0x80 || code == kPinObjectType) continue;
      if (!course.objectTypes[code].present) {
        if (IsCellMarker(code)) continue;
        ++stats.skipped;
        LogOnce(gToldObject, "object code without a type:", code);
        continue;
      }
      Vector3 foot;
      GridCellCentreToWorld(static_cast<int32_t>(i), static_cast<int32_t>(j), &foot);
      if (golfer && std::hypot(foot.x - golfer->x, foot.y - golfer->y) < 2.5f) continue;
      const float z = view.WorldToCamera(foot).Z;
      if (z < 1.0f || z > farDistance) continue;
      items.push_back({z - 0.3f, ItemKind::Object, static_cast<int32_t>(i), static_cast<int32_t>(j), 1, code, foot});
    }
  // The pin of this hole.
  const int holeIndex = hole.hole >= 1 && hole.hole <= kCourseHoles ? hole.hole - 1 : 0;
  const uint32_t pinVertex = hole.header.pinVertex[static_cast<size_t>(holeIndex)];
  if (pinVertex && course.objectTypes[kPinObjectType].present) {
    Vector3 foot;
    GridPointToWorld(static_cast<int32_t>(pinVertex % g.width), static_cast<int32_t>(pinVertex / g.width), &foot);
    const float z = view.WorldToCamera(foot).Z;
    if (z > 1.0f) items.push_back({z - 0.3f, ItemKind::Object, -1, -1, 1, kPinObjectType, foot});
  }
  std::stable_sort(items.begin(), items.end(), [](const HoleItem& a, const HoleItem& b) { return a.depth > b.depth; });
}

bool ProjectBlockCorners(const TGolfView& view, const HoleItem& item, ScreenPointF f[4]) {
  const TerrainGrid& g = CurrentTerrain();
  const int32_t W = static_cast<int32_t>(g.width) - 1, D = static_cast<int32_t>(g.depth) - 1;
  Vector3 corner[4];
  GridPointToWorld(item.i, item.j, &corner[0]);
  GridPointToWorld(std::min(item.i + item.step, W), item.j, &corner[1]);
  GridPointToWorld(std::min(item.i + item.step, W), std::min(item.j + item.step, D), &corner[2]);
  GridPointToWorld(item.i, std::min(item.j + item.step, D), &corner[3]);
  for (int k = 0; k < 4; ++k) {
    view.ProjectToScreenFloat(corner[k], &f[k]);
    if (!(f[k].Z > 0.5f && std::fabs(f[k].x) < 16000.0f && std::fabs(f[k].y) < 16000.0f)) return false;
  }
  return true;
}

float ProjectObject(const TGolfView& view, const HoleItem& item, const ObjectType& type, ScreenPointF* f, float* width,
                    float* height) {
  view.ProjectToScreenFloat(item.foot, f);
  const float k = view.projectionScale / f->Z;
  *height = static_cast<float>(type.worldHeight) / 65536.0f * k;
  *width = *height * static_cast<float>(type.widthFactor) / 65536.0f;
  return k;
}

bool ObjectBlocksView(const TGolfView& view, const ObjectType& type, float depth, float height) {
  return depth <= view.lookDistance && type.worldHeight > (2 << 16) &&
         height > static_cast<float>(view.viewHeight) / 4.0f;
}

HoleDrawStats DrawHoleSoftware(TGolfView& view, const Surface16& s, const Vector3* golfer, const Surface16* depth) {
  HoleDrawStats stats;
  RandomUpPin pin(37);
  const CourseSceneData& course = CurrentCourseScene();
  const HoleSceneData& hole = CurrentHoleScene();
  const TerrainGrid& g = CurrentTerrain();
  view.pinScreenX = view.pinScreenY = -2048;
  view.pinDepthValue = 0;
  uint16_t palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = To565(course.palette[static_cast<size_t>(i)]);
  if (depth) {
    for (int32_t y = depth->clipTop; y < depth->clipBottom; ++y)
      std::fill(depth->pixels + static_cast<size_t>(y) * depth->pitch + depth->clipLeft,
                depth->pixels + static_cast<size_t>(y) * depth->pitch + depth->clipRight, static_cast<uint16_t>(0xFFFE));
  }
  if (course.skyDome && SkyDomeBuilt()) {
    DrawSkyDome(view, s, depth, FillBelowHorizon(view, s, course));
  } else {
    DrawHorizon(view, s, course, palette);
  }
  if (g.width < 2 || g.depth < 2) return stats;

  std::vector<HoleItem> items;
  CollectHoleItems(view, golfer, items, stats);

  const bool stripes = (hole.header.flags & 1) != 0;
  const LightTableSet lights{course.lightTables[0].data(), kLightLevels};
  for (const HoleItem& item : items) {
    if (item.kind == ItemKind::Quad) {
      ScreenPointF f[4];
      if (!ProjectBlockCorners(view, item, f)) continue;
      TriVertex p[4];
      for (int k = 0; k < 4; ++k)
        p[k] = {static_cast<int16_t>(std::lround(f[k].x)), static_cast<int16_t>(std::lround(f[k].y))};
      const size_t cell = static_cast<size_t>(item.j) * g.width + static_cast<size_t>(item.i);
      const uint8_t surfaceByte = g.cells[cell * kCellBytes + 2];
      const bool stripe = stripes && ((item.j / 6) & 1) != 0;
      const TerrainTexture* texture = SurfaceTexture(course, surfaceByte, item.step, stripe);
      if (!texture) {
        ++stats.skipped;
        LogOnce(gToldSurface, "surface without a texture:", surfaceByte >> 4);
        continue;
      }
      const uint16_t depthValue =
          static_cast<uint16_t>(SoftwareDepthValue(item.depth, true) | (IsWaterSurface(surfaceByte) ? 1 : 0));
      const DetailCell detail = item.step == 1 ? ReadDetailCell(g, cell) : DetailCell{};
      const int32_t level = (surfaceByte & 0x0F) << 16;
      if (detail.present && detail.second != 0 &&
          DrawDetailCell(s, depth, p, item, detail, *texture, surfaceByte, stripe, level, depthValue, lights)) {
        ++stats.tiles;
      } else {
        const Texture8 t{texture->image.pixels(), texture->image.width(), texture->image.height()};
        const int32_t levels[3] = {level, level, level};
        // A texture spans eight cells; coarse blocks take their share of it.
        const int32_t span = std::min(8, item.step) * (t.width / 8);
        const int32_t u0 = (item.i % 8) * (t.width / 8) << 16, v0 = (item.j % 8) * (t.height / 8) << 16;
        const int32_t u1 = std::min((u0 >> 16) + span, t.width) << 16, v1 = std::min((v0 >> 16) + span, t.height) << 16;
        const TriVertex a[3] = {p[0], p[1], p[2]}, b[3] = {p[0], p[2], p[3]};
        const int32_t ua[3] = {u0, u1, u1}, va[3] = {v0, v0, v1}, ub[3] = {u0, u1, u0}, vb[3] = {v0, v1, v1};
        MapTriangleShaded16(s, a, levels, t, ua, va, lights, false);
        MapTriangleShaded16(s, b, levels, t, ub, vb, lights, false);
        if (depth) {
          FillTriangle16(*depth, a, depthValue);
          FillTriangle16(*depth, b, depthValue);
        }
      }
      if (detail.present && detail.shadow != 0 && DrawCellShadow(s, g, p, item, detail)) ++stats.shadows;
      ++stats.quads;
    } else {
      const ObjectType& type = course.objectTypes[item.objectType];
      ScreenPointF f;
      float width = 0.0f, height = 0.0f;
      const float k = ProjectObject(view, item, type, &f, &width, &height);
      if (height < static_cast<float>(view.minObjectHeight)) continue;
      if (item.objectType != kPinObjectType && ObjectBlocksView(view, type, f.Z, height)) continue;
      const CourseImage& image = type.useAlternate && type.alternate.present() ? type.alternate : type.image;
      int32_t top = 0;
      DrawSprite(s, image, palette, f.x, f.y, width, height, static_cast<float>(type.hotSpotFactor) / 65536.0f, &top,
                 depth, SoftwareDepthValue(f.Z, true));
      ++stats.objects;
      if (item.objectType == kPinObjectType) {
        view.pinScreenX = static_cast<int32_t>(f.x);
        view.pinScreenY = top;
        view.pinDepthValue = DepthValueForDistance(f.Z, 3);
        const ObjectType& flag = course.objectTypes[kFlagObjectType];
        if (flag.present && !HoleFlagAnimated)
          DrawSprite(s, flag.image, palette, f.x, static_cast<float>(top) + height * 0.35f,
                     static_cast<float>(flag.worldHeight) / 65536.0f * k *
                         static_cast<float>(flag.widthFactor) / 65536.0f,
                     static_cast<float>(flag.worldHeight) / 65536.0f * k, 0.0f, nullptr);
      }
    }
  }
  return stats;
}

bool PlaceHoleCamera(TGolfView& view, int camera) {
  const TerrainGrid& g = CurrentTerrain();
  const HoleRecord& record = CurrentHoleRecord();
  const HoleSceneData& hole = CurrentHoleScene();
  if (g.width == 0) return false;
  Vector3 tee, pin;
  const uint32_t teeCell = record.teeStart[0];
  GridCellCentreToWorld(static_cast<int32_t>(teeCell % g.width), static_cast<int32_t>(teeCell / g.width), &tee);
  const int holeIndex = hole.hole >= 1 && hole.hole <= kCourseHoles ? hole.hole - 1 : 0;
  const uint32_t pinVertex = hole.header.pinVertex[static_cast<size_t>(holeIndex)];
  GridPointToWorld(static_cast<int32_t>(pinVertex % g.width), static_cast<int32_t>(pinVertex / g.width), &pin);
  Vector3 at = tee;
  if (camera == 1) {
    at = {tee.x + (pin.x - tee.x) * 0.55f, tee.y + (pin.y - tee.y) * 0.55f, 0.0f};
  } else if (camera == 2) {
    const float d = std::hypot(pin.x - tee.x, pin.y - tee.y);
    const float back = d > 0.0f ? 18.0f / d : 0.0f;
    at = {pin.x - (pin.x - tee.x) * back, pin.y - (pin.y - tee.y) * back, 0.0f};
  }
  Vector3 target = pin;
  if (camera == 3) {
    // Across the hole's water from the fairway: toward the middle of its cells (the fairway view without water).
    at = {tee.x + (pin.x - tee.x) * 0.45f, tee.y + (pin.y - tee.y) * 0.45f, 0.0f};
    double sx = 0, sz = 0;
    size_t n = 0;
    for (uint32_t j = 0; j < g.depth; ++j)
      for (uint32_t i = 0; i < g.width; ++i)
        if (IsWaterSurface(g.cells[(static_cast<size_t>(j) * g.width + i) * kCellBytes + 2] & 0xF0)) sx += i, sz += j, ++n;
    if (n > 0) {
      GridCellCentreToWorld(static_cast<int32_t>(sx / static_cast<double>(n)),
                            static_cast<int32_t>(sz / static_cast<double>(n)), &target);
    } else {
      at = {tee.x + (pin.x - tee.x) * 0.55f, tee.y + (pin.y - tee.y) * 0.55f, 0.0f};
    }
  }
  at.z = GetTerrainHeight(at.x, at.y);
  PlaceViewBehind(view, at, target);
  return true;
}

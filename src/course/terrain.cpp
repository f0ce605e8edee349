#include "course/terrain.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "course/angle.h"
#include "platformlib/core/byteorder.h"

namespace {

TerrainGrid g_terrain;
TerrainTriangle g_triangle;

constexpr float kFixedScale = 1.52587890625e-05f;  // 2^-16
constexpr uint32_t kMaxSide = 8192;
constexpr size_t kMaxCells = size_t{1} << 24;

inline float heightAt(const TerrainGrid& g, size_t index) {
  const uint32_t raw = g.heights[index];
  if (g.floatHeights) return std::bit_cast<float>(raw);
  return static_cast<float>(static_cast<int32_t>(raw)) * kFixedScale;
}

// Height of corner (i, j); a corner beyond the last row or column takes that row's or column's height.
inline float cornerHeight(const TerrainGrid& g, uint32_t i, uint32_t j) {
  if (i >= g.width) i = g.width - 1;
  if (j >= g.depth) j = g.depth - 1;
  return heightAt(g, static_cast<size_t>(j) * g.width + i);
}

inline Vector3 cornerWorld(const TerrainGrid& g, uint32_t i, uint32_t j) {
  return Vector3{g.originX - static_cast<float>(i), static_cast<float>(j) - g.originY, cornerHeight(g, i, j)};
}

// Truncation toward zero that refuses values no cell index can hold (and NaN).
inline bool truncIndex(float value, int32_t limit, int32_t& out) {
  if (!(value > -2.0f && value < static_cast<float>(limit) + 1.0f)) return false;
  out = static_cast<int32_t>(value);
  return out >= 0 && out < limit;
}

// Finds the cell under (x, y): inside when u lies in (-0.5, width - 0.5) and v in (-0.5, depth - 0.5).
inline bool locateCell(const TerrainGrid& g, float x, float y, uint32_t& i, uint32_t& j) {
  if (g.width == 0 || g.depth == 0) return false;
  const float xs = x >= 0.0f ? x + 0.5f : x - 0.5f;
  const float ys = y >= 0.0f ? y + 0.5f : y - 0.5f;
  int32_t a, b;
  if (!truncIndex(g.originX - xs, static_cast<int32_t>(g.width), a)) return false;
  if (!truncIndex(ys + g.originY, static_cast<int32_t>(g.depth), b)) return false;
  int32_t ci = 0, cj = 0;
  const float u = g.originX - x, v = y + g.originY;
  if (u > 0.0f) ci = std::min(static_cast<int32_t>(u), static_cast<int32_t>(g.width) - 1);
  if (v > 0.0f) cj = std::min(static_cast<int32_t>(v), static_cast<int32_t>(g.depth) - 1);
  i = static_cast<uint32_t>(ci);
  j = static_cast<uint32_t>(cj);
  return true;
}

// Corners of the triangle under (x, y) in the order P0, P1, P2.
inline void triangleAt(const TerrainGrid& g, float x, float y, uint32_t i, uint32_t j, Vector3& p0, Vector3& p1,
                       Vector3& p2) {
  p0 = cornerWorld(g, i + 1, j);
  const float s = y - x;
  const float t = p0.y - p0.x;
  if (s <= t) {
    p1 = cornerWorld(g, i, j);
    p2 = cornerWorld(g, i, j + 1);
  } else {
    p1 = cornerWorld(g, i, j + 1);
    p2 = cornerWorld(g, i + 1, j + 1);
  }
}

inline Vector3 planeNormal(const Vector3& p0, const Vector3& p1, const Vector3& p2) {
  const Vector3 u{p0.x - p1.x, p0.y - p1.y, p0.z - p1.z};
  const Vector3 v{p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
  return Vector3{v.y * u.z - v.z * u.y, v.z * u.x - v.x * u.z, v.x * u.y - v.y * u.x};
}

inline uint16_t cellTile(const uint8_t* c) { return ReadLE16(c); }

// The detail tile of a cell, or null when it has none or its number lies beyond the tile table.
inline const uint8_t* cellDetailTile(const TerrainGrid& g, const uint8_t* cell) {
  const uint16_t n = cellTile(cell);
  if (n == 0) return nullptr;
  const size_t offset = static_cast<size_t>(n - 1) * kDetailTileBytes;
  if (offset + kDetailTileBytes > g.detailTiles.size()) return nullptr;
  return &g.detailTiles[offset];
}

// Whether the run mask marks sub-cell `index`, as MarkTableByRunMask would.
inline bool runMaskCovers(const uint8_t* mask, size_t maskBytes, size_t index) {
  size_t p = 0;
  for (size_t at = 0; at < maskBytes && p < 256; ++at) {
    const uint8_t run = mask[at];
    p += std::min<size_t>(run & 0x7F, 256 - p);
    if (index < p) return (run & 0x80) != 0;
  }
  return false;
}

}  // namespace

TerrainGrid& CurrentTerrain() { return g_terrain; }

uint32_t TerrainLevelSize(uint32_t n, uint32_t step) {
  if (n == 0 || step == 0) return 0;
  return (n - 1) / step + 1;
}

void FreeHoleTerrain() {
  TerrainGrid fresh;
  std::swap(g_terrain, fresh);
}

bool InitTerrainGrid(uint32_t width, uint32_t depth) {
  FreeHoleTerrain();
  if (width == 0 || depth == 0 || width > kMaxSide || depth > kMaxSide) return false;
  const size_t count = static_cast<size_t>(width) * depth;
  if (count > kMaxCells) return false;
  TerrainGrid& g = g_terrain;
  try {
    g.rowTable.resize(static_cast<size_t>(depth) + 1);
    g.heights.assign(count, 0);
    g.cells.assign(count * kCellBytes, 0);
  } catch (const std::bad_alloc&) {
    FreeHoleTerrain();
    return false;
  }
  g.width = width;
  g.depth = depth;
  g.originX = static_cast<float>(width) * 0.5f;
  g.originY = static_cast<float>(depth) * 0.5f;
  for (uint32_t r = 0; r <= depth; ++r) g.rowTable[r] = r * width;
  for (int l = 0; l < 4; ++l) {
    const uint32_t s = 1u << l;
    TerrainLevel& lv = g.levels[l];
    lv.step = s;
    lv.lastColumn = width - 1 >= s - 1 ? ((width - 1) - (s - 1)) & ~(s - 1) : 0;
    lv.columns = lv.lastColumn / s + 1;
    lv.lastRow = depth - 1 >= s - 1 ? ((depth - 1) - (s - 1)) & ~(s - 1) : 0;
    lv.rows = lv.lastRow / s + 1;
  }
  return true;
}

float TerrainVertexHeight(size_t index) { return heightAt(g_terrain, index); }

void SetTerrainVertexHeight(size_t index, float height) {
  TerrainGrid& g = g_terrain;
  if (index >= g.heights.size()) return;
  if (g.floatHeights) {
    g.heights[index] = std::bit_cast<uint32_t>(height);
  } else {
    g.heights[index] = static_cast<uint32_t>(static_cast<int32_t>(std::lrint(static_cast<double>(height) * 65536.0)));
  }
}

float GetTerrainHeight(float x, float y) {
  TerrainGrid& g = g_terrain;
  uint32_t i, j;
  if (!locateCell(g, x, y, i, j)) return kHeightOutside;
  Vector3 p0, p1, p2;
  triangleAt(g, x, y, i, j, p0, p1, p2);
  const Vector3 n = planeNormal(p0, p1, p2);
  const float h = p0.z + ((p0.x - x) * n.x + (p0.y - y) * n.y) / n.z;
  g.lastNormal = n;
  g.lastHeight = h;
  return h;
}

const TerrainTriangle& GetTerrainTriangle(float x, float y) {
  const TerrainGrid& g = g_terrain;
  uint32_t i, j;
  if (locateCell(g, x, y, i, j)) {
    triangleAt(g, x, y, i, j, g_triangle.p0, g_triangle.p1, g_triangle.p2);
  } else {
    g_triangle = TerrainTriangle{};
  }
  return g_triangle;
}

void GetTerrainNormal(float x, float y, Vector3* out) {
  const TerrainGrid& g = g_terrain;
  uint32_t i, j;
  if (!locateCell(g, x, y, i, j)) {
    *out = Vector3{0.0f, 0.0f, 1.0f};
    return;
  }
  Vector3 p0, p1, p2;
  triangleAt(g, x, y, i, j, p0, p1, p2);
  *out = planeNormal(p0, p1, p2);
}

void MarkTableByRunMask(uint8_t table[256], const uint8_t* mask, size_t maskBytes, uint8_t code) {
  size_t p = 0, at = 0;
  while (p < 256 && at < maskBytes) {
    const uint8_t run = mask[at++];
    const size_t length = std::min<size_t>(run & 0x7F, 256 - p);
    if (run & 0x80) {
      for (size_t k = p; k < p + length; ++k) table[k] = static_cast<uint8_t>(code | (table[k] & 0x0F));
    }
    p += length;
  }
}

uint8_t GetTerrainSurface(float x, float y) {
  const TerrainGrid& g = g_terrain;
  uint32_t i, j;
  if (!locateCell(g, x, y, i, j)) return kSurfaceOutside;
  const uint8_t* cell = &g.cells[(static_cast<size_t>(j) * g.width + i) * kCellBytes];
  const uint8_t coarse = cell[2] & 0xF0;
  const uint8_t* tile = cellDetailTile(g, cell);
  if (!tile) return coarse;
  const uint8_t primary = static_cast<uint8_t>(tile[0] << 4);
  if (primary == 0) return coarse;

  const float vx = g.originX - static_cast<float>(i);
  const float vy = static_cast<float>(j) - g.originY;
  const long sx = std::clamp(std::lrint((vx - x) * 15.0f), 0L, 15L);
  const long sy = std::clamp(std::lrint((y - vy) * 15.0f), 0L, 15L);
  const size_t index = static_cast<size_t>(sx + 16 * sy);

  const size_t pair = static_cast<size_t>(tile[2] | (tile[3] << 8)) * kMaskPairBytes;
  if (pair + kMaskPairBytes > g.maskPairs.size()) return coarse;
  const uint32_t primaryOffset = ReadLE32(&g.maskPairs[pair]);
  const uint32_t secondaryOffset = ReadLE32(&g.maskPairs[pair + 4]);
  const size_t runBytes = g.runMasks.size();
  if (primaryOffset >= runBytes) return coarse;

  // Only one sub-cell is asked for: walk the runs to it rather than filling the whole table.
  uint8_t result = coarse;
  if (runMaskCovers(&g.runMasks[primaryOffset], runBytes - primaryOffset, index)) result = primary;
  const uint8_t secondary = static_cast<uint8_t>(tile[1] << 4);
  if (secondary != 0 && secondaryOffset < runBytes &&
      runMaskCovers(&g.runMasks[secondaryOffset], runBytes - secondaryOffset, index))
    result = secondary;
  return result;
}

uint8_t GetCellSurface(float x, float y) {
  const TerrainGrid& g = g_terrain;
  uint32_t i, j;
  if (!locateCell(g, x, y, i, j)) return kSurfaceOutside;
  return g.cells[(static_cast<size_t>(j) * g.width + i) * kCellBytes + 2] & 0xF0;
}

uint8_t GetGridCellSurface(uint32_t i, uint32_t j) {
  const TerrainGrid& g = g_terrain;
  if (i >= g.width || j >= g.depth) return kSurfaceOutside;
  return g.cells[(static_cast<size_t>(j) * g.width + i) * kCellBytes + 2] & 0xF0;
}

int GetGridCellSurfaceInfo(int32_t i, int32_t j, uint8_t out[3]) {
  const TerrainGrid& g = g_terrain;
  if (i < 0 || j < 0 || static_cast<uint32_t>(i) >= g.width || static_cast<uint32_t>(j) >= g.depth) {
    out[0] = kSurfaceOutside;
    return 1;
  }
  const uint8_t* cell = &g.cells[(static_cast<size_t>(j) * g.width + static_cast<uint32_t>(i)) * kCellBytes];
  out[0] = cell[2] & 0xF0;
  const uint8_t* tile = cellDetailTile(g, cell);
  if (!tile) return 1;
  out[1] = static_cast<uint8_t>(tile[0] << 4);
  if (out[1] == 0) return 1;
  out[2] = static_cast<uint8_t>(tile[1] << 4);
  return out[2] == 0 ? 2 : 3;
}

int GetSurfaceInfoAt(float x, float y, uint8_t out[3]) {
  uint32_t i, j;
  if (!locateCell(g_terrain, x, y, i, j)) {
    out[0] = kSurfaceOutside;
    return 1;
  }
  return GetGridCellSurfaceInfo(static_cast<int32_t>(i), static_cast<int32_t>(j), out);
}

float GetCellAverageHeight(float x, float y) {
  const TerrainGrid& g = g_terrain;
  uint32_t i, j;
  if (!locateCell(g, x, y, i, j)) return kHeightOutside;
  const size_t k = static_cast<size_t>(j) * g.width + i;
  const size_t corners[4] = {k, k + 1, k + g.width + 1, k + g.width};
  const int used = i + 1 >= g.width ? 1 : (j + 1 >= g.depth ? 2 : 4);
  const float scale = used == 1 ? 1.0f : (used == 2 ? 0.5f : 0.25f);
  if (g.floatHeights) {
    float sum = 0.0f;
    for (int c = 0; c < used; ++c) sum += heightAt(g, corners[c]);
    return sum * scale;
  }
  int64_t sum = 0;
  for (int c = 0; c < used; ++c) sum += static_cast<int32_t>(g.heights[corners[c]]);
  return static_cast<float>(sum) * kFixedScale * scale;
}

void GetCellHeightRange(uint32_t cellIndex, float* outMin, float* outMax) {
  const TerrainGrid& g = g_terrain;
  const size_t count = g.cellCount();
  if (count == 0) {
    *outMin = *outMax = 0.0f;
    return;
  }
  const size_t k = cellIndex;
  const size_t corners[4] = {k, k + 1, k + g.width, k + g.width + 1};
  float lo = 0.0f, hi = 0.0f;
  for (int c = 0; c < 4; ++c) {
    const float h = heightAt(g, std::min(corners[c], count - 1));
    if (c == 0 || h < lo) lo = h;
    if (c == 0 || h > hi) hi = h;
  }
  *outMin = lo;
  *outMax = hi;
}

Vector3* GridPointToWorld(int32_t i, int32_t j, Vector3* out) {
  const TerrainGrid& g = g_terrain;
  out->x = g.originX - static_cast<float>(i);
  out->y = static_cast<float>(j) - g.originY;
  const bool inside = i >= 0 && j >= 0 && static_cast<uint32_t>(i) < g.width && static_cast<uint32_t>(j) < g.depth;
  out->z = inside ? heightAt(g, static_cast<size_t>(j) * g.width + static_cast<uint32_t>(i)) : kHeightOutside;
  return out;
}

void GridVertexToWorld(int32_t i, int32_t j, Vector3* out) { GridPointToWorld(i, j, out); }

void GridCellCentreToWorld(int32_t i, int32_t j, Vector3* out) {
  GridPointToWorld(i, j, out);
  out->x -= 0.5f;
  out->y += 0.5f;
  out->z = GetTerrainHeight(out->x, out->y);
}

int32_t HeadingBetweenPoints(const Vector3& a, const Vector3& b) {
  const float dx = b.x - a.x;
  const float dy = b.y - a.y;
  uint16_t angle = 0;
  if (std::sqrt(dx * dx + dy * dy) != 0.0f) angle = AngleFromXY(dy, dx);  // y difference first: +x is A = 0
  const float k = 9.58738019107841e-05f;
  const float q = -1.5707963705062866f;
  const float m = 10430.3779296875f;
  const float turned = static_cast<float>(angle) * k;
  return static_cast<int32_t>((static_cast<double>(turned) + q) * m);
}

CellLinkStep StepCellLink(const TerrainGrid& g, size_t cell, size_t* next) {
  int64_t di = 0, dj = 0;
  switch (g.cells[cell * kCellBytes + 3]) {
    case 129: dj = 1; break;
    case 130: dj = -1; break;
    case 132: di = 1; break;
    case 133: di = 1, dj = 1; break;
    case 134: di = 1, dj = -1; break;
    case 136: di = -1; break;
    case 137: di = -1, dj = 1; break;
    case 138: di = -1, dj = -1; break;
    default: return CellLinkStep::kEnds;
  }
  const int64_t w = g.width;
  const int64_t i = static_cast<int64_t>(cell) % w + di, j = static_cast<int64_t>(cell) / w + dj;
  if (i < 0 || i >= w || j < 0 || j >= static_cast<int64_t>(g.depth)) return CellLinkStep::kLeavesGrid;
  *next = static_cast<size_t>(j * w + i);
  return CellLinkStep::kFollows;
}

int32_t ResolveCellLink(int32_t cellIndex) {
  const TerrainGrid& g = g_terrain;
  if (cellIndex < 0 || static_cast<size_t>(cellIndex) >= g.cellCount()) return -1;
  size_t k = static_cast<size_t>(cellIndex);
  for (int steps = 0;; ++steps) {
    if (!(g.cells[k * kCellBytes + 3] & 0x80)) return static_cast<int32_t>(k);
    if (steps == 201) return -1;
    switch (StepCellLink(g, k, &k)) {
      case CellLinkStep::kEnds: return static_cast<int32_t>(k);
      case CellLinkStep::kLeavesGrid: return -1;
      case CellLinkStep::kFollows: break;
    }
  }
}

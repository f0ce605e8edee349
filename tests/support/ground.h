#pragma once
#include <cstdint>

#include "course/terrain.h"

// A test ground: a grid of one surface, flat or sloping along y, centred on the world origin.
namespace balltest {

inline void setSurface(int32_t i, int32_t j, uint8_t surface) {
  TerrainCell(static_cast<size_t>(j) * CurrentTerrain().width + static_cast<size_t>(i))[2] = surface;
}

// Height at world y is slope * y (slope 0 for flat ground).
inline bool makeGround(uint32_t width, uint32_t depth, uint8_t surface, float slope = 0.0f) {
  if (!InitTerrainGrid(width, depth)) return false;
  TerrainGrid& g = CurrentTerrain();
  g.floatHeights = true;
  for (uint32_t j = 0; j < depth; ++j)
    for (uint32_t i = 0; i < width; ++i) {
      const float y = static_cast<float>(j) - g.originY;
      SetTerrainVertexHeight(static_cast<size_t>(j) * width + i, slope * y);
      setSurface(static_cast<int32_t>(i), static_cast<int32_t>(j), surface);
    }
  return true;
}

// Grid cell (i, j) of a world point.
inline void cellOf(float x, float y, int32_t* i, int32_t* j) {
  const TerrainGrid& g = CurrentTerrain();
  *i = static_cast<int32_t>(g.originX - x);
  *j = static_cast<int32_t>(y + g.originY);
}

// Gives the cells whose world y lies in [y0, y1) another surface.
inline void band(float y0, float y1, uint8_t surface) {
  const TerrainGrid& g = CurrentTerrain();
  for (uint32_t j = 0; j < g.depth; ++j) {
    const float y = static_cast<float>(j) - g.originY;
    if (y < y0 || y >= y1) continue;
    for (uint32_t i = 0; i < g.width; ++i) setSurface(static_cast<int32_t>(i), static_cast<int32_t>(j), surface);
  }
}

}  // namespace balltest

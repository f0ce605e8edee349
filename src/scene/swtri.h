// The software path's 16-bit (5-6-5) triangle routines: flat fill, quarter shading, and affine texture mapping with
// the light level interpolated across the triangle. Vertices are screen pixels; levels and texture coordinates are
// 16.16 values per vertex. Drawing stays inside the surface's clip rectangle.
#pragma once

#include <cstdint>

struct Surface16 {
  uint16_t* pixels = nullptr;
  int32_t pitch = 0;  // pixels per row
  int32_t clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;  // right and bottom exclusive
};

struct TriVertex {
  int16_t x, y;
};

// An 8-bit texture: width x height texels, rows `width` apart.
struct Texture8 {
  const uint8_t* texels = nullptr;
  int32_t width = 0, height = 0;
};

// `tables` holds `tableCount` colour tables of 256 entries; the light level's whole part chooses one.
struct LightTableSet {
  const uint16_t* tables = nullptr;
  int32_t count = 0;
};

void FillTriangle16(const Surface16& s, const TriVertex v[3], uint16_t colour);
void ShadeTriangle16(const Surface16& s, const TriVertex v[3]);
// mode 0: colour table [texel]; mode 1: a shadow mask (0xFE a quarter darker, 0xFD an eighth, others untouched);
// mode 2: as 0 with texel 255 clear.
void MapTriangle16(const Surface16& s, const TriVertex v[3], const Texture8& texture, const int32_t u[3],
                   const int32_t vv[3], const uint16_t* colours, int mode);
void MapTriangleShaded16(const Surface16& s, const TriVertex v[3], const int32_t levels[3], const Texture8& texture,
                         const int32_t u[3], const int32_t vv[3], const LightTableSet& lights, bool dither);

inline uint16_t DarkenQuarter(uint16_t p) { return static_cast<uint16_t>(p - ((p & 0xE79C) >> 2)); }
inline uint16_t DarkenEighth(uint16_t p) { return static_cast<uint16_t>(p - ((p & 0xC718) >> 3)); }

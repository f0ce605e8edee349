// Flat polygon filling and affine texture mapping in software: Sutherland-Hodgman clipping against the current
// window's clip rectangle, edge lists and a walk down two chains of edges. A polygon covers the rows from its
// top y up to (not including) its bottom y, and in each row the columns from its left edge up to (not
// including) its right edge.
#pragma once

#include <cstdint>

struct PolyPoint {
  int32_t x, y;
};

struct EdgeRecord {
  double u, v;     // texture coordinates at the current row
  float du, dv;    // per-row steps
  int32_t x;       // 16.16
  int32_t slope;   // 16.16 per row
  int32_t firstrow;
  int32_t rows;    // rows remaining
};

constexpr int kMaxPolygonPoints = 60;  // each of the four clip passes may add one point to the 64 of a buffer
constexpr int kEdgeRecords = 64;
extern float reciprocaltable[1024];
extern EdgeRecord* edgetable;  // 64 records once initlinpoly has run

void initlinpoly();

// Row-offset tables of textures, kept in one fixed space instead of a table per polygon: shift tables for the
// power-of-two row lengths of 1 to 128 bytes (built once), then a general table built for the texture in use.
constexpr int kRowTableSpace = 2326;  // 32-bit words
constexpr int kShiftTableWords = 1046;
constexpr int kGeneralTableWords = kRowTableSpace - kShiftTableWords;
// The general table: entry j is j x rowbytes for j from 0 to `height`. It is rebuilt only when the row length
// changes or more entries are asked for; null when `height` + 1 entries do not fit the space.
const int32_t* linpolyrowtable(int32_t rowbytes, int32_t height);
// The table for a texture: the shift table of its row length (entry j = j x rowbytes for j below
// 4 x rowbytes + 2) when there is one and the texture is no taller than 4 row lengths, else the general table
// (null when the texture is too tall for it).
const int32_t* linpolytexture(const uint8_t* texture);
// Words the shift tables take in the space (for checks).
int32_t linpolyshiftwords();

// colour: a pixel value of the current window's depth; span kind 0 fills, 1 darkens by half.
int drawpolygon(uint32_t colour, int count, const PolyPoint* points, int orientation, int spankind);
int drawpolygonp(uint32_t colour, int count, const PolyPoint* const* points, int orientation, int spankind);
int fillpolygon(uint32_t colour, int count, const PolyPoint* points);
int fillpolygonv(uint32_t colour, int count, ...);

// Texture points are 16.16 (u, v) in the texture shape, one per screen point. Modes 0..7 select the span
// routine (copy, transparent, darkening, filtered, remapped...). Returns 0 when rejected or clipped away, 1 when
// drawn, -1 when the outline is not monotone in y.
int drawlinpoly(const uint8_t* texture, int count, const PolyPoint* points, const PolyPoint* texturepoints,
                int orientation, int mode);
int drawlinpolyv(const uint8_t* texture, int count, const PolyPoint* const* points, const PolyPoint* texturepoints,
                 int orientation, int mode);
void drawshapepoly(const uint8_t* shape, const PolyPoint* corners, int orientation, int mode);
// Mode 7: entry t selects the 256-byte remap table of texel t (null: the texel itself is written).
void setremaptables(const uint8_t* const* tables);

#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "course/vector3.h"

// The ground of the loaded hole: vertex heights and 4-byte cells on one regular grid, one grid step to a
// world unit, centred on the world origin. Grid column u = originX - x, grid row v = y + originY.

constexpr uint8_t kSurfaceWater = 0x50;
constexpr uint8_t kSurfaceOutside = 0x90;
constexpr float kHeightOutside = -7.0f;
constexpr size_t kCellBytes = 4;
constexpr size_t kDetailTileBytes = 8;
constexpr size_t kMaskPairBytes = 8;

struct TerrainLevel {
  uint32_t step = 1;
  uint32_t lastColumn = 0;
  uint32_t columns = 0;
  uint32_t lastRow = 0;
  uint32_t rows = 0;
};

struct TerrainGrid {
  uint32_t width = 0;
  uint32_t depth = 0;
  float originX = 0.0f;
  float originY = 0.0f;
  std::vector<uint32_t> rowTable;  // depth + 1 entries, r * width
  TerrainLevel levels[4];          // steps 1, 2, 4, 8 for the terrain renderer

  // Heights: 16.16 fixed point, or float bits when the heights were loaded for 3D hardware.
  bool floatHeights = false;
  std::vector<uint32_t> heights;
  // Cells: u16 detail tile (1-based), surface byte (high nibble), link or object byte.
  std::vector<uint8_t> cells;
  std::vector<uint8_t> levelCells[3];  // half, quarter, eighth resolution
  std::vector<uint8_t> detailTiles;    // 8-byte tiles
  std::vector<uint8_t> maskPairs;      // 8-byte pairs of run-mask offsets
  std::vector<uint8_t> runMasks;       // run bytes
  std::vector<uint8_t> rendererBlock;  // kept whole for the scene

  // Plane normal and height of the most recent GetTerrainHeight inside the grid.
  Vector3 lastNormal{0.0f, 0.0f, 1.0f};
  float lastHeight = 0.0f;

  size_t cellCount() const { return static_cast<size_t>(width) * depth; }
};

// The one terrain of the loaded hole.
TerrainGrid& CurrentTerrain();

// Sets the size, origins, row table and level tables; heights and cells are sized to the grid and cleared.
// Returns false (grid left empty) when the size is zero or too large to hold.
bool InitTerrainGrid(uint32_t width, uint32_t depth);
void FreeHoleTerrain();

// Level size for step s: (n - 1) rounded down to a multiple of s, divided by s, plus 1. The level files
// of a hole hold this many cells per row and rows.
uint32_t TerrainLevelSize(uint32_t n, uint32_t step);

// Direct access for loaders and tests.
float TerrainVertexHeight(size_t index);
void SetTerrainVertexHeight(size_t index, float height);
inline uint8_t* TerrainCell(size_t index) { return &CurrentTerrain().cells[index * kCellBytes]; }

float GetTerrainHeight(float x, float y);
uint8_t GetTerrainSurface(float x, float y);
uint8_t GetCellSurface(float x, float y);
uint8_t GetGridCellSurface(uint32_t i, uint32_t j);
int GetGridCellSurfaceInfo(int32_t i, int32_t j, uint8_t out[3]);
int GetSurfaceInfoAt(float x, float y, uint8_t out[3]);
float GetCellAverageHeight(float x, float y);
void GetCellHeightRange(uint32_t cellIndex, float* outMin, float* outMax);

struct TerrainTriangle {
  Vector3 p0, p1, p2;
};
const TerrainTriangle& GetTerrainTriangle(float x, float y);
void GetTerrainNormal(float x, float y, Vector3* out);

Vector3* GridPointToWorld(int32_t i, int32_t j, Vector3* out);
void GridVertexToWorld(int32_t i, int32_t j, Vector3* out);
void GridCellCentreToWorld(int32_t i, int32_t j, Vector3* out);

int32_t HeadingBetweenPoints(const Vector3& a, const Vector3& b);
// One step along a cell's link code (a cell that takes its data from a neighbour): kFollows with the neighbour in
// *next, kEnds when the cell holds no link, kLeavesGrid when the code points off the grid or round a row's end.
enum class CellLinkStep { kEnds, kLeavesGrid, kFollows };
CellLinkStep StepCellLink(const TerrainGrid& g, size_t cell, size_t* next);
// The cell a chain of links ends on, -1 when it leaves the grid or runs on too long.
int32_t ResolveCellLink(int32_t cellIndex);

// Marks the entries of a 16 x 16 sub-cell table that the run mask covers with code (high nibble);
// reading stops at the end of the mask data.
void MarkTableByRunMask(uint8_t table[256], const uint8_t* mask, size_t maskBytes, uint8_t code);

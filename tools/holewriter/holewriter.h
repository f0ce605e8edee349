#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes the file set of one hole (".MIS" header, heights, cells at four resolutions, detail tiles, mask
// pairs, run masks and the renderer block) from a description held in memory.
namespace holewriter {

struct DetailTile {
  uint8_t primary = 0;    // surface class 0..15; 0 = none
  uint8_t secondary = 0;  // surface class 0..15; 0 = none
  uint16_t maskPair = 0;
  uint32_t shadow = 0;  // run-mask offset of the cell's shadow; 0 none, 0xFFFFFFFF the whole cell
};

struct MaskPair {
  uint32_t primaryOffset = 0;
  uint32_t secondaryOffset = 0;
};

struct HoleDescription {
  uint32_t width = 0;
  uint32_t depth = 0;
  int version = 11;  // 10, 11 or 12
  uint32_t objectBound = 0;
  uint32_t teeStart[4] = {};  // version 1.0 and 1.1 store three
  uint32_t markers[4] = {};
  uint32_t pins[4] = {};
  std::vector<float> heights;      // width x depth, row by row
  std::vector<uint8_t> surfaces;   // surface byte per cell
  std::vector<uint16_t> tiles;     // detail-tile number per cell (1-based; 0 none)
  std::vector<uint8_t> codes;      // object, marker or link byte per cell
  std::vector<DetailTile> detailTiles;
  std::vector<MaskPair> maskPairs;
  std::vector<uint8_t> runMasks;
  std::vector<uint8_t> rendererBlock;
  std::vector<uint8_t> coarseBlock;  // kept for the renderer beside the run masks

  size_t index(uint32_t column, uint32_t row) const { return static_cast<size_t>(row) * width + column; }
};

// A level hole of the given size: heights 0, every cell of surface class `surface`.
HoleDescription FlatHole(uint32_t width, uint32_t depth, uint8_t surface = 1);

// Run bytes covering a 16 x 16 sub-cell mask (row-major), runs of at most 127.
std::vector<uint8_t> EncodeRunMask(const bool marked[256]);

// Appends a run mask to the description and returns its offset.
uint32_t AddRunMask(HoleDescription& hole, const bool marked[256]);

// The encoded files, by extension.
struct HoleFile {
  std::string extension;
  std::vector<uint8_t> bytes;
};
std::vector<HoleFile> EncodeHole(const HoleDescription& hole);

// Writes every file as base + extension. Returns false when a file cannot be written.
bool WriteHole(const HoleDescription& hole, const std::string& base);

// A playable demonstration hole: rolling ground, fairway, green, a pond, tee sets, pins and objects.
HoleDescription DemoHole(uint32_t width, uint32_t depth, uint32_t seed);

}  // namespace holewriter

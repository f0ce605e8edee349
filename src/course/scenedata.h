// What the 3D scene reads of the loaded course and hole, filled by the course loader (course/courseload.h):
// palette, light tables, shade colours, surface textures, object types and their images, the hole header,
// the horizon strip, the sky images and the hole's object-line tables. The scene owns nothing here; it may
// keep its own state in the `cache` and `slot` fields. Layout and sources: docs/course.md "Scene records".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// ---- images ------------------------------------------------------------------------------------------------------
// One image as a shape record of the platform library (platformlib/shapes.h): the 16-byte header (type, next
// record, u16 width and height at bytes 4 and 6, hot spot at 8 and 10), the pixels, and for 8-bit images the
// palette record chained after them (type 0x2A: 256 ARGB entries). Pixel value 255 of an 8-bit image is
// transparent. `shape` is empty when the image is absent.
struct CourseImage {
  std::vector<uint8_t> shape;
  bool present() const { return !shape.empty(); }
  uint8_t* data() { return shape.data(); }
  const uint8_t* data() const { return shape.data(); }
  int32_t width() const;
  int32_t height() const;
  const uint8_t* pixels() const { return shape.empty() ? nullptr : shape.data() + 16; }  // rows of width bytes
};

// ---- course values ---------------------------------------------------------------------------------------------
constexpr int kLightLevels = 16;           // the cells' shade levels (low nibble of the surface byte)
constexpr int kTerrainTextures = 29;       // see TerrainTexture
constexpr int kObjectTypes = 256;          // the low byte of an object kind
constexpr int kPinObjectType = 80;
constexpr int kFlagObjectType = 92;
constexpr int kHorizonPanels = 12;
constexpr int kCourseHoles = 18;

// One surface texture: a 64 x 64 8-bit image in the course palette. Entries 0-15 are the surfaces (high
// nibble of a cell's surface byte), 16 the mowing-stripe alternate of surface 1 (fairway), 17-28 the coarse
// level replacements: 17, 18 for entry 16 at steps 4 and 8; 20, 21, 22 for surface 7 at steps 2, 4, 8; 23, 24,
// 25 for surface 6; 26, 27, 28 for surface 2 (entry 19 is never used). An absent replacement keeps the finer
// texture.
struct TerrainTexture {
  CourseImage image;
  uint32_t wholeImage = 1;  // 1: a whole 64 x 64 image (every demo texture is)
  void* cache = nullptr;    // the scene's texture-cache entry
  uint16_t slot = 0;        // the scene's texture slot
};

// One object type (trees, bushes, buildings, the pin 80, the flag 92). Cells carry the type in their object
// byte; the object-line tables carry it in the low byte of the kind.
struct ObjectType {
  bool present = false;
  CourseImage image;          // 8-bit, bottom edge on the ground, hot spot at the foot
  CourseImage alternate;      // drawn when `useAlternate` (e.g. a smaller image at a distance); may be absent
  uint32_t useAlternate = 0;
  int32_t worldHeight = 0;    // 16.16 world units (yards)
  int32_t widthFactor = 0;    // 16.16: world width = worldHeight x widthFactor (as the image's aspect)
  int32_t hotSpotFactor = 0;  // 16.16: hot-spot x / image width
  uint8_t leftExtent = 0;     // cells the object reaches back and forward along a line
  uint8_t rightExtent = 0;
  std::string name;
};

// One piece of the horizon strip (a panorama of up to 12 pieces side by side) and the ground drawn below it.
struct HorizonPanel {
  CourseImage image;          // 8-bit, course palette; transparent above the skyline
  CourseImage second;         // second half of a two-part piece (absent: one part)
  int32_t extraWidth = 0;     // added to the piece's width in the running offsets
  uint8_t surface = 0;        // surface code (high nibble form, 0x10-0xF0) of the ground below; 0: hole default
  uint8_t shade = 0;          // shade level 0-15 of that ground
  void* cache = nullptr;      // the scene's texture-cache entry
};

// One sky image (a band panel of the sky dome).
struct SkyImage {
  CourseImage image;  // 8-bit with its palette record
  void* cache = nullptr;
};

struct CourseSceneData {
  bool loaded = false;
  std::string folder;                       // the course folder's name ("SEDGEFEN")
  std::array<uint32_t, 256> palette{};      // ARGB; entry 255 is the colour key
  // lightTables[L][c]: 5-6-5 colour of palette entry c lit at shade level L (0 darkest, 15 full light).
  std::array<std::array<uint16_t, 256>, kLightLevels> lightTables{};
  std::array<uint32_t, kLightLevels> shadeColours{};  // ARGB vertex colour of each shade level
  // The table of a light level; levels past the last read the brightest table, below 0 the darkest.
  const std::array<uint16_t, 256>& LightTable(int level) const {
    return lightTables[static_cast<size_t>(level < 0 ? 0 : level >= kLightLevels ? kLightLevels - 1 : level)];
  }
  std::array<TerrainTexture, kTerrainTextures> textures;
  std::vector<ObjectType> objectTypes = std::vector<ObjectType>(kObjectTypes);  // by type
  std::array<HorizonPanel, kHorizonPanels> horizon;
  int horizonCount = 0;                    // pieces in use, 0-12
  int32_t tallestHorizon = 0;              // pixels
  float horizonScale = 1.0f;
  std::vector<SkyImage> skyTop, skyBottom;  // the dome's upper and lower bands
  int32_t skyTextureSide = 64;
  uint8_t skyKind = 2;                      // 0 no horizon tracking, 2 average horizon, other minimum horizon
  bool skyDome = false;                     // the course has a sky dome (skyTop and skyBottom non-empty)
  bool keyedSky = false;
  uint32_t waterReflection = 0xFF305878;    // ARGB
  // Surface codes in the high-nibble form; 0 = none.
  uint8_t secondWater = 0;                  // water besides 0x50
  uint8_t outOfBounds[2] = {};              // extra out-of-bounds codes
  uint8_t notOutOfBounds = 0;
  uint8_t noGridSurface = 0;                // grid lines are not drawn on it
  uint8_t waterLike[2] = {};                // what the gallery, tower and pop-up mounts treat as outside
  std::array<std::string, 16> lieNames;     // by surface code; the course may rename entries
  // The water's colours for its three settings (5-6-5 by palette index): the course's water palettes, else the
  // light tables of levels 4, 6 and 8.
  std::array<std::array<uint16_t, 256>, 3> waterPalettes{};
};

// ---- the hole header ---------------------------------------------------------------------------------------------
struct HoleSceneHeader {
  uint32_t flags = 0;           // bit 0: mowing stripes
  uint16_t defaultSurface = 0x40;  // surface code (high-nibble form) of the ground below the horizon
  uint8_t defaultShade = 8;
  int32_t horizonHeight = 0;    // 16.16, signed
  std::array<uint32_t, kCourseHoles> pinVertex{};  // per hole number: row x W + column (this hole's own entry set)
  std::array<float, 3> target{};                   // x, z, height of the hole's target point
  std::array<int32_t, 3> minDetail{};              // 16.16 minimum detail distances, 0 = none
  uint32_t depthOverride = 0;
  int waterColour = 0;          // 4, 6, 8, or 0 for no override (reset at hole load)
  uint8_t glint = 0;            // glinting water with this forced setting (1-3); 0 none
};

// ---- hole preprocessing ------------------------------------------------------------------------------------------
// One object on a traversal line: its position along the line (the column for octants 0, 1, 3, 4, 5, 7 and the
// row for octants 2 and 6), across it (the other coordinate), and its kind (low byte: the object type).
struct ObjectLineEntry {
  uint16_t along = 0;
  uint16_t across = 0;
  uint32_t kind = 0;
};

// Per heading octant: line n's objects are entries[lineStart[n]] .. entries[lineStart[n + 1] - 1], sorted in
// the octant's walking direction. Lines are numbered from the octant's start corner (W, D: grid width, depth):
// 0: z; 1: (W-1-x) + z; 2: W-1-x; 3: (W-1-x) + (D-1-z); 4: D-1-z; 5: x + (D-1-z); 6: x; 7: x + z. Every table
// has W + D - 1 lines (the straight octants use the first W or D of them).
struct ObjectLineTable {
  std::vector<uint32_t> lineStart;
  std::vector<ObjectLineEntry> entries;
  size_t lineCount() const { return lineStart.empty() ? 0 : lineStart.size() - 1; }
};

struct HoleSceneData {
  bool loaded = false;
  int hole = 0;  // 1-based hole number
  HoleSceneHeader header;
  std::array<ObjectLineTable, 8> objectLines;
  // Detail tiles for the coarse levels (steps 2, 4, 8): the fine table with the shadow decals dropped (offset
  // 0), whole-quad shadows (-1) kept. Same 8-byte records and numbering as the fine table.
  std::vector<uint8_t> coarseDetailTiles;
};

// The loaded course's and hole's records (one each per program).
CourseSceneData& CurrentCourseScene();
HoleSceneData& CurrentHoleScene();

// The line number of cell (x, z) in octant 0-7 of a W x D grid, and its position along and across the line.
uint32_t ObjectLineNumber(int octant, uint32_t x, uint32_t z, uint32_t width, uint32_t depth);

// Builds the eight object-line tables from the cells' object bytes (codes with a present object type) of the
// current terrain; also the coarse detail tiles. 0, or 2 when memory runs out.
int BuildHolePreprocessing(HoleSceneData& hole);

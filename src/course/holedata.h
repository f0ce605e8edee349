#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Loading of a hole's file set into the terrain grid and the hole record.

// Results of the course subsystem's loaders.
constexpr int kHoleOk = 0;
constexpr int kHoleFileError = 2;   // a file cannot be opened, is damaged, or memory runs out
constexpr int kHoleNoExtension = 7;
constexpr int kHoleBadMagic = 28;

// Markers of the cell grid's byte 3 that the loader may leave in place: the tee sets' starts (80, 81, 82, 91), the
// pins (slots 0-3) and the crowd and scenery markers. Without an object of their own they are no objects: the scene
// draws the pin at the hole's pin vertex and the tee marker as object 80.
constexpr uint8_t kFirstPinMarker = 83, kLastPinMarker = 86;
constexpr bool IsPinMarker(uint8_t code) { return code >= kFirstPinMarker && code <= kLastPinMarker; }
constexpr bool IsCellMarker(uint8_t code) {
  return (code >= 80 && code <= 86) || code == 91 || (code >= 70 && code <= 72) || (code >= 112 && code <= 120);
}

// One hole record per program, reused for every hole (196 bytes, in field order).
struct HoleRecord {
  uint32_t unused0 = 0;
  uint32_t width = 0;
  uint32_t depth = 0;
  uint32_t unused1[4] = {};
  uint32_t teeSetCount = 0;
  uint32_t teeStart[4] = {};  // cell indices; 0 = tee set absent
  uint32_t markers[4] = {};   // second marker block
  uint32_t pins[4] = {};
  uint32_t unused2[2] = {};
  uint32_t crowd[23] = {};    // crowd and scenery markers; 0 = free
  uint32_t marker120[4] = {};
};
static_assert(sizeof(HoleRecord) == 196);

HoleRecord& CurrentHoleRecord();
uint32_t HoleObjectCodeBound();

// The objects of the loaded hole, filled by the course loader with the hole's object shapes; the hole
// loader reads only whether a code has an object and its footprint.
struct HoleObject {
  uint16_t shape[2] = {};      // either non-zero: the object exists
  uint8_t footprint[2] = {};   // half-size in cells along the two ground axes
};
std::vector<HoleObject>& HoleObjectTable();

// What the hole loader asks of the current game.
struct HoleLoadGame {
  virtual ~HoleLoadGame() = default;
  virtual int SelectedTeeSet() const = 0;
  virtual void SetSelectedTeeSet(int teeSet) = 0;
  virtual bool ShowsAllTeeSets() const = 0;
  virtual bool ShowsCrowdAndScenery() const = 0;
};
// Without a game the loader uses tee set 0, shows one tee set and the crowd.
void SetHoleLoadGame(HoleLoadGame* game);

// Course surface index named "Water" (255: the course has none).
void SetCourseWaterSurface(uint8_t index);

// Water level worked out at load (3D hardware only).
float HoleWaterLevel();
bool HoleLowLandBelowWater();

// The renderer's preprocessing steps: the first runs after the cells are loaded, the final one's result
// is the load's result. Both default to doing nothing.
using TerrainPreprocessStep = int (*)();
void SetTerrainPreprocessSteps(TerrainPreprocessStep first, TerrainPreprocessStep final);

bool CheckHoleDataMagic(const uint8_t* data, size_t size);
bool IsHoleDataV12(const uint8_t* data, size_t size);
int ReadHoleHeaderV1(const uint8_t* data, size_t size);
int ReadHoleHeaderV12(const uint8_t* data, size_t size);

int LoadHoleData(const std::string& fileName);

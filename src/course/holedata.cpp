#include "course/holedata.h"

#include "course/courseload.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <cstdio>
#include <new>

#include "course/terrain.h"
#include "framework/core/bigfileio.h"
#include "framework/core/services.h"
#include "platformlib/core/byteorder.h"

namespace {

constexpr char kMagicV10[] = "VAVODU HOLE V1.0";
constexpr char kMagicV11[] = "VAVODU HOLE V1.1";
constexpr char kMagicV12[] = "VAVODU HOLE V1.2";
constexpr size_t kMagicBytes = 16;
constexpr size_t kHeaderV1Bytes = 72;
constexpr size_t kHeaderV12Bytes = 76;
constexpr uint8_t kTeeCodes[4] = {80, 81, 82, 91};
constexpr uint8_t kTeeObject = 80;
constexpr char kNotice[] = "Hole data needs to be reprocessed.  Press OK to continue loading the data";

HoleRecord g_record;
uint32_t g_objectBound = 0;
std::vector<HoleObject> g_objects;
HoleLoadGame* g_game = nullptr;
uint8_t g_waterSurface = 255;
float g_waterLevel = 0.0f;
bool g_lowLand = false;
TerrainPreprocessStep g_firstStep = nullptr;
TerrainPreprocessStep g_finalStep = nullptr;

int selectedTeeSet() { return g_game ? g_game->SelectedTeeSet() : 0; }
bool showsAllTeeSets() { return g_game && g_game->ShowsAllTeeSets(); }
bool showsCrowd() { return !g_game || g_game->ShowsCrowdAndScenery(); }

// A cell index from the header: one outside the grid counts as absent.
uint32_t headerCell(const uint8_t* p) {
  const uint32_t cell = ReadLE32(p);
  return cell < CurrentTerrain().cellCount() ? cell : 0;
}

int readHeader(const uint8_t* data, size_t size, bool v12) {
  if (size < (v12 ? kHeaderV12Bytes : kHeaderV1Bytes)) return kHoleFileError;
  const uint32_t width = ReadLE32(data + 16), depth = ReadLE32(data + 20);
  if (!InitTerrainGrid(width, depth)) return kHoleFileError;
  HoleRecord& r = g_record;
  // The record serves every hole: nothing of the previous hole may linger in it.
  r = HoleRecord{};
  r.width = width;
  r.depth = depth;
  g_objectBound = ReadLE32(data + 24);
  const int tees = v12 ? 4 : 3;
  size_t at = 28;
  for (int k = 0; k < tees; ++k, at += 4) r.teeStart[k] = headerCell(data + at);
  for (int k = 0; k < 4; ++k, at += 4) r.markers[k] = headerCell(data + at);
  for (int k = 0; k < 4; ++k, at += 4) r.pins[k] = headerCell(data + at);
  r.teeSetCount = 0;
  for (int k = 3; k >= 0; --k)
    if (r.teeStart[k] != 0) {
      r.teeSetCount = static_cast<uint32_t>(k + 1);
      break;
    }
  if (!v12 && g_game && r.teeSetCount != 0 && static_cast<uint32_t>(selectedTeeSet()) >= r.teeSetCount)
    g_game->SetSelectedTeeSet(static_cast<int>(width % r.teeSetCount));
  return kHoleOk;
}

// Writes link codes round an object cell, each pointing one step towards it, over the disc of radius r.
void stampLinks(uint32_t index, int radius) {
  TerrainGrid& g = CurrentTerrain();
  const int64_t w = g.width, d = g.depth;
  const int64_t col = index % g.width, row = index / g.width;
  for (int64_t dz = -radius; dz <= radius; ++dz) {
    const int64_t z = row + dz;
    if (z < 0 || z >= d) continue;
    for (int64_t dx = -radius; dx <= radius; ++dx) {
      const int64_t x = col + dx;
      if (x < 0 || x >= w || (dx == 0 && dz == 0) || dx * dx + dz * dz > int64_t{radius} * radius) continue;
      uint8_t* cell = TerrainCell(static_cast<size_t>(z * w + x));
      if (cell[3] != 0) continue;
      uint8_t code;
      if (dz < 0) code = dx < 0 ? 133 : (dx == 0 ? 129 : 137);
      else if (dz == 0) code = dx < 0 ? 132 : 136;
      else code = dx < 0 ? 134 : (dx == 0 ? 130 : 138);
      cell[3] = code;
    }
  }
}

void placeObject(uint32_t index, uint8_t code) {
  if (code >= g_objects.size()) return;
  const HoleObject& o = g_objects[code];
  if (o.shape[0] == 0 && o.shape[1] == 0) return;
  TerrainCell(index)[3] = code;
  stampLinks(index, std::max(o.footprint[0], o.footprint[1]) + 1);
}

bool storeInSlots(uint32_t* slots, int count, int preferred, uint32_t index) {
  if (preferred >= 0 && preferred < count && slots[preferred] == 0) {
    slots[preferred] = index;
    return true;
  }
  for (int k = 0; k < count; ++k)
    if (slots[k] == 0) {
      slots[k] = index;
      return true;
    }
  return false;
}

void harvestMarkers() {
  TerrainGrid& g = CurrentTerrain();
  HoleRecord& r = g_record;
  const int selected = selectedTeeSet();
  const bool allTees = showsAllTeeSets();
  const bool crowd = showsCrowd();
  const size_t count = g.cellCount();
  for (size_t n = 0; n < count; ++n) {
    const uint32_t i = static_cast<uint32_t>(n);
    uint8_t* cell = TerrainCell(n);
    const uint8_t c = cell[3];
    if (c == 0 || (c & 0x80)) continue;
    if (c >= g_objectBound) g_objectBound = c + 1u;
    const uint8_t* tee = std::find(std::begin(kTeeCodes), std::end(kTeeCodes), c);
    if (tee != std::end(kTeeCodes)) {
      const int k = static_cast<int>(tee - kTeeCodes);
      if (std::find(std::begin(r.teeStart), std::end(r.teeStart), i) == std::end(r.teeStart)) {
        int slot = k;
        while (slot < 4 && r.teeStart[slot] != 0) ++slot;
        if (slot < 4) {
          r.teeStart[slot] = i;
          r.teeSetCount = std::max(r.teeSetCount, static_cast<uint32_t>(slot + 1));
        }
      }
      const bool selectedCode = selected >= 0 && selected < 4 && c == kTeeCodes[selected];
      if (selectedCode || allTees) placeObject(i, kTeeObject);
      continue;
    }
    if (IsPinMarker(c)) {
      r.pins[c - kFirstPinMarker] = i;
      placeObject(i, c);
      continue;
    }
    if (crowd && ((c >= 70 && c <= 72) || (c >= 112 && c <= 119))) {
      storeInSlots(r.crowd, 23, c <= 72 ? c - 70 : c - 109, i);
      cell[3] = 0;
      continue;
    }
    if (crowd && c == 120) {
      storeInSlots(r.marker120, 4, -1, i);
      cell[3] = 0;
      continue;
    }
    placeObject(i, c);
  }
}

void computeWaterLevel() {
  const TerrainGrid& g = CurrentTerrain();
  const uint8_t courseWater = g_waterSurface == 255 ? 0xFF : static_cast<uint8_t>(g_waterSurface << 4);
  bool anyWater = false, anyLand = false;
  float waterHigh = 0, waterLow = 0, landLow = 0;
  for (size_t i = 0; i < g.cellCount(); ++i) {
    const uint8_t s = g.cells[i * kCellBytes + 2] & 0xF0;
    const float h = TerrainVertexHeight(i);
    if (s == kSurfaceWater || s == courseWater) {
      waterHigh = anyWater ? std::max(waterHigh, h) : h;
      waterLow = anyWater ? std::min(waterLow, h) : h;
      anyWater = true;
    } else {
      landLow = anyLand ? std::min(landLow, h) : h;
      anyLand = true;
    }
  }
  g_waterLevel = 0.0f;
  g_lowLand = false;
  if (!anyWater) return;
  const float level = (waterHigh + waterLow) * 0.5f;
  g_waterLevel = level == 0.0f ? 0.1f : level * 2.0f;
  g_lowLand = anyLand && landLow + 5.0f <= waterHigh;
}

// Loads a file, unpacked when it is packed, that must hold at least `need` bytes (need 0: any size) into `out`.
bool loadBlock(const std::string& path, size_t need, std::vector<uint8_t>& out) {
  if (!BigFileLoadBytesUnpacked(nullptr, path.c_str(), out)) return false;
  if (out.size() < need) {
    out.clear();
    return false;
  }
  return true;
}

// The grid size a header names, checked against the files that must fill it before anything is allocated for it.
bool headerFitsFiles(const std::vector<uint8_t>& mis, size_t heightBytes, size_t cellBytes) {
  if (mis.size() < 24) return false;
  const uint64_t count = uint64_t{ReadLE32(mis.data() + 16)} * ReadLE32(mis.data() + 20);
  return count != 0 && heightBytes / 4 >= count && cellBytes / kCellBytes >= count;
}

// True when some chain of link codes runs in a circle. Each cell is settled once: a chain that reaches a settled
// cell stops there, so the check is linear in the cells.
bool hasLinkCycle(const TerrainGrid& g) {
  enum : uint8_t { kUnseen, kOnPath, kSettled };
  std::vector<uint8_t> state(g.cellCount(), kUnseen);
  for (size_t start = 0; start < state.size(); ++start) {
    size_t k = start, next = 0;
    while (state[k] == kUnseen) {
      state[k] = kOnPath;
      if (StepCellLink(g, k, &next) != CellLinkStep::kFollows) break;
      if (state[next] == kOnPath) return true;
      k = next;
    }
    for (k = start; state[k] == kOnPath; k = next) {
      state[k] = kSettled;
      if (StepCellLink(g, k, &next) != CellLinkStep::kFollows) break;
    }
  }
  return false;
}

bool fillHeights(const std::vector<uint8_t>& bytes) {
  TerrainGrid& g = CurrentTerrain();
  const size_t count = g.cellCount();
  if (bytes.size() < count * 4) return false;
  const bool hardware = (Facts().hardwareDisplay != 0);
  g.floatHeights = hardware;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t raw = ReadLE32(&bytes[i * 4]);
    g.heights[i] = hardware ? std::bit_cast<uint32_t>(static_cast<float>(static_cast<int32_t>(raw)) * 1.52587890625e-05f)
                            : raw;
  }
  return true;
}

// Makes the hole's archive current when there is one on disk (its files are read loose otherwise) and gives the
// previous archive back on every way out of the load.
class ArchiveScope {
 public:
  explicit ArchiveScope(const std::string& path) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    // A failed open has still moved the current archive aside; closing brings it back.
    const bool hadArchive = BigFileCurrentArchive() != nullptr;
    open_ = BigFileOpenArchive(nullptr, path.c_str(), nullptr) == 0 || hadArchive;
  }
  ~ArchiveScope() { close(); }
  void close() {
    if (open_) BigFileCloseArchive();
    open_ = false;
  }

 private:
  bool open_ = false;
};

}  // namespace

HoleRecord& CurrentHoleRecord() { return g_record; }
uint32_t HoleObjectCodeBound() { return g_objectBound; }
std::vector<HoleObject>& HoleObjectTable() { return g_objects; }
void SetHoleLoadGame(HoleLoadGame* game) { g_game = game; }
void SetCourseWaterSurface(uint8_t index) { g_waterSurface = index; }
float HoleWaterLevel() { return g_waterLevel; }
bool HoleLowLandBelowWater() { return g_lowLand; }

void SetTerrainPreprocessSteps(TerrainPreprocessStep first, TerrainPreprocessStep final) {
  g_firstStep = first;
  g_finalStep = final;
}

bool CheckHoleDataMagic(const uint8_t* data, size_t size) {
  if (!data || size < kMagicBytes) return false;
  if (std::memcmp(data, kMagicV11, kMagicBytes) == 0) return true;
  if (std::memcmp(data, kMagicV10, kMagicBytes) != 0) return false;
  FrontEndProvider& frontEnd = *Svc().frontEnd;
  frontEnd.SetBusy(false);
  const bool suppressed = frontEnd.DialogsSuppressed();
  frontEnd.SuppressDialogs(false);
  frontEnd.ShowNotice(kNotice);
  frontEnd.SuppressDialogs(suppressed);
  frontEnd.SetBusy(true);
  return true;
}

bool IsHoleDataV12(const uint8_t* data, size_t size) {
  return data && size >= kMagicBytes && std::memcmp(data, kMagicV12, kMagicBytes) == 0;
}

int ReadHoleHeaderV1(const uint8_t* data, size_t size) { return readHeader(data, size, false); }
int ReadHoleHeaderV12(const uint8_t* data, size_t size) { return readHeader(data, size, true); }

namespace {
// Frees the grid on every way out of a load that did not finish, so a damaged hole holds no memory.
class TerrainOnFailure {
 public:
  ~TerrainOnFailure() {
    if (!kept_) FreeHoleTerrain();
  }
  void keep() { kept_ = true; }

 private:
  bool kept_ = false;
};
}  // namespace

int LoadHoleData(const std::string& fileName) {
  const size_t slash = fileName.find_last_of("/\\");
  const size_t point = fileName.rfind('.');
  if (point == std::string::npos || (slash != std::string::npos && point < slash)) return kHoleNoExtension;
  const std::string base = fileName.substr(0, point);
  // The hole's own archive, else the course archive that holds its files (when they are not loose).
  std::string archivePath = base + ".viv";
  if (GetFileAttributesA(archivePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const std::string courseArchive = CourseArchiveHolding(base + ".MIS");
    if (!courseArchive.empty()) archivePath = courseArchive;
  }
  ArchiveScope archive(archivePath);

  TerrainOnFailure guard;
  try {
    int result;
    std::vector<uint8_t> heights, cells;
    {
      std::vector<uint8_t> mis;
      if (!BigFileLoadBytesUnpacked(nullptr, (base + ".MIS").c_str(), mis)) return kHoleFileError;
      const bool v11 = CheckHoleDataMagic(mis.data(), mis.size());
      if (!v11 && !IsHoleDataV12(mis.data(), mis.size())) return kHoleBadMagic;
      if (!loadBlock(base + ".QZH", 0, heights) || !loadBlock(base + ".QF1", 0, cells) ||
          !headerFitsFiles(mis, heights.size(), cells.size()))
        return kHoleFileError;
      result = v11 ? ReadHoleHeaderV1(mis.data(), mis.size()) : ReadHoleHeaderV12(mis.data(), mis.size());
    }
    if (result != kHoleOk) return result;

    TerrainGrid& g = CurrentTerrain();
    if (!fillHeights(heights)) return kHoleFileError;
    heights = {};
    std::copy(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(g.cellCount() * kCellBytes), g.cells.begin());
    cells = {};
    if (hasLinkCycle(g)) {
      std::fprintf(stderr, "hole %s: its object links run in a circle\n", base.c_str());
      return kHoleFileError;
    }
    harvestMarkers();
    if (g_firstStep) g_firstStep();
    if ((Facts().hardwareDisplay != 0)) computeWaterLevel();
    else g_waterLevel = 0.0f, g_lowLand = false;

    static const char* const kLevelFiles[3] = {".QF2", ".QF4", ".QF8"};
    for (int l = 0; l < 3; ++l) {
      const uint32_t s = 2u << l;
      const size_t need = static_cast<size_t>(TerrainLevelSize(g.width, s)) * TerrainLevelSize(g.depth, s) * kCellBytes;
      if (!loadBlock(base + kLevelFiles[l], need, g.levelCells[l])) return kHoleFileError;
    }

    HoleRecord& r = g_record;
    if (showsAllTeeSets()) {
      for (uint32_t cell : r.teeStart)
        if (cell != 0) TerrainCell(cell)[3] = kTeeObject;
    } else {
      for (uint32_t cell : r.teeStart)
        if (cell != 0) TerrainCell(cell)[3] = 0;
      const int selected = selectedTeeSet();
      if (selected >= 0 && selected < 4 && r.teeStart[selected] != 0) TerrainCell(r.teeStart[selected])[3] = kTeeObject;
    }

    if (!loadBlock(base + ".QMD", 0, g.detailTiles)) return kHoleFileError;
    if (!loadBlock(base + ".QMT", 0, g.maskPairs)) return kHoleFileError;
    if (!loadBlock(base + ".QMB", 0, g.runMasks)) return kHoleFileError;
    if (!loadBlock(base + ".QM2", 0, g.rendererBlock)) return kHoleFileError;
    const int scene = LoadHoleSceneData(base);
    if (scene != kHoleOk) return scene;
  } catch (const std::bad_alloc&) {
    return kHoleFileError;
  }
  guard.keep();
  archive.close();
  return g_finalStep ? g_finalStep() : kHoleOk;
}

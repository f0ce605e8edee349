#include "course/scenedata.h"

#include <algorithm>
#include <new>

#include "course/holedata.h"
#include "course/terrain.h"
#include "platformlib/shapes/shapes.h"

int32_t CourseImage::width() const { return shape.size() >= 16 ? shapewidth(shape.data()) : 0; }
int32_t CourseImage::height() const { return shape.size() >= 16 ? shapeheight(shape.data()) : 0; }

CourseSceneData& CurrentCourseScene() {
  static CourseSceneData course;
  return course;
}

HoleSceneData& CurrentHoleScene() {
  static HoleSceneData hole;
  return hole;
}

uint32_t ObjectLineNumber(int octant, uint32_t x, uint32_t z, uint32_t width, uint32_t depth) {
  const uint32_t rx = width - 1 - x, rz = depth - 1 - z;
  switch (octant & 7) {
    case 0: return z;
    case 1: return rx + z;
    case 2: return rx;
    case 3: return rx + rz;
    case 4: return rz;
    case 5: return x + rz;
    case 6: return x;
    default: return x + z;
  }
}

namespace {

// Octants 2 and 6 walk columns of constant x along z; the others compare by column.
bool AlongIsRow(int octant) { return octant == 2 || octant == 6; }
// Walking direction of the position along the line: increasing for 0, 1, 7 (columns) and 2 (rows).
bool Increasing(int octant) { return octant == 0 || octant == 1 || octant == 7 || octant == 2; }

struct Placed {
  uint32_t x, z, kind;
};

void BuildTable(int octant, const std::vector<Placed>& objects, uint32_t width, uint32_t depth, ObjectLineTable& t) {
  const uint32_t lines = width + depth - 1;
  std::vector<uint32_t> counts(lines + 1, 0);
  for (const Placed& p : objects) ++counts[ObjectLineNumber(octant, p.x, p.z, width, depth) + 1];
  for (uint32_t n = 1; n <= lines; ++n) counts[n] += counts[n - 1];
  t.lineStart = counts;
  t.entries.assign(objects.size(), {});
  std::vector<uint32_t> next(counts.begin(), counts.end() - 1);
  const bool byRow = AlongIsRow(octant);
  for (const Placed& p : objects) {
    const uint32_t line = ObjectLineNumber(octant, p.x, p.z, width, depth);
    ObjectLineEntry& e = t.entries[next[line]++];
    e.along = static_cast<uint16_t>(byRow ? p.z : p.x);
    e.across = static_cast<uint16_t>(byRow ? p.x : p.z);
    e.kind = p.kind;
  }
  const bool up = Increasing(octant);
  for (uint32_t n = 0; n < lines; ++n)
    std::stable_sort(t.entries.begin() + t.lineStart[n], t.entries.begin() + t.lineStart[n + 1],
                     [up](const ObjectLineEntry& a, const ObjectLineEntry& b) {
                       return up ? a.along < b.along : a.along > b.along;
                     });
}

}  // namespace

int BuildHolePreprocessing(HoleSceneData& hole) {
  const TerrainGrid& g = CurrentTerrain();
  for (ObjectLineTable& t : hole.objectLines) t = {};
  hole.coarseDetailTiles.clear();
  if (g.width == 0 || g.depth == 0 || g.width > 0xFFFF || g.depth > 0xFFFF) return kHoleOk;
  try {
    const std::vector<ObjectType>& types = CurrentCourseScene().objectTypes;
    std::vector<Placed> objects;
    for (uint32_t z = 0; z < g.depth; ++z)
      for (uint32_t x = 0; x < g.width; ++x) {
        const uint8_t code = g.cells[(static_cast<size_t>(z) * g.width + x) * kCellBytes + 3];
        if (code == 0 || (code & 0x80) || code >= types.size() || !types[code].present) continue;
        objects.push_back({x, z, code});
      }
    // The pins stand in their cells as pin codes; the scene draws them with the pin's type.
    if (types.size() > kPinObjectType && types[kPinObjectType].present)
      for (uint32_t cell : CurrentHoleRecord().pins)
        if (cell != 0 && cell < g.cellCount()) objects.push_back({cell % g.width, cell / g.width, kPinObjectType});
    for (int o = 0; o < 8; ++o) BuildTable(o, objects, g.width, g.depth, hole.objectLines[static_cast<size_t>(o)]);

    hole.coarseDetailTiles = g.detailTiles;
    for (size_t at = 0; at + kDetailTileBytes <= hole.coarseDetailTiles.size(); at += kDetailTileBytes) {
      uint8_t* offset = &hole.coarseDetailTiles[at + 4];
      const bool wholeQuad = offset[0] == 0xFF && offset[1] == 0xFF && offset[2] == 0xFF && offset[3] == 0xFF;
      if (!wholeQuad) std::fill(offset, offset + 4, 0);
    }
  } catch (const std::bad_alloc&) {
    for (ObjectLineTable& t : hole.objectLines) t = {};
    hole.coarseDetailTiles.clear();
    return kHoleFileError;
  }
  return kHoleOk;
}

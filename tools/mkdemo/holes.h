// The demo courses' holes: terrain from seeded noise with tees, fairway, rough, bunkers, water, green and pins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datapack/datapack.h"
#include "holewriter.h"

namespace mkdemo {

enum class Water { None, Side, FrontOfGreen, Creek, BesideGreen, Lake };

// One hole as designed: par, length from the back tee to the centre of the green along the line of play
// (yards, one grid cell a yard), the lateral shift of the dogleg, water and the number of bunkers. A lake lies
// beside the far half of the fairway with trees behind it.
struct HolePlan {
  int par = 4;
  int length = 380;
  int dogleg = 0;
  Water water = Water::None;
  int bunkers = 2;
  uint32_t seed = 1;
  bool detail = false;  // detail tiles at the surfaces' borders and tree shadows
};

// A generated hole and what the score card says of it.
struct GeneratedHole {
  holewriter::HoleDescription terrain;
  int yards[4] = {};  // tee sets 0-3 (tournament, blue, white, red) to the centre of the green
};

// Surface classes (the high nibble of a cell's surface byte).
enum Surface : uint8_t {
  kFairway = 1, kSand = 2, kRough = 3, kHeavyRough = 4, kWaterSurface = 5, kTee = 6, kGreen = 7,
  kBunker = 8, kOutOfBounds = 9, kFringe = 11,
};

// Object codes written into the cells: trees, bushes and a building (the course's object table gives them shapes).
constexpr uint8_t kFirstTreeCode = 1, kTreeKinds = 6, kFirstBushCode = 7, kBushKinds = 3;
constexpr uint8_t kBuildingCode = 10;  // a hut in the heavy rough of each course hole

GeneratedHole GenerateHole(const HolePlan& plan);
GeneratedHole GenerateRange();

// The eighteen holes of SEDGEFEN.
const std::vector<HolePlan>& SedgefenPlans();

// The entries of hole `number`'s archive "HOLEnn.viv": its files named "HOLEnn.MIS" ... and the header text
// `header` as "HOLEnn.HDR". Every file but the header is stored packed under the pack code that makes it
// smallest (the game unpacks packed hole files as it loads the hole).
std::vector<datapack::BigEntry> HoleArchiveEntries(int number, const holewriter::HoleDescription& hole,
                                                   const std::string& header);

}  // namespace mkdemo

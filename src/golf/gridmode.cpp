#include "golf/gridmode.h"

#include "course/terrain.h"
#include "golf/playerinfo.h"

namespace {
constexpr uint8_t kLieTee = 6, kLieGreen = 7, kLieFringe = 11;
}

uint32_t GridModeForLie(const playerInfo_s& golfer, uint8_t surfaceByte) {
  const uint8_t lie = static_cast<uint8_t>(surfaceByte >> 4);
  if (lie == kLieGreen || lie == kLieFringe) {
    const uint32_t green = golfer.viewChoices & kGreenGridMask;
    switch (green) {
      case kGridSquare:
      case kGridCircular:
      case kGridGradient: return green;
      case kGridPuttingLines: return (golfer.flags & kPuttingLinesAllowedFlag) ? green : kGridOff;
      default: return kGridOff;
    }
  }
  return (golfer.viewChoices & kFairwayGridBit) && lie != kLieTee ? kGridSquare : kGridOff;
}

uint32_t GetGridModeForLie() {
  const playerInfo_s* golfer = ActiveGolferRecord;
  if (!golfer) return kGridOff;
  return GridModeForLie(*golfer, GetTerrainSurface(golfer->ball.position.x, golfer->ball.position.y));
}

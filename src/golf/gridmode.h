#pragma once
#include <cstdint>

struct playerInfo_s;

// The grid the view draws over the ground for a golfer's lie, from the golfer's two grid options (its view choices:
// the fairway grid in bit 4, the green grid in bits 8-11) and the putting-lines aid of its flag word.
constexpr uint32_t kGridOff = 0;
constexpr uint32_t kGridSquare = 0x100;
constexpr uint32_t kGridCircular = 0x200;
constexpr uint32_t kGridPuttingLines = 0x400;
constexpr uint32_t kGridGradient = 0x800;
constexpr uint32_t kFairwayGridBit = 0x10;
constexpr uint32_t kGreenGridMask = 0xF00;
constexpr uint32_t kPuttingLinesAllowedFlag = 0x8000;  // flag word: the golfer may use the putting lines

// The mode for `golfer` whose ball lies on `surfaceByte` (high-nibble form): on the green or fringe the green grid
// (putting lines only with the aid), elsewhere but the tee the square grid when the fairway grid is on.
uint32_t GridModeForLie(const playerInfo_s& golfer, uint8_t surfaceByte);
// The mode for the active golfer's ball; 0 without an active golfer.
uint32_t GetGridModeForLie();

// A golfer's career statistics as the sixteen lines of the statistics page: a drawn column (labels right-aligned
// against the values) for the statistics dialog, and the same lines as text for the golfer screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct playerInfo_s;

struct StatsLine {
  const char* label;
  std::string value;  // starts with ":"
};

// The heading's name and the lines of a golfer's table; the two tournament lines are left out in a network game.
std::vector<StatsLine> PlayerStatsLines(playerInfo_s& golfer, bool networkGame);

// ":" alone when the denominator is 0 or less, else ": " and the ratio in `format`.
std::string FormatStatsRatio(const char* prefix, const char* format, int64_t numerator, int64_t denominator);
// The prefix alone for 0, else "prefix value suffix".
std::string FormatStatsCount(const char* prefix, int32_t value, const char* suffix);

// "Player: name" and one line per statistic, each ending in a newline, within `size` bytes (terminated; cut at a
// whole line when the buffer is too small). Returns the length written.
size_t FormatPlayerStatsText(playerInfo_s& golfer, char* buffer, size_t size);

// Draws the column with the current font and colours at (x, y); only the alignment changes.
void DrawPlayerStatsColumn(playerInfo_s& golfer, int32_t x, int32_t y, int32_t lineHeight);
// The golfer of the current game's slot; nothing when there is none.
void FillPlayerStats(int slot, int32_t x, int32_t y, int32_t lineHeight);

// The score card of the round: the course's rows (hole numbers, the yards of each tee set, par, stroke index,
// ratings) for nine holes at a time, then a row per golfer with its strokes (or putts) or the hole results of the
// match modes, the nine-hole and round totals, the handicap and the net score to par.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "course/courseload.h"

// One golfer's row as the card reads it.
struct CardGolfer {
  bool present = false;  // takes part (in a network game: is connected)
  std::string name;
  int handicap = 0;       // 0 when none or not used
  uint32_t flags = 0;     // the golfer's flag word (0x40 out, 0x80 gone: no net score)
  uint32_t strokes[18] = {};  // as the score table keeps them (the marker bit 0x10000000 kept)
  uint32_t putts[18] = {};
  // Match and skins modes: per hole 1 won by this golfer's side, 0 not, -1 nothing to show.
  int8_t holeWon[18] = {};
  std::string standing;   // match modes: "E", "2-UP", "1-DN"
  uint32_t skins = 0;     // skins mode: skins won
};

struct CardInput {
  CourseCard course;
  int mode = 0;
  bool frontNine = true;
  bool puttsView = false;
  int firstHole = 0;  // the golfer cells' range: the round's first hole to the current one (0-17)
  int lastHole = 0;
  CardGolfer golfers[4];
};

// A text of the card: its row (0 "Hole" ... 11 "Rating"), its column (-1 the row titles, 0-8 the hole columns,
// 9-12 the total columns OUT/IN, TOT, HDP, NET) and colour (0x00RRGGBB). Handicap stars stand at their cell's
// upper left (`star`).
struct CardText {
  int row = 0;
  int column = -1;
  std::string text;
  uint32_t colour = 0xFFFFFF;
  bool star = false;
};

// The texts of the card. `fits(name)` tells whether a golfer's name fits left of the hole columns (the name is
// shortened a character at a time until it does); null: every name fits.
std::vector<CardText> BuildScoreCard(const CardInput& in, const std::function<bool(const std::string&)>& fits = {});

// Pixel layout for a display-size index (0-4): column x from the card's left, row height.
int32_t CardColumnX(int column, int sizeIndex);
int32_t CardRowHeight(int sizeIndex);
// The y of the first golfer row below the card's top.
int32_t GetScorecardRowY(int sizeIndex);

// The card of the current game (the current course's record, the game's golfers and their scores).
CardInput CurrentScoreCard(bool frontNine, bool puttsView);
// Draws the card into the drawn image with its top left at (x, y), in the card font (loaded once from the fonts
// folder). The card's area is marked for the screen.
void DrawScorecard(const CardInput& in, int32_t x, int32_t y);
// Size of the card for the display size, as DrawScorecard covers it.
int32_t CardWidth(int sizeIndex);
constexpr uint32_t kScoreCardFill = 0x0C3A1C;  // the card's ground colour
int32_t CardHeight(int sizeIndex);
// The card on a page of its own over the screen, until a key or a mouse button; the screen under it comes back.
// `frontNine` -1 picks the nine of the current hole.
void ShowScoreCardPage(int frontNine);
void FreeScoreCardFont();

// The sum of `count` values (0 for a negative count).
int32_t SumValues(const int32_t* values, int count);

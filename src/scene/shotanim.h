// The scene's animations of a shot in the round: the movies they play (the golfer's swing and putt, the seven flag
// cloths, divot, sand and splash) loaded from the installation's animation folders, the golfers' own ball and
// swing animations, and the start of a shot's animations over the view drawn from where it was played.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/shapemovie.h"

class TPlayer;
class TBallAnimation;
class TGolferAnimation;

// A swing movie's row of the golfer's table: impact and hold frames and the figure height (16.16 pixels, the
// picture's height for 2.0 world units halved).
struct SwingTableRow {
  std::string movie;
  int32_t impact = 1, hold = 0, figureHeight = 0x300000;
};
// Reads the table's text: "movie impact hold height" a line, '#' comments; bad lines are skipped. Rows for
// "full" and "putt" are the first and second.
bool ParseSwingTable(const char* text, size_t length, SwingTableRow rows[2]);

struct SceneMovies {
  TShapeMovie flags[7];
  TShapeMovie ground[3];  // divot, sand, splash
  TShapeMovie swing[2];   // full swing, putt
  SwingTableRow table[2];
  std::string loadedFrom;
};
SceneMovies& Movies();
// Loads the movies from the DATA folder when not loaded from it yet.
void LoadSceneMovies(const char* dataFolder);

// The golfer's ball and swing (made on first use, kept in the golfer record).
TBallAnimation& GolferBall(TPlayer& golfer);
TGolferAnimation& GolferSwing(TPlayer& golfer);

// Starts the animations of the active golfer's recorded shot in the main view; false without a game, a golfer,
// a recording or a picture to draw on.
bool StartShotAnimationsNow();
// Points the animations at the display's picture, its clean copy and the view's depth values.
void UpdateAnimationSurfaces();

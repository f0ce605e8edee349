// The scene's animations of a shot in the round: the movies they play (the golfer's swing and putt, the seven flag
// cloths, divot, sand and splash) loaded from the installation's animation folders, the golfers' own ball and
// swing animations, and the start of a shot's animations over the view drawn from where it was played.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/shapemovie.h"

#include "course/vector3.h"

class TPlayer;
class TGolfView;
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
  TStreamedShapeMove swing[2];  // full swing, putt: read as their frames are needed
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

// What a shot's animations start from: the view, the ball at rest where the shot is played and its lie, the golfer
// (its slot, ball and swing animations, a putt or a full swing), the pin's top and the wind.
struct ShotAnimationStart {
  TGolfView* view = nullptr;
  Vector3 from{};
  uint8_t lie = 0;
  bool putt = false;
  uint32_t shotType = 0;
  bool onCharge = false;  // the golfer's animation flag: the longer streak
  int golferSlot = 0;
  Vector3 pinTop{};
  // The game shows the green caddie: it attends the pin, standing at `pin`, while the ball lies on the green.
  bool caddie = false;
  Vector3 pin{};
  uint16_t windHeading = 0;
  int windSpeed = 0;
  TBallAnimation* ball = nullptr;
  TGolferAnimation* swing = nullptr;
  bool overheadShown = false;  // the golfer's Overhead option: the overhead view takes its ball marker
};
// The flag, the golfer's swing (the ball leaving at its impact, with a divot off the fairway or the rough) over the
// recorded shot that the round's replay serves; the movies must be loaded (LoadSceneMovies).
void StartShotAnimations(const ShotAnimationStart& start);
// While the round's shot animates (the swing, the ball's flight): where it was played from. The golfer's ball state
// already holds where the flight ends, so the main view stays with the shot from here until it is over.
bool ShotAnimationsFrom(Vector3* from);

// What a shot's camera starts from, besides the recording the round's replay serves: where the shot is played, the
// points it aims at, its launch and club, the golfer's view options and the screen it is drawn on.
struct ShotCameraStart {
  Vector3 from{}, aim{}, goal{};
  float launchSpeed = 0.0f;
  bool putter = false, special = false, hardware = false;
  uint32_t viewChoices = 0;
  int32_t screenWidth = 640, screenHeight = 480;
  TBallAnimation* ball = nullptr;  // the ball the camera follows
};
class TMountedMovingCamera;
// Chooses the shot's camera from the golfer's view options and puts it on the animation list (after the shot's
// other animations); null when none runs. The camera draws through the round's display unless CameraViewPainter
// is set again after this.
TMountedMovingCamera* StartShotCamera(const ShotCameraStart& start);
// Points the animations at the display's picture, its clean copy and the view's depth values.
void UpdateAnimationSurfaces();

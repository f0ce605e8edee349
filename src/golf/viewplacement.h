// Where the game wants the main golf view for a shot: the scene draws from it.
#pragma once
#include <cstdint>

#include "course/vector3.h"

struct GolfViewPlacement {
  Vector3 viewPoint{};    // where the golfer stands: the ball of the golfer to play
  Vector3 target{};       // what the golfer looks at: the shot's target point
  int32_t heading = 0;    // HeadingBetweenPoints(viewPoint, target)
  float sideOffset = 0;   // the camera offsets kept for this machine's golfer; 1,000,000 in both: random
  float backOffset = 0;
  bool keepCamera = false;  // the camera stays where it is (only the placement is refreshed)
  bool redraw = false;      // the views are drawn again at once (the targeting arc was changed)
};

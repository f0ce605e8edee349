// The round's 3D view behind the in-round controls: the scene's golf view when it can draw one, else a flat
// view (sky and ground fills split at the horizon, the pin and the ball as dots) through the same camera.
#pragma once

#include "course/vector3.h"

// Places the main golf view behind the ball, facing the aim point.
void SetUpShotView(const Vector3& ball, const Vector3& aim);
// Draws the view onto the screen image and keeps it as the clean background the controls are erased to.
void DrawRoundView();

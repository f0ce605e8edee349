// The round's 3D view behind the in-round controls: the scene's golf view when it can draw one, else a flat
// view (sky and ground fills split at the horizon, the pin and the ball as dots) through the same camera.
#pragma once

#include "course/vector3.h"
#include "framework/core/utils.h"

// Places the main golf view behind the ball, facing the aim point.
void SetUpShotView(const Vector3& ball, const Vector3& aim);
// Draws the view onto the screen image and keeps it as the clean background the controls are erased to.
void DrawRoundView();
// The view from where a shot was played (the ball put back there while it is drawn), kept as the background.
void DrawShotStartView(const Vector3& from);
// One frame of a replay: the ball drawn at `ball`. The first frame (no `previous`) draws the view from where the
// shot was played (`from`) and keeps it as the background; later ones only move the ball, restoring the area the
// previous frame drew it in. The area drawn (empty when the ball is out of sight).
MARect DrawReplayBall(const Vector3& ball, const Vector3& from, const MARect* previous);

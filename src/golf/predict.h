#pragma once
#include <cstdint>

#include "golf/ballstate.h"

// The outcome of a shot before it is played: a copy of the ball is launched and stepped to rest. The live
// ball and the values of the shot in hand (launch speed, aim distance, target) are left as they were.

struct ShotPredictionInfo {
  uint8_t waterInPlay = 0;    // the predicted flight passes over or ends in water
  int result = 0;             // the risk of the shot, 1 (safe) .. 15
  Vector3 landingPosition{};  // first contact with the ground
  Vector3 finalPosition{};    // where the ball stops
  uint8_t finalSurface = 0;
  uint8_t holed = 0;
};
extern ShotPredictionInfo ShotPrediction;
extern int ShotRiskValue;  // the risk of the last prediction

constexpr float kPredictStepSeconds = 0.025f;

// Predicts the shot of the active golfer's club from the ball with this power, curve and trajectory
// adjustment. Returns the risk (0 with no ball, nothing changed then).
int PredictShot(float power, float curve, float trajectory, const BallState* ball);

#include "golf/predict.h"

#include <algorithm>

#include "golf/ballflight.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"

ShotPredictionInfo ShotPrediction;
int ShotRiskValue = 1;

namespace {

// Risk of where the ball ends, by surface class.
int lieRisk(uint8_t surface) {
  switch (surface >> 4) {
    case 7: return 1;
    case 11: return 2;
    case 1:
    case 6: return 3;
    case 3: return 5;
    case 4: return 7;
    case 2: return 8;
    case 5: return 12;
    case 9: return 13;
    default: return 6;
  }
}

}  // namespace

int PredictShot(float power, float curve, float trajectory, const BallState* ball) {
  if (!ball) return 0;
  BallState copy = *ball;
  {
    ShotValuesKept kept;
    BallLaunchTrial(&copy, power, curve, trajectory);
  }
  BallFlightStart(&copy);
  BallRunShot(&copy, kPredictStepSeconds, false);

  ShotPredictionInfo info;
  info.finalPosition = copy.position;
  info.finalSurface = copy.restSurface;
  info.landingPosition = copy.Flag(kBallFlagStepCount) ? copy.stepList[0].position : copy.position;
  info.holed = copy.Flag(kBallFlagHoled);
  info.waterInPlay = copy.Flag(kBallFlagOverWater) || copy.Flag(kBallFlagWater);
  int risk = info.holed ? 1 : lieRisk(copy.Flag(kBallFlagWater) ? static_cast<uint8_t>(0x50) : copy.restSurface);
  if (copy.Flag(kBallFlagOutOfBounds)) risk = lieRisk(0x90);
  if (info.waterInPlay && !copy.Flag(kBallFlagWater)) risk += 2;
  const playerInfo_s* g = ActiveGolferRecord;
  const int club = g ? std::min<int>(g->currentClub, 20) : 0;
  risk += GetClubLaunchData(club, g ? static_cast<int>(g->shotType) : 0).group;
  info.result = std::clamp(risk, 1, 15);
  ShotPrediction = info;
  ShotRiskValue = info.result;
  return info.result;
}

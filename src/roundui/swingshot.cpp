// The swing's readings become the launch: the accuracy curves the shot, a poor swing may mishit, and the
// launch direction turns by the accuracy error.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/core/services.h"
#include "golf/ballstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "roundui/clubs.h"
#include "roundui/powermeter.h"

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kT1[3] = {2.0f, 1.5f, 1.0f};
constexpr float kT2[3] = {0.75f, 0.6f, 0.4f};
constexpr float kT3[3] = {0.3f, 0.2f, 0.15f};
constexpr float kAccuracyScale[3] = {1.0f, 0.8f, 0.5f};

int R() { return Svc().scene->Random15(); }

}  // namespace

void ComputeShotFromSwing(TPowerMeterUI* meter, BallState* ball, playerInfo_s* golfer, const Vector3& eye) {
  if (!meter || !ball || !golfer) return;
  const int club = std::min<int>(golfer->currentClub, clubs::kPutter);
  const bool putter = club == clubs::kPutter;
  const bool human = !meter->computer;
  const int setting = std::clamp(meter->distanceSetting, 0, 2);
  meter->mishit = 0;
  const float allowance = meter->Allowance();
  const int32_t powerMark = std::clamp(meter->powerMark == kMeterNone ? 0 : meter->powerMark, 0, kMeterTop);
  const int32_t accuracyMark = meter->accuracyMark == kMeterNone ? 0 : meter->accuracyMark;
  float p = meter->MeterPosToPower(powerMark);
  const float over = (p - 1.0f) / allowance;
  float cv = meter->curve;
  float a = static_cast<float>(std::abs(accuracyMark)) / 6553.0f;
  meter->accuracyError = a;
  if (over > 0.0f) a = over * 1.5f * a;
  if (!putter) a = a * static_cast<float>(4 * ShotRiskValue + 8) * 0.0625f;
  a *= kAccuracyScale[setting];
  const float k = ShotCurveScale * 0.5f;
  const float d = a * k;
  cv = accuracyMark >= 0 ? cv + d : cv - d;
  meter->shotFactorA = meter->shotFactorB = 1.0f;
  ball->shotShapeSign = 0;
  const bool coin = (R() & 1) == 0;
  const uint8_t surface = static_cast<uint8_t>((ball->lie & 0x0F) << 4);
  int32_t e = 0;
  if (human && !putter) {
    e = std::min(std::abs(accuracyMark), kMeterWindow);
    float spin = static_cast<float>(e) / 6553.0f;
    if (over > 0.1f && e > 0x38E && R() % 100 < static_cast<int>(spin * 100.0f) + 20) {
      meter->mishit = 1;
      const int m = (e * 50) / kMeterWindow;
      if (R() % 100 < m) {
        e += (6 + R() % 12) * kMeterDegree;
        spin = static_cast<float>(e) / 6553.0f;
      }
      BallClubLaunchParams(surface, ball->lieDetail, club, p, nullptr, nullptr, &spin, nullptr, nullptr, nullptr,
                           nullptr, nullptr);
      if (coin) {
        ball->shotShapeSign = 1;
        meter->shotFactorB += spin * kT1[setting];
        meter->shotFactorA -= spin * kT2[setting];
      } else {
        ball->shotShapeSign = -1;
        meter->shotFactorB -= spin * kT2[setting];
        meter->shotFactorA += spin * kT3[setting];
      }
    }
    if (((over > 0.1f && e > 0x38E) || a > 0.4f) &&
        R() % 100 < static_cast<int>(meter->accuracyError * 50.0f) + static_cast<int>(over * 20.0f) + 20) {
      meter->mishit = 1;
      p = p * static_cast<float>(80 + R() % 12 + R() % 12) / 100.0f;
      const int x = R() % 111 + R() % 111 - 20;
      if (x > 0) a += static_cast<float>(x) / 100.0f;
      int y = R() % 36 + R() % 36 - 10;
      if (y > 0) {
        if (accuracyMark < 0) y = -y;
        cv += static_cast<float>(y) * ShotCurveScale / 100.0f;
      }
    }
  }
  if (std::abs(accuracyMark) > 0x1332) meter->mishit = 1;
  float o = 0.0f;
  BallClubLaunchParams(surface, ball->lieDetail, club, p, nullptr, nullptr, &o, nullptr, nullptr, nullptr, nullptr,
                       nullptr);
  meter->finalPower = p;
  meter->finalCurve = cv;

  // The golf library's launch reads the meter's values.
  ShotMeter.power = meter->power;
  ShotMeter.curve = meter->curve;
  ShotMeter.trajectory = meter->trajectory;
  ShotMeter.finalPower = p;
  ShotMeter.finalCurve = cv;
  ShotMeter.accuracyError = meter->accuracyError;
  ShotMeter.shotFactorA = meter->shotFactorA;
  ShotMeter.shotFactorB = meter->shotFactorB;
  BallLaunch(ball, 0, 1, 0, 0.0f);

  const float dx = ShotTargetPoint.x - eye.x, dy = ShotTargetPoint.y - eye.y, dz = ShotTargetPoint.z - eye.z;
  const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
  const float g = distance > 50.0f ? 0.0872665f * 80.0f / distance : 0.0872665f;
  const float sign = accuracyMark < 0 ? -1.0f : 1.0f;
  if (putter)
    a *= 1.5f;
  else if (setting == 1)
    a *= 0.85f;
  else if (setting == 2)
    a *= 0.7f;
  const Vector3 v = ball->velocity;
  const float h = std::sqrt(v.x * v.x + v.y * v.y);
  // Headings as the launch's angle helpers count them: 0 along +y, a quarter turn along +x.
  float heading = h > 0.0f ? std::atan2(v.x, v.y) : 0.0f;
  heading = NormalizeAngle(heading + sign * a * g + o);
  const Vector3 turned{std::sin(heading) * h, std::cos(heading) * h, v.z};
  BallSetLaunchVelocity(ball, turned);
}

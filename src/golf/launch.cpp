#include "golf/launch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "framework/core/services.h"
#include "golf/ballmath.h"
#include "golf/playerinfo.h"

using namespace ballmath;

float BallLaunchSpeed = 0.0f;
float AimDistance = 0.0f;
Vector3 ShotAimPoint{};
Vector3 ShotTargetPoint{};
const float ShotCurveScale = 50.0f;
bool GuideSwitch = false;
bool ComputerChoiceSwitch = false;
bool AutoClubEnabled = true;
ShotMeterValues ShotMeter;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kDegToRad = 0.017453292f;
constexpr float kSteepLow = 1.5393804f;
constexpr float kSteepHigh = 1.6022123f;
// Side spin at the largest curve, as a share of the backspin.
constexpr float kCurveSpinShare = 0.3f;

// The full shots of clubs 0..19: reach (yards carried at full power on flat ground in still air), launch
// angle (degrees), backspin (rpm), launch speed (yd/s) and the prediction's risk group. The speeds were found
// by flying each launch through the flight step until it carried its reach (clubs 8 and 9 share a reach:
// 182.5 and 179.5 yd, so carries still fall from club to club); angles and spins give apexes of 22 to 31 yd
// and landings from 28 degrees (driver) to 45 and more (wedges), as steep as the flight's drag lets them.
struct FullShot {
  int16_t reach;
  float angle;
  int16_t spin;
  float speed;
  int8_t group;
};
constexpr FullShot kFullShots[20] = {
    {250, 19.2f, 2900, 63.35f, 2},  {242, 20.2f, 3300, 60.99f, 2}, {233, 21.3f, 3700, 58.65f, 2},
    {223, 22.7f, 4100, 56.16f, 2},  {204, 25.3f, 4500, 52.16f, 2}, {195, 26.8f, 4900, 50.23f, 2},
    {193, 27.3f, 5300, 49.54f, 2},  {189, 27.8f, 5700, 48.59f, 1}, {181, 28.7f, 6100, 47.29f, 1},
    {181, 29.0f, 6500, 46.65f, 0},  {169, 30.7f, 6900, 44.75f, 0}, {157, 32.4f, 7300, 42.77f, 0},
    {155, 32.3f, 7700, 42.31f, 0},  {147, 33.4f, 8100, 41.01f, -2}, {129, 36.4f, 8500, 38.14f, -2},
    {121, 37.5f, 8900, 36.76f, -2}, {103, 40.9f, 9300, 33.86f, -2}, {84, 45.3f, 9700, 30.85f, -2},
    {75, 47.6f, 10100, 29.31f, -2}, {56, 54.7f, 10500, 26.45f, -2},
};

// The short-game shot types 4, 5 and 6 (chips, pitches, bumps): reach, shown angle, speed, group. Their
// launch angle is 0.8 of the shown one and their spin follows the shown angle.
struct Row {
  int16_t reach;
  int16_t angle;
  float speed;
  int8_t group;
};
constexpr Row kPutter{53, 1, 13.7f, 0};
constexpr Row kSets[3][20] = {
    {{36, 12, 31.5f, 6}, {36, 12, 31.5f, 6}, {36, 12, 31.5f, 5}, {36, 12, 31.5f, 5}, {38, 13, 31.2f, 3},
     {40, 15, 30.1f, 2}, {40, 14, 31.0f, 4}, {42, 16, 29.8f, 2}, {45, 18, 29.4f, 1}, {43, 17, 29.5f, 1},
     {47, 19, 29.5f, 0}, {47, 20, 28.8f, 1}, {49, 22, 28.4f, 0}, {49, 23, 27.9f, -2}, {50, 24, 27.8f, -2},
     {52, 25, 27.9f, -2}, {53, 26, 27.6f, -3}, {53, 27, 27.5f, -3}, {55, 28, 27.6f, -2}, {57, 29, 27.8f, -2}},
    {{7, 9, 16.0f, 3}, {7, 9, 16.0f, 3}, {7, 9, 16.0f, 3}, {7, 9, 16.0f, 3}, {9, 10, 17.0f, 1},
     {9, 10, 17.0f, 1}, {9, 10, 17.0f, 1}, {9, 10, 17.0f, 1}, {10, 11, 17.2f, 1}, {10, 11, 17.2f, 1},
     {14, 12, 17.0f, 0}, {14, 12, 17.0f, 0}, {15, 14, 18.7f, 0}, {17, 16, 17.5f, -2}, {21, 18, 20.0f, -2},
     {22, 19, 20.0f, -2}, {25, 25, 19.0f, -2}, {25, 25, 19.0f, -2}, {27, 29, 18.8f, -2}, {27, 29, 18.8f, -2}},
    {{3, 6, 12.8f, 3}, {3, 6, 12.8f, 3}, {3, 7, 12.33f, 2}, {3, 7, 12.33f, 2}, {4, 8, 12.18f, 1},
     {4, 9, 12.13f, 0}, {4, 8, 12.18f, 2}, {4, 10, 12.0f, -1}, {5, 11, 12.05f, -1}, {4, 10, 12.0f, 0},
     {5, 12, 12.0f, 0}, {5, 11, 12.05f, 0}, {6, 13, 12.0f, 0}, {6, 14, 11.8f, 1}, {7, 15, 12.0f, 1},
     {7, 16, 12.2f, 2}, {8, 18, 12.3f, 3}, {9, 19, 12.55f, 3}, {9, 20, 12.7f, 3}, {10, 22, 12.74f, 4}},
};

// Putting: distance to the aim in feet, the first limit not below it gives the speed of a full putt.
constexpr int kPuttLimits[6] = {4, 8, 20, 40, 80, 160};
constexpr float kPuttSpeeds[6] = {2.076f, 2.96f, 4.66f, 6.63f, 9.49f, 13.8f};

int puttRow(float aimYards) {
  const float feet = aimYards * 3.0f;
  for (int i = 0; i < 6; ++i)
    if (static_cast<float>(kPuttLimits[i]) >= feet) return i;
  return 5;
}

ClubLaunchData builtIn(int club, int shotType) {
  club = std::clamp(club, 0, 20);
  if (club < 20 && !(shotType >= 4 && shotType <= 6)) {
    const FullShot& f = kFullShots[club];
    return ClubLaunchData{f.reach, f.angle, f.speed, f.group, f.spin};
  }
  const Row& r = club == 20 ? kPutter : kSets[shotType - 4][club];
  const float a = static_cast<float>(r.angle);
  const int spin = club == 20 ? 0 : static_cast<int>(std::max(2700.0f + (a - 10.0f) * 310.0f, 1000.0f));
  return ClubLaunchData{r.reach, a * 0.8f, r.speed, r.group, spin};
}

ClubLaunchSource g_clubSource = nullptr;

// The lie table. Class 0 detail 0 is the default for classes without a row.
constexpr LieLaunchRecord kLies[] = {
    {0, 0, 0.95f, 0.9f, 1.0f, 1.0f, 0.8f, 1.0f},   // other ground
    {1, 0, 1.0f, 1.0f, 1.0f, 1.0f, 0.3f, 1.0f},    // fairway
    {2, 0, 0.8f, 0.8f, 0.5f, 0.5f, 1.5f, 1.1f},    // sand
    {2, 1, 0.6f, 0.4f, 0.3f, 0.3f, 2.5f, 1.2f},    // buried in sand
    {3, 0, 0.9f, 0.7f, 0.8f, 0.8f, 1.0f, 0.9f},    // rough
    {4, 0, 0.75f, 0.5f, 0.6f, 0.6f, 1.5f, 0.8f},   // heavy rough
    {6, 0, 1.0f, 1.0f, 1.0f, 1.0f, 0.1f, 1.0f},    // tee
    {7, 0, 1.0f, 1.0f, 1.0f, 1.0f, 0.1f, 1.0f},    // green
    {11, 0, 1.0f, 1.0f, 1.0f, 1.0f, 0.2f, 1.0f},   // fringe
};

Random31Source g_random31 = nullptr;

float settingSpeedFactor(int setting) { return setting == 1 ? 0.94f : setting == 2 ? 0.89f : 1.0f; }
float settingDistanceFactor(int setting) { return setting == 1 ? 0.9f : setting == 2 ? 0.8f : 1.0f; }

int distanceSetting(const playerInfo_s* g) { return g ? g->levelPreset : 0; }

// Reach of a club for a golfer: the distance setting, then the club adjustment squared.
float adjustedReach(const playerInfo_s* g, int club) {
  const ClubLaunchData c = GetClubLaunchData(club, g ? static_cast<int>(g->shotType) : 0);
  float reach = static_cast<float>(c.reach);
  if (club != 20) reach = std::trunc(reach * settingDistanceFactor(distanceSetting(g)));
  float adj = 1.0f;
  BallClubAdjustment(club, &adj, 0, 0);
  return adj * adj * reach;
}

}  // namespace

ClubLaunchData GetClubLaunchData(int club, int shotType) {
  return g_clubSource ? g_clubSource(club, shotType) : builtIn(club, shotType);
}

void SetClubLaunchSource(ClubLaunchSource source) { g_clubSource = source; }

const LieLaunchRecord* ClubTableFind(uint8_t surfaceCode, uint8_t lieDetail) {
  const uint8_t cls = surfaceCode >> 4;
  const LieLaunchRecord* classRow = nullptr;
  for (const auto& r : kLies) {
    if (r.surfaceClass != cls) continue;
    if (r.lieDetail == lieDetail) return &r;
    if (r.lieDetail == 0) classRow = &r;
  }
  return classRow ? classRow : &kLies[0];
}

void SetRandom31Source(Random31Source source) { g_random31 = source; }

uint32_t Random31() {
  if (g_random31) return g_random31() & 0x7FFFFFFFu;
  return Svc().scene->Random31() & 0x7FFFFFFFu;
}

void BallClubLaunchParams(uint8_t surfaceCode, uint8_t lieDetail, int club, float power, float* curve,
                          float* trajectory, float* aimDeviation, float* speedFactor, float* spinFactor,
                          float* surfaceFactor, float* spread, float* reserved) {
  (void)club;
  (void)power;
  (void)reserved;
  const LieLaunchRecord* r = ClubTableFind(surfaceCode, lieDetail);
  if (curve) *curve *= r->curveFactor;
  if (trajectory) *trajectory *= r->trajectoryFactor;
  if (speedFactor) *speedFactor = r->speedFactor;
  if (spinFactor) *spinFactor = r->spinFactor;
  if (surfaceFactor) *surfaceFactor = r->surfaceFactor;
  if (spread) *spread = r->spread;
  if (aimDeviation && r->spread != 0.0f && !GuideSwitch && !ComputerChoiceSwitch) {
    const int32_t h = static_cast<int32_t>(std::trunc(r->spread * 100.0f)) / 2;
    if (h > 0) {
      const int32_t r1 = static_cast<int32_t>(Random31() % static_cast<uint32_t>(h));
      const int32_t r2 = static_cast<int32_t>(Random31() % static_cast<uint32_t>(h));
      float deviation = static_cast<float>(r1 + r2 - h) * 2.0f * kPi / 36000.0f;
      const int cls = surfaceCode >> 4;
      if ((cls == 3 || cls == 4) && ActiveGolferRecord && ActiveGolferRecord->option3 == 1) deviation *= 1.5f;
      *aimDeviation += deviation;
    }
  }
}

void BallClubAdjustment(int club, float* factor, int, int) {
  const playerInfo_s* g = ActiveGolferRecord;
  if (!factor || !g || club < 0 || club > 20) return;
  const float percent = static_cast<float>(g->GetClubPercent(club)) / 100.0f;
  // Distance goes with the square of speed; a higher trajectory gives up a little of it.
  *factor *= std::sqrt(percent) * (1.0f - 0.01f * static_cast<float>(g->GetClubTrajectory(club)));
}

float ClubSpinRate(int club, int shotType) {
  if (club == 20) return 0.0f;
  const ClubLaunchData c = GetClubLaunchData(club, shotType);
  // A table without spins: about 2700 rpm from 10 degrees of launch, 310 rpm more for each further degree.
  const float rpm = c.spin > 0 ? static_cast<float>(c.spin) : 2700.0f + (c.angle - 10.0f) * 310.0f;
  return std::max(rpm, 1000.0f) / 60.0f;
}

int ChooseClubForAim(const playerInfo_s* g, float distance) {
  if (!g || g->shotType == kShotTypePutt || g->bag == (1u << 20)) return 20;
  const float want = distance - 0.05f;
  int lo = -1, hi = -1;
  for (int c = 0; c < 20; ++c)
    if (g->bag & (1u << c)) {
      if (lo < 0) lo = c;
      hi = c;
    }
  if (lo < 0) return g->currentClub;
  int best = lo;
  float bestDistance = 0.0f;
  float d = adjustedReach(g, hi);
  while (hi > lo && d < want) {
    do --hi;
    while (hi > lo && !(g->bag & (1u << hi)));
    d = adjustedReach(g, hi);
    if (d > bestDistance) {
      best = hi;
      bestDistance = d;
    }
  }
  return d >= want ? hi : best;
}

void BallSetLaunchVelocity(BallState* b, const Vector3& v) {
  BallSetVelocity(b, v);
  b->velocityPrev = v;
  BallLaunchSpeed = length(v);
}

void BallLaunchVector(BallState* b, const Vector3& groundDirection, float speed, float angle, float spinRps,
                      float curve) {
  Vector3 d = unit(Vector3{groundDirection.x, groundDirection.y, 0.0f});
  if (isZero(d)) d = Vector3{0.0f, 1.0f, 0.0f};
  const Vector3 up{0.0f, 0.0f, 1.0f};
  const Vector3 v = add(scale(d, speed * std::cos(angle)), scale(up, speed * std::sin(angle)));
  BallSetLaunchVelocity(b, v);
  // Backspin about the axis across the flight; the curve tilts it (positive: the ball draws left).
  const Vector3 back = scale(cross(d, up), spinRps);
  const float side = std::clamp(curve / ShotCurveScale, -1.0f, 1.0f) * kCurveSpinShare * spinRps;
  BallSetSpin(b, add(back, scale(up, side)));
  BallSetSpinExtra(b, Vector3{});
}

void BallLaunch(BallState* b, int autoClub, int realSwing, int, float power) {
  playerInfo_s* g = ActiveGolferRecord;
  const Vector3 toAim{ShotAimPoint.x - b->position.x, ShotAimPoint.y - b->position.y, 0.0f};
  AimDistance = length(toAim);
  ShotTargetPoint = ShotAimPoint;
  b->target = ShotAimPoint;

  if (autoClub && AutoClubEnabled && g) g->SetClub(ChooseClubForAim(g, AimDistance));
  const int club = g ? std::min<int>(g->currentClub, 20) : 0;
  const int shotType = g ? static_cast<int>(g->shotType) : 0;
  const ClubLaunchData c = GetClubLaunchData(club, shotType);

  float curve = realSwing ? ShotMeter.finalCurve : ShotMeter.curve;
  float trajectory = ShotMeter.trajectory;
  float speedF = 1.0f, spinF = 1.0f, surfaceF = 1.0f;
  const uint8_t surface = static_cast<uint8_t>((b->lie & 0x0F) << 4);
  BallClubLaunchParams(surface, b->lieDetail, club, 1.0f, &curve, &trajectory, nullptr, &speedF, &spinF,
                       &surfaceF, nullptr, nullptr);

  float base;
  float fullReach;
  if (club == 20) {
    const int row = puttRow(AimDistance);
    base = kPuttSpeeds[row];
    fullReach = static_cast<float>(kPuttLimits[row]) / 3.0f;
    speedF = 1.0f;  // a putt is judged for the distance as it lies
  } else {
    float adj = 1.0f;
    BallClubAdjustment(club, &adj, 0, 0);
    base = c.speed * settingSpeedFactor(distanceSetting(g)) * (1.0f - (trajectory / 50.0f) * 0.2f) * adj;
    fullReach = adjustedReach(g, club);
  }
  float p;
  if (realSwing) {
    p = ShotMeter.finalPower;
  } else if (power != 0.0f) {
    p = power;
  } else {
    p = fullReach > 0.0f ? std::sqrt(std::clamp(AimDistance / fullReach, 0.0f, 1.0f)) : 0.0f;
  }
  p = std::max(p, 0.0f);

  const float speed = base * p * ShotMeter.shotFactorA * speedF;
  const float a = c.angle;
  float angle = (a + (trajectory * p * a / 50.0f) * surfaceF) * kDegToRad * ShotMeter.shotFactorB;
  if (angle > kSteepLow && angle < kSteepHigh) angle = kSteepLow;
  // A putt leaves the face rolling: its spin is the natural roll of its speed.
  const float spin = club == 20 ? -speed * std::cos(angle) / (2.0f * kPi * kBallRadius)
                                : ClubSpinRate(club, shotType) * std::min(p, 1.2f) * spinF;
  BallLaunchVector(b, toAim, speed, angle, spin, curve);
}

Vector3 AimDirectionFromAngle(uint16_t angle) {
  const float r = static_cast<float>(angle) * (2.0f * kPi / 65536.0f);
  return Vector3{std::sin(r), std::cos(r), 0.0f};
}

float NormalizeAngle(float radians) {
  const float turn = 2.0f * kPi;
  float r = std::fmod(radians, turn);
  if (r < 0.0f) r += turn;
  if (r >= turn) r -= turn;
  return r;
}

ClubLaunchData GetClubRecord(int club, int shotType, bool unscaled) {
  ClubLaunchData c = GetClubLaunchData(club, shotType);
  const playerInfo_s* g = ActiveGolferRecord;
  if (!unscaled && g && club >= 0 && club <= 20)
    c.reach = static_cast<int>(static_cast<int64_t>(c.reach) * g->GetClubPercent(club) / 100);
  return c;
}

int ScaleClubDistance(int distance, int shaft) {
  switch (shaft) {
    case 1: return static_cast<int>(static_cast<float>(distance) * 0.9f);
    case 2: return static_cast<int>(static_cast<float>(distance) * 0.8f);
    default: return distance;
  }
}

int RoundYardage(int yards) {
  static constexpr int kCorrection[10] = {0, -1, -2, 2, 1, 0, -1, -2, 2, 1};
  const int digit = ((yards % 10) + 10) % 10;
  return yards + kCorrection[digit];
}

void BallLaunchTrial(BallState* b, float power, float curve, float trajectory) {
  ShotMeter.finalPower = power;
  ShotMeter.finalCurve = curve;
  ShotMeter.trajectory = trajectory;
  ShotMeter.shotFactorA = ShotMeter.shotFactorB = 1.0f;
  BallLaunch(b, 0, 1, 0, power);
}

#include "roundui/clubs.h"

#include <algorithm>
#include <cmath>

#include "golf/ballstate.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"

namespace clubs {

// clang-format off
const ClubRecord ClubTable[kSets][kClubs] = {
    {
     {250, 280, 10, 72.8f, 35.0f, 50.0f, 57.0f, 1.0f, 1.0f, 1.0f, -25.0f, 25.0f, 2},
     {242, 270, 11, 70.3f, 34.0f, 50.0f, 58.0f, 1.0f, 1.0f, 1.0f, -25.0f, 25.0f, 2},
     {233, 260, 12, 67.82f, 35.0f, 50.0f, 59.0f, 1.25f, 0.85f, 1.0f, -30.0f, 30.0f, 2},
     {223, 250, 12, 66.54f, 35.0f, 50.0f, 60.0f, 1.25f, 0.85f, 1.0f, -30.0f, 30.0f, 2},
     {204, 230, 12, 64.0f, 30.0f, 50.0f, 59.0f, 1.2f, 0.9f, 1.0f, -25.0f, 25.0f, 2},
     {195, 220, 14, 60.3f, 30.0f, 50.0f, 60.0f, 1.3f, 0.8f, 1.0f, -30.0f, 30.0f, 2},
     {193, 225, 16, 59.3f, 30.0f, 50.0f, 59.0f, 1.3f, 0.7f, 1.0f, -35.0f, 35.0f, 2},
     {189, 210, 16, 57.2f, 30.0f, 52.0f, 60.0f, 1.3f, 0.7f, 1.0f, -40.0f, 40.0f, 1},
     {181, 200, 18, 54.3f, 33.0f, 53.0f, 61.0f, 1.3f, 0.7f, 1.0f, -45.0f, 45.0f, 1},
     {181, 200, 17, 55.0f, 33.0f, 53.0f, 62.0f, 1.4f, 0.7f, 1.0f, -50.0f, 50.0f, 0},
     {169, 185, 20, 51.0f, 37.0f, 53.0f, 63.0f, 1.3f, 0.7f, 1.0f, -50.0f, 50.0f, 0},
     {157, 175, 19, 50.7f, 37.0f, 53.0f, 60.0f, 1.4f, 0.7f, 1.0f, -50.0f, 50.0f, 0},
     {155, 170, 22, 47.8f, 39.0f, 53.0f, 71.0f, 1.3f, 0.7f, 1.0f, -50.0f, 50.0f, 0},
     {147, 160, 24, 45.6f, 39.0f, 50.0f, 65.0f, 1.25f, 0.75f, 0.7f, -50.0f, 50.0f, -2},
     {129, 140, 26, 42.0f, 37.0f, 45.0f, 60.0f, 1.2f, 0.8f, 0.7f, -50.0f, 50.0f, -2},
     {121, 130, 28, 40.0f, 27.0f, 40.0f, 54.0f, 1.1f, 0.8f, 0.7f, -50.0f, 50.0f, -2},
     {103, 110, 30, 36.3f, 28.0f, 40.0f, 55.0f, 1.1f, 0.8f, 0.7f, -50.0f, 50.0f, -2},
     {84, 90, 31, 32.5f, 25.0f, 35.0f, 50.0f, 1.1f, 0.8f, 0.7f, -50.0f, 50.0f, -2},
     {75, 80, 32, 30.4f, 25.0f, 35.0f, 50.0f, 1.1f, 0.8f, 0.7f, -50.0f, 50.0f, -2},
     {56, 60, 33, 26.0f, 25.0f, 35.0f, 50.0f, 1.0f, 0.8f, 0.7f, -50.0f, 50.0f, -2},
     {53, 53, 1, 13.7f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0},
    },
    {
     {36, 60, 12, 31.5f, 0.0f, 4.0f, 10.0f, 0.3f, 2.0f, 0.55f, 0.0f, 0.0f, 6},
     {36, 60, 12, 31.5f, 0.0f, 4.0f, 10.0f, 0.3f, 2.0f, 0.55f, 0.0f, 0.0f, 6},
     {36, 60, 12, 31.5f, 0.0f, 4.0f, 10.0f, 0.3f, 1.9f, 0.6f, 0.0f, 0.0f, 5},
     {36, 60, 12, 31.5f, 0.0f, 4.0f, 10.0f, 0.3f, 1.9f, 0.6f, 0.0f, 0.0f, 5},
     {38, 60, 13, 31.2f, 0.0f, 4.0f, 10.0f, 0.3f, 1.7f, 0.6f, 0.0f, 0.0f, 3},
     {40, 60, 15, 30.1f, 0.0f, 4.0f, 10.0f, 0.3f, 1.5f, 0.7f, 0.0f, 0.0f, 2},
     {40, 60, 14, 31.0f, 0.0f, 4.0f, 10.0f, 0.4f, 1.6f, 0.7f, 0.0f, 0.0f, 4},
     {42, 59, 16, 29.8f, 0.0f, 4.0f, 10.0f, 0.3f, 1.6f, 0.7f, 0.0f, 0.0f, 2},
     {45, 60, 18, 29.4f, 0.0f, 4.0f, 10.0f, 0.45f, 1.5f, 0.75f, 0.0f, 0.0f, 1},
     {43, 60, 17, 29.5f, 0.0f, 4.0f, 10.0f, 0.4f, 1.5f, 0.9f, 0.0f, 0.0f, 1},
     {47, 60, 19, 29.5f, 0.0f, 4.0f, 10.0f, 0.5f, 1.3f, 0.95f, 0.0f, 0.0f, 0},
     {47, 60, 20, 28.8f, 0.0f, 4.0f, 10.0f, 0.4f, 1.5f, 0.9f, 0.0f, 0.0f, 1},
     {49, 60, 22, 28.4f, 0.0f, 4.0f, 10.0f, 0.55f, 1.3f, 1.0f, 0.0f, 0.0f, 0},
     {49, 60, 23, 27.9f, 0.0f, 4.0f, 10.0f, 0.6f, 1.3f, 1.0f, 0.0f, 0.0f, -2},
     {50, 60, 24, 27.8f, 0.0f, 4.0f, 10.0f, 0.65f, 1.1f, 0.9f, 0.0f, 0.0f, -2},
     {52, 60, 25, 27.9f, 0.0f, 5.0f, 10.0f, 0.75f, 1.1f, 1.0f, 0.0f, 0.0f, -2},
     {53, 60, 26, 27.6f, 0.0f, 5.0f, 10.0f, 0.8f, 1.1f, 1.0f, 0.0f, 0.0f, -3},
     {53, 60, 27, 27.5f, 0.0f, 5.0f, 10.0f, 0.8f, 1.1f, 1.0f, 0.0f, 0.0f, -3},
     {55, 60, 28, 27.6f, 0.0f, 5.0f, 11.0f, 1.0f, 0.8f, 1.0f, 0.0f, 0.0f, -2},
     {57, 60, 29, 27.8f, 2.0f, 7.0f, 11.0f, 1.1f, 0.9f, 1.0f, 0.0f, 0.0f, -2},
     {53, 53, 1, 13.7f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0},
    },
    {
     {7, 30, 9, 16.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.6f, 0.0f, 0.0f, 3},
     {7, 30, 9, 16.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.6f, 0.0f, 0.0f, 3},
     {7, 30, 9, 16.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.6f, 0.0f, 0.0f, 3},
     {7, 30, 9, 16.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.6f, 0.0f, 0.0f, 3},
     {9, 30, 10, 17.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.7f, 0.0f, 0.0f, 1},
     {9, 30, 10, 17.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.7f, 0.0f, 0.0f, 1},
     {9, 30, 10, 17.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.7f, 0.0f, 0.0f, 1},
     {9, 30, 10, 17.0f, 0.0f, 0.0f, 3.0f, 0.5f, 1.8f, 0.7f, 0.0f, 0.0f, 1},
     {10, 30, 11, 17.2f, 10.0f, 10.0f, 15.0f, 0.5f, 1.8f, 0.75f, 0.0f, 0.0f, 1},
     {10, 30, 11, 17.2f, 10.0f, 10.0f, 15.0f, 0.5f, 1.8f, 0.75f, 0.0f, 0.0f, 1},
     {14, 30, 12, 17.0f, 3.0f, 3.0f, 8.0f, 0.5f, 1.8f, 0.95f, 0.0f, 0.0f, 0},
     {14, 30, 12, 17.0f, 3.0f, 3.0f, 8.0f, 0.5f, 1.8f, 0.95f, 0.0f, 0.0f, 0},
     {15, 30, 14, 18.7f, 20.0f, 26.0f, 33.0f, 0.5f, 1.7f, 1.0f, 0.0f, 0.0f, 0},
     {17, 30, 16, 17.5f, 5.0f, 10.0f, 15.0f, 0.4f, 1.7f, 1.0f, 0.0f, 0.0f, -2},
     {21, 30, 18, 20.0f, 0.0f, 4.0f, 10.0f, 0.4f, 1.6f, 0.9f, 0.0f, 0.0f, -2},
     {22, 30, 19, 20.0f, 0.0f, 4.0f, 10.0f, 0.4f, 1.6f, 0.9f, 0.0f, 0.0f, -2},
     {25, 30, 25, 19.0f, 0.0f, 5.0f, 11.0f, 0.45f, 1.5f, 1.0f, 0.0f, 0.0f, -2},
     {25, 30, 25, 19.0f, 0.0f, 5.0f, 11.0f, 0.45f, 1.5f, 1.0f, 0.0f, 0.0f, -2},
     {27, 30, 29, 18.8f, 0.0f, 5.0f, 11.0f, 0.45f, 1.4f, 1.0f, 0.0f, 0.0f, -2},
     {27, 30, 29, 18.8f, 0.0f, 5.0f, 11.0f, 0.45f, 1.4f, 1.0f, 0.0f, 0.0f, -2},
     {53, 53, 1, 13.7f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0},
    },
    {
     {3, 15, 6, 12.8f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.55f, 0.0f, 0.0f, 3},
     {3, 15, 6, 12.8f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.55f, 0.0f, 0.0f, 3},
     {3, 15, 7, 12.33f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.6f, 0.0f, 0.0f, 2},
     {3, 15, 7, 12.33f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.6f, 0.0f, 0.0f, 2},
     {4, 15, 8, 12.18f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.6f, 0.0f, 0.0f, 1},
     {4, 15, 9, 12.13f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.7f, 0.0f, 0.0f, 0},
     {4, 15, 8, 12.18f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.7f, 0.0f, 0.0f, 2},
     {4, 15, 10, 12.0f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.7f, 0.0f, 0.0f, -1},
     {5, 15, 11, 12.05f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.75f, 0.0f, 0.0f, -1},
     {4, 15, 10, 12.0f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.9f, 0.0f, 0.0f, 0},
     {5, 15, 12, 12.0f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.95f, 0.0f, 0.0f, 0},
     {5, 15, 11, 12.05f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 0.9f, 0.0f, 0.0f, 0},
     {6, 15, 13, 12.0f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 1.0f, 0.0f, 0.0f, 0},
     {6, 15, 14, 11.8f, 4.0f, 4.0f, 4.0f, 0.4f, 1.8f, 1.0f, 0.0f, 0.0f, 1},
     {7, 15, 15, 12.0f, 6.0f, 6.0f, 6.0f, 0.4f, 1.8f, 0.9f, 0.0f, 0.0f, 1},
     {7, 15, 16, 12.2f, 9.0f, 9.0f, 9.0f, 0.4f, 1.7f, 1.0f, 0.0f, 0.0f, 2},
     {8, 15, 18, 12.3f, 10.0f, 10.0f, 10.0f, 0.4f, 1.7f, 1.0f, 0.0f, 0.0f, 3},
     {9, 15, 19, 12.55f, 10.0f, 10.0f, 10.0f, 0.4f, 1.7f, 1.0f, 0.0f, 0.0f, 3},
     {9, 15, 20, 12.7f, 13.0f, 13.0f, 13.0f, 0.4f, 1.7f, 1.0f, 0.0f, 0.0f, 3},
     {10, 15, 22, 12.74f, 15.0f, 15.0f, 15.0f, 0.6f, 1.5f, 1.0f, 0.0f, 0.0f, 4},
     {53, 53, 1, 13.7f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0},
    },
};
// clang-format on

namespace {

ClubRecord g_work[kClubs];

constexpr int kPuttLimits[6] = {4, 8, 20, 40, 80, 160};
constexpr float kPuttSpeeds[6] = {2.076f, 2.96f, 4.66f, 6.63f, 9.49f, 13.8f};
constexpr float kDegToRad = 0.017453292f;
constexpr float kSteepLow = 1.5393804f;
constexpr float kSteepHigh = 1.6022123f;

int CurrentShotType() { return ActiveGolferRecord ? static_cast<int>(ActiveGolferRecord->shotType) : 0; }
int ClampClub(int club) { return std::clamp(club, 0, kPutter); }

float ClubChoiceDistance(const playerInfo_s* g, int club, int kind) {
  const int setting = DistanceSetting(g);
  const float base = static_cast<float>(kind == 0 ? GetClubMaxDistance(club, setting)
                                                  : GetFullShotShownDistance(club, setting));
  float adj = 1.0f;
  BallClubAdjustment(club, &adj, 0, 0);
  return adj * adj * base;
}

ClubLaunchData LaunchFigures(int club, int shotType) {
  // The ball physics keeps its own calibrated speeds and angles; reach and risk group are the records'.
  SetClubLaunchSource(nullptr);
  ClubLaunchData d = GetClubLaunchData(club, shotType);
  SetClubLaunchSource(LaunchFigures);
  const ClubRecord& r = ClubTable[RecordSetFor(shotType)][ClampClub(club)];
  d.reach = r.reach;
  d.group = r.group;
  return d;
}

}  // namespace

int RecordSetFor(int shotType) { return shotType >= 4 && shotType <= 6 ? shotType - 3 : 0; }

const ClubRecord& GetClubRecord(int club, int shotType, bool raw) {
  club = ClampClub(club);
  const ClubRecord& record = ClubTable[RecordSetFor(shotType)][club];
  const playerInfo_s* g = ActiveGolferRecord;
  if (raw || !g) return record;
  ClubRecord& copy = g_work[club];
  copy = record;
  const uint32_t percent = g->GetClubPercent(club);
  if (percent == 100) return copy;
  const float f = static_cast<float>(percent) / 100.0f;
  copy.reach = static_cast<int32_t>(static_cast<float>(copy.reach) * f);
  copy.shown = static_cast<int32_t>(static_cast<float>(copy.shown) * f);
  return copy;
}

float GetClubTrajectoryLowRange(const playerInfo_s* golfer) {
  if (!golfer) return 0.0f;
  const ClubRecord& r = GetClubRecord(golfer->currentClub, static_cast<int>(golfer->shotType), false);
  return r.trajectoryLow - r.trajectoryDefault;
}

float GetClubTrajectoryHighRange(const playerInfo_s* golfer) {
  if (!golfer) return 0.0f;
  const ClubRecord& r = GetClubRecord(golfer->currentClub, static_cast<int>(golfer->shotType), false);
  return r.trajectoryHigh - r.trajectoryDefault;
}

int ScaleClubDistance(int distance, int setting) { return ::ScaleClubDistance(distance, setting); }

int GetFullShotShownDistance(int club, int setting) {
  const int d = GetClubRecord(club, 0, false).shown;
  return club == kPutter ? d : ScaleClubDistance(d, setting);
}

int GetClubDistance(int club, int setting, int shotType) {
  const int d = GetClubRecord(club, shotType, false).shown;
  return club == kPutter ? d : ScaleClubDistance(d, setting);
}

int GetClubMaxDistance(int club, int setting) {
  const int d = GetClubRecord(club, 0, false).reach;
  return club == kPutter ? d : ScaleClubDistance(d, setting);
}

int GetClubMaxDistanceForCurrent(int club, int setting) {
  const int d = GetClubRecord(club, CurrentShotType(), false).reach;
  return club == kPutter ? d : ScaleClubDistance(d, setting);
}

float GetClubLaunchAngle(int club, float power, float surfaceFactor) {
  const float a = static_cast<float>(GetClubRecord(club, CurrentShotType(), false).angle);
  if (power == 0.0f) power = ShotMeter.power;
  return a + (ShotMeter.trajectory * power * a / 50.0f) * surfaceFactor;
}

float GetClubLaunchSpeed(int club, int setting) {
  float v = GetClubRecord(club, CurrentShotType(), false).speed;
  if (club == kPutter) {
    const float feet = AimDistance * 3.0f;
    for (int i = 0; i < 6; ++i)
      if (static_cast<float>(kPuttLimits[i]) >= feet) return kPuttSpeeds[i];
    return kPuttSpeeds[5];
  }
  if (setting == 1) v *= 0.94f;
  if (setting == 2) v *= 0.89f;
  return v * (1.0f - (ShotMeter.trajectory / 50.0f) * 0.2f);
}

int ChooseClubForDistance(const playerInfo_s* g, float distance, int kind) {
  if (!g || g->shotType == 7 || g->bag == (1u << kPutter)) return kPutter;
  const float want = distance - 0.05f;
  int lo = -1, hi = -1;
  for (int c = 0; c < kPutter; ++c)
    if (g->bag & (1u << c)) {
      if (lo < 0) lo = c;
      hi = c;
    }
  // A bag without a club to swing has only the putter to offer.
  if (lo < 0) return kPutter;
  int best = lo;
  float bestDistance = 0.0f;
  float d = ClubChoiceDistance(g, hi, kind);
  while (hi > lo && d < want) {
    do --hi;
    while (hi > lo && !(g->bag & (1u << hi)));
    d = ClubChoiceDistance(g, hi, kind);
    if (d > bestDistance) {
      best = hi;
      bestDistance = d;
    }
  }
  return d >= want ? hi : best;
}

int ChooseClubForCurrent(float distance) { return ChooseClubForDistance(ActiveGolferRecord, distance, 0); }

void PresetShotForClub(BallState* ball, const Vector3& target, const playerInfo_s* g) {
  if (!ball || !g) return;
  Vector3 v{target.x - ball->position.x, target.y - ball->position.y, 0.0f};
  const float h = std::sqrt(v.x * v.x + v.y * v.y);
  const int club = std::min<int>(g->currentClub, kPutter);
  const int setting = DistanceSetting(g);
  const int reach = GetClubMaxDistance(club, setting);
  const float ratio = reach > 0 ? std::clamp(h / static_cast<float>(reach), 0.0f, 1.0f) : 1.0f;
  const float speed = GetClubLaunchSpeed(club, setting) * std::sqrt(ratio);
  float surface = 1.0f;
  if (const LieLaunchRecord* lie = ClubTableFind(static_cast<uint8_t>((ball->lie & 0x0F) << 4), ball->lieDetail))
    surface = lie->surfaceFactor;
  float angle = GetClubLaunchAngle(club, ratio, surface) * 0.8f * kDegToRad;
  if (angle > kSteepLow && angle < kSteepHigh) angle = kSteepLow;
  v.z = std::tan(angle) * h;
  const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len > 0.0f) v = Vector3{v.x / len * speed, v.y / len * speed, v.z / len * speed};
  BallSetVelocity(ball, v);
  BallSetLaunchVelocity(ball, v);
}

const char* ClubShortName(int club) {
  static const char* const kNames[kClubs] = {"D",  "D2", "s3w", "3w", "1i", "2i", "5w", "3i", "4i", "7w", "5i",
                                             "9w", "6i", "7i",  "8i", "9i", "pw", "aw", "sw", "lw", "P"};
  return kNames[ClampClub(club)];
}

const char* ClubLongName(int club) {
  static const char* const kNames[kClubs] = {
      "driver", "driver 2", "strong 3 wood", "3 wood", "1 iron",  "2 iron",  "5 wood",  "3 iron",  "4 iron",  "7 wood",
      "5 iron", "9 wood",   "6 iron",        "7 iron", "8 iron",  "9 iron",  "p wedge", "a wedge", "s wedge", "l wedge",
      "putter"};
  return kNames[ClampClub(club)];
}

int DistanceSetting(const playerInfo_s* golfer) { return golfer ? golfer->levelPreset : 0; }

void InstallClubRecords() { SetClubLaunchSource(LaunchFigures); }

}  // namespace clubs

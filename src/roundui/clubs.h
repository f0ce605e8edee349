// The club records of the in-round interface: distances, launch figures, trajectory and curve limits of
// every club for each shot-type record set, and the lookups, club choice and default launch built on them.
#pragma once
#include <cstdint>

#include "course/vector3.h"

struct playerInfo_s;
struct BallState;

namespace clubs {

struct ClubRecord {
  int32_t reach;        // yards at full power: club choice and launch-speed scale
  int32_t shown;        // yards shown on the club bar
  int32_t angle;        // base launch angle, degrees
  float speed;          // base launch speed
  float trajectoryLow;
  float trajectoryDefault;
  float trajectoryHigh;
  float factor1, factor2, factor3;  // table data only
  float curveLow;
  float curveHigh;
  int32_t group;        // added to the prediction's risk
};

constexpr int kSets = 4;
constexpr int kClubs = 21;
constexpr int kPutter = 20;
extern const ClubRecord ClubTable[kSets][kClubs];

// Record set of a shot type: 4, 5 and 6 have their own; every other type uses set 0.
int RecordSetFor(int shotType);
// The club's record for the shot type: the table record when raw or without a current golfer, else a work
// copy whose distances are scaled by the golfer's percentage for the club (valid until the next lookup of
// that club).
const ClubRecord& GetClubRecord(int club, int shotType, bool raw);

float GetClubTrajectoryLowRange(const playerInfo_s* golfer);
float GetClubTrajectoryHighRange(const playerInfo_s* golfer);
int ScaleClubDistance(int distance, int setting);
int GetFullShotShownDistance(int club, int setting);
int GetClubDistance(int club, int setting, int shotType);
int GetClubMaxDistance(int club, int setting);
int GetClubMaxDistanceForCurrent(int club, int setting);
float GetClubLaunchAngle(int club, float power, float surfaceFactor);
float GetClubLaunchSpeed(int club, int setting);
// The shortest club of the bag that reaches the distance (kind 0: reach, else shown distance), the
// longest-hitting one when none does; the putter for a putt or a bag without clubs 0..19.
int ChooseClubForDistance(const playerInfo_s* golfer, float distance, int kind);
int ChooseClubForCurrent(float distance);
// Sets the ball's default launch toward the target with the golfer's club.
void PresetShotForClub(BallState* ball, const Vector3& target, const playerInfo_s* golfer);

// Names of clubs 0..20: the club bar's short ones and the tag's long ones.
const char* ClubShortName(int club);
const char* ClubLongName(int club);

// The golfer's distance setting (0..2) and the current golfer's shot type (0 without one).
int DistanceSetting(const playerInfo_s* golfer);

// Makes the golf library's launch read club reach and risk group from these records.
void InstallClubRecords();

}  // namespace clubs

#pragma once
#include <cstdint>

#include "course/vector3.h"
#include "golf/ballstate.h"

struct playerInfo_s;

// Launch of a shot: the club, the power, the lie and the shot shape become the ball's velocity and spin.

// Program-wide values of the shot in hand.
extern float BallLaunchSpeed;     // length of the launch velocity of the current shot
extern float AimDistance;         // ground distance from the ball to the aim point, yards
extern Vector3 ShotAimPoint;      // the aim point of the current shot
extern Vector3 ShotTargetPoint;   // the target point that the last launch stored
extern const float ShotCurveScale;  // 50.0: the curve that turns a shot the most
extern bool GuideSwitch;          // power guide shown: no random aim deviation
extern bool ComputerChoiceSwitch; // computer golfer keeps its set-up: no random aim deviation
extern bool AutoClubEnabled;      // the golfer lets the launch choose the club for the aim

// What the power meter hands to the launch (written by the swing, read here).
struct ShotMeterValues {
  float power = 1.0f;         // the meter's current power
  float curve = 0.0f;         // the shape set up for the shot; the prediction flies it
  float trajectory = 0.0f;    // trajectory adjustment, negative lowers the flight
  float finalPower = 1.0f;    // the swing's power
  float finalCurve = 0.0f;    // the swing's curve, -ShotCurveScale..ShotCurveScale; positive draws left
  float accuracyError = 0.0f;
  float shotFactorA = 1.0f;   // speed factor of a mishit
  float shotFactorB = 1.0f;   // launch-angle factor of a mishit
};
extern ShotMeterValues ShotMeter;

// Keeps the values of the shot in hand (meter, launch speed, aim) while trial balls are launched, and puts them back.
struct ShotValuesKept {
  ShotMeterValues meter = ShotMeter;
  float launchSpeed = BallLaunchSpeed;
  float aimDistance = AimDistance;
  Vector3 aim = ShotAimPoint;
  Vector3 target = ShotTargetPoint;
  ShotValuesKept() = default;
  ShotValuesKept(const ShotValuesKept&) = delete;
  ShotValuesKept& operator=(const ShotValuesKept&) = delete;
  ~ShotValuesKept() {
    ShotMeter = meter;
    BallLaunchSpeed = launchSpeed;
    AimDistance = aimDistance;
    ShotAimPoint = aim;
    ShotTargetPoint = target;
  }
};

// The club figures that the launch needs (one row per club and shot-type set).
struct ClubLaunchData {
  int reach = 0;       // yards carried at full power
  float angle = 0.0f;  // launch angle, degrees
  float speed = 0.0f;  // base launch speed, yd/s
  int group = 0;       // added to the prediction's risk
  int spin = 0;        // backspin of a full shot, rpm (0: from the angle)
};
// Club 0..20 for a shot type (4, 5 and 6 have their own sets; the rest use set 0). The club table of the
// in-round interface may install itself in place of the built-in figures.
ClubLaunchData GetClubLaunchData(int club, int shotType);
using ClubLaunchSource = ClubLaunchData (*)(int club, int shotType);
void SetClubLaunchSource(ClubLaunchSource source);  // null restores the built-in figures

// How a lie changes a launch. Fields in order: surface class, lie detail, speed, spin, curve and
// trajectory factors, aim spread in degrees, and (eighth) the surface factor of the launch angle.
struct LieLaunchRecord {
  uint8_t surfaceClass = 0;
  uint8_t lieDetail = 0;
  float speedFactor = 1.0f;
  float spinFactor = 1.0f;
  float curveFactor = 1.0f;
  float trajectoryFactor = 1.0f;
  float spread = 0.0f;
  float surfaceFactor = 1.0f;
};
// The record for a surface byte and lie detail: the exact pair, else the class's detail 0, else a default.
const LieLaunchRecord* ClubTableFind(uint8_t surfaceCode, uint8_t lieDetail);

// Reduces curve and trajectory for the lie, adds the random aim deviation (radians) unless a switch is set,
// and reports the lie's factors. Any pointer may be null.
void BallClubLaunchParams(uint8_t surfaceCode, uint8_t lieDetail, int club, float power, float* curve,
                          float* trajectory, float* aimDeviation, float* speedFactor, float* spinFactor,
                          float* surfaceFactor, float* spread, float* reserved);

// Scales the factor by the active golfer's percentage for the club and its trajectory choice.
void BallClubAdjustment(int club, float* factor, int, int);

// Backspin of a full shot with a club, revolutions per second.
float ClubSpinRate(int club, int shotType);

// The shortest club of the golfer's bag that reaches the distance (the longest one when none does).
int ChooseClubForAim(const playerInfo_s* golfer, float distance);

// Sets up the launch of the ball toward ShotAimPoint from the active golfer's club and the meter. Power:
// the meter's final power when realSwing is set, else power when it is not 0 (1.0 full), else the power
// that carries the club to AimDistance. With autoClub (and AutoClubEnabled) the club is chosen first.
void BallLaunch(BallState* b, int autoClub, int realSwing, int reserved, float power);
// A trial launch as a clean swing of `power` with the curve and trajectory given (no mishit): the meter's swing values
// are set for it, so callers keep them (ShotValuesKept) around it.
void BallLaunchTrial(BallState* b, float power, float curve = 0.0f, float trajectory = 0.0f);

// The launch itself: a ball leaving along the ground direction at the angle (radians above it), with
// backspin and the curve's tilt of the spin axis. Used by BallLaunch and by measured shots.
void BallLaunchVector(BallState* b, const Vector3& groundDirection, float speed, float angle, float spinRps,
                      float curve);

// Sets the launch velocity and BallLaunchSpeed.
void BallSetLaunchVelocity(BallState* b, const Vector3& v);

// Angle helpers: a 16-bit angle (65536 a turn, 0 along +y, 0x4000 along +x) to a ground unit vector, and
// an angle in radians brought into 0..2 pi.
Vector3 AimDirectionFromAngle(uint16_t angle);
float NormalizeAngle(float radians);

// 31-bit random numbers for the aim deviation (the scene's generator may install itself).
using Random31Source = uint32_t (*)();
void SetRandom31Source(Random31Source source);
uint32_t Random31();

// The club's record for the shot type; its reach scaled by the active golfer's percentage for the club
// unless unscaled is set.
ClubLaunchData GetClubRecord(int club, int shotType, bool unscaled);
// A distance for the shaft: 0 stiff as it is, 1 regular x 0.9, 2 flex x 0.8 (truncated); others unchanged.
int ScaleClubDistance(int distance, int shaft);
// A yardage rounded to the nearest multiple of 5 (a last digit of 3 or 8 rounds up).
int RoundYardage(int yards);

#include "golf/ballstate.h"

#include <cstring>
#include <numbers>

#include "course/terrain.h"
#include "golf/ballmath.h"
#include "golf/launch.h"

using namespace ballmath;

const float kInvBallMass = 1.0f / kBallMass;
const float kInvRollRadius = 1.0f / (kBallRadius * 0.8f * std::numbers::pi_v<float>);

namespace {


void setFlag(BallState* b, int n, uint8_t v) { b->Flag(n) = v; }

}  // namespace

float BallLiftCoefficient(float r) {
  if (r < 0.0f) return 0.0f;
  if (r < 16.67f) return r * 0.0033f;
  return ((r - 16.67f) * 0.00086f + 0.05f) * 1.1f;
}

void BallClearStepList(BallState* b) {
  setFlag(b, kBallFlagStepCount, 0);
  for (auto& e : b->stepList) e = BallStepEntry{};
}

void BallResetContact(BallState* b) {
  b->nearestContact = kNoContact;
  b->nearestContactWord = 0;
  for (int n : {4, 5, 14, 15, 17, 21, 22}) setFlag(b, n, 0);
}

void BallStateInit(BallState* b) {
  b->gravity = Vector3{0.0f, 0.0f, kGravityZ};
  b->velocityPrev = b->velocity;
  b->airDensity = kAirDensity;
  b->liftCoefficient = BallLiftCoefficient(length(b->spin));
  b->liftFactor = kHalfRhoArea * b->liftCoefficient;
  b->spinDecayFactor = kHalfRhoArea * 0.1f;
  b->aeroFactor = kHalfRhoArea * 7.5f;
  b->field20Words[0] = b->field20Words[1] = 0;
  b->field22Word = 0;
  b->field22Words[0] = b->field22Words[1] = 0;
  BallClearStepList(b);
  BallResetContact(b);
}

void BallStateReset(BallState* b) {
  b->lie = 0;
  std::memset(b->flags, 0, sizeof b->flags);
  setFlag(b, kBallFlagGrounded, 1);
  b->position = b->positionPrev = b->positionStep = b->positionLast = Vector3{};
  b->target = b->velocity = b->velocityPrev = b->spin = b->spinExtra = Vector3{};
  b->field19 = Vector3{};
  b->landingSurface = b->restSurface = 0;
  b->rollStartTime = 0.0f;
  b->lieFlags = b->lieDetail = 0;
  b->shotShapeSign = 0;
  BallStateInit(b);
}

void BallStateCopy(BallState* dst, const BallState* src) {
  if (dst != src) *dst = *src;
}

Vector3 BallSetPosition(BallState* b, const Vector3& point) {
  const Vector3 previous = b->position;
  b->position = b->positionPrev = b->positionStep = b->positionLast = point;
  b->lie = static_cast<uint8_t>(GetTerrainSurface(point.x, point.y) >> 4);
  setFlag(b, 15, 0);
  return previous;
}

Vector3 BallPlaceAt(BallState* b, const Vector3& point) {
  const Vector3 previous = BallSetPosition(b, point);
  b->startPosition = point;
  b->velocity = b->spin = Vector3{};
  b->liftCoefficient = 0.0f;
  b->liftFactor = 0.0f;
  BallResetContact(b);
  b->lie = 7;
  setFlag(b, kBallFlagGrounded, 1);
  setFlag(b, kBallFlagPlaced, 1);
  for (int n : {2, 12, 13}) setFlag(b, n, 0);
  BallClearStepList(b);
  return previous;
}

Vector3 BallSetVelocity(BallState* b, const Vector3& v) {
  const Vector3 previous = b->velocity;
  b->velocity = v;
  return previous;
}

Vector3 BallSetSpin(BallState* b, const Vector3& s) {
  const Vector3 previous = b->spin;
  b->spin = s;
  b->liftCoefficient = BallLiftCoefficient(length(s));
  b->liftFactor = b->airDensity * 0.5f * kBallArea * b->liftCoefficient;
  return previous;
}

Vector3 BallSetSpinExtra(BallState* b, const Vector3& s) {
  const Vector3 previous = b->spinExtra;
  b->spinExtra = s;
  return previous;
}

bool BallIsMoving(const BallState* b) { return b->Flag(kBallFlagMoving) != 0; }

void BallUpdateGround(BallState* b) {
  b->lie = static_cast<uint8_t>(GetTerrainSurface(b->position.x, b->position.y) >> 4);
}

void BallFlightStart(BallState* b) {
  b->flightTime = 0.0f;
  b->rollStartTime = 0.0f;
  BallResetContact(b);
  for (int n : {2, 7, 8, 9, 10, 16, 18, 19}) setFlag(b, n, 0);
  b->landingSurface = b->restSurface = 0;
  setFlag(b, kBallFlagPrevious12, b->Flag(12));
  setFlag(b, 12, 0);
  setFlag(b, kBallFlagAirborne, 0);
  b->startPosition = b->positionPrev = b->positionStep = b->positionLast = b->position;
  b->target = ShotAimPoint;
  setFlag(b, kBallFlagMoving, 1);
  BallUpdateGround(b);
  setFlag(b, kBallFlagGrounded, 1);
}

BallEventRecord BallGetEventRecord(const BallState* b) {
  BallEventRecord e;
  e.bytes[0] = b->lie;
  std::memcpy(e.bytes + 1, b->flags, kBallFlagCount);
  return e;
}

void BallSetEventRecord(BallState* b, const BallEventRecord& e) {
  b->lie = e.bytes[0];
  std::memcpy(b->flags, e.bytes + 1, kBallFlagCount);
}

bool BallTouchedGreen(const BallState* b) { return b->Flag(kBallFlagTouchedGreen) != 0; }
bool BallFirstContact(const BallState* b) { return b->Flag(kBallFlagFirstContact) != 0; }

void BallFlightResults(const BallState* b, uint8_t* landing, uint8_t* rest) {
  if (landing) *landing = b->landingSurface;
  if (rest) *rest = b->restSurface;
}

float BallComputeSpeed(const BallState* b) { return length(b->velocity); }

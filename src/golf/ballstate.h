#pragma once
#include <cstdint>

#include "course/vector3.h"

// The ball through one shot: where it is, how it moves and spins, what lies under it and which phase of
// flight, bounce and roll it is in. Lengths in yards, speeds in yards per second, spin in revolutions per
// second, time in seconds, mass in kilograms; z is the height. The live ball and any number of prediction
// copies are independent records: nothing of a shot's progress is kept outside them.

// Flags (the byte after the lie byte is flag 1). Numbers that other code reads are fixed here.
enum BallFlag : int {
  kBallFlagContact = 2,      // cleared when a flight starts and when the ball is placed
  kBallFlagGrounded = 3,     // on the ground or at rest; cleared while the ball is in the air
  kBallFlagPlaced = 4,       // placed at rest
  kBallFlagAirborne = 6,     // 0 while the ball flies with lift and spin decay
  kBallFlagWater = 7,        // came to rest in water
  kBallFlagOutOfBounds = 8,  // left the ground of the hole
  kBallFlagTouchedGreen = 9, // touched a green or fringe during this shot
  kBallFlagStepCount = 10,   // entries in the step list
  kBallFlagPrevious12 = 13,
  kBallFlagMoving = 14,      // in motion
  kBallFlagHoled = 16,       // dropped into the cup
  kBallFlagRolling = 17,     // on the ground, rolling
  kBallFlagFirstContact = 18,// the shot has met the ground
  kBallFlagOverWater = 19,   // the flight passed over water
  kBallFlagAeroAfterContact = 20,
};

constexpr int kBallFlagCount = 24;  // flags 1..24
constexpr int kBallEventBytes = 25; // the lie byte and the 24 flags, as replay frames keep them
constexpr int kBallStepListSize = 20;

// One ground contact of the shot. 32 bytes, the key first (-1 when empty).
struct BallStepEntry {
  int32_t key = -1;     // contact number within the shot
  Vector3 position{};   // where the ball met the ground
  float time = 0.0f;    // flight time of the contact
  float speed = 0.0f;   // speed before the contact
  uint8_t surface = 0;  // surface byte under the contact
  uint8_t kind = 0;     // 1 bounce, 2 start of roll, 3 water, 4 out of bounds
  uint8_t reserved[6] = {};
};
static_assert(sizeof(BallStepEntry) == 32, "step-list entries are 32 bytes");

// Module values computed once.
constexpr float kBallMass = 0.04593f;
constexpr float kBallRadius = 0.02333f;
constexpr float kBallArea = 0.00171f;
constexpr float kGravityZ = -10.7247f;
extern const float kInvBallMass;
extern const float kInvRollRadius;
constexpr float kAirDensity = 1.2f / (1.09f * 1.09f * 1.09f);  // kg per cubic yard
constexpr float kHalfRhoArea = kAirDensity * 0.5f * kBallArea;
constexpr float kNoContact = 100000.0f;

// A new record is a reset one.
struct BallState {
  uint8_t lie = 0;                      // surface class under the ball, 0..15
  uint8_t flags[kBallFlagCount] = {0, 0, 1};  // flag n is flags[n - 1]; flag 3 set
  Vector3 gravity{0.0f, 0.0f, kGravityZ};
  float airDensity = kAirDensity;
  float liftCoefficient = 0.0f;
  float liftFactor = 0.0f;
  float spinDecayFactor = kHalfRhoArea * 0.1f;
  float aeroFactor = kHalfRhoArea * 7.5f;
  float flightTime = 0.0f;
  float nearestContact = kNoContact;
  uint32_t nearestContactWord = 0;
  Vector3 position{};
  Vector3 positionPrev{};
  Vector3 positionStep{};
  Vector3 positionLast{};
  Vector3 target{};
  Vector3 velocity{};
  Vector3 velocityPrev{};
  Vector3 spin{};
  Vector3 spinExtra{};
  BallStepEntry stepList[kBallStepListSize];
  Vector3 field19{};
  uint32_t field20Words[2] = {};
  uint8_t landingSurface = 0;  // surface byte of the first contact
  uint8_t restSurface = 0;     // surface byte where the ball stopped
  Vector3 startPosition{};
  uint32_t field22Word = 0;
  uint32_t field22Words[2] = {};

  // Further state of the shot.
  float rollStartTime = 0.0f;  // flight time at which rolling began; 0 until then
  uint8_t lieFlags = 0;        // bit 0 buried, bit 1 flyer, bit 2 good or tight
  uint8_t lieDetail = 0;       // 0..9
  int32_t shotShapeSign = 0;   // +1 or -1 after a mishit, else 0

  uint8_t& Flag(int n) { return n == 0 ? lie : flags[n - 1]; }
  uint8_t Flag(int n) const { return n == 0 ? lie : flags[n - 1]; }
};

struct BallEventRecord {
  uint8_t bytes[kBallEventBytes] = {};
};


float BallLiftCoefficient(float spinRate);
void BallStateReset(BallState* b);
void BallStateInit(BallState* b);
void BallClearStepList(BallState* b);
void BallStateCopy(BallState* dst, const BallState* src);
void BallResetContact(BallState* b);
Vector3 BallSetPosition(BallState* b, const Vector3& point);
Vector3 BallPlaceAt(BallState* b, const Vector3& point);
Vector3 BallSetVelocity(BallState* b, const Vector3& v);
Vector3 BallSetSpin(BallState* b, const Vector3& s);
Vector3 BallSetSpinExtra(BallState* b, const Vector3& s);
bool BallIsMoving(const BallState* b);
// Starts the flight from the current position; the ground state under the ball is updated.
void BallFlightStart(BallState* b);
// The lie byte and the 24 flags, in order.
BallEventRecord BallGetEventRecord(const BallState* b);
// Sets the lie and flags from a recorded event record (replay).
void BallSetEventRecord(BallState* b, const BallEventRecord& e);

bool BallTouchedGreen(const BallState* b);
bool BallFirstContact(const BallState* b);
// Surface bytes of the first contact and of the resting place of the shot.
void BallFlightResults(const BallState* b, uint8_t* landing, uint8_t* rest);
// Length of the velocity.
float BallComputeSpeed(const BallState* b);
// Refreshes the lie from the terrain under the ball.
void BallUpdateGround(BallState* b);

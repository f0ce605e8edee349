#include "golf/ballflight.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "course/terrain.h"
#include "golf/ballmath.h"
#include "golf/surfaces.h"

using namespace ballmath;

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;
constexpr float kRollVectorScale = kBallRadius * 0.8f * std::numbers::pi_v<float>;
constexpr float kGravity = -kGravityZ;
// Turf gives under a landing ball: the crater tilts the impact normal back toward it by up to this much
// (at 18.6 m/s and a 44.4 degree landing; it grows with both).
constexpr float kCraterDegrees = 15.4f;
constexpr float kCraterSpeed = 18.6f * 1.09361f;  // yd/s
constexpr float kCraterAngle = 44.4f * std::numbers::pi_v<float> / 180.0f;

// Restitution falls with the impact speed on turf (measured: 0.51 at rest to 0.12 from 20 m/s); the lie's
// c0 is the value of a slow impact.
float restitution(float c0, float normalSpeed) {
  const float v = normalSpeed / 1.09361f;  // m/s
  const float measured = v <= 20.0f ? 0.510f - 0.0375f * v + 0.000903f * v * v : 0.12f;
  return std::clamp(c0 * measured / 0.510f, 0.0f, 1.0f);
}

struct Cup {
  bool set = false;
  Vector3 pin{};
} g_cup;

uint8_t g_extraWater[2] = {0xFF, 0xFF};
Vector3 g_wind{};
BallReplaySink g_sink;

enum ContactKind : uint8_t { kContactBounce = 1, kContactRoll = 2, kContactWater = 3, kContactOut = 4 };

Vector3 groundNormal(float x, float y) {
  Vector3 n;
  GetTerrainNormal(x, y, &n);
  if (n.z < 0.0f) n = scale(n, -1.0f);
  n = unit(n);
  if (isZero(n)) n = Vector3{0.0f, 0.0f, 1.0f};
  return n;
}

void addContact(BallState* b, uint8_t surface, ContactKind kind, float speed) {
  uint8_t& count = b->Flag(kBallFlagStepCount);
  if (count < kBallStepListSize) {
    BallStepEntry& e = b->stepList[count];
    e = BallStepEntry{};
    e.key = count;
    e.position = b->position;
    e.time = b->flightTime;
    e.speed = speed;
    e.surface = surface;
    e.kind = kind;
    ++count;
  }
  if (!b->Flag(kBallFlagFirstContact)) {
    b->Flag(kBallFlagFirstContact) = 1;
    b->landingSurface = surface;
  }
  b->Flag(kBallFlagContact) = 1;
  const int cls = surface >> 4;
  if (cls == 7 || cls == 11) b->Flag(kBallFlagTouchedGreen) = 1;
}

void stopBall(BallState* b, uint8_t surface) {
  b->velocity = Vector3{};
  b->spin = Vector3{};
  b->liftCoefficient = 0.0f;
  b->liftFactor = 0.0f;
  b->Flag(kBallFlagMoving) = 0;
  b->Flag(kBallFlagRolling) = 0;
  b->Flag(kBallFlagGrounded) = 1;
  b->restSurface = surface;
}

// The ball has left the ground of the hole or met water: it stops where it is, never below the ground.
void endInHazard(BallState* b, uint8_t surface, float groundHeight, bool water) {
  if (b->position.z < groundHeight) b->position.z = groundHeight;
  addContact(b, surface, water ? kContactWater : kContactOut, length(b->velocity));
  b->Flag(water ? kBallFlagWater : kBallFlagOutOfBounds) = 1;
  stopBall(b, surface);
}

void startRolling(BallState* b) {
  b->Flag(kBallFlagRolling) = 1;
  b->Flag(kBallFlagGrounded) = 1;
  b->Flag(kBallFlagAirborne) = 1;
}

// Keeps only the spin that the turf has yet to turn into motion: the part beyond the natural roll of the
// ball's motion along the ground.
void keepSlipSpin(BallState* b, const Vector3& n) {
  const Vector3 naturalRoll = scale(cross(n, b->velocity), 1.0f / (kTwoPi * kBallRadius));
  const Vector3 slip = sub(b->spin, naturalRoll);
  // Side spin about the normal does not drive the ball along the ground.
  b->spin = sub(slip, scale(n, dot(slip, n)));
}

// One impact with the ground (the ball moves into it): restitution c0 on the normal speed; friction c1 on
// the slip of the contact point, which brings the ball to rolling when it is strong enough; turf gives
// under a fast, steep landing and turns the impact normal back toward the ball.
void bounce(BallState* b, const Vector3& n, uint8_t surface) {
  const float speed = length(b->velocity);
  Vector3 vt = sub(b->velocity, scale(n, dot(b->velocity, n)));
  const Vector3 d = unit(vt);
  const float grip = SurfaceBounce(surface);
  const float c0 = SurfaceFriction(surface);

  Vector3 impactNormal = n;
  if (!isZero(d)) {
    const float landing = std::atan2(-dot(b->velocity, n), length(vt));
    // The deeper the ball sits down in a lie, the softer it is (fairway depth 4 inches).
    const float softness = SurfaceTable[surface >> 4].depth * 9.0f;
    const float crater = kCraterDegrees * std::numbers::pi_v<float> / 180.0f * (speed / kCraterSpeed) *
                         (landing / kCraterAngle) * softness;
    const float tilt = std::min(crater, 0.6f);
    impactNormal = unit(sub(scale(n, std::cos(tilt)), scale(d, std::sin(tilt))));
  }
  const float vn = dot(b->velocity, impactNormal);  // negative: into the ground
  const float e = restitution(c0, -vn);
  vt = sub(b->velocity, scale(impactNormal, vn));
  const float vtLen = length(vt);
  const Vector3 dir = vtLen > 0.0f ? scale(vt, 1.0f / vtLen) : d;

  // Backspin about the axis that lifts a ball moving along dir, in radians per second.
  const Vector3 backAxis = cross(dir, impactNormal);
  const float omega = isZero(dir) ? 0.0f : kTwoPi * dot(b->spin, backAxis);
  const float slip = vtLen + kBallRadius * omega;
  const float impulse = grip * (1.0f + e) * -vn;
  float along, omegaAfter;
  if (impulse >= (2.0f / 7.0f) * std::fabs(slip)) {
    along = vtLen - (2.0f / 7.0f) * slip;  // rolls: may run backwards on a strong backspin
    omegaAfter = -along / kBallRadius;
  } else {
    const float s = slip > 0.0f ? 1.0f : -1.0f;
    along = vtLen - impulse * s;
    omegaAfter = omega - 2.5f * impulse * s / kBallRadius;
  }
  const float rebound = -e * vn;
  b->velocity = add(scale(dir, along), scale(impactNormal, rebound));
  // The crater takes speed but never throws the ball up: it leaves the true ground no faster than it
  // rebounds, and never moves into it.
  const float off = dot(b->velocity, n);
  const float kept = std::clamp(off, 0.0f, rebound);
  b->velocity = add(b->velocity, scale(n, kept - off));
  const Vector3 side = scale(n, dot(b->spin, n));
  b->spin = add(scale(backAxis, omegaAfter / kTwoPi), side);

  const bool rolls = dot(b->velocity, n) < kBallRollStartSpeed;
  addContact(b, surface, rolls ? kContactRoll : kContactBounce, speed);
  if (rolls) {
    b->velocity = sub(b->velocity, scale(n, dot(b->velocity, n)));
    keepSlipSpin(b, n);
    startRolling(b);
  }
}

bool passesOverCup(const BallState* b) {
  if (!g_cup.set || length(b->velocity) > kCupCaptureSpeed) return false;
  // Nearest approach of this step's ground track to the pin.
  const float ax = b->positionStep.x, ay = b->positionStep.y;
  const float dx = b->position.x - ax, dy = b->position.y - ay;
  const float px = g_cup.pin.x - ax, py = g_cup.pin.y - ay;
  const float len2 = dx * dx + dy * dy;
  float t = len2 > 0.0f ? (px * dx + py * dy) / len2 : 0.0f;
  t = std::clamp(t, 0.0f, 1.0f);
  const float ex = px - t * dx, ey = py - t * dy;
  return ex * ex + ey * ey <= kCupRadius * kCupRadius;
}

// The rolling ball follows the ground: the slope pulls it (as a rolling sphere, five sevenths of the
// slope's pull), the lie's resistance slows it, and it stops once it is slow and the slope cannot hold it
// moving.
void roll(BallState* b, float dt, float groundHeight, const Vector3& n, uint8_t surface) {
  b->position.z = groundHeight;
  b->velocity = sub(b->velocity, scale(n, dot(b->velocity, n)));
  const Vector3 g = b->gravity;
  const Vector3 slopePull = sub(g, scale(n, dot(g, n)));
  b->velocity = sub(b->velocity, scale(slopePull, (2.0f / 7.0f) * dt));
  const float resistance = BallRollResistance(b) * kGravity;
  const float speed = length(b->velocity);
  const float slowed = speed - resistance * dt;
  b->velocity = slowed > 0.0f ? scale(b->velocity, slowed / speed) : Vector3{};

  if (passesOverCup(b)) {
    b->position = Vector3{g_cup.pin.x, g_cup.pin.y, groundHeight};
    b->Flag(kBallFlagHoled) = 1;
    stopBall(b, surface);
    return;
  }
  const bool slopeHolds = (5.0f / 7.0f) * length(slopePull) <= resistance;
  const bool slow = length(b->velocity) < kBallRestSpeed && isZero(b->spin);
  const bool tooLong = b->flightTime - b->rollStartTime >= kBallMaxRollSeconds;
  if ((slow && slopeHolds) || tooLong || b->flightTime >= kBallMaxShotSeconds) stopBall(b, surface);
}

bool finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void groundContact(BallState* b, float dt) {
  if (!finite(b->position) || !finite(b->velocity)) {
    // Damaged motion (from a bad record): the ball ends where it last was, out of play.
    b->position = finite(b->positionStep) ? b->positionStep : b->startPosition;
    b->Flag(kBallFlagOutOfBounds) = 1;
    stopBall(b, kSurfaceOutside);
    return;
  }
  const float h = GetTerrainHeight(b->position.x, b->position.y);
  const uint8_t surface = GetTerrainSurface(b->position.x, b->position.y);
  b->lie = static_cast<uint8_t>(surface >> 4);
  const bool rolling = b->Flag(kBallFlagRolling) != 0;

  if (!rolling && b->position.z > h) {
    b->Flag(kBallFlagGrounded) = 0;
    if (BallIsWaterSurface(surface)) b->Flag(kBallFlagOverWater) = 1;
    b->nearestContact = std::min(b->nearestContact, b->position.z - h);
    if (b->flightTime >= kBallMaxShotSeconds) {
      // Never left hanging in the air: it ends where it would land.
      b->position.z = h;
      stopBall(b, surface);
    }
    return;
  }
  if (surface == kSurfaceOutside) return endInHazard(b, surface, h, false);
  if (BallIsWaterSurface(surface)) {
    b->Flag(kBallFlagOverWater) = 1;
    return endInHazard(b, surface, h, true);
  }
  const Vector3 n = groundNormal(b->position.x, b->position.y);
  if (rolling) return roll(b, dt, h, n, surface);

  b->position.z = h;
  b->nearestContact = 0.0f;
  b->Flag(kBallFlagGrounded) = 1;
  if (dot(b->velocity, n) < 0.0f) {
    bounce(b, n, surface);
  } else {
    // Sliding along the ground without moving into it: roll from here.
    keepSlipSpin(b, n);
    startRolling(b);
  }
  if (b->flightTime >= kBallMaxShotSeconds) stopBall(b, surface);
}

}  // namespace

void BallSetWind(int speedWord, uint16_t heading) {
  const float speed = static_cast<float>(std::clamp(speedWord, 0, 30)) * (1760.0f / 3600.0f);
  const float r = static_cast<float>(heading) * (2.0f * std::numbers::pi_v<float> / 65536.0f);
  g_wind = speed > 0.0f ? Vector3{std::sin(r) * speed, std::cos(r) * speed, 0.0f} : Vector3{};
}

Vector3 BallWind() { return g_wind; }

void BallSetCup(const Vector3& pin) { g_cup = Cup{true, pin}; }
void BallClearCup() { g_cup = Cup{}; }

void BallSetExtraWaterCodes(uint8_t first, uint8_t second) {
  g_extraWater[0] = first;
  g_extraWater[1] = second;
}

bool BallIsWaterSurface(uint8_t surfaceByte) {
  const uint8_t code = surfaceByte & 0xF0;
  return code == kSurfaceWater || (g_extraWater[0] != 0xFF && code == (g_extraWater[0] & 0xF0)) ||
         (g_extraWater[1] != 0xFF && code == (g_extraWater[1] & 0xF0));
}

float BallRollResistance(const BallState* b) {
  const int lie = b->lie & 0x0F;
  float r = SurfaceTable[lie].c2 * SurfaceRollFactor(lie);
  if (lie == 7) return r;
  // The extra spin force stiffens the roll; its size counts whichever way it points.
  const float wz = std::fabs(0.1f * b->spinExtra.z);
  float t = wz <= 30.0f ? wz / 30.0f * 7.0f : 7.0f;
  const float e = b->flightTime - b->rollStartTime - 5.0f;
  if (e > 0.0f) t += 0.1f * e;
  return (r * t + r) * 0.7f;
}

BallEventRecord BallStep(BallState* b, float dt) {
  if (!b->Flag(kBallFlagMoving) || !(dt > 0.0f)) return BallGetEventRecord(b);

  b->positionLast = b->positionPrev;
  b->positionPrev = b->positionStep;
  b->positionStep = b->position;
  b->velocityPrev = b->velocity;

  const Vector3 v = b->velocity;
  Vector3 w{};
  float lift = 0.0f;
  if (!b->Flag(kBallFlagRolling)) {
    if (b->Flag(kBallFlagStepCount) == 0 || b->Flag(kBallFlagAeroAfterContact)) {
      w = b->spinExtra;
      lift = b->liftFactor;
      const float s = length(b->spin);
      if (s > 0.0f) {
        float next = s - length(v) * kInvRollRadius * kInvBallMass * b->spinDecayFactor * dt;
        if (next < 1.0f) next = 0.0f;
        b->spin = scale(b->spin, next / s);
      }
    }
  } else {
    if (b->rollStartTime == 0.0f) b->rollStartTime = b->flightTime;
    w = scale(b->spinExtra, 0.1f);
    const Vector3 n = groundNormal(b->position.x, b->position.y);
    const float r = BallRollResistance(b);
    const float s = length(b->spin);
    if (s > 0.0f) {
      // Rolling spin always wears off, whichever way the extra force points.
      const float drive = std::fabs(w.z) + 1.0f;
      float next = s - drive * kInvRollRadius * kInvBallMass * r * dt;
      if (next < 1.0f) next = 0.0f;
      b->spin = scale(b->spin, next / s);
    }
    // The remaining spin grips the turf and pushes the ball along spin x n over the step.
    const float rollLength = length(b->spin) * kRollVectorScale;
    const Vector3 rollDir = unit(cross(b->spin, n));
    b->velocity = add(b->velocity, scale(rollDir, rollLength * dt));
  }

  const Vector3 u = unit(cross(b->spin, b->velocity));
  const float speed = length(b->velocity);
  Vector3 a = b->gravity;
  if (isZero(g_wind)) {
    a = sub(a, scale(b->velocity, kInvBallMass * b->spinDecayFactor * speed));
  } else {
    const Vector3 air = sub(b->velocity, g_wind);  // the drag works on the motion through the air
    a = sub(a, scale(air, kInvBallMass * b->spinDecayFactor * length(air)));
  }
  a = add(a, scale(w, kInvBallMass * b->aeroFactor));
  a = add(a, scale(u, kInvBallMass * lift * speed * speed));

  b->flightTime += dt;
  const Vector3 vNew = add(b->velocity, scale(a, dt));
  b->position = add(b->position, scale(vNew, dt));
  b->velocity = vNew;

  groundContact(b, dt);
  return BallGetEventRecord(b);
}

void BallSetReplaySink(const BallReplaySink& sink) { g_sink = sink; }

int BallRunShot(BallState* b, float dt, bool record) {
  if (record) {
    if (g_sink.freeBuffer) g_sink.freeBuffer();
    if (g_sink.startRecording) g_sink.startRecording(0);
  }
  int steps = 0, frames = 0;
  uint32_t ms = 0;
  const int maxSteps =
      dt > 0.0f ? static_cast<int>(std::min(std::ceil(kBallMaxShotSeconds / dt) + 2.0f, 1.0e7f)) : 0;
  while (BallIsMoving(b) && steps < maxSteps) {
    const BallEventRecord e = BallStep(b, dt);
    ++steps;
    ms = static_cast<uint32_t>(std::lround(static_cast<double>(b->flightTime) * 1000.0));
    // The last frame is kept for the resting ball.
    if (record && g_sink.appendFrame && (frames < kReplayFrameLimit - 1 || !BallIsMoving(b)) &&
        frames < kReplayFrameLimit) {
      g_sink.appendFrame(ms, &b->position, &e, &b->velocity);
      ++frames;
    }
  }
  if (BallIsMoving(b)) {
    // Cannot happen within the time limits; never leave a shot running.
    stopBall(b, static_cast<uint8_t>(b->lie << 4));
  }
  if (record && g_sink.stopRecording) g_sink.stopRecording(ms);
  return steps;
}

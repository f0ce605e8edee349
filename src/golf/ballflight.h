#pragma once
#include <cstdint>

#include "golf/ballstate.h"

// The ball's step through flight, bounce and roll. Every value of a shot lives in its BallState, so a
// prediction copy stepped beside the live ball never changes it, and the same shot gives the same bits.

constexpr float kBallStepSeconds = 0.02f;       // the step of a live shot
constexpr float kBallRestSpeed = 0.05f;         // yd/s: slower than this the ball may stop
constexpr float kBallRollStartSpeed = 1.0f;     // yd/s: a rebound slower than this becomes a roll
constexpr float kBallMaxShotSeconds = 120.0f;   // a shot ends by this flight time whatever happens
constexpr float kBallMaxRollSeconds = 60.0f;    // and by this long after rolling began
constexpr float kCupRadius = 2.125f / 36.0f;    // yards
constexpr float kCupCaptureSpeed = 1.78f;       // yd/s: faster than this the ball runs over the cup

// Roll resistance of the ball's lie (the c2 coefficient with the golfer's settings and the time spent
// rolling); exposed for tests.
float BallRollResistance(const BallState* b);

// Advances the ball by dt seconds; a ball that is not moving is left unchanged. Returns the event record.
BallEventRecord BallStep(BallState* b, float dt);

// The cup of the current hole: while set, a slow rolling ball that passes over it drops in.
void BallSetCup(const Vector3& pin);
void BallClearCup();

// The wind of the hole, which the air drag works against: a speed word (0..30, miles per hour) and the
// 16-bit heading it blows toward (0 along +y, 0x4000 along +x). Zero is still air.
void BallSetWind(int speedWord, uint16_t heading);
Vector3 BallWind();

// Surface codes that count as water besides class 5 (a course's extra codes; 0xFF for none).
void BallSetExtraWaterCodes(uint8_t first, uint8_t second);
bool BallIsWaterSurface(uint8_t surfaceByte);

// Where the recording of live shots goes (the replay buffer installs itself). Any member may be null.
struct BallReplaySink {
  void (*freeBuffer)() = nullptr;
  void (*startRecording)(uint32_t startTime) = nullptr;
  void (*appendFrame)(uint32_t time, const Vector3* position, const BallEventRecord* record,
                      const Vector3* motion) = nullptr;
  void (*stopRecording)(uint32_t stopTime) = nullptr;
};
void BallSetReplaySink(const BallReplaySink& sink);
constexpr int kReplayFrameLimit = 1000;

// Runs a started shot until the ball stops (or the step limit), recording one frame a step into the replay
// sink when record is set (at most kReplayFrameLimit frames, the last one the resting ball). Returns steps.
int BallRunShot(BallState* b, float dt, bool record);

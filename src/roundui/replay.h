// The replay buffer: the flight of the last shot as timed frames, recorded while the ball physics steps the
// live ball and played back against a clock by the ball animation, the cameras and the after-shot replays.
#pragma once
#include <cstdint>

#include "course/vector3.h"
#include "golf/ballstate.h"

struct ReplayFrame {
  uint32_t time = 0;  // ms since the recording's start
  Vector3 position{};
  Vector3 motion{};
  uint8_t event[kBallEventBytes] = {};  // the ball's lie byte and flags at that step
};

constexpr int kReplayCapacity = 1000;
// Event bytes that sampling carries over from frames the clock skipped: ground contact, and the hazard byte
// with the bytes that go with it (in water, out of bounds).
constexpr int kReplayContactByte = kBallFlagGrounded;
constexpr int kReplayHazardByte = kBallFlagOverWater;
constexpr int kReplayHazardCompanions[3] = {kBallFlagWater, kBallFlagOutOfBounds, kBallFlagHoled};

// Recording. StartReplayRecording: 0, or 2 when the store cannot be had.
int StartReplayRecording(uint32_t startTime);
void AppendReplayFrame(uint32_t time, const Vector3* position, const BallEventRecord* record, const Vector3* motion);
void StopReplayRecording(uint32_t stopTime);
// Releases the store; the frames go with it, so afterwards no frame is held.
void FreeReplayBuffer();
bool ReplayRecording();

// Reading. Numbers outside the frames held (and every read while none is held) give a zero frame.
const ReplayFrame* GetReplayFrame(int n);
const Vector3* GetLastReplayBallPos();
const uint8_t* GetLastReplayEvent();
double ReplayFrameFraction(uint32_t n);  // 0 with fewer than two frames
double CurrentReplayFraction();
int FindReplayFrameNear(const Vector3* point, float tolerance, int* frame);
int FindReplayHighestFrame();
float GetReplayMaxHeight();
float ReplayMaxRiseAboveLine(const float* startHeight, const float* slope);
void SetReplayCurrentFrame(const int* frame);
void TruncateReplayAtCurrent();
int GetReplayFrameCount();
void SetReplayFrameCount(int count);  // kept within the frames held
bool GetReplayPlaying();
void SetReplayPlaying(bool on);
int GetReplayCurrentFrame();
uint32_t GetReplayDuration();

// Playback.
void StartReplayPlayback();
void SampleReplayAtTime(uint32_t clock);
void StepReplayPosition(Vector3* out, int32_t step);
const Vector3* GetPlaybackBallPos();
const uint8_t* GetPlaybackEvent();
const Vector3* GetPlaybackVector();
uint32_t GetReplayEndTime();
uint32_t GetPlaybackFrameClock();
uint32_t RewindReplayPlayback();
bool IsReplayBallFalling();

// Makes the ball physics record live shots here.
void InstallReplayBuffer();
// Back to the start-of-program state (tests).
void ResetReplayBuffer();

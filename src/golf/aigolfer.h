#pragma once
#include <cstdint>

#include "course/vector3.h"

// The computer golfer's decision for one turn: shot type, club, aim and swing, checked by predicting the
// shot and tried again, a number of times that grows with the skill level, while the outcome is poor.

struct AimRecord {
  int32_t stage = 0;    // 0 plans the shot for the targeting display; other values decide it
  int32_t level = 0;    // skill 0..4 (4 strongest)
  int32_t mode = -1;    // -1, the driving range's target, or 2 to force a putt
  int32_t par = 4;
  int32_t strokes = 0;  // strokes on the hole so far
  Vector3 target{};
  Vector3 start{};
  uint8_t lie = 0;      // surface code of the lie (class in the high nibble)
  uint8_t ballByteA = 0, ballByteB = 0;
  int32_t clubEntry = -1;  // the golfer's current club when the turn began
  int32_t competing = 0;
  Vector3 aimPoint{};
  Vector3 plannedTarget{};
  uint8_t club = 0xff;  // 0xff: none yet
  int32_t shotType = 1;
  // The swing chosen, and how it was found.
  float power = 0.0f;
  float curve = 0.0f;
  float trajectory = 0.0f;
  bool clubFound = false;
  bool specialTarget = false;
  int32_t attempts = 0;
  // The style a person asked the planner for: 0 its own, 1 safe (lay up within the club's reach), 2 aggressive
  // (straight at the target).
  int32_t style = 0;
};

constexpr uint8_t kNoClub = 0xff;

// Lie class 0 (best) .. 5 (worst) of a surface code (class in the high nibble).
int LieClass(uint8_t surfaceCode);

struct RetryRule {
  float hazard;
  float rough;
  int32_t shortShots;
  float shortRatio;
};
// The rule of a level (clamped to 0..4).
const RetryRule& RetryRuleFor(int level);

// Clears the record and calls the (empty) reset hook.
void ResetAimRecord(AimRecord* aim);
void AimResetHook(AimRecord* aim);
// Decides the current golfer's shot into the record; ShotAimPoint is left at the chosen aim.
void ComputerGolferPlay(AimRecord* aim);
// Frees the saved copy of the aim record.
void ComputerGolferFreeTables();
// Whether a saved copy exists (for tests).
bool ComputerGolferHasSavedCopy();

// While set, a turn makes one swing set-up without the predict-and-retry attempts.
extern bool ComputerGolferRetriesOff;
// Module flags: a long shot is being planned; a decision is running.
extern bool ComputerGolferLongShot;
extern bool ComputerGolferBusy;

// The current golfer's strokes on the current hole.
int GetCurrentHoleStrokes();

// Practice, the driving range, and the mulligan that both use.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/core/services.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"

bool TGame::UndoLastShot(int slot) {
  TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
  if (!p) return false;
  uint32_t strokes = 0, putts = 0;
  p->GetHoleScore(state.round, state.hole, &strokes, &putts);
  strokes &= ~kScoreMarker;
  if (strokes == 0) return false;
  // A lost ball was already put back where it was played, with its penalty stroke.
  const Vector3& at = p->ball.position;
  const Vector3& from = p->ballBeforeShot.position;
  const bool lost = at.x == from.x && at.y == from.y && strokes >= 2;
  const uint32_t back = lost ? 2 : 1;
  const bool putt = p->currentClub == kPutter && putts > 0;
  p->SetHoleScore(state.round, state.hole, strokes - back, putt ? putts - 1 : putts);
  p->ball = p->ballBeforeShot;
  p->holedOut = 0;
  p->UpdateStance();
  return true;
}

bool TGame::TakeMulligan(int slot) {
  TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
  if (!p || !p->MayTakeMulligan(state.hole)) return false;
  if (!UndoLastShot(slot)) return false;
  p->SpendMulligan(state.hole);
  return true;
}

bool TPracticeGame::ReplayShot(int slot) { return UndoLastShot(slot); }

void TPracticeGame::ChooseStartingHole() {
  if (holeMask & (1u << state.hole)) return;
  for (int h = 0; h < kHoles; ++h)
    if (holeMask & (1u << h)) {
      state.hole = static_cast<uint16_t>(h);
      state.firstHole = static_cast<uint16_t>(h);
      return;
    }
}

int TPracticeGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (round) *round = state.round;
  if (hole) *hole = state.hole;
  for (int h = state.hole + 1; h < kHoles; ++h)
    if (holeMask & (1u << h)) {
      if (hole) *hole = static_cast<uint16_t>(h);
      return 1;
    }
  gameOver = 1;
  return 0;
}

// The driving range.

void TDrivingRangeGame::SetRangeTarget(int index) { rangeTarget = std::clamp(index, 0, 10); }

float TDrivingRangeGame::TargetDistance() const {
  switch (facility) {
    case 1: return 10.0f + 5.0f * static_cast<float>(rangeTarget);  // chipping: 10..60 yards
    case 2: return 2.0f + 2.0f * static_cast<float>(rangeTarget);   // putting: 2..22 yards
    default: return 50.0f + 25.0f * static_cast<float>(rangeTarget);  // range: 50..300 yards
  }
}

Vector3 TDrivingRangeGame::GetTargetPoint() const {
  float dx = pinPosition.x - teePosition.x, dy = pinPosition.y - teePosition.y;
  const float len = std::sqrt(dx * dx + dy * dy);
  if (len > 0.0f) {
    dx /= len;
    dy /= len;
  } else {
    dx = 0.0f;
    dy = 1.0f;
  }
  const float d = TargetDistance();
  return Vector3{teePosition.x + dx * d, teePosition.y + dy * d, teePosition.z};
}

void TDrivingRangeGame::NewShot() {
  if (TPlayer* p = players->GetPlayer(state.currentPlayer)) {
    PlaceBallAt(p, teePosition);
    p->holedOut = 0;
  }
}

float TDrivingRangeGame::LongestCarry() const {
  float best = 0.0f;
  for (const RangeShot& s : shots) best = std::max(best, s.carry);
  return best;
}

void TDrivingRangeGame::OnShotFinished() {
  TPlayer* p = players->GetPlayer(state.currentPlayer);
  if (p) {
    const Vector3 from = p->ballBeforeShot.position;
    const Vector3 landing = p->ball.Flag(kBallFlagStepCount) ? p->ball.stepList[0].position : p->ball.position;
    const Vector3 target = GetTargetPoint();
    float lx = target.x - from.x, ly = target.y - from.y;
    const float len = std::max(std::sqrt(lx * lx + ly * ly), 1e-6f);
    lx /= len;
    ly /= len;
    auto along = [&](const Vector3& v) { return (v.x - from.x) * lx + (v.y - from.y) * ly; };
    RangeShot shot;
    shot.carry = along(landing);
    shot.total = along(p->ball.position);
    shot.offline = (p->ball.position.x - from.x) * ly - (p->ball.position.y - from.y) * lx;
    shots.push_back(shot);
  }
  if (IsHoleComplete()) {
    EndOfHole();
    return;
  }
  NewShot();
  PostGolfMessage(kGolfNextShot);
}

bool TDrivingRangeGame::IsHoleComplete() { return shotLimit != 0 && shots.size() >= shotLimit; }

int TDrivingRangeGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (round) *round = state.round;
  if (hole) *hole = state.hole;
  gameOver = 1;
  return 0;
}

std::string TDrivingRangeGame::GetScoreText(int) {
  if (shots.empty()) return std::string();
  char text[32];
  std::snprintf(text, sizeof text, "%.0f yds", static_cast<double>(shots.back().total));
  return text;
}

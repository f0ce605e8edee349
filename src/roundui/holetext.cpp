#include "roundui/holetext.h"

#include <cmath>
#include <cstdio>

#include "course/courseload.h"
#include "framework/core/services.h"
#include "golf/game.h"

namespace {

float distance3d(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

TPlayer* currentGolfer(TGame** game) {
  TGame* g = CurrentGame();
  if (game) *game = g;
  return g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
}

}  // namespace

int GetHolePar(int hole) { return Svc().catalogue->HolePar(hole); }

int GetCurrentHolePar() {
  TGame* g = CurrentGame();
  return g ? GetHolePar(g->state.hole) : 0;
}

int GetCurrentHoleHandicap() {
  TGame* g = CurrentGame();
  return g ? Svc().catalogue->HoleStrokeIndex(g->state.hole) : 0;
}

std::string FormatSignedNumber(int n) {
  char text[16];
  if (n > 0) std::snprintf(text, sizeof text, "+%d", n);
  else if (n < 0) std::snprintf(text, sizeof text, "-%u", 0u - static_cast<unsigned>(n));
  else std::snprintf(text, sizeof text, "0");
  return text;
}

std::string FormatHoleLabel(int n, bool isHole, int gameMode) {
  if (isHole && gameMode == kModeDrivingRange) {
    int k = n;
    while (k > 100) k -= 100;
    switch (k % 10) {
      case 1: return "Driving Range";
      case 2: return "Chipping Green";
      case 3: return "Putting Green";
      default: break;
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%s %d", isHole ? "Hole" : "Shot", n);
  return text;
}

std::string FormatToParText(int toPar) {
  char text[16];
  if (toPar > 0) std::snprintf(text, sizeof text, "(+%d)", toPar);
  else if (toPar < 0) std::snprintf(text, sizeof text, "(%d)", toPar);
  else std::snprintf(text, sizeof text, "(E)");
  return text;
}

std::string FormatScoreToPar(int slot) {
  TGame* g = CurrentGame();
  if (!g || !g->players || !g->players->GetPlayer(slot)) return {};
  int32_t sum = 0;
  for (int r = 0; r < g->state.round; ++r) {
    int32_t part = 0;
    if (g->GetScoreToPar(slot, r, 0, kHoles, &part) != kRecordOk) return {};
    sum += part;
  }
  const int first = g->state.firstHole;
  const int count = g->state.hole >= first ? g->state.hole - first + 1 : 0;
  int32_t part = 0;
  if (g->GetScoreToPar(slot, g->state.round, first, count, &part) != kRecordOk) return {};
  return FormatToParText(sum + part);
}

std::string FormatDistanceValue(float yards, DistanceUnit unit) {
  char text[32];
  if (yards < 1.0f) {
    int inches = static_cast<int>(yards * 36.0f);
    if (inches < 1) inches = 1;
    std::snprintf(text, sizeof text, "%d''", inches);
  } else if (unit == DistanceUnit::kFeet) {
    std::snprintf(text, sizeof text, "%d'", static_cast<int>(yards * 3.0f));
  } else {
    std::snprintf(text, sizeof text, "%dy", static_cast<int>(yards));
  }
  return text;
}

std::string FormatDistanceText(const DistanceInput& in) {
  const char* label = "To pin: ";
  float yards = 0.0f;
  DistanceUnit unit = in.putterInHand ? DistanceUnit::kFeet : DistanceUnit::kYards;
  switch (in.kind) {
    case kDistanceToHole:
      if (in.teeShot && in.teeYards > 0) yards = static_cast<float>(in.teeYards);
      else yards = distance3d(in.ball, in.pin) - 0.0667f;
      if (in.onGreen) {
        label = "To cup: ";
        unit = in.arcShown && !in.putterInHand ? DistanceUnit::kYards : DistanceUnit::kFeet;
      }
      break;
    case kDistanceTarget:
      label = "Target: ";
      yards = distance3d(in.ball, in.point);
      break;
    default:
      label = "Shot dist: ";
      yards = distance3d(in.shotStart, in.ball);
      break;
  }
  return label + FormatDistanceValue(yards, unit);
}

std::string FormatDistanceText(int kind, const Vector3* point) {
  TGame* g = nullptr;
  TPlayer* p = currentGolfer(&g);
  if (!p) return {};
  DistanceInput in;
  in.kind = kind;
  in.ball = p->ball.position;
  in.pin = g->pinPosition;
  in.point = point ? *point : g->GetTargetPoint();
  in.shotStart = p->ballBeforeShot.position;
  in.onGreen = IsGreenLie(p->ball.lie);
  in.putterInHand = p->currentClub == kPutter;
  uint32_t strokes = 0;
  p->GetHoleScore(g->state.round, g->state.hole, &strokes, nullptr);
  const int hole = g->state.hole;
  if ((strokes & ~kScoreMarker) == 0 && p->ball.lie == 6 && GetHolePar(hole) != 3 && hole >= 0 && hole < kCourseHoles) {
    in.teeShot = true;
    const int teeSet = g->state.teeSet & 3;  // 0 red, 1 white, 2 blue, 3 tournament
    in.teeYards = CurrentCourse().card.yards[3 - teeSet][hole];
  }
  return FormatDistanceText(in);
}

std::string FormatElevationValue(float heightDifferenceYards, int* above) {
  const float d = heightDifferenceYards * 36.0f;
  if (above) *above = d > 0.0f ? 1 : 0;
  const bool feet = d < -24.0f || d >= 24.0f;
  const float magnitude = std::fabs(feet ? d / 12.0f : d);
  if (magnitude < 1.0f) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%d%s", static_cast<int>(magnitude), feet ? "'" : "''");
  return text;
}

std::string FormatElevationText(int kind, const Vector3* point, int* above) {
  TGame* g = nullptr;
  TPlayer* p = currentGolfer(&g);
  float d = 0.0f;
  if (p && kind == 0) d = g->pinPosition.z - p->ball.position.z;
  else if (p && kind == 1) d = (point ? point->z : g->pinPosition.z) - p->ball.position.z;
  return FormatElevationValue(d, above);
}

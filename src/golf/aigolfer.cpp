// The computer golfer: club by distance, aim by predicting candidate shots, and the predict-and-retry
// attempts whose spread and patience depend on the skill level.
#include "golf/aigolfer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/ballflight.h"
#include "golf/ballmath.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "golf/launch.h"
#include "golf/predict.h"

using namespace ballmath;

bool ComputerGolferRetriesOff = false;
bool ComputerGolferLongShot = false;
bool ComputerGolferBusy = false;

namespace {

constexpr RetryRule kRules[5] = {
    {0.0f, 0.0f, 3, 0.04f}, {2.0f, 0.0f, 2, 0.03f}, {3.0f, 1.0f, 1, 0.02f},
    {4.0f, 1.0f, 1, 0.01f}, {5.0f, 3.0f, 0, 0.0f},
};
constexpr int kMaxAttempts = 25;
constexpr float kPuttBeyond = 0.4f;  // yards

std::unique_ptr<AimRecord> g_saved;

float groundDistance(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

bool puttingLie(uint8_t lie) { return lie == 0x70 || lie == 0xb0; }

// The club's distance for the search: its reach for the shot type, scaled by the golfer's distance setting
// (not the putter), times the square of the launch factor, and once more k x 0.9 for the short-game types.
float searchDistance(const playerInfo_s* g, int club, int shotType) {
  float reach = static_cast<float>(GetClubLaunchData(club, shotType).reach);
  if (club != kPutter) {
    const int setting = g ? g->levelPreset : 0;
    reach *= setting == 1 ? 0.9f : setting == 2 ? 0.8f : 1.0f;
  }
  float k = 1.0f;
  BallClubAdjustment(club, &k, 0, 0);
  float d = reach * k * k;
  if (shotType != 1) d *= k * 0.9f;
  return d;
}

// Power that brings the predicted finish of a straight shot toward `aim` to the aim's distance. A putt
// toward the hole is struck at the middle of the powers that hole it (a holed ball is a success, not a short
// one); when none is found, at the power that dies a little past the hole.
float solvePower(const BallState& ball, const Vector3& aim) {
  const bool putt = ActiveGolferRecord && ActiveGolferRecord->currentClub == kPutter;
  const float want = groundDistance(ball.position, aim) + (putt ? kPuttBeyond : 0.0f);
  const Vector3 dir = unit(Vector3{aim.x - ball.position.x, aim.y - ball.position.y, 0.0f});
  ShotAimPoint = aim;
  // 0 short, 1 holed, 2 long enough.
  auto outcome = [&](float power) {
    PredictShot(power, 0.0f, 0.0f, &ball);
    if (putt && ShotPrediction.holed) return 1;
    const Vector3 f = ShotPrediction.finalPosition;
    const float along = (f.x - ball.position.x) * dir.x + (f.y - ball.position.y) * dir.y;
    return along < want ? 0 : 2;
  };
  float lo = 0.02f, hi = 1.0f;
  float holedAt = -1.0f;
  for (int i = 0; i < 9; ++i) {
    const float mid = 0.5f * (lo + hi);
    const int r = outcome(mid);
    if (r == 1 && holedAt < 0.0f) holedAt = mid;
    if (r == 0) lo = mid;
    else hi = mid;
  }
  if (!putt || holedAt < 0.0f) return 0.5f * (lo + hi);
  // The weakest holing power is near hi; the strongest lies between holedAt and 1.
  const float weakest = hi;
  float a = std::max(holedAt, weakest), b = 1.0f;
  for (int i = 0; i < 9; ++i) {
    const float mid = 0.5f * (a + b);
    if (outcome(mid) == 1) a = mid;
    else b = mid;
  }
  return 0.5f * (weakest + a);
}

bool hazardFinish() {
  const uint8_t cls = ShotPrediction.finalSurface & 0xF0;
  return ShotPrediction.waterInPlay || cls == 0x20 || cls == kSurfaceWater || cls == 0x90;
}

// How good a predicted finish is for reaching the target: lower is better.
float finishScore(const Vector3& target) {
  const float lie = static_cast<float>(LieClass(ShotPrediction.finalSurface & 0xF0));
  const float hazard = hazardFinish() ? 200.0f : 0.0f;
  const float holed = ShotPrediction.holed ? -1000.0f : 0.0f;
  return lie * 40.0f + hazard + holed + groundDistance(ShotPrediction.finalPosition, target);
}

// Candidate aims around a line toward the target; each one's power solved, the best finish kept.
void searchAims(AimRecord* aim, const BallState& ball, float reach, const float* offsets, int offsetCount,
                const float* shares, int shareCount) {
  const Vector3 start = ball.position;
  const float toTarget = groundDistance(start, aim->target);
  const Vector3 dir = unit(Vector3{aim->target.x - start.x, aim->target.y - start.y, 0.0f});
  const Vector3 side{dir.y, -dir.x, 0.0f};
  const float base = std::min(toTarget, reach);
  // In a wind the line is moved across by the drift of a straight shot, so the candidates lie around where
  // the ball would come down.
  float drift = 0.0f;
  const Vector3 wind = BallWind();
  if (wind.x != 0.0f || wind.y != 0.0f) {
    const Vector3 c{start.x + dir.x * base, start.y + dir.y * base, 0.0f};
    PredictShot(solvePower(ball, c), 0.0f, 0.0f, &ball);
    const Vector3 f = ShotPrediction.finalPosition;
    drift = (f.x - start.x) * side.x + (f.y - start.y) * side.y;
  }
  float best = 1e30f;
  for (int d = 0; d < shareCount; ++d)
    for (int o = 0; o < offsetCount; ++o) {
      const float along = base * shares[d];
      const float across = offsets[o] - drift;
      const Vector3 c{start.x + dir.x * along + side.x * across, start.y + dir.y * along + side.y * across, 0.0f};
      const float power = solvePower(ball, c);
      PredictShot(power, 0.0f, 0.0f, &ball);
      const float score = finishScore(aim->target);
      if (score < best) {
        best = score;
        aim->aimPoint = c;
        aim->power = power;
      }
    }
  aim->curve = 0.0f;
  aim->trajectory = 0.0f;
}

// The aim search: lay-up and approach points across the fairway.
void aimSearch(AimRecord* aim, const BallState& ball, const playerInfo_s* g) {
  static constexpr float kOffsets[] = {0.0f, -12.0f, 12.0f, -24.0f, 24.0f};
  static constexpr float kShares[] = {1.0f, 0.88f, 0.76f};
  const float reach = aim->club <= kPutter ? searchDistance(g, aim->club, aim->shotType) : 250.0f;
  searchAims(aim, ball, std::max(reach, 1.0f), kOffsets, 5, kShares, 3);
}

// The compensated aim: the target itself, with small corrections across the line for slope and wind.
void compensatedAim(AimRecord* aim, const BallState& ball) {
  static constexpr float kPuttOffsets[] = {0.0f, -0.3f, 0.3f, -0.8f, 0.8f};
  static constexpr float kOffsets[] = {0.0f, -4.0f, 4.0f};
  static constexpr float kShares[] = {1.0f};
  const bool putt = aim->club == kPutter;
  searchAims(aim, ball, groundDistance(ball.position, aim->target), putt ? kPuttOffsets : kOffsets, putt ? 5 : 3,
             kShares, 1);
}

float randomUnit() { return static_cast<float>(Svc().scene->Random15() % 2001 - 1000) / 1000.0f; }

}  // namespace

int LieClass(uint8_t code) {
  switch (code & 0xF0) {
    case 0x70: return 0;
    case 0x10: case 0xb0: return 1;
    case 0x30: case 0xa0: return 2;
    case 0x40: case 0x60: return 3;
    case 0x20: case 0x80: return 4;
    default: return 5;
  }
}

const RetryRule& RetryRuleFor(int level) { return kRules[std::clamp(level, 0, 4)]; }

void AimResetHook(AimRecord*) {}

void ResetAimRecord(AimRecord* aim) {
  if (!aim) return;
  *aim = AimRecord{};
  AimResetHook(aim);
  // A new turn plans afresh.
  g_saved.reset();
}

void ComputerGolferFreeTables() { g_saved.reset(); }

bool ComputerGolferHasSavedCopy() { return g_saved != nullptr; }

int GetCurrentHoleStrokes() {
  TGame* game = CurrentGame();
  if (!game) return 0;
  TPlayer* p = game->players->GetPlayer(game->state.currentPlayer);
  uint32_t strokes = 0;
  if (!p || p->GetHoleScore(game->state.round, game->state.hole, &strokes, nullptr) != kRecordOk) return 0;
  return static_cast<int>(strokes & ~kScoreMarker);
}

void ComputerGolferPlay(AimRecord* aim) {
  TGame* game = CurrentGame();
  if (!aim || !game) return;
  TPlayer* g = game->players->GetPlayer(game->state.currentPlayer);
  if (!g) return;
  ComputerGolferBusy = true;
  ActiveGolferRecord = g;

  // 1. The ball as it lies, its shot values cleared.
  BallResetContact(&g->ball);
  aim->mode = game->mode == kModeDrivingRange ? static_cast<int32_t>(game->holeWord) : -1;

  // 2. The level, one lower when another golfer competes.
  aim->level = std::clamp(static_cast<int>(game->GetProSkill()), 0, 4);
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* o = game->players->GetPlayer(s);
    if (s == game->state.currentPlayer || !o || !(o->flags & kGolferTakesPart) || o->carriedWord1 == 0) continue;
    aim->competing = 1;
    aim->level = std::max(aim->level - 1, 0);
    break;
  }

  // 3. The choice starts clear.
  aim->club = kNoClub;
  aim->shotType = 1;
  aim->par = Svc().catalogue->HolePar(game->state.hole);
  aim->strokes = GetCurrentHoleStrokes();
  aim->start = g->ball.position;
  aim->lie = static_cast<uint8_t>((g->ball.lie & 0x0F) << 4);
  aim->ballByteA = g->ballByte11;
  aim->ballByteB = g->ballByte12;
  aim->clubEntry = g->currentClub;
  aim->target = game->GetTargetPoint();
  const float toTarget = groundDistance(aim->start, aim->target);

  // 4. Shot type and club.
  if (puttingLie(aim->lie) || aim->mode == 2) {
    aim->club = kPutter;
    aim->shotType = kShotTypePutt;
    aim->clubFound = true;
  } else {
    int type = LieClass(aim->lie) < 4 ? 6 : 4;
    int club = LieClass(aim->lie) < 4 ? 10 : 16;
    for (;;) {
      g->SetClub(club);
      g->SetShotType(static_cast<uint32_t>(type));
      if (toTarget < searchDistance(g, club, type)) {
        aim->clubFound = true;
        break;
      }
      if (type == 6 || type == 5) {
        --type;
        club = NextClubInBag(g, club);
      } else if (type == 4) {
        type = 1;
        g->SetShotType(1);
        club = ChooseClubForAim(g, toTarget);
      } else {
        break;
      }
    }
    aim->club = static_cast<uint8_t>(club);
    aim->shotType = type;
  }
  g->SetClub(aim->club);
  g->SetShotType(static_cast<uint32_t>(aim->shotType));

  // 5. Long shots.
  if (aim->stage == 1 && toTarget > 2.0f) ComputerGolferLongShot = true;

  const BallState ball = g->ball;
  if (aim->stage == 0) {
    // 6. Plan for the targeting display.
    aim->specialTarget = aim->style == 1 || (aim->style != 2 && aim->lie == 0x60 && aim->par > 3);
    if (aim->specialTarget) {
      const Vector3 dir = unit(Vector3{aim->target.x - aim->start.x, aim->target.y - aim->start.y, 0.0f});
      const float d = std::min(toTarget, searchDistance(g, aim->club, aim->shotType) * 0.95f);
      aim->plannedTarget = Vector3{aim->start.x + dir.x * d, aim->start.y + dir.y * d, 0.0f};
    } else {
      aim->plannedTarget = aim->target;
    }
    aim->aimPoint = aim->plannedTarget;
    aim->power = solvePower(ball, aim->plannedTarget);
    PredictShot(aim->power, 0.0f, 0.0f, &ball);
    const Vector3 landing = ShotPrediction.landingPosition;
    if (groundDistance(landing, aim->start) - groundDistance(aim->plannedTarget, aim->start) < -10.0f &&
        !aim->specialTarget)
      aimSearch(aim, ball, g);
    g_saved = std::make_unique<AimRecord>(*aim);
  } else {
    // 7. Decide the aim.
    if (!aim->clubFound || (aim->stage == 1 && aim->club < 16 && toTarget >= 50.0f)) aimSearch(aim, ball, g);
    else compensatedAim(aim, ball);
    if (g_saved && g_saved->club != kNoClub) {
      const int32_t stage = aim->stage;
      *aim = *g_saved;
      aim->stage = stage;
      g->SetClub(aim->club);
      g->SetShotType(static_cast<uint32_t>(aim->shotType));
    }
  }
  ShotAimPoint = aim->aimPoint;

  // 8, 9. Predict and retry.
  if (!ComputerGolferRetriesOff) {
    const RetryRule& rule = RetryRuleFor(aim->level);
    const float spread = static_cast<float>(5 - aim->level) * (aim->club == kPutter ? 0.008f : 0.012f);
    const float curveSpread = aim->club == kPutter ? 0.0f : static_cast<float>(5 - aim->level) * 1.5f;
    const float basePower = aim->power;
    for (int n = 0; n < kMaxAttempts; ++n) {
      aim->attempts = n + 1;
      const float power = std::max(0.0f, basePower * (1.0f + spread * randomUnit()));
      const float curve = curveSpread * randomUnit();
      aim->power = power;
      aim->curve = curve;
      ShotAimPoint = aim->aimPoint;
      PredictShot(power, curve, aim->trajectory, &ball);
      const float dToTarget = groundDistance(ShotPrediction.finalPosition, aim->target);
      const float dTravel = groundDistance(ShotPrediction.finalPosition, aim->start);
      const int f = ShotPrediction.holed ? 0 : LieClass(ShotPrediction.finalSurface);
      const float fn = static_cast<float>(n);
      bool reject = (fn < rule.hazard && hazardFinish()) || f > 4 ||
                    (n < rule.shortShots && aim->club != kPutter && rule.shortRatio > 0.0f &&
                     dToTarget < dTravel / rule.shortRatio) ||
                    (fn < rule.rough && f > 1);
      if (aim->competing == 1) {
        const int d = aim->strokes + 1 - aim->par;
        const bool aggressive = g->carriedWord2 != 0;
        reject = reject || (d < 0 && aggressive) || (d < -1 && dToTarget < 3.5f) || (d < -2 && f < 1) ||
                 (d < -2 && dToTarget < 10.0f);
      }
      if (!reject) break;
    }
  }
  ShotAimPoint = aim->aimPoint;

  // 10.
  ComputerGolferLongShot = false;
  ComputerGolferBusy = false;
}

void TAIPlayer::TakeTurn() {
  AimRecord aim;
  ResetAimRecord(&aim);
  aim.stage = 2;
  ComputerGolferPlay(&aim);
  // The decision already holds the swing's spread: the shot is played as predicted.
  const bool keep = ComputerChoiceSwitch;
  ComputerChoiceSwitch = true;
  ShotAimPoint = aim.aimPoint;
  PlayCurrentShot(aim.power, aim.curve, aim.trajectory);
  ComputerChoiceSwitch = keep;
}

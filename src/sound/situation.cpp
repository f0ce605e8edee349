#include "sound/situation.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/aigolfer.h"
#include "golf/ballflight.h"
#include "golf/game.h"
#include "golf/launch.h"
#include "golf/predict.h"

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

const BallState* BallOrCurrent(const BallState* ball) {
  if (ball) return ball;
  const TPlayer* p = SituationGolfer();
  return p ? &p->ball : nullptr;
}

int Par(int hole) { return Svc().catalogue->HolePar(hole); }

float GroundAngle(float dx, float dy) {
  const float a = std::atan2(dx, dy);  // 0 along +y, a quarter turn along +x
  return a < 0.0f ? a + kTwoPi : a;
}

}  // namespace

TGame* SituationGame() { return CurrentGame(); }

TPlayer* SituationGolfer() {
  TGame* g = CurrentGame();
  return g && g->players ? g->players->GetPlayer(g->state.currentPlayer) : nullptr;
}

int SituationSlot() {
  TGame* g = CurrentGame();
  return g ? g->state.currentPlayer : -1;
}

float GetBallToPinDistance(const BallState* ball) {
  const BallState* b = BallOrCurrent(ball);
  const TGame* g = CurrentGame();
  if (!b || !g) return 0.0f;
  const Vector3& pin = g->pinPosition;
  const float dx = pin.x - b->position.x, dy = pin.y - b->position.y, dz = pin.z - b->position.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz) * 36.0f;
}

float GetPinRise(const BallState* ball) {
  const BallState* b = BallOrCurrent(ball);
  const TGame* g = CurrentGame();
  return b && g ? (g->pinPosition.z - b->position.z) * 36.0f : 0.0f;
}

float GetLandingRise(const BallState* ball) {
  const BallState* b = BallOrCurrent(ball);
  float x = 0, y = 0, height = 0;
  if (!b || !Svc().round->ArcLandingPoint(&x, &y, &height)) return 0.0f;
  return (height - b->position.z) * 3.0f;
}

float GetBallPositionX() {
  const BallState* b = BallOrCurrent(nullptr);
  return b ? b->position.x : 0.0f;
}
float GetBallPositionZ() {
  const BallState* b = BallOrCurrent(nullptr);
  return b ? b->position.y : 0.0f;
}
float GetPinPositionX() {
  const TGame* g = CurrentGame();
  return g ? g->pinPosition.x : 0.0f;
}
float GetPinPositionZ() {
  const TGame* g = CurrentGame();
  return g ? g->pinPosition.y : 0.0f;
}

bool GetGreenCentre(Vector3* out) {
  const TerrainGrid& grid = CurrentTerrain();
  double sumX = 0, sumY = 0;
  uint64_t count = 0;
  for (uint32_t j = 0; j < grid.depth; ++j)
    for (uint32_t i = 0; i < grid.width; ++i) {
      const int lie = GetGridCellSurface(i, j) >> 4;
      if (lie != kLieGreen && lie != kLieFringe) continue;
      sumX += grid.originX - static_cast<double>(i);
      sumY += static_cast<double>(j) - grid.originY;
      ++count;
    }
  // A hole without green cells has no centre (rather than dividing by zero).
  if (count == 0 || !out) return false;
  out->x = static_cast<float>(sumX / static_cast<double>(count)) - 0.5f;
  out->y = static_cast<float>(sumY / static_cast<double>(count)) - 0.5f;
  out->z = GetTerrainHeight(out->x, out->y);
  return true;
}

float GetPinOffsetFromGreenCentreX() {
  Vector3 c{};
  return GetGreenCentre(&c) ? c.x - GetPinPositionX() : 0.0f;
}
float GetPinOffsetFromGreenCentreZ() {
  Vector3 c{};
  return GetGreenCentre(&c) ? c.y - GetPinPositionZ() : 0.0f;
}

int HoleStrokes(int slot, int round, int hole) {
  TGame* g = CurrentGame();
  TPlayer* p = g && g->players ? g->players->GetPlayer(slot) : nullptr;
  uint32_t strokes = 0;
  if (!p || p->GetHoleScore(round, hole, &strokes, nullptr) != kRecordOk) return 0;
  return static_cast<int>(strokes & ~kScoreMarker);
}

int NetHoleStrokes(int slot, int round, int hole) {
  const int s = HoleStrokes(slot, round, hole);
  TGame* g = CurrentGame();
  return s > 0 && g && g->HasHandicapStroke(slot, hole) ? s - 1 : s;
}

int GetCurrentHoleNetStrokes() {
  const TGame* g = CurrentGame();
  return g ? NetHoleStrokes(g->state.currentPlayer, g->state.round, g->state.hole) : 0;
}

int GolferScoreToPar(int slot) {
  const TGame* g = CurrentGame();
  if (!g) return 0;
  int total = 0;
  for (int r = 0; r < g->state.round && r < kRounds; ++r) {
    int32_t v = 0;
    if (g->GetScoreToPar(slot, r, 0, kHoles, &v) == kRecordOk) total += v;
  }
  int32_t v = 0;
  const int first = g->state.firstHole;
  if (g->GetScoreToPar(slot, g->state.round, first, g->state.hole - first, &v) == kRecordOk) total += v;
  return total;
}

int GetRoundScoreToPar() { return GolferScoreToPar(SituationSlot()); }

bool GolferStillPlaying(int slot) {
  const TGame* g = CurrentGame();
  const TPlayer* p = g && g->players ? g->players->GetPlayer(slot) : nullptr;
  return p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferOut);
}

bool GolferHoledOut(int slot) {
  const TGame* g = CurrentGame();
  const TPlayer* p = g && g->players ? g->players->GetPlayer(slot) : nullptr;
  return p && p->holedOut != 0;
}

void CountFinishedPlayers(int n, int* finished, int* counted) {
  int f = 0;
  for (int s = 0; s < n && s < TPlayerList::kSlots; ++s)
    if (GolferHoledOut(s)) ++f;
  if (finished) *finished = f;
  if (counted) *counted = n;
}

void FindHighestHoleScore(int n, int round, int hole, int* index, bool* shared) {
  const int current = SituationSlot();
  int best = -1, at = n;
  bool tie = false;
  for (int s = 0; s < n && s < TPlayerList::kSlots; ++s) {
    int score = HoleStrokes(s, round, hole) + (GolferHoledOut(s) ? 0 : 1);
    TGame* g = CurrentGame();
    if (score > 0 && g && g->HasHandicapStroke(s, hole)) --score;
    if (score > best) {
      best = score;
      at = s;
      tie = false;
    } else if (score == best) {
      tie = true;
      if (at != current) at = s;
    }
  }
  if (index) *index = at;
  if (shared) *shared = tie;
}

void FindBestNetStrokesOnHole(int round, int hole, int* index, int* strokes) {
  const int current = SituationSlot();
  int best = 0x7FFFF, at = -1;
  TGame* g = CurrentGame();
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (!GolferStillPlaying(s)) continue;
    int v = HoleStrokes(s, round, hole);
    if (s == current && GolferHoledOut(s)) ++v;
    if (!GolferHoledOut(s) && !strokes) ++v;
    if (v > 0 && g && g->HasHandicapStroke(s, hole)) --v;
    if (v < best) {
      best = v;
      at = s;
    } else if (v == best) {
      at = -1;
    }
  }
  if (index) *index = at;
  if (strokes) *strokes = best;
}

int GetBestOpponentStrokes(int round, int hole) {
  const int current = SituationSlot();
  const int mine = NetHoleStrokes(current, round, hole);
  int bestFinished = 0x7FFFF, bestProjected = 0x7FFFF;
  bool others = false;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (s == current || !GolferStillPlaying(s)) continue;
    others = true;
    const int net = NetHoleStrokes(s, round, hole);
    if (GolferHoledOut(s)) bestFinished = std::min(bestFinished, net);
    bestProjected = std::min(bestProjected, net + 1);
  }
  if (!others || mine + 1 < bestProjected) return 1;
  return mine + 1 == bestFinished ? 0 : -1;
}

void CountSameResultStreak(int* toPar, int* run) {
  const TGame* g = CurrentGame();
  int t = 0, r = 1;
  if (g) {
    const int slot = g->state.currentPlayer;
    t = GetCurrentHoleNetStrokes() + 1 - Par(g->state.hole);
    const int last = g->state.round > 0 ? 0 : g->state.firstHole;
    for (int h = g->state.hole - 1; h >= last; --h) {
      if (NetHoleStrokes(slot, g->state.round, h) - Par(h) != t) break;
      ++r;
    }
  }
  if (toPar) *toPar = t;
  if (run) *run = r;
}

int GetHoleWinnerIfHoled(int* winner, bool* tie) {
  TGame* g = CurrentGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p) return 0;
  const uint32_t holed = p->holedOut;
  p->AddHoleScore(g->state.round, g->state.hole, 1, 0);
  p->holedOut = 1;
  uint16_t w = 4;
  const int decided = g->GetHoleWinner(&w, true);
  p->holedOut = holed;
  p->AddHoleScore(g->state.round, g->state.hole, -1, 0);
  // The winner's slot, 4 when the hole is halved.
  if (winner) *winner = w;
  if (tie) *tie = decided == 1 && w >= TPlayerList::kSlots;
  return decided == 1 ? 1 : 0;
}

int PredictHoleOutcome() {
  int winner = 4;
  bool tie = false;
  if (!GetHoleWinnerIfHoled(&winner, &tie)) return -1;
  if (tie) return 0;
  const int current = SituationSlot();
  if (winner == current) return 1;
  TGame* g = CurrentGame();
  if (g && (g->mode == kModeFourBall || g->mode == kModeFoursome)) {
    const auto* match = static_cast<const TMatchPlayGame*>(g);
    if (winner >= 0 && winner < TPlayerList::kSlots && match->PartnerOf(winner) == current) return 1;
  }
  return -1;
}

float PredictPuttBreak() {
  TGame* g = CurrentGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p) return 0.0f;
  const Vector3 start = p->ball.position, pin = g->pinPosition;
  const float pinAngle = GroundAngle(pin.x - start.x, pin.y - start.y);
  const float toPin = std::hypot(pin.x - start.x, pin.y - start.y);
  float strength = Svc().round->MeterPower();
  if (!(strength > 0.0f) || !std::isfinite(strength)) strength = 1.0f;
  BallState trial;
  {
    ShotValuesKept kept;
    ShotAimPoint = pin;
    for (int attempt = 0; attempt < 6; ++attempt) {
      trial = p->ball;
      BallLaunchTrial(&trial, strength);
      BallFlightStart(&trial);
      BallRunShot(&trial, kPredictStepSeconds, false);
      const float rolled = std::hypot(trial.position.x - start.x, trial.position.y - start.y);
      if (rolled <= 0.0f) break;
      const float ratio = toPin / rolled;
      if (ratio >= 0.9f && ratio <= 1.1f) break;
      strength = std::clamp(strength * ratio * ratio, 0.01f, 4.0f);
    }
  }
  float a = GroundAngle(trial.position.x - start.x, trial.position.y - start.y) - pinAngle;
  if (a < 0.0f) a += kTwoPi;
  if (a > kTwoPi) a -= kTwoPi;
  return a;
}

int GetFairwaySide() {
  const float x = GetBallPositionX(), y = GetBallPositionZ();
  if ((GetTerrainSurface(x, y) >> 4) != kLieFairway) return 99;
  const TerrainGrid& grid = CurrentTerrain();
  const int steps = static_cast<int>(grid.width);
  auto fairway = [y](float at) { return (GetTerrainSurface(at, y) >> 4) == kLieFairway; };
  float left = grid.originX;
  for (int i = 0; i < steps && !fairway(left); ++i) left -= 1.0f;
  float right = -grid.originX;
  for (int i = 0; i < steps && !fairway(right); ++i) right += 1.0f;
  const int l = static_cast<int>(left), r = static_cast<int>(right), q = (l - r) / 4;
  const int bx = static_cast<int>(x);
  if (bx > l - q) return 0;
  if (bx < r + q) return 1;
  return 2;
}

bool IsPracticeOrTournamentMode(uint16_t mode) { return mode == kModePractice || mode == kModeTournament; }
bool IsTournamentMode(uint16_t mode) { return mode == kModeTournament || mode == kModeNetTournament; }

void GetTournamentStanding(int slot, int* place, int* score, int* scoreAhead, int* nextScore, int* flag) {
  int pl = 0, sc = 0, ahead = 0, next = 0, fl = 0;
  TGame* g = CurrentGame();
  if (g && g->mode == kModeTournament) {
    auto* t = static_cast<TTournamentGame*>(g);
    const int entrant = slot + TTournamentGame::kFieldComputers;
    const auto& table = t->standings;
    size_t own = table.size();
    for (size_t i = 0; i < table.size(); ++i)
      if (table[i].entrant == entrant) own = i;
    if (own < table.size()) {
      sc = ahead = next = table[own].toPar;
      fl = table[own].tied ? 1 : 0;
      pl = 1;
      for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].toPar >= sc) {
          if (table[i].toPar > sc) next = table[i].toPar;
          break;
        }
        ahead = table[i].toPar;
        if (i + 1 < table.size() && table[i + 1].toPar != table[i].toPar) ++pl;
      }
    }
  }
  if (place) *place = pl;
  if (score) *score = sc;
  if (scoreAhead) *scoreAhead = ahead;
  if (nextScore) *nextScore = next;
  if (flag) *flag = fl;
}

void GetFieldStanding(int* best, int* second, int* place, int* sharing, int round, int score) {
  std::vector<int> scores;
  TGame* g = CurrentGame();
  int fieldSize = 0;
  if (g && g->mode == kModeTournament) {
    auto* t = static_cast<TTournamentGame*>(g);
    fieldSize = std::min(t->FieldSize(), TTournamentGame::kFieldComputers);
    int progress = std::min(g->state.hole + 6, kHoles);
    for (int e = 0; e < TTournamentGame::kFieldComputers; ++e) {
      if (!t->present[e]) {
        scores.push_back(999);
      } else {
        int total = 0;
        for (int r = 0; r < round && r < kRounds; ++r) total += t->GetEntrantScore(e, r, kHoles);
        total += t->GetEntrantScore(e, round, progress);
        scores.push_back(total);
      }
      if (progress < kHoles && e % 4 == 3) ++progress;
    }
  }
  std::sort(scores.begin(), scores.end());
  if (fieldSize <= 0) fieldSize = static_cast<int>(scores.size());
  const int b = scores.empty() ? 999 : scores[0];
  int share = 0, sec = b;
  for (int i = 1; i < fieldSize && i < static_cast<int>(scores.size()); ++i) {
    if (scores[static_cast<size_t>(i)] != b) {
      sec = scores[static_cast<size_t>(i)];
      break;
    }
    ++share;
  }
  int pl = 0;
  for (size_t i = 0; i < scores.size(); ++i)
    if (scores[i] == score) {
      pl = static_cast<int>(i) + 1;
      break;
    }
  if (score < b) pl = 1;
  if (best) *best = b;
  if (second) *second = sec;
  if (place) *place = pl;
  if (sharing) *sharing = share;
}

int MatchStanding(int slot) {
  TGame* g = CurrentGame();
  if (!g || (g->mode != kModeMatchPlay && g->mode != kModeFourBall && g->mode != kModeFoursome)) return 0;
  const auto* match = static_cast<const TMatchPlayGame*>(g);
  return match->GetStanding(match->SideOf(slot));
}

int HolesLeftInRound() {
  const TGame* g = CurrentGame();
  return g ? g->state.holeCount + g->state.firstHole - g->state.hole : 0;
}

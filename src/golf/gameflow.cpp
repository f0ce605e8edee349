// The round as the base game runs it: holes, turns, shots and their scoring.
#include "golf/gameflow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "course/holedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/ballflight.h"
#include "golf/golfmsg.h"
#include "golf/launch.h"
#include "golf/overhead.h"
#include "golf/wind.h"

namespace {

Vector3 cellCentre(uint32_t cell) {
  const TerrainGrid& g = CurrentTerrain();
  Vector3 p{};
  if (g.width == 0) return p;
  GridCellCentreToWorld(static_cast<int32_t>(cell % g.width), static_cast<int32_t>(cell / g.width), &p);
  return p;
}

}  // namespace

void PlaceBallAt(TPlayer* p, const Vector3& at) {
  BallStateReset(&p->ball);
  BallPlaceAt(&p->ball, at);
  BallUpdateGround(&p->ball);
  p->ballBeforeShot = p->ball;
  p->UpdateStance();
}

void TGame::ShowHoleStatus() { PostGolfMessage(kGolfShowGolfer); }

void TGame::StartHole() {
  // A new round: nothing of an earlier game's handshakes or timers carries over.
  ResetGolfHandler();
  roundRunning = 1;
  finishing = 0;
  finalResultsShown = 0;
  GolfState.firstShotOfGame = 1;
  ChooseStartingHole();
  if (networked && Svc().network->CommType() == 0) LogGameStart();
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p) continue;
    // The game's course conditions: wind, fairways, greens.
    p->windCondition = static_cast<uint8_t>(GetOptionField(0));
    p->fairwayCondition = static_cast<uint8_t>(GetOptionField(2));
    p->greenCondition = static_cast<uint8_t>(GetOptionField(4));
  }
  PostGolfMessage(kGolfHoleStart);
}

void TGame::SetUpPlayers() {
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = players->GetPlayer(s);
    if (p && (p->flags & kGolferTakesPart)) {
      state.currentPlayer = static_cast<uint16_t>(s);
      break;
    }
  }
  AfterPlayersSetUp();
}

int TGame::LoadHole() {
  const std::string file = Svc().catalogue->HoleFile(state.round, state.hole);
  if (file.empty()) return kHoleFileError;
  const int result = LoadHoleData(file);
  if (result != kHoleOk) return result;
  const HoleRecord& r = CurrentHoleRecord();
  uint32_t tee = r.teeStart[state.teeSet % 4];
  for (int k = 0; tee == 0 && k < 4; ++k) tee = r.teeStart[k];
  uint32_t pin = 0;
  for (int k = 0; pin == 0 && k < 4; ++k) pin = r.pins[k];
  teePosition = cellCentre(tee);
  pinPosition = pin ? cellCentre(pin) : teePosition;
  BallSetCup(pinPosition);
  SetupWind();
  holeFile = file;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = players->GetPlayer(s)) PlaceBallAt(p, teePosition);
  return kHoleOk;
}

void TGame::SetupWind() {
  uint32_t x = view ? view->seed : 0;
  x ^= (static_cast<uint32_t>(state.round) * 18u + state.hole + 1u) * 2654435761u;
  x ^= x >> 15;
  x *= 2246822519u;
  x ^= x >> 13;
  const uint32_t setting = GetOptionField(0);
  windHeading = static_cast<uint16_t>(x >> 16);
  // Gusts vary the speed on the clock; in a network game each shot's record carries the speed it flew in.
  SeedWind(x);
  ::SetupWind(static_cast<int>(setting), GustsBlow());
  windSpeed = setting == 0 ? 0 : GetCurrentWind();
  holeWindSpeed = windSpeed;
  BallSetWind(windSpeed, windHeading);
}

bool TGame::GustsBlow() const { return GetOptionField(0) != 0 && GetOptionField(1) != 0; }

void TGame::UpdateWind() {
  if (!GustsBlow() || !BaseWindGenerator()) return;
  windSpeed = GetCurrentWind();
  BallSetWind(windSpeed, windHeading);
}

void TGame::ReleaseHole() {
  Svc().round->HoleReleased();
  Svc().scene->ReleaseHoleScene();
  DeleteWindGenerators();
  BallClearCup();
  BallSetWind(0, 0);
}

void TGame::PlaceGolferAtBall() {
  if (TPlayer* p = players->GetPlayer(state.currentPlayer)) {
    ActiveGolferRecord = p;
    p->UpdateStance();
  }
}

bool TGame::IsHoleComplete() { return players->AllHoledOut(); }

bool TGame::ChooseNextPlayer() {
  const int slot = players->ChooseNextPlayer(state.playOrder[0], pinPosition, state.round, state.hole);
  if (slot >= TPlayerList::kSlots) return false;
  SetCurrentPlayer(slot);
  return true;
}

bool TGame::NextHoleOfRound(uint16_t* round, uint16_t* hole) const {
  if (round) *round = state.round;
  if (hole) *hole = state.hole;
  const int next = state.hole + 1;
  if (next >= state.firstHole + state.holeCount || next >= kHoles) return false;
  if (hole) *hole = static_cast<uint16_t>(next);
  return true;
}

int TGame::AdvanceHole() {
  // The first golfer of the new hole is the first active one in the play order. A golfer who left has no
  // machine to take the turn, and every other machine would wait for it.
  for (uint16_t slot : state.playOrder[0]) {
    const TPlayer* p = players->GetPlayer(slot);
    if (p && (p->flags & kGolferTakesPart) && !(p->flags & (kGolferOut | kGolferGone))) {
      SetCurrentPlayer(slot);
      return 1;
    }
  }
  return 0;
}

int TGame::GetHoleWinner(uint16_t* winner, bool) {
  uint32_t best = 1000000;
  int win = 4;
  bool open = false;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    uint32_t strokes = 0;
    p->GetHoleScore(state.round, state.hole, &strokes, nullptr);
    strokes &= ~kScoreMarker;
    if (!p->holedOut) open = true;
    if (strokes < best || (strokes == best && p->holedOut)) {
      best = strokes;
      win = s;
    }
  }
  if (win == 4 || open || !players->GetPlayer(win)->holedOut) return 0;
  if (winner) *winner = static_cast<uint16_t>(win);
  return 1;
}

std::string TGame::GetScoreText(int slot) {
  TPlayer* p = players->GetPlayer(slot);
  if (!p) return std::string();
  int32_t toPar = 0;
  for (int h = state.firstHole; h <= state.hole && h < kHoles; ++h) {
    uint32_t strokes = 0;
    p->GetHoleScore(state.round, h, &strokes, nullptr);
    strokes &= ~kScoreMarker;
    if (strokes == 0) continue;
    const int par = Svc().catalogue->HolePar(h);
    toPar += static_cast<int32_t>(strokes) - par;
  }
  char text[16];
  std::snprintf(text, sizeof text, toPar > 0 ? "(+%d)" : "(%d)", toPar);
  return text;
}

int TGame::CountViolation(int slot) {
  if (slot < 0 || slot >= 4) return 0;
  return violations[slot] < 5 ? ++violations[slot] : 5;
}

void TGame::DisqualifyGolfer(int slot) {
  if (TPlayer* p = players->GetPlayer(slot)) p->flags |= kGolferOut;
}

void TGame::OnShotFinished() {
  if (IsHoleComplete() || !ChooseNextPlayer()) {
    EndOfHole();
    return;
  }
  PostGolfMessage(kGolfNextShot);
}

void TGame::ShowFinalResultsOnce() {
  if (finalResultsShown) return;
  finalResultsShown = 1;
  ShowFinalResults();
}

void TGame::EndOfHole() {
  UpdateHoleScores();
  if (HoldForStanding()) return;
  ShowHoleResults();
  GoToNextHole();
}

bool HoldBetweenHoles(TGame& g, bool (RoundInterfaceProvider::*show)()) {
  uint16_t round = 0, hole = 0;
  if (!g.GetNextHole(&round, &hole)) return false;
  if (!(Svc().round->*show)()) PostGolfMessage(kGolfAfterStatus);
  return true;
}

void TGame::GoToNextHole() {
  const int round = state.round, hole = state.hole;
  uint16_t nextRound = 0, nextHole = 0;
  if (GetNextHole(&nextRound, &nextHole)) {
    players->OrderForNextHole(state.playOrder[0], round, hole);
    state.round = nextRound;
    state.hole = nextHole;
    AdvanceHole();
    PostGolfMessage(kGolfHoleStart);
  } else {
    ShowFinalResultsOnce();
    PostGolfMessage(kGolfRoundOver);
  }
}

namespace {

// The shot itself: the same inputs give the same ball on every machine.
void flyShot(TGame& g, TPlayer* p);

void runShot(TGame& g, TPlayer* p, const Vector3& aim, float power, float curve, float trajectory) {
  ActiveGolferRecord = p;
  p->ballBeforeShot = p->ball;
  ShotAimPoint = aim;
  ShotMeter.finalPower = power;
  ShotMeter.finalCurve = curve;
  ShotMeter.trajectory = trajectory;
  ShotMeter.shotFactorA = ShotMeter.shotFactorB = 1.0f;
  BallLaunch(&p->ball, 0, 1, 0, power);
  flyShot(g, p);
}

// The launched ball flies to rest, is kept for the highlights and replay, and the stroke is counted.
void flyShot(TGame& g, TPlayer* p) {
  uint32_t strokesBefore = 0;
  p->GetHoleScore(g.state.round, g.state.hole, &strokesBefore, nullptr);
  // Kept as launched for the highlights.
  SavedShot& kept = g.lastShot;
  kept.round = g.state.round;
  kept.hole = g.state.hole;
  kept.holeFile = g.holeFile;
  kept.mode = g.mode;
  kept.slot = static_cast<uint8_t>(g.state.currentPlayer & 3);
  kept.shotIndex = strokesBefore & ~kScoreMarker;
  kept.course = g.courseLongName.empty() ? g.courseName : g.courseLongName;
  kept.golfer = *p;
  kept.launched = p->ball;
  kept.pin = g.pinPosition;
  kept.windSpeed = g.windSpeed;
  kept.windHeading = g.windHeading;
  BallFlightStart(&p->ball);
  // The live shot is recorded for the replay after it.
  BallRunShot(&p->ball, kBallStepSeconds, true);
  kept.rest = p->ball.position;
  kept.holed = p->ball.Flag(kBallFlagHoled) ? 1 : 0;
  kept.restSurface = static_cast<uint8_t>(GetTerrainSurface(kept.rest.x, kept.rest.y));
  g.hasLastShot = true;
  CollisionListFromShot(kept.launched, p->ball, p->currentClub, (strokesBefore & ~kScoreMarker) == 0);
  Svc().sound->ShotFlown();
  CountShot(g, p);
}

}  // namespace

namespace {

// The other machines of a network round play the same shot from its record.
void sendShot(const TGame& g, const TPlayer* p, const Vector3& from, const Vector3& aim, float power, float curve,
              float trajectory) {
  ShotSetUpBlock b;
  b.golfer = g.state.currentPlayer;
  b.wind = p->windCondition;
  b.fairway = p->fairwayCondition;
  b.green = p->greenCondition;
  b.club = p->currentClub;
  b.shotType = p->shotType;
  b.position = from;
  b.power = power;
  b.curve = curve;
  b.trajectory = trajectory;
  b.aim = aim;
  b.windSpeed = static_cast<uint8_t>(std::clamp<int>(g.windSpeed, 0, kMaxWindSpeed));
  // Written field by field, so every machine reads the same record whatever its byte order and padding.
  uint8_t wire[kShotSetUpWireBytes];
  WriteShotSetUp(b, wire);
  Svc().network->SendBlock(-1, kGolfRemoteSettings, wire, sizeof wire);
}

}  // namespace

int PlayCurrentShot(float power, float curve, float trajectory) {
  TGame* g = CurrentGame();
  if (!g) return 0;
  TPlayer* p = g->players->GetPlayer(g->state.currentPlayer);
  if (!p) return 0;
  p->CheckCourseConditions();
  if (g->networked) sendShot(*g, p, p->ball.position, ShotAimPoint, power, curve, trajectory);
  runShot(*g, p, ShotAimPoint, power, curve, trajectory);
  if (Svc().round->CountsShots()) Svc().round->BeginAfterShot();
  else PostGolfMessage(kGolfBallStopped);
  return 1;
}

int FlyLaunchedShot() {
  TGame* g = CurrentGame();
  if (!g) return 0;
  TPlayer* p = g->players->GetPlayer(g->state.currentPlayer);
  if (!p) return 0;
  ActiveGolferRecord = p;
  if (g->networked && g->IsLocalTurn()) {
    // A person's swing turned the launch off the aim line: the others aim along the line the ball left on, as far
    // away as the aim (a putt's speed is judged by that distance).
    const Vector3& at = p->ballBeforeShot.position;
    const float reach = std::hypot(ShotAimPoint.x - at.x, ShotAimPoint.y - at.y);
    const float along = std::hypot(p->ball.velocity.x, p->ball.velocity.y);
    Vector3 aim = ShotAimPoint;
    if (along > 0.0f) {
      aim.x = at.x + p->ball.velocity.x / along * reach;
      aim.y = at.y + p->ball.velocity.y / along * reach;
    }
    sendShot(*g, p, at, aim, ShotMeter.finalPower, ShotMeter.finalCurve, ShotMeter.trajectory);
  }
  flyShot(*g, p);
  return 1;
}

int ReplayRemoteShot(const ShotSetUpBlock& b) {
  TGame* g = CurrentGame();
  if (!g || b.golfer != g->state.currentPlayer) return 0;
  TPlayer* p = g->players->GetPlayer(static_cast<int>(b.golfer));
  if (!p || b.club > kPutter) return 0;
  for (float v : {b.position.x, b.position.y, b.position.z, b.aim.x, b.aim.y, b.aim.z, b.power, b.curve, b.trajectory})
    if (!std::isfinite(v)) return 0;
  // The shot flies in the wind it flew in on its own machine, gusts and all.
  g->windSpeed = b.windSpeed <= kMaxWindSpeed ? b.windSpeed : g->holeWindSpeed;
  BallSetWind(g->windSpeed, g->windHeading);
  p->windCondition = b.wind;
  p->fairwayCondition = b.fairway;
  p->greenCondition = b.green;
  p->CheckCourseConditions();
  p->SetClub(b.club);
  p->SetShotType(b.shotType);
  const Vector3& at = p->ball.position;
  if (at.x != b.position.x || at.y != b.position.y || at.z != b.position.z) PlaceBallAt(p, b.position);
  runShot(*g, p, b.aim, b.power, b.curve, b.trajectory);
  if (Svc().round->CountsShots()) Svc().round->BeginAfterShot();
  return 1;
}

void CountShot(TGame& g, TPlayer* p) {
  // With the in-round interface the golfer's choice after the shot counts it.
  if (Svc().round->CountsShots()) return;
  CountFinishedShot(g, p);
}

void CountFinishedShot(TGame& g, TPlayer* p) {
  const bool putt = p->currentClub == kPutter;
  const bool counts = g.CountsStrokes();
  uint32_t before = 0;
  p->GetHoleScore(g.state.round, g.state.hole, &before, nullptr);
  RecordTeeShot(g, p, before & ~kScoreMarker);
  if (counts) p->AddHoleScore(g.state.round, g.state.hole, 1, putt ? 1 : 0);
  const bool lost = p->ball.Flag(kBallFlagWater) || p->ball.Flag(kBallFlagOutOfBounds);
  if (lost) {
    // Stroke and distance: a penalty stroke, and the next shot from where this one was played.
    if (counts) p->AddHoleScore(g.state.round, g.state.hole, 1, 0);
    const Vector3 from = p->ballBeforeShot.position;
    BallStateReset(&p->ball);
    BallPlaceAt(&p->ball, from);
    BallUpdateGround(&p->ball);
  }
  if (p->ball.Flag(kBallFlagHoled)) p->holedOut = 1;
  else if (counts && p->ReachedStrokeLimit(g.mode, g.state.round, g.state.hole)) p->holedOut = 1;
  p->UpdateStance();
}

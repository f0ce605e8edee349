// Match play, four-ball and foursomes: holes won and halved by two sides.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "framework/core/services.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"

namespace {
constexpr int kNoScore = 1000;
}

bool TMatchPlayGame::takesPart(int slot) const {
  const TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
  return p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferOut);
}

int TMatchPlayGame::SideOf(int slot) const {
  // The sides stay as the match began, whoever has been disqualified since.
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (const TPlayer* p = players ? players->GetPlayer(s) : nullptr; p && (p->flags & kGolferTakesPart))
      return slot == s ? 0 : 1;
  return slot == 0 ? 0 : 1;
}

int TMatchPlayGame::GetStanding(int side) const {
  const int up = static_cast<int>(holesWon[0]) - static_cast<int>(holesWon[1]);
  return side == 0 ? up : -up;
}

int TMatchPlayGame::GetLeader() const {
  const int up = GetStanding(0);
  return up > 0 ? 0 : up < 0 ? 1 : -1;
}

int TMatchPlayGame::HolesRemaining() const {
  return std::max(0, static_cast<int>(state.holeCount) - static_cast<int>(holesPlayed));
}

bool TMatchPlayGame::IsDormie() const {
  const int up = std::abs(GetStanding(0));
  return up > 0 && up == HolesRemaining();
}

bool TMatchPlayGame::IsMatchOver() const {
  return matchConcededBy >= 0 || std::abs(GetStanding(0)) > HolesRemaining() || HolesRemaining() == 0;
}

std::string TMatchPlayGame::FormatMatchStatus(int side) const {
  const int up = GetStanding(side);
  if (up == 0) return "AS";
  if (up > 0 && IsDormie() && !IsMatchOver()) return "DORMIE";
  char text[16];
  std::snprintf(text, sizeof text, "%d %s", std::abs(up), up > 0 ? "UP" : "DN");
  return text;
}

std::string TMatchPlayGame::ResultText() const {
  if (matchConcededBy >= 0) return "CONCEDED";
  const int up = std::abs(GetStanding(0));
  if (up == 0) return "HALVED";
  const int left = HolesRemaining();
  char text[16];
  if (left == 0) std::snprintf(text, sizeof text, "%d UP", up);
  else std::snprintf(text, sizeof text, "%d & %d", up, left);
  return text;
}

void TMatchPlayGame::ConcedeHole(int side) {
  if (side == 0 || side == 1) holeConcededBy = static_cast<int8_t>(side);
}

void TMatchPlayGame::ConcedeMatch(int side) {
  if (side != 0 && side != 1) return;
  matchConcededBy = static_cast<int8_t>(side);
  holeConcededBy = static_cast<int8_t>(side);
}

void TMatchPlayGame::DisqualifyGolfer(int slot) {
  TGame::DisqualifyGolfer(slot);
  const int side = SideOf(slot);
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (takesPart(s) && SideOf(s) == side) return;
  ConcedeMatch(side);
}

int TMatchPlayGame::decideHole(HoleResult* result) {
  if (holeConcededBy >= 0) {
    *result = holeConcededBy == 0 ? kWonBySide1 : kWonBySide0;
    return 1;
  }
  // Per side: the best net score holed, and the best a golfer still playing could make (one more stroke).
  int holed[2] = {kNoScore, kNoScore}, open[2] = {kNoScore, kNoScore};
  bool any[2] = {false, false};
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (!takesPart(s)) continue;
    const int side = SideOf(s);
    if (side < 0 || side > 1) continue;
    any[side] = true;
    const TPlayer* p = players->GetPlayer(s);
    uint32_t strokes = 0;
    players->GetPlayer(s)->GetHoleScore(state.round, state.hole, &strokes, nullptr);
    const int stroke = HasHandicapStroke(s, state.hole) ? 1 : 0;
    if (p->holedOut) holed[side] = std::min(holed[side], NetHoleScore(s, state.round, state.hole));
    else open[side] = std::min(open[side], static_cast<int>(strokes & ~kScoreMarker) + 1 - stroke);
  }
  if (!any[0] || !any[1]) return 0;
  // A side's final score can be no worse than its best holed one and no better than min(holed, open).
  const int best[2] = {std::min(holed[0], open[0]), std::min(holed[1], open[1])};
  if (holed[0] < best[1]) {
    *result = kWonBySide0;
    return 1;
  }
  if (holed[1] < best[0]) {
    *result = kWonBySide1;
    return 1;
  }
  if (holed[0] < kNoScore && holed[0] == holed[1] && open[0] >= holed[0] && open[1] >= holed[1]) {
    *result = kHalved;
    return 1;
  }
  return 0;
}

int TMatchPlayGame::GetHoleWinner(uint16_t* winner, bool) {
  HoleResult r = kUnplayed;
  if (!decideHole(&r)) return 0;
  uint16_t w = 4;
  if (r != kHalved) {
    const int side = r == kWonBySide0 ? 0 : 1;
    for (int s = 0; s < TPlayerList::kSlots && w == 4; ++s)
      if (takesPart(s) && SideOf(s) == side) w = static_cast<uint16_t>(s);
  }
  if (winner) *winner = w;
  return 1;
}

bool TMatchPlayGame::IsHoleComplete() {
  HoleResult r = kUnplayed;
  return decideHole(&r) == 1 || TGame::IsHoleComplete();
}

void TMatchPlayGame::UpdateHoleScores() {
  if (state.round >= kRounds || state.hole >= kHoles) return;
  uint8_t& slot = holeResults[state.round][state.hole];
  if (slot != kUnplayed) return;
  HoleResult r = kUnplayed;
  if (!decideHole(&r)) return;
  slot = r;
  ++holesPlayed;
  if (r == kWonBySide0) ++holesWon[0];
  if (r == kWonBySide1) ++holesWon[1];
  holeConcededBy = matchConcededBy >= 0 ? matchConcededBy : -1;
}

int TMatchPlayGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  const bool more = NextHoleOfRound(round, hole);
  if (more && !IsMatchOver()) return 1;
  if (hole) *hole = state.hole;
  gameOver = 1;
  return 0;
}

std::string TMatchPlayGame::GetScoreText(int slot) {
  if (!players || !players->GetPlayer(slot)) return std::string();
  return FormatMatchStatus(SideOf(slot));
}

void TMatchPlayGame::ShowHoleResults() {
  Svc().frontEnd->PrepareForDialog();
  Svc().round->ShowScoreCard(1);
}

bool TMatchPlayGame::HoldForStanding() { return HoldBetweenHoles(*this, &RoundInterfaceProvider::ShowMatchPlayStatus); }

bool TMatchPlayGame::ShowClosingStanding() { return Svc().round->ShowMatchPlayStatus(); }

void TMatchPlayGame::ShowFinalResults() {
  Svc().frontEnd->PrepareForDialog();
  const int leader = GetLeader();
  std::string text = "Match halved";
  for (int s = 0; leader >= 0 && s < TPlayerList::kSlots; ++s)
    if (takesPart(s) && SideOf(s) == leader) {
      text = std::string(players->GetPlayer(s)->name) + " wins " + ResultText();
      break;
    }
  Svc().round->ShowMessage(text, 5000);
  Svc().round->ShowScoreCard(0);
}

void TMatchPlayGame::ResetState() {
  TGame::ResetState();
  for (auto& r : holeResults)
    for (auto& h : r) h = kUnplayed;
  holesWon[0] = holesWon[1] = 0;
  holesPlayed = 0;
  holeConcededBy = matchConcededBy = -1;
}

// Four-ball in stroke form.

bool TFourBallGame::IsHoleComplete() {
  return strokeForm ? TGame::IsHoleComplete() : TMatchPlayGame::IsHoleComplete();
}

void TFourBallGame::UpdateHoleScores() {
  if (!strokeForm) {
    TMatchPlayGame::UpdateHoleScores();
    return;
  }
  if (state.round >= kRounds || state.hole >= kHoles || holeResults[state.round][state.hole] != kUnplayed) return;
  int best[2] = {kNoScore, kNoScore};
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const int net = takesPart(s) ? NetHoleScore(s, state.round, state.hole) : 0;
    if (net > 0) best[SideOf(s)] = std::min(best[SideOf(s)], net);
  }
  if (best[0] == kNoScore || best[1] == kNoScore) return;
  const int par = Svc().catalogue->HolePar(state.hole);
  for (int side = 0; side < 2; ++side) sideTotals[side] += best[side] - par;
  holeResults[state.round][state.hole] = best[0] < best[1] ? kWonBySide0 : best[1] < best[0] ? kWonBySide1 : kHalved;
  ++holesPlayed;
}

int TFourBallGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (!strokeForm) return TMatchPlayGame::GetNextHole(round, hole);
  if (NextHoleOfRound(round, hole)) return 1;
  gameOver = 1;
  return 0;
}

std::string TFourBallGame::GetScoreText(int slot) {
  if (!strokeForm) return TMatchPlayGame::GetScoreText(slot);
  const int32_t toPar = sideTotals[SideOf(slot) & 1];
  char text[16];
  if (toPar == 0) std::snprintf(text, sizeof text, "(E)");
  else std::snprintf(text, sizeof text, toPar > 0 ? "(+%d)" : "(%d)", toPar);
  return text;
}

int TFourBallGame::StrokeLeader() const {
  return sideTotals[0] < sideTotals[1] ? 0 : sideTotals[1] < sideTotals[0] ? 1 : -1;
}

// Foursomes.

bool TFoursomeGame::HasHandicapStroke(int slot, int hole) const {
  const TPlayer* a = players ? players->GetPlayer(slot) : nullptr;
  const TPlayer* b = players ? players->GetPlayer(PartnerOf(slot)) : nullptr;
  if (!a || !UsesHandicaps() || hole < 0 || hole >= kHoles) return false;
  const int handicap = (GolferHandicap(*a) + (b ? GolferHandicap(*b) : 0)) / 2;
  return handicap > 0 && handicap >= Svc().catalogue->HoleStrokeIndex(hole);
}

int TFoursomeGame::TeeShotPlayer(int side, int hole) const {
  const int first = side * 2;
  // The first partner drives on the odd holes of the round (hole 1, 3, ...), the second on the even ones.
  const int driver = ((hole - state.firstHole) % 2 == 0) ? first : first + 1;
  return takesPart(driver) ? driver : PartnerOf(driver);
}

void TFoursomeGame::DisqualifyGolfer(int slot) {
  TMatchPlayGame::DisqualifyGolfer(slot);
  const int side = SideOf(slot) & 1;
  const int partner = PartnerOf(slot);
  if (nextToPlay[side] == slot && takesPart(partner)) nextToPlay[side] = static_cast<uint16_t>(partner);
}

void TFoursomeGame::SetUpRound() {
  for (int side = 0; side < 2; ++side) nextToPlay[side] = static_cast<uint16_t>(TeeShotPlayer(side, state.hole));
}

int TFoursomeGame::AdvanceHole() {
  for (int side = 0; side < 2; ++side) nextToPlay[side] = static_cast<uint16_t>(TeeShotPlayer(side, state.hole));
  SetCurrentPlayer(nextToPlay[0]);
  return 1;
}

bool TFoursomeGame::ChooseNextPlayer() {
  int pick = -1;
  float far = -1.0f;
  for (int side = 0; side < 2; ++side) {
    const int s = nextToPlay[side];
    const TPlayer* p = players->GetPlayer(s);
    if (!p || !takesPart(s) || p->holedOut) continue;
    uint32_t strokes = 0;
    players->GetPlayer(s)->GetHoleScore(state.round, state.hole, &strokes, nullptr);
    // Sides still on the tee play first, in side order; then the ball farther from the pin.
    const float dx = p->ball.position.x - pinPosition.x, dy = p->ball.position.y - pinPosition.y;
    const float d = (strokes & ~kScoreMarker) == 0 ? 1e9f - static_cast<float>(side) : std::sqrt(dx * dx + dy * dy);
    if (d > far) {
      far = d;
      pick = s;
    }
  }
  if (pick < 0) return false;
  SetCurrentPlayer(pick);
  return true;
}

void TFoursomeGame::OnShotFinished() {
  // The partner takes over the side's ball and its score.
  const int shooter = state.currentPlayer;
  const int partner = PartnerOf(shooter);
  TPlayer* a = players->GetPlayer(shooter);
  TPlayer* b = players->GetPlayer(partner);
  if (a && b) {
    uint32_t strokes = 0, putts = 0;
    a->GetHoleScore(state.round, state.hole, &strokes, &putts);
    b->SetHoleScore(state.round, state.hole, strokes, putts);
    b->ball = a->ball;
    b->ballBeforeShot = a->ballBeforeShot;
    b->holedOut = a->holedOut;
    b->UpdateStance();
    // A side left with one golfer: that golfer plays on.
    if (takesPart(partner)) nextToPlay[SideOf(shooter)] = static_cast<uint16_t>(partner);
  }
  TGame::OnShotFinished();
}

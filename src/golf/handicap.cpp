// Handicap strokes and scores to par, shared by the modes.
#include <algorithm>

#include "framework/core/services.h"
#include "golf/game.h"

int GolferHandicap(const playerInfo_s& golfer) {
  if (golfer.flags & kGolferNoHandicap) return 0;
  return static_cast<int>(std::min<uint32_t>(golfer.wordA, 18));
}

bool TGame::UsesHandicaps() const {
  return mode != kModePractice && mode != kModeTournament && mode != kModeNetTournament &&
         mode != kModeDrivingRange;
}

bool TGame::HasHandicapStroke(int slot, int hole) const {
  const TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
  if (!p || !UsesHandicaps() || hole < 0 || hole >= kHoles) return false;
  const int handicap = GolferHandicap(*p);
  return handicap > 0 && handicap >= Svc().catalogue->HoleStrokeIndex(hole);
}

int TGame::NetHoleScore(int slot, int round, int hole) const {
  TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
  uint32_t strokes = 0;
  if (!p || p->GetHoleScore(round, hole, &strokes, nullptr) != kRecordOk || strokes == 0) return 0;
  if (strokes & kScoreMarker) return 99;
  return static_cast<int>(strokes) - (HasHandicapStroke(slot, hole) ? 1 : 0);
}

int TGame::GetScoreToPar(int slot, int round, int firstHole, int holeCount, int32_t* out, bool net) const {
  TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
  if (!p || !out) return kRecordNoTable;
  int32_t sum = 0;
  for (int h = std::max(firstHole, 0); h < firstHole + holeCount && h < kHoles; ++h) {
    uint32_t strokes = 0;
    if (const int e = p->GetHoleScore(round, h, &strokes, nullptr); e != kRecordOk) return e;
    strokes &= ~kScoreMarker;
    if (strokes == 0) continue;
    int32_t s = static_cast<int32_t>(strokes);
    if (net && HasHandicapStroke(slot, h)) --s;
    sum += s - Svc().catalogue->HolePar(h);
  }
  *out = sum;
  return kRecordOk;
}

bool TGame::WouldHoleOutWinHole() {
  TPlayer* p = players ? players->GetPlayer(state.currentPlayer) : nullptr;
  if (!p || players->CountActivePlayers() != 2 || p->holedOut) return false;
  p->AddHoleScore(state.round, state.hole, 1, 0);
  p->holedOut = 1;
  uint16_t winner = 4;
  const bool wins = GetHoleWinner(&winner, true) == 1 && winner == state.currentPlayer;
  p->holedOut = 0;
  p->AddHoleScore(state.round, state.hole, -1, 0);
  return wins;
}

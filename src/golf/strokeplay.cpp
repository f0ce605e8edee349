// Stroke play: every golfer plays every hole; the fewest strokes win.
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/golfmsg.h"

TStrokeGame::TStrokeGame(uint16_t m) : TGame(m) {
  modeWords[0] = modeWords[1] = 1;
  networkState = 1;
  Svc().round->ResetTips();
}

namespace {
void prepareScreen() {
  Svc().frontEnd->PrepareForDialog();
}
}  // namespace

void TStrokeGame::ShowHoleResults() {
  prepareScreen();
  if (players->AllHoledOut()) Svc().round->ShowScoreCard(1);
}

void TStrokeGame::ShowFinalResults() {
  prepareScreen();
  Svc().round->ShowScoreCard(0);
}

int TStrokeGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (NextHoleOfRound(round, hole)) return 1;
  if (const int error = UpdateRoundStatistics(); error != 0)
    Svc().frontEnd->ErrorBox(error, "sources\\gamecode\\stroke", 183);
  // The number of rounds is the state block's leading word.
  if (state.round + 1 >= state.lead) {
    gameOver = 1;
    return 0;
  }
  if (round) *round = static_cast<uint16_t>(state.round + 1);
  if (hole) *hole = state.firstHole;
  return 1;
}

int TStrokeGame::GetHoleWinner(uint16_t* winner, bool) {
  bool takes[4] = {}, out[4] = {}, holed[4] = {};
  uint32_t strokes[4] = {};
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    takes[s] = true;
    out[s] = (p->flags & kGolferOut) != 0;
    holed[s] = p->holedOut != 0;
    p->GetHoleScore(state.round, state.hole, &strokes[s], nullptr);
    strokes[s] &= ~kScoreMarker;
  }
  uint32_t best = 1000000;
  int win = 4;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (!takes[s] || out[s]) continue;
    if (strokes[s] < best || (strokes[s] == best && holed[s])) {
      best = strokes[s];
      win = s;
    }
  }
  if (win == 4 || !holed[win]) return 0;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (takes[s] && !out[s] && !holed[s]) return 0;
  if (winner) *winner = static_cast<uint16_t>(win);
  return 1;
}

void TStrokeGame::SetNetworkGame(uint32_t on) {
  TGame::SetNetworkGame(on);
  networkState = 2;
}

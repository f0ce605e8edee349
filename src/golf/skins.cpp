// Skins: a skin per hole to the golfer alone with the fewest net strokes; ties carry the skins over.
#include <cstdio>
#include <cstring>

#include "framework/core/services.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"

TSkinsGame::TSkinsGame(uint16_t m) : TGame(m) { std::memset(holeWinner, kNotPlayed, sizeof holeWinner); }

uint32_t TSkinsGame::HoleValue(int hole) {
  // Each six holes are worth more than the last; the closing hole the most.
  if (hole >= 17) return 60000;
  return hole < 6 ? 20000 : hole < 12 ? 30000 : 40000;
}

uint16_t TSkinsGame::ComputeCarryOver() const {
  uint16_t n = 1;
  for (int h = state.hole - 1; h >= state.firstHole && h >= 0; --h) {
    if (holeWinner[h] != kCarried) break;
    ++n;
  }
  return n;
}

uint32_t TSkinsGame::SumSkinValues() const {
  uint32_t sum = 0;
  const int n = ComputeCarryOver();
  for (int h = state.hole; h > state.hole - n && h >= 0; --h) sum += HoleValue(h);
  return sum;
}

uint32_t TSkinsGame::TotalPurse() const {
  uint32_t sum = 0;
  for (int h = state.firstHole; h < state.firstHole + state.holeCount && h < kHoles; ++h) sum += HoleValue(h);
  return sum;
}

int TSkinsGame::Leader() const {
  int lead = 4;
  uint32_t most = 0;
  for (int s = 0; s < 4; ++s) {
    if (skinsWon[s] > most) {
      most = skinsWon[s];
      lead = s;
    } else if (skinsWon[s] == most && most > 0) {
      lead = 4;
    }
  }
  return lead;
}

int TSkinsGame::GetHoleWinner(uint16_t* winner, bool) {
  int best = 1000, win = 4;
  bool tie = false;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart) || (p->flags & kGolferOut)) continue;
    if (!p->holedOut) return 0;
    const int net = NetHoleScore(s, state.round, state.hole);
    if (net == 0) continue;
    if (net < best) {
      best = net;
      win = s;
      tie = false;
    } else if (net == best) {
      tie = true;
    }
  }
  if (best == 1000) return 0;
  if (winner) *winner = tie ? 4 : static_cast<uint16_t>(win);
  return 1;
}

void TSkinsGame::UpdateHoleScores() {
  if (state.hole >= kHoles || holeWinner[state.hole] != kNotPlayed) return;
  uint16_t w = 4;
  if (!GetHoleWinner(&w, true)) return;
  const uint16_t stake = ComputeCarryOver();
  const uint32_t money = SumSkinValues();
  ++holesPlayed;
  if (w < 4) {
    holeWinner[state.hole] = static_cast<uint8_t>(w);
    skinsWon[w] += stake;
    moneyWon[w] += money;
    skinsAtStake = 1;
  } else {
    holeWinner[state.hole] = kCarried;
    skinsAtStake = static_cast<uint16_t>(stake + 1);
  }
}

int TSkinsGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (NextHoleOfRound(round, hole)) return 1;
  gameOver = 1;
  return 0;
}

std::string TSkinsGame::GetScoreText(int slot) {
  if (slot < 0 || slot >= 4) return std::string();
  char text[24];
  std::snprintf(text, sizeof text, skinsWon[slot] == 1 ? "%u skin" : "%u skins", skinsWon[slot]);
  return text;
}

void TSkinsGame::ShowHoleResults() {
  Svc().frontEnd->PrepareForDialog();
  Svc().round->ShowScoreCard(1);
}

bool TSkinsGame::HoldForStanding() { return HoldBetweenHoles(*this, &RoundInterfaceProvider::ShowSkinsStatus); }

bool TSkinsGame::ShowClosingStanding() { return Svc().round->ShowSkinsStatus(); }

void TSkinsGame::ShowFinalResults() {
  Svc().frontEnd->PrepareForDialog();
  Svc().round->ShowScoreCard(0);
}

void TSkinsGame::ResetState() {
  TGame::ResetState();
  std::memset(holeWinner, kNotPlayed, sizeof holeWinner);
  skinsAtStake = 1;
  holesPlayed = 0;
  for (int s = 0; s < 4; ++s) skinsWon[s] = moneyWon[s] = 0;
}

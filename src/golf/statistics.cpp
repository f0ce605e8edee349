// The golfers' statistics at game over, the tee-shot figures they need, and the game's log lines.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/modes.h"

namespace {

void addStat(TPlayer* p, int index, uint32_t n) { p->SetStatistic(index, p->GetStatistic(index) + n); }

const char* modeName(int mode) {
  static constexpr const char* kNames[kModeCount] = {"Stroke Play", "Practice", "Tournament", "Skins",
                                                     "Shoot-Out", "", "Online Tournament", "Match Play",
                                                     "Four-Ball", "Foursomes", "Driving Range"};
  return mode >= 0 && mode < kModeCount ? kNames[mode] : "";
}

}  // namespace

void RecordTeeShot(TGame& g, TPlayer* p, uint32_t strokesBefore) {
  if (strokesBefore != 0 || !g.CountsStrokes() || p->currentClub == kPutter) return;
  if (Svc().catalogue->HolePar(g.state.hole) < 4) return;
  const Vector3 a = p->ballBeforeShot.position, b = p->ball.position;
  const bool lost = p->ball.Flag(kBallFlagWater) || p->ball.Flag(kBallFlagOutOfBounds);
  auto& d = p->drives;
  ++d.chances;
  if (lost) return;
  const uint32_t yards = static_cast<uint32_t>(std::lround(std::hypot(b.x - a.x, b.y - a.y)));
  d.longest = std::max(d.longest, yards);
  d.yards += yards;
  ++d.measured;
  const uint8_t cls = p->ball.restSurface & 0xF0;
  if (cls == 0x10 || cls == 0x70 || cls == 0xb0) ++d.fairways;
}

int TGame::StoreGolferStatistics() {
  if (mode == kModePractice || mode == kModeDrivingRange || !players) return kRecordOk;
  const int lastRound = std::min<int>(state.round, kRounds - 1);
  // Whole rounds not counted yet (the modes that do not count them as they end).
  if (state.holeCount == 18) {
    const uint16_t keep = state.round;
    for (int r = 0; r <= lastRound; ++r) {
      if (roundsCounted & (1u << r)) continue;
      bool complete = true;
      for (int s = 0; s < TPlayerList::kSlots && complete; ++s) {
        TPlayer* p = players->GetPlayer(s);
        if (!p || !(p->flags & kGolferTakesPart) || (p->flags & kGolferNoFile)) continue;
        for (int h = 0; h < kHoles && complete; ++h) {
          uint32_t strokes = 0;
          p->GetHoleScore(r, h, &strokes, nullptr);
          complete = (strokes & ~kScoreMarker) != 0;
        }
      }
      if (!complete) continue;
      state.round = static_cast<uint16_t>(r);
      const int e = UpdateRoundStatistics();
      state.round = keep;
      if (e != kRecordOk) return e;
    }
  }
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart) || (p->flags & kGolferNoFile)) continue;
    for (int r = 0; r <= lastRound; ++r)
      for (int h = 0; h < kHoles; ++h) {
        uint32_t strokes = 0, putts = 0;
        if (const int e = p->GetHoleScore(r, h, &strokes, &putts); e != kRecordOk) return e;
        if (strokes == 0 || (strokes & kScoreMarker)) continue;
        const int n = static_cast<int>(strokes), par = Svc().catalogue->HolePar(h);
        const bool gir = n - static_cast<int>(putts) <= par - 2;
        addStat(p, kStatHolesPlayed, 1);
        if (gir) {
          addStat(p, kStatGreensInRegulation, 1);
          addStat(p, kStatPuttsOnGreensHit, putts);
        } else if (n <= par) {
          addStat(p, kStatParSaves, 1);
        }
        if (n < par) addStat(p, kStatParBreakers, 1);
        if (n == 1) addStat(p, kStatHolesInOne, 1);
        else if (n == par - 2) addStat(p, kStatEagles, 1);
        else if (n == par - 1) addStat(p, kStatBirdies, 1);
      }
    const auto& d = p->drives;
    if (d.longest > p->GetStatistic(kStatLongestDrive)) p->SetStatistic(kStatLongestDrive, d.longest);
    addStat(p, kStatDrivingYards, d.yards);
    addStat(p, kStatDrivesMeasured, d.measured);
    addStat(p, kStatFairwaysHit, d.fairways);
    addStat(p, kStatFairwayChances, d.chances);
    p->drives = TPlayer::DriveStats{};
    AddModeStatistics(p, s);
  }
  return kRecordOk;
}

void TGame::StoreGolfers() {
  if (const int e = StoreGolferStatistics(); e != kRecordOk) Svc().frontEnd->ErrorBox(e, "sources\\gamecode\\game", 1);
  if (!golferFolder.empty() && players) players->SaveGolferFiles(golferFolder);
}

void TGame::LogGameStart() {
  char line[160];
  std::snprintf(line, sizeof line, "Game Start %s %s golfers %d", modeName(mode), courseName.c_str(),
                players ? players->CountTakingPart() : 0);
  WriteLogLine(line);
  // The online service's line: the session is the game's start in calendar seconds.
  statsStart = static_cast<uint32_t>(std::time(nullptr));
  std::snprintf(line, sizeof line, "VexStats:session=%u;BeginNewGame;GameMode=%u;Players=%d", statsStart, mode,
                players ? players->CountTakingPart() : 0);
  Svc().network->PostStatsLine(line);
}

void TGame::LogGameEnd() {
  char stats[128];
  std::snprintf(stats, sizeof stats, "VexStats:session=%u;EndGame;GameMode=%u;ElapsedSeconds=%u", statsStart, mode,
                static_cast<uint32_t>(std::time(nullptr)) - statsStart);
  Svc().network->PostStatsLine(stats);
  for (int s = 0; players && s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    int32_t toPar = 0;
    GetScoreToPar(s, state.round, state.firstHole, state.holeCount, &toPar);
    char line[160];
    std::snprintf(line, sizeof line, "Game End %s %s %+d", modeName(mode), p->name, toPar);
    WriteLogLine(line);
  }
}

void TSkinsGame::AddModeStatistics(TPlayer* golfer, int slot) {
  if (slot < 0 || slot >= 4 || skinsWon[slot] == 0) return;
  addStat(golfer, kStatSkinsWins, skinsWon[slot]);
  addStat(golfer, kStatSkinsEarnings, moneyWon[slot]);
}

void TTournamentGame::AddModeStatistics(TPlayer* golfer, int slot) {
  if (!gameOver) return;
  for (const Standing& s : standings) {
    if (s.entrant != kFieldComputers + slot) continue;
    if (s.position == 1 && !s.tied) addStat(golfer, kStatTournamentWins, 1);
    addStat(golfer, kStatTournamentEarnings, s.prize);
  }
}

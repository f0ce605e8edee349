// The tournament against a field of computer entrants, and the online tournament's card.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "golf/modes.h"
#include "platformlib/core/byteorder.h"

namespace {

constexpr const char* kFirst[] = {"Alden", "Brice", "Cormac", "Dario", "Ewan", "Fenn", "Gareth"};
constexpr const char* kLast[] = {"Ashdown", "Birkett", "Colley", "Durward", "Eskdale"};

// Shares of the purse by place, in tenths of a percent.
constexpr uint32_t kPrizeShares[] = {180, 108, 68, 48, 40, 36, 33, 31, 29, 27};

// A small generator of its own, so the field's scores leave the golfers' random numbers alone.
uint32_t nextRandom(uint32_t* seed) {
  *seed = *seed * 1103515245u + 12345u;
  return (*seed >> 16) & 0x7FFF;
}

}  // namespace

TTournamentGame::TTournamentGame(uint16_t m) : TStrokeGame(m) {
  for (int e = 0; e < kFieldComputers; ++e) {
    present[e] = true;
    ability[e] = static_cast<uint8_t>((e * 7) % 10);
  }
}

std::string TTournamentGame::EntrantName(int entrant) const {
  if (entrant >= kFieldComputers && entrant < kEntrants) {
    const TPlayer* p = players ? players->GetPlayer(entrant - kFieldComputers) : nullptr;
    return p ? std::string(p->name) : std::string();
  }
  if (entrant < 0 || entrant >= kFieldComputers) return std::string();
  std::string name = std::string(kFirst[entrant % 7]) + " " + kLast[entrant / 7];
  return name.substr(0, 30);
}

int TTournamentGame::FieldSize() const {
  int n = 0;
  for (bool p : present) n += p ? 1 : 0;
  return n;
}

int32_t TTournamentGame::GetEntrantScore(int entrant, int round, int holes) const {
  if (entrant < 0 || entrant >= kEntrants || round < 0 || round >= kRounds) return 0;
  int32_t sum = 0;
  for (int h = state.firstHole; h < state.firstHole + holes && h < kHoles; ++h) {
    uint32_t strokes = 0;
    if (entrant < kFieldComputers) {
      strokes = fieldScores[entrant][round][h];
    } else if (TPlayer* p = players->GetPlayer(entrant - kFieldComputers)) {
      p->GetHoleScore(round, h, &strokes, nullptr);
      strokes &= ~kScoreMarker;
    }
    if (strokes) sum += static_cast<int32_t>(strokes) - Svc().catalogue->HolePar(h);
  }
  return sum;
}

int32_t TTournamentGame::EntrantTotal(int entrant) const {
  int32_t sum = 0;
  for (int r = 0; r < std::min<int>(state.lead, kRounds); ++r) sum += GetEntrantScore(entrant, r, state.holeCount);
  return sum;
}

int TTournamentGame::holesDone(int entrant) const {
  int n = 0;
  for (int r = 0; r < std::min<int>(state.lead, kRounds); ++r)
    for (int h = state.firstHole; h < state.firstHole + state.holeCount && h < kHoles; ++h) {
      uint32_t strokes = 0;
      if (entrant < kFieldComputers) strokes = fieldScores[entrant][r][h];
      else if (TPlayer* p = players->GetPlayer(entrant - kFieldComputers)) p->GetHoleScore(r, h, &strokes, nullptr);
      n += strokes ? 1 : 0;
    }
  return n;
}

void TTournamentGame::UpdateFieldScores(bool all) {
  if (state.round >= kRounds) return;
  // On a playoff hole only the entrants still in the playoff play.
  const bool playoffHole = playoff && state.round == PlayoffRound();
  if (playoffHole && all) return;
  const std::vector<int> inPlayoff = playoffHole ? PlayoffEntrants() : std::vector<int>{};
  const int from = all ? state.firstHole : state.hole;
  const int to = all ? std::min<int>(state.firstHole + state.holeCount, kHoles) : state.hole + 1;
  for (int h = from; h < to; ++h) {
    const int par = Svc().catalogue->HolePar(h);
    for (int e = 0; e < kFieldComputers; ++e) {
      uint8_t& score = fieldScores[e][state.round][h];
      if (!present[e] || score) continue;
      if (playoffHole && std::find(inPlayoff.begin(), inPlayoff.end(), e) == inPlayoff.end()) continue;
      uint32_t seed = (static_cast<uint32_t>(e) * 7919u) ^ (static_cast<uint32_t>(state.round * kHoles + h) * 104729u) ^
                      view->seed;
      nextRandom(&seed);
      const int r = static_cast<int>(nextRandom(&seed) % 1000);
      const int a = ability[e];
      int delta = 0;
      if (r < 5) delta = -2;
      else if (r < 165 + 10 * a) delta = -1;
      else if (r < 800) delta = 0;
      else if (r < 960 - 3 * a) delta = 1;
      else delta = 2;
      score = static_cast<uint8_t>(std::max(1, par + delta));
    }
  }
}

int TTournamentGame::ComputeStandings() {
  standings.clear();
  for (int e = 0; e < kEntrants; ++e) {
    if (!present[e]) continue;
    Standing s;
    s.entrant = e;
    s.toPar = EntrantTotal(e);
    s.holesCompleted = holesDone(e);
    standings.push_back(s);
  }
  std::stable_sort(standings.begin(), standings.end(),
                   [](const Standing& a, const Standing& b) { return a.toPar < b.toPar; });
  // The winner of a decided playoff leads alone; so does the first placed of a finished tournament whose lead no
  // person shares (there is nobody to play it off).
  leaderSettled_ = false;
  if (playoff && PlayoffDecided()) {
    const std::vector<int> in = PlayoffEntrants();
    const auto winner = std::find_if(standings.begin(), standings.end(), [&](const Standing& s) {
      return !in.empty() && s.entrant == in.front();
    });
    if (winner != standings.end()) {
      std::rotate(standings.begin(), winner, winner + 1);
      leaderSettled_ = true;
    }
  } else if (!playoff && standings.size() > 1 && standings[0].toPar == standings[1].toPar && finished()) {
    const int32_t lead = standings[0].toPar;
    leaderSettled_ = std::none_of(standings.begin(), standings.end(),
                                  [&](const Standing& s) { return s.toPar == lead && isPerson(s.entrant); });
  }
  AssignPositions();
  SplitPrizeMoney(true);
  return standings.size() > 1 && tiedWith(0, 1) ? 0 : 1;
}

bool TTournamentGame::isPerson(int entrant) const {
  const TPlayer* p = entrant >= kFieldComputers && players ? players->GetPlayer(entrant - kFieldComputers) : nullptr;
  return p && (p->flags & kGolferTakesPart) && (p->flags & kGolferFlag5);
}

int TTournamentGame::tournamentHoles() const {
  const int perRound = std::max(0, std::min<int>(state.firstHole + state.holeCount, kHoles) - state.firstHole);
  return perRound * std::min<int>(state.lead, kRounds);
}

bool TTournamentGame::fieldPlayedOut() const {
  const int all = tournamentHoles();
  for (int e = 0; e < kFieldComputers; ++e)
    if (present[e] && holesDone(e) < all) return false;
  return all > 0;
}

bool TTournamentGame::finished() const {
  if (!fieldPlayedOut()) return false;
  // Once the field has played the game out the game's golfers play no more.
  if (simulateToEnd) return true;
  for (const Standing& s : standings)
    if (s.entrant >= kFieldComputers && s.holesCompleted < tournamentHoles()) return false;
  return true;
}

bool TTournamentGame::tiedWith(size_t a, size_t b) const {
  if (leaderSettled_ && (a == 0 || b == 0)) return a == b;
  return standings[a].toPar == standings[b].toPar;
}

void TTournamentGame::AssignPositions() {
  for (size_t i = 0; i < standings.size(); ++i) {
    size_t first = i;
    while (first > 0 && tiedWith(first - 1, i)) --first;
    standings[i].position = static_cast<int>(first) + 1;
    standings[i].tied = (i > 0 && tiedWith(i - 1, i)) || (i + 1 < standings.size() && tiedWith(i + 1, i));
  }
}

void TTournamentGame::SplitPrizeMoney(bool split) {
  // Tied places share the prizes of the places they fill.
  for (size_t i = 0; i < standings.size();) {
    size_t j = i;
    uint64_t share = 0;
    while (j < standings.size() && tiedWith(j, i)) {
      if (j < std::size(kPrizeShares)) share += kPrizeShares[j];
      ++j;
    }
    for (size_t k = i; k < j; ++k) standings[k].prize = split ? static_cast<uint32_t>(purse * share / 1000 / (j - i)) : 0;
    i = j;
  }
}

void TTournamentGame::ShowRoundDialog(bool final) {
  // The field finishes the round the golfers have just finished; the standings and the prizes follow.
  FillMissingScores();
  ComputeStandings();
  SplitPrizeMoney(final || cutMade || state.round + 1 >= state.lead);
}

namespace {

// After a hole every golfer has finished: the holes played so far of the whole tournament, and whether it is over.
struct HoleProgress {
  bool over;
  bool lastOfRound;
};
HoleProgress Progress(const TGame& g) {
  const int perRound = std::max<int>(g.state.holeCount, 1);
  const int played = g.state.round * perRound + (g.state.hole - g.state.firstHole) + 1;
  const bool last = g.state.hole + 1 >= g.state.firstHole + g.state.holeCount || g.state.hole + 1 >= kHoles;
  return {played >= perRound * std::max<int>(g.state.lead, 1), last};
}

}  // namespace

void TTournamentGame::ShowHoleResults() {
  TStrokeGame::ShowHoleResults();
  if (!players->AllHoledOut()) return;
  int notice = 0;
  bool over = false, showDialog = true;
  if (playoff && state.round == PlayoffRound()) {
    over = PlayoffDecided();
    if (over) endPlayoff();
    else notice = 2;
  } else {
    const HoleProgress p = Progress(*this);
    // With no person playing, the standings after the hole before asked the field to play the game out.
    over = p.over || simulateToEnd;
    showDialog = over || p.lastOfRound;
    if (showDialog) {
      ShowRoundDialog(over);
      if (p.lastOfRound && !p.over && state.round == cutAfterRound && !cutMade) MakeCut();
      if (!ownGolferLeft() || players->IsFlag5ClearForAll()) {
        // Nobody of the game plays on, or no person plays at all: the field finishes the tournament and its final
        // results follow.
        playFieldToEnd();
        simulateToEnd = 1;
        over = true;
        ShowRoundDialog(true);
      }
    }
    if (over && StartPlayoff()) {
      notice = 1;
      over = false;
    }
  }
  dialogOpen = 1;
  Svc().frontEnd->ShowTourneyStandings(notice, over ? 2 : showDialog ? 1 : 0, 0);
  dialogOpen = 0;
  tieFlag = 0;
  // Nobody watches computer golfers play a whole tournament: after the next hole the field plays it out.
  if (players->IsFlag5ClearForAll()) simulateToEnd = 1;
}

void TTournamentGame::ShowHoleStatus() {
  if (state.round == 0 && state.hole == state.firstHole && !playoff) {
    ComputeStandings();
    dialogOpen = 1;
    Svc().frontEnd->ShowTourneyStandings(0, 0, 0);
    dialogOpen = 0;
  }
  TStrokeGame::ShowHoleStatus();
}

int32_t TTournamentGame::playoffScore(int entrant, int hole) const {
  const int round = PlayoffRound();
  if (round >= kRounds || hole < 0 || hole >= kHoles) return 0;
  if (entrant < kFieldComputers) return entrant >= 0 ? fieldScores[entrant][round][hole] : 0;
  uint32_t strokes = 0;
  if (TPlayer* p = players->GetPlayer(entrant - kFieldComputers)) p->GetHoleScore(round, hole, &strokes, nullptr);
  return static_cast<int32_t>(strokes & ~kScoreMarker);
}

std::vector<int> TTournamentGame::PlayoffEntrants(int* holesPlayed) const {
  std::vector<int> in;
  if (holesPlayed) *holesPlayed = 0;
  if (!playoff) return in;
  int32_t totals[kEntrants] = {};
  int32_t lead = INT32_MAX;
  for (int e = 0; e < kEntrants; ++e)
    if (present[e]) lead = std::min(lead, totals[e] = EntrantTotal(e));
  for (int e = 0; e < kEntrants; ++e)
    if (present[e] && totals[e] == lead) in.push_back(e);
  int played = 0;
  // Hole by hole while every entrant still in has played it: the fewest strokes stay in.
  for (; in.size() > 1 && played < state.holeCount && state.firstHole + played < kHoles; ++played) {
    const int hole = state.firstHole + played;
    int32_t best = INT32_MAX;
    bool complete = true;
    for (int e : in) {
      const int32_t strokes = playoffScore(e, hole);
      if (strokes == 0) complete = false;
      else best = std::min(best, strokes);
    }
    if (!complete) break;
    in.erase(std::remove_if(in.begin(), in.end(), [&](int e) { return playoffScore(e, hole) != best; }), in.end());
  }
  if (holesPlayed) *holesPlayed = played;
  return in;
}

bool TTournamentGame::PlayoffDecided() const {
  int played = 0;
  const std::vector<int> in = PlayoffEntrants(&played);
  // Out of holes to play, the first in the standings of those left wins, as it does when only the field is left.
  if (in.size() <= 1 || played >= state.holeCount || state.firstHole + played >= kHoles) return true;
  return std::none_of(in.begin(), in.end(), [&](int e) { return isPerson(e); });
}

bool TTournamentGame::StartPlayoff() {
  if (playoff) return !PlayoffDecided();
  // A tournament the field finished on its own has its leader win outright.
  if (simulateToEnd) return false;
  if (PlayoffRound() >= kRounds || state.holeCount == 0) return false;
  playoff = 1;
  const std::vector<int> in = PlayoffEntrants();
  // Only a person in the tie plays it off; else the first placed wins outright.
  if (in.size() < 2 || std::none_of(in.begin(), in.end(), [&](int e) { return isPerson(e); })) {
    playoff = 0;
    return false;
  }
  tieFlag = 1;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart) || (p->flags & kGolferOut)) continue;
    if (std::find(in.begin(), in.end(), kFieldComputers + s) != in.end()) continue;
    p->flags |= kGolferOut;
    playoffOut = static_cast<uint8_t>(playoffOut | (1u << s));
  }
  ComputeStandings();
  return true;
}

void TTournamentGame::endPlayoff() {
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = players->GetPlayer(s); p && (playoffOut & (1u << s))) p->flags &= ~kGolferOut;
  playoffOut = 0;
  ComputeStandings();
}

int TTournamentGame::RoundsShown() const {
  const int rounds = std::min<int>(state.lead, kRounds);
  if (playoff || simulateToEnd || gameOver) return rounds;
  return std::min<int>(state.round + 1, rounds);
}

bool TTournamentGame::MissedCut(int entrant) const {
  if (entrant >= kFieldComputers && entrant < kEntrants) {
    const int slot = entrant - kFieldComputers;
    const TPlayer* p = players ? players->GetPlayer(slot) : nullptr;
    return p && (p->flags & kGolferOut) && !(playoffOut & (1u << slot));
  }
  return cutMade && entrant >= 0 && entrant < kFieldComputers && !present[entrant];
}

bool TTournamentGame::ownGolferLeft() const {
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (present[kFieldComputers + s]) return true;
  return false;
}

void TTournamentGame::playFieldToEnd() {
  fieldPlayedOut_ = true;
  const uint16_t keep = state.round;
  for (int r = state.round; r < std::min<int>(state.lead, kRounds); ++r) {
    state.round = static_cast<uint16_t>(r);
    FillMissingScores();
  }
  state.round = keep;
  ComputeStandings();
}

int TTournamentGame::nextPlayoffHole(uint16_t* round, uint16_t* hole) {
  if (PlayoffDecided()) {
    endPlayoff();
    gameOver = 1;
    return 0;
  }
  int played = 0;
  PlayoffEntrants(&played);
  if (round) *round = static_cast<uint16_t>(PlayoffRound());
  if (hole) *hole = static_cast<uint16_t>(state.firstHole + played);
  return 1;
}

void TTournamentGame::MakeCut() {
  ComputeStandings();
  if (standings.empty() || cutPlaces <= 0) return;
  const size_t line = std::min<size_t>(static_cast<size_t>(cutPlaces), standings.size()) - 1;
  const int32_t limit = standings[line].toPar;
  for (const Standing& s : standings) {
    if (s.toPar <= limit) continue;
    present[s.entrant] = false;
    if (s.entrant >= kFieldComputers)
      if (TPlayer* p = players->GetPlayer(s.entrant - kFieldComputers)) p->flags |= kGolferOut;
  }
  cutMade = 1;
  ComputeStandings();
}

void TTournamentGame::SetUpRound() {
  // A golfer sitting out a playoff is still in the standings.
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = players->GetPlayer(s);
    present[kFieldComputers + s] =
        p && (p->flags & kGolferTakesPart) && (!(p->flags & kGolferOut) || (playoffOut & (1u << s)));
  }
  if (cutAfterRound < 0 && state.lead >= 4) cutAfterRound = 1;
}

void TTournamentGame::UpdateHoleScores() {
  if (lastScoredRound_ == state.round && lastScoredHole_ == state.hole) return;
  lastScoredRound_ = state.round;
  lastScoredHole_ = state.hole;
  UpdateFieldScores(false);
  ComputeStandings();
}

int TTournamentGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (playoff && state.round == PlayoffRound()) return nextPlayoffHole(round, hole);
  if (NextHoleOfRound(round, hole)) {
    if (!simulateToEnd || !fieldPlayedOut_) return 1;
    // The field played the game out in the middle of a round (no person plays): its final results have shown.
    gameOver = 1;
    return 0;
  }
  if (const int error = UpdateRoundStatistics(); error != 0)
    Svc().frontEnd->ErrorBox(error, "sources\\gamecode\\tourney", 1);
  FillMissingScores();
  if (state.round == cutAfterRound && !cutMade) MakeCut();
  ComputeStandings();
  if (state.round + 1 >= state.lead || !ownGolferLeft() || simulateToEnd) {
    // The rounds the golfers no longer play are still played by the field.
    playFieldToEnd();
    if (StartPlayoff()) return nextPlayoffHole(round, hole);
    gameOver = 1;
    return 0;
  }
  if (round) *round = static_cast<uint16_t>(state.round + 1);
  if (hole) *hole = state.firstHole;
  return 1;
}

std::string TTournamentGame::GetScoreText(int slot) {
  if (slot < 0 || slot >= 4) return std::string();
  const int32_t toPar = EntrantTotal(kFieldComputers + slot);
  char text[16];
  if (toPar == 0) std::snprintf(text, sizeof text, "(E)");
  else std::snprintf(text, sizeof text, toPar > 0 ? "(+%d)" : "(%d)", toPar);
  return text;
}

void CINetTournamentGame::UpdateHoleScores() {
  if (!IsReportingEnabled()) return;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!p || !(p->flags & kGolferTakesPart) || !p->holedOut) continue;
    uint32_t strokes = 0;
    p->GetHoleScore(state.round, state.hole, &strokes, nullptr);
    Svc().network->ReportTournamentHole(p->name, state.round, state.hole, static_cast<int>(strokes & ~kScoreMarker));
  }
}

void CINetTournamentGame::OnShotFinished() {
  TPlayer* p = players->GetPlayer(state.currentPlayer);
  if (IsReportingEnabled() && p && (!networked || p->machineId == Svc().network->LocalMachineId())) {
    uint32_t strokes = 0;
    p->GetHoleScore(state.round, state.hole, &strokes, nullptr);
    // The shot's record: hole, stroke, where the ball lies and on what.
    uint8_t shot[24];
    WriteLE32(shot, state.hole + 1u);
    WriteLE32(shot + 4, strokes & ~kScoreMarker);
    const float at[3] = {p->ball.position.x, p->ball.position.y, p->ball.position.z};
    for (int i = 0; i < 3; ++i) {
      uint32_t bits;
      std::memcpy(&bits, &at[i], 4);
      WriteLE32(shot + 8 + 4 * i, bits);
    }
    WriteLE32(shot + 20, p->ball.lie);
    Svc().network->ReportTournamentShot(p->name, state.hole, static_cast<int>(strokes & ~kScoreMarker), shot, sizeof shot);
  }
  TStrokeGame::OnShotFinished();
}

const CINetTournamentGame::LeaderEntry* CINetTournamentGame::GetLeaderEntry(int i) const {
  return i >= 0 && i < static_cast<int>(leaders.size()) ? &leaders[static_cast<size_t>(i)] : nullptr;
}

void CINetTournamentGame::ShowHoleResults() {
  TStrokeGame::ShowHoleResults();
  if (!players->AllHoledOut()) return;
  // The server's board: refreshed every few seconds while the tournament runs, a round-in-progress page at its end.
  const HoleProgress p = Progress(*this);
  dialogOpen = 1;
  Svc().frontEnd->ShowTourneyStandings(0, p.over ? 0 : p.lastOfRound ? 1 : 0, p.over ? 0 : 5);
  dialogOpen = 0;
}

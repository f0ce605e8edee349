// The modes' own state in a saved game, after the common game. Each is read whole into a record and checked
// before the game takes it, so damaged data leaves the game as it was.
#include <cstring>
#include <memory>

#include "golf/modes.h"
#include "golf/serialize.h"

namespace {

using golf_svc::FieldMover;

int writeMode(const SerialTarget* s) { return s->file ? SERIAL_WRITEFILE : SERIAL_PUT; }
int readMode(const SerialTarget* s) { return s->file ? SERIAL_READFILE : SERIAL_GET; }

struct MatchRecord {
  uint8_t results[kRounds][kHoles] = {};
  uint16_t won[2] = {};
  uint16_t played = 0;
  uint8_t holeConceded = 0xFF, matchConceded = 0xFF;
  uint16_t next[2] = {};
  uint32_t strokeForm = 0, totals[2] = {};
  // kind 0 singles, 1 four-ball (its form and the sides' totals), 2 foursomes (and the partners next to play)
  void move(FieldMover& io, int kind) {
    for (auto& r : results) io.bytes(r, kHoles);
    io.u16(won[0]);
    io.u16(won[1]);
    io.u16(played);
    io.u8(holeConceded);
    io.u8(matchConceded);
    if (kind >= 1) {
      io.u32(strokeForm);
      io.u32s(totals, 2);
    }
    if (kind == 2) {
      io.u16(next[0]);
      io.u16(next[1]);
    }
  }
  bool valid() const {
    for (const auto& r : results)
      for (uint8_t h : r)
        if (h > TMatchPlayGame::kHalved) return false;
    const auto side = [](uint8_t v) { return v == 0xFF || v <= 1; };
    return won[0] + won[1] <= played && played <= kRounds * kHoles && side(holeConceded) && side(matchConceded) &&
           next[0] < 4 && next[1] < 4 && strokeForm <= 1;
  }
};

// 0 singles, 1 four-ball, 2 foursomes: what follows the match's own fields.
int kindOf(const TMatchPlayGame& g) {
  if (dynamic_cast<const TFoursomeGame*>(&g)) return 2;
  return dynamic_cast<const TFourBallGame*>(&g) ? 1 : 0;
}

MatchRecord recordOf(const TMatchPlayGame& g) {
  MatchRecord r;
  std::memcpy(r.results, g.holeResults, sizeof r.results);
  r.won[0] = g.holesWon[0];
  r.won[1] = g.holesWon[1];
  r.played = g.holesPlayed;
  r.holeConceded = static_cast<uint8_t>(g.holeConcededBy);
  r.matchConceded = static_cast<uint8_t>(g.matchConcededBy);
  if (const auto* f = dynamic_cast<const TFourBallGame*>(&g)) {
    r.strokeForm = f->strokeForm;
    r.totals[0] = static_cast<uint32_t>(f->sideTotals[0]);
    r.totals[1] = static_cast<uint32_t>(f->sideTotals[1]);
  }
  if (const auto* f = dynamic_cast<const TFoursomeGame*>(&g)) {
    r.next[0] = f->nextToPlay[0];
    r.next[1] = f->nextToPlay[1];
  }
  return r;
}

void apply(TMatchPlayGame& g, const MatchRecord& r) {
  std::memcpy(g.holeResults, r.results, sizeof r.results);
  g.holesWon[0] = r.won[0];
  g.holesWon[1] = r.won[1];
  g.holesPlayed = r.played;
  g.holeConcededBy = static_cast<int8_t>(r.holeConceded);
  g.matchConcededBy = static_cast<int8_t>(r.matchConceded);
  if (auto* f = dynamic_cast<TFourBallGame*>(&g)) {
    f->strokeForm = r.strokeForm;
    f->sideTotals[0] = static_cast<int32_t>(r.totals[0]);
    f->sideTotals[1] = static_cast<int32_t>(r.totals[1]);
  }
  if (auto* f = dynamic_cast<TFoursomeGame*>(&g)) {
    f->nextToPlay[0] = r.next[0];
    f->nextToPlay[1] = r.next[1];
  }
}

}  // namespace

bool TMatchPlayGame::SaveToStream(SerialTarget* s) const {
  if (!TGame::SaveToStream(s)) return false;
  MatchRecord r = recordOf(*this);
  FieldMover io(writeMode(s), s);
  r.move(io, kindOf(*this));
  return io.ok();
}

bool TMatchPlayGame::LoadFromStream(SerialTarget* s) {
  if (!TGame::LoadFromStream(s)) return false;
  MatchRecord r;
  FieldMover io(readMode(s), s);
  r.move(io, kindOf(*this));
  if (!io.ok() || !r.valid()) return false;
  apply(*this, r);
  return true;
}

namespace {
struct SkinsRecord {
  uint8_t winners[kHoles] = {};
  uint16_t atStake = 1, played = 0;
  uint32_t skins[4] = {}, money[4] = {};
  void move(FieldMover& io) {
    io.bytes(winners, kHoles);
    io.u16(atStake);
    io.u16(played);
    io.u32s(skins, 4);
    io.u32s(money, 4);
  }
  bool valid() const {
    for (uint8_t w : winners)
      if (w > TSkinsGame::kNotPlayed) return false;
    uint32_t total = 0;
    for (uint32_t k : skins) total += k;
    return atStake >= 1 && atStake <= kHoles + 1 && played <= kHoles && total <= kHoles;
  }
};
}  // namespace

bool TSkinsGame::SaveToStream(SerialTarget* s) const {
  if (!TGame::SaveToStream(s)) return false;
  SkinsRecord r;
  std::memcpy(r.winners, holeWinner, kHoles);
  r.atStake = skinsAtStake;
  r.played = holesPlayed;
  std::memcpy(r.skins, skinsWon, sizeof r.skins);
  std::memcpy(r.money, moneyWon, sizeof r.money);
  FieldMover io(writeMode(s), s);
  r.move(io);
  return io.ok();
}

bool TSkinsGame::LoadFromStream(SerialTarget* s) {
  if (!TGame::LoadFromStream(s)) return false;
  SkinsRecord r;
  FieldMover io(readMode(s), s);
  r.move(io);
  if (!io.ok() || !r.valid()) return false;
  std::memcpy(holeWinner, r.winners, kHoles);
  skinsAtStake = r.atStake;
  holesPlayed = r.played;
  std::memcpy(skinsWon, r.skins, sizeof r.skins);
  std::memcpy(moneyWon, r.money, sizeof r.money);
  return true;
}

namespace {
struct TournamentRecord {
  uint8_t present[TTournamentGame::kEntrants] = {};
  uint8_t scores[TTournamentGame::kFieldComputers][kRounds][kHoles] = {};
  uint8_t ability[TTournamentGame::kFieldComputers] = {};
  uint32_t cutAfter = 0xFFFFFFFF, cutPlaces = 20, cutMade = 0, purse = 0;
  void move(FieldMover& io) {
    io.bytes(present, sizeof present);
    io.bytes(scores, sizeof scores);
    io.bytes(ability, sizeof ability);
    io.u32(cutAfter);
    io.u32(cutPlaces);
    io.u32(cutMade);
    io.u32(purse);
  }
  bool valid() const {
    for (uint8_t p : present)
      if (p > 1) return false;
    for (const auto& e : scores)
      for (const auto& r : e)
        for (uint8_t h : r)
          if (h > 30) return false;
    for (uint8_t a : ability)
      if (a > 9) return false;
    return (cutAfter == 0xFFFFFFFF || cutAfter < kRounds) && cutPlaces <= TTournamentGame::kEntrants && cutMade <= 0xFF;
  }
};
}  // namespace

bool TTournamentGame::SaveToStream(SerialTarget* s) const {
  if (!TGame::SaveToStream(s)) return false;
  // The record is large: built on the heap.
  auto r = std::make_unique<TournamentRecord>();
  for (int e = 0; e < kEntrants; ++e) r->present[e] = present[e] ? 1 : 0;
  std::memcpy(r->scores, fieldScores, sizeof r->scores);
  std::memcpy(r->ability, ability, sizeof r->ability);
  r->cutAfter = static_cast<uint32_t>(cutAfterRound);
  r->cutPlaces = static_cast<uint32_t>(cutPlaces);
  // The cut-made word carries the playoff's flags above its own bit (older saves hold 0 or 1).
  r->cutMade = static_cast<uint32_t>(cutMade & 1) | (playoff ? 2u : 0u) | (tieFlag ? 4u : 0u) |
               (simulateToEnd ? 8u : 0u) | static_cast<uint32_t>(playoffOut & 0xF) << 4;
  r->purse = purse;
  FieldMover io(writeMode(s), s);
  r->move(io);
  return io.ok();
}

bool TTournamentGame::LoadFromStream(SerialTarget* s) {
  if (!TGame::LoadFromStream(s)) return false;
  auto r = std::make_unique<TournamentRecord>();
  FieldMover io(readMode(s), s);
  r->move(io);
  if (!io.ok() || !r->valid()) return false;
  for (int e = 0; e < kEntrants; ++e) present[e] = r->present[e] != 0;
  std::memcpy(fieldScores, r->scores, sizeof r->scores);
  std::memcpy(ability, r->ability, sizeof r->ability);
  cutAfterRound = static_cast<int>(r->cutAfter);
  cutPlaces = static_cast<int>(r->cutPlaces);
  cutMade = static_cast<int>(r->cutMade & 1);
  playoff = (r->cutMade >> 1) & 1;
  tieFlag = (r->cutMade >> 2) & 1;
  simulateToEnd = (r->cutMade >> 3) & 1;
  playoffOut = static_cast<uint8_t>(r->cutMade >> 4);
  purse = r->purse;
  ComputeStandings();
  return true;
}

namespace {
// Two words of a mode: saved after the common game, each checked against its limit on reading.
bool saveWords(const TGame& g, SerialTarget* s, uint32_t a, uint32_t b, uint32_t c) {
  if (!g.TGame::SaveToStream(s)) return false;
  FieldMover io(writeMode(s), s);
  io.u32(a);
  io.u32(b);
  io.u32(c);
  return io.ok();
}
bool loadWords(TGame& g, SerialTarget* s, uint32_t* a, uint32_t* b, uint32_t* c) {
  if (!g.TGame::LoadFromStream(s)) return false;
  FieldMover io(readMode(s), s);
  io.u32(*a);
  io.u32(*b);
  io.u32(*c);
  return io.ok();
}
}  // namespace

bool CINetTournamentGame::SaveToStream(SerialTarget* s) const { return saveWords(*this, s, reporting, reportLevel, 0); }

bool CINetTournamentGame::LoadFromStream(SerialTarget* s) {
  uint32_t a = 0, b = 0, c = 0;
  if (!loadWords(*this, s, &a, &b, &c) || a > 1) return false;
  reporting = a;
  reportLevel = b;
  return true;
}

bool TPracticeGame::SaveToStream(SerialTarget* s) const { return saveWords(*this, s, holeMask, 0, 0); }

bool TPracticeGame::LoadFromStream(SerialTarget* s) {
  uint32_t a = 0, b = 0, c = 0;
  if (!loadWords(*this, s, &a, &b, &c) || (a & ~0x3FFFFu)) return false;
  holeMask = a;
  return true;
}

bool TDrivingRangeGame::SaveToStream(SerialTarget* s) const {
  return saveWords(*this, s, facility, static_cast<uint32_t>(rangeTarget), shotLimit);
}

bool TDrivingRangeGame::LoadFromStream(SerialTarget* s) {
  uint32_t a = 0, b = 0, c = 0;
  if (!loadWords(*this, s, &a, &b, &c) || a > 2 || b > 10) return false;
  facility = a;
  rangeTarget = static_cast<int>(b);
  shotLimit = c;
  return true;
}

#include "golf/playerinfo.h"
#include "platformlib/core/byteorder.h"

#include <cstring>
#include <new>


playerInfo_s* ActiveGolferRecord = nullptr;

namespace {

bool isReadMode(int mode) { return mode == SERIAL_READFILE || mode == SERIAL_GET; }

using Mover = golf_svc::FieldMover;

// Stored width of each tag's field.
constexpr uint16_t kTagBytes[] = {4, 12, 4, 16, 16, 8, 8, 108, 720, 4, 2, 1, 1, 1, 1, 1, 1, 1, 1,
                                  1, 4, 1, 1, 1, 1, 1, 4, 4, 168, 1, 4, 4, 4, 4, 4, 4, 4};
constexpr int kLastTag = 36;
constexpr int kLastLeadingTag = 12;
static_assert(sizeof kTagBytes / sizeof kTagBytes[0] == kLastTag + 1);

void terminateNames(playerInfoFields& f) {
  f.name[sizeof f.name - 1] = 0;
  f.secondName[sizeof f.secondName - 1] = 0;
}

struct LevelPreset {
  uint8_t option4, option2, option3, mulligan;
  uint32_t wordJ, viewBits;
  uint8_t option5, option6, option7, option8, option9, levelPreset;
};
constexpr LevelPreset kLevelPresets[4] = {
    {0, 1, 1, 1, 1, 0x1D000, 0, 0, 1, 1, 0, 2},
    {1, 1, 0, 1, 1, 0x1D000, 1, 0, 1, 1, 0, 1},
    {3, 2, 0, 0, 0, 0x11000, 1, 1, 1, 0, 1, 0},
    {3, 1, 0, 1, 1, 0x1D000, 1, 1, 1, 0, 1, 0},
};
constexpr uint32_t kLevelViewMask = 0x1F000;  // bits 12-16

}  // namespace

int playerInfo_s::CopyFrom(const playerInfo_s& other) {
  if (this == &other) return kRecordOk;
  static_cast<playerInfoFields&>(*this) = other;
  statistics.reset();
  scores.reset();
  if (other.statistics) statistics.reset(new (std::nothrow) StatTable(*other.statistics));
  if (other.scores) scores.reset(new (std::nothrow) ScoreTable(*other.scores));
  if ((other.statistics && !statistics) || (other.scores && !scores)) {
    Reset();
    return kRecordNoMemory;
  }
  return kRecordOk;
}

void playerInfo_s::Reset() {
  static_cast<playerInfoFields&>(*this) = playerInfoFields{};
  statistics.reset();
  scores.reset();
}

playerInfo_s::StatTable* playerInfo_s::statTable() {
  if (!statistics) statistics.reset(new (std::nothrow) StatTable{});
  return statistics.get();
}

playerInfo_s::ScoreTable* playerInfo_s::scoreTable() {
  if (!scores) scores.reset(new (std::nothrow) ScoreTable{});
  return scores.get();
}

bool playerInfo_s::transferFixed(int mode, SerialTarget* s) {
  Mover m(mode, s);
  const bool reading = m.reading();
  StatTable zeroStats{};
  ScoreTable zeroScores{};
  StatTable* st = reading ? statTable() : (statistics ? statistics.get() : &zeroStats);
  ScoreTable* sc = reading ? scoreTable() : (scores ? scores.get() : &zeroScores);
  if (!st || !sc) return false;
  uint8_t club = currentClub;
  m.u32(model);
  m.u32s(tripleD, 3);
  m.u32(bag);
  m.bytes(name, sizeof name);
  m.bytes(secondName, sizeof secondName);
  m.u32s(firstPair, 2);
  m.u32s(secondPair, 2);
  m.u32s(st->data(), st->size());
  m.u32s(sc->data(), sc->size());
  m.u32(wordE);
  m.u16(wordF);
  m.u8(club);
  m.u8(level);
  m.u8(option5);
  m.u8(option7);
  m.u8(option8);
  m.u8(option9);
  m.u8(levelPreset);
  m.u32(viewOptions);
  m.u8(option1);
  m.u8(option2);
  m.u8(mulligan);
  m.u8(option4);
  m.u8(option3);
  m.u32(wordG);
  m.u32(viewChoices);
  if (reading) {
    terminateNames(*this);
    // A club number past the putter is refused: the record keeps the club it had.
    if (club < kClubCount) SetClub(club);
  }
  return m.ok();
}

namespace {

// Moves the field of one tag (reading or writing, as the mover's mode says).
void moveTag(playerInfo_s& r, Mover& m, int tag, playerInfo_s::StatTable* st, playerInfo_s::ScoreTable* sc) {
  switch (tag) {
    case 0: m.u32(r.model); break;
    case 1: m.u32s(r.tripleD, 3); break;
    case 2: m.u32(r.bag); break;
    case 3: m.bytes(r.name, sizeof r.name); break;
    case 4: m.bytes(r.secondName, sizeof r.secondName); break;
    case 5: m.u32s(r.firstPair, 2); break;
    case 6: m.u32s(r.secondPair, 2); break;
    case 7: m.u32s(st->data(), st->size()); break;
    case 8: m.u32s(sc->data(), sc->size()); break;
    case 9: m.u32(r.wordE); break;
    case 10: m.u16(r.wordF); break;
    case 11: m.u8(r.ballByte11); break;
    case 12: m.u8(r.ballByte12); break;
    case 13: m.u8(r.currentClub); break;
    case 14: m.u8(r.level); break;
    case 15: m.u8(r.option5); break;
    case 16: m.u8(r.option7); break;
    case 17: m.u8(r.option8); break;
    case 18: m.u8(r.option9); break;
    case 19: m.u8(r.levelPreset); break;
    case 20: m.u32(r.viewOptions); break;
    case 21: m.u8(r.option1); break;
    case 22: m.u8(r.option2); break;
    case 23: m.u8(r.mulligan); break;
    case 24: m.u8(r.option4); break;
    case 25: m.u8(r.option3); break;
    case 26: m.u32(r.wordG); break;
    case 27: m.u32(r.viewChoices); break;
    case 28:
      for (ClubSetting& c : r.clubs) {
        m.u32(c.percent);
        m.u32(c.trajectory);
      }
      break;
    case 29: m.u8(r.option6); break;
    case 30: m.u32(r.wordI); break;
    case 31: m.u32(r.wordA); break;
    case 32: m.u32(r.wordK); break;
    case 33: m.u32(r.shotType); break;
    case 34: m.u32(r.wordJ); break;
    case 35: m.u32(r.wordL); break;
    case 36: {
      uint32_t wide = r.ballByte36;
      m.u32(wide);
      r.ballByte36 = static_cast<uint8_t>(wide);
      break;
    }
    default: break;
  }
}

}  // namespace

bool playerInfo_s::writeTagged(int modeA, int modeB, SerialTarget* s) {
  StatTable zeroStats{};
  ScoreTable zeroScores{};
  StatTable* st = statistics ? statistics.get() : &zeroStats;
  ScoreTable* sc = scores ? scores.get() : &zeroScores;
  Mover a(modeA, s);
  Mover b(modeB, s);
  for (int tag = 0; tag <= kLastTag; ++tag) {
    Mover& m = tag <= kLastLeadingTag ? a : b;
    uint16_t t = static_cast<uint16_t>(tag), size = kTagBytes[tag];
    m.u16(t);
    m.u16(size);
    moveTag(*this, m, tag, st, sc);
    if (!a.ok() || !b.ok()) return false;
  }
  uint16_t end = kEndTag;
  b.u16(end);
  return b.ok();
}

bool playerInfo_s::readTagged(int mode, SerialTarget* s, bool* ended) {
  const uint8_t clubBefore = currentClub;
  Mover m(mode, s);
  while (true) {
    uint16_t tag = 0, size = 0;
    m.u16(tag);
    if (!m.ok()) break;
    if (tag == kEndTag) {
      if (ended) *ended = true;
      break;
    }
    m.u16(size);
    if (!m.ok()) break;
    if (tag > kLastTag) {
      m.skip(size);
      if (!m.ok()) break;
      continue;
    }
    StatTable* st = tag == 7 ? statTable() : nullptr;
    ScoreTable* sc = tag == 8 ? scoreTable() : nullptr;
    if ((tag == 7 && !st) || (tag == 8 && !sc)) return false;
    // A known tag moves its own width, whatever size was stored.
    moveTag(*this, m, tag, st, sc);
    if (!m.ok()) break;
  }
  terminateNames(*this);
  // A refused club keeps the one before; either way the shot type is made to agree with the club (a putt
  // only with the putter), as a stored record may say otherwise.
  if (currentClub >= kClubCount) currentClub = clubBefore;
  SetClub(currentClub);
  return true;
}

bool playerInfo_s::Transfer(int modeA, int modeB, SerialTarget* stream, bool* ended) {
  if (ended) *ended = false;
  Mover head(modeA, stream);
  head.u32(flags);
  if (!head.ok()) return false;
  if (!(flags & kGolferTaggedForm)) return transferFixed(modeA, stream);
  if (isReadMode(modeA)) return readTagged(modeA, stream, ended);
  return writeTagged(modeA, modeB, stream);
}

bool playerInfo_s::LoadFromFile(HANDLE f) {
  Reset();
  SerialTarget s = SerialTarget::OverFile(f);
  bool ended = false;
  // A tagged record cut before its end tag is damaged, however much of it was read.
  return Transfer(SERIAL_READFILE, SERIAL_READFILE, &s, &ended) && (ended || !(flags & kGolferTaggedForm));
}

bool playerInfo_s::SaveToFile(HANDLE f) {
  flags |= kGolferTaggedForm;
  SerialTarget s = SerialTarget::OverFile(f);
  return Transfer(SERIAL_WRITEFILE, SERIAL_WRITEFILE, &s);
}

bool playerInfo_s::WriteToStream(SerialTarget* stream) {
  return Transfer(SERIAL_PUT, SERIAL_PUT, stream);
}

bool playerInfo_s::ReadFromStream(SerialTarget* stream) {
  Reset();
  bool ended = false;
  return Transfer(SERIAL_GET, SERIAL_GET, stream, &ended) && (ended || !(flags & kGolferTaggedForm));
}

namespace {
bool scoreIndexValid(int round, int hole) { return round >= 0 && round < kRounds && hole >= 0 && hole < kHoles; }
size_t strokesIndex(int round, int hole) { return static_cast<size_t>(round * kHoles + hole); }
size_t puttsIndex(int round, int hole) { return kRounds * kHoles + strokesIndex(round, hole); }
}  // namespace

int playerInfo_s::GetHoleScore(int round, int hole, uint32_t* strokes, uint32_t* putts) {
  if (!scoreIndexValid(round, hole)) return kRecordNoTable;
  ScoreTable* t = scoreTable();
  if (!t) return kRecordNoMemory;
  if (strokes) *strokes = (*t)[strokesIndex(round, hole)];
  if (putts) *putts = (*t)[puttsIndex(round, hole)];
  return kRecordOk;
}

int playerInfo_s::SetHoleScore(int round, int hole, uint32_t strokes, uint32_t putts) {
  if (!scoreIndexValid(round, hole)) return kRecordNoTable;
  ScoreTable* t = scoreTable();
  if (!t) return kRecordNoMemory;
  (*t)[strokesIndex(round, hole)] = strokes;
  (*t)[puttsIndex(round, hole)] = putts;
  return kRecordOk;
}

int playerInfo_s::AddHoleScore(int round, int hole, int32_t strokes, int32_t putts) {
  if (!scoreIndexValid(round, hole)) return kRecordNoTable;
  ScoreTable* t = scoreTable();
  if (!t) return kRecordNoMemory;
  (*t)[strokesIndex(round, hole)] += static_cast<uint32_t>(strokes);
  (*t)[puttsIndex(round, hole)] += static_cast<uint32_t>(putts);
  return kRecordOk;
}

uint32_t playerInfo_s::GetStatistic(int index) {
  if (index < 0 || index >= kStatisticCount) return 0;
  StatTable* t = statTable();
  return t ? (*t)[static_cast<size_t>(index)] : 0;
}

int playerInfo_s::SetStatistic(int index, uint32_t value) {
  if (index < 0 || index >= kStatisticCount) return kRecordNoTable;
  StatTable* t = statTable();
  if (!t) return kRecordNoMemory;
  (*t)[static_cast<size_t>(index)] = value;
  return kRecordOk;
}

uint32_t playerInfo_s::GetClubPercent(int club) const {
  if (club < 0 || club >= kClubCount) return 100;
  const uint32_t p = clubs[club].percent;
  return p == 0 ? 100 : p;
}

void playerInfo_s::SetClubPercent(int club, uint32_t percent) {
  if (club >= 0 && club < kClubCount) clubs[club].percent = percent;
}

int playerInfo_s::GetClubTrajectory(int club) const {
  if (club < 0 || club >= kClubCount) return 0;
  static constexpr int kSteps[5] = {0, -1, -2, 1, 2};
  const uint32_t choice = clubs[club].trajectory;
  return choice < 5 ? kSteps[choice] : 0;
}

void playerInfo_s::SetClubTrajectory(int club, uint32_t choice) {
  if (club >= 0 && club < kClubCount && choice < 5) clubs[club].trajectory = choice;
}

void playerInfo_s::SetMulliganRule(int rule) {
  mulligan = static_cast<uint8_t>((mulligan & 0xF0) | (rule & 0x0F));
  if ((rule & 0x0F) == 2) mulligan |= 0x30;
}

bool playerInfo_s::MayTakeMulligan(int hole) const {
  switch (GetMulliganRule()) {
    case 1: return true;
    case 2: return hole <= 8 ? (mulligan & 0x10) != 0 : (mulligan & 0x20) != 0;
    default: return false;
  }
}

void playerInfo_s::SpendMulligan(int hole) {
  if (GetMulliganRule() != 2) return;
  mulligan &= static_cast<uint8_t>(hole <= 8 ? ~0x10 : ~0x20);
}

void playerInfo_s::SetClub(int club) {
  if (club < 0 || club >= kClubCount) return;
  currentClub = static_cast<uint8_t>(club);
  if (club == kPutter && shotType != kShotTypePutt) shotType = kShotTypePutt;
  else if (club != kPutter && shotType == kShotTypePutt) shotType = 0;
}

void playerInfo_s::SetShotType(uint32_t type) {
  shotType = type;
  if (type == kShotTypePutt && currentClub != kPutter) currentClub = kPutter;
  else if (type != kShotTypePutt && currentClub == kPutter)
    currentClub = static_cast<uint8_t>(PrevClubInBag(this, kPutter));
}

void playerInfo_s::SetLevel(int newLevel) {
  if (newLevel < 0 || newLevel > 4) return;
  level = static_cast<uint8_t>(newLevel);
  if (newLevel == 4) return;
  const LevelPreset& p = kLevelPresets[newLevel];
  option4 = p.option4;
  option2 = p.option2;
  option3 = p.option3;
  mulligan = p.mulligan;
  wordJ = p.wordJ;
  viewOptions = (viewOptions & ~kLevelViewMask) | p.viewBits;
  levelPreset = p.levelPreset;
  if (GameAppliesLevelPresets()) {
    option5 = p.option5;
    option6 = p.option6;
    option7 = p.option7;
    option8 = p.option8;
    option9 = p.option9;
  }
  if (wordK != 0) option3 = 1;
}

void playerInfo_s::MakeDefaultGolfer(int slot, bool userGolfer) {
  Reset();
  flags |= kGolferTakesPart;
  if (userGolfer) flags |= kGolferFlag5;
  SetMulliganRule(userGolfer ? 1 : 0);
  if (userGolfer || slot < 4) SetLevel(1);
}

namespace {
bool inBag(uint32_t bag, int club) { return (bag >> club) & 1u; }
}  // namespace

int NextClubInBag(const playerInfo_s* record, int club) {
  if (!record) record = ActiveGolferRecord;
  if (!record || club < 0 || club > kPutter) return club;
  if (club == kPutter) return club;
  for (int c = club + 1; c <= kPutter; ++c)
    if (inBag(record->bag, c)) return c;
  for (int c = club - 1; c >= 0; --c)
    if (inBag(record->bag, c)) return c;
  return club;
}

int PrevClubInBag(const playerInfo_s* record, int club) {
  if (!record) record = ActiveGolferRecord;
  if (!record || club < 0 || club > kPutter) return club;
  if (club == 0) return club;
  for (int c = club - 1; c >= 0; --c)
    if (inBag(record->bag, c)) return c;
  for (int c = club + 1; c <= kPutter; ++c)
    if (inBag(record->bag, c)) return c;
  return club;
}

bool HasTaggedLead(const uint8_t* data, size_t size) {
  if (size < kTaggedLeadBytes) return false;
  const uint32_t flags = ReadLE32(data);
  if (!(flags & kGolferTaggedForm)) return false;
  size_t at = 4;
  for (int tag = 0; tag <= kLastLeadingTag; ++tag) {
    const uint16_t t = ReadLE16(data + at);
    const uint16_t n = ReadLE16(data + at + 2);
    if (t != tag || n != kTagBytes[tag]) return false;
    at += 4u + n;
  }
  return at == kTaggedLeadBytes;
}

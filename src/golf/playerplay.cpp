// What a golfer in play does beyond its record: attaching a record for play, the stance, the stroke limit,
// course conditions, and the player list's order of play.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "golf/game.h"
#include "golf/player.h"
#include "windows.h"

bool ViewOptionBypass = false;

namespace {

// Golfers without a golfer file take their names from here (roster numbers from 4 on).
constexpr const char* kBuiltInNames[] = {"Ada Birchall", "Tom Ruskin", "Mae Corran", "Ivo Hartnell",
                                         "Lena Strand", "Kit Mallory", "Ned Ashdown", "Rosa Pell"};


bool active(const TPlayer* p) {
  return p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferOut) && !(p->flags & kGolferGone);
}

uint32_t holeStrokes(TPlayer* p, int round, int hole) {
  uint32_t strokes = 0;
  if (p->GetHoleScore(round, hole, &strokes, nullptr) != kRecordOk) return 0;
  return strokes & ~kScoreMarker;
}

float groundDistance(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

uint32_t ConvertViewOptions(uint32_t v) {
  if (ViewOptionBypass) return v;
  const uint32_t choice = v & 0xF0000;
  if (choice == 0 || choice == 0x10000 || choice == 0x20000) return v;
  uint32_t second;
  switch (choice) {
    case 0x30000: second = 0x20; break;
    case 0x40000: second = 0x10; break;
    case 0x50000: second = 0x40; break;
    case 0x70000: second = 0x90; break;
    case 0x80000: second = 0xA0; break;
    case 0x90000: second = 0xB0; break;
    default: second = 0x30; break;
  }
  return (v & ~0xFF000u) | (second << 8);
}

int TPlayer::AttachRecord(const playerInfo_s& source, int slot) {
  int result = CopyFrom(source);
  noTableFlag = !source.statistics || !source.scores ? 1 : 0;
  if (result == kRecordOk) {
    // Tables exist for play even when the source had none.
    uint32_t unused = 0;
    GetStatistic(0);
    if (!statistics) result = kRecordNoMemory;
    else result = GetHoleScore(0, 0, &unused, nullptr);
  }
  if (result != kRecordOk) {
    Reset();
    return result;
  }
  flags |= kGolferTakesPart;
  model = static_cast<uint32_t>(slot);
  SetMulliganRule(source.GetMulliganRule());
  if (flags & kGolferNoFile) {
    const int index = slot - 4;
    if (index >= 0 && index < static_cast<int>(std::size(kBuiltInNames))) {
      std::memset(name, 0, sizeof name);
      std::strncpy(name, kBuiltInNames[index], sizeof name - 1);
    }
  }
  viewOptions = ConvertViewOptions(viewOptions);
  return kRecordOk;
}

void TPlayer::ClearHoleState() {
  holedOut = 0;
  shootoffDone = 0;
  ackStatus = 0;
  retries = 0;
  word1 = word2 = word3 = word4 = word5 = word6 = 0;
  short2 = 0;
  animationFlag = 0;
}

void TPlayer::UpdateStance() {
  const Vector3& b = ball.position;
  if (b.x != stance.x || b.y != stance.y || b.z != stance.z) {
    stance = b;
    positionChanged = 0;
  }
}

bool TPlayer::ReachedStrokeLimit(int gameMode, int round, int hole) {
  if (gameMode == kModePractice || gameMode == kModeDrivingRange) return false;
  return holeStrokes(this, round, hole) > 14;
}

int TPlayer::SpecialAnimationCount(int animation) const {
  if (model != 17) return 0;
  switch (animation) {
    case 22: return 4;
    case 28: case 30: case 42: case 44: case 46: return 2;
    case 34: case 36: return 6;
    case 38: case 40: return 8;
    default: return 0;
  }
}

void TPlayer::CheckCourseConditions() {
  if (windCondition > 2) {
    OutputDebugStringA("Wind condition adjusted\n");
    windCondition = 0;
  }
  if (fairwayCondition > 2) {
    OutputDebugStringA("Fairway condition adjusted\n");
    fairwayCondition = 1;
  }
  if (greenCondition > 2) {
    OutputDebugStringA("Green conditions adjusted\n");
    greenCondition = 1;
  }
}

void TPlayerList::OrderForNextHole(uint16_t order[4], int round, int hole) {
  // Order entries that are not slots are mended first: each slot once.
  uint16_t fixed[kSlots];
  int n = 0;
  bool seen[kSlots] = {};
  for (int i = 0; i < kSlots; ++i)
    if (order[i] < kSlots && !seen[order[i]]) {
      seen[order[i]] = true;
      fixed[n++] = order[i];
    }
  for (uint16_t s = 0; s < kSlots; ++s)
    if (!seen[s]) fixed[n++] = s;
  auto key = [&](uint16_t s) -> uint64_t {
    TPlayer* p = slots_[s].get();
    if (!p || !(p->flags & kGolferTakesPart)) return UINT64_MAX;
    return holeStrokes(p, round, hole);
  };
  std::stable_sort(fixed, fixed + kSlots, [&](uint16_t a, uint16_t b) { return key(a) < key(b); });
  std::copy(fixed, fixed + kSlots, order);
}

int TPlayerList::ChooseNextPlayer(const uint16_t order[4], const Vector3& pin, int round, int hole) const {
  int best = kSlots;
  float bestDistance = -1.0f;
  for (int i = 0; i < kSlots; ++i) {
    const uint16_t s = order[i];
    if (s >= kSlots) continue;
    TPlayer* p = slots_[s].get();
    if (!active(p) || p->holedOut) continue;
    if (holeStrokes(p, round, hole) == 0) return s;  // still on the tee: the play order decides
    const float d = groundDistance(p->ball.position, pin);
    if (d > bestDistance) {
      best = s;
      bestDistance = d;
    }
  }
  return best;
}

bool TPlayerList::AllHoledOut() const {
  for (const auto& s : slots_)
    if (active(s.get()) && !s->holedOut) return false;
  return true;
}

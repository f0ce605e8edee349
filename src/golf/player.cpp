#include "golf/player.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "framework/core/services.h"
#include "golf/golferfile.h"

int TPlayer::CopyFromPlayer(const TPlayer& other) {
  if (this == &other) return kRecordOk;
  const int result = CopyFrom(other);
  perHoleCounter = other.perHoleCounter;
  carriedWord1 = other.carriedWord1;
  carriedWord2 = other.carriedWord2;
  // A golfer carried into another game keeps its place on the hole and its machine.
  holedOut = other.holedOut;
  shootoffDone = other.shootoffDone;
  stance = other.stance;
  machineId = other.machineId;
  windCondition = other.windCondition;
  fairwayCondition = other.fairwayCondition;
  greenCondition = other.greenCondition;
  return result;
}

namespace {
std::unique_ptr<TPlayer> makePlayer(bool computer) {
  if (computer) return std::unique_ptr<TPlayer>(new (std::nothrow) TAIPlayer);
  return std::unique_ptr<TPlayer>(new (std::nothrow) TPlayer);
}
}  // namespace

TPlayerList::TPlayerList() {
  for (auto& s : slots_) s = makePlayer(false);
}

bool TPlayerList::valid() const {
  for (const auto& s : slots_)
    if (!s) return false;
  return true;
}

TPlayer* TPlayerList::GetPlayer(int slot) const {
  if (slot < 0 || slot >= kSlots) return nullptr;
  return slots_[slot].get();
}

int TPlayerList::SlotOf(const playerInfo_s* record) const {
  for (int i = 0; i < kSlots; ++i)
    if (record && slots_[i].get() == record) return i;
  return kSlots;
}

int TPlayerList::CopyFrom(const TPlayerList& other) {
  if (this == &other) return kRecordOk;
  std::unique_ptr<TPlayer> copies[kSlots];
  for (int i = 0; i < kSlots; ++i) {
    const TPlayer* src = other.slots_[i].get();
    copies[i] = makePlayer(src && src->IsComputer());
    if (!copies[i]) return kRecordNoMemory;
    if (src && copies[i]->CopyFromPlayer(*src) != kRecordOk) return kRecordNoMemory;
  }
  for (int i = 0; i < kSlots; ++i) slots_[i] = std::move(copies[i]);
  return kRecordOk;
}

void TPlayerList::Reset() {
  const int active = SlotOf(ActiveGolferRecord);
  for (auto& s : slots_) {
    auto fresh = makePlayer(false);
    if (fresh) s = std::move(fresh);
    else if (s) s->Reset();
  }
  // The active golfer record never points at a golfer that is gone.
  if (active < kSlots) ActiveGolferRecord = slots_[active].get();
}

void TPlayerList::Refresh(int currentSlot) const {
  TPlayer* p = GetPlayer(currentSlot);
  ActiveGolferRecord = p ? p : GetPlayer(0);
}

int TPlayerList::SetComputer(int slot, bool computer) {
  TPlayer* old = GetPlayer(slot);
  if (!old) return kRecordNoTable;
  if (old->IsComputer() == computer) return kRecordOk;
  auto fresh = makePlayer(computer);
  if (!fresh || fresh->CopyFromPlayer(*old) != kRecordOk) return kRecordNoMemory;
  if (ActiveGolferRecord == old) ActiveGolferRecord = fresh.get();
  slots_[slot] = std::move(fresh);
  return kRecordOk;
}

int TPlayerList::CountTakingPart() const {
  int n = 0;
  for (const auto& s : slots_) n += s && (s->flags & kGolferTakesPart) ? 1 : 0;
  return n;
}

int TPlayerList::CountActivePlayers() const {
  int n = 0;
  for (const auto& s : slots_) n += s && (s->flags & kGolferTakesPart) && !(s->flags & kGolferOut) ? 1 : 0;
  return n;
}

bool TPlayerList::HasNoActivePlayer() const { return CountActivePlayers() == 0; }

bool TPlayerList::IsFlag5ClearForAll() const {
  for (const auto& s : slots_)
    if (s && (s->flags & kGolferTakesPart) && (s->flags & kGolferFlag5)) return false;
  return true;
}

int TPlayerList::FindFreeSlot(int mode) const {
  int free[kSlots], n = 0;
  for (int i = 0; i < kSlots; ++i)
    if (slots_[i] && !(slots_[i]->flags & kGolferTakesPart)) free[n++] = i;
  if (n == 0) return -1;
  if (mode == 1) return free[Svc().scene->Random15() % n];
  return free[0];
}

void TPlayerList::ReleaseAllTables() {
  for (auto& s : slots_) {
    if (!s) continue;
    s->statistics.reset();
    s->scores.reset();
  }
}

int TPlayerList::SaveGolferFiles(const std::string& folder) {
  int failures = 0;
  for (auto& s : slots_)
    if (s && (s->flags & kGolferTakesPart) && !(s->flags & kGolferNoFile))
      failures += SaveGolferFile(folder, *s) == kGolferFileOk ? 0 : 1;
  return failures;
}

int TPlayerList::ReloadGolferFiles(const std::string& folder) {
  int failures = 0;
  for (auto& s : slots_) {
    if (!s || !(s->flags & kGolferTakesPart) || (s->flags & kGolferNoFile)) continue;
    playerInfo_s loaded;
    char name[sizeof s->name];
    std::copy(std::begin(s->name), std::end(s->name), name);
    if (LoadGolferFile(folder, name, loaded) != kGolferFileOk) {
      ++failures;
      continue;
    }
    // The golfer keeps its place in the game.
    loaded.flags |= kGolferTakesPart;
    s->CopyFrom(loaded);
  }
  return failures;
}

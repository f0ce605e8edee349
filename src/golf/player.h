#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "golf/playerinfo.h"

// A golfer in play: the golfer record followed by the per-round state of play.
class TPlayer : public playerInfo_s {
 public:
  uint16_t perHoleCounter = 0;  // carried with the golfer
  uint32_t word1 = 0, word2 = 0, word3 = 0, word4 = 0, word5 = 0;
  uint32_t carriedWord1 = 0, carriedWord2 = 0;
  uint16_t short2 = 0;
  uint32_t noTableFlag = 0;
  uint32_t positionChanged = 0;
  uint32_t word6 = 0;

  TPlayer() = default;
  virtual ~TPlayer() = default;
  TPlayer(const TPlayer&) = delete;
  TPlayer& operator=(const TPlayer&) = delete;

  virtual bool IsComputer() const { return false; }
  // Copies the golfer record, then the per-hole counter and the carried words.
  virtual int CopyFromPlayer(const TPlayer& other);
};

// The computer golfer in play; the same record, its own shot choice.
class TAIPlayer : public TPlayer {
 public:
  bool IsComputer() const override { return true; }
};

// The golfers of a round: four slots, each holding a golfer in play. A golfer takes part when flag bit 0
// is set; it is out of the round when bit 6 is set as well.
class TPlayerList {
 public:
  static constexpr int kSlots = 4;

  TPlayerList();
  ~TPlayerList() = default;
  TPlayerList(const TPlayerList&) = delete;
  TPlayerList& operator=(const TPlayerList&) = delete;

  bool valid() const;  // every slot could be made

  // The golfer of slot 0..3, or null for any other slot.
  TPlayer* GetPlayer(int slot) const;
  int SlotOf(const playerInfo_s* record) const;  // 0..3, or kSlots when not in the list

  // Makes every slot a copy of the other list's golfer (records and tables copied, never shared).
  // Result kRecordOk, or kRecordNoMemory with this list unchanged.
  int CopyFrom(const TPlayerList& other);
  // Every golfer back to a cleared record.
  void Reset();
  // Points the active golfer record at the given slot's golfer (after the list has replaced another).
  void Refresh(int currentSlot) const;
  // Turns a slot's golfer into a computer or a person, keeping its record.
  int SetComputer(int slot, bool computer);

  int CountTakingPart() const;
  int CountActivePlayers() const;  // taking part and not out
  bool HasNoActivePlayer() const;
  bool IsFlag5ClearForAll() const;  // no taking-part golfer has bit 5 set
  // Mode 0: the first slot whose golfer does not take part; mode 1: a random such slot. -1 when full.
  int FindFreeSlot(int mode) const;
  void ReleaseAllTables();

  // Golfer files of the taking-part golfers that have one (flag bit 4 clear). Results: count of failures.
  int SaveGolferFiles(const std::string& folder);
  int ReloadGolferFiles(const std::string& folder);

 private:
  std::unique_ptr<TPlayer> slots_[kSlots];
};

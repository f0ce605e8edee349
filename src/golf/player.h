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
  // Set when the golfer is made and never cleared here; the hole panel counts the shot in hand while it is set.
  uint8_t inPlay = 1;

  // Play on the current hole (cleared when a hole starts) and the network handshake.
  uint32_t holedOut = 0;         // holed out, or picked up at the stroke limit
  uint32_t hitCart = 0;          // its ball struck the range's cart; cleared when the cart drives on
  uint32_t shootoffDone = 0;     // has played its shot of the running shoot-off
  Vector3 stance{};              // where the golfer stands to play
  uint32_t machineId = 0;        // the machine that plays this golfer
  uint32_t ackStatus = 0;        // the status its machine last acknowledged
  uint32_t retries = 0;          // handshake re-sends to its machine
  // Course conditions of the golfer's shots: wind, fairway and green (0..2).
  uint8_t windCondition = 0, fairwayCondition = 1, greenCondition = 1;
  // The game's tee shots on par 4 and 5 holes, for the statistics at game over.
  struct DriveStats {
    uint32_t longest = 0, yards = 0, measured = 0, fairways = 0, chances = 0;
  } drives;
  // The golfer is on a charge (golfer model 17 playing the aggressive shot): a longer streak behind its ball and a
  // second sound at the impact. Cleared when the choice is and when a hole starts.
  uint8_t animationFlag = 0;
  bool GetAnimationFlag() const { return animationFlag != 0; }
  // The scene's animations of this golfer (its ball and swing), made and read by the scene only.
  std::shared_ptr<void> sceneAttachment;

  TPlayer() = default;
  virtual ~TPlayer() = default;
  TPlayer(const TPlayer&) = delete;
  TPlayer& operator=(const TPlayer&) = delete;

  virtual bool IsComputer() const { return false; }
  // Copies the golfer record, then the per-hole counter and the carried words.
  virtual int CopyFromPlayer(const TPlayer& other);
  // The computer golfer's turn: chooses and plays the shot. A person's shot comes from the interface.
  virtual void TakeTurn() {}

  // Copies a golfer record into this golfer for play in the slot (tables copied, name from the built-in
  // table for golfers without a file). kRecordOk, kRecordNoMemory or kRecordNoTable; the record is reset
  // again on failure.
  int AttachRecord(const playerInfo_s& source, int slot);
  // Clears what a hole keeps of the golfer.
  void ClearHoleState();
  // The ball's resting place becomes the stance when it moved.
  void UpdateStance();
  // Strokes on the hole have reached the limit (15) in every mode but practice and the driving range.
  bool ReachedStrokeLimit(int gameMode, int round, int hole);
  int SpecialAnimationCount(int animation) const;
  bool IsSpecialGolfer() const { return model == 17 && firstPair[1] == 9; }
  // Brings the course conditions into range before the shot goes out (trace lines for each repair).
  void CheckCourseConditions();
};

// Unless the bypass is set, folds the Main view camera choice into the second byte of the view options.
extern bool ViewOptionBypass;
uint32_t ConvertViewOptions(uint32_t viewOptions);

// The computer golfer in play; the same record, its own shot choice.
class TAIPlayer : public TPlayer {
 public:
  bool IsComputer() const override { return true; }
  void TakeTurn() override;
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

  // Play order (a table of four slots): the golfers of the next hole ordered by their strokes on the hole
  // just played, fewest first, keeping the earlier order on ties.
  void OrderForNextHole(uint16_t order[4], int round, int hole);
  // The next golfer to play: among active golfers that have not holed out, the one farthest from the pin;
  // golfers still on the tee follow the play order. kSlots when nobody is left.
  int ChooseNextPlayer(const uint16_t order[4], const Vector3& pin, int round, int hole) const;
  bool AllHoledOut() const;  // every active golfer has holed out

  // Golfer files of the taking-part golfers that have one (flag bit 4 clear). Results: count of failures.
  int SaveGolferFiles(const std::string& folder);
  int ReloadGolferFiles(const std::string& folder);

 private:
  std::unique_ptr<TPlayer> slots_[kSlots];
};

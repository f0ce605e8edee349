#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "golf/ballstate.h"
#include "golf/serialize.h"

// The golfer record: identity, bag, per-club settings, play and view options, the score table of five
// rounds and the statistics table. It is the body of golfer files, part of saved games and of the network
// golfer exchange, and is moved field by field in a fixed form (930 bytes) or a tagged form (tag, size,
// data records closed by tag 999). Flag bit 20 says which form a stored record uses.

constexpr uint32_t kGolferTakesPart = 0x1;
constexpr uint32_t kGolferNoFile = 0x10;
constexpr uint32_t kGolferFlag5 = 0x20;
constexpr uint32_t kGolferOut = 0x40;
// The golfer's machine left the networked round.
constexpr uint32_t kGolferGone = 0x80;
// A golfer made for network play (the net golfer editor's).
constexpr uint32_t kGolferNetGolfer = 0x100;
constexpr uint32_t kGolferFlag9 = 0x200;
constexpr uint32_t kGolferTaggedForm = 0x100000;

// The view choices' Overhead option: the overhead view is shown.
constexpr uint32_t kViewOverheadBit = 0x8;
constexpr int kPutter = 20;
constexpr int kClubCount = 21;
constexpr int kShotTypePutt = 7;
constexpr int kRounds = 5;
constexpr int kHoles = 18;
constexpr int kStatisticCount = 27;
constexpr uint32_t kFixedRecordBytes = 930;
constexpr uint16_t kEndTag = 999;
constexpr uint32_t kScoreMarker = 0x10000000;

// Accessor results.
constexpr int kRecordOk = 0;
constexpr int kRecordNoMemory = 2;
constexpr int kRecordNoTable = 4;

struct ClubSetting {
  uint32_t percent = 0;     // 0 reads as 100
  uint32_t trajectory = 0;  // 0 none, 1 gives -1, 2 gives -2, 3 gives +1, 4 gives +2
};

// The plain fields of the golfer record (everything but its two tables).
struct playerInfoFields {
  uint32_t flags = 0;
  uint32_t model = 0;
  char name[16] = {};
  char secondName[16] = {};
  uint32_t wordA = 0;
  uint32_t firstPair[2] = {};
  uint32_t secondPair[2] = {};
  uint32_t tripleD[3] = {};
  // The three bytes of the golfer's ball state that are stored with the record.
  uint8_t ballByte11 = 0;
  uint8_t ballByte12 = 0;
  uint8_t ballByte36 = 0;
  uint32_t bag = 0;
  uint32_t wordE = 0;
  uint16_t wordF = 0;
  uint8_t option1 = 1;
  uint8_t option2 = 1;
  uint8_t option3 = 0;
  uint8_t mulligan = 0;  // low nibble: rule; bit 4 front nine available; bit 5 back nine available
  uint8_t option4 = 0;
  uint8_t currentClub = 0;
  uint8_t level = 0;
  uint8_t option5 = 0;
  uint8_t option6 = 0;
  uint8_t option7 = 0;
  uint8_t option8 = 0;
  uint8_t option9 = 0;
  uint8_t levelPreset = 0;
  uint32_t viewOptions = 0;
  uint32_t wordG = 0;
  uint32_t viewChoices = 0;  // the Display settings choices (grids, cameras); the aids stay in viewOptions
  ClubSetting clubs[kClubCount];
  uint32_t wordI = 1;
  uint32_t wordJ = 1;
  uint32_t wordK = 0;
  uint32_t wordL = 0;
  uint32_t shotType = 0;
  BallState ball;            // the golfer's ball
  BallState ballBeforeShot;  // put back by a rehit or a mulligan
};

struct playerInfo_s : playerInfoFields {
  using StatTable = std::array<uint32_t, kStatisticCount>;
  using ScoreTable = std::array<uint32_t, 2 * kRounds * kHoles>;  // strokes, then putts

  std::unique_ptr<StatTable> statistics;  // allocated on first use
  std::unique_ptr<ScoreTable> scores;     // allocated on first use

  playerInfo_s() = default;
  playerInfo_s(const playerInfo_s& other) { CopyFrom(other); }
  playerInfo_s& operator=(const playerInfo_s& other) {
    if (this != &other) CopyFrom(other);
    return *this;
  }

  // Copies every field; the tables are copied, never shared. Result kRecordNoMemory when a copy of a
  // table cannot be made (the record is then reset).
  int CopyFrom(const playerInfo_s& other);
  void Reset();

  // Moves the record through the stream: modeA for the flag word and the leading tags, modeB for the rest.
  // A tagged read that meets the end of the stream stops there; `ended` tells whether the end tag was read.
  bool Transfer(int modeA, int modeB, SerialTarget* stream, bool* ended = nullptr);
  bool LoadFromFile(HANDLE f);   // reset, then read
  bool SaveToFile(HANDLE f);     // always the tagged form
  bool WriteToStream(SerialTarget* stream);
  bool ReadFromStream(SerialTarget* stream);  // reset, then read

  // Score table of (round, hole); results kRecordOk, kRecordNoMemory or kRecordNoTable (bad index).
  int GetHoleScore(int round, int hole, uint32_t* strokes, uint32_t* putts);
  int SetHoleScore(int round, int hole, uint32_t strokes, uint32_t putts);
  int AddHoleScore(int round, int hole, int32_t strokes, int32_t putts);
  uint32_t GetStatistic(int index);
  int SetStatistic(int index, uint32_t value);

  uint32_t GetClubPercent(int club) const;
  void SetClubPercent(int club, uint32_t percent);
  int GetClubTrajectory(int club) const;  // -2..+2
  void SetClubTrajectory(int club, uint32_t choice);

  int GetMulliganRule() const { return mulligan & 0x0F; }
  void SetMulliganRule(int rule);
  bool MayTakeMulligan(int hole) const;
  void SpendMulligan(int hole);

  // Keep the putter and the putt shot type together.
  void SetClub(int club);
  void SetShotType(uint32_t type);

  uint32_t GetMainView() const { return viewOptions & 0xF0000; }
  bool IsMainView(uint32_t masked) const { return GetMainView() == masked; }
  void SetLevel(int newLevel);
  // A fresh golfer for a player slot: taking part; a user golfer is played by a person with unlimited mulligans,
  // otherwise a computer golfer without; a user golfer or one of the first four slots plays at Amateur level.
  void MakeDefaultGolfer(int slot, bool userGolfer);

 private:
  bool transferFixed(int mode, SerialTarget* s);
  bool writeTagged(int modeA, int modeB, SerialTarget* s);
  bool readTagged(int mode, SerialTarget* s, bool* ended);
  StatTable* statTable();
  ScoreTable* scoreTable();
};

// The record of the golfer whose turn it is.
extern playerInfo_s* ActiveGolferRecord;

// Next and previous club in the bag from club k; a null record means the active golfer. With an empty bag
// the club stays k.
int NextClubInBag(const playerInfo_s* record, int club);
int PrevClubInBag(const playerInfo_s* record, int club);

// Whether the current game presets the further option bytes with the level (provided by the game).
bool GameAppliesLevelPresets();

// Byte size of a record in the tagged form, and of its leading part (flag word and tags 0-12).
constexpr size_t kTaggedRecordBytes = 1279;
constexpr size_t kTaggedLeadBytes = 960;

// Whether stored bytes begin with a tagged-form flag word and tags 0-12 in order with their own sizes:
// only then can the later tags be rewritten in place.
bool HasTaggedLead(const uint8_t* data, size_t size);

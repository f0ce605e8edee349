// The game modes beyond stroke play and the shootout: match play and its team forms, skins, the
// tournaments, practice and the driving range. Included by game.h; the rules are in docs/golf.md.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "golf/game.h"

// Match play: two sides play hole by hole; the fewest net strokes of a side win the hole, equal scores
// halve it. The match ends when a side leads by more holes than are left.
class TMatchPlayGame : public TGame {
 public:
  enum HoleResult : uint8_t { kUnplayed = 0, kWonBySide0 = 1, kWonBySide1 = 2, kHalved = 3 };
  uint8_t holeResults[kRounds][kHoles] = {};
  uint16_t holesWon[2] = {};
  uint16_t holesPlayed = 0;
  int8_t holeConcededBy = -1;   // the side that gave up the current hole
  int8_t matchConcededBy = -1;  // the side that gave up the match

  explicit TMatchPlayGame(uint16_t m) : TGame(m) {}
  uint32_t GetSaveSize() const override;
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;

  // Sides: in singles the first golfer taking part against the next one; the team forms pair slots 0 and 1
  // against 2 and 3.
  virtual int SideOf(int slot) const;
  virtual int PartnerOf(int /*slot*/) const { return -1; }
  bool HasPartner(int slot) const { return PartnerOf(slot) >= 0; }
  // Holes up of a side (negative when down), the leading side (-1 when level) and holes left to play.
  int GetStanding(int side) const;
  int GetLeader() const;
  int HolesRemaining() const;
  bool IsDormie() const;
  bool IsMatchOver() const;
  // "AS", "2 UP", "1 DN" or "DORMIE" for a side's standing; the match result ("3 & 2", "2 UP", "HALVED").
  std::string FormatMatchStatus(int side) const;
  std::string ResultText() const;
  void ConcedeHole(int side);
  void ConcedeMatch(int side);
  // A side with nobody left in it loses the match.
  void DisqualifyGolfer(int slot) override;

  int GetHoleWinner(uint16_t* winner, bool trial = false) override;
  bool IsHoleComplete() override;
  void UpdateHoleScores() override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  std::string GetScoreText(int slot) override;
  void ShowHoleResults() override;
  void ShowFinalResults() override;
  bool HoldForStanding() override;
  bool ShowClosingStanding() override;
  void ContinuePlay() override { GoToNextHole(); }
  void ResetState() override;
  int MinimumPlayers() const override { return 2; }

 protected:
  // Decides the hole from the sides' net scores: 1 decided (result in *result), 0 open.
  int decideHole(HoleResult* result);
  bool takesPart(int slot) const;
};

// Four-ball: two sides of two, the better ball of each side counts.
// In stroke form (`strokeForm`) every golfer holes out, the side's better net ball counts on each hole and
// the lower total wins; the match texts then give the side's better-ball total to par.
class TFourBallGame : public TMatchPlayGame {
 public:
  uint32_t strokeForm = 0;
  int32_t sideTotals[2] = {};  // better-ball net strokes to par, stroke form

  explicit TFourBallGame(uint16_t m) : TMatchPlayGame(m) {}
  uint32_t GetSaveSize() const override;
  int SideOf(int slot) const override { return slot / 2; }
  int PartnerOf(int slot) const override { return slot ^ 1; }
  int MinimumPlayers() const override { return 4; }
  bool IsHoleComplete() override;
  void UpdateHoleScores() override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  std::string GetScoreText(int slot) override;
  // Stroke form: the side with the lower total (-1 level).
  int StrokeLeader() const;
};

// Foursomes: each side plays one ball, the partners striking it in turn; one partner drives on the odd
// holes, the other on the even ones. The side's handicap is half the partners' sum.
class TFoursomeGame : public TFourBallGame {
 public:
  uint16_t nextToPlay[2] = {0, 2};

  explicit TFoursomeGame(uint16_t m) : TFourBallGame(m) {}
  uint32_t GetSaveSize() const override;
  bool HasHandicapStroke(int slot, int hole) const override;
  // Who of the side drives on a hole: the partner of one disqualified.
  int TeeShotPlayer(int side, int hole) const;
  // The partner left plays every shot of the side.
  void DisqualifyGolfer(int slot) override;
  bool ChooseNextPlayer() override;
  int AdvanceHole() override;
  void OnShotFinished() override;
  void SetUpRound() override;
};

// Skins: every hole is worth a skin; the golfer alone with the fewest net strokes wins the skins at stake,
// a tie carries them over to the next hole.
class TSkinsGame : public TGame {
 public:
  static constexpr uint8_t kCarried = 4;
  static constexpr uint8_t kNotPlayed = 5;
  uint8_t holeWinner[kHoles];
  uint16_t skinsAtStake = 1;
  uint16_t holesPlayed = 0;
  uint32_t skinsWon[4] = {};
  uint32_t moneyWon[4] = {};

  explicit TSkinsGame(uint16_t m);
  uint32_t GetSaveSize() const override;
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;
  // The money value of a hole's skin (more on the closing holes).
  static uint32_t HoleValue(int hole);
  // The money and the number of skins at stake on the current hole.
  uint32_t SumSkinValues() const;
  uint16_t ComputeCarryOver() const;
  uint32_t TotalPurse() const;
  // The slot with the most skins (4 when shared or none).
  int Leader() const;

  int GetHoleWinner(uint16_t* winner, bool trial = false) override;
  void UpdateHoleScores() override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  std::string GetScoreText(int slot) override;
  void ShowHoleResults() override;
  void ShowFinalResults() override;
  bool HoldForStanding() override;
  bool ShowClosingStanding() override;
  void ContinuePlay() override { GoToNextHole(); }
  void ResetState() override;
  int MinimumPlayers() const override { return 2; }
  void AddModeStatistics(TPlayer* golfer, int slot) override;
};

// The tournament: stroke play over its rounds against a field of computer entrants whose scores are made
// hole by hole as the golfers play; a cut after a round leaves the leading places and ties.
class TTournamentGame : public TStrokeGame {
 public:
  static constexpr int kFieldComputers = 35;
  static constexpr int kEntrants = kFieldComputers + 4;  // entrants 35..38 are player-list slots 0..3
  struct Standing {
    int entrant = 0;
    int position = 0;  // 1 the leader
    bool tied = false;
    int32_t toPar = 0;
    int holesCompleted = 0;
    uint32_t prize = 0;
  };
  bool present[kEntrants] = {};
  uint8_t fieldScores[kFieldComputers][kRounds][kHoles] = {};
  uint8_t ability[kFieldComputers] = {};
  int cutAfterRound = -1;  // the round (from 0) after which the cut is made; -1 none
  int cutPlaces = 20;      // places that make the cut (with ties)
  int cutMade = 0;
  uint32_t purse = 1000000;
  std::vector<Standing> standings;

  explicit TTournamentGame(uint16_t m);
  uint32_t GetSaveSize() const override;
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;
  bool UsesHandicaps() const override { return false; }
  std::string EntrantName(int entrant) const;
  int FieldSize() const;
  // The score to par of an entrant after `holes` holes of a round.
  int32_t GetEntrantScore(int entrant, int round, int holes) const;
  int32_t EntrantTotal(int entrant) const;
  // Scores of the field's entrants for the hole just played (or every hole left of the round when `all`).
  void UpdateFieldScores(bool all);
  void FillMissingScores() { UpdateFieldScores(true); }
  // Sorts the field, gives positions and tie flags, and splits the prize money; 0 when the lead is tied.
  int ComputeStandings();
  // Positions with ties from the sorted standings; the purse split over them (tied places share theirs; nothing
  // when not `split`).
  void AssignPositions();
  void SplitPrizeMoney(bool split);
  // The round's end: the field's missing scores filled, the standings and, at the end (`final`), after the cut or in
  // the last round, the prize money.
  void ShowRoundDialog(bool final);
  // After each hole every golfer has finished: the front end's standings dialog (page 0 in the round, 1 at a round's
  // end, 2 the final results); `dialogOpen` is 1 while it shows.
  void ShowHoleResults() override;
  uint32_t dialogOpen = 0;
  void MakeCut();
  int holesDoneFor(int entrant) const { return holesDone(entrant); }

  // A lead shared by a person's golfer when the last round is over is played off: the tied entrants play the
  // course's holes again from the first (in the round after the last), the fewest strokes on a hole staying in,
  // until one is left or no person's golfer is. The game's golfers outside the tie sit out meanwhile. A lead no
  // person shares goes to the first placed.
  uint32_t playoff = 0;        // a playoff has begun (and stays set once it is decided)
  uint32_t tieFlag = 0;        // the tie was just found: the standings announce the playoff
  uint32_t simulateToEnd = 0;  // no golfer of the game is left, or no person plays: the field plays the rest (set
                               // after the first standings shown when no person plays, so it ends the next hole)
  uint8_t playoffOut = 0;      // slots the playoff put out (bit per slot), back in when it is decided
  int PlayoffRound() const { return state.lead; }
  // The entrants still in the playoff (standings order) and the playoff holes played.
  std::vector<int> PlayoffEntrants(int* holesPlayed = nullptr) const;
  bool PlayoffDecided() const;
  // Starts a playoff when the lead is tied and a person's golfer shares it; true while one runs.
  bool StartPlayoff();
  // The rounds the standings' summary shows: all of them once the tournament has been played to its end.
  int RoundsShown() const;
  // An entrant out of the tournament at the cut (not one sitting out a playoff).
  bool MissedCut(int entrant) const;
  // The opening standings before the first shot of the tournament.
  void ShowHoleStatus() override;

  void SetUpRound() override;
  void UpdateHoleScores() override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  std::string GetScoreText(int slot) override;
  void AddModeStatistics(TPlayer* golfer, int slot) override;

 private:
  int lastScoredHole_ = -1;
  int lastScoredRound_ = -1;
  int holesDone(int entrant) const;
  int32_t playoffScore(int entrant, int hole) const;
  void endPlayoff();
  int nextPlayoffHole(uint16_t* round, uint16_t* hole);
  bool ownGolferLeft() const;
  // A game's golfer that stands for a person (who would play a tie for the lead off).
  bool isPerson(int entrant) const;
  int tournamentHoles() const;
  // Every entrant of the field still in has played every hole of the tournament.
  bool fieldPlayedOut() const;
  // The tournament has been played to its end (by the field alone once it played the game out); reads the
  // standings' holes.
  bool finished() const;
  // Standings a and b share a place (the settled leader shares none).
  bool tiedWith(size_t a, size_t b) const;
  bool leaderSettled_ = false;
  // The field plays every round left (the game's golfers have none left to play).
  void playFieldToEnd();
  bool fieldPlayedOut_ = false;
};

// The online tournament: stroke play whose card goes to the score server (the network layer) after each
// hole; the server's leader board comes back through SetLeaderBoard.
class CINetTournamentGame : public TStrokeGame {
 public:
  struct LeaderEntry {
    std::string name;
    int position = 0;
    bool tied = false;
    int highlight = 0;  // non-zero: this machine's golfer
    int holes = 0;      // holes completed in the round
    int summary = 0;    // the rounds' summary value
    int32_t toPar = 0;
  };
  uint32_t reporting = 1;
  uint32_t reportLevel = 0;
  std::vector<LeaderEntry> leaders;

  explicit CINetTournamentGame(uint16_t m) : TStrokeGame(m) {}
  uint32_t GetSaveSize() const override;
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;
  bool UsesHandicaps() const override { return false; }
  bool IsReportingEnabled() const { return reporting != 0; }
  uint32_t GetReportLevel() const { return reportLevel; }
  void SetLeaderBoard(std::vector<LeaderEntry> entries) { leaders = std::move(entries); }
  // After each hole every golfer has finished: the server's leader board in the front end's standings dialog.
  void ShowHoleResults() override;
  uint32_t dialogOpen = 0;
  // The server's leader board by entry (null, or 0, past its end).
  const LeaderEntry* GetLeaderEntry(int i) const;
  int GetLeaderPosition(int i) const { return GetLeaderEntry(i) ? GetLeaderEntry(i)->position : 0; }
  bool IsLeaderTied(int i) const { return GetLeaderEntry(i) && GetLeaderEntry(i)->tied; }
  int GetLeaderWord4(int i) const { return GetLeaderEntry(i) ? GetLeaderEntry(i)->highlight : 0; }
  int GetLeaderWord9(int i) const { return GetLeaderEntry(i) ? GetLeaderEntry(i)->holes : 0; }
  int GetLeaderWord10(int i) const { return GetLeaderEntry(i) ? GetLeaderEntry(i)->summary : 0; }
  int32_t GetLeaderWord11(int i) const { return GetLeaderEntry(i) ? GetLeaderEntry(i)->toPar : 0; }
  int LeaderCount() const { return static_cast<int>(leaders.size()); }
  void UpdateHoleScores() override;
  // Each shot of this machine's golfer goes to the shot server.
  void OnShotFinished() override;
};

// Practice: any holes of the course in any order (the hole mask), from any tee, no stroke limit; a shot may
// be played again and mulligans taken.
class TPracticeGame : public TGame {
 public:
  uint32_t holeMask = 0x3FFFF;

  explicit TPracticeGame(uint16_t m) : TGame(m) {}
  uint32_t GetSaveSize() const override;
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;
  bool ShowsAllTeeSets() const override { return true; }
  bool UsesHandicaps() const override { return false; }
  void SetHoleMask(uint32_t mask) { holeMask = mask & 0x3FFFF; }
  void SetTee(int teeSet) { state.teeSet = static_cast<uint16_t>(teeSet & 3); }
  // The golfer's last shot is taken back: the ball where it was played from, the stroke off the card.
  bool ReplayShot(int slot);
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  void ChooseStartingHole() override;
};

// The driving range (facility 0), chipping green (1) or putting green (2): shots at a target from the tee,
// their carry and total measured, the ball teed up again; no holes and no score.
class TDrivingRangeGame : public TGame {
 public:
  struct RangeShot {
    float carry = 0.0f;
    float total = 0.0f;
    float offline = 0.0f;  // yards right (+) or left (-) of the line to the target
  };
  uint32_t facility = 0;
  int rangeTarget = 4;
  uint32_t shotLimit = 0;  // 0: until the golfer leaves
  std::vector<RangeShot> shots;

  explicit TDrivingRangeGame(uint16_t m) : TGame(m) {}
  uint32_t GetSaveSize() const override;
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;
  bool ShowsAllTeeSets() const override { return true; }
  bool ShowsCrowdAndScenery() const override { return false; }
  bool HasBallCart() const override { return facility == 0; }
  bool UsesHandicaps() const override { return false; }
  // Target 0..10: its distance from the tee for the facility.
  void SetRangeTarget(int index);
  float TargetDistance() const;
  Vector3 GetTargetPoint() const override;
  void NewShot();
  void ClearRange() { shots.clear(); }
  float LongestCarry() const;
  void OnShotFinished() override;
  bool IsHoleComplete() override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  std::string GetScoreText(int slot) override;
};

// The highlight game: plays saved shots back, each on its hole with its cup and wind, from the ball as it
// was launched, so it comes to rest where it did live (bit for bit). At the end the front end shows the
// highlights screen.
class THighlightGame : public TGame {
 public:
  std::vector<SavedShot> shots;
  std::vector<Vector3> rests;  // where each came to rest in the playback

  THighlightGame() : TGame(kModeHighlights) {}
  uint32_t GetSaveSize() const override { return 0; }
  bool ShotsMayBeSaved() const override { return false; }
  // Plays shot i (its hole loaded when it is not the current one); false when it cannot be.
  bool PlayShot(size_t i);
  void StartHole() override;
  // The playback is over: the air stilled, the cup cleared, and the front end shows the highlights screen (which
  // may replace this game).
  void Finish();

 private:
  std::string loadedHole_;
};

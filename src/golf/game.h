#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "course/vector3.h"
#include "framework/core/paths.h"
#include "golf/player.h"
#include "golf/viewplacement.h"

enum GameMode : uint16_t {
  kModeStroke = 0,
  kModePractice = 1,
  kModeTournament = 2,
  kModeSkins = 3,
  kModeShootout = 4,
  kModeNone = 5,
  kModeNetTournament = 6,
  kModeMatchPlay = 7,
  kModeFourBall = 8,
  kModeFoursome = 9,
  kModeDrivingRange = 10,
};
constexpr int kModeCount = 11;
constexpr uint16_t kModeHighlights = 11;  // the highlight game: never made by CreateGame
constexpr uint16_t kGameStateFormat = 26;

// Golfer statistics kept by the game (indexes into the golfer record's statistics table, as the statistics
// page reads them).
constexpr int kStatLongestDrive = 0;
constexpr int kStatFairwaysHit = 1;
constexpr int kStatFairwayChances = 2;
constexpr int kStatDrivingYards = 3;
constexpr int kStatDrivesMeasured = 4;
constexpr int kStatHolesPlayed = 5;
constexpr int kStatGreensInRegulation = 6;
constexpr int kStatPuttsOnGreensHit = 7;
constexpr int kStatTotalStrokes = 8;
constexpr int kStatRoundsPlayed = 9;
constexpr int kStatBestRound = 16;
constexpr int kStatParBreakers = 17;
constexpr int kStatParSaves = 18;
constexpr int kStatHolesInOne = 19;
constexpr int kStatEagles = 20;
constexpr int kStatBirdies = 21;
constexpr int kStatTournamentWins = 22;
constexpr int kStatTournamentEarnings = 23;
constexpr int kStatSkinsWins = 25;
constexpr int kStatSkinsEarnings = 26;

// The golfer record's handicap (word A), 0..18; flag 0x80: the handicap is not used.
constexpr uint32_t kGolferNoHandicap = 0x80;
int GolferHandicap(const playerInfo_s& golfer);

// The round's common state, carried whole from game to game by the mode factory (265 words).
struct GameStateBlock {
  uint16_t lead = 1;
  uint16_t firstHole = 0;
  uint16_t holeCount = 9;
  uint16_t word3 = 0;
  uint16_t teeSet = 0;
  uint16_t round = 0;
  uint16_t hole = 0;
  uint16_t currentPlayer = 0;
  uint32_t word8 = 0;
  uint16_t playOrder[2][4] = {{0, 1, 2, 3}, {0, 1, 2, 3}};
  uint32_t rest[256] = {};
};
static_assert(sizeof(GameStateBlock) == 265 * 4);

// The game's view object; its first word is the hole's random seed.
struct TGameView {
  uint32_t seed = 0;
  uint32_t words[7] = {};
};

// A shot kept for the highlights: the golfer's settings that the flight reads, the ball as it was launched,
// the hole, the cup and the wind; and where it came to rest.
struct SavedShot {
  uint16_t round = 0;
  uint16_t hole = 0;
  uint16_t mode = 0;       // the game's mode
  uint8_t slot = 0;        // the golfer's player slot
  uint8_t holed = 0;       // the ball went into the hole
  uint32_t shotIndex = 0;  // strokes on the hole before this shot
  uint8_t restSurface = 0; // surface byte where the ball came to rest
  std::string course;      // the course's name as the highlights list shows it
  std::string holeFile;
  playerInfoFields golfer;
  BallState launched;
  Vector3 pin{};
  int windSpeed = 0;
  uint16_t windHeading = 0;
  Vector3 rest{};
};
// The saved shots (the most recent 20).
std::vector<SavedShot>& HighlightShots();
constexpr size_t kHighlightLimit = 20;

// Shared words that a new game clears.
extern uint32_t ShotClockStateWord;
extern uint32_t TurnWord;

// The base of every game mode: one exists at a time, the current game.
class TGame {
 public:
  uint16_t stateFormat = kGameStateFormat;
  GameStateBlock state;
  std::unique_ptr<TPlayerList> players;
  std::unique_ptr<TGameView> view;
  uint16_t mode = kModeStroke;
  uint32_t roundRunning = 0;
  uint32_t gameOver = 0;
  uint32_t ending = 0;
  uint32_t networked = 0;
  uint32_t localPlayer = 0;
  std::string courseName;
  std::string gameName;
  uint32_t holeWord = 0;    // set by the round, cleared when a hole starts
  uint32_t secondWord = 0;
  uint32_t options = 0;
  uint32_t word40 = 40;
  uint32_t playerCounters[4] = {};
  uint32_t connectionState = 0;  // the network connection's state word while networked
  uint32_t networkState = 0;     // set by the modes: 1 local, 2 networked (stroke play)
  uint32_t modeWords[2] = {};    // two words the modes set
  // The loaded hole: where the selected tee and the pin are.
  Vector3 teePosition{};
  Vector3 pinPosition{};
  std::string holeFile;  // the loaded hole's file
  uint32_t finishing = 0;          // the last hole has been played; the final results follow
  uint32_t finalResultsShown = 0;  // the final results were shown for this game
  // Set while the game has lost the screen during a round: messages from other machines wait meanwhile. Read by
  // the comm thread.
  std::atomic<uint32_t> paused{0};
  uint32_t gameFileWritten = 0;  // the game was written to "LastGame.dat" at the end of its round
  uint32_t holesStarted = 0;     // hole starts handled: another machine starts the round only before the first

  explicit TGame(uint16_t gameMode);
  virtual ~TGame();
  TGame(const TGame&) = delete;
  TGame& operator=(const TGame&) = delete;

  // Clamps the current golfer slot to the golfers taking part and makes it the active golfer.
  virtual void AfterPlayersSetUp();
  virtual int GetNextHole(uint16_t* round, uint16_t* hole);
  // Writes the current round and the next hole of the round's range; false (the current hole written) when
  // the round's holes are done.
  bool NextHoleOfRound(uint16_t* round, uint16_t* hole) const;
  virtual void ResetState();
  virtual uint32_t GetSaveSize() const;  // the mode's object size
  virtual int IsPeerConnected() const { return networked ? static_cast<int>(connectionState) : 1; }
  // After a complete 18-hole round (not practice or the driving range): each golfer with a golfer file
  // counts one more round, adds its strokes and keeps its best round. kRecordOk, or the table error.
  virtual int UpdateRoundStatistics();
  uint32_t GetSecondWord() const { return secondWord; }
  void SetSecondWord(uint32_t v) { secondWord = v; }

  virtual void SetNetworkGame(uint32_t on);
  virtual uint32_t IsNetworkGame() const { return networked; }
  virtual void IncPlayerCounter(int slot);
  virtual uint32_t GetPlayerCounter(int slot) const;

  // Option word: bit 0 shot clock, bit 4 Fast Play; bits 8-31 six 4-bit fields (wind, gusts, fairways,
  // rough, greens, computer skill).
  virtual uint32_t TestOptions(uint32_t mask) const { return options & mask; }
  virtual void SetOptions(uint32_t mask, bool on);
  virtual bool IsShotClockOn() const { return (options & 0x1) != 0; }
  virtual void SetShotClock(bool on) { SetOptions(0x1, on); }
  virtual bool IsFastPlay() const { return (options & 0x10) != 0; }
  virtual void SetFastPlay(bool on) { SetOptions(0x10, on); }
  uint32_t GetOptionField(int field) const;
  void SetOptionField(int field, uint32_t value);
  uint32_t GetProSkill() const { return GetOptionField(5); }

  // Hole-loading queries.
  virtual bool ShowsAllTeeSets() const { return false; }
  virtual bool ShowsCrowdAndScenery() const { return true; }
  // The range's ball cart drives across the hole.
  virtual bool HasBallCart() const { return false; }
  // Whether the green caddie attends the pin; not on the driving range.
  virtual bool ShowsGreenCaddie() const { return mode != kModeDrivingRange; }
  // Whether the golfers' levels also preset the further option bytes (in a network game).
  virtual bool AppliesLevelPresets() const { return networked != 0; }

  // The saved game: SaveToStream writes the format word (26) and the mode, then the state; LoadFromStream
  // reads the state that follows them into this game, which is left as it was when the data is damaged.
  virtual bool SaveToStream(SerialTarget* stream) const;
  virtual bool LoadFromStream(SerialTarget* stream);
  bool SaveToFile(HANDLE f) const;
  bool LoadFromFile(HANDLE f);

  // The round (golfmsg.cpp, gameflow.cpp). HandleMessage takes the golf message (0x700, id, argument) and
  // the timer message (0x113, timer id).
  virtual void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  virtual void ShowHoleStatus();
  virtual void ShowHoleResults() {}
  virtual void ShowFinalResults() {}
  virtual void ContinuePlay() {}
  // Between holes: the mode's standing shown, the round held until the status is closed (0x723, then 0x724 and
  // ContinuePlay). False when the mode shows none there or the game has ended.
  virtual bool HoldForStanding() { return false; }
  // At game over, after the golfers are stored: true when the mode's closing standing was shown and ends the round
  // itself (0x715); false, and the round ends at once.
  virtual bool ShowClosingStanding() { return false; }
  virtual void StartHole();
  virtual void OnShotFinished();
  // The statistics lines that open and close a game in the log file (and, online, on the statistics server).
  virtual void LogGameStart();
  virtual void LogGameEnd();
  uint32_t statsStart = 0;  // calendar seconds of the game's start line
  virtual std::string GetScoreText(int slot);
  // 1 with the winner's slot written when the hole is decided; a trial changes no flag.
  virtual int GetHoleWinner(uint16_t* winner, bool trial = false);
  virtual void UpdateHoleScores() {}
  virtual int AdvanceHole();
  virtual void ReleaseHole();
  virtual void PlaceGolferAtBall();
  virtual bool IsHoleComplete();
  virtual int LoadHole();
  // At game over: each golfer with a golfer file adds the game to its statistics (every hole played, the
  // complete 18-hole rounds not yet counted, the drives, the mode's wins) and its file is saved whole into
  // `golferFolder` when one is set. Returns the number of files that could not be saved.
  virtual void StoreGolfers();
  int StoreGolferStatistics();
  // The mode's own statistics of a golfer (wins and earnings).
  virtual void AddModeStatistics(TPlayer* /*golfer*/, int /*slot*/) {}
  std::string golferFolder;    // Windows path of the golfer files ("" keeps them unsaved)
  // The last shot played here, as launched, for the highlights; SaveLastShot keeps it (false when shots
  // may not be saved, or none was played).
  SavedShot lastShot;
  bool hasLastShot = false;
  virtual bool ShotsMayBeSaved() const { return networked == 0; }
  // The hole's wind: its direction drawn when the hole loads from the hole's seed (the same on every machine), its
  // speed from the wind option (0 none, 1 moderate: 7 mph, 2 strong: 14 mph, more in gusts), given to the ball.
  int windSpeed = 0;
  uint16_t windHeading = 0;
  virtual void SetupWind();
  // Gusts (option field 1, with wind, off the network): the wind speed moves on the clock above the steady speed
  // the hole started with (`holeWindSpeed`); UpdateWind takes the present speed before each shot.
  int holeWindSpeed = 0;
  bool GustsBlow() const;
  void UpdateWind();
  bool SaveLastShot();
  uint32_t roundsCounted = 0;  // bit per round already in the statistics
  virtual void SetUpRound() {}
  virtual void SetUpPlayers();
  virtual int MinimumPlayers() const { return 1; }
  // Picks the first hole of a new game (the shootout draws one in a network game).
  virtual void ChooseStartingHole() {}
  // The time a golfer has for a shot while the shot clock is on.
  uint32_t shotTimeLimit = 30;
  // Shot-clock violations of a golfer so far (1..5 once counted).
  virtual int CountViolation(int slot);
  // Takes a disqualified golfer out of the round (the team modes' partners play on for the side).
  virtual void DisqualifyGolfer(int slot);
  // Where the current golfer should aim: the pin.
  virtual Vector3 GetTargetPoint() const { return pinPosition; }

  // Ends the hole: scores, the mode's standing (the round held) or its results and then the next hole (0x705) or the
  // end of the round (0x714).
  void EndOfHole();
  // The next hole (0x705) or, when the round is over, the final results and 0x714.
  void GoToNextHole();
  // Whether the shots being played count on the hole's score (not those of a shoot-off).
  virtual bool CountsStrokes() const { return true; }
  void ShowFinalResultsOnce();
  // Chooses who plays next on the hole; false when nobody is left to play it.
  virtual bool ChooseNextPlayer();
  int violations[4] = {};

  // Handicaps: whether the mode gives handicap strokes (not practice, the tournaments or the range), whether
  // the golfer receives one on the hole (handicap not below the hole's stroke index), and the hole's strokes
  // less that stroke (0 unplayed; a flagged score counts as 99).
  virtual bool UsesHandicaps() const;
  virtual bool HasHandicapStroke(int slot, int hole) const;
  int NetHoleScore(int slot, int round, int hole) const;
  // The golfer's strokes less the holes' pars over the holes of a range that were played; 0, or the table
  // error. Net when asked (handicap strokes taken off).
  int GetScoreToPar(int slot, int round, int firstHole, int holeCount, int32_t* out, bool net = false) const;
  // With the current golfer holing out with one more stroke, would the hole be won? The try is undone.
  bool WouldHoleOutWinHole();
  // The golfer's last shot is played again from where it was played, its strokes taken off the card: a
  // mulligan when the golfer's rule allows one (spent then), always in practice.
  bool TakeMulligan(int slot);
  bool UndoLastShot(int slot);

  // The camera's side and back offsets kept for this machine's golfer; 1,000,000 in both means "random".
  float GetCameraValueA() const { return cameraSide; }
  float GetCameraValueB() const { return cameraBack; }
  void SetCameraValueA(float v) { cameraSide = v; }
  void SetCameraValueB(float v) { cameraBack = v; }
  float cameraSide = 1000000.0f;
  float cameraBack = 1000000.0f;

  // After a shot's after-shot choice: the next golfer, or the end of the hole.
  virtual void ContinueAfterShot() { OnShotFinished(); }
  // Sets place `index` (0..3) of the play order to a golfer slot.
  void SetPlayOrderValue(int index, int slot);
  // Places the main golf view for the shot of the golfer to play: at its ball, facing the target point, with this
  // machine's camera offsets; the scene draws from the placement (kept in `viewPlacement`).
  virtual void SetUpView(bool keepCamera, bool redraw);
  GolfViewPlacement viewPlacement;
  Vector3 GetViewPoint() const { return viewPlacement.viewPoint; }

  // The course of the game: number `n` of the catalogue (its folder becomes `courseName`), by its name, or the
  // remembered one when it is still installed (else the first). `courseNotFound` is set when a name matches no
  // installed course. 1 when the course was made current.
  int SetCurrentCourse(int n);
  int SetCurrentCourseByName(const char* name);
  int SetDefaultCourse();
  int courseNumber = -1;
  uint32_t courseNotFound = 0;
  std::string courseLongName;

  TPlayerList* GetPlayerList() const { return players.get(); }
  bool IsLocalTurn() const;
  TPlayer* GetLocalPlayer() const;
  int GetPlayerIndex(const playerInfo_s* golfer) const;  // 0..3, or 4 when absent
  void SetCurrentPlayer(int slot);
  void ResetPlayOrder();
};

// Stroke play: every golfer plays every hole; the score card after each hole and at the end.
class TStrokeGame : public TGame {
 public:
  explicit TStrokeGame(uint16_t m);
  uint32_t GetSaveSize() const override;
  void ShowHoleResults() override;
  void ShowFinalResults() override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  int GetHoleWinner(uint16_t* winner, bool trial = false) override;
  void SetNetworkGame(uint32_t on) override;
};

// The shootout: after each hole the golfer with the most strokes is out; ties are settled by a shoot-off
// from a spot near the hole, the ball farthest from the hole going out.
class TShootoutGame : public TGame {
 public:
  uint32_t shootoffRunning = 0;
  std::unique_ptr<TPlayerList> shootoffList;
  uint16_t shootoffCounter = 0;
  uint16_t firstHoleWord = 1;
  TPlayer* lastEliminated = nullptr;
  Vector3 shootoffSpot{};
  uint32_t shootoffAcks = 0;  // machines that acknowledged the shoot-off (bit per slot)

  explicit TShootoutGame(uint16_t m);
  uint32_t GetSaveSize() const override;
  void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void ShowHoleStatus() override;
  void ShowHoleResults() override;
  // The standing after an elimination, then the round goes on (0x723).
  void ShowStandingThenGoOn();
  void ContinuePlay() override;
  void OnShotFinished() override;
  std::string GetScoreText(int slot) override;
  int GetNextHole(uint16_t* round, uint16_t* hole) override;
  int GetHoleWinner(uint16_t* winner, bool trial = false) override;
  void UpdateHoleScores() override;
  int AdvanceHole() override;
  bool IsHoleComplete() override;
  void SetUpRound() override;
  void SetUpPlayers() override;
  void ResetState() override;
  // In a network game the starting hole is drawn at random.
  void ChooseStartingHole() override;
  bool CountsStrokes() const override { return !shootoffRunning; }
  // After the common game: the shoot-off state (running, counter, first-hole word, last eliminated slot,
  // the spot and each golfer's shoot-off shot played).
  bool SaveToStream(SerialTarget* stream) const override;
  bool LoadFromStream(SerialTarget* stream) override;
  // Picks a spot near the pin (terrain queries) for a shoot-off.
  Vector3 ChooseShootoffSpot();
  void PlaceShootoffGolfers(const Vector3& spot);
  void Eliminate(int slot);

 private:
  void settleShootoff();
  bool choosesShootoffSpot() const;
};

#include "golf/modes.h"

// The current game, or null.
TGame* CurrentGame();

// Replaces the current game by one of the mode, carrying the common state over. Mode 5 and numbers
// outside the table leave no game. When the new game cannot be made, the old one stays current.
// Returns 1 when a current game exists afterwards.
int CreateGame(int mode);

// Reads a saved game from a stream: checks the format word, creates the game of the stored mode and lets it
// read its state. 0 loaded; 5 an older or unknown format; 2 damaged data (the current game is then
// unchanged) or no memory.
int LoadGameFromStream(SerialTarget* stream);
// The saved-game file ("LastGame.dat" in the game's folder), read through the framework's one whole-file loader:
// 0 when loaded (the stored game replaces the current one), 5 when its format is older, 7 when it cannot be
// read, 2 when it is damaged (the current game stays).
int LoadGameFile(PathRecord* folder, const char* name);
// Writes the current game whole through the framework's one whole-file save; 0, or the framework's error code
// (the old file is then as it was). A crash during the save leaves the old file or the new one.
int SaveGameFile(PathRecord* folder, const char* name);
// The current game's saved state as bytes (0, or the framework's error code), and saved bytes read back as
// LoadGameFromStream does.
int SaveGameBytes(std::vector<uint8_t>& bytes);
int LoadGameBytes(const uint8_t* data, size_t size);

// A complete game object of the mode that is not yet current (null for mode 5, numbers outside the
// table, or when memory runs out), and the step that makes one current, deleting the old.
std::unique_ptr<TGame> MakeGameObject(int mode);
void ReplaceCurrentGame(std::unique_ptr<TGame> game);

// Ends the current game (program shutdown, end of a round).
void DeleteCurrentGame();
// The current game put aside, none current afterwards (ReplaceCurrentGame brings it back).
std::unique_ptr<TGame> TakeCurrentGame();

// Test hook: the next n game constructions fail as when memory runs out.
void FailNextGameAllocations(int n);

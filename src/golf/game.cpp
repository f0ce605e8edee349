#include "golf/game.h"

#include <new>

#include "course/holedata.h"
#include "framework/core/services.h"
#include "golf/ballflight.h"
#include "golf/wind.h"

uint32_t ShotClockStateWord = 0;
uint32_t TurnWord = 0;

namespace {

std::unique_ptr<TGame> g_current;
int g_failAllocations = 0;

// The object sizes of the mode table; saved games reserve this much for the game.
constexpr uint32_t kModeBytes[kModeCount] = {1232, 1236, 1620, 1332, 1248, 0, 1420, 1332, 1332, 2480, 1344};

// The hole loader asks the current game through this.
class CurrentGameHoleQueries : public HoleLoadGame {
 public:
  int SelectedTeeSet() const override { return g_current ? g_current->state.teeSet : 0; }
  void SetSelectedTeeSet(int teeSet) override {
    if (g_current) g_current->state.teeSet = static_cast<uint16_t>(teeSet);
  }
  bool ShowsAllTeeSets() const override { return g_current && g_current->ShowsAllTeeSets(); }
  bool ShowsCrowdAndScenery() const override { return !g_current || g_current->ShowsCrowdAndScenery(); }
};
CurrentGameHoleQueries g_holeQueries;

template <class T>
std::unique_ptr<TGame> construct(uint16_t mode) {
  return std::unique_ptr<TGame>(new (std::nothrow) T(mode));
}

std::unique_ptr<TGame> makeGame(int mode) {
  if (g_failAllocations > 0) {
    --g_failAllocations;
    return nullptr;
  }
  const uint16_t m = static_cast<uint16_t>(mode);
  switch (mode) {
    case kModeStroke: return construct<TStrokeGame>(m);
    case kModePractice: return construct<TPracticeGame>(m);
    case kModeTournament: return construct<TTournamentGame>(m);
    case kModeSkins: return construct<TSkinsGame>(m);
    case kModeShootout: return construct<TShootoutGame>(m);
    case kModeNetTournament: return construct<CINetTournamentGame>(m);
    case kModeMatchPlay: return construct<TMatchPlayGame>(m);
    case kModeFourBall: return construct<TFourBallGame>(m);
    case kModeFoursome: return construct<TFoursomeGame>(m);
    case kModeDrivingRange: return construct<TDrivingRangeGame>(m);
    default: return nullptr;
  }
}

}  // namespace

TGame::TGame(uint16_t gameMode) : mode(gameMode) {
  TurnWord = 0;
  state.teeSet = static_cast<uint16_t>(Svc().scene->Random15() % 4);
  players.reset(new (std::nothrow) TPlayerList);
  view.reset(new (std::nothrow) TGameView);
  options = 0;
  // Wind 1, gusts 0, fairways 1, rough 0, greens 1, computer skill 2.
  static constexpr uint32_t kFieldDefaults[6] = {1, 0, 1, 0, 1, 2};
  for (int f = 0; f < 6; ++f) SetOptionField(f, kFieldDefaults[f]);
  ShotClockStateWord = 0;
}

TGame::~TGame() {
  if (players && players->SlotOf(ActiveGolferRecord) < TPlayerList::kSlots) ActiveGolferRecord = nullptr;
}

void TGame::AfterPlayersSetUp() {
  const int count = players ? players->CountTakingPart() : 0;
  if (count > 0 && state.currentPlayer >= count) state.currentPlayer = static_cast<uint16_t>(count - 1);
  SetCurrentPlayer(state.currentPlayer);
}

int TGame::GetNextHole(uint16_t*, uint16_t*) { return 0; }

void TGame::ResetState() {
  state.round = 0;
  state.hole = 0;
  state.currentPlayer = 0;
  TurnWord = 0;
  if (players) {
    const bool activeHere = players->SlotOf(ActiveGolferRecord) < TPlayerList::kSlots;
    players->Reset();
    if (activeHere) SetCurrentPlayer(0);
  }
  ResetPlayOrder();
}

int TGame::UpdateRoundStatistics() {
  if (mode == kModePractice || mode == kModeDrivingRange || state.holeCount != 18 || !players) return kRecordOk;
  const int round = state.round;
  if (round >= kRounds) return kRecordOk;
  for (int slot = 0; slot < TPlayerList::kSlots; ++slot) {
    TPlayer* p = players->GetPlayer(slot);
    if (!p || !(p->flags & kGolferTakesPart) || (p->flags & kGolferNoFile)) continue;
    uint32_t total = 0;
    for (int hole = 0; hole < kHoles; ++hole) {
      uint32_t strokes = 0;
      if (const int r = p->GetHoleScore(round, hole, &strokes, nullptr); r != kRecordOk) return r;
      total += strokes & ~kScoreMarker;
    }
    p->SetStatistic(kStatRoundsPlayed, p->GetStatistic(kStatRoundsPlayed) + 1);
    p->SetStatistic(kStatTotalStrokes, p->GetStatistic(kStatTotalStrokes) + total);
    const uint32_t best = p->GetStatistic(kStatBestRound);
    if (best == 0 || total < best) p->SetStatistic(kStatBestRound, total);
  }
  roundsCounted |= 1u << round;
  return kRecordOk;
}

uint32_t TGame::GetSaveSize() const { return kModeBytes[kModeStroke]; }
uint32_t TStrokeGame::GetSaveSize() const { return kModeBytes[kModeStroke]; }
uint32_t TPracticeGame::GetSaveSize() const { return kModeBytes[kModePractice]; }
uint32_t TTournamentGame::GetSaveSize() const { return kModeBytes[kModeTournament]; }
uint32_t TSkinsGame::GetSaveSize() const { return kModeBytes[kModeSkins]; }
uint32_t TShootoutGame::GetSaveSize() const { return kModeBytes[kModeShootout]; }
uint32_t CINetTournamentGame::GetSaveSize() const { return kModeBytes[kModeNetTournament]; }
uint32_t TMatchPlayGame::GetSaveSize() const { return kModeBytes[kModeMatchPlay]; }
uint32_t TFourBallGame::GetSaveSize() const { return kModeBytes[kModeFourBall]; }
uint32_t TFoursomeGame::GetSaveSize() const { return kModeBytes[kModeFoursome]; }
uint32_t TDrivingRangeGame::GetSaveSize() const { return kModeBytes[kModeDrivingRange]; }

void TGame::SetNetworkGame(uint32_t on) {
  networked = on;
  if (on) ShotClockStateWord = 0;
}

void TGame::IncPlayerCounter(int slot) {
  if (slot >= 0 && slot < 4) ++playerCounters[slot];
}

uint32_t TGame::GetPlayerCounter(int slot) const { return slot >= 0 && slot < 4 ? playerCounters[slot] : 0; }

void TGame::SetOptions(uint32_t mask, bool on) {
  if (on) options |= mask;
  else options &= ~mask;
}

uint32_t TGame::GetOptionField(int field) const {
  if (field < 0 || field > 5) return 0;
  return (options >> (8 + 4 * field)) & 0xF;
}

void TGame::SetOptionField(int field, uint32_t value) {
  if (field < 0 || field > 5) return;
  const int shift = 8 + 4 * field;
  options = (options & ~(0xFu << shift)) | ((value & 0xF) << shift);
}

bool TGame::IsLocalTurn() const { return !networked || state.currentPlayer == localPlayer; }

TPlayer* TGame::GetLocalPlayer() const {
  if (!players) return nullptr;
  return players->GetPlayer(networked ? static_cast<int>(localPlayer) : state.currentPlayer);
}

int TGame::GetPlayerIndex(const playerInfo_s* golfer) const {
  return players ? players->SlotOf(golfer) : TPlayerList::kSlots;
}

void TGame::SetCurrentPlayer(int slot) {
  if (slot < 0 || slot >= TPlayerList::kSlots) return;
  state.currentPlayer = static_cast<uint16_t>(slot);
  if (players) ActiveGolferRecord = players->GetPlayer(slot);
}

void TGame::ResetPlayOrder() {
  for (auto& order : state.playOrder)
    for (uint16_t i = 0; i < 4; ++i) order[i] = i;
}

TGame* CurrentGame() { return g_current.get(); }

int CreateGame(int mode) {
  SetHoleLoadGame(&g_holeQueries);
  if (mode < 0 || mode >= kModeCount || mode == kModeNone) {
    DeleteCurrentGame();
    return 0;
  }
  std::unique_ptr<TGame> fresh = MakeGameObject(mode);
  if (!fresh) return g_current ? 1 : 0;
  TGame* old = g_current.get();
  if (old) {
    fresh->stateFormat = old->stateFormat;
    if (old->players && fresh->players->CopyFrom(*old->players) != kRecordOk) return 1;
    fresh->state = old->state;
    fresh->gameOver = old->gameOver;
    fresh->roundRunning = old->roundRunning;
    fresh->networked = old->networked;
    fresh->gameName = old->gameName;
  }
  ReplaceCurrentGame(std::move(fresh));
  return 1;
}

std::unique_ptr<TGame> MakeGameObject(int mode) {
  SetHoleLoadGame(&g_holeQueries);
  std::unique_ptr<TGame> game = makeGame(mode);
  if (!game || !game->players || !game->players->valid() || !game->view) return nullptr;
  return game;
}

void ReplaceCurrentGame(std::unique_ptr<TGame> game) {
  g_current = std::move(game);  // deletes the old game
  if (g_current) g_current->players->Refresh(g_current->state.currentPlayer);
}

void DeleteCurrentGame() {
  // No game, no hole: the air is still again.
  if (g_current) BallSetWind(0, 0);
  DeleteWindGenerators();
  g_current.reset();
}

std::unique_ptr<TGame> TakeCurrentGame() { return std::move(g_current); }

void FailNextGameAllocations(int n) { g_failAllocations = n; }

bool GameAppliesLevelPresets() { return g_current && g_current->AppliesLevelPresets(); }

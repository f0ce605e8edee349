#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <typeinfo>

#include "golf/game.h"
#include "support/drive_fixture.h"

namespace {

class GameTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DeleteCurrentGame();
    FailNextGameAllocations(0);
  }
};

TEST_F(GameTest, FactoryBuildsEveryMode) {
  struct Case { int mode; const std::type_info* type; uint32_t bytes; };
  const Case cases[] = {
      {0, &typeid(TStrokeGame), 1232},       {1, &typeid(TPracticeGame), 1236},
      {2, &typeid(TTournamentGame), 1620},   {3, &typeid(TSkinsGame), 1332},
      {4, &typeid(TShootoutGame), 1248},     {6, &typeid(CINetTournamentGame), 1420},
      {7, &typeid(TMatchPlayGame), 1332},    {8, &typeid(TFourBallGame), 1332},
      {9, &typeid(TFoursomeGame), 2480},     {10, &typeid(TDrivingRangeGame), 1344},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(CreateGame(c.mode), 1) << c.mode;
    TGame* g = CurrentGame();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(typeid(*g), *c.type) << c.mode;
    EXPECT_EQ(g->mode, c.mode);
    EXPECT_EQ(g->GetSaveSize(), c.bytes);
  }
  EXPECT_NE(dynamic_cast<TStrokeGame*>((CreateGame(6), CurrentGame())), nullptr);
  EXPECT_NE(dynamic_cast<TMatchPlayGame*>((CreateGame(9), CurrentGame())), nullptr);
  for (int mode : {5, -1, 11, 65535}) {
    ASSERT_EQ(CreateGame(0), 1);
    EXPECT_EQ(CreateGame(mode), 0) << mode;
    EXPECT_EQ(CurrentGame(), nullptr) << mode;
    EXPECT_EQ(ActiveGolferRecord, nullptr);
  }
}

TEST_F(GameTest, ConstructionDefaults) {
  ASSERT_EQ(CreateGame(0), 1);
  const TGame& g = *CurrentGame();
  EXPECT_EQ(g.stateFormat, 26);
  EXPECT_EQ(g.state.lead, 1);
  EXPECT_EQ(g.state.holeCount, 9);
  EXPECT_LT(g.state.teeSet, 4);
  EXPECT_EQ(g.word40, 40u);
  EXPECT_EQ(g.options, (1u << 8) | (1u << 16) | (1u << 24) | (2u << 28));
  EXPECT_EQ(g.GetProSkill(), 2u);
  EXPECT_FALSE(g.IsFastPlay());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(g.GetPlayerCounter(i), 0u);
  EXPECT_NE(g.view, nullptr);
}

TEST_F(GameTest, ModeChangesKeepGolfersCountersAndName) {
  ASSERT_EQ(CreateGame(0), 1);
  TGame* g = CurrentGame();
  TPlayer* p = g->GetPlayerList()->GetPlayer(1);
  std::strcpy(p->name, "Bea");
  p->flags = kGolferTakesPart;
  p->SetHoleScore(0, 4, 6, 2);
  p->perHoleCounter = 3;
  ASSERT_EQ(g->GetPlayerList()->SetComputer(2, true), kRecordOk);
  g->state.round = 2;
  g->state.hole = 7;
  g->gameName = "Sunday four";
  g->gameOver = 1;
  g->SetNetworkGame(1);
  g->SetCurrentPlayer(1);

  ASSERT_EQ(CreateGame(7), 1);
  ASSERT_EQ(CreateGame(3), 1);
  TGame* now = CurrentGame();
  EXPECT_EQ(now->mode, 3);
  EXPECT_EQ(now->state.round, 2);
  EXPECT_EQ(now->state.hole, 7);
  EXPECT_EQ(now->gameName, "Sunday four");
  EXPECT_EQ(now->gameOver, 1u);
  EXPECT_EQ(now->networked, 1u);
  TPlayer* q = now->GetPlayerList()->GetPlayer(1);
  EXPECT_STREQ(q->name, "Bea");
  EXPECT_EQ(q->perHoleCounter, 3);
  uint32_t strokes = 0;
  EXPECT_EQ(q->GetHoleScore(0, 4, &strokes, nullptr), kRecordOk);
  EXPECT_EQ(strokes, 6u);
  EXPECT_TRUE(now->GetPlayerList()->GetPlayer(2)->IsComputer());
  EXPECT_EQ(ActiveGolferRecord, q);  // the active golfer follows into the new game
}

TEST_F(GameTest, FailedModeChangeKeepsTheOldGame) {
  ASSERT_EQ(CreateGame(4), 1);
  TGame* old = CurrentGame();
  old->gameName = "kept";
  FailNextGameAllocations(1);
  EXPECT_EQ(CreateGame(0), 1);
  EXPECT_EQ(CurrentGame(), old);
  EXPECT_EQ(CurrentGame()->mode, 4);
  DeleteCurrentGame();
  FailNextGameAllocations(1);
  EXPECT_EQ(CreateGame(0), 0);
  EXPECT_EQ(CurrentGame(), nullptr);
}

TEST_F(GameTest, LocalTurn) {
  ASSERT_EQ(CreateGame(0), 1);
  TGame* g = CurrentGame();
  for (int slot = 0; slot < 4; ++slot) {
    g->SetCurrentPlayer(slot);
    EXPECT_TRUE(g->IsLocalTurn());
  }
  ShotClockStateWord = 5;
  g->SetNetworkGame(1);
  EXPECT_EQ(ShotClockStateWord, 0u);
  g->localPlayer = 2;
  for (int slot = 0; slot < 4; ++slot) {
    g->SetCurrentPlayer(slot);
    EXPECT_EQ(g->IsLocalTurn(), slot == 2);
  }
  EXPECT_EQ(g->GetLocalPlayer(), g->GetPlayerList()->GetPlayer(2));
  EXPECT_EQ(g->GetPlayerIndex(g->GetPlayerList()->GetPlayer(3)), 3);
  EXPECT_EQ(g->GetPlayerIndex(nullptr), 4);
}

TEST_F(GameTest, OptionsAndCounters) {
  ASSERT_EQ(CreateGame(0), 1);
  TGame* g = CurrentGame();
  g->SetFastPlay(true);
  EXPECT_TRUE(g->IsFastPlay());
  EXPECT_EQ(g->TestOptions(0x10), 0x10u);
  g->SetOptionField(3, 7);
  EXPECT_EQ(g->GetOptionField(3), 7u);
  EXPECT_EQ(g->GetOptionField(2), 1u);
  g->SetFastPlay(false);
  EXPECT_FALSE(g->IsFastPlay());
  g->IncPlayerCounter(1);
  g->IncPlayerCounter(1);
  g->IncPlayerCounter(9);
  EXPECT_EQ(g->GetPlayerCounter(1), 2u);
  EXPECT_EQ(g->GetPlayerCounter(9), 0u);
}

TEST_F(GameTest, GolferLevelsPresetMoreInNetworkGames) {
  ASSERT_EQ(CreateGame(0), 1);
  playerInfo_s r;
  r.SetLevel(2);
  EXPECT_EQ(r.option9, 0);
  CurrentGame()->SetNetworkGame(1);
  r.SetLevel(2);
  EXPECT_EQ(r.option9, 1);
  EXPECT_EQ(r.option6, 1);
}

TEST(PlayerList, SlotsAndCounts) {
  TPlayerList list;
  ASSERT_TRUE(list.valid());
  EXPECT_EQ(list.GetPlayer(-1), nullptr);
  EXPECT_EQ(list.GetPlayer(4), nullptr);
  EXPECT_EQ(list.FindFreeSlot(0), 0);
  list.GetPlayer(0)->flags = kGolferTakesPart;
  list.GetPlayer(2)->flags = kGolferTakesPart | kGolferOut;
  EXPECT_EQ(list.CountTakingPart(), 2);
  EXPECT_EQ(list.CountActivePlayers(), 1);
  EXPECT_FALSE(list.HasNoActivePlayer());
  EXPECT_TRUE(list.IsFlag5ClearForAll());
  list.GetPlayer(2)->flags |= kGolferFlag5;
  EXPECT_FALSE(list.IsFlag5ClearForAll());
  EXPECT_EQ(list.FindFreeSlot(0), 1);
  for (int i = 0; i < 20; ++i) {
    const int s = list.FindFreeSlot(1);
    EXPECT_TRUE(s == 1 || s == 3) << s;
  }
  list.GetPlayer(0)->SetStatistic(0, 4);
  list.ReleaseAllTables();
  EXPECT_EQ(list.GetPlayer(0)->statistics, nullptr);
  list.Reset();
  EXPECT_EQ(list.CountTakingPart(), 0);
  EXPECT_TRUE(list.HasNoActivePlayer());
}

using PlayerListFiles = DriveTest;

TEST_F(PlayerListFiles, GolferFilesOfTakingPartGolfers) {
  std::filesystem::create_directories(root_ + "/c/Golfers");
  const std::string folder = "C:\\GOLFERS";
  TPlayerList list;
  TPlayer* a = list.GetPlayer(0);
  std::strcpy(a->name, "Cal");
  a->flags = kGolferTakesPart;
  a->bag = 0x1234;
  TPlayer* b = list.GetPlayer(1);
  std::strcpy(b->name, "Builtin");
  b->flags = kGolferTakesPart | kGolferNoFile;
  EXPECT_EQ(list.SaveGolferFiles(folder), 0);
  EXPECT_TRUE(HostExists("c/Golfers/Cal.amt"));
  EXPECT_FALSE(HostExists("c/Golfers/Builtin.amt"));
  a->bag = 0;
  EXPECT_EQ(list.ReloadGolferFiles(folder), 0);
  EXPECT_EQ(a->bag, 0x1234u);
  EXPECT_TRUE(a->flags & kGolferTakesPart);
}

}  // namespace

namespace {

TEST_F(GameTest, RoundStatistics) {
  ASSERT_EQ(CreateGame(0), 1);
  TGame* g = CurrentGame();
  g->state.holeCount = 18;
  g->state.round = 1;
  TPlayerList* list = g->GetPlayerList();
  TPlayer* filed = list->GetPlayer(0);
  filed->flags = kGolferTakesPart;
  TPlayer* builtin = list->GetPlayer(1);
  builtin->flags = kGolferTakesPart | kGolferNoFile;
  for (int hole = 0; hole < 18; ++hole) {
    filed->SetHoleScore(1, hole, hole == 3 ? (5 | kScoreMarker) : 4, 2);
    builtin->SetHoleScore(1, hole, 4, 2);
  }
  g->UpdateRoundStatistics();
  EXPECT_EQ(filed->GetStatistic(kStatRoundsPlayed), 1u);
  EXPECT_EQ(filed->GetStatistic(kStatTotalStrokes), 73u);
  EXPECT_EQ(filed->GetStatistic(kStatBestRound), 73u);
  EXPECT_EQ(builtin->GetStatistic(kStatRoundsPlayed), 0u);
  for (int hole = 0; hole < 18; ++hole) filed->SetHoleScore(1, hole, 5, 2);
  g->UpdateRoundStatistics();
  EXPECT_EQ(filed->GetStatistic(kStatRoundsPlayed), 2u);
  EXPECT_EQ(filed->GetStatistic(kStatTotalStrokes), 73u + 90u);
  EXPECT_EQ(filed->GetStatistic(kStatBestRound), 73u);
  g->state.holeCount = 9;  // not a full round
  g->UpdateRoundStatistics();
  EXPECT_EQ(filed->GetStatistic(kStatRoundsPlayed), 2u);
  ASSERT_EQ(CreateGame(1), 1);  // practice never counts
  CurrentGame()->state.holeCount = 18;
  CurrentGame()->UpdateRoundStatistics();
  EXPECT_EQ(CurrentGame()->GetPlayerList()->GetPlayer(0)->GetStatistic(kStatRoundsPlayed), 2u);
}

}  // namespace

namespace {

TEST_F(GameTest, ResetStateKeepsTheActiveGolferValid) {
  ASSERT_EQ(CreateGame(0), 1);
  TGame* g = CurrentGame();
  g->GetPlayerList()->SetComputer(1, true);
  g->SetCurrentPlayer(1);
  g->state.round = 3;
  g->state.playOrder[0][0] = 2;
  g->ResetState();
  EXPECT_EQ(g->state.round, 0);
  EXPECT_EQ(g->state.playOrder[0][0], 0);
  EXPECT_EQ(g->state.currentPlayer, 0);
  ASSERT_EQ(ActiveGolferRecord, g->GetPlayerList()->GetPlayer(0));
  EXPECT_EQ(ActiveGolferRecord->flags, 0u);
  EXPECT_FALSE(g->GetPlayerList()->GetPlayer(1)->IsComputer());
}

}  // namespace

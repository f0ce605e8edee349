// The golf layer's install function: the game provider answers from the current game.
#include "golf/install.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "platformlib/files/filehandle.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

TEST_F(RulesTest, GolfInstallsTheGameProvider) {
  InstallGolfServices();
  GameProvider& game = *Svc().game;
  EXPECT_STREQ(game.Name(), "golf");
  EXPECT_FALSE(game.GameExists());
  EXPECT_EQ(game.CreateGame(kModeStroke), 1);
  ASSERT_NE(CurrentGame(), nullptr);
  EXPECT_TRUE(game.GameExists());
  EXPECT_FALSE(game.RoundInProgress());
  CurrentGame()->roundRunning = 1;
  CurrentGame()->courseName = "SEDGEFEN";
  EXPECT_TRUE(game.RoundInProgress());
  EXPECT_STREQ(game.CurrentCourseFolder(), "SEDGEFEN");
  // A peer's acknowledgement becomes the golf handler's record; one that cannot be posted is given back.
  CurrentGame()->SetNetworkGame(1);
  CurrentGame()->players->GetPlayer(1)->machineId = 2;
  CurrentGame()->players->GetPlayer(1)->flags |= kGolferTakesPart;
  const uint8_t body[4] = {0x0c, 0x07, 0, 0};
  const intptr_t argument = game.PeerArgument(kGolfAck, 2, body, sizeof body, 2);
  ASSERT_NE(argument, 0);
  EXPECT_EQ(GolfBlockSize(reinterpret_cast<void*>(argument)), sizeof(AckBlock));
  EXPECT_EQ(GolfBlocksLive(), 1u);
  game.ReleasePeerArgument(argument);
  EXPECT_EQ(GolfBlocksLive(), 0u);
  game.DeleteGame();
  EXPECT_FALSE(game.GameExists());
}

TEST_F(RulesTest, TheGameProviderSavesAndResumesTheLastGame) {
  InstallGolfServices();
  GameProvider& game = *Svc().game;
  std::filesystem::create_directories(dir / "Players");
  winapi::testing::MapDrive('T', dir.string(), "TEMPDISK");
  PathRecord root{};
  std::strcpy(root.label, "TEMPDISK");
  std::strcpy(root.drive, "t:");
  PathSetDirectory(&root, "|");
  EXPECT_EQ(game.LoadGameFile(&root, "LastGame.dat"), 7);  // none yet
  TGame* g = MakeGame(kModeMatchPlay, 2);
  g->roundRunning = 1;
  g->gameName = "Evening round";
  game.EndRoundAndSave(&root);
  EXPECT_TRUE(game.GameFileWritten());
  EXPECT_FALSE(game.RoundInProgress());
  EXPECT_TRUE(std::filesystem::exists(dir / "LastGame.dat"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Players" / "Golfer 1.amt"));
  ASSERT_EQ(game.CreateGame(kModeStroke), 1);
  EXPECT_EQ(game.LoadGameFile(&root, "LASTGAME.DAT"), 0);
  EXPECT_EQ(CurrentGame()->mode, kModeMatchPlay);
  EXPECT_EQ(CurrentGame()->gameName, "Evening round");
  // With the installation's root known, games save their golfers' statistics into its golfer folder.
  EXPECT_EQ(CurrentGame()->golferFolder, "");
  game.SetInstallRoot(root);
  char players[MAX_PATH];
  ASSERT_TRUE(PathJoin(&root, "Players", players, sizeof players));
  EXPECT_EQ(CurrentGame()->golferFolder, players);
  ASSERT_EQ(game.CreateGame(kModeSkins), 1);
  EXPECT_EQ(CurrentGame()->golferFolder, players);
  EXPECT_EQ(game.LoadGameFile(&root, "LastGame.dat"), 0);
  EXPECT_EQ(CurrentGame()->golferFolder, players);
}

TEST_F(RulesTest, OnlyARunningRoundIsPausedAndItsLastGameIsResumed) {
  InstallGolfServices();
  GameProvider& game = *Svc().game;
  initfiles(0);  // the program's window set-up starts the library's file handles
  winapi::testing::MapDrive('C', dir.string());
  std::filesystem::create_directories(dir / "Players");
  PathRecord root{};
  std::snprintf(root.drive, sizeof root.drive, "c:");
  ASSERT_EQ(PathSetDirectory(&root, "|"), 0);
  // No file yet: nothing to resume.
  EXPECT_NE(game.LoadGameFile(&root, "LastGame.dat"), 0);

  TGame* g = MakeGame(kModeStroke, 2, true);
  g->state.hole = 4;
  SetStrokes(g, 0, 5, false);
  g->roundRunning = 1;
  game.SetRoundPaused(true);
  EXPECT_TRUE(game.GamePaused());
  // The round ended while the game was away: not paused any more.
  g->roundRunning = 0;
  EXPECT_FALSE(game.GamePaused());
  g->roundRunning = 1;
  EXPECT_TRUE(game.GamePaused());

  EXPECT_FALSE(game.GameFileWritten());
  game.EndRoundAndSave(&root);
  EXPECT_TRUE(game.GameFileWritten());
  EXPECT_FALSE(game.RoundInProgress());
  EXPECT_FALSE(game.GamePaused());
  EXPECT_TRUE(std::filesystem::exists(dir / "Players" / "Golfer 1.amt"));

  game.DeleteGame();
  ASSERT_EQ(game.LoadGameFile(&root, "LastGame.dat"), 0);
  ASSERT_NE(CurrentGame(), nullptr);
  EXPECT_EQ(CurrentGame()->state.hole, 4);
  EXPECT_EQ(Strokes(CurrentGame(), 0, 0, 4), 5u);
  EXPECT_TRUE(CurrentGame()->players->GetPlayer(1)->IsComputer());

  // A file of an older format says so (5), and the current game stays.
  std::ofstream(dir / "Old.dat", std::ios::binary).write("\x19\0\0\0\0\0", 6);
  EXPECT_EQ(game.LoadGameFile(&root, "Old.dat"), 5);
  EXPECT_EQ(CurrentGame()->state.hole, 4);
}

}  // namespace
}  // namespace rules

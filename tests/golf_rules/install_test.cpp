// The golf layer's install function: the game provider answers from the current game.
#include "golf/install.h"

#include <cstring>
#include <filesystem>

#include "framework/paths.h"
#include "framework/services.h"
#include "rules_fixture.h"

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
}

}  // namespace
}  // namespace rules

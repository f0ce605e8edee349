// The golf layer's install function: the game provider answers from the current game.
#include "golf/install.h"

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

}  // namespace
}  // namespace rules

// The club bar's tables: stepping through the bag in group order, captions, the club pop-up's group lists.
#include <gtest/gtest.h>

#include "golf/game.h"
#include "golf/player.h"
#include "roundfixture.h"
#include "roundui/clubbar.h"
#include "roundui/clubs.h"

namespace {

constexpr uint32_t kAll = (1u << 21) - 1;

TEST(ClubBarTables, SteppingWalksTheBagInGroupOrderWithoutWrapping) {
  const uint32_t noLongIrons = kAll & ~((1u << 4) | (1u << 5) | (1u << 7));  // no 1i, 2i, 3i
  struct Case {
    int club;
    uint32_t bag;
    bool backwards;
    int next;
  } cases[] = {
      {0, kAll, false, 1},          // D -> D2
      {11, kAll, false, 4},         // 9w -> 1i: woods run out into the irons
      {11, noLongIrons, false, 8},  // clubs not in the bag are skipped
      {15, kAll, false, 16},        // 9i -> pw
      {19, kAll, false, 20},        // lw -> P
      {20, kAll, false, -1},        // nothing past the putter
      {20, kAll, true, 19},
      {4, noLongIrons | (1u << 4), true, 11},  // 1i -> 9w
      {0, kAll, true, -1},          // nothing before the driver
      {1, kAll & ~1u, true, -1},    // the first club of the bag
  };
  for (const Case& c : cases)
    EXPECT_EQ(NextClubByGroup(c.club, c.bag, c.backwards), c.next) << c.club << (c.backwards ? " back" : " on");
}

TEST(ClubBarTables, GroupsAndNames) {
  EXPECT_EQ(ClubGroupSize(0), 1);
  EXPECT_EQ(ClubGroupSize(2), 9);
  EXPECT_EQ(ClubGroupClub(3, 6), 11);
  int group = 0, index = 0;
  ASSERT_TRUE(FindClubInGroups(13, &group, &index));
  EXPECT_EQ(group, 2);
  EXPECT_EQ(index, 6);
  EXPECT_FALSE(FindClubInGroups(21, &group, &index));
  EXPECT_STREQ(ClubNameField(2), "s3w            ");
  EXPECT_STREQ(ClubNameField(20), "P              ");
}

class ClubCaptionTest : public RoundUiTest {
 protected:
  void TearDown() override {
    DeleteCurrentGame();
    RoundUiTest::TearDown();
  }
};

TEST_F(ClubCaptionTest, PutterInFeetOfThePuttScaleOtherClubsInYardsToFive) {
  ASSERT_EQ(CreateGame(0), 1);
  TGame* g = CurrentGame();
  TPlayer* p = g->players->GetPlayer(0);
  p->bag = kAll;
  g->pinPosition = Vector3{0, 0, 0};
  struct Putt {
    float yards;
    const char* text;
  } putts[] = {{1.0f, "P 4'"}, {2.0f, "P 8'"}, {6.0f, "P 20'"}, {26.0f, "P 80'"}, {30.0f, "P 160'"}};
  for (const Putt& c : putts) {
    p->ball.position = Vector3{c.yards, 0, 0};
    EXPECT_EQ(ClubCaption(20, p), c.text) << c.yards;
  }
  p->shotType = 0;
  for (int club : {0, 3, 10, 16}) {
    const std::string text = ClubDistanceText(club, p);
    ASSERT_GE(text.size(), 2u);
    const char last = text[text.size() - 2];
    EXPECT_TRUE(last == '0' || last == '5') << club << " " << text;
  }
}

}  // namespace

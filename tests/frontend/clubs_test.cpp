// The clubs dialog: the bag's limit at Ok, power steps and their texts, path stepping both ways, the putter's
// row, distances, and what Ok writes into the golfer record.
#include "fefixture.h"
#include "frontend/clubs.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"

class ClubsTest : public FrontEndTest {
 protected:
  static playerInfo_s Golfer(uint32_t bag) {
    playerInfo_s g;
    g.bag = bag;
    return g;
  }
};

TEST_F(ClubsTest, OkWithMoreThanFourteenClubsKeepsTheDialog) {
  struct Case {
    uint32_t bag;
    bool closes;
  } cases[] = {{(1u << 14) - 1, true}, {(1u << 15) - 1, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.bag);
    TClubsDialogADV d(Golfer(k.bag));
    PostMessageA(nullptr, WM_CHAR, 13, 0);  // the notice's Ok, when it comes
    d.EndModal(1);
    EXPECT_EQ(d.Done(), k.closes);
    if (!k.closes) {
      EXPECT_EQ(LastMessageText(), "You are allowed only 14 clubs in your bag.");
    }
    Drain();
  }
}

TEST_F(ClubsTest, PowersStepAndWrapAndPathsStepBothWays) {
  playerInfo_s g = Golfer(1);
  g.SetClubPercent(0, 10);  // step 18
  g.SetClubTrajectory(1, 4);  // +2: path 4
  TClubsDialogADV d(g);
  EXPECT_EQ(d.step[0], 18);
  EXPECT_EQ(d.pathIndex[1], 4);
  EXPECT_EQ(d.power[0]->Text(), "10%");
  d.power[0]->Fire();  // on from the last choice: the first
  EXPECT_EQ(d.power[0]->Text(), "100%");
  EXPECT_EQ(d.step[0], 0);
  d.path[1]->Fire();  // a left click: on, 4 wraps to 0
  EXPECT_EQ(d.pathIndex[1], 0);
  d.path[1]->matchedHotKey = 1;  // a key: back, 0 wraps to 4
  d.path[1]->Fire();
  EXPECT_EQ(d.pathIndex[1], 4);
  // The putter's row has neither power nor path, and its entry cannot be picked.
  d.list->Select(TClubsDialogADV::kPutter, false);  // scrolled to the end
  d.OnIdle();
  ASSERT_EQ(d.topClub, d.list->TopRow());
  const int putterRow = TClubsDialogADV::kPutter - d.topClub;
  ASSERT_LT(putterRow, TClubsDialogADV::kRows);
  EXPECT_FALSE(d.power[putterRow]->flags & kHandlerShown);
  EXPECT_FALSE(d.path[putterRow]->flags & kHandlerShown);
  EXPECT_FALSE(d.list->At(TClubsDialogADV::kPutter)->enabled);
  // Ok writes the powers, paths and bag back.
  playerInfo_s out = Golfer(0);
  d.Store(out);
  EXPECT_EQ(out.GetClubPercent(0), 100u);
  EXPECT_EQ(out.GetClubTrajectory(1), 2);
  EXPECT_EQ(out.bag, 1u);
}

TEST_F(ClubsTest, DistancesFollowPowerAndShaft) {
  TClubsDialogADV d(Golfer(0));
  const int reach = GetClubRecord(0, 0, true).reach;
  EXPECT_EQ(d.FormatDistance(0, 0), std::to_string(RoundYardage(reach)) + "yd");
  EXPECT_EQ(d.FormatDistance(0, 2), std::to_string(RoundYardage(ScaleClubDistance(reach, 2))) + "yd");
  d.step[0] = 18;  // 10 %
  EXPECT_EQ(d.FormatDistance(0, 0), std::to_string(RoundYardage(static_cast<int>(0.1 * reach))) + "yd");
  const int putter = GetClubRecord(TClubsDialogADV::kPutter, 0, true).reach;
  EXPECT_EQ(d.FormatDistance(TClubsDialogADV::kPutter, 2), std::to_string(RoundYardage(3 * putter)) + "ft");
  // Picking a club puts it in the bag or takes it out.
  d.OnClubPicked(d.list, d.list->At(3));
  EXPECT_EQ(d.bagCount, 1);
  EXPECT_TRUE(d.list->At(3)->flagged);
  d.OnClubPicked(d.list, d.list->At(3));
  EXPECT_EQ(d.bagCount, 0);
}

TEST_F(ClubsTest, StoredPowersOpenAndSaveUnchanged) {
  // Whole steps of 5 % keep their value both ways; others fall to the step below, within 10 % and 100 %.
  struct Case {
    uint32_t stored;
    const char* shown;
    uint32_t saved;
  } cases[] = {{90, "90%", 90}, {45, "45%", 45}, {100, "100%", 100}, {10, "10%", 10}, {93, "95%", 95},
               {3, "10%", 10},  {250, "100%", 100}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.stored);
    playerInfo_s g = Golfer(1);
    g.SetClubPercent(0, k.stored);
    TClubsDialogADV d(g);
    EXPECT_EQ(d.power[0]->Text(), k.shown);
    playerInfo_s out = Golfer(1);
    d.Store(out);
    EXPECT_EQ(out.GetClubPercent(0), k.saved);
  }
}

TEST_F(ClubsTest, DistanceTexts) {
  struct Case {
    int reach, step, flex;
    bool putter;
    const char* text;
  } cases[] = {{250, 0, 0, false, "250yd"}, {250, 0, 1, false, "225yd"}, {56, 18, 2, false, "5yd"},
               {20, 18, 0, false, "< 5yd"},  {0, 0, 0, false, "< 5yd"},   {30, 0, 0, true, "90ft"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    EXPECT_EQ(TClubsDialogADV::DistanceText(k.reach, k.step, k.flex, k.putter), k.text);
  }
}

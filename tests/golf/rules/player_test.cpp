// The golfer in play: attaching a record, view options, stance, animation counts and course conditions.
#include "support/ground.h"
#include "golf/launch.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class PlayerTest : public RulesTest {};

TEST_F(PlayerTest, ViewOptionsFoldTheCameraChoiceIntoTheSecondByte) {
  struct Case {
    uint32_t in, out;
  };
  const Case cases[] = {
      {0x00000, 0x00000}, {0x1D000, 0x1D000}, {0x2D000, 0x2D000}, {0x3D000, 0x02000}, {0x4D123, 0x01123},
      {0x5F000, 0x04000}, {0x6D000, 0x03000}, {0x70000, 0x09000}, {0x80000, 0x0A000}, {0x90000, 0x0B000},
      {0xA0000, 0x03000}, {0xF00000 | 0x30000, 0xF00000 | 0x02000},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertViewOptions(c.in), c.out) << std::hex << c.in;
  ViewOptionBypass = true;
  EXPECT_EQ(ConvertViewOptions(0x3D000), 0x3D000u);
  ViewOptionBypass = false;
}

TEST_F(PlayerTest, AttachingARecordMakesItsOwnTablesAndTakesPart) {
  TGame* g = MakeGame(kModeStroke, 0);
  playerInfo_s source;
  std::strncpy(source.name, "Harriet", sizeof source.name - 1);
  source.SetHoleScore(1, 2, 5, 2);
  source.SetMulliganRule(2);
  source.viewOptions = 0x40000;
  TPlayer* p = g->players->GetPlayer(1);
  ASSERT_EQ(p->AttachRecord(source, 1), kRecordOk);
  EXPECT_TRUE(p->flags & kGolferTakesPart);
  EXPECT_EQ(p->model, 1u);
  EXPECT_STREQ(p->name, "Harriet");
  EXPECT_EQ(p->GetMulliganRule(), 2);
  EXPECT_EQ(p->viewOptions, 0x1000u);
  EXPECT_EQ(p->noTableFlag, 1u);  // the source had no statistics table
  uint32_t strokes = 0;
  p->GetHoleScore(1, 2, &strokes, nullptr);
  EXPECT_EQ(strokes, 5u);
  // Tables are the golfer's own.
  source.SetHoleScore(1, 2, 9, 0);
  p->GetHoleScore(1, 2, &strokes, nullptr);
  EXPECT_EQ(strokes, 5u);
  // A golfer without a file is named from the built-in table, by roster number from 4.
  playerInfo_s pro;
  pro.flags = kGolferNoFile;
  ASSERT_EQ(p->AttachRecord(pro, 5), kRecordOk);
  EXPECT_STREQ(p->name, "Tom Ruskin");
  // A number outside the table keeps the record's name.
  std::strncpy(pro.name, "Own name", sizeof pro.name - 1);
  ASSERT_EQ(p->AttachRecord(pro, 2), kRecordOk);
  EXPECT_STREQ(p->name, "Own name");
}

TEST_F(PlayerTest, TheStanceFollowsTheBallAndClearsTheChangedWord) {
  TPlayer p;
  p.positionChanged = 7;
  p.UpdateStance();
  EXPECT_EQ(p.positionChanged, 7u);  // the ball has not moved from the stance
  p.ball.position = Vector3{1.0f, 0.0f, 0.0f};
  p.UpdateStance();
  EXPECT_EQ(p.positionChanged, 0u);
  EXPECT_FLOAT_EQ(p.stance.x, 1.0f);
}

TEST_F(PlayerTest, SpecialAnimationCountsBelongToModel17) {
  TPlayer p;
  p.model = 17;
  const std::pair<int, int> cases[] = {{22, 4}, {28, 2}, {30, 2}, {42, 2}, {44, 2}, {46, 2}, {34, 6},
                                       {36, 6}, {38, 8}, {40, 8}, {23, 0}, {0, 0},  {47, 0}};
  for (auto [animation, count] : cases) EXPECT_EQ(p.SpecialAnimationCount(animation), count) << animation;
  EXPECT_FALSE(p.IsSpecialGolfer());
  p.firstPair[1] = 9;
  EXPECT_TRUE(p.IsSpecialGolfer());
  p.model = 16;
  EXPECT_EQ(p.SpecialAnimationCount(22), 0);
}

TEST_F(PlayerTest, CourseConditionsOutOfRangeAreRepairedBeforeTheShot) {
  TPlayer p;
  p.windCondition = 3;
  p.fairwayCondition = 200;
  p.greenCondition = 2;
  p.CheckCourseConditions();
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "Wind condition adjusted\nFairway condition adjusted\n");
  EXPECT_EQ(p.windCondition, 0);
  EXPECT_EQ(p.fairwayCondition, 1);
  EXPECT_EQ(p.greenCondition, 2);
  p.greenCondition = 9;
  p.CheckCourseConditions();
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "Green conditions adjusted\n");
  EXPECT_EQ(p.greenCondition, 1);
}

TEST_F(PlayerTest, ChangingTheModeKeepsTheGolfersPlaceOnTheHole) {
  TGame* g = MakeGame(kModeStroke, 2);
  TPlayer* p = g->players->GetPlayer(1);
  p->holedOut = 1;
  p->machineId = 5;
  p->stance = Vector3{3.0f, 4.0f, 0.0f};
  ASSERT_EQ(CreateGame(kModeShootout), 1);
  const TPlayer* q = CurrentGame()->players->GetPlayer(1);
  EXPECT_EQ(q->holedOut, 1u);
  EXPECT_EQ(q->machineId, 5u);
  EXPECT_FLOAT_EQ(q->stance.y, 4.0f);
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

TEST_F(PlayerTest, ANetworkShotIsPlayedAlikeOnTheOtherMachine) {
  ASSERT_TRUE(balltest::makeGround(60, 200, 0x10));
  TGame* g = MakeGame(kModeStroke, 2);
  g->SetNetworkGame(1);
  g->localPlayer = 0;
  g->roundRunning = 1;
  g->SetCurrentPlayer(0);
  TPlayer* p = g->players->GetPlayer(0);
  PlaceBallAt(p, Vector3{0.0f, -80.0f, 0.0f});
  p->windCondition = 7;
  p->SetClub(9);
  std::vector<uint8_t> block;
  uint32_t blockId = 0;
  fakes.sendBlock = [&](int machine, uint32_t id, const void* data, size_t n) {
    EXPECT_EQ(machine, -1);
    blockId = id;
    block.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n);
  };
  ShotAimPoint = Vector3{0.0f, 40.0f, 0.0f};
  ASSERT_EQ(PlayCurrentShot(0.8f, 12.0f, 0.0f), 1);
  EXPECT_EQ(blockId, 0x70fu);
  ASSERT_EQ(block.size(), kShotSetUpWireBytes);
  void* received = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteSettings, 0, block.data(), block.size()));
  ASSERT_NE(received, nullptr);
  ShotSetUpBlock settings;
  std::memcpy(&settings, received, sizeof settings);
  GolfBlockFree(received);
  EXPECT_EQ(settings.wind, 0);  // repaired before it went out
  EXPECT_EQ(settings.club, 9);
  EXPECT_FLOAT_EQ(settings.position.y, -80.0f);
  EXPECT_EQ(Strokes(g, 0, 0, 0), 1u);
  EXPECT_GT(p->ball.position.y, -40.0f);
  Pump();
  const Vector3 landed = p->ball.position;

  // Another machine, where golfer 1 is local: the same shot gives the same ball and score.
  auto deliver = [&](const ShotSetUpBlock& b) {
    auto* copy = static_cast<ShotSetUpBlock*>(GolfBlockAlloc(sizeof(ShotSetUpBlock)));
    *copy = b;
    SendGolfMessage(kGolfRemoteSettings, reinterpret_cast<intptr_t>(copy));
  };
  DeleteCurrentGame();
  ResetGolfHandler();
  TGame* other = MakeGame(kModeStroke, 2);
  other->SetNetworkGame(1);
  other->localPlayer = 1;
  other->roundRunning = 1;
  other->SetCurrentPlayer(0);
  TPlayer* remote = other->players->GetPlayer(0);
  PlaceBallAt(remote, Vector3{0.0f, -80.0f, 0.0f});
  ShotSetUpBlock damaged = settings;
  damaged.club = 30;
  deliver(damaged);
  EXPECT_EQ(Strokes(other, 0, 0, 0), 0u);
  damaged = settings;
  damaged.golfer = 1;  // not the golfer whose turn it is
  deliver(damaged);
  EXPECT_EQ(Strokes(other, 0, 0, 0), 0u);
  ShotAimPoint = Vector3{50.0f, 50.0f, 0.0f};  // the sent aim counts, not this machine's
  deliver(settings);
  EXPECT_EQ(GetGolfStatus(), 0x70fu);
  EXPECT_EQ(GolfState.polling, 1u);
  EXPECT_EQ(remote->currentClub, 9);
  EXPECT_EQ(remote->ball.position.x, landed.x);
  EXPECT_EQ(remote->ball.position.y, landed.y);
  EXPECT_EQ(remote->ball.position.z, landed.z);
  EXPECT_EQ(Strokes(other, 0, 0, 0), 1u);
  // The turn machine's check finds no difference.
  SendGolfMessage(kGolfPosition, MakePositionBlock(0, landed, 0));
  EXPECT_EQ(winapi::testing::TakeDebugOutput().find("Position mismatch"), std::string::npos);
  // On the machine whose turn it is, settings from elsewhere are ignored.
  other->localPlayer = 0;
  deliver(settings);
  EXPECT_EQ(Strokes(other, 0, 0, 0), 1u);
}

}  // namespace
}  // namespace rules

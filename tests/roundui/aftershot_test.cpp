// After a shot: which choices are offered, what each sends, and the handlers that count the stroke and penalties
// once and end the shot with 0x71c, through the golf library's message handler.
#include <gtest/gtest.h>

#include <string>

#include "framework/ui/eventhandler.h"
#include "golf/gameflow.h"
#include "golf/launch.h"
#include "roundui/aftershot.h"
#include "roundui/replay.h"
#include "roundui/shotresult.h"
#include "support/ground.h"
#include "support/rules_fixture.h"

namespace {

std::string Names(uint32_t offered) {
  std::string out;
  for (int c = 0; c < kAfterShotChoices; ++c)
    if (offered & (1u << c)) out += std::string(out.empty() ? "" : ",") + AfterShotChoiceText(c);
  return out;
}

// The interface as the golf library sees it: it counts shots, and the choices' messages reach its handlers.
class AfterShotRound : public RoundInterfaceProvider {
 public:
  bool CountsShots() override { return true; }
  void BeginAfterShot() override { ::BeginAfterShot(); }
  void RemoteMessage(uint32_t id, void*) override { AfterShotMessage(id); }
};

class Answers : public FrontEndProvider {
 public:
  int ShowMessageDialog(const char* text, int) override {
    asked.push_back(text);
    return answer;
  }
  std::vector<std::string> asked;
  int answer = 0;
};

}  // namespace

TEST(AfterShotChoices, OfferedByLieModeAndTurn) {
  using S = AfterShotSituation;
  auto water = [](bool code5) {
    AfterShotLie l;
    l.water = true;
    l.waterCode5 = code5;
    return l;
  };
  AfterShotLie out;
  out.outOfBounds = true;
  const struct {
    const char* what;
    S s;
    const char* offered;
    int defaultChoice;
  } cases[] = {
      {"fairway", S{}, "Ok,Auto Replay,Replay,Save shot", kChoiceOk},
      {"mulligan rule", [] { S s; s.mulligansOn = true; return s; }(), "Ok,Mulligan,Auto Replay,Replay,Save shot", kChoiceOk},
      {"short putt", [] { S s; s.distanceToHole = 0.3f; return s; }(), "Ok,Tap-in,Auto Replay,Replay,Save shot", kChoiceOk},
      {"long putt", [] { S s; s.distanceToHole = 0.4f; return s; }(), "Ok,Auto Replay,Replay,Save shot", kChoiceOk},
      {"shoot-out putt", [] { S s; s.distanceToHole = 0.3f; s.shootout = true; return s; }(), "Ok,Auto Replay,Replay,Save shot", kChoiceOk},
      {"lateral water", [&] { S s; s.lie = water(false); return s; }(), "Auto Replay,Replay,Drop,Save shot", kChoiceDrop},
      {"water", [&] { S s; s.lie = water(true); return s; }(), "Auto Replay,Replay,Drop,Rehit,Save shot", kChoiceDrop},
      {"water from the tee rule", [&] { S s; s.lie = water(true); s.playedFromCode6WithCourseFlag = true; return s; }(),
       "Auto Replay,Replay,Drop,Save shot", kChoiceDrop},
      {"out of bounds", [&] { S s; s.lie = out; return s; }(), "Auto Replay,Replay,Rehit,Save shot", kChoiceRehit},
      {"penalties forbidden", [&] { S s; s.lie = out; s.penaltyOptionsForbidden = true; return s; }(), "Ok,Auto Replay,Replay,Save shot", kChoiceOk},
      {"match, hole open", [] { S s; s.concedeMode = true; s.holeStillOpen = true; return s; }(), "Ok,Auto Replay,Replay,Concede,Save shot", kChoiceOk},
      {"match, holed", [] { S s; s.concedeMode = true; s.holeStillOpen = true; s.holed = true; return s; }(), "Ok,Auto Replay,Replay,Save shot", kChoiceOk},
      {"saved already", [] { S s; s.savingAllowed = false; return s; }(), "Ok,Auto Replay,Replay", kChoiceOk},
      {"network, my turn", [] { S s; s.network = true; s.gameAllowsSaving = false; return s; }(), "Ok", kChoiceOk},
      {"network, other's turn", [] { S s; s.network = true; s.local = false; return s; }(), "Quit", -1},
      {"computer golfer", [] { S s; s.human = false; return s; }(), "", -1},
      {"round ending", [&] { S s; s.roundEnding = true; s.mulligansOn = true; s.lie = out; return s; }(), "Ok,Auto Replay,Replay", kChoiceOk},
      {"driving range", [] { S s; s.menuMode = false; return s; }(), "", -1},
  };
  for (const auto& c : cases) {
    const uint32_t offered = OfferedChoices(c.s);
    EXPECT_EQ(Names(offered), c.offered) << c.what;
    EXPECT_EQ(DefaultAfterShotChoice(offered), c.defaultChoice) << c.what;
  }
}

TEST(AfterShotChoices, TextsAndMessages) {
  const struct {
    int choice;
    const char* text;
    uint32_t message;
  } cases[] = {{kChoiceOk, "Ok", 0x720},        {kChoiceMulligan, "Mulligan", 0x71D}, {kChoiceTapIn, "Tap-in", 0x711},
               {kChoiceAutoReplay, "Auto Replay", 0}, {kChoiceReplay, "Replay", 0},  {kChoiceConcede, "Concede", 0x730},
               {kChoiceDrop, "Drop", 0x71F},    {kChoiceRehit, "Rehit", 0x71E},      {kChoiceQuit, "Quit", 0x70E},
               {kChoiceSaveShot, "Save shot", 0}};
  for (const auto& c : cases) {
    EXPECT_STREQ(AfterShotChoiceText(c.choice), c.text);
    EXPECT_EQ(AfterShotChoiceMessage(c.choice), c.message) << c.text;
  }
  EXPECT_STREQ(AfterShotChoiceText(10), "");
}

namespace rules {
namespace {

class AfterShotTest : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    ASSERT_TRUE(balltest::makeGround(60, 300, 0x10));
    Svc().round = &round_;
    Svc().frontEnd = &answers_;
    ResetReplayBuffer();  // no recording: no replays offered
    ASSERT_EQ(CreateAfterShotHandler(), 0);
  }
  void TearDown() override {
    DestroyAfterShotHandler();
    ResetReplayBuffer();
    RulesTest::TearDown();
  }
  // A stroke game of one person whose ball came to rest at `rest` after a shot from (0, -100); a hole 150 yards
  // up the middle.
  TPlayer* ShotPlayed(const Vector3& rest, uint8_t lie, int flag = 0) {
    TGame* g = MakeGame(kModeStroke, 1);
    g->roundRunning = 1;
    g->SetCurrentPlayer(0);
    g->pinPosition = Vector3{0.0f, 50.0f, 0.0f};
    TPlayer* p = g->players->GetPlayer(0);
    PlaceBallAt(p, Vector3{0.0f, -100.0f, 0.0f});
    p->ballBeforeShot = p->ball;
    p->ball.position = rest;
    p->ball.lie = lie;
    if (flag) p->ball.Flag(flag) = 1;
    g->hasLastShot = true;
    return p;
  }
  int Count(uint32_t id) {
    int n = 0;
    for (uint32_t d : Dispatched()) n += d == id;
    return n;
  }
  AfterShotRound round_;
  Answers answers_;
};

TEST_F(AfterShotTest, EachChoiceCountsStrokeAndPenaltyOnceAndEndsTheShot) {
  balltest::band(0.0f, 20.0f, 0x50);  // a water band across the hole
  const struct {
    const char* what;
    Vector3 rest;
    uint8_t lie;
    int flag;
    void (*command)();
    uint32_t strokes;
    float ballY;  // where the next shot is played from
    const char* menu;
  } cases[] = {
      {"ok", {0, 30, 0}, 1, 0, CmdAcceptShot, 1, 30.0f, "*Ok, Save shot"},
      {"drop", {0, 10, 0}, 5, kBallFlagWater, CmdDrop, 2, -3.0f, "*Drop, Rehit, Save shot"},
      {"rehit", {0, 10, 0}, 5, kBallFlagWater, CmdRehit, 2, -100.0f, "*Drop, Rehit, Save shot"},
      {"out of bounds", {0, 30, 0}, 9, kBallFlagOutOfBounds, CmdRehit, 2, -100.0f, "*Rehit, Save shot"},
      {"tap-in", {0, 49.8f, 0}, 7, 0, CmdTapIn, 2, 50.0f, "*Ok, Tap-in, Save shot"},
      {"mulligan", {0, 30, 0}, 1, 0, CmdMulligan, 0, -100.0f, "*Ok, Mulligan, Save shot"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TPlayer* p = ShotPlayed(c.rest, c.lie, c.flag);
    if (c.command == CmdMulligan) p->SetMulliganRule(1);
    Dispatched().clear();
    BeginAfterShot();
    EXPECT_TRUE(AfterShotMenuShown());
    EXPECT_EQ(AfterShotMenuRows(), c.menu);
    EXPECT_EQ(AfterShotStrokePending(), 1);
    c.command();
    EXPECT_FALSE(AfterShotMenuShown());
    Pump();
    TGame* g = CurrentGame();
    EXPECT_EQ(Strokes(g, 0, 0, 0), c.strokes);
    EXPECT_NEAR(p->ball.position.y, c.ballY, 0.01f);
    EXPECT_EQ(Count(0x71C), 1);
    EXPECT_EQ(AfterShotStrokePending(), 0);
    // The same choice heard again (a peer's echo) counts nothing more.
    const uint32_t id = static_cast<uint32_t>(Dispatched().front());
    PostGolfMessage(id);
    Pump();
    EXPECT_EQ(Strokes(g, 0, 0, 0), c.strokes);
    EXPECT_EQ(Count(0x71C), 1);
    DeleteCurrentGame();
  }
}

TEST_F(AfterShotTest, NetworkChoicesGoToEveryMachineButQuitStaysHere) {
  TPlayer* p = ShotPlayed({0, 30, 0}, 1);
  TGame* g = CurrentGame();
  g->SetNetworkGame(1);
  g->localPlayer = 0;
  (void)p;
  BeginAfterShot();
  EXPECT_EQ(AfterShotMenuRows(), "*Ok");
  CmdAcceptShot();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].machine, -1);
  EXPECT_EQ(sent[0].id, 0x720u);
  sent.clear();
  // Quit: asked, then posted here only.
  answers_.answer = 0;
  CmdEndGame();
  EXPECT_TRUE(sent.empty());
  ASSERT_EQ(answers_.asked.size(), 1u);
  EXPECT_EQ(answers_.asked[0], "Are you sure you want to end the game?");
  MSG m;
  std::vector<uint32_t> posted;
  while (PeekMessageA(&m, GolfMainWindow, kGolfWindowMessage, kGolfWindowMessage, PM_REMOVE)) posted.push_back(static_cast<uint32_t>(m.wParam));
  EXPECT_EQ(posted, (std::vector<uint32_t>{0x720, 0x70E}));
  // Concede on another machine's turn goes out without asking.
  g->localPlayer = 1;
  answers_.asked.clear();
  EXPECT_EQ(CmdConcede(), 1);
  EXPECT_TRUE(answers_.asked.empty());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].id, 0x730u);
  while (PeekMessageA(&m, GolfMainWindow, kGolfWindowMessage, kGolfWindowMessage, PM_REMOVE)) {
  }
}

TEST_F(AfterShotTest, ConcedeAskedOnMyTurnAndRefusedGivesTheMenuBack) {
  ShotPlayed({0, 30, 0}, 1);
  BeginAfterShot();
  answers_.answer = 27;
  EXPECT_EQ(CmdConcede(), 0);
  EXPECT_EQ(answers_.asked, (std::vector<std::string>{"Are you sure you want to concede?"}));
  EXPECT_TRUE(AfterShotMenuShown());
  Pump();
  EXPECT_EQ(Count(0x730), 0);
}

TEST_F(AfterShotTest, WithoutTheMenuTheDefaultEndsTheShotAsInFastPlay) {
  DestroyAfterShotHandler();
  FailNextAfterShotHandler();
  EXPECT_EQ(CreateAfterShotHandler(), 4);
  EXPECT_EQ(AfterShotHandler(), nullptr);
  balltest::band(0.0f, 20.0f, 0x50);
  const struct {
    Vector3 rest;
    uint8_t lie;
    int flag;
    uint32_t strokes;
    float ballY;
  } cases[] = {{{0, 30, 0}, 1, 0, 1, 30.0f}, {{0, 10, 0}, 5, kBallFlagWater, 2, -3.0f}, {{0, 30, 0}, 9, kBallFlagOutOfBounds, 2, -100.0f}};
  for (const auto& c : cases) {
    TPlayer* p = ShotPlayed(c.rest, c.lie, c.flag);
    Dispatched().clear();
    BeginAfterShot();
    Pump();
    EXPECT_EQ(Strokes(CurrentGame(), 0, 0, 0), c.strokes);
    EXPECT_NEAR(p->ball.position.y, c.ballY, 0.01f);
    EXPECT_EQ(Count(0x71C), 1);
    DeleteCurrentGame();
  }
  // With the menu, fast play makes the same choice without asking.
  ASSERT_EQ(CreateAfterShotHandler(), 0);
  TPlayer* p = ShotPlayed({0, 30, 0}, 9, kBallFlagOutOfBounds);
  CurrentGame()->SetFastPlay(true);
  Dispatched().clear();
  BeginAfterShot();
  EXPECT_FALSE(AfterShotMenuShown());
  Pump();
  EXPECT_EQ(Strokes(CurrentGame(), 0, 0, 0), 2u);
  EXPECT_NEAR(p->ball.position.y, -100.0f, 0.01f);
  EXPECT_EQ(Count(0x71C), 1);
}

TEST_F(AfterShotTest, UntouchedMenuRunsItsDefaultAfterTenSeconds) {
  ShotPlayed({0, 30, 0}, 9, kBallFlagOutOfBounds);
  BeginAfterShot();
  winapi::testing::AdvanceClock(10000);
  EXPECT_EQ(AfterShotOnIdle(), 0);
  // A key the menu does not use starts the count again.
  EXPECT_EQ(AfterShotOnChar('x'), 0);
  winapi::testing::AdvanceClock(9000);
  EXPECT_EQ(AfterShotOnIdle(), 0);
  winapi::testing::AdvanceClock(1001);
  EXPECT_EQ(AfterShotOnIdle(), 1);
  Pump();
  EXPECT_EQ(Count(0x71E), 1);
  EXPECT_EQ(Strokes(CurrentGame(), 0, 0, 0), 2u);
  // Practice has no countdown.
  DeleteCurrentGame();
  TGame* g = MakeGame(kModePractice, 1);
  g->roundRunning = 1;
  g->players->GetPlayer(0)->ballBeforeShot = g->players->GetPlayer(0)->ball;
  BeginAfterShot();
  winapi::testing::AdvanceClock(60000);
  EXPECT_EQ(AfterShotOnIdle(), 0);
  EXPECT_TRUE(AfterShotMenuShown());
}

TEST_F(AfterShotTest, KeysMoveTheSelectionAndEnterChooses) {
  TPlayer* p = ShotPlayed({0, 30, 0}, 1);
  p->SetMulliganRule(2);  // one a nine
  BeginAfterShot();
  EXPECT_EQ(AfterShotMenuRows(), "*Ok, Mulligan, Save shot");
  EXPECT_EQ(AfterShotOnChar(kKeyDown), 1);
  EXPECT_EQ(AfterShotMenuRows(), "Ok, *Mulligan, Save shot");
  EXPECT_EQ(AfterShotOnChar(kKeyEnter), 1);
  Pump();
  EXPECT_EQ(Count(0x71D), 1);
  EXPECT_EQ(Strokes(CurrentGame(), 0, 0, 0), 0u);
  EXPECT_FALSE(p->MayTakeMulligan(0));
}

TEST_F(AfterShotTest, TheGolfLibraryLeavesTheCountToTheChoice) {
  TGame* g = MakeGame(kModeStroke, 1);
  g->roundRunning = 1;
  g->SetCurrentPlayer(0);
  TPlayer* p = g->players->GetPlayer(0);
  PlaceBallAt(p, Vector3{0.0f, -80.0f, 0.0f});
  p->SetClub(9);
  ShotAimPoint = Vector3{0.0f, 40.0f, 0.0f};
  ASSERT_EQ(PlayCurrentShot(0.8f, 0.0f, 0.0f), 1);
  EXPECT_EQ(Strokes(g, 0, 0, 0), 0u);
  EXPECT_TRUE(AfterShotMenuShown());
  EXPECT_EQ(Count(0x71C), 0);
  CmdAcceptShot();
  Pump();
  EXPECT_EQ(Strokes(g, 0, 0, 0), 1u);
  EXPECT_EQ(Count(0x71C), 1);
  EXPECT_EQ(Count(0x712), 1);  // the golf library goes on to the next shot
}

}  // namespace
}  // namespace rules

#include "roundui/install.h"

namespace rules {
namespace {

// The provider the program installs: a computer golfer's shot ends in the default choice after its pause, a
// person's in the menu, and the choice's message reaches the handler through the golf library.
TEST_F(AfterShotTest, TheInstalledInterfaceEndsEveryShot) {
  InstallRoundInterfaceServices();
  TGame* g = MakeGame(kModeStroke, 2);
  g->roundRunning = 1;
  g->players->SetComputer(1, true);
  for (int slot : {1, 0}) {
    SCOPED_TRACE(slot);
    g->SetCurrentPlayer(slot);
    TPlayer* p = g->players->GetPlayer(slot);
    PlaceBallAt(p, Vector3{0.0f, -80.0f, 0.0f});
    p->SetClub(9);
    ShotAimPoint = Vector3{0.0f, 40.0f, 0.0f};
    Dispatched().clear();
    const uint32_t before = winapi::testing::ClockNow();
    ASSERT_EQ(PlayCurrentShot(0.8f, 0.0f, 0.0f), 1);
    if (slot == 1) {
      EXPECT_FALSE(AfterShotMenuShown());
      EXPECT_GE(winapi::testing::ClockNow() - before, 2000u);  // the computer golfer's pause
    } else {
      EXPECT_TRUE(AfterShotMenuShown());
      EXPECT_EQ(Strokes(g, slot, 0, 0), 0u);
      CmdAcceptShot();
    }
    Pump();
    EXPECT_EQ(Strokes(g, slot, 0, 0), 1u);
    EXPECT_EQ(Count(0x71C), 1);
  }
}

}  // namespace
}  // namespace rules

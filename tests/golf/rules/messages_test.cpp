// The chain of golf messages through a hole, and the handshake between machines on the virtual clock.
#include "support/rules_fixture.h"

namespace rules {
namespace {

class MessagesTest : public RulesTest {
 protected:
  // A networked stroke game of two golfers: slot 0 on this machine (1), slot 1 on machine 2.
  TGame* NetGame(int current) {
    TGame* g = MakeGame(kModeStroke, 2);
    g->SetNetworkGame(1);
    g->localPlayer = 0;
    g->players->GetPlayer(0)->machineId = 1;
    g->players->GetPlayer(1)->machineId = 2;
    g->state.currentPlayer = static_cast<uint16_t>(current);
    g->roundRunning = 1;
    return g;
  }
  int SentCount(int machine, uint32_t id) const {
    int n = 0;
    for (const Sent& s : sent) n += s.machine == machine && s.id == id ? 1 : 0;
    return n;
  }
};

TEST_F(MessagesTest, AHoleStartsAsTheChainOfMessagesUpToTheShot) {
  UseHole(40, 120);
  TGame* g = MakeGame(kModeStroke, 1);
  g->StartHole();
  Pump();
  const std::vector<uint32_t> expected = {0x705, 0x706, 0x707, 0x708, 0x70b, 0x70a, 0x70c, 0x70d};
  EXPECT_EQ(TakeDispatched(), expected);
  EXPECT_EQ(personShots, 1);
  EXPECT_EQ(GetGolfStatus(), 0x70du);
  // The ball waits on the tee of the loaded hole.
  const TPlayer* p = g->players->GetPlayer(0);
  EXPECT_FLOAT_EQ(p->ball.position.x, g->teePosition.x);
  EXPECT_FLOAT_EQ(p->ball.position.y, g->teePosition.y);
  EXPECT_NE(g->pinPosition.y, g->teePosition.y);
}

TEST_F(MessagesTest, AHoleThatFailsToLoadEndsTheGame) {
  fakes.holeFile = [](int, int) { return std::string("T:\\MISSING.hnf"); };
  TGame* g = MakeGame(kModeStroke, 1);
  g->StartHole();
  Pump();
  const std::vector<uint32_t> expected = {0x705, 0x706, 0x707, 0x709};
  EXPECT_EQ(TakeDispatched(), expected);
  EXPECT_EQ(g->roundRunning, 0u);
  EXPECT_EQ(frontEnd, 1);
}

TEST_F(MessagesTest, NothingIsHandledOutsideARoundAndBlocksAreStillFreed) {
  TGame* g = MakeGame(kModeStroke, 1);
  SendGolfMessage(kGolfHoleStart);
  SendGolfMessage(kGolfChat, MakeTextBlock("hello"));
  SendGolfMessage(kGolfAck, MakeAckBlock(0, 0x70a));
  Pump();
  EXPECT_TRUE(TakeDispatched().empty());
  EXPECT_EQ(GetGolfStatus(), 0u);
  g->roundRunning = 1;
  std::string chat;
  fakes.chatLine = [&](const std::string& t) { chat = t; };
  SendGolfMessage(kGolfChat, MakeTextBlock("hello"));
  EXPECT_EQ(chat, "hello");
}

TEST_F(MessagesTest, UnknownIdsAreLoggedAndIgnored) {
  TGame* g = MakeGame(kModeStroke, 1);
  g->roundRunning = 1;
  for (uint32_t id : {0x704u, 0x719u, 0x71bu, 0x725u, 0x72cu, 0x72fu}) {
    SendGolfMessage(id);
    char line[64];
    std::snprintf(line, sizeof line, "Unknown Golf Message: %u\n", id);
    EXPECT_EQ(winapi::testing::TakeDebugOutput(), line);
  }
  SendGolfMessage(kGolfStatusLine);
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "Current Status: 0\n");
}

TEST_F(MessagesTest, ASynchronisedStepWaitsForEveryMachineAndResendsToTheSilentOne) {
  NetGame(0);
  SendGolfMessage(kGolfBeforeShot);
  EXPECT_EQ(SentCount(-1, 0x70a), 1);
  EXPECT_EQ(GolfState.awaited, 0x70au);
  EXPECT_EQ(GolfState.allAcknowledged, 0u);
  Advance(2999);
  EXPECT_EQ(SentCount(2, 0x70a), 0);
  Advance(1);
  EXPECT_EQ(SentCount(2, 0x70a), 1);
  Advance(3000);
  EXPECT_EQ(SentCount(2, 0x70a), 2);
  EXPECT_EQ(CurrentGame()->players->GetPlayer(1)->retries, 2u);
  // An acknowledgement of another step clears the retry counter only.
  SendGolfMessage(kGolfAck, MakeAckBlock(1, 0x707));
  EXPECT_EQ(CurrentGame()->players->GetPlayer(1)->retries, 0u);
  EXPECT_EQ(GolfState.allAcknowledged, 0u);
  TakeDispatched();
  SendGolfMessage(kGolfAck, MakeAckBlock(1, 0x70a));
  EXPECT_EQ(GolfState.allAcknowledged, 1u);
  Pump();
  const std::vector<uint32_t> next = {0x70c, 0x70d};
  EXPECT_EQ(TakeDispatched(), next);
  // The timer is gone: nothing more is re-sent.
  Advance(30000);
  EXPECT_EQ(SentCount(2, 0x70a), 2);
}

TEST_F(MessagesTest, AMachineThatStaysSilentIsDroppedAfterTheRetryLimit) {
  TGame* g = NetGame(0);
  SendGolfMessage(kGolfBallStopped);
  for (int i = 0; i < 29; ++i) Advance(3000);
  EXPECT_EQ(SentCount(2, 0x71c), 29);
  EXPECT_TRUE(dropped.empty());
  Advance(3000);
  EXPECT_EQ(SentCount(2, 0x71c), 29);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0].first, "You have lost communication with your opponent!");
  EXPECT_EQ(messages[0].second, 5000u);
  EXPECT_EQ(dropped, std::vector<uint32_t>{2});
  EXPECT_TRUE(g->players->GetPlayer(1)->flags & 0x80);
  EXPECT_EQ(messages.back().first, "Golfer 2 has left the game");
  // The step goes on for the golfers that remain.
  EXPECT_EQ(GolfState.allAcknowledged, 1u);
  EXPECT_EQ(GolfState.handshakeTimer, 0u);
}

TEST_F(MessagesTest, TheOtherMachinesPollAndEndTheGameWhenTheTurnMachineIsSilent) {
  UseHole(40, 120);
  TGame* g = NetGame(1);
  g->roundRunning = 0;
  g->StartHole();
  Pump();
  EXPECT_EQ(GolfState.polling, 1u);
  EXPECT_EQ(SentCount(2, 0x716), 1);  // this machine acknowledged the hole load
  for (int i = 0; i < 5; ++i) Advance(15000);
  EXPECT_EQ(SentCount(2, 0x72d), 5);
  EXPECT_EQ(frontEnd, 0);
  // An answer resets the count.
  SendGolfMessage(kGolfPollAnswer, 0);
  EXPECT_EQ(GolfState.pollCount, 0u);
  for (int i = 0; i < 6; ++i) Advance(15000);
  EXPECT_EQ(messages.back().first, "Communication with current player has been lost.");
  EXPECT_EQ(frontEnd, 1);
  EXPECT_EQ(commClosed, 1);
  EXPECT_EQ(g->roundRunning, 0u);
  EXPECT_EQ(GolfState.pollTimer, 0u);
}

TEST_F(MessagesTest, TheMachineWhoseTurnItIsNeverPolls) {
  TGame* g = NetGame(0);
  g->roundRunning = 0;
  UseHole(40, 120);
  g->StartHole();
  Pump();
  GolfState.polling = 1;
  for (int i = 0; i < 8; ++i) Advance(15000);
  EXPECT_EQ(SentCount(2, 0x72d), 0);
  EXPECT_EQ(frontEnd, 0);
  EXPECT_NE(GolfState.pollTimer, 0u);
}

TEST_F(MessagesTest, APositionFromTheTurnMachineOverridesADifferentLocalBall) {
  TGame* g = NetGame(1);
  TPlayer* p = g->players->GetPlayer(1);
  p->ball.position = Vector3{1.0f, 2.0f, 3.0f};
  SendGolfMessage(kGolfPosition, MakePositionBlock(1, Vector3{1.0f, 2.0f, 3.0f}, 0));
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "");
  SendGolfMessage(kGolfPosition, MakePositionBlock(1, Vector3{1.5f, 2.0f, 3.0f}, 1));
  EXPECT_EQ(GetGolfStatus(), 0x718u);
  EXPECT_EQ(winapi::testing::TakeDebugOutput(),
            "Position mismatch: Local: x: 1.000000  y: 2.000000  z: 3.000000, Remote: x: 1.500000  y: 2.000000  "
            "z: 3.000000\n");
  EXPECT_FLOAT_EQ(p->ball.position.x, 1.5f);
  EXPECT_EQ(p->ball.Flag(kBallFlagHoled), 1);
  // A block too short for a position is freed and ignored.
  SendGolfMessage(kGolfPosition, reinterpret_cast<intptr_t>(GolfBlockAlloc(3)));
  EXPECT_FLOAT_EQ(p->ball.position.x, 1.5f);
}

TEST_F(MessagesTest, EndOfGameTellsThePeersDiscardsQueuedMessagesAndReturnsToTheFrontEnd) {
  TGame* g = NetGame(0);
  PostGolfMessage(kGolfChat, MakeTextBlock("queued"));
  PostGolfMessage(kGolfShowGolfer);
  SendGolfMessage(kGolfEndGame, 0);
  EXPECT_EQ(SentCount(-1, 0x715), 1);
  EXPECT_EQ(commClosed, 1);
  EXPECT_EQ(frontEnd, 1);
  EXPECT_EQ(g->roundRunning, 0u);
  Pump();
  EXPECT_TRUE(TakeDispatched().empty());
  // A second end finds no round: nothing more happens.
  SendGolfMessage(kGolfEndGame, 0);
  EXPECT_EQ(frontEnd, 1);
}

TEST_F(MessagesTest, AGolferLeavingALocalGameEndsIt) {
  TGame* g = MakeGame(kModeStroke, 2);
  g->roundRunning = 1;
  SendGolfMessage(kGolfLeave, 1);
  Pump();
  EXPECT_EQ(frontEnd, 1);
}

TEST_F(MessagesTest, ShotClockViolationsWarnThenPenaliseThenDisqualify) {
  TGame* g = NetGame(0);
  for (int count = 1; count <= 5; ++count) {
    SendGolfMessage(kGolfClockViolation, 1);
    ASSERT_EQ(messages.size(), static_cast<size_t>(count));
    EXPECT_EQ(messages.back().first.rfind("Golfer 2 exceeded the time limit for this shot", 0), 0u);
    EXPECT_EQ(messages.back().second, 10000u);
    // One penalty stroke at the third, two more at the fourth, as on the machine whose golfer ran out of time.
    EXPECT_EQ(Strokes(g, 1, 0, 0), count < 3 ? 0u : count == 3 ? 1u : 3u) << count;
  }
}

TEST_F(MessagesTest, AConcessionNamesTheGolfer) {
  NetGame(0);
  SendGolfMessage(kGolfConceded, 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first, "Golfer 2 has conceded.");
  EXPECT_EQ(messages[0].second, 5000u);
}

TEST_F(MessagesTest, TheLastGolferLeavingANetGameEndsItAtOnce) {
  TGame* g = NetGame(0);
  g->players->GetPlayer(0)->flags |= 0x80;  // this machine's golfer is already gone
  SendGolfMessage(kGolfDropped, 1);
  EXPECT_EQ(GolfState.handshakesStopped, 1u);
  EXPECT_EQ(frontEnd, 1);
  // Dropping this machine's own golfer is ignored.
  DeleteCurrentGame();
  TGame* h = NetGame(0);
  SendGolfMessage(kGolfDropped, 0);
  EXPECT_FALSE(h->players->GetPlayer(0)->flags & 0x80);
}

TEST_F(MessagesTest, AGolferLeavingDuringTheHoleLoadCompletesTheStep) {
  UseHole(40, 120);
  NetGame(0);
  SendGolfMessage(kGolfLoadHole);
  ASSERT_EQ(GolfState.awaited, static_cast<uint32_t>(kGolfLoadHole));
  ASSERT_EQ(GolfState.allAcknowledged, 0u);
  TakeDispatched();
  // Machine 2 never acknowledged the load; once its golfer is gone nobody is left to wait for.
  SendGolfMessage(kGolfLeave, 1);
  EXPECT_EQ(GolfState.allAcknowledged, 1u);
  EXPECT_EQ(GolfState.handshakeTimer, 0u);
  EXPECT_EQ(SentCount(-1, kGolfShotSetUp), 1);
  Pump();
  const std::vector<uint32_t> dispatched = TakeDispatched();
  ASSERT_FALSE(dispatched.empty());
  EXPECT_EQ(dispatched[0], static_cast<uint32_t>(kGolfShotSetUp));
}

TEST_F(MessagesTest, AGolferWhoLeftDoesNotOpenTheNextHole) {
  TGame* g = MakeGame(kModeStroke, 3);
  g->SetNetworkGame(1);
  g->roundRunning = 1;
  // The leaver has the fewest strokes, so the play order puts it first.
  g->players->GetPlayer(0)->flags |= kGolferGone;
  const uint16_t order[4] = {0, 2, 1, 3};
  std::copy(order, order + 4, g->state.playOrder[0]);
  g->state.currentPlayer = 0;
  EXPECT_EQ(g->AdvanceHole(), 1);
  EXPECT_EQ(g->state.currentPlayer, 2u);
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

class FlowTest : public RulesTest {};

TEST_F(FlowTest, SimpleLinksOfTheChain) {
  struct Case {
    uint32_t id;
    intptr_t arg;
    std::vector<uint32_t> next;
  };
  const Case cases[] = {
      {0x70b, 0, {0x70b, 0x70a, 0x70c, 0x70d}},
      {0x71c, 0, {0x71c, 0x712}},
      {0x723, 0, {0x723, 0x724}},
      {0x70e, 0, {0x70e, 0x715}},
  };
  for (const Case& c : cases) {
    DeleteCurrentGame();
    ResetGolfHandler();
    TGame* g = MakeGame(kModeStroke, 2);
    g->roundRunning = 1;
    g->pinPosition = Vector3{0.0f, 100.0f, 0.0f};
    PostGolfMessage(c.id, c.arg);
    Pump(c.next.size());
    EXPECT_EQ(TakeDispatched(), c.next) << std::hex << c.id;
    Pump();
    TakeDispatched();
  }
  EXPECT_EQ(frontEnd, 1);  // from 0x70e
}

TEST_F(FlowTest, AGolferLeavingTheHoleHandsTheTurnOn) {
  TGame* g = MakeGame(kModeStroke, 2);
  g->roundRunning = 1;
  g->pinPosition = Vector3{0.0f, 100.0f, 0.0f};
  g->SetCurrentPlayer(0);
  SetStrokes(g, 0, 3, false);
  SetStrokes(g, 1, 2, false);
  g->players->GetPlayer(1)->ball.position = Vector3{0.0f, 90.0f, 0.0f};
  SendGolfMessage(kGolfLeaveHole);
  EXPECT_EQ(g->players->GetPlayer(0)->holedOut, 1u);
  EXPECT_EQ(Strokes(g, 0, 0, 0), 3u);
  EXPECT_EQ(g->state.currentPlayer, 1);
  Pump(1);
  EXPECT_EQ(TakeDispatched(), std::vector<uint32_t>{0x713});
}

TEST_F(FlowTest, TheHoleSeedIsDrawnLocallyOrSentByTheTurnMachine) {
  TGame* g = MakeGame(kModeStroke, 1);
  g->roundRunning = 1;
  SendGolfMessage(kGolfHoleStart);
  EXPECT_LT(g->view->seed, 65536u);
  EXPECT_TRUE(sent.empty());
  g->SetNetworkGame(1);
  SendGolfMessage(kGolfHoleStart);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].id, 0x729u);
  EXPECT_EQ(sent[0].argument, g->view->seed);
  EXPECT_EQ(g->players->GetPlayer(0)->machineId, 1u);
  SendGolfMessage(kGolfSeed, 4321);
  EXPECT_EQ(g->view->seed, 4321u);
}

}  // namespace
}  // namespace rules

namespace rules {
namespace {

TEST_F(FlowTest, ArgumentsThatAreNotBlocksAreNeitherReadNorFreed) {
  TGame* g = MakeGame(kModeStroke, 2);
  g->roundRunning = 1;
  std::vector<uintptr_t> seen;
  fakes.remoteHandler = [&](uint32_t, void* b) { seen.push_back(reinterpret_cast<uintptr_t>(b)); };
  fakes.chatLine = [](const std::string& t) { EXPECT_TRUE(t.empty()); };
  int other = 0;
  for (uint32_t id : {0x703u, 0x70fu, 0x711u, 0x716u, 0x718u, 0x71du, 0x71eu, 0x71fu, 0x720u, 0x72eu})
    SendGolfMessage(id, 2);
  SendGolfMessage(kGolfPosition, reinterpret_cast<intptr_t>(&other));
  EXPECT_EQ(seen.size(), 5u);
  EXPECT_EQ(GolfBlockSize(&other), 0u);
  GolfBlockFree(&other);  // not a block: nothing happens
  EXPECT_EQ(GolfBlocksLive(), 0u);
}

}  // namespace
}  // namespace rules

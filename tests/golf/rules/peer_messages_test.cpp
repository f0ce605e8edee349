// Golf messages from other machines, end to end: a comm message as the communication layer delivers it goes to
// the program's queue window, through the comm dispatcher, back to the window as a golf message and into the
// game.
#include <cstring>
#include <limits>
#include <memory>

#include "support/ground.h"
#include "framework/core/commqueue.h"
#include "app/gameapp.h"
#include "framework/core/services.h"
#include "golf/install.h"
#include "golf/peermsg.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

struct Answer {
  uint32_t receiver, code, second;
};
std::vector<Answer> answers;
bool paused = false;

// The golf layer's game provider as the program installs it, with the golf messages it handles noted and a
// switch for the paused game.
class NotingGame : public GameProvider {
 public:
  explicit NotingGame(GameProvider* golf) : golf_(golf) {}
  const char* Name() const override { return "noting golf"; }
  bool GameExists() override { return golf_->GameExists(); }
  bool GamePaused() override { return paused; }
  void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (message == kGolfWindowMessage) Dispatched().push_back(static_cast<uint32_t>(wParam));
    golf_->HandleMessage(message, wParam, lParam);
  }
  intptr_t PeerArgument(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes, intptr_t plain) override {
    return golf_->PeerArgument(id, sender, body, bytes, plain);
  }
  void ReleasePeerArgument(intptr_t argument) override { golf_->ReleasePeerArgument(argument); }

 private:
  GameProvider* golf_;
};

class PeerTest : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    DestroyWindow(GolfMainWindow);
    WNDCLASSA cls{};
    cls.lpfnWndProc = QueueWindowProc;
    cls.lpszClassName = "PeerQueue";
    RegisterClassA(&cls);
    GolfMainWindow = CreateWindowExA(0, "PeerQueue", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(GolfMainWindow, nullptr);
    CommQueueWindow = GolfMainWindow;
    CommState = 6;
    // What the game program installs.
    InstallGolfServices();
    game_ = std::make_unique<NotingGame>(Svc().game);
    Services providers = fakes.Installed();
    providers.game = game_.get();
    InstallServices(providers);
    answers.clear();
    paused = false;
    fakes.sessionSend = [](uint32_t r, uint32_t c, uint32_t s) { answers.push_back({r, c, s}); };
  }
  void TearDown() override {
    RulesTest::TearDown();
    CommState = 0;
    CommQueueWindow = nullptr;
  }

  std::unique_ptr<NotingGame> game_;

  // A networked stroke game: slot 0 on this machine (1), slot 1 on machine 2.
  TGame* NetGame(int local, int current) {
    TGame* g = MakeGame(kModeStroke, 2);
    g->SetNetworkGame(1);
    g->localPlayer = static_cast<uint32_t>(local);
    g->players->GetPlayer(0)->machineId = 1;
    g->players->GetPlayer(1)->machineId = 2;
    g->SetCurrentPlayer(current);
    g->roundRunning = 1;
    return g;
  }

  // Posts a peer's message to the queue window as the communication layer does, and handles what follows.
  static void Deliver(uint32_t sender, uint32_t code, const std::vector<uint8_t>& body) {
    const uint32_t length = 12 + static_cast<uint32_t>(body.size());
    uint8_t* m = CommMessageAlloc(length);
    const uint32_t words[3] = {sender, 0, code};
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 4; ++k) m[i * 4 + k] = static_cast<uint8_t>(words[i] >> (8 * k));
    std::copy(body.begin(), body.end(), m + 12);
    PostMessageA(CommQueueWindow, WM_COMM_MESSAGE, length, reinterpret_cast<LPARAM>(m));
  }
  static std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> out;
    for (uint32_t w : words)
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(w >> (8 * k)));
    return out;
  }
  static std::vector<uint8_t> Position(uint32_t golfer, const Vector3& at, uint8_t holed) {
    auto bits = [](float f) {
      uint32_t u;
      std::memcpy(&u, &f, sizeof u);
      return u;
    };
    std::vector<uint8_t> out = Words({golfer, bits(at.x), bits(at.y), bits(at.z)});
    out.push_back(holed);
    return out;
  }
  int SentCount(int machine, uint32_t id) const {
    int n = 0;
    for (const Sent& s : sent) n += s.machine == machine && s.id == id ? 1 : 0;
    return n;
  }
};

TEST_F(PeerTest, AnAcknowledgementFromTheOtherMachineCompletesTheStep) {
  NetGame(0, 0);
  SendGolfMessage(kGolfBeforeShot);
  ASSERT_EQ(GolfState.awaited, 0x70au);
  Advance(3000);
  EXPECT_EQ(SentCount(2, 0x70a), 1);
  TakeDispatched();
  // An acknowledgement of an older step only clears the retry counter of the sender's golfer.
  Deliver(2, 0x716, Words({0x707}));
  Pump();
  EXPECT_EQ(CurrentGame()->players->GetPlayer(1)->retries, 0u);
  EXPECT_EQ(GolfState.allAcknowledged, 0u);
  Deliver(2, 0x716, Words({0x70a}));
  Pump();
  EXPECT_EQ(GolfState.allAcknowledged, 1u);
  const std::vector<uint32_t> next = {0x716, 0x716, 0x70c, 0x70d};
  EXPECT_EQ(TakeDispatched(), next);
  // The step is over: nothing more is re-sent.
  Advance(30000);
  EXPECT_EQ(SentCount(2, 0x70a), 1);
}

TEST_F(PeerTest, MessagesFromMachinesThatPlayNoGolferOrTooShortAreDroppedWithoutLeaks) {
  NetGame(0, 0);
  SendGolfMessage(kGolfBeforeShot);
  Deliver(7, 0x716, Words({0x70a}));  // nobody plays on machine 7
  Deliver(2, 0x716, {0x0a, 0x07});    // too short for the status
  Deliver(2, 0x718, {1, 2, 3});       // too short for a position
  Deliver(2, 0x70F, Words({1, 2}));   // too short for shot settings
  Pump();
  EXPECT_EQ(GolfState.allAcknowledged, 0u);
  EXPECT_EQ(GetGolfStatus(), 0x70au);
  EXPECT_EQ(GolfBlocksLive(), 0u);
}

TEST_F(PeerTest, ARemoteGolfersShotIsPlayedHereAsOnItsMachine) {
  ASSERT_TRUE(balltest::makeGround(60, 200, 0x10));
  // This machine plays golfer 1; golfer 0, on machine 2 here, has the turn.
  TGame* g = NetGame(1, 0);
  g->players->GetPlayer(0)->machineId = 2;
  g->players->GetPlayer(1)->machineId = 1;
  TPlayer* remote = g->players->GetPlayer(0);
  PlaceBallAt(remote, Vector3{0.0f, -80.0f, 0.0f});
  ShotSetUpBlock shot;
  shot.golfer = 0;
  shot.club = 9;
  shot.position = Vector3{0.0f, -80.0f, 0.0f};
  shot.power = 0.8f;
  shot.curve = 12.0f;
  shot.aim = Vector3{0.0f, 40.0f, 0.0f};
  uint8_t wire[kShotSetUpWireBytes];
  WriteShotSetUp(shot, wire);
  Deliver(2, 0x70F, std::vector<uint8_t>(wire, wire + sizeof wire));
  Pump(2);  // the comm message, then its golf message
  EXPECT_EQ(GetGolfStatus(), 0x70fu);
  EXPECT_EQ(GolfState.polling, 1u);
  EXPECT_EQ(remote->currentClub, 9);
  EXPECT_EQ(Strokes(g, 0, 0, 0), 1u);
  EXPECT_GT(remote->ball.position.y, -40.0f);
  const Vector3 landed = remote->ball.position;
  Pump();

  // The turn machine's position check: a ball that differs here takes the turn machine's place, and the
  // shot is finished.
  const Vector3 there{landed.x + 1.0f, landed.y, landed.z};
  TakeDispatched();
  Deliver(2, 0x718, Position(0, there, 1));
  Pump(2);
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Position mismatch"), std::string::npos);
  EXPECT_EQ(remote->ball.position.x, there.x);
  EXPECT_EQ(remote->ball.Flag(kBallFlagHoled), 1);
  Pump(1);
  const std::vector<uint32_t> handled = {0x718, 0x712};
  EXPECT_EQ(TakeDispatched(), handled);
}

TEST_F(PeerTest, ChatAndConcessionsNameWhatTheirSenderSent) {
  NetGame(0, 1);
  std::vector<std::string> chat;
  std::vector<std::pair<uint32_t, bool>> remoteCalls;
  fakes.chatLine = [&](const std::string& t) { chat.push_back(t); };
  fakes.remoteHandler = [&](uint32_t id, void* block) { remoteCalls.emplace_back(id, block != nullptr); };
  Deliver(2, 0x703, {'f', 'o', 'r', 'e'});  // the text needs no terminator
  Deliver(2, 0x730, {});
  Pump();
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0], "fore");
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().first, "Golfer 2 has conceded.");
  ASSERT_EQ(remoteCalls.size(), 1u);
  EXPECT_EQ(remoteCalls[0].first, 0x730u);
}

TEST_F(PeerTest, ALostConnectionTakesOutTheGolferOfThatMachine) {
  TGame* g = NetGame(0, 1);
  // The comm layer's own message: the connection to machine 2 was lost.
  Deliver(0, 0x140c, Words({2}));
  Pump();
  EXPECT_TRUE(g->players->GetPlayer(1)->flags & 0x80);
  EXPECT_FALSE(g->players->GetPlayer(0)->flags & 0x80);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().first, "Golfer 2 has left the game");
}

TEST_F(PeerTest, AStepFromAMachineWithoutTheTurnChangesNothing) {
  // Three machines; golfer 1 on machine 2 has left. A step it sent before it went, or one from a machine whose
  // golfer does not have the turn, arrives late; only the turn machine's own step is taken.
  struct Case {
    int current;      // slot with the turn
    uint32_t sender;  // machine of the step
    uint32_t id;
    bool taken;
  };
  const Case cases[] = {
      {0, 2, kGolfBallStopped, false}, {2, 2, kGolfBallStopped, false}, {1, 2, kGolfBallStopped, false},
      {0, 3, kGolfBallStopped, false}, {0, 2, kGolfBeforeShot, false},  {2, 2, kGolfAfterStatus, false},
      {2, 3, kGolfBallStopped, true},  {2, 3, kGolfBeforeShot, true},
  };
  for (const Case& c : cases) {
    DeleteCurrentGame();
    ResetGolfHandler();
    TGame* g = MakeGame(kModeStroke, 3);
    g->SetNetworkGame(1);
    g->localPlayer = 0;
    for (int s = 0; s < 3; ++s) g->players->GetPlayer(s)->machineId = static_cast<uint32_t>(s + 1);
    g->players->GetPlayer(1)->flags |= kGolferGone;
    g->SetCurrentPlayer(c.current);
    g->roundRunning = 1;
    GolfState.status = kGolfShotBegins;
    sent.clear();
    Deliver(c.sender, c.id, {});
    Pump(2);  // the comm message, then its golf message
    const std::vector<uint32_t> handled = {c.id};
    EXPECT_EQ(TakeDispatched(), handled) << std::hex << c.id << " from " << c.sender;
    if (c.taken) {
      EXPECT_EQ(GetGolfStatus(), c.id);
      EXPECT_EQ(SentCount(3, kGolfAck), 1) << std::hex << c.id;
    } else {
      EXPECT_EQ(GetGolfStatus(), static_cast<uint32_t>(kGolfShotBegins)) << std::hex << c.id << " from " << c.sender;
      EXPECT_TRUE(sent.empty()) << std::hex << c.id << " from " << c.sender;
      EXPECT_EQ(GolfState.polling, 0u);
    }
    Pump();
    TakeDispatched();
  }
}

// Forged messages from the other machine of the round (2) or from a machine that plays no golfer (7): each is
// refused and the round goes on as it was, with nothing sent, shown, scored or moved.
TEST_F(PeerTest, ForgedMessagesAreRefusedAndTheRoundGoesOn) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto bits = [](float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
  };
  const auto settings = [](auto change) {
    ShotSetUpBlock shot;
    shot.golfer = 1;
    shot.club = 3;
    shot.power = 0.8f;
    change(shot);
    uint8_t wire[kShotSetUpWireBytes];
    WriteShotSetUp(shot, wire);
    return std::vector<uint8_t>(wire, wire + sizeof wire);
  };
  struct Case {
    const char* what;
    uint32_t sender, code;
    std::vector<uint8_t> body;
    int current;          // slot with the turn (slot 0 plays here on machine 1, slot 1 on machine 2)
    uint32_t status = 0;  // the handler's status when it arrives
  };
  const Case cases[] = {
      {"end request", 2, 0x701, {}, 1},
      {"quit", 2, 0x70E, {}, 1},
      {"round over", 2, 0x714, {}, 1},
      {"end of game from a machine without a golfer", 7, 0x715, Words({0}), 1},
      {"golfer leaves, naming slot 0", 2, 0x702, Words({0}), 1},
      {"hole failed to load where nobody plays", 7, 0x709, Words({7}), 1},
      {"leave the hole", 2, 0x72B, {}, 1},
      {"drop, naming this machine's golfer", 2, 0x72A, Words({0}), 1},
      {"hole start mid-round", 2, 0x705, {}, 1, kGolfShotBegins},
      {"hole load without the turn", 2, 0x707, {}, 0, kGolfShotBegins},
      {"shot finished", 2, 0x712, {}, 1},
      {"next shot", 2, 0x713, {}, 1},
      {"load go-ahead without the turn", 2, 0x708, {}, 0, kGolfLoadHole},
      {"continue without the turn", 2, 0x724, {}, 0, kGolfAfterStatus},
      {"shot begins without the turn", 2, 0x70D, {}, 0, kGolfShotBegins},
      {"clock violation naming slot 0", 2, 0x722, Words({0}), 1},
      {"clock violation naming a slot beyond the four", 2, 0x722, Words({0x70a}), 1},
      {"position at NaN", 2, 0x718, Position(1, Vector3{nan, 0.0f, 0.0f}, 0), 1},
      {"position at 1e30", 2, 0x718, Position(1, Vector3{0.0f, 1e30f, 0.0f}, 0), 1},
      {"position with a holed byte of 7", 2, 0x718, Position(1, Vector3{1.0f, 2.0f, 0.0f}, 7), 1},
      {"position of a golfer without the turn", 2, 0x718, Position(1, Vector3{1.0f, 2.0f, 0.0f}, 0), 0},
      {"position of this machine's golfer", 2, 0x718, Position(0, Vector3{1.0f, 2.0f, 0.0f}, 0), 1},
      {"shot at NaN power", 2, 0x70F, settings([&](ShotSetUpBlock& b) { b.power = nan; }), 1},
      {"shot from 1e30", 2, 0x70F, settings([](ShotSetUpBlock& b) { b.position.x = 1e30f; }), 1},
      {"shot with club 200", 2, 0x70F, settings([](ShotSetUpBlock& b) { b.club = 200; }), 1},
      {"shot of shot type 99", 2, 0x70F, settings([](ShotSetUpBlock& b) { b.shotType = 99; }), 1},
      {"shot with wind condition 9", 2, 0x70F, settings([](ShotSetUpBlock& b) { b.wind = 9; }), 1},
      {"shot for this machine's golfer", 2, 0x70F, settings([](ShotSetUpBlock& b) { b.golfer = 0; }), 0},
      {"seed beyond 16 bits", 2, 0x729, Words({0x10000}), 1},
      {"concession without the turn", 2, 0x730, {}, 0},
      {"after-shot result without the turn", 2, 0x720, {}, 0},
      {"shoot-off spot at 1e30", 2, 0x726, Words({bits(1e30f), 0, 0}), 1},
      {"shoot-off start from the second golfer's machine", 2, 0x725, {}, 1},
      {"handshake block to pass on", 2, 0x717, Words({1, 2, 3}), 1},
      {"set-up exchange during the round", 2, 0x704, Words({1, 2, 3}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteCurrentGame();
    ResetGolfHandler();
    TGame* g = NetGame(0, c.current);
    g->holesStarted = 1;
    g->view->seed = 99;
    GolfState.status = c.status;
    for (int s = 0; s < 2; ++s) PlaceBallAt(g->players->GetPlayer(s), Vector3{0.0f, -10.0f * s, 0.0f});
    sent.clear();
    messages.clear();
    dropped.clear();
    winapi::testing::TakeDebugOutput();
    Deliver(c.sender, c.code, c.body);
    Pump();
    ASSERT_EQ(CurrentGame(), g);
    EXPECT_EQ(g->roundRunning, 1u);
    EXPECT_EQ(frontEnd, 0);
    EXPECT_EQ(commClosed, 0);
    EXPECT_EQ(GetGolfStatus(), c.status);
    EXPECT_EQ(g->state.currentPlayer, c.current);
    EXPECT_EQ(g->view->seed, 99u);
    for (int s = 0; s < 2; ++s) {
      const TPlayer* p = g->players->GetPlayer(s);
      EXPECT_EQ(p->flags & (kGolferGone | kGolferOut), 0u) << s;
      EXPECT_EQ(p->holedOut, 0) << s;
      EXPECT_EQ(Strokes(g, s, 0, 0), 0u) << s;
      EXPECT_EQ(p->ball.position.x, 0.0f) << s;
      EXPECT_EQ(p->ball.position.y, -10.0f * s) << s;
    }
    EXPECT_TRUE(messages.empty()) << messages.front().first;
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(dropped.empty());
    EXPECT_TRUE(answers.empty());
    const std::string said = winapi::testing::TakeDebugOutput();
    EXPECT_TRUE(said.find("refused") != std::string::npos || said.find("Unexpected user message") != std::string::npos ||
                said.find("outside the set-up") != std::string::npos)
        << said;
    EXPECT_EQ(GolfBlocksLive(), 0u);
  }
}

// The same kinds from the machine that may send them are taken.
TEST_F(PeerTest, TheRightMachinesMessagesOfTheSameKindsAreTaken) {
  TGame* g = NetGame(0, 1);
  g->holesStarted = 1;
  // Its own golfer's clock violations count against that golfer.
  Deliver(2, 0x722, Words({1}));
  Deliver(2, 0x729, Words({0xffff}));
  Pump();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].first.rfind("Golfer 2 exceeded the time limit", 0), 0u) << messages[0].first;
  EXPECT_EQ(g->view->seed, 0xffffu);
  // Its hole that failed to load takes its golfer out; its end of the game ends the round here.
  Deliver(2, 0x709, Words({2}));
  Pump();
  EXPECT_TRUE(g->players->GetPlayer(1)->flags & kGolferGone);
  DeleteCurrentGame();
  NetGame(0, 1);
  Deliver(2, 0x715, Words({1}));
  Pump();
  EXPECT_EQ(frontEnd, 1);
}

// A poll is answered once to the machine that polled, never handed round the machines.
TEST_F(PeerTest, APollIsAnsweredToItsSender) {
  NetGame(0, 0);
  Deliver(2, 0x72D, Words({0}));
  Pump();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].receiver, 2u);
  EXPECT_EQ(answers[0].code, 0x72Eu);
  EXPECT_TRUE(sent.empty());
}

// A chat body far beyond its record shows one line cut to the chat box.
TEST_F(PeerTest, AnOversizedChatLineIsCutToItsRecord) {
  NetGame(0, 1);
  std::vector<std::string> chat;
  fakes.chatLine = [&](const std::string& t) { chat.push_back(t); };
  Deliver(2, 0x703, std::vector<uint8_t>(100000, 'x'));
  Pump();
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_LE(chat[0].size(), kChatLineLimit);
}

TEST_F(PeerTest, AHandshakeWhilePausedIsAnsweredAtOnce) {
  NetGame(0, 0);
  paused = true;
  Deliver(2, 0x717, Words({0x70a}));
  Pump();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].receiver, 2u);
  EXPECT_EQ(answers[0].code, 0x716u);
  EXPECT_EQ(answers[0].second, 0x72Fu);
  // Without a comm thread to hand it back later, the message is freed.
  EXPECT_TRUE(TakeDispatched().empty());
}

TEST(PeerArgumentTest, BodiesBecomeTheRecordsTheHandlerReads) {
  ASSERT_EQ(CreateGame(kModeStroke), 1);
  TGame* g = CurrentGame();
  g->SetNetworkGame(1);
  g->SetCurrentPlayer(1);
  g->players->GetPlayer(1)->machineId = 5;
  g->players->GetPlayer(1)->flags |= kGolferTakesPart;
  // What the round reads once the message is admitted.
  const auto admitted = [&](uint32_t id, intptr_t argument) {
    EXPECT_NE(argument, kPeerArgumentRefused);
    EXPECT_EQ(AdmitPeerMessage(*g, id, &argument), PeerAdmission::kPeer);
    return argument;
  };
  const uint8_t status[4] = {0x0a, 0x07, 0, 0};
  void* ack = reinterpret_cast<void*>(admitted(kGolfAck, GolfArgumentFromPeer(kGolfAck, 5, status, 4)));
  ASSERT_EQ(GolfBlockSize(ack), sizeof(AckBlock));
  EXPECT_EQ(static_cast<AckBlock*>(ack)->golfer, 1u);
  EXPECT_EQ(static_cast<AckBlock*>(ack)->status, 0x70au);
  EXPECT_EQ(GolfBlockSender(ack), 0u);  // admitted once
  GolfBlockFree(ack);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfAck, 5, status, 3), kPeerArgumentRefused);
  EXPECT_EQ(admitted(kGolfConceded, GolfArgumentFromPeer(kGolfConceded, 5, nullptr, 0)), 1);
  const uint8_t slot1[4] = {1, 0, 0, 0};
  EXPECT_EQ(admitted(kGolfClockViolation, GolfArgumentFromPeer(kGolfClockViolation, 5, slot1, 4)), 1);
  EXPECT_EQ(admitted(kGolfClockViolation, GolfArgumentFromPeer(kGolfClockViolation, 5, nullptr, 0)), 1);
  // Ids without a record keep the sender; other block ids get the body as it came.
  EXPECT_EQ(admitted(kGolfShotBegins, GolfArgumentFromPeer(kGolfShotBegins, 5, status, 4)), 5);
  void* copy = reinterpret_cast<void*>(admitted(kGolfRemoteResult, GolfArgumentFromPeer(kGolfRemoteResult, 5, status, 3)));
  ASSERT_EQ(GolfBlockSize(copy), 3u);
  EXPECT_EQ(std::memcmp(copy, status, 3), 0);
  GolfBlockFree(copy);
  // Shot settings come back field for field.
  ShotSetUpBlock shot;
  shot.golfer = 1;
  shot.wind = 2;
  shot.club = 11;
  shot.shotType = 4;
  shot.spin = Vector3{0.5f, -1.25f, 2.0f};
  shot.trajectory = -3.5f;
  shot.aim = Vector3{7.0f, 8.0f, 9.0f};
  uint8_t wire[kShotSetUpWireBytes];
  WriteShotSetUp(shot, wire);
  void* back = reinterpret_cast<void*>(
      admitted(kGolfRemoteSettings, GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, sizeof wire)));
  ASSERT_EQ(GolfBlockSize(back), sizeof(ShotSetUpBlock));
  const auto* b = static_cast<const ShotSetUpBlock*>(back);
  EXPECT_EQ(b->golfer, 1u);
  EXPECT_EQ(b->wind, 2);
  EXPECT_EQ(b->club, 11);
  EXPECT_EQ(b->shotType, 4u);
  EXPECT_EQ(b->spin.y, -1.25f);
  EXPECT_EQ(b->trajectory, -3.5f);
  EXPECT_EQ(b->aim.z, 9.0f);
  EXPECT_EQ(b->windSpeed, kNoWindSpeed);
  GolfBlockFree(back);
  // The wind speed last; a record without it (an earlier machine's) still reads, a shorter one does not.
  shot.windSpeed = 17;
  WriteShotSetUp(shot, wire);
  back = reinterpret_cast<void*>(admitted(kGolfRemoteSettings, GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, sizeof wire)));
  ASSERT_EQ(GolfBlockSize(back), sizeof(ShotSetUpBlock));
  EXPECT_EQ(static_cast<const ShotSetUpBlock*>(back)->windSpeed, 17);
  GolfBlockFree(back);
  back = reinterpret_cast<void*>(admitted(kGolfRemoteSettings, GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, kShotSetUpWireBytesWithoutWind)));
  ASSERT_EQ(GolfBlockSize(back), sizeof(ShotSetUpBlock));
  EXPECT_EQ(static_cast<const ShotSetUpBlock*>(back)->windSpeed, kNoWindSpeed);
  EXPECT_EQ(static_cast<const ShotSetUpBlock*>(back)->aim.z, 9.0f);
  GolfBlockFree(back);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, kShotSetUpWireBytesWithoutWind - 1),
            kPeerArgumentRefused);
  // A wind no gust blows is refused.
  shot.windSpeed = kMaxWindSpeed + 1;
  WriteShotSetUp(shot, wire);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, sizeof wire), kPeerArgumentRefused);
  // A message of this machine passes untouched.
  intptr_t local = 3;
  EXPECT_EQ(AdmitPeerMessage(*g, kGolfClockViolation, &local), PeerAdmission::kLocal);
  EXPECT_EQ(local, 3);
  DeleteCurrentGame();
  EXPECT_EQ(GolfBlocksLive(), 0u);
}

}  // namespace
}  // namespace rules

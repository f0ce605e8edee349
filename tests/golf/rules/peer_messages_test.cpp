// Golf messages from other machines, end to end: a comm message as the communication layer delivers it goes to
// the program's queue window, through the comm dispatcher, back to the window as a golf message and into the
// game.
#include <memory>

#include "support/ground.h"
#include "framework/core/commqueue.h"
#include "app/gameapp.h"
#include "framework/core/services.h"
#include "golf/install.h"
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
  CurrentGame()->players->GetPlayer(1)->machineId = 5;
  const uint8_t status[4] = {0x0a, 0x07, 0, 0};
  void* ack = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfAck, 5, status, 4));
  ASSERT_EQ(GolfBlockSize(ack), sizeof(AckBlock));
  EXPECT_EQ(static_cast<AckBlock*>(ack)->golfer, 1u);
  EXPECT_EQ(static_cast<AckBlock*>(ack)->status, 0x70au);
  GolfBlockFree(ack);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfAck, 5, status, 3), 0);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfConceded, 5, nullptr, 0), 1);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfClockViolation, 5, status, 4), 0x70a);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfClockViolation, 5, nullptr, 0), 1);
  // Ids without a block keep the sender; other block ids get the body as it came.
  EXPECT_EQ(GolfArgumentFromPeer(kGolfShotBegins, 5, status, 4), 5);
  void* copy = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteResult, 5, status, 3));
  ASSERT_EQ(GolfBlockSize(copy), 3u);
  EXPECT_EQ(std::memcmp(copy, status, 3), 0);
  GolfBlockFree(copy);
  // Shot settings come back field for field.
  ShotSetUpBlock shot;
  shot.golfer = 3;
  shot.wind = 2;
  shot.club = 11;
  shot.shotType = 4;
  shot.spin = Vector3{0.5f, -1.25f, 2.0f};
  shot.trajectory = -3.5f;
  shot.aim = Vector3{7.0f, 8.0f, 9.0f};
  uint8_t wire[kShotSetUpWireBytes];
  WriteShotSetUp(shot, wire);
  void* back = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, sizeof wire));
  ASSERT_EQ(GolfBlockSize(back), sizeof(ShotSetUpBlock));
  const auto* b = static_cast<const ShotSetUpBlock*>(back);
  EXPECT_EQ(b->golfer, 3u);
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
  back = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, sizeof wire));
  ASSERT_EQ(GolfBlockSize(back), sizeof(ShotSetUpBlock));
  EXPECT_EQ(static_cast<const ShotSetUpBlock*>(back)->windSpeed, 17);
  GolfBlockFree(back);
  back = reinterpret_cast<void*>(GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, kShotSetUpWireBytesWithoutWind));
  ASSERT_EQ(GolfBlockSize(back), sizeof(ShotSetUpBlock));
  EXPECT_EQ(static_cast<const ShotSetUpBlock*>(back)->windSpeed, kNoWindSpeed);
  EXPECT_EQ(static_cast<const ShotSetUpBlock*>(back)->aim.z, 9.0f);
  GolfBlockFree(back);
  EXPECT_EQ(GolfArgumentFromPeer(kGolfRemoteSettings, 5, wire, kShotSetUpWireBytesWithoutWind - 1), 0);
  DeleteCurrentGame();
  EXPECT_EQ(GolfBlocksLive(), 0u);
}

}  // namespace
}  // namespace rules

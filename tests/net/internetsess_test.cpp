// The online lobby: session managers of the comm layer against our own lobby server on 127.0.0.1 (the port map
// sends the server's port there): log-in, rooms, a game advertised and listed, chat, joins with and without an
// account, and a server that closes or is not there.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/des.h"
#include "lobby.h"
#include "net/internetsess.h"
#include "net/onlineidentity.h"
#include "net/sockcomm.h"
#include "net_fixture.h"
#include "winsock.h"

namespace {

namespace ws = winsock;
using nettest::WaitUntil;

struct Note {
  uint32_t code;
  uintptr_t value;
};

// A machine in the lobby: its comm object, its session manager and the notifications it has had.
struct Machine {
  net::CSockComm comm{ws::AF_INET, 0};
  net::CInternetSessMgr lobby{&comm};
  std::vector<Note> notes;

  ~Machine() {
    lobby.Shutdown();
    Drain();
    for (const Note& n : notes) Free(n);
  }
  static void Free(const Note& n) {
    if (n.code != net::kNotifySessionStatus && n.code != net::kNotifyLoginAccepted &&
        n.code != net::kNotifySessionListComplete)
      CommMessageFree(reinterpret_cast<uint8_t*>(n.value));
  }
  void Drain() {
    uint32_t code, length;
    uintptr_t value;
    while (comm.TakeNotification(&code, &value, &length)) notes.push_back({code, value});
  }
  // Waits for a notification of the code (and value, when given); true when it came.
  bool Await(uint32_t code, int64_t value = -1) {
    return WaitUntil([&] {
      Drain();
      for (const Note& n : notes)
        if (n.code == code && (value < 0 || n.value == static_cast<uintptr_t>(value))) return true;
      return false;
    });
  }
  std::string Text(uint32_t code) {
    Drain();
    for (const Note& n : notes)
      if (n.code == code) return reinterpret_cast<const char*>(n.value);
    return {};
  }
  const uint8_t* Message(uint32_t code) {
    Drain();
    for (const Note& n : notes)
      if (n.code == code) return reinterpret_cast<const uint8_t*>(n.value);
    return nullptr;
  }
  void Enter(const char* room) {
    net::SessionPlayerRecord record;
    std::strcpy(record.lobbyName(), room);
    lobby.SetLocalPlayer(record);
    lobby.AnnouncePlayer(record);
  }
};

class OnlineLobbyTest : public nettest::NetTest {
 protected:
  void StartServer(std::map<std::string, lobbyd::Account> accounts = {}) {
    lobby_ = std::make_unique<lobbyd::Lobby>(std::move(accounts), "Welcome, golfers.");
    server_ = std::make_unique<lobbyd::LobbyServer>(lobby_.get());
    const uint16_t port = server_->Start(0);
    ASSERT_NE(port, 0);
    winapi::winsock::MapPort(net::kGameServerPort, port);
    ASSERT_TRUE(net::SetGameServerHost("127.0.0.1"));
  }
  void TearDown() override {
    if (server_) server_->Stop();
    winapi::winsock::MapPort(net::kGameServerPort, 0);
    net::SetGameServerHost("");
    nettest::NetTest::TearDown();
  }
  static void LogIn(Machine& m) {
    ASSERT_EQ(m.lobby.Start(), 1);
    ASSERT_TRUE(m.Await(net::kNotifySessionStatus, 0));
    ASSERT_TRUE(m.Await(net::kNotifyLoginAccepted));
  }
  std::unique_ptr<lobbyd::Lobby> lobby_;
  std::unique_ptr<lobbyd::LobbyServer> server_;
};

TEST_F(OnlineLobbyTest, TwoMachinesMeetAGameIsListedChatCrossesAndAJoinIsAccepted) {
  StartServer();
  Machine host, guest, elsewhere;
  LogIn(host);
  LogIn(guest);
  LogIn(elsewhere);
  EXPECT_EQ(host.Text(net::kNotifyOperatorText), "Welcome, golfers.");
  EXPECT_NE(host.lobby.playerId(), guest.lobby.playerId());
  EXPECT_EQ(net::Identity().playerId, elsewhere.lobby.playerId());  // the last log-in's
  host.Enter("SEDGEFEN");
  guest.Enter("SEDGEFEN");
  elsewhere.Enter("GULLROCK");
  ASSERT_TRUE(host.Await(net::kNotifyPlayerAnnounce));  // the guest arrived in the host's room
  // The host opens a game; the guest's list shows it, the other room's does not.
  net::SessionEntry game;
  std::strcpy(game.name(), "Ada's round");
  host.lobby.CreateSession(&game);
  ASSERT_TRUE(guest.Await(net::kNotifySessionAdvert));
  guest.lobby.RefreshSessions();
  ASSERT_TRUE(guest.Await(net::kNotifySessionListComplete));
  ASSERT_EQ(guest.lobby.sessions.Count(), 1);
  net::SessionEntry listed;
  ASSERT_TRUE(guest.lobby.sessions.GetEntry(0, &listed));
  EXPECT_STREQ(listed.name(), "Ada's round");
  EXPECT_STREQ(listed.lobbyName(), "SEDGEFEN");
  elsewhere.lobby.RefreshSessions();
  ASSERT_TRUE(elsewhere.Await(net::kNotifySessionListComplete));
  EXPECT_EQ(elsewhere.lobby.sessions.Count(), 0);
  // Chat stays in its room, cut to 80 characters.
  guest.lobby.SendChat((std::string("hello ") + std::string(200, 'x')).c_str());
  ASSERT_TRUE(host.Await(net::kNotifySessionChat));
  const std::string line = host.Text(net::kNotifySessionChat);
  EXPECT_EQ(line.rfind("GOLFER: hello ", 0), 0u) << line;
  EXPECT_EQ(line.size(), std::string("GOLFER: ").size() + 80);
  Sleep(50);
  EXPECT_TRUE(elsewhere.Text(net::kNotifySessionChat).empty());
  // Without accounts every join of a listed game is accepted.
  guest.lobby.JoinSession(listed, "guest", "anything", nullptr);
  ASSERT_TRUE(guest.Await(net::kNotifyJoinReply));
  EXPECT_EQ(ReadLE32(guest.Message(net::kNotifyJoinReply) + 4), 1u);
  // The host leaves: its game goes from the list.
  host.lobby.Shutdown();
  ASSERT_TRUE(WaitUntil([&] { return lobby_ && server_ && server_->messages() > 0 && lobby_->Sessions() == 0; }));
}

TEST_F(OnlineLobbyTest, AWrongPasswordGetsTheServersTextAndTheRightOneIsAccepted) {
  StartServer({{"ada", {"secret", ""}}});
  Machine m;
  LogIn(m);
  m.Enter("SEDGEFEN");
  net::SessionEntry game;
  m.lobby.CreateSession(&game);
  ASSERT_TRUE(WaitUntil([&] { return m.lobby.sessions.Count() == 1; }));
  net::SessionEntry listed;
  ASSERT_TRUE(m.lobby.sessions.GetEntry(0, &listed));
  m.lobby.JoinSession(listed, "ada", "wrong", nullptr);
  ASSERT_TRUE(m.Await(net::kNotifyJoinReply));
  const uint8_t* refused = m.Message(net::kNotifyJoinReply);
  EXPECT_EQ(ReadLE32(refused + 4), 0u);
  EXPECT_STREQ(reinterpret_cast<const char*>(refused + 16), "Unknown login name or wrong password.");
  for (const Note& n : m.notes) Machine::Free(n);
  m.notes.clear();
  m.lobby.JoinSession(listed, "ada", "secret", nullptr);
  ASSERT_TRUE(m.Await(net::kNotifyJoinReply));
  EXPECT_EQ(ReadLE32(m.Message(net::kNotifyJoinReply) + 4), 1u);
}

TEST_F(OnlineLobbyTest, NoServerAndAClosingServerAreTold) {
  StartServer();
  {
    Machine m;
    LogIn(m);
    server_->Stop();  // the server goes away: the connection closes
    EXPECT_TRUE(m.Await(net::kNotifySessionStatus, 3));
    EXPECT_EQ(m.lobby.phase(), net::CInternetSessMgr::kClosed);
  }
  Machine nobody;  // nothing listens on the mapped port any more
  ASSERT_EQ(nobody.lobby.Start(), 1);
  EXPECT_TRUE(nobody.Await(net::kNotifySessionStatus, 1));
  EXPECT_EQ(nobody.lobby.phase(), net::CInternetSessMgr::kFailed);
}

// The lobby may be shut down while the socket window is still inside the socket's notification: the socket stays
// alive until the window has let go of it, and no notification reaches the manager afterwards.
TEST_F(OnlineLobbyTest, ShuttingDownDuringTheSocketsNotificationLeavesTheSocketToTheWindow) {
  struct HeldComm : net::CSockComm {
    HeldComm() : net::CSockComm(ws::AF_INET, 0) {}
    HANDLE QueueLock() const { return queue_.mutex; }
  };
  winapi::winsock::MapPort(net::kGameServerPort, 1);  // nothing listens there: the connect fails
  ASSERT_TRUE(net::SetGameServerHost("127.0.0.1"));
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    HeldComm comm;
    auto lobby = std::make_unique<net::CInternetSessMgr>(&comm);
    // The failed connect's notification stops in the queue of notifications while this thread holds its lock.
    ASSERT_EQ(WaitForSingleObject(comm.QueueLock(), INFINITE), WAIT_OBJECT_0);
    ASSERT_EQ(lobby->Start(), 1);
    ASSERT_TRUE(WaitUntil([&] { return lobby->phase() == net::CInternetSessMgr::kFailed; }));
    std::thread closer([&] { lobby.reset(); });
    // Gives the closer time to get ahead of the notification (a closer that frees the socket at once is caught).
    Sleep(100);
    ReleaseMutex(comm.QueueLock());
    closer.join();
    uint32_t code = 0, length = 0;
    uintptr_t value = 0;
    ASSERT_EQ(comm.TakeNotification(&code, &value, &length), 1);
    EXPECT_EQ(code, net::kNotifySessionStatus);
    EXPECT_EQ(value, 1u);
  }
  EXPECT_EQ(winapi::winsock::OpenSocketCount(), 0);
}

// Server messages whose counts or lengths run past what was received are dropped, never read.
TEST(OnlineLobbyMessages, CountsAndLengthsAreCheckedAgainstTheMessage) {
  net::CSockComm comm(ws::AF_INET, 0);
  net::CInternetSessMgr lobby(&comm);
  auto deliver = [&](std::vector<uint8_t> bytes) {
    uint8_t* m = CommMessageAlloc(static_cast<uint32_t>(bytes.size()));
    std::memcpy(m, bytes.data(), bytes.size());
    lobby.HandleServerMessage(m, static_cast<uint32_t>(bytes.size()));
  };
  std::vector<uint8_t> list(16 + 204);
  WriteLE32(list.data(), net::kServerSessionList);
  WriteLE32(list.data() + 8, 3);
  list[14] = 2;  // two entries claimed, one sent
  deliver(list);
  list[14] = 1;
  deliver(list);
  std::vector<uint8_t> chat(12);
  WriteLE32(chat.data(), net::kServerChat);
  WriteLE32(chat.data() + 4, 1000);  // longer than the message
  deliver(chat);
  std::vector<uint8_t> refusal(20, 'x');
  WriteLE32(refusal.data(), net::kServerJoinReply);
  WriteLE32(refusal.data() + 4, 0);  // refused, its text not ended
  deliver(refusal);
  uint32_t code, length;
  uintptr_t value;
  std::vector<uint32_t> codes;
  while (comm.TakeNotification(&code, &value, &length)) {
    codes.push_back(code);
    if (code != net::kNotifySessionListComplete) CommMessageFree(reinterpret_cast<uint8_t*>(value));
  }
  EXPECT_EQ(codes, std::vector<uint32_t>{net::kNotifySessionListComplete});
  EXPECT_EQ(lobby.sessions.Count(), 1);
}

}  // namespace

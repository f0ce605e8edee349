#include <cstring>

#include "group_fixture.h"
#include "net/sessmgr.h"

using namespace nettest;
namespace ws = winsock;

namespace {

std::vector<uint8_t> Cut(std::vector<uint8_t> m, size_t bytes) {
  m.resize(m.size() - bytes);
  return m;
}

// A LAN lobby fed datagrams by hand; notifications land in its comm object's queue.
class LobbyTest : public ::testing::Test {
 protected:
  LobbyTest() : comm(ws::AF_INET, 1), lobby(&comm) {}
  ~LobbyTest() override {
    uint32_t code, length;
    uintptr_t value;
    while (comm.TakeNotification(&code, &value, &length))
      if (code != net::kNotifySessionStatus) CommMessageFree(reinterpret_cast<uint8_t*>(value));
  }
  static net::SessionPlayerRecord Record(const char* lobbyName) {
    net::SessionPlayerRecord r;
    std::strncpy(r.lobbyName(), lobbyName, 31);
    return r;
  }
  static std::vector<uint8_t> From(uint32_t host, uint16_t port = net::kLanPort) {
    ws::sockaddr_in a{};
    a.sin_family = ws::AF_INET;
    a.sin_port = ws::htons(port);
    a.sin_addr.s_addr = ws::htonl(host);
    std::vector<uint8_t> v(16);
    std::memcpy(v.data(), &a, 16);
    return v;
  }
  void Feed(const std::vector<uint8_t>& m, const std::vector<uint8_t>& from) {
    uint8_t* copy = CommMessageAlloc(static_cast<uint32_t>(m.size()));
    std::memcpy(copy, m.data(), m.size());
    lobby.HandleDatagram(copy, static_cast<uint32_t>(m.size()), from.data());
  }
  static std::vector<uint8_t> Advert(uint32_t id, const char* lobbyName, uint16_t port, uint32_t open = 1) {
    std::vector<uint8_t> m(net::kSessionAdvertSize, 0);
    WriteLE32(m.data(), net::kSessionAdvert);
    WriteLE32(m.data() + 8, open);
    WriteLE32(m.data() + 12, id);
    std::strncpy(reinterpret_cast<char*>(m.data() + 12 + 52), lobbyName, 31);
    m[12 + 84] = 2;
    m[12 + 86] = static_cast<uint8_t>(port >> 8);
    m[12 + 87] = static_cast<uint8_t>(port);
    return m;
  }
  static std::vector<uint8_t> Announce(const char* lobbyName, uint32_t answer, uint32_t length = net::kPlayerAnnounceSize) {
    std::vector<uint8_t> m(length, 0);
    WriteLE32(m.data(), net::kPlayerAnnounce);
    if (length >= 16) {
      WriteLE32(m.data() + 8, 1);
      WriteLE32(m.data() + 12, answer);
    }
    if (length >= net::kPlayerAnnounceSize) std::strncpy(reinterpret_cast<char*>(m.data() + 50), lobbyName, 31);
    return m;
  }
  static std::vector<uint8_t> Chat(const char* lobbyName, uint32_t n, size_t textBytes) {
    std::vector<uint8_t> m(net::kLanChatHeader + textBytes, 'x');
    WriteLE32(m.data(), net::kLanChat);
    std::memset(m.data() + 4, 0, 40);
    std::strncpy(reinterpret_cast<char*>(m.data() + 12), lobbyName, 31);
    WriteLE32(m.data() + 44, n);
    return m;
  }
  std::vector<Note> Take() {
    std::vector<Note> out;
    uint32_t code, length;
    uintptr_t value;
    while (comm.TakeNotification(&code, &value, &length)) out.push_back({code, value});
    return out;
  }
  static void Free(std::vector<Note>& notes) {
    for (Note& n : notes) CommMessageFree(reinterpret_cast<uint8_t*>(n.value));
  }

  net::CSockComm comm;
  net::CUDPSessMgr lobby;
};

TEST_F(LobbyTest, AnAdvertReplacesTheEntryOfItsSessionAndTheListHoldsThreeHundred) {
  lobby.SetLocalPlayer(Record("SEDGEFEN"));
  Feed(Advert(0x7f000002, "SEDGEFEN", 4000), From(0x7f000002));
  Feed(Advert(0x7f000002, "SEDGEFEN", 4100), From(0x7f000002));  // the same host's new game
  ASSERT_EQ(lobby.sessions.Count(), 1);
  net::SessionEntry e;
  ASSERT_TRUE(lobby.sessions.FindById(0x7f000002, &e));
  EXPECT_EQ(e.hostAddress()[2] << 8 | e.hostAddress()[3], 4100);
  EXPECT_EQ(ReadLE32(e.hostAddress() + 4), ws::htonl(0x7f000002));  // the source, written by the receiver
  for (uint32_t i = 0; i < 320; ++i) Feed(Advert(0x10000 + i, "SEDGEFEN", 5000), From(0x7f000003));
  EXPECT_EQ(lobby.sessions.Count(), net::kSessionListSize);
  auto notes = Take();
  EXPECT_EQ(notes.size(), 322u);
  Free(notes);
  // A new local record empties the list.
  lobby.SetLocalPlayer(Record("SEDGEFEN"));
  EXPECT_EQ(lobby.sessions.Count(), 0);
}

TEST_F(LobbyTest, MachinesOfOtherLobbiesStayApart) {
  lobby.AnnouncePlayer(Record("SEDGEFEN"));
  auto own = Take();
  ASSERT_EQ(own.size(), 1u);  // the machine lists itself
  EXPECT_EQ(own[0].code, net::kNotifyPlayerAnnounce);
  Free(own);
  const struct {
    const char* what;
    std::vector<uint8_t> message;
    int notes;
    uint32_t present;
  } cases[] = {
      {"same lobby", Announce("SEDGEFEN", 1), 1, 1},
      {"other lobby, answer asked: listed as leaving", Announce("MOORS", 1), 1, 0},
      {"other lobby, no answer asked", Announce("MOORS", 0), 0, 0},
      {"advert of another lobby", Advert(0x7f000002, "MOORS", 4000), 0, 0},
      {"chat of another lobby", Chat("MOORS", 5, 5), 0, 0},
      {"short announce", Announce("SEDGEFEN", 1, net::kPlayerAnnounceSize - 1), 0, 0},
      {"short advert", Cut(Advert(0x7f000002, "SEDGEFEN", 1), 1), 0, 0},
      {"chat longer than eighty", Chat("SEDGEFEN", 81, 81), 0, 0},
      {"chat longer than its datagram", Chat("SEDGEFEN", 40, 20), 0, 0},
      {"short chat", std::vector<uint8_t>{0x1d, 0, 0, 0}, 0, 0},
      {"unknown code", std::vector<uint8_t>{9, 0, 0, 0, 1}, 0, 0},
      {"three bytes", std::vector<uint8_t>{0x0e, 0, 0}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Feed(c.message, From(0x7f000002));
    auto notes = Take();
    ASSERT_EQ(notes.size(), static_cast<size_t>(c.notes));
    if (c.notes) {
      const auto* m = reinterpret_cast<const uint8_t*>(notes[0].value);
      EXPECT_EQ(ReadLE32(m + 8), c.present);
      EXPECT_EQ(ReadLE32(m + 16), 0x7f000002u);  // the sender's id
    }
    Free(notes);
  }
  EXPECT_EQ(lobby.sessions.Count(), 0);
  // A chat of the same lobby, cut at its length and terminated.
  Feed(Chat("SEDGEFEN", 80, 80), From(0x7f000002));
  auto notes = Take();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(notes[0].value)), 80u);
  Free(notes);
  // After leaving the lobby, announcements are not heard.
  lobby.RefreshSessions();
  Feed(Announce("SEDGEFEN", 1), From(0x7f000002));
  EXPECT_TRUE(Take().empty());
}

TEST_F(LobbyTest, AHostKeepsFourSlotsAndStillReadvertises) {
  net::SessionEntry e;
  std::strcpy(e.lobbyName(), "SEDGEFEN");
  lobby.CreateSession(&e);
  for (uint32_t id = 1; id <= 5; ++id) {
    net::GolferEntry g;
    g.playerId = id;
    net::SetGolferName(g, "G");
    lobby.AddSessionPlayer(g);
  }
  EXPECT_TRUE(lobby.hosting());
  net::GolferEntry third;
  third.playerId = 3;
  lobby.RemoveSessionPlayer(third);
  lobby.CloseSession();
  EXPECT_FALSE(lobby.hosting());
  auto notes = Take();
  Free(notes);
}

TEST(ClassfulBroadcast, FollowsTheAddressClass) {
  const struct {
    uint32_t address, broadcast;
  } cases[] = {{0x7f000005u, 0x7fffffffu}, {0x0a010203u, 0x0affffffu}, {0xac100001u, 0xac10ffffu},
               {0xc0a80102u, 0xc0a801ffu}, {0xe0000001u, 0xe0000001u}};
  for (const auto& c : cases) EXPECT_EQ(net::ClassfulBroadcast(c.address), c.broadcast);
}

class LobbySocketTest : public NetTest {};

TEST_F(LobbySocketTest, StartsOnTheLanPortAndIgnoresItsOwnBroadcasts) {
  net::CSockComm comm(ws::AF_INET, 1);
  {
    net::CUDPSessMgr lobby(&comm);
    ASSERT_EQ(lobby.Start(), 1);
    EXPECT_EQ(lobby.ownId(), 0x7f000001u);
    lobby.AnnouncePlayer(net::SessionPlayerRecord{});
    lobby.SendChat("hello");
    Sleep(50);
    uint32_t code, length;
    uintptr_t value;
    std::vector<uint32_t> codes;
    while (comm.TakeNotification(&code, &value, &length)) {
      codes.push_back(code);
      if (code != net::kNotifySessionStatus) CommMessageFree(reinterpret_cast<uint8_t*>(value));
    }
    // Ready, itself listed, its own chat shown: nothing came back from the broadcasts.
    EXPECT_EQ(codes, (std::vector<uint32_t>{net::kNotifySessionStatus, net::kNotifyPlayerAnnounce,
                                            net::kNotifySessionChat}));
    lobby.Shutdown();
  }
}

}  // namespace

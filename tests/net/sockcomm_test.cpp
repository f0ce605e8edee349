#include <cstring>

#include "group_fixture.h"

using namespace nettest;
namespace ws = winsock;

namespace {

std::vector<Data> GameData(Peer& p) {
  std::vector<Data> out;
  for (Data& d : p.inbox.Take())
    if (d.bytes.size() == 8 && ReadLE32(d.bytes.data()) != 0x140c) out.push_back(d);
  return out;
}

TEST_F(GroupTest, AGroupOfFourMeshesAndEveryBroadcastReachesEveryone) {
  Form(3);
  for (uint32_t id = 2; id <= 4; ++id) comm(0).SendPlayerReady(id);
  comm(0).SendPeerAddresses();
  ASSERT_NE(peers[0]->Wait(net::kNotifyGroupConnected), nullptr);
  EXPECT_EQ(peers[0]->Count(net::kNotifyGroupConnected), 1u);
  // Every machine has a connection to each of the three others.
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(WaitUntil([&] { return comm(i).UsedSlots() == 3; }));
  }
  comm(2).BroadcastGameWords(0, 0x703, 77);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(WaitUntil([&] { return GameData(*peers[i]).size() == 1; }));
    const Data d = GameData(*peers[i])[0];
    EXPECT_EQ(d.sender, 3u);  // the broadcaster's own copy too
    EXPECT_EQ(d.message, net::kGameDataFromPeer);
    EXPECT_EQ(ReadLE32(d.bytes.data()), 0x703u);
    EXPECT_EQ(ReadLE32(d.bytes.data() + 4), 77u);
  }
  // Player lists: the host lists its ready players and itself.
  comm(0).BuildPlayerList(1);
  ASSERT_EQ(comm(0).GetPlayerCount(), 4);
  EXPECT_EQ(ReadLE32(comm(0).GetPlayerEntry(3)), 1u);
  EXPECT_STREQ(reinterpret_cast<const char*>(comm(0).GetPlayerEntry(0) + 4), "Joiner2");
  // Words to oneself and empty data go nowhere.
  comm(1).SendGameWords(2, 0x703, 1);
  comm(1).BroadcastGameData(0, "x", 0);
  comm(1).SendGameWords(4, 0x704, 9);
  ASSERT_TRUE(WaitUntil([&] { return GameData(*peers[3]).size() == 2; }));
  Sleep(20);
  EXPECT_EQ(GameData(*peers[1]).size(), 1u);
  EXPECT_EQ(GameData(*peers[3])[1].sender, 2u);
}

TEST_F(GroupTest, ChatIsCutToEightyShownLocallyAndRelayedByTheHost) {
  Form(2);
  const std::string text(100, 'c');
  comm(1).SendChatText(text.c_str());
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Note* n = peers[i]->Wait(net::kNotifyChatText);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(n->value)), std::string(80, 'c'));
  }
  Sleep(20);
  EXPECT_EQ(peers[1]->Count(net::kNotifyChatText), 1u);  // not relayed back to its sender
}

TEST_F(GroupTest, TheHostSendsGameDataToReadyPlayersOnlyAndLobbyMessagesToAll) {
  Form(2);
  comm(0).SendPlayerReady(3);
  ASSERT_NE(peers[1]->Wait(net::kNotifyPlayerReady), nullptr);
  ASSERT_NE(peers[2]->Wait(net::kNotifyPlayerReady), nullptr);
  EXPECT_EQ(peers[2]->Wait(net::kNotifyPlayerReady)->value, 3u);
  comm(0).BroadcastGameWords(0, 0x707, 5);
  ASSERT_TRUE(WaitUntil([&] { return GameData(*peers[2]).size() == 1; }));
  Sleep(30);
  EXPECT_TRUE(GameData(*peers[1]).empty());
}

TEST_F(GroupTest, ALeavingJoinerIsReportedAndAClosedHostEndsTheLink) {
  Form(2);
  peers[2].reset();  // player 3 goes
  const Note* left = peers[0]->Wait(net::kNotifyPlayerLeft);
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(net::GetGolfer(reinterpret_cast<const uint8_t*>(left->value)).playerId, 3u);
  ASSERT_TRUE(WaitUntil([&] {
    for (const Data& d : peers[0]->inbox.Take())
      if (d.bytes.size() == 8 && ReadLE32(d.bytes.data()) == 0x140c && ReadLE32(d.bytes.data() + 4) == 3) return true;
    return false;
  }));
  EXPECT_EQ(comm(0).UsedSlots(), 1);
  peers[0].reset();
  const Note* lost = peers[1]->Wait(net::kNotifyHostLinkLost);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(lost->value, 1u);
  EXPECT_EQ(comm(1).SocketCount(), 1);  // its own listener only
}

TEST_F(GroupTest, AHostThatIsNotThereIsReported) {
  peers.push_back(std::make_unique<Peer>("Lonely"));
  uint8_t nowhere[16] = {};
  ws::sockaddr_in a{};
  a.sin_family = ws::AF_INET;
  a.sin_port = ws::htons(1);
  a.sin_addr.s_addr = ws::htonl(0x7f000001u);
  std::memcpy(nowhere, &a, sizeof a);
  ASSERT_EQ(comm(0).JoinHost(nowhere), 1);
  const Note* lost = peers[0]->Wait(net::kNotifyHostLinkLost);
  ASSERT_NE(lost, nullptr);
  EXPECT_EQ(lost->value, 0u);
}

// A raw connection to a host, speaking the frames by hand.
struct Raw {
  RecordingMsgSock* sock = new RecordingMsgSock;
  explicit Raw(const uint8_t* address) {
    EXPECT_EQ(sock->CreateStream(ws::AF_INET, 0), 1);
    EXPECT_EQ(sock->Connect(address), 1);
    EXPECT_TRUE(WaitUntil([&] { return sock->ConnectCount() == 1; }));
  }
  ~Raw() { sock->Release(); }
  void Control(std::vector<uint8_t> m) { sock->SendMessage(net::kFrameControl, static_cast<uint32_t>(m.size()), m.data()); }
  void Join(const char* name) {
    std::vector<uint8_t> m(46, 0);
    WriteLE32(m.data(), net::kJoinRequest);
    std::memcpy(m.data() + 14, name, std::strlen(name));
    Control(m);
  }
};

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, size_t size = 0) {
  std::vector<uint8_t> m(std::max(size, words.size() * 4), 0);
  size_t at = 0;
  for (uint32_t w : words) {
    WriteLE32(m.data() + at, w);
    at += 4;
  }
  return m;
}

TEST_F(GroupTest, TheThirtyThirdJoinerIsClosedWithoutAnAnswer) {
  Form(0);
  std::vector<std::unique_ptr<Raw>> raws;
  for (int i = 0; i < net::kPeerSlots; ++i) {
    SCOPED_TRACE(i);
    raws.push_back(std::make_unique<Raw>(hostAddress));
    raws.back()->Join("R");
    ASSERT_NE(peers[0]->Wait(net::kNotifyPlayerJoined, static_cast<size_t>(i)), nullptr);
  }
  ASSERT_TRUE(WaitUntil([&] { return raws.back()->sock->FrameCount() == 1; }));
  Raw late(hostAddress);
  late.Join("Late");
  ASSERT_TRUE(WaitUntil([&] { return late.sock->CloseCount() == 1; }));
  EXPECT_EQ(late.sock->FrameCount(), 0u);
  EXPECT_EQ(peers[0]->Count(net::kNotifyPlayerJoined), static_cast<size_t>(net::kPeerSlots));
  EXPECT_EQ(comm(0).UsedSlots(), net::kPeerSlots);
}

TEST_F(GroupTest, DamagedAndMisplacedMessagesAreDropped) {
  Form(0);
  Raw raw(hostAddress);
  // Before joining, nothing but a join request counts.
  raw.Control(Words({net::kPlayerReady, 2}, 4));
  raw.Control(Words({net::kJoinRequest}, 45));  // one byte short
  raw.Join("Raw");
  ASSERT_NE(peers[0]->Wait(net::kNotifyPlayerJoined), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return raw.sock->FrameCount() == 1; }));
  const struct {
    const char* what;
    std::vector<uint8_t> message;
  } hostile[] = {
      {"a second join request", Words({net::kJoinRequest}, 46)},
      {"join accepted sent to a host", Words({net::kJoinAccepted, 0}, 60)},
      {"peer addresses sent to a host", Words({net::kPeerAddresses, 1}, 24)},
      {"short ready mark", Words({net::kPlayerReady})},
      {"chat longer than its frame", Words({net::kChatText, 50}, 20)},
      {"chat longer than eighty", Words({net::kChatText, 81}, 8 + 81)},
      {"golfer list longer than its frame", Words({net::kGolferList, 2}, 8 + 26)},
      {"short golfer added", Words({net::kAddGolfer}, 29)},
      {"unknown code", Words({0x55, 1, 2})},
      {"code cut short", std::vector<uint8_t>{0x1a, 0}},
  };
  for (const auto& h : hostile) raw.Control(h.message);
  // Game data whose length runs past its frame.
  const auto bad = Words({0, 100, 0x703, 1}, 20);
  raw.sock->SendMessage(net::kFrameGameData, static_cast<uint32_t>(bad.size()), bad.data());
  // A well-formed message afterwards still arrives, so the connection stayed and the above were dropped.
  raw.Control(Words({net::kPlayerReady, 7}));
  const Note* ready = peers[0]->Wait(net::kNotifyPlayerReady);
  ASSERT_NE(ready, nullptr);
  EXPECT_EQ(ready->value, 7u);
  Sleep(20);
  EXPECT_EQ(peers[0]->Count(net::kNotifyPlayerReady), 1u);
  EXPECT_EQ(peers[0]->Count(net::kNotifyChatText), 0u);
  EXPECT_EQ(peers[0]->Count(net::kNotifyGolferList), 0u);
  EXPECT_EQ(peers[0]->Count(net::kNotifyGolferAdded), 0u);
  EXPECT_EQ(peers[0]->Count(net::kNotifyPlayerJoined), 1u);
  EXPECT_TRUE(peers[0]->inbox.Take().empty());
  EXPECT_EQ(raw.sock->CloseCount(), 0u);
}

TEST_F(GroupTest, ANameThatFillsItsFieldArrivesTerminated) {
  Form(0);
  Raw raw(hostAddress);
  raw.Join("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  const Note* joined = peers[0]->Wait(net::kNotifyPlayerJoined);
  ASSERT_NE(joined, nullptr);
  EXPECT_STREQ(net::GetGolfer(reinterpret_cast<const uint8_t*>(joined->value)).name, "ABCDEFGHIJKLMNO");
  auto list = Words({net::kGolferList, 1}, 8 + 26);
  std::memset(list.data() + 8 + 10, 'Z', 16);
  raw.Control(list);
  const Note* got = peers[0]->Wait(net::kNotifyGolferList);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(got->value) + 18), 15u);
}

}  // namespace

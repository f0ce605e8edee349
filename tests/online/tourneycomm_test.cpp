// The score-server client against our own score server on 127.0.0.1 (the port map sends port 80 there), and the
// reply head's edge cases.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "online/tourneycomm.h"
#include "platformlib/core/byteorder.h"
#include "scorestore.h"
#include "winsock.h"

namespace {

using online::HttpReplyHead;

TEST(HttpReplyHead, ReadsStatusAndLengthAndRefusesWhatCannotBeTrusted) {
  const struct {
    std::string bytes;
    HttpReplyHead::State state;
    int status, length;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\n", HttpReplyHead::State::kDone, 200, 12},
      {"HTTP/1.1 404 Not Found\r\nServer: x\r\nOther: y\r\n\r\n", HttpReplyHead::State::kDone, 404, -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", HttpReplyHead::State::kFailed, 200, -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: lots\r\n\r\n", HttpReplyHead::State::kFailed, 200, -1},
      {"HTTP/x 200\r\n\r\n", HttpReplyHead::State::kFailed, 0, -1},
      {"Server: x\r\n\r\n", HttpReplyHead::State::kFailed, 0, -1},  // no status line
      {"HTTP/1.0 200 OK\r\nX: " + std::string(1030, 'a') + "\r\n\r\n", HttpReplyHead::State::kFailed, 200, -1},
      {"HTTP/1.0 200 OK\r\nX: " + std::string(1010, 'a') + "\r\n\r\n", HttpReplyHead::State::kDone, 200, -1},
      {"HTTP/1.0 200 OK\r\nContent-Length: 7", HttpReplyHead::State::kReading, 200, -1},
  };
  for (const auto& c : cases) {
    HttpReplyHead head;
    for (char b : c.bytes) head.Feed(static_cast<uint8_t>(b));
    EXPECT_EQ(head.state(), c.state) << c.bytes.substr(0, 60);
    EXPECT_EQ(head.status(), c.status) << c.bytes.substr(0, 60);
    if (c.state == HttpReplyHead::State::kDone) {
      EXPECT_EQ(head.contentLength(), c.length) << c.bytes.substr(0, 60);
    }
  }
}

TEST(HttpClient, ArgumentsOutsideWhatItSupportsAreRefused) {
  EXPECT_EQ(online::HttpOpen("", 0, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(online::HttpOpen("VAVODU", 1, nullptr, nullptr, 0), 0u);
  EXPECT_EQ(online::HttpOpen("VAVODU", 0, "proxy", nullptr, 0), 0u);
  const online::HttpHandle s = online::HttpOpen("VAVODU", 0, nullptr, nullptr, 0);
  ASSERT_NE(s, 0u);
  EXPECT_EQ(online::HttpConnect(s, "127.0.0.1", 80, nullptr, nullptr, 1, 0, 0), 0u);      // not HTTP
  EXPECT_EQ(online::HttpConnect(s, "127.0.0.1", 80, "user", nullptr, 3, 0, 0), 0u);       // a user
  EXPECT_EQ(online::HttpConnect(s, "example.invalid", 80, nullptr, nullptr, 3, 0, 0), 0u);  // no such host
  EXPECT_TRUE(online::HttpCloseHandle(s));
  EXPECT_EQ(online::HttpOpenHandles(), 0);
}

class TourneyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint16_t port = server.Start(0);
    ASSERT_NE(port, 0);
    winapi::winsock::MapPort(80, port);
    ASSERT_TRUE(online::SetServiceHost("127.0.0.1"));
    online::Identity() = online::OnlineIdentity{};
    online::Identity().value = 77;
    online::Identity().playerId = 1001;
    std::strcpy(online::Identity().text1, "first");
    std::strcpy(online::Identity().text2, "second");
  }
  void TearDown() override {
    server.Stop();
    winapi::winsock::MapPort(80, 0);
    EXPECT_EQ(online::HttpOpenHandles(), 0);
  }
  // A card for a player: strokes per hole, the others 0.
  static void Post(online::CTourneyComm& comm, uint32_t player, const char* name, std::vector<uint32_t> strokes) {
    online::Identity().playerId = player;
    uint32_t holes[18] = {};
    std::copy(strokes.begin(), strokes.end(), holes);
    comm.BeginScoreCard(name, holes, 5);
    comm.AddScoreCardPlayer(name, holes, 5);
    ASSERT_EQ(comm.PostScoreCard(), 1);
  }
  scored::ScoreStore store;
  scored::ScoreServer server{&store};
};

TEST_F(TourneyTest, PostedCardsMakeTheLeaderBoardAndTheGroup) {
  online::CTourneyComm comm;
  Post(comm, 1001, "Anne^Smith", {4, 5, 3});
  Post(comm, 1002, "Bert", {4, 4, 3});
  Post(comm, 1003, "Cleo", {6, 5});
  online::Identity().playerId = 1001;
  ASSERT_EQ(comm.FetchLeaderBoard(), 1);
  ASSERT_EQ(comm.GetLeaderBoardCount(), 3u);
  // Fewest strokes first (Bert 11 in three holes, Cleo 11 in two: more holes first), then Anne's 12.
  const char* order[] = {"Bert", "Cleo", "Anne"};
  for (uint32_t i = 0; i < 3; ++i) {
    uint8_t e[48] = {};
    comm.GetLeaderBoardEntry(i, e);
    EXPECT_STREQ(reinterpret_cast<const char*>(e), order[i]) << i;
    EXPECT_EQ(ReadLE32(e + 16), std::strcmp(order[i], "Anne") == 0 ? 1u : 0u) << i;  // the local player marked
  }
  uint8_t untouched[48];
  std::memset(untouched, 0xcc, sizeof untouched);
  comm.GetLeaderBoardEntry(3, untouched);
  EXPECT_EQ(untouched[0], 0xcc);
  uint8_t hole[20];
  comm.GetLeaderBoardHole(0, hole);
  EXPECT_EQ(ReadLE32(hole + 4), 3u);   // three golfers played hole 1
  EXPECT_EQ(ReadLE32(hole + 8), 14u);  // 4 + 4 + 6 strokes

  ASSERT_EQ(comm.FetchGroupScores(), 1);
  ASSERT_EQ(comm.GetGroupScoreCount(), 1u);
  uint8_t g[48];
  comm.GetGroupScoreEntry(0, g);
  EXPECT_STREQ(reinterpret_cast<const char*>(g), "Anne^Smith");  // machine's entries keep their names
  EXPECT_EQ(ReadLE32(g + 16), 1u);
}

TEST_F(TourneyTest, StatusShotsAndStatisticsReachTheServer) {
  online::CTourneyComm comm;
  Post(comm, 1001, "Anne", {4});
  EXPECT_EQ(comm.PostPlayerStatus("On hole 2", 3), 1);
  const std::vector<uint8_t> shot(1024, 7);
  EXPECT_EQ(comm.PostPlayerShot(shot.data(), 1024, 1, 2, "drive"), 1);
  const uint64_t served = server.served();
  const std::vector<uint8_t> tooLong(1025, 7);
  EXPECT_EQ(comm.PostPlayerShot(tooLong.data(), 1025, 1, 2, "drive"), 0);
  EXPECT_EQ(server.served(), served);  // nothing was sent
  EXPECT_EQ(store.ShotsOf(1001), 1u);
  EXPECT_EQ(comm.PostStatsLine("VexStats:session=1&start"), 1);
  // A request the server does not know is answered 404: a failure.
  EXPECT_EQ(comm.PostStatsLine("/nothing/here"), 0);
  ASSERT_EQ(comm.FetchLeaderBoard(), 1);
  uint8_t e[48];
  comm.GetLeaderBoardEntry(0, e);
  EXPECT_STREQ(reinterpret_cast<const char*>(e + 28), "On hole 2");
}

TEST(TourneyNoServer, NothingListeningFailsTheRequest) {
  // A port a server left: nobody listens there now.
  scored::ScoreStore store;
  uint16_t port = 0;
  {
    scored::ScoreServer gone(&store);
    port = gone.Start(0);
    ASSERT_NE(port, 0);
  }
  winapi::winsock::MapPort(80, port);
  online::SetServiceHost("127.0.0.1");
  online::CTourneyComm comm;
  EXPECT_EQ(comm.FetchLeaderBoard(), 0);
  EXPECT_EQ(comm.GetLeaderBoardCount(), 0u);
  winapi::winsock::MapPort(80, 0);
}

TEST(ScoreStoreState, WrittenThroughATemporaryFileAndReadBack) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("scored_state_" + std::to_string(getpid()));
  {
    scored::ScoreStore store(file.string());
    std::string card(318, '\0');
    card[4] = 1;
    card[24] = 'Z';
    card[56] = 4;
    WriteLE32(reinterpret_cast<uint8_t*>(card.data()) + 142, 9);
    EXPECT_EQ(store.Handle({"POST", "/isapi/scorlink.dll?UpdateScoreCard", card}).first, 200);
  }
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".tmp"));
  scored::ScoreStore again(file.string());
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.Cards(), 1u);
  std::filesystem::remove(file);
}

TEST(ScoreRequest, RequestsAreReadOnlyWithinBounds) {
  const struct {
    std::string bytes;
    int result;
  } cases[] = {
      {"POST /a HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc\r\n", 1},
      {"POST /a HTTP/1.0\r\nContent-Length: 3\r\n\r\nab", 0},
      {"POST /a HTTP/1.0\r\nContent-Length: -3\r\n\r\nabc", -1},
      {"POST /a HTTP/1.0\r\nContent-Length: 999999\r\n\r\n", -1},
      {"POST /a\r\n\r\n", -1},
      {"POST /a HTTP/1.0\r\nX: " + std::string(2000, 'x') + "\r\n\r\n", -1},
      {std::string(9000, 'x'), -1},
  };
  for (const auto& c : cases) {
    scored::HttpRequest r;
    EXPECT_EQ(scored::ParseRequest(c.bytes, &r), c.result) << c.bytes.substr(0, 50);
  }
}

}  // namespace

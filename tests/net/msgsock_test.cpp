#include <cstring>

#include "net_fixture.h"
#include "platformlib/core/byteorder.h"

using namespace nettest;
namespace ws = winsock;

namespace {

std::vector<uint8_t> Frame(uint32_t type, const std::string& body, uint32_t announced = ~0u) {
  std::vector<uint8_t> f(8 + body.size());
  WriteLE32(f.data(), announced == ~0u ? static_cast<uint32_t>(body.size()) : announced);
  WriteLE32(f.data() + 4, type);
  std::memcpy(f.data() + 8, body.data(), body.size());
  return f;
}

struct Collected {
  std::vector<std::pair<uint32_t, std::string>> frames;
  static void Sink(void* self, uint32_t type, uint8_t* body, uint32_t length) {
    static_cast<Collected*>(self)->frames.emplace_back(type, std::string(reinterpret_cast<char*>(body), length));
    CommMessageFree(body);
  }
};

TEST(FrameReader, FramesSurviveAnyCutOfTheStream) {
  std::vector<uint8_t> stream;
  for (const auto& f : {Frame(1, "hello"), Frame(2, ""), Frame(7, std::string(300, 'x')), Frame(1, "end")})
    stream.insert(stream.end(), f.begin(), f.end());
  // Cuts: the header in two reads, a read holding the end of one frame and all of the next, byte by byte.
  for (size_t step : {size_t{1}, size_t{3}, size_t{7}, size_t{12}, size_t{500}, stream.size()}) {
    SCOPED_TRACE(step);
    net::FrameReader reader;
    Collected got;
    for (size_t at = 0; at < stream.size(); at += step)
      ASSERT_TRUE(reader.Feed(stream.data() + at, std::min(step, stream.size() - at), &Collected::Sink, &got));
    ASSERT_EQ(got.frames.size(), 4u);
    EXPECT_EQ(got.frames[0], std::make_pair(1u, std::string("hello")));
    EXPECT_EQ(got.frames[1], std::make_pair(2u, std::string()));
    EXPECT_EQ(got.frames[2].second.size(), 300u);
    EXPECT_EQ(got.frames[3], std::make_pair(1u, std::string("end")));
  }
}

TEST(FrameReader, AFrameLongerThanAnyGameMessageStopsTheReader) {
  const struct {
    uint32_t announced;
    bool accepted;
  } cases[] = {{net::kLargestFrameBody, true}, {net::kLargestFrameBody + 1, false}, {0xfffffff0u, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.announced);
    net::FrameReader reader;
    Collected got;
    const auto header = Frame(2, "", c.announced);
    EXPECT_EQ(reader.Feed(header.data(), header.size(), &Collected::Sink, &got), c.accepted);
    EXPECT_EQ(reader.failed(), !c.accepted);
    const uint8_t more[4] = {1, 2, 3, 4};
    EXPECT_EQ(reader.Feed(more, sizeof more, &Collected::Sink, &got), c.accepted);
    EXPECT_TRUE(got.frames.empty());
  }
}

class MsgSockTest : public NetTest {};

TEST_F(MsgSockTest, FramesOfEverySizeArriveWholeAndInOrder) {
  ws::sockaddr_in address{};
  Listener* listener = Listen(&address);
  auto* client = new RecordingMsgSock;
  ASSERT_EQ(client->CreateStream(ws::AF_INET, 0), 1);
  ASSERT_EQ(client->Connect(&address), 1);
  RecordingMsgSock* server = listener->Wait(0);
  ASSERT_NE(server, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return client->ConnectCount() == 1; }));
  EXPECT_EQ(client->connectErrors[0], 0);
  EXPECT_EQ(client->state(), net::kSockConnected);

  const uint32_t sizes[] = {0, 8, 16384, 16385, 100000, net::kLargestFrameBody};
  std::vector<std::vector<uint8_t>> bodies;
  for (uint32_t size : sizes) {
    std::vector<uint8_t> body(size);
    for (uint32_t i = 0; i < size; ++i) body[i] = static_cast<uint8_t>(i * 7 + size);
    EXPECT_EQ(client->SendMessage(2, size, body.data()), 1);
    bodies.push_back(std::move(body));
  }
  ASSERT_TRUE(WaitUntil([&] { return server->FrameCount() == std::size(sizes); }));
  for (size_t i = 0; i < std::size(sizes); ++i) {
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(server->frames[i].type, 2u);
    EXPECT_EQ(server->frames[i].body, bodies[i]);
  }
  EXPECT_EQ(server->CloseCount(), 0u);
  client->Release();
  ASSERT_TRUE(WaitUntil([&] { return server->CloseCount() == 1; }));
  EXPECT_EQ(server->closeErrors[0], ws::WSAECONNRESET);  // closing resets, it does not drain
  listener->Release();
}

TEST_F(MsgSockTest, AnOverlongFrameClosesTheConnection) {
  ws::sockaddr_in address{};
  Listener* listener = Listen(&address);
  auto* client = new RecordingMsgSock;
  ASSERT_EQ(client->CreateStream(ws::AF_INET, 0), 1);
  ASSERT_EQ(client->Connect(&address), 1);
  RecordingMsgSock* server = listener->Wait(0);
  ASSERT_NE(server, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return client->ConnectCount() == 1; }));
  const auto good = Frame(1, "ok");
  const auto bad = Frame(2, "", net::kLargestFrameBody + 1);
  client->Send(good.data(), static_cast<int>(good.size()));
  client->Send(bad.data(), static_cast<int>(bad.size()));
  // The close handler records the error and then closes the socket, on the socket's thread.
  ASSERT_TRUE(WaitUntil([&] { return server->CloseCount() == 1 && server->state() == net::kSockClosed; }));
  EXPECT_EQ(server->closeErrors[0], ws::WSAEMSGSIZE);
  EXPECT_EQ(server->FrameCount(), 1u);
  EXPECT_EQ(server->socket(), ws::INVALID_SOCKET);
  ASSERT_TRUE(WaitUntil([&] { return client->CloseCount() == 1; }));
  client->Release();
  listener->Release();
}

TEST_F(MsgSockTest, UnconnectedSocketsNeitherSendNorReceive) {
  auto* s = new RecordingMsgSock;
  char byte = 0;
  EXPECT_EQ(s->Send(&byte, 1), 0);
  EXPECT_EQ(s->Receive(&byte, 1), 0);
  ASSERT_EQ(s->CreateStream(ws::AF_INET, 0), 1);
  EXPECT_EQ(s->Send(&byte, 1), 0);
  EXPECT_EQ(s->Receive(&byte, 1), 0);
  EXPECT_EQ(s->Close(), 1);
  EXPECT_EQ(s->state(), net::kSockClosed);
  s->Release();
}

TEST_F(MsgSockTest, ConnectByNameResolvesMachinesAndReportsUnknownHosts) {
  ws::sockaddr_in address{};
  Listener* listener = Listen(&address);
  auto* known = new RecordingMsgSock;
  ASSERT_EQ(known->CreateStream(ws::AF_INET, 0), 1);
  ASSERT_EQ(known->ConnectByName("teebox-1", ws::ntohs(address.sin_port)), 1);
  auto* unknown = new RecordingMsgSock;
  ASSERT_EQ(unknown->CreateStream(ws::AF_INET, 0), 1);
  ASSERT_EQ(unknown->ConnectByName("golf.server.invalid", 7653), 1);
  ASSERT_TRUE(WaitUntil([&] { return known->ConnectCount() == 1 && unknown->ConnectCount() == 1; }));
  EXPECT_EQ(known->connectErrors[0], 0);
  EXPECT_EQ(unknown->connectErrors[0], ws::WSAHOST_NOT_FOUND);
  EXPECT_NE(listener->Wait(0), nullptr);
  known->Release();
  unknown->Release();
  listener->Release();
}

TEST_F(MsgSockTest, TheNinetySeventhSocketGetsNoEvents) {
  std::vector<RecordingMsgSock*> sockets;
  for (int i = 0; i < net::kSocketTableSize + 1; ++i) {
    auto* s = new RecordingMsgSock;
    EXPECT_EQ(s->CreateStream(ws::AF_INET, 0), 1);
    sockets.push_back(s);
  }
  for (int i = 0; i < net::kSocketTableSize; ++i) EXPECT_EQ(sockets[i]->SelectEvents(net::kEventRead), 1);
  EXPECT_EQ(sockets.back()->SelectEvents(net::kEventRead), 0);
  EXPECT_EQ(net::RegisteredSocketCount(), net::kSocketTableSize);
  // A freed entry is taken again.
  sockets[0]->Close();
  EXPECT_EQ(sockets.back()->SelectEvents(net::kEventRead), 1);
  for (auto* s : sockets) s->Release();
  EXPECT_EQ(net::RegisteredSocketCount(), 0);
}

TEST(WinsockErrorText, NamesTheErrorOrSaysItIsUnknown) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {10061, "A Windows networking error occurred: CONNREFUSED"},
      {10013, "A Windows networking error occurred: CCES"},
      {10101, "A Windows networking error occurred: DISCON"},
      {11004, "A Windows networking error occurred: NO_DATA"},
      {12345, "Unknown Winsock error"},
      {0, "Unknown Winsock error"},
  };
  for (const auto& c : cases) EXPECT_STREQ(net::WinsockErrorText(c.code), c.text);
}

TEST(SocketWindow, ASecondStartMakesNoSecondThread) {
  ASSERT_EQ(net::StartSocketWindow(), 1);
  EXPECT_TRUE(net::SocketWindowRunning());
  EXPECT_EQ(net::StartSocketWindow(), 1);
  EXPECT_EQ(net::StopSocketWindow(), 1);
  EXPECT_FALSE(net::SocketWindowRunning());
  EXPECT_EQ(net::StopSocketWindow(), 1);
}

}  // namespace

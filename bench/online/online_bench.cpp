// The score server on 127.0.0.1, a connection per request as the game makes them: status posts, and leader-board
// fetches over 80 posted cards.
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platformlib/core/byteorder.h"
#include "scorestore.h"

namespace {

// One request: connect, send, read the reply to its end. True when the reply was 200.
bool Exchange(uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  std::string reply;
  char buffer[8192];
  for (ssize_t n; ok && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return ok && reply.rfind("HTTP/1.0 200", 0) == 0;
}

std::string Post(const char* path, const std::string& body) {
  return std::string("POST ") + path + " HTTP/1.0\r\nUser-Agent: VAVODU\r\nHost: 127.0.0.1\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nPragma: No-Cache\r\n\r\n" + body + "\r\n";
}

void Run(benchmark::State& state, const std::string& request, scored::ScoreStore& store) {
  scored::ScoreServer server(&store);
  const uint16_t port = server.Start(0);
  if (!port) {
    state.SkipWithError("cannot listen");
    return;
  }
  int64_t failed = 0;
  for (auto _ : state) failed += Exchange(port, request) ? 0 : 1;
  server.Stop();
  state.SetItemsProcessed(state.iterations());
  state.counters["failed"] = static_cast<double>(failed);
}

void BM_StatusPost(benchmark::State& state) {
  scored::ScoreStore store;
  std::string status(152, '\0');
  WriteLE32(reinterpret_cast<uint8_t*>(status.data()) + 124, 5);
  Run(state, Post("/isapi/scorlink.dll?UpdatePlayerStatus", status), store);
}
BENCHMARK(BM_StatusPost)->UseRealTime();

void BM_LeaderBoardOf80(benchmark::State& state) {
  scored::ScoreStore store;
  for (uint32_t p = 1; p <= 80; ++p) {
    std::string card(318, '\0');
    auto* c = reinterpret_cast<uint8_t*>(card.data());
    WriteLE32(c + 4, 1);
    std::snprintf(card.data() + 24, 32, "Golfer %u", p);
    for (int h = 0; h < 18; ++h) c[56 + h] = static_cast<uint8_t>(3 + (p + h) % 4);
    WriteLE32(c + 74, 9);
    WriteLE32(c + 142, p);
    store.Handle({"POST", "/isapi/scorlink.dll?UpdateScoreCard", card});
  }
  std::string body(44, '\0');
  WriteLE32(reinterpret_cast<uint8_t*>(body.data()) + 4, 1);
  WriteLE32(reinterpret_cast<uint8_t*>(body.data()) + 8, 9);
  Run(state, Post("/isapi/scorlink.dll?GetLeaderBoard2", body), store);
}
BENCHMARK(BM_LeaderBoardOf80)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

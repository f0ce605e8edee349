// The lobby server with 100 clients in ten rooms chatting: each round every client says one line and every line
// reaches the other nine of its room (and comes back to its sender). Lines taken in and lines handed out by the
// server per second of real time, the clients' own reading included.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "lobby.h"
#include "support/lobbyclient.h"

namespace {

void BM_LobbyChatRooms(benchmark::State& state) {
  lobbyd::Lobby lobby;
  lobbyd::LobbyServer server(&lobby);
  const uint16_t port = server.Start(0);
  std::vector<std::unique_ptr<lobbytest::LobbyClient>> clients;
  for (int i = 0; i < 100; ++i) {
    clients.push_back(std::make_unique<lobbytest::LobbyClient>(port));
    clients.back()->Enter("golfer" + std::to_string(i), "room" + std::to_string(i % 10));
  }
  for (auto& c : clients)
    while (!c->Next(50).empty()) {
    }
  const uint64_t before = server.messages();
  int64_t lost = 0;
  for (auto _ : state) {
    for (auto& c : clients) c->Chat("a line of chat in the lobby");
    for (auto& c : clients)
      for (int k = 0; k < 10; ++k) lost += c->Next(2000).empty();
  }
  const double in = static_cast<double>(server.messages() - before);
  state.counters["lines in/s"] = benchmark::Counter(in, benchmark::Counter::kIsRate);
  state.counters["lines out/s"] = benchmark::Counter(in * 10, benchmark::Counter::kIsRate);
  state.counters["lost"] = static_cast<double>(lost);
  clients.clear();
  server.Stop();
}
BENCHMARK(BM_LobbyChatRooms)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

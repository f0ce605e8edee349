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
#include "support/scoreclient.h"

namespace {

void Run(benchmark::State& state, const std::string& request, scored::ScoreStore& store) {
  scored::ScoreServer server(&store);
  const uint16_t port = server.Start(0);
  if (!port) {
    state.SkipWithError("cannot listen");
    return;
  }
  int64_t failed = 0;
  for (auto _ : state) failed += scoretest::Ok(scoretest::Exchange(port, request)) ? 0 : 1;
  server.Stop();
  state.SetItemsProcessed(state.iterations());
  state.counters["failed"] = static_cast<double>(failed);
}

void BM_StatusPost(benchmark::State& state) {
  scored::ScoreStore store;
  std::string status(152, '\0');
  WriteLE32(reinterpret_cast<uint8_t*>(status.data()) + 124, 5);
  Run(state, scoretest::Post("/isapi/scorlink.dll?UpdatePlayerStatus", status), store);
}
BENCHMARK(BM_StatusPost)->UseRealTime();

void BM_LeaderBoardOf80(benchmark::State& state) {
  scored::ScoreStore store;
  for (uint32_t p = 1; p <= 80; ++p)
    store.Handle({"POST", "/isapi/scorlink.dll?UpdateScoreCard",
                  scoretest::Card(p, 9, [p](int h) { return 3 + (p + static_cast<uint32_t>(h)) % 4; })});
  Run(state, scoretest::BoardRequest(9), store);
}
BENCHMARK(BM_LeaderBoardOf80)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

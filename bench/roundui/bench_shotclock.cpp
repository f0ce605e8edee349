// The shot clock's idle pass in a person's turn when its seconds have not changed: what every pass of the message
// loop costs while the golfer sets up a shot.
#include <benchmark/benchmark.h>

#include "golf/game.h"
#include "roundui/gameui.h"
#include "roundui/shotclock.h"

namespace {

void BM_ShotClockIdlePass(benchmark::State& state) {
  CreateGame(kModeStroke);
  TGame* g = CurrentGame();
  g->SetShotClock(true);
  g->shotTimeLimit = 1000000;  // long enough that no second ends within the measure
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart;
  GameUIManager().inputEnabled = 1;
  TShotClockUI clock;
  clock.Restart();
  clock.shownSeconds = static_cast<int32_t>(clock.Remaining());
  int running = 0;
  for (auto _ : state) {
    clock.OnIdle();
    running += clock.IsRunning();
  }
  state.counters["running"] = benchmark::Counter(running, benchmark::Counter::kAvgIterations);
  GameUIManager().inputEnabled = 0;
  DeleteCurrentGame();
}
BENCHMARK(BM_ShotClockIdlePass);

}  // namespace

BENCHMARK_MAIN();

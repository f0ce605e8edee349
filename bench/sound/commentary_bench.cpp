// The announcer's choices: one pre-shot decision from the fairway (without the read of a green), and the read of a
// putt (six trial putts at most) on a flat green of the loaded terrain.
#include <benchmark/benchmark.h>

#include <cstring>

#include "course/terrain.h"
#include "golf/game.h"
#include "sound/commentary.h"
#include "sound/effects.h"
#include "sound/situation.h"
#include "sound/soundobject.h"

namespace {

// A game of one golfer on a 96 x 96 grid of green, the pin at the origin.
TPlayer* SetUp(int lie, float yardsShort) {
  InitTerrainGrid(96, 96);
  const TerrainGrid& grid = CurrentTerrain();
  for (size_t i = 0; i < static_cast<size_t>(grid.width) * grid.depth; ++i) TerrainCell(i)[2] = 0x70;
  CreateGame(kModeStroke);
  TGame* g = CurrentGame();
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart;
  p->bag = 0x1FFFFF;
  p->SetClub(kPutter);
  g->state.currentPlayer = 0;
  g->pinPosition = Vector3{0, 0, 0};
  p->ball.position = Vector3{3.0f, -yardsShort, 0};
  p->ball.lie = static_cast<uint8_t>(lie);
  ActiveGolferRecord = p;
  SoundEnv().soundSettings = [] { return uint8_t{0x07}; };
  Sound().soundStartFailed = true;  // clips are made and queued, never played
  return p;
}

void DropChain() {
  TSoundADV* clip = Sound().currentAnnouncerClip;
  Sound().currentAnnouncerClip = nullptr;
  Sound().announcerStarted = false;
  while (clip) {
    TSoundADV* next = clip->chainNext;
    delete clip;
    clip = next;
  }
}

void BM_PreShotDecision(benchmark::State& state) {
  SetUp(kLieFairway, 150);
  int queued = 0;
  for (auto _ : state) {
    RunPreShotCommentary();
    queued += Sound().currentAnnouncerClip != nullptr;
    DropChain();
  }
  state.counters["lines"] = benchmark::Counter(queued, benchmark::Counter::kAvgIterations);
  DeleteCurrentGame();
  FreeHoleTerrain();
}
BENCHMARK(BM_PreShotDecision)->Unit(benchmark::kMicrosecond);

void BM_PredictPuttBreak(benchmark::State& state) {
  SetUp(kLieGreen, 12);
  float angle = 0;
  for (auto _ : state) benchmark::DoNotOptimize(angle = PredictPuttBreak());
  state.counters["radians"] = angle;
  DeleteCurrentGame();
  FreeHoleTerrain();
}
BENCHMARK(BM_PredictPuttBreak)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

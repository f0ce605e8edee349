#include <benchmark/benchmark.h>

#include "course/terrain.h"
#include "golf/ballflight.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"
#include "golf/predict.h"
#include "golf/surfaces.h"

namespace {

// A flat fairway 60 by 520 yards.
void makeFairway() {
  InitTerrainGrid(60, 520);
  TerrainGrid& g = CurrentTerrain();
  g.floatHeights = true;
  for (size_t i = 0; i < g.cellCount(); ++i) {
    SetTerrainVertexHeight(i, 0.0f);
    TerrainCell(i)[2] = 0x10;
  }
}

// Steps of a ball high in the air: flight with lift, drag and spin decay, and the terrain look-up under it.
void BM_AirborneStep(benchmark::State& state) {
  makeFairway();
  SurfaceTableReset();
  BallState start;
  BallStateReset(&start);
  BallPlaceAt(&start, Vector3{0.0f, -240.0f, 0.0f});
  BallLaunchVector(&start, Vector3{0.0f, 1.0f, 0.0f}, 75.0f, 0.2f, 45.0f, 5.0f);
  BallFlightStart(&start);
  start.position.z = 2000.0f;
  BallState b = start;
  int n = 0;
  for (auto _ : state) {
    BallStep(&b, kBallStepSeconds);
    benchmark::DoNotOptimize(b.position);
    if (++n == 300) {  // still far above the ground; start over
      b = start;
      n = 0;
    }
  }
  state.SetItemsProcessed(state.iterations());
  FreeHoleTerrain();
}
BENCHMARK(BM_AirborneStep);

// One prediction of a full driver shot to rest.
void BM_PredictDriver(benchmark::State& state) {
  makeFairway();
  SurfaceTableReset();
  playerInfo_s golfer;
  golfer.bag = 0x1FFFFF;
  golfer.SetClub(0);
  ActiveGolferRecord = &golfer;
  BallState ball;
  BallStateReset(&ball);
  BallPlaceAt(&ball, Vector3{0.0f, -240.0f, 0.0f});
  ball.lie = 1;
  ShotAimPoint = Vector3{0.0f, 10.0f, 0.0f};
  for (auto _ : state) benchmark::DoNotOptimize(PredictShot(1.0f, 0.0f, 0.0f, &ball));
  ActiveGolferRecord = nullptr;
  FreeHoleTerrain();
}
BENCHMARK(BM_PredictDriver)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

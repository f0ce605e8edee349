// The targeting arc: recomputing a driver's prediction, with and without drawing it over an 800x600 frame, the
// aim correction of a mouse-placed aim, and the redraw of a computed arc.
#include <benchmark/benchmark.h>

#include "roundui_fixture.h"

namespace {

using roundtest::Hole;
using roundtest::Picture16;

void BM_UpdateTargetingDriver(benchmark::State& state) {
  Hole hole;
  for (auto _ : state) {
    UpdateTargeting(&hole.arc, 0, 0, 0, 0);
    benchmark::DoNotOptimize(LandingMarkers[0].point);
  }
}
BENCHMARK(BM_UpdateTargetingDriver)->Unit(benchmark::kMicrosecond);

void BM_UpdateTargetingDriverDrawn(benchmark::State& state) {
  Hole hole;
  Picture16 frame(800, 600, 0x2C64);
  hole.arc.screenWidth = 800;
  hole.arc.screenHeight = 600;
  for (auto _ : state) {
    UpdateTargeting(&hole.arc, 0, 0, 0, 0);
    Pixels16 t = frame.Target();
    hole.arc.Paint(t);
    benchmark::DoNotOptimize(frame.pixels.data());
  }
}
BENCHMARK(BM_UpdateTargetingDriverDrawn)->Unit(benchmark::kMicrosecond);

void BM_MousePlacedAimCorrection(benchmark::State& state) {
  Hole hole(10, 150.0f);
  const Vector3 clicked = AimPoint;
  for (auto _ : state) {
    AimPoint = clicked;
    hole.arc.mousePlaced = true;
    UpdateTargeting(&hole.arc, 0, 0, 0, 0);
    hole.arc.mousePlaced = false;
    benchmark::DoNotOptimize(AimPoint);
  }
}
BENCHMARK(BM_MousePlacedAimCorrection)->Unit(benchmark::kMicrosecond);

void BM_RedrawDriverArc(benchmark::State& state) {
  Hole hole;
  UpdateTargeting(&hole.arc, 0, 0, 0, 0);
  Picture16 frame(800, 600, 0x2C64);
  for (auto _ : state) {
    Pixels16 t = frame.Target();
    hole.arc.Paint(t);
    benchmark::DoNotOptimize(frame.pixels.data());
  }
}
BENCHMARK(BM_RedrawDriverArc)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

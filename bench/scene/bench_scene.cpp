// The hole scene's frame rate: hole 2 of the demo course drawn by the software path and through the Direct3D module
// (drvd3d, read back from its back buffer) from the three cameras at 640 x 480 and 800 x 600 (one core). Frames a
// second = items_per_second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "holeview.h"

namespace {

bool LoadOnce() {
  static const bool loaded = [] {
    const std::string folder = (std::filesystem::temp_directory_path() / "teebox_bench_scene").string();
    std::string error;
    const bool ok = holeview::LoadDemoHole(folder, 2, error);
    if (!ok) std::fprintf(stderr, "bench_scene: %s\n", error.c_str());
    return ok;
  }();
  return loaded;
}

void SoftwareHole(benchmark::State& state) {
  if (!LoadOnce()) {
    state.SkipWithError("no demo hole");
    return;
  }
  const int32_t width = static_cast<int32_t>(state.range(0));
  const int camera = static_cast<int>(state.range(1));
  TGolfView view;
  holeview::SetUpView(view, width, width == 800 ? 600 : 480, camera);
  holeview::Picture picture;
  HoleDrawStats stats{};
  for (auto _ : state) {
    stats = holeview::DrawSoftware(view, picture);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["quads"] = stats.quads;
  state.counters["objects"] = stats.objects;
}
BENCHMARK(SoftwareHole)->ArgsProduct({{640, 800}, {0, 1, 2}})->ArgNames({"width", "camera"})->Unit(benchmark::kMillisecond);

void Direct3DHole(benchmark::State& state) {
  if (!LoadOnce()) {
    state.SkipWithError("no demo hole");
    return;
  }
  const int32_t width = static_cast<int32_t>(state.range(0)), height = width == 800 ? 600 : 480;
  const int camera = static_cast<int>(state.range(1));
  std::string error;
  if (!holeview::OpenDirect3D(width, height, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  TGolfView view;
  holeview::SetUpView(view, width, height, camera);
  holeview::Picture picture;
  HardwareFrameStats stats{};
  for (auto _ : state) {
    stats = holeview::DrawDirect3D(view, picture);
    benchmark::DoNotOptimize(picture.pixels.data());
  }
  holeview::CloseDirect3D();
  state.SetItemsProcessed(state.iterations());
  state.counters["quads"] = stats.batchedQuads + stats.loneQuads;
  state.counters["sprites"] = stats.sprites;
  state.counters["flushes"] = stats.flushes;
}
BENCHMARK(Direct3DHole)->ArgsProduct({{640, 800}, {0, 1, 2}})->ArgNames({"width", "camera"})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

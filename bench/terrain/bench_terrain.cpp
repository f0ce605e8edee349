// Speed of the terrain queries that every frame of ball flight and drawing asks, and of loading a hole.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "course/holedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "holewriter.h"
#include "winapi/testing.h"

namespace {

constexpr uint32_t kSide = 512;

uint32_t nextRandom(uint32_t& s) {
  s = s * 1664525u + 1013904223u;
  return s >> 8;
}

void buildGrid(bool floatHeights, bool tiled) {
  InitTerrainGrid(kSide, kSide);
  TerrainGrid& g = CurrentTerrain();
  g.floatHeights = floatHeights;
  uint32_t s = 7;
  for (size_t i = 0; i < g.cellCount(); ++i) {
    SetTerrainVertexHeight(i, static_cast<float>(nextRandom(s) % 1000) * 0.01f);
    uint8_t* c = TerrainCell(i);
    c[2] = static_cast<uint8_t>((nextRandom(s) % 15) << 4);
    if (tiled) c[0] = static_cast<uint8_t>(1 + i % 4);
  }
  if (tiled) {
    holewriter::HoleDescription h;
    for (int t = 0; t < 4; ++t) {
      bool a[256], b[256];
      for (int k = 0; k < 256; ++k) {
        a[k] = ((k / 16) + t) % 5 < 2;
        b[k] = (k % 16) > 10 - t;
      }
      h.maskPairs.push_back({holewriter::AddRunMask(h, a), holewriter::AddRunMask(h, b)});
      h.detailTiles.push_back({static_cast<uint8_t>(3 + t), static_cast<uint8_t>(8 + t), static_cast<uint16_t>(t)});
    }
    for (const auto& f : holewriter::EncodeHole(h)) {
      if (f.extension == ".QMD") g.detailTiles = f.bytes;
      if (f.extension == ".QMT") g.maskPairs = f.bytes;
    }
    g.runMasks = h.runMasks;
  }
}

std::vector<float> points(size_t n) {
  std::vector<float> p(2 * n);
  uint32_t s = 99;
  for (size_t i = 0; i < n; ++i) {
    p[2 * i] = static_cast<float>(nextRandom(s) % 500000) / 1000.0f - 250.0f;
    p[2 * i + 1] = static_cast<float>(nextRandom(s) % 500000) / 1000.0f - 250.0f;
  }
  return p;
}

void BM_GetTerrainHeight(benchmark::State& state) {
  buildGrid(state.range(0) != 0, false);
  const std::vector<float> p = points(4096);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetTerrainHeight(p[i], p[i + 1]));
    i = (i + 2) & (p.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetTerrainHeight)->Arg(0)->Arg(1)->ArgName("float");

void BM_GetTerrainSurfaceTiled(benchmark::State& state) {
  buildGrid(false, true);
  const std::vector<float> p = points(4096);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetTerrainSurface(p[i], p[i + 1]));
    i = (i + 2) & (p.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetTerrainSurfaceTiled);

void BM_LoadHoleData(benchmark::State& state) {
  const std::string dir = (std::filesystem::temp_directory_path() / "teebox_bench_hole").string();
  std::filesystem::create_directories(dir);
  const std::string base = dir + "/HOLE01";
  holewriter::HoleDescription h = holewriter::DemoHole(kSide, kSide, 5);
  uint32_t s = 3;
  for (int n = 0; n < 2000; ++n) h.codes[nextRandom(s) % h.codes.size()] = static_cast<uint8_t>(1 + n % 60);
  holewriter::WriteHole(h, base);
  // The game reads hole files through the stand-in's drives.
  winapi::testing::MapDrive('T', dir);
  HoleObjectTable().assign(128, HoleObject{{1, 0}, {2, 1}});
  Facts().hardwareDisplay = state.range(0) != 0;
  for (auto _ : state) {
    if (LoadHoleData("T:\\HOLE01.hnf") != kHoleOk) state.SkipWithError("load failed");
  }
  Facts().hardwareDisplay = 0;
  FreeHoleTerrain();
}
BENCHMARK(BM_LoadHoleData)->Arg(0)->Arg(1)->ArgName("hardware")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

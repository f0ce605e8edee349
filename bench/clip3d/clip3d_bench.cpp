// Throughput of the 3D clipper: triangles that pass untouched, and the cost of one that must be clipped.
#include <benchmark/benchmark.h>

#include <vector>

#include "platformlib/gfx/clip3d.h"

namespace {

int64_t submitted = 0;
int32_t CountTri(const VortelVertex*, const VortelVertex*, const VortelVertex*) {
  ++submitted;
  return 1;
}
int32_t CountMesh(int32_t n, const VortelVertex*, const uint32_t*) {
  submitted += n;
  return 1;
}

void Setup() {
  vortellive = VortelDriver{};
  vortellive.drawtri = CountTri;
  vortellive.drawtrimesh = CountMesh;
  rastersetviewport(0, 0, 640, 480, 1.0f, 0.0004f);
  rastersetmode(3);
}

std::vector<VortelVertex> Grid(float offsetx, float offsety, float q) {
  std::vector<VortelVertex> v;
  for (int i = 0; i < 1024; ++i) {
    const float x = offsetx + static_cast<float>(i % 32) * 19.0f, y = offsety + static_cast<float>(i / 32) * 14.0f;
    v.push_back({x, y, 0.5f, q, 0xFF808080u + static_cast<uint32_t>(i), 0, 0.1f, 0.2f});
  }
  return v;
}

// Callers work out one outcode per vertex and hand the triangle over.
void BM_TriviallyAccepted(benchmark::State& state) {
  Setup();
  const std::vector<VortelVertex> v = Grid(10, 10, 0.5f);
  size_t i = 0;
  for (auto _ : state) {
    const VortelVertex* t[3] = {&v[i], &v[i + 1], &v[i + 32]};
    uint8_t codes[3];
    clipcode(t[0], &codes[0]);
    clipcode(t[1], &codes[1]);
    clipcode(t[2], &codes[2]);
    rastertri(t, codes);
    i = (i + 1) & 511;
  }
  benchmark::DoNotOptimize(submitted);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TriviallyAccepted);

// Triangles that each need the full work of a clip.
std::vector<VortelVertex> Straddling(bool behind) {
  std::vector<VortelVertex> v;
  for (int k = 0; k < 256; ++k) {
    const float j = static_cast<float>(k % 17);
    v.push_back({-20.0f - j, 400.0f, 0.5f, 0.5f, 0xFF102030u, 0, 0.0f, 0.0f});
    v.push_back({300.0f + j, 400.0f + j, 0.5f, 0.5f, 0xFF405060u, 0, 1.0f, 0.0f});
    v.push_back({150.0f, 600.0f + j, 0.5f, behind ? -0.25f : 0.5f, 0xFF708090u, 0, 0.5f, 1.0f});
  }
  return v;
}

void ClipLoop(benchmark::State& state, const std::vector<VortelVertex>& v) {
  Setup();
  size_t i = 0;
  const int64_t before = submitted;
  for (auto _ : state) {
    const VortelVertex* t[3] = {&v[i], &v[i + 1], &v[i + 2]};
    uint8_t codes[3];
    clipcode(t[0], &codes[0]);
    clipcode(t[1], &codes[1]);
    clipcode(t[2], &codes[2]);
    rastertri(t, codes);
    i = (i + 3) % v.size();
  }
  state.counters["fan_triangles"] =
      benchmark::Counter(static_cast<double>(submitted - before) / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations());
}

void BM_ClippedTwoSides(benchmark::State& state) { ClipLoop(state, Straddling(false)); }
BENCHMARK(BM_ClippedTwoSides);

void BM_ClippedNearPlane(benchmark::State& state) { ClipLoop(state, Straddling(true)); }
BENCHMARK(BM_ClippedNearPlane);

}  // namespace

BENCHMARK_MAIN();

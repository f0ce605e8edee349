// Speed of the software rasteriser into a 640 x 480 5-6-5 target with a 16-bit depth buffer.
#include <benchmark/benchmark.h>

#include <vector>

#include "winapi/d3d/raster.h"

namespace {

using namespace winapi::d3d;

struct Scene {
  std::vector<uint16_t> colour = std::vector<uint16_t>(640 * 480);
  std::vector<uint16_t> depth = std::vector<uint16_t>(640 * 480, 0xFFFF);
  RasterTarget target{reinterpret_cast<uint8_t*>(colour.data()), 1280, 640, 480, TargetFormat::Rgb565};
  RasterDepth z{reinterpret_cast<uint8_t*>(depth.data()), 1280, 16};
  TextureImage texture{64, 64, false, {}};
  Scene() {
    for (int i = 0; i < 64 * 64; ++i) texture.texels.push_back(0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8));
  }
};

RasterState Textured(const TextureImage* t, bool bilinear) {
  RasterState s;
  s.texture = t;
  s.bilinear = bilinear;
  s.wrap = true;
  s.cull = D3DCULL_NONE;
  s.zFunc = D3DCMP_ALWAYS;
  return s;
}

D3DTLVERTEX V(float x, float y, float u, float v) { return D3DTLVERTEX{x, y, 0.5f, 1.0f, 0xFFC0C0C0, 0xFF000000, u, v}; }

// Triangles with 20-pixel legs (200 pixels each), spread over the screen.
void TexturedTriangles(benchmark::State& state) {
  Scene scene;
  const RasterState s = Textured(&scene.texture, state.range(0) != 0);
  int64_t count = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      const float x = static_cast<float>((i * 37) % 600), y = static_cast<float>((i * 53) % 440);
      DrawTriangle(scene.target, scene.z, s, V(x, y, 0, 0), V(x + 20, y, 1, 0), V(x, y + 20, 0, 1));
    }
    count += 100;
  }
  benchmark::DoNotOptimize(scene.colour.data());
  state.counters["triangles/s"] = benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsRate);
}
BENCHMARK(TexturedTriangles)->Arg(0)->Arg(1);

// Two triangles covering the whole target: flat colour, then textured with the bilinear filter.
void FillRate(benchmark::State& state) {
  Scene scene;
  RasterState s = Textured(state.range(0) ? &scene.texture : nullptr, true);
  int64_t pixels = 0;
  for (auto _ : state) {
    DrawTriangle(scene.target, scene.z, s, V(0, 0, 0, 0), V(640, 0, 10, 0), V(640, 480, 10, 7.5f));
    DrawTriangle(scene.target, scene.z, s, V(0, 0, 0, 0), V(640, 480, 10, 7.5f), V(0, 480, 0, 7.5f));
    pixels += 640 * 480;
  }
  benchmark::DoNotOptimize(scene.colour.data());
  state.counters["Mpixels/s"] = benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(FillRate)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();

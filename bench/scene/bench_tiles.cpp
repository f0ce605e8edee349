// Detail tiles built a second (items_per_second): 16 x 16 mixed from two images, 8- and 16-bit, and 64 x 64
// smoothed, 8-bit from a stream and 16-bit plain, over masks of a fairway border; and the water over a 640 x 480
// picture with a lake across its lower half: the reflection pass and one animation step.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <vector>

#include "scene/runmask.h"
#include "scene/water.h"

namespace {

// A wavy border: the lower left of each cell row copy, shifting with the mask number.
std::vector<std::vector<uint8_t>> Masks() {
  std::vector<std::vector<uint8_t>> masks;
  for (int m = 0; m < 16; ++m) {
    std::array<bool, 256> copy{};
    for (int r = 0; r < 16; ++r)
      for (int c = 0; c < 16; ++c) copy[r * 16 + c] = c < 8 + static_cast<int>(5 * std::sin((r + m) * 0.6));
    std::vector<uint8_t> bytes;
    for (int p = 0; p < 256;) {
      int n = 0;
      while (p + n < 256 && copy[p + n] == copy[p] && n < 127) ++n;
      bytes.push_back(static_cast<uint8_t>((copy[p] ? 0x80 : 0) | n));
      p += n;
    }
    masks.push_back(bytes);
  }
  return masks;
}

template <typename T>
std::vector<T> Texels() {
  std::vector<T> t(4096);
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<T>(i * 2654435761u >> 7);
  return t;
}

template <typename T, typename F>
void Tiles(benchmark::State& state, size_t side, F decode) {
  const std::vector<std::vector<uint8_t>> masks = Masks();
  const std::vector<T> a = Texels<T>(), b = Texels<T>();
  std::vector<T> tile(side * side);
  size_t m = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& mask = masks[m++ & 15];
    decode(TexelSource<T>{a.data(), a.size()}, TexelSource<T>{b.data(), b.size()}, RunMask{mask.data(), mask.size()},
           tile.data());
    benchmark::DoNotOptimize(tile.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void Mixed16(benchmark::State& s) { Tiles<uint8_t>(s, 16, MixImages16); }
void Mixed16Wide(benchmark::State& s) { Tiles<uint16_t>(s, 16, MixImages16Wide); }
void Smoothed64(benchmark::State& s) { Tiles<uint8_t>(s, 64, CopyMix64Smooth); }
void Smoothed64Image(benchmark::State& s) { Tiles<uint8_t>(s, 64, CopyMixImage64Smooth); }
void Mixed64Wide(benchmark::State& s) { Tiles<uint16_t>(s, 64, MixStreams64Wide); }
BENCHMARK(Mixed16);
BENCHMARK(Mixed16Wide);
BENCHMARK(Smoothed64);
BENCHMARK(Smoothed64Image);
BENCHMARK(Mixed64Wide);

struct Lake {
  static constexpr int32_t w = 640, h = 480;
  std::vector<uint16_t> colour, depth, background;
  Lake() : colour(static_cast<size_t>(w) * h), depth(colour.size()), background(colour.size()) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        colour[i] = static_cast<uint16_t>(x * 31 + y * 7);
        const bool water = y > 260 && y < 430;
        depth[i] = static_cast<uint16_t>(0x8000 | ((y < 200 ? 0x7FFE : 0x200 + (480 - y) * 8) & 0x7FFE) | (water ? 1 : 0));
      }
    background = colour;
  }
  WaterPages Pages() {
    return {{colour.data(), w, 0, 0, w, h}, {depth.data(), w, 0, 0, w, h}, {background.data(), w, 0, 0, w, h}};
  }
};

void WaterReflection(benchmark::State& state) {
  Lake lake;
  const std::vector<uint16_t> original = lake.colour;
  for (auto _ : state) {
    state.PauseTiming();
    lake.colour = original;
    state.ResumeTiming();
    DrawWaterReflection(lake.Pages().current, lake.Pages().depth, 2);
    benchmark::DoNotOptimize(lake.colour.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(WaterReflection)->Unit(benchmark::kMillisecond);

void WaterAnimationStep(benchmark::State& state) {
  Lake lake;
  DrawWaterReflection(lake.Pages().current, lake.Pages().depth, 2);
  lake.background = lake.colour;
  Water().nextAnimation = Water().nextRedraw = 0;
  uint32_t now = 1000;
  for (auto _ : state) {
    StepWaterAnimation(now, lake.Pages(), {});
    now += 33;
    benchmark::DoNotOptimize(lake.colour.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(WaterAnimationStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

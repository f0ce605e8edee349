// Decoded movie frames per second: coded data to pixel pairs, and pixel pairs drawn into a 16-bit window.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "movieenc.h"
#include "platformlib/movie/movie.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

std::vector<uint8_t> Coded(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>(128 + 100 * std::sin(y / 7.0));
      p[2] = static_cast<uint8_t>(((x / 24 + y / 24) & 1) ? 210 : 40);
    }
  return movietools::encodepicture(rgb.data(), width, height, 2);
}

void DecodeFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const std::vector<uint8_t> coded = Coded(width, height);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  for (auto _ : state) {
    if (moviedecodeframe(coded.data(), coded.size(), frame.data(), width, height) != 0) state.SkipWithError("decode");
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = static_cast<double>(coded.size());
}
BENCHMARK(DecodeFrame)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);

void BlitFrame(benchmark::State& state) {
  const int width = 320, height = 240, mode = static_cast<int>(state.range(0));
  const std::vector<uint8_t> coded = Coded(width, height);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  moviedecodeframe(coded.data(), coded.size(), frame.data(), width, height);
  std::vector<uint8_t> pixels(static_cast<size_t>(640) * 480 * 2);
  WindowDesc saved = CurrentWindow, w{};
  initwindowfields(&w, 640, 480, 16, 1280, pixels.data());
  CurrentWindow = w;
  setvideoframe(frame.data());
  for (auto _ : state) {
    blitvideoframe(0, 0, width, height, mode);
    benchmark::DoNotOptimize(pixels.data());
  }
  setvideoframe(nullptr);
  CurrentWindow = saved;
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BlitFrame)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

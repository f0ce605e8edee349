// Drawing speed in Mpixels per second: plain, transparent and alpha shape draws beside memcpy of the same
// bytes, filtered spans, nearest scaling, polygon fill, texture-mapped spans and text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/polygon.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/gfx/windowdesc.h"
#include "shapesetup.h"
#include "shapewriter.h"

namespace {

constexpr int kW = 640, kH = 480;

using benchshapes::Shape;
using benchshapes::Start;

WindowDesc* Window(int depth) {
  Start();
  static WindowDesc* windows[33] = {};
  if (!windows[depth]) windows[depth] = createwindowadra(kW, kH, depth, 1);
  setwindow(windows[depth]);
  return windows[depth];
}

void Rate(benchmark::State& state, double pixels) {
  state.counters["pixels/s"] =
      benchmark::Counter(pixels * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Memcpy16(benchmark::State& state) {
  std::vector<uint8_t> a(kW * kH * 2, 1), b(kW * kH * 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  Rate(state, kW * kH);
}
BENCHMARK(BM_Memcpy16);

void BM_DrawShape16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x78, kW, kH, [](int x, int y) { return static_cast<uint32_t>(x * 7 + y); });
  for (auto _ : state) drawshape(s, 0, 0);
  Rate(state, kW * kH);
}
BENCHMARK(BM_DrawShape16);

void BM_DrawShape16Rows(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x78, kW - 40, kH, [](int x, int y) { return static_cast<uint32_t>(x * 7 + y); });
  for (auto _ : state) drawshape(s, 20, 0);  // rows no longer follow each other: one call a row
  Rate(state, (kW - 40) * kH);
}
BENCHMARK(BM_DrawShape16Rows);

void BM_Transparent16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x78, kW, kH, [](int x, int y) { return static_cast<uint32_t>((x + y) % 5 ? x * 7 + y : 0); });
  for (auto _ : state) drawshapetrans(s, 0, 0);
  Rate(state, kW * kH);
}
BENCHMARK(BM_Transparent16);

void BM_Transparent8on16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x7B, kW, kH, [](int x, int y) { return static_cast<uint32_t>((x + y) % 5 ? (x ^ y) & 0xFE : 255); });
  for (auto _ : state) drawshapetrans(s, 0, 0);
  Rate(state, kW * kH);
}
BENCHMARK(BM_Transparent8on16);

void BM_Alpha32on16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x7D, kW, kH, [](int x, int y) {
    const uint32_t a = static_cast<uint32_t>((x + y) & 0xFF);
    return (a << 24) | ((a * 200 / 255) << 16) | ((a * 100 / 255) << 8);
  });
  for (auto _ : state) drawshapealpha(s, 0, 0);
  Rate(state, kW * kH);
}
BENCHMARK(BM_Alpha32on16);

void BM_Alpha32on32(benchmark::State& state) {
  Window(32);
  static uint8_t* s = Shape(0x7D, kW, kH, [](int x, int y) {
    const uint32_t a = static_cast<uint32_t>((x + y) & 0xFF);
    return (a << 24) | ((a * 200 / 255) << 16) | ((a * 100 / 255) << 8);
  });
  for (auto _ : state) drawshapealpha(s, 0, 0);
  Rate(state, kW * kH);
}
BENCHMARK(BM_Alpha32on32);

void BM_FilteredScale16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x7D, 320, 240, [](int x, int y) { return 0xFF000000u | (x << 16) | (y << 8) | 0x40; });
  for (auto _ : state) drawshapescaledargb(s, 0, 0, kW, kH);
  Rate(state, kW * kH);
}
BENCHMARK(BM_FilteredScale16);

void BM_FilteredQuad32(benchmark::State& state) {
  Window(32);
  static uint8_t* s = Shape(0x7D, 256, 256, [](int x, int y) { return 0xFF000000u | (x << 16) | (y << 8) | 0x40; });
  const int32_t corners[] = {40, 10, 600, 40, 560, 460, 20, 420};
  for (auto _ : state) drawshapequadfull(s, corners);
  Rate(state, 0.5 * ((600 - 20) * (460 - 10)));  // roughly the quad's area
}
BENCHMARK(BM_FilteredQuad32);

void BM_ScaledNearest16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x78, 320, 240, [](int x, int y) { return static_cast<uint32_t>(x * 3 + y + 1); });
  for (auto _ : state) drawshapescaled(s, 0, 0, kW, kH);
  Rate(state, kW * kH);
}
BENCHMARK(BM_ScaledNearest16);

void BM_ScaledNearestCopy16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x78, 320, 240, [](int x, int y) { return static_cast<uint32_t>(x * 3 + y + 1); });
  for (auto _ : state) drawshapescaledex(s, 0, 0, -kW, kH);
  Rate(state, kW * kH);
}
BENCHMARK(BM_ScaledNearestCopy16);

void BM_PolygonFill16(benchmark::State& state) {
  Window(16);
  const PolyPoint quad[] = {{0, 0}, {kW, 0}, {kW, kH}, {0, kH}};
  for (auto _ : state) fillpolygon(0x1234, 4, quad);
  Rate(state, kW * kH);
}
BENCHMARK(BM_PolygonFill16);

void BM_TextureSpans16(benchmark::State& state) {
  Window(16);
  static uint8_t* s = Shape(0x78, 256, 256, [](int x, int y) { return static_cast<uint32_t>(x * 3 + y + 1); });
  const PolyPoint quad[] = {{0, 0}, {kW, 0}, {kW, kH}, {0, kH}};
  for (auto _ : state) drawshapepoly(s, quad, 0, static_cast<int>(state.range(0)));
  Rate(state, kW * kH);
}
BENCHMARK(BM_TextureSpans16)->Arg(0)->Arg(3);

// Many small textured quads: the per-polygon set-up (row table of the texture) weighs here.
void BM_SmallTexturePolys(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  Window(depth);
  static uint8_t* s8 = Shape(0x7B, 64, 64, [](int x, int y) { return static_cast<uint32_t>((x * 3 + y) & 0xFE); });
  static uint8_t* s16 = Shape(0x78, 64, 64, [](int x, int y) { return static_cast<uint32_t>(x * 3 + y + 1); });
  uint8_t* s = depth == 8 ? s8 : s16;
  int polys = 0;
  for (auto _ : state)
    for (int y = 0; y + 16 <= kH; y += 16)
      for (int x = 0; x + 16 <= kW; x += 16) {
        const PolyPoint quad[] = {{x, y}, {x + 16, y + 1}, {x + 15, y + 16}, {x, y + 15}};
        drawshapepoly(s, quad, 0, 0);
        ++polys;
      }
  state.counters["polys/s"] = benchmark::Counter(polys, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SmallTexturePolys)->Arg(8)->Arg(16);

void BM_Text(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  Window(16);
  shapetools::Font font;
  font.bits = bits;
  font.above = 12;
  font.below = 4;
  for (int c = 32; c < 127; ++c) {
    shapetools::Glyph g;
    g.code = static_cast<uint16_t>(c);
    g.width = 8;
    g.height = 16;
    g.advance = 8;
    g.yoffset = -12;
    for (int i = 0; i < 128; ++i) g.pixels.push_back(static_cast<uint8_t>(bits == 1 ? (i * c) % 3 == 0 : (i * c) % 16));
    font.glyphs.push_back(g);
  }
  const std::vector<uint8_t> bytes = shapetools::fontfile(font);
  static std::vector<uint8_t> keep[5];
  keep[bits] = bytes;
  setfont(keep[bits].data());
  textcolour(0xFFFF, 0);
  const std::string line(78, 'G');
  for (auto _ : state)
    for (int y = 20; y < kH; y += 16) fortextxy(line.c_str(), 4, y);
  Rate(state, 78.0 * 8 * 16 * ((kH - 20 + 15) / 16));
}
BENCHMARK(BM_Text)->Arg(1)->Arg(4);

}  // namespace

BENCHMARK_MAIN();

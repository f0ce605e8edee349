// The 2D engine against SDL2's blitters on the same 640 x 480 5-6-5 surfaces: a 32-bit alpha shape over the
// window, a keyed 8-bit shape through its palette, and a screen of 8 x 16 glyphs blitted once a character:
// 1-bit (SDL: an indexed glyph with a colour key) and 4-bit blended (SDL: an alpha-blended ARGB glyph). Closes
// with the ratio table of bench/support/versus.h.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/shapes/textdraw.h"
#include "shapesetup.h"
#include "shapewriter.h"
#include "versus.h"

namespace {

constexpr int kW = 640, kH = 480, kColumns = 78, kLines = (kH - 20) / 16;

uint32_t AlphaPixel(int x, int y) {
  const uint32_t a = static_cast<uint32_t>((x + y) & 0xFF);
  return (a << 24) | ((a * 200 / 255) << 16) | ((a * 100 / 255) << 8);
}
uint32_t KeyedPixel(int x, int y) { return static_cast<uint32_t>((x + y) % 5 ? (x ^ y) & 0xFE : 255); }
// Glyph pixel i of character c: 1-bit on or off, or a 4-bit ramp step.
uint8_t GlyphPixel(int bits, int c, int i) { return static_cast<uint8_t>(bits == 1 ? (i * c) % 3 == 0 : (i * c) % 16); }

void StartOurs() {
  static bool started = false;
  if (started) return;
  started = true;
  benchshapes::Start();
  setwindow(createwindowadra(kW, kH, 16, 1));
}

uint8_t* OurShape(uint8_t type, uint32_t (*value)(int, int)) { return benchshapes::Shape(type, kW, kH, value); }

void AlphaOurs(benchmark::State& state) {
  StartOurs();
  static uint8_t* shape = OurShape(0x7D, AlphaPixel);
  for (auto _ : state) drawshapealpha(shape, 0, 0);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void KeyedOurs(benchmark::State& state, int) {
  StartOurs();
  static uint8_t* shape = OurShape(0x7B, KeyedPixel);
  for (auto _ : state) drawshapetrans(shape, 0, 0);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void TextOurs(benchmark::State& state, int bits) {
  StartOurs();
  shapetools::Font font;
  font.bits = bits, font.above = 12, font.below = 4;
  for (int c = 32; c < 127; ++c) {
    shapetools::Glyph g;
    g.code = static_cast<uint16_t>(c), g.width = 8, g.height = 16, g.advance = 8, g.yoffset = -12;
    for (int i = 0; i < 128; ++i) g.pixels.push_back(GlyphPixel(bits, c, i));
    font.glyphs.push_back(g);
  }
  static std::vector<uint8_t> keep[5];
  keep[bits] = shapetools::fontfile(font);
  setfont(keep[bits].data());
  textcolour(0xFFFF, 0);
  const std::string line(kColumns, 'G');
  for (auto _ : state)
    for (int k = 0; k < kLines; ++k) fortextxy(line.c_str(), 4, 20 + 16 * k);
  state.SetItemsProcessed(state.iterations() * kColumns * kLines * 128);
}

SDL_Surface* Screen() {
  static SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
  return screen;
}

void SetPalette(SDL_Surface* s, int count) {
  std::vector<SDL_Color> colours;
  for (int i = 0; i < count; ++i)
    colours.push_back({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2), 255});
  SDL_SetPaletteColors(s->format->palette, colours.data(), 0, count);
}

void AlphaPeer(benchmark::State& state) {
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      static_cast<uint32_t*>(src->pixels)[y * (src->pitch / 4) + x] = AlphaPixel(x, y);
  SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_BLEND);
  for (auto _ : state) SDL_BlitSurface(src, nullptr, Screen(), nullptr);
  state.SetItemsProcessed(state.iterations() * kW * kH);
  SDL_FreeSurface(src);
}

void KeyedPeer(benchmark::State& state, int) {
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 8, SDL_PIXELFORMAT_INDEX8);
  SetPalette(src, 256);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) static_cast<uint8_t*>(src->pixels)[y * src->pitch + x] = static_cast<uint8_t>(KeyedPixel(x, y));
  SDL_SetColorKey(src, SDL_TRUE, 255);
  for (auto _ : state) SDL_BlitSurface(src, nullptr, Screen(), nullptr);
  state.SetItemsProcessed(state.iterations() * kW * kH);
  SDL_FreeSurface(src);
}

void TextPeer(benchmark::State& state, int bits) {
  SDL_Surface* glyph = nullptr;
  if (bits == 1) {  // on or off: an indexed surface with a colour key
    glyph = SDL_CreateRGBSurfaceWithFormat(0, 8, 16, 1, SDL_PIXELFORMAT_INDEX1MSB);
    SetPalette(glyph, 2);
    auto* p = static_cast<uint8_t*>(glyph->pixels);
    for (int i = 0; i < 128; ++i) p[(i / 8) * glyph->pitch] |= static_cast<uint8_t>(GlyphPixel(1, 'G', i) << (7 - i % 8));
    SDL_SetColorKey(glyph, SDL_TRUE, 0);
  } else {  // 16 steps blended over the screen, as our 4-bit text is: white with alpha
    glyph = SDL_CreateRGBSurfaceWithFormat(0, 8, 16, 32, SDL_PIXELFORMAT_ARGB8888);
    auto* p = static_cast<uint32_t*>(glyph->pixels);
    for (int i = 0; i < 128; ++i)
      p[(i / 8) * (glyph->pitch / 4) + i % 8] = static_cast<uint32_t>(GlyphPixel(4, 'G', i) * 255 / 15) << 24 | 0xFFFFFFu;
    SDL_SetSurfaceBlendMode(glyph, SDL_BLENDMODE_BLEND);
  }
  for (auto _ : state)
    for (int k = 0; k < kLines; ++k)
      for (int c = 0; c < kColumns; ++c) {
        SDL_Rect at{4 + 8 * c, 8 + 16 * k, 8, 16};
        SDL_BlitSurface(glyph, nullptr, Screen(), &at);
      }
  state.SetItemsProcessed(state.iterations() * kColumns * kLines * 128);
  SDL_FreeSurface(glyph);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("alpha32_on_16/ours", AlphaOurs);
  benchmark::RegisterBenchmark("alpha32_on_16/peer", AlphaPeer);
  benchmark::RegisterBenchmark("keyed8_on_16/ours", KeyedOurs, 0);
  benchmark::RegisterBenchmark("keyed8_on_16/peer", KeyedPeer, 0);
  for (int bits : {1, 4}) {
    const std::string name = "text" + std::to_string(bits) + "bit";
    benchmark::RegisterBenchmark((name + "/ours").c_str(), TextOurs, bits);
    benchmark::RegisterBenchmark((name + "/peer").c_str(), TextPeer, bits);
  }
  return true;
}();

}  // namespace

int main(int argc, char** argv) { return benchversus::Main(argc, argv); }

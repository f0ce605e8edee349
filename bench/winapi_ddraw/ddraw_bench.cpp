// Blits of the DirectDraw stand-in at 640 x 480, and turning a shown frame into host pixels.
#include <benchmark/benchmark.h>

#include <cstring>

#include "ddraw.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

struct Display {
  IDirectDraw2* dd = nullptr;
  IDirectDrawSurface* source = nullptr;
  IDirectDrawSurface* dest = nullptr;

  explicit Display(DWORD bits) {
    IDirectDraw* first = nullptr;
    DirectDrawCreate(nullptr, &first, nullptr);
    first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd));
    first->Release();
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    desc.dwWidth = 640;
    desc.dwHeight = 480;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | (bits == 8 ? DDPF_PALETTEINDEXED8 : 0);
    desc.ddpfPixelFormat.dwRGBBitCount = bits;
    desc.ddpfPixelFormat.dwRBitMask = bits == 16 ? 0xF800 : 0;
    desc.ddpfPixelFormat.dwGBitMask = bits == 16 ? 0x07E0 : 0;
    desc.ddpfPixelFormat.dwBBitMask = bits == 16 ? 0x001F : 0;
    dd->CreateSurface(&desc, &source, nullptr);
    dd->CreateSurface(&desc, &dest, nullptr);
    DDCOLORKEY key{0, 0};
    source->SetColorKey(DDCKEY_SRCBLT, &key);
  }
  ~Display() {
    source->Release();
    dest->Release();
    dd->Release();
  }
};

void BM_BltCopy(benchmark::State& state) {
  Display display(static_cast<DWORD>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(display.dest->Blt(nullptr, display.source, nullptr, DDBLT_WAIT, nullptr));
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_BltCopy)->Arg(8)->Arg(16);

void BM_BltColourKey(benchmark::State& state) {
  Display display(16);
  for (auto _ : state)
    benchmark::DoNotOptimize(display.dest->Blt(nullptr, display.source, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr));
  state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_BltColourKey);

void BM_BltStretchHalf(benchmark::State& state) {
  Display display(16);
  RECT half{0, 0, 320, 240};
  for (auto _ : state) benchmark::DoNotOptimize(display.dest->Blt(&half, display.source, nullptr, DDBLT_WAIT, nullptr));
  state.SetItemsProcessed(state.iterations() * 320 * 240);
}
BENCHMARK(BM_BltStretchHalf);

void BM_FlipAndCapture(benchmark::State& state) {
  winapi::testing::Reset();
  WNDCLASSA cls{};
  cls.lpfnWndProc = DefWindowProcA;
  cls.lpszClassName = "BenchClass";
  RegisterClassA(&cls);
  HWND window = CreateWindowExA(0, "BenchClass", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
  IDirectDraw* dd = nullptr;
  DirectDrawCreate(nullptr, &dd, nullptr);
  dd->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
  dd->SetDisplayMode(640, 480, static_cast<DWORD>(state.range(0)));
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  desc.dwBackBufferCount = 1;
  IDirectDrawSurface* front = nullptr;
  dd->CreateSurface(&desc, &front, nullptr);
  winapi::testing::HostFrameData frame;
  for (auto _ : state) {
    front->Flip(nullptr, DDFLIP_WAIT);
    benchmark::DoNotOptimize(winapi::testing::HostFrame(&frame));
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  front->Release();
  dd->Release();
  DestroyWindow(window);
}
BENCHMARK(BM_FlipAndCapture)->Arg(8)->Arg(16)->Arg(32);

}  // namespace

BENCHMARK_MAIN();

// What the game's message loops pay: a post and its retrieval, an empty poll, and a send to another thread.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "windows.h"

namespace {

LRESULT Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return static_cast<LRESULT>(wParam) + 1;
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow() {
  static const bool registered = [] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = Answer;
    cls.lpszClassName = "BenchWindow";
    return RegisterClassA(&cls) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "BenchWindow", "bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

void BM_PostAndPeek(benchmark::State& state) {
  HWND window = MakeWindow();
  MSG msg;
  for (auto _ : state) {
    PostMessageA(window, WM_USER + 1, 0, 0);
    benchmark::DoNotOptimize(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  }
  DestroyWindow(window);
}
BENCHMARK(BM_PostAndPeek);

void BM_EmptyPoll(benchmark::State& state) {
  MSG msg;
  for (auto _ : state) benchmark::DoNotOptimize(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}
BENCHMARK(BM_EmptyPoll);

void BM_SendToAnotherThread(benchmark::State& state) {
  std::atomic<HWND> window{nullptr};
  std::atomic<DWORD> id{0};
  std::thread owner([&] {
    HWND mine = MakeWindow();
    id = GetCurrentThreadId();
    window = mine;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(mine);
  });
  while (!window) std::this_thread::yield();
  for (auto _ : state) benchmark::DoNotOptimize(SendMessageA(window, WM_USER, 1, 0));
  PostThreadMessageA(id, WM_QUIT, 0, 0);
  owner.join();
}
BENCHMARK(BM_SendToAnotherThread)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

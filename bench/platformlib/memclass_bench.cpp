// Memory-class reserve and purge against malloc and free on one workload: mostly small blocks with short
// lives, some medium buffers and a few large ones held longer, as the library's window, stream and file code
// ask for them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "platformlib/core/memclass.h"

namespace {

struct Step {
  int size;      // > 0: reserve this many bytes into the slot; 0: free the slot
  int slot;
};

const std::vector<Step>& Workload() {
  static const std::vector<Step> steps = [] {
    constexpr int kSlots = 512;
    std::mt19937 random(99);
    std::vector<bool> live(kSlots, false);
    std::vector<Step> result;
    for (int i = 0; i < 200000; ++i) {
      int slot = static_cast<int>(random() % kSlots);
      if (live[slot]) {
        // Larger slots (the high numbers) are freed less often: they live longer.
        if (slot < 400 || random() % 8 == 0) {
          result.push_back({0, slot});
          live[slot] = false;
        }
        continue;
      }
      int size;
      const unsigned kind = random() % 100;
      if (kind < 70)
        size = 8 + static_cast<int>(random() % 120);  // records, list nodes
      else if (kind < 95)
        size = 128 + static_cast<int>(random() % 4000);  // strings, small buffers, shape headers
      else
        size = 4096 + static_cast<int>(random() % 60000);  // row tables, file buffers
      result.push_back({size, slot});
      live[slot] = true;
    }
    for (int slot = 0; slot < kSlots; ++slot)
      if (live[slot]) result.push_back({0, slot});
    return result;
  }();
  return steps;
}

void BM_MemClassReservePurge(benchmark::State& state) {
  abortonerror = 0;
  initmem(64 << 20);
  std::vector<void*> slots(512, nullptr);
  const auto& steps = Workload();
  for (auto _ : state) {
    for (const Step& step : steps) {
      if (step.size) {
        slots[step.slot] = reservememadr("bench", step.size, 0);
        benchmark::DoNotOptimize(slots[step.slot]);
      } else {
        purgememadr(slots[step.slot]);
      }
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(steps.size()));
  exitmem();
}
BENCHMARK(BM_MemClassReservePurge)->Unit(benchmark::kMillisecond);

void BM_MallocFree(benchmark::State& state) {
  std::vector<void*> slots(512, nullptr);
  const auto& steps = Workload();
  for (auto _ : state) {
    for (const Step& step : steps) {
      if (step.size) {
        slots[step.slot] = std::malloc(static_cast<size_t>(step.size));
        benchmark::DoNotOptimize(slots[step.slot]);
      } else {
        std::free(slots[step.slot]);
      }
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(steps.size()));
}
BENCHMARK(BM_MallocFree)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

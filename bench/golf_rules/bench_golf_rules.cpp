// The computer golfer's decision: a long tee shot (aim search over candidates) and a putt (compensated aim).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "course/holedata.h"
#include "framework/core/services.h"
#include "golf/aigolfer.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "holewriter.h"

namespace {

// The hole files a benchmark wrote, removed when it ends.
void removeHoleFiles() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ec))
    if (e.path().filename().string().rfind("bench_golf_rules_", 0) == 0) std::filesystem::remove(e.path(), ec);
}

// The demonstration hole stands for every hole of the round.
class BenchHoles : public CourseCatalogueProvider {
 public:
  std::string base;
  std::string HoleFile(int, int) override { return base + ".hnf"; }
};
BenchHoles holes;

// A game of one computer golfer on a demonstration hole of the given depth, its ball at `from`.
TGame* ready(uint32_t depth) {
  const std::string base =
      (std::filesystem::temp_directory_path() / ("bench_golf_rules_" + std::to_string(depth))).string();
  holewriter::WriteHole(holewriter::DemoHole(48, depth, 11), base);
  holes.base = base;
  Svc().catalogue = &holes;
  CreateGame(kModeStroke);
  TGame* g = CurrentGame();
  g->players->SetComputer(0, true);
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart;
  p->bag = 0x1FFFFF;
  g->SetOptionField(5, 4);
  g->LoadHole();
  g->SetCurrentPlayer(0);
  return g;
}

void decide(benchmark::State& state, TGame* g) {
  if (!g) return;
  Svc().scene->SeedRandom15(1);
  for (auto _ : state) {
    AimRecord aim;
    ResetAimRecord(&aim);
    aim.stage = 2;
    ComputerGolferPlay(&aim);
    benchmark::DoNotOptimize(aim.power);
  }
  DeleteCurrentGame();
  removeHoleFiles();
}

void BM_DecideLongTeeShot(benchmark::State& state) { decide(state, ready(400)); }
BENCHMARK(BM_DecideLongTeeShot)->Unit(benchmark::kMillisecond);

void BM_DecidePutt(benchmark::State& state) {
  TGame* g = ready(170);
  TPlayer* p = g->players->GetPlayer(0);
  PlaceBallAt(p, Vector3{g->pinPosition.x + 3.0f, g->pinPosition.y - 6.0f, 0.0f});
  decide(state, g);
}
BENCHMARK(BM_DecidePutt)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

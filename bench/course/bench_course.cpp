// The course catalogue over 50 installed courses, and one demo hole loaded (target: a hole ready in under
// 50 ms on one core).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "course/catalogue.h"
#include "course/holedata.h"
#include "course/terrain.h"
#include "holes.h"
#include "holewriter.h"
#include "winapi/testing.h"

namespace {

const std::string& Installation() {
  static const std::string root = [] {
    char pattern[] = "/tmp/teebox_bench_course_XXXXXX";
    const std::string r = mkdtemp(pattern);
    for (int i = 0; i < 50; ++i) {
      CourseFile c;
      c.folder = "COURSE" + std::to_string(i);
      c.title = "Course number " + std::to_string(i) + "^A course of the benchmark";
      c.disc = "DISC" + std::to_string(i % 3);
      const std::string folder = r + "/DATA/COURSES/" + c.folder;
      std::filesystem::create_directories(folder);
      std::ofstream(folder + "/COURSE.DAT", std::ios::binary) << FormatCourseFile(c);
    }
    holewriter::WriteHole(mkdemo::GenerateHole(mkdemo::SedgefenPlans()[1]).terrain, r + "/DATA/COURSES/COURSE0/HOLE02");
    winapi::testing::MapDrive('C', r);
    SetCourseListRoots("C:\\", "");
    return r;
  }();
  return root;
}

void BM_BuildCourseList50(benchmark::State& state) {
  Installation();
  for (auto _ : state) {
    CreateCourseList();
    BuildCourseList();
    benchmark::DoNotOptimize(GetCourseCount());
  }
  if (GetCourseCount() != 50) state.SkipWithError("the catalogue did not list 50 courses");
  FreeCourseList();
}
BENCHMARK(BM_BuildCourseList50)->Unit(benchmark::kMillisecond);

void BM_LoadDemoHole(benchmark::State& state) {
  const std::string path = Installation() + "/DATA/COURSES/COURSE0/HOLE02.hnf";
  for (auto _ : state) {
    if (LoadHoleData(path) != kHoleOk) state.SkipWithError("the hole did not load");
    benchmark::DoNotOptimize(CurrentTerrain().cellCount());
  }
  FreeHoleTerrain();
}
BENCHMARK(BM_LoadDemoHole)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(Installation());
  return 0;
}

// The course catalogue over 50 installed courses, and one demo hole loaded (target: a hole ready in under
// 50 ms on one core).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "course/holedata.h"
#include "course/terrain.h"
#include "demo.h"
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
  winapi::testing::MapDrive('C', Installation());
  SetCourseListRoots("C:\\", "");
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
  // The loader takes the game's Windows paths.
  winapi::testing::MapDrive('C', Installation());
  const std::string path = "C:\\DATA\\COURSES\\COURSE0\\HOLE02.hnf";
  for (auto _ : state) {
    if (LoadHoleData(path) != kHoleOk) state.SkipWithError("the hole did not load");
    benchmark::DoNotOptimize(CurrentTerrain().cellCount());
  }
  FreeHoleTerrain();
}
BENCHMARK(BM_LoadDemoHole)->Unit(benchmark::kMillisecond);

// The demo installation with 49 more courses beside SEDGEFEN: the catalogue is built, SEDGEFEN loaded (score
// card, scene data) and its practice hole made ready (hole files from its archive, header, object-line tables).
const std::string& DemoInstallation() {
  static const std::string root = [] {
    char pattern[] = "/tmp/teebox_bench_demo_XXXXXX";
    const std::string r = mkdtemp(pattern);
    std::string error;
    if (!mkdemo::MakeDemoInstallation(r, {}, error)) return std::string();
    for (int i = 1; i < 50; ++i) {
      CourseFile c;
      c.folder = "COURSE" + std::to_string(i);
      c.title = "Course number " + std::to_string(i);
      const std::string folder = r + "/DATA/COURSES/" + c.folder;
      std::filesystem::create_directories(folder);
      std::ofstream(folder + "/COURSE.DAT", std::ios::binary) << FormatCourseFile(c);
    }
    return r;
  }();
  return root;
}

// SEDGEFEN of the demo installation made current; false when it cannot be.
bool LoadSedgefen() {
  if (DemoInstallation().empty()) return false;
  winapi::testing::MapDrive('C', DemoInstallation());
  SetCourseListRoots("C:\\", "");
  CreateCourseList();
  BuildCourseList();
  CourseRecord record{};
  return GetCourseInfo(FindCourseByName("SEDGEFEN"), &record) == 0 && LoadCourse(record) == kCourseLoadOk;
}

void Unload() {
  UnloadCourse();
  FreeHoleTerrain();
  FreeCourseList();
}

void BM_CatalogueCourseAndHole(benchmark::State& state) {
  if (DemoInstallation().empty()) return state.SkipWithError("mkdemo failed");
  winapi::testing::MapDrive('C', DemoInstallation());
  SetCourseListRoots("C:\\", "");
  for (auto _ : state) {
    CreateCourseList();
    BuildCourseList();
    CourseRecord record{};
    GetCourseInfo(FindCourseByName("SEDGEFEN"), &record);
    if (GetCourseCount() != 50 || LoadCourse(record) != kCourseLoadOk || LoadCourseHole(1) != kHoleOk)
      return state.SkipWithError("the course or its hole did not load");
    benchmark::DoNotOptimize(CurrentHoleScene().objectLines[0].entries.size());
  }
  Unload();
}
BENCHMARK(BM_CatalogueCourseAndHole)->Unit(benchmark::kMillisecond);

// A hole of the loaded course alone, and its preprocessing alone.
void BM_CourseHole(benchmark::State& state) {
  if (!LoadSedgefen()) return state.SkipWithError("the course did not load");
  for (auto _ : state)
    if (LoadCourseHole(1) != kHoleOk) return state.SkipWithError("the hole did not load");
  Unload();
}
BENCHMARK(BM_CourseHole)->Unit(benchmark::kMillisecond);

void BM_HolePreprocessing(benchmark::State& state) {
  if (!LoadSedgefen() || LoadCourseHole(1) != kHoleOk) return state.SkipWithError("the hole did not load");
  for (auto _ : state) benchmark::DoNotOptimize(BuildHolePreprocessing(CurrentHoleScene()));
  Unload();
}
BENCHMARK(BM_HolePreprocessing)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(Installation());
  if (!DemoInstallation().empty()) std::filesystem::remove_all(DemoInstallation());
  return 0;
}

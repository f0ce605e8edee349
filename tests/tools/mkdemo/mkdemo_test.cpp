// The demo installation: the same bytes on every run, swapped into place whole, readable by the game's own
// loaders, and enough for the program to start on.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "course/catalogue.h"
#include "course/holedata.h"
#include "course/terrain.h"
#include "demo.h"
#include "holes.h"
#include "support/demo_installation.h"
#include "platformlib/bigfile/bigfile.h"
#include "platformlib/shapes/shapes.h"
#include "winapi/testing.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file below `root` by its relative path, with its bytes; folders as entries without bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    out[rel] = e.is_regular_file() ? ReadFile(e.path()) : std::string("<folder>");
  }
  return out;
}

class MkdemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/teebox_mkdemo_XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Make(const std::string& name, const mkdemo::DemoOptions& options = {}) {
    const std::string folder = root_ + "/" + name;
    std::string error;
    EXPECT_TRUE(mkdemo::MakeDemoInstallation(folder, options, error)) << error;
    return folder;
  }
  // The whole installation, for tests of what it holds rather than of how it is made: shared through the cache.
  std::string Made(const std::string& name) {
    const std::string folder = root_ + "/" + name;
    std::string error;
    EXPECT_TRUE(MakeDemoInstallationCached(folder, {}, error)) << error;
    return folder;
  }
  std::string root_;
};

TEST_F(MkdemoTest, TwoRunsGiveByteIdenticalTrees) {
  const auto a = Tree(Make("a")), b = Tree(Make("b"));
  EXPECT_EQ(a.size(), b.size());
  for (const auto& [path, bytes] : a) {
    auto it = b.find(path);
    ASSERT_NE(it, b.end()) << path;
    EXPECT_TRUE(it->second == bytes) << path << " differs";
  }
  // What the start-up checks, the fonts it loads, both course folders; no temporary folder is left.
  for (const char* path : {"DATA/MENUS/load.fsh", "DATA/FONTS/vavodu14.ffn", "DATA/FONTS/HAL8b.ffn", "DATA/UI", "DATA/UI640",
                           "DATA/UI800", "DATA/GOLFER/SINGLE", "Players", "DATA/COURSES/SEDGEFEN/COURSE.DAT",
                           "DATA/COURSES/SEDGEFEN/HOLE18.viv", "DATA/COURSES/SEDGEFEN/SCRCARD.ASC",
                           "DATA/COURSES/SEDGEFEN/practice.dat", "DATA/COURSES/RANGE/COURSE.DAT",
                           "DATA/COURSES/RANGE/HOLE01.viv",
                           "DATA/COURSES/SEDGEFEN/SEDGEFEN.viv", "DATA/COURSES/SEDGEFEN/DISK.DAT",
                           "DATA/COURSES/SEDGEFEN/course.hnf", "DATA/COURSES/SEDGEFEN/gallery.inf"})
    EXPECT_TRUE(a.count(path)) << path;
  for (const auto& [path, bytes] : a) EXPECT_EQ(path.find(".mkdemo-tmp"), std::string::npos) << path;
}

TEST_F(MkdemoTest, TheLoadingPictureIsASoundShapeFile) {
  mkdemo::DemoOptions fewer;
  fewer.holes = 1;
  const std::string file = ReadFile(Make("game", fewer) + "/DATA/MENUS/load.fsh");
  const char* error = nullptr;
  ASSERT_EQ(checkshapefile(file.data(), file.size(), &error), 1) << error;
  const uint8_t* picture = findshape(file.data(), "grfx");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(shapetypedepth(picture[0]), 16);
}

TEST_F(MkdemoTest, ARunReplacesDataAndKeepsThePlayersFiles) {
  const std::string folder = Made("game");
  std::ofstream(folder + "/Players/Ann.amt") << "golfer";
  std::ofstream(folder + "/LastGame.dat") << "game";
  std::ofstream(folder + "/DATA/COURSES/SEDGEFEN/stale.txt") << "old";
  mkdemo::DemoOptions fewer;
  fewer.holes = 3;
  Make("game", fewer);
  EXPECT_EQ(ReadFile(folder + "/Players/Ann.amt"), "golfer");
  EXPECT_EQ(ReadFile(folder + "/LastGame.dat"), "game");
  EXPECT_FALSE(fs::exists(folder + "/DATA/COURSES/SEDGEFEN/stale.txt"));
  EXPECT_TRUE(fs::exists(folder + "/DATA/COURSES/SEDGEFEN/HOLE03.viv"));
  EXPECT_FALSE(fs::exists(folder + "/DATA/COURSES/SEDGEFEN/HOLE04.viv"));
  for (const auto& e : fs::directory_iterator(folder))
    EXPECT_EQ(e.path().filename().string().find(".mkdemo-tmp"), std::string::npos);
}

TEST_F(MkdemoTest, AFailedRunLeavesThePreviousInstallation) {
  mkdemo::DemoOptions fewer;
  fewer.holes = 1;
  const std::string folder = Make("game", fewer);
  std::ofstream(folder + "/DATA/mark.txt") << "previous";
  mkdemo::DemoOptions broken;
  broken.fontFolder = root_ + "/no-fonts-here";
  std::string error;
  EXPECT_FALSE(mkdemo::MakeDemoInstallation(folder, broken, error));
  EXPECT_NE(error.find("console-setup-linux"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(folder + "/DATA/mark.txt"), "previous");
  for (const auto& e : fs::directory_iterator(folder))
    EXPECT_EQ(e.path().filename().string().find(".mkdemo-tmp"), std::string::npos);
}

TEST_F(MkdemoTest, ArchivesHoldTheSameFilesAsTheLooseForm) {
  mkdemo::DemoOptions loose, packed;
  loose.holes = packed.holes = 2;
  loose.archives = false;
  const std::string a = Make("loose", loose) + "/DATA/COURSES/", b = Make("packed", packed) + "/DATA/COURSES/";
  for (const char* hole : {"SEDGEFEN/HOLE01", "SEDGEFEN/HOLE02", "RANGE/HOLE01"}) {
    SCOPED_TRACE(hole);
    const std::string big = ReadFile(b + hole + ".viv");
    ASSERT_EQ(typeofbigfilen(big.data(), big.size()), 2);
    EXPECT_EQ(bigentrycount(big.data()), 11u);
    const std::string base = fs::path(hole).filename().string();
    for (const char* ext : {".MIS", ".QZH", ".QF1", ".QF2", ".QF4", ".QF8", ".QMD", ".QMT", ".QMB", ".QM2", ".HDR"}) {
      uint32_t offset = 0, size = 0;
      ASSERT_NE(findbigentryn(big.data(), big.size(), (base + ext).c_str(), 0, &offset, &size), nullptr) << ext;
      // Packed where that makes a file smaller, as the height and cell grids always are; the header stays text.
      std::string entry = big.substr(offset, size);
      const uint32_t unpacked = getunpacksizen(entry.data(), entry.size());
      const std::string e = ext;
      if (e == ".QZH" || e == ".QF1") {
        EXPECT_NE(unpacked, 0u) << ext;
      }
      if (e == ".HDR") {
        EXPECT_EQ(unpacked, 0u) << ext;
      }
      if (unpacked) {
        std::string out(unpacked, '\0');
        ASSERT_EQ(decompressn(entry.data(), entry.size(), out.data(), unpacked), unpacked) << ext;
        entry = out;
      }
      EXPECT_TRUE(entry == ReadFile(a + hole + ext)) << ext;
      EXPECT_FALSE(fs::exists(b + hole + ext)) << ext;
    }
  }
}

uint8_t SurfaceAt(uint32_t cell) { return TerrainCell(cell)[2] & 0xF0; }

TEST_F(MkdemoTest, EveryHoleLoadsWithTeesPinsAndItsHazards) {
  const std::string folder = Made("game");
  // The game reads its holes by the installation's paths, as drive C.
  winapi::testing::MapDrive('C', folder);
  const auto& plans = mkdemo::SedgefenPlans();
  ASSERT_EQ(plans.size(), 18u);
  int par = 0;
  for (int h = 1; h <= 19; ++h) {
    char name[32];
    std::snprintf(name, sizeof name, "HOLE%02d.hnf", h == 19 ? 1 : h);
    const std::string path = std::string(h == 19 ? "C:\\DATA\\COURSES\\RANGE\\" : "C:\\DATA\\COURSES\\SEDGEFEN\\") + name;
    SCOPED_TRACE(path);
    ASSERT_EQ(LoadHoleData(path), kHoleOk);
    const HoleRecord& r = CurrentHoleRecord();
    const TerrainGrid& g = CurrentTerrain();
    EXPECT_EQ(r.teeSetCount, 4u);
    for (int k = 0; k < 4; ++k) {
      ASSERT_NE(r.teeStart[k], 0u);
      ASSERT_NE(r.pins[k], 0u);
      EXPECT_EQ(SurfaceAt(r.teeStart[k]), 0x60);
      EXPECT_EQ(SurfaceAt(r.pins[k]), 0x70);
    }
    std::map<int, int> surfaces;
    int objects = 0;
    for (size_t i = 0; i < g.cellCount(); ++i) {
      ++surfaces[TerrainCell(i)[2] >> 4];
      const uint8_t code = TerrainCell(i)[3];
      if (code >= mkdemo::kFirstTreeCode && code < mkdemo::kFirstBushCode + mkdemo::kBushKinds) ++objects;
      const float height = static_cast<float>(static_cast<int32_t>(g.heights[i])) / 65536.0f;
      ASSERT_TRUE(std::isfinite(height) && std::fabs(height) < 20.0f) << i;
    }
    EXPECT_GT(objects, 20);
    EXPECT_GT(surfaces[mkdemo::kGreen], 100);
    // Par 3s have only an apron short of the green.
    const bool short3 = h != 19 && plans[static_cast<size_t>(h - 1)].par == 3;
    EXPECT_GT(surfaces[mkdemo::kFairway], short3 ? 20 : 500);
    EXPECT_GT(surfaces[mkdemo::kOutOfBounds], 0);
    if (h == 19) continue;
    const mkdemo::HolePlan& plan = plans[static_cast<size_t>(h - 1)];
    par += plan.par;
    EXPECT_EQ(surfaces[mkdemo::kWaterSurface] > 0, plan.water != mkdemo::Water::None);
    EXPECT_GT(surfaces[mkdemo::kBunker], 0);
    // The back tee lies the hole's length from the green's centre, near enough along the line of play.
    const uint32_t tee = r.teeStart[0], pin = r.pins[0];
    const double dx = double(tee % g.width) - double(pin % g.width), dz = double(tee / g.width) - double(pin / g.width);
    EXPECT_NEAR(std::hypot(dx, dz), plan.length, plan.length * 0.1);
  }
  EXPECT_EQ(par, 72);
  // The practice hole carries every surface the first scene needs.
  ASSERT_EQ(LoadHoleData("C:\\DATA\\COURSES\\SEDGEFEN\\HOLE02.hnf"), kHoleOk);
  std::map<int, int> surfaces;
  for (size_t i = 0; i < CurrentTerrain().cellCount(); ++i) ++surfaces[TerrainCell(i)[2] >> 4];
  for (int s : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11}) EXPECT_GT(surfaces[s], 0) << "surface " << s;
  FreeHoleTerrain();
}

TEST_F(MkdemoTest, TheCatalogueListsSedgefenAndTheRange) {
  const std::string folder = Made("game");
  winapi::testing::MapDrive('C', folder);
  SetCourseListRoots("C:\\", "");
  ASSERT_EQ(CreateCourseList(), kCourseListOk);
  ASSERT_EQ(BuildCourseList(), kCourseListOk);
  EXPECT_TRUE(CourseListProblems().empty());
  ASSERT_EQ(GetCourseCount(), 1);
  CourseRecord r;
  ASSERT_EQ(GetCourseInfo(FindCourseByName("SEDGEFEN"), &r), 0);
  EXPECT_EQ(r.holeCount, 18u);
  EXPECT_EQ(CourseOnHardDisk(&r), 1);
  EXPECT_STREQ(r.disc, "SEDGEDSC");
  ASSERT_NE(GetDrivingRangeRecord(), nullptr);
  FreeCourseList();
  winapi::testing::ResetFiles();
}

#ifdef TEEBOX_PROGRAM
// Runs the program headless on the installation; its exit status, or -1 when it did not end normally.
int RunProgram(const std::string& folder, const std::string& scratch, const char* option) {
  const pid_t child = fork();
  if (child == 0) {
    std::freopen((scratch + "/stderr.txt").c_str(), "w", stderr);
    setenv("WINAPI_HOST", "headless", 1);
    setenv("WINAPI_DRIVE_C", folder.c_str(), 1);
    setenv("WINAPI_MODULE_FILE", "C:\\teebox.exe", 1);
    setenv("WINAPI_REGISTRY", (scratch + "/registry.txt").c_str(), 1);
    setenv("WINAPI_CLOSE_AFTER_FRAMES", "30", 1);
    if (chdir(folder.c_str()) != 0) _exit(126);
    execl(TEEBOX_PROGRAM, TEEBOX_PROGRAM, option, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(MkdemoTest, TheProgramStartsOnAFreshInstallation) {
  const std::string folder = Made("game");
  EXPECT_EQ(RunProgram(folder, root_, "/NOINTRO"), 0) << ReadFile(root_ + "/stderr.txt");
  EXPECT_NE(ReadFile(folder + "/ZQLog.Log").find("Game started"), std::string::npos);
}

// The title screen draws the build text in the demo's "vavodu14.ffn" (its white is a pixel of the display's depth).
TEST_F(MkdemoTest, TheProgramShowsItsTitleScreenWithTheDemoFonts) {
  const std::string folder = Made("game");
  EXPECT_EQ(RunProgram(folder, root_, "/bogus"), 0) << ReadFile(root_ + "/stderr.txt");
  EXPECT_NE(ReadFile(folder + "/ZQLog.Log").find("Game started"), std::string::npos);
}
#endif

}  // namespace

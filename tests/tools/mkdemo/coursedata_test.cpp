// The demo course through the course loader: the course record, the scene records, a hole with its header and
// object-line tables, and the catalogue provider that rounds ask for their holes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "course/holedata.h"
#include "course/install.h"
#include "course/terrain.h"
#include "datapack/datapack.h"
#include "framework/core/bigfileio.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "framework/core/services.h"
#include "holes.h"
#include "platformlib/shapes/shapes.h"
#include "winapi/testing.h"

namespace fs = std::filesystem;

namespace {

class CourseDataTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/teebox_coursedata_XXXXXX";
    root_ = mkdtemp(pattern);
    std::string error;
    ASSERT_TRUE(MakeDemoInstallationCached(root_ + "/packed", {}, error)) << error;
    mkdemo::DemoOptions loose;
    loose.archives = false;
    ASSERT_TRUE(MakeDemoInstallationCached(root_ + "/loose", loose, error)) << error;
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  void Use(const std::string& form) {
    winapi::testing::MapDrive('C', root_ + "/" + form);
    SetCourseListRoots("C:\\", "");
    ASSERT_EQ(CreateCourseList(), kCourseListOk);
    ASSERT_EQ(BuildCourseList(), kCourseListOk);
  }
  void TearDown() override {
    UnloadCourse();
    FreeHoleTerrain();
    FreeCourseList();
    winapi::testing::ResetFiles();
  }
  static CourseRecord Sedgefen() {
    CourseRecord r{};
    EXPECT_EQ(GetCourseInfo(FindCourseByName("SEDGEFEN"), &r), 0);
    return r;
  }
  static std::string root_;
};
std::string CourseDataTest::root_;

TEST_F(CourseDataTest, TheCourseRecordHoldsTheScoreCard) {
  Use("packed");
  std::string error;
  ASSERT_EQ(LoadCourse(Sedgefen(), &error), kCourseLoadOk) << error;
  const LoadedCourse& c = CurrentCourse();
  ASSERT_TRUE(c.loaded);
  EXPECT_EQ(c.disk.archives, std::vector<std::string>{"SEDGEFEN.viv"});
  int par = 0;
  std::set<int> indexes;
  for (int h = 0; h < 18; ++h) {
    const mkdemo::HolePlan& plan = mkdemo::SedgefenPlans()[static_cast<size_t>(h)];
    EXPECT_EQ(c.card.par[h], plan.par) << h;
    EXPECT_EQ(CoursePar(h), plan.par);
    par += c.card.par[h];
    indexes.insert(c.card.strokeIndex[h]);
    // Back tees are the longest; the card's yards are within a tenth of the plan.
    EXPECT_NEAR(c.card.yards[0][h], plan.length, plan.length * 0.1) << h;
    EXPECT_GE(c.card.yards[0][h], c.card.yards[3][h]);
    EXPECT_EQ(c.gallery[static_cast<size_t>(h)].size(), 2u);
  }
  EXPECT_EQ(par, 72);
  EXPECT_EQ(indexes.size(), 18u);
  EXPECT_GT(c.card.ratings[0], 60 << 16);
  EXPECT_LT(c.card.ratings[0], 80 << 16);
  EXPECT_EQ(CourseHoleFile(1), "C:\\DATA\\COURSES\\SEDGEFEN\\HOLE02.MIS");
  EXPECT_EQ(CourseHoleFile(18), "");
}

TEST_F(CourseDataTest, TheSceneRecordsHoldEverythingTheFirstSceneDraws) {
  Use("packed");
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  const CourseSceneData& s = CurrentCourseScene();
  ASSERT_TRUE(s.loaded);
  EXPECT_EQ(s.palette[255], 0xFFFF00FFu);
  // Light tables darken: level 0 below level 15 for a fairway colour.
  const uint8_t fairway = s.textures[1].image.pixels()[0];
  EXPECT_LT(s.lightTables[0][fairway] >> 11, s.lightTables[15][fairway] >> 11);
  EXPECT_EQ(s.shadeColours[15], 0xFFFFFFFFu);
  for (int t = 0; t <= 16; ++t) {
    SCOPED_TRACE(t);
    const CourseImage& image = s.textures[static_cast<size_t>(t)].image;
    ASSERT_TRUE(image.present());
    EXPECT_EQ(image.width(), 64);
    EXPECT_EQ(image.height(), 64);
    const uint8_t* clut = getshapeclut(image.data());
    ASSERT_NE(clut, nullptr);
    EXPECT_EQ(clut[0], 0x2A);
  }
  for (int type : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, kPinObjectType, kFlagObjectType}) {
    SCOPED_TRACE(type);
    const ObjectType& o = s.objectTypes[static_cast<size_t>(type)];
    ASSERT_TRUE(o.present);
    EXPECT_GT(o.image.height(), 10);
    EXPECT_GT(o.worldHeight, 1 << 16);
    EXPECT_EQ(o.image.pixels()[0], 255) << "the corner above the object is transparent";
    EXPECT_EQ(HoleObjectTable()[static_cast<size_t>(type)].shape[0], type);
  }
  EXPECT_FALSE(s.objectTypes[11].present);
  EXPECT_EQ(s.horizonCount, 12);
  EXPECT_EQ(s.horizon[3].surface, 0x50);
  EXPECT_EQ(s.horizon[0].surface, 0x40);
  EXPECT_EQ(s.tallestHorizon, 48);
  EXPECT_TRUE(s.skyDome);
  EXPECT_EQ(s.skyKind, 2);
  EXPECT_EQ(s.skyTop.size(), 4u);
  EXPECT_EQ(s.skyBottom.size(), 4u);
  EXPECT_EQ(s.lieNames[12], "E.S.H.");
}

TEST_F(CourseDataTest, LooseFilesAndArchivesGiveTheSameCourse) {
  Use("loose");
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  const CourseSceneData loose = CurrentCourseScene();
  const CourseCard card = CurrentCourse().card;
  UnloadCourse();
  FreeCourseList();
  Use("packed");
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  EXPECT_EQ(CurrentCourseScene().palette, loose.palette);
  EXPECT_EQ(CurrentCourseScene().textures[7].image.shape, loose.textures[7].image.shape);
  EXPECT_EQ(CurrentCourseScene().objectTypes[92].image.shape, loose.objectTypes[92].image.shape);
  EXPECT_EQ(std::memcmp(&CurrentCourse().card, &card, sizeof card), 0);
}

TEST_F(CourseDataTest, AHoleLoadsWithItsHeaderAndObjectLines) {
  Use("packed");
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  ASSERT_EQ(LoadCourseHole(1), kHoleOk);
  const HoleSceneData& hole = CurrentHoleScene();
  const TerrainGrid& g = CurrentTerrain();
  ASSERT_TRUE(hole.loaded);
  EXPECT_EQ(hole.hole, 2);
  EXPECT_EQ(hole.header.flags & 1u, mkdemo::SedgefenPlans()[1].par >= 4 ? 1u : 0u);
  EXPECT_EQ(hole.header.defaultSurface, 0x40);
  EXPECT_EQ(hole.header.horizonHeight, 2 << 16);
  EXPECT_EQ(hole.header.pinVertex[1], CurrentHoleRecord().pins[0]);
  EXPECT_EQ(hole.coarseDetailTiles.size(), g.detailTiles.size());
  size_t objects = 0, buildings = 0;
  for (size_t i = 0; i < g.cellCount(); ++i) {
    const uint8_t code = TerrainCell(i)[3];
    if (code == mkdemo::kBuildingCode) ++buildings;
    if (code != 0 && code < 0x80 && CurrentCourseScene().objectTypes[code].present) ++objects;
  }
  EXPECT_EQ(buildings, 1u);
  for (int o = 0; o < 8; ++o) {
    SCOPED_TRACE(o);
    const ObjectLineTable& t = hole.objectLines[static_cast<size_t>(o)];
    ASSERT_EQ(t.lineCount(), size_t{g.width} + g.depth - 1);
    EXPECT_EQ(t.entries.size(), objects + 4);  // and the four pins
    EXPECT_GT(objects, 20u);
    const bool byRow = o == 2 || o == 6, up = o == 0 || o == 1 || o == 2 || o == 7;
    for (size_t n = 0; n < t.lineCount(); ++n)
      for (uint32_t k = t.lineStart[n]; k < t.lineStart[n + 1]; ++k) {
        const ObjectLineEntry& e = t.entries[k];
        const uint32_t x = byRow ? e.across : e.along, z = byRow ? e.along : e.across;
        ASSERT_EQ(ObjectLineNumber(o, x, z, g.width, g.depth), n);
        const uint8_t code = TerrainCell(size_t{z} * g.width + x)[3];
        EXPECT_TRUE(e.kind == code || (e.kind == kPinObjectType && code >= 83 && code <= 86));
        if (k > t.lineStart[n]) {
          EXPECT_TRUE(up ? t.entries[k - 1].along <= e.along : t.entries[k - 1].along >= e.along);
        }
      }
  }
}

// Hole files packed in one of the archives DISK.DAT lists load like loose ones.
TEST_F(CourseDataTest, HolesLoadFromTheCoursesArchives) {
  const std::string folder = root_ + "/inarchive";
  fs::copy(root_ + "/loose", folder, fs::copy_options::recursive);
  const std::string course = folder + "/DATA/COURSES/SEDGEFEN/";
  std::vector<datapack::BigEntry> entries;
  for (const char* ext : {".MIS", ".QZH", ".QF1", ".QF2", ".QF4", ".QF8", ".QMD", ".QMT", ".QMB", ".QM2", ".HDR"}) {
    std::ifstream in(course + "HOLE02" + ext, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    entries.push_back({std::string("HOLE02") + ext, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    fs::remove(course + "HOLE02" + ext);
  }
  const std::vector<uint8_t> big = datapack::writebigfile(2, entries);
  std::ofstream(course + "BACK9.viv", std::ios::binary).write(reinterpret_cast<const char*>(big.data()),
                                                              static_cast<std::streamsize>(big.size()));
  std::ofstream(course + "DISK.DAT", std::ios::binary) << "DISK 1\narchive MISSING.viv\narchive BACK9.viv\n";
  Use("inarchive");
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  ASSERT_EQ(LoadCourseHole(1), kHoleOk);
  EXPECT_EQ(CurrentHoleScene().hole, 2);
  EXPECT_EQ(CurrentHoleScene().header.horizonHeight, 2 << 16);
  EXPECT_EQ(BigFileCurrentArchive(), nullptr) << "no archive is left current";
  // Without the archive in DISK.DAT the hole is not found.
  std::ofstream(course + "DISK.DAT", std::ios::binary) << "DISK 1\n";
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  EXPECT_EQ(LoadCourseHole(1), kHoleFileError);
  // A damaged hole header refuses its hole.
  std::ofstream(course + "HOLE03.HDR", std::ios::binary) << "HOLEHDR 1\nflags 1\nflags 2\n";
  EXPECT_EQ(LoadCourseHole(2), kHoleFileError);
  EXPECT_FALSE(CurrentHoleScene().loaded);
  std::ofstream(course + "HOLE03.HDR", std::ios::binary) << "HOLEHDR 1\nflags 1\n";
  EXPECT_EQ(LoadCourseHole(2), kHoleOk);
  EXPECT_TRUE(CurrentHoleScene().loaded);
}

TEST_F(CourseDataTest, ADamagedCourseFileIsRefusedAndThePreviousCourseStays) {
  Use("loose");
  ASSERT_EQ(LoadCourse(Sedgefen()), kCourseLoadOk);
  const std::string card = root_ + "/loose/DATA/COURSES/SEDGEFEN/SCRCARD.ASC";
  const std::string hnf = root_ + "/loose/DATA/COURSES/SEDGEFEN/course.hnf";
  const auto read = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string saved[2] = {read(card), read(hnf)};
  const struct {
    std::string path, text, reason;
  } kCases[] = {
      {card, saved[0].substr(0, saved[0].size() / 2), "not ended by a line break"},
      {card, "SCRCARD 1\nhole 1 4 1 400 380 360 330\n", "hole 2 is missing"},
      {hnf, saved[1] + "texture 3 t003\n", "texture 3 given twice"},
      {hnf, saved[1] + "object 20 zzzz - 5.0 1 1 ghost\n", "no image \"zzzz\""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.reason);
    std::ofstream(c.path, std::ios::binary) << c.text;
    std::string error;
    EXPECT_EQ(LoadCourse(Sedgefen(), &error), kCourseLoadFailed);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_TRUE(CurrentCourse().loaded);
    EXPECT_EQ(CurrentCourse().card.par[0], mkdemo::SedgefenPlans()[0].par);
    EXPECT_TRUE(CurrentCourseScene().objectTypes[1].present);
    std::ofstream(card, std::ios::binary) << saved[0];
    std::ofstream(hnf, std::ios::binary) << saved[1];
  }
}

TEST_F(CourseDataTest, TheCatalogueProviderAnswersFromTheCurrentCourse) {
  Use("packed");
  ResetServices();
  InstallCourseServices();
  CourseCatalogueProvider& catalogue = *Svc().catalogue;
  // Without a game the first installed course is made current on the way.
  EXPECT_EQ(catalogue.HoleFile(0, 1), "C:\\DATA\\COURSES\\SEDGEFEN\\HOLE02.MIS");
  EXPECT_TRUE(catalogue.SetCurrentCourse());
  EXPECT_STREQ(catalogue.CurrentCourseDisc(), "SEDGEDSC");
  EXPECT_EQ(catalogue.CurrentCourseDataFile(), nullptr);
  for (int h = 0; h < 18; ++h) EXPECT_EQ(catalogue.HolePar(h), mkdemo::SedgefenPlans()[static_cast<size_t>(h)].par);
  ASSERT_EQ(LoadHoleData(catalogue.HoleFile(0, 4)), kHoleOk);
  EXPECT_EQ(CurrentHoleScene().hole, 5);
  ResetServices();
}

}  // namespace

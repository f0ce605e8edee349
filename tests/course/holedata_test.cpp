#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "course/holedata.h"
#include "course/terrain.h"
#include "datapack/datapack.h"
#include "framework/core/bigfileio.h"
#include "framework/core/services.h"
#include "holewriter.h"
#include "support/drive_fixture.h"

namespace {

using holewriter::HoleDescription;

struct FakeGame : HoleLoadGame {
  int tee = 0;
  bool allTees = false;
  bool crowd = true;
  int SelectedTeeSet() const override { return tee; }
  void SetSelectedTeeSet(int t) override { tee = t; }
  bool ShowsAllTeeSets() const override { return allTees; }
  bool ShowsCrowdAndScenery() const override { return crowd; }
};

const uint8_t* g_archiveDuringLoad = nullptr;
int recordArchive() {
  g_archiveDuringLoad = BigFileCurrentArchive();
  return 0;
}

// A front end whose notices the test answers; busy pointer and suppression as the null front end keeps them.
class NoticeFrontEnd : public FrontEndProvider {
 public:
  std::function<int(const std::string&)> shower;
  int ShowNotice(const std::string& text) override {
    if (DialogsSuppressed()) return 1;
    return shower ? shower(text) : 1;
  }
};

// An archive of the given entries, written to a host file.
void WriteArchive(const std::string& hostPath, const std::vector<datapack::BigEntry>& entries) {
  const datapack::Bytes big = datapack::writebigfile(2, entries);
  std::ofstream(hostPath, std::ios::binary).write(reinterpret_cast<const char*>(big.data()),
                                                  static_cast<std::streamsize>(big.size()));
}

// The hole's files as archive entries named base + extension.
std::vector<datapack::BigEntry> HoleEntries(const holewriter::HoleDescription& h, const std::string& name) {
  std::vector<datapack::BigEntry> entries;
  for (const holewriter::HoleFile& f : holewriter::EncodeHole(h)) entries.push_back({name + f.extension, f.bytes});
  return entries;
}

// Hole files live on drive C: `base` is the name the game uses, `host` where the files are.
class HoleDataTest : public DriveTest {
 protected:
  NoticeFrontEnd frontEnd;

  void SetUp() override {
    DriveTest::SetUp();
    dir = root_ + "/c/Course";
    std::filesystem::create_directories(dir);
    host = dir + "/HOLE02";
    base = "C:\\Course\\HOLE02";
    // The hole's own archive is there but holds none of its files: they come from the folder.
    WriteArchive(host + ".viv", {{"README.TXT", {'h', 'i'}}});
    SetHoleLoadGame(&game);
    HoleObjectTable().clear();
    Services providers;
    providers.frontEnd = &frontEnd;
    InstallServices(providers);
    Facts().hardwareDisplay = 0;
    SetCourseWaterSurface(255);
    SetTerrainPreprocessSteps(nullptr, nullptr);
  }
  void TearDown() override {
    SetHoleLoadGame(nullptr);
    ResetServices();
    Facts().hardwareDisplay = 0;
    SetTerrainPreprocessSteps(nullptr, nullptr);
    HoleObjectTable().clear();
    FreeHoleTerrain();
    while (BigFileCurrentArchive() != nullptr) BigFileCloseArchive();
    DriveTest::TearDown();
  }
  int load(const HoleDescription& h) {
    EXPECT_TRUE(holewriter::WriteHole(h, host));
    return LoadHoleData(base + ".hnf");
  }
  void defineObject(uint8_t code, uint8_t footprint) {
    if (HoleObjectTable().size() <= code) HoleObjectTable().resize(code + 1u);
    HoleObjectTable()[code] = HoleObject{{1, 0}, {footprint, 0}};
  }
  uint8_t code(uint32_t c, uint32_t r) { return TerrainCell(static_cast<size_t>(r) * CurrentTerrain().width + c)[3]; }

  FakeGame game;
  std::string dir, host, base;
};

TEST_F(HoleDataTest, LoadsAHoleIntoTheGrid) {
  HoleDescription h = holewriter::FlatHole(16, 12, 1);
  h.heights[h.index(3, 4)] = 2.5f;
  h.surfaces[h.index(5, 6)] = 0x70;
  ASSERT_EQ(load(h), kHoleOk);
  const TerrainGrid& g = CurrentTerrain();
  EXPECT_EQ(g.width, 16u);
  EXPECT_EQ(g.depth, 12u);
  EXPECT_EQ(CurrentHoleRecord().width, 16u);
  EXPECT_FALSE(g.floatHeights);
  Vector3 p;
  EXPECT_FLOAT_EQ(GridPointToWorld(3, 4, &p)->z, 2.5f);
  EXPECT_EQ(GetGridCellSurface(5, 6), 0x70);
  EXPECT_EQ(g.levelCells[0].size(), 8u * 6u * 4u);
  EXPECT_EQ(g.levelCells[2].size(), 2u * 2u * 4u);
}

TEST_F(HoleDataTest, ResultCodes) {
  EXPECT_EQ(LoadHoleData(base), kHoleNoExtension);
  EXPECT_EQ(LoadHoleData("C:\\Course\\x.d\\HOLE02"), kHoleNoExtension);
  HoleDescription h = holewriter::FlatHole(16, 16);
  ASSERT_TRUE(holewriter::WriteHole(h, host));
  std::ofstream(host + ".MIS", std::ios::binary | std::ios::in | std::ios::out).write("VEX96 HOLE V2.0 ", 16);
  EXPECT_EQ(LoadHoleData(base + ".hnf"), kHoleBadMagic);
  for (const char* ext : {".MIS", ".QZH", ".QF1", ".QF2", ".QF4", ".QF8", ".QMD", ".QMT", ".QMB", ".QM2"}) {
    ASSERT_TRUE(holewriter::WriteHole(h, host));
    ASSERT_EQ(LoadHoleData(base + ".hnf"), kHoleOk);
    std::filesystem::remove(host + ext);
    EXPECT_EQ(LoadHoleData(base + ".hnf"), kHoleFileError) << ext;
  }
}

TEST_F(HoleDataTest, DamagedFilesAreRefused) {
  struct Case { const char* what; uint32_t width, depth; const char* shorten; size_t keep; };
  const Case cases[] = {
      {"zero width", 0, 8, nullptr, 0},          {"huge grid", 9000, 9000, nullptr, 0},
      {"larger than its files", 16, 16, nullptr, 0},
      {"short header", 8, 8, ".MIS", 40},         {"short heights", 8, 8, ".QZH", 8 * 8 * 4 - 1},
      {"short cells", 8, 8, ".QF1", 100},         {"short level", 8, 8, ".QF4", 4},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(holewriter::WriteHole(holewriter::FlatHole(8, 8), host));
    // The header's size is patched: the other files stay those of an 8 x 8 hole.
    const uint8_t size[8] = {uint8_t(c.width), uint8_t(c.width >> 8), 0, 0, uint8_t(c.depth), uint8_t(c.depth >> 8), 0, 0};
    std::fstream mis(host + ".MIS", std::ios::binary | std::ios::in | std::ios::out);
    mis.seekp(16);
    mis.write(reinterpret_cast<const char*>(size), sizeof size);
    mis.close();
    if (c.shorten) std::filesystem::resize_file(host + c.shorten, c.keep);
    EXPECT_EQ(LoadHoleData(base + ".hnf"), kHoleFileError) << c.what;
    // Nothing of a refused hole stays allocated.
    EXPECT_EQ(CurrentTerrain().cellCount(), 0u) << c.what;
    EXPECT_TRUE(CurrentTerrain().heights.empty()) << c.what;
  }
}

TEST_F(HoleDataTest, ALargeHeaderOverSmallFilesAllocatesNothing) {
  ASSERT_EQ(load(holewriter::FlatHole(8, 8)), kHoleOk);
  HoleDescription big = holewriter::FlatHole(8, 8);
  ASSERT_TRUE(holewriter::WriteHole(big, host));
  const uint8_t size[8] = {0, 16, 0, 0, 0, 16, 0, 0};  // 4096 x 4096: 16 M cells
  std::fstream mis(host + ".MIS", std::ios::binary | std::ios::in | std::ios::out);
  mis.seekp(16);
  mis.write(reinterpret_cast<const char*>(size), sizeof size);
  mis.close();
  EXPECT_EQ(LoadHoleData(base + ".hnf"), kHoleFileError);
  EXPECT_EQ(CurrentTerrain().heights.capacity(), 0u);
  EXPECT_EQ(CurrentTerrain().cells.capacity(), 0u);
}

TEST_F(HoleDataTest, LinksRunningInACircleAreRefused) {
  HoleDescription h = holewriter::FlatHole(8, 8);
  h.codes[h.index(2, 2)] = 132;  // one step along x
  h.codes[h.index(3, 2)] = 130;  // one step back in rows
  h.codes[h.index(3, 1)] = 137;  // diagonally back to the first
  EXPECT_EQ(load(h), kHoleFileError);
  h.codes[h.index(3, 1)] = 0;  // the chain now ends at a cell without a link
  EXPECT_EQ(load(h), kHoleOk);
}

TEST_F(HoleDataTest, EveryWayOutRestoresThePreviousArchive) {
  WriteArchive(dir + "/COURSE.viv", {{"COURSE.DAT", {1, 2, 3}}});
  ASSERT_EQ(BigFileOpenArchive(nullptr, "C:\\Course\\COURSE.viv", nullptr), 0);
  const uint8_t* previous = BigFileCurrentArchive();
  SetTerrainPreprocessSteps(recordArchive, nullptr);
  HoleDescription h = holewriter::FlatHole(8, 8);
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_NE(g_archiveDuringLoad, nullptr);
  EXPECT_NE(g_archiveDuringLoad, previous);
  EXPECT_EQ(BigFileCurrentArchive(), previous);
  for (const char* ext : {".MIS", ".QF2", ".QM2"}) {
    ASSERT_TRUE(holewriter::WriteHole(h, host));
    std::filesystem::remove(host + ext);
    EXPECT_EQ(LoadHoleData(base + ".hnf"), kHoleFileError);
    EXPECT_EQ(BigFileCurrentArchive(), previous) << ext;
  }
  // Without an archive of its own the hole is read loose, and the course's archive stays current throughout.
  std::filesystem::remove(host + ".viv");
  ASSERT_TRUE(holewriter::WriteHole(h, host));
  ASSERT_EQ(LoadHoleData(base + ".hnf"), kHoleOk);
  EXPECT_EQ(g_archiveDuringLoad, previous);
  EXPECT_EQ(BigFileCurrentArchive(), previous);
  BigFileCloseArchive();
}

// The program names hole files by their Windows paths; the files may be packed in the hole's archive, in the
// course's archive made current around the load, or lie loose in a folder whose names differ in letter case.
TEST_F(HoleDataTest, LoadsFromArchivesAndFromMixedCaseFolders) {
  HoleDescription h = holewriter::FlatHole(12, 10);
  h.heights[h.index(3, 4)] = 1.5f;
  h.surfaces[h.index(5, 6)] = 0x60;
  const auto expectHole = [&](const char* where) {
    EXPECT_EQ(CurrentTerrain().width, 12u) << where;
    Vector3 p;
    EXPECT_FLOAT_EQ(GridPointToWorld(3, 4, &p)->z, 1.5f) << where;
    EXPECT_EQ(GetGridCellSurface(5, 6), 0x60) << where;
  };
  struct Case {
    const char* where;
    std::function<void()> place;  // puts the hole's files somewhere
    const char* name;             // what the game asks for
    bool courseArchive;           // the course's archive is current around the load
  };
  const Case cases[] = {
      {"the hole's archive", [&] { WriteArchive(dir + "/HOLE07.viv", HoleEntries(h, "HOLE07")); },
       "C:\\Course\\HOLE07.hnf", false},
      {"the course's archive", [&] { WriteArchive(dir + "/COURSE.viv", HoleEntries(h, "HOLE08")); },
       "C:\\Course\\HOLE08.hnf", true},
      {"packed entries of the hole's archive",
       [&] {
         // Each file under another of the pack codes.
         std::vector<datapack::BigEntry> entries = HoleEntries(h, "HOLE10");
         const uint8_t codes[] = {0x10, 0x30, 0x32, 0x34, 0x46, 0x4A};
         for (size_t i = 0; i < entries.size(); ++i) entries[i].data = datapack::pack(codes[i % 6], entries[i].data);
         WriteArchive(dir + "/HOLE10.viv", entries);
       },
       "C:\\Course\\HOLE10.hnf", false},
      {"a mixed-case folder",
       [&] {
         std::filesystem::create_directories(root_ + "/c/Data/Courses/SedgeFen");
         for (const holewriter::HoleFile& f : holewriter::EncodeHole(h)) {
           std::string ext = f.extension;
           // Alternate the case of the extensions as a copied installation might have them.
           for (size_t i = 0; i < ext.size(); i += 2) ext[i] = static_cast<char>(std::tolower(ext[i]));
           std::ofstream(root_ + "/c/Data/Courses/SedgeFen/hole09" + ext, std::ios::binary)
               .write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
         }
       },
       "c:\\DATA\\COURSES\\SEDGEFEN\\HOLE09.hnf", false},
  };
  for (const Case& c : cases) {
    FreeHoleTerrain();
    c.place();
    if (c.courseArchive) {
      ASSERT_EQ(BigFileOpenArchive(nullptr, "C:\\Course\\COURSE.viv", nullptr), 0) << c.where;
    }
    ASSERT_EQ(LoadHoleData(c.name), kHoleOk) << c.where;
    expectHole(c.where);
    if (c.courseArchive) BigFileCloseArchive();
    EXPECT_EQ(BigFileCurrentArchive(), nullptr) << c.where;
  }
  // Nothing of those holes is on the disk of drive C's folder but the archives and the mixed-case copy.
  EXPECT_FALSE(HostExists("c/Course/HOLE07.MIS"));
  EXPECT_FALSE(HostExists("c/Course/HOLE08.MIS"));
}

TEST_F(HoleDataTest, FinalStepGivesTheResult) {
  SetTerrainPreprocessSteps(nullptr, [] { return 9; });
  EXPECT_EQ(load(holewriter::FlatHole(8, 8)), 9);
}

TEST_F(HoleDataTest, TeeSetCounts) {
  struct Case { int version; uint32_t tees[4]; uint32_t expect; };
  const Case cases[] = {{11, {5, 9, 0, 0}, 2}, {11, {0, 0, 0, 0}, 0}, {11, {0, 0, 7, 0}, 3},
                        {12, {1, 0, 0, 4}, 4}, {11, {300, 2, 0, 0}, 2}};
  for (const Case& c : cases) {
    HoleDescription h = holewriter::FlatHole(10, 10);
    h.version = c.version;
    std::memcpy(h.teeStart, c.tees, sizeof h.teeStart);
    ASSERT_EQ(load(h), kHoleOk);
    EXPECT_EQ(CurrentHoleRecord().teeSetCount, c.expect) << c.tees[0] << c.tees[1] << c.tees[2] << c.tees[3];
  }
  EXPECT_EQ(CurrentHoleRecord().teeStart[0], 0u);  // a cell past the grid counts as absent
  // Markers in the cells raise the count when the header has none.
  HoleDescription h = holewriter::FlatHole(10, 10);
  h.codes[h.index(4, 1)] = 81;
  h.codes[h.index(6, 1)] = 81;  // slot 1 taken: goes to the next free slot
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_EQ(CurrentHoleRecord().teeStart[1], h.index(4, 1));
  EXPECT_EQ(CurrentHoleRecord().teeStart[2], h.index(6, 1));
  EXPECT_EQ(CurrentHoleRecord().teeSetCount, 3u);
}

TEST_F(HoleDataTest, SelectedTeeSetIsKeptInRange) {
  HoleDescription h = holewriter::FlatHole(17, 10);
  h.teeStart[0] = 3;
  h.teeStart[1] = 5;
  game.tee = 3;
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_EQ(game.tee, 17 % 2);
  game.tee = 3;  // no tee sets at all: no division, the choice stays
  ASSERT_EQ(load(holewriter::FlatHole(17, 10)), kHoleOk);
  EXPECT_EQ(game.tee, 3);
}

TEST_F(HoleDataTest, OldFormatNoticeIsShownOnce) {
  int shown = 0;
  bool busyWhileShown = true, suppressedWhileShown = true;
  frontEnd.shower = [&](const std::string& text) {
    ++shown;
    EXPECT_EQ(text, "Hole data needs to be reprocessed.  Press OK to continue loading the data");
    busyWhileShown = frontEnd.IsBusy();
    suppressedWhileShown = frontEnd.DialogsSuppressed();
    return 1;
  };
  frontEnd.SuppressDialogs(true);
  HoleDescription h = holewriter::FlatHole(8, 8);
  h.version = 10;
  EXPECT_EQ(load(h), kHoleOk);
  EXPECT_EQ(shown, 1);
  EXPECT_FALSE(busyWhileShown);
  EXPECT_FALSE(suppressedWhileShown);
  EXPECT_TRUE(frontEnd.IsBusy());
  EXPECT_TRUE(frontEnd.DialogsSuppressed());
  frontEnd.SuppressDialogs(false);
  h.version = 11;
  EXPECT_EQ(load(h), kHoleOk);
  h.version = 12;
  EXPECT_EQ(load(h), kHoleOk);
  EXPECT_EQ(shown, 1);
}

TEST_F(HoleDataTest, LinksAreStampedAndClippedAtTheEdge) {
  defineObject(9, 1);  // radius 2
  HoleDescription h = holewriter::FlatHole(8, 8);
  h.codes[h.index(0, 0)] = 9;
  h.codes[h.index(2, 1)] = 33;  // an object code without an object: kept, never overwritten
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_EQ(code(0, 0), 9);
  EXPECT_EQ(code(1, 0), 136);
  EXPECT_EQ(code(2, 0), 136);
  EXPECT_EQ(code(0, 1), 130);
  EXPECT_EQ(code(1, 1), 138);
  EXPECT_EQ(code(0, 2), 130);
  EXPECT_EQ(code(2, 1), 33);
  EXPECT_EQ(code(2, 2), 0);  // outside the disc
  EXPECT_EQ(code(3, 0), 0);
  for (uint32_t c : {1u, 2u}) EXPECT_EQ(ResolveCellLink(static_cast<int32_t>(c)), 0);
  EXPECT_EQ(ResolveCellLink(9), 0);
  EXPECT_EQ(HoleObjectCodeBound(), 34u);
}

TEST_F(HoleDataTest, LinkCodesPointToTheCentre) {
  defineObject(12, 0);  // radius 1
  HoleDescription h = holewriter::FlatHole(8, 8);
  h.codes[h.index(4, 4)] = 12;
  h.codes[h.index(6, 4)] = 12;  // overlapping discs: the first object in cell order wins
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_EQ(code(3, 3), 0);  // diagonal corners lie outside a disc of radius 1
  EXPECT_EQ(code(4, 3), 129);
  EXPECT_EQ(code(3, 4), 132);
  EXPECT_EQ(code(5, 4), 136);
  EXPECT_EQ(code(4, 5), 130);
  EXPECT_EQ(ResolveCellLink(static_cast<int32_t>(h.index(5, 4))), static_cast<int32_t>(h.index(4, 4)));
  EXPECT_EQ(code(7, 4), 136);
  EXPECT_EQ(code(6, 3), 129);
}

TEST_F(HoleDataTest, MarkersAreHarvested) {
  defineObject(80, 0);
  defineObject(84, 0);
  HoleDescription h = holewriter::FlatHole(40, 10);
  h.codes[h.index(1, 1)] = 84;
  h.codes[h.index(3, 1)] = 80;
  h.codes[h.index(5, 1)] = 81;
  h.codes[h.index(1, 3)] = 71;
  h.codes[h.index(3, 3)] = 71;   // slot 1 taken: first free slot
  h.codes[h.index(5, 3)] = 115;  // slot 6
  for (uint32_t c = 0; c < 5; ++c) h.codes[h.index(10 + c, 5)] = 120;  // one too many
  ASSERT_EQ(load(h), kHoleOk);
  const HoleRecord& r = CurrentHoleRecord();
  EXPECT_EQ(r.pins[1], h.index(1, 1));
  EXPECT_EQ(code(1, 1), 84);
  EXPECT_EQ(code(2, 1), 136);  // the pin is stamped as an object
  EXPECT_EQ(r.crowd[1], h.index(1, 3));
  EXPECT_EQ(r.crowd[0], h.index(3, 3));
  EXPECT_EQ(r.crowd[6], h.index(5, 3));
  EXPECT_EQ(code(1, 3), 0);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(r.marker120[k], h.index(10 + k, 5));
  EXPECT_EQ(code(14, 5), 0);
  // Tee set 0 is selected and shown; tee set 1's cell is cleared afterwards.
  EXPECT_EQ(code(3, 1), 80);
  EXPECT_EQ(code(4, 1), 136);
  EXPECT_EQ(code(5, 1), 0);
  EXPECT_EQ(r.teeSetCount, 2u);

  // Without crowd and scenery the marker codes stay in the cells; with all tee sets shown every tee is 80.
  game.crowd = false;
  game.allTees = true;
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_EQ(code(1, 3), 71);
  EXPECT_EQ(CurrentHoleRecord().crowd[1], 0u);
  EXPECT_EQ(code(5, 1), 80);
}

TEST_F(HoleDataTest, WaterLevelOnlyWithHardware) {
  HoleDescription h = holewriter::FlatHole(8, 8, 1);
  h.heights.assign(64, 10.0f);
  h.surfaces[h.index(1, 1)] = 0x50;
  h.heights[h.index(1, 1)] = -1.0f;
  h.surfaces[h.index(2, 1)] = 0x30;
  h.heights[h.index(2, 1)] = -3.0f;
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_FALSE(CurrentTerrain().floatHeights);
  EXPECT_EQ(CurrentTerrain().heights[h.index(0, 0)], 10u << 16);
  EXPECT_EQ(HoleWaterLevel(), 0.0f);

  Facts().hardwareDisplay = 1;
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_TRUE(CurrentTerrain().floatHeights);
  EXPECT_FLOAT_EQ(TerrainVertexHeight(h.index(0, 0)), 10.0f);
  EXPECT_FLOAT_EQ(HoleWaterLevel(), -1.0f * 2.0f);  // (high + low) / 2, doubled
  EXPECT_FALSE(HoleLowLandBelowWater());
  SetCourseWaterSurface(3);  // the course's "Water" surface counts too
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_FLOAT_EQ(HoleWaterLevel(), (-1.0f - 3.0f) * 0.5f * 2.0f);
  h.heights[h.index(1, 1)] = 0.0f;
  h.heights[h.index(2, 1)] = 0.0f;
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_FLOAT_EQ(HoleWaterLevel(), 0.1f);
  h.heights[h.index(5, 5)] = -6.0f;
  ASSERT_EQ(load(h), kHoleOk);
  EXPECT_TRUE(HoleLowLandBelowWater());
}

TEST_F(HoleDataTest, DetailTilesRefineTheSurface) {
  HoleDescription h = holewriter::FlatHole(8, 8, 1);
  bool top[256], corner[256];
  for (int k = 0; k < 256; ++k) {
    top[k] = k < 128;
    corner[k] = k == 0;
  }
  h.maskPairs.push_back({holewriter::AddRunMask(h, top), holewriter::AddRunMask(h, corner)});
  h.detailTiles.push_back({3, 4, 0});
  h.tiles[h.index(2, 2)] = 1;
  ASSERT_EQ(load(h), kHoleOk);
  const TerrainGrid& g = CurrentTerrain();
  const float x = g.originX - 2.0f, y = 2.0f - g.originY;
  EXPECT_EQ(GetTerrainSurface(x, y), 0x40);
  EXPECT_EQ(GetTerrainSurface(x - 0.5f, y + 0.2f), 0x30);
  EXPECT_EQ(GetTerrainSurface(x - 0.5f, y + 0.8f), 0x10);
}

TEST_F(HoleDataTest, DemoHoleLoads) {
  ASSERT_TRUE(holewriter::WriteHole(holewriter::DemoHole(64, 128, 7), dir + "/DEMO01"));
  Facts().hardwareDisplay = 1;
  EXPECT_EQ(LoadHoleData("C:\\Course\\DEMO01.hnf"), kHoleOk);
  EXPECT_EQ(CurrentHoleRecord().teeSetCount, 4u);
  EXPECT_NE(HoleWaterLevel(), 0.0f);
  Facts().hardwareDisplay = 0;
}

}  // namespace

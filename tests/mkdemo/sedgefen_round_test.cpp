// A computer golfer plays the 18 holes of the generated SEDGEFEN with the real ball physics: every hole is
// finished in a sane number of strokes and no ball ever lies below the ground.
#include <cstdio>
#include <string>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "course/install.h"
#include "course/terrain.h"
#include "demo.h"
#include "golf_rules/rules_fixture.h"
#include "holes.h"
#include "winapi/testing.h"

namespace rules {
namespace {

class SedgefenRoundTest : public RulesTest {
 protected:
  // The demo installation as drive C (the game reads its holes by the installation's paths), its courses listed.
  void Install() {
    std::string error;
    ASSERT_TRUE(mkdemo::MakeDemoInstallation(dir.string(), {}, error)) << error;
    winapi::testing::MapDrive('C', dir.string());
    SetCourseListRoots("C:\\", "");
    ASSERT_EQ(CreateCourseList(), kCourseListOk);
    ASSERT_EQ(BuildCourseList(), kCourseListOk);
  }
};

TEST_F(SedgefenRoundTest, AComputerGolferPlaysTheEighteenHoles) {
  ASSERT_NO_FATAL_FAILURE(Install());
  // The round asks the course loader for its holes and pars, as the installed catalogue provider does: the
  // holes come from their archives with their headers and object-line tables.
  std::string error;
  CourseRecord record{};
  ASSERT_EQ(GetCourseInfo(FindCourseByName("SEDGEFEN"), &record), 0);
  ASSERT_EQ(LoadCourse(record, &error), kCourseLoadOk) << error;
  const auto& plans = mkdemo::SedgefenPlans();
  fakes.holeFile = [](int, int hole) { return CourseHoleFile(hole); };
  fakes.holePar = [](int hole) { return CoursePar(hole); };
  Svc().scene->SeedRandom15(2026);
  TGame* g = MakeGame(kModeStroke, 1, true);
  g->SetOptionField(5, 3u);
  g->state.firstHole = 0;
  g->state.holeCount = 18;
  g->StartHole();
  TPlayer* p = g->players->GetPlayer(0);
  int below = 0, samples = 0;
  for (int i = 0; i < 400000 && frontEnd == 0; ++i) {
    if (Pump(1) == 0) break;
    const Vector3& b = p->ball.position;
    const uint8_t lie = GetTerrainSurface(b.x, b.y) & 0xF0;
    if (lie == 0x50 || lie == 0x90) continue;
    ++samples;
    if (b.z < GetTerrainHeight(b.x, b.y) - 0.05f) ++below;
  }
  ASSERT_EQ(frontEnd, 1);
  EXPECT_EQ(below, 0);
  EXPECT_GT(samples, 200);  // the ball was looked at after every step of the round
  std::string card = "hole  par  strokes\n";
  uint32_t total = 0;
  for (int hole = 0; hole < 18; ++hole) {
    const uint32_t strokes = Strokes(g, 0, 0, hole);
    EXPECT_GE(strokes, 2u) << "hole " << hole + 1;
    EXPECT_LE(strokes, 12u) << "hole " << hole + 1;
    total += strokes;
    char line[64];
    std::snprintf(line, sizeof line, "%4d %4d %8u\n", hole + 1, plans[static_cast<size_t>(hole)].par, strokes);
    card += line;
  }
  card += "total  72 " + std::to_string(total) + "\n";
  EXPECT_EQ(CurrentHoleScene().hole, 18);
  EXPECT_GT(CurrentHoleScene().objectLines[0].entries.size(), 20u);
  UnloadCourse();
  FreeCourseList();
  std::printf("%s", card.c_str());
}

// The round asks the catalogue provider the program installs for its holes: the game's course is made current
// on the way and each hole comes from its archive with its scene records.
TEST_F(SedgefenRoundTest, TheInstalledCatalogueGivesTheRoundItsHoles) {
  ASSERT_NO_FATAL_FAILURE(Install());
  InstallCourseServices();
  TGame* g = MakeGame(kModeStroke, 1, true);
  for (int hole : {0, 1, 17}) {
    SCOPED_TRACE(hole);
    g->state.hole = static_cast<uint16_t>(hole);
    ASSERT_EQ(g->LoadHole(), 0);
    EXPECT_EQ(CurrentHoleScene().hole, hole + 1);
    EXPECT_EQ(GetTerrainSurface(g->teePosition.x, g->teePosition.y) & 0xF0, 0x60);
    EXPECT_EQ(GetTerrainSurface(g->pinPosition.x, g->pinPosition.y) & 0xF0, 0x70);
    EXPECT_EQ(Svc().catalogue->HolePar(hole), mkdemo::SedgefenPlans()[static_cast<size_t>(hole)].par);
  }
  EXPECT_STREQ(CurrentCourse().record.folder, "SEDGEFEN");
  UnloadCourse();
  FreeCourseList();
}

}  // namespace
}  // namespace rules

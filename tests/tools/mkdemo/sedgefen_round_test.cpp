// A computer golfer plays the 18 holes of the generated SEDGEFEN with the real ball physics: every hole is
// finished in a sane number of strokes and no ball ever lies below the ground.
#include <cstdio>
#include <string>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "course/install.h"
#include "course/terrain.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "golf/modes.h"
#include "support/rules_fixture.h"
#include "holes.h"
#include "winapi/testing.h"

namespace rules {
namespace {

class SedgefenRoundTest : public RulesTest {
 protected:
  // The demo installation as drive C (the game reads its holes by the installation's paths), its courses listed.
  void Install() {
    std::string error;
    ASSERT_TRUE(MakeDemoInstallationCached(dir.string(), {}, error)) << error;
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

// Every mode's round of computer golfers on SEDGEFEN's first three holes ends, with the winner its cards give.
TEST_F(SedgefenRoundTest, EveryModeFinishesARoundOnTheDemoCourse) {
  // The program's own catalogue provider gives the round its holes and pars.
  ASSERT_NO_FATAL_FAILURE(Install());
  InstallCourseServices();
  struct Case {
    int mode;
    int golfers;
  } cases[] = {{kModeMatchPlay, 2}, {kModeFourBall, 4},  {kModeFoursome, 4},      {kModeSkins, 3},
               {kModeTournament, 2}, {kModePractice, 1}, {kModeNetTournament, 2}, {kModeDrivingRange, 1}};
  std::string table = "mode  golfers  holes  result\n";
  for (const Case& c : cases) {
    DeleteCurrentGame();
    ResetGolfHandler();
    frontEnd = 0;
    Svc().scene->SeedRandom15(static_cast<uint32_t>(100 + c.mode));
    TGame* g = MakeGame(c.mode, c.golfers, true);
    g->SetOptionField(5, 3u);
    g->state.firstHole = 0;
    g->state.holeCount = 3;
    if (c.mode == kModePractice) static_cast<TPracticeGame*>(g)->SetHoleMask(0x6);
    if (c.mode == kModeDrivingRange) static_cast<TDrivingRangeGame*>(g)->shotLimit = 3;
    g->StartHole();
    for (int i = 0; i < 200 && frontEnd == 0; ++i) Pump(5000);
    ASSERT_EQ(frontEnd, 1) << c.mode;
    EXPECT_EQ(g->gameOver, 1u) << c.mode;
    std::string result;
    if (auto* m = dynamic_cast<TMatchPlayGame*>(g)) {
      int won[2] = {};
      for (int h = 0; h < m->holesPlayed; ++h) {
        if (m->holeResults[0][h] == TMatchPlayGame::kWonBySide0) ++won[0];
        if (m->holeResults[0][h] == TMatchPlayGame::kWonBySide1) ++won[1];
        EXPECT_NE(m->holeResults[0][h], TMatchPlayGame::kUnplayed) << c.mode << " hole " << h;
      }
      EXPECT_EQ(m->GetLeader(), won[0] > won[1] ? 0 : won[1] > won[0] ? 1 : -1) << c.mode;
      result = m->ResultText() + (m->GetLeader() >= 0 ? " side " + std::to_string(m->GetLeader()) : "");
    } else if (auto* k = dynamic_cast<TSkinsGame*>(g)) {
      uint32_t skins = 0;
      for (uint32_t n : k->skinsWon) skins += n;
      EXPECT_LE(skins, 3u);
      EXPECT_EQ(k->holesPlayed, 3);
      result = std::to_string(skins) + " skins won";
    } else if (auto* t = dynamic_cast<TTournamentGame*>(g)) {
      ASSERT_FALSE(t->standings.empty());
      for (const auto& st : t->standings) EXPECT_GE(st.toPar, t->standings.front().toPar);
      result = "leader " + t->EntrantName(t->standings.front().entrant) + " " +
               std::to_string(t->standings.front().toPar);
    } else if (auto* r = dynamic_cast<TDrivingRangeGame*>(g)) {
      EXPECT_EQ(r->shots.size(), 3u);
      result = "longest carry " + std::to_string(static_cast<int>(r->LongestCarry()));
    } else {
      uint32_t best = 1000;
      for (int s = 0; s < c.golfers; ++s) {
        uint32_t total = 0;
        for (int h = 0; h < 3; ++h) total += Strokes(g, s, 0, h);
        best = std::min(best, total);
        if (c.mode == kModePractice) {
          EXPECT_EQ(Strokes(g, s, 0, 0), 0u);
        }
      }
      result = "best " + std::to_string(best);
    }
    char line[160];
    std::snprintf(line, sizeof line, "%4d %8d %6d  %s\n", c.mode, c.golfers, 3, result.c_str());
    table += line;
  }
  std::printf("%s", table.c_str());
  DeleteCurrentGame();
  UnloadCourse();
  FreeCourseList();
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

// The game's course setters and the main view it places for each shot.
#include <cstring>
#include <fstream>

#include "course/catalogue.h"
#include "course/terrain.h"
#include "golf/install.h"
#include "golf/viewplacement.h"
#include "support/rules_fixture.h"

namespace rules {
namespace {

class CourseViewTest : public RulesTest {
 protected:
  struct Scene : SceneProvider {
    std::vector<GolfViewPlacement> placed;
    std::vector<Vector3> balls;  // the ball of the golfer to play at each placement
    void PlaceGolfView(const GolfViewPlacement& v) override {
      placed.push_back(v);
      const TGame* g = CurrentGame();
      balls.push_back(g->players->GetPlayer(g->state.currentPlayer)->ball.position);
    }
  } scene;

  void Course(const char* folder, const char* title) {
    std::filesystem::create_directories(dir / "DATA" / "COURSES" / folder);
    std::ofstream(dir / "DATA" / "COURSES" / folder / "COURSE.DAT") << "COURSE 1\nfolder " << folder << "\ntitle "
                                                                    << title << "\n";
  }
  void Catalogue() {
    SetCourseListRoots("T:\\", "");
    ASSERT_EQ(CreateCourseList(), 0);
    ASSERT_EQ(BuildCourseList(), 0);
  }
  void TearDown() override {
    FreeCourseList();
    RulesTest::TearDown();
  }
};

TEST_F(CourseViewTest, CourseSettersFollowTheCatalogue) {
  Course("ALDERBY", "Alderby Links");
  Course("BRACKEN", "Bracken^Heath");
  Catalogue();
  TGame* g = MakeGame(kModeStroke, 1);
  struct Case {
    const char* step;
    int result;
    const char* folder;
    int number;
    uint32_t notFound;
  };
  const Case cases[] = {
      {"number 1", 1, "BRACKEN", 1, 0},
      {"number 2: none", 0, "BRACKEN", 1, 0},
      {"by name, any case", 1, "ALDERBY", 0, 0},
      {"an unknown name", 0, "ALDERBY", 0, 1},
      {"default: the remembered course", 1, "ALDERBY", 0, 0},
      {"default: the remembered course is gone", 1, "ALDERBY", 0, 0},
  };
  for (const Case& c : cases) {
    int result = -1;
    const std::string step = c.step;
    if (step == "number 1") result = g->SetCurrentCourse(1);
    else if (step == "number 2: none") result = g->SetCurrentCourse(2);
    else if (step == "by name, any case") result = g->SetCurrentCourseByName("alderby");
    else if (step == "an unknown name") result = g->SetCurrentCourseByName("MARSHDALE");
    else if (step == "default: the remembered course") result = g->SetDefaultCourse();
    else {
      g->courseName = "GONE";
      result = g->SetDefaultCourse();
    }
    EXPECT_EQ(result, c.result) << c.step;
    EXPECT_EQ(g->courseName, c.folder) << c.step;
    EXPECT_EQ(g->courseNumber, c.number) << c.step;
    EXPECT_EQ(g->courseNotFound, c.notFound) << c.step;
  }
  EXPECT_EQ(g->courseLongName, "Alderby Links");
  g->SetCurrentCourse(1);
  EXPECT_EQ(g->courseLongName, "Bracken^Heath");
  // Through the game provider, as the start-up asks: the remembered course stays.
  InstallGolfServices();
  Svc().game->SetDefaultCourse();
  EXPECT_EQ(g->courseName, "BRACKEN");
}

TEST_F(CourseViewTest, EveryShotPlacesTheViewAtTheBallFacingThePin) {
  UseHole(48, 200, 9);
  Svc().scene = &scene;
  TGame* g = MakeGame(kModeStroke, 2, true);
  g->state.holeCount = 1;
  g->SetCameraValueA(3.5f);
  g->SetCameraValueB(-2.0f);
  g->StartHole();
  for (int i = 0; i < 400 && frontEnd == 0; ++i) Pump(1000);
  ASSERT_EQ(frontEnd, 1);
  const uint32_t strokes = Strokes(g, 0, 0, 0) + Strokes(g, 1, 0, 0);
  ASSERT_GE(strokes, 4u);
  // One placement per shot set-up: each shot's, none after the last.
  ASSERT_EQ(scene.placed.size(), strokes);
  EXPECT_EQ(std::memcmp(&scene.placed[0].viewPoint, &g->teePosition, sizeof(Vector3)), 0);
  for (size_t i = 0; i < scene.placed.size(); ++i) {
    const GolfViewPlacement& v = scene.placed[i];
    EXPECT_EQ(std::memcmp(&v.viewPoint, &scene.balls[i], sizeof(Vector3)), 0) << i;
    EXPECT_EQ(std::memcmp(&v.target, &g->pinPosition, sizeof(Vector3)), 0) << i;
    EXPECT_EQ(v.heading, HeadingBetweenPoints(scene.balls[i], g->pinPosition)) << i;
    EXPECT_EQ(v.sideOffset, 3.5f);
    EXPECT_EQ(v.backOffset, -2.0f);
    EXPECT_FALSE(v.keepCamera);
  }
  // Shots after the first stand elsewhere than the tee.
  EXPECT_NE(std::memcmp(&scene.placed.back().viewPoint, &g->teePosition, sizeof(Vector3)), 0);
  // A redraw of the arc keeps the camera and asks for the views at once.
  g->SetUpView(true, true);
  EXPECT_TRUE(scene.placed.back().keepCamera);
  EXPECT_TRUE(scene.placed.back().redraw);
  const Vector3 at = g->GetViewPoint();
  EXPECT_EQ(std::memcmp(&at, &scene.placed.back().viewPoint, sizeof(Vector3)), 0);
}

TEST_F(CourseViewTest, ContinueAfterShotGoesToTheNextGolferOrEndsTheHole) {
  UseHole(48, 200, 9);
  TGame* g = MakeGame(kModeStroke, 2);
  g->state.holeCount = 1;
  g->SetCurrentPlayer(0);
  SetStrokes(g, 0, 1, false);
  SetStrokes(g, 1, 0, false);
  TakeDispatched();
  g->ContinueAfterShot();
  Pump(1);
  auto ids = TakeDispatched();
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(ids[0], static_cast<uint32_t>(kGolfNextShot));
  EXPECT_EQ(g->state.currentPlayer, 1);  // the golfer still on the tee
  // Both holed: the round (one hole) is over.
  SetStrokes(g, 0, 4, true);
  SetStrokes(g, 1, 5, true);
  g->ContinueAfterShot();
  Pump(1);
  ids = TakeDispatched();
  ASSERT_FALSE(ids.empty());
  EXPECT_EQ(ids[0], static_cast<uint32_t>(kGolfRoundOver));
}

}  // namespace
}  // namespace rules

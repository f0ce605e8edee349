// The result texts after a shot, the banner's line split, and saving a shot for the highlights.
#include <gtest/gtest.h>

#include <filesystem>

#include "course/savedfiles.h"
#include "roundui/shotresult.h"
#include "support/rules_fixture.h"

TEST(ShotResult, ScoreNames) {
  const struct {
    int strokes, par;
    const char* name;
  } cases[] = {
      {1, 5, "Hole-In-One"}, {2, 5, "Double Eagle"}, {1, 4, "Hole-In-One"}, {2, 4, "Eagle"},   {1, 3, "Hole-In-One"},
      {3, 5, "Eagle"},       {3, 4, "Birdie"},       {4, 4, "Par"},         {5, 4, "Bogey"},   {6, 4, "Double Bogey"},
      {7, 4, "Triple Bogey"}, {8, 4, ""},            {2, 7, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ShotScoreName(c.strokes, c.par), c.name) << c.strokes << " on a par " << c.par;
}

TEST(ShotResult, TextsInOrder) {
  const struct {
    const char* what;
    ShotResultInput in;
    std::vector<std::string> texts;
  } cases[] = {
      {"fairway", [] { ShotResultInput i; i.distanceLeft = "152y"; return i; }(), {"152y to hole"}},
      {"water", [] { ShotResultInput i; i.water = true; i.distanceLeft = "80y"; return i; }(), {"Water Hazard: 1 Stroke Penalty"}},
      {"out of bounds", [] { ShotResultInput i; i.outOfBounds = true; return i; }(), {"Out of Bounds: 1 Stroke Penalty"}},
      {"range water", [] { ShotResultInput i; i.drivingRange = true; i.water = true; i.distanceLeft = "9y"; return i; }(), {"9y to hole"}},
      {"range stops early", [] { ShotResultInput i; i.drivingRange = true; i.holed = true; i.strokes = 1; return i; }(), {}},
      {"birdie", [] { ShotResultInput i; i.holed = true; i.strokes = 3; i.par = 4; i.distanceLeft = "0y"; return i; }(), {"Birdie"}},
      {"stroke limit", [] { ShotResultInput i; i.strokeLimit = true; i.distanceLeft = "20y"; return i; }(), {"20y to hole", "Stroke Limit"}},
      {"mode result", [] { ShotResultInput i; i.holed = true; i.strokes = 4; i.modeResult = "Push"; return i; }(), {"Par", "Push"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ShotResultTexts(c.in), c.texts) << c.what;
}

TEST(ShotResult, BannerSplitsAtColonOrLastFittingSpace) {
  auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 10; };  // 10 pixels a character
  const struct {
    const char* text;
    int maxWidth;
    std::vector<std::string> lines;
  } cases[] = {
      {"Birdie", 100, {"Birdie"}},
      {"Water Hazard: 1 Stroke Penalty", 200, {"Water Hazard:", "1 Stroke Penalty"}},
      {"Ada and Tom win the point", 200, {"Ada and Tom win the", "point"}},
      {"Ada and Tom win the point", 250, {"Ada and Tom win the point"}},
      {"Unbreakable", 50, {"Unbreakable"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitBannerText(c.text, c.maxWidth, width), c.lines) << c.text;
}

namespace rules {
namespace {

class Boxes : public FrontEndProvider {
 public:
  int ShowMessageDialog(const char* text, int) override {
    shown.push_back(text);
    return 0;
  }
  std::vector<std::string> shown;
};

class SaveShotTest : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    Svc().frontEnd = &boxes_;
    winapi::testing::MapDrive('C', dir.string());
    SetSavedShotFolder("C:\\");
    HighlightShots().clear();
    TGame* g = MakeGame(kModeStroke, 1);
    g->hasLastShot = true;
    g->courseName = "SEDGEFEN";
    ShotSavingAllowed = true;
  }
  void TearDown() override {
    HighlightShots().clear();
    RulesTest::TearDown();
  }
  Boxes boxes_;
};

TEST_F(SaveShotTest, SavedOnceWithItsCommentOrNoComment) {
  EXPECT_EQ(SaveShotWithComment(nullptr), 0);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(SaveShotWithComment("   "), 1);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "File saved as: SHOT0001.DAT");
  EXPECT_FALSE(ShotSavingAllowed);
  EXPECT_EQ(HighlightShots().size(), 1u);
  SavedShotHead head;
  std::vector<uint8_t> body;
  ASSERT_EQ(LoadSavedShot("SHOT0001.DAT", head, body), 0);
  EXPECT_EQ(head.caption, "No comment");
  EXPECT_EQ(head.course, "SEDGEFEN");
  EXPECT_EQ(body.size(), 32u);
}

TEST_F(SaveShotTest, AFullDiskOrAFailedWriteSavesNothing) {
  winapi::testing::SetDiskFreeBytes('C', 1376);
  EXPECT_EQ(SaveShotWithComment("Long drive"), 0);
  winapi::testing::SetDiskFreeBytes('C', 1 << 20);
  CurrentGame()->hasLastShot = false;
  EXPECT_EQ(SaveShotWithComment("Long drive"), 0);
  EXPECT_EQ(boxes_.shown, (std::vector<std::string>{"DISK FULL: Shot not saved.", "ERROR: Unable to save shot."}));
  EXPECT_TRUE(ShotSavingAllowed);
  EXPECT_TRUE(HighlightShots().empty());
}

// Cancelling the comment saves nothing; a disk far larger than 4 GB has room (its free bytes do not wrap).
TEST_F(SaveShotTest, ACancelledCommentSavesNothingAndALargeDiskHasRoom) {
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  EXPECT_EQ(SaveShotDialog(), 0);
  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_TRUE(ShotSavingAllowed);
  EXPECT_TRUE(HighlightShots().empty());
  winapi::testing::SetDiskFreeBytes('C', int64_t{5} << 32);
  EXPECT_EQ(SaveShotWithComment("Eagle"), 1);
  EXPECT_EQ(boxes_.shown, std::vector<std::string>{"File saved as: SHOT0001.DAT"});
  winapi::testing::SetDiskFreeBytes('C', -1);
}

}  // namespace
}  // namespace rules

// Finding the game disc, the course data on hard disk or disc, the disc prompts and the golfer copies in TEMP.
#include <cctype>
#include <string>
#include <vector>

#include "framework/core/errors.h"
#include "startup_fixture.h"

namespace {

std::vector<std::string>* prompts = nullptr;
int answer = 0;

class FoldersTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    prompts = &shown;
    answer = 0;
    ASSERT_EQ(PathSetToProgramDir(&Folders().root), 0);
    fakes_.currentCourseFolder = [] { return "SEDGEFEN"; };
    fakes_.showMessageDialog = [](const char* text, int) {
      prompts->push_back(text);
      return answer;
    };
  }
  std::vector<std::string> shown;
};

TEST_F(FoldersTest, NoDiscLeavesTheCoursePathOnTheHardDisk) {
  winapi::testing::SetCdPresent(false);
  EXPECT_EQ(LocateGameCd(), 0);
  EXPECT_EQ(Folders().cdFound, 0);
  BuildCourseDataPath(0);
  EXPECT_STREQ(Folders().courseData.directory, "\\DATA\\COURSES\\SEDGEFEN");
  EXPECT_STREQ(Folders().courseMovies.directory, "\\DATA\\COURSES\\SEDGEFEN\\VIDEO");
}

TEST_F(FoldersTest, DiscFoundByItsProductFolder) {
  EXPECT_EQ(LocateGameCd(), 0);  // a disc without the product folder is not the game disc
  Folder("cd/QV99");
  ASSERT_EQ(LocateGameCd(), 1);
  EXPECT_EQ(Folders().cdFound, 1);
  EXPECT_STREQ(Folders().discRoot.label, "QV99DISC");
  EXPECT_EQ(std::tolower(Folders().discRoot.drive[0]), 'd');
  EXPECT_STREQ(Folders().discRoot.directory, "\\QV99");
}

TEST_F(FoldersTest, HardDiskCourseWithoutCourseFileFallsBackToTheDisc) {
  Folder("c/DATA/COURSES/SEDGEFEN");
  HostFile("cd/QV99/DATA/COURSES/SEDGEFEN/COURSE.DAT", "x");
  Folder("cd/QV99/DATA/COURSES/SEDGEFEN/VIDEO");
  BuildCourseDataPath(0);
  EXPECT_EQ(Folders().courseData.drive[0], 'd');
  EXPECT_STREQ(Folders().courseData.directory, "\\QV99\\DATA\\COURSES\\SEDGEFEN");
  // With its COURSE.DAT the hard disk wins; its missing VIDEO folder is taken from the disc.
  HostFile("c/DATA/COURSES/SEDGEFEN/COURSE.DAT", "x");
  BuildCourseDataPath(0);
  EXPECT_EQ(std::tolower(Folders().courseData.drive[0]), 'c');
  EXPECT_EQ(Folders().courseMovies.drive[0], 'd');
  EXPECT_STREQ(Folders().courseMovies.directory, "\\QV99\\DATA\\COURSES\\SEDGEFEN\\VIDEO");
}

TEST_F(FoldersTest, EnsureCourseDataPromptsUntilTheDiscIsThere) {
  fakes_.currentCourseDisc = [] { return "SEDGEDSC.CD"; };
  answer = ERR_USERABORT;
  EXPECT_EQ(EnsureCourseData(1), 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Please insert the SEDGEDSC.CD, or click 'cancel' to scan for available courses.");
  EXPECT_EQ(EnsureCourseData(0), 0);
  EXPECT_EQ(shown.size(), 1u);  // not asked
  // The player "inserts" the disc while the prompt is up.
  static std::string* rootPath;
  rootPath = &root_;
  fakes_.showMessageDialog = [](const char* text, int) {
    prompts->push_back(text);
    const std::string course = *rootPath + "/cd/QV99/DATA/COURSES/SEDGEFEN";
    std::filesystem::create_directories(course);
    for (const char* name : {"COURSE.DAT", "practice.dat"}) std::ofstream(course + "/" + name) << "x";
    return 0;
  };
  EXPECT_EQ(EnsureCourseData(1), 1);
  EXPECT_EQ(shown.size(), 2u);
  EXPECT_EQ(Folders().courseData.drive[0], 'd');
}

TEST_F(FoldersTest, InsertDiscTexts) {
  char text[160];
  EXPECT_STREQ(GetInsertDiscText("SEDGEDSC.CD", text, sizeof text), "Please insert the Sedgefen course disc");
  EXPECT_STREQ(GetInsertDiscText("sedgedsc", text, sizeof text), "Please insert the Sedgefen course disc");
  EXPECT_STREQ(GetInsertDiscText("OTHER", text, sizeof text),
               "Please insert the Zarvo Velmarth 99 VEX TOUR Golf Game CD");
  EXPECT_STREQ(GetInsertDiscText(nullptr, text, sizeof text),
               "Please insert the Zarvo Velmarth 99 VEX TOUR Golf Game CD");
  const uint32_t before = GetTickCount();
  PromptForGameDisc();
  EXPECT_EQ(GetTickCount() - before, 500u);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Please insert the Zarvo Velmarth 99 VEX TOUR Golf Game CD");
}

TEST_F(FoldersTest, PromptAnsweredThroughTheMessageBox) {
  fakes_.showMessageDialog = nullptr;
  winapi::testing::SetMessageBoxHook([](HWND, const std::string&, const std::string&, UINT) { return IDCANCEL; });
  EXPECT_EQ(PromptForCourseDisc("X", 1), ERR_USERABORT);
  winapi::testing::SetMessageBoxHook([](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
  EXPECT_EQ(PromptForCourseDisc("X", 1), 0);
  const auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].type & 0xF, static_cast<UINT>(MB_OKCANCEL));
}

TEST_F(FoldersTest, GolferCopiesInTempAreCleared) {
  for (const char* name : {"ABwalk.anm", "cdswing.anm", "X", "ZZtop.anm"}) HostFile(std::string("c/TEMP/DATA/GOLFER/") + name, "g");
  HostFile("c/TEMP/DATA/GOLFER/SINGLE/abpose.anm", "g");
  HostFile("c/TEMP/DATA/GOLFER/SINGLE/qqpose.anm", "g");
  const char* const keep[] = {"ab_golfer", "Cd", nullptr, "z"};
  EXPECT_EQ(ClearGolferTempFiles(1, keep, 4), 3);
  EXPECT_TRUE(HostExists("c/TEMP/DATA/GOLFER/ABwalk.anm"));
  EXPECT_TRUE(HostExists("c/TEMP/DATA/GOLFER/cdswing.anm"));
  EXPECT_FALSE(HostExists("c/TEMP/DATA/GOLFER/X"));
  EXPECT_FALSE(HostExists("c/TEMP/DATA/GOLFER/ZZtop.anm"));
  EXPECT_TRUE(HostExists("c/TEMP/DATA/GOLFER/SINGLE/abpose.anm"));
  EXPECT_FALSE(HostExists("c/TEMP/DATA/GOLFER/SINGLE/qqpose.anm"));
  EXPECT_EQ(ClearGolferTempFiles(0), 3);
  EXPECT_FALSE(HostExists("c/TEMP/DATA/GOLFER/ABwalk.anm"));
  EXPECT_EQ(ClearGolferTempFiles(0), 0);  // nothing left, and no TEMP at all is fine too
}

}  // namespace

namespace {

GolferModelFiles TwoFileModel() {
  GolferModelFiles model{};
  std::snprintf(model.names[0][0], sizeof model.names[0][0], "ABSWING.ANM");
  std::snprintf(model.names[5][1], sizeof model.names[5][1], "ABPOSE.ANM");
  return model;
}

TEST_F(FoldersTest, GolferOnlyOnTheDiscIsCopiedIntoTemp) {
  static GolferModelFiles model = TwoFileModel();
  HostFile("cd/QV99/DATA/GOLFER/ABSWING.ANM", "swing");
  HostFile("cd/QV99/DATA/GOLFER/SINGLE/ABPOSE.ANM", "pose");
  HostFile("c/TEMP/DATA/GOLFER/QQOLD.ANM", "old");  // another golfer's copy goes
  fakes_.golfersInPlay = [](GolferInPlay* out, int) {
    out[0] = {"Abby", "AB01", &model};
    return 1;
  };
  EXPECT_EQ(PrepareGolferData(), 1);
  EXPECT_EQ(HostRead("c/TEMP/DATA/GOLFER/ABSWING.ANM"), "swing");
  EXPECT_EQ(HostRead("c/TEMP/DATA/GOLFER/SINGLE/ABPOSE.ANM"), "pose");
  EXPECT_FALSE(HostExists("c/TEMP/DATA/GOLFER/QQOLD.ANM"));
  EXPECT_TRUE(shown.empty());
  // Its copies stay for the next game; deleting them goes by the model.
  EXPECT_EQ(PrepareGolferData(), 1);
  PathRecord temp = Folders().root;
  PathAppend(&temp, "|TEMP|DATA|GOLFER");
  EXPECT_EQ(CopyGolferFiles(nullptr, &temp, model, 0, 0), 1);
  EXPECT_FALSE(HostExists("c/TEMP/DATA/GOLFER/ABSWING.ANM"));
}

TEST_F(FoldersTest, MissingGolferGetsSubstituteAnimations) {
  static GolferModelFiles model = TwoFileModel();
  static int reassigned;
  reassigned = 0;
  fakes_.golfersInPlay = [](GolferInPlay* out, int) {
    out[0] = {"Abby", "AB01", &model};
    return 1;
  };
  fakes_.assignGolferModels = [] { ++reassigned; };
  answer = ERR_USERABORT;
  EXPECT_EQ(PrepareGolferData(), 0);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Golfer \"Abby\" was not found on the hard drive. Please insert the game CD.");
  EXPECT_EQ(shown[1],
            "Golfer \"Abby\" was not found on the hard drive. Substitute animations will be used. To see the missing "
            "animations, you'll need to re-install them.");
  EXPECT_EQ(reassigned, 1);
}

}  // namespace

// The start-up sequence: data folders, courses, intro waits, the last game, the front end; and the credits.
#include <string>
#include <vector>

#include "framework/core/errors.h"
#include "framework/ui/inputstate.h"
#include "framework/core/tourcard.h"
#include "startup_fixture.h"

namespace {

struct Calls {
  int games = 0, deletes = 0, frontEnds = 0, loads = 0;
};
Calls* calls = nullptr;
int loadResult = 0;

class SequenceTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    calls = &record;
    loadResult = 0;
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    AppFakes& h = fakes_;
    h.createGame = [](int) { return ++calls->games, 1; };
    h.deleteGame = [] { ++calls->deletes; };
    h.loadGameFile = [](PathRecord*, const char* name) {
      EXPECT_STREQ(name, "LastGame.dat");
      return ++calls->loads, loadResult;
    };
    h.startFrontEnd = [](int) { return ++calls->frontEnds, 0; };
    Flags().noIntro = 1;
  }
  void Install() {
    for (const char* f : {"MENUS", "FONTS", "UI", "UI640", "UI800"}) Folder(std::string("c/DATA/") + f);
    HostFile("c/DATA/COURSES/SEDGEFEN/COURSE.DAT", "x");
  }
  // The sequence's status, or the exit code when it ended the process.
  int Run() {
    try {
      return RunStartupSequence();
    } catch (const winapi::testing::ExitCalled& e) {
      return 1000 + static_cast<int>(e.code);
    }
  }
  std::string Boxes() {
    std::string all;
    for (const auto& box : winapi::testing::TakeMessageBoxes()) all += box.text + "|";
    return all;
  }
  Calls record;
};

TEST_F(SequenceTest, MissingFolderEndsWithTheReinstallBox) {
  Install();
  std::filesystem::remove_all(root_ + "/c/DATA/UI640");
  EXPECT_EQ(Run(), 1001);
  EXPECT_NE(Boxes().find("Files missing, please reinstall!"), std::string::npos);
  EXPECT_EQ(record.frontEnds, 0);
}

TEST_F(SequenceTest, NoCourseEndsWithTheInsertCdBox) {
  Install();
  std::filesystem::remove(root_ + "/c/DATA/COURSES/SEDGEFEN/COURSE.DAT");
  EXPECT_EQ(Run(), 1001);
  EXPECT_NE(Boxes().find("No courses found, please insert CD!"), std::string::npos);
}

TEST_F(SequenceTest, WithoutIntroTheFrontEndOpensAtOnce) {
  Install();
  const uint32_t before = GetTickCount();
  EXPECT_EQ(Run(), 0);
  EXPECT_LT(GetTickCount() - before, 1000u);
  EXPECT_EQ(record.games, 1);
  EXPECT_EQ(record.loads, 1);
  EXPECT_EQ(record.frontEnds, 1);
  EXPECT_TRUE(HostExists("c/Players"));
  EXPECT_STREQ(Folders().fonts.directory, "\\DATA\\FONTS");
  EXPECT_EQ(Boxes(), "");
}

TEST_F(SequenceTest, IntroScreensWaitTheirTimes) {
  Install();
  Flags().noIntro = 0;
  const uint32_t before = GetTickCount();
  EXPECT_EQ(Run(), 0);
  // Two seconds of title, then two to four seconds of the legal screen (no key is pressed).
  EXPECT_GE(GetTickCount() - before, 6000u);
  EXPECT_EQ(record.frontEnds, 1);
}

TEST_F(SequenceTest, OlderLastGameGivesAFreshGameAndABox) {
  Install();
  loadResult = 5;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(record.games, 2);
  EXPECT_EQ(record.deletes, 1);
  EXPECT_NE(Boxes().find("Cannot open saved game, file format changed."), std::string::npos);
}

TEST_F(SequenceTest, MissingTourCardIsTheOrdinaryEdition) {
  Install();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(TourCardPresent, 0);
  HostFile("c/DATA/TOURCARD.DAT", "");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(TourCardPresent, 1);
}

TEST_F(SequenceTest, TheStartUpMoviesPlayInTurnUnlessSwitchedOff) {
  // The probe only asks whether movies are played.
  EXPECT_EQ(PlayStartupMovie(1, "zqslogo.mad"), 1);
  EXPECT_EQ(PlayStartupMovie(-1, "zqslogo.mad"), 0);
  static std::vector<std::string>* played;
  std::vector<std::string> names;
  played = &names;
  fakes_.playMovie = [](const char* name) { return played->push_back(name), 1; };
  Install();
  Flags().noIntro = 0;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"zqslogo.mad", "intro.mad"}));
  // A logo ended early leaves the intro out.
  names.clear();
  fakes_.playMovie = [](const char* name) { return played->push_back(name), 0; };
  Install();
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"zqslogo.mad"}));
  Flags().noMovies = 1;
  EXPECT_EQ(PlayStartupMovie(1, "zqslogo.mad"), 0);
  EXPECT_EQ(PlayStartupMovie(0, "zqslogo.mad"), 0);
}

TEST_F(SequenceTest, CreditsEndOnAKeyInTheFirstFrame) {
  BuildCreditsTable();
  int headings = 0, names = 0, blanks = 0;
  for (const CreditsEntry& e : CreditsTable) {
    if (!e.text) ++blanks;
    else if (e.style == 0xFFEA) ++headings;
    else if (e.style == 0xFFFF) ++names;
  }
  EXPECT_EQ(headings + names + blanks, kCreditsCount);
  EXPECT_GE(headings, 7);
  EXPECT_STREQ(CreditsTable[0].text, "Lead Software Engineers");
  PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(RunCreditsScreen(), 1);
  // Without input the list scrolls past by itself.
  PostThreadMessageA(GetCurrentThreadId(), WM_KEYUP, 'A', 0);
  PollKeyMessages();
  EXPECT_GT(RunCreditsScreen(), 100);
}

}  // namespace

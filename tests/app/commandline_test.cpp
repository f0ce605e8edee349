// The option table, its first (initialising) call and the walk over the arguments.
#include <cstring>
#include <string>
#include <vector>

#include "startup_fixture.h"

namespace {

using CommandLineTest = StartupTest;

int Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "teebox");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST_F(CommandLineTest, TableHoldsTheEighteenOptionsInOrder) {
  const char* const expected[kOptionCount] = {"/INETREADY", "/GS",           "/TS",           "/NODEMO",
                                              "/SS",        "/SWRENDER",     "/D3D",          "/RES",
                                              "/SHOWFPS",   "/SCREENMODE",   "/NOMOVIES",     "/NOMENUSOUNDS",
                                              "/NOGAMESOUNDS", "/NOINTRO",   "/NETWIRE",      "/VEZEVADOZ",
                                              "/WAITFORPROCESS", "/SCREENSHOT"};
  const int takes[kOptionCount] = {0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0};
  for (int i = 0; i < kOptionCount; ++i) {
    EXPECT_STREQ(CommandLineOptions[i].text, expected[i]) << i;
    EXPECT_EQ(CommandLineOptions[i].takesArgument, takes[i]) << expected[i];
  }
}

TEST_F(CommandLineTest, FirstCallSetsEveryDefault) {
  StartupFlags& f = Flags();
  f.onlineReady = f.noDemo = f.softwareRender = f.preferDirect3D = f.showFrameRate = f.noMovies = 1;
  f.noMenuSounds = f.noGameSounds = f.noIntro = f.onlineService = f.golfTips = f.screenshot = 1;
  f.requestedResolution = 3;
  std::strcpy(f.gameServer, "x");
  EXPECT_EQ(Parse({}), 1);
  EXPECT_EQ(f.onlineReady + f.noDemo + f.softwareRender + f.preferDirect3D + f.showFrameRate + f.noMovies +
                f.noMenuSounds + f.noGameSounds + f.onlineService + f.golfTips + f.screenshot + f.requestedResolution,
            0);
  // "/NETWIRE"'s first call leaves the no-intro flag alone, and "/NOINTRO"'s clears it.
  EXPECT_EQ(f.noIntro, 0);
  EXPECT_STREQ(f.gameServer, kDefaultOnlineHost);
  EXPECT_STREQ(f.scoreServer, kDefaultOnlineHost);
  EXPECT_STREQ(f.shotServer, kDefaultOnlineHost);
}

struct FlagCase {
  const char* option;
  int32_t StartupFlags::*flag;
};

TEST_F(CommandLineTest, EachFlagOptionSetsItsFlagInAnyCase) {
  const FlagCase cases[] = {
      {"/INETREADY", &StartupFlags::onlineReady}, {"/nodemo", &StartupFlags::noDemo},
      {"/SwRender", &StartupFlags::softwareRender}, {"/d3d", &StartupFlags::preferDirect3D},
      {"/NOMOVIES", &StartupFlags::noMovies},     {"/NOMENUSOUNDS", &StartupFlags::noMenuSounds},
      {"/NOGAMESOUNDS", &StartupFlags::noGameSounds}, {"/NOINTRO", &StartupFlags::noIntro},
      {"/NETWIRE", &StartupFlags::onlineService}, {"/vezevadoz", &StartupFlags::golfTips},
      {"/SCREENSHOT", &StartupFlags::screenshot},
  };
  for (const FlagCase& c : cases) {
    Parse({});
    EXPECT_EQ(Flags().*c.flag, 0) << c.option;
    Parse({c.option});
    EXPECT_EQ(Flags().*c.flag, 1) << c.option;
  }
  Parse({"/NETWIRE"});
  EXPECT_EQ(Flags().noIntro, 1);  // the online service skips the intro too
}

TEST_F(CommandLineTest, ArgumentsOfHostNamesAndNumbers) {
  Parse({"/GS", "games.example", "/ts", "scores.example", "/SS", "shots.example", "/RES", "3"});
  EXPECT_STREQ(Flags().gameServer, "games.example");
  EXPECT_STREQ(Flags().scoreServer, "scores.example");
  EXPECT_STREQ(Flags().shotServer, "shots.example");
  EXPECT_EQ(Flags().requestedResolution, 3);
  // Too long a host name is refused and the default stays; parsing goes on.
  Parse({"/GS", std::string(129, 'h'), "/NODEMO"});
  EXPECT_STREQ(Flags().gameServer, kDefaultOnlineHost);
  EXPECT_EQ(Flags().noDemo, 1);
  Parse({"/GS", std::string(128, 'h')});
  EXPECT_EQ(std::strlen(Flags().gameServer), 128u);
  // The last argument "/GS" has no host: the default stays.
  Parse({"/NOINTRO", "/GS"});
  EXPECT_STREQ(Flags().gameServer, kDefaultOnlineHost);
  EXPECT_EQ(Flags().noIntro, 1);
  // Indexes outside the table's 1..4 count as not given.
  for (const char* bad : {"0", "5", "-1", "many", "99999999999"}) {
    Parse({"/RES", bad});
    EXPECT_EQ(Flags().requestedResolution, 0) << bad;
  }
}

TEST_F(CommandLineTest, ShowFpsSwallowsTheNextArgument) {
  Parse({"/SHOWFPS", "/NOINTRO"});
  EXPECT_EQ(Flags().showFrameRate, 1);
  EXPECT_EQ(Flags().noIntro, 0);
}

TEST_F(CommandLineTest, ScreenModeValuesAreExact) {
  const struct {
    const char* value;
    int expected;
  } cases[] = {{"640", 0}, {"800", 1}, {"1024", 2}, {"1280", 3}, {"1600", 4}, {"800x600", 4}, {" 640", 4}};
  for (const auto& c : cases) {
    Display().resolution = 4;
    Parse({"/screenmode", c.value});
    EXPECT_EQ(Display().resolution, c.expected) << c.value;
  }
}

TEST_F(CommandLineTest, UnknownArgumentsAreSkipped) {
  Parse({"/NODEMO", "--help", "/bogus", "/NOINTRO"});
  EXPECT_EQ(Flags().noDemo, 1);
  EXPECT_EQ(Flags().noIntro, 1);
}

TEST_F(CommandLineTest, WaitForProcessSleepsWhileTheProcessRuns) {
  static int polls;
  static DWORD asked;
  polls = 0;
  SetProcessProbe([](DWORD id) {
    asked = id;
    return ++polls <= 3 ? 1 : 0;
  });
  const uint32_t before = GetTickCount();
  Parse({"/WAITFORPROCESS", "4242"});
  EXPECT_EQ(asked, 4242u);
  EXPECT_EQ(polls, 4);
  EXPECT_EQ(GetTickCount() - before, 600u);
  polls = 0;
  Parse({"/WAITFORPROCESS", "0"});
  Parse({"/WAITFORPROCESS"});
  EXPECT_EQ(polls, 0);
}

TEST_F(CommandLineTest, ProcessProbeOfTheSystem) {
  SetProcessProbe(nullptr);
  EXPECT_EQ(ProcessIsRunning(GetCurrentProcessId()), 1);
  EXPECT_EQ(ProcessIsRunning(0), 0);
  EXPECT_EQ(ProcessIsRunning(0xFFFFFFF0u), 0);
}

}  // namespace

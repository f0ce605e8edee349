// Saved shots through the providers the program installs, on a fresh demo installation: the start-up's steps set the
// folders and the course, a computer golfer's shot on SEDGEFEN is saved by the game provider and played back from
// its file to where it came to rest.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "course/savedfiles.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/modes.h"
#include "teebox/providers.h"
#include "winapi/testing.h"

namespace {

TEST(HighlightsProgramTest, ASavedShotOfTheDemoCoursePlaysBackFromItsFile) {
  char pattern[] = "/tmp/teebox_highlights_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  mkdemo::DemoOptions options;
  options.holes = 2;
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(folder, options, error)) << error;
  winapi::testing::Reset();
  winapi::testing::MapDrive('C', folder);
  ResetServices();
  InstallProviders();
  // The front end's highlights screen is not drawn here: its call is counted.
  struct FrontEnd : FrontEndProvider {
    int screens = 0;
    void ShowHighlightsScreen() override { ++screens; }
  } frontEnd;
  Svc().frontEnd = &frontEnd;
  PathRecord root{};
  std::strcpy(root.drive, "c:");
  PathSetDirectory(&root, "\\");
  Svc().preferences->InitFile(root);
  ASSERT_EQ(Svc().catalogue->CreateCourseList(), 0);
  Svc().catalogue->BuildCourseList(root, nullptr);
  ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
  Svc().game->SetDefaultCourse();
  TGame* g = CurrentGame();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->courseName, "SEDGEFEN");
  g->state.hole = 1;
  ASSERT_EQ(g->players->SetComputer(0, true), kRecordOk);
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart;
  p->bag = 0x1FFFFF;
  std::snprintf(p->name, sizeof p->name, "Wren");
  ASSERT_EQ(g->LoadHole(), 0);
  g->SetCurrentPlayer(0);
  p->TakeTurn();
  const Vector3 rest = g->lastShot.rest;
  // The demo's own highlights go: this shot is the folder's first.
  std::filesystem::remove(folder + "/SHOT0001.DAT");
  std::filesystem::remove(folder + "/P01S0002.DAT");
  const std::string file = Svc().game->SaveShot("Opening drive");
  ASSERT_EQ(file, "SHOT0001.DAT");
  EXPECT_TRUE(std::filesystem::exists(folder + "/SHOT0001.DAT"));
  const std::vector<SavedShotHead> heads = ListSavedShots();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].caption, "Opening drive");
  EXPECT_EQ(heads[0].hole, 1u);
  EXPECT_EQ(heads[0].golfer, "Wren");
  ASSERT_EQ(Svc().game->PlayHighlightShot(file), 0);
  auto* h = dynamic_cast<THighlightGame*>(CurrentGame());
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->rests.size(), 1u);
  EXPECT_EQ(std::memcmp(&h->rests[0], &rest, sizeof(Vector3)), 0);
  EXPECT_EQ(frontEnd.screens, 1);
  Svc().game->DeleteGame();
  Svc().catalogue->FreeCourseList();
  ResetServices();
  winapi::testing::Reset();
  std::filesystem::remove_all(folder);
}

}  // namespace

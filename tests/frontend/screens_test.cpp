// The front end as the program runs it: the installed providers, the demo installation's art and fonts, an
// 800 x 600 display, and mouse and keys sent through the program's window procedure.
#include <unistd.h>

#include "framework/core/commqueue.h"
#include "framework/core/registry.h"
#include "framework/ui/fontmgr.h"
#include "frontend/netgames.h"
#include "frontend/netscreens.h"
#include "net/sessmgr.h"
#include "screenfixture.h"
#include "winapi_registry.h"

TEST_F(ScreensTest, MainMenuShowsItsButtons) {
  ShowMainMenu();
  ASSERT_NE(MainMenuScreen, nullptr);
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  ASSERT_NE(TeeOffButton, nullptr);
  MARect r{};
  TeeOffButton->GetRect(&r);
  // The button took the rectangle of its picture.
  EXPECT_LT(r.right - r.left, kW);
  EXPECT_GT(r.right - r.left, 0);
}

// A person clicks a menu-bar caption where it is drawn: all its drawn pixels lie in the button's hit rectangle.
TEST_F(ScreensTest, MenuBarCaptionsActWhereTheyAreDrawn) {
  for (const char* caption : {"Main Menu", "Cancel"}) {
    SCOPED_TRACE(caption);
    ShowMainMenu();
    ShowGolfersScreen(nullptr);
    ASSERT_NE(GolfersScreen, nullptr);
    Pump(2);
    TTextButtonADV* button = nullptr;
    for (uint32_t i = 0; MA_EventHandler* e = GolfersScreen->At(i); ++i)
      if (auto* b = dynamic_cast<TTextButtonADV*>(e); b && b->Text() == caption) button = b;
    ASSERT_NE(button, nullptr);
    WindowDesc* w = DrawnImage()->window;
    const uint16_t ink = button->colours[0];
    int32_t minY = kH, maxY = -1;
    for (int32_t y = std::max(0, button->top - 20); y < std::min(kH, button->bottom + 20); ++y) {
      const auto* row = reinterpret_cast<const uint16_t*>(w->pixels + y * w->rowbytes);
      for (int32_t x = button->left; x < button->right; ++x)
        if (row[x] == ink) {
          minY = std::min(minY, y);
          maxY = std::max(maxY, y);
        }
    }
    ASSERT_GE(maxY, 0) << "caption not drawn";
    EXPECT_GE(minY, button->top);
    EXPECT_LT(maxY, button->bottom);
  }
}

TEST_F(ScreensTest, GoldenMainMenuMessageBoxesAndTextInput) {
  TakePart(0, "Ada");
  TakePart(1, "Brook");
  ShowMainMenu();
  SetCursorPos(10, 590);  // away from every button
  Pump(2);
  d3dtest::ExpectGolden(Shrunk(), "mainmenu", 2, "frontend");
  for (int set = 1; set <= 4; ++set) {
    {
      CModalDialogADV box("A question for the player,\nover two lines.", set, 1, 0, 0, nullptr, 0);
      box.SetTitle("Title");
      box.DrawAll(0);
      d3dtest::ExpectGolden(Shrunk(), "msgbox" + std::to_string(set), 2, "frontend");
    }
    // The box puts back what was under it.
    CurrentScreen->EraseAll(0);
    CurrentScreen->DrawAll(0);
  }
  CTextInputDialogADV input("Name of the golfer:", 16, "Ada", nullptr);
  input.DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "textinput", 2, "frontend");
}

TEST_F(ScreensTest, GoldenGolfersScreenWithAScrolledList) {
  TakePart(0, "Wren");
  ShowGolfersScreen(nullptr);
  SetCursorPos(10, 590);
  TListBoxADV* pros = GolfersScreen->pros;
  pros->Select(12, false);  // scrolled down to show it
  EXPECT_GT(pros->TopRow(), 0);
  GolfersScreen->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "golfers", 2, "frontend");
}

TEST_F(ScreensTest, GoldenGolferEditorAndClubsDialog) {
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  ShowGolferEditor("Ada Lark", 0);
  ASSERT_NE(GolferEditor, nullptr);
  SetCursorPos(10, 590);
  GolferEditor->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "editor", 2, "frontend");
  {
    playerInfo_s golfer;
    golfer.bag = 0x10000F;  // the woods and the putter
    golfer.SetClubPercent(1, 55);
    golfer.SetClubTrajectory(2, 4);
    TClubsDialogADV clubs(golfer);
    clubs.DrawAll(0);
    d3dtest::ExpectGolden(Shrunk(), "clubs", 2, "frontend");
  }
  TGolferEditADV::OnCancel(nullptr);
  EXPECT_EQ(CurrentScreen, GolfersScreen);
}

TEST_F(ScreensTest, TeeOffStartsTheGameOfTheScreensAndPostsItsFirstGolfMessage) {
  TakePart(0, "Ada");
  ShowMainMenu();
  MARect r{};
  TeeOffButton->GetRect(&r);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(4);
  EXPECT_EQ(CurrentScreen, nullptr);
  ASSERT_NE(CurrentGame(), nullptr);
  EXPECT_EQ(CurrentGame()->mode, kModeStroke);
  EXPECT_EQ(CurrentGame()->courseName, "SEDGEFEN");
  EXPECT_EQ(CurrentGame()->roundRunning, 1u);
  // The golfer chosen plays it.
  EXPECT_STREQ(CurrentGame()->players->GetPlayer(0)->name, "Ada");
  EXPECT_TRUE(CurrentGame()->players->GetPlayer(0)->flags & kGolferTakesPart);
  ASSERT_FALSE(golf_.empty());
  // The round's end lands in the main menu.
  Svc().frontEnd->ReturnToFrontEnd();
  EXPECT_NE(MainMenuScreen, nullptr);
}

TEST_F(ScreensTest, GolferCountNoticesKeepTheMainMenu) {
  struct Case {
    int mode, golfers;
    const char* notice;
  } cases[] = {{kModeSkins, 1, "You need at least 2 players for a Skins Game."},
               {kModeMatchPlay, 1, "You need at least 2 players for match play."},
               {kModeMatchPlay, 3, "You can only have two players for match play."},
               {kModeStroke, 0, "You need to have at least 1 player in the Selected Golfers list."}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.notice);
    ASSERT_EQ(Svc().game->CreateGame(k.mode), 1);
    for (int s = 0; s < 4; ++s) CurrentGame()->players->GetPlayer(s)->flags &= ~kGolferTakesPart;
    for (int s = 0; s < k.golfers; ++s) TakePart(s, "Golfer");
    ShowMainMenu();
    MARect r{};
    TeeOffButton->GetRect(&r);
    Answer(13);
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump(4);
    EXPECT_EQ(LastMessageText(), k.notice);
    EXPECT_NE(MainMenuScreen, nullptr);
    EXPECT_TRUE(golf_.empty());
    Drain();
  }
}

TEST_F(ScreensTest, EscapeAsksAreYouSure) {
  ShowMainMenu();
  Pump(1);
  Answer(27);  // "No"
  Key(27);
  Pump(4);
  EXPECT_EQ(LastMessageText(), "Are you sure?");
  EXPECT_EQ(Loop().quitRequest.load(), 0);
  EXPECT_NE(MainMenuScreen, nullptr);
  Answer(13);  // "Yes"
  Key('q');
  Pump(4);
  EXPECT_EQ(Loop().quitRequest.load(), 1);
  EXPECT_EQ(CurrentScreen, nullptr);
}

TEST_F(ScreensTest, CoursesScreenPicksAnotherCourseAndKeepsItOnMainMenu) {
  ShowMainMenu();
  ShowCoursesScreen(nullptr);
  ASSERT_NE(CoursesScreen, nullptr);
  TListBoxADV* list = CoursesScreen->list;
  const ListEntry* marsh = list->Find("Marshdale");
  ASSERT_NE(marsh, nullptr);  // the long name cut at '^'
  const int row = list->RowOf(marsh);
  Click(list->left + 40, list->top + row * list->RowHeight() + 3);
  Pump(2);
  EXPECT_EQ(CurrentGame()->courseName, "MARSHDALE");
  EXPECT_EQ(CourseBlurb(), "Windy heath holes. Bring a coat.");
  EXPECT_EQ(CurrentCourseDescription().coursePairs[0][1], 72);
  EXPECT_EQ(CurrentGame()->courseNumber, FindCourseByName("MARSHDALE"));
  EXPECT_EQ(CurrentGame()->courseLongName, "Marshdale^Heath");
  Key('m');
  Pump(4);
  EXPECT_NE(MainMenuScreen, nullptr);
  EXPECT_EQ(CurrentGame()->courseName, "MARSHDALE");
  // Cancel puts the course back.
  ShowCoursesScreen(nullptr);
  list = CoursesScreen->list;
  const int sedge = list->RowOf(list->Find("Sedgefen"));
  Click(list->left + 40, list->top + sedge * list->RowHeight() + 3);
  Pump(2);
  EXPECT_EQ(CurrentGame()->courseName, "SEDGEFEN");
  Key(27);
  Pump(4);
  EXPECT_EQ(CurrentGame()->courseName, "MARSHDALE");
}

TEST_F(ScreensTest, GolfersScreenAddsRemovesAndWritesThePlayerList) {
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TGolfersScreenADV* s = GolfersScreen;
  ASSERT_NE(s, nullptr);
  ASSERT_NE(s->users->Find("Wren"), nullptr);
  ASSERT_GE(s->pros->Size(), 20);
  const auto pick = [&](TListBoxADV* list, const std::string& name, bool twice) {
    const int row = list->RowOf(list->Find(name));
    ASSERT_GE(row, 0) << name;
    list->Select(row, false);  // scrolled into view
    const int visible = row - list->TopRow();
    const int y = list->top + visible * list->RowHeight() + 3;
    Click(list->left + 60, y);
    Pump(1);
    if (twice) {
      QueueWindowProc(nullptr, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(list->left + 60, y));
      QueueWindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(list->left + 60, y));
    }
    Pump(3);
  };
  const std::string pro = s->pros->At(3)->text;
  pick(s->pros, pro, true);  // a double click adds
  pick(s->users, "Wren", false);
  MARect r{};
  s->addButton->GetRect(&r);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(4);
  ASSERT_EQ(s->selected->Size(), 2);
  EXPECT_FALSE(s->pros->Find(pro)->enabled);
  EXPECT_FALSE(s->users->Find("Wren")->enabled);
  // Removing gives the golfer back to its list.
  pick(s->selected, pro, true);
  EXPECT_EQ(s->selected->Size(), 1);
  EXPECT_TRUE(s->pros->Find(pro)->enabled);
  pick(s->pros, pro, true);
  ASSERT_EQ(s->selected->Size(), 2);
  Key('m');
  Pump(4);
  EXPECT_NE(MainMenuScreen, nullptr);
  TPlayerList& players = *CurrentGame()->players;
  EXPECT_STREQ(players.GetPlayer(0)->name, "Wren");
  EXPECT_STREQ(players.GetPlayer(1)->name, pro.c_str());
  EXPECT_TRUE(players.GetPlayer(1)->flags & kGolferTakesPart);
  EXPECT_FALSE(players.GetPlayer(2)->flags & kGolferTakesPart);
  // A professional is a default computer golfer: no file, Amateur level for the first four of the roster.
  EXPECT_TRUE(players.GetPlayer(1)->flags & kGolferNoFile);
  EXPECT_FALSE(players.GetPlayer(1)->flags & kGolferFlag5);
  EXPECT_EQ(players.GetPlayer(1)->level, FindRosterProfessional(pro.c_str()) < 4 ? 1 : 0);
}

TEST_F(ScreensTest, ListKeysSkipDisabledEntries) {
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TListBoxADV* list = GolfersScreen->pros;
  list->At(1)->enabled = false;
  list->At(2)->enabled = false;
  list->Select(0, false);
  CurrentScreen->SetCurrentHandler(list);
  list->SetFocus(1);
  QueueWindowProc(nullptr, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list->RowOf(list->Current()), 3);
  QueueWindowProc(nullptr, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(list->RowOf(list->Current()), 0);
  QueueWindowProc(nullptr, WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(list->RowOf(list->Current()), 0);
}

TEST_F(ScreensTest, AFailedSaveOfTheLastGameKeepsThePreviousFile) {
  const std::string path = Installation() + "/LastGame.dat";
  std::ofstream(path) << "previous";
  winapi::testing::SetDiskFreeBytes('C', 16);
  ShowMainMenu();
  ShowCoursesScreen(nullptr);
  Key('m');  // Main Menu saves the game
  Pump(4);
  winapi::testing::SetDiskFreeBytes('C', -1);
  EXPECT_NE(MainMenuScreen, nullptr);
  std::ifstream in(path);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "previous");
  std::filesystem::remove(path);
}

TEST_F(ScreensTest, F1ShowsTheScreensHelpTextUntilOk) {
  ShowMainMenu();
  Pump(1);
  PostMessageA(nullptr, WM_CHAR, 13, 0);  // read by the help dialog's loop
  QueueWindowProc(nullptr, WM_KEYDOWN, VK_F1, 0);
  EXPECT_EQ(LastMessageText().rfind("Main Menu\n", 0), 0u) << LastMessageText();
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  // Over the golfers screen, its own text.
  ShowGolfersScreen(nullptr);
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  QueueWindowProc(nullptr, WM_KEYDOWN, VK_F1, 0);
  EXPECT_EQ(LastMessageText().rfind("Golfers\n", 0), 0u) << LastMessageText();
  EXPECT_EQ(CurrentScreen, GolfersScreen);
}

// The round interface's statistics page, as far as the golfers screen shows it.
class StatsPage : public RoundInterfaceProvider {
 public:
  std::string PlayerStatsText(playerInfo_s& golfer) override {
    return std::string(golfer.name) + ": " + std::to_string(golfer.GetStatistic(kStatRoundsPlayed)) + " rounds";
  }
};

TEST_F(ScreensTest, GolferButtonsFollowTheKindOfGolferAndProfilesShowIt) {
  static StatsPage page;
  Svc().round = &page;
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TGolfersScreenADV* s = GolfersScreen;
  // Every golfer file is listed, the demo's among them.
  for (const char* name : {"Wren", "Ada Lark", "Tom Reed"}) EXPECT_NE(s->users->Find(name), nullptr) << name;
  struct Case {
    TListBoxADV* list;
    std::string name;
    bool user;
  } cases[] = {{s->pros, s->pros->At(0)->text, false}, {s->users, "Ada Lark", true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    for (TListBoxADV* l : {s->users, s->pros, s->selected}) l->Select(-1, false);
    k.list->Select(k.list->RowOf(k.list->Find(k.name)), false);
    s->UpdateButtons();
    EXPECT_TRUE(s->profileButton->IsShownAndEnabled());
    EXPECT_EQ(s->setupButton->IsShownAndEnabled() != 0, k.user);
    EXPECT_EQ(s->deleteButton->IsShownAndEnabled() != 0, k.user);
    MARect r{};
    s->profileButton->GetRect(&r);
    Answer(13);
    Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump(4);
    if (k.user) {
      EXPECT_EQ(LastMessageText(), "Ada Lark: 3 rounds") << "the statistics page of the golfer's file";
    } else {
      EXPECT_EQ(LastMessageText(), RosterBiography(FindRosterProfessional(k.name.c_str())));
    }
  }
}

TEST_F(ScreensTest, NewGolferIsNamedAndSavedInTheEditor) {
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TGolfersScreenADV* s = GolfersScreen;
  MARect r{};
  s->newGolferButton->GetRect(&r);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(4);
  ASSERT_NE(GolferEditor, nullptr);
  EXPECT_EQ(CurrentScreen, GolferEditor);
  EXPECT_TRUE(GolferEditor->newGolfer);
  // Sixteen letters typed: the name box takes fifteen.
  for (char c : std::string("Kimberly Ashcomb")) Key(c);
  EXPECT_EQ(GolferEditor->nameBox->Text(), "Kimberly Ashcom");
  for (int i = 0; i < 12; ++i) Key(8);
  EXPECT_EQ(GolferEditor->nameBox->Text(), "Kim");
  GolferEditor->saveButton->GetRect(&r);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(4);
  EXPECT_EQ(GolferEditor, nullptr);
  EXPECT_EQ(CurrentScreen, GolfersScreen);
  ASSERT_NE(s->users->Find("Kim"), nullptr);
  EXPECT_EQ(s->users->Current(), s->users->Find("Kim"));
  playerInfo_s kim;
  ASSERT_EQ(LoadGolferFile("C:\\Players", "Kim", kim), kGolferFileOk);
  EXPECT_EQ(kim.level, 1);  // a new golfer starts at Amateur
  std::filesystem::remove(Installation() + "/Players/Kim.amt");
}

TEST_F(ScreensTest, EditorLevelsAndTheNamesItRefuses) {
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  ShowGolferEditor("Wren", 0);
  TGolferEditADV* e = GolferEditor;
  ASSERT_NE(e, nullptr);
  // Simulation forces three clicks; a change of shaft makes the level Custom.
  e->rows[TGolferEditADV::kLevel]->SetIndex(3);
  TGolferEditADV::OnLevel(e->rows[TGolferEditADV::kLevel]);
  EXPECT_EQ(e->golfer.level, 3);
  EXPECT_EQ(e->rows[TGolferEditADV::kSwing]->GetIndex(), 0);
  EXPECT_FALSE(e->rows[TGolferEditADV::kSwing]->IsShownAndEnabled());
  e->rows[TGolferEditADV::kShaft]->Fire();
  EXPECT_EQ(e->rows[TGolferEditADV::kLevel]->GetIndex(), 4);
  EXPECT_EQ(e->golfer.level, 4);
  EXPECT_TRUE(e->rows[TGolferEditADV::kSwing]->IsShownAndEnabled());
  struct Case {
    std::string name;
    const char* notice;
  } cases[] = {{"   ", "You must give the player a name."},
               {"ada lark", "An amateur already exists with that name."},
               {GolfersScreen->pros->At(0)->text, "A pro already exists with that name."}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    e->nameBox->SetText(k.name.c_str());
    PostMessageA(nullptr, WM_CHAR, 13, 0);  // the notice's Ok
    TGolferEditADV::OnSave(e->saveButton);
    EXPECT_EQ(LastMessageText(), k.notice);
    EXPECT_EQ(GolferEditor, e);  // the editor stays
  }
  TGolferEditADV::OnCancel(nullptr);
  EXPECT_EQ(CurrentScreen, GolfersScreen);
}

TEST_F(ScreensTest, ARenameThatCannotBeWrittenKeepsTheEditorAndTheOldFile) {
  // A folder in the new file's place: the write fails.
  std::filesystem::create_directories(Installation() + "/Players/Wendy.amt");
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  ShowGolferEditor("Wren", 0);
  TGolferEditADV* e = GolferEditor;
  ASSERT_NE(e, nullptr);
  e->nameBox->SetText("Wendy");
  PostMessageA(nullptr, WM_CHAR, 13, 0);  // the notice's Ok
  TGolferEditADV::OnSave(e->saveButton);
  EXPECT_EQ(LastMessageText(), "The golfer could not be saved.");
  EXPECT_EQ(GolferEditor, e);
  EXPECT_TRUE(std::filesystem::exists(Installation() + "/Players/Wren.amt"));
  std::filesystem::remove(Installation() + "/Players/Wendy.amt");
  TGolferEditADV::OnCancel(nullptr);
}

TEST_F(ScreensTest, TheEditorShowsAStoredTargetingArc) {
  struct Case {
    uint8_t stored;
    const char* shown;
  } cases[] = {{1, "Adjusted for lie"}, {2, "Unadjusted"}, {0, "Adjusted for lie"}, {9, "Adjusted for lie"}};
  playerInfo_s original;
  ASSERT_EQ(LoadGolferFile("C:\\Players", "Wren", original), kGolferFileOk);
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.stored));
    playerInfo_s wren = original;
    wren.option2 = k.stored;
    ASSERT_EQ(SaveGolferFile("C:\\Players", wren), kGolferFileOk);
    ShowGolferEditor("Wren", 0);
    ASSERT_NE(GolferEditor, nullptr);
    EXPECT_EQ(GolferEditor->rows[TGolferEditADV::kArc]->Text(), k.shown);
    TGolferEditADV::OnCancel(nullptr);
  }
  SaveGolferFile("C:\\Players", original);
}

TEST_F(ScreensTest, RenamingAChosenGolferKeepsItChosen) {
  TakePart(0, "Wren");
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TGolfersScreenADV* s = GolfersScreen;
  s->users->Select(s->users->RowOf(s->users->Find("Wren")), false);
  s->UpdateButtons();
  MARect r{};
  s->setupButton->GetRect(&r);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(4);
  ASSERT_NE(GolferEditor, nullptr);
  EXPECT_FALSE(GolferEditor->newGolfer);
  GolferEditor->nameBox->SetText("Wendy");
  GolferEditor->rows[TGolferEditADV::kHandicap]->SetIndex(12);
  TGolferEditADV::OnSave(GolferEditor->saveButton);
  EXPECT_EQ(GolferEditor, nullptr);
  ASSERT_NE(s->users->Find("Wendy"), nullptr);
  EXPECT_FALSE(s->users->Find("Wendy")->enabled);
  EXPECT_NE(s->selected->Find("Wendy"), nullptr);
  EXPECT_FALSE(std::filesystem::exists(Installation() + "/Players/Wren.amt"));
  playerInfo_s wendy;
  ASSERT_EQ(LoadGolferFile("C:\\Players", "Wendy", wendy), kGolferFileOk);
  EXPECT_EQ(wendy.wordA, 12u);
  std::filesystem::remove(Installation() + "/Players/Wendy.amt");
}

TEST_F(ScreensTest, TabGivesTheFocusedListItsFirstGolfer) {
  TakePart(0, "Wren");
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TGolfersScreenADV* s = GolfersScreen;
  SetCursorPos(10, 590);  // the pointer rests away from every control
  Pump(1);
  Key('\t');
  Pump(1);
  // The first list in the screen's order is the user list; its first enabled golfer (Wren is in the group).
  ListEntry* e = s->users->Current();
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->enabled);
  EXPECT_NE(e->text, "Wren");
  EXPECT_TRUE(s->setupButton->IsShownAndEnabled());
  Key('\t');
  Pump(1);
  EXPECT_EQ(s->users->Current(), nullptr);
}

TEST_F(ScreensTest, ACancelledDiscPromptKeepsThePreviousCourse) {
  // MARSHDALE's files are on no disc: choosing it asks for the disc, and cancelling keeps SEDGEFEN.
  std::filesystem::remove(Installation() + "/DATA/COURSES/MARSHDALE/practice.dat");
  ShowMainMenu();
  ShowCoursesScreen(nullptr);
  EXPECT_NE(CoursesScreen->logo, 0u);  // SEDGEFEN's logo
  TListBoxADV* list = CoursesScreen->list;
  const int row = list->RowOf(list->Find("Marshdale"));
  ASSERT_GE(row, 0);
  const int x = list->left + 40, y = list->top + row * list->RowHeight() + 3;
  SetCursorPos(x, y);
  Pump(1);
  PostMessageA(nullptr, WM_CHAR, 27, 0);  // the prompt's answer
  QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  QueueWindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  Pump(2);
  EXPECT_EQ(LastMessageText().rfind("Please insert the ", 0), 0u) << LastMessageText();
  EXPECT_EQ(CurrentGame()->courseName, "SEDGEFEN");
  EXPECT_EQ(list->RowOf(list->Current()), list->RowOf(list->Find("Sedgefen")));
  EXPECT_EQ(CurrentScreen, CoursesScreen);
  // The description alone ends with an error once its prompt is cancelled, instead of asking again.
  CurrentGame()->courseName = "MARSHDALE";
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  EXPECT_EQ(LoadCourseDescription(), ERR_USERABORT);
  // Tee off on that course: the prompt cancelled, no round starts and the main menu stays.
  TakePart(0, "Ada");
  ShowMainMenu();
  MARect r{};
  TeeOffButton->GetRect(&r);
  Answer(27);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(4);
  EXPECT_NE(MainMenuScreen, nullptr);
  EXPECT_TRUE(golf_.empty());
  CurrentGame()->courseName = "SEDGEFEN";
}

TEST_F(ScreensTest, TheMenuPlaysAHoleByItselfAfterTwoIdleMinutes) {
  struct Case {
    const char* name;
    bool noDemo, recentInput;
    bool starts;
  } cases[] = {{"idle", false, false, true}, {"/NODEMO", true, false, false}, {"input a second ago", false, true, false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
    CurrentGame()->courseName = "SEDGEFEN";
    TakePart(0, "Ada");
    DemoRound = 0;
    golf_.clear();
    Flags().noDemo = k.noDemo;
    ShowMainMenu();
    Pump(1);
    winapi::testing::AdvanceClock(121000);
    Loop().lastInput = k.recentInput ? winapi::testing::ClockNow() - 1000 : 0;
    Pump(4);
    EXPECT_EQ(DemoRound != 0, k.starts);
    if (k.starts) {
      EXPECT_EQ(CurrentScreen, nullptr);
      ASSERT_NE(CurrentGame(), nullptr);
      EXPECT_EQ(CurrentGame()->mode, kModePractice);
      EXPECT_EQ(CurrentGame()->state.holeCount, 1);
      EXPECT_LT(CurrentGame()->state.hole, 18);
      const TPlayer* golfer = CurrentGame()->players->GetPlayer(0);
      EXPECT_GE(FindRosterProfessional(golfer->name), 4);
      EXPECT_TRUE(golfer->flags & kGolferTakesPart);
      EXPECT_FALSE(CurrentGame()->players->GetPlayer(1)->flags & kGolferTakesPart);
      EXPECT_FALSE(golf_.empty());
      // The round's end lands in the main menu and ends the demonstration.
      Svc().frontEnd->ReturnToFrontEnd();
      EXPECT_EQ(DemoRound, 0);
      EXPECT_NE(MainMenuScreen, nullptr);
    } else {
      EXPECT_EQ(CurrentScreen, MainMenuScreen);
      EXPECT_TRUE(golf_.empty());
    }
    Flags().noDemo = 0;
    Drain();
  }
}

TEST_F(ScreensTest, TheScrollBarsThumbDragsAndItsTrackPages) {
  ShowMainMenu();
  ShowGolfersScreen(nullptr);
  TListBoxADV* pros = GolfersScreen->pros;
  ASSERT_GT(pros->Size(), pros->rows);
  int32_t t = 0, b = 0;
  pros->ThumbSpan(&t, &b);
  EXPECT_EQ(pros->TopRow(), 0);
  // Dragging the thumb to the bottom shows the last rows.
  const int x = pros->left + 5;
  SetCursorPos(x, (t + b) / 2);
  Pump(1);
  QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, (t + b) / 2));
  SetCursorPos(x, pros->bottom + 40);
  Pump(2);
  EXPECT_EQ(pros->TopRow(), pros->Size() - pros->rows);
  QueueWindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(x, pros->bottom + 40));
  Pump(1);
  // A press on the track above the thumb goes a page up.
  const int before = pros->TopRow();
  SetCursorPos(x, pros->top + 6);
  Pump(1);
  QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, pros->top + 6));
  Pump(1);
  QueueWindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(x, pros->top + 6));
  EXPECT_EQ(pros->TopRow(), std::max(0, before - (pros->rows - 1)));
}

TEST_F(ScreensTest, ThePointerIsDrawnFromTheMenusArt) {
  ShellAnim* arrow = Svc().frontEnd->MakeShellAnim("mouseptr.fsh", nullptr, 1, 15, 0, 0);
  ShellAnim* busy = Svc().frontEnd->MakeShellAnim("animwait.fsh", nullptr, 1, 7, 0, 1);
  ShellAnim* busy2 = Svc().frontEnd->MakeShellAnim(nullptr, busy, 1, 7, 0, 0);
  ShellAnim* missing = Svc().frontEnd->MakeShellAnim("nosuch.fsh", nullptr, 1, 15, 0, 0);
  ASSERT_NE(arrow, nullptr);
  ASSERT_NE(busy2, nullptr);
  ASSERT_NE(missing, nullptr);  // the built-in arrow
  WindowDesc* w = createwindowadra(32, 32, 16, 1);
  ASSERT_NE(w, nullptr);
  const auto pixel = [&](int x, int y) { return reinterpret_cast<const uint16_t*>(w->pixels + y * w->rowbytes)[x]; };
  for (ShellAnim* a : {arrow, busy2}) {
    std::memset(w->pixels, 0, static_cast<size_t>(w->rowbytes) * w->height);
    ASSERT_TRUE(setwindow(w));
    a->Start();
    a->SetPosition(2, 2);
    a->Draw();
    releasewindow();
    int lit = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) lit += pixel(x, y) != 0;
    EXPECT_GT(lit, 20);
  }
  // The arrow's tip, white, at its place (the built-in arrow's tip is black).
  std::memset(w->pixels, 0, static_cast<size_t>(w->rowbytes) * w->height);
  ASSERT_TRUE(setwindow(w));
  arrow->Draw();
  releasewindow();
  EXPECT_GT(pixel(2, 2), 0xF000);
  removewindow(w);
  delete missing;
  delete busy2;
  delete busy;
  delete arrow;
}

// ---- highlights, the driving range, 3D options, the net editor and the round's panels ------------------------------

TEST_F(ScreensTest, HighlightsDescribeReplayAndDeleteTheDemoShots) {
  SetSavedShotFolder("C:\\");
  ShowMainMenu();
  TGame* before = CurrentGame();
  ShowHighlightsScreen(nullptr);
  ASSERT_NE(HighlightsScreen, nullptr);
  ASSERT_EQ(HighlightShotList().size(), 2u);
  EXPECT_NE(CurrentGame(), before);  // a stand-in game while the screen is up
  EXPECT_EQ(DescribeSavedShot(HighlightShotList()[0]),
            "Stroke Play at Sedgefen - Hole #2\nShot #1, driver to Fairway\nAda Lark\nFile: SHOT0001.DAT");
  // Modes 5 and 6 have no name; a course not installed keeps its own name; the text stays within 255 characters.
  SavedShotHead odd = HighlightShotList()[1];
  odd.mode = 5;
  odd.course = "NOWHERE^Far";
  odd.golfer = std::string(49, 'g');
  odd.holed = 1;
  const std::string text = DescribeSavedShot(odd);
  EXPECT_EQ(text.rfind("at NOWHERE - Hole #2\n", 0), 0u) << text;
  EXPECT_NE(text.find("to the cup"), std::string::npos);
  EXPECT_LE(text.size(), 255u);
  // A shot whose course is not installed: the message, and the screen stays.
  std::filesystem::rename(Installation() + "/DATA/COURSES/SEDGEFEN", Installation() + "/DATA/COURSES/SEDGEFEN.away");
  CreateCourseList();
  BuildCourseList();
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  THighlightsADV::ReplaySelectedShot(HighlightsScreen->teeOffButton);
  EXPECT_EQ(LastMessageText().rfind("This file refers to a course that is not currently installed.", 0), 0u);
  EXPECT_EQ(CurrentScreen, HighlightsScreen);
  std::filesystem::rename(Installation() + "/DATA/COURSES/SEDGEFEN.away", Installation() + "/DATA/COURSES/SEDGEFEN");
  CreateCourseList();
  BuildCourseList();
  // The replay plays through the game and the screen comes back.
  THighlightsADV::ReplaySelectedShot(HighlightsScreen->teeOffButton);
  ASSERT_NE(HighlightsScreen, nullptr);
  EXPECT_EQ(CurrentScreen, HighlightsScreen);
  // Delete asks first, and Ok removes the file and its entry.
  HighlightsScreen->list->Select(0, false);
  PostMessageA(nullptr, WM_CHAR, 13, 0);  // Ok to the question
  THighlightsADV::OnDeleteClicked(HighlightsScreen->deleteButton);
  EXPECT_FALSE(std::filesystem::exists(Installation() + "/SHOT0001.DAT"));
  ASSERT_NE(HighlightsScreen, nullptr);
  ASSERT_EQ(HighlightsScreen->list->Size(), 1);
  EXPECT_EQ(HighlightShotList()[0].fileName, "P01S0002.DAT");
  // Main Menu brings the game of before back.
  THighlightsADV::OnMainMenuClicked(nullptr);
  EXPECT_EQ(HighlightsScreen, nullptr);
  EXPECT_NE(MainMenuScreen, nullptr);
  EXPECT_EQ(CurrentGame(), before);
  std::filesystem::remove(Installation() + "/P01S0002.DAT");
  // With none left the screen never opens.
  PostMessageA(nullptr, WM_CHAR, 13, 0);
  ShowHighlightsScreen(nullptr);
  EXPECT_EQ(HighlightsScreen, nullptr);
}

TEST_F(ScreensTest, ASavedShotNamingAnotherFileIsNeitherListedNorDeleted) {
  SetSavedShotFolder("C:\\");
  EXPECT_FALSE(IsSavedShotFileName("..\\Players\\Wren.amt"));
  EXPECT_FALSE(IsSavedShotFileName("SHOT12.DAT"));
  EXPECT_TRUE(IsSavedShotFileName("P01S0002.DAT"));
  EXPECT_NE(DeleteSavedShot("Players\\Wren.amt"), 0);
  EXPECT_TRUE(std::filesystem::exists(Installation() + "/Players/Wren.amt"));
}

TEST_F(ScreensTest, TeeOffInDrivingRangeModeOpensTheRangeMenu) {
  ASSERT_EQ(Svc().game->CreateGame(kModeDrivingRange), 1);
  TakePart(0, "Ada");
  ShowMainMenu();
  BeginPlay(TeeOffButton);
  ASSERT_NE(DrivingRangeScreen, nullptr);
  EXPECT_EQ(CurrentScreen, DrivingRangeScreen);
  EXPECT_TRUE(golf_.empty());
  // The chipping green starts a round of the driving-range game on facility 1.
  DrivingRangeScreen->OnFacility(DrivingRangeScreen->facilities[1]);
  auto* range = dynamic_cast<TDrivingRangeGame*>(CurrentGame());
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(range->facility, 1u);
  EXPECT_EQ(CurrentScreen, nullptr);
  Pump(1);
  EXPECT_FALSE(golf_.empty());
}

TEST_F(ScreensTest, ThreeDOptionsFollowTheHardwareAndFactorySettingsWaitForOk) {
  struct Case {
    uint8_t glide, d3d;
    bool shown, enabled;
    int shows;
  } cases[] = {{1, 0, true, false, 0}, {0, 80, true, false, 1}, {0, 0, false, false, -1}, {1, 80, true, true, 1}};
  for (const Case& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.glide) * 2 + (k.d3d != 0));
    gRenderStart.glideCardFound = k.glide;
    gRenderStart.direct3DAvailable = k.d3d;
    C3dOptionsDialog d;
    CDialogSelectTxtBtn* driver = d.selectors[C3dOptionsDialog::kDriver];
    EXPECT_EQ((driver->flags & kHandlerShown) != 0, k.shown);
    EXPECT_EQ((driver->flags & kHandlerEnabled) != 0, k.enabled);
    if (k.shows >= 0) {
      EXPECT_EQ(driver->GetIndex(), k.shows);
    }
  }
  // Factory Settings then Cancel: the running settings are the automatic ones, the preferences as they were.
  gRenderStart = RenderStart{};
  Svc().preferences->Set(kPrefFogDensity, 3);
  Svc().preferences->Set(kPrefDriverEnumeration, 1);
  C3dOptionsDialog d;
  EXPECT_EQ(d.selectors[C3dOptionsDialog::kFog]->GetIndex(), 3);
  C3dOptionsDialog::OnClick(d.buttons[C3dOptionsDialog::kFactory]);
  EXPECT_EQ(GraphicsPref(kPrefFogDensity), 0);
  EXPECT_EQ(d.selectors[C3dOptionsDialog::kFog]->GetIndex(), 0);
  C3dOptionsDialog::OnClick(d.buttons[C3dOptionsDialog::kCancel]);
  int32_t stored = -1;
  ASSERT_EQ(Svc().preferences->Get(kPrefFogDensity, &stored), 0);
  EXPECT_EQ(stored, 3);
}

TEST_F(ScreensTest, TheNetGolferEditorOffersItsRowsAndRefusesOperator) {
  ShowMainMenu();
  ShowNetGolferEditor(nullptr);
  TGolferEditADV* e = GolferEditor;
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->netEditor);
  for (int r = 0; r < TGolferEditADV::kRows; ++r) {
    const bool offered = r == TGolferEditADV::kHandicap || r == TGolferEditADV::kSwing;
    EXPECT_EQ((e->rows[r]->flags & kHandlerShown) != 0, offered) << r;
  }
  MARect r{};
  e->rows[TGolferEditADV::kHandicap]->GetRect(&r);
  EXPECT_EQ(r.top, e->rows[TGolferEditADV::kLevel]->top);  // moved up to the first row
  struct Case {
    const char* name;
    const char* notice;
  } cases[] = {{"The Operator", "The net golfer name cannot contain the word \"operator\"."},
               {"o p e r a t o r x", "The net golfer name cannot contain the word \"operator\"."},
               {"wren", "An amateur already exists with that name."}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    e->nameBox->SetText(k.name);
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    TGolferEditADV::OnSave(e->saveButton);
    EXPECT_EQ(LastMessageText(), k.notice);
    EXPECT_EQ(GolferEditor, e);
  }
  e->nameBox->SetText("Netter");
  TGolferEditADV::OnSave(e->saveButton);
  EXPECT_EQ(GolferEditor, nullptr);
  EXPECT_STREQ(NetGolferName, "Netter");
  playerInfo_s saved;
  ASSERT_EQ(LoadGolferFile("C:\\Players", "Netter", saved), kGolferFileOk);
  EXPECT_TRUE(saved.flags & kGolferNetGolfer);
  std::filesystem::remove(Installation() + "/Players/Netter.amt");
  std::snprintf(NetGolferName, sizeof NetGolferName, "GOLFER");
}

TEST_F(ScreensTest, CalibrationStepsByFourWithinItsEndsAndEscapeRestores) {
  struct Prefs : PreferencesProvider {
    int Get(int id, int32_t* v) override {
      if (id != kPrefSwingSensitivity || !has) return 2;
      *v = value;
      return 0;
    }
    int Set(int id, int32_t v) override {
      if (id == kPrefSwingSensitivity) has = true, value = v;
      return 0;
    }
    bool has = false;
    int32_t value = 0;
  } prefs;
  Svc().preferences = &prefs;
  MouseSwingSensitivity = 60;
  ShowCalibrationPanel();
  CAnalogCalibrationDialog* panel = CalibrationPanel;
  ASSERT_NE(panel, nullptr);
  for (int i = 0; i < 20; ++i) panel->Step(4);
  EXPECT_EQ(MouseSwingSensitivity, 110);
  panel->Step(-4);
  EXPECT_EQ(MouseSwingSensitivity, 106);
  for (int i = 0; i < 40; ++i) panel->Step(-4);
  EXPECT_EQ(MouseSwingSensitivity, 10);
  panel->OnChar(kKeyEscape);  // nothing stored: the default
  EXPECT_FALSE(panel->Shown());
  EXPECT_EQ(MouseSwingSensitivity, 60);
  ShowCalibrationPanel();
  panel->Step(4);
  panel->OnChar(kKeyEnter);
  EXPECT_EQ(prefs.value, 64);
  // The pictures: every 500 ms on frames 1 and 2, every 100 ms from 3 to 15, then 1 again.
  ShowCalibrationPanel();
  EXPECT_EQ(panel->Frame(), 1);
  const auto after = [&](uint32_t ms) {
    winapi::testing::AdvanceClock(ms);
    panel->OnIdle();
    return panel->Frame();
  };
  EXPECT_EQ(after(499), 1);
  EXPECT_EQ(after(2), 2);
  EXPECT_EQ(after(501), 3);
  EXPECT_EQ(after(101), 4);
  for (int f = 5; f <= 15; ++f) EXPECT_EQ(after(101), f);
  EXPECT_EQ(after(101), 1);
  panel->Cancel();
  delete panel;
  // The panel keeps its distances from the screen's bottom-right corner at each size.
  const int32_t sizes[5][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
  const int32_t fromRight[5] = {470 - 285, 520 - 290, 570 - 340, 810 - 430, 830 - 450};
  const int32_t fromBottom[5] = {420 - 410, 410 - 395, 410 - 390, 630 - 540, 630 - 540};
  for (int s = 0; s < 5; ++s) {
    const CalibrationLayout l = CalibrationLayoutFor(s, sizes[s][0], sizes[s][1]);
    EXPECT_EQ(sizes[s][0] - l.right, fromRight[s]) << s;
    EXPECT_EQ(sizes[s][1] - l.bottom, fromBottom[s]) << s;
  }
}

TEST_F(ScreensTest, CameraPositionLimitsResetAndOk) {
  CurrentGame()->SetCameraValueA(0.0f);
  CurrentGame()->SetCameraValueB(0.0f);
  MainView.SetOffsets(0.0f, 0.0f);
  CCameraPositionDlg d;
  using B = CCameraPositionDlg;
  for (int i = 0; i < 4; ++i) B::OnButton(d.buttons[B::kRight]);
  EXPECT_FLOAT_EQ(d.view.sideOffset, 2.0f);
  EXPECT_FALSE(d.buttons[B::kRight]->flags & kHandlerEnabled);
  B::OnButton(d.buttons[B::kForward]);
  EXPECT_TRUE(d.buttons[B::kForward]->flags & kHandlerEnabled);  // 1.0 is still below 1.5
  B::OnButton(d.buttons[B::kForward]);
  EXPECT_FLOAT_EQ(d.view.backOffset, 2.0f);  // not clamped
  EXPECT_FALSE(d.buttons[B::kForward]->flags & kHandlerEnabled);
  B::OnButton(d.buttons[B::kReset]);
  EXPECT_FLOAT_EQ(d.view.sideOffset, 0.0f);
  EXPECT_FLOAT_EQ(d.view.backOffset, 0.0f);
  EXPECT_TRUE(d.buttons[B::kRight]->flags & kHandlerEnabled);
  for (int i = 0; i < 7; ++i) B::OnButton(d.buttons[B::kBack]);
  EXPECT_FLOAT_EQ(d.view.backOffset, -7.0f);
  EXPECT_FALSE(d.buttons[B::kBack]->flags & kHandlerEnabled);
  EXPECT_FLOAT_EQ(MainView.backOffset, 0.0f);  // the round's camera waits for Ok
  B::OnButton(d.buttons[B::kOk]);
  EXPECT_FLOAT_EQ(MainView.backOffset, -7.0f);
  EXPECT_FLOAT_EQ(CurrentGame()->GetCameraValueB(), -7.0f);
  EXPECT_TRUE(d.Done());
}

TEST_F(ScreensTest, ChangeViewTurnsAndZoomsWithinItsBounds) {
  MainView.SetHeading(1000);
  {
    CChangeViewDialog rotate(CChangeViewDialog::kRotateView);
    for (int i = 0; i < 120; ++i) rotate.Rotate(CChangeViewDialog::kRotationStep);
    EXPECT_EQ(rotate.chosenHeading, (1000 + 65520) % 65536);
    rotate.Reset();
    EXPECT_EQ(rotate.chosenHeading, 1000);
  }
  CurrentGame()->viewPlacement.viewPoint = Vector3{0.0f, 0.0f, 0.0f};
  CurrentGame()->viewPlacement.target = Vector3{0.0f, 8.0f, 0.0f};
  MainView.focusPoint = Vector3{0.0f, -2.0f, 0.0f};
  CChangeViewDialog analyzer(CChangeViewDialog::kPuttingAnalyzer);
  for (int i = 0; i < 200; ++i) analyzer.Zoom(0.25f);
  EXPECT_LT(analyzer.OrbitDistance(), 1.0f);
  EXPECT_GE(analyzer.OrbitDistance(), 0.75f);
  for (int i = 0; i < 400; ++i) analyzer.Zoom(-0.25f);
  EXPECT_GT(analyzer.OrbitDistance(), 30.0f);
  EXPECT_LE(analyzer.OrbitDistance(), 30.25f);
  analyzer.Rotate(CChangeViewDialog::kRotationStep);
  analyzer.EndModal(0);
  EXPECT_EQ(MainView.heading, 1000);  // the analyzer leaves the round's view alone
  EXPECT_FLOAT_EQ(MainView.focusPoint.y, -2.0f);
}

// ---- network play ------------------------------------------------------------------------------------------------

namespace {

// A registry of the test's own, so that stored network settings start empty.
struct OwnRegistry {
  OwnRegistry() { winapi::registry::UseFile(path); }
  ~OwnRegistry() {
    winapi::registry::UseFile("");
    std::filesystem::remove(path);
  }
  std::string path = (std::filesystem::temp_directory_path() /
                      ("netscreens_registry_" + std::to_string(getpid()) + ".txt")).string();
};

DWORD ReadNetworkValue(const char* subkey, const char* name, DWORD fallback) {
  RegistryMgr key(subkey, false);
  DWORD value = fallback;
  return key.IsOpen() && key.ReadValue(name, &value, sizeof value) ? value : fallback;
}

// A session manager's notification body: the advert of one entry.
uint8_t* Advert(uint32_t id, uint32_t owner, const char* name, bool added, int type = 3, int level = 1,
                uint32_t clock = 0) {
  uint8_t* body = CommMessageAlloc(0xc + net::kSessionEntrySize);
  std::memset(body, 0, 0xc + net::kSessionEntrySize);
  WriteLE32(body + 8, added ? 1 : 0);
  net::SessionEntry e;
  e.setId(id);
  e.setOwner(owner);
  std::snprintf(e.name(), 32, "%s", name);
  e.bytes[0x2c] = static_cast<uint8_t>(type);
  e.bytes[0x2e] = static_cast<uint8_t>(level);
  WriteLE32(e.bytes + 0x30, clock);
  std::memcpy(body + 0xc, e.bytes, net::kSessionEntrySize);
  return body;
}

uint8_t* Text(const char* text) {
  const uint32_t n = static_cast<uint32_t>(std::strlen(text)) + 1;
  uint8_t* body = CommMessageAlloc(n);
  std::memcpy(body, text, n);
  return body;
}

uint8_t* PlayerList(std::initializer_list<std::pair<const char*, int>> golfers) {
  const uint32_t n = 0x34 + static_cast<uint32_t>(golfers.size()) * net::kGolferEntrySize;
  uint8_t* body = CommMessageAlloc(n);
  std::memset(body, 0, n);
  WriteLE32(body + 4, 1);
  body[0x32] = static_cast<uint8_t>(golfers.size());
  uint32_t id = 100;
  uint8_t* at = body + 0x34;
  for (const auto& [name, number] : golfers) {
    net::GolferEntry g;
    g.playerId = id++;
    g.golferId = static_cast<uint16_t>(number);
    net::SetGolferName(g, name);
    net::PutGolfer(at, g);
    at += net::kGolferEntrySize;
  }
  return body;
}

std::vector<std::string> Rows(TListBoxADV* list) {
  std::vector<std::string> rows;
  for (int r = 0; r < list->Size(); ++r) rows.push_back(list->At(r)->text);
  return rows;
}

}  // namespace

TEST_F(ScreensTest, GoldenNetConnectionAndConfiguration) {
  OwnRegistry registry;
  ShowNetConnectionScreen();
  ASSERT_NE(NetConnectionScreen, nullptr);
  Pump();
  d3dtest::ExpectGolden(Shrunk(), "netconn", 2, "frontend");
  Key('o');  // Configuration
  Pump(4);
  ASSERT_NE(NetConfigScreen, nullptr);
  EXPECT_EQ(Rows(NetConfigScreen->protocols), (std::vector<std::string>{"TCP/IP", "IPX/SPX"}));
  d3dtest::ExpectGolden(Shrunk(), "netconfig", 2, "frontend");
  Key(27);  // Cancel: back without saving
  Pump(4);
  EXPECT_NE(NetConnectionScreen, nullptr);
  EXPECT_EQ(ReadNetworkValue("Network", "Protocol", 0), 0u);
}

TEST_F(ScreensTest, TheLanProtocolIsStoredAndAnythingElseCountsAsTcpIp) {
  OwnRegistry registry;
  struct Case {
    DWORD stored;  // 0: none
    int used;
  } cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    if (c.stored) RegistryMgr("Network", true).WriteValue("Protocol", c.stored);
    EXPECT_EQ(StoredLanProtocol(), c.used);
    ShowNetConfigScreen();
    ASSERT_NE(NetConfigScreen->protocols->Current(), nullptr);
    EXPECT_EQ(NetConfigScreen->protocols->Current()->value, c.used);
  }
  // IPX chosen; the line's modem is listed but none is chosen yet, so saving asks for one and keeps the screen.
  NetConfigScreen->protocols->Select(1, false);
  ASSERT_GT(NetConfigScreen->modems->Size(), 0);
  EXPECT_NE(NetConfigScreen->modems->At(0)->value, kNoModemValue);
  EXPECT_EQ(NetConfigScreen->modems->Current(), nullptr);
  Answer('\r');
  Key('s');
  Pump(4);
  EXPECT_NE(NetConfigScreen, nullptr);
  EXPECT_EQ(ReadNetworkValue("Network", "Protocol", 0), 2u);
  EXPECT_EQ(ReadNetworkValue("Modem", "LineDevice", 77), 77u);
  // With the modem chosen both are kept, and the connection screen comes back.
  NetConfigScreen->modems->Select(0, false);
  const int32_t device = NetConfigScreen->modems->At(0)->value;
  Key('s');
  Pump(4);
  EXPECT_NE(NetConnectionScreen, nullptr);
  EXPECT_EQ(ReadNetworkValue("Modem", "LineDevice", 77), static_cast<DWORD>(device));
  // Stored, it is the current row when the screen opens again.
  ShowNetConfigScreen();
  ASSERT_NE(NetConfigScreen->modems->Current(), nullptr);
  EXPECT_EQ(NetConfigScreen->modems->Current()->value, device);
}

TEST_F(ScreensTest, NetworkButtonOpensTheConnectionScreenOrFirstTheNetGolferEditor) {
  OwnRegistry registry;
  const std::string golfer = Installation() + "/Players/GOLFER.amt", aside = golfer + ".aside";
  std::filesystem::rename(golfer, aside);
  ShowMainMenu();
  Click(343 + 40, 466 + 10);  // no net golfer yet: the editor for a new one
  Pump(4);
  ASSERT_NE(GolferEditor, nullptr);
  Key(27);  // cancelled on the first entry: back to the main menu
  Pump(4);
  EXPECT_NE(MainMenuScreen, nullptr);
  EXPECT_EQ(NetConnectionScreen, nullptr);
  // With the demo's net golfer, the connection screen; Golfer Setup's editor returns there even when cancelled.
  std::filesystem::rename(aside, golfer);
  ShowMainMenu();
  Click(343 + 40, 466 + 10);
  Pump(4);
  ASSERT_NE(NetConnectionScreen, nullptr);
  EXPECT_STREQ(NetGolferName, "GOLFER");
  Key('g');
  Pump(4);
  ASSERT_NE(GolferEditor, nullptr);
  Key(27);
  Pump(4);
  EXPECT_NE(NetConnectionScreen, nullptr);
  Key(27);  // Cancel: the main menu
  Pump(4);
  EXPECT_NE(MainMenuScreen, nullptr);
}

TEST_F(ScreensTest, GoldenLobbyWithAGameAndATournamentWithGroups) {
  OwnRegistry registry;
  std::snprintf(NetGolferName, sizeof NetGolferName, "Netta");
  RegistryMgr("Network", true).WriteValue("DoHelp", static_cast<DWORD>(0));
  EnterNetGames(0);
  ASSERT_NE(NetGamesScreen, nullptr);
  TNetGamesADV* lobby = NetGamesScreen;
  EXPECT_EQ(Rows(lobby->games), (std::vector<std::string>{"New Game/Tournament..."}));
  EXPECT_EQ(lobby->actionButton->Text(), "Create");
  lobby->HandleCommMessage(net::kNotifyServerMessage7, reinterpret_cast<uintptr_t>(PlayerList({{"Netta", 3}, {"Ada", 7}, {"Bram", 12}})), 0x34 + 3 * net::kGolferEntrySize);
  const uint32_t advert = 0xc + net::kSessionEntrySize;
  lobby->HandleCommMessage(net::kNotifySessionAdvert, reinterpret_cast<uintptr_t>(Advert(11, 0, "Ada's round", true, 3, 1, 30)), advert);
  lobby->HandleCommMessage(net::kNotifySessionAdvert, reinterpret_cast<uintptr_t>(Advert(0, 40, "Autumn Cup", true, 0, 2)), advert);
  lobby->HandleCommMessage(net::kNotifySessionAdvert, reinterpret_cast<uintptr_t>(Advert(41, 40, "Group A", true, 0, 2)), advert);
  lobby->HandleCommMessage(net::kNotifySessionAdvert, reinterpret_cast<uintptr_t>(Advert(42, 40, "Group B", true, 0, 2)), advert);
  lobby->HandleCommMessage(net::kNotifySessionChat, reinterpret_cast<uintptr_t>(Text("Ada: anyone for nine holes?")), 28);
  EXPECT_EQ(Rows(lobby->games),
            (std::vector<std::string>{"New Game/Tournament...", "Ada's round <Amateur-Stroke all 18-30s clock>",
                                      "Autumn Cup <Pro-Tournament>", "   New Group", "      Group A", "      Group B"}));
  EXPECT_EQ(Rows(lobby->players), (std::vector<std::string>{"Netta (3)", "Ada (7)", "Bram (12)"}));
  EXPECT_EQ(lobby->players->Current(), nullptr);
  lobby->EraseAll(0);
  lobby->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "lobby", 2, "frontend");
  // The action button follows the row: a game joins, "New Group" adds, a tournament has none.
  struct Row {
    int row;
    const char* caption;
  } rows[] = {{0, "Create"}, {1, "Join"}, {2, ""}, {3, "Add"}, {4, "Join"}};
  for (const Row& r : rows) {
    lobby->games->Select(r.row, false);
    lobby->UpdateActionButton();
    EXPECT_EQ(lobby->actionButton->Text(), r.caption) << r.row;
  }
  // A group and the game go; the current row stays where it still is.
  lobby->games->Select(5, false);
  lobby->HandleCommMessage(net::kNotifySessionAdvert, reinterpret_cast<uintptr_t>(Advert(41, 40, "Group A", false)), advert);
  lobby->HandleCommMessage(net::kNotifySessionAdvert, reinterpret_cast<uintptr_t>(Advert(11, 0, "Ada's round", false)), advert);
  EXPECT_EQ(Rows(lobby->games), (std::vector<std::string>{"New Game/Tournament...", "Autumn Cup <Pro-Tournament>",
                                                          "   New Group", "      Group B"}));
  ASSERT_NE(lobby->games->Current(), nullptr);
  EXPECT_EQ(lobby->games->Current()->text, "      Group B");
  // Status 5 ends the lobby without a word; the main menu comes back.
  lobby->HandleCommMessage(net::kNotifySessionStatus, 5, 0);
  EXPECT_EQ(NetGamesScreen, nullptr);
  EXPECT_NE(MainMenuScreen, nullptr);
}

TEST_F(ScreensTest, GameLinesAreShortenedToTheirWidthButKeepFourCharacters) {
  OwnRegistry registry;
  EnterNetGames(1);
  ASSERT_NE(NetGamesScreen, nullptr);
  const MemHandle font = LoadFrontEndFont("arial9.ffn");
  ASSERT_NE(font, 0u);
  EXPECT_EQ(FormatGameLine(font, "Quick", 0, 1, 0), "Quick <Novice-Stroke front 9>");
  const std::string longName = "The very long name of a game";
  const std::string longName2 = longName + " played on a windy afternoon by the sea";
  const std::string cut = FormatGameLine(font, longName2.c_str(), 1, 16, 60);
  EXPECT_NE(cut.find("... <Amateur-Foursomes all 18-60s clock>"), std::string::npos) << cut;
  FontSelect(font, DrawnImage(), kAlignLeft, 0xFFFF, 0, 0, 0);
  EXPECT_LT(FontStringWidth(cut.c_str(), 0), 276) << cut;
  EXPECT_GE(FontStringWidth((cut.substr(0, cut.find("...")) + "X" + cut.substr(cut.find("..."))).c_str(), 0), 276);
  // Nothing fits 10 pixels: the name stops at four characters.
  EXPECT_EQ(FormatGameLine(font, longName.c_str(), 0, 1, 0, 10), "The ... <Novice-Stroke front 9>");
  EXPECT_EQ(FormatGameLine(font, "Abc", 0, 1, 0, 10), "Abc <Novice-Stroke front 9>");
}

TEST_F(ScreensTest, TheChatLineStopsAtTheChatListsWidthButKeepsItsEditingKeys) {
  OwnRegistry registry;
  RegistryMgr("Network", true).WriteValue("DoHelp", static_cast<DWORD>(0));
  std::snprintf(NetGolferName, sizeof NetGolferName, "Netta");
  EnterNetGames(1);
  ASSERT_NE(NetGamesScreen, nullptr);
  TClickFocusEditBoxADV* box = NetGamesScreen->chatBox;
  box->OnChar('h');  // the first key focuses the box and goes in
  EXPECT_TRUE(box->HasFocus());
  EXPECT_EQ(box->Text(), "h");
  for (int i = 0; i < 200; ++i) box->OnChar('W');
  const std::string full = box->Text();
  EXPECT_LT(full.size(), 70u);
  EXPECT_GT(full.size(), 10u);
  box->OnChar(8);
  EXPECT_EQ(box->Text().size(), full.size() - 1);
  box->OnChar('i');
  EXPECT_EQ(box->Text().size(), full.size());
}

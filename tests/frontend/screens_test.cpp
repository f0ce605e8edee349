// The front end as the program runs it: the installed providers, the demo installation's art and fonts, an
// 800 x 600 display, and mouse and keys sent through the program's window procedure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "course/catalogue.h"
#include "course/install.h"
#include "course/roster.h"
#include "demo.h"
#include "framework/ui/displaymgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/install.h"
#include "frontend/screens.h"
#include "golf/golferfile.h"
#include "golf/game.h"
#include "golf/install.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "winapi/testing.h"
#include "support/golden.h"

namespace {

constexpr int kW = 800, kH = 600;

std::string& Installation() {
  static std::string folder;
  if (folder.empty()) {
    char pattern[] = "/tmp/teebox_frontend_XXXXXX";
    folder = mkdtemp(pattern);
    mkdemo::DemoOptions options;
    options.holes = 2;
    std::string error;
    if (!mkdemo::MakeDemoInstallation(folder, options, error)) folder = "!" + error;
  }
  return folder;
}

// The drawn buffer at a quarter of its size (each pixel the mean of a 4 x 4 block), as a golden picture.
d3dtest::Picture Shrunk() {
  ImageRecord* drawn = DrawnImage();
  d3dtest::Picture p;
  if (!drawn || !drawn->window) return p;
  WindowDesc* w = drawn->window;
  p.width = kW / 4;
  p.height = kH / 4;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      uint32_t r = 0, g = 0, b = 0;
      for (int dy = 0; dy < 4; ++dy)
        for (int dx = 0; dx < 4; ++dx) {
          const uint16_t px = reinterpret_cast<const uint16_t*>(w->pixels + (4 * y + dy) * w->rowbytes)[4 * x + dx];
          r += ((px >> 11) & 31) * 255 / 31;
          g += ((px >> 5) & 63) * 255 / 63;
          b += (px & 31) * 255 / 31;
        }
      p.rgb.push_back((r / 16) << 16 | (g / 16) << 8 | (b / 16));
    }
  return p;
}

}  // namespace

class ScreensTest : public ::testing::Test {
 protected:
  static void TearDownTestSuite() {
    if (Installation()[0] != '!') std::filesystem::remove_all(Installation());
  }
  void SetUp() override {
    ASSERT_NE(Installation()[0], '!') << Installation();
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true, 10000);
    winapi::testing::SetVirtualWaitGrace(0);
    winapi::testing::MapDrive('C', Installation());
    if (!memstarted()) initmem();
    rowspacesize = 65536;
    initrow();
    ResetServices();
    ResetGameApp();
    InstallCourseServices();
    InstallGolfServices();
    InstallFrontEndServices();
    Facts() = SharedFacts{};
    Facts().screenWidth = kW;
    Facts().screenHeight = kH;
    Facts().fontFolder = "C:\\DATA\\FONTS";
    DataFolders& f = Folders();
    f = DataFolders{};
    PathSetDirectory(&f.root, "\\");
    std::strcpy(f.root.drive, "c:");
    f.menus = f.root;
    PathAppend(&f.menus, "DATA");
    f.ui800 = f.menus;
    f.players = f.root;
    PathAppend(&f.players, "Players");
    PathAppend(&f.menus, "MENUS");
    PathAppend(&f.ui800, "UI800");
    f.ui640 = f.ui1024 = f.ui800;
    Facts().sizeSetting = 1;
    // A second course and a user golfer beside the demo's.
    std::filesystem::create_directories(Installation() + "/DATA/COURSES/MARSHDALE");
    std::ofstream(Installation() + "/DATA/COURSES/MARSHDALE/COURSE.DAT") << "COURSE 1\nfolder MARSHDALE\ntitle Marshdale^Heath\n";
    std::ofstream(Installation() + "/DATA/COURSES/MARSHDALE/practice.dat") << "PRACTICE 1\nhole 1\nblurb Windy heath holes.\nblurb Bring a coat.\n";
    std::filesystem::create_directories(Installation() + "/Players");
    {
      playerInfo_s golfer;
      std::snprintf(golfer.name, sizeof golfer.name, "Wren");
      golfer.model = 2;
      SaveGolferFile("C:\\Players", golfer);
    }
    SetCourseListRoots("C:\\", "");
    CreateCourseList();
    BuildCourseList();
    InputReset();
    display_ = createwindowadra(kW, kH, 16, 1);
    ASSERT_NE(display_, nullptr);
    DisplayWindow = *display_;
    ASSERT_EQ(DisplayManagerInit(MARect{0, 0, kW, kH}, 16), 1);
    SetAppActive();
    // The queue window the golf and fire messages go to.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "FrontEndTestQueue";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "FrontEndTestQueue", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    Facts().queueWindow = window_;
    Loop().queueWindow = window_;
    ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
    CurrentGame()->courseName = "SEDGEFEN";
    CurrentScreen = nullptr;
    Drain();
  }
  void TearDown() override {
    Svc().frontEnd->DeleteCurrentScreen();
    DeleteCurrentGame();
    FreeCourseList();
    DisplayManagerClose();
    releasewindow();
    removewindow(display_);
    ResetServices();
    Drain();
    DestroyWindow(window_);
  }
  void Drain() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  // The main loop's passes: queued messages through the window procedure (golf messages kept aside), then idle.
  void Pump(int passes = 3) {
    for (int i = 0; i < passes; ++i) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == 0x700) {
          golf_.push_back(static_cast<uint32_t>(m.wParam));
          continue;
        }
        // A dialog a fire opens reads the answers queued for it.
        if (m.message == WM_CONTROL_FIRE) {
          for (char c : answers_) PostMessageA(nullptr, WM_CHAR, static_cast<WPARAM>(c), 0);
          answers_.clear();
        }
        QueueWindowProc(nullptr, m.message, m.wParam, m.lParam);
      }
      MainLoopIdle();
    }
  }
  void Click(int x, int y) {
    SetCursorPos(x, y);
    Pump(1);
    QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Pump(1);
    QueueWindowProc(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  void Key(char c) { QueueWindowProc(nullptr, WM_CHAR, static_cast<WPARAM>(static_cast<uint8_t>(c)), 0); }
  void TakePart(int slot, const char* name) {
    TPlayer* p = CurrentGame()->players->GetPlayer(slot);
    p->flags |= kGolferTakesPart;
    std::snprintf(p->name, sizeof p->name, "%s", name);
  }
  // Answers the next dialog with a key: posted now, read by the dialog's loop.
  void Answer(char c) { answers_.push_back(c); }
  WindowDesc* display_ = nullptr;
  HWND window_ = nullptr;
  std::string answers_;
  std::vector<uint32_t> golf_;
};

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
  EXPECT_EQ(CourseBlurb(), "Windy heath holes.\nBring a coat.");
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

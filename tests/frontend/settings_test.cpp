// The game modes screen and the settings dialogs on the demo installation, driven through the program's window
// procedure.
#include "screenfixture.h"

#include <algorithm>

#include "app/gameapp.h"
#include "course/preferences.h"
#include "frontend/gamemodes.h"
#include "frontend/overview.h"
#include "frontend/settingsdlg.h"

namespace {

TTextButtonADV* ValueButton(int option) { return GameModesScreen ? GameModesScreen->values[option] : nullptr; }

bool Usable(MA_EventHandler* e) { return (e->flags & (kHandlerShown | kHandlerEnabled)) == (kHandlerShown | kHandlerEnabled); }

std::string LastGamePath() { return Installation() + "/LastGame.dat"; }

std::vector<char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

class SettingsTest : public ScreensTest {
 protected:
  void ClickButton(MA_EventHandler* b, bool right = false) {
    const int x = (b->left + b->right) / 2, y = (b->top + b->bottom) / 2;
    if (!right) {
      Click(x, y);
    } else {
      SetCursorPos(x, y);
      Pump(1);
      QueueWindowProc(nullptr, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
      Pump(1);
      QueueWindowProc(nullptr, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
    }
    Pump(3);
  }
  // A row of the game modes list, clicked where it is drawn.
  void ClickModeRow(int row) {
    TListBoxADV* list = GameModesScreen->list;
    const int y = list->top + row * list->RowHeight() + list->RowHeight() / 2;
    Click(list->left + 20, y);
    Pump(3);
  }
  // A stroke game of the back nine, breezy with gusts.
  void BackNineStrokeGame() {
    ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
    TGame* g = CurrentGame();
    g->courseName = "SEDGEFEN";
    g->state.holeCount = 9;
    g->state.firstHole = 9;
    g->SetOptionField(0, 1);
    g->SetOptionField(1, 1);
  }
};

TEST_F(SettingsTest, GoldenGameModesAfterTournamentAndCalmWind) {
  BackNineStrokeGame();
  ShowMainMenu();
  ShowGameModesScreen();
  ASSERT_NE(GameModesScreen, nullptr);
  EXPECT_EQ(CurrentScreen, GameModesScreen);
  EXPECT_EQ(ValueButton(TGameModesADV::kHoles)->Text(), "Back 9");
  EXPECT_TRUE(Usable(ValueButton(TGameModesADV::kHoles)));
  EXPECT_FALSE(GameModesScreen->values[TGameModesADV::kRounds]->flags & kHandlerShown);
  ClickModeRow(RowOfGameMode(kModeTournament));
  EXPECT_EQ(GameModesWorkingCopy().mode, kModeTournament);
  EXPECT_EQ(GameModesWorkingCopy().holeCount, 18);
  EXPECT_EQ(GameModesWorkingCopy().firstHole, 0);
  EXPECT_TRUE(Usable(ValueButton(TGameModesADV::kRounds)));
  EXPECT_FALSE(ValueButton(TGameModesADV::kHoles)->flags & kHandlerShown);
  // Breezy back to Calm with the right button: gusts read "Off" and cannot be changed, but are kept.
  ClickButton(ValueButton(TGameModesADV::kWind), true);
  EXPECT_EQ(ValueButton(TGameModesADV::kWind)->Text(), "Calm");
  EXPECT_EQ(ValueButton(TGameModesADV::kGusts)->Text(), "Off");
  EXPECT_FALSE(ValueButton(TGameModesADV::kGusts)->flags & kHandlerEnabled);
  EXPECT_EQ(GameModesWorkingCopy().gusts, 1);
  SetCursorPos(10, 590);
  GameModesScreen->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "gamemodes", 2, "frontend");
  // A stronger wind shows the gusts kept; back to stroke play shows "All 18".
  ClickButton(ValueButton(TGameModesADV::kWind));
  EXPECT_EQ(ValueButton(TGameModesADV::kGusts)->Text(), "On");
  EXPECT_TRUE(Usable(ValueButton(TGameModesADV::kGusts)));
  ClickModeRow(RowOfGameMode(kModeStroke));
  EXPECT_EQ(ValueButton(TGameModesADV::kHoles)->Text(), "All 18");
}

// A person clicks a mode where its name is drawn: the middle of each drawn name picks that name's row.
TEST_F(SettingsTest, AClickOnADrawnModeNamePicksThatMode) {
  BackNineStrokeGame();
  ShowMainMenu();
  ShowGameModesScreen();
  ASSERT_NE(GameModesScreen, nullptr);
  Pump(2);
  TListBoxADV* list = GameModesScreen->list;
  WindowDesc* w = DrawnImage()->window;
  // The names' ink: what the list's drawing changes right of its scroll bar.
  const int32_t x0 = list->left + 16, x1 = list->right;
  const auto pixels = [&] {
    std::vector<uint16_t> p;
    for (int32_t y = list->top; y < list->bottom; ++y)
      for (int32_t x = x0; x < x1; ++x) p.push_back(reinterpret_cast<const uint16_t*>(w->pixels + y * w->rowbytes)[x]);
    return p;
  };
  const std::vector<uint16_t> drawn = pixels();
  list->Erase(0);
  const std::vector<uint16_t> bare = pixels();
  list->Draw(0);
  // Bands of lines with ink, one for each name, top to bottom.
  std::vector<std::pair<int32_t, int32_t>> bands;
  const int32_t width = x1 - x0;
  for (int32_t y = 0; y < list->bottom - list->top; ++y) {
    bool ink = false;
    for (int32_t x = 0; x < width && !ink; ++x) ink = drawn[y * width + x] != bare[y * width + x];
    if (!ink) continue;
    if (!bands.empty() && bands.back().second == y - 1) bands.back().second = y;
    else bands.emplace_back(y, y);
  }
  ASSERT_EQ(static_cast<int>(bands.size()), list->Size());
  // From the last row up, so that every click changes the mode.
  for (int row = list->Size() - 1; row >= 0; --row) {
    SCOPED_TRACE(list->At(row)->text);
    if (!list->At(row)->enabled) continue;
    Click(list->left + 40, list->top + (bands[static_cast<size_t>(row)].first + bands[static_cast<size_t>(row)].second) / 2);
    Pump(3);
    EXPECT_EQ(list->Current(), list->At(row));
    EXPECT_EQ(GameModesWorkingCopy().mode, list->At(row)->value);
  }
}

TEST_F(SettingsTest, GameModeOptionsStepBothWays) {
  struct Case {
    int option;
    bool right;
    std::vector<std::string> texts;  // after each click, from Off / the first value
  } cases[] = {
      {TGameModesADV::kShotClock, false, {"10 sec.", "15 sec.", "20 sec.", "25 sec.", "30 sec.", "35 sec.", "40 sec.",
                                          "45 sec.", "50 sec.", "55 sec.", "60 sec.", "Off"}},
      {TGameModesADV::kShotClock, true, {"60 sec.", "55 sec."}},
      {TGameModesADV::kHoles, false, {"All 18", "Front 9", "Back 9"}},
      {TGameModesADV::kHoles, true, {"Front 9", "All 18", "Back 9"}},
      {TGameModesADV::kOpponents, true, {"Fair", "Poor", "Spectacular"}},
      {TGameModesADV::kFastPlay, true, {"On", "Off"}},
      {TGameModesADV::kFairway, false, {"Damp", "Dry"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.option);
    BackNineStrokeGame();
    CurrentGame()->SetShotClock(false);
    CurrentGame()->SetOptionField(2, 1);
    CurrentGame()->SetOptionField(5, 2);
    ShowGameModesScreen();
    for (const std::string& text : k.texts) {
      ClickButton(ValueButton(k.option), k.right);
      EXPECT_EQ(ValueButton(k.option)->Text(), text);
    }
  }
  // Rounds, in a tournament.
  ASSERT_EQ(Svc().game->CreateGame(kModeTournament), 1);
  CurrentGame()->state.lead = 1;
  ShowGameModesScreen();
  for (const char* text : {"2", "4", "1"}) {
    ClickButton(ValueButton(TGameModesADV::kRounds));
    EXPECT_EQ(ValueButton(TGameModesADV::kRounds)->Text(), text);
  }
  ClickButton(ValueButton(TGameModesADV::kRounds), true);
  EXPECT_EQ(ValueButton(TGameModesADV::kRounds)->Text(), "4");
}

TEST_F(SettingsTest, ModesHideTheOptionsTheyDoNotUse) {
  BackNineStrokeGame();
  ShowGameModesScreen();
  ClickModeRow(RowOfGameMode(kModeShootout));
  EXPECT_EQ(GameModesWorkingCopy().holeCount, 3);
  EXPECT_FALSE(ValueButton(TGameModesADV::kHoles)->flags & kHandlerShown);
  EXPECT_FALSE(ValueButton(TGameModesADV::kRounds)->flags & kHandlerShown);
  ClickModeRow(RowOfGameMode(kModeDrivingRange));
  EXPECT_FALSE(ValueButton(TGameModesADV::kShotClock)->flags & kHandlerShown);
  EXPECT_FALSE(ValueButton(TGameModesADV::kFastPlay)->flags & kHandlerShown);
  ClickModeRow(RowOfGameMode(kModePractice));
  EXPECT_FALSE(ValueButton(TGameModesADV::kShotClock)->flags & kHandlerShown);
  EXPECT_TRUE(Usable(ValueButton(TGameModesADV::kFastPlay)));
}

TEST_F(SettingsTest, MainMenuAcceptsTheModeAndCancelChangesNothing) {
  BackNineStrokeGame();
  std::filesystem::remove(LastGamePath());
  ShowMainMenu();
  // Cancel: the game and the last game file as they were.
  ShowGameModesScreen();
  ClickModeRow(RowOfGameMode(kModeSkins));
  ClickButton(ValueButton(TGameModesADV::kShotClock));
  Key('c');
  Pump(3);
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  EXPECT_EQ(CurrentGame()->mode, kModeStroke);
  EXPECT_FALSE(CurrentGame()->IsShotClockOn());
  EXPECT_FALSE(std::filesystem::exists(LastGamePath()));
  // Main Menu: a new game of the mode with the options, kept as the last game.
  ShowGameModesScreen();
  ClickModeRow(RowOfGameMode(kModeSkins));
  ClickButton(ValueButton(TGameModesADV::kShotClock));
  ClickButton(ValueButton(TGameModesADV::kShotClock));
  ClickButton(ValueButton(TGameModesADV::kGreens));
  ClickButton(ValueButton(TGameModesADV::kOpponents));
  ClickButton(ValueButton(TGameModesADV::kFastPlay));
  Key('m');
  Pump(3);
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  TGame* g = CurrentGame();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->mode, kModeSkins);
  EXPECT_EQ(g->courseName, "SEDGEFEN");
  EXPECT_EQ(g->state.holeCount, 9);
  EXPECT_EQ(g->state.firstHole, 9);
  EXPECT_EQ(g->state.hole, 9);
  EXPECT_EQ(g->state.lead, 1);
  EXPECT_TRUE(g->IsShotClockOn());
  EXPECT_EQ(g->shotTimeLimit, 15u);
  EXPECT_TRUE(g->IsFastPlay());
  EXPECT_EQ(g->GetOptionField(0), 1u);
  EXPECT_EQ(g->GetOptionField(4), 2u);
  EXPECT_EQ(g->GetOptionField(5), 3u);
  EXPECT_EQ(g->IsNetworkGame(), 0u);
  ASSERT_TRUE(std::filesystem::exists(LastGamePath()));
  // The file holds that game.
  ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
  PathRecord root = Folders().root;
  ASSERT_EQ(LoadGameFile(&root, "LastGame.dat"), 0);
  EXPECT_EQ(CurrentGame()->mode, kModeSkins);
  EXPECT_EQ(CurrentGame()->state.firstHole, 9);
}

TEST_F(SettingsTest, ShotClockIsNotKeptForPractice) {
  BackNineStrokeGame();
  ShowGameModesScreen();
  ClickButton(ValueButton(TGameModesADV::kShotClock));
  ClickModeRow(RowOfGameMode(kModePractice));
  Key('m');
  Pump(3);
  ASSERT_EQ(CurrentGame()->mode, kModePractice);
  EXPECT_FALSE(CurrentGame()->IsShotClockOn());
  // Practice keeps the hole range it had.
  EXPECT_EQ(CurrentGame()->state.firstHole, 9);
}

TEST_F(SettingsTest, AFailedSaveKeepsTheLastGame) {
  BackNineStrokeGame();
  ASSERT_EQ(SaveLastGame(), 0);
  const std::vector<char> before = FileBytes(LastGamePath());
  ASSERT_FALSE(before.empty());
  ShowGameModesScreen();
  ClickModeRow(RowOfGameMode(kModeMatchPlay));
  winapi::testing::FailCall("WriteFile", ERROR_DISK_FULL, -1);
  Key('m');
  Pump(3);
  winapi::testing::ClearFailures();
  EXPECT_EQ(CurrentGame()->mode, kModeMatchPlay);  // the new game stays current
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  EXPECT_EQ(FileBytes(LastGamePath()), before);
}

TEST_F(SettingsTest, LeavingTheCoursesScreenInPracticePlaysHoleOneAlone) {
  for (int mode : {kModeStroke, kModePractice}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(Svc().game->CreateGame(mode), 1);
    CurrentGame()->courseName = "SEDGEFEN";
    PracticeHoleSet() = 0x6;
    auto* practice = dynamic_cast<TPracticeGame*>(CurrentGame());
    if (practice) practice->SetHoleMask(0x6);
    ShowMainMenu();
    ShowCoursesScreen(nullptr);
    Key('m');
    Pump(3);
    EXPECT_EQ(CurrentScreen, MainMenuScreen);
    EXPECT_EQ(PracticeHoleSet(), mode == kModePractice ? 1u : 0x6u);
    if (practice) {
      EXPECT_EQ(dynamic_cast<TPracticeGame*>(CurrentGame())->holeMask, 1u);
    }
  }
}

TEST_F(SettingsTest, TheMainMenuOpensGameModes) {
  ShowMainMenu();
  MainMenuScreen->panel[0]->PostFire();
  Pump(3);
  EXPECT_EQ(CurrentScreen, GameModesScreen);
  ASSERT_NE(GameModesScreen, nullptr);
  EXPECT_EQ(GameModesScreen->list->Current()->value, kModeStroke);
}

// The Today's Game panel names the tournament's own number of rounds.
TEST_F(SettingsTest, TodaysGameTitleCountsTheTournamentsRounds) {
  const struct {
    uint16_t rounds;
    const char* title;
  } cases[] = {{1, "Tournament -- 1 round"}, {2, "Tournament -- 2 rounds"}, {4, "Tournament -- 4 rounds"},
               {3, "Tournament -- 4 rounds"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rounds);
    ASSERT_EQ(Svc().game->CreateGame(kModeTournament), 1);
    CurrentGame()->state.lead = c.rounds;
    ShowMainMenu();
    ASSERT_NE(MainMenuScreen, nullptr);
    EXPECT_EQ(MainMenuScreen->panel[0]->Text(), c.title);
  }
}

// ---- the settings dialogs ------------------------------------------------------------------------------------------

namespace {

// A dialog made current by its constructor is driven like a screen: clicks and keys through the window procedure.
template <typename Row>
std::string Value(Row* row) {
  return row->Text();
}

}  // namespace

class DialogsTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    savedRender_ = gRenderStart;
    gRenderStart = RenderStart{};
    Display() = DisplayGlobals{};
    for (int i = 0; i < 5; ++i) VideoModeAvailable[i] = 1;
    SoundSettings() = 0x07;  // sounds, menu sounds and commentary; no music
    ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
    CurrentGame()->courseName = "SEDGEFEN";
    TakePart(0, "Ada");
    ShowMainMenu();
  }
  void TearDown() override {
    gRenderStart = savedRender_;
    Display() = DisplayGlobals{};
    SettingsTest::TearDown();
  }
  TPlayer* Golfer() { return CurrentGame()->players->GetPlayer(0); }
  RenderStart savedRender_;
};

TEST_F(DialogsTest, GoldenPreferences) {
  TPrefsDialogADV d;
  SetCursorPos(10, 590);
  d.DrawAll(0);
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kSounds]), "On");
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kMusic]), "Off");
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kDisplay]), "800x600");
  // No 3D card: Off, fixed, and no 3D options.
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kAccelerator]), "Off");
  EXPECT_FALSE(d.rows[TPrefsDialogADV::kAccelerator]->flags & kHandlerEnabled);
  EXPECT_FALSE(d.options3d->flags & kHandlerShown);
  d3dtest::ExpectGolden(Shrunk(), "preferences", 2, "frontend");
}

TEST_F(DialogsTest, PreferencesOkWritesTheSoundBitsAndCancelNothing) {
  {
    TPrefsDialogADV d;
    d.DrawAll(0);
    ClickButton(d.rows[TPrefsDialogADV::kMusic]);
    ClickButton(d.rows[TPrefsDialogADV::kCommentary]);
    EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kMusic]), "On");
    ClickButton(d.At(1));  // Cancel
    EXPECT_TRUE(d.Done());
  }
  EXPECT_EQ(SoundSettings(), 0x07);
  {
    TPrefsDialogADV d;
    d.DrawAll(0);
    ClickButton(d.rows[TPrefsDialogADV::kMusic]);
    ClickButton(d.rows[TPrefsDialogADV::kCommentary]);
    ClickButton(d.rows[TPrefsDialogADV::kMenuSound]);
    TPrefsDialogADV::OnOk(d.At(0) ? static_cast<TGenericControlADV*>(d.At(0)) : nullptr);
    EXPECT_TRUE(d.Done());
  }
  EXPECT_EQ(SoundSettings(), kSoundAll | kSoundMusic);
  int32_t stored = -1;
  ASSERT_EQ(Svc().preferences->Get(7, &stored), 0);
  EXPECT_EQ(stored, 1);
}

TEST_F(DialogsTest, AHigherResolutionAsksForARestartAndKeepsTheOldOneForThisRun) {
  struct Case {
    int from, to;
    bool asks;
  } cases[] = {{0, 2, true}, {0, 1, false}, {3, 1, false}, {1, 4, true}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.from) + " to " + std::to_string(k.to));
    Display().resolution = static_cast<int8_t>(k.from);
    TPrefsDialogADV d;
    d.rows[TPrefsDialogADV::kDisplay]->SetIndex(k.to);
    TPrefsDialogADV::OnDisplayChanged(d.rows[TPrefsDialogADV::kDisplay]);
    // The question, if asked, is answered No.
    PostMessageA(nullptr, WM_CHAR, 27, 0);
    const std::string before = LastMessageText();
    TPrefsDialogADV::OnOk(static_cast<TGenericControlADV*>(d.At(0)));
    Drain();
    EXPECT_EQ(LastMessageText() == kRestartQuestion && before != LastMessageText(), k.asks);
    int32_t stored = -1;
    ASSERT_EQ(Svc().preferences->Get(7, &stored), 0);
    EXPECT_EQ(stored, k.to);
    EXPECT_EQ(Display().resolution, k.asks ? k.from : k.to);
    ShowMessageDialog("", 0, 0, nullptr, 1, nullptr);  // forget the last question
  }
}

TEST_F(DialogsTest, TheAcceleratorRowFollowsTheCardsAndTheRunningDisplay) {
  // Hardware running on a back end with only 640 x 480: the Display row is fixed there.
  gRenderStart.direct3DAvailable = 80;
  gRenderStart.hardwareActive = 1;
  VideoModeAvailable[0] = 2;
  Svc().preferences->Set(0, 1);
  {
    TPrefsDialogADV d;
    EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kAccelerator]), "On");
    EXPECT_TRUE(d.options3d->flags & kHandlerShown);
    EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kDisplay]), "640x480");
    EXPECT_FALSE(d.rows[TPrefsDialogADV::kDisplay]->flags & kHandlerEnabled);
    // Off names what happens after a restart, and offers every resolution again.
    d.DrawAll(0);
    ClickButton(d.rows[TPrefsDialogADV::kAccelerator]);
    EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kAccelerator]), "Off after restart");
    EXPECT_FALSE(d.options3d->flags & kHandlerShown);
    EXPECT_TRUE(d.rows[TPrefsDialogADV::kDisplay]->flags & kHandlerEnabled);
    EXPECT_EQ(d.rows[TPrefsDialogADV::kDisplay]->Count(), 5);
  }
  // Software now, a card found: On resets the resolution to 640 x 480.
  gRenderStart.hardwareActive = 0;
  VideoModeAvailable[0] = 1;
  Display().resolution = 2;
  Svc().preferences->Set(0, 0);
  TPrefsDialogADV d;
  d.DrawAll(0);
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kDisplay]), "1024x768");
  ClickButton(d.rows[TPrefsDialogADV::kAccelerator]);
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kAccelerator]), "On after restart");
  EXPECT_EQ(d.workingResolution, 0);
  EXPECT_EQ(Value(d.rows[TPrefsDialogADV::kDisplay]), "640x480");
  EXPECT_TRUE(d.options3d->flags & kHandlerShown);
}

TEST_F(DialogsTest, TheMainMenuOptionsButtonOpensThePreferences) {
  Answer(27);
  MARect r{};
  for (uint32_t i = 0; MA_EventHandler* e = MainMenuScreen->At(i); ++i)
    if (auto* b = dynamic_cast<TTextButtonADV*>(e); b && b->Text() == "Options") b->GetRect(&r);
  ASSERT_GT(r.right, r.left);
  Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(3);
  // The dialog ran (Esc closed it) and the main menu is back.
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  EXPECT_EQ(SoundSettings(), 0x07);
}

TEST_F(DialogsTest, SoundOptionsWriteOnOkOnly) {
  {
    CSoundDialog d;
    EXPECT_EQ(d.rows[CSoundDialog::kMusic]->Text(), "Off");
    ClickButton(d.rows[CSoundDialog::kSounds]);
    ClickButton(d.rows[CSoundDialog::kMusic]);
    CSoundDialog::OnClick(static_cast<TGenericControlADV*>(d.At(1)));  // Cancel
    EXPECT_TRUE(d.Done());
  }
  EXPECT_EQ(SoundSettings(), 0x07);
  {
    CSoundDialog d;
    ClickButton(d.rows[CSoundDialog::kSounds]);
    ClickButton(d.rows[CSoundDialog::kMusic]);
    CSoundDialog::OnClick(static_cast<TGenericControlADV*>(d.At(0)));  // Ok
  }
  EXPECT_EQ(SoundSettings(), kSoundMenu | kSoundCommentary | kSoundMusic);
  // The driving range has no commentary; Ok keeps its bit as it was.
  ASSERT_EQ(Svc().game->CreateGame(kModeDrivingRange), 1);
  CSoundDialog d;
  EXPECT_FALSE(d.rows[CSoundDialog::kCommentary]->flags & kHandlerShown);
  CSoundDialog::OnClick(static_cast<TGenericControlADV*>(d.At(0)));
  EXPECT_TRUE(SoundSettings() & kSoundCommentary);
}

TEST_F(DialogsTest, GoldenScreenLayoutWithoutHardware) {
  Golfer()->flags &= ~0x8000u;
  SetMainViewChoice(*Golfer(), 0x20000);
  SetPipView(*Golfer(), 0x4000);
  CScreenLayoutDialog d;
  SetCursorPos(10, 590);
  d.DrawAll(0);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kMainView]->Text(), "Snap to pin");
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kPip]->Text(), "Tower-cam");
  EXPECT_FALSE(d.rows[CScreenLayoutDialog::kDynamic]->flags & kHandlerEnabled);
  d3dtest::ExpectGolden(Shrunk(), "screenlayout", 2, "frontend");
  // Without hardware the camera views are passed over both ways.
  ClickButton(d.rows[CScreenLayoutDialog::kMainView]);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kMainView]->Text(), "Fixed");
  ClickButton(d.rows[CScreenLayoutDialog::kMainView], true);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kMainView]->Text(), "Snap to pin");
  // Putting lines are not offered to this golfer.
  d.rows[CScreenLayoutDialog::kGreenGrid]->SetIndex(2);
  ClickButton(d.rows[CScreenLayoutDialog::kGreenGrid]);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kGreenGrid]->Text(), "Gradient");
  ClickButton(d.rows[CScreenLayoutDialog::kGreenGrid], true);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kGreenGrid]->Text(), "Circular");
  ClickButton(d.rows[CScreenLayoutDialog::kOverhead]);
  ClickButton(d.rows[CScreenLayoutDialog::kFastPlay]);
  CScreenLayoutDialog::OnClick(d.buttons[CScreenLayoutDialog::kOk]);
  EXPECT_TRUE(d.Done());
  EXPECT_EQ(GetMainViewChoice(*Golfer()), 0x20000u);
  EXPECT_EQ(GetPipView(*Golfer()), 0x4000u);
  EXPECT_EQ(ViewWord(*Golfer()) & 0xF00, 0x200u);
  EXPECT_TRUE(ViewWord(*Golfer()) & 0x8);
  EXPECT_FALSE(ViewWord(*Golfer()) & 0x1000000);
  EXPECT_TRUE(CurrentGame()->IsFastPlay());
}

TEST_F(DialogsTest, ScreenLayoutWithHardwareTurnsPictureInPictureOffForACameraView) {
  gRenderStart.hardwareActive = 1;
  CScreenLayoutDialog d;
  d.DrawAll(0);
  d.rows[CScreenLayoutDialog::kPip]->SetIndex(2);
  d.rows[CScreenLayoutDialog::kMainView]->SetIndex(2);
  ClickButton(d.rows[CScreenLayoutDialog::kMainView]);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kMainView]->Text(), "Ball-cam");
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kPip]->Text(), "Off");
  ClickButton(d.rows[CScreenLayoutDialog::kPip]);
  EXPECT_EQ(d.rows[CScreenLayoutDialog::kPip]->Text(), "Off");
  EXPECT_TRUE(d.rows[CScreenLayoutDialog::kDynamic]->flags & kHandlerEnabled);
  // Cancel leaves the golfer's choices as they were.
  const uint32_t before = ViewWord(*Golfer());
  ClickButton(d.buttons[CScreenLayoutDialog::kCancel]);
  EXPECT_TRUE(d.Done());
  EXPECT_EQ(ViewWord(*Golfer()), before);
}

TEST_F(DialogsTest, ScreenLayoutFastPlayByMode) {
  ASSERT_EQ(Svc().game->CreateGame(kModeDrivingRange), 1);
  {
    CScreenLayoutDialog d;
    EXPECT_FALSE(d.rows[CScreenLayoutDialog::kFastPlay]->flags & kHandlerShown);
  }
  ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
  CurrentGame()->networked = 1;
  CScreenLayoutDialog d;
  EXPECT_TRUE(d.rows[CScreenLayoutDialog::kFastPlay]->flags & kHandlerShown);
  EXPECT_FALSE(d.rows[CScreenLayoutDialog::kFastPlay]->flags & kHandlerEnabled);
  CurrentGame()->networked = 0;
}

TEST_F(DialogsTest, GoldenPlayerSettings) {
  Golfer()->SetLevel(1);
  CPlayerSettingsDialog d(*Golfer());
  SetCursorPos(10, 590);
  d.DrawAll(0);
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kLevel]->Text(), "Amateur");
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kTee]->Text(), "White");
  EXPECT_FALSE(d.rows[CPlayerSettingsDialog::kHandicap]->flags & kHandlerEnabled);
  d3dtest::ExpectGolden(Shrunk(), "playersettings", 2, "frontend");
}

TEST_F(DialogsTest, PlayerSettingsLevelsAndAids) {
  Golfer()->SetLevel(3);
  Golfer()->wordJ = 1;
  CPlayerSettingsDialog d(*Golfer());
  d.DrawAll(0);
  auto* level = d.rows[CPlayerSettingsDialog::kLevel];
  EXPECT_EQ(level->Text(), "Simulation");
  EXPECT_FALSE(d.rows[CPlayerSettingsDialog::kSwing]->flags & kHandlerEnabled);
  // Forward from Simulation is Novice, never Custom; back from Novice is Simulation.
  ClickButton(level);
  EXPECT_EQ(level->Text(), "Novice");
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kShaft]->Text(), "Flex");
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kTee]->Text(), "Red");
  EXPECT_TRUE(d.rows[CPlayerSettingsDialog::kSwing]->flags & kHandlerEnabled);
  ClickButton(level, true);
  EXPECT_EQ(level->Text(), "Simulation");
  ClickButton(level, true);
  EXPECT_EQ(level->Text(), "Pro");
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kVision]->Text(), "Off");
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kTee]->Text(), "Tournament");
  // Pro swing keeps the power guide out of the presets.
  ClickButton(d.rows[CPlayerSettingsDialog::kSwing]);
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kPowerGuide]->Text(), "On");
  EXPECT_FALSE(d.rows[CPlayerSettingsDialog::kPowerGuide]->flags & kHandlerEnabled);
  EXPECT_EQ(level->Text(), "Pro");
  ClickButton(level, true);
  EXPECT_EQ(level->Text(), "Amateur");
  EXPECT_EQ(d.rows[CPlayerSettingsDialog::kPowerGuide]->Text(), "On");
  // An aid changed makes the level Custom.
  ClickButton(d.rows[CPlayerSettingsDialog::kShaft]);
  EXPECT_EQ(level->Text(), "Custom");
  // Tap-ins change nothing else.
  level->SetIndex(1);
  ClickButton(d.rows[CPlayerSettingsDialog::kTapIns]);
  EXPECT_EQ(level->Text(), "Amateur");
}

TEST_F(DialogsTest, PlayerSettingsRowsByGame) {
  struct Case {
    int mode;
    bool networked;
    std::vector<int> enabled;
  } cases[] = {
      {kModeStroke, true, {CPlayerSettingsDialog::kSwing}},
      {kModeTournament, false,
       {CPlayerSettingsDialog::kSwing, CPlayerSettingsDialog::kRisk, CPlayerSettingsDialog::kTapIns}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.mode);
    ASSERT_EQ(Svc().game->CreateGame(k.mode), 1);
    CurrentGame()->networked = k.networked;
    CPlayerSettingsDialog d(*Golfer());
    for (int id = CPlayerSettingsDialog::kLevel; id <= CPlayerSettingsDialog::kSwing; ++id) {
      const bool on = std::find(k.enabled.begin(), k.enabled.end(), id) != k.enabled.end();
      EXPECT_EQ((d.rows[id]->flags & kHandlerEnabled) != 0, on) << id;
    }
    CurrentGame()->networked = 0;
  }
}

TEST_F(DialogsTest, PlayerSettingsOkStoresAndSavesCancelLeavesTheGolfer) {
  CurrentGame()->golferFolder = "C:\\Players";
  TPlayer* p = Golfer();
  p->SetLevel(1);
  p->flags &= ~kGolferNoFile;
  std::snprintf(p->name, sizeof p->name, "Wren");
  const playerInfo_s before = *p;
  {
    CPlayerSettingsDialog d(*p);
    ClickButton(d.rows[CPlayerSettingsDialog::kTee]);
    ClickButton(d.buttons[CPlayerSettingsDialog::kCancel]);
    EXPECT_TRUE(d.Done());
  }
  EXPECT_EQ(p->option4, before.option4);
  EXPECT_EQ(p->level, before.level);
  {
    CPlayerSettingsDialog d(*p);
    ClickButton(d.rows[CPlayerSettingsDialog::kTee]);
    ClickButton(d.rows[CPlayerSettingsDialog::kRisk]);
    ClickButton(d.rows[CPlayerSettingsDialog::kPuttLines], true);
    CPlayerSettingsDialog::OnClick(d.buttons[CPlayerSettingsDialog::kOk]);
  }
  EXPECT_EQ(p->option4, 2);
  EXPECT_EQ(p->level, 4);
  EXPECT_NE(p->viewOptions & 0x10000, before.viewOptions & 0x10000);
  playerInfo_s saved;
  ASSERT_EQ(LoadGolferFile("C:\\Players", "Wren", saved), kGolferFileOk);
  EXPECT_EQ(saved.option4, 2);
  EXPECT_EQ(saved.level, 4);
}

TEST_F(DialogsTest, TheRoundOpensItsDialogsThroughTheFrontEnd) {
  Answer(27);
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  EXPECT_EQ(Svc().frontEnd->ShowRoundDialog(kDialogScreenLayout), 0);
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  EXPECT_EQ(Svc().frontEnd->ShowRoundDialog(kDialogPlayerSettings), 0);
  PostMessageA(nullptr, WM_CHAR, 27, 0);
  EXPECT_EQ(Svc().frontEnd->ShowRoundDialog(kDialogSoundOptions), 0);
  // No overview file for the hole: nothing opens.
  EXPECT_EQ(Svc().frontEnd->ShowRoundDialog(kDialogHoleOverview), 0);
  Drain();
}

TEST_F(DialogsTest, HoleOverviewFindsTheHolesFileAndPlaysItOnce) {
  CurrentGame()->state.hole = 2;
  EXPECT_EQ(FindOverviewFile(), "");
  const std::string file = Installation() + "/DATA/COURSES/SEDGEFEN/hole03.uv";
  std::ofstream(file) << "overview";
  EXPECT_NE(FindOverviewFile().find("hole03.uv"), std::string::npos);
  {
    COverviewDlg d(FindOverviewFile());
    d.DrawAll(0);
    const MARect a = COverviewDlg::Area();
    const auto* row = reinterpret_cast<const uint16_t*>(DrawnImage()->window->pixels + (a.top - 1) * DrawnImage()->window->rowbytes);
    EXPECT_EQ(row[a.left + 10], 0);
    d.DrawAll(0);
    EXPECT_EQ(d.plays, 1);
    COverviewDlg::OnClick(static_cast<TGenericControlADV*>(d.At(0)));
    EXPECT_EQ(d.plays, 2);
    COverviewDlg::OnClick(static_cast<TGenericControlADV*>(d.At(1)));
    EXPECT_TRUE(d.Done());
  }
  std::filesystem::remove(file);
  // A course folder whose path would not fit is treated as having no overview.
  const std::string longName(240, 'L');
  std::filesystem::create_directories(Installation() + "/DATA/COURSES/" + longName);
  std::ofstream(Installation() + "/DATA/COURSES/" + longName + "/hole03.uv") << "overview";
  CurrentGame()->courseName = longName;
  EXPECT_EQ(FindOverviewFile(), "");
  std::filesystem::remove_all(Installation() + "/DATA/COURSES/" + longName);
}

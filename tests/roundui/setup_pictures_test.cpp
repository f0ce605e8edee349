// The shot set-up as drawn over a stand-in view of a 640 x 480 screen in the demo installation's art, compared with
// golden pictures; the settings bar and the menu bar's pop-up lists as components of that screen.
#include <gtest/gtest.h>

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/gameapp.h"
#include "course/savedfiles.h"
#include "framework/core/errors.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/launch.h"
#include "golf/wind.h"
#include "golf/ballflight.h"
#include "golf/predict.h"
#include "golf/golfmsg.h"
#include "golf/player.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/clubbar.h"
#include "roundui/gameui.h"
#include "roundui/holepanel.h"
#include "roundui/menubar.h"
#include "roundui/menubarlists.h"
#include "roundui/roundturn.h"
#include "roundui/settingsbar.h"
#include "roundui/shotbuttons.h"
#include "roundui/shotpanels.h"
#include "roundui/shotui.h"
#include "roundui/targeting.h"
#include "roundui/tips.h"
#include "roundui/powermeter.h"
#include "roundui/uishapes.h"
#include "roundui/windind.h"
#include "scene/golfview.h"
#include "support/golden.h"
#include "support/ground.h"

#include "screen_fixture.h"

namespace {

using roundtest::kH;
using roundtest::kW;

// The front end's questions and notices, answered from a script.
class Questions : public FrontEndProvider {
 public:
  int ShowMessageDialog(const char* text, int) override {
    asked.emplace_back(text);
    return confirm;
  }
  int AskThreeWay(const char* text) override {
    asked.emplace_back(text);
    return threeWay.empty() ? 0 : Take();
  }
  int ShowNotice(const std::string& text) override {
    asked.push_back(text);
    return 1;
  }
  int ShowRoundDialog(int which) override {
    dialogs.push_back(which);
    return 0;
  }
  int Take() {
    const int a = threeWay.front();
    threeWay.erase(threeWay.begin());
    return a;
  }
  std::vector<std::string> asked;
  std::vector<int> threeWay, dialogs;
  int confirm = 0;
};

// The game's state for the saved-game files; `fail` refuses it.
class SavedState : public GameProvider {
 public:
  int SaveGameState(std::vector<uint8_t>& out) override {
    if (fail) return 1;
    out.assign(64, 7);
    return 0;
  }
  bool fail = false;
};

// A stroke-play round of people at the first shot of a hole, with the whole in-round interface built and open.
class SetUpPictures : public roundtest::RoundPictures {
 protected:
  void SetUp() override {
    RoundPictures::SetUp();
    Facts().sizeSetting = 0;  // 640 x 480
    setwindow(&DisplayWindow);  // as the program's: text colours are made for the display's depth
    BlitImage(RoleImage(kRoleErase), MARect{0, 0, kW, kH}, DrawnImage(), MARect{0, 0, kW, kH});
    Folders().ui640 = PathRecord{};
    std::snprintf(Folders().ui640.drive, sizeof Folders().ui640.drive, "c:");
    PathSetDirectory(&Folders().ui640, "|DATA|UI640");
    // The golfer pictures below the data folder; the lists' pieces in the menus' archive.
    Folders().data = Folders().menus = Folders().ui640;
    PathSetDirectory(&Folders().data, "|DATA");
    PathSetDirectory(&Folders().menus, "|DATA|MENUS");
    // What earlier rounds of the program leave behind; the wind's arrow wobbles by the scene's random numbers.
    Svc().scene->SeedRandom15(1);
    GameUIManager() = TGameUIManager{};
    ProSwingChosen() = false;
    AggrSafeChoice() = kChoiceNone;
    Tips().Reset();
    ShotMeter = ShotMeterValues{};
    ShotRiskValue = 0;
    MeterInputEnabled = true;
    TMA_EventHandlerList::rememberedX = TMA_EventHandlerList::rememberedY = -1;
    questions_.SuppressDialogs(false);
    Svc().frontEnd = &questions_;
    Svc().game = &state_;
    std::filesystem::remove_all(roundtest::Installation() + "/SAVEGAME");
    SetSavedGameFolder("C:\\SAVEGAME");
    ASSERT_TRUE(balltest::makeGround(60, 300, 0x10));
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = "SetUpGolf";
    RegisterClassA(&cls);
    GolfMainWindow = CreateWindowExA(0, "SetUpGolf", "golf", 0, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(GolfMainWindow);
    GolfMainWindow = nullptr;
    DestroyGameUI();
    // The round's choices and its wind stay with this test.
    AggrSafeChoice() = kChoiceNone;
    ProSwingChosen() = false;
    DeleteWindGenerators();
    BallSetWind(0, 0);
    FontFreeStandardSet();
    FreeGameUIShapes();
    Svc().frontEnd = nullptr;
    Svc().game = nullptr;
    RoundPictures::TearDown();
  }
  // `golfersMade` runs once the golfers are in place, before the interface is built.
  void StartRound(int mode, int golfers, const std::function<void()>& golfersMade = {}) {
    ASSERT_EQ(CreateGame(mode), 1);
    g_ = CurrentGame();
    g_->roundRunning = 1;
    g_->SetOptionField(0, 1);  // a steady moderate wind
    g_->SetupWind();
    // The heading follows the view's seed, which earlier tests leave behind.
    g_->windHeading = 0x6000;
    BallSetWind(g_->windSpeed, g_->windHeading);
    static const char* const kNames[4] = {"Ada", "Tom", "Kim", "Lou"};
    for (int s = 0; s < golfers; ++s) {
      TPlayer* p = g_->players->GetPlayer(s);
      p->flags |= kGolferTakesPart | kGolferFlag5;
      std::snprintf(p->name, sizeof p->name, "%s", kNames[s]);
      PlaceBallAt(p, Vector3{0.0f, -100.0f, 0.0f});
    }
    if (golfersMade) golfersMade();
    BuildGameUI();
    ASSERT_TRUE(GameUIBuilt());
    ShowGolferToPlay();
    BeginPersonShot();
    Present();
  }
  void Present() {
    InvalidateRoundView();
    PresentRoundFrame();
  }
  void Click(int16_t x, int16_t y) {
    TMA_EventHandlerList* list = CurrentHandlerList();
    list->OnPointerDown(x, y, 0);
    list->OnPointerUp(x, y, 0);
    Present();
  }
  // The settings bar over the shot controls (the options list's button holds their corner), owned by the list.
  void BuildBar() {
    bar_ = new TSettingsUI;
    ASSERT_EQ(bar_->Build(kW - 1, kH - 61), 0);
    InRound().list->AddHandler(bar_);
  }
  std::vector<uint32_t> Posted() {
    std::vector<uint32_t> ids;
    MSG m;
    while (PeekMessageA(&m, GolfMainWindow, kGolfWindowMessage, kGolfWindowMessage, PM_REMOVE))
      ids.push_back(static_cast<uint32_t>(m.wParam));
    return ids;
  }
  Questions questions_;
  SavedState state_;
  TGame* g_ = nullptr;
  TSettingsUI* bar_ = nullptr;
};

TEST_F(SetUpPictures, PanelsButtonsAndWind) {
  // A view turned elsewhere by what ran before: the arrow is taken from the shot's own view, not from it.
  MainView.SetHeading(0x4000);
  StartRound(kModeStroke, 1);
  const int facing = ((g_->windHeading - MainView.heading) & 0xFFFF) / 4096;
  EXPECT_TRUE(WindIndicator->sector == facing || WindIndicator->sector == (facing + 1) % 16) << WindIndicator->sector;
  d3dtest::ExpectGolden(Crop(0, 0, 280, 70), "hole_panel_one", 0, "roundui");
  d3dtest::ExpectGolden(Crop(298, 390, 108, 50), "lie_panel", 0, "roundui");
  d3dtest::ExpectGolden(Crop(515, 330, 125, 24), "distance_panel", 0, "roundui");
  d3dtest::ExpectGolden(Crop(298, 355, 124, 22), "shot_types_normal", 0, "roundui");
  d3dtest::ExpectGolden(Crop(410, 330, 160, 140), "shape_buttons", 0, "roundui");
  d3dtest::ExpectGolden(Crop(330, 326, 90, 22), "aggr_safe_none", 0, "roundui");
  d3dtest::ExpectGolden(Crop(570, 365, 70, 50), "wind_indicator", 0, "roundui");
  // The pointer over "CH" lights it; a click selects it.
  CurrentHandlerList()->OnPointerMove(349, 366, 0);
  Present();
  d3dtest::ExpectGolden(Crop(298, 355, 124, 22), "shot_types_focused", 0, "roundui");
  Click(349, 366);
  CurrentHandlerList()->OnPointerMove(100, 100, 0);
  Present();
  d3dtest::ExpectGolden(Crop(298, 355, 124, 22), "shot_types_selected", 0, "roundui");
  Click(352, 337);  // SAFE
  d3dtest::ExpectGolden(Crop(330, 326, 90, 22), "aggr_safe_safe", 0, "roundui");
}

TEST_F(SetUpPictures, HolePanelOfFourGolfers) {
  StartRound(kModeStroke, 4);
  d3dtest::ExpectGolden(Crop(0, 0, 280, 110), "hole_panel_four", 0, "roundui");
}

// The active golfer's score counts the shot in hand, the others' do not, and the card is left as it was.
TEST_F(SetUpPictures, TheActiveGolfersScoreCountsTheShotInHand) {
  StartRound(kModeStroke, 4);
  ASSERT_NE(HolePanel, nullptr);
  const int active = g_->state.currentPlayer;
  const int par = Svc().catalogue->HolePar(g_->state.hole);
  const auto text = [](int toPar) {
    char t[16];
    std::snprintf(t, sizeof t, toPar > 0 ? "(+%d)" : "(%d)", toPar);
    return std::string(t);
  };
  for (const bool inPlay : {true, false}) {
    g_->players->GetPlayer(active)->inPlay = inPlay ? 1 : 0;
    HolePanel->RefreshScores();
    for (int s = 0; s < 4; ++s) {
      EXPECT_EQ(HolePanel->scores[s], text(s == active && inPlay ? 1 - par : 0)) << s << " " << inPlay;
      uint32_t strokes = 1;
      g_->players->GetPlayer(s)->GetHoleScore(g_->state.round, g_->state.hole, &strokes, nullptr);
      EXPECT_EQ(strokes & ~kScoreMarker, 0u);
    }
  }
}

// A file of the installation put out of the program's reach while it lives (names are matched in any case, as the
// drive does).
class HiddenFile {
 public:
  HiddenFile(const std::string& folder, const std::string& name) {
    for (const auto& e : std::filesystem::directory_iterator(roundtest::Installation() + "/" + folder))
      if (strcasecmp(e.path().filename().c_str(), name.c_str()) == 0) path_ = e.path();
    EXPECT_FALSE(path_.empty()) << folder << "/" << name;
    if (!path_.empty()) std::filesystem::rename(path_, path_.string() + ".away");
  }
  ~HiddenFile() {
    if (!path_.empty()) std::filesystem::rename(path_.string() + ".away", path_);
  }

 private:
  std::filesystem::path path_;
};

// White pixels (the speed line's colour) in a rectangle of the drawn screen.
int WhitePixels(const MARect& r) {
  const WindowDesc* w = DrawnImage()->window;
  int white = 0;
  for (int32_t y = std::max(r.top, 0); y < std::min(r.bottom, kH); ++y)
    for (int32_t x = std::max(r.left, 0); x < std::min(r.right, kW); ++x)
      white += reinterpret_cast<const uint16_t*>(w->pixels + y * w->rowbytes)[x] == 0xFFFF;
  return white;
}

// Without the arrows' file the wind indicator still tells the speed; nothing is reported.
TEST_F(SetUpPictures, NoWindArrowsDrawTheSpeedAlone) {
  HiddenFile arrows("DATA/UI640", "wind.fsh");
  StartRound(kModeStroke, 1);
  ASSERT_NE(WindIndicator, nullptr);
  for (const uint8_t* a : WindIndicator->arrows) EXPECT_EQ(a, nullptr);
  EXPECT_EQ(WindIndicator->speedLine, WindSpeedLine(g_->windSpeed));
  EXPECT_GT(WhitePixels(WindIndicator->dirty), 20) << "the speed line";
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
}

// The indicator is shown again at every re-show, even when it could not be built (nothing happens then), and its
// erase in any sector, the first too, puts the view back and marks the area for the screen, so no arrow stays.
TEST_F(SetUpPictures, TheWindIndicatorShowsWhenItCanAndErasesInEverySector) {
  StartRound(kModeStroke, 1);
  WindIndicatorEventHandler* built = WindIndicator;
  ASSERT_NE(built, nullptr);
  WindIndicator = nullptr;
  SetWindIndicatorVisible(0);
  SetWindIndicatorVisible(1);
  WindIndicator = built;
  const MARect r = built->dirty;
  const auto differing = [&r] {
    const WindowDesc* drawn = DrawnImage()->window;
    const WindowDesc* back = RoleImage(kRoleErase)->window;
    int n = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
      for (int32_t x = r.left; x < r.right; ++x)
        n += reinterpret_cast<const uint16_t*>(drawn->pixels + y * drawn->rowbytes)[x] !=
             reinterpret_cast<const uint16_t*>(back->pixels + y * back->rowbytes)[x];
    return n;
  };
  for (int sector : {0, 5}) {
    built->sector = sector;
    built->Draw(0);
    EXPECT_GT(differing(), 0) << sector;
    ClearDirtyRects();
    built->Erase(0);
    EXPECT_EQ(differing(), 0) << sector;
    EXPECT_GT(DisplayMgr().dirtyCount, 0) << sector;
  }
}

// A golfer picture that does not load ends the loading of the pictures there, quietly: the golfers after it have
// none although theirs are on the disk, and the panel draws without them.
TEST_F(SetUpPictures, AMissingGolferPictureStopsThePicturesQuietly) {
  HiddenFile senior("DATA/PICS", "senior.fsh");
  StartRound(kModeStroke, 3, [this] { g_->players->GetPlayer(1)->model = 19; });  // a senior's picture
  ASSERT_NE(HolePanel, nullptr);
  EXPECT_TRUE(HolePanel->HasGolferPicture(0));
  EXPECT_FALSE(HolePanel->HasGolferPicture(1));
  EXPECT_FALSE(HolePanel->HasGolferPicture(2));
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  EXPECT_EQ(HolePanel->names[2], "Kim");
}

// A panel font that does not load is told as error 7, once, and the round goes on: the panel keeps its pieces and
// its texts, and the shot controls take the swing.
TEST_F(SetUpPictures, APanelFontThatDoesNotLoadIsToldAndTheRoundGoesOn) {
  HiddenFile font("DATA/FONTS", "Hal8b.ffn");
  StartRound(kModeStroke, 1);
  ASSERT_NE(HolePanel, nullptr);
  EXPECT_EQ(HolePanel->fontError, 1);
  EXPECT_TRUE(HolePanel->HasGolferPicture(0));
  EXPECT_EQ(HolePanel->shotLabel, "Shot 1");
  EXPECT_TRUE(AwaitingSwing());
  Present();
  // The standard fonts and the help texts share that font and tell of it too; a panel alone tells it once.
  winapi::testing::TakeMessageBoxes();
  {
    CHoleNumParGfx panel;
    EXPECT_EQ(panel.fontError, 1);
    EXPECT_EQ(panel.names[0], "Ada");
  }
  const auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, ErrorText(7));
}

// The tips button comes alive when a draw is offered: its animation steps through its frames on the clock while it
// lives, and stops when the offer goes.
TEST_F(SetUpPictures, TheLiveTipsButtonAnimates) {
  StartRound(kModeStroke, 1);
  TZarvotipBtn* button = Tips().button;
  ASSERT_NE(button, nullptr);
  const auto framesSeen = [button](int passes) {
    std::vector<int> frames{button->frame};
    for (int i = 0; i < passes; ++i) {
      Sleep(60);
      button->OnIdle();
      if (frames.back() != button->frame) frames.push_back(button->frame);
    }
    return frames;
  };
  EXPECT_EQ(Tips().inactive, 1);
  EXPECT_EQ(framesSeen(10).size(), 1u) << "still while nothing is offered";
  Tips().randomPick = 2;
  Tips().OnDrawChosen();
  ASSERT_EQ(Tips().inactive, 0);
  // A frame every 120 ms, 1 to 7 and round again.
  EXPECT_EQ(framesSeen(20), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1, 2, 3, 4}));
  Tips().ClearTipOffer();
  Tips().UpdateTipButton();
  EXPECT_EQ(Tips().inactive, 1);
  EXPECT_EQ(framesSeen(10).size(), 1u) << "stopped with the offer";
}

TEST_F(SetUpPictures, OptionsListWithTheLieList) {
  StartRound(kModeDrivingRange, 1);
  Click(312, 341);  // the options list's button
  ASSERT_TRUE(InRound().shotUI->settingsPopup);
  RunOptionItem(kOptionChooseLie);
  Present();
  d3dtest::ExpectGolden(Crop(150, 150, 290, 230), "options_with_lies", 0, "roundui");
}

TEST_F(SetUpPictures, TheOpenSettingsBar) {
  StartRound(kModeStroke, 1);
  BuildBar();
  Click(312, 281);
  ASSERT_TRUE(bar_->Open());
  d3dtest::ExpectGolden(Crop(0, 260, 340, 40), "settings_bar_open", 0, "roundui");
}

TEST_F(SetUpPictures, TheSettingsBarOffersByMode) {
  struct Case {
    int mode;
    int buttons;
    bool concede, nextHole;
  } cases[] = {
      {kModeStroke, 10, false, false},   {kModeMatchPlay, 11, true, false}, {kModeSkins, 11, true, false},
      {kModeFourBall, 11, true, false}, {kModePractice, 11, false, true},  {kModeTournament, 10, false, false},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(CreateGame(c.mode), 1);
    TSettingsUI bar;
    ASSERT_EQ(bar.Build(kW - 1, kH - 1), 0);
    EXPECT_EQ(bar.ButtonCount(), c.buttons) << c.mode;
    EXPECT_EQ(bar.Button(kSettingsConcede) != nullptr, c.concede) << c.mode;
    EXPECT_EQ(bar.Button(kSettingsNextHole) != nullptr, c.nextHole) << c.mode;
    EXPECT_STREQ(bar.Button(kSettingsSaveGame)->text, "Save Game");
    // Right to left from the toggle, all on its row.
    EXPECT_LT(bar.Button(kSettingsLast)->right, bar.Button(kSettingsOverview)->left);
    EXPECT_EQ(bar.Button(kSettingsLast)->top, bar.Button(kSettingsOverview)->top);
  }
  DeleteCurrentGame();
  EXPECT_FALSE(SettingsButtonOffered(kSettingsConcede, nullptr));
  EXPECT_FALSE(SettingsButtonOffered(kSettingsNextHole, nullptr));
}

TEST_F(SetUpPictures, APressOutsideTheOpenBarClosesItWithoutACommand) {
  StartRound(kModeStroke, 1);
  BuildBar();
  Click(312, 281);
  ASSERT_TRUE(bar_->Open());
  Click(100, 100);
  EXPECT_FALSE(bar_->Open());
  EXPECT_TRUE(questions_.asked.empty());
  EXPECT_TRUE(questions_.dialogs.empty());
  EXPECT_TRUE(Posted().empty());
  // A button of the open bar runs its command and closes the bar.
  Click(312, 281);
  ASSERT_TRUE(bar_->Open());
  const TSettingsBtn* overview = bar_->Button(kSettingsOverview);
  Click(static_cast<int16_t>(overview->anchorX), static_cast<int16_t>(overview->anchorY));
  EXPECT_FALSE(bar_->Open());
  EXPECT_EQ(questions_.dialogs, std::vector<int>{kDialogHoleOverview});
}

// "Save game before quitting?": Ok saves and ends, No ends without saving, Cancel stays; a round whose save did not
// succeed stays, and the player is told why.
TEST_F(SetUpPictures, SavingBeforeQuitting) {
  struct Case {
    const char* name;
    bool savedBefore, stateFails;
    std::vector<int> answers;
    bool ended;
    int files;
    std::vector<std::string> asked;
  } cases[] = {
      {"first save", false, false, {1}, true, 1, {"Save game before quitting?", "Game saved. There is 1 saved game."}},
      {"no save", false, false, {2}, true, 0, {"Save game before quitting?"}},
      {"cancel", false, false, {0}, false, 0, {"Save game before quitting?"}},
      {"update", true, false, {1, 1}, true, 1,
       {"Save game before quitting?", "Update last saved game?", "Game saved. There is 1 saved game."}},
      {"new number", true, false, {1, 2}, true, 2,
       {"Save game before quitting?", "Update last saved game?", "Game saved. There are 2 saved games."}},
      {"update cancelled", true, false, {1, 0}, false, 1, {"Save game before quitting?", "Update last saved game?"}},
      {"failed", false, true, {1}, false, 0,
       {"Save game before quitting?", "The game could not be written. Game Not Saved"}},
  };
  StartRound(kModeStroke, 1);
  for (const Case& c : cases) {
    std::filesystem::remove_all(roundtest::Installation() + "/SAVEGAME");
    SetSavedGameFolder("C:\\SAVEGAME");
    if (c.savedBefore) {
      ASSERT_EQ(SaveGame(0, nullptr), 0);
    }
    questions_.asked.clear();
    questions_.threeWay = c.answers;
    state_.fail = c.stateFails;
    Posted();
    EXPECT_EQ(EndGameSequence(), c.ended) << c.name;
    EXPECT_EQ(Posted(), c.ended ? std::vector<uint32_t>{kGolfQuit} : std::vector<uint32_t>{}) << c.name;
    EXPECT_EQ(static_cast<int>(ListSavedGames().size()), c.files) << c.name;
    EXPECT_EQ(questions_.asked, c.asked) << c.name;
  }
}

TEST_F(SetUpPictures, PracticeEndsAtOnceAndANetworkGameAsks) {
  StartRound(kModePractice, 1);
  EXPECT_TRUE(EndGameSequence());
  EXPECT_TRUE(questions_.asked.empty());
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfQuit});
  g_->networked = 1;
  questions_.confirm = 27;
  EXPECT_FALSE(EndGameSequence());
  EXPECT_EQ(questions_.asked, std::vector<std::string>{"Are you sure you want to end the game?"});
  EXPECT_TRUE(Posted().empty());
  g_->networked = 0;
  // The next hole leaves this one.
  RunSettingsCommand(kSettingsNextHole);
  EXPECT_EQ(Posted(), std::vector<uint32_t>{kGolfLeaveHole});
}

TEST_F(SetUpPictures, OptionalListItems) {
  StartRound(kModeStroke, 1);
  const struct {
    int item;
    int dialog;
  } dialogs[] = {{0, kDialogScreenLayout}, {3, kDialogPlayerSettings}, {5, kDialogCameraPosition},
                 {6, kDialogRotateView},   {13, kDialogCalibration},    {14, kDialogSoundOptions}};
  for (const auto& d : dialogs) {
    questions_.dialogs.clear();
    RunOptionItem(d.item);
    EXPECT_EQ(questions_.dialogs, std::vector<int>{d.dialog}) << d.item;
  }
  // Saving from the list; the swing type switches there and back.
  RunOptionItem(2);
  EXPECT_EQ(ListSavedGames().size(), 1u);
  const bool pro = ProSwingChosen();
  const std::string text = OptionItemText(15);
  RunOptionItem(15);
  EXPECT_NE(ProSwingChosen(), pro);
  EXPECT_NE(OptionItemText(15), text);
  RunOptionItem(15);
  EXPECT_EQ(ProSwingChosen(), pro);
  EXPECT_EQ(OptionItemText(15), text);
}

// Two lists of one bar, on the shared bar of a screen: opening the second closes the first.
TEST_F(SetUpPictures, OpeningASecondBarListClosesTheFirst) {
  StartRound(kModeStroke, 1);
  {
    TMA_EventHandlerList screen;
    ASSERT_EQ(screen.CreateList(4), 0);
    ASSERT_EQ(InstallMenuBar(&screen), 0);
    TMenuBarADV* bar = SharedMenuBar();
    static std::vector<std::string> events;
    events.clear();
    TMBarPopUpListBox* lists[2] = {new TMBarPopUpListBox(100, 440, "Clubs", ListFont(), bar, 'l', 80, 3),
                                   new TMBarPopUpListBox(250, 440, "Replay", ListFont(), bar, 'r', 80, 3)};
    for (TMBarPopUpListBox* l : lists) {
      ASSERT_EQ(AddToMenuBar(bar, l), 0);
      EXPECT_EQ(l->AddItem("first", 1), 1);
      EXPECT_EQ(l->AddItem("second", 2), 1);
      l->SetOpenCallback([](TPopUpListPart*) { events.push_back("open"); });
      l->SetCloseCallback([](TPopUpListPart*) { events.push_back("close"); });
      l->SetItemHandler([](TListBoxADV*, ListEntry* e) {
        if (e) events.push_back(e->text);
      });
    }
    const auto click = [&](int16_t x, int16_t y) {
      screen.OnPointerDown(x, y, 0);
      screen.OnPointerUp(x, y, 0);
    };
    const auto centre = [](const MA_EventHandler* h) {
      return std::pair<int16_t, int16_t>(static_cast<int16_t>((h->left + h->right) / 2),
                                         static_cast<int16_t>((h->top + h->bottom) / 2));
    };
    click(centre(lists[0]).first, centre(lists[0]).second);
    EXPECT_TRUE(lists[0]->ListShown());
    EXPECT_EQ(bar->openItem, lists[0]);
    click(centre(lists[1]).first, centre(lists[1]).second);
    EXPECT_FALSE(lists[0]->ListShown());
    EXPECT_TRUE(lists[1]->ListShown());
    EXPECT_EQ(bar->openItem, lists[1]);
    // A row of the open list is chosen through the list; a press elsewhere closes it.
    const TGameListBoxADV* rows = lists[1]->list;
    click(static_cast<int16_t>(rows->left + 10), static_cast<int16_t>(rows->top + rows->RowHeight() + 2));
    EXPECT_EQ(lists[1]->GetCurrentText(), "second");
    click(10, 10);
    EXPECT_FALSE(lists[1]->ListShown());
    EXPECT_EQ(events, (std::vector<std::string>{"open", "close", "open", "second", "close"}));
  }
  // The last proxy took the bar with it.
  EXPECT_EQ(SharedMenuBar(), nullptr);
}

// The shot controls' panel as a person's first shot shows it, and the club pop-up with the irons' list open.
TEST_F(SetUpPictures, ShotPanelAndTheClubPopupWithTheIrons) {
  StartRound(kModeStroke, 1);
  const TShotUIManager* panel = InRound().shotUI;
  ASSERT_TRUE(panel);
  // Up to the wind indicator, whose arrow turns with the view earlier tests left (it has a picture of its own).
  ASSERT_TRUE(WindIndicator);
  d3dtest::ExpectGolden(Crop(panel->left, panel->top, WindIndicator->left - panel->left, panel->bottom - panel->top),
                        "shot_panel", 0, "roundui");
  int32_t x = 0, y = 0;
  ASSERT_TRUE(ClubBarPoint(kClubPartHandle, &x, &y));
  Click(static_cast<int16_t>(x), static_cast<int16_t>(y));
  ASSERT_TRUE(ClubPopupOpen());
  ASSERT_TRUE(ClubBarPoint(2, &x, &y));
  Click(static_cast<int16_t>(x), static_cast<int16_t>(y));
  const TGameListBoxADV* irons = OpenClubList();
  ASSERT_TRUE(irons);
  // The box over the panel's controls, the list of irons above it.
  d3dtest::ExpectGolden(Crop(340, 185, 80, 265), "club_popup_irons", 0, "roundui");
}

// A swing of the next shot: the meter shows none of the last swing's marks, and a swing pressed before the list's
// idle pass has laid the arc out for the ball's new place flies from there, not along the last shot's line.
TEST_F(SetUpPictures, TheNextShotsSwingStartsFromTheBallsNewPlace) {
  StartRound(kModeStroke, 1);
  TPlayer* p = g_->players->GetPlayer(0);
  TPowerMeterUI* meter = PowerMeter;
  TargetingArcEventHandler* arc = CurrentTargetingHandler;
  ASSERT_TRUE(meter && arc);
  arc->FollowShot();  // the first shot's idle pass
  Present();
  const auto meterPicture = [&] {
    return Crop(meter->left, meter->top, meter->right - meter->left, meter->bottom - meter->top).rgb;
  };
  const std::vector<uint32_t> fresh = meterPicture();
  meter->launch = nullptr;  // the swing computes its shot; the flight is not this test's
  GolfState.status = kGolfShotBegins;
  const auto swing = [&] {
    std::vector<winapi::testing::ScriptedEvent> script;
    for (uint32_t at : {1350u, 1900u}) {
      auto press = winapi::testing::ScriptPress(at, VK_SPACE, 30);
      script.insert(script.end(), press.begin(), press.end());
    }
    winapi::testing::StartInputScript(script, 1);
    EXPECT_EQ(meter->OnChar(' '), 1);
    winapi::testing::StopInputScript();
  };
  swing();
  ASSERT_NE(meter->powerMark, kMeterNone);
  Present();
  EXPECT_FALSE(meterPicture() == fresh) << "the swing's marks show";
  // The next shot, from forty yards on; no idle pass comes before the swing.
  const Vector3 next{0.0f, -60.0f, 0.0f};
  const std::string teeDistance = DistancePanel->firstLine;
  PlaceBallAt(p, next);
  BeginPersonShot();
  Present();
  EXPECT_TRUE(meterPicture() == fresh) << "the last swing's marks show at the new shot";
  swing();
  // The distance panel tells of the new place.
  EXPECT_NE(DistancePanel->firstLine, teeDistance);
  EXPECT_EQ(p->ballBeforeShot.position.y, next.y);
  EXPECT_EQ(arc->laidBall.x, next.x);
  EXPECT_EQ(arc->laidBall.y, next.y);
}

}  // namespace

// The star golfer's aggressive choice puts it on a charge (its animation flag: the longer streak); the safe choice,
// the choice's reset and any other golfer leave it off.
TEST_F(SetUpPictures, TheStarGolfersAggressiveChoicePutsItOnACharge) {
  struct Case {
    int32_t model;
    std::vector<int32_t> choices;  // 0: the choice is reset
    bool onCharge;
  };
  const Case cases[] = {
      {17, {kChoiceAggressive}, true},
      {17, {kChoiceAggressive, kChoiceSafe}, false},
      {17, {kChoiceAggressive, 0}, false},
      {3, {kChoiceAggressive}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    StartRound(kModeStroke, 1, [&] { g_->players->GetPlayer(0)->model = c.model; });
    TPlayer* p = g_->players->GetPlayer(0);
    ASSERT_EQ(GolferToPlay(), p);
    for (int32_t choice : c.choices) {
      if (choice) ApplyAggrSafeChoice(choice);
      else ResetAggrSafeChoice();
    }
    EXPECT_EQ(p->GetAnimationFlag(), c.onCharge);
    DestroyGameUI();
    AggrSafeChoice() = kChoiceNone;
  }
}

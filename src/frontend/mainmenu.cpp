#include <cstdio>
#include <cstring>
#include <vector>

#include "course/catalogue.h"
#include "framework/core/bigfileio.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/gamemodes.h"
#include "frontend/settingsdlg.h"
#include "frontend/highlights.h"
#include "frontend/netscreens.h"
#include "frontend/options3d.h"
#include "frontend/paneldemo.h"
#include "frontend/rangemenu.h"
#include "frontend/savedgames.h"
#include "frontend/screens.h"
#include "golf/game.h"
#include "golf/modes.h"
#include "course/roster.h"
#include "framework/core/errors.h"
#include "framework/core/registry.h"
#include "mmsystem.h"

TMainMenuADV* MainMenuScreen = nullptr;
TGenericControlADV* TeeOffButton = nullptr;
int32_t QuitAfterGame = 0;
int32_t DemoRound = 0;
int32_t StartInMainMenu = 0;
void (*StartScreenHook)() = nullptr;

namespace {

MenuCourseDescription gDescription;
bool gFirstRoundDone = false;
int gDemoHole = 0;

// The demonstration's hole on a practice game: one hole, that one.
void SetUpDemoHole(TGame* game) {
  game->state.holeCount = 1;
  game->state.firstHole = static_cast<uint16_t>(gDemoHole);
  game->state.hole = static_cast<uint16_t>(gDemoHole);
  if (auto* practice = dynamic_cast<TPracticeGame*>(game)) practice->SetHoleMask(1u << gDemoHole);
}

int TakingPart() {
  TGame* g = CurrentGame();
  if (!g || !g->players) return 0;
  int n = 0;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (const TPlayer* p = g->players->GetPlayer(s); p && (p->flags & kGolferTakesPart) && !(p->flags & 0x40)) ++n;
  return n;
}

void Notice(const char* text) {
  ShowConfirmDialog(text, nullptr, nullptr);
  RedrawMainMenu();
}

std::string PlayersFolder() {
  char path[MAX_PATH];
  return PathJoin(&Folders().players, nullptr, path, sizeof path) ? path : "";
}


// A game past its first hole, or with strokes on its card, is under way.
bool GameUnderWay(TGame& game) {
  if (game.state.round > 0 || game.state.hole != game.state.firstHole) return true;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = game.players->GetPlayer(s);
    uint32_t strokes = 0;
    if (p && (p->flags & kGolferTakesPart) && p->GetHoleScore(game.state.round, game.state.hole, &strokes, nullptr) == kRecordOk &&
        strokes)
      return true;
  }
  return false;
}

constexpr uint32_t kLive = kHandlerShown | kHandlerEnabled;

// The first line of the Today's Game panel; modes 5 and 6 leave it as it was.
void FormatGameTitle(char* buffer, size_t size) {
  TGame* g = CurrentGame();
  if (!g) return;
  const char* holes = g->state.holeCount == 18 ? "All 18" : g->state.firstHole == 0 ? "Front 9" : "Back 9";
  switch (g->mode) {
    case kModeStroke: std::snprintf(buffer, size, "Stroke Play -- %s", holes); break;
    case kModeSkins: std::snprintf(buffer, size, "Skins Game -- %s", holes); break;
    case kModeMatchPlay: std::snprintf(buffer, size, "MatchPlay -- %s", holes); break;
    case kModeFourBall: std::snprintf(buffer, size, "Four Ball -- %s", holes); break;
    case kModeFoursome: std::snprintf(buffer, size, "Foursomes -- %s", holes); break;
    case kModePractice: std::snprintf(buffer, size, "Practice"); break;
    case kModeTournament: {
      const uint16_t rounds = g->state.lead;  // the tournament keeps its round count there
      std::snprintf(buffer, size, "Tournament -- %s", rounds == 1 ? "1 round" : rounds == 2 ? "2 rounds" : "4 rounds");
      break;
    }
    case kModeShootout: std::snprintf(buffer, size, "Shoot-Out -- 3 holes"); break;
    case kModeDrivingRange: std::snprintf(buffer, size, "Driving Range"); break;
    default: break;
  }
}

}  // namespace

void ReplaceCurrentScreen(TMA_EventHandlerList* screen) {
  TMA_EventHandlerList* old = CurrentScreen;
  CurrentScreen = nullptr;
  if (old == MainMenuScreen) MainMenuScreen = nullptr;
  delete old;
  CurrentScreen = screen;
  if (screen) {
    screen->DrawAll(0);
    AddDirtyRect(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
  }
}

int SaveLastGame() {
  // The save goes through a temporary file: a failed save leaves the previous file as it was.
  return SaveGameFile(&Folders().root, "LastGame.dat");
}

const std::string& CourseBlurb() { return gDescription.blurb; }
const MenuCourseDescription& CurrentCourseDescription() { return gDescription; }

int LoadCourseDescription() {
  gDescription = MenuCourseDescription{};
  TGame* g = CurrentGame();
  if (!g) return 0;
  const int n = FindCourseByName(g->courseName.c_str());
  CourseRecord record{};
  if (GetCourseInfo(n < 0 ? 0 : n, &record) != 0) return 0;
  // The hard disk first, then the game disc; after that the player is asked for the course's disc until the
  // files are found or the prompt is cancelled.
  for (int attempt = 0;; ++attempt) {
    PathRecord folder;
    if (attempt == 0) {
      folder = Folders().root;
    } else {
      if (attempt >= 2) {
        Svc().catalogue->SetCurrentCourse();
        const char* disc = Svc().catalogue->CurrentCourseDisc();
        if (PromptForCourseDisc(disc && disc[0] ? disc : record.title, 1) == ERR_USERABORT) return ERR_USERABORT;
      }
      if (!LocateGameCd()) continue;
      folder = Folders().discRoot;
    }
    PathAppend(&folder, "DATA");
    PathAppend(&folder, "COURSES");
    PathAppend(&folder, record.folder);
    if (!FileExists(&folder, "COURSE.DAT") || !FileExists(&folder, "practice.dat")) continue;
    std::vector<uint8_t> course, practice;
    if (!BigFileLoadBytes(&folder, "COURSE.DAT", course) || !BigFileLoadBytes(&folder, "practice.dat", practice))
      return ERR_FILENOTFOUND;
    ParseCourseDescription(course.data(), course.size(), practice.data(), practice.size(), gDescription);
    return 0;
  }
}

int StartFrontEnd() {
  // The start got through: the next start is not a fail-safe one.
  Svc().preferences->Set(kPrefLaunching, 0);
  DemoRound = 0;
  if (TGame* g = CurrentGame()) {
    g->roundRunning = 0;
    if (g->courseName.empty() && GetCourseCount() > 0) {
      CourseRecord r{};
      if (GetCourseInfo(0, &r) == 0) g->courseName = r.folder;
    }
  }
  SaveLastGame();
  return 0;
}

void ShowMainMenu() {
  SetScreenLayout(true);
  FlushInput();
  Svc().sound->StartMenuSounds();
  ReplaceCurrentScreen(nullptr);
  auto* menu = new TMainMenuADV();
  ReplaceCurrentScreen(menu);
  MainMenuScreen = menu;
}

void RedrawMainMenu() {
  if (MainMenuScreen) {
    MainMenuScreen->EraseAll(0);
    MainMenuScreen->DrawAll(0);
  } else if (!CurrentScreen) {
    ShowMainMenu();
  }
}

void BeginPlay(TGenericControlADV* control) {
  if (!control && StartPanel != DemoPanel::kNone) {
    ShowPanelDemo(StartPanel);
    return;
  }
  if (!control && StartInMainMenu) {
    ShowMainMenu();
    if (StartInMainMenu == 2) ShowGolfersScreen(nullptr);
    if (StartInMainMenu == 3) ShowCoursesScreen(nullptr);
    if (StartScreenHook) StartScreenHook();
    return;
  }
  TGame* game = CurrentGame();
  if (!game) {
    Svc().game->CreateGame(kModeStroke);
    game = CurrentGame();
  }
  if (!game) return;
  const int n = TakingPart();
  const int mode = game->mode;
  const char* notice = nullptr;
  if (mode == kModeSkins && n < 2) notice = "You need at least 2 players for a Skins Game.";
  else if (mode == kModeMatchPlay && n < 2) notice = "You need at least 2 players for match play.";
  else if (mode == kModeMatchPlay && n > 2) notice = "You can only have two players for match play.";
  else if (mode == kModeFourBall && n < 3) notice = "You need at least 3 players for a four ball match.";
  else if (mode == kModeFoursome && n < 3) notice = "You need at least 3 players for a foursomes match.";
  else if (mode == kModeShootout && n < 4) notice = "You need 4 players for a Shoot-Out.";
  else if (n < 1) notice = "You need to have at least 1 player in the Selected Golfers list.";
  if (notice) {
    // At start-up nobody waits for an answer: the main menu opens, where the golfers are chosen (when the
    // installation has the menus).
    if (!control) {
      if (FileExists(MenuArchive(), "menus.viv")) ShowMainMenu();
    } else {
      Notice(notice);
    }
    return;
  }
  // The driving range starts from its own menu, on the facility chosen there.
  const bool range = control && mode == kModeDrivingRange;
  if (range && !(DrivingRangeScreen && CurrentScreen == DrivingRangeScreen)) {
    ShowDrivingRangeMenu();
    return;
  }
  // The start-up's practice needs its hole, and never replaces a resumed game under way: the game then stays as
  // it is and the main menu opens when the installation has the menus.
  if (!control && (GameUnderWay(*game) || Svc().catalogue->HoleFile(0, 1).empty())) {
    if (FileExists(MenuArchive(), "menus.viv")) ShowMainMenu();
    return;
  }
  if (!(mode == kModePractice && !DemoRound)) Svc().sound->FadeMenuSounds();
  game->players->ReloadGolferFiles(PlayersFolder());
  // The course's data must be here (its disc asked for); a cancelled prompt leaves the menu as it was.
  if (control && !range && !EnsureCourseData(1)) {
    Svc().sound->StartMenuSounds();
    control->Erase(0);
    control->Draw(0);
    return;
  }
  LoadCourseDescription();
  ReplaceCurrentScreen(nullptr);
  MainMenuScreen = nullptr;
  TeeOffButton = nullptr;
  // The reset starts the round afresh; the golfers chosen for it stay.
  struct Kept {
    playerInfo_s record;
    bool computer = false;
  };
  std::vector<Kept> kept(TPlayerList::kSlots);
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = game->players->GetPlayer(s); p && (p->flags & kGolferTakesPart)) {
      kept[s].record.CopyFrom(*p);
      kept[s].computer = p->IsComputer();
    }
  game->ResetState();
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (kept[s].record.flags & kGolferTakesPart) {
      game->players->SetComputer(s, kept[s].computer);
      if (TPlayer* p = game->players->GetPlayer(s)) {
        p->AttachRecord(kept[s].record, static_cast<int>(kept[s].record.model));
        KeepRosterName(p, kept[s].record);
        p->flags = kept[s].record.flags;
        // The card of an earlier round (kept in the golfer's file) is not this round's: holes not yet played
        // would show and count.
        if (p->scores) p->scores->fill(0);
      }
    }
  if (!control) {
    // The start-up's one hole of practice.
    Svc().game->CreateGame(kModePractice);
    game = CurrentGame();
    if (!game) return;
    game->courseName = "SEDGEFEN";
    game->state.holeCount = 1;
    game->state.firstHole = 1;
    game->state.hole = 1;
  } else {
    // The game the screens set up: its mode, course, golfers and options (wind, shot clock and the rest).
    const std::string course = game->courseName;
    const uint32_t options = game->options, timeLimit = game->shotTimeLimit;
    Svc().game->CreateGame(mode);
    game = CurrentGame();
    if (!game) return;
    game->courseName = course;
    game->options = options;
    game->shotTimeLimit = timeLimit;
    if (DemoRound) SetUpDemoHole(game);
    if (auto* facility = dynamic_cast<TDrivingRangeGame*>(game)) {
      facility->facility = static_cast<uint32_t>(ChosenRangeFacility());
      if (const CourseRecord* r = GetDrivingRangeRecord()) facility->courseName = r->folder;
    }
  }
  Svc().sound->FadeMenuSounds();
  game->SetCurrentPlayer(0);
  game->SetNetworkGame(0);
  char line[96];
  std::snprintf(line, sizeof line, "Round started: mode %d on %s, %d golfers%s", game->mode, game->courseName.c_str(),
                TakingPart(), DemoRound ? " (demonstration)" : "");
  WriteLogLine(line);
  SetScreenLayout(false);
  game->StartHole();
}

void ContinueAfterGame() {
  if (QuitAfterGame) {
    Loop().quitRequest = 1;
    return;
  }
  // Every round ends in the main menu, so that every screen the front end builds can be reached.
  WriteLogLine("Round ended: back to the main menu");
  gFirstRoundDone = true;
  DemoRound = 0;
  // A /NETWIRE start goes into network play at once, the first time only.
  static bool netwireEntered = false;
  if (Flags().onlineService && !netwireEntered) {
    netwireEntered = true;
    SetScreenLayout(true);
    EnterNetPlay();
    return;
  }
  ShowMainMenu();
}

void QuitGame() {
  ReplaceCurrentScreen(nullptr);
  MainMenuScreen = nullptr;
  Loop().quitRequest = 1;
  Svc().preferences->SaveFile();
}

void ConfirmQuit(TGenericControlADV*) { ShowConfirmDialog("Are you sure?", QuitGame, RedrawMainMenu); }

// ---- the main menu ------------------------------------------------------------------------------------------------

TMainMenuADV::TMainMenuADV() : TMenuADV("bgmain.dct", "vex.fsh", 80, 80, MenuArchive()) {
  idleDeadline = timeGetTime() + 120000;
  TeeOffButton = AddPictureButton("teeoff.fsh", 629, 235, BeginPlay, "Tee off", 1);
  AddPictureButton("butgolfr.fsh", 576, 297, ShowGolfersScreen, "Select which golfers will be competing", 1);
  AddPictureButton("butcours.fsh", 511, 376, ShowCoursesScreen, "Select which course will be played", 1);
  AddPictureButton("butmodes.fsh", 427, 430, ShowGameModesScreen, "Select between 9 modes of play", 1);
  AddPictureButton("butnet.fsh", 343, 466, [](TGenericControlADV*) { EnterNetPlay(); },
                   "Compete over modem, LAN, or Internet", 1);
  constexpr uint32_t kRed = 0xFF1010;
  AddTextButton("Highlights", 260, 63, {'H', 'h'}, ShowHighlightsScreen, "Select and view any previously recorded shots", 1, kRed);
  AddTextButton("Options", 380, 63, {'O', 'o'}, ShowPreferencesDialog, "Adjust sounds and display settings", 1, kRed);
  AddTextButton("Saved Games", 492, 63, {'V', 'v'}, ShowSavedGamesScreen, "Resume playing any previously saved game", 1, kRed);
  AddTextButton("Quit", 635, 63, {'Q', 'q', kKeyEscape}, ConfirmQuit, "Exit the game", 2, kRed);
  helpText =
      "Main Menu\n\nToday's Game shows the game that Tee off starts: its mode, its course and its golfers. Click the "
      "course to choose another, a golfer to change the group, or one of your own golfers to change it.\n\nGolfers "
      "chooses who plays, Courses where, Game Modes how. Highlights replays recorded shots, Saved Games resumes a "
      "saved game, Options sets sounds and display.\n\nLeft alone for two minutes, the menu plays a hole by itself: "
      "press the space bar to stop it. Quit (or Esc) ends the program.";
  for (int i = 0; i < 7; ++i) {
    panel[i] = new TTextButtonADV(140, i == 0 ? 183 : 0, buffers[i], fonts[1], reinterpret_cast<uintptr_t>(this), 0, 1,
                                  0, kKindButton, kLive, 0, nullptr);
    panel[i]->alignment = 2;
    panel[i]->SetUserWord(static_cast<uint32_t>(i));
    panel[i]->SetMenuSound(0);
    panel[i]->clickHandler = OnMenuButton;
    AddHandler(panel[i]);
  }
}

TMainMenuADV::~TMainMenuADV() {
  if (MainMenuScreen == this) MainMenuScreen = nullptr;
  TeeOffButton = nullptr;
}

bool TMainMenuADV::StartDemonstration() {
  TGame* g = CurrentGame();
  const int pros = GolferRosterSize();
  if (!g || !g->players || pros <= 0 || !TeeOffButton) return false;
  // A professional at random, whose data is here, on a course whose data is here without asking for a disc.
  const RosterSlot* slot = GolferRosterSlot(4 + Svc().scene->Random15() % pros);
  if (!slot || !slot->present || !EnsureCourseData(0)) return false;
  DemoRound = 1;
  Svc().sound->FadeMenuSounds();
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = g->players->GetPlayer(s)) p->flags &= ~kGolferTakesPart;
  g->SetCurrentPlayer(0);
  playerInfo_s record;
  const int pro = FindRosterProfessional(slot->name);
  record.MakeDefaultGolfer(pro, false);
  std::snprintf(record.name, sizeof record.name, "%s", slot->name);
  record.model = static_cast<uint32_t>(pro);
  record.flags |= kGolferNoFile;
  const std::string course = g->courseName;
  Svc().game->CreateGame(kModePractice);
  g = CurrentGame();
  if (!g) return false;
  g->courseName = course;
  g->players->Reset();
  g->players->SetComputer(0, true);
  if (TPlayer* p = g->players->GetPlayer(0)) {
    p->AttachRecord(record, static_cast<int>(record.model));
    KeepRosterName(p, record);
    p->flags = (p->flags | kGolferTakesPart) & ~kGolferOut;
  }
  gDemoHole = Svc().scene->Random15() % 18;
  SetUpDemoHole(g);
  // The Tee off button's click, as the fire protocol delivers it.
  TeeOffButton->PostFire();
  return true;
}

int TMainMenuADV::OnIdle() {
  if (Display().settingsChanged) {
    Display().settingsChanged = 0;
    ShowMessageDialog("The video settings you selected are not supported by this computer. The settings were changed "
                      "to the best ones available.",
                      1, 1, nullptr, 0, nullptr);
    RedrawMainMenu();
  }
  const uint32_t now = timeGetTime();
  if (!DemoRound && !Flags().noDemo && static_cast<int32_t>(now - idleDeadline) > 0 && now - Loop().lastInput > 120000) {
    if (StartDemonstration()) return 1;
    idleDeadline = now + 120000;
  }
  if (DemoRound) return 1;
  return TMenuADV::OnIdle();
}

void TMainMenuADV::OnMenuButton(TGenericControlADV* control) {
  if (!control) return;
  switch (control->userWord) {
    case 0: ShowGameModesScreen(control); break;
    case 1: ShowCoursesScreen(control); break;
    case 2: ShowGolfersScreen(control); break;
    case 3: case 4: case 5: case 6: {
      // The golfer editor, for a golfer of the player's own.
      auto* menu = control->Owner<TMainMenuADV>();
      if (!menu) break;
      const std::string name = menu->buffers[control->userWord];
      ShowGolferEditor(name.c_str(), 1);
      break;
    }
    default: break;
  }
}

void KeepRosterName(TPlayer* player, const playerInfo_s& record) {
  if (player) std::memcpy(player->name, record.name, sizeof player->name);
}

bool IsEditableGolfer(const char* name) { return !name || FindRosterProfessional(name) < 0; }

void TMainMenuADV::UpdateTodaysGame() {
  DrawLabel(titleFonts[1], titleFonts[1], "Today's Game", 138, 157, 0xFFFFFF, 0x3F3F3F, nullptr, false, true);
  const MARect area{138, 180, 500, 300};
  ImageRecord* background = RoleImage(kRoleErase);
  if (background && DrawnImage()) BlitImage(DrawnImage(), area, background, area);
  FontSelect(fonts[1], nullptr, kAlignLeft, 0, 0, 0, 0);
  const int32_t line = FontHeight() + 2;
  int32_t x = 140, y = 183;
  TGame* g = CurrentGame();
  const int mode = g ? g->mode : 0;
  FormatGameTitle(buffers[0], sizeof buffers[0]);
  panel[0]->SetAnchor(x, y);
  panel[0]->SetText(buffers[0]);
  y += line;
  if (mode != kModeDrivingRange) {
    CourseRecord r{};
    const int n = g ? FindCourseByName(g->courseName.c_str()) : -1;
    GetCourseInfo(n < 0 ? 0 : n, &r);
    std::string title = r.title;
    title = title.substr(0, title.find('^'));
    std::snprintf(buffers[1], sizeof buffers[1], "at %s", title.c_str());
    panel[1]->SetAnchor(x, y);
    panel[1]->SetText(buffers[1]);
    panel[1]->Show(1, 0);
  } else {
    panel[1]->Show(0, 0);
  }
  y += line;
  std::snprintf(buffers[2], sizeof buffers[2], "Golfers: ");
  panel[2]->SetAnchor(x, y);
  panel[2]->SetText(buffers[2]);
  x += FontStringWidth("Golfers: ", 0);
  for (int s = 0; s < 4; ++s) {
    TTextButtonADV* b = panel[3 + s];
    buffers[3 + s][0] = 0;
    const TPlayer* p = g && g->players ? g->players->GetPlayer(s) : nullptr;
    if (p && (p->flags & kGolferTakesPart)) {
      std::snprintf(buffers[3 + s], sizeof buffers[3 + s], "%.15s", p->name);
      b->SetAnchor(x, y);
      b->SetText(buffers[3 + s]);
      b->Show(1, 0);
      b->clickHandler = IsEditableGolfer(p->name) ? OnMenuButton : nullptr;
      y += line;
    } else {
      b->SetText("");
      b->Show(0, 0);
    }
  }
  AddDirtyRect(MARect{138, 150, 500, 300});
}

void TMainMenuADV::DrawAll(int flag) {
  DrawLabel(titleFonts[2], titleFonts[2], "Main Menu", 147, 105, 0xAA0000, 0x3F3F3F, nullptr, false, true);
  UpdateTodaysGame();
  TMenuADV::DrawAll(flag);
}

#include "frontend/savedgames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/gameapp.h"
#include "course/catalogue.h"
#include "course/savedfiles.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/frontend.h"
#include "frontend/graphicbutton.h"
#include "frontend/scorecard.h"
#include "golf/game.h"

TSavedGamesADV* SavedGamesScreen = nullptr;
CScoreCardDlg* SavedGameCard = nullptr;

namespace {

constexpr const char* kNoSavedGames = "There are no saved games.";
constexpr int32_t kDescX = 275, kDescY = 380, kDescLinesY = 413;
constexpr MARect kDescriptionArea{275, 380, 585, 616};
constexpr int kTournamentRounds = 4;

// The game of before, put aside while the saved games stand in for it, and the saved game it was numbered by.
std::unique_ptr<TGame> gGameBefore;
bool gGameAside = false;
int gNumberBefore = 0;

const char* ModeName(int mode) {
  switch (mode) {
    case kModeStroke: return "Stroke play";
    case kModePractice: return "Practice";
    case kModeTournament: return "Tournament";
    case kModeSkins: return "Skins Game";
    case kModeShootout: return "Shoot-Out";
    case kModeMatchPlay: return "Match play";
    case kModeFourBall: return "Four Ball";
    case kModeFoursome: return "Foursomes";
    default: return "";
  }
}

int EntryNumber(const ListEntry* entry) { return entry ? entry->value : 0; }

// The saved game of an entry made current: false when its file no longer loads (no game is current then).
bool LoadEntry(const ListEntry* entry) {
  DeleteCurrentGame();
  return entry && LoadSavedGame(EntryNumber(entry)) == 0 && CurrentGame();
}

void RestoreGameBefore() {
  if (!gGameAside) return;
  DeleteCurrentGame();
  ReplaceCurrentGame(std::move(gGameBefore));
  gGameAside = false;
  SetLastSavedGameNumber(gNumberBefore);
  if (TGame* g = CurrentGame()) {
    if (g->courseNumber >= 0) g->SetCurrentCourse(g->courseNumber);
    else g->SetCurrentCourseByName(g->courseName.c_str());
  }
}

// The screen and its card go; unless a game was resumed, the game of before comes back.
void CloseScreenAndCard() { ReplaceCurrentScreen(nullptr); }

void RestoreFromBackground(const MARect& r) {
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  if (background && drawn) BlitImage(drawn, r, background, r);
  AddDirtyRect(r);
}

// The card and description follow the game now current.
void ShowCurrentGame() {
  TSavedGamesADV* s = SavedGamesScreen;
  if (!s) return;
  TGame* g = CurrentGame();
  if (SavedGameCard) {
    SavedGameCard->RefreshScoresButton();
    SavedGameCard->SetFrontNine(!g || g->state.hole < 9 ? 1 : 0);
  }
  s->EraseAll(0);
  s->DrawAll(0);
}

}  // namespace

std::string SavedGameDate(std::time_t saved) {
  std::tm local{};
  if (saved <= 0 || !localtime_r(&saved, &local)) return "";
  char text[16];
  // Two digits of the year: "1/31/26", never the years since 1900.
  std::snprintf(text, sizeof text, "%d/%d/%02d", local.tm_mon + 1, local.tm_mday, (local.tm_year + 1900) % 100);
  return text;
}

std::string DescribeSavedGame(const TGame& g, std::time_t saved) {
  std::string text = ModeName(g.mode);
  std::string course = g.courseName;
  CourseRecord record{};
  const int n = FindCourseByName(g.courseName.c_str());
  if (n >= 0 && GetCourseInfo(n, &record) == 0 && record.title[0]) course = record.title;
  text += " at " + course.substr(0, course.find('^'));
  text += "\n";
  char line[96];
  if (g.mode == kModeTournament) {
    std::snprintf(line, sizeof line, "Round %d of %d, ", g.state.round + 1, kTournamentRounds);
    text += line;
  }
  std::snprintf(line, sizeof line, "Hole %d", g.state.hole + 1);
  text += line;
  const std::string date = SavedGameDate(saved);
  if (!date.empty()) text += ", " + date;
  text += "\n";
  const uint32_t wind = g.GetOptionField(0), gusts = g.GetOptionField(1);
  const uint32_t fairways = g.GetOptionField(2), rough = g.GetOptionField(3), greens = g.GetOptionField(4);
  text += wind == 1 ? "breezy" : wind == 2 ? "strong" : wind == 0 ? "calm skies" : "";
  if (wind && gusts) text += ", gusting";
  if (wind) text += " winds";
  text += "\n";
  if (fairways == 0) text += "dry fairways, ";
  if (fairways == 2) text += "damp fairways, ";
  if (rough == 1) text += "heavy rough, ";
  if (greens == 0) text += "fast greens, ";
  if (greens == 2) text += "slow greens, ";
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, ", ") == 0) text.resize(text.size() - 2);
  return text;
}

// ---- the screen ------------------------------------------------------------------------------------------------

TSavedGamesADV::TSavedGamesADV() : TMenuADV("bgsaved.dct", "vex.fsh", 80, 80, MenuArchive()) {
  SavedGamesScreen = this;
  TMenuADV::EraseAll(0);
  resumeButton = AddPictureButton("teeoff.fsh", 629, 235, ResumeSavedGame, "Resume this saved game.", 1);
  list = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 144, 378, 110, 5, fonts[0], 0x1A0);
  list->entryHandler = OnSavedGameSelected;
  list->SetMenuSound(0);
  SetControlHelp(list, "Saved Games");
  AddHandler(list);
  deleteButton = AddPictureButton("butdelet.fsh", 202, 482, OnDeleteSavedGame, "Delete this saved game.", 1);
  AddTextButton("Main Menu", 535, 63, {'M', 'm', kKeyEscape}, OnSavedGamesMainMenu, "Return to Main Menu", 1,
                0xFF1010);
  helpText =
      "Saved Games\n\nThe list holds the games saved during rounds. Pick one (or move to it with the arrow keys) to "
      "see its description and score card; Tee off (or a double click, or Enter) resumes it.\n\nDelete removes the "
      "game's file after asking. Main Menu returns to the game you had.";
}

TSavedGamesADV::~TSavedGamesADV() {
  // The card's buttons are in this screen's list: the card goes first.
  delete SavedGameCard;
  SavedGameCard = nullptr;
  if (SavedGamesScreen == this) SavedGamesScreen = nullptr;
  // Left without resuming (also at the program's end): the game of before comes back.
  RestoreGameBefore();
}

int TSavedGamesADV::OnIdle() {
  EnableWhile(resumeButton, list->Current() != nullptr);
  return TMenuADV::OnIdle();
}

void TSavedGamesADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  DrawLabel(titleFonts[2], titleFonts[2], "Saved Games", 147, 105, 0xAA0000, 0x3F3F3F, nullptr, false, true);
  if (SavedGameCard) SavedGameCard->DrawAll(0);
  DrawSavedGameDescription(list->Current());
}

void TSavedGamesADV::EraseAll(int flag) {
  TMenuADV::EraseAll(flag);
  RestoreFromBackground(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
}

void TSavedGamesADV::OnKeyDown(uint16_t code) {
  TMenuADV::OnKeyDown(code);
  if (code != kKeyTab || current != list) return;
  list->Select(list->TopRow(), false);
  OnSavedGameSelected(list, list->Current());
  list->Erase(0);
  list->Draw(0);
}

void TSavedGamesADV::DrawSavedGameDescription(const ListEntry* entry) {
  TGame* g = CurrentGame();
  ImageRecord* drawn = DrawnImage();
  if (!entry || !drawn) return;
  FontSelect(fonts[2], drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
  FontDrawText(kDescX, kDescY, entry->text.c_str());
  if (g) {
    FontSelect(fonts[0], drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
    const std::string text = DescribeSavedGame(*g, static_cast<std::time_t>(SavedGameTime(EntryNumber(entry))));
    const int32_t line = FontHeight() + 2;
    int32_t y = kDescLinesY;
    for (size_t from = 0; from <= text.size();) {
      size_t end = text.find('\n', from);
      if (end == std::string::npos) end = text.size();
      FontDrawTextCount(kDescX, y, text.c_str() + from, static_cast<int32_t>(end - from));
      y += line;
      from = end + 1;
    }
  } else {
    FontSelect(fonts[0], drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
    FontDrawText(kDescX, kDescLinesY, "This saved game can no longer be read.");
  }
  if (SavedGameCard) SavedGameCard->RefreshScoresButton();
  AddDirtyRect(kDescriptionArea);
}

// ---- the flow ------------------------------------------------------------------------------------------------------

bool AddToSavedGamesScreen(TGenericControlADV* control) {
  if (!SavedGamesScreen || !control) return false;
  SavedGamesScreen->AddHandler(control);
  return true;
}

void RemoveFromSavedGamesScreen(TGenericControlADV* control) {
  if (SavedGamesScreen && control && SavedGamesScreen->RemoveHandler(control)) delete control;
}

void RedrawSavedGamesScreen() {
  if (SavedGamesScreen) SavedGamesScreen->DrawAll(0);
}

void FillSavedGamesList() {
  TSavedGamesADV* s = SavedGamesScreen;
  if (!s) return;
  int k = 0;
  for (const SavedGameEntry& e : ListSavedGames()) {
    DeleteCurrentGame();
    if (!e.sound || LoadSavedGame(e.number) != 0) continue;  // a file that does not load is left out
    char text[32];
    std::snprintf(text, sizeof text, "%s #%d", "Game", ++k);
    s->list->Add(text, e.number);
  }
  if (s->list->Size() > 0) s->list->Select(s->list->Size() - 1, false);
}

void OnSavedGameSelected(TListBoxADV* list, ListEntry* entry) {
  if (!SavedGamesScreen) return;
  LoadEntry(entry);
  if (entry && list && (list->inputBits & (8 | 0x10))) {
    list->inputBits = 0;
    ResumeSavedGame(nullptr);
    return;
  }
  ShowCurrentGame();
}

void ResumeSavedGame(TGenericControlADV* control) {
  TGame* g = CurrentGame();
  if (!g || !SavedGamesScreen) {
    RedrawControl(control);
    return;
  }
  if (!g->SetCurrentCourseByName(g->courseName.c_str()) && g->courseNotFound) {
    ShowMessageDialog("This file refers to a course that is not currently installed. Please install the course "
                      "before loading this file.",
                      1, 1, nullptr, 0, nullptr);
    RedrawControl(control);
    return;
  }
  Svc().sound->FadeMenuSounds();
  if (!EnsureCourseData(1)) {
    Svc().sound->StartMenuSounds();
    RedrawControl(control);
    return;
  }
  // The saved game goes on; the game of before is not brought back.
  gGameBefore.reset();
  gGameAside = false;
  CloseScreenAndCard();
  MainMenuScreen = nullptr;
  TeeOffButton = nullptr;
  WriteLogLine("Saved game resumed");
  g->StartHole();
}

void OnDeleteSavedGame(TGenericControlADV*) {
  TSavedGamesADV* s = SavedGamesScreen;
  ListEntry* entry = s ? s->list->Current() : nullptr;
  if (!entry) return;
  char question[64];
  std::snprintf(question, sizeof question, "%s %s?", "Delete", entry->text.c_str());
  ShowConfirmDialog(question, DeleteSelectedSavedGameFile, nullptr);
  s = SavedGamesScreen;
  if (!s) return;
  const int row = s->list->RowOf(s->list->Current());
  s->list->Clear();
  FillSavedGamesList();
  const int size = s->list->Size();
  s->list->Select(size == 0 ? -1 : std::min(row, size - 1), false);
  OnSavedGameSelected(s->list, s->list->Current());
  if (size == 0) {
    // The last saved game is gone: back to the game of before and the main menu.
    CloseScreenAndCard();
    ShowConfirmDialog(kNoSavedGames, nullptr, nullptr);
    ShowMainMenu();
  }
}

void DeleteSelectedSavedGameFile() {
  TSavedGamesADV* s = SavedGamesScreen;
  ListEntry* entry = s ? s->list->Current() : nullptr;
  if (!entry) return;
  DeleteCurrentGame();
  DeleteSavedGame(EntryNumber(entry));
}

void OnSavedGamesMainMenu(TGenericControlADV*) {
  CloseScreenAndCard();
  ShowMainMenu();
}

void ShowSavedGamesScreen(TGenericControlADV*) {
  if (ListSavedGames().empty()) {
    ShowConfirmDialog(kNoSavedGames, nullptr, nullptr);
    RedrawMainMenu();
    return;
  }
  if (!gGameAside) {
    gNumberBefore = LastSavedGameNumber();
    gGameBefore = TakeCurrentGame();
    gGameAside = true;
  }
  ReplaceCurrentScreen(nullptr);
  MainMenuScreen = nullptr;
  TeeOffButton = nullptr;
  auto* screen = new TSavedGamesADV();
  SavedGameCard = new CScoreCardDlg(1, 0, 0, kCardSavedGame);
  SavedGameCard->redrawOnDestroy = false;
  CurrentScreen = screen;
  FillSavedGamesList();
  Svc().sound->StartMenuSounds();
  OnSavedGameSelected(screen->list, screen->list->Current());
  AddDirtyRect(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
}

#include "frontend/highlights.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/gameapp.h"
#include "course/catalogue.h"
#include "course/courseload.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/clubs.h"
#include "frontend/frontend.h"
#include "golf/game.h"

THighlightsADV* HighlightsScreen = nullptr;

namespace {

std::vector<SavedShotHead> gShots;
// The game of before, put aside while the screen and its replays stand in for it.
std::unique_ptr<TGame> gSavedGame;
bool gGameAside = false;

constexpr MARect kRestoreArea{127, 355, 629, 564};
constexpr MARect kDescriptionPanel{155, 387, 424, 564};
constexpr size_t kDescriptionBytes = 256;

const char* ModeName(int mode) {
  switch (mode) {
    case 1: return "Practice";
    case 0: return "Stroke Play";
    case 2: return "Tournament";
    case 3: return "Skins Game";
    case 4: return "Shoot-out";
    case 7: return "Match Play";
    case 8: return "Four Ball";
    case 9: return "Foursomes";
    case 10: return "Driving Range";
    default: return nullptr;  // modes 5 and 6 have no name here
  }
}

// Appends to a fixed buffer, never past its end.
void Append(char* buffer, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
void Append(char* buffer, size_t size, const char* format, ...) {
  const size_t used = std::strlen(buffer);
  if (used + 1 >= size) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer + used, size - used, format, args);
  va_end(args);
}

void RestoreFromBackground(const MARect& r) {
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  if (background && drawn) BlitImage(drawn, r, background, r);
  AddDirtyRect(r);
}

// The installed course a saved shot names: by its folder, or by the long name a game may have kept; -1 when none.
int FindShotCourse(const std::string& name) {
  const int n = FindCourseByName(name.c_str());
  if (n >= 0) return n;
  for (int i = 0; i < GetCourseCount(); ++i) {
    CourseRecord r{};
    if (GetCourseInfo(i, &r) == 0 && name == r.title) return i;
  }
  return -1;
}

const SavedShotHead* ShotOf(TListBoxADV* list, const ListEntry* entry) {
  const int row = list && entry ? list->RowOf(entry) : -1;
  return row >= 0 && static_cast<size_t>(row) < gShots.size() ? &gShots[static_cast<size_t>(row)] : nullptr;
}

// Leaving the screen: the stand-in game goes and the game of before comes back with its course.
void RestoreSavedGame() {
  if (!gGameAside) return;
  DeleteCurrentGame();
  ReplaceCurrentGame(std::move(gSavedGame));
  gGameAside = false;
  if (TGame* g = CurrentGame()) {
    if (g->courseNumber >= 0) g->SetCurrentCourse(g->courseNumber);
    else g->SetCurrentCourseByName(g->courseName.c_str());
  }
}

// The sound saved shots whose own names may be replayed and deleted.
void ScanShots() {
  gShots.clear();
  for (SavedShotHead& h : ListSavedShots())
    if (IsSavedShotFileName(h.fileName)) gShots.push_back(std::move(h));
}

}  // namespace

const std::vector<SavedShotHead>& HighlightShotList() { return gShots; }

std::string DescribeSavedShot(const SavedShotHead& shot) {
  char text[kDescriptionBytes] = {};
  if (const char* mode = ModeName(shot.mode)) Append(text, sizeof text, "%s ", mode);
  CourseRecord record{};
  const int n = FindShotCourse(shot.course);
  const std::string title = n >= 0 && GetCourseInfo(n, &record) == 0 ? record.title : shot.course;
  Append(text, sizeof text, "%s %s", "at", title.c_str());
  if (char* caret = std::strchr(text, '^')) *caret = 0;
  Append(text, sizeof text, " - %s #%d\n", "Hole", static_cast<int>(shot.hole + 1));
  Append(text, sizeof text, "%s #%u, %s %s %s\n", "Shot", shot.shot + 1, ClubName(static_cast<int>(shot.club)), "to",
         shot.holed ? "the cup" : StandardLieName(static_cast<int>(shot.surface >> 4)));
  if (shot.rosterGolfer) Append(text, sizeof text, "%s %s\n", "as", shot.golfer.c_str());
  else Append(text, sizeof text, "%s\n", shot.golfer.c_str());
  Append(text, sizeof text, "%s: %s", "File", shot.fileName.c_str());
  return text;
}

// ---- the screen ----------------------------------------------------------------------------------------------------

THighlightsADV::THighlightsADV() : TMenuADV("bghighli.dct", "vex.fsh", 80, 80, MenuArchive()) {
  HighlightsScreen = this;
  // The game of before waits; a fresh stroke-play game stands in (a replay that just ended goes).
  if (!gGameAside) {
    gSavedGame = TakeCurrentGame();
    gGameAside = true;
  } else {
    DeleteCurrentGame();
  }
  Svc().game->CreateGame(kModeStroke);
  TMenuADV::EraseAll(0);
  teeOffButton = AddPictureButton("teeoff.fsh", 629, 235, ReplaySelectedShot, "Replay the selected shot", 1);
  list = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 156, 170, 180, 7, fonts[0], 0x1A0);
  for (size_t i = 0; i < gShots.size(); ++i) list->Add(gShots[i].caption, static_cast<int32_t>(i));
  list->entryHandler = OnShotPicked;
  list->SetMenuSound(0);
  SetControlHelp(list, "Saved highlights");
  AddHandler(list);
  if (list->Size() > 0) list->Select(0, false);
  deleteButton = AddPictureButton("butdelet.fsh", 219, 310, OnDeleteClicked, "Removes selected shot from the list", 1);
  AddTextButton("Main Menu", 535, 63, {'M', 'm', kKeyEscape}, OnMainMenuClicked, "Return to Main Menu", 1, 0xFF1010);
  helpText =
      "Highlights\n\nThe list holds the shots saved during rounds. Pick one (or move to it with the arrow keys) to "
      "read where and how it was played; Tee off (or a double click, or Enter) replays it.\n\nDelete removes the "
      "shot's file after asking. Main Menu returns to the game you had.";
}

THighlightsADV::~THighlightsADV() {
  if (HighlightsScreen == this) HighlightsScreen = nullptr;
}

int THighlightsADV::OnIdle() {
  EnableWhile(teeOffButton, list->Current() != nullptr);
  return TMenuADV::OnIdle();
}

void THighlightsADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  DrawLabel(titleFonts[2], titleFonts[2], "Highlights", 160, 105, 0xAA0000, 0x3F3F3F, nullptr, false, true);
  DrawShotDescription(list->Current());
}

void THighlightsADV::EraseAll(int flag) {
  TMenuADV::EraseAll(flag);
  RestoreFromBackground(kRestoreArea);
}

void THighlightsADV::OnKeyDown(uint16_t code) {
  TMenuADV::OnKeyDown(code);
  if (code != kKeyTab || current != list) return;
  list->Select(list->TopRow(), false);
  OnShotPicked(list, list->Current());
  list->Erase(0);
  list->Draw(0);
}

void THighlightsADV::DrawShotDescription(const ListEntry* entry) {
  const SavedShotHead* shot = ShotOf(list, entry);
  ImageRecord* drawn = DrawnImage();
  if (!shot || !drawn) return;
  FontSelect(fonts[2], drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
  FontDrawText(167, 363, shot->caption.c_str());
  FontSelect(fonts[0], drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 0);
  const std::string text = DescribeSavedShot(*shot);
  const int32_t line = FontHeight() + 2;
  int32_t y = kDescriptionPanel.top + 20;
  for (size_t from = 0; from <= text.size();) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    FontDrawTextCount(kDescriptionPanel.left + 5, y, text.c_str() + from, static_cast<int32_t>(end - from));
    y += line;
    from = end + 1;
  }
  AddDirtyRect(kDescriptionPanel);
  AddDirtyRect(MARect{160, 355, 420, 385});
}

void THighlightsADV::OnShotPicked(TListBoxADV* list, ListEntry* entry) {
  THighlightsADV* s = list ? list->Owner<THighlightsADV>() : nullptr;
  if (!s) return;
  RestoreFromBackground(kRestoreArea);
  s->DrawShotDescription(entry);
  if (entry && (list->inputBits & (8 | 0x10))) {
    list->inputBits = 0;
    ReplaySelectedShot(nullptr);
  }
}

void THighlightsADV::ReplaySelectedShot(TGenericControlADV* control) {
  THighlightsADV* s = HighlightsScreen;
  const SavedShotHead* shot = s ? ShotOf(s->list, s->list->Current()) : nullptr;
  if (!shot || !IsSavedShotFileName(shot->fileName)) return;
  Svc().sound->FadeMenuSounds();
  const std::string name = shot->fileName;
  TGame* g = CurrentGame();
  CourseRecord record{};
  const int course = FindShotCourse(shot->course);
  const char* folder = course >= 0 && GetCourseInfo(course, &record) == 0 ? record.folder : shot->course.c_str();
  if (!g || (!g->SetCurrentCourseByName(folder) && g->courseNotFound)) {
    ShowMessageDialog("This file refers to a course that is not currently installed. Please install the course "
                      "before loading this file.",
                      1, 1, nullptr, 0, nullptr);
    Svc().sound->StartMenuSounds();
    RedrawControl(control);
    return;
  }
  SavedShotHead head;
  std::vector<uint8_t> body;
  const bool readable = LoadSavedShot(name, head, body) == 0;
  if (!readable || !EnsureCourseData(1)) {
    // A file gone or damaged since it was listed; a refused disc prompt has said enough.
    if (!readable) ShowConfirmDialog("This shot cannot be replayed.", nullptr, nullptr);
    Svc().sound->StartMenuSounds();
    RedrawControl(control);
    return;
  }
  ReplaceCurrentScreen(nullptr);
  // A replay that ends opens the screen again; one that cannot start brings it back here, with a notice.
  if (Svc().game->PlayHighlightShot(name) != 0 && !HighlightsScreen) {
    ShowHighlightsScreen();
    if (HighlightsScreen) {
      ShowConfirmDialog("This shot cannot be replayed.", nullptr, nullptr);
      Svc().frontEnd->RedrawFrontEnd();
    }
  }
}

void THighlightsADV::OnDeleteClicked(TGenericControlADV*) {
  THighlightsADV* s = HighlightsScreen;
  ListEntry* entry = s ? s->list->Current() : nullptr;
  if (!entry) return;
  char question[64];
  std::snprintf(question, sizeof question, "%s %s?", "Delete", entry->text.c_str());
  ShowConfirmDialog(question, DeleteSelectedShot, nullptr);
  s = HighlightsScreen;
  if (s && s->list->Size() == 0) {
    RestoreSavedGame();
    ShowConfirmDialog("There are no saved highlights.", nullptr, nullptr);
    ShowMainMenu();
  } else if (s) {
    s->EraseAll(0);
    s->DrawAll(0);
  }
}

void THighlightsADV::DeleteSelectedShot() {
  THighlightsADV* s = HighlightsScreen;
  const SavedShotHead* shot = s ? ShotOf(s->list, s->list->Current()) : nullptr;
  if (!shot || !IsSavedShotFileName(shot->fileName)) return;
  s->list->Erase(0);
  if (DeleteSavedShot(shot->fileName) != 0) return;
  s->list->Remove(s->list->Current());
  ScanShots();
  if (!s->list->Current()) {
    s->deleteButton->Enable(0, 0);
    s->teeOffButton->Enable(0, 0);
  }
}

void THighlightsADV::OnMainMenuClicked(TGenericControlADV*) {
  RestoreSavedGame();
  ShowMainMenu();
}

void ShowHighlightsScreen(TGenericControlADV*) {
  ScanShots();
  if (gShots.empty()) {
    ShowConfirmDialog("There are no saved highlights.", nullptr, nullptr);
    // After a replay the screen is gone: the game of before comes back with the main menu.
    if (!CurrentScreen) {
      RestoreSavedGame();
      ShowMainMenu();
    } else {
      RedrawMainMenu();
    }
    return;
  }
  ReplaceCurrentScreen(nullptr);
  Svc().sound->StartMenuSounds();
  ReplaceCurrentScreen(new THighlightsADV());
}

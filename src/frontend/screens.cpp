// The courses screen and the golfer selection screen.
#include <strings.h>

#include <cstdio>

#include "course/catalogue.h"
#include "course/roster.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/listbox.h"
#include "frontend/screens.h"
#include "golf/game.h"
#include "golf/golferfile.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

namespace {


std::string ShortTitle(const char* title) {
  std::string t = title;
  return t.substr(0, t.find('^'));
}

}  // namespace

// ---- courses -------------------------------------------------------------------------------------------------------

TCoursesADV* CoursesScreen = nullptr;

TCoursesADV::TCoursesADV() : TMenuADV("bgcourse.dct", "vex.fsh", 80, 80, MenuArchive()) {
  TGame* g = CurrentGame();
  rememberedCourse = g ? g->courseName : "";
  AddTextButton("Cancel", 296, 63, {'c', kKeyEscape}, OnCancel, "Return to previous screen without saving changes", 2,
                0x00AA00);
  AddTextButton("Main Menu", 550, 63, {'m'}, OnMainMenu, "Return to Main Menu, saving changes", 1, 0x00AA00);
  list = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 450, 135, 300, 8, fonts[2], 0x1A0);
  list->entryHandler = OnCourseClicked;
  list->SetMenuSound(1);
  SetControlHelp(list, "Available courses to play");
  AddHandler(list);
  const int n = GetCourseCount();
  for (int i = 0; i < n; ++i) {
    CourseRecord r{};
    if (GetCourseInfo(i, &r) == 0) list->Add(ShortTitle(r.title), i);
  }
  const int current = FindCourseByName(rememberedCourse.c_str());
  list->Select(current, false);
  LoadCourseDescription();
}

TCoursesADV::~TCoursesADV() {
  if (CoursesScreen == this) CoursesScreen = nullptr;
}

void TCoursesADV::DrawAll(int flag) {
  EraseAll(0);
  TMenuADV::DrawAll(flag);
  const MARect box{152, 300, 392, 518};
  if (fonts[1]) {
    FontSelect(fonts[1], DrawnImage(), kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
    FontDrawTextWrapped(0, CourseBlurb().c_str(), box, 0);
  }
  AddDirtyRect(box);
  DrawLabel(titleFonts[2], titleFonts[2], "Courses", 175, 105, 0x00AA00, 0x3F3F3F, nullptr, false, true);
}

void TCoursesADV::OnCourseClicked(TListBoxADV* list, ListEntry* entry) {
  TGame* g = CurrentGame();
  if (!entry || !g) return;
  CourseRecord r{};
  if (GetCourseInfo(entry->value, &r) != 0) return;
  if (strcasecmp(r.folder, g->courseName.c_str()) == 0) return;
  g->SetCurrentCourse(entry->value);
  LoadCourseDescription();
  if (auto* screen = list->Owner<TCoursesADV>()) screen->DrawAll(0);
}

void TCoursesADV::OnMainMenu(TGenericControlADV*) {
  SaveLastGame();
  ShowMainMenu();
}

void TCoursesADV::OnCancel(TGenericControlADV* control) {
  auto* screen = control->Owner<TCoursesADV>();
  if (screen && CurrentGame()) CurrentGame()->courseName = screen->rememberedCourse;
  LoadCourseDescription();
  ShowMainMenu();
}

void ShowCoursesScreen(TGenericControlADV*) {
  auto* screen = new TCoursesADV();
  ReplaceCurrentScreen(screen);
  CoursesScreen = screen;
}

// ---- golfers -------------------------------------------------------------------------------------------------------

TGolfersScreenADV* GolfersScreen = nullptr;

namespace {

std::string PlayersPath() {
  char path[MAX_PATH];
  return PathJoin(&Folders().players, nullptr, path, sizeof path) ? path : "";
}

int AddGolferFileEntry(const char* file, void* context) {
  auto* list = static_cast<TListBoxADV*>(context);
  std::string name = file;
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || strcasecmp(name.c_str() + dot, ".amt") != 0) return 0;
  name.resize(dot);
  playerInfo_s record;
  if (LoadGolferFile(PlayersPath(), name.c_str(), record) != kGolferFileOk) return 0;
  // Network golfers are not listed here.
  if (record.flags & 0x100) return 0;
  list->Add(record.name, static_cast<int32_t>(record.model), true);
  return 0;
}

}  // namespace

TGolfersScreenADV::TGolfersScreenADV() : TMenuADV("bggolfer.dct", "vex.fsh", 80, 80, MenuArchive()) {
  const auto list = [&](int32_t x, int32_t y, int32_t w, int32_t rows, uint32_t style, TListBoxADV::EntryHandler h,
                        const char* help) {
    auto* l = new TListBoxADV(reinterpret_cast<uintptr_t>(this), x, y, w, rows, fonts[0], style);
    l->entryHandler = h;
    l->SetMenuSound(1);
    SetControlHelp(l, help);
    AddHandler(l);
    return l;
  };
  users = list(276, 174, 186, 6, 0x1A0, OnListClick, "User created golfers");
  PathRecord players = Folders().players;
  FindFiles(&players, AddGolferFileEntry, users);
  deleteButton = AddPictureButton("butdelet.fsh", 317, 288, OnDelete, "Permanently delete the selected golfer", 1);
  pros = list(276, 357, 186, 6, 0x1A0, OnListClick, "Pro computer controlled golfers");
  for (int s = 4; s < GolferRosterSize() + 4 && s < kRosterSlots; ++s)
    if (const RosterSlot* r = GolferRosterSlot(s); r && r->present) pros->Add(r->name, s);
  addButton = AddPictureButton("addbanim.fsh", 462, 171, OnAdd, "Add the selected golfer to the group", 6);
  removeButton = AddPictureButton("rembanim.fsh", 466, 211, OnRemove, "Remove the selected golfer from the group", 6);
  selected = list(515, 176, 175, 4, 0x1A4, OnListClick, "Currently selected players");
  if (TGame* g = CurrentGame())
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      const TPlayer* p = g->players->GetPlayer(s);
      if (!p || !(p->flags & kGolferTakesPart)) continue;
      int32_t value = -1;
      for (TListBoxADV* source : {pros, users})
        if (ListEntry* e = source->Find(p->name); e && value < 0) {
          e->enabled = false;
          value = e->value;
        }
      selected->Add(p->name, value);
    }
  AddTextButton("Cancel", 311, 63, {'c', kKeyEscape}, OnCancel, "Return to previous screen without saving changes",
                -1, 0x005DCE);
  AddTextButton("Main Menu", 523, 63, {'m'}, OnMainMenu, "Return to Main Menu, saving changes", -1, 0x005DCE);
}

TGolfersScreenADV::~TGolfersScreenADV() {
  if (GolfersScreen == this) GolfersScreen = nullptr;
}

ListEntry* TGolfersScreenADV::CurrentEntry(TListBoxADV** from) {
  for (TListBoxADV* l : {selected, users, pros})
    if (ListEntry* e = l->Current()) {
      if (from) *from = l;
      return e;
    }
  return nullptr;
}

void TGolfersScreenADV::UpdateButtons() {
  TListBoxADV* from = nullptr;
  ListEntry* e = CurrentEntry(&from);
  TGame* g = CurrentGame();
  const bool match = g && g->mode == kModeMatchPlay;
  const int n = selected->Size();
  for (TGraphicButtonADV* b : {addButton, removeButton, deleteButton}) b->Enable(0, 0);
  if (e && from != selected && n < 4 && !(match && n >= 2)) addButton->Enable(1, 0);
  else if (e && from == selected) removeButton->Enable(1, 0);
  if (e && FindRosterProfessional(e->text.c_str()) < 0 && from != selected) deleteButton->Enable(1, 0);
}

void TGolfersScreenADV::DrawAll(int flag) {
  UpdateButtons();
  EraseAll(0);
  TMenuADV::DrawAll(flag);
  TListBoxADV* from = nullptr;
  ListEntry* shown = CurrentEntry(&from);
  if (!shown) shown = selected->At(0) ? selected->At(0) : users->At(0) ? users->At(0) : pros->At(0);
  // The shown golfer's picture, scaled to 140 x 230 with its hot spot at (134, 198) of the picture area.
  const RosterSlot* slot = shown ? GolferRosterSlot(shown->value) : nullptr;
  if (slot) {
    const MemHandle h = LoadMenuFile(slot->picture);
    const uint8_t* file = h ? static_cast<const uint8_t*>(MemLock(h)) : nullptr;
    const uint8_t* shape = file && checkshapefile(file, MemHandleSize(h)) == 1 ? locateshapenum(file, 0) : nullptr;
    ImageRecord* drawn = DrawnImage();
    if (shape && drawn && drawn->window && setwindow(drawn->window)) {
      drawshapescaled(shape, 150 - 70, 210 + 230 - 230, 140, 230);
      releasewindow();
    }
    if (h) {
      MemUnlock(h);
      MemFreeHandle(h);
    }
  }
  if (shown)
    DrawLabel(titleFonts[1], titleFonts[1], shown->text.c_str(), 139, 470, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(titleFonts[2], titleFonts[2], "Golfers", 177, 108, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[3], "Play As:", 295, 148, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[3], "Play Against:", 295, 330, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[3], "Selected Golfers", 495, 148, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  AddDirtyRect(MARect{0, 0, Facts().screenWidth, Facts().screenHeight});
}

void TGolfersScreenADV::OnListClick(TListBoxADV* list, ListEntry* entry) {
  auto* s = list->Owner<TGolfersScreenADV>();
  if (!s || !entry) return;
  // One list has the current entry at a time.
  for (TListBoxADV* other : {s->users, s->pros, s->selected})
    if (other != list) other->Select(-1, false);
  if (list->inputBits & (8 | 0x10)) {
    list->inputBits = 0;
    if (list == s->selected) {
      OnRemove(s->removeButton);
    } else if (s->selected->Size() < 4) {
      OnAdd(s->addButton);
    }
  }
  s->DrawAll(0);
}

void TGolfersScreenADV::OnAdd(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  TListBoxADV* from = nullptr;
  ListEntry* e = s ? s->CurrentEntry(&from) : nullptr;
  if (!e || from == s->selected || e->text.empty() || s->selected->Find(e->text) || s->selected->Size() >= 4) return;
  TGame* g = CurrentGame();
  if (g && g->mode == kModeMatchPlay && s->selected->Size() >= 2) return;
  e->enabled = false;
  const std::string text = e->text;
  const int32_t value = e->value;
  from->Select(-1, false);
  s->selected->Add(text, value);
  s->DrawAll(0);
}

void TGolfersScreenADV::OnRemove(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  ListEntry* e = s ? s->selected->Current() : nullptr;
  if (!e) return;
  for (TListBoxADV* source : {s->pros, s->users})
    if (ListEntry* src = source->Find(e->text)) {
      src->enabled = true;
      break;
    }
  s->selected->Remove(e);
  s->selected->Select(-1, false);
  s->DrawAll(0);
}

namespace {
std::string gDeleteName;
void DeleteConfirmed() {
  TGolfersScreenADV* s = GolfersScreen;
  if (!s) return;
  PathRecord players = Folders().players;
  FileDelete(&players, (gDeleteName + ".amt").c_str());
  for (TListBoxADV* l : {s->selected, s->users})
    if (ListEntry* e = l->Find(gDeleteName)) l->Remove(e);
  s->DrawAll(0);
}
void Refresh() {
  if (GolfersScreen) GolfersScreen->DrawAll(0);
}
}  // namespace

void TGolfersScreenADV::OnDelete(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  ListEntry* e = s ? s->users->Current() : nullptr;
  if (!e || FindRosterProfessional(e->text.c_str()) >= 0) return;
  gDeleteName = e->text;
  char text[96];
  std::snprintf(text, sizeof text, "Delete the golfer named %s?", gDeleteName.c_str());
  ShowConfirmDialog(text, DeleteConfirmed, Refresh);
}

void TGolfersScreenADV::OnCancel(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  TGame* g = CurrentGame();
  if (!s || !g) return;
  // Golfers whose files were deleted meanwhile leave the game.
  int remaining = 0;
  for (int slot = 0; slot < TPlayerList::kSlots; ++slot) {
    TPlayer* p = g->players->GetPlayer(slot);
    if (!p || !(p->flags & kGolferTakesPart)) continue;
    if (s->users->Find(p->name) || s->pros->Find(p->name)) {
      ++remaining;
    } else {
      p->Reset();
      p->flags &= ~kGolferTakesPart;
    }
  }
  if (remaining == 0) {
    ShowConfirmDialog("Cannot cancel -- You have deleted all the players in the previous game.", nullptr, nullptr);
    s->DrawAll(0);
    return;
  }
  SaveLastGame();
  ShowMainMenu();
}

void TGolfersScreenADV::OnMainMenu(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  TGame* g = CurrentGame();
  if (!s || !g) return;
  if (s->selected->Size() == 0) {
    ShowConfirmDialog("You need to have at least 1 player in the Selected Golfers list.", nullptr, nullptr);
    s->DrawAll(0);
    return;
  }
  g->players->Reset();
  g->ResetPlayOrder();
  for (int i = 0; i < TPlayerList::kSlots; ++i) {
    ListEntry* e = s->selected->At(i);
    TPlayer* p = g->players->GetPlayer(i);
    if (!e || !p) continue;
    playerInfo_s record;
    const int pro = FindRosterProfessional(e->text.c_str());
    if (pro >= 0) {
      record.MakeDefaultGolfer(pro, false);
      std::snprintf(record.name, sizeof record.name, "%s", e->text.c_str());
      record.model = static_cast<uint32_t>(pro);
      record.flags |= kGolferNoFile;
    } else {
      LoadGolferFile(PlayersPath(), e->text.c_str(), record);
    }
    p->AttachRecord(record, i);
    p->flags |= kGolferTakesPart;
    if (pro >= 0) g->players->SetComputer(i, true);
  }
  SaveLastGame();
  ShowMainMenu();
}

void ShowGolfersScreen(TGenericControlADV*) {
  auto* screen = new TGolfersScreenADV();
  ReplaceCurrentScreen(screen);
  GolfersScreen = screen;
}

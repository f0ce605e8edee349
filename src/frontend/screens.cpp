// The courses screen and the golfer selection screen.
#include <strings.h>

#include <cstdio>

#include "course/catalogue.h"
#include "course/roster.h"
#include "framework/core/bigfileio.h"
#include "framework/core/errors.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/inputstate.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/gamemodes.h"
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
  LoadLogo();
  helpText =
      "Courses\n\nThe list shows the courses installed on this computer. Click a course (or move to it with the "
      "arrow keys) to see its logo and description; the choice takes effect at once.\n\nMain Menu keeps the "
      "course for the next game; Cancel returns to the course that was chosen before.";
}

TCoursesADV::~TCoursesADV() {
  if (CoursesScreen == this) CoursesScreen = nullptr;
  if (logo) MemFreeHandle(logo);
}

void TCoursesADV::LoadLogo() {
  if (logo) MemFreeHandle(logo);
  logo = 0;
  TGame* g = CurrentGame();
  if (!g) return;
  PathRecord folder = Folders().root;
  PathAppend(&folder, "DATA");
  PathAppend(&folder, "COURSES");
  PathAppend(&folder, g->courseName.c_str());
  if (FileExists(&folder, "Logo.fsh")) logo = BigFileLoadToHandle(&folder, "Logo.fsh", 0);
}

void TCoursesADV::DrawAll(int flag) {
  EraseAll(0);
  TMenuADV::DrawAll(flag);
  const MARect box{152, 300, 392, 518};
  if (fonts[1]) {
    FontSelect(fonts[1], DrawnImage(), kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
    FontDrawTextWrapped(0, CourseBlurb().c_str(), box, FontHeight() + 2);
  }
  AddDirtyRect(box);
  // The logo by its hot spot.
  const uint8_t* file = logo ? static_cast<const uint8_t*>(MemLock(logo)) : nullptr;
  const uint8_t* shape = file && checkshapefile(file, MemHandleSize(logo)) == 1 ? locateshapenum(file, 0) : nullptr;
  ImageRecord* drawn = DrawnImage();
  if (shape && drawn && drawn->window && setwindow(drawn->window)) {
    drawshapetrans(shape, 150, 138);
    releasewindow();
    const int32_t l = 150 - shapecentrex(shape), t = 138 - shapecentrey(shape);
    AddDirtyRect(MARect{l, t, l + shapewidth(shape), t + shapeheight(shape)});
  }
  if (file) MemUnlock(logo);
  DrawLabel(titleFonts[2], titleFonts[2], "Courses", 175, 105, 0x00AA00, 0x3F3F3F, nullptr, false, true);
}

void TCoursesADV::OnKeyDown(uint16_t code) {
  if (code != kKeyTab) {
    TMenuADV::OnKeyDown(code);
    return;
  }
  list->Select(-1, false);
  TMenuADV::OnKeyDown(code);
  if (current == list) list->Select(list->TopRow(), true);
  list->Erase(0);
  list->Draw(0);
}

void TCoursesADV::OnCourseClicked(TListBoxADV* list, ListEntry* entry) {
  TGame* g = CurrentGame();
  if (!entry || !g) return;
  CourseRecord r{};
  if (GetCourseInfo(entry->value, &r) != 0) return;
  if (strcasecmp(r.folder, g->courseName.c_str()) == 0) return;
  const std::string previous = g->courseName;
  g->SetCurrentCourse(entry->value);
  auto* screen = list->Owner<TCoursesADV>();
  // A course whose data cannot be had (its disc prompt cancelled) leaves the previous course chosen.
  if (!EnsureCourseData(1) || LoadCourseDescription() == ERR_USERABORT) {
    g->SetCurrentCourseByName(previous.c_str());
    EnsureCourseData(0);
    LoadCourseDescription();
    list->Select(FindCourseByName(previous.c_str()), false);
    if (screen) screen->DrawAll(0);
    return;
  }
  if (screen) {
    screen->LoadLogo();
    screen->DrawAll(0);
  }
}

namespace {
// A practice game leaves the courses screen playing hole 1 alone: the new course's holes differ.
void ResetPracticeAfterCourses() {
  auto* practice = dynamic_cast<TPracticeGame*>(CurrentGame());
  if (!practice) return;
  practice->SetHoleMask(1);
  ResetPracticeHoles();
}
}  // namespace

void TCoursesADV::OnMainMenu(TGenericControlADV*) {
  ResetPracticeAfterCourses();
  SaveLastGame();
  ShowMainMenu();
}

void TCoursesADV::OnCancel(TGenericControlADV* control) {
  auto* screen = control->Owner<TCoursesADV>();
  if (screen && CurrentGame()) CurrentGame()->SetCurrentCourseByName(screen->rememberedCourse.c_str());
  LoadCourseDescription();
  ResetPracticeAfterCourses();
  ShowMainMenu();
}

void ShowCoursesScreen(TGenericControlADV*) {
  // The screen opens on a course whose data is here without a disc: the current one, else the first such.
  if (TGame* g = CurrentGame(); g && !EnsureCourseData(0)) {
    const std::string current = g->courseName;
    bool found = false;
    for (int i = 0; i < GetCourseCount() && !found; ++i) {
      CourseRecord r{};
      if (GetCourseInfo(i, &r) != 0) continue;
      g->SetCurrentCourse(i);
      found = EnsureCourseData(0) != 0;
    }
    if (!found) {
      g->SetCurrentCourseByName(current.c_str());
      return;
    }
  }
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

// The enumeration goes on while this returns non-zero: every file is looked at.
int AddGolferFileEntry(const char* file, void* context) {
  auto* list = static_cast<TListBoxADV*>(context);
  std::string name = file;
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || strcasecmp(name.c_str() + dot, ".amt") != 0) return 1;
  name.resize(dot);
  playerInfo_s record;
  if (LoadGolferFile(PlayersPath(), name.c_str(), record) != kGolferFileOk) return 1;
  // Network golfers are not listed here.
  if (record.flags & 0x100) return 1;
  list->Add(record.name, static_cast<int32_t>(record.model), true);
  return 1;
}

}  // namespace

namespace {
constexpr uint8_t kLoop = TShellAnimADV::kLoop, kBackForth = TShellAnimADV::kBackAndForth;
using Img = TGraphicButtonADV::Image;
}  // namespace

TGolfersScreenADV::TGolfersScreenADV() : TMenuADV("bggolfer.dct", "vex.fsh", 80, 80, MenuArchive()) {
  LoadGolferPictures();
  const auto list = [&](int32_t x, int32_t y, int32_t w, int32_t rows, uint32_t style, const char* help) {
    TListBoxADV* l = AddListBox(x, y, w, rows, fonts[0], style, OnListClick);
    l->SetMenuSound(1);
    SetControlHelp(l, help);
    return l;
  };
  PathRecord* menus = MenuArchive();
  users = list(276, 174, 186, 6, 0x1A0, "User created golfers");
  PathRecord players = Folders().players;
  FindFiles(&players, AddGolferFileEntry, users);
  deleteButton = AddGraphicButton(OnDelete, "Permanently delete the selected golfer", 1);
  deleteButton->SetImageInArchive(Img::kNormal, menus, "butdelet.fsh", 317, 288, kLoop, 0, 2);
  if (TShapeMovie* m = deleteButton->MovieOf(Img::kNormal)) {
    deleteButton->SetImage(Img::kDisabled, m, 317, 288, kLoop, 0, 1);
    deleteButton->SetImage(Img::kHighlight, m, 317, 288, kLoop, 0, 3);
    deleteButton->SetImage(Img::kPressed, m, 317, 288, kLoop, 0, 3);
  }
  setupButton = AddGraphicButton(OnSetup, "Change the selected golfer's clubs and settings", 1);
  setupButton->SetImageInArchive(Img::kNormal, menus, "golfrs-c.fsh", 370, 288, kLoop, 0, 4);
  setupButton->SetImageInArchive(Img::kDisabled, menus, "golfrs-b.fsh", 370, 288, kLoop, 0, 4);
  setupButton->SetImageInArchive(Img::kHighlight, menus, "golfrs-e.fsh", 370, 288, kLoop, 0, 4);
  if (TShapeMovie* m = setupButton->MovieOf(Img::kHighlight)) setupButton->SetImage(Img::kPressed, m, 370, 288, kLoop, 0, 4);
  pros = list(276, 357, 186, 6, 0x1A0, "Pro computer controlled golfers");
  for (int s = 4; s < GolferRosterSize() + 4 && s < kRosterSlots; ++s)
    if (const RosterSlot* r = GolferRosterSlot(s); r && r->present) pros->Add(r->name, s);
  AddGroupButtons(OnAdd, OnRemove, 462, 171, &addButton, &removeButton);
  selected = list(515, 176, 175, 4, 0x1A4, "Currently selected players");
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
  profileButton = AddGraphicButton(OnProfile, "View the selected golfer's profile and statistics", 1);
  profileButton->SetImageInArchive(Img::kNormal, menus, "butprofl.fsh", 561, 320, kBackForth, 0, 1);
  if (TShapeMovie* m = profileButton->MovieOf(Img::kNormal))
    profileButton->SetImage(Img::kHighlight, m, 561, 320, kLoop, 15, 0);
  newGolferButton = AddGraphicButton(OnNewGolfer, "Create and add a new player to the list", 1);
  newGolferButton->SetImageInArchive(Img::kNormal, menus, "butsetup.fsh", 480, 400, kBackForth, 0, 1);
  if (TShapeMovie* m = newGolferButton->MovieOf(Img::kNormal))
    newGolferButton->SetImage(Img::kHighlight, m, 480, 400, kLoop, 15, 0);
  AddTextButton("Cancel", 311, 63, {'c', kKeyEscape}, OnCancel, "Return to previous screen without saving changes",
                -1, 0x005DCE);
  AddTextButton("Main Menu", 523, 63, {'m'}, OnMainMenu, "Return to Main Menu, saving changes", -1, 0x005DCE);
  helpText =
      "Golfers\n\nPick up to four golfers for the next game. \"Play As\" lists the golfers you created, \"Play "
      "Against\" the professionals the computer plays. Select a golfer and click the arrow (or double-click it) to "
      "add it to the group; select a golfer of the group and click the other arrow to take it out.\n\nThe profile "
      "button shows a professional's biography or your golfer's statistics. The new-golfer button creates a golfer; "
      "the set-up button changes the selected golfer of yours, and the delete button removes its file.\n\nMain "
      "Menu keeps the group for the next game; Cancel keeps the previous one.";
}

TGolfersScreenADV::~TGolfersScreenADV() {
  if (GolfersScreen == this) GolfersScreen = nullptr;
  FreeGolferPictures();
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
  const bool user = e && FindRosterProfessional(e->text.c_str()) < 0;
  const bool add = e && from != selected && n < 4 && !(match && n >= 2);
  const struct {
    TGraphicButtonADV* button;
    bool on;
  } wanted[] = {{removeButton, !add && e && from == selected && n > 0},
                {addButton, add},
                {setupButton, user},
                {profileButton, e != nullptr},
                {deleteButton, user}};
  // Only a button whose state changes is touched: one that stays usable keeps the focus under the pointer.
  for (const auto& w : wanted) {
    if ((w.button->MA_EventHandler::IsShownAndEnabled() != 0) == w.on) continue;
    w.button->Erase(0);
    w.button->Enable(w.on ? 1 : 0, 0);
    w.button->Draw(0);
  }
}

void TGolfersScreenADV::OnKeyDown(uint16_t code) {
  if (code != kKeyTab) {
    TMenuADV::OnKeyDown(code);
    return;
  }
  FlushInput();
  for (TListBoxADV* l : {users, pros, selected}) l->Select(-1, false);
  UpdateButtons();
  TMenuADV::OnKeyDown(code);
  // The list that took the focus shows its first enabled golfer.
  for (TListBoxADV* l : {users, pros, selected})
    if (current == l)
      for (int r = 0; r < l->Size(); ++r)
        if (l->At(r)->enabled) {
          l->Select(r, true);
          break;
        }
  DrawAll(0);
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
  if (slot) DrawShapeFileScaled(GolferPicture(shown->value), 150 - 70, 210 + 230 - 230, 140, 230);
  if (shown)
    DrawLabel(titleFonts[1], titleFonts[1], shown->text.c_str(), 139, 470, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(titleFonts[2], titleFonts[2], "Golfers", 177, 108, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Play As:", 295, 148, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Play Against:", 295, 330, 0x005DCE, 0x3F3F3F, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Selected Golfers", 495, 148, 0x005DCE, 0x3F3F3F, nullptr, false, true);
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
  ListEntry* e = s ? s->CurrentEntry(nullptr) : nullptr;
  if (!e || FindRosterProfessional(e->text.c_str()) >= 0) return;
  gDeleteName = e->text;
  char text[96];
  std::snprintf(text, sizeof text, "Delete the golfer named %s?", gDeleteName.c_str());
  ShowConfirmDialog(text, DeleteConfirmed, Refresh);
}

std::string GolferProfileText(const char* name) {
  const int pro = FindRosterProfessional(name);
  if (pro >= 0) return RosterBiography(pro);
  playerInfo_s record;
  if (!name || LoadGolferFile(PlayersPath(), name, record) != kGolferFileOk) return "";
  // The statistics page's lines; the name alone where no round interface is there to make them.
  const std::string page = Svc().round->PlayerStatsText(record);
  return page.empty() ? std::string("Player: ") + record.name : page;
}

void TGolfersScreenADV::OnProfile(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  ListEntry* e = s ? s->CurrentEntry(nullptr) : nullptr;
  if (!e) return;
  const std::string text = GolferProfileText(e->text.c_str());
  if (text.empty()) return;
  ShowMessageDialog(text.c_str(), 1, 1, nullptr, 0, DialogSizeIndex() <= 2 ? "hal10b.ffn" : "hal12b.ffn");
  s->DrawAll(0);
}

void TGolfersScreenADV::OnSetup(TGenericControlADV* control) {
  auto* s = control->Owner<TGolfersScreenADV>();
  ListEntry* e = s ? s->CurrentEntry(nullptr) : nullptr;
  if (!e || FindRosterProfessional(e->text.c_str()) >= 0) return;
  const std::string name = e->text;
  ShowGolferEditor(name.c_str(), 0);
}

void TGolfersScreenADV::OnNewGolfer(TGenericControlADV*) { ShowGolferEditor(nullptr, 0); }

bool TGolfersScreenADV::AddUserGolfer(const char* name) {
  const size_t before = static_cast<size_t>(users->Size());
  const std::string file = std::string(name) + ".amt";
  AddGolferFileEntry(file.c_str(), users);
  return static_cast<size_t>(users->Size()) > before;
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
    // A professional plays as its roster slot, a user golfer as the model its file names.
    if (pro >= 0) g->players->SetComputer(i, true);
    p = g->players->GetPlayer(i);
    p->AttachRecord(record, pro >= 0 ? pro : static_cast<int>(record.model));
    KeepRosterName(p, record);
    p->flags |= kGolferTakesPart;
  }
  SaveLastGame();
  ShowMainMenu();
}

void ShowGolfersScreen(TGenericControlADV*) {
  auto* screen = new TGolfersScreenADV();
  ReplaceCurrentScreen(screen);
  GolfersScreen = screen;
}

// The courses screen and the golfer selection screen.
#pragma once

#include <string>

#include "frontend/listbox.h"
#include "frontend/menu.h"

class TCoursesADV : public TMenuADV {
 public:
  TCoursesADV();
  ~TCoursesADV() override;
  void DrawAll(int flag) override;
  void OnKeyDown(uint16_t code) override;  // Tab: the list's entry follows the focus
  void LoadLogo();
  static void OnCourseClicked(TListBoxADV* list, ListEntry* entry);
  static void OnMainMenu(TGenericControlADV* control);
  static void OnCancel(TGenericControlADV* control);
  TListBoxADV* list = nullptr;
  std::string rememberedCourse;
  MemHandle logo = 0;  // "Logo.fsh" of the current course's folder
};
extern TCoursesADV* CoursesScreen;

class TGolfersScreenADV : public TMenuADV {
 public:
  TGolfersScreenADV();
  ~TGolfersScreenADV() override;
  void DrawAll(int flag) override;
  void OnKeyDown(uint16_t code) override;  // Tab: the focused list's first entry becomes current
  // The current entry of the selected list, else of the user list, else of the pro list.
  ListEntry* CurrentEntry(TListBoxADV** from);
  void UpdateButtons();
  static void OnListClick(TListBoxADV* list, ListEntry* entry);
  static void OnAdd(TGenericControlADV* control);
  static void OnRemove(TGenericControlADV* control);
  static void OnDelete(TGenericControlADV* control);
  static void OnProfile(TGenericControlADV* control);
  static void OnSetup(TGenericControlADV* control);
  static void OnNewGolfer(TGenericControlADV* control);
  // A golfer file's entry put at the front of the user list; false when the file does not load or is a network
  // golfer's.
  bool AddUserGolfer(const char* name);
  static void OnCancel(TGenericControlADV* control);
  static void OnMainMenu(TGenericControlADV* control);
  TListBoxADV *users = nullptr, *pros = nullptr, *selected = nullptr;
  TGraphicButtonADV *addButton = nullptr, *removeButton = nullptr, *deleteButton = nullptr, *setupButton = nullptr,
                    *profileButton = nullptr, *newGolferButton = nullptr;
};
extern TGolfersScreenADV* GolfersScreen;

// The profile text of a golfer: a professional's biography, a user golfer's statistics from its file; "" when
// the file does not load.
std::string GolferProfileText(const char* name);
// The golfer editor: with a name, that user golfer's; without, a new golfer. It returns to the screen under it,
// or to the main menu when opened from there.
void ShowGolferEditor(const char* name, int fromMainMenu);

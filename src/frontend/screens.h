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
  static void OnCourseClicked(TListBoxADV* list, ListEntry* entry);
  static void OnMainMenu(TGenericControlADV* control);
  static void OnCancel(TGenericControlADV* control);
  TListBoxADV* list = nullptr;
  std::string rememberedCourse;
};
extern TCoursesADV* CoursesScreen;

class TGolfersScreenADV : public TMenuADV {
 public:
  TGolfersScreenADV();
  ~TGolfersScreenADV() override;
  void DrawAll(int flag) override;
  // The current entry of the selected list, else of the user list, else of the pro list.
  ListEntry* CurrentEntry(TListBoxADV** from);
  void UpdateButtons();
  static void OnListClick(TListBoxADV* list, ListEntry* entry);
  static void OnAdd(TGenericControlADV* control);
  static void OnRemove(TGenericControlADV* control);
  static void OnDelete(TGenericControlADV* control);
  static void OnCancel(TGenericControlADV* control);
  static void OnMainMenu(TGenericControlADV* control);
  TListBoxADV *users = nullptr, *pros = nullptr, *selected = nullptr;
  TGraphicButtonADV *addButton = nullptr, *removeButton = nullptr, *deleteButton = nullptr;
};
extern TGolfersScreenADV* GolfersScreen;

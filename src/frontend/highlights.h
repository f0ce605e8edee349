// The highlights screen: the saved shots of the program's folder in a list, the description of the one chosen,
// its replay through the game, and the deletion of its file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "course/savedfiles.h"
#include "frontend/listbox.h"
#include "frontend/menu.h"

class TGame;

class THighlightsADV : public TMenuADV {
 public:
  THighlightsADV();
  ~THighlightsADV() override;
  int OnIdle() override;  // Tee off follows the selection
  void DrawAll(int flag) override;
  void EraseAll(int flag) override;
  void OnKeyDown(uint16_t code) override;  // Tab: the list's first shown row becomes current
  void DrawShotDescription(const ListEntry* entry);
  static void OnShotPicked(TListBoxADV* list, ListEntry* entry);
  static void ReplaySelectedShot(TGenericControlADV* control);
  static void OnDeleteClicked(TGenericControlADV* control);
  static void DeleteSelectedShot();
  static void OnMainMenuClicked(TGenericControlADV* control);

  TListBoxADV* list = nullptr;
  TGraphicButtonADV *teeOffButton = nullptr, *deleteButton = nullptr;
};
extern THighlightsADV* HighlightsScreen;

// Opens the screen on the saved shots; with none, a notice and the main menu stays. The main menu's Highlights
// button and the end of a replay open it.
void ShowHighlightsScreen(TGenericControlADV* control = nullptr);
// The saved shots the screen lists, in its order.
const std::vector<SavedShotHead>& HighlightShotList();
// The description of a saved shot (at most 255 characters): mode, course, hole, shot, golfer and file.
std::string DescribeSavedShot(const SavedShotHead& shot);

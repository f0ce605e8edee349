// The golfer editor: a user golfer's name, the golfer model and caddie it wears, its clubs and its play settings.
#pragma once

#include <memory>

#include "frontend/clubs.h"
#include "frontend/menu.h"
#include "golf/playerinfo.h"

class TGolferEditADV : public TMenuADV {
 public:
  // Rows of the settings.
  enum Row { kLevel, kShaft, kTee, kTapIns, kRisk, kPowerGuide, kArc, kLines, kPuttCaddie, kMulligans, kHandicap,
             kVision, kSwing, kRows };
  TGolferEditADV(const char* name, bool fromMainMenu, bool netEditor = false);
  ~TGolferEditADV() override;
  void DrawAll(int flag) override;
  void ShowGolferSettings();
  // The settings of the selectors written into the record (not the level, which changes at once).
  void StoreSettings();
  static void OnLevel(TGenericControlADV* control);
  static void OnCustom(TGenericControlADV* control);
  static void OnSwingType(TGenericControlADV* control);
  static void OnClubs(TGenericControlADV* control);
  static void OnSave(TGenericControlADV* control);
  static void OnCancel(TGenericControlADV* control);
  static void OnSwitchLists(TGenericControlADV* control);
  static void OnListPicked(TListBoxADV* list, ListEntry* entry);

  playerInfo_s golfer;
  std::string oldName;
  bool newGolfer, fromMainMenu, netEditor;
  TTextEditBoxADV* nameBox = nullptr;
  CDialogSelectTxtBtn* rows[kRows] = {};
  TListBoxADV *models = nullptr, *caddies = nullptr;
  TGraphicButtonADV* clubsButton = nullptr;
  TTextButtonADV* saveButton = nullptr;
  TMA_EventHandlerList* previous = nullptr;
};
extern TGolferEditADV* GolferEditor;
// The editor for this machine's network golfer: its name, handicap, swing type, clubs and looks. Save Changes
// writes its file and makes it the net golfer; both buttons return to the screen under the editor.
void ShowNetGolferEditor(const char* name);
// Where the net golfer editor goes when it closes: set, it replaces the return to the screen under the editor
// (that screen is made current again, undrawn, for the callback to replace).
using NetGolferEditorClosed = void (*)(bool saved);
void SetNetGolferEditorClosed(NetGolferEditorClosed closed);

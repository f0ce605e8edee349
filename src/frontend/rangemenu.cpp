#include "frontend/rangemenu.h"

#include "app/gameapp.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "frontend/frontend.h"
#include "frontend/textbutton.h"

TDrivingRangeADV* DrivingRangeScreen = nullptr;

namespace {

int gFacility = 0;

// The facility's own folder, where its pictures lie.
PathRecord* FacilityFolder() {
  static PathRecord folder;
  folder = Folders().root;
  PathAppend(&folder, "DATA");
  PathAppend(&folder, "COURSES");
  PathAppend(&folder, "RANGE");
  return &folder;
}

}  // namespace

int ChosenRangeFacility() { return gFacility; }

TDrivingRangeADV::TDrivingRangeADV() : TMenuADV("bgpract.dct", nullptr, 0, 0, FacilityFolder()) {
  DrivingRangeScreen = this;
  TTextButtonADV* menu =
      AddTextButton("Main Menu", 535, 63, {'m', kKeyEscape}, OnMainMenu, "Return to Main Menu", 1, 0xFFFF50);
  menu->SetColors(0xE0E0E0, 0xAAAAAA, 0xFFFF50, 0xF0F0F0);
  static const struct {
    const char* caption;
    int32_t y;
    uint16_t key;
    const char* help;
  } kFacilities[3] = {{"Driving Range", 221, 'd', "Practice driving"},
                      {"Chipping Green", 286, 'h', "Practice chipping"},
                      {"Putting Green", 351, 'p', "Practice putting"}};
  for (int i = 0; i < 3; ++i) {
    facilities[i] = AddTextButton(kFacilities[i].caption, 315, kFacilities[i].y, {kFacilities[i].key}, OnFacility,
                                  kFacilities[i].help, 1, 0xFFFF50);
    facilities[i]->SetColors(0xFFFFFF, 0xFFFFFF, 0xFFFF50, 0xFFFF50);
    facilities[i]->SetUserWord(static_cast<uint32_t>(i));
  }
  helpText =
      "Driving Range\n\nThe practice facility: the driving range for long shots, the chipping green for the short "
      "game and the putting green. Choose one to start practising with the first golfer of the group; Main Menu "
      "goes back.";
}

TDrivingRangeADV::~TDrivingRangeADV() {
  if (DrivingRangeScreen == this) DrivingRangeScreen = nullptr;
}

void TDrivingRangeADV::OnFacility(TGenericControlADV* control) {
  if (!control || !control->Owner<TDrivingRangeADV>()) return;
  gFacility = static_cast<int>(control->userWord);
  BeginPlay(control);
}

void TDrivingRangeADV::OnMainMenu(TGenericControlADV* control) {
  if (control && control->Owner<TDrivingRangeADV>()) ShowMainMenu();
}

void ShowDrivingRangeMenu() {
  ReplaceCurrentScreen(nullptr);
  Svc().sound->StartMenuSounds();
  ReplaceCurrentScreen(new TDrivingRangeADV());
}

// The driving-range menu: the driving range, the chipping green and the putting green of the practice facility,
// each started as a round of the driving-range game. Tee off opens it when the game is the driving range.
#pragma once

#include "frontend/menu.h"

class TDrivingRangeADV : public TMenuADV {
 public:
  TDrivingRangeADV();
  ~TDrivingRangeADV() override;
  static void OnFacility(TGenericControlADV* control);
  static void OnMainMenu(TGenericControlADV* control);
  TTextButtonADV* facilities[3] = {};
};
extern TDrivingRangeADV* DrivingRangeScreen;

void ShowDrivingRangeMenu();
// The facility the next driving-range round starts on (0 range, 1 chipping green, 2 putting green).
int ChosenRangeFacility();

// The net games lobby's own dialog: a new game or tournament named, with its type, level, shot clock and fast
// play.
#pragma once

#include <string>

#include "frontend/clubs.h"
#include "frontend/dialog.h"

class CNewGameDialog : public CDialogADV {
 public:
  // `online`: the game may be a tournament of the online service (the title and the empty-name notice say so).
  CNewGameDialog(bool online, int gameType, int level);
  void DrawAll(int flag) override;
  // Tournament keeps Fast Play on and locked; any other mode frees it with its value.
  void FollowMode();

  enum Row { kCancel, kOk, kMode, kLevel, kShotClock, kFastPlay };
  CDialogTxtBtn* buttons[2] = {};
  CDialogSelectTxtBtn* choices[6] = {};
  TTextEditBoxADV* name = nullptr;
  bool online;
};

struct NewGameChoice {
  std::string name;
  int gameType = 1, level = 0, shotClock = 0, fastPlay = 1;
};
// 1 with the choices on Ok, 0 on Cancel or Escape.
int ShowNewGameDialog(bool online, NewGameChoice* choice);

// The dialog text button that steps through choices, and the clubs dialog that shapes a golfer's bag: which
// clubs are carried (14 at most), each club's power and its trajectory.
#pragma once

#include <string>
#include <vector>

#include "frontend/dialog.h"
#include "frontend/graphicbutton.h"
#include "frontend/listbox.h"

struct playerInfo_s;

class CDialogSelectTxtBtn : public CDialogTxtBtn {
 public:
  // The caption left-aligned at (x + 3, y), the label ending at x - 2; `choices` holds the label first, then the
  // choices.
  CDialogSelectTxtBtn(int32_t x, int32_t y, std::vector<std::string> choices, MemHandle font, CDialogADV* dialog,
                      uint16_t hotKey, uint16_t id, uint32_t stateFlags, uint32_t labelColour, uint32_t valueColour);
  int IsShownAndEnabled() override { return MA_EventHandler::IsShownAndEnabled(); }
  int OnChar(uint16_t code) override;  // Left and Right arrows step back and on
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  void Fire() override;
  void Draw(int flag) override;
  void Erase(int flag) override;
  void SetIndex(int index);
  // Moves the selector and its label to another place (the caption at x + 3, the label ending at x - 2).
  void SetPlace(int32_t x, int32_t y);
  int GetIndex() const { return index_; }
  int Count() const { return static_cast<int>(choices_.size()) - 1; }
  // Whether the last step (the one the click handler sees) went backward.
  bool SteppedBack() const { return steppedBack_; }
  // New choices (the label first); the value is kept, or clamped to the last choice.
  void SetChoices(std::vector<std::string> choices);

 private:
  std::vector<std::string> choices_;  // the label, then the choices
  int index_ = 0;
  bool backwards_ = false;
  bool steppedBack_ = false;
  int32_t labelRight_, labelY_;
  uint16_t labelColour_;
};

class TClubsDialogADV : public CModalDialogADV {
 public:
  static constexpr int kRows = 8, kClubs = 21, kPutter = 20, kMaxClubs = 14;
  explicit TClubsDialogADV(const playerInfo_s& golfer);
  int OnIdle() override;
  void DrawAll(int flag) override;
  void EndModal(int result) override;
  // The choices written back into a golfer record.
  void Store(playerInfo_s& golfer) const;
  void UpdatePowerButtons();
  void UpdatePathButtons();
  void UpdateClubList();
  std::string FormatDistance(int club, int flex) const;
  // A club's distance at a power step for a shaft (0 stiff, 1 regular, 2 flex): yards rounded to 5, "< 5yd" below
  // that; the putter's in feet.
  static std::string DistanceText(int reach, int step, int flex, bool putter);
  static void OnClubPicked(TListBoxADV* list, ListEntry* entry);
  static void OnPowerClicked(TGenericControlADV* control);
  static void OnPathClicked(TGenericControlADV* control);

  MemHandle titleFont = 0, textFont = 0;
  TListBoxADV* list = nullptr;
  CDialogSelectTxtBtn* power[kRows] = {};
  TGraphicRadioButtonADV* path[kRows] = {};
  int step[kClubs] = {}, pathIndex[kClubs] = {}, inBag[kClubs] = {};
  int topClub = 0, bagCount = 0;
};

// Runs the clubs dialog on a golfer record; on Ok the bag, powers and trajectories are written into it. 1 for Ok.
int ShowClubsDialog(playerInfo_s& golfer);
// The club's name in the game's list (club 0 the driver ... 20 the putter).
const char* ClubName(int club);

// The club bar of the shot controls: the current club with its distance as one caption, a handle that opens the
// club pop-up (a box over the view holding the wood, iron, wedge and putter group buttons, each opening a list of
// its clubs with their distances), and the step arrows that walk the bag in group order. Also the pop-up lists
// of the in-round screen and the options list of the shot controls.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/listbox.h"
#include "roundui/inroundbutton.h"

struct playerInfo_s;

// Club groups in the order of the lists and of stepping: 0 putter, 1 wedges, 2 irons, 3 woods.
constexpr int kClubGroups = 4;
int ClubGroupSize(int group);
int ClubGroupClub(int group, int index);
// The group of a club and its index in it (false for a club outside 0..20).
bool FindClubInGroups(int club, int* group, int* index);

// The club-name table: names in fields of 15 characters padded with blanks ("P" for the putter).
const char* ClubNameField(int club);
// "%d'" of the putt scale (4, 8, 20, 40, 80, else 160 feet) for the putter, else "%dy" of the club's distance
// for the golfer's setting and shot type (rounded to 5 for shot types other than 4, 5 and 6).
std::string ClubDistanceText(int club, const playerInfo_s* golfer);
// "%s %s": the club's name and its distance text.
std::string ClubCaption(int club, const playerInfo_s* golfer);
// The club a step forwards (or backwards) in group order over the clubs of the bag; -1 when there is none.
int NextClubByGroup(int club, uint32_t bag, bool backwards);

// A list of the in-round screen: while shown its area is cut out of the scene's overlay and the scene's
// animations hold.
class TGameListBoxADV : public TListBoxADV {
 public:
  TGameListBoxADV(int32_t x, int32_t y, int32_t width, int32_t rows, MemHandle font);
  void Show(int on, int redraw) override;
  void Erase(int redrawNow) override;
};

// The font of the in-round lists by screen size, loaded once for the rest of the program.
MemHandle ListFont();

// A list that closes from inside its own handler is hidden at once and deleted at the next idle pass.
void RetireList(TListBoxADV* list);
void DeleteRetiredLists();

// The in-round button that opens and closes a pop-up.
class TPopupButton : public TInRoundButton {
 public:
  explicit TPopupButton(uint32_t frameData);
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  void Draw(int redrawNow) override;
  bool AcceptsInput() override;
  int HitTest(int16_t x, int16_t y) override;

  int32_t anchorX = 0, anchorY = 0;
  MARect popupRect{};
  uint8_t faceState = 0;  // 0 normal, 1 focused, 2 focused while a button is held
  uint32_t open = 0;
};

// The opened list's entries by the group's order; null when no group list is open.
TGameListBoxADV* OpenClubList();
// Makes the club the golfer's, closes the pop-up and any list.
void SelectClub(int club);
// Steps the golfer's club through the bag in group order.
void StepClubByGroup(bool backwards);
// Opens the list of group 1..3 under the group button's rectangle.
void OpenGroupList(int group, const MARect& under);
// Opens or closes the club pop-up.
void ToggleClubPopup();
bool ClubPopupOpen();
// The caption of the golfer's club written again.
void RefreshClubSelection();

// Creates the club bar at the anchor (the screen's bottom-right pixel); null when memory runs out.
MA_EventHandler* CreateClubBar(int32_t anchorX, int32_t anchorY);
// Where a test or a script finds the parts of the bar: the handle, the group button of a group, the open list's
// row `row`; false when the part is not there.
bool ClubBarPoint(int part, int32_t* x, int32_t* y);
constexpr int kClubPartHandle = -1;  // groups 0..3 are their buttons; 100 + row a row of the open list

// The options list of the shot controls ("Display", "End game", "Calibrate", the swing type) and the hidden lie
// list.
MA_EventHandler* CreateOptionsList(int32_t anchorX, int32_t anchorY);
MA_EventHandler* CreateLieList(int32_t anchorX, int32_t anchorY);
// The screen point of the options list's button (row -1) or of a row of its open list; false when not there.
bool OptionsListPoint(int row, int32_t* x, int32_t* y);
// Runs the options list's item (0 to 15; the list offers 0 display settings, 1 end game, 13 calibrate and 15 the
// swing type). Item 9 ("Choose lie") shows the lie list beside it.
constexpr int kOptionChooseLie = 9;
void RunOptionItem(int item);
// The text of an item; the swing type's names the swing the item switches to.
const char* OptionItemText(int item);

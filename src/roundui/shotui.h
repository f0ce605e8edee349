// The shot set-up controls in the lower right corner: one group with the club bar, the power meter, the lie and
// settings pop-up lists and the panels, drawn over one background panel laid out from the screen's bottom-right
// pixel; it routes Enter and the space bar. Beside it the turn-flow services: the next golfer, the round's
// standard messages and money texts.
#pragma once

#include <cstdint>
#include <string>

#include "framework/ui/handlergroup.h"

class TShotUIManager : public TEventHandlerGroup {
 public:
  TShotUIManager();
  ~TShotUIManager() override;

  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  int OnChar(uint16_t code) override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  // Sets the anchor, creates the group's list and the members; 0 or an error code.
  int CreateControls();
  // The background frame for the current turn: 1 full panel, 2 reduced panel.
  int BackgroundFrame();
  // Places the group's rectangle from the current background frame.
  void LayoutControls();

  int32_t anchorX = 0, anchorY = 0;
  MA_EventHandler* clubBar = nullptr;
  MA_EventHandler* powerMeter = nullptr;  // space starts the swing
  MA_EventHandler* liePopup = nullptr;
  MA_EventHandler* settingsPopup = nullptr;
};

// The game's tie flags clear: the game goes on after the shot; otherwise the next golfer of the playoff is made
// current and 0x713 is posted.
void AdvanceToNextPlayer();
// Text number `index` of the round's standard messages (5 to 7 follow the given name).
std::string GameMessageText(int index, const std::string& name);
// Shows that message in the modal message dialog.
void ShowGameMessage(int index, const std::string& name);
// "$" and the value with a comma before every group of three digits from the right.
std::string FormatMoney(int64_t value);

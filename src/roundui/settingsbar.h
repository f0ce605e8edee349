// The round's settings: a toggle of "settings.fsh" that opens a row of icon buttons (concede, next hole, course
// overview, views, scorecard, setup, save, exit, display), and the commands behind them and behind the rows of the
// options list: the save-game, next-hole and end-game sequences. Nothing installs the bar in a round; it is a
// component a screen may add.
#pragma once

#include <cstdint>

#include "framework/ui/handlergroup.h"
#include "roundui/clubbar.h"
#include "roundui/inroundbutton.h"

class TGame;

// Command ids: the image of the button in "settings.fsh" and the index of its help text.
enum SettingsCommand : int {
  kSettingsToggle = 10,
  kSettingsConcede = 11,
  kSettingsNextHole = 12,
  kSettingsOverview = 13,
  kSettingsRotateView = 14,
  kSettingsChangeView = 15,
  kSettingsScorecard = 16,
  kSettingsSetup = 17,
  kSettingsSaveGame = 18,
  kSettingsExitGame = 19,
  kSettingsDisplay = 20,
  kSettingsLast = 21,
};

// The help text of a command id ("" for none).
const char* SettingsHelpText(int id);
// Whether the bar offers the button in this game: concede in skins and the match games, next hole in practice,
// neither without a game; the others always.
bool SettingsButtonOffered(int id, const TGame* game);
// Runs the command of an id (ids 7 to 9 and 19 end the game; 1 to 6, 10 and 21 do nothing).
void RunSettingsCommand(int id);

// The save-game sequence: asks "Update last saved game?" when the game was saved before (Ok overwrites it, No
// saves under a new number, Cancel ends), saves, and tells the result.
enum SaveSequenceResult { kSaveSequenceSaved, kSaveSequenceCancelled, kSaveSequenceFailed };
SaveSequenceResult SaveGameSequence();
// Leaves the hole for the next one (practice).
void NextHoleSequence();
// Ends the game after the questions of its kind; true when the round was ended.
bool EndGameSequence();

class TSettingsBtn : public TInRoundButton {
 public:
  explicit TSettingsBtn(int id);
  // Places the image's centre on (x, y) and takes the help text of its id.
  virtual void Place(int32_t x, int32_t y);
  const uint8_t* GetHitShape(int pointerOver) override;
  void Draw(int redrawNow) override;
  void OnClick() override;

  int32_t commandId;
  int32_t anchorX = 0, anchorY = 0;
  uint8_t state = 0;
};

class TSettingsUI;

// The toggle: images 1 to 3 closed ("Open Settings"), 4 to 6 open ("Close Settings").
class TSettingsPopup : public TPopupButton {
 public:
  explicit TSettingsPopup(TSettingsUI* owner);
  const uint8_t* GetHitShape(int pointerOver) override;
  bool AcceptsInput() override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;  // only on its own image
  void OnClick() override;
  TSettingsUI* owner;
};

class TSettingsUI : public TEventHandlerGroup {
 public:
  TSettingsUI() = default;
  ~TSettingsUI() override;
  // Builds the toggle with its image centred on (x, y) and the buttons the current game offers, right to left
  // from it; 0 or an error code.
  int Build(int32_t x, int32_t y);
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  bool Open() const { return toggle && toggle->open; }
  void OpenBar();
  // Closes the bar without running a command.
  void CloseBar();
  // The button of an id, null when the bar has none.
  TSettingsBtn* Button(int id);
  int ButtonCount() const;

  int32_t anchorX = 0, anchorY = 0;
  TSettingsPopup* toggle = nullptr;
  uint8_t exists[kSettingsLast + 1] = {};

 private:
  bool OutsideOpenBar(int16_t x, int16_t y) const;
};

// The bar a screen made last (null when none lives).
TSettingsUI* SettingsBar();

// The game modes screen: the mode of the next local game with its logo and description, and the round's options
// (wind, gusts, course conditions, holes or rounds, shot clock, fast play, the computer pros' skill). Main Menu
// makes a new game of them and keeps it as the last game; Cancel changes nothing.
#pragma once

#include <cstdint>

#include "frontend/listbox.h"
#include "frontend/menu.h"
#include "frontend/textbutton.h"

// The screen's working copy of the game's settings.
struct GameModeSettings {
  int mode = 0;
  int rounds = 1;
  int holeCount = 18, firstHole = 0;
  int shotClock = 0;  // seconds, 0 off
  int fastPlay = 0, wind = 0, gusts = 0, fairway = 1, rough = 0, greens = 1, opponents = 2;
};
GameModeSettings& GameModesWorkingCopy();

class TGameModesADV : public TMenuADV {
 public:
  static constexpr int kModes = 9;
  enum Option { kWind, kGusts, kFairway, kRough, kGreens, kRounds, kHoles, kShotClock, kFastPlay, kOpponents, kOptions };
  TGameModesADV();
  ~TGameModesADV() override;
  void DrawAll(int flag) override;
  void OnKeyDown(uint16_t code) override;  // Tab: the list's row follows the focus
  // Shows the Holes or the Rounds pair as the mode asks, the hole range fitted to the mode.
  void ApplyModeOptions();
  // The option's value text from the working copy; the screen is drawn again when asked.
  void RefreshValue(int option, bool redraw);
  void ShowPair(int option, bool on);
  static void SelectGameMode(TListBoxADV* list, ListEntry* entry);
  static void OnOptionStep(TGenericControlADV* control);
  static void AcceptGameModes(TGenericControlADV* control);

  TListBoxADV* list = nullptr;
  TTextButtonADV* labels[kOptions] = {};
  TTextButtonADV* values[kOptions] = {};
  MemHandle logos[kModes] = {};
};
extern TGameModesADV* GameModesScreen;

// The main menu's Game Modes button: the working copy taken from the current game, the screen put up.
void ShowGameModesScreen(TGenericControlADV* control = nullptr);
// The mode a row of the list selects, and the row of a mode (-1 when the list has none).
int GameModeOfRow(int row);
int RowOfGameMode(int mode);

// The holes a practice game plays (bit i: hole i + 1); the courses screen puts it back to hole 1 alone when it is
// left in practice mode.
uint32_t& PracticeHoleSet();
void ResetPracticeHoles();

// The saved games screen: the saved-game files in a list, the chosen one's description and score card, its resume
// and the deletion of its file. While the screen is up the current game is the chosen saved game; leaving without
// resuming brings back the game of before.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "frontend/listbox.h"
#include "frontend/menu.h"

class TGame;
class CScoreCardDlg;

class TSavedGamesADV : public TMenuADV {
 public:
  TSavedGamesADV();
  ~TSavedGamesADV() override;
  int OnIdle() override;  // Resume follows the selection
  void DrawAll(int flag) override;
  void EraseAll(int flag) override;
  void OnKeyDown(uint16_t code) override;  // Tab: the list's first shown row becomes current
  void DrawSavedGameDescription(const ListEntry* entry);

  TListBoxADV* list = nullptr;
  TGraphicButtonADV *resumeButton = nullptr, *deleteButton = nullptr;
};
extern TSavedGamesADV* SavedGamesScreen;
extern CScoreCardDlg* SavedGameCard;

// The main menu's "Saved Games"; with none saved, a notice and the main menu stays.
void ShowSavedGamesScreen(TGenericControlADV* control = nullptr);
// The score card's buttons join the open screen (false when none is open).
bool AddToSavedGamesScreen(TGenericControlADV* control);
void RemoveFromSavedGamesScreen(TGenericControlADV* control);
void RedrawSavedGamesScreen();

void FillSavedGamesList();
void OnSavedGameSelected(TListBoxADV* list, ListEntry* entry);
void ResumeSavedGame(TGenericControlADV* control);
void OnDeleteSavedGame(TGenericControlADV* control);
void DeleteSelectedSavedGameFile();
void OnSavedGamesMainMenu(TGenericControlADV* control);

// The description of a saved game: mode and course, then the round (tournaments), the hole and the date it was
// saved (`saved` 0: unknown), then the course conditions. Lines end in '\n'.
std::string DescribeSavedGame(const TGame& game, std::time_t saved);
// The date as month/day/two-digit year in local time; "" when it does not convert.
std::string SavedGameDate(std::time_t saved);

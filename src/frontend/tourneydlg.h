// The standings dialog of a tournament and the base of the in-round status dialogs (match play, shoot-out,
// skins): a panel of the dialog archive sized by the screen, a title, a content area for tables, separator bars,
// and its "Continue" and "More" buttons.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/dialog.h"

class CTourneyDlg : public CDialogADV {
 public:
  // `notice` 0 none, 1 a playoff, 2 another playoff hole (shown after the dialog); `stage` 0 standings in a round,
  // 1 a round's results, 2 final results.
  CTourneyDlg(int notice, int stage);
  ~CTourneyDlg() override;

  // The panel, its controls and its title, then the contents.
  void DrawAll(int flag) override;
  // The tournament's standings (the round interface draws them); the status dialogs draw their own tables.
  virtual void DrawContents();

  // The area for tables (left, top, width, height as a rectangle's left, top, right, bottom).
  MARect GetContentRect() const;
  // A separator of two pixels across the content area with its left end at (x, y).
  void DrawBar(int32_t x, int32_t y);
  // "Continue" at the dialog's lower right; "More" with its left edge at dialog-relative (x, y).
  CDialogTxtBtn* AddContinueButton(ClickHandler handler);
  CDialogTxtBtn* AddMoreButton(int32_t x, int32_t y, ClickHandler handler);
  // The handler that ends the owner's loop with 1.
  static void EndWithContinue(TGenericControlADV* control);

  float scale = 1.0f;  // this size's dialog width over 522
  int notice = 0;
  int stage = 0;
  int firstRow = 0;
  int rowsPerPage = 0;  // kept by the leader board as it draws a page
  int rowCount = 0;
  MemHandle titleFont = 0;
  MemHandle bodyFont = 0;
  std::string heading;

 private:
  CDialogTxtBtn* AddTextButton(int32_t x, int32_t y, const char* caption, int alignment, ClickHandler handler);
};

// The standings of a tournament between holes: `kind` 0 in a round, 1 a round's results, 2 final results. With a
// delay the dialog shows for that many seconds without buttons; else Continue, Escape and "More" (the next page),
// and a network game's dialog closes by itself after 15 s. Afterwards the notice (1 a playoff, 2 another playoff
// hole) is shown and the round goes on (0x723).
void ShowTourneyStandings(int notice, int kind, int delaySeconds);
// The leader board's More: the next page, the first again after the last.
void NextStandingsPage(TGenericControlADV* button);

// Size of the standings dialog for the screen-size index (522 x 333 up to 800 x 600, else 730 x 466).
int32_t TourneyDialogWidth();
int32_t TourneyDialogHeight();

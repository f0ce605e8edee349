// The score card dialog (the card of the round with its nine, scores-or-putts, statistics and exit buttons) and the
// statistics dialog it opens: one golfer's statistics page at a time.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/dialog.h"

// Layouts of the score card: an interactive dialog, a card shown once and left on the screen, and the saved-games
// screen's card beside its list.
constexpr int kCardInteractive = 0, kCardShownOnce = 1, kCardSavedGame = 2;

// What the next card opens with; the card drawer reads them too. Every run opens on strokes and on the nine of
// the current hole; "Stats" and back keeps both.
extern int32_t CardFrontNine;
extern int32_t CardShowsPutts;
extern int32_t CardOriginX, CardOriginY;
// Statistics for every golfer, also those whose flag word hides them.
extern int32_t StatisticsForAll;

class CScoreCardDlg : public CDialogADV {
 public:
  CScoreCardDlg(int frontNine, int showPutts, int statisticsAllowed, int layout);
  ~CScoreCardDlg() override;
  void DrawAll(int flag) override;
  void EraseAll(int flag) override;
  virtual void DrawCardBackground();

  void SetFrontNine(int front);
  // Toggles from `current`; only where the mode keeps putts (not skins, shoot-out, four-ball or foursomes).
  void SetShowPutts(int current);
  void SetStatsButton(int on);
  void RefreshScoresButton();
  void ShowButton(int index, int on);
  void EnableButton(int index, int on);
  static bool PuttsOffered();
  void BuildTitle();

  int layout;
  CDialogTxtBtn* buttons[4] = {};
  std::string titleText;
  int frontNine = 1, showPutts = 0, statisticsAllowed = 0;
  MemHandle cardPicture = 0;
  float scale = 1.0f;
};

// The card for the game modes and the round's menu: erases the current screen's controls and runs the card.
int ShowScoreCardDialog(int layout);
// Layout 0: 3 after "Exit", 0 after Escape (also when it cannot be shown); layout 1: draws it once, 3.
int RunScoreCard(int layout);
void ScoreCardButtonClicked(TGenericControlADV* control);
// The title of a game's card: its course name up to "^"; " " without a game.
std::string CardCourseTitle();

// A golfer has statistics when its flags say so (0x20 set, 0x10 clear) or the program-wide switch is on.
bool GolferHasStatistics(uint32_t flags);

class CStatsDlg : public CDialogADV {
 public:
  explicit CStatsDlg(int statisticsSwitch);
  ~CStatsDlg() override;
  void DrawAll(int flag) override;
  void NextGolfer();
  CDialogTxtBtn* buttons[2] = {};  // "Continue", "Next"
  int golfer = 0;
  int statisticsSwitch = 0;
  float scale = 1.0f;
};

// 0 after "Continue" or Escape.
int ShowStatsDialog();
void StatsButtonClicked(TGenericControlADV* control);

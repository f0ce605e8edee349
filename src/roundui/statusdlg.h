// The status dialogs between holes of match play (four-ball, foursomes), a shoot-out and a skins game: where the
// game stands, until Continue, Escape or (in a network game still undecided) ten seconds; then the round goes on
// (0x723) or, once the game is decided, leaves (0x715).
#pragma once

#include <cstdint>
#include <string>

#include "frontend/tourneydlg.h"

class TMatchPlayGame;
class TSkinsGame;
class TGame;

class CMatchPlayDlg : public CTourneyDlg {
 public:
  explicit CMatchPlayDlg(TMatchPlayGame* game);
  void DrawContents() override;
  TMatchPlayGame* game;
};

class CShootoutDlg : public CTourneyDlg {
 public:
  explicit CShootoutDlg(int winner);
  void DrawContents() override;
  int winner;
};

class CSkinsDlg : public CTourneyDlg {
 public:
  CSkinsDlg();
  void DrawContents() override;
};

enum class StatusKind { kMatchPlay, kShootout, kSkins };

// Each builds its dialog and runs it (RunStatusDialog).
void ShowMatchPlayStatus();
void ShowShootoutStatus(int winner);
void ShowSkinsStatus();
// The shoot-out's winner: the last golfer in play, -1 while more than one is.
int ShootoutWinner();
// Runs a status dialog made for the current game and deletes it. A dialog that could not be made (null) shows
// nothing; the round still goes on or leaves, so that it never waits for a dialog that did not come.
void RunStatusDialog(CTourneyDlg* dialog, StatusKind kind);
// Its Continue button and, in a network game not yet decided, its ten-second time-out.
CDialogTxtBtn* ArmStatusDialog(CTourneyDlg& dialog, StatusKind kind);

// A side's standing: "even", "N-up", nothing when it is down.
std::string MatchStatusWord(int holesUp);
// The summary line under the match table.
std::string MatchSummary(TMatchPlayGame& game);
// "Shoot-Out at %s" and "Skins Game at %s" with the course's name before its "^".
std::string StatusTitle(const char* pattern, const std::string& course);

// The tournament's leader board in the standings dialog: column heads by the page kind (0 a round in progress,
// 1 a round's results, 2 final results), a page of rows of the field, and the game's own golfers' rows again at
// the bottom in the highlight colour.
#pragma once

#include <string>
#include <vector>

class CTourneyDlg;
class TTournamentGame;

struct LeaderRow {
  std::string position;  // "T3" when tied
  std::string name;
  std::string hole;      // holes played in the current round
  std::string summary;   // strokes of each round so far: "72-70-69"
  std::string total;     // "E", "-4", "+2"
  std::string winnings;  // " " for an entrant out of the tournament
  bool highlight = false;  // one of the game's own golfers
  bool missedCut = false;
};

// The row of standings index `index`, or nothing past the standings.
bool LeaderRowAt(TTournamentGame& game, size_t index, LeaderRow* row);
// The standings indexes of the game's own golfers still taking part, by player-list slot.
std::vector<size_t> OwnGolferRows(TTournamentGame& game);

void DrawLeaderBoardPage(CTourneyDlg& dialog);
void DrawLeaderBoard(CTourneyDlg& dialog);

// One line per screen or dialog: its name, how it opens over the main menu, and what it shows.
#include "screens.h"

#include "course/savedfiles.h"
#include "frontend/frontend.h"
#include "frontend/highlights.h"
#include "frontend/options3d.h"
#include "frontend/gamemodes.h"
#include "frontend/lobbydlg.h"
#include "frontend/modemplay.h"
#include "frontend/netclub.h"
#include "frontend/netgames.h"
#include "frontend/netscreens.h"
#include "frontend/savedgames.h"
#include "frontend/scorecard.h"
#include "frontend/settingsdlg.h"
#include "frontend/tourneydlg.h"

namespace {

// The first demo saved game (a round half way) becomes the current game, so that cards and tables have scores.
void WithSavedGame() { LoadSavedGame(1); }

}  // namespace

const std::vector<ShowableScreen>& ShowableScreens() {
  static const std::vector<ShowableScreen> screens = {
      {"mainmenu", [] {}, "the main menu"},
      {"golfers", [] { ShowGolfersScreen(nullptr); }, "the golfer selection screen"},
      {"courses", [] { ShowCoursesScreen(nullptr); }, "the course selection screen"},
      {"scorecard", [] { WithSavedGame(); ShowScoreCardDialog(kCardInteractive); }, "the score card dialog"},
      {"scorecard-back9", [] { WithSavedGame(); CardFrontNine = 0; ShowScoreCardDialog(kCardShownOnce); }, "the card's back nine, shown once"},
      {"stats", [] { WithSavedGame(); ShowStatsDialog(); }, "the statistics dialog"},
      {"standings", [] { LoadSavedGame(2); ShowTourneyStandings(0, 3, 0); }, "the tournament standings of a round"},
      {"standings-final", [] { LoadSavedGame(2); ShowTourneyStandings(0, 2, 0); }, "the final standings"},
      {"savedgames", [] { ShowSavedGamesScreen(nullptr); }, "the saved games screen"},
      {"highlights", [] { ShowHighlightsScreen(nullptr); }, "the highlights screen on the demo's saved shots"},
      {"options3d", [] { Show3dOptionsDialog(); }, "the 3D options dialog"},
      {"gamemodes", [] { ShowGameModesScreen(nullptr); }, "the game modes screen"},
      {"preferences", [] { ShowPreferencesDialog(nullptr); }, "the main menu's Options dialog"},
      {"playersettings", [] { WithSavedGame(); ShowPlayerSettingsDialog(); }, "the golfer's Setup dialog of the round"},
      {"screenlayout", [] { WithSavedGame(); ShowScreenLayoutDialog(); }, "the round's screen layout dialog"},
      {"sound", [] { ShowSoundDialog(); }, "the round's sound options dialog"},
      {"netconnection", [] { ShowNetConnectionScreen(); }, "the net connection screen"},
      {"netconfig", [] { ShowNetConfigScreen(); }, "the net configuration screen (LAN protocol, modem)"},
      {"modem", [] { ShowModemScreen(); }, "the modem play screen with the demo phone book"},
      {"modemhost", [] { ShowModemScreen(); int t = 1, l = 0, c = 0; ShowCreateModemGameDialog(&t, &l, &c); }, "the modem host's game dialog"},
      {"lobby", [] { ShowNetGamesScreen(); }, "the net games lobby (no network: its own room only)"},
      {"newgame", [] { ShowNetGamesScreen(); NewGameChoice c; ShowNewGameDialog(false, &c); }, "the lobby's new game dialog"},
      {"clubhouse", [] { ShowNetHostScreen(); }, "the host's network clubhouse (no network: alone)"},
  };
  return screens;
}

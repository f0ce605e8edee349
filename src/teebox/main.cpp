// The game program: the game object is installed into the start-up's seams, then everything happens in the
// game's main function.
#include "framework/appneighbours.h"
#include "framework/gameapp.h"
#include "golf/game.h"

namespace {

void InstallGame() {
  AppNeighbours& hooks = AppHooks();
  hooks.createGame = [](int mode) { return CreateGame(mode); };
  hooks.deleteGame = [] { DeleteCurrentGame(); };
  hooks.gameExists = [] { return CurrentGame() ? 1 : 0; };
  hooks.roundInProgress = [] { return CurrentGame() && CurrentGame()->roundRunning ? 1 : 0; };
  hooks.gameHandleMessage = [](uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (TGame* game = CurrentGame()) game->HandleMessage(message, wParam, lParam);
  };
  hooks.currentCourseFolder = [] { return CurrentGame() ? CurrentGame()->courseName.c_str() : ""; };
}

}  // namespace

int main(int argc, char** argv) {
  InstallGame();
  return ProgramMain(argc, argv);
}

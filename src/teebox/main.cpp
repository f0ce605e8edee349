// The game program: the game object is installed into the start-up's seams, then everything happens in the
// game's main function.
#include "framework/appneighbours.h"
#include "framework/commqueue.h"
#include "framework/gameapp.h"
#include "golf/game.h"
#include "golf/golfmsg.h"

namespace {

void InstallGame() {
  AppNeighbours& hooks = AppHooks();
  hooks.createGame = [](int mode) {
    // Golf messages go to the queue window, which hands them back to the current game.
    GolfMainWindow = Loop().queueWindow;
    return CreateGame(mode);
  };
  hooks.deleteGame = [] { DeleteCurrentGame(); };
  hooks.gameExists = [] { return CurrentGame() ? 1 : 0; };
  hooks.roundInProgress = [] { return CurrentGame() && CurrentGame()->roundRunning ? 1 : 0; };
  hooks.gameHandleMessage = [](uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (TGame* game = CurrentGame()) game->HandleMessage(message, wParam, lParam);
  };
  // Messages from other machines reach the golf handler as the records it reads.
  CommPeerArguments.make = GolfArgumentFromPeer;
  CommPeerArguments.release = GolfBlockFree;
  hooks.currentCourseFolder = [] { return CurrentGame() ? CurrentGame()->courseName.c_str() : ""; };
}

}  // namespace

int main(int argc, char** argv) {
  InstallGame();
  return ProgramMain(argc, argv);
}

#include "golf/install.h"

#include "framework/services.h"
#include "golf/game.h"
#include "golf/golfmsg.h"

namespace {

class GolfGame : public GameProvider {
 public:
  const char* Name() const override { return "golf"; }
  int CreateGame(int mode) override {
    // Golf messages go to the queue window, which hands them back to the current game.
    GolfMainWindow = Facts().queueWindow;
    return ::CreateGame(mode);
  }
  void DeleteGame() override { DeleteCurrentGame(); }
  bool GameExists() override { return CurrentGame() != nullptr; }
  void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (TGame* game = CurrentGame()) game->HandleMessage(message, wParam, lParam);
  }
  bool RoundInProgress() override { return CurrentGame() && CurrentGame()->roundRunning; }
  const char* CurrentCourseFolder() override { return CurrentGame() ? CurrentGame()->courseName.c_str() : ""; }
  // Messages from other machines reach the golf handler as the records it reads.
  intptr_t PeerArgument(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes, intptr_t) override {
    return GolfArgumentFromPeer(id, sender, body, bytes);
  }
  void ReleasePeerArgument(intptr_t argument) override { GolfBlockFree(reinterpret_cast<void*>(argument)); }
  // The saved game is read and written whole through the framework's file layer.
  int LoadGameFile(PathRecord* root, const char* name) override { return ::LoadGameFile(root, name); }
  int SaveGameState(std::vector<uint8_t>& out) override { return SaveGameBytes(out); }
  int LoadGameState(const uint8_t* data, size_t size) override { return LoadGameBytes(data, size); }
  void EndRoundAndSave(PathRecord* root) override {
    TGame* game = CurrentGame();
    if (game == nullptr || root == nullptr) return;
    game->roundRunning = 0;
    char players[MAX_PATH];
    if (PathJoin(root, "Players", players, sizeof players)) game->players->SaveGolferFiles(players);
    written_ = ::SaveGameFile(root, "LastGame.dat") == 0;
  }
  bool GameFileWritten() override { return written_; }

 private:
  bool written_ = false;
};

GolfGame gGame;

}  // namespace

void InstallGolfServices() { Svc().game = &gGame; }

#include "golf/install.h"

#include <string>

#include "framework/core/paths.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/aigolfer.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/shotfile.h"

namespace {

class GolfGame : public GameProvider {
 public:
  const char* Name() const override { return "golf"; }
  int CreateGame(int mode) override {
    // Golf messages go to the queue window, which hands them back to the current game.
    GolfMainWindow = Facts().queueWindow;
    const int made = ::CreateGame(mode);
    useGolferFolder();
    return made;
  }
  // Golfers' statistics are saved at game over into the installation's golfer folder.
  void SetInstallRoot(const PathRecord& root) override {
    char players[MAX_PATH];
    golferFolder_ = PathJoin(&root, "Players", players, sizeof players) ? players : "";
    useGolferFolder();
  }
  void DeleteGame() override {
    if (TGame* game = CurrentGame())
      if (game->players) game->players->ReleaseAllTables();
    DeleteCurrentGame();
  }
  bool GameExists() override { return CurrentGame() != nullptr; }
  // Only a running round is paused: a round that ended while the game was away must not hold every later
  // message from other machines back.
  bool GamePaused() override {
    const TGame* game = CurrentGame();
    return game && game->paused != 0 && game->roundRunning;
  }
  void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (TGame* game = CurrentGame()) game->HandleMessage(message, wParam, lParam);
  }
  bool RoundInProgress() override { return CurrentGame() && CurrentGame()->roundRunning; }
  void SetRoundPaused(bool paused) override {
    if (TGame* game = CurrentGame()) game->paused = paused ? 1 : 0;
  }
  // The round ends (its hole released, nothing running), the golfers keep their files and the game is written
  // to "LastGame.dat" in the root folder, from where the next start resumes it.
  void EndRoundAndSave(PathRecord* root) override {
    TGame* game = CurrentGame();
    if (!game || !root) return;
    game->ReleaseHole();
    game->roundRunning = 0;
    game->paused = 0;
    char players[MAX_PATH];
    if (game->players && PathJoin(root, "Players", players, sizeof players)) game->players->SaveGolferFiles(players);
    game->gameFileWritten = ::SaveGameFile(root, "LastGame.dat") == 0 ? 1 : 0;
    if (!game->gameFileWritten) WriteLogLine("Could not write LastGame.dat");
  }
  bool GameFileWritten() override { return CurrentGame() && CurrentGame()->gameFileWritten; }
  int LoadGameFile(PathRecord* root, const char* name) override {
    if (!root || !name) return 7;  // file was not found
    const int result = ::LoadGameFile(root, name);
    if (result == 0) GolfMainWindow = Facts().queueWindow;
    useGolferFolder();
    return result;
  }
  void SetDefaultCourse() override {
    if (TGame* game = CurrentGame()) game->SetDefaultCourse();
  }
  std::string SaveShot(const std::string& comment) override { return ::SaveShot(comment); }
  int PlayHighlightShot(const std::string& fileName) override {
    const int result = ::PlayHighlightShot(fileName);
    if (result == 0 || CurrentGame()) GolfMainWindow = Facts().queueWindow;
    return result;
  }
  const char* CurrentCourseFolder() override { return CurrentGame() ? CurrentGame()->courseName.c_str() : ""; }
  // Messages from other machines reach the golf handler as the records it reads.
  intptr_t PeerArgument(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes, intptr_t) override {
    return GolfArgumentFromPeer(id, sender, body, bytes);
  }
  void ReleasePeerArgument(intptr_t argument) override { GolfBlockFree(reinterpret_cast<void*>(argument)); }
  static_assert(kPeerArgumentRefused == kPeerRefused);
  // The saved-game files of the course layer hold the game's state as bytes.
  int SaveGameState(std::vector<uint8_t>& out) override { return SaveGameBytes(out); }
  int LoadGameState(const uint8_t* data, size_t size) override {
    const int result = LoadGameBytes(data, size);
    if (result == 0) GolfMainWindow = Facts().queueWindow;
    return result;
  }
  void FreeComputerGolferTables() override { ComputerGolferFreeTables(); }

 private:
  void useGolferFolder() {
    if (TGame* game = CurrentGame()) game->golferFolder = golferFolder_;
  }
  std::string golferFolder_;
};

GolfGame gGame;

}  // namespace

void InstallGolfServices() { Svc().game = &gGame; }

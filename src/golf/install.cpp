#include "golf/install.h"

#include <cstdio>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "framework/registry.h"
#include "framework/services.h"
#include "golf/aigolfer.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/serialize.h"
#include "platformlib/capture.h"
#include "winapi_files.h"

namespace {

// The host file of a name in a folder record (golf's files are host files); empty when the folder's drive is
// not there.
std::string HostPath(const PathRecord* folder, const char* name) {
  char windowsPath[MAX_PATH];
  char host[4096];
  if (!PathJoin(folder, name, windowsPath, sizeof windowsPath)) return {};
  DWORD error = 0;
  if (!winapi::internal::MapPathToHost(windowsPath, host, sizeof host, &error)) return {};
  return host;
}

// Writes the game whole through the library's file save (the file appears whole or not at all).
bool WriteGameFile(const TGame& game, const PathRecord* folder, const char* name) {
  char path[MAX_PATH];
  if (!PathJoin(folder, name, path, sizeof path)) return false;
  for (size_t size = 64 << 10; size <= (8u << 20); size *= 2) {
    std::vector<uint8_t> bytes(size);
    golf_svc::SerialStream stream = golf_svc::SerialStream::OverMemory(bytes.data(), bytes.size());
    if (!game.SaveToStream(&stream)) continue;  // too small for this game
    const auto used = static_cast<int32_t>(stream.cursor - bytes.data());
    return trysavefileadr(path, bytes.data(), used) == used;
  }
  return false;
}

class GolfGame : public GameProvider {
 public:
  const char* Name() const override { return "golf"; }
  int CreateGame(int mode) override {
    // Golf messages go to the queue window, which hands them back to the current game.
    GolfMainWindow = Facts().queueWindow;
    return ::CreateGame(mode);
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
    PathRecord players = *root;
    if (game->players && PathAppend(&players, "Players") == 0) {
      const std::string folder = HostPath(&players, nullptr);
      if (!folder.empty()) game->players->SaveGolferFiles(folder);
    }
    game->gameFileWritten = WriteGameFile(*game, root, "LastGame.dat") ? 1 : 0;
    if (!game->gameFileWritten) WriteLogLine("Could not write LastGame.dat");
  }
  bool GameFileWritten() override { return CurrentGame() && CurrentGame()->gameFileWritten; }
  int LoadGameFile(PathRecord* root, const char* name) override {
    const std::string path = root && name ? HostPath(root, name) : std::string();
    std::FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) return 7;  // file was not found
    golf_svc::SerialStream stream = golf_svc::SerialStream::OverFile(f);
    const int result = LoadGameFromStream(&stream);
    std::fclose(f);
    if (result == 0) GolfMainWindow = Facts().queueWindow;
    return result;
  }
  const char* CurrentCourseFolder() override { return CurrentGame() ? CurrentGame()->courseName.c_str() : ""; }
  // Messages from other machines reach the golf handler as the records it reads.
  intptr_t PeerArgument(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes, intptr_t) override {
    return GolfArgumentFromPeer(id, sender, body, bytes);
  }
  void ReleasePeerArgument(intptr_t argument) override { GolfBlockFree(reinterpret_cast<void*>(argument)); }
  void FreeComputerGolferTables() override { ComputerGolferFreeTables(); }
};

GolfGame gGame;

}  // namespace

void InstallGolfServices() { Svc().game = &gGame; }

#include "online/install.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "golf/game.h"
#include "golf/modes.h"
#include "framework/core/registry.h"
#include "net/install.h"
#include "online/tourneycomm.h"
#include "platformlib/core/byteorder.h"

namespace online {
namespace {

// A leader-board entry as the server sends it (the 48 bytes the client copies): name, highlight, strokes,
// holes played, status, shots.
CINetTournamentGame::LeaderEntry ReadEntry(const uint8_t e[48], const CINetTournamentGame& game) {
  CINetTournamentGame::LeaderEntry out;
  out.name.assign(reinterpret_cast<const char*>(e), strnlen(reinterpret_cast<const char*>(e), 16));
  out.highlight = static_cast<int>(ReadLE32(e + 16));
  const int strokes = static_cast<int>(ReadLE32(e + 20));
  out.holes = static_cast<int>(std::min<uint32_t>(ReadLE32(e + 24), 18));
  out.summary = strokes;
  int par = 0;
  for (int h = 0; h < out.holes; ++h) par += Svc().catalogue->HolePar(game.state.firstHole + h);
  out.toPar = strokes - par;
  return out;
}

class OnlineServices : public net::NetworkServices {
 public:
  const char* Name() const override { return "net and online"; }

  // This machine's golfer posts the card of its group once the hole is over, then its status, and reads the
  // leader board back into the game.
  void ReportTournamentHole(const std::string& golfer, int round, int, int) override {
    auto* game = dynamic_cast<CINetTournamentGame*>(CurrentGame());
    TPlayer* local = game ? LocalGolfer(*game) : nullptr;
    if (!Online() || !local || golfer != local->name || !comm_.Open()) return;
    uint32_t holes[18] = {};
    const int played = Scores(*local, round, holes);
    comm_.BeginScoreCard(local->name, holes, static_cast<uint32_t>(round + 1));
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      TPlayer* p = game->players->GetPlayer(s);
      if (!p || !(p->flags & kGolferTakesPart)) continue;
      uint32_t scores[18] = {};
      Scores(*p, round, scores);
      comm_.AddScoreCardPlayer(p->name, scores, p->machineId);
    }
    if (!comm_.PostScoreCard()) WriteLogLine("The score server did not take the score card");
    char status[24];  // the record keeps 16
    if (played >= game->state.holeCount) std::snprintf(status, sizeof status, "Finished");
    else std::snprintf(status, sizeof status, "Thru %d", played);
    comm_.PostPlayerStatus(status, static_cast<uint32_t>(played));
    if (!comm_.FetchLeaderBoard()) return;
    std::vector<CINetTournamentGame::LeaderEntry> board;
    for (uint32_t i = 0; i < comm_.GetLeaderBoardCount(); ++i) {
      uint8_t e[48];
      comm_.GetLeaderBoardEntry(i, e);
      board.push_back(ReadEntry(e, *game));
      CINetTournamentGame::LeaderEntry& b = board.back();
      const bool tie = i > 0 && board[i - 1].summary == b.summary && board[i - 1].holes == b.holes;
      b.position = tie ? board[i - 1].position : static_cast<int>(i) + 1;
      b.tied = tie;
      if (tie) board[i - 1].tied = true;
    }
    game->SetLeaderBoard(std::move(board));
  }

  void ReportTournamentShot(const std::string& golfer, int hole, int stroke, const void* data, size_t bytes) override {
    if (!Online() || !comm_.Open() || bytes > kShotDataLimit) return;
    comm_.PostPlayerShot(data, static_cast<uint32_t>(bytes), static_cast<uint32_t>(hole + 1),
                         static_cast<uint32_t>(stroke), golfer.c_str());
  }

  void PostStatsLine(const std::string& line) override {
    if (Online() && comm_.Open()) comm_.PostStatsLine(line.c_str());
  }

 private:
  bool Online() { return CommType() == 0; }
  TPlayer* LocalGolfer(const TGame& game) {
    const uint32_t id = LocalMachineId();
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      TPlayer* p = game.players->GetPlayer(s);
      if (p && (p->flags & kGolferTakesPart) && p->machineId == id) return p;
    }
    return nullptr;
  }
  // The golfer's strokes of the round's 18 holes; the number of holes played.
  static int Scores(TPlayer& p, int round, uint32_t out[18]) {
    int played = 0;
    for (int h = 0; h < 18; ++h) {
      uint32_t strokes = 0;
      p.GetHoleScore(round, h, &strokes, nullptr);
      out[h] = strokes & ~kScoreMarker;
      if (out[h]) ++played;
    }
    return played;
  }

  CTourneyComm comm_;
};

}  // namespace
}  // namespace online

void InstallOnlineServices() {
  static online::OnlineServices services;
  Svc().network = &services;
}

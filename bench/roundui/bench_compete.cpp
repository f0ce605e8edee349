// The drawing of rounds against others on an 800 x 600 screen in the demo installation's fonts: a leader board
// page of the whole field (39 entrants) in the final results, and the chat box's history redrawn with a line
// that wraps.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/tourneydlg.h"
#include "golf/modes.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/chatbox.h"
#include "roundui/gameui.h"
#include "roundui/leaderboard.h"
#include "support/demo_installation.h"
#include "winapi/testing.h"

namespace {

constexpr int kW = 800, kH = 600;

// The screen, once for the program.
bool OpenScreen() {
  static const bool open = [] {
    const std::string& demo = DemoInstallation("teebox_bench_compete", 1);
    if (demo.empty() || demo[0] == '!') return false;
    winapi::testing::MapDrive('C', demo);
    if (!memstarted()) initmem();
    gfxresetdisplay();
    rowspacesize = 65536;
    initrow();
    Facts().screenWidth = kW;
    Facts().screenHeight = kH;
    Facts().sizeSetting = 2;
    Facts().fontFolder = "C:\\DATA\\FONTS";
    WindowDesc* display = createwindowadra(kW, kH, 16, 1);
    if (!display) return false;
    DisplayWindow = *display;
    return DisplayManagerInit(MARect{0, 0, kW, kH}, 16) == 1;
  }();
  return open;
}

void BM_LeaderBoardPage(benchmark::State& state) {
  if (!OpenScreen() || CreateGame(kModeTournament) != 1) {
    state.SkipWithError("no screen or game");
    return;
  }
  auto* t = dynamic_cast<TTournamentGame*>(CurrentGame());
  t->state.lead = 4;
  t->state.holeCount = 18;
  t->state.round = 2;
  for (int slot = 0; slot < 4; ++slot) {
    TPlayer* p = t->players->GetPlayer(slot);
    p->flags |= kGolferTakesPart | kGolferFlag5;
    std::snprintf(p->name, sizeof p->name, "Golfer %c", static_cast<char>('1' + slot));
    for (int r = 0; r < 3; ++r)
      for (int h = 0; h < 18; ++h) p->SetHoleScore(r, h, static_cast<uint32_t>(3 + (h + slot + r) % 3), 0);
  }
  for (int e = 0; e < TTournamentGame::kEntrants; ++e) t->present[e] = true;
  for (int e = 0; e < TTournamentGame::kFieldComputers; ++e)
    for (int r = 0; r < 3; ++r)
      for (int h = 0; h < 18; ++h) t->fieldScores[e][r][h] = static_cast<uint8_t>(3 + (e * 7 + h + r) % 3);
  t->ComputeStandings();
  CTourneyDlg d(0, 2);
  for (auto _ : state) {
    DrawLeaderBoardPage(d);
    DrawLeaderBoard(d);
  }
  state.counters["rows"] = d.rowCount;
  DeleteCurrentGame();
}
BENCHMARK(BM_LeaderBoardPage)->Unit(benchmark::kMicrosecond);

void BM_ChatHistoryRedraw(benchmark::State& state) {
  if (!OpenScreen() || FontLoadStandardSet(Facts().fontFolder) != 0) {
    state.SkipWithError("no screen or fonts");
    return;
  }
  GameUIManager().chatAllowed = 1;
  TGameChat chat;
  chat.AddLine("GOLFER: nice drive");
  chat.AddLine("GOLFER: the wind is picking up from the left, aim a little right of the flag on this one");
  chat.AddLine("GOLFER: thanks");
  for (auto _ : state) chat.Draw(0);
  state.counters["rows"] = chat.WrappedRows();
  GameUIManager().chatAllowed = 0;
}
BENCHMARK(BM_ChatHistoryRedraw)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// The shot set-up at 800 x 600 in the demo installation's art: a redraw of the whole set-up (the group with every
// button, the hole, lie, distance and wind panels), one animation pass of a held shape button (the meter's curve
// set, the arc recomputed and drawn), a frame's pass of the round with nothing changed, and the redraw of the shot
// controls, the club bar and a driver's arc.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/gameapp.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/player.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/gameui.h"
#include "roundui/input.h"
#include "roundui/roundturn.h"
#include "roundui/shotbuttons.h"
#include "roundui/shotui.h"
#include "roundui/targeting.h"
#include "roundui/uishapes.h"
#include "support/demo_installation.h"
#include "support/ground.h"
#include "winapi/testing.h"

namespace {

constexpr int kW = 800, kH = 600;
WindowDesc* gDisplay = nullptr;

// A stroke-play shot of one person with the interface built and open; false when the demo could not be made.
bool OpenSetUp() {
  const std::string& demo = DemoInstallation("teebox_bench_setup", 1);
  if (demo.empty() || demo[0] == '!') return false;
  winapi::testing::Reset();
  winapi::testing::UseVirtualClock(true, 10000);
  winapi::testing::SetVirtualWaitGrace(0);
  winapi::testing::MapDrive('C', demo);
  if (!memstarted()) initmem();
  gfxresetdisplay();
  rowspacesize = 65536;
  initrow();
  ResetServices();
  Facts().screenWidth = kW;
  Facts().screenHeight = kH;
  Facts().sizeSetting = 1;
  Facts().fontFolder = "C:\\DATA\\FONTS";
  InputReset();
  gDisplay = createwindowadra(kW, kH, 16, 1);
  if (!gDisplay) return false;
  DisplayWindow = *gDisplay;
  setwindow(&DisplayWindow);
  if (DisplayManagerInit(MARect{0, 0, kW, kH}, 16) != 1) return false;
  std::snprintf(Folders().ui800.drive, sizeof Folders().ui800.drive, "c:");
  PathSetDirectory(&Folders().ui800, "|DATA|UI800");
  balltest::makeGround(60, 300, 0x10);
  if (CreateGame(kModeStroke) != 1) return false;
  TGame* g = CurrentGame();
  g->roundRunning = 1;
  g->SetOptionField(0, 1);
  g->SetupWind();
  TPlayer* p = g->players->GetPlayer(0);
  p->flags |= kGolferTakesPart | kGolferFlag5;
  PlaceBallAt(p, Vector3{0.0f, -100.0f, 0.0f});
  BuildGameUI();
  if (!GameUIBuilt()) return false;
  ShowGolferToPlay();
  BeginPersonShot();
  return true;
}

bool OpenSetUp(benchmark::State& state) {
  if (OpenSetUp()) return true;
  state.SkipWithError("the demo installation could not be made");
  return false;
}

void CloseSetUp() {
  DestroyGameUI();
  FreeGameUIShapes();
  DeleteCurrentGame();
  DisplayManagerClose();
  // The display comes from the memory pool, which each run of a benchmark would otherwise use up.
  releasewindow();
  DisplayWindow = WindowDesc{};
  removewindow(gDisplay);
  gDisplay = nullptr;
  RemoveDemoInstallation();
}

void BM_RedrawWholeSetUp(benchmark::State& state) {
  if (!OpenSetUp(state)) return;
  TMA_EventHandlerList* list = CurrentHandlerList();
  for (auto _ : state) list->DrawAll(0);
  CloseSetUp();
}
BENCHMARK(BM_RedrawWholeSetUp)->Unit(benchmark::kMicrosecond);

// The virtual clock moves a millisecond for each pass that waits, so every pass of the animation is measured.
void BM_HeldShapeButtonPass(benchmark::State& state) {
  if (!OpenSetUp(state)) return;
  int64_t passes = 0;
  bool out = true;
  for (auto _ : state) {
    passes += SetCurveAnimated(out ? 25.0f : 0.0f);
    out = !out;
  }
  // items_per_second: passes a second of work.
  state.SetItemsProcessed(passes);
  CloseSetUp();
}
BENCHMARK(BM_HeldShapeButtonPass)->Unit(benchmark::kMillisecond);

// The round's idle pass and frame, as the message loop runs them while the person looks at the shot: nothing
// moves (the clock stands), so nothing is drawn.
void BM_IdleFrameNothingChanged(benchmark::State& state) {
  if (!OpenSetUp(state)) return;
  InRoundOnIdle();
  PresentRoundFrame();
  for (auto _ : state) {
    InRoundOnIdle();
    benchmark::DoNotOptimize(PresentRoundFrame());
  }
  CloseSetUp();
}
BENCHMARK(BM_IdleFrameNothingChanged)->Unit(benchmark::kMicrosecond);

// The shot controls (panel, club bar, meter, buttons) and a driver's arc drawn again, as after the view changed
// under them.
void BM_RedrawShotControlsClubBarAndDriversArc(benchmark::State& state) {
  if (!OpenSetUp(state)) return;
  CurrentGame()->players->GetPlayer(0)->SetClub(0);  // the driver
  TargetingArcEventHandler* arc = CurrentTargetingHandler;
  TShotUIManager* controls = InRound().shotUI;
  if (!arc || !controls) {
    state.SkipWithError("no arc or shot controls");
    return;
  }
  arc->FollowShot();
  UpdateTargeting(arc, 0, 0, 0, 0);
  for (auto _ : state) {
    controls->Draw(0);
    arc->Draw(0);
  }
  state.counters["arc_segments"] = static_cast<double>(arc->segments.size());
  CloseSetUp();
}
BENCHMARK(BM_RedrawShotControlsClubBarAndDriversArc)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

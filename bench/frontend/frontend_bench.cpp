// The front end's measures: decoding an 800 x 600 ".dct" background and copying it to the screen buffer, and
// redrawing the golfer selection screen.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "course/catalogue.h"
#include "course/install.h"
#include "demo.h"
#include "framework/ui/displaymgr.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/install.h"
#include "frontend/screens.h"
#include "golf/game.h"
#include "golf/install.h"
#include "movieenc.h"
#include "platformlib/core/memclass.h"
#include "platformlib/movie/movie.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "winapi/testing.h"

namespace {

constexpr int kW = 800, kH = 600;

WindowDesc* Screen() {
  static WindowDesc* w = [] {
    if (!memstarted()) initmem();
    rowspacesize = 65536;
    initrow();
    return createwindowadra(kW, kH, 16, 1);
  }();
  return w;
}

void BM_DctDecodeAndCopy800x600(benchmark::State& state) {
  std::vector<uint8_t> rgb(static_cast<size_t>(kW) * kH * 3);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * kW + x) * 3];
      p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x / 40.0));
      p[1] = static_cast<uint8_t>(y * 255 / kH);
      p[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
    }
  const std::vector<uint8_t> file = movietools::encodedct(rgb.data(), kW, kH, 12);
  WindowDesc* screen = Screen();
  std::vector<uint32_t> rows(static_cast<size_t>(kW / 2) * kH);
  for (auto _ : state) {
    DctPicture picture;
    if (!DecodeDctPicture(file.data(), file.size(), picture)) {
      state.SkipWithError("picture refused");
      break;
    }
    for (int r = 0; r < kH; ++r)
      std::memcpy(&rows[static_cast<size_t>(r) * (kW / 2)], &picture.pairs[static_cast<size_t>(r) * picture.stride], kW * 2);
    setwindow(screen);
    setvideoframe(rows.data());
    blitvideoframe(0, 0, kW, kH, 0);
    setvideoframe(nullptr);
    releasewindow();
    benchmark::DoNotOptimize(screen->pixels[0]);
  }
}
BENCHMARK(BM_DctDecodeAndCopy800x600)->Unit(benchmark::kMillisecond);

void BM_GolfersScreenRedraw(benchmark::State& state) {
  char pattern[] = "/tmp/teebox_frontend_bench_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  mkdemo::DemoOptions options;
  options.holes = 1;
  std::string error;
  if (!mkdemo::MakeDemoInstallation(folder, options, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  winapi::testing::MapDrive('C', folder);
  WindowDesc* screen = Screen();
  DisplayWindow = *screen;
  InstallCourseServices();
  InstallGolfServices();
  InstallFrontEndServices();
  Facts().screenWidth = kW;
  Facts().screenHeight = kH;
  Facts().fontFolder = "C:\\DATA\\FONTS";
  DataFolders& f = Folders();
  PathSetDirectory(&f.root, "\\");
  std::strcpy(f.root.drive, "c:");
  f.menus = f.players = f.root;
  PathAppend(&f.menus, "DATA");
  PathAppend(&f.menus, "MENUS");
  PathAppend(&f.players, "Players");
  SetCourseListRoots("C:\\", "");
  CreateCourseList();
  BuildCourseList();
  DisplayManagerInit(MARect{0, 0, kW, kH}, 16);
  Svc().game->CreateGame(kModeStroke);
  ShowGolfersScreen(nullptr);
  for (auto _ : state) {
    GolfersScreen->DrawAll(0);
    ClearDirtyRects();
  }
  Svc().frontEnd->DeleteCurrentScreen();
  DeleteCurrentGame();
  FreeCourseList();
  DisplayManagerClose();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_GolfersScreenRedraw)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

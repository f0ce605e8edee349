// The front end's measures: decoding an 800 x 600 ".dct" background and copying it to the screen buffer, and
// redrawing the golfer selection screen, the clubs dialog and the golfer editor.
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
#include "frontend/clubs.h"
#include "frontend/frontend.h"
#include "frontend/golfereditor.h"
#include "frontend/install.h"
#include "frontend/netgames.h"
#include "net/sessmgr.h"
#include "frontend/screens.h"
#include "golf/game.h"
#include "golf/install.h"
#include "movieenc.h"
#include "platformlib/core/memclass.h"
#include "platformlib/movie/movie.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"
#include "winapi/testing.h"
#include "winapi_registry.h"

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

// The demo installation in a temporary folder, the providers and an 800 x 600 display manager on it.
class DemoFrontEnd {
 public:
  DemoFrontEnd() {
    char pattern[] = "/tmp/teebox_frontend_bench_XXXXXX";
    folder_ = mkdtemp(pattern);
    mkdemo::DemoOptions options;
    options.holes = 1;
    if (!mkdemo::MakeDemoInstallation(folder_, options, error)) return;
    winapi::testing::MapDrive('C', folder_);
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
    f.menus = f.players = f.ui640 = f.ui800 = f.ui1024 = f.root;
    PathAppend(&f.menus, "DATA");
    PathAppend(&f.ui800, "DATA");
    PathAppend(&f.ui800, "UI800");
    f.ui640 = f.ui1024 = f.ui800;
    PathAppend(&f.menus, "MENUS");
    PathAppend(&f.players, "Players");
    SetCourseListRoots("C:\\", "");
    CreateCourseList();
    BuildCourseList();
    DisplayManagerInit(MARect{0, 0, kW, kH}, 16);
    Svc().game->CreateGame(kModeStroke);
  }
  ~DemoFrontEnd() {
    Svc().frontEnd->DeleteCurrentScreen();
    DeleteCurrentGame();
    FreeCourseList();
    DisplayManagerClose();
    std::filesystem::remove_all(folder_);
  }
  std::string error;

 private:
  std::string folder_;
};

void BM_GolfersScreenRedraw(benchmark::State& state) {
  DemoFrontEnd demo;
  if (!demo.error.empty()) {
    state.SkipWithError(demo.error.c_str());
    return;
  }
  ShowGolfersScreen(nullptr);
  for (auto _ : state) {
    GolfersScreen->DrawAll(0);
    ClearDirtyRects();
  }
}
BENCHMARK(BM_GolfersScreenRedraw)->Unit(benchmark::kMillisecond);

void BM_ClubsDialogDraw(benchmark::State& state) {
  DemoFrontEnd demo;
  if (!demo.error.empty()) {
    state.SkipWithError(demo.error.c_str());
    return;
  }
  ShowMainMenu();
  playerInfo_s golfer;
  golfer.bag = (1u << 14) - 1;
  {
    TClubsDialogADV dialog(golfer);
    for (auto _ : state) {
      dialog.DrawAll(0);
      ClearDirtyRects();
    }
  }
}
BENCHMARK(BM_ClubsDialogDraw)->Unit(benchmark::kMillisecond);

void BM_GolferEditorDraw(benchmark::State& state) {
  DemoFrontEnd demo;
  if (!demo.error.empty()) {
    state.SkipWithError(demo.error.c_str());
    return;
  }
  ShowGolfersScreen(nullptr);
  ShowGolferEditor("Ada Lark", 0);
  for (auto _ : state) {
    GolferEditor->DrawAll(0);
    ClearDirtyRects();
  }
  TGolferEditADV::OnCancel(nullptr);
}
BENCHMARK(BM_GolferEditorDraw)->Unit(benchmark::kMillisecond);

// A lobby's session list without a connection behind it.
class ListedSessions : public net::CSessMgr {
 public:
  ListedSessions() : net::CSessMgr(nullptr) {}
  int Start() override { return 1; }
  int Shutdown() override { return 1; }
  void AnnouncePlayer(const net::SessionPlayerRecord&) override {}
  void SetLocalPlayer(const net::SessionPlayerRecord&) override {}
  void CreateSession(net::SessionEntry*) override {}
  void CloseSession() override {}
  void AddSessionPlayer(const net::GolferEntry&) override {}
  void RemoveSessionPlayer(const net::GolferEntry&) override {}
  void SendChat(const char*) override {}
  void RefreshSessions() override {}
};

// The lobby's games list rebuilt from 300 sessions (games, tournaments and their groups, every line fitted to its
// width) and the whole screen drawn with 100 players listed.
void BM_LobbyRedraw300Sessions100Players(benchmark::State& state) {
  DemoFrontEnd demo;
  if (!demo.error.empty()) {
    state.SkipWithError(demo.error.c_str());
    return;
  }
  ListedSessions sessions;
  for (uint32_t i = 0; i < 300; ++i) {
    net::SessionEntry e;
    const bool tournament = i % 30 == 0, group = i % 30 > 0 && i % 30 < 4;
    e.setId(tournament ? 0 : 1000 + i);
    e.setOwner(tournament ? 5000 + i : group ? 5000 + i - i % 30 : 0);
    std::snprintf(e.name(), 32, "%s %u of the long afternoon", tournament ? "Cup" : "Round", i);
    e.bytes[0x2c] = static_cast<uint8_t>(i % 17);
    e.bytes[0x2e] = static_cast<uint8_t>(i % 4);
    WriteLE32(e.bytes + 0x30, (i % 12) * 5);
    sessions.sessions.Add(e);
  }
  const std::string registry = (std::filesystem::temp_directory_path() / "lobby_bench_registry.txt").string();
  winapi::registry::UseFile(registry);
  net::SessionManager = &sessions;
  EnterNetGames(0);
  for (int i = 0; i < 100; ++i) NetGamesScreen->players->Add("Golfer " + std::to_string(i) + " (" + std::to_string(i % 26) + ")", i);
  for (auto _ : state) {
    NetGamesScreen->RebuildGamesList();
    NetGamesScreen->DrawAll(0);
    ClearDirtyRects();
  }
  state.counters["rows"] = NetGamesScreen->games->Size();
  CloseStatusDialog();
  ReplaceCurrentScreen(nullptr);
  net::SessionManager = nullptr;
  winapi::registry::UseFile("");
  std::filesystem::remove(registry);
}
BENCHMARK(BM_LobbyRedraw300Sessions100Players)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

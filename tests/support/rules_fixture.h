// A main window that hands golf and timer messages to the current game, a pump, recorders for what the game
// asks of the interface and the network, and small holes written by the hole writer.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

#include "course/holedata.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "golf_fakes.h"
#include "holewriter.h"
#include "winapi/testing.h"
#include "windows.h"

namespace rules {

struct Sent {
  int machine;
  uint32_t id;
  uint32_t argument;
};

inline std::vector<uint32_t>& Dispatched() {
  static std::vector<uint32_t> ids;
  return ids;
}

inline LRESULT GolfWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kGolfWindowMessage || message == WM_TIMER) {
    if (message == kGolfWindowMessage) Dispatched().push_back(static_cast<uint32_t>(wParam));
    if (TGame* g = CurrentGame()) g->HandleMessage(message, wParam, lParam);
    else if (message == kGolfWindowMessage && lParam) GolfBlockFree(reinterpret_cast<void*>(lParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class RulesTest : public ::testing::Test {
 protected:
  std::vector<Sent> sent;
  std::vector<std::pair<std::string, uint32_t>> messages;
  std::vector<int> scoreCards;
  std::vector<uint32_t> dropped;
  int shootoutStatus = 0, matchStatus = 0, skinsStatus = 0, frontEnd = 0, personShots = 0, commClosed = 0;
  std::filesystem::path dir;
  GolfFakes fakes;

  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true, 0);
    winapi::testing::TakeDebugOutput();
    WNDCLASSA cls{};
    cls.lpfnWndProc = GolfWindowProc;
    cls.lpszClassName = "GolfRulesMain";
    RegisterClassA(&cls);
    GolfMainWindow = CreateWindowExA(0, "GolfRulesMain", "golf", 0, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr);
    Dispatched().clear();
    ResetGolfHandler();
    GolfHandshake = HandshakeSettings{};
    Svc().scene->SeedRandom15(1234);
    GolfFakes& s = fakes;
    InstallServices(fakes.Installed());
    s.send = [this](int m, uint32_t id, uint32_t a) { sent.push_back({m, id, a}); };
    s.showMessage = [this](const std::string& t, uint32_t ms) { messages.emplace_back(t, ms); };
    s.showScoreCard = [this](int f) { scoreCards.push_back(f); };
    s.showShootoutStatus = [this] { ++shootoutStatus; };
    s.showMatchPlayStatus = [this] { ++matchStatus; };
    s.showSkinsStatus = [this] { ++skinsStatus; };
    s.returnToFrontEnd = [this] { ++frontEnd; };
    s.personShot = [this] { ++personShots; };
    s.dropPeer = [this](uint32_t m) { dropped.push_back(m); };
    s.closeComm = [this] { ++commClosed; };
    s.localMachineId = [] { return 1u; };
    s.holePar = [](int) { return 4; };
    dir = std::filesystem::temp_directory_path() /
          ("golf_rules_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    // The game names hole files by Windows paths: drive T is this test's folder.
    winapi::testing::MapDrive('T', dir.string());
  }

  void TearDown() override {
    Pump();
    DeleteCurrentGame();
    ResetGolfHandler();
    ResetServices();
    DestroyWindow(GolfMainWindow);
    GolfMainWindow = nullptr;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == kGolfWindowMessage && m.lParam) GolfBlockFree(reinterpret_cast<void*>(m.lParam));
    }
    // Every block handed to the game was given back.
    EXPECT_EQ(GolfBlocksLive(), 0u);
    winapi::testing::Reset();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Dispatches queued messages until none is left (at most `limit`).
  int Pump(int limit = 100000) {
    MSG m;
    int n = 0;
    while (n < limit && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&m);
      ++n;
    }
    return n;
  }

  // Advances the virtual clock and handles what fell due.
  void Advance(uint32_t ms) {
    winapi::testing::AdvanceClock(ms);
    Pump();
  }

  // A demonstration hole of the given size written for every hole of the round.
  void UseHole(uint32_t width, uint32_t depth, uint32_t seed = 7) {
    const holewriter::HoleDescription h = holewriter::DemoHole(width, depth, seed);
    const std::string base = (dir / "HOLE01").string();
    ASSERT_TRUE(holewriter::WriteHole(h, base));
    fakes.holeFile = [](int, int) { return std::string("T:\\HOLE01.hnf"); };
  }

  // A game of the mode with golfers in the given slots (computer golfers where asked), all clubs in the bag.
  TGame* MakeGame(int mode, int golfers, bool computers = false) {
    EXPECT_EQ(CreateGame(mode), 1);
    TGame* g = CurrentGame();
    for (int s = 0; s < golfers; ++s) {
      if (computers) g->players->SetComputer(s, true);
      TPlayer* p = g->players->GetPlayer(s);
      p->flags |= kGolferTakesPart;
      p->bag = 0x1FFFFF;
      const std::string name = "Golfer " + std::to_string(s + 1);
      std::strncpy(p->name, name.c_str(), sizeof p->name - 1);
    }
    return g;
  }

  // The game's golfers stand for people, as golfers the players chose do in the program; the computer may still
  // play them for the test.
  static void PeoplePlay(TGame* g, int golfers) {
    for (int s = 0; s < golfers; ++s) g->players->GetPlayer(s)->flags |= kGolferFlag5;
  }

  static uint32_t Strokes(TGame* g, int slot, int round, int hole) {
    uint32_t strokes = 0;
    g->players->GetPlayer(slot)->GetHoleScore(round, hole, &strokes, nullptr);
    return strokes;
  }

  static void SetStrokes(TGame* g, int slot, uint32_t strokes, bool holed) {
    TPlayer* p = g->players->GetPlayer(slot);
    p->SetHoleScore(g->state.round, g->state.hole, strokes, 0);
    p->holedOut = holed ? 1 : 0;
  }

  std::vector<uint32_t> TakeDispatched() { return std::exchange(Dispatched(), {}); }
};

}  // namespace rules

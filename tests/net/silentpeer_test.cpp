// A joined machine that goes silent mid-round: the host's round, on the real network provider and a real peer
// object, re-sends its step to the silent machine on the virtual clock and, at the handshake's retry limit,
// drops it: the connection is closed and the golfer leaves the round.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/install.h"
#include "group_fixture.h"
#include "net/commlayer.h"
#include "net/install.h"
#include "winapi/testing.h"

namespace nettest {
namespace {

class RecordingRound : public RoundInterfaceProvider {
 public:
  const char* Name() const override { return "recording round"; }
  void ShowMessage(const std::string& text, uint32_t) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

LRESULT CALLBACK GameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kGolfWindowMessage || message == WM_TIMER) {
    if (TGame* g = CurrentGame()) g->HandleMessage(message, wParam, lParam);
    else if (message == kGolfWindowMessage && lParam) GolfBlockFree(reinterpret_cast<void*>(lParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Real-time wait that leaves the virtual clock alone (Sleep would move it).
bool WaitReal(const std::function<bool()>& done) {
  for (int i = 0; i < 5000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

class SilentPeerTest : public GroupTest {
 protected:
  void SetUp() override {
    GroupTest::SetUp();
    WNDCLASSA cls{};
    cls.lpfnWndProc = GameWindowProc;
    cls.lpszClassName = "SilentPeerGame";
    RegisterClassA(&cls);
    GolfMainWindow = CreateWindowExA(0, "SilentPeerGame", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(GolfMainWindow, nullptr);
    Facts().queueWindow = GolfMainWindow;  // where the game provider puts the round's messages
  }
  void TearDown() override {
    Pump();
    DeleteCurrentGame();
    ResetGolfHandler();
    net::RoundComm = nullptr;
    ResetServices();
    DestroyWindow(GolfMainWindow);
    GolfMainWindow = nullptr;
    Facts().queueWindow = nullptr;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
      if (m.message == kGolfWindowMessage && m.lParam) GolfBlockFree(reinterpret_cast<void*>(m.lParam));
    winapi::testing::UseVirtualClock(false);
    GroupTest::TearDown();
  }
  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, GolfMainWindow, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }
  // Game data the joiner received that carries the golf message `id`.
  size_t Received(uint32_t id) {
    size_t n = 0;
    for (const Data& d : peers[1]->inbox.Take()) n += d.bytes.size() >= 4 && ReadLE32(d.bytes.data()) == id;
    return n;
  }
  RecordingRound round;
};

TEST_F(SilentPeerTest, ASilentMachineIsDroppedAtTheRetryLimitAndItsConnectionClosed) {
  Form(1);
  comm(0).SendPlayerReady(2);
  ASSERT_TRUE(WaitUntil([&] { return comm(0).UsedSlots() == 1; }));

  // The host's round: the golf layer and the real network provider over the host's peer object.
  InstallGolfServices();
  InstallNetworkServices();
  Services s = Svc();
  s.round = &round;
  InstallServices(s);
  net::RoundComm = peers[0]->comm.get();
  ASSERT_EQ(Svc().game->CreateGame(kModeStroke), 1);
  TGame* g = CurrentGame();
  for (int slot = 0; slot < 2; ++slot) {
    TPlayer* p = g->players->GetPlayer(slot);
    p->flags |= kGolferTakesPart;
    p->machineId = static_cast<uint32_t>(slot + 1);
    std::snprintf(p->name, sizeof p->name, "%s", slot == 0 ? "Host" : "Joiner2");
  }
  g->SetNetworkGame(1);
  g->localPlayer = 0;
  g->SetCurrentPlayer(0);
  g->roundRunning = 1;

  // The handshake of a LAN round, as the peer object's start sets it.
  GolfHandshake = HandshakeSettings{3000, 30, 15000, 6};
  winapi::testing::SetVirtualWaitGrace(0);
  winapi::testing::UseVirtualClock(true);
  // The host's ball stopped: every machine must acknowledge; the joiner takes the messages and never answers.
  SendGolfMessage(kGolfBallStopped);
  ASSERT_TRUE(WaitReal([&] { return Received(kGolfBallStopped) == 1; }));
  const uint32_t period = GolfHandshake.periodMs, limit = GolfHandshake.retryLimit;
  ASSERT_EQ(period, 3000u);
  ASSERT_EQ(limit, 30u);
  for (uint32_t i = 1; i < limit; ++i) {
    winapi::testing::AdvanceClock(period);
    Pump();
    ASSERT_TRUE(WaitReal([&] { return Received(kGolfBallStopped) == 1 + i; })) << "re-send " << i;
  }
  EXPECT_EQ(comm(0).UsedSlots(), 1);
  EXPECT_TRUE(round.shown.empty());

  // The last tick: no re-send, the machine is dropped and its connection closed.
  winapi::testing::AdvanceClock(period);
  Pump();
  Pump();
  ASSERT_TRUE(WaitReal([&] { return peers[1]->Count(net::kNotifyHostLinkLost) == 1; }));
  for (const Note& n : peers[1]->notes)
    if (n.code == net::kNotifyHostLinkLost) {
      EXPECT_EQ(n.value, 1u);
    }
  EXPECT_EQ(comm(0).UsedSlots(), 0);
  EXPECT_EQ(comm(0).SocketCount(), 1);  // the listening socket alone
  EXPECT_EQ(Received(kGolfBallStopped), limit);
  EXPECT_TRUE(g->players->GetPlayer(1)->flags & kGolferGone);
  ASSERT_GE(round.shown.size(), 1u);
  EXPECT_EQ(round.shown[0], "You have lost communication with your opponent!");
  // Nothing more goes out: the timer is gone.
  winapi::testing::AdvanceClock(10 * period);
  Pump();
  EXPECT_EQ(GolfState.handshakeTimer, 0u);
}

}  // namespace
}  // namespace nettest

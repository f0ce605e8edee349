// Messages from other machines fuzz entry: the input is a run of comm messages (sender, code, body) that reach a
// networked game of two golfers as the communication layer delivers them: posted to the program's queue window,
// through the comm dispatcher and back to the window as golf messages; some runs let the handshake and poll
// timers fall due. Nothing may crash, leak a block, read past a body, or move the turn outside the slots.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <cstdlib>
#include <cstring>

#include "app/gameapp.h"
#include "framework/core/commqueue.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/install.h"
#include "winapi/testing.h"

namespace {

// Codes the dispatcher knows, so that most inputs reach a row; other values are taken as they are.
constexpr uint32_t kCodes[] = {0x701, 0x702, 0x703, 0x704, 0x705, 0x706, 0x707, 0x708, 0x709, 0x70a, 0x70b, 0x70c,
                               0x70d, 0x70e, 0x70f, 0x711, 0x712, 0x713, 0x714, 0x715, 0x716, 0x717, 0x718, 0x719,
                               0x71a, 0x71b, 0x71c, 0x71d, 0x71e, 0x71f, 0x720, 0x721, 0x722, 0x723, 0x724, 0x725,
                               0x726, 0x727, 0x728, 0x729, 0x72a, 0x72b, 0x72c, 0x72d, 0x72e, 0x730, 0x1407, 0x1411,
                               0x1414, 0x31, 0x140c, 3};

HWND queueWindow() {
  static HWND window = [] {
    winapi::testing::UseVirtualClock(true, 0);
    WNDCLASSA cls{};
    cls.lpfnWndProc = QueueWindowProc;
    cls.lpszClassName = "FuzzQueue";
    RegisterClassA(&cls);
    return CreateWindowExA(0, "FuzzQueue", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  }();
  return window;
}

TGame* makeGame(int mode, uint32_t local) {
  if (!CreateGame(mode)) return nullptr;
  TGame* g = CurrentGame();
  for (int s = 0; s < 2; ++s) {
    TPlayer* p = g->players->GetPlayer(s);
    p->flags = kGolferTakesPart;
    p->machineId = static_cast<uint32_t>(s + 1);
    std::strncpy(p->name, s ? "Far" : "Near", sizeof p->name - 1);
  }
  g->SetNetworkGame(1);
  g->localPlayer = local;
  g->roundRunning = 1;
  return g;
}

void pump() {
  MSG m;
  for (int n = 0; n < 200 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); ++n) DispatchMessageA(&m);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ResetServices();
  InstallGolfServices();
  DeleteCurrentGame();
  ResetGolfHandler();
  GolfMainWindow = CommQueueWindow = queueWindow();
  CommState = data[0] & 4 ? 3 : 6;
  static const int kModes[] = {kModeStroke, kModeShootout, kModeMatchPlay, kModeStroke};
  const int mode = kModes[data[0] & 3];
  const uint32_t local = data[0] >> 3 & 1;
  if (!makeGame(mode, local)) return 0;
  CurrentGame()->SetCurrentPlayer(data[0] >> 4 & 1);
  // Each message: u8 sender (0 the comm layer, else machine 1-3; 0xff lets the timers fall due instead),
  // u8 code choice, u8 body length, the body.
  size_t at = 1;
  while (at + 3 <= size) {
    const uint8_t who = data[at];
    if (who == 0xff) {
      winapi::testing::AdvanceClock(GolfHandshake.pollPeriodMs);
      pump();
      at += 1;
      continue;
    }
    const uint32_t sender = who % 4;
    const uint8_t choice = data[at + 1];
    const uint32_t code = choice < std::size(kCodes) ? kCodes[choice] : 0x700u + choice;
    const size_t n = std::min<size_t>(data[at + 2], size - at - 3);
    at += 3;
    const uint32_t length = 12 + static_cast<uint32_t>(n);
    uint8_t* m = CommMessageAlloc(length);
    const uint32_t words[3] = {sender, static_cast<uint32_t>(n + 4), code};
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 4; ++k) m[i * 4 + k] = static_cast<uint8_t>(words[i] >> (8 * k));
    if (n) std::memcpy(m + 12, data + at, n);
    at += n;
    PostMessageA(CommQueueWindow, WM_COMM_MESSAGE, length, reinterpret_cast<LPARAM>(m));
    pump();
    if (TGame* g = CurrentGame(); g && g->state.currentPlayer >= TPlayerList::kSlots) std::abort();
    if (!CurrentGame() && !makeGame(mode, local)) break;
  }
  DeleteCurrentGame();
  // What is still queued goes as the program's shutdown drops it.
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_GOLF) GolfBlockFree(reinterpret_cast<void*>(m.lParam));
    if (m.message == WM_COMM_MESSAGE) CommMessageFree(reinterpret_cast<uint8_t*>(m.lParam));
  }
  KillTimer(queueWindow(), kHandshakeTimerId);
  KillTimer(queueWindow(), kPollTimerId);
  ResetGolfHandler();
  if (GolfBlocksLive() != 0) std::abort();  // every block was given back
  return 0;
}

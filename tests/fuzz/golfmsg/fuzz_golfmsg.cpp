// Golf messages from other machines fuzz entry: the input is a run of messages (id, argument, block or a peer's
// body) handed to a networked game of two golfers. Nothing may crash, leak a block or read past one.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/golfmsg.h"

namespace {

TGame* makeGame(int mode) {
  if (!CreateGame(mode)) return nullptr;
  TGame* g = CurrentGame();
  for (int s = 0; s < 2; ++s) {
    TPlayer* p = g->players->GetPlayer(s);
    p->flags = kGolferTakesPart;
    p->machineId = static_cast<uint32_t>(s + 1);
    std::strncpy(p->name, s ? "Far" : "Near", sizeof p->name - 1);
  }
  g->SetNetworkGame(1);
  g->localPlayer = 0;
  g->roundRunning = 1;
  return g;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  GolfMainWindow = nullptr;  // posted messages are dropped (their blocks freed)
  ResetGolfHandler();
  ResetServices();
  DeleteCurrentGame();
  const int mode = data[0] & 1 ? kModeShootout : kModeStroke;
  TGame* g = makeGame(mode);
  if (!g) return 0;
  size_t at = 1;
  while (at + 2 <= size) {
    const uint32_t id = 0x701 + data[at] % 0x30;
    const size_t n = data[at + 1];
    at += 2;
    const size_t take = n < size - at ? n : size - at;
    intptr_t arg = 0;
    if (data[at - 2] & 0x80) {
      // As it came from machine 2 (or 3, who plays no golfer).
      arg = GolfArgumentFromPeer(id, 2 + (data[at - 2] >> 6 & 1), data + at, take);
    } else if (GolfIdCarriesBlock(id)) {
      void* b = GolfBlockAlloc(take);
      if (take) std::memcpy(b, data + at, take);
      arg = reinterpret_cast<intptr_t>(b);
    } else {
      for (size_t i = 0; i < take && i < 4; ++i) arg |= static_cast<intptr_t>(data[at + i]) << (8 * i);
    }
    at += take;
    if (!CurrentGame()) g = makeGame(mode);
    if (!g) return 0;
    CurrentGame()->roundRunning = 1;
    SendGolfMessage(id, arg);
    if (TGame* c = CurrentGame(); c && c->state.currentPlayer > 12) std::abort();
  }
  DeleteCurrentGame();
  ResetGolfHandler();
  if (GolfBlocksLive() != 0) std::abort();  // every block was given back
  return 0;
}

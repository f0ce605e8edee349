#include "net/netstart.h"

#include <cstring>

#include "framework/core/commqueue.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "golf/game.h"
#include "net/commlayer.h"
#include "net/netgolfer.h"
#include "net/sockcomm.h"
#include "platformlib/core/byteorder.h"

namespace net {
namespace {

constexpr uint32_t kPlayerInfoRequest = 0x71a, kPlayerInfo = 0x71b, kGameSetUp = 0x704, kCancel = 0x1413,
                   kStartRequest = 0x1414, kStartAck = 0x1415;
constexpr uint32_t kPlayerInfoBytes = 2000, kGameSetUpBytes = 7500;

// A user message from the comm queue: its code, its sender and (for 0x704 and 0x71b) the comm message, owned.
struct UserMessage {
  uint32_t code = 0, sender = 0;
  uint8_t* message = nullptr;
};

bool TakeUser(UserMessage* out) {
  MSG msg{};
  if (!CommQueue || !GuardedQueuePop(CommQueue, &msg)) return false;
  *out = UserMessage{};
  if (msg.wParam == kPlayerInfo || msg.wParam == kGameSetUp) {
    out->code = static_cast<uint32_t>(msg.wParam);
    out->message = reinterpret_cast<uint8_t*>(msg.lParam);
    out->sender = ReadLE32(out->message);
  } else if (msg.wParam == kPlayerInfoRequest) {
    out->code = kPlayerInfoRequest;
    out->sender = static_cast<uint32_t>(msg.lParam);
  } else if (msg.wParam == 0) {
    out->code = static_cast<uint32_t>(msg.lParam);  // 0x1414 to 0x1416
    out->sender = msg.message;
  } else {
    out->code = static_cast<uint32_t>(msg.wParam);
  }
  return true;
}

// Waits for a user message `accept` takes; other messages are dropped.
template <class F>
bool WaitFor(uint32_t timeoutMs, F accept) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    UserMessage m;
    if (!TakeUser(&m)) {
      Sleep(20);
      continue;
    }
    const bool done = accept(m);
    CommMessageFree(m.message);
    if (done) return true;
  }
  return false;
}

CCommBase* Comm() { return RoundComm; }

}  // namespace

bool HostStartNetGame(const std::vector<uint32_t>& players, uint32_t timeoutMs) {
  CCommBase* comm = Comm();
  TGame* game = CurrentGame();
  if (!comm || !game || players.empty() || players.size() > 4) return false;
  NetPlayStage = 2;
  const uint32_t me = comm->GetLocalId();
  std::vector<bool> ready(players.size(), false);
  for (size_t i = 0; i < players.size(); ++i) {
    game->players->GetPlayer(static_cast<int>(i))->machineId = players[i];
    if (players[i] == me) {
      ready[i] = true;
      game->localPlayer = static_cast<uint32_t>(i);
    } else {
      comm->SendGameWords(players[i], kPlayerInfoRequest, 0);
    }
  }
  const auto slotOf = [&](uint32_t id) {
    for (size_t i = 0; i < players.size(); ++i)
      if (players[i] == id) return static_cast<int>(i);
    return -1;
  };
  const auto allReady = [&] {
    for (bool r : ready)
      if (!r) return false;
    return true;
  };
  // Every golfer's record from its machine.
  if (!allReady() && !WaitFor(timeoutMs, [&](const UserMessage& m) {
        if (m.code != kPlayerInfo) return false;
        const int slot = slotOf(m.sender);
        const uint32_t length = ReadLE32(m.message + 4);
        if (slot < 0 || length < 8) return false;
        SerialTarget s = SerialTarget::OverMemory(m.message + 16, length - 8);
        TPlayer* p = game->players->GetPlayer(slot);
        if (!p->ReadFromStream(&s)) return false;
        p->machineId = m.sender;
        ready[static_cast<size_t>(slot)] = true;
        return allReady();
      }))
    return false;
  game->roundRunning = 1;
  game->SetNetworkGame(1);
  // The game for every other machine, each told its own golfer's index.
  std::vector<uint8_t> setUp(kGameSetUpBytes, 0);
  WriteLE32(setUp.data(), kGameSetUp);
  WriteLE32(setUp.data() + 8, 1);
  WriteLE32(setUp.data() + 12, me);
  WriteLE32(setUp.data() + 16, SharedGameWord.load());
  WriteLE32(setUp.data() + 24, game->mode);
  SerialTarget s = SerialTarget::OverMemory(setUp.data() + 32, setUp.size() - 32);
  if (!game->SaveToStream(&s)) return false;
  const uint32_t length = static_cast<uint32_t>(s.cursor - setUp.data());
  for (size_t i = 0; i < players.size(); ++i) {
    if (players[i] == me) continue;
    WriteLE32(setUp.data() + 28, static_cast<uint32_t>(i));
    comm->SendGameData(players[i], setUp.data(), length);
  }
  Sleep(100);
  for (size_t i = 0; i < players.size(); ++i) {
    ready[i] = players[i] == me;
    if (!ready[i]) comm->SendGameWords(players[i], kStartRequest, 0);
  }
  if (!allReady() && !WaitFor(timeoutMs, [&](const UserMessage& m) {
        const int slot = slotOf(m.sender);
        if (m.code != kStartAck || slot < 0) return false;
        ready[static_cast<size_t>(slot)] = true;
        return allReady();
      })) {
    for (uint32_t id : players)
      if (id != me) comm->SendGameWords(id, kCancel, 0);
    return false;
  }
  NetPlayStage = 6;
  comm->BroadcastGameWords(SharedGameWord.load(), 0x705, 0);
  return true;
}

bool JoinNetGame(uint32_t timeoutMs) {
  CCommBase* comm = Comm();
  if (!comm) return false;
  NetPlayStage = 3;
  uint32_t host = 0;
  bool haveGame = false;
  return WaitFor(timeoutMs, [&](const UserMessage& m) {
    switch (m.code) {
      case kPlayerInfoRequest: {
        // This machine's golfer, as the game keeps it in slot 0.
        TGame* game = CurrentGame();
        if (!game) return false;
        TPlayer* p = game->players->GetPlayer(0);
        std::strncpy(p->name, NetGolferName, sizeof p->name - 1);
        std::vector<uint8_t> info(kPlayerInfoBytes, 0);
        WriteLE32(info.data(), kPlayerInfo);
        comm->BuildPlayerList(1);
        WriteLE32(info.data() + 4, static_cast<uint32_t>(comm->GetPlayerCount()));
        SerialTarget s = SerialTarget::OverMemory(info.data() + 8, info.size() - 8);
        if (!p->WriteToStream(&s)) return false;
        comm->SendGameData(m.sender, info.data(), static_cast<uint32_t>(s.cursor - info.data()) + 1);
        return false;
      }
      case kGameSetUp: {
        const uint32_t length = ReadLE32(m.message + 4);
        // The game follows its format word and mode.
        if (length < 32 + 6) return false;
        const uint8_t* d = m.message + 8;
        if (!Svc().game->CreateGame(static_cast<int>(ReadLE32(d + 24)))) return false;
        TGame* game = CurrentGame();
        SerialTarget s = SerialTarget::OverMemory(d + 32 + 6, length - 32 - 6);
        if (!game->LoadFromStream(&s)) return false;
        game->localPlayer = ReadLE32(d + 28);
        SharedGameWord = ReadLE32(d + 16);
        game->roundRunning = 1;
        game->SetNetworkGame(1);
        host = m.sender;
        haveGame = true;
        return false;
      }
      case kStartRequest:
        if (!haveGame || m.sender != host) return false;
        NetPlayStage = 6;
        comm->SendGameWords(host, kStartAck, 0);
        return true;
      default:
        return false;
    }
  });
}

}  // namespace net

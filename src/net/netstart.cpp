#include "net/netstart.h"

#include <cstring>

#include "framework/core/commqueue.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "golf/game.h"
#include "net/commlayer.h"
#include "net/netgolfer.h"
#include "net/modemmgr.h"
#include "net/sockcomm.h"
#include "platformlib/core/byteorder.h"

namespace net {
namespace {

constexpr uint32_t kPlayerInfoRequest = 0x71a, kPlayerInfo = 0x71b, kGameSetUp = 0x704, kCancel = 0x1413,
                   kStartRequest = 0x1414, kStartAck = 0x1415, kNoCourse = 0x1416, kHostGreeting = 0x1411,
                   kCallerGreeting = 0x1412, kLinkFailed = 0x701;
constexpr uint32_t kPlayerInfoBytes = 2000, kGameSetUpBytes = 7500;

// Waits for a set-up message `accept` takes; other messages are dropped. Every message that arrives gives the
// group the whole time again, so a slow but living group is not cut off. `accept` answers 1 done, 0 go on, -1 fail.
template <class F>
bool WaitFor(uint32_t timeoutMs, F accept) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    SetUpMessage m;
    if (!TakeSetUpMessage(&m)) {
      Sleep(20);
      continue;
    }
    start = GetTickCount();
    const int verdict = accept(m);
    ReleaseSetUpMessage(&m);
    if (verdict != 0) return verdict > 0;
  }
  return false;
}

// The modes a group may play over the network.
bool IsNetMode(uint32_t mode) {
  switch (mode) {
    case kModeStroke: case kModeTournament: case kModeSkins: case kModeShootout: case kModeNetTournament:
    case kModeMatchPlay: case kModeFourBall: case kModeFoursome:
      return true;
    default:
      return false;
  }
}

CCommBase* Comm() { return RoundComm; }

}  // namespace

bool TakeSetUpMessage(SetUpMessage* out) {
  MSG msg{};
  if (!CommQueue || !GuardedQueuePop(CommQueue, &msg)) return false;
  *out = SetUpMessage{};
  if (msg.wParam == kPlayerInfo || msg.wParam == kGameSetUp || msg.wParam == kCallerGreeting) {
    out->code = static_cast<uint32_t>(msg.wParam);
    out->message = reinterpret_cast<uint8_t*>(msg.lParam);
    out->sender = out->message ? ReadLE32(out->message) : 0;
  } else if (msg.wParam == kPlayerInfoRequest) {
    out->code = kPlayerInfoRequest;
    out->sender = static_cast<uint32_t>(msg.lParam);
  } else if (msg.wParam == kHostGreeting) {
    out->code = kHostGreeting;
    out->value = static_cast<uint32_t>(msg.lParam);
  } else if (msg.wParam == 0) {
    out->code = static_cast<uint32_t>(msg.lParam);  // 0x1414 to 0x1416
    out->sender = msg.message;
  } else {
    out->code = static_cast<uint32_t>(msg.wParam);
    out->value = static_cast<uintptr_t>(msg.lParam);
  }
  return true;
}

void ReleaseSetUpMessage(SetUpMessage* m) {
  CommMessageFree(m->message);
  m->message = nullptr;
}

StartOutcome HostStartNetGame(const std::vector<uint32_t>& players, uint32_t timeoutMs) {
  CCommBase* comm = Comm();
  TGame* game = CurrentGame();
  if (!comm || !game || players.empty() || players.size() > 4) return StartOutcome::kNoGame;
  NetPlayStage = 2;
  const uint32_t me = comm->GetLocalId();
  // Every machine must see the group the host sees.
  comm->BuildPlayerList(1);
  const uint32_t expected = static_cast<uint32_t>(comm->GetPlayerCount());
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
  StartOutcome failure = StartOutcome::kNoAnswer;
  if (!allReady() && !WaitFor(timeoutMs, [&](const SetUpMessage& m) {
        if (m.code == kLinkFailed) {
          failure = StartOutcome::kLinkLost;
          return -1;
        }
        if (m.code != kPlayerInfo) return 0;
        const int slot = slotOf(m.sender);
        if (slot < 0) {
          OutputDebugStringA("PLAYER_INFO msg received from unknown player");
          failure = StartOutcome::kUnknownPlayer;
          return -1;
        }
        const uint32_t length = ReadLE32(m.message + 4);
        if (length < 8) return 0;
        if (ReadLE32(m.message + 12) != expected) {
          failure = StartOutcome::kMiscounted;
          return -1;
        }
        SerialTarget s = SerialTarget::OverMemory(m.message + 16, length - 8);
        TPlayer* p = game->players->GetPlayer(slot);
        if (!p->ReadFromStream(&s)) return 0;
        p->machineId = m.sender;
        p->flags |= kGolferTakesPart;
        ready[static_cast<size_t>(slot)] = true;
        return allReady() ? 1 : 0;
      })) {
    if (failure == StartOutcome::kMiscounted) Sleep(500);
    return failure;
  }
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
  if (!game->SaveToStream(&s)) return StartOutcome::kNoGame;
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
  uint32_t withoutCourse = 0;
  bool linkLost = false;
  if (!allReady() && !WaitFor(timeoutMs, [&](const SetUpMessage& m) {
        if (m.code == kLinkFailed) {
          linkLost = true;
          return -1;
        }
        const int slot = slotOf(m.sender);
        if (slot < 0 || (m.code != kStartAck && m.code != kNoCourse)) return 0;
        if (m.code == kNoCourse) {
          withoutCourse = m.sender;
          return -1;
        }
        ready[static_cast<size_t>(slot)] = true;
        return allReady() ? 1 : 0;
      })) {
    if (linkLost) return StartOutcome::kLinkLost;  // nobody is left to tell
    // The machine without the course has given up already; the others would wait for a start that never comes.
    for (uint32_t id : players)
      if (id != me && id != withoutCourse) comm->SendGameWords(id, kCancel, 0);
    if (withoutCourse) return StartOutcome::kNoCourse;
    OutputDebugStringA("Timed out waiting for players to report ready");
    return StartOutcome::kNotReady;
  }
  NetPlayStage = 6;
  comm->BroadcastGameWords(SharedGameWord.load(), 0x705, 0);
  return StartOutcome::kStarted;
}

bool AnswerPlayerInfoRequest(uint32_t requester) {
  CCommBase* comm = Comm();
  TGame* game = CurrentGame();
  if (!comm || !game) return false;
  // This machine's golfer, as the game keeps it in slot 0.
  TPlayer* p = game->players->GetPlayer(0);
  std::memset(p->name, 0, sizeof p->name);
  std::strncpy(p->name, NetGolferName, sizeof p->name - 1);
  std::vector<uint8_t> info(kPlayerInfoBytes, 0);
  WriteLE32(info.data(), kPlayerInfo);
  comm->BuildPlayerList(1);
  WriteLE32(info.data() + 4, static_cast<uint32_t>(comm->GetPlayerCount()));
  SerialTarget s = SerialTarget::OverMemory(info.data() + 8, info.size() - 8);
  if (!p->WriteToStream(&s)) return false;
  comm->SendGameData(requester, info.data(), static_cast<uint32_t>(s.cursor - info.data()) + 1);
  return true;
}

bool ApplyGameSetUp(const SetUpMessage& m) {
  if (m.code != kGameSetUp || !m.message) return false;
  const uint32_t length = ReadLE32(m.message + 4);
  // The game follows its format word and mode.
  if (length < 32 + 6 || length > kGameSetUpBytes) return false;
  const uint8_t* d = m.message + 8;
  const uint32_t mode = ReadLE32(d + 24), slot = ReadLE32(d + 28);
  if (!IsNetMode(mode) || slot >= static_cast<uint32_t>(TPlayerList::kSlots)) return false;
  if (!Svc().game->CreateGame(static_cast<int>(mode))) return false;
  TGame* game = CurrentGame();
  if (!game || game->mode != mode) return false;
  SerialTarget s = SerialTarget::OverMemory(d + 32 + 6, length - 32 - 6);
  if (!game->LoadFromStream(&s)) return false;
  game->localPlayer = slot;
  SharedGameWord = ReadLE32(d + 16);
  game->roundRunning = 1;
  game->SetNetworkGame(1);
  return true;
}

bool AwaitStartRequest(uint32_t host, uint32_t timeoutMs) {
  CCommBase* comm = Comm();
  if (!comm) return false;
  return WaitFor(timeoutMs, [&](const SetUpMessage& m) {
    if (m.code == kCancel) return -1;
    if (m.code != kStartRequest || m.sender != host) return 0;
    NetPlayStage = 6;
    comm->SendGameWords(host, kStartAck, 0);
    return 1;
  });
}

bool JoinNetGame(uint32_t timeoutMs) {
  if (!Comm()) return false;
  NetPlayStage = 3;
  uint32_t host = 0;
  const bool set = WaitFor(timeoutMs, [&](const SetUpMessage& m) {
    if (m.code == kPlayerInfoRequest) {
      AnswerPlayerInfoRequest(m.sender);
      return 0;
    }
    if (m.code == kCancel) return -1;
    if (m.code != kGameSetUp) return 0;
    host = m.sender;
    return ApplyGameSetUp(m) ? 1 : -1;
  });
  return set && AwaitStartRequest(host, timeoutMs);
}

bool GreetModemCaller(uint32_t level, uint32_t timeoutMs) {
  auto* modem = dynamic_cast<ModemMgr*>(Comm());
  if (!modem) return false;
  const uint32_t caller = modem->GetLocalId() == 1 ? 2 : 1;
  modem->SendGameWords(caller, kHostGreeting, level);
  return WaitFor(timeoutMs, [&](const SetUpMessage& m) {
    if (m.code != kCallerGreeting || m.sender != caller) return 0;
    // {sender, length, code, name}: the name is kept only as far as it came, terminated.
    const uint32_t length = ReadLE32(m.message + 4);
    if (length < 4) return -1;
    modem->SetRemoteGolfer(std::string(reinterpret_cast<const char*>(m.message + 12),
                                       strnlen(reinterpret_cast<const char*>(m.message + 12), length - 4))
                               .c_str());
    return 1;
  });
}

int AnswerModemGreeting(const char* golferFile, uint32_t timeoutMs) {
  CCommBase* comm = Comm();
  if (!comm || !golferFile) return -1;
  int level = -1;
  uint32_t host = 0;
  if (!WaitFor(timeoutMs, [&](const SetUpMessage& m) {
        if (m.code != kHostGreeting) return 0;
        level = static_cast<int>(m.value);
        return 1;
      }))
    return -1;
  host = comm->GetLocalId() == 1 ? 2 : 1;
  std::vector<uint8_t> greeting(4 + std::strlen(golferFile) + 1, 0);
  WriteLE32(greeting.data(), kCallerGreeting);
  std::memcpy(greeting.data() + 4, golferFile, greeting.size() - 4);
  comm->SendGameData(host, greeting.data(), static_cast<uint32_t>(greeting.size()));
  return level;
}

}  // namespace net

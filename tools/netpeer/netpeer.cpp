// One machine of a networked stroke round, headless. The host opens a game on the LAN lobby; joiners find it by
// broadcast, join, the group meshes, the host runs the start exchange and every machine plays the round with its
// own computer golfer. Each prints the score card and every ball rest; the cards and rests of all machines match.
//
//   netpeer --host --players N [--type 0|1|2] [--server HOST] [--holes H] [--dir FOLDER] [--name NAME]
//   netpeer --join [--type 0|1|2] [--server HOST] [--dir FOLDER] [--name NAME]
//   netpeer --host|--join --type 3 [--number N] ...   a modem call: the host answers N, the joiner dials it
//   netpeer --join --forge ...   a hostile joiner: at the second hole it also sends the host forged golf messages
//   ... --voice MS[,MS...]   before the start, records a message of MS ms (0: until 7 s end it) for the others
//   ... --expect-voice N     stays until N messages have played ("voice played" lines; the samples in --dir)
//   ... --score-server HOST  the online service's score, shot and statistics server (online tournaments)
//   ... --chat TEXT          sends TEXT as a chat line when the second hole starts; lines received print as "chat NAME: TEXT"
//
// Each process is its own machine: set WINAPI_NET_ADDRESS=127.0.0.N (and WINAPI_PORT_MAP to move the lobby's
// port). Exit status 0 when the round was played to its end.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/install.h"
#include "golf/modes.h"
#include "holewriter.h"
#include "net/commlayer.h"
#include "net/internetsess.h"
#include "net/install.h"
#include "net/modemmgr.h"
#include "net/modempacket.h"
#include "net/netgolfer.h"
#include "net/netstart.h"
#include "net/sessmgr.h"
#include "net/sockcomm.h"
#include "net/voiceproc.h"
#include "online/install.h"
#include "online/tourneycomm.h"
#include "platformlib/core/byteorder.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

struct Options {
  bool host = false;
  int players = 2;
  int type = 1;
  int holes = 3;
  int mode = 0;  // the game mode the host starts (stroke play)
  std::string dir;
  std::string name;
  uint32_t timeoutMs = 120000;
  std::string number = "5550100";
  std::string server;  // the online lobby server's host (type 0)
  std::string scoreServer;       // the online service's host: score, shot and statistics servers
  std::vector<uint32_t> voiceMs;  // recordings sent to the others before the start (0: until 7 s end it)
  std::vector<bool> voiceCancel;  // the recording of the same place is cancelled after its time instead
  int expectVoice = 0;            // messages to have played before the machine leaves
  uint32_t suspendMs = 0;         // the first message playing is suspended this far into it, for 300 ms
  bool modem() const { return type == 3; }
  bool forge = false;
};

bool g_done = false;
bool g_forge = false;
std::string g_chat;  // a chat line sent to the others as the second hole starts
std::vector<std::string> g_rests;

class Catalogue : public CourseCatalogueProvider {
 public:
  const char* Name() const override { return "netpeer holes"; }
  int HolePar(int) override { return 4; }
  std::string HoleFile(int, int) override { return "T:\\HOLE01.hnf"; }
};

class FrontEnd : public FrontEndProvider {
 public:
  const char* Name() const override { return "netpeer"; }
  void ReturnToFrontEnd() override { g_done = true; }
  int ShowMessageDialog(const char* text, int) override {
    std::fprintf(stderr, "netpeer: %s\n", text);
    return 0;
  }
};

class Round : public RoundInterfaceProvider {
 public:
  const char* Name() const override { return "netpeer"; }
  void ShowMessage(const std::string& text, uint32_t) override { std::fprintf(stderr, "netpeer: %s\n", text.c_str()); }
  // What the chat box of a round would show.
  void ChatLine(const std::string& text) override {
    std::printf("chat %s\n", text.c_str());
    std::fflush(stdout);
  }
};

// Voice messages "play" for their length on the clock; each is reported with what it held and what waited.
class VoiceSound : public SoundProvider {
 public:
  const char* Name() const override { return "netpeer voice"; }
  uint32_t PlayImage(const void* image, uint32_t bytes) override {
    if (bytes < net::kVoiceHeaderBytes) return 0;
    const auto* p = static_cast<const uint8_t*>(image);
    const uint32_t count = ReadBE32(p + 11), bits = p[17], rate = static_cast<uint32_t>(p[20] << 8 | p[21]);
    const uint32_t samples = bytes - net::kVoiceHeaderBytes;
    start_ = GetTickCount();
    const int n = ++played;
    std::string waiting;
    if (net::Voice)
      for (const auto& e : std::filesystem::directory_iterator(net::Voice->folder()))
        if (e.path().extension() == ".wxx") waiting += " " + e.path().filename().string();
    std::printf("voice played %d: %u samples of %u bits at %u Hz, crc %08x, waiting:%s\n", n, count, bits, rate,
                net::ModemCrc(p + net::kVoiceHeaderBytes, samples), waiting.empty() ? " none" : waiting.c_str());
    std::fflush(stdout);
    if (!dump.empty()) {
      FILE* f = std::fopen((dump + "/voice-" + std::to_string(n) + ".pcm").c_str(), "wb");
      if (f) std::fwrite(p + net::kVoiceHeaderBytes, 1, samples, f), std::fclose(f);
    }
    lengthMs_ = rate ? count * 1000ull / rate : 0;
    stopped_ = false;
    return static_cast<uint32_t>(n);
  }
  DWORD started() const { return start_; }
  bool ImagePlaying(uint32_t) override { return !stopped_ && GetTickCount() - start_ < lengthMs_; }
  void StopImage(uint32_t) override { stopped_ = true; }
  std::atomic<int> played{0};
  std::string dump;

 private:
  std::atomic<DWORD> start_{0};
  uint64_t lengthMs_ = 0;
  std::atomic<bool> stopped_{false};
};
VoiceSound g_voiceSound;

// Records the options' messages one after the other for every other player.
struct VoiceSender {
  std::vector<uint32_t> lengths;
  std::vector<bool> cancel;
  size_t next = 0;
  DWORD started = 0;
  bool recording = false;
  void Step() {
    if (!net::Voice) return;
    if (recording) {
      if (net::Voice->recording()) {
        if (lengths[next - 1] && GetTickCount() - started >= lengths[next - 1]) {
          if (cancel[next - 1]) Svc().network->VoiceCancelRecording();
          else Svc().network->VoiceFinishRecording();
        }
        return;
      }
      recording = false;
      std::printf("voice %s %zu\n", cancel[next - 1] ? "cancelled" : "sent", next);
      std::fflush(stdout);
    }
    if (next >= lengths.size()) return;
    uint32_t ids[8];
    const int n = Svc().network->PeerIds(ids, 8);
    if (n == 0) return;
    const bool ok = Svc().network->VoiceStartRecording(ids, n, nullptr);
    std::fprintf(stderr, "netpeer: recording %zu for %d %s\n", next + 1, n, ok ? "started" : "refused");
    if (ok) {
      ++next;
      started = GetTickCount();
      recording = true;
    }
  }
  bool Done() const { return next >= lengths.size() && !recording; }
};

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

// What a hostile machine of the round might send the host (machine 1, whose golfer is slot 0): messages only the
// host itself may post, golfers named that this machine does not play, numbers that are not finite or not on any
// course, a hole start mid-round, a poll and a chat line far beyond its record. The host must refuse every one.
void SendForgedMessages() {
  net::CCommBase* comm = net::RoundComm;
  if (!comm) return;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto words = [](std::initializer_list<uint32_t> list) {
    std::vector<uint8_t> out;
    for (uint32_t w : list)
      for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(w >> (8 * k)));
    return out;
  };
  std::vector<std::vector<uint8_t>> forged = {
      words({0x701}), words({0x70E}), words({0x714}), words({0x702, 0}), words({0x72B}), words({0x72A, 0}),
      words({0x705}), words({0x712}), words({0x713}), words({0x729, 0x10000}), words({0x717, 1, 2, 3}),
      words({0x72D, 0}), words({0x704, 1, 2, 3}), words({0x718, 1, Bits(nan), 0, 0}),
      words({0x718, 1, 0, Bits(1e30f), 0})};
  for (int i = 0; i < 5; ++i) forged.push_back(words({0x722, 0}));
  ShotSetUpBlock shot;
  shot.golfer = 1;
  shot.power = nan;
  std::vector<uint8_t> settings = words({0x70F});
  settings.resize(4 + kShotSetUpWireBytes);
  WriteShotSetUp(shot, settings.data() + 4);
  forged.push_back(settings);
  std::vector<uint8_t> chat = words({0x703});
  chat.resize(100000, 'x');
  forged.push_back(chat);
  for (const std::vector<uint8_t>& m : forged) comm->SendGameData(1, m.data(), static_cast<uint32_t>(m.size()));
  std::fprintf(stderr, "netpeer: sent %zu forged messages\n", forged.size());
}

LRESULT MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kGolfWindowMessage || message == WM_TIMER) {
    TGame* g = CurrentGame();
    if (!g) {
      if (message == kGolfWindowMessage && lParam) GolfBlockFree(reinterpret_cast<void*>(lParam));
      return 0;
    }
    // Each hole's start, as it happens, so a watcher can end a machine mid-round.
    if (message == kGolfWindowMessage && wParam == kGolfHoleStart) {
      std::printf("hole %u starts\n", g->state.hole);
      std::fflush(stdout);
      if (g_forge && g->state.hole == 1) {
        g_forge = false;
        SendForgedMessages();
      }
      // The chat box's record, as a golfer's typed line goes to the other machines.
      if (!g_chat.empty() && g->state.hole == g->state.firstHole + 1) {
        uint8_t record[kChatRecordBytes];
        WriteChatRecord(g_chat, "GOLFER", record);
        Svc().network->SendBlock(-1, kGolfChat, record, sizeof record);
      }
    }
    g->HandleMessage(message, wParam, lParam);
    // Where every ball came to rest, as the machines must all see it.
    if (message == kGolfWindowMessage && wParam == kGolfBallStopped) {
      const TPlayer* p = g->players->GetPlayer(g->state.currentPlayer);
      if (p) {
        char line[96];
        std::snprintf(line, sizeof line, "rest hole %u golfer %u %08x %08x %08x", g->state.hole,
                      g->state.currentPlayer, Bits(p->ball.position.x), Bits(p->ball.position.y),
                      Bits(p->ball.position.z));
        // A step sent again to a machine whose answer was slow (a noisy modem line) stops the ball once more
        // there; the rest is the same and counted once.
        if (g_rests.empty() || g_rests.back() != line) g_rests.emplace_back(line);
      }
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool Pump(const std::function<bool()>& until, uint32_t timeoutMs) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (until()) return true;
    Sleep(2);
  }
  return until();
}

// The comm object's notifications; buffers are freed once looked at.
struct Notes {
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> seen;
  void Drain() {
    uint32_t code, length;
    uintptr_t value;
    while (net::GetNextCommMessage(&code, &value, &length)) {
      std::vector<uint8_t> copy;
      if (code == net::kNotifySessionAdvert) {
        copy.assign(reinterpret_cast<uint8_t*>(value), reinterpret_cast<uint8_t*>(value) + net::kSessionAdvertSize);
      } else if (code == net::kNotifyPlayerReady || code == net::kNotifyPlayerNotReady ||
                 code == net::kNotifyHostLinkLost || code == net::kNotifyGroupConnected ||
                 code == net::kNotifySessionStatus) {
        copy.resize(4);
        std::memcpy(copy.data(), &value, 4);
      }
      // Codes whose value is a number, not a message of the receiver's to free.
      if (code != net::kNotifyNetworkError && code != net::kNotifyPlayerReady && code != net::kNotifyPlayerNotReady &&
          code != net::kNotifyHostLinkLost && code != net::kNotifyGroupConnected && code != net::kNotifySessionStatus &&
          code != net::kNotifyLoginAccepted && code != net::kNotifySessionListComplete)
        CommMessageFree(reinterpret_cast<uint8_t*>(value));
      seen.emplace_back(code, std::move(copy));
    }
  }
  size_t Count(uint32_t code) {
    Drain();
    return static_cast<size_t>(std::count_if(seen.begin(), seen.end(), [&](auto& s) { return s.first == code; }));
  }
};

void SetUpGolfer(TGame* g, int slot, const char* name) {
  g->players->SetComputer(slot, true);
  TPlayer* p = g->players->GetPlayer(slot);
  // Each golfer stands for the person at a machine; the computer plays it so the run needs nobody.
  p->flags |= kGolferTakesPart | kGolferFlag5;
  p->bag = 0x1FFFFF;
  if (name) {
    std::memset(p->name, 0, sizeof p->name);
    std::strncpy(p->name, name, sizeof p->name - 1);
  }
}

void PrintResult(bool ok, const std::vector<uint32_t>& ids, int holes) {
  if (ok) {
    TGame* g = CurrentGame();
    std::printf("mode %u\n", g->mode);
    for (size_t slot = 0; slot < ids.size(); ++slot) {
      TPlayer* p = g->players->GetPlayer(static_cast<int>(slot));
      std::printf("card %-15s", p->name);
      uint32_t total = 0;
      for (int hole = 0; hole < holes; ++hole) {
        uint32_t strokes = 0;
        p->GetHoleScore(0, hole, &strokes, nullptr);
        total += strokes;
        std::printf(" %2u", strokes);
      }
      std::printf("  total %u\n", total);
    }
    for (const std::string& r : g_rests) std::printf("%s\n", r.c_str());
    // An online tournament's board as the score server last sent it.
    if (const auto* t = dynamic_cast<const CINetTournamentGame*>(g))
      for (const auto& e : t->leaders)
        std::printf("leader %d %s holes %d strokes %d%s\n", e.position, e.name.c_str(), e.holes, e.summary,
                    e.highlight ? " (this machine)" : "");
  } else {
    std::fprintf(stderr, "netpeer: the round did not take place\n");
  }
}

int RunModem(const Options& o);

// Voice messages go while the machines are together, before the start: a headless round of computer golfers
// is over in a few seconds, and its end closes the comm layer (a recording still running is then dropped, and so
// are the messages not yet played). A sender stays until its messages are out, a receiver until it heard what
// it expects; both within the time-out. False when that did not happen.
bool ExchangeVoice(const Options& o) {
  if (o.voiceMs.empty() && o.expectVoice <= 0) return true;
  std::fprintf(stderr, "netpeer: voice %s\n", net::Voice ? "on" : "off");
  // The stage of a group gathered in the clubhouse, whose messages (voice among them) are handled.
  net::NetPlayStage = o.host ? 2 : 3;
  bool ok = true;
  if (!o.voiceMs.empty()) {
    VoiceSender sender{o.voiceMs, o.voiceCancel};
    ok = Pump(
        [&] {
          sender.Step();
          return sender.Done();
        },
        o.timeoutMs);
  }
  if (o.expectVoice > 0) {
    bool suspended = false;
    const auto heard = [&] {
      // Suspending voice stops the message playing and keeps it queued; it plays again from its start.
      if (o.suspendMs && !suspended && g_voiceSound.played >= 1 && GetTickCount() - g_voiceSound.started() >= o.suspendMs) {
        suspended = true;
        Svc().network->SetVoiceSuspended(true);
        std::printf("voice suspended: %zu queued\n", net::Voice ? net::Voice->queued() : 0);
        std::fflush(stdout);
        Sleep(300);
        Svc().network->SetVoiceSuspended(false);
      }
      return g_voiceSound.played >= o.expectVoice && net::Voice && !net::Voice->playing() && net::Voice->queued() == 0;
    };
    ok = Pump(heard, o.timeoutMs) && ok;
    std::printf("voice heard %d\n", g_voiceSound.played.load());
    std::fflush(stdout);
  }
  return ok;
}

// The round runs; true when it was played to its end.
bool PlayRound(const Options& o) { return Pump([] { return g_done; }, o.timeoutMs * 3); }

int Run(const Options& o) {
  std::filesystem::create_directories(o.dir);
  if (!holewriter::WriteHole(holewriter::DemoHole(48, 200, 9), o.dir + "/HOLE01")) {
    std::fprintf(stderr, "netpeer: cannot write the hole\n");
    return 2;
  }
  winapi::testing::MapDrive('T', o.dir);
  std::strncpy(net::NetGolferName, o.name.c_str(), sizeof net::NetGolferName - 1);

  WNDCLASSA cls{};
  cls.lpfnWndProc = MainProc;
  cls.lpszClassName = "NetpeerMain";
  RegisterClassA(&cls);
  HWND window = CreateWindowExA(0, "NetpeerMain", "netpeer", 0, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
  Facts().queueWindow = window;
  CommQueueWindow = window;
  GolfMainWindow = window;
  static GuardedQueue userMessages;
  CommQueue = GuardedQueueCreate(&userMessages);

  InstallGolfServices();
  InstallNetworkServices();
  InstallOnlineServices();
  if (!o.scoreServer.empty()) online::SetServiceHost(o.scoreServer.c_str());
  // Voice messages wait in the machine's own folder.
  std::filesystem::create_directories(o.dir + "/VOICE");
  RegistryMgr("Network", true).WriteValue("voicePath", "T:\\VOICE");
  g_voiceSound.dump = o.dir;
  static Catalogue catalogue;
  static FrontEnd frontEnd;
  static Round round;
  Services s = Svc();
  s.catalogue = &catalogue;
  s.frontEnd = &frontEnd;
  s.round = &round;
  s.sound = &g_voiceSound;
  InstallServices(s);

  if (o.modem()) return RunModem(o);
  if (!net::CreateCommLayer(o.type)) {
    std::fprintf(stderr, "netpeer: the comm layer did not start\n");
    return 3;
  }
  auto* comm = dynamic_cast<net::CSockComm*>(net::CommObject);
  comm->SetLocalGolfer(o.name.c_str());
  net::SessionPlayerRecord record;
  std::strcpy(record.lobbyName(), "NETPEER");
  Notes notes;
  bool ok = true;
  std::vector<uint32_t> ids;
  // Online, the lobby server takes nothing before it has let the player in.
  if (o.type == 0) {
    ok = Pump([&] { return notes.Count(net::kNotifyLoginAccepted) > 0; }, o.timeoutMs);
    std::fprintf(stderr, "netpeer: %s the lobby server\n", ok ? "logged in to" : "could not log in to");
    if (ok) std::strcpy(record.lobbyName(), "SEDGEFEN");
  }
  if (!ok) {
  } else if (o.host) {
    uint8_t address[16];
    comm->StartHost(address);
    net::SessionManager->SetLocalPlayer(record);
    net::SessionEntry entry;
    std::strcpy(entry.name(), "netpeer round");
    std::strcpy(entry.lobbyName(), record.lobbyName());
    std::memcpy(entry.hostAddress(), address, 16);
    net::SessionManager->CreateSession(&entry);
    std::printf("hosting on %s\n", net::CommTypeName(o.type));
    // Where joiners (and a test's scripted peers) reach the game; TCP/IP keeps the port in network order.
    if (o.type == 1) std::printf("listening on port %u\n", (address[2] << 8) | address[3]);
    std::fflush(stdout);
    ok = Pump([&] { return notes.Count(net::kNotifyPlayerJoined) >= static_cast<size_t>(o.players - 1); },
              o.timeoutMs);
    std::fprintf(stderr, "netpeer: %zu joined\n", notes.Count(net::kNotifyPlayerJoined));
    if (ok) {
      for (uint32_t id = 2; id <= static_cast<uint32_t>(o.players); ++id) comm->SendPlayerReady(id);
      if (o.players > 2) {
        comm->SendPeerAddresses();
        ok = Pump([&] { return notes.Count(net::kNotifyGroupConnected) > 0; }, o.timeoutMs);
      }
    }
    for (uint32_t id = 1; id <= static_cast<uint32_t>(o.players); ++id) ids.push_back(id);
    if (ok) {
      Svc().game->CreateGame(o.mode);
      TGame* g = CurrentGame();
      g->state.firstHole = 0;
      g->state.holeCount = static_cast<uint16_t>(o.holes);
      for (int slot = 0; slot < o.players; ++slot) SetUpGolfer(g, slot, slot == 0 ? o.name.c_str() : nullptr);
      ok = ExchangeVoice(o) && (net::HostStartNetGame(ids, o.timeoutMs) == net::StartOutcome::kStarted);
      std::fprintf(stderr, "netpeer: start exchange %s\n", ok ? "done" : "failed");
      for (int slot = 0; slot < o.players; ++slot) SetUpGolfer(g, slot, nullptr);
    }
  } else {
    // Ask the hosts of the lobby for their games until one answers, then join it.
    std::vector<uint8_t> advert;
    DWORD last = 0;
    ok = Pump(
        [&] {
          if (GetTickCount() - last > 500) {
            net::SessionManager->SetLocalPlayer(record);
            last = GetTickCount();
          }
          notes.Drain();
          for (auto& [code, data] : notes.seen)
            if (code == net::kNotifySessionAdvert && ReadLE32(data.data() + 8) == 1) {
              advert = data;
              return true;
            }
          // The online server answers a player record with the room's games.
          net::SessionEntry listed;
          if (net::SessionManager->sessions.GetEntry(0, &listed)) {
            advert.assign(12, 0);
            advert.insert(advert.end(), listed.bytes, listed.bytes + net::kSessionEntrySize);
            return true;
          }
          return false;
        },
        o.timeoutMs);
    if (ok) {
      std::printf("found the game of %u\n", ReadLE32(advert.data() + 12));
      std::fflush(stdout);
      comm->JoinHost(advert.data() + 12 + 84);
      ok = Pump([&] { return comm->joined(); }, o.timeoutMs);
    }
    if (ok) {
      Svc().game->CreateGame(kModeStroke);
      SetUpGolfer(CurrentGame(), 0, o.name.c_str());
      std::fprintf(stderr, "netpeer: joined as player %u\n", comm->GetLocalId());
      ok = ExchangeVoice(o) && net::JoinNetGame(o.timeoutMs);
      std::fprintf(stderr, "netpeer: start exchange %s\n", ok ? "done" : "failed");
    }
    if (ok) {
      // Play order is the group's player ids, lowest first, as the host made it.
      comm->BuildPlayerList(1);
      for (int i = 0; i < comm->GetPlayerCount(); ++i) ids.push_back(ReadLE32(comm->GetPlayerEntry(i)));
      std::sort(ids.begin(), ids.end());
      TGame* g = CurrentGame();
      for (size_t slot = 0; slot < ids.size(); ++slot) SetUpGolfer(g, static_cast<int>(slot), nullptr);
    }
  }
  if (ok) {
    TGame* g = CurrentGame();
    for (size_t slot = 0; slot < ids.size(); ++slot) g->players->GetPlayer(static_cast<int>(slot))->machineId = ids[slot];
    std::printf("playing as player %u of %zu\n", comm->GetLocalId(), ids.size());
    std::fflush(stdout);
    ok = PlayRound(o);
  }
  PrintResult(ok, ids, o.holes);
  std::fflush(stdout);
  net::DestroyCommLayer();
  DeleteCurrentGame();
  return ok ? 0 : 1;
}

// A modem round of two: the host answers the number, the joiner dials it; the host greets the caller, then the
// same start exchange and round.
int RunModem(const Options& o) {
  // The player's modem, as the configuration screen stores the choice.
  RegistryMgr("Modem", true).WriteValue("LineDevice", static_cast<DWORD>(0));
  // The answering line takes calls to its number.
  if (o.host) setenv("WINAPI_MODEM_NUMBER", o.number.c_str(), 1);
  if (!net::CreateCommLayer(o.host ? 3 : 4)) {
    std::fprintf(stderr, "netpeer: the comm layer did not start\n");
    return 3;
  }
  auto* comm = dynamic_cast<net::ModemMgr*>(net::CommObject);
  comm->SetLocalGolfer(o.name.c_str());
  // The stages of the modem screen: hosting, dialling; the set-up messages then go to the comm queue.
  net::NetPlayStage = o.host ? 4 : 5;
  if (o.host) {
    std::printf("answering %s\n", o.number.c_str());
    std::fflush(stdout);
  }
  // The call is waited for on a thread of its own, as the modem screen does; the host may not be listening yet,
  // so a number nobody answers is dialled again.
  std::atomic<int> call{0};
  std::atomic<bool> waited{false};
  std::thread waiter([&] {
    const DWORD start = GetTickCount();
    int r = 0;
    do {
      if (!o.host && !comm->Dial(o.number.c_str())) {
        r = net::TapiMgr::kRequestFailed;
        break;
      }
      r = comm->WaitForConnection();
      if (o.host || r != net::TapiMgr::kNoAnswer) break;
      Sleep(100);
    } while (GetTickCount() - start < o.timeoutMs);
    call = r;
    waited = true;
  });
  if (!Pump([&] { return waited.load(); }, o.timeoutMs)) comm->StopWaiting();
  waiter.join();
  const int result = call.load() == net::ModemMgr::kLinkUp ? net::TapiMgr::kConnected : call.load();
  std::fprintf(stderr, "netpeer: call result 0x%x\n", result);
  // The host passes its level and hears the caller's golfer file.
  bool ok = result == net::TapiMgr::kConnected &&
            (o.host ? net::GreetModemCaller(1, o.timeoutMs) : net::AnswerModemGreeting("GOLFER", o.timeoutMs) >= 0);
  std::fprintf(stderr, "netpeer: greeting %s\n", ok ? "exchanged" : "failed");
  ok = ok && ExchangeVoice(o);
  const std::vector<uint32_t> ids = {1, 2};
  if (ok && o.host) {
    Svc().game->CreateGame(kModeStroke);
    TGame* g = CurrentGame();
    g->state.firstHole = 0;
    g->state.holeCount = static_cast<uint16_t>(o.holes);
    for (int slot = 0; slot < 2; ++slot) SetUpGolfer(g, slot, slot == 0 ? o.name.c_str() : nullptr);
    ok = (net::HostStartNetGame(ids, o.timeoutMs) == net::StartOutcome::kStarted);
    for (int slot = 0; slot < 2; ++slot) SetUpGolfer(g, slot, nullptr);
  } else if (ok) {
    Svc().game->CreateGame(kModeStroke);
    SetUpGolfer(CurrentGame(), 0, o.name.c_str());
    ok = net::JoinNetGame(o.timeoutMs);
    if (ok)
      for (int slot = 0; slot < 2; ++slot) SetUpGolfer(CurrentGame(), slot, nullptr);
  }
  std::fprintf(stderr, "netpeer: start exchange %s\n", ok ? "done" : "failed");
  if (ok) {
    TGame* g = CurrentGame();
    for (size_t slot = 0; slot < ids.size(); ++slot) g->players->GetPlayer(static_cast<int>(slot))->machineId = ids[slot];
    std::printf("playing as player %u of 2\n", comm->GetLocalId());
    std::fflush(stdout);
    ok = PlayRound(o);
  }
  PrintResult(ok, ids, o.holes);
  std::fflush(stdout);
  net::DestroyCommLayer();
  DeleteCurrentGame();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.dir = (std::filesystem::temp_directory_path() / ("netpeer-" + std::to_string(GetCurrentProcessId()))).string();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
    if (a == "--host") o.host = true;
    else if (a == "--join") o.host = false;
    else if (a == "--players") o.players = std::clamp(std::atoi(next().c_str()), 2, 4);
    else if (a == "--type") o.type = std::atoi(next().c_str());
    else if (a == "--holes") o.holes = std::clamp(std::atoi(next().c_str()), 1, 18);
    else if (a == "--mode") o.mode = std::clamp(std::atoi(next().c_str()), 0, 10);
    else if (a == "--dir") o.dir = next();
    else if (a == "--name") o.name = next();
    else if (a == "--number") o.number = next();
    else if (a == "--server") o.server = next();
    else if (a == "--forge") o.forge = true;
    else if (a == "--score-server") o.scoreServer = next();
    else if (a == "--expect-voice") o.expectVoice = std::atoi(next().c_str());
    else if (a == "--suspend-voice") o.suspendMs = static_cast<uint32_t>(std::atoi(next().c_str()));
    else if (a == "--voice") {
      std::istringstream list(next());
      for (std::string ms; std::getline(list, ms, ',');) {
        // "c600": a recording cancelled after 600 ms.
        o.voiceCancel.push_back(!ms.empty() && ms[0] == 'c');
        o.voiceMs.push_back(static_cast<uint32_t>(std::atoi(ms.c_str() + (o.voiceCancel.back() ? 1 : 0))));
      }
    }
    else if (a == "--chat") g_chat = next();
    else if (a == "--timeout") o.timeoutMs = static_cast<uint32_t>(std::atoi(next().c_str())) * 1000;
    else {
      std::fprintf(stderr, "usage: netpeer --host --players N [--mode M] | --join  [--type 0|1|2] [--server HOST] [--holes H] [--dir D] [--name N]\n");
      return 2;
    }
  }
  if (o.name.empty()) o.name = o.host ? "Host" : "Guest" + std::to_string(GetCurrentProcessId() % 1000);
  if (!o.server.empty() && !net::SetGameServerHost(o.server.c_str())) return 2;
  g_forge = o.forge && !o.host;
  return Run(o);
}

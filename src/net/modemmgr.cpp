#include "net/modemmgr.h"

#include <cstring>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "platformlib/core/byteorder.h"

namespace net {
ModemMgr::ModemMgr(bool answering)
    : localId_(answering ? 1 : 2), remoteId_(answering ? 2 : 1),
      settings_(winapi::tapi::LineSettings::FromEnvironment()) {
  hostFlag = answering ? 1 : 0;
  ResetLinkFailure();
  GolfHandshake = HandshakeSettings{3000, 30, 15000, 6};
  WriteLE32(players_[0], localId_);
  WriteLE32(players_[1], remoteId_);
  SetLocalGolfer("GOLFER");
}

ModemMgr::~ModemMgr() {
  // A dial or an answer still waiting on another thread is woken, and ends before anything it uses goes.
  stopping_ = true;
  {
    std::lock_guard<std::mutex> lock(callLock_);
    if (answerer_) answerer_->Cancel();
  }
  while (waiting_.load() > 0) Sleep(10);
  // The threads end before the call they read goes.
  if (link_) link_->Stop();
  link_.reset();
  if (call_) call_->Hangup();
}

int ModemMgr::Init() {
  // A data modem must be installed, and the player must have chosen one of them.
  if (settings_.lines.empty()) {
    Svc().frontEnd->ShowMessageDialog("No installed modems found by Windows.", 0);
    return 0;
  }
  RegistryMgr modem("Modem", false);
  uint32_t device = 0;
  if (!modem.ReadValue("LineDevice", &device, sizeof device) || device >= settings_.lines.size()) {
    Svc().frontEnd->ShowMessageDialog("Error initializing modem.", 0);
    return 0;
  }
  const int started = CCommBase::Init();
  // A modem line is slower to answer than a LAN.
  GolfHandshake.periodMs = 4000;
  return started;
}

int ModemMgr::Shutdown() {
  if (link_) link_->Stop();
  return CCommBase::Shutdown();
}

int ModemMgr::SetLocalGolfer(const char* name) {
  std::memset(players_[0] + 4, 0, 52);
  if (name) std::strncpy(reinterpret_cast<char*>(players_[0] + 4), name, 51);
  return 1;
}

int ModemMgr::GetPlayerCount() { return (linkUp() ? 1 : 0) + (includeSelf_ ? 1 : 0); }

const uint8_t* ModemMgr::GetPlayerEntry(int n) {
  if (!includeSelf_) return players_[1];
  return n == 0 ? players_[0] : players_[1];
}

int ModemMgr::StartLink(std::unique_ptr<winapi::tapi::ModemCall> call) {
  call_ = std::move(call);
  port_ = std::make_unique<ModemCallPort>(call_.get());
  ModemLink::Events events;
  events.deliver = [this](uint32_t, std::vector<uint8_t>&& m) {
    PostGameData(remoteId_, m.data(), static_cast<uint32_t>(m.size()));
  };
  events.linkFailure = [this] { PostLinkFailure(); };
  link_ = std::make_unique<ModemLink>(port_.get(), call_->Baud(), localId_, std::move(events));
  link_->Start();
  return winapi::tapi::kCallConnected;
}

namespace {
// Counts a dial or an answer in progress, for the tear-down to wait for.
struct Waiting {
  explicit Waiting(std::atomic<int>& n) : n_(n) { ++n_; }
  ~Waiting() { --n_; }
  std::atomic<int>& n_;
};
}  // namespace

int ModemMgr::Answer(const std::string& number, uint32_t ms) {
  Waiting waiting(waiting_);
  if (stopping_) return kStopped;
  if (!hostFlag) return winapi::tapi::kCallFailed;
  {
    std::lock_guard<std::mutex> lock(callLock_);
    if (!answerer_) {
      auto answerer = std::make_unique<winapi::tapi::ModemAnswerer>(settings_);
      if (!answerer->Listen(number)) return winapi::tapi::kCallFailed;
      answerer_ = std::move(answerer);
    }
  }
  auto call = answerer_->Answer(ms);
  if (stopping_) return kStopped;
  if (!call) return winapi::tapi::kCallNoAnswer;
  answerer_->SetBusy(true);
  return StartLink(std::move(call));
}

void ModemMgr::TurnAwayCallers(uint32_t ms) {
  if (answerer_) answerer_->Answer(ms);
}

int ModemMgr::Dial(const std::string& number) {
  Waiting waiting(waiting_);
  if (stopping_) return kStopped;
  if (hostFlag) return winapi::tapi::kCallFailed;
  int result = 0;
  auto call = winapi::tapi::DialNumber(number, settings_, &result, &stopping_);
  if (stopping_) return kStopped;
  if (!call) return result;
  return StartLink(std::move(call));
}

void ModemMgr::SendGameData(uint32_t destination, const void* data, uint32_t n) {
  if (n == 0 || destination == localId_) return;
  // A destination beyond the two players reaches this game too, as from that id.
  if (destination > 2) PostGameData(destination, data, n);
  if (link_ && !link_->Send(data, n)) OutputDebugStringA("Out of Memory in Send");
}

void ModemMgr::BroadcastGameData(uint32_t, const void* data, uint32_t n) {
  if (n == 0) return;
  PostGameData(localId_, data, n);
  SendGameData(remoteId_, data, n);
}

void ModemMgr::SendGameWords(uint32_t destination, uint32_t a, uint32_t b) {
  uint8_t words[8];
  WriteLE32(words, a);
  WriteLE32(words + 4, b);
  SendGameData(destination, words, 8);
}

void ModemMgr::BroadcastGameWords(uint32_t, uint32_t a, uint32_t b) {
  uint8_t words[8];
  WriteLE32(words, a);
  WriteLE32(words + 4, b);
  BroadcastGameData(localId_, words, 8);
}

}  // namespace net

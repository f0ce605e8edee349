// The comm object of the modem connection types: two machines over one modem call, the answering side player 1
// and the caller player 2. Game data travels as messages of the modem link; there are no group or lobby
// messages.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "net/commbase.h"
#include "net/modemlink.h"
#include "winapi/tapi/modemline.h"

namespace net {

// A modem call as the link's serial line.
class ModemCallPort : public ModemPort {
 public:
  explicit ModemCallPort(winapi::tapi::ModemCall* call) : call_(call) {}
  uint32_t Waiting() override { return call_->Waiting(); }
  uint32_t Read(uint8_t* into, uint32_t n) override { return call_->Read(into, n); }
  bool Write(const uint8_t* data, uint32_t n) override { return call_->Write(data, n); }
  bool Carrier() override { return call_->Carrier(); }
  void PurgeInput() override { call_->PurgeInput(); }

 private:
  winapi::tapi::ModemCall* call_;
};

class ModemMgr : public CCommBase {
 public:
  static constexpr int kStopped = 5;
  explicit ModemMgr(bool answering);
  ~ModemMgr() override;

  int Init() override;
  int Shutdown() override;
  void SendGameData(uint32_t destination, const void* data, uint32_t n) override;
  void BroadcastGameData(uint32_t origin, const void* data, uint32_t n) override;
  void SendGameWords(uint32_t destination, uint32_t a, uint32_t b) override;
  void BroadcastGameWords(uint32_t origin, uint32_t a, uint32_t b) override;
  void SendToOthers(const void* data, uint32_t n) override { SendGameData(remoteId_, data, n); }
  int SetLocalGolfer(const char* name) override;
  uint32_t GetLocalId() override { return localId_; }
  void BuildPlayerList(int includeSelf) override { includeSelf_ = includeSelf != 0; }
  int GetPlayerCount() override;
  const uint8_t* GetPlayerEntry(int n) override;
  void DropPlayer(uint32_t) override {}
  void BeginGame() override {}

  // The answering side waits up to `ms` for a call to `number`; the calling side dials it. Each returns the
  // call's result (0x67 connected, else busy 0x6a, no answer 0x6b, failed 0x6d, or kStopped when the object is
  // being torn down meanwhile); once connected the link runs. Either may run on a thread of its own: the
  // destructor wakes it and waits for it.
  int Answer(const std::string& number, uint32_t ms);
  int Dial(const std::string& number);
  // The answering side turns further callers away as busy for up to `ms` (while its call is up).
  void TurnAwayCallers(uint32_t ms);
  bool linkUp() const { return link_ && !link_->failed(); }
  void SetLineSettings(const winapi::tapi::LineSettings& s) { settings_ = s; }
  // The call itself (tests drop its carrier).
  winapi::tapi::ModemCall* call() { return call_.get(); }

 private:
  int StartLink(std::unique_ptr<winapi::tapi::ModemCall> call);

  bool includeSelf_ = false;
  uint32_t localId_, remoteId_;
  uint8_t players_[2][56] = {};
  winapi::tapi::LineSettings settings_;
  std::unique_ptr<winapi::tapi::ModemAnswerer> answerer_;
  std::unique_ptr<winapi::tapi::ModemCall> call_;
  std::unique_ptr<ModemPort> port_;
  std::unique_ptr<ModemLink> link_;
  std::mutex callLock_;  // the answerer, between a waiting call and the tear-down
  std::atomic<bool> stopping_{false};
  std::atomic<int> waiting_{0};
};

}  // namespace net

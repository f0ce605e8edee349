// The comm object of the modem connection types: two machines over one modem call, the answering side player 1
// and the caller player 2. The call is the line manager's (TapiMgr); its serial port carries the game data as
// messages of the modem link. There are no group or lobby messages.
#pragma once

#include <atomic>
#include <memory>

#include "net/commbase.h"
#include "net/modemlink.h"
#include "net/tapimgr.h"

namespace net {

// A connected call's serial port, through the comm functions; closed with the object.
class SerialPort : public ModemPort {
 public:
  explicit SerialPort(HANDLE port) : port_(port) {}
  ~SerialPort() override;
  uint32_t Waiting() override;
  uint32_t Read(uint8_t* into, uint32_t n) override;
  bool Write(const uint8_t* data, uint32_t n) override;
  bool Carrier() override;
  void PurgeInput() override;
  uint32_t LineErrors() override;
  HANDLE handle() const { return port_; }

 private:
  HANDLE port_;
};

class ModemMgr : public CCommBase {
 public:
  // What WaitForConnection returns besides the line manager's results.
  static constexpr int kStopped = 5, kLinkUp = 6;
  explicit ModemMgr(bool answering);
  ~ModemMgr() override;

  // Starts the line manager and opens the chosen modem's line (the answering side then takes calls to its
  // number); 1, or 0 after telling the player why.
  int Init() override;
  int Shutdown() override;
  void SendGameData(uint32_t destination, const void* data, uint32_t n) override;
  void BroadcastGameData(uint32_t origin, const void* data, uint32_t n) override;
  void SendGameWords(uint32_t destination, uint32_t a, uint32_t b) override;
  void BroadcastGameWords(uint32_t origin, uint32_t a, uint32_t b) override;
  void SendToOthers(const void* data, uint32_t n) override { SendGameData(remoteId_, data, n); }
  int SetLocalGolfer(const char* name) override;
  // The far end's golfer, as its greeting names it.
  void SetRemoteGolfer(const char* name);
  uint32_t GetLocalId() override { return localId_; }
  void BuildPlayerList(int includeSelf) override { includeSelf_ = includeSelf != 0; }
  int GetPlayerCount() override;
  const uint8_t* GetPlayerEntry(int n) override;
  void DropPlayer(uint32_t) override {}
  void BeginGame() override {}

  // The calling side asks for a call to `number`: 1 when it was asked for, 0 without a number or an open line.
  int Dial(const char* number);
  // Waits until the call dialled (or, answering, the next incoming one) is connected or has failed: kLinkUp
  // with the link running, kStopped when the object is being torn down meanwhile, else the line manager's
  // result (busy 0x6a, no answer 0x6b, failed 0x6d ...). May run on a thread of its own: the tear-down wakes it
  // and waits for it.
  int WaitForConnection();
  // Wakes a WaitForConnection for good (it returns kStopped), as the player's cancel does.
  void StopWaiting() { SetEvent(stop_); }
  bool linkUp() const { return up_ && link_ && !link_->failed(); }

 private:
  void StopLink();
  // Wakes a wait for the call, stops the link, drops the call and closes the line.
  void Close();

  bool includeSelf_ = false;
  uint32_t localId_, remoteId_;
  uint8_t players_[2][56] = {};
  std::unique_ptr<TapiMgr> tapi_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<ModemLink> link_;
  HANDLE stop_ = nullptr;
  std::atomic<bool> up_{false};
  std::atomic<int> waiting_{0};
};

}  // namespace net

// The base of the comm objects: notifications to the front end (by default into the object's guarded queue),
// game data handed to the comm-message thread, and that thread's start and stop.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/core/commqueue.h"
#include "windows.h"

namespace net {

// The stage of network play is the framework's comm state word; the shared game word is the round's origin of
// its broadcasts.
inline std::atomic<int32_t>& NetPlayStage = CommState;
extern std::atomic<uint32_t> SharedGameWord;

// Thread messages of game data: from a remote player, and made on this machine.
constexpr UINT kGameDataFromPeer = WM_COMM_MESSAGE;
constexpr UINT kGameDataLocal = WM_COMM_REDELIVER;

class CCommBase {
 public:
  CCommBase();
  virtual ~CCommBase();
  CCommBase(const CCommBase&) = delete;
  CCommBase& operator=(const CCommBase&) = delete;

  virtual int Init();
  virtual int Shutdown();
  virtual void SendGameData(uint32_t destination, const void* data, uint32_t n) = 0;
  virtual void BroadcastGameData(uint32_t origin, const void* data, uint32_t n) = 0;
  virtual void SendGameWords(uint32_t destination, uint32_t a, uint32_t b) = 0;
  virtual void BroadcastGameWords(uint32_t origin, uint32_t a, uint32_t b) = 0;
  // Game data to every other player of the group, without the local copy.
  virtual void SendToOthers(const void* data, uint32_t n) = 0;
  virtual int SetLocalGolfer(const char* name) = 0;
  virtual uint32_t GetLocalId() = 0;
  virtual void BuildPlayerList(int includeSelf) = 0;
  virtual int GetPlayerCount() = 0;
  virtual const uint8_t* GetPlayerEntry(int n) = 0;  // {u32 player id; char name[52]}
  virtual void DropPlayer(uint32_t id) = 0;
  virtual void BeginGame() = 0;

  void SetNotifyQueue() { notifyMode_ = 0; }
  void SetNotifyWindow(HWND window, UINT message);
  void SetNotifyThread(DWORD thread, UINT message);
  // The comm-message thread, target of game data.
  void SetNotifyThreadId(DWORD thread) { notifyThread_ = thread; }
  // Queue mode: the value belongs to whoever takes the notification (buffers free with CommMessageFree).
  void Notify(uint32_t code, uintptr_t value);
  // {sender, n, data} to the comm-message thread; sender 0 means made here.
  void PostGameData(uint32_t sender, const void* data, uint32_t n);
  void PostLinkFailure();
  // The oldest notification: 1, or 0 when none.
  int TakeNotification(uint32_t* code, uintptr_t* value, uint32_t* length);

  uint32_t hostFlag = 0;
  uint32_t gameStarted = 0;

 protected:
  DWORD notifyThread_ = 0;
  uint8_t notifyMode_ = 0;
  GuardedQueue queue_{};
  HWND notifyWindow_ = nullptr;
  UINT notifyMessage_ = 0;
};

int StartCommMsgThread(CCommBase* comm);
int StopCommMsgThread();
// A new link may report its failure once again.
void ResetLinkFailure();

}  // namespace net

#include "net/commbase.h"

#include <cstring>

#include "framework/core/registry.h"
#include "platformlib/core/byteorder.h"

namespace net {

std::atomic<uint32_t> SharedGameWord{0};

namespace {
HANDLE g_thread = nullptr;
std::atomic<bool> g_stopping{false};
std::atomic<bool> g_linkFailurePosted{false};
}  // namespace

CCommBase::CCommBase() { GuardedQueueCreate(&queue_); }

CCommBase::~CCommBase() {
  // Buffers that nobody took go with the queue.
  uint32_t code;
  uintptr_t value;
  uint32_t length;
  while (TakeNotification(&code, &value, &length)) {
    if (code == 0x2504 || code == 0x2505 || code == 0x2506 || code == 0x2509 || code == 0x2500 || code == 0x2501 ||
        code == 0x2405 || code == 0x2406 || code == 0x2409)
      CommMessageFree(reinterpret_cast<uint8_t*>(value));
  }
  GuardedQueueDestroy(&queue_);
}

int CCommBase::Init() { return StartCommMsgThread(this); }
int CCommBase::Shutdown() { return StopCommMsgThread(); }

void CCommBase::SetNotifyWindow(HWND window, UINT message) {
  notifyMode_ = 1;
  notifyWindow_ = window;
  notifyMessage_ = message;
}

void CCommBase::SetNotifyThread(DWORD thread, UINT message) {
  notifyMode_ = 2;
  notifyThread_ = thread;
  notifyMessage_ = message;
}

void CCommBase::Notify(uint32_t code, uintptr_t value) {
  switch (notifyMode_) {
    case 1:
      PostMessageA(notifyWindow_, notifyMessage_, code, static_cast<LPARAM>(value));
      break;
    case 2:
      PostThreadMessageA(notifyThread_, notifyMessage_, code, static_cast<LPARAM>(value));
      break;
    default:
      GuardedQueuePush(&queue_, value, 0, code);
      break;
  }
}

int CCommBase::TakeNotification(uint32_t* code, uintptr_t* value, uint32_t* length) {
  MSG msg{};
  if (!GuardedQueuePop(&queue_, &msg)) return 0;
  *code = msg.message;
  *value = msg.wParam;
  *length = static_cast<uint32_t>(msg.lParam);
  return 1;
}

void CCommBase::PostGameData(uint32_t sender, const void* data, uint32_t n) {
  uint8_t* buffer = CommMessageAlloc(n + 12);
  if (!buffer) return;
  WriteLE32(buffer, sender);
  WriteLE32(buffer + 4, n);
  if (n) std::memcpy(buffer + 8, data, n);
  const UINT message = sender ? kGameDataFromPeer : kGameDataLocal;
  if (!notifyThread_ || !PostThreadMessageA(notifyThread_, message, n + 8, reinterpret_cast<LPARAM>(buffer)))
    CommMessageFree(buffer);
}

void CCommBase::PostLinkFailure() {
  if (g_linkFailurePosted.exchange(true)) return;
  uint8_t word[4];
  WriteLE32(word, 0x31);
  PostGameData(0, word, 4);
}

void ResetLinkFailure() { g_linkFailurePosted = false; }

int StartCommMsgThread(CCommBase* comm) {
  if (CommQueue) GuardedQueueClear(CommQueue);
  CommStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  g_thread = CreateThread(nullptr, 0, CommMessagePumpThread, nullptr, 0, &id);
  if (!g_thread) {
    CloseHandle(CommStopEvent);
    CommStopEvent = nullptr;
    return 0;
  }
  // Posts to the thread need its queue, which it makes first thing.
  for (int i = 0; i < 5000 && CommThreadId.load() != id; ++i) Sleep(1);
  NetPlayStage = 0;
  SharedGameWord = 0;
  comm->SetNotifyThreadId(id);
  return 1;
}

int StopCommMsgThread() {
  if (g_stopping.exchange(true)) return 1;
  if (g_thread) {
    SetEvent(CommStopEvent);
    // Nothing the thread uses is freed before it has ended.
    while (WaitForSingleObject(g_thread, 3000) == WAIT_TIMEOUT) WriteLogLine("Comm message thread still running");
    CloseHandle(g_thread);
    g_thread = nullptr;
    CloseHandle(CommStopEvent);
    CommStopEvent = nullptr;
  }
  NetPlayStage = 0;
  g_stopping = false;
  return 1;
}

}  // namespace net

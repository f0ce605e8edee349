#include "framework/core/commqueue.h"

#include <cstdio>
#include <new>

#include "framework/core/services.h"
#include "platformlib/core/byteorder.h"

std::atomic<int32_t> CommState{0};
HWND CommQueueWindow = nullptr;
GuardedQueue* CommQueue = nullptr;
int32_t CommVoiceCount = 1;  // the first voice message received is number 1
std::atomic<int32_t> CommThreadRunning{0};
std::atomic<DWORD> CommThreadId{0};
HANDLE CommStopEvent = nullptr;
GuardedQueue* CommDeferredQueue = nullptr;

namespace {

class QueueLock {
 public:
  explicit QueueLock(GuardedQueue* queue) : mutex_(queue->mutex) { WaitForSingleObject(mutex_, INFINITE); }
  ~QueueLock() { ReleaseMutex(mutex_); }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;

 private:
  HANDLE mutex_;
};

uint32_t Word(const uint8_t* message, uint32_t length, uint32_t offset) {
  // Words past the end of a short message read as 0 rather than past its memory.
  if (offset + 4 > length) return 0;
  const uint8_t* p = message + offset;
  return ReadLE32(p);
}

void Debug(const char* format, uint32_t value) {
  char text[80];
  std::snprintf(text, sizeof text, format, static_cast<int>(value));
  OutputDebugStringA(text);
}

bool Post(uint32_t id, uintptr_t argument) {
  return PostMessageA(CommQueueWindow, WM_GOLF, id, static_cast<LPARAM>(argument)) != FALSE;
}

// A golf message for a peer's message: the game's argument made from the body (the null game gives `plain`).
// True when the message's memory went to the receiver.
bool PostFromPeer(uint32_t id, uint32_t sender, uint8_t* message, uint32_t length, uintptr_t plain) {
  GameProvider& game = *Svc().game;
  const intptr_t argument = game.PeerArgument(id, sender, message + kCommArgumentA, length - kCommArgumentA,
                                              static_cast<intptr_t>(plain));
  if (argument == GameProvider::kPeerRefused) {
    Debug("Golf message refused: %d", id);
    return false;
  }
  if (!Post(id, static_cast<uintptr_t>(argument))) {
    game.ReleasePeerArgument(argument);
    return false;
  }
  return static_cast<uintptr_t>(argument) == reinterpret_cast<uintptr_t>(message);
}

bool Queue(uintptr_t first, uintptr_t second, uintptr_t third) {
  return CommQueue && GuardedQueuePush(CommQueue, first, second, third);
}

GuardedQueueEntry* NewEntry(uintptr_t first, uintptr_t second, uintptr_t third) {
  auto* entry = new (std::nothrow) GuardedQueueEntry{nullptr, nullptr, first, second, third};
  return entry;
}

// True when the message's memory went to a receiver.
bool DispatchSystem(uint32_t code, const uint8_t* message, uint32_t length, bool postMode) {
  switch (code) {
    case 3:
      Queue(0x1404, Word(message, length, kCommArgumentB), 0);
      break;
    case 5:
    case 7:
    case 0x21:
      break;
    case 0x31:
      if (postMode)
        Post(0x701, 0);
      else
        Queue(0x701, 0, 0);
      break;
    case 0x140B:
      Queue(0x140B, Word(message, length, kCommArgumentB), 0);
      break;
    case 0x140C:
      if (postMode) {
        // The lost player's id; the game makes the golf message's argument of it.
        const uint32_t lost = Word(message, length, kCommArgumentA);
        const intptr_t argument = Svc().game->PeerArgument(0x702, lost, nullptr, 0, static_cast<intptr_t>(lost));
        if (argument != GameProvider::kPeerRefused && !Post(0x702, static_cast<uintptr_t>(argument)))
          Svc().game->ReleasePeerArgument(argument);
      } else
        Queue(0x702, Word(message, length, kCommArgumentA), 0);
      break;
    case 0x140D:
      Queue(0x140D, 0, 0);
      break;
    default:
      Debug("Unexpected system message: %d", code);
      break;
  }
  return false;
}

// The network screens' set-up exchange: taken in queue mode only, as nothing reads the comm queue during a round.
bool SetUpExchange(uint32_t code) {
  switch (code) {
    case 0x704: case 0x71A: case 0x71B: case 0x140A: case 0x1411: case 0x1412: case 0x1413:
    case 0x1414: case 0x1415: case 0x1416:
      return true;
    default:
      return false;
  }
}

bool DispatchUser(uint32_t sender, uint32_t code, uint8_t* message, uint32_t length, bool postMode) {
  const auto address = reinterpret_cast<uintptr_t>(message);
  if (postMode && SetUpExchange(code)) {
    Debug("Set-up message outside the set-up: %d", code);
    return false;
  }
  switch (code) {
    case 0x703:
    case 0x70F:
      return postMode ? PostFromPeer(code, sender, message, length, address) : Queue(code, address, 0);
    case 0x704:
    case 0x71B:
    case 0x140A:
    case 0x1412:
      return Queue(code, address, 0);
    case 0x705:
    case 0x707:
      return PostFromPeer(code, sender, message, length, 0);
    case 0x708: case 0x70A: case 0x70D: case 0x711: case 0x715: case 0x71C: case 0x71D: case 0x71E: case 0x71F:
    case 0x720: case 0x723: case 0x724: case 0x725: case 0x72E: case 0x730:
      return PostFromPeer(code, sender, message, length, sender);
    case 0x709:
      // The hole failed to load there: that machine's golfer leaves.
      return PostFromPeer(0x702, sender, message, length, 0);
    case 0x716: case 0x718: case 0x722: case 0x726:
      return PostFromPeer(code, sender, message, length, address);
    case 0x72D:
      // A poll is answered here; handing it on would send it round the machines for ever.
      Svc().network->SessionSend(sender, 0x72E, 0);
      return false;
    case 0x719:
      if (Svc().network->VoiceExists()) Svc().network->VoiceStoreReceived(message, length, CommVoiceCount++);
      return false;
    case 0x71A:
      Queue(0x71A, sender, 0);
      return false;
    case 0x729:
    case 0x72A:
      return PostFromPeer(code, sender, message, length, Word(message, length, kCommArgumentA));
    case 0x1407:
      Svc().network->SessionSend(sender, 0x1408, 0);
      return false;
    case 0x1411:
      Queue(0x1411, Word(message, length, kCommArgumentA), 0);
      return false;
    case 0x1413:
      Queue(0x1413, 0, 0);
      return false;
    case 0x1414:
    case 0x1415:
    case 0x1416:
      Queue(0, code, sender);
      return false;
    default:
      // Golf messages of this machine alone (ending the round, moving the turn, ...) are never taken from another.
      Debug("Unexpected user message: %d", code);
      return false;
  }
}

}  // namespace

uint8_t* CommMessageAlloc(uint32_t length) { return new (std::nothrow) uint8_t[length ? length : 1](); }
void CommMessageFree(uint8_t* message) { delete[] message; }

GuardedQueue* GuardedQueueCreate(GuardedQueue* queue) {
  queue->head = queue->tail = nullptr;
  queue->mutex = CreateMutexA(nullptr, FALSE, nullptr);
  return queue;
}

void GuardedQueueDestroy(GuardedQueue* queue) {
  GuardedQueueClear(queue);
  CloseHandle(queue->mutex);
  queue->mutex = nullptr;
}

void GuardedQueueClear(GuardedQueue* queue) {
  QueueLock lock(queue);
  for (GuardedQueueEntry* entry = queue->head; entry;) {
    GuardedQueueEntry* next = entry->next;
    delete entry;
    entry = next;
  }
  queue->head = queue->tail = nullptr;
}

bool GuardedQueuePush(GuardedQueue* queue, uintptr_t first, uintptr_t second, uintptr_t third) {
  GuardedQueueEntry* entry = NewEntry(first, second, third);
  if (!entry) return false;
  QueueLock lock(queue);
  entry->previous = queue->tail;
  if (queue->tail)
    queue->tail->next = entry;
  else
    queue->head = entry;
  queue->tail = entry;
  return true;
}

bool GuardedQueuePushFront(GuardedQueue* queue, uintptr_t first, uintptr_t second, uintptr_t third) {
  GuardedQueueEntry* entry = NewEntry(first, second, third);
  if (!entry) return false;
  QueueLock lock(queue);
  entry->next = queue->head;
  if (queue->head)
    queue->head->previous = entry;
  else
    queue->tail = entry;
  queue->head = entry;
  return true;
}

int GuardedQueuePop(GuardedQueue* queue, MSG* out) {
  GuardedQueueEntry* entry;
  {
    QueueLock lock(queue);
    entry = queue->head;
    if (!entry) return 0;
    queue->head = entry->next;
    if (queue->head)
      queue->head->previous = nullptr;
    else
      queue->tail = nullptr;
  }
  out->message = static_cast<UINT>(entry->third);
  out->wParam = entry->first;
  out->lParam = static_cast<LPARAM>(entry->second);
  delete entry;
  return 1;
}

int GuardedQueueCount(GuardedQueue* queue) {
  QueueLock lock(queue);
  int count = 0;
  for (GuardedQueueEntry* entry = queue->head; entry; entry = entry->next) ++count;
  return count;
}

void DispatchCommMessage(uint32_t length, uint8_t* message, int redeliver) {
  if (!message) return;
  if (length < kCommCodeOffset + 4) {
    Debug("Comm message too short to hold its code: %d bytes", length);
    CommMessageFree(message);
    return;
  }
  const uint32_t sender = Word(message, length, kCommSenderOffset);
  const uint32_t code = Word(message, length, kCommCodeOffset);
  if (Svc().game->GameExists() && Svc().game->GamePaused()) {
    if (code == 0x717) Svc().network->SessionSend(sender, 0x716, 0x72F);
    if (code == 0x72D) Svc().network->SessionSend(sender, 0x72E, 0);
    if (!CommDeferredQueue) {
      // Without the comm thread nothing would ever hand it back.
      CommMessageFree(message);
      return;
    }
    const auto address = reinterpret_cast<uintptr_t>(message);
    const bool kept = redeliver ? GuardedQueuePushFront(CommDeferredQueue, length, address, WM_COMM_MESSAGE)
                                : GuardedQueuePush(CommDeferredQueue, length, address, WM_COMM_MESSAGE);
    if (!kept) CommMessageFree(message);
    return;
  }
  const int32_t state = CommState;
  if (state == 0) {
    CommMessageFree(message);
    return;
  }
  if (state < 2 || state > 6) {
    OutputDebugStringA("Unexpected communications message arrived.");
    CommMessageFree(message);
    return;
  }
  const bool postMode = state == 6;
  const bool handedOver = sender == 0 ? DispatchSystem(code, message, length, postMode)
                                      : DispatchUser(sender, code, message, length, postMode);
  if (!handedOver) CommMessageFree(message);
}

DWORD CommMessagePump() {
  // The thread's message queue exists before the thread makes itself known, so a first post cannot fail.
  MSG probe{};
  PeekMessageA(&probe, nullptr, 0, 0, PM_NOREMOVE);
  CommThreadId = GetCurrentThreadId();
  CommThreadRunning = 1;
  GuardedQueue* own = nullptr;
  if (!CommDeferredQueue) {
    own = new (std::nothrow) GuardedQueue;
    if (own) CommDeferredQueue = GuardedQueueCreate(own);
  }
  auto wait = [] {
    if (CommStopEvent) return WaitForSingleObject(CommStopEvent, 50) == WAIT_OBJECT_0;
    Sleep(50);
    return false;
  };
  // False when the loop ends.
  auto handle = [](MSG& msg) {
    if (msg.message == WM_QUIT) return false;
    if (msg.message == WM_COMM_MESSAGE || msg.message == WM_COMM_REDELIVER) {
      DispatchCommMessage(static_cast<uint32_t>(msg.wParam), reinterpret_cast<uint8_t*>(msg.lParam),
                          msg.message == WM_COMM_REDELIVER ? 1 : 0);
    } else {
      msg.hwnd = CommQueueWindow;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    return true;
  };
  for (;;) {
    MSG taken{};
    if (CommDeferredQueue && Svc().game->GameExists() && !Svc().game->GamePaused() &&
        GuardedQueuePop(CommDeferredQueue, &taken)) {
      MSG pending{};
      if (PeekMessageA(&pending, reinterpret_cast<HWND>(-1), WM_COMM_REDELIVER, WM_COMM_REDELIVER, PM_REMOVE)) {
        GuardedQueuePushFront(CommDeferredQueue, taken.wParam, static_cast<uintptr_t>(taken.lParam), taken.message);
        if (!handle(pending)) break;
        continue;
      }
      DispatchCommMessage(static_cast<uint32_t>(taken.wParam), reinterpret_cast<uint8_t*>(taken.lParam), 0);
      if (wait()) break;
      continue;
    }
    MSG msg{};
    if (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), WM_COMM_MESSAGE, WM_COMM_REDELIVER, PM_REMOVE)) {
      if (!handle(msg)) break;
    }
    if (wait()) break;
  }
  if (own && CommDeferredQueue == own) {
    // Messages still waiting are owned here; free them with the queue.
    DiscardDeferredCommMessages(own);
    GuardedQueueDestroy(own);
    delete own;
    CommDeferredQueue = nullptr;
  }
  CommThreadRunning = 0;
  CommThreadId = 0;
  return 0;
}

DWORD WINAPI CommMessagePumpThread(LPVOID) { return CommMessagePump(); }

void DeliverDeferredCommMessages() {
  if (!CommDeferredQueue || CommThreadRunning) return;
  GameProvider& game = *Svc().game;
  MSG taken{};
  while (game.GameExists() && !game.GamePaused() && GuardedQueuePop(CommDeferredQueue, &taken))
    DispatchCommMessage(static_cast<uint32_t>(taken.wParam), reinterpret_cast<uint8_t*>(taken.lParam), 0);
}

void DiscardDeferredCommMessages(GuardedQueue* queue) {
  if (!queue) return;
  MSG left{};
  while (GuardedQueuePop(queue, &left)) CommMessageFree(reinterpret_cast<uint8_t*>(left.lParam));
}

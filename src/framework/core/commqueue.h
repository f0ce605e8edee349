// Messages from other machines on their way to the game: the mutex-guarded queues between the
// communication threads and the main thread, the dispatcher that turns a comm message into a golf message,
// a comm-queue entry or a direct answer, and the comm-message thread's pump.
#pragma once

#include <atomic>
#include <cstdint>

#include "windows.h"

struct GuardedQueueEntry {
  GuardedQueueEntry* next;
  GuardedQueueEntry* previous;
  uintptr_t first, second, third;  // wide enough to carry a message's address
};

struct GuardedQueue {
  HANDLE mutex;
  GuardedQueueEntry* head;
  GuardedQueueEntry* tail;
};

GuardedQueue* GuardedQueueCreate(GuardedQueue* queue);
void GuardedQueueDestroy(GuardedQueue* queue);
void GuardedQueueClear(GuardedQueue* queue);
// Both give false (and keep nothing) when the entry cannot be allocated.
bool GuardedQueuePush(GuardedQueue* queue, uintptr_t first, uintptr_t second, uintptr_t third);
bool GuardedQueuePushFront(GuardedQueue* queue, uintptr_t first, uintptr_t second, uintptr_t third);
// Takes the head entry into `out`: third as the message, first as wParam, second as lParam. 1, or 0 when empty.
int GuardedQueuePop(GuardedQueue* queue, MSG* out);
int GuardedQueueCount(GuardedQueue* queue);

// Window and thread messages of the comm layer, and the golf message that carries the game's messages.
constexpr UINT WM_COMM_MESSAGE = 0x1400;
constexpr UINT WM_COMM_REDELIVER = 0x1401;
constexpr UINT WM_GOLF = 0x700;

// A comm message: sender id (0: the communication layer itself), a further word, the code, then its body;
// "argument A" is the word after the code, "argument B" the one after that. Little-endian.
constexpr uint32_t kCommSenderOffset = 0;
constexpr uint32_t kCommCodeOffset = 8;
constexpr uint32_t kCommArgumentA = 12;
constexpr uint32_t kCommArgumentB = 16;
// Messages are allocated by the communication layer with CommMessageAlloc and owned by the dispatcher once
// handed over; a receiver that is given a message's address frees it with CommMessageFree.
uint8_t* CommMessageAlloc(uint32_t length);
void CommMessageFree(uint8_t* message);

// Comm state: 0 no session, 2..5 comm-queue mode, 6 golf messages are posted.
extern std::atomic<int32_t> CommState;
// The queue window that receives the golf messages, and the comm queue read by the network screens.
extern HWND CommQueueWindow;
extern GuardedQueue* CommQueue;
// Number of voice messages received so far.
extern int32_t CommVoiceCount;

// A peer's message becomes the argument of the golf message posted for it through the game provider
// (Svc().game->PeerArgument). Unless that argument is the message's own address (the null game's choice for
// some ids), the dispatcher frees the comm message itself; an argument that cannot be posted is given back.
void DispatchCommMessage(uint32_t length, uint8_t* message, int redeliver);

// The comm thread: its running flag, thread id, stop event (owned by the communication layer) and the
// queue of messages deferred while the game is paused. The window set-up makes the deferred queue for the
// messages that reach the queue window; a comm thread started later uses that one (and makes its own only
// when there is none).
extern std::atomic<int32_t> CommThreadRunning;
extern std::atomic<DWORD> CommThreadId;
extern HANDLE CommStopEvent;
extern GuardedQueue* CommDeferredQueue;
DWORD CommMessagePump();
DWORD WINAPI CommMessagePumpThread(LPVOID);
// Without a comm thread, the main thread hands the deferred messages on, in their order, once a game exists and
// is not paused (the idle step calls it).
void DeliverDeferredCommMessages();
// Frees the messages still deferred (shutdown).
void DiscardDeferredCommMessages(GuardedQueue* queue);

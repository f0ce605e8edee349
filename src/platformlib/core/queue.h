// Intrusive singly linked queues with their own lock and an optional key order; page allocation; waits on
// the library's tick counter.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "windows.h"

// A node is any record whose first word is the link to the next node.
struct QueueNode {
  QueueNode* next;
};

// Keys are as wide as an address, so that the default key (the node's own address) keeps its order.
using QueueKey = uintptr_t;
constexpr QueueKey QUEUE_NOKEY = static_cast<QueueKey>(-1);
using QueueKeyFunction = QueueKey (*)(const void* node, uintptr_t user);
using QueueTest = int (*)(void* node, uintptr_t key);
using QueueCallback = int (*)(void* node, void* context);

constexpr uint32_t QUEUE_CHANGED = 1;
constexpr uint32_t QUEUE_OWNSSECTION = 2;

struct QueueHead {
  uint32_t count;
  std::atomic<uint32_t> flags;  // read by qiterate's walk without the lock
  QueueNode* first;
  QueueNode* last;
  QueueKeyFunction key;
  uintptr_t user;
  CRITICAL_SECTION* section;  // null while the queue is not initialised
};

QueueKey keyisaddress(const void* node, uintptr_t user);

int qinit(QueueHead* queue, QueueKeyFunction key, uintptr_t user);
int qinitpeer(QueueHead* queue, QueueKeyFunction key, uintptr_t user, QueueHead* peer);
void qfree(QueueHead* queue);
void qpush(QueueHead* queue, void* node);
void qbottom(QueueHead* queue, void* node);
void* qpop(QueueHead* queue);
void* qpoplast(QueueHead* queue);
void qinsert(QueueHead* queue, void* node);
int qremove(QueueHead* queue, void* node);
int qlength(QueueHead* queue);
int qposition(QueueHead* queue, const void* node);
QueueKey qlowpriority(QueueHead* queue);
QueueKey qhighpriority(QueueHead* queue);
void* qfind(QueueHead* queue, QueueTest test, uintptr_t key);
void* qfindindex(QueueHead* queue, int index);
void* qfindpriority(QueueHead* queue, QueueKey key);
void* qfetch(QueueHead* queue, QueueTest test, uintptr_t key);
void* qfetchindex(QueueHead* queue, int index);
void* qfetchpriority(QueueHead* queue, QueueKey key);
void* qfetchnext(QueueHead* queue, void* node, int n);
// Calls callback(node, context) from the first node on, without holding the lock; a 0 from the callback or
// a change of the queue ends the walk. Returns the number of calls when the walk was ended early, -1 when
// it went through every node.
int qiterate(QueueHead* queue, QueueCallback callback, void* context);
int qsafeiterate(QueueHead* queue, QueueCallback callback, void* context);
void qlock(QueueHead* queue);
void qunlock(QueueHead* queue);
void* listnth(void* node, int n);
int qunlink(QueueHead* queue, void* node);

// ---- pages ------------------------------------------------------------------------------------------------------------
size_t systempagesize();
void* allocpages(size_t* size);
void freepages(void* address);

// ---- ticks --------------------------------------------------------------------------------------------------------------
uint32_t gettick();
uint32_t tickselapsed(uint32_t start);
uint32_t ticksdelta();  // ticks since the previous call
void resetticks();
void settickdeadline(uint32_t ticks);
int tickdeadlinereached();
void waittickdeadline();
void waitticks(uint32_t ticks);

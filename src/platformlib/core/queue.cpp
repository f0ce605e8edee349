// Queues, page allocation and tick waits.
#include "platformlib/core/queue.h"

#include <atomic>

#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"

namespace {

QueueNode* nodeof(void* node) { return static_cast<QueueNode*>(node); }

QueueKey keyof(const QueueHead* queue, const void* node) {
  return queue->key ? queue->key(node, queue->user) : keyisaddress(node, queue->user);
}

// Holds a queue's section; aborts (and holds nothing) when the queue is not initialised.
class QueueLock {
 public:
  QueueLock(QueueHead* queue, const char* function) : section_(queue ? queue->section : nullptr) {
    if (!section_) {
      if (abortonerror) {
        ABORTCONTEXT("cmn\\queue.c", function);
        abortmessage("%s - UNINITIALIZED QUEUE %08x USED.\n", function,
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(queue)));
      }
      return;
    }
    EnterCriticalSection(section_);
  }
  ~QueueLock() {
    if (section_) LeaveCriticalSection(section_);
  }
  explicit operator bool() const { return section_ != nullptr; }
  QueueLock(const QueueLock&) = delete;
  QueueLock& operator=(const QueueLock&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

void markchanged(QueueHead* queue) { queue->flags.fetch_or(QUEUE_CHANGED); }

void* fetched(QueueHead* queue, void* node, const char* function) {
  if (!node) return nullptr;
  if (!qunlink(queue, node)) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\queue.c", function);
      abortmessage("%s - FOUND ELEMENT THAT COULD NOT BE REMOVED!", function);
    }
    return nullptr;
  }
  return node;
}

int setupqueue(QueueHead* queue, QueueKeyFunction key, uintptr_t user, CRITICAL_SECTION* section, uint32_t flags) {
  queue->count = 0;
  queue->flags = flags;
  queue->first = queue->last = nullptr;
  queue->key = key ? key : keyisaddress;
  queue->user = user;
  queue->section = section;
  return 1;
}

}  // namespace

QueueKey keyisaddress(const void* node, uintptr_t) { return reinterpret_cast<QueueKey>(node); }

int qinit(QueueHead* queue, QueueKeyFunction key, uintptr_t user) {
  CRITICAL_SECTION* section = getcriticalsection();
  if (!section) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\queue.c", "qinit");
      abortmessage("%s - UNINITIALIZED QUEUE %08x USED.\n", "qinit",
                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(queue)));
    }
    return 0;
  }
  return setupqueue(queue, key, user, section, QUEUE_OWNSSECTION);
}

int qinitpeer(QueueHead* queue, QueueKeyFunction key, uintptr_t user, QueueHead* peer) {
  if (!peer || !peer->section) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\queue.c", "qinitpeer");
      abortmessage("%s - UNINITIALIZED QUEUE %08x USED.\n", "qinitpeer",
                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(peer)));
    }
    return 0;
  }
  return setupqueue(queue, key, user, peer->section, 0);
}

void qfree(QueueHead* queue) {
  if (!queue || !queue->section) return;
  if (queue->flags & QUEUE_OWNSSECTION) freecriticalsection(queue->section);
  queue->section = nullptr;
  queue->flags = 0;
}

void qlock(QueueHead* queue) {
  if (queue && queue->section) {
    EnterCriticalSection(queue->section);
  } else if (abortonerror) {
    ABORTCONTEXT("cmn\\queue.c", "qlock");
    abortmessage("%s - UNINITIALIZED QUEUE %08x USED.\n", "qlock", static_cast<unsigned>(reinterpret_cast<uintptr_t>(queue)));
  }
}

void qunlock(QueueHead* queue) {
  if (queue && queue->section) LeaveCriticalSection(queue->section);
}

void* listnth(void* node, int n) {
  QueueNode* p = nodeof(node);
  for (int i = 0; i < n && p; ++i) p = p->next;
  return p;
}

int qunlink(QueueHead* queue, void* node) {
  QueueLock lock(queue, "qunlink");
  if (!lock || !node) return 0;
  QueueNode* prev = nullptr;
  for (QueueNode* p = queue->first; p; prev = p, p = p->next) {
    if (p != node) continue;
    if (prev)
      prev->next = p->next;
    else
      queue->first = p->next;
    if (queue->last == p) queue->last = prev;
    --queue->count;
    p->next = nullptr;
    markchanged(queue);
    return 1;
  }
  return 0;
}

void qpush(QueueHead* queue, void* node) {
  QueueLock lock(queue, "qpush");
  if (!lock || !node) return;
  nodeof(node)->next = queue->first;
  queue->first = nodeof(node);
  if (!queue->last) queue->last = nodeof(node);
  ++queue->count;
  markchanged(queue);
}

void qbottom(QueueHead* queue, void* node) {
  QueueLock lock(queue, "qbottom");
  if (!lock || !node) return;
  nodeof(node)->next = nullptr;
  if (queue->last)
    queue->last->next = nodeof(node);
  else
    queue->first = nodeof(node);
  queue->last = nodeof(node);
  ++queue->count;
  markchanged(queue);
}

void* qpop(QueueHead* queue) {
  QueueLock lock(queue, "qpop");
  if (!lock || !queue->first) return nullptr;
  QueueNode* node = queue->first;
  queue->first = node->next;
  if (!queue->first) queue->last = nullptr;
  node->next = nullptr;
  --queue->count;
  markchanged(queue);
  return node;
}

void* qpoplast(QueueHead* queue) {
  QueueLock lock(queue, "qpoplast");
  if (!lock || !queue->last) return nullptr;
  QueueNode* node = queue->last;
  qunlink(queue, node);
  return node;
}

void qinsert(QueueHead* queue, void* node) {
  QueueLock lock(queue, "qinsert");
  if (!lock || !node) return;
  const QueueKey key = keyof(queue, node);
  QueueNode* prev = nullptr;
  QueueNode* p = queue->first;
  while (p && keyof(queue, p) < key) {
    prev = p;
    p = p->next;
  }
  nodeof(node)->next = p;
  if (prev)
    prev->next = nodeof(node);
  else
    queue->first = nodeof(node);
  if (!p) queue->last = nodeof(node);
  ++queue->count;
  markchanged(queue);
}

int qremove(QueueHead* queue, void* node) {
  QueueLock lock(queue, "qremove");
  if (!lock) return 0;
  return qunlink(queue, node);
}

int qlength(QueueHead* queue) {
  QueueLock lock(queue, "qlength");
  return lock ? static_cast<int>(queue->count) : 0;
}

int qposition(QueueHead* queue, const void* node) {
  QueueLock lock(queue, "qposition");
  if (!lock || !node) return -1;
  const QueueKey key = keyof(queue, node);
  int position = 0;
  for (QueueNode* p = queue->first; p && keyof(queue, p) <= key; p = p->next, ++position)
    if (p == node) return position;
  return -1;
}

QueueKey qlowpriority(QueueHead* queue) {
  QueueLock lock(queue, "qlowpriority");
  if (!lock || !queue->first) return QUEUE_NOKEY;
  return keyof(queue, queue->first);
}

QueueKey qhighpriority(QueueHead* queue) {
  QueueLock lock(queue, "qhighpriority");
  if (!lock || !queue->first) return QUEUE_NOKEY;
  return keyof(queue, queue->first);
}

void* qfind(QueueHead* queue, QueueTest test, uintptr_t key) {
  QueueLock lock(queue, "qfind");
  if (!lock || !test) return nullptr;
  for (QueueNode* p = queue->first; p; p = p->next)
    if (test(p, key)) return p;
  return nullptr;
}

void* qfindindex(QueueHead* queue, int index) {
  QueueLock lock(queue, "qfindindex");
  if (!lock || index < 0) return nullptr;
  return listnth(queue->first, index);
}

void* qfindpriority(QueueHead* queue, QueueKey key) {
  QueueLock lock(queue, "qfindpriority");
  if (!lock) return nullptr;
  QueueNode* p = queue->first;
  while (p && keyof(queue, p) < key) p = p->next;
  return p && keyof(queue, p) == key ? p : nullptr;
}

void* qfetch(QueueHead* queue, QueueTest test, uintptr_t key) {
  QueueLock lock(queue, "qfetch");
  if (!lock) return nullptr;
  return fetched(queue, qfind(queue, test, key), "qfetch");
}

void* qfetchindex(QueueHead* queue, int index) {
  QueueLock lock(queue, "qfetchindex");
  if (!lock) return nullptr;
  return fetched(queue, qfindindex(queue, index), "qfetchindex");
}

void* qfetchpriority(QueueHead* queue, QueueKey key) {
  QueueLock lock(queue, "qfetchpriority");
  if (!lock) return nullptr;
  return fetched(queue, qfindpriority(queue, key), "qfetchpriority");
}

void* qfetchnext(QueueHead* queue, void* node, int n) {
  QueueLock lock(queue, "qfetchnext");
  if (!lock || !node) return nullptr;
  return fetched(queue, listnth(node, n), "qfetchnext");
}

int qiterate(QueueHead* queue, QueueCallback callback, void* context) {
  QueueLock lock(queue, "qiterate");
  if (!lock || !callback) return 0;
  const uint32_t remembered = queue->flags.fetch_and(~QUEUE_CHANGED) & QUEUE_CHANGED;
  int calls = 0;
  // The lock is left around each call, so the callback (or another thread) may change the queue; a change
  // ends the walk, so the next link is read only from a queue that stayed as it was.
  QueueNode* node = queue->first;
  while (node && !(queue->flags & QUEUE_CHANGED)) {
    LeaveCriticalSection(queue->section);
    int result = callback(node, context);
    EnterCriticalSection(queue->section);
    ++calls;
    if (result == 0) markchanged(queue);
    if (queue->flags & QUEUE_CHANGED) break;
    node = node->next;
  }
  const bool ended = (queue->flags & QUEUE_CHANGED) != 0;
  queue->flags.fetch_or(remembered);
  return ended ? calls : -1;
}

int qsafeiterate(QueueHead* queue, QueueCallback callback, void* context) {
  QueueLock lock(queue, "qsafeiterate");
  if (!lock || !callback) return 0;
  const uint32_t remembered = queue->flags.fetch_and(~QUEUE_CHANGED) & QUEUE_CHANGED;
  int calls = 0;
  bool ended = false;
  for (QueueNode* node = queue->first; node;) {
    QueueNode* next = node->next;
    ++calls;
    if (callback(node, context) == 0 || (queue->flags & QUEUE_CHANGED)) {
      ended = true;
      break;
    }
    node = next;
  }
  queue->flags.fetch_or(remembered | (ended ? QUEUE_CHANGED : 0));
  return ended ? calls : -1;
}

// ---- pages --------------------------------------------------------------------------------------------------------

size_t systempagesize() {
  static std::atomic<size_t> pagesize{0};
  size_t size = pagesize.load();
  if (!size) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    size = info.dwPageSize ? info.dwPageSize : 4096;
    pagesize.store(size);
  }
  return size;
}

void* allocpages(size_t* size) {
  if (!size) return nullptr;
  const size_t page = systempagesize();
  size_t rounded = (*size + page - 1) / page * page;
  if (rounded == 0) rounded = page;
  *size = rounded;
  return VirtualAlloc(nullptr, rounded, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void freepages(void* address) {
  if (address) VirtualFree(address, 0, MEM_RELEASE);
}

// ---- ticks ----------------------------------------------------------------------------------------------------------

namespace {
std::atomic<uint32_t> deltaprevious{0};
std::atomic<uint32_t> deadline{0};
}  // namespace

uint32_t tickselapsed(uint32_t start) { return gettick() - start; }

uint32_t ticksdelta() {
  uint32_t now = gettick();
  return now - deltaprevious.exchange(now);
}

void settickdeadline(uint32_t ticks) { deadline = gettick() + ticks; }

int tickdeadlinereached() { return static_cast<int32_t>(gettick() - deadline.load()) >= 0; }

void waittickdeadline() {
  while (!tickdeadlinereached()) {
    runsystemtasks();
    timerwaitstep();
  }
}

void waitticks(uint32_t ticks) {
  const uint32_t start = gettick();
  while (gettick() - start < ticks) {
    runsystemtasks();
    timerwaitstep();
  }
}

void resetticks() {
  resettickcounter();
  deltaprevious = 0;
  deadline = 0;
}

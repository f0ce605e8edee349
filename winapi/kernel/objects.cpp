// The handle table, named objects, waits, events, mutexes and semaphores.
#include "winapi/kernel/objects.h"

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <unordered_set>
#include <utility>

#include "winapi/kernel/clock.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"

namespace winapi::kernel {

struct Waiter {
  DWORD threadId = 0;
  bool all = false;
  std::vector<Waitable*> objects;
  std::condition_variable cv;
  bool done = false;
  DWORD result = WAIT_TIMEOUT;
};

namespace {

const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));
const HANDLE kCurrentProcessPseudo = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

// ---- the handle table ----------------------------------------------------------------------------------------
// Handles are small multiples of 4, as on the platform. A closed slot is reused only after many others, so
// that a stale handle is more likely to be caught as invalid than to reach a new object.
constexpr size_t kMaxHandles = size_t{1} << 22;
constexpr size_t kReuseAfter = 256;

struct Table {
  std::mutex lock;
  std::vector<std::shared_ptr<KernelObject>> slots;
  std::deque<size_t> freeSlots;
  std::map<std::string, std::weak_ptr<KernelObject>> names;
};

Table& T() {
  static Table* table = new Table;
  return *table;
}

bool SlotOf(HANDLE handle, size_t* slot) {
  uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  if (value == 0 || value % 4 != 0 || value / 4 > kMaxHandles) return false;
  *slot = value / 4 - 1;
  return true;
}

// ---- shared wait state ----------------------------------------------------------------------------------------
struct Sync {
  std::mutex lock;
  std::unordered_set<class MutexObject*> mutexes;
};

Sync& Y() {
  static Sync* sync = new Sync;
  return *sync;
}

bool TryComplete(Waiter& w) {
  if (w.objects.empty()) return false;
  if (w.all) {
    for (Waitable* o : w.objects)
      if (!o->Ready(w.threadId)) return false;
    int abandoned = -1;
    for (size_t i = 0; i < w.objects.size(); ++i)
      if (w.objects[i]->Take(w.threadId) && abandoned < 0) abandoned = static_cast<int>(i);
    w.result = abandoned < 0 ? WAIT_OBJECT_0 : WAIT_ABANDONED_0 + abandoned;
    return true;
  }
  for (size_t i = 0; i < w.objects.size(); ++i) {
    if (!w.objects[i]->Ready(w.threadId)) continue;
    bool abandoned = w.objects[i]->Take(w.threadId);
    w.result = static_cast<DWORD>((abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i);
    return true;
  }
  return false;
}

void Register(Waiter& w) {
  for (Waitable* o : w.objects) o->waiters.push_back(&w);
}

void Unregister(Waiter& w) {
  for (Waitable* o : w.objects) o->waiters.remove(&w);
}

}  // namespace

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
  Table& t = T();
  std::lock_guard guard(t.lock);
  size_t slot;
  if (t.freeSlots.size() > kReuseAfter) {
    slot = t.freeSlots.front();
    t.freeSlots.pop_front();
    t.slots[slot] = std::move(object);
  } else if (t.slots.size() < kMaxHandles) {
    slot = t.slots.size();
    t.slots.push_back(std::move(object));
  } else {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return reinterpret_cast<HANDLE>((slot + 1) * 4);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
  if (handle == kCurrentThreadPseudo) return CurrentThread();
  size_t slot;
  if (!SlotOf(handle, &slot)) return nullptr;
  Table& t = T();
  std::lock_guard guard(t.lock);
  return slot < t.slots.size() ? t.slots[slot] : nullptr;
}

bool RemoveHandle(HANDLE handle) {
  size_t slot;
  if (!SlotOf(handle, &slot)) return false;
  std::shared_ptr<KernelObject> object;  // released after the table's lock
  Table& t = T();
  std::lock_guard guard(t.lock);
  if (slot >= t.slots.size() || !t.slots[slot]) return false;
  object = std::move(t.slots[slot]);
  t.freeSlots.push_back(slot);
  return true;
}

std::shared_ptr<KernelObject> FindNamed(const char* name) {
  if (!name || !*name) return nullptr;
  Table& t = T();
  std::lock_guard guard(t.lock);
  auto it = t.names.find(name);
  return it == t.names.end() ? nullptr : it->second.lock();
}

void RegisterName(const char* name, const std::shared_ptr<KernelObject>& object) {
  if (!name || !*name) return;
  Table& t = T();
  std::lock_guard guard(t.lock);
  for (auto it = t.names.begin(); it != t.names.end();)  // forget the dead ones on the way
    it = it->second.expired() ? t.names.erase(it) : std::next(it);
  t.names[name] = object;
}

std::mutex& SyncLock() { return Y().lock; }

void Satisfy(Waitable& object) {
  std::vector<Waiter*> snapshot(object.waiters.begin(), object.waiters.end());
  for (Waiter* w : snapshot) {
    if (w->done || !TryComplete(*w)) continue;
    w->done = true;
    Unregister(*w);
    w->cv.notify_all();
  }
}

DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD milliseconds) {
  auto self = CurrentThread();
  std::unique_lock lk(SyncLock());
  Checkpoint(lk, *self);
  Waiter w;
  w.threadId = self->id;
  w.all = waitAll;
  for (const auto& o : objects) w.objects.push_back(o.get());
  if (TryComplete(w)) return w.result;
  if (milliseconds == 0) return WAIT_TIMEOUT;

  Register(w);
  self->blockedIn = &w;
  clock::WaitFor(lk, w.cv, milliseconds, [&] { return w.done || self->terminateRequested; });
  if (!w.done) Unregister(w);
  self->blockedIn = nullptr;
  // A thread suspended meanwhile returns from its wait only once resumed; a terminated one ends here.
  Checkpoint(lk, *self);
  return w.done ? w.result : WAIT_TIMEOUT;
}

// ---- events -----------------------------------------------------------------------------------------------------
namespace {

class EventObject : public Waitable {
 public:
  EventObject(bool manual, bool signalled) : manual(manual), signalled(signalled) {}
  bool Ready(DWORD) const override { return signalled; }
  bool Take(DWORD) override {
    if (!manual) signalled = false;
    return false;
  }
  const bool manual;
  bool signalled;
};

class MutexObject : public Waitable {
 public:
  MutexObject() {
    std::lock_guard guard(SyncLock());
    Y().mutexes.insert(this);
  }
  ~MutexObject() override {
    std::lock_guard guard(SyncLock());
    Y().mutexes.erase(this);
  }
  bool Ready(DWORD threadId) const override { return owner == 0 || owner == threadId; }
  bool Take(DWORD threadId) override {
    if (owner == threadId) {
      ++recursion;
      return false;
    }
    owner = threadId;
    recursion = 1;
    return std::exchange(abandoned, false);
  }
  DWORD owner = 0;
  LONG recursion = 0;
  bool abandoned = false;
};

class SemaphoreObject : public Waitable {
 public:
  SemaphoreObject(LONG count, LONG maximum) : count(count), maximum(maximum) {}
  bool Ready(DWORD) const override { return count > 0; }
  bool Take(DWORD) override {
    --count;
    return false;
  }
  LONG count;
  const LONG maximum;
};

// Creates or opens a named object of type T. `make` builds a new one.
template <class T, class Make>
HANDLE CreateNamed(LPCSTR name, Make make) {
  if (auto existing = FindNamed(name)) {
    auto typed = std::dynamic_pointer_cast<T>(existing);
    if (!typed) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    HANDLE h = AddHandle(typed);
    if (h) SetLastError(ERROR_ALREADY_EXISTS);
    return h;
  }
  std::shared_ptr<T> object = make();
  HANDLE h = AddHandle(object);
  if (!h) return nullptr;
  RegisterName(name, object);
  SetLastError(ERROR_SUCCESS);
  return h;
}

template <class T>
std::shared_ptr<T> FindOrFail(HANDLE handle) {
  auto object = Find<T>(handle);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace

void WakeBlocked(ThreadObject& thread) {
  if (thread.blockedIn) thread.blockedIn->cv.notify_all();
}

void AbandonMutexesOf(DWORD threadId) {
  for (MutexObject* m : Y().mutexes) {
    if (m->owner != threadId) continue;
    m->owner = 0;
    m->recursion = 0;
    m->abandoned = true;
    Satisfy(*m);
  }
}

}  // namespace winapi::kernel

using namespace winapi::kernel;

size_t winapi::testing::BlockedWaits(HANDLE object) {
  auto waitable = Find<Waitable>(object);
  if (!waitable) return 0;
  std::lock_guard guard(SyncLock());
  return waitable->waiters.size();
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
  if (winapi::internal::FailNow("CreateEventA")) return nullptr;
  return CreateNamed<EventObject>(name, [&] { return std::make_shared<EventObject>(manualReset, initialState); });
}

namespace {

template <class Change>
BOOL ChangeEvent(HANDLE handle, Change change) {
  auto event = FindOrFail<EventObject>(handle);
  if (!event) return FALSE;
  std::lock_guard guard(SyncLock());
  change(*event);
  return TRUE;
}

}  // namespace

BOOL SetEvent(HANDLE event) {
  return ChangeEvent(event, [](EventObject& e) {
    e.signalled = true;
    Satisfy(e);
  });
}

BOOL ResetEvent(HANDLE event) {
  return ChangeEvent(event, [](EventObject& e) { e.signalled = false; });
}

BOOL PulseEvent(HANDLE event) {
  // Releases the waits blocked now (one of them for an auto-reset event) and leaves the event clear.
  return ChangeEvent(event, [](EventObject& e) {
    e.signalled = true;
    Satisfy(e);
    e.signalled = false;
  });
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  return CreateNamed<MutexObject>(name, [&] {
    auto m = std::make_shared<MutexObject>();
    if (initialOwner) {
      m->owner = winapi::internal::CurrentThreadId();
      m->recursion = 1;
    }
    return m;
  });
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto m = FindOrFail<MutexObject>(mutex);
  if (!m) return FALSE;
  std::lock_guard guard(SyncLock());
  if (m->owner != winapi::internal::CurrentThreadId()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  if (--m->recursion == 0) {
    m->owner = 0;
    Satisfy(*m);
  }
  return TRUE;
}

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount, LPCSTR name) {
  if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateNamed<SemaphoreObject>(
      name, [&] { return std::make_shared<SemaphoreObject>(initialCount, maximumCount); });
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount) {
  auto s = FindOrFail<SemaphoreObject>(semaphore);
  if (!s) return FALSE;
  if (releaseCount <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(SyncLock());
  if (releaseCount > s->maximum - s->count) {
    SetLastError(ERROR_TOO_MANY_POSTS);
    return FALSE;
  }
  if (previousCount) *previousCount = s->count;
  s->count += releaseCount;
  Satisfy(*s);
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

DWORD WaitForSingleObjectEx(HANDLE object, DWORD milliseconds, BOOL) {
  return WaitForSingleObject(object, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<Waitable>> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto object = Find<Waitable>(handles[i]);
    if (!object) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    if (waitAll && std::find(objects.begin(), objects.end(), object) != objects.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);  // the same object twice cannot be taken at once
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  return WaitForObjects(objects, waitAll != FALSE, milliseconds);
}

BOOL CloseHandle(HANDLE object) {
  if (object == kCurrentThreadPseudo || object == kCurrentProcessPseudo) return TRUE;
  if (!RemoveHandle(object) && !winapi::internal::CloseFileHandle(object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target, DWORD,
                     BOOL, DWORD options) {
  if (sourceProcess != kCurrentProcessPseudo || targetProcess != kCurrentProcessPseudo) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto object = FindHandle(source);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  HANDLE copy = AddHandle(std::move(object));
  if (!copy) return FALSE;
  if (options & DUPLICATE_CLOSE_SOURCE) CloseHandle(source);
  *target = copy;
  return TRUE;
}

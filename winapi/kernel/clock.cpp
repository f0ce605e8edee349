// The stand-in's clock: real or virtual milliseconds and the dispatch thread that runs scheduled tasks.
#include "winapi/kernel/clock.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "winapi/kernel/internal.h"
#include "winapi/testing.h"

namespace winapi::clock {
namespace {

using Key = std::pair<uint64_t, uint64_t>;  // due time, then order of scheduling

struct Task {
  TaskId id = 0;
  std::function<void()> fn;
};

// Never destroyed: the dispatch thread and late thread exits may use it while statics are torn down.
struct State {
  std::mutex m;
  std::condition_variable wake;  // the dispatch thread's
  std::condition_variable done;  // a job or task finished
  std::atomic<bool> virtualOn{false};
  std::atomic<uint64_t> virtualNow{0};
  std::map<Key, Task> queue;
  std::unordered_map<TaskId, Key> index;
  uint64_t nextSeq = 1;
  TaskId nextId = 1;
  TaskId running = 0;
  std::function<void()> job;
  bool jobPending = false;
  uint64_t jobsDone = 0;
  bool started = false;
  pthread_t dispatcher{};
  std::mutex advanceLock;  // one advance at a time
  std::vector<void (*)()> listeners;
  std::vector<std::condition_variable*> waits;  // blocked timed waits, woken when virtual time moves
  std::atomic<uint32_t> grace{0xFFFFFFFF};
};

State& S() {
  static State* state = new State;
  return *state;
}

uint64_t RealNow() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void NotifyListeners() {
  std::vector<void (*)()> listeners;
  {
    std::lock_guard guard(S().m);
    listeners = S().listeners;
    // Without the waits' own locks a wake-up can be missed; it then costs at most the rest of the grace.
    for (auto* cv : S().waits) cv->notify_all();
  }
  for (auto* listener : listeners) listener();
}

void DispatchLoop() {
  State& s = S();
  std::unique_lock lk(s.m);
  for (;;) {
    if (s.jobPending) {
      {
        auto job = std::move(s.job);
        s.job = nullptr;
        s.jobPending = false;
        lk.unlock();
        job();
      }
      lk.lock();
      ++s.jobsDone;
      s.done.notify_all();
      continue;
    }
    if (!s.virtualOn && !s.queue.empty()) {
      auto it = s.queue.begin();
      uint64_t now = RealNow();
      if (it->first.first <= now) {
        {
          Task task = std::move(it->second);
          s.index.erase(task.id);
          s.queue.erase(it);
          s.running = task.id;
          lk.unlock();
          task.fn();
        }
        lk.lock();
        s.running = 0;
        s.done.notify_all();
        continue;
      }
      s.wake.wait_for(lk, std::chrono::milliseconds(it->first.first - now));
      continue;
    }
    s.wake.wait(lk);
  }
}

void* DispatchMain(void*) {
  DispatchLoop();
  return nullptr;
}

// A forked child (a death test) has no dispatch thread: it starts its own on first use.
void BeforeFork() { S().m.lock(); }
void AfterForkInParent() { S().m.unlock(); }
void AfterForkInChild() {
  State& s = S();
  s.started = false;
  s.running = 0;
  s.jobPending = false;
  s.job = nullptr;
  s.m.unlock();
}

// With s.m held.
void EnsureStarted(State& s) {
  static const bool forkSafe = (pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild), true);
  (void)forkSafe;
  if (s.started) return;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  if (pthread_create(&s.dispatcher, &attr, DispatchMain, nullptr) != 0) std::abort();
  pthread_attr_destroy(&attr);
  s.started = true;
}

void ResetClock() {
  winapi::testing::UseVirtualClock(false);
  S().grace.store(0xFFFFFFFF);
}

void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetClock), true);
  (void)registered;
}

// Hands `fn` to the dispatch thread and waits until it has returned. Only the advancing thread calls this.
void RunOnDispatch(std::function<void()> fn) {
  State& s = S();
  std::unique_lock lk(s.m);
  EnsureStarted(s);
  s.done.wait(lk, [&] { return !s.jobPending; });
  s.job = std::move(fn);
  s.jobPending = true;
  uint64_t ticket = s.jobsDone + 1;
  s.wake.notify_all();
  s.done.wait(lk, [&] { return s.jobsDone >= ticket; });
}

}  // namespace

uint64_t Now() { return S().virtualOn.load() ? S().virtualNow.load() : RealNow(); }
bool IsVirtual() { return S().virtualOn.load(); }

TaskId Schedule(uint64_t dueMs, std::function<void()> task) {
  RegisterReset();
  State& s = S();
  std::lock_guard guard(s.m);
  EnsureStarted(s);
  TaskId id = s.nextId++;
  Key key{dueMs, s.nextSeq++};
  s.queue.emplace(key, Task{id, std::move(task)});
  s.index.emplace(id, key);
  s.wake.notify_all();
  return id;
}

bool OnDispatchThread() {
  State& s = S();
  std::lock_guard guard(s.m);
  return s.started && pthread_equal(s.dispatcher, pthread_self());
}

bool Cancel(TaskId id, bool waitIfRunning) {
  State& s = S();
  Task removed;
  bool onDispatch = OnDispatchThread();
  std::unique_lock lk(s.m);
  auto it = s.index.find(id);
  if (it != s.index.end()) {
    auto q = s.queue.find(it->second);
    removed = std::move(q->second);
    s.queue.erase(q);
    s.index.erase(it);
    lk.unlock();
    return true;  // the task's function is destroyed outside the lock
  }
  if (waitIfRunning && !onDispatch) s.done.wait(lk, [&] { return s.running != id; });
  return false;
}

void Advance(uint64_t ms, const std::function<bool()>& stop) {
  State& s = S();
  if (!s.virtualOn) return;
  if (OnDispatchThread()) {
    MoveTo(s.virtualNow.load() + ms);
    return;
  }
  std::lock_guard advancing(s.advanceLock);
  uint64_t target = s.virtualNow.load() + ms;
  bool stopped = false;
  for (;;) {
    Task task;
    {
      std::lock_guard guard(s.m);
      if (!s.virtualOn || s.queue.empty() || s.queue.begin()->first.first > target) break;
      auto it = s.queue.begin();
      if (it->first.first > s.virtualNow) s.virtualNow = it->first.first;
      task = std::move(it->second);
      s.index.erase(task.id);
      s.queue.erase(it);
      s.running = task.id;
    }
    NotifyListeners();
    RunOnDispatch(std::move(task.fn));
    {
      std::lock_guard guard(s.m);
      s.running = 0;
      s.done.notify_all();
    }
    if (stop && stop()) {
      stopped = true;
      break;
    }
  }
  if (!stopped) {
    std::lock_guard guard(s.m);
    if (s.virtualOn && s.virtualNow < target) s.virtualNow = target;
  }
  NotifyListeners();
}

void MoveTo(uint64_t ms) {
  State& s = S();
  {
    std::lock_guard guard(s.m);
    if (!s.virtualOn || ms <= s.virtualNow) return;
    s.virtualNow = ms;
  }
  NotifyListeners();
}

void AddTimeListener(void (*listener)()) {
  std::lock_guard guard(S().m);
  for (auto* existing : S().listeners)
    if (existing == listener) return;
  S().listeners.push_back(listener);
}

bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t milliseconds,
             const std::function<bool()>& ready) {
  if (ready()) return true;
  if (milliseconds == 0) return false;
  if (milliseconds == 0xFFFFFFFF) {
    while (!ready()) cv.wait(lock);
    return true;
  }
  State& s = S();
  {
    std::lock_guard guard(s.m);
    s.waits.push_back(&cv);
  }
  using Steady = std::chrono::steady_clock;
  const auto realStart = Steady::now();
  const auto realDeadline = realStart + std::chrono::milliseconds(milliseconds);
  const uint64_t virtualDeadline = Now() + milliseconds;
  while (!ready()) {
    if (!IsVirtual()) {
      if (Steady::now() >= realDeadline) break;
      cv.wait_until(lock, realDeadline);
      continue;
    }
    if (Now() >= virtualDeadline) break;
    auto graceEnd = realStart + std::chrono::milliseconds(VirtualWaitGraceMs());
    if (Steady::now() < graceEnd) {
      cv.wait_until(lock, graceEnd);
      continue;
    }
    // Nobody acted within the grace: this wait makes the virtual time pass, up to its deadline.
    lock.unlock();
    uint64_t now = Now();
    if (OnDispatchThread()) {
      MoveTo(virtualDeadline);
    } else if (now < virtualDeadline) {
      Advance(virtualDeadline - now, [&] {
        std::lock_guard guard(*lock.mutex());
        return ready();
      });
    }
    lock.lock();
  }
  {
    std::lock_guard guard(s.m);
    s.waits.erase(std::find(s.waits.begin(), s.waits.end(), &cv));
  }
  return ready();
}

uint32_t VirtualWaitGraceMs() {
  uint32_t grace = S().grace.load();
  if (grace != 0xFFFFFFFF) return grace;
  grace = 200;
  if (const char* value = std::getenv("WINAPI_VIRTUAL_WAIT_GRACE_MS")) {
    char* end = nullptr;
    unsigned long parsed = std::strtoul(value, &end, 10);
    if (end != value && *end == '\0' && parsed <= 600000) grace = static_cast<uint32_t>(parsed);
  }
  return grace;
}

}  // namespace winapi::clock

namespace winapi::testing {

void UseVirtualClock(bool on, uint32_t startMs) {
  using namespace winapi::clock;
  RegisterReset();
  State& s = S();
  {
    std::lock_guard guard(s.m);
    uint64_t oldNow = s.virtualOn ? s.virtualNow.load() : RealNow();
    uint64_t newNow = on ? startMs : RealNow();
    // Pending tasks keep the time they had left.
    std::map<Key, Task> rebased;
    for (auto& [key, task] : s.queue) {
      uint64_t left = key.first > oldNow ? key.first - oldNow : 0;
      Key moved{newNow + left, key.second};
      s.index[task.id] = moved;
      rebased.emplace(moved, std::move(task));
    }
    s.queue.swap(rebased);
    s.virtualNow = startMs;
    s.virtualOn = on;
    s.wake.notify_all();
  }
  NotifyListeners();
}

bool VirtualClockOn() { return winapi::clock::IsVirtual(); }

void AdvanceClock(uint32_t ms) { winapi::clock::Advance(ms); }

uint32_t ClockNow() { return static_cast<uint32_t>(winapi::clock::Now()); }

void SetVirtualWaitGrace(uint32_t ms) {
  winapi::clock::RegisterReset();
  winapi::clock::S().grace.store(ms == 0xFFFFFFFF ? 0xFFFFFFFE : ms);
}

}  // namespace winapi::testing

bool winapi::ClockIsVirtual() { return winapi::clock::IsVirtual(); }

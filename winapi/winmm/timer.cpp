// The multimedia timer services over the stand-in's clock. Callbacks run on the clock's dispatch thread,
// one at a time in due-time order, never on the thread that set the timer.
#include <map>
#include <mutex>

#include "mmsystem.h"
#include "winapi/kernel/clock.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"

namespace {

constexpr UINT kMinPeriod = 1;
constexpr UINT kMaxPeriod = 1000000;

struct Timer {
  UINT delay = 0;
  LPTIMECALLBACK callback = nullptr;
  DWORD_PTR user = 0;
  bool periodic = false;
  winapi::clock::TaskId task = 0;
};

struct State {
  std::mutex lock;
  std::map<UINT, Timer> timers;
  UINT nextId = 1;
  std::map<UINT, int> periods;  // timeBeginPeriod requests still open, by period
};

State& S() {
  static State* state = new State;
  return *state;
}

void KillAll() {
  std::vector<UINT> ids;
  {
    std::lock_guard guard(S().lock);
    for (const auto& [id, timer] : S().timers) ids.push_back(id);
    S().periods.clear();
  }
  for (UINT id : ids) timeKillEvent(id);
}

void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(KillAll), true);
  (void)registered;
}

// The injected failure's code, or `fallback` when the test gave none.
bool Injected(const char* function, MMRESULT fallback, MMRESULT* result) {
  uint32_t error = 0;
  if (!winapi::testing::ShouldFail(function, &error)) return false;
  *result = error ? error : fallback;
  return true;
}

void Fire(UINT id, uint64_t due) {
  Timer timer;
  {
    std::lock_guard guard(S().lock);
    auto it = S().timers.find(id);
    if (it == S().timers.end()) return;
    timer = it->second;
  }
  timer.callback(id, 0, timer.user, 0, 0);
  std::lock_guard guard(S().lock);
  auto it = S().timers.find(id);
  if (it == S().timers.end()) return;  // killed from inside the callback or meanwhile
  if (!timer.periodic) {
    S().timers.erase(it);  // a one-shot timer's id is spent
    return;
  }
  // The next tick keeps the cadence; after a stall of over a second it restarts from now instead of bursting.
  uint64_t next = due + timer.delay;
  uint64_t now = winapi::clock::Now();
  if (now > next + 1000) next = now + timer.delay;
  it->second.task = winapi::clock::Schedule(next, [id, next] { Fire(id, next); });
}

}  // namespace

DWORD timeGetTime() { return static_cast<DWORD>(winapi::clock::Now()); }

MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size) {
  MMRESULT result;
  if (Injected("timeGetDevCaps", TIMERR_NOCANDO, &result)) return result;
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_STRUCT;
  caps->wPeriodMin = kMinPeriod;
  caps->wPeriodMax = kMaxPeriod;
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period) {
  RegisterReset();
  MMRESULT result;
  if (Injected("timeBeginPeriod", TIMERR_NOCANDO, &result)) return result;
  if (period < kMinPeriod || period > kMaxPeriod) return TIMERR_NOCANDO;
  std::lock_guard guard(S().lock);
  ++S().periods[period];
  return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
  std::lock_guard guard(S().lock);
  auto it = S().periods.find(period);
  if (it == S().periods.end()) return TIMERR_NOCANDO;  // no matching timeBeginPeriod
  if (--it->second == 0) S().periods.erase(it);
  return TIMERR_NOERROR;
}

MMRESULT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  RegisterReset();
  MMRESULT failed;
  if (Injected("timeSetEvent", 0, &failed)) return 0;
  if (!callback || delay < kMinPeriod || delay > kMaxPeriod) return 0;
  std::lock_guard guard(S().lock);
  State& s = S();
  UINT id = s.nextId;
  while (id == 0 || s.timers.count(id)) ++id;
  s.nextId = id + 1;
  Timer& timer = s.timers[id];
  timer.delay = delay;
  timer.callback = callback;
  timer.user = user;
  timer.periodic = (flags & TIME_PERIODIC) != 0;
  uint64_t due = winapi::clock::Now() + delay;
  timer.task = winapi::clock::Schedule(due, [id, due] { Fire(id, due); });
  return id;
}

MMRESULT timeKillEvent(UINT timerId) {
  winapi::clock::TaskId task;
  {
    std::lock_guard guard(S().lock);
    auto it = S().timers.find(timerId);
    if (it == S().timers.end()) return TIMERR_NOCANDO;
    task = it->second.task;
    S().timers.erase(it);
  }
  // A callback of this timer that is running now finishes before the kill returns (unless the kill comes
  // from a callback), so the caller may free what the callback uses.
  winapi::clock::Cancel(task, true);
  return TIMERR_NOERROR;
}

namespace winapi::testing {

size_t ActiveMultimediaTimers() {
  std::lock_guard guard(S().lock);
  return S().timers.size();
}

int OpenTimerPeriods() {
  std::lock_guard guard(S().lock);
  int open = 0;
  for (const auto& [period, count] : S().periods) open += count;
  return open;
}

}  // namespace winapi::testing

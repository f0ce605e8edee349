// Threads, events, the multimedia-timer clock, the secondary timer, the audio message thread and the
// periodic system tasks.
#include "platformlib/core/timer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "mmsystem.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/queue.h"

MainThreadRecord mainthread{};
int (*surfacelockedhook)() = nullptr;
int timerrunning = 0;

namespace {

const char kFile[] = "win\\wintimer.c";

// ---- threads ---------------------------------------------------------------------------------------------------------

std::atomic<int> mainthreadstate{0};  // 0 not recorded, 1 being recorded, 2 recorded

int systempriority(int level) {
  switch (level) {
    case 3: return THREAD_PRIORITY_TIME_CRITICAL;
    case 2: return THREAD_PRIORITY_HIGHEST;
    case 1: return THREAD_PRIORITY_ABOVE_NORMAL;
    case -1: return THREAD_PRIORITY_BELOW_NORMAL;
    case -2: return THREAD_PRIORITY_LOWEST;
    case -3: return THREAD_PRIORITY_IDLE;
    default: return THREAD_PRIORITY_NORMAL;
  }
}

struct ThreadStart {
  void (*function)(void*);
  void* argument;
};

DWORD threadstart(LPVOID parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.function(start.argument);
  return 0;
}

void callplain(void* function) { reinterpret_cast<ThreadFunction>(function)(); }

thread_local uintptr_t threadslot = 0;

std::mutex exitmutex;
void (*exitroutines[32])() = {};
int exitroutinecount = 0;

void runexitroutines() {
  for (;;) {
    void (*routine)() = nullptr;
    {
      std::lock_guard<std::mutex> guard(exitmutex);
      if (exitroutinecount == 0) return;
      routine = exitroutines[--exitroutinecount];
    }
    routine();
  }
}

// ---- the timer ---------------------------------------------------------------------------------------------------------

// timermutex guards the schedule and the handles the multimedia callback wakes.
std::mutex timermutex;
std::atomic<int> rate{0};
uint32_t period = 0;       // 16.16 ms per tick
uint32_t accumulator = 0;  // fraction of a millisecond, 16.16
std::atomic<uint32_t> due{0};
UINT eventid = 0;
UINT resolution = 0;
std::atomic<bool> periodbegun{false};  // timeBeginPeriod is balanced by exactly one timeEndPeriod
std::atomic<int> holdcount{0};
std::atomic<uint32_t> libraryticks{0};
std::atomic<uint32_t> waitcount{0};
std::atomic<uint32_t> count182{0};
uint32_t accumulator182 = 0;
uint32_t last182time = 0;
std::atomic<uint32_t> slips{0};
std::atomic<uint32_t> wakessent{0};     // ticks the multimedia callback handed to the timer thread
std::atomic<uint32_t> wakescounted{0};  // how many of them the timer thread has taken
HANDLE timerevent = nullptr;
ThreadRecord timerthreadrecord{};

std::mutex callbackmutex;
TimerCallback timercallbacks[TIMERSLOTS] = {};

HANDLE audioevent = nullptr;  // guarded by timermutex
std::atomic<TimerCallback> audiocallback{nullptr};
std::atomic<int> audiorunning{0};
ThreadRecord audiothreadrecord{};
std::mutex audiomutex;  // serialises starting and stopping

void setrate(int value) {
  rate = value;
  __atomic_store_n(&timerrunning, value, __ATOMIC_SEQ_CST);
}

void CALLBACK timercallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

// Runs with timermutex held.
void scheduleandwake() {
  due = timerschedulestep(&accumulator, period, due);
  if (rate) {
    const uint32_t now = timeGetTime();
    int32_t delay = static_cast<int32_t>(due - now) - 1;
    if (delay < 1) {
      if (static_cast<int32_t>(now - due) > 1000) {
        due = now + 1;
        ++slips;
      }
      delay = 1;
    }
    eventid = timeSetEvent(static_cast<UINT>(delay), 1, timercallback, 0, TIME_ONESHOT);
    if (!eventid) {
      setrate(0);
      if (periodbegun.exchange(false)) timeEndPeriod(1);
    }
  }
  if (holdcount == 0 && timerevent) {
    ++wakessent;
    SetEvent(timerevent);
  }
  if (audioevent) SetEvent(audioevent);
  wakesecondarytimer();
}

void CALLBACK timercallback(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  std::lock_guard<std::mutex> guard(timermutex);
  scheduleandwake();
}

void timerthread() {
  HANDLE event;
  {
    std::lock_guard<std::mutex> guard(timermutex);
    event = timerevent;
  }
  for (;;) {
    WaitForSingleObject(event, INFINITE);
    const uint32_t sent = wakessent;
    if (!rate) break;
    ++libraryticks;
    ++waitcount;
    const uint32_t now = timeGetTime();
    accumulator182 += (now - last182time) * 1193u;
    last182time = now;
    count182 += accumulator182 >> 16;
    accumulator182 &= 0xFFFF;
    TimerCallback calls[TIMERSLOTS];
    {
      std::lock_guard<std::mutex> guard(callbackmutex);
      std::copy(std::begin(timercallbacks), std::end(timercallbacks), calls);
    }
    for (TimerCallback callback : calls)
      if (callback) callback();
    wakescounted = sent;
  }
}

void timerabort(const char* message) {
  if (!abortonerror) return;
  ABORTCONTEXT(kFile, "inittimer");
  abortmessage("%s", message);
}

void audiothread() {
  audiorunning = 1;
  HANDLE event;
  {
    std::lock_guard<std::mutex> guard(timermutex);
    event = audioevent;
  }
  while (TimerCallback callback = audiocallback.load()) {
    callback();
    if (!audiocallback.load()) break;
    WaitForSingleObject(event, INFINITE);
  }
  audiorunning = 0;
}

// ---- the secondary timer ------------------------------------------------------------------------------------------------

std::mutex secondarymutex;
bool secondaryrunning = false;
bool secondarystopping = false;
HANDLE secondaryevent = nullptr;
ThreadRecord secondaryrecord{};
TimerCallback secondarycallbacks[TIMERSLOTS] = {};

void secondarythread() {
  for (;;) {
    HANDLE event;
    {
      std::lock_guard<std::mutex> guard(secondarymutex);
      if (secondarystopping) return;
      event = secondaryevent;
    }
    WaitForSingleObject(event, INFINITE);
    TimerCallback calls[TIMERSLOTS];
    {
      std::lock_guard<std::mutex> guard(secondarymutex);
      if (secondarystopping) return;
      std::copy(std::begin(secondarycallbacks), std::end(secondarycallbacks), calls);
    }
    for (TimerCallback callback : calls) {
      if (!callback) break;
      callback();
    }
  }
}

// ---- system tasks --------------------------------------------------------------------------------------------------------

std::mutex taskmutex;
SystemTask tasks[SYSTEMTASKSLOTS] = {};
uint32_t lasttaskrun = 0;

}  // namespace

// ---- threads -------------------------------------------------------------------------------------------------------------

void initmainthread() {
  int expected = 0;
  if (!mainthreadstate.compare_exchange_strong(expected, 1)) return;
  mainthread.threadid = GetCurrentThreadId();
  HANDLE handle = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  mainthread.handle = handle;
  mainthread.section = getcriticalsection();
  mainthreadstate = 2;
}

int createthreadarg(void (*function)(void*), void* argument, uint32_t stacksize, int level, ThreadRecord* record) {
  if (surfacelockedhook && surfacelockedhook()) {
    if (abortonerror) {
      ABORTCONTEXT(kFile, "createthread");
      abortmessage("createthread - UNLOCK DDRAW SURFACE BEFORE CALLING.\n");
    }
    return 0;
  }
  initmainthread();
  auto* start = new ThreadStart{function, argument};
  DWORD id = 0;
  HANDLE handle = CreateThread(nullptr, stacksize, threadstart, start, CREATE_SUSPENDED, &id);
  if (!handle) {
    delete start;
    return 0;
  }
  if (record) {
    record->handle = handle;
    record->stacksize = stacksize;
    record->priority = level;
    record->spare = 0;
    record->threadid = id;
  }
  SetThreadPriority(handle, systempriority(level));
  ResumeThread(handle);
  if (!record) CloseHandle(handle);
  SleepEx(0, TRUE);
  return 1;
}

int createthread(ThreadFunction function, uint32_t stacksize, int level, ThreadRecord* record) {
  return createthreadarg(callplain, reinterpret_cast<void*>(function), stacksize, level, record);
}

int setthreadpriority(ThreadRecord* record, int level) {
  HANDLE handle;
  if (!record) {
    initmainthread();
    handle = mainthread.handle;
  } else if (record == THREAD_SELF) {
    handle = GetCurrentThread();
  } else {
    handle = record->handle;
    record->priority = level;
  }
  return SetThreadPriority(handle, systempriority(level)) ? 1 : 0;
}

int isthread(const ThreadRecord* record) {
  if (record == THREAD_SELF) return 1;
  if (!record) return mainthreadstate != 2 || GetCurrentThreadId() == mainthread.threadid;
  return GetCurrentThreadId() == record->threadid;
}

void threadsleep(uint32_t milliseconds) { SleepEx(milliseconds, TRUE); }

void timerwaitstep() {
  // A virtual clock moves only by sleeping; it is held back while the timer thread still has a tick to count,
  // so that waits in ticks see the same ticks as real time would.
  if (winapi::ClockIsVirtual() && rate && wakescounted != wakessent) {
    std::this_thread::yield();
    return;
  }
  threadsleep(1);
}

void sleepticks(uint32_t ticks) {
  threadsleep(static_cast<uint32_t>(static_cast<uint64_t>(ticks) * 1000 / timerrateordefault()));
}

uintptr_t swapthreadslot(uintptr_t value) {
  uintptr_t old = threadslot;
  threadslot = value;
  return old;
}

void exitprogram() {
  if (isthread(nullptr)) winapi::ExitOrderly(0);
  ExitProcess(0);
}

int checknotlocked(const char* function) {
  if (!isthread(nullptr) || !surfacelockedhook || !surfacelockedhook()) return 1;
  if (abortonerror) {
    ABORTCONTEXT(kFile, function);
    abortmessage("%s - DO NOT CALL WITH SURFACE LOCKED\n", function);
  }
  return 0;
}

int addexitroutine(void (*routine)()) {
  if (!routine) return 0;
  std::lock_guard<std::mutex> guard(exitmutex);
  static bool registered = false;
  if (!registered) {
    std::atexit(runexitroutines);
    registered = true;
  }
  for (int i = 0; i < exitroutinecount; ++i)
    if (exitroutines[i] == routine) return 1;
  if (exitroutinecount == 32) return 0;
  exitroutines[exitroutinecount++] = routine;
  return 1;
}

// ---- events -----------------------------------------------------------------------------------------------------------

HANDLE createautoevent() { return CreateEventA(nullptr, FALSE, FALSE, nullptr); }
HANDLE createmanualevent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
int setevent(HANDLE event) { return SetEvent(event) ? 1 : 0; }
int resetevent(HANDLE event) { return ResetEvent(event) ? 1 : 0; }
int pulseevent(HANDLE event) { return PulseEvent(event) ? 1 : 0; }
int closeevent(HANDLE event) { return CloseHandle(event) ? 1 : 0; }
int setandcloseevent(HANDLE event) {
  int result = setevent(event);
  closeevent(event);
  return result;
}
int testevent(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
int waitevent(HANDLE event) { return WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0; }
int waiteventticks(HANDLE event, uint32_t ticks) {
  auto ms = static_cast<DWORD>(static_cast<uint64_t>(ticks) * 1000 / timerrateordefault());
  return WaitForSingleObject(event, ms) == WAIT_OBJECT_0;
}
HANDLE waitanyevent(int count, const HANDLE* events, uint32_t milliseconds) {
  if (count <= 0 || !events) return nullptr;
  DWORD result = WaitForMultipleObjects(static_cast<DWORD>(count), events, FALSE, milliseconds);
  if (result < WAIT_OBJECT_0 + static_cast<DWORD>(count)) return events[result - WAIT_OBJECT_0];
  return nullptr;
}
DWORD getlasterror() { return GetLastError(); }

// ---- the timer -----------------------------------------------------------------------------------------------------------

uint32_t timerschedulestep(uint32_t* acc, uint32_t periodfixed, uint32_t duetime) {
  *acc += periodfixed;
  duetime += *acc >> 16;
  *acc &= 0xFFFF;
  return duetime;
}

uint32_t timerperiod(int ticksper) {
  if (ticksper <= 0) ticksper = 100;
  return static_cast<uint32_t>((1000ull * 65536 + static_cast<uint64_t>(ticksper) / 2) / static_cast<uint64_t>(ticksper));
}

int timerrate() { return rate; }
int timerrateordefault() {
  int r = rate;
  return r ? r : 100;
}
uint32_t gettimerticks() { return libraryticks; }
uint32_t gettick() { return waitcount; }
void resettickcounter() { waitcount = 0; }
uint32_t get182count() { return count182; }
uint32_t timerslips() { return slips; }
uint32_t timerduetime() { return due; }
uint32_t getsystemticks() { return GetTickCount(); }
void holdtimer() { ++holdcount; }
void releasetimer() {
  if (holdcount > 0) --holdcount;
}

int inittimer(int wanted) {
  stoptimer();
  if (wanted == 0) wanted = 100;
  if (wanted < 1 || wanted > 10000) {
    if (abortonerror) {
      ABORTCONTEXT(kFile, "inittimer");
      abortmessage("inittimer - BAD TIMER FREQUENCY SPECIFIED %d\n", wanted);
    }
    wanted = 100;
  }
  {
    std::lock_guard<std::mutex> guard(timermutex);
    period = timerperiod(wanted);
    accumulator = 0;
  }
  libraryticks = 0;
  waitcount = 0;

  TIMECAPS caps{};
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) {
    setrate(0);
    timerabort("inittimer - MULTIMEDIA TIMER NOT FOUND.\n");
    return 0;
  }
  resolution = 1;
  if (period < 65536) {
    timerabort("inittimer - MULTIMEDIA TIMER CANNOT SUPPORT THIS FREQUENCY.\n");
    return 0;
  }

  HANDLE event = createautoevent();
  {
    std::lock_guard<std::mutex> guard(timermutex);
    timerevent = event;
  }
  setrate(wanted);  // the thread runs while the rate is non-zero
  if (!event || !createthread(timerthread, 0, THREADLEVEL_HIGHEST, &timerthreadrecord)) {
    setrate(0);
    std::lock_guard<std::mutex> guard(timermutex);
    if (timerevent) CloseHandle(timerevent);
    timerevent = nullptr;
    timerabort("inittimer - FAILED TO CREATE TIMER THREAD.\n");
    return 0;
  }
  periodbegun = timeBeginPeriod(1) == TIMERR_NOERROR;
  if (!periodbegun) {
    stoptimer();
    timerabort("inittimer - FAILED TO INITIALIZE MULTIMEDIA TIMER.\n");
    return 0;
  }

  addexitroutine(stoptimer);
  aborttimerhook = cleartimers;
  last182time = timeGetTime();
  {
    std::lock_guard<std::mutex> guard(timermutex);
    due = timeGetTime();
    ++holdcount;
    scheduleandwake();
    --holdcount;
  }

  // Wait for the first tick. On a virtual clock each sleep moves time on, and the limit is counted in real
  // time so that the wait never gives up before the timer thread has had a chance to run.
  const uint32_t start = timeGetTime();
  const auto realstart = std::chrono::steady_clock::now();
  const auto limit = static_cast<uint32_t>(wanted) * 5;
  const uint32_t firstdue = due;
  while (waitcount == 0) {
    const bool timeup = winapi::ClockIsVirtual()
                            ? std::chrono::steady_clock::now() - realstart >= std::chrono::milliseconds(limit)
                            : timeGetTime() - start >= limit;
    if (timeup) break;
    // A virtual clock is moved only until the timer has fired once, so no further tick is left pending.
    if (!winapi::ClockIsVirtual())
      Sleep(0);
    else if (due == firstdue && rate)
      Sleep(1);
    std::this_thread::yield();
  }
  if (waitcount == 0) {
    stoptimer();
    timerabort("inittimer - FAILED TO INITIALIZE WINDOWS MULTIMEDIA TIMER, TRY RE-RUNNING.\n");
    return 0;
  }
  return rate;
}

void stoptimer() {
  if (!rate && !timerthreadrecord.handle) return;
  UINT id;
  {
    std::lock_guard<std::mutex> guard(timermutex);
    setrate(0);
    id = eventid;
    eventid = 0;
  }
  if (id) timeKillEvent(id);
  if (periodbegun.exchange(false)) timeEndPeriod(1);
  {
    std::lock_guard<std::mutex> guard(timermutex);
    if (timerevent) SetEvent(timerevent);
  }
  if (timerthreadrecord.handle) {
    if (!isthread(&timerthreadrecord)) WaitForSingleObject(timerthreadrecord.handle, INFINITE);
    CloseHandle(timerthreadrecord.handle);
    timerthreadrecord = ThreadRecord{};
  }
  {
    std::lock_guard<std::mutex> guard(timermutex);
    if (timerevent) CloseHandle(timerevent);
    timerevent = nullptr;
    accumulator = 0;
  }
  holdcount = 0;
  resolution = 0;
  if (aborttimerhook == cleartimers) aborttimerhook = nullptr;
}

void addtimer(TimerCallback callback) {
  if (!callback) return;
  {
    std::lock_guard<std::mutex> guard(callbackmutex);
    for (TimerCallback slot : timercallbacks)
      if (slot == callback) return;
    for (TimerCallback& slot : timercallbacks) {
      if (!slot) {
        slot = callback;
        return;
      }
    }
  }
  if (abortonerror) {
    ABORTCONTEXT(kFile, "addtimer");
    abortmessage("addtimer - LIST FULL\n");
  }
}

void removetimer(TimerCallback callback) {
  std::lock_guard<std::mutex> guard(callbackmutex);
  for (TimerCallback& slot : timercallbacks)
    if (slot == callback) slot = nullptr;
}

void cleartimers() {
  std::lock_guard<std::mutex> guard(callbackmutex);
  for (TimerCallback& slot : timercallbacks) slot = nullptr;
}

// ---- the audio message thread ------------------------------------------------------------------------------------------

void setaudiomessagethread(TimerCallback callback) {
  std::lock_guard<std::mutex> serial(audiomutex);
  if (callback) {
    audiocallback = callback;
    if (audiothreadrecord.handle) return;
    HANDLE event = createautoevent();
    {
      std::lock_guard<std::mutex> guard(timermutex);
      audioevent = event;
    }
    if (!event || !createthread(audiothread, 0, THREADLEVEL_TIMECRITICAL, &audiothreadrecord)) {
      audiocallback = nullptr;
      std::lock_guard<std::mutex> guard(timermutex);
      if (audioevent) CloseHandle(audioevent);
      audioevent = nullptr;
      return;
    }
    while (!audiorunning && WaitForSingleObject(audiothreadrecord.handle, 0) == WAIT_TIMEOUT) std::this_thread::yield();
    return;
  }
  audiocallback = nullptr;
  if (!audiothreadrecord.handle) return;
  {
    std::lock_guard<std::mutex> guard(timermutex);
    if (audioevent) SetEvent(audioevent);
  }
  if (!isthread(&audiothreadrecord)) WaitForSingleObject(audiothreadrecord.handle, INFINITE);
  CloseHandle(audiothreadrecord.handle);
  audiothreadrecord = ThreadRecord{};
  std::lock_guard<std::mutex> guard(timermutex);
  if (audioevent) CloseHandle(audioevent);
  audioevent = nullptr;
}

// ---- the secondary timer -------------------------------------------------------------------------------------------------

int wininittimer() {
  std::lock_guard<std::mutex> guard(secondarymutex);
  if (secondaryrunning) return 1;
  addexitroutine(stopsecondarytimer);
  secondaryevent = createautoevent();
  secondarystopping = false;
  if (!secondaryevent || !createthread(secondarythread, 0, THREADLEVEL_HIGHEST, &secondaryrecord)) {
    if (secondaryevent) CloseHandle(secondaryevent);
    secondaryevent = nullptr;
    if (abortonerror) {
      ABORTCONTEXT(kFile, "wininittimer");
      abortmessage("wininittimer - FAILED TO CREATE SECONDARY TIMER`S THREAD.\n");
    }
    return 0;
  }
  secondaryrunning = true;
  return 1;
}

int addsecondarytimer(TimerCallback callback) {
  if (!callback || !wininittimer()) return 0;
  std::lock_guard<std::mutex> guard(secondarymutex);
  for (TimerCallback& slot : secondarycallbacks) {
    if (slot == callback) return 1;
    if (!slot) {
      slot = callback;
      return 1;
    }
  }
  return 0;
}

int removesecondarytimer(TimerCallback callback) {
  bool empty;
  {
    std::lock_guard<std::mutex> guard(secondarymutex);
    int i = 0;
    while (i < TIMERSLOTS && secondarycallbacks[i] != callback) ++i;
    if (i == TIMERSLOTS || !callback) return 0;
    for (; i + 1 < TIMERSLOTS; ++i) secondarycallbacks[i] = secondarycallbacks[i + 1];
    secondarycallbacks[TIMERSLOTS - 1] = nullptr;
    empty = secondarycallbacks[0] == nullptr;
  }
  if (empty) stopsecondarytimer();
  return 1;
}

void wakesecondarytimer() {
  std::lock_guard<std::mutex> guard(secondarymutex);
  if (secondaryrunning && secondaryevent) SetEvent(secondaryevent);
}

void stopsecondarytimer() {
  ThreadRecord record;
  HANDLE event;
  {
    std::lock_guard<std::mutex> guard(secondarymutex);
    if (!secondaryrunning) return;
    secondarystopping = true;
    secondaryrunning = false;
    SetEvent(secondaryevent);
    record = secondaryrecord;
    event = secondaryevent;
    secondaryrecord = ThreadRecord{};
    secondaryevent = nullptr;
  }
  if (!isthread(&record)) WaitForSingleObject(record.handle, INFINITE);
  CloseHandle(record.handle);
  CloseHandle(event);
}

// ---- system tasks ----------------------------------------------------------------------------------------------------------

int addsystemtask(SystemTaskCallback callback, uint32_t taskperiod, uint32_t delay) {
  if (!callback) return 0;
  {
    std::lock_guard<std::mutex> guard(taskmutex);
    SystemTask* slot = nullptr;
    for (SystemTask& task : tasks)
      if (task.callback == callback) slot = &task;
    for (SystemTask& task : tasks)
      if (!slot && !task.callback) slot = &task;
    if (slot) {
      slot->callback = callback;
      slot->period = taskperiod;
      slot->nextdue = gettimerticks() + delay;
      return 1;
    }
  }
  if (abortonerror) {
    ABORTCONTEXT(kFile, "addsystemtask");
    abortmessage("addsystemtask - LIST FULL\n");
  }
  return 0;
}

int removesystemtask(SystemTaskCallback callback) {
  std::lock_guard<std::mutex> guard(taskmutex);
  for (SystemTask& task : tasks) {
    if (task.callback == callback && callback) {
      task = SystemTask{};
      return 1;
    }
  }
  return 0;
}

int runsystemtasks(int) {
  std::unique_lock<std::mutex> guard(taskmutex);
  const uint32_t tick = gettimerticks();
  if (tick == lasttaskrun) return 0;
  lasttaskrun = tick;
  int result = 0;
  for (SystemTask& task : tasks) {
    SystemTaskCallback callback = task.callback;
    if (!callback || task.busy || static_cast<int32_t>(tick - task.nextdue) < 0) continue;
    task.busy = 1;
    guard.unlock();
    result |= callback();
    guard.lock();
    if (task.callback == callback) {
      task.nextdue = tick + task.period;
      task.busy = 0;
    }
  }
  return result;
}

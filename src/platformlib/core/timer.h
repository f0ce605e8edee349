// Threads with library priority levels, events with waits in ticks, the multimedia-timer clock with its tick
// counts and callbacks, the secondary timer, the audio message thread, periodic system tasks and the table
// of sound-stream slots.
#pragma once

#include <cstdint>

#include "windows.h"

// ---- threads --------------------------------------------------------------------------------------------------------
constexpr int THREADLEVEL_TIMECRITICAL = 3;
constexpr int THREADLEVEL_HIGHEST = 2;
constexpr int THREADLEVEL_ABOVENORMAL = 1;
constexpr int THREADLEVEL_NORMAL = 0;
constexpr int THREADLEVEL_BELOWNORMAL = -1;
constexpr int THREADLEVEL_LOWEST = -2;
constexpr int THREADLEVEL_IDLE = -3;

using ThreadFunction = void (*)();

struct ThreadRecord {
  HANDLE handle;
  uint32_t stacksize;
  int32_t priority;
  uint32_t spare;
  DWORD threadid;
};
// Pass as a record to mean the calling thread.
inline ThreadRecord* const THREAD_SELF = reinterpret_cast<ThreadRecord*>(static_cast<intptr_t>(-1));

struct MainThreadRecord {
  DWORD threadid;
  HANDLE handle;
  CRITICAL_SECTION* section;
};
extern MainThreadRecord mainthread;

void initmainthread();
int createthread(ThreadFunction function, uint32_t stacksize, int level, ThreadRecord* record);
// The same, for a function that takes one argument.
int createthreadarg(void (*function)(void*), void* argument, uint32_t stacksize, int level, ThreadRecord* record);
int setthreadpriority(ThreadRecord* record, int level);  // null: the main thread; THREAD_SELF: the caller
int isthread(const ThreadRecord* record);                // null: the main thread; THREAD_SELF: always 1
void threadsleep(uint32_t milliseconds);
// One round of a library busy-wait: a short sleep.
void timerwaitstep();
void sleepticks(uint32_t ticks);
uintptr_t swapthreadslot(uintptr_t value);
[[noreturn]] void exitprogram();
// Set by the display code while a display surface is locked.
extern int (*surfacelockedhook)();
int checknotlocked(const char* function);
// Registers a routine to run at program exit (at most 32); 1 when registered or already present.
int addexitroutine(void (*routine)());

// ---- events ----------------------------------------------------------------------------------------------------------
HANDLE createautoevent();
HANDLE createmanualevent();
int setevent(HANDLE event);
int resetevent(HANDLE event);
int pulseevent(HANDLE event);
int closeevent(HANDLE event);
int setandcloseevent(HANDLE event);
int testevent(HANDLE event);
int waitevent(HANDLE event);
int waiteventticks(HANDLE event, uint32_t ticks);
HANDLE waitanyevent(int count, const HANDLE* events, uint32_t milliseconds);
DWORD getlasterror();

// ---- the timer -----------------------------------------------------------------------------------------------------------
using TimerCallback = void (*)();
constexpr int TIMERSLOTS = 8;

extern int timerrunning;  // non-zero while the timer runs (the rate)
int inittimer(int rate = 0);
void stoptimer();
void holdtimer();
void releasetimer();
int timerrate();              // ticks per second, 0 when stopped
int timerrateordefault();     // the rate, or 100 when stopped
uint32_t gettimerticks();     // the library tick count (system tasks run against it)
void resettickcounter();    // the count that gettick reads
uint32_t get182count();       // the 18.2 Hz count
uint32_t timerslips();        // stalls of more than a second
uint32_t timerduetime();      // next due time in milliseconds
// One step of the tick schedule: the 16.16 period added to the accumulator, its whole milliseconds moved to
// the due time. Returns the new due time.
// The 16.16 milliseconds per tick at a rate, rounded to nearest so that the average holds.
uint32_t timerperiod(int rate);
uint32_t timerschedulestep(uint32_t* accumulator, uint32_t period, uint32_t due);
void addtimer(TimerCallback callback);
void removetimer(TimerCallback callback);
void cleartimers();

uint32_t getsystemticks();

// The audio message thread: the callback runs once per timer tick on a time-critical thread.
void setaudiomessagethread(TimerCallback callback);

// The secondary timer thread, woken by every tick.
int wininittimer();
int addsecondarytimer(TimerCallback callback);
int removesecondarytimer(TimerCallback callback);
void wakesecondarytimer();
void stopsecondarytimer();

// ---- system tasks ----------------------------------------------------------------------------------------------------------
using SystemTaskCallback = int (*)();
constexpr int SYSTEMTASKSLOTS = 16;
struct SystemTask {
  SystemTaskCallback callback;
  uint32_t period;
  uint32_t nextdue;
  int busy;
};
int addsystemtask(SystemTaskCallback callback, uint32_t period, uint32_t delay = 0);
int removesystemtask(SystemTaskCallback callback);
int runsystemtasks(int unused = 0);

// ---- sound-stream slots ----------------------------------------------------------------------------------------------------------
constexpr int STREAMSLOTS = 16;
constexpr int STREAMREQUESTS = 16;
// One queued request of a stream; the second word is its id, whose low byte is the stream's slot.
struct StreamRequest {
  uint32_t kind;
  uint32_t id;
  uint32_t arg[2];
};
struct SoundStream {
  StreamRequest requests[STREAMREQUESTS];
  uint8_t requestcount;
  uint8_t currentrequest;
};
using StreamService = void (*)(SoundStream* stream, int slot);

SoundStream* getstreamslot(int n);
int setstreamslot(int n, SoundStream* stream);  // null frees the slot
void setstreamservice(StreamService service);
int servicesoundstreams();
StreamRequest* findstreamrequest(uint32_t id);
int removestreamrequest(uint32_t id);

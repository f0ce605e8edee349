// The one clock of the stand-in and its scheduler. GetTickCount, timeGetTime, Sleep, timed waits, the
// multimedia timers and (later) window timers all read it. Real time is the monotonic clock; with the virtual
// clock on, time moves only when something advances it (a test, or a sleeping or waiting thread).
//
// Scheduled tasks run on the clock's own dispatch thread, in due-time order, never on the caller's thread.
// On real time the dispatch thread runs them when they fall due; on virtual time Advance hands each due task
// to the dispatch thread in turn and waits until it has returned.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace winapi::clock {

// Milliseconds on the current clock (64 bits: GetTickCount is its low 32 bits).
uint64_t Now();
bool IsVirtual();

using TaskId = uint64_t;
// Runs `task` on the dispatch thread once the clock reaches `dueMs`. Returns its id (never 0).
TaskId Schedule(uint64_t dueMs, std::function<void()> task);
// Removes a pending task; true when it was still pending. With `waitIfRunning`, a task that is running now
// is waited for first, unless the caller is the dispatch thread itself (a task cancelling itself).
bool Cancel(TaskId id, bool waitIfRunning);
// Whether the caller is the dispatch thread (inside a scheduled task).
bool OnDispatchThread();

// Virtual clock only: moves time forward to `now + ms`, running every task that falls due on the way in
// due-time order (a task scheduled by a task within the span runs in the same advance), and returns when they
// have returned. `stop` is asked after each task; when it answers true the clock stays at that task's time.
// Called on the dispatch thread (from inside a task) it only moves the clock: the outer advance runs the
// tasks that became due, late but in order. On real time it does nothing.
void Advance(uint64_t ms, const std::function<bool()>& stop = {});
// Virtual clock only: moves the clock to `ms` if that is later, without running tasks.
void MoveTo(uint64_t ms);

// Called without locks held each time virtual time moves, so that blocked waits can re-check their deadlines.
void AddTimeListener(void (*listener)());

// The clock's rules for every wait with a time-out, for waits built on a condition variable (the kernel's
// objects, message queues): blocks on `cv` until `ready()` (asked with `lock` held) or until `milliseconds`
// (INFINITE: no limit) have passed on the stand-in's clock. On the virtual clock it first blocks in real time
// for the grace below, then advances the clock towards its deadline, running timers on the way and stopping
// as soon as `ready()` holds. Whoever makes `ready()` true notifies `cv`. Returns ready().
bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, uint32_t milliseconds,
             const std::function<bool()>& ready);

// How long a timed wait on the virtual clock blocks in real time, waiting for another thread, before it makes
// the virtual time pass itself (WINAPI_VIRTUAL_WAIT_GRACE_MS, default 200).
uint32_t VirtualWaitGraceMs();

}  // namespace winapi::clock

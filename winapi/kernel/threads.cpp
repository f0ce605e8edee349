// Threads: creation (suspended or not), suspend counts, cooperative termination, exit codes, priorities and
// sleeping. A POSIX thread cannot be stopped safely from outside, so TerminateThread and SuspendThread of
// another thread take effect when that thread next enters a wait or a sleep of the stand-in.
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "winapi/kernel/clock.h"
#include "winapi/kernel/internal.h"
#include "winapi/kernel/objects.h"

namespace winapi::kernel {
namespace {

const HANDLE kCurrentThreadPseudo = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

// Ends the stand-in's view of a thread when the thread goes away, however it goes.
struct ThreadHolder {
  std::shared_ptr<ThreadObject> object;
  ~ThreadHolder() {
    if (object) FinishThread(*object, object->pendingExitCode);
  }
};
thread_local ThreadHolder t_holder;

struct FinishOnExit {
  ThreadObject& thread;
  ~FinishOnExit() { FinishThread(thread, thread.pendingExitCode); }
};

void* ThreadMain(void* argument) {
  std::shared_ptr<ThreadObject> self = std::move(*static_cast<std::shared_ptr<ThreadObject>*>(argument));
  delete static_cast<std::shared_ptr<ThreadObject>*>(argument);
  winapi::internal::AdoptThreadId(self->id);
  t_holder.object = self;
  FinishOnExit finish{*self};
  {
    std::unique_lock lk(SyncLock());
    Checkpoint(lk, *self);  // a thread made suspended starts here; terminated before it ran, it ends here
  }
  self->pendingExitCode = self->start(self->parameter);
  return nullptr;
}

bool ValidPriority(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL: return true;
    default: return false;
  }
}

std::shared_ptr<ThreadObject> FindThread(HANDLE handle) {
  auto thread = Find<ThreadObject>(handle);
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

}  // namespace

std::shared_ptr<ThreadObject> CurrentThread() {
  if (!t_holder.object) {
    auto object = std::make_shared<ThreadObject>();
    object->id = winapi::internal::CurrentThreadId();
    t_holder.object = std::move(object);
  }
  return t_holder.object;
}

void Checkpoint(std::unique_lock<std::mutex>& lock, ThreadObject& self) {
  for (;;) {
    if (self.terminateRequested) {
      DWORD code = self.terminateCode;
      lock.unlock();
      EndCurrentThread(code);
    }
    if (self.suspendCount == 0) return;
    self.gate.wait(lock);
  }
}

void FinishThread(ThreadObject& thread, DWORD exitCode) {
  std::lock_guard guard(SyncLock());
  if (thread.finished) return;
  thread.finished = true;
  thread.exitCode = exitCode;
  AbandonMutexesOf(thread.id);
  Satisfy(thread);
}

void EndCurrentThread(DWORD exitCode) {
  CurrentThread()->pendingExitCode = exitCode;
  // Unwinds the thread's stack (destructors run) and ends it; the holders above record the exit.
  pthread_exit(nullptr);
}

}  // namespace winapi::kernel

using namespace winapi::kernel;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (winapi::internal::FailNow("CreateThread")) return nullptr;
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>();
  thread->id = winapi::internal::NewThreadId();
  thread->start = start;
  thread->parameter = parameter;
  thread->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;
  HANDLE handle = AddHandle(thread);
  if (!handle) return nullptr;

  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  size_t defaultStack = 0;
  pthread_attr_getstacksize(&attr, &defaultStack);
  if (stackSize > defaultStack) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    pthread_attr_setstacksize(&attr, (stackSize + page - 1) / page * page);
  }
  auto* argument = new std::shared_ptr<ThreadObject>(thread);
  pthread_t posixThread;
  int error = pthread_create(&posixThread, &attr, ThreadMain, argument);
  pthread_attr_destroy(&attr);
  if (error != 0) {
    delete argument;
    RemoveHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = thread->id;
  return handle;
}

DWORD ResumeThread(HANDLE handle) {
  auto thread = FindThread(handle);
  if (!thread) return static_cast<DWORD>(-1);
  std::lock_guard guard(SyncLock());
  DWORD previous = thread->suspendCount;
  if (previous > 0 && --thread->suspendCount == 0) thread->gate.notify_all();
  return previous;
}

DWORD SuspendThread(HANDLE handle) {
  auto thread = FindThread(handle);
  if (!thread) return static_cast<DWORD>(-1);
  std::unique_lock lk(SyncLock());
  if (thread->finished) return 0;
  DWORD previous = thread->suspendCount++;
  if (thread == CurrentThread()) Checkpoint(lk, *thread);  // the caller stops until resumed
  return previous;
}

BOOL TerminateThread(HANDLE handle, DWORD exitCode) {
  auto thread = FindThread(handle);
  if (!thread) return FALSE;
  if (thread == CurrentThread()) EndCurrentThread(exitCode);
  std::lock_guard guard(SyncLock());
  if (thread->finished || thread->terminateRequested) return TRUE;
  thread->terminateRequested = true;
  thread->terminateCode = exitCode;
  WakeBlocked(*thread);  // the wait it is blocked in ends the thread
  thread->gate.notify_all();
  return TRUE;
}

void ExitThread(DWORD exitCode) { EndCurrentThread(exitCode); }

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  auto thread = FindThread(handle);
  if (!thread || !exitCode) {
    if (thread) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(SyncLock());
  *exitCode = thread->finished ? thread->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL SetThreadPriority(HANDLE handle, int priority) {
  auto thread = FindThread(handle);
  if (!thread) return FALSE;
  if (!ValidPriority(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Recorded only: raising a priority needs privileges, and the game's timing does not depend on it.
  std::lock_guard guard(SyncLock());
  thread->priority = priority;
  return TRUE;
}

int GetThreadPriority(HANDLE handle) {
  auto thread = FindThread(handle);
  if (!thread) return THREAD_PRIORITY_ERROR_RETURN;
  std::lock_guard guard(SyncLock());
  return thread->priority;
}

HANDLE GetCurrentThread() { return kCurrentThreadPseudo; }
DWORD GetCurrentThreadId() { return winapi::internal::CurrentThreadId(); }

BOOL SwitchToThread() {
  sched_yield();
  return TRUE;
}

DWORD SleepEx(DWORD milliseconds, BOOL) {
  auto self = CurrentThread();
  {
    std::unique_lock lk(SyncLock());
    Checkpoint(lk, *self);
  }
  if (milliseconds == 0) {
    sched_yield();
    return 0;
  }
  if (milliseconds != INFINITE && winapi::clock::IsVirtual()) {
    // On the virtual clock a sleeping thread makes the time pass, firing the timers that fall due.
    winapi::clock::Advance(milliseconds);
    std::unique_lock lk(SyncLock());
    Checkpoint(lk, *self);
    return 0;
  }
  WaitForObjects({}, false, milliseconds);
  return 0;
}

void Sleep(DWORD milliseconds) { SleepEx(milliseconds, FALSE); }

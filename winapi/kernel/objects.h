// Kernel objects behind handles, and the wait machinery that events, mutexes, semaphores and threads share.
// Other parts of the stand-in put their own objects in the same handle table (files, find handles) and may
// add waitable objects of their own (a thread's message queue for MsgWaitForMultipleObjects).
#pragma once

#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "windows.h"

namespace winapi::kernel {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Puts an object in the handle table; null (ERROR_NOT_ENOUGH_MEMORY) when the table is full.
HANDLE AddHandle(std::shared_ptr<KernelObject> object);
// The object a handle names (GetCurrentThread's pseudo handle included), or null.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> Find(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}
// Takes the handle out of the table; the object lives on while anyone else holds it. False if unknown.
bool RemoveHandle(HANDLE handle);
// Named objects: the live object of that name, or null. Register replaces a dead entry.
std::shared_ptr<KernelObject> FindNamed(const char* name);
void RegisterName(const char* name, const std::shared_ptr<KernelObject>& object);

struct Waiter;

// An object that waits can be satisfied by. Ready and Take run with SyncLock() held.
class Waitable : public KernelObject {
 public:
  // Whether a wait by the thread with this id would be satisfied now.
  virtual bool Ready(DWORD threadId) const = 0;
  // Consumes the signal for that thread (auto reset, a count, ownership). True for an abandoned mutex.
  virtual bool Take(DWORD threadId) {
    (void)threadId;
    return false;
  }
  std::list<Waiter*> waiters;  // blocked waits that name this object, oldest first
};

// The one lock of all waitable objects' state.
std::mutex& SyncLock();
// With SyncLock held, after `object` became ready: completes the blocked waits it satisfies, oldest first.
void Satisfy(Waitable& object);
// Waits for any or all of the objects (an empty list only sleeps), by the stand-in's clock rules; returns
// WAIT_OBJECT_0 + i, WAIT_ABANDONED_0 + i or WAIT_TIMEOUT. Ends the calling thread when it is terminated.
DWORD WaitForObjects(const std::vector<std::shared_ptr<Waitable>>& objects, bool waitAll, DWORD milliseconds);

// A thread as the stand-in knows it: every thread that calls into it has one, made on first use.
class ThreadObject : public Waitable {
 public:
  bool Ready(DWORD) const override { return finished; }

  DWORD id = 0;
  // Guarded by SyncLock:
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  int priority = THREAD_PRIORITY_NORMAL;
  DWORD suspendCount = 0;
  bool terminateRequested = false;
  DWORD terminateCode = 0;
  Waiter* blockedIn = nullptr;
  std::condition_variable gate;  // a suspended thread waits here
  // Set by the thread itself:
  DWORD pendingExitCode = 0;
  LPTHREAD_START_ROUTINE start = nullptr;
  LPVOID parameter = nullptr;
};

std::shared_ptr<ThreadObject> CurrentThread();
// With the lock held: ends the thread when it was terminated, waits while it is suspended.
void Checkpoint(std::unique_lock<std::mutex>& lock, ThreadObject& self);
// Marks the thread ended with its exit code, abandons its mutexes and releases its waiters.
void FinishThread(ThreadObject& thread, DWORD exitCode);
// With SyncLock held: mutexes owned by the thread become free and abandoned.
void AbandonMutexesOf(DWORD threadId);
[[noreturn]] void EndCurrentThread(DWORD exitCode);
// With SyncLock held: wakes the wait the thread is blocked in, so that it sees a termination request.
void WakeBlocked(ThreadObject& thread);

}  // namespace winapi::kernel

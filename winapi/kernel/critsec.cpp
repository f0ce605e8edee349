// Critical sections (re-entrant locks) and the interlocked operations.
#include <atomic>
#include <mutex>

#include "winapi/kernel/internal.h"

namespace {

std::mutex* Impl(LPCRITICAL_SECTION section) {
  // A zero-filled section is usable: the lock is made on first entry, once, even when threads race.
  void* current = __atomic_load_n(&section->impl, __ATOMIC_ACQUIRE);
  if (current) return static_cast<std::mutex*>(current);
  auto* fresh = new std::mutex;
  void* expected = nullptr;
  if (__atomic_compare_exchange_n(&section->impl, &expected, fresh, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
    return fresh;
  delete fresh;
  return static_cast<std::mutex*>(expected);
}

DWORD Owner(LPCRITICAL_SECTION section) { return __atomic_load_n(&section->ownerThread, __ATOMIC_ACQUIRE); }
void SetOwner(LPCRITICAL_SECTION section, DWORD id) { __atomic_store_n(&section->ownerThread, id, __ATOMIC_RELEASE); }

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  section->impl = new std::mutex;
  section->ownerThread = 0;
  section->recursion = 0;
  section->reserved[0] = section->reserved[1] = nullptr;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  delete static_cast<std::mutex*>(section->impl);
  section->impl = nullptr;
  section->ownerThread = 0;
  section->recursion = 0;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return;
  DWORD self = winapi::internal::CurrentThreadId();
  if (Owner(section) == self) {
    ++section->recursion;
    return;
  }
  Impl(section)->lock();
  SetOwner(section, self);
  section->recursion = 1;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!section) return FALSE;
  DWORD self = winapi::internal::CurrentThreadId();
  if (Owner(section) == self) {
    ++section->recursion;
    return TRUE;
  }
  if (!Impl(section)->try_lock()) return FALSE;
  SetOwner(section, self);
  section->recursion = 1;
  return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  // Leaving a section the caller does not hold would corrupt the lock: it is ignored.
  if (!section || Owner(section) != winapi::internal::CurrentThreadId()) return;
  if (--section->recursion > 0) return;
  section->recursion = 0;
  SetOwner(section, 0);
  static_cast<std::mutex*>(section->impl)->unlock();
}

LONG InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

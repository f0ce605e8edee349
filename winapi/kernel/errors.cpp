// The per-thread last error and the small thread ids that the stand-in hands out.
#include <atomic>

#include "winapi/kernel/internal.h"

namespace {
thread_local DWORD t_lastError = 0;
thread_local DWORD t_threadId = 0;
std::atomic<DWORD> g_nextThreadId{1};
}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

namespace winapi::internal {

DWORD NewThreadId() {
  DWORD id = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
  if (id == 0) id = g_nextThreadId.fetch_add(1, std::memory_order_relaxed);  // wrapped: skip 0
  return id;
}

DWORD CurrentThreadId() {
  if (t_threadId == 0) t_threadId = NewThreadId();
  return t_threadId;
}

void AdoptThreadId(DWORD id) { t_threadId = id; }

}  // namespace winapi::internal

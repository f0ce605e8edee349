// The pool of critical sections.
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"

namespace {

constexpr uint32_t kFreeSignature = 0x46524545;  // "EERF" in memory

struct PoolEntry {
  CRITICAL_SECTION section;  // first, so that the section's address is the entry's
  PoolEntry* link;
  uint32_t signature;
};

// Threads take and give back sections at any time, so the free list has a lock of its own.
std::mutex poolmutex;
PoolEntry* freelist = nullptr;
int freecount = 0;
int batchcount = 32;

// Batches are page-sized and live as long as the process. They come from the heap rather than straight
// from the system so that leak checkers see the sections' own allocations as reachable.
// Never destroyed: sections may be in use until the very end.
auto* batches = new std::vector<std::unique_ptr<PoolEntry[]>>;

bool growpool() {
  const size_t page = systempagesize();
  size_t size = (static_cast<size_t>(batchcount) * sizeof(PoolEntry) + page - 1) / page * page;
  std::unique_ptr<PoolEntry[]> batch(new (std::nothrow) PoolEntry[size / sizeof(PoolEntry)]);
  if (!batch) return false;
  PoolEntry* entries = batch.get();
  batches->push_back(std::move(batch));
  size_t count = size / sizeof(PoolEntry);
  for (size_t i = 0; i < count; ++i) {
    entries[i].signature = kFreeSignature;
    entries[i].link = freelist;
    freelist = &entries[i];
  }
  freecount += static_cast<int>(count);
  return true;
}

}  // namespace

CRITICAL_SECTION* getcriticalsection() {
  initmainthread();
  PoolEntry* entry;
  {
    std::lock_guard<std::mutex> guard(poolmutex);
    if (!freelist && !growpool()) return nullptr;
    entry = freelist;
    freelist = entry->link;
    --freecount;
  }
  entry->link = nullptr;
  entry->signature = 0;
  InitializeCriticalSection(&entry->section);
  return &entry->section;
}

void freecriticalsection(CRITICAL_SECTION* section) {
  if (!section) return;
  auto* entry = reinterpret_cast<PoolEntry*>(section);
  if (entry->signature == kFreeSignature) return;  // already back in the pool
  DeleteCriticalSection(section);
  std::lock_guard<std::mutex> guard(poolmutex);
  entry->signature = kFreeSignature;
  entry->link = freelist;
  freelist = entry;
  ++freecount;
}

void entercritical(CRITICAL_SECTION* section) {
  if (section) EnterCriticalSection(section);
}

void leavecritical(CRITICAL_SECTION* section) {
  if (section) LeaveCriticalSection(section);
}

int criticalpoolfree() {
  std::lock_guard<std::mutex> guard(poolmutex);
  return freecount;
}

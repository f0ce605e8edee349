// Plain and handle blocks over the system's page allocator.
#include "framework/core/memmgr.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/core/errors.h"
#include "platformlib/core/memclass.h"
#include "windows.h"

namespace {

struct HandleTable {
  void* address[MEM_HANDLECOUNT];
  size_t size[MEM_HANDLECOUNT];
  int32_t locks[MEM_HANDLECOUNT];
  int hint = 1;  // lowest free handle, or 0 when the table is full
};

HandleTable gTable{};
size_t gPageSize = 0;
size_t gPhysical = 0;

void LearnSystem() {
  if (gPageSize == 0) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    gPageSize = info.dwPageSize ? info.dwPageSize : 4096;
  }
  if (gPhysical == 0) gPhysical = getphysicalmemory();
}

void* Pages(size_t size) {
  // The system refuses empty regions; a zero-byte block still takes a page.
  return VirtualAlloc(nullptr, std::max<size_t>(size, 1), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

bool Release(void* address) { return VirtualFree(address, 0, MEM_RELEASE) != 0; }

bool InRange(MemHandle h) { return h > 0 && h < MEM_HANDLECOUNT; }

void FindNextHint(int from) {
  for (int i = from; i < MEM_HANDLECOUNT; ++i) {
    if (gTable.address[i] == nullptr) {
      gTable.hint = i;
      return;
    }
  }
  for (int i = 1; i < from && i < MEM_HANDLECOUNT; ++i) {
    if (gTable.address[i] == nullptr) {
      gTable.hint = i;
      return;
    }
  }
  gTable.hint = 0;
}

}  // namespace

void MemInit(int screenWidth, int screenHeight) {
  memset(gTable.address, 0, sizeof gTable.address);
  memset(gTable.size, 0, sizeof gTable.size);
  memset(gTable.locks, 0, sizeof gTable.locks);
  gTable.hint = 1;
  if (screenWidth * screenHeight < 800 * 600) {
    screenWidth = 800;
    screenHeight = 600;
  }
  if (!memstarted()) initmem(screenWidth * screenHeight * 16);
}

void* MemAlloc(size_t size, uint16_t flags, const char*, int) {
  void* block = Pages(size);
  if (block != nullptr && (flags & MEM_ZEROFILL)) memset(block, 0, size);
  return block;
}

void* MemAllocUntagged(size_t size, uint16_t flags) { return MemAlloc(size, flags, "Nada", 0); }

int MemFree(void* address) {
  if (address == nullptr) return MEM_OK;
  return Release(address) ? MEM_OK : MEM_FREEBLOCK;
}

MemHandle MemAllocHandle(size_t size, uint16_t flags) {
  if (gTable.hint == 0) return 0;  // every handle is taken
  void* block = MemAlloc(size, flags, "Nada", 0);
  if (block == nullptr) return 0;
  MemHandle h = gTable.hint;
  gTable.address[h] = block;
  gTable.size[h] = size;
  gTable.locks[h] = 0;
  FindNextHint(h + 1);
  return h;
}

int MemResizeHandle(MemHandle handle, size_t newSize, uint16_t) {
  if (!InRange(handle)) return MEM_BADHANDLE;
  if (gTable.address[handle] == nullptr) return MEM_FREEBLOCK;
  void* fresh = Pages(newSize);
  if (fresh == nullptr) return MEM_FULL;
  memcpy(fresh, gTable.address[handle], std::min(newSize, gTable.size[handle]));
  void* old = gTable.address[handle];
  gTable.address[handle] = fresh;
  gTable.size[handle] = newSize;
  return Release(old) ? MEM_OK : MEM_FREEBLOCK;
}

int MemFreeHandle(MemHandle handle) {
  if (!InRange(handle)) return MEM_BADHANDLE;
  if (gTable.address[handle] == nullptr) return MEM_FREEBLOCK;
  // Freeing a locked block would leave its holder with a dangling address.
  if (gTable.locks[handle] > 0) return MEM_BADHANDLE;
  int result = Release(gTable.address[handle]) ? MEM_OK : MEM_FREEBLOCK;
  gTable.address[handle] = nullptr;
  gTable.size[handle] = 0;
  gTable.locks[handle] = 0;
  if (gTable.hint == 0 || handle < gTable.hint) gTable.hint = handle;
  return result;
}

void* MemLock(MemHandle handle) {
  if (!InRange(handle) || gTable.address[handle] == nullptr) return nullptr;
  ++gTable.locks[handle];
  return gTable.address[handle];
}

int MemUnlock(MemHandle handle) {
  if (!InRange(handle)) return MEM_BADHANDLE;
  if (gTable.address[handle] == nullptr) return MEM_FREEBLOCK;
  if (gTable.locks[handle] <= 0) return MEM_BADHANDLE;
  --gTable.locks[handle];
  return MEM_OK;
}

size_t MemHandleSize(MemHandle handle) { return InRange(handle) ? gTable.size[handle] : 0; }

int MemLockCount(MemHandle handle) { return InRange(handle) ? gTable.locks[handle] : 0; }

int MemLiveHandles() {
  return static_cast<int>(std::count_if(std::begin(gTable.address) + 1, std::end(gTable.address),
                                        [](void* a) { return a != nullptr; }));
}

void MemCopy(void* destination, const void* source, size_t count) {
  memmove(destination, source, count);
}

void MemClear(void* address, size_t count) { memset(address, 0, count); }

void MemFill(void* address, int value, size_t count) { memset(address, value, count); }

void MemTouchPages(const void* address, size_t limit) {
  LearnSystem();
  limit = std::min(limit, gPhysical);
  if (limit < gPageSize || address == nullptr) return;
  // Walking the pages only brings them in; nothing is read or written, so the walk itself is left out.
}

void MemTouchHandle(MemHandle handle) {
  if (handle == 0) return;
  void* block = MemLock(handle);
  MemTouchPages(block, MemHandleSize(handle));
  MemUnlock(handle);
}

void MemDebugNoOp() {}

void MemResetForTests() {
  for (int i = 1; i < MEM_HANDLECOUNT; ++i) {
    if (gTable.address[i] != nullptr) Release(gTable.address[i]);
    gTable.address[i] = nullptr;
    gTable.size[i] = 0;
    gTable.locks[i] = 0;
  }
  gTable.hint = 1;
}

void* MemOperatorNew(size_t size) {
  void* block = MemAlloc(size, 0, "New", 0);
  if (block == nullptr) ShowErrorBox(ERR_MEMORYFULL, true);
  return block;
}

void MemOperatorDelete(void* address) { MemFree(address); }

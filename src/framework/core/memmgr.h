// The game's allocator: plain blocks by address and movable blocks under numbered handles with lock counts.
// Every block is a whole run of pages from the system's virtual memory.
#pragma once

#include <cstddef>
#include <cstdint>

// Result codes, shared with the error table.
constexpr int MEM_OK = 0;
constexpr int MEM_FULL = 2;
constexpr int MEM_FREEBLOCK = 3;
constexpr int MEM_BADHANDLE = 4;

constexpr int MEM_HANDLECOUNT = 2048;  // usable handles are 1 to 2047
constexpr uint16_t MEM_ZEROFILL = 0x10;

using MemHandle = int32_t;

// Starts the manager and the platform library's memory system (16 bytes per pixel of the screen size,
// at least 800 x 600).
void MemInit(int screenWidth = 800, int screenHeight = 600);

void* MemAlloc(size_t size, uint16_t flags, const char* tag, int line);
void* MemAllocUntagged(size_t size, uint16_t flags);
int MemFree(void* address);

// 0 when no memory or no handle is left.
MemHandle MemAllocHandle(size_t size, uint16_t flags);
int MemResizeHandle(MemHandle handle, size_t newSize, uint16_t flags);
// A locked handle is not freed (MEM_BADHANDLE); an unknown one gives MEM_BADHANDLE, a freed one MEM_FREEBLOCK.
int MemFreeHandle(MemHandle handle);
void* MemLock(MemHandle handle);
// Unlocking a handle that is not locked leaves its count at 0 and gives MEM_BADHANDLE.
int MemUnlock(MemHandle handle);
size_t MemHandleSize(MemHandle handle);
int MemLockCount(MemHandle handle);
int MemLiveHandles();

void MemCopy(void* destination, const void* source, size_t count);
void MemClear(void* address, size_t count);
void MemFill(void* address, int value, size_t count);
void MemTouchPages(const void* address, size_t limit);
void MemTouchHandle(MemHandle handle);
void MemDebugNoOp();

// Forgets every handle (the blocks are released); for tests.
void MemResetForTests();

// The game program's operator new: never null; when memory runs out it ends with the "memory was full" box.
void* MemOperatorNew(size_t size);
void MemOperatorDelete(void* address);

#define MEMALLOC(size, flags) MemAlloc((size), (flags), __FILE__, __LINE__)

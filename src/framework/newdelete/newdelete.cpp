// The game program's global operator new and delete, routed through the memory manager. Never null: when
// memory runs out the "memory was full" box ends the program.
#include <new>

#include "framework/core/memmgr.h"

void* operator new(std::size_t size) { return MemOperatorNew(size); }
void* operator new[](std::size_t size) { return MemOperatorNew(size); }
void operator delete(void* address) noexcept { MemOperatorDelete(address); }
void operator delete[](void* address) noexcept { MemOperatorDelete(address); }
void operator delete(void* address, std::size_t) noexcept { MemOperatorDelete(address); }
void operator delete[](void* address, std::size_t) noexcept { MemOperatorDelete(address); }

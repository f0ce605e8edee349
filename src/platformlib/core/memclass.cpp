// Memory classes and block checks.
#include "platformlib/core/memclass.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

MemClass* memclasses[MEMCLASSCOUNT];
uint32_t reservememdefaulttype = 0;

namespace {

constexpr uint32_t kHeadSize = 0x7FFFFFFF;
constexpr uint32_t kClassBits = MB_NAMED | MB_SENTINEL | MB_SOURCE;

void* memarea = nullptr;  // the area taken by initmem
int memareasize = 0;

char* payloadof(MemBlock* block) { return reinterpret_cast<char*>(block) + MEMHEADER; }
MemBlock** freelinks(MemBlock* block) { return reinterpret_cast<MemBlock**>(payloadof(block)); }
MemBlock* head(MemClass* cls) { return &cls->freehead.header; }

int64_t roundup(int64_t value, int64_t alignment) { return (value + alignment - 1) & ~(alignment - 1); }

// Bytes of the trailer before the name, by the block's bits.
int fixedtrailer(const MemClass* cls, uint32_t type) {
  int bits = 0;
  if (type & MB_SENTINEL) bits += 4;
  if (type & MB_SOURCE) bits += static_cast<int>(sizeof(const char*)) + 4;
  if (type & MB_ZEROWORD) bits += 4;
  return std::max(bits, cls->trailerlength);
}

int trailerfor(const MemClass* cls, uint32_t type, const char* name) {
  int length = fixedtrailer(cls, type);
  if ((type & MB_NAMED) && name) length += static_cast<int>(std::strlen(name)) + 1;
  return length;
}

// Room for a payload of `size` with its trailer, so that the next block starts aligned.
int64_t neededlength(const MemClass* cls, int64_t size, int trailer) {
  return roundup(std::max<int64_t>(size + trailer, MEMMINROOM) + MEMHEADER, cls->alignment) - MEMHEADER;
}

int64_t roomof(const MemBlock* block) {
  return reinterpret_cast<const char*>(block->next) - reinterpret_cast<const char*>(block) - MEMHEADER;
}

class ClassLock {
 public:
  explicit ClassLock(MemClass* cls) : section_(cls->lock) {
    if (section_) EnterCriticalSection(section_);
  }
  ~ClassLock() { release(); }
  void release() {
    if (section_) LeaveCriticalSection(section_);
    section_ = nullptr;
  }
  ClassLock(const ClassLock&) = delete;
  ClassLock& operator=(const ClassLock&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

uint32_t typeforclass(const MemClass* cls, uint32_t type, const char* name) {
  uint32_t result = (type & ~kClassBits & 0xFFFF) | (cls->flags & kClassBits);
  if (!name) result &= ~MB_NAMED;
  return result;
}

void freeunlink(MemBlock* block) {
  MemBlock** links = freelinks(block);
  freelinks(links[0])[1] = links[1];
  freelinks(links[1])[0] = links[0];
  block->signature = 0;
  block->type = static_cast<uint16_t>(block->type & ~MB_FREE);
}

void memfreeinsert(MemClass* cls, MemBlock* block) {
  block->size = static_cast<uint32_t>(roomof(block));
  MemBlock* h = head(cls);
  const char* mid = reinterpret_cast<const char*>(cls->first) +
                    (reinterpret_cast<const char*>(cls->last) - reinterpret_cast<const char*>(cls->first)) / 2;
  MemBlock* after;  // the new block goes after this one
  if (reinterpret_cast<const char*>(block) < mid) {
    MemBlock* node = freelinks(h)[0];
    while (node != h && node < block) node = freelinks(node)[0];
    after = freelinks(node)[1];
  } else {
    MemBlock* node = freelinks(h)[1];
    while (node != h && node > block) node = freelinks(node)[1];
    after = node;
  }
  MemBlock* before = freelinks(after)[0];
  freelinks(block)[0] = before;
  freelinks(block)[1] = after;
  freelinks(after)[0] = block;
  freelinks(before)[1] = block;
  block->signature = MEMSIG_FREE;
  block->type = static_cast<uint16_t>(block->type | MB_FREE);
}

// Links a new block header at `at` after `block` in the address chain.
MemBlock* chainafter(MemBlock* block, char* at, uint16_t type) {
  auto* fresh = reinterpret_cast<MemBlock*>(at);
  fresh->signature = 0;
  fresh->type = type;
  fresh->size = 0;
  fresh->next = block->next;
  fresh->prev = block;
  if (block->next) block->next->prev = fresh;
  block->next = fresh;
  return fresh;
}

void makememblock(MemClass* cls, MemBlock* block, int size, uint32_t type, const char* name) {
  block->signature = MEMSIG_USED;
  block->type = static_cast<uint16_t>(type);
  block->size = static_cast<uint32_t>(size);
  char* trailer = payloadof(block) + size;
  char* end = trailer + fixedtrailer(cls, type);
  if (type & MB_SENTINEL) {
    std::memcpy(trailer, "BEND", 4);
    trailer += 4;
  }
  if (type & MB_SOURCE) {
    const char* file = calledfromfile ? calledfromfile : abortfile;
    int line = calledfromfile ? calledfromline : abortline;
    std::memcpy(trailer, &file, sizeof file);
    std::memcpy(trailer + sizeof file, &line, 4);
    trailer += sizeof file + 4;
  }
  std::memset(trailer, 0, static_cast<size_t>(end - trailer));
  if ((type & MB_NAMED) && name) std::memcpy(end, name, std::strlen(name) + 1);
}

MemClass* classof(const MemBlock* block) { return memclasses[block->type & MB_CLASSMASK]; }

// Whether the address lies inside the area of some class, so that its header may be read.
bool insideclasses(const void* address) {
  const char* p = static_cast<const char*>(address);
  for (MemClass* cls : memclasses) {
    if (cls && p >= reinterpret_cast<const char*>(cls->first) + MEMHEADER &&
        p <= reinterpret_cast<const char*>(cls->last))
      return true;
  }
  return false;
}

bool notamemblock(const void* payload, const char* function, const char* file, int line) {
  if (insideclasses(payload) && memblockof(payload)->signature == MEMSIG_USED) return false;
  if (abortonerror) {
    abortfile = file;
    abortfunction = function;
    abortline = line;
    if (insideclasses(payload)) {
      const MemBlock* block = memblockof(payload);
      abortmessage("%s - NOT A MEMBLOCK.  BLOCK @ 0x%08lx, SIGNATURE '%2.2s' (0x%02x)\n", function,
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(block)),
                   reinterpret_cast<const char*>(&block->signature), block->signature);
    } else {
      abortmessage("%s - NOT A MEMBLOCK.  BLOCK @ 0x%08lx, SIGNATURE '%2.2s' (0x%02x)\n", function,
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(payload)), "??", 0);
    }
  }
  return true;
}

int returnzero() { return 0; }

}  // namespace

// ---- classes ------------------------------------------------------------------------------------------------------

int creatememclass(int classnumber, const char* name, void* area, int areasize, int alignment, int secondvalue,
                   int trailerlength, int sentinels, int sourcetags, int names, int locked,
                   MemClassCallback callback) {
  if (classnumber < 0 || classnumber >= MEMCLASSCOUNT) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\memstd.c", "creatememclass");
      abortmessage("creatememclass - CLASS NUMBER OF %d IS OUT OF RANGE. SHOULD BE 0..%d\n", classnumber,
                   MEMCLASSCOUNT);
    }
    return 0;
  }
  // Headers hold pointers, so blocks start at least 8-aligned.
  int align = 8;
  while (align < alignment) align <<= 1;
  uint32_t flags = static_cast<uint32_t>(classnumber) | (names ? MB_NAMED : 0) | (sentinels ? MB_SENTINEL : 0) |
                   (sourcetags ? MB_SOURCE : 0);
  MemClass probe{};
  probe.alignment = align;
  probe.trailerlength = trailerlength;
  char lowname[32], highname[32];
  std::snprintf(lowname, sizeof lowname, "%.7s LOW", name ? name : "");
  std::snprintf(highname, sizeof highname, "%.7s HIGH", name ? name : "");
  const uint32_t lowtype = MB_BOUNDARY | flags;
  const uint32_t hightype = MB_BOUNDARY | MB_HIGH | flags;
  const char* lowtag = (flags & MB_NAMED) ? lowname : nullptr;
  const char* hightag = (flags & MB_NAMED) ? highname : nullptr;
  int64_t firstroom = neededlength(&probe, sizeof(MemClass), trailerfor(&probe, lowtype, lowtag));
  int64_t lastroom = neededlength(&probe, 0, trailerfor(&probe, hightype, hightag));

  char* start = reinterpret_cast<char*>(roundup(reinterpret_cast<intptr_t>(area), align));
  char* areaend = static_cast<char*>(area) + (areasize > 0 ? areasize : 0);
  char* laststart = reinterpret_cast<char*>((reinterpret_cast<intptr_t>(areaend) - MEMHEADER - lastroom) &
                                            ~static_cast<intptr_t>(align - 1));
  char* middle = start + MEMHEADER + firstroom;
  if (!area || laststart - middle < MEMHEADER + MEMMINROOM) return 0;

  auto* first = reinterpret_cast<MemBlock*>(start);
  auto* middleblock = reinterpret_cast<MemBlock*>(middle);
  auto* last = reinterpret_cast<MemBlock*>(laststart);
  first->next = middleblock;
  first->prev = nullptr;
  middleblock->next = last;
  middleblock->prev = first;
  middleblock->type = static_cast<uint16_t>(classnumber);
  last->next = nullptr;
  last->prev = middleblock;

  auto* cls = reinterpret_cast<MemClass*>(payloadof(first));
  std::memset(static_cast<void*>(cls), 0, sizeof(MemClass));
  std::snprintf(cls->name, sizeof cls->name, "%s", name ? name : "");
  cls->first = first;
  cls->last = last;
  cls->freehead.header.signature = MEMSIG_HEAD;
  cls->freehead.header.size = kHeadSize;
  cls->freehead.nextfree = head(cls);
  cls->freehead.prevfree = head(cls);
  cls->alignment = align;
  cls->secondvalue = secondvalue;
  cls->trailerlength = trailerlength;
  cls->flags = flags;
  cls->callback = callback;
  makememblock(cls, first, sizeof(MemClass), lowtype, lowtag);
  makememblock(cls, last, 0, hightype, hightag);
  memclasses[classnumber] = cls;
  memfreeinsert(cls, middleblock);
  if (locked) cls->lock = getcriticalsection();
  return static_cast<int>(middleblock->size);
}

int removememclass(int classnumber) {
  if (classnumber < 0 || classnumber >= MEMCLASSCOUNT || !memclasses[classnumber]) return 1;
  MemClass* cls = memclasses[classnumber];
  freecriticalsection(cls->lock);
  for (MemClass*& entry : memclasses)
    if (entry == cls) entry = nullptr;
  std::memset(static_cast<void*>(cls), 0, sizeof(MemClass));
  return 1;
}

void clearmemclasses() { std::fill(std::begin(memclasses), std::end(memclasses), nullptr); }

int initmemclass(void* area, int size) {
  int room = creatememclass(0, "RAM", area, size, 8, 32, 16, 1, 1, 1, 1, returnzero);
  if (!room) return 0;
  memclasses[1] = memclasses[0];
  return room;
}

int initmem(int size) {
  if (memarea) return 1;
  if (size <= 0) return 0;
  void* area = std::malloc(static_cast<size_t>(size));
  if (!area) return 0;
  if (!initmemclass(area, size)) {
    std::free(area);
    return 0;
  }
  memarea = area;
  memareasize = size;
  return 1;
}

void exitmem() {
  if (!memarea) return;
  for (int i = 0; i < MEMCLASSCOUNT; ++i) {
    MemClass* cls = memclasses[i];
    if (cls && reinterpret_cast<char*>(cls) >= static_cast<char*>(memarea) &&
        reinterpret_cast<char*>(cls) < static_cast<char*>(memarea) + memareasize)
      removememclass(i);
  }
  std::free(memarea);
  memarea = nullptr;
}

int memstarted() { return memarea != nullptr; }

// ---- reserve, purge, resize ----------------------------------------------------------------------------------------------

void* reservememadr(const char* name, int size, uint32_t type) {
  MemClass* cls = memclasses[type & MB_CLASSMASK];
  if (!cls) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\memstd.c", "reservememadr");
      abortmessage("reservememadr - MEMORY CLASS %d NOT CREATED\n", static_cast<int>(type & MB_CLASSMASK));
    }
    return nullptr;
  }
  ClassLock lock(cls);
  if (size < 0) {
    lock.release();
    if (abortonerror) {
      ABORTCONTEXT("cmn\\memstd.c", "reservememadr");
      abortmessage("reservememadr - INVALID SIZE REQUESTED\nrequested '%s': %d\navailable: %d. type %04lx MB_LOW\n",
                   name ? name : "", size, largestmem(static_cast<int>(type & MB_CLASSMASK)),
                   static_cast<unsigned long>(type));
    }
    return nullptr;
  }
  if (size < 8) size = 8;
  const uint32_t blocktype = typeforclass(cls, type, name);
  const int64_t needed = neededlength(cls, size, trailerfor(cls, blocktype, name));

  MemBlock* h = head(cls);
  MemBlock* found = nullptr;
  if (type & MB_LARGEST) {
    for (MemBlock* node = freelinks(h)[0]; node != h; node = freelinks(node)[0])
      if (node->size >= needed && (!found || node->size > found->size)) found = node;
  } else if (type & MB_HIGH) {
    for (MemBlock* node = freelinks(h)[1]; node != h && !found; node = freelinks(node)[1])
      if (node->size >= needed) found = node;
  } else {
    for (MemBlock* node = freelinks(h)[0]; node != h && !found; node = freelinks(node)[0])
      if (node->size >= needed) found = node;
  }
  if (!found) {
    lock.release();
    if (abortonerror) {
      ABORTCONTEXT("cmn\\memstd.c", "reservememadr");
      abortmessage("reservememadr - OUT OF MEMORY\nrequested '%s': %d\navailable: %d. type %04lx\n",
                   name ? name : "", size, largestmem(static_cast<int>(type & MB_CLASSMASK)),
                   static_cast<unsigned long>(type));
    }
    return nullptr;
  }

  freeunlink(found);
  MemBlock* block = found;
  if (static_cast<int64_t>(found->size) - needed > MEMSPLITSLACK) {
    if (type & MB_HIGH) {
      char* top = reinterpret_cast<char*>(found->next) - needed - MEMHEADER;
      block = chainafter(found, top, 0);
      found->type = static_cast<uint16_t>(cls->flags & MB_CLASSMASK);
      memfreeinsert(cls, found);
    } else {
      MemBlock* rest = chainafter(found, payloadof(found) + needed, static_cast<uint16_t>(cls->flags & MB_CLASSMASK));
      memfreeinsert(cls, rest);
    }
  }
  makememblock(cls, block, size, blocktype, name);
  return payloadof(block);
}

void* reservemem(int size) { return reservememadr(nullptr, size, reservememdefaulttype); }

int purgememadr(void* payload) {
  if (!payload) return 1;
  if (notamemblock(payload, "purgememadr", "cmn\\memstd.c", __LINE__)) return 0;
  MemBlock* block = memblockof(payload);
  MemClass* cls = classof(block);
  if (!cls) return 0;
  ClassLock lock(cls);
  MemBlock* next = block->next;
  if (next && next->signature == MEMSIG_FREE) {
    freeunlink(next);
    block->next = next->next;
    if (next->next) next->next->prev = block;
  }
  MemBlock* prev = block->prev;
  if (prev && prev->signature == MEMSIG_FREE) {
    freeunlink(prev);
    prev->next = block->next;
    if (block->next) block->next->prev = prev;
    block->signature = 0;
    block = prev;
  }
  block->type = static_cast<uint16_t>(block->type & MB_CLASSMASK);
  memfreeinsert(cls, block);
  return 1;
}

int purgemem(void* payload) { return purgememadr(payload); }

int purgememclass(int classnumber) {
  if (classnumber < 0 || classnumber >= MEMCLASSCOUNT || !memclasses[classnumber]) return 0;
  MemClass* cls = memclasses[classnumber];
  MemBlock* block = cls->first->next;
  while (block && block != cls->last) {
    if (block->signature == MEMSIG_USED && !(block->type & MB_BOUNDARY)) {
      MemBlock* prev = block->prev;
      bool prevfree = prev->signature == MEMSIG_FREE;
      purgememadr(payloadof(block));
      block = prevfree ? prev->next : block->next;
    } else {
      block = block->next;
    }
  }
  return 1;
}

void* resizememadr(void* payload, int newsize) {
  if (!payload) return nullptr;
  if (notamemblock(payload, "resizememadr", "cmn\\resize.c", __LINE__)) return nullptr;
  if (newsize < -1) {
    if (abortonerror) {
      ABORTCONTEXT("cmn\\resize.c", "resizememadr");
      abortmessage("resize - BAD RESIZE VALUE %d\n", newsize);
    }
    return nullptr;
  }
  MemBlock* block = memblockof(payload);
  MemClass* cls = classof(block);
  if (!cls) return nullptr;
  ClassLock lock(cls);
  const char* name = (block->type & MB_NAMED) ? memblockname(payload) : nullptr;
  const int trailer = trailerfor(cls, block->type, name);
  MemBlock* next = block->next;
  const bool nextfree = next->signature == MEMSIG_FREE;
  const int64_t room = nextfree ? reinterpret_cast<char*>(next->next) - reinterpret_cast<char*>(block) - MEMHEADER
                                : roomof(block);
  int64_t size = newsize;
  if (newsize == -1) {
    size = room - trailer;
  } else if (size < 8) {
    size = 8;
  }
  const int64_t needed = neededlength(cls, size, trailer);
  if (needed > room) return nullptr;  // the block stays as it was

  if (nextfree) {
    freeunlink(next);
    block->next = next->next;
    next->next->prev = block;
  }
  const int oldsize = static_cast<int>(block->size);
  movemem(static_cast<char*>(payload) + oldsize, static_cast<char*>(payload) + size, trailer);
  block->size = static_cast<uint32_t>(size);
  if (room - needed > MEMSPLITSLACK) {
    MemBlock* rest = chainafter(block, payloadof(block) + needed, static_cast<uint16_t>(cls->flags & MB_CLASSMASK));
    memfreeinsert(cls, rest);
  }
  return payload;
}

// ---- queries ----------------------------------------------------------------------------------------------------

int largestmem(int classnumber) {
  if (classnumber < 0 || classnumber >= MEMCLASSCOUNT || !memclasses[classnumber]) return 0;
  MemClass* cls = memclasses[classnumber];
  ClassLock lock(cls);
  uint32_t largest = 0;
  MemBlock* h = head(cls);
  for (MemBlock* node = freelinks(h)[0]; node != h; node = freelinks(node)[0]) largest = std::max(largest, node->size);
  return static_cast<int>(largest);
}

int memblocksize(const void* payload) { return payload ? static_cast<int>(memblockof(payload)->size) : 0; }

const char* memblockname(const void* payload) {
  if (!payload) return nullptr;
  const MemBlock* block = memblockof(payload);
  const MemClass* cls = classof(block);
  if (!cls || !(block->type & MB_NAMED)) return nullptr;
  return static_cast<const char*>(payload) + block->size + fixedtrailer(cls, block->type);
}

int checkmemblock(const MemBlock* block) {
  if (block->signature != MEMSIG_USED || (block->type & MB_BOUNDARY) || !(block->type & MB_SENTINEL)) return 2;
  return std::memcmp(reinterpret_cast<const char*>(block) + MEMHEADER + block->size, "BEND", 4) == 0 ? 1 : 0;
}

int validatemem(int classnumber) {
  if (classnumber < 0 || classnumber >= MEMCLASSCOUNT || !memclasses[classnumber]) return 0;
  MemClass* cls = memclasses[classnumber];
  ClassLock lock(cls);
  for (MemBlock* block = cls->first; block; block = block->next) {
    // A header overwritten by a neighbour breaks the chain: stop there rather than follow it.
    bool chainbroken = block != cls->last && (block->next <= block || block->next > cls->last);
    if (!chainbroken && checkmemblock(block) != 0) continue;
    const char* payload = payloadof(block);
    const char* sentinel = payload + (chainbroken ? 0 : block->size);
    char found[5] = {};
    std::memcpy(found, sentinel, 4);
    const char* stored = (!chainbroken && (block->type & MB_NAMED)) ? memblockname(payload) : nullptr;
    lock.release();
    if (abortonerror) {
      ABORTCONTEXT("cmn\\validmem.c", "validatememclass");
      abortmessage("validatemem - SENTINEL CORRUPTED.  BLOCK '%s' ADR 0x%lx, LENGTH %ld\nSentinel ADR 0x%lx, VALUE '%4.4s'\n",
                   stored ? stored : "", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(payload)),
                   static_cast<long>(block->size), static_cast<unsigned long>(reinterpret_cast<uintptr_t>(sentinel)),
                   found);
    }
    return 0;
  }
  return 1;
}

void* findmemblock(const void* address) {
  const char* p = static_cast<const char*>(address);
  for (int i = 0; i < MEMCLASSCOUNT; ++i) {
    MemClass* cls = memclasses[i];
    if (!cls || (i > 0 && memclasses[i - 1] == cls)) continue;
    ClassLock lock(cls);
    for (MemBlock* block = cls->first->next; block && block != cls->last; block = block->next) {
      if (block->signature != MEMSIG_USED || (block->type & MB_BOUNDARY)) continue;
      char* payload = payloadof(block);
      if (p >= payload && p < payload + block->size) return payload;
    }
  }
  return nullptr;
}

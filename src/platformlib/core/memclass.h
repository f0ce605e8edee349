// Memory classes: the library's own heaps carved from one area, with per-block sentinels, source tags and
// names; the fast fill and copy routines; the critical-section pool; debug text and the abort routine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "windows.h"

// ---- reservation types (the low 16 bits are kept in each block header) ------------------------------------------
constexpr uint32_t MB_CLASSMASK = 0x000F;
constexpr uint32_t MB_HIGH = 0x0010;      // carve from the high end (first fit walks the free list backwards)
constexpr uint32_t MB_LARGEST = 0x0020;   // use the largest free block
constexpr uint32_t MB_NAMED = 0x0100;     // keep the block's name after the trailer
constexpr uint32_t MB_SENTINEL = 0x0200;  // "BEND" after the payload
constexpr uint32_t MB_SOURCE = 0x0400;    // source-file pointer and line after the sentinel
constexpr uint32_t MB_ZEROWORD = 0x0800;  // one zero word after the source tag
constexpr uint32_t MB_FREE = 0x4000;      // on the free list
constexpr uint32_t MB_BOUNDARY = 0x8000;  // first or last block of a class

constexpr uint16_t MEMSIG_USED = 0x424D;  // "MB"
constexpr uint16_t MEMSIG_FREE = 0x4246;  // "FB"
constexpr uint16_t MEMSIG_HEAD = 0x4253;  // "SB"

constexpr int MEMCLASSCOUNT = 16;
constexpr int MEMSPLITSLACK = 64;  // a leftover of this many bytes or fewer stays inside the block

// Block header, directly before the payload. In memory only, so the chain links are full pointers.
struct MemBlock {
  uint16_t signature;
  uint16_t type;
  uint32_t size;  // payload size as requested (at least 8)
  MemBlock* next;
  MemBlock* prev;
};
constexpr int MEMHEADER = static_cast<int>(sizeof(MemBlock));  // 24
// A free block keeps its free-list links in the first two words of its payload, so a block never holds
// less room than this.
constexpr int MEMMINROOM = 2 * static_cast<int>(sizeof(void*));

struct MemFreeHead {
  MemBlock header;  // signature "SB", size 0x7FFFFFFF
  MemBlock* nextfree;
  MemBlock* prevfree;
};

using MemClassCallback = int (*)();

struct MemClass {
  char name[8];
  MemBlock* first;
  MemBlock* last;
  MemFreeHead freehead;
  int32_t alignment;
  int32_t secondvalue;
  int32_t trailerlength;
  uint32_t flags;  // class number | MB_NAMED | MB_SENTINEL | MB_SOURCE as requested
  CRITICAL_SECTION* lock;
  MemClassCallback callback;
};

extern MemClass* memclasses[MEMCLASSCOUNT];
extern uint32_t reservememdefaulttype;  // type used by reservemem (class 0, first fit, low end)

// Starts the memory system with `size` bytes from the run-time heap (16 MB when not given): class 0 "RAM",
// with class 1 another name for it. Returns 1, or 0 when the heap has no such room.
int initmem(int size = 0x1000000);
int initmemclass(void* area, int size);
void exitmem();
int memstarted();

int creatememclass(int classnumber, const char* name, void* area, int areasize, int alignment, int secondvalue,
                   int trailerlength, int sentinels, int sourcetags, int names, int locked, MemClassCallback callback);
int removememclass(int classnumber);
void clearmemclasses();

void* reservememadr(const char* name, int size, uint32_t type);
void* reservemem(int size);
int purgememadr(void* payload);
int purgemem(void* payload);
int purgememclass(int classnumber);
// Resizes in place; -1 asks for all the room up to the next reserved block. Returns the payload, or null
// (block unchanged) when the asked size does not fit.
void* resizememadr(void* payload, int newsize);
int largestmem(int classnumber);
int memblocksize(const void* payload);
const char* memblockname(const void* payload);
int validatemem(int classnumber);
int checkmemblock(const MemBlock* block);
void* findmemblock(const void* address);
inline MemBlock* memblockof(const void* payload) {
  return reinterpret_cast<MemBlock*>(const_cast<char*>(static_cast<const char*>(payload)) - MEMHEADER);
}

// ---- fill and copy ------------------------------------------------------------------------------------------------
// Every count is in bytes; fillmem32 repeats the 32-bit pattern over `count` bytes.
void fillmem32(void* address, int count, uint32_t pattern);
void clearmem(void* address, int count);
void fillmem(void* address, int count, int byte);
void fillmem16(void* address, int count, int value);
void movemem(const void* source, void* destination, int count);
void copymem(const void* source, void* destination, int count);
void copymemengine(const void* source, void* destination, int count, int leadingbytes);
void copypixels4(void* destination, const void* source, int count);
void copypixels8(void* destination, const void* source, int count);
void copypixels16(void* destination, const void* source, int count);
void copypixels24(void* destination, const void* source, int count);
void copypixels32(void* destination, const void* source, int count);

// ---- physical memory ------------------------------------------------------------------------------------------------
extern int memoryreportflag;
size_t getphysicalmemory();
size_t memorystatusdump();
size_t getavailablememory();
size_t getunlockedmemory();  // available minus locked pages; the plain figure where no statistics exist

// ---- critical sections ------------------------------------------------------------------------------------------------
CRITICAL_SECTION* getcriticalsection();
void freecriticalsection(CRITICAL_SECTION* section);
void entercritical(CRITICAL_SECTION* section);
void leavecritical(CRITICAL_SECTION* section);
int criticalpoolfree();  // free entries in the pool (for checks)

// ---- debug text ----------------------------------------------------------------------------------------------------------
// 0 none, 1 the debugger, 2 the console, 3 the debug text screen (through debugwritehook)
extern int debugoutputmode;
extern void (*debugwritehook)(const char* text);
void debugmessage(const int* levelpointer, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// ---- the abort routine -----------------------------------------------------------------------------------------------------
// The context of the failing call is per thread: each thread names its own failing function.
extern thread_local const char* abortfile;
extern thread_local const char* abortfunction;
extern thread_local int abortline;
extern thread_local const char* calledfromfile;
extern thread_local const char* calledfromfunction;
extern thread_local int calledfromline;

extern int abortonerror;         // 1: argument checks abort; 0: they return their failure value
extern int abortlocationflag;    // append the FILE and CALLED FROM lines
extern int abortdebugbreakflag;  // send the text to the debugger and break
extern int abortprintflag;       // after OK, print the text and run the post hook
extern int abortinprogress;
constexpr unsigned ABORTEXITCODE = 3;

extern int (*abortfilterhook)(const char* text);  // returning 0 cancels the abort
extern void (*abortfirsthook)();
extern CRITICAL_SECTION* (*abortdisplayhook)();   // returns a section to leave before the process ends
extern void (*aborttimerhook)();
extern void (*abortposthook)();

// Shows "Abort message:" and ends the process with ABORTEXITCODE. Returns only when cancelled by the filter
// hook or when another abort is already in progress.
void abortmessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Names the failing function before an abort.
#define ABORTCONTEXT(file, function) \
  do {                               \
    abortfile = (file);              \
    abortfunction = (function);      \
    abortline = __LINE__;            \
  } while (0)

// Runs a check with abortonerror cleared (the try variants), restoring it afterwards.
class AbortQuiet {
 public:
  AbortQuiet() : saved_(abortonerror) { abortonerror = 0; }
  ~AbortQuiet() { abortonerror = saved_; }
  AbortQuiet(const AbortQuiet&) = delete;
  AbortQuiet& operator=(const AbortQuiet&) = delete;

 private:
  int saved_;
};

// The asynchronous file system: operations queued per device (one per drive), carried out in priority order
// by one worker thread per device, and polled, waited for or called back.
#pragma once

#include <atomic>
#include <cstdint>

#include "platformlib/files/filehandle.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"

enum FileOpKind : uint8_t {
  FILEOP_OPEN = 0,
  FILEOP_CLOSE = 1,
  FILEOP_READ = 2,
  FILEOP_WRITE = 3,
  FILEOP_SIZE = 4,
  FILEOP_TRUNCATE = 5,
  FILEOP_EXISTS = 6,
  FILEOP_DELETE = 7,
  FILEOP_NOP = 8,
  FILEOP_ADDBIG = 9,
  FILEOP_REMOVEBIG = 10,
};

// Open flags of FILE_open.
constexpr uint32_t FILEOPEN_READONLY = 0x01;
constexpr uint32_t FILEOPEN_CREATE = 0x02;
constexpr uint32_t FILEOPEN_TRUNCATE = 0x04;
constexpr uint32_t FILEOPEN_MAP = 0x08;
constexpr uint32_t FILEOPEN_NOBUFFER = 0x10;
constexpr uint32_t FILEOPEN_SEQUENTIAL = 0x20;

// Operation flags.
constexpr uint8_t FILEOPF_OWNSNAME = 0x01;
constexpr uint8_t FILEOPF_CANCELLED = 0x02;
constexpr uint8_t FILEOPF_CALLBACK = 0x04;
constexpr uint8_t FILEOPF_CALLED = 0x08;

// Operation states.
constexpr int FILEOP_UNKNOWN = -3;
constexpr int FILEOP_FAILED = -2;
constexpr int FILEOP_CANCELLEDSTATE = -1;
constexpr int FILEOP_WAITING = 0;
constexpr int FILEOP_DONE = 1;

using FileOpCallback = void (*)(uint32_t id, int status, uint32_t user);

struct FileOp {
  FileOp* link;
  uint32_t id;  // (serial << 5) | device, never 0
  uint8_t kind;
  uint8_t flags;
  int8_t status;
  uint8_t priority;
  uint32_t error;
  FileHandle handle;
  uint32_t user;
  FileOpCallback callback;
  uint32_t param;
  uint32_t count;
  void* pointer;
};

struct BigFileRecord {
  BigFileRecord* link;
  int32_t id;
  int32_t device;
  FileHandle handle;
  uint8_t* mapped;
  uint32_t size;
  char name[264];
};

struct FileDevice {
  std::atomic<int> running;  // the device thread is in its loop
  FileOp* current;
  QueueHead pending;
  QueueHead completed;
  HANDLE wake;
  HANDLE done;
  CRITICAL_SECTION* section;
  uint32_t serial;
  std::atomic<uint32_t> level;  // operations above this priority wait (FILE_atomic lowers it)
  ThreadRecord thread;
};

int FILE_init(int handles, int operations);
void FILE_exit();
void FILE_startdevice(int device);
FileOp* FILE_allocateop(int kind, int priority, uint32_t user, int device);
void FILE_setopname(FileOp* op, const char* name);
uint32_t FILE_queueop(FileOp* op);

uint32_t FILE_open(const char* name, uint32_t openflags, int priority, uint32_t user);
uint32_t FILE_close(FileHandle handle, int priority, uint32_t user);
uint32_t FILE_read(FileHandle handle, int32_t position, void* buffer, uint32_t count, int priority, uint32_t user);
uint32_t FILE_write(FileHandle handle, int32_t position, const void* buffer, uint32_t count, int priority,
                    uint32_t user);
uint32_t FILE_size(FileHandle handle, int priority, uint32_t user);
uint32_t FILE_truncate(FileHandle handle, int32_t position, int priority, uint32_t user);
uint32_t FILE_exists(const char* name, int priority, uint32_t user);
uint32_t FILE_delete(const char* name, int priority, uint32_t user);
uint32_t FILE_nop(int device, int priority, uint32_t user);
uint32_t FILE_addbig(const char* name, uint32_t memtype, int priority, uint32_t user);
uint32_t FILE_removebig(int32_t bigid, int priority, uint32_t user);

int FILE_opstate(uint32_t id);
int FILE_waitop(uint32_t id);
uint32_t FILE_operror(uint32_t id);
uint32_t FILE_opuserdata(uint32_t id);
int FILE_opdevice(uint32_t id);
// The results of a finished operation: the handle it opened, its parameter (size, existence) and count.
FileHandle FILE_ophandle(uint32_t id);
uint32_t FILE_opparam(uint32_t id);
uint32_t FILE_opcount(uint32_t id);
void FILE_callbackop(uint32_t id, FileOpCallback callback);
void FILE_setoppriority(uint32_t id, int priority);
void FILE_cancelop(uint32_t id);
void FILE_completeop(uint32_t id);
int FILE_atomic(int (*function)(int level, void* argument), int device, int level, void* argument);
// The registered big file of an id (null when none), for callers that read its entries.
BigFileRecord* FILE_findbig(int32_t bigid);

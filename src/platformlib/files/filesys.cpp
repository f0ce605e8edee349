// The asynchronous file system: per-device worker threads over the library's file handles.
#include "platformlib/files/filesys.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/core/memclass.h"

namespace {

constexpr const char* kFile = "win\\nfile.c";

FileDevice* gDevices = nullptr;
size_t gDeviceBytes = 0;
FileOp* gPool = nullptr;
size_t gPoolBytes = 0;
int gOpCount = 0;
QueueHead gFree{};
QueueHead gBigs{};
std::atomic<int> gStop{0};
int32_t gNextBigId = -1;
std::mutex gStartLock;

enum class Where { None, Running, Pending, Completed };

QueueKey OpKey(const void* node, uintptr_t) {
  const auto* op = static_cast<const FileOp*>(node);
  return (static_cast<QueueKey>(op->priority) << 24) | ((op->id >> 5) & 0xFFFFFF);
}

int MatchId(void* node, uintptr_t id) { return static_cast<FileOp*>(node)->id == id; }

int MatchBig(void* node, uintptr_t id) {
  return static_cast<BigFileRecord*>(node)->id == static_cast<int32_t>(static_cast<uint32_t>(id));
}

// Finds an operation by id; the caller holds the device's queue lock while it uses the result.
FileOp* Locate(FileDevice& d, uint32_t id, Where* where) {
  *where = Where::None;
  if (d.pending.section == nullptr || id == 0) return nullptr;
  if (d.current != nullptr && d.current->id == id) {
    *where = Where::Running;
    return d.current;
  }
  if (auto* op = static_cast<FileOp*>(qfind(&d.pending, MatchId, id))) {
    *where = Where::Pending;
    return op;
  }
  if (auto* op = static_cast<FileOp*>(qfind(&d.completed, MatchId, id))) {
    *where = Where::Completed;
    return op;
  }
  return nullptr;
}

FileDevice* DeviceOf(uint32_t id) {
  if (gDevices == nullptr || id == 0) return nullptr;
  FileDevice* d = &gDevices[id & 31];
  return d->pending.section == nullptr ? nullptr : d;
}

// Reads one field of an operation under its device's lock; `fallback` when the operation is unknown.
template <typename F>
auto Inspect(uint32_t id, F field, decltype(field(static_cast<FileOp*>(nullptr))) fallback) {
  FileDevice* d = DeviceOf(id);
  if (d == nullptr) return fallback;
  qlock(&d->pending);
  Where where;
  FileOp* op = Locate(*d, id, &where);
  auto value = op != nullptr ? field(op) : fallback;
  qunlock(&d->pending);
  return value;
}

uint32_t OpenFlagsFor(uint32_t openflags) {
  uint32_t flags = 0;
  if (openflags & FILEOPEN_READONLY) {
    flags = OPENF_READ | OPENF_SHAREREAD;
  } else {
    flags = OPENF_READ | OPENF_WRITE;
    if (openflags & FILEOPEN_CREATE) flags |= OPENF_CREATE;
    if (openflags & FILEOPEN_TRUNCATE) flags |= OPENF_TRUNCATE;
  }
  if (openflags & FILEOPEN_MAP) flags |= OPENF_MAP;
  if (openflags & FILEOPEN_NOBUFFER) flags |= OPENF_NOBUFFER;
  if (openflags & FILEOPEN_SEQUENTIAL) flags |= OPENF_SEQUENTIAL;
  return flags;
}

struct BigSearch {
  const char* name;
  int device;
  uint32_t flags;
  FileHandle handle;
};

int TryBig(void* node, void* context) {
  auto* record = static_cast<BigFileRecord*>(node);
  auto* search = static_cast<BigSearch*>(context);
  uint32_t offset = 0, size = 0;
  AbortQuiet quiet;
  if (findbigentryn(record->mapped, record->size, search->name, 0, &offset, &size) == nullptr) return 1;
  if (offset > record->size || size > record->size - offset) return 1;
  openmemoryhandle(record->mapped + offset, static_cast<int32_t>(size), search->device, 0, &search->handle);
  return search->handle == 0 ? 1 : 0;
}

void Fail(FileOp* op, DWORD error) {
  op->status = FILEOP_FAILED;
  op->error = error != 0 ? error : ERROR_INVALID_FUNCTION;
}

void Execute(FileOp* op, int device) {
  op->status = FILEOP_DONE;
  op->error = 0;
  switch (op->kind) {
    case FILEOP_OPEN: {
      const char* name = static_cast<const char*>(op->pointer);
      if (openfile(name, OpenFlagsFor(op->param), 0, &op->handle)) break;
      DWORD error = GetLastError();
      if (op->param & FILEOPEN_READONLY) {
        BigSearch search{name, device, OpenFlagsFor(op->param), 0};
        qsafeiterate(&gBigs, TryBig, &search);
        op->handle = search.handle;
        if (op->handle != 0) break;
      }
      Fail(op, error);
      break;
    }
    case FILEOP_CLOSE: break;
    case FILEOP_READ:
    case FILEOP_WRITE: {
      if (!isfilehandle(op->handle)) {
        op->count = 0;
        Fail(op, ERROR_INVALID_HANDLE);
        break;
      }
      SetLastError(0);
      seekfile(op->handle, static_cast<int32_t>(op->param));
      op->count = op->kind == FILEOP_READ ? readfile(op->handle, op->pointer, op->count)
                                          : writefile(op->handle, op->pointer, op->count);
      if (DWORD error = GetLastError()) Fail(op, error);
      break;
    }
    case FILEOP_SIZE: {
      int32_t size = 0;
      if (!fileinfo(op->handle, nullptr, nullptr, &size, nullptr)) Fail(op, ERROR_INVALID_HANDLE);
      op->param = static_cast<uint32_t>(size);
      break;
    }
    case FILEOP_TRUNCATE:
      if (!truncatefile(op->handle, static_cast<int32_t>(op->param))) Fail(op, GetLastError());
      break;
    case FILEOP_EXISTS: {
      FileHandle h = 0;
      op->param = openfile(static_cast<const char*>(op->pointer), OPENF_READ | OPENF_SHAREREAD, 0, &h) ? 1 : 0;
      if (h != 0) closefile(h);
      break;
    }
    case FILEOP_DELETE:
      if (!DeleteFileA(static_cast<const char*>(op->pointer))) Fail(op, GetLastError());
      break;
    case FILEOP_NOP: break;
    case FILEOP_ADDBIG: {
      auto* record = static_cast<BigFileRecord*>(op->pointer);
      if (!openfile(record->name, OPENF_READ | OPENF_SHAREREAD | OPENF_MAP, 0, &record->handle)) {
        Fail(op, GetLastError());
        break;
      }
      int32_t size = 0;
      fileinfo(record->handle, nullptr, nullptr, &size, nullptr);
      record->mapped = static_cast<uint8_t*>(filemapaddress(record->handle));
      record->size = static_cast<uint32_t>(size);
      // Only a mapped, well-formed archive can serve lookups.
      AbortQuiet quiet;
      if (record->mapped == nullptr || typeofbigfilen(record->mapped, record->size) == 0) {
        Fail(op, ERROR_FILE_INVALID);
        break;
      }
      registerbigfile(record->mapped, record->size);
      break;
    }
    case FILEOP_REMOVEBIG: {
      auto* record = static_cast<BigFileRecord*>(qfetch(&gBigs, MatchBig, static_cast<uint32_t>(op->param)));
      op->pointer = record;
      if (record == nullptr) Fail(op, ERROR_INVALID_HANDLE);
      break;
    }
    default:
      ABORTCONTEXT(kFile, "FILE_devicethread");
      abortmessage("FILE_devicethread - UNKNOWN TYPE OF OPERATION %d.\n", op->kind);
      Fail(op, ERROR_INVALID_FUNCTION);
      break;
  }
}

void DeviceThread(void* argument) {
  int device = static_cast<int>(reinterpret_cast<intptr_t>(argument));
  FileDevice& d = gDevices[device];
  d.running = 1;
  SetEvent(d.done);
  while (!gStop) {
    qlock(&d.pending);
    auto* op = static_cast<FileOp*>(qpop(&d.pending));
    if (op != nullptr && op->priority > d.level) {
      qpush(&d.pending, op);
      op = nullptr;
    }
    d.current = op;
    qunlock(&d.pending);
    if (op == nullptr) {
      WaitForSingleObject(d.wake, INFINITE);
      continue;
    }
    if (!(op->flags & FILEOPF_CANCELLED)) Execute(op, device);
    qlock(&d.pending);
    qbottom(&d.completed, op);
    d.current = nullptr;
    FileOpCallback callback = nullptr;
    uint32_t id = op->id, user = op->user;
    int status = (op->flags & FILEOPF_CANCELLED) ? FILEOP_CANCELLEDSTATE : op->status;
    if ((op->flags & FILEOPF_CALLBACK) && op->callback != nullptr) {
      callback = op->callback;
      op->flags |= FILEOPF_CALLED;
    }
    qunlock(&d.pending);
    if (callback != nullptr) callback(id, status, user);
    SetEvent(d.done);
  }
  d.running = 0;
}

void FreeRecord(BigFileRecord* record) {
  if (record->handle != 0) closefile(record->handle);
  if (record->mapped != nullptr) unregisterbigfile(record->mapped);
  purgememadr(record);
}

bool OnMainThread() { return mainthread.threadid != 0 && mainthread.threadid == GetCurrentThreadId(); }

}  // namespace

int FILE_init(int handles, int operations) {
  if (gDevices != nullptr) return 1;
  if (operations <= 0) operations = 64;
  if (!initfiles(handles)) return 0;
  qinit(&gFree, nullptr, 0);
  qinit(&gBigs, nullptr, 0);
  gDeviceBytes = sizeof(FileDevice) * FILEDEVICES;
  gPoolBytes = sizeof(FileOp) * static_cast<size_t>(operations);
  auto* devices = static_cast<FileDevice*>(allocpages(&gDeviceBytes));
  gPool = static_cast<FileOp*>(allocpages(&gPoolBytes));
  if (devices == nullptr || gPool == nullptr) {
    if (devices) freepages(devices);
    if (gPool) freepages(gPool);
    gPool = nullptr;
    qfree(&gFree);
    qfree(&gBigs);
    return 0;
  }
  for (int i = 0; i < FILEDEVICES; ++i) new (&devices[i]) FileDevice();
  memset(gPool, 0, gPoolBytes);
  gOpCount = operations;
  for (int i = 0; i < gOpCount; ++i) qbottom(&gFree, &gPool[i]);
  gStop = 0;
  gDevices = devices;
  addexitroutine(FILE_exit);
  return 1;
}

void FILE_exit() {
  if (gDevices == nullptr) return;
  while (auto* record = static_cast<BigFileRecord*>(qpop(&gBigs))) FreeRecord(record);
  gStop = 1;
  for (int i = 0; i < FILEDEVICES; ++i) {
    FileDevice& d = gDevices[i];
    if (d.pending.section == nullptr) continue;
    while (d.running) {
      SetEvent(d.wake);
      Sleep(1);
    }
    if (d.thread.handle != nullptr) {
      WaitForSingleObject(d.thread.handle, INFINITE);
      CloseHandle(d.thread.handle);
    }
    CloseHandle(d.wake);
    CloseHandle(d.done);
    qfree(&d.completed);
    qfree(&d.pending);
    freecriticalsection(d.section);
  }
  // Operations never completed still own their names and big-file records.
  for (int i = 0; i < gOpCount; ++i) {
    FileOp& op = gPool[i];
    if (op.id == 0) continue;
    if (op.flags & FILEOPF_OWNSNAME) freepages(op.pointer);
    if (op.kind == FILEOP_ADDBIG && op.pointer != nullptr) FreeRecord(static_cast<BigFileRecord*>(op.pointer));
  }
  qfree(&gFree);
  qfree(&gBigs);
  freepages(gPool);
  gPool = nullptr;
  gOpCount = 0;
  FileDevice* devices = gDevices;
  gDevices = nullptr;
  freepages(devices);
  gStop = 0;
}

void FILE_startdevice(int device) {
  if (gDevices == nullptr || device < 0 || device >= FILEDEVICES) return;
  std::lock_guard<std::mutex> guard(gStartLock);
  FileDevice& d = gDevices[device];
  if (d.pending.section != nullptr) return;
  qinit(&d.pending, OpKey, 0);
  qinitpeer(&d.completed, nullptr, 0, &d.pending);
  d.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  d.done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  d.section = getcriticalsection();
  d.serial = 1;
  d.level = 255;
  if (!createthreadarg(DeviceThread, reinterpret_cast<void*>(static_cast<intptr_t>(device)), 0,
                       THREADLEVEL_NORMAL, &d.thread)) {
    ABORTCONTEXT(kFile, "FILE_startdevice");
    abortmessage("FILE_startdevice - FAILED TO START THREAD FOR FILE SYSTEM DEVICE.\n");
    return;
  }
  while (!d.running) WaitForSingleObject(d.done, 10);
}

FileOp* FILE_allocateop(int kind, int priority, uint32_t user, int device) {
  if (gDevices == nullptr) {
    ABORTCONTEXT(kFile, "FILE_allocateop");
    abortmessage("FILE_allocateop - FILE SYSTEM NOT INITIALIZED, CALL FILE_init().\n");
    return nullptr;
  }
  if (priority < 0 || priority > 255) {
    ABORTCONTEXT(kFile, "FILE_allocateop");
    abortmessage("FILE_allocateop - INVALID PRIORITY (%d), MUST BE [0..255].\n", priority);
    return nullptr;
  }
  if (device < 0 || device >= FILEDEVICES) {
    ABORTCONTEXT(kFile, "FILE_allocateop");
    abortmessage("FILE_allocateop - INVALID DEVICE (%d), MUST BE [0..31].\n", device);
    return nullptr;
  }
  FILE_startdevice(device);
  auto* op = static_cast<FileOp*>(qpop(&gFree));
  if (op == nullptr) {
    ABORTCONTEXT(kFile, "FILE_allocateop");
    abortmessage("FILE_allocateop - NO FREE OPS LEFT TO ALLOCATE.\n");
    return nullptr;
  }
  memset(op, 0, sizeof *op);
  op->kind = static_cast<uint8_t>(kind);
  op->priority = static_cast<uint8_t>(priority);
  op->user = user;
  FileDevice& d = gDevices[device];
  qlock(&d.pending);
  op->id = (d.serial << 5) | static_cast<uint32_t>(device);
  d.serial = (d.serial + 1) & 0xFFFFFF;
  if (d.serial == 0) d.serial = 1;
  qunlock(&d.pending);
  return op;
}

void FILE_setopname(FileOp* op, const char* name) {
  if (name == nullptr) name = "";
  size_t size = strlen(name) + 1;
  void* copy = allocpages(&size);
  if (copy == nullptr) return;
  memcpy(copy, name, strlen(name) + 1);
  op->pointer = copy;
  op->flags |= FILEOPF_OWNSNAME;
}

uint32_t FILE_queueop(FileOp* op) {
  FileDevice* d = op != nullptr ? DeviceOf(op->id) : nullptr;
  if (d == nullptr) {
    ABORTCONTEXT(kFile, "FILE_queueop");
    abortmessage("FILE_queueop - ATTEMPT TO QUEUE FILEOP ON NON-EXISTANT DEVICE.\n");
    return 0;
  }
  uint32_t id = op->id;
  qinsert(&d->pending, op);
  SetEvent(d->wake);
  return id;
}

namespace {

uint32_t QueueNamed(int kind, const char* name, uint32_t param, int priority, uint32_t user) {
  FileOp* op = FILE_allocateop(kind, priority, user, filedevice(name));
  if (op == nullptr) return 0;
  FILE_setopname(op, name);
  if (op->pointer == nullptr) {
    qbottom(&gFree, op);
    op->id = 0;
    return 0;
  }
  op->param = param;
  return FILE_queueop(op);
}

uint32_t QueueOnHandle(int kind, FileHandle handle, uint32_t param, void* pointer, uint32_t count, int priority,
                       uint32_t user) {
  FileOp* op = FILE_allocateop(kind, priority, user, filehandledevice(handle));
  if (op == nullptr) return 0;
  op->handle = handle;
  op->param = param;
  op->pointer = pointer;
  op->count = count;
  return FILE_queueop(op);
}

}  // namespace

uint32_t FILE_open(const char* name, uint32_t openflags, int priority, uint32_t user) {
  return QueueNamed(FILEOP_OPEN, name, openflags, priority, user);
}

uint32_t FILE_close(FileHandle handle, int priority, uint32_t user) {
  return QueueOnHandle(FILEOP_CLOSE, handle, 0, nullptr, 0, priority, user);
}

uint32_t FILE_read(FileHandle handle, int32_t position, void* buffer, uint32_t count, int priority, uint32_t user) {
  return QueueOnHandle(FILEOP_READ, handle, static_cast<uint32_t>(position), buffer, count, priority, user);
}

uint32_t FILE_write(FileHandle handle, int32_t position, const void* buffer, uint32_t count, int priority,
                    uint32_t user) {
  return QueueOnHandle(FILEOP_WRITE, handle, static_cast<uint32_t>(position), const_cast<void*>(buffer), count,
                       priority, user);
}

uint32_t FILE_size(FileHandle handle, int priority, uint32_t user) {
  return QueueOnHandle(FILEOP_SIZE, handle, 0, nullptr, 0, priority, user);
}

uint32_t FILE_truncate(FileHandle handle, int32_t position, int priority, uint32_t user) {
  return QueueOnHandle(FILEOP_TRUNCATE, handle, static_cast<uint32_t>(position), nullptr, 0, priority, user);
}

uint32_t FILE_exists(const char* name, int priority, uint32_t user) {
  return QueueNamed(FILEOP_EXISTS, name, 0, priority, user);
}

uint32_t FILE_delete(const char* name, int priority, uint32_t user) {
  return QueueNamed(FILEOP_DELETE, name, 0, priority, user);
}

uint32_t FILE_nop(int device, int priority, uint32_t user) {
  FileOp* op = FILE_allocateop(FILEOP_NOP, priority, user, device);
  return op == nullptr ? 0 : FILE_queueop(op);
}

uint32_t FILE_addbig(const char* name, uint32_t memtype, int priority, uint32_t user) {
  if (name == nullptr) return 0;
  ABORTCONTEXT(kFile, "FILE_addbig");
  auto* record = static_cast<BigFileRecord*>(reservememadr(name, sizeof(BigFileRecord), memtype));
  if (record == nullptr) return 0;
  memset(record, 0, sizeof *record);
  record->id = gNextBigId--;
  record->device = filedevice(name);
  snprintf(record->name, sizeof record->name, "%s", name);
  FileOp* op = FILE_allocateop(FILEOP_ADDBIG, priority, user, record->device);
  if (op == nullptr) {
    purgememadr(record);
    return 0;
  }
  op->pointer = record;
  return FILE_queueop(op);
}

uint32_t FILE_removebig(int32_t bigid, int priority, uint32_t user) {
  auto* record = static_cast<BigFileRecord*>(qfind(&gBigs, MatchBig, static_cast<uint32_t>(bigid)));
  if (record == nullptr) return 0;
  FileOp* op = FILE_allocateop(FILEOP_REMOVEBIG, priority, user, record->device);
  if (op == nullptr) return 0;
  op->param = static_cast<uint32_t>(bigid);
  return FILE_queueop(op);
}

BigFileRecord* FILE_findbig(int32_t bigid) {
  if (gDevices == nullptr) return nullptr;
  return static_cast<BigFileRecord*>(qfind(&gBigs, MatchBig, static_cast<uint32_t>(bigid)));
}

int FILE_opstate(uint32_t id) {
  return Inspect(
      id, [](FileOp* op) { return (op->flags & FILEOPF_CANCELLED) ? FILEOP_CANCELLEDSTATE : static_cast<int>(op->status); },
      FILEOP_UNKNOWN);
}

int FILE_waitop(uint32_t id) {
  FileDevice* d = DeviceOf(id);
  if (d == nullptr || !d->running) return FILEOP_UNKNOWN;
  // Wait until the operation has reached the completed list, so that its owner may complete it next; a
  // cancelled operation reports its state only once the worker has passed it.
  for (;;) {
    qlock(&d->pending);
    Where where;
    Locate(*d, id, &where);
    qunlock(&d->pending);
    if (where == Where::None || where == Where::Completed) return FILE_opstate(id);
    if (OnMainThread()) {
      runsystemtasks();
      Sleep(1);
    } else {
      WaitForSingleObject(d->done, 10);
    }
  }
}

uint32_t FILE_operror(uint32_t id) { return Inspect(id, [](FileOp* op) { return op->error; }, 0u); }

uint32_t FILE_opuserdata(uint32_t id) { return Inspect(id, [](FileOp* op) { return op->user; }, 0u); }

int FILE_opdevice(uint32_t id) { return Inspect(id, [](FileOp* op) { return static_cast<int>(op->id & 31); }, 0); }

FileHandle FILE_ophandle(uint32_t id) { return Inspect(id, [](FileOp* op) { return op->handle; }, 0); }

uint32_t FILE_opparam(uint32_t id) { return Inspect(id, [](FileOp* op) { return op->param; }, 0u); }

uint32_t FILE_opcount(uint32_t id) { return Inspect(id, [](FileOp* op) { return op->count; }, 0u); }

void FILE_callbackop(uint32_t id, FileOpCallback callback) {
  FileDevice* d = DeviceOf(id);
  FileOp* op = nullptr;
  Where where = Where::None;
  int status = 0;
  uint32_t user = 0;
  if (d != nullptr) {
    qlock(&d->pending);
    op = Locate(*d, id, &where);
    if (op != nullptr) {
      op->callback = callback;
      op->flags |= FILEOPF_CALLBACK;
      if (where == Where::Completed) {
        op->flags |= FILEOPF_CALLED;
        status = (op->flags & FILEOPF_CANCELLED) ? FILEOP_CANCELLEDSTATE : op->status;
        user = op->user;
      }
    }
    qunlock(&d->pending);
  }
  if (op == nullptr) {
    ABORTCONTEXT(kFile, "FILE_callbackop");
    abortmessage("FILE_callbackop - UNKNOWN FILEOP.\n");
    return;
  }
  if (where == Where::Completed && callback != nullptr) callback(id, status, user);
}

void FILE_setoppriority(uint32_t id, int priority) {
  FileDevice* d = DeviceOf(id);
  if (d == nullptr || priority < 0 || priority > 255) return;
  qlock(&d->pending);
  if (auto* op = static_cast<FileOp*>(qfetch(&d->pending, MatchId, id))) {
    op->priority = static_cast<uint8_t>(priority);
    qinsert(&d->pending, op);
  }
  qunlock(&d->pending);
  SetEvent(d->wake);
}

void FILE_cancelop(uint32_t id) {
  FileDevice* d = DeviceOf(id);
  if (d == nullptr) return;
  qlock(&d->pending);
  Where where;
  FileOp* op = Locate(*d, id, &where);
  bool isDelete = false;
  if (op != nullptr && where != Where::Completed) {
    isDelete = op->kind == FILEOP_DELETE;
    op->flags |= FILEOPF_CANCELLED;
    if (where == Where::Running && (op->kind == FILEOP_READ || op->kind == FILEOP_WRITE)) stoptransfer(op->handle);
  }
  qunlock(&d->pending);
  if (isDelete) {
    ABORTCONTEXT(kFile, "FILE_cancelop");
    abortmessage("FILE_cancel - MAY NOT CANCEL DELETE OPERATION.\n");
  }
}

void FILE_completeop(uint32_t id) {
  FileDevice* d = DeviceOf(id);
  FileOp* op = nullptr;
  if (d != nullptr) {
    qlock(&d->pending);
    op = static_cast<FileOp*>(qfetch(&d->completed, MatchId, id));
    qunlock(&d->pending);
  }
  if (op == nullptr) {
    ABORTCONTEXT(kFile, "FILE_completeop");
    abortmessage("FILE_completeop - OPERATION NOT FOUND IN COMPLETED LIST.\n");
    return;
  }
  bool cancelled = (op->flags & FILEOPF_CANCELLED) != 0;
  switch (op->kind) {
    case FILEOP_OPEN:
      if (cancelled && op->handle != 0) closefile(op->handle);
      break;
    case FILEOP_CLOSE: closefile(op->handle); break;
    case FILEOP_ADDBIG: {
      auto* record = static_cast<BigFileRecord*>(op->pointer);
      if (op->status == FILEOP_DONE && !cancelled) {
        qbottom(&gBigs, record);
      } else {
        FreeRecord(record);
      }
      op->pointer = nullptr;
      break;
    }
    case FILEOP_REMOVEBIG:
      if (op->pointer != nullptr) FreeRecord(static_cast<BigFileRecord*>(op->pointer));
      op->pointer = nullptr;
      break;
    default: break;
  }
  if (op->flags & FILEOPF_OWNSNAME) freepages(op->pointer);
  op->pointer = nullptr;
  op->flags = 0;
  op->id = 0;
  qbottom(&gFree, op);
}

int FILE_atomic(int (*function)(int level, void* argument), int device, int level, void* argument) {
  if (gDevices == nullptr) {
    ABORTCONTEXT(kFile, "FILE_atomic");
    abortmessage("FILE_atomic - FILE SYSTEM NOT INITIALIZED, CALL FILE_init().\n");
    return 0;
  }
  if (device < 0 || device >= FILEDEVICES) {
    ABORTCONTEXT(kFile, "FILE_atomic");
    abortmessage("FILE_atomic - CALLED WITH ILLEGAL FILE DEVICE (%d).\n", device);
    return 0;
  }
  FILE_startdevice(device);
  FileDevice& d = gDevices[device];
  entercritical(d.section);
  if (static_cast<uint32_t>(level) > d.level) {
    int current = static_cast<int>(d.level);
    leavecritical(d.section);
    ABORTCONTEXT(kFile, "FILE_atomic");
    abortmessage("FILE_atomic - CALLED AT PRIORITY (%d) LOWER THAN CURRENT DEVICE PRIORITY (%d).\n", level, current);
    return 0;
  }
  uint32_t old = d.level;
  d.level = static_cast<uint32_t>(level);
  int result = function(level, argument);
  d.level = old;
  leavecritical(d.section);
  SetEvent(d.wake);
  return result;
}

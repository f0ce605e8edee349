// The table of library file handles over the platform's file calls.
#include "platformlib/files/filehandle.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platformlib/core/memclass.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"

int filedebuglevel = 0;
void (*filepiecehook)(FileHandle handle, uint32_t piece) = nullptr;

namespace {

constexpr const char* kFile = "win\\file.c";
constexpr const char* kFileIo = "win\\fileio.c";

FileHandleEntry* gTable = nullptr;
int gCount = 0;
size_t gTableBytes = 0;
CRITICAL_SECTION* gTableSection = nullptr;
CRITICAL_SECTION* gDeviceSections[FILEDEVICES] = {};

FileHandleEntry* Entry(FileHandle handle) {
  if (gTable == nullptr || handle >= 0) return nullptr;
  int index = ~handle;
  if (index >= gCount || !gTable[index].inuse) return nullptr;
  return &gTable[index];
}

CRITICAL_SECTION* DeviceSection(int device) {
  if (device < 0 || device >= FILEDEVICES) device = FILEDEVICE_NODRIVE;
  if (gDeviceSections[device] == nullptr) {
    entercritical(gTableSection);
    if (gDeviceSections[device] == nullptr) gDeviceSections[device] = getcriticalsection();
    leavecritical(gTableSection);
  }
  return gDeviceSections[device];
}

// Holds the device section of a handle for the life of one operation.
class DeviceLock {
 public:
  explicit DeviceLock(const FileHandleEntry* entry) : section_(DeviceSection(entry->device)) {
    entercritical(section_);
  }
  ~DeviceLock() { leavecritical(section_); }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

FileHandle TakeEntry() {
  entercritical(gTableSection);
  FileHandle handle = 0;
  for (int i = 0; i < gCount; ++i) {
    if (!gTable[i].inuse) {
      new (&gTable[i]) FileHandleEntry{};
      gTable[i].inuse = 1;
      handle = ~i;
      break;
    }
  }
  leavecritical(gTableSection);
  return handle;
}

void FreeEntry(FileHandleEntry* entry) {
  entercritical(gTableSection);
  entry->inuse = 0;
  leavecritical(gTableSection);
}

uint32_t SectorSize(const char* name) {
  char root[4] = {filedrive(name), ':', '\\', 0};
  DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
  if (root[0] == 0 || !GetDiskFreeSpaceA(root, &spc, &bps, &freeClusters, &total) || bps == 0) return 2048;
  return bps;
}

void Piece(FileHandle handle, uint32_t piece) {
  if (filepiecehook != nullptr) filepiecehook(handle, piece);
}

}  // namespace

char filedrive(const char* path) {
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path == nullptr ? "." : path, sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full || full[1] != ':') return 0;
  char letter = full[0];
  return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 32) : letter;
}

int filedevice(const char* path) {
  char letter = filedrive(path);
  return letter >= 'A' && letter <= 'Z' ? letter - 64 : FILEDEVICE_NODRIVE;
}

uint32_t diskfreespace(const char* root) {
  DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
  if (!GetDiskFreeSpaceA(root, &spc, &bps, &freeClusters, &total)) return 0;
  // The platform keeps the product below 2 GB.
  uint64_t bytes = static_cast<uint64_t>(spc) * bps * freeClusters;
  return static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
}

void setdirectory(const char* path) {
  if (!SetCurrentDirectoryA(path)) {
    ABORTCONTEXT(kFile, "setdirectory");
    abortmessage("setdirectory - FAILED ON '%s'\n", path ? path : "");
  }
}

void getdirectory(char* buffer) {
  DWORD n = GetCurrentDirectoryA(511, buffer);
  if (n == 0 || n >= 511) {
    buffer[0] = 0;
    ABORTCONTEXT(kFile, "getdirectory");
    abortmessage("getdirectory - FAILED TO FETCH, OR WAS TOO LONG (%u CHAR).\n", static_cast<unsigned>(n));
  }
}

int initfiles(int count) {
  if (gTable != nullptr) return 1;
  if (count <= 0) count = 64;
  gTableBytes = sizeof(FileHandleEntry) * static_cast<size_t>(count);
  gTable = static_cast<FileHandleEntry*>(allocpages(&gTableBytes));
  if (gTable == nullptr) return 0;
  for (int i = 0; i < count; ++i) new (&gTable[i]) FileHandleEntry{};
  gCount = count;
  gTableSection = getcriticalsection();
  return 1;
}

void exitfiles() {
  if (gTable == nullptr) return;
  for (int i = 0; i < gCount; ++i)
    if (gTable[i].inuse) closefile(~i);
  for (CRITICAL_SECTION*& section : gDeviceSections) {
    freecriticalsection(section);
    section = nullptr;
  }
  freecriticalsection(gTableSection);
  gTableSection = nullptr;
  freepages(gTable);
  gTable = nullptr;
  gCount = 0;
}

int isfilehandle(FileHandle handle) { return Entry(handle) != nullptr; }

int openfile(const char* name, uint32_t flags, uint32_t unit, FileHandle* out) {
  *out = 0;
  if (gTable == nullptr || name == nullptr) return 0;
  FileHandle handle = TakeEntry();
  if (handle == 0) return 0;
  FileHandleEntry* e = &gTable[~handle];
  e->device = static_cast<uint8_t>(filedevice(name));
  DWORD access = ((flags & OPENF_READ) ? GENERIC_READ : 0) | ((flags & OPENF_WRITE) ? GENERIC_WRITE : 0);
  DWORD share = ((flags & OPENF_SHAREREAD) ? FILE_SHARE_READ : 0) | ((flags & OPENF_SHAREWRITE) ? FILE_SHARE_WRITE : 0);
  DWORD creation = OPEN_EXISTING;
  if ((flags & (OPENF_CREATE | OPENF_TRUNCATE)) == (OPENF_CREATE | OPENF_TRUNCATE)) {
    creation = CREATE_ALWAYS;
  } else if (flags & OPENF_CREATE) {
    creation = CREATE_NEW;
  } else if (flags & OPENF_TRUNCATE) {
    creation = TRUNCATE_EXISTING;
  }
  DWORD attributes = FILE_ATTRIBUTE_NORMAL | ((flags & OPENF_NOBUFFER) ? FILE_FLAG_NO_BUFFERING : 0) |
                     ((flags & OPENF_SEQUENTIAL) ? FILE_FLAG_SEQUENTIAL_SCAN : 0) |
                     ((flags & OPENF_WRITETHROUGH) ? FILE_FLAG_WRITE_THROUGH : 0);
  HANDLE system = CreateFileA(name, access, share, nullptr, creation, attributes, nullptr);
  if (system == INVALID_HANDLE_VALUE) {
    debugmessage(&filedebuglevel, 1, "[FILE] CreateFile failed (%d)\n", static_cast<int>(GetLastError() & 0xFFFF));
    FreeEntry(e);
    return 0;
  }
  e->system = system;
  e->flags = flags;
  if (unit == 0) {
    e->unit = FILEUNIT_DEFAULT;
  } else {
    uint32_t sector = SectorSize(name);
    e->unit = std::max(sector, (unit + sector - 1) / sector * sector);
  }
  DWORD high = 0;
  DWORD size = GetFileSize(system, &high);
  e->size = high != 0 || size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(size);
  e->position = 0;
  if (flags & OPENF_MAP) {
    bool write = (flags & OPENF_WRITE) != 0;
    HANDLE mapping = CreateFileMappingA(system, nullptr, write ? PAGE_READWRITE : PAGE_READONLY, 0, 0, nullptr);
    void* view = mapping ? MapViewOfFile(mapping, write ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (view != nullptr) {
      e->mapping = mapping;
      e->mapped = static_cast<uint8_t*>(view);
    } else if (mapping != nullptr) {
      CloseHandle(mapping);  // the handle works unmapped
    }
  }
  *out = handle;
  return 1;
}

int openmemoryhandle(const void* address, int32_t size, int device, uint32_t unit, FileHandle* out) {
  *out = 0;
  if (gTable == nullptr) return 0;
  FileHandle handle = TakeEntry();
  if (handle == 0) return 0;
  FileHandleEntry* e = &gTable[~handle];
  e->device = static_cast<uint8_t>(device >= 0 && device < FILEDEVICES ? device : FILEDEVICE_NODRIVE);
  e->system = INVALID_HANDLE_VALUE;
  e->mapping = INVALID_HANDLE_VALUE;
  e->flags = OPENF_MAP;
  e->mapped = static_cast<uint8_t*>(const_cast<void*>(address));
  e->size = std::max(size, 0);
  e->position = 0;
  e->unit = unit == 0 ? FILEUNIT_DEFAULT : unit;
  *out = handle;
  return 1;
}

int closefile(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  {
    DeviceLock lock(e);
    if (e->system != INVALID_HANDLE_VALUE) {
      if (e->mapped != nullptr) UnmapViewOfFile(e->mapped);
      if (e->mapping != nullptr) CloseHandle(e->mapping);
      CloseHandle(e->system);
    }
    e->mapped = nullptr;
  }
  FreeEntry(e);
  return 1;
}

int fileinfo(FileHandle handle, uint32_t* flags, uint32_t* unit, int32_t* size, uint32_t* freespace) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  if (flags) *flags = e->flags;
  if (unit) *unit = e->unit;
  if (size) *size = e->size;
  if (freespace) {
    char root[4] = {static_cast<char>('@' + e->device), ':', '\\', 0};
    *freespace = e->device >= 1 && e->device <= 26 ? diskfreespace(root) : 0;
    if (*freespace == 0)
      debugmessage(&filedebuglevel, 1, "[FILE] GetDiskFreeSpace failed (%d)\n",
                   static_cast<int>(GetLastError() & 0xFFFF));
  }
  return 1;
}

int seekfile(FileHandle handle, int32_t position) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  DeviceLock lock(e);
  position = std::clamp(position, 0, e->size);
  if (e->mapped == nullptr) {
    DWORD at = SetFilePointer(e->system, position, nullptr, FILE_BEGIN);
    if (at == INVALID_SET_FILE_POINTER) {
      debugmessage(&filedebuglevel, 1, "[FILE] SetFilePointer failed (%d)\n",
                   static_cast<int>(GetLastError() & 0xFFFF));
      return 0;
    }
    position = static_cast<int32_t>(at);
  }
  e->position = position;
  return 1;
}

int32_t filetell(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  if (e->mapped != nullptr) return e->position;
  DeviceLock lock(e);
  DWORD at = SetFilePointer(e->system, 0, nullptr, FILE_CURRENT);
  if (at == INVALID_SET_FILE_POINTER) {
    debugmessage(&filedebuglevel, 1, "[FILE] SetFilePointer failed (%d)\n", static_cast<int>(GetLastError() & 0xFFFF));
    return 0;
  }
  return static_cast<int32_t>(at);
}

uint32_t readfile(FileHandle handle, void* buffer, uint32_t count) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr || buffer == nullptr) return 0;
  DeviceLock lock(e);
  e->position = std::clamp(e->position, 0, e->size);
  uint32_t remaining = std::min<uint32_t>(count, static_cast<uint32_t>(e->size - e->position));
  uint32_t total = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  e->transfer = 1;
  while (remaining > 0 && e->transfer) {
    uint32_t piece = std::min(remaining, e->unit);
    uint32_t got = 0;
    if (e->mapped != nullptr) {
      memcpy(out, e->mapped + e->position, piece);
      got = piece;
      SwitchToThread();
    } else {
      DWORD read = 0;
      if (!ReadFile(e->system, out, piece, &read, nullptr)) {
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
          SwitchToThread();
          continue;
        }
        debugmessage(&filedebuglevel, 1, "[FILE] ReadFile failed (%d)\n", static_cast<int>(error & 0xFFFF));
        e->transfer = 0;
        return 0;
      }
      got = read;
    }
    e->position = std::min(e->position + static_cast<int32_t>(got), e->size);
    out += got;
    total += got;
    remaining -= got;
    Piece(handle, got);
    if (got < piece) break;
  }
  e->transfer = 0;
  return total;
}

uint32_t writefile(FileHandle handle, const void* buffer, uint32_t count) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr || buffer == nullptr) return 0;
  DeviceLock lock(e);
  if (e->mapped != nullptr) {
    // A view is writable only when the handle was opened for writing (memory handles never are).
    if (!(e->flags & OPENF_WRITE) || e->system == INVALID_HANDLE_VALUE) return 0;
    count = std::min<uint32_t>(count, static_cast<uint32_t>(std::max(e->size - e->position, 0)));
  }
  auto* in = static_cast<const uint8_t*>(buffer);
  uint32_t total = 0;
  while (total < count) {
    uint32_t piece = std::min(count - total, e->unit);
    uint32_t put = 0;
    if (e->mapped != nullptr) {
      memcpy(e->mapped + e->position, in, piece);
      put = piece;
    } else {
      DWORD written = 0;
      if (!WriteFile(e->system, in, piece, &written, nullptr)) {
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
          SwitchToThread();
          continue;
        }
        debugmessage(&filedebuglevel, 1, "[FILE] WriteFile failed (%d)\n", static_cast<int>(error & 0xFFFF));
        // What reached the file still counts for the position and size.
        e->position += static_cast<int32_t>(written);
        e->size = std::max(e->size, e->position);
        return 0;
      }
      put = written;
    }
    e->position += static_cast<int32_t>(put);
    e->size = std::max(e->size, e->position);
    in += put;
    total += put;
    Piece(handle, put);
    if (put < piece) break;
  }
  return total;
}

int truncatefile(FileHandle handle, int32_t position) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr || e->mapped != nullptr) return 0;
  DeviceLock lock(e);
  BOOL ok = SetEndOfFile(e->system);
  if (ok) {
    DWORD at = SetFilePointer(e->system, 0, nullptr, FILE_CURRENT);
    if (at != INVALID_SET_FILE_POINTER) e->size = static_cast<int32_t>(at);
  }
  position = std::clamp(position, 0, e->size);
  DWORD at = SetFilePointer(e->system, position, nullptr, FILE_BEGIN);
  if (at != INVALID_SET_FILE_POINTER) e->position = static_cast<int32_t>(at);
  return ok;
}

void* filemapaddress(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  return e == nullptr ? nullptr : e->mapped;
}

int filehandledevice(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  return e == nullptr ? 0 : e->device;
}

int stoptransfer(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  return e->transfer.exchange(0);
}

int lockfilehandle(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  entercritical(DeviceSection(e->device));
  return 1;
}

int unlockfilehandle(FileHandle handle) {
  FileHandleEntry* e = Entry(handle);
  if (e == nullptr) return 0;
  leavecritical(DeviceSection(e->device));
  return 1;
}

// ---- checked entry points ------------------------------------------------------------------------------------
namespace {

// Opens for one of the checked entry points and reads the size; aborts (under abortonerror) with the entry
// point's own texts.
bool OpenChecked(const char* name, uint32_t flags, const char* function, const char* openFailed,
                 FileHandle* out, uint32_t* word, int32_t* size) {
  checknotlocked(function);
  *out = 0;
  *word = 0;
  *size = 0;
  const char* shown = name ? name : "";
  if (!openfile(name, flags, 0, out)) {
    if (abortonerror) {
      ABORTCONTEXT(kFileIo, function);
      abortmessage(openFailed, shown);
    }
    return false;
  }
  if (!fileinfo(*out, nullptr, nullptr, size, nullptr)) {
    closefile(*out);
    *out = 0;
    if (abortonerror) {
      ABORTCONTEXT(kFileIo, function);
      abortmessage("%s - INFO FAILED ON `%s`\n", function, shown);
    }
    return false;
  }
  return true;
}

}  // namespace

int openhandle(const char* name, FileHandle* out, uint32_t* word, int32_t* size) {
  return OpenChecked(name, OPENF_READ | OPENF_SHAREREAD | OPENF_SEQUENTIAL, "openhandlea",
                     "openhandlea - OPEN FAILED ON `%s`\n", out, word, size)
             ? 1
             : 0;
}

int openhandlew(const char* name, FileHandle* out, uint32_t* word, int32_t* size) {
  checknotlocked("openhandlew");
  *word = 0;
  *size = 0;
  if (!openfile(name, OPENF_WRITE | OPENF_CREATE | OPENF_TRUNCATE | OPENF_SEQUENTIAL, 0, out)) {
    *out = 0;
    return 0;
  }
  return 1;
}

void* openmaphandle(const char* name, FileHandle* out, uint32_t* word, int32_t* size) {
  if (!OpenChecked(name, OPENF_READ | OPENF_SHAREREAD | OPENF_MAP, "openmaphandlea",
                   "openmaphandlea -- FAILED TO OPEN FILE `%s`\n", out, word, size))
    return nullptr;
  return filemapaddress(*out);
}

int libclosehandle(FileHandle handle) { return closefile(handle); }

uint32_t readhandle(FileHandle handle, void* buffer, uint32_t count) { return readfile(handle, buffer, count); }

uint32_t writehandle(FileHandle handle, const void* buffer, uint32_t count) {
  return writefile(handle, buffer, count);
}

int32_t seekhandle(FileHandle handle, int32_t position) {
  if (!seekfile(handle, position)) return 0;
  return filetell(handle);
}

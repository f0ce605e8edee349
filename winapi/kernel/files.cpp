// File handles of the stand-in: open, read, write, seek, size, mapping, delete, move and copy.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "files_internal.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

using winapi::files::ErrnoToError;
using winapi::files::Resolved;

struct FileObject {
  int fd = -1;
  char drive = 'C';
  DWORD access = 0;
  DWORD share = 0;
  dev_t dev = 0;
  ino_t ino = 0;
  std::string host;
  bool deleteOnClose = false;
};

struct MappingObject {
  int fd = -1;  // a duplicate of the file's descriptor, or -1 for memory backed by the page file
  uint64_t size = 0;
  bool writable = false;
};

struct View {
  size_t length;
  int fd;  // -1 for anonymous views that share a mapping's memory
};

std::mutex gLock;
std::set<FileObject*> gFiles;
std::set<MappingObject*> gMappings;
std::map<uintptr_t, size_t> gViews;

bool Injected(const char* function) {
  uint32_t error = 0;
  if (!winapi::testing::ShouldFail(function, &error)) return false;
  SetLastError(error);
  return true;
}

FileObject* FileFrom(HANDLE h) {
  std::lock_guard<std::mutex> guard(gLock);
  auto it = gFiles.find(static_cast<FileObject*>(h));
  return it == gFiles.end() ? nullptr : *it;
}

// The open file behind a handle when it allows `access` and no failure is injected for `function`.
FileObject* Usable(HANDLE h, DWORD access, const char* function) {
  FileObject* f = FileFrom(h);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if ((f->access & access) != access) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return Injected(function) ? nullptr : f;
}

// The platform refuses an open whose access or sharing clashes with an open handle of the same file.
bool ShareClash(const struct stat& st, DWORD access, DWORD share) {
  for (FileObject* f : gFiles) {
    if (f->dev != st.st_dev || f->ino != st.st_ino) continue;
    if ((access & GENERIC_READ) && !(f->share & FILE_SHARE_READ)) return true;
    if ((access & GENERIC_WRITE) && !(f->share & FILE_SHARE_WRITE)) return true;
    if ((f->access & GENERIC_READ) && !(share & FILE_SHARE_READ)) return true;
    if ((f->access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)) return true;
  }
  return false;
}

bool IsOpen(const std::string& host) {
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return false;
  std::lock_guard<std::mutex> guard(gLock);
  for (FileObject* f : gFiles)
    if (f->dev == st.st_dev && f->ino == st.st_ino && !(f->share & FILE_SHARE_DELETE)) return true;
  return false;
}

// Copies src to dst through dst's temporary file, flushed and renamed into place at the end.
DWORD CopyHostFile(const std::string& src, const std::string& dst, char dstDrive) {
  int in = open(src.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return ErrnoToError(errno, ERROR_FILE_NOT_FOUND);
  const DWORD err = winapi::files::ReplaceHostFileWith(dst, [&](int out) -> DWORD {
    char buffer[65536];
    for (;;) {
      ssize_t n = read(in, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ErrnoToError(errno, ERROR_READ_FAULT);
      if (n == 0) return 0;
      uint64_t granted = winapi::files::ReserveDiskSpace(dstDrive, static_cast<uint64_t>(n));
      for (ssize_t done = 0; done < static_cast<ssize_t>(granted);) {
        ssize_t w = write(out, buffer + done, static_cast<size_t>(static_cast<ssize_t>(granted) - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return ErrnoToError(errno, ERROR_WRITE_FAULT);
        done += w;
      }
      if (granted < static_cast<uint64_t>(n)) return ERROR_DISK_FULL;
    }
  });
  close(in);
  return err;
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  if (Injected("CreateFileA")) return INVALID_HANDLE_VALUE;
  if (std::string device; winapi::files::IsDeviceName(name, &device))
    return winapi::files::OpenDevice(device, desiredAccess, flagsAndAttributes);
  if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Resolved r;
  if (DWORD err = winapi::files::Resolve(name, &r)) {
    SetLastError(err);
    return INVALID_HANDLE_VALUE;
  }
  if (r.isDir) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  bool wantsWrite = (desiredAccess & GENERIC_WRITE) != 0;
  bool creates = creationDisposition != OPEN_EXISTING && (creationDisposition != OPEN_ALWAYS || !r.exists) &&
                 (creationDisposition != TRUNCATE_EXISTING);
  if (r.readOnlyDrive && (wantsWrite || (creates && !r.exists))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC;
  if ((desiredAccess & GENERIC_READ) && wantsWrite) {
    flags |= O_RDWR;
  } else if (wantsWrite) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  bool existed = r.exists;
  switch (creationDisposition) {
    case CREATE_NEW:
      if (r.exists) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS: flags |= O_CREAT; break;
    case OPEN_EXISTING:
      if (!r.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      break;
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
      if (!r.exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      if (!wantsWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      break;
  }
  // Creating or emptying may need write access on the host even for a handle without it.
  if ((creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING) && (flags & O_ACCMODE) == O_RDONLY) {
    flags = (flags & ~O_ACCMODE) | O_RDWR;
  }
  std::lock_guard<std::mutex> guard(gLock);
  struct stat st;
  if (existed && stat(r.host.c_str(), &st) == 0 && ShareClash(st, desiredAccess, shareMode)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  int fd = open(r.host.c_str(), flags, 0666);
  if (fd < 0) {
    SetLastError(ErrnoToError(errno, ERROR_ACCESS_DENIED));
    return INVALID_HANDLE_VALUE;
  }
  if ((creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING) && existed) {
    if (ftruncate(fd, 0) != 0) {
      SetLastError(ErrnoToError(errno, ERROR_ACCESS_DENIED));
      close(fd);
      return INVALID_HANDLE_VALUE;
    }
  }
  fstat(fd, &st);
  auto* f = new FileObject;
  f->fd = fd;
  f->drive = r.drive;
  f->access = desiredAccess;
  f->share = shareMode;
  f->dev = st.st_dev;
  f->ino = st.st_ino;
  f->host = r.host;
  f->deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  gFiles.insert(f);
  // Opening an existing file with OPEN_ALWAYS or CREATE_ALWAYS says so through the last error.
  SetLastError(existed && (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS)
                   ? ERROR_ALREADY_EXISTS
                   : 0);
  return f;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED) {
  if (read) *read = 0;
  DWORD moved = 0;
  if (BOOL result; winapi::files::DeviceRead(file, buffer, count, &moved, &result)) {
    if (read) *read = moved;
    return result;
  }
  FileObject* f = Usable(file, GENERIC_READ, "ReadFile");
  if (f == nullptr) return FALSE;
  DWORD done = 0;
  while (done < count) {
    ssize_t n = ::read(f->fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (read) *read = done;
      SetLastError(ErrnoToError(errno, ERROR_READ_FAULT));
      return FALSE;
    }
    if (n == 0) break;  // end of file: success with fewer bytes
    done += static_cast<DWORD>(n);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED) {
  if (written) *written = 0;
  DWORD moved = 0;
  if (BOOL result; winapi::files::DeviceWrite(file, buffer, count, &moved, &result)) {
    if (written) *written = moved;
    return result;
  }
  FileObject* f = Usable(file, GENERIC_WRITE, "WriteFile");
  if (f == nullptr) return FALSE;
  struct stat st;
  off_t pos = lseek(f->fd, 0, SEEK_CUR);
  uint64_t size = fstat(f->fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  uint64_t end = static_cast<uint64_t>(pos) + count;
  uint64_t growth = end > size ? end - std::max<uint64_t>(size, static_cast<uint64_t>(pos)) : 0;
  uint64_t granted = winapi::files::ReserveDiskSpace(f->drive, growth);
  DWORD allowed = count - static_cast<DWORD>(growth - granted);
  DWORD done = 0;
  while (done < allowed) {
    ssize_t n = ::write(f->fd, static_cast<const char*>(buffer) + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = done;
      SetLastError(ErrnoToError(errno, ERROR_WRITE_FAULT));
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  if (done < count) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
  FileObject* f = FileFrom(file);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  if (Injected("SetFilePointer")) return INVALID_SET_FILE_POINTER;
  int64_t move = distanceHigh ? (static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance)
                              : static_cast<int64_t>(distance);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : method == FILE_END ? SEEK_END : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  off_t base = whence == SEEK_SET ? 0 : lseek(f->fd, 0, whence);
  if (base + move < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  off_t pos = lseek(f->fd, base + move, SEEK_SET);
  if (pos < 0) {
    SetLastError(ErrnoToError(errno, ERROR_INVALID_PARAMETER));
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
  SetLastError(0);
  return static_cast<DWORD>(pos);
}

BOOL SetEndOfFile(HANDLE file) {
  FileObject* f = Usable(file, GENERIC_WRITE, "SetEndOfFile");
  if (f == nullptr) return FALSE;
  off_t pos = lseek(f->fd, 0, SEEK_CUR);
  struct stat st;
  if (fstat(f->fd, &st) == 0 && pos > st.st_size &&
      winapi::files::ReserveDiskSpace(f->drive, static_cast<uint64_t>(pos - st.st_size)) <
          static_cast<uint64_t>(pos - st.st_size)) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  if (ftruncate(f->fd, pos) != 0) {
    SetLastError(ErrnoToError(errno, ERROR_ACCESS_DENIED));
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  FileObject* f = FileFrom(file);
  struct stat st;
  if (f == nullptr || fstat(f->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(0);
  return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE file) {
  FileObject* f = FileFrom(file);
  if (f == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Injected("FlushFileBuffers")) return FALSE;
  if (fsync(f->fd) == 0) return TRUE;
  SetLastError(ErrnoToError(errno, ERROR_WRITE_FAULT));
  return FALSE;
}

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR) {
  if (Injected("CreateFileMappingA")) return nullptr;
  bool writable = (protect & 0xFF) == PAGE_READWRITE || (protect & 0xFF) == PAGE_WRITECOPY;
  uint64_t size = (static_cast<uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
  auto* m = new MappingObject;
  m->writable = writable;
  if (file == INVALID_HANDLE_VALUE) {
    if (size == 0) {
      delete m;
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    m->fd = memfd_create("winapi-mapping", MFD_CLOEXEC);
    if (m->fd < 0 || ftruncate(m->fd, static_cast<off_t>(size)) != 0) {
      if (m->fd >= 0) close(m->fd);
      delete m;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    m->size = size;
  } else {
    FileObject* f = FileFrom(file);
    if (f == nullptr) {
      delete m;
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    if (writable && !(f->access & GENERIC_WRITE)) {
      delete m;
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    struct stat st;
    fstat(f->fd, &st);
    uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (size == 0) size = fileSize;
    if (size == 0) {
      delete m;
      SetLastError(ERROR_FILE_INVALID);
      return nullptr;
    }
    if (size > fileSize) {
      if (!writable || ftruncate(f->fd, static_cast<off_t>(size)) != 0) {
        delete m;
        SetLastError(writable ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
        return nullptr;
      }
    }
    m->fd = dup(f->fd);
    m->size = size;
  }
  std::lock_guard<std::mutex> guard(gLock);
  gMappings.insert(m);
  return m;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  MappingObject* m = nullptr;
  {
    std::lock_guard<std::mutex> guard(gLock);
    auto it = gMappings.find(static_cast<MappingObject*>(mapping));
    if (it != gMappings.end()) m = *it;
  }
  if (m == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (Injected("MapViewOfFile")) return nullptr;
  uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
  bool wantsWrite = (desiredAccess & FILE_MAP_WRITE) != 0;
  bool copy = desiredAccess == FILE_MAP_COPY;
  if ((wantsWrite && !m->writable) || offset > m->size || offset % 65536 != 0) {
    SetLastError(wantsWrite && !m->writable ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (bytes == 0) bytes = static_cast<SIZE_T>(m->size - offset);
  if (bytes == 0 || offset + bytes > m->size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int prot = PROT_READ | (wantsWrite || copy ? PROT_WRITE : 0);
  void* address = mmap(nullptr, bytes, prot, copy ? MAP_PRIVATE : MAP_SHARED, m->fd, static_cast<off_t>(offset));
  if (address == MAP_FAILED) {
    SetLastError(ErrnoToError(errno, ERROR_NOT_ENOUGH_MEMORY));
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(gLock);
  gViews[reinterpret_cast<uintptr_t>(address)] = bytes;
  return address;
}

BOOL UnmapViewOfFile(LPCVOID address) {
  size_t length = 0;
  {
    std::lock_guard<std::mutex> guard(gLock);
    auto it = gViews.find(reinterpret_cast<uintptr_t>(address));
    if (it == gViews.end()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    length = it->second;
    gViews.erase(it);
  }
  munmap(const_cast<void*>(address), length);
  return TRUE;
}

bool winapi::internal::CloseFileHandle(HANDLE handle) {
  if (winapi::files::DeviceClose(handle)) return true;
  std::lock_guard<std::mutex> guard(gLock);
  if (auto it = gFiles.find(static_cast<FileObject*>(handle)); it != gFiles.end()) {
    FileObject* f = *it;
    gFiles.erase(it);
    close(f->fd);
    if (f->deleteOnClose) unlink(f->host.c_str());
    delete f;
    return true;
  }
  if (auto it = gMappings.find(static_cast<MappingObject*>(handle)); it != gMappings.end()) {
    // Views stay valid after their mapping handle is closed, as on the platform.
    MappingObject* m = *it;
    gMappings.erase(it);
    if (m->fd >= 0) close(m->fd);
    delete m;
    return true;
  }
  return false;
}

BOOL DeleteFileA(LPCSTR name) {
  if (Injected("DeleteFileA")) return FALSE;
  Resolved r;
  if (DWORD err = winapi::files::Resolve(name, &r)) {
    SetLastError(err);
    return FALSE;
  }
  if (!r.exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (r.isDir || r.readOnlyDrive) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // An open file cannot be deleted unless every opener allowed it.
  if (IsOpen(r.host)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (unlink(r.host.c_str()) != 0) {
    SetLastError(ErrnoToError(errno, ERROR_ACCESS_DENIED));
    return FALSE;
  }
  return TRUE;
}

BOOL MoveFileA(LPCSTR existing, LPCSTR newName) { return MoveFileExA(existing, newName, MOVEFILE_COPY_ALLOWED); }

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
  if (Injected("MoveFileA")) return FALSE;
  Resolved from, to;
  if (DWORD err = winapi::files::Resolve(existing, &from)) {
    SetLastError(err);
    return FALSE;
  }
  if (!from.exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (DWORD err = winapi::files::Resolve(newName, &to)) {
    SetLastError(err);
    return FALSE;
  }
  // Renaming to a name that differs only in case is allowed; anything else already there is not.
  if (to.exists && to.host != from.host && (!(flags & MOVEFILE_REPLACE_EXISTING) || to.isDir)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (from.readOnlyDrive || to.readOnlyDrive) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool sameFile = to.exists && to.host == from.host;
  std::string target = sameFile ? to.host.substr(0, to.host.rfind('/') + 1) +
                                        to.windows.substr(to.windows.rfind('\\') + 1)
                                  : to.host;
  if (rename(from.host.c_str(), target.c_str()) == 0) {
    if (flags & MOVEFILE_WRITE_THROUGH) winapi::files::SyncFolder(target);
    return TRUE;
  }
  if (errno != EXDEV || from.isDir || !(flags & MOVEFILE_COPY_ALLOWED)) {
    SetLastError(ErrnoToError(errno, ERROR_ACCESS_DENIED));
    return FALSE;
  }
  if (DWORD err = CopyHostFile(from.host, target, to.drive)) {
    SetLastError(err);
    return FALSE;
  }
  unlink(from.host.c_str());
  if (flags & MOVEFILE_WRITE_THROUGH) winapi::files::SyncFolder(target);
  return TRUE;
}

BOOL CopyFileA(LPCSTR existing, LPCSTR newName, BOOL failIfExists) {
  if (Injected("CopyFileA")) return FALSE;
  Resolved from, to;
  if (DWORD err = winapi::files::Resolve(existing, &from)) {
    SetLastError(err);
    return FALSE;
  }
  if (!from.exists || from.isDir) {
    SetLastError(from.isDir ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (DWORD err = winapi::files::Resolve(newName, &to)) {
    SetLastError(err);
    return FALSE;
  }
  if (to.exists && (failIfExists || to.isDir)) {
    SetLastError(to.isDir ? ERROR_ACCESS_DENIED : ERROR_FILE_EXISTS);
    return FALSE;
  }
  if (to.readOnlyDrive) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (DWORD err = CopyHostFile(from.host, to.host, to.drive)) {
    SetLastError(err);
    return FALSE;
  }
  return TRUE;
}

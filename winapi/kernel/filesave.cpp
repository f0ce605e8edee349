// Whole-file saves of the stand-in: a new file beside the target, flushed to the disk, renamed over the target,
// and the folder flushed, so that a crash at any moment leaves the old content or the new one.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "files_internal.h"
#include "winapi/testing.h"
#include "windows.h"

namespace winapi::files {
namespace {

bool Injected(const char* function, DWORD* error) {
  uint32_t code = 0;
  if (!winapi::testing::ShouldFail(function, &code)) return false;
  *error = code;
  return true;
}

std::string FolderOf(const std::string& host) {
  size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : host.substr(0, slash);
}

}  // namespace

void SyncFolder(const std::string& host) {
  int fd = open(FolderOf(host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems cannot flush a folder; the rename itself has happened either way.
  fsync(fd);
  close(fd);
}

DWORD ReplaceHostFile(const std::string& host, char drive, const void* data, size_t size) {
  DWORD error = 0;
  if (Injected("CreateFileA", &error)) return error;
  static std::atomic<unsigned> counter{0};
  const std::string temp = host + ".~sv" + std::to_string(getpid()) + "." + std::to_string(counter++);
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return ErrnoToError(errno, ERROR_ACCESS_DENIED);
  if (Injected("WriteFile", &error)) {
  } else if (drive != 0 && ReserveDiskSpace(drive, size) < size) {
    error = ERROR_DISK_FULL;
  } else {
    for (size_t done = 0; done < size && error == 0;) {
      ssize_t n = write(fd, static_cast<const char*>(data) + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) error = ErrnoToError(errno, ERROR_WRITE_FAULT);
      else done += static_cast<size_t>(n);
    }
  }
  if (error == 0 && !Injected("FlushFileBuffers", &error) && fsync(fd) != 0) error = ErrnoToError(errno, ERROR_WRITE_FAULT);
  if (close(fd) != 0 && error == 0) error = ErrnoToError(errno, ERROR_WRITE_FAULT);
  if (error == 0 && !Injected("MoveFileA", &error) && rename(temp.c_str(), host.c_str()) != 0)
    error = ErrnoToError(errno, ERROR_ACCESS_DENIED);
  if (error != 0) {
    unlink(temp.c_str());
    return error;
  }
  SyncFolder(host);
  return 0;
}

}  // namespace winapi::files

namespace winapi {

DWORD SaveFileWhole(const char* name, const void* data, size_t size) {
  files::Resolved r;
  if (DWORD error = files::Resolve(name, &r)) return error;
  if (r.isDir || r.readOnlyDrive) return ERROR_ACCESS_DENIED;
  return files::ReplaceHostFile(r.host, r.drive, data, size);
}

DWORD SaveHostFileWhole(const char* hostPath, const void* data, size_t size) {
  if (hostPath == nullptr || *hostPath == 0) return ERROR_INVALID_NAME;
  return files::ReplaceHostFile(hostPath, 0, data, size);
}

}  // namespace winapi

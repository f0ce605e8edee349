// Whole-file saves of the stand-in: a new file beside the target, flushed to the disk, renamed over the target,
// and the folder flushed, so that a crash at any moment leaves the old content or the new one. Each target has
// one temporary name, held under a lock while it is written, so a save killed half way leaves one file that the
// next save of that target reuses and that RemoveStaleSaves clears at the next start.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "files_internal.h"
#include "winapi/testing.h"
#include "windows.h"

namespace winapi::files {

constexpr char kTempSuffix[] = ".~sv";
std::atomic<bool> gDurable{true};

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

// Opens the target's temporary file, empty and locked; -1 with errno on failure. The lock is retaken when
// another saver renamed the file away while this one waited for it.
int OpenLockedTemp(const std::string& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat held, named;
    if (fstat(fd, &held) == 0 && stat(temp.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      if (ftruncate(fd, 0) == 0) return fd;
      const int saved = errno;
      close(fd);
      errno = saved;
      return -1;
    }
    close(fd);
  }
  errno = EBUSY;
  return -1;
}

DWORD WriteAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ErrnoToError(errno, ERROR_WRITE_FAULT);
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

void SyncFolder(const std::string& host) {
  int fd = open(FolderOf(host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems cannot flush a folder; the rename itself has happened either way.
  fsync(fd);
  close(fd);
}

DWORD ReplaceHostFileWith(const std::string& host, const std::function<DWORD(int fd)>& fill) {
  DWORD error = 0;
  if (Injected("CreateFileA", &error)) return error;
  const std::string temp = host + kTempSuffix;
  int fd = OpenLockedTemp(temp);
  if (fd < 0) return ErrnoToError(errno, ERROR_ACCESS_DENIED);
  if (!Injected("WriteFile", &error)) error = fill(fd);
  if (error == 0 && !Injected("FlushFileBuffers", &error) && gDurable && fsync(fd) != 0)
    error = ErrnoToError(errno, ERROR_WRITE_FAULT);
  if (error == 0 && !Injected("MoveFileA", &error) && rename(temp.c_str(), host.c_str()) != 0)
    error = ErrnoToError(errno, ERROR_ACCESS_DENIED);
  if (error != 0) unlink(temp.c_str());
  close(fd);  // after the rename or unlink, so that no other saver takes the name between them
  if (error == 0 && gDurable) SyncFolder(host);
  return error;
}

DWORD ReplaceHostFile(const std::string& host, char drive, const void* data, size_t size) {
  return ReplaceHostFileWith(host, [&](int fd) -> DWORD {
    if (drive != 0 && ReserveDiskSpace(drive, size) < size) return ERROR_DISK_FULL;
    return WriteAll(fd, static_cast<const char*>(data), size);
  });
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

int RemoveStaleHostSaves(const char* hostFolder) {
  DIR* dir = opendir(hostFolder && *hostFolder ? hostFolder : ".");
  if (!dir) return 0;
  std::vector<std::string> stale;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    // Also the names of earlier versions, which had a process number and a count after the mark.
    if (name.find(files::kTempSuffix) != std::string::npos || name.find(".~cp") != std::string::npos) stale.push_back(name);
  }
  closedir(dir);
  int removed = 0;
  for (const std::string& name : stale) {
    const std::string path = std::string(hostFolder && *hostFolder ? hostFolder : ".") + "/" + name;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat st;
    // A file another saver holds is in use, not stale.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(path.c_str()) == 0)
      ++removed;
    close(fd);
  }
  return removed;
}

int RemoveStaleSaves(const char* folder) {
  files::Resolved r;
  if (files::Resolve(folder, &r) != 0 || !r.isDir) return 0;
  return RemoveStaleHostSaves(r.host.c_str());
}

}  // namespace winapi

namespace winapi::testing {
void SetDurableSaves(bool on) { files::gDurable = on; }
}  // namespace winapi::testing

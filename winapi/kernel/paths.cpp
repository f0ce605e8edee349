// Drive letters, path mapping, folders, volumes and the current directory of the stand-in.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "files_internal.h"
#include "internal.h"
#include "winapi/testing.h"
#include "windows.h"

namespace winapi::files {
namespace {

struct Drive {
  std::string folder;
  std::string label;
};

struct Config {
  bool loaded = false;
  std::array<std::optional<Drive>, 26> drives;
  char cdLetter = 'D';
  bool cdPresent = false;
  std::array<int64_t, 26> freeLimit{};  // -1: the host's real free space
  UINT errorMode = 0;
  std::string currentDir;  // "C:\..."
  std::string moduleFile;  // Windows path of the program, when set
};

std::recursive_mutex gLock;
Config gConfig;

std::string HostCwd() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return "/";
  return buffer;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string TrimSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// The Windows path of a host path that lies inside one of the fixed drives, or empty.
std::string HostToWindows(const Config& c, const std::string& host) {
  for (int i = 0; i < 26; ++i) {
    if (!c.drives[i] || i == c.cdLetter - 'A') continue;
    const std::string& root = c.drives[i]->folder;
    if (host.compare(0, root.size(), root) != 0) continue;
    if (host.size() != root.size() && host[root.size()] != '/' && root != "/") continue;
    std::string rest = host.substr(root.size());
    std::string out = std::string(1, static_cast<char>('A' + i)) + ":";
    for (char ch : rest) out += ch == '/' ? '\\' : ch;
    if (out.size() == 2 || out[2] != '\\') out.insert(2, "\\");
    return out;
  }
  return {};
}

void LoadFromEnvironment(Config& c) {
  c = Config{};
  c.loaded = true;
  c.freeLimit.fill(-1);
  if (const char* cd = getenv("WINAPI_CDROM"); cd != nullptr && *cd != 0) {
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(*cd)));
    c.cdLetter = letter >= 'A' && letter <= 'Z' ? letter : 0;
  }
  for (int i = 0; i < 26; ++i) {
    std::string letter(1, static_cast<char>('A' + i));
    const char* folder = getenv(("WINAPI_DRIVE_" + letter).c_str());
    if (folder == nullptr || *folder == 0) continue;
    Drive d;
    d.folder = TrimSlashes(folder);
    const char* label = getenv(("WINAPI_LABEL_" + letter).c_str());
    if (label != nullptr) d.label = label;
    c.drives[i] = d;
  }
  if (!c.drives['C' - 'A'] && c.cdLetter != 'C') c.drives['C' - 'A'] = Drive{HostCwd(), ""};
  if (c.cdLetter != 0 && c.drives[c.cdLetter - 'A']) {
    Drive& cd = *c.drives[c.cdLetter - 'A'];
    const char* label = getenv("WINAPI_CDROM_LABEL");
    if (getenv(("WINAPI_LABEL_" + std::string(1, c.cdLetter)).c_str()) == nullptr)
      cd.label = label != nullptr ? label : "TEEBOX";
    c.cdPresent = IsDirectory(cd.folder);
  }
  std::string cwd = HostToWindows(c, HostCwd());
  c.currentDir = cwd.empty() ? "C:\\" : cwd;
  if (const char* module = getenv("WINAPI_MODULE_FILE"); module != nullptr) c.moduleFile = module;
}

void ResetHandler() { winapi::testing::ResetFiles(); }

Config& Cfg() {
  if (!gConfig.loaded) {
    LoadFromEnvironment(gConfig);
    winapi::internal::OnReset(&ResetHandler);
  }
  return gConfig;
}

std::string Upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
  return s;
}

bool BadNameChar(char ch) {
  return strchr("<>:\"|?*", ch) != nullptr || (static_cast<unsigned char>(ch) < 32);
}

// Finds `name` in host folder `dir`: the exact name first, then any name equal without regard to case.
bool FindComponent(const std::string& dir, const std::string& name, std::string* found) {
  std::string exact = dir == "/" ? "/" + name : dir + "/" + name;
  struct stat st;
  if (lstat(exact.c_str(), &st) == 0) {
    *found = name;
    return true;
  }
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return false;
  bool ok = false;
  while (dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, name.c_str()) == 0) {
      *found = e->d_name;
      ok = true;
      break;
    }
  }
  closedir(d);
  return ok;
}

// A disc-less CD drive: the platform asks the user unless critical errors are suppressed.
DWORD NotReady(char letter, UINT errorMode) {
  if ((errorMode & SEM_FAILCRITICALERRORS) == 0) {
    std::string text = std::string("There is no disk in the drive. Please insert a disk into drive ") + letter + ":.";
    MessageBoxA(nullptr, text.c_str(), "No Disk", MB_OK | MB_ICONHAND);
  }
  return ERROR_NOT_READY;
}

}  // namespace

DWORD ErrnoToError(int error, DWORD fallback) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return fallback;
  }
}

DWORD FullPath(const char* name, std::string* out) {
  if (name == nullptr || *name == 0) return ERROR_PATH_NOT_FOUND;
  std::string path(name);
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.rfind("\\\\", 0) == 0) return ERROR_BAD_NETPATH;
  std::string current;
  {
    std::lock_guard<std::recursive_mutex> guard(gLock);
    current = Cfg().currentDir;
  }
  char drive = current[0];
  std::string rest;
  if (path.size() >= 2 && path[1] == ':') {
    char letter = static_cast<char>(toupper(static_cast<unsigned char>(path[0])));
    if (letter < 'A' || letter > 'Z') return ERROR_INVALID_NAME;
    rest = path.substr(2);
    if (rest.empty() || rest[0] != '\\') rest = (letter == drive ? current.substr(2) + "\\" : "\\") + rest;
    drive = letter;
  } else if (path[0] == '\\') {
    rest = path;
  } else {
    rest = current.substr(2) + "\\" + path;
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    std::string part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string full = std::string(1, drive) + ":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) full += '\\';
    full += parts[i];
  }
  if (full.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  *out = full;
  return 0;
}

void SplitLast(const std::string& full, std::string* folder, std::string* last) {
  size_t cut = full.rfind('\\');
  *folder = full.substr(0, cut + 1);
  *last = full.substr(cut + 1);
}

DWORD Resolve(const char* name, Resolved* out) {
  std::string full;
  if (DWORD err = FullPath(name, &full)) return err;
  char letter = full[0];
  std::string folder;
  bool isCd = false;
  bool present = true;
  UINT mode = 0;
  {
    std::lock_guard<std::recursive_mutex> guard(gLock);
    Config& c = Cfg();
    const auto& d = c.drives[letter - 'A'];
    isCd = letter == c.cdLetter;
    if (!d) {
      if (!isCd) return ERROR_PATH_NOT_FOUND;
      present = false;
    } else {
      folder = d->folder;
      present = !isCd || c.cdPresent;
    }
    mode = c.errorMode;
  }
  if (!present) return NotReady(letter, mode);
  Resolved r;
  r.drive = letter;
  r.windows = full;
  r.readOnlyDrive = isCd;
  std::string host = folder;
  std::vector<std::string> parts;
  for (size_t start = 3; start < full.size();) {
    size_t end = full.find('\\', start);
    if (end == std::string::npos) end = full.size();
    parts.push_back(full.substr(start, end - start));
    start = end + 1;
  }
  if (!IsDirectory(host)) return isCd ? NotReady(letter, mode) : ERROR_PATH_NOT_FOUND;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (std::any_of(part.begin(), part.end(), BadNameChar)) return ERROR_INVALID_NAME;
    std::string found;
    bool last = i + 1 == parts.size();
    if (FindComponent(host, part, &found)) {
      host = host == "/" ? "/" + found : host + "/" + found;
      if (!last && !IsDirectory(host)) return ERROR_PATH_NOT_FOUND;
      if (last) r.exists = true;
    } else {
      if (!last) return ERROR_PATH_NOT_FOUND;
      host = host == "/" ? "/" + part : host + "/" + part;
    }
  }
  if (parts.empty()) r.exists = true;
  r.isDir = r.exists && IsDirectory(host);
  r.host = host;
  *out = r;
  return 0;
}

uint64_t ReserveDiskSpace(char drive, uint64_t growth) {
  std::lock_guard<std::recursive_mutex> guard(gLock);
  int64_t& limit = Cfg().freeLimit[drive - 'A'];
  if (limit < 0) return growth;
  uint64_t granted = std::min<uint64_t>(growth, static_cast<uint64_t>(limit));
  limit -= static_cast<int64_t>(granted);
  return granted;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  std::string p = Upper(pattern);
  std::string n = Upper(name);
  if (p == "*.*" || p == "*") return true;
  // "NAME." asks for names without an extension.
  if (!p.empty() && p.back() == '.') {
    if (n.find('.') != std::string::npos) return false;
    p.pop_back();
  }
  // Iterative glob with backtracking on the last star.
  size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && (p[pi] == '*' || p[pi] == '.')) ++pi;
  return pi == p.size();
}

}  // namespace winapi::files

namespace winapi::files {
namespace {

struct DriveState {
  char letter = 0;
  bool configured = false;
  bool cd = false;
  bool present = false;
  std::string folder;
  std::string label;
  int64_t freeLimit = -1;
  UINT errorMode = 0;
};

DriveState StateOf(char letter) {
  std::lock_guard<std::recursive_mutex> guard(gLock);
  Config& c = Cfg();
  DriveState s;
  s.letter = letter;
  s.errorMode = c.errorMode;
  if (letter < 'A' || letter > 'Z') return s;
  const auto& d = c.drives[letter - 'A'];
  s.cd = letter == c.cdLetter;
  s.configured = d.has_value() || s.cd;
  if (d) {
    s.folder = d->folder;
    s.label = d->label;
  }
  s.present = d.has_value() && (!s.cd || (c.cdPresent && IsDirectory(d->folder)));
  s.freeLimit = c.freeLimit[letter - 'A'];
  return s;
}

// The drive a root such as "D:\", "d:" or null (the current drive) names; 0 when it names none.
char RootDrive(LPCSTR root) {
  std::string full;
  if (FullPath(root == nullptr ? "." : root, &full) != 0) return 0;
  return full[0];
}

// The state of the drive a root names, when it is configured and holds its disc; otherwise sets the error.
bool ReadyDrive(LPCSTR root, DWORD unconfiguredError, DriveState* s) {
  char letter = RootDrive(root);
  *s = StateOf(letter);
  if (!s->configured) {
    SetLastError(unconfiguredError);
    return false;
  }
  if (!s->present) {
    SetLastError(s->cd ? NotReady(letter, s->errorMode) : ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

bool CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size <= text.size()) return false;
  memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

}  // namespace
}  // namespace winapi::files

using winapi::files::Resolved;
using winapi::files::Resolve;

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES) {
  uint32_t injected = 0;
  if (winapi::testing::ShouldFail("CreateDirectoryA", &injected)) {
    SetLastError(injected);
    return FALSE;
  }
  Resolved r;
  if (DWORD err = Resolve(name, &r)) {
    SetLastError(err);
    return FALSE;
  }
  if (r.exists) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (r.readOnlyDrive) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (mkdir(r.host.c_str(), 0777) != 0) {
    SetLastError(winapi::files::ErrnoToError(errno, ERROR_ACCESS_DENIED));
    return FALSE;
  }
  return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR name) {
  Resolved r;
  if (DWORD err = Resolve(name, &r)) {
    SetLastError(err);
    return FALSE;
  }
  if (!r.exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!r.isDir) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (r.readOnlyDrive || rmdir(r.host.c_str()) != 0) {
    SetLastError(r.readOnlyDrive ? ERROR_ACCESS_DENIED : winapi::files::ErrnoToError(errno, ERROR_ACCESS_DENIED));
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR name) {
  Resolved r;
  if (DWORD err = Resolve(name, &r)) {
    SetLastError(err);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (!r.exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (r.isDir) return FILE_ATTRIBUTE_DIRECTORY | (r.readOnlyDrive ? FILE_ATTRIBUTE_READONLY : 0);
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (r.readOnlyDrive || access(r.host.c_str(), W_OK) != 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

DWORD GetFullPathNameA(LPCSTR name, DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
  std::string full;
  if (DWORD err = winapi::files::FullPath(name, &full)) {
    SetLastError(err);
    return 0;
  }
  // A trailing separator in the name is kept, as the platform does.
  size_t n = strlen(name);
  if (n > 0 && (name[n - 1] == '\\' || name[n - 1] == '/') && full.back() != '\\') full += '\\';
  if (!winapi::files::CopyOut(full, buffer, bufferLength)) return static_cast<DWORD>(full.size() + 1);
  if (filePart != nullptr) {
    size_t cut = full.rfind('\\');
    *filePart = cut + 1 < full.size() ? buffer + cut + 1 : nullptr;
  }
  return static_cast<DWORD>(full.size());
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
  Resolved r;
  if (DWORD err = Resolve(path, &r)) {
    SetLastError(err);
    return FALSE;
  }
  if (!r.exists || !r.isDir) {
    SetLastError(r.exists ? ERROR_DIRECTORY : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::Cfg().currentDir = r.windows;
  return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  std::string current;
  {
    std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
    current = winapi::files::Cfg().currentDir;
  }
  if (!winapi::files::CopyOut(current, buffer, bufferLength)) return static_cast<DWORD>(current.size() + 1);
  return static_cast<DWORD>(current.size());
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (module != nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string path;
  {
    std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
    winapi::files::Config& c = winapi::files::Cfg();
    path = c.moduleFile;
    if (path.empty()) {
      char self[4096];
      ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
      std::string host = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("/teebox");
      path = winapi::files::HostToWindows(c, host);
      if (path.empty()) path = "C:\\" + host.substr(host.rfind('/') + 1);
    }
  }
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  // Too small a buffer gets the truncated name, as the platform does.
  DWORD n = static_cast<DWORD>(std::min<size_t>(path.size(), size - 1));
  memcpy(buffer, path.data(), n);
  buffer[n] = 0;
  if (n < path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return n;
}

BOOL GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector, LPDWORD freeClusters,
                       LPDWORD totalClusters) {
  winapi::files::DriveState s;
  if (!winapi::files::ReadyDrive(root, ERROR_INVALID_DRIVE, &s)) return FALSE;
  uint32_t injected = 0;
  if (winapi::testing::ShouldFail("GetDiskFreeSpaceA", &injected)) {
    SetLastError(injected);
    return FALSE;
  }
  const uint64_t sector = s.cd ? 2048 : 512;
  const uint64_t cluster = s.cd ? 2048 : 4096;
  uint64_t freeBytes = 0, totalBytes = 0;
  struct statvfs vfs;
  if (statvfs(s.folder.c_str(), &vfs) == 0) {
    freeBytes = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    totalBytes = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  }
  if (s.cd) freeBytes = 0;
  if (s.freeLimit >= 0) freeBytes = static_cast<uint64_t>(s.freeLimit);
  // A 32-bit caller multiplies the counts together: keep every product below 2 GB.
  const uint64_t maxClusters = 0x7FFFFFFFull / cluster;
  if (sectorsPerCluster) *sectorsPerCluster = static_cast<DWORD>(cluster / sector);
  if (bytesPerSector) *bytesPerSector = static_cast<DWORD>(sector);
  if (freeClusters) *freeClusters = static_cast<DWORD>(std::min(freeBytes / cluster, maxClusters));
  if (totalClusters) *totalClusters = static_cast<DWORD>(std::min(totalBytes / cluster, maxClusters));
  return TRUE;
}

UINT GetDriveTypeA(LPCSTR root) {
  char letter = winapi::files::RootDrive(root);
  winapi::files::DriveState s = winapi::files::StateOf(letter);
  if (!s.configured) return DRIVE_NO_ROOT_DIR;
  return s.cd ? DRIVE_CDROM : DRIVE_FIXED;
}

DWORD GetLogicalDrives() {
  DWORD mask = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    if (winapi::files::StateOf(letter).configured) mask |= 1u << (letter - 'A');
  return mask;
}

BOOL GetVolumeInformationA(LPCSTR root, LPSTR volumeName, DWORD volumeNameSize, LPDWORD serialNumber,
                           LPDWORD maximumComponentLength, LPDWORD fileSystemFlags, LPSTR fileSystemName,
                           DWORD fileSystemNameSize) {
  winapi::files::DriveState s;
  if (!winapi::files::ReadyDrive(root, ERROR_PATH_NOT_FOUND, &s)) return FALSE;
  std::string label = s.label.substr(0, 11);
  const char* fs = s.cd ? "CDFS" : "FAT32";
  if ((volumeName && !winapi::files::CopyOut(label, volumeName, volumeNameSize)) ||
      (fileSystemName && !winapi::files::CopyOut(fs, fileSystemName, fileSystemNameSize))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (serialNumber) {
    uint32_t h = 2166136261u ^ static_cast<uint32_t>(s.letter);
    for (char ch : label) h = (h ^ static_cast<unsigned char>(ch)) * 16777619u;
    *serialNumber = h;
  }
  if (maximumComponentLength) *maximumComponentLength = 255;
  if (fileSystemFlags) *fileSystemFlags = 0;
  return TRUE;
}

UINT SetErrorMode(UINT mode) {
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  UINT old = winapi::files::Cfg().errorMode;
  winapi::files::Cfg().errorMode = mode;
  return old;
}

HFILE OpenFile(LPCSTR name, LPOFSTRUCT record, UINT style) {
  if (record != nullptr) {
    memset(record, 0, sizeof *record);
    record->cBytes = static_cast<BYTE>(sizeof *record);
  }
  if ((style & OF_EXIST) == 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    if (record) record->nErrCode = ERROR_NOT_SUPPORTED;
    return HFILE_ERROR;
  }
  Resolved r;
  DWORD err = Resolve(name, &r);
  if (err == 0 && (!r.exists || r.isDir)) err = r.isDir ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
  if (err == 0 && access(r.host.c_str(), R_OK) != 0) err = ERROR_ACCESS_DENIED;
  if (record != nullptr) {
    record->fFixedDisk = !r.readOnlyDrive;
    record->nErrCode = static_cast<WORD>(err);
    if (err == 0) snprintf(record->szPathName, sizeof record->szPathName, "%s", r.windows.c_str());
  }
  if (err != 0) {
    SetLastError(err);
    return HFILE_ERROR;
  }
  return 1;
}

int _access(const char* path, int mode) {
  Resolved r;
  DWORD err = Resolve(path, &r);
  if (err != 0 || !r.exists) {
    errno = ENOENT;
    return -1;
  }
  if ((mode & 2) != 0 && (r.readOnlyDrive || access(r.host.c_str(), W_OK) != 0)) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

bool winapi::internal::MapPathToHost(const char* windowsPath, char* hostPath, size_t hostPathSize, DWORD* error) {
  Resolved r;
  DWORD err = Resolve(windowsPath, &r);
  if (err == 0 && r.host.size() >= hostPathSize) err = ERROR_FILENAME_EXCED_RANGE;
  if (error) *error = err;
  if (err != 0) {
    if (hostPath && hostPathSize) hostPath[0] = 0;
    return false;
  }
  memcpy(hostPath, r.host.c_str(), r.host.size() + 1);
  return true;
}

// ---- finding files ------------------------------------------------------------------------------------------
namespace {

constexpr uint32_t kFindMagic = 0x46494E44;  // "FIND"

struct FindState {
  uint32_t magic = kFindMagic;
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

std::mutex gFindLock;
std::vector<FindState*> gFinds;

void FillTime(FILETIME* t, time_t seconds) {
  // 100-ns intervals since 1601.
  uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
  t->dwLowDateTime = static_cast<DWORD>(ticks);
  t->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

FindState* FindFromHandle(HANDLE h) {
  std::lock_guard<std::mutex> guard(gFindLock);
  auto it = std::find(gFinds.begin(), gFinds.end(), static_cast<FindState*>(h));
  return it == gFinds.end() ? nullptr : *it;
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  std::string full;
  if (DWORD err = winapi::files::FullPath(pattern, &full)) {
    SetLastError(err);
    return INVALID_HANDLE_VALUE;
  }
  std::string folder, mask;
  winapi::files::SplitLast(full, &folder, &mask);
  if (mask.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // The folder part may not hold wildcards; resolve it on its own.
  Resolved dir;
  if (DWORD err = Resolve(folder.c_str(), &dir)) {
    SetLastError(err);
    return INVALID_HANDLE_VALUE;
  }
  if (!dir.exists || !dir.isDir) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto* state = new FindState;
  if (DIR* d = opendir(dir.host.c_str())) {
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == ".." || n.size() >= MAX_PATH) continue;
      if (winapi::files::WildcardMatch(mask, n)) names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      struct stat st;
      std::string host = dir.host + "/" + n;
      if (stat(host.c_str(), &st) != 0) continue;
      WIN32_FIND_DATAA f{};
      f.dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
      if (dir.readOnlyDrive) f.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
      uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
      f.nFileSizeLow = static_cast<DWORD>(size);
      f.nFileSizeHigh = static_cast<DWORD>(size >> 32);
      FillTime(&f.ftCreationTime, st.st_ctime);
      FillTime(&f.ftLastAccessTime, st.st_atime);
      FillTime(&f.ftLastWriteTime, st.st_mtime);
      snprintf(f.cFileName, sizeof f.cFileName, "%s", n.c_str());
      state->entries.push_back(f);
    }
  }
  if (state->entries.empty()) {
    delete state;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = state->entries[0];
  state->next = 1;
  std::lock_guard<std::mutex> guard(gFindLock);
  gFinds.push_back(state);
  return state;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
  FindState* state = FindFromHandle(find);
  if (state == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (state->next >= state->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = state->entries[state->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::lock_guard<std::mutex> guard(gFindLock);
  auto it = std::find(gFinds.begin(), gFinds.end(), static_cast<FindState*>(find));
  if (it == gFinds.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete *it;
  gFinds.erase(it);
  return TRUE;
}

// ---- test set-up --------------------------------------------------------------------------------------------
namespace winapi::testing {

void MapDrive(char letter, const std::string& folder, const std::string& label) {
  letter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  if (letter < 'A' || letter > 'Z') return;
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::Config& c = winapi::files::Cfg();
  if (folder.empty()) {
    c.drives[letter - 'A'].reset();
  } else {
    c.drives[letter - 'A'] = winapi::files::Drive{winapi::files::TrimSlashes(folder), label};
  }
  if (letter == c.cdLetter) c.cdPresent = !folder.empty();
  if (c.currentDir[0] == letter && folder.empty()) c.currentDir = "C:\\";
}

void SetCdDrive(char letter, const std::string& label) {
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::Config& c = winapi::files::Cfg();
  c.cdLetter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  if (c.cdLetter < 'A' || c.cdLetter > 'Z') {
    c.cdLetter = 0;
    return;
  }
  auto& d = c.drives[c.cdLetter - 'A'];
  if (d) d->label = label;
  c.cdPresent = d.has_value();
}

void SetCdPresent(bool present) {
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::Cfg().cdPresent = present;
}

void SetDiskFreeBytes(char letter, int64_t bytes) {
  letter = static_cast<char>(toupper(static_cast<unsigned char>(letter)));
  if (letter < 'A' || letter > 'Z') return;
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::Cfg().freeLimit[letter - 'A'] = bytes < 0 ? -1 : bytes;
}

void SetModuleFileName(const std::string& windowsPath) {
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::Cfg().moduleFile = windowsPath;
}

void ResetFiles() {
  std::lock_guard<std::recursive_mutex> guard(winapi::files::gLock);
  winapi::files::LoadFromEnvironment(winapi::files::gConfig);
  SetDurableSaves(true);
}

}  // namespace winapi::testing

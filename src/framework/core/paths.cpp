// Path records, drives and the framework's file helpers.
#include "framework/core/paths.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/core/errors.h"

namespace {

std::string Converted(const char* name) {
  std::string s = name == nullptr ? "" : name;
  for (char& ch : s)
    if (ch == '|') ch = '\\';
  return s;
}

bool Store(char* destination, size_t size, const std::string& text) {
  if (text.size() >= size) return false;
  memcpy(destination, text.c_str(), text.size() + 1);
  return true;
}

// Reads a drive's volume label with critical-error boxes suppressed; false when it cannot be read.
bool VolumeLabel(char letter, char* label) {
  char root[4] = {letter, ':', '\\', 0};
  UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
  char buffer[MAX_PATH] = {};
  BOOL ok = GetVolumeInformationA(root, buffer, sizeof buffer, nullptr, nullptr, nullptr, nullptr, 0);
  SetErrorMode(old);
  if (!ok) return false;
  buffer[11] = 0;
  memcpy(label, buffer, 12);
  return true;
}

bool SameLabel(const char* a, const char* b) { return strncmp(a, b, 11) == 0; }

int Enumerate(PathRecord* record, const char* pattern, bool directories, PathCallback callback, void* context) {
  if (!FindGameCdDrive(record, nullptr)) return ERR_VOLUMENOTFOUND;
  char path[MAX_PATH];
  if (!PathJoin(record, pattern, path, sizeof path)) return ERR_FILENOTFOUND;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(path, &data);
  if (find == INVALID_HANDLE_VALUE) return ERR_NONE;  // an empty folder is no error
  do {
    bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDirectory != directories || data.cFileName[0] == '.') continue;
    if (callback != nullptr && callback(data.cFileName, context) == 0) break;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return ERR_NONE;
}

int OpenWith(PathRecord* record, const char* name, DWORD access, DWORD disposition, HANDLE* out) {
  *out = nullptr;
  if (!FindGameCdDrive(record, nullptr)) return ERR_VOLUMENOTFOUND;
  char path[MAX_PATH];
  if (!PathJoin(record, name, path, sizeof path)) return ERR_FILENOTFOUND;
  HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Win32ErrorToCode(GetLastError());
  *out = h;
  return ERR_NONE;
}

}  // namespace

int StringCopyOut(const char* source, char* destination) {
  strcpy(destination, source);
  return 0;
}

int StringCopyIn(char* destination, const char* source) {
  strcpy(destination, source);
  return 0;
}

int PathSetDirectory(PathRecord* record, const char* name) {
  std::string n = Converted(name);
  std::string dir = !n.empty() && n[0] == '\\' ? n : "\\" + n;
  return Store(record->directory, sizeof record->directory, dir) ? 0 : 1;
}

int PathAppend(PathRecord* record, const char* name) {
  std::string n = Converted(name);
  std::string dir = record->directory;
  bool separate = !(!dir.empty() && dir.back() == '\\') && !(name != nullptr && name[0] == '|');
  dir += (separate ? "\\" : "") + n;
  return Store(record->directory, sizeof record->directory, dir) ? 0 : 1;
}

bool PathJoin(const PathRecord* record, const char* name, char* out, size_t outSize) {
  std::string path = std::string(record->drive) + record->directory;
  std::string n = Converted(name);
  if (!n.empty()) {
    if (path.empty() || path.back() != '\\') path += '\\';
    path += n[0] == '\\' ? n.substr(1) : n;
  }
  return Store(out, outSize, path);
}

int PathExists(PathRecord* record) {
  if (!FindGameCdDrive(record, nullptr)) return 0;
  char path[MAX_PATH];
  if (!PathJoin(record, nullptr, path, sizeof path)) return 0;
  return _access(path, 0) == 0 ? 1 : 0;
}

int PathSetToProgramDir(PathRecord* record) {
  char module[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
  if (n == 0 || n >= sizeof module - 1 || module[1] != ':') return Win32ErrorToCode(GetLastError());
  std::string path(module, n);
  std::string dir = path.substr(2, path.rfind('\\') - 2);
  if (dir.empty()) dir = "\\";
  PathRecord r{};
  r.drive[0] = path[0];
  r.drive[1] = ':';
  if (!Store(r.directory, sizeof r.directory, dir)) return ERR_FILENOTFOUND;
  if (!VolumeLabel(path[0], r.label)) return Win32ErrorToCode(GetLastError());
  *record = r;
  return ERR_NONE;
}

int FindSubdirectories(PathRecord* record, PathCallback callback, void* context) {
  return Enumerate(record, "*.", true, callback, context);
}

int FindFiles(PathRecord* record, PathCallback callback, void* context) {
  return Enumerate(record, "*.*", false, callback, context);
}

int DirCreate(PathRecord* record, const char* name) {
  PathRecord r = *record;
  if (PathAppend(&r, name) != 0) return ERR_FILENOTFOUND;
  if (!FindGameCdDrive(&r, nullptr)) return ERR_VOLUMENOTFOUND;
  record->drive[0] = r.drive[0];
  char path[MAX_PATH];
  if (!PathJoin(&r, nullptr, path, sizeof path)) return ERR_FILENOTFOUND;
  if (CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return ERR_NONE;
  return Win32ErrorToCode(GetLastError());
}

int FileDelete(PathRecord* record, const char* name) {
  if (!FindGameCdDrive(record, nullptr)) return ERR_VOLUMENOTFOUND;
  char path[MAX_PATH];
  if (!PathJoin(record, name, path, sizeof path)) return ERR_FILENOTFOUND;
  return DeleteFileA(path) ? ERR_NONE : Win32ErrorToCode(GetLastError());
}

int FileExists(PathRecord* record, const char* name) {
  if (!FindGameCdDrive(record, nullptr)) return 0;
  char path[MAX_PATH];
  if (!PathJoin(record, name, path, sizeof path)) return 0;
  OFSTRUCT of;
  return OpenFile(path, &of, OF_EXIST) != HFILE_ERROR ? 1 : 0;
}

int FileCreateNew(PathRecord* record, const char* name, HANDLE* out) {
  return OpenWith(record, name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, out);
}

int FileOpen(PathRecord* record, const char* name, int mode, HANDLE* out) {
  DWORD access = mode == 2 ? GENERIC_WRITE : mode == 3 ? (GENERIC_READ | GENERIC_WRITE) : GENERIC_READ;
  return OpenWith(record, name, access, OPEN_EXISTING, out);
}

int FileClose(HANDLE handle) { return CloseHandle(handle) ? ERR_NONE : Win32ErrorToCode(GetLastError()); }

int FileSize(HANDLE handle, DWORD* out) {
  DWORD size = GetFileSize(handle, nullptr);
  *out = size == INVALID_FILE_SIZE ? 0 : size;
  return 0;
}

DWORD FileRead(HANDLE handle, void* buffer, DWORD count) {
  DWORD read = 0;
  ReadFile(handle, buffer, count, &read, nullptr);
  return read;
}

DWORD FileWrite(HANDLE handle, const void* buffer, DWORD count) {
  DWORD written = 0;
  WriteFile(handle, buffer, count, &written, nullptr);
  return written;
}

DWORD FileSeek(HANDLE handle, LONG offset, DWORD origin) { return SetFilePointer(handle, offset, nullptr, origin); }

int FileSaveWhole(PathRecord* record, const char* name, const void* data, DWORD size) {
  if (!FindGameCdDrive(record, nullptr)) return ERR_VOLUMENOTFOUND;
  char path[MAX_PATH];
  if (!PathJoin(record, name, path, sizeof path)) return ERR_FILENOTFOUND;
  return FileSaveWholePath(path, data, size);
}

int FileSaveWholePath(const char* path, const void* data, DWORD size) {
  DWORD error = winapi::SaveFileWhole(path, data, size);
  if (error == 0) return ERR_NONE;
  int code = Win32ErrorToCode(error);
  return code == ERR_NONE || code == ERR_UNKNOWN ? ERR_WRITE : code;
}

int GetCurrentVolumeLabel(char* label) {
  char current[MAX_PATH];
  label[0] = 0;
  if (GetCurrentDirectoryA(sizeof current, current) == 0 || current[1] != ':') return ERR_VOLUMENOTFOUND;
  return VolumeLabel(current[0], label) ? ERR_NONE : ERR_VOLUMENOTFOUND;
}

int FindGameCdDrive(PathRecord* record, const char* folder) {
  auto fits = [&](char letter) {
    char label[12];
    if (!VolumeLabel(letter, label) || !SameLabel(label, record->label)) return false;
    if (folder == nullptr) return true;
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%c:\\%s", letter, Converted(folder).c_str());
    return _access(path, 0) == 0;
  };
  char remembered = record->drive[0];
  if (remembered != 0 && fits(remembered)) return 1;
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    if (GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) <= DRIVE_NO_ROOT_DIR) continue;
    if (fits(letter)) {
      record->drive[0] = letter;
      record->drive[1] = ':';
      record->drive[2] = 0;
      return 1;
    }
  }
  return 0;
}

namespace {

int FindCd(char* label, bool needFolder) {
  label[0] = 0;
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    char root[4] = {letter, ':', '\\', 0};
    if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
    char probe[12];
    if (!VolumeLabel(letter, probe)) continue;
    if (needFolder) {
      char path[MAX_PATH];
      snprintf(path, sizeof path, "%c:\\%s\\", letter, kProductCdFolder);
      UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
      bool there = _access(path, 0) == 0;
      SetErrorMode(old);
      if (!there) continue;
    }
    memcpy(label, probe, sizeof probe);
    return ERR_NONE;
  }
  return ERR_VOLUMENOTFOUND;
}

}  // namespace

int FindProductCdDrive(char* label) { return FindCd(label, true); }

int FindAnyCdDrive(char* label) { return FindCd(label, false); }

// The registry manager and the log file.
#include "framework/core/registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool gLogReported = false;

// Reads a value whole; false when it is absent.
bool Query(HKEY key, const char* name, DWORD* type, std::vector<BYTE>* data) {
  if (key == nullptr) return false;
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
  data->assign(size + 1, 0);
  DWORD got = size;
  if (RegQueryValueExA(key, name, nullptr, type, data->data(), &got) != ERROR_SUCCESS) return false;
  data->resize(got);
  return true;
}

}  // namespace

RegistryMgr::RegistryMgr(const char* subkey, bool create) {
  std::string path = kProductKey;
  if (subkey != nullptr) path += std::string("\\") + subkey;
  HKEY opened = nullptr;
  LONG result = create ? RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_ALL_ACCESS, nullptr, &opened, nullptr)
                       : RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &opened);
  if (result == ERROR_SUCCESS) {
    key_ = opened;
    status_ = opened;
  }
}

RegistryMgr::~RegistryMgr() {
  if (status_ != nullptr) RegCloseKey(status_);
}

int RegistryMgr::ReadString(const char* name, char* buffer, size_t size) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (buffer == nullptr || size == 0 || !Query(status_, name, &type, &data)) return 0;
  std::string text;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    text.assign(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
  } else if (type == REG_DWORD && data.size() >= 4) {
    uint32_t value = 0;
    memcpy(&value, data.data(), 4);
    text = std::to_string(static_cast<int32_t>(value));
  } else {
    OutputDebugStringA("Registry Type Not Supported!");
    return 0;
  }
  size_t n = std::min(text.size(), size - 1);
  memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return 1;
}

int RegistryMgr::ReadValue(const char* name, void* buffer, size_t size) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (buffer == nullptr || !Query(status_, name, &type, &data)) return 0;
  if (type == REG_BINARY) {
    memcpy(buffer, data.data(), std::min(size, data.size()));
    return 1;
  }
  uint32_t value = 0;
  if (type == REG_DWORD && data.size() >= 4) {
    memcpy(&value, data.data(), 4);
  } else if (type == REG_SZ) {
    data.push_back(0);
    value = static_cast<uint32_t>(atoi(reinterpret_cast<const char*>(data.data())));
  } else {
    OutputDebugStringA("Registry Type Not Supported!");
    return 0;
  }
  memcpy(buffer, &value, std::min<size_t>(size, 4));
  return 1;
}

int RegistryMgr::WriteValue(const char* name, DWORD type, const void* data, DWORD size) {
  LONG result = status_ == nullptr ? static_cast<LONG>(ERROR_INVALID_HANDLE)
                                   : RegSetValueExA(status_, name, 0, type, static_cast<const BYTE*>(data), size);
  if (result == ERROR_SUCCESS) result = RegFlushKey(status_);
  if (result != ERROR_SUCCESS) {
    char text[64];
    snprintf(text, sizeof text, "Error Writing Registry Value: %d", static_cast<int>(result));
    OutputDebugStringA(text);
    return 0;
  }
  return 1;
}

int RegistryMgr::WriteValue(const char* name, const char* text) {
  return WriteValue(name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

int RegistryMgr::WriteValue(const char* name, DWORD value) { return WriteValue(name, REG_DWORD, &value, 4); }

void FormatLogLine(const char* text, const SYSTEMTIME& t, char* out, size_t size) {
  // The run-time library's date and time texts: "MM/DD/YY" and "HH:MM:SS".
  char date[16], time[16];
  snprintf(date, sizeof date, "%02u/%02u/%02u", t.wMonth % 100u, t.wDay % 100u, t.wYear % 100u);
  snprintf(time, sizeof time, "%02u:%02u:%02u", t.wHour % 100u, t.wMinute % 100u, t.wSecond % 100u);
  snprintf(out, size, "%s:  Date: %s  Time: %s", text ? text : "", date, time);
}

void WriteLogLine(const char* text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[1200];
  FormatLogLine(text, now, line, sizeof line);
  std::string folder;
  {
    RegistryMgr root("", true);
    char logPath[MAX_PATH];
    if (root.ReadString("LogPath", logPath, sizeof logPath)) {
      folder = std::string(logPath) + "\\";
    } else {
      char module[MAX_PATH];
      DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
      std::string path(module, n);
      folder = path.substr(0, path.rfind('\\') + 1);
    }
  }
  std::string file = folder + kLogFileName;
  HANDLE h = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // Logging must never stop the game: say so once and carry on.
    if (!gLogReported) {
      gLogReported = true;
      std::string message = "Unable to Open Log File: " + file;
      OutputDebugStringA(message.c_str());
      MessageBeep(0xFFFFFFFF);
    }
    return;
  }
  std::string entry = std::string(line) + "\n";
  // A line cut short by a killed process is ended first, so that this one starts a line of its own.
  char last = '\n';
  DWORD got = 0;
  if (SetFilePointer(h, -1, nullptr, FILE_END) != INVALID_SET_FILE_POINTER && ReadFile(h, &last, 1, &got, nullptr) &&
      got == 1 && last != '\n')
    entry.insert(entry.begin(), '\n');
  SetFilePointer(h, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(h, entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
  CloseHandle(h);
  MessageBeep(0xFFFFFFFF);
}

void ResetLogReport() { gLogReported = false; }

void DebugText(const char* text) { OutputDebugStringA(text); }

void DebugTextAndExit(const char* text) {
  OutputDebugStringA(text);
  ExitProcess(1);
}

void DebugPrint(const char*, ...) {}

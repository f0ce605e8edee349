// The product's registry key and the log file.
#pragma once

#include <cstddef>

#include "windows.h"

inline constexpr const char* kProductKey = "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99";
inline constexpr const char* kLogFileName = "ZQLog.Log";

class RegistryMgr {
 public:
  // Opens (or with `create`, creates) the product key, or the subkey below it.
  RegistryMgr(const char* subkey, bool create);
  ~RegistryMgr();
  RegistryMgr(const RegistryMgr&) = delete;
  RegistryMgr& operator=(const RegistryMgr&) = delete;

  bool IsOpen() const { return status_ != nullptr; }
  // Text of a string value, or a DWORD value as decimal text, cut to fit `size` bytes. 1 when read, else 0.
  int ReadString(const char* name, char* buffer, size_t size);
  // Binary values copied (at most `size` bytes), DWORD values as a 32-bit number, string values converted to
  // a number. 1 when read, else 0.
  int ReadValue(const char* name, void* buffer, size_t size);
  // Writes and flushes a value of the caller's type. 1 when written.
  int WriteValue(const char* name, DWORD type, const void* data, DWORD size);
  int WriteValue(const char* name, const char* text);
  int WriteValue(const char* name, DWORD value);

 private:
  HKEY key_ = HKEY_LOCAL_MACHINE;
  HKEY status_ = nullptr;
};

// Appends "<text>:  Date: <date>  Time: <time>" to the log file in the folder named by LogPath (or the
// program's folder). A log that cannot be opened is reported once on the debug output.
void WriteLogLine(const char* text);
// The line WriteLogLine writes for a text at a given time (without the line feed).
void FormatLogLine(const char* text, const SYSTEMTIME& time, char* out, size_t size);
// Forget that the log could not be opened (tests).
void ResetLogReport();

void DebugText(const char* text);
[[noreturn]] void DebugTextAndExit(const char* text);
void DebugPrint(const char* format, ...);

// Shared state of the stand-in's file and path code (files*.cpp, paths*.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "windows.h"

namespace winapi::files {

struct Resolved {
  char drive = 0;          // 'A'..'Z'
  std::string windows;     // full Windows path, "C:\DIR\NAME"
  std::string host;        // the host path it maps to
  bool exists = false;
  bool isDir = false;
  bool readOnlyDrive = false;  // the CD drive
};

// Normalises a Windows path against the current directory into "X:\A\B" form. 0 or an error code.
DWORD FullPath(const char* name, std::string* out);
// Maps a Windows path onto the host. Every component but the last must exist (matched without regard to case);
// the last may be missing (exists = false). Returns 0 or an error code; a CD drive without a disc shows the
// critical-error box unless the error mode suppresses it.
DWORD Resolve(const char* name, Resolved* out);
// Splits a full Windows path into its folder (with trailing "\") and last component.
void SplitLast(const std::string& full, std::string* folder, std::string* last);

// Disk-full emulation: how many of `growth` new bytes the drive takes (all of them when no limit is set).
uint64_t ReserveDiskSpace(char drive, uint64_t growth);
DWORD ErrnoToError(int error, DWORD fallback);
// Case-insensitive wildcard match with the platform's rules ("*.*" matches all; "x." means no extension).
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Writes a whole host file through a flushed temporary file renamed over it, then flushes the folder; the
// drive's free-space limit applies (drive 0: none). 0, or the error (the target is then as it was).
DWORD ReplaceHostFile(const std::string& host, char drive, const void* data, size_t size);
// The same with the content written by `fill` into the temporary file's descriptor (0 or an error).
DWORD ReplaceHostFileWith(const std::string& host, const std::function<DWORD(int fd)>& fill);
// Flushes the folder that holds `host`, so that a rename into it survives a crash.
void SyncFolder(const std::string& host);

// Device handles (files_devices.cpp). IsDeviceName also gives the canonical name ("COM1").
bool IsDeviceName(const char* name, std::string* canonical);
HANDLE OpenDevice(const std::string& canonical, DWORD access, DWORD flags);
// Each returns false when the handle is not a device's; otherwise the call's result is in *result.
bool DeviceRead(HANDLE h, void* buffer, DWORD count, DWORD* done, BOOL* result);
bool DeviceWrite(HANDLE h, const void* buffer, DWORD count, DWORD* done, BOOL* result);
bool DeviceClose(HANDLE h);
// A handle over a device another part of the stand-in made (a modem call's serial port); ReadFile, WriteFile
// and CloseHandle reach its operations.
HANDLE AddDevice(void* device, const winapi::internal::DeviceFileOps* ops, DWORD access);

}  // namespace winapi::files

// Windows paths from data files and the line reader over arbitrary bytes: mapping must never crash or leave
// the drive's folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "framework/core/bigfileio.h"
#include "windows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Drive C is an empty folder of this run's own, removed at exit: looking names up in a shared /tmp with many
  // entries is slow.
  static const struct Drive {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("winapi_paths_c" + std::to_string(getpid()));
    std::string name = folder.string();
    Drive() {
      std::filesystem::create_directories(folder);
      setenv("WINAPI_DRIVE_C", name.c_str(), 1);
    }
    ~Drive() {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    }
  } drive;
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.substr(0, path.find('\0'));
  char full[MAX_PATH];
  char* part = nullptr;
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, &part);
  if (n > 0 && n < sizeof full && (full[1] != ':' || full[2] != '\\')) abort();
  char host[4096];
  DWORD error = 0;
  if (winapi::internal::MapPathToHost(path.c_str(), host, sizeof host, &error) &&
      std::string(host).rfind(drive.name, 0) != 0)
    abort();
  WIN32_FIND_DATAA find;
  HANDLE h = FindFirstFileA(path.c_str(), &find);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  TextFileReader* reader = TextFileFromMemory(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size));
  size_t total = 0;
  while (char* line = TextFileNextLine(reader)) total += strlen(line) + 1;
  (void)total;
  TextFileClose(reader);
  return 0;
}

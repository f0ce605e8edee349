// Fuzz entry: the input is a registry file. Loading it must not fail whatever it holds, and what the stand-in
// writes back must read back to the same text.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "winapi/testing.h"
#include "windows.h"

namespace {

// The scratch folder, removed at exit (kept in a plain array, which outlives every exit routine).
const char* folder() {
  static char dir[4096];
  static const bool made = [] {
    std::snprintf(dir, sizeof dir, "%s/teebox-fuzz-registry-XXXXXX", std::filesystem::temp_directory_path().c_str());
    if (!mkdtemp(dir)) std::abort();
    winapi::testing::SetDurableSaves(false);
    std::atexit([] { std::filesystem::remove_all(dir); });
    return true;
  }();
  (void)made;
  return dir;
}

// Plain reads and writes: a stream's buffer would be one more fresh block at every input.
std::string slurp(const std::string& path) {
  std::string text;
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return text;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, static_cast<size_t>(n));
  close(fd);
  return text;
}

// Loads the file, makes a change and takes it back, so that the whole tree is written out again: once, when the
// handle closes, as every save is a file written and renamed.
std::string rewrite(const std::string& path) {
  winapi::registry::UseFile(path);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "fuzz scratch", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    std::abort();
  if (RegDeleteKeyA(HKEY_CURRENT_USER, "fuzz scratch") != ERROR_SUCCESS) std::abort();
  if (RegCloseKey(key) != ERROR_SUCCESS || !winapi::registry::FlushAll()) std::abort();
  return slurp(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = std::string(folder()) + "/registry.txt";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  close(fd);
  const std::string first = rewrite(path);
  // What was written reads back to the same text.
  winapi::registry::UseFile(path);
  if (winapi::registry::Rendered() != first) std::abort();
  std::remove((path + ".bad").c_str());
  // What was loaded goes now, not at the next input's load: an input that keeps blocks past its end makes the fuzzer
  // search for a leak after it, which takes longer than the input itself.
  winapi::registry::UseFile(path);
  return 0;
}

// Fuzz entry: the input is a registry file. Loading it must not fail whatever it holds, and what the stand-in
// writes back must read back to the same text.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Loads the file, makes a change and takes it back, so that the whole tree is written out again.
std::string rewrite(const std::string& path) {
  winapi::registry::UseFile(path);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "fuzz scratch", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    std::abort();
  RegCloseKey(key);
  if (RegDeleteKeyA(HKEY_CURRENT_USER, "fuzz scratch") != ERROR_SUCCESS) std::abort();
  if (!winapi::registry::FlushAll()) std::abort();
  return slurp(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = std::string(folder()) + "/registry.txt";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size) out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::string first = rewrite(path);
  const std::string second = rewrite(path);
  if (first != second) std::abort();
  std::remove((path + ".bad").c_str());
  return 0;
}

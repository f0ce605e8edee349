#include "course/preferences.h"

#include "course/savedfiles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/core/registry.h"
#include "platformlib/core/byteorder.h"
#include "winapi_files.h"

namespace {

constexpr char kMagic[4] = {'V', 'X', '3', 'D'};

PreferencesBlock g_block = DefaultPreferencesBlock();
std::string g_folder;
std::string g_problem;




std::string filePath(const std::string& name) {
  if (g_folder.empty()) return name;
  const char last = g_folder.back();
  return g_folder + (last == '\\' || last == '/' ? "" : "\\") + name;
}

int refuse(const std::string& why) {
  g_problem = filePath(kPreferencesFileName) + ": " + why;
  std::fprintf(stderr, "%s\n", g_problem.c_str());
  return kPrefsFileRefused;
}

}  // namespace

PreferencesBlock DefaultPreferencesBlock() {
  PreferencesBlock block{};
  block.bytes[0] = 0x1F;
  return block;
}

PreferencesBlock& Preferences() { return g_block; }

void SetPreferencesFolder(const std::string& folder) { g_folder = folder; }

const std::string& PreferencesProblem() { return g_problem; }

std::vector<uint8_t> EncodePreferencesFile(const PreferencesBlock& block) {
  std::vector<uint8_t> out(kPreferencesFileBytes);
  std::memcpy(out.data(), kMagic, 4);
  WriteLE32(&out[4], sizeof block.bytes);
  std::memcpy(&out[8], block.bytes, sizeof block.bytes);
  WriteLE32(&out[32], Crc32(block.bytes, sizeof block.bytes));
  return out;
}

bool DecodePreferencesFile(const uint8_t* data, size_t size, PreferencesBlock& out, std::string& error) {
  if (!data || size < 8 || std::memcmp(data, kMagic, 4) != 0) {
    error = "not a preferences file";
    return false;
  }
  if (ReadLE32(data + 4) != sizeof out.bytes) {
    error = "block of " + std::to_string(ReadLE32(data + 4)) + " bytes, 24 expected";
    return false;
  }
  if (size != kPreferencesFileBytes) {
    error = size < kPreferencesFileBytes ? "truncated" : "longer than 36 bytes";
    return false;
  }
  if (ReadLE32(data + 32) != Crc32(data + 8, 24)) {
    error = "checksum does not match";
    return false;
  }
  std::memcpy(out.bytes, data + 8, sizeof out.bytes);
  return true;
}

int InitPreferencesFile() {
  g_block = DefaultPreferencesBlock();
  g_problem.clear();
  const std::string path = filePath(kPreferencesFileName);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return kPrefsFileAbsent;
    return refuse("cannot be opened");
  }
  // One byte more than a sound file holds tells a longer file from a sound one.
  uint8_t data[kPreferencesFileBytes + 1];
  DWORD got = 0;
  const BOOL ok = ReadFile(file, data, sizeof data, &got, nullptr);
  CloseHandle(file);
  if (!ok) return refuse("cannot be read");
  PreferencesBlock block;
  std::string error;
  if (!DecodePreferencesFile(data, got, block, error)) return refuse(error);
  g_block = block;
  return kPrefsFileRead;
}

int SavePreferencesFile() {
  g_problem.clear();
  const std::vector<uint8_t> bytes = EncodePreferencesFile(g_block);
  if (winapi::SaveFileWhole(filePath(kPreferencesFileName).c_str(), bytes.data(), bytes.size()) != 0)
    return refuse("cannot be written; the previous file is kept");
  return 0;
}

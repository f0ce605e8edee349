#include "course/preferences.h"

#include "course/savedfiles.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "framework/core/registry.h"
#include "winapi_files.h"

namespace {

struct PreferenceName {
  const char* section;
  const char* value;
};
constexpr PreferenceName kNames[kPreferenceCount] = {
    {"Graphics", "3D Enable Flag"},       {"Graphics", "Driver Enumeration"}, {"Graphics", "Fog Density"},
    {"Graphics", "Object Texture Depth"}, {"Graphics", "Object Detail"},      {"Graphics", "Terrain Detail"},
    {"Graphics", "Animate Water"},        {"Graphics", "Game Screen Resolution"},
    {"Input", "Swing Sensitivity"},       {"Start", "Launch Time"},           {"Start", "Launching (Fail-safe)"},
};

constexpr char kMagic[4] = {'V', 'X', '3', 'D'};

PreferencesBlock g_block = DefaultPreferencesBlock();
std::string g_folder;
std::string g_problem;

std::string keyPath(int index) { return std::string(kProductKey) + "\\" + kNames[index].section; }


void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}
uint32_t get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

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

const char* PreferenceSection(int index) { return index >= 0 && index < kPreferenceCount ? kNames[index].section : nullptr; }
const char* PreferenceValueName(int index) { return index >= 0 && index < kPreferenceCount ? kNames[index].value : nullptr; }

int GetPreference(int index, int32_t* value) {
  if (index < 0 || index >= kPreferenceCount || !value) return 1;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath(index).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
  DWORD type = 0, size = sizeof(DWORD), read = 0;
  const LONG result = RegQueryValueExA(key, kNames[index].value, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size);
  RegCloseKey(key);
  // A value of another type or length is not a preference: the caller keeps its default.
  if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(DWORD)) return 1;
  *value = static_cast<int32_t>(read);
  return 0;
}

int SetPreference(int index, int32_t value) {
  if (index < 0 || index >= kPreferenceCount) return 1;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath(index).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 2;
  const DWORD word = static_cast<DWORD>(value);
  const LONG result = RegSetValueExA(key, kNames[index].value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 2;
}

PreferencesBlock DefaultPreferencesBlock() {
  PreferencesBlock block{};
  block.bytes[0] = 0x1F;
  return block;
}

PreferencesBlock& Preferences() { return g_block; }

void SetPreferencesFolder(const std::string& folder) { g_folder = folder; }

const std::string& PreferencesProblem() { return g_problem; }

std::vector<uint8_t> EncodePreferencesFile(const PreferencesBlock& block) {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  put32(out, sizeof block.bytes);
  out.insert(out.end(), block.bytes, block.bytes + sizeof block.bytes);
  put32(out, Crc32(block.bytes, sizeof block.bytes));
  return out;
}

bool DecodePreferencesFile(const uint8_t* data, size_t size, PreferencesBlock& out, std::string& error) {
  if (!data || size < 8 || std::memcmp(data, kMagic, 4) != 0) {
    error = "not a preferences file";
    return false;
  }
  if (get32(data + 4) != sizeof out.bytes) {
    error = "block of " + std::to_string(get32(data + 4)) + " bytes, 24 expected";
    return false;
  }
  if (size != kPreferencesFileBytes) {
    error = size < kPreferencesFileBytes ? "truncated" : "longer than 36 bytes";
    return false;
  }
  if (get32(data + 32) != Crc32(data + 8, 24)) {
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

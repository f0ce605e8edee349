#include "framework/core/preferencevalues.h"

#include <string>

#include "framework/core/registry.h"
#include "windows.h"

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

std::string keyPath(int index) { return std::string(kProductKey) + "\\" + kNames[index].section; }

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

#include "cardtable.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "regcalls.h"
#include "windows.h"

namespace hwscan {

const char kMainKey[] = "SOFTWARE\\Marrowgate\\3D Data";
const char kParentKey[] = "SOFTWARE\\Marrowgate";

namespace {

struct CardEntry {
  const char* name;
  const char* module;
  const char* group;
  uint32_t types;
  CardIds ids[kMaxTypes];
};

const CardEntry kCardTable[kCardCount] = {
    {"Software Renderer", "flatrast", "Software", 1, {{0x0000, 0x0000}}},
    {"3Dfx Voodoo2", "drvglide2", "3Dfx", 1, {{0x121A, 0x0002}}},
    {"3Dfx Banshee", "drvglide2", "3Dfx", 1, {{0x121A, 0x0003}}},
    {"3Dfx Voodoo", "drvglide", "3Dfx", 1, {{0x121A, 0x0001}}},
    {"3Dfx Voodoo Rush", "drvglide", "3Dfx", 3, {{0x1142, 0x643D}, {0x121A, 0x8626}, {0x10D9, 0x8626}}},
    {"Matrox G200", "drvd3d", "D3D", 1, {{0x102B, 0x0521}}},
    {"NVidia RIVA 128", "drvd3d", "D3D", 1, {{0x12D2, 0x0018}}},
    {"Intel i740", "drvd3d", "D3D", 1, {{0x8086, 0x7800}}},
    {"PowerVR", "powervr", "NEC", 2, {{0x1033, 0x002A}, {0x1033, 0x0046}}},
    {"Rendition V2100/V2200", "verite", "Rendition", 1, {{0x1163, 0x2000}}},
    {"Chromatic Mpact 2", "drvd3d", "D3D", 1, {{0x110B, 0x0004}}},
    {"ATI Rage Pro", "drvati", "ATI", 2, {{0x1002, 0x4742}, {0x1002, 0x4750}}},
    {"3DLabs Permedia 2", "drvd3d", "D3D", 1, {{0x104C, 0x3D07}}},
    {"S3 Savage 3D", "drvd3d", "D3D", 1, {{0x5333, 0x8A20}}},
    {"S3 Virge VX", "drvd3d", "D3D", 1, {{0x5333, 0x883D}}},
    {"S3 Virge DX/GX", "drvd3d", "D3D", 1, {{0x5333, 0x8A01}}},
    {"S3 Virge", "drvd3d", "D3D", 1, {{0x5333, 0x5631}}},
};

void SetDword(HKEY key, const std::string& path, const char* name, uint32_t value) {
  BYTE data[4];
  setup::PutDword(data, value);
  if (setup::Registry().setValue(key, name, 0, REG_DWORD, data, sizeof data) != ERROR_SUCCESS)
    doexit(path.c_str(), name);
}

// The detector reads text values as 128-byte blocks; the bytes after the text are zeros, never whatever
// followed the text in memory.
void SetText(HKEY key, const std::string& path, const char* name, const char* text) {
  BYTE data[kTextValueSize] = {};
  std::strncpy(reinterpret_cast<char*>(data), text, kTextValueSize - 1);
  if (setup::Registry().setValue(key, name, 0, REG_SZ, data, kTextValueSize) != ERROR_SUCCESS)
    doexit(path.c_str(), name);
}

HKEY CreateKey(const std::string& path) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  char noClass[] = "";
  if (setup::Registry().createKey(HKEY_LOCAL_MACHINE, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
    doexit(path.c_str(), " ");
  return key;
}

}  // namespace

CardRecord g_cards[kCardCount];
const int kCardOrder[kCardCount] = {1, 2, 4, 5, 7, 9, 10, 11, 12, 13, 8, 3, 6, 14, 15, 16, 17};

const char* CardGroup(int n) { return n >= 1 && n <= kCardCount ? kCardTable[n - 1].group : ""; }

void doexit(const char* keyPath, const char* valueName) {
  char message[512];
  std::snprintf(message, sizeof message, "Error creating '%s' value in %s\n", valueName, keyPath);
  MessageBoxA(nullptr, message, nullptr, MB_OK);
  ExitProcess(1);
}

void doregistry() {
  setup::RegistryCalls& reg = setup::Registry();
  HKEY key = nullptr;
  if (reg.openKey(HKEY_LOCAL_MACHINE, kMainKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    BYTE version[256] = {};
    DWORD size = sizeof version;
    DWORD type = 0;
    bool known = reg.queryValue(key, "Version", nullptr, &type, version, &size) == ERROR_SUCCESS;
    reg.closeKey(key);
    if (known) {
      if (version[0] >= kTableVersion) return;
      HKEY parent = nullptr;
      if (reg.openKey(HKEY_LOCAL_MACHINE, kParentKey, 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
        reg.deleteKey(parent, "3D Data");
        reg.closeKey(parent);
      }
    }
  }

  DWORD disposition = 0;
  char noClass[] = "";
  if (reg.createKey(HKEY_LOCAL_MACHINE, kMainKey, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                    &disposition) != ERROR_SUCCESS) {
    std::printf("couldn't create main key\n");
    std::fflush(stdout);
    return;
  }
  const std::string mainPath = kMainKey;
  // The version goes in last: a table cut short by a failed write then has none, and the next run
  // writes it again instead of trusting it.
  SetDword(key, mainPath, "Cards", kCardCount);
  for (int i = 0; i < kCardCount; ++i) SetDword(key, mainPath, std::to_string(i + 1).c_str(), kCardOrder[i]);

  for (int n = 1; n <= kCardCount; ++n) {
    const CardRecord& card = g_cards[n - 1];
    const std::string cardPath = mainPath + "\\Card" + std::to_string(n);
    HKEY cardKey = CreateKey(cardPath);
    SetText(cardKey, cardPath, "Name", card.name);
    SetText(cardKey, cardPath, "Module", card.module);
    SetText(cardKey, cardPath, "Group", CardGroup(n));
    SetDword(cardKey, cardPath, "Types", card.types);
    for (uint32_t t = 1; t <= card.types && t <= kMaxTypes; ++t) {
      const std::string typePath = cardPath + "\\Type" + std::to_string(t);
      HKEY typeKey = CreateKey(typePath);
      SetDword(typeKey, typePath, "VendorID", card.ids[t - 1].vendor);
      SetDword(typeKey, typePath, "DeviceID", card.ids[t - 1].device);
      reg.closeKey(typeKey);
    }
    reg.closeKey(cardKey);
  }
  SetDword(key, mainPath, "Version", kTableVersion);
  reg.closeKey(key);
}

int main() {
  for (int i = 0; i < kCardCount; ++i) {
    CardRecord& r = g_cards[i];
    const CardEntry& e = kCardTable[i];
    std::memset(&r, 0, sizeof r);
    std::snprintf(r.name, sizeof r.name, "%s", e.name);
    std::snprintf(r.module, sizeof r.module, "%s", e.module);
    r.types = e.types;
    for (int t = 0; t < kMaxTypes; ++t) r.ids[t] = e.ids[t];
  }
  doregistry();
  return 0;
}

}  // namespace hwscan

// SDL2 scan codes to virtual keys. SDL's scan codes follow the USB usage table, so the table needs no SDL
// header: the numbers are the usage IDs.
#include "winapi/host/sdl_keys.h"

#include "winapi/user/keymap.h"

namespace winapi::host {

namespace {

// USB usage ID to virtual key, for the keys whose scan code the layout table knows.
struct Usage {
  int usage;
  BYTE vk;
};

constexpr Usage kUsages[] = {
    {40, VK_RETURN},     {41, VK_ESCAPE},     {42, VK_BACK},       {43, VK_TAB},        {44, VK_SPACE},
    {45, VK_OEM_MINUS},  {46, VK_OEM_PLUS},   {47, VK_OEM_4},      {48, VK_OEM_6},      {49, VK_OEM_5},
    {51, VK_OEM_1},      {52, VK_OEM_7},      {53, VK_OEM_3},      {54, VK_OEM_COMMA},  {55, VK_OEM_PERIOD},
    {56, VK_OEM_2},      {57, VK_CAPITAL},    {70, VK_SNAPSHOT},   {71, VK_SCROLL},     {72, VK_PAUSE},
    {73, VK_INSERT},     {74, VK_HOME},       {75, VK_PRIOR},      {76, VK_DELETE},     {77, VK_END},
    {78, VK_NEXT},       {79, VK_RIGHT},      {80, VK_LEFT},       {81, VK_DOWN},       {82, VK_UP},
    {83, VK_NUMLOCK},    {84, VK_DIVIDE},     {85, VK_MULTIPLY},   {86, VK_SUBTRACT},   {87, VK_ADD},
    {101, VK_APPS},      {227, VK_LWIN},      {231, VK_RWIN},
};

// Keypad 1..9, 0 and '.' (usages 89..99): digit key, navigation key, scan code.
struct Keypad {
  BYTE digit;
  BYTE navigation;
  BYTE scan;
};
constexpr Keypad kKeypad[] = {
    {VK_NUMPAD1, VK_END, 0x4F},  {VK_NUMPAD2, VK_DOWN, 0x50},  {VK_NUMPAD3, VK_NEXT, 0x51},
    {VK_NUMPAD4, VK_LEFT, 0x4B}, {VK_NUMPAD5, VK_CLEAR, 0x4C}, {VK_NUMPAD6, VK_RIGHT, 0x4D},
    {VK_NUMPAD7, VK_HOME, 0x47}, {VK_NUMPAD8, VK_UP, 0x48},    {VK_NUMPAD9, VK_PRIOR, 0x49},
    {VK_NUMPAD0, VK_INSERT, 0x52}, {VK_DECIMAL, VK_DELETE, 0x53},
};

bool FromLayout(BYTE vk, KeyStroke* stroke) {
  const user::KeyInfo* info = user::KeyInfoForVirtualKey(vk);
  if (!info) return false;
  stroke->vk = vk;
  stroke->scan = info->scan;
  stroke->extended = info->extended;
  return true;
}

}  // namespace

bool KeyFromSdlScancode(int usage, bool numLock, bool shift, KeyStroke* stroke) {
  if (!stroke) return false;
  *stroke = KeyStroke{};
  if (usage >= 4 && usage <= 29) return FromLayout(static_cast<BYTE>('A' + usage - 4), stroke);
  if (usage >= 30 && usage <= 38) return FromLayout(static_cast<BYTE>('1' + usage - 30), stroke);
  if (usage == 39) return FromLayout('0', stroke);
  if (usage >= 58 && usage <= 69) return FromLayout(static_cast<BYTE>(VK_F1 + usage - 58), stroke);
  if (usage >= 89 && usage <= 99) {
    const Keypad& key = kKeypad[usage - 89];
    stroke->vk = (numLock && !shift) ? key.digit : key.navigation;
    stroke->scan = key.scan;
    stroke->extended = false;
    return true;
  }
  switch (usage) {
    case 88:  // keypad Enter
      stroke->vk = VK_RETURN;
      stroke->scan = 0x1C;
      stroke->extended = true;
      return true;
    case 224:  // left Ctrl
      *stroke = KeyStroke{VK_LCONTROL, 0x1D, false};
      return true;
    case 225:
      *stroke = KeyStroke{VK_LSHIFT, 0x2A, false};
      return true;
    case 226:
      *stroke = KeyStroke{VK_LMENU, 0x38, false};
      return true;
    case 228:
      *stroke = KeyStroke{VK_RCONTROL, 0x1D, true};
      return true;
    case 229:
      *stroke = KeyStroke{VK_RSHIFT, 0x36, false};
      return true;
    case 230:
      *stroke = KeyStroke{VK_RMENU, 0x38, true};
      return true;
    default:
      break;
  }
  for (const Usage& entry : kUsages)
    if (entry.usage == usage) return FromLayout(entry.vk, stroke);
  return false;
}

}  // namespace winapi::host

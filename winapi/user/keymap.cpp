// The US keyboard layout tables.
#include "winapi/user/keymap.h"

namespace winapi::user {

namespace {

constexpr KeyInfo kKeys[] = {
    {VK_ESCAPE, 0x01, false}, {'1', 0x02, false}, {'2', 0x03, false}, {'3', 0x04, false},
    {'4', 0x05, false}, {'5', 0x06, false}, {'6', 0x07, false}, {'7', 0x08, false},
    {'8', 0x09, false}, {'9', 0x0A, false}, {'0', 0x0B, false}, {VK_OEM_MINUS, 0x0C, false},
    {VK_OEM_PLUS, 0x0D, false}, {VK_BACK, 0x0E, false}, {VK_TAB, 0x0F, false}, {'Q', 0x10, false},
    {'W', 0x11, false}, {'E', 0x12, false}, {'R', 0x13, false}, {'T', 0x14, false},
    {'Y', 0x15, false}, {'U', 0x16, false}, {'I', 0x17, false}, {'O', 0x18, false},
    {'P', 0x19, false}, {VK_OEM_4, 0x1A, false}, {VK_OEM_6, 0x1B, false}, {VK_RETURN, 0x1C, false},
    {VK_CONTROL, 0x1D, false}, {'A', 0x1E, false}, {'S', 0x1F, false}, {'D', 0x20, false},
    {'F', 0x21, false}, {'G', 0x22, false}, {'H', 0x23, false}, {'J', 0x24, false},
    {'K', 0x25, false}, {'L', 0x26, false}, {VK_OEM_1, 0x27, false}, {VK_OEM_7, 0x28, false},
    {VK_OEM_3, 0x29, false}, {VK_SHIFT, 0x2A, false}, {VK_OEM_5, 0x2B, false}, {'Z', 0x2C, false},
    {'X', 0x2D, false}, {'C', 0x2E, false}, {'V', 0x2F, false}, {'B', 0x30, false},
    {'N', 0x31, false}, {'M', 0x32, false}, {VK_OEM_COMMA, 0x33, false}, {VK_OEM_PERIOD, 0x34, false},
    {VK_OEM_2, 0x35, false}, {VK_MULTIPLY, 0x37, false}, {VK_MENU, 0x38, false}, {VK_SPACE, 0x39, false},
    {VK_CAPITAL, 0x3A, false}, {VK_F1, 0x3B, false}, {VK_F2, 0x3C, false}, {VK_F3, 0x3D, false},
    {VK_F4, 0x3E, false}, {VK_F5, 0x3F, false}, {VK_F6, 0x40, false}, {VK_F7, 0x41, false},
    {VK_F8, 0x42, false}, {VK_F9, 0x43, false}, {VK_F10, 0x44, false}, {VK_NUMLOCK, 0x45, true},
    {VK_SCROLL, 0x46, false}, {VK_NUMPAD7, 0x47, false}, {VK_NUMPAD8, 0x48, false}, {VK_NUMPAD9, 0x49, false},
    {VK_SUBTRACT, 0x4A, false}, {VK_NUMPAD4, 0x4B, false}, {VK_NUMPAD5, 0x4C, false},
    {VK_NUMPAD6, 0x4D, false}, {VK_ADD, 0x4E, false}, {VK_NUMPAD1, 0x4F, false}, {VK_NUMPAD2, 0x50, false},
    {VK_NUMPAD3, 0x51, false}, {VK_NUMPAD0, 0x52, false}, {VK_DECIMAL, 0x53, false}, {VK_F11, 0x57, false},
    {VK_F12, 0x58, false}, {VK_CLEAR, 0x4C, false}, {VK_PAUSE, 0x45, false}, {VK_DIVIDE, 0x35, true},
    {VK_HOME, 0x47, true}, {VK_UP, 0x48, true}, {VK_PRIOR, 0x49, true}, {VK_LEFT, 0x4B, true},
    {VK_RIGHT, 0x4D, true}, {VK_END, 0x4F, true}, {VK_DOWN, 0x50, true}, {VK_NEXT, 0x51, true},
    {VK_INSERT, 0x52, true}, {VK_DELETE, 0x53, true}, {VK_SNAPSHOT, 0x37, true}, {VK_LWIN, 0x5B, true},
    {VK_RWIN, 0x5C, true}, {VK_APPS, 0x5D, true},
};

// The keypad's keys as the keyboard reports them with Num Lock off.
UINT KeypadNavigation(BYTE scan) {
  switch (scan) {
    case 0x47: return VK_HOME;
    case 0x48: return VK_UP;
    case 0x49: return VK_PRIOR;
    case 0x4B: return VK_LEFT;
    case 0x4C: return VK_CLEAR;
    case 0x4D: return VK_RIGHT;
    case 0x4F: return VK_END;
    case 0x50: return VK_DOWN;
    case 0x51: return VK_NEXT;
    case 0x52: return VK_INSERT;
    case 0x53: return VK_DELETE;
    default: return 0;
  }
}

}  // namespace

const KeyInfo* KeyInfoForVirtualKey(BYTE vk) {
  for (const KeyInfo& key : kKeys)
    if (key.vk == vk) return &key;
  return nullptr;
}

UINT ScanToVirtualKey(BYTE scan, bool extended) {
  if (UINT nav = KeypadNavigation(scan)) return nav;
  if (scan == 0x45) return VK_NUMLOCK;
  if (scan == 0x1C && extended) return VK_RETURN;
  if (scan == 0x35 && extended) return VK_DIVIDE;
  if (scan == 0x37 && extended) return VK_SNAPSHOT;
  for (const KeyInfo& key : kKeys)
    if (key.scan == scan && key.extended == extended) return key.vk;
  for (const KeyInfo& key : kKeys)
    if (key.scan == scan) return key.vk;
  return 0;
}

UINT KeyCharacter(BYTE vk, bool shift) {
  if (vk >= '0' && vk <= '9') return shift ? static_cast<UINT>(")!@#$%^&*("[vk - '0']) : vk;
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return '0' + (vk - VK_NUMPAD0);
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return 0x0D;
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_OEM_1: return shift ? ':' : ';';
    case VK_OEM_PLUS: return shift ? '+' : '=';
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_3: return shift ? '~' : '`';
    case VK_OEM_4: return shift ? '{' : '[';
    case VK_OEM_5: return shift ? '|' : '\\';
    case VK_OEM_6: return shift ? '}' : ']';
    case VK_OEM_7: return shift ? '"' : '\'';
    default: return 0;
  }
}

}  // namespace winapi::user

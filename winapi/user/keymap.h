// The US keyboard layout: virtual keys, their scan codes (set 1) and the characters they type.
#pragma once

#include "windows.h"

namespace winapi::user {

struct KeyInfo {
  BYTE vk;
  BYTE scan;
  bool extended;
};

// The key's scan code and whether it is one of the extended keys; null for a virtual key with no key.
const KeyInfo* KeyInfoForVirtualKey(BYTE vk);
// The virtual key of a scan code (keypad keys give their navigation meaning, as with Num Lock off).
UINT ScanToVirtualKey(BYTE scan, bool extended);
// The character of a key other than a letter, plain or with Shift; 0 when it types none.
UINT KeyCharacter(BYTE vk, bool shift);

}  // namespace winapi::user

// SDL2 scan codes to the platform's virtual keys and keyboard scan codes (US layout).
#pragma once

#include "windows.h"

namespace winapi::host {

struct KeyStroke {
  BYTE vk = 0;
  BYTE scan = 0;
  bool extended = false;
};

// `sdlScancode` is an SDL_Scancode value. Keypad keys give digits only with Num Lock on and no Shift, as a
// PC keyboard does; otherwise their navigation keys. False for keys the game's keyboard does not have.
bool KeyFromSdlScancode(int sdlScancode, bool numLock, bool shift, KeyStroke* stroke);

}  // namespace winapi::host

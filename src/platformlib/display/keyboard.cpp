// Keys in the PC BIOS style, read on the main thread from the key ring that the window thread fills.
#include "platformlib/display/keyboard.h"

#include <algorithm>
#include <cstring>

#include "platformlib/display/displaymode.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/core/timer.h"
#include "platformlib/gfx/windowdesc.h"

int capslockstate = 0;
std::atomic<uint32_t> keydeadline{0};
uint32_t reciprocals[1024];

// US layout. Values below 0x80 are characters; 0x80..0x8F give value x 256; 0x90 and above (value - 0x80) x 256.
const uint8_t keytables[5][KEYTABLESIZE] = {
    // plain
    {0x00, 0x1B, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0x2D, 0x3D, 0x08, 0x09, 0x71, 0x77, 0x65, 0x72, 0x74, 0x79, 0x75, 0x69, 0x6F, 0x70, 0x5B, 0x5D, 0x0D, 0x00, 0x61, 0x73, 0x64, 0x66, 0x67, 0x68, 0x6A, 0x6B, 0x6C, 0x3B, 0x27, 0x60, 0x00, 0x5C, 0x7A, 0x78, 0x63, 0x76, 0x62, 0x6E, 0x6D, 0x2C, 0x2E, 0x2F, 0x00, 0x2A, 0x00, 0x20, 0x00, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0x00, 0x00, 0xC7, 0xC8, 0xC9, 0x2D, 0xCB, 0xCC, 0xCD, 0x2B, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0x00, 0x00, 0x00, 0x87, 0x88, 0x00, 0x00},
    // Caps Lock
    {0x00, 0x1B, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0x2D, 0x3D, 0x08, 0x09, 0x51, 0x57, 0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0x5B, 0x5D, 0x0D, 0x00, 0x41, 0x53, 0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0x3B, 0x27, 0x60, 0x00, 0x5C, 0x5A, 0x58, 0x43, 0x56, 0x42, 0x4E, 0x4D, 0x2C, 0x2E, 0x2F, 0x00, 0x2A, 0x00, 0x20, 0x00, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0x00, 0x00, 0xC7, 0xC8, 0xC9, 0x2D, 0xCB, 0xCC, 0xCD, 0x2B, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0x00, 0x00, 0x00, 0x87, 0x88, 0x00, 0x00},
    // Shift
    {0x00, 0x1B, 0x21, 0x40, 0x23, 0x24, 0x25, 0x5E, 0x26, 0x2A, 0x28, 0x29, 0x5F, 0x2B, 0x08, 0x09, 0x51, 0x57, 0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0x7B, 0x7D, 0x0D, 0x00, 0x41, 0x53, 0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0x3A, 0x22, 0x7E, 0x00, 0x7C, 0x5A, 0x58, 0x43, 0x56, 0x42, 0x4E, 0x4D, 0x3C, 0x3E, 0x3F, 0x00, 0x2A, 0x00, 0x20, 0x00, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0x00, 0x00, 0x37, 0x38, 0x39, 0x2D, 0x34, 0x35, 0x36, 0x2B, 0x31, 0x32, 0x33, 0x30, 0x2E, 0x00, 0x00, 0x00, 0x87, 0x88, 0x00, 0x00},
    // Ctrl
    {0x00, 0x1B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x11, 0x17, 0x05, 0x12, 0x14, 0x19, 0x15, 0x09, 0x0F, 0x10, 0x1B, 0x1D, 0x0A, 0x00, 0x01, 0x13, 0x04, 0x06, 0x07, 0x08, 0x0A, 0x0B, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x1C, 0x1A, 0x18, 0x03, 0x16, 0x02, 0x0E, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0xDE, 0xDF, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0x00, 0x00, 0xF7, 0xC8, 0x84, 0x00, 0xF3, 0xCC, 0xF4, 0x00, 0xF5, 0xD0, 0xF6, 0xD2, 0xD3, 0x00, 0x00, 0x00, 0x87, 0x88, 0x00, 0x00},
    // Alt
    {0x00, 0x1B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x00, 0x00, 0x00, 0x00, 0x9E, 0x9F, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0x00, 0x00, 0xC7, 0xC8, 0xC9, 0x00, 0xCB, 0xCC, 0xCD, 0x00, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0x00, 0x00, 0x00, 0x87, 0x88, 0x00, 0x00}
};

// Japanese keyboard: scan codes pass unchanged, except the yen and ro keys, which act as backslash and slash;
// the conversion keys give nothing.
const uint8_t japanesekeytable[128] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F,
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F,
    0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x35, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x00, 0x00,
};

namespace {

KeyHandler hotslots[HOTKEYSLOTS];
uint8_t hotchars[128];
uint8_t hotscans[0x85];
int hotnesting = 0;
KeyCallback keycallback = getkeyhot;
MouseState mouse;

bool down(uint8_t scan) { return keystates[scan].load() != 0; }

uint16_t decode(uint8_t value) {
  if (value < 0x80) return value;
  if (value < 0x90) return static_cast<uint16_t>(value << 8);
  return static_cast<uint16_t>((value - 0x80) << 8);
}

// Next key of the ring; entries whose scan code gives nothing are dropped. With `take` false the key found
// stays in the ring.
uint32_t nextkey(bool take) {
  KeyRingEntry e{};
  uint32_t serial = 0;
  while (keyringfront(&e, &serial)) {
    // Translated outside the ring's lock: a translation may end the program.
    uint16_t code = e.code;
    if (!code) code = scantochar(e.scan);
    if (!code) {
      keyringdropfront(serial);
      continue;
    }
    if (take && !keyringdropfront(serial)) continue;  // the ring overflowed meanwhile and lost it
    return (static_cast<uint32_t>(e.scan) << 16) | code;
  }
  return 0;
}

}  // namespace

void initkeys() {
  handlersection();
  keytracking = 1;
  for (auto& k : keystates) k = 0;
}

void stopkeys() { keytracking = 0; }

uint16_t scantochar(uint8_t scan) {
  if (scan == 0x3A) {
    capslockstate ^= 1;
    return 0;
  }
  if (scan >= KEYTABLESIZE) return 0;
  const uint8_t* table;
  if (down(0x38)) {
    table = keytables[4];
  } else if (down(0x1D)) {
    if (scan == 1) exitprogram();  // Ctrl+Esc
    table = keytables[3];
  } else if (down(0x2A) || down(0x36)) {
    table = keytables[2];
  } else if (capslockstate) {
    table = keytables[1];
  } else {
    table = keytables[0];
  }
  return decode(table[scan]);
}

uint32_t getkey() { return nextkey(true); }
uint32_t peekkey() { return nextkey(false); }

void flushkeys() {
  while (getkey()) {
  }
}

uint32_t dispatchkeyhandler(uint32_t key) {
  if (!key) return 0;
  const uint16_t code = static_cast<uint16_t>(key);
  int slot = 0;
  if (code & 0xFF) {
    if ((code & 0xFF) < 128) slot = hotchars[code & 0x7F];
  } else if ((code >> 8) < 0x85) {
    slot = hotscans[code >> 8];
  }
  if (!slot || hotnesting || !hotslots[slot - 1]) return key;
  ++hotnesting;
  hotslots[slot - 1](key);
  --hotnesting;
  return 0;
}

uint32_t getkeyhot() { return dispatchkeyhandler(getkey()); }

void addkeyhandler(uint32_t key, KeyHandler handler) {
  if (!handler) return;
  int slot = -1;
  for (int i = 0; i < HOTKEYSLOTS && slot < 0; ++i)
    if (hotslots[i] == handler) slot = i;
  for (int i = 0; i < HOTKEYSLOTS && slot < 0; ++i)
    if (!hotslots[i]) slot = i;
  if (slot < 0) return;
  const uint8_t ch = static_cast<uint8_t>(key & 0xFF);
  const uint8_t scan = static_cast<uint8_t>((key >> 8) & 0xFF);
  if (ch) {
    if (ch >= 128) return;
    hotchars[ch] = static_cast<uint8_t>(slot + 1);
  } else {
    if (scan > 0x84) return;
    hotscans[scan] = static_cast<uint8_t>(slot + 1);
  }
  hotslots[slot] = handler;
}

void clearkeyhandlers() {
  std::memset(hotslots, 0, sizeof hotslots);
  std::memset(hotchars, 0, sizeof hotchars);
  std::memset(hotscans, 0, sizeof hotscans);
  hotnesting = 0;
  keycallback = getkeyhot;
}

void setkeycallback(KeyCallback callback) { keycallback = callback; }
uint32_t callkeycallback() { return keycallback ? keycallback() : 0; }

uint32_t keyticks() {
  if (!checknotlocked("keyticks")) return 0;
  runsystemtasks();
  uint32_t key = callkeycallback();
  if (key || static_cast<int32_t>(gettimerticks() - keydeadline.load()) < 0) return key;
  while (!key) {
    Sleep(10);
    runsystemtasks();
    key = callkeycallback();
  }
  return key;
}

void settogglekey(int key, int on) {
  static const BYTE vks[3] = {VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
  static const BYTE scans[3] = {0x3A, 0x45, 0x46};
  if (key < 0 || key > 2) return;
  const bool state = (GetKeyState(vks[key]) & 1) != 0;
  if (state == (on != 0)) return;
  const DWORD extended = key == 1 ? KEYEVENTF_EXTENDEDKEY : 0;
  keybd_event(vks[key], scans[key], extended, 0);
  keybd_event(vks[key], scans[key], extended | KEYEVENTF_KEYUP, 0);
}

void numlockoff() { settogglekey(1, 0); }

int checkjapanesekeyboard() {
  const int type = GetKeyboardType(0), subtype = GetKeyboardType(1);
  if (type == 7 && subtype >= 0x0D01 && subtype <= 0x0D04) {
    keytranslation = japanesekeytable;
    return 1;
  }
  return 0;
}

void installhotkeys() {
  addkeyhandler(16, pausehandler);
  addkeyhandler(24, exitprompthandler);
}

void pausehandler(uint32_t) {
  const int32_t w = displaywidth ? displaywidth : 640, h = displayheight ? displayheight : 480;
  promptbox("PAUSE - PRESS ANY KEY TO RESUME", w / 2 - 144, h / 2 - 8, 288, 24, 1);
}

void exitprompthandler(uint32_t) {
  if (graphicsstate == 7 && !isthread(nullptr) && mainthread.section) {
    entercritical(mainthread.section);  // lets a frame being drawn finish
    leavecritical(mainthread.section);
  }
  releasewindow();
  const int32_t w = displaywidth ? displaywidth : 640, h = displayheight ? displayheight : 480;
  if (promptbox("Exit (Y/N)", w / 2 - 80, h / 2 - 8, 160, 24, 7)) exitprogram();
}

// ---- the prompt box ---------------------------------------------------------------------------------------------------

namespace {

void defaultpromptdraw(const char*, int32_t x, int32_t y, int32_t width, int32_t height) {
  fillrect(x, y, width, height, 0);
}

// Copies a box between the current window and a memory window of its size.
void copybox(WindowDesc* memory, int32_t x, int32_t y, bool towindow) {
  const WindowDesc& c = CurrentWindow;
  if (!memory || !c.pixels || !c.rows || c.depth != memory->depth) return;
  const int bytes = c.depth == 15 ? 2 : (c.depth + 7) / 8;
  for (int32_t row = 0; row < memory->height; ++row) {
    const int32_t sy = y + row;
    if (sy < 0 || sy >= c.height) continue;
    const int32_t x0 = std::max<int32_t>(0, x), x1 = std::min<int32_t>(c.width, x + memory->width);
    if (x0 >= x1) continue;
    uint8_t* screen = c.pixels + c.rows[sy] + static_cast<ptrdiff_t>(x0) * bytes;
    uint8_t* saved = memory->pixels + static_cast<ptrdiff_t>(row) * memory->rowbytes +
                     static_cast<ptrdiff_t>(x0 - x) * bytes;
    if (towindow)
      std::memcpy(screen, saved, static_cast<size_t>(x1 - x0) * bytes);
    else
      std::memcpy(saved, screen, static_cast<size_t>(x1 - x0) * bytes);
  }
}

int32_t promptbuttons() {
  if (!mouse.read) return 0;
  int32_t x = 0, y = 0;
  return mouse.read(&x, &y);
}

void hidemouse() {
  if (mouse.hide) mouse.hide();
}
void showmouse() {
  if (mouse.show) mouse.show();
}

}  // namespace

void (*promptboxdraw)(const char*, int32_t, int32_t, int32_t, int32_t) = defaultpromptdraw;

int promptbox(const char* message, int32_t x, int32_t y, int32_t width, int32_t height, int buttonmask) {
  WindowDesc saved{};
  savecurrentwindow(&saved);
  WindowDesc* under = nullptr;
  const bool drawn = graphicsstate == 7 && DisplayWindow.signature == kWindowSignature;
  if (drawn) {
    {
      AbortQuiet quiet;
      under = trycreatewindowadr(width, height, DisplayWindow.depth);
    }
    if (displaywindow()) copybox(under, x, y, false);
    hidemouse();
    if (displaywindow()) {
      CurrentWindow.minx = std::max<int32_t>(0, x);
      CurrentWindow.miny = std::max<int32_t>(0, y);
      CurrentWindow.maxx = std::min<int32_t>(CurrentWindow.width, x + width);
      CurrentWindow.maxy = std::min<int32_t>(CurrentWindow.height, y + height);
      if (promptboxdraw) promptboxdraw(message, x, y, width, height);
    }
    showmouse();
    releasewindow();
  }
  while (promptbuttons() & buttonmask) {
    runsystemtasks();
    Sleep(10);
  }
  int answer = 0;
  for (;;) {
    const uint32_t key = getkey();
    if (key) {
      const uint8_t ch = static_cast<uint8_t>(key);
      answer = ch == 'y' || ch == 'Y';
      break;
    }
    const int32_t buttons = promptbuttons() & buttonmask;
    if (buttons) {
      answer = (buttons & 1) != 0;
      break;
    }
    runsystemtasks();
    Sleep(10);
  }
  if (drawn) {
    hidemouse();
    if (under && displaywindow()) copybox(under, x, y, true);
    showmouse();
    releasewindow();
  }
  restorecurrentwindow(&saved);
  if (under) removewindow(under);
  return answer;
}

// ---- the mouse ---------------------------------------------------------------------------------------------------------

MouseState& mousestate() { return mouse; }

void mouseshow() { ++mouse.showcount; }
void mousehide() { --mouse.showcount; }

int32_t readmouse(int32_t* x, int32_t* y) {
  CRITICAL_SECTION* cs = handlersection();
  entercritical(cs);
  const int32_t mx = mouse.x, my = mouse.y, buttons = mouse.buttons;
  leavecritical(cs);
  if (x) *x = mx;
  if (y) *y = my;
  return buttons;
}

void initmouse() {
  mouse.minx = 0;
  mouse.miny = 0;
  mouse.maxx = displaywidth;
  mouse.maxy = displayheight;
  mouse.x = 0;
  mouse.y = 0;
  mouse.buttons = 0;
  mouse.showcount = 0;
  mouse.show = mouseshow;
  mouse.hide = mousehide;
  mouse.hide2 = mousehide;
  mouse.read = readmouse;
  handlersection();
  mouse.initialised = 1;
}

// ---- reciprocals -----------------------------------------------------------------------------------------------------

void initreciprocals() {
  static bool done = false;
  if (done) return;
  done = true;
  reciprocals[0] = 0;
  // 2^32 / 1 does not fit a word: entry 1 holds the largest word instead of wrapping to 1.
  reciprocals[1] = 0xFFFFFFFFu;
  for (uint32_t n = 2; n < 1024; ++n) reciprocals[n] = static_cast<uint32_t>((uint64_t{1} << 32) / n + 1);
}

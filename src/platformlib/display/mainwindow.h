// The library's main window: a thread of its own runs its message loop, and every message is looked up in a
// sorted table of handlers. Key messages fill a key ring and a key state table that the keyboard code reads.
#pragma once

#include <atomic>
#include <cstdint>

#include "platformlib/core/timer.h"
#include "windows.h"

struct WinDisplay;

// Handler of one window message. Returns non-zero when it handled the message; the window procedure then
// answers with *result (initially 0), else the default window procedure runs.
using WinMessageHandler = int (*)(WinDisplay* display, HWND window, UINT message, WPARAM first, LPARAM second,
                                  LRESULT* result);

constexpr int MESSAGEHANDLERSLOTS = 128;
constexpr UINT WM_LIBSTOPTHREAD = 0x466;
constexpr int KEYRINGSIZE = 32;

// One key of the key ring: flags (bit 0: extended key), scan code, character or extended key code.
struct KeyRingEntry {
  uint8_t flags;
  uint8_t scan;
  uint16_t code;
};

// The main window's state. Words that the window thread writes and other threads read are atomic.
struct MainWindowState {
  std::atomic<HWND> window{nullptr};
  HINSTANCE instance = nullptr;
  const char* classname = nullptr;
  std::atomic<int32_t> x{0}, y{0};  // client origin on the screen
  std::atomic<int32_t> width{0}, height{0};
  std::atomic<uint8_t> fullscreen{0};
  std::atomic<int> active{0};
  ThreadRecord thread{};
  int classcount = 0;
  bool handlersinstalled = false;
};
MainWindowState& mainwindowstate();

// Settable before the first openmainwindow.
extern const char* mainwindowclassname;
extern int mainwindowicon;
extern DWORD mainwindowbasestyle;
extern char mainwindowprogramname[64];  // first word of the command line, when the program sets it

// Debug levels of the window channel ("[WIND] ...") and of the message traces.
extern int windowdebuglevel;

HWND openmainwindow(int32_t width, int32_t height, int fullscreen);
void closemainwindow();
int sendwinmessage(UINT message, LPARAM second, WPARAM first, int synchronous);
int setmessagehandler(UINT message, WinMessageHandler handler);
WinMessageHandler getmessagehandler(UINT message);
int messagehandlercount();
HWND getmainwindowhandle();
int mainwindowactive();
int ismainwindowthread();
void setaudiofocushandler(void (*handler)(int active));
extern void (*repaintcount)();
void setmousepos(WinDisplay* display, int32_t x, int32_t y);
void placemainwindow(int32_t x, int32_t y, int32_t width, int32_t height);
void centremainwindow(int32_t width, int32_t height);
void minimisemainwindow();

// The window procedure and the library's own handlers (exposed for tests and for code that chains to them).
LRESULT libwindowproc(HWND window, UINT message, WPARAM first, LPARAM second);
int lib_activateapp(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_activate(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_winchange(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_close(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_windestroyed(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_paint(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_erasebkgnd(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_setchange(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_syscommand(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_stopthread(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_char(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_keydown(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_keyup(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_mbutton(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_mouse(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_power(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);

// Extended key code (scan code in the high byte) of a key that makes no character; 0 for other keys.
uint16_t vkextendedkey(UINT message, WPARAM virtualkey);
LRESULT keyhookproc(int code, WPARAM virtualkey, LPARAM flags);
void setkeyhook(int filtersystemkeys, int (*callback)(WPARAM virtualkey, LPARAM flags));
void mousetrack(int32_t x, int32_t y, int32_t buttons);

// ---- the key ring and the key state table (written by the window thread) -----------------------------------------
void keyringcreate();
void keyringput(uint8_t flags, uint8_t scan, uint16_t code, int repeat);
// Takes (or only looks at) the oldest entry; false when the ring is empty.
bool keyringtake(KeyRingEntry* entry);
bool keyringpeek(int index, KeyRingEntry* entry);
// The front entry and a serial that changes whenever the front entry leaves; the drop takes the front entry
// only when the serial still matches (the window thread may have dropped it meanwhile).
bool keyringfront(KeyRingEntry* entry, uint32_t* serial);
bool keyringdropfront(uint32_t serial);
int keyringcount();
void keyringclear();
extern std::atomic<uint8_t> keystates[128];
// Scan-code translation table (the Japanese keyboard); null when none.
extern const uint8_t* keytranslation;
// Key tracking (initkeys): keys arrive as scan codes, no message is translated.
extern std::atomic<int> keytracking;

// The handler table's critical section (the keyboard code shares it for mouse state).
CRITICAL_SECTION* handlersection();

// Whether a debugger is attached; the Alt+Pause break key only breaks into one that is. Replaceable for tests.
extern int (*debuggerpresent)();
extern void (*userbreak)();

// Forgets the window state between tests (no window may be open).
void resetmainwindowstate();

// Keys read on the main thread from the key ring that the main-window thread fills: characters and extended
// key codes in the PC BIOS style (scan code in the high byte), translation of scan codes by shift state,
// toggle keys, hot keys, the default mouse routines, and the reciprocal table.
#pragma once

#include <atomic>
#include <cstdint>

#include "windows.h"

// ---- keys ------------------------------------------------------------------------------------------------------------
void initkeys();
void stopkeys();
uint32_t getkey();   // (scan code << 16) | code, 0 when no key is waiting
uint32_t peekkey();
void flushkeys();
uint32_t getkeyhot();
uint32_t dispatchkeyhandler(uint32_t key);
uint16_t scantochar(uint8_t scan);
extern int capslockstate;

using KeyHandler = void (*)(uint32_t key);
constexpr int HOTKEYSLOTS = 64;
void addkeyhandler(uint32_t key, KeyHandler handler);
void clearkeyhandlers();
using KeyCallback = uint32_t (*)();
void setkeycallback(KeyCallback callback);
uint32_t callkeycallback();
uint32_t keyticks();
// The deadline of the library's timer waits (gettimerticks value); keyticks polls until it has passed.
extern std::atomic<uint32_t> keydeadline;

void settogglekey(int key, int on);
void numlockoff();
int checkjapanesekeyboard();
void installhotkeys();
void pausehandler(uint32_t key);
void exitprompthandler(uint32_t key);

// The five translation tables (plain, Caps Lock, Shift, Ctrl, Alt), 91 entries each.
constexpr int KEYTABLESIZE = 91;
extern const uint8_t keytables[5][KEYTABLESIZE];
extern const uint8_t japanesekeytable[128];

// ---- prompt box -------------------------------------------------------------------------------------------------------
// Drawing of the box goes through this seam until the text drawer exists: it gets the box and the message and
// draws into the current window (clipped to the box).
extern void (*promptboxdraw)(const char* message, int32_t x, int32_t y, int32_t width, int32_t height);
// Reads the mouse buttons for the prompt's wait (default: the mouse read routine).
int promptbox(const char* message, int32_t x, int32_t y, int32_t width, int32_t height, int buttonmask);

// ---- mouse ------------------------------------------------------------------------------------------------------------
struct MouseState {
  std::atomic<int32_t> minx{0}, miny{0}, maxx{0}, maxy{0};
  std::atomic<int32_t> x{0}, y{0}, buttons{0};
  std::atomic<int32_t> showcount{0};
  std::atomic<int> initialised{0};
  void (*show)() = nullptr;
  void (*hide)() = nullptr;
  void (*hide2)() = nullptr;
  int32_t (*read)(int32_t* x, int32_t* y) = nullptr;
};
MouseState& mousestate();
void initmouse();
void mouseshow();
void mousehide();
int32_t readmouse(int32_t* x, int32_t* y);

// ---- reciprocals ------------------------------------------------------------------------------------------------------
extern uint32_t reciprocals[1024];
void initreciprocals();

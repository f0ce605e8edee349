// Putting the screen into a requested mode: display options, the mode search, and the requests that the main
// thread sends to the main-window thread, which answers through a status word and a result text.
#pragma once

#include <atomic>
#include <cstdint>

#include "windows.h"

struct WinDisplay;

// Display option flags, set by the program before initgraphics.
constexpr uint8_t DISPLAY_FULLSCREEN = 0x01;
constexpr uint8_t DISPLAY_SYSMEM = 0x02;
constexpr uint8_t DISPLAY_BLITTING = 0x04;
constexpr uint8_t DISPLAY_LIBMEM = 0x08;
constexpr uint8_t DISPLAY_MODEX = 0x10;
constexpr uint8_t DISPLAY_RESIZABLE = 0x20;
constexpr uint8_t DISPLAY_NOFLIP = 0x40;
constexpr uint8_t DISPLAY_EMULATION = 0x80;
extern uint8_t displayoptions;  // 0x45 until the program sets its own
extern int displaypages;        // video pages requested (1 or 2)

constexpr UINT WM_LIBINITDDRAW = 0x464;
constexpr UINT WM_LIBSETMODE = 0x465;

// 1 pending, 0 done, -1 postponed by the window thread.
extern std::atomic<int32_t> grfop_pending;

// The published display state.
extern int32_t displaydepth, displaypagecount, displaywidth, displayheight, displaymodeindex;
extern int32_t displayright, displaybottom, displaysurfacepages, displaybankswitched;
extern int32_t graphicsstate;  // 7 once graphics are initialised

struct DisplayModeInfo {
  int32_t width, height, depth;
  uint8_t shapetype;
  uint32_t flags;
};

extern const uint8_t (&defaultpalette)[256][3];

extern int (*initgraphicsreplacement)(int32_t width, int32_t height, int32_t depth);
extern void (*restoregraphicshook)();
extern int initdebuglevel;

void initgraphics(int32_t width, int32_t height, int32_t depth);
int preinitgraphics();
int openlibdisplay(int force);
const char* sendddrawrequest(UINT message, int32_t index);
int selectddrawmode(WinDisplay* display);
void publishdisplay();
void restoregraphics();
int reinitgraphics();
int initdefaultgraphics();
int getdisplaymodecount();
int getdisplaymode(int32_t index, DisplayModeInfo* info);
void graphicsexit();

int lib_initgraphics(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
int lib_setdisplaymode(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT*);

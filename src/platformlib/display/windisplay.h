// The DirectDraw display: the one display record, the mode list, surfaces, locking with recovery of lost
// surfaces, the palette, blits and flips. Creation, mode changes and disposal run on the main-window thread;
// locking, blitting and flipping on the main thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "ddraw.h"
#include "windows.h"

struct WindowDesc;

// One display mode as the driver listed it. In memory only.
struct DisplayModeEntry {
  uint32_t width;
  uint32_t height;
  uint32_t refresh;  // 0: the default rate
  uint32_t flags;    // library capability flags; MODEFAILED marks a mode that could not be set
  uint16_t pages;    // 1 + back buffers
  uint8_t bits;      // bit count for SetDisplayMode
  uint8_t depth;     // 15 or 16 for 16-bit modes, else the bit count
};
constexpr uint32_t MODEFAILED = 0x80000000u;
constexpr uint32_t MODE_ALPHADEPTH = 0x01, MODE_ZDEPTH = 0x02, MODE_MODEX = 0x04;

// Library capability flags of the device.
constexpr uint32_t DCAP_BANKSWITCHED = 0x008;
constexpr uint32_t DCAP_FLIP = 0x010;
constexpr uint32_t DCAP_3D = 0x020;
constexpr uint32_t DCAP_BLT = 0x040;
constexpr uint32_t DCAP_BLTCOLORFILL = 0x080;
constexpr uint32_t DCAP_BLTSTRETCH = 0x100;
constexpr uint32_t DCAP_SRCCOLORKEY = 0x200;
constexpr uint32_t DCAP_BLTSYSMEM = 0x400;
constexpr uint32_t DCAP_VBI = 0x800;

struct WinDisplay {
  IDirectDraw2* ddraw = nullptr;
  IDirectDrawClipper* clipper = nullptr;
  int32_t modecount = 0;
  int32_t modeindex = 0;
  DisplayModeEntry* modes = nullptr;
  int32_t width = 0, height = 0, depth = 0;
  uint32_t spare = 0;
  IDirectDrawPalette* palette = nullptr;
  uint16_t paletteversion = 0x300, palettecount = 256;
  PALETTEENTRY entries[256]{};
  int16_t dirtyfirst = 256, dirtylast = -1;
  uint8_t blitting = 0, sysmem = 0, libmem = 0, pages = 2;
  IDirectDrawSurface* locked = nullptr;
  uint8_t* lockedaddress = nullptr;
  int32_t lockedpitch = 0;
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;
  WindowDesc* primarywindow = nullptr;
  WindowDesc* backwindow = nullptr;
  WindowDesc* librarywindow = nullptr;  // back buffer in library memory
  HWND window = nullptr;
  uint8_t windepth = 0;
  uint8_t fullscreen = 0;
  uint8_t modexwanted = 0;
  uint8_t modexprimary = 0;
  uint8_t canflip = 0;
  uint8_t bankswitched = 0;
  uint8_t surfacepages = 1;
  uint8_t emulationonly = 0;
  int32_t winx = -8192, winy = -8192;  // window position; below -5000 means centred
  int32_t originx = 0, originy = 0;   // where the display sits inside a larger mode
  uint32_t caps = 0;                    // library capability flags
  // Statistics.
  uint32_t createcount = 0;
  uint32_t locktick = 0, lastlockms = 0, longestlockms = 0;
  int lockfailures = 0;  // run of failed locks
};

WinDisplay& windisplay();
// The display record a caller passed, or the library's own for null.
inline WinDisplay* displayrecord(WinDisplay* display) { return display ? display : &windisplay(); }

// Debug level of the "[DDRAW] " lines.
extern int ddrawdebuglevel;

// The display result text: null for success, else a constant text. Shared by the window thread (writer) and
// the main thread (reader).
extern std::atomic<const char*> ddrawresult;

int createwindisplay(WinDisplay* display);
int accesswindisplay(WinDisplay* display);
int configwindisplay(WinDisplay* display);
int setwindisplaymode(WinDisplay* display, int32_t index);
int releasewinsurfaces(WinDisplay* display);
int disposewindisplay(WinDisplay* display);

int locksurface(IDirectDrawSurface* surface, int updatewindow);
void unlocksurface();
int relocksurface();
int surfacelocked();
IDirectDrawSurface* makesurface(int backbuffers, const DDPIXELFORMAT* format, DWORD caps, int32_t width = 0,
                                int32_t height = 0);
void releasesurface(IDirectDrawSurface* surface);
int setwinpalette();
void getwinpalette(uint32_t* entries);
// Marks entries [first, first + count) of the display palette with the given 0x??RRGGBB colours.
void storewinpalette(int first, int count, const uint32_t* colours);
int flipwindisplay(int wait);
int blitsurface(IDirectDrawSurface* destination, RECT* destrect, IDirectDrawSurface* source, RECT* sourcerect,
                int transparent);
int blitsurfacefx(IDirectDrawSurface* destination, RECT* destrect, IDirectDrawSurface* source, RECT* sourcerect,
                  int transparent, uint32_t effects);
int getsurfaceinfo(IDirectDrawSurface* surface, int32_t* width, int32_t* height, int32_t* pitch, uint8_t** address,
                   int32_t* depth);
int isdisplaymodex();
IDirectDraw2* getdirectdraw();
uint32_t getddrawcreatecount();
void getclientsize(int32_t* width, int32_t* height);
int surfacelost(IDirectDrawSurface* surface);
IDirectDrawSurface* getbacksurface();
void focuswindisplay();

// Puts the display's surface operations behind the drawing code's display seam.
void installwindisplayhooks();

// The 3D interface: a render back-end module bound at run time through 34 entry points, the table of library
// services handed to it, and graphics opened through it.
#pragma once

#include <cstdint>

#include "windows.h"

struct WindowDesc;

// The screen vertex of the 3D interface (32 bytes; arrays are packed at this stride).
struct VortelVertex {
  float x, y;  // screen pixels
  float z;     // 0.0 at the near limit, 1.0 at the far limit
  float q;     // 1/w: positive in front of the eye, growing towards it
  uint32_t colour;
  uint32_t specular;
  float u, v;
};
static_assert(sizeof(VortelVertex) == 32, "VortelVertex is 32 bytes");

// What lockwindow returns; valid until unlockwindow.
struct VortelLock {
  uint8_t* pixels;
  int32_t pitch;
  int32_t format;  // 2 -> 8 bpp, 3 and 11 -> 15, 4 -> 16, 5 -> 24, 6 -> 32, other -> 16
  int32_t width;
  int32_t height;
};

constexpr int32_t kVortelVersion = 104;

// The entry points. Pointer-sized where a value may carry an address (state values, texture handles).
using VortelInfoFn = intptr_t (*)();
using VortelIntFn = int32_t (*)(int32_t);
using VortelVoidFn = void (*)();
using VortelSetVideoModeFn = int32_t (*)(int32_t mode, int32_t pages, int32_t unused);
using VortelTallocFn = intptr_t (*)(int32_t width, int32_t height, int32_t format, intptr_t paletteflag, intptr_t unused);
using VortelTupdateFn = intptr_t (*)(intptr_t texture, const void* pixels, const void* palette);
using VortelClipFn = int32_t (*)(int32_t x, int32_t y, int32_t width, int32_t height);
using VortelSetStateFn = intptr_t (*)(int32_t state, intptr_t value);
using VortelSetTextureFn = int32_t (*)(intptr_t texture);
using VortelLockFn = VortelLock* (*)();
using VortelUnlockFn = int32_t (*)(VortelLock* lock);
using VortelRectFn = int32_t (*)(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer);
using VortelQuadFn = int32_t (*)(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c, const VortelVertex* d);
using VortelTriFn = int32_t (*)(const VortelVertex* a, const VortelVertex* b, const VortelVertex* c);
using VortelLineFn = int32_t (*)(const VortelVertex* a, const VortelVertex* b);
using VortelPointFn = int32_t (*)(const VortelVertex* a);
using VortelMeshFn = int32_t (*)(int32_t count, const VortelVertex* vertices, const uint32_t* indices);
using VortelStripFn = int32_t (*)(int32_t count, const VortelVertex* vertices);

struct VortelDriver {
  HMODULE module;
  VortelInfoFn about;  // returns the about record's address (word 0 tag, word 2 version) or 0
  VortelInfoFn is;
  VortelInfoFn init;
  VortelInfoFn restore;
  VortelIntFn selectdisplay;
  VortelSetVideoModeFn setvideomode;
  VortelTallocFn talloc;
  VortelTupdateFn tupdate;
  VortelInfoFn treset;
  VortelIntFn window;
  VortelInfoFn clearwindow;
  VortelInfoFn flushwindow;
  VortelInfoFn pageflip;
  VortelVoidFn idle;
  VortelIntFn sync;
  VortelClipFn clip;
  VortelSetStateFn setstate;
  VortelSetTextureFn settexture;
  VortelLockFn lockwindow;
  VortelUnlockFn unlockwindow;
  VortelRectFn readrect;
  VortelRectFn writerect;
  VortelQuadFn drawquad;
  VortelMeshFn drawquadmesh;
  VortelTriFn drawtri;
  VortelMeshFn drawtrimesh;
  VortelStripFn drawtristrip;
  VortelStripFn drawtrifan;
  VortelLineFn drawline;
  VortelMeshFn drawlinemesh;
  VortelStripFn drawlinestrip;
  VortelPointFn drawpoint;
  VortelStripFn drawpointstrip;
  VortelMeshFn drawpointmesh;
};
constexpr int kVortelEntries = 34;
// The exported names, in table order.
extern const char* const VortelEntryNames[kVortelEntries];

// The eight library services handed to the module (state 19), in this fixed order.
struct VortelServices {
  intptr_t (*halruntasks)();
  HWND (*getmainwindowhandle)();
  intptr_t (*setmessagehandler)(intptr_t message, intptr_t handler);
  intptr_t (*getmessagehandler)(intptr_t message);
  intptr_t (*halsetddraw)(void* ddraw);
  intptr_t (*hallock)(intptr_t flag);
  intptr_t (*halmessage)(int32_t kind, const char* text);
  intptr_t (*halnotify)(int32_t code, intptr_t value);
};
extern const VortelServices vortelservices;

// The live call table, the driver slots and the current slot.
extern VortelDriver vortellive;
extern VortelDriver vorteldrivers[8];
extern int vortelslot;

int setvorteldriver(const char* name);
int VORTEL_opendll(const char* name);
void VORTEL_closedll();
void selectvorteldriver(int n);
void storevorteldriver(int n);
// Installs the built-in back end's table in slot 1 (the Glide back end does so at start-up).
void setbuiltinvorteldriver(const VortelDriver& driver);

int openhal(int mode);
int closehal(int closewindow);
int inithal();
void restorehal();
int halisopen();

int fxinitgraphics(int32_t width, int32_t height, int32_t depth);
void fxclosegraphics();
int fxlockwindow(WindowDesc* window);
void fxpageflip();
void fxmakedisplaywindow(int surface, void* handle, WindowDesc* window);
void fxsetdisplaysize(int32_t width, int32_t height, int32_t depth);
int fxlocksurface(WindowDesc* window, int surface);
void fxunlock();
CRITICAL_SECTION* fxabortdisplay();

// The module's mode number for a display size.
int32_t vortelmodefor(int32_t width, int32_t height);
// Window depth of a lock record's pixel-format code.
int vortelformatdepth(int32_t format);

// How often the exit routine that closes graphics has been registered (once at most).
int vortelexitregistrations();

// Saved current-window copy that fxinitgraphics removes (the window code keeps it).
extern WindowDesc* savedcurrentwindow;

// The narrow seam between the framework's user-interface layer (display manager, pointer, input state, fonts,
// handlers) and the parts of the game it only reads or calls: the screen and activity flags the window
// procedure keeps, the game's file loader, the front end's shell animation and shadow frame. The game fills
// these in as its parts start; the defaults serve tests and a program that has not set them.
#pragma once

#include <cstdint>

#include "framework/memmgr.h"
#include "framework/utils.h"
#include "windows.h"

struct WindowDesc;
struct ImageRecord;

struct UiEnvironment {
  int32_t screenWidth = 640, screenHeight = 480;
  int32_t sizeSetting = 0;      // 0 = 640 x 480 ... 4 = 1600 x 1200
  int32_t appActive = 1;        // the application has the screen
  int32_t hardwareDisplay = 0;  // the display runs through a hardware render module
  HWND mainWindow = nullptr;    // window whose input the polling routines remove (null: any of the thread)
  const char* fontFolder = "";  // where the standard and help fonts are read from
};
UiEnvironment& UiEnv();

// The game's file loader: a whole file into a new movable handle; 0 when it cannot be found or read.
using FileToHandleLoader = MemHandle (*)(const char* folder, const char* name, uint32_t flags);
void SetFileToHandleLoader(FileToHandleLoader loader);  // null: the plain disk loader below
MemHandle LoadFileToHandle(const char* folder, const char* name, uint32_t flags);

// The front end's shell animation, as far as the pointer uses it.
class ShellAnim {
 public:
  virtual ~ShellAnim() = default;
  virtual void Start() = 0;
  virtual void Stop(int erase) = 0;
  virtual void SetPosition(int32_t x, int32_t y) = 0;  // y unchanged when -1
  virtual void Draw() = 0;                             // into the current drawing window
};
// Makes the animation of a shape file in the front-end archive (values as the front end takes them), or one
// over the frames another animation owns (file null, `frames` that animation). Null on failure.
using ShellAnimFactory = ShellAnim* (*)(const char* file, ShellAnim* frames, int a, int b, int c, int d);
void SetShellAnimFactory(ShellAnimFactory factory);  // null: the plain built-in arrow
ShellAnim* MakeShellAnim(const char* file, ShellAnim* frames, int a, int b, int c, int d);

// The front end's darkened frame round a rectangle; null: a plain 3-pixel black frame.
using ShadowFrameDrawer = void (*)(const MARect& rect, int32_t width, ImageRecord* buffer);
void SetShadowFrameDrawer(ShadowFrameDrawer drawer);
void DrawShadowFrame(const MARect& rect, int32_t width, ImageRecord* buffer);

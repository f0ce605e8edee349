// Display drivers of the host: how the shown window reaches the player. Drivers sit in one table, tried in
// order (a real screen first, headless last); the host keeps the shared state (bound window, pending work,
// last frame) and calls a driver only on the thread that owns the shown window.
#pragma once

#include <span>

#include "winapi/host/host.h"

namespace winapi::host {

struct DisplayDriver {
  const char* name = nullptr;  // the WINAPI_HOST value that asks for it
  // Chosen without being asked by name only when this answers true (a screen to show on is there).
  bool (*available)() = nullptr;
  // Null for a driver that only keeps frames in memory: it has no window and nothing to pump. Otherwise, on the
  // owner thread: make the window for `bound`; false lets the host fall back to the next driver.
  bool (*open)(HWND bound) = nullptr;
  void (*close)() = nullptr;
  // The shown window's title, visibility or minimised state changed.
  void (*windowChanged)(HWND bound) = nullptr;
  void (*showCursor)(bool shown) = nullptr;
  void (*warpCursor)(int clientX, int clientY) = nullptr;
  // Turns the window system's events into input for `bound`; true when the picture must be drawn again.
  bool (*pumpEvents)(HWND bound) = nullptr;
  void (*showFrame)(const Frame& frame) = nullptr;
};

extern const DisplayDriver kHeadlessDisplay;
#ifdef WINAPI_HAVE_SDL2
extern const DisplayDriver kSdlDisplay;
#endif

// Every driver built in, in the order they are tried; the last one always works.
std::span<const DisplayDriver* const> DisplayDrivers();

// The driver for `choice` (WINAPI_HOST, may be null): the one of that name when it is built in, otherwise the
// first whose `available` answers true. `after` starts the search behind that driver (fall-back after a failed
// open); the last driver is the answer when nothing else fits.
const DisplayDriver* ChooseDisplayDriver(const char* choice, const DisplayDriver* after = nullptr);

}  // namespace winapi::host

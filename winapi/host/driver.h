// Display drivers of the host: how the shown window reaches the player. Drivers sit in one table, tried in
// order (a real screen first, headless last); the host keeps the shared state (bound window, pending work,
// last frame) and calls a driver only on the thread that owns the shown window.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// The driver for `choice` (may be null) in `drivers`: the one of that name, otherwise the first whose `available`
// answers true, searching behind `after` when given; the last driver when nothing else fits.
template <typename Driver>
const Driver* ChooseDriver(std::span<const Driver* const> drivers, const char* choice, const Driver* after) {
  auto from = drivers.begin();
  if (after) {
    from = std::find(drivers.begin(), drivers.end(), after);
    if (from != drivers.end()) ++from;
  } else if (choice) {
    for (const Driver* driver : drivers)
      if (std::strcmp(driver->name, choice) == 0) return driver;
  }
  for (auto it = from; it != drivers.end(); ++it)
    if ((*it)->available()) return *it;
  return drivers.back();
}

// The driver for `choice` (WINAPI_HOST, may be null): the one of that name when it is built in, otherwise the
// first whose `available` answers true. `after` starts the search behind that driver (fall-back after a failed
// open); the last driver is the answer when nothing else fits.
const DisplayDriver* ChooseDisplayDriver(const char* choice, const DisplayDriver* after = nullptr);

// Audio drivers: how the host's mix (audio.h) reaches the player. Tried in order, SDL first, the null device last.
struct AudioDriver {
  const char* name = nullptr;  // the WINAPI_AUDIO value that asks for it
  bool (*available)() = nullptr;
  // Starts a device of `rate` Hz, 16-bit stereo, that takes its frames with AudioPull from a thread of its own;
  // false lets the host fall back to the next driver. Null for the device that plays at the clock's pace.
  bool (*open)(int rate) = nullptr;
  void (*close)() = nullptr;
};

extern const AudioDriver kNullAudio;
#ifdef WINAPI_HAVE_SDL2
extern const AudioDriver kSdlAudio;
#endif

std::span<const AudioDriver* const> AudioDrivers();

// For a pulling driver, on its own thread: copies the next `frames` frames of the mix to `out` (interleaved
// stereo) and counts them played; silence past what is queued, which does not count.
void AudioPull(int16_t* out, int frames);

}  // namespace winapi::host

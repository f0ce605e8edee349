// The host shows one window of the stand-in platform to the player (SDL2) or keeps its frames in memory
// (headless). SDL video calls happen only on the thread that owns the shown window: calls from other threads
// leave work that the owner thread picks up the next time it waits for messages.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "windows.h"

namespace winapi::host {

bool Headless();

// The window that the host shows: the first top-level window made visible or given to DirectDraw.
void Bind(HWND window);
HWND BoundWindow();
// The shown window was destroyed (called on its own thread).
void Unbind(HWND window);
// Title, size, visibility or minimised state of the window changed.
void WindowChanged(HWND window);

// One picture: 0x00RRGGBB pixels, rows packed.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};
// The display stand-in hands the host a function that renders the visible picture; the host calls it when a
// frame is due (at once when headless, on the window's thread with SDL2). It returns false when there is
// nothing to show.
void SetFrameSource(std::function<bool(Frame* frame)> source);
// The picture changed (flip, blit or unlock of the visible surface, palette change).
void FrameChanged();

void WarpCursor(int clientX, int clientY);
void CursorChanged();

// On the owner thread: true when this thread owns the shown window; Pump then handles pending work and
// window-system events (as input messages).
bool IsHostThread();
void Pump();

// Forgets captured frames (testing).
void ResetHost();

}  // namespace winapi::host

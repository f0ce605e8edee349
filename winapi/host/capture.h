// The host's microphone through SDL2's capture (WINAPI_WAVE_IN=sdl): a device of the recording's rate, 16-bit
// mono, converted by SDL from what the card gives. SDL_AUDIODRIVER=disk reads it from SDL_DISKAUDIOFILEIN, dummy
// hears silence. Built only with SDL2; without it there is no such microphone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace winapi::host {

// A paused capture device; 0 when there is none.
uint32_t CaptureOpen(int rate);
void CapturePause(uint32_t device, bool paused);
// Takes up to `max` of the samples heard so far.
size_t CaptureTake(uint32_t device, int16_t* out, size_t max);
void CaptureClose(uint32_t device);

}  // namespace winapi::host

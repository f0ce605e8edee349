// The SDL2 audio driver: a device of the host's rate whose callback only copies the host's mix from its ring.
// SDL_AUDIODRIVER=dummy or disk runs it without a sound card. Built only when SDL2 is installed.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "winapi/host/driver.h"

namespace winapi::host {

namespace {

SDL_AudioDeviceID gDevice = 0;

bool SdlAudioAvailable() {
  for (const char* name : {"SDL_AUDIODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

void Callback(void*, Uint8* stream, int bytes) { AudioPull(reinterpret_cast<int16_t*>(stream), bytes / 4); }

bool SdlAudioOpen(int rate) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "host: SDL audio unavailable (%s)\n", SDL_GetError());
    return false;
  }
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = 512;
  want.callback = Callback;
  SDL_AudioSpec have{};
  gDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);  // SDL converts to what the card takes
  if (!gDevice) {
    std::fprintf(stderr, "host: no audio device (%s)\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(gDevice, 0);
  return true;
}

void SdlAudioClose() {
  if (gDevice) SDL_CloseAudioDevice(gDevice);
  gDevice = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

const AudioDriver kSdlAudio{.name = "sdl", .available = SdlAudioAvailable, .open = SdlAudioOpen,
                            .close = SdlAudioClose};

}  // namespace winapi::host

namespace winapi::host {

uint32_t CaptureOpen(int rate) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "host: SDL audio unavailable (%s)\n", SDL_GetError());
    return 0;
  }
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 512;
  SDL_AudioSpec have{};
  // No callback: what is heard queues up for CaptureTake.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 1, &want, &have, 0);
  if (!device) {
    std::fprintf(stderr, "host: no capture device (%s)\n", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  return device;
}

void CapturePause(uint32_t device, bool paused) { SDL_PauseAudioDevice(device, paused ? 1 : 0); }

size_t CaptureTake(uint32_t device, int16_t* out, size_t max) {
  return SDL_DequeueAudio(device, out, static_cast<Uint32>(max * sizeof(int16_t))) / sizeof(int16_t);
}

void CaptureClose(uint32_t device) {
  SDL_CloseAudioDevice(device);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace winapi::host

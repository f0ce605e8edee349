// The host's audio output: one device, fed by any number of streams (the sound module, later the CD-audio and
// wave-out stand-ins) that the host mixes into it. Streams queue PCM in their own format; the host converts each
// to the device's (16-bit stereo) and adds it in. A driver plays the mix: SDL2 audio, whose callback only copies
// from the host's ring, or the null device, which plays at the pace of the stand-in's clock (so a virtual clock
// makes the output exact). WINAPI_AUDIO_FILE=<path> also writes everything played as a WAV file.
#pragma once

#include <cstddef>

namespace winapi::host {

// A stream of `rate` Hz (8000..48000), 1 or 2 channels, 8-bit unsigned or 16-bit signed samples; 0 when refused.
// The first stream of the process fixes the device's rate (WINAPI_AUDIO_RATE chooses it instead).
int AudioOpen(int rate, int channels, int bits);
// Queues whole frames; returns the bytes taken (fewer when the host's ring is full), 0 for an unknown stream.
std::size_t AudioQueue(int stream, const void* data, std::size_t bytes);
// Bytes of this stream queued and not yet played.
std::size_t AudioQueued(int stream);
// Forgets what the stream queued and not yet played; the device closes with its last stream.
void AudioClose(int stream);

}  // namespace winapi::host

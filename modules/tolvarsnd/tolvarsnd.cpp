// The sound driver module over the host's audio output. It plays the library's software mix only: no hardware
// 3D buffers, no recording. Its service runs at a fixed 100 Hz of audio time: for every hundredth of a second
// that falls due, the library's server callback, then the mix callback for that hundredth's frames, handed to
// the host. So the library's fades and envelopes count hundredths of a second of sound.
#include <cstdint>
#include <vector>

#include "platformlib/sound/sndmodule.h"
#include "winapi/host/audio.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace sndmodule;

constexpr int kVersion = 0x00100001;
// Every output format; rates 11,025 to 44,100 Hz.
constexpr int kCaps = 0x0F | 0x200 | 0x400 | 0x800 | 0x1000 | 0x2000;
// Hundredths kept queued ahead of the device: a timer tick late, and a device's own buffer, without a gap.
constexpr uint64_t kAhead = 8;

MixCallback mix = nullptr;
ServeCallback server = nullptr;

// The device, while started. The library calls start, stop and serve one at a time (the audio lock, or the
// window thread while the audio thread is not running).
int stream = 0;
int rate = 0;
int frameBytes = 0;
uint64_t hundredths = 0;  // made since the start
std::vector<uint8_t> block;

// Frames of hundredth n: the rate need not divide by 100.
int FramesOf(uint64_t n) {
  return static_cast<int>((n + 1) * static_cast<uint64_t>(rate) / 100 - n * static_cast<uint64_t>(rate) / 100);
}

}  // namespace

EXPORT int iSNDdllversion() { return kVersion; }

EXPORT int iSNDdirectsetfunctions(MixCallback m, ChannelCallback, PrintCallback, PrintCallback, ServeCallback s,
                                  PrintCallback, PositionCallback, ConvertCallback) {
  mix = m;
  server = s;
  return 0;
}

EXPORT int iSNDdirectcaps(void*) { return kCaps; }

EXPORT int iSNDdirectstart(int mode, void*) {
  if (stream) return 0;
  const int channels = mode & (0x08 | 0x02) ? 2 : 1;
  const int bits = mode & 0x08 ? 16 : mode & 0x02 ? 8 : mode & 0x04 ? 16 : 8;
  rate = sndmodule::moderate(mode);
  if (!rate || !(mode & 0x0F)) return -1;
  stream = winapi::host::AudioOpen(rate, channels, bits);
  if (!stream) return -1;
  frameBytes = channels * bits / 8;
  hundredths = 0;
  return 0;
}

EXPORT int iSNDdirectstop() {
  if (stream) winapi::host::AudioClose(stream);
  stream = 0;
  return 0;
}

EXPORT int iSNDdirectserve() {
  if (!stream || !mix) return 0;
  // Whatever the pace of the calls, at most the look-ahead is made in one.
  for (uint64_t made = 0; made < kAhead; ++made) {
    uint64_t ahead = 0;
    for (uint64_t n = hundredths; n < hundredths + kAhead; ++n) ahead += static_cast<uint64_t>(FramesOf(n));
    if (winapi::host::AudioQueued(stream) >= ahead * static_cast<uint64_t>(frameBytes)) break;
    const int frames = FramesOf(hundredths);
    if (server) server();
    block.assign(static_cast<size_t>(frames * frameBytes), 0);
    mix(block.data(), frames);
    winapi::host::AudioQueue(stream, block.data(), block.size());
    ++hundredths;
  }
  return 0;
}

// No recording.
EXPORT int iSNDdirectrecordstart(int, int, int, int) { return -1; }
EXPORT int iSNDdirectrecordpacket(void*) { return -1; }
EXPORT int iSNDdirectrecordstop() { return 0; }

// No hardware 3D buffers: the library plays every voice on its mixer.
EXPORT void* iSNDdirectcreate3dbuf(int, int, int, int, int, int, const void*) { return nullptr; }
EXPORT int iSNDdirectremovebuf(void*) { return 0; }
EXPORT int iSNDdirectplay3d(void*, int, int, int, int, int, int) { return -1; }
EXPORT int iSNDdirectpos3d(int, int, int) { return -1; }
EXPORT int iSNDdirectvol(int, int) { return -1; }
EXPORT int iSNDdirectrate(int, int) { return -1; }
EXPORT int iSNDdirectstopbuf(int) { return -1; }

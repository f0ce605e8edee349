// Wave input and output and the "waveaudio" device. The microphone is a list of 16-bit mono samples (a WAV file,
// silence, or a test's), converted to the opened format; a thread of the device fills the queued buffers at the
// format's byte rate as the stand-in's clock goes.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mmsystem.h"
#include "winapi/host/capture.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"
#include "winapi/winmm/waveaudio.h"
#include "winapi/winmm/wavfile.h"

struct WaveInDevice {
  WAVEFORMATEX format{};
  std::vector<int16_t> source;  // what the microphone hears, mono
  int sourceRate = 8000;
  std::mutex lock;
  std::vector<WAVEHDR*> queue;
  bool started = false;
  uint64_t frames = 0;        // frames recorded since the first start
  uint64_t clockFrames = 0;   // frames due at `since`
  DWORD since = 0;
  std::thread thread;
  std::atomic<bool> stop{false};
  uint32_t capture = 0;  // the host's microphone, when it records
};

struct WaveOutDevice {
  WAVEFORMATEX format{};
};

namespace {

struct Microphone {
  std::mutex lock;
  bool testSamples = false;
  int rate = 0;
  std::vector<int16_t> samples;
  int devices = -1;  // -1: from the environment; else bit 0 input, bit 1 output
  std::set<WaveInDevice*> inputs;
  std::set<WaveOutDevice*> outputs;
};

Microphone& Mic() {
  static Microphone m;
  return m;
}

bool EnvNone(const char* name) {
  const char* v = std::getenv(name);
  return v && std::strcmp(v, "none") == 0;
}

bool HasInput() {
  Microphone& m = Mic();
  return m.devices >= 0 ? (m.devices & 1) != 0 : !EnvNone("WINAPI_WAVE_IN");
}

bool HasOutput() {
  Microphone& m = Mic();
  return m.devices >= 0 ? (m.devices & 2) != 0 : !EnvNone("WINAPI_WAVE_OUT");
}

// The microphone's samples: the test's, else the host's microphone (WINAPI_WAVE_IN=sdl), else the WAV file of
// WINAPI_WAVE_IN (mixed to mono), else silence.
void LoadSource(WaveInDevice* d) {
  Microphone& m = Mic();
  if (m.testSamples) {
    d->source = m.samples;
    d->sourceRate = m.rate;
    return;
  }
  const char* path = std::getenv("WINAPI_WAVE_IN");
  if (!path || !*path || std::strcmp(path, "silence") == 0) return;
  if (std::strcmp(path, "sdl") == 0) {
#ifdef WINAPI_HAVE_SDL2
    d->capture = winapi::host::CaptureOpen(static_cast<int>(d->format.nSamplesPerSec));
#endif
    if (!d->capture) std::fprintf(stderr, "winapi: no microphone of the host; the microphone is silent\n");
    return;
  }
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  winapi::WavData wav;
  if (!winapi::ParseWav(bytes.data(), bytes.size(), &wav)) {
    std::fprintf(stderr, "winapi: WINAPI_WAVE_IN %s is not a PCM WAV file; the microphone is silent\n", path);
    return;
  }
  const size_t frameBytes = static_cast<size_t>(wav.channels * wav.bits / 8);
  const size_t count = wav.samples.size() / frameBytes;
  d->source.resize(count);
  for (size_t i = 0; i < count; ++i) {
    int sum = 0;
    for (int c = 0; c < wav.channels; ++c) {
      const uint8_t* p = wav.samples.data() + i * frameBytes + static_cast<size_t>(c * wav.bits / 8);
      sum += wav.bits == 8 ? (p[0] - 128) * 256 : static_cast<int16_t>(p[0] | p[1] << 8);
    }
    d->source[i] = static_cast<int16_t>(sum / wav.channels);
  }
  d->sourceRate = wav.rate;
}

bool FormatOk(const WAVEFORMATEX* f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) && f->nSamplesPerSec >= 8000 &&
         f->nSamplesPerSec <= 48000;
}

uint32_t FrameBytes(const WAVEFORMATEX& f) { return static_cast<uint32_t>(f.nChannels * f.wBitsPerSample / 8); }

// One mono sample as a frame of the device's format.
void PutSample(const WaveInDevice* d, int16_t s, uint8_t* out) {
  for (int c = 0; c < d->format.nChannels; ++c) {
    if (d->format.wBitsPerSample == 8) {
      *out++ = static_cast<uint8_t>((s >> 8) + 128);
    } else {
      *out++ = static_cast<uint8_t>(s);
      *out++ = static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8);
    }
  }
}

// Frame n of the recording in the device's format.
void WriteFrame(WaveInDevice* d, uint64_t n, uint8_t* out) {
  const uint64_t at = n * static_cast<uint64_t>(d->sourceRate) / d->format.nSamplesPerSec;
  PutSample(d, at < d->source.size() ? d->source[static_cast<size_t>(at)] : 0, out);
}

// The buffer at the front is full: it goes back to the program.
void BufferDone(WaveInDevice* d) {
  WAVEHDR* h = d->queue.front();
  h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  d->queue.erase(d->queue.begin());
}

// Under the device's lock: what the host's microphone heard goes into the queued buffers, as it comes.
void FillFromCapture(WaveInDevice* d) {
#ifdef WINAPI_HAVE_SDL2
  const uint32_t frameBytes = FrameBytes(d->format);
  int16_t heard[512];
  while (!d->queue.empty()) {
    WAVEHDR* h = d->queue.front();
    const uint32_t room = (h->dwBufferLength - h->dwBytesRecorded) / frameBytes;
    const size_t n = winapi::host::CaptureTake(d->capture, heard, std::min<size_t>(room, std::size(heard)));
    if (n == 0) return;
    for (size_t i = 0; i < n; ++i)
      PutSample(d, heard[i], reinterpret_cast<uint8_t*>(h->lpData) + h->dwBytesRecorded + i * frameBytes);
    d->frames += n;
    h->dwBytesRecorded = h->dwBytesRecorded + static_cast<DWORD>(n * frameBytes);
    if ((h->dwBufferLength - h->dwBytesRecorded) < frameBytes) BufferDone(d);
  }
#else
  (void)d;
#endif
}

// Under the device's lock: what the clock says was heard since the last fill goes into the queued buffers.
void Fill(WaveInDevice* d) {
  if (!d->started) return;
  if (d->capture) return FillFromCapture(d);
  const DWORD now = GetTickCount();
  const uint64_t due = d->clockFrames + static_cast<uint64_t>(now - d->since) * d->format.nSamplesPerSec / 1000;
  const uint32_t frameBytes = FrameBytes(d->format);
  while (d->frames < due && !d->queue.empty()) {
    WAVEHDR* h = d->queue.front();
    const uint32_t room = (h->dwBufferLength - h->dwBytesRecorded) / frameBytes;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(room, due - d->frames));
    for (uint32_t i = 0; i < n; ++i)
      WriteFrame(d, d->frames + i, reinterpret_cast<uint8_t*>(h->lpData) + h->dwBytesRecorded + i * frameBytes);
    d->frames += n;
    h->dwBytesRecorded = h->dwBytesRecorded + n * frameBytes;
    if ((h->dwBufferLength - h->dwBytesRecorded) < frameBytes) BufferDone(d);
  }
  // Without a buffer the sound is lost, as on a real card.
  if (d->queue.empty()) d->frames = std::max(d->frames, due);
}

void Run(WaveInDevice* d) {
  while (!d->stop) {
    {
      std::lock_guard<std::mutex> hold(d->lock);
      Fill(d);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool Known(WaveInDevice* d) {
  std::lock_guard<std::mutex> hold(Mic().lock);
  return Mic().inputs.count(d) != 0;
}

bool Injected(const char* name, MMRESULT* result) {
  uint32_t error = MMSYSERR_ERROR;
  if (!winapi::testing::ShouldFail(name, &error)) return false;
  *result = error;
  return true;
}

}  // namespace

UINT waveInGetNumDevs() { return HasInput() ? 1 : 0; }
UINT waveOutGetNumDevs() { return HasOutput() ? 1 : 0; }

MMRESULT waveInOpen(LPHWAVEIN device, UINT id, LPCWAVEFORMATEX format, DWORD_PTR, DWORD_PTR, DWORD flags) {
  if (device) *device = nullptr;
  MMRESULT injected;
  if (Injected("waveInOpen", &injected)) return injected;
  if (!HasInput() || (id != 0 && id != WAVE_MAPPER)) return MMSYSERR_BADDEVICEID;
  if (!FormatOk(format)) return WAVERR_BADFORMAT;
  if (flags != CALLBACK_NULL || !device) return MMSYSERR_INVALPARAM;
  Microphone& m = Mic();
  std::lock_guard<std::mutex> hold(m.lock);
  // One recording at a time, as on a card with one input.
  if (!m.inputs.empty()) return MMSYSERR_ALLOCATED;
  auto* d = new WaveInDevice;
  d->format = *format;
  LoadSource(d);
  d->thread = std::thread(Run, d);
  m.inputs.insert(d);
  *device = d;
  return MMSYSERR_NOERROR;
}

MMRESULT waveInPrepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size) {
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  if (!header || size < sizeof(WAVEHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveInUnprepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size) {
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags = header->dwFlags & ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveInAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT size) {
  MMRESULT injected;
  if (Injected("waveInAddBuffer", &injected)) return injected;
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  std::lock_guard<std::mutex> hold(device->lock);
  Fill(device);
  header->dwBytesRecorded = 0;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  device->queue.push_back(header);
  return MMSYSERR_NOERROR;
}

MMRESULT waveInStart(HWAVEIN device) {
  MMRESULT injected;
  if (Injected("waveInStart", &injected)) return injected;
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  std::lock_guard<std::mutex> hold(device->lock);
  if (device->started) return MMSYSERR_NOERROR;
  device->started = true;
#ifdef WINAPI_HAVE_SDL2
  if (device->capture) winapi::host::CapturePause(device->capture, false);
#endif
  device->since = GetTickCount();
  device->clockFrames = device->frames;
  return MMSYSERR_NOERROR;
}

namespace {
// The buffer recording now ends with what it holds; with `all` the waiting ones end too (empty).
void EndBuffers(WaveInDevice* d, bool all) {
  Fill(d);
  d->started = false;
#ifdef WINAPI_HAVE_SDL2
  if (d->capture) winapi::host::CapturePause(d->capture, true);
#endif
  while (!d->queue.empty()) {
    WAVEHDR* h = d->queue.front();
    if (!all && h->dwBytesRecorded == 0) break;
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    d->queue.erase(d->queue.begin());
    if (!all) break;
  }
}
}  // namespace

MMRESULT waveInStop(HWAVEIN device) {
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  std::lock_guard<std::mutex> hold(device->lock);
  EndBuffers(device, false);
  return MMSYSERR_NOERROR;
}

MMRESULT waveInReset(HWAVEIN device) {
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  std::lock_guard<std::mutex> hold(device->lock);
  EndBuffers(device, true);
  device->frames = 0;
#ifdef WINAPI_HAVE_SDL2
  // What the host's microphone heard before the reset is not the next recording's.
  int16_t sink[512];
  if (device->capture)
    while (winapi::host::CaptureTake(device->capture, sink, std::size(sink)) > 0) {
    }
#endif
  return MMSYSERR_NOERROR;
}

MMRESULT waveInClose(HWAVEIN device) {
  if (!Known(device)) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> hold(device->lock);
    if (!device->queue.empty()) return WAVERR_STILLPLAYING;
  }
  {
    std::lock_guard<std::mutex> hold(Mic().lock);
    Mic().inputs.erase(device);
  }
  device->stop = true;
  device->thread.join();
#ifdef WINAPI_HAVE_SDL2
  if (device->capture) winapi::host::CaptureClose(device->capture);
#endif
  delete device;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutOpen(LPHWAVEOUT device, UINT id, LPCWAVEFORMATEX format, DWORD_PTR, DWORD_PTR, DWORD flags) {
  if (device) *device = nullptr;
  MMRESULT injected;
  if (Injected("waveOutOpen", &injected)) return injected;
  if (!HasOutput() || (id != 0 && id != WAVE_MAPPER)) return MMSYSERR_BADDEVICEID;
  if (!FormatOk(format)) return WAVERR_BADFORMAT;
  if (flags != CALLBACK_NULL || !device) return MMSYSERR_INVALPARAM;
  auto* d = new WaveOutDevice;
  d->format = *format;
  std::lock_guard<std::mutex> hold(Mic().lock);
  Mic().outputs.insert(d);
  *device = d;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT device) {
  std::lock_guard<std::mutex> hold(Mic().lock);
  if (!Mic().outputs.erase(device)) return MMSYSERR_INVALHANDLE;
  delete device;
  return MMSYSERR_NOERROR;
}

namespace winapi {

MCIERROR MciAnswer(const std::string& text, LPSTR out, UINT length) {
  if (out && length > 0) {
    const size_t n = std::min<size_t>(text.size(), length - 1);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
  }
  return 0;
}

namespace {

std::mutex gAliasLock;
std::set<std::string> gAliases;

}  // namespace

// "open new type waveaudio alias A [buffer N]", "capability A can play|can record", "close A [wait]".
bool WaveAudioCommand(const std::vector<std::string>& w, LPSTR out, UINT length, MCIERROR* result) {
  std::lock_guard<std::mutex> hold(gAliasLock);
  if (w[0] == "open") {
    const auto type = std::find(w.begin(), w.end(), "type");
    const bool wave = w[1] == "waveaudio" || (type != w.end() && type + 1 != w.end() && type[1] == "waveaudio");
    if (!wave) return false;
    const auto alias = std::find(w.begin(), w.end(), "alias");
    const std::string name = alias != w.end() && alias + 1 != w.end() ? alias[1] : "waveaudio";
    if (!HasInput() && !HasOutput()) *result = MCIERR_DEVICE_NOT_READY;
    else *result = gAliases.insert(name).second ? 0 : MCIERR_DEVICE_OPEN;
    return true;
  }
  if (!gAliases.count(w[1])) return false;
  if (w[0] == "close") {
    gAliases.erase(w[1]);
    *result = 0;
    return true;
  }
  if (w[0] == "capability" && w.size() >= 4 && w[2] == "can") {
    if (w[3] == "play") *result = MciAnswer(HasOutput() ? "true" : "false", out, length);
    else if (w[3] == "record") *result = MciAnswer(HasInput() ? "true" : "false", out, length);
    else *result = MciAnswer("false", out, length);
    return true;
  }
  *result = MCIERR_UNRECOGNIZED_COMMAND;
  return true;
}

}  // namespace winapi

namespace winapi::testing {
namespace {
void ResetWave() {
  std::lock_guard<std::mutex> hold(Mic().lock);
  Mic().testSamples = false;
  Mic().samples.clear();
  Mic().devices = -1;
}
void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetWave), true);
  (void)registered;
}
}  // namespace

void SetWaveInSamples(int rate, std::vector<int16_t> samples) {
  RegisterReset();
  Microphone& m = Mic();
  std::lock_guard<std::mutex> hold(m.lock);
  m.testSamples = rate > 0;
  m.rate = rate;
  m.samples = std::move(samples);
}

void SetWaveDevices(bool input, bool output) {
  RegisterReset();
  std::lock_guard<std::mutex> hold(Mic().lock);
  Mic().devices = (input ? 1 : 0) | (output ? 2 : 0);
}

}  // namespace winapi::testing

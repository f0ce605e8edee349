// The host's audio output: streams mixed into one ring of the device's frames, played by an audio driver.
#include "winapi/host/audio.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "winapi/host/driver.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"
#include "winapi_files.h"
#include "windows.h"

namespace winapi::host {

// Plays at the pace of the stand-in's clock, into nothing (or the capture and the WAV file).
const AudioDriver kNullAudio{.name = "null", .available = [] { return true; }};

std::span<const AudioDriver* const> AudioDrivers() {
  static const AudioDriver* const drivers[] = {
#ifdef WINAPI_HAVE_SDL2
      &kSdlAudio,
#endif
      &kNullAudio,
  };
  return drivers;
}

namespace {

constexpr uint64_t kRingFrames = 1u << 16;  // about 1.5 s at 44,100 Hz: far more than anyone queues

struct Stream {
  int rate = 0;
  int channels = 0;
  int bits = 0;
  uint64_t write = 0;   // the device frame its next frame lands on
  uint32_t step = 0;    // source frames per device frame, 16.16
  uint32_t phase = 0;   // position of the next device frame, 16.16 source frames from `previous` (silence at first)
  int32_t previous[2] = {0, 0};
};

struct Audio {
  std::mutex lock;
  const AudioDriver* driver = nullptr;  // while the device is open
  int rate = 0;                         // fixed by the first stream of the process
  std::vector<int32_t> ring = std::vector<int32_t>(kRingFrames * 2);
  uint64_t played = 0;   // frames the device has played
  uint64_t retired = 0;  // frames played and cleared from the ring
  uint64_t high = 0;     // end of what any stream queued
  int64_t clockBase = 0;       // null device: the clock (microseconds) when it opened
  uint64_t clockFrames = 0;    // null device: frames of time passed since then
  std::map<int, Stream> streams;
  int nextId = 1;
  bool capture = false;
  std::vector<int16_t> captured;  // what was played, while capturing or writing a file
};

Audio& A() {
  static Audio& audio = *new Audio;  // never destroyed: a driver's thread may outlive exit
  return audio;
}

const char* FileName() {
  const char* path = std::getenv("WINAPI_AUDIO_FILE");
  return path && *path ? path : nullptr;
}

int64_t Microseconds() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int16_t Clamp(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

// With the lock held: the null device plays the frames its clock says have passed (never more than is queued:
// an empty queue waits, as a device's does).
void Advance(Audio& a) {
  if (!a.driver || a.driver->open) return;
  const uint64_t now = static_cast<uint64_t>(Microseconds() - a.clockBase) * static_cast<uint64_t>(a.rate) / 1000000;
  const uint64_t passed = now > a.clockFrames ? now - a.clockFrames : 0;
  a.clockFrames = std::max(now, a.clockFrames);
  a.played += std::min(passed, a.high - a.played);
}

// With the lock held: frames played leave the ring (kept when capturing).
void Retire(Audio& a) {
  const bool keep = a.capture || FileName();
  for (; a.retired < a.played; ++a.retired) {
    int32_t* frame = &a.ring[(a.retired % kRingFrames) * 2];
    if (keep) {
      a.captured.push_back(Clamp(frame[0]));
      a.captured.push_back(Clamp(frame[1]));
    }
    frame[0] = frame[1] = 0;
  }
}

void PutLE(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Everything played so far, as a whole WAV file.
void WriteFile(const Audio& a) {
  const char* path = FileName();
  if (!path || !a.rate) return;
  const uint32_t bytes = static_cast<uint32_t>(a.captured.size() * 2);
  std::string wav = "RIFF";
  PutLE(&wav, 36 + bytes, 4);
  wav += "WAVEfmt ";
  PutLE(&wav, 16, 4);
  PutLE(&wav, 1, 2);  // PCM
  PutLE(&wav, 2, 2);
  PutLE(&wav, static_cast<uint32_t>(a.rate), 4);
  PutLE(&wav, static_cast<uint32_t>(a.rate) * 4, 4);
  PutLE(&wav, 4, 2);
  PutLE(&wav, 16, 2);
  wav += "data";
  PutLE(&wav, bytes, 4);
  for (int16_t s : a.captured) PutLE(&wav, static_cast<uint16_t>(s), 2);
  if (SaveHostFileWhole(path, wav.data(), wav.size()) != 0) std::fprintf(stderr, "host: cannot write %s\n", path);
}

// With the lock held, when the first stream opens: a driver of the device's rate (the null device while the clock
// is virtual, so that output follows it exactly).
void OpenDevice(Audio& a) {
  a.played = a.retired = a.high = 0;
  std::fill(a.ring.begin(), a.ring.end(), 0);
  a.clockBase = Microseconds();
  a.clockFrames = 0;
  const AudioDriver* driver =
      ClockIsVirtual() ? &kNullAudio : ChooseDriver<AudioDriver>(AudioDrivers(), std::getenv("WINAPI_AUDIO"), nullptr);
  while (driver->open && !driver->open(a.rate)) {
    std::fprintf(stderr, "host: audio driver %s unavailable; trying the next\n", driver->name);
    driver = ChooseDriver<AudioDriver>(AudioDrivers(), nullptr, driver);
  }
  a.driver = driver;
}

int32_t SourceSample(const Stream& s, const uint8_t* frame, int channel) {
  const int c = s.channels == 2 ? channel : 0;
  if (s.bits == 8) return (static_cast<int32_t>(frame[c]) - 128) << 8;
  return static_cast<int16_t>(frame[2 * c] | (frame[2 * c + 1] << 8));
}

// Device frames that `frames` source frames make, given where the stream's conversion stands.
uint64_t DeviceFrames(const Stream& s, uint64_t frames, int deviceRate) {
  if (s.rate == deviceRate) return frames;
  const uint64_t end = frames << 16;
  return s.phase >= end ? 0 : (end - s.phase + s.step - 1) / s.step;
}

}  // namespace

void AudioPull(int16_t* out, int frames) {
  Audio& a = A();
  std::lock_guard guard(a.lock);
  const uint64_t have = std::min<uint64_t>(static_cast<uint64_t>(frames), a.high - a.played);
  for (uint64_t i = 0; i < have; ++i) {
    const int32_t* frame = &a.ring[((a.played + i) % kRingFrames) * 2];
    out[2 * i] = Clamp(frame[0]);
    out[2 * i + 1] = Clamp(frame[1]);
  }
  std::memset(out + 2 * have, 0, (static_cast<size_t>(frames) - have) * 4);
  a.played += have;
}

int AudioOpen(int rate, int channels, int bits) {
  if (rate < 8000 || rate > 48000 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return 0;
  Audio& a = A();
  std::lock_guard guard(a.lock);
  if (!a.rate) {
    const char* wanted = std::getenv("WINAPI_AUDIO_RATE");
    const int fixed = wanted ? std::atoi(wanted) : 0;
    a.rate = fixed >= 8000 && fixed <= 48000 ? fixed : rate;
  }
  if (a.streams.empty()) OpenDevice(a);
  Stream s;
  s.rate = rate;
  s.channels = channels;
  s.bits = bits;
  s.step = static_cast<uint32_t>((static_cast<uint64_t>(rate) << 16) / static_cast<uint64_t>(a.rate));
  Advance(a);
  s.write = a.played;
  const int id = a.nextId++;
  a.streams[id] = s;
  return id;
}

std::size_t AudioQueue(int stream, const void* data, std::size_t bytes) {
  Audio& a = A();
  std::lock_guard guard(a.lock);
  auto it = a.streams.find(stream);
  if (it == a.streams.end() || !data) return 0;
  Stream& s = it->second;
  const size_t frameBytes = static_cast<size_t>(s.channels * s.bits / 8);
  const size_t frames = bytes / frameBytes;
  Advance(a);
  Retire(a);
  s.write = std::max(s.write, a.played);
  // All or nothing: the ring holds far more than a stream keeps queued.
  if (s.write + DeviceFrames(s, frames, a.rate) > a.retired + kRingFrames) return 0;
  const uint8_t* in = static_cast<const uint8_t*>(data);
  auto add = [&](int32_t left, int32_t right) {
    int32_t* frame = &a.ring[(s.write % kRingFrames) * 2];
    frame[0] += left;
    frame[1] += right;
    ++s.write;
  };
  if (s.rate == a.rate) {
    for (size_t f = 0; f < frames; ++f) add(SourceSample(s, in + f * frameBytes, 0), SourceSample(s, in + f * frameBytes, 1));
  } else {
    // Linear interpolation between the frame before each position and the one after it.
    auto sample = [&](uint32_t index, int channel) {  // 0 is the frame before this call's first
      return index == 0 ? s.previous[channel] : SourceSample(s, in + (index - 1) * frameBytes, channel);
    };
    while ((s.phase >> 16) < frames) {
      const uint32_t whole = s.phase >> 16;
      const int64_t fraction = s.phase & 0xFFFF;
      int32_t out[2];
      for (int c = 0; c < 2; ++c) {
        const int32_t x = sample(whole, c);
        const int32_t y = sample(whole + 1, c);
        out[c] = x + static_cast<int32_t>(((y - x) * fraction) >> 16);
      }
      add(out[0], out[1]);
      s.phase += s.step;
    }
    if (frames) {
      s.phase -= static_cast<uint32_t>(frames << 16);
      for (int c = 0; c < 2; ++c) s.previous[c] = sample(static_cast<uint32_t>(frames), c);
    }
  }
  a.high = std::max(a.high, s.write);
  return frames * frameBytes;
}

std::size_t AudioQueued(int stream) {
  Audio& a = A();
  std::lock_guard guard(a.lock);
  auto it = a.streams.find(stream);
  if (it == a.streams.end()) return 0;
  Advance(a);
  const Stream& s = it->second;
  const uint64_t pending = s.write > a.played ? s.write - a.played : 0;
  const uint64_t frames = (pending * static_cast<uint64_t>(s.rate) + static_cast<uint64_t>(a.rate) - 1) /
                          static_cast<uint64_t>(a.rate);
  return frames * static_cast<uint64_t>(s.channels * s.bits / 8);
}

void AudioClose(int stream) {
  Audio& a = A();
  const AudioDriver* closing = nullptr;
  {
    std::lock_guard guard(a.lock);
    if (!a.streams.erase(stream)) return;
    if (!a.streams.empty()) return;
    Advance(a);
    Retire(a);
    WriteFile(a);
    closing = a.driver;
    a.driver = nullptr;
  }
  // Outside the lock: closing a pulling device waits for its callback, which takes it.
  if (closing && closing->close) closing->close();
  std::lock_guard guard(A().lock);
  a.high = a.played;
}

}  // namespace winapi::host

namespace winapi::testing {

void HostAudioCapture(bool on) {
  static const bool registered = [] {
    internal::OnReset([] {
      std::lock_guard guard(host::A().lock);
      host::A().capture = false;
      host::A().captured.clear();
    });
    return true;
  }();
  (void)registered;
  host::Audio& a = host::A();
  std::lock_guard guard(a.lock);
  host::Advance(a);
  host::Retire(a);
  a.capture = on;
  a.captured.clear();
}

bool HostAudio(HostAudioData* data) {
  host::Audio& a = host::A();
  std::lock_guard guard(a.lock);
  host::Advance(a);
  host::Retire(a);
  if (data) {
    data->rate = a.rate;
    data->samples = a.captured;
  }
  return a.rate != 0;
}

const char* HostAudioDriver() {
  host::Audio& a = host::A();
  std::lock_guard guard(a.lock);
  return a.driver ? a.driver->name : "";
}

}  // namespace winapi::testing

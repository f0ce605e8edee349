// The "cdaudio" device of the multimedia command strings: audio tracks are TRACKnn.WAV in the root of the
// emulated CD-ROM drive, played through the host's audio mix by a feeder thread that keeps about a quarter of a
// second queued. Positions follow what the host has played.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mmsystem.h"
#include "winapi/host/audio.h"
#include "winapi/winmm/waveaudio.h"
#include "winapi/winmm/wavfile.h"
#include "winapi_files.h"

namespace {

constexpr int kMaxTracks = 99;

struct Track {
  bool audio = false;
  winapi::WavData wav;
};

struct CdAudio {
  std::mutex lock;
  bool open = false;
  char letter = 0;
  std::vector<Track> tracks;  // [0] is track 1
  bool playing = false;
  int track = 1;             // the current track
  size_t offset = 0;         // bytes of the current track queued
  int stream = 0;
  std::thread feeder;
  std::atomic<bool> stopFeeder{false};

  ~CdAudio() { StopPlay(); }

  std::string Root() const { return std::string(1, letter) + ":\\"; }
  // A device asking about its drive never brings up the "insert a disk" box an empty drive gives a program.
  bool MediaPresent() const {
    if (!letter) return false;
    const UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    const bool present = GetFileAttributesA(Root().c_str()) != INVALID_FILE_ATTRIBUTES;
    SetErrorMode(old);
    return present;
  }

  // The disc's tracks: the highest TRACKnn.WAV names the count; numbers without a file are data tracks.
  void Scan() {
    tracks.clear();
    if (!MediaPresent()) return;
    int count = 0;
    std::vector<Track> found(kMaxTracks);
    for (int n = 1; n <= kMaxTracks; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "%sTRACK%02d.WAV", Root().c_str(), n);
      HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      const DWORD size = GetFileSize(h, nullptr);
      std::vector<uint8_t> bytes(size == INVALID_FILE_SIZE ? 0 : size);
      DWORD read = 0;
      const bool ok = !bytes.empty() && ReadFile(h, bytes.data(), size, &read, nullptr) && read == size;
      CloseHandle(h);
      if (ok && winapi::ParseWav(bytes.data(), bytes.size(), &found[n - 1].wav)) {
        found[n - 1].audio = true;
        count = n;
      }
    }
    found.resize(static_cast<size_t>(std::max(count, 1)));
    tracks = std::move(found);
  }

  size_t BytesPerSecond(const Track& t) const {
    return static_cast<size_t>(t.wav.rate) * static_cast<size_t>(t.wav.channels * t.wav.bits / 8);
  }
  size_t FrameBytes(const Track& t) const { return static_cast<size_t>(t.wav.channels * t.wav.bits / 8); }

  // Bytes of the current track already heard.
  size_t Played() const {
    const size_t queued = stream ? winapi::host::AudioQueued(stream) : 0;
    return offset > queued ? offset - queued : 0;
  }

  // The first audio track from `from` on; 0 when none.
  int NextAudio(int from) const {
    for (int n = std::max(from, 1); n <= static_cast<int>(tracks.size()); ++n)
      if (tracks[n - 1].audio) return n;
    return 0;
  }

  bool OpenTrack(int n, size_t at) {
    const Track& t = tracks[n - 1];
    if (stream) winapi::host::AudioClose(stream);
    stream = winapi::host::AudioOpen(t.wav.rate, t.wav.channels, t.wav.bits);
    track = n;
    offset = std::min(at - at % FrameBytes(t), t.wav.samples.size());
    return stream != 0;
  }

  // Runs while playing: keeps the host fed, moving on to the next audio track once one has been heard out.
  void Feed() {
    while (!stopFeeder) {
      {
        std::lock_guard<std::mutex> hold(lock);
        if (!playing) break;
        const Track& t = tracks[track - 1];
        const size_t ahead = BytesPerSecond(t) / 4;
        while (offset < t.wav.samples.size() && winapi::host::AudioQueued(stream) < ahead) {
          const size_t chunk = std::min(t.wav.samples.size() - offset, BytesPerSecond(t) / 20 / FrameBytes(t) * FrameBytes(t));
          const size_t taken = winapi::host::AudioQueue(stream, t.wav.samples.data() + offset, chunk);
          offset += taken;
          if (taken == 0) break;
        }
        if (offset >= t.wav.samples.size() && winapi::host::AudioQueued(stream) == 0) {
          const int next = NextAudio(track + 1);
          if (next == 0 || !OpenTrack(next, 0)) {
            playing = false;  // the music ran out
            break;
          }
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  void StopPlay() {
    {
      std::lock_guard<std::mutex> hold(lock);
      if (playing) offset = Played();
      playing = false;
    }
    stopFeeder = true;
    if (feeder.joinable()) feeder.join();
    stopFeeder = false;
    std::lock_guard<std::mutex> hold(lock);
    if (stream) winapi::host::AudioClose(stream);
    stream = 0;
  }
};

CdAudio gCd;

std::vector<std::string> Words(const char* command) {
  std::vector<std::string> words;
  std::istringstream in(command ? command : "");
  for (std::string w; in >> w;) {
    for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    words.push_back(w);
  }
  return words;
}

// "t:m:s:f" (missing fields 0); false when it is not that.
bool ParseTmsf(const std::string& text, int fields[4]) {
  fields[0] = fields[1] = fields[2] = fields[3] = 0;
  int i = 0;
  std::string part;
  for (size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == ':') {
      if (part.empty() || part.size() > 3 || i > 3) return false;
      fields[i++] = std::stoi(part);
      part.clear();
    } else if (std::isdigit(static_cast<unsigned char>(text[at]))) {
      part += text[at];
    } else {
      return false;
    }
  }
  return true;
}

char FindCdDrive() {
  const DWORD drives = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(drives & (1u << i))) continue;
    const char root[4] = {static_cast<char>('A' + i), ':', '\\', 0};
    if (GetDriveTypeA(root) == DRIVE_CDROM) return static_cast<char>('A' + i);
  }
  return 0;
}

}  // namespace

MCIERROR mciSendStringA(LPCSTR command, LPSTR out, UINT length, HWND) {
  if (out && length > 0) out[0] = 0;
  const std::vector<std::string> w = Words(command);
  if (w.size() < 2) return MCIERR_UNRECOGNIZED_COMMAND;
  if (MCIERROR wave = 0; winapi::WaveAudioCommand(w, out, length, &wave)) return wave;
  if (w[1] != "cdaudio") return MCIERR_INVALID_DEVICE_NAME;
  CdAudio& cd = gCd;
  const std::string& verb = w[0];
  if (verb == "open") {
    std::lock_guard<std::mutex> hold(cd.lock);
    cd.letter = FindCdDrive();
    if (!cd.letter) return MCIERR_INVALID_DEVICE_NAME;
    cd.open = true;
    cd.Scan();
    return 0;
  }
  if (!cd.open) return MCIERR_DEVICE_NOT_OPEN;
  if (verb == "close") {
    cd.StopPlay();
    cd.open = false;
    return 0;
  }
  if (verb == "set") return 0;  // the time format is always tmsf
  if (verb == "stop") {
    cd.StopPlay();
    return 0;
  }
  if (verb == "play") {
    int from[4] = {1, 0, 0, 0};
    if (w.size() >= 4 && w[2] == "from" && !ParseTmsf(w[3], from)) return MCIERR_OUTOFRANGE;
    cd.StopPlay();
    std::lock_guard<std::mutex> hold(cd.lock);
    cd.Scan();
    if (cd.tracks.empty()) return MCIERR_DEVICE_NOT_READY;
    const int first = cd.NextAudio(from[0]);
    if (first == 0) return MCIERR_OUTOFRANGE;
    const Track& t = cd.tracks[first - 1];
    // A position inside a data track starts the next audio track from its beginning.
    const size_t at = first == from[0] ? (static_cast<size_t>(from[1]) * 60 + static_cast<size_t>(from[2])) * cd.BytesPerSecond(t) +
                                             static_cast<size_t>(from[3]) * cd.BytesPerSecond(t) / 75
                                       : 0;
    if (!cd.OpenTrack(first, at)) return MCIERR_DEVICE_NOT_READY;
    cd.playing = true;
    cd.feeder = std::thread([&cd] { cd.Feed(); });
    return 0;
  }
  if (verb == "status" && w.size() >= 3) {
    std::lock_guard<std::mutex> hold(cd.lock);
    const std::string what = w[2] + (w.size() > 3 ? " " + w[3] : "") + (w.size() > 4 ? " " + w[4] : "");
    if (what == "media present") return winapi::MciAnswer(cd.MediaPresent() ? "true" : "false", out, length);
    if (what == "mode") return winapi::MciAnswer(!cd.MediaPresent() ? "not ready" : cd.playing ? "playing" : "stopped", out, length);
    if (!cd.MediaPresent()) return MCIERR_DEVICE_NOT_READY;
    if (cd.tracks.empty()) cd.Scan();
    if (what == "number of tracks") return winapi::MciAnswer(std::to_string(cd.tracks.size()), out, length);
    if (what == "current track") return winapi::MciAnswer(std::to_string(cd.track), out, length);
    if (what == "position") {
      if (cd.tracks.empty()) return MCIERR_DEVICE_NOT_READY;
      const Track& t = cd.tracks[std::clamp(cd.track, 1, static_cast<int>(cd.tracks.size())) - 1];
      const size_t bytes = cd.playing ? cd.Played() : cd.offset;
      const size_t perSecond = std::max<size_t>(cd.BytesPerSecond(t), 1);
      const size_t seconds = bytes / perSecond, frames = (bytes % perSecond) * 75 / perSecond;
      char text[32];
      std::snprintf(text, sizeof text, "%02d:%02zu:%02zu:%02zu", cd.track, seconds / 60, seconds % 60, frames);
      return winapi::MciAnswer(text, out, length);
    }
  }
  return MCIERR_UNRECOGNIZED_COMMAND;
}

#include "net/voiceproc.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "mmsystem.h"
#include "net/commlayer.h"
#include "platformlib/core/byteorder.h"
#include "winapi_files.h"

namespace net {

VoiceProcessor* Voice = nullptr;

namespace {

void Debug(const char* format, int value) {
  char text[96];
  std::snprintf(text, sizeof text, format, value);
  OutputDebugStringA(text);
}

WAVEFORMATEX Format(int kind) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = kind == 0 ? 11025 : 8000;
  f.wBitsPerSample = kind == 0 ? 8 : 16;
  f.nBlockAlign = static_cast<WORD>(f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  return f;
}

// Whether the waveaudio device of the multimedia strings can play.
bool WaveAudioCanPlay() {
  if (mciSendStringA("open new type waveaudio alias voice buffer 6", nullptr, 0, nullptr) != 0) return false;
  char play[32] = {}, record[32] = {};
  mciSendStringA("capability voice can play", play, sizeof play, nullptr);
  mciSendStringA("capability voice can record", record, sizeof record, nullptr);
  mciSendStringA("close voice wait", nullptr, 0, nullptr);
  return strcasecmp(play, "1") == 0 || strcasecmp(play, "true") == 0;
}

}  // namespace

std::string VoiceFolder() {
  char path[MAX_PATH] = {};
  RegistryMgr network("Network", false);
  if (!network.ReadString("voicePath", path, sizeof path - 1) || !path[0]) {
    GetModuleFileNameA(nullptr, path, sizeof path);
    if (char* slash = std::strrchr(path, '\\')) slash[1] = 0;
  }
  std::string folder(path);
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

VoiceProcessor::VoiceProcessor(int kind) : kind_(kind), maxRecording_(VoiceMaxRecording(kind)) {}

VoiceProcessor::~VoiceProcessor() { Shutdown(); }

int VoiceProcessor::Init() {
  SoundProvider& sound = *Svc().sound;
  sound.ReleaseHardware();
  Sleep(200);
  end_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const WAVEFORMATEX f = Format(0);
  HWAVEOUT out = nullptr;
  const MMRESULT opened = waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL);
  Sleep(200);
  if (opened != MMSYSERR_NOERROR) {
    OutputDebugStringA("waveOutOpen Failed in VoiceProcessor Init");
    sound.ObtainHardware();
    return 0;
  }
  waveOutClose(out);
  const bool canPlay = WaveAudioCanPlay();
  Sleep(100);
  sound.ObtainHardware();
  if (!canPlay) return 0;
  const std::string windowsFolder = VoiceFolder();
  char host[4096];
  DWORD error = 0;
  if (!winapi::internal::MapPathToHost(windowsFolder.c_str(), host, sizeof host, &error)) return 0;
  folder_ = host;
  queue_ = std::make_unique<VoiceQueue>(kind_, folder_);
  player_ = std::thread([this] { PlayLoop(); });
  return 1;
}

void VoiceProcessor::Shutdown() {
  if (busy_) CancelRecording();
  else if (playing_) StopPlayback(false);
  if (end_) SetEvent(end_);
  // Nothing the threads use goes before both have ended.
  if (player_.joinable()) player_.join();
  if (recorder_.joinable()) recorder_.join();
  if (end_) CloseHandle(end_);
  end_ = nullptr;
  if (queue_) queue_->RemoveFiles();
  queue_.reset();
}

bool VoiceProcessor::StartRecording(const uint32_t* ids, int count, Progress progress) {
  if (suspended_ || busy_ || !queue_) return false;
  if (count <= 0 || count > 8 || !ids) {
    Debug("Error in voice send list size: %d", count);
    return false;
  }
  if (recorder_.joinable()) recorder_.join();  // the last recorder has ended (not busy)
  busy_ = true;
  // Set before the thread runs, so that a finish or cancel coming at once is not lost.
  state_ = 0;
  recorder_ = std::thread([this, list = std::vector<uint32_t>(ids, ids + count), progress] { Record(list, progress); });
  return true;
}

void VoiceProcessor::FinishRecording() {
  if (busy_) state_ = 2;
}

void VoiceProcessor::CancelRecording() {
  if (!busy_) return;
  state_ = 1;
  while (busy_ && state_ == 1) Sleep(10);
  state_ = 0;
}

void VoiceProcessor::StopPlayback(bool keep) {
  stopRequest_ = keep ? 2 : 1;
  while (playing_ && stopRequest_ != 0) Sleep(10);
  stopRequest_ = 0;
}

void VoiceProcessor::StoreReceived(uint32_t number, const uint8_t* message, uint32_t length) {
  if (!queue_ || !queue_->Store(number, message, length)) OutputDebugStringA("Voice message not kept\n");
}

void VoiceProcessor::SetSuspended(bool suspended) {
  suspended_ = suspended;
  while (playing_) Sleep(10);
}

void VoiceProcessor::Send(const std::vector<uint32_t>& ids, const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> message(4 + payload.size());
  WriteLE32(message.data(), kVoiceMessageCode);
  if (!payload.empty()) std::memcpy(message.data() + 4, payload.data(), payload.size());
  for (uint32_t id : ids)
    if (CCommBase* comm = RoundComm) comm->SendGameData(id, message.data(), static_cast<uint32_t>(message.size()));
}

void VoiceProcessor::Record(std::vector<uint32_t> ids, Progress progress) {
  SoundProvider& sound = *Svc().sound;
  if (playing_) {
    StopPlayback(true);
    Sleep(100);
  }
  const bool released = sound.ReleaseHardware();
  if (released) Sleep(100);
  // The sound hardware goes back on every way out.
  const auto end = [&] {
    if (released) {
      Sleep(200);
      sound.ObtainHardware();
    }
    busy_ = false;
  };
  const WAVEFORMATEX f = Format(kind_);
  HWAVEIN in = nullptr;
  MMRESULT r = waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL);
  if (r != MMSYSERR_NOERROR) {
    Sleep(100);
    const MMRESULT closed = waveInClose(in);
    if (closed != MMSYSERR_INVALHANDLE) Debug("waveInClose error on retry: %d\n", static_cast<int>(closed));
    Sleep(300);
    r = waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL);
    if (r != MMSYSERR_NOERROR) {
      Debug("waveInOpen error after retry: %d\n", static_cast<int>(r));
      return end();
    }
  }
  recordBuffer_.assign(maxRecording_ + 4, 0);
  WAVEHDR header{};
  header.lpData = reinterpret_cast<LPSTR>(recordBuffer_.data() + 4);
  header.dwBufferLength = maxRecording_;
  const auto closeInput = [&] {
    if ((r = waveInReset(in)) != MMSYSERR_NOERROR) Debug("waveInRestart error: %d\n", static_cast<int>(r));
    if ((r = waveInStop(in)) != MMSYSERR_NOERROR) Debug("waveInStop error: %d\n", static_cast<int>(r));
    waveInUnprepareHeader(in, &header, sizeof header);
    if ((r = waveInClose(in)) != MMSYSERR_NOERROR) Debug("waveInClose error: %d\n", static_cast<int>(r));
  };
  const char* failed = nullptr;
  if ((r = waveInPrepareHeader(in, &header, sizeof header)) != MMSYSERR_NOERROR) failed = "waveInPrepareHeader error: %d\n";
  else if ((r = waveInAddBuffer(in, &header, sizeof header)) != MMSYSERR_NOERROR) failed = "waveInAddBuffer error: %d\n";
  else if ((r = waveInStart(in)) != MMSYSERR_NOERROR) failed = "waveInStart error: %d\n";
  if (failed) {
    Debug(failed, static_cast<int>(r));
    closeInput();
    return end();
  }
  if (progress) progress(0), progress(0);
  DWORD tick = timeGetTime();
  while (header.dwBytesRecorded < header.dwBufferLength && state_ == 0 && !suspended_) {
    if (WaitForSingleObject(end_, 10) == WAIT_OBJECT_0) {
      closeInput();
      return end();
    }
    if (timeGetTime() - tick >= 1000) {
      tick = timeGetTime();
      if (progress) progress(0);
    }
  }
  if (progress) progress(1);
  const uint32_t recorded = header.dwBytesRecorded;
  closeInput();
  // A full buffer (7 s) or a finish is sent; a cancel or a suspension sends nothing.
  if (!suspended_ && (state_ == 0 || state_ == 2) && recorded > 0)
    Send(ids, ShapeVoiceRecording(kind_, recordBuffer_.data() + 4, recorded));
  state_ = 0;
  end();
}

void VoiceProcessor::PlayLoop() {
  SoundProvider& sound = *Svc().sound;
  for (;;) {
    if (WaitForSingleObject(end_, 500) == WAIT_OBJECT_0) return;
    if (playing_ || busy_ || suspended_ || queue_->Size() == 0) continue;
    playing_ = true;
    std::vector<uint8_t> payload;
    if (!queue_->Front(&payload)) {
      // It stays queued and is tried again.
      OutputDebugStringA("Error opening voice file");
      stopRequest_ = 0;
      playing_ = false;
      continue;
    }
    const std::vector<uint8_t> image = VoicePlayImage(kind_, payload.data(), static_cast<uint32_t>(payload.size()));
    const uint32_t played = image.empty() ? 0 : sound.PlayImage(image.data(), static_cast<uint32_t>(image.size()));
    bool stopped = false;
    while (played && sound.ImagePlaying(played)) {
      if (!stopped && (suspended_ || stopRequest_ != 0)) {
        sound.StopImage(played);
        stopped = true;
      }
      Sleep(20);
    }
    if (played) sound.FreeImage(played);
    if (suspended_ || stopRequest_ == 2) Sleep(500);  // played again from its start later
    else queue_->PopFront();
    stopRequest_ = 0;
    playing_ = false;
  }
}

}  // namespace net

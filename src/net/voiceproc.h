// The voice processor of a connection: records a message from the wave input for up to eight players, shapes it
// (and codes it on the modem and online kinds), sends it as game data 0x719, keeps the messages that arrive and
// plays them one after the other on a thread of its own through the sound layer. One processor at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/voice.h"
#include "windows.h"

namespace net {

class VoiceProcessor {
 public:
  using Progress = void (*)(int finished);

  // Kind 0 on the LAN types, 1 on the modem types, 2 online.
  explicit VoiceProcessor(int kind);
  ~VoiceProcessor();  // shuts down first when it still runs
  VoiceProcessor(const VoiceProcessor&) = delete;
  VoiceProcessor& operator=(const VoiceProcessor&) = delete;

  // 1 when the machine can play (the wave output opens, the waveaudio device says it can play); the playback
  // thread then runs. 0 leaves voice off.
  int Init();
  // Ends a recording (sending nothing) or a playback, waits for both threads, deletes the voice files.
  void Shutdown();

  // False when nothing starts: suspended, a recording busy, no recipient or more than eight.
  bool StartRecording(const uint32_t* ids, int count, Progress progress);
  void FinishRecording();
  // Returns once the recorder has seen the cancel; nothing when no recording runs.
  void CancelRecording();
  // Stops the message playing: `keep` leaves it queued to play again from its start.
  void StopPlayback(bool keep);
  // A received game-data message {0x719, payload}; `number` is the received-message counter.
  void StoreReceived(uint32_t number, const uint8_t* message, uint32_t length);
  // Returns once no message plays.
  void SetSuspended(bool suspended);

  int kind() const { return kind_; }
  bool recording() const { return busy_; }
  bool playing() const { return playing_; }
  size_t queued() { return queue_ ? queue_->Size() : 0; }
  const std::string& folder() const { return folder_; }

 private:
  void Record(std::vector<uint32_t> ids, Progress progress);
  void PlayLoop();
  void Send(const std::vector<uint32_t>& ids, const std::vector<uint8_t>& payload);

  int kind_;
  uint32_t maxRecording_;
  std::string folder_;  // host path of the voice folder
  std::unique_ptr<VoiceQueue> queue_;
  HANDLE end_ = nullptr;
  std::thread player_, recorder_;
  std::vector<uint8_t> recordBuffer_;
  std::atomic<bool> suspended_{false}, playing_{false}, busy_{false};
  std::atomic<int> state_{0};        // 0 recording, 1 cancel requested, 2 stop and send
  std::atomic<int> stopRequest_{0};  // 0 none, 1 stop and drop, 2 stop and keep
};

// The connection's processor, null while voice is off.
extern VoiceProcessor* Voice;

// The voice folder: the registry's Network/voicePath, else the program's own folder (a Windows path ending in
// '\').
std::string VoiceFolder();

}  // namespace net

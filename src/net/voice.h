// Voice messages without the devices: shaping and coding a recording into the payload that is sent, keeping the
// messages that arrive (the first in memory, the rest in voice files, played in arrival order), and turning a
// payload into the in-memory sample image that plays it. The payload is trusted only within the room a
// recording of the connection's kind has.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace net {

constexpr uint32_t kVoiceMessageCode = 0x719;
constexpr uint32_t kVoiceHeaderBytes = 36;
// Kind 0 (LAN): 8-bit samples at 11025 Hz; kinds 1 and 2 (modem, online): 16-bit samples at 8000 Hz, coded.
constexpr uint32_t VoiceMaxRecording(int kind) { return kind == 0 ? 77175u : 112000u; }

// The payload of a recording of `bytes` bytes (kind 0: unsigned 8-bit samples; else 16-bit little-endian).
std::vector<uint8_t> ShapeVoiceRecording(int kind, const uint8_t* recording, uint32_t bytes);

// The sample image that plays a payload (the 36-byte header, then the samples); empty when the payload does not
// fit the kind's room. Coded payloads are decoded, the output cut to the room.
std::vector<uint8_t> VoicePlayImage(int kind, const uint8_t* payload, uint32_t bytes);

// Received messages waiting to be played, in arrival order.
class VoiceQueue {
 public:
  VoiceQueue(int kind, std::string folder) : kind_(kind), folder_(std::move(folder)) {}
  ~VoiceQueue();
  // A received game-data message {code, payload}; false when it is not a voice message or too large to play.
  bool Store(uint32_t number, const uint8_t* message, uint32_t length);
  // The oldest message's payload; false when none waits or its file cannot be read (it stays queued).
  bool Front(std::vector<uint8_t>* payload);
  // The oldest message was played: it goes (its file too).
  void PopFront();
  size_t Size();
  // The file a message waits in.
  std::string FileOf(uint32_t number) const;
  // Every voice file of the folder goes (shut-down).
  void RemoveFiles();

 private:
  struct Node {
    uint32_t number;
    std::vector<uint8_t> data;
    bool inFile;
  };
  int kind_;
  std::string folder_;
  std::mutex mutex_;
  std::vector<Node> nodes_;
};

}  // namespace net

// Received voice message fuzz entry: the first byte picks the connection's kind, the rest is the game data that
// arrived. Nothing may crash, read past the payload or write past the play image's room.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "net/voice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int kind = data[0] % 3;
  static const std::string folder = [] {
    const auto f = std::filesystem::temp_directory_path() / "fuzz_voicepayload";
    std::filesystem::create_directories(f);
    return f.string();
  }();
  net::VoiceQueue queue(kind, folder);
  const uint32_t n = static_cast<uint32_t>(size - 1);
  std::vector<uint8_t> message(data + 1, data + size);
  if (queue.Store(1, message.data(), n)) {
    std::vector<uint8_t> payload;
    if (queue.Front(&payload)) {
      const std::vector<uint8_t> image = net::VoicePlayImage(kind, payload.data(), static_cast<uint32_t>(payload.size()));
      if (image.size() > net::kVoiceHeaderBytes + net::VoiceMaxRecording(kind)) std::abort();
    }
    queue.PopFront();
  }
  return 0;
}

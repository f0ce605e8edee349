#include "net/voice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "decoder.h"
#include "encoder.h"
#include "platformlib/core/byteorder.h"

namespace net {
namespace {

constexpr uint8_t kHeader[kVoiceHeaderBytes] = {0x50, 0x54, 0x00, 0x02, 0x24, 0x00, 0x00, 0x00, 0xFD, 0x85, 0x04, 0x00,
                                                0x00, 0x00, 0x00, 0x81, 0x01, 0x08, 0x84, 0x02, 0x1F, 0x40, 0x88, 0x04,
                                                0x00, 0x00, 0x00, 0x24, 0x8A, 0x04, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00};
constexpr uint32_t kSilentRun = 500;

}  // namespace

std::vector<uint8_t> ShapeVoiceRecording(int kind, const uint8_t* recording, uint32_t bytes) {
  bytes = std::min(bytes, VoiceMaxRecording(kind));
  if (kind == 0) {
    int peak = 1;
    for (uint32_t i = 0; i < bytes; ++i) peak = std::max(peak, std::abs(recording[i] - 128));
    const int gain = std::min(127 / peak, 8);
    std::vector<uint8_t> out(bytes);
    uint32_t run = 0;
    for (uint32_t i = 0; i < bytes; ++i) {
      int v = static_cast<int8_t>(recording[i] ^ 0x80);
      if (v >= -1 && v <= 1) {
        if (++run > kSilentRun) v = 0;
      } else {
        run = 0;
      }
      out[i] = static_cast<uint8_t>(v * gain);
    }
    return out;
  }
  const uint32_t count = bytes / 2;
  std::vector<uint8_t> samples(count * 2);
  uint32_t run = 0;
  int peak = 1;
  std::vector<int> values(count);
  for (uint32_t i = 0; i < count; ++i) {
    int v = static_cast<int16_t>(ReadLE16(recording + 2 * i));
    if (v >= -127 && v <= 127) {
      if (++run > kSilentRun) v = 0;
    } else {
      run = 0;
    }
    values[i] = v;
    peak = std::max(peak, std::abs(v));
  }
  const int gain = std::min(32767 / peak, 8);
  for (uint32_t i = 0; i < count; ++i) WriteLE16(samples.data() + 2 * i, static_cast<uint16_t>(values[i] * gain));
  std::vector<uint8_t> coded(8000, 0);
  const uint32_t n = speech::EncodeFrames(samples.data(), static_cast<uint32_t>(samples.size()), coded.data(),
                                          static_cast<uint32_t>(coded.size()));
  coded.resize(n);
  return coded;
}

std::vector<uint8_t> VoicePlayImage(int kind, const uint8_t* payload, uint32_t bytes) {
  const uint32_t room = VoiceMaxRecording(kind);
  if (bytes > room) return {};
  std::vector<uint8_t> image(kVoiceHeaderBytes + room);
  uint32_t samples = bytes;
  if (kind == 0) {
    if (bytes) std::memcpy(image.data() + kVoiceHeaderBytes, payload, bytes);
  } else {
    samples = speech::DecodeFrames(payload, bytes, image.data() + kVoiceHeaderBytes, room);
  }
  image.resize(kVoiceHeaderBytes + samples);
  std::memcpy(image.data(), kHeader, kVoiceHeaderBytes);
  const uint32_t count = kind == 0 ? samples : samples / 2;
  image[11] = static_cast<uint8_t>(count >> 24);
  image[12] = static_cast<uint8_t>(count >> 16);
  image[13] = static_cast<uint8_t>(count >> 8);
  image[14] = static_cast<uint8_t>(count);
  image[17] = kind == 0 ? 8 : 16;
  const uint32_t rate = kind == 0 ? 11025 : 8000;
  image[20] = static_cast<uint8_t>(rate >> 8);
  image[21] = static_cast<uint8_t>(rate);
  return image;
}

VoiceQueue::~VoiceQueue() = default;

std::string VoiceQueue::FileOf(uint32_t number) const {
  char name[32];
  std::snprintf(name, sizeof name, "voice%-d.wxx", static_cast<int>(number));
  return (std::filesystem::path(folder_) / name).string();
}

bool VoiceQueue::Store(uint32_t number, const uint8_t* message, uint32_t length) {
  if (!message || length < 4 || ReadLE32(message) != kVoiceMessageCode) return false;
  const uint8_t* payload = message + 4;
  const uint32_t bytes = length - 4;
  // A payload that a recording of this kind cannot make is not kept.
  if (bytes > VoiceMaxRecording(kind_)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (nodes_.empty()) {
    nodes_.push_back({number, std::vector<uint8_t>(payload, payload + bytes), false});
    return true;
  }
  std::ofstream f(FileOf(number), std::ios::binary | std::ios::trunc);
  if (!f.write(reinterpret_cast<const char*>(payload), bytes) || !f.flush()) return false;
  nodes_.push_back({number, {}, true});
  return true;
}

bool VoiceQueue::Front(std::vector<uint8_t>* payload) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (nodes_.empty()) return false;
  const Node& n = nodes_.front();
  if (!n.inFile) {
    *payload = n.data;
    return true;
  }
  std::ifstream f(FileOf(n.number), std::ios::binary);
  if (!f) return false;
  payload->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return payload->size() <= VoiceMaxRecording(kind_);
}

void VoiceQueue::PopFront() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (nodes_.empty()) return;
  if (nodes_.front().inFile) {
    std::error_code ec;
    std::filesystem::remove(FileOf(nodes_.front().number), ec);
  }
  nodes_.erase(nodes_.begin());
}

size_t VoiceQueue::Size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return nodes_.size();
}

void VoiceQueue::RemoveFiles() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder_, ec))
    if (e.path().extension() == ".wxx") std::filesystem::remove(e.path(), ec);
}

}  // namespace net

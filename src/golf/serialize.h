#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

// The save-and-load stream that golfer records and saved games go through: an open file, or a memory
// buffer that advances as it is read or written. Until the framework's transfer routine replaces it,
// this is the game's own, bounded version (a memory transfer past the buffer's end fails).
namespace golf_svc {

enum SerializeMode : int {
  kReadFile = 0,
  kWriteFile = 1,
  kWriteMemory = 2,
  kReadMemory = 3,
  kSkipFile = 4,
};

struct SerialStream {
  std::FILE* file = nullptr;
  uint8_t* cursor = nullptr;  // memory modes: next byte
  uint8_t* end = nullptr;     // memory modes: one past the last byte

  static SerialStream OverFile(std::FILE* f) { return SerialStream{f, nullptr, nullptr}; }
  static SerialStream OverMemory(uint8_t* data, size_t size) { return SerialStream{nullptr, data, data + size}; }
  static SerialStream OverMemory(const uint8_t* data, size_t size) {
    // Read modes never write through the cursor.
    return OverMemory(const_cast<uint8_t*>(data), size);
  }
  size_t remaining() const { return static_cast<size_t>(end - cursor); }
};

// Moves count bytes in the given mode; 1 when the whole count was moved, else 0 (also for modes above 4).
int SerializeBlock(int mode, SerialStream* stream, void* buffer, uint32_t count);

// Moves little-endian fields through a stream in one mode (reading fills them, writing and skipping take
// them); the first failure sticks.
class FieldMover {
 public:
  FieldMover(int mode, SerialStream* s) : mode_(mode), s_(s) {}
  bool ok() const { return ok_; }
  bool reading() const { return mode_ == kReadFile || mode_ == kReadMemory; }
  void fail() { ok_ = false; }

  void bytes(void* p, uint32_t n) {
    if (ok_) ok_ = SerializeBlock(mode_, s_, p, n) == 1;
  }
  void u8(uint8_t& v) { bytes(&v, 1); }
  void u16(uint16_t& v);
  void u32(uint32_t& v);
  void u32s(uint32_t* v, size_t n) {
    for (size_t i = 0; i < n; ++i) u32(v[i]);
  }
  // Passes over n stored bytes: a file seeks, a memory stream reads past them.
  void skip(uint32_t n);

 private:
  int mode_;
  SerialStream* s_;
  bool ok_ = true;
};

}  // namespace golf_svc

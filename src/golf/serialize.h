#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/core/utils.h"

// Golfer records and saved games move through the framework's save-and-load step (SerializeBlock over a file
// handle or a memory buffer); this moves their little-endian fields.
namespace golf_svc {

// Moves little-endian fields through a target in one mode (reading fills them, writing and skipping take
// them); the first failure sticks.
class FieldMover {
 public:
  FieldMover(int mode, SerialTarget* s) : mode_(mode), s_(s) {}
  bool ok() const { return ok_; }
  bool reading() const { return mode_ == SERIAL_READFILE || mode_ == SERIAL_GET; }
  void fail() { ok_ = false; }

  void bytes(void* p, uint32_t n) {
    if (ok_) ok_ = s_ != nullptr && SerializeBlock(mode_, s_, p, n) == 1;
  }
  void u8(uint8_t& v) { bytes(&v, 1); }
  void u16(uint16_t& v);
  void u32(uint32_t& v);
  void u32s(uint32_t* v, size_t n) {
    for (size_t i = 0; i < n; ++i) u32(v[i]);
  }
  // A text as a u16 length and its bytes; writing cuts it to `max` bytes, reading refuses a longer one.
  void text(std::string& t, size_t max);
  // Passes over n stored bytes: a file seeks, a memory buffer reads past them.
  void skip(uint32_t n);

 private:
  int mode_;
  SerialTarget* s_;
  bool ok_ = true;
};

}  // namespace golf_svc

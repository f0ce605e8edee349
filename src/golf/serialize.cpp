#include "golf/serialize.h"

#include "platformlib/core/byteorder.h"

namespace golf_svc {

void FieldMover::u16(uint16_t& v) {
  uint8_t b[2];
  WriteLE16(b, v);
  bytes(b, 2);
  if (ok_ && reading()) v = ReadLE16(b);
}

void FieldMover::u32(uint32_t& v) {
  uint8_t b[4];
  WriteLE32(b, v);
  bytes(b, 4);
  if (ok_ && reading()) v = ReadLE32(b);
}

void FieldMover::text(std::string& t, size_t max) {
  uint16_t n = static_cast<uint16_t>(t.size() < max ? t.size() : max);
  u16(n);
  if (!ok_) return;
  if (n > max) return fail();
  if (reading()) t.assign(n, '\0');
  if (n) bytes(t.data(), n);
}

void FieldMover::skip(uint32_t n) {
  if (!ok_) return;
  if (mode_ == SERIAL_READFILE) {
    ok_ = s_ != nullptr && SerializeBlock(SERIAL_SKIP, s_, nullptr, n) == 1;
    return;
  }
  uint8_t scratch[256];
  while (ok_ && n) {
    const uint32_t part = n < sizeof scratch ? n : static_cast<uint32_t>(sizeof scratch);
    bytes(scratch, part);
    n -= part;
  }
}

}  // namespace golf_svc

#include "golf/serialize.h"

#include <cstring>

namespace golf_svc {

int SerializeBlock(int mode, SerialStream* stream, void* buffer, uint32_t count) {
  if (!stream) return 0;
  switch (mode) {
    case kReadFile:
      return stream->file && std::fread(buffer, 1, count, stream->file) == count ? 1 : 0;
    case kWriteFile:
      return stream->file && std::fwrite(buffer, 1, count, stream->file) == count ? 1 : 0;
    case kWriteMemory:
      if (!stream->cursor || stream->remaining() < count) return 0;
      if (count) std::memcpy(stream->cursor, buffer, count);
      stream->cursor += count;
      return 1;
    case kReadMemory:
      if (!stream->cursor || stream->remaining() < count) return 0;
      if (count) std::memcpy(buffer, stream->cursor, count);
      stream->cursor += count;
      return 1;
    case kSkipFile:
      return stream->file && std::fseek(stream->file, static_cast<long>(count), SEEK_CUR) == 0 ? 1 : 0;
    default:
      return 0;
  }
}

void FieldMover::u16(uint16_t& v) {
  uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  bytes(b, 2);
  if (ok_ && reading()) v = static_cast<uint16_t>(b[0] | (b[1] << 8));
}

void FieldMover::u32(uint32_t& v) {
  uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                  static_cast<uint8_t>(v >> 24)};
  bytes(b, 4);
  if (ok_ && reading())
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
        (static_cast<uint32_t>(b[3]) << 24);
}

void FieldMover::skip(uint32_t n) {
  if (!ok_) return;
  if (mode_ == kReadFile) {
    ok_ = SerializeBlock(kSkipFile, s_, nullptr, n) == 1;
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

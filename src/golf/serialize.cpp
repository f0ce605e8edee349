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

}  // namespace golf_svc

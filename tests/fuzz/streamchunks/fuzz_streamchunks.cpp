// Fuzz entry: the input is a chunk file streamed from memory through a small buffer. The first byte picks the
// filters; every chunk that reaches a tap is taken and released, and the stream must end.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/stream/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!memstarted()) initmem(1 << 22);
  abortfilterhook = [](const char*) { return 0; };
  abortonerror = 1;
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  // An exact-size copy so that the sanitizer sees any read past the end.
  std::vector<uint8_t> file(data + 1, data + size);
  static std::vector<uint8_t> memory(0xA000);
  STREAM_HANDLE stream = STREAM_create(2 + (mode & 3), 3, 2, memory.data(), static_cast<uint32_t>(memory.size()));
  if (!stream) return 0;
  STREAM_setfilter(stream, 1, 0xFF, mode & 0x10 ? 1 : 2, 2);
  STREAM_setfilter(stream, 2, 0xF0, 0x30, (mode & 0x20) ? kTapAbort : kTapDiscard);
  STREAM_setfilter(stream, 3, 0, 0, 1);
  const int32_t endid = (mode & 0x40) ? 0x454E44 : 0x7F;
  // A length of 0 means "walk to the end chunk", which trusts the block: only real lengths here.
  if (!file.empty()) STREAM_queuemem(stream, file.data(), static_cast<uint32_t>(file.size()), endid);
  if ((mode & 0x80) && file.size() >= 2) STREAM_queuemem(stream, file.data(), static_cast<uint32_t>(file.size() / 2), endid);
  for (int round = 0; round < 100000; ++round) {
    bool ended = true;
    for (int t = 1; t <= 2; ++t) {
      STREAM_HANDLE tap = STREAM_taphandle(stream, t);
      while (ChunkHeader* c = STREAM_get(tap)) {
        uint32_t chunksize;
        std::memcpy(&chunksize, reinterpret_cast<uint8_t*>(c) + 4, 4);
        volatile uint8_t last = reinterpret_cast<uint8_t*>(c)[chunksize - 1];
        (void)last;
        STREAM_release(tap, c);
      }
      ended = ended && STREAM_isendofstream(tap);
    }
    if (ended) break;
    if (round == 99999) __builtin_trap();  // a memory stream that never ends
  }
  STREAM_destroy(stream);
  return 0;
}

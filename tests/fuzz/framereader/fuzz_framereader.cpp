// Frame reader fuzz entry: the first byte chooses how the rest is cut into reads. Every frame handed on must be
// whole; nothing may read past a buffer or leak a body.
#include <cstdint>
#include <cstdlib>

#include "framework/core/commqueue.h"
#include "net/msgsock.h"

namespace {
void Sink(void* count, uint32_t, uint8_t* body, uint32_t length) {
  if (length > net::kLargestFrameBody) std::abort();
  // Touch every byte: a short body would be caught by the sanitizer.
  volatile uint8_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) sum = static_cast<uint8_t>(sum + body[i]);
  CommMessageFree(body);
  ++*static_cast<size_t*>(count);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t step = 1 + data[0] % 64;
  net::FrameReader reader;
  size_t frames = 0;
  for (size_t at = 1; at < size; at += step) {
    const size_t n = step < size - at ? step : size - at;
    if (!reader.Feed(data + at, n, &Sink, &frames)) break;
  }
  return 0;
}

// Score-server reply head fuzz entry: the bytes of a reply fed one at a time. Nothing may crash or read past
// the line buffer; a finished head has a status, and a content length that is not negative.
#include <cstdint>
#include <cstdlib>

#include "online/httpclient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  online::HttpReplyHead head;
  for (size_t i = 0; i < size && head.state() == online::HttpReplyHead::State::kReading; ++i) head.Feed(data[i]);
  if (head.state() == online::HttpReplyHead::State::kDone && head.contentLength() < -1) std::abort();
  return 0;
}

// Chat records from other machines fuzz entry: the input is the body of a received 0x703 (text, then the
// sender's name). The line is read within the body, fits the chat box's line, and the argument block the
// handler gets is freed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "golf/golfmsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the bytes received, so that a read past them is seen.
  auto* body = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  if (!body) return 0;
  if (size) std::memcpy(body, data, size);
  const std::string line = ChatLineOf(body, size);
  if (line.size() > kChatLineLimit) std::abort();
  if (line.find('\0') != std::string::npos) std::abort();
  const intptr_t arg = GolfArgumentFromPeer(kGolfChat, 2, body, size);
  if (arg) {
    auto* block = reinterpret_cast<void*>(arg);
    if (strnlen(static_cast<const char*>(block), GolfBlockSize(block)) > kChatLineLimit) std::abort();
    GolfBlockFree(block);
  }
  std::free(body);
  return 0;
}

// Peer message fuzz entry: frames from one connection to a host or a joiner (the first byte chooses, and whether
// the connection is the joiner's link to its host). Nothing may crash, read past a frame or leak a message.
#include <cstdint>
#include <cstring>

#include "framework/core/commqueue.h"
#include "net/sockcomm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  net::CSockComm comm(2, 1);
  if (data[0] & 1) comm.StartHost(nullptr);
  net::CGameMsgSock* s = comm.NewSocket((data[0] & 2) != 0);
  size_t at = 1;
  // Each frame: u8 type, u8 length, then that many bytes.
  while (at + 2 <= size) {
    const uint32_t type = data[at] % 3;
    const size_t n = data[at + 1] < size - at - 2 ? data[at + 1] : size - at - 2;
    uint8_t* body = CommMessageAlloc(static_cast<uint32_t>(n));
    if (n) std::memcpy(body, data + at + 2, n);
    comm.OnFrame(s, type, body, static_cast<uint32_t>(n));
    at += 2 + n;
  }
  return 0;
}

// Online lobby messages both ways: the first byte picks the side. Client side: a server message handed to the
// session manager. Server side: a message from a client that has said hello, to the lobby. Nothing may crash, read
// past the message or leak it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/core/commqueue.h"
#include "lobby.h"
#include "net/internetsess.h"
#include "net/sockcomm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  const uint32_t n = static_cast<uint32_t>(size - 1);
  if (data[0] & 1) {
    lobbyd::Lobby lobby({{"ada", {"secret", "card"}}}, "operator");
    lobby.Connect(1);
    lobby.Connect(2);
    uint8_t hello[34] = {0, 0, 0, 0, 0x07, 0xE2, 0x30, 0x01};
    lobby.Receive(1, hello, sizeof hello);
    lobby.Receive(2, hello, sizeof hello);
    lobby.Receive(1, data + 1, n);
    lobby.Receive(2, data + 1, n);
    lobby.Disconnect(1);
    return 0;
  }
  net::CSockComm comm(2, 0);
  net::CInternetSessMgr sessions(&comm);
  uint8_t* m = CommMessageAlloc(n);
  if (n) std::memcpy(m, data + 1, n);
  sessions.HandleServerMessage(m, n);
  uint32_t code, length;
  uintptr_t value;
  while (comm.TakeNotification(&code, &value, &length))
    if (code != net::kNotifySessionStatus && code != net::kNotifyLoginAccepted && code != net::kNotifySessionListComplete)
      CommMessageFree(reinterpret_cast<uint8_t*>(value));
  return 0;
}

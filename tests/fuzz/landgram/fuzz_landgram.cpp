// LAN lobby datagram fuzz entry: one datagram to the TCP/IP and the IPX lobby (announced, and hosting when the
// first byte says so), from a source address taken from the input. Nothing may crash, read past the datagram or
// leak a message.
#include <cstdint>
#include <cstring>

#include "framework/core/commqueue.h"
#include "net/sessmgr.h"
#include "net/sockcomm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 17) return 0;
  net::CSockComm comm(2, 1);
  net::CUDPSessMgr udp(&comm);
  net::CSAPSessMgr ipx(&comm);
  net::SessionPlayerRecord record;
  std::strcpy(record.lobbyName(), "SEDGEFEN");
  for (net::CLanSessMgr* lobby : {static_cast<net::CLanSessMgr*>(&udp), static_cast<net::CLanSessMgr*>(&ipx)}) {
    lobby->AnnouncePlayer(record);
    if (data[0] & 1) {
      net::SessionEntry e;
      std::strcpy(e.lobbyName(), "SEDGEFEN");
      lobby->CreateSession(&e);
      lobby->AnnouncePlayer(record);
    }
    const uint32_t n = static_cast<uint32_t>(size - 17);
    uint8_t* m = CommMessageAlloc(n);
    if (n) std::memcpy(m, data + 17, n);
    lobby->HandleDatagram(m, n, data + 1);
  }
  return 0;
}

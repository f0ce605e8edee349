// Modem line fuzz entry: the input is what arrives on the serial line, cut into packets the way the link's reader
// cuts it (31 bytes, then the rest of the announced size). Nothing may crash, read past a packet or deliver a
// message longer than its announced length.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/modempacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  net::ModemAssembler assembler;
  std::vector<uint8_t> message;
  size_t at = 0;
  while (size - at >= net::kModemPacketOverhead) {
    const net::ModemHeader h = net::ReadModemHeader(data + at);
    if (h.marker != net::ModemMarker::kData || !net::ModemAssembler::HeaderUsable(h)) {
      at += net::kModemPacketOverhead;
      assembler.Abandon();
      continue;
    }
    if (size - at < h.packetSize) break;
    // A copy of exactly the packet, so that a read past it is seen.
    std::vector<uint8_t> packet(data + at, data + at + h.packetSize);
    if (assembler.Take(packet.data(), h.packetSize, &message) == net::ModemAssembler::Answer::kDeliver &&
        message.size() > net::kModemLargestMessage)
      std::abort();
    at += h.packetSize;
  }
  return 0;
}

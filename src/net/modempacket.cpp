#include "net/modempacket.h"

#include <array>
#include <cstring>

#include "platformlib/core/byteorder.h"

namespace net {
namespace {

// Eight tables: the CRC moves eight bytes a step.
struct CrcTables {
  std::array<std::array<uint32_t, 256>, 8> t{};
  CrcTables() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
      for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
  }
};
const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

constexpr char kData[4] = {'Z', 'Q', 'P', 'K'}, kAck[4] = {'Z', 'Q', 'A', 'K'}, kNak[4] = {'Z', 'Q', 'N', 'K'};

void PutHeader(uint8_t* p, const char marker[4], uint32_t crc, uint32_t message, uint32_t total, uint16_t d,
               uint16_t number, uint32_t sender) {
  std::memcpy(p, marker, 4);
  WriteLE32(p + 4, crc);
  WriteLE32(p + 8, message);
  WriteLE32(p + 12, total);
  WriteLE16(p + 16, d);
  WriteLE16(p + 18, static_cast<uint16_t>(d + kModemPacketOverhead));
  WriteLE16(p + 20, number);
  WriteLE16(p + 22, 0);
  WriteLE32(p + 24, sender);
}

}  // namespace

uint32_t ModemCrc(const uint8_t* data, size_t n, uint32_t crc) {
  const auto& t = Tables().t;
  while (n >= 8) {
    const uint32_t a = crc ^ ReadLE32(data);
    const uint32_t b = ReadLE32(data + 4);
    crc = t[7][a & 0xff] ^ t[6][(a >> 8) & 0xff] ^ t[5][(a >> 16) & 0xff] ^ t[4][a >> 24] ^ t[3][b & 0xff] ^
          t[2][(b >> 8) & 0xff] ^ t[1][(b >> 16) & 0xff] ^ t[0][b >> 24];
    data += 8;
    n -= 8;
  }
  while (n--) crc = (crc >> 8) ^ t[0][(crc ^ *data++) & 0xff];
  return crc;
}

uint32_t ModemPacketCount(uint32_t length) { return length / kModemPacketData + 1; }

ModemHeader ReadModemHeader(const uint8_t* p) {
  ModemHeader h;
  h.marker = std::memcmp(p, kData, 4) == 0  ? ModemMarker::kData
             : std::memcmp(p, kAck, 4) == 0 ? ModemMarker::kAck
             : std::memcmp(p, kNak, 4) == 0 ? ModemMarker::kNak
                                            : ModemMarker::kOther;
  h.crc = ReadLE32(p + 4);
  h.message = ReadLE32(p + 8);
  h.total = ReadLE32(p + 12);
  h.dataLength = ReadLE16(p + 16);
  h.packetSize = ReadLE16(p + 18);
  h.packetNumber = ReadLE16(p + 20);
  h.sender = ReadLE32(p + 24);
  return h;
}

void BuildModemPacket(const uint8_t* message, uint32_t length, uint32_t messageNumber, uint32_t number,
                      uint32_t sender, std::vector<uint8_t>& out) {
  const uint32_t at = (number - 1) * kModemPacketData;
  const uint32_t d = at >= length ? 0 : std::min(length - at, kModemPacketData);
  const size_t base = out.size();
  out.resize(base + d + kModemPacketOverhead);
  uint8_t* p = out.data() + base;
  const uint8_t* data = d ? message + at : nullptr;
  PutHeader(p, kData, data ? ModemCrc(data, d) : 0xFFFFFFFFu, messageNumber, length, static_cast<uint16_t>(d),
            static_cast<uint16_t>(number), sender);
  if (d) std::memcpy(p + kModemHeaderBytes, data, d);
  std::memset(p + kModemHeaderBytes + d, 0, 3);
}

void BuildModemAnswer(bool positive, uint32_t sender, uint8_t out[kModemPacketOverhead]) {
  std::memset(out, 0, kModemPacketOverhead);
  PutHeader(out, positive ? kAck : kNak, 0, 0, kModemPacketOverhead, 0, 1, sender);
}

bool ModemAssembler::HeaderUsable(const ModemHeader& h) {
  return h.marker == ModemMarker::kData && h.packetSize >= kModemPacketOverhead &&
         h.packetSize <= kModemLargestPacket && h.dataLength == h.packetSize - kModemPacketOverhead &&
         h.total <= kModemLargestMessage && h.packetNumber >= 1;
}

ModemAssembler::Answer ModemAssembler::Take(const uint8_t* packet, uint32_t size, std::vector<uint8_t>* message) {
  if (size < kModemPacketOverhead) return Answer::kNak;
  const ModemHeader h = ReadModemHeader(packet);
  if (!HeaderUsable(h) || h.packetSize != size) return Answer::kNak;
  if (!inProgress_) {
    // A repeat of a message already delivered (its acknowledgement was lost): answered, not kept.
    if (h.message <= lastDelivered_) return Answer::kAck;
    if (h.packetNumber != 1) return Answer::kNak;
  } else {
    if (h.message != message_ || h.total != total_) return Answer::kNak;
    if (h.packetNumber <= lastPacket_) return Answer::kAck;  // a repeat
    if (h.packetNumber != lastPacket_ + 1) return Answer::kNak;
  }
  const uint8_t* data = packet + kModemHeaderBytes;
  if ((h.dataLength ? ModemCrc(data, h.dataLength) : 0xFFFFFFFFu) != h.crc) return Answer::kNak;
  if (!inProgress_) {
    inProgress_ = true;
    message_ = h.message;
    total_ = h.total;
    expected_ = ModemPacketCount(h.total);
    received_ = 0;
    lastPacket_ = 0;
    buffer_.clear();
    buffer_.reserve(total_);
  }
  // Data past the message's announced length is refused, and the message with it.
  if (buffer_.size() + h.dataLength > total_ ||
      (received_ + 1 == expected_ && buffer_.size() + h.dataLength != total_)) {
    inProgress_ = false;
    return Answer::kNak;
  }
  buffer_.insert(buffer_.end(), data, data + h.dataLength);
  ++received_;
  lastPacket_ = h.packetNumber;
  if (received_ < expected_) return Answer::kAck;
  inProgress_ = false;
  lastDelivered_ = message_;
  if (message) message->swap(buffer_);
  buffer_.clear();
  return Answer::kDeliver;
}

}  // namespace net

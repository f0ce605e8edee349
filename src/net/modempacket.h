// The modem link's packets on the serial line: markers "ZQPK" (data), "ZQAK" (acknowledgement) and "ZQNK"
// (negative acknowledgement), a 28-byte header, the data and three zero bytes; the CRC-32 of the data; and the
// receiving side's assembly of packets into messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace net {

constexpr uint32_t kModemPacketOverhead = 31;  // header, and the three zero bytes after the data
constexpr uint32_t kModemHeaderBytes = 28;
constexpr uint32_t kModemLargestPacket = 4096;
constexpr uint32_t kModemPacketData = kModemLargestPacket - kModemPacketOverhead;  // 4065
// The longest message a far end may announce: the largest game message (a voice message) fits.
constexpr uint32_t kModemLargestMessage = 128 * 1024;

enum class ModemMarker { kData, kAck, kNak, kOther };

// CRC-32, reflected polynomial 0xEDB88320, initial value 0xFFFFFFFF, no final inversion.
uint32_t ModemCrc(const uint8_t* data, size_t n, uint32_t crc = 0xFFFFFFFFu);

// Packets a message of `length` bytes takes: length / 4065 + 1 (a multiple of 4065 ends with an empty packet).
uint32_t ModemPacketCount(uint32_t length);

struct ModemHeader {
  ModemMarker marker = ModemMarker::kOther;
  uint32_t crc = 0, message = 0, total = 0;
  uint16_t dataLength = 0, packetSize = 0, packetNumber = 0;
  uint32_t sender = 0;
};

// The header of the first 31 bytes of a packet.
ModemHeader ReadModemHeader(const uint8_t* bytes);

// Packet `number` (from 1) of `message`: appended to `out` (d + 31 bytes).
void BuildModemPacket(const uint8_t* message, uint32_t length, uint32_t messageNumber, uint32_t number,
                      uint32_t sender, std::vector<uint8_t>& out);
// A 31-byte acknowledgement ("ZQAK") or negative one ("ZQNK").
void BuildModemAnswer(bool positive, uint32_t sender, uint8_t out[kModemPacketOverhead]);

// Puts received packets together into messages. Lengths from the line are trusted only within bounds: a packet
// smaller than its header, larger than 4096 bytes or with data past its message, a message longer than
// kModemLargestMessage, and a packet other than the next one of the message are refused (negative answer);
// a repeat is acknowledged and not stored again; a message numbered at or below the last delivered one is not
// delivered.
class ModemAssembler {
 public:
  enum class Answer { kAck, kNak, kDeliver };
  // A whole data packet (header, data, trailer): kDeliver (acknowledged too) when it completed a new message,
  // which `message` then holds.
  Answer Take(const uint8_t* packet, uint32_t size, std::vector<uint8_t>* message);
  // A packet whose header already tells it is unusable: whether to refuse it before reading its rest.
  static bool HeaderUsable(const ModemHeader& h);
  // Forget the message in progress (the line is being resynchronised).
  void Abandon() { inProgress_ = false; }
  uint32_t lastDelivered() const { return lastDelivered_; }

 private:
  bool inProgress_ = false;
  uint32_t message_ = 0, total_ = 0, expected_ = 0, received_ = 0, lastPacket_ = 0;
  uint32_t lastDelivered_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace net

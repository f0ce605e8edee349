#include "net/modemlink.h"

#include <algorithm>
#include <cstdio>

#include "framework/core/registry.h"

namespace net {
namespace {

void Debug(const char* text) { OutputDebugStringA(text); }

}  // namespace

ModemLink::ModemLink(ModemPort* port, uint32_t baud, uint32_t localId, Events events)
    : port_(port), localId_(localId), events_(std::move(events)) {
  // One full packet's time on the line, but at least a second.
  const double f = baud ? 4096.0 / (baud / 10.0) : 1.0;
  packetMs_ = static_cast<uint32_t>(std::max(1.0, f) * 1000.0);
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

ModemLink::~ModemLink() {
  Stop();
  CloseHandle(stop_);
}

void ModemLink::Start() {
  if (reader_.joinable()) return;
  ResetEvent(stop_);
  reader_ = std::thread([this] { Reader(); });
  writer_ = std::thread([this] { Writer(); });
}

void ModemLink::Stop() {
  SetEvent(stop_);
  if (reader_.joinable()) reader_.join();
  if (writer_.joinable()) writer_.join();
}

bool ModemLink::Send(const void* data, uint32_t n) {
  if (n == 0 || n > kModemLargestMessage || !data) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  std::lock_guard<std::mutex> lock(queueLock_);
  queue_.emplace_back(p, p + n);
  return true;
}

bool ModemLink::Stopping(uint32_t ms) { return WaitForSingleObject(stop_, ms) == WAIT_OBJECT_0; }

void ModemLink::Fail(const char* why) {
  if (why) WriteLogLine(why);
  up_ = false;
  if (!failed_.exchange(true) && events_.linkFailure) events_.linkFailure();
}

bool ModemLink::CarrierUp() {
  if (!up_) return false;
  if (port_->Carrier()) return true;
  // A short drop of the carrier is forgiven.
  if (Stopping(1500)) return false;
  if (port_->Carrier()) return true;
  Fail(nullptr);
  return false;
}

bool ModemLink::WriteLocked(const uint8_t* data, uint32_t n) {
  std::lock_guard<std::mutex> lock(writeLock_);
  // A line that reports errors has lost bytes already: the link gives up rather than talk over it.
  if (const uint32_t errors = port_->LineErrors()) {
    if (Stopping(0)) return false;
    char text[48];
    std::snprintf(text, sizeof text, "Too many communications errors: %u", errors);
    Fail(text);
    return false;
  }
  return port_->Write(data, n);
}

void ModemLink::Answer(bool positive) {
  if (!up_) return;
  uint8_t packet[kModemPacketOverhead];
  BuildModemAnswer(positive, localId_, packet);
  if (!WriteLocked(packet, sizeof packet) && !failed_ && !Stopping(0)) {
    Debug("Data transmission error while writing ACK or NAK\n");
    Fail(nullptr);
  }
}

void ModemLink::Resynchronise() {
  assembler_.Abandon();
  // Whatever arrives meanwhile is thrown away, so that the far end's next try starts on a clean line.
  for (uint32_t waited = 0; waited < packetMs_ * 3; waited += 100) {
    port_->PurgeInput();
    if (!up_ || Stopping(100)) return;
  }
  port_->PurgeInput();
}

bool ModemLink::ReadExactly(uint8_t* into, uint32_t n) {
  uint32_t have = 0, polls = 0;
  while (have < n) {
    const uint32_t got = port_->Read(into + have, n - have);
    have += got;
    if (have == n) break;
    if (got == 0) {
      if (Stopping(5)) return false;
      // The carrier is looked at every quarter second while waiting.
      if (++polls % 50 == 0 && !CarrierUp()) return false;
    }
  }
  return true;
}

void ModemLink::Reader() {
  std::vector<uint8_t> packet(kModemLargestPacket);
  std::vector<uint8_t> message;
  while (!Stopping(0)) {
    if (!CarrierUp()) return;
    if (!ReadExactly(packet.data(), kModemPacketOverhead)) return;
    const ModemHeader h = ReadModemHeader(packet.data());
    if (h.marker == ModemMarker::kAck || h.marker == ModemMarker::kNak) {
      std::lock_guard<std::mutex> lock(answerLock_);
      answers_.push_back(h.marker == ModemMarker::kAck);
      continue;
    }
    if (!ModemAssembler::HeaderUsable(h)) {
      Resynchronise();
      Answer(false);
      continue;
    }
    if (h.packetSize > kModemPacketOverhead &&
        !ReadExactly(packet.data() + kModemPacketOverhead, h.packetSize - kModemPacketOverhead))
      return;
    switch (assembler_.Take(packet.data(), h.packetSize, &message)) {
      case ModemAssembler::Answer::kAck:
        Answer(true);
        break;
      case ModemAssembler::Answer::kNak: {
        char line[64];
        std::snprintf(line, sizeof line, "CRC Error - packet: %u message: %u\n", h.packetNumber, h.message);
        Debug(line);
        Resynchronise();
        Answer(false);
        break;
      }
      case ModemAssembler::Answer::kDeliver:
        Answer(true);
        if (events_.deliver) events_.deliver(h.sender, std::move(message));
        message.clear();
        break;
    }
  }
}

void ModemLink::Writer() {
  std::vector<uint8_t> packet;
  for (;;) {
    std::vector<uint8_t> message;
    {
      std::lock_guard<std::mutex> lock(queueLock_);
      if (!queue_.empty()) {
        message = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    // An empty queue is looked at again every 50 ms; queued messages go out one after the other.
    if (message.empty()) {
      if (Stopping(50)) return;
      continue;
    }
    if (Stopping(0)) return;
    if (!CarrierUp()) return;
    {
      std::lock_guard<std::mutex> lock(answerLock_);
      answers_.clear();
    }
    const uint32_t length = static_cast<uint32_t>(message.size());
    const uint32_t count = ModemPacketCount(length);
    for (uint32_t number = 1; number <= count; ++number) {
      packet.clear();
      BuildModemPacket(message.data(), length, messageNumber_, number, localId_, packet);
      uint32_t naks = 0, timeouts = 0, limit = packetMs_ * 5, waited = 0;
      bool acknowledged = false;
      while (!acknowledged) {
        if (waited == 0) {
          if (!CarrierUp()) return;
          if (!WriteLocked(packet.data(), static_cast<uint32_t>(packet.size()))) {
            if (!failed_ && !Stopping(0)) {
              Debug("Transmission failed to send all data\n");
              Fail(nullptr);
            }
            return;
          }
        }
        if (Stopping(25)) return;
        waited += 25;
        int answer = -1;  // none
        {
          std::lock_guard<std::mutex> lock(answerLock_);
          if (!answers_.empty()) {
            answer = answers_.front() ? 1 : 0;
            answers_.pop_front();
          }
        }
        if (answer == 1) {
          acknowledged = true;
        } else if (answer == 0) {
          if (naks > 10) {
            Fail("Shutting down due to excessive communications errors");
            return;
          }
          ++naks;
          waited = 0;
        } else if (waited >= limit) {
          if (timeouts > 5) {
            Fail("Shutting down because the remote computer has not responded");
            return;
          }
          ++timeouts;
          if (timeouts >= 4) limit = std::max<uint32_t>(limit, 8000);
          waited = 0;
        }
      }
      if (!up_) return;
    }
    ++messageNumber_;
  }
}

}  // namespace net

// The modem link between two machines: messages cut into checksummed packets, each acknowledged by the far end,
// written by a writer thread and read by a reader thread on a serial line. Time-outs follow the stand-in's
// clock, so a test on the virtual clock runs them at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "net/modempacket.h"
#include "windows.h"

namespace net {

// The serial line the link runs on (the port a modem call hands over).
class ModemPort {
 public:
  virtual ~ModemPort() = default;
  virtual uint32_t Waiting() = 0;                             // bytes ready to read
  virtual uint32_t Read(uint8_t* into, uint32_t n) = 0;       // takes up to n of them
  virtual bool Write(const uint8_t* data, uint32_t n) = 0;    // all of them, or false
  virtual bool Carrier() = 0;
  virtual void PurgeInput() = 0;
  virtual uint32_t LineErrors() { return 0; }  // the error flags pending on the line, taken by reading them
};

class ModemLink {
 public:
  struct Events {
    std::function<void(uint32_t sender, std::vector<uint8_t>&& message)> deliver;
    std::function<void()> linkFailure;  // called at most once
  };
  ModemLink(ModemPort* port, uint32_t baud, uint32_t localId, Events events);
  ~ModemLink();  // stops both threads and waits for them
  ModemLink(const ModemLink&) = delete;
  ModemLink& operator=(const ModemLink&) = delete;

  void Start();
  void Stop();
  // Queues a message for the far end; false when it is empty or too long.
  bool Send(const void* data, uint32_t n);
  // The time to move one full packet, in ms, at least 1000.
  uint32_t PacketTimeMs() const { return packetMs_; }
  bool failed() const { return failed_.load(); }

 private:
  void Writer();
  void Reader();
  // Waits up to `ms` on the stop event: true when the link is being stopped.
  bool Stopping(uint32_t ms);
  bool CarrierUp();
  bool WriteLocked(const uint8_t* data, uint32_t n);
  void Answer(bool positive);
  void Resynchronise();
  // Reads exactly `n` bytes as they arrive: false when stopped or the carrier went.
  bool ReadExactly(uint8_t* into, uint32_t n);
  void Fail(const char* why);

  ModemPort* port_;
  uint32_t localId_;
  uint32_t packetMs_;
  Events events_;
  HANDLE stop_ = nullptr;
  std::thread reader_, writer_;
  std::mutex queueLock_, writeLock_, answerLock_;
  std::deque<std::vector<uint8_t>> queue_;
  std::deque<bool> answers_;  // from the reader to the writer: true acknowledgement, false negative
  std::atomic<bool> failed_{false}, up_{true};
  uint32_t messageNumber_ = 1;
  ModemAssembler assembler_;
};

}  // namespace net

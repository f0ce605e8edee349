// Message sockets: a stream cut into frames {u32 body length, u32 frame type, body} (little-endian), and a
// datagram socket that hands on each datagram.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/socket.h"

namespace net {

// The largest frame body a peer may send: a voice message of seven seconds of coded speech with its game-data
// header (112,016 bytes) fits; a longer announced length closes the connection.
constexpr uint32_t kLargestFrameBody = 128 * 1024;
constexpr uint32_t kFrameHeaderSize = 8;

// Cuts received bytes into frames. Each complete body is a new buffer (CommMessageAlloc) handed to `sink`, which
// owns it. Feed returns false, and takes nothing more, once a header announces more than kLargestFrameBody.
class FrameReader {
 public:
  using Sink = void (*)(void* context, uint32_t type, uint8_t* body, uint32_t length);
  FrameReader() = default;
  ~FrameReader();
  FrameReader(const FrameReader&) = delete;
  FrameReader& operator=(const FrameReader&) = delete;
  bool Feed(const uint8_t* data, size_t count, Sink sink, void* context);
  bool failed() const { return failed_; }

 private:
  uint8_t header_[kFrameHeaderSize] = {};
  uint32_t have_ = 0;  // bytes of the header or body so far
  uint8_t* body_ = nullptr;
  uint32_t length_ = 0, type_ = 0;
  bool inBody_ = false, failed_ = false;
};

class CMsgSock : public CStreamSock {
 public:
  CMsgSock() = default;
  void OnRead(int error) override;
  void OnClose(int /*error*/) override {}
  // The handler owns `body` (free with CommMessageFree).
  virtual void OnMessage(uint32_t type, uint8_t* body, uint32_t length) = 0;
  // 1 when sent (the frame goes out whole even when several threads send).
  int SendMessage(uint32_t type, uint32_t length, const void* body);

 private:
  static void Deliver(void* self, uint32_t type, uint8_t* body, uint32_t length);
  FrameReader reader_;
  // A whole socket window's worth, so that one notification usually drains the socket in one or two reads.
  uint8_t receive_[16384];
};

class CDgramMsgSock : public CSock {
 public:
  void OnRead(int error) override;
  // The handler owns `message` (free with CommMessageFree); `from` is the sender's address record.
  virtual void OnDatagram(uint8_t* message, uint32_t length, const uint8_t* from) = 0;

 private:
  uint8_t receive_[512];
};

}  // namespace net

#include "net/msgsock.h"

#include <cstring>
#include <vector>

#include "framework/core/commqueue.h"
#include "platformlib/core/byteorder.h"

namespace net {

FrameReader::~FrameReader() { CommMessageFree(body_); }

bool FrameReader::Feed(const uint8_t* data, size_t count, Sink sink, void* context) {
  while (count > 0 && !failed_) {
    if (!inBody_) {
      const uint32_t take = static_cast<uint32_t>(std::min<size_t>(kFrameHeaderSize - have_, count));
      std::memcpy(header_ + have_, data, take);
      have_ += take;
      data += take;
      count -= take;
      if (have_ < kFrameHeaderSize) break;
      length_ = ReadLE32(header_);
      type_ = ReadLE32(header_ + 4);
      if (length_ > kLargestFrameBody) {
        failed_ = true;
        break;
      }
      body_ = CommMessageAlloc(length_);
      if (!body_) {
        failed_ = true;
        break;
      }
      have_ = 0;
      inBody_ = true;
    }
    const uint32_t take = static_cast<uint32_t>(std::min<size_t>(length_ - have_, count));
    if (take) std::memcpy(body_ + have_, data, take);
    have_ += take;
    data += take;
    count -= take;
    if (have_ == length_) {
      uint8_t* body = body_;
      body_ = nullptr;
      have_ = 0;
      inBody_ = false;
      sink(context, type_, body, length_);
    }
  }
  return !failed_;
}

void CMsgSock::Deliver(void* self, uint32_t type, uint8_t* body, uint32_t length) {
  static_cast<CMsgSock*>(self)->OnMessage(type, body, length);
}

void CMsgSock::OnRead(int) {
  // A notification takes what the socket holds, in reads of the receive buffer's size (a bounded number).
  for (int reads = 0; reads < 64; ++reads) {
    const int n = Receive(receive_, sizeof receive_);
    if (n < 0) {
      if (lastError_ == winsock::WSAECONNRESET) OnClose(winsock::WSAECONNRESET);
      return;
    }
    if (n == 0) {
      // Not connected any more (closed here), or the peer closed.
      if (state_ == kSockConnected) OnClose(winsock::WSAESHUTDOWN);
      return;
    }
    // A peer that announces a frame longer than any game message is not trusted with more.
    if (!reader_.Feed(receive_, static_cast<size_t>(n), &Deliver, this)) {
      OnClose(winsock::WSAEMSGSIZE);
      return;
    }
    if (n < static_cast<int>(sizeof receive_) || state_ != kSockConnected) return;
  }
}

int CMsgSock::SendMessage(uint32_t type, uint32_t length, const void* body) {
  // Header and body go in one send under the socket's lock, so frames from several threads never interleave
  // and no frame lock is shared between sockets.
  // The frame is built in a buffer of the sending thread, kept between sends (no allocation, no clearing).
  thread_local std::vector<uint8_t> frame;
  if (frame.size() < kFrameHeaderSize + length) frame.resize(kFrameHeaderSize + length);
  WriteLE32(frame.data(), length);
  WriteLE32(frame.data() + 4, type);
  if (length) std::memcpy(frame.data() + kFrameHeaderSize, body, length);
  Send(frame.data(), static_cast<int>(kFrameHeaderSize + length));
  return 1;
}

void CDgramMsgSock::OnRead(int) {
  uint8_t from[16] = {};
  const int n = ReceiveFrom(receive_, sizeof receive_, from);
  if (n <= 0) return;
  uint8_t* message = CommMessageAlloc(static_cast<uint32_t>(n));
  if (!message) return;
  std::memcpy(message, receive_, static_cast<size_t>(n));
  OnDatagram(message, static_cast<uint32_t>(n), from);
}

}  // namespace net

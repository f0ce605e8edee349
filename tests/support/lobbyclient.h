// A bare client of our lobby server for load tests and benchmarks: a blocking socket to 127.0.0.1, frames sent
// whole, frames read with a bounded wait.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lobbytest {

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

class LobbyClient {
 public:
  explicit LobbyClient(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    if (fd_ >= 0) ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~LobbyClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  LobbyClient(const LobbyClient&) = delete;
  LobbyClient& operator=(const LobbyClient&) = delete;
  bool ok() const { return fd_ >= 0; }

  bool Send(const std::vector<uint8_t>& body) {
    std::vector<uint8_t> frame(8);
    Put32(frame, 0, static_cast<uint32_t>(body.size()));
    frame.insert(frame.end(), body.begin(), body.end());
    size_t sent = 0;
    while (sent < frame.size()) {
      const ssize_t n = ::send(fd_, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  // The next body, waiting at most `ms`; empty when none came.
  std::vector<uint8_t> Next(int ms) {
    for (;;) {
      if (in_.size() >= 8 && in_.size() >= 8 + Get32(in_.data())) {
        const uint32_t n = Get32(in_.data());
        std::vector<uint8_t> body(in_.begin() + 8, in_.begin() + 8 + n);
        in_.erase(in_.begin(), in_.begin() + 8 + n);
        return body;
      }
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, ms) <= 0) return {};
      uint8_t buffer[8192];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return {};
      in_.insert(in_.end(), buffer, buffer + n);
    }
  }
  // Hello as the golfer `name`, then the player record and announcement in the room `room`.
  bool Enter(const std::string& name, const std::string& room) {
    std::vector<uint8_t> hello(34);
    Put32(hello, 4, 0x0130E207);
    std::memcpy(hello.data() + 18, name.data(), std::min<size_t>(name.size(), 15));
    std::vector<uint8_t> announce(74);
    Put32(announce, 0, 1);
    std::memcpy(announce.data() + 42, room.data(), std::min<size_t>(room.size(), 31));
    return Send(hello) && Send(announce);
  }
  bool Chat(const std::string& text) {
    std::vector<uint8_t> chat(8 + text.size());
    Put32(chat, 0, 0x0d);
    Put32(chat, 4, static_cast<uint32_t>(text.size()));
    std::memcpy(chat.data() + 8, text.data(), text.size());
    return Send(chat);
  }

 private:
  int fd_ = -1;
  std::vector<uint8_t> in_;
};

}  // namespace lobbytest

// A bare client of our score server for load tests and benchmarks: one request per connection to 127.0.0.1, the
// reply read to its end with a bounded wait, and the score card the game posts.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platformlib/core/byteorder.h"

namespace scoretest {

// One request: connect, send, read the reply to its end (each wait at most 2 s). The reply, empty on failure.
inline std::string Exchange(uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const timeval wait{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
  std::string reply;
  char buffer[8192];
  for (ssize_t n; sent && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return reply;
}

inline bool Ok(const std::string& reply) { return reply.rfind("HTTP/1.0 200", 0) == 0; }

// The reply's body, after its head.
inline std::string Body(const std::string& reply) {
  const size_t at = reply.find("\r\n\r\n");
  return at == std::string::npos ? std::string() : reply.substr(at + 4);
}

inline std::string Post(const char* path, const std::string& body) {
  return std::string("POST ") + path + " HTTP/1.0\r\nUser-Agent: VAVODU\r\nHost: 127.0.0.1\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\nPragma: No-Cache\r\n\r\n" + body + "\r\n";
}

// A score card of online player `player` under identity `value`: name "Golfer N", hole h scored `strokes(h)`
// (0: not played).
template <class F>
std::string Card(uint32_t player, uint32_t value, F strokes) {
  std::string card(318, '\0');
  auto* c = reinterpret_cast<uint8_t*>(card.data());
  WriteLE32(c + 4, 1);
  std::snprintf(card.data() + 24, 32, "Golfer %u", player);
  for (int h = 0; h < 18; ++h) c[56 + h] = static_cast<uint8_t>(strokes(h));
  WriteLE32(c + 74, value);
  WriteLE32(c + 142, player);
  return card;
}

// The leader board's request for identity `value`.
inline std::string BoardRequest(uint32_t value) {
  std::string body(44, '\0');
  WriteLE32(reinterpret_cast<uint8_t*>(body.data()) + 4, 1);
  WriteLE32(reinterpret_cast<uint8_t*>(body.data()) + 8, value);
  return Post("/isapi/scorlink.dll?GetLeaderBoard2", body);
}

}  // namespace scoretest

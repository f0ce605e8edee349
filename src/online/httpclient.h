// A small HTTP/1.0 client over the stand-in's Winsock stream sockets, in the shape of the usual Internet client
// interface: a session, a connection under it, a request under that. One request at a time; every wait gives up
// after 10 seconds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace online {

using HttpHandle = uintptr_t;  // 0: none

constexpr uint32_t kHttpService = 3;
constexpr uint32_t kHttpRequestFlags = 0x4000000;
constexpr uint32_t kHttpQueryNumber = 0x20000000;
constexpr uint32_t kHttpQueryStatus = 0x13, kHttpQueryLength = 5;

HttpHandle HttpOpen(const char* agent, uint32_t accessType, const char* proxy, const char* bypass, uint32_t flags);
HttpHandle HttpConnect(HttpHandle session, const char* host, uint16_t port, const char* user, const char* password,
                       uint32_t service, uint32_t flags, uintptr_t context);
HttpHandle HttpOpenRequest(HttpHandle connection, const char* verb, const char* path, const char* version,
                           const char* referrer, const char* const* acceptTypes, uint32_t flags, uintptr_t context);
bool HttpSendRequest(HttpHandle request, const char* headers, uint32_t headerLength, const void* body,
                     uint32_t bodyLength);
bool HttpQueryInfo(HttpHandle request, uint32_t what, void* out, uint32_t* outLength, uint32_t* index);
bool HttpReadReply(HttpHandle request, void* buffer, uint32_t count, uint32_t* read);
bool HttpCloseHandle(HttpHandle handle);
// Handles in use (tests: nothing is left open).
int HttpOpenHandles();

// The reply head, fed one byte at a time as it arrives. Lines end at LF; a line starting with CR ends the head.
// A line longer than 1024 bytes, a negative or unreadable content length, or a head without a status line fails.
class HttpReplyHead {
 public:
  enum class State { kReading, kDone, kFailed };
  State Feed(uint8_t byte);
  State state() const { return state_; }
  int status() const { return status_; }
  int contentLength() const { return length_; }  // -1 when none was given

 private:
  State Line();
  char line_[1025] = {};
  uint32_t used_ = 0;
  int status_ = 0, length_ = -1;
  bool haveStatus_ = false;
  State state_ = State::kReading;
};

}  // namespace online

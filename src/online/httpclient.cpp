#include "online/httpclient.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "winsock.h"

namespace online {
namespace ws = winsock;

namespace {

constexpr int kHandles = 10;
constexpr DWORD kWaitLimitMs = 10000;

struct Handle {
  enum Kind { kFree, kSession, kConnection, kRequest } kind = kFree;
  HttpHandle parent = 0;
  std::string agent, host, verb, path, version;
  uint16_t port = 0;
  ws::SOCKET socket = ws::INVALID_SOCKET;
  HttpReplyHead head;
  bool headRead = false;
};

Handle g_handles[kHandles];

Handle* Get(HttpHandle h, Handle::Kind kind) {
  if (h == 0 || h > kHandles) return nullptr;
  Handle& e = g_handles[h - 1];
  return e.kind == kind ? &e : nullptr;
}

HttpHandle New(Handle::Kind kind, HttpHandle parent) {
  for (int i = 0; i < kHandles; ++i)
    if (g_handles[i].kind == Handle::kFree) {
      g_handles[i] = Handle{};
      g_handles[i].kind = kind;
      g_handles[i].parent = parent;
      return static_cast<HttpHandle>(i + 1);
    }
  return 0;
}

bool Empty(const char* text) { return !text || !*text; }

// Whole seconds of the clock since `start`, as the waits count them.
bool Expired(DWORD start) { return (GetTickCount() - start) / 1000 * 1000 > kWaitLimitMs; }

bool SendAll(ws::SOCKET s, const char* data, size_t n) {
  const DWORD start = GetTickCount();
  while (n > 0) {
    const int k = ws::send(s, data, static_cast<int>(n), 0);
    if (k > 0) {
      data += k;
      n -= static_cast<size_t>(k);
      continue;
    }
    if (k < 0 && ws::WSAGetLastError() == ws::WSAEWOULDBLOCK && !Expired(start)) {
      Sleep(50);
      continue;
    }
    return false;
  }
  return true;
}

// One byte, waiting up to the limit; -1 when the connection closed, failed or stalled.
int ReceiveByte(ws::SOCKET s, DWORD start) {
  for (;;) {
    char c;
    const int k = ws::recv(s, &c, 1, 0);
    if (k == 1) return static_cast<uint8_t>(c);
    if (k < 0 && ws::WSAGetLastError() == ws::WSAEWOULDBLOCK && !Expired(start)) {
      Sleep(50);
      continue;
    }
    return -1;
  }
}

}  // namespace

HttpReplyHead::State HttpReplyHead::Line() {
  line_[used_] = 0;
  if (used_ > 0 && line_[0] == '\r') return state_ = haveStatus_ ? State::kDone : State::kFailed;
  if (std::strncmp(line_, "HTTP/", 5) == 0) {
    int major = 0, minor = 0, status = 0;
    if (std::sscanf(line_ + 5, "%d.%d %d", &major, &minor, &status) != 3) return state_ = State::kFailed;
    status_ = status;
    haveStatus_ = true;
  } else if (std::strncmp(line_, "Content-Length: ", 16) == 0) {
    char* end = nullptr;
    const long n = std::strtol(line_ + 16, &end, 10);
    if (end == line_ + 16 || n < 0 || n > 0x7fffffff) return state_ = State::kFailed;
    length_ = static_cast<int>(n);
  }
  used_ = 0;
  return state_;
}

HttpReplyHead::State HttpReplyHead::Feed(uint8_t byte) {
  if (state_ != State::kReading) return state_;
  if (byte == '\n') return Line();
  if (used_ >= 1024) return state_ = State::kFailed;
  line_[used_++] = static_cast<char>(byte);
  return state_;
}

HttpHandle HttpOpen(const char* agent, uint32_t accessType, const char* proxy, const char* bypass, uint32_t) {
  if (Empty(agent) || std::strlen(agent) > 64 || accessType != 0 || !Empty(proxy) || !Empty(bypass)) return 0;
  ws::WSADATA data;
  if (ws::WSAStartup(0x0101, &data) != 0) return 0;
  const HttpHandle h = New(Handle::kSession, 0);
  if (!h) {
    ws::WSACleanup();
    return 0;
  }
  g_handles[h - 1].agent = agent;
  return h;
}

HttpHandle HttpConnect(HttpHandle session, const char* host, uint16_t port, const char* user, const char* password,
                       uint32_t service, uint32_t flags, uintptr_t context) {
  if (!Get(session, Handle::kSession) || Empty(host) || std::strlen(host) >= 256 || service != kHttpService ||
      !Empty(user) || !Empty(password) || flags != 0 || context != 0)
    return 0;
  const ws::hostent* entry = ws::gethostbyname(host);
  if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return 0;
  const ws::SOCKET s = ws::socket(ws::AF_INET, ws::SOCK_STREAM, 0);
  if (s == ws::INVALID_SOCKET) return 0;
  ws::u_long on = 1;
  ws::ioctlsocket(s, ws::FIONBIO, &on);
  ws::sockaddr_in to{};
  to.sin_family = ws::AF_INET;
  to.sin_port = ws::htons(port);
  std::memcpy(&to.sin_addr, entry->h_addr_list[0], 4);
  bool connected = ws::connect(s, reinterpret_cast<const ws::sockaddr*>(&to), sizeof to) == 0;
  if (!connected && ws::WSAGetLastError() == ws::WSAEWOULDBLOCK) {
    const DWORD start = GetTickCount();
    while (!connected && !Expired(start)) {
      ws::fd_set writers{}, errors{};
      writers.fd_count = errors.fd_count = 1;
      writers.fd_array[0] = errors.fd_array[0] = s;
      ws::timeval wait{0, 100000};
      if (ws::select(0, nullptr, &writers, &errors, &wait) > 0) {
        int error = 0, length = sizeof error;
        ws::getsockopt(s, ws::SOL_SOCKET, ws::SO_ERROR, reinterpret_cast<char*>(&error), &length);
        if (error || errors.fd_count) break;
        connected = writers.fd_count > 0;
      }
    }
  }
  const HttpHandle h = connected ? New(Handle::kConnection, session) : 0;
  if (!h) {
    ws::closesocket(s);
    return 0;
  }
  g_handles[h - 1].host = host;
  g_handles[h - 1].port = port;
  g_handles[h - 1].socket = s;
  return h;
}

HttpHandle HttpOpenRequest(HttpHandle connection, const char* verb, const char* path, const char* version,
                           const char* referrer, const char* const* acceptTypes, uint32_t flags, uintptr_t context) {
  if (!Get(connection, Handle::kConnection) || Empty(verb) || std::strlen(verb) >= 32 || Empty(path) ||
      std::strlen(path) >= 1034 || Empty(version) || std::strlen(version) >= 16 || !Empty(referrer) ||
      (acceptTypes && acceptTypes[0]) || flags != kHttpRequestFlags || context != 0)
    return 0;
  const HttpHandle h = New(Handle::kRequest, connection);
  if (!h) return 0;
  Handle& r = g_handles[h - 1];
  r.verb = verb;
  r.path = path;
  r.version = version;
  return h;
}

bool HttpSendRequest(HttpHandle request, const char* headers, uint32_t headerLength, const void* body,
                     uint32_t bodyLength) {
  Handle* r = Get(request, Handle::kRequest);
  if (!r || headers || headerLength || (bodyLength && !body)) return false;
  Handle& c = g_handles[r->parent - 1];
  const Handle& s = g_handles[c.parent - 1];
  char head[2048];
  const int n = bodyLength ? std::snprintf(head, sizeof head,
                                           "%s %s %s\r\nUser-Agent: %s\r\nHost: %s\r\nContent-Length: %d\r\n"
                                           "Pragma: No-Cache\r\n\r\n",
                                           r->verb.c_str(), r->path.c_str(), r->version.c_str(), s.agent.c_str(),
                                           c.host.c_str(), static_cast<int>(bodyLength))
                           : std::snprintf(head, sizeof head,
                                           "%s %s %s\r\nUser-Agent: %s\r\nHost: %s\r\nPragma: No-Cache\r\n\r\n",
                                           r->verb.c_str(), r->path.c_str(), r->version.c_str(), s.agent.c_str(),
                                           c.host.c_str());
  if (n <= 0 || n >= static_cast<int>(sizeof head)) return false;
  std::vector<char> all(head, head + n);
  if (bodyLength) {
    all.insert(all.end(), static_cast<const char*>(body), static_cast<const char*>(body) + bodyLength);
    all.push_back('\r');
    all.push_back('\n');
  }
  if (!SendAll(c.socket, all.data(), all.size())) return false;
  r->head = HttpReplyHead{};
  const DWORD start = GetTickCount();
  while (r->head.state() == HttpReplyHead::State::kReading) {
    const int b = ReceiveByte(c.socket, start);
    if (b < 0) return false;
    r->head.Feed(static_cast<uint8_t>(b));
  }
  r->headRead = r->head.state() == HttpReplyHead::State::kDone;
  return r->headRead;
}

bool HttpQueryInfo(HttpHandle request, uint32_t what, void* out, uint32_t* outLength, uint32_t* index) {
  Handle* r = Get(request, Handle::kRequest);
  if (!r || !r->headRead || !(what & kHttpQueryNumber) || !out || !outLength || *outLength < 4 ||
      (index && *index != 0))
    return false;
  int value;
  switch (what & 0xffff) {
    case kHttpQueryStatus: value = r->head.status(); break;
    case kHttpQueryLength:
      if (r->head.contentLength() < 0) return false;
      value = r->head.contentLength();
      break;
    default: return false;
  }
  std::memcpy(out, &value, 4);
  *outLength = 4;
  return true;
}

bool HttpReadReply(HttpHandle request, void* buffer, uint32_t count, uint32_t* read) {
  Handle* r = Get(request, Handle::kRequest);
  if (!r || !r->headRead || (count && !buffer)) return false;
  const ws::SOCKET s = g_handles[r->parent - 1].socket;
  auto* p = static_cast<char*>(buffer);
  uint32_t have = 0;
  const DWORD start = GetTickCount();
  while (have < count) {
    const int k = ws::recv(s, p + have, static_cast<int>(count - have), 0);
    if (k > 0) {
      have += static_cast<uint32_t>(k);
      continue;
    }
    if (k < 0 && ws::WSAGetLastError() == ws::WSAEWOULDBLOCK && !Expired(start)) {
      Sleep(50);
      continue;
    }
    return false;
  }
  if (read) *read = count;
  return true;
}

bool HttpCloseHandle(HttpHandle handle) {
  if (handle == 0 || handle > kHandles || g_handles[handle - 1].kind == Handle::kFree) return false;
  for (int i = 0; i < kHandles; ++i)
    if (g_handles[i].kind != Handle::kFree && g_handles[i].parent == handle) HttpCloseHandle(static_cast<HttpHandle>(i + 1));
  Handle& h = g_handles[handle - 1];
  if (h.socket != ws::INVALID_SOCKET) ws::closesocket(h.socket);
  const bool session = h.kind == Handle::kSession;
  h = Handle{};
  if (session) ws::WSACleanup();
  return true;
}

int HttpOpenHandles() {
  int n = 0;
  for (const Handle& h : g_handles) n += h.kind != Handle::kFree;
  return n;
}

}  // namespace online

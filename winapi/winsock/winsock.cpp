// The Winsock calls: argument checks, the Winsock records and last errors, over the socket engine.
#include "winsock.h"

#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "winapi/winsock/engine.h"
#include "winapi_modules.h"

namespace winsock {
namespace eng = winapi::winsock::engine;

namespace {

int g_started = 0;
std::mutex g_startLock;

int Result(int value) {
  if (value < 0) {
    SetLastError(static_cast<DWORD>(-value));
    return SOCKET_ERROR;
  }
  return value;
}

bool Started() {
  std::lock_guard<std::mutex> lock(g_startLock);
  if (g_started > 0) return true;
  SetLastError(WSANOTINITIALISED);
  return false;
}

// The program's address record as the engine's; false (last error set) when it is not valid.
bool FromRecord(const sockaddr* record, int length, eng::Address* out) {
  if (!record) {
    SetLastError(WSAEFAULT);
    return false;
  }
  if (record->sa_family == AF_INET) {
    if (length < static_cast<int>(sizeof(sockaddr_in))) {
      SetLastError(WSAEFAULT);
      return false;
    }
    sockaddr_in in;
    std::memcpy(&in, record, sizeof in);
    out->family = 2;
    out->ip = ntohl(in.sin_addr.s_addr);
    out->port = ntohs(in.sin_port);
    return true;
  }
  if (record->sa_family == AF_IPX) {
    if (length < 14) {
      SetLastError(WSAEFAULT);
      return false;
    }
    sockaddr_ipx ipx{};
    std::memcpy(&ipx, record, 14);
    const auto* node = reinterpret_cast<const uint8_t*>(ipx.sa_nodenum);
    out->family = 6;
    out->broadcast = true;
    for (int i = 0; i < 6; ++i) out->broadcast = out->broadcast && node[i] == 0xff;
    out->ip = out->broadcast ? 0
                             : static_cast<uint32_t>(node[2]) << 24 | static_cast<uint32_t>(node[3]) << 16 |
                                   static_cast<uint32_t>(node[4]) << 8 | node[5];
    out->port = ntohs(ipx.sa_socket);
    return true;
  }
  SetLastError(WSAEAFNOSUPPORT);
  return false;
}

// Writes the engine's address into the program's record; false when the record is too small.
bool ToRecord(const eng::Address& a, sockaddr* record, int* length) {
  if (!record || !length) return true;
  if (a.family == 6) {
    if (*length < 14) return false;
    sockaddr_ipx ipx{};
    ipx.sa_family = AF_IPX;
    auto* node = reinterpret_cast<uint8_t*>(ipx.sa_nodenum);
    node[2] = static_cast<uint8_t>(a.ip >> 24);
    node[3] = static_cast<uint8_t>(a.ip >> 16);
    node[4] = static_cast<uint8_t>(a.ip >> 8);
    node[5] = static_cast<uint8_t>(a.ip);
    ipx.sa_socket = htons(a.port);
    std::memcpy(record, &ipx, 14);
    *length = 14;
    return true;
  }
  if (*length < static_cast<int>(sizeof(sockaddr_in))) return false;
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(a.port);
  in.sin_addr.s_addr = htonl(a.ip);
  std::memcpy(record, &in, sizeof in);
  *length = sizeof in;
  return true;
}

std::string HostNameOf(uint32_t ip) { return "teebox-" + std::to_string(ip & 0xff); }

// Host look-up of the loopback network: the machine names "teebox-N", "localhost", dotted addresses.
bool Resolve(const char* name, uint32_t* ip) {
  if (!name || !*name) return false;
  const u_long dotted = inet_addr(name);
  if (dotted != INADDR_NONE) {
    *ip = ntohl(dotted);
    return (*ip >> 24) == 127;
  }
  char own[64];
  gethostname(own, sizeof own);
  if (strcasecmp(name, own) == 0 || strcasecmp(name, "localhost") == 0) {
    *ip = eng::MachineAddress();
    return true;
  }
  if (strncasecmp(name, "teebox-", 7) == 0) {
    char* end = nullptr;
    const long n = std::strtol(name + 7, &end, 10);
    if (end && !*end && n >= 1 && n <= 254) {
      *ip = 0x7f000000u | static_cast<uint32_t>(n);
      return true;
    }
  }
  return false;
}

// Lays a host entry for one address out in `buffer`; the bytes used, 0 when it does not fit.
int LayOutHost(const char* name, uint32_t ip, char* buffer, int length) {
  const size_t nameLength = std::strlen(name) + 1;
  const size_t need = sizeof(hostent) + 3 * sizeof(char*) + 4 + nameLength;
  if (!buffer || length < 0 || static_cast<size_t>(length) < need) return 0;
  auto* h = reinterpret_cast<hostent*>(buffer);
  auto** aliases = reinterpret_cast<char**>(buffer + sizeof(hostent));
  auto** list = aliases + 1;
  char* address = reinterpret_cast<char*>(list + 2);
  char* text = address + 4;
  aliases[0] = nullptr;
  const u_long net = htonl(ip);
  std::memcpy(address, &net, 4);
  list[0] = address;
  list[1] = nullptr;
  std::memcpy(text, name, nameLength);
  h->h_name = text;
  h->h_aliases = aliases;
  h->h_addrtype = AF_INET;
  h->h_length = 4;
  h->h_addr_list = list;
  return static_cast<int>(need);
}

}  // namespace

int WSAStartup(WORD version, WSADATA* data) {
  if (!data) return WSAEFAULT;
  const int major = version & 0xff, minor = version >> 8;
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  if (eng::Startup() < 0) return WSASYSNOTREADY;
  std::memset(data, 0, sizeof *data);
  data->wVersion = 0x0101;
  data->wHighVersion = 0x0101;
  std::snprintf(data->szDescription, sizeof data->szDescription, "Winsock 1.1 over loopback sockets");
  std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxSockets = 256;
  data->iMaxUdpDg = 1472;
  std::lock_guard<std::mutex> lock(g_startLock);
  ++g_started;
  return 0;
}

int WSACleanup() {
  std::lock_guard<std::mutex> lock(g_startLock);
  if (g_started == 0) {
    SetLastError(WSANOTINITIALISED);
    return SOCKET_ERROR;
  }
  --g_started;
  eng::Cleanup();
  return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }
void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

SOCKET socket(int family, int type, int protocol) {
  if (!Started()) return INVALID_SOCKET;
  const intptr_t s = eng::Socket(family, type, protocol);
  if (s < 0) {
    SetLastError(static_cast<DWORD>(-s));
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(s);
}

int closesocket(SOCKET s) { return Result(eng::Close(static_cast<intptr_t>(s))); }

int bind(SOCKET s, const sockaddr* address, int length) {
  eng::Address a;
  if (!FromRecord(address, length, &a)) return SOCKET_ERROR;
  return Result(eng::Bind(static_cast<intptr_t>(s), a));
}

int listen(SOCKET s, int backlog) { return Result(eng::Listen(static_cast<intptr_t>(s), backlog)); }

SOCKET accept(SOCKET s, sockaddr* address, int* length) {
  eng::Address a;
  const intptr_t n = eng::Accept(static_cast<intptr_t>(s), &a);
  if (n < 0) {
    SetLastError(static_cast<DWORD>(-n));
    return INVALID_SOCKET;
  }
  if (address && length && !ToRecord(a, address, length)) {
    eng::Close(n);
    SetLastError(WSAEFAULT);
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(n);
}

int connect(SOCKET s, const sockaddr* address, int length) {
  eng::Address a;
  if (!FromRecord(address, length, &a)) return SOCKET_ERROR;
  return Result(eng::Connect(static_cast<intptr_t>(s), a));
}

int send(SOCKET s, const char* data, int length, int) {
  if (!data && length > 0) return Result(-WSAEFAULT);
  return Result(eng::Send(static_cast<intptr_t>(s), data, length));
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  if (!buffer && length > 0) return Result(-WSAEFAULT);
  return Result(eng::Recv(static_cast<intptr_t>(s), buffer, length, (flags & 2) != 0));
}

int sendto(SOCKET s, const char* data, int length, int, const sockaddr* to, int toLength) {
  eng::Address a;
  if (!FromRecord(to, toLength, &a)) return SOCKET_ERROR;
  return Result(eng::SendTo(static_cast<intptr_t>(s), data, length, a));
}

int recvfrom(SOCKET s, char* buffer, int length, int, sockaddr* from, int* fromLength) {
  eng::Address a;
  const int n = eng::RecvFrom(static_cast<intptr_t>(s), buffer, length, &a);
  if (n < 0) return Result(n);
  if (from && fromLength && !ToRecord(a, from, fromLength)) return Result(-WSAEFAULT);
  return n;
}

int shutdown(SOCKET s, int how) { return Result(eng::Shutdown(static_cast<intptr_t>(s), how)); }

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
  return Result(eng::SetOption(static_cast<intptr_t>(s), level, name, value, length));
}

int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  return Result(eng::GetOption(static_cast<intptr_t>(s), level, name, value, length));
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  if (!argument) return Result(-WSAEFAULT);
  if (command == FIONBIO) return Result(eng::SetNonBlocking(static_cast<intptr_t>(s), *argument != 0));
  if (command == FIONREAD) {
    const int n = eng::Available(static_cast<intptr_t>(s));
    if (n < 0) return Result(n);
    *argument = static_cast<u_long>(n);
    return 0;
  }
  return Result(-WSAEINVAL);
}

int getsockname(SOCKET s, sockaddr* address, int* length) {
  eng::Address a;
  if (const int r = eng::LocalAddress(static_cast<intptr_t>(s), &a); r < 0) return Result(r);
  if (!address || !length || !ToRecord(a, address, length)) return Result(-WSAEFAULT);
  return 0;
}

int getpeername(SOCKET s, sockaddr* address, int* length) {
  eng::Address a;
  if (const int r = eng::PeerAddress(static_cast<intptr_t>(s), &a); r < 0) return Result(r);
  if (!address || !length || !ToRecord(a, address, length)) return Result(-WSAEFAULT);
  return 0;
}

int select(int, fd_set* readers, fd_set* writers, fd_set* errors, const timeval* timeout) {
  intptr_t sockets[3 * WS_FD_SETSIZE];
  int wanted[3 * WS_FD_SETSIZE];
  int ready[3 * WS_FD_SETSIZE];
  int count = 0;
  const auto gather = [&](fd_set* set, int bit) {
    if (!set) return;
    for (u_int i = 0; i < set->fd_count && i < WS_FD_SETSIZE; ++i) {
      sockets[count] = static_cast<intptr_t>(set->fd_array[i]);
      wanted[count++] = bit;
    }
  };
  gather(readers, 1);
  gather(writers, 2);
  gather(errors, 4);
  if (count == 0) return Result(-WSAEINVAL);
  const int ms = timeout ? static_cast<int>(timeout->tv_sec * 1000 + timeout->tv_usec / 1000) : -1;
  const int n = eng::Poll(sockets, count, wanted, ready, ms);
  if (n < 0) return Result(n);
  int at = 0, total = 0;
  const auto scatter = [&](fd_set* set) {
    if (!set) return;
    u_int kept = 0;
    const u_int given = set->fd_count;
    for (u_int i = 0; i < given && i < WS_FD_SETSIZE; ++i, ++at)
      if (ready[at]) set->fd_array[kept++] = set->fd_array[i];
    set->fd_count = kept;
    total += static_cast<int>(kept);
  };
  scatter(readers);
  scatter(writers);
  scatter(errors);
  return total;
}

int gethostname(char* name, int length) {
  if (!name || length <= 0) return Result(-WSAEFAULT);
  const std::string own = HostNameOf(eng::MachineAddress());
  if (static_cast<int>(own.size()) >= length) return Result(-WSAEFAULT);
  std::memcpy(name, own.c_str(), own.size() + 1);
  return 0;
}

hostent* gethostbyname(const char* name) {
  alignas(hostent) static thread_local char buffer[MAXGETHOSTSTRUCT];
  uint32_t ip = 0;
  if (!Resolve(name, &ip)) {
    SetLastError(WSAHOST_NOT_FOUND);
    return nullptr;
  }
  const std::string canonical = HostNameOf(ip);
  if (!LayOutHost(canonical.c_str(), ip, buffer, sizeof buffer)) {
    SetLastError(WSANO_RECOVERY);
    return nullptr;
  }
  return reinterpret_cast<hostent*>(buffer);
}

u_long inet_addr(const char* text) {
  if (!text) return INADDR_NONE;
  unsigned parts[4];
  int count = 0;
  const char* p = text;
  while (count < 4) {
    if (*p < '0' || *p > '9') return INADDR_NONE;
    unsigned v = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      v = v * 10 + static_cast<unsigned>(*p++ - '0');
      if (++digits > 3) return INADDR_NONE;
    }
    if (v > 255) return INADDR_NONE;
    parts[count++] = v;
    if (*p == '.' && count < 4) {
      ++p;
      continue;
    }
    break;
  }
  if (count != 4 || *p) return INADDR_NONE;
  return htonl(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]);
}

char* inet_ntoa(in_addr address) {
  static thread_local char text[16];
  const u_long h = ntohl(address.s_addr);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", h >> 24, (h >> 16) & 0xff, (h >> 8) & 0xff, h & 0xff);
  return text;
}

u_short htons(u_short value) { return static_cast<u_short>((value << 8) | (value >> 8)); }
u_short ntohs(u_short value) { return htons(value); }
u_long htonl(u_long value) {
  return (value >> 24) | ((value >> 8) & 0xff00u) | ((value << 8) & 0xff0000u) | (value << 24);
}
u_long ntohl(u_long value) { return htonl(value); }

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events) {
  if (!Started()) return SOCKET_ERROR;
  return Result(eng::AsyncSelect(static_cast<intptr_t>(s), window, message, events));
}

namespace {
std::atomic<uintptr_t> g_nextTask{0x5000};
}

HANDLE WSAAsyncGetHostByName(HWND window, UINT message, const char* name, char* buffer, int length) {
  if (!Started()) return nullptr;
  if (!window || !name) {
    SetLastError(WSAEFAULT);
    return nullptr;
  }
  const auto task = reinterpret_cast<HANDLE>(g_nextTask.fetch_add(4));
  std::string copy = name;
  // The answer always comes as a message, after the call has returned the task handle.
  std::thread([=] {
    uint32_t ip = 0;
    int error = 0, used = 0;
    if (!Resolve(copy.c_str(), &ip)) {
      error = WSAHOST_NOT_FOUND;
    } else {
      const std::string canonical = HostNameOf(ip);
      used = LayOutHost(canonical.c_str(), ip, buffer, length);
      if (!used) error = WSAENOBUFS;
    }
    PostMessageA(window, message, reinterpret_cast<WPARAM>(task), WSAMAKEASYNCREPLY(used, error));
  }).detach();
  return task;
}

int WSACancelAsyncRequest(HANDLE) { return Result(-WSAEINVAL); }

}  // namespace winsock

namespace winapi::winsock {
uint32_t MachineAddress() { return engine::MachineAddress(); }
uint16_t MappedPort(uint16_t port) { return engine::MappedPort(port); }
int OpenSocketCount() { return engine::OpenCount(); }
void MapPort(uint16_t game, uint16_t real) { engine::MapPort(game, real); }
}  // namespace winapi::winsock

// ICMP.DLL, built in: echoes to loopback addresses are answered with a measured round trip, others time out.
namespace {

struct IcmpHandle {
  int magic = 0x49434d50;
};

HANDLE IcmpCreateFile() { return new IcmpHandle; }

BOOL IcmpCloseHandle(HANDLE handle) {
  auto* h = static_cast<IcmpHandle*>(handle);
  if (!h || h->magic != 0x49434d50) return FALSE;
  h->magic = 0;
  delete h;
  return TRUE;
}

DWORD IcmpSendEcho(HANDLE handle, ULONG destination, LPVOID data, WORD size, IP_OPTION_INFORMATION*, LPVOID reply,
                   DWORD replySize, DWORD timeout) {
  auto* h = static_cast<IcmpHandle*>(handle);
  if (!h || h->magic != 0x49434d50 || !reply || replySize < sizeof(ICMP_ECHO_REPLY) + size) {
    SetLastError(87);  // invalid parameter
    return 0;
  }
  auto* r = static_cast<ICMP_ECHO_REPLY*>(reply);
  std::memset(r, 0, sizeof *r);
  r->Address = destination;
  const uint32_t host = winsock::ntohl(destination);
  const int ms = winapi::winsock::engine::EchoRoundTrip(host, static_cast<int>(timeout));
  if (ms < 0) {
    r->Status = IP_REQ_TIMED_OUT;
    SetLastError(IP_REQ_TIMED_OUT);
    return 0;
  }
  r->Status = IP_SUCCESS;
  r->RoundTripTime = static_cast<ULONG>(ms);
  r->DataSize = size;
  r->Data = reinterpret_cast<char*>(reply) + sizeof(ICMP_ECHO_REPLY);
  if (data && size) std::memcpy(r->Data, data, size);
  r->Options.Ttl = 128;
  return 1;
}

FARPROC IcmpLookup(const char* name) {
  if (std::strcmp(name, "IcmpCreateFile") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&IcmpCreateFile));
  if (std::strcmp(name, "IcmpCloseHandle") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&IcmpCloseHandle));
  if (std::strcmp(name, "IcmpSendEcho") == 0) return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&IcmpSendEcho));
  return nullptr;
}

[[maybe_unused]] const bool g_icmpRegistered = [] {
  winapi::internal::RegisterBuiltinModule("ICMP.DLL", &IcmpLookup);
  return true;
}();

}  // namespace

#include "winapi/winsock/engine.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace winapi::winsock::engine {
namespace {

// Winsock numbers the engine translates (it does not see winsock.h).
constexpr int kSolSocket = 0xffff;
constexpr int kSoReuseAddr = 0x0004, kSoBroadcast = 0x0020, kSoLinger = 0x0080, kSoSndBuf = 0x1001,
              kSoRcvBuf = 0x1002, kSoError = 0x1007, kSoType = 0x1008;
constexpr int kTcpNoDelay = 1;
constexpr int kIpxAddress = 0x4007, kIpxReceiveBroadcast = 0x400f;
constexpr long kRead = 0x01, kWrite = 0x02, kAccept = 0x08, kConnect = 0x10, kClose = 0x20;

// The machines the stand-in makes are 127.0.0.1 to 127.0.0.254: a broadcast is sent to each of them.
constexpr uint32_t kFirstMachine = 0x7f000001u, kLastMachine = 0x7f0000feu;

int ErrorFromErrno(int e) {
  switch (e) {
    case EINTR: return 10004;
    case EBADF: return 10038;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: case EINPROGRESS: return 10035;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case EOPNOTSUPP: return 10045;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case EPIPE: case ESHUTDOWN: return 10058;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case EHOSTUNREACH: return 10065;
    default: return 10050;
  }
}

int Fail() { return -ErrorFromErrno(errno); }

struct Sock {
  int fd = -1;
  int family = 2, type = 1, protocol = 0;
  bool nonblocking = false, broadcast = false, listening = false, connecting = false, connected = false;
  bool bound = false;
  HWND window = nullptr;
  UINT message = 0;
  long mask = 0;
  bool readArmed = true, writeArmed = false, acceptArmed = true, closeReported = false;
  uint64_t serial = 0;
};

struct Post {
  HWND window;
  UINT message;
  WPARAM socket;
  LPARAM value;
};

std::mutex& Lock() {
  static std::mutex m;
  return m;
}
// Kept for the life of the process, like the rest of the stand-in's state.
std::map<int, Sock>& Table() {
  static auto* t = new std::map<int, Sock>;
  return *t;
}
uint64_t g_serial = 0;
// Socket handles are never reused while the program runs, so a notification still on its way never reaches a
// newer socket that got the same descriptor.
intptr_t g_nextHandle = 0x100;
int g_wake = -1;
bool g_pollerStarted = false;
int g_startups = 0;

uint32_t ReadMachineAddress() {
  const char* text = std::getenv("WINAPI_NET_ADDRESS");
  if (!text || !*text) return kFirstMachine;
  in_addr a{};
  if (inet_pton(AF_INET, text, &a) != 1) return kFirstMachine;
  const uint32_t host = ntohl(a.s_addr);
  // Nothing leaves loopback.
  if ((host >> 24) != 127 || host < kFirstMachine || host > kLastMachine) return kFirstMachine;
  return host;
}

std::mutex& PortMapLock() {
  static std::mutex m;
  return m;
}

std::map<uint16_t, uint16_t>& PortMap() {
  static auto* map = [] {
    auto* m = new std::map<uint16_t, uint16_t>;
    // "53139=41000,20225=41001"
    if (const char* text = std::getenv("WINAPI_PORT_MAP")) {
      std::string s = text;
      size_t at = 0;
      while (at < s.size()) {
        size_t end = s.find(',', at);
        if (end == std::string::npos) end = s.size();
        const std::string item = s.substr(at, end - at);
        const size_t eq = item.find('=');
        if (eq != std::string::npos) {
          const long from = std::strtol(item.substr(0, eq).c_str(), nullptr, 0);
          const long to = std::strtol(item.substr(eq + 1).c_str(), nullptr, 0);
          if (from > 0 && from < 65536 && to > 0 && to < 65536)
            (*m)[static_cast<uint16_t>(from)] = static_cast<uint16_t>(to);
        }
        at = end + 1;
      }
    }
    return m;
  }();
  return *map;
}

uint16_t ToReal(uint16_t port) {
  std::lock_guard<std::mutex> lock(PortMapLock());
  const auto& m = PortMap();
  const auto it = m.find(port);
  return it == m.end() ? port : it->second;
}
uint16_t FromReal(uint16_t port) {
  std::lock_guard<std::mutex> lock(PortMapLock());
  for (const auto& [from, to] : PortMap())
    if (to == port) return from;
  return port;
}

bool IsBroadcast(const Address& a) {
  if (a.family == 6) return a.broadcast;
  // The classful broadcast of the loopback network, and the limited broadcast.
  return a.ip == kBroadcast || a.ip == 0x7fffffffu;
}

sockaddr_in Real(const Address& a) {
  sockaddr_in r{};
  r.sin_family = AF_INET;
  uint32_t ip = a.ip == 0 ? MachineAddress() : a.ip;
  r.sin_addr.s_addr = htonl(ip);
  r.sin_port = htons(a.port ? ToReal(a.port) : 0);
  return r;
}

Address Program(const sockaddr_in& r, int family) {
  Address a;
  a.family = family;
  a.ip = ntohl(r.sin_addr.s_addr);
  a.port = FromReal(ntohs(r.sin_port));
  return a;
}

void Wake() {
  if (g_wake >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(g_wake, &one, sizeof one);
  }
}

void PostAll(const std::vector<Post>& posts) {
  for (const Post& p : posts) PostMessageA(p.window, p.message, p.socket, p.value);
}

LPARAM Reply(long event, int error) {
  return static_cast<LPARAM>(static_cast<DWORD>(event & 0xffff) | (static_cast<DWORD>(error & 0xffff) << 16));
}

// One thread watches every socket with a notification window and posts its events, re-armed as Winsock does:
// read after the next receive, accept after the next accept, write after a send that would block; connect and
// close once.
void PollerLoop() {
  std::vector<pollfd> fds;
  std::vector<intptr_t> who;
  for (;;) {
    fds.clear();
    who.clear();
    fds.push_back({g_wake, POLLIN, 0});
    {
      std::lock_guard<std::mutex> lock(Lock());
      for (auto& [handle, s] : Table()) {
        if (!s.window || !s.mask || s.closeReported) continue;
        short ev = 0;
        if (s.listening) {
          if (s.acceptArmed && (s.mask & kAccept)) ev |= POLLIN;
        } else if (s.connecting) {
          ev |= POLLOUT;
        } else if (s.type == 2) {
          if (s.readArmed && (s.mask & kRead)) ev |= POLLIN;
          if (s.writeArmed && (s.mask & kWrite)) ev |= POLLOUT;
        } else if (s.connected) {
          if (s.readArmed && (s.mask & kRead)) ev |= POLLIN;
          if ((s.mask & kClose) && (s.readArmed || !(s.mask & kRead))) ev |= POLLRDHUP;
          if (s.writeArmed && (s.mask & kWrite)) ev |= POLLOUT;
        }
        if (!ev) continue;
        fds.push_back({s.fd, ev, 0});
        who.push_back(handle);
      }
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents) {
      uint64_t count;
      [[maybe_unused]] ssize_t n = ::read(g_wake, &count, sizeof count);
    }
    std::vector<Post> posts;
    {
      std::lock_guard<std::mutex> lock(Lock());
      for (size_t i = 1; i < fds.size(); ++i) {
        if (!fds[i].revents) continue;
        const auto it = Table().find(who[i - 1]);
        if (it == Table().end()) continue;  // closed meanwhile
        Sock& s = it->second;
        const int fd = s.fd;
        const auto add = [&](long event, int error) {
          posts.push_back({s.window, s.message, static_cast<WPARAM>(who[i - 1]), Reply(event, error)});
        };
        const short r = fds[i].revents;
        if (s.listening) {
          if (r & (POLLIN | POLLERR | POLLHUP)) {
            s.acceptArmed = false;
            add(kAccept, 0);
          }
          continue;
        }
        if (s.connecting) {
          int error = 0;
          socklen_t len = sizeof error;
          ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
          s.connecting = false;
          if (error == ECONNRESET || error == EPIPE) {
            // Made, then reset before anyone looked: connected, then closed.
            s.closeReported = true;
            if (s.mask & kConnect) add(kConnect, 0);
            if (s.mask & kClose) add(kClose, ErrorFromErrno(error));
            continue;
          }
          if (s.mask & kConnect) add(kConnect, error ? ErrorFromErrno(error) : 0);
          if (error) {
            s.closeReported = true;
          } else {
            s.connected = true;
            s.writeArmed = true;
          }
          continue;
        }
        if (s.type == 2) {
          if ((r & POLLIN) && s.readArmed) {
            s.readArmed = false;
            add(kRead, 0);
          }
          if ((r & POLLOUT) && s.writeArmed) {
            s.writeArmed = false;
            add(kWrite, 0);
          }
          continue;
        }
        if (r & (POLLIN | POLLRDHUP | POLLERR | POLLHUP)) {
          // Data without a close or an error needs no look; otherwise a peek tells data still to read from the
          // end of the stream.
          char probe;
          const bool plainData = (r & POLLIN) && !(r & (POLLRDHUP | POLLERR | POLLHUP));
          const ssize_t n = plainData ? 1 : ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
          if (n > 0) {
            if (s.readArmed && (s.mask & kRead)) {
              s.readArmed = false;
              add(kRead, 0);
            }
          } else if (n == 0) {
            s.closeReported = true;
            if (s.mask & kClose) add(kClose, 0);
          } else if (errno != EAGAIN && errno != EINTR) {
            s.closeReported = true;
            if (s.mask & kClose) add(kClose, ErrorFromErrno(errno));
          }
        }
        if ((r & POLLOUT) && s.writeArmed && !s.closeReported) {
          s.writeArmed = false;
          add(kWrite, 0);
        }
      }
    }
    PostAll(posts);
  }
}

void StartPollerLocked() {
  if (g_pollerStarted) return;
  g_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (g_wake < 0) return;
  g_pollerStarted = true;
  std::thread(PollerLoop).detach();
}

// Runs `f` on the socket's record under the lock; the negated WSAENOTSOCK when there is none.
template <class F>
int WithSock(intptr_t s, F f) {
  std::lock_guard<std::mutex> lock(Lock());
  const auto it = Table().find(s);
  if (it == Table().end()) return -10038;
  return f(it->second);
}

int FdOf(intptr_t s) {
  std::lock_guard<std::mutex> lock(Lock());
  const auto it = Table().find(s);
  return it == Table().end() ? -1 : it->second.fd;
}

// An unbound socket takes the machine's address before it connects or sends, as a machine's own card would.
int EnsureBound(int fd, Sock& s) {
  if (s.bound) return 0;
  sockaddr_in r{};
  r.sin_family = AF_INET;
  r.sin_addr.s_addr = htonl(MachineAddress());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&r), sizeof r) < 0) return Fail();
  s.bound = true;
  return 0;
}

}  // namespace

uint32_t MachineAddress() {
  static const uint32_t address = ReadMachineAddress();
  return address;
}

uint16_t MappedPort(uint16_t port) { return ToReal(port); }

void MapPort(uint16_t game, uint16_t real) {
  std::lock_guard<std::mutex> lock(PortMapLock());
  if (real == 0 || real == game)
    PortMap().erase(game);
  else
    PortMap()[game] = real;
}

int Startup() {
  std::lock_guard<std::mutex> lock(Lock());
  ++g_startups;
  StartPollerLocked();
  return g_pollerStarted ? 0 : -10091;
}

void Cleanup() {
  std::lock_guard<std::mutex> lock(Lock());
  if (g_startups > 0) --g_startups;
}

intptr_t Socket(int family, int type, int protocol) {
  if (family != 2 && family != 6) return -10047;
  if (type != 1 && type != 2) return -10044;
  if (family == 2 && protocol != 0 && protocol != (type == 1 ? 6 : 17)) return -10043;
  if (family == 6 && protocol != 0 && protocol != (type == 1 ? 1256 : 1000) && !(type == 1 && protocol == 1257))
    return -10043;
  const int fd = ::socket(AF_INET, (type == 1 ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail();
  if (type == 1) {
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  std::lock_guard<std::mutex> lock(Lock());
  Sock s;
  s.family = family;
  s.type = type;
  s.protocol = protocol;
  s.serial = ++g_serial;
  s.fd = fd;
  const intptr_t handle = g_nextHandle;
  g_nextHandle += 4;
  Table()[handle] = s;
  return handle;
}

int Close(intptr_t s) {
  {
    std::lock_guard<std::mutex> lock(Lock());
    const auto it = Table().find(s);
    if (it == Table().end()) return -10038;
    const int fd = it->second.fd;
    Table().erase(it);
    ::close(fd);
  }
  Wake();
  return 0;
}

int Bind(intptr_t s, const Address& address) {
  return WithSock(s, [&](Sock& k) {
    if (address.family != k.family) return -10047;
    if (k.bound) return -10022;
    if (address.ip != 0 && address.ip != MachineAddress()) return -10049;  // not this machine's address
    sockaddr_in r = Real(address);
    if (k.type == 2) {
      // Every process of the port hears the broadcasts; each machine binds its own address.
      const int on = 1;
      ::setsockopt(k.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    if (::bind(k.fd, reinterpret_cast<sockaddr*>(&r), sizeof r) < 0) return Fail();
    k.bound = true;
    return 0;
  });
}

int Listen(intptr_t s, int backlog) {
  const int result = WithSock(s, [&](Sock& k) {
    if (k.type != 1) return -10045;
    if (int e = EnsureBound(k.fd, k)) return e;
    if (::listen(k.fd, backlog < 1 ? 1 : backlog) < 0) return Fail();
    k.listening = true;
    k.acceptArmed = true;
    return 0;
  });
  Wake();
  return result;
}

intptr_t Accept(intptr_t s, Address* peer) {
  int family = 2;
  bool nonblocking = false;
  int listenFd = -1;
  int result = WithSock(s, [&](Sock& k) {
    if (!k.listening) return -10022;
    listenFd = k.fd;
    family = k.family;
    nonblocking = k.nonblocking;
    k.acceptArmed = true;
    return 0;
  });
  Wake();
  if (result < 0) return result;
  sockaddr_in r{};
  socklen_t len = sizeof r;
  const int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&r), &len,
                           SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0));
  if (fd < 0) return Fail();
  if (peer) *peer = Program(r, family);
  std::lock_guard<std::mutex> lock(Lock());
  const auto it = Table().find(s);
  Sock n;
  if (it != Table().end()) {
    // The new socket inherits the listening socket's notification settings.
    n = it->second;
    n.mask &= ~kAccept;
  }
  n.family = family;
  n.listening = false;
  n.connecting = false;
  n.connected = true;
  n.bound = true;
  n.readArmed = true;
  n.writeArmed = true;
  n.acceptArmed = false;
  n.closeReported = false;
  n.serial = ++g_serial;
  n.fd = fd;
  const intptr_t handle = g_nextHandle;
  g_nextHandle += 4;
  Table()[handle] = n;
  if (n.window) Wake();
  return handle;
}

int Connect(intptr_t s, const Address& address) {
  const int result = WithSock(s, [&](Sock& k) {
    if (k.type != 1) return -10045;
    if (address.family != k.family) return -10047;
    if (k.connected) return -10056;
    if (k.connecting) return -10037;
    if (address.ip == kBroadcast || address.broadcast || address.port == 0) return -10049;
    if (int e = EnsureBound(k.fd, k)) return e;
    sockaddr_in r = Real(address);
    if (::connect(k.fd, reinterpret_cast<sockaddr*>(&r), sizeof r) < 0) {
      if (errno == EINPROGRESS) {
        k.connecting = true;
        return -10035;
      }
      return Fail();
    }
    if (k.nonblocking) {
      // Made at once: a non-blocking connect still completes through its notification.
      k.connecting = true;
      return -10035;
    }
    k.connected = true;
    k.writeArmed = true;
    return 0;
  });
  Wake();
  return result;
}

int Send(intptr_t s, const void* data, int length) {
  if (length < 0) return -10022;
  const int state = WithSock(s, [](Sock& k) { return k.type == 1 && !k.connected && !k.connecting ? -10057 : 0; });
  if (state < 0) return state;
  const ssize_t n = ::send(FdOf(s), data, static_cast<size_t>(length), MSG_NOSIGNAL);
  if (n >= 0) return static_cast<int>(n);
  const int error = Fail();
  if (error == -10035) {
    // The poller needs waking only when it now has a write to watch for that it did not have.
    bool watch = false;
    WithSock(s, [&](Sock& k) {
      watch = !k.writeArmed && k.window && (k.mask & kWrite);
      k.writeArmed = true;
      return 0;
    });
    if (watch) Wake();
  }
  return error;
}

int Recv(intptr_t s, void* buffer, int length, bool peek) {
  if (length < 0) return -10022;
  const ssize_t n = ::recv(FdOf(s), buffer, static_cast<size_t>(length), peek ? MSG_PEEK : 0);
  const int error = n < 0 ? Fail() : 0;
  // Re-arming the read notification changes what the poller watches; a read while it is armed does not.
  bool notify = false;
  WithSock(s, [&](Sock& k) {
    notify = k.window != nullptr && !k.readArmed;
    k.readArmed = true;
    return 0;
  });
  if (notify) Wake();
  return n < 0 ? error : static_cast<int>(n);
}

int SendTo(intptr_t s, const void* data, int length, const Address& to) {
  if (length < 0) return -10022;
  bool broadcastAllowed = false;
  int family = 2;
  const int result = WithSock(s, [&](Sock& k) {
    if (k.type != 2) return -10045;
    if (to.family != k.family) return -10047;
    broadcastAllowed = k.broadcast;
    family = k.family;
    return EnsureBound(k.fd, k);
  });
  if (result < 0) return result;
  if (!IsBroadcast(to)) {
    sockaddr_in r = Real(to);
    if ((ntohl(r.sin_addr.s_addr) >> 24) != 127) return -10051;  // nothing leaves loopback
    const ssize_t n = ::sendto(FdOf(s), data, static_cast<size_t>(length), MSG_NOSIGNAL,
                               reinterpret_cast<sockaddr*>(&r), sizeof r);
    return n < 0 ? Fail() : static_cast<int>(n);
  }
  // IPX sockets receive and send broadcasts without the option.
  if (!broadcastAllowed && family == 2) return -10013;
  // A broadcast reaches every machine of the loopback network on that port.
  for (uint32_t ip = kFirstMachine; ip <= kLastMachine; ++ip) {
    Address one = to;
    one.ip = ip;
    one.broadcast = false;
    sockaddr_in r = Real(one);
    ::sendto(FdOf(s), data, static_cast<size_t>(length), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&r),
             sizeof r);
  }
  return length;
}

int RecvFrom(intptr_t s, void* buffer, int length, Address* from) {
  if (length < 0) return -10022;
  int family = 2;
  WithSock(s, [&](Sock& k) {
    family = k.family;
    return 0;
  });
  sockaddr_in r{};
  socklen_t len = sizeof r;
  const ssize_t n =
      ::recvfrom(FdOf(s), buffer, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&r), &len);
  const int error = n < 0 ? Fail() : 0;
  bool notify = false;
  WithSock(s, [&](Sock& k) {
    notify = k.window != nullptr && !k.readArmed;
    k.readArmed = true;
    return 0;
  });
  if (notify) Wake();
  if (n < 0) return error;
  if (from) *from = Program(r, family);
  return static_cast<int>(n);
}

int Shutdown(intptr_t s, int how) {
  if (::shutdown(FdOf(s), how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR) < 0) return Fail();
  return 0;
}

int SetOption(intptr_t s, int level, int name, const void* value, int length) {
  if (!value || length < 0) return -10014;
  const int fd = FdOf(s);
  const auto word = [&]() -> int {
    int v = 0;
    std::memcpy(&v, value, length < 4 ? static_cast<size_t>(length) : 4);
    return v;
  };
  return WithSock(s, [&](Sock& k) {
    if (level == kSolSocket) {
      switch (name) {
        case kSoBroadcast:
          k.broadcast = word() != 0;
          return 0;
        case kSoReuseAddr:
          return 0;
        case kSoSndBuf:
        case kSoRcvBuf: {
          const int v = word();
          return ::setsockopt(fd, SOL_SOCKET, name == kSoSndBuf ? SO_SNDBUF : SO_RCVBUF, &v, sizeof v) < 0 ? Fail()
                                                                                                          : 0;
        }
        case kSoLinger: {
          if (length < 4) return -10014;
          uint16_t w[2];
          std::memcpy(w, value, 4);
          ::linger l{w[0] ? 1 : 0, w[1]};
          return ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l) < 0 ? Fail() : 0;
        }
        case kIpxReceiveBroadcast:
          return k.family == 6 ? 0 : -10042;
        default:
          return -10042;
      }
    }
    if (level == 6 && name == kTcpNoDelay && k.type == 1) {
      const int v = word() != 0;
      return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) < 0 ? Fail() : 0;
    }
    if (level == 1000 && k.family == 6 && name == kIpxReceiveBroadcast) return 0;
    return -10042;
  });
}

int GetOption(intptr_t s, int level, int name, void* value, int* length) {
  if (!value || !length) return -10014;
  const int fd = FdOf(s);
  return WithSock(s, [&](Sock& k) {
    const auto putWord = [&](int v) {
      if (*length < 4) return -10014;
      std::memcpy(value, &v, 4);
      *length = 4;
      return 0;
    };
    if (level == kSolSocket) {
      switch (name) {
        case kSoBroadcast: return putWord(k.broadcast);
        case kSoType: return putWord(k.type);
        case kSoError: {
          int e = 0;
          socklen_t len = sizeof e;
          ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len);
          return putWord(e ? ErrorFromErrno(e) : 0);
        }
        case kSoSndBuf:
        case kSoRcvBuf: {
          int v = 0;
          socklen_t len = sizeof v;
          ::getsockopt(fd, SOL_SOCKET, name == kSoSndBuf ? SO_SNDBUF : SO_RCVBUF, &v, &len);
          return putWord(v);
        }
        default: return -10042;
      }
    }
    if (level == 1000 && name == kIpxAddress && k.family == 6) {
      // Adapter 0 is the machine's only one: network 0, node 00 00 and the machine's IPv4 address.
      if (*length < 24) return -10014;
      uint8_t record[24] = {};
      const uint32_t ip = MachineAddress();
      record[10] = static_cast<uint8_t>(ip >> 24);
      record[11] = static_cast<uint8_t>(ip >> 16);
      record[12] = static_cast<uint8_t>(ip >> 8);
      record[13] = static_cast<uint8_t>(ip);
      record[15] = 1;  // status: up
      const int maxPacket = 1467;
      std::memcpy(record + 16, &maxPacket, 4);
      std::memcpy(value, record, 24);
      *length = 24;
      return 0;
    }
    return -10042;
  });
}

int SetNonBlocking(intptr_t s, bool on) {
  return WithSock(s, [&](Sock& k) {
    if (k.window && !on) return -10022;  // a socket with notifications stays non-blocking
    const int fd = k.fd;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) < 0) return Fail();
    k.nonblocking = on;
    return 0;
  });
}

int Available(intptr_t s) {
  int n = 0;
  if (::ioctl(FdOf(s), FIONREAD, &n) < 0) return Fail();
  return n;
}

int LocalAddress(intptr_t s, Address* out) {
  const int family = Family(s);
  if (family < 0) return family;
  sockaddr_in r{};
  socklen_t len = sizeof r;
  if (::getsockname(FdOf(s), reinterpret_cast<sockaddr*>(&r), &len) < 0) return Fail();
  *out = Program(r, family);
  return 0;
}

int PeerAddress(intptr_t s, Address* out) {
  const int family = Family(s);
  if (family < 0) return family;
  sockaddr_in r{};
  socklen_t len = sizeof r;
  if (::getpeername(FdOf(s), reinterpret_cast<sockaddr*>(&r), &len) < 0) return Fail();
  *out = Program(r, family);
  return 0;
}

int Family(intptr_t s) {
  return WithSock(s, [](Sock& k) { return k.family; });
}

int AsyncSelect(intptr_t s, HWND window, UINT message, long events) {
  const int fd = FdOf(s);
  const int result = WithSock(s, [&](Sock& k) {
    if (events && !window) return -10022;
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    k.nonblocking = true;
    k.window = events ? window : nullptr;
    k.message = message;
    k.mask = events;
    k.readArmed = true;
    k.acceptArmed = true;
    k.writeArmed = k.connected || k.type == 2;
    return 0;
  });
  {
    std::lock_guard<std::mutex> lock(Lock());
    StartPollerLocked();
  }
  Wake();
  return result;
}

int Poll(const intptr_t* sockets, int count, const int* wanted, int* ready, int timeoutMs) {
  std::vector<pollfd> fds(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (Family(sockets[i]) < 0) return -10038;
    short ev = 0;
    if (wanted[i] & 1) ev |= POLLIN;
    if (wanted[i] & 2) ev |= POLLOUT;
    fds[static_cast<size_t>(i)] = {FdOf(sockets[i]), ev, 0};
  }
  const int n = ::poll(fds.data(), fds.size(), timeoutMs);
  if (n < 0) return Fail();
  int total = 0;
  for (int i = 0; i < count; ++i) {
    const short r = fds[static_cast<size_t>(i)].revents;
    int bits = 0;
    if (r & (POLLIN | POLLHUP)) bits |= 1;
    if (r & POLLOUT) bits |= 2;
    if (r & POLLERR) bits |= 4;
    bits &= wanted[i] | 4;
    ready[i] = bits;
    if (bits) ++total;
  }
  return total;
}

int OpenCount() {
  std::lock_guard<std::mutex> lock(Lock());
  return static_cast<int>(Table().size());
}

int EchoRoundTrip(uint32_t address, int timeoutMs) {
  // Only loopback answers; the echo goes through a real datagram pair to measure a round trip.
  if ((address >> 24) != 127 || timeoutMs <= 0) return -1;
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, fds) < 0) return -1;
  const auto start = std::chrono::steady_clock::now();
  char ping[33] = "abcdefghijklmnopqrstuvwabcdefghi";
  char back[33];
  int result = -1;
  if (::send(fds[0], ping, 32, 0) == 32 && ::recv(fds[1], back, 32, 0) == 32 &&
      ::send(fds[1], back, 32, 0) == 32 && ::recv(fds[0], back, 32, 0) == 32) {
    result = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }
  ::close(fds[0]);
  ::close(fds[1]);
  return result;
}

}  // namespace winapi::winsock::engine

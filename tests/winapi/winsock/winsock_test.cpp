#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "winapi_modules.h"
#include "winsock_fixture.h"

using namespace winsock;
using wstest::Collect;
using wstest::Count;
using wstest::Loopback;
using wstest::Note;
using wstest::Sa;

extern char** environ;

namespace {

// The game's fixed port and IPX socket, remapped to ports of this test run so parallel runs do not meet.
constexpr uint16_t kGamePort = 53139;
constexpr uint16_t kIpxSocket = 0x4f01;
uint16_t RealBase() { return static_cast<uint16_t>(30000 + (getpid() % 10000) * 2); }
const bool g_portMap = [] {
  if (!std::getenv("WINAPI_WINSOCK_CHILD")) {
    const std::string map = std::to_string(kGamePort) + "=" + std::to_string(RealBase()) + "," +
                            std::to_string(kIpxSocket) + "=" + std::to_string(RealBase() + 1);
    setenv("WINAPI_PORT_MAP", map.c_str(), 1);
  }
  return true;
}();

class Sockets : public wstest::WinsockTest {};

// The answer of an asynchronous look-up (about five seconds at most).
std::vector<MSG> LookUpReplies(HWND window) {
  std::vector<MSG> replies;
  for (int i = 0; i < 5000 && replies.empty(); ++i) {
    MSG msg;
    if (PeekMessageA(&msg, window, wstest::kSocketMessage, wstest::kSocketMessage, PM_REMOVE))
      replies.push_back(msg);
    else
      Sleep(1);
  }
  return replies;
}

// Waits up to ten seconds for a datagram.
bool Readable(SOCKET s) {
  winsock::fd_set readers{};
  readers.fd_count = 1;
  readers.fd_array[0] = s;
  winsock::timeval wait{10, 0};
  return select(0, &readers, nullptr, nullptr, &wait) == 1;
}

bool Has(const std::vector<Note>& notes, SOCKET s, long event) { return Count(notes, s, event) > 0; }

uint16_t BoundPort(SOCKET s) {
  sockaddr_in a{};
  int length = sizeof a;
  EXPECT_EQ(getsockname(s, Sa(&a), &length), 0);
  return ntohs(a.sin_port);
}

TEST_F(Sockets, StreamNotificationsReArmAsWinsockDoes) {
  SOCKET listener = Keep(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in any = Loopback(0, 0);
  ASSERT_EQ(bind(listener, Sa(&any), sizeof any), 0);
  ASSERT_EQ(WSAAsyncSelect(listener, window_, wstest::kSocketMessage, FD_ACCEPT), 0);
  ASSERT_EQ(listen(listener, 5), 0);
  const uint16_t port = BoundPort(listener);
  ASSERT_NE(port, 0);

  SOCKET client = Keep(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(WSAAsyncSelect(client, window_, wstest::kSocketMessage, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE), 0);
  sockaddr_in to = Loopback(port);
  EXPECT_EQ(connect(client, Sa(&to), sizeof to), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

  auto notes = Collect(window_, [&](auto& n) { return Has(n, listener, FD_ACCEPT) && Has(n, client, FD_WRITE); });
  ASSERT_EQ(Count(notes, listener, FD_ACCEPT), 1);
  ASSERT_EQ(Count(notes, client, FD_CONNECT), 1);
  EXPECT_EQ(notes[0].error, 0);
  sockaddr_in peer{};
  int peerLength = sizeof peer;
  SOCKET server = Keep(accept(listener, Sa(&peer), &peerLength));
  EXPECT_EQ(ntohl(peer.sin_addr.s_addr), 0x7f000001u);  // the client bound this machine's address

  // Two sends, one notification until the program reads; a partial read brings the next one.
  ASSERT_EQ(send(server, "abcd", 4, 0), 4);
  ASSERT_EQ(send(server, "efgh", 4, 0), 4);
  notes = Collect(window_, [&](auto& n) { return Has(n, client, FD_READ); });
  Collect(window_, [](auto&) { return false; }, 30);
  EXPECT_EQ(Count(notes, client, FD_READ), 1);
  char buffer[16];
  ASSERT_EQ(recv(client, buffer, 3, 0), 3);
  notes = Collect(window_, [&](auto& n) { return Has(n, client, FD_READ); });
  EXPECT_EQ(Count(notes, client, FD_READ), 1);
  ASSERT_EQ(recv(client, buffer, sizeof buffer, 0), 5);
  EXPECT_EQ(std::string(buffer, 5), "defgh");

  // An orderly close: one FD_CLOSE without error, and nothing after it.
  closesocket(server);
  Forget(server);
  notes = Collect(window_, [&](auto& n) { return Has(n, client, FD_CLOSE); });
  Collect(window_, [](auto&) { return false; }, 30);
  ASSERT_EQ(Count(notes, client, FD_CLOSE), 1);
  EXPECT_EQ(notes.back().error, 0);
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 0);
}

TEST_F(Sockets, ResetAndRefusedConnectionsCarryTheirErrors) {
  SOCKET listener = Keep(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in any = Loopback(0, 0);
  ASSERT_EQ(bind(listener, Sa(&any), sizeof any), 0);
  ASSERT_EQ(listen(listener, 5), 0);
  const uint16_t port = BoundPort(listener);

  SOCKET client = Keep(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(WSAAsyncSelect(client, window_, wstest::kSocketMessage, FD_READ | FD_CONNECT | FD_CLOSE), 0);
  sockaddr_in to = Loopback(port);
  connect(client, Sa(&to), sizeof to);
  SOCKET server = Keep(accept(listener, nullptr, nullptr));
  linger abort{1, 0};
  ASSERT_EQ(setsockopt(server, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&abort), sizeof abort), 0);
  closesocket(server);
  Forget(server);
  auto notes = Collect(window_, [&](auto& n) { return Has(n, client, FD_CLOSE); });
  ASSERT_EQ(Count(notes, client, FD_CLOSE), 1);
  EXPECT_EQ(notes.back().error, WSAECONNRESET);

  // Nobody listens on the listener's port once it is closed.
  closesocket(listener);
  Forget(listener);
  SOCKET late = Keep(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(WSAAsyncSelect(late, window_, wstest::kSocketMessage, FD_CONNECT), 0);
  connect(late, Sa(&to), sizeof to);
  notes = Collect(window_, [&](auto& n) { return Has(n, late, FD_CONNECT); });
  ASSERT_EQ(Count(notes, late, FD_CONNECT), 1);
  EXPECT_EQ(notes.back().error, WSAECONNREFUSED);
}

TEST_F(Sockets, FailingCallsSetWinsockErrors) {
  SOCKET s = Keep(socket(AF_INET, SOCK_STREAM, 0));
  struct Case {
    const char* what;
    int result;
    int error;
  };
  sockaddr_in other = Loopback(0, 0x7f000009u);
  sockaddr_in to = Loopback(kGamePort);
  char byte = 0;
  SOCKET udp = Keep(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in broadcast = Loopback(kGamePort, 0x7fffffffu);
  const Case cases[] = {
      {"send unconnected", send(s, "x", 1, 0), WSAENOTCONN},
      {"bind another machine's address", bind(s, Sa(&other), sizeof other), WSAEADDRNOTAVAIL},
      {"broadcast without the option", sendto(udp, &byte, 1, 0, Sa(&to), 0), WSAEFAULT},
      {"broadcast without the option", sendto(udp, &byte, 1, 0, Sa(&broadcast), sizeof broadcast), WSAEACCES},
      {"no such family", static_cast<int>(socket(5, SOCK_STREAM, 0) == INVALID_SOCKET ? -1 : 0), WSAEAFNOSUPPORT},
      {"closed socket", closesocket(static_cast<SOCKET>(100000)), WSAENOTSOCK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.result, SOCKET_ERROR);
  }
  // Each error, checked right after its call.
  EXPECT_EQ(send(s, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  EXPECT_EQ(bind(s, Sa(&other), sizeof other), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
  EXPECT_EQ(sendto(udp, &byte, 1, 0, Sa(&broadcast), sizeof broadcast), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEACCES);
  EXPECT_EQ(socket(5, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEAFNOSUPPORT);
  EXPECT_EQ(closesocket(static_cast<SOCKET>(100000)), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  sockaddr_in outside = Loopback(kGamePort, 0x0a000001u);
  EXPECT_EQ(sendto(udp, &byte, 1, 0, Sa(&outside), sizeof outside), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENETUNREACH);
}

TEST(WinsockStart, CallsBeforeStartUpFail) {
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  WSADATA data;
  EXPECT_EQ(WSAStartup(0x0001, &data), WSAVERNOTSUPPORTED);
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_EQ(WSACleanup(), 0);
}

TEST_F(Sockets, HostNamesAndLookUps) {
  char name[64];
  ASSERT_EQ(winsock::gethostname(name, sizeof name), 0);
  EXPECT_STREQ(name, "teebox-1");
  const struct {
    const char* name;
    uint32_t address;  // 0: not found
  } cases[] = {{"teebox-1", 0x7f000001u}, {"TEEBOX-5", 0x7f000005u}, {"localhost", 0x7f000001u},
               {"127.0.0.3", 0x7f000003u}, {"teebox-300", 0}, {"golf.example", 0}, {"10.1.1.1", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    hostent* h = gethostbyname(c.name);
    if (!c.address) {
      EXPECT_EQ(h, nullptr);
      EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
      continue;
    }
    ASSERT_NE(h, nullptr);
    ASSERT_NE(h->h_addr_list[0], nullptr);
    winsock::u_long a;
    std::memcpy(&a, h->h_addr_list[0], 4);
    EXPECT_EQ(ntohl(a), c.address);
    EXPECT_EQ(h->h_addr_list[1], nullptr);
  }
  EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7f000001u));
  EXPECT_EQ(inet_addr("1.2.3"), INADDR_NONE);
  EXPECT_EQ(inet_addr("1.2.3.256"), INADDR_NONE);

  alignas(hostent) char buffer[MAXGETHOSTSTRUCT];
  HANDLE known = WSAAsyncGetHostByName(window_, wstest::kSocketMessage, "teebox-4", buffer, sizeof buffer);
  ASSERT_NE(known, nullptr);
  std::vector<MSG> replies = LookUpReplies(window_);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(reinterpret_cast<HANDLE>(replies[0].wParam), known);
  EXPECT_EQ(WSAGETASYNCERROR(replies[0].lParam), 0);
  auto* h = reinterpret_cast<hostent*>(buffer);
  winsock::u_long a;
  std::memcpy(&a, h->h_addr_list[0], 4);
  EXPECT_EQ(ntohl(a), 0x7f000004u);

  HANDLE unknown = WSAAsyncGetHostByName(window_, wstest::kSocketMessage, "nowhere", buffer, sizeof buffer);
  replies = LookUpReplies(window_);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(reinterpret_cast<HANDLE>(replies[0].wParam), unknown);
  EXPECT_EQ(WSAGETASYNCERROR(replies[0].lParam), WSAHOST_NOT_FOUND);
}

TEST(WinsockIcmp, AnswersLoopbackEchoesOnly) {
  HMODULE icmp = LoadLibraryA("ICMP.DLL");
  ASSERT_NE(icmp, nullptr);
  auto create = reinterpret_cast<PFN_IcmpCreateFile>(reinterpret_cast<void*>(GetProcAddress(icmp, "IcmpCreateFile")));
  auto close = reinterpret_cast<PFN_IcmpCloseHandle>(reinterpret_cast<void*>(GetProcAddress(icmp, "IcmpCloseHandle")));
  auto echo = reinterpret_cast<PFN_IcmpSendEcho>(reinterpret_cast<void*>(GetProcAddress(icmp, "IcmpSendEcho")));
  ASSERT_TRUE(create && close && echo);
  HANDLE h = create();
  char data[32];
  std::memcpy(data, "abcdefghijklmnopqrstuvwabcdefghi", 32);
  char reply[sizeof(ICMP_ECHO_REPLY) + 32 + 8];
  EXPECT_EQ(echo(h, htonl(0x7f000002u), data, 32, nullptr, reply, sizeof reply, 2000), 1u);
  EXPECT_EQ(reinterpret_cast<ICMP_ECHO_REPLY*>(reply)->Status, IP_SUCCESS);
  EXPECT_EQ(std::memcmp(reinterpret_cast<ICMP_ECHO_REPLY*>(reply)->Data, data, 32), 0);
  EXPECT_EQ(echo(h, htonl(0x0a000001u), data, 32, nullptr, reply, sizeof reply, 2000), 0u);
  EXPECT_EQ(reinterpret_cast<ICMP_ECHO_REPLY*>(reply)->Status, IP_REQ_TIMED_OUT);
  EXPECT_TRUE(close(h));
  FreeLibrary(icmp);
}

// ---- a second machine: this program started again as 127.0.0.2 ----------------------------------------------

// Runs in the child only: answers one datagram on the game port (UDP) or the IPX socket with "re:" and the
// text, to its sender, and one SPX connection with the same echo.
TEST(WinsockChild, Echo) {
  const char* role = std::getenv("WINAPI_WINSOCK_CHILD");
  if (!role) GTEST_SKIP() << "runs as the second machine only";
  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  const bool ipx = std::strcmp(role, "ipx") == 0;
  SOCKET s = socket(ipx ? AF_IPX : AF_INET, SOCK_DGRAM, ipx ? NSPROTO_IPX : 0);
  char bound[16] = {};
  int boundLength = ipx ? 14 : 16;
  if (ipx) {
    sockaddr_ipx a{};
    a.sa_family = AF_IPX;
    a.sa_socket = htons(kIpxSocket);
    std::memcpy(bound, &a, 14);
  } else {
    sockaddr_in a = Loopback(kGamePort, 0);
    std::memcpy(bound, &a, 16);
  }
  ASSERT_EQ(bind(s, Sa(bound), boundLength), 0);
  // Tell the parent we listen: a file it waits for.
  const char* ready = std::getenv("WINAPI_WINSOCK_READY");
  if (FILE* f = std::fopen(ready, "w")) std::fclose(f);
  ASSERT_TRUE(Readable(s));
  char buffer[64];
  char from[16];
  int fromLength = sizeof from;
  const int n = recvfrom(s, buffer + 3, sizeof buffer - 3, 0, Sa(from), &fromLength);
  ASSERT_GT(n, 0);
  std::memcpy(buffer, "re:", 3);
  ASSERT_EQ(sendto(s, buffer, n + 3, 0, Sa(from), fromLength), n + 3);
  closesocket(s);
  WSACleanup();
}

class SecondMachine : public wstest::WinsockTest {
 protected:
  // Starts this program as machine 127.0.0.2 in `role`; waits until it listens.
  void Start(const char* role) {
    readyFile_ = "/tmp/winsock-child-" + std::to_string(getpid()) + "-" + role;
    std::remove(readyFile_.c_str());
    std::vector<std::string> env = {"WINAPI_NET_ADDRESS=127.0.0.2", std::string("WINAPI_WINSOCK_CHILD=") + role,
                                    "WINAPI_WINSOCK_READY=" + readyFile_,
                                    std::string("WINAPI_PORT_MAP=") + std::getenv("WINAPI_PORT_MAP")};
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "WINAPI_", 7) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe", filter = "--gtest_filter=WinsockChild.Echo";
    char* argv[] = {self.data(), filter.data(), nullptr};
    ASSERT_EQ(posix_spawn(&child_, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
    for (int i = 0; i < 10000 && access(readyFile_.c_str(), F_OK) != 0; ++i) Sleep(1);
    ASSERT_EQ(access(readyFile_.c_str(), F_OK), 0);
  }
  int Finish() {
    int status = -1;
    waitpid(child_, &status, 0);
    std::remove(readyFile_.c_str());
    return status;
  }
  pid_t child_ = 0;
  std::string readyFile_;
};

TEST_F(SecondMachine, ClassfulBroadcastReachesTheOtherMachineThroughThePortMap) {
  Start("udp");
  SOCKET s = Keep(socket(AF_INET, SOCK_DGRAM, 0));
  const BOOL on = TRUE;
  ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on), 0);
  sockaddr_in any = Loopback(0, 0);
  ASSERT_EQ(bind(s, Sa(&any), sizeof any), 0);
  sockaddr_in broadcast = Loopback(kGamePort, 0x7fffffffu);
  ASSERT_EQ(sendto(s, "hello", 5, 0, Sa(&broadcast), sizeof broadcast), 5);
  ASSERT_TRUE(Readable(s));
  char buffer[64];
  sockaddr_in from{};
  int fromLength = sizeof from;
  const int n = recvfrom(s, buffer, sizeof buffer, 0, Sa(&from), &fromLength);
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "re:hello");
  EXPECT_EQ(ntohl(from.sin_addr.s_addr), 0x7f000002u);
  EXPECT_EQ(ntohs(from.sin_port), kGamePort);  // the game's port, not the real one
  EXPECT_EQ(winapi::winsock::MappedPort(kGamePort), RealBase());
  const int status = Finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(SecondMachine, IpxBroadcastAndAddresses) {
  Start("ipx");
  SOCKET s = Keep(socket(AF_IPX, SOCK_DGRAM, NSPROTO_IPX));
  sockaddr_ipx any{};
  any.sa_family = AF_IPX;
  ASSERT_EQ(bind(s, Sa(&any), 14), 0);
  char record[24];
  int length = sizeof record;
  ASSERT_EQ(getsockopt(s, NSPROTO_IPX, IPX_ADDRESS, record, &length), 0);
  const unsigned char node[6] = {0, 0, 0x7f, 0, 0, 1};
  EXPECT_EQ(std::memcmp(record + 8, node, 6), 0);
  sockaddr_ipx broadcast{};
  broadcast.sa_family = AF_IPX;
  std::memset(broadcast.sa_nodenum, 0xff, 6);
  broadcast.sa_socket = htons(kIpxSocket);
  ASSERT_EQ(sendto(s, "ipx", 3, 0, Sa(&broadcast), 14), 3);
  ASSERT_TRUE(Readable(s));
  char buffer[64];
  sockaddr_ipx from{};
  int fromLength = sizeof from;
  const int n = recvfrom(s, buffer, sizeof buffer, 0, Sa(&from), &fromLength);
  EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "re:ipx");
  EXPECT_EQ(fromLength, 14);
  const unsigned char other[6] = {0, 0, 0x7f, 0, 0, 2};
  EXPECT_EQ(std::memcmp(from.sa_nodenum, other, 6), 0);
  EXPECT_EQ(ntohs(from.sa_socket), kIpxSocket);
  const int status = Finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Sockets, SpxStreamsConnectByIpxAddress) {
  SOCKET listener = Keep(socket(AF_IPX, SOCK_STREAM, NSPROTO_SPX));
  sockaddr_ipx any{};
  any.sa_family = AF_IPX;
  ASSERT_EQ(bind(listener, Sa(&any), 14), 0);
  ASSERT_EQ(listen(listener, 5), 0);
  sockaddr_ipx bound{};
  int length = 14;
  ASSERT_EQ(getsockname(listener, Sa(&bound), &length), 0);
  EXPECT_EQ(length, 14);
  EXPECT_NE(bound.sa_socket, 0);
  SOCKET client = Keep(socket(AF_IPX, SOCK_STREAM, NSPROTO_SPX));
  ASSERT_EQ(connect(client, Sa(&bound), 14), 0);
  sockaddr_ipx peer{};
  length = 14;
  SOCKET server = Keep(accept(listener, Sa(&peer), &length));
  EXPECT_EQ(static_cast<unsigned char>(peer.sa_nodenum[5]), 1);
  ASSERT_EQ(send(client, "spx", 3, 0), 3);
  char buffer[8];
  EXPECT_EQ(recv(server, buffer, sizeof buffer, 0), 3);
}

}  // namespace

// Winsock 1.1 of the stand-in platform, over POSIX sockets on loopback. Each process is one machine with the
// address 127.0.0.N (WINAPI_NET_ADDRESS); IPX and SPX are carried by UDP and TCP. The calls whose names clash
// with the C library's (socket, bind, send, ...) live in the namespace `winsock`; see winapi/README.md.
#pragma once

#include "windows.h"

namespace winsock {

using SOCKET = UINT_PTR;
using u_char = unsigned char;
using u_short = unsigned short;
using u_int = unsigned int;
using u_long = uint32_t;

constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
constexpr int SOCKET_ERROR = -1;

constexpr int AF_UNSPEC = 0;
constexpr int AF_INET = 2;
constexpr int AF_IPX = 6;
constexpr int AF_NS = 6;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_TCP = 6;
constexpr int IPPROTO_UDP = 17;
constexpr int NSPROTO_IPX = 1000;
constexpr int NSPROTO_SPX = 1256;
constexpr int NSPROTO_SPXII = 1257;

constexpr u_long INADDR_ANY = 0;
constexpr u_long INADDR_NONE = 0xffffffffu;
constexpr u_long INADDR_BROADCAST = 0xffffffffu;

// Socket options.
constexpr int SOL_SOCKET = 0xffff;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_BROADCAST = 0x0020;
constexpr int SO_LINGER = 0x0080;
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;
constexpr int SO_ERROR = 0x1007;
constexpr int SO_TYPE = 0x1008;
constexpr int TCP_NODELAY = 0x0001;
constexpr int IPX_ADDRESS = 0x4007;
constexpr int IPX_RECEIVEBROADCAST = 0x400f;

constexpr long FIONBIO = static_cast<long>(0x8004667eu);
constexpr long FIONREAD = 0x4004667f;

// Asynchronous select events.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

#define WSAMAKEASYNCREPLY(buflen, error) MAKELONG(buflen, error)
#define WSAMAKESELECTREPLY(event, error) MAKELONG(event, error)
#define WSAGETASYNCBUFLEN(lParam) LOWORD(lParam)
#define WSAGETASYNCERROR(lParam) HIWORD(lParam)
#define WSAGETSELECTEVENT(lParam) LOWORD(lParam)
#define WSAGETSELECTERROR(lParam) HIWORD(lParam)

// Error codes.
constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

struct in_addr {
  u_long s_addr;  // network order
};

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;  // network order
  in_addr sin_addr;
  char sin_zero[8];
};

struct sockaddr_ipx {
  short sa_family;
  char sa_netnum[4];
  char sa_nodenum[6];
  u_short sa_socket;  // network order
};

using SOCKADDR = sockaddr;
using SOCKADDR_IN = sockaddr_in;
using SOCKADDR_IPX = sockaddr_ipx;

struct linger {
  u_short l_onoff;
  u_short l_linger;
};

// The record of IPX_ADDRESS (24 bytes).
struct IPX_ADDRESS_DATA {
  INT adapternum;
  UCHAR netnum[4];
  UCHAR nodenum[6];
  BOOLEAN wan;
  BOOLEAN status;
  INT maxpkt;
  ULONG linkspeed;
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
constexpr int MAXGETHOSTSTRUCT = 1024;

constexpr int WS_FD_SETSIZE = 64;  // FD_SETSIZE is the C library's macro
struct fd_set {
  u_int fd_count;
  SOCKET fd_array[WS_FD_SETSIZE];
};
struct timeval {
  long tv_sec;
  long tv_usec;
};

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};

int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* address, int length);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* length);
int connect(SOCKET s, const sockaddr* address, int length);
int send(SOCKET s, const char* data, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int sendto(SOCKET s, const char* data, int length, int flags, const sockaddr* to, int toLength);
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, int* fromLength);
int shutdown(SOCKET s, int how);
int setsockopt(SOCKET s, int level, int name, const char* value, int length);
int getsockopt(SOCKET s, int level, int name, char* value, int* length);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int getsockname(SOCKET s, sockaddr* address, int* length);
int getpeername(SOCKET s, sockaddr* address, int* length);
int select(int ignored, fd_set* readers, fd_set* writers, fd_set* errors, const timeval* timeout);

int gethostname(char* name, int length);
hostent* gethostbyname(const char* name);
u_long inet_addr(const char* text);
char* inet_ntoa(in_addr address);
u_short htons(u_short value);
u_short ntohs(u_short value);
u_long htonl(u_long value);
u_long ntohl(u_long value);

// The socket's events go to the window as `message` (wParam the socket, lParam event and error). A mask of 0
// stops them. The socket becomes non-blocking.
int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events);
// The look-up's result lands in `buffer` (a hostent and its data); then `message` goes to the window with the
// task handle as wParam. Returns the task handle, 0 on failure.
HANDLE WSAAsyncGetHostByName(HWND window, UINT message, const char* name, char* buffer, int length);
int WSACancelAsyncRequest(HANDLE task);

}  // namespace winsock

// The ICMP echo of ICMP.DLL, reached by LoadLibraryA("ICMP.DLL") and GetProcAddress.
struct IP_OPTION_INFORMATION {
  UCHAR Ttl;
  UCHAR Tos;
  UCHAR Flags;
  UCHAR OptionsSize;
  UCHAR* OptionsData;
};
struct ICMP_ECHO_REPLY {
  ULONG Address;
  ULONG Status;
  ULONG RoundTripTime;
  USHORT DataSize;
  USHORT Reserved;
  PVOID Data;
  IP_OPTION_INFORMATION Options;
};
constexpr ULONG IP_SUCCESS = 0;
constexpr ULONG IP_REQ_TIMED_OUT = 11010;
using PFN_IcmpCreateFile = HANDLE (*)();
using PFN_IcmpCloseHandle = BOOL (*)(HANDLE);
using PFN_IcmpSendEcho = DWORD (*)(HANDLE icmp, ULONG destination, LPVOID data, WORD size,
                                   IP_OPTION_INFORMATION* options, LPVOID reply, DWORD replySize, DWORD timeout);

namespace winapi::winsock {
// The machine's own address in host order (127.0.0.N) and the real port of a game port after the port map.
uint32_t MachineAddress();
uint16_t MappedPort(uint16_t port);
// Adds to the port map of WINAPI_PORT_MAP (a real port of 0 removes the entry): a test's own servers.
void MapPort(uint16_t game, uint16_t real);
// Sockets still open in this process (tests check that a layer left none behind).
int OpenSocketCount();
}  // namespace winapi::winsock

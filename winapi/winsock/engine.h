// The socket engine behind the Winsock calls: POSIX sockets on loopback, the machine's address, the port map,
// IPX carried by UDP/TCP and the asynchronous notifications. Kept apart from winsock.h, whose names clash with
// the C library's socket headers. Results: >= 0, or the negated Winsock error.
#pragma once

#include <cstdint>

#include "windows.h"

namespace winapi::winsock::engine {

// An address as the program sees it: family 2 (IPv4) or 6 (IPX), address in host order (for IPX the last four
// bytes of the node number), the program's port (before the port map; for IPX the socket number).
struct Address {
  int family = 2;
  uint32_t ip = 0;
  uint16_t port = 0;
  bool broadcast = false;  // IPX node FF..FF
};

constexpr uint32_t kBroadcast = 0xffffffffu;

int Startup();
void Cleanup();

intptr_t Socket(int family, int type, int protocol);
int Close(intptr_t s);
int Bind(intptr_t s, const Address& address);
int Listen(intptr_t s, int backlog);
intptr_t Accept(intptr_t s, Address* peer);
int Connect(intptr_t s, const Address& address);
int Send(intptr_t s, const void* data, int length);
int Recv(intptr_t s, void* buffer, int length, bool peek);
int SendTo(intptr_t s, const void* data, int length, const Address& to);
int RecvFrom(intptr_t s, void* buffer, int length, Address* from);
int Shutdown(intptr_t s, int how);
// Winsock levels and option numbers; values in Winsock's layout.
int SetOption(intptr_t s, int level, int name, const void* value, int length);
int GetOption(intptr_t s, int level, int name, void* value, int* length);
int SetNonBlocking(intptr_t s, bool on);
int Available(intptr_t s);
int LocalAddress(intptr_t s, Address* out);
int PeerAddress(intptr_t s, Address* out);
int Family(intptr_t s);  // 2 or 6, or the negated error
int AsyncSelect(intptr_t s, HWND window, UINT message, long events);
// Readiness of a set of sockets: for each, bit 0 readable, bit 1 writable, bit 2 error. Number ready or error.
int Poll(const intptr_t* sockets, int count, const int* wanted, int* ready, int timeoutMs);

uint32_t MachineAddress();
uint16_t MappedPort(uint16_t port);
void MapPort(uint16_t game, uint16_t real);
int OpenCount();

// Measured round trip of an echo to a loopback address; -1 when it cannot be answered.
int EchoRoundTrip(uint32_t address, int timeoutMs);

}  // namespace winapi::winsock::engine

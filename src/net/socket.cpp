#include "net/socket.h"

#include <cstring>

#include "net/sockwindow.h"

namespace net {
namespace ws = winsock;

namespace {
constexpr int kBufferSize = 16000;
// How long a send waits, in all, for room in a full socket window before the connection counts as lost.
constexpr int kSendWaitRounds = 300;  // of 100 ms
}  // namespace

CSock::CSock() { InitializeCriticalSection(&lock_); }

CSock::~CSock() {
  Close();
  delete[] lookupBuffer_;
  DeleteCriticalSection(&lock_);
}

void CSock::Release() {
  if (refs_.fetch_sub(1) == 1) delete this;
}

int CSock::Fail() {
  lastError_ = static_cast<uint32_t>(ws::WSAGetLastError());
  return 0;
}

void CSock::OnConnect(int error) {
  if (error == 0) state_ = kSockConnected;
}

int CSock::Create(int family, int kind, int protocol) {
  const ws::SOCKET s = ws::socket(family, kind, protocol);
  if (s == ws::INVALID_SOCKET) return Fail();
  const int size = kBufferSize;
  ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
  ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
  family_ = static_cast<uint32_t>(family);
  kind_ = static_cast<uint32_t>(kind);
  protocol_ = static_cast<uint32_t>(protocol);
  addressLength_ = family == ws::AF_IPX ? 14 : 16;
  socket_ = s;
  state_ = kSockCreated;
  return 1;
}

int CSock::Close() {
  EnterCriticalSection(&lock_);
  const ws::SOCKET s = socket_;
  socket_ = ws::INVALID_SOCKET;
  LeaveCriticalSection(&lock_);
  if (s != ws::INVALID_SOCKET) {
    UnregisterSocket(s);
    // Reset rather than drain.
    ws::linger abort{1, 0};
    ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    ws::closesocket(s);
    state_ = kSockClosed;
  }
  return 1;
}

int CSock::Bind(const void* address) {
  if (ws::bind(socket_, static_cast<const ws::sockaddr*>(address), static_cast<int>(addressLength_)) != 0)
    return Fail();
  return 1;
}

int CSock::SetOption(int level, int name, const void* value, int length) {
  if (ws::setsockopt(socket_, level, name, static_cast<const char*>(value), length) != 0) return Fail();
  return 1;
}

int CSock::GetOption(int level, int name, void* value, int* length) {
  if (ws::getsockopt(socket_, level, name, static_cast<char*>(value), length) != 0) return Fail();
  return 1;
}

int CSock::GetLocalAddress(void* record) {
  int length = sizeof localAddress_;
  if (ws::getsockname(socket_, reinterpret_cast<ws::sockaddr*>(localAddress_), &length) != 0) return Fail();
  std::memcpy(record, localAddress_, addressLength_);
  return 1;
}

int CSock::GetPeerName(void* record) {
  int length = 16;
  if (ws::getpeername(socket_, static_cast<ws::sockaddr*>(record), &length) != 0) return Fail();
  return 1;
}

int CSock::SelectEvents(long mask) { return RegisterSocket(socket_, mask, this); }

int CSock::CreateDatagram(int family, int protocol) {
  if (protocol == 0) protocol = family == ws::AF_IPX ? ws::NSPROTO_IPX : ws::IPPROTO_UDP;
  return Create(family, ws::SOCK_DGRAM, protocol);
}

int CSock::BindDatagram(const void* address) {
  if (!Bind(address)) return 0;
  return SelectEvents(kEventRead);
}

int CSock::SendTo(const void* data, int length, const void* address) {
  EnterCriticalSection(&lock_);
  ws::sendto(socket_, static_cast<const char*>(data), length, 0, static_cast<const ws::sockaddr*>(address),
             static_cast<int>(addressLength_));
  LeaveCriticalSection(&lock_);
  return length;
}

int CSock::ReceiveFrom(void* buffer, int size, void* address) {
  int length = 16;
  return ws::recvfrom(socket_, static_cast<char*>(buffer), size, 0, static_cast<ws::sockaddr*>(address), &length);
}

CStreamSock::CStreamSock() { state_ = kSockStream; }

int CStreamSock::CreateStream(int family, int protocol) {
  if (protocol == 0) protocol = family == ws::AF_IPX ? ws::NSPROTO_SPX : ws::IPPROTO_TCP;
  largestChunk_ = family == ws::AF_IPX ? 20000 : 100000;
  return Create(family, ws::SOCK_STREAM, protocol);
}

int CStreamSock::Connect(const void* address) {
  std::memcpy(peerAddress_, address, 16);
  // Connecting before the call: its notification may arrive on the socket window's thread before it returns.
  const uint8_t before = state_.exchange(kSockConnecting);
  SelectEvents(kEventRead | kEventConnect | kEventClose);
  if (ws::connect(socket_, static_cast<const ws::sockaddr*>(address), static_cast<int>(addressLength_)) != 0 &&
      ws::WSAGetLastError() != ws::WSAEWOULDBLOCK) {
    state_ = before;
    return Fail();
  }
  return 1;
}

int CStreamSock::ConnectByName(const char* host, uint16_t port) {
  ws::sockaddr_in peer{};
  peer.sin_family = ws::AF_INET;
  peer.sin_port = ws::htons(port);
  std::memcpy(peerAddress_, &peer, sizeof peer);
  if (!lookupBuffer_) lookupBuffer_ = new char[ws::MAXGETHOSTSTRUCT];
  const uint8_t before = state_.exchange(kSockConnecting);
  if (!LookupHostAsync(host, lookupBuffer_, ws::MAXGETHOSTSTRUCT, this)) {
    state_ = before;
    return 0;
  }
  return 1;
}

void CStreamSock::OnHostResolved(int error) {
  if (error) {
    OnConnect(error);
    return;
  }
  const auto* h = reinterpret_cast<const ws::hostent*>(lookupBuffer_);
  if (!h || !h->h_addr_list || !h->h_addr_list[0]) {
    OnConnect(ws::WSAHOST_NOT_FOUND);
    return;
  }
  ws::sockaddr_in peer;
  std::memcpy(&peer, peerAddress_, sizeof peer);
  std::memcpy(&peer.sin_addr, h->h_addr_list[0], 4);
  if (!Connect(&peer)) OnConnect(static_cast<int>(lastError_));
}

int CStreamSock::Listen(int backlog) {
  SelectEvents(kEventAccept);
  if (ws::listen(socket_, backlog) != 0) return Fail();
  state_ = kSockListening;
  return 1;
}

int CStreamSock::Accept(CStreamSock* into, void* address) {
  uint8_t peer[16] = {};
  int length = sizeof peer;
  const ws::SOCKET s = ws::accept(socket_, reinterpret_cast<ws::sockaddr*>(peer), &length);
  if (s == ws::INVALID_SOCKET) return Fail();
  const int size = kBufferSize;
  ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_SNDBUF, reinterpret_cast<const char*>(&size), sizeof size);
  ws::setsockopt(s, ws::SOL_SOCKET, ws::SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
  if (address) std::memcpy(address, peer, 16);
  std::memcpy(into->peerAddress_, peer, 16);
  into->socket_ = s;
  into->family_ = family_;
  into->kind_ = kind_;
  into->protocol_ = protocol_;
  into->addressLength_ = addressLength_;
  into->largestChunk_ = largestChunk_;
  into->state_ = kSockConnected;
  into->SelectEvents(kEventRead | kEventClose);
  return 1;
}

void CStreamSock::GetPeerAddress(void* record) const { std::memcpy(record, peerAddress_, 16); }

int CStreamSock::Send(const void* data, int length) {
  if (state_ != kSockConnected) return 0;
  AddRef();  // a failing send closes, which may let go of the last hold
  EnterCriticalSection(&lock_);
  const auto* p = static_cast<const char*>(data);
  int left = length, waits = 0, failure = 0;
  while (left > 0) {
    const int chunk = left < static_cast<int>(largestChunk_) ? left : static_cast<int>(largestChunk_);
    const int sent = ws::send(socket_, p, chunk, 0);
    if (sent > 0) {
      p += sent;
      left -= sent;
      waits = 0;
      continue;
    }
    const int error = ws::WSAGetLastError();
    if ((error == ws::WSAEWOULDBLOCK || error == ws::WSAENOBUFS) && ++waits <= kSendWaitRounds) {
      // Wait for room in the socket window (not a fixed pause), then try the same chunk again.
      ws::fd_set writers{};
      writers.fd_count = 1;
      writers.fd_array[0] = socket_;
      ws::timeval wait{0, 100000};
      ws::select(0, nullptr, &writers, nullptr, &wait);
      continue;
    }
    lastError_ = static_cast<uint32_t>(error == ws::WSAEWOULDBLOCK ? ws::WSAETIMEDOUT : error);
    failure = static_cast<int>(lastError_);
    break;
  }
  LeaveCriticalSection(&lock_);
  if (failure) OnClose(failure);
  Release();
  return length;
}

int CStreamSock::Receive(void* buffer, int size) {
  if (state_ != kSockConnected) return 0;
  const int n = ws::recv(socket_, static_cast<char*>(buffer), size, 0);
  if (n < 0) Fail();
  return n;
}

}  // namespace net

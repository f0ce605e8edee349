// Socket objects of the comm layer: a Winsock socket that receives its events as virtual calls from the socket
// window, and a stream socket with connects by address or name, listening, accepting and whole sends.
#pragma once

#include <atomic>
#include <cstdint>

#include "winsock.h"

namespace net {

// Socket states.
enum : uint8_t { kSockNew, kSockCreated, kSockStream, kSockConnecting, kSockConnected, kSockListening, kSockClosed };

// Winsock event codes as the socket window reports them.
constexpr long kEventRead = winsock::FD_READ, kEventWrite = winsock::FD_WRITE, kEventAccept = winsock::FD_ACCEPT,
               kEventConnect = winsock::FD_CONNECT, kEventClose = winsock::FD_CLOSE;

class CSock {
 public:
  CSock();
  CSock(const CSock&) = delete;
  CSock& operator=(const CSock&) = delete;

  // The socket window holds the object while one of these runs; the owner lets go with Release, and the object
  // goes when the last holder has let go (never while its own notification runs).
  virtual void OnRead(int /*error*/) {}
  virtual void OnWrite(int /*error*/) {}
  virtual void OnAccept(int /*error*/) {}
  virtual void OnConnect(int error);
  virtual void OnClose(int /*error*/) {}
  virtual void OnHostResolved(int /*error*/) {}

  void AddRef() { refs_.fetch_add(1); }
  // A hold on an object that may be going: false once its last holder has let go.
  bool TryAddRef() {
    int n = refs_.load();
    while (n > 0)
      if (refs_.compare_exchange_weak(n, n + 1)) return true;
    return false;
  }
  void Release();

  int Create(int family, int kind, int protocol);
  int Close();
  int Bind(const void* address);
  int SetOption(int level, int name, const void* value, int length);
  int GetOption(int level, int name, void* value, int* length);
  int GetLocalAddress(void* record);
  int GetPeerName(void* record);
  int SelectEvents(long mask);

  // Datagram use.
  int CreateDatagram(int family, int protocol);
  int BindDatagram(const void* address);
  int SendTo(const void* data, int length, const void* address);
  int ReceiveFrom(void* buffer, int size, void* address);

  winsock::SOCKET socket() const { return socket_; }
  uint8_t state() const { return state_; }
  uint32_t family() const { return family_; }
  uint32_t lastError() const { return lastError_; }
  int addressLength() const { return static_cast<int>(addressLength_); }

 protected:
  virtual ~CSock();
  int Fail();  // stores the last error, returns 0

  winsock::SOCKET socket_ = winsock::INVALID_SOCKET;
  uint8_t localAddress_[16] = {};
  char* lookupBuffer_ = nullptr;
  uint32_t family_ = 0, kind_ = 0, protocol_ = 0, addressLength_ = 16, lastError_ = 0;
  CRITICAL_SECTION lock_{};
  std::atomic<uint8_t> state_{kSockNew};

 private:
  std::atomic<int> refs_{1};
};

class CStreamSock : public CSock {
 public:
  CStreamSock();
  void OnHostResolved(int error) override;

  int CreateStream(int family, int protocol);
  int Connect(const void* address);
  int ConnectByName(const char* host, uint16_t port);
  int Listen(int backlog);
  int Accept(CStreamSock* into, void* address);
  void GetPeerAddress(void* record) const;
  // Sends all of it (waiting while the socket window is full); a failing send closes. The length asked for, or
  // 0 when not connected.
  int Send(const void* data, int length);
  int Receive(void* buffer, int size);

 protected:
  uint8_t peerAddress_[16] = {};
  uint32_t largestChunk_ = 100000;
};

}  // namespace net

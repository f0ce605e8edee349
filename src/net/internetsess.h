// The online lobby: one connection to the online golf server carries every lobby message; the server keeps the
// session list and relays chat. Messages are frames of type 0 whose body begins with a u32 code.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "net/msgsock.h"
#include "net/sessmgr.h"

namespace net {

constexpr uint16_t kGameServerPort = 7653;
constexpr uint32_t kServerHelloMagic = 0x0130E207;

// Codes of the server protocol.
enum : uint32_t {
  kServerHello = 0, kServerAnnounce = 1, kServerPlayerRecord = 2, kServerCreateSession = 3, kServerCloseSession = 4,
  kServerLoginResult = 5, kServerMessage7 = 7, kServerSessionList = 8, kServerIdentity = 9, kServerAddPlayer = 0x0b,
  kServerRemovePlayer = 0x0c, kServerChat = 0x0d, kServerPlayerList = 0x0e, kServerSessionAdvert = 0x0f,
  kServerOperatorText = 0x10, kServerJoin = 0x1e, kServerJoinReply = 0x1f, kServerTourJoin = 0x20,
  kServerTourJoinReply = 0x21,
};
// Sizes of the client's messages.
constexpr uint32_t kServerHelloSize = 34, kServerAnnounceSize = 74, kServerPlayerRecordSize = 50,
                   kServerCreateSessionSize = 208, kServerCloseSessionSize = 8, kServerGolferSize = 34,
                   kServerListRequestSize = 82, kServerJoinSize = 240, kServerTourJoinSize = 304;
constexpr uint32_t kServerChatLimit = 80;

// The online server's host ("/GS"; 128 characters at most, else refused) and the host used without it.
bool SetGameServerHost(const char* host);
const char* GameServerHost();
constexpr const char* kDefaultGameServer = "lobby.service.invalid";

class CInternetSessMgr;

// The socket window may still be inside a notification when the manager lets go, so the manager detaches (which
// waits for a running notification) and releases its hold instead of deleting the socket.
class CGolfServerSock : public CMsgSock {
 public:
  explicit CGolfServerSock(CInternetSessMgr* owner) : owner_(owner) {}
  void OnConnect(int error) override;
  void OnClose(int error) override;
  void OnMessage(uint32_t type, uint8_t* body, uint32_t length) override;
  // No notification reaches the manager once this returns.
  void Detach();

 protected:
  ~CGolfServerSock() override = default;

 private:
  std::recursive_mutex mutex_;  // a notification may end the lobby, which detaches on the same thread
  CInternetSessMgr* owner_;
};

class CInternetSessMgr : public CSessMgr {
 public:
  // Phases of the connection and its lobby.
  enum Phase : uint8_t {
    kNew, kRecordWaiting, kRecordSent, kSessionCreated, kConnected, kListComplete, kClosed, kFailed
  };
  explicit CInternetSessMgr(CCommBase* comm) : CSessMgr(comm) {}
  ~CInternetSessMgr() override;
  int Start() override;
  int Shutdown() override;
  void AnnouncePlayer(const SessionPlayerRecord& record) override;
  void SetLocalPlayer(const SessionPlayerRecord& record) override;
  void CreateSession(SessionEntry* entry) override;
  void CloseSession() override;
  void AddSessionPlayer(const GolferEntry& golfer) override;
  void RemoveSessionPlayer(const GolferEntry& golfer) override;
  void SendChat(const char* text) override;
  void RefreshSessions() override;
  void JoinSession(const SessionEntry& entry, const char* login, const char* password, const char* tourCard) override;

  // The socket's notifications, and a received message (owned: freed or handed on with a notification). Every
  // count, length and text of the message is checked against the bytes received.
  void OnConnected(int error);
  void OnClosed();
  void HandleServerMessage(uint8_t* body, uint32_t length);

  Phase phase() const { return phase_; }
  uint32_t playerId() const { return playerId_; }
  bool connected() const { return connected_; }

 private:
  void SendBody(const uint8_t* body, uint32_t length);
  void ReleaseSocket();
  void SendPlayerRecord();
  void SendGolfer(uint32_t code, const GolferEntry& golfer);

  uint32_t playerId_ = 0;
  uint32_t requests_ = 0;
  CGolfServerSock* socket_ = nullptr;
  SessionPlayerRecord local_;
  Phase phase_ = kNew;
  bool connected_ = false;
};

}  // namespace net

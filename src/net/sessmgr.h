// The lobby of network play: the session list, and the session managers that announce players, advertise
// games and carry lobby chat. On a LAN they are serverless: broadcast datagrams on UDP port 53139 (TCP/IP) or IPX
// socket 0x4f01.
#pragma once

#include <cstdint>
#include <mutex>

#include "net/commbase.h"
#include "net/golferentry.h"
#include "net/msgsock.h"

namespace net {

constexpr uint32_t kSessionEntrySize = 204;
constexpr uint32_t kPlayerRecordSize = 40;
constexpr int kSessionListSize = 300;
constexpr uint16_t kLanPort = 53139;
constexpr uint16_t kIpxLanSocket = 0x4f01;

// LAN datagram codes and their sizes.
enum : uint32_t { kLanPlayerRecord = 2, kPlayerAnnounce = 0x0e, kSessionAdvert = 0x0f, kLanChat = 0x1d };
constexpr uint32_t kLanPlayerRecordSize = 50, kPlayerAnnounceSize = 82, kSessionAdvertSize = 216,
                   kLanChatHeader = 48;

// Notifications.
enum : uint32_t {
  kNotifySessionListComplete = 0x2400, kNotifyLoginAccepted, kNotifyServerMessage7, kNotifyOperatorText,
  kNotifySessionAdvert = 0x2405, kNotifySessionChat, kNotifySessionStatus, kNotifyStatusText, kNotifyPlayerAnnounce,
  kNotifyJoinReply, kNotifyTourJoinReply
};

// A session entry (204 bytes, little-endian, also on the wire).
struct SessionEntry {
  uint8_t bytes[kSessionEntrySize] = {};
  uint32_t id() const { return ReadLE32(bytes); }
  uint32_t owner() const { return ReadLE32(bytes + 4); }
  void setId(uint32_t v) { WriteLE32(bytes, v); }
  void setOwner(uint32_t v) { WriteLE32(bytes + 4, v); }
  char* name() { return reinterpret_cast<char*>(bytes + 8); }            // 32
  char* lobbyName() { return reinterpret_cast<char*>(bytes + 52); }      // 32
  uint8_t* hostAddress() { return bytes + 84; }                          // 16
  uint8_t* slot(int i) { return bytes + 100 + kGolferEntrySize * i; }  // 4 x 26
  // Every text ends inside its field.
  void Terminate();
};

// The local player as the lobby shows him: three attributes, then the lobby name at 8 (32 bytes).
struct SessionPlayerRecord {
  uint8_t bytes[kPlayerRecordSize] = {};
  char* lobbyName() { return reinterpret_cast<char*>(bytes + 8); }
};

class TSessionList {
 public:
  int Count();
  void Clear();
  // An entry of a session already listed (same id and owner) replaces it; a new one is appended while there is
  // room, else dropped.
  void Add(const SessionEntry& entry);
  bool GetEntry(int n, SessionEntry* out);
  bool FindById(uint32_t key, SessionEntry* out);
  bool FindByOwner(uint32_t key, SessionEntry* out);

 private:
  std::mutex mutex_;
  int count_ = 0;
  SessionEntry entries_[kSessionListSize];
};

class CSessMgr {
 public:
  explicit CSessMgr(CCommBase* comm) : comm_(comm) {}
  virtual ~CSessMgr() = default;
  CSessMgr(const CSessMgr&) = delete;
  CSessMgr& operator=(const CSessMgr&) = delete;

  virtual int Start() = 0;
  virtual int Shutdown() = 0;
  virtual void AnnouncePlayer(const SessionPlayerRecord& record) = 0;
  virtual void SetLocalPlayer(const SessionPlayerRecord& record) = 0;
  virtual void CreateSession(SessionEntry* entry) = 0;
  virtual void CloseSession() = 0;
  virtual void AddSessionPlayer(const GolferEntry& golfer) = 0;
  virtual void RemoveSessionPlayer(const GolferEntry& golfer) = 0;
  virtual void SendChat(const char* text) = 0;
  virtual void RefreshSessions() = 0;
  virtual void JoinSession(const SessionEntry&, const char*, const char*, const char*) {}

  TSessionList sessions;

 protected:
  void Notify(uint32_t code, uintptr_t value) { comm_->Notify(code, value); }
  CCommBase* comm_;
};

// The serverless LAN lobby; the two transports differ in their addresses only.
class CLanSessMgr : public CSessMgr {
 public:
  explicit CLanSessMgr(CCommBase* comm) : CSessMgr(comm) {}
  ~CLanSessMgr() override;
  int Shutdown() override;
  void AnnouncePlayer(const SessionPlayerRecord& record) override;
  void SetLocalPlayer(const SessionPlayerRecord& record) override;
  void CreateSession(SessionEntry* entry) override;
  void CloseSession() override;
  void AddSessionPlayer(const GolferEntry& golfer) override;
  void RemoveSessionPlayer(const GolferEntry& golfer) override;
  void SendChat(const char* text) override;
  void RefreshSessions() override;

  // A received datagram (owned: freed or passed on with a notification) and its source address record.
  void HandleDatagram(uint8_t* message, uint32_t length, const uint8_t* from);
  uint32_t ownId() const { return ownId_[0]; }
  bool hosting() const { return hosting_; }
  bool announced() const { return announced_; }

 protected:
  virtual uint32_t SenderId(const uint8_t* from) const = 0;
  // Writes the datagram's source over the network part of a session's host address.
  virtual void TakeSourceAddress(uint8_t* hostAddress, const uint8_t* from) const = 0;
  void Broadcast(const void* data, uint32_t length);
  void SendTo(const void* data, uint32_t length, const uint8_t* to);
  bool OpenSocket(int family, const void* bindAddress);
  void Advertise(uint32_t open, const uint8_t* to = nullptr);
  void Announce(uint32_t present, uint32_t answer, const uint8_t* to = nullptr);

  CDgramMsgSock* socket_ = nullptr;
  uint32_t sequence_ = 0;
  SessionPlayerRecord local_;
  bool hosting_ = false, announced_ = false;
  SessionEntry hosted_;
  uint8_t broadcast_[2][16] = {};
  int broadcasts_ = 1;
  uint32_t ownId_[2] = {};
  std::recursive_mutex mutex_;
};

class CUDPSessMgr : public CLanSessMgr {
 public:
  using CLanSessMgr::CLanSessMgr;
  int Start() override;

 protected:
  uint32_t SenderId(const uint8_t* from) const override;
  void TakeSourceAddress(uint8_t* hostAddress, const uint8_t* from) const override;
};

class CSAPSessMgr : public CLanSessMgr {
 public:
  using CLanSessMgr::CLanSessMgr;
  int Start() override;

 protected:
  uint32_t SenderId(const uint8_t* from) const override;
  void TakeSourceAddress(uint8_t* hostAddress, const uint8_t* from) const override;
};

// The classful broadcast of an IPv4 address (host order).
uint32_t ClassfulBroadcast(uint32_t address);

// The comm layer's session manager (null when none) and its end when the round begins.
extern CSessMgr* SessionManager;
void EndSessionManager();

}  // namespace net

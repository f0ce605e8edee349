// The peer communications object of the socket connection types: one machine hosts a group of up to four, the
// others join, every pair of players gets its own stream connection, and over them go the group's control
// messages and the round's game data.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "net/commbase.h"
#include "net/golferentry.h"
#include "net/msgsock.h"

namespace net {

class CSockComm;

// Held by every socket notification that reaches the comm object, and by the comm object while it lets go of its
// sockets, so that it never goes while one of them runs.
struct CommGate {
  std::recursive_mutex mutex;
};

// Control message codes.
enum : uint32_t {
  kJoinRequest = 0x11, kJoinAccepted, kPeerAddresses, kMeshComplete, kPeerHello, kPeerHelloReply, kGolferList,
  kAddGolfer, kRemoveGolfer, kPlayerReady, kPlayerNotReady, kChatText
};
// Notifications.
enum : uint32_t {
  kNotifyPlayerJoined = 0x2500, kNotifyPlayerLeft, kNotifyGroupConnected, kNotifyHostLinkLost, kNotifyGolferList,
  kNotifyGolferAdded, kNotifyGolferRemoved, kNotifyPlayerReady, kNotifyPlayerNotReady, kNotifyChatText,
  kNotifyNetworkError = 0x2710
};
constexpr uint32_t kFrameControl = 1, kFrameGameData = 2;
constexpr int kPeerSlots = 32;
constexpr uint32_t kChatLimit = 80;

class CGameMsgSock : public CMsgSock {
 public:
  CGameMsgSock(CSockComm* comm, std::shared_ptr<CommGate> gate, bool hostLink)
      : gate_(std::move(gate)), comm_(comm), hostLink(hostLink) {}
  void OnRead(int error) override;
  void OnConnect(int error) override;
  void OnClose(int error) override;
  void OnMessage(uint32_t type, uint8_t* body, uint32_t length) override;

  // The object lets go of its comm object before the comm object goes; a notification running meanwhile ends
  // first.
  void Detach();
  // The comm object, held (its gate locked) while `f` runs; nothing when detached.
  template <class F>
  void WithComm(F f) {
    std::lock_guard<std::recursive_mutex> lock(gate_->mutex);
    if (comm_) f(*comm_);
  }

  std::shared_ptr<CommGate> gate_;
  CSockComm* comm_;
  bool hostLink;
  bool connected = false;
  GolferEntry remote;
  uint8_t listenAddress[16] = {};
};

class CGameListenSock : public CStreamSock {
 public:
  CGameListenSock(CSockComm* comm, std::shared_ptr<CommGate> gate) : gate_(std::move(gate)), comm_(comm) {}
  void OnAccept(int error) override;
  void Detach();
  uint8_t boundAddress[16] = {};

 private:
  std::shared_ptr<CommGate> gate_;
  CSockComm* comm_;
};

class CSockComm : public CCommBase {
 public:
  // family 2 (TCP/IP) or 6 (SPX); type the connection type (0 online server, 1 TCP/IP LAN, 2 IPX LAN).
  CSockComm(uint32_t family, int type);
  ~CSockComm() override;

  int Init() override;
  int Shutdown() override;
  void SendGameData(uint32_t destination, const void* data, uint32_t n) override;
  void BroadcastGameData(uint32_t origin, const void* data, uint32_t n) override;
  void SendGameWords(uint32_t destination, uint32_t a, uint32_t b) override;
  void BroadcastGameWords(uint32_t origin, uint32_t a, uint32_t b) override;
  // Game data to every other player of the group (on the host the ready ones), without the local copy.
  void SendToOthers(const void* data, uint32_t n) override;
  int SetLocalGolfer(const char* name) override;
  uint32_t GetLocalId() override;
  void BuildPlayerList(int includeSelf) override;
  int GetPlayerCount() override;
  const uint8_t* GetPlayerEntry(int n) override;
  void DropPlayer(uint32_t id) override;
  void BeginGame() override;
  void GetPeerAddress(uint32_t id, uint8_t* record);

  int StartHost(uint8_t* address);
  int JoinHost(const uint8_t* address);
  int Disconnect();
  void SendToPeers(int32_t destination, const void* message, uint32_t length);
  void SendGolferList(int32_t destination, const void* message);
  void SendAddGolfer(const GolferEntry& entry);
  void SendRemoveGolfer(const GolferEntry& entry);
  void SendPlayerReady(uint32_t id);
  void SendPlayerNotReady(uint32_t id);
  void SendChatText(const char* text);
  void SendPeerAddresses();

  uint32_t family() const { return family_; }
  uint32_t receiveCount() const { return receiveCount_.load(); }
  bool joined() const { return joined_; }
  const GolferEntry& localGolfer() const { return local_; }
  int UsedSlots();
  // Sockets the object still holds (tests).
  int SocketCount();

  // A game socket held by this object (not connected); tests feed it frames through OnFrame.
  CGameMsgSock* NewSocket(bool hostLink);

  // From the sockets, on the socket window's thread.
  void OnAccepted(CGameListenSock* listener);
  void OnLinkConnected(CGameMsgSock* s, int error);
  void OnLinkClosed(CGameMsgSock* s);
  void OnFrame(CGameMsgSock* s, uint32_t type, uint8_t* body, uint32_t length);
  void CountReceive() { receiveCount_.fetch_add(1); }

 private:
  struct Slot {
    bool used = false, ready = false, meshComplete = false;
    CGameMsgSock* sock = nullptr;
  };
  struct Pending {
    bool used = false, acknowledged = false;
    CGameMsgSock* sock = nullptr;
  };

  void MarkReady(uint32_t id, bool ready);
  bool OpenListener();
  void CloseListener();
  int PlaceInSlot(CGameMsgSock* s);  // the slot, or -1 when all are used
  int SlotOf(const CGameMsgSock* s) const;
  CGameMsgSock* SocketOf(uint32_t id) const;
  // The sockets to send to, held until the send is done.
  std::vector<CGameMsgSock*> Targets(bool readyOnly, const CGameMsgSock* except = nullptr);
  static void Send(const std::vector<CGameMsgSock*>& to, uint32_t type, const void* data, uint32_t length);
  void ReleaseSocket(CGameMsgSock* s);
  void OnControl(CGameMsgSock* s, uint8_t* body, uint32_t length);
  void CheckGroupConnected();
  void MovePingTarget();
  uint32_t FirstPeerIp();  // network order; 0 when no peer is connected

  uint32_t family_;
  int type_;
  CGameListenSock* listener_ = nullptr;
  CGameMsgSock* hostLink_ = nullptr;
  GolferEntry local_;
  std::atomic<uint32_t> receiveCount_{0};
  Slot slots_[kPeerSlots];
  Pending pending_[2];
  bool joined_ = false;
  bool groupConnected_ = false;
  uint32_t nextPlayerId_ = 0;
  std::vector<CGameMsgSock*> sockets_;  // every game socket this object holds
  uint8_t playerList_[4][56] = {};
  int playerCount_ = 0;
  std::recursive_mutex mutex_;
  std::shared_ptr<CommGate> gate_ = std::make_shared<CommGate>();
};

// The peer object of the comm layer, when there is one.
extern CSockComm* SockCommInstance;

}  // namespace net

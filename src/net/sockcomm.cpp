#include "net/sockcomm.h"

#include <algorithm>
#include <cstring>

#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "net/netgolfer.h"
#include "net/sessmgr.h"
#include "net/sockwindow.h"

namespace net {
namespace ws = winsock;

CSockComm* SockCommInstance = nullptr;

namespace {

uint8_t* GolferCopy(const GolferEntry& e) {
  uint8_t* copy = CommMessageAlloc(kGolferEntrySize);
  if (copy) PutGolfer(copy, e);
  return copy;
}

uint8_t* TextCopy(const char* text, uint32_t n) {
  uint8_t* copy = CommMessageAlloc(n + 1);
  if (!copy) return nullptr;
  std::memcpy(copy, text, n);
  copy[n] = 0;
  return copy;
}

// The port of an announced listening address: IPv4 at byte 2, IPX socket number at byte 12.
void TakeListenPort(uint8_t* address, const uint8_t* listen, uint32_t family) {
  const int at = family == ws::AF_IPX ? 12 : 2;
  address[at] = listen[at];
  address[at + 1] = listen[at + 1];
}

}  // namespace

// ---- sockets --------------------------------------------------------------------------------------------------

void CGameMsgSock::Detach() {
  std::lock_guard<std::recursive_mutex> lock(gate_->mutex);
  comm_ = nullptr;
}

void CGameMsgSock::OnRead(int error) {
  WithComm([](CSockComm& c) { c.CountReceive(); });
  CMsgSock::OnRead(error);
}

void CGameMsgSock::OnConnect(int error) {
  CMsgSock::OnConnect(error);
  if (!error) connected = true;
  WithComm([&](CSockComm& c) { c.OnLinkConnected(this, error); });
}

void CGameMsgSock::OnClose(int) {
  WithComm([&](CSockComm& c) { c.OnLinkClosed(this); });
}

void CGameMsgSock::OnMessage(uint32_t type, uint8_t* body, uint32_t length) {
  bool taken = false;
  WithComm([&](CSockComm& c) {
    taken = true;
    c.OnFrame(this, type, body, length);
  });
  if (!taken) CommMessageFree(body);
}

void CGameListenSock::Detach() {
  std::lock_guard<std::recursive_mutex> lock(gate_->mutex);
  comm_ = nullptr;
}

void CGameListenSock::OnAccept(int error) {
  std::lock_guard<std::recursive_mutex> lock(gate_->mutex);
  if (!comm_) return;
  if (error) {
    comm_->Notify(kNotifyNetworkError, reinterpret_cast<uintptr_t>(WinsockErrorText(error)));
    return;
  }
  comm_->OnAccepted(this);
}

// ---- the object -----------------------------------------------------------------------------------------------

CSockComm::CSockComm(uint32_t family, int type) : family_(family), type_(type) { SockCommInstance = this; }

CSockComm::~CSockComm() {
  {
    // Waits for a running notification; afterwards none reaches this object.
    std::lock_guard<std::recursive_mutex> gate(gate_->mutex);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (CGameMsgSock* s : sockets_) s->Detach();
    if (listener_) listener_->Detach();
  }
  Disconnect();
  if (SockCommInstance == this) SockCommInstance = nullptr;
}

int CSockComm::Init() {
  if (!StartSocketWindow()) {
    Svc().frontEnd->ShowMessageDialog("Unable to initialize WINSOCK", 0);
    return 0;
  }
  GolfHandshake = HandshakeSettings{3000, 30, 15000, 6};
  return CCommBase::Init();
}

int CSockComm::Shutdown() {
  Disconnect();
  CCommBase::Shutdown();
  if (type_ == 0) StopPing();
  StopSocketWindow();
  return 1;
}

CGameMsgSock* CSockComm::NewSocket(bool hostLink) {
  auto* s = new CGameMsgSock(this, gate_, hostLink);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  sockets_.push_back(s);
  return s;
}

void CSockComm::ReleaseSocket(CGameMsgSock* s) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = std::find(sockets_.begin(), sockets_.end(), s);
    if (it == sockets_.end()) return;
    sockets_.erase(it);
    for (Slot& slot : slots_)
      if (slot.sock == s) slot = Slot{};
    for (Pending& p : pending_)
      if (p.sock == s) p = Pending{};
    if (hostLink_ == s) hostLink_ = nullptr;
  }
  s->Detach();
  s->Close();
  // A notification of this socket that is running holds it until it returns.
  s->Release();
}

bool CSockComm::OpenListener() {
  CloseListener();
  auto* l = new CGameListenSock(this, gate_);
  uint8_t any[16] = {};
  any[0] = static_cast<uint8_t>(family_);
  if (!l->CreateStream(static_cast<int>(family_), 0) || !l->Bind(any) || !l->Listen(5) ||
      !l->GetLocalAddress(l->boundAddress)) {
    l->Release();
    return false;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  listener_ = l;
  return true;
}

void CSockComm::CloseListener() {
  CGameListenSock* l;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    l = listener_;
    listener_ = nullptr;
  }
  if (l) {
    l->Detach();
    l->Close();
    l->Release();
  }
}

int CSockComm::StartHost(uint8_t* address) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    hostFlag = 1;
    joined_ = true;
    nextPlayerId_ = 1;
    local_.playerId = 1;
  }
  OpenListener();
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (address) {
    if (listener_)
      std::memcpy(address, listener_->boundAddress, 16);
    else
      std::memset(address, 0, 16);
  }
  return 1;
}

int CSockComm::JoinHost(const uint8_t* address) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    hostFlag = 0;
  }
  OpenListener();
  CGameMsgSock* link = NewSocket(true);
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    hostLink_ = link;
  }
  if (!link->CreateStream(static_cast<int>(family_), 0) || !link->Connect(address)) {
    Notify(kNotifyHostLinkLost, 0);
    ReleaseSocket(link);
  }
  return 1;
}

int CSockComm::Disconnect() {
  CloseListener();
  std::vector<CGameMsgSock*> all;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    all = sockets_;
  }
  for (CGameMsgSock* s : all) ReleaseSocket(s);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  hostFlag = 0;
  joined_ = false;
  return 1;
}

int CSockComm::PlaceInSlot(CGameMsgSock* s) {
  for (int i = 0; i < kPeerSlots; ++i)
    if (!slots_[i].used) {
      slots_[i] = Slot{true, false, false, s};
      return i;
    }
  return -1;
}

int CSockComm::SlotOf(const CGameMsgSock* s) const {
  for (int i = 0; i < kPeerSlots; ++i)
    if (slots_[i].used && slots_[i].sock == s) return i;
  return -1;
}

CGameMsgSock* CSockComm::SocketOf(uint32_t id) const {
  for (const Slot& slot : slots_)
    if (slot.used && slot.sock->remote.playerId == id) return slot.sock;
  return nullptr;
}

std::vector<CGameMsgSock*> CSockComm::Targets(bool readyOnly, const CGameMsgSock* except) {
  std::vector<CGameMsgSock*> to;
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  for (const Slot& slot : slots_)
    if (slot.used && (!readyOnly || slot.ready) && slot.sock != except) {
      slot.sock->AddRef();
      to.push_back(slot.sock);
    }
  return to;
}

void CSockComm::Send(const std::vector<CGameMsgSock*>& to, uint32_t type, const void* data, uint32_t length) {
  for (CGameMsgSock* s : to) {
    s->SendMessage(type, length, data);
    s->Release();
  }
}

void CSockComm::SendToPeers(int32_t destination, const void* message, uint32_t length) {
  std::vector<CGameMsgSock*> to;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!hostFlag) {
      if (hostLink_) {
        hostLink_->AddRef();
        to.push_back(hostLink_);
      }
    } else if (destination == -1) {
      to = Targets(false);
    } else if (CGameMsgSock* s = SocketOf(static_cast<uint32_t>(destination))) {
      s->AddRef();
      to.push_back(s);
    }
  }
  Send(to, kFrameControl, message, length);
}

void CSockComm::SendGolferList(int32_t destination, const void* message) {
  const uint32_t count = ReadLE32(static_cast<const uint8_t*>(message) + 4);
  if (count > kPeerSlots) return;
  SendToPeers(destination, message, 8 + kGolferEntrySize * count);
}

void CSockComm::SendAddGolfer(const GolferEntry& entry) {
  uint8_t m[30];
  WriteLE32(m, kAddGolfer);
  PutGolfer(m + 4, entry);
  SendToPeers(-1, m, sizeof m);
}

void CSockComm::SendRemoveGolfer(const GolferEntry& entry) {
  uint8_t m[30];
  WriteLE32(m, kRemoveGolfer);
  PutGolfer(m + 4, entry);
  SendToPeers(-1, m, sizeof m);
}

void CSockComm::MarkReady(uint32_t id, bool ready) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (Slot& slot : slots_)
      if (slot.used && slot.sock->remote.playerId == id) slot.ready = ready;
  }
  uint8_t m[8];
  WriteLE32(m, ready ? kPlayerReady : kPlayerNotReady);
  WriteLE32(m + 4, id);
  SendToPeers(-1, m, sizeof m);
}

void CSockComm::SendPlayerReady(uint32_t id) { MarkReady(id, true); }
void CSockComm::SendPlayerNotReady(uint32_t id) { MarkReady(id, false); }

void CSockComm::SendChatText(const char* text) {
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(std::strlen(text)), kChatLimit);
  Notify(kNotifyChatText, reinterpret_cast<uintptr_t>(TextCopy(text, n)));
  uint8_t m[8 + kChatLimit];
  WriteLE32(m, kChatText);
  WriteLE32(m + 4, n);
  std::memcpy(m + 8, text, n);
  SendToPeers(-1, m, 8 + n);
}

void CSockComm::SendPeerAddresses() {
  struct Out {
    CGameMsgSock* sock;
    uint8_t message[8 + 32];
    uint32_t length;
  };
  std::vector<Out> outs;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!hostFlag) return;
    groupConnected_ = false;
    for (int i = kPeerSlots - 1; i >= 0; --i) {
      Slot& slot = slots_[i];
      if (!slot.used || !slot.ready) continue;
      Out out{slot.sock, {}, 0};
      uint32_t count = 0;
      for (int j = i - 1; j >= 0 && count < 2; --j) {
        const Slot& lower = slots_[j];
        if (!lower.used || !lower.ready) continue;
        uint8_t* address = out.message + 8 + 16 * count;
        lower.sock->GetPeerAddress(address);
        TakeListenPort(address, lower.sock->listenAddress, family_);
        ++count;
      }
      if (count == 0) {
        slot.meshComplete = true;
        continue;
      }
      WriteLE32(out.message, kPeerAddresses);
      WriteLE32(out.message + 4, count);
      out.length = 8 + 16 * count;
      slot.sock->AddRef();
      outs.push_back(out);
    }
  }
  for (Out& out : outs) {
    out.sock->SendMessage(kFrameControl, out.length, out.message);
    out.sock->Release();
  }
  // A group of two has nothing to mesh.
  CheckGroupConnected();
}

void CSockComm::CheckGroupConnected() {
  bool all = true, any = false;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const Slot& slot : slots_)
      if (slot.used && slot.ready) {
        any = true;
        all = all && slot.meshComplete;
      }
    // Once per mesh set-up, whichever thread sees it complete first.
    if (!any || !all || groupConnected_) return;
    groupConnected_ = true;
  }
  Notify(kNotifyGroupConnected, 0);
}

// ---- events from the sockets ----------------------------------------------------------------------------------

void CSockComm::OnAccepted(CGameListenSock* listener) {
  CGameMsgSock* s = NewSocket(false);
  if (!listener->Accept(s, nullptr)) ReleaseSocket(s);
}

void CSockComm::OnLinkConnected(CGameMsgSock* s, int error) {
  bool isHostLink;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (std::find(sockets_.begin(), sockets_.end(), s) == sockets_.end()) return;
    isHostLink = s == hostLink_;
  }
  if (error) {
    if (isHostLink)
      Notify(kNotifyHostLinkLost, 0);
    else
      Notify(kNotifyNetworkError, reinterpret_cast<uintptr_t>(WinsockErrorText(error)));
    ReleaseSocket(s);
    return;
  }
  if (isHostLink) {
    uint8_t m[46] = {};
    WriteLE32(m, kJoinRequest);
    GolferEntry me;
    {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      me.golferId = local_.golferId;
      std::memcpy(me.name, local_.name, sizeof me.name);
      if (listener_) std::memcpy(m + 30, listener_->boundAddress, 16);
    }
    PutGolfer(m + 4, me);
    s->SendMessage(kFrameControl, sizeof m, m);
  } else {
    uint8_t m[30];
    WriteLE32(m, kPeerHello);
    {
      std::lock_guard<std::recursive_mutex> lock(mutex_);
      PutGolfer(m + 4, local_);
    }
    s->SendMessage(kFrameControl, sizeof m, m);
  }
}

void CSockComm::OnLinkClosed(CGameMsgSock* s) {
  uint32_t lost = 0;
  bool wasHostLink = false, host = false;
  GolferEntry left;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (std::find(sockets_.begin(), sockets_.end(), s) == sockets_.end()) return;  // already gone
    host = hostFlag != 0;
    wasHostLink = s == hostLink_;
    if (SlotOf(s) >= 0) {
      lost = s->remote.playerId;
      left = s->remote;
    }
  }
  ReleaseSocket(s);
  if (lost) {
    if (host) Notify(kNotifyPlayerLeft, reinterpret_cast<uintptr_t>(GolferCopy(left)));
    uint8_t m[8];
    WriteLE32(m, 0x140c);
    WriteLE32(m + 4, lost);
    PostGameData(0, m, sizeof m);
    if (type_ == 0 && gameStarted) MovePingTarget();
  }
  if (wasHostLink) Notify(kNotifyHostLinkLost, 1);
}

void CSockComm::OnFrame(CGameMsgSock* s, uint32_t type, uint8_t* body, uint32_t length) {
  if (type == kFrameControl) {
    OnControl(s, body, length);
    return;
  }
  if (type != kFrameGameData || length < 8) {
    CommMessageFree(body);
    return;
  }
  // The data's length must lie inside the frame; the sender is the player of the connection.
  const uint32_t n = ReadLE32(body + 4);
  uint32_t sender = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (SlotOf(s) >= 0) sender = s->remote.playerId;
  }
  if (n > length - 8 || sender == 0 || !notifyThread_) {
    CommMessageFree(body);
    return;
  }
  WriteLE32(body, sender);
  if (!PostThreadMessageA(notifyThread_, kGameDataFromPeer, n + 8, reinterpret_cast<LPARAM>(body)))
    CommMessageFree(body);
}

void CSockComm::OnControl(CGameMsgSock* s, uint8_t* body, uint32_t length) {
  if (length < 4) {
    CommMessageFree(body);
    return;
  }
  uint32_t code = ReadLE32(body);
  bool keep = false;  // the body went with a notification
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  const bool isHost = hostFlag != 0;
  const int slot = SlotOf(s);
  // Group messages come from members only.
  if (code >= kGolferList && slot < 0 && s != hostLink_) code = 0;
  switch (code) {
    case kJoinRequest: {
      // Only a host hears join requests, and only on a connection that has not joined yet.
      if (!isHost || slot >= 0 || s == hostLink_ || length < 46) break;
      GolferEntry joiner = GetGolfer(body + 4);
      const int placed = PlaceInSlot(s);
      if (placed < 0) {
        lock.unlock();
        ReleaseSocket(s);  // a full table: no answer
        break;
      }
      joiner.playerId = ++nextPlayerId_;
      joiner.flags = 0;
      s->remote = joiner;
      std::memcpy(s->listenAddress, body + 30, 16);
      uint8_t answer[60] = {};
      WriteLE32(answer, kJoinAccepted);
      PutGolfer(answer + 8, local_);
      GolferEntry assigned;
      assigned.playerId = joiner.playerId;
      assigned.golferId = joiner.golferId;
      PutGolfer(answer + 34, assigned);
      s->AddRef();
      lock.unlock();
      Notify(kNotifyPlayerJoined, reinterpret_cast<uintptr_t>(GolferCopy(joiner)));
      s->SendMessage(kFrameControl, sizeof answer, answer);
      s->Release();
      break;
    }
    case kJoinAccepted: {
      if (isHost || s != hostLink_ || joined_ || length < 60) break;
      const GolferEntry assigned = GetGolfer(body + 34);
      if (assigned.playerId < 2) break;
      local_.playerId = assigned.playerId;
      s->remote = GetGolfer(body + 8);
      if (PlaceInSlot(s) < 0) break;
      joined_ = true;
      break;
    }
    case kPeerAddresses: {
      if (isHost || s != hostLink_ || !joined_ || length < 8) break;
      const uint32_t count = ReadLE32(body + 4);
      if (count > 2 || length < 8 + 16 * count) break;
      std::vector<uint8_t> addresses(body + 8, body + 8 + 16 * count);
      for (Pending& p : pending_) p = Pending{};
      lock.unlock();
      for (uint32_t k = 0; k < count; ++k) {
        CGameMsgSock* link = NewSocket(false);
        {
          std::lock_guard<std::recursive_mutex> again(mutex_);
          pending_[k] = Pending{true, false, link};
        }
        if (!link->CreateStream(static_cast<int>(family_), 0) || !link->Connect(addresses.data() + 16 * k)) {
          Notify(kNotifyNetworkError, reinterpret_cast<uintptr_t>(WinsockErrorText(static_cast<int>(link->lastError()))));
          ReleaseSocket(link);
        }
      }
      break;
    }
    case kMeshComplete: {
      if (!isHost || slot < 0) break;
      slots_[slot].meshComplete = true;
      lock.unlock();
      CheckGroupConnected();
      break;
    }
    case kPeerHello: {
      // A later joiner connecting to this one.
      if (isHost || !joined_ || slot >= 0 || s == hostLink_ || length < 30) break;
      const GolferEntry sender = GetGolfer(body + 4);
      if (sender.playerId < 2 || sender.playerId == local_.playerId || SocketOf(sender.playerId)) break;
      s->remote = sender;
      if (PlaceInSlot(s) < 0) break;
      uint8_t answer[30];
      WriteLE32(answer, kPeerHelloReply);
      PutGolfer(answer + 4, local_);
      s->AddRef();
      lock.unlock();
      s->SendMessage(kFrameControl, sizeof answer, answer);
      s->Release();
      break;
    }
    case kPeerHelloReply: {
      if (isHost || slot >= 0 || length < 30) break;
      Pending* mine = nullptr;
      for (Pending& p : pending_)
        if (p.used && p.sock == s) mine = &p;
      if (!mine) break;
      const GolferEntry answerer = GetGolfer(body + 4);
      if (answerer.playerId < 2 || answerer.playerId == local_.playerId || SocketOf(answerer.playerId)) break;
      s->remote = answerer;
      if (PlaceInSlot(s) < 0) break;
      mine->acknowledged = true;
      bool all = true;
      for (const Pending& p : pending_)
        if (p.used && !p.acknowledged) all = false;
      CGameMsgSock* host = hostLink_;
      if (!all || !host) break;
      host->AddRef();
      lock.unlock();
      uint8_t m[8] = {};
      WriteLE32(m, kMeshComplete);
      host->SendMessage(kFrameControl, sizeof m, m);
      host->Release();
      break;
    }
    case kGolferList: {
      if (length < 8) break;
      const uint32_t count = ReadLE32(body + 4);
      if (count > kPeerSlots || length < 8 + kGolferEntrySize * count) break;
      for (uint32_t i = 0; i < count; ++i) body[8 + kGolferEntrySize * i + 25] = 0;  // names end in their field
      lock.unlock();
      Notify(kNotifyGolferList, reinterpret_cast<uintptr_t>(body));
      keep = true;
      break;
    }
    case kAddGolfer:
    case kRemoveGolfer: {
      if (length < 30) break;
      body[29] = 0;
      lock.unlock();
      Notify(code == kAddGolfer ? kNotifyGolferAdded : kNotifyGolferRemoved, reinterpret_cast<uintptr_t>(body));
      keep = true;
      break;
    }
    case kPlayerReady:
    case kPlayerNotReady: {
      if (length < 8) break;
      const uint32_t id = ReadLE32(body + 4);
      lock.unlock();
      Notify(code == kPlayerReady ? kNotifyPlayerReady : kNotifyPlayerNotReady, id);
      break;
    }
    case kChatText: {
      if (length < 8) break;
      const uint32_t n = ReadLE32(body + 4);
      if (n > kChatLimit || n > length - 8) break;
      lock.unlock();
      Notify(kNotifyChatText, reinterpret_cast<uintptr_t>(TextCopy(reinterpret_cast<char*>(body + 8), n)));
      if (isHost) Send(Targets(false, s), kFrameControl, body, 8 + n);
      break;
    }
    default:
      break;
  }
  if (lock.owns_lock()) lock.unlock();
  if (!keep) CommMessageFree(body);
}

// ---- game data ------------------------------------------------------------------------------------------------

void CSockComm::SendGameData(uint32_t destination, const void* data, uint32_t n) {
  if (n == 0) return;
  if (destination == 0) {
    BroadcastGameData(0, data, n);
    return;
  }
  CGameMsgSock* s;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (destination == local_.playerId) return;
    s = SocketOf(destination);
    if (!s) return;
    s->AddRef();
  }
  std::vector<uint8_t> body(n + 12, 0);
  WriteLE32(body.data() + 4, n);
  std::memcpy(body.data() + 8, data, n);
  s->SendMessage(kFrameGameData, n + 12, body.data());
  s->Release();
}

void CSockComm::BroadcastGameData(uint32_t origin, const void* data, uint32_t n) {
  uint32_t me;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    me = local_.playerId;
  }
  if (n == 0 || origin == me) return;
  PostGameData(me, data, n);
  SendToOthers(data, n);
}

void CSockComm::SendToOthers(const void* data, uint32_t n) {
  if (n == 0) return;
  bool host;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    host = hostFlag != 0;
  }
  const std::vector<CGameMsgSock*> to = Targets(host);
  std::vector<uint8_t> body(n + 12, 0);
  WriteLE32(body.data() + 4, n);
  std::memcpy(body.data() + 8, data, n);
  Send(to, kFrameGameData, body.data(), n + 12);
}

void CSockComm::SendGameWords(uint32_t destination, uint32_t a, uint32_t b) {
  if (destination == GetLocalId()) return;
  if (destination == 0) {
    BroadcastGameWords(0, a, b);
    return;
  }
  uint8_t words[8];
  WriteLE32(words, a);
  WriteLE32(words + 4, b);
  SendGameData(destination, words, 8);
}

void CSockComm::BroadcastGameWords(uint32_t origin, uint32_t a, uint32_t b) {
  if (origin == GetLocalId()) return;
  uint8_t words[8];
  WriteLE32(words, a);
  WriteLE32(words + 4, b);
  BroadcastGameData(origin, words, 8);
}

// ---- players --------------------------------------------------------------------------------------------------

int CSockComm::SetLocalGolfer(const char* name) {
  uint16_t identifier = 0;
  const bool found = FindNetGolfer(name, &identifier);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  SetGolferName(local_, name);
  if (found) local_.golferId = identifier;
  return 1;
}

uint32_t CSockComm::GetLocalId() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return local_.playerId;
}

void CSockComm::BuildPlayerList(int includeSelf) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::memset(playerList_, 0, sizeof playerList_);
  playerCount_ = 0;
  const auto add = [&](const GolferEntry& e) {
    if (playerCount_ >= 4) return;
    WriteLE32(playerList_[playerCount_], e.playerId);
    std::memcpy(playerList_[playerCount_] + 4, e.name, 16);
    ++playerCount_;
  };
  for (const Slot& slot : slots_)
    if (slot.used && (!hostFlag || slot.ready)) add(slot.sock->remote);
  if (includeSelf && joined_) add(local_);
}

int CSockComm::GetPlayerCount() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return playerCount_;
}

const uint8_t* CSockComm::GetPlayerEntry(int n) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return n >= 0 && n < 4 ? playerList_[n] : nullptr;
}

void CSockComm::DropPlayer(uint32_t id) {
  CGameMsgSock* s;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    s = SocketOf(id);
  }
  if (s) ReleaseSocket(s);
  if (type_ == 0 && gameStarted) MovePingTarget();
}

uint32_t CSockComm::FirstPeerIp() {
  uint8_t address[16] = {};
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const Slot& slot : slots_)
      if (slot.used) {
        slot.sock->GetPeerAddress(address);
        break;
      }
  }
  uint32_t ip;
  std::memcpy(&ip, address + 4, 4);
  return ip;
}

void CSockComm::MovePingTarget() { SetPingTarget(FirstPeerIp()); }

void CSockComm::BeginGame() {
  CloseListener();
  gameStarted = 1;
  if (type_ == 0) StartPing(FirstPeerIp());
  EndSessionManager();
}

void CSockComm::GetPeerAddress(uint32_t id, uint8_t* record) {
  if (id == GetLocalId()) {
    char name[64];
    if (ws::gethostname(name, sizeof name) != 0) return;
    const ws::hostent* h = ws::gethostbyname(name);
    if (!h || !h->h_addr_list[0]) return;
    ws::sockaddr_in a{};
    a.sin_family = ws::AF_INET;
    std::memcpy(&a.sin_addr, h->h_addr_list[0], 4);
    std::memcpy(record, &a, 16);
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (CGameMsgSock* s = SocketOf(id)) s->GetPeerAddress(record);
}

int CSockComm::UsedSlots() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  int n = 0;
  for (const Slot& slot : slots_) n += slot.used;
  return n;
}

int CSockComm::SocketCount() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return static_cast<int>(sockets_.size()) + (listener_ ? 1 : 0);
}

}  // namespace net

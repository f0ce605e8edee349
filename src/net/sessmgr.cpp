#include "net/sessmgr.h"

#include <cstring>

#include "framework/core/services.h"
#include "net/netgolfer.h"

namespace net {
namespace ws = winsock;

CSessMgr* SessionManager = nullptr;

namespace {

// The session socket hands datagrams to its manager until the manager lets go of it.
class CSessMsgSock : public CDgramMsgSock {
 public:
  explicit CSessMsgSock(CLanSessMgr* manager) : manager_(manager) {}
  void OnDatagram(uint8_t* message, uint32_t length, const uint8_t* from) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (manager_)
      manager_->HandleDatagram(message, length, from);
    else
      CommMessageFree(message);
  }
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    manager_ = nullptr;
  }

 private:
  std::mutex mutex_;
  CLanSessMgr* manager_;
};

// Names compared as the fixed fields hold them.
bool SameName(const char* a, const char* b) { return std::strncmp(a, b, 32) == 0; }

void EndText(uint8_t* field, size_t size) { field[size - 1] = 0; }

uint8_t* Copy(const void* data, uint32_t length) {
  uint8_t* copy = CommMessageAlloc(length);
  if (copy) std::memcpy(copy, data, length);
  return copy;
}

}  // namespace

uint32_t ClassfulBroadcast(uint32_t a) {
  if ((a & 0x80000000u) == 0) return a | 0x00ffffffu;
  if ((a & 0xc0000000u) == 0x80000000u) return a | 0x0000ffffu;
  if ((a & 0xe0000000u) == 0xc0000000u) return a | 0x000000ffu;
  return a;
}

void SessionEntry::Terminate() {
  EndText(bytes + 8, 32);
  EndText(bytes + 52, 32);
  for (int i = 0; i < 4; ++i) EndText(slot(i) + 10, 16);
}

// ---- the list -------------------------------------------------------------------------------------------------

int TSessionList::Count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

void TSessionList::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  count_ = 0;
}

void TSessionList::Add(const SessionEntry& entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < count_; ++i)
    if (entries_[i].id() == entry.id() && entries_[i].owner() == entry.owner()) {
      entries_[i] = entry;
      return;
    }
  if (count_ < kSessionListSize) entries_[count_++] = entry;
}

bool TSessionList::GetEntry(int n, SessionEntry* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (n < 0 || n >= count_) return false;
  *out = entries_[n];
  return true;
}

bool TSessionList::FindById(uint32_t key, SessionEntry* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < count_; ++i)
    if (entries_[i].id() == key) {
      *out = entries_[i];
      return true;
    }
  return false;
}

bool TSessionList::FindByOwner(uint32_t key, SessionEntry* out) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int i = 0; i < count_; ++i)
    if (entries_[i].id() == 0 && entries_[i].owner() == key) {
      *out = entries_[i];
      return true;
    }
  return false;
}

// ---- the LAN lobby --------------------------------------------------------------------------------------------

CLanSessMgr::~CLanSessMgr() {
  if (socket_) {
    static_cast<CSessMsgSock*>(socket_)->Detach();
    socket_->Close();
    socket_->Release();
  }
}

bool CLanSessMgr::OpenSocket(int family, const void* bindAddress) {
  auto* s = new CSessMsgSock(this);
  if (!s->CreateDatagram(family, 0)) {
    s->Release();
    return false;
  }
  const int on = 1;
  s->SetOption(ws::SOL_SOCKET, ws::SO_BROADCAST, &on, sizeof on);
  if (family == ws::AF_IPX) s->SetOption(ws::SOL_SOCKET, ws::IPX_RECEIVEBROADCAST, &on, sizeof on);
  if (!s->BindDatagram(bindAddress)) {
    s->Detach();
    s->Release();
    return false;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  socket_ = s;
  return true;
}

int CLanSessMgr::Shutdown() {
  if (hosting_) CloseSession();
  if (announced_) RefreshSessions();
  CDgramMsgSock* s;
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    s = socket_;
    socket_ = nullptr;
  }
  if (s) {
    static_cast<CSessMsgSock*>(s)->Detach();
    s->Close();
    s->Release();
  }
  return 1;
}

void CLanSessMgr::Broadcast(const void* data, uint32_t length) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (!socket_) return;
  for (int i = 0; i < broadcasts_; ++i) socket_->SendTo(data, static_cast<int>(length), broadcast_[i]);
}

void CLanSessMgr::SendTo(const void* data, uint32_t length, const uint8_t* to) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (socket_) socket_->SendTo(data, static_cast<int>(length), to);
}

void CLanSessMgr::Advertise(uint32_t open, const uint8_t* to) {
  uint8_t m[kSessionAdvertSize] = {};
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    WriteLE32(m, kSessionAdvert);
    WriteLE32(m + 4, sequence_);
    WriteLE32(m + 8, open);
    std::memcpy(m + 12, hosted_.bytes, kSessionEntrySize);
  }
  if (to)
    SendTo(m, sizeof m, to);
  else
    Broadcast(m, sizeof m);
}

void CLanSessMgr::Announce(uint32_t present, uint32_t answer, const uint8_t* to) {
  uint8_t m[kPlayerAnnounceSize] = {};
  GolferEntry me;
  SetGolferName(me, NetGolferName);
  FindNetGolfer(NetGolferName, &me.golferId);
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    WriteLE32(m, kPlayerAnnounce);
    WriteLE32(m + 4, sequence_++);
    WriteLE32(m + 8, present);
    WriteLE32(m + 12, answer);
    PutGolfer(m + 16, me);
    std::memcpy(m + 42, local_.bytes, kPlayerRecordSize);
  }
  if (to)
    SendTo(m, sizeof m, to);
  else
    Broadcast(m, sizeof m);
}

void CLanSessMgr::AnnouncePlayer(const SessionPlayerRecord& record) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    local_ = record;
    EndText(local_.bytes + 8, 32);
    announced_ = true;
  }
  Announce(1, 1);
  // The machine lists itself too.
  uint8_t m[kPlayerAnnounceSize] = {};
  GolferEntry me;
  me.playerId = ownId_[0];
  SetGolferName(me, NetGolferName);
  FindNetGolfer(NetGolferName, &me.golferId);
  WriteLE32(m, kPlayerAnnounce);
  WriteLE32(m + 8, 1);
  PutGolfer(m + 16, me);
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::memcpy(m + 42, local_.bytes, kPlayerRecordSize);
  }
  Notify(kNotifyPlayerAnnounce, reinterpret_cast<uintptr_t>(Copy(m, sizeof m)));
}

void CLanSessMgr::SetLocalPlayer(const SessionPlayerRecord& record) {
  sessions.Clear();
  uint8_t m[kLanPlayerRecordSize] = {};
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    local_ = record;
    EndText(local_.bytes + 8, 32);
    WriteLE32(m, kLanPlayerRecord);
    WriteLE32(m + 4, ++sequence_);
    std::memcpy(m + 10, local_.bytes, kPlayerRecordSize);
  }
  Broadcast(m, sizeof m);
}

void CLanSessMgr::CreateSession(SessionEntry* entry) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    entry->setId(ownId_[0]);
    entry->setOwner(0);
    hosted_ = *entry;
    hosted_.Terminate();
    hosting_ = true;
  }
  Advertise(1);
  RefreshSessions();
}

void CLanSessMgr::CloseSession() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    hosting_ = false;
  }
  Advertise(0);
}

void CLanSessMgr::AddSessionPlayer(const GolferEntry& golfer) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!hosting_) return;
    for (int i = 0; i < 4; ++i) {
      uint8_t* slot = hosted_.slot(i);
      if (slot[4] & 1) continue;
      GolferEntry e = golfer;
      e.flags = 1;
      PutGolfer(slot, e);
      EndText(slot + 10, 16);
      break;
    }
  }
  Advertise(1);
}

void CLanSessMgr::RemoveSessionPlayer(const GolferEntry& golfer) {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!hosting_) return;
    for (int i = 0; i < 4; ++i) {
      uint8_t* slot = hosted_.slot(i);
      if ((slot[4] & 1) && ReadLE32(slot) == golfer.playerId) {
        slot[4] &= static_cast<uint8_t>(~1);
        break;
      }
    }
  }
  Advertise(1);
}

void CLanSessMgr::SendChat(const char* text) {
  const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(std::strlen(text)), 80);
  uint8_t m[kLanChatHeader + 80] = {};
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    WriteLE32(m, kLanChat);
    std::memcpy(m + 4, local_.bytes, kPlayerRecordSize);
    WriteLE32(m + 44, n);
    std::memcpy(m + 48, text, n);
  }
  Broadcast(m, kLanChatHeader + n);
  uint8_t* copy = CommMessageAlloc(n + 1);
  if (copy) {
    std::memcpy(copy, text, n);
    copy[n] = 0;
  }
  Notify(kNotifySessionChat, reinterpret_cast<uintptr_t>(copy));
}

void CLanSessMgr::RefreshSessions() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    announced_ = false;
  }
  Announce(0, 0);
}

void CLanSessMgr::HandleDatagram(uint8_t* m, uint32_t length, const uint8_t* from) {
  bool kept = false;
  std::unique_lock<std::recursive_mutex> lock(mutex_);
  const uint32_t sender = SenderId(from);
  const bool own = sender == ownId_[0] || (ownId_[1] && sender == ownId_[1]);
  const uint32_t code = length >= 4 ? ReadLE32(m) : 0;
  switch (code) {
    case kPlayerAnnounce: {
      if (length < kPlayerAnnounceSize || !announced_ || own) break;
      EndText(m + 26, 16);      // golfer name
      EndText(m + 42 + 8, 32);  // lobby name
      const bool sameLobby = SameName(reinterpret_cast<char*>(m + 50), local_.lobbyName());
      const bool answer = ReadLE32(m + 12) != 0;
      if (sameLobby) {
        WriteLE32(m + 16, sender);
        uint8_t to[16];
        std::memcpy(to, from, 16);
        lock.unlock();
        Notify(kNotifyPlayerAnnounce, reinterpret_cast<uintptr_t>(m));
        kept = true;
        if (answer) Announce(1, 0, to);
      } else if (answer) {
        WriteLE32(m + 16, sender);
        WriteLE32(m + 8, 0);
        lock.unlock();
        Notify(kNotifyPlayerAnnounce, reinterpret_cast<uintptr_t>(m));
        kept = true;
      }
      break;
    }
    case kSessionAdvert: {
      if (length < kSessionAdvertSize || own) break;
      SessionEntry entry;
      std::memcpy(entry.bytes, m + 12, kSessionEntrySize);
      entry.Terminate();
      if (!SameName(entry.lobbyName(), local_.lobbyName())) break;
      TakeSourceAddress(entry.hostAddress(), from);
      std::memcpy(m + 12, entry.bytes, kSessionEntrySize);
      lock.unlock();
      sessions.Add(entry);
      Notify(kNotifySessionAdvert, reinterpret_cast<uintptr_t>(m));
      kept = true;
      break;
    }
    case kLanPlayerRecord: {
      if (length < kLanPlayerRecordSize || !hosting_) break;
      EndText(m + 10 + 8, 32);
      if (!SameName(reinterpret_cast<char*>(m + 18), hosted_.lobbyName())) break;
      uint8_t to[16];
      std::memcpy(to, from, 16);
      lock.unlock();
      Advertise(1, to);
      break;
    }
    case kLanChat: {
      if (length < kLanChatHeader || own) break;
      const uint32_t n = ReadLE32(m + 44);
      if (n > 80 || n > length - kLanChatHeader) break;
      EndText(m + 4 + 8, 32);
      if (!SameName(reinterpret_cast<char*>(m + 12), local_.lobbyName())) break;
      lock.unlock();
      uint8_t* text = CommMessageAlloc(n + 1);
      if (text) {
        std::memcpy(text, m + 48, n);
        text[n] = 0;
      }
      Notify(kNotifySessionChat, reinterpret_cast<uintptr_t>(text));
      break;
    }
    default:
      break;
  }
  if (lock.owns_lock()) lock.unlock();
  if (!kept) CommMessageFree(m);
}

// ---- TCP/IP -------------------------------------------------------------------------------------------------

int CUDPSessMgr::Start() {
  const auto fail = [] {
    Svc().frontEnd->ShowMessageDialog("Could not initialize LAN session manager.", 0);
    return 0;
  };
  char name[64];
  if (ws::gethostname(name, sizeof name) != 0) return fail();
  const ws::hostent* h = ws::gethostbyname(name);
  if (!h || !h->h_addr_list || !h->h_addr_list[0]) return fail();
  broadcasts_ = 0;
  for (int k = 0; k < 2 && h->h_addr_list[k]; ++k) {
    uint32_t net;
    std::memcpy(&net, h->h_addr_list[k], 4);
    const uint32_t own = ws::ntohl(net);
    const uint32_t broadcast = ClassfulBroadcast(own);
    if (k == 1) {
      ws::sockaddr_in first;
      std::memcpy(&first, broadcast_[0], sizeof first);
      if (ws::ntohl(first.sin_addr.s_addr) == broadcast) break;
    }
    ownId_[k] = own;
    ws::sockaddr_in b{};
    b.sin_family = ws::AF_INET;
    b.sin_port = ws::htons(kLanPort);
    b.sin_addr.s_addr = ws::htonl(broadcast);
    std::memcpy(broadcast_[k], &b, sizeof b);
    ++broadcasts_;
  }
  ws::sockaddr_in any{};
  any.sin_family = ws::AF_INET;
  any.sin_port = ws::htons(kLanPort);
  if (!OpenSocket(ws::AF_INET, &any)) return fail();
  Notify(kNotifySessionStatus, 0);
  return 1;
}

uint32_t CUDPSessMgr::SenderId(const uint8_t* from) const {
  ws::sockaddr_in a;
  std::memcpy(&a, from, sizeof a);
  return ws::ntohl(a.sin_addr.s_addr);
}

void CUDPSessMgr::TakeSourceAddress(uint8_t* hostAddress, const uint8_t* from) const {
  std::memcpy(hostAddress + 4, from + 4, 4);
}

// ---- IPX ----------------------------------------------------------------------------------------------------

int CSAPSessMgr::Start() {
  const auto fail = [] {
    Svc().frontEnd->ShowMessageDialog("Could not initialize LAN session manager.", 0);
    return 0;
  };
  ws::sockaddr_ipx b{};
  b.sa_family = ws::AF_IPX;
  std::memset(b.sa_nodenum, 0xff, 6);
  b.sa_socket = ws::htons(kIpxLanSocket);
  std::memcpy(broadcast_[0], &b, 14);
  broadcasts_ = 1;
  ws::sockaddr_ipx bind{};
  bind.sa_family = ws::AF_IPX;
  bind.sa_socket = ws::htons(kIpxLanSocket);
  if (!OpenSocket(ws::AF_IPX, &bind)) return fail();
  uint8_t record[24] = {};
  int length = sizeof record;
  if (!socket_->GetOption(ws::NSPROTO_IPX, ws::IPX_ADDRESS, record, &length)) return fail();
  ownId_[0] = static_cast<uint32_t>(record[10]) << 24 | static_cast<uint32_t>(record[11]) << 16 |
              static_cast<uint32_t>(record[12]) << 8 | record[13];
  Notify(kNotifySessionStatus, 0);
  return 1;
}

uint32_t CSAPSessMgr::SenderId(const uint8_t* from) const {
  return static_cast<uint32_t>(from[8]) << 24 | static_cast<uint32_t>(from[9]) << 16 |
         static_cast<uint32_t>(from[10]) << 8 | from[11];
}

void CSAPSessMgr::TakeSourceAddress(uint8_t* hostAddress, const uint8_t* from) const {
  std::memcpy(hostAddress + 2, from + 2, 4);   // network
  std::memcpy(hostAddress + 6, from + 6, 6);   // node
}

}  // namespace net

#include "net/internetsess.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/core/commqueue.h"
#include "framework/core/des.h"
#include "framework/core/services.h"
#include "net/netgolfer.h"
#include "net/onlineidentity.h"
#include "platformlib/core/byteorder.h"
#include "windows.h"

namespace net {

namespace ws = winsock;

namespace {

std::string g_gameServer;  // set by tests; else the program's "/GS" host

// A NUL-terminated copy of `n` characters at `at` (n checked against the message by the caller).
char* TextCopy(const uint8_t* at, uint32_t n) {
  auto* text = reinterpret_cast<char*>(CommMessageAlloc(n + 1));
  if (!text) return nullptr;
  std::memcpy(text, at, n);
  text[n] = 0;
  return text;
}

// A counted text of the server: u32 length at `offset`, the characters after it, within the message.
char* CountedText(const uint8_t* body, uint32_t length, uint32_t offset) {
  if (length < offset + 4) return nullptr;
  const uint32_t n = ReadLE32(body + offset);
  if (n > length - offset - 4) return nullptr;
  return TextCopy(body + offset + 4, n);
}

void CopyText(char* to, size_t size, const char* text) {
  std::memset(to, 0, size);
  if (text) std::strncpy(to, text, size - 1);
}

}  // namespace

OnlineIdentity& Identity() {
  static OnlineIdentity identity;
  return identity;
}

bool SetGameServerHost(const char* host) {
  if (!host || std::strlen(host) > 128) return false;
  g_gameServer = host;
  return true;
}

const char* GameServerHost() {
  if (!g_gameServer.empty()) return g_gameServer.c_str();
  if (Facts().gameServer && *Facts().gameServer) return Facts().gameServer;
  return kDefaultGameServer;
}

// ---- the socket ----------------------------------------------------------------------------------------------------

void CGolfServerSock::OnConnect(int error) {
  CMsgSock::OnConnect(error);
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (owner_) owner_->OnConnected(error);
}

void CGolfServerSock::OnClose(int) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (owner_) owner_->OnClosed();
}

void CGolfServerSock::OnMessage(uint32_t type, uint8_t* body, uint32_t length) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (type != 0 || !owner_) {
    CommMessageFree(body);
    return;
  }
  owner_->HandleServerMessage(body, length);
}

void CGolfServerSock::Detach() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  owner_ = nullptr;
}

// ---- the manager -------------------------------------------------------------------------------------------------

CInternetSessMgr::~CInternetSessMgr() { Shutdown(); }

int CInternetSessMgr::Start() {
  connected_ = false;
  socket_ = new (std::nothrow) CGolfServerSock(this);
  if (!socket_ || !socket_->CreateStream(ws::AF_INET, 0) || !socket_->ConnectByName(GameServerHost(), kGameServerPort)) {
    ReleaseSocket();
    MessageBoxA(nullptr, "Could not create socket to connect to the ZQ Golf Server.", "ZQ Golf", MB_OK);
    return 0;
  }
  return 1;
}

void CInternetSessMgr::ReleaseSocket() {
  CGolfServerSock* s = socket_;
  if (!s) return;
  s->Detach();  // first: a running notification may still send through socket_
  socket_ = nullptr;
  s->Close();
  s->Release();
}

int CInternetSessMgr::Shutdown() {
  ReleaseSocket();
  connected_ = false;
  return 1;
}

void CInternetSessMgr::SendBody(const uint8_t* body, uint32_t length) {
  if (socket_ && connected_) socket_->SendMessage(0, length, body);
}

void CInternetSessMgr::OnConnected(int error) {
  // A window minimised while the connection was made comes back.
  if (HWND window = GetActiveWindow()) ShowWindow(window, SW_RESTORE);
  if (error) {
    phase_ = kFailed;
    Notify(kNotifySessionStatus, 1);
    return;
  }
  connected_ = true;
  uint8_t hello[kServerHelloSize] = {};
  WriteLE32(hello, kServerHello);
  WriteLE32(hello + 4, kServerHelloMagic);
  GolferEntry golfer;
  SetGolferName(golfer, NetGolferName);
  uint16_t identifier = 0;
  if (FindNetGolfer(NetGolferName, &identifier)) golfer.golferId = identifier;
  PutGolfer(hello + 8, golfer);
  SendBody(hello, sizeof hello);
  if (phase_ == kRecordWaiting) SendPlayerRecord();
  else phase_ = kConnected;
}

void CInternetSessMgr::OnClosed() {
  if (socket_) socket_->Close();
  connected_ = false;
  phase_ = kClosed;
  Notify(kNotifySessionStatus, 3);
}

void CInternetSessMgr::SendPlayerRecord() {
  uint8_t m[kServerPlayerRecordSize] = {};
  WriteLE32(m, kServerPlayerRecord);
  WriteLE32(m + 4, ++requests_);
  std::memcpy(m + 10, local_.bytes, kPlayerRecordSize);
  SendBody(m, sizeof m);
  phase_ = kRecordSent;
}

void CInternetSessMgr::AnnouncePlayer(const SessionPlayerRecord& record) {
  uint8_t m[kServerAnnounceSize] = {};
  WriteLE32(m, kServerAnnounce);
  std::memcpy(m + 34, record.bytes, kPlayerRecordSize);
  SendBody(m, sizeof m);
}

void CInternetSessMgr::SetLocalPlayer(const SessionPlayerRecord& record) {
  local_ = record;
  local_.bytes[kPlayerRecordSize - 1] = 0;
  if (connected_) SendPlayerRecord();
  else phase_ = kRecordWaiting;
}

void CInternetSessMgr::CreateSession(SessionEntry* entry) {
  if (!entry) return;
  phase_ = kSessionCreated;
  uint8_t m[kServerCreateSessionSize] = {};
  WriteLE32(m, kServerCreateSession);
  std::memcpy(m + 4, entry->bytes, kSessionEntrySize);
  SendBody(m, sizeof m);
  RefreshSessions();
}

void CInternetSessMgr::CloseSession() {
  phase_ = kListComplete;
  uint8_t m[kServerCloseSessionSize] = {};
  WriteLE32(m, kServerCloseSession);
  WriteLE32(m + 4, 0xFFFFFFFFu);
  SendBody(m, sizeof m);
}

void CInternetSessMgr::SendGolfer(uint32_t code, const GolferEntry& golfer) {
  uint8_t m[kServerGolferSize] = {};
  WriteLE32(m, code);
  WriteLE32(m + 4, 0xFFFFFFFFu);
  PutGolfer(m + 8, golfer);
  SendBody(m, sizeof m);
}

void CInternetSessMgr::AddSessionPlayer(const GolferEntry& golfer) { SendGolfer(kServerAddPlayer, golfer); }

void CInternetSessMgr::RemoveSessionPlayer(const GolferEntry& golfer) { SendGolfer(kServerRemovePlayer, golfer); }

void CInternetSessMgr::SendChat(const char* text) {
  const uint32_t n = text ? static_cast<uint32_t>(strnlen(text, kServerChatLimit)) : 0;
  uint8_t m[8 + kServerChatLimit] = {};
  WriteLE32(m, kServerChat);
  WriteLE32(m + 4, n);
  if (n) std::memcpy(m + 8, text, n);
  SendBody(m, 8 + n);
}

void CInternetSessMgr::RefreshSessions() {
  uint8_t m[kServerListRequestSize] = {};
  WriteLE32(m, kServerPlayerList);
  WriteLE32(m + 4, requests_++);
  SendBody(m, sizeof m);
}

void CInternetSessMgr::JoinSession(const SessionEntry& entry, const char* login, const char* password,
                                   const char* tourCard) {
  const bool tour = tourCard && *tourCard && entry.bytes[41] > 1;
  uint8_t m[kServerTourJoinSize] = {};
  WriteLE32(m, tour ? kServerTourJoin : kServerJoin);
  CopyText(reinterpret_cast<char*>(m + 4), 16, login);
  CopyText(reinterpret_cast<char*>(m + 20), 16, password);
  if (tour) {
    CopyText(reinterpret_cast<char*>(m + 36), 64, tourCard);
    std::memcpy(m + 100, entry.bytes, kSessionEntrySize);
    uint8_t key[8] = {};
    std::memcpy(key, m + 36, sizeof key);
    DesEncrypt(key, m + 20, 16);
    DesEncrypt(key, m + 36, 64);
    SendBody(m, kServerTourJoinSize);
  } else {
    std::memcpy(m + 36, entry.bytes, kSessionEntrySize);
    uint8_t key[8] = {};
    std::memcpy(key, m + 20, sizeof key);
    DesEncrypt(key, m + 20, 16);
    SendBody(m, kServerJoinSize);
  }
}

void CInternetSessMgr::HandleServerMessage(uint8_t* body, uint32_t length) {
  if (!body || length < 4) {
    CommMessageFree(body);
    return;
  }
  bool passed = false;  // ownership went with a notification
  switch (ReadLE32(body)) {
    case kServerLoginResult: {
      if (length < 8) break;
      const bool accepted = ReadLE32(body + 4) != 0;
      Notify(kNotifySessionStatus, accepted ? 0 : 5);
      if (char* text = length >= 36 ? CountedText(body, length, 32) : nullptr) {
        if (*text) Notify(kNotifyStatusText, reinterpret_cast<uintptr_t>(text));
        else CommMessageFree(reinterpret_cast<uint8_t*>(text));
        if (!accepted) Notify(kNotifySessionStatus, 5);
      }
      break;
    }
    case kServerMessage7: {
      // The player list: its count must fit the bytes received.
      if (length < 52) break;
      const uint32_t count = static_cast<uint32_t>(body[50] | body[51] << 8);
      if (count > (length - 52) / kGolferEntrySize) break;
      Notify(kNotifyServerMessage7, reinterpret_cast<uintptr_t>(body));
      passed = true;
      break;
    }
    case kServerSessionList: {
      if (length < 16) break;
      const uint32_t flags = ReadLE32(body + 8);
      const uint32_t count = static_cast<uint32_t>(body[14] | body[15] << 8);
      if (count > (length - 16) / kSessionEntrySize) break;
      if (flags & 1) sessions.Clear();
      for (uint32_t i = 0; i < count; ++i) {
        SessionEntry e;
        std::memcpy(e.bytes, body + 16 + i * kSessionEntrySize, kSessionEntrySize);
        e.Terminate();
        sessions.Add(e);
      }
      if (flags & 2) {
        Notify(kNotifySessionListComplete, 0);
        phase_ = kListComplete;
      }
      break;
    }
    case kServerIdentity: {
      if (length < 80) break;
      playerId_ = ReadLE32(body + 8);
      OnlineIdentity& id = Identity();
      id.playerId = playerId_;
      id.value = ReadLE32(body + 12);
      if (id.value) {
        std::memcpy(id.text1, body + 16, sizeof id.text1);
        id.text1[sizeof id.text1 - 1] = 0;
        if (body[48]) {
          std::memcpy(id.text2, body + 48, sizeof id.text2);
          id.text2[sizeof id.text2 - 1] = 0;
        }
      }
      Notify(kNotifyLoginAccepted, playerId_);
      break;
    }
    case kServerChat:
      if (char* text = CountedText(body, length, 4)) Notify(kNotifySessionChat, reinterpret_cast<uintptr_t>(text));
      break;
    case kServerOperatorText:
      if (char* text = CountedText(body, length, 4)) Notify(kNotifyOperatorText, reinterpret_cast<uintptr_t>(text));
      break;
    case kServerPlayerList:
      if (length < kPlayerAnnounceSize) break;
      Notify(kNotifyPlayerAnnounce, reinterpret_cast<uintptr_t>(body));
      passed = true;
      break;
    case kServerSessionAdvert: {
      if (length < 12 + kSessionEntrySize) break;
      SessionEntry e;
      std::memcpy(e.bytes, body + 12, kSessionEntrySize);
      e.Terminate();
      std::memcpy(body + 12, e.bytes, kSessionEntrySize);
      sessions.Add(e);
      Notify(kNotifySessionAdvert, reinterpret_cast<uintptr_t>(body));
      passed = true;
      break;
    }
    case kServerJoinReply:
    case kServerTourJoinReply: {
      const bool tour = ReadLE32(body) == kServerTourJoinReply;
      if (length < 16) break;
      if (ReadLE32(body + 4) == 0) {
        // The refusal's text ends within the message.
        if (length < 17 || !std::memchr(body + 16, 0, length - 16)) break;
      } else if (tour) {
        if (length < 280) break;
        const uint32_t k = ReadLE32(body + 276);
        if (k > (length - 280) / 4) break;
      }
      Notify(tour ? kNotifyTourJoinReply : kNotifyJoinReply, reinterpret_cast<uintptr_t>(body));
      passed = true;
      break;
    }
    default: break;
  }
  if (!passed) CommMessageFree(body);
}

}  // namespace net

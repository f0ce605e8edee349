#include "online/tourneycomm.h"

#include <algorithm>
#include <cstring>

#include "framework/core/des.h"
#include "net/commlayer.h"
#include "platformlib/core/byteorder.h"

namespace online {
namespace {

std::string g_serviceHost = kDefaultServiceHost, g_scoreHost = kDefaultServiceHost, g_shotHost = kDefaultServiceHost;

bool SetHost(std::string& into, const char* host) {
  if (!host || std::strlen(host) > 128) return false;
  into = host;
  return true;
}

void PutText(uint8_t* at, const char* text, size_t size) {
  std::memset(at, 0, size);
  if (text) std::memcpy(at, text, strnlen(text, size - 1));
}

uint32_t GroupId() { return net::RoundComm ? net::RoundComm->GetLocalId() : 0; }

// The name up to its first '^'.
std::string CutName(const char* name) {
  std::string s = name ? name : "";
  const size_t at = s.find('^');
  return at == std::string::npos ? s : s.substr(0, at);
}

}  // namespace

bool SetServiceHost(const char* host) {
  if (!SetHost(g_serviceHost, host)) return false;
  g_scoreHost = g_shotHost = g_serviceHost;
  return true;
}
bool SetScoreHost(const char* host) { return SetHost(g_scoreHost, host); }
bool SetShotHost(const char* host) { return SetHost(g_shotHost, host); }
const char* ScoreHost() { return g_scoreHost.c_str(); }
const char* ShotHost() { return g_shotHost.c_str(); }

CTourneyComm::~CTourneyComm() {
  if (session_) HttpCloseHandle(session_);
}

int CTourneyComm::Open() {
  if (!session_) session_ = HttpOpen("VAVODU", 0, nullptr, nullptr, 0);
  return session_ != 0;
}

void CTourneyComm::Encrypt(uint8_t* data, uint32_t n) const {
  const OnlineIdentity& id = Identity();
  if (id.tournament == 0) return;
  uint8_t key[8] = {};
  std::memcpy(key, id.password, strnlen(id.password, 8));
  DesEncrypt(key, data, n);
}

void CTourneyComm::BeginScoreCard(const char* name, const uint32_t holes[18], uint32_t value) {
  const OnlineIdentity& id = Identity();
  std::memset(card_, 0, sizeof card_);
  WriteLE32(card_ + 4, 1);
  WriteLE32(card_ + 8, id.tournament);
  WriteLE32(card_ + 12, id.tourValueB);
  WriteLE32(card_ + 16, value);
  WriteLE32(card_ + 20, id.number);
  const std::string cut = CutName(name);
  PutText(card_ + 24, cut.c_str(), 32);
  PutText(reinterpret_cast<uint8_t*>(plainName_), cut.c_str(), sizeof plainName_);
  for (int h = 0; h < 18; ++h) card_[56 + h] = static_cast<uint8_t>(holes ? holes[h] : 0);
  WriteLE32(card_ + 74, id.value);
  PutText(card_ + 78, id.text2, 32);
  PutText(card_ + 110, id.text1, 32);
  WriteLE32(card_ + 142, id.playerId);
  Encrypt(card_ + 24, 32);
  Encrypt(card_ + 78, 32);
  Encrypt(card_ + 110, 32);
  count_ = 0;
}

void CTourneyComm::AddScoreCardPlayer(const char* name, const uint32_t scores[18], uint32_t value) {
  if (count_ >= 4) return;
  uint8_t* e = card_ + 150 + 42 * count_;
  PutText(e, name, 16);
  WriteLE32(e + 16, GroupId());
  WriteLE32(e + 20, value);
  for (int h = 0; h < 18; ++h) e[24 + h] = static_cast<uint8_t>(scores ? scores[h] : 0);
  Encrypt(e, 42);
  ++count_;
}

int CTourneyComm::PostScoreCard() {
  PutText(card_ + 78, Identity().text2, 32);
  Encrypt(card_ + 78, 32);
  WriteLE32(card_ + 146, count_);
  return Request(ScoreHost(), "/isapi/scorlink.dll?UpdateScoreCard", card_, sizeof card_, nullptr, 0);
}

int CTourneyComm::Fetch(const char* path, const uint8_t* body, uint32_t length, uint32_t headerBytes,
                        uint32_t countAt, uint32_t entries, uint8_t* header, uint8_t* table, uint32_t* count) {
  std::string reply;
  if (!Request(ScoreHost(), path, body, length, &reply, headerBytes + entries * kEntryBytes)) return 0;
  if (reply.size() < headerBytes) return 1;
  const auto* r = reinterpret_cast<const uint8_t*>(reply.data());
  const uint32_t n = ReadLE32(r + countAt);
  // A count beyond the table, or beyond the bytes that came, keeps nothing.
  if (n > entries || headerBytes + n * kEntryBytes > reply.size()) return 1;
  std::memcpy(header, r, headerBytes);
  std::memcpy(table, r + headerBytes, n * kEntryBytes);
  *count = n;
  return 1;
}

int CTourneyComm::FetchLeaderBoard() {
  uint8_t body[44] = {};
  WriteLE32(body + 4, 1);
  WriteLE32(body + 8, Identity().value);
  return Fetch("/isapi/scorlink.dll?GetLeaderBoard2", body, sizeof body, kLeaderHeaderBytes, 470, kLeaderEntries,
               leaderHeader_, leaderEntries_[0], &leaderCount_);
}

void CTourneyComm::GetLeaderBoardEntry(uint32_t n, uint8_t out[48]) {
  if (n >= leaderCount_) return;
  uint8_t* e = leaderEntries_[n];
  WriteLE32(e + 60, ReadLE32(e + 4) == Identity().playerId ? 1 : 0);
  std::memcpy(out, e + 44, 48);
}

void CTourneyComm::GetLeaderBoardHole(uint32_t n, uint8_t out[20]) const {
  if (n < 18) std::memcpy(out, leaderHeader_ + 110 + 20 * n, 20);
}

int CTourneyComm::FetchGroupScores() {
  uint8_t body[48] = {};
  WriteLE32(body + 4, 1);
  WriteLE32(body + 8, Identity().value);
  WriteLE32(body + 12, Identity().playerId);
  return Fetch("/isapi/scorlink.dll?GetGroupScores", body, sizeof body, kGroupHeaderBytes, 16, kGroupEntries,
               groupHeader_, groupEntries_[0], &groupCount_);
}

void CTourneyComm::GetGroupScoreEntry(uint32_t n, uint8_t out[48]) {
  if (n >= groupCount_) return;
  uint8_t* e = groupEntries_[n];
  WriteLE32(e + 60, 1);
  std::memcpy(out, e + 44, 48);
}

int CTourneyComm::PostPlayerStatus(const char* status, uint32_t value) {
  const OnlineIdentity& id = Identity();
  std::memset(status_, 0, sizeof status_);
  WriteLE32(status_ + 4, 1);
  WriteLE32(status_ + 8, id.tournament);
  WriteLE32(status_ + 12, id.tourValueB);
  WriteLE32(status_ + 16, ReadLE32(card_ + 16));
  WriteLE32(status_ + 20, id.number);
  std::memcpy(status_ + 24, card_ + 24, 32);
  WriteLE32(status_ + 56, id.value);
  PutText(status_ + 60, id.text2, 32);
  PutText(status_ + 92, id.text1, 32);
  WriteLE32(status_ + 124, id.playerId);
  PutText(status_ + 128, status, 16);
  WriteLE32(status_ + 144, GroupId());
  WriteLE32(status_ + 148, value);
  return Request(ScoreHost(), "/isapi/scorlink.dll?UpdatePlayerStatus", status_, sizeof status_, nullptr, 0);
}

int CTourneyComm::PostPlayerShot(const void* data, uint32_t length, uint32_t first, uint32_t second,
                                 const char* text) {
  // A record that cannot carry its data is not sent half-filled.
  if (length > kShotDataLimit || (length && !data)) return 0;
  const OnlineIdentity& id = Identity();
  std::memset(shot_, 0, sizeof shot_);
  WriteLE32(shot_ + 4, 1);
  WriteLE32(shot_ + 8, id.tournament);
  WriteLE32(shot_ + 12, id.tourValueB);
  WriteLE32(shot_ + 20, ReadLE32(card_ + 16));
  WriteLE32(shot_ + 24, id.number);
  WriteLE32(shot_ + 28, id.value);
  WriteLE32(shot_ + 32, id.playerId);
  WriteLE32(shot_ + 36, GroupId());
  WriteLE32(shot_ + 44, second);
  PutText(shot_ + 48, plainName_, 32);
  PutText(shot_ + 80, id.text2, 32);
  PutText(shot_ + 112, id.text1, 32);
  PutText(shot_ + 160, text, 16);
  WriteLE32(shot_ + 176, first);
  WriteLE32(shot_ + 180, length);
  if (length) std::memcpy(shot_ + 184, data, length);
  return Request(ShotHost(), "/isapi/shotserv.dll?ReceivePlayerShot", shot_, sizeof shot_, nullptr, 0);
}

int CTourneyComm::PostStatsLine(const char* line) {
  if (!line || !*line) return 0;
  return Request(g_serviceHost.c_str(), line, nullptr, 0, nullptr, 0);
}

int CTourneyComm::Request(const char* host, const char* path, const void* body, uint32_t length, std::string* reply,
                          uint32_t limit) {
  if (!Open()) return 0;
  const HttpHandle connection = HttpConnect(session_, host, 80, nullptr, nullptr, kHttpService, 0, 0);
  if (!connection) return 0;
  int ok = 0;
  const HttpHandle request = HttpOpenRequest(connection, "POST", path, "HTTP/1.0", nullptr, nullptr,
                                             kHttpRequestFlags, 0);
  uint32_t status = 0, size = 4;
  if (request && HttpSendRequest(request, nullptr, 0, body, length) &&
      HttpQueryInfo(request, kHttpQueryNumber | kHttpQueryStatus, &status, &size, nullptr) && status == 200) {
    ok = 1;
    if (reply) {
      uint32_t n = 0;
      size = 4;
      ok = HttpQueryInfo(request, kHttpQueryNumber | kHttpQueryLength, &n, &size, nullptr) && n <= limit;
      if (ok) {
        reply->assign(n, '\0');
        uint32_t got = 0;
        ok = n == 0 || HttpReadReply(request, reply->data(), n, &got);
      }
    }
  }
  HttpCloseHandle(connection);
  return ok;
}

}  // namespace online

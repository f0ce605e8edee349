#include "lobby.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "framework/core/des.h"
#include "loopback.h"

namespace lobbyd {

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
std::string Field(const uint8_t* p, size_t size) { return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size)); }

// Client codes, and the server's.
enum : uint32_t {
  kHello = 0, kAnnounce = 1, kPlayerRecord = 2, kCreate = 3, kClose = 4, kLoginResult = 5, kPlayers = 7, kList = 8,
  kIdentity = 9, kAddPlayer = 0x0b, kRemovePlayer = 0x0c, kChat = 0x0d, kListRequest = 0x0e, kAdvert = 0x0f,
  kOperator = 0x10, kJoin = 0x1e, kJoinReply = 0x1f, kTourJoin = 0x20, kTourJoinReply = 0x21,
};
constexpr uint32_t kHelloMagic = 0x0130E207;

std::vector<uint8_t> Counted(uint32_t code, const std::string& text) {
  const std::string t = text.substr(0, 255);
  std::vector<uint8_t> b(8 + t.size());
  Put32(b, 0, code);
  Put32(b, 4, static_cast<uint32_t>(t.size()));
  std::memcpy(b.data() + 8, t.data(), t.size());
  return b;
}

}  // namespace

bool ReadAccounts(const std::string& path, std::map<std::string, Account>* out) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string login;
    Account a;
    if (words >> login >> a.password) {
      words >> a.tourCard;
      (*out)[login.substr(0, 15)] = a;
    }
  }
  return true;
}

void Lobby::Connect(int client) { clients_[client] = Client{}; }

size_t Lobby::Sessions() const { return sessions_.size(); }

std::vector<Outgoing> Lobby::ToRoom(const std::string& room, const std::vector<uint8_t>& body, int except) const {
  std::vector<Outgoing> out;
  for (const auto& [id, c] : clients_)
    if (c.hello && c.room == room && id != except) out.push_back({id, body});
  return out;
}

std::vector<uint8_t> Lobby::Advert(const Session& s, uint32_t open) const {
  std::vector<uint8_t> b(12 + kSessionEntrySize);
  Put32(b, 0, kAdvert);
  Put32(b, 8, open);
  std::memcpy(b.data() + 12, s.entry, kSessionEntrySize);
  return b;
}

std::vector<uint8_t> Lobby::SessionList(const std::string& room) const {
  std::vector<const Session*> listed;
  for (const auto& [id, s] : sessions_)
    if (Field(s.entry + 52, 32) == room) listed.push_back(&s);
  std::vector<uint8_t> b(16 + listed.size() * kSessionEntrySize);
  Put32(b, 0, kList);
  Put32(b, 8, 3);  // the whole list, and the last part
  b[14] = static_cast<uint8_t>(listed.size()), b[15] = static_cast<uint8_t>(listed.size() >> 8);
  for (size_t i = 0; i < listed.size(); ++i) std::memcpy(b.data() + 16 + i * kSessionEntrySize, listed[i]->entry, kSessionEntrySize);
  return b;
}

std::vector<uint8_t> Lobby::JoinReply(int code, bool accepted, const std::string& refusal) const {
  std::vector<uint8_t> b(code == static_cast<int>(kTourJoinReply) ? 280 : 16);
  Put32(b, 0, static_cast<uint32_t>(code));
  Put32(b, 4, accepted ? 1 : 0);
  if (!accepted) {
    Put32(b, 12, 1);
    b.resize(16 + refusal.size() + 1, 0);
    std::memcpy(b.data() + 16, refusal.data(), refusal.size());
  }
  return b;
}

// The password arrives encrypted under the key text (the password itself, or the tour card): the account's is
// encrypted the same way and the two compared.
bool Lobby::CheckLogin(const uint8_t* login, const uint8_t* password, const uint8_t* tourCard) const {
  if (accounts_.empty()) return true;
  const auto it = accounts_.find(Field(login, 16));
  if (it == accounts_.end()) return false;
  uint8_t expected[16] = {}, card[64] = {};
  std::strncpy(reinterpret_cast<char*>(expected), it->second.password.c_str(), 15);
  uint8_t key[8] = {};
  if (tourCard) {
    std::strncpy(reinterpret_cast<char*>(card), it->second.tourCard.c_str(), 63);
    std::memcpy(key, card, 8);
    DesEncrypt(key, card, 64);
    if (std::memcmp(card, tourCard, 64) != 0) return false;
  } else {
    std::memcpy(key, expected, 8);
  }
  DesEncrypt(key, expected, 16);
  return std::memcmp(expected, password, 16) == 0;
}

std::vector<Outgoing> Lobby::Disconnect(int client) {
  std::vector<Outgoing> out;
  const auto it = clients_.find(client);
  if (it == clients_.end()) return out;
  if (const auto s = sessions_.find(it->second.session); s != sessions_.end()) {
    out = ToRoom(it->second.room, Advert(s->second, 0), client);
    sessions_.erase(s);
  }
  clients_.erase(it);
  return out;
}

std::vector<Outgoing> Lobby::Receive(int client, const uint8_t* body, uint32_t length) {
  std::vector<Outgoing> out;
  const auto found = clients_.find(client);
  if (found == clients_.end() || length < 4) return out;
  Client& c = found->second;
  const uint32_t code = Le32(body);
  if (!c.hello && code != kHello) return out;
  switch (code) {
    case kHello: {
      if (length < 34 || Le32(body + 4) != kHelloMagic || c.hello) break;
      c.hello = true;
      c.playerId = nextPlayer_++;
      std::memcpy(c.golfer, body + 8, kGolferSize);
      c.golfer[kGolferSize - 1] = 0;
      for (int i = 0; i < 4; ++i) c.golfer[i] = static_cast<uint8_t>(c.playerId >> (8 * i));
      std::vector<uint8_t> login = Counted(0, "Welcome to the teebox lobby.");
      std::vector<uint8_t> result(36);
      Put32(result, 0, kLoginResult);
      Put32(result, 4, 1);
      Put32(result, 32, static_cast<uint32_t>(login.size() - 8));
      result.insert(result.end(), login.begin() + 8, login.end());
      out.push_back({client, result});
      std::vector<uint8_t> identity(80);
      Put32(identity, 0, kIdentity);
      Put32(identity, 8, c.playerId);
      Put32(identity, 12, 1);
      const std::string name = Field(c.golfer + 10, 16);
      std::memcpy(identity.data() + 16, name.data(), std::min<size_t>(name.size(), 31));
      out.push_back({client, identity});
      if (!operatorText_.empty()) out.push_back({client, Counted(kOperator, operatorText_)});
      break;
    }
    case kAnnounce:
    case kPlayerRecord: {
      const uint32_t at = code == kAnnounce ? 34 : 10;
      if (length < at + kRecordSize) break;
      c.room = Field(body + at + 8, 32);
      if (code == kPlayerRecord) {
        out.push_back({client, SessionList(c.room)});
        break;
      }
      // Everyone in the room hears of the newcomer; the newcomer gets the room's players.
      std::vector<uint8_t> announce(82);
      Put32(announce, 0, kListRequest);
      Put32(announce, 8, 1);
      std::memcpy(announce.data() + 16, c.golfer, kGolferSize);
      std::memcpy(announce.data() + 42, body + at, kRecordSize);
      for (Outgoing& o : ToRoom(c.room, announce, client)) out.push_back(std::move(o));
      std::vector<uint8_t> players(52);
      Put32(players, 0, kPlayers);
      Put32(players, 4, 1);
      uint16_t count = 0;
      for (const auto& [id, other] : clients_)
        if (other.hello && other.room == c.room) {
          players.insert(players.end(), other.golfer, other.golfer + kGolferSize);
          ++count;
        }
      players[50] = static_cast<uint8_t>(count), players[51] = static_cast<uint8_t>(count >> 8);
      out.push_back({client, players});
      break;
    }
    case kCreate: {
      if (length < 4 + kSessionEntrySize || c.session) break;
      Session s;
      std::memcpy(s.entry, body + 4, kSessionEntrySize);
      s.host = client;
      const uint32_t id = nextSession_++;
      for (int i = 0; i < 4; ++i) s.entry[i] = static_cast<uint8_t>(id >> (8 * i)), s.entry[4 + i] = 0;
      std::memset(s.entry + 52, 0, 32);
      std::memcpy(s.entry + 52, c.room.data(), std::min<size_t>(c.room.size(), 31));
      s.entry[8 + 31] = 0;  // the game's name ends in its field
      c.session = id;
      sessions_[id] = s;
      out = ToRoom(c.room, Advert(s, 1));
      break;
    }
    case kClose: {
      const auto s = sessions_.find(c.session);
      if (s == sessions_.end()) break;
      out = ToRoom(c.room, Advert(s->second, 0));
      sessions_.erase(s);
      c.session = 0;
      break;
    }
    case kAddPlayer:
    case kRemovePlayer: {
      const auto s = sessions_.find(c.session);
      if (length < 8 + kGolferSize || s == sessions_.end()) break;
      const uint32_t player = Le32(body + 8);
      for (int slot = 0; slot < 4; ++slot) {
        uint8_t* p = s->second.entry + 100 + slot * kGolferSize;
        const bool used = p[4] & 1;
        if (code == kAddPlayer && !used) {
          std::memcpy(p, body + 8, kGolferSize);
          p[4] = 1;
          p[kGolferSize - 1] = 0;
          break;
        }
        if (code == kRemovePlayer && used && Le32(p) == player) {
          p[4] = 0;
          break;
        }
      }
      out = ToRoom(c.room, Advert(s->second, 1));
      break;
    }
    case kChat: {
      if (length < 8) break;
      const uint32_t n = std::min<uint32_t>(Le32(body + 4), length - 8);
      const std::string text = Field(c.golfer + 10, 16) + ": " + std::string(reinterpret_cast<const char*>(body + 8), strnlen(reinterpret_cast<const char*>(body + 8), std::min<uint32_t>(n, 80)));
      out = ToRoom(c.room, Counted(kChat, text));
      break;
    }
    case kListRequest:
      out.push_back({client, SessionList(c.room)});
      break;
    case kJoin:
    case kTourJoin: {
      const bool tour = code == kTourJoin;
      const uint32_t entryAt = tour ? 100 : 36;
      if (length < entryAt + kSessionEntrySize) break;
      const uint32_t session = Le32(body + entryAt);
      const bool known = sessions_.count(session) != 0 || session == 0;
      const bool ok = CheckLogin(body + 4, body + 20, tour ? body + 36 : nullptr);
      out.push_back({client, JoinReply(tour ? kTourJoinReply : kJoinReply, known && ok,
                                       !ok ? "Unknown login name or wrong password." : "That game has closed.")});
      break;
    }
    default: break;
  }
  return out;
}

// ---- the socket side ---------------------------------------------------------------------------------------------

uint16_t LobbyServer::Start(uint16_t port) {
  const uint16_t taken = services::ListenLoopback(port, 256, &listener_, wake_);
  if (taken) thread_ = std::thread([this] { Run(); });
  return taken;
}

void LobbyServer::Stop() { services::StopListening(thread_, &listener_, wake_); }

void LobbyServer::Run() {
  struct Conn {
    std::vector<uint8_t> in;
  };
  std::map<int, Conn> conns;
  auto send = [&](const std::vector<Outgoing>& out) {
    for (const Outgoing& o : out) {
      if (!conns.count(o.client)) continue;
      std::vector<uint8_t> frame(8);
      Put32(frame, 0, static_cast<uint32_t>(o.body.size()));
      frame.insert(frame.end(), o.body.begin(), o.body.end());
      size_t sent = 0;
      while (sent < frame.size()) {
        const ssize_t n = ::send(o.client, frame.data() + sent, frame.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
    }
  };
  for (;;) {
    std::vector<pollfd> fds = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (const auto& [fd, c] : conns) fds.push_back({fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[1].revents) break;
    if (fds[0].revents & POLLIN) {
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0) {
        // Lobby messages are small and answered at once: no waiting to fill a segment.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        conns[fd];
        lobby_->Connect(fd);
      }
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      const int fd = fds[i].fd;
      uint8_t buffer[8192];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      bool drop = n <= 0;
      if (!drop) {
        std::vector<uint8_t>& in = conns[fd].in;
        in.insert(in.end(), buffer, buffer + n);
        while (in.size() >= 8) {
          const uint32_t length = Le32(in.data());
          if (length > kLargestBody) {
            drop = true;
            break;
          }
          if (in.size() < 8 + length) break;
          ++messages_;
          if (Le32(in.data() + 4) == 0) send(lobby_->Receive(fd, in.data() + 8, length));
          in.erase(in.begin(), in.begin() + 8 + length);
        }
      }
      if (drop) {
        const std::vector<Outgoing> out = lobby_->Disconnect(fd);
        conns.erase(fd);
        ::close(fd);
        send(out);
      }
    }
  }
  for (const auto& [fd, c] : conns) ::close(fd);
}

}  // namespace lobbyd

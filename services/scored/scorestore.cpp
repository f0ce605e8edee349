#include "scorestore.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "loopback.h"
#include "platformlib/core/byteorder.h"

namespace scored {
namespace {

constexpr size_t kHeadLimit = 8192, kLineLimit = 1024, kBodyLimit = 65536;
constexpr size_t kCard = 318, kEntry = 92, kLeaderHeader = 474, kGroupHeader = 20;

std::string Text(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), n)); }

struct Standing {
  uint32_t player, total, played;
  std::string name, status;
  uint32_t shots;
};

void PutEntry(std::string& out, uint32_t position, const Standing& s, uint32_t value) {
  uint8_t e[kEntry] = {};
  WriteLE32(e, position);
  WriteLE32(e + 4, s.player);
  WriteLE32(e + 8, value);
  std::memcpy(e + 44, s.name.data(), std::min<size_t>(s.name.size(), 15));
  WriteLE32(e + 64, s.total);
  WriteLE32(e + 68, s.played);
  std::memcpy(e + 72, s.status.data(), std::min<size_t>(s.status.size(), 15));
  WriteLE32(e + 88, s.shots);
  out.append(reinterpret_cast<const char*>(e), kEntry);
}

}  // namespace

int ParseRequest(const std::string& bytes, HttpRequest* out) {
  const size_t end = bytes.find("\r\n\r\n");
  if (end == std::string::npos) return bytes.size() > kHeadLimit ? -1 : 0;
  if (end > kHeadLimit) return -1;
  std::istringstream head(bytes.substr(0, end + 2));
  std::string line;
  long length = 0;
  bool first = true;
  while (std::getline(head, line)) {
    if (line.size() > kLineLimit) return -1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      std::istringstream words(line);
      std::string version;
      if (!(words >> out->method >> out->path >> version) || version.rfind("HTTP/", 0) != 0) return -1;
      first = false;
    } else if (line.rfind("Content-Length:", 0) == 0) {
      const char* v = line.c_str() + 15;
      while (*v == ' ') ++v;
      char* stop = nullptr;
      length = std::strtol(v, &stop, 10);
      if (stop == v || *stop || length < 0 || length > static_cast<long>(kBodyLimit)) return -1;
    }
  }
  if (first) return -1;
  if (bytes.size() < end + 4 + static_cast<size_t>(length)) return 0;
  out->body = bytes.substr(end + 4, static_cast<size_t>(length));
  return 1;
}

std::string Reply(int status, const std::string& body) {
  const char* reason = status == 200 ? "OK" : status == 404 ? "Not Found" : "Bad Request";
  char head[160];
  std::snprintf(head, sizeof head, "HTTP/1.0 %d %s\r\nServer: scored\r\nContent-Length: %zu\r\n\r\n", status, reason,
                body.size());
  return head + body;
}

ScoreStore::ScoreStore(std::string stateFile) : stateFile_(std::move(stateFile)) {}

size_t ScoreStore::Cards() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return players_.size();
}

uint32_t ScoreStore::ShotsOf(uint32_t player) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = players_.find(player);
  return it == players_.end() ? 0 : it->second.shots;
}

std::pair<int, std::string> ScoreStore::Handle(const HttpRequest& r) {
  if (r.method != "POST") return {400, {}};
  const auto* b = reinterpret_cast<const uint8_t*>(r.body.data());
  const size_t n = r.body.size();
  std::lock_guard<std::mutex> lock(mutex_);
  if (r.path == "/isapi/scorlink.dll?UpdateScoreCard") {
    if (n < kCard) return {400, {}};
    Player& p = players_[ReadLE32(b + 142)];
    p.card.assign(b, b + kCard);
    Save();
    return {200, {}};
  }
  if (r.path == "/isapi/scorlink.dll?UpdatePlayerStatus") {
    if (n < 152) return {400, {}};
    players_[ReadLE32(b + 124)].status = Text(b + 128, 16);
    Save();
    return {200, {}};
  }
  if (r.path == "/isapi/shotserv.dll?ReceivePlayerShot") {
    if (n < 1208 || ReadLE32(b + 180) > 1024) return {400, {}};
    ++players_[ReadLE32(b + 32)].shots;
    Save();
    return {200, {}};
  }
  if (r.path == "/isapi/scorlink.dll?GetLeaderBoard2") {
    if (n < 12) return {400, {}};
    return {200, LeaderBoard(ReadLE32(b + 8))};
  }
  if (r.path == "/isapi/scorlink.dll?GetGroupScores") {
    if (n < 16) return {400, {}};
    return {200, Group(ReadLE32(b + 8), ReadLE32(b + 12))};
  }
  // Statistics lines are taken and not kept.
  if (r.path.rfind("VexStats:", 0) == 0 || r.path.rfind("/VexStats:", 0) == 0) return {200, {}};
  return {404, {}};
}

std::string ScoreStore::LeaderBoard(uint32_t value) const {
  std::vector<Standing> rows;
  uint8_t header[kLeaderHeader] = {};
  WriteLE32(header, value);
  for (const auto& [id, p] : players_) {
    if (p.card.size() != kCard || ReadLE32(p.card.data() + 74) != value) continue;
    Standing s{id, 0, 0, Text(p.card.data() + 24, 32), p.status, p.shots};
    for (int h = 0; h < 18; ++h) {
      const uint8_t strokes = p.card[56 + h];
      if (!strokes) continue;
      s.total += strokes;
      ++s.played;
      uint8_t* record = header + 110 + 20 * h;
      WriteLE32(record, h + 1);
      WriteLE32(record + 4, ReadLE32(record + 4) + 1);
      WriteLE32(record + 8, ReadLE32(record + 8) + strokes);
      if (!ReadLE32(record + 12) || strokes < ReadLE32(record + 12)) WriteLE32(record + 12, strokes);
      if (strokes > ReadLE32(record + 16)) WriteLE32(record + 16, strokes);
    }
    rows.push_back(s);
  }
  // Fewest strokes first; more holes played first among equals; then by player.
  std::sort(rows.begin(), rows.end(), [](const Standing& a, const Standing& b) {
    if (a.total != b.total) return a.total < b.total;
    if (a.played != b.played) return a.played > b.played;
    return a.player < b.player;
  });
  if (rows.size() > 80) rows.resize(80);
  WriteLE32(header + 470, static_cast<uint32_t>(rows.size()));
  std::string out(reinterpret_cast<const char*>(header), kLeaderHeader);
  for (size_t i = 0; i < rows.size(); ++i) PutEntry(out, static_cast<uint32_t>(i + 1), rows[i], value);
  return out;
}

std::string ScoreStore::Group(uint32_t value, uint32_t player) const {
  uint8_t header[kGroupHeader] = {};
  WriteLE32(header, value);
  WriteLE32(header + 4, player);
  std::string entries;
  uint32_t count = 0;
  const auto it = players_.find(player);
  if (it != players_.end() && it->second.card.size() == kCard) {
    const uint8_t* card = it->second.card.data();
    const uint32_t players = std::min<uint32_t>(ReadLE32(card + 146), 4);
    for (uint32_t i = 0; i < players; ++i) {
      const uint8_t* e = card + 150 + 42 * i;
      Standing s{0, 0, 0, Text(e, 16), {}, 0};
      for (int h = 0; h < 18; ++h)
        if (e[24 + h]) {
          s.total += e[24 + h];
          ++s.played;
        }
      PutEntry(entries, ++count, s, value);
    }
  }
  WriteLE32(header + 16, count);
  return std::string(reinterpret_cast<const char*>(header), kGroupHeader) + entries;
}

// {u32 player; u32 shots; u8 status length; status; u16 card length; card} per player.
bool ScoreStore::Save() const {
  if (stateFile_.empty()) return true;
  std::string out;
  for (const auto& [id, p] : players_) {
    uint8_t w[8];
    WriteLE32(w, id);
    WriteLE32(w + 4, p.shots);
    out.append(reinterpret_cast<const char*>(w), 8);
    out.push_back(static_cast<char>(std::min<size_t>(p.status.size(), 255)));
    out.append(p.status.substr(0, 255));
    uint8_t l[2];
    WriteLE16(l, static_cast<uint32_t>(p.card.size()));
    out.append(reinterpret_cast<const char*>(l), 2);
    out.append(reinterpret_cast<const char*>(p.card.data()), p.card.size());
  }
  const std::string temporary = stateFile_ + ".tmp";
  {
    std::ofstream f(temporary, std::ios::binary | std::ios::trunc);
    if (!f.write(out.data(), static_cast<std::streamsize>(out.size())) || !f.flush()) return false;
  }
  return std::rename(temporary.c_str(), stateFile_.c_str()) == 0;
}

bool ScoreStore::Load() {
  std::ifstream f(stateFile_, std::ios::binary);
  if (!f) return false;
  const std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto* p = reinterpret_cast<const uint8_t*>(all.data());
  size_t at = 0;
  std::map<uint32_t, Player> loaded;
  while (at < all.size()) {
    if (all.size() - at < 9) return false;
    Player& pl = loaded[ReadLE32(p + at)];
    pl.shots = ReadLE32(p + at + 4);
    const size_t sl = p[at + 8];
    at += 9;
    if (all.size() - at < sl + 2) return false;
    pl.status.assign(all, at, sl);
    at += sl;
    const size_t cl = ReadLE16(p + at);
    at += 2;
    if (all.size() - at < cl || (cl != 0 && cl != kCard)) return false;
    pl.card.assign(p + at, p + at + cl);
    at += cl;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  players_ = std::move(loaded);
  return true;
}

uint16_t ScoreServer::Start(uint16_t port) {
  const uint16_t taken = services::ListenLoopback(port, 128, &listener_, wake_);
  if (taken) thread_ = std::thread([this] { Run(); });
  return taken;
}

void ScoreServer::Stop() { services::StopListening(thread_, &listener_, wake_); }

void ScoreServer::Run() {
  for (;;) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) Serve(fd);
  }
}

void ScoreServer::Serve(int fd) {
  std::string bytes;
  HttpRequest request;
  int state = 0;
  // A client gets five seconds to send its request.
  for (int waits = 0; state == 0 && waits < 50;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) {
      ++waits;
      continue;
    }
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    state = ParseRequest(bytes, &request);
  }
  const auto [status, body] = state == 1 ? store_->Handle(request) : std::make_pair(400, std::string());
  const std::string reply = Reply(status, body);
  size_t sent = 0;
  while (sent < reply.size()) {
    const ssize_t k = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (k <= 0) break;
    sent += static_cast<size_t>(k);
  }
  ::close(fd);
  ++served_;
}

}  // namespace scored

// The score server's insides: HTTP/1.0 requests read from bytes, the five requests of the online tournament
// answered from the posted score cards, statuses and shots, and the state kept in a file (written to a
// temporary file and renamed).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace scored {

struct HttpRequest {
  std::string method, path, body;
};

// A request from the bytes received so far: 1 complete, 0 incomplete, -1 refused (a head over 8 KB or a line
// over 1024 bytes, a missing or unreadable request line, a content length that is negative, unreadable or above
// 64 KB).
int ParseRequest(const std::string& bytes, HttpRequest* out);
// The reply's bytes.
std::string Reply(int status, const std::string& body);

class ScoreStore {
 public:
  explicit ScoreStore(std::string stateFile = {});
  // Status and body of the reply to a request.
  std::pair<int, std::string> Handle(const HttpRequest& r);
  bool Load();
  size_t Cards() const;
  uint32_t ShotsOf(uint32_t player) const;

 private:
  struct Player {
    std::vector<uint8_t> card;  // the last score card posted (318 bytes)
    std::string status;
    uint32_t shots = 0;
  };
  std::string LeaderBoard(uint32_t value) const;
  std::string Group(uint32_t value, uint32_t player) const;
  bool Save() const;

  mutable std::mutex mutex_;
  std::string stateFile_;
  std::map<uint32_t, Player> players_;  // by online player id
};

// Serves a store on 127.0.0.1, one request per connection, until stopped.
class ScoreServer {
 public:
  explicit ScoreServer(ScoreStore* store) : store_(store) {}
  ~ScoreServer() { Stop(); }
  // The port taken (0 asks the system for one); 0 on failure.
  uint16_t Start(uint16_t port);
  void Stop();
  uint64_t served() const { return served_.load(); }

 private:
  void Run();
  void Serve(int fd);
  ScoreStore* store_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<uint64_t> served_{0};
};

}  // namespace scored

// The online lobby server's insides: clients meet in rooms named by their lobby name, hosts advertise the games
// they open, chat is relayed within a room, and joins are checked against the accounts. Frames are {u32 body
// length, u32 frame type 0, body}; a body begins with a u32 code.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lobbyd {

constexpr uint32_t kSessionEntrySize = 204, kRecordSize = 40, kGolferSize = 26;
constexpr uint32_t kLargestBody = 4096;  // every client message fits; a longer one ends the connection

struct Account {
  std::string password, tourCard;
};
// "login password [tour-card]" per line; '#' starts a comment. False when the file cannot be read.
bool ReadAccounts(const std::string& path, std::map<std::string, Account>* out);

// What the lobby answers: per client, the frames to send it.
struct Outgoing {
  int client;
  std::vector<uint8_t> body;
};

// The lobby without sockets: clients by number; each received body gives the bodies to send and to whom.
class Lobby {
 public:
  explicit Lobby(std::map<std::string, Account> accounts = {}, std::string operatorText = {})
      : accounts_(std::move(accounts)), operatorText_(std::move(operatorText)) {}
  void Connect(int client);
  // The client's session closes with it.
  std::vector<Outgoing> Disconnect(int client);
  // A body from a client; bodies that are short, of an unknown code or out of order are ignored.
  std::vector<Outgoing> Receive(int client, const uint8_t* body, uint32_t length);
  size_t Sessions() const;
  size_t Clients() const { return clients_.size(); }

 private:
  struct Client {
    uint32_t playerId = 0;
    bool hello = false;
    uint8_t golfer[kGolferSize] = {};
    std::string room;          // the lobby name of its player record
    uint32_t session = 0;      // the session it hosts (0 none)
  };
  struct Session {
    uint8_t entry[kSessionEntrySize] = {};
    int host = -1;
  };
  std::vector<Outgoing> ToRoom(const std::string& room, const std::vector<uint8_t>& body, int except = -1) const;
  std::vector<uint8_t> SessionList(const std::string& room) const;
  std::vector<uint8_t> Advert(const Session& s, uint32_t open) const;
  std::vector<uint8_t> JoinReply(int code, bool accepted, const std::string& refusal) const;
  bool CheckLogin(const uint8_t* login, const uint8_t* password, const uint8_t* tourCard) const;

  std::map<std::string, Account> accounts_;
  std::string operatorText_;
  std::map<int, Client> clients_;
  std::map<uint32_t, Session> sessions_;
  uint32_t nextPlayer_ = 1000, nextSession_ = 1;
};

// Serves a lobby on 127.0.0.1 until stopped: one thread, poll over the clients.
class LobbyServer {
 public:
  explicit LobbyServer(Lobby* lobby) : lobby_(lobby) {}
  ~LobbyServer() { Stop(); }
  uint16_t Start(uint16_t port);  // the port taken (0 asks the system); 0 on failure
  void Stop();
  uint64_t messages() const { return messages_.load(); }

 private:
  void Run();
  Lobby* lobby_;
  std::mutex mutex_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<uint64_t> messages_{0};
};

}  // namespace lobbyd

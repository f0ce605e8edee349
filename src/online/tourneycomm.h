// The online tournament's score-server client: the score card, the player's status and each shot posted, the
// leader board and the group's scores fetched, and the statistics lines, each one HTTP/1.0 POST to port 80.
#pragma once

#include <cstdint>
#include <string>

#include "net/onlineidentity.h"
#include "online/httpclient.h"

namespace online {

// Who the player is on the online service (set from the lobby server's identity message and the join reply).
using net::Identity;
using net::OnlineIdentity;

// The online service's host (statistics; and the score and shot servers' until they are set), the score server
// ("/TS") and the shot server ("/SS"); a host longer than 128 characters is refused.
bool SetServiceHost(const char* host);
bool SetScoreHost(const char* host);
bool SetShotHost(const char* host);
const char* ScoreHost();
const char* ShotHost();
constexpr const char* kDefaultServiceHost = "golf.service.invalid";

constexpr uint32_t kScoreCardBytes = 318, kLeaderHeaderBytes = 474, kEntryBytes = 92, kLeaderEntries = 80;
constexpr uint32_t kGroupHeaderBytes = 20, kGroupEntries = 4, kStatusBytes = 152, kShotBytes = 1208;
constexpr uint32_t kShotDataLimit = 1024;

class CTourneyComm {
 public:
  CTourneyComm() = default;
  virtual ~CTourneyComm();
  CTourneyComm(const CTourneyComm&) = delete;
  CTourneyComm& operator=(const CTourneyComm&) = delete;

  int Open();
  void BeginScoreCard(const char* name, const uint32_t holes[18], uint32_t value);
  void ClearScoreCardPlayers() { count_ = 0; }
  void AddScoreCardPlayer(const char* name, const uint32_t scores[18], uint32_t value);
  int PostScoreCard();
  int FetchLeaderBoard();
  uint32_t GetLeaderBoardCount() const { return leaderCount_; }
  void GetLeaderBoardEntry(uint32_t n, uint8_t out[48]);
  void GetLeaderBoardHole(uint32_t n, uint8_t out[20]) const;
  int FetchGroupScores();
  uint32_t GetGroupScoreCount() const { return groupCount_; }
  void GetGroupScoreEntry(uint32_t n, uint8_t out[48]);
  int PostPlayerStatus(const char* status, uint32_t value);
  // Shot data longer than 1024 bytes is not sent at all (0).
  int PostPlayerShot(const void* data, uint32_t length, uint32_t first, uint32_t second, const char* text);
  int PostStatsLine(const char* line);

  const uint8_t* scoreCard() const { return card_; }

 private:
  // One POST; the reply body (at most `limit` bytes) in `reply` when `reply` is given. 1 on status 200.
  int Request(const char* host, const char* path, const void* body, uint32_t length, std::string* reply,
              uint32_t limit);
  void Encrypt(uint8_t* data, uint32_t n) const;
  // A fetched header and table of entries, kept when the reply's count fits.
  int Fetch(const char* path, const uint8_t* body, uint32_t length, uint32_t headerBytes, uint32_t countAt,
            uint32_t entries, uint8_t* header, uint8_t* table, uint32_t* count);

  HttpHandle session_ = 0;
  uint32_t count_ = 0;
  uint8_t card_[kScoreCardBytes] = {};
  uint8_t leaderHeader_[kLeaderHeaderBytes] = {};
  uint8_t leaderEntries_[kLeaderEntries][kEntryBytes] = {};
  uint32_t leaderCount_ = 0;
  uint8_t groupHeader_[kGroupHeaderBytes] = {};
  uint8_t groupEntries_[kGroupEntries][kEntryBytes] = {};
  uint32_t groupCount_ = 0;
  uint8_t status_[kStatusBytes] = {};
  uint8_t shot_[kShotBytes] = {};
  char plainName_[32] = {};
};

}  // namespace online

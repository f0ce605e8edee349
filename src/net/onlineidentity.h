// Who the online service says this machine's player is: set when the lobby server accepts the log-in, read by the
// score-server client.
#pragma once

#include <cstdint>

namespace net {

struct OnlineIdentity {
  uint32_t playerId = 0;
  uint32_t value = 0;
  char text1[32] = {};
  char text2[32] = {};
  uint16_t number = 0;
  uint32_t tournament = 0;  // not 0: the marked fields are encrypted
  uint32_t tourValueB = 0;
  char password[9] = {};    // the key text of the encryption
};
OnlineIdentity& Identity();

}  // namespace net

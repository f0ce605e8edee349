// The 26-byte golfer record of the group messages and of the session entries' player slots.
#pragma once

#include <cstdint>
#include <cstring>

#include "platformlib/core/byteorder.h"

namespace net {

constexpr uint32_t kGolferEntrySize = 26;

struct GolferEntry {
  uint32_t playerId = 0;
  uint32_t flags = 0;
  uint16_t golferId = 0;
  char name[16] = {};
};

inline void PutGolfer(uint8_t* p, const GolferEntry& e) {
  WriteLE32(p, e.playerId);
  WriteLE32(p + 4, e.flags);
  p[8] = static_cast<uint8_t>(e.golferId);
  p[9] = static_cast<uint8_t>(e.golferId >> 8);
  std::memcpy(p + 10, e.name, 16);
}

// A name that fills its field is cut to 15 characters.
inline GolferEntry GetGolfer(const uint8_t* p) {
  GolferEntry e;
  e.playerId = ReadLE32(p);
  e.flags = ReadLE32(p + 4);
  e.golferId = static_cast<uint16_t>(p[8] | p[9] << 8);
  std::memcpy(e.name, p + 10, 16);
  e.name[15] = 0;
  return e;
}

inline void SetGolferName(GolferEntry& e, const char* name) {
  std::memset(e.name, 0, sizeof e.name);
  if (name) std::strncpy(e.name, name, sizeof e.name - 1);
}

}  // namespace net

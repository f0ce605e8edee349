// The start of a networked round between the machines of a group, as the clubhouse runs it: the host asks every
// player for its golfer (0x71a, answered by 0x71b), hands each the game (0x704), asks them to start (0x1414,
// answered by 0x1415) and starts the hole on every machine (0x705). Waits are bounded; the user messages come
// from the framework's comm queue.
#pragma once

#include <cstdint>
#include <vector>

namespace net {

// Host: `players` are the group's player ids in play order (the host among them). The game (already made by
// the caller, golfers in play order) goes to every other machine. True when every machine started.
bool HostStartNetGame(const std::vector<uint32_t>& players, uint32_t timeoutMs);
// Joining machine: answers the host's requests until the round starts. True when it did.
bool JoinNetGame(uint32_t timeoutMs);

}  // namespace net

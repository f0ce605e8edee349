// The start of a networked round between the machines of a group, as the clubhouse runs it: the host asks every
// player for its golfer (0x71a, answered by 0x71b), hands each the game (0x704), asks them to start (0x1414,
// answered by 0x1415) and starts the hole on every machine (0x705). Waits are bounded and begin again whenever
// something arrives; the user messages come from the framework's comm queue. A machine that lacks the course
// answers the start request with 0x1416 instead.
#pragma once

#include <cstdint>
#include <vector>

namespace net {

enum class StartOutcome {
  kStarted,
  kNoGame,         // nothing to start with (no comm layer, no game, no players)
  kMiscounted,     // a machine sees another group than the host: the clubhouse stays
  kUnknownPlayer,  // a golfer record came from a machine outside the group
  kNoAnswer,       // a machine did not send its golfer in time
  kNotReady,       // a machine did not report ready in time: every machine was told the start is off
  kNoCourse,       // a machine lacks the game's course: the others were told the start is off
  kLinkLost,       // the link failed (0x701) while the host waited for golfers or for the start
};

// Host: `players` are the group's player ids in play order (the host among them). The game (already made by
// the caller, golfers in play order, the host's own in its slot) goes to every other machine.
StartOutcome HostStartNetGame(const std::vector<uint32_t>& players, uint32_t timeoutMs);

// A set-up message of the comm queue: its code, its sender, (for 0x704, 0x71b and the greeting 0x1412) the comm
// message, owned, and for any other code the word that came with it.
struct SetUpMessage {
  uint32_t code = 0, sender = 0;
  uint8_t* message = nullptr;
  uintptr_t value = 0;  // the word a bare code carries (0x1411: the host's level)
};
bool TakeSetUpMessage(SetUpMessage* out);
void ReleaseSetUpMessage(SetUpMessage* m);

// Joining machine, a step at a time: the golfer of the game's slot 0 sent to the machine that asked for it;
// the host's game (0x704) made current (false, and nothing trusted, when the set-up is damaged: an unknown
// mode, a golfer index outside the group, a game that does not read); the host's start request awaited (false on
// a cancel or after `timeoutMs`), answered with the acknowledgement.
bool AnswerPlayerInfoRequest(uint32_t requester);
bool ApplyGameSetUp(const SetUpMessage& m);
bool AwaitStartRequest(uint32_t host, uint32_t timeoutMs);
// All three in turn: true when the round started.
bool JoinNetGame(uint32_t timeoutMs);

// The greeting that opens a modem game once the call is up. The host passes its level (0x1411) to the caller
// and waits for the caller's golfer file name (0x1412), which becomes the caller's entry: true when it came.
// The caller waits for the host's level and answers with `golferFile`: the level, or -1 when none came.
bool GreetModemCaller(uint32_t level, uint32_t timeoutMs);
int AnswerModemGreeting(const char* golferFile, uint32_t timeoutMs);

}  // namespace net

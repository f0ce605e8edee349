#include "golf/peermsg.h"

#include <cstdio>
#include <cstring>

#include "golf/game.h"
#include "golf/golfmsg.h"
#include "windows.h"

namespace {

// Who may send a message.
enum class From {
  kMember,   // a machine with a golfer still in the game
  kTurn,     // the machine whose golfer has the turn
  kNamed,    // the machine that plays the golfer the message names
  kChooser,  // the machine of the first golfer still in the game (it picks the shoot-off spot)
};

struct Row {
  uint32_t id;
  From from;
};

// Every golf message another machine may send; any other id from a peer is refused. A step from the turn machine
// may arrive before this machine has reached it (its own messages run behind), so steps are not tied to the
// handler's status; the host's hole start is taken only before the game's first hole.
constexpr Row kTable[] = {
    {kGolfLeave, From::kNamed},  // a lost connection or a hole that failed to load there: its own golfer
    {kGolfChat, From::kMember},
    {kGolfHoleStart, From::kMember},  // the host's start of the round, before the first hole only
    {kGolfLoadHole, From::kTurn},
    {kGolfShotSetUp, From::kTurn},
    {kGolfBeforeShot, From::kTurn},
    {kGolfShotBegins, From::kTurn},
    {kGolfRemoteSettings, From::kTurn},
    {kGolfRemoteReplay, From::kTurn},
    {kGolfEndGame, From::kMember},  // the machine quit the round
    {kGolfAck, From::kMember},
    {kGolfPosition, From::kTurn},
    {kGolfBallStopped, From::kTurn},
    {kGolfRemoteSetUp, From::kTurn},
    {kGolfRemoteBall, From::kTurn},
    {kGolfRemoteRest, From::kTurn},
    {kGolfRemoteResult, From::kTurn},
    {kGolfClockViolation, From::kNamed},
    {kGolfAfterStatus, From::kTurn},
    {kGolfContinue, From::kTurn},
    {kGolfShootoffStart, From::kChooser},
    {kGolfShootoffSpot, From::kChooser},
    {kGolfSeed, From::kMember},
    {kGolfDropped, From::kNamed},
    {kGolfPollAnswer, From::kMember},
    {kGolfConceded, From::kTurn},
};

const Row* rowOf(uint32_t id) {
  for (const Row& row : kTable)
    if (row.id == id) return &row;
  return nullptr;
}

bool inGame(const TPlayer* p) { return p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferGone); }

const TPlayer* playerOf(const TGame& g, intptr_t slot) {
  if (!g.players || slot < 0 || slot >= TPlayerList::kSlots) return nullptr;
  return g.players->GetPlayer(static_cast<int>(slot));
}

bool playsOn(const TGame& g, intptr_t slot, uint32_t machine) {
  const TPlayer* p = playerOf(g, slot);
  return inGame(p) && p->machineId == machine;
}

// The first golfer still in the game played on `machine`, or -1.
intptr_t slotOf(const TGame& g, uint32_t machine) {
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (playsOn(g, s, machine)) return s;
  return -1;
}

intptr_t chooserSlot(const TGame& g) {
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (inGame(playerOf(g, s))) return s;
  return -1;
}

// The golfer a message names, or -1 when it names none.
intptr_t namedSlot(const TGame& g, uint32_t id, const void* block, uint32_t sender) {
  const size_t bytes = GolfBlockSize(block);
  switch (id) {
    case kGolfPosition:
      return bytes >= sizeof(PositionBlock) ? static_cast<intptr_t>(static_cast<const PositionBlock*>(block)->golfer) : -1;
    case kGolfRemoteSettings:
      return bytes >= sizeof(ShotSetUpBlock) ? static_cast<intptr_t>(static_cast<const ShotSetUpBlock*>(block)->golfer)
                                             : -1;
    case kGolfLeave: return slotOf(g, sender);
    case kGolfClockViolation:
    case kGolfDropped: {
      intptr_t value = -1;
      if (bytes >= sizeof value) std::memcpy(&value, block, sizeof value);
      // A violation without a golfer is the sender's own.
      return id == kGolfClockViolation && value == kPeerArgumentRefused ? slotOf(g, sender) : value;
    }
    default: return -1;
  }
}

bool sentByRightMachine(const TGame& g, const Row& row, intptr_t named, uint32_t sender) {
  switch (row.from) {
    case From::kMember: return slotOf(g, sender) >= 0;
    case From::kNamed: return playsOn(g, named, sender);
    case From::kChooser: return playsOn(g, chooserSlot(g), sender);
    case From::kTurn:
      // A record that names a golfer must name the one with the turn.
      return playsOn(g, g.state.currentPlayer, sender) && (named < 0 || named == g.state.currentPlayer);
  }
  return false;
}

void noteRefusal(uint32_t id, uint32_t sender) {
  char line[80];
  std::snprintf(line, sizeof line, "Golf message %#x from machine %u refused\n", id, sender);
  OutputDebugStringA(line);
}

}  // namespace

PeerAdmission AdmitPeerMessage(TGame& game, uint32_t id, intptr_t* argument) {
  void* block = reinterpret_cast<void*>(*argument);
  const uint32_t sender = GolfBlockSender(block);
  if (sender == 0) return PeerAdmission::kLocal;
  const Row* row = rowOf(id);
  const intptr_t named = row ? namedSlot(game, id, block, sender) : -1;
  bool taken = row && game.networked && sentByRightMachine(game, *row, named, sender);
  if (taken && id == kGolfHoleStart) taken = game.holesStarted == 0;
  if (!taken) {
    noteRefusal(id, sender);
    GolfBlockFree(block);
    return PeerAdmission::kRefused;
  }
  if (id == kGolfAck) {
    static_cast<AckBlock*>(block)->golfer = static_cast<uint32_t>(slotOf(game, sender));
  } else if (!GolfIdCarriesBlock(id)) {
    // The plain value the handler reads: the golfer a message names, a seed, else the sender.
    intptr_t value = named;
    if (id == kGolfConceded) value = slotOf(game, sender);
    else if (id == kGolfSeed) std::memcpy(&value, block, sizeof value);
    else if (named < 0) value = sender;
    *argument = value;
    GolfBlockFree(block);
    return PeerAdmission::kPeer;
  }
  // Admitted once: a handler that passes the message on does not ask again.
  GolfBlockSetSender(block, 0);
  return PeerAdmission::kPeer;
}

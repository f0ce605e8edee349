// Golf messages from other machines: which the round takes, in which state, and from which machine.
#pragma once
#include <cstdint>

class TGame;

enum class PeerAdmission { kLocal, kPeer, kRefused };

// Decides, on the round's thread, whether golf message `id` is taken now. A message of this machine passes as it
// is. Another machine's (its argument made by GolfArgumentFromPeer) is taken only where the table lists its id,
// in the handler state the table names, and only from the machine that may send it: the machine whose golfer has
// the turn for the steps of a turn and the shot's records, the machine that plays the golfer it names, any
// machine with a golfer still in the game for the rest. A taken message's argument becomes what the handler reads
// (its record, or its plain value); a refused one's is freed and the refusal goes to the debug output.
PeerAdmission AdmitPeerMessage(TGame& game, uint32_t id, intptr_t* argument);

// The entry into network play: a connection type becomes one comm object and its session manager.
#pragma once

#include <cstdint>

#include "net/commbase.h"

namespace net {

// 0 online server, 1 TCP/IP LAN, 2 IPX LAN, 3 modem host, 4 modem caller.
int CreateCommLayer(int type);
void DestroyCommLayer();
void CloseCommLayer();
int GetCommType();
// The oldest notification of the comm object: 1, or 0 when there is none (or no comm layer).
int GetNextCommMessage(uint32_t* code, uintptr_t* value, uint32_t* length);
// Whether a notification's value is a buffer that now belongs to its taker (free with CommMessageFree). The
// session states, the list-complete and login notices and the peer object's ready and link notices carry a number;
// the network error's text is the comm layer's own. The server operator's text is the taker's.
bool CommMessageOwnsValue(uint32_t code);

// The comm object, and the copy the round and the dispatcher use.
extern CCommBase* CommObject;
extern CCommBase* RoundComm;

const char* CommTypeName(int type);

}  // namespace net

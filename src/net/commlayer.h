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

// The comm object, and the copy the round and the dispatcher use.
extern CCommBase* CommObject;
extern CCommBase* RoundComm;

const char* CommTypeName(int type);

}  // namespace net

// The hidden window whose thread receives every socket event and host look-up of the comm layer and hands it
// to the socket object registered for it; Winsock start-up; the text of a Winsock error; the keep-alive ping.
#pragma once

#include <cstdint>

#include "winsock.h"

namespace net {

class CSock;

constexpr UINT kSocketEventMessage = WM_USER + 1;   // wParam the socket
constexpr UINT kLookupDoneMessage = WM_USER + 2;    // wParam the task handle
constexpr int kSocketTableSize = 96;

// 1 when the window runs (at once when it already did); 0 when Winsock or the window could not start.
int StartSocketWindow();
int StopSocketWindow();
bool SocketWindowRunning();

// Registers `owner` for the events of `mask` on its socket (re-using the socket's entry). 0 when the table is
// full: then nothing is asked of Winsock. The owner is held for each notification while it runs.
int RegisterSocket(winsock::SOCKET s, long mask, CSock* owner);
void UnregisterSocket(winsock::SOCKET s);
int RegisteredSocketCount();
// Starts a host look-up whose end calls the owner's resolved notification. 0 when it could not start.
int LookupHostAsync(const char* name, char* buffer, int length, CSock* owner);

// "A Windows networking error occurred: " and the error's name, or "Unknown Winsock error". A static text.
const char* WinsockErrorText(int code);

// The keep-alive ping of an online game (settings under the registry section Network).
void StartPing(uint32_t target);
void SetPingTarget(uint32_t target);
void StopPing();
bool PingRunning();
uint32_t PingTarget();
uint32_t PingInterval();
uint32_t PingCount();

}  // namespace net

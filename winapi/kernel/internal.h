// Shared plumbing of the stand-in's parts: reset registration, thread ids and failure helpers.
#pragma once

#include <cstdint>

#include "windows.h"

namespace winapi::internal {

// Runs `handler` from winapi::testing::Reset(). Parts register their own state resets on first use.
void OnReset(void (*handler)());

// The small, stable id of the calling thread (never 0); assigned on first use.
DWORD CurrentThreadId();
// Gives the calling thread an id chosen in advance (CreateThread hands the id out before the thread runs).
void AdoptThreadId(DWORD id);
DWORD NewThreadId();

// True when the named call has an injected failure pending; sets the last error to it.
bool FailNow(const char* function);

}  // namespace winapi::internal

// The multimedia part of the stand-in platform: the timer services (wave and MCI arrive with the sound code).
#pragma once

#include "windows.h"

using MMRESULT = UINT;
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_NOMEM 7
#define MMSYSERR_INVALPARAM 11
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97
#define TIMERR_STRUCT 129

struct TIMECAPS {
  UINT wPeriodMin;
  UINT wPeriodMax;
};
using LPTIMECAPS = TIMECAPS*;

using LPTIMECALLBACK = void (*)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                DWORD_PTR reserved2);
#define TIME_ONESHOT 0x0000
#define TIME_PERIODIC 0x0001
#define TIME_CALLBACK_FUNCTION 0x0000

DWORD timeGetTime();
MMRESULT timeGetDevCaps(LPTIMECAPS caps, UINT size);
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
// Returns the timer's id, or 0 when it cannot be set (no callback, a delay outside 1..1000000 ms). Callbacks run
// on the stand-in's timer thread, never the caller's; they read the same clock as timeGetTime.
MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
// TIMERR_NOCANDO for an unknown or spent id. A callback of the timer that is running now completes before
// this returns, unless the call comes from a timer callback itself.
MMRESULT timeKillEvent(UINT timerId);

#include "winapi_mci.h"

#if __has_include("winapi_wave.h")
#include "winapi_wave.h"
#endif

// The telephony part of the stand-in platform: the line functions a modem game needs (API version 1.4), over
// the stand-in's telephone line (winapi/tapi/modemline.h). Line devices come from WINAPI_MODEM_LINES; a line
// opened with owner privileges answers under WINAPI_MODEM_NUMBER. Call progress reaches the application's
// callback on a thread of the line application, never the caller's.
#pragma once

#include "windows.h"

using HLINEAPP = DWORD;
using HLINE = DWORD;
using HCALL = DWORD;

using LINECALLBACK = void (*)(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2,
                              DWORD_PTR param3);

// Results: 0, a positive request id (the outcome comes as LINE_REPLY), or an error below.
#define LINEERR_BADDEVICEID 0x80000002
#define LINEERR_CALLUNAVAIL 0x80000007
#define LINEERR_INCOMPATIBLEAPIVERSION 0x8000000C
#define LINEERR_INVALAPPHANDLE 0x80000015
#define LINEERR_INVALCALLHANDLE 0x80000018
#define LINEERR_INVALCALLSTATE 0x8000001C
#define LINEERR_INVALLINEHANDLE 0x8000002B
#define LINEERR_INVALPARAM 0x80000032
#define LINEERR_INVALPOINTER 0x80000035
#define LINEERR_NODEVICE 0x80000042
#define LINEERR_NODRIVER 0x80000043
#define LINEERR_OPERATIONFAILED 0x80000048
#define LINEERR_RESOURCEUNAVAIL 0x8000004B
#define LINEERR_STRUCTURETOOSMALL 0x8000004D
#define LINEERR_INVALMEDIAMODE 0x8000002F

// Callback messages.
#define LINE_CALLSTATE 2
#define LINE_LINEDEVSTATE 8
#define LINE_REPLY 12

// LINE_CALLSTATE: param1 the state, param2 its detail (the disconnect mode), param3 the privilege on a new call.
#define LINECALLSTATE_IDLE 0x00000001
#define LINECALLSTATE_OFFERING 0x00000002
#define LINECALLSTATE_DIALING 0x00000010
#define LINECALLSTATE_BUSY 0x00000040
#define LINECALLSTATE_CONNECTED 0x00000100
#define LINECALLSTATE_DISCONNECTED 0x00004000

#define LINEDISCONNECTMODE_NORMAL 0x00000001
#define LINEDISCONNECTMODE_PICKUP 0x00000008
#define LINEDISCONNECTMODE_BUSY 0x00000020
#define LINEDISCONNECTMODE_NOANSWER 0x00000040
#define LINEDISCONNECTMODE_NODIALTONE 0x00001000

#define LINEMEDIAMODE_DATAMODEM 0x00000010
#define LINEBEARERMODE_VOICE 0x00000001
#define LINECALLPRIVILEGE_NONE 0x00000001
#define LINECALLPRIVILEGE_OWNER 0x00000004
#define LINECALLSELECT_LINE 0x00000001
#define LINECALLSELECT_CALL 0x00000004
#define LINEDEVSTATE_ALL 0x01FFFFFF

// Variable-size answers: the caller sets dwTotalSize; the needed size is told when the buffer is too small.
struct VARSTRING {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwStringFormat;
  DWORD dwStringSize;
  DWORD dwStringOffset;
};
#define STRINGFORMAT_BINARY 0x00000004

struct LINEDEVCAPS {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwLineNameSize;
  DWORD dwLineNameOffset;
  DWORD dwMediaModes;
  DWORD dwBearerModes;
  DWORD dwMaxRate;
};

struct LINEDEVSTATUS {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwNumActiveCalls;
};

struct LINECALLPARAMS {
  DWORD dwTotalSize;
  DWORD dwBearerMode;
  DWORD dwMinRate;
  DWORD dwMaxRate;
  DWORD dwMediaMode;
  DWORD dwCallParamFlags;
  DWORD dwAddressMode;
  DWORD dwAddressID;
  DWORD dwNoAnswerTimeout;
  DWORD dwWaitForDialtone;  // ms
};

struct LINEEXTENSIONID {
  DWORD dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
};

LONG lineInitialize(HLINEAPP* app, HINSTANCE instance, LINECALLBACK callback, LPCSTR appName, DWORD* deviceCount);
LONG lineShutdown(HLINEAPP app);
LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD lowVersion, DWORD highVersion, DWORD* version,
                             LINEEXTENSIONID* extension);
LONG lineGetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD extVersion, LINEDEVCAPS* caps);
LONG lineOpen(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD extVersion, DWORD_PTR instance,
              DWORD privileges, DWORD mediaModes, const LINECALLPARAMS* params);
LONG lineClose(HLINE line);
LONG lineSetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates);
LONG lineGetLineDevStatus(HLINE line, LINEDEVSTATUS* status);
// The call's progress follows as LINE_CALLSTATE messages; a call that cannot be made at all ends with a
// LINE_REPLY carrying an error.
LONG lineMakeCall(HLINE line, HCALL* call, LPCSTR number, DWORD countryCode, const LINECALLPARAMS* params);
LONG lineAnswer(HCALL call, LPCSTR userInfo, DWORD size);
LONG lineDrop(HCALL call, LPCSTR userInfo, DWORD size);
LONG lineDeallocateCall(HCALL call);
// "comm/datamodem" of a connected call: a HANDLE to its serial port (the caller closes it) followed by the
// device's name; of a line, the name alone.
LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, VARSTRING* id, LPCSTR deviceClass);
// The modem's settings block of "comm/datamodem" (our own: a MODEMSETTINGS record).
LONG lineGetDevConfig(DWORD device, VARSTRING* config, LPCSTR deviceClass);
LONG lineSetDevConfig(DWORD device, const void* config, DWORD size, LPCSTR deviceClass);

// The modem's options in a device configuration.
struct MODEMSETTINGS {
  DWORD dwActualSize;
  DWORD dwRequiredSize;
  DWORD dwPreferredModemOptions;
};
#define MDM_COMPRESSION 0x00000001
#define MDM_ERROR_CONTROL 0x00000002
#define MDM_FORCED_EC 0x00000004

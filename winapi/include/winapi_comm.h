// The serial port functions over a modem call's port (the HANDLE that lineGetID gives for "comm/datamodem").
// ReadFile takes what is waiting without blocking; WriteFile is paced at the call's baud rate.
#pragma once

#include "windows.h"

struct DCB {
  DWORD DCBlength;
  DWORD BaudRate;
  BYTE ByteSize;
  BYTE Parity;
  BYTE StopBits;
};

struct COMMTIMEOUTS {
  DWORD ReadIntervalTimeout;
  DWORD ReadTotalTimeoutMultiplier;
  DWORD ReadTotalTimeoutConstant;
  DWORD WriteTotalTimeoutMultiplier;
  DWORD WriteTotalTimeoutConstant;
};

struct COMMPROP {
  WORD wPacketLength;
  WORD wPacketVersion;
  DWORD dwServiceMask;
  DWORD dwMaxTxQueue;
  DWORD dwMaxRxQueue;
  DWORD dwMaxBaud;
  DWORD dwProvSubType;
  DWORD dwProvCapabilities;
  DWORD dwCurrentTxQueue;
  DWORD dwCurrentRxQueue;
};
#define PCF_RLSD 0x0004  // carrier detect
#define PST_MODEM 0x00000006

struct COMSTAT {
  DWORD cbInQue;
  DWORD cbOutQue;
};

#define EV_RXCHAR 0x0001
#define EV_RLSD 0x0020
#define PURGE_TXABORT 0x0001
#define PURGE_RXABORT 0x0002
#define PURGE_TXCLEAR 0x0004
#define PURGE_RXCLEAR 0x0008
#define MS_RLSD_ON 0x0080
#define CE_FRAME 0x0008
#ifndef ERROR_OPERATION_ABORTED
#define ERROR_OPERATION_ABORTED 995L  // a wait ended by a change of the mask
#endif

BOOL GetCommState(HANDLE port, DCB* state);
BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
BOOL SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts);
BOOL GetCommProperties(HANDLE port, COMMPROP* properties);
BOOL PurgeComm(HANDLE port, DWORD flags);
// A mask of 0 wakes a WaitCommEvent in progress (it returns FALSE).
BOOL SetCommMask(HANDLE port, DWORD mask);
// Blocks until a character arrives or the carrier changes (as the mask asks), or the mask is changed.
BOOL WaitCommEvent(HANDLE port, DWORD* event, LPOVERLAPPED overlapped);
BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status);
BOOL GetCommModemStatus(HANDLE port, DWORD* status);

// The multimedia command strings of the stand-in platform: the "cdaudio" device (and "waveaudio", winapi_wave.h). Its audio tracks are the files
// TRACKnn.WAV (16-bit or 8-bit PCM) in the root of the emulated CD-ROM drive; a track number without a file is a
// data track, which play passes over. Tracks play through the host's audio mix; positions are in tmsf
// ("track:minutes:seconds:frames", 75 frames a second).
#pragma once

#include "windows.h"

using MCIERROR = DWORD;
#define MCIERR_INVALID_DEVICE_NAME 263
#define MCIERR_UNRECOGNIZED_COMMAND 261
#define MCIERR_DEVICE_NOT_READY 276
#define MCIERR_OUTOFRANGE 282
#define MCIERR_DEVICE_NOT_OPEN 275
#define MCIERR_DEVICE_OPEN 265

// 0, or an error; the answer (at most `returnLength` - 1 characters and a zero) goes to `returnString`.
MCIERROR mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND callback);

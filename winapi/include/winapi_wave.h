// Wave input and output of the stand-in platform, and the "waveaudio" device of the multimedia command strings.
// The microphone is WINAPI_WAVE_IN: a WAV file that is "spoken" into it from the moment recording starts (then
// silence), "silence", or "none" (no input device); a test may give it samples instead. Recording follows the
// stand-in's clock: each buffer fills at the opened format's byte rate. Output devices open and close (voice
// playback goes through the sound system); WINAPI_WAVE_OUT=none leaves the machine without one.
#pragma once

#include "windows.h"

using MMRESULT = UINT;

struct WaveInDevice;
struct WaveOutDevice;
using HWAVEIN = WaveInDevice*;
using HWAVEOUT = WaveOutDevice*;
using LPHWAVEIN = HWAVEIN*;
using LPHWAVEOUT = HWAVEOUT*;

#define WAVE_MAPPER (static_cast<UINT>(-1))
#define WAVE_FORMAT_PCM 1
#define CALLBACK_NULL 0x00000000

#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34

#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_INQUEUE 0x00000010

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

struct WAVEHDR {
  LPSTR lpData;
  DWORD dwBufferLength;
  volatile DWORD dwBytesRecorded;  // advanced by the device's thread while the buffer records
  DWORD_PTR dwUser;
  volatile DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

UINT waveInGetNumDevs();
UINT waveOutGetNumDevs();
// Only PCM, mono or stereo, 8 or 16 bits, 8000..48000 Hz, without a callback (CALLBACK_NULL).
MMRESULT waveInOpen(LPHWAVEIN device, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags);
MMRESULT waveInPrepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT waveInUnprepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT waveInAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT waveInStart(HWAVEIN device);
MMRESULT waveInStop(HWAVEIN device);
// Ends the buffers queued (done, with what they recorded) and sets the position back.
MMRESULT waveInReset(HWAVEIN device);
// WAVERR_STILLPLAYING while buffers are queued.
MMRESULT waveInClose(HWAVEIN device);
MMRESULT waveOutOpen(LPHWAVEOUT device, UINT id, LPCWAVEFORMATEX format, DWORD_PTR callback, DWORD_PTR instance,
                     DWORD flags);
MMRESULT waveOutClose(HWAVEOUT device);

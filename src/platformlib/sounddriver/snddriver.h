// The sound library's start-up and shut-down, and its binding of the outside driver module by its 16 entry
// points: the start and stop requests run on the main window's thread, the audio thread serves the module
// under the audio lock, and the module calls back through 8 callbacks.
#pragma once

#include <cstdint>

constexpr int SNDMODULEVERSION = 0x00100001;

int SNDinit(int mode, int unused);
int SNDrestore();
int SNDcaps(int unused);
int SNDobtainhardware();
int SNDreleasehardware();

int iSNDverifymode(int mode);
int iSNDinit(int mode);
int iSNDrestore();
int iSNDplatformreinit(int mode);
int iSNDloaddll();
int iSNDunloaddll();
void audiofocushandler(int active);
// Recording through the module: 16-bit samples only; a polled packet gives its bytes or -1.
int iSNDplatformrecordstart(int length, int second, int third, int representation);
int iSNDplatformrecordpacket(void* buffer);
int iSNDplatformrecordstop();

// The callbacks handed to the module.
void iSNDdllmix(void* buffer, int frames);
void iSNDdllfreechan(int channel);
void iSNDdllserve();
void iSNDdllposition(int azimuth, int elevation, float* out);
int iSNDconvertsample(const void* source, int sourcerep, int sourcechannels, int first, int last, int count,
                      void* destination, int destinationrep, int destinationchannels);

// The module's file name; tests point it at a recording module.
extern const char* sndmodulename;
// How long the caller waits for a start or stop request on the window thread (milliseconds of real time).
extern int sndrequesttimeout;
int sndmodeinforce();
int sndoutputrate();

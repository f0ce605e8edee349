// Voices: the 16-entry voice table, handles, channel allocation and stealing, groups of voices started by one
// play request, the audio server's per-voice update (fades, envelopes, tremolo, vibrato), the public voice
// controls, and the platform layer that turns a voice's volume, pan and pitch into mixer settings.
#pragma once

#include <cstdint>

#include "platformlib/sound/sndbank.h"
#include "windows.h"

// Play options, filled by the caller; `SNDplaysetdef` writes the defaults.
struct SNDPLAYOPTS {
  int32_t patch;
  int8_t bank;
  uint8_t key, velocity, pan, volume, bend, fxlevel0, is3d;
  uint16_t azimuth;
  int16_t elevation;
};

int SNDplaysetdef(SNDPLAYOPTS* options);
int SNDplay(SNDPLAYOPTS* options);
int SNDstop(int handle);
int SNDdone(int handle);
int SNDvol(int handle, int volume);
int SNDpitchbend(int handle, int bend);
int SNDpan(int handle, int pan);
int SNDautovol(int handle, int ticks, int target);
int SNDtimeremaining(int handle);
int SNDgetvol(int handle);

// ---- the library's side ------------------------------------------------------------------------------------
// The audio lock, made by the start-up; the server counts.
extern CRITICAL_SECTION* sndaudiolock;
extern uint32_t sndserverticks;
extern int sndinserver;
extern int sndmastervolume;
extern int sndvoicecount;
extern int sndreverblevel;
// Set by the stream layer with its first stream: destroys every sound stream at shut-down.
extern void (*sndstreamshutdownhook)();
void iSNDenteraudio(const char* function);
void iSNDleaveaudio();
void iSNDreleaseaudiofully();

// The audio server: one tick of fades, envelopes, tremolo and vibrato over the voices.
void iSNDaudioserver();
// The mixer's channel-free callback.
void iSNDfreechan(int channel);
int iSNDallocchan(int mask, int count, int priority);
int iSNDresolvehandle(int handle);
int iSNDplaytaggedpatch(const PatchRecord& patch, const SNDPLAYOPTS* options);
double iSNDcentstoratio(int cents);
uint32_t iSNDcalcrate(int samplerate, int outputrate, int cents);
void iSNDpanvolumes(int pan, int volume, int* left, int* right);
// The sound random generator's next value.
uint32_t iSNDrandom();
// Stops the voices playing a bank's patch (index -1: any patch of the bank); the bank layer calls it.
void iSNDstopbankvoices(int bank, int index);
// Every playing voice's step again, after the output rate changed.
void iSNDredetunevoices();
// Voices back to free, the handle serial and the group counter to their start (start-up and tests).
void iSNDresetvoices();

// The module's hardware 3D voices, set by the driver binding; all empty without a module.
struct SndHardware {
  int (*play3d)(uint32_t buffer, int channel, int looped, int rate, int volume, int azimuth, int elevation);
  int (*vol)(int channel, int volume);
  int (*rate)(int channel, int rate);
  int (*stopbuf)(int channel);
};
extern SndHardware sndhardware;

// Starts a packet-player voice from a 12-byte zone record and a sample header; the handle goes to *voiceslot
// before the mixer channel starts (its codec looks the player up by it).
int iSNDstartpacketvoice(const uint8_t zone[12], const SampleValues& sample, const SNDPLAYOPTS* o,
                         int32_t* voiceslot);

// What a test or the start-up can read of a voice.
struct VoiceView {
  int32_t handle;
  int state, priority, pan, finalvolume, group, leader, playtype, bank, patch;
  int basepitch, finalpitch;
  int32_t volume, envelopelevel;
  int method;  // 0 plain, 1 surround, 2 software 3D, 3 hardware 3D
};
VoiceView sndvoiceview(int channel);

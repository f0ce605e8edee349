// The sound library's software mixer: the arithmetic kernels (mixing functions, output converters, clear),
// the resamplers, the sample sources (PCM, compression 7 and 9), the reverb and the block loop around them.
//
// Two paths: the "MMX" path keeps the accumulator as 16-bit words at half scale and adds with signed
// saturation (plain C++ here, bit for bit what the packed instructions computed); the plain path keeps 32-bit
// floats at full 16-bit scale and clamps only when a block is converted. `cpuhasmmx` picks one when the mixer
// starts.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MIXBLOCKFRAMES = 256;
constexpr int MIXCHANNELS = 16;
constexpr uint32_t MIXMAXSTEP = 0x80000;  // 8 source frames per output frame

// Sample format flags of a voice.
enum : int { SNDFMT_M8 = 1, SNDFMT_S8 = 2, SNDFMT_M16 = 4, SNDFMT_S16 = 8 };

// ---- mixing objects ---------------------------------------------------------------------------------------
struct MixObject;
using MixKernel = void (*)(MixObject* object, int frames, const void* source, void* destination);
using MixVolumeSetter = void (*)(MixObject* object, int left, int right);
using MixInstall = void (*)(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);

struct MixObject {
  int16_t gains[2];  // MMX: left and right, each volume x 256
  float gainleft, gainright;
  MixKernel* kernelslot;
  MixVolumeSetter* setterslot;
};

// ---- resampling objects ------------------------------------------------------------------------------------
struct ResampleObject;
using ResampleSetRate = int (*)(ResampleObject* object, uint32_t step);
using ResampleNeeded = int (*)(ResampleObject* object, int outputs);
// `source` must have 16 bytes of room in front of it for the frames carried from the last call; the outputs go
// to *output, except at step 1.0, where *output becomes `source` itself.
using ResampleRun = int (*)(ResampleObject* object, int outputs, void* source, void** output);
using ResampleInstall = int (*)(ResampleObject* object, ResampleSetRate* setrateslot, ResampleNeeded* neededslot,
                                ResampleRun* resampleslot);

struct ResampleObject {
  uint32_t position;  // base frame within the working source of the next call
  uint32_t fraction;  // 0..65535
  uint32_t step;      // 16.16
  uint8_t carried[16];  // P (and Q before it) in the source's width; nearest members: the held frame
  int8_t heldp, heldq;  // nearest members: heldp is the hold flag
  int8_t skip;          // above 1.0: where the current call starts in [P, new frames]
  int8_t nextskip;
  ResampleSetRate* setrateslot;
  ResampleNeeded* neededslot;
  ResampleRun* resampleslot;
};

// ---- sample sources -----------------------------------------------------------------------------------------
using CodecRead = int (*)(void* state, int frames, void* destination);
using CodecPosition = int (*)(const void* state);
// (voice, state, data, length in frames, loop start, loop end, read slot, position slot) -> bytes of state.
// `databytes` bounds what the codec may read from `data`.
using CodecInit = int (*)(int voice, void* state, const uint8_t* data, size_t databytes, int32_t length,
                          int32_t loopstart, int32_t loopend, CodecRead* readslot, CodecPosition* positionslot);
constexpr size_t CODECSTATEBYTES = 6144;

// The packet player's side of the packet codec: the player slot playing on a mixer channel (-1: none), the next
// queued packet after those handed out, and giving back the oldest `count` packets handed out.
int findpacketslot(int voice);
const uint8_t* sndpacketnext(int slot, int32_t* bytes);
void sndpacketconsumed(int slot, int count);

// ---- the function table ---------------------------------------------------------------------------------------
using MixOutput = void (*)(int frames, void* accumulator, void* device);
using MixClear = void (*)(void* buffer, int words);

struct MixFuncTable {
  MixInstall mixing[4];          // by format: 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo
  ResampleInstall resample[8];   // [format * 2 + (quality > 25)]
  MixOutput output[4];           // device 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo
  MixClear clear;
  void (*done)();
  int frameshift;                // 0: 4-byte accumulator frames, 1: 8-byte
  int mmx;
};
extern MixFuncTable mixfunctable;
extern CodecInit codectable[28];

// Fills `mixfunctable` and `codectable` for one path; `iSNDmixinit` does it from `cpuhasmmx`.
void mixfilltables(int mmx);
void mixfillcodecs(int mmx);

// The sound library's aborts: releases the audio lock completely (through `sndreleaselockhook`), names the
// function and aborts with the text; when the abort returns, gives `code` back for the caller to return.
int sndfail(int code, const char* function, const char* format, ...) __attribute__((format(printf, 3, 4)));
extern void (*sndreleaselockhook)();
// Index of a sample format flag (1, 2, 4, 8) in the tables' rows; -1 for any other.
int mixformatindex(int format);

// ---- kernels ----------------------------------------------------------------------------------------------------
// 1: the 16-bit MMX-path kernels run their scalar loops instead of the packed SSE2 ones (tests compare them).
extern int mixscalaronly;
void mixm8install(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);
void mixs8install(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);
void mixm16install(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);
void mixs16install(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);
void mixmfinstall(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);
void mixsfinstall(MixObject* object, MixKernel* kernelslot, MixVolumeSetter* setterslot);

void mixoutm8mmx(int frames, void* accumulator, void* device);
void mixouts8mmx(int frames, void* accumulator, void* device);
void mixoutm16mmx(int frames, void* accumulator, void* device);
void mixouts16mmx(int frames, void* accumulator, void* device);
void mixoutm8float(int frames, void* accumulator, void* device);
void mixouts8float(int frames, void* accumulator, void* device);
void mixoutm16float(int frames, void* accumulator, void* device);
void mixouts16float(int frames, void* accumulator, void* device);
void mixclearmmx(void* buffer, int words);
void mixclearfloat(void* buffer, int words);

// Volume pair for an angle (65536 to a turn) and a volume; each side capped at 127.
void pantovolumes(uint16_t angle, int volume, int* left, int* right);
// Big-endian integer of 0..4 bytes; 1 to 3 bytes sign-extend from the first byte's top bit.
int32_t readbeint(const uint8_t* bytes, int count);

// ---- resamplers ---------------------------------------------------------------------------------------------------
int resm8install(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int ress8install(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int resm16install(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int ress16install(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int resmflininstall(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int ressflininstall(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int resmfnearinstall(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);
int ressfnearinstall(ResampleObject*, ResampleSetRate*, ResampleNeeded*, ResampleRun*);

// ---- compression 7 -------------------------------------------------------------------------------------------------
// Step table: the code as a signed 4-bit value x 4096, shifted right by the row.
extern const int32_t adpcmtables[13][16];
struct Adpcm7Channel {
  int32_t p1, p2;  // integer path
  float f1, f2;    // plain path
};
// One block (28 frames). Mono blocks are 15 bytes, stereo 30; stereo output is interleaved. A filter above 3 or
// a shift above 12 decodes that channel's block as silence and forgets its history.
void adpcm7blockint(const uint8_t* block, int channels, Adpcm7Channel* state, int16_t* out);
void adpcm7blockfloat(const uint8_t* block, int channels, Adpcm7Channel* state, float* out);
constexpr int ADPCM7FRAMES = 28;
inline size_t adpcm7bytes(int32_t frames, int channels) {
  return static_cast<size_t>((frames + ADPCM7FRAMES - 1) / ADPCM7FRAMES) * (channels == 2 ? 30u : 15u);
}

// ---- compression 9 -------------------------------------------------------------------------------------------------
constexpr int C9FRAME = 432;
struct C9Decoder;
// Bytes of a decoder state (it lives in a voice's codec area).
size_t c9statesize();
// Starts on coded data that opens with its header; reads never go past `bytes`.
void c9start(C9Decoder* decoder, const uint8_t* data, size_t bytes);
// Goes on with the next coded bytes (no header): the bit reader starts afresh on them, the decoder's filters,
// means and excitation history carry on.
void c9continue(C9Decoder* decoder, const uint8_t* data, size_t bytes);
// Decodes the next frame of 432 samples; 0 once the coded bytes are used up (the frame is then silence).
int c9decodeframe(C9Decoder* decoder, float* out);
// The integer path's conversion (the low 16 bits of value + 1.5 x 2^23).
int16_t c9toint(float value);
// The decoder's arithmetic that an encoder must follow: a spectral field's value, and the twelve filter
// coefficients of a parameter set.
float c9spectral(int field, uint32_t index);
void c9coefficients(const float* params, float* a);
constexpr int C9ORDER = 12;
constexpr int C9SUBFRAME = 108;

// ---- reverb -----------------------------------------------------------------------------------------------------
int iSNDfxinitreverb(int rate);
void reverbprocess(int frames, float* buffer);
void reverbsendmono(int frames, const float* send, float* mono);
int reverblinelength(int line);  // lengths set by the last `iSNDfxinitreverb`
extern int reverbinited;
// For tests: the four stage gains and the two filters' input coefficients; clearing the filters' states.
void reverbsetgains(float g1, float g2, float g3, float g4, float b1, float b2);
void reverbresetfilters();

// ---- the mixer frame ---------------------------------------------------------------------------------------------
using MixFreeCallback = void (*)(int channel);
using MixBufferCallback = int (*)(void* state, int32_t* length);
extern MixBufferCallback sndbuffercallback;  // play type 2's source; nothing sets it

int iSNDmixinit(int mode, MixFreeCallback freecallback);
int iSNDmixreconfig(int mode);
void iSNDdllmix(void* buffer, int frames);
void iSNDmixframe(uint8_t* output, int frames);
int iSNDmixstart(int channel, int format, int compression, int playtype, const void* data, size_t databytes,
                 int32_t length, int32_t loopstart, int32_t loopend, int left, int right, uint32_t step,
                 int quality, int fxlevel);
int iSNDmixstop(int channel);
int iSNDmixsetvolume(int channel, int left, int right);
int iSNDmixsetstep(int channel, uint32_t step);
int iSNDmixsetfxlevel(int channel, int level);
int iSNDmixposition(int channel);
int iSNDmixactive(int channel);
int mixoutputrate();
int mixblockbytes();
int reverbidleblocks();

// The software mixer's frame: the function tables, the 16 mixer channels, the block loop with its volume ramps,
// the reverb send and the conversion to the device format.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platformlib/core/cpu.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndmix.h"

MixFuncTable mixfunctable;
void (*sndreleaselockhook)() = nullptr;

int sndfail(int code, const char* function, const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (sndreleaselockhook) sndreleaselockhook();
  abortfile = "smixer";
  abortfunction = function;
  abortline = 0;
  abortmessage("%s", text);
  return code;
}

namespace {

void mixdonenothing() {}

struct MixChannel {
  int8_t active;
  int8_t left, right;  // current volumes
  uint8_t fxlevel;
  int8_t targetleft, targetright;
  int8_t rampleft, rampright;
  uint8_t sendlevel;
  CodecRead read;
  CodecPosition position;
  ResampleSetRate setrate;
  ResampleNeeded needed;
  ResampleRun resample;
  MixKernel drykernel, sendkernel;
  MixVolumeSetter dryset, sendset;
  ResampleObject resampler;
  MixObject dry, send;
  int32_t length;
  uint32_t step;
  alignas(16) uint8_t codecstate[CODECSTATEBYTES];
};

MixChannel channels[MIXCHANNELS];
alignas(16) uint8_t mixaccum[MIXBLOCKFRAMES * 8];
alignas(16) uint8_t reverbsend[MIXBLOCKFRAMES * 8];
// Codec frames start 16 bytes in, so the resampler can put the carried frames in front of them.
constexpr int kDecodeFrames = MIXBLOCKFRAMES * 8 + 16;
alignas(16) uint8_t decodebuffer[16 + kDecodeFrames * 8];
alignas(16) uint8_t resampled[MIXBLOCKFRAMES * 8];
float reverbmono[MIXBLOCKFRAMES];

MixOutput outputconverter = nullptr;
int outputrate = 0;
int blockbytes = 0;
int reverbidle = 500;
MixFreeCallback freecallback = nullptr;

inline uint8_t* frameat(uint8_t* block, int frame) { return block + (frame << (2 + mixfunctable.frameshift)); }

// One run of a channel: `frames` outputs mixed in at frame `at`. Returns the codec's result.
int mixrun(MixChannel& ch, int at, int frames, bool* sent) {
  const int needed = ch.needed(&ch.resampler, frames);
  uint8_t* source = decodebuffer + 16;
  const int r = ch.read(ch.codecstate, needed, source);
  if (r < 1) return r;
  void* out = resampled;
  ch.resample(&ch.resampler, frames, source, &out);
  ch.drykernel(&ch.dry, frames, out, frameat(mixaccum, at));
  if (ch.sendlevel) {
    ch.sendkernel(&ch.send, frames, out, frameat(reverbsend, at));
    *sent = true;
  }
  return r;
}

// Moves the volumes one step a frame toward their targets; returns the frames mixed that way.
int ramp(MixChannel& ch, int frames, bool* sent) {
  int k = 0;
  while (k < frames && (ch.left != ch.targetleft || ch.right != ch.targetright)) {
    if (ch.left != ch.targetleft) ch.left = static_cast<int8_t>(ch.left + ch.rampleft);
    if (ch.right != ch.targetright) ch.right = static_cast<int8_t>(ch.right + ch.rampright);
    ch.dryset(&ch.dry, ch.left, ch.right);
    if (mixrun(ch, k, 1, sent) < 1) break;
    ++k;
  }
  return k;
}

void renewsend(MixChannel& ch) {
  ch.sendlevel = ch.fxlevel == 0 ? 0 : static_cast<uint8_t>((ch.fxlevel * ((ch.left + ch.right) >> 1)) >> 7);
  ch.sendset(&ch.send, ch.sendlevel, ch.sendlevel);
}

int setformat(int mode) {
  int index;
  if (mode & 0x08)
    index = 3, blockbytes = 1024;
  else if (mode & 0x02)
    index = 1, blockbytes = 512;
  else if (mode & 0x04)
    index = 2, blockbytes = 512;
  else if (mode & 0x01)
    index = 0, blockbytes = 256;
  else
    return -8;
  int rate;
  if (mode & 0x2000)
    rate = 44100;
  else if (mode & 0x1000)
    rate = 32000;
  else if (mode & 0x800)
    rate = 22050;
  else if (mode & 0x400)
    rate = 16000;
  else if (mode & 0x200)
    rate = 11025;
  else if (mode & 0x100)
    rate = 8000;
  else
    return -8;
  outputconverter = mixfunctable.output[index];
  outputrate = rate;
  return 0;
}

bool validchannel(int channel) { return channel >= 0 && channel < MIXCHANNELS; }

void runreverb(int frames) {
  if (mixfunctable.mmx) {
    const int16_t* send = reinterpret_cast<const int16_t*>(reverbsend);
    for (int k = 0; k < frames; ++k) reverbmono[k] = static_cast<float>(send[2 * k] + send[2 * k + 1]);
    reverbprocess(frames, reverbmono);
    int16_t* acc = reinterpret_cast<int16_t*>(mixaccum);
    for (int k = 0; k < frames; ++k) {
      const float y = std::clamp(reverbmono[k], -32768.0f, 32767.0f);
      const int32_t v = static_cast<int32_t>(std::nearbyint(y));
      acc[2 * k] = static_cast<int16_t>(std::clamp(acc[2 * k] + v, -32768, 32767));
      acc[2 * k + 1] = static_cast<int16_t>(std::clamp(acc[2 * k + 1] + v, -32768, 32767));
    }
  } else {
    reverbsendmono(frames, reinterpret_cast<const float*>(reverbsend), reverbmono);
    reverbprocess(frames, reverbmono);
    MixObject full{};
    MixKernel kernel = nullptr;
    MixVolumeSetter setter = nullptr;
    mixmfinstall(&full, &kernel, &setter);
    setter(&full, 127, 127);
    kernel(&full, frames, reverbmono, mixaccum);
  }
  mixfunctable.clear(reverbsend, 2 * frames);
}

}  // namespace

int mixformatindex(int format) {
  switch (format) {
    case SNDFMT_M8: return 0;
    case SNDFMT_S8: return 1;
    case SNDFMT_M16: return 2;
    case SNDFMT_S16: return 3;
    default: return -1;
  }
}

void mixfilltables(int mmx) {
  MixFuncTable& t = mixfunctable;
  if (mmx) {
    t.mixing[0] = mixm8install, t.mixing[1] = mixs8install;
    t.mixing[2] = mixm16install, t.mixing[3] = mixs16install;
    t.resample[0] = t.resample[1] = resm8install;
    t.resample[2] = t.resample[3] = ress8install;
    t.resample[4] = t.resample[5] = resm16install;
    t.resample[6] = t.resample[7] = ress16install;
    t.output[0] = mixoutm8mmx, t.output[1] = mixouts8mmx, t.output[2] = mixoutm16mmx, t.output[3] = mixouts16mmx;
    t.clear = mixclearmmx;
    t.done = mixdonenothing;  // no packed state to leave in C++
    t.frameshift = 0;
    t.mmx = mmx;
  } else {
    t.mixing[0] = t.mixing[2] = mixmfinstall;
    t.mixing[1] = t.mixing[3] = mixsfinstall;
    t.resample[0] = t.resample[4] = resmfnearinstall;
    t.resample[1] = t.resample[5] = resmflininstall;
    t.resample[2] = t.resample[6] = ressfnearinstall;
    t.resample[3] = t.resample[7] = ressflininstall;
    t.output[0] = mixoutm8float, t.output[1] = mixouts8float;
    t.output[2] = mixoutm16float, t.output[3] = mixouts16float;
    t.clear = mixclearfloat;
    t.done = mixdonenothing;
    t.frameshift = 1;
    t.mmx = 0;
  }
  mixfillcodecs(mmx);
}

int iSNDmixinit(int mode, MixFreeCallback callback) {
  mixfilltables(cpuhasmmx);
  if (setformat(mode) < 0) return -8;
  for (MixChannel& ch : channels) ch.active = 0;
  std::memset(mixaccum, 0, sizeof mixaccum);
  std::memset(reverbsend, 0, sizeof reverbsend);
  reverbidle = 500;
  freecallback = callback;
  return 0;
}

int iSNDmixreconfig(int mode) {
  const MixOutput oldconverter = outputconverter;
  const int oldrate = outputrate, oldblock = blockbytes;
  if (setformat(mode) < 0) {
    outputconverter = oldconverter;
    outputrate = oldrate;
    blockbytes = oldblock;
    return -8;
  }
  return 0;
}

int mixoutputrate() { return outputrate; }
int mixblockbytes() { return blockbytes; }
int reverbidleblocks() { return reverbidle; }

void iSNDmixframe(uint8_t* output, int frames) {
  bool sent = false;
  for (int c = 0; c < MIXCHANNELS; ++c) {
    MixChannel& ch = channels[c];
    if (!ch.active) continue;
    const int k = ramp(ch, frames, &sent);
    if (k == frames) continue;
    const int r = mixrun(ch, k, frames - k, &sent);
    if (r < 0) iSNDmixstop(c);
  }
  if (sent)
    reverbidle = 0;
  else if (reverbidle < 500)
    ++reverbidle;
  if (reverbidle < 500 && reverbinited) runreverb(frames);
  mixfunctable.done();
  outputconverter(frames, mixaccum, output);
  mixfunctable.clear(mixaccum, 2 * frames);
}

void iSNDdllmix(void* buffer, int frames) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (frames > 0) {
    const int n = std::min(frames, MIXBLOCKFRAMES);
    iSNDmixframe(out, n);
    out += blockbytes;
    frames -= n;
  }
}

int iSNDmixstart(int channel, int format, int compression, int playtype, const void* data, size_t databytes,
                 int32_t length, int32_t loopstart, int32_t loopend, int left, int right, uint32_t step,
                 int quality, int fxlevel) {
  if (!validchannel(channel)) return -8;
  MixChannel& ch = channels[channel];
  ch.active = 0;
  const int fmt = mixformatindex(format);
  if (fmt < 0) return sndfail(-15, "iSNDmixstart", "iSNDmixstart - UNSUPPORTED SAMPLE FORMAT.\n");
  int base = fmt * 4;
  if (compression == 7) {
    if (format != SNDFMT_M16 && format != SNDFMT_S16)
      return sndfail(-7, "iSNDmixstart", "iSNDmixstart - MALFORMED SAMPLE.\n");
    base = format == SNDFMT_M16 ? 16 : 20;
  } else if (compression == 9) {
    if (format != SNDFMT_M16) return sndfail(-7, "iSNDmixstart", "iSNDmixstart - MALFORMED SAMPLE.\n");
    base = 24;
  } else if (compression != 0) {
    return sndfail(-15, "iSNDmixstart", "iSNDmixstart - UNSUPPORTED COMPRESSION TYPE.\n");
  }
  int offset;
  if (playtype == 1)
    offset = loopend > 0 ? 1 : 0;
  else if (playtype == 2)
    offset = 2;
  else if (playtype == 0)
    offset = 3;
  else
    return sndfail(-14, "iSNDmixstart", "iSNDmixstart - UNSUPPORTED PLAY TYPE.\n");
  // A buffer-callback voice with nothing to call back is refused quietly: patches from files can ask for one.
  if (playtype == 2 && !sndbuffercallback) return -14;
  const CodecInit init = codectable[base + offset];
  if (!init) return sndfail(-14, "iSNDmixstart", "iSNDmixstart - CODEC NOT INITED.\n");
  const MixInstall install = mixfunctable.mixing[fmt];
  if (!install) return sndfail(-14, "iSNDmixstart", "iSNDmixstart - MIXING FUNCTION NOT INITED.\n");
  const ResampleInstall resinstall = mixfunctable.resample[fmt * 2 + (quality > 25 ? 1 : 0)];
  if (!resinstall) return sndfail(-14, "iSNDmixstart", "iSNDmixstart - RESAMPLING FUNCTION NOT INITED.\n");

  init(channel, ch.codecstate, static_cast<const uint8_t*>(data), databytes, length, loopstart, loopend, &ch.read,
       &ch.position);
  install(&ch.dry, &ch.drykernel, &ch.dryset);
  install(&ch.send, &ch.sendkernel, &ch.sendset);
  resinstall(&ch.resampler, &ch.setrate, &ch.needed, &ch.resample);
  ch.step = std::clamp<uint32_t>(step, 1, MIXMAXSTEP);
  ch.setrate(&ch.resampler, ch.step);
  ch.length = length;
  ch.left = ch.targetleft = static_cast<int8_t>(std::clamp(left, -127, 127));
  ch.right = ch.targetright = static_cast<int8_t>(std::clamp(right, -127, 127));
  ch.rampleft = ch.rampright = 0;
  ch.fxlevel = static_cast<uint8_t>(std::clamp(fxlevel, 0, 127));
  renewsend(ch);
  ch.dryset(&ch.dry, ch.left, ch.right);
  ch.active = 1;
  return 0;
}

int iSNDmixsetvolume(int channel, int left, int right) {
  if (!validchannel(channel) || !channels[channel].active) return -1;
  MixChannel& ch = channels[channel];
  ch.targetleft = static_cast<int8_t>(std::clamp(left, -127, 127));
  ch.targetright = static_cast<int8_t>(std::clamp(right, -127, 127));
  ch.rampleft = ch.left < ch.targetleft ? 1 : -1;
  ch.rampright = ch.right < ch.targetright ? 1 : -1;
  renewsend(ch);
  return 0;
}

int iSNDmixstop(int channel) {
  if (!validchannel(channel) || !channels[channel].active) return -1;
  MixChannel& ch = channels[channel];
  iSNDmixsetvolume(channel, 0, 0);
  // The fade to silence sounds at the start of the next block.
  bool sent = false;
  ramp(ch, MIXBLOCKFRAMES, &sent);
  if (sent) reverbidle = 0;
  mixfunctable.done();
  ch.active = 0;
  if (freecallback) freecallback(channel);
  return 0;
}

int iSNDmixsetstep(int channel, uint32_t step) {
  if (!validchannel(channel) || !channels[channel].active) return -1;
  MixChannel& ch = channels[channel];
  ch.step = std::clamp<uint32_t>(step, 1, MIXMAXSTEP);
  ch.setrate(&ch.resampler, ch.step);
  return 0;
}

int iSNDmixsetfxlevel(int channel, int level) {
  if (!validchannel(channel) || !channels[channel].active) return -1;
  MixChannel& ch = channels[channel];
  ch.fxlevel = static_cast<uint8_t>(std::clamp(level, 0, 127));
  renewsend(ch);
  return 0;
}

int iSNDmixposition(int channel) {
  if (!validchannel(channel) || !channels[channel].active || !channels[channel].position) return -1;
  return channels[channel].position(channels[channel].codecstate);
}

int iSNDmixactive(int channel) { return validchannel(channel) && channels[channel].active; }

// Voices and voice controls, and the platform layer between a voice and its mixer channel.
#include "platformlib/sound/sndvoice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndmix.h"
#include "platformlib/core/timer.h"

CRITICAL_SECTION* sndaudiolock = nullptr;
uint32_t sndserverticks = 0;
int sndinserver = 0;
int sndmastervolume = 127;
int sndvoicecount = 0;
int sndreverblevel = 0;
SndHardware sndhardware{};
void (*sndstreamshutdownhook)() = nullptr;

namespace {

int8_t lockdepth = 0;

enum : uint8_t { kFree = 0, kPlaying = 1, kWaiting = 2 };
enum : uint8_t { kPlain = 0, kSurround = 1, kSoft3D = 2, kHard3D = 3 };

struct Voice {
  int32_t handle;
  uint16_t patchindex;
  uint8_t bank;
  uint8_t timbreclass;
  uint8_t state;
  uint8_t playtype;
  uint8_t priority;
  uint8_t pan;
  int16_t basepitch, finalpitch;
  uint32_t timestamp;
  int32_t fadestep, fadetarget, volume;
  int32_t envstep, envlevel, envticks;
  int8_t timbrevolume;
  uint8_t finalvolume;
  uint8_t timbrepan;
  uint8_t bend;
  uint8_t envpoints, envindex;
  uint8_t tag8;
  uint8_t panspread;
  uint8_t effectsend, effectlevel;
  uint8_t leader, group;
  uint8_t tremololength, vibratolength, tremoloindex, vibratoindex;
  int16_t vibratodepth;
  uint16_t bendrange;
  uint8_t firstchannel;
  uint8_t requestpan;
  uint16_t members;  // the first channel's other channels
  const uint8_t* envelope;
  const uint8_t* volumecurve;
  const uint8_t* pancurve;
  const uint8_t* bendcurve;
  const uint8_t* tremolo;
  const uint8_t* vibrato;
};

struct PlatformChannel {
  uint16_t rate;
  uint8_t bits, channels, representation, method, panned;
  int8_t left, right;
  uint16_t azimuth;
  uint32_t length;
};

Voice voices[MIXCHANNELS];
PlatformChannel platform[MIXCHANNELS];
int32_t handleserial = 0;
uint8_t lastgroup = 0;

// The built-in envelope: forever at full level.
const uint8_t kBuiltinEnvelope[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 127};

uint32_t randomstate[6] = {0xF22D0E56, 0x883126E9, 0xC624DD2F, 0x0702C49C, 0x9E353F7D, 0x6FDF3B64};

inline int32_t be32(const uint8_t* p) { return static_cast<int32_t>(readbeint(p, 4)); }
inline int clampint(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

int32_t spread(int32_t amount) {
  const int64_t a = clampint(amount, 0, 65536);
  return static_cast<int32_t>(((static_cast<int64_t>(iSNDrandom() & 0x7FFF) - 16384) * a) / 16384);
}

// The pan the request asks for, spread and placed around the zone's own pan.
int voicepan(const Voice& v, int pan) {
  int p = v.panspread == 1 ? pan : v.panspread * (pan - 64) + 64;
  p = clampint(p + v.timbrepan - 64, 0, 127);
  if (v.pancurve) p = clampint(static_cast<int8_t>(v.pancurve[p]), 0, 127);
  return p;
}

void calcvoicevol(int channel) {
  Voice& v = voices[channel];
  // volume x timbre volume x envelope level x master / 127^3, the 16.16 values taken whole.
  int64_t n = static_cast<int64_t>(v.volume) * v.timbrevolume;
  n = n * v.envlevel / 65536;
  n = n * sndmastervolume / 65536;
  const int64_t level = n / 2048383;
  int vol = clampint(static_cast<int>(level), 0, 127);
  if (v.tremolo) vol = clampint(static_cast<int8_t>(v.tremolo[v.tremoloindex]) * vol / 127, 0, 127);
  if (v.volumecurve) vol = clampint(v.volumecurve[vol], 0, 127);
  v.finalvolume = static_cast<uint8_t>(vol);
}

void calcvoicepitch(int channel) {
  Voice& v = voices[channel];
  int p = v.basepitch;
  if (v.bendrange) {
    const int b = (v.bendcurve ? v.bendcurve[v.bend & 127] : v.bend) - 64;
    p += (b * v.bendrange) >> 6;
  }
  if (v.vibrato) p += ((v.vibrato[v.vibratoindex] - 64) * v.vibratodepth) / 64;
  v.finalpitch = static_cast<int16_t>(clampint(p, -8191, 8191));
}

// ---- the platform layer ------------------------------------------------------------------------------------------

void surroundlaw(int channel, int azimuth, int volume) {
  PlatformChannel& c = platform[channel];
  int L, R;
  pantovolumes(static_cast<uint16_t>(azimuth), volume, &L, &R);
  const int l = c.left, r = c.right;
  int previous;
  if (l >= 0 && r >= 0)
    previous = r <= l ? 1 : 2;
  else if (l < 0 && r < 0)
    previous = r <= l ? 2 : 1;
  else
    previous = std::abs(l) > std::abs(r) ? 4 : 3;
  const bool behind = azimuth >= 0x4000 && azimuth < 0xC000;
  const int next = behind ? (L < R ? 3 : 4) : (L < R ? 2 : 1);
  if (l < 0) L = -L;
  if (r < 0) R = -R;
  if (behind && (previous == 1 || previous == 2)) {
    if (next == 3 && previous == 2)
      L = -L;
    else
      R = -R;
  } else if (!behind && (previous == 3 || previous == 4)) {
    if (next == 2 && previous == 3)
      L = -L;
    else
      R = -R;
  }
  c.left = static_cast<int8_t>(L);
  c.right = static_cast<int8_t>(R);
}

// Left and right volumes of a software channel for a volume and a pan.
void softwarevolumes(int channel, int volume, int pan) {
  PlatformChannel& c = platform[channel];
  int l, r;
  if (c.method == kSurround) {
    surroundlaw(channel, c.panned ? (pan - 64) * 256 : c.azimuth, volume);
    return;
  }
  if (c.panned) {
    iSNDpanvolumes(pan, volume, &l, &r);
  } else {
    pantovolumes(c.azimuth, volume, &l, &r);
  }
  c.left = static_cast<int8_t>(l);
  c.right = static_cast<int8_t>(r);
}

void platformvol(int channel) {
  if (platform[channel].method == kHard3D) {
    if (sndhardware.vol) sndhardware.vol(channel, voices[channel].finalvolume);
    return;
  }
  softwarevolumes(channel, voices[channel].finalvolume, voices[channel].pan);
  iSNDmixsetvolume(channel, platform[channel].left, platform[channel].right);
}

void platformdetune(int channel) {
  if (platform[channel].method == kHard3D) {
    if (sndhardware.rate)
      sndhardware.rate(channel, static_cast<int>(std::lround(platform[channel].rate *
                                                              iSNDcentstoratio(voices[channel].finalpitch))));
    return;
  }
  iSNDmixsetstep(channel, iSNDcalcrate(platform[channel].rate, mixoutputrate(), voices[channel].finalpitch));
}

int platformplay(const PatchRecord& record, uint8_t* sampleblock, int playtype, int channel, int pan, int volume,
                 int pitch, int effectsend, uint16_t azimuth, int16_t elevation, bool panned) {
  SampleValues s;
  if (!readsampletags(sampleblock, record.patch + record.bytes, &s) || !s.dataslot)
    return sndfail(-7, "iSNDplatformplay", "iSNDplatformplay - UNSUPPORTED SAMPLE FORMAT.\n");
  PlatformChannel& c = platform[channel];
  c = PlatformChannel{static_cast<uint16_t>(clampint(s.rate, 1, 65535)), static_cast<uint8_t>(s.bits),
                      static_cast<uint8_t>(s.channels), static_cast<uint8_t>(s.representation),
                      static_cast<uint8_t>(s.method), static_cast<uint8_t>(panned ? 1 : 0), 0, 0, azimuth,
                      static_cast<uint32_t>(std::max(s.length, 0))};
  if ((s.bits != 8 && s.bits != 16) || (s.channels != 1 && s.channels != 2))
    return sndfail(-7, "iSNDplatformplay", "iSNDplatformplay - UNSUPPORTED SAMPLE FORMAT.\n");
  if (c.method == kHard3D) {
    const uint32_t buffer = s.hwslot ? static_cast<uint32_t>(readbeint(s.hwslot, 4)) : 0;
    const uint16_t az = panned ? static_cast<uint16_t>((pan - 64) * 256) : azimuth;
    const int r = buffer && sndhardware.play3d
                      ? sndhardware.play3d(buffer, channel, s.loopend > 0 ? 1 : 0,
                                           static_cast<int>(std::lround(c.rate * iSNDcentstoratio(pitch))), volume, az,
                                           panned ? 0 : elevation)
                      : -1;
    if (r >= 0) return 0;
    c.method = kPlain;  // the module could not: play it in software
  }
  if (c.method == kSurround && s.channels != 1)
    return sndfail(-7, "iSNDplatformplay", "iSNDplatformplay - DOLBY PRO-LOGIC SOUNDS MUST BE MONO.\n");
  if (c.method > kSoft3D)
    return sndfail(-7, "iSNDplatformplay", "iSNDplatformplay - UNSUPPORTED 3D PLAYBACK METHOD.\n");
  softwarevolumes(channel, volume, pan);
  const int format = s.bits == 8 ? (s.channels == 1 ? SNDFMT_M8 : SNDFMT_S8) : (s.channels == 1 ? SNDFMT_M16 : SNDFMT_S16);
  size_t bytes = 0;
  const uint8_t* data = sndsampledata(record, s, &bytes);
  int32_t length = s.length, loopstart = s.loopstart < -1 ? -1 : s.loopstart, loopend = s.loopend < -1 ? -1 : s.loopend;
  if (playtype == 2) length = 0, loopstart = loopend = -1;
  return iSNDmixstart(channel, format, s.compression, playtype, data, bytes, length, loopstart, loopend, c.left,
                      c.right, iSNDcalcrate(c.rate, mixoutputrate(), pitch), s.quality, effectsend);
}

void stopchannel(int channel) {
  if (platform[channel].method == kHard3D) {
    if (sndhardware.stopbuf) sndhardware.stopbuf(channel);
    if (voices[channel].state != kFree) iSNDfreechan(channel);
    return;
  }
  if (iSNDmixstop(channel) < 0 && voices[channel].state != kFree) iSNDfreechan(channel);
}

// Every playing voice of the handle's group, or the handle's own voice.
template <typename Act>
void eachofgroup(int channel, Act act) {
  const uint8_t group = voices[channel].group;
  if (group == 0) {
    act(channel);
    return;
  }
  for (int c = 0; c < MIXCHANNELS; ++c)
    if (voices[c].group == group && voices[c].state != kFree && voices[c].handle >= 0) act(c);
}

int stopvoice(int channel) {
  eachofgroup(channel, [](int c) { stopchannel(c); });
  return 0;
}

int timeremaining(int channel) {
  const PlatformChannel& c = platform[channel];
  if (c.method != kPlain && c.method != kSurround)
    return sndfail(-7, "iSNDtimeremaining", "iSNDtimeremaining - CAN'T REPORT TIME ON THIS TYPE OF BUFFER.\n");
  if (c.length == 0) return -7;
  const int position = iSNDmixposition(channel);
  if (position < 0) return position;
  const int64_t left = static_cast<int64_t>(c.length) - position;
  if (left < 0) return static_cast<int>(std::max<int64_t>(left, INT32_MIN));
  const int64_t t = 100 * left / c.rate;
  const int p = voices[channel].finalpitch;
  return static_cast<int>(p >= 0 ? 1200 * t / (1200 + p) : t * (1200 - p) / 1200);
}

// Checks `initialised` and the handle under the lock; -1 for "not initialised" so callers map their code.
template <typename Act>
int control(const char* function, int handle, int notinitialised, Act act) {
  if (!sndinitialised) return notinitialised;
  iSNDenteraudio(function);
  const int channel = iSNDresolvehandle(handle);
  const int r = channel < 0 ? -8 : act(channel);
  iSNDleaveaudio();
  return r;
}

}  // namespace

// ---- the lock -------------------------------------------------------------------------------------------------------

void iSNDenteraudio(const char* function) {
  if (!sndinserver && surfacelockedhook && surfacelockedhook())
    sndfail(0, function,
            "%s - DO NOT MAKE CALLS TO THE AUDIO LIBRARY WHILE DIRECTDRAW SURFACES ARE LOCKED.\n", function);
  if (sndaudiolock) entercritical(sndaudiolock);
  ++lockdepth;
}

void iSNDleaveaudio() {
  --lockdepth;
  if (sndaudiolock) leavecritical(sndaudiolock);
}

void iSNDreleaseaudiofully() {
  while (lockdepth > 0) iSNDleaveaudio();
}

// ---- random numbers, pitch and rate ------------------------------------------------------------------------------

uint32_t iSNDrandom() {
  uint32_t* s = randomstate;
  uint64_t sum = uint64_t{s[4]} + s[5];
  s[4] = static_cast<uint32_t>(sum);
  sum = uint64_t{s[3]} + s[4] + (sum >> 32);
  s[3] = static_cast<uint32_t>(sum);
  sum = uint64_t{s[2]} + s[3] + (sum >> 32);
  s[2] = static_cast<uint32_t>(sum);
  sum = uint64_t{s[1]} + s[2] + (sum >> 32);
  s[1] = static_cast<uint32_t>(sum);
  sum = uint64_t{s[0]} + s[1] + (sum >> 32);
  uint32_t t = static_cast<uint32_t>(sum);
  // s5 + 1, the carry rippling up through s4 .. s1 and into t.
  uint64_t carry = 1;
  for (int i = 5; i >= 1 && carry; --i) {
    const uint64_t v = uint64_t{s[i]} + carry;
    s[i] = static_cast<uint32_t>(v);
    carry = v >> 32;
  }
  t += static_cast<uint32_t>(carry);
  s[0] = t;
  return t;
}

double iSNDcentstoratio(int cents) {
  static const double kFactors[13] = {1.000578, 1.001156, 1.002313, 1.004632, 1.009285, 1.018656, 1.037660,
                                      1.076738, 1.159364, 1.344124, 1.806670, 3.264058, 10.654074};
  // Cents beyond the table's reach are held at its ends.
  const int magnitude = std::min(std::abs(cents), 8191);
  double ratio = 1.0;
  for (int i = 0; i < 13; ++i)
    if (magnitude & (1 << i)) ratio = cents < 0 ? ratio / kFactors[i] : ratio * kFactors[i];
  return ratio;
}

uint32_t iSNDcalcrate(int samplerate, int outputrate, int cents) {
  if (outputrate <= 0) return 0x10000;
  const double step = iSNDcentstoratio(cents) * samplerate / outputrate * 65536.0;
  return static_cast<uint32_t>(std::min(std::llround(step), 0x7FFFFFFFLL));
}

void iSNDpanvolumes(int pan, int volume, int* left, int* right) {
  *left = *right = volume;
  if (pan < 64)
    *right = (pan * volume) >> 6;
  else if (pan > 64)
    *left = ((127 - pan) * volume) >> 6;
}

// ---- channels and handles ------------------------------------------------------------------------------------------

void iSNDresetvoices() {
  for (int c = 0; c < MIXCHANNELS; ++c) {
    voices[c] = Voice{};
    voices[c].handle = -1;
    platform[c] = PlatformChannel{};
  }
  handleserial = 0;
  lastgroup = 0;
}

int iSNDresolvehandle(int handle) {
  if (handle < 0) return -8;
  const int channel = handle & 31;
  if (channel >= MIXCHANNELS) return -8;
  if (voices[channel].state == kFree || voices[channel].handle != handle) return -8;
  return channel;
}

int iSNDallocchan(int mask, int count, int priority) {
  handleserial += 32;
  if (handleserial < 0) handleserial = 0;
  const int limit = sndvoicecount > 0 ? std::min(sndvoicecount, MIXCHANNELS) : MIXCHANNELS;
  count = clampint(count, 1, MIXCHANNELS);
  int chosen[MIXCHANNELS] = {};
  int found = 0;
  auto taken = [&](int c) { return std::find(chosen, chosen + found, c) != chosen + found; };
  while (found < count) {
    int best = -1;
    for (int c = 0; c < limit; ++c)
      if ((mask >> c) & 1 && voices[c].state == kFree && !taken(c) &&
          (best < 0 || voices[c].timestamp < voices[best].timestamp))
        best = c;
    if (best < 0) break;
    chosen[found++] = best;
  }
  while (found < count) {
    int best = -1;
    for (int c = 0; c < limit; ++c) {
      if (!((mask >> c) & 1) || taken(c) || voices[c].priority >= 102) continue;
      if (best < 0 || voices[c].priority < voices[best].priority ||
          (voices[c].priority == voices[best].priority && voices[c].timestamp < voices[best].timestamp))
        best = c;
    }
    if (best < 0) break;
    chosen[found++] = best;
  }
  if (found < count) return -9;
  for (int i = 0; i < count; ++i) {
    const int c = chosen[i];
    if (voices[c].state != kFree) {
      const int owner = voices[c].handle >= 0 ? c : voices[c].firstchannel;
      stopvoice(owner);
      if (voices[c].state != kFree) {
        for (int j = 0; j < i; ++j) voices[chosen[j]].state = kFree;
        return -9;
      }
    }
    voices[c] = Voice{};
    voices[c].state = kPlaying;
    voices[c].timestamp = sndserverticks;
    voices[c].priority = static_cast<uint8_t>(priority);
    voices[c].handle = -1;
    voices[c].firstchannel = static_cast<uint8_t>(chosen[0]);
  }
  voices[chosen[0]].handle = handleserial | chosen[0];
  for (int i = 1; i < count; ++i) voices[chosen[0]].members |= static_cast<uint16_t>(1u << chosen[i]);
  return chosen[0];
}

void iSNDfreechan(int channel) {
  if (channel < 0 || channel >= MIXCHANNELS) return;
  Voice& v = voices[channel];
  auto release = [](int c) {
    Voice& x = voices[c];
    // Channels taken with it are given back with it.
    for (int m = 0; m < MIXCHANNELS; ++m)
      if ((x.members >> m) & 1) voices[m].state = kFree, voices[m].timestamp = sndserverticks;
    x.members = 0;
    x.state = kFree;
    x.timestamp = sndserverticks;
  };
  if (v.group == 0) {
    if (v.state == kFree) {
      sndfail(0, "iSNDfreechan", "iSNDfreechan - CHANNEL %i ALREADY FREE.\n", channel);
      return;
    }
    release(channel);
    return;
  }
  int inuse = 0, leader = -1;
  for (int c = 0; c < MIXCHANNELS; ++c) {
    if (voices[c].group != v.group || voices[c].state == kFree || voices[c].handle < 0) continue;
    ++inuse;
    if (voices[c].leader) leader = c;
  }
  if (inuse == 2 && leader >= 0 && leader != channel && voices[leader].state == kWaiting) {
    release(channel);
    release(leader);
  } else if (channel == leader && v.state == kPlaying && inuse > 1) {
    v.state = kWaiting;
  } else {
    release(channel);
  }
}

// ---- playing -----------------------------------------------------------------------------------------------------------

int SNDplaysetdef(SNDPLAYOPTS* o) {
  if (!o) return sndfail(-8, "SNDplaysetdef", "SNDplaysetdef - POINTER PASSED WAS NULL.\n");
  *o = SNDPLAYOPTS{-1, -1, 60, 127, 64, 127, 64, 127, 0, 0, 0};
  return 0;
}

namespace {

int checkplayopts(const SNDPLAYOPTS* o) {
  const char* f = "iSNDcheckplayopts";
  if (static_cast<int8_t>(o->key) < 0)
    return sndfail(-8, f, "iSNDcheckplayopts - KEYNUM OF %i OUT OF RANGE 0..127.\n", o->key);
  if (static_cast<int8_t>(o->velocity) < 0)
    return sndfail(-8, f, "iSNDcheckplayopts - VELOCITY OF %i OUT OF RANGE 0..127.\n", o->velocity);
  if (static_cast<int8_t>(o->volume) < 0)
    return sndfail(-8, f, "iSNDcheckplayopts - VOL OF %i OUT OF RANGE 0..127.\n", o->volume);
  if (static_cast<int8_t>(o->bend) < 0)
    return sndfail(-8, f, "iSNDcheckplayopts - BEND OF %i OUT OF RANGE 0..127.\n", o->bend);
  if (static_cast<int8_t>(o->fxlevel0) < 0)
    return sndfail(-8, f, "iSNDcheckplayopts - FXLEVEL0 OF %i OUT OF RANGE 0..127.\n", o->fxlevel0);
  if (o->is3d) {
    if (o->elevation < -16384 || o->elevation > 16383)
      return sndfail(-8, f, "iSNDcheckplayopts - ELEVATION OF %i OUT OF RANGE -16384..16383.\n", o->elevation);
  } else if (static_cast<int8_t>(o->pan) < 0) {
    return sndfail(-8, f, "iSNDcheckplayopts - PAN OF %i OUT OF RANGE 0..127.\n", o->pan);
  }
  return 0;
}

int playtaggedtimbre(const PatchRecord& record, const ZoneValues& z, int key, int velocity, int detune,
                     const SNDPLAYOPTS* o) {
  const int channel = iSNDallocchan(z.value[5], clampint(z.value[11], 1, MIXCHANNELS), clampint(z.value[6], 0, 255));
  if (channel < 0) return channel;
  Voice& v = voices[channel];
  auto table = [&](int tag) -> const uint8_t* { return z.value[tag] && z.addr[tag] ? z.addr[tag] + z.value[tag] : nullptr; };
  v.patchindex = static_cast<uint16_t>(o->patch);
  v.bank = static_cast<uint8_t>(o->bank);
  v.timbreclass = static_cast<uint8_t>(z.value[27]);
  v.playtype = static_cast<uint8_t>(z.value[0]);
  v.tag8 = static_cast<uint8_t>(z.value[8]);
  v.volume = o->volume * 65536;
  v.timbrevolume = static_cast<int8_t>(clampint(z.value[14] + spread(z.value[15]), -128, 127) * velocity / 127);
  v.timbrepan = static_cast<uint8_t>(clampint(z.value[12] + spread(z.value[13]), 0, 127));
  v.bend = o->bend;
  v.bendrange = static_cast<uint16_t>(clampint(z.value[10], 0, 127) * 100);
  v.basepitch = static_cast<int16_t>(clampint(z.value[16] + (key - z.value[7]) * 100 + spread(z.value[17]) + detune,
                                              -8191, 8191));
  v.panspread = static_cast<uint8_t>(z.value[37]);
  v.effectsend = static_cast<uint8_t>(z.value[19]);
  v.effectlevel = o->fxlevel0;
  v.volumecurve = table(18);
  v.pancurve = table(21);
  v.bendcurve = table(23);
  v.envelope = table(25) ? table(25) : kBuiltinEnvelope;
  v.envpoints = static_cast<uint8_t>(table(25) ? z.value[9] : 1);
  v.tremolo = table(29);
  v.tremololength = static_cast<uint8_t>(z.value[30]);
  if (v.tremolo && z.value[31] && v.tremololength) v.tremoloindex = static_cast<uint8_t>(iSNDrandom() % v.tremololength);
  v.vibrato = table(32);
  v.vibratolength = static_cast<uint8_t>(z.value[33]);
  if (v.vibrato && z.value[35] && v.vibratolength) v.vibratoindex = static_cast<uint8_t>(iSNDrandom() % v.vibratolength);
  v.vibratodepth = static_cast<int16_t>(clampint(z.value[34], -32768, 32767));
  // The envelope starts at its start level, heading for its first point.
  v.envlevel = clampint(z.value[28], 0, 127) * 65536;
  v.envindex = 0;
  const int32_t duration = be32(v.envelope);
  v.envticks = duration < 0 ? 0x7FFFFFFF : std::max(duration, 1);
  v.envstep = static_cast<int32_t>((static_cast<int64_t>(clampint(be32(v.envelope + 4), 0, 127)) * 65536 - v.envlevel) /
                                   v.envticks);
  v.requestpan = o->pan;
  v.pan = static_cast<uint8_t>(voicepan(v, o->pan));
  calcvoicepitch(channel);
  calcvoicevol(channel);
  const int send = v.effectsend * o->fxlevel0 * sndreverblevel / 16129;
  const int r = platformplay(record, z.sampleblock, v.playtype, channel, v.pan, v.finalvolume, v.finalpitch, send,
                             o->azimuth, o->elevation, o->is3d == 0);
  if (r < 0) {
    iSNDfreechan(channel);  // never reached the mixer: nothing to fade
    return r;
  }
  return v.handle;
}

}  // namespace

int iSNDstartpacketvoice(const uint8_t zone[12], const SampleValues& s, const SNDPLAYOPTS* o, int32_t* voiceslot) {
  if (checkplayopts(o) < 0) return -8;
  // PCM, compression 7 (packets of whole blocks) or compression 9 (packets of whole frames).
  if (s.representation < 0 || s.representation > 4 || s.representation == 1)
    return sndfail(-15, "iSNDplatformpacketplay", "iSNDplatformpacketplay - UNSUPPORTED SAMPLE REPRESENTATION.\n");
  if ((s.bits != 8 && s.bits != 16) || (s.channels != 1 && s.channels != 2))
    return sndfail(-7, "iSNDplatformpacketplay", "iSNDplatformpacketplay - UNSUPPORTED SAMPLE FORMAT.\n");
  const int mask = static_cast<int>(zone[0] | (zone[1] << 8) | (zone[2] << 16) | (uint32_t{zone[3]} << 24));
  const int channel = iSNDallocchan(mask, 1, zone[6]);
  if (channel < 0) return channel;
  Voice& v = voices[channel];
  v.basepitch = static_cast<int16_t>(clampint(static_cast<int16_t>(zone[4] | (zone[5] << 8)), -8191, 8191));
  v.timbrevolume = static_cast<int8_t>(zone[7]);
  v.timbrepan = zone[8];
  v.effectsend = zone[9];
  v.bendrange = static_cast<uint16_t>(zone[10] * 100);
  v.volume = o->volume * 65536;
  v.bend = o->bend;
  v.effectlevel = o->fxlevel0;
  v.panspread = 1;
  v.requestpan = o->pan;
  v.envelope = kBuiltinEnvelope;
  v.envpoints = 1;
  v.envlevel = 127 * 65536;
  v.envticks = 0x7FFFFFFF;
  v.playtype = 0;
  v.pan = static_cast<uint8_t>(voicepan(v, o->pan));
  calcvoicepitch(channel);
  calcvoicevol(channel);
  PlatformChannel& c = platform[channel];
  c = PlatformChannel{static_cast<uint16_t>(clampint(s.rate, 1, 65535)), static_cast<uint8_t>(s.bits),
                      static_cast<uint8_t>(s.channels), static_cast<uint8_t>(s.representation), kPlain, 1, 0, 0, 0, 0};
  softwarevolumes(channel, v.finalvolume, v.pan);
  *voiceslot = v.handle;
  const int format = s.bits == 8 ? (s.channels == 1 ? SNDFMT_M8 : SNDFMT_S8) : (s.channels == 1 ? SNDFMT_M16 : SNDFMT_S16);
  const int send = v.effectsend * o->fxlevel0 * sndreverblevel / 16129;
  const int compression = s.representation == 3 ? 7 : s.representation == 4 ? 9 : 0;
  const int r = iSNDmixstart(channel, format, compression, 0, nullptr, 0, 0, -1, -1, c.left, c.right,
                             iSNDcalcrate(c.rate, mixoutputrate(), v.finalpitch), s.quality, send);
  if (r < 0) {
    iSNDfreechan(channel);
    return r;
  }
  return v.handle;
}

int iSNDplaytaggedpatch(const PatchRecord& record, const SNDPLAYOPTS* o) {
  if (!record.patch) return -8;
  if (static_cast<int8_t>(o->velocity) < 0)
    return sndfail(-8, "iSNDplaytaggedpatch", "iSNDplaytaggedpatch - VELOCITY OF %i OUT OF RANGE.\n", o->velocity);
  if (static_cast<int8_t>(o->key) < 0)
    return sndfail(-8, "iSNDplaytaggedpatch", "iSNDplaytaggedpatch - KEYNUM OF %i OUT OF RANGE.\n", o->key);
  ZoneValues zone;
  zonedefaults(&zone, true);
  iSNDenteraudio("iSNDplaytaggedpatch");
  // A new group number: the next after the last, skipping 0 and numbers still in use.
  uint8_t group = lastgroup;
  for (int tries = 0; tries < 256; ++tries) {
    if (++group == 0) continue;
    bool used = false;
    for (const Voice& v : voices) used |= v.state != kFree && v.group == group;
    if (!used) break;
  }
  lastgroup = group;

  int handles[MIXCHANNELS];
  int started = 0, result = -9, detune = 0;
  uint8_t* cursor = record.patch + ((record.patch[3] & 2) ? 8 : 4);
  uint8_t* end = record.patch + record.bytes;
  bool open = false;
  auto playzone = [&]() {
    if (o->velocity < zone.value[1] || o->velocity > zone.value[2] || o->key < zone.value[3] || o->key > zone.value[4] ||
        !zone.sampleblock)
      return true;
    if (started == MIXCHANNELS) return true;
    const int h = playtaggedtimbre(record, zone, o->key, o->velocity, detune, o);
    if (h < 0) {
      result = h;
      return false;
    }
    handles[started++] = h;
    return true;
  };
  bool failed = false;
  for (;;) {
    const TagItem item = iSNDnexttag(&cursor, end);
    if (item.kind == TagKind::End || item.kind == TagKind::Broken) {
      if (open && item.kind == TagKind::End) failed = !playzone();
      break;
    }
    if (item.kind == TagKind::SampleBlock) {
      zone.sampleblock = cursor;
      open = true;
    } else if (item.kind == TagKind::ZoneEnd) {
      if (!playzone()) {
        failed = true;
        break;
      }
      zonedefaults(&zone, false);
      open = false;
    } else if (item.id < ZONETAGS) {
      zone.value[item.id] = item.value;
      zone.addr[item.id] = item.valueaddr;
      if (item.id == 36) detune = spread(item.value);
      open = true;
    }
  }
  if (failed) {
    for (int i = 0; i < started; ++i)
      if (iSNDresolvehandle(handles[i]) >= 0) stopvoice(iSNDresolvehandle(handles[i]));
    iSNDleaveaudio();
    return result;
  }
  if (started > 1) {
    for (int i = 0; i < started; ++i) {
      Voice& v = voices[handles[i] & 31];
      v.group = group;
      v.leader = i == started - 1 ? 1 : 0;
    }
  }
  iSNDleaveaudio();
  return started ? handles[0] : -9;
}

int SNDplay(SNDPLAYOPTS* o) {
  if (!sndinitialised) return -10;
  if (!o) return sndfail(-8, "SNDplaysetdef", "SNDplaysetdef - POINTER PASSED WAS NULL.\n");
  if (checkplayopts(o) < 0) return -8;
  const PatchRecord* record = sndbankpatch(o->bank, o->patch);
  if (!record) return -8;
  return iSNDplaytaggedpatch(*record, o);
}

// ---- the audio server -------------------------------------------------------------------------------------------------

void iSNDaudioserver() {
  ++sndinserver;
  ++sndserverticks;
  for (int c = 0; c < MIXCHANNELS; ++c) {
    Voice& v = voices[c];
    if (v.state != kPlaying || v.handle < 0) continue;
    bool volchanged = false;
    if (v.vibrato && v.vibratolength) {
      if (++v.vibratoindex >= v.vibratolength) v.vibratoindex = 0;
      calcvoicepitch(c);
      platformdetune(c);
    }
    if (v.tremolo && v.tremololength) {
      if (++v.tremoloindex >= v.tremololength) v.tremoloindex = 0;
      volchanged = true;
    }
    if (v.fadestep) {
      v.volume += v.fadestep;
      if ((v.fadestep > 0 && v.volume >= v.fadetarget) || (v.fadestep < 0 && v.volume <= v.fadetarget)) {
        v.fadestep = 0;
        v.volume = v.fadetarget;
      }
      if (v.volume < 0) {
        SNDstop(v.handle);
        continue;
      }
      volchanged = true;
    }
    if (v.envstep) {
      v.envlevel += v.envstep;
      volchanged = true;
    }
    if (v.envticks == 0) {
      if (++v.envindex < v.envpoints) {
        const uint8_t* point = v.envelope + 8 * v.envindex;
        const int32_t duration = be32(point);
        v.envticks = duration < 0 ? 0x7FFFFFFF : std::max(duration, 1);
        v.envstep = static_cast<int32_t>(
            (static_cast<int64_t>(clampint(be32(point + 4), 0, 127)) * 65536 - v.envlevel) / v.envticks);
      } else {
        SNDstop(v.handle);
        continue;
      }
    }
    --v.envticks;
    if (volchanged) {
      calcvoicevol(c);
      platformvol(c);
    }
  }
  --sndinserver;
}

// ---- controls ---------------------------------------------------------------------------------------------------------

int SNDstop(int handle) {
  return control("SNDstop", handle, -14, [](int channel) { return stopvoice(channel); });
}

int SNDdone(int handle) {
  if (!sndinitialised) return -14;
  iSNDenteraudio("SNDdone");
  const int r = iSNDresolvehandle(handle) >= 0 ? 0 : 1;
  iSNDleaveaudio();
  return r;
}

int SNDvol(int handle, int volume) {
  if (!sndinitialised) return -10;
  if (volume < 0 || volume > 127) return sndfail(-8, "SNDvol", "SNDvol - vol OF %i IS OUT OR RANGE.\n", volume);
  return control("SNDvol", handle, -10, [volume](int channel) {
    eachofgroup(channel, [volume](int c) {
      Voice& v = voices[c];
      if (v.volume == volume * 65536 && v.fadestep == 0) return;
      v.volume = volume * 65536;
      v.fadestep = 0;
      calcvoicevol(c);
      platformvol(c);
    });
    return 0;
  });
}

int SNDpitchbend(int handle, int bend) {
  if (!sndinitialised) return -10;
  if (bend < 0 || bend > 127)
    return sndfail(-8, "SNDpitchbend", "SNDpitchbend - BEND OF %i OUT OR RANGE. VALID RANGE IS 0..127.\n", bend);
  return control("SNDpitchbend", handle, -10, [bend](int channel) {
    eachofgroup(channel, [bend](int c) {
      Voice& v = voices[c];
      if (v.bend == bend || v.bendrange == 0) return;
      v.bend = static_cast<uint8_t>(bend);
      calcvoicepitch(c);
      platformdetune(c);
    });
    return 0;
  });
}

int SNDpan(int handle, int pan) {
  if (!sndinitialised) return -10;
  if (pan < 0 || pan > 127) return sndfail(-8, "SNDpan", "SNDpan - pan OF %i OUT OF RANGE.\n", pan);
  return control("SNDpan", handle, -10, [pan](int channel) {
    eachofgroup(channel, [pan](int c) {
      Voice& v = voices[c];
      if (v.requestpan == pan) return;
      v.requestpan = static_cast<uint8_t>(pan);
      v.pan = static_cast<uint8_t>(voicepan(v, pan));
      platformvol(c);
    });
    return 0;
  });
}

int SNDautovol(int handle, int ticks, int target) {
  if (!sndinitialised) return -10;
  if (target < -1 || target > 127)
    return sndfail(-8, "SNDautovol", "SNDautovol - targetvol OF %i OUT OF RANGE.\n", target);
  if (ticks < 1) ticks = 1;
  return control("SNDautovol", handle, -10, [ticks, target](int channel) {
    eachofgroup(channel, [ticks, target](int c) {
      Voice& v = voices[c];
      v.fadetarget = target * 65536;
      v.fadestep = (v.fadetarget - v.volume) / ticks;
      if (v.fadestep == 0 && v.fadetarget != v.volume) v.fadestep = v.fadetarget > v.volume ? 1 : -1;
    });
    return 0;
  });
}

int SNDtimeremaining(int handle) {
  return control("SNDtimeremaining", handle, -14, [](int channel) {
    if (voices[channel].group == 0) return timeremaining(channel);
    int longest = -1024;
    eachofgroup(channel, [&longest](int c) { longest = std::max(longest, timeremaining(c)); });
    return longest;
  });
}

int SNDgetvol(int handle) {
  return control("SNDgetvol", handle, -14, [](int channel) { return static_cast<int>(voices[channel].finalvolume); });
}

// Voices playing a patch that leaves its bank stop first: the mixer would read the patch's samples.
void iSNDstopbankvoices(int bank, int index) {
  if (!sndinitialised) return;
  iSNDenteraudio("SNDbankremovepat");
  for (int c = 0; c < MIXCHANNELS; ++c) {
    const Voice& v = voices[c];
    if (v.state != kFree && v.handle >= 0 && v.playtype != 0 && v.bank == static_cast<uint8_t>(bank) &&
        (index < 0 || v.patchindex == index))
      stopvoice(c);
  }
  iSNDleaveaudio();
}

namespace {
const bool kBankHook = (sndstopbankvoiceshook = iSNDstopbankvoices, true);
}  // namespace

void iSNDredetunevoices() {
  for (int c = 0; c < MIXCHANNELS; ++c)
    if (voices[c].state == kPlaying && voices[c].handle >= 0) platformdetune(c);
}

VoiceView sndvoiceview(int channel) {
  const Voice& v = voices[channel & 15];
  return VoiceView{v.handle,    v.state,      v.priority,  v.pan,       v.finalvolume, v.group,    v.leader,
                   v.playtype,  v.bank,       v.patchindex, v.basepitch, v.finalpitch,  v.volume, v.envlevel,
                   platform[channel & 15].method};
}

// Start-up, shut-down and the driver module's binding.
#include "platformlib/sounddriver/snddriver.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platformlib/gfx/fixtrig.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndbank.h"
#include "platformlib/sound/sndmix.h"
#include "platformlib/sound/sndmodule.h"
#include "platformlib/sound/sndvoice.h"
#include "platformlib/core/timer.h"
#include "windows.h"

const char* sndmodulename = "tolvarsnd.dll";
int sndrequesttimeout = 10000;

namespace {

constexpr UINT kRequestMessage = 0x8200;

using namespace sndmodule;

struct Module {
  int (*version)();
  int (*setfunctions)(MixCallback, ChannelCallback, PrintCallback, PrintCallback, ServeCallback, PrintCallback,
                      PositionCallback, ConvertCallback);
  int (*caps)(HWND);
  int (*start)(int, HWND);
  int (*stop)();
  int (*recordstart)(int, int, int, int);
  int (*recordpacket)(void*);
  int (*recordstop)();
  int (*serve)();
  void* (*create3dbuf)(int, int, int, int, int, int, const void*);
  int (*removebuf)(void*);
  int (*play3d)(void*, int, int, int, int, int, int);
  int (*pos3d)(int, int, int);
  int (*vol)(int, int);
  int (*rate)(int, int);
  int (*stopbuf)(int);
};

HMODULE modulehandle = nullptr;
Module module{};
int modeinforce = 0;
int requestedmode = 0;
uint16_t outputrate = 0;
std::atomic<int> requeststatus{0};
std::atomic<int> requestdone{0};
bool threadstarted = false, focusinstalled = false, exitregistered = false;
void (*servercallback)() = nullptr;

std::string formatted(const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  return text;
}

void abortmessagewrapper(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatted(format, args);
  va_end(args);
  iSNDreleaseaudiofully();
  abortfile = "win\\sdriver";
  abortfunction = "abortmessagewrapper";
  abortline = 0;
  abortmessage("%s", text.c_str());
}

void iSNDdlldebugprint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = formatted(format, args);
  va_end(args);
  debugmessage(nullptr, 0, "%s", text.c_str());
}

void iSNDdllprint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

template <typename F>
bool bind(const char* name, F* slot) {
  FARPROC p = GetProcAddress(modulehandle, name);
  if (!p) return false;
  std::memcpy(slot, &p, sizeof *slot);
  return true;
}

// Waits for the window thread's request with a time-out instead of forever.
bool waitrequest() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(sndrequesttimeout);
  while (!requestdone.load()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void iSNDserve() {
  if (!sndaudiolock || !module.serve) return;
  entercritical(sndaudiolock);
  module.serve();
  leavecritical(sndaudiolock);
}

void stopthreadandfocus() {
  if (threadstarted) {
    setaudiomessagethread(nullptr);
    threadstarted = false;
  }
  if (focusinstalled) {
    setaudiofocushandler(nullptr);
    focusinstalled = false;
  }
}

void restoreatexit() { SNDrestore(); }

// Hardware 3D buffers live in the module; patches hold their 32-bit index in this table (plus one).
std::vector<void*> hwbuffers;

uint32_t createhwbuffer(int channels, int representation, int rate, int32_t length, int32_t loopstart,
                        int32_t loopend, const uint8_t* data) {
  if (!module.create3dbuf) return 0;
  void* buffer = module.create3dbuf(channels, representation, rate, length, loopstart, loopend, data);
  if (!buffer) return 0;
  for (size_t i = 0; i < hwbuffers.size(); ++i)
    if (!hwbuffers[i]) {
      hwbuffers[i] = buffer;
      return static_cast<uint32_t>(i + 1);
    }
  hwbuffers.push_back(buffer);
  return static_cast<uint32_t>(hwbuffers.size());
}

void removehwbuffer(uint32_t index) {
  if (index == 0 || index > hwbuffers.size() || !hwbuffers[index - 1]) return;
  if (module.removebuf) module.removebuf(hwbuffers[index - 1]);
  hwbuffers[index - 1] = nullptr;
}

int play3d(uint32_t index, int channel, int looped, int rate, int volume, int azimuth, int elevation) {
  if (index == 0 || index > hwbuffers.size() || !hwbuffers[index - 1] || !module.play3d) return -1;
  return module.play3d(hwbuffers[index - 1], channel, looped, rate, volume, azimuth, elevation);
}

void bindhardware(bool bound) {
  sndcreatehwbufferhook = bound ? createhwbuffer : nullptr;
  sndremovehwbufferhook = bound ? removehwbuffer : nullptr;
  sndhardware = bound ? SndHardware{play3d, [](int c, int v) { return module.vol(c, v); },
                                    [](int c, int r) { return module.rate(c, r); },
                                    [](int c) { return module.stopbuf(c); }}
                      : SndHardware{};
}

int iSNDmessageinit(WinDisplay*, HWND window, UINT, WPARAM first, LPARAM, LRESULT*) {
  if (first == 0) {
    if (!window) {
      requeststatus = sndfail(-16, "iSNDmessageinit", "iSNDmessageinit - MAIN WINDOW HANDLE IS INVALID.\n");
      requestdone = 1;
      return 1;
    }
    const int caps = module.caps(window);
    if (caps <= 0) {
      requeststatus = caps;
      requestdone = 1;
      return 1;
    }
    outputrate = static_cast<uint16_t>(moderate(requestedmode));
    if (outputrate == 0) {
      requeststatus = sndfail(-8, "iSNDmessageinit", "SNDinit - NO VALID RATE PASSED IN.\n");
      requestdone = 1;
      return 1;
    }
    modeinforce = requestedmode;
    if (!exitregistered) exitregistered = addexitroutine(restoreatexit) != 0;
    iSNDmixinit(modeinforce, iSNDfreechan);
    if (sndreverblevel == 10 || sndreverblevel == 20 || sndreverblevel == 30 || sndreverblevel == 40 ||
        sndreverblevel == 50 || sndreverblevel == 100 || sndreverblevel == 110 || sndreverblevel == 120)
      iSNDfxinitreverb(outputrate);
    const int r = module.start(modeinforce, window);
    requeststatus = r;
    if (r >= 0) {
      if (!threadstarted) {
        setaudiomessagethread(iSNDserve);
        threadstarted = true;
      }
      if (!focusinstalled) {
        setaudiofocushandler(audiofocushandler);
        focusinstalled = true;
      }
      requeststatus = 0;
    }
    requestdone = 1;
    return 1;
  }
  stopthreadandfocus();
  if (module.stop) module.stop();
  requeststatus = 0;
  requestdone = 1;
  return 1;
}

}  // namespace

int sndmodeinforce() { return modeinforce; }
int sndoutputrate() { return outputrate; }

// ---- callbacks ------------------------------------------------------------------------------------------------------

void iSNDdllfreechan(int channel) { iSNDfreechan(channel); }
void iSNDdllserve() {
  if (servercallback) servercallback();
}

void iSNDdllposition(int azimuth, int elevation, float* out) {
  int32_t s1, c1, s2, c2;
  sincostable(1024 - (elevation & 0xFFFF) / 64, &s1, &c1);
  fixsincos(azimuth & 0xFFFF, &s2, &c2);
  out[0] = static_cast<float>(static_cast<int64_t>(c1) * s2 / 65536);
  out[1] = static_cast<float>(-s1);
  out[2] = static_cast<float>(static_cast<int64_t>(c1) * c2 / 65536);
}

int iSNDconvertsample(const void* source, int sourcerep, int sourcechannels, int first, int last, int count,
                      void* destination, int destinationrep, int destinationchannels) {
  const char* f = "iSNDconvertsample";
  if (sourcechannels > 2 || sourcechannels < 1)
    return sndfail(-15, f, "iSNDconvertsample - CAN'T CONVERT XA WITH %i CHANNELS.\n", sourcechannels);
  if (destinationchannels != 1)
    return sndfail(-15, f, "iSNDconvertsample - CAN'T HANDLE dstnumchan %i\n", destinationchannels);
  if (count < 0) count = 0;
  // Floats, two a frame (a mono source is widened), as the plain converter reads them.
  std::vector<float> work(static_cast<size_t>(count) * 2 + 16);
  const uint8_t* in = static_cast<const uint8_t*>(source);
  const size_t samples = static_cast<size_t>(count) * sourcechannels;
  if (sourcerep == 0) {
    for (size_t i = 0; i < samples; ++i) work[i] = static_cast<float>(static_cast<int16_t>(in[2 * i] | (in[2 * i + 1] << 8)));
  } else if (sourcerep == 2) {
    for (size_t i = 0; i < samples; ++i) work[i] = static_cast<float>(static_cast<int8_t>(in[i])) * 256.0f;
  } else if (sourcerep == 3) {
    Adpcm7Channel history[2] = {};
    float block[ADPCM7FRAMES * 2];
    const size_t blockbytes = sourcechannels == 2 ? 30 : 15;
    for (size_t done = 0; done < static_cast<size_t>(count); done += ADPCM7FRAMES) {
      adpcm7blockfloat(in + done / ADPCM7FRAMES * blockbytes, sourcechannels, history, block);
      const size_t n = std::min<size_t>(ADPCM7FRAMES, static_cast<size_t>(count) - done);
      std::memcpy(&work[done * sourcechannels], block, n * sourcechannels * sizeof(float));
    }
  } else {
    return sndfail(-15, f, "iSNDconvertsample - CAN'T HANDLE srcsamplerep %i\n", sourcerep);
  }
  if (sourcechannels == 1)
    for (int i = count - 1; i >= 0; --i) work[2 * i] = work[2 * i + 1] = work[i];
  int start = 0;
  if (last > 0 && first >= 0 && first <= last && last < count) {
    start = first;
    count = last - first + 1;
  }
  if (destinationrep != 0)
    return sndfail(-15, f, "iSNDconvertsample - CAN'T HANDLE dstsamplerep %i\n", destinationrep);
  mixoutm16float(count, work.data() + 2 * start, destination);
  return 0;
}

// ---- the module -------------------------------------------------------------------------------------------------------

int iSNDloaddll() {
  if (modulehandle) return 0;
  HMODULE handle = LoadLibraryA(sndmodulename);
  if (reinterpret_cast<uintptr_t>(handle) < 32) {
    return sndfail(-1, "iSNDloaddll",
                   "iSNDloaddll - COULDN'T LOAD/FIND TOLVARSND.DLL. THIS SHOULD BE IN THE SAME DIRECTORY AS THE "
                   "GAME.\n");
  }
  modulehandle = handle;
  module = Module{};
  auto fail = [](int code, const char* format, auto... args) {
    FreeLibrary(modulehandle);
    modulehandle = nullptr;
    module = Module{};
    return sndfail(code, "iSNDloaddll", format, args...);
  };
  if (!bind("_iSNDdllversion@0", &module.version))
    return fail(-1, "iSNDloaddll - COULDN'T FIND iSNDdllversion.\n");
  const int version = module.version();
  if (version != SNDMODULEVERSION)
    return fail(-11, "iSNDloaddll - TOLVARSND.DLL VERSION MISMATCH. REQUIRED %i.%i, FOUND %i.%i.\n", 16, 1,
                version >> 16, version & 0xFFFF);
  if (!bind("_iSNDdirectsetfunctions@32", &module.setfunctions))
    return fail(-1, "iSNDloaddll - COULDN'T FIND setfunctions.\n");
  module.setfunctions(iSNDdllmix, iSNDdllfreechan, abortmessagewrapper, iSNDdlldebugprint, iSNDdllserve,
                      iSNDdllprint, iSNDdllposition, iSNDconvertsample);
  const bool all = bind("_iSNDdirectcaps@4", &module.caps) && bind("_iSNDdirectstart@8", &module.start) &&
                   bind("_iSNDdirectstop@0", &module.stop) &&
                   bind("_iSNDdirectrecordstart@16", &module.recordstart) &&
                   bind("_iSNDdirectrecordpacket@4", &module.recordpacket) &&
                   bind("_iSNDdirectrecordstop@0", &module.recordstop) && bind("_iSNDdirectserve@0", &module.serve) &&
                   bind("_iSNDdirectcreate3dbuf@28", &module.create3dbuf) &&
                   bind("_iSNDdirectremovebuf@4", &module.removebuf) && bind("_iSNDdirectplay3d@28", &module.play3d) &&
                   bind("_iSNDdirectpos3d@12", &module.pos3d) && bind("_iSNDdirectvol@8", &module.vol) &&
                   bind("_iSNDdirectrate@8", &module.rate) && bind("_iSNDdirectstopbuf@4", &module.stopbuf);
  if (!all) return fail(-1, "iSNDloaddll - COULDN'T FIND NEEDED FUNCTION.\n");
  bindhardware(true);
  return 0;
}

int iSNDunloaddll() {
  bindhardware(false);
  hwbuffers.clear();
  if (modulehandle) FreeLibrary(modulehandle);
  modulehandle = nullptr;
  module = Module{};
  return 0;
}

// ---- start-up and shut-down -----------------------------------------------------------------------------------------

int SNDcaps(int) {
  if (!servercallback) servercallback = iSNDaudioserver;
  const int loaded = iSNDloaddll();
  if (loaded < 0) return loaded;
  HWND window = getmainwindowhandle();
  if (!window) return sndfail(-16, "SNDcaps", "SNDcaps - MAIN WINDOW HANDLE IS INVALID.\n");
  const int r = module.caps(window);
  return r < 1 ? r : r | 0x10000;
}

int iSNDverifymode(int mode) {
  const int caps = SNDcaps(0);
  if (caps < 1) return caps;
  const int m = (mode == -1 ? caps : mode) & caps;
  if (!(m & 0xFF))
    return sndfail(0, "SNDinit", "SNDinit - NO FORMAT FLAG WAS SET, OR FORMAT IS NOT SUPPORTED BY HARDWARE.\n");
  if (!(m & 0xFF00))
    return sndfail(0, "SNDinit", "SNDinit - NO RATE FLAG WAS SET, OR RATE IS NOT SUPPORTED BY HARDWARE.\n");
  const int format = m & 0x08 ? 0x08 : m & 0x02 ? 0x02 : m & 0x04 ? 0x04 : 0x01;
  int rate = 0x100;
  for (int bit : {0x800, 0x1000, 0x400, 0x2000, 0x200})
    if (m & bit) {
      rate = bit;
      break;
    }
  return format | rate | (mode != -1 && (m & 0x20000) ? 0x20000 : 0);
}

int iSNDinit(int mode) {
  requestedmode = mode;
  const int loaded = iSNDloaddll();
  if (loaded < 0) return loaded;
  if (!timerrunning)
    return sndfail(-16, "iSNDinit", "SNDinit - TOLVAR TIMER MUST BE INITIALIZED BEFORE SNDINIT.\n");
  if (!getmainwindowhandle())
    return sndfail(-16, "iSNDinit",
                   "SNDinit - MAIN WINDOW MUST BE PRESENT BEFORE SNDINIT AND FOR DURATION OF ALL AUDIO USE.\n");
  setmessagehandler(kRequestMessage, iSNDmessageinit);
  requestdone = 0;
  if (!sendwinmessage(kRequestMessage, 0, 0, 0)) return -16;
  if (!waitrequest()) return -16;
  return requeststatus;
}

int iSNDrestore() {
  requestdone = 0;
  if (modulehandle && sendwinmessage(kRequestMessage, 0, 1, 0)) {
    const int status = waitrequest() ? requeststatus.load() : -16;
    iSNDunloaddll();
    return status;
  }
  stopthreadandfocus();
  requeststatus = 0;
  iSNDunloaddll();
  return 0;
}

int SNDinit(int mode, int) {
  if (sndinitialised) return 0;
  if (sndvoicecount == 0) sndvoicecount = 16;
  if (!servercallback) servercallback = iSNDaudioserver;
  sndaudiolock = getcriticalsection();
  if (!sndaudiolock) return -9;
  sndserverticks = 0;
  sndmastervolume = 127;
  iSNDresetvoices();
  int status = iSNDverifymode(mode);
  if (status > 0) status = iSNDinit(status);
  else if (status == 0) status = -8;
  if (status < 0) {
    iSNDrestore();
    // The lock goes back to the pool with the failed start.
    freecriticalsection(sndaudiolock);
    sndaudiolock = nullptr;
    return status;
  }
  sndinitialised = 1;
  return 0;
}

int SNDrestore() {
  if (!sndinitialised) return -10;
  if (sndstreamshutdownhook) sndstreamshutdownhook();
  for (int c = 0; c < MIXCHANNELS; ++c) {
    const VoiceView v = sndvoiceview(c);
    if (v.state && v.handle >= 0) SNDstop(v.handle);
  }
  if (sndbankhook) sndbankhook(-1);
  const int status = iSNDrestore();
  sndinitialised = 0;
  freecriticalsection(sndaudiolock);
  sndaudiolock = nullptr;
  return status;
}

int SNDobtainhardware() {
  if (!sndinitialised) return -14;
  entercritical(sndaudiolock);
  HWND window = getmainwindowhandle();
  if (!window) {
    leavecritical(sndaudiolock);
    return sndfail(-14, "SNDobtainhardware", "SNDobtainhardware - MAIN WINDOW HANDLE IS INVALID.\n");
  }
  module.start(modeinforce, window);
  leavecritical(sndaudiolock);
  return 0;
}

int SNDreleasehardware() {
  if (!sndinitialised) return -14;
  entercritical(sndaudiolock);
  module.stop();
  leavecritical(sndaudiolock);
  return 0;
}

int iSNDplatformreinit(int mode) {
  const int r = SNDreleasehardware();
  if (r < 0) return r;
  const int rate = moderate(mode);
  if (!rate) return sndfail(-8, "iSNDplatformreinit", "SNDreinit - NO VALID RATE PASSED IN.\n");
  modeinforce = mode;
  outputrate = static_cast<uint16_t>(rate);
  const int m = iSNDmixreconfig(mode);
  if (m < 0) return m;
  iSNDredetunevoices();
  return SNDobtainhardware();
}

namespace {
int recordlength = 0;
}

int iSNDplatformrecordstart(int length, int second, int third, int representation) {
  if (representation != 0)
    return sndfail(-15, "iSNDplatformrecordstart",
                   "iSNDplatformrecordstart - UNSUPPORTED SAMPLE REPRESENTATION TYPE.\n");
  if (!module.recordstart) return -1;
  recordlength = length;
  return module.recordstart(length, third, 16, second);
}

int iSNDplatformrecordpacket(void* buffer) {
  if (!module.recordpacket || module.recordpacket(buffer) < 0) return -1;
  return 2 * recordlength;
}

int iSNDplatformrecordstop() { return module.recordstop ? module.recordstop() : -1; }

void audiofocushandler(int active) {
  if (!sndaudiolock) return;
  entercritical(sndaudiolock);
  if (!active) {
    module.stop();
  } else if (HWND window = getmainwindowhandle()) {
    module.start(modeinforce, window);
  } else {
    leavecritical(sndaudiolock);
    sndfail(0, "audiofocushandler", "audiofocushandler - MAIN WINDOW HANDLE IS INVALID.\n");
    return;
  }
  leavecritical(sndaudiolock);
}

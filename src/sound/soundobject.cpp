// The game's sound object and the module that starts and serves the sound library for the game.
#include "sound/soundobject.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/core/bigfileio.h"
#include "platformlib/sound/sndbank.h"
#include "platformlib/sound/sndvoice.h"
#include "platformlib/sounddriver/snddriver.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

constexpr int kBankEntries = 1000;
constexpr size_t kPlayedKept = 4096;

SoundModule gSound;
SoundEnvironment gEnv;

// Copies `name` into a field of `size` bytes; false (and the field left empty) when it does not fit.
bool CopyName(char* field, size_t size, const char* name) {
  field[0] = 0;
  if (!name) return true;
  const size_t length = std::strlen(name);
  if (length >= size) return false;
  std::memcpy(field, name, length + 1);
  return true;
}

}  // namespace

SoundModule& Sound() { return gSound; }
SoundEnvironment& SoundEnv() { return gEnv; }

bool SoundWindowActive() { return !gEnv.windowActive || gEnv.windowActive() != 0; }
uint8_t SoundSettingsByte() { return gEnv.soundSettings ? gEnv.soundSettings() : 0x07; }

void ForgetPlayedSounds() {
  std::lock_guard<std::recursive_mutex> hold(gSound.lock);
  gSound.played.clear();
  gSound.playedAt.clear();
  gSound.queued.clear();
}

uint32_t SoundRandom31() {
  if (gEnv.random31) return gEnv.random31() & 0x7FFFFFFF;
  static uint32_t state = 0x2545F491;
  state = state * 1103515245u + 12345u;
  return (state >> 1) & 0x7FFFFFFF;
}

uint32_t SoundTakeTime() { return gSound.currentTick = gEnv.clock ? gEnv.clock() : timeGetTime(); }

// ---- construction ------------------------------------------------------------------------------------------------

TSoundADV::TSoundADV(const char* name, uint32_t creatorFlags, const char* folderName) {
  Init(name, creatorFlags, nullptr, folderName);
}

TSoundADV::TSoundADV(const void* data, uint32_t bytes, uint32_t creatorFlags) {
  patchBytes = bytes;
  Init(nullptr, creatorFlags, data, nullptr);
}

void TSoundADV::Init(const char* name, uint32_t creatorFlags, const void* data, const char* folderName) {
  SoundModule& s = gSound;
  if (!s.soundRunning && !s.soundStartFailed) StartSoundSystem();
  // The library's banks have no lock of their own, and the voice player's thread makes and plays sounds too: every
  // load, unload, play and stop holds the list's lock.
  std::lock_guard<std::recursive_mutex> hold(s.lock);
  flags = creatorFlags;
  patchData = data;
  // A name or folder too long for its field leaves the object silent.
  bool fits = CopyName(folder, sizeof folder, folderName);
  if (name && *name) {
    char lower[32];
    fits = CopyName(lower, sizeof lower, name) && fits;
    for (char* c = lower; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    if (fits && !std::strchr(lower, '.')) fits = std::strlen(lower) + 4 < sizeof lower && (std::strcat(lower, ".pat"), true);
    if (fits) std::memcpy(patchFile, lower, sizeof patchFile);
  }
  if (!fits) {
    patchFile[0] = 0;
    patchData = nullptr;
    flags |= kSoundLoadFailed;
  }
  if (!(flags & kSoundLoadOnPlay)) Load();
  next = s.soundList;
  s.soundList = this;
}

TSoundADV::~TSoundADV() {
  SoundModule& s = gSound;
  std::lock_guard<std::recursive_mutex> hold(s.lock);
  for (TSoundADV** link = &s.soundList; *link; link = &(*link)->next)
    if (*link == this) {
      *link = next;
      break;
    }
  Unload();
  // A destroyed clip never stays the announcer's current clip, nor anyone's successor.
  if (s.currentAnnouncerClip == this) {
    s.currentAnnouncerClip = chainNext;
    if (!chainNext) s.announcerStarted = false;
  }
  for (TSoundADV* o = s.soundList; o; o = o->next)
    if (o->chainNext == this) o->chainNext = chainNext;
}

bool TSoundADV::Active() const { return gSound.soundRunning && SoundWindowActive(); }

// ---- values ------------------------------------------------------------------------------------------------------

void TSoundADV::SetVolume(int v) {
  volume = v;
  if (!Active() || voice1 < 0) return;
  SNDvol(voice1, v);
  if (voice2 >= 0) SNDvol(voice2, v);
}

void TSoundADV::SetPitch(int p) {
  pitch = p;
  if (!Active() || voice1 < 0) return;
  SNDpitchbend(voice1, p);
  if (voice2 >= 0) SNDpitchbend(voice2, p);
}

void TSoundADV::SetPan(int p) {
  pan = p;
  if (!Active() || voice1 < 0) return;
  SNDpan(voice1, p);
  if (voice2 >= 0) SNDstop(voice2);
}

namespace {
// A range switched on keeps a value inside it and moves one outside to its middle.
void SetRange(uint32_t* flags, uint32_t bit, int min, int max, int32_t* lo, int32_t* hi, int32_t* value) {
  *lo = min, *hi = max;
  if (min == max) {
    *flags &= ~bit;
    *value = min;
    return;
  }
  *flags |= bit;
  if (*value < std::min(min, max) || *value > std::max(min, max)) *value = min + (max - min) / 2;
}
}  // namespace

void TSoundADV::SetVolumeRange(int min, int max) { SetRange(&flags, kSoundVolumeRange, min, max, &volMin, &volMax, &volume); }
void TSoundADV::SetPitchRange(int min, int max) { SetRange(&flags, kSoundPitchRange, min, max, &pitchMin, &pitchMax, &pitch); }
void TSoundADV::SetPanRange(int min, int max) {
  panMin = min, panMax = max;
  if (min == max) {
    flags &= ~kSoundPanRange;
    pan = min;
    return;
  }
  flags |= kSoundPanRange;
  // Given either way round; one given the wrong way round always lands in its middle.
  if (pan < min || pan > max) pan = min + (max - min) / 2;
}

void TSoundADV::SetVariationPeriod(int ms) {
  variationPeriod = ms;
  if (ms != -1) ScheduleNextVariation();
}

void TSoundADV::SetAutoVolume(int time) {
  if (gSound.hardwareReleased || !Active()) return;
  if (voice1 >= 0) {
    SNDautovol(voice1, time, 0);
    flags |= kSoundFading;
  }
  if (voice2 >= 0) SNDautovol(voice2, time, 0);
}

int TSoundADV::IsPlaying() const { return Active() && voice1 >= 0 && SNDdone(voice1) == 0 ? 1 : 0; }

int TSoundADV::GetVolume() const { return Active() && voice1 >= 0 ? SNDgetvol(voice1) : volume; }

// ---- variation ---------------------------------------------------------------------------------------------------

void TSoundADV::ScheduleNextVariation() {
  if (variationPeriod <= 0) {
    nextEvent = gSound.currentTick;
    return;
  }
  const uint32_t period = static_cast<uint32_t>(variationPeriod);
  const uint32_t r1 = SoundRandom31(), r2 = SoundRandom31();
  nextEvent = gSound.currentTick + r1 % period + r2 % period;
}

void TSoundADV::StepVariation() {
  auto step = [](int32_t current, int32_t min, int32_t max, int32_t* from, int32_t* to) {
    *from = current;
    if (max > min)
      *to = min + static_cast<int32_t>(SoundRandom31() % static_cast<uint32_t>(max - min));
    else
      *to = max + static_cast<int32_t>(SoundRandom31() % static_cast<uint32_t>(min - max));
  };
  if (flags & kSoundVolumeRange) {
    step(volume, volMin, volMax, &volFrom, &volTo);
    if (rampTime < 1) volume = volTo;
  }
  if (flags & kSoundPitchRange) {
    step(pitch, pitchMin, pitchMax, &pitchFrom, &pitchTo);
    if (rampTime < 1) pitch = pitchTo;
  }
  if (flags & kSoundPanRange) {
    step(pan, panMin, panMax, &panFrom, &panTo);
    if (rampTime < 1) pan = panTo;
  }
  rampStart = gSound.currentTick;
  if (variationPeriod != -1) ScheduleNextVariation();
}

// ---- loading -----------------------------------------------------------------------------------------------------

void TSoundADV::Load() {
  SoundModule& s = gSound;
  std::lock_guard<std::recursive_mutex> hold(s.lock);
  if (!s.soundRunning || s.soundStartFailed || !SoundWindowActive()) {
    flags |= kSoundLoadOnPlay;
    return;
  }
  if (flags & kSoundLoadFailed) return;
  if (!patchFile[0]) {
    if (patchData) {
      int index = -1;
      patchId = SNDbankaddpat(s.soundBank, &index, const_cast<void*>(patchData), patchBytes) < 0 ? -1 : index;
    }
    return;
  }
  if (!s.soundFilesAllowed) {
    patchId = -1, patchHandle = 0, patchData = nullptr;
    if (variationPeriod != -1) ScheduleNextVariation();
    return;
  }
  auto folderOf = [&](const PathRecord& base, const PathRecord& sounds, PathRecord* out) {
    if (!folder[0]) {
      *out = sounds;
      return true;
    }
    *out = base;
    return PathAppend(out, folder) == 0;
  };
  PathRecord where{};
  if (folderOf(s.rootFolder, s.soundsFolder, &where) && FileExists(&where, patchFile))
    patchHandle = BigFileLoadToHandle(&where, patchFile, 0);
  if (!patchHandle && s.discFound && folderOf(s.discFolder, s.cdSoundsFolder, &where))
    patchHandle = BigFileLoadToHandle(&where, patchFile, 0);
  void* image = patchHandle ? MemLock(patchHandle) : nullptr;
  if (image) {
    patchData = image;
    patchBytes = static_cast<uint32_t>(MemHandleSize(patchHandle));
    int index = -1;
    if (SNDbankaddpat(s.soundBank, &index, image, patchBytes) >= 0) {
      patchId = index;
      return;
    }
  }
  if (patchHandle) {
    MemUnlock(patchHandle);
    MemFreeHandle(patchHandle);
  }
  patchHandle = 0, patchData = nullptr, patchId = -1, patchBytes = 0;
  // A re-triggered sound keeps trying at each play; any other is not tried again until marked.
  if (variationPeriod != -1)
    ScheduleNextVariation();
  else
    flags |= kSoundLoadFailed;
}

void TSoundADV::Unload() {
  std::lock_guard<std::recursive_mutex> hold(gSound.lock);
  if (voice1 >= 0) Stop();
  if (patchId == -1) return;
  if (gSound.soundRunning) SNDbankremovepat(gSound.soundBank, patchId);
  if (patchHandle) {
    MemUnlock(patchHandle);
    MemFreeHandle(patchHandle);
    patchData = nullptr;
  } else if (patchFile[0]) {
    patchData = nullptr;
  } else {
    patchData = nullptr;  // a patch from memory: its holder learns that play has ended
  }
  patchId = -1, patchHandle = 0;
}

// ---- playing -----------------------------------------------------------------------------------------------------

void TSoundADV::Play() {
  SoundModule& s = gSound;
  std::lock_guard<std::recursive_mutex> hold(s.lock);
  if (!SoundWindowActive()) return;
  if (voice1 >= 0) Stop();
  if (s.hardwareReleased || s.soundStartFailed || !s.soundRunning || !(SoundSettingsByte() & 0x01)) return;
  if (startDelay != 0 && !(flags & kSoundDelayedStart)) {
    flags |= kSoundDelayedStart;
    nextEvent = s.currentTick + static_cast<uint32_t>(startDelay);
    return;
  }
  if (patchId == -1) Load();
  if (patchId < 0) {
    OnFinished();
    return;
  }
  if (flags & kSoundWaitForCue) {
    flags = (flags & ~kSoundWaitForCue) | kSoundArmed;
    return;
  }
  if (IsVarying() || variationPeriod != -1) StepVariation();
  SNDPLAYOPTS o{};
  SNDplaysetdef(&o);
  o.patch = patchId;
  o.bank = static_cast<int8_t>(s.soundBank);
  o.volume = static_cast<uint8_t>(std::clamp(volume, 0, 127));
  o.bend = static_cast<uint8_t>(std::clamp(pitch, 0, 127));
  if (!(flags & kSoundPanSweep)) {
    o.pan = static_cast<uint8_t>(std::clamp(pan, 0, 127));
    voice1 = SNDplay(&o);
    voice2 = -1;
  } else {
    o.pan = static_cast<uint8_t>(std::clamp(panMin, 0, 127));
    voice1 = SNDplay(&o);
    const int t = voice1 >= 0 ? SNDtimeremaining(voice1) : 0;
    if (voice1 >= 0) SNDautovol(voice1, t, 0);
    o.pan = static_cast<uint8_t>(std::clamp(panMax, 0, 127));
    o.volume = 0;
    voice2 = SNDplay(&o);
    if (voice2 >= 0) SNDautovol(voice2, t, volume);
  }
  if (voice1 >= 0) {
    std::lock_guard<std::recursive_mutex> hold(s.lock);
    if (s.played.size() >= kPlayedKept) {
      s.played.erase(s.played.begin());
      s.playedAt.erase(s.playedAt.begin());
    }
    s.played.emplace_back(patchFile[0] ? patchFile : "(memory)");
    s.playedAt.push_back({sndserverticks, SNDtimeremaining(voice1)});
    const std::string line = "sound: play " + s.played.back() + "\n";
    OutputDebugStringA(line.c_str());
  }
}

void TSoundADV::Stop() {
  std::lock_guard<std::recursive_mutex> hold(gSound.lock);
  if (voice1 >= 0 && Active()) {
    SNDstop(voice1);
    if (voice2 >= 0) SNDstop(voice2);
  }
  OnFinished();
}

void TSoundADV::OnFinished() {
  SoundModule& s = gSound;
  voice1 = voice2 = -1;
  if (flags & kSoundFading) {
    variationPeriod = -1;
    flags &= ~kSoundFading;
  }
  if (s.currentAnnouncerClip == this) {
    s.currentAnnouncerClip = chainNext;
    if (!chainNext || (chainNext->flags & kSoundHeldInChain)) s.announcerStarted = false;
  }
  // A successor starts unless the announcer's current clip is held; with no current clip it starts too.
  if (chainNext && chainNext != this &&
      !(s.currentAnnouncerClip && (s.currentAnnouncerClip->flags & kSoundHeldInChain)))
    chainNext->Play();
  if (flags & kSoundDeleteWhenDone) {
    variationPeriod = -1;
    flags |= kSoundDeletePending;
  } else if (flags & kSoundUnloadWhenDone) {
    Unload();
  }
}

void TSoundADV::StopChain() {
  // From the last clip back to this one.
  TSoundADV* stopped = nullptr;
  for (int guard = 0; guard < 4096 && stopped != this; ++guard) {
    TSoundADV* clip = this;
    for (int steps = 0; clip->chainNext && clip->chainNext != stopped && steps < 4096; ++steps) clip = clip->chainNext;
    // Stopping must not start the clip after it: it was stopped a moment ago, or is about to be.
    TSoundADV* successor = clip->chainNext;
    clip->chainNext = nullptr;
    clip->Stop();
    clip->chainNext = successor;
    stopped = clip;
  }
}

void TSoundADV::Update(bool allowRetrigger) {
  SoundModule& s = gSound;
  if (!Active()) return;
  bool playing = IsPlaying() != 0;
  if (playing && (flags & kSoundStopRequest)) {
    Stop();
    flags &= ~kSoundStopRequest;
    playing = false;
  }
  const uint32_t now = s.currentTick;
  if (!playing || ((flags & kSoundFading) && SNDgetvol(voice1) == 0)) {
    if ((flags & kSoundArmed) && gEnv.golferCue && gEnv.golferCue()) {
      flags &= ~kSoundArmed;
      Play();
      return;
    }
    if ((flags & kSoundDelayedStart) && now > nextEvent) {
      Play();
      flags &= ~kSoundDelayedStart;
      return;
    }
    if (voice1 >= 0) Stop();
    if (variationPeriod != -1 && static_cast<int32_t>(now - nextEvent) >= 0) {
      const bool factPlaying = gEnv.golferFactPlaying && gEnv.golferFactPlaying();
      if (allowRetrigger && !factPlaying)
        Play();
      else
        ScheduleNextVariation();
    }
    return;
  }
  if (!IsVarying() || variationPeriod == -1 || rampTime == -1 || (flags & kSoundFading)) return;
  if (static_cast<int32_t>(now - nextEvent) >= 0) StepVariation();
  if (rampTime <= 0) return;
  const int64_t e = std::min<int64_t>(now - rampStart, rampTime);
  auto glide = [&](uint32_t bit, int32_t from, int32_t to, int32_t* value, int (*send)(int, int)) {
    if (!(flags & bit)) return;
    const int32_t v = static_cast<int32_t>(from + (to - from) * e / rampTime);
    if (v != *value) {
      *value = v;
      send(voice1, v);
    }
  };
  glide(kSoundVolumeRange, volFrom, volTo, &volume, SNDvol);
  glide(kSoundPitchRange, pitchFrom, pitchTo, &pitch, SNDpitchbend);
  glide(kSoundPanRange, panFrom, panTo, &pan, SNDpan);
}

// ---- the module --------------------------------------------------------------------------------------------------

void TSoundADV::StartSoundSystem() {
  SoundModule& s = gSound;
  if (s.soundRunning && SoundWindowActive()) {
    UnloadAll();
    SNDrestore();
  }
  s.soundStartFailed = true;
  s.soundRunning = false;
  s.hardwareReleased = false;
  s.soundFilesAllowed = true;
  s.rootFolder = PathRecord{}, s.discFolder = PathRecord{};
  s.discFound = false;
  if (gEnv.folders) gEnv.folders(&s.rootFolder, &s.discFolder, &s.discFound);
  s.soundsFolder = s.rootFolder;
  PathAppend(&s.soundsFolder, "DATA");
  PathAppend(&s.soundsFolder, "SOUNDS");
  s.cdSoundsFolder = s.discFolder;
  PathAppend(&s.cdSoundsFolder, "DATA");
  PathAppend(&s.cdSoundsFolder, "SOUNDS");
  if (!(SoundSettingsByte() & 0x01) || !SoundWindowActive()) return;
  const int caps = SNDcaps(0);
  if (caps < 0) return;
  int rate = 0, format = 0;
  for (int r : {0x800, 0x1000, 0x2000, 0x400, 0x200, 0x100})
    if (caps & r) {
      rate = r;
      break;
    }
  for (int f : {0x08, 0x02, 0x04, 0x01})
    if (caps & f) {
      format = f;
      break;
    }
  if (!rate || !format) return;  // a rate without a format: the game stays silent
  // The server does not run until the system has started.
  s.startTick = sndserverticks;
  if (SNDinit(rate | format, 0) < 0) return;
  const int size = SNDbankmemsize(kBankEntries);
  if (size < 0) {
    SNDrestore();
    return;
  }
  s.soundBankMemory.assign(static_cast<size_t>(size), 0);
  s.soundBank = SNDbankcreate(kBankEntries, s.soundBankMemory.data());
  if (s.soundBank < 0) {
    SNDrestore();
    s.soundBankMemory.clear();
    return;
  }
  s.soundRunning = true;
  s.soundStartFailed = false;
  OutputDebugStringA("sound: started\n");
}

void TSoundADV::EnsureSoundSystem() {
  if (!gSound.soundRunning && SoundWindowActive()) StartSoundSystem();
}

void TSoundADV::StopSoundSystem() {
  SoundModule& s = gSound;
  if (!s.soundRunning || !SoundWindowActive()) return;
  UnloadAll();
  SNDrestore();
  s.soundBankMemory.clear();
  s.soundBankMemory.shrink_to_fit();
  s.soundBank = -1;
  s.soundRunning = false;
}

void TSoundADV::UpdateAll(bool allowRetrigger) {
  SoundModule& s = gSound;
  if (!s.soundRunning || s.soundStartFailed || !SoundWindowActive()) return;
  std::lock_guard<std::recursive_mutex> hold(s.lock);
  // Destroying an object unlinks only that object, so the successor taken before it stays in the list.
  for (TSoundADV* o = s.soundList; o;) {
    TSoundADV* after = o->next;
    o->Update(allowRetrigger);
    if (o->flags & kSoundDeletePending) delete o;
    o = after;
  }
}

void TSoundADV::MarkAllUnloaded() {
  std::lock_guard<std::recursive_mutex> hold(gSound.lock);
  for (TSoundADV* o = gSound.soundList; o; o = o->next) o->ClearLoadFailed();
}

void TSoundADV::SetAllAutoVolume(int time) {
  std::lock_guard<std::recursive_mutex> hold(gSound.lock);
  for (TSoundADV* o = gSound.soundList; o; o = o->next) o->SetAutoVolume(time);
}

void TSoundADV::UnloadAll() {
  std::lock_guard<std::recursive_mutex> hold(gSound.lock);
  for (TSoundADV* o = gSound.soundList; o; o = o->next) o->Unload();
}

int TSoundADV::ReleaseHardware() {
  SoundModule& s = gSound;
  if (!s.soundRunning || !SoundWindowActive() || s.hardwareReleased) return 0;
  SNDreleasehardware();
  s.hardwareReleased = true;
  return 1;
}

int TSoundADV::ObtainHardware() {
  SoundModule& s = gSound;
  if (!s.soundRunning || !SoundWindowActive() || !s.hardwareReleased) return 0;
  SNDobtainhardware();
  s.hardwareReleased = false;
  return 1;
}

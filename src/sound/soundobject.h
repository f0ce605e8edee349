// The game's sound object: one patch, from a file in the sounds folder (or a named folder) or from memory,
// played on up to two voices of the sound library with its own volume, pitch and pan, random variation within
// ranges, timed re-triggering, delayed and cued starts, pan sweeps, fades, chains of clips (the announcer) and
// unload- or delete-when-done. Every object sits in one list that `UpdateAll` serves once per idle pass; the
// same module starts and stops the sound library for the game.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "framework/core/memmgr.h"
#include "framework/core/paths.h"

// Creator's flags.
constexpr uint32_t kSoundUnloadWhenDone = 0x01;
constexpr uint32_t kSoundDeleteWhenDone = 0x02;
constexpr uint32_t kSoundLoadOnPlay = 0x04;
constexpr uint32_t kSoundWaitForCue = 0x08;
constexpr uint32_t kSoundPanSweep = 0x10;
constexpr uint32_t kSoundHeldInChain = 0x20;
// Requests and state.
constexpr uint32_t kSoundStopRequest = 0x4000;
constexpr uint32_t kSoundDelayedStart = 0x8000;
constexpr uint32_t kSoundArmed = 0x20000;
constexpr uint32_t kSoundLoadFailed = 0x40000;
constexpr uint32_t kSoundFading = 0x80000;
constexpr uint32_t kSoundPanRange = 0x100000;
constexpr uint32_t kSoundPitchRange = 0x200000;
constexpr uint32_t kSoundVolumeRange = 0x400000;
constexpr uint32_t kSoundDeletePending = 0x800000;

class TSoundADV {
 public:
  // A patch file by name (".pat" added when the name has no dot) in `folder` ('|' separated, from the game's
  // root; null or empty: the sounds folder).
  TSoundADV(const char* patchFile, uint32_t flags, const char* folder = nullptr);
  // Patch data the caller holds in memory (and keeps while the object lives).
  TSoundADV(const void* patchData, uint32_t patchBytes, uint32_t flags);
  virtual ~TSoundADV();
  TSoundADV(const TSoundADV&) = delete;
  TSoundADV& operator=(const TSoundADV&) = delete;

  virtual void Play();
  virtual void Stop();
  virtual void SetNext(TSoundADV* next) { chainNext = next; }
  virtual void StopChain();
  virtual void Load();
  virtual void Unload();
  virtual bool IsVarying() const { return (flags & (kSoundPanRange | kSoundPitchRange | kSoundVolumeRange)) != 0; }
  void SetWideVariation() { SetVolumeRange(30, 127), SetPitchRange(34, 114); }
  void SetMediumVariation() { SetVolumeRange(50, 127), SetPitchRange(44, 94); }
  void SetNarrowVariation() { SetVolumeRange(90, 127), SetPitchRange(59, 79); }
  void ScheduleNextVariation();
  void StepVariation();
  virtual void Update(bool allowRetrigger);
  virtual void OnFinished();

  void SetVolume(int v);
  void SetPitch(int p);
  void SetPan(int p);
  void SetVolumeRange(int min, int max);
  void SetPitchRange(int min, int max);
  void SetPanRange(int min, int max);
  void SetStartDelay(int ms) { startDelay = ms; }
  void SetRampTime(int ms) { rampTime = ms; }
  void SetVariationPeriod(int ms);
  void RequestStop() { flags |= kSoundStopRequest; }
  void ClearLoadFailed() { flags &= ~kSoundLoadFailed; }
  void SetAutoVolume(int time);
  int IsPlaying() const;
  int GetVolume() const;

  // The module.
  static void StartSoundSystem();
  static void EnsureSoundSystem();
  static void StopSoundSystem();
  static void UpdateAll(bool allowRetrigger);
  static void MarkAllUnloaded();
  static void SetAllAutoVolume(int time);
  static void UnloadAll();
  static int ReleaseHardware();
  static int ObtainHardware();

  TSoundADV* next = nullptr;
  TSoundADV* chainNext = nullptr;
  char patchFile[32] = {};
  int32_t patchId = -1;
  int32_t voice1 = -1, voice2 = -1;
  MemHandle patchHandle = 0;
  const void* patchData = nullptr;
  uint32_t patchBytes = 0;  // of `patchData`
  uint32_t flags = 0;
  char folder[128] = {};
  int32_t volume = 127, pitch = 64, pan = 64;
  int32_t volFrom = 127, volTo = 127, volMin = 127, volMax = 127;
  int32_t pitchFrom = 64, pitchTo = 64, pitchMin = 64, pitchMax = 64;
  int32_t panFrom = 64, panTo = 64, panMin = 64, panMax = 64;
  int32_t startDelay = 0, variationPeriod = -1, rampTime = 0;
  uint32_t rampStart = 0, nextEvent = 0;

 private:
  void Init(const char* name, uint32_t flags, const void* data, const char* folder);
  bool Active() const;  // the system runs and the window is active
};

// The module's state.
struct SoundModule {
  TSoundADV* soundList = nullptr;
  bool soundRunning = false;
  bool soundStartFailed = false;
  bool soundFilesAllowed = true;
  bool hardwareReleased = false;
  int soundBank = -1;
  std::vector<uint8_t> soundBankMemory;
  PathRecord soundsFolder{}, cdSoundsFolder{};
  PathRecord rootFolder{}, discFolder{};
  bool discFound = false;
  TSoundADV* currentAnnouncerClip = nullptr;
  bool announcerStarted = false;
  uint32_t currentTick = 0;  // the time of this idle pass, in ms
  // The list is walked by the idle pass and changed by any thread that makes or destroys an object.
  std::recursive_mutex lock;
  // Every sample name a play reached the library with, in order (the last 4096): what tests of the program read.
  std::vector<std::string> played;
  // Beside each entry of `played`: where it sits in the sound that was made. The library's server runs once per
  // hundredth of a second of output, so a voice started at server tick t sounds from hundredth t - startTick of
  // the output since the system last started, for `length` hundredths (-1: looped).
  struct PlayMark {
    uint32_t tick = 0;
    int32_t length = 0;
  };
  std::vector<PlayMark> playedAt;
  uint32_t startTick = 0;
  // Every announcer clip queued, as "folder/clip" (the folder empty for the sounds folder), the last 4096.
  std::vector<std::string> queued;
};
SoundModule& Sound();
// Forgets what was played and queued (tests that count from a point).
void ForgetPlayedSounds();

// What the sound layer asks of the rest of the program; each answer has a default for tests without a program.
struct SoundEnvironment {
  int (*windowActive)() = nullptr;          // null: always active
  uint8_t (*soundSettings)() = nullptr;     // null: 0x07
  bool (*roundRunning)() = nullptr;         // null: no round
  bool (*golferCue)() = nullptr;            // the active golfer's announcer cue; null: none
  bool (*golferFactPlaying)() = nullptr;    // null: not playing
  uint32_t (*random31)() = nullptr;         // null: a generator of the module's own
  uint32_t (*clock)() = nullptr;            // null: timeGetTime
  // Whether the game's own disc is in a drive with the program file at its root; null: no disc.
  bool (*gameDiscHasProgram)() = nullptr;
  // The game's root and disc folders; false: no disc.
  void (*folders)(PathRecord* root, PathRecord* disc, bool* discFound) = nullptr;
};
SoundEnvironment& SoundEnv();

bool SoundWindowActive();
uint8_t SoundSettingsByte();
uint32_t SoundRandom31();
// Takes the idle pass's time.
uint32_t SoundTakeTime();

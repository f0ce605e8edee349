// Click sounds, the menu ambience and the clubhouse ambience.
#include "sound/menusounds.h"

#include <new>

#include "sound/effects.h"
#include "sound/soundobject.h"
#include "windows.h"

namespace {

const char* const kClicks[9] = {"default", "action", "cancel", "next", "prev", "switch", "slide", "camera", "phone"};
TSoundADV* gClicks[9] = {};

struct MenuSoundEntry {
  TSoundADV* sound;
  const char* sample;
  int volMin, volMax, pitchMin, pitchMax, panMin, panMax, sweep, period;
};

MenuSoundEntry gMenuTable[] = {
    {nullptr, "drive01", 30, 127, 54, 84, 10, 117, 0, 20000},  {nullptr, "drive02", 30, 127, 54, 84, 10, 117, 0, 20000},
    {nullptr, "drive03", 30, 127, 54, 84, 10, 117, 0, 20000},  {nullptr, "drive04", 30, 127, 54, 84, 10, 117, 0, 20000},
    {nullptr, "drive05", 30, 127, 54, 84, 10, 117, 0, 20000},  {nullptr, "drive06", 30, 127, 54, 84, 10, 117, 0, 20000},
    {nullptr, "drive07", 30, 127, 54, 84, 10, 117, 0, 20000},  {nullptr, "bucket01", 30, 64, 58, 70, 54, 74, 0, 120000},
    {nullptr, "bucket02", 30, 64, 58, 70, 54, 74, 0, 120000},  {nullptr, "bucket03", 30, 64, 58, 70, 54, 74, 0, 120000},
    {nullptr, "bird01_m", 10, 40, 40, 80, 10, 117, 0, 130000}, {nullptr, "bird02_m", 10, 40, 40, 80, 10, 117, 0, 70000},
    {nullptr, "bird03_m", 10, 40, 40, 80, 10, 117, 0, 20000},  {nullptr, "thrsh1", 10, 30, 40, 80, 10, 117, 0, 130000},
    {nullptr, "thrsh3", 10, 30, 40, 80, 10, 117, 0, 50000},    {nullptr, "thrsh4", 10, 30, 40, 80, 10, 117, 0, 130000},
    {nullptr, "crows2", 10, 35, 40, 80, 10, 117, 0, 130000},   {nullptr, "rngannc1", 100, 127, 58, 70, 64, 64, 0, 180000},
    {nullptr, "rngannc2", 100, 127, 58, 70, 64, 64, 0, 180000}, {nullptr, "cleats", 20, 55, 50, 80, 0, 127, 1, 100000},
    {nullptr, "cleats", 20, 55, 50, 80, 127, 0, 1, 100000},
};
MenuSoundEntry gClubhouseTable[] = {
    {nullptr, "bar1", 30, 60, 50, 78, 20, 100, 0, 9000},      {nullptr, "bar2", 30, 60, 50, 78, 20, 100, 0, 9000},
    {nullptr, "cashreg1", 10, 28, 60, 69, 20, 30, 0, 40000},  {nullptr, "cashreg2", 10, 28, 60, 69, 20, 30, 0, 40000},
    {nullptr, "chatter1", 30, 70, 55, 75, 20, 100, 0, 9000},  {nullptr, "chatter2", 50, 80, 55, 75, 20, 100, 0, 9000},
    {nullptr, "chatter3", 50, 80, 55, 75, 20, 100, 0, 9000},  {nullptr, "clinks", 50, 90, 50, 80, 20, 100, 0, 8000},
    {nullptr, "door1", 10, 20, 40, 80, 90, 100, 0, 50000},    {nullptr, "door2", 10, 20, 40, 80, 90, 100, 0, 50000},
    {nullptr, "phone", 10, 24, 64, 64, 70, 80, 0, 30000},
};

struct AmbienceSet {
  const char* loopSample;
  MenuSoundEntry* table;
  int rows;
  TSoundADV* loop = nullptr;
  bool running = false;
};
AmbienceSet gMenu{"range", gMenuTable, sizeof gMenuTable / sizeof gMenuTable[0]};
AmbienceSet gClubhouse{"clubhous", gClubhouseTable, sizeof gClubhouseTable / sizeof gClubhouseTable[0]};

void LoadSet(AmbienceSet& set, bool roundRunning) {
  TSoundADV::MarkAllUnloaded();
  LoadGameSounds();
  const uint8_t settings = SoundSettingsByte();
  if (roundRunning || set.running || (settings & 0x03) != 0x03) return;
  TSoundADV::SetAllAutoVolume(100);
  // The loop's first glide is mostly over when the next pass takes the time again.
  Sound().currentTick = SoundTakeTime() - 4000;
  if (!set.loop) {
    set.loop = new (std::nothrow) TSoundADV(set.loopSample, kSoundUnloadWhenDone);
    if (set.loop) {
      set.loop->SetVolumeRange(60, 94);
      set.loop->SetVolume(0);
      set.loop->SetPitchRange(54, 70);
      set.loop->SetRampTime(5000);
    }
  }
  if (set.loop) {
    set.loop->SetVariationPeriod(5000);
    set.loop->Play();
  }
  for (int i = 0; i < set.rows; ++i) {
    MenuSoundEntry& row = set.table[i];
    if (!row.sound) {
      row.sound = new (std::nothrow) TSoundADV(row.sample, row.sweep ? 0x15 : 0x05);
      if (!row.sound) continue;
      row.sound->SetVolumeRange(row.volMin, row.volMax);
      row.sound->SetPitchRange(row.pitchMin, row.pitchMax);
      row.sound->SetPanRange(row.panMin, row.panMax);
    }
    row.sound->SetVariationPeriod(row.period);
  }
  set.running = true;
}

void StopSet(AmbienceSet& set) {
  if (!set.running) return;
  if (set.loop) set.loop->SetAutoVolume(30);
  for (int i = 0; i < set.rows; ++i)
    if (TSoundADV* o = set.table[i].sound) {
      o->SetVariationPeriod(-1);
      o->SetAutoVolume(30);
    }
  set.running = false;
}

bool RoundRunning() { return SoundEnv().roundRunning && SoundEnv().roundRunning(); }

}  // namespace

void LoadClickSounds() {
  for (int i = 0; i < 9; ++i)
    if (!gClicks[i]) {
      gClicks[i] = new (std::nothrow) TSoundADV(kClicks[i], 0);
      if (gClicks[i]) gClicks[i]->SetVolume(70);
    }
}

void FreeClickSounds() {
  for (TSoundADV*& click : gClicks) {
    if (!click) continue;
    // A click still playing is waited for, a bounded time.
    for (int waited = 0; click->IsPlaying() && waited < 3000; waited += 10) {
      Sleep(10);
      TSoundADV::UpdateAll(false);
    }
    delete click;
    click = nullptr;
  }
}

TSoundADV* GetMenuSound(int index) { return index >= 0 && index < 9 ? gClicks[index] : nullptr; }

void LoadMenuSounds() { LoadSet(gMenu, RoundRunning()); }
void LoadClubhouseSounds() { LoadSet(gClubhouse, RoundRunning()); }
void StopMenuSoundSet() { StopSet(gMenu); }
void StopClubhouseSoundSet() { StopSet(gClubhouse); }

void FadeMenuAmbient() {
  StopMenuSoundSet();
  StopClubhouseSoundSet();
}

void FadeMenuSounds() {
  for (MenuSoundEntry& row : gMenuTable)
    if (row.sound) row.sound->SetAutoVolume(50);
}

void FreeMenuSoundSets() {
  for (AmbienceSet* set : {&gMenu, &gClubhouse}) {
    delete set->loop;
    set->loop = nullptr;
    for (int i = 0; i < set->rows; ++i) {
      delete set->table[i].sound;
      set->table[i].sound = nullptr;
    }
    set->running = false;
  }
}

bool MenuSoundsRunning() { return gMenu.running; }
bool ClubhouseSoundsRunning() { return gClubhouse.running; }
TSoundADV* MenuAmbientLoop() { return gMenu.loop; }

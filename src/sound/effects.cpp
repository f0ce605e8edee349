// The effect bank, crowd groups, wind and ambient loops, the announcer's queue and clip variants.
#include "sound/effects.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "sound/menusounds.h"
#include "sound/soundobject.h"

namespace {

enum Setup { kNone, kForenear, kMedium, kNarrow, kWide, kSafe, kDelay };
enum Reload { kClearOnly, kClearAndLoad };

struct EffectRow {
  const char* sample;
  uint32_t flags;
  Setup setup;
  Reload reload;
};

// In the order they are made; the crowd variants come after "ironpine".
const EffectRow kEffectsBefore[] = {
    {"forenear", 0x05, kForenear, kClearOnly}, {"wind-22s", 0, kNone, kClearAndLoad},
    {"windgust", 0, kNone, kClearAndLoad},     {"inwater", 0, kMedium, kClearAndLoad},
    {"landtrap", 0, kMedium, kClearAndLoad},   {"landfway", 0, kNarrow, kClearAndLoad},
    {"hitrough", 0, kNarrow, kClearAndLoad},   {"landgren", 0, kNarrow, kClearAndLoad},
    {"hitpath", 0, kMedium, kClearAndLoad},    {"skipcup", 0, kNarrow, kClearAndLoad},
    {"intocup1", 0, kNarrow, kClearAndLoad},   {"intocup2", 0, kNarrow, kClearAndLoad},
    {"intocup3", 0, kNarrow, kClearAndLoad},   {"hitbush", 0, kWide, kClearAndLoad},
    {"hitsign", 0, kMedium, kClearAndLoad},    {"hitlevs", 0, kWide, kClearAndLoad},
    {"hitpin", 0, kNarrow, kClearAndLoad},     {"sandwedg", 0, kNarrow, kClearAndLoad},
    {"putter", 0, kNarrow, kClearAndLoad},     {"fullwedg", 0, kNarrow, kClearAndLoad},
    {"mtldrvr", 0, kNarrow, kClearAndLoad},    {"ironfway", 0, kNarrow, kClearAndLoad},
    {"ironruff", 0, kNarrow, kClearAndLoad},   {"woodfway", 0, kNarrow, kClearAndLoad},
    {"woodrgh1", 0, kNarrow, kClearAndLoad},   {"woodrgh2", 0, kNarrow, kClearAndLoad},
    {"3woodchp", 0, kNarrow, kClearAndLoad},   {"chiprugh", 0, kNarrow, kClearAndLoad},
    {"chipfair", 0, kNarrow, kClearAndLoad},   {"ironpine", 0, kNarrow, kClearAndLoad},
};
const EffectRow kEffectsAfter[] = {
    {"playsafe", 0, kSafe, kClearOnly},       {"goforit", 0, kSafe, kClearOnly},
    {"bighit2", 0, kNone, kClearAndLoad},     {"zarshot", 0, kDelay, kClearAndLoad},
    {"inzone", 0, kNone, kClearAndLoad},
};
constexpr int kBefore = sizeof kEffectsBefore / sizeof kEffectsBefore[0];
constexpr int kAfter = sizeof kEffectsAfter / sizeof kEffectsAfter[0];

const char* const kCrowd[5][5] = {
    {"crwdr16"}, {"crwdmed1"}, {"crwdmed2"}, {"clapbogi"}, {"crwddspt"}};

struct EffectState {
  TSoundADV* before[kBefore] = {};
  TSoundADV* after[kAfter] = {};
  TSoundADV* crowd[5][5] = {};
  int crowdNext[5] = {};
  TSoundADV* lastCrowd = nullptr;
  std::vector<std::pair<TSoundADV*, int>> courseAmbient;
};
EffectState gFx;

void SetUp(TSoundADV* o, Setup setup) {
  switch (setup) {
    case kForenear: o->SetVolumeRange(90, 127), o->SetPitchRange(59, 69); break;
    case kMedium: o->SetMediumVariation(); break;
    case kNarrow: o->SetNarrowVariation(); break;
    case kWide: o->SetWideVariation(); break;
    case kSafe: o->SetVolumeRange(90, 100); break;
    case kDelay: o->SetStartDelay(800); break;
    case kNone: break;
  }
}

void MakeOrRevive(TSoundADV*& slot, const EffectRow& row) {
  if (!slot) {
    slot = new (std::nothrow) TSoundADV(row.sample, row.flags);
    if (slot) SetUp(slot, row.setup);
    return;
  }
  if (slot->patchId >= 0) return;
  slot->ClearLoadFailed();
  if (row.reload == kClearAndLoad) slot->Load();
}

uint8_t Settings() { return SoundSettingsByte(); }
bool SoundsOn() { return (Settings() & 0x01) != 0; }
bool CommentaryOn() { return (Settings() & 0x05) == 0x05; }

}  // namespace

void LoadGameSounds() {
  LoadClickSounds();
  for (int i = 0; i < kBefore; ++i) MakeOrRevive(gFx.before[i], kEffectsBefore[i]);
  for (int g = 0; g < 5; ++g)
    for (int v = 0; v < 5; ++v)
      if (kCrowd[g][v] && !gFx.crowd[g][v]) {
        TSoundADV* o = new (std::nothrow) TSoundADV(kCrowd[g][v], 0x05);
        if (o) o->SetVolumeRange(90, 110), o->SetPitchRange(56, 74);
        gFx.crowd[g][v] = o;
      }
  for (int i = 0; i < kAfter; ++i) MakeOrRevive(gFx.after[i], kEffectsAfter[i]);
}

void FreeGameSounds() {
  FreeClickSounds();
  auto destroy = [](TSoundADV*& o) {
    delete o;
    o = nullptr;
  };
  for (TSoundADV*& o : gFx.before) destroy(o);
  for (auto& group : gFx.crowd)
    for (TSoundADV*& o : group) destroy(o);
  for (TSoundADV*& o : gFx.after) destroy(o);
  for (auto& [o, period] : gFx.courseAmbient) destroy(o);
  gFx.courseAmbient.clear();
  gFx.lastCrowd = nullptr;
  FreeMenuSoundSets();
  // Clips still queued go too.
  SoundModule& s = Sound();
  std::lock_guard<std::recursive_mutex> hold(s.lock);
  for (TSoundADV* o = s.soundList; o;) {
    TSoundADV* after = o->next;
    if (o->flags & kSoundDeleteWhenDone) delete o;
    o = after;
  }
  s.currentAnnouncerClip = nullptr;
  s.announcerStarted = false;
}

TSoundADV* GameSound(const char* sample) {
  for (int i = 0; i < kBefore; ++i)
    if (std::strcmp(kEffectsBefore[i].sample, sample) == 0) return gFx.before[i];
  for (int i = 0; i < kAfter; ++i)
    if (std::strcmp(kEffectsAfter[i].sample, sample) == 0) return gFx.after[i];
  for (int g = 0; g < 5; ++g)
    for (int v = 0; v < 5; ++v)
      if (kCrowd[g][v] && std::strcmp(kCrowd[g][v], sample) == 0) return gFx.crowd[g][v];
  return nullptr;
}

TSoundADV* NextSoundVariant(int group) {
  if (group < 0 || group >= 5) return nullptr;
  int& at = gFx.crowdNext[group];
  TSoundADV* o = gFx.crowd[group][at];
  if (++at == 5 || !gFx.crowd[group][at]) at = 0;
  return o;
}

TSoundADV* LastCrowdSound() { return gFx.lastCrowd; }

void PlayCrowdGroup(int group) {
  gFx.lastCrowd = nullptr;
  TSoundADV* o = NextSoundVariant(group);
  if (!o) return;
  o->Play();
  gFx.lastCrowd = o;
}

// ---- the announcer's queue ---------------------------------------------------------------------------------------

void NewAnnouncerClip(const char* clip, const char* folder, uint32_t flags) {
  if (!CommentaryOn()) return;
  TSoundADV* o = new (std::nothrow) TSoundADV(clip, flags | kSoundDeleteWhenDone, folder);
  if (!o) return;
  o->SetVolume(127);
  SoundModule& s = Sound();
  {
    std::lock_guard<std::recursive_mutex> hold(s.lock);
    if (s.queued.size() >= 4096) s.queued.erase(s.queued.begin());
    s.queued.push_back(std::string(folder ? folder : "") + "/" + clip);
  }
  if (!s.currentAnnouncerClip) {
    s.currentAnnouncerClip = o;
    return;
  }
  TSoundADV* last = s.currentAnnouncerClip;
  for (int steps = 0; last->chainNext && steps < 4096; ++steps) last = last->chainNext;
  last->SetNext(o);
}

void PlayAnnouncerClip() {
  SoundModule& s = Sound();
  if (!s.currentAnnouncerClip || s.announcerStarted) return;
  s.announcerStarted = true;
  s.currentAnnouncerClip->Play();
}

int PlayDeferredAnnouncerClip() {
  TSoundADV* clip = Sound().currentAnnouncerClip;
  if (clip && (clip->flags & kSoundWaitForCue)) PlayAnnouncerClip();
  return 1;
}

void StopAnnouncerClips() {
  if (TSoundADV* clip = Sound().currentAnnouncerClip) clip->StopChain();
}

// ---- clip variants -----------------------------------------------------------------------------------------------

namespace {

struct TCommentaryVariants {
  char stem[16];
  int32_t count;
  uint32_t used;
};
constexpr size_t kVariantRecords = 2000;
std::vector<TCommentaryVariants> gVariants;
ClipRestrictions gRestrictions;

// Stem and mask (hex), an empty stem ending the list.
const char* const kRestrictedGolfer[] = {
    "AG001", "1", "AG099", "6", "AG103", "3", "AG203", "4", "AG299", "1", "AG3102", "1", "AG3110", "2",
    "AG3140", "2", "AG3200", "1", "AG3202", "3", "AG3210", "2", "AG3302", "1", "AG4100", "1", "AG4110", "3",
    "AG4120", "1", "AG4200", "1", "AG4210", "2", "AG4305", "1", "AG4320", "1", "AG4400", "2", "AG4410", "1",
    "AG5215", "5", "AG5305", "1", "AG5315", "1", "AG5335", "3", "AG5415", "2", "AG5502", "1", "APG1GE", "5",
    "APG1PU", "2", "APGBIRD", "2A", "APGBOGD", "5", "APGLONG", "11", "APGPAR", "80", "AT1KEEP", "20",
    "AT1SHT", "1", "AT3GOT", "29", "AT3LOW", "8", "AT3ONE", "14", "AT4FAI5", "A", "AT4FAIR", "8",
    "AT4P280", "22", "ATSBACK", "1D", "ATSNEW", "6", "ATSTIE", "4", "ATSTOP", "1", "BIRDIEG", "2",
    "BIRDIEP", "1", "BIRDIER", "4", "DORMIE", "1", "DOWNHL", "6", "EAGLERA", "6", "FLUB", "A", "FSHOT2", "2",
    "FSHOT3", "2", "FSHOT4", "1", "FSHOT5", "2", "PAPBACK", "2", "PAPFRON", "8", "PBSHOT2", "2",
    "PBSHOT3", "2", "PBSHOT5", "2", "PCRSBRL", "4", "PCRSBRR", "8", "PCRSWIL", "5", "PCRSWIR", "8",
    "PDRO", "40", "PFRINGR", "2", "PFWSHO2", "1", "PFWSHO3", "2", "PFWSHO4", "6", "PFWSHO5", "2",
    "PFWSHO7", "1", "PFWSHO8", "2", "PFWSHO9", "2", "PGPBRD", "2", "PGPBRDR", "1", "PGPBRR", "1",
    "PGPBRU", "1", "PGPBRUL", "2", "PGPBRUR", "4", "PGPCUP", "1", "PHEDBRE", "3", "PHEDWIN", "2",
    "PICKUP", "1", "PMHALF", "6", "PMHF05", "2", "PMHF20", "5", "PMHF30", "6", "PMLOSE", "5", "PMTIEM", "1",
    "PMTM30", "2", "PMWH05", "1", "PMWH20", "5", "PMWINM", "17", "PMWM05", "6", "PRIP", "1", "PRO2", "2",
    "PROF", "84", "PROLEFT", "4", "PRORIGH", "2", "PROS", "12", "PSSPMAN", "4", "PSSPONE", "1",
    "PTALBRE", "4", "PTALWIN", "C", "PTEABL", "2", "PTEBBIR", "3", "PTEBBOG", "3", "PTEBEAG", "3",
    "PTEBHON", "3", "PTEBOB", "3", "PTEBPAR", "3", "PTEBTRE", "3", "PTEBWAT", "2", "PTEE07", "1",
    "PTEE16", "1", "PTSPTIE", "6", "PTSPTOP", "9", "PWTWIN", "12", "SSCWIN", "1", "SSCWINS", "2", "WATER", "4",
    nullptr};
const char* const kRestrictedLine[] = {"windcal", "1", "windhig", "4", "at3got", "1D", "finrgh", "A", "at3low", "1",
                                       "at4fair", "3", "at4fai5", "B", "out", "4", nullptr};

uint32_t Excluded(const char* const* list, const char* name) {
  uint32_t mask = 0;
  for (int i = 0; list && list[i] && list[i][0]; i += 2)
    if (strcasecmp(list[i], name) == 0) mask |= static_cast<uint32_t>(std::strtoul(list[i + 1], nullptr, 16));
  return mask;
}

}  // namespace

ClipRestrictions& ClipRestrictionsInForce() { return gRestrictions; }
void ResetClipVariants() { gVariants.clear(); }

int PickClipVariant(const char* name, int count) {
  if (count < 1 || count > 31) return 0;
  TCommentaryVariants* record = nullptr;
  for (TCommentaryVariants& r : gVariants)
    if (r.count == count && strcasecmp(r.stem, name) == 0) {
      record = &r;
      break;
    }
  // A full table chooses without repeat tracking.
  if (!record && gVariants.size() < kVariantRecords) {
    TCommentaryVariants r{};
    std::strncpy(r.stem, name, sizeof r.stem - 1);
    r.count = count;
    gVariants.push_back(r);
    record = &gVariants.back();
  }
  uint32_t excluded = 0;
  if (gRestrictions.golferList) excluded |= Excluded(kRestrictedGolfer, name) | Excluded(gRestrictions.courseStems, name);
  if (gRestrictions.lineList) excluded |= Excluded(kRestrictedLine, name);
  const uint32_t full = (1u << count) - 1;
  excluded &= full;
  if (excluded == full) return 0;
  if (record) {
    const uint32_t withUsed = excluded | record->used;
    if ((withUsed & full) == full)
      record->used = 0;
    else
      excluded = withUsed;
  }
  int n = static_cast<int>(SoundRandom31() % static_cast<uint32_t>(count));
  while (excluded & (1u << n)) n = (n + 1) % count;
  if (record) record->used |= 1u << n;
  return n + 1;
}

void AppendClipVariant(const char* stem, int count, std::string& buffer) {
  if (stem) buffer += stem;
  const int n = PickClipVariant(buffer.c_str(), count);
  char digits[8];
  std::snprintf(digits, sizeof digits, count > 9 ? "%02d" : "%d", n);
  buffer += digits;
}

// ---- wind and ambience -------------------------------------------------------------------------------------------

void UpdateWindSounds(int windSetting) {
  TSoundADV* wind = GameSound("wind-22s");
  TSoundADV* gust = GameSound("windgust");
  if (!SoundsOn() || !wind || !gust) return;
  struct Row {
    int volMin, volMax, pitchMin, pitchMax, glide, period, gustVolMin, gustVolMax, gustPitchMin, gustPitchMax, gustPeriod;
  };
  static const Row kRows[3] = {{15, 37, 54, 70, 1500, 2300, -1, -1, -1, -1, -1},
                               {20, 64, 54, 80, 1100, 1400, 30, 80, 40, 100, 10000},
                               {45, 95, 54, 110, 500, 400, 50, 120, 50, 127, 5000}};
  if (windSetting < 0 || windSetting > 2) return;
  const Row& r = kRows[windSetting];
  wind->SetVolumeRange(r.volMin, r.volMax);
  wind->SetPitchRange(r.pitchMin, r.pitchMax);
  wind->SetRampTime(r.glide);
  wind->SetVariationPeriod(r.period);
  if (r.gustVolMin >= 0) {
    gust->SetVolumeRange(r.gustVolMin, r.gustVolMax);
    gust->SetPitchRange(r.gustPitchMin, r.gustPitchMax);
  }
  gust->SetVariationPeriod(r.gustPeriod);
}

void StartAmbientSounds(int windSetting) {
  if (!SoundsOn()) return;
  UpdateWindSounds(windSetting);
  if (TSoundADV* wind = GameSound("wind-22s")) wind->Play();
  for (auto& [o, period] : gFx.courseAmbient) o->SetVariationPeriod(period);
}

void StopAmbientSounds() {
  if (!SoundsOn()) return;
  for (const char* name : {"wind-22s", "windgust"})
    if (TSoundADV* o = GameSound(name)) o->SetVariationPeriod(-1), o->Stop();
  for (auto& [o, period] : gFx.courseAmbient) o->SetVariationPeriod(-1), o->Stop();
}

void AddCourseAmbientSound(TSoundADV* sound, int period) {
  if (sound) gFx.courseAmbient.emplace_back(sound, period);
}

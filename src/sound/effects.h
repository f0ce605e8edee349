// The game's in-round sound vocabulary: the effect bank, the crowd groups, the wind and ambient loops of a
// round, the announcer's clip queue and the choice of clip variants without repeats.
#pragma once

#include <cstdint>
#include <string>

class TSoundADV;

// Makes or revives the effect bank (the click sounds first).
void LoadGameSounds();
// Frees the click sounds, then every effect, crowd variant and course ambient sound.
void FreeGameSounds();
// An effect object by its sample name (null when not made or unknown).
TSoundADV* GameSound(const char* sample);

// The crowd: five groups of variants played round-robin.
TSoundADV* NextSoundVariant(int group);
// The crowd sound last played (null: none).
TSoundADV* LastCrowdSound();
void PlayCrowdGroup(int group);

// The announcer's queue.
void NewAnnouncerClip(const char* clip, const char* folder, uint32_t flags);
void PlayAnnouncerClip();
int PlayDeferredAnnouncerClip();
void StopAnnouncerClips();

// Variants of a clip stem, chosen without repeats until all have been used; 0 when every variant is excluded.
int PickClipVariant(const char* name, int count);
// Appends `stem` (when not null) to `buffer`, then the chosen variant of the whole text ("%02d" above 9 variants).
void AppendClipVariant(const char* stem, int count, std::string& buffer);
// Whether the restricted lists apply (the seam answers; tests set them).
struct ClipRestrictions {
  bool golferList = false;  // the restricted-golfer list and the course's list
  bool lineList = false;    // the restricted-line list
  const char* const* courseStems = nullptr;  // the course's exclusion rows: stem, mask (hex) pairs, null-ended
};
ClipRestrictions& ClipRestrictionsInForce();
// Forgets every variant record (tests).
void ResetClipVariants();

// The round's wind and ambient loops.
void UpdateWindSounds(int windSetting);
void StartAmbientSounds(int windSetting);
void StopAmbientSounds();
// The course's ambient sounds (the course loader fills them): each with its variation period.
void AddCourseAmbientSound(TSoundADV* sound, int period);

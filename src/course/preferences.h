// The preference store: the numbered preferences kept as registry values of the product key, and the 24-byte
// preferences block kept in the file "vex3d.dat".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/preferencevalues.h"  // the numbered registry values
#include "framework/core/services.h"  // numbers 0, 7, 9 and 10: the start-up's own

// ---- numbered preferences (registry) -----------------------------------------------------------------------


// ---- the preferences block ("vex3d.dat") ----------------------------------------------------------------
struct PreferencesBlock {
  uint8_t bytes[24];
};
static_assert(sizeof(PreferencesBlock) == 24);

// Bits of the sound settings byte (the block's first byte).
constexpr uint8_t kSoundAll = 0x01;
constexpr uint8_t kSoundMenu = 0x02;
constexpr uint8_t kSoundCommentary = 0x04;
constexpr uint8_t kSoundMusic = 0x20;

PreferencesBlock& Preferences();
inline uint8_t& SoundSettings() { return Preferences().bytes[0]; }
// The defaults: the first 32-bit word 0x1F (sounds, menu sounds and commentary on, music off), the rest 0.
PreferencesBlock DefaultPreferencesBlock();

constexpr const char* kPreferencesFileName = "vex3d.dat";
// The folder of "vex3d.dat" as a path of the platform (the program's folder); empty: the current folder.
void SetPreferencesFolder(const std::string& folder);

constexpr int kPrefsFileRead = 0;
constexpr int kPrefsFileAbsent = 1;
constexpr int kPrefsFileRefused = 2;
// Resets the block to its defaults, then takes the file's block when the file is sound. 0 read, 1 no file,
// 2 a damaged file refused (the defaults stay; the reason is in PreferencesProblem() and on standard error).
int InitPreferencesFile();
// Writes the block to a temporary file and renames it over "vex3d.dat", so a failed save keeps the previous
// file. 0 written, else 2 (reason in PreferencesProblem()).
int SavePreferencesFile();
const std::string& PreferencesProblem();

// The file form: "VX3D", u32 block length (24), the block, u32 CRC-32 of the block; 36 bytes, little-endian.
constexpr size_t kPreferencesFileBytes = 36;
std::vector<uint8_t> EncodePreferencesFile(const PreferencesBlock& block);
bool DecodePreferencesFile(const uint8_t* data, size_t size, PreferencesBlock& out, std::string& error);

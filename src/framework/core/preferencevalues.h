// The numbered preferences: registry values of the product key, 0 to 10. The null preferences provider and the
// course layer's preference store both read and write them here.
#pragma once

#include <cstdint>

constexpr int kPreferenceCount = 11;
// The render settings among them.
constexpr int kPrefDriverEnumeration = 1;
constexpr int kPrefFogDensity = 2;
constexpr int kPrefObjectTextureDepth = 3;
constexpr int kPrefObjectDetail = 4;
constexpr int kPrefTerrainDetail = 5;
constexpr int kPrefAnimateWater = 6;
constexpr int kPrefSwingSensitivity = 8;

// 0 when read; 1 for a bad number, no variable, a missing value or one that is not a 32-bit number (the
// caller then keeps its default).
int GetPreference(int index, int32_t* value);
// 0 when written; 1 for a bad number, 2 when the registry refused the write.
int SetPreference(int index, int32_t value);
// The registry section and value name of a preference; null for a bad number.
const char* PreferenceSection(int index);
const char* PreferenceValueName(int index);

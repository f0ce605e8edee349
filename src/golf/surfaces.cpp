#include "golf/surfaces.h"

#include <strings.h>

#include <cstring>

#include "golf/playerinfo.h"

SurfaceCoefficients SurfaceTable[kSurfaceTableEntries];

namespace {

struct DefaultRow {
  float c0, c1, c2, depthInches, c4;
};

constexpr DefaultRow kDefaults[16] = {
    {0.0f, 1.0f, 1.0f, 4.0f, 0.0f},    {0.31f, 0.7f, 0.49f, 4.0f, 0.0f}, {0.05f, 0.9f, 1.5f, 9.0f, 0.0f},
    {0.25f, 0.8f, 1.0f, 6.0f, 0.0f},   {0.2f, 0.9f, 1.5f, 7.5f, 0.0f},   {0.0f, 0.0f, 5.0f, 7.5f, 0.0f},
    {0.31f, 0.7f, 0.49f, 4.0f, 0.0f},  {0.21f, 0.9f, 0.153f, 3.0f, 0.0f}, {0.12f, 0.9f, 1.5f, 6.0f, 0.0f},
    {0.05f, 0.8f, 1.5f, 6.0f, 0.0f},   {0.58f, 0.35f, 0.23f, 4.0f, 0.0f}, {0.3f, 0.8f, 0.26f, 5.0f, 0.0f},
    {0.14f, 0.8f, 1.5f, 6.0f, 0.0f},   {0.31f, 0.7f, 0.49f, 4.0f, 0.0f}, {0.31f, 0.7f, 0.49f, 4.0f, 0.0f},
    {0.31f, 0.7f, 0.49f, 4.0f, 0.0f},
};

// Filled once: the depth column in yards.
struct DefaultTable {
  SurfaceCoefficients rows[16];
  DefaultTable() {
    for (int i = 0; i < 16; ++i) {
      const DefaultRow& d = kDefaults[i];
      rows[i] = SurfaceCoefficients{d.c0, d.c1, d.c2, d.depthInches / 36.0f, d.c4};
    }
  }
};

const DefaultTable& defaults() {
  static const DefaultTable table;
  return table;
}

int settingOf(uint8_t playerInfoFields::*field) {
  return ActiveGolferRecord ? ActiveGolferRecord->*field : 1;
}

int classOf(uint8_t surfaceByte) { return surfaceByte >> 4; }

// Factors on c1 and c0 for a setting: 0 soft, 2 firm.
float bounceFactor(int setting) { return setting == 0 ? 0.85f : setting == 2 ? 1.15f : 1.0f; }
float frictionFactor(int setting) { return setting == 0 ? 1.15f : setting == 2 ? 0.75f : 1.0f; }

int groundSettingFor(int cls) {
  if (cls == 7 || cls == 11) return GreenSetting();
  if (cls == 1) return FairwaySetting();
  return 1;
}

struct TableStartUp {
  TableStartUp() { SurfaceTableReset(); }
} g_startUp;

}  // namespace

int GreenSetting() { return settingOf(&playerInfoFields::option2); }
int FairwaySetting() { return settingOf(&playerInfoFields::option1); }
int RoughSetting() { return settingOf(&playerInfoFields::option3); }

void SurfaceTableReset() {
  for (int i = 0; i < 16; ++i) SurfaceTable[i] = defaults().rows[i];
  SurfaceTable[16] = SurfaceCoefficients{};
}

void SurfaceTableSet(int surfaceClass, const char* name) {
  if (surfaceClass < 0 || surfaceClass >= 17 || !name || !*name) return;
  SurfaceCoefficients& e = SurfaceTable[surfaceClass];
  if (strcasecmp(name, "Plank") == 0) {
    e = SurfaceCoefficients{0.4f, 0.35f, 0.1f, 0.2f / 36.0f, 0.0f};
  } else if (strcasecmp(name, "Hazard") == 0) {
    e = SurfaceTable[10];
  } else if (std::strcmp(name, "Water") == 0) {
    e = SurfaceTable[5];
  }
}

float SurfaceGetCoefficient(uint8_t surfaceByte) { return SurfaceTable[classOf(surfaceByte)].c4; }

float SurfaceBounce(uint8_t surfaceByte) {
  const int cls = classOf(surfaceByte);
  return SurfaceTable[cls].c1 * bounceFactor(groundSettingFor(cls));
}

float SurfaceFriction(uint8_t surfaceByte) {
  const int cls = classOf(surfaceByte);
  return SurfaceTable[cls].c0 * frictionFactor(groundSettingFor(cls));
}

float SurfaceRollFactor(int lie) {
  if (lie == 7 || lie == 11) {
    const int s = GreenSetting();
    return s == 0 ? 0.8f : s == 2 ? 1.3f : 1.0f;
  }
  if (lie == 1) {
    const int s = FairwaySetting();
    return s == 0 ? 1.0f : s == 2 ? 1.5f : 1.3f;
  }
  if (lie == 3 || lie == 4) return RoughSetting() == 1 ? 1.4f : 1.0f;
  return 1.0f;
}

#include "golf/wind.h"

#include <algorithm>
#include <memory>

#include "mmsystem.h"
#include "windows.h"

namespace {

std::unique_ptr<TWindADV> g_base;
std::unique_ptr<TWindADV> g_gust;

uint32_t g_seed = 1;

uint32_t now() { return timeGetTime(); }
uint32_t random31() {
  g_seed = g_seed * 1103515245u + 12345u;
  const uint32_t hi = g_seed >> 16;
  g_seed = g_seed * 1103515245u + 12345u;
  return ((hi << 16) | (g_seed >> 16)) & 0x7FFFFFFFu;
}

}  // namespace

void TWindADV::SetRange(int32_t min, int32_t max) {
  minimum = min;
  maximum = max;
  if (min == max) current = min;
  else if (current < min || current > max) current = min + (max - min) / 2;
  // Until the first new target the value stays where the range put it.
  start = target = current;
}

void TWindADV::SetPeriod(int32_t p) {
  period = p;
  if (p != -1) ScheduleNextChange();
}

void TWindADV::ScheduleNextChange() {
  if (period <= 0) {
    nextChange = now();
    return;
  }
  const uint32_t p = static_cast<uint32_t>(period);
  nextChange = now() + random31() % p + random31() % p;
}

void TWindADV::PickNewTarget() {
  start = current;
  // A range that can pick is wider than one value; an equal range keeps its value.
  target = maximum > minimum ? minimum + static_cast<int32_t>(random31() % static_cast<uint32_t>(maximum - minimum))
                             : current;
  if (transition < 1) current = target;
  transitionBegan = now();
  if (period != -1) ScheduleNextChange();
}

int TWindADV::Update() {
  if (period == -1 || transition == -1) return 0;
  int picked = 0;
  if (static_cast<int32_t>(now() - nextChange) >= 0) {
    PickNewTarget();
    picked = 1;
  }
  if (transition > 0) {
    const int64_t elapsed = std::min<int64_t>(static_cast<int32_t>(now() - transitionBegan), transition);
    current = start + static_cast<int32_t>((static_cast<int64_t>(target - start) * std::max<int64_t>(elapsed, 0)) / transition);
  }
  return picked;
}

void SeedWind(uint32_t seed) { g_seed = seed; }

void CreateWindGenerators() {
  if (!g_base) g_base = std::make_unique<TWindADV>();
  if (!g_gust) g_gust = std::make_unique<TWindADV>();
}

void DeleteWindGenerators() {
  g_base.reset();
  g_gust.reset();
}

TWindADV* BaseWindGenerator() { return g_base.get(); }
TWindADV* GustGenerator() { return g_gust.get(); }

int32_t GetCurrentWind() {
  if (!g_base || !g_gust) return 0;
  g_base->Update();
  g_gust->Update();
  return std::clamp(g_base->Value() + g_gust->Value(), 0, 30);
}

void SetupWind(int setting, bool gusting) {
  CreateWindGenerators();
  TWindADV& base = *g_base;
  TWindADV& gust = *g_gust;
  // Base and gust ranges, and for gusts the transition times and periods, of the moderate and strong winds: a
  // steady moderate wind blows 7 mph, a steady strong one 14; gusting, 7..18 and 14..30.
  struct Preset {
    int32_t baseLow, baseHigh, baseTransition, basePeriod, gustLow, gustHigh;
  };
  static constexpr Preset kPresets[3] = {{0, 0, 0, -1, 0, 0}, {9, 13, 1100, 3000, -2, 7}, {18, 24, 800, 1700, -4, 10}};
  if (setting < 0 || setting > 2) return;
  const Preset& p = kPresets[setting];
  if (setting == 0 || !gusting) {
    base.SetRange(p.baseLow, p.baseLow);
    base.SetPeriod(-1);
    gust.SetRange(p.gustLow, p.gustLow);
    gust.SetPeriod(-1);
    return;
  }
  base.SetRange(p.baseLow, p.baseHigh);
  base.SetTransitionTime(p.baseTransition);
  base.SetPeriod(p.basePeriod);
  gust.SetRange(p.gustLow, p.gustHigh);
  gust.SetTransitionTime(2000);
  gust.SetPeriod(5000);
}

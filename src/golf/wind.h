// Gusts: slowly varying random values on the program's tick counter. The round's wind is a base value and a gust,
// each from a generator of its own; their sum, held within 0..30 mph, is the current wind speed.
#pragma once
#include <cstdint>

class TWindADV {
 public:
  virtual ~TWindADV() = default;
  void SetValue(int32_t v) { current = v; }
  // Equal bounds fix the value; a value outside the range moves to its middle.
  void SetRange(int32_t min, int32_t max);
  // -1: the value never changes by itself.
  void SetPeriod(int32_t period);
  void SetTransitionTime(int32_t ticks) { transition = ticks; }
  virtual void ScheduleNextChange();
  virtual void PickNewTarget();
  // Moves the value toward its target; 1 when a new target was picked.
  virtual int Update();
  int32_t Value() const { return current; }
  int32_t Minimum() const { return minimum; }
  int32_t Maximum() const { return maximum; }

  int32_t reserved = 0;
  int32_t current = 0;
  int32_t start = 0;
  int32_t target = 0;
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t period = -1;
  int32_t transition = 0;
  uint32_t transitionBegan = 0;
  uint32_t nextChange = 0;
};

// The generators draw from a sequence of their own (the shared random numbers stay as every machine has them),
// started from this seed.
void SeedWind(uint32_t seed);
void CreateWindGenerators();
void DeleteWindGenerators();
TWindADV* BaseWindGenerator();  // null before CreateWindGenerators
TWindADV* GustGenerator();
// Updates the base and then the gust generator: their sum within 0..30 (0 without generators).
int32_t GetCurrentWind();
// The generators for a wind setting (0 none, 1 moderate, 2 strong; others change nothing) and the gusting flag.
// Creates them when missing.
void SetupWind(int setting, bool gusting);

// Processor identification and clock-rate measurement.
#include "platformlib/core/cpu.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"
#include "winapi_cpu.h"

int cpupentium = 0;
int cpup6 = 0;
int cpuextended = 0;
int cpuhasmmx = 0;
int cputsc = 0;
int cpucmov = 0;
int cpuintel = 0;
int cpucyrix = 0;
int cpuamd = 0;
char cpuvendor[13] = {};
int cpufamily = 0;
int cpumodel = 0;
int cpustepping = 0;
uint32_t cpuspeed = 0;

namespace {

const char kFile[] = "win\\cpuid.c";
bool identified = false;

// Second-smallest of the samples (the smallest when the second is 0).
uint32_t secondsmallest(const uint32_t* samples, int count) {
  uint32_t smallest = UINT32_MAX, second = UINT32_MAX;
  for (int i = 0; i < count; ++i) {
    if (samples[i] < smallest) {
      second = smallest;
      smallest = samples[i];
    } else if (samples[i] < second) {
      second = samples[i];
    }
  }
  if (second == UINT32_MAX || second == 0) return smallest == UINT32_MAX ? 0 : smallest;
  return second;
}

double error(double candidate, double mhz, double weight) {
  return candidate < mhz ? 8 * (mhz - candidate) * weight : (candidate - mhz) * weight;
}

}  // namespace

int getcpuidflag() { return CpuidSupported() ? 1 : 0; }

void cpuidquery(uint32_t out[4], uint32_t leaf) {
  uint32_t regs[4];  // eax, ebx, ecx, edx
  Cpuid(leaf, regs);
  out[0] = regs[0];
  out[1] = regs[1];
  out[2] = regs[3];
  out[3] = regs[2];
}

// The division flag test tells a Cyrix part without CPUID; no processor this runs on is one.
int iscyrix() { return 0; }

void identifycpu() {
  cpupentium = cpup6 = cpuextended = cpuhasmmx = cputsc = cpucmov = 0;
  cpuintel = cpucyrix = cpuamd = 0;
  cpufamily = cpumodel = cpustepping = 0;
  std::memset(cpuvendor, 0, sizeof cpuvendor);
  identified = true;

  if (!getcpuidflag()) {
    cpucyrix = iscyrix();
    return;
  }
  uint32_t regs[4];
  cpuidquery(regs, 0);
  std::memcpy(cpuvendor, &regs[1], 4);
  std::memcpy(cpuvendor + 4, &regs[2], 4);
  std::memcpy(cpuvendor + 8, &regs[3], 4);
  if (regs[0] >= 1) {
    cpuintel = std::strcmp(cpuvendor, "GenuineIntel") == 0;
    cpuamd = std::strcmp(cpuvendor, "AuthenticAMD") == 0;
    cpucyrix = std::strcmp(cpuvendor, "CyrixInstead") == 0;
    cpuidquery(regs, cpuamd ? 0x80000001u : 1u);
    const uint32_t eax = regs[0], edx = regs[2];
    cpufamily = static_cast<int>((eax >> 8) & 15);
    cpumodel = static_cast<int>((eax >> 4) & 15);
    cpustepping = static_cast<int>(eax & 15);
    cpupentium = cpufamily >= 5;
    cpup6 = cpufamily >= 6;
    cpuhasmmx = (edx >> 23) & 1;
    cputsc = (edx >> 4) & 1;
    cpucmov = (edx >> 15) & 1;
    cpuextended = (edx >> 31) & 1;
  }
  if (const char* ismmx = std::getenv("ISMMX")) cpuhasmmx = std::atoi(ismmx);
}

float timerelapsed(uint32_t a, uint32_t b, float factor) {
  float value = static_cast<float>(static_cast<int32_t>(a - b)) * factor;
  return value < 0 ? 8 * std::fabs(value) : value;
}

uint32_t timerdts() {
  if (!timerrate()) {
    if (abortonerror) {
      ABORTCONTEXT(kFile, "getcpuspeed");
      abortmessage("getcpuspeed - INITTIMER REQUIRED TO DETERMINE CLOCK RATE\n");
    }
    return 0;
  }
  uint32_t samples[5];
  for (uint32_t& sample : samples) {
    waitticks(1);
    uint64_t start = ReadTimeStampCounter();
    waitticks(static_cast<uint32_t>(timerrateordefault() / 5));
    uint64_t cycles = ReadTimeStampCounter() - start;
    sample = cycles > UINT32_MAX / 5 ? UINT32_MAX / 5 : static_cast<uint32_t>(cycles);
  }
  return secondsmallest(samples, 5) * 5;
}

uint32_t loopcount(uint32_t ticks) {
  const uint32_t start = gettick();
  volatile uint32_t dividend = 0x5555AAAA;
  volatile uint32_t divisor = 33;
  volatile uint32_t sink = 0;
  uint32_t count = 0;
  while (gettick() - start < ticks) {
    sink = dividend / divisor;
    ++count;
    if ((count & 0xFFFF) == 0) {
      runsystemtasks();
      // A virtual clock stands still unless the wait lets it move.
      if (winapi::ClockIsVirtual()) timerwaitstep();
    }
  }
  (void)sink;
  return count;
}

uint32_t measurecpuloops() {
  uint32_t samples[5];
  for (uint32_t& sample : samples) {
    waitticks(1);
    sample = loopcount(static_cast<uint32_t>(timerrateordefault() / 4));
  }
  double count = static_cast<double>(secondsmallest(samples, 5)) * 4;
  double first, second;
  if (cpup6) {
    first = 233;
    second = 1.7743360390183594e-07;
  } else if (cpupentium) {
    first = 90;
    second = 6.382602557253541e-07;
  } else if (cpucyrix) {
    first = 166;
    second = 3.451746652841271e-07;
  } else {
    first = 33;
    second = 1.7696985141611276e-06;
  }
  double hz = std::nearbyint(count * first * second * 1000000.0);
  return hz > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(hz);
}

uint32_t nominalcpumhz(uint32_t mhz) {
  const double m = mhz;
  const double c33 = std::nearbyint(std::nearbyint(m * 0.029999999999999995) * 33.333332);
  const double c30 = 30 * std::nearbyint(m * 0.03333333333333333);
  const double c37 = std::nearbyint(std::nearbyint(m * 0.02666666666666667) * 37.5);
  double choice = c33;
  if (error(c33, m, 1.0) > error(c30, m, 1.1)) choice = c30;
  if (error(choice, m, 1.0) > error(c37, m, 1.2)) choice = c37;
  return static_cast<uint32_t>(choice);
}

uint32_t getcpuspeed() {
  if (!identified) identifycpu();
  if (!timerrate()) {
    if (abortonerror) {
      ABORTCONTEXT(kFile, "getcpuspeed");
      abortmessage("getcpuspeed - INITTIMER MUST BE INITIALIZED TO MEASURE CPU PERFORMANCE\n");
    }
    return 0;
  }
  const uint32_t hz = cputsc ? timerdts() : measurecpuloops();
  const uint64_t nominal = static_cast<uint64_t>(nominalcpumhz(hz / 1000000)) * 1000000;
  // Clock rates past 4.29 GHz do not fit the word the rate is kept in.
  cpuspeed = nominal > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(nominal);
  return cpuspeed;
}

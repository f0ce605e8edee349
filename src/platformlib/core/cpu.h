// Processor identification and clock-rate measurement.
#pragma once

#include <cstdint>

// Flags are 0 or 1.
extern int cpupentium;   // family 5 or later
extern int cpup6;        // family 6 or later
extern int cpuextended;  // feature bit 31 (the extended leaf on AMD)
extern int cpuhasmmx;    // the ISMMX environment variable replaces it when set
extern int cputsc;       // time-stamp counter
extern int cpucmov;      // conditional moves
extern int cpuintel;
extern int cpucyrix;
extern int cpuamd;
extern char cpuvendor[13];
extern int cpufamily;
extern int cpumodel;
extern int cpustepping;
extern uint32_t cpuspeed;  // measured clock rate in Hz, kept by getcpuspeed

void identifycpu();
uint32_t getcpuspeed();
// Cycles per second from the time-stamp counter, and the same estimate from a counting loop.
uint32_t timerdts();
uint32_t measurecpuloops();
// A measured rate (whole MHz) rounded to the nominal clock rate it stands for (in MHz).
uint32_t nominalcpumhz(uint32_t mhz);
float timerelapsed(uint32_t a, uint32_t b, float factor);

int getcpuidflag();
void cpuidquery(uint32_t out[4], uint32_t leaf);  // eax, ebx, edx, ecx
int iscyrix();
uint32_t loopcount(uint32_t ticks);

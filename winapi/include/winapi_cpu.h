// Processor identification: CPUID and the time-stamp counter, replaceable by the test hooks.
#pragma once

#include <cstdint>

// Whether the processor answers CPUID (a test hook that does not answer leaf 0 means it does not).
bool CpuidSupported();
// Runs CPUID for `leaf` (sub-leaf 0): out = eax, ebx, ecx, edx. Unanswered leaves read as zeros.
void Cpuid(uint32_t leaf, uint32_t out[4]);
uint64_t ReadTimeStampCounter();

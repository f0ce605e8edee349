#include "golf/services.h"

namespace golf_svc {
namespace {
uint32_t g_state = 1;
}

int Random15() {
  g_state = g_state * 1103515245u + 12345u;
  return static_cast<int>((g_state >> 16) & 0x7FFF);
}

void SeedRandom15(uint32_t seed) { g_state = seed; }

}  // namespace golf_svc

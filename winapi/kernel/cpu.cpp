// CPUID and the time-stamp counter, with test hooks in front of the real instructions.
#include "winapi_cpu.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>

#include "winapi/kernel/internal.h"
#include "winapi/testing.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <x86intrin.h>
#define WINAPI_HAVE_X86 1
#endif

namespace {

struct CpuHooks {
  std::mutex lock;
  std::function<bool(uint32_t, winapi::testing::CpuidLeaf*)> cpuid;
  std::function<uint64_t()> tsc;
};
CpuHooks& C() {
  static CpuHooks* hooks = new CpuHooks;  // never destroyed, like the rest of the stand-in's state
  return *hooks;
}

void ResetCpuHooks() {
  std::lock_guard guard(C().lock);
  C().cpuid = nullptr;
  C().tsc = nullptr;
}

void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetCpuHooks), true);
  (void)registered;
}

bool RealCpuid(uint32_t leaf, uint32_t out[4]) {
#ifdef WINAPI_HAVE_X86
  unsigned a = 0, b = 0, c = 0, d = 0;
  // __get_cpuid refuses leaves above the processor's highest one (basic or extended range).
  if (!__get_cpuid_count(leaf, 0, &a, &b, &c, &d)) return false;
  out[0] = a;
  out[1] = b;
  out[2] = c;
  out[3] = d;
  return true;
#else
  (void)leaf;
  (void)out;
  return false;
#endif
}

}  // namespace

namespace winapi::testing {

void SetCpuidHook(std::function<bool(uint32_t leaf, CpuidLeaf* out)> hook) {
  RegisterReset();
  std::lock_guard guard(C().lock);
  C().cpuid = std::move(hook);
}

void SetTimestampHook(std::function<uint64_t()> hook) {
  RegisterReset();
  std::lock_guard guard(C().lock);
  C().tsc = std::move(hook);
}

}  // namespace winapi::testing

namespace {

bool Query(uint32_t leaf, uint32_t out[4]) {
  std::function<bool(uint32_t, winapi::testing::CpuidLeaf*)> hook;
  {
    std::lock_guard guard(C().lock);
    hook = C().cpuid;
  }
  std::memset(out, 0, 4 * sizeof(uint32_t));
  if (hook) {
    winapi::testing::CpuidLeaf leafOut{};
    if (!hook(leaf, &leafOut)) return false;
    out[0] = leafOut.eax;
    out[1] = leafOut.ebx;
    out[2] = leafOut.ecx;
    out[3] = leafOut.edx;
    return true;
  }
  return RealCpuid(leaf, out);
}

}  // namespace

bool CpuidSupported() {
  uint32_t out[4];
  return Query(0, out);
}

void Cpuid(uint32_t leaf, uint32_t out[4]) {
  if (!Query(leaf, out)) std::memset(out, 0, 4 * sizeof(uint32_t));
}

uint64_t ReadTimeStampCounter() {
  std::function<uint64_t()> hook;
  {
    std::lock_guard guard(C().lock);
    hook = C().tsc;
  }
  if (hook) return hook();
#ifdef WINAPI_HAVE_X86
  return __rdtsc();
#else
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

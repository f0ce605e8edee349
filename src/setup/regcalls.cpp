#include "regcalls.h"

namespace setup {

namespace {
RegistryCalls PlatformCalls() {
  return RegistryCalls{RegCreateKeyExA, RegOpenKeyExA, RegQueryValueExA, RegSetValueExA, RegDeleteKeyA, RegCloseKey};
}
}  // namespace

RegistryCalls& Registry() {
  static RegistryCalls calls = PlatformCalls();
  return calls;
}

void UsePlatformRegistry() { Registry() = PlatformCalls(); }

void PutDword(BYTE out[4], DWORD value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD GetDword(const BYTE in[4]) {
  return in[0] | (DWORD{in[1]} << 8) | (DWORD{in[2]} << 16) | (DWORD{in[3]} << 24);
}

}  // namespace setup

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

}  // namespace setup

// "vex3d.dat" decoder fuzz entry: any bytes; an accepted block must encode back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "course/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PreferencesBlock block;
  std::string error;
  if (!DecodePreferencesFile(data, size, block, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::vector<uint8_t> again = EncodePreferencesFile(block);
  if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
  return 0;
}

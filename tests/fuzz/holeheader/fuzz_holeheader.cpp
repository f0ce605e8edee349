// HOLEnn.HDR parser fuzz entry: any bytes; a refusal always carries its reason, an accepted file keeps its limits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "course/courseload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  HoleSceneHeader h;
  if (!ParseHoleHeaderFile(data, size, h, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if ((h.defaultSurface & 0x0F) != 0 || h.defaultShade > 15 || h.depthOverride > 1) std::abort();
  return 0;
}

// gallery.inf parser fuzz entry: any bytes; a refusal always carries its reason, an accepted file keeps its limits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "course/courseload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  GalleryTable table;
  if (!ParseGalleryFile(data, size, table, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  for (const auto& cams : table)
    if (cams.size() > 16) std::abort();
  return 0;
}

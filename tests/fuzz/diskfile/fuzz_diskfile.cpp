// DISK.DAT parser fuzz entry: any bytes; a refusal always carries its reason, an accepted file keeps its limits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "course/courseload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  CourseDisk disk;
  if (!ParseDiskFile(data, size, disk, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (disk.archives.size() > 8) std::abort();
  for (const std::string& a : disk.archives)
    if (a.empty() || a.size() > 63 || a.find_first_of("\\/:") != std::string::npos || a[0] == '.') std::abort();
  return 0;
}

// course.hnf parser fuzz entry: any bytes; a refusal always carries its reason, an accepted file keeps its limits.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "course/courseload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  CourseDescription d;
  if (!ParseCourseDescription(data, size, d, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (d.shapes.empty() || d.palette.size() != 4 || d.horizon.size() > 12 || d.skyTop.size() > 16) std::abort();
  for (const CourseObjectLine& o : d.objects)
    if (o.type < 1 || o.type > 255 || o.image.size() != 4) std::abort();
  return 0;
}

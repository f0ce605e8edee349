// Course description fuzz entry: the bytes split into a COURSE.DAT and a practice.dat at the first byte's
// count; the blurb stays within its length and nothing is read past either file.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "frontend/coursedesc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t split = std::min<size_t>(size - 1, data[0] * 8u);
  // Copies of their own size, so a read past either end is seen by the address sanitizer.
  std::vector<uint8_t> course(data + 1, data + 1 + split), practice(data + 1 + split, data + size);
  MenuCourseDescription d;
  ParseCourseDescription(course.data(), course.size(), practice.data(), practice.size(), d);
  if (d.blurb.size() > kCourseBlurbMax || (!d.blurb.empty() && d.blurb.back() == ' ')) std::abort();
  return 0;
}

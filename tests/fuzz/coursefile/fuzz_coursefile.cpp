// COURSE.DAT parser fuzz entry: any bytes; a file that is accepted must read back the same from its own
// formatted text, unless the lines formatting adds (kind, holes) take that text past the size limit.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "course/catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CourseFile course;
  std::string error;
  if (!ParseCourseFile(data, size, course, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::string text = FormatCourseFile(course);
  if (text.size() > kCourseFileMaxBytes) return 0;
  CourseFile again;
  if (!ParseCourseFile(reinterpret_cast<const uint8_t*>(text.data()), text.size(), again, error)) std::abort();
  if (again.folder != course.folder || again.title != course.title || again.disc != course.disc ||
      again.data != course.data || again.range != course.range || again.holes != course.holes || again.description != course.description)
    std::abort();
  return 0;
}

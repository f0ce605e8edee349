// The course description the courses screen and the practice menu read: two course pairs and 18 hole pairs from
// the course folder's "COURSE.DAT" (the lines after its "description" line), the hole pairs again from
// "practice.dat" (after its first line), and the blurb of COURSE.DAT. Layout in docs/formats.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kCourseBlurbMax = 640;

struct MenuCourseDescription {
  int32_t coursePairs[2][2] = {};
  int32_t holePairs[18][2] = {};
  std::string blurb;  // at most kCourseBlurbMax bytes, its lines joined with single blanks
};

// Reads what the files hold; a file that ends early leaves the rest of the description as it was (zero pairs,
// no blurb). Nothing is read past either file's end.
void ParseCourseDescription(const uint8_t* courseDat, size_t courseSize, const uint8_t* practiceDat,
                            size_t practiceSize, MenuCourseDescription& out);

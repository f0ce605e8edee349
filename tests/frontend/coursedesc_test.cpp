// The course description read from a course folder's COURSE.DAT and practice.dat.
#include <gtest/gtest.h>

#include <string>

#include "frontend/coursedesc.h"

namespace {

std::string Pairs(int second) {
  std::string text;
  for (int h = 1; h <= 18; ++h) text += std::to_string(h) + " " + std::to_string(second) + "\n";
  return text;
}

const std::string kHead = "COURSE 1\nfolder X\ntitle X\ndescription\n18 71\n-3 40\n";

MenuCourseDescription Parse(const std::string& course, const std::string& practice) {
  MenuCourseDescription d;
  ParseCourseDescription(reinterpret_cast<const uint8_t*>(course.data()), course.size(),
                         reinterpret_cast<const uint8_t*>(practice.data()), practice.size(), d);
  return d;
}

}  // namespace

TEST(CourseMenuDescription, ReadsPairsAndBlurbAsWritten) {
  const MenuCourseDescription d = Parse(kHead + Pairs(4) + "\nAbout\nReed beds,\r\n  wide water.  \n\nThe end.\n",
                                    "PRACTICE 1\n" + Pairs(5));
  EXPECT_EQ(d.coursePairs[0][0], 18);
  EXPECT_EQ(d.coursePairs[0][1], 71);
  EXPECT_EQ(d.coursePairs[1][0], -3);
  EXPECT_EQ(d.coursePairs[1][1], 40);
  // practice.dat's pairs take the same slots after COURSE.DAT's.
  EXPECT_EQ(d.holePairs[0][0], 1);
  EXPECT_EQ(d.holePairs[17][0], 18);
  EXPECT_EQ(d.holePairs[17][1], 5);
  EXPECT_EQ(d.blurb, "Reed beds, wide water. The end.");
}

TEST(CourseMenuDescription, StopsAtEitherFilesEnd) {
  const struct {
    const char* name;
    std::string course, practice;
    int lastHoleSecond;
    const char* blurb;
  } cases[] = {
      {"no description line", "COURSE 1\nfolder X\ntitle X\nholes 18\n", "PRACTICE 1\n" + Pairs(5), 5, ""},
      {"pairs cut short", kHead + "1 4\n2 4\n3", "PRACTICE 1\n1 5\n", 0, ""},
      {"pair without its second number", kHead + Pairs(4).substr(0, 50) + "7", "PRACTICE 1\n", 0, ""},
      {"no blurb lines", kHead + Pairs(4), "PRACTICE 1\n" + Pairs(5), 5, ""},
      {"empty practice file", kHead + Pairs(4) + "\nAbout\nShort.\n", "", 4, "Short."},
      {"last line without a break", kHead + Pairs(4) + "\nAbout\nNo break", "", 4, "No break"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MenuCourseDescription d = Parse(c.course, c.practice);
    EXPECT_EQ(d.holePairs[17][1], c.lastHoleSecond);
    EXPECT_EQ(d.blurb, c.blurb);
  }
}

TEST(CourseMenuDescription, BlurbKeepsEightLinesWithinItsLength) {
  std::string lines;
  for (int i = 1; i <= 10; ++i) lines += "line" + std::to_string(i) + "\n";
  EXPECT_EQ(Parse(kHead + Pairs(4) + "\nAbout\n" + lines, "").blurb,
            "line1 line2 line3 line4 line5 line6 line7 line8");
  const std::string longLine(300, 'w');
  const MenuCourseDescription d = Parse(kHead + Pairs(4) + "\nAbout\n" + longLine + "\n" + longLine + "\n" + longLine + "\n", "");
  EXPECT_EQ(d.blurb.size(), kCourseBlurbMax);
  // Huge numbers are held, not wrapped.
  EXPECT_EQ(Parse("description\n99999999999 1\n", "").coursePairs[0][0], INT32_MAX);
}

// The course catalogue: COURSE.DAT read and written, the installed courses listed from disk and disc.
#include "course/catalogue.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

#include "winapi/testing.h"

namespace {

std::string Text(const CourseFile& c) { return FormatCourseFile(c); }

bool Parse(const std::string& text, CourseFile& out, std::string& error) {
  return ParseCourseFile(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out, error);
}

TEST(CourseFileTest, WrittenFileReadsBack) {
  CourseFile c;
  c.folder = "SEDGEFEN";
  c.title = "Sedgefen^Links among the reed beds";
  c.disc = "SEDGEDSC";
  c.data = "course.hnf";
  c.holes = 9;
  CourseFile back;
  std::string error;
  ASSERT_TRUE(Parse(Text(c), back, error)) << error;
  EXPECT_EQ(back.folder, c.folder);
  EXPECT_EQ(back.title, c.title);
  EXPECT_EQ(back.disc, c.disc);
  EXPECT_EQ(back.data, c.data);
  EXPECT_FALSE(back.range);
  EXPECT_EQ(back.holes, 9);

  c.range = true;
  c.disc.clear();
  ASSERT_TRUE(Parse(Text(c), back, error)) << error;
  EXPECT_TRUE(back.range);
  EXPECT_EQ(back.disc, "");
}

TEST(CourseFileTest, CarriageReturnsAreAccepted) {
  CourseFile c;
  std::string error;
  ASSERT_TRUE(Parse("COURSE 1\r\nfolder A\r\ntitle T\r\n", c, error)) << error;
  EXPECT_EQ(c.folder, "A");
  EXPECT_EQ(c.title, "T");
  EXPECT_EQ(c.holes, 18);
}

TEST(CourseFileTest, DamagedFilesAreRefusedWithTheReason) {
  const std::string title260(260, 'x'), folder64(64, 'F');
  const struct {
    std::string text;
    const char* reason;
  } cases[] = {
      {"", "empty"},
      {"COURSE 2\nfolder A\ntitle T\n", "line 1: not a course file"},
      {"COURSE 1\nfolder A\ntitle T", "line 3: not ended by a line break"},
      {"COURSE 1\nfolder A\n", "no title line"},
      {"COURSE 1\ntitle T\n", "no folder line"},
      {"COURSE 1\nfolder A\ntitle " + title260 + "\n", "line 3: title must be 1 to 259"},
      {"COURSE 1\nfolder A\ntitle\n", "line 3: title must be 1 to 259"},
      {"COURSE 1\nfolder " + folder64 + "\ntitle T\n", "line 2: folder must be"},
      {"COURSE 1\nfolder ..\\X\ntitle T\n", "line 2: folder must be"},
      {"COURSE 1\nfolder A\nfolder B\ntitle T\n", "line 3: folder given twice"},
      {"COURSE 1\nfolder A\ntitle T\nholes 19\n", "line 4: holes must be 1 to 18"},
      {"COURSE 1\nfolder A\ntitle T\nholes 0\n", "line 4: holes must be 1 to 18"},
      {"COURSE 1\nfolder A\ntitle T\nholes 999999999999\n", "line 4: holes must be 1 to 18"},
      {"COURSE 1\nfolder A\ntitle T\nkind lake\n", "line 4: kind must be"},
      {"COURSE 1\nfolder A\ntitle T\ncolour red\n", "line 4: unknown key"},
      {"COURSE 1\nfolder A\ntitle T\xff\n", "line 3: holds a character that is not printable"},
      {"COURSE 1\nfolder A\ntitle T\ndisc a/b\n", "line 4: disc must be"},
      {"COURSE 1\nfolder A\ntitle T\n" + std::string(kCourseFileMaxBytes, '#') + "\n", "longer than 4096 bytes"},
  };
  for (const auto& c : cases) {
    CourseFile out;
    out.folder = "KEPT";
    std::string error;
    EXPECT_FALSE(Parse(c.text, out, error)) << c.text.substr(0, 60);
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << "got \"" << error << "\" for " << c.text.substr(0, 60);
    EXPECT_EQ(out.folder, "KEPT");
  }
}

TEST(CourseRecordTest, LayoutIsFixed) {
  EXPECT_EQ(offsetof(CourseRecord, folder), 0u);
  EXPECT_EQ(offsetof(CourseRecord, title), 520u);
  EXPECT_EQ(sizeof(CourseRecord), 1560u);
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char hard[] = "/tmp/teebox_catalogue_XXXXXX";
    char disc[] = "/tmp/teebox_catalogue_disc_XXXXXX";
    hard_ = mkdtemp(hard);
    disc_ = mkdtemp(disc);
    winapi::testing::MapDrive('C', hard_);
    winapi::testing::MapDrive('E', disc_);
    SetCourseListRoots("C:\\", "E:\\QV99");
  }
  void TearDown() override {
    FreeCourseList();
    SetCourseListRoots("C:\\", "");
    winapi::testing::ResetFiles();
    std::filesystem::remove_all(hard_);
    std::filesystem::remove_all(disc_);
  }
  static void Put(const std::string& root, const std::string& folder, const std::string& text) {
    std::filesystem::create_directories(root + "/DATA/COURSES/" + folder);
    std::ofstream(root + "/DATA/COURSES/" + folder + "/COURSE.DAT", std::ios::binary) << text;
  }
  static std::string Course(const std::string& folder, const std::string& title, const std::string& extra = "") {
    return "COURSE 1\nfolder " + folder + "\ntitle " + title + "\n" + extra;
  }
  std::string hard_, disc_;
};

TEST_F(CatalogueTest, ListsHardDiskThenDiscCoursesOnceEach) {
  Put(hard_, "SEDGEFEN", Course("SEDGEFEN", "Sedgefen^Links", "disc SEDGEDSC\n"));
  Put(hard_, "ALDERMOOR", Course("aldermoor", "Aldermoor"));
  std::filesystem::create_directories(hard_ + "/DATA/COURSES/EMPTY");  // no COURSE.DAT: no course
  Put(hard_, "RANGE", Course("RANGE", "Driving range", "kind range\nholes 1\n"));
  Put(disc_ + "/QV99", "SEDGEFEN", Course("SEDGEFEN", "Sedgefen on the disc"));
  Put(disc_ + "/QV99", "KESTREL", Course("KESTREL", "Kestrel Heath", "holes 9\n"));

  ASSERT_EQ(CreateCourseList(), kCourseListOk);
  ASSERT_EQ(BuildCourseList(), kCourseListOk);
  ASSERT_EQ(GetCourseCount(), 3);
  CourseRecord r;
  ASSERT_EQ(GetCourseInfo(0, &r), 0);
  EXPECT_STREQ(r.folder, "aldermoor");
  EXPECT_EQ(CourseOnHardDisk(&r), 1);
  ASSERT_EQ(GetCourseInfo(1, &r), 0);
  EXPECT_STREQ(r.folder, "SEDGEFEN");
  EXPECT_STREQ(r.title, "Sedgefen^Links");
  EXPECT_STREQ(r.disc, "SEDGEDSC");
  EXPECT_EQ(r.holeCount, 18u);
  EXPECT_STREQ(r.location, "C:\\DATA\\COURSES\\SEDGEFEN");
  ASSERT_EQ(GetCourseInfo(2, &r), 0);
  EXPECT_STREQ(r.folder, "KESTREL");
  EXPECT_EQ(CourseOnHardDisk(&r), 0);
  EXPECT_EQ(r.holeCount, 9u);
  EXPECT_STREQ(r.location, "E:\\QV99\\DATA\\COURSES\\KESTREL");

  EXPECT_EQ(FindCourseByName("sedgefen"), 1);
  EXPECT_EQ(FindCourseByName("RANGE"), -1);
  EXPECT_EQ(FindCourseByName("NOWHERE"), -1);
  const CourseRecord* range = GetDrivingRangeRecord();
  ASSERT_NE(range, nullptr);
  EXPECT_EQ(range->kind, 1u);
  EXPECT_STREQ(range->folder, "RANGE");
  EXPECT_TRUE(CourseListProblems().empty());
}

TEST_F(CatalogueTest, DamagedCourseFilesAreRefusedAndNamed) {
  Put(hard_, "GOOD", Course("GOOD", "Good"));
  Put(hard_, "BROKEN", "COURSE 1\nfolder BROKEN\n");
  Put(hard_, "MISNAMED", Course("OTHER", "Other"));
  Put(hard_, "HUGE", Course("HUGE", "Huge") + std::string(5000, '#'));
  ASSERT_EQ(CreateCourseList(), kCourseListOk);
  ASSERT_EQ(BuildCourseList(), kCourseListOk);
  ASSERT_EQ(GetCourseCount(), 1);
  CourseRecord r;
  GetCourseInfo(0, &r);
  EXPECT_STREQ(r.folder, "GOOD");
  const auto& problems = CourseListProblems();
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_EQ(problems[0], "C:\\DATA\\COURSES\\BROKEN\\COURSE.DAT: no title line");
  EXPECT_EQ(problems[1], "C:\\DATA\\COURSES\\HUGE\\COURSE.DAT: longer than 4096 bytes");
  EXPECT_EQ(problems[2], "C:\\DATA\\COURSES\\MISNAMED\\COURSE.DAT: names the folder \"OTHER\"");
}

TEST_F(CatalogueTest, WithoutAListNothingIsListed) {
  CourseRecord r;
  EXPECT_EQ(BuildCourseList(), kCourseListMissing);
  EXPECT_EQ(GetCourseCount(), 0);
  EXPECT_EQ(GetCourseInfo(0, &r), kCourseListMissing);
  EXPECT_EQ(FindCourseByName("SEDGEFEN"), -1);
  ASSERT_EQ(CreateCourseList(), kCourseListOk);
  EXPECT_EQ(BuildCourseList(), kCourseListOk);  // no DATA\COURSES at all
  EXPECT_EQ(GetCourseCount(), 0);
  EXPECT_EQ(GetCourseInfo(0, nullptr), kCourseListMissing);
  // A number outside the list gives the fallback record.
  ASSERT_EQ(GetCourseInfo(5, &r), 0);
  EXPECT_STREQ(r.folder, "SEDGEFEN");
  EXPECT_EQ(CourseOnHardDisk(&r), 0);
}

TEST_F(CatalogueTest, RebuildingForgetsCoursesThatWentAway) {
  Put(hard_, "A", Course("A", "A"));
  Put(hard_, "B", Course("B", "B"));
  ASSERT_EQ(CreateCourseList(), kCourseListOk);
  ASSERT_EQ(BuildCourseList(), kCourseListOk);
  EXPECT_EQ(GetCourseCount(), 2);
  std::filesystem::remove_all(hard_ + "/DATA/COURSES/A");
  ASSERT_EQ(BuildCourseList(), kCourseListOk);
  EXPECT_EQ(GetCourseCount(), 1);
  EXPECT_EQ(FindCourseByName("B"), 0);
}

}  // namespace

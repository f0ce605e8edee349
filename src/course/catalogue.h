// The installed-course catalogue: one folder per course below DATA\COURSES, each described by its COURSE.DAT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- COURSE.DAT -----------------------------------------------------------------------------------------------
// A text file (layout in docs/formats.md): the line "COURSE 1", then one "key value" line per field; a line
// "description" ends the fields, and the lines after it are the course's description, which the front end reads.
struct CourseFile {
  std::string folder;  // the folder's own name, 1-63 characters of A-Z a-z 0-9 _ -
  std::string title;   // long name, 1-259 printable characters; text after '^' is not shown in lists
  std::string disc;    // disc that carries the course, 0-63 characters (empty: none)
  std::string data;    // the course's own data file in its folder, 0-63 characters (empty: none)
  bool range = false;  // the driving range rather than a course
  int holes = 18;      // 1-18
  std::string description;  // the lines after "description", each with its line break (empty: no such line)
};

constexpr size_t kCourseFileMaxBytes = 4096;

std::string FormatCourseFile(const CourseFile& course);
// False, with a one-line reason in `error`, for anything but a well-formed file within the limits.
bool ParseCourseFile(const uint8_t* data, size_t size, CourseFile& out, std::string& error);

// ---- the catalogue ----------------------------------------------------------------------------------------------
// One installed course as callers copy it (1560 bytes; the long name at byte 520).
struct CourseRecord {
  char folder[260];    // short name: the course's folder
  char disc[260];      // disc name for the insert-disc prompt
  char title[260];     // long name
  char dataFile[260];  // the course's own data file
  char location[260];  // the course folder as a path ("C:\DATA\COURSES\SEDGEFEN")
  uint32_t onHardDisk;
  uint32_t holeCount;
  uint32_t kind;  // 0 course, 1 driving range
  uint8_t reserved[248];
};
static_assert(sizeof(CourseRecord) == 1560);

constexpr int kCourseListOk = 0;
constexpr int kCourseListNoMemory = 2;
constexpr int kCourseListMissing = 4;

// The roots scanned by BuildCourseList: the installation's folder and the game disc's product folder, as
// paths of the platform ("C:\", "D:\QV99"); an empty disc root means no disc.
void SetCourseListRoots(const std::string& hardDiskRoot, const std::string& discRoot);

int CreateCourseList();  // 0, or 2 when out of memory
// Scans DATA\COURSES below the hard-disk root, then below the disc root (a course already found on the hard
// disk is not listed again). Folders without a COURSE.DAT are no courses; a damaged COURSE.DAT is refused and
// its reason kept in CourseListProblems(). 0, or 4 when the list was not created.
int BuildCourseList();
int GetCourseCount();
// Copies record n; a course number outside the list gives the fixed fallback record (SEDGEFEN). 0, or 4 when
// there is no list or no output.
int GetCourseInfo(int n, CourseRecord* out);
int FindCourseByName(const char* name);  // case-blind; -1 when not installed
int CourseOnHardDisk(const CourseRecord* record);
// The driving range found by the last build; null when none.
const CourseRecord* GetDrivingRangeRecord();
const std::vector<std::string>& CourseListProblems();
void FreeCourseList();

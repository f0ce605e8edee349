#include "course/catalogue.h"

#include "course/coursetext.h"

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <strings.h>

namespace {

constexpr char kMagicLine[] = "COURSE 1";
constexpr char kDescriptionLine[] = "description";
constexpr size_t kNameMax = 63;
constexpr size_t kTitleMax = 259;

struct CourseList {
  std::vector<CourseRecord> courses;
  CourseRecord range{};
  bool hasRange = false;
};

std::unique_ptr<CourseList> g_list;
std::string g_hardRoot = "C:\\";
std::string g_discRoot;
std::vector<std::string> g_problems;

bool nameChar(char c, bool dot) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         (dot && c == '.');
}

bool checkName(const std::string& value, bool dot, size_t min) {
  if (value.size() < min || value.size() > kNameMax) return false;
  for (char c : value)
    if (!nameChar(c, dot)) return false;
  return true;
}

void copyText(char (&to)[260], const std::string& from) {
  std::memset(to, 0, sizeof to);
  std::memcpy(to, from.data(), std::min(from.size(), sizeof to - 1));
}

CourseRecord fallbackRecord() {
  CourseRecord r{};
  copyText(r.folder, "SEDGEFEN");
  copyText(r.disc, "SEDGEDSC");
  copyText(r.title, "Sedgefen");
  r.holeCount = 18;
  return r;
}

std::string joinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  return (a.back() == '\\' || a.back() == '/') ? a + b : a + "\\" + b;
}

// Reads a whole COURSE.DAT; 0 read, 1 no such file, 2 unreadable or too long (reason in `error`).
int readCourseFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return 1;
    error = "cannot be opened";
    return 2;
  }
  DWORD high = 0;
  const DWORD size = GetFileSize(file, &high);
  int result = 0;
  if (size == INVALID_FILE_SIZE || high != 0 || size > kCourseFileMaxBytes) {
    error = "longer than " + std::to_string(kCourseFileMaxBytes) + " bytes";
    result = 2;
  } else {
    out.assign(size, 0);
    DWORD got = 0;
    if (size != 0 && (!ReadFile(file, out.data(), size, &got, nullptr) || got != size)) {
      error = "cannot be read";
      result = 2;
    }
  }
  CloseHandle(file);
  return result;
}

void scanRoot(const std::string& root, bool hardDisk, CourseList& list) {
  const std::string courses = joinPath(joinPath(root, "DATA"), "COURSES");
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(joinPath(courses, "*.*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> folders;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.emplace_back(found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);

  for (const std::string& name : folders) {
    const std::string folder = joinPath(courses, name);
    const std::string path = joinPath(folder, "COURSE.DAT");
    std::vector<uint8_t> bytes;
    std::string error;
    const int read = readCourseFile(path, bytes, error);
    if (read == 1) continue;
    CourseFile course;
    if (read == 0 && ParseCourseFile(bytes.data(), bytes.size(), course, error) &&
        strcasecmp(course.folder.c_str(), name.c_str()) != 0)
      error = "names the folder \"" + course.folder + "\"";
    if (!error.empty()) {
      g_problems.push_back(path + ": " + error);
      std::fprintf(stderr, "Course refused: %s: %s\n", path.c_str(), error.c_str());
      continue;
    }
    if (course.range ? list.hasRange : FindCourseByName(course.folder.c_str()) >= 0) continue;
    CourseRecord r{};
    copyText(r.folder, course.folder);
    copyText(r.disc, course.disc);
    copyText(r.title, course.title);
    copyText(r.dataFile, course.data);
    copyText(r.location, folder);
    r.onHardDisk = hardDisk ? 1 : 0;
    r.holeCount = static_cast<uint32_t>(course.holes);
    r.kind = course.range ? 1 : 0;
    if (course.range) {
      list.range = r;
      list.hasRange = true;
    } else {
      list.courses.push_back(r);
    }
  }
}

}  // namespace

std::string FormatCourseFile(const CourseFile& c) {
  std::string out = std::string(kMagicLine) + "\n";
  out += "folder " + c.folder + "\n";
  out += "title " + c.title + "\n";
  if (!c.disc.empty()) out += "disc " + c.disc + "\n";
  if (!c.data.empty()) out += "data " + c.data + "\n";
  out += std::string("kind ") + (c.range ? "range" : "course") + "\n";
  out += "holes " + std::to_string(c.holes) + "\n";
  if (!c.description.empty()) out += std::string(kDescriptionLine) + "\n" + c.description;
  return out;
}

bool ParseCourseFile(const uint8_t* data, size_t size, CourseFile& out, std::string& error) {
  error.clear();
  if (!data && size != 0) {
    error = "no data";
    return false;
  }
  if (size > kCourseFileMaxBytes) {
    error = "longer than " + std::to_string(kCourseFileMaxBytes) + " bytes";
    return false;
  }
  CourseFile c;
  bool seen[6] = {};
  static const char* const kKeys[6] = {"folder", "title", "disc", "data", "kind", "holes"};
  int lineNumber = 0;
  bool inDescription = false;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNumber) + ": " + why;
    return false;
  };
  const bool read = SplitTextLines(data, size, [&](int number, const std::string& line) {
    lineNumber = number;
    if (lineNumber == 1) return line == kMagicLine || fail("not a course file (\"COURSE 1\" expected)");
    if (inDescription) {
      c.description += line + "\n";
      return true;
    }
    if (line == kDescriptionLine) return inDescription = true;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
    int k = 0;
    while (k < 6 && key != kKeys[k]) ++k;
    if (k == 6) return fail("unknown key \"" + key.substr(0, 32) + "\"");
    if (seen[k]) return fail(key + " given twice");
    seen[k] = true;
    switch (k) {
      case 0:
        if (!checkName(value, false, 1)) return fail("folder must be 1 to 63 letters, digits, '_' or '-'");
        c.folder = value;
        break;
      case 1:
        if (value.empty() || value.size() > kTitleMax) return fail("title must be 1 to 259 characters");
        c.title = value;
        break;
      case 2:
        if (!checkName(value, true, 0)) return fail("disc must be at most 63 letters, digits, '.', '_' or '-'");
        c.disc = value;
        break;
      case 3:
        if (!checkName(value, true, 0)) return fail("data must be at most 63 letters, digits, '.', '_' or '-'");
        c.data = value;
        break;
      case 4:
        if (value != "course" && value != "range") return fail("kind must be \"course\" or \"range\"");
        c.range = value == "range";
        break;
      case 5:
        if (value.size() < 1 || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) < 1 || std::stoi(value) > 18)
          return fail("holes must be 1 to 18");
        c.holes = std::stoi(value);
        break;
    }
    return true;
  }, error);
  if (!read) return false;
  if (lineNumber == 0) {
    error = "empty";
    return false;
  }
  if (!seen[0] || !seen[1]) {
    error = !seen[0] ? "no folder line" : "no title line";
    return false;
  }
  out = std::move(c);
  return true;
}

void SetCourseListRoots(const std::string& hardDiskRoot, const std::string& discRoot) {
  g_hardRoot = hardDiskRoot;
  g_discRoot = discRoot;
}

int CreateCourseList() {
  try {
    g_list = std::make_unique<CourseList>();
  } catch (const std::bad_alloc&) {
    g_list.reset();
    return kCourseListNoMemory;
  }
  return kCourseListOk;
}

int BuildCourseList() {
  if (!g_list) return kCourseListMissing;
  try {
    CourseList fresh;
    std::swap(fresh, *g_list);
    g_problems.clear();
    scanRoot(g_hardRoot, true, *g_list);
    if (!g_discRoot.empty()) scanRoot(g_discRoot, false, *g_list);
  } catch (const std::bad_alloc&) {
    g_list->courses.clear();
    return kCourseListNoMemory;
  }
  return kCourseListOk;
}

int GetCourseCount() { return g_list ? static_cast<int>(g_list->courses.size()) : 0; }

int GetCourseInfo(int n, CourseRecord* out) {
  if (!g_list || !out) return kCourseListMissing;
  if (n < 0 || n >= GetCourseCount()) *out = fallbackRecord();
  else *out = g_list->courses[static_cast<size_t>(n)];
  return kCourseListOk;
}

int FindCourseByName(const char* name) {
  if (!g_list || !name) return -1;
  for (size_t i = 0; i < g_list->courses.size(); ++i)
    if (strcasecmp(g_list->courses[i].folder, name) == 0) return static_cast<int>(i);
  return -1;
}

int CourseOnHardDisk(const CourseRecord* record) { return record && record->onHardDisk ? 1 : 0; }

const CourseRecord* GetDrivingRangeRecord() { return g_list && g_list->hasRange ? &g_list->range : nullptr; }

const std::vector<std::string>& CourseListProblems() { return g_problems; }

void FreeCourseList() {
  g_list.reset();
  g_problems.clear();
}

// Where the course, movie and golfer data are: the hard-disk installation first, then the game disc, and the
// prompts that ask the player for a disc.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "framework/core/errors.h"
#include "app/gameapp.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"

namespace {

DataFolders gFolders;

// Course discs whose prompt names them; other names get the game disc's prompt.
struct CourseDisc {
  const char* name;
  const char* text;
};
constexpr CourseDisc kCourseDiscs[] = {
    {"SEDGEDSC", "Please insert the Sedgefen course disc"},
};
constexpr const char* kGameDiscText = "Please insert the Zarvo Velmarth 99 VEX TOUR Golf Game CD";

bool CourseFolderUsable(PathRecord* base, const char* course, PathRecord* out) {
  PathRecord record = *base;
  if (PathAppend(&record, "DATA") || PathAppend(&record, "COURSES") || PathAppend(&record, course)) return false;
  *out = record;
  return PathExists(&record) && FileExists(&record, "COURSE.DAT");
}

int CollectName(const char* name, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(name);
  return 1;
}

bool Kept(const std::string& name, const char* const* keep, int count) {
  if (name.size() < 2) return false;
  for (int i = 0; i < count; ++i) {
    const char* entry = keep[i];
    if (!entry || std::strlen(entry) < 2) continue;
    if (std::toupper(static_cast<unsigned char>(name[0])) == std::toupper(static_cast<unsigned char>(entry[0])) &&
        std::toupper(static_cast<unsigned char>(name[1])) == std::toupper(static_cast<unsigned char>(entry[1])))
      return true;
  }
  return false;
}

int ClearFolder(PathRecord* folder, bool keepPlayers, const char* const* keep, int count) {
  if (!PathExists(folder)) return 0;
  std::vector<std::string> names;
  FindFiles(folder, CollectName, &names);
  int deleted = 0;
  for (const std::string& name : names) {
    if (keepPlayers && Kept(name, keep, count)) continue;
    if (FileDelete(folder, name.c_str()) == 0) ++deleted;
    MouseUpdate();
  }
  return deleted;
}

int CountCourseFolder(const char* name, void* context) {
  PathRecord course = gFolders.root;
  if (PathAppend(&course, "DATA") || PathAppend(&course, "COURSES") || PathAppend(&course, name)) return 1;
  if (FileExists(&course, "COURSE.DAT")) ++*static_cast<int*>(context);
  return 1;
}

}  // namespace

DataFolders& Folders() { return gFolders; }

int LocateGameCd() {
  gFolders.discRoot = PathRecord{};
  char label[12] = {};
  if (FindProductCdDrive(label) != ERR_NONE) return 0;
  std::memcpy(gFolders.discRoot.label, label, sizeof label);
  PathSetDirectory(&gFolders.discRoot, "|");
  if (!FindGameCdDrive(&gFolders.discRoot, nullptr)) return 0;
  PathAppend(&gFolders.discRoot, kProductCdFolder);
  gFolders.cdFound = 1;
  Svc().sound->GameDiscLocated();
  return 1;
}

void BuildCourseDataPath(int) {
  const bool disc = LocateGameCd() != 0;
  const char* course = Svc().game->CurrentCourseFolder();
  PathRecord hard{}, other{};
  const bool onHard = CourseFolderUsable(&gFolders.root, course, &hard);
  gFolders.courseData = hard;
  if (!onHard && disc && CourseFolderUsable(&gFolders.discRoot, course, &other)) gFolders.courseData = other;
  gFolders.courseMovies = gFolders.courseData;
  PathAppend(&gFolders.courseMovies, "VIDEO");
  if (!PathExists(&gFolders.courseMovies) && disc) {
    PathRecord movies = gFolders.discRoot;
    if (!PathAppend(&movies, "DATA") && !PathAppend(&movies, "COURSES") && !PathAppend(&movies, course) &&
        !PathAppend(&movies, "VIDEO"))
      gFolders.courseMovies = movies;
  }
}

int EnsureCourseData(int ask) {
  for (;;) {
    const bool current = Svc().catalogue->SetCurrentCourse();
    BuildCourseDataPath(0);
    const char* dataFile = Svc().catalogue->CurrentCourseDataFile();
    if (current && FileExists(&gFolders.courseData, "COURSE.DAT") &&
        (!dataFile || FileExists(&gFolders.courseData, dataFile)) && FileExists(&gFolders.courseData, "practice.dat"))
      return 1;
    if (!ask) return 0;
    const char* disc = Svc().catalogue->CurrentCourseDisc();
    if (PromptForCourseDisc(disc ? disc : "", 1) == ERR_USERABORT) return 0;
  }
}

int ClearGolferTempFiles(int keepPlayers, const char* const* keepNames, int keepCount) {
  PathRecord golfer = gFolders.root;
  if (PathAppend(&golfer, "TEMP") || PathAppend(&golfer, "DATA") || PathAppend(&golfer, "GOLFER")) return 0;
  PathRecord single = golfer;
  if (PathAppend(&single, "SINGLE")) return 0;
  return ClearFolder(&golfer, keepPlayers, keepNames, keepCount) +
         ClearFolder(&single, keepPlayers, keepNames, keepCount);
}

const char* GetInsertDiscText(const char* discName, char* out, size_t size) {
  std::string name = discName ? discName : "";
  name = name.substr(0, name.find('.'));
  const char* text = kGameDiscText;
  for (const CourseDisc& disc : kCourseDiscs)
    if (!name.empty() && strcasecmp(name.c_str(), disc.name) == 0) text = disc.text;
  std::snprintf(out, size, "%s", text);
  return out;
}

int PromptWithText(const char* text, int twoButtons) {
  Sleep(500);
  const int answer = Svc().frontEnd->ShowMessageDialog(text, twoButtons);
  BuildCourseDataPath(0);
  return answer == ERR_USERABORT ? ERR_USERABORT : 0;
}

int PromptForCourseDisc(const char* discName, int twoButtons) {
  std::string text = std::string("Please insert the ") + (discName ? discName : "") +
                     ", or click 'cancel' to scan for available courses.";
  if (!twoButtons) {
    char buffer[160];
    text = GetInsertDiscText(discName, buffer, sizeof buffer);
  }
  return PromptWithText(text.c_str(), twoButtons);
}

void PromptForGameDisc() { PromptWithText(kGameDiscText, 0); }

int CourseCount() {
  const int listed = Svc().catalogue->CourseCount();
  if (listed >= 0) return listed;
  PathRecord courses = gFolders.root;
  if (PathAppend(&courses, "DATA") || PathAppend(&courses, "COURSES") || !PathExists(&courses)) return 0;
  int count = 0;
  FindSubdirectories(&courses, CountCourseFolder, &count);
  return count;
}

int RescanCourses() {
  Svc().catalogue->BuildCourseList(gFolders.root, gFolders.cdFound ? &gFolders.discRoot : nullptr);
  return CourseCount() > 0 ? 1 : 0;
}

namespace {

bool GolferFolder(const PathRecord& base, bool temp, int column, PathRecord* out) {
  PathRecord record = base;
  if (temp && PathAppend(&record, "TEMP")) return false;
  if (PathAppend(&record, "DATA") || PathAppend(&record, "GOLFER")) return false;
  if (column == 1 && PathAppend(&record, "SINGLE")) return false;
  *out = record;
  return true;
}

// Every file of the model is in the golfer folders below `base`.
bool GolferDataAt(const PathRecord& base, bool temp, const GolferModelFiles& model) {
  for (int column = 0; column < 2; ++column) {
    PathRecord folder{};
    if (!GolferFolder(base, temp, column, &folder)) return false;
    for (const auto& row : model.names)
      if (row[column][0] && !FileExists(&folder, row[column])) return false;
  }
  return true;
}

}  // namespace

int CopyGolferFiles(PathRecord* from, PathRecord* to, const GolferModelFiles& model, int copy, int column) {
  for (const auto& row : model.names) {
    char name[75];
    std::snprintf(name, sizeof name, "%.73s", row[column & 1]);
    if (!name[0]) continue;
    if (!copy) {
      FileDelete(to, name);
    } else if (!FileExists(to, name)) {
      char source[MAX_PATH], destination[MAX_PATH];
      if (!PathJoin(from, name, source, sizeof source) || !PathJoin(to, name, destination, sizeof destination))
        return 0;
      if (!FileCopy(destination, source)) return 0;
    }
    MouseUpdate();
  }
  return 1;
}

int MakeGolferTempFolders() {
  PathRecord record = gFolders.root;
  for (const char* name : {"TEMP", "DATA", "GOLFER", "SINGLE"}) {
    const int made = DirCreate(&record, name);
    if (made && made != ERR_DUPLICATENAME) return made;
    if (PathAppend(&record, name)) return ERR_FILENOTFOUND;
  }
  return 0;
}

int PrepareOneGolferData(const GolferInPlay& golfer) {
  if (!golfer.model) return 1;
  for (;;) {
    if (GolferDataAt(gFolders.root, false, *golfer.model) || GolferDataAt(gFolders.root, true, *golfer.model))
      return 1;
    LocateGameCd();
    if (gFolders.cdFound && GolferDataAt(gFolders.discRoot, false, *golfer.model)) {
      bool copied = true;
      for (int column = 0; column < 2 && copied; ++column) {
        PathRecord from{}, to{};
        copied = GolferFolder(gFolders.discRoot, false, column, &from) && GolferFolder(gFolders.root, true, column, &to) &&
                 CopyGolferFiles(&from, &to, *golfer.model, 1, column);
      }
      if (copied) return 1;
    }
    const std::string quoted = std::string("Golfer \"") + (golfer.name ? golfer.name : "") + "\"";
    if (PromptWithText((quoted + " was not found on the hard drive. Please insert the game CD.").c_str(), 1) ==
        ERR_USERABORT) {
      PromptWithText((quoted + " was not found on the hard drive. Substitute animations will be used. To see the "
                               "missing animations, you'll need to re-install them.")
                         .c_str(),
                     0);
      Svc().scene->AssignGolferModels();
      return 0;
    }
  }
}

int PrepareGolferData() {
  MouseBusyOn();
  GolferInPlay golfers[4] = {};
  const int count = Svc().game->GolfersInPlay(golfers, 4);
  const char* keep[4] = {};
  for (int i = 0; i < count && i < 4; ++i) keep[i] = golfers[i].dataName;
  ClearGolferTempFiles(1, keep, count < 4 ? count : 4);
  MakeGolferTempFolders();
  int all = 1;
  for (int i = 0; i < count && i < 4; ++i)
    if (!PrepareOneGolferData(golfers[i])) {
      all = 0;
      break;  // the models were reassigned for every golfer
    }
  MouseBusyOff();
  return all;
}

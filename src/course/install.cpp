#include "course/install.h"

#include <strings.h>

#include <string>

#include "course/catalogue.h"
#include "course/courseload.h"
#include "course/preferences.h"
#include "course/roster.h"
#include "course/savedfiles.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"

namespace {

// "C:\" or "C:\GAME" as the catalogue and the preference file take their roots.
std::string RootPath(const PathRecord& record) {
  char path[MAX_PATH];
  if (!PathJoin(&record, nullptr, path, sizeof path)) return {};
  return path;
}

class CoursePreferences : public PreferencesProvider {
 public:
  const char* Name() const override { return "course preferences"; }
  int Get(int id, int32_t* value) override { return GetPreference(id, value); }
  int Set(int id, int32_t value) override { return SetPreference(id, value); }
  // The installation's root also holds the saved shots and the saved-game folder.
  void InitFile(const PathRecord& root) override {
    SetSavedShotFolder(RootPath(root));
    SetSavedGameFolder(RootPath(root) + (RootPath(root).ends_with("\\") ? "" : "\\") + "SAVEGAME");
    SetPreferencesFolder(RootPath(root));
    InitPreferencesFile();
  }
  void SaveFile() override { SavePreferencesFile(); }
};

class CourseCatalogue : public CourseCatalogueProvider {
 public:
  const char* Name() const override { return "course catalogue"; }
  int CreateCourseList() override { return ::CreateCourseList(); }
  void BuildCourseList(const PathRecord& root, const PathRecord* disc) override {
    SetCourseListRoots(RootPath(root), disc ? RootPath(*disc) : std::string());
    ::BuildCourseList();
  }
  int CourseCount() override { return GetCourseCount(); }
  void InitGolferRoster() override { ::InitGolferRoster(); }
  void FreeCourseList() override {
    UnloadCourse();
    ::FreeCourseList();
  }
  // The game's course (the first installed one when the game names none) is loaded unless it already is.
  bool SetCurrentCourse() override {
    const char* wanted = Svc().game->CurrentCourseFolder();
    CourseRecord record{};
    const CourseRecord* range = GetDrivingRangeRecord();
    if (range && wanted && *wanted && strcasecmp(range->folder, wanted) == 0) {
      record = *range;
    } else {
      const int n = wanted && *wanted ? FindCourseByName(wanted) : (GetCourseCount() > 0 ? 0 : -1);
      if (n < 0 || GetCourseInfo(n, &record) != kCourseListOk) return false;
    }
    const LoadedCourse& current = CurrentCourse();
    if (current.loaded && strcasecmp(current.record.location, record.location) == 0) return true;
    return LoadCourse(record) == kCourseLoadOk;
  }
  const char* CurrentCourseDataFile() override {
    const LoadedCourse& c = CurrentCourse();
    return c.loaded && c.record.dataFile[0] ? c.record.dataFile : nullptr;
  }
  const char* CurrentCourseDisc() override { return CurrentCourse().loaded ? CurrentCourse().record.disc : ""; }
  // Rounds ask for holes without making the course current first: the game's course is loaded on the way.
  int HolePar(int hole) override {
    SetCurrentCourse();
    return CoursePar(hole);
  }
  std::string HoleFile(int /*round*/, int hole) override {
    SetCurrentCourse();
    return CourseHoleFile(hole);
  }
};

CoursePreferences gPreferences;
CourseCatalogue gCatalogue;

}  // namespace

void InstallCourseServices() {
  Svc().preferences = &gPreferences;
  Svc().catalogue = &gCatalogue;
}

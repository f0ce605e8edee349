#include "course/install.h"

#include <string>

#include "course/catalogue.h"
#include "course/preferences.h"
#include "course/roster.h"
#include "framework/paths.h"
#include "framework/services.h"

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
  void InitFile(const PathRecord& root) override {
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
  void FreeCourseList() override { ::FreeCourseList(); }
};

CoursePreferences gPreferences;
CourseCatalogue gCatalogue;

}  // namespace

void InstallCourseServices() {
  Svc().preferences = &gPreferences;
  Svc().catalogue = &gCatalogue;
}

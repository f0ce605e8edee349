#include "framework/appneighbours.h"

#include <cstring>

#include "framework/displaymgr.h"
#include "framework/gameapp.h"
#include "framework/registry.h"
#include "mmsystem.h"

namespace {

AppNeighbours gHooks;

struct PreferenceName {
  int id;
  const char* key;
  const char* value;
};
constexpr PreferenceName kPreferenceNames[] = {
    {kPref3DEnable, "Graphics", "3D Enable Flag"},
    {kPrefResolution, "Graphics", "Game Screen Resolution"},
    {kPrefLaunchTime, "Start", "Launch Time"},
    {kPrefLaunching, "Start", "Launching (Fail-safe)"},
};

const PreferenceName* FindPreference(int id) {
  for (const auto& name : kPreferenceNames)
    if (name.id == id) return &name;
  return nullptr;
}

// The start-up's own preferences live in the registry until the preference store takes over.
int RegistryGetPreference(int id, int32_t* value) {
  const PreferenceName* name = FindPreference(id);
  if (!name) return 1;
  RegistryMgr key(name->key, false);
  DWORD read = 0;
  if (!key.IsOpen() || !key.ReadValue(name->value, &read, sizeof read)) return 1;
  *value = static_cast<int32_t>(read);
  return 0;
}

int RegistrySetPreference(int id, int32_t value) {
  const PreferenceName* name = FindPreference(id);
  if (!name) return 1;
  RegistryMgr key(name->key, true);
  return key.IsOpen() && key.WriteValue(name->value, static_cast<DWORD>(value)) ? 0 : 1;
}

int CountCourseFolder(const char* name, void* context) {
  PathRecord course = Folders().root;
  if (PathAppend(&course, "DATA") || PathAppend(&course, "COURSES") || PathAppend(&course, name)) return 1;
  if (FileExists(&course, "COURSE.DAT")) ++*static_cast<int*>(context);
  return 1;
}

// Without the catalogue: every folder below DATA\COURSES that holds a COURSE.DAT is a course.
int FolderCourseCount() {
  PathRecord courses = Folders().root;
  if (PathAppend(&courses, "DATA") || PathAppend(&courses, "COURSES") || !PathExists(&courses)) return 0;
  int count = 0;
  FindSubdirectories(&courses, CountCourseFolder, &count);
  return count;
}

uint32_t gLastIdleFrame = 0;

}  // namespace

AppNeighbours& AppHooks() { return gHooks; }
void ResetAppNeighbours() {
  gHooks = AppNeighbours{};
  gLastIdleFrame = 0;
}

int AppGetPreference(int id, int32_t* value) {
  return gHooks.getPreference ? gHooks.getPreference(id, value) : RegistryGetPreference(id, value);
}
int AppSetPreference(int id, int32_t value) {
  return gHooks.setPreference ? gHooks.setPreference(id, value) : RegistrySetPreference(id, value);
}

int AppStartFrontEnd(int how) {
  if (gHooks.startFrontEnd) return gHooks.startFrontEnd(how);
  // The front end marks a start that got through.
  AppSetPreference(kPrefLaunching, 0);
  return 0;
}

int AppShowMessageDialog(const char* text, int twoButtons) {
  if (gHooks.showMessageDialog) return gHooks.showMessageDialog(text, twoButtons);
  const int answer = MessageBoxA(Loop().queueWindow, text, "Zarvo Velmarth 99", twoButtons ? MB_OKCANCEL : MB_OK);
  return answer == IDCANCEL ? 27 : 0;
}

int AppGetCourseCount() { return gHooks.getCourseCount ? gHooks.getCourseCount() : FolderCourseCount(); }
int AppCreateGame(int mode) { return gHooks.createGame ? gHooks.createGame(mode) : 1; }
int AppGameExists() { return gHooks.gameExists ? gHooks.gameExists() : 0; }
int AppRoundInProgress() { return gHooks.roundInProgress ? gHooks.roundInProgress() : 0; }
const char* AppCurrentCourseFolder() {
  const char* folder = gHooks.currentCourseFolder ? gHooks.currentCourseFolder() : nullptr;
  return folder ? folder : "";
}

void AppOnKeyUp(uint32_t code) {
  if (gHooks.onKeyUp) return gHooks.onKeyUp(code);
  // Without a front end, Escape ends the program.
  if (code == VK_ESCAPE) RequestQuit();
}

void AppOnIdle() {
  if (gHooks.onIdle) return gHooks.onIdle();
  // Without a front end the empty screen is shown about 25 times a second.
  const uint32_t now = timeGetTime();
  if (now - gLastIdleFrame < 40) return;
  gLastIdleFrame = now;
  if (DisplayMgr().open) AddDirtyRect(Display().screen);
}

// What the main function, the window procedure and the start-up sequence need of the game's higher layers
// (preference store, 3D start-up, front end, in-round interface, course catalogue, game object, sound, comm
// layer). Each layer installs its routines here before ProgramMain runs; a null member falls back to the
// minimal stand-in in appneighbours.cpp, which is enough to open the window, show an empty screen and quit.
#pragma once

#include <cstdint>

#include "framework/paths.h"

struct AppNeighbours {
  // Preference store: 0 when read or written. Ids as the store numbers them (0, 7, 9, 10 used here).
  int (*getPreference)(int id, int32_t* value) = nullptr;
  int (*setPreference)(int id, int32_t value) = nullptr;
  int (*initPreferencesFile)() = nullptr;
  void (*savePreferencesFile)() = nullptr;

  // 3D start-up: returns 1 when the hardware back end came up.
  int (*startRenderSystem)(int software, int preferDirect3D) = nullptr;

  // Front end.
  int (*startFrontEnd)(int how) = nullptr;  // 0 when it opened
  void (*beginPlay)(int how) = nullptr;
  void (*dispatchControlFire)(uintptr_t wParam, intptr_t lParam) = nullptr;
  // A modal message with one or two buttons; 0 confirmed, 27 cancelled.
  int (*showMessageDialog)(const char* text, int twoButtons) = nullptr;
  void (*redrawFrontEnd)() = nullptr;
  int (*inDemoState)() = nullptr;
  void (*loadDctBackground)(PathRecord* folder, const char* name) = nullptr;

  // In-round interface routers.
  void (*onKeyPress)(uint32_t code) = nullptr;
  void (*onKeyUp)(uint32_t code) = nullptr;
  void (*onPointerPress)(int32_t x, int32_t y, uint32_t flags) = nullptr;
  void (*onPointerRelease)(int32_t x, int32_t y, uint32_t button) = nullptr;
  void (*onIdle)() = nullptr;

  // Course catalogue and golfer roster.
  void (*initGolferRoster)() = nullptr;
  int (*createCourseList)() = nullptr;  // 0 on success, else an error code
  void (*buildCourseList)() = nullptr;
  int (*getCourseCount)() = nullptr;
  void (*freeCourseList)() = nullptr;

  // The current game object.
  int (*createGame)(int mode) = nullptr;  // 1 when a game exists afterwards
  void (*deleteGame)() = nullptr;
  int (*gameExists)() = nullptr;
  void (*gameHandleMessage)(uint32_t message, uintptr_t wParam, intptr_t lParam) = nullptr;
  int (*roundInProgress)() = nullptr;
  void (*setRoundPaused)(int paused) = nullptr;
  void (*endRoundAndSave)(PathRecord* root) = nullptr;  // ends the round, saves golfers and "LastGame.dat"
  int (*gameFileWritten)() = nullptr;
  int (*loadGameFile)(PathRecord* root, const char* name) = nullptr;  // 0 loaded, 5 older format
  void (*setDefaultCourse)() = nullptr;
  int (*setCurrentCourse)() = nullptr;         // 1 when the current course could be made current
  const char* (*currentCourseFolder)() = nullptr;  // folder name of the current course, "" when none
  const char* (*currentCourseDataFile)() = nullptr;
  const char* (*currentCourseDisc)() = nullptr;  // disc name from the course's catalogue entry
  int (*sceneActive)() = nullptr;                // the game shows its 3D scene (key filter)
  // The golfers of the game's four player slots that are in play (at most `max`), and the fallback to
  // substitute animations.
  int (*golfersInPlay)(struct GolferInPlay* out, int max) = nullptr;
  void (*assignGolferModels)() = nullptr;

  // Sound and communication.
  void (*startSound)() = nullptr;
  void (*stopSound)() = nullptr;
  void (*reloadSounds)() = nullptr;
  void (*closeCommLayer)() = nullptr;
  void (*setVoiceSuspended)(int suspended) = nullptr;

  // The movie step: 1 when the movie was played to its end. Without a player nothing is played.
  int (*playMovie)(const char* name) = nullptr;
};

// The installed routines; ResetAppNeighbours puts every member back to null (the stand-ins).
AppNeighbours& AppHooks();
void ResetAppNeighbours();

// Calls through the hooks, or the stand-ins when a hook is null.
int AppGetPreference(int id, int32_t* value);
int AppSetPreference(int id, int32_t value);
int AppStartFrontEnd(int how);
int AppShowMessageDialog(const char* text, int twoButtons);
int AppGetCourseCount();
int AppCreateGame(int mode);
int AppGameExists();
int AppRoundInProgress();
const char* AppCurrentCourseFolder();
void AppOnKeyUp(uint32_t code);
void AppOnIdle();

// Preference ids used by the start-up.
constexpr int kPref3DEnable = 0;
constexpr int kPrefResolution = 7;
constexpr int kPrefLaunchTime = 9;
constexpr int kPrefLaunching = 10;

// The game program's own entry: command line, main window and polling message loop, the queue window's
// procedure and message routing, the start-up sequence and its teardown, video modes and relaunch, the data
// folders on disk or disc, and the credits screen.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/paths.h"
#include "framework/core/utils.h"
#include "windows.h"

// ---- command line ------------------------------------------------------------------------------------------
using OptionHandler = int (*)(int init, const char* argument);
struct CommandLineOption {
  const char* text;
  int32_t takesArgument;
  OptionHandler handler;
};
constexpr int kOptionCount = 18;
extern const CommandLineOption CommandLineOptions[kOptionCount];

constexpr size_t kHostNameMax = 128;
struct StartupFlags {
  int32_t onlineReady = 0, noDemo = 0, softwareRender = 0, preferDirect3D = 0, requestedResolution = 0;
  int32_t showFrameRate = 0, noMovies = 0, noMenuSounds = 0, noGameSounds = 0, noIntro = 0;
  int32_t onlineService = 0, golfTips = 0, screenshot = 0;
  char gameServer[kHostNameMax + 1] = {}, scoreServer[kHostNameMax + 1] = {}, shotServer[kHostNameMax + 1] = {};
};
StartupFlags& Flags();
extern const char* const kDefaultOnlineHost;

int ParseCommandLine(int argc, char** argv);

// ---- display globals -----------------------------------------------------------------------------------------
struct DisplayGlobals {
  int8_t resolution = 1;  // 0..4
  uint8_t resolutionFromRegistry = 0;
  int32_t enable3D = 1;
  uint8_t enable3DFromRegistry = 0;
  uint8_t hardwareActive = 0;
  uint8_t settingsChanged = 0;  // the main menu reports that the video settings were lowered
  int32_t width = 800, height = 600, depth = 16;
  MARect screen{0, 0, 800, 600};
};
DisplayGlobals& Display();

// ---- main function and loop ------------------------------------------------------------------------------------
struct LoopState {
  std::atomic<int32_t> quitNow{0};
  std::atomic<int32_t> quitRequest{0};
  uint32_t passTime = 0;
  uint32_t lastInput = 0;
  uint32_t lastClick = 0;
  HWND mainWindow = nullptr;
  HWND queueWindow = nullptr;
  GuardedQueue* commQueue = nullptr;
  int32_t queueDestroyed = 0;
  int32_t taskSwitch = 0;
  int32_t soundReload = 0;
  int32_t screenshotCounter = 0;
  int32_t pointerX = 0, pointerY = 0, buttonHeld = 0, keyDown = 0;
  DWORD mainThread = 0;
  uint32_t lastEmptyFrame = 0;  // when the empty screen was last shown (no interface drawing)
};
LoopState& Loop();
// Forgets every flag and global of this module (tests).
void ResetGameApp();

int ProgramMain(int argc, char** argv);
int OpenGameWindow();
// Steps of the window set-up and the teardown, on their own for tests.
int DoubleStartGuard();    // 1: the last start was less than 5 s ago (else the start time is noted)
int AnotherCopyRunning();  // 1: a window with the game's title that is not a shell folder exists
void StepDownResolution();
// The fail-safe flag, the 3D setting and the resolution from the preferences.
void ReadStartupPreferences();
void TeardownProgram();
// The polling loop; the WM_QUIT code when it ended on WM_QUIT, else 0.
int RunMessageLoop();
void RequestQuit();

// The teardown steps of the main function, in their order; the hook sees the name of each step (tests).
void SetTeardownObserver(void (*observer)(const char* step));

// ---- window procedure --------------------------------------------------------------------------------------------
constexpr UINT WM_CONTROL_FIRE = 0x900;
LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
struct WinDisplay;
int ForwardToQueueWindow(WinDisplay* display, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT* result);
int MainLoopIdle();
void OnAppDeactivate();
void OnAppReactivate();
void SetKeyFilter(int on);
int KeyFilter(int modifier, int scan);
void ShowDebugMessage(const char* text);
void SaveScreenshot(struct WindowDesc* window);
void RefreshWholeScreen();
// Opens the display manager on the queue window again; the "Could not load DirectX drivers" box and 0 when
// it cannot.
int ReopenDisplayManager(const MARect& rect, int depth);
void GetQueueWindowSize(int32_t* width, int32_t* height);
void AddDirtyRectWH(int32_t left, int32_t top, int32_t width, int32_t height);

// ---- start-up sequence -------------------------------------------------------------------------------------------
int RunStartupSequence();
void FreeStartupResources();
void SetAppActive();
void ClearAppActive();
int IsAppActive();
void ShowStartupPicture(const char* name, int showNow);
int PlayStartupMovie(int probe, const char* name);
extern const char* const kBuildText;

// ---- video modes and relaunch ------------------------------------------------------------------------------------
extern const int32_t kResolutionWidths[5];
extern const int32_t kResolutionHeights[5];
extern int32_t VideoModeAvailable[5];
extern uint8_t ModeChanged;
extern int16_t RightEdgePositions[5];
// One entry of the hardware back end's display-mode list.
struct HardwareMode {
  int32_t width, height, bits, format, offered, pages, pagesLess1;
};
// The display modes a render back end's about record lists (empty for a null record).
std::vector<HardwareMode> ReadHardwareModes(const void* about);
int HardwareModeUsable(int32_t width, int32_t height, int32_t minimum, const void* about);
int32_t BuildVideoModeTable();
int GetVideoModeAvailable(int index);
uint32_t ScreenBufferBytes();
void SetScreenRect(int useTable, int rebuild);
// The front end's menus are laid out for 800 x 600 whatever resolution play uses: `menus` sets the screen up for
// them, else for play at the chosen resolution; the display is switched when the size changes.
constexpr int kMenuResolution = 1;
bool SetScreenLayout(bool menus);  // true when it set the video mode
int SetVideoMode(int keepMode, int loadingScreen);
void ShowLoadingScreen(int intoBackground);
// Another entry of the display's mode set-up; and, after a mode change with the hardware back end, the packed
// object textures and the texture cache loaded again.
void SwitchDisplay(int32_t width, int32_t height, int32_t depth);
void ReloadTexturesAfterModeChange(int unused);
int RelaunchGame();
int ProcessIsRunning(DWORD id);
// Replaces the process probe (tests); null restores the system's.
void SetProcessProbe(int (*probe)(DWORD id));

// ---- data folders --------------------------------------------------------------------------------------------------
struct DataFolders {
  PathRecord root{}, menus{}, fonts{}, ui{}, ui640{}, ui800{}, ui1024{}, data{}, players{};
  PathRecord discRoot{};
  PathRecord courseData{}, courseMovies{};
  int32_t cdFound = 0;
};
DataFolders& Folders();
int LocateGameCd();
void BuildCourseDataPath(int unused);
int EnsureCourseData(int ask);
int ClearGolferTempFiles(int keepPlayers, const char* const* keepNames = nullptr, int keepCount = 0);
int PromptForCourseDisc(const char* discName, int twoButtons);
void PromptForGameDisc();
int PromptWithText(const char* text, int twoButtons);
const char* GetInsertDiscText(const char* discName, char* out, size_t size);
int RescanCourses();
// The catalogue's course count; without a catalogue, the folders below DATA\COURSES that hold a COURSE.DAT.
int CourseCount();

// A golfer model's animation files: 24 rows of two names (an empty name is skipped). The first name of a row
// lives in the golfer folder "DATA\GOLFER", the second in its "SINGLE" folder.
struct GolferModelFiles {
  char names[24][2][74];
};
struct GolferInPlay {
  const char* name;      // shown in the prompts
  const char* dataName;  // its first two characters name the golfer's files
  const GolferModelFiles* model;
};
// Copies (or with `copy` 0 deletes from `to`) the model's files of one column; an existing copy is no failure.
int CopyGolferFiles(PathRecord* from, PathRecord* to, const GolferModelFiles& model, int copy, int column);
int MakeGolferTempFolders();
// Makes each golfer's animation data reachable (root, its TEMP copy, or copied from the disc); 1 when every
// golfer was found, 0 when the player chose substitute animations.
int PrepareGolferData();
int PrepareOneGolferData(const GolferInPlay& golfer);

// ---- credits -------------------------------------------------------------------------------------------------------
constexpr int kCreditsCount = 191;
struct CreditsEntry {
  const char* text;
  uint16_t style;  // 0xFFEA heading, 0xFFFF name
};
extern CreditsEntry CreditsTable[kCreditsCount];
void BuildCreditsTable();
// Shows the screen; returns the number of frames drawn.
int RunCreditsScreen();

// ---- built-in font ---------------------------------------------------------------------------------------------------
// The program's own bitmap font (8 x 16, Latin-1), current from the window set-up on, so that the library's prompt
// boxes draw their text before any font file is read.
const void* BuiltInFont();
size_t BuiltInFontSize();

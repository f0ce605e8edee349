// The game's entry: fail-safe start-up preferences, the command line, the game's windows and the platform
// library, the polling message loop of the main thread and the teardown.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "app/gameapp.h"
#include "framework/core/gfxrecord.h"
#include "framework/core/memmgr.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "mmsystem.h"
#include "platformlib/core/cpu.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/files/filehandle.h"
#include "platformlib/display/keyboard.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/display/windisplay.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/shapes/textdraw.h"
#include "platformlib/core/timer.h"
#include "platformlib/gfx/vortel.h"

namespace {

StartupFlags gFlags;
DisplayGlobals gDisplay;
LoopState gLoop;
void (*gTeardownObserver)(const char*) = nullptr;

void NoteTeardown(const char* step) {
  if (gTeardownObserver) gTeardownObserver(step);
}

int SetFlag(int32_t* flag, int init) {
  *flag = init ? 0 : 1;
  return 1;
}

int HostName(char* buffer, int init, const char* argument) {
  if (init) {
    std::snprintf(buffer, kHostNameMax + 1, "%s", kDefaultOnlineHost);
    return 1;
  }
  if (!argument || std::strlen(argument) > kHostNameMax) return 0;
  std::snprintf(buffer, kHostNameMax + 1, "%s", argument);
  return 1;
}

int OptInetReady(int init, const char*) { return SetFlag(&gFlags.onlineReady, init); }
int OptGameServer(int init, const char* a) { return HostName(gFlags.gameServer, init, a); }
int OptScoreServer(int init, const char* a) { return HostName(gFlags.scoreServer, init, a); }
int OptNoDemo(int init, const char*) { return SetFlag(&gFlags.noDemo, init); }
int OptShotServer(int init, const char* a) { return HostName(gFlags.shotServer, init, a); }
int OptSoftware(int init, const char*) { return SetFlag(&gFlags.softwareRender, init); }
int OptDirect3D(int init, const char*) { return SetFlag(&gFlags.preferDirect3D, init); }
int OptResolution(int init, const char* argument) {
  gFlags.requestedResolution = init || !argument ? 0 : std::atoi(argument);
  // Only the table's indexes are taken; anything else counts as not given.
  if (gFlags.requestedResolution < 1 || gFlags.requestedResolution > 4) gFlags.requestedResolution = 0;
  return 1;
}
int OptShowFps(int init, const char*) { return SetFlag(&gFlags.showFrameRate, init); }
int OptScreenMode(int init, const char* argument) {
  if (init || !argument) return 1;
  static const char* const kModes[] = {"640", "800", "1024", "1280"};
  for (int i = 0; i < 4; ++i)
    if (!std::strcmp(argument, kModes[i])) gDisplay.resolution = static_cast<int8_t>(i);
  return 1;
}
int OptNoMovies(int init, const char*) { return SetFlag(&gFlags.noMovies, init); }
int OptNoMenuSounds(int init, const char*) { return SetFlag(&gFlags.noMenuSounds, init); }
int OptNoGameSounds(int init, const char*) { return SetFlag(&gFlags.noGameSounds, init); }
int OptNoIntro(int init, const char*) { return SetFlag(&gFlags.noIntro, init); }
int OptNetwire(int init, const char*) {
  SetFlag(&gFlags.onlineService, init);
  if (!init) gFlags.noIntro = 1;
  return 1;
}
int OptTips(int init, const char*) { return SetFlag(&gFlags.golfTips, init); }
int OptWaitForProcess(int init, const char* argument) {
  if (init || !argument) return 1;
  const DWORD id = static_cast<DWORD>(std::strtoul(argument, nullptr, 10));
  if (!id) return 1;
  while (ProcessIsRunning(id)) Sleep(200);
  return 1;
}
int OptScreenshot(int init, const char*) { return SetFlag(&gFlags.screenshot, init); }

// Closing the display window asks the game to end, as the front end's quit does.
int OnMainWindowClose(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT* result) {
  RequestQuit();
  *result = 0;
  return 1;
}

void RestoreHardware() {
  if (gDisplay.hardwareActive && vortellive.restore) vortellive.restore();
}

}  // namespace

const char* const kDefaultOnlineHost = "golf.vextour.example";

const CommandLineOption CommandLineOptions[kOptionCount] = {
    {"/INETREADY", 0, OptInetReady},     {"/GS", 1, OptGameServer},          {"/TS", 1, OptScoreServer},
    {"/NODEMO", 0, OptNoDemo},           {"/SS", 1, OptShotServer},          {"/SWRENDER", 0, OptSoftware},
    {"/D3D", 0, OptDirect3D},            {"/RES", 1, OptResolution},         {"/SHOWFPS", 1, OptShowFps},
    {"/SCREENMODE", 1, OptScreenMode},   {"/NOMOVIES", 0, OptNoMovies},      {"/NOMENUSOUNDS", 0, OptNoMenuSounds},
    {"/NOGAMESOUNDS", 0, OptNoGameSounds}, {"/NOINTRO", 0, OptNoIntro},      {"/NETWIRE", 0, OptNetwire},
    {"/VEZEVADOZ", 0, OptTips},          {"/WAITFORPROCESS", 1, OptWaitForProcess}, {"/SCREENSHOT", 0, OptScreenshot},
};

StartupFlags& Flags() { return gFlags; }
DisplayGlobals& Display() { return gDisplay; }
LoopState& Loop() { return gLoop; }
void SetTeardownObserver(void (*observer)(const char*)) { gTeardownObserver = observer; }
void RequestQuit() { gLoop.quitRequest = 1; }

void ResetGameApp() {
  gFlags = StartupFlags{};
  gDisplay = DisplayGlobals{};
  gLoop.quitNow = 0;
  gLoop.quitRequest = 0;
  gLoop.passTime = gLoop.lastInput = gLoop.lastClick = 0;
  gLoop.mainWindow = gLoop.queueWindow = nullptr;
  gLoop.commQueue = nullptr;
  gLoop.queueDestroyed = gLoop.taskSwitch = gLoop.soundReload = gLoop.screenshotCounter = 0;
  gLoop.pointerX = gLoop.pointerY = gLoop.buttonHeld = gLoop.keyDown = 0;
  gLoop.mainThread = 0;
  gLoop.lastEmptyFrame = 0;
  Facts() = SharedFacts{};
}

int ParseCommandLine(int argc, char** argv) {
  for (const auto& option : CommandLineOptions) option.handler(1, nullptr);
  for (int i = 1; i < argc && argv[i]; ++i) {
    for (const auto& option : CommandLineOptions) {
      if (strcasecmp(argv[i], option.text) != 0) continue;
      const char* argument = argv[i];
      if (option.takesArgument) {
        ++i;
        argument = i < argc ? argv[i] : nullptr;
      }
      option.handler(0, argument);
      break;
    }
    if (i >= argc) break;
  }
  return 1;
}

int DoubleStartGuard() {
  int32_t launched = 0;
  if (Svc().preferences->Get(kPrefLaunchTime, &launched)) launched = 0;
  const uint32_t now = timeGetTime();
  const uint32_t last = static_cast<uint32_t>(launched);
  if (now > last && now - last < 5000) return 1;
  Svc().preferences->Set(kPrefLaunchTime, static_cast<int32_t>(now));
  return 0;
}

int AnotherCopyRunning() {
  HWND other = FindWindowA(nullptr, kProductTitle);
  if (!other) return 0;
  // A shell folder window may carry the game's title.
  char className[51] = {};
  GetClassNameA(other, className, 50);
  return std::strcmp(className, "CabinetWClass") != 0 ? 1 : 0;
}

void StepDownResolution() {
  while (gDisplay.resolution > 0 && !GetVideoModeAvailable(gDisplay.resolution)) {
    --gDisplay.resolution;
    if (gDisplay.resolutionFromRegistry) gDisplay.settingsChanged = 1;
  }
  // "/RES" is held to what can be shown too: the largest size that fits, or the stored one when none of its sizes
  // does (0 counts as not given).
  const int32_t asked = gFlags.requestedResolution;
  while (gFlags.requestedResolution > 0 && !GetVideoModeAvailable(gFlags.requestedResolution))
    --gFlags.requestedResolution;
  if (asked != gFlags.requestedResolution)
    WriteLogLine(("\"/RES " + std::to_string(asked) + "\" cannot be shown here: " +
                  (gFlags.requestedResolution ? "/RES " + std::to_string(gFlags.requestedResolution) + " instead"
                                              : std::string("the stored resolution instead")))
                     .c_str());
}

void TeardownProgram() {
  NoteTeardown("FreeStartupResources");
  FreeStartupResources();
  NoteTeardown("MemShutdown1");
  MemDebugNoOp();
  NoteTeardown("AnimationCache");
  GfxFreeScratch();
  NoteTeardown("DisplayManagerClose");
  DisplayManagerClose();
  NoteTeardown("MemShutdown2");
  MemDebugNoOp();
  if (gDisplay.hardwareActive) {
    NoteTeardown("VORTEL_restore");
    RestoreHardware();
  }
}

int OpenGameWindow() {
  gDisplay.width = 800;
  gDisplay.height = 600;
  gDisplay.depth = 16;
  gDisplay.screen = {0, 0, 800, 600};
  // A render module opens its display at the screen's size: the size the menus come up at, not a default.
  Facts().screenWidth = gDisplay.width;
  Facts().screenHeight = gDisplay.height;
  SetKeyFilter(0);
  MemInit(gDisplay.width, gDisplay.height);

  if (DoubleStartGuard()) exitprogram();
  HINSTANCE instance = GetModuleHandleA("VODOVU.EXE");
  if (AnotherCopyRunning()) {
    MessageBoxA(nullptr, "Only one Zarvo Velmarth 99 VEX TOUR Golf game can run at a time.", "SORRY",
                MB_ICONHAND | MB_SYSTEMMODAL | MB_SETFOREGROUND);
    exitprogram();
  }

  initmainthread();
  initfiles(0);
  inittimer(120);
  identifycpu();
  getcpuspeed();
  if (!cpupentium && !cpup6 && !cpuextended && !cpucyrix && !cpuamd) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    MessageBoxA(nullptr, "This application requires a Pentium or better.", kProductTitle, 0);
    exitprogram();
  }

  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = QueueWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "QWindow";
  if (!RegisterClassA(&windowClass)) {
    ShowDebugMessage("ERROR:Register class failed!");
    return 0;
  }
  static GuardedQueue commQueue;
  gLoop.commQueue = GuardedQueueCreate(&commQueue);
  CommQueue = gLoop.commQueue;
  // Messages that reach the queue window while the game is paused wait here (also without a comm thread).
  static GuardedQueue deferredQueue;
  if (!CommDeferredQueue) CommDeferredQueue = GuardedQueueCreate(&deferredQueue);
  gLoop.queueWindow =
      CreateWindowExA(0, "QWindow", kProductTitle, 0, 10000, 10000, 10, 10, nullptr, nullptr, instance, nullptr);
  if (!gLoop.queueWindow) {
    ShowDebugMessage("Could not create window for Queue Window!");
    return 0;
  }
  ShowWindow(gLoop.queueWindow, SW_HIDE);
  SetWindowTextA(gLoop.queueWindow, "VEXQW");
  CommQueueWindow = gLoop.queueWindow;
  Facts().queueWindow = gLoop.queueWindow;

  if (!gFlags.softwareRender) gFlags.softwareRender = gDisplay.enable3D == 0;
  // A render module takes the library's main window for its display: the window system's hooks must be in place
  // before it opens, not the memory stand-ins that serve until the first display is opened.
  if (!gFlags.softwareRender) installwindisplayhooks();
  // 1 also when software was asked for; only without that request does it mean a hardware back end is up.
  const int started = Svc().scene->StartRenderSystem(gFlags.softwareRender, gFlags.preferDirect3D);
  const int hardware = started && !gFlags.softwareRender;
  gDisplay.hardwareActive = hardware ? 1 : 0;
  Facts().hardwareDisplay = gDisplay.hardwareActive;
  if (hardware) {
    gFlags.softwareRender = 0;
    if (!gDisplay.enable3DFromRegistry) {
      Svc().preferences->Set(kPref3DEnable, gDisplay.hardwareActive);
      gDisplay.enable3DFromRegistry = 1;
    }
  }

  displayoptions = DISPLAY_BLITTING | DISPLAY_NOFLIP;
  BuildVideoModeTable();
  StepDownResolution();
  Svc().preferences->Set(kPref3DEnable, gDisplay.hardwareActive);
  Svc().preferences->Set(kPrefResolution, gDisplay.resolution);
  SetScreenRect(1, 0);

  // The mode list came from a default display; the game's own opens afresh at its size.
  if (graphicsstate == 7) restoregraphics();
  initgraphics(gDisplay.width, gDisplay.height, gDisplay.depth);
  if (graphicsstate != 7 || displaywidth != gDisplay.width || displayheight != gDisplay.height) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    MessageBoxA(gLoop.queueWindow, "Could not load DirectX drivers", "VEX TOUR error", 0);
    RestoreHardware();
    exitprogram();
  }
  inittext();
  uint8_t palette[256 * 3];
  std::memcpy(palette, defaultpalette, sizeof palette);
  setpalette(0, 256, palette);
  // Set before the first prompt box (Ctrl+P, Ctrl+X) can be shown, so that its text is drawn.
  setfont(BuiltInFont());
  textcolour(rgbpixel(0xFF000000), rgbpixel(0xFFFFFFFF));
  if (!mousestate().initialised) initmouse();
  numlockoff();
  initkeys();
  checkjapanesekeyboard();
  installhotkeys();
  initreciprocals();
  stopkeys();

  gLoop.mainWindow = getmainwindowhandle();
  if (gLoop.mainWindow) SetWindowTextA(gLoop.mainWindow, kProductTitle);
  Facts().mainWindow = gLoop.mainWindow;
  Facts().gameServer = gFlags.gameServer;
  SetErrorBoxOwner(gLoop.mainWindow, gLoop.queueWindow, OnAppDeactivate);
  static const UINT kForwarded[] = {WM_ACTIVATE,    WM_NCACTIVATE,    WM_PAINT,     WM_MOUSEMOVE,   WM_LBUTTONDBLCLK,
                                    WM_LBUTTONDOWN, WM_RBUTTONDOWN,   WM_RBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONUP,
                                    WM_SYSKEYUP,    WM_SYSKEYDOWN,    WM_KEYUP,     WM_KEYDOWN,     WM_SYSCOMMAND,
                                    WM_CHAR,        WM_GOLF,          WM_TIMER,     WM_COMM_MESSAGE, 0x800};
  for (UINT message : kForwarded) setmessagehandler(message, ForwardToQueueWindow);
  setmessagehandler(WM_CLOSE, OnMainWindowClose);
  SetAppActive();

  if (!DisplayManagerInit(gDisplay.screen, gDisplay.depth)) {
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    MessageBoxA(gLoop.queueWindow, "Could not load DirectX drivers", "VEX TOUR error", 0);
    RestoreHardware();
    exitprogram();
  }
  if (RunStartupSequence() != 0) {
    RestoreHardware();
    exitprogram();
  }
  AddDirtyRect(gDisplay.screen);
  GfxInitScratch();
  SetKeyFilter(1);
  SceneProvider& scene = *Svc().scene;
  scene.InitDepthBands();
  if (gDisplay.hardwareActive)
    scene.InitStaticRenderBuffers();
  else
    scene.InitRenderPointerTables();
  return 1;
}

void ReadStartupPreferences() {
  int32_t value = 0;
  if (!Svc().preferences->Get(kPrefLaunching, &value) && value != 0) {
    // The previous start died before the front end opened: start plain.
    Svc().preferences->Set(kPref3DEnable, 0);
    gDisplay.resolution = 0;
    Svc().preferences->Set(kPrefResolution, 0);
  } else {
    Svc().preferences->Set(kPrefLaunching, 1);
  }
  if (!Svc().preferences->Get(kPref3DEnable, &value)) {
    gDisplay.enable3D = value;
    gDisplay.enable3DFromRegistry = 1;
  } else {
    gDisplay.enable3DFromRegistry = 0;
    gDisplay.enable3D = 1;
  }
  if (Svc().preferences->Get(kPrefResolution, &value)) {
    gDisplay.resolutionFromRegistry = 0;
  } else if (value >= 0 && value <= 4) {
    gDisplay.resolution = static_cast<int8_t>(value);
    gDisplay.resolutionFromRegistry = 1;
  } else {
    gDisplay.resolution = 1;
    gDisplay.resolutionFromRegistry = 0;
  }

}

int RunMessageLoop() {
  MSG message{};
  gLoop.lastInput = timeGetTime();
  // The exit code: the WM_QUIT code when the loop ended on one, else 0 (not the wParam of whatever message
  // happened to come last).
  int exitCode = 0;
  while (!gLoop.quitNow && !gLoop.quitRequest.load()) {
    gLoop.passTime = timeGetTime();
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        exitCode = static_cast<int>(message.wParam);
        break;
      }
      if (!message.hwnd) message.hwnd = gLoop.queueWindow;
      if (message.message == WM_KEYDOWN && message.wParam >= 0x60 && message.wParam <= 0x69) {
        // A key-down posted on from the display window may bring its character already; translating it
        // again would type the digit twice.
        MSG queued{};
        const bool charQueued = PeekMessageA(&queued, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
                                queued.wParam == static_cast<WPARAM>('0' + (message.wParam - 0x60));
        if (!charQueued) TranslateMessage(&message);
      }
      DispatchMessageA(&message);
    } else {
      MainLoopIdle();
      // The loop polls; a short yield keeps an idle game from taking a whole processor.
      Sleep(0);
    }
    MemDebugNoOp();
    // A quit request seen by the idle step tears the queue window down; run it before leaving.
    if (gLoop.quitRequest && !gLoop.queueDestroyed) MainLoopIdle();
  }

  return exitCode;
}

int ProgramMain(int argc, char** argv) {
  ReadStartupPreferences();
  if (!ParseCommandLine(argc, argv)) return 0;
  if (!OpenGameWindow()) return 0;
  Svc().frontEnd->BeginPlay(0);
  WriteLogLine("Game started");
  LogServices();

  char text[48];
  std::snprintf(text, sizeof text, "StartTime = %ld\r\n", static_cast<long>(timeGetTime()));
  OutputDebugStringA(text);
  const int exitCode = RunMessageLoop();
  TeardownProgram();
  WriteLogLine("Game ended");
  return exitCode;
}

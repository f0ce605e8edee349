// Resolutions the display or the hardware back end can show, the step-down, relaunch, and the teardown order.
#include <string>
#include <vector>

#include "framework/core/errors.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/glide/glide.h"
#include "platformlib/core/memclass.h"
#include "platformlib/gfx/vortel.h"
#include "startup_fixture.h"

namespace {

using VideoTest = StartupTest;

// The built-in back end's about record with the given modes as entries 1..n.
GlideAbout gAbout;
intptr_t AboutRecord() { return reinterpret_cast<intptr_t>(&gAbout); }
void ListModes(const std::vector<GlideModeEntry>& modes) {
  gAbout = GlideAbout{};
  gAbout.tag = kGlideTag;
  gAbout.version = 104;
  gAbout.modecount = static_cast<int32_t>(modes.size());
  for (size_t i = 0; i < modes.size(); ++i) gAbout.modes[i + 1] = modes[i];
}

TEST_F(VideoTest, HardwareModeListDecidesUsableResolutions) {
  Display().hardwareActive = 1;
  const VortelDriver saved = vortellive;
  vortellive.about = AboutRecord;
  const std::vector<GlideModeEntry> modes = {
      {640, 480, 16, 3, 1, 3, 2, {}},   {800, 600, 15, 4, 1, 3, 2, {}},  // 15 bits count as 16
      {1024, 768, 16, 11, 1, 2, 1, {}},                                // too few pages
      {1280, 1024, 32, 3, 1, 3, 2, {}},                                // wrong depth
      {1600, 1200, 16, 5, 1, 3, 2, {}},                                // wrong pixel format
  };
  ListModes(modes);
  EXPECT_EQ(BuildVideoModeTable(), 1024000);
  EXPECT_EQ(std::vector<int32_t>(VideoModeAvailable, VideoModeAvailable + 5), (std::vector<int32_t>{1, 1, 0, 0, 0}));
  // A back end that offers one resolution only still gets 640 x 480.
  ListModes({modes[1]});
  BuildVideoModeTable();
  EXPECT_EQ(std::vector<int32_t>(VideoModeAvailable, VideoModeAvailable + 5), (std::vector<int32_t>{2, 1, 0, 0, 0}));
  // No about record at all: nothing is listed, 640 x 480 stays usable.
  vortellive.about = nullptr;
  BuildVideoModeTable();
  EXPECT_EQ(std::vector<int32_t>(VideoModeAvailable, VideoModeAvailable + 5), (std::vector<int32_t>{2, 0, 0, 0, 0}));
  EXPECT_TRUE(ReadHardwareModes(nullptr).empty());
  vortellive = saved;
}

// The stored resolution and the one "/RES" asks for step down to the largest available; a "/RES" none of whose
// sizes is available counts as not given.
TEST_F(VideoTest, StepDownToTheBestAvailableResolution) {
  const struct {
    int8_t start;
    uint8_t fromRegistry;
    std::vector<int32_t> available;
    int8_t expected;
    uint8_t changed;
    int32_t asked = 0, requested = 0;
  } cases[] = {
      {4, 1, {1, 1, 0, 0, 0}, 1, 1}, {4, 0, {1, 1, 0, 0, 0}, 1, 0}, {2, 1, {1, 1, 1, 0, 0}, 2, 0},
      {3, 1, {0, 0, 0, 0, 0}, 0, 1}, {0, 1, {0, 0, 0, 0, 0}, 0, 0},
      {1, 1, {1, 1, 1, 1, 0}, 1, 0, 4, 3}, {1, 1, {1, 1, 1, 0, 0}, 1, 0, 2, 2}, {0, 1, {1, 0, 0, 0, 0}, 0, 0, 3, 0},
  };
  for (const auto& c : cases) {
    Display().resolution = c.start;
    Display().resolutionFromRegistry = c.fromRegistry;
    Display().settingsChanged = 0;
    Flags().requestedResolution = c.asked;
    for (int i = 0; i < 5; ++i) VideoModeAvailable[i] = c.available[i];
    StepDownResolution();
    EXPECT_EQ(Display().resolution, c.expected) << int(c.start);
    EXPECT_EQ(Display().settingsChanged, c.changed) << int(c.start);
    EXPECT_EQ(Flags().requestedResolution, c.requested) << c.asked;
  }
  Flags().requestedResolution = 0;
}

TEST_F(VideoTest, ScreenSizesAndBufferBytes) {
  const uint32_t bytes[5] = {614400, 960000, 1572864, 2621440, 3840000};
  for (int8_t i = 0; i < 5; ++i) {
    Display().resolution = i;
    EXPECT_EQ(ScreenBufferBytes(), bytes[i]);
    SetScreenRect(1, 0);
    EXPECT_EQ(Display().width, kResolutionWidths[i]);
    EXPECT_EQ(Display().screen.bottom, kResolutionHeights[i]);
  }
  Display().resolution = 5;
  EXPECT_EQ(ScreenBufferBytes(), 0u);
  // "/RES" replaces the index; the width change is noted.
  Display().resolution = 0;
  SetScreenRect(1, 0);
  ModeChanged = 0;
  Flags().requestedResolution = 2;
  SetScreenRect(1, 0);
  EXPECT_EQ(Display().width, 1024);
  EXPECT_EQ(ModeChanged, 1);
}

// Each of the five resolutions reaches the hardware back end as its own mode number, and the display is then
// opened at that size.
std::vector<int32_t> gModesAsked;
std::vector<int32_t> gGraphicsWidths;

int32_t RecordVideoMode(int32_t mode, int32_t, int32_t) {
  gModesAsked.push_back(mode);
  return 1;
}

// Notes the size and opens the stand-in's display (its fake driver lists all five sizes at 16 bits).
int RecordGraphics(int32_t width, int32_t height, int32_t depth) {
  gGraphicsWidths.push_back(width);
  initgraphicsreplacement = nullptr;
  initgraphics(width, height, depth);
  initgraphicsreplacement = RecordGraphics;
  return 1;
}

// A hardware back end whose mode sets go to `setMode`, the display opened through RecordGraphics; all put back
// when it goes.
struct RecordingBackEnd {
  explicit RecordingBackEnd(VortelSetVideoModeFn setMode) {
    if (!memstarted()) initmem();
    gModesAsked.clear();
    gGraphicsWidths.clear();
    vortellive.setvideomode = setMode;
    initgraphicsreplacement = RecordGraphics;
    Display().hardwareActive = 1;
  }
  ~RecordingBackEnd() {
    restoregraphics();
    vortellive = saved;
    initgraphicsreplacement = savedInit;
    Display().hardwareActive = 0;
  }
  const VortelDriver saved = vortellive;
  decltype(initgraphicsreplacement) const savedInit = initgraphicsreplacement;
};

TEST_F(VideoTest, EachResolutionReachesTheBackEndAsItsOwnMode) {
  {
    RecordingBackEnd backEnd(RecordVideoMode);
    for (int8_t i = 0; i < 5; ++i) {
      Display().resolution = i;
      SetScreenRect(1, 0);
      ModeChanged = 1;
      EXPECT_EQ(SetVideoMode(0, 0), 0) << kResolutionWidths[i];
      EXPECT_EQ(graphicsstate, 7) << kResolutionWidths[i];
    }
  }
  EXPECT_EQ(gModesAsked, (std::vector<int32_t>{1, 2, 13, 14, 15}));
  EXPECT_EQ(gGraphicsWidths, (std::vector<int32_t>{640, 800, 1024, 1280, 1600}));
}

// A back end that refuses the size "/RES" asked for: the mode steps down to one it takes (before, the request put
// the refused size back on every try).
int32_t TakeUpTo800(int32_t mode, int32_t, int32_t) {
  gModesAsked.push_back(mode);
  return mode <= 2 ? 1 : 0;
}

TEST_F(VideoTest, ARefusedRequestedSizeStepsDownToOneTheBackEndTakes) {
  {
    RecordingBackEnd backEnd(TakeUpTo800);
    Flags().requestedResolution = 4;
    SetScreenRect(1, 0);
    ModeChanged = 1;
    EXPECT_EQ(SetVideoMode(0, 0), 0);
  }
  EXPECT_EQ(gModesAsked, (std::vector<int32_t>{15, 14, 13, 2}));
  EXPECT_EQ(gGraphicsWidths, (std::vector<int32_t>{800}));
  EXPECT_EQ(Display().width, 800);
  EXPECT_EQ(Flags().requestedResolution, 1);
  Flags().requestedResolution = 0;
}

TEST_F(VideoTest, RelaunchStartsAWaitingCopyAndQuits) {
  HostFile("c/teebox.exe", "#!/bin/sh\n");
  std::filesystem::permissions(root_ + "/c/teebox.exe", std::filesystem::perms::owner_all);
  static std::vector<winapi::testing::SpawnRequest>* requests;
  std::vector<winapi::testing::SpawnRequest> seen;
  requests = &seen;
  winapi::testing::SetSpawnHook([](const winapi::testing::SpawnRequest& r) {
    requests->push_back(r);
    return winapi::testing::SpawnResult{};
  });
  EXPECT_NE(RelaunchGame(), 0) << GetLastError();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].parameters, "/NOINTRO /WAITFORPROCESS " + std::to_string(GetCurrentProcessId()));
  EXPECT_EQ(Loop().quitRequest.load(), 1);
  // A copy that cannot be started leaves the game running.
  Loop().quitRequest = 0;
  winapi::testing::SetSpawnHook([](const winapi::testing::SpawnRequest&) {
    winapi::testing::SpawnResult result;
    result.started = false;
    result.error = ERROR_ACCESS_DENIED;
    return result;
  });
  EXPECT_EQ(RelaunchGame(), 0);
  EXPECT_EQ(Loop().quitRequest.load(), 0);
}

std::vector<std::string>* steps = nullptr;

TEST_F(VideoTest, TeardownRunsInItsOrderAndFreesOnce) {
  std::vector<std::string> seen;
  steps = &seen;
  SetTeardownObserver([](const char* step) { steps->push_back(step); });
  static int freed, saved;
  freed = saved = 0;
  fakes_.deleteGame = [] { ++freed; };
  fakes_.savePreferencesFile = [] { ++saved; };
  Display().hardwareActive = 1;
  TeardownProgram();
  EXPECT_EQ(seen, (std::vector<std::string>{"FreeStartupResources", "MemShutdown1", "AnimationCache",
                                            "DisplayManagerClose", "MemShutdown2", "VORTEL_restore"}));
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(saved, 1);
  TeardownProgram();
  EXPECT_EQ(freed, 1);
}

TEST_F(VideoTest, RoundInProgressIsSavedNotThePreferences) {
  static int saved, ended;
  saved = ended = 0;
  fakes_.roundInProgress = [] { return 1; };
  fakes_.savePreferencesFile = [] { ++saved; };
  fakes_.endRoundAndSave = [](PathRecord*) { ++ended; };
  FreeStartupResources();
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(ended, 1);
}

TEST_F(VideoTest, SecondStartWithinFiveSeconds) {
  EXPECT_EQ(DoubleStartGuard(), 0);  // no time stored
  winapi::testing::AdvanceClock(4999);
  EXPECT_EQ(DoubleStartGuard(), 1);
  winapi::testing::AdvanceClock(1);
  EXPECT_EQ(DoubleStartGuard(), 0);
  // A stored time in the future (the clock restarted) does not block.
  Svc().preferences->Set(kPrefLaunchTime, static_cast<int32_t>(GetTickCount() + 100));
  EXPECT_EQ(DoubleStartGuard(), 0);
}

TEST_F(VideoTest, SingleInstanceCheck) {
  EXPECT_EQ(AnotherCopyRunning(), 0);
  WNDCLASSA c{};
  c.lpfnWndProc = DefWindowProcA;
  c.lpszClassName = "CabinetWClass";
  RegisterClassA(&c);
  HWND folder = CreateWindowExA(0, "CabinetWClass", kProductTitle, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(AnotherCopyRunning(), 0);  // a shell folder with the game's title
  DestroyWindow(folder);
  c.lpszClassName = "QWindow";
  RegisterClassA(&c);
  HWND other = CreateWindowExA(0, "QWindow", kProductTitle, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(AnotherCopyRunning(), 1);
  // Renamed, the queue window no longer counts.
  SetWindowTextA(other, "VEXQW");
  EXPECT_EQ(AnotherCopyRunning(), 0);
  DestroyWindow(other);
}

}  // namespace

namespace {

TEST_F(VideoTest, FailSafePreferencesAtStart) {
  struct Case {
    int32_t launching, enable3D, resolution;  // -1: absent
    int8_t expectResolution;
    uint8_t expectFromRegistry;
    int32_t expectEnable3D;
    uint8_t expect3DFromRegistry;
  };
  const Case cases[] = {
      {-1, -1, -1, 1, 0, 1, 0},  // first start: defaults
      {0, 1, 3, 3, 1, 1, 1},     // the last start got through
      {1, 1, 3, 0, 1, 0, 1},     // it did not: 3D off, 640 x 480
      {0, 0, 7, 1, 0, 0, 1},     // a stored index outside the table
      {0, 1, -5, 1, 0, 1, 1},    // a negative index
  };
  for (const Case& c : cases) {
    winapi::registry::UseFile(root_ + "/registry" + std::to_string(&c - cases) + ".txt");
    ResetGameApp();
    if (c.launching >= 0) Svc().preferences->Set(kPrefLaunching, c.launching);
    if (c.enable3D >= 0) Svc().preferences->Set(kPref3DEnable, c.enable3D);
    if (c.resolution != -1) Svc().preferences->Set(kPrefResolution, c.resolution);
    ReadStartupPreferences();
    const int index = static_cast<int>(&c - cases);
    EXPECT_EQ(Display().resolution, c.expectResolution) << index;
    EXPECT_EQ(Display().resolutionFromRegistry, c.expectFromRegistry) << index;
    EXPECT_EQ(Display().enable3D, c.expectEnable3D) << index;
    EXPECT_EQ(Display().enable3DFromRegistry, c.expect3DFromRegistry) << index;
    int32_t launching = -1;
    EXPECT_EQ(Svc().preferences->Get(kPrefLaunching, &launching), 0);
    EXPECT_EQ(launching, c.launching > 0 ? c.launching : 1) << index;
  }
}

}  // namespace

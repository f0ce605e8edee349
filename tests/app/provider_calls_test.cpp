// What the start-up, the shutdown, leaving the screen, mode changes and the comm deferral ask of the providers.
#include <cstring>
#include <string>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/errors.h"
#include "mmsystem.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "startup_fixture.h"

namespace {

std::vector<std::string>* gCalls = nullptr;
void Note(const char* call) {
  if (gCalls) gCalls->push_back(call);
}

// Notes the calls of the scene, sound, catalogue, front end, game and network that the shutdown and the screen
// changes make.
class Recorder : public GameProvider,
                 public SceneProvider,
                 public SoundProvider,
                 public CourseCatalogueProvider,
                 public FrontEndProvider,
                 public NetworkProvider {
 public:
  bool round = false, paused = false, textureCache = false;
  const char* Name() const override { return "recorder"; }
  bool GameExists() override { return true; }
  bool GamePaused() override { return paused; }
  bool RoundInProgress() override { return round; }
  void SetRoundPaused(bool on) override {
    paused = on;
    Note(on ? "pause" : "resume");
  }
  void EndRoundAndSave(PathRecord*) override { Note("EndRoundAndSave"); }
  void DeleteGame() override { Note("DeleteGame"); }
  void FreeComputerGolferTables() override { Note("FreeComputerGolferTables"); }
  void FreeBreakLineBuffer() override { Note("FreeBreakLineBuffer"); }
  void SetDefaultRenderStates() override { Note("SetDefaultRenderStates"); }
  bool TextureCacheActive() override { return textureCache; }
  void ResetTextureCache() override { Note("ResetTextureCache"); }
  void ReloadPackedTextures() override { Note("ReloadPackedTextures"); }
  void StopSound() override { Note("StopSound"); }
  void FreeGameSounds() override { Note("FreeGameSounds"); }
  void FreeShotList() override { Note("FreeShotList"); }
  void FreeCourseList() override { Note("FreeCourseList"); }
  void DeleteCurrentScreen() override { Note("DeleteCurrentScreen"); }
  void CloseComm() override { Note("CloseComm"); }

  Services Installed() {
    Services s;
    s.game = this;
    s.scene = this;
    s.sound = this;
    s.catalogue = this;
    s.frontEnd = this;
    s.network = this;
    return s;
  }
};

class ProviderCallsTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    InstallServices(recorder_.Installed());
    gCalls = &calls_;
  }
  void TearDown() override {
    gCalls = nullptr;
    gfxstate().surfacelocked = 0;
    StartupTest::TearDown();
  }
  Recorder recorder_;
  std::vector<std::string> calls_;
};

TEST_F(ProviderCallsTest, ShutdownFreesThroughTheProvidersInItsOrder) {
  recorder_.round = true;
  FreeStartupResources();
  EXPECT_EQ(calls_, (std::vector<std::string>{"EndRoundAndSave", "FreeShotList", "FreeCourseList", "CloseComm",
                                               "FreeBreakLineBuffer", "DeleteGame", "DeleteCurrentScreen",
                                               "FreeGameSounds", "StopSound", "FreeComputerGolferTables"}));
  calls_.clear();
  FreeStartupResources();
  EXPECT_TRUE(calls_.empty());
}

TEST_F(ProviderCallsTest, LeavingTheScreenPausesTheRoundAndStopsSoundUnlessABackEndHoldsTheLock) {
  const struct {
    uint8_t hardware;
    int32_t locked;
    bool round;
    std::vector<std::string> calls;
  } cases[] = {
      {0, 0, true, {"pause", "StopSound"}},
      {1, 0, false, {"StopSound"}},
      {1, 1, true, {"pause"}},  // the back end is drawing a frame: the sound is left running
      {0, 1, false, {"StopSound"}},
  };
  for (const auto& c : cases) {
    calls_.clear();
    Display().hardwareActive = c.hardware;
    gfxstate().surfacelocked = c.locked;
    recorder_.round = c.round;
    Loop().taskSwitch = 0;
    SetAppActive();
    OnAppDeactivate();
    EXPECT_EQ(calls_, c.calls) << int(c.hardware) << " " << c.locked;
    EXPECT_FALSE(IsAppActive());
  }
}

TEST_F(ProviderCallsTest, TexturesAreReloadedAfterAModeChangeWithTheHardwareBackEndOnly) {
  ReloadTexturesAfterModeChange(0);
  EXPECT_TRUE(calls_.empty());
  Display().hardwareActive = 1;
  ReloadTexturesAfterModeChange(0);
  EXPECT_EQ(calls_, (std::vector<std::string>{"ReloadPackedTextures"}));
}

TEST_F(ProviderCallsTest, StartSeedsTheScenesRandomNumbersFromTheClock) {
  SceneProvider seeded;
  // Bits 4..11 of the time in both seed bytes.
  const uint32_t b = (timeGetTime() >> 4) & 0xFF;
  seeded.SeedRandom15(b | b << 8);
  InstallServices(Services{});
  Svc().scene->SeedRandom15(1);
  for (const char* f : {"MENUS", "FONTS", "UI", "UI640", "UI800"}) Folder(std::string("c/DATA/") + f);
  HostFile("c/DATA/COURSES/SEDGEFEN/COURSE.DAT", "x");
  Flags().noIntro = 1;
  ASSERT_EQ(RunStartupSequence(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Svc().scene->Random15(), seeded.Random15()) << i;
}

// A comm message for the comm queue: system message 3 with its second argument.
uint8_t* SystemMessage(uint32_t argument, uint32_t* length) {
  *length = kCommArgumentB + 4;
  uint8_t* message = CommMessageAlloc(*length);
  const uint32_t code = 3;
  std::memcpy(message + kCommCodeOffset, &code, 4);
  std::memcpy(message + kCommArgumentB, &argument, 4);
  return message;
}

TEST_F(ProviderCallsTest, MessagesDeferredWithoutACommThreadAreDeliveredInOrderOnResume) {
  GuardedQueue comm, deferred;
  CommQueue = GuardedQueueCreate(&comm);
  CommDeferredQueue = GuardedQueueCreate(&deferred);
  CommState = 6;
  recorder_.paused = true;
  for (uint32_t argument : {11u, 12u}) {
    uint32_t length = 0;
    uint8_t* message = SystemMessage(argument, &length);
    DispatchCommMessage(length, message, 0);
  }
  DeliverDeferredCommMessages();  // still paused: nothing moves
  EXPECT_EQ(GuardedQueueCount(&comm), 0);
  EXPECT_EQ(GuardedQueueCount(&deferred), 2);
  recorder_.paused = false;
  DeliverDeferredCommMessages();
  EXPECT_EQ(GuardedQueueCount(&deferred), 0);
  MSG taken{};
  for (LPARAM argument : {11, 12}) {
    ASSERT_EQ(GuardedQueuePop(&comm, &taken), 1);
    EXPECT_EQ(taken.wParam, 0x1404u);
    EXPECT_EQ(taken.lParam, argument);
  }
  // Messages still deferred at shutdown are freed.
  recorder_.paused = true;
  uint32_t length = 0;
  DispatchCommMessage(kCommArgumentB + 4, SystemMessage(13, &length), 0);
  DiscardDeferredCommMessages(&deferred);
  EXPECT_EQ(GuardedQueueCount(&deferred), 0);
  CommState = 0;
  CommQueue = nullptr;
  CommDeferredQueue = nullptr;
  GuardedQueueDestroy(&comm);
  GuardedQueueDestroy(&deferred);
}

}  // namespace

// The real program (the providers `teebox` installs and ProgramMain, on a thread of its own) on the demo
// installation, headless: the sound layer starts with it, the main menu's ambience plays and is heard from the
// host's audio output, and a control's click sound plays through the installed provider.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/gameapp.h"
#include "demo.h"
#include "support/demo_installation.h"
#include "support/childprocess.h"
#include "support/programthread.h"
#include "support/teeoff.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "sound/soundobject.h"
#include "teebox/providers.h"
#include "winapi/testing.h"
#include "winapi_registry.h"
#include "mmsystem.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

// Polls until the condition holds; false after about `limit` real milliseconds (nothing is timed here, the limit
// only keeps a broken program from hanging the test).
bool WaitFor(const std::function<bool()>& condition, int limit = 30000) {
  for (int waited = 0; waited < limit; waited += 10) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

int PlayedCount(const std::string& name) {
  std::lock_guard<std::recursive_mutex> hold(Sound().lock);
  return static_cast<int>(std::count(Sound().played.begin(), Sound().played.end(), name));
}

int HeardPeak(size_t fromFrame) {
  winapi::testing::HostAudioData audio;
  if (!winapi::testing::HostAudio(&audio)) return 0;
  int peak = 0;
  for (size_t i = 2 * fromFrame; i < audio.samples.size(); ++i)
    peak = std::max(peak, std::abs(static_cast<int>(audio.samples[i])));
  return peak;
}

size_t HeardFrames() {
  winapi::testing::HostAudioData audio;
  return winapi::testing::HostAudio(&audio) ? audio.samples.size() / 2 : 0;
}

void MainMenuScenario(const std::string& root) {

  setenv("WINAPI_HOST", "headless", 1);
  winapi::testing::MapDrive('C', root);
  winapi::testing::MapDrive('D', root + "/DISC", "TEEBOX");
  winapi::testing::SetCdDrive('D', "TEEBOX");
  winapi::testing::SetModuleFileName("C:\\teebox.exe");
  winapi::registry::UseFile(root + "/registry.txt");
  winapi::testing::HostAudioCapture(true);
  ResetGameApp();
  Folders() = DataFolders{};
  ResetServices();
  InstallProviders();
  EXPECT_STREQ(Svc().sound->Name(), "sound");
  std::atomic<int> exitCode{-1};
  std::thread program([&] {
    char name[] = "teebox", intro[] = "/NOINTRO";
    char* argv[] = {name, intro, nullptr};
    exitCode = ProgramMain(2, argv);
  });

  // The main menu starts the ambience: the range loop, once, gliding up from silence until it is heard.
  EXPECT_TRUE(WaitFor([] { return PlayedCount("range.pat") > 0; }));
  EXPECT_TRUE(Sound().soundRunning);
  EXPECT_TRUE(WaitFor([] { return HeardPeak(0) > 500; })) << HeardPeak(0);
  EXPECT_EQ(PlayedCount("range.pat"), 1);
  // The game's disc is in the drive and menu sound is on: its music plays from the first audio track.
  EXPECT_TRUE(WaitFor([] {
    char mode[32] = {};
    return mciSendStringA("status cdaudio mode", mode, sizeof mode, nullptr) == 0 && std::strcmp(mode, "playing") == 0;
  }));
  char track[8] = {};
  EXPECT_EQ(mciSendStringA("status cdaudio current track", track, sizeof track, nullptr), 0u);
  EXPECT_STREQ(track, "2");
  // A control's click through the installed provider (as the front end's controls call it): heard, then done.
  const size_t before = HeardFrames();
  uint32_t handle = 0;
  ASSERT_TRUE(OnProgramThread([&] { handle = Svc().sound->PlayMenuSound(0); }));
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(PlayedCount("default.pat"), 1);
  EXPECT_TRUE(WaitFor([&] {
    bool playing = true;
    OnProgramThread([&] { playing = Svc().sound->IsPlaying(handle); });
    return !playing;
  }));
  EXPECT_GT(HeardFrames(), before);

  // A round: the golfer steps onto the first tee and the announcer introduces the hole from the course's own clips
  // (the draws fixed, so that the introduction is the line chosen).
  SoundEnv().random31 = [] { return 1u; };
  ASSERT_TRUE(TeeOffFromMainMenu("Ada"));
  const size_t beforeRound = HeardFrames();
  auto introduced = [] {
    std::lock_guard<std::recursive_mutex> hold(Sound().lock);
    return std::any_of(Sound().played.begin(), Sound().played.end(),
                       [](const std::string& name) { return name.rfind("teeh01", 0) == 0; });
  };
  EXPECT_TRUE(WaitFor(introduced));
  EXPECT_TRUE(WaitFor([&] { return HeardPeak(beforeRound) > 500; }));

  winapi::testing::HostCloseWindow();
  program.join();
  EXPECT_EQ(exitCode.load(), 0);
  EXPECT_FALSE(Sound().soundRunning);  // stopped before the window closed
  winapi::testing::HostAudioCapture(false);
}

// The program runs in a child process of its own, which ends without running the exit routines the program
// registered (as the real program's process ends with it); its failures are printed there.
TEST(ProgramSounds, TheMainMenuPlaysItsAmbienceAndClicks) {
  char pattern[] = "/tmp/teebox_sounds_XXXXXX";
  const std::string root = mkdtemp(pattern);
  mkdemo::DemoOptions options;
  options.holes = 2;
  options.commentary = true;
  options.commentaryOnly = "data|courses";  // the hole introductions: the rest takes long to make
  std::string error;
  ASSERT_TRUE(MakeDemoInstallationCached(root, options, error)) << error;
  RunInChildProcess([&] { MainMenuScenario(root); });
  fs::remove_all(root);
}

}  // namespace

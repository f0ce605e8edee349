// The sound layer over the real library under the virtual clock: a main window, the module served after each
// hundredth, patch files of our own on drive C, the idle pass run by hand.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/core/paths.h"
#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/sound/soundfixture.h"
#include "sound/effects.h"
#include "sound/menusounds.h"
#include "sound/soundobject.h"
#include "soundtools.h"
#include "winapi/testing.h"
#include "winapi_files.h"
#include "windows.h"

namespace soundlayertest {

// A patch of `ms` of a sine at `hz` (looped whole when asked).
inline std::vector<uint8_t> TonePatch(int ms, double hz, bool looped = false) {
  soundtools::Zone zone;
  zone.rate = 22050;
  zone.length = 22050 * ms / 1000;
  if (looped) zone.loopstart = 0, zone.loopend = zone.length - 1;
  for (int i = 0; i < zone.length; ++i) {
    const auto v = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * hz * i / zone.rate)));
    zone.data.push_back(static_cast<uint8_t>(v & 0xFF));
    zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return soundtools::writepatch({zone});
}

class SoundLayerTest : public ::testing::Test {
 protected:
  static inline uint8_t settings = 0x07;
  static inline bool active = true;
  static inline bool cue = false;

  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    setenv("WINAPI_AUDIO_RATE", "22050", 1);
    winapi::testing::UseVirtualClock(true);
    winapi::testing::SetVirtualWaitGrace(0);
    if (!memstarted()) initmem();
    initmainthread();
    resetmainwindowstate();
    ASSERT_GT(inittimer(100), 0);
    ASSERT_NE(openmainwindow(320, 200, 0), nullptr);
    winapi::testing::HostAudioCapture(true);
    char pattern[] = "/tmp/soundlayer_XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(root_ + "/DATA/SOUNDS");
    std::filesystem::create_directories(root_ + "/DATA/SOUNDS/TEEHAZ");
    winapi::testing::MapDrive('C', root_);
    winapi::testing::SetModuleFileName("C:\\teebox.exe");
    settings = 0x07, active = true, cue = false;
    SoundEnvironment& env = SoundEnv();
    env = SoundEnvironment{};
    env.windowActive = [] { return active ? 1 : 0; };
    env.soundSettings = [] { return settings; };
    env.golferCue = [] { return cue; };
    env.folders = [](PathRecord* root, PathRecord*, bool* disc) {
      PathSetToProgramDir(root);
      *disc = false;
    };
    ForgetPlayedSounds();
    SoundTakeTime();
  }
  void TearDown() override {
    FreeGameSounds();
    while (Sound().soundList) delete Sound().soundList;
    active = true;
    TSoundADV::StopSoundSystem();
    Sound().soundStartFailed = false;
    ResetClipVariants();
    winapi::testing::HostAudioCapture(false);
    closemainwindow();
    stoptimer();
    winapi::testing::SetExitHook(nullptr);
    winapi::testing::Reset();
    std::filesystem::remove_all(root_);
  }
  void WritePatch(const std::string& relative, const std::vector<uint8_t>& bytes) {
    const std::string path = root_ + "/" + relative;
    ASSERT_EQ(winapi::SaveHostFileWhole(path.c_str(), bytes.data(), bytes.size()), 0u);
  }
  // Starts the library; the test serves its module.
  void Start() {
    TSoundADV::StartSoundSystem();
    ASSERT_TRUE(Sound().soundRunning);
    setaudiomessagethread(nullptr);
  }
  // Lets `ms` pass in hundredths: the module plays, then the idle pass serves the sounds.
  void Run(int ms) {
    for (; ms > 0; ms -= 10) {
      winapi::testing::AdvanceClock(10);
      Serve();
      SoundTakeTime();
      TSoundADV::UpdateAll(true);
    }
  }
  static void Serve() { soundtest::ServeSoundModule(); }
  static bool InList(const TSoundADV* o) {
    for (TSoundADV* p = Sound().soundList; p; p = p->next)
      if (p == o) return true;
    return false;
  }
  static int Played(const std::string& name) {
    int n = 0;
    for (const std::string& p : Sound().played) n += p == name;
    return n;
  }

  std::string root_;
};

}  // namespace soundlayertest

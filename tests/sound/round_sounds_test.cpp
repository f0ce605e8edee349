// The round's sounds through the real golf handler and the real sound layer: a hole that loads starts the wind
// loop by the golfer's wind setting, and the end of the game stops it.
#include <cmath>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"
#include "platformlib/display/mainwindow.h"
#include "sound/effects.h"
#include "sound/install.h"
#include "sound/soundobject.h"
#include "soundtools.h"
#include "support/rules_fixture.h"
#include "winapi_files.h"

namespace rules {
namespace {

std::vector<uint8_t> Loop(double hz) {
  soundtools::Zone zone;
  zone.length = 2205;
  zone.loopstart = 0, zone.loopend = zone.length - 1;
  for (int i = 0; i < zone.length; ++i) {
    const auto v = static_cast<int16_t>(std::lround(6000 * std::sin(2 * M_PI * hz * i / 22050)));
    zone.data.push_back(static_cast<uint8_t>(v & 0xFF)), zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return soundtools::writepatch({zone});
}

class RoundSounds : public RulesTest {
 protected:
  void SetUp() override {
    RulesTest::SetUp();
    setenv("WINAPI_AUDIO_RATE", "22050", 1);
    if (!memstarted()) initmem();
    initmainthread();
    resetmainwindowstate();
    ASSERT_GT(inittimer(100), 0);
    ASSERT_NE(openmainwindow(320, 200, 0), nullptr);
    std::filesystem::create_directories(dir / "DATA" / "SOUNDS");
    for (const char* name : {"wind-22s", "windgust"}) {
      const std::vector<uint8_t> patch = Loop(name[4] == '2' ? 200 : 300);
      const std::string path = (dir / "DATA" / "SOUNDS" / (std::string(name) + ".pat")).string();
      ASSERT_EQ(winapi::SaveHostFileWhole(path.c_str(), patch.data(), patch.size()), 0u);
    }
    winapi::testing::MapDrive('C', dir.string());
    winapi::testing::SetModuleFileName("C:\\teebox.exe");
    InstallSoundServices();
    SoundEnvironment& env = SoundEnv();
    env.windowActive = [] { return 1; };
    env.soundSettings = [] { return uint8_t{0x07}; };
    env.folders = [](PathRecord* root, PathRecord*, bool* disc) {
      PathSetToProgramDir(root);
      *disc = false;
    };
    Svc().sound->StartSound();
    ASSERT_TRUE(Sound().soundRunning);
    setaudiomessagethread(nullptr);
    Svc().sound->LoadGameSounds();
    ForgetPlayedSounds();
  }
  void TearDown() override {
    Svc().sound->FreeGameSounds();
    Svc().sound->StopSound();
    SoundEnv() = SoundEnvironment{};
    closemainwindow();
    stoptimer();
    RulesTest::TearDown();
  }
};

TEST_F(RoundSounds, TheWindBlowsWhileTheHoleIsPlayed) {
  UseHole(48, 160, 9);
  for (int wind : {1, 2}) {
    SCOPED_TRACE(wind);
    ForgetPlayedSounds();
    TGame* g = MakeGame(kModeStroke, 1, true);
    g->state.firstHole = 0;
    g->state.holeCount = 1;
    g->StartHole();
    g->players->GetPlayer(0)->windCondition = static_cast<uint8_t>(wind);
    TSoundADV* windLoop = GameSound("wind-22s");
    ASSERT_NE(windLoop, nullptr);
    for (int i = 0; i < 50 && Sound().played.empty(); ++i) Pump(20);
    ASSERT_FALSE(Sound().played.empty());
    EXPECT_EQ(Sound().played.front(), "wind-22s.pat");
    EXPECT_TRUE(windLoop->IsPlaying());
    EXPECT_EQ(windLoop->variationPeriod, wind == 1 ? 1400 : 400);
    EXPECT_EQ(GameSound("windgust")->variationPeriod, wind == 1 ? 10000 : 5000);
    for (int i = 0; i < 200 && frontEnd == 0; ++i) Pump(1000);
    ASSERT_EQ(frontEnd, 1);  // the game ended
    EXPECT_FALSE(windLoop->IsPlaying());
    EXPECT_EQ(windLoop->variationPeriod, -1);
    frontEnd = 0;
    DeleteCurrentGame();
  }
}

}  // namespace
}  // namespace rules

// The menus' sounds: clicks, the menu ambience and the effect bank as the front end and start-up load them.
#include "mmsystem.h"
#include "soundlayerfixture.h"

namespace soundlayertest {
namespace {

class MenuSounds : public SoundLayerTest {
 protected:
  void SetUp() override {
    SoundLayerTest::SetUp();
    WritePatch("DATA/SOUNDS/range.pat", TonePatch(200, 220, true));
    WritePatch("DATA/SOUNDS/default.pat", TonePatch(60, 880));
    WritePatch("DATA/SOUNDS/cleats.pat", TonePatch(300, 300));
    WritePatch("DATA/SOUNDS/wind-22s.pat", TonePatch(200, 100, true));
    WritePatch("DATA/SOUNDS/windgust.pat", TonePatch(200, 150));
  }
};

TEST_F(MenuSounds, TheRangeLoopPlaysOnceAndGlidesUp) {
  Start();
  SoundTakeTime();
  LoadMenuSounds();
  LoadMenuSounds();  // already running
  EXPECT_TRUE(MenuSoundsRunning());
  EXPECT_EQ(Played("range.pat"), 1);
  TSoundADV* loop = MenuAmbientLoop();
  ASSERT_NE(loop, nullptr);
  EXPECT_TRUE(loop->IsPlaying());
  EXPECT_EQ(loop->variationPeriod, 5000);
  // It starts silent and glides up towards a volume of its range (each variation step gliding on from where it
  // is), which it has mostly reached after two glide times.
  EXPECT_EQ(loop->volume, 0);
  Run(10000);
  EXPECT_GT(loop->volume, 30);
  EXPECT_LE(loop->volume, 94);
  // Click sounds and effects exist; the table's sounds wait for their re-triggers.
  ASSERT_NE(GetMenuSound(0), nullptr);
  EXPECT_EQ(GetMenuSound(0)->volume, 70);
  EXPECT_NE(GameSound("wind-22s"), nullptr);
  EXPECT_NE(GameSound("crwdr16"), nullptr);
  EXPECT_EQ(Played("cleats.pat"), 0);
  winapi::testing::HostAudioData audio;
  ASSERT_TRUE(winapi::testing::HostAudio(&audio));
  int peak = 0;
  for (int16_t v : audio.samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_GT(peak, 1000);
  FadeMenuAmbient();
  EXPECT_FALSE(MenuSoundsRunning());
  EXPECT_EQ(loop->variationPeriod, 5000);  // until its fade ends
  Run(600);
  EXPECT_FALSE(loop->IsPlaying());
  EXPECT_EQ(loop->variationPeriod, -1);
}

TEST_F(MenuSounds, SettingsAndRoundsGateTheAmbience) {
  Start();
  struct Case {
    uint8_t settings;
    bool round;
    bool ambience;
  } cases[] = {{0x05, false, false}, {0x03, true, false}, {0x03, false, true}};
  for (const Case& c : cases) {
    settings = c.settings;
    static bool round;
    round = c.round;
    SoundEnv().roundRunning = [] { return round; };
    LoadMenuSounds();
    EXPECT_EQ(MenuSoundsRunning(), c.ambience) << int(c.settings);
    EXPECT_NE(GetMenuSound(0), nullptr);  // clicks and effects load in every case
    EXPECT_NE(GameSound("putter"), nullptr);
    StopMenuSoundSet();
  }
}

TEST_F(MenuSounds, TheCleatsSweepAcrossTheFieldBothWays) {
  Start();
  SoundTakeTime();
  LoadMenuSounds();
  std::vector<TSoundADV*> cleats;
  for (TSoundADV* o = Sound().soundList; o; o = o->next)
    if (std::strcmp(o->patchFile, "cleats.pat") == 0) cleats.push_back(o);
  ASSERT_EQ(cleats.size(), 2u);
  for (TSoundADV* o : cleats) {
    EXPECT_TRUE(o->flags & kSoundPanSweep);
    o->Play();
    EXPECT_GE(o->voice1, 0);
    EXPECT_GE(o->voice2, 0);
  }
  EXPECT_EQ(cleats[0]->panMin + cleats[1]->panMin, 127);
  EXPECT_EQ(cleats[0]->panMin, cleats[1]->panMax);
}

TEST_F(MenuSounds, WindFollowsTheGolfersSetting) {
  Start();
  LoadGameSounds();
  TSoundADV* wind = GameSound("wind-22s");
  TSoundADV* gust = GameSound("windgust");
  ASSERT_TRUE(wind && gust);
  struct Case {
    int setting, volMin, volMax, ramp, period, gustPeriod;
  } cases[] = {{0, 15, 37, 1500, 2300, -1}, {1, 20, 64, 1100, 1400, 10000}, {2, 45, 95, 500, 400, 5000}};
  for (const Case& c : cases) {
    StartAmbientSounds(c.setting);
    EXPECT_EQ(wind->volMin, c.volMin);
    EXPECT_EQ(wind->volMax, c.volMax);
    EXPECT_EQ(wind->rampTime, c.ramp);
    EXPECT_EQ(wind->variationPeriod, c.period);
    EXPECT_EQ(gust->variationPeriod, c.gustPeriod);
    EXPECT_TRUE(wind->IsPlaying());
  }
  StopAmbientSounds();
  EXPECT_FALSE(wind->IsPlaying());
  EXPECT_EQ(wind->variationPeriod, -1);
}

// Freeing the clicks waits for one still playing, but never longer than its bound: a looped click cannot hold the
// shut-down, and a click heard out is freed at once.
TEST_F(MenuSounds, FreeingTheClicksWaitsABoundedTime) {
  WritePatch("DATA/SOUNDS/action.pat", TonePatch(100, 660, true));
  Start();
  SoundTakeTime();
  LoadClickSounds();
  TSoundADV* looped = GetMenuSound(1);
  TSoundADV* brief = GetMenuSound(0);
  ASSERT_NE(looped, nullptr);
  ASSERT_NE(brief, nullptr);
  brief->Play();
  Run(200);  // the 60 ms click is over
  EXPECT_FALSE(brief->IsPlaying());
  looped->Play();
  Run(20);
  ASSERT_TRUE(looped->IsPlaying());
  const DWORD before = timeGetTime();
  FreeClickSounds();
  const DWORD waited = timeGetTime() - before;
  EXPECT_GE(waited, 3000u);
  EXPECT_LT(waited, 3100u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(GetMenuSound(i), nullptr) << i;
  EXPECT_FALSE(InList(looped));
}

}  // namespace
}  // namespace soundlayertest

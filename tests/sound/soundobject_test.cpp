// The game's sound object over the real library: names, ranges, variation, the play cycle, chains, the hardware
// lent out and the system's restart.
#include <atomic>
#include <thread>

#include "framework/core/services.h"
#include "sound/install.h"
#include "soundlayerfixture.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:creatememclass\nleak:initmainthread\n"; }

namespace soundlayertest {
namespace {

TEST_F(SoundLayerTest, NamesGetTheirExtensionAndLowerCase) {
  struct Case {
    const char* given;
    const char* stored;
  } cases[] = {{"click1", "click1.pat"},
               {"CLICK1", "click1.pat"},
               {"Range.WAV", "range.wav"},
               {"abcdefghijklmnopqrstuvwxyz01", ""},  // 28 and ".pat" do not fit 31 characters: silent
               {"abcdefghijklmnopqrstuvwxyz0", "abcdefghijklmnopqrstuvwxyz0.pat"},
               {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvwxyz.pat"}};
  for (const Case& c : cases) {
    TSoundADV o(c.given, kSoundLoadOnPlay);
    EXPECT_STREQ(o.patchFile, c.stored) << c.given;
  }
  const std::string folder(130, 'f');
  TSoundADV far("x", kSoundLoadOnPlay, folder.c_str());
  EXPECT_STREQ(far.folder, "");
  EXPECT_STREQ(far.patchFile, "");
  EXPECT_TRUE(far.flags & kSoundLoadFailed);
}

TEST_F(SoundLayerTest, RangesKeepOrCentreTheValue) {
  struct Case {
    int which;  // 0 volume, 1 pitch, 2 pan
    int before, min, max;
    int after;
    bool on;
  } cases[] = {{0, 127, 90, 90, 90, false}, {0, 127, 30, 127, 127, true}, {0, 10, 30, 127, 78, true},
               {1, 64, 34, 114, 64, true},  {2, 10, 100, 28, 64, true},   {2, 120, 100, 28, 64, true},
               {2, 64, 10, 117, 64, true}};
  for (const Case& c : cases) {
    TSoundADV o("x", kSoundLoadOnPlay);
    int32_t* value = c.which == 0 ? &o.volume : c.which == 1 ? &o.pitch : &o.pan;
    *value = c.before;
    if (c.which == 0) o.SetVolumeRange(c.min, c.max);
    if (c.which == 1) o.SetPitchRange(c.min, c.max);
    if (c.which == 2) o.SetPanRange(c.min, c.max);
    EXPECT_EQ(*value, c.after) << c.which << " " << c.before;
    EXPECT_EQ(o.IsVarying(), c.on);
  }
}

TEST_F(SoundLayerTest, VariationStaysInsideItsRangeAndPeriod) {
  TSoundADV o("x", kSoundLoadOnPlay);
  o.SetVolumeRange(30, 33);
  o.SetPanRange(100, 97);
  bool sawMin = false, sawPanLow = false;
  for (int i = 0; i < 400; ++i) {
    o.StepVariation();
    EXPECT_GE(o.volume, 30);
    EXPECT_LT(o.volume, 33);  // the maximum is never chosen
    EXPECT_GE(o.pan, 97);
    EXPECT_LT(o.pan, 100);
    sawMin |= o.volume == 30;
    sawPanLow |= o.pan == 97;
  }
  EXPECT_TRUE(sawMin && sawPanLow);
  Sound().currentTick = 1000;
  uint32_t latest = 0;
  for (int i = 0; i < 400; ++i) {
    o.SetVariationPeriod(2300);
    EXPECT_GE(o.nextEvent, 1000u);
    EXPECT_LE(o.nextEvent, 1000u + 4598u);
    latest = std::max(latest, o.nextEvent);
  }
  EXPECT_GT(latest, 1000u + 2300u);
}

TEST_F(SoundLayerTest, DeleteAndUnloadWhenDone) {
  WritePatch("DATA/SOUNDS/beep.pat", TonePatch(100, 440));
  Start();
  auto* gone = new TSoundADV("beep", kSoundDeleteWhenDone);
  TSoundADV kept("beep", kSoundUnloadWhenDone);
  ASSERT_GE(gone->patchId, 0);
  ASSERT_GE(kept.patchId, 0);
  gone->Play();
  kept.Play();
  EXPECT_TRUE(gone->IsPlaying());
  EXPECT_EQ(Played("beep.pat"), 2);
  Run(60);
  EXPECT_TRUE(InList(gone));
  Run(300);
  EXPECT_FALSE(InList(gone));  // destroyed by the idle pass after it ended
  EXPECT_TRUE(InList(&kept));
  EXPECT_EQ(kept.patchId, -1);
  EXPECT_EQ(kept.patchData, nullptr);
  kept.Play();  // loads again
  EXPECT_GE(kept.patchId, 0);
  EXPECT_TRUE(kept.IsPlaying());
  winapi::testing::HostAudioData audio;
  ASSERT_TRUE(winapi::testing::HostAudio(&audio));
  int peak = 0;
  for (int16_t v : audio.samples) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_GT(peak, 4000);  // two beeps at once were heard
}

TEST_F(SoundLayerTest, MissingFilesFailOnceUnlessRetriggered) {
  Start();
  TSoundADV missing("nothere", 0);
  EXPECT_EQ(missing.patchId, -1);
  EXPECT_TRUE(missing.flags & kSoundLoadFailed);
  missing.Play();  // ends at once, quietly
  EXPECT_EQ(missing.voice1, -1);
  TSoundADV retried("nothere", kSoundLoadOnPlay);
  retried.SetVariationPeriod(100);
  retried.Play();
  EXPECT_FALSE(retried.flags & kSoundLoadFailed);
  WritePatch("DATA/SOUNDS/nothere.pat", TonePatch(50, 440));
  missing.Play();
  EXPECT_EQ(missing.patchId, -1);  // marked: not tried again
  TSoundADV::MarkAllUnloaded();
  missing.Play();
  EXPECT_GE(missing.patchId, 0);
  Run(400);  // the re-triggered one finds its file at a later play
  EXPECT_GE(retried.patchId, 0);
}

TEST_F(SoundLayerTest, ChainsHeldAndNotHeld) {
  WritePatch("DATA/SOUNDS/TEEHAZ/a.pat", TonePatch(50, 440));
  WritePatch("DATA/SOUNDS/TEEHAZ/b.pat", TonePatch(400, 660));
  Start();
  for (bool held : {false, true}) {
    SCOPED_TRACE(held);
    ForgetPlayedSounds();
    NewAnnouncerClip("a", "data|sounds|teehaz", 0);
    NewAnnouncerClip("b", "data|sounds|teehaz", held ? kSoundHeldInChain : 0);
    TSoundADV* a = Sound().currentAnnouncerClip;
    ASSERT_NE(a, nullptr);
    TSoundADV* b = a->chainNext;
    ASSERT_NE(b, nullptr);
    PlayAnnouncerClip();
    EXPECT_TRUE(Sound().announcerStarted);
    Run(120);  // a ends
    EXPECT_FALSE(InList(a));
    EXPECT_EQ(Sound().currentAnnouncerClip, b);
    EXPECT_EQ(Sound().announcerStarted, !held);
    EXPECT_EQ(Played("b.pat"), held ? 0 : 1);
    if (held) {
      PlayAnnouncerClip();
      EXPECT_EQ(Played("b.pat"), 1);
    }
    Run(600);
    EXPECT_FALSE(InList(b));
    EXPECT_EQ(Sound().currentAnnouncerClip, nullptr);
    EXPECT_FALSE(Sound().announcerStarted);
  }
}

TEST_F(SoundLayerTest, AStoppedChainLeavesNoDestroyedClipCurrent) {
  WritePatch("DATA/SOUNDS/a.pat", TonePatch(500, 440));
  Start();
  NewAnnouncerClip("a", nullptr, 0);
  NewAnnouncerClip("a", nullptr, kSoundHeldInChain);
  NewAnnouncerClip("a", nullptr, kSoundHeldInChain);
  PlayAnnouncerClip();
  Run(50);
  StopAnnouncerClips();
  Run(20);
  EXPECT_EQ(Sound().currentAnnouncerClip, nullptr);
  for (TSoundADV* o = Sound().soundList; o; o = o->next) EXPECT_FALSE(o->flags & kSoundDeleteWhenDone);
}

TEST_F(SoundLayerTest, HardwareLentOutAndRestart) {
  WritePatch("DATA/SOUNDS/beep.pat", TonePatch(100, 440));
  Start();
  TSoundADV o("beep", 0);
  EXPECT_EQ(TSoundADV::ReleaseHardware(), 1);
  EXPECT_EQ(TSoundADV::ReleaseHardware(), 0);
  o.Play();
  EXPECT_EQ(o.voice1, -1);
  EXPECT_EQ(TSoundADV::ObtainHardware(), 1);
  o.Play();
  EXPECT_GE(o.voice1, 0);
  TSoundADV::StopSoundSystem();
  EXPECT_FALSE(Sound().soundRunning);
  EXPECT_EQ(o.patchId, -1);
  o.Play();
  EXPECT_EQ(o.voice1, -1);
  TSoundADV again("beep", 0);  // a new object starts the system again
  EXPECT_TRUE(Sound().soundRunning);
  setaudiomessagethread(nullptr);
  again.Play();
  EXPECT_GE(again.voice1, 0);
  // While the window is away nothing plays; sounds off: the system does not start.
  active = false;
  again.Play();
  EXPECT_GE(again.voice1, 0);  // untouched
  active = true;
  TSoundADV::StopSoundSystem();
  settings = 0x06;
  TSoundADV::StartSoundSystem();
  EXPECT_FALSE(Sound().soundRunning);
  EXPECT_TRUE(Sound().soundStartFailed);
}

TEST_F(SoundLayerTest, DelayedAndCuedStarts) {
  WritePatch("DATA/SOUNDS/beep.pat", TonePatch(100, 440));
  Start();
  SoundTakeTime();
  TSoundADV delayed("beep", 0);
  delayed.SetStartDelay(300);
  delayed.Play();
  EXPECT_EQ(delayed.voice1, -1);
  Run(250);
  EXPECT_EQ(Played("beep.pat"), 0);
  Run(100);
  EXPECT_EQ(Played("beep.pat"), 1);
  TSoundADV cued("beep", kSoundWaitForCue);
  cued.Play();
  EXPECT_TRUE(cued.flags & kSoundArmed);
  Run(200);
  EXPECT_EQ(Played("beep.pat"), 1);
  cue = true;
  Run(10);
  EXPECT_EQ(Played("beep.pat"), 2);
}

// The voice player's thread makes, asks and destroys its sounds through the provider while the idle pass walks the
// list and makes and destroys sounds of its own: without the list's lock the walk reads freed objects or the list
// loses or keeps an object, which the sanitizer or the count below reports.
TEST_F(SoundLayerTest, TheVoicePlayersThreadAndTheIdlePassShareTheList) {
  WritePatch("DATA/SOUNDS/beep.pat", TonePatch(100, 440));
  Start();
  const SoundEnvironment env = SoundEnv();
  SoundProvider* const before = Svc().sound;
  InstallSoundServices();
  SoundEnv() = env;
  SoundProvider& provider = *Svc().sound;
  std::vector<TSoundADV*> resident;
  for (int i = 0; i < 24; ++i) resident.push_back(new TSoundADV("beep", kSoundLoadOnPlay));
  int listed = 0;
  for (TSoundADV* o = Sound().soundList; o; o = o->next) ++listed;

  const std::vector<uint8_t> patch = TonePatch(20, 660);
  constexpr int kPlays = 3000, kHeld = 4;
  std::atomic<bool> done{false};
  int played = 0;
  std::thread voice([&] {
    // A few messages in flight, the oldest freed as each new one starts.
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> held;
    auto freeOldest = [&] {
      provider.StopImage(held.front().first);
      provider.FreeImage(held.front().first);
      held.erase(held.begin());
    };
    for (int i = 0; i < kPlays; ++i) {
      std::vector<uint8_t> image = patch;  // the library resolves each image in place
      const uint32_t handle = provider.PlayImage(image.data(), static_cast<uint32_t>(image.size()));
      if (handle && provider.ImagePlaying(handle)) ++played;
      held.emplace_back(handle, std::move(image));
      if (held.size() > kHeld) freeOldest();
    }
    while (!held.empty()) freeOldest();
    done = true;
  });
  for (int pass = 0; !done || pass < 10; ++pass) {
    SoundTakeTime();
    TSoundADV::UpdateAll(true);
    if (pass % 16 == 0) {
      TSoundADV* own = new TSoundADV("beep", 0);
      own->Play();
      delete own;
    }
  }
  voice.join();
  EXPECT_EQ(played, kPlays);
  int after = 0;
  for (TSoundADV* o = Sound().soundList; o; o = o->next) ++after;
  EXPECT_EQ(after, listed);
  for (TSoundADV* o : resident) delete o;
  Svc().sound = before;
}

}  // namespace
}  // namespace soundlayertest

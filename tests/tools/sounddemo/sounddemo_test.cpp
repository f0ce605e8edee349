// The sound demo: the program heard through the host's file (pitch, lengths, levels), the driver module's
// service at 100 Hz of audio time, and a whole play under the virtual clock compared sample for sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platformlib/core/cpu.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sounddriver/snddriver.h"
#include "platformlib/sound/sndmix.h"
#include "platformlib/sound/sndvoice.h"
#include "platformlib/core/timer.h"
#include "platformlib/sound/soundfixture.h"
#include "sounddemo.h"
#include "soundtools.h"
#include "winapi/testing.h"
#include "winapi_files.h"
#include "windows.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:creatememclass\nleak:initmainthread\n"; }

namespace {

// 16-bit stereo frames.
struct Sound {
  int rate = 0;
  std::vector<int16_t> samples;
  size_t Frames() const { return samples.size() / 2; }
  int16_t At(size_t frame, int side) const { return samples[2 * frame + side]; }
  // The loudest sample of one side between two frames.
  int Peak(size_t from, size_t to, int side) const {
    int peak = 0;
    for (size_t f = from; f < to && f < Frames(); ++f) peak = std::max(peak, std::abs(static_cast<int>(At(f, side))));
    return peak;
  }
  // Upward zero crossings per second of one side between two frames.
  double Pitch(size_t from, size_t to, int side) const {
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t f = from + 1; f < to && f < Frames(); ++f)
      if (At(f - 1, side) < 0 && At(f, side) >= 0) {
        if (!crossings) first = f;
        last = f;
        ++crossings;
      }
    return crossings > 1 ? (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first) : 0;
  }
  // First frame from `from` on whose sides are both quieter than `level` for `span` frames.
  size_t QuietFrom(size_t from, int level, size_t span) const {
    for (size_t f = from; f < Frames(); ++f)
      if (Peak(f, f + span, 0) < level && Peak(f, f + span, 1) < level) return f;
    return Frames();
  }
  size_t LoudFrom(size_t from, int level) const {
    for (size_t f = from; f < Frames(); ++f)
      if (std::abs(At(f, 0)) >= level || std::abs(At(f, 1)) >= level) return f;
    return Frames();
  }
};

Sound ReadWav(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Sound sound;
  if (wav.size() < 44 || wav.compare(0, 4, "RIFF") != 0) return sound;
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(wav[at]) | static_cast<uint8_t>(wav[at + 1]) << 8 |
                                 static_cast<uint8_t>(wav[at + 2]) << 16 | static_cast<uint8_t>(wav[at + 3]) << 24);
  };
  sound.rate = static_cast<int>(u32(24));
  const size_t bytes = std::min<size_t>(u32(40), wav.size() - 44);
  for (size_t i = 0; i + 1 < bytes; i += 2)
    sound.samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(wav[44 + i]) | static_cast<uint8_t>(wav[45 + i]) << 8));
  return sound;
}

// A looped 330 Hz sine of 0.2 s at 22,050 Hz whose full bend raises it a fifth, as a patch file.
std::string SinePatch() {
  soundtools::Zone zone;
  zone.rate = 22050;
  zone.length = 4410;  // 66 whole periods
  zone.loopstart = 0;
  zone.loopend = zone.length - 1;
  zone.bendrange = 7;
  for (int i = 0; i < zone.length; ++i) {
    const auto v = static_cast<int16_t>(std::lround(9000 * std::sin(2 * M_PI * 330.0 * i / zone.rate)));
    zone.data.push_back(static_cast<uint8_t>(v & 0xFF));
    zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  const std::vector<uint8_t> patch = soundtools::writepatch({zone});
  return std::string(patch.begin(), patch.end());
}

std::string WritePatch() {
  const std::string path = ::testing::TempDir() + "sounddemo_test_sine.pat";
  const std::string patch = SinePatch();
  EXPECT_EQ(winapi::SaveHostFileWhole(path.c_str(), patch.data(), patch.size()), 0u);
  return path;
}

// The program itself, on the real clock, through SDL's dummy audio driver (or the null device): its WAV file.
TEST(SoundDemoProgram, PlaysTheToneThenThePatchPannedSweptAndFaded) {
  const std::string pat = WritePatch();
  const std::string wav = ::testing::TempDir() + "sounddemo_test.wav";
  std::remove(wav.c_str());
  const std::string command = "WINAPI_AUDIO_FILE=" + wav + " " + SOUNDDEMO_PROGRAM + " " + pat + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const Sound s = ReadWav(wav);
  ASSERT_EQ(s.rate, 22050);
  const size_t r = 22050;
  // The tone: 1 s of 440 Hz, both sides alike at the patch's level, then silence.
  const size_t tone = s.LoudFrom(0, 1000);
  ASSERT_LT(tone, s.Frames());
  const size_t toneEnd = s.QuietFrom(tone, 50, r / 50);
  // Lengths follow the program's real sleeps, so on a busy machine they only bound what is heard; the exact
  // timing is the virtual-clock play's golden below.
  EXPECT_GT(static_cast<double>(toneEnd - tone) / r, 0.8);
  EXPECT_NEAR(s.Pitch(tone + r / 10, tone + 9 * r / 10, 0), 440.0, 4.4);
  EXPECT_NEAR(s.Peak(tone + r / 10, tone + 9 * r / 10, 0), 11900, 300);
  EXPECT_EQ(s.Peak(tone + r / 10, tone + 9 * r / 10, 0), s.Peak(tone + r / 10, tone + 9 * r / 10, 1));
  // The patch starts on the left only at 330 Hz (the bend comes after the pan), is later heard on the right only,
  // and fades to silence. Where each step falls follows the program's real sleeps, so the checks look for the
  // steps in order rather than at set times; the exact play is the virtual-clock golden's.
  const size_t pat0 = s.LoudFrom(toneEnd, 1000);
  ASSERT_LT(pat0, s.Frames());
  EXPECT_GT(s.Peak(pat0, pat0 + r / 20, 0), 8000);
  EXPECT_LT(s.Peak(pat0, pat0 + r / 20, 1), 800);
  EXPECT_NEAR(s.Pitch(pat0 + r / 40, pat0 + r / 8, 0), 330.0, 3.3);
  const size_t end = s.QuietFrom(pat0, 50, r / 50);
  ASSERT_LT(end, s.Frames());
  EXPECT_GT(static_cast<double>(end - pat0) / r, 2.0);
  bool right = false;
  for (size_t at = pat0; at + r / 20 < end && !right; at += r / 100)
    right = s.Peak(at, at + r / 20, 0) < 800 && s.Peak(at, at + r / 20, 1) > 8000;
  EXPECT_TRUE(right);
  EXPECT_LT(s.Peak(end - r / 20, end, 1), s.Peak(pat0 + r / 2, pat0 + r / 2 + r / 20, 0) / 2);
  // Last, 1 s of 660 Hz handed over in compression-7 buffers, in the middle, then the voice ends by itself.
  const size_t buffered = s.LoudFrom(end, 1000);
  ASSERT_LT(buffered, s.Frames());
  const size_t bufferedEnd = s.QuietFrom(buffered, 50, r / 50);
  // As above, a busy machine's real sleeps may cut what is heard short, never make it longer than the data.
  const double heard = static_cast<double>(bufferedEnd - buffered) / r;
  EXPECT_GT(heard, 0.5);
  EXPECT_LT(heard, 1.1);
  EXPECT_NEAR(s.Pitch(buffered + r / 20, buffered + r * 9 / 20, 0), 660.0, 6.6);
  EXPECT_NEAR(s.Peak(buffered + r / 20, buffered + r * 9 / 20, 1), 9900, 600);
  EXPECT_EQ(s.Peak(buffered + r / 20, buffered + r * 9 / 20, 0), s.Peak(buffered + r / 20, buffered + r * 9 / 20, 1));
  std::remove(wav.c_str());
}

void ServeModule() {
  ASSERT_NE(GetModuleHandleA("tolvarsnd"), nullptr);
  soundtest::ServeSoundModule();
}

// The menu play through the game's sound layer, the program itself on an installation of a few tones: the range
// loop, three clicks and the speaker's two announcements in order, heard in its WAV.
TEST(SoundDemoProgram, TheMenuPlayGoesThroughTheGamesSoundLayer) {
  const std::string root = ::testing::TempDir() + "sounddemo_menu";
  std::filesystem::create_directories(root + "/DATA/SOUNDS");
  const struct {
    const char* name;
    double hz;
  } tones[] = {{"range", 220}, {"default", 880}, {"action", 990}, {"cancel", 660}, {"rngannc1", 330}, {"rngannc2", 350}};
  for (const auto& t : tones) {
    soundtools::Zone zone;
    zone.length = 22050 * 3 / 10;
    for (int i = 0; i < zone.length; ++i) {
      const auto v = static_cast<int16_t>(std::lround(9000 * std::sin(2 * M_PI * t.hz * i / 22050)));
      zone.data.push_back(static_cast<uint8_t>(v & 0xFF)), zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    if (std::string(t.name) == "range") zone.loopstart = 0, zone.loopend = zone.length - 1;
    const std::vector<uint8_t> patch = soundtools::writepatch({zone});
    const std::string path = root + "/DATA/SOUNDS/" + t.name + ".pat";
    ASSERT_EQ(winapi::SaveHostFileWhole(path.c_str(), patch.data(), patch.size()), 0u);
  }
  const std::string wav = root + "/menu.wav", out = root + "/menu.txt";
  const std::string command = "WINAPI_AUDIO_FILE=" + wav + " " + SOUNDDEMO_PROGRAM + " --menu " + root + " 6 > " + out;
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(out);
  std::vector<std::string> played;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("played ", 0) == 0) played.push_back(line.substr(7));
  const std::vector<std::string> expected = {"range.pat",  "default.pat",  "action.pat",
                                             "cancel.pat", "rngannc1.pat", "rngannc2.pat"};
  EXPECT_EQ(played, expected);
  const Sound s = ReadWav(wav);
  EXPECT_GT(s.Peak(0, s.Frames(), 0), 3000);
  std::filesystem::remove_all(root);
}

// In-process, under the virtual clock: the library's audio thread is stopped and the module served after each
// hundredth, so the play is a function of the clock alone.
class SoundDemoVirtual : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    abortfilterhook = nullptr;
    setenv("WINAPI_AUDIO_RATE", "22050", 1);  // whichever test opens the device first
    winapi::testing::UseVirtualClock(true);  // before the timer, whose schedule follows the clock
    winapi::testing::SetVirtualWaitGrace(0);
    if (!memstarted()) initmem();
    initmainthread();
    resetmainwindowstate();
    ASSERT_GT(inittimer(100), 0);
    ASSERT_NE(openmainwindow(320, 200, 0), nullptr);
    winapi::testing::HostAudioCapture(true);
  }
  void TearDown() override {
    winapi::testing::HostAudioCapture(false);
    closemainwindow();
    stoptimer();
    winapi::testing::SetExitHook(nullptr);
    winapi::testing::Reset();
  }
  // Plays the demo: tone 0.1 s, patch 0.3 s.
  Sound Play(int mmx) {
    cpuhasmmx = mmx;
    SoundDemoOptions options;
    options.patfile = WritePatch();
    options.tonems = 100;
    options.patms = 300;
    options.started = [] { setaudiomessagethread(nullptr); };
    options.wait = [](int ms) {
      for (; ms > 0; ms -= 10) {
        winapi::testing::AdvanceClock(std::min(ms, 10));
        ServeModule();
      }
    };
    winapi::testing::HostAudioCapture(true);
    EXPECT_EQ(RunSoundDemo(options), 0);
    winapi::testing::HostAudioData data;
    EXPECT_TRUE(winapi::testing::HostAudio(&data));
    return Sound{data.rate, data.samples};
  }
};

TEST_F(SoundDemoVirtual, TheModuleServesHundredthsOfAudioTime) {
  SoundDemoOptions options;
  options.patfile = WritePatch();
  uint32_t ticks = 0;
  options.wait = [&](int ms) {
    for (; ms > 0; ms -= 10) {
      winapi::testing::AdvanceClock(std::min(ms, 10));
      ServeModule();
      ticks = sndserverticks;
    }
  };
  options.started = [] {
    setaudiomessagethread(nullptr);
    EXPECT_STREQ(winapi::testing::HostAudioDriver(), "null");
    EXPECT_EQ(sndmodeinforce(), 0x0808);
  };
  EXPECT_EQ(RunSoundDemo(options), 0);
  EXPECT_STREQ(winapi::testing::HostAudioDriver(), "");  // the device closed with the library
  winapi::testing::HostAudioData data;
  ASSERT_TRUE(winapi::testing::HostAudio(&data));
  // 3.8 s of waits: the first serve fills 8 hundredths ahead, then one for every hundredth the clock plays; each
  // hundredth ran the server once. Played: everything made but the last look-ahead.
  EXPECT_GE(ticks, 380u + 7u);  // give or take the frame that 22,050 Hz does not divide into hundredths
  EXPECT_LE(ticks, 380u + 8u);
  const size_t made = static_cast<size_t>(ticks) * 22050 / 100;
  EXPECT_NEAR(static_cast<double>(data.samples.size() / 2), static_cast<double>(made) - 8 * 220.5, 221);
}

TEST_F(SoundDemoVirtual, AWholePlayIsExactOnBothPaths) {
  for (int mmx : {1, 0}) {
    SCOPED_TRACE(mmx ? "MMX path" : "float path");
    const Sound s = Play(mmx);
    ASSERT_EQ(s.rate, 22050);
    ASSERT_GT(s.Frames(), 22050u * 7 / 10);
    EXPECT_EQ(s.Pitch(200, 2000, 0), Play(mmx).Pitch(200, 2000, 0));  // the same again
    // One FNV-1a hash per hundredth of a second (220 frames).
    std::vector<uint32_t> hashes;
    for (size_t f = 0; f < s.Frames(); f += 220) {
      uint32_t h = 2166136261u;
      for (size_t i = 2 * f; i < std::min(s.samples.size(), 2 * (f + 220)); ++i) {
        h ^= static_cast<uint16_t>(s.samples[i]);
        h *= 16777619u;
      }
      hashes.push_back(h);
    }
    soundtest::ExpectGolden(mmx ? "demo_play_mmx" : "demo_play_float", hashes);
    EXPECT_NEAR(s.Pitch(500, 2000, 0), 440.0, 4.4);
  }
}

// The module over the library in every output format, at every rate it offers: the tone comes out at its
// pitch (the host converts the rate to its device's), and each hundredth runs the server once.
TEST_F(SoundDemoVirtual, EveryFormatAndRate) {
  EXPECT_EQ(SNDcaps(0), 0x0F | 0x3E00 | 0x10000);
  std::string tone = SoundDemoTonePatch(12000);
  struct Case {
    int mode, rate;
    int peak;  // the tone's level on the device, with the format's own rounding
  };
  for (Case c : {Case{0x0201, 11025, 11900}, Case{0x0402, 16000, 11900}, Case{0x0804, 22050, 11900},
                 Case{0x1008, 32000, 11900}, Case{0x2008, 44100, 11900}, Case{-1, 22050, 11900}}) {
    SCOPED_TRACE(c.mode);
    winapi::testing::HostAudioCapture(true);
    ASSERT_EQ(SNDinit(c.mode, 0), 0);
    setaudiomessagethread(nullptr);
    EXPECT_EQ(sndoutputrate(), c.rate);
    std::vector<uint8_t> bankmemory(static_cast<size_t>(SNDbankmemsize(1)));
    const int bank = SNDbankcreate(1, bankmemory.data());
    int index = -1;
    ASSERT_GE(SNDbankaddpat(bank, &index, tone.data(), tone.size()), 0);
    SNDPLAYOPTS options{};
    SNDplaysetdef(&options);
    options.bank = static_cast<int8_t>(bank);
    options.patch = index;
    ASSERT_GE(SNDplay(&options), 0);
    for (int i = 0; i < 30; ++i) {
      winapi::testing::AdvanceClock(10);
      ServeModule();
    }
    // Made: a hundredth for every server run since the start; played: all but the 8 kept ahead.
    const uint32_t ticks = sndserverticks;
    winapi::testing::HostAudioData data;
    ASSERT_TRUE(winapi::testing::HostAudio(&data));
    EXPECT_EQ(SNDrestore(), 0);
    const Sound s{data.rate, data.samples};
    EXPECT_GE(ticks, 30u);
    EXPECT_NEAR(static_cast<double>(s.Frames()), (ticks - 8) * 220.5, 221);
    EXPECT_NEAR(s.Pitch(500, s.Frames(), 0), 440.0, 4.4);
    EXPECT_NEAR(s.Peak(500, s.Frames(), 1), c.peak, c.peak / 50);
  }
}

}  // namespace

// The CD music manager against the "cdaudio" stand-in: tracks from the emulated drive's WAV files heard through
// the host's mix under the virtual clock, music run out starting again at the first track, a stop by disc
// access resuming where it stopped, and another disc following bit 0x20 only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "mmsystem.h"
#include "sound/cdmusic.h"
#include "sound/soundobject.h"
#include "winapi/testing.h"
#include "winapi_files.h"

namespace {

namespace fs = std::filesystem;

// A WAV of `ms` of a sine, 22,050 Hz 16-bit mono.
std::string Wav(int ms, double hz) {
  const int frames = 22050 * ms / 1000;
  std::string w = "RIFF";
  auto put = [&w](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) w += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(36 + frames * 2, 4);
  w += "WAVEfmt ";
  put(16, 4), put(1, 2), put(1, 2), put(22050, 4), put(44100, 4), put(2, 2), put(16, 2);
  w += "data";
  put(frames * 2, 4);
  for (int i = 0; i < frames; ++i) put(static_cast<uint16_t>(std::lround(9000 * std::sin(2 * M_PI * hz * i / 22050))), 2);
  return w;
}

std::string Mci(const char* command) {
  char reply[64] = {};
  return mciSendStringA(command, reply, sizeof reply, nullptr) == 0 ? reply : "error";
}

class CdMusic : public ::testing::Test {
 protected:
  static inline uint8_t settings = 0x03;
  static inline bool round = false;
  static inline bool gameDisc = true;

  void SetUp() override {
    winapi::testing::Reset();
    setenv("WINAPI_AUDIO_RATE", "22050", 1);
    winapi::testing::UseVirtualClock(true);
    winapi::testing::HostAudioCapture(true);
    char pattern[] = "/tmp/cdmusic_XXXXXX";
    disc_ = mkdtemp(pattern);
    for (int t : {2, 3}) Write("TRACK0" + std::to_string(t) + ".WAV", Wav(300, t == 2 ? 440 : 660));
    winapi::testing::MapDrive('D', disc_, "TEEBOX");
    winapi::testing::SetCdDrive('D', "TEEBOX");
    settings = 0x03, round = false, gameDisc = true;
    SoundEnvironment& env = SoundEnv();
    env = SoundEnvironment{};
    env.soundSettings = [] { return settings; };
    env.roundRunning = [] { return round; };
    env.gameDiscHasProgram = [] { return gameDisc; };
  }
  void TearDown() override {
    Mci("close cdaudio");
    SoundEnv() = SoundEnvironment{};
    winapi::testing::HostAudioCapture(false);
    winapi::testing::Reset();
    fs::remove_all(disc_);
  }
  void Write(const std::string& name, const std::string& bytes) {
    const std::string path = disc_ + "/" + name;
    ASSERT_EQ(winapi::SaveHostFileWhole(path.c_str(), bytes.data(), bytes.size()), 0u);
  }
  // Lets `ms` of audio time pass, giving the feeder thread real time to keep the host fed.
  static void Play(int ms) {
    for (; ms > 0; ms -= 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      winapi::testing::AdvanceClock(10);
    }
  }
  static double HeardPitch(size_t from, size_t to) {
    winapi::testing::HostAudioData a;
    if (!winapi::testing::HostAudio(&a)) return 0;
    int crossings = 0;
    size_t first = 0, last = 0;
    for (size_t f = from + 1; f < to && f < a.samples.size() / 2; ++f)
      if (a.samples[2 * (f - 1)] < 0 && a.samples[2 * f] >= 0) {
        if (!crossings) first = f;
        last = f, ++crossings;
      }
    return crossings > 1 ? (crossings - 1) * 22050.0 / static_cast<double>(last - first) : 0;
  }
  static size_t HeardFrames() {
    winapi::testing::HostAudioData a;
    return winapi::testing::HostAudio(&a) ? a.samples.size() / 2 : 0;
  }

  std::string disc_;
  TCDMusicManager cd_;
};

TEST_F(CdMusic, TheStandInPlaysTheAudioTracksAndPassesOverDataTracks) {
  EXPECT_EQ(Mci("status cdaudio mode"), "error");  // not open
  EXPECT_EQ(Mci("open cdaudio"), "");
  EXPECT_EQ(Mci("status cdaudio media present"), "true");
  EXPECT_EQ(Mci("status cdaudio number of tracks"), "3");
  EXPECT_EQ(Mci("play cdaudio from 1:0:0:0"), "");  // track 1 has no file: a data track
  EXPECT_EQ(Mci("status cdaudio mode"), "playing");
  EXPECT_EQ(Mci("status cdaudio current track"), "2");
  const size_t start = HeardFrames();
  Play(200);
  EXPECT_NEAR(HeardPitch(start + 500, start + 4000), 440.0, 4.4);
  Play(300);
  EXPECT_EQ(Mci("status cdaudio current track"), "3");
  Play(500);
  EXPECT_EQ(Mci("status cdaudio mode"), "stopped");  // the music ran out
  EXPECT_EQ(Mci("play cdaudio from 5:0:0:0"), "error");
  EXPECT_EQ(Mci("play cdaudio from 3:0:0:15"), "");
  Play(100);
  EXPECT_EQ(Mci("stop cdaudio"), "");
  EXPECT_EQ(Mci("status cdaudio position"), "03:00:00:22");  // 0.2 s in 75ths, then 0.1 s played
  EXPECT_EQ(Mci("status cdaudio weather"), "error");
  EXPECT_EQ(Mci("open lasers"), "error");
}

TEST_F(CdMusic, TheManagerFollowsTheSettingsAndTheDisc) {
  EXPECT_EQ(cd_.Refresh(), 1);  // opens the device; the game disc with menu sound: music
  EXPECT_TRUE(cd_.deviceOpen);
  EXPECT_TRUE(cd_.playing);
  EXPECT_EQ(cd_.trackCount, 3);
  settings = 0x01;  // menu sound off: the menus are silent
  cd_.Refresh();
  EXPECT_FALSE(cd_.playing);
  EXPECT_EQ(Mci("status cdaudio mode"), "stopped");
  round = true;
  settings = 0x21;  // in a round, bit 0x20 starts the music at the kept position
  cd_.Refresh();
  EXPECT_TRUE(cd_.playing);
  Play(700);  // both tracks heard out
  cd_.Refresh();  // ran out: from the first track again, and playing
  EXPECT_TRUE(cd_.playing);
  EXPECT_EQ(Mci("status cdaudio current track"), "2");
  Play(100);
  cd_.UpdateStatus();
  const std::string kept = cd_.position;
  EXPECT_EQ(kept.rfind("02:00:00:", 0), 0u) << kept;
  // The game reads the disc: the drive stops, and the next look neither rewinds nor waits for the music rule.
  Mci("stop cdaudio");
  cd_.discLocated = 1;
  cd_.Refresh();
  EXPECT_TRUE(cd_.playing);
  EXPECT_EQ(Mci("status cdaudio current track"), "2");
  // Another audio CD: only bit 0x20 matters, in the menus too.
  gameDisc = false;
  cd_.CheckMusicDisc(1);
  round = false;
  settings = 0x03;
  cd_.Refresh();
  EXPECT_FALSE(cd_.playing);
  cd_.ApplyMusicSetting();  // without the game disc it does nothing
  EXPECT_FALSE(cd_.playing);
  settings = 0x21;
  cd_.Refresh();
  EXPECT_TRUE(cd_.playing);
}

}  // namespace

// The mixer frame: blocks, volume ramps, the stop fade, refusals and the reverb.
#include <cmath>

#include "platformlib/core/cpu.h"
#include "soundfixture.h"

namespace {

constexpr int kStereo16At22050 = 0x08 | 0x800;

std::vector<int> freed;

class Mixer : public soundtest::SoundTest {
 protected:
  void Start(int mmx, int mode = kStereo16At22050) {
    cpuhasmmx = mmx;
    freed.clear();
    ASSERT_EQ(iSNDmixinit(mode, [](int channel) { freed.push_back(channel); }), 0);
  }
  void TearDown() override {
    iSNDmixinit(kStereo16At22050, nullptr);  // every channel inactive, without a fade over freed samples
    reverbinited = 0;
    soundtest::SoundTest::TearDown();
  }
  std::vector<int16_t> Mix(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2 + 512, 0x5555);
    iSNDdllmix(out.data(), frames);
    out.resize(static_cast<size_t>(frames) * 2);
    return out;
  }
};

std::vector<int16_t> Ramp(int frames) {
  std::vector<int16_t> v(frames);
  for (int i = 0; i < frames; ++i) v[i] = static_cast<int16_t>((i * 97) % 60000 - 30000);
  return v;
}

TEST_F(Mixer, SixHundredFramesInThreeBlocks) {
  const std::vector<int16_t> sample = Ramp(700);
  for (int mmx : {1, 0}) {
    Start(mmx);
    ASSERT_EQ(iSNDmixstart(0, SNDFMT_M16, 0, 1, sample.data(), sample.size() * 2, 700, -1, -1, 127, 127, 0x10000,
                           100, 0),
              0);
    const std::vector<int16_t> out = Mix(600);
    for (int k = 0; k < 600; ++k) {
      const int16_t expected = mmx ? static_cast<int16_t>(std::clamp(2 * ((32512 * sample[k]) >> 16), -32768, 32767))
                                   : sample[k];
      ASSERT_EQ(out[2 * k], expected) << "frame " << k << " mmx " << mmx;
      ASSERT_EQ(out[2 * k + 1], expected) << "frame " << k << " mmx " << mmx;
    }
  }
}

TEST_F(Mixer, StopFadesOverOneHundredTwentySevenFrames) {
  const std::vector<int16_t> sample(2000, 32767);
  for (int mmx : {1, 0}) {
    Start(mmx);
    ASSERT_EQ(iSNDmixstart(3, SNDFMT_M16, 0, 1, sample.data(), sample.size() * 2, 2000, -1, -1, 127, 127, 0x10000,
                           100, 0),
              0);
    Mix(256);
    EXPECT_EQ(iSNDmixstop(3), 0);
    EXPECT_EQ(freed, std::vector<int>{3});
    EXPECT_FALSE(iSNDmixactive(3));
    const std::vector<int16_t> out = Mix(256);
    for (int k = 0; k < 127; ++k) {
      const int v = 126 - k;
      const int expected = mmx ? std::min(2 * ((v * 256 * 32767) >> 16), 32767)
                               : static_cast<int>(std::nearbyint(32767.0f * (static_cast<float>(v) * (1.0f / 127.0f))));
      ASSERT_EQ(out[2 * k], expected) << "frame " << k << " mmx " << mmx;
    }
    for (int k = 127; k < 256; ++k) ASSERT_EQ(out[2 * k], 0) << k;
    if (mmx) soundtest::ExpectGolden("stopfade_mmx", std::vector<int16_t>(out.begin(), out.begin() + 2 * 130));
    EXPECT_EQ(iSNDmixstop(3), -1);
  }
}

TEST_F(Mixer, SilentVoiceStopsWithoutAFade) {
  const std::vector<int16_t> sample(600, 20000);
  Start(1);
  ASSERT_EQ(iSNDmixstart(1, SNDFMT_M16, 0, 1, sample.data(), 1200, 600, -1, -1, 0, 0, 0x10000, 100, 0), 0);
  EXPECT_EQ(iSNDmixposition(1), 0);
  EXPECT_EQ(iSNDmixstop(1), 0);
  for (int16_t v : Mix(256)) ASSERT_EQ(v, 0);
}

TEST_F(Mixer, VoiceEndsWhenItsDataEnds) {
  const std::vector<int16_t> sample(300, 1000);
  Start(0);
  ASSERT_EQ(iSNDmixstart(5, SNDFMT_M16, 0, 1, sample.data(), 600, 300, -1, -1, 127, 127, 0x10000, 100, 0), 0);
  Mix(256);
  Mix(256);  // the rest, padded
  EXPECT_TRUE(iSNDmixactive(5));
  EXPECT_TRUE(freed.empty());
  Mix(256);
  EXPECT_FALSE(iSNDmixactive(5));
  EXPECT_EQ(freed, std::vector<int>{5});
}

TEST_F(Mixer, VolumeRampsOneStepAFrame) {
  const std::vector<int16_t> sample(600, 10000);
  Start(1);
  ASSERT_EQ(iSNDmixstart(0, SNDFMT_M16, 0, 1, sample.data(), 1200, 600, -1, -1, 100, 100, 0x10000, 100, 0), 0);
  EXPECT_EQ(iSNDmixsetvolume(0, 103, 98), 0);
  const std::vector<int16_t> out = Mix(8);
  const int left[8] = {101, 102, 103, 103, 103, 103, 103, 103}, right[8] = {99, 98, 98, 98, 98, 98, 98, 98};
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(out[2 * k], 2 * ((left[k] * 256 * 10000) >> 16)) << k;
    EXPECT_EQ(out[2 * k + 1], 2 * ((right[k] * 256 * 10000) >> 16)) << k;
  }
  EXPECT_EQ(iSNDmixsetvolume(9, 1, 1), -1);
}

TEST_F(Mixer, RefusedVoices) {
  Start(1);
  const int16_t data[64] = {};
  struct Case {
    int format, compression, playtype;
    int32_t loopend;
    int code;
    const char* text;
  };
  for (Case c : {Case{3, 0, 1, -1, -15, "iSNDmixstart - UNSUPPORTED SAMPLE FORMAT.\n"},
                 Case{SNDFMT_M8, 7, 1, -1, -7, "iSNDmixstart - MALFORMED SAMPLE.\n"},
                 Case{SNDFMT_S16, 9, 1, -1, -7, "iSNDmixstart - MALFORMED SAMPLE.\n"},
                 Case{SNDFMT_M16, 5, 1, -1, -15, "iSNDmixstart - UNSUPPORTED COMPRESSION TYPE.\n"},
                 Case{SNDFMT_M16, 0, 4, -1, -14, "iSNDmixstart - UNSUPPORTED PLAY TYPE.\n"},
                 Case{SNDFMT_M16, 9, 1, 20, -14, "iSNDmixstart - CODEC NOT INITED.\n"}}) {
    const platformtest::Abort a = platformtest::CatchAbort([&] {
      iSNDmixstart(2, c.format, c.compression, c.playtype, data, sizeof data, 64, 0, c.loopend, 64, 64, 0x10000, 0,
                   0);
    });
    EXPECT_TRUE(a.ended) << c.text;
    EXPECT_NE(a.text.find(c.text), std::string::npos) << a.text;
    // With the abort filtered away the code comes back.
    abortfilterhook = [](const char*) { return 0; };
    EXPECT_EQ(iSNDmixstart(2, c.format, c.compression, c.playtype, data, sizeof data, 64, 0, c.loopend, 64, 64,
                           0x10000, 0, 0),
              c.code)
        << c.text;
    abortfilterhook = nullptr;
    EXPECT_FALSE(iSNDmixactive(2));
  }
}

TEST_F(Mixer, BufferCallbackVoiceWithoutACallbackIsRefused) {
  Start(0);
  const int16_t data[64] = {};
  ASSERT_EQ(sndbuffercallback, nullptr);
  const platformtest::Abort a = platformtest::CatchAbort(
      [&] { EXPECT_EQ(iSNDmixstart(2, SNDFMT_M16, 0, 2, data, sizeof data, 0, -1, -1, 64, 64, 0x10000, 0, 0), -14); });
  EXPECT_FALSE(a.ended);
  EXPECT_FALSE(iSNDmixactive(2));
}

TEST_F(Mixer, ModesAndRates) {
  struct Case {
    int mode, rate, block;
  };
  for (Case c : {Case{0x01 | 0x200, 11025, 256}, Case{0x0F | 0x3F00, 44100, 1024}, Case{0x06 | 0x100, 8000, 512},
                 Case{0x04 | 0x400, 16000, 512}}) {
    Start(0, c.mode);
    EXPECT_EQ(mixoutputrate(), c.rate);
    EXPECT_EQ(mixblockbytes(), c.block);
  }
  EXPECT_EQ(iSNDmixinit(0x800, nullptr), -8);
  EXPECT_EQ(iSNDmixinit(0x08, nullptr), -8);
  Start(0, 0x01 | 0x200);
  EXPECT_EQ(iSNDmixreconfig(0x08), -8);
  EXPECT_EQ(mixoutputrate(), 11025);  // unchanged after a refusal
  EXPECT_EQ(iSNDmixreconfig(0x08 | 0x800), 0);
  EXPECT_EQ(mixblockbytes(), 1024);
}

TEST_F(Mixer, StepAboveEightPlaysAtEight) {
  std::vector<int16_t> sample(4000);
  for (int i = 0; i < 4000; ++i) sample[i] = static_cast<int16_t>(i);
  Start(1);
  ASSERT_EQ(iSNDmixstart(0, SNDFMT_M16, 0, 1, sample.data(), 8000, 4000, -1, -1, 127, 127, 0x100000, 100, 0), 0);
  Mix(100);
  EXPECT_EQ(iSNDmixposition(0), 99 * 8 + 2);  // the frames read: the last base and the frame after it
}

TEST_F(Mixer, ReverbLinesAndLimits) {
  const platformtest::Abort a = platformtest::CatchAbort([] { iSNDfxinitreverb(44100); });
  EXPECT_NE(a.text.find("iSNDfxinitreverb - RATES HIGHER THAN 22050 NOT SUPPORTED YET.\n"), std::string::npos);
  abortfilterhook = [](const char*) { return 0; };
  EXPECT_EQ(iSNDfxinitreverb(44100), -1);
  abortfilterhook = nullptr;
  ASSERT_EQ(iSNDfxinitreverb(22050), 0);
  EXPECT_EQ(reverblinelength(0), 2207);
  EXPECT_EQ(reverblinelength(1), 1543);
  EXPECT_EQ(reverblinelength(2), 1087);
  EXPECT_EQ(reverblinelength(3), 757);
}

TEST_F(Mixer, ReverbDelayAndFilters) {
  ASSERT_EQ(iSNDfxinitreverb(22050), 0);
  reverbresetfilters();
  // Stages that only delay, filters z = 0.75 z + v: an impulse comes out after the four delays as (n + 1) 0.75^n.
  reverbsetgains(0, 0, 0, 0, 1.0f, 1.0f);
  const int delay = (2207 - 2) + (1543 - 2) + (1087 - 2) + (757 - 2);
  std::vector<float> signal(delay + 8, 0.0f);
  signal[0] = 1.0f;
  reverbprocess(static_cast<int>(signal.size()), signal.data());
  for (int i = 0; i < delay; ++i) ASSERT_EQ(signal[i], 0.0f) << i;
  EXPECT_FLOAT_EQ(signal[delay], 1.0f);
  EXPECT_FLOAT_EQ(signal[delay + 1], 1.5f);
  EXPECT_FLOAT_EQ(signal[delay + 2], 1.6875f);
  // All gains and inputs of the filters 0: nothing comes out.
  ASSERT_EQ(iSNDfxinitreverb(22050), 0);
  reverbresetfilters();
  reverbsetgains(0, 0, 0, 0, 0, 0);
  std::vector<float> noise(3000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<float>((i * 7919) % 2001) - 1000.0f;
  reverbprocess(static_cast<int>(noise.size()), noise.data());
  for (float v : noise) ASSERT_EQ(v, 0.0f);
}

TEST_F(Mixer, ReverbTailThenIdle) {
  std::vector<int16_t> sample(256, 8000);
  std::vector<int16_t> goldenvalues;
  for (int mmx : {1, 0}) {
    Start(mmx);
    ASSERT_EQ(iSNDfxinitreverb(22050), 0);
    reverbresetfilters();
    EXPECT_EQ(reverbidleblocks(), 500);
    ASSERT_EQ(iSNDmixstart(0, SNDFMT_M16, 0, 1, sample.data(), 512, 256, -1, -1, 127, 127, 0x10000, 100, 127), 0);
    Mix(256);
    EXPECT_EQ(reverbidleblocks(), 0);
    Mix(256);  // the voice's last read ends it: no send any more
    EXPECT_FALSE(iSNDmixactive(0));
    std::vector<int16_t> tail;
    for (int block = 2; block < 500; ++block) {
      const std::vector<int16_t> out = Mix(256);
      if (block < 12) tail.insert(tail.end(), out.begin(), out.begin() + 16);
    }
    EXPECT_EQ(reverbidleblocks(), 499);  // still running in the 499th block after the send
    Mix(256);
    EXPECT_EQ(reverbidleblocks(), 500);
    bool heard = false;
    for (int16_t v : tail) heard |= v != 0;
    EXPECT_TRUE(heard);
    if (mmx) goldenvalues = tail;
  }
  soundtest::ExpectGolden("reverb_tail_mmx", goldenvalues);
}

TEST_F(Mixer, SixHundredFrameMixGolden) {
  // Four voices of every format at different pitches, volumes and qualities.
  std::vector<int8_t> m8(3000), s8(6000);
  std::vector<int16_t> m16(3000), s16(6000);
  for (int i = 0; i < 3000; ++i) {
    m8[i] = static_cast<int8_t>(std::lround(100 * std::sin(i * 0.05)));
    m16[i] = static_cast<int16_t>(std::lround(20000 * std::sin(i * 0.031)));
    s8[2 * i] = static_cast<int8_t>((i % 50) * 4 - 100), s8[2 * i + 1] = static_cast<int8_t>(-(i % 31) * 3);
    s16[2 * i] = static_cast<int16_t>((i % 200) * 300 - 30000), s16[2 * i + 1] = static_cast<int16_t>(i * 11);
  }
  for (int mmx : {1, 0}) {
    Start(mmx);
    ASSERT_EQ(iSNDmixstart(0, SNDFMT_M8, 0, 1, m8.data(), 3000, 3000, -1, -1, 127, 60, 0x8000, 100, 0), 0);
    ASSERT_EQ(iSNDmixstart(1, SNDFMT_S8, 0, 1, s8.data(), 6000, 3000, -1, -1, 90, 127, 0x18000, 10, 0), 0);
    ASSERT_EQ(iSNDmixstart(2, SNDFMT_M16, 0, 1, m16.data(), 6000, 3000, 100, 2000, 127, 127, 0x11234, 100, 0), 0);
    ASSERT_EQ(iSNDmixstart(3, SNDFMT_S16, 0, 1, s16.data(), 12000, 3000, -1, -1, 40, 100, 0x20000, 0, 0), 0);
    const std::vector<int16_t> out = Mix(600);
    soundtest::ExpectGolden(mmx ? "mix600_mmx" : "mix600_float", out);
  }
}

}  // namespace

// The sound tools: what the encoders write decodes close to their input, and written patches and banks are
// taken by the library and play.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "platformlib/core/cpu.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndbank.h"
#include "platformlib/sound/sndmix.h"
#include "platformlib/sound/sndvoice.h"
#include "platformlib/sound/voicefixture.h"
#include "soundtools.h"

namespace {

// Signal-to-noise ratio in dB of a decoding against its source.
double Snr(const std::vector<int16_t>& source, const std::vector<double>& decoded) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < source.size(); ++i) {
    signal += static_cast<double>(source[i]) * source[i];
    noise += (decoded[i] - source[i]) * (decoded[i] - source[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}

std::vector<int16_t> Voiced(int frames, int rate) {
  // A vowel-like sound: harmonics of 140 Hz under a falling envelope, with a little noise.
  std::vector<int16_t> s(frames);
  uint32_t r = 5;
  for (int i = 0; i < frames; ++i) {
    double v = 0;
    for (int h = 1; h <= 12; ++h) v += std::sin(2 * M_PI * 140 * h * i / rate + h) * 6000.0 / h * (h == 4 ? 2.0 : 1.0);
    r = r * 1664525u + 1013904223u;
    v += static_cast<int16_t>(r >> 16) / 64.0;
    s[i] = static_cast<int16_t>(std::clamp(v * (1.0 - 0.5 * i / frames), -32768.0, 32767.0));
  }
  return s;
}

TEST(SoundTools, Compression7DecodesClose) {
  for (int channels : {1, 2}) {
    const int frames = 28 * 40 + 5;
    std::vector<int16_t> source = Voiced(frames * channels, 22050);
    const std::vector<uint8_t> coded = soundtools::encodeadpcm7(source.data(), frames, channels);
    ASSERT_EQ(coded.size(), adpcm7bytes(frames, channels));
    std::vector<double> decoded;
    Adpcm7Channel state[2] = {};
    int16_t block[56];
    const size_t blockbytes = channels == 2 ? 30 : 15;
    for (size_t b = 0; b * blockbytes < coded.size(); ++b) {
      adpcm7blockint(coded.data() + b * blockbytes, channels, state, block);
      decoded.insert(decoded.end(), block, block + 28 * channels);
    }
    decoded.resize(source.size());
    EXPECT_GT(Snr(source, decoded), 30.0) << channels;
  }
}

TEST(SoundTools, Compression7EndsHopelessTrialsWithoutChangingTheChoice) {
  uint32_t seed = 12345;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int16_t>(seed >> 16);
  };
  for (int channels : {1, 2}) {
    const int frames = 28 * 60 + 11;
    std::vector<int16_t> source = Voiced(frames * channels, 22050);
    // Loud noise, silence and full-scale steps between the voiced parts: choices change from block to block.
    for (int i = 0; i < 28 * 10 * channels; ++i) source[28 * 20 * channels + i] = noise();
    for (int i = 0; i < 28 * 5 * channels; ++i) source[28 * 35 * channels + i] = 0;
    for (int i = 0; i < 28 * 5 * channels; ++i) source[28 * 45 * channels + i] = (i / 7) % 2 ? 32767 : -32768;
    EXPECT_EQ(soundtools::encodeadpcm7(source.data(), frames, channels),
              soundtools::encodeadpcm7(source.data(), frames, channels, true))
        << channels;
  }
}

TEST(SoundTools, Compression9DecodesClose) {
  const int frames = 432 * 12;
  std::vector<int16_t> tone(frames);
  for (int i = 0; i < frames; ++i) tone[i] = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 440 * i / 11025.0)));
  struct Case {
    const char* what;
    std::vector<int16_t> source;
    double snr;
  };
  for (const Case& c : {Case{"voiced", Voiced(frames, 11025), 12.0}, Case{"tone", tone, 20.0}}) {
    const std::vector<uint8_t> coded = soundtools::encodec9(c.source.data(), frames);
    std::vector<uint8_t> state(c9statesize());
    C9Decoder* d = reinterpret_cast<C9Decoder*>(state.data());
    c9start(d, coded.data(), coded.size());
    std::vector<double> decoded;
    float frame[C9FRAME];
    for (int f = 0; f < 12; ++f) {
      ASSERT_EQ(c9decodeframe(d, frame), 1) << c.what << " " << f;
      decoded.insert(decoded.end(), frame, frame + C9FRAME);
    }
    EXPECT_EQ(c9decodeframe(d, frame), 0) << c.what;  // every byte used
    EXPECT_GT(Snr(c.source, decoded), c.snr) << c.what;
    EXPECT_LT(coded.size() * 8.0 / frames, 7.0) << c.what;  // well under plain PCM's 16 bits
  }
}

// The float path, so that a sample at full volume comes out as it went in.
class Written : public soundtest::VoiceTest {
 protected:
  void SetUp() override {
    soundtest::VoiceTest::SetUp();
    cpuhasmmx = 0;
    ASSERT_EQ(iSNDmixinit(0x08 | 0x800, iSNDfreechan), 0);
  }
};

soundtools::Zone ToneZone(int16_t value, int frames) {
  soundtools::Zone z;
  z.length = frames;
  z.envelope = {{-1, 127}};
  for (int i = 0; i < frames; ++i) z.data.push_back(static_cast<uint8_t>(value)), z.data.push_back(static_cast<uint8_t>(value >> 8));
  return z;
}

TEST_F(Written, PatchesAndBanksPlay) {
  soundtools::Zone low = ToneZone(1000, 500), high = ToneZone(3000, 500);
  low.keyhigh = 59, low.rootkey = 50;
  high.keylow = 60, high.rootkey = 70;
  std::vector<uint8_t> patch = soundtools::writepatch({low, high});
  // The bank file takes its own copy of the patch before the one added alone is resolved.
  std::vector<uint8_t> file = soundtools::writebank({soundtools::writepatch({high}), {}, patch});
  std::vector<uint8_t> bank(static_cast<size_t>(SNDbankmemsize(2)));
  const int id = SNDbankcreate(2, bank.data());
  int index = -1;
  ASSERT_EQ(SNDbankaddpat(id, &index, patch.data(), patch.size()), 8);
  int fileid = -1;
  ASSERT_EQ(SNDbankadd2files(&fileid, file.data(), file.size(), 0), 8);
  // Each zone plays at its own root key, so at the sample's rate.
  for (auto [bankid, entry, key, value] : {std::tuple{id, index, 50, 1000}, std::tuple{id, index, 70, 3000},
                                           std::tuple{fileid, 0, 70, 3000}, std::tuple{fileid, 2, 50, 1000}}) {
    SNDPLAYOPTS o;
    SNDplaysetdef(&o);
    o.bank = static_cast<int8_t>(bankid);
    o.patch = entry;
    o.key = static_cast<uint8_t>(key);
    const int h = SNDplay(&o);
    ASSERT_GE(h, 0);
    std::vector<int16_t> out(2 * 16);
    iSNDdllmix(out.data(), 16);
    EXPECT_EQ(out[0], value) << bankid << " " << entry << " " << key;
    SNDstop(h);
    iSNDdllmix(out.data(), 16);
  }
  cSNDbankremove(-1);
}

}  // namespace

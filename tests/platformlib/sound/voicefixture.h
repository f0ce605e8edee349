// A running mixer with the voice layer over it, without the driver module: the library is marked started,
// the audio lock comes from the pool, and the tests ask for output through the mix callback.
#pragma once

#include "patchwriter.h"
#include "platformlib/core/cpu.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndvoice.h"
#include "soundfixture.h"

namespace soundtest {

// Little-endian 16-bit samples of one value.
inline std::vector<uint8_t> Constant(int frames, int16_t value) {
  std::vector<uint8_t> data(static_cast<size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i)
    data[2 * i] = static_cast<uint8_t>(value), data[2 * i + 1] = static_cast<uint8_t>(value >> 8);
  return data;
}

class VoiceTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    sndinitialised = 1;
    sndaudiolock = getcriticalsection();
    sndserverticks = 0;
    iSNDresetvoices();
    cpuhasmmx = 1;
    ASSERT_EQ(iSNDmixinit(0x08 | 0x800, iSNDfreechan), 0);
  }
  void TearDown() override {
    iSNDmixinit(0x08 | 0x800, nullptr);
    iSNDresetvoices();
    cSNDbankremove(-1);
    freecriticalsection(sndaudiolock);
    sndaudiolock = nullptr;
    sndinitialised = 0;
    SoundTest::TearDown();
  }
  std::vector<int16_t> Mix(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    iSNDdllmix(out.data(), frames);
    return out;
  }
};

}  // namespace soundtest

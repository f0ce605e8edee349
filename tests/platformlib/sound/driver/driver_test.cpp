// Start-up, shut-down and the driver module's binding, against a recording module.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platformlib/core/cpu.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sounddriver/snddriver.h"
#include "platformlib/sound/sndmix.h"
#include "platformlib/sound/sndvoice.h"
#include "platformlib/core/timer.h"
#include "platformlib/core/fixture.h"
#include "platformlib/sound/patchwriter.h"
#include "winapi/testing.h"
#include "windows.h"

// The memory system keeps its critical sections for the life of the program.
extern "C" const char* __lsan_default_suppressions() { return "leak:creatememclass\nleak:initmainthread\n"; }

namespace {

template <typename F>
F Proc(HMODULE module, const char* name) {
  FARPROC p = GetProcAddress(module, name);
  F f = nullptr;
  if (p) std::memcpy(&f, &p, sizeof f);
  return f;
}

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    abortfilterhook = nullptr;
    if (!memstarted()) initmem();
    initmainthread();
    resetmainwindowstate();
    ASSERT_GT(inittimer(100), 0);
    ASSERT_NE(openmainwindow(320, 200, 0), nullptr);
    sndmodulename = "soundrecorder.dll";
    recorder = LoadLibraryA("soundrecorder.dll");  // held so the module's settings live across the library's loads
    ASSERT_NE(recorder, nullptr);
    setup = Proc<void (*)(int, int, int)>(recorder, "rec_setup");
    calls = Proc<const char* (*)()>(recorder, "rec_calls");
    mix = Proc<void (*)(void*, int)>(recorder, "rec_mix");
    server = Proc<void (*)()>(recorder, "rec_server");
    position = Proc<void (*)(int, int, float*)>(recorder, "rec_position");
    ASSERT_TRUE(setup && calls && mix && server && position);
    setup(0x00100001, 0x0F | 0x3F00, 0);
    calls();
  }
  void TearDown() override {
    abortfilterhook = nullptr;
    SNDrestore();
    closemainwindow();
    stoptimer();
    FreeLibrary(recorder);
    sndmodulename = "tolvarsnd.dll";
    winapi::testing::SetExitHook(nullptr);
    winapi::testing::Reset();
  }
  HMODULE recorder = nullptr;
  void (*setup)(int, int, int) = nullptr;
  const char* (*calls)() = nullptr;
  void (*mix)(void*, int) = nullptr;
  void (*server)() = nullptr;
  void (*position)(int, int, float*) = nullptr;
};

TEST_F(Driver, StartsAndStops) {
  EXPECT_EQ(SNDrestore(), -10);
  EXPECT_EQ(SNDinit(0x08 | 0x800, 0), 0);
  EXPECT_EQ(sndmodeinforce(), 0x0808);
  EXPECT_EQ(sndoutputrate(), 22050);
  EXPECT_EQ(calls(), std::string("setfunctions;caps;caps;start 808;"));
  EXPECT_EQ(SNDinit(0x08 | 0x800, 0), 0);  // already running: nothing happens
  EXPECT_EQ(calls(), std::string(""));
  EXPECT_EQ(SNDrestore(), 0);
  EXPECT_EQ(calls(), std::string("stop;"));
  EXPECT_EQ(SNDrestore(), -10);
}

// The running sound system holds the main window's focus handler: the window refuses to close until SNDrestore
// has removed it.
TEST_F(Driver, TheMainWindowClosesOnlyOnceTheSoundIsDown) {
  ASSERT_EQ(SNDinit(0x0808, 0), 0);
  bool refused = false;
  try {
    closemainwindow();
  } catch (const winapi::testing::ExitCalled&) {
    refused = true;
  }
  EXPECT_TRUE(refused);
  EXPECT_NE(getmainwindowhandle(), nullptr);
  EXPECT_EQ(SNDrestore(), 0);
  closemainwindow();
  EXPECT_EQ(getmainwindowhandle(), nullptr);
}

TEST_F(Driver, VerifiedModes) {
  struct Case {
    int caps, mode, verified;
  };
  for (Case c : {Case{0x01 | 0x04 | 0x200 | 0x800, -1, 0x0804}, Case{0x0F | 0x3F00, 0x02 | 0x04 | 0x2000, 0x2002},
                 Case{0x0F | 0x3F00 | 0x20000, 0x01 | 0x200 | 0x20000, 0x20201},
                 Case{0x0F | 0x3F00 | 0x20000, -1, 0x0808}}) {
    setup(0x00100001, c.caps, 0);
    EXPECT_EQ(iSNDverifymode(c.mode), c.verified) << std::hex << c.caps << " " << c.mode;
    iSNDunloaddll();
  }
}

std::string filtered;  // the texts of aborts that the filter kept from ending the program

TEST_F(Driver, RateEightThousandIsRefusedAtStart) {
  setup(0x00100001, 0x0F | 0x100, 0);
  const int pool = criticalpoolfree();
  filtered.clear();
  // The refusal happens on the window thread, so the abort is filtered rather than caught.
  abortfilterhook = [](const char* text) {
    filtered += text;
    return 0;
  };
  EXPECT_EQ(SNDinit(0x08 | 0x100, 0), -8);
  EXPECT_NE(filtered.find("SNDinit - NO VALID RATE PASSED IN.\n"), std::string::npos) << filtered;
  EXPECT_EQ(criticalpoolfree(), pool);  // the audio lock went back to the pool
  EXPECT_EQ(SNDrestore(), -10);
}

TEST_F(Driver, VersionMismatch) {
  setup(0x00100002, 0x0F | 0x3F00, 0);
  const platformtest::Abort c = platformtest::CatchAbort([] { SNDinit(0x0808, 0); });
  EXPECT_TRUE(c.ended);
  EXPECT_NE(c.text.find("iSNDloaddll - TOLVARSND.DLL VERSION MISMATCH. REQUIRED 16.1, FOUND 16.2.\n"),
            std::string::npos)
      << c.text;
  abortfilterhook = [](const char*) { return 0; };
  EXPECT_EQ(iSNDloaddll(), -11);
  EXPECT_EQ(SNDinit(0x0808, 0), -11);
}

TEST_F(Driver, MissingExportsAndModule) {
  abortfilterhook = [](const char*) { return 0; };
  sndmodulename = "soundrecorder_partial.dll";
  EXPECT_EQ(iSNDloaddll(), -1);
  sndmodulename = "nosuchmodule.dll";
  EXPECT_EQ(iSNDloaddll(), -1);
  abortfilterhook = nullptr;
  sndmodulename = "soundrecorder_partial.dll";
  const platformtest::Abort c = platformtest::CatchAbort([] { iSNDloaddll(); });
  EXPECT_NE(c.text.find("iSNDloaddll - COULDN'T FIND NEEDED FUNCTION.\n"), std::string::npos) << c.text;
  sndmodulename = "soundrecorder.dll";
}

TEST_F(Driver, FailedStartLeavesNothingBehind) {
  setup(0x00100001, 0x0F | 0x3F00, -5);
  const int pool = criticalpoolfree();
  EXPECT_EQ(SNDinit(0x0808, 0), -5);
  EXPECT_EQ(criticalpoolfree(), pool);
  EXPECT_EQ(SNDrestore(), -10);
  setup(0x00100001, 0, 0);  // no usable device
  EXPECT_EQ(SNDcaps(0), 0);
  EXPECT_EQ(SNDinit(-1, 0), -8);
  EXPECT_EQ(criticalpoolfree(), pool);
}

TEST_F(Driver, FocusStopsAndRestartsTheDevice) {
  ASSERT_EQ(SNDinit(0x0808, 0), 0);
  calls();
  audiofocushandler(0);
  audiofocushandler(1);
  EXPECT_EQ(calls(), std::string("stop;start 808;"));
  EXPECT_EQ(SNDreleasehardware(), 0);
  EXPECT_EQ(SNDobtainhardware(), 0);
  EXPECT_EQ(calls(), std::string("stop;start 808;"));
  EXPECT_EQ(iSNDplatformreinit(0x04 | 0x200), 0);
  EXPECT_EQ(sndoutputrate(), 11025);
  EXPECT_EQ(calls(), std::string("stop;start 204;"));
}

TEST_F(Driver, PlaysThroughTheMixCallback) {
  ASSERT_EQ(SNDinit(0x0808, 0), 0);
  std::vector<uint8_t> bank(static_cast<size_t>(SNDbankmemsize(4)));
  const int id = SNDbankcreate(4, bank.data());
  ASSERT_GE(id, 0);
  std::vector<int16_t> tone(2000, 12000);
  std::vector<uint8_t> data(tone.size() * 2);
  std::memcpy(data.data(), tone.data(), data.size());
  soundtest::PatchWriter w;
  w.Sample(16, 1, 22050, 2000).Data(data);
  int index = -1;
  ASSERT_EQ(SNDbankaddpat(id, &index, w.bytes.data(), w.bytes.size()), 8);
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  o.bank = static_cast<int8_t>(id);
  o.patch = index;
  const int h = SNDplay(&o);
  ASSERT_GE(h, 0);
  std::vector<int16_t> out(2 * 300);
  mix(out.data(), 300);  // the module asks for output
  const int16_t expected = cpuhasmmx ? static_cast<int16_t>(2 * ((32512 * 12000) >> 16)) : 12000;
  EXPECT_EQ(out[0], expected);
  EXPECT_EQ(out[599], expected);
  EXPECT_EQ(SNDautovol(h, 0, -1), 0);
  server();  // the module runs the audio server
  EXPECT_EQ(SNDdone(h), 1);
  EXPECT_EQ(SNDrestore(), 0);  // banks and voices go with it
  EXPECT_EQ(w.bytes[3] & 1, 0);
}

TEST_F(Driver, HardwareVoicesAndTheirFallBack) {
  auto sethardware = Proc<void (*)(int, int)>(recorder, "rec_sethardware");
  ASSERT_NE(sethardware, nullptr);
  ASSERT_EQ(SNDinit(0x0808, 0), 0);
  std::vector<uint8_t> bank(static_cast<size_t>(SNDbankmemsize(4)));
  const int id = SNDbankcreate(4, bank.data());
  std::deque<soundtest::PatchWriter> patches;
  auto addpatch = [&]() {
    soundtest::PatchWriter& w = patches.emplace_back();
    w.Sample(16, 1, 11025, 100);
    w.Tag(0x92, 2, 1).Tag(0x93, 0).Data(std::vector<uint8_t>(200, 1));
    int index = -1;
    EXPECT_EQ(SNDbankaddpat(id, &index, w.bytes.data(), w.bytes.size()), 8);
    return index;
  };
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  o.bank = static_cast<int8_t>(id);
  for (int play : {-1, 0}) {
    sethardware(1, play);
    calls();
    o.patch = addpatch();
    EXPECT_EQ(calls(), std::string("create3dbuf 1 0;rate 11025 length 100;"));
    const int h = SNDplay(&o);
    ASSERT_GE(h, 0);
    const int channel = h & 31;
    EXPECT_EQ(calls(), "play3d " + std::to_string(channel) + " 0;at 11025 127;");
    if (play < 0) {
      // The module refused the hardware voice: it plays on the mixer.
      EXPECT_EQ(sndvoiceview(channel).method, 0);
      EXPECT_TRUE(iSNDmixactive(channel));
      SNDstop(h);
      EXPECT_EQ(calls(), std::string(""));
    } else {
      EXPECT_EQ(sndvoiceview(channel).method, 3);
      EXPECT_FALSE(iSNDmixactive(channel));
      EXPECT_EQ(SNDvol(h, 64), 0);
      EXPECT_EQ(calls(), "vol " + std::to_string(channel) + " 64;");
      EXPECT_EQ(SNDstop(h), 0);
      EXPECT_EQ(calls(), "stopbuf " + std::to_string(channel) + ";");
      EXPECT_EQ(SNDdone(h), 1);
    }
    EXPECT_EQ(SNDbankremovepat(id, o.patch), 0);
    EXPECT_EQ(calls(), std::string("removebuf;"));
  }
  sethardware(0, 0);
  EXPECT_EQ(SNDrestore(), 0);  // while the bank's memory is still here
}

TEST_F(Driver, RecordingThroughTheModule) {
  ASSERT_EQ(SNDinit(0x0808, 0), 0);
  calls();
  EXPECT_EQ(iSNDplatformrecordstart(320, 7, 9, 0), 0);
  EXPECT_EQ(calls(), std::string("recordstart 320 9;bits 16 then 7;"));
  int16_t packet[320];
  EXPECT_EQ(iSNDplatformrecordpacket(packet), 640);
  EXPECT_EQ(iSNDplatformrecordpacket(nullptr), -1);
  EXPECT_EQ(iSNDplatformrecordstop(), 0);
  EXPECT_EQ(calls(), std::string("recordstop;"));
  abortfilterhook = [](const char*) { return 0; };
  EXPECT_EQ(iSNDplatformrecordstart(320, 0, 0, 2), -15);
}

TEST_F(Driver, PositionVector) {
  ASSERT_EQ(SNDcaps(0), (0x0F | 0x3F00) | 0x10000);
  float v[3];
  position(0, 0, v);
  EXPECT_FLOAT_EQ(v[0], 0.0f);
  EXPECT_FLOAT_EQ(v[1], 0.0f);
  EXPECT_FLOAT_EQ(v[2], 65536.0f);
  position(16384, 0, v);
  EXPECT_FLOAT_EQ(v[0], 65536.0f);
  EXPECT_NEAR(v[2], 0.0f, 1.0f);
}

TEST_F(Driver, ConvertSampleToSixteenBitMono) {
  const int8_t bytes[4] = {1, -1, 127, -128};
  int16_t out[4] = {};
  EXPECT_EQ(iSNDconvertsample(bytes, 2, 1, 0, 0, 4, out, 0, 1), 0);
  EXPECT_EQ(out[0], 256);
  EXPECT_EQ(out[1], -256);
  EXPECT_EQ(out[3], -32768);
  const int16_t stereo[4] = {100, 300, -1000, -2000};
  EXPECT_EQ(iSNDconvertsample(stereo, 0, 2, 0, 0, 2, out, 0, 1), 0);
  EXPECT_EQ(out[0], 200);
  EXPECT_EQ(out[1], -1500);
  abortfilterhook = [](const char*) { return 0; };
  EXPECT_EQ(iSNDconvertsample(stereo, 5, 1, 0, 0, 2, out, 0, 1), -15);
  EXPECT_EQ(iSNDconvertsample(stereo, 0, 3, 0, 0, 2, out, 0, 1), -15);
}

}  // namespace

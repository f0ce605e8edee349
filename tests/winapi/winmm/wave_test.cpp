// The stand-in's wave devices: the microphone records what it is given at the format's byte rate on the clock,
// buffers end as a card ends them, and the waveaudio strings answer what the machine can do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "mmsystem.h"
#include "winapi/testing.h"

namespace {

class WaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(true);
    winapi::testing::SetVirtualWaitGrace(0);
  }
  void TearDown() override {
    winapi::testing::UseVirtualClock(false);
    winapi::testing::Reset();
  }
  static WAVEFORMATEX Pcm(DWORD rate, WORD bits, WORD channels = 1) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
  }
  // Advances the clock and lets the device's thread catch up.
  static void Hear(WAVEHDR& h, uint32_t ms, DWORD expect) {
    winapi::testing::AdvanceClock(ms);
    for (int i = 0; i < 2000 && h.dwBytesRecorded < expect; ++i) Sleep(0), usleep(1000);
  }
};

TEST_F(WaveTest, TheMicrophoneFillsTheBufferAtTheByteRateWithWhatItHears) {
  std::vector<int16_t> ramp(8000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 4 - 16000);
  winapi::testing::SetWaveInSamples(8000, ramp);
  const WAVEFORMATEX f = Pcm(8000, 16);
  HWAVEIN in = nullptr;
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<int16_t> data(4000);
  WAVEHDR h{};
  h.lpData = reinterpret_cast<LPSTR>(data.data());
  h.dwBufferLength = 8000;
  EXPECT_EQ(waveInAddBuffer(in, &h, sizeof h), WAVERR_UNPREPARED);
  ASSERT_EQ(waveInPrepareHeader(in, &h, sizeof h), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(in, &h, sizeof h), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  Hear(h, 250, 4000);
  EXPECT_EQ(h.dwBytesRecorded, 4000u);  // a quarter of a second of 16,000 bytes a second
  EXPECT_FALSE(h.dwFlags & WHDR_DONE);
  Hear(h, 500, 8000);
  EXPECT_EQ(h.dwBytesRecorded, 8000u);
  EXPECT_TRUE(h.dwFlags & WHDR_DONE);
  for (size_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], ramp[i]) << i;
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_INVALHANDLE);
}

TEST_F(WaveTest, EightBitElevenKilohertzIsConvertedFromTheSamplesHeard) {
  std::vector<int16_t> tone(11025);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>(i % 2 ? 0x4000 : -0x4000);
  winapi::testing::SetWaveInSamples(11025, tone);
  const WAVEFORMATEX f = Pcm(11025, 8);
  HWAVEIN in = nullptr;
  ASSERT_EQ(waveInOpen(&in, 0, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<uint8_t> data(1000);
  WAVEHDR h{};
  h.lpData = reinterpret_cast<LPSTR>(data.data());
  h.dwBufferLength = 1000;
  waveInPrepareHeader(in, &h, sizeof h);
  waveInAddBuffer(in, &h, sizeof h);
  waveInStart(in);
  Hear(h, 100, 1000);
  ASSERT_EQ(h.dwBytesRecorded, 1000u);
  EXPECT_EQ(data[0], 0x40);
  EXPECT_EQ(data[1], 0xC0);
  waveInReset(in);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

TEST_F(WaveTest, StopEndsTheBufferWithWhatItHoldsAndCloseWaitsForQueuedBuffers) {
  winapi::testing::SetWaveInSamples(8000, std::vector<int16_t>(8000, 1000));
  const WAVEFORMATEX f = Pcm(8000, 16);
  HWAVEIN in = nullptr, second = nullptr;
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInOpen(&second, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);  // one input
  std::vector<int16_t> a(8000), b(8000);
  WAVEHDR ha{}, hb{};
  ha.lpData = reinterpret_cast<LPSTR>(a.data()), ha.dwBufferLength = 16000;
  hb.lpData = reinterpret_cast<LPSTR>(b.data()), hb.dwBufferLength = 16000;
  for (WAVEHDR* h : {&ha, &hb}) waveInPrepareHeader(in, h, sizeof *h), waveInAddBuffer(in, h, sizeof *h);
  waveInStart(in);
  Hear(ha, 100, 1600);
  EXPECT_EQ(waveInUnprepareHeader(in, &ha, sizeof ha), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInStop(in), MMSYSERR_NOERROR);
  EXPECT_TRUE(ha.dwFlags & WHDR_DONE);
  EXPECT_EQ(ha.dwBytesRecorded, 1600u);
  EXPECT_FALSE(hb.dwFlags & WHDR_DONE);  // the empty one waits
  EXPECT_EQ(waveInClose(in), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_TRUE(hb.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

struct FormatCase {
  DWORD rate;
  WORD bits, channels, tag;
  MMRESULT result;
};

TEST_F(WaveTest, OnlyPcmFormatsOpen) {
  const FormatCase cases[] = {
      {8000, 16, 1, WAVE_FORMAT_PCM, MMSYSERR_NOERROR}, {11025, 8, 1, WAVE_FORMAT_PCM, MMSYSERR_NOERROR},
      {44100, 16, 2, WAVE_FORMAT_PCM, MMSYSERR_NOERROR}, {7000, 16, 1, WAVE_FORMAT_PCM, WAVERR_BADFORMAT},
      {8000, 12, 1, WAVE_FORMAT_PCM, WAVERR_BADFORMAT},  {8000, 16, 3, WAVE_FORMAT_PCM, WAVERR_BADFORMAT},
      {8000, 16, 1, 2, WAVERR_BADFORMAT},
  };
  for (const FormatCase& c : cases) {
    WAVEFORMATEX f = Pcm(c.rate, c.bits, c.channels);
    f.wFormatTag = c.tag;
    HWAVEIN in = nullptr;
    HWAVEOUT out = nullptr;
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), c.result) << c.rate << " " << c.bits;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), c.result) << c.rate << " " << c.bits;
    if (in) waveInClose(in);
    if (out) waveOutClose(out);
  }
}

TEST_F(WaveTest, WaveaudioAnswersWhatTheMachineCanDo) {
  struct Case {
    bool input, output;
    MCIERROR open;
    const char *play, *record;
  } cases[] = {{true, true, 0, "true", "true"}, {false, true, 0, "true", "false"}, {false, false, MCIERR_DEVICE_NOT_READY, "", ""}};
  for (const Case& c : cases) {
    winapi::testing::SetWaveDevices(c.input, c.output);
    EXPECT_EQ(waveInGetNumDevs(), c.input ? 1u : 0u);
    EXPECT_EQ(waveOutGetNumDevs(), c.output ? 1u : 0u);
    ASSERT_EQ(mciSendStringA("open new type waveaudio alias voice buffer 6", nullptr, 0, nullptr), c.open);
    char play[16] = "x", record[16] = "x";
    const MCIERROR asked = mciSendStringA("capability voice can play", play, sizeof play, nullptr);
    mciSendStringA("capability voice can record", record, sizeof record, nullptr);
    EXPECT_STREQ(play, c.play);
    EXPECT_STREQ(record, c.record);
    if (c.open == 0) {
      EXPECT_EQ(asked, 0u);
      EXPECT_EQ(mciSendStringA("open new type waveaudio alias voice", nullptr, 0, nullptr), static_cast<MCIERROR>(MCIERR_DEVICE_OPEN));
      EXPECT_EQ(mciSendStringA("close voice wait", nullptr, 0, nullptr), 0u);
    } else {
      EXPECT_EQ(asked, static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_NAME));
    }
    HWAVEIN in = nullptr;
    const WAVEFORMATEX f = Pcm(8000, 16);
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR, c.input);
    if (in) waveInClose(in);
  }
}

}  // namespace

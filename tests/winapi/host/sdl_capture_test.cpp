// The microphone through SDL2's capture: with SDL's disk driver the wave input records the samples of a file, as
// they come, converted to the opened format; a reset drops what was heard before it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "mmsystem.h"

namespace {

namespace fs = std::filesystem;

TEST(SdlCapture, TheWaveInputRecordsWhatTheHostsMicrophoneHears) {
  const fs::path heard = fs::temp_directory_path() / ("sdl_capture_" + std::to_string(getpid()) + ".raw");
  std::vector<int16_t> ramp(6000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 5 - 15000);
  std::ofstream(heard, std::ios::binary)
      .write(reinterpret_cast<const char*>(ramp.data()), static_cast<std::streamsize>(ramp.size() * 2));
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILEIN", heard.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", "1", 1);
  setenv("WINAPI_WAVE_IN", "sdl", 1);
  const struct {
    WORD bits, channels;
  } cases[] = {{16, 1}, {8, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits * 10 + c.channels);
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = c.channels;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = c.bits;
    f.nBlockAlign = static_cast<WORD>(c.channels * c.bits / 8);
    f.nAvgBytesPerSec = 8000 * f.nBlockAlign;
    HWAVEIN in = nullptr;
    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<uint8_t> data(4000 * f.nBlockAlign);
    WAVEHDR h{};
    h.lpData = reinterpret_cast<LPSTR>(data.data());
    h.dwBufferLength = static_cast<DWORD>(data.size());
    ASSERT_EQ(waveInPrepareHeader(in, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
    for (int i = 0; i < 1000 && !(h.dwFlags & WHDR_DONE); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(h.dwFlags & WHDR_DONE);
    EXPECT_EQ(h.dwBytesRecorded, data.size());
    // The file's first 4000 samples, in the format asked for.
    size_t wrong = 0;
    for (size_t i = 0; i < 4000; ++i)
      for (WORD ch = 0; ch < c.channels; ++ch) {
        const uint8_t* p = data.data() + i * f.nBlockAlign + ch * c.bits / 8;
        const int got = c.bits == 16 ? static_cast<int16_t>(p[0] | p[1] << 8) : p[0];
        const int want = c.bits == 16 ? ramp[i] : (ramp[i] >> 8) + 128;
        wrong += got != want;
      }
    EXPECT_EQ(wrong, 0u);
    ASSERT_EQ(waveInReset(in), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInUnprepareHeader(in, &h, sizeof h), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  }
  for (const char* v : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILEIN", "SDL_DISKAUDIODELAY", "WINAPI_WAVE_IN"}) unsetenv(v);
  fs::remove(heard);
}

}  // namespace

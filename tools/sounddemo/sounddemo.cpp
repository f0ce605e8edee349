// The sound demo's play.
#include "sounddemo.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "platformlib/sounddriver/snddriver.h"
#include "platformlib/sound/sndbank.h"
#include "platformlib/sound/sndvoice.h"
#include "soundtools.h"
#include "windows.h"

std::string SoundDemoTonePatch(int amplitude) {
  soundtools::Zone zone;
  zone.rate = 22050;
  zone.length = 2205;  // 44 whole periods, so the loop joins without a click
  zone.loopstart = 0;
  zone.loopend = zone.length - 1;
  for (int i = 0; i < zone.length; ++i) {
    const auto v = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * 440.0 * i / zone.rate)));
    zone.data.push_back(static_cast<uint8_t>(v & 0xFF));
    zone.data.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  const std::vector<uint8_t> patch = soundtools::writepatch({zone});
  return std::string(patch.begin(), patch.end());
}

namespace {

int Play(int bank, int index, int pan) {
  SNDPLAYOPTS options{};
  SNDplaysetdef(&options);
  options.bank = static_cast<int8_t>(bank);
  options.patch = index;
  options.pan = static_cast<uint8_t>(pan);
  return SNDplay(&options);
}

}  // namespace

int RunSoundDemo(const SoundDemoOptions& options) {
  auto wait = [&](int ms) {
    if (options.wait)
      options.wait(ms);
    else
      Sleep(static_cast<DWORD>(ms));
  };
  std::ifstream in(options.patfile, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) file.clear();
  if (file.empty()) {
    std::fprintf(stderr, "sounddemo: cannot read %s\n", options.patfile.c_str());
    return -1;
  }
  int status = SNDinit(options.mode, 0);
  if (status < 0) return status;
  if (options.started) options.started();

  std::vector<uint8_t> bankmemory(static_cast<size_t>(SNDbankmemsize(2)));
  const int bank = SNDbankcreate(2, bankmemory.data());
  std::string tone = SoundDemoTonePatch(12000);
  int toneindex = -1, patindex = -1;
  status = bank < 0 ? bank : SNDbankaddpat(bank, &toneindex, tone.data(), tone.size());
  if (status >= 0) status = SNDbankaddpat(bank, &patindex, file.data(), file.size());
  if (status >= 0) {
    int voice = Play(bank, toneindex, 64);
    wait(options.tonems);
    if (voice >= 0) SNDstop(voice);
    wait(200);
    voice = Play(bank, patindex, 0);
    status = voice < 0 ? voice : 0;
    // In steps of a hundredth: the pan goes from left to right, then the pitch bends up (as far as the patch's bend
    // range reaches), then the volume fades out.
    const int third = options.patms / 30;
    for (int step = 0; voice >= 0 && step < third; ++step) {
      wait(10);
      SNDpan(voice, (step + 1) * 127 / third);
    }
    for (int step = 0; voice >= 0 && step < third; ++step) {
      wait(10);
      SNDpitchbend(voice, 64 + (step + 1) * 63 / third);
    }
    if (voice >= 0) {
      SNDautovol(voice, third, 0);
      wait(options.patms - 20 * third);
      SNDstop(voice);
    }
  }
  wait(200);  // what is queued plays out
  SNDrestore();
  return status < 0 ? status : 0;
}

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
#include "platformlib/sound/sndmix.h"
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

// The compression-7 buffers that the buffer callback hands over, one a call, and the next to hand.
std::vector<std::vector<uint8_t>> handout;
size_t handed = 0;

int HandBuffer(void* state, int32_t* length) {
  if (handed >= handout.size()) return 1;
  const std::vector<uint8_t>& buffer = handout[handed++];
  *static_cast<const uint8_t**>(state) = buffer.data();
  *length = static_cast<int32_t>(buffer.size());
  return 0;
}

// `ms` of a 660 Hz tone at 22,050 Hz in compression 7, cut into buffers of 40 blocks (about 50 ms each).
void MakeBuffers(int ms) {
  const int frames = 22050 * ms / 1000;
  std::vector<int16_t> tone(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i)
    tone[i] = static_cast<int16_t>(std::lround(10000 * std::sin(2 * M_PI * 660.0 * i / 22050)));
  const std::vector<uint8_t> coded = soundtools::encodeadpcm7(tone.data(), frames, 1);
  handout.clear();
  handed = 0;
  for (size_t at = 0; at < coded.size(); at += 40 * 15)
    handout.emplace_back(coded.begin() + static_cast<std::ptrdiff_t>(at),
                         coded.begin() + static_cast<std::ptrdiff_t>(std::min(coded.size(), at + 40 * 15)));
}

// A patch whose one zone plays from the buffer callback: its own sample is a silent block that only marks it.
std::string BufferPatch() {
  soundtools::Zone zone;
  zone.playtype = 2;
  zone.compression = 7;
  zone.rate = 22050;
  zone.length = 28;
  zone.data.assign(15, 0);
  const std::vector<uint8_t> patch = soundtools::writepatch({zone});
  return std::string(patch.begin(), patch.end());
}

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

  std::vector<uint8_t> bankmemory(static_cast<size_t>(SNDbankmemsize(3)));
  const int bank = SNDbankcreate(3, bankmemory.data());
  std::string tone = SoundDemoTonePatch(12000);
  std::string buffered = BufferPatch();  // held while the bank is
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
  if (status >= 0 && options.bufferms > 0) {
    // The buffers run out by themselves: the voice then ends.
    int bufferindex = -1;
    MakeBuffers(options.bufferms);
    sndbuffercallback = HandBuffer;
    status = SNDbankaddpat(bank, &bufferindex, buffered.data(), buffered.size());
    const int voice = status < 0 ? status : Play(bank, bufferindex, 64);
    if (voice < 0) status = voice;
    wait(200 + options.bufferms);
  }
  wait(200);  // what is queued plays out
  SNDrestore();
  sndbuffercallback = nullptr;
  return status < 0 ? status : 0;
}

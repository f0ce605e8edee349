// The mix callback with 16 voices of 11,025 Hz mono 16-bit at slightly different pitches into 22,050 Hz stereo
// 16-bit, linear resampling, on each path; beside it, in the same run, OpenAL Soft's loopback device with the
// same sources and SDL's mixing. Counters: voices one core keeps in real time, and ns per voice-sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platformlib/core/cpu.h"
#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndmix.h"
#include "platformlib/sound/sndvoice.h"
#include "platformlib/sound/patchwriter.h"

#ifdef SOUND_BENCH_OPENAL
#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#endif
#ifdef SOUND_BENCH_SDL
#include <SDL.h>
#endif

namespace {

constexpr int kVoices = 16;
constexpr int kSourceRate = 11025;
constexpr int kOutputRate = 22050;
constexpr int kFrames = 1024;  // one call of the mix callback
constexpr int kSampleFrames = kSourceRate;

const std::vector<int16_t>& Sample() {
  static const std::vector<int16_t> sample = [] {
    std::vector<int16_t> s(kSampleFrames);
    for (int i = 0; i < kSampleFrames; ++i)
      s[i] = static_cast<int16_t>(std::lround(12000 * std::sin(i * 2 * M_PI * 441 / kSourceRate) +
                                              3000 * std::sin(i * 2 * M_PI * 1323 / kSourceRate)));
    return s;
  }();
  return sample;
}

// Voice v plays 3v cents above the sample's pitch.
double Pitch(int v) { return std::pow(2.0, 3.0 * v / 1200.0); }

void Counters(benchmark::State& state) {
  const double voicesamples = static_cast<double>(state.iterations()) * kFrames * kVoices;
  state.counters["time_per_voice_sample"] =
      benchmark::Counter(voicesamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // Seconds of audio per second of CPU, times the voices.
  state.counters["realtime_voices_per_core"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrames / kOutputRate * kVoices, benchmark::Counter::kIsRate);
}

void MixCallback(benchmark::State& state, int mmx) {
  cpuhasmmx = mmx;
  iSNDmixinit(0x08 | 0x800, nullptr);
  const std::vector<int16_t>& sample = Sample();
  for (int v = 0; v < kVoices; ++v) {
    const uint32_t step = static_cast<uint32_t>(std::lround(Pitch(v) * kSourceRate / kOutputRate * 65536));
    iSNDmixstart(v, SNDFMT_M16, 0, 1, sample.data(), sample.size() * 2, kSampleFrames, 0, kSampleFrames - 1,
                 100 + v, 120 - v, step, 100, 0);
  }
  std::vector<int16_t> out(kFrames * 2);
  for (auto _ : state) {
    iSNDdllmix(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  Counters(state);
}

void BM_MixCallbackMmxPath(benchmark::State& state) { MixCallback(state, 1); }
void BM_MixCallbackFloatPath(benchmark::State& state) { MixCallback(state, 0); }
BENCHMARK(BM_MixCallbackMmxPath)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MixCallbackFloatPath)->Unit(benchmark::kMicrosecond);

// Decoding alone, as a multiple of real time for one voice.
void Decode(benchmark::State& state, int index, const std::vector<uint8_t>& coded, int32_t frames) {
  mixfilltables(0);
  alignas(16) static uint8_t codecstate[CODECSTATEBYTES];
  std::vector<float> out(kFrames);
  CodecRead read = nullptr;
  CodecPosition position = nullptr;
  int64_t decoded = 0;
  for (auto _ : state) {
    state.PauseTiming();
    codectable[index](0, codecstate, coded.data(), coded.size(), frames, -1, -1, &read, &position);
    state.ResumeTiming();
    for (int32_t done = 0; done < frames; done += kFrames) read(codecstate, kFrames, out.data());
    decoded += frames;
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["times_real_time"] =
      benchmark::Counter(static_cast<double>(decoded) / kSourceRate, benchmark::Counter::kIsRate);
}

void BM_DecodeCompression7(benchmark::State& state) {
  std::vector<uint8_t> coded(adpcm7bytes(kSampleFrames, 1));
  for (size_t i = 0; i < coded.size(); ++i) coded[i] = i % 15 == 0 ? 0x18 : static_cast<uint8_t>(i * 29);
  Decode(state, 16, coded, kSampleFrames);
}
BENCHMARK(BM_DecodeCompression7)->Unit(benchmark::kMicrosecond);

void BM_DecodeCompression9(benchmark::State& state) {
  // A second of frames with ternary pulses: the header, then random bits.
  std::vector<uint8_t> coded(6000);
  uint32_t r = 99;
  for (uint8_t& b : coded) b = static_cast<uint8_t>((r = r * 1664525u + 1013904223u) >> 24);
  coded[0] = 0x00;
  Decode(state, 24, coded, kSampleFrames);
}
BENCHMARK(BM_DecodeCompression9)->Unit(benchmark::kMicrosecond);

// The audio thread's work for one tick at 100 Hz with 16 voices playing from a bank (vibrato, tremolo and a slow
// fade on each): the audio server, then the mix callback for a hundredth of a second.
void BM_AudioThreadTick(benchmark::State& state) {
  cpuhasmmx = static_cast<int>(state.range(0));
  sndinitialised = 1;
  if (!sndaudiolock) sndaudiolock = getcriticalsection();
  iSNDresetvoices();
  iSNDmixinit(0x08 | 0x800, iSNDfreechan);
  static std::vector<uint8_t> bankmemory(static_cast<size_t>(SNDbankmemsize(1)));
  cSNDbankremove(-1);
  const int bank = SNDbankcreate(1, bankmemory.data());
  const std::vector<int16_t>& sample = Sample();
  std::vector<uint8_t> data(sample.size() * 2);
  std::memcpy(data.data(), sample.data(), data.size());
  static soundtest::PatchWriter patch;
  patch = soundtest::PatchWriter{};
  // Vibrato and tremolo tables of 32 bytes sit after the sample data.
  patch.Tag(33, 32, 1).Tag(34, 20, 2).Tag(30, 32, 1);
  const size_t vibrato = patch.bytes.size() + 2;
  patch.Tag(32, 0);
  const size_t tremolo = patch.bytes.size() + 2;
  patch.Tag(29, 0);
  patch.Sample(16, 1, kSourceRate, kSampleFrames, 0, kSampleFrames - 1).Data(data);
  const size_t tables = patch.bytes.size();
  for (int i = 0; i < 64; ++i) patch.bytes.push_back(static_cast<uint8_t>(i < 32 ? 54 + (i % 20) : 100 + i % 27));
  for (auto [tag, at] : {std::pair{vibrato, tables}, std::pair{tremolo, tables + 32}}) {
    const uint32_t offset = static_cast<uint32_t>(at - tag);
    for (int b = 0; b < 4; ++b) patch.bytes[tag + b] = static_cast<uint8_t>(offset >> (24 - 8 * b));
  }
  int index = -1;
  if (SNDbankaddpat(bank, &index, patch.bytes.data(), patch.bytes.size()) != 8) {
    state.SkipWithError("the patch was refused");
    return;
  }
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  o.bank = static_cast<int8_t>(bank);
  o.patch = index;
  for (int v = 0; v < kVoices; ++v) {
    o.key = static_cast<uint8_t>(50 + v);
    const int h = SNDplay(&o);
    SNDautovol(h, 1000000, 20);
  }
  std::vector<int16_t> out(2 * (kOutputRate / 100 + 1));
  for (auto _ : state) {
    iSNDaudioserver();
    iSNDdllmix(out.data(), kOutputRate / 100);
    benchmark::DoNotOptimize(out.data());
  }
  // The processor time that the 100 ticks of one second of audio take.
  state.counters["cpu_time_per_audio_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  cSNDbankremove(-1);
  iSNDresetvoices();
  sndinitialised = 0;
}
BENCHMARK(BM_AudioThreadTick)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

#ifdef SOUND_BENCH_OPENAL
void BM_OpenALSoftLoopback(benchmark::State& state) {
  ALCdevice* device = alcLoopbackOpenDeviceSOFT(nullptr);
  if (!device) {
    state.SkipWithError("no OpenAL loopback device");
    return;
  }
  const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                               ALC_FREQUENCY, kOutputRate, ALC_HRTF_SOFT, ALC_FALSE, ALC_MONO_SOURCES, kVoices, 0};
  ALCcontext* context = alcCreateContext(device, attributes);
  alcMakeContextCurrent(context);
  ALint linear = -1, count = 0;
  if (alIsExtensionPresent("AL_SOFT_source_resampler")) {
    count = alGetInteger(AL_NUM_RESAMPLERS_SOFT);
    for (ALint i = 0; i < count; ++i)
      if (std::strstr(alGetStringiSOFT(AL_RESAMPLER_NAME_SOFT, i), "Linear")) linear = i;
  }
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  const std::vector<int16_t>& sample = Sample();
  alBufferData(buffer, AL_FORMAT_MONO16, sample.data(), static_cast<ALsizei>(sample.size() * 2), kSourceRate);
  ALuint sources[kVoices];
  alGenSources(kVoices, sources);
  for (int v = 0; v < kVoices; ++v) {
    alSourcei(sources[v], AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(sources[v], AL_LOOPING, AL_TRUE);
    alSourcef(sources[v], AL_PITCH, static_cast<float>(Pitch(v)));
    alSource3f(sources[v], AL_POSITION, (v - 7.5f) / 8.0f, 0.0f, -1.0f);
    if (linear >= 0) alSourcei(sources[v], AL_SOURCE_RESAMPLER_SOFT, linear);
    alSourcePlay(sources[v]);
  }
  std::vector<int16_t> out(kFrames * 2);
  for (auto _ : state) {
    alcRenderSamplesSOFT(device, out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  }
  if (linear < 0) state.SetLabel("default resampler");
  Counters(state);
  alDeleteSources(kVoices, sources);
  alDeleteBuffers(1, &buffer);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);
}
BENCHMARK(BM_OpenALSoftLoopback)->Unit(benchmark::kMicrosecond);
#endif

#ifdef SOUND_BENCH_SDL
// SDL's own road for the same voices: an audio stream per voice converts 11,025 Hz mono at the voice's pitch to
// 22,050 Hz stereo, and SDL_MixAudioFormat adds each into the output.
void BM_SdlStreamAndMixAudioFormat(benchmark::State& state) {
  SDL_AudioStream* streams[kVoices];
  for (int v = 0; v < kVoices; ++v)
    streams[v] = SDL_NewAudioStream(AUDIO_S16SYS, 1, static_cast<int>(std::lround(kSourceRate * Pitch(v))),
                                    AUDIO_S16SYS, 2, kOutputRate);
  const std::vector<int16_t>& sample = Sample();
  size_t positions[kVoices] = {};
  std::vector<int16_t> out(kFrames * 2), voice(kFrames * 2);
  const int bytes = kFrames * 4;
  for (auto _ : state) {
    std::memset(out.data(), 0, out.size() * 2);
    for (int v = 0; v < kVoices; ++v) {
      while (SDL_AudioStreamAvailable(streams[v]) < bytes) {
        const size_t n = std::min<size_t>(512, sample.size() - positions[v]);
        SDL_AudioStreamPut(streams[v], sample.data() + positions[v], static_cast<int>(n * 2));
        positions[v] = (positions[v] + n) % sample.size();
      }
      SDL_AudioStreamGet(streams[v], voice.data(), bytes);
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<const Uint8*>(voice.data()),
                         AUDIO_S16SYS, bytes, SDL_MIX_MAXVOLUME * (100 + v) / 127);
    }
    benchmark::DoNotOptimize(out.data());
  }
  Counters(state);
  for (SDL_AudioStream* s : streams) SDL_FreeAudioStream(s);
}
BENCHMARK(BM_SdlStreamAndMixAudioFormat)->Unit(benchmark::kMicrosecond);

// SDL_MixAudioFormat alone, over voices already at the output's rate and layout: the mixing without resampling.
void BM_SdlMixAudioFormatOnly(benchmark::State& state) {
  std::vector<std::vector<int16_t>> voices(kVoices, std::vector<int16_t>(kFrames * 2));
  const std::vector<int16_t>& sample = Sample();
  for (int v = 0; v < kVoices; ++v)
    for (int k = 0; k < kFrames; ++k) voices[v][2 * k] = voices[v][2 * k + 1] = sample[(k + 37 * v) % sample.size()];
  std::vector<int16_t> out(kFrames * 2);
  const int bytes = kFrames * 4;
  for (auto _ : state) {
    std::memset(out.data(), 0, out.size() * 2);
    for (int v = 0; v < kVoices; ++v)
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<const Uint8*>(voices[v].data()),
                         AUDIO_S16SYS, bytes, SDL_MIX_MAXVOLUME * (100 + v) / 127);
    benchmark::DoNotOptimize(out.data());
  }
  Counters(state);
}
BENCHMARK(BM_SdlMixAudioFormatOnly)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK_MAIN();

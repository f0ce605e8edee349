// Encode and decode speed as multiples of real time (counter "x_realtime": seconds of speech per second of
// CPU), for this codec and, when installed, GSM 06.10 and Speex narrowband; before the runs, a table of
// segmental SNR and spectral distance of each codec on the committed clip.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "decoder.h"
#include "encoder.h"
#include "speechframe.h"
#include "speechmetrics.h"

#ifdef TEEBOX_HAVE_GSM
#include <gsm.h>
#endif
#ifdef TEEBOX_HAVE_SPEEX
#include <speex/speex.h>
#endif

namespace {

constexpr double kRate = 8000;

const std::vector<int16_t>& Clip() {
  static const std::vector<int16_t> clip =
      speech::ReadPcm16((std::string(TEEBOX_SOURCE_DIR) + "/tests/fixtures/speech/clip.raw").c_str());
  return clip;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& s) {
  std::vector<uint8_t> b(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    b[2 * i] = static_cast<uint8_t>(s[i]);
    b[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s[i]) >> 8);
  }
  return b;
}

// A codec under test: whole-clip encode and decode.
struct Codec {
  const char* name;
  double bitRate;
  std::vector<uint8_t> (*encode)(const std::vector<int16_t>&);
  std::vector<int16_t> (*decode)(const std::vector<uint8_t>&);
};

std::vector<uint8_t> VoxEncode(const std::vector<int16_t>& pcm) {
  auto in = Bytes(pcm);
  std::vector<uint8_t> out(speech::EncodedCapacity(static_cast<uint32_t>(in.size())));
  out.resize(speech::EncodeFrames(in.data(), static_cast<uint32_t>(in.size()), out.data(),
                                  static_cast<uint32_t>(out.size())));
  return out;
}

std::vector<int16_t> VoxDecode(const std::vector<uint8_t>& coded) {
  std::vector<uint8_t> out(coded.size() / speech::kFrameBytes * speech::kFramePcmBytes);
  speech::DecodeFrames(coded.data(), static_cast<uint32_t>(coded.size()), out.data(),
                       static_cast<uint32_t>(out.size()));
  std::vector<int16_t> s(out.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(static_cast<uint16_t>(out[2 * i] | out[2 * i + 1] << 8));
  return s;
}

#ifdef TEEBOX_HAVE_GSM
std::vector<uint8_t> GsmEncode(const std::vector<int16_t>& pcm) {
  gsm g = gsm_create();
  std::vector<uint8_t> out;
  std::vector<gsm_signal> frame(160);
  gsm_frame coded;
  for (size_t i = 0; i + 160 <= pcm.size(); i += 160) {
    for (int j = 0; j < 160; ++j) frame[j] = pcm[i + j];
    gsm_encode(g, frame.data(), coded);
    out.insert(out.end(), coded, coded + sizeof coded);
  }
  gsm_destroy(g);
  return out;
}

std::vector<int16_t> GsmDecode(const std::vector<uint8_t>& coded) {
  gsm g = gsm_create();
  std::vector<int16_t> out;
  gsm_signal frame[160];
  gsm_frame in;
  for (size_t i = 0; i + sizeof in <= coded.size(); i += sizeof in) {
    std::copy(coded.begin() + static_cast<long>(i), coded.begin() + static_cast<long>(i + sizeof in), in);
    gsm_decode(g, in, frame);
    out.insert(out.end(), frame, frame + 160);
  }
  gsm_destroy(g);
  return out;
}
#endif

#ifdef TEEBOX_HAVE_SPEEX
constexpr int kSpeexQuality = 4;  // the 8000 bit/s mode, the nearest to this codec's 8615

// Frames stored as {length byte, payload}.
std::vector<uint8_t> SpeexEncode(const std::vector<int16_t>& pcm) {
  void* st = speex_encoder_init(&speex_nb_mode);
  int q = kSpeexQuality;
  speex_encoder_ctl(st, SPEEX_SET_QUALITY, &q);
  SpeexBits bits;
  speex_bits_init(&bits);
  std::vector<uint8_t> out;
  std::vector<spx_int16_t> frame(160);
  char buf[200];
  for (size_t i = 0; i + 160 <= pcm.size(); i += 160) {
    for (int j = 0; j < 160; ++j) frame[j] = pcm[i + j];
    speex_bits_reset(&bits);
    speex_encode_int(st, frame.data(), &bits);
    int n = speex_bits_write(&bits, buf, sizeof buf);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), buf, buf + n);
  }
  speex_bits_destroy(&bits);
  speex_encoder_destroy(st);
  return out;
}

std::vector<int16_t> SpeexDecode(const std::vector<uint8_t>& coded) {
  void* st = speex_decoder_init(&speex_nb_mode);
  SpeexBits bits;
  speex_bits_init(&bits);
  std::vector<int16_t> out;
  spx_int16_t frame[160];
  for (size_t i = 0; i < coded.size();) {
    int n = coded[i++];
    speex_bits_read_from(&bits, reinterpret_cast<const char*>(coded.data() + i), n);
    i += static_cast<size_t>(n);
    speex_decode_int(st, &bits, frame);
    out.insert(out.end(), frame, frame + 160);
  }
  speex_bits_destroy(&bits);
  speex_decoder_destroy(st);
  return out;
}
#endif

const std::vector<Codec>& Codecs() {
  static const std::vector<Codec> codecs = {
      {"vox", 28 * 8 * kRate / 208, VoxEncode, VoxDecode},
#ifdef TEEBOX_HAVE_GSM
      {"gsm0610", 13200, GsmEncode, GsmDecode},
#endif
#ifdef TEEBOX_HAVE_SPEEX
      {"speex-nb-q4", 8000, SpeexEncode, SpeexDecode},
#endif
  };
  return codecs;
}

void SetRealTime(benchmark::State& state, size_t samples) {
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(samples) / kRate * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_Encode(benchmark::State& state, const Codec* codec) {
  const auto& clip = Clip();
  for (auto _ : state) benchmark::DoNotOptimize(codec->encode(clip));
  SetRealTime(state, clip.size());
}

void BM_Decode(benchmark::State& state, const Codec* codec) {
  const auto coded = codec->encode(Clip());
  size_t samples = codec->decode(coded).size();
  for (auto _ : state) benchmark::DoNotOptimize(codec->decode(coded));
  SetRealTime(state, samples);
}

void PrintQuality() {
  std::printf("%-12s %9s %10s %11s %6s\n", "codec", "bit/s", "segSNR dB", "spectral dB", "delay");
  for (const Codec& c : Codecs()) {
    speech::ResetEncoder();
    speech::ResetDecoder();
    auto decoded = c.decode(c.encode(Clip()));
    speech::SpeechQuality q = speech::MeasureSpeechQuality(Clip(), decoded, 400);
    std::printf("%-12s %9.0f %10.2f %11.2f %6d\n", c.name, c.bitRate, q.segmentalSnrDb, q.spectralDistanceDb,
                q.delay);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (Clip().empty()) {
    std::fprintf(stderr, "speech clip missing\n");
    return 1;
  }
  PrintQuality();
  for (const Codec& c : Codecs()) {
    benchmark::RegisterBenchmark((std::string("Encode/") + c.name).c_str(), BM_Encode, &c);
    benchmark::RegisterBenchmark((std::string("Decode/") + c.name).c_str(), BM_Decode, &c);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Decoded movie frames per second: coded data to pixel pairs, and pixel pairs drawn into a 16-bit window. Beside
// them, libavcodec's MPEG-1 decoder on one thread decodes intra pictures of the same content and size, coded at
// the quantiser that brings its bytes closest to ours (within 15%); closes with the ratio table of versus.h.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "movieenc.h"
#include "platformlib/movie/movie.h"
#include "platformlib/gfx/windowdesc.h"
#include "versus.h"
#if TEEBOX_HAVE_AVCODEC
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}
#endif

namespace {

std::vector<uint8_t> Rgb(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>(128 + 100 * std::sin(y / 7.0));
      p[2] = static_cast<uint8_t>(((x / 24 + y / 24) & 1) ? 210 : 40);
    }
  return rgb;
}

std::vector<uint8_t> Coded(int width, int height) { return movietools::encodepicture(Rgb(width, height).data(), width, height, 2); }

void DecodeFrame(benchmark::State& state, int width, int height) {
  const std::vector<uint8_t> coded = Coded(width, height);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  for (auto _ : state) {
    if (moviedecodeframe(coded.data(), coded.size(), frame.data(), width, height) != 0) state.SkipWithError("decode");
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = static_cast<double>(coded.size());
}
BENCHMARK_CAPTURE(DecodeFrame, , 320, 240)->Name("picture_320x240/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeFrame, , 640, 480)->Name("picture_640x480/ours")->Unit(benchmark::kMillisecond);

#if TEEBOX_HAVE_AVCODEC
// One intra picture (sequence header, picture) in 4:2:0 from the same RGB, BT.601 studio range.
std::vector<uint8_t> Mpeg1Intra(int width, int height, int qscale) {
  const std::vector<uint8_t> rgb = Rgb(width, height);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (!c) return {};
  c->width = width;
  c->height = height;
  c->time_base = {1, 25};
  c->framerate = {25, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->gop_size = 0;
  c->max_b_frames = 0;
  c->thread_count = 1;
  c->qmin = 1;
  c->flags |= AV_CODEC_FLAG_QSCALE;
  c->global_quality = FF_QP2LAMBDA * qscale;
  std::vector<uint8_t> out;
  if (avcodec_open2(c, codec, nullptr) == 0) {
    AVFrame* f = av_frame_alloc();
    f->format = c->pix_fmt;
    f->width = width;
    f->height = height;
    av_frame_get_buffer(f, 0);
    auto yof = [](const uint8_t* p) { return 16 + (65.738 * p[0] + 129.057 * p[1] + 25.064 * p[2]) / 256; };
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) f->data[0][y * f->linesize[0] + x] = static_cast<uint8_t>(yof(&rgb[(static_cast<size_t>(y) * width + x) * 3]));
    for (int y = 0; y < height / 2; ++y)
      for (int x = 0; x < width / 2; ++x) {
        const uint8_t* p = &rgb[(static_cast<size_t>(2 * y) * width + 2 * x) * 3];
        f->data[1][y * f->linesize[1] + x] = static_cast<uint8_t>(128 + (-37.945 * p[0] - 74.494 * p[1] + 112.439 * p[2]) / 256);
        f->data[2][y * f->linesize[2] + x] = static_cast<uint8_t>(128 + (112.439 * p[0] - 94.154 * p[1] - 18.285 * p[2]) / 256);
      }
    f->pts = 0;
    f->quality = c->global_quality;
    AVPacket* pkt = av_packet_alloc();
    for (AVFrame* send : {f, static_cast<AVFrame*>(nullptr)}) {
      avcodec_send_frame(c, send);
      while (avcodec_receive_packet(c, pkt) == 0) {
        if (out.empty()) out.assign(pkt->data, pkt->data + pkt->size);
        av_packet_unref(pkt);
      }
    }
    av_packet_free(&pkt);
    av_frame_free(&f);
  }
  avcodec_free_context(&c);
  return out;
}

// The MPEG-1 picture whose size is nearest ours.
std::vector<uint8_t> PeerCoded(int width, int height, size_t target) {
  std::vector<uint8_t> best;
  for (int q = 1; q <= 31; ++q) {
    std::vector<uint8_t> p = Mpeg1Intra(width, height, q);
    const auto distance = [&](size_t n) { return std::labs(static_cast<long>(n) - static_cast<long>(target)); };
    if (!p.empty() && (best.empty() || distance(p.size()) < distance(best.size()))) best = std::move(p);
  }
  return best;
}

void PeerFrame(benchmark::State& state, int width, int height) {
  const size_t ours = Coded(width, height).size();
  std::vector<uint8_t> coded = PeerCoded(width, height, ours);
  if (coded.empty() || std::fabs(static_cast<double>(coded.size()) / ours - 1) > 0.15) {
    state.SkipWithError("no MPEG-1 picture within 15% of our size");
    return;
  }
  coded.resize(coded.size() + AV_INPUT_BUFFER_PADDING_SIZE);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->thread_count = 1;
  c->flags |= AV_CODEC_FLAG_LOW_DELAY;
  avcodec_open2(c, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* f = av_frame_alloc();
  const int bytes = static_cast<int>(coded.size() - AV_INPUT_BUFFER_PADDING_SIZE);
  int64_t frames = 0;
  for (auto _ : state) {
    pkt->data = coded.data();
    pkt->size = bytes;
    if (avcodec_send_packet(c, pkt) < 0) state.SkipWithError("send");
    while (avcodec_receive_frame(c, f) == 0) {
      ++frames;
      benchmark::DoNotOptimize(f->data[0]);
      av_frame_unref(f);
    }
  }
  if (frames + 2 < static_cast<int64_t>(state.iterations())) state.SkipWithError("frames were not decoded");
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = static_cast<double>(bytes);
  av_frame_free(&f);
  av_packet_free(&pkt);
  avcodec_free_context(&c);
}
BENCHMARK_CAPTURE(PeerFrame, , 320, 240)->Name("picture_320x240/peer")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PeerFrame, , 640, 480)->Name("picture_640x480/peer")->Unit(benchmark::kMillisecond);
#endif

void BlitFrame(benchmark::State& state) {
  const int width = 320, height = 240, mode = static_cast<int>(state.range(0));
  const std::vector<uint8_t> coded = Coded(width, height);
  std::vector<PixelPair> frame(static_cast<size_t>(width / 2) * height);
  moviedecodeframe(coded.data(), coded.size(), frame.data(), width, height);
  std::vector<uint8_t> pixels(static_cast<size_t>(640) * 480 * 2);
  WindowDesc saved = CurrentWindow, w{};
  initwindowfields(&w, 640, 480, 16, 1280, pixels.data());
  CurrentWindow = w;
  setvideoframe(frame.data());
  for (auto _ : state) {
    blitvideoframe(0, 0, width, height, mode);
    benchmark::DoNotOptimize(pixels.data());
  }
  setvideoframe(nullptr);
  CurrentWindow = saved;
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BlitFrame)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return benchversus::Main(argc, argv); }

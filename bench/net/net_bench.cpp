// The comm layer's message path: frames one way through two message sockets on loopback (socket window included),
// the round trip of a game-words frame answered by the other side, and the frame reader alone in memory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "framework/core/commqueue.h"
#include "net/modempacket.h"
#include "net/msgsock.h"
#include "net/voice.h"
#include "net/sockwindow.h"
#include "platformlib/core/byteorder.h"

namespace {
namespace ws = winsock;

// Counts frames and bytes; answers each frame with one of its own when asked to.
class CountingSock : public net::CMsgSock {
 public:
  void OnMessage(uint32_t type, uint8_t* body, uint32_t length) override {
    if (echo) SendMessage(type, length, body);
    CommMessageFree(body);
    bytes.fetch_add(length);
    frames.fetch_add(1);
  }
  void OnClose(int) override { Close(); }
  std::atomic<uint64_t> frames{0}, bytes{0};
  bool echo = false;
};

class OneListener : public net::CStreamSock {
 public:
  void OnAccept(int error) override {
    if (error || accepted.load()) return;
    auto* s = new CountingSock;
    s->echo = echo;
    if (Accept(s, nullptr))
      accepted = s;
    else
      s->Release();
  }
  std::atomic<CountingSock*> accepted{nullptr};
  bool echo = false;
};

// A connected pair: the client here, the server on the socket window's side.
struct Pair {
  OneListener* listener = new OneListener;
  CountingSock* client = new CountingSock;
  CountingSock* server = nullptr;
  explicit Pair(bool echo) {
    net::StartSocketWindow();
    listener->echo = echo;
    listener->CreateStream(ws::AF_INET, 0);
    ws::sockaddr_in address{};
    address.sin_family = ws::AF_INET;
    listener->Bind(&address);
    listener->Listen(5);
    listener->GetLocalAddress(&address);
    client->CreateStream(ws::AF_INET, 0);
    client->Connect(&address);
    for (int i = 0; i < 5000 && (!listener->accepted.load() || client->state() != net::kSockConnected); ++i) Sleep(1);
    server = listener->accepted.load();
  }
  ~Pair() {
    client->Release();
    if (server) server->Release();
    listener->Release();
    net::StopSocketWindow();
  }
};

void WaitFor(const std::atomic<uint64_t>& counter, uint64_t target) {
  while (counter.load() < target) std::this_thread::yield();
}

// Game words: the 8-byte message in its 20-byte game-data body.
void BM_GameWordsOneWay(benchmark::State& state) {
  Pair pair(false);
  if (!pair.server) {
    state.SkipWithError("no connection");
    return;
  }
  uint8_t body[20] = {};
  WriteLE32(body + 4, 8);
  WriteLE32(body + 8, 0x703);
  uint64_t sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < 64; ++i) pair.client->SendMessage(2, sizeof body, body);
    sent += 64;
  }
  WaitFor(pair.server->frames, sent);
  state.SetItemsProcessed(static_cast<int64_t>(sent));
}
BENCHMARK(BM_GameWordsOneWay)->UseRealTime();

void BM_BodiesOneWay16K(benchmark::State& state) {
  Pair pair(false);
  if (!pair.server) {
    state.SkipWithError("no connection");
    return;
  }
  std::vector<uint8_t> body(16384, 0x5a);
  uint64_t sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < 8; ++i) pair.client->SendMessage(2, static_cast<uint32_t>(body.size()), body.data());
    sent += 8;
  }
  WaitFor(pair.server->frames, sent);
  state.SetBytesProcessed(static_cast<int64_t>(sent * body.size()));
}
BENCHMARK(BM_BodiesOneWay16K)->UseRealTime();

// One frame out and the other side's answer back; the median and the 99th percentile of the trips.
void BM_GameWordsRoundTrip(benchmark::State& state) {
  Pair pair(true);
  if (!pair.server) {
    state.SkipWithError("no connection");
    return;
  }
  uint8_t body[20] = {};
  WriteLE32(body + 4, 8);
  std::vector<double> trips;
  uint64_t expected = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    pair.client->SendMessage(2, sizeof body, body);
    WaitFor(pair.client->frames, ++expected);
    trips.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  if (trips.empty()) return;
  std::sort(trips.begin(), trips.end());
  state.counters["median_ms"] = trips[trips.size() / 2];
  state.counters["p99_ms"] = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
}
BENCHMARK(BM_GameWordsRoundTrip)->UseRealTime();

void Drop(void* count, uint32_t, uint8_t* body, uint32_t) {
  CommMessageFree(body);
  ++*static_cast<uint64_t*>(count);
}

void BM_FrameReader16K(benchmark::State& state) {
  std::vector<uint8_t> stream;
  for (int i = 0; i < 64; ++i) {
    uint8_t header[8];
    WriteLE32(header, 16384);
    WriteLE32(header + 4, 2);
    stream.insert(stream.end(), header, header + 8);
    stream.insert(stream.end(), 16384, static_cast<uint8_t>(i));
  }
  net::FrameReader reader;
  uint64_t frames = 0;
  for (auto _ : state) {
    // Fed as the socket reads it: 4096 bytes at a time.
    for (size_t at = 0; at < stream.size(); at += 4096)
      reader.Feed(stream.data() + at, std::min<size_t>(4096, stream.size() - at), &Drop, &frames);
  }
  benchmark::DoNotOptimize(frames);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_FrameReader16K);

// The modem packets' CRC-32 over 64 KB.
void BM_ModemCrc(benchmark::State& state) {
  std::vector<uint8_t> data(64 * 1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
  uint32_t crc = 0;
  for (auto _ : state) crc ^= net::ModemCrc(data.data(), data.size());
  benchmark::DoNotOptimize(crc);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ModemCrc);

// A seven-second modem recording (16-bit, 8000 Hz) shaped and coded into its voice payload.
void BM_VoiceShapeAndCode7s(benchmark::State& state) {
  std::vector<uint8_t> pcm(112000);
  for (uint32_t i = 0; i < 56000; ++i)
    WriteLE16(pcm.data() + 2 * i, static_cast<uint16_t>(static_cast<int16_t>((i * 37 % 2000) * 3 - 3000)));
  size_t bytes = 0;
  for (auto _ : state) bytes += net::ShapeVoiceRecording(1, pcm.data(), static_cast<uint32_t>(pcm.size())).size();
  benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_VoiceShapeAndCode7s)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

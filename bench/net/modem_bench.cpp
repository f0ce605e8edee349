// A modem call at 115,200 baud on the stand-in's paced line: 10 KB messages one way through the modem link on
// the call's serial ports, as a fraction of the line's rate (ten bits a byte).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "net/modemmgr.h"
#include "winapi/tapi/commport.h"
#include "winapi/tapi/modemline.h"

namespace {

void BM_ModemMessages10K(benchmark::State& state) {
  constexpr uint32_t kBaud = 115200;
  winapi::tapi::LineSettings settings;
  settings.folder = std::filesystem::temp_directory_path().string();
  settings.baud = kBaud;
  const std::string number = "7" + std::to_string(::getpid());
  winapi::tapi::ModemAnswerer answerer(settings);
  if (!answerer.Listen(number)) {
    state.SkipWithError("cannot listen");
    return;
  }
  std::shared_ptr<winapi::tapi::ModemCall> near, far;
  std::thread answering([&] { far = answerer.Answer(10000); });
  int result = 0;
  near = winapi::tapi::DialNumber(number, settings, &result);
  answering.join();
  if (!near || !far) {
    state.SkipWithError("no call");
    return;
  }
  net::SerialPort nearPort(winapi::tapi::OpenCallPort(near)), farPort(winapi::tapi::OpenCallPort(far));
  std::atomic<uint64_t> delivered{0};
  net::ModemLink sender(&nearPort, kBaud, 2, {});
  net::ModemLink receiver(&farPort, kBaud, 1, {[&](uint32_t, std::vector<uint8_t>&&) { ++delivered; }, {}});
  sender.Start();
  receiver.Start();
  std::vector<uint8_t> message(10000, 0x5a);
  uint64_t sent = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sender.Send(message.data(), static_cast<uint32_t>(message.size()));
    ++sent;
    while (delivered.load() < sent) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sender.Stop();
  receiver.Stop();
  state.SetBytesProcessed(static_cast<int64_t>(sent * message.size()));
  // The share of the line's rate that the messages' own bytes reach.
  state.counters["line_rate_share"] = seconds > 0 ? sent * message.size() / (seconds * kBaud / 10.0) : 0;
}
BENCHMARK(BM_ModemMessages10K)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

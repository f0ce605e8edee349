// The stand-in's telephone line and modem: each process that answers listens under its number (a Unix socket in
// the folder of WINAPI_MODEM_FOLDER); dialling that number connects to it. The line carries bytes paced at the
// call's baud rate, and can be made to fail the way a telephone line does: busy, no answer, no dial tone, lost
// carrier, line noise. Nothing leaves the machine.
//
// Settings: WINAPI_MODEM_NUMBER (the number an answering line listens under), WINAPI_MODEM_LINES (the names of the line devices, comma-separated; "none" for a machine without a
// modem; default one data modem), WINAPI_MODEM_FOLDER (default the temporary folder), WINAPI_MODEM_BAUD (default 28800),
// WINAPI_MODEM_NOISE (bit errors per million bits, default 0), WINAPI_MODEM_FAULT ("nodialtone" fails every dial).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace winapi::tapi {

// Outcomes of a call, as the line manager reports them.
enum CallResult : int {
  kCallConnected = 0x67,
  kCallDisconnected = 0x69,
  kCallBusy = 0x6a,
  kCallNoAnswer = 0x6b,
  kCallFailed = 0x6d,
};

struct LineSettings {
  std::vector<std::string> lines = {"Stand-in Data Modem"};
  std::string folder;
  std::string number = "5550100";  // what an answering line listens under (WINAPI_MODEM_NUMBER)
  uint32_t baud = 28800;
  uint32_t noisePerMillion = 0;
  bool noDialTone = false;
  uint32_t noiseSeed = 1;
  static LineSettings FromEnvironment();
};

// One connected call: the serial port's side of it.
class ModemCall {
 public:
  ModemCall(int fd, const LineSettings& settings);
  ~ModemCall();
  ModemCall(const ModemCall&) = delete;
  ModemCall& operator=(const ModemCall&) = delete;

  uint32_t Baud() const { return settings_.baud; }
  uint32_t Waiting();
  uint32_t Read(uint8_t* into, uint32_t n);
  // Paced at the baud rate (ten bits a byte) on the stand-in's clock; false once the carrier is gone.
  bool Write(const uint8_t* data, uint32_t n);
  bool Carrier();
  void PurgeInput();
  // The carrier drops, on both ends (the far end sees it go).
  void Hangup();
  // The port's error flags (CE_...): raised as a damaged line would, taken (and cleared) by reading them.
  void RaiseLineErrors(uint32_t flags) { lineErrors_ |= flags; }
  uint32_t TakeLineErrors() { return lineErrors_.exchange(0); }

 private:
  int fd_;
  LineSettings settings_;
  std::mutex writeLock_;
  std::mt19937 noise_;
  double owedMs_ = 0;
  std::atomic<bool> carrier_{true};
  std::atomic<uint32_t> lineErrors_{0};
};

// Waits for calls to a number. While one call is up, further callers hear busy.
class ModemAnswerer {
 public:
  explicit ModemAnswerer(const LineSettings& settings) : settings_(settings) {}
  ~ModemAnswerer();
  // Starts listening under the number; false when the number is taken or cannot be made.
  bool Listen(const std::string& number);
  // The next call, waiting up to `ms` of real time; null when none came.
  std::unique_ptr<ModemCall> Answer(uint32_t ms);
  // A call in progress keeps the line busy for others until it ends.
  void SetBusy(bool busy) { busy_ = busy; }
  // A waiting Answer returns (null) within 50 ms; later ones return at once.
  void Cancel() { cancelled_ = true; }
  bool cancelled() const { return cancelled_; }

 private:
  LineSettings settings_;
  int listener_ = -1;
  std::string path_;
  std::atomic<bool> busy_{false}, cancelled_{false};
};

// Dials a number: the call, or null with the reason in `result`.
// While it rings, a set `cancel` ends the call attempt (kCallFailed) within 50 ms.
std::unique_ptr<ModemCall> DialNumber(const std::string& number, const LineSettings& settings, int* result,
                                      const std::atomic<bool>* cancel = nullptr);

}  // namespace winapi::tapi

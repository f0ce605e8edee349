#include "winapi/tapi/modemline.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "windows.h"

namespace winapi::tapi {
namespace {

constexpr char kConnect = 'C', kBusy = 'B';

uint32_t Number(const char* name, uint32_t fallback, uint32_t low, uint32_t high) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  char* end = nullptr;
  const unsigned long n = std::strtoul(v, &end, 10);
  if (*end || n < low || n > high) return fallback;
  return static_cast<uint32_t>(n);
}

// The socket path of a number: its digits only, so a number cannot name a path of its own.
std::string PathOf(const LineSettings& s, const std::string& number) {
  std::string digits;
  for (char c : number)
    if (c >= '0' && c <= '9') digits += c;
  if (digits.empty()) return {};
  return (std::filesystem::path(s.folder) / ("modem-" + digits)).string();
}

bool Address(const std::string& path, sockaddr_un* a) {
  if (path.empty() || path.size() >= sizeof a->sun_path) return false;
  std::memset(a, 0, sizeof *a);
  a->sun_family = AF_UNIX;
  std::memcpy(a->sun_path, path.c_str(), path.size());
  return true;
}

// Waits up to `ms` of real time, in slices, for `fd` to be readable; false when the time ran out or `cancel` was
// set.
bool ReadableWithin(int fd, uint32_t ms, const std::atomic<bool>* cancel) {
  for (uint32_t waited = 0;; waited += 50) {
    if (cancel && cancel->load()) return false;
    pollfd p{fd, POLLIN, 0};
    const int slice = static_cast<int>(std::min<uint32_t>(50, ms - std::min(ms, waited)));
    if (::poll(&p, 1, slice) > 0) return true;
    if (waited >= ms) return false;
  }
}

// One byte within `ms`; -1 when none came.
int ByteWithin(int fd, uint32_t ms, const std::atomic<bool>* cancel) {
  if (!ReadableWithin(fd, ms, cancel)) return -1;
  uint8_t b;
  return ::recv(fd, &b, 1, 0) == 1 ? b : -1;
}

}  // namespace

LineSettings LineSettings::FromEnvironment() {
  LineSettings s;
  const char* folder = std::getenv("WINAPI_MODEM_FOLDER");
  s.folder = folder && *folder ? folder : std::filesystem::temp_directory_path().string();
  if (const char* number = std::getenv("WINAPI_MODEM_NUMBER"); number && *number) s.number = number;
  s.baud = Number("WINAPI_MODEM_BAUD", 28800, 300, 921600);
  s.noisePerMillion = Number("WINAPI_MODEM_NOISE", 0, 0, 1000000);
  s.noiseSeed = Number("WINAPI_MODEM_NOISE_SEED", 1, 0, 0xffffffffu);
  if (const char* lines = std::getenv("WINAPI_MODEM_LINES")) {
    s.lines.clear();
    std::string all = lines;
    for (size_t at = 0; at <= all.size() && all != "none";) {
      const size_t end = std::min(all.find(',', at), all.size());
      if (end > at) s.lines.push_back(all.substr(at, end - at));
      at = end + 1;
    }
  }
  const char* fault = std::getenv("WINAPI_MODEM_FAULT");
  s.noDialTone = fault && std::strcmp(fault, "nodialtone") == 0;
  return s;
}

ModemCall::ModemCall(int fd, const LineSettings& settings) : fd_(fd), settings_(settings), noise_(settings.noiseSeed) {
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

ModemCall::~ModemCall() { ::close(fd_); }

uint32_t ModemCall::Waiting() {
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) < 0 || n < 0) return 0;
  return static_cast<uint32_t>(n);
}

uint32_t ModemCall::Read(uint8_t* into, uint32_t n) {
  const ssize_t got = ::recv(fd_, into, n, MSG_DONTWAIT);
  if (got == 0) carrier_ = false;
  return got > 0 ? static_cast<uint32_t>(got) : 0;
}

bool ModemCall::Write(const uint8_t* data, uint32_t n) {
  std::lock_guard<std::mutex> lock(writeLock_);
  if (!Carrier()) return false;
  // Ten bits a byte at the call's rate; the time owed is slept on the stand-in's clock.
  owedMs_ += n * 10000.0 / settings_.baud;
  if (owedMs_ >= 1.0) {
    const DWORD ms = static_cast<DWORD>(owedMs_);
    owedMs_ -= ms;
    Sleep(ms);
  }
  std::string bytes(reinterpret_cast<const char*>(data), n);
  if (settings_.noisePerMillion) {
    std::uniform_int_distribution<uint32_t> chance(0, 999999);
    for (char& c : bytes)
      for (int bit = 0; bit < 8; ++bit)
        if (chance(noise_) < settings_.noisePerMillion) c = static_cast<char>(c ^ (1 << bit));
  }
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t k = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (k > 0) {
      sent += static_cast<size_t>(k);
      continue;
    }
    if (k < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 100);
      continue;
    }
    carrier_ = false;
    return false;
  }
  return true;
}

bool ModemCall::Carrier() {
  if (!carrier_) return false;
  char probe;
  const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) carrier_ = false;
  return carrier_;
}

void ModemCall::PurgeInput() {
  uint8_t sink[1024];
  while (::recv(fd_, sink, sizeof sink, MSG_DONTWAIT) > 0) {
  }
}

void ModemCall::Hangup() {
  carrier_ = false;
  ::shutdown(fd_, SHUT_RDWR);
}

ModemAnswerer::~ModemAnswerer() {
  if (listener_ >= 0) ::close(listener_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool ModemAnswerer::Listen(const std::string& number) {
  sockaddr_un a;
  const std::string path = PathOf(settings_, number);
  if (!Address(path, &a)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
    ::close(fd);
    return false;
  }
  listener_ = fd;
  path_ = path;
  return true;
}

std::unique_ptr<ModemCall> ModemAnswerer::Answer(uint32_t ms) {
  if (listener_ < 0 || !ReadableWithin(listener_, ms, &cancelled_)) return nullptr;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return nullptr;
  const char answer = busy_ ? kBusy : kConnect;
  if (::send(fd, &answer, 1, MSG_NOSIGNAL) != 1 || busy_) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<ModemCall>(fd, settings_);
}

std::unique_ptr<ModemCall> DialNumber(const std::string& number, const LineSettings& settings, int* result,
                                      const std::atomic<bool>* cancel) {
  int ignored;
  if (!result) result = &ignored;
  *result = kCallFailed;
  if (settings.noDialTone) return nullptr;
  sockaddr_un a;
  if (!Address(PathOf(settings, number), &a)) return nullptr;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  // Nobody listening under the number: it rings and nobody answers.
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    *result = kCallNoAnswer;
    return nullptr;
  }
  const uint32_t ringMs = Number("WINAPI_MODEM_RING_MS", 10000, 0, 600000);
  const int answer = ByteWithin(fd, ringMs, cancel);
  if (answer != kConnect) {
    ::close(fd);
    *result = cancel && cancel->load() ? kCallFailed : answer == kBusy ? kCallBusy : kCallNoAnswer;
    return nullptr;
  }
  *result = kCallConnected;
  return std::make_unique<ModemCall>(fd, settings);
}

}  // namespace winapi::tapi

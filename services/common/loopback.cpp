#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>

namespace services {

namespace {
volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }
}  // namespace

uint16_t ListenLoopback(uint16_t port, int backlog, int* listener, int wake[2]) {
  *listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (*listener < 0) return 0;
  const int on = 1;
  ::setsockopt(*listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(*listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(*listener, backlog) != 0 ||
      ::getsockname(*listener, reinterpret_cast<sockaddr*>(&a), &len) != 0 || ::pipe(wake) != 0) {
    ::close(*listener);
    *listener = -1;
    return 0;
  }
  return ntohs(a.sin_port);
}

void StopListening(std::thread& serving, int* listener, int wake[2]) {
  if (!serving.joinable()) return;
  const char c = 0;
  [[maybe_unused]] const ssize_t n = ::write(wake[1], &c, 1);
  serving.join();
  ::close(*listener);
  ::close(wake[0]);
  ::close(wake[1]);
  *listener = wake[0] = wake[1] = -1;
}

int AnnounceAndWait(const char* program, long port, uint16_t taken) {
  if (!taken) {
    std::fprintf(stderr, "%s: cannot listen on port %ld\n", program, port);
    return 1;
  }
  std::printf("port %u\n", taken);
  std::fflush(stdout);
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return 0;
}

}  // namespace services

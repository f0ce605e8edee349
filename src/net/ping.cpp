// The keep-alive ping of an online game: ICMP echoes to a peer at the registry's interval.
#include <cstring>
#include <mutex>

#include "framework/core/registry.h"
#include "net/sockwindow.h"
#include "winapi_modules.h"

namespace net {
namespace {

constexpr uint32_t kDefaultInterval = 300000;

std::mutex g_targetLock;
uint32_t g_target = 0;
bool g_fixed = false;
uint32_t g_interval = kDefaultInterval;
uint32_t g_count = 1;
HANDLE g_stop = nullptr;
HANDLE g_thread = nullptr;
HMODULE g_icmp = nullptr;
PFN_IcmpCreateFile g_create = nullptr;
PFN_IcmpCloseHandle g_close = nullptr;
PFN_IcmpSendEcho g_echo = nullptr;
bool g_running = false;

template <class T>
T Proc(const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(g_icmp, name)));
}

DWORD WINAPI PingThread(LPVOID) {
  HANDLE icmp = g_create();
  if (!icmp || icmp == INVALID_HANDLE_VALUE) return 0;
  char data[33] = "abcdefghijklmnopqrstuvwabcdefghi";
  char reply[sizeof(ICMP_ECHO_REPLY) + 32 + 28];
  IP_OPTION_INFORMATION options{};
  options.Ttl = 32;
  for (;;) {
    uint32_t target;
    {
      std::lock_guard<std::mutex> lock(g_targetLock);
      target = g_target;
    }
    bool stop = false;
    for (uint32_t i = 0; i < g_count && !stop; ++i) {
      if (i > 0 && WaitForSingleObject(g_stop, 1000) == WAIT_OBJECT_0) stop = true;
      if (!stop) g_echo(icmp, target, data, 32, &options, reply, sizeof reply, 2000);
    }
    if (stop || WaitForSingleObject(g_stop, g_interval) == WAIT_OBJECT_0) break;
  }
  g_close(icmp);
  return 0;
}

}  // namespace

void StartPing(uint32_t target) {
  if (g_running) return;
  RegistryMgr settings("Network", false);
  uint32_t value = 0;
  g_interval = kDefaultInterval;
  if (settings.ReadValue("PingInterval", &value, sizeof value)) {
    if (value == 0) return;
    if (value >= 1000 && value <= 3600000) g_interval = value;
  }
  g_icmp = LoadLibraryA("ICMP.DLL");
  if (!g_icmp) return;
  g_create = Proc<PFN_IcmpCreateFile>("IcmpCreateFile");
  g_close = Proc<PFN_IcmpCloseHandle>("IcmpCloseHandle");
  g_echo = Proc<PFN_IcmpSendEcho>("IcmpSendEcho");
  if (!g_create || !g_close || !g_echo) {
    FreeLibrary(g_icmp);
    g_icmp = nullptr;
    return;
  }
  g_count = 1;
  if (settings.ReadValue("PingCount", &value, sizeof value) && value >= 1 && value <= 10) g_count = value;
  {
    std::lock_guard<std::mutex> lock(g_targetLock);
    g_target = target;
    g_fixed = false;
    char text[32] = {};
    if (settings.ReadString("PingAddress", text, sizeof text)) {
      const winsock::u_long a = winsock::inet_addr(text);
      if (a != winsock::INADDR_NONE) {
        g_target = a;
        g_fixed = true;
      }
    }
  }
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_thread = CreateThread(nullptr, 0, PingThread, nullptr, 0, nullptr);
  g_running = true;
}

void SetPingTarget(uint32_t target) {
  if (!g_running) return;
  std::lock_guard<std::mutex> lock(g_targetLock);
  if (!g_fixed) g_target = target;
}

void StopPing() {
  if (!g_running) return;
  SetEvent(g_stop);
  // The thread ends before what it uses goes.
  if (g_thread) {
    while (WaitForSingleObject(g_thread, 2000) == WAIT_TIMEOUT) WriteLogLine("Ping thread still running");
    CloseHandle(g_thread);
  }
  CloseHandle(g_stop);
  g_thread = g_stop = nullptr;
  FreeLibrary(g_icmp);
  g_icmp = nullptr;
  g_running = false;
}

bool PingRunning() { return g_running; }
uint32_t PingTarget() {
  std::lock_guard<std::mutex> lock(g_targetLock);
  return g_target;
}
uint32_t PingInterval() { return g_interval; }
uint32_t PingCount() { return g_count; }

}  // namespace net

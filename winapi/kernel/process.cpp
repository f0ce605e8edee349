// The current process: exit, debug output, the debugger, message boxes and the cursor count.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <string>
#include <unistd.h>

#include "winapi/kernel/hooks.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"

namespace {

// Process pseudo handle, as the platform's GetCurrentProcess returns.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

std::atomic<int> g_cursorCount{0};

void ResetProcessState() { g_cursorCount.store(0); }
void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetProcessState), true);
  (void)registered;
}

bool DebugOutputToStderr() {
  const char* value = std::getenv("WINAPI_DEBUG_OUTPUT");
  return value && std::strcmp(value, "1") == 0;
}

}  // namespace

namespace winapi::internal {
int CursorShowCount() { return g_cursorCount.load(); }
}  // namespace winapi::internal

HANDLE GetCurrentProcess() { return kCurrentProcess; }
DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void ExitProcess(UINT exitCode) { winapi::internal::ExitImmediately(exitCode); }

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  if (process == kCurrentProcess) winapi::internal::ExitImmediately(exitCode);
  // Other processes are not ours to end.
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  winapi::internal::CaptureDebugText(text);
  if (DebugOutputToStderr()) {
    std::fputs(text, stderr);
    std::fflush(stderr);
  }
}

BOOL IsDebuggerPresent() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return FALSE;
  char line[256];
  long tracer = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "TracerPid: %ld", &tracer) == 1) break;
  std::fclose(f);
  return tracer != 0 ? TRUE : FALSE;
}

void DebugBreak() {
  if (IsDebuggerPresent()) std::raise(SIGTRAP);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  RegisterReset();
  std::string body = text ? text : "";
  std::string title = caption ? caption : "Error";
  std::fprintf(stderr, "[%s] %s\n", title.c_str(), body.c_str());
  std::fflush(stderr);
  return winapi::internal::AnswerMessageBox(owner, body, title, type);
}

int ShowCursor(BOOL show) {
  RegisterReset();
  return show ? ++g_cursorCount : --g_cursorCount;
}

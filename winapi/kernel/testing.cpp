// Test hooks of the stand-in: injected failures, exit and message-box hooks, debug capture, Reset.
#include "winapi/testing.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "winapi/kernel/internal.h"
#include "winapi/kernel/hooks.h"

namespace winapi::internal {
namespace {

std::mutex& ResetLock() {
  static std::mutex lock;
  return lock;
}
std::vector<void (*)()>& ResetHandlers() {
  static std::vector<void (*)()> handlers;
  return handlers;
}

struct Failure {
  uint32_t error;
  int remaining;  // < 0: every call
};
std::mutex g_failLock;
std::map<std::string, Failure, std::less<>> g_failures;

std::mutex g_hookLock;
winapi::testing::ExitHook g_exitHook;
winapi::testing::MessageBoxHook g_boxHook;
std::vector<winapi::testing::MessageBoxRecord> g_boxes;
std::atomic<HostMessageBox> g_hostBox{nullptr};

// Long runs must not grow the capture without bound: the oldest text goes first.
constexpr size_t kDebugCaptureLimit = 1 << 20;
std::mutex g_debugLock;
std::string g_debugText;

}  // namespace

void OnReset(void (*handler)()) {
  std::lock_guard guard(ResetLock());
  for (auto* existing : ResetHandlers())
    if (existing == handler) return;
  ResetHandlers().push_back(handler);
}

bool FailNow(const char* function) {
  uint32_t error = 0;
  if (!winapi::testing::ShouldFail(function, &error)) return false;
  SetLastError(error);
  return true;
}

void RunExitHook(unsigned code) {
  winapi::testing::ExitHook hook;
  {
    std::lock_guard guard(g_hookLock);
    hook = g_exitHook;
  }
  if (hook) hook(code);
}

void ExitImmediately(unsigned code) {
  RunExitHook(code);
  std::fflush(nullptr);
  std::_Exit(static_cast<int>(code));
}

void SetHostMessageBox(HostMessageBox dialog) { g_hostBox.store(dialog); }

void CaptureDebugText(const char* text) {
  std::lock_guard guard(g_debugLock);
  g_debugText += text;
  if (g_debugText.size() > kDebugCaptureLimit) g_debugText.erase(0, g_debugText.size() - kDebugCaptureLimit);
}

int AnswerMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  winapi::testing::MessageBoxHook hook;
  {
    std::lock_guard guard(g_hookLock);
    g_boxes.push_back({text, caption, type});
    hook = g_boxHook;
  }
  if (hook) return hook(owner, text, caption, type);
  if (HostMessageBox dialog = g_hostBox.load()) {
    int answer = dialog(owner, text.c_str(), caption.c_str(), type);
    if (answer != 0) return answer;
  }
  return DefaultMessageBoxAnswer(type);
}

int DefaultMessageBoxAnswer(UINT type) {
  switch (type & 0xF) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
  }
}

}  // namespace winapi::internal

namespace winapi::testing {

void SetExitHook(ExitHook hook) {
  std::lock_guard guard(internal::g_hookLock);
  internal::g_exitHook = std::move(hook);
}

void CallExit(unsigned code) {
  internal::RunExitHook(code);
  std::exit(static_cast<int>(code));
}

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard guard(internal::g_hookLock);
  internal::g_boxHook = std::move(hook);
}

std::vector<MessageBoxRecord> TakeMessageBoxes() {
  std::lock_guard guard(internal::g_hookLock);
  return std::exchange(internal::g_boxes, {});
}

std::string TakeDebugOutput() {
  std::lock_guard guard(internal::g_debugLock);
  return std::exchange(internal::g_debugText, {});
}

void FailCall(const std::string& function, uint32_t error, int times) {
  std::lock_guard guard(internal::g_failLock);
  if (times == 0) {
    internal::g_failures.erase(function);
    return;
  }
  internal::g_failures[function] = {error, times};
}

void ClearFailures() {
  std::lock_guard guard(internal::g_failLock);
  internal::g_failures.clear();
}

bool ShouldFail(const char* function, uint32_t* error) {
  std::lock_guard guard(internal::g_failLock);
  if (internal::g_failures.empty()) return false;
  auto it = internal::g_failures.find(std::string_view(function));
  if (it == internal::g_failures.end()) return false;
  if (error) *error = it->second.error;
  if (it->second.remaining > 0 && --it->second.remaining == 0) internal::g_failures.erase(it);
  return true;
}

int PendingFailures(const std::string& function) {
  std::lock_guard guard(internal::g_failLock);
  auto it = internal::g_failures.find(function);
  return it == internal::g_failures.end() ? 0 : it->second.remaining;
}

void Reset() {
  ClearFailures();
  SetExitHook({});
  SetMessageBoxHook({});
  TakeMessageBoxes();
  TakeDebugOutput();
  std::vector<void (*)()> handlers;
  {
    std::lock_guard guard(internal::ResetLock());
    handlers = internal::ResetHandlers();
  }
  for (auto* handler : handlers) handler();
}

}  // namespace winapi::testing

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
  static auto* lock = new std::mutex;
  return *lock;
}
std::vector<void (*)()>& ResetHandlers() {
  static auto* handlers = new std::vector<void (*)()>;
  return *handlers;
}

struct Failure {
  uint32_t error;
  int remaining;  // < 0: every call
};

// Long runs must not grow the records without bound: the oldest go first.
constexpr size_t kDebugCaptureLimit = 1 << 20;
// A few boxes are all a test looks at; more kept records only make fuzz runs, whose inputs show boxes by the
// thousand, look as if each input leaked.
constexpr size_t kBoxRecordLimit = 32;

// Never destroyed: threads of the stand-in may still call in while the process exits.
struct Hooks {
  std::mutex failLock;
  std::map<std::string, Failure, std::less<>> failures;
  std::mutex hookLock;
  winapi::testing::ExitHook exitHook;
  winapi::testing::MessageBoxHook boxHook;
  std::vector<winapi::testing::MessageBoxRecord> boxes;
  std::atomic<HostMessageBox> hostBox{nullptr};
  std::mutex debugLock;
  std::string debugText;
};

Hooks& H() {
  static Hooks* hooks = new Hooks;
  return *hooks;
}

// The text past the limit is cut off in one go once it has grown to twice the limit: cutting it at every line would
// move the whole megabyte each time.
void KeepLatestDebugText(size_t allowed) {
  std::string& text = H().debugText;
  if (text.size() > allowed) text.erase(0, text.size() - kDebugCaptureLimit);
}

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
    std::lock_guard guard(H().hookLock);
    hook = H().exitHook;
  }
  if (hook) hook(code);
}

void ExitImmediately(unsigned code) {
  RunExitHook(code);
  std::fflush(nullptr);
  std::_Exit(static_cast<int>(code));
}

void SetHostMessageBox(HostMessageBox dialog) { H().hostBox.store(dialog); }

void CaptureDebugText(const char* text) {
  std::lock_guard guard(H().debugLock);
  H().debugText += text;
  KeepLatestDebugText(2 * kDebugCaptureLimit);
}

int AnswerMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  winapi::testing::MessageBoxHook hook;
  {
    std::lock_guard guard(H().hookLock);
    if (H().boxes.size() >= kBoxRecordLimit) H().boxes.erase(H().boxes.begin());
    H().boxes.push_back({text, caption, type});
    hook = H().boxHook;
  }
  if (hook) return hook(owner, text, caption, type);
  if (HostMessageBox dialog = H().hostBox.load()) {
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

void winapi::ExitOrderly(unsigned code) {
  internal::RunExitHook(code);
  std::exit(static_cast<int>(code));
}

namespace winapi::testing {

void SetExitHook(ExitHook hook) {
  std::lock_guard guard(internal::H().hookLock);
  internal::H().exitHook = std::move(hook);
}

void CallExit(unsigned code) { winapi::ExitOrderly(code); }

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard guard(internal::H().hookLock);
  internal::H().boxHook = std::move(hook);
}

std::vector<MessageBoxRecord> TakeMessageBoxes() {
  std::lock_guard guard(internal::H().hookLock);
  return std::exchange(internal::H().boxes, {});
}

std::string TakeDebugOutput() {
  std::lock_guard guard(internal::H().debugLock);
  internal::KeepLatestDebugText(internal::kDebugCaptureLimit);
  return std::exchange(internal::H().debugText, {});
}

void FailCall(const std::string& function, uint32_t error, int times) {
  std::lock_guard guard(internal::H().failLock);
  if (times == 0) {
    internal::H().failures.erase(function);
    return;
  }
  internal::H().failures[function] = {error, times};
}

void ClearFailures() {
  std::lock_guard guard(internal::H().failLock);
  internal::H().failures.clear();
}

bool ShouldFail(const char* function, uint32_t* error) {
  std::lock_guard guard(internal::H().failLock);
  if (internal::H().failures.empty()) return false;
  auto it = internal::H().failures.find(std::string_view(function));
  if (it == internal::H().failures.end()) return false;
  if (error) *error = it->second.error;
  if (it->second.remaining > 0 && --it->second.remaining == 0) internal::H().failures.erase(it);
  return true;
}

int PendingFailures(const std::string& function) {
  std::lock_guard guard(internal::H().failLock);
  auto it = internal::H().failures.find(function);
  return it == internal::H().failures.end() ? 0 : it->second.remaining;
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

// Per-thread message queues: posted, input and sent messages, WM_QUIT, WM_PAINT and window timers.
#include <algorithm>
#include <chrono>
#include <thread>
#include <unordered_map>

#include "winapi/host/host.h"
#include "winapi/kernel/clock.h"
#include "winapi/kernel/internal.h"
#include "winapi/user/user_internal.h"
#include "windows.h"

namespace host = winapi::host;

namespace winapi::user {

std::recursive_mutex& Lock() {
  static std::recursive_mutex& lock = *new std::recursive_mutex;  // never destroyed, like all of this part's state
  return lock;
}

// Defined in windows.cpp.
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HWND FindPaintWindow(DWORD thread, HWND filter);
void DestroyThreadWindows(DWORD thread);
std::vector<HWND> TopLevelWindows();

namespace {

struct Queue;

struct Sent {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<Queue> sender;  // null for a notification nobody waits for
};

struct Entry {
  MSG msg{};
  uint64_t serial = 0;
  DWORD bits = 0;         // QS_* class of the message
  bool charMade = false;  // a key-down posted with its WM_CHAR already queued behind it
  BYTE modifiers = 0;     // shift state when a key message was made
};

struct Timer {
  HWND window = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  DWORD due = 0;
};

struct Queue {
  DWORD thread = 0;
  std::condition_variable_any wake;
  uint64_t wakeCount = 0;  // bumped on every arrival, so waiters never miss one
  std::deque<Entry> posted;
  std::deque<Entry> input;
  std::deque<std::shared_ptr<Sent>> sent;
  bool quit = false;
  int quitCode = 0;
  uint64_t seen = 0;  // arrival serial when the thread last looked at its queue
  uint64_t drained = 0;  // arrival serial when the thread last found its whole queue empty
  std::vector<Timer> timers;
  bool alive = true;
  // What the thread last took and translated, so that a key message is never turned into two characters.
  bool retrievedValid = false;
  MSG retrieved{};
  bool retrievedCharMade = false;
  BYTE retrievedModifiers = 0;
  bool translatedValid = false;
  MSG translated{};
  DWORD messageTime = 0;
};

uint64_t gSerial = 0;
UINT_PTR gNextThreadTimer = 1;

std::unordered_map<DWORD, std::shared_ptr<Queue>>& Queues() {
  static auto& queues = *new std::unordered_map<DWORD, std::shared_ptr<Queue>>;
  return queues;
}

void ThreadGone(const std::shared_ptr<Queue>& queue);

struct QueueHolder {
  std::shared_ptr<Queue> queue;
  ~QueueHolder() {
    if (queue) ThreadGone(queue);
  }
};
thread_local QueueHolder tQueue;

void Bump(Queue& queue) {
  ++queue.wakeCount;
  queue.wake.notify_all();
}

// Virtual time moved: waiting threads look at their timers again.
void WakeAll() {
  std::lock_guard lock(Lock());
  for (auto& [thread, queue] : Queues()) Bump(*queue);
}

Queue& CurrentQueue() {
  if (!tQueue.queue) {
    static const bool registered =
        (winapi::internal::OnReset(ResetQueues), winapi::clock::AddTimeListener(WakeAll), true);
    (void)registered;
    auto queue = std::make_shared<Queue>();
    queue->thread = GetCurrentThreadId();
    std::lock_guard lock(Lock());
    Queues()[queue->thread] = queue;
    tQueue.queue = queue;
  }
  return *tQueue.queue;
}

std::shared_ptr<Queue> QueueOf(DWORD thread) {
  auto it = Queues().find(thread);
  if (it == Queues().end() || !it->second->alive) return nullptr;
  return it->second;
}

void CompleteSent(const std::shared_ptr<Sent>& sent, LRESULT result) {
  sent->result = result;
  sent->done = true;
  if (sent->sender) Bump(*sent->sender);
}

void ThreadGone(const std::shared_ptr<Queue>& queue) {
  {
    std::lock_guard lock(Lock());
    queue->alive = false;
    auto it = Queues().find(queue->thread);
    if (it != Queues().end() && it->second == queue) Queues().erase(it);
    for (auto& sent : queue->sent) CompleteSent(sent, 0);
    queue->sent.clear();
  }
  DestroyThreadWindows(queue->thread);
}

bool InRange(UINT message, UINT low, UINT high) {
  if (low == 0 && high == 0) return true;
  return message >= low && message <= high;
}

bool Matches(const MSG& msg, HWND filter, UINT low, UINT high) {
  if (filter == reinterpret_cast<HWND>(-1)) {
    if (msg.hwnd != nullptr) return false;
  } else if (filter != nullptr && msg.hwnd != filter) {
    return false;
  }
  return InRange(msg.message, low, high);
}

// Stamping a message is not the program reading its input: it must not move a script's clock, which would run due
// events (they take the message lock held here) from under the lock.
POINT CursorNow() { return CursorScreenPos(); }

MSG MakeMsg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  msg.pt = CursorNow();
  return msg;
}

// Runs every message sent to this thread. Called wherever the thread waits or looks at its queue.
void ServeSent(Queue& queue) {
  for (;;) {
    std::shared_ptr<Sent> sent;
    {
      std::lock_guard lock(Lock());
      if (queue.sent.empty()) return;
      sent = queue.sent.front();
      queue.sent.pop_front();
    }
    LRESULT result = CallWindowProcedure(sent->window, sent->message, sent->wParam, sent->lParam);
    std::lock_guard lock(Lock());
    CompleteSent(sent, result);
  }
}

bool IsKeyMessage(UINT message) {
  return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

void Retrieved(Queue& queue, const MSG& msg, bool charMade, BYTE modifiers = 0) {
  queue.retrievedValid = true;
  queue.retrieved = msg;
  queue.retrievedCharMade = charMade;
  queue.retrievedModifiers = modifiers;
  queue.translatedValid = false;
  queue.messageTime = msg.time;
}

bool PeekInternal(Queue& queue, MSG* out, HWND filter, UINT low, UINT high, UINT flags) {
  ServeSent(queue);
  const bool remove = (flags & PM_REMOVE) != 0;
  std::unique_lock lock(Lock());
  queue.seen = gSerial;

  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!Matches(it->msg, filter, low, high)) continue;
    *out = it->msg;
    if (remove) {
      Retrieved(queue, it->msg, it->charMade, it->modifiers);
      queue.posted.erase(it);
    }
    return true;
  }

  for (bool rescan = true; rescan;) {
    rescan = false;
    for (auto it = queue.input.begin(); it != queue.input.end(); ++it) {
      if (!Matches(it->msg, filter, low, high)) continue;
      Entry entry = *it;
      if (IsKeyMessage(entry.msg.message)) {
        lock.unlock();
        const bool swallowed = RunKeyboardHooks(remove, entry.msg.wParam, entry.msg.lParam);
        lock.lock();
        auto found = std::find_if(queue.input.begin(), queue.input.end(),
                                  [&](const Entry& e) { return e.serial == entry.serial; });
        if (swallowed) {
          if (found != queue.input.end()) queue.input.erase(found);
          rescan = true;
          break;
        }
        if (found == queue.input.end()) {
          rescan = true;  // taken by someone else meanwhile
          break;
        }
        it = found;
      }
      *out = it->msg;
      if (remove) {
        Retrieved(queue, it->msg, false, it->modifiers);
        queue.input.erase(it);
      }
      return true;
    }
  }

  if (queue.quit && (filter == nullptr || filter == reinterpret_cast<HWND>(-1)) && InRange(WM_QUIT, low, high)) {
    *out = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
    if (remove) {
      queue.quit = false;
      Retrieved(queue, *out, false);
    }
    return true;
  }

  if (InRange(WM_PAINT, low, high) && filter != reinterpret_cast<HWND>(-1)) {
    if (HWND window = FindPaintWindow(queue.thread, filter)) {
      *out = MakeMsg(window, WM_PAINT, 0, 0);
      if (remove) Retrieved(queue, *out, false);
      return true;
    }
  }

  // Everything that came before has been taken and handled: the thread is back for more and found nothing.
  if (filter == nullptr && low == 0 && high == 0) queue.drained = gSerial;

  if (InRange(WM_TIMER, low, high)) {
    const DWORD now = GetTickCount();
    Timer* best = nullptr;
    for (auto& timer : queue.timers) {
      if (static_cast<int32_t>(now - timer.due) < 0) continue;
      if (filter == reinterpret_cast<HWND>(-1) ? timer.window != nullptr
                                                : (filter != nullptr && timer.window != filter))
        continue;
      if (!best || static_cast<int32_t>(timer.due - best->due) < 0) best = &timer;
    }
    if (best) {
      *out = MakeMsg(best->window, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc));
      if (remove) {
        best->due = now + best->elapse;
        Retrieved(queue, *out, false);
      }
      return true;
    }
  }
  return false;
}

bool TimerDue(const Queue& queue) {
  const DWORD now = GetTickCount();
  for (const auto& timer : queue.timers)
    if (static_cast<int32_t>(now - timer.due) >= 0) return true;
  return false;
}

// Whether something the thread has not looked at yet arrived, of the kinds in `mask`.
bool HasNew(Queue& queue, DWORD mask) {
  if ((mask & QS_SENDMESSAGE) && !queue.sent.empty()) return true;
  if (mask & QS_POSTMESSAGE) {
    if (queue.quit) return true;
    for (const auto& entry : queue.posted)
      if (entry.serial > queue.seen) return true;
  }
  for (const auto& entry : queue.input)
    if (entry.serial > queue.seen && (entry.bits & mask)) return true;
  if ((mask & QS_PAINT) && FindPaintWindow(queue.thread, nullptr)) return true;
  if ((mask & QS_TIMER) && TimerDue(queue)) return true;
  return false;
}

// Waits for the next arrival, a slice at most: short on the host's thread (it pumps window-system events)
// and while timers run (their due times are read from a clock that may be virtual).
void WaitSlice(Queue& queue, std::unique_lock<std::recursive_mutex>& lock, uint64_t mark, DWORD limitMs) {
  DWORD slice = host::IsHostThread() ? 4 : (queue.timers.empty() ? 50 : 5);
  slice = std::min(slice, limitMs);
  queue.wake.wait_for(lock, std::chrono::milliseconds(slice), [&] { return queue.wakeCount != mark; });
}

// Under the virtual clock a thread that waits for its own timer (or a time-out) makes the time pass itself once
// nobody else has acted for the clock's grace period, as the platform's timed waits do. `untilMs` is the wait's
// own deadline on the clock, or 0 for none. Returns true when it moved the clock.
class VirtualPatience {
 public:
  VirtualPatience() : start_(std::chrono::steady_clock::now()) {}
  bool Pass(Queue& queue, uint64_t untilMs, bool withTimers = true) {
    if (!winapi::clock::IsVirtual()) return false;
    if (std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(winapi::clock::VirtualWaitGraceMs()))
      return false;
    uint64_t target = untilMs;
    {
      std::lock_guard lock(Lock());
      const uint64_t now = winapi::clock::Now();
      for (const Timer& timer : queue.timers) {
        if (!withTimers) break;
        const int32_t left = static_cast<int32_t>(timer.due - static_cast<DWORD>(now));
        const uint64_t due = now + static_cast<uint64_t>(std::max(left, 0));
        if (!target || due < target) target = due;
      }
    }
    const uint64_t now = winapi::clock::Now();
    if (!target) return false;
    if (target > now) {
      if (winapi::clock::OnDispatchThread())
        winapi::clock::MoveTo(target);
      else
        winapi::clock::Advance(target - now);
    }
    start_ = std::chrono::steady_clock::now();
    return true;
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

bool ValidFilter(HWND filter) {
  if (filter == nullptr || filter == reinterpret_cast<HWND>(-1)) return true;
  std::lock_guard lock(Lock());
  return FindWindowRecord(filter) != nullptr;
}

void Append(Queue& queue, std::deque<Entry>& list, const MSG& msg, DWORD bits, bool charMade = false,
            BYTE modifiers = 0) {
  Entry entry;
  entry.modifiers = modifiers;
  entry.msg = msg;
  entry.serial = ++gSerial;
  entry.bits = bits;
  entry.charMade = charMade;
  list.push_back(entry);
  Bump(queue);
}

bool IsPrintableChar(WORD ch) { return ch == 0x1B || ch == 0x0D || (ch >= 0x20 && ch < 0x7F); }

bool PostTo(const std::shared_ptr<Queue>& queue, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Queue& self = CurrentQueue();
  std::lock_guard lock(Lock());
  MSG msg = MakeMsg(window, message, wParam, lParam);
  // A key-down handed on by PostMessageA carries its character with it, unless the key was translated
  // where it came from (that character follows on its own): loops that dispatch without translating still
  // see Escape, Enter and printable keys.
  if (message == WM_KEYDOWN) {
    const bool translatedHere = self.translatedValid && self.translated.message == WM_KEYDOWN &&
                                self.translated.wParam == wParam && self.translated.lParam == lParam;
    const BYTE modifiers = CurrentModifiers();
    const WORD ch = translatedHere ? 0 : CharacterForKey(static_cast<UINT>(wParam), modifiers);
    if (IsPrintableChar(ch) && !(modifiers & kModControl)) {
      Append(*queue, queue->posted, msg, QS_POSTMESSAGE, true, modifiers);
      Append(*queue, queue->posted, MakeMsg(window, WM_CHAR, ch, lParam), QS_POSTMESSAGE);
      return true;
    }
  }
  Append(*queue, queue->posted, msg, QS_POSTMESSAGE, false, CurrentModifiers());
  return true;
}

BOOL PostOrFail(const std::shared_ptr<Queue>& queue, DWORD error, HWND window, UINT message, WPARAM wParam,
                LPARAM lParam) {
  if (!queue) {
    SetLastError(error);
    return FALSE;
  }
  return PostTo(queue, window, message, wParam, lParam);
}

// Queues a message sent to another thread's window; `sender` waits for it unless null. Call with the lock.
std::shared_ptr<Sent> QueueSent(Queue& target, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                std::shared_ptr<Queue> sender) {
  auto sent = std::make_shared<Sent>();
  sent->window = window;
  sent->message = message;
  sent->wParam = wParam;
  sent->lParam = lParam;
  sent->sender = std::move(sender);
  target.sent.push_back(sent);
  Bump(target);
  return sent;
}

std::shared_ptr<Queue> WindowQueue(HWND window) {
  Window* record = FindWindowRecord(window);
  if (!record) return nullptr;
  return QueueOf(record->thread);
}

}  // namespace

void WakeThread(DWORD thread) {
  std::lock_guard lock(Lock());
  if (auto queue = QueueOf(thread)) Bump(*queue);
}

QueuedInput QueueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD wakeBits) {
  std::lock_guard lock(Lock());
  auto queue = WindowQueue(window);
  if (!queue) return {};
  if (message == WM_MOUSEMOVE && !queue->input.empty()) {
    Entry& last = queue->input.back();
    if (last.msg.message == WM_MOUSEMOVE && last.msg.hwnd == window) {
      last.msg = MakeMsg(window, message, wParam, lParam);
      last.serial = ++gSerial;
      Bump(*queue);
      return {queue->thread, last.serial};
    }
  }
  Append(*queue, queue->input, MakeMsg(window, message, wParam, lParam), wakeBits, false, CurrentModifiers());
  return {queue->thread, gSerial};
}

bool AwaitInputTaken(const QueuedInput& input, DWORD limitMs) {
  if (!input.serial || input.thread == GetCurrentThreadId()) return true;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    {
      std::lock_guard lock(Lock());
      auto queue = QueueOf(input.thread);
      if (!queue || queue->drained >= input.serial) return true;
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

void Notify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) { SendNotifyMessageA(window, message, wParam, lParam); }

// Drops what is queued for a window that goes away.
void PurgeWindow(HWND window, DWORD thread) {
  std::lock_guard lock(Lock());
  auto queue = QueueOf(thread);
  if (!queue) return;
  auto forWindow = [window](const Entry& e) { return e.msg.hwnd == window; };
  queue->posted.erase(std::remove_if(queue->posted.begin(), queue->posted.end(), forWindow), queue->posted.end());
  queue->input.erase(std::remove_if(queue->input.begin(), queue->input.end(), forWindow), queue->input.end());
  queue->timers.erase(std::remove_if(queue->timers.begin(), queue->timers.end(),
                                     [window](const Timer& t) { return t.window == window; }),
                      queue->timers.end());
}

void EnsureQueue() { CurrentQueue(); }

void ResetQueues() {
  std::lock_guard lock(Lock());
  for (auto& [thread, queue] : Queues()) {
    queue->posted.clear();
    queue->input.clear();
    for (auto& sent : queue->sent) CompleteSent(sent, 0);
    queue->sent.clear();
    queue->quit = false;
    queue->timers.clear();
    queue->retrievedValid = false;
    queue->translatedValid = false;
    Bump(*queue);
  }
}

}  // namespace winapi::user

using namespace winapi::user;

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    for (HWND top : TopLevelWindows()) PostMessageA(top, message, wParam, lParam);
    return TRUE;
  }
  if (window == nullptr) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
  std::shared_ptr<Queue> queue;
  {
    std::lock_guard lock(Lock());
    queue = WindowQueue(window);
  }
  return PostOrFail(queue, ERROR_INVALID_WINDOW_HANDLE, window, message, wParam, lParam);
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (threadId == GetCurrentThreadId()) CurrentQueue();
  std::shared_ptr<Queue> queue;
  {
    std::lock_guard lock(Lock());
    queue = QueueOf(threadId);
  }
  return PostOrFail(queue, ERROR_INVALID_THREAD_ID, nullptr, message, wParam, lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    for (HWND top : TopLevelWindows()) SendMessageA(top, message, wParam, lParam);
    return 0;
  }
  Queue& self = CurrentQueue();
  std::shared_ptr<Sent> sent;
  {
    std::lock_guard lock(Lock());
    Window* record = FindWindowRecord(window);
    if (!record) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (record->thread != self.thread) {
      auto target = QueueOf(record->thread);
      if (!target) return 0;
      sent = QueueSent(*target, window, message, wParam, lParam, tQueue.queue);
    }
  }
  if (!sent) return CallWindowProcedure(window, message, wParam, lParam);
  // While waiting, serve what other threads send to this one, so that two threads sending to each other
  // do not lock up.
  for (;;) {
    ServeSent(self);
    std::unique_lock lock(Lock());
    if (sent->done) return sent->result;
    const uint64_t mark = self.wakeCount;
    self.wake.wait_for(lock, std::chrono::milliseconds(50),
                       [&] { return sent->done || !self.sent.empty() || self.wakeCount != mark; });
    if (sent->done) return sent->result;
  }
}

BOOL SendNotifyMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    for (HWND top : TopLevelWindows()) SendNotifyMessageA(top, message, wParam, lParam);
    return TRUE;
  }
  Queue& self = CurrentQueue();
  {
    std::lock_guard lock(Lock());
    Window* record = FindWindowRecord(window);
    if (!record) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (record->thread != self.thread) {
      auto target = QueueOf(record->thread);
      if (!target) return FALSE;
      QueueSent(*target, window, message, wParam, lParam, nullptr);
      return TRUE;
    }
  }
  CallWindowProcedure(window, message, wParam, lParam);
  return TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  Queue& queue = CurrentQueue();
  if (host::IsHostThread()) host::Pump();
  return PeekInternal(queue, msg, window, filterMin, filterMax, removeFlags) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg || !ValidFilter(window)) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  Queue& queue = CurrentQueue();
  VirtualPatience patience;
  for (;;) {
    if (host::IsHostThread()) host::Pump();
    uint64_t mark;
    {
      std::lock_guard lock(Lock());
      mark = queue.wakeCount;
    }
    if (PeekInternal(queue, msg, window, filterMin, filterMax, PM_REMOVE)) return msg->message != WM_QUIT;
    if (patience.Pass(queue, 0)) continue;
    std::unique_lock lock(Lock());
    WaitSlice(queue, lock, mark, INFINITE);
  }
}

BOOL WaitMessage() {
  Queue& queue = CurrentQueue();
  VirtualPatience patience;
  for (;;) {
    if (host::IsHostThread()) host::Pump();
    ServeSent(queue);
    {
      std::unique_lock lock(Lock());
      if (HasNew(queue, QS_ALLINPUT & ~QS_SENDMESSAGE)) return TRUE;
    }
    if (patience.Pass(queue, 0)) continue;
    std::unique_lock lock(Lock());
    WaitSlice(queue, lock, queue.wakeCount, INFINITE);
  }
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask) {
  if (count > MAXIMUM_WAIT_OBJECTS - 1 || (count && !handles)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  Queue& queue = CurrentQueue();
  const DWORD start = GetTickCount();
  const uint64_t deadline = milliseconds == INFINITE ? 0 : winapi::clock::Now() + milliseconds;
  VirtualPatience patience;
  for (;;) {
    if (host::IsHostThread()) host::Pump();
    if (count) {
      const DWORD result = WaitForMultipleObjects(count, handles, waitAll, 0);
      if (result != WAIT_TIMEOUT) return result;
    }
    {
      std::unique_lock lock(Lock());
      if (HasNew(queue, wakeMask)) return WAIT_OBJECT_0 + count;
      if (milliseconds != INFINITE && GetTickCount() - start >= milliseconds) return WAIT_TIMEOUT;
    }
    if (patience.Pass(queue, deadline, (wakeMask & QS_TIMER) != 0)) continue;
    std::unique_lock lock(Lock());
    const DWORD elapsed = GetTickCount() - start;
    if (milliseconds != INFINITE && elapsed >= milliseconds) return WAIT_TIMEOUT;
    // Objects are polled, so the slice is short while any are watched.
    DWORD limit = count ? 1 : INFINITE;
    if (milliseconds != INFINITE) limit = std::min<DWORD>(limit, std::max<DWORD>(1, milliseconds - elapsed));
    WaitSlice(queue, lock, queue.wakeCount, limit);
  }
}

DWORD GetQueueStatus(UINT flags) {
  Queue& queue = CurrentQueue();
  std::lock_guard lock(Lock());
  DWORD current = 0;
  DWORD fresh = 0;
  auto note = [&](DWORD bits, bool isNew) {
    current |= bits;
    if (isNew) fresh |= bits;
  };
  for (const auto& e : queue.posted) note(QS_POSTMESSAGE, e.serial > queue.seen);
  for (const auto& e : queue.input) note(e.bits, e.serial > queue.seen);
  if (!queue.sent.empty()) note(QS_SENDMESSAGE, true);
  if (queue.quit) note(QS_POSTMESSAGE, true);
  if (FindPaintWindow(queue.thread, nullptr)) note(QS_PAINT, true);
  if (TimerDue(queue)) note(QS_TIMER, true);
  return ((fresh & flags) << 16) | (current & flags);
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  Queue& queue = CurrentQueue();
  std::shared_ptr<Queue> target;
  BYTE modifiers;
  {
    std::lock_guard lock(Lock());
    const bool retrieved = queue.retrievedValid && queue.retrieved.hwnd == msg->hwnd &&
                           queue.retrieved.message == msg->message && queue.retrieved.wParam == msg->wParam &&
                           queue.retrieved.lParam == msg->lParam;
    if (retrieved && queue.retrievedCharMade) return TRUE;  // its character is already queued
    // The shift state the key saw when it was pressed, as the thread's own key state would give it.
    modifiers = retrieved ? queue.retrievedModifiers : CurrentModifiers();
    target = msg->hwnd ? WindowQueue(msg->hwnd) : tQueue.queue;
    if (!target) return FALSE;
  }
  const WORD ch = CharacterForKey(static_cast<UINT>(msg->wParam), modifiers);
  if (!ch) return FALSE;
  std::lock_guard lock(Lock());
  const UINT charMessage = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  Append(*target, target->posted, MakeMsg(msg->hwnd, charMessage, ch, msg->lParam), QS_POSTMESSAGE);
  queue.translatedValid = true;
  queue.translated = *msg;
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Queue& queue = CurrentQueue();
  std::lock_guard lock(Lock());
  queue.quit = true;
  queue.quitCode = exitCode;
  ++gSerial;
  Bump(queue);
}

LONG GetMessageTime() {
  Queue& queue = CurrentQueue();
  std::lock_guard lock(Lock());
  return static_cast<LONG>(queue.messageTime);
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
  Queue& self = CurrentQueue();
  std::lock_guard lock(Lock());
  std::shared_ptr<Queue> queue = tQueue.queue;
  if (window) {
    Window* record = FindWindowRecord(window);
    if (!record) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (record->thread != self.thread) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);  // the platform's minimum and maximum
  for (auto& timer : queue->timers) {
    if (timer.window == window && timer.id == id && (window || id)) {
      timer.elapse = elapse;
      timer.proc = timerProc;
      timer.due = GetTickCount() + elapse;
      Bump(*queue);
      return window ? (id ? id : 1) : id;
    }
  }
  Timer timer;
  timer.window = window;
  timer.id = window ? id : gNextThreadTimer++;
  timer.elapse = elapse;
  timer.proc = timerProc;
  timer.due = GetTickCount() + elapse;
  queue->timers.push_back(timer);
  Bump(*queue);
  return window ? (id ? id : 1) : timer.id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  Queue& self = CurrentQueue();
  std::lock_guard lock(Lock());
  auto& timers = self.timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}

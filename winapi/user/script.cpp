// Scripted input: key and pointer events due at set times on the stand-in's clock, and the step of virtual
// time that each poll of the input state makes while a script is on.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "winapi/host/host.h"
#include "winapi/kernel/clock.h"
#include "winapi/kernel/internal.h"
#include "winapi/testing.h"
#include "winapi/user/user_internal.h"

namespace winapi::user {
namespace {

struct ScriptState {
  std::mutex m;
  std::vector<clock::TaskId> pending;
  std::atomic<bool> on{false};
  std::atomic<uint32_t> step{0};
  std::atomic<uint64_t> polls{0};
  std::atomic<std::thread::id> owner{};  // the thread that started the script: only its polls move time
  uint64_t generation = 0;  // events of a stopped script that are already running do nothing
};

ScriptState& St() {
  static auto* state = new ScriptState;  // never destroyed: the clock's thread may still run an event
  return *state;
}

// A window of another thread (the display window hands its input on to the program's queue window) takes the
// event before the clock moves on, so that what it hands on arrives at the same point of every run.
constexpr DWORD kHandOverLimitMs = 2000;

void Deliver(const winapi::testing::ScriptedEvent& event) {
  if (event.kind == winapi::testing::ScriptedEvent::kKey) {
    AwaitInputTaken(InputKey(static_cast<BYTE>(event.key), 0, false, !event.down, false), kHandOverLimitMs);
    return;
  }
  if (HWND window = host::BoundWindow()) {
    AwaitInputTaken(InputMouse(window, event.x, event.y, event.button, event.down), kHandOverLimitMs);
  } else {
    InputPointerWithoutWindow(event.x, event.y, event.button, event.down);
  }
}

void ResetScript() { winapi::testing::StopInputScript(); }

}  // namespace

void PollInputScript() {
  ScriptState& s = St();
  // Scheduled tasks (the events themselves among them) read the state without making time pass.
  if (!s.on.load() || clock::OnDispatchThread()) return;
  // Other threads (the display window's thread reads the pointer for every message it translates) neither move
  // the clock nor make the run depend on when they happen to poll.
  if (s.owner.load() != std::this_thread::get_id()) return;
  s.polls.fetch_add(1);
  const uint32_t step = s.step.load();
  if (step && clock::IsVirtual()) clock::Advance(step);
}

}  // namespace winapi::user

namespace winapi::testing {

ScriptedEvent ScriptKey(uint32_t atMs, int key, bool down) {
  ScriptedEvent event;
  event.atMs = atMs;
  event.kind = ScriptedEvent::kKey;
  event.key = key;
  event.down = down;
  return event;
}

ScriptedEvent ScriptPointer(uint32_t atMs, int x, int y, int button, bool down) {
  ScriptedEvent event;
  event.atMs = atMs;
  event.kind = ScriptedEvent::kPointer;
  event.x = x;
  event.y = y;
  event.button = button;
  event.down = down;
  return event;
}

std::vector<ScriptedEvent> ScriptPress(uint32_t atMs, int key, uint32_t holdMs) {
  return {ScriptKey(atMs, key, true), ScriptKey(atMs + holdMs, key, false)};
}

void StartInputScript(const std::vector<ScriptedEvent>& events, uint32_t pollStepMs) {
  static const bool registered = (winapi::internal::OnReset(winapi::user::ResetScript), true);
  (void)registered;
  StopInputScript();
  auto& s = winapi::user::St();
  std::vector<ScriptedEvent> ordered(events);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const ScriptedEvent& a, const ScriptedEvent& b) { return a.atMs < b.atMs; });
  std::lock_guard guard(s.m);
  const uint64_t generation = ++s.generation;
  const uint64_t start = clock::Now();
  s.polls = 0;
  s.owner = std::this_thread::get_id();
  s.step = pollStepMs;
  s.on = true;
  for (const ScriptedEvent& event : ordered) {
    // The id is known only once scheduled, so the task finds itself through a shared slot.
    auto self = std::make_shared<clock::TaskId>(0);
    const clock::TaskId id = clock::Schedule(start + event.atMs, [event, generation, self] {
      auto& st = winapi::user::St();
      {
        std::lock_guard inner(st.m);
        if (st.generation != generation) return;
        std::erase(st.pending, *self);
      }
      winapi::user::Deliver(event);
    });
    *self = id;
    s.pending.push_back(id);
  }
}

void StopInputScript() {
  auto& s = winapi::user::St();
  std::vector<clock::TaskId> pending;
  {
    std::lock_guard guard(s.m);
    ++s.generation;
    pending.swap(s.pending);
    s.on = false;
    s.step = 0;
  }
  for (clock::TaskId id : pending) clock::Cancel(id, !clock::OnDispatchThread());
}

bool InputScriptOn() { return winapi::user::St().on.load(); }

size_t PendingScriptedEvents() {
  auto& s = winapi::user::St();
  std::lock_guard guard(s.m);
  return s.pending.size();
}

uint64_t ScriptedInputPolls() { return winapi::user::St().polls.load(); }

}  // namespace winapi::testing

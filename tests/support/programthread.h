// Running code on the main thread of a program started in the test's process (ProgramMain on a thread of its
// own): the routine is posted as the callback of a timer message to the queue window, which the program's loop
// dispatches between two messages like any other.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "app/gameapp.h"
#include "windows.h"

namespace programthread {
// A task owns its routine, so one the program runs only after the caller stopped waiting (a modal page that takes
// no timers was up) still runs safely.
struct Task {
  std::function<void()> routine;
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
};
inline void CALLBACK RunTask(HWND, UINT, UINT_PTR id, DWORD) {
  auto* holder = reinterpret_cast<std::shared_ptr<Task>*>(id);
  std::shared_ptr<Task> task = *holder;
  delete holder;
  task->routine();
  std::lock_guard<std::mutex> lock(task->m);
  task->done = true;
  task->cv.notify_all();
}
}  // namespace programthread

// False when the program did not run it within `limitMs` of real time.
inline bool OnProgramThread(std::function<void()> routine, int limitMs = 20000) {
  using namespace programthread;
  auto task = std::make_shared<Task>();
  task->routine = std::move(routine);
  auto* holder = new std::shared_ptr<Task>(task);
  if (!PostMessageA(Loop().queueWindow, WM_TIMER, reinterpret_cast<WPARAM>(holder), reinterpret_cast<LPARAM>(RunTask))) {
    delete holder;
    return false;
  }
  std::unique_lock<std::mutex> lock(task->m);
  return task->cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return task->done; });
}

// Polls until the condition holds; false after about `limitMs` of real time (nothing is timed by it: the limit only
// keeps a broken program from hanging the test).
inline bool WaitUntil(const std::function<bool()>& condition, int limitMs = 30000) {
  for (int waited = 0; waited < limitMs; waited += 10) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

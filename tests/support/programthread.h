// Running code on the main thread of a program started in the test's process (ProgramMain on a thread of its
// own): the routine is posted as the callback of a timer message to the queue window, which the program's loop
// dispatches between two messages like any other.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "app/gameapp.h"
#include "windows.h"

namespace programthread {
inline std::function<void()>* gTask = nullptr;
inline HANDLE gTaskDone = nullptr;
inline void CALLBACK RunTask(HWND, UINT, UINT_PTR, DWORD) {
  (*gTask)();
  SetEvent(gTaskDone);
}
}  // namespace programthread

// False when the program did not run it within 20 s.
inline bool OnProgramThread(std::function<void()> task) {
  using namespace programthread;
  if (!gTaskDone) gTaskDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  gTask = &task;
  if (!PostMessageA(Loop().queueWindow, WM_TIMER, 0x7E57, reinterpret_cast<LPARAM>(RunTask))) return false;
  const bool done = WaitForSingleObject(gTaskDone, 20000) == WAIT_OBJECT_0;
  gTask = nullptr;
  return done;
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

// A window class that records what its windows receive, and a fixture that resets the platform.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "winapi/testing.h"
#include "windows.h"

struct Received {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD thread;
};

class Recorder {
 public:
  static Recorder& Get() {
    static Recorder recorder;
    return recorder;
  }
  void Add(const Received& r) {
    std::lock_guard lock(mutex_);
    list_.push_back(r);
  }
  std::vector<Received> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(list_, {});
  }
  // Only the messages of one kind.
  std::vector<Received> Take(UINT message) {
    std::vector<Received> all = Take();
    std::vector<Received> some;
    for (const auto& r : all)
      if (r.message == message) some.push_back(r);
    return some;
  }
  // What the procedure answers for a message (default: DefWindowProcA).
  LRESULT answer = 0;
  UINT answered = 0xFFFFFFFF;

 private:
  std::mutex mutex_;
  std::vector<Received> list_;
};

inline LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Recorder::Get().Add({window, message, wParam, lParam, GetCurrentThreadId()});
  if (message == Recorder::Get().answered) return Recorder::Get().answer;
  return DefWindowProcA(window, message, wParam, lParam);
}

class UserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    Recorder::Get().Take();
    Recorder::Get().answered = 0xFFFFFFFF;
    WNDCLASSA cls{};
    cls.style = CS_DBLCLKS;
    cls.lpfnWndProc = RecordingProc;
    cls.lpszClassName = "RecordingClass";
    RegisterClassA(&cls);  // stays registered across tests
  }
  void TearDown() override {
    for (HWND window : made_)
      if (IsWindow(window)) DestroyWindow(window);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    winapi::testing::Reset();
  }
  HWND Make(const char* title = "win", DWORD style = WS_OVERLAPPEDWINDOW, int x = 100, int y = 50, int w = 320,
            int h = 240) {
    HWND window = CreateWindowExA(0, "RecordingClass", title, style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
    made_.push_back(window);
    return window;
  }
  // Takes every queued message of this thread without dispatching.
  static std::vector<MSG> Drain(HWND filter = nullptr) {
    std::vector<MSG> list;
    MSG msg;
    while (PeekMessageA(&msg, filter, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);  // a paint stays until validated
      list.push_back(msg);
    }
    return list;
  }
  std::vector<HWND> made_;
};

// A shown window that lives on a thread of its own (as the game's does), and a DirectDraw picture drawn into it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "ddraw.h"
#include "winapi/testing.h"
#include "windows.h"

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      setenv(name_, old_->c_str(), 1);
    else
      unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

template <typename Predicate>
bool WaitFor(Predicate predicate) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    if (predicate()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// Makes a visible pop-up window of `width` x `height` on a new thread that serves its messages until destroyed.
class WindowThread {
 public:
  WindowThread(const char* className, WNDPROC procedure, int width, int height) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = procedure;
    cls.lpszClassName = className;
    RegisterClassA(&cls);
    thread_ = std::thread([this, className, width, height] {
      HWND window = CreateWindowExA(0, className, "host test", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                    nullptr, nullptr, nullptr);
      threadId_ = GetCurrentThreadId();
      window_ = window;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      DestroyWindow(window);
    });
    WaitFor([this] { return window_.load() != nullptr; });
  }
  ~WindowThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  HWND window() const { return window_; }

 private:
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
};

// Fills the client area of `window` with blue through a windowed DirectDraw primary, drawn on this thread, and
// waits until the host holds that picture.
inline ::testing::AssertionResult BlueFrameReachesTheHost(HWND window, int width, int height) {
  IDirectDraw* dd = nullptr;
  if (DirectDrawCreate(nullptr, &dd, nullptr) != DD_OK) return ::testing::AssertionFailure() << "DirectDrawCreate";
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* primary = nullptr;
  DDBLTFX fx{};
  fx.dwSize = sizeof fx;
  fx.dwFillColor = 0x001F;
  RECT client{0, 0, width, height};
  winapi::testing::HostFrameData frame;
  ::testing::AssertionResult result = ::testing::AssertionSuccess();
  if (dd->SetCooperativeLevel(window, DDSCL_NORMAL) != DD_OK || dd->CreateSurface(&desc, &primary, nullptr) != DD_OK ||
      primary->Blt(&client, nullptr, nullptr, DDBLT_COLORFILL, &fx) != DD_OK) {
    result = ::testing::AssertionFailure() << "drawing failed";
  } else if (!WaitFor([&] {
               return winapi::testing::HostFrame(&frame) && !frame.pixels.empty() && frame.pixels[0] == 0xFF;
             })) {
    result = ::testing::AssertionFailure() << "no blue frame reached the host";
  } else if (frame.width != width) {
    result = ::testing::AssertionFailure() << "frame width " << frame.width << ", not " << width;
  }
  if (primary) primary->Release();
  dd->Release();
  return result;
}

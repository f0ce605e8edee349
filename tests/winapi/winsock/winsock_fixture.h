// A window that collects socket notifications, and bounded waits for them.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "windows.h"
#include "winsock.h"

namespace wstest {

constexpr UINT kSocketMessage = WM_USER + 1;

struct Note {
  winsock::SOCKET socket;
  long event;
  int error;
};

inline HWND MakeWindow() {
  static bool registered = [] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.lpszClassName = "WinsockTestClass";
    return RegisterClassA(&cls) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "WinsockTestClass", "sockets", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// Takes notifications until `until` says stop or about five seconds of real time passed.
template <class F>
std::vector<Note> Collect(HWND window, F until, int rounds = 5000) {
  std::vector<Note> notes;
  for (int i = 0; i < rounds; ++i) {
    MSG msg;
    while (PeekMessageA(&msg, window, kSocketMessage, kSocketMessage, PM_REMOVE))
      notes.push_back({static_cast<winsock::SOCKET>(msg.wParam), static_cast<long>(WSAGETSELECTEVENT(msg.lParam)),
                       WSAGETSELECTERROR(msg.lParam)});
    if (until(notes)) break;
    Sleep(1);
  }
  return notes;
}

inline int Count(const std::vector<Note>& notes, winsock::SOCKET s, long event) {
  int n = 0;
  for (const Note& note : notes) n += note.socket == s && note.event == event;
  return n;
}

inline winsock::sockaddr_in Loopback(uint16_t port, uint32_t host = 0x7f000001u) {
  winsock::sockaddr_in a{};
  a.sin_family = winsock::AF_INET;
  a.sin_port = winsock::htons(port);
  a.sin_addr.s_addr = winsock::htonl(host);
  return a;
}

inline winsock::sockaddr* Sa(void* p) { return static_cast<winsock::sockaddr*>(p); }

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winsock::WSADATA data;
    ASSERT_EQ(winsock::WSAStartup(0x0101, &data), 0);
    window_ = MakeWindow();
    ASSERT_NE(window_, nullptr);
    baseline_ = winapi::winsock::OpenSocketCount();
  }
  void TearDown() override {
    for (winsock::SOCKET s : open_) winsock::closesocket(s);
    EXPECT_EQ(winapi::winsock::OpenSocketCount(), baseline_);
    DestroyWindow(window_);
    winsock::WSACleanup();
  }
  winsock::SOCKET Keep(winsock::SOCKET s) {
    EXPECT_NE(s, winsock::INVALID_SOCKET);
    open_.push_back(s);
    return s;
  }
  void Forget(winsock::SOCKET s) { std::erase(open_, s); }

  HWND window_ = nullptr;
  int baseline_ = 0;
  std::vector<winsock::SOCKET> open_;
};

}  // namespace wstest

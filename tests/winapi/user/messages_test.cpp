// Message queues: order, filters, WM_QUIT, sending across threads, waits and timers.
#include <atomic>
#include <thread>

#include "user_fixture.h"

namespace {

using Messages = std::vector<MSG>;

std::vector<UINT> Kinds(const Messages& list) {
  std::vector<UINT> kinds;
  for (const MSG& m : list) kinds.push_back(m.message);
  return kinds;
}

// A thread that owns one window and pumps its messages until WM_QUIT.
class WindowThread {
 public:
  WindowThread() {
    thread_ = std::thread([this] {
      HWND window = CreateWindowExA(0, "RecordingClass", "other", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                    nullptr, nullptr);
      threadId_ = GetCurrentThreadId();
      window_ = window;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      DestroyWindow(window);
    });
    while (!window_) std::this_thread::yield();
  }
  ~WindowThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }
  DWORD id() const { return threadId_; }

 private:
  std::thread thread_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<DWORD> threadId_{0};
};

class MessagesTest : public UserTest {};

TEST_F(MessagesTest, PostedMessagesComeOutInOrder) {
  HWND window = Make();
  Drain();
  for (UINT i = 1; i <= 3; ++i) ASSERT_TRUE(PostMessageA(window, WM_USER + i, i, 10 * i));
  Messages got = Drain();
  ASSERT_EQ(got.size(), 3u);
  for (UINT i = 0; i < 3; ++i) {
    EXPECT_EQ(got[i].message, WM_USER + i + 1);
    EXPECT_EQ(got[i].wParam, i + 1);
    EXPECT_EQ(got[i].lParam, static_cast<LPARAM>(10 * (i + 1)));
    EXPECT_EQ(got[i].hwnd, window);
  }
}

TEST_F(MessagesTest, RangesWindowsAndThreadMessagesFilter) {
  HWND a = Make("a");
  HWND b = Make("b");
  Drain();
  PostMessageA(a, WM_USER + 1, 0, 0);
  PostMessageA(b, WM_USER + 5, 0, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_APP + 1, 0, 0);
  PostMessageA(a, WM_APP + 2, 0, 0);
  MSG msg;
  // A range takes the first message inside it and leaves those before it.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 2, WM_USER + 10, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5u);
  // (HWND)-1 means thread messages only.
  ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_APP + 1u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));
  // A window filter skips the other window's messages.
  PostMessageA(b, WM_USER + 6, 0, 0);
  ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER + 6u);
  EXPECT_FALSE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
  // PM_NOREMOVE leaves the message where it was.
  ASSERT_TRUE(PeekMessageA(&msg, a, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 1u);
  EXPECT_EQ(Kinds(Drain()), (std::vector<UINT>{WM_USER + 1, WM_APP + 2}));
}

TEST_F(MessagesTest, QuitComesAfterPostedMessagesAndEndsGetMessage) {
  HWND window = Make();
  Drain();
  PostQuitMessage(7);
  PostMessageA(window, WM_USER, 0, 0);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, BadWindowsAndThreadsAreRefused) {
  HWND window = Make();
  DestroyWindow(window);
  SetLastError(0);
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
}

TEST_F(MessagesTest, MessagesOfADestroyedWindowAreDropped) {
  HWND window = Make();
  HWND other = Make("other");
  Drain();
  PostMessageA(window, WM_USER, 0, 0);
  PostMessageA(other, WM_USER + 1, 0, 0);
  DestroyWindow(window);
  EXPECT_EQ(Kinds(Drain()), (std::vector<UINT>{WM_USER + 1}));
}

TEST_F(MessagesTest, SendOnTheSameThreadIsADirectCall) {
  HWND window = Make();
  Drain();
  Recorder::Get().Take();
  Recorder::Get().answered = WM_USER + 9;
  Recorder::Get().answer = 1234;
  EXPECT_EQ(SendMessageA(window, WM_USER + 9, 1, 2), 1234);
  auto seen = Recorder::Get().Take(WM_USER + 9);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].thread, GetCurrentThreadId());
  EXPECT_TRUE(Drain().empty());
}

TEST_F(MessagesTest, SendAcrossThreadsRunsOnTheWindowsThreadAndReturnsItsAnswer) {
  WindowThread other;
  Recorder::Get().Take();
  Recorder::Get().answered = WM_USER + 3;
  Recorder::Get().answer = 77;
  EXPECT_EQ(SendMessageA(other.window(), WM_USER + 3, 5, 6), 77);
  auto seen = Recorder::Get().Take(WM_USER + 3);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].thread, other.id());
  EXPECT_EQ(seen[0].wParam, 5u);
}

// The window thread's procedure sends back to a window of the waiting thread: the sender serves it.
LRESULT EchoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 20) return SendMessageA(reinterpret_cast<HWND>(lParam), WM_USER + 21, wParam, 0) + 1;
  if (message == WM_USER + 21) return static_cast<LRESULT>(wParam) * 10;
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(MessagesTest, ThreadsSendingToEachOtherDoNotLockUp) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = EchoProc;
  cls.lpszClassName = "EchoClass";
  RegisterClassA(&cls);
  HWND mine = CreateWindowExA(0, "EchoClass", "mine", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  made_.push_back(mine);
  std::atomic<HWND> theirs{nullptr};
  std::atomic<DWORD> theirId{0};
  std::thread thread([&] {
    HWND window = CreateWindowExA(0, "EchoClass", "theirs", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    theirId = GetCurrentThreadId();
    theirs = window;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
  });
  while (!theirs) std::this_thread::yield();
  EXPECT_EQ(SendMessageA(theirs, WM_USER + 20, 4, reinterpret_cast<LPARAM>(mine)), 41);
  PostThreadMessageA(theirId, WM_QUIT, 0, 0);
  thread.join();
}

TEST_F(MessagesTest, NotifyAcrossThreadsDoesNotWait) {
  WindowThread other;
  Recorder::Get().Take();
  EXPECT_TRUE(SendNotifyMessageA(other.window(), WM_USER + 4, 0, 0));
  for (int i = 0; i < 2000 && Recorder::Get().Take(WM_USER + 4).empty(); ++i) Sleep(1);
  // Delivered on the window's thread: a send afterwards finds it served already.
  Recorder::Get().answered = WM_USER + 5;
  Recorder::Get().answer = 1;
  EXPECT_EQ(SendMessageA(other.window(), WM_USER + 5, 0, 0), 1);
}

TEST_F(MessagesTest, AThreadThatEndsFailsItsPendingSends) {
  std::atomic<HWND> window{nullptr};
  std::atomic<bool> stop{false};
  std::thread thread([&] {
    window = CreateWindowExA(0, "RecordingClass", "quiet", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    while (!stop) std::this_thread::yield();  // never pumps
  });
  while (!window) std::this_thread::yield();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
  });
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
  stopper.join();
  thread.join();
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(MessagesTest, WaitMessageWakesForAPostFromAnotherThread) {
  HWND window = Make();
  Drain();
  std::thread poster([window] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PostMessageA(window, WM_USER + 2, 0, 0);
  });
  EXPECT_TRUE(WaitMessage());
  poster.join();
  EXPECT_EQ(Kinds(Drain()), (std::vector<UINT>{WM_USER + 2}));
}

TEST_F(MessagesTest, MsgWaitReturnsForObjectsForInputOfItsMaskAndTimesOut) {
  HWND window = Make();
  SetFocus(window);
  Drain();
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(event);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_OBJECT_0));
  ResetEvent(event);
  // A posted message is not keyboard input.
  PostMessageA(window, WM_USER, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_KEY), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_POSTMESSAGE), WAIT_OBJECT_0 + 1);
  Drain();
  winapi::testing::HostMouse(5, 5, 0, false);  // no window is shown: nothing arrives
  keybd_event('K', 0, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_MOUSEMOVE), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_KEY), WAIT_OBJECT_0);
  keybd_event('K', 0, KEYEVENTF_KEYUP, 0);
  CloseHandle(event);
}

TEST_F(MessagesTest, TimersFireOnTheVirtualClockOncePerDueTime) {
  winapi::testing::UseVirtualClock(true, 1000);
  HWND window = Make();
  Drain();
  EXPECT_EQ(SetTimer(window, 7, 100, nullptr), 7u);
  MSG msg;
  winapi::testing::AdvanceClock(99);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  winapi::testing::AdvanceClock(1);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  // Missed due times make one message, not a burst.
  winapi::testing::AdvanceClock(350);
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_TRUE(KillTimer(window, 7));
  EXPECT_FALSE(KillTimer(window, 7));
  winapi::testing::AdvanceClock(500);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

std::atomic<int> gTimerCalls{0};
void CountingTimer(HWND, UINT message, UINT_PTR, DWORD) {
  if (message == WM_TIMER) ++gTimerCalls;
}

TEST_F(MessagesTest, ThreadTimersCallTheirProcedureThroughDispatch) {
  winapi::testing::UseVirtualClock(true, 0);
  gTimerCalls = 0;
  const UINT_PTR id = SetTimer(nullptr, 0, 50, CountingTimer);
  ASSERT_NE(id, 0u);
  winapi::testing::AdvanceClock(50);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.wParam, id);
  DispatchMessageA(&msg);
  EXPECT_EQ(gTimerCalls, 1);
  KillTimer(nullptr, id);
}

TEST_F(MessagesTest, GetMessageWakesWhenAnotherThreadMovesTheVirtualClock) {
  winapi::testing::UseVirtualClock(true, 0);
  HWND window = Make();
  Drain();
  SetTimer(window, 1, 30, nullptr);
  std::thread mover([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    winapi::testing::AdvanceClock(30);
  });
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  mover.join();
  KillTimer(window, 1);
}

TEST_F(MessagesTest, PaintComesAfterPostedMessagesUntilTheWindowIsValidated) {
  HWND window = Make();
  Drain();
  ShowWindow(window, SW_SHOW);
  PostMessageA(window, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  Recorder::Get().Take();
  DispatchMessageA(&msg);  // DefWindowProcA paints: BeginPaint erases first
  EXPECT_EQ(Recorder::Get().Take(WM_ERASEBKGND).size(), 1u);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(MessagesTest, PostedKeyDownCarriesItsCharacterOnce) {
  HWND window = Make();
  Drain();
  const LPARAM flags = 1 | (0x1E << 16);
  PostMessageA(window, WM_KEYDOWN, 'A', flags);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
  TranslateMessage(&msg);  // the character is already queued; no second one
  Messages rest = Drain();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(rest[0].wParam, static_cast<WPARAM>('a'));
  // Keys without a character travel alone.
  PostMessageA(window, WM_KEYDOWN, VK_LEFT, 1 | (0x4B << 16) | (1 << 24));
  EXPECT_EQ(Kinds(Drain()), (std::vector<UINT>{WM_KEYDOWN}));
}

// A window thread translates a key and hands both messages on with PostMessageA, as a forwarding
// procedure does: the receiver gets exactly one character.
HWND gForwardTo = nullptr;
LRESULT ForwardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN || message == WM_CHAR) {
    PostMessageA(gForwardTo, message, wParam, lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(MessagesTest, ForwardingATranslatedKeyGivesOneCharacter) {
  HWND receiver = Make("receiver");
  Drain();
  gForwardTo = receiver;
  WNDCLASSA cls{};
  cls.lpfnWndProc = ForwardProc;
  cls.lpszClassName = "ForwardClass";
  RegisterClassA(&cls);
  std::atomic<bool> done{false};
  std::atomic<DWORD> id{0};
  std::thread thread([&] {
    HWND window = CreateWindowExA(0, "ForwardClass", "fwd", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetFocus(window);
    id = GetCurrentThreadId();
    keybd_event(VK_ESCAPE, 0, 0, 0);
    keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DestroyWindow(window);
    done = true;
  });
  thread.join();
  Messages got = Drain(receiver);
  EXPECT_EQ(Kinds(got), (std::vector<UINT>{WM_KEYDOWN, WM_CHAR}));
  if (got.size() == 2) {
    EXPECT_EQ(got[1].wParam, 0x1Bu);
  }
}

}  // namespace

namespace {

class VirtualWaitTest : public UserTest {};

TEST_F(VirtualWaitTest, AThreadWaitingForItsTimerMakesVirtualTimePass) {
  winapi::testing::UseVirtualClock(true, 0);
  winapi::testing::SetVirtualWaitGrace(1);
  HWND window = Make();
  Drain();
  SetTimer(window, 3, 250, nullptr);
  MSG msg;
  ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(winapi::testing::ClockNow(), 250u);
  KillTimer(window, 3);
  // A timed wait for input ends at its deadline on the virtual clock.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 1000, QS_KEY), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(winapi::testing::ClockNow(), 1250u);
}

}  // namespace

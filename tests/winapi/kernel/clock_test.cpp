// The clock's wait routine for condition-variable waits of other parts, and its scheduler.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "winapi/kernel/clock.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

class Clock : public ::testing::Test {
 protected:
  void TearDown() override { winapi::testing::Reset(); }
  std::mutex lock;
  std::condition_variable cv;
  bool flag = false;
  void Raise() {
    std::lock_guard guard(lock);
    flag = true;
    cv.notify_all();
  }
};

TEST_F(Clock, WaitForOnTheVirtualClockRunsTimersUntilReady) {
  winapi::testing::UseVirtualClock(true, 0);
  winapi::testing::SetVirtualWaitGrace(0);
  winapi::clock::Schedule(100, [this] { Raise(); });
  std::unique_lock lk(lock);
  EXPECT_TRUE(winapi::clock::WaitFor(lk, cv, 300, [&] { return flag; }));
  EXPECT_EQ(winapi::clock::Now(), 100u) << "stopped at the task that made it ready";
  flag = false;
  EXPECT_FALSE(winapi::clock::WaitFor(lk, cv, 300, [&] { return flag; }));
  EXPECT_EQ(winapi::clock::Now(), 400u);
  EXPECT_FALSE(winapi::clock::WaitFor(lk, cv, 0, [&] { return flag; }));
  EXPECT_EQ(winapi::clock::Now(), 400u);
}

TEST_F(Clock, WaitForOnRealTime) {
  std::unique_lock lk(lock);
  EXPECT_FALSE(winapi::clock::WaitFor(lk, cv, 10, [&] { return flag; }));
  std::thread raiser([this] { Raise(); });
  EXPECT_TRUE(winapi::clock::WaitFor(lk, cv, INFINITE, [&] { return flag; }));
  lk.unlock();
  raiser.join();
}

TEST_F(Clock, CancelledTasksDoNotRun) {
  winapi::testing::UseVirtualClock(true, 0);
  std::atomic<int> ran{0};
  auto a = winapi::clock::Schedule(10, [&] { ran += 1; });
  winapi::clock::Schedule(20, [&] { ran += 10; });
  EXPECT_TRUE(winapi::clock::Cancel(a, true));
  EXPECT_FALSE(winapi::clock::Cancel(a, true)) << "already gone";
  winapi::testing::AdvanceClock(50);
  EXPECT_EQ(ran.load(), 10);
  EXPECT_FALSE(winapi::clock::OnDispatchThread());
  std::atomic<bool> onDispatch{false};
  winapi::clock::Schedule(60, [&] { onDispatch = winapi::clock::OnDispatchThread(); });
  winapi::testing::AdvanceClock(10);
  EXPECT_TRUE(onDispatch.load());
}

TEST_F(Clock, SwitchingClocksKeepsTheTimeLeft) {
  winapi::testing::UseVirtualClock(true, 1000);
  std::atomic<int> ran{0};
  winapi::clock::Schedule(1050, [&] { ++ran; });
  winapi::testing::UseVirtualClock(true, 0);
  winapi::testing::AdvanceClock(49);
  EXPECT_EQ(ran.load(), 0);
  winapi::testing::AdvanceClock(1);
  EXPECT_EQ(ran.load(), 1);
  winapi::testing::AdvanceClock(5000);  // real time is untouched by advances when the clock is real
  winapi::testing::UseVirtualClock(false);
  DWORD before = GetTickCount();
  winapi::testing::AdvanceClock(100000);
  EXPECT_LT(GetTickCount() - before, 100000u);
}

TEST_F(Clock, AForkedChildRunsTimersOnItsOwnThread) {
  GTEST_FLAG_SET(death_test_style, "fast");  // fork without exec: the parent's timer thread is not there
  winapi::testing::UseVirtualClock(true, 0);
  std::atomic<int> ran{0};
  winapi::clock::Schedule(5, [&] { ++ran; });
  winapi::testing::AdvanceClock(10);  // the dispatch thread runs in the parent
  ASSERT_EQ(ran.load(), 1);
  EXPECT_EXIT(
      {
        winapi::clock::Schedule(20, [&] { ran = 7; });
        winapi::testing::AdvanceClock(20);
        std::exit(ran.load());
      },
      ::testing::ExitedWithCode(7), "");
}

}  // namespace

// Multimedia timers on real and virtual time, and the virtual clock's rules for sleeps and waits.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "mmsystem.h"
#include "winapi/testing.h"
#include "windows.h"

namespace {

constexpr DWORD kLong = 10000;

class Timers : public ::testing::Test {
 protected:
  void TearDown() override { winapi::testing::Reset(); }
};

// What a callback saw: its timer's name and the clock when it ran.
struct Log {
  std::mutex lock;
  std::vector<std::pair<std::string, DWORD>> entries;
  void Add(const std::string& name) {
    std::lock_guard guard(lock);
    entries.emplace_back(name, timeGetTime());
  }
};

struct Named {
  Log* log;
  std::string name;
};

void CALLBACK Record(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* n = reinterpret_cast<Named*>(user);
  n->log->Add(n->name);
}

struct Signal {
  HANDLE event;
  std::atomic<int> count{0};
  int signalAt = 1;
  std::atomic<DWORD> thread{0};
};

void CALLBACK CountAndSignal(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* s = reinterpret_cast<Signal*>(user);
  s->thread = GetCurrentThreadId();
  if (++s->count == s->signalAt) SetEvent(s->event);
}

TEST_F(Timers, OneShotOnRealTimeFiresOnAnotherThread) {
  Signal s;
  s.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  UINT id = timeSetEvent(5, 1, CountAndSignal, reinterpret_cast<DWORD_PTR>(&s), TIME_ONESHOT);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(WaitForSingleObject(s.event, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_NE(s.thread.load(), GetCurrentThreadId());
  // The callback has returned once the timer leaves the list.
  while (winapi::testing::ActiveMultimediaTimers() != 0) SwitchToThread();
  EXPECT_EQ(s.count.load(), 1);
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOCANDO)) << "a fired one-shot id is spent";
  CloseHandle(s.event);
}

TEST_F(Timers, PeriodicOnRealTimeStopsWhenKilled) {
  Signal s;
  s.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  s.signalAt = 3;
  UINT id = timeSetEvent(2, 1, CountAndSignal, reinterpret_cast<DWORD_PTR>(&s), TIME_PERIODIC);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(WaitForSingleObject(s.event, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
  int after = s.count.load();
  Sleep(20);
  EXPECT_EQ(s.count.load(), after) << "no callback after timeKillEvent returned";
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOCANDO));
  EXPECT_EQ(timeKillEvent(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
  CloseHandle(s.event);
}

struct Slow {
  HANDLE entered;
  std::atomic<bool> finished{false};
};

void CALLBACK SlowCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* s = reinterpret_cast<Slow*>(user);
  SetEvent(s->entered);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  s->finished = true;
}

TEST_F(Timers, KillWaitsForARunningCallback) {
  Slow s;
  s.entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  UINT id = timeSetEvent(1, 1, SlowCallback, reinterpret_cast<DWORD_PTR>(&s), TIME_PERIODIC);
  ASSERT_EQ(WaitForSingleObject(s.entered, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(timeKillEvent(id), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_TRUE(s.finished.load()) << "the callback that was running has completed";
  CloseHandle(s.entered);
}

TEST_F(Timers, VirtualClockFiresInDueOrder) {
  winapi::testing::UseVirtualClock(true, 1000);
  EXPECT_EQ(GetTickCount(), 1000u);
  EXPECT_EQ(timeGetTime(), 1000u);
  Log log;
  Named a{&log, "A"}, b{&log, "B"}, c{&log, "C"};
  UINT ia = timeSetEvent(10, 1, Record, reinterpret_cast<DWORD_PTR>(&a), TIME_PERIODIC);
  timeSetEvent(25, 1, Record, reinterpret_cast<DWORD_PTR>(&b), TIME_ONESHOT);
  timeSetEvent(5, 1, Record, reinterpret_cast<DWORD_PTR>(&c), TIME_ONESHOT);
  winapi::testing::AdvanceClock(4);
  EXPECT_TRUE(log.entries.empty()) << "nothing is due yet";
  winapi::testing::AdvanceClock(26);
  std::vector<std::pair<std::string, DWORD>> expected = {
      {"C", 1005}, {"A", 1010}, {"A", 1020}, {"B", 1025}, {"A", 1030}};
  EXPECT_EQ(log.entries, expected);
  EXPECT_EQ(winapi::testing::ClockNow(), 1030u);
  EXPECT_EQ(winapi::testing::ActiveMultimediaTimers(), 1u);
  EXPECT_EQ(timeKillEvent(ia), static_cast<MMRESULT>(TIMERR_NOERROR));
  winapi::testing::AdvanceClock(100);
  EXPECT_EQ(log.entries.size(), 5u);
  LARGE_INTEGER count, frequency;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  EXPECT_EQ(count.QuadPart / (frequency.QuadPart / 1000), 1130) << "the counter follows the same clock";
}

TEST_F(Timers, TickCountWrapsAndTimersCarryOn) {
  winapi::testing::UseVirtualClock(true, 0xFFFFFFF0u);
  Log log;
  Named a{&log, "A"};
  timeSetEvent(32, 1, Record, reinterpret_cast<DWORD_PTR>(&a), TIME_ONESHOT);
  DWORD start = GetTickCount();
  winapi::testing::AdvanceClock(40);
  EXPECT_EQ(GetTickCount(), 0x18u);
  EXPECT_EQ(GetTickCount() - start, 40u);
  std::vector<std::pair<std::string, DWORD>> expected = {{"A", 0x10}};
  EXPECT_EQ(log.entries, expected);
}

struct Rearm {
  Log log;
  int left = 5;
};

void CALLBACK RearmSelf(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* r = reinterpret_cast<Rearm*>(user);
  r->log.Add("R");
  if (--r->left > 0) timeSetEvent(7, 1, RearmSelf, user, TIME_ONESHOT);
}

TEST_F(Timers, OneShotRearmedFromItsCallbackFiresInTheSameAdvance) {
  winapi::testing::UseVirtualClock(true, 0);
  Rearm r;
  ASSERT_NE(timeSetEvent(7, 1, RearmSelf, reinterpret_cast<DWORD_PTR>(&r), TIME_ONESHOT), 0u);
  winapi::testing::AdvanceClock(30);
  std::vector<std::pair<std::string, DWORD>> expected = {{"R", 7}, {"R", 14}, {"R", 21}, {"R", 28}};
  EXPECT_EQ(r.log.entries, expected);
  winapi::testing::AdvanceClock(30);
  EXPECT_EQ(r.log.entries.size(), 5u);
  EXPECT_EQ(winapi::testing::ActiveMultimediaTimers(), 0u);
}

struct SelfKill {
  std::atomic<int> count{0};
  std::atomic<MMRESULT> killResult{99};
};

void CALLBACK KillSelfOnThird(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* s = reinterpret_cast<SelfKill*>(user);
  if (++s->count == 3) s->killResult = timeKillEvent(id);
}

TEST_F(Timers, KillFromInsideTheCallback) {
  winapi::testing::UseVirtualClock(true, 0);
  SelfKill s;
  ASSERT_NE(timeSetEvent(10, 1, KillSelfOnThird, reinterpret_cast<DWORD_PTR>(&s), TIME_PERIODIC), 0u);
  winapi::testing::AdvanceClock(100);
  EXPECT_EQ(s.count.load(), 3);
  EXPECT_EQ(s.killResult.load(), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(winapi::testing::ActiveMultimediaTimers(), 0u);

  // The same on real time: the kill from the callback must not wait for itself.
  winapi::testing::UseVirtualClock(false);
  SelfKill real;
  ASSERT_NE(timeSetEvent(1, 1, KillSelfOnThird, reinterpret_cast<DWORD_PTR>(&real), TIME_PERIODIC), 0u);
  while (winapi::testing::ActiveMultimediaTimers() != 0) Sleep(1);
  EXPECT_EQ(real.count.load(), 3);
}

TEST_F(Timers, SleepOnTheVirtualClockMakesTimePass) {
  winapi::testing::UseVirtualClock(true, 500);
  Log log;
  Named a{&log, "A"};
  timeSetEvent(10, 1, Record, reinterpret_cast<DWORD_PTR>(&a), TIME_PERIODIC);
  Sleep(50);
  EXPECT_EQ(GetTickCount(), 550u);
  EXPECT_EQ(log.entries.size(), 5u);
  Sleep(0);  // only yields
  SleepEx(0, TRUE);
  EXPECT_EQ(GetTickCount(), 550u);
  SleepEx(5, TRUE);
  EXPECT_EQ(GetTickCount(), 555u);
}

struct Sleeper {
  Log* log;
};

void CALLBACK SleepInCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* s = reinterpret_cast<Sleeper*>(user);
  s->log->Add("sleeper");
  Sleep(5);  // on the timer thread: moves the clock, later timers run afterwards in order
}

TEST_F(Timers, SleepInsideACallbackMovesTheClockWithoutDeadlock) {
  winapi::testing::UseVirtualClock(true, 0);
  Log log;
  Sleeper s{&log};
  Named b{&log, "B"};
  timeSetEvent(10, 1, SleepInCallback, reinterpret_cast<DWORD_PTR>(&s), TIME_ONESHOT);
  timeSetEvent(12, 1, Record, reinterpret_cast<DWORD_PTR>(&b), TIME_ONESHOT);
  winapi::testing::AdvanceClock(20);
  std::vector<std::pair<std::string, DWORD>> expected = {{"sleeper", 10}, {"B", 15}};
  EXPECT_EQ(log.entries, expected);
  EXPECT_EQ(winapi::testing::ClockNow(), 20u);
}

void CALLBACK SetEventCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  SetEvent(reinterpret_cast<HANDLE>(user));
}

struct Staller {
  Log log;
  bool stalled = false;
};

void CALLBACK StallOnce(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* s = reinterpret_cast<Staller*>(user);
  s->log.Add("tick");
  if (!std::exchange(s->stalled, true)) Sleep(2000);
}

TEST_F(Timers, PeriodicTimerSkipsTicksMissedInALongStall) {
  winapi::testing::UseVirtualClock(true, 0);
  Staller s;
  timeSetEvent(10, 1, StallOnce, reinterpret_cast<DWORD_PTR>(&s), TIME_PERIODIC);
  winapi::testing::AdvanceClock(2030);
  std::vector<std::pair<std::string, DWORD>> expected = {{"tick", 10}, {"tick", 2020}, {"tick", 2030}};
  EXPECT_EQ(s.log.entries, expected) << "no burst of the two hundred ticks missed";
}

TEST_F(Timers, TimedWaitOnTheVirtualClockAdvancesToItsDeadlineOrItsSignal) {
  winapi::testing::UseVirtualClock(true, 0);
  winapi::testing::SetVirtualWaitGrace(0);
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 5000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(GetTickCount(), 5000u) << "nobody signalled: the wait made its time pass";
  timeSetEvent(100, 1, SetEventCallback, reinterpret_cast<DWORD_PTR>(e), TIME_ONESHOT);
  EXPECT_EQ(WaitForSingleObject(e, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(GetTickCount(), 5100u) << "the wait ended when the timer signalled";
  HANDLE pair[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), e};
  timeSetEvent(40, 1, SetEventCallback, reinterpret_cast<DWORD_PTR>(e), TIME_ONESHOT);
  EXPECT_EQ(WaitForMultipleObjects(2, pair, FALSE, 1000), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(GetTickCount(), 5140u);
  EXPECT_EQ(WaitForMultipleObjects(2, pair, TRUE, 60), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(GetTickCount(), 5200u);
  CloseHandle(pair[0]);
  CloseHandle(e);
}

TEST_F(Timers, TimedWaitOnTheVirtualClockSeesAnotherThreadFirst) {
  winapi::testing::UseVirtualClock(true, 0);
  winapi::testing::SetVirtualWaitGrace(kLong);
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::thread setter([&] {
    while (winapi::testing::BlockedWaits(e) == 0) SwitchToThread();
    SetEvent(e);
  });
  EXPECT_EQ(WaitForSingleObject(e, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  setter.join();
  EXPECT_EQ(GetTickCount(), 0u) << "signalled within the grace: no time passed";

  // Time advanced by another thread ends the wait at its deadline.
  std::thread advancer([&] {
    while (winapi::testing::BlockedWaits(e) == 0) SwitchToThread();
    winapi::testing::AdvanceClock(250);
  });
  EXPECT_EQ(WaitForSingleObject(e, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  advancer.join();
  EXPECT_EQ(GetTickCount(), 250u);
  CloseHandle(e);
}

TEST_F(Timers, PeriodsBalanceAndFailuresAreInjectable) {
  EXPECT_EQ(timeBeginPeriod(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
  EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(winapi::testing::OpenTimerPeriods(), 2);
  EXPECT_EQ(timeEndPeriod(5), static_cast<MMRESULT>(TIMERR_NOCANDO)) << "no matching begin";
  EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOCANDO));
  EXPECT_EQ(winapi::testing::OpenTimerPeriods(), 0);

  TIMECAPS caps{};
  EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(caps.wPeriodMin, 1u);
  EXPECT_EQ(caps.wPeriodMax, 1000000u);
  EXPECT_NE(timeGetDevCaps(nullptr, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));

  winapi::testing::FailCall("timeGetDevCaps", 0);
  EXPECT_NE(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
  EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR)) << "once only";
  winapi::testing::FailCall("timeBeginPeriod", MMSYSERR_ERROR);
  EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(MMSYSERR_ERROR));
  EXPECT_EQ(winapi::testing::OpenTimerPeriods(), 0);

  Signal s;
  winapi::testing::FailCall("timeSetEvent", 0);
  EXPECT_EQ(timeSetEvent(10, 1, CountAndSignal, reinterpret_cast<DWORD_PTR>(&s), TIME_ONESHOT), 0u);
  EXPECT_EQ(timeSetEvent(0, 1, CountAndSignal, reinterpret_cast<DWORD_PTR>(&s), TIME_ONESHOT), 0u);
  EXPECT_EQ(timeSetEvent(1000001, 1, CountAndSignal, reinterpret_cast<DWORD_PTR>(&s), TIME_ONESHOT), 0u);
  EXPECT_EQ(timeSetEvent(10, 1, nullptr, 0, TIME_ONESHOT), 0u);
  EXPECT_EQ(winapi::testing::ActiveMultimediaTimers(), 0u);
}

TEST_F(Timers, ResetKillsTimersAndRestoresRealTime) {
  winapi::testing::UseVirtualClock(true, 0);
  Signal s;
  timeSetEvent(10, 1, CountAndSignal, reinterpret_cast<DWORD_PTR>(&s), TIME_PERIODIC);
  timeBeginPeriod(1);
  winapi::testing::Reset();
  EXPECT_FALSE(winapi::testing::VirtualClockOn());
  EXPECT_EQ(winapi::testing::ActiveMultimediaTimers(), 0u);
  EXPECT_EQ(winapi::testing::OpenTimerPeriods(), 0);
  EXPECT_EQ(s.count.load(), 0);
}

}  // namespace

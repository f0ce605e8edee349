// Threads, events, mutexes, semaphores and waits of the stand-in kernel.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "winapi/testing.h"
#include "windows.h"

namespace {

// Generous real-time limit for waits that must succeed; never a timing assertion.
constexpr DWORD kLong = 10000;

class KernelThreads : public ::testing::Test {
 protected:
  void TearDown() override { winapi::testing::Reset(); }
};

struct Shared {
  std::atomic<int> runs{0};
  HANDLE event = nullptr;
  DWORD code = 0;
};

DWORD CountAndReturn(LPVOID p) {
  auto* s = static_cast<Shared*>(p);
  ++s->runs;
  return s->code;
}

TEST_F(KernelThreads, SuspendedThreadRunsOnlyAfterResume) {
  Shared s;
  s.code = 42;
  DWORD id = 0;
  HANDLE t = CreateThread(nullptr, 0, CountAndReturn, &s, CREATE_SUSPENDED, &id);
  ASSERT_NE(t, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(t, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(s.runs.load(), 0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(SuspendThread(t), 1u);
  EXPECT_EQ(ResumeThread(t), 2u);
  EXPECT_EQ(s.runs.load(), 0) << "still suspended once";
  EXPECT_EQ(ResumeThread(t), 1u);
  ASSERT_EQ(WaitForSingleObject(t, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(s.runs.load(), 1);
  ASSERT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(ResumeThread(t), 0u);
  EXPECT_EQ(WaitForSingleObject(t, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "an ended thread stays signalled";
  EXPECT_TRUE(CloseHandle(t));
}

DWORD ReportId(LPVOID p) {
  *static_cast<DWORD*>(p) = GetCurrentThreadId();
  return 0;
}

TEST_F(KernelThreads, ThreadIdsAreSmallStableAndDistinct) {
  DWORD self = GetCurrentThreadId();
  EXPECT_NE(self, 0u);
  EXPECT_EQ(GetCurrentThreadId(), self);
  DWORD reported = 0, handedOut = 0;
  HANDLE t = CreateThread(nullptr, 0, ReportId, &reported, 0, &handedOut);
  ASSERT_EQ(WaitForSingleObject(t, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(reported, handedOut);
  EXPECT_NE(reported, self);
  EXPECT_LT(reported, 1000000u);
  CloseHandle(t);
}

TEST_F(KernelThreads, InvalidHandlesFail) {
  HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7FFC));
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(bogus, 0), static_cast<DWORD>(WAIT_FAILED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(SetEvent(bogus));
  EXPECT_FALSE(CloseHandle(bogus));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_EQ(ResumeThread(nullptr), static_cast<DWORD>(-1));
  EXPECT_EQ(GetThreadPriority(bogus), THREAD_PRIORITY_ERROR_RETURN);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(bogus, &code));
  EXPECT_FALSE(TerminateThread(bogus, 1));
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_TRUE(CloseHandle(e));
  EXPECT_FALSE(CloseHandle(e)) << "a handle closes once";
  EXPECT_FALSE(SetEvent(e));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE m = CreateMutexA(nullptr, FALSE, nullptr);
  EXPECT_FALSE(SetEvent(m)) << "a mutex is not an event";
  CloseHandle(m);
}

TEST_F(KernelThreads, AutoAndManualEvents) {
  HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  HANDLE automatic = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "manual stays set";
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(automatic);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "auto clears on release";
  CloseHandle(manual);
  CloseHandle(automatic);
}

TEST_F(KernelThreads, SetEventWakesAWaitingThread) {
  HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<DWORD> result{0xDEAD};
  std::thread waiter([&] { result = WaitForSingleObject(e, INFINITE); });
  SetEvent(e);
  waiter.join();
  EXPECT_EQ(result.load(), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(e);
}

// Starts `n` threads that each block on `event` and count their release; returns once all are blocked.
struct Blockers {
  HANDLE event;
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
  Blockers(HANDLE e, int n) : event(e) {
    for (int i = 0; i < n; ++i)
      threads.emplace_back([this] {
        if (WaitForSingleObject(event, kLong) == WAIT_OBJECT_0) ++released;
      });
    while (winapi::testing::BlockedWaits(event) < static_cast<size_t>(n)) SwitchToThread();
  }
  void Join() {
    for (auto& t : threads) t.join();
  }
};

TEST_F(KernelThreads, PulseEventReleasesCurrentWaitersOnly) {
  HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  {
    Blockers b(manual, 3);
    PulseEvent(manual);
    b.Join();
    EXPECT_EQ(b.released.load(), 3) << "a manual pulse releases every waiter";
  }
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "and leaves the event clear";

  HANDLE automatic = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  {
    Blockers b(automatic, 2);
    PulseEvent(automatic);
    while (b.released.load() < 1) Sleep(1);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(automatic);  // releases the other
    b.Join();
    EXPECT_EQ(b.released.load(), 2);
  }
  PulseEvent(automatic);  // nobody waits: nothing stays signalled
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(manual);
  CloseHandle(automatic);
}

TEST_F(KernelThreads, WaitForMultipleAnyAndAll) {
  HANDLE e[3];
  for (auto& h : e) h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(e[2]);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 1) << "the lowest signalled index";
  EXPECT_EQ(WaitForMultipleObjects(3, e, FALSE, 0), WAIT_OBJECT_0 + 2);
  SetEvent(e[0]);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(WaitForSingleObject(e[0], 0), static_cast<DWORD>(WAIT_OBJECT_0))
      << "a failed wait for all takes nothing";
  SetEvent(e[0]);
  std::thread late([&] { SetEvent(e[2]); });
  EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  late.join();
  for (auto& h : e) EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  HANDLE twice[2] = {e[0], e[0]};
  EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), static_cast<DWORD>(WAIT_FAILED));
  EXPECT_EQ(WaitForMultipleObjects(0, e, FALSE, 0), static_cast<DWORD>(WAIT_FAILED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  HANDLE withBad[2] = {e[0], reinterpret_cast<HANDLE>(0x7FF0)};
  EXPECT_EQ(WaitForMultipleObjects(2, withBad, FALSE, 0), static_cast<DWORD>(WAIT_FAILED));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  for (auto& h : e) CloseHandle(h);
}

TEST_F(KernelThreads, RealTimeWaitTimesOut) {
  HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(e, 20), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(e);
}

DWORD HoldMutexAndEnd(LPVOID p) {
  WaitForSingleObject(static_cast<HANDLE>(p), INFINITE);
  return 0;
}

TEST_F(KernelThreads, MutexIsRecursiveAndAbandonedWhenItsOwnerEnds) {
  HANDLE m = CreateMutexA(nullptr, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  std::atomic<DWORD> other{0};
  std::thread([&] { other = WaitForSingleObject(m, 0); }).join();
  EXPECT_EQ(other.load(), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(m));
  std::thread([&] { other = WaitForSingleObject(m, 0); }).join();
  EXPECT_EQ(other.load(), static_cast<DWORD>(WAIT_TIMEOUT)) << "two acquisitions need two releases";
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_FALSE(ReleaseMutex(m));

  HANDLE t = CreateThread(nullptr, 0, HoldMutexAndEnd, m, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(m, kLong), static_cast<DWORD>(WAIT_ABANDONED)) << "its owner ended holding it";
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(WaitForSingleObject(m, 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "abandonment is reported once";
  ReleaseMutex(m);

  // A foreign thread that ends holding the mutex abandons it too.
  std::thread([&] { WaitForSingleObject(m, 0); }).join();
  HANDLE pair[2] = {CreateEventA(nullptr, TRUE, TRUE, nullptr), m};
  EXPECT_EQ(WaitForMultipleObjects(2, pair, FALSE, kLong), WAIT_OBJECT_0) << "lowest index first";
  ResetEvent(pair[0]);
  EXPECT_EQ(WaitForMultipleObjects(2, pair, FALSE, kLong), WAIT_ABANDONED_0 + 1);
  ReleaseMutex(m);
  CloseHandle(pair[0]);
  CloseHandle(t);
  CloseHandle(m);
}

TEST_F(KernelThreads, SemaphoreCounts) {
  HANDLE s = CreateSemaphoreA(nullptr, 2, 3, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(WaitForSingleObject(s, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(s, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(s, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  LONG previous = -1;
  EXPECT_TRUE(ReleaseSemaphore(s, 3, &previous));
  EXPECT_EQ(previous, 0);
  EXPECT_FALSE(ReleaseSemaphore(s, 1, &previous)) << "past the maximum";
  EXPECT_FALSE(ReleaseSemaphore(s, 0, nullptr));
  EXPECT_EQ(CreateSemaphoreA(nullptr, 4, 3, nullptr), nullptr);
  CloseHandle(s);
}

TEST_F(KernelThreads, NamedObjectsAreShared) {
  HANDLE a = CreateEventA(nullptr, TRUE, FALSE, "teebox-test-event");
  EXPECT_EQ(GetLastError(), 0u);
  HANDLE b = CreateEventA(nullptr, FALSE, FALSE, "teebox-test-event");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_NE(a, b);
  SetEvent(a);
  EXPECT_EQ(WaitForSingleObject(b, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "teebox-test-event"), nullptr) << "the name holds an event";
  CloseHandle(a);
  CloseHandle(b);
  HANDLE c = CreateEventA(nullptr, TRUE, FALSE, "teebox-test-event");
  EXPECT_EQ(WaitForSingleObject(c, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "a closed name starts afresh";
  CloseHandle(c);
}

DWORD WaitForever(LPVOID p) {
  WaitForSingleObject(static_cast<HANDLE>(p), INFINITE);
  return 1;
}

DWORD SleepForever(LPVOID) {
  for (;;) Sleep(5);
}

TEST_F(KernelThreads, TerminateEndsTheThreadAtItsNextWait) {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE blocked = CreateThread(nullptr, 0, WaitForever, never, 0, nullptr);
  HANDLE sleeper = CreateThread(nullptr, 0, SleepForever, nullptr, 0, nullptr);
  HANDLE unstarted = CreateThread(nullptr, 0, WaitForever, never, CREATE_SUSPENDED, nullptr);
  EXPECT_TRUE(TerminateThread(blocked, 7));
  EXPECT_TRUE(TerminateThread(sleeper, 8));
  EXPECT_TRUE(TerminateThread(unstarted, 9));
  HANDLE all[3] = {blocked, sleeper, unstarted};
  ASSERT_EQ(WaitForMultipleObjects(3, all, TRUE, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD codes[3];
  for (int i = 0; i < 3; ++i) GetExitCodeThread(all[i], &codes[i]);
  EXPECT_EQ(codes[0], 7u);
  EXPECT_EQ(codes[1], 8u);
  EXPECT_EQ(codes[2], 9u);
  for (HANDLE h : all) CloseHandle(h);
  CloseHandle(never);
}

DWORD ExitEarly(LPVOID) {
  ExitThread(5);
}

TEST_F(KernelThreads, ExitThreadSetsTheCode) {
  HANDLE t = CreateThread(nullptr, 0, ExitEarly, nullptr, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0;
  GetExitCodeThread(t, &code);
  EXPECT_EQ(code, 5u);
  CloseHandle(t);
}

TEST_F(KernelThreads, PseudoHandleDuplicatesToARealHandle) {
  HANDLE pseudo = GetCurrentThread();
  EXPECT_TRUE(SetThreadPriority(pseudo, THREAD_PRIORITY_HIGHEST));
  EXPECT_EQ(GetThreadPriority(pseudo), THREAD_PRIORITY_HIGHEST);
  EXPECT_FALSE(SetThreadPriority(pseudo, 7));
  HANDLE real = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), pseudo, GetCurrentProcess(), &real, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  EXPECT_NE(real, pseudo);
  std::atomic<int> seen{0};
  std::thread([&] { seen = GetThreadPriority(real); }).join();
  EXPECT_EQ(seen.load(), THREAD_PRIORITY_HIGHEST) << "the real handle names this thread from anywhere";
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(real, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_TRUE(SetThreadPriority(real, THREAD_PRIORITY_NORMAL));
  EXPECT_TRUE(CloseHandle(real));
  EXPECT_TRUE(CloseHandle(pseudo)) << "closing a pseudo handle does nothing";
  EXPECT_NE(GetCurrentProcessId(), 0u);
}

TEST_F(KernelThreads, CreateThreadFailureIsInjectable) {
  winapi::testing::FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY);
  Shared s;
  EXPECT_EQ(CreateThread(nullptr, 0, CountAndReturn, &s, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  winapi::testing::FailCall("CreateEventA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, nullptr), nullptr);
  HANDLE t = CreateThread(nullptr, 1 << 20, CountAndReturn, &s, 0, nullptr);
  ASSERT_NE(t, nullptr);
  WaitForSingleObject(t, kLong);
  EXPECT_EQ(s.runs.load(), 1);
  CloseHandle(t);
}

}  // namespace

namespace {

struct Parked {
  HANDLE event;
  std::atomic<bool> after{false};
};

DWORD WaitThenMark(LPVOID p) {
  auto* s = static_cast<Parked*>(p);
  WaitForSingleObject(s->event, INFINITE);
  s->after = true;
  return 0;
}

TEST_F(KernelThreads, SuspendedThreadLeavesItsWaitOnlyWhenResumed) {
  Parked s;
  s.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE t = CreateThread(nullptr, 0, WaitThenMark, &s, 0, nullptr);
  while (winapi::testing::BlockedWaits(s.event) == 0) SwitchToThread();
  EXPECT_EQ(SuspendThread(t), 0u);
  SetEvent(s.event);
  EXPECT_EQ(WaitForSingleObject(t, 30), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(s.after.load());
  EXPECT_EQ(ResumeThread(t), 1u);
  ASSERT_EQ(WaitForSingleObject(t, kLong), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_TRUE(s.after.load());
  CloseHandle(t);
  CloseHandle(s.event);
}

TEST_F(KernelThreads, MutexAndSemaphoreExcludeUnderContention) {
  HANDLE m = CreateMutexA(nullptr, FALSE, nullptr);
  HANDLE sem = CreateSemaphoreA(nullptr, 2, 2, nullptr);
  int counter = 0;
  std::atomic<int> inside{0}, most{0}, failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 300; ++i) {
        if (WaitForSingleObject(m, kLong) != WAIT_OBJECT_0) ++failures;
        ++counter;
        ReleaseMutex(m);
        if (WaitForSingleObject(sem, kLong) != WAIT_OBJECT_0) ++failures;
        int now = ++inside;
        for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        SwitchToThread();
        --inside;
        ReleaseSemaphore(sem, 1, nullptr);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(counter, 1800);
  EXPECT_LE(most.load(), 2);
  CloseHandle(m);
  CloseHandle(sem);
}

TEST_F(KernelThreads, WaitForAllTakesEverythingOrNothing) {
  // Four threads each need two neighbouring mutexes: taking one and waiting for the other would deadlock.
  HANDLE forks[4];
  for (auto& f : forks) f = CreateMutexA(nullptr, FALSE, nullptr);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int p = 0; p < 4; ++p)
    threads.emplace_back([&, p] {
      HANDLE pair[2] = {forks[p], forks[(p + 1) % 4]};
      for (int i = 0; i < 200; ++i) {
        if (WaitForMultipleObjects(2, pair, TRUE, kLong) != WAIT_OBJECT_0) ++failures;
        ReleaseMutex(pair[0]);
        ReleaseMutex(pair[1]);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  for (auto& f : forks) CloseHandle(f);
}

}  // namespace

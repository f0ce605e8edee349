#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "fixture.h"
#include "platformlib/core/queue.h"
#include "platformlib/core/timer.h"

using platformtest::CatchAbort;

namespace {

// Waits in real time (bounded) for a condition that another thread makes true.
template <typename Condition>
bool Eventually(Condition condition) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

// Moves the virtual clock until the timer fires once, then waits for the timer thread to count the tick.
void StepTick() {
  const uint32_t due = timerduetime();
  const uint32_t ticks = gettimerticks();
  for (int ms = 0; ms < 1000 && timerduetime() == due; ++ms) winapi::testing::AdvanceClock(1);
  ASSERT_NE(timerduetime(), due) << "the timer did not fire";
  ASSERT_TRUE(Eventually([&] { return gettimerticks() != ticks; })) << "the timer thread did not count the tick";
}

std::string filtered;
int keeptext(const char* text) {
  filtered += text;
  return 0;
}

class TimerTest : public platformtest::PlatformTest {
 protected:
  void SetUp() override {
    platformtest::PlatformTest::SetUp();
    winapi::testing::UseVirtualClock(true, 5000);
    filtered.clear();
  }
  void TearDown() override {
    stoptimer();
    setaudiomessagethread(nullptr);
    stopsecondarytimer();
    cleartimers();
    surfacelockedhook = nullptr;
    platformtest::PlatformTest::TearDown();
  }
};

TEST(TimerSchedule, SixtyPerSecondAdvancesSixteenSeventeenSeventeen) {
  uint32_t accumulator = 0, due = 0;
  std::vector<uint32_t> steps;
  for (int i = 0; i < 6; ++i) {
    uint32_t next = timerschedulestep(&accumulator, timerperiod(60), due);
    steps.push_back(next - due);
    due = next;
  }
  EXPECT_EQ(steps, (std::vector<uint32_t>{16, 17, 17, 16, 17, 17}));
  // Rates that divide a second keep whole periods; the average holds over a second for the others.
  struct Case {
    int rate;
    uint32_t firststep;
  };
  for (Case c : {Case{100, 10}, Case{120, 8}, Case{70, 14}, Case{1, 1000}}) {
    accumulator = 0;
    due = 0;
    EXPECT_EQ(timerschedulestep(&accumulator, timerperiod(c.rate), 0), c.firststep) << c.rate;
    accumulator = 0;
    for (int i = 0; i < c.rate * 10; ++i) due = timerschedulestep(&accumulator, timerperiod(c.rate), due);
    EXPECT_NEAR(due, 10000.0, 1.0) << c.rate;
  }
}

TEST_F(TimerTest, RateZeroRunsAtOneHundred) {
  EXPECT_EQ(timerrateordefault(), 100);
  EXPECT_EQ(inittimer(0), 100);
  EXPECT_EQ(timerrate(), 100);
  EXPECT_EQ(timerrunning, 100);
  EXPECT_EQ(aborttimerhook, cleartimers);
  stoptimer();
  EXPECT_EQ(timerrate(), 0);
  EXPECT_EQ(timerrunning, 0);
  EXPECT_EQ(aborttimerhook, nullptr);
}

TEST_F(TimerTest, BadRateAbortsAndFallsBackToOneHundred) {
  abortfilterhook = keeptext;
  EXPECT_EQ(inittimer(20000), 100);
  EXPECT_EQ(filtered, "inittimer - BAD TIMER FREQUENCY SPECIFIED 20000\n");
  filtered.clear();
  EXPECT_EQ(inittimer(2000), 0);  // below a millisecond per tick
  EXPECT_EQ(filtered, "inittimer - MULTIMEDIA TIMER CANNOT SUPPORT THIS FREQUENCY.\n");
}

TEST_F(TimerTest, PlatformFailuresStopTheTimer) {
  struct Case {
    const char* call;
    const char* text;
  };
  const Case cases[] = {
      {"timeGetDevCaps", "inittimer - MULTIMEDIA TIMER NOT FOUND.\n"},
      {"CreateThread", "inittimer - FAILED TO CREATE TIMER THREAD.\n"},
      {"timeBeginPeriod", "inittimer - FAILED TO INITIALIZE MULTIMEDIA TIMER.\n"},
      {"timeSetEvent", "inittimer - FAILED TO INITIALIZE WINDOWS MULTIMEDIA TIMER, TRY RE-RUNNING.\n"},
  };
  abortfilterhook = keeptext;
  for (const Case& c : cases) {
    filtered.clear();
    winapi::testing::FailCall(c.call, 1);
    EXPECT_EQ(inittimer(100), 0) << c.call;
    EXPECT_EQ(filtered, c.text) << c.call;
    EXPECT_EQ(timerrate(), 0) << c.call;
    winapi::testing::ClearFailures();
  }
  EXPECT_EQ(inittimer(100), 100);  // and it starts again afterwards
}

std::atomic<int> callbackcalls{0};
void countcall() { ++callbackcalls; }
template <int N>
void slotcall() {}

std::mutex seenmutex;
std::vector<uint32_t> seenticks;
void recordtick() {
  std::lock_guard<std::mutex> guard(seenmutex);
  seenticks.push_back(gettimerticks());
}
std::vector<uint32_t> SeenTicks() {
  std::lock_guard<std::mutex> guard(seenmutex);
  return seenticks;
}

TEST_F(TimerTest, TicksAndCallbacksFollowTheClock) {
  ASSERT_EQ(inittimer(100), 100);
  seenticks.clear();
  addtimer(recordtick);
  addtimer(recordtick);  // already listed: no second slot
  const uint32_t ticks = gettimerticks(), waitcount = gettick();
  for (int i = 0; i < 5; ++i) StepTick();
  EXPECT_EQ(gettimerticks() - ticks, 5u);
  EXPECT_EQ(gettick() - waitcount, 5u);
  // Each tick calls the callback once, in tick order (the first tick may have been counted before it was added).
  std::vector<uint32_t> expected{ticks + 1, ticks + 2, ticks + 3, ticks + 4, ticks + 5};
  ASSERT_TRUE(Eventually([&] { return SeenTicks().size() >= 5 && SeenTicks().back() == ticks + 5; }));
  std::vector<uint32_t> seen = SeenTicks();
  if (seen.size() == 6) {
    EXPECT_EQ(seen.front(), ticks);
    seen.erase(seen.begin());
  }
  EXPECT_EQ(seen, expected);
  removetimer(recordtick);
  StepTick();
  StepTick();
  EXPECT_EQ(SeenTicks().back(), ticks + 5);
  EXPECT_EQ(timerslips(), 0u);
}

TEST_F(TimerTest, NinthTimerCallbackAborts) {
  void (*calls[])() = {slotcall<0>, slotcall<1>, slotcall<2>, slotcall<3>, slotcall<4>,
                       slotcall<5>, slotcall<6>, slotcall<7>, slotcall<8>};
  for (int i = 0; i < 8; ++i) addtimer(calls[i]);
  auto abort = CatchAbort([&] { addtimer(calls[8]); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(abort.text.rfind("addtimer - LIST FULL\n", 0), 0u);
  cleartimers();
  addtimer(calls[8]);  // room again
}

TEST_F(TimerTest, DueTimesAdvanceSixteenSeventeenSeventeenAtSixty) {
  const uint32_t start = winapi::testing::ClockNow();
  ASSERT_EQ(inittimer(60), 60);
  // inittimer schedules once itself and waits for the first tick: two steps are behind us.
  std::vector<uint32_t> steps{16, 17};
  EXPECT_EQ(timerduetime(), start + 33);
  for (int i = 0; i < 4; ++i) {
    uint32_t due = timerduetime();
    StepTick();
    steps.push_back(timerduetime() - due);
  }
  EXPECT_EQ(steps, (std::vector<uint32_t>{16, 17, 17, 16, 17, 17}));
}

TEST_F(TimerTest, EighteenPointTwoCountFollowsElapsedTime) {
  ASSERT_EQ(inittimer(100), 100);
  const uint32_t before = get182count();
  const uint32_t start = winapi::testing::ClockNow();
  for (int i = 0; i < 100; ++i) StepTick();
  const uint32_t elapsed = winapi::testing::ClockNow() - start;
  const uint32_t counted = get182count() - before;
  // 1193 / 65536 per millisecond: about 18.2 a second.
  EXPECT_GE(elapsed, 990u);
  EXPECT_LE(counted, (elapsed + 10) * 1193 / 65536 + 1);
  EXPECT_GE(counted + 1, (elapsed - 10) * 1193 / 65536);
}

TEST_F(TimerTest, AbortEmptiesTheTimerSlots) {
  ASSERT_EQ(inittimer(100), 100);
  seenticks.clear();
  addtimer(recordtick);
  StepTick();
  const uint32_t before = gettimerticks();
  ASSERT_TRUE(Eventually([&] { return !SeenTicks().empty() && SeenTicks().back() == before; }));
  auto abort = CatchAbort([] { abortmessage("stop\n"); });
  EXPECT_TRUE(abort.ended);
  StepTick();
  StepTick();
  EXPECT_EQ(SeenTicks().back(), before);
}

std::atomic<int> taskruns{0};
int countingtask() {
  ++taskruns;
  return 4;
}
int selfremovingtask() {
  removesystemtask(selfremovingtask);
  return 1;
}
template <int N>
int slottask() {
  return 0;
}

TEST_F(TimerTest, SystemTasksRunByPeriod) {
  ASSERT_EQ(inittimer(100), 100);
  taskruns = 0;
  runsystemtasks();
  ASSERT_EQ(addsystemtask(countingtask, 10, 0), 1);
  StepTick();
  EXPECT_EQ(runsystemtasks(), 4);
  EXPECT_EQ(taskruns, 1);
  EXPECT_EQ(runsystemtasks(), 0);  // same tick: nothing runs
  EXPECT_EQ(taskruns, 1);
  for (int i = 0; i < 9; ++i) {
    StepTick();
    runsystemtasks();
  }
  EXPECT_EQ(taskruns, 1);
  StepTick();
  runsystemtasks();
  EXPECT_EQ(taskruns, 2);
  // Adding it again changes its period and next due tick in the same slot.
  addsystemtask(countingtask, 1, 2);
  StepTick();
  runsystemtasks();
  EXPECT_EQ(taskruns, 2);
  StepTick();
  runsystemtasks();
  EXPECT_EQ(taskruns, 3);
  StepTick();
  runsystemtasks();
  EXPECT_EQ(taskruns, 4);
  EXPECT_EQ(removesystemtask(countingtask), 1);
  EXPECT_EQ(removesystemtask(countingtask), 0);
}

TEST_F(TimerTest, TaskMayRemoveItselfAndTheSeventeenthAborts) {
  ASSERT_EQ(inittimer(100), 100);
  addsystemtask(selfremovingtask, 1, 0);
  StepTick();
  EXPECT_EQ(runsystemtasks(), 1);
  StepTick();
  EXPECT_EQ(runsystemtasks(), 0);

  SystemTaskCallback tasks[] = {slottask<0>,  slottask<1>,  slottask<2>,  slottask<3>,  slottask<4>,  slottask<5>,
                                slottask<6>,  slottask<7>,  slottask<8>,  slottask<9>,  slottask<10>, slottask<11>,
                                slottask<12>, slottask<13>, slottask<14>, slottask<15>, slottask<16>};
  for (int i = 0; i < 16; ++i) ASSERT_EQ(addsystemtask(tasks[i], 5), 1);
  auto abort = CatchAbort([&] { addsystemtask(tasks[16], 5); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(abort.text.rfind("addsystemtask - LIST FULL\n", 0), 0u);
  for (auto task : tasks) removesystemtask(task);
}

TEST_F(TimerTest, TickWaitsRunUntilTheirTicksHavePassed) {
  ASSERT_EQ(inittimer(100), 100);
  const uint32_t start = gettick();
  waitticks(3);
  EXPECT_GE(gettick() - start, 3u);
  settickdeadline(2);
  EXPECT_EQ(tickdeadlinereached(), 0);
  waittickdeadline();
  EXPECT_EQ(tickdeadlinereached(), 1);
  resetticks();
  EXPECT_LE(gettick(), 1u);
}

TEST_F(TimerTest, AudioThreadRunsOncePerTickUntilStopped) {
  ASSERT_EQ(inittimer(100), 100);
  callbackcalls = 0;
  setaudiomessagethread(countcall);
  ASSERT_TRUE(Eventually([] { return callbackcalls.load() >= 1; }));
  StepTick();
  StepTick();
  EXPECT_TRUE(Eventually([] { return callbackcalls.load() >= 2; }));
  setaudiomessagethread(nullptr);
  const int stopped = callbackcalls;
  StepTick();
  EXPECT_EQ(callbackcalls, stopped);
}

TEST_F(TimerTest, SecondaryTimerRunsWhileItHasCallbacks) {
  ASSERT_EQ(inittimer(100), 100);
  callbackcalls = 0;
  EXPECT_EQ(addsecondarytimer(countcall), 1);
  StepTick();
  EXPECT_TRUE(Eventually([] { return callbackcalls.load() >= 1; }));
  EXPECT_EQ(removesecondarytimer(countcall), 1);
  EXPECT_EQ(removesecondarytimer(countcall), 0);
  const int stopped = callbackcalls;
  StepTick();
  EXPECT_EQ(callbackcalls, stopped);
}

std::atomic<int> threadran{0};
std::atomic<int> threadsawitself{0};
ThreadRecord worker{};
void workerbody() {
  threadsawitself = isthread(&worker) && !isthread(nullptr);
  swapthreadslot(77);
  threadran = 1;
}

TEST_F(TimerTest, ThreadsRecordsAndSlots) {
  initmainthread();
  EXPECT_TRUE(isthread(nullptr));
  EXPECT_TRUE(isthread(THREAD_SELF));
  threadran = 0;
  swapthreadslot(5);
  ASSERT_EQ(createthread(workerbody, 0, THREADLEVEL_ABOVENORMAL, &worker), 1);
  EXPECT_NE(worker.handle, nullptr);
  EXPECT_EQ(worker.priority, THREADLEVEL_ABOVENORMAL);
  EXPECT_NE(worker.threadid, 0u);
  EXPECT_FALSE(isthread(&worker));
  EXPECT_EQ(WaitForSingleObject(worker.handle, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(threadran, 1);
  EXPECT_EQ(threadsawitself, 1);
  EXPECT_EQ(swapthreadslot(0), 5u);  // the worker's slot was its own
  CloseHandle(worker.handle);
  EXPECT_EQ(setthreadpriority(nullptr, THREADLEVEL_NORMAL), 1);
}

TEST_F(TimerTest, EventsWithoutWaiting) {
  HANDLE manual = createmanualevent();
  HANDLE automatic = createautoevent();
  EXPECT_EQ(testevent(manual), 0);
  setevent(manual);
  EXPECT_EQ(testevent(manual), 1);
  EXPECT_EQ(testevent(manual), 1);
  resetevent(manual);
  EXPECT_EQ(testevent(manual), 0);
  setevent(automatic);
  EXPECT_EQ(testevent(automatic), 1);
  EXPECT_EQ(testevent(automatic), 0);
  HANDLE both[] = {manual, automatic};
  setevent(automatic);
  EXPECT_EQ(waitanyevent(2, both, 0), automatic);
  EXPECT_EQ(waitanyevent(2, both, 0), nullptr);
  EXPECT_EQ(waitevent(nullptr), 0);
  closeevent(manual);
  setandcloseevent(automatic);
}

TEST_F(TimerTest, LockedSurfaceRefusesThreadsAndLockSensitiveCalls) {
  initmainthread();
  surfacelockedhook = [] { return 1; };
  auto abort = CatchAbort([] { createthread(workerbody, 0, 0, nullptr); });
  EXPECT_EQ(abort.text.rfind("createthread - UNLOCK DDRAW SURFACE BEFORE CALLING.\n", 0), 0u);
  abort = CatchAbort([] { checknotlocked("keyticks"); });
  EXPECT_EQ(abort.text.rfind("keyticks - DO NOT CALL WITH SURFACE LOCKED\n", 0), 0u);
  EXPECT_NE(abort.text.find("FUNCTION keyticks"), std::string::npos);
  surfacelockedhook = [] { return 0; };
  EXPECT_EQ(checknotlocked("keyticks"), 1);
}

TEST_F(TimerTest, ExitProgramEndsWithSuccess) {
  auto result = CatchAbort([] { exitprogram(); });
  EXPECT_TRUE(result.ended);
  EXPECT_EQ(result.exitcode, 0u);
  EXPECT_EQ(result.boxes, 0);
}

}  // namespace

// Memory, critical sections, hooks and injected failures of the stand-in kernel.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "winapi/testing.h"
#include "windows.h"

namespace {

class KernelBasics : public ::testing::Test {
 protected:
  void TearDown() override { winapi::testing::Reset(); }
};

TEST_F(KernelBasics, LastErrorIsPerThread) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  DWORD other = 1;
  std::thread([&] { other = GetLastError(); }).join();
  EXPECT_EQ(other, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(KernelBasics, VirtualAllocReserveCommitRelease) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  ASSERT_GT(info.dwPageSize, 0u);
  const SIZE_T size = 16 * info.dwPageSize;
  auto* base = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % info.dwAllocationGranularity, 0u);
  auto* page = static_cast<char*>(VirtualAlloc(base + info.dwPageSize + 5, 10, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_EQ(page, base + info.dwPageSize);
  EXPECT_EQ(page[0], 0);
  std::memset(page, 0x5A, info.dwPageSize);
  EXPECT_TRUE(VirtualFree(page, info.dwPageSize, MEM_DECOMMIT));
  ASSERT_EQ(VirtualAlloc(page, info.dwPageSize, MEM_COMMIT, PAGE_READWRITE), page);
  EXPECT_EQ(page[7], 0) << "a page committed again reads as zeros";
  // Release needs the base and a size of 0.
  EXPECT_FALSE(VirtualFree(base, size, MEM_RELEASE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(VirtualFree(base + info.dwPageSize, 0, MEM_RELEASE));
  EXPECT_TRUE(VirtualFree(base, 0, MEM_RELEASE));
  EXPECT_FALSE(VirtualFree(base, 0, MEM_RELEASE)) << "a region is released once";
}

TEST_F(KernelBasics, VirtualAllocReservesAtAChosenAddress) {
  void* first = VirtualAlloc(nullptr, 1 << 20, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(VirtualAlloc(first, 4096, MEM_RESERVE, PAGE_NOACCESS), nullptr) << "already taken";
  ASSERT_TRUE(VirtualFree(first, 0, MEM_RELEASE));
  void* again = VirtualAlloc(first, 1 << 20, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  ASSERT_EQ(again, first);
  static_cast<char*>(again)[(1 << 20) - 1] = 1;
  EXPECT_TRUE(VirtualFree(again, 0, MEM_RELEASE));
}

TEST_F(KernelBasics, VirtualAllocCommitOutsideAReservationFails) {
  int local = 0;
  EXPECT_EQ(VirtualAlloc(&local, 4, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 0, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, 0x1234), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(KernelBasics, VirtualAllocCommitAloneReservesAndZeroes) {
  auto* p = static_cast<unsigned char*>(VirtualAlloc(nullptr, 100000, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100000; i += 4096) EXPECT_EQ(p[i], 0);
  p[99999] = 1;
  EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
}

TEST_F(KernelBasics, InjectedFailuresCountDown) {
  winapi::testing::FailCall("VirtualAlloc", ERROR_NOT_ENOUGH_MEMORY, 2);
  EXPECT_EQ(winapi::testing::PendingFailures("VirtualAlloc"), 2);
  EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
  void* p = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
  ASSERT_NE(p, nullptr) << "the third call succeeds";
  VirtualFree(p, 0, MEM_RELEASE);

  winapi::testing::FailCall("VirtualAlloc", 99, -1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
  winapi::testing::ClearFailures();
  p = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
  EXPECT_NE(p, nullptr);
  VirtualFree(p, 0, MEM_RELEASE);
  uint32_t error = 0;
  EXPECT_FALSE(winapi::testing::ShouldFail("VirtualAlloc", &error));
}

TEST_F(KernelBasics, SystemInfoAndMemoryStatus) {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  EXPECT_GE(info.dwNumberOfProcessors, 1u);
  EXPECT_EQ(info.dwAllocationGranularity, 65536u);
  MEMORYSTATUS status{};
  GlobalMemoryStatus(&status);
  EXPECT_EQ(status.dwLength, sizeof status);
  EXPECT_GT(status.dwTotalPhys, 0u);
  EXPECT_LE(status.dwTotalPhys, 0x7FFFFFFFu) << "sizes are clamped as a 32-bit program sees them";
  EXPECT_LE(status.dwAvailPhys, status.dwTotalPhys);
  EXPECT_LE(status.dwMemoryLoad, 100u);
  EXPECT_LE(status.dwAvailVirtual, status.dwTotalVirtual);
}

TEST_F(KernelBasics, CriticalSectionIsReentrantAndExcludesOtherThreads) {
  CRITICAL_SECTION cs;
  InitializeCriticalSection(&cs);
  EnterCriticalSection(&cs);
  EnterCriticalSection(&cs);
  std::atomic<int> otherGot{-1};
  std::thread other([&] { otherGot = TryEnterCriticalSection(&cs); });
  other.join();
  EXPECT_EQ(otherGot.load(), FALSE);
  LeaveCriticalSection(&cs);
  std::thread stillHeld([&] { otherGot = TryEnterCriticalSection(&cs); });
  stillHeld.join();
  EXPECT_EQ(otherGot.load(), FALSE) << "one leave of two entries keeps the section";
  LeaveCriticalSection(&cs);

  // Counting under the lock from several threads loses no update.
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        EnterCriticalSection(&cs);
        EnterCriticalSection(&cs);
        ++counter;
        LeaveCriticalSection(&cs);
        LeaveCriticalSection(&cs);
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 8000);
  DeleteCriticalSection(&cs);
}

TEST_F(KernelBasics, ZeroFilledCriticalSectionWorks) {
  CRITICAL_SECTION cs{};
  EnterCriticalSection(&cs);
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);
  LeaveCriticalSection(&cs);  // one too many: ignored
  EXPECT_TRUE(TryEnterCriticalSection(&cs));
  LeaveCriticalSection(&cs);
  DeleteCriticalSection(&cs);
}

TEST_F(KernelBasics, Interlocked) {
  volatile LONG v = 5;
  EXPECT_EQ(InterlockedIncrement(&v), 6);
  EXPECT_EQ(InterlockedDecrement(&v), 5);
  EXPECT_EQ(InterlockedExchange(&v, 9), 5);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 8), 9) << "no exchange when the comparand differs";
  EXPECT_EQ(v, 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 9), 9);
  EXPECT_EQ(v, 1);
}

TEST_F(KernelBasics, ExitGoesThroughTheHook) {
  winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
  try {
    ExitProcess(3);
    FAIL() << "ExitProcess returned";
  } catch (const winapi::testing::ExitCalled& e) {
    EXPECT_EQ(e.code, 3u);
  }
  try {
    TerminateProcess(GetCurrentProcess(), 7);
    FAIL() << "TerminateProcess returned";
  } catch (const winapi::testing::ExitCalled& e) {
    EXPECT_EQ(e.code, 7u);
  }
  EXPECT_FALSE(TerminateProcess(reinterpret_cast<HANDLE>(0x1234), 1));
}

TEST_F(KernelBasics, ExitWithoutAHookEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the timer thread may already run
  EXPECT_EXIT(ExitProcess(4), ::testing::ExitedWithCode(4), "");
}

TEST_F(KernelBasics, OrderlyExitRunsExitRoutines) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        std::atexit([] { std::fputs("exit routine ran", stderr); });
        winapi::testing::CallExit(6);
      },
      ::testing::ExitedWithCode(6), "exit routine ran");
  EXPECT_EXIT(
      {
        std::atexit([] { std::fputs("exit routine ran", stderr); });
        ExitProcess(2);
      },
      ::testing::ExitedWithCode(2), "^$");
}

TEST_F(KernelBasics, MessageBoxDefaultAnswersAreTheFirstButton) {
  struct Case {
    UINT type;
    int answer;
  } cases[] = {{MB_OK, IDOK},       {MB_OKCANCEL | MB_ICONEXCLAMATION, IDOK}, {MB_ABORTRETRYIGNORE, IDABORT},
               {MB_YESNOCANCEL, IDYES}, {MB_YESNO, IDYES},                    {MB_RETRYCANCEL, IDRETRY},
               {0x11031, IDOK}};
  for (const auto& c : cases) EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.type), c.answer) << c.type;
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), std::size(cases));
  EXPECT_EQ(boxes[0].text, "text");
  EXPECT_EQ(boxes[0].caption, "caption");
  EXPECT_EQ(boxes[6].type, 0x11031u);
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
}

TEST_F(KernelBasics, MessageBoxHookAnswers) {
  std::string seen;
  winapi::testing::SetMessageBoxHook([&](HWND, const std::string& text, const std::string& caption, UINT) {
    seen = caption + ":" + text;
    return IDCANCEL;
  });
  EXPECT_EQ(MessageBoxA(nullptr, "Exit?", "Abort message:", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(seen, "Abort message::Exit?");
  winapi::testing::SetMessageBoxHook({});
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OKCANCEL), IDOK);
}

TEST_F(KernelBasics, DebugOutputIsCaptured) {
  OutputDebugStringA("one ");
  OutputDebugStringA(nullptr);
  OutputDebugStringA("two\n");
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "one two\n");
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "");
  DebugBreak();  // no debugger: nothing happens

  ::testing::internal::CaptureStderr();
  OutputDebugStringA("quiet");
  setenv("WINAPI_DEBUG_OUTPUT", "1", 1);
  OutputDebugStringA("loud");
  unsetenv("WINAPI_DEBUG_OUTPUT");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "loud");
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "quietloud");
}

TEST_F(KernelBasics, DebugCaptureKeepsTheLatestMegabyte) {
  std::string line(1000, 'x');
  line.back() = '\n';
  // Past the limit, and past twice the limit, where the oldest text is cut off while writing.
  for (int lines : {1500, 2500, 5000}) {
    for (int i = 0; i < lines; ++i) OutputDebugStringA(line.c_str());
    OutputDebugStringA("last");
    std::string captured = winapi::testing::TakeDebugOutput();
    EXPECT_EQ(captured.size(), size_t{1} << 20) << lines;
    EXPECT_EQ(captured.substr(captured.size() - 5), "\nlast") << lines;
    EXPECT_EQ(captured.find_first_not_of("x\n"), captured.size() - 4) << lines;
  }
}

TEST_F(KernelBasics, ShowCursorCountsAndResets) {
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_EQ(ShowCursor(FALSE), -2);
  EXPECT_EQ(ShowCursor(TRUE), -1);
  winapi::testing::Reset();
  EXPECT_EQ(ShowCursor(TRUE), 1);
}

TEST_F(KernelBasics, CalendarTimeIsPlausible) {
  SYSTEMTIME local{}, utc{};
  GetLocalTime(&local);
  GetSystemTime(&utc);
  for (const SYSTEMTIME& t : {local, utc}) {
    EXPECT_GE(t.wYear, 2024);
    EXPECT_TRUE(t.wMonth >= 1 && t.wMonth <= 12);
    EXPECT_TRUE(t.wDay >= 1 && t.wDay <= 31);
    EXPECT_LE(t.wDayOfWeek, 6);
    EXPECT_LE(t.wHour, 23);
    EXPECT_LE(t.wMilliseconds, 999);
  }
}

TEST_F(KernelBasics, CpuidHookReplacesTheProcessor) {
  uint32_t regs[4];
  winapi::testing::SetCpuidHook([](uint32_t leaf, winapi::testing::CpuidLeaf* out) {
    if (leaf != 0) return false;
    *out = {1, 0x756E6547, 0x6C65746E, 0x49656E69};  // "GenuineIntel" in ebx, edx, ecx
    return true;
  });
  EXPECT_TRUE(CpuidSupported());
  Cpuid(0, regs);
  char vendor[13] = {};
  std::memcpy(vendor, &regs[1], 4);
  std::memcpy(vendor + 4, &regs[3], 4);
  std::memcpy(vendor + 8, &regs[2], 4);
  EXPECT_STREQ(vendor, "GenuineIntel");
  Cpuid(1, regs);
  EXPECT_EQ(regs[0] | regs[1] | regs[2] | regs[3], 0u) << "unanswered leaves read as zeros";

  winapi::testing::SetCpuidHook([](uint32_t, winapi::testing::CpuidLeaf*) { return false; });
  EXPECT_FALSE(CpuidSupported());

  uint64_t fake = 100;
  winapi::testing::SetTimestampHook([&] { return fake += 1000; });
  EXPECT_EQ(ReadTimeStampCounter(), 1100u);
  EXPECT_EQ(ReadTimeStampCounter(), 2100u);
  winapi::testing::Reset();
  EXPECT_TRUE(CpuidSupported()) << "the real processor answers again";
  uint64_t a = ReadTimeStampCounter();
  EXPECT_GE(ReadTimeStampCounter(), a);
}

}  // namespace

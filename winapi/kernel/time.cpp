// Tick counts, the performance counter and the calendar time.
#include <sys/time.h>

#include <ctime>

#include "winapi/kernel/clock.h"
#include "windows.h"

DWORD GetTickCount() { return static_cast<DWORD>(winapi::clock::Now()); }

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  frequency->QuadPart = 1000000;
  return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  if (winapi::clock::IsVirtual()) {
    count->QuadPart = static_cast<LONGLONG>(winapi::clock::Now() * 1000);
  } else {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    count->QuadPart = static_cast<LONGLONG>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
  }
  return TRUE;
}

namespace {

void Fill(LPSYSTEMTIME out, const std::tm& tm, long milliseconds) {
  out->wYear = static_cast<WORD>(tm.tm_year + 1900);
  out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  out->wDay = static_cast<WORD>(tm.tm_mday);
  out->wHour = static_cast<WORD>(tm.tm_hour);
  out->wMinute = static_cast<WORD>(tm.tm_min);
  out->wSecond = static_cast<WORD>(tm.tm_sec);
  out->wMilliseconds = static_cast<WORD>(milliseconds);
}

void CalendarTime(LPSYSTEMTIME out, bool local) {
  if (!out) return;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  if (local)
    localtime_r(&ts.tv_sec, &tm);
  else
    gmtime_r(&ts.tv_sec, &tm);
  Fill(out, tm, ts.tv_nsec / 1000000);
}

}  // namespace

void GetLocalTime(LPSYSTEMTIME time) { CalendarTime(time, true); }
void GetSystemTime(LPSYSTEMTIME time) { CalendarTime(time, false); }

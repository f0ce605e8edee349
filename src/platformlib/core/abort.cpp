// Debug text and the abort routine.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platformlib/core/memclass.h"
#include "platformlib/core/timer.h"

thread_local const char* abortfile = nullptr;
thread_local const char* abortfunction = nullptr;
thread_local int abortline = 0;
thread_local const char* calledfromfile = nullptr;
thread_local const char* calledfromfunction = nullptr;
thread_local int calledfromline = 0;

int abortonerror = 1;
int abortlocationflag = 1;
int abortdebugbreakflag = 0;
int abortprintflag = 0;
int abortinprogress = 0;

int (*abortfilterhook)(const char* text) = nullptr;
void (*abortfirsthook)() = nullptr;
CRITICAL_SECTION* (*abortdisplayhook)() = nullptr;
void (*aborttimerhook)() = nullptr;
void (*abortposthook)() = nullptr;

int debugoutputmode = 2;
void (*debugwritehook)(const char* text) = nullptr;

namespace {

constexpr size_t kTextSize = 1024;
constexpr UINT kAbortBoxStyle = 0x11031;  // OK/Cancel, exclamation, system modal, set foreground

void appendf(char* text, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(char* text, const char* format, ...) {
  size_t used = std::strlen(text);
  if (used + 1 >= kTextSize) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(text + used, kTextSize - used, format, args);
  va_end(args);
}

// An absent format gives an empty text.
void formattext(char (&text)[kTextSize], const char* format, va_list args) {
  text[0] = 0;
  if (format) std::vsnprintf(text, kTextSize, format, args);
}

// Clears the re-entry flag and leaves the display's section however the abort ends (a test's exit hook
// may throw instead of ending the process).
class AbortScope {
 public:
  ~AbortScope() {
    if (held) LeaveCriticalSection(held);
    __atomic_store_n(&abortinprogress, 0, __ATOMIC_SEQ_CST);
  }
  CRITICAL_SECTION* held = nullptr;
};

}  // namespace

void debugmessage(const int* levelpointer, int level, const char* format, ...) {
  if (levelpointer && level > *levelpointer) return;
  char text[kTextSize];
  va_list args;
  va_start(args, format);
  formattext(text, format, args);
  va_end(args);
  switch (debugoutputmode) {
    case 1:
      OutputDebugStringA(text);
      break;
    case 2:
      std::fputs(text, stdout);
      std::fflush(stdout);
      break;
    case 3:
      if (debugwritehook) debugwritehook(text);
      break;
    default:
      break;
  }
}

void abortmessage(const char* format, ...) {
  if (__atomic_exchange_n(&abortinprogress, 1, __ATOMIC_SEQ_CST)) return;
  AbortScope scope;

  char text[kTextSize];
  va_list args;
  va_start(args, format);
  formattext(text, format, args);
  va_end(args);
  if (abortfilterhook && abortfilterhook(text) == 0) return;

  if (abortlocationflag) {
    if (abortfile)
      appendf(text, "FILE %s LINE %d FUNCTION %s\n", abortfile, abortline, abortfunction ? abortfunction : "");
    if (calledfromfile)
      appendf(text, "CALLED FROM FILE %s LINE %d FUNCTION %s\n", calledfromfile, calledfromline,
              calledfromfunction ? calledfromfunction : "");
  }
  if (abortdebugbreakflag) {
    OutputDebugStringA(text);
    DebugBreak();
  }
  if (abortfirsthook) abortfirsthook();
  if (abortdisplayhook) scope.held = abortdisplayhook();
  if (aborttimerhook) aborttimerhook();

  ShowCursor(TRUE);
  int answer = MessageBoxA(nullptr, text, "Abort message:", kAbortBoxStyle);
  if (answer == IDOK && abortprintflag && abortposthook) {
    std::printf("%s", text);
    std::fflush(stdout);
    abortposthook();
  }
  if (scope.held) {
    LeaveCriticalSection(scope.held);
    scope.held = nullptr;
  }
  // An abort is a failure: the process never ends with a success code here.
  if (isthread(nullptr)) winapi::ExitOrderly(ABORTEXITCODE);
  ExitProcess(ABORTEXITCODE);
}

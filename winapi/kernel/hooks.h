// Internal entry points between the kernel's calls and the test hooks that answer them.
#pragma once

#include <string>

#include "windows.h"

namespace winapi::internal {

// Calls the test's exit hook, if any (it may throw).
void RunExitHook(unsigned code);
// ExitProcess: the exit hook, then the process ends at once (streams flushed, no exit routines).
[[noreturn]] void ExitImmediately(unsigned code);

// Appends text to the debug capture that winapi::testing::TakeDebugOutput returns.
void CaptureDebugText(const char* text);
// Records the box and answers it through the test hook, or with the box's first button.
int AnswerMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);
int DefaultMessageBoxAnswer(UINT type);
// A window-system dialog for message boxes, installed by the host when it has a display. It answers 0 when
// it could not show the box, and the default answer is used.
using HostMessageBox = int (*)(HWND owner, const char* text, const char* caption, UINT type);
void SetHostMessageBox(HostMessageBox dialog);

// The ShowCursor display count (the cursor is shown while it is 0 or more).
int CursorShowCount();

}  // namespace winapi::internal

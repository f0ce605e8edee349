// The framework's error codes and their texts, the error box, and a measure of disk activity.
#pragma once

#include <cstdint>

#include "windows.h"

enum FrameworkError : int {
  ERR_NONE = 0,
  ERR_UNKNOWN = 1,
  ERR_MEMORYFULL = 2,
  ERR_FREEBLOCK = 3,
  ERR_BADHANDLE = 4,
  ERR_RESFILENOTFOUND = 5,
  ERR_RESNOTFOUND = 6,
  ERR_FILENOTFOUND = 7,
  ERR_VOLUMENOTFOUND = 8,
  ERR_VOLUMENOTINIT = 9,
  ERR_DISKFULL = 10,
  ERR_DUPLICATENAME = 11,
  ERR_DEPTHNOTSUPPORTED = 12,
  ERR_PIXMAPPURGED = 13,
  ERR_USERABORT = 27,
  ERR_READ = 28,
  ERR_WRITE = 29,
  ERR_SEEK = 30,
};
constexpr int ERR_CODECOUNT = 31;

// The product title, the caption of every box.
inline constexpr const char* kProductTitle = "Zarvo Velmarth 99";

// The text of a code; codes outside the table give the text of code 1.
const char* ErrorText(int code);
int Win32ErrorToCode(DWORD systemError);

// Shows the text of `code` (0 shows nothing). A fatal box ends the process with exit code 1.
void ShowErrorBox(int code, bool fatal);
void ShowErrorText(const char* text, bool fatal);
[[noreturn]] void FatalErrorBox(int code);

// The box belongs to the queue window: the window set-up hands over the library's main window, the queue window
// and the game's routine that leaves the screen, which runs before a box that is not fatal (null windows are
// skipped). After that box the queue window is shown again, and its next paint gives the game the screen back.
void SetErrorBoxOwner(HWND mainWindow, HWND queueWindow, void (*leaveScreen)());

// Disk activity from the system's file-system counters, sampled at most once a second.
void SampleDiskActivity();
int DiskIsBusy();
uint32_t DiskActivityRate();
// Waits while the disk is busy, at most `seconds` (0: no limit); the sound is updated on each pass.
void WaitForDiskIdle(float seconds);

// Test interface of the stand-in platform: a virtual clock, replaceable hooks for the calls that would end
// the process or wait for a person, and injected failures. Production code never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace winapi::testing {

// ---- the clock ----------------------------------------------------------------------------------------
// GetTickCount, timeGetTime, Sleep, SleepEx, waits with time-outs and the multimedia timer all read one
// clock. With the virtual clock on, time stands still until a test advances it.
void UseVirtualClock(bool on, uint32_t startMs = 0);
bool VirtualClockOn();
// Moves the virtual clock forward, firing every multimedia timer that falls due on the way, in time order,
// and returns when their callbacks have run.
void AdvanceClock(uint32_t ms);
uint32_t ClockNow();
// On the virtual clock nobody may be there to advance time, so a wait with a time-out does it itself: it
// blocks in real time for up to this grace (default 200 ms, or WINAPI_VIRTUAL_WAIT_GRACE_MS) so that other
// threads can signal it, then advances the clock towards its deadline, firing timers on the way, and ends
// as soon as it is satisfied or the deadline is reached. 0 makes single-threaded tests run at full speed.
void SetVirtualWaitGrace(uint32_t ms);

// ---- waits -------------------------------------------------------------------------------------------------
// How many waits are blocked on the object now (0 for an invalid handle). Lets a test know that another
// thread has reached its wait before it signals, without sleeping.
size_t BlockedWaits(HANDLE object);

// ---- multimedia timers ---------------------------------------------------------------------------------------
// Timers set with timeSetEvent and not yet killed (one-shot timers leave once they have fired).
size_t ActiveMultimediaTimers();
// timeBeginPeriod requests not yet matched by timeEndPeriod. Reset kills every timer and clears these.
int OpenTimerPeriods();

// ---- process exit ------------------------------------------------------------------------------------------
// ExitProcess and the library's orderly exit go through this hook. A test installs one that throws
// ExitCalled (or records the code and throws its own exception). Without a hook, or when it returns,
// ExitProcess ends the process at once and CallExit ends it through exit() (exit routines run).
struct ExitCalled {
  unsigned code;
};
using ExitHook = std::function<void(unsigned code)>;
void SetExitHook(ExitHook hook);  // an empty hook restores the default
// The orderly exit: calls the hook; if it returns, exit(code).
[[noreturn]] void CallExit(unsigned code);

// ---- message boxes -------------------------------------------------------------------------------------------
// Answers MessageBoxA without a person. The default hook answers with the first button of the box's style.
using MessageBoxHook = std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);  // an empty hook restores the default
struct MessageBoxRecord {
  std::string text;
  std::string caption;
  UINT type;
};
// Every box shown since the last call, oldest first.
std::vector<MessageBoxRecord> TakeMessageBoxes();

// ---- debug output ---------------------------------------------------------------------------------------------
// Text sent with OutputDebugStringA since the last call.
std::string TakeDebugOutput();

// ---- injected failures ----------------------------------------------------------------------------------------
// Makes the next `times` calls of the named platform function fail with `error` (as GetLastError reports it,
// or as the function's own result code where it returns one). Names are the functions' own: "CreateThread",
// "timeSetEvent", "timeGetDevCaps", "timeBeginPeriod", "VirtualAlloc", ...
void FailCall(const std::string& function, uint32_t error, int times = 1);
void ClearFailures();
// `times` below 0 makes every call fail until ClearFailures; 0 cancels the named failure.
// Used by the stand-in: whether the named call should fail now, and with which error.
bool ShouldFail(const char* function, uint32_t* error = nullptr);
// How many injected failures of the named call are still pending (-1: every call).
int PendingFailures(const std::string& function);

// ---- processor ---------------------------------------------------------------------------------------------------
// Replaces what CPUID and the time-stamp counter report, for tests of processor identification and speed.
struct CpuidLeaf {
  uint32_t eax, ebx, ecx, edx;
};
void SetCpuidHook(std::function<bool(uint32_t leaf, CpuidLeaf* out)> hook);  // false: leaf not answered
void SetTimestampHook(std::function<uint64_t()> hook);

// Restores every hook, clears failures and turns the virtual clock off.
void Reset();

}  // namespace winapi::testing

// ---- files and drives ------------------------------------------------------------------------------------------
// Drive letters start from the WINAPI_DRIVE_* environment (see winapi/README.md); tests remap them here.
// File calls also honour FailCall with their own names ("CreateFileA", "ReadFile", "WriteFile", ...).
namespace winapi::testing {
// Maps a drive letter onto a host folder (an empty folder removes the drive) with a volume label.
void MapDrive(char letter, const std::string& folder, const std::string& label = "");
// Chooses the CD-ROM drive letter (0: none) and its disc's label; SetCdPresent takes the disc out or puts it in.
void SetCdDrive(char letter, const std::string& label);
void SetCdPresent(bool present);
// Limits the free space of a drive: writes that would grow files past it fail with ERROR_DISK_FULL after
// writing what fits; -1 returns to the host's real free space.
void SetDiskFreeBytes(char letter, int64_t bytes);
// The Windows path GetModuleFileNameA reports for the program (empty: derived from the executable).
void SetModuleFileName(const std::string& windowsPath);
// Whole-file saves skip flushing to the disk when off (fuzzing saves thousands of files a second); they are
// still written through a temporary file and a rename. On by default and after ResetFiles.
void SetDurableSaves(bool on);
// Back to the configuration of the environment (Reset calls it).
void ResetFiles();
}  // namespace winapi::testing

// ---- windows, input and the host --------------------------------------------------------------------------------
// Under tests the host is headless: frames shown by DirectDraw are kept here, and the window system's events
// are made with these calls (keys: keybd_event).
namespace winapi::testing {
struct HostFrameData {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows packed
  uint64_t serial = 0;           // frames shown so far
};
// The last frame shown; false when none was shown since the last Reset.
bool HostFrame(HostFrameData* frame);
uint64_t HostFrameCount();
// The window the host shows (null when none is bound) and whether it is an SDL2 window.
HWND HostWindow();
bool HostUsesSdl();
// The user switches to another program and back, closes or minimises the shown window, or uses the mouse
// (client coordinates; button 0 moves, 1 left, 2 right, 3 middle).
void HostSetActive(bool active);
void HostCloseWindow();
void HostMinimizeWindow(bool minimized);
void HostMouse(int x, int y, int button, bool down);
// What GetKeyboardType reports (type 4, subtype 0 by default).
void SetKeyboardType(int type, int subtype);
// SetForegroundWindow calls made while the application was in the background (they do not take the focus
// back from the program the user switched to).
uint32_t ForegroundRequestsWhileInactive();
}  // namespace winapi::testing

// ---- the host's audio output --------------------------------------------------------------------------------------
namespace winapi::testing {
struct HostAudioData {
  int rate = 0;                  // the device's rate; frames are 16-bit stereo
  std::vector<int16_t> samples;  // interleaved left, right
};
// From now on the host keeps what its device plays (cleared now); off forgets it.
void HostAudioCapture(bool on);
// What the device played while capturing (up to the clock's present); false when no device was ever opened.
bool HostAudio(HostAudioData* data);
// The audio driver playing ("sdl", "null"), empty while no stream is open.
const char* HostAudioDriver();
}  // namespace winapi::testing

// ---- the microphone (wave input) ----------------------------------------------------------------------------------
namespace winapi::testing {
// What the microphone hears from the start of each recording (mono, `rate` Hz; silence after it), in place of
// WINAPI_WAVE_IN. An empty list with rate 0 puts the setting back.
void SetWaveInSamples(int rate, std::vector<int16_t> samples);
// Whether a machine has wave devices, in place of WINAPI_WAVE_IN=none and WINAPI_WAVE_OUT=none.
void SetWaveDevices(bool input, bool output);
}  // namespace winapi::testing

// ---- the fake display driver (DirectDraw) -------------------------------------------------------------------------
// Surface calls also honour FailCall with these names: "DirectDrawCreate", "SetCooperativeLevel",
// "SetDisplayMode", "CreateSurface", "Lock", "Flip", "Blt", "Restore" (the error is the HRESULT to return).
namespace winapi::testing {
struct FakeDisplayMode {
  uint32_t width;
  uint32_t height;
  uint32_t bits;  // 8, 15 (5-5-5 as 16 bits), 16 (5-6-5), 24 or 32
  uint32_t refresh = 0;
};
struct FakeDisplay {
  std::vector<FakeDisplayMode> modes;  // in the order they are enumerated
  uint32_t desktopWidth = 1024;
  uint32_t desktopHeight = 768;
  uint32_t desktopBits = 16;
  uint32_t videoMemory = 8u << 20;  // bytes for surfaces in video memory, the primary included
  bool hardware = true;             // false: only the emulation-only driver can be created
  // Capability words of the hardware driver and of the emulation (DDCAPS_*, DDCKEYCAPS_*, DDFXCAPS_*,
  // DDPCAPS_*, DDSCAPS_*); the defaults describe a card that blits, stretches, colour-keys and flips.
  uint32_t halCaps;
  uint32_t halColorKeyCaps;
  uint32_t halFxCaps;
  uint32_t halPaletteCaps;
  uint32_t halSurfaceCaps;
  uint32_t helCaps;
  uint32_t helColorKeyCaps;
  uint32_t helFxCaps;
  uint32_t helPaletteCaps;
  uint32_t helSurfaceCaps;
};
FakeDisplay DefaultFakeDisplay();
// Takes effect for DirectDraw objects created afterwards.
void SetFakeDisplay(const FakeDisplay& display);
// Every surface in video memory is lost now (as after another program took the display).
void LoseDisplaySurfaces();
// SetDisplayMode(width, height, bits) sets a larger mode instead, as some drivers do.
void SubstituteDisplayMode(uint32_t width, uint32_t height, uint32_t bits, uint32_t actualWidth,
                           uint32_t actualHeight);
// SetDisplayMode of this mode fails (DDERR_UNSUPPORTEDMODE), though the mode is listed.
void RefuseDisplayMode(uint32_t width, uint32_t height, uint32_t bits);
// SetDisplayMode answers DDERR_NOEXCLUSIVEMODE while this is on.
void SetNoExclusiveMode(bool on);
// The display mode in force now (the desktop when no program set one).
FakeDisplayMode CurrentDisplayMode();
}  // namespace winapi::testing

// ---- dialogs and started programs ---------------------------------------------------------------------------------
// DialogBoxParamA calls the dialog hook once its procedure has seen WM_INITDIALOG. The hook reads the controls
// (GetDlgItemTextA, IsDlgButtonChecked, GetWindowTextA, GetFocus) and presses buttons with PressDialogButton,
// which changes automatic check boxes and radio buttons as a click does and then runs the procedure's
// WM_COMMAND. A dialog still open when the hook returns ends with -1 (ERROR_CANCELLED).
// ShellExecuteExA finds the program on the drives as usual, then hands it to the spawn hook instead of
// starting it; the process handle it returns has already ended with the hook's exit code.
namespace winapi::testing {
using DialogHook = std::function<void(HWND dialog, int templateId)>;
void SetDialogHook(DialogHook hook);  // an empty hook: the terminal or the default button answers
// False when the dialog has no such button or it is disabled.
bool PressDialogButton(HWND dialog, int id);

struct SpawnRequest {
  std::string windowsPath;  // the program as the caller named it, made absolute
  std::string hostPath;     // the host file found for it
  std::string parameters;   // as given
  std::vector<std::string> arguments;  // the parameters split into arguments
  std::string hostDirectory;           // where it would run
};
struct SpawnResult {
  bool started = true;
  DWORD error = 0;     // when not started: the error ShellExecuteExA reports
  DWORD exitCode = 0;  // when started
};
using SpawnHook = std::function<SpawnResult(const SpawnRequest& request)>;
void SetSpawnHook(SpawnHook hook);  // an empty hook starts real processes
}  // namespace winapi::testing

// ---- scripted input -------------------------------------------------------------------------------------------------
// Keys and pointer events at set times on the virtual clock, for loops that poll the input state instead of
// reading messages. While a script is on, each poll of the input state (GetAsyncKeyState, GetKeyState,
// GetKeyboardState, GetCursorPos) first moves the virtual clock one step; an event falls due as the clock
// passes its time and then acts as the person's key or mouse would (state and messages alike), so the same
// script gives the same run every time. An event for a window of another thread is handed over before the clock
// moves on: its delivery waits (in real time, up to 2 s) until that thread has taken it, and whatever it queued
// for itself because of it, and is back at its empty queue. Off the virtual clock polls do not move time; events still fall due
// on real time.
namespace winapi::testing {
struct ScriptedEvent {
  enum Kind { kKey, kPointer };
  uint32_t atMs = 0;  // after the moment the script starts
  Kind kind = kKey;
  int key = 0;        // kKey: a virtual-key code
  int x = 0, y = 0;   // kPointer: client coordinates of the host's window
  int button = 0;     // kPointer: 0 moves, 1 left, 2 right, 3 middle
  bool down = true;   // key or button goes down (true) or up
};
ScriptedEvent ScriptKey(uint32_t atMs, int key, bool down);
ScriptedEvent ScriptPointer(uint32_t atMs, int x, int y, int button = 0, bool down = false);
// A key pressed at `atMs` and released `holdMs` later.
std::vector<ScriptedEvent> ScriptPress(uint32_t atMs, int key, uint32_t holdMs = 20);
// Starts a script (any earlier one is dropped) with times counted from now; each poll made on the calling thread
// moves the clock `pollStepMs` (0: polls do not move it); polls of other threads never move it.
void StartInputScript(const std::vector<ScriptedEvent>& events, uint32_t pollStepMs = 1);
// Ends the script: events not yet due are dropped and polls no longer move the clock. Reset does it too.
void StopInputScript();
bool InputScriptOn();
// Events of the script not yet due.
size_t PendingScriptedEvents();
// Polls of the input state made while a script was on, since it started.
uint64_t ScriptedInputPolls();
}  // namespace winapi::testing

// ---- input scripts from a file ---------------------------------------------------------------------------------------
// `WINAPI_INPUT_SCRIPT=<file>`: the host plays the file's events from the first frame it shows (times from then),
// for end-to-end runs of the real program. One event a line; `#` starts a comment; a time is milliseconds from the
// start, or `+N` after the previous line's time:
//   T key K down|up     T press K [holdMs]     T type TEXT (each character pressed in turn, 40 ms apart)
//   T move X Y          T click X Y [left|right]  (down, and up 60 ms later)   T down|up X Y [left|right]
// K is a character (letters and digits), a virtual-key number, or one of RETURN ESCAPE TAB SPACE BACK LEFT RIGHT
// UP DOWN F1.
namespace winapi::testing {
// The events of a script's text; false with the line and what is wrong in `error`.
bool ParseInputScript(const std::string& text, std::vector<ScriptedEvent>* events, std::string* error);
}  // namespace winapi::testing

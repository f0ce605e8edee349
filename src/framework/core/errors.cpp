// Error texts, the error box and the disk-activity measure.
#include "framework/core/errors.h"

#include "framework/core/services.h"

#include "windows.h"

namespace {

const char* const kTexts[ERR_CODECOUNT] = {
    "No Error",
    "An Unknown Error Has Occured",
    "memory was full",
    "operated on a free block",
    "operated on an invalid handle",
    "resource file was not found",
    "resource was not found",
    "file was not found",
    "volume was not found",
    "volume not initialized",
    "disk was full",
    "A duplicate file or directory name was used",
    "screen depth is not supported",
    "pixmap was purged and can no longer be accessed",
    "Movie component was not installed",
    "Movie component is an old version",
    "Some movie error occurred.",
    "Movie was invalid",
    "Movie track was invalid.",
    "Movie time was invalid.",
    "Movie duration was invalid",
    "Sound error occurred.",
    "Sound manager is too old for required capabilities",
    "No more sound channels were available",
    "Channel was already playing a sound",
    "Required sound hardware was not present.",
    "Insufficient sound hardware",
    "User Abort",
    "Error reading file",
    "Error Writing file",
    "Error seeking file",
};

HWND gMainWindow = nullptr;
HWND gQueueWindow = nullptr;
void (*gLeaveScreen)() = nullptr;

struct DiskActivity {
  bool sampled = false;
  uint32_t lastTime = 0;
  uint32_t lastTotal = 0;
  uint32_t rate = 0;
};
DiskActivity gDisk;

void Show(const char* text, bool fatal, HWND minimise) {
  if (!fatal && gLeaveScreen) gLeaveScreen();
  UINT style = fatal ? (MB_ICONEXCLAMATION | MB_SETFOREGROUND) : (MB_ICONHAND | MB_SETFOREGROUND);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  if (minimise != nullptr) {
    ShowWindow(minimise, SW_MINIMIZE);
    // The window's own thread takes in the minimising (and passes on its deactivation) before the box; a late
    // deactivation would otherwise land after the game has taken the screen back, leaving it paused.
    if (GetWindowThreadProcessId(minimise, nullptr) != GetCurrentThreadId()) SendMessageA(minimise, WM_NULL, 0, 0);
  }
  ShowCursor(TRUE);
  MessageBoxA(gQueueWindow, text, kProductTitle, style);
  // A fatal error ends the game as a failure, so that whoever started it can tell.
  if (fatal) ExitProcess(1);
  if (gQueueWindow != nullptr) ShowWindow(gQueueWindow, SW_SHOWMAXIMIZED);
}

}  // namespace

const char* ErrorText(int code) { return code >= 0 && code < ERR_CODECOUNT ? kTexts[code] : kTexts[ERR_UNKNOWN]; }

int Win32ErrorToCode(DWORD systemError) {
  switch (systemError & 0xFFFF) {
    case 0: return ERR_NONE;
    case 2:
    case 3: return ERR_FILENOTFOUND;
    case 6: return ERR_BADHANDLE;
    case 8:
    case 14: return ERR_MEMORYFULL;
    case 15:
    case 20:
    case 53:
    case 55: return ERR_VOLUMENOTFOUND;
    case 39:
    case 112: return ERR_DISKFULL;
    case 52:
    case 80:
    case 183: return ERR_DUPLICATENAME;
    case 157: return ERR_FREEBLOCK;
    default: return ERR_UNKNOWN;
  }
}

void ShowErrorBox(int code, bool fatal) {
  if (code == ERR_NONE) return;
  Show(ErrorText(code), fatal, gMainWindow);
}

void ShowErrorText(const char* text, bool fatal) {
  if (text == nullptr) return;
  Show(text, fatal, gQueueWindow);
}

void FatalErrorBox(int code) {
  Show(ErrorText(code == ERR_NONE ? ERR_UNKNOWN : code), true, gMainWindow);
  ExitProcess(1);
}

void SetErrorBoxOwner(HWND mainWindow, HWND queueWindow, void (*leaveScreen)()) {
  gMainWindow = mainWindow;
  gQueueWindow = queueWindow;
  gLeaveScreen = leaveScreen;
}

void SampleDiskActivity() {
  uint32_t now = GetTickCount();
  if (gDisk.sampled && now - gDisk.lastTime <= 1000) return;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD reads = 0, writes = 0, type = 0, size = sizeof reads;
  bool ok = RegQueryValueExA(key, "VFAT\\ReadsSec", nullptr, &type, reinterpret_cast<BYTE*>(&reads), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD;
  size = sizeof writes;
  ok = ok &&
       RegQueryValueExA(key, "VFAT\\WritesSec", nullptr, &type, reinterpret_cast<BYTE*>(&writes), &size) ==
           ERROR_SUCCESS &&
       type == REG_DWORD;
  RegCloseKey(key);
  if (!ok) return;
  uint32_t total = reads + writes;
  uint32_t elapsed = now - gDisk.lastTime;
  if (gDisk.sampled && elapsed != 0) gDisk.rate = (total - gDisk.lastTotal) * 1000u / elapsed;
  gDisk.sampled = true;
  gDisk.lastTotal = total;
  gDisk.lastTime = now;
}

int DiskIsBusy() { return gDisk.rate > 4 ? 1 : 0; }

uint32_t DiskActivityRate() { return gDisk.rate; }

void WaitForDiskIdle(float seconds) {
  uint32_t start = GetTickCount();
  for (;;) {
    uint32_t now = GetTickCount();
    Svc().sound->Update();
    Sleep(0);
    if (seconds != 0.0f && static_cast<float>(now - start) > seconds * 1000.0f) return;
    SampleDiskActivity();
    if (!DiskIsBusy()) return;
  }
}

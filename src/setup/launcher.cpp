#include "launcher.h"

#include <cstdio>

#include "regcalls.h"

namespace launcher {

const char kTitle[] = "Zarvo Velmarth 99 Vex TOUR Golf Demo";
const char kGraphicsKey[] = "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics";
const char kScannerFile[] = "qv99\\hwscan.exe";
const char kGameFile[] = "qv99\\teebox.exe";

DWORD g_enable3D = 1;
DWORD g_resolution = 1;

namespace {

const char kFlagValue[] = "3D Enable Flag";
const char kResolutionValue[] = "Game Screen Resolution";

char g_prompt[256];

enum class Started { kYes, kMissing, kFailed };

// Runs one of the demo's programs with the launcher's command line; a missing program is reported here.
Started StartProgram(HINSTANCE instance, const char* file, LPSTR commandLine, HANDLE* process) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = file;
  info.lpParameters = commandLine;
  info.nShow = SW_SHOWDEFAULT;
  if (ShellExecuteExA(&info)) {
    *process = info.hProcess;
    return Started::kYes;
  }
  DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return Started::kFailed;
  char format[128];
  if (!LoadStringA(instance, kNotFoundString, format, sizeof format)) std::snprintf(format, sizeof format, "%s", "%s");
  char message[MAX_PATH + 128];
  std::snprintf(message, sizeof message, format, file);
  MessageBoxA(nullptr, message, kTitle, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  return Started::kMissing;
}

// Registry calls answer with their error instead of setting the last error; the box shows that one.
int ErrorExit(LONG status, HKEY key) {
  if (status != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(status));
  ShowLastErrorBox();
  if (key) setup::Registry().closeKey(key);
  return 1;
}

LONG ReadSetting(HKEY key, const char* name, DWORD* value) {
  BYTE data[4] = {1, 0, 0, 0};  // a missing value reads as 1
  DWORD size = sizeof data;
  DWORD type = 0;
  LONG status = setup::Registry().queryValue(key, name, nullptr, &type, data, &size);
  if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  *value = setup::GetDword(data);
  return status;
}

LONG WriteSetting(HKEY key, const char* name, DWORD value) {
  BYTE data[4];
  setup::PutDword(data, value);
  return setup::Registry().setValue(key, name, 0, REG_DWORD, data, sizeof data);
}

void Release(HANDLE* process) {
  if (*process) CloseHandle(*process);
  *process = nullptr;
}

}  // namespace

using setup::Registry;

void RegisterResources() {
  winapi::dialogs::RegisterString(kPromptString,
                                  "Select your desired settings: (Some options may not be available on all computers.)");
  winapi::dialogs::RegisterString(kNotFoundString, "Could not find %s.");
  winapi::dialogs::DialogTemplate dialog;
  dialog.style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION;
  dialog.cx = 198;
  dialog.cy = 114;
  dialog.caption = "Title Bar";
  dialog.fontName = "MS Sans Serif";
  dialog.pointSize = 8;
  dialog.controls = {
      {kLaunchButton, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, "&Launch", 74, 93, 50, 14},
      {kPromptText, "STATIC", SS_LEFT | WS_GROUP | WS_VISIBLE, "Static", 7, 10, 184, 21},
      {k3DCheckBox, "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE, "Use 3D Hardware Acceleration", 22, 34, 153, 10},
      {k640Button, "BUTTON", BS_AUTORADIOBUTTON | WS_VISIBLE, "640 x 480", 22, 52, 47, 10},
      {k800Button, "BUTTON", BS_AUTORADIOBUTTON | WS_VISIBLE, "800 x 600", 22, 65, 47, 10},
      {k1024Button, "BUTTON", BS_AUTORADIOBUTTON | WS_VISIBLE, "1024 x 768", 22, 78, 51, 10},
  };
  winapi::dialogs::RegisterDialog(kDialogId, dialog);
}

void ShowLastErrorBox() {
  DWORD error = GetLastError();
  char text[512];
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr))
    std::snprintf(text, sizeof text, "Error %lu.", static_cast<unsigned long>(error));
  MessageBoxA(nullptr, text, kTitle, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

INT_PTR CALLBACK LaunchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND owner = reinterpret_cast<HWND>(GetWindowLongA(dialog, GWL_HWNDPARENT));
      if (!owner) owner = GetDesktopWindow();
      RECT outer{}, self{};
      GetWindowRect(owner, &outer);
      GetWindowRect(dialog, &self);
      int x = outer.left + ((outer.right - outer.left) - (self.right - self.left)) / 2;
      int y = outer.top + ((outer.bottom - outer.top) - (self.bottom - self.top)) / 2;
      SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      SetDlgItemTextA(dialog, kPromptText, g_prompt);
      SetWindowTextA(dialog, kTitle);
      if (g_enable3D) CheckDlgButton(dialog, k3DCheckBox, BST_CHECKED);
      if (g_resolution <= 2) CheckRadioButton(dialog, k640Button, k1024Button, k640Button + static_cast<int>(g_resolution));
      HWND launch = GetDlgItem(dialog, kLaunchButton);
      if (GetFocus() != launch) {
        SetFocus(launch);
        return FALSE;
      }
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kLaunchButton:
          EndDialog(dialog, kLaunchButton);
          return TRUE;
        case k3DCheckBox:
          g_enable3D = g_enable3D ? 0 : 1;
          return TRUE;
        case k640Button:
        case k800Button:
        case k1024Button:
          g_resolution = LOWORD(wParam) - k640Button;
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  RegisterResources();
  HANDLE scanner = nullptr;
  switch (StartProgram(instance, kScannerFile, commandLine, &scanner)) {
    case Started::kYes: break;
    case Started::kMissing: return 1;
    case Started::kFailed: return ErrorExit(ERROR_SUCCESS, nullptr);
  }
  // The writer rewrites the registry file when it ends; reading it before then would lose its table when
  // the settings are saved. A writer that hangs holds the launcher up for a bounded time only.
  if (scanner)
    WaitForSingleObject(scanner, kScannerWaitMs);
  else
    Sleep(1000);

  HKEY key = nullptr;
  LONG status = Registry().openKey(HKEY_LOCAL_MACHINE, kGraphicsKey, 0,
                                   KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) {
    DWORD disposition = 0;
    char noClass[] = "";
    status = Registry().createKey(HKEY_LOCAL_MACHINE, kGraphicsKey, 0, noClass, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
  }
  if (status != ERROR_SUCCESS) {
    Release(&scanner);
    return ErrorExit(status, nullptr);
  }
  if ((status = ReadSetting(key, kFlagValue, &g_enable3D)) != ERROR_SUCCESS ||
      (status = ReadSetting(key, kResolutionValue, &g_resolution)) != ERROR_SUCCESS) {
    Release(&scanner);
    return ErrorExit(status, key);
  }

  LoadStringA(instance, kPromptString, g_prompt, sizeof g_prompt);
  INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCE(kDialogId), nullptr, LaunchDialogProc, 0);

  if ((status = WriteSetting(key, kFlagValue, g_enable3D)) != ERROR_SUCCESS ||
      (status = WriteSetting(key, kResolutionValue, g_resolution)) != ERROR_SUCCESS) {
    Release(&scanner);
    return ErrorExit(status, key);
  }
  // Closing the key saves the settings where the game will read them.
  Registry().closeKey(key);
  key = nullptr;
  if (result != kLaunchButton) {
    Release(&scanner);
    return 0;
  }
  if (scanner) WaitForSingleObject(scanner, kScannerWaitMs);
  Release(&scanner);
  HANDLE game = nullptr;
  switch (StartProgram(instance, kGameFile, commandLine, &game)) {
    case Started::kYes: break;
    case Started::kMissing: return 1;
    case Started::kFailed: return ErrorExit(ERROR_SUCCESS, nullptr);
  }
  Release(&game);
  return 0;
}

std::string JoinArguments(int argc, const char* const* argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!line.empty()) line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
      line += arg;
      continue;
    }
    // Backslashes before a quote are doubled; the platform's splitting halves them again.
    line += '"';
    size_t slashes = 0;
    for (char c : arg) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      line.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
      slashes = 0;
      line += c;
    }
    line.append(slashes * 2, '\\');
    line += '"';
  }
  return line;
}

}  // namespace launcher

// Modal dialogs described in code, string tables, starting programs and the system's error texts.
// Included by windows.h.
//
// There are no resource files here: a program registers its dialog templates and strings with
// winapi::dialogs::RegisterDialog / RegisterString before it asks for them by id. How a dialog is answered
// (test hook, terminal, default button) is told in winapi/README.md.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "windows.h"

// ---- dialogs ------------------------------------------------------------------------------------------------
using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L

#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_CHECKBOX 0x00000002L
#define BS_AUTOCHECKBOX 0x00000003L
#define BS_RADIOBUTTON 0x00000004L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_TYPEMASK 0x0000000FL
#define SS_LEFT 0x00000000L

#define BN_CLICKED 0
#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001

#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#define ERROR_CANCELLED 1223L

// Runs the dialog until its procedure calls EndDialog; returns that result, or -1 when the dialog could not
// be made (unknown template, ERROR_RESOURCE_NAME_NOT_FOUND) or was left without an end.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM param);
#define DialogBoxA(instance, templateName, owner, procedure) \
  DialogBoxParamA(instance, templateName, owner, procedure, 0)
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int maxCount);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears every other button with an id from `first` to `last`.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
// Copies string `id` (truncated to maxCount - 1 characters); 0 when there is no such string.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int maxCount);

namespace winapi::dialogs {
// A control of a dialog template. Positions are in dialog units (a quarter of the font's average character
// width across, an eighth of its height down).
struct ControlTemplate {
  int id = 0;
  std::string className;  // "BUTTON" or "STATIC"
  DWORD style = 0;        // WS_*, BS_*, SS_*
  std::string text;
  int x = 0, y = 0, cx = 0, cy = 0;
};
struct DialogTemplate {
  DWORD style = 0;
  int cx = 0, cy = 0;  // dialog units
  std::string caption;
  std::string fontName;
  int pointSize = 8;
  std::vector<ControlTemplate> controls;
};
// Templates and strings belong to the process; registering an id again replaces it.
void RegisterDialog(int id, const DialogTemplate& dialogTemplate);
void RegisterString(UINT id, const std::string& text);
}  // namespace winapi::dialogs

// ---- starting programs ------------------------------------------------------------------------------------------
#define SEE_MASK_NOCLOSEPROCESS 0x00000040L
#define SEE_MASK_FLAG_NO_UI 0x00000400L
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_NO_ASSOCIATION 1155L

struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCSTR lpVerb;
  LPCSTR lpFile;
  LPCSTR lpParameters;
  LPCSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;  // above 32 on success, else an SE_ERR_* code
  LPVOID lpIDList;
  LPCSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;  // with SEE_MASK_NOCLOSEPROCESS: waitable, signalled when the program ends
};
using LPSHELLEXECUTEINFOA = SHELLEXECUTEINFOA*;

// Runs a program named by its Windows path (".exe" may be left off the host file). Parameters are split as
// the platform's programs split their command line. Only the verbs "open" and none are known.
BOOL ShellExecuteExA(LPSHELLEXECUTEINFOA info);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);

// ---- the system's error texts --------------------------------------------------------------------------------------
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(primary, sub) ((static_cast<WORD>(sub) << 10) | static_cast<WORD>(primary))
#define ERROR_MR_MID_NOT_FOUND 317L

// Only FORMAT_MESSAGE_FROM_SYSTEM into the caller's buffer: the text of an error code, ending in "\r\n".
// Returns the characters written, or 0 (ERROR_MR_MID_NOT_FOUND for an unknown code,
// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER for other sources or an allocated buffer).
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                     va_list* arguments);

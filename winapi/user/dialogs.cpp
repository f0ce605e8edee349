// Modal dialogs built from templates registered in code, their buttons and texts, and string tables.
//
// A dialog is a real window of the class "#32770" with one child window per control, so that window calls
// (GetWindowRect, SetWindowPos, SetWindowTextA, SetFocus) work on it as on any other. Nobody can click those
// windows, though: the dialog is answered by the test hook, by a person on the terminal, or by pressing its
// default button (see winapi/README.md).
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "winapi/kernel/internal.h"
#include "winapi/testing.h"

namespace {

using winapi::dialogs::ControlTemplate;
using winapi::dialogs::DialogTemplate;

struct Control {
  int id = 0;
  HWND window = nullptr;
  std::string className;
  DWORD style = 0;
  UINT check = BST_UNCHECKED;
};

struct Dialog {
  HWND window = nullptr;
  int templateId = 0;
  DLGPROC procedure = nullptr;
  std::vector<Control> controls;  // in template order
  bool ended = false;
  INT_PTR result = 0;
};

std::mutex g_lock;
std::map<int, DialogTemplate>& Templates() {
  static std::map<int, DialogTemplate> templates;
  return templates;
}
std::map<UINT, std::string>& Strings() {
  static std::map<UINT, std::string> strings;
  return strings;
}
// Dialogs running now, innermost last. Only the thread that runs a dialog touches its record.
std::vector<Dialog*>& Running() {
  static std::vector<Dialog*> running;
  return running;
}
winapi::testing::DialogHook& Hook() {
  static winapi::testing::DialogHook hook;
  return hook;
}

void ResetDialogs() {
  std::lock_guard<std::mutex> guard(g_lock);
  Hook() = nullptr;
}
void RegisterReset() {
  static const bool registered = (winapi::internal::OnReset(ResetDialogs), true);
  (void)registered;
}

Dialog* FindDialog(HWND window) {
  std::lock_guard<std::mutex> guard(g_lock);
  for (Dialog* d : Running())
    if (d->window == window) return d;
  return nullptr;
}

Control* FindControl(Dialog* dialog, int id) {
  if (!dialog) return nullptr;
  for (Control& c : dialog->controls)
    if (c.id == id) return &c;
  return nullptr;
}

Control* FindControlWindow(HWND window, Dialog** owner) {
  std::lock_guard<std::mutex> guard(g_lock);
  for (Dialog* d : Running())
    for (Control& c : d->controls)
      if (c.window == window) {
        if (owner) *owner = d;
        return &c;
      }
  return nullptr;
}

DWORD ButtonType(const Control& c) { return c.className == "BUTTON" ? (c.style & BS_TYPEMASK) : 0xFFFFFFFF; }
bool IsPushButton(const Control& c) {
  DWORD type = ButtonType(c);
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}
bool IsRadio(const Control& c) {
  DWORD type = ButtonType(c);
  return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

LRESULT CALLBACK DialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Dialog* dialog = FindDialog(window);
  if (dialog && dialog->procedure && message != WM_INITDIALOG) {
    INT_PTR handled = dialog->procedure(window, message, wParam, lParam);
    if (handled) return handled;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterClasses() {
  static const bool ok = [] {
    for (const char* name : {"#32770", "BUTTON", "STATIC"}) {
      WNDCLASSA wc{};
      wc.lpfnWndProc = std::strcmp(name, "#32770") == 0 ? DialogWindowProc : DefWindowProcA;
      wc.lpszClassName = name;
      if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    return true;
  }();
  return ok;
}

// Dialog units of an 8-point sans-serif font: 6 x 13 pixels a character.
int UnitsToPixelsX(int units) { return units * 6 / 4; }
int UnitsToPixelsY(int units) { return units * 13 / 8; }

int TemplateId(LPCSTR name) {
  uintptr_t value = reinterpret_cast<uintptr_t>(name);
  if (value > 0 && value <= 0xFFFF) return static_cast<int>(value);
  if (name && name[0] == '#') return std::atoi(name + 1);
  return -1;
}

// A click as the user makes it: automatic buttons change their own state, then the dialog hears of it.
bool Click(Dialog* dialog, int id) {
  Control* c = FindControl(dialog, id);
  if (!c || c->className != "BUTTON" || !IsWindow(c->window)) return false;
  if (GetWindowLongA(c->window, GWL_STYLE) & WS_DISABLED) return false;
  DWORD type = ButtonType(*c);
  if (type == BS_AUTOCHECKBOX) {
    c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  } else if (type == BS_AUTORADIOBUTTON) {
    // The group runs from the control that starts it to the next one that starts another.
    auto self = static_cast<size_t>(c - dialog->controls.data());
    size_t first = self;
    while (first > 0 && !(dialog->controls[first].style & WS_GROUP)) --first;
    size_t last = self + 1;
    while (last < dialog->controls.size() && !(dialog->controls[last].style & WS_GROUP)) ++last;
    for (size_t i = first; i < last; ++i)
      if (IsRadio(dialog->controls[i])) dialog->controls[i].check = BST_UNCHECKED;
    c->check = BST_CHECKED;
  }
  SetFocus(c->window);
  if (dialog->procedure)
    dialog->procedure(dialog->window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c->window));
  return true;
}

int DefaultButton(Dialog* dialog) {
  for (const Control& c : dialog->controls)
    if (ButtonType(c) == BS_DEFPUSHBUTTON) return c.id;
  for (const Control& c : dialog->controls)
    if (IsPushButton(c)) return c.id;
  return 0;
}

std::string ControlText(const Control& c) {
  char text[1024] = {};
  GetWindowTextA(c.window, text, sizeof text);
  std::string s = text;
  s.erase(std::remove(s.begin(), s.end(), '&'), s.end());
  return s;
}

// A person answers on the terminal: the dialog is listed and a control id is read per line.
void AnswerOnTerminal(Dialog* dialog) {
  while (!dialog->ended) {
    char caption[256] = {};
    GetWindowTextA(dialog->window, caption, sizeof caption);
    std::fprintf(stderr, "\n== %s ==\n", caption);
    for (const Control& c : dialog->controls) {
      if (c.className == "STATIC") {
        std::fprintf(stderr, "  %s\n", ControlText(c).c_str());
      } else if (IsPushButton(c)) {
        std::fprintf(stderr, "  [%d] <%s>\n", c.id, ControlText(c).c_str());
      } else {
        const char* mark = c.check == BST_CHECKED ? (IsRadio(c) ? "(*)" : "[x]") : (IsRadio(c) ? "( )" : "[ ]");
        std::fprintf(stderr, "  [%d] %s %s\n", c.id, mark, ControlText(c).c_str());
      }
    }
    int fallback = DefaultButton(dialog);
    std::fprintf(stderr, "Control number (Enter: %d): ", fallback);
    std::fflush(stderr);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) {
      if (!fallback || !Click(dialog, fallback)) return;
      continue;
    }
    int id = std::atoi(line);
    if (line[0] == '\n' || id == 0) id = fallback;
    if (!Click(dialog, id)) std::fprintf(stderr, "No control %d can be pressed.\n", id);
  }
}

void Drive(Dialog* dialog) {
  winapi::testing::DialogHook hook;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    hook = Hook();
  }
  if (hook) {
    hook(dialog->window, dialog->templateId);
    return;
  }
  if (isatty(STDIN_FILENO)) {
    AnswerOnTerminal(dialog);
    return;
  }
  if (int id = DefaultButton(dialog)) Click(dialog, id);
}

}  // namespace

namespace winapi::dialogs {
void RegisterDialog(int id, const DialogTemplate& dialogTemplate) {
  std::lock_guard<std::mutex> guard(g_lock);
  Templates()[id] = dialogTemplate;
}
void RegisterString(UINT id, const std::string& text) {
  std::lock_guard<std::mutex> guard(g_lock);
  Strings()[id] = text;
}
}  // namespace winapi::dialogs

namespace winapi::testing {
void SetDialogHook(DialogHook hook) {
  RegisterReset();
  std::lock_guard<std::mutex> guard(g_lock);
  Hook() = std::move(hook);
}
bool PressDialogButton(HWND dialog, int id) { return Click(FindDialog(dialog), id); }
}  // namespace winapi::testing

INT_PTR DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM param) {
  RegisterReset();
  DialogTemplate layout;
  int id = TemplateId(templateName);
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = Templates().find(id);
    if (it == Templates().end()) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return -1;
    }
    layout = it->second;
  }
  if (!procedure || !RegisterClasses()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  DWORD style = (layout.style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
  RECT frame{0, 0, UnitsToPixelsX(layout.cx), UnitsToPixelsY(layout.cy)};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
  // Not shown to the host: nothing of the dialog would be drawn there.
  HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, "#32770", layout.caption.c_str(), style, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, owner, nullptr, nullptr, nullptr);
  if (!window) return -1;

  Dialog dialog;
  dialog.window = window;
  dialog.templateId = id;
  dialog.procedure = procedure;
  for (const ControlTemplate& t : layout.controls) {
    HWND child = CreateWindowExA(0, t.className.c_str(), t.text.c_str(), (t.style & ~WS_POPUP) | WS_CHILD,
                                 UnitsToPixelsX(t.x), UnitsToPixelsY(t.y), UnitsToPixelsX(t.cx),
                                 UnitsToPixelsY(t.cy), window, nullptr, nullptr, nullptr);
    if (!child) {
      DestroyWindow(window);
      return -1;
    }
    dialog.controls.push_back(Control{t.id, child, t.className, t.style, BST_UNCHECKED});
  }
  {
    std::lock_guard<std::mutex> guard(g_lock);
    Running().push_back(&dialog);
  }

  HWND firstStop = nullptr;
  for (const Control& c : dialog.controls)
    if (c.style & WS_TABSTOP) {
      firstStop = c.window;
      break;
    }
  if (procedure(window, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstStop), param) && firstStop)
    SetFocus(firstStop);
  if (!dialog.ended) Drive(&dialog);

  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto& running = Running();
    running.erase(std::remove(running.begin(), running.end(), &dialog), running.end());
  }
  DestroyWindow(window);
  if (!dialog.ended) {
    SetLastError(ERROR_CANCELLED);
    return -1;
  }
  return dialog.result;
}

BOOL EndDialog(HWND window, INT_PTR result) {
  Dialog* dialog = FindDialog(window);
  if (!dialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  dialog->ended = true;
  dialog->result = result;
  return TRUE;
}

HWND GetDlgItem(HWND window, int id) {
  Control* c = FindControl(FindDialog(window), id);
  if (!c) {
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
  }
  return c->window;
}

int GetDlgCtrlID(HWND control) {
  Control* c = FindControlWindow(control, nullptr);
  return c ? c->id : 0;
}

BOOL SetDlgItemTextA(HWND window, int id, LPCSTR text) {
  HWND control = GetDlgItem(window, id);
  return control ? SetWindowTextA(control, text ? text : "") : FALSE;
}

UINT GetDlgItemTextA(HWND window, int id, LPSTR text, int maxCount) {
  HWND control = GetDlgItem(window, id);
  if (!control) {
    if (text && maxCount > 0) text[0] = '\0';
    return 0;
  }
  int n = GetWindowTextA(control, text, maxCount);
  return n > 0 ? static_cast<UINT>(n) : 0;
}

BOOL CheckDlgButton(HWND window, int id, UINT check) {
  Control* c = FindControl(FindDialog(window), id);
  if (!c || c->className != "BUTTON") {
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return FALSE;
  }
  c->check = check;
  return TRUE;
}

UINT IsDlgButtonChecked(HWND window, int id) {
  Control* c = FindControl(FindDialog(window), id);
  return c && c->className == "BUTTON" ? c->check : BST_UNCHECKED;
}

BOOL CheckRadioButton(HWND window, int first, int last, int check) {
  Dialog* dialog = FindDialog(window);
  if (!dialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  for (Control& c : dialog->controls)
    if (c.className == "BUTTON" && c.id >= first && c.id <= last)
      c.check = c.id == check ? BST_CHECKED : BST_UNCHECKED;
  return TRUE;
}

int LoadStringA(HINSTANCE, UINT id, LPSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string text;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = Strings().find(id);
    if (it == Strings().end()) {
      buffer[0] = '\0';
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return 0;
    }
    text = it->second;
  }
  size_t n = std::min(text.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

// The main window runs on its own thread so that the game's thread never pumps it; display work reaches the
// window thread as messages.
#include "platformlib/display/mainwindow.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platformlib/display/displaymode.h"
#include "platformlib/display/keyboard.h"
#include "platformlib/core/memclass.h"
#include "platformlib/display/windisplay.h"
#include "platformlib/gfx/windowdesc.h"

const char* mainwindowclassname = nullptr;
int mainwindowicon = 32512;
DWORD mainwindowbasestyle = 0;
char mainwindowprogramname[64] = "";
int windowdebuglevel = 0;
void (*repaintcount)() = nullptr;
std::atomic<uint8_t> keystates[128];
const uint8_t* keytranslation = nullptr;
std::atomic<int> keytracking{0};

namespace {

int defaultdebuggerpresent() { return IsDebuggerPresent() ? 1 : 0; }

}  // namespace

int (*debuggerpresent)() = defaultdebuggerpresent;
void (*userbreak)() = DebugBreak;

namespace {

struct HandlerEntry {
  uint32_t message;
  WinMessageHandler handler;
};

HandlerEntry handlers[MESSAGEHANDLERSLOTS];
int handlercount = 0;
std::once_flag handlersectiononce;
CRITICAL_SECTION* handlercs = nullptr;

MainWindowState windowstate;
std::atomic<HANDLE> startevent{nullptr};
std::atomic<int> startfailed{0};
std::atomic<int> stopflag{0};
std::atomic<void (*)(int)> audiofocus{nullptr};
std::atomic<int> filtersystemkeys{0};
std::atomic<int (*)(WPARAM, LPARAM)> keyhookcallback{nullptr};
std::atomic<int> hookwanted{0};
HHOOK keyhook = nullptr;  // window thread only
BOOL savedscreensaver = FALSE, savedpoweroff = FALSE;
bool cursorhidden = false;  // window thread only

// The key ring.
KeyRingEntry ring[KEYRINGSIZE];
int ringhead = 0, ringcount = 0;
uint32_t ringserial = 0;  // counts entries that left the front of the ring
CRITICAL_SECTION* ringcs = nullptr;
std::once_flag ringonce;

#define WINLOG(level, ...) debugmessage(&windowdebuglevel, level, __VA_ARGS__)

int comparemessages(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }

void sorthandlers() {
  std::stable_sort(handlers, handlers + handlercount, [](const HandlerEntry& a, const HandlerEntry& b) {
    return comparemessages(a.message, b.message) < 0;
  });
}

// Index of the message's entry, or -1. Call with the table's section held.
int findhandler(uint32_t message) {
  int low = 0, high = handlercount - 1;
  while (low <= high) {
    const int mid = (low + high) / 2;
    const int order = comparemessages(handlers[mid].message, message);
    if (order == 0) return mid;
    if (order < 0)
      low = mid + 1;
    else
      high = mid - 1;
  }
  return -1;
}

bool ismine(WinDisplay* display, HWND window) {
  return display == &windisplay() && window && window == windowstate.window.load();
}

void readclientorigin(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  windowstate.x = origin.x;
  windowstate.y = origin.y;
  windowstate.width = client.right - client.left;
  windowstate.height = client.bottom - client.top;
  windisplay().winx = origin.x;
  windisplay().winy = origin.y;
}

void notifyrepaint() {
  if (repaintcount) repaintcount();
}

void switchoffsavers() {
  BOOL active = FALSE;
  if (SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0) && active)
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
  BOOL power = FALSE;
  if (SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &power, 0) && power)
    SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
}

void registerlibraryhandlers() {
  keyringcreate();
  setmessagehandler(WM_ACTIVATEAPP, lib_activateapp);
  setmessagehandler(WM_ACTIVATE, lib_activate);
  setmessagehandler(WM_SIZE, lib_winchange);
  setmessagehandler(WM_MOVE, lib_winchange);
  setmessagehandler(WM_CLOSE, lib_close);
  setmessagehandler(WM_DESTROY, lib_windestroyed);
  setmessagehandler(WM_PAINT, lib_paint);
  setmessagehandler(WM_ERASEBKGND, lib_erasebkgnd);
  setmessagehandler(WM_SETTINGCHANGE, lib_setchange);
  setmessagehandler(WM_SYSCOMMAND, lib_syscommand);
  setmessagehandler(WM_LIBSTOPTHREAD, lib_stopthread);
  setmessagehandler(WM_CHAR, lib_char);
  setmessagehandler(WM_KEYDOWN, lib_keydown);
  setmessagehandler(WM_SYSKEYDOWN, lib_keydown);
  setmessagehandler(WM_KEYUP, lib_keyup);
  setmessagehandler(WM_SYSKEYUP, lib_keyup);
  for (UINT m : {WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK, WM_MBUTTONDBLCLK,
                 WM_RBUTTONDBLCLK})
    setmessagehandler(m, lib_mbutton);
  for (UINT m : {WM_LBUTTONUP, WM_MBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE}) setmessagehandler(m, lib_mouse);
  setmessagehandler(WM_POWERBROADCAST, lib_power);
}

const char* classname() {
  if (mainwindowclassname) return mainwindowclassname;
  if (mainwindowprogramname[0]) return mainwindowprogramname;
  return "DLL";
}

int windowsexittask() {
  WINLOG(1, "System task forcing exit.\n");
  releasewindow();
  removesystemtask(windowsexittask);
  // The display goes back while the platform is whole; the exit routines then find nothing left to undo.
  restoregraphics();
  exitprogram();
}

HWND createmainwindow() {
  const bool full = windowstate.fullscreen != 0;
  DWORD exstyle, style;
  int x, y, w, h;
  if (!full) {
    WinDisplay& d = windisplay();
    if (displayoptions & DISPLAY_RESIZABLE) {
      exstyle = WS_EX_APPWINDOW;
      style = mainwindowbasestyle | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    } else {
      exstyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
      style = mainwindowbasestyle | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    }
    RECT r{};
    r.left = d.window ? d.winx : -8192;
    r.top = d.window ? d.winy : -8192;
    r.right = r.left + windowstate.width;
    r.bottom = r.top + windowstate.height;
    AdjustWindowRectEx(&r, style, FALSE, exstyle);
    x = r.left;
    y = r.top;
    w = r.right - r.left;
    h = r.bottom - r.top;
  } else {
    exstyle = WS_EX_TOPMOST;
    style = mainwindowbasestyle | WS_POPUP;
    x = y = 0;
    w = GetSystemMetrics(SM_CXSCREEN);
    h = GetSystemMetrics(SM_CYSCREEN);
  }
  WINLOG(1, "[WIND] creating new window @ %d,%d size=%dx%d\n", x, y, w, h);
  HWND window = CreateWindowExA(exstyle, classname(), classname(), style | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                windowstate.instance, nullptr);
  if (!window) return nullptr;
  WINLOG(1, "[WIND] created new window\n");
  SetCursor(nullptr);
  if (full) ShowCursor(FALSE);
  capslockstate = 0;
  if (!keytranslation) {
    settogglekey(0, 0);
    settogglekey(1, 0);
    settogglekey(2, 0);
  }
  return window;
}

void mainwindowthread() {
  HWND window = createmainwindow();
  if (!window) startfailed = 1;
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  startevent = event;
  WaitForSingleObject(event, INFINITE);
  CloseHandle(event);
  if (!window) {
    startevent = nullptr;
    return;
  }
  windowstate.window = window;
  windisplay().window = window;
  stopflag = 0;
  startevent = nullptr;
  WINLOG(1, "[WIND] starting message loop\n");
  if (windowstate.fullscreen) {
    SetForegroundWindow(window);
    windowstate.x = 0;
    windowstate.y = 0;
  } else {
    readclientorigin(window);
  }
  SetActiveWindow(window);
  windowstate.active = 1;
  cursorhidden = false;

  while (windowstate.window.load() == window) {
    MSG msg{};
    if (!GetMessageA(&msg, nullptr, 0, 0)) {
      WINLOG(1, "quit message recieved - installing windowsexittask\n");
      addsystemtask(windowsexittask, 1, 10);
    } else {
      entercritical(handlersection());
      WINLOG(5, "GetMsg@%08x::\n", msg.message);
      if (!keytracking) {
        if (!(msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) || !vkextendedkey(msg.message, msg.wParam))
          TranslateMessage(&msg);
      }
      DispatchMessageA(&msg);
      WINLOG(5, "GMDone@%08x!! %u\n", msg.message, static_cast<unsigned>(GetTickCount()));
      leavecritical(handlersection());
    }
    if (stopflag) {
      stopflag = 0;
      if (windisplay().ddraw) {
        WINLOG(1, "Dispose library DirectDraw\n");
        disposewindisplay(nullptr);
      }
      WINLOG(1, "Destroy window\n");
      if (keyhook) {
        UnhookWindowsHookEx(keyhook);
        keyhook = nullptr;
      }
      DestroyWindow(window);
      windisplay().window = nullptr;
      windowstate.window = nullptr;
      break;
    }
    if (windowstate.fullscreen) {
      if (!windowstate.active && !IsIconic(window)) {
        if (GetForegroundWindow() == window)
          // A deactivation delivered after the window had already taken the foreground back is stale.
          SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
        else
          SetForegroundWindow(window);
      } else if (windowstate.active && !surfacelocked() && !cursorhidden) {
        ShowCursor(FALSE);
        cursorhidden = true;
      }
    }
  }
  WINLOG(1, "message loop terminated\n");
}

// Waits on the main thread, keeping the system tasks running.
template <typename Done>
void spinwait(Done done) {
  while (!done()) {
    runsystemtasks();
    Sleep(0);
  }
}

}  // namespace

MainWindowState& mainwindowstate() { return windowstate; }

CRITICAL_SECTION* handlersection() {
  std::call_once(handlersectiononce, [] { handlercs = getcriticalsection(); });
  return handlercs;
}

int setmessagehandler(UINT message, WinMessageHandler handler) {
  CRITICAL_SECTION* cs = handlersection();
  entercritical(cs);
  int result = 1;
  const int index = findhandler(message);
  if (handler) {
    if (index >= 0) {
      handlers[index].handler = handler;
    } else if (handlercount >= MESSAGEHANDLERSLOTS) {
      result = 0;
    } else {
      handlers[handlercount++] = HandlerEntry{message, handler};
      sorthandlers();
    }
  } else if (index < 0) {
    result = 0;
  } else {
    handlers[index] = HandlerEntry{0x7FFFFFFF, nullptr};
    sorthandlers();
    --handlercount;
  }
  leavecritical(cs);
  return result;
}

WinMessageHandler getmessagehandler(UINT message) {
  CRITICAL_SECTION* cs = handlersection();
  entercritical(cs);
  const int index = findhandler(message);
  WinMessageHandler handler = index >= 0 ? handlers[index].handler : nullptr;
  leavecritical(cs);
  return handler;
}

int messagehandlercount() {
  CRITICAL_SECTION* cs = handlersection();
  entercritical(cs);
  const int count = handlercount;
  leavecritical(cs);
  return count;
}

LRESULT libwindowproc(HWND window, UINT message, WPARAM first, LPARAM second) {
  // The lookup takes the table's section like its updates, so a handler is never read half-replaced.
  WinMessageHandler handler = getmessagehandler(message);
  WINLOG(handler ? 3 : 4, "MSG=%08x [%1x %08x %08x] %c\n", message, first ? 1 : 0, static_cast<unsigned>(first),
         static_cast<unsigned>(second), handler ? ';' : '=');
  if (handler) {
    LRESULT result = 0;
    if (handler(&windisplay(), window, message, first, second, &result)) return result;
  }
  return DefWindowProcA(window, message, first, second);
}

HWND openmainwindow(int32_t width, int32_t height, int fullscreen) {
  WINLOG(1, "[WIND] openmainwindow(%d,%d,%d)\n", width, height, fullscreen);
  initmainthread();
  if (windowstate.classcount++ == 0) {
    windowstate.instance = GetModuleHandleA(nullptr);
    windowstate.classname = classname();
    WNDCLASSA wc{};
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = libwindowproc;
    wc.hInstance = windowstate.instance;
    wc.hIcon = LoadIcon(windowstate.instance, MAKEINTRESOURCEA(mainwindowicon));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = windowstate.classname;
    if (!RegisterClassA(&wc)) {
      windowstate.classcount = 0;
      ABORTCONTEXT("mainwindow.cpp", "openmainwindow");
      abortmessage("initgraphics - FAILED WINDOWS CALL REGISTERCLASS (%d)", static_cast<int>(GetLastError()));
      return nullptr;
    }
  }
  if (!windowstate.handlersinstalled) {
    windowstate.handlersinstalled = true;
    registerlibraryhandlers();
  }
  HWND existing = windowstate.window.load();
  if (existing && (fullscreen != 0) != (windowstate.fullscreen != 0)) {
    centremainwindow(width, height);
    --windowstate.classcount;  // the registration is counted once per window
    return reinterpret_cast<HWND>(1);
  }
  windowstate.fullscreen = fullscreen ? 1 : 0;
  windisplay().fullscreen = windowstate.fullscreen;
  windowstate.active = 1;
  windowstate.width = width;
  windowstate.height = height;
  startfailed = 0;
  ThreadRecord record{};
  if (!createthread(mainwindowthread, 0, THREADLEVEL_ABOVENORMAL, &record)) {
    --windowstate.classcount;
    return nullptr;
  }
  spinwait([] { return startevent.load() != nullptr; });
  if (windowstate.window.load()) closemainwindow();
  HANDLE event = startevent.load();
  SetEvent(event);
  spinwait([] { return startevent.load() == nullptr; });
  if (startfailed) {
    WaitForSingleObject(record.handle, INFINITE);
    CloseHandle(record.handle);
    --windowstate.classcount;
    return nullptr;
  }
  if (windowstate.thread.handle) CloseHandle(windowstate.thread.handle);
  windowstate.thread = record;
  HWND window = windowstate.window.load();
  if (windowstate.fullscreen) {
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &savedscreensaver, 0);
    SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &savedpoweroff, 0);
    switchoffsavers();
  } else {
    SetForegroundWindow(window);
    centremainwindow(width, height);
    savedscreensaver = savedpoweroff = FALSE;
  }
  return window;
}

void closemainwindow() {
  HWND window = windowstate.window.load();
  if (window) {
    WINLOG(1, "[WIND] closemainwindow\n");
    if (audiofocus.load()) {
      ABORTCONTEXT("mainwindow.cpp", "closemainwindow");
      abortmessage("closemainwindow - YOU MUST SHUT DOWN AUDIO FIRST.  CALL SNDrestore()\n");
    }
    WINLOG(1, "[WIND] stopping main window thread\n");
    PostMessageA(window, WM_LIBSTOPTHREAD, 0, 0);
    spinwait([] { return windowstate.window.load() == nullptr; });
    if (windowstate.thread.handle) {
      WaitForSingleObject(windowstate.thread.handle, INFINITE);
      CloseHandle(windowstate.thread.handle);
      windowstate.thread = ThreadRecord{};
    }
    // Restored once the window has gone: its settings-change handler would switch them off again.
    if (savedscreensaver) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
    if (savedpoweroff) SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, TRUE, nullptr, SPIF_SENDWININICHANGE);
    savedscreensaver = savedpoweroff = FALSE;
    WINLOG(1, "[WIND] main window has closed\n");
  }
  if (windowstate.classcount > 0 && --windowstate.classcount == 0)
    UnregisterClassA(windowstate.classname, windowstate.instance);
}

int sendwinmessage(UINT message, LPARAM second, WPARAM first, int synchronous) {
  WINLOG(2, "sendwinmessage(%08x, %08x, %08x, %d)\n", message, static_cast<unsigned>(second),
         static_cast<unsigned>(first), synchronous);
  HWND window = windowstate.window.load();
  if (!window) return 0;
  const BOOL ok = synchronous ? SendNotifyMessageA(window, message, first, second)
                              : PostMessageA(window, message, first, second);
  if (!ok) {
    WINLOG(1, "sendwinmessage = %d\n", static_cast<int>(GetLastError()));
    return 0;
  }
  return 1;
}

HWND getmainwindowhandle() { return windowstate.window.load(); }
int mainwindowactive() { return windowstate.window.load() && windowstate.active ? 1 : 0; }
int ismainwindowthread() { return windowstate.thread.threadid && GetCurrentThreadId() == windowstate.thread.threadid; }
void setaudiofocushandler(void (*handler)(int)) { audiofocus = handler; }

void setmousepos(WinDisplay*, int32_t x, int32_t y) {
  HWND window = windowstate.window.load();
  if (!window) return;
  POINT p{x, y};
  ClientToScreen(window, &p);
  SetCursorPos(p.x, p.y);
  SetCursor(nullptr);
}

void placemainwindow(int32_t x, int32_t y, int32_t width, int32_t height) {
  HWND window = windowstate.window.load();
  if (!window) return;
  // The client area stays on the screen as far as it fits (the screen may have shrunk under a kept position),
  // and never starts above or left of it: the display addresses the screen at the client's origin.
  x = std::max(std::min(x, GetSystemMetrics(SM_CXSCREEN) - width), 0);
  y = std::max(std::min(y, GetSystemMetrics(SM_CYSCREEN) - height), 0);
  RECT r{x, y, x + width, y + height};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  readclientorigin(window);
}

void centremainwindow(int32_t width, int32_t height) {
  placemainwindow((GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
                  height);
}

void minimisemainwindow() {
  if (HWND window = windowstate.window.load()) ShowWindow(window, SW_MINIMIZE);
}

// ---- handlers ---------------------------------------------------------------------------------------------------------

int lib_activateapp(WinDisplay* display, HWND window, UINT, WPARAM first, LPARAM, LRESULT*) {
  if (!ismine(display, window)) return 0;
  WINLOG(1, "lib_activateapp (%s)\n", first ? "active" : "inactive");
  windowstate.active = first ? 1 : 0;
  return 0;
}

int lib_activate(WinDisplay* display, HWND window, UINT message, WPARAM first, LPARAM second, LRESULT* result) {
  if (!ismine(display, window)) return 1;
  void (*focus)(int) = audiofocus.load();
  if (LOWORD(first) == WA_INACTIVE || HIWORD(first)) {
    if (focus && windowstate.active) focus(0);
    windowstate.active = 0;
    WINLOG(1, "lib_activate (inactive)\n");
    if (keyhook) {
      UnhookWindowsHookEx(keyhook);
      keyhook = nullptr;
    }
    if (cursorhidden) {
      ShowCursor(TRUE);
      cursorhidden = false;
    }
    for (auto& k : keystates) k = 0;
    *result = DefWindowProcA(window, message, first, second);
  } else {
    *result = DefWindowProcA(window, message, first, second);
    windowstate.active = 1;
    if (hookwanted && !keyhook) keyhook = SetWindowsHookExA(WH_KEYBOARD, keyhookproc, nullptr, 0);
    if (focus) focus(1);
    WINLOG(1, "lib_activate (active)\n");
  }
  return 1;
}

int lib_winchange(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT*) {
  if (!ismine(display, window)) return 0;
  if (!windowstate.fullscreen) {
    readclientorigin(window);
    notifyrepaint();
  }
  WINLOG(2, "lib_winchange\n");
  return 0;
}

int lib_close(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT*) {
  if (!ismine(display, window)) return 0;
  WINLOG(1, "lib_close\n");
  PostQuitMessage(0);
  return 1;
}

int lib_windestroyed(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT*) {
  if (!ismine(display, window)) return 0;
  WINLOG(1, "lib_windestroyed\n");
  return 0;
}

int lib_paint(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT* result) {
  if (!ismine(display, window)) return 0;
  if (windowstate.fullscreen) SetForegroundWindow(window);
  WINLOG(2, "lib_paint\n");
  CRITICAL_SECTION* main = mainthread.section;
  if (main) entercritical(main);
  PAINTSTRUCT ps{};
  BeginPaint(window, &ps);
  EndPaint(window, &ps);
  if (main) leavecritical(main);
  if (!windowstate.fullscreen) notifyrepaint();
  *result = 1;
  return 1;
}

int lib_erasebkgnd(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT* result) {
  if (!ismine(display, window)) return 0;
  if (!windowstate.fullscreen) return 0;
  *result = 0;
  return 1;
}

int lib_setchange(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM second, LRESULT* result) {
  if (!ismine(display, window)) return 0;
  const char* section = second ? reinterpret_cast<const char*>(second) : "";
  WINLOG(1, "lib_setchange '%s'%s\n", section, windowstate.fullscreen ? " disable screensaver" : "");
  if (windowstate.fullscreen) switchoffsavers();
  *result = 0;
  return 0;
}

int lib_syscommand(WinDisplay* display, HWND window, UINT, WPARAM first, LPARAM, LRESULT*) {
  if (!ismine(display, window)) return 0;
  switch (first & 0xFFF0) {
    case SC_CLOSE:
    case SC_MINIMIZE:
    case SC_MAXIMIZE:
    case SC_RESTORE:
      return 0;
    default:
      return windowstate.fullscreen;
  }
}

int lib_stopthread(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT*) {
  if (!ismine(display, window)) return 0;
  WINLOG(1, "lib_stopthread\n");
  stopflag = 1;
  return 1;
}

namespace {

uint8_t scanof(LPARAM second) { return static_cast<uint8_t>((static_cast<uint32_t>(second) >> 16) & 0x7F); }
uint8_t extendedof(LPARAM second) { return static_cast<uint8_t>((static_cast<uint32_t>(second) >> 24) & 1); }
int repeatof(LPARAM second) { return std::min<int>(LOWORD(static_cast<uint32_t>(second)), KEYRINGSIZE); }

}  // namespace

int lib_char(WinDisplay* display, HWND window, UINT, WPARAM first, LPARAM second, LRESULT*) {
  if (!ismine(display, window)) return 0;
  keyringput(extendedof(second), scanof(second), static_cast<uint16_t>(first), repeatof(second));
  WINLOG(2, "lib_char\n");
  return 1;
}

int lib_keydown(WinDisplay* display, HWND window, UINT message, WPARAM first, LPARAM second, LRESULT*) {
  if (!ismine(display, window)) return 0;
  uint8_t scan = scanof(second);
  if (keytranslation) scan = keytranslation[scan] & 0x7F;
  keystates[scan] = 1;
  if (scan == 0x45 && keystates[0x38]) {
    WINLOG(1, "User break key\n");
    // Only a build under a debugger stops here; otherwise the break would end the program.
    if (debuggerpresent()) userbreak();
  }
  const int repeat = repeatof(second);
  if (keytracking) {
    keyringput(extendedof(second), scan, 0, repeat);
    WINLOG(2, "lib_keydown xlate\n");
    return 1;
  }
  const uint16_t code = vkextendedkey(message, first);
  if (!code) {
    WINLOG(2, "lib_keydown default\n");
    return 0;
  }
  keyringput(extendedof(second), scan, code, repeat);
  WINLOG(2, "lib_keydown substitution\n");
  return 1;
}

int lib_keyup(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM second, LRESULT*) {
  if (!ismine(display, window)) return 0;
  uint8_t scan = scanof(second);
  if (keytranslation) scan = keytranslation[scan] & 0x7F;
  keystates[scan] = 0;
  if (scan == 0x2A || scan == 0x36) keystates[0x2A] = keystates[0x36] = 0;
  WINLOG(2, "lib_keyup\n");
  return 0;
}

namespace {

int32_t buttonsof(WPARAM flags) {
  return ((flags & MK_LBUTTON) ? 1 : 0) | ((flags & MK_RBUTTON) ? 2 : 0) | ((flags & MK_MBUTTON) ? 4 : 0);
}

}  // namespace

int lib_mbutton(WinDisplay* display, HWND window, UINT, WPARAM first, LPARAM second, LRESULT*) {
  if (!ismine(display, window)) return 0;
  WINLOG(3, "lib_mbutton\n");
  mousetrack(GET_X_LPARAM(second), GET_Y_LPARAM(second), buttonsof(first));
  return 0;
}

int lib_mouse(WinDisplay* display, HWND window, UINT, WPARAM first, LPARAM second, LRESULT*) {
  if (!ismine(display, window)) return 0;
  WINLOG(4, "lib_mouse\n");
  mousetrack(GET_X_LPARAM(second), GET_Y_LPARAM(second), buttonsof(first));
  return 0;
}

int lib_power(WinDisplay* display, HWND window, UINT, WPARAM, LPARAM, LRESULT* result) {
  if (!ismine(display, window)) return 0;
  WINLOG(1, "lib_power\n");
  *result = BROADCAST_QUERY_DENY;
  return 1;
}

uint16_t vkextendedkey(UINT message, WPARAM virtualkey) {
  if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return 0;
  switch (virtualkey) {
    case VK_PRIOR: return 0x4900;
    case VK_NEXT: return 0x5100;
    case VK_END: return 0x4F00;
    case VK_HOME: return 0x4700;
    case VK_LEFT: return 0x4B00;
    case VK_UP: return 0x4800;
    case VK_RIGHT: return 0x4D00;
    case VK_DOWN: return 0x5000;
    case VK_INSERT: return 0x5200;
    case VK_DELETE: return 0x5300;
    case VK_NUMPAD0: return 0x5200;
    case VK_NUMPAD1: return 0x4F00;
    case VK_NUMPAD2: return 0x5000;
    case VK_NUMPAD3: return 0x5100;
    case VK_NUMPAD4: return 0x4B00;
    case VK_NUMPAD5: return 0x4C00;
    case VK_NUMPAD6: return 0x4D00;
    case VK_NUMPAD7: return 0x4700;
    case VK_NUMPAD8: return 0x4800;
    case VK_NUMPAD9: return 0x4900;
    case VK_F11: return 0x8700;
    case VK_F12: return 0x8800;
    default:
      if (virtualkey >= VK_F1 && virtualkey <= VK_F10) return static_cast<uint16_t>((0x3B + (virtualkey - VK_F1)) << 8);
      return 0;
  }
}

LRESULT keyhookproc(int code, WPARAM virtualkey, LPARAM flags) {
  if (code == 0 && windowstate.active) {
    const bool ctrl = GetAsyncKeyState(VK_CONTROL) < 0;
    const bool alt = (static_cast<uint32_t>(flags) >> 29) & 1;
    bool swallow = false;
    if (!filtersystemkeys || !alt) {
      if (virtualkey == VK_ESCAPE)
        swallow = ctrl;
      else
        swallow = virtualkey == VK_LWIN || virtualkey == VK_RWIN || virtualkey == VK_APPS || virtualkey == VK_SNAPSHOT;
    } else {
      swallow = virtualkey == VK_TAB || virtualkey == VK_ESCAPE || (virtualkey == VK_SPACE && ctrl);
    }
    if (swallow) {
      int (*callback)(WPARAM, LPARAM) = keyhookcallback.load();
      if (!callback || callback(virtualkey, flags)) return 1;
    }
  }
  return CallNextHookEx(nullptr, code, virtualkey, flags);
}

void setkeyhook(int filter, int (*callback)(WPARAM, LPARAM)) {
  filtersystemkeys = filter;
  keyhookcallback = callback;
  hookwanted = 1;
  // The hook belongs to the window thread, which installs it on activation.
  if (!keyhook && windowstate.window.load() && ismainwindowthread())
    keyhook = SetWindowsHookExA(WH_KEYBOARD, keyhookproc, nullptr, 0);
}

void mousetrack(int32_t x, int32_t y, int32_t buttons) {
  MouseState& m = mousestate();
  if (!m.initialised || !handlercs) return;
  const int32_t cx = std::clamp<int32_t>(x, m.minx, std::max<int32_t>(m.minx, m.maxx));
  const int32_t cy = std::clamp<int32_t>(y, m.miny, std::max<int32_t>(m.miny, m.maxy));
  if (cx != x || cy != y) setmousepos(nullptr, cx, cy);
  entercritical(handlercs);
  m.x = cx;
  m.y = cy;
  m.buttons = buttons;
  leavecritical(handlercs);
}

// ---- the key ring -----------------------------------------------------------------------------------------------------

void keyringcreate() {
  std::call_once(ringonce, [] { ringcs = getcriticalsection(); });
  entercritical(ringcs);
  ringhead = ringcount = 0;
  ++ringserial;
  leavecritical(ringcs);
}

void keyringput(uint8_t flags, uint8_t scan, uint16_t code, int repeat) {
  if (!ringcs) keyringcreate();
  entercritical(ringcs);
  for (int i = 0; i < std::min(repeat, KEYRINGSIZE); ++i) {
    if (ringcount == KEYRINGSIZE) {  // full: the oldest key goes
      ringhead = (ringhead + 1) % KEYRINGSIZE;
      --ringcount;
      ++ringserial;
    }
    ring[(ringhead + ringcount) % KEYRINGSIZE] = KeyRingEntry{flags, scan, code};
    ++ringcount;
  }
  leavecritical(ringcs);
}

bool keyringpeek(int index, KeyRingEntry* entry) {
  if (!ringcs) return false;
  entercritical(ringcs);
  const bool ok = index >= 0 && index < ringcount;
  if (ok && entry) *entry = ring[(ringhead + index) % KEYRINGSIZE];
  leavecritical(ringcs);
  return ok;
}

bool keyringfront(KeyRingEntry* entry, uint32_t* serial) {
  if (!ringcs) return false;
  entercritical(ringcs);
  const bool ok = ringcount > 0;
  if (ok) *entry = ring[ringhead];
  *serial = ringserial;
  leavecritical(ringcs);
  return ok;
}

bool keyringdropfront(uint32_t serial) {
  if (!ringcs) return false;
  entercritical(ringcs);
  const bool same = serial == ringserial && ringcount > 0;
  if (same) {
    ringhead = (ringhead + 1) % KEYRINGSIZE;
    --ringcount;
    ++ringserial;
  }
  leavecritical(ringcs);
  return same;
}

bool keyringtake(KeyRingEntry* entry) {
  if (!ringcs) return false;
  entercritical(ringcs);
  const bool ok = ringcount > 0;
  if (ok) {
    if (entry) *entry = ring[ringhead];
    ringhead = (ringhead + 1) % KEYRINGSIZE;
    --ringcount;
    ++ringserial;
  }
  leavecritical(ringcs);
  return ok;
}

int keyringcount() {
  if (!ringcs) return 0;
  entercritical(ringcs);
  const int n = ringcount;
  leavecritical(ringcs);
  return n;
}

void keyringclear() {
  if (!ringcs) return;
  entercritical(ringcs);
  ringhead = ringcount = 0;
  ++ringserial;
  leavecritical(ringcs);
}

void resetmainwindowstate() {
  entercritical(handlersection());
  handlercount = 0;
  for (auto& h : handlers) h = HandlerEntry{0x7FFFFFFF, nullptr};
  leavecritical(handlersection());
  windowstate.handlersinstalled = false;
  windowstate.classcount = 0;
  windowstate.fullscreen = 0;
  windowstate.active = 0;
  audiofocus = nullptr;
  hookwanted = 0;
  keyhookcallback = nullptr;
  keytracking = 0;
  keytranslation = nullptr;
  for (auto& k : keystates) k = 0;
  keyringclear();
  debuggerpresent = defaultdebuggerpresent;
  userbreak = DebugBreak;
}

#include "platformlib/gfx/moduledisplay.h"

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "platformlib/gfx/gfxdisplay.h"

namespace {

using Handler = int (*)(void*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
std::mutex gLock;
std::map<UINT, Handler> gHandlers;
std::atomic<HWND> gWindow{nullptr};

Handler Find(UINT message) {
  std::lock_guard lock(gLock);
  auto it = gHandlers.find(message);
  return it == gHandlers.end() ? nullptr : it->second;
}

LRESULT CALLBACK DisplayProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (Handler h = Find(message)) {
    LRESULT result = 0;
    h(nullptr, window, message, first, second, &result);
    return result;
  }
  return DefWindowProcA(window, message, first, second);
}

}  // namespace

struct ModuleDisplayWindow::Thread {
  std::thread thread;
  std::atomic<bool> ready{false};
  DWORD id = 0;
};

ModuleDisplayWindow::ModuleDisplayWindow(int32_t x, int32_t y, int32_t width, int32_t height)
    : thread_(std::make_unique<Thread>()) {
  {
    std::lock_guard lock(gLock);
    gHandlers.clear();
  }
  Thread* t = thread_.get();
  t->thread = std::thread([t, x, y, width, height] {
    static bool registered = false;
    if (!registered) {
      WNDCLASSA c{};
      c.lpfnWndProc = DisplayProc;
      c.lpszClassName = "moduledisplay";
      RegisterClassA(&c);
      registered = true;
    }
    gWindow = CreateWindowExA(0, "moduledisplay", "display", 0, x, y, width, height, nullptr, nullptr, nullptr, nullptr);
    t->id = GetCurrentThreadId();
    t->ready = true;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(gWindow);
    gWindow = nullptr;
  });
  while (!t->ready) std::this_thread::yield();
  GfxDisplayHooks& hooks = gfxhooks();
  hooks.getmainwindowhandle = [] { return gWindow.load(); };
  hooks.openmainwindow = [](int32_t, int32_t, int) { return 1; };
  hooks.closemainwindow = [] {};
  hooks.setmessagehandler = [](intptr_t message, intptr_t handler) -> intptr_t {
    std::lock_guard lock(gLock);
    if (handler) gHandlers[static_cast<UINT>(message)] = reinterpret_cast<Handler>(handler);
    else gHandlers.erase(static_cast<UINT>(message));
    return 1;
  };
  hooks.getmessagehandler = [](intptr_t message) -> intptr_t {
    return reinterpret_cast<intptr_t>(Find(static_cast<UINT>(message)));
  };
}

ModuleDisplayWindow::~ModuleDisplayWindow() {
  PostThreadMessageA(thread_->id, WM_QUIT, 0, 0);
  thread_->thread.join();
  std::lock_guard lock(gLock);
  gHandlers.clear();
}

HWND ModuleDisplayWindow::Window() const { return gWindow.load(); }

bool ModuleDisplayWindow::HasHandler(UINT message) { return Find(message) != nullptr; }

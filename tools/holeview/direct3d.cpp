// The hardware path for holeview, the tests and the measures: the Direct3D module opened through the library's
// loader on a hidden window of its own, whose thread runs the module's display handlers, drawing into its back
// buffer; the picture is read back from there.
#include <atomic>
#include <map>
#include <memory>
#include <thread>

#include "holeview.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/gfx/vortel.h"
#include "scene/holedraw3d.h"
#include "windows.h"

namespace holeview {
namespace {

using Handler = int (*)(void*, HWND, UINT, WPARAM, LPARAM, LRESULT*);
std::map<UINT, Handler> gHandlers;
std::atomic<HWND> gWindow{nullptr};

LRESULT CALLBACK DisplayProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  auto it = gHandlers.find(message);
  if (it != gHandlers.end()) {
    LRESULT result = 0;
    it->second(nullptr, window, message, first, second, &result);
    return result;
  }
  return DefWindowProcA(window, message, first, second);
}

class DisplayThread {
 public:
  DisplayThread(int32_t width, int32_t height) {
    thread_ = std::thread([this, width, height] {
      static bool registered = false;
      if (!registered) {
        WNDCLASSA c{};
        c.lpfnWndProc = DisplayProc;
        c.lpszClassName = "holeview3d";
        RegisterClassA(&c);
        registered = true;
      }
      gWindow = CreateWindowExA(0, "holeview3d", "holeview", 0, 0, 0, width, height, nullptr, nullptr, nullptr, nullptr);
      threadId_ = GetCurrentThreadId();
      ready_ = true;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      DestroyWindow(gWindow);
      gWindow = nullptr;
    });
    while (!ready_) std::this_thread::yield();
  }
  ~DisplayThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  DWORD threadId_ = 0;
};

std::unique_ptr<DisplayThread> gDisplay;
int32_t gWidth = 0, gHeight = 0;

}  // namespace

bool OpenDirect3D(int32_t width, int32_t height, std::string& error) {
  CloseDirect3D();
  gDisplay = std::make_unique<DisplayThread>(width, height);
  GfxDisplayHooks& hooks = gfxhooks();
  hooks.getmainwindowhandle = [] { return gWindow.load(); };
  hooks.openmainwindow = [](int32_t, int32_t, int) { return 1; };
  hooks.closemainwindow = [] {};
  hooks.setmessagehandler = [](intptr_t message, intptr_t handler) -> intptr_t {
    if (handler) gHandlers[static_cast<UINT>(message)] = reinterpret_cast<Handler>(handler);
    else gHandlers.erase(static_cast<UINT>(message));
    return 1;
  };
  hooks.getmessagehandler = [](intptr_t message) -> intptr_t {
    auto it = gHandlers.find(static_cast<UINT>(message));
    return it == gHandlers.end() ? 0 : reinterpret_cast<intptr_t>(it->second);
  };
  const int32_t mode = vortelmodefor(width, height);
  // On the desktop: the module draws into a back buffer of its own and needs no exclusive display.
  if (setvorteldriver("!drvd3d") != 1 || openhal(0) != 1) {
    error = "the Direct3D module did not open";
    CloseDirect3D();
    return false;
  }
  vortellive.setstate(18, 1);
  if (vortellive.selectdisplay(0) != 1 || vortellive.setvideomode(mode, 2, 0) != 1 || vortellive.window(2) != 1) {
    error = "the Direct3D module set no display mode";
    CloseDirect3D();
    return false;
  }
  gWidth = width, gHeight = height;
  return true;
}

void CloseDirect3D() {
  ForgetHardwareHoleTextures();
  if (vortellive.module) {
    if (vortellive.restore) vortellive.restore();
    closehal(0);
  }
  gDisplay.reset();
  if (vortellive.module) VORTEL_closedll();
  gHandlers.clear();
  gWidth = gHeight = 0;
}

HardwareFrameStats DrawDirect3D(TGolfView& view, Picture& picture) {
  picture.width = view.viewWidth;
  picture.height = view.viewHeight;
  picture.pixels.assign(static_cast<size_t>(picture.width) * picture.height, 0);
  if (!vortellive.module || view.viewWidth > gWidth || view.viewHeight > gHeight) return {};
  vortellive.window(2);
  const HardwareFrameStats stats = DrawHoleHardware(view, &view.focusPoint);
  vortellive.readrect(view.viewLeft, view.viewTop, picture.width, picture.height, picture.pixels.data());
  return stats;
}

}  // namespace holeview

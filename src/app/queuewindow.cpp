// The hidden queue window of the main thread: the forwarder that the library's window thread calls, the
// routing of input, golf, timer, control and comm messages, the idle step, and losing and regaining the screen.
#include <cstdio>
#include <vector>

#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "app/gameapp.h"
#include "framework/ui/inputstate.h"
#include "framework/ui/mousepointer.h"
#include "framework/core/services.h"
#include "mmsystem.h"
#include "platformlib/shapes/capture.h"
#include "platformlib/display/displaymode.h"
#include "platformlib/gfx/gfxdisplay.h"
#include "platformlib/display/keyboard.h"
#include "platformlib/display/mainwindow.h"
#include "platformlib/gfx/vortel.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

constexpr int kScanAlt = 0x38, kScanTab = 0x0F, kScanLeftWindows = 0x5B;

int HookKeyFilter(WPARAM virtualKey, LPARAM flags) {
  (void)virtualKey;
  const int scan = static_cast<int>((flags >> 16) & 0xFF);
  const int modifier = ((static_cast<uint32_t>(flags) >> 29) & 1) ? kScanAlt : 0;
  return KeyFilter(modifier, scan);
}

void SetPointer(LPARAM lParam) {
  LoopState& loop = Loop();
  loop.pointerX = static_cast<int16_t>(LOWORD(lParam));
  loop.pointerY = static_cast<int16_t>(HIWORD(lParam));
  Input().pointerX = loop.pointerX;
  Input().pointerY = loop.pointerY;
}

void NoteInput() {
  Loop().lastInput = Loop().passTime;
  Input().lastInputTime = Loop().passTime;
}

// A press of either button; the other button held makes it ignored.
void ButtonDown(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
  if (wParam & (right ? MK_LBUTTON : MK_RBUTTON)) return;
  LoopState& loop = Loop();
  loop.lastClick = loop.passTime;
  NoteInput();
  uint32_t flags = right ? 1 : 0;
  if (message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK) flags += 8;
  if (wParam & MK_SHIFT) flags += 4;
  if (wParam & MK_CONTROL) flags += 2;
  SetPointer(lParam);
  loop.buttonHeld = 1;
  Input().buttonHeld = 1;
  if (!Svc().frontEnd->ScreenPointerPress(loop.pointerX, loop.pointerY, flags))
    Svc().round->OnPointerPress(loop.pointerX, loop.pointerY, flags);
}

void ButtonUp(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool right = message == WM_RBUTTONUP;
  NoteInput();
  if (wParam & (right ? MK_LBUTTON : MK_RBUTTON)) return;
  SetPointer(lParam);
  Loop().buttonHeld = 0;
  Input().buttonHeld = 0;
  if (!Svc().frontEnd->ScreenPointerRelease(Loop().pointerX, Loop().pointerY, right ? 1 : 0))
    Svc().round->OnPointerRelease(Loop().pointerX, Loop().pointerY, right ? 1 : 0);
}

// A front-end screen or dialog, when one is up, has the input before the round interface.
void KeyPress(uint32_t code) {
  if (!Svc().frontEnd->ScreenKeyPress(code)) Svc().round->OnKeyPress(code);
}

void KeyUp(uint32_t code) {
  if (Svc().frontEnd->ScreenKeyUp(code)) return;
  // Without an interface to take it, Escape ends the program.
  if (!Svc().round->OnKeyUp(code) && code == VK_ESCAPE) RequestQuit();
}

void Idle() {
  Svc().sound->Update();
  if (Svc().frontEnd->ScreenIdle()) return;
  if (Svc().round->OnIdle()) return;
  // Without an interface the hole's view (or the empty screen) is shown about 25 times a second.
  LoopState& loop = Loop();
  const uint32_t now = timeGetTime();
  if (now - loop.lastEmptyFrame < 40) return;
  loop.lastEmptyFrame = now;
  if (Svc().scene->DrawGolfView()) return;
  if (DisplayMgr().open) AddDirtyRect(Display().screen);
}

// The game object is freed just before the queue window goes; timer and golf messages still queued then are
// dropped.
void ToGame(UINT message, WPARAM wParam, LPARAM lParam) {
  GameProvider& game = *Svc().game;
  if (game.GameExists()) game.HandleMessage(message, wParam, lParam);
  // Another machine's message that finds no game still gives its argument back.
  else if (message == WM_GOLF) game.ReleasePeerArgument(lParam);
}

}  // namespace

int ForwardToQueueWindow(WinDisplay* display, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT* result) {
  PostMessageA(Loop().queueWindow, message, wParam, lParam);
  if (message == WM_CHAR) {
    // The library's key ring gets the character too, so that its hot keys (Ctrl+P, Ctrl+X) run when the idle
    // step reads the ring, and a prompt box they show can read its answer.
    LRESULT ignored = 0;
    lib_char(display, window, message, wParam, lParam, &ignored);
  }
  if ((message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) && wParam == VK_F4) {
    *result = 0;
    return 1;
  }
  return 0;
}

LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LoopState& loop = Loop();
  loop.mainThread = GetCurrentThreadId();
  switch (message) {
    case WM_DESTROY:
      loop.quitNow = 1;
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) OnAppDeactivate();
      return 0;
    case WM_PAINT:
      OnAppReactivate();
      NoteInput();
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCACTIVATE:
      if (wParam == 0 && !loop.taskSwitch && IsAppActive()) return 0;
      break;
    case WM_KEYDOWN: {
      NoteInput();
      loop.keyDown = 1;
      static const struct {
        WPARAM key;
        uint32_t code;
      } kKeys[] = {{VK_PRIOR, 0x121}, {VK_NEXT, 0x122}, {VK_END, 0x123},    {VK_HOME, 0x124}, {VK_LEFT, 0x125},
                   {VK_UP, 0x126},    {VK_RIGHT, 0x127}, {VK_DOWN, 0x128}, {VK_DELETE, 0x12E}, {VK_F1, 0x170}};
      for (const auto& key : kKeys)
        if (key.key == wParam) KeyPress(key.code);
      if (wParam == VK_F8) {
        DisplayManager& manager = DisplayMgr();
        ImageRecord* image = nullptr;
        if (GetAsyncKeyState(VK_SHIFT) & 0x8000) {
          image = RoleImage(kRoleErase);
        } else if (GetAsyncKeyState(VK_CONTROL) & 0x8000) {
          image = RoleImage(kRoleAux);
        } else {
          image = RoleImage(kRoleDrawn);
        }
        if (manager.open && image) SaveScreenshot(image->window);
      }
      return 0;
    }
    case WM_KEYUP:
      NoteInput();
      loop.keyDown = 0;
      KeyUp(static_cast<uint32_t>(wParam));
      break;
    case WM_CHAR:
      NoteInput();
      KeyPress(static_cast<uint32_t>(wParam));
      return 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      NoteInput();
      if (wParam == VK_ESCAPE || wParam == VK_F4) return 0;
      if (wParam == VK_TAB) {
        OnAppDeactivate();
        return 0;
      }
      if (wParam >= 0x30 && wParam <= 0x5A) {
        const uint32_t code = 0x2000 + static_cast<uint32_t>(wParam);
        if (message == WM_SYSKEYDOWN) {
          KeyPress(code);
        } else {
          KeyUp(code);
        }
        return 0;
      }
      break;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_KEYMENU || (wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
      break;
    case WM_TIMER:
      ToGame(WM_TIMER, wParam, lParam);
      break;
    case WM_MOUSEMOVE:
      NoteInput();
      SetPointer(lParam);
      MouseClampToScreen();
      loop.buttonHeld = (wParam & (MK_LBUTTON | MK_RBUTTON)) ? 1 : 0;
      Input().buttonHeld = loop.buttonHeld;
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      ButtonDown(message, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ButtonUp(message, wParam, lParam);
      return 0;
    case WM_GOLF:
      ToGame(WM_GOLF, wParam, lParam);
      return 0;
    case 0x800:
      return 1;
    case WM_CONTROL_FIRE:
      Svc().frontEnd->DispatchControlFire(wParam, lParam);
      return 0;
    case WM_COMM_MESSAGE:
      DispatchCommMessage(static_cast<uint32_t>(wParam), reinterpret_cast<uint8_t*>(lParam), 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int MainLoopIdle() {
  LoopState& loop = Loop();
  if (!IsAppActive() || loop.taskSwitch) return 0;
  if (loop.quitRequest && !loop.queueDestroyed) {
    Svc().network->CloseComm();
    FreeStartupResources();
    if (loop.commQueue) {
      if (CommQueue == loop.commQueue) CommQueue = nullptr;
      GuardedQueueDestroy(loop.commQueue);
      loop.commQueue = nullptr;
    }
    if (!CommThreadRunning) DiscardDeferredCommMessages(CommDeferredQueue);
    loop.queueDestroyed = 1;
    if (CommQueueWindow == loop.queueWindow) CommQueueWindow = nullptr;
    DestroyWindow(loop.queueWindow);
    return 0;
  }
  SampleDiskActivity();
  // The library's hot keys run here; other keys reach the routers as messages.
  while (getkeyhot()) {
  }
  DeliverDeferredCommMessages();
  Idle();
  if (DisplayMgr().open) UpdateScreen();
  return 0;
}

void OnAppDeactivate() {
  LoopState& loop = Loop();
  loop.taskSwitch = 1;
  if (!IsAppActive()) return;
  // Whether a back end holds the display lock, before this thread lets go of its window.
  const bool hardware = Display().hardwareActive != 0;
  const bool backEndLocked = hardware && gfxstate().surfacelocked;
  SetKeyFilter(0);
  HoldTimedCallback(1);
  MouseShutdown();
  if (Svc().game->RoundInProgress()) Svc().game->SetRoundPaused(true);
  if (hardware && vortellive.window) vortellive.window(0);
  releasewindow();
  Svc().network->SetVoiceSuspended(true);
  // A back end that holds the display lock is in the middle of a frame; the sound waits for the next loss.
  if (!backEndLocked) Svc().sound->StopSound();
  if (hardware && Svc().scene->Is3dfx() && vortellive.setstate) vortellive.setstate(108, 1);
  ClearAppActive();
  SetKeyFilter(1);
}

void OnAppReactivate() {
  LoopState& loop = Loop();
  if (!mainwindowactive() || IsAppActive()) return;
  SetKeyFilter(0);
  ShowWindow(loop.queueWindow, SW_HIDE);
  if (DisplayMgr().open) AddDirtyRect(MARect{0, 0, 640, 480});
  SetAppActive();
  loop.taskSwitch = 0;
  MouseShutdown();
  MouseInit();
  const DisplayGlobals& d = Display();
  if (d.hardwareActive) {
    SwitchDisplay(d.width, d.height, d.depth);
    if (DisplayMgr().open) DisplayManagerClose();
    ReopenDisplayManager(d.screen, d.depth);
    SceneProvider& scene = *Svc().scene;
    if (scene.TextureCacheActive()) {
      scene.ResetTextureCache();
      ReloadTexturesAfterModeChange(0);
    }
    scene.SetDefaultRenderStates();
    if (scene.Is3dfx() && vortellive.setstate) vortellive.setstate(108, 0);
  }
  if (DisplayMgr().open) RefreshWholeScreen();
  FlushInput();
  if (Svc().game->RoundInProgress()) Svc().game->SetRoundPaused(false);
  loop.soundReload = 1;
  releasewindow();
  Svc().sound->ReloadSounds();
  loop.soundReload = 0;
  Svc().network->SetVoiceSuspended(false);
  HoldTimedCallback(0);
  SetKeyFilter(1);
}

// The library asks the filter about the system keys too (Alt+Tab, Alt+Esc), so that a task switch is noted.
void SetKeyFilter(int on) { setkeyhook(1, on ? HookKeyFilter : nullptr); }

int KeyFilter(int modifier, int scan) {
  if (Display().hardwareActive && Svc().scene->SceneActive()) return 1;
  if (modifier == kScanAlt && scan == kScanTab) {
    Loop().taskSwitch = 1;
    return 0;
  }
  return scan == kScanLeftWindows ? 1 : 0;
}

void ShowDebugMessage(const char* text) {
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  ShowCursor(TRUE);
  MessageBoxA(nullptr, text, "Debug Message", 0);
}

void SaveScreenshot(WindowDesc* window) {
  if (!Flags().screenshot || !window) return;
  LoopState& loop = Loop();
  PathRecord program{};
  if (PathSetToProgramDir(&program)) return;
  char name[32];
  for (;;) {
    std::snprintf(name, sizeof name, "screen%d.tga", loop.screenshotCounter);
    if (!FileExists(&program, name)) break;
    ++loop.screenshotCounter;
  }
  char path[MAX_PATH];
  if (!PathJoin(&program, name, path, sizeof path)) return;
  // Captured here and written with the quiet save: a screenshot that cannot be written must not end the game.
  if (!setwindow(window)) return;
  const int32_t size = captureimagesize();
  std::vector<uint8_t> block(size > 0 ? static_cast<size_t>(size) : 0);
  if (!block.empty()) captureimage(block.data());
  releasewindow();
  if (!block.empty()) trysavefileadr(path, block.data(), size);
  ++loop.screenshotCounter;
}

void RefreshWholeScreen() {
  AddDirtyRect(Display().screen);
  UpdateScreen();
}

int ReopenDisplayManager(const MARect& rect, int depth) {
  if (DisplayManagerInit(rect, depth)) return 1;
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  MessageBoxA(Loop().queueWindow, "Could not load DirectX drivers", "VEX TOUR error", 0);
  return 0;
}

void GetQueueWindowSize(int32_t* width, int32_t* height) {
  RECT client{};
  if (!Loop().queueWindow || !GetClientRect(Loop().queueWindow, &client)) client = RECT{};
  if (width) *width = client.right - client.left;
  if (height) *height = client.bottom - client.top;
}

void AddDirtyRectWH(int32_t left, int32_t top, int32_t width, int32_t height) {
  AddDirtyRect(MARect{left, top, left + width, top + height});
}

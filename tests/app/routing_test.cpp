// The queue window's routing of input, golf, timer, control and comm messages, and the forwarder.
#include <cstring>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/ui/inputstate.h"
#include "startup_fixture.h"

namespace {

struct Seen {
  std::vector<uint32_t> keys, keyUps;
  std::vector<std::vector<int64_t>> presses, releases, game, fires;
};
Seen* seen = nullptr;

HWND PlainWindow() {
  static const bool registered = [] {
    WNDCLASSA c{};
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "StartupTestWindow";
    return RegisterClassA(&c) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExA(0, "StartupTestWindow", "q", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}
int gameExists = 1;

class RoutingTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    seen = &record;
    gameExists = 1;
    AppFakes& h = fakes_;
    h.onKeyPress = [](uint32_t code) { seen->keys.push_back(code); };
    h.onKeyUp = [](uint32_t code) { seen->keyUps.push_back(code); };
    h.onPointerPress = [](int32_t x, int32_t y, uint32_t f) { seen->presses.push_back({x, y, f}); };
    h.onPointerRelease = [](int32_t x, int32_t y, uint32_t b) { seen->releases.push_back({x, y, b}); };
    h.gameExists = [] { return gameExists; };
    h.gameHandleMessage = [](uint32_t m, uintptr_t w, intptr_t l) {
      seen->game.push_back({m, static_cast<int64_t>(w), static_cast<int64_t>(l)});
    };
    h.dispatchControlFire = [](uintptr_t w, intptr_t l) {
      seen->fires.push_back({static_cast<int64_t>(w), static_cast<int64_t>(l)});
    };
    SetAppActive();
    Loop().passTime = 5000;
  }
  LRESULT Send(UINT message, WPARAM w = 0, LPARAM l = 0) { return QueueWindowProc(nullptr, message, w, l); }
  Seen record;
};

TEST_F(RoutingTest, SpecialKeysBecomeCommandsAndOthersAreDropped) {
  const struct {
    WPARAM key;
    uint32_t code;
  } cases[] = {{VK_PRIOR, 0x121}, {VK_NEXT, 0x122}, {VK_END, 0x123},  {VK_HOME, 0x124},   {VK_LEFT, 0x125},
               {VK_UP, 0x126},    {VK_RIGHT, 0x127}, {VK_DOWN, 0x128}, {VK_DELETE, 0x12E}, {VK_F1, 0x170}};
  for (const auto& c : cases) EXPECT_EQ(Send(WM_KEYDOWN, c.key), 0);
  Send(WM_KEYDOWN, 'A');
  Send(WM_KEYDOWN, VK_F8);  // no "/SCREENSHOT": nothing
  ASSERT_EQ(record.keys.size(), 10u);
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(record.keys[i], cases[i].code);
  EXPECT_EQ(Loop().keyDown, 1);
  EXPECT_EQ(Loop().lastInput, 5000u);
  Send(WM_KEYUP, 'A');
  EXPECT_EQ(record.keyUps, std::vector<uint32_t>{'A'});
  EXPECT_EQ(Loop().keyDown, 0);
  Send(WM_CHAR, '7');
  EXPECT_EQ(record.keys.back(), uint32_t('7'));
}

TEST_F(RoutingTest, AltKeys) {
  EXPECT_EQ(Send(WM_SYSKEYDOWN, 'G'), 0);
  EXPECT_EQ(Send(WM_SYSKEYUP, '5'), 0);
  EXPECT_EQ(record.keys, std::vector<uint32_t>{0x2000 + 'G'});
  EXPECT_EQ(record.keyUps, std::vector<uint32_t>{0x2000 + '5'});
  EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_F4), 0);
  EXPECT_EQ(Send(WM_SYSKEYDOWN, VK_ESCAPE), 0);
  EXPECT_EQ(record.keys.size(), 1u);
  // Alt+Tab leaves the screen once; the release finds the game inactive.
  Send(WM_SYSKEYDOWN, VK_TAB);
  EXPECT_EQ(IsAppActive(), 0);
  EXPECT_EQ(Loop().taskSwitch, 1);
  Send(WM_SYSKEYUP, VK_TAB);
  EXPECT_EQ(IsAppActive(), 0);
}

TEST_F(RoutingTest, PointerButtonsAndTheirFlags) {
  const LPARAM at = MAKELPARAM(120, 340);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON | MK_SHIFT | MK_CONTROL, at);
  Send(WM_RBUTTONDOWN, MK_RBUTTON, at);
  Send(WM_RBUTTONDBLCLK, MK_RBUTTON, at);
  // A press while the other button is held is ignored, both ways.
  Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, at);
  Send(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, at);
  ASSERT_EQ(record.presses.size(), 4u);
  EXPECT_EQ(record.presses[0], (std::vector<int64_t>{120, 340, 0}));
  EXPECT_EQ(record.presses[1][2], 8 + 4 + 2);
  EXPECT_EQ(record.presses[2][2], 1);
  EXPECT_EQ(record.presses[3][2], 9);
  EXPECT_EQ(Loop().lastClick, 5000u);
  Send(WM_LBUTTONUP, MK_RBUTTON, at);  // ignored
  Send(WM_LBUTTONUP, 0, MAKELPARAM(-5, 7));
  Send(WM_RBUTTONUP, 0, at);
  ASSERT_EQ(record.releases.size(), 2u);
  EXPECT_EQ(record.releases[0], (std::vector<int64_t>{-5, 7, 0}));
  EXPECT_EQ(record.releases[1][2], 1);
  EXPECT_EQ(Loop().buttonHeld, 0);
}

TEST_F(RoutingTest, GolfAndTimerMessagesGoToTheCurrentGame) {
  EXPECT_EQ(Send(WM_GOLF, 0x715, 99), 0);
  Send(WM_TIMER, 3, 0);
  ASSERT_EQ(record.game.size(), 2u);
  EXPECT_EQ(record.game[0], (std::vector<int64_t>{0x700, 0x715, 99}));
  EXPECT_EQ(record.game[1], (std::vector<int64_t>{WM_TIMER, 3, 0}));
  // Once the game is freed, still-queued messages are dropped.
  gameExists = 0;
  Send(WM_GOLF, 1, 2);
  Send(WM_TIMER, 3, 0);
  EXPECT_EQ(record.game.size(), 2u);
}

TEST_F(RoutingTest, ControlClicksAndOtherMessages) {
  EXPECT_EQ(Send(WM_CONTROL_FIRE, 17, 23), 0);
  EXPECT_EQ(record.fires, (std::vector<std::vector<int64_t>>{{17, 23}}));
  EXPECT_EQ(Send(0x800), 1);
  EXPECT_EQ(Send(WM_ERASEBKGND), 1);
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_KEYMENU), 0);
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE | 3), 0);
  // The refused deactivation while the game owns the screen.
  EXPECT_EQ(Send(WM_NCACTIVATE, 0), 0);
  Send(WM_DESTROY);
  EXPECT_EQ(Loop().quitNow.load(), 1);
}

TEST_F(RoutingTest, CommMessagesGoToTheDispatcher) {
  // A paused game defers the message: it lands in the deferred queue.
  fakes_.gameExists = [] { return true; };
  fakes_.gamePaused = [] { return true; };
  GuardedQueue deferred;
  CommDeferredQueue = GuardedQueueCreate(&deferred);
  uint8_t* message = CommMessageAlloc(16);
  std::memset(message, 0, 16);
  message[kCommCodeOffset] = 0x10;
  EXPECT_EQ(Send(WM_COMM_MESSAGE, 16, reinterpret_cast<LPARAM>(message)), 0);
  EXPECT_EQ(GuardedQueueCount(CommDeferredQueue), 1);
  MSG out{};
  ASSERT_EQ(GuardedQueuePop(CommDeferredQueue, &out), 1);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(out.lParam), message);
  CommMessageFree(message);
  GuardedQueueDestroy(CommDeferredQueue);
  CommDeferredQueue = nullptr;
}

TEST_F(RoutingTest, ForwarderPostsAndHidesAltF4) {
  Loop().queueWindow = PlainWindow();
  ASSERT_NE(Loop().queueWindow, nullptr);
  LRESULT result = 77;
  EXPECT_EQ(ForwardToQueueWindow(nullptr, nullptr, WM_SYSKEYDOWN, VK_F4, 0, &result), 1);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ForwardToQueueWindow(nullptr, nullptr, WM_KEYDOWN, VK_F4, 0, &result), 0);
  EXPECT_EQ(ForwardToQueueWindow(nullptr, nullptr, WM_GOLF, 5, 6, &result), 0);
  MSG msg{};
  std::vector<UINT> posted;
  while (PeekMessageA(&msg, Loop().queueWindow, 0, 0, PM_REMOVE)) posted.push_back(msg.message);
  EXPECT_EQ(posted, (std::vector<UINT>{WM_SYSKEYDOWN, WM_KEYDOWN, WM_GOLF}));
  DestroyWindow(Loop().queueWindow);
}

TEST_F(RoutingTest, KeyFilterSwallowsTheWindowsKeyAndNotesAltTab) {
  EXPECT_EQ(KeyFilter(0, 0x5B), 1);
  EXPECT_EQ(KeyFilter(0, 0x1E), 0);
  EXPECT_EQ(KeyFilter(0x38, 0x0F), 0);
  EXPECT_EQ(Loop().taskSwitch, 1);
  Display().hardwareActive = 1;
  fakes_.sceneActive = [] { return 1; };
  EXPECT_EQ(KeyFilter(0, 0x1E), 1);
}

TEST_F(RoutingTest, QuitRequestTearsTheQueueWindowDownOnce) {
  static int closes, frees;
  closes = frees = 0;
  fakes_.closeCommLayer = [] { ++closes; };
  fakes_.deleteGame = [] { ++frees; };
  Loop().queueWindow = PlainWindow();
  ASSERT_NE(Loop().queueWindow, nullptr);
  RequestQuit();
  MainLoopIdle();
  EXPECT_EQ(Loop().queueDestroyed, 1);
  EXPECT_FALSE(IsWindow(Loop().queueWindow));
  EXPECT_EQ(frees, 1);
  MainLoopIdle();
  FreeStartupResources();  // the teardown's call does nothing now
  EXPECT_EQ(frees, 1);
  EXPECT_GE(closes, 1);
}

TEST_F(RoutingTest, EscapeEndsTheProgramWithoutAFrontEnd) {
  fakes_.onKeyUp = nullptr;
  Send(WM_KEYUP, VK_ESCAPE);
  EXPECT_EQ(Loop().quitRequest.load(), 1);
}

}  // namespace

#include "framework/core/memmgr.h"
#include "platformlib/files/filehandle.h"
#include "platformlib/gfx/rowspace.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

TEST_F(RoutingTest, ScreenshotSkipsTakenNumbersAndNeedsItsOption) {
  MemInit(800, 600);
  initfiles(0);
  if (!rowspaceready()) initrow();
  WindowDesc* window = createwindowadr(16, 8, 16);
  ASSERT_NE(window, nullptr);
  SaveScreenshot(window);
  EXPECT_FALSE(HostExists("c/screen0.tga"));
  Flags().screenshot = 1;
  HostFile("c/screen0.tga", "taken");
  HostFile("c/screen1.tga", "taken");
  SaveScreenshot(window);
  EXPECT_EQ(HostRead("c/screen0.tga"), "taken");
  ASSERT_TRUE(HostExists("c/screen2.tga"));
  EXPECT_GT(HostRead("c/screen2.tga").size(), 16u * 8u * 2u);
  EXPECT_EQ(Loop().screenshotCounter, 3);
  // A screenshot that cannot be written is skipped; the game goes on.
  winapi::testing::FailCall("CreateFileA", ERROR_ACCESS_DENIED, -1);
  SaveScreenshot(window);
  winapi::testing::ClearFailures();
  EXPECT_FALSE(HostExists("c/screen3.tga"));
  removewindow(window);
}

}  // namespace

namespace {

HWND QueueWindow() {
  static const bool registered = [] {
    WNDCLASSA c{};
    c.lpfnWndProc = QueueWindowProc;
    c.lpszClassName = "StartupTestQueue";
    return RegisterClassA(&c) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExA(0, "StartupTestQueue", "VEXQW", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(RoutingTest, LoopTranslatesOnlyKeypadDigitsAndEndsWithTheQuitCode) {
  Loop().queueWindow = QueueWindow();
  ASSERT_NE(Loop().queueWindow, nullptr);
  const DWORD thread = GetCurrentThreadId();
  // Thread messages without a window go to the queue window.
  PostThreadMessageA(thread, WM_KEYDOWN, VK_NUMPAD7, 0);
  PostThreadMessageA(thread, WM_KEYDOWN, VK_F2, 0x3C0001);  // a key that makes no character
  PostThreadMessageA(thread, WM_GOLF, 0x701, 4);
  PostQuitMessage(5);
  EXPECT_EQ(RunMessageLoop(), 5);
  EXPECT_EQ(record.keys, std::vector<uint32_t>{'7'});
  ASSERT_EQ(record.game.size(), 1u);
  EXPECT_EQ(record.game[0][1], 0x701);
  MSG left{};
  while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
  }
  DestroyWindow(Loop().queueWindow);
}

TEST_F(RoutingTest, LoopEndsOnTheQuitRequestWithZero) {
  Loop().queueWindow = QueueWindow();
  ASSERT_NE(Loop().queueWindow, nullptr);
  // The last message taken is Escape's key-up; the exit code is still 0.
  PostMessageA(Loop().queueWindow, WM_KEYUP, VK_ESCAPE, 0);
  fakes_.onKeyUp = nullptr;
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(Loop().queueDestroyed, 1);
  EXPECT_FALSE(IsWindow(Loop().queueWindow));
}

}  // namespace

namespace {

TEST_F(RoutingTest, DisplayManagerThatCannotReopenSaysSo) {
  winapi::testing::TakeMessageBoxes();
  // No display: the display manager cannot open.
  MemInit(800, 600);
  EXPECT_EQ(ReopenDisplayManager(MARect{0, 0, 800, 600}, 16), 0);
  const auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Could not load DirectX drivers");
  EXPECT_EQ(boxes[0].caption, "VEX TOUR error");
  int32_t width = -1, height = -1;
  GetQueueWindowSize(&width, &height);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
}

}  // namespace

#include <atomic>
#include <thread>

#include "platformlib/display/displayfixture.h"

namespace {

int handlera(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT* result) {
  *result = 11;
  return 1;
}
int handlerb(WinDisplay*, HWND, UINT, WPARAM, LPARAM, LRESULT* result) {
  *result = 22;
  return 1;
}

using MainWindowTest = DisplayTest;

TEST_F(MainWindowTest, HandlerTableReplacesRemovesAndRefusesThe129th) {
  EXPECT_EQ(setmessagehandler(0x500, handlera), 1);
  EXPECT_EQ(setmessagehandler(0x500, handlerb), 1);
  EXPECT_EQ(messagehandlercount(), 1);
  EXPECT_EQ(getmessagehandler(0x500), handlerb);
  EXPECT_EQ(setmessagehandler(0x500, nullptr), 1);
  EXPECT_EQ(getmessagehandler(0x500), nullptr);
  EXPECT_EQ(messagehandlercount(), 0);
  EXPECT_EQ(setmessagehandler(0x500, nullptr), 0) << "removing an absent message";

  // Inserted out of order, every message is still found by the binary search.
  for (int i = 0; i < MESSAGEHANDLERSLOTS; ++i)
    ASSERT_EQ(setmessagehandler(static_cast<UINT>(0x1000 + (i * 37) % MESSAGEHANDLERSLOTS), handlera), 1);
  EXPECT_EQ(messagehandlercount(), MESSAGEHANDLERSLOTS);
  EXPECT_EQ(setmessagehandler(0x2000, handlerb), 0) << "the 129th distinct message";
  EXPECT_EQ(getmessagehandler(0x2000), nullptr);
  EXPECT_EQ(setmessagehandler(0x1005, handlerb), 1) << "replacing in a full table";
  for (int i = 0; i < MESSAGEHANDLERSLOTS; ++i)
    EXPECT_EQ(getmessagehandler(static_cast<UINT>(0x1000 + i)), i == 5 ? handlerb : handlera) << i;
  EXPECT_EQ(setmessagehandler(0x1000, nullptr), 1);
  EXPECT_EQ(setmessagehandler(0x2000, handlerb), 1) << "room again after a removal";
  EXPECT_EQ(getmessagehandler(0x2000), handlerb);
}

TEST_F(MainWindowTest, LookupWaitsForTheTableLock) {
  setmessagehandler(0x501, handlera);
  std::atomic<bool> looked{false};
  entercritical(handlersection());
  std::thread reader([&] {
    EXPECT_EQ(getmessagehandler(0x501), handlera);
    looked = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(looked.load()) << "a lookup must not read the table while another thread updates it";
  leavecritical(handlersection());
  reader.join();
  EXPECT_TRUE(looked.load());
}

TEST_F(MainWindowTest, WindowProcedureAnswersWithTheHandlersResult) {
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  setmessagehandler(0x502, handlerb);
  EXPECT_EQ(SendMessageA(window, 0x502, 0, 0), 22);
  EXPECT_EQ(SendMessageA(window, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), BROADCAST_QUERY_DENY);
}

TEST_F(MainWindowTest, KeyRingRepeatsAndDropsTheOldest) {
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  // Repeat count 3, scan code 0x1E.
  PostMessageA(window, WM_CHAR, 'a', static_cast<LPARAM>(3 | (0x1E << 16)));
  ASSERT_TRUE(waitfor([] { return keyringcount() == 3; }));
  keyringclear();
  // A repeat count above the ring size gives the ring size's worth.
  PostMessageA(window, WM_CHAR, 'b', static_cast<LPARAM>(40 | (0x30 << 16)));
  ASSERT_TRUE(waitfor([] { return keyringcount() == KEYRINGSIZE; }));
  keyringclear();

  for (int i = 0; i < KEYRINGSIZE + 5; ++i) keyringput(0, 0x10, static_cast<uint16_t>('A' + i), 1);
  EXPECT_EQ(keyringcount(), KEYRINGSIZE);
  KeyRingEntry e{};
  ASSERT_TRUE(keyringtake(&e));
  EXPECT_EQ(e.code, 'A' + 5) << "the five oldest keys went";
}

TEST_F(MainWindowTest, QuitEndsTheProgramOnTheMainThread) {
  ASSERT_GT(inittimer(100), 0);
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_CLOSE, 0, 0);  // lib_close posts the quit message
  const uint32_t start = gettimerticks();
  unsigned code = 99;
  DWORD exitthread = 0;
  uint32_t exittick = 0;
  try {
    for (int i = 0; i < 5000; ++i) {
      ASSERT_EQ(getmainwindowhandle(), window) << "WM_QUIT does not end the window's loop by itself";
      runsystemtasks();
      Sleep(1);
    }
  } catch (const winapi::testing::ExitCalled& exit) {
    code = exit.code;
    exitthread = GetCurrentThreadId();
    exittick = gettimerticks();
  }
  stoptimer();
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(exitthread, mainthread.threadid);
  EXPECT_GE(exittick - start, 10u) << "the exit task first runs ten ticks after the quit message";
  EXPECT_EQ(getmainwindowhandle(), nullptr) << "the exit task puts the display back before the program ends";
}

TEST_F(MainWindowTest, ReopeningWithOnlyTheFullScreenFlagChangedKeepsTheThread) {
  HWND window = openmainwindow(640, 480, 0);
  ASSERT_NE(window, nullptr);
  const DWORD thread = mainwindowstate().thread.threadid;
  EXPECT_EQ(openmainwindow(800, 600, 1), reinterpret_cast<HWND>(1));
  EXPECT_EQ(getmainwindowhandle(), window);
  EXPECT_EQ(mainwindowstate().thread.threadid, thread);
  EXPECT_EQ(mainwindowstate().width, 800);
  EXPECT_EQ(mainwindowstate().height, 600);
  closemainwindow();
  EXPECT_EQ(getmainwindowhandle(), nullptr);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainWindowTest, ReopeningWithTheSameFlagReplacesTheWindow) {
  HWND first = openmainwindow(320, 200, 0);
  ASSERT_NE(first, nullptr);
  HWND second = openmainwindow(320, 200, 0);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(getmainwindowhandle(), second);
}

TEST_F(MainWindowTest, SendWinMessageWithoutAWindowPostsNothing) {
  EXPECT_EQ(sendwinmessage(0x503, 0, 0, 0), 0);
  EXPECT_EQ(sendwinmessage(0x503, 0, 0, 1), 0);
}

TEST_F(MainWindowTest, BreakKeyOnlyBreaksUnderADebugger) {
  static int breaks;
  breaks = 0;
  userbreak = [] { ++breaks; };
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  const LPARAM alt = static_cast<LPARAM>(1 | (0x38 << 16) | (1 << 29));
  const LPARAM pause = static_cast<LPARAM>(1 | (0x45 << 16) | (1 << 29));
  for (int present : {0, 1}) {
    debuggerpresent = present ? +[] { return 1; } : +[] { return 0; };
    PostMessageA(window, WM_SYSKEYDOWN, VK_MENU, alt);
    PostMessageA(window, WM_SYSKEYDOWN, VK_PAUSE, pause);
    ASSERT_TRUE(waitfor([] { return keystates[0x45].load() != 0; }));
    SendMessageA(window, WM_NULL, 0, 0);  // the key-down has been handled
    EXPECT_EQ(breaks, present) << "debugger present: " << present;
    PostMessageA(window, WM_SYSKEYUP, VK_PAUSE, pause);
    ASSERT_TRUE(waitfor([] { return keystates[0x45].load() == 0; }));
  }
}

TEST_F(MainWindowTest, DeactivationReleasesEveryKey) {
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_KEYDOWN, 'A', static_cast<LPARAM>(1 | (0x1E << 16)));
  ASSERT_TRUE(waitfor([] { return keystates[0x1E].load() != 0; }));
  winapi::testing::HostSetActive(false);
  ASSERT_TRUE(waitfor([] { return keystates[0x1E].load() == 0 && !mainwindowactive(); }));
  winapi::testing::HostSetActive(true);
  EXPECT_TRUE(waitfor([] { return mainwindowactive() != 0; }));
}

TEST_F(MainWindowTest, ExtendedKeysGetTheirBiosCodes) {
  struct Case {
    WPARAM vk;
    uint16_t code;
  };
  const Case cases[] = {{VK_HOME, 0x4700}, {VK_NEXT, 0x5100}, {VK_NUMPAD5, 0x4C00}, {VK_F1, 0x3B00},
                        {VK_F10, 0x4400},  {VK_F11, 0x8700},  {VK_F12, 0x8800},     {'A', 0}};
  for (const Case& c : cases) EXPECT_EQ(vkextendedkey(WM_KEYDOWN, c.vk), c.code) << c.vk;
  EXPECT_EQ(vkextendedkey(WM_KEYUP, VK_HOME), 0);
}

}  // namespace

namespace {

std::string lastabort;
int cancelabort(const char* text) {
  lastabort = text;
  return 0;
}

TEST_F(MainWindowTest, ClosingWithAudioStillUpIsMisuse) {
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  setaudiofocushandler([](int) {});
  lastabort.clear();
  abortfilterhook = cancelabort;
  closemainwindow();
  abortfilterhook = nullptr;
  EXPECT_NE(lastabort.find("YOU MUST SHUT DOWN AUDIO FIRST"), std::string::npos) << lastabort;
  setaudiofocushandler(nullptr);
}

TEST_F(MainWindowTest, DisplayRequestWithoutAWindowIsMisuse) {
  lastabort.clear();
  abortfilterhook = cancelabort;
  const char* text = sendddrawrequest(WM_LIBSETMODE, 0);
  abortfilterhook = nullptr;
  EXPECT_NE(lastabort.find("FAILED TO SEND MESSAGE TO WINDOW THREAD"), std::string::npos) << lastabort;
  EXPECT_NE(text, nullptr);
  EXPECT_EQ(grfop_pending.load(), 0) << "nothing stays pending";
}

}  // namespace

namespace {

int keepkey(WPARAM, LPARAM) { return 0; }

TEST_F(MainWindowTest, KeyboardHookSwallowsSystemKeys) {
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  setkeyhook(1, nullptr);
  const LPARAM alt = static_cast<LPARAM>(1u << 29);
  struct Case {
    WPARAM vk;
    LPARAM flags;
    bool swallowed;
  };
  const Case cases[] = {{VK_LWIN, 0, true},   {VK_SNAPSHOT, 0, true}, {VK_ESCAPE, 0, false},
                        {VK_TAB, alt, true},  {VK_ESCAPE, alt, true}, {VK_SPACE, alt, false},
                        {'A', 0, false},      {VK_TAB, 0, false}};
  for (const Case& c : cases) EXPECT_EQ(keyhookproc(0, c.vk, c.flags) == 1, c.swallowed) << c.vk;
  // With the callback keeping the key, nothing is swallowed.
  setkeyhook(1, keepkey);
  EXPECT_NE(keyhookproc(0, VK_LWIN, 0), 1);
  // Without filtering of system keys, Alt combinations pass.
  setkeyhook(0, nullptr);
  EXPECT_NE(keyhookproc(0, VK_TAB, alt), 1);
}

}  // namespace

namespace {

BOOL screensaveractive() {
  BOOL on = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &on, 0);
  return on;
}

TEST_F(MainWindowTest, FullScreenHoldsOffTheScreenSaverUntilClosed) {
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
  SystemParametersInfoA(SPI_SETPOWEROFFACTIVE, TRUE, nullptr, 0);
  HWND window = openmainwindow(640, 480, 1);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(screensaveractive());
  // Full screen swallows system commands such as the screen saver's, but not the window commands.
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  closemainwindow();
  EXPECT_TRUE(screensaveractive());
  BOOL power = FALSE;
  SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &power, 0);
  EXPECT_TRUE(power);
}

TEST_F(MainWindowTest, WindowedOpenLeavesTheScreenSaverAlone) {
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
  ASSERT_NE(openmainwindow(640, 480, 0), nullptr);
  EXPECT_TRUE(screensaveractive());
  int32_t w = 0, h = 0;
  getclientsize(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

}  // namespace

namespace {

TEST_F(MainWindowTest, FullScreenWindowTakesTheForegroundBack) {
  HWND window = openmainwindow(640, 480, 1);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(waitfor([&] { return GetActiveWindow() == window && mainwindowactive(); }));
  // Counts the losses of activation: a message already queued may bring the window back before a poll of
  // the active flag would notice.
  static std::atomic<int> losses;
  losses = 0;
  setaudiofocushandler([](int active) {
    if (!active) ++losses;
  });
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "intruder";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND other = CreateWindowExA(0, "intruder", "intruder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  ASSERT_TRUE(waitfor([] { return losses.load() > 0; }));
  // The window thread looks again after each message it takes; keep giving it messages.
  EXPECT_TRUE(waitfor([&] {
    PostMessageA(window, WM_NULL, 0, 0);
    return GetForegroundWindow() == window && mainwindowactive();
  }));
  setaudiofocushandler(nullptr);
  DestroyWindow(other);
  UnregisterClassA("intruder", nullptr);
}

}  // namespace

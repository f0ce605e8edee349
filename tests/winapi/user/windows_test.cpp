// Window classes and windows: creation messages, geometry, lookup, activation, settings.
#include <thread>

#include "user_fixture.h"

namespace {

class WindowsTest : public UserTest {};

std::vector<UINT> Kinds(const std::vector<Received>& list) {
  std::vector<UINT> kinds;
  for (const auto& r : list) kinds.push_back(r.message);
  return kinds;
}

TEST_F(WindowsTest, ClassesRegisterOnceAndStayWhileWindowsUseThem) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = RecordingProc;
  cls.lpszClassName = "OnceClass";
  ASSERT_NE(RegisterClassA(&cls), 0);
  EXPECT_EQ(RegisterClassA(&cls), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  HWND window = CreateWindowExA(0, "onceclass", "x", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);  // class names ignore case
  EXPECT_FALSE(UnregisterClassA("OnceClass", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA("OnceClass", nullptr));
  EXPECT_FALSE(UnregisterClassA("OnceClass", nullptr));
  EXPECT_EQ(CreateWindowExA(0, "OnceClass", "x", 0, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(WindowsTest, CreationSendsItsMessagesInOrderAndCanBeRefused) {
  HWND window = Make();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Kinds(Recorder::Get().Take()), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
  Recorder::Get().answered = WM_CREATE;
  Recorder::Get().answer = -1;
  EXPECT_EQ(Make("refused"), nullptr);
  std::vector<UINT> kinds = Kinds(Recorder::Get().Take());
  EXPECT_EQ(kinds, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(WindowsTest, ClientAreaMatchesWhatAdjustWindowRectAddsForEachStyle) {
  for (DWORD style : {DWORD(WS_OVERLAPPEDWINDOW), DWORD(WS_POPUP), DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU),
                      DWORD(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)}) {
    SCOPED_TRACE(style);
    RECT outer{200, 100, 200 + 640, 100 + 480};
    ASSERT_TRUE(AdjustWindowRect(&outer, style, FALSE));
    HWND window = Make("geo", style, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, 200);
    EXPECT_EQ(origin.y, 100);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, outer.left);
    EXPECT_EQ(rect.bottom, outer.bottom);
  }
  RECT popup{0, 0, 10, 10};
  AdjustWindowRect(&popup, WS_POPUP, FALSE);
  EXPECT_EQ(popup.left, 0);
  EXPECT_EQ(popup.bottom, 10);
}

TEST_F(WindowsTest, SetWindowPosMovesAndSizesWithNotices) {
  HWND window = Make("pos", WS_POPUP, 0, 0, 100, 100);
  Recorder::Get().Take();
  ASSERT_TRUE(SetWindowPos(window, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  auto moves = Recorder::Get().Take(WM_MOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 30);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 40);
  SetWindowPos(window, nullptr, 0, 0, 64, 32, SWP_NOMOVE | SWP_NOZORDER);
  auto sizes = Recorder::Get().Take(WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(LOWORD(sizes[0].lParam), 64);
  EXPECT_EQ(HIWORD(sizes[0].lParam), 32);
  RECT rect{};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.right, 94);
}

TEST_F(WindowsTest, FindWindowAndClassNames) {
  HWND window = Make("Title One");
  EXPECT_EQ(FindWindowA(nullptr, "title one"), window);
  EXPECT_EQ(FindWindowA("RecordingClass", nullptr), window);
  EXPECT_EQ(FindWindowA("NoSuchClass", nullptr), nullptr);
  SetWindowTextA(window, "Renamed");
  EXPECT_EQ(FindWindowA(nullptr, "Title One"), nullptr);
  EXPECT_EQ(FindWindowA(nullptr, "Renamed"), window);
  char name[8];
  EXPECT_EQ(GetClassNameA(window, name, sizeof name), 7);
  EXPECT_STREQ(name, "Recordi");
  char title[50];
  EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 7);
  EXPECT_STREQ(title, "Renamed");
}

TEST_F(WindowsTest, OnlyTheOwningThreadDestroysAWindow) {
  HWND window = Make();
  BOOL fromOther = TRUE;
  DWORD error = 0;
  std::thread([&] {
    fromOther = DestroyWindow(window);
    error = GetLastError();
  }).join();
  EXPECT_FALSE(fromOther);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  Recorder::Get().Take();
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(Kinds(Recorder::Get().Take()), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowsTest, ShowingActivatesAndMinimisingDeactivates) {
  HWND first = Make("first");
  HWND second = Make("second");
  Recorder::Get().Take();
  ShowWindow(first, SW_SHOW);
  EXPECT_EQ(GetForegroundWindow(), first);
  EXPECT_EQ(GetFocus(), first);
  auto activations = Recorder::Get().Take(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 1u);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_ACTIVE);
  ShowWindow(second, SW_SHOW);
  activations = Recorder::Get().Take(WM_ACTIVATE);
  ASSERT_EQ(activations.size(), 2u);
  EXPECT_EQ(activations[0].window, first);
  EXPECT_EQ(LOWORD(activations[0].wParam), WA_INACTIVE);
  EXPECT_EQ(activations[1].window, second);
  ShowWindow(second, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(second));
  auto all = Recorder::Get().Take();
  bool minimisedSize = false;
  bool inactiveWhileMinimised = false;
  for (const auto& r : all) {
    if (r.message == WM_SIZE && r.wParam == SIZE_MINIMIZED) minimisedSize = true;
    if (r.message == WM_ACTIVATE && LOWORD(r.wParam) == WA_INACTIVE && HIWORD(r.wParam)) inactiveWhileMinimised = true;
  }
  EXPECT_TRUE(minimisedSize);
  EXPECT_TRUE(inactiveWhileMinimised);
  ShowWindow(second, SW_RESTORE);
  EXPECT_FALSE(IsIconic(second));
  EXPECT_EQ(GetActiveWindow(), second);
}

TEST_F(WindowsTest, TheHostWindowHearsOfFocusAndClosing) {
  HWND window = Make("shown", WS_POPUP, 0, 0, 64, 48);
  ShowWindow(window, SW_SHOW);
  ASSERT_EQ(winapi::testing::HostWindow(), window);
  Drain();
  Recorder::Get().Take();
  winapi::testing::HostSetActive(false);
  auto all = Recorder::Get().Take();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(all[0].message, static_cast<UINT>(WM_ACTIVATEAPP));
  EXPECT_EQ(all[0].wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(Kinds(all).back(), static_cast<UINT>(WM_ACTIVATE));
  // The program asks to come back to the front: noted, but the user stays where they are.
  EXPECT_TRUE(SetForegroundWindow(window));
  EXPECT_EQ(winapi::testing::ForegroundRequestsWhileInactive(), 1u);
  EXPECT_TRUE(Recorder::Get().Take(WM_ACTIVATEAPP).empty());
  winapi::testing::HostSetActive(true);
  EXPECT_EQ(Recorder::Get().Take(WM_ACTIVATEAPP).at(0).wParam, static_cast<WPARAM>(TRUE));
  winapi::testing::HostCloseWindow();  // WM_CLOSE; the default procedure destroys the window
  EXPECT_EQ(Recorder::Get().Take(WM_CLOSE).size(), 1u);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(winapi::testing::HostWindow(), nullptr);
}

TEST_F(WindowsTest, ScreenSaverSettingsAndTheirNotice) {
  HWND window = Make();
  Drain();
  BOOL active = FALSE;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0));
  EXPECT_TRUE(active);
  ASSERT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE));
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  EXPECT_FALSE(active);
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_SETTINGCHANGE));
  EXPECT_EQ(got[0].hwnd, window);
  // Setting the value it has changes nothing and tells no one.
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_SENDWININICHANGE);
  EXPECT_TRUE(Drain().empty());
  BOOL power = FALSE;
  EXPECT_TRUE(SystemParametersInfoA(SPI_GETPOWEROFFACTIVE, 0, &power, 0));
  EXPECT_FALSE(SystemParametersInfoA(0x9999, 0, &power, 0));
}

TEST_F(WindowsTest, WindowLongsHoldStylesUserDataAndTheClassBytes) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = RecordingProc;
  cls.lpszClassName = "ExtraBytesClass";
  cls.cbWndExtra = 8;
  RegisterClassA(&cls);
  HWND window = CreateWindowExA(0, "ExtraBytesClass", "x", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  made_.push_back(window);
  EXPECT_EQ(GetWindowLongA(window, 4), 0);
  EXPECT_EQ(SetWindowLongA(window, 4, -7), 0);
  EXPECT_EQ(GetWindowLongA(window, 4), -7);
  EXPECT_EQ(GetWindowLongA(window, 0), 0);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongA(window, 6), 0);  // past the class's bytes
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  SetWindowLongA(window, GWL_USERDATA, 1234);
  EXPECT_EQ(GetWindowLongA(window, GWL_USERDATA), 1234);
  EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);
  ShowWindow(window, SW_SHOWNA);
  EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE);
  // A new procedure takes over the window.
  SetWindowLongA(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
                   return message == WM_USER ? 99 : 0;
                 }));
  EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 99);
  ValidateRect(window, nullptr);
}

TEST_F(WindowsTest, StockObjectsAndResourcesAreStableHandles) {
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
  EXPECT_NE(LoadIcon(nullptr, MAKEINTRESOURCE(32512)), nullptr);
  EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
  EXPECT_NE(GetDesktopWindow(), nullptr);
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  EXPECT_EQ(desktop.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(SetCursor(LoadCursorA(nullptr, IDC_ARROW)), nullptr);
}

}  // namespace

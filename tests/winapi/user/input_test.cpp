// Keyboard and mouse input: characters, key state, hooks, key tables, mouse messages.
#include "user_fixture.h"
#include "winapi/host/sdl_keys.h"

namespace {

class InputTest : public UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    window_ = Make();
    SetFocus(window_);
    Drain();
  }
  static void Press(BYTE vk) { keybd_event(vk, 0, 0, 0); }
  static void Release(BYTE vk) { keybd_event(vk, 0, KEYEVENTF_KEYUP, 0); }
  // Pumps with translation; returns the characters made.
  std::vector<WPARAM> Characters() {
    std::vector<WPARAM> chars;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_CHAR) chars.push_back(msg.wParam);
      TranslateMessage(&msg);
    }
    return chars;
  }
  HWND window_ = nullptr;
};

struct CharCase {
  std::vector<BYTE> held;  // keys held down around the press
  BYTE key;
  bool capsLock;
  int expected;  // -1: no character
};

TEST_F(InputTest, TranslateMessageMakesCharactersOfTheUsLayout) {
  const CharCase cases[] = {
      {{}, VK_ESCAPE, false, 0x1B},        {{}, VK_RETURN, false, 0x0D},         {{}, 'A', false, 'a'},
      {{VK_SHIFT}, 'A', false, 'A'},       {{}, 'A', true, 'A'},                 {{VK_SHIFT}, 'A', true, 'a'},
      {{VK_SHIFT}, '1', false, '!'},       {{}, '1', true, '1'},                 {{}, VK_OEM_2, false, '/'},
      {{VK_SHIFT}, VK_OEM_2, false, '?'},  {{}, VK_SPACE, false, ' '},           {{}, VK_LEFT, false, -1},
      {{}, VK_F1, false, -1},              {{VK_CONTROL}, 'C', false, 3},        {{}, VK_BACK, false, 8},
      {{VK_SHIFT}, VK_OEM_7, false, '"'},
  };
  for (const CharCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << int(c.key));
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_CAPITAL] = c.capsLock ? 1 : 0;
    SetKeyboardState(state);
    for (BYTE held : c.held) Press(held);
    Press(c.key);
    Release(c.key);
    for (BYTE held : c.held) Release(held);
    std::vector<WPARAM> chars = Characters();
    if (c.expected < 0) {
      EXPECT_TRUE(chars.empty());
    } else {
      ASSERT_EQ(chars.size(), 1u);
      EXPECT_EQ(chars[0], static_cast<WPARAM>(c.expected));
    }
  }
}

TEST_F(InputTest, KeyMessagesCarryScanCodesAndTransitions) {
  Press(VK_LEFT);
  Press(VK_LEFT);  // held: a repeat
  Release(VK_LEFT);
  Press('Q');
  Release('Q');
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(VK_LEFT));
  EXPECT_EQ((got[0].lParam >> 16) & 0xFF, 0x4B);
  EXPECT_TRUE(got[0].lParam & (1 << 24));   // extended key
  EXPECT_FALSE(got[0].lParam & (1 << 30));  // was up
  EXPECT_TRUE(got[1].lParam & (1 << 30));   // repeat: was down
  EXPECT_EQ(got[2].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_TRUE(static_cast<DWORD>(got[2].lParam) & (1u << 31));
  EXPECT_EQ((got[3].lParam >> 16) & 0xFF, 0x10);  // Q
  EXPECT_FALSE(got[3].lParam & (1 << 24));
  EXPECT_EQ(got[0].hwnd, window_);
}

TEST_F(InputTest, AltMakesSystemKeys) {
  Press(VK_MENU);
  Press('X');
  Release('X');
  Release(VK_MENU);
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 4u);
  for (const MSG& m : got) EXPECT_TRUE(m.message == WM_SYSKEYDOWN || m.message == WM_SYSKEYUP) << m.message;
  EXPECT_TRUE(got[1].lParam & (1 << 29));  // Alt context
  EXPECT_EQ(got[1].wParam, static_cast<WPARAM>('X'));
}

TEST_F(InputTest, KeyStateFollowsInputWithoutPumping) {
  EXPECT_FALSE(GetKeyState(VK_SPACE) & 0x8000);
  // A posted key message is a message, not a key: the key state does not change.
  PostMessageA(window_, WM_KEYDOWN, VK_SPACE, 1 | (0x39 << 16));
  EXPECT_FALSE(GetKeyState(VK_SPACE) & 0x8000);
  Drain();
  Press(VK_SPACE);
  EXPECT_TRUE(GetKeyState(VK_SPACE) & 0x8000);
  EXPECT_EQ(GetAsyncKeyState(VK_SPACE) & 0x8001, 0x8001);
  EXPECT_EQ(GetAsyncKeyState(VK_SPACE) & 1, 0);  // "pressed since" is read once
  Release(VK_SPACE);
  EXPECT_FALSE(GetKeyState(VK_SPACE) & 0x8000);
  // Right Shift counts as Shift.
  keybd_event(VK_RSHIFT, 0, 0, 0);
  EXPECT_TRUE(GetKeyState(VK_SHIFT) & 0x8000);
  EXPECT_TRUE(GetKeyState(VK_RSHIFT) & 0x8000);
  keybd_event(VK_RSHIFT, 0, KEYEVENTF_KEYUP, 0);
  EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);
  // Toggle keys flip on each press.
  const SHORT before = GetKeyState(VK_NUMLOCK) & 1;
  keybd_event(VK_NUMLOCK, 0x45, KEYEVENTF_EXTENDEDKEY, 0);
  keybd_event(VK_NUMLOCK, 0x45, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  EXPECT_NE(GetKeyState(VK_NUMLOCK) & 1, before);
}

TEST_F(InputTest, LosingTheFocusReleasesHeldKeys) {
  Press('W');
  winapi::testing::HostSetActive(false);
  EXPECT_FALSE(GetKeyState('W') & 0x8000);
  winapi::testing::HostSetActive(true);
}

int gHookCalls = 0;
int gHookNoRemove = 0;
HHOOK gOlder = nullptr;
LRESULT SwallowEscape(int code, WPARAM vk, LPARAM flags) {
  ++gHookCalls;
  if (code == HC_NOREMOVE) ++gHookNoRemove;
  if (vk == VK_ESCAPE) return 1;
  return CallNextHookEx(nullptr, code, vk, flags);
}
int gOlderCalls = 0;
LRESULT OlderHook(int code, WPARAM vk, LPARAM flags) {
  ++gOlderCalls;
  return CallNextHookEx(gOlder, code, vk, flags);
}

TEST_F(InputTest, KeyboardHookSwallowsKeysAndChains) {
  gHookCalls = gHookNoRemove = gOlderCalls = 0;
  gOlder = SetWindowsHookExA(WH_KEYBOARD, OlderHook, nullptr, 0);
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, SwallowEscape, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Press(VK_ESCAPE);
  Press('B');
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>('B'));
  EXPECT_GE(gHookNoRemove, 1);
  std::vector<MSG> got = Drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wParam, static_cast<WPARAM>('B'));
  EXPECT_GE(gOlderCalls, 1);  // 'B' went on to the older hook, Escape did not
  EXPECT_TRUE(UnhookWindowsHookEx(hook));
  EXPECT_FALSE(UnhookWindowsHookEx(hook));
  Press(VK_ESCAPE);
  EXPECT_EQ(Drain().size(), 1u);
  UnhookWindowsHookEx(gOlder);
  Release(VK_ESCAPE);
  Release('B');
}

TEST_F(InputTest, MapVirtualKeyAndKeyboardType) {
  EXPECT_EQ(MapVirtualKeyA('A', MAPVK_VK_TO_VSC), 0x1Eu);
  EXPECT_EQ(MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC), 0x01u);
  EXPECT_EQ(MapVirtualKeyA(VK_F12, MAPVK_VK_TO_VSC), 0x58u);
  EXPECT_EQ(MapVirtualKeyA(VK_RSHIFT, MAPVK_VK_TO_VSC), 0x36u);
  EXPECT_EQ(MapVirtualKeyA(0x1E, MAPVK_VSC_TO_VK), static_cast<UINT>('A'));
  EXPECT_EQ(MapVirtualKeyA(0x47, MAPVK_VSC_TO_VK), static_cast<UINT>(VK_HOME));
  EXPECT_EQ(MapVirtualKeyA(0x36, MAPVK_VSC_TO_VK_EX), static_cast<UINT>(VK_RSHIFT));
  EXPECT_EQ(MapVirtualKeyA(VK_OEM_2, MAPVK_VK_TO_CHAR), static_cast<UINT>('/'));
  EXPECT_EQ(MapVirtualKeyA('Q', MAPVK_VK_TO_CHAR), static_cast<UINT>('Q'));
  EXPECT_EQ(GetKeyboardType(0), 4);
  winapi::testing::SetKeyboardType(7, 0x0D01);
  EXPECT_EQ(GetKeyboardType(0), 7);
  EXPECT_EQ(GetKeyboardType(1), 0x0D01);
}

TEST_F(InputTest, SdlScanCodesBecomeVirtualKeysAndScanCodes) {
  struct Case {
    int usage;
    bool numLock;
    bool shift;
    BYTE vk;
    BYTE scan;
    bool extended;
  };
  const Case cases[] = {
      {4, false, false, 'A', 0x1E, false},          {39, false, false, '0', 0x0B, false},
      {41, false, false, VK_ESCAPE, 0x01, false},   {80, false, false, VK_LEFT, 0x4B, true},
      {95, true, false, VK_NUMPAD7, 0x47, false},   {95, false, false, VK_HOME, 0x47, false},
      {95, true, true, VK_HOME, 0x47, false},       {88, false, false, VK_RETURN, 0x1C, true},
      {228, false, false, VK_RCONTROL, 0x1D, true}, {68, false, false, VK_F11, 0x57, false},
      {225, false, false, VK_LSHIFT, 0x2A, false},  {44, false, false, VK_SPACE, 0x39, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.usage);
    winapi::host::KeyStroke stroke;
    ASSERT_TRUE(winapi::host::KeyFromSdlScancode(c.usage, c.numLock, c.shift, &stroke));
    EXPECT_EQ(stroke.vk, c.vk);
    EXPECT_EQ(stroke.scan, c.scan);
    EXPECT_EQ(stroke.extended, c.extended);
  }
  winapi::host::KeyStroke stroke;
  EXPECT_FALSE(winapi::host::KeyFromSdlScancode(0, false, false, &stroke));
  EXPECT_FALSE(winapi::host::KeyFromSdlScancode(500, false, false, &stroke));
}

class MouseTest : public UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    winapi::testing::UseVirtualClock(true, 5000);
    window_ = Make("mouse", WS_POPUP, 40, 30, 200, 100);
    ShowWindow(window_, SW_SHOW);  // becomes the host's window
    ASSERT_EQ(winapi::testing::HostWindow(), window_);
    Drain();
  }
  std::vector<MSG> MouseMessages() {
    std::vector<MSG> list;
    for (const MSG& m : Drain())
      if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) list.push_back(m);
    return list;
  }
  HWND window_ = nullptr;
};

TEST_F(MouseTest, MovesAndClicksArriveInClientCoordinates) {
  winapi::testing::HostMouse(10, 20, 0, false);
  winapi::testing::HostMouse(11, 21, 0, false);  // consecutive moves merge
  winapi::testing::HostMouse(11, 21, 1, true);
  winapi::testing::HostMouse(11, 21, 1, false);
  std::vector<MSG> got = MouseMessages();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_MOUSEMOVE));
  EXPECT_EQ(GET_X_LPARAM(got[0].lParam), 11);
  EXPECT_EQ(GET_Y_LPARAM(got[0].lParam), 21);
  EXPECT_EQ(got[1].message, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(got[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(got[2].message, static_cast<UINT>(WM_LBUTTONUP));
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 40 + 11);  // a popup's client area is its window
  EXPECT_EQ(cursor.y, 30 + 21);
}

TEST_F(MouseTest, QuickSecondClickIsADoubleClick) {
  winapi::testing::HostMouse(5, 5, 1, true);
  winapi::testing::HostMouse(5, 5, 1, false);
  winapi::testing::AdvanceClock(200);
  winapi::testing::HostMouse(6, 5, 1, true);
  winapi::testing::HostMouse(6, 5, 1, false);
  winapi::testing::AdvanceClock(600);
  winapi::testing::HostMouse(6, 5, 1, true);
  std::vector<UINT> kinds;
  for (const MSG& m : MouseMessages()) kinds.push_back(m.message);
  EXPECT_EQ(kinds, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                                      WM_LBUTTONDOWN}));
  winapi::testing::HostMouse(6, 5, 1, false);
}

TEST_F(MouseTest, MsgWaitTellsMovesFromButtons) {
  winapi::testing::HostMouse(3, 4, 0, false);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_MOUSEBUTTON), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_MOUSEMOVE), WAIT_OBJECT_0);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_KEY), static_cast<DWORD>(WAIT_TIMEOUT));
  MouseMessages();  // looked at: no longer new
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
  winapi::testing::HostMouse(3, 4, 2, true);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_MOUSEBUTTON), WAIT_OBJECT_0);
  winapi::testing::HostMouse(3, 4, 2, false);
  std::vector<MSG> got = MouseMessages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, static_cast<UINT>(WM_RBUTTONDOWN));
  EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(MK_RBUTTON));
  EXPECT_EQ(got[1].message, static_cast<UINT>(WM_RBUTTONUP));
}

TEST_F(MouseTest, SetCursorPosMovesTheCursorAndTellsTheWindow) {
  ASSERT_TRUE(SetCursorPos(40 + 50, 30 + 60));
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 90);
  EXPECT_EQ(cursor.y, 90);
  std::vector<MSG> got = MouseMessages();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(got[0].lParam), 50);
  EXPECT_EQ(GET_Y_LPARAM(got[0].lParam), 60);
  // Outside the window: the cursor moves (clamped to the screen), the window hears nothing.
  SetCursorPos(-5, 100000);
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 0);
  EXPECT_EQ(cursor.y, GetSystemMetrics(SM_CYSCREEN) - 1);
  EXPECT_TRUE(MouseMessages().empty());
}

}  // namespace

// Input state: the pointer kept inside the screen, the click guard, the polling routines, the timed callback.
#include "uifixture.h"

#include "framework/ui/eventhandler.h"
#include "mmsystem.h"

namespace {

int fired = 0;
void Count() { ++fired; }
void CountAndRearm() {
  ++fired;
  SetTimedCallback(Count, 2);
}

}  // namespace

class InputTest : public UiTest {
 protected:
  void Advance(uint32_t ms) {
    winapi::testing::AdvanceClock(ms);
    InputUpdateClock();
  }
};

TEST_F(InputTest, PointerIsKeptThreePixelsInsideTheRightAndBottomEdges) {
  struct Case {
    int x, y, wantX, wantY;
  } cases[] = {{kWidth - 1, 10, kWidth - 3, 10}, {10, kHeight - 1, 10, kHeight - 3}, {kWidth - 3, 5, kWidth - 3, 5},
               {0, 0, 0, 0}};
  for (const Case& c : cases) {
    SetCursorPos(c.x, c.y);
    Advance(10);
    int16_t x = -1, y = -1;
    MouseGetPosition(&x, &y);
    EXPECT_EQ(x, c.wantX) << c.x << "," << c.y;
    EXPECT_EQ(y, c.wantY) << c.x << "," << c.y;
    POINT p{};
    GetCursorPos(&p);
    EXPECT_EQ(p.x, c.wantX);
    EXPECT_EQ(p.y, c.wantY);
  }
}

TEST_F(InputTest, PositionsAreTheGameWindowsOwnWhereverItSits) {
  WNDCLASSA cls{};
  cls.lpfnWndProc = DefWindowProcA;
  cls.lpszClassName = "input test window";
  RegisterClassA(&cls);
  HWND window = CreateWindowExA(0, cls.lpszClassName, "", WS_CAPTION | WS_VISIBLE, 112, 84, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetActiveWindow(window);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  ASSERT_NE(origin.x, 0);
  SetCursorPos(origin.x + 40, origin.y + 30);
  Advance(10);
  int16_t x = -1, y = -1;
  MouseGetPosition(&x, &y);
  EXPECT_EQ(x, 40);
  EXPECT_EQ(y, 30);
  MouseSetPosition(50, 60);
  POINT p{};
  GetCursorPos(&p);
  EXPECT_EQ(p.x, origin.x + 50);
  EXPECT_EQ(p.y, origin.y + 60);
  DestroyWindow(window);
}

TEST_F(InputTest, AMovedPointerCountsAsInputAndAStillOneDoesNot) {
  SetCursorPos(20, 20);
  Advance(100);
  MouseGetPosition(nullptr, nullptr);
  EXPECT_EQ(Input().lastInputTime, Input().clock);
  const uint32_t seen = Input().clock;
  Advance(500);
  MouseGetPosition(nullptr, nullptr);
  EXPECT_EQ(Input().lastInputTime, seen);
}

TEST_F(InputTest, ClampIsLeftAloneWhileTheGameIsInTheBackground) {
  Facts().appActive = 0;
  Input().pointerX = kWidth - 1;
  MouseClampToScreen();
  EXPECT_EQ(Input().pointerX, kWidth - 1);
}

TEST_F(InputTest, SettingThePointerWithinAQuarterSecondOfAPressDoesNothing) {
  SetCursorPos(5, 5);
  Input().lastPressTime = timeGetTime();
  Advance(250);
  MouseSetPosition(40, 30);
  POINT p{};
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 5);
  Advance(1);
  MouseSetPosition(40, 30);
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 40);
  EXPECT_EQ(Input().pointerY, 30);
}

TEST_F(InputTest, TimedCallbackFiresOnceAndMayArmTheNext) {
  fired = 0;
  SetTimedCallback(CountAndRearm, 3);
  Advance(2999);
  PollTimedCallback();
  EXPECT_EQ(fired, 0);
  Advance(1);
  PollTimedCallback();
  PollTimedCallback();
  EXPECT_EQ(fired, 1);
  Advance(1999);
  PollTimedCallback();
  EXPECT_EQ(fired, 1);
  Advance(1);
  PollTimedCallback();
  PollTimedCallback();
  EXPECT_EQ(fired, 2);
  Advance(60000);
  PollTimedCallback();
  EXPECT_EQ(fired, 2);
}

TEST_F(InputTest, HeldCallbackNeverFiresAndReleasingRestartsTheFullDelay) {
  fired = 0;
  SetTimedCallback(Count, 5);
  Advance(4000);
  HoldTimedCallback(1);
  Advance(60000);
  PollTimedCallback();
  EXPECT_EQ(fired, 0);
  HoldTimedCallback(0);
  Advance(4999);
  PollTimedCallback();
  EXPECT_EQ(fired, 0);
  Advance(1);
  PollTimedCallback();
  EXPECT_EQ(fired, 1);
}

TEST_F(InputTest, NullRoutineDisarms) {
  fired = 0;
  SetTimedCallback(Count, 1);
  SetTimedCallback(nullptr, 1);
  Advance(5000);
  PollTimedCallback();
  EXPECT_EQ(fired, 0);
}

TEST_F(InputTest, FlushTakesAnEighthOfASecondAndEmptiesTheInput) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostMessageA(nullptr, WM_LBUTTONDOWN, 0, 0);
  PostMessageA(nullptr, WM_KEYDOWN, 'A', 0);
  PostMessageA(nullptr, WM_USER + 5, 0, 0);
  Input().keyHeld = 1;
  Input().buttonHeld = 1;
  const uint32_t before = timeGetTime();
  EXPECT_EQ(FlushInput(), 1);
  EXPECT_GE(timeGetTime() - before, 125u);
  EXPECT_EQ(Input().keyHeld, 0);
  EXPECT_EQ(Input().buttonHeld, 0);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYFIRST, 0x209, PM_NOREMOVE));
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));  // other messages stay
  EXPECT_EQ(FlushInput(), 0);
}

TEST_F(InputTest, KeyPollStopsAtTheFirstChange) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostMessageA(nullptr, WM_KEYDOWN, VK_LEFT, 0);
  PostMessageA(nullptr, WM_KEYDOWN, VK_LEFT, 0);
  PostMessageA(nullptr, WM_KEYUP, VK_LEFT, 0);
  EXPECT_EQ(PollKeyMessages(), 1);
  EXPECT_EQ(PollKeyMessages(), 0);  // the repeat is read on the way to the release
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_NOREMOVE));
}

TEST_F(InputTest, ButtonPollTakesThePositionFromTheRemovedMessages) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  PostMessageA(nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(12, 34));
  PostMessageA(nullptr, WM_LBUTTONUP, 0, MAKELPARAM(15, 36));
  EXPECT_EQ(PollMouseButtons(), 0);
  EXPECT_EQ(Input().pointerX, 15);
  EXPECT_EQ(Input().pointerY, 36);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_LBUTTONDOWN, WM_RBUTTONDBLCLK, PM_NOREMOVE));
}

TEST_F(InputTest, SleepsRunOnTheClock) {
  const uint32_t before = timeGetTime();
  SleepMs(70);
  SleepSeconds(2);
  EXPECT_EQ(timeGetTime() - before, 2070u);
}

TEST(KeyCodes, SpecialKeysAreOffsetAndAltCombinationsMarked) {
  struct Case {
    uint32_t vk;
    bool alt;
    uint16_t code;
  } cases[] = {{VK_LEFT, false, 0x125}, {VK_UP, false, 0x126},  {VK_RIGHT, false, 0x127}, {VK_DOWN, false, 0x128},
               {VK_PRIOR, false, 0x121}, {VK_DELETE, false, 0x12E}, {VK_F1, false, 0x170},  {'A', false, 0},
               {VK_RETURN, false, 0},   {'A', true, 0x2041},    {VK_F4, true, 0x2073},    {0x1FF, false, 0}};
  for (const Case& c : cases) EXPECT_EQ(SpecialKeyCode(c.vk, c.alt), c.code) << c.vk;
}

// Scripted input: events due on the virtual clock and the clock step each poll of the input state makes.
#include <tuple>

#include "user_fixture.h"

namespace {

namespace wt = winapi::testing;

class ScriptTest : public UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    wt::UseVirtualClock(true, 1000);
    wt::SetVirtualWaitGrace(0);
    window_ = Make();
    SetFocus(window_);
    Drain();
  }
  HWND window_ = nullptr;
};

// A polling loop as a modal swing loop writes it: the clock readings at which space went down each time.
std::vector<DWORD> SpacePresses(int wanted, int pollLimit) {
  std::vector<DWORD> at;
  bool was = false;
  for (int i = 0; i < pollLimit && static_cast<int>(at.size()) < wanted; ++i) {
    const bool down = (GetAsyncKeyState(VK_SPACE) & 0x8000) != 0;
    if (down && !was) at.push_back(GetTickCount());
    was = down;
  }
  return at;
}

TEST_F(ScriptTest, EachPollMovesTheClockAndEventsFallDueInOrder) {
  std::vector<wt::ScriptedEvent> script;
  for (uint32_t t : {100u, 350u, 900u}) {
    auto press = wt::ScriptPress(t, VK_SPACE, 30);
    script.insert(script.end(), press.begin(), press.end());
  }
  struct Case {
    uint32_t step;
    std::vector<DWORD> presses;  // clock readings when each press was seen
  };
  const Case cases[] = {{1, {1100, 1350, 1900}}, {7, {1105, 1350, 1903}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    wt::UseVirtualClock(true, 1000);
    wt::StartInputScript(script, c.step);
    EXPECT_EQ(wt::PendingScriptedEvents(), 6u);
    EXPECT_EQ(SpacePresses(3, 5000), c.presses);
    EXPECT_TRUE(wt::InputScriptOn());
    EXPECT_EQ(wt::PendingScriptedEvents(), 1u);  // the last release is still to come
    wt::StopInputScript();
    EXPECT_EQ(wt::PendingScriptedEvents(), 0u);
    // The person's presses also reached the window as messages.
    size_t downs = 0;
    for (const MSG& m : Drain())
      if (m.message == WM_KEYDOWN && m.wParam == VK_SPACE) ++downs;
    EXPECT_EQ(downs, 3u);
    keybd_event(VK_SPACE, 0, KEYEVENTF_KEYUP, 0);
    Drain();
  }
}

TEST_F(ScriptTest, PointerEventsMoveTheCursorAndButtons) {
  wt::StartInputScript({wt::ScriptPointer(10, 40, 30), wt::ScriptPointer(20, 40, 30, 1, true),
                        wt::ScriptPointer(40, 90, 70, 1, false)});
  std::vector<std::pair<POINT, bool>> seen;
  for (int i = 0; i < 50; ++i) {
    POINT p{};
    GetCursorPos(&p);
    const bool left = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    if (seen.empty() || seen.back().first.x != p.x || seen.back().first.y != p.y || seen.back().second != left)
      seen.push_back({p, left});
  }
  EXPECT_EQ(wt::ScriptedInputPolls(), 100u);
  EXPECT_EQ(GetTickCount(), 1100u);
  POINT origin{};
  ClientToScreen(window_, &origin);
  HWND bound = wt::HostWindow();
  // Pointer positions are the host window's client coordinates, or the screen's when none is shown.
  const int dx = bound ? origin.x : 0;
  const int dy = bound ? origin.y : 0;
  // The release falls due on the button poll, so the cursor's move is seen on the next one.
  const std::vector<std::tuple<int, int, bool>> expected = {
      {0, 0, false}, {40 + dx, 30 + dy, false}, {40 + dx, 30 + dy, true}, {40 + dx, 30 + dy, false},
      {90 + dx, 70 + dy, false}};
  std::vector<std::tuple<int, int, bool>> got;
  for (const auto& [p, left] : seen) got.emplace_back(p.x, p.y, left);
  EXPECT_EQ(got, expected);
}

// A message made while a script runs (a posted one, or the move a program's own SetCursorPos reports) carries the
// cursor without polling: the clock stays, and an event falling due meanwhile cannot wait on the message lock that
// the maker holds.
TEST_F(ScriptTest, MakingMessagesIsNotAPollOfTheInput) {
  wt::StartInputScript({wt::ScriptPointer(1, 40, 30), wt::ScriptPointer(2, 50, 30)}, 1);
  for (int i = 0; i < 20; ++i) {
    PostMessageA(window_, WM_USER, 0, 0);
    SetCursorPos(100, 100);
  }
  EXPECT_EQ(GetTickCount(), 1000u);
  EXPECT_EQ(wt::ScriptedInputPolls(), 0u);
  EXPECT_EQ(wt::PendingScriptedEvents(), 2u);
  POINT p{};
  GetCursorPos(&p);
  GetCursorPos(&p);
  EXPECT_EQ(GetTickCount(), 1002u);
  EXPECT_EQ(wt::PendingScriptedEvents(), 0u);
  size_t posted = 0;
  for (const MSG& m : Drain())
    if (m.message == WM_USER) ++posted;
  EXPECT_EQ(posted, 20u);
}

TEST_F(ScriptTest, WithoutAScriptPollsLeaveTheClockAlone) {
  for (int i = 0; i < 20; ++i) GetAsyncKeyState(VK_SPACE);
  EXPECT_EQ(GetTickCount(), 1000u);
  wt::StartInputScript({wt::ScriptKey(5000, 'A', true)}, 3);
  for (int i = 0; i < 20; ++i) GetKeyState('A');
  EXPECT_EQ(GetTickCount(), 1060u);
  wt::Reset();
  EXPECT_FALSE(wt::InputScriptOn());
  EXPECT_EQ(wt::PendingScriptedEvents(), 0u);
}

}  // namespace
